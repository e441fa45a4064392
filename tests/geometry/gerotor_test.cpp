// Gerotor geometry against brute force: the inner gear as what the ring's
// bore never sweeps, chambers integrated ray by ray, and the ring against
// the lens area of a lobe and the root circle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/kiv_gerotor.h"
#include "geometry/kiv_shapeid.h"
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
    double best = 1e9;
    const point *p = inner->paths[0]->first;
    do best = std::min(best, std::hypot(p->x - x, p->y - y)); while ((p = p->next) != inner->paths[0]->first);
    EXPECT_LT(best, 0.02) << k;
    EXPECT_TRUE(inGear(x - 1e-3 * (x + e), y - 1e-3 * y, th0, Ro)) << k;  // just inside the gear
  }
  delete_shape_(inner);
}

TEST_F(Gerotor, RingBoreIsTheRootDiscLessTheLobeLenses) {
  // Lens of the root circle and a lobe at distance a.
  const double d = a, lens = rc * rc * std::acos((d * d + rc * rc - Ro * Ro) / (2 * d * rc)) +
                             Ro * Ro * std::acos((d * d + Ro * Ro - rc * rc) / (2 * d * Ro)) -
                             0.5 * std::sqrt((-d + rc + Ro) * (d + rc - Ro) * (d - rc + Ro) * (d + rc + Ro));
  const double X0 = 0, X1 = 1.5, theta = 0.3, c1 = 0, c2 = 2 * pi, step = 0.001, margin = 0;
  shape *exact = create_gp_outer_gear2_(&z, &a, &rc, &Ro, &X0, &theta);
  EXPECT_NEAR(area2D_(exact), -(pi * Ro * Ro - z * lens), 1e-9);
  for (double X : {X0, X1}) {
    shape *arcs = create_gp_outer_gear2_(&z, &a, &rc, &Ro, &X, &theta);
    shape *sampled = create_gp_outer_gear_(&z, &a, &rc, &Ro, &X, &theta, &c1, &c2, &step, &margin);
    EXPECT_NEAR(area2D_(sampled) / area2D_(arcs), 1, 1e-5) << X;
    delete_shape_(arcs);
    delete_shape_(sampled);
  }
  delete_shape_(exact);
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
  // The rates of one chamber swing by the same volume (mm3).
  double acc = 0, lo = 0, hi = 0, out[z];
  const int m = 4000;
  for (int i = 0; i < m; ++i) {
    const double t = (i + 0.5) * 2 * pi * z / (z - 1) / m;
    gp_get_volume_derivative_(&z, &a, &rc, &e, &b, &t, out);
    acc += out[0] * 2 * pi * z / (z - 1) / m;
    lo = std::min(lo, acc);
    hi = std::max(hi, acc);
  }
  EXPECT_NEAR((hi - lo) / ((vmax - vmin) * b), 1, 0.01);
  const double flat[] = {2, 2, 2};
  const int three = 3, one = 1;
  EXPECT_EQ(gp_ud_get_displacement_(&z, &three, flat), 0);
  EXPECT_EQ(gp_ud_get_displacement_(&z, &one, flat), 0);
}

TEST_F(Gerotor, BuildersRefuseNonFiniteDimensions) {
  const double bad = NAN, zero = 0, step = 0.01;
  EXPECT_EQ(create_gp_outer_gear2_(&z, &a, &rc, &bad, &zero, &zero), nullptr);
  EXPECT_EQ(create_gp_inner_gear_id_(&z, &a, &bad, &e, &zero, &zero, &zero, &step, &zero), -1);
  int id = 0;
  EXPECT_EQ(gp_set_up_volume_(&z, &a, &rc, &Ro, &bad, &zero, &b, &id), -1);
  EXPECT_EQ(id, -1);
}

}  // namespace
