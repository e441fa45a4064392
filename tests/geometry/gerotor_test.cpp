// Gerotor geometry against brute force: the inner gear as what the ring's
// bore never sweeps, chambers integrated ray by ray, and the ring against
// the lens area of a lobe and the root circle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/kiv_gerotor.h"
#include "geometry/kiv_pumpgeom.h"
#include "geometry/kiv_shapeid.h"
#include "tables/kiv_splinend.h"
#include "support/kiv_test.hpp"

namespace {

using Gerotor = kiv::test::SystemTest;
constexpr double pi = 3.141592653589793;
constexpr int z = 7;
// Root inside the lobes' tangents from the centre: the bore is star-shaped.
constexpr double a = 20, rc = 6, e = 2, Ro = 18.5, b = 10;

bool inBore(double x, double y, double turn, double root) {
  if (std::hypot(x, y) >= root) return false;
  const double t = turn + std::round((std::atan2(y, x) - turn) * z / (2 * pi)) * 2 * pi / z;
  return std::hypot(x - a * std::cos(t), y - a * std::sin(t)) > rc;
}
// The inner gear is what stays in the bore over a whole relative cycle.
bool inGear(double x, double y, double theta, double root) {
  for (int i = 0; i < 1000; ++i) {
    const double tau = i * 2 * pi / 1000, q = tau * z / (z - 1);
    const double px = -e + std::cos(q) * (x + e) - std::sin(q) * y, py = std::sin(q) * (x + e) + std::cos(q) * y;
    if (!inBore(px, py, theta + tau, root)) return false;
  }
  return true;
}
template <class In> double edge(double phi, double hi, In in) {
  double lo = 0;
  for (int i = 0; i < 30; ++i) {
    const double m = (lo + hi) / 2;
    (in(m * std::cos(phi), m * std::sin(phi)) ? lo : hi) = m;
  }
  return lo;
}
// Chamber area (mm2) between the contact rays at theta and a pitch later.
double chamberArea(double theta, double root = Ro) {
  double c1, c2, r;
  const double t2 = theta + 2 * pi / z;
  gp_get_rc_thetac_(&z, &a, &rc, &e, &theta, &c1, &r);
  gp_get_rc_thetac_(&z, &a, &rc, &e, &t2, &c2, &r);
  if (c2 < c1) c2 += 2 * pi;
  const int n = 100;
  double sum = 0;
  for (int i = 0; i < n; ++i) {
    const double phi = c1 + (i + 0.5) * (c2 - c1) / n;
    const double out = edge(phi, root, [&](double x, double y) { return inBore(x, y, theta, root); });
    const double in = edge(phi, out, [&](double x, double y) { return inGear(x, y, theta, root); });
    sum += (out * out - in * in) / 2 * (c2 - c1) / n;
  }
  return sum;
}

TEST_F(Gerotor, ContactPointsLieOnTheInnerGear) {
  double x, y, ang, r;
  const double zero = 0;
  gp_get_rc_thetac_(&z, &a, &rc, &e, &zero, &ang, &r);
  EXPECT_NEAR(ang, 0, 1e-15);
  EXPECT_NEAR(r, a - rc, 1e-12);
  const double th0 = 0.4, t0 = th0 * z / (z - 1), lo = -pi, hi = pi, step = 0.002, margin = 0;
  shape *inner = create_gp_inner_gear_(&z, &a, &rc, &e, &t0, &lo, &hi, &step, &margin);
  ASSERT_NE(inner, nullptr);
  for (int k = 0; k < z; ++k) {
    const double t = th0 + k * 2 * pi / z;
    gp_get_xc_yc_(&z, &a, &rc, &e, &t, &x, &y);
    // Nearest edge of the sampled contour (vertices thin out where it is flat).
    double best = 1e9;
    const point *p = inner->paths[0]->first;
    do {
      const point *q = p->next;
      const double dx = q->x - p->x, dy = q->y - p->y, l2 = dx * dx + dy * dy;
      const double s = l2 > 0 ? std::clamp(((x - p->x) * dx + (y - p->y) * dy) / l2, 0.0, 1.0) : 0.0;
      best = std::min(best, std::hypot(p->x + s * dx - x, p->y + s * dy - y));
    } while ((p = p->next) != inner->paths[0]->first);
    EXPECT_LT(best, 0.005) << k;
    EXPECT_TRUE(inGear(x - 1e-3 * (x + e), y - 1e-3 * y, th0, Ro)) << k;  // just inside the gear
  }
  delete_shape_(inner);
}

TEST_F(Gerotor, RingBoreIsTheRootDiscLessTheLobeLenses) {
  const double X0 = 0, X1 = 1.5, theta = 0.3, c1 = 0, c2 = 2 * pi, step = 0.001, margin = 0;
  for (double R : {Ro, 22.0}) {  // lobe centres outside and inside the root circle
    // Lens of the root circle and a lobe at distance a.
    const double d = a, lens = rc * rc * std::acos((d * d + rc * rc - R * R) / (2 * d * rc)) +
                               R * R * std::acos((d * d + R * R - rc * rc) / (2 * d * R)) -
                               0.5 * std::sqrt((-d + rc + R) * (d + rc - R) * (d - rc + R) * (d + rc + R));
    shape *exact = create_gp_outer_gear2_(&z, &a, &rc, &R, &X0, &theta);
    EXPECT_NEAR(area2D_(exact), -(pi * R * R - z * lens), 1e-9) << R;
    delete_shape_(exact);
  }
  for (double X : {X0, X1}) {
    shape *arcs = create_gp_outer_gear2_(&z, &a, &rc, &Ro, &X, &theta);
    shape *sampled = create_gp_outer_gear_(&z, &a, &rc, &Ro, &X, &theta, &c1, &c2, &step, &margin);
    EXPECT_NEAR(area2D_(sampled) / area2D_(arcs), 1, 1e-5) << X;
    delete_shape_(arcs);
    delete_shape_(sampled);
  }
}

TEST_F(Gerotor, ChamberVolumesMatchRayIntegration) {
  std::vector<double> angles = {0.0, 0.7, 1.9, 3.3, 5.0};
  std::vector<double> v(angles.size());
  const int n = static_cast<int>(v.size());
  const double X = 0;
  ASSERT_EQ(gp_volume_(angles.data(), v.data(), &n, &z, &a, &rc, &Ro, &e, &X, &b), 0);
  for (int i = 0; i + 1 < n; ++i) EXPECT_NEAR(v[i] / (chamberArea(angles[i]) * b * 1e-9), 1, 0.01) << angles[i];
  EXPECT_EQ(v[n - 1], v[0]);
  const int none = 0;
  v[0] = -1;
  EXPECT_EQ(gp_volume_(angles.data(), v.data(), &none, &z, &a, &rc, &Ro, &e, &X, &b), -1);
  EXPECT_EQ(v[0], -1);
}

TEST_F(Gerotor, DisplacementFromExtremesAndRatesIgnoresTheRoot) {
  // Largest chamber straddles +x, the smallest the pitch point.
  const double vmax = chamberArea(-pi / z), vmin = chamberArea(pi - pi / z);
  const double ref = (vmax - vmin) * b * 1e-9 * z / (2 * pi);
  for (auto [root, X] : {std::pair{Ro, 0.0}, std::pair{Ro + 0.5, 0.0}, std::pair{Ro, 1.5}, std::pair{Ro + 0.5, 1.0}})
    EXPECT_NEAR(gp_get_displacement_(&z, &a, &rc, &root, &e, &X, &b) / ref, 1, 0.01) << root << " " << X;
  // The rates of one chamber swing by the same volume (mm3) over a turn.
  double acc = 0, lo = 0, hi = 0, out[z];
  const int m = 4000;
  for (int i = 0; i < m; ++i) {
    const double t = (i + 0.5) * 2 * pi / m;
    gp_get_volume_derivative_(&z, &a, &rc, &e, &b, &t, out);
    acc += out[0] * 2 * pi / m;
    lo = std::min(lo, acc);
    hi = std::max(hi, acc);
  }
  EXPECT_NEAR((hi - lo) / ((vmax - vmin) * b), 1, 0.01);
  const double flat[] = {2, 2, 2};
  const int three = 3, one = 1;
  EXPECT_EQ(gp_ud_get_displacement_(&z, &three, flat), 0);
  EXPECT_EQ(gp_ud_get_displacement_(&z, &one, flat), 0);
}

TEST_F(Gerotor, RatesAreTheSlopesOfTheVolumeTableAtTheShaftAngle) {
  // Chamber k at theta is the table's chamber k pitches later.
  const int n = 720;
  std::vector<double> angles(n), v(n);
  for (int k = 0; k < n; ++k) angles[k] = k * 2 * pi / (n - 1);
  const double X = 1;
  ASSERT_EQ(gp_volume_(angles.data(), v.data(), &n, &z, &a, &rc, &Ro, &e, &X, &b), 0);
  const auto volume = [&](double t) {  // mm3, linear between the entries
    const double f = std::fmod(t / (2 * pi) + 2, 1.0) * (n - 1);
    const int i = std::min(static_cast<int>(f), n - 2);
    return (v[i] + (f - i) * (v[i + 1] - v[i])) * 1e9;
  };
  std::vector<std::pair<double, double>> pairs;  // (rate, slope)
  double out[z], peak = 0;
  const double h = 0.05;
  for (double t : {0.2, 1.1, 2.5, 4.4}) {
    gp_get_volume_derivative_(&z, &a, &rc, &e, &b, &t, out);
    for (int k = 0; k < z; ++k) {
      const double at = t + k * 2 * pi / z, slope = (volume(at + h) - volume(at - h)) / (2 * h);
      peak = std::max(peak, std::fabs(slope));
      pairs.emplace_back(out[k], slope);
    }
  }
  ASSERT_GT(peak, 20 * b);
  for (size_t i = 0; i < pairs.size(); ++i) EXPECT_NEAR(pairs[i].first, pairs[i].second, 0.015 * peak) << i;
}

TEST_F(Gerotor, BuildersRefuseNonFiniteDimensions) {
  const double bad = NAN, zero = 0, step = 0.01;
  EXPECT_EQ(create_gp_outer_gear2_(&z, &a, &rc, &bad, &zero, &zero), nullptr);
  EXPECT_EQ(create_gp_inner_gear_id_(&z, &a, &bad, &e, &zero, &zero, &zero, &step, &zero), -1);
  int id = 0;
  EXPECT_EQ(gp_set_up_volume_(&z, &a, &rc, &Ro, &bad, &zero, &b, &id), -1);
  EXPECT_EQ(id, -1);
}

TEST_F(Gerotor, ContactSlidesAtTheRelativeTurnAboutThePitchPoint) {
  const double h = 0.01, w = 10, omega = 100, p = 2e5;
  for (double t : {0.3, 1.7, 4.0}) {
    double x, y, u, q, Fx, Fy, T;
    gp_get_xc_yc_(&z, &a, &rc, &e, &t, &x, &y);
    gp_get_leakage_couette_(&z, &a, &rc, &e, &h, &w, &t, &omega, &u, &q);
    EXPECT_NEAR(std::fabs(u), omega / z * std::hypot(x + z * e, y), 1e-9) << t;
    EXPECT_NEAR(q, u * h * w / 2, 1e-12);
    // Uniform pressure on the inner gear between the chamber's contacts.
    const double t2 = t + 2 * pi / z;
    double x2, y2;
    gp_get_xc_yc_(&z, &a, &rc, &e, &t2, &x2, &y2);
    gp_get_force_torque_ch_inner_gear_(&z, &a, &rc, &e, &b, &t, &p, &Fx, &Fy, &T);
    EXPECT_NEAR(std::hypot(Fx, Fy), p * b * std::hypot(x2 - x, y2 - y), 1e-6);
    EXPECT_NEAR(Fx * (x2 - x) + Fy * (y2 - y), 0, 1e-6);
    EXPECT_NEAR(T, p * b * (std::pow(std::hypot(x2 + e, y2), 2) - std::pow(std::hypot(x + e, y), 2)) / 2, 1e-3);
  }
}

TEST_F(Gerotor, PortOpensTheWholeChamberInsideItsSector) {
  const double r1 = 0.7 * (a - rc), r2 = 1.05 * Ro, xi = -e, o = 0, lo = -pi / 2, hi = pi / 2, X = 0;
  const int mode = 1, n = 3;
  const int port = create_analyticport_id_(&r1, &r2, &xi, &o, &o, &o, &lo, &hi, &mode);
  double angles[] = {-pi / z, pi - pi / z, 0}, area[3], perim[3], v[3];
  ASSERT_EQ(gp_port_(&port, angles, area, perim, &n, &z, &a, &rc, &Ro, &e, &X), 0);
  ASSERT_EQ(gp_volume_(angles, v, &n, &z, &a, &rc, &Ro, &e, &X, &b), 0);
  EXPECT_NEAR(area[0] / (v[0] / (b * 1e-3)), 1, 1e-9);
  EXPECT_TRUE(area[1] == 0 && perim[1] == 0.001 && area[2] == area[0]);
  int ida = -1, idp = -1;
  const double d0 = -90, d1 = 90;
  ASSERT_EQ(gp_set_up_flow_area_analytic_(&z, &a, &rc, &Ro, &e, &X, &d0, &d1, &ida, &idp), 0);
  double s = 2 * pi - pi / z, sa;
  spleval_(&ida, &s, &sa);
  EXPECT_NEAR(sa / area[0], 1, 0.01);
  EXPECT_EQ(gp_set_up_flow_area_contour_(&z, &a, &rc, &Ro, &e, &X, "no-such-port.txt", &ida, &idp), -1);
}

TEST_F(Gerotor, NodeAtAPolarAngle) {
  double x[36], y[36];
  for (int i = 0; i < 36; ++i) x[i] = 10 * std::cos(i * pi / 18), y[i] = 10 * std::sin(i * pi / 18);
  const int id = xCD_create_shape_from_array_(x, y, 36), missing = 99999;
  const double o = 0, in = 5, out = 20;
  struct Case { double theta, rmin; int node; };  // the first node and a ring inside rmin decide nothing
  for (const Case &c : {Case{50 * pi / 180, in, 5}, Case{53 * pi / 180, in, 5}, Case{57 * pi / 180, in, 6},
                        Case{0, in, -1}, Case{50 * pi / 180, out, -1}})
    EXPECT_EQ(gp_find_closest_pt_from_theta_id_(&id, &c.theta, &o, &o, &c.rmin), c.node) << c.theta;
  EXPECT_EQ(gp_find_closest_pt_from_theta_id_(&missing, &o, &o, &o, &in), -1);
}

TEST_F(Gerotor, ShapeDefinedGearsReproduceTheAnalyticChambers) {
  // The ring is given by its bore sampled as a polygon, a clockwise path.
  const double t0 = 0, lo = -pi, hi = pi, step = 0.01, margin = 0, X = 0, xi = -e, o = 0, turn = 2 * pi;
  const int inner = create_gp_inner_gear_id_(&z, &a, &rc, &e, &t0, &lo, &hi, &step, &margin);
  const int outer = create_gp_outer_gear_id_(&z, &a, &rc, &Ro, &X, &t0, &o, &turn, &step, &margin);
  const double r1 = 0.7 * (a - rc), r2 = 1.05 * Ro, p1a = -pi / 2, p1b = pi / 2, p2a = pi / 2, p2b = 3 * pi / 2;
  const int mode = 1, n = 3;
  const int port1 = create_analyticport_id_(&r1, &r2, &xi, &o, &o, &o, &p1a, &p1b, &mode);
  const int port2 = create_analyticport_id_(&r1, &r2, &xi, &o, &o, &o, &p2a, &p2b, &mode);
  double angles[] = {0.0, 0.5, 1.0}, v[3], ref[3], a1[3], q1[3], a2[3], q2[3];
  ASSERT_EQ(gp_ud_compute_volume_area_(&z, &xi, &o, &inner, &o, &o, &outer, &port1, &port2, &b, &n, angles, v, a1,
                                       q1, a2, q2), 0);
  // The chamber closed by the lobes a pitch behind and at the splitter angle.
  double behind[] = {angles[0] - 2 * pi / z, angles[1] - 2 * pi / z, angles[2] - 2 * pi / z};
  const int one = 1;
  for (int i = 0; i < n; ++i) ASSERT_EQ(gp_volume_(behind + i, ref + i, &one, &z, &a, &rc, &Ro, &e, &X, &b), 0);
  for (int i = 0; i < n; ++i) EXPECT_NEAR(v[i] / ref[i], 1, 0.01) << angles[i];
  const int missing = 99999;
  EXPECT_EQ(gp_ud_compute_volume_area_(&z, &xi, &o, &missing, &o, &o, &outer, &port1, &port2, &b, &n, angles, v, a1,
                                       q1, a2, q2), -1);
}

}  // namespace

namespace {

// The chamber closed as one polygon: the inner gear as the locus of the
// contact points carried into its own turning frame (the contact normal
// passes through the pitch point), the ring bore as the root disc less the
// lobe discs, both sampled far finer than any builder.
struct Design {
  int z;
  double a, rc, e, Ro;
  double X = 0;
};
struct Pt {
  double x, y;
};
Pt contactAt(const Design &d, double s) {
  const double lx = d.a * std::cos(s), ly = d.a * std::sin(s), px = -d.z * d.e;
  const double l = std::hypot(px - lx, -ly);
  return {lx + d.rc * (px - lx) / l, ly + d.rc * (-ly) / l};
}
// A fillet circle touches the root from inside and the lobe from outside: its
// centre lies Ro - X from the ring's and rc + X from the lobe's, this far round.
double filletTurn(const Design &d) {
  const double c = d.Ro - d.X, f = d.rc + d.X;
  return std::acos((d.a * d.a + c * c - f * f) / (2 * d.a * c));
}
// Bore radius of the lobe centred at angle 0 and its fillets, at the angle w.
double lobeBore(const Design &d, double w) {
  double r = d.Ro;
  const double along = d.a * std::cos(w), off = d.a * std::sin(w);
  if (along > 0 && std::fabs(off) < d.rc) r = std::min(r, along - std::sqrt(d.rc * d.rc - off * off));
  if (d.X > 0) {
    const double turn = filletTurn(d), c = d.Ro - d.X, fx = c * std::cos(turn), fy = c * std::sin(turn);
    const double l = std::hypot(fx - d.a, fy), onLobe = std::atan2(d.rc * fy / l, d.a + d.rc * (fx - d.a) / l);
    const double v = std::fabs(w);  // the fillet fills the corner between its ends
    if (v >= onLobe && v <= turn)
      r = std::min(r, c * std::cos(v - turn) + std::sqrt(d.X * d.X - std::pow(c * std::sin(v - turn), 2)));
  }
  return r;
}
double boreRadius(const Design &d, double phi, double theta) {
  const double P = 2 * pi / d.z, w = std::remainder(phi - theta, P);
  return std::min({lobeBore(d, w), lobeBore(d, w - P), lobeBore(d, w + P)});
}
double polygonChamber(const Design &d, double theta) {
  const int n = 40000;
  std::vector<Pt> loop;
  const Pt k1 = contactAt(d, theta), k2 = contactAt(d, theta + 2 * pi / d.z);
  const double c1 = std::atan2(k1.y, k1.x);
  double c2 = std::atan2(k2.y, k2.x);
  while (c2 < c1) c2 += 2 * pi;
  for (int i = 0; i <= n; ++i) {
    const double phi = c1 + (c2 - c1) * i / n, r = boreRadius(d, phi, theta);
    loop.push_back({r * std::cos(phi), r * std::sin(phi)});
  }
  // From the second contact back to the first: one relative cycle of the
  // lobes before the first contact's.
  const double span = 2 * pi * (d.z - 1) / d.z;
  for (int i = 0; i <= n; ++i) {
    const double s = theta - span + span * i / n, q = (theta - s) * d.z / (d.z - 1);
    const Pt c = contactAt(d, s);
    loop.push_back({-d.e + std::cos(q) * (c.x + d.e) - std::sin(q) * c.y,
                    std::sin(q) * (c.x + d.e) + std::cos(q) * c.y});
  }
  double twice = 0;
  for (size_t i = 0; i < loop.size(); ++i) {
    const Pt &p = loop[i], &q = loop[(i + 1) % loop.size()];
    twice += p.x * q.y - q.x * p.y;
  }
  return std::fabs(twice) / 2;
}

TEST_F(Gerotor, SmallestAndLargestChambersMatchAFinePolygon) {
  // Bores star-shaped about the centre, as the polygon's ring assumes.
  for (const Design &d : {Design{z, a, rc, e, Ro}, Design{5, 12, 4.5, 1.6, 11}}) {
    const double X = 0;
    const int n = 241;  // every 1.5 degrees: the extremes to within a few per mille
    std::vector<double> angles(n), v(n);
    for (int k = 0; k < n; ++k) angles[k] = k * 2 * pi / (n - 1);
    ASSERT_EQ(gp_volume_(angles.data(), v.data(), &n, &d.z, &d.a, &d.rc, &d.Ro, &d.e, &X, &b), 0);
    const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    for (auto it : {lo, hi}) {
      const double t = angles[static_cast<size_t>(it - v.begin())];
      EXPECT_NEAR(*it / (b * 1e-9) / polygonChamber(d, t), 1, 0.005) << d.z << " " << t;
    }
  }
}

}  // namespace

namespace {

// ---- Designs at the bounds of what can exist ----------------------------------

// The inner gear at shaft angle 0 as a dense polygon: every contact point
// carried into the gear's own frame (one lobe's contacts over z - 1 turns of
// the ring relative to the gear trace every tooth).
std::vector<Pt> innerGear(const Design &d, int n) {
  std::vector<Pt> g;
  const double span = 2 * pi * (d.z - 1);
  for (int i = 0; i < n; ++i) {
    const double s = -span * i / n, q = -s * d.z / (d.z - 1);
    const Pt c = contactAt(d, s);
    g.push_back({-d.e + std::cos(q) * (c.x + d.e) - std::sin(q) * c.y, std::sin(q) * (c.x + d.e) + std::cos(q) * c.y});
  }
  return g;
}

// Pairs of edges of the closed polygon that cross (neighbours excluded).
int selfCrossings(const std::vector<Pt> &p) {
  const size_t n = p.size();
  const auto side = [](Pt a, Pt b, Pt c) { return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x); };
  int count = 0;
  for (size_t i = 0; i < n; ++i)
    for (size_t j = i + 2; j < n; ++j) {
      if (i == 0 && j == n - 1) continue;
      const Pt a = p[i], b = p[(i + 1) % n], c = p[j], e = p[(j + 1) % n];
      if (side(a, b, c) * side(a, b, e) < 0 && side(c, e, a) * side(c, e, b) < 0) ++count;
    }
  return count;
}

// Farthest that any point of the turning inner gear gets outside the ring's
// bore over a turn (mm; not above 0 when the gears clear).
double gearIntrusion(const Design &d) {
  const std::vector<Pt> gear = innerGear(d, 3000);
  double worst = -1e9;
  for (int j = 0; j < 1440; ++j) {
    const double theta = j * 2 * pi / 1440, q = theta * d.z / (d.z - 1);
    for (const Pt &p : gear) {
      const double x = -d.e + std::cos(q) * (p.x + d.e) - std::sin(q) * p.y;
      const double y = std::sin(q) * (p.x + d.e) + std::cos(q) * p.y;
      worst = std::max(worst, std::hypot(x, y) - boreRadius(d, std::atan2(y, x), theta));
    }
  }
  return worst;
}

// Neighbouring lobes share a point of the bore's root disc.
bool lobesMeetInsideRoot(const Design &d) {
  for (int i = 0; i < 20000; ++i) {
    const double r = d.Ro * i / 20000, x = r * std::cos(pi / d.z), y = r * std::sin(pi / d.z);
    if (std::hypot(x - d.a, y) < d.rc) return true;  // by symmetry in the next lobe too
  }
  return false;
}

// The fillet's centre has passed the bisector of the two lobes.
bool filletPastBisector(const Design &d) { return filletTurn(d) > pi / d.z; }

// The inner gear's root comes inside the circle 0.7 (a - rc) about its centre
// that bounds every chamber of the volume tables.
bool rootInsideChamberBound(const Design &d) {
  double root = 1e9;
  for (const Pt &p : innerGear(d, 20000)) root = std::min(root, std::hypot(p.x + d.e, p.y));
  return root < 0.7 * (d.a - d.rc);
}

enum class Fault { Loops, LobesMeet, Intrusion, FilletPastBisector, RootInsideBound };

bool shows(Fault f, const Design &d) {
  switch (f) {
    case Fault::Loops: return selfCrossings(innerGear(d, 6000)) > 0;
    case Fault::LobesMeet: return lobesMeetInsideRoot(d);
    case Fault::Intrusion: return gearIntrusion(d) > 1e-4;
    case Fault::FilletPastBisector: return filletPastBisector(d);
    case Fault::RootInsideBound: return rootInsideChamberBound(d);
  }
  return false;
}

// Volumes (mm3 for b = 1) at a dozen angles against the polygon, to a share
// of the largest chamber.
void expectPolygonVolumes(const Design &d, double share = 0.01) {
  const int n = 13;
  const double b1 = 1;
  std::vector<double> angles(n), v(n, -1), ref(n);
  for (int k = 0; k < n; ++k) angles[k] = 0.05 + k * 2 * pi / (n - 1);
  ASSERT_EQ(gp_volume_(angles.data(), v.data(), &n, &d.z, &d.a, &d.rc, &d.Ro, &d.e, &d.X, &b1), 0);
  for (int k = 0; k + 1 < n; ++k) ref[k] = polygonChamber(d, angles[k]);
  const double big = *std::max_element(ref.begin(), ref.end() - 1);
  for (int k = 0; k + 1 < n; ++k)
    EXPECT_NEAR(v[k] * 1e9, ref[k], share * big) << d.z << " " << d.Ro << " " << angles[k];
}

TEST_F(Gerotor, EachBoundSeparatesSoundGearsFromBrokenOnes) {
  // Just inside a bound the dense polygons show sound gears and the volumes
  // follow them; just outside they show the fault and the design is refused
  // with the condition named.
  struct Bound {
    Design inside, outside;
    Fault fault;
    const char *key;
    double share = 0.01;  // of the largest chamber, for the volumes inside
  };
  const Bound bounds[] = {
      {{7, 20, 7.9, 2, 16.5}, {7, 20, 8.2, 2, 16.5}, Fault::Loops, "loops"},
      {{9, 20, 6.8, 1, 18}, {9, 20, 6.9, 1, 18}, Fault::LobesMeet, "overlap"},
      {{9, 20, 8, 1, 14.5}, {9, 20, 8, 1, 14.8}, Fault::LobesMeet, "overlap"},  // crossing beyond the root
      {{7, 20, 6, 2, 18.05}, {7, 20, 6, 2, 17.95}, Fault::Intrusion, "reach"},
      {{7, 20, 6, 2, 18.05, 2.8}, {7, 20, 6, 2, 18.05, 3.05}, Fault::Intrusion, "teeth"},
      // z e / a = 0.91 bends the gear's flanks, which the volumes chord every
      // 15 degrees of its profile: 0.9 mm2 short in every chamber.
      {{7, 20, 4.5, 2.6, 21, 2.6}, {7, 20, 4.5, 2.6, 21, 2.95}, Fault::Intrusion, "contact", 0.015},
      {{7, 24, 5, 2.4, 24.5, 5.75}, {7, 24, 5, 2.4, 24.5, 5.9}, Fault::FilletPastBisector, "fit"},
      {{3, 20, 12, 2.35, 15}, {3, 20, 12, 2.45, 15}, Fault::RootInsideBound, "0.7 (a - rc)"},
  };
  for (const Bound &c : bounds) {
    SCOPED_TRACE(c.key);
    EXPECT_FALSE(shows(c.fault, c.inside));
    EXPECT_TRUE(shows(c.fault, c.outside));
    expectPolygonVolumes(c.inside, c.share);
    EXPECT_EQ(takeErr(), "");
    const Design &d = c.outside;
    double v = -1;
    const int one = 1;
    const double angle = 0;
    EXPECT_EQ(gp_volume_(&angle, &v, &one, &d.z, &d.a, &d.rc, &d.Ro, &d.e, &d.X, &b), -1);
    EXPECT_EQ(v, -1);
    EXPECT_NE(takeErr().find(c.key), std::string::npos);
  }
}

TEST_F(Gerotor, DesignsThatCannotExistAreRefusedBeforeAnyGeometry) {
  enum Part { Ring = 1, Inner = 2, Mesh = 4, Chamber = 8 };
  struct Case {
    Design d;
    int part;  // what the condition concerns: its builders refuse it, the others build
    const char *key;
  };
  const Case cases[] = {
      {{9, 20, 8, 1, 18}, Ring, "overlap"},
      {{7, 24, 5, 2.4, 21, 1.5}, Mesh, "reach"},
      {{7, 24, 5, 2.4, 18, 1.5}, Ring, "a - rc"},
      {{7, 20, 6, 2, 26.5}, Ring, "a + rc"},
      {{7, 24, 5, 2.4, 24.5, 10}, Ring, "fillet"},
      {{7, 20, 6, 2, 18.5, -0.5}, Ring, "fillet"},
      {{7, 20, 6, 2, 18.05, 3.05}, Mesh, "fillet"},
      {{7, 20, 4.5, 2.6, 21, 2.95}, Mesh, "fillet"},
      {{5, 10, 3, 2, 11}, Inner, "lobe centre"},  // z e = a
      {{7, 24, 5, 4, 24.5}, Inner, "lobe centre"},
      {{7, 20, 8.2, 2, 16.5}, Inner, "loops"},
      {{3, 20, 12, 2.45, 15}, Chamber, "0.7 (a - rc)"},
      // Chambers too thin to sample in bounded time.
      {{7, 24, 5, 1e-4, 24.1}, Mesh, "eccentricity"},
      {{7, 24, 5, 1e-6, 24.1}, Mesh, "eccentricity"},
      {{7, 24, 5, 5e-324, 24.1}, Mesh, "eccentricity"},
      {{3, 24, 5, 0.0479, 22}, Mesh, "eccentricity"},
  };
  const int n = 4;
  const double angles[n] = {0, 1, 2, 3}, r1 = 5, r2 = 40, xi = -2, o = 0, lo = -pi / 2, hi = pi / 2;
  const double theta = 0, c2 = 2 * pi, step = 0.01;
  const int mode = 1;
  const int port = create_analyticport_id_(&r1, &r2, &xi, &o, &o, &o, &lo, &hi, &mode);
  for (const Case &c : cases) {
    const Design &d = c.d;
    SCOPED_TRACE(std::string(c.key) + " z " + std::to_string(d.z) + " Ro " + std::to_string(d.Ro));
    double v[n] = {-1, -1, -1, -1}, area[n] = {-1, -1, -1, -1}, perim[n] = {-1, -1, -1, -1};
    int id = 7, ida = 7, idp = 7;
    const auto refused = [&](const char *routine) {
      const std::string err = takeErr();
      EXPECT_NE(err.find(c.key), std::string::npos) << err;
      EXPECT_EQ(err.find(routine), err.rfind(routine)) << err;  // one message
      EXPECT_NE(err.find(routine), std::string::npos) << err;
      EXPECT_EQ(err.find("infinite loop"), std::string::npos);
    };
    EXPECT_EQ(gp_volume_(angles, v, &n, &d.z, &d.a, &d.rc, &d.Ro, &d.e, &d.X, &b), -1);
    refused("gp_volume_");
    EXPECT_EQ(gp_get_displacement_(&d.z, &d.a, &d.rc, &d.Ro, &d.e, &d.X, &b), 0);
    refused("gp_get_displacement_");
    EXPECT_EQ(gp_set_up_volume_(&d.z, &d.a, &d.rc, &d.Ro, &d.e, &d.X, &b, &id), -1);
    refused("gp_set_up_volume_");
    EXPECT_EQ(id, -1);
    if (c.part != Chamber) {  // the ports build no chamber bound of their own
      EXPECT_EQ(gp_port_(&port, angles, area, perim, &n, &d.z, &d.a, &d.rc, &d.Ro, &d.e, &d.X), -1);
      refused("gp_port_");
      const double d0 = -90, d1 = 90;
      EXPECT_EQ(gp_set_up_flow_area_analytic_(&d.z, &d.a, &d.rc, &d.Ro, &d.e, &d.X, &d0, &d1, &ida, &idp), -1);
      refused("gp_set_up_flow_area_analytic_");
      EXPECT_EQ(gp_set_up_flow_area_contour_(&d.z, &d.a, &d.rc, &d.Ro, &d.e, &d.X, "no-such-port.txt", &ida, &idp), -1);
      refused("gp_set_up_flow_area_contour_");  // the design, not the missing file
    }
    for (int i = 0; i < n; ++i) EXPECT_TRUE(v[i] == -1 && area[i] == -1 && perim[i] == -1) << i;
    EXPECT_TRUE(ida == 7 && idp == 7);
    // The gear builders refuse what concerns the gear they build, and build
    // the other gear of such a design.
    shape *ring = create_gp_outer_gear2_(&d.z, &d.a, &d.rc, &d.Ro, &d.X, &theta);
    EXPECT_EQ(ring == nullptr, c.part == Ring);
    delete_shape_(ring);
    const int ringId = create_gp_outer_gear_id_(&d.z, &d.a, &d.rc, &d.Ro, &d.X, &theta, &o, &c2, &step, &o);
    EXPECT_EQ(ringId < 0, c.part == Ring);
    delete_shape_id_(&ringId);
    shape *inner = create_gp_inner_gear_(&d.z, &d.a, &d.rc, &d.e, &theta, &lo, &hi, &step, &o);
    EXPECT_EQ(inner == nullptr, c.part == Inner);
    delete_shape_(inner);
    const std::string err = takeErr();
    EXPECT_EQ(err.empty(), c.part != Ring && c.part != Inner) << err;
    EXPECT_EQ(err.find(c.key) != std::string::npos, c.part == Ring || c.part == Inner) << err;
  }
  delete_shape_id_(&port);
}

TEST_F(Gerotor, RingBuildersKeepLobesThatReachIntoTheBoreAndHangOnTheRing) {
  // Just inside a - rc < Ro < a + rc the ring is the root disc less the lobe
  // lenses; just outside it is refused.
  const double X = 0, theta = 0.2;
  for (double R : {a - rc + 0.05, a + rc - 0.05}) {
    const double d = a, lens = rc * rc * std::acos((d * d + rc * rc - R * R) / (2 * d * rc)) +
                               R * R * std::acos((d * d + R * R - rc * rc) / (2 * d * R)) -
                               0.5 * std::sqrt((-d + rc + R) * (d + rc - R) * (d - rc + R) * (d + rc + R));
    shape *ring = create_gp_outer_gear2_(&z, &a, &rc, &R, &X, &theta);
    ASSERT_NE(ring, nullptr) << R;
    EXPECT_NEAR(area2D_(ring), -(pi * R * R - z * lens), 1e-9 * R * R) << R;
    delete_shape_(ring);
  }
  EXPECT_EQ(takeErr(), "");
  for (auto [R, key] : {std::pair{a - rc - 0.05, "a - rc"}, std::pair{a + rc + 0.05, "a + rc"}}) {
    EXPECT_EQ(create_gp_outer_gear2_(&z, &a, &rc, &R, &X, &theta), nullptr) << R;
    EXPECT_NE(takeErr().find(key), std::string::npos) << R;
  }
}

TEST_F(Gerotor, SoundDesignsOfFiveSevenAndNineLobesWithFilletsFollowThePolygon) {
  for (const Design &d :
       {Design{5, 12, 4.5, 1.6, 11, 0.8}, Design{7, a, rc, e, Ro, 1.5}, Design{9, 20, 6, 1.5, 18, 1}}) {
    SCOPED_TRACE(d.z);
    EXPECT_FALSE(shows(Fault::Intrusion, d));
    expectPolygonVolumes(d);
    EXPECT_EQ(takeErr(), "");
  }
}

}  // namespace
