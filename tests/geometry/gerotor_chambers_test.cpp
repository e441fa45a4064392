// Gerotor chambers against references that share nothing with the library:
// the chamber as one dense loop closed by its two contacts (the ring's true
// lobe, fillet and root arcs met by circle intersections, the inner gear as
// the contacts carried into its own frame), and the volume rate integrated
// over the turn.  Designs from 3 to 15 lobes, with and without fillets,
// overhanging lobes and eccentricity ratios up to 0.95.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "geometry/kiv_gerotor.h"
#include "geometry/kiv_pumpgeom.h"
#include "geometry/kiv_shapeid.h"
#include "geometry/pumpgeom.hpp"
#include "support/kiv_test.hpp"
#include "tables/kiv_splinend.h"

namespace {

using Chambers = kiv::test::SystemTest;
constexpr double pi = 3.141592653589793;

struct Design {
  const char *kind;
  int z;
  double a, rc, e, Ro, X;
};
struct Pt {
  double x, y;
};

Pt contactAt(const Design &d, double s) {
  const double lx = d.a * std::cos(s), ly = d.a * std::sin(s), px = -d.z * d.e;
  const double l = std::hypot(px - lx, -ly);
  return {lx + d.rc * (px - lx) / l, ly - d.rc * ly / l};
}
// Point at distance R0 from the centre and rL from C, on the side `side` of
// the ray through C (+1: towards greater polar angles).
Pt meet(Pt C, double rL, double R0, int side) {
  const double d = std::hypot(C.x, C.y), x = (d * d + R0 * R0 - rL * rL) / (2 * d);
  const double h = std::sqrt(std::max(R0 * R0 - x * x, 0.0)), ux = C.x / d, uy = C.y / d;
  return {x * ux - side * h * uy, x * uy + side * h * ux};
}
double angleOf(Pt p, Pt c) { return std::atan2(p.y - c.y, p.x - c.x); }
void arc(std::vector<Pt> &out, Pt c, double r, double from, double sweep, int perRad) {
  const int n = std::max(4, static_cast<int>(std::fabs(sweep) * perRad));
  for (int i = 1; i <= n; ++i) out.push_back({c.x + r * std::cos(from + sweep * i / n), c.y + r * std::sin(from + sweep * i / n)});
}

// The chamber between the lobes at theta and theta + 2 pi / z, counter-clockwise.
std::vector<Pt> chamberLoop(const Design &d, double theta, int n = 6000) {
  const double P = 2 * pi / d.z;
  const Pt C1{d.a * std::cos(theta), d.a * std::sin(theta)}, C2{d.a * std::cos(theta + P), d.a * std::sin(theta + P)};
  const Pt K1 = contactAt(d, theta), K2 = contactAt(d, theta + P);
  // Fillet centres (or, without fillet, where lobe and root meet).
  const Pt F1 = meet(C1, d.rc + d.X, d.Ro - d.X, 1), F2 = meet(C2, d.rc + d.X, d.Ro - d.X, -1);
  const int per = n / 4;
  std::vector<Pt> loop{K1};
  // Lobe-circle angles from the lobe's innermost point: the ring runs over
  // the lobe from the contact to the fillet, then the fillet, root, fillet.
  const auto fromTip = [](Pt p, Pt C, double L) { return std::remainder(angleOf(p, C) - L - pi, 2 * pi); };
  const double k1 = fromTip(K1, C1, theta), e1 = fromTip(F1, C1, theta);
  arc(loop, C1, d.rc, theta + pi + k1, e1 - k1, per);
  if (d.X > 0) arc(loop, F1, d.X, angleOf(C1, F1), std::remainder(angleOf(F1, {0, 0}) - angleOf(C1, F1), 2 * pi), per);
  double root = std::atan2(F2.y, F2.x) - std::atan2(F1.y, F1.x);
  root -= 2 * pi * std::floor(root / (2 * pi));
  arc(loop, {0, 0}, d.Ro, std::atan2(F1.y, F1.x), root, per);
  if (d.X > 0) arc(loop, F2, d.X, angleOf(F2, {0, 0}), std::remainder(angleOf(C2, F2) - angleOf(F2, {0, 0}), 2 * pi), per);
  const double e2 = fromTip(F2, C2, theta + P), k2 = fromTip(K2, C2, theta + P);
  arc(loop, C2, d.rc, theta + P + pi + e2, k2 - e2, per);
  // The inner gear from the second contact back to the first: the contacts
  // of earlier lobes turned with the gear.
  const double span = 2 * pi * (d.z - 1) / d.z;
  for (int i = 1; i < n; ++i) {
    const double s = theta - span + span * i / n, q = (theta - s) * d.z / (d.z - 1);
    const Pt c = contactAt(d, s);
    loop.push_back({-d.e + std::cos(q) * (c.x + d.e) - std::sin(q) * c.y, std::sin(q) * (c.x + d.e) + std::cos(q) * c.y});
  }
  return loop;
}
double loopArea(const std::vector<Pt> &p) {
  double twice = 0;
  for (size_t i = 0; i < p.size(); ++i) twice += p[i].x * p[(i + 1) % p.size()].y - p[(i + 1) % p.size()].x * p[i].y;
  return twice / 2;
}

std::vector<double> turnTable(int n = 720) {
  std::vector<double> t(n);
  for (int k = 0; k < n; ++k) t[k] = k * 2 * pi / (n - 1);
  return t;
}

const Design kDesigns[] = {
    {"ordinary, just overhanging", 7, 24, 5, 2.4, 24.1, 0},
    {"overhanging", 7, 24, 5, 2.4, 26, 0},
    {"overhanging far", 7, 24, 5, 2.4, 28, 0},
    {"overhanging, three lobes", 3, 13.073152445361622, 8.6554657528235133, 0.1, 21.706889579986949, 0},
    {"three lobes, fillet", 3, 20, 10.360263508267712, 2.7599645966819359, 18.396737156849262, 1.8455683687173001},
    {"four lobes, fillet", 4, 20, 9.9465887753593396, 1.5119889684158188, 14.315382852430332, 1.4216787208075683},
    {"five lobes, fillet", 5, 12, 4.5, 1.6, 11, 0.8},
    {"fillet", 7, 20, 6, 2, 18.5, 1.5},
    {"nine lobes, fillet", 9, 20, 6, 1.5, 18, 1},
    {"lambda 0.85", 11, 20, 4, 1.5454545454545454, 19.5, 0},
    {"lambda 0.95, overhanging", 13, 20.255345233001634, 1.9102521731733755, 1.4846437298392365, 21.321250789763795, 0},
    {"twelve lobes, fillet", 12, 20, 1.9175549490208195, 0.94860340106787511, 19.989502775964652, 2.1476988113770021},
    {"fifteen lobes, fillet", 15, 20, 1.6727511679721194, 0.96739326402357384, 21.076656781066962, 1.7999170799877282},
    {"least eccentricity", 7, 24, 5, 0.048, 24.1, 0},
};

TEST_F(Chambers, VolumeTablesFollowTheTrueChambersAndTheIntegratedRate) {
  const std::vector<double> angles = turnTable();
  const int n = static_cast<int>(angles.size());
  const double b = 1;  // volumes in 1e-9 m3 = mm3
  for (const Design &d : kDesigns) {
    SCOPED_TRACE(d.kind);
    std::vector<double> v(n, -1), loop(n), rate(n);
    ASSERT_EQ(gp_volume_(angles.data(), v.data(), &n, &d.z, &d.a, &d.rc, &d.Ro, &d.e, &d.X, &b), 0);
    for (int k = 0; k < n; ++k) loop[k] = loopArea(chamberLoop(d, angles[k], 2000));
    // V(0) plus the midpoint sum of the rate, 16 points a table step.
    std::vector<double> out(d.z);
    rate[0] = v[0] * 1e9;
    for (int k = 1; k < n; ++k) {
      double sum = 0;
      for (int j = 0; j < 16; ++j) {
        const double t = angles[k - 1] + (j + 0.5) * (angles[k] - angles[k - 1]) / 16;
        gp_get_volume_derivative_(&d.z, &d.a, &d.rc, &d.e, &b, &t, out.data());
        sum += out[0];
      }
      rate[k] = rate[k - 1] + sum * (angles[k] - angles[k - 1]) / 16;
    }
    const double vmax = *std::max_element(loop.begin(), loop.end());
    double offLoop = 0, offRate = 0;
    for (int k = 0; k < n; ++k) {
      offLoop = std::max(offLoop, std::fabs(v[k] * 1e9 - loop[k]));
      offRate = std::max(offRate, std::fabs(v[k] * 1e9 - rate[k]));
    }
    EXPECT_LT(offLoop, 1e-3 * vmax);
    EXPECT_LT(offRate, 1e-3 * vmax);
    const auto swing = [](const std::vector<double> &x) {
      const auto [lo, hi] = std::minmax_element(x.begin(), x.end());
      return *hi - *lo;
    };
    const double displacement = gp_get_displacement_(&d.z, &d.a, &d.rc, &d.Ro, &d.e, &d.X, &b);
    EXPECT_NEAR(displacement * 1e9 / (swing(rate) * d.z / (2 * pi)), 1, 1e-3);
    EXPECT_EQ(takeErr(), "");
  }
}

// Ray casting over the edges that span the point's height, found through
// bands of the loop's height range.
struct LoopTest {
  const std::vector<Pt> &loop;
  double y0 = 1e300, y1 = -1e300, x0 = 1e300, x1 = -1e300;
  std::vector<std::vector<int>> bands;
  explicit LoopTest(const std::vector<Pt> &l) : loop(l), bands(512) {
    for (const Pt &p : l) y0 = std::min(y0, p.y), y1 = std::max(y1, p.y), x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
    for (size_t i = 0; i < l.size(); ++i) {
      const Pt &a = l[i], &b = l[(i + 1) % l.size()];
      for (int k = band(std::min(a.y, b.y)); k <= band(std::max(a.y, b.y)); ++k) bands[k].push_back(static_cast<int>(i));
    }
  }
  int band(double y) const {
    return std::clamp(static_cast<int>((y - y0) / (y1 - y0) * 512), 0, 511);
  }
  bool operator()(Pt p) const {
    if (p.y < y0 || p.y > y1 || p.x < x0 || p.x > x1) return false;
    bool in = false;
    for (int i : bands[band(p.y)]) {
      const Pt &a = loop[i], &b = loop[(i + 1) % loop.size()];
      if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) in = !in;
    }
    return in;
  }
};
// Twice the area swept from the origin by the part of the edge p q inside
// `in`, the crossing found by bisection (the edges are short enough to cross
// at most once).
template <class In>
double insideSweep(Pt p, Pt q, const In &in) {
  const bool ip = in(p), iq = in(q);
  if (ip != iq) {
    double lo = 0, hi = 1;
    for (int i = 0; i < 50; ++i) {
      const double m = (lo + hi) / 2;
      (in(Pt{p.x + (q.x - p.x) * m, p.y + (q.y - p.y) * m}) == ip ? lo : hi) = m;
    }
    const Pt c{p.x + (q.x - p.x) * lo, p.y + (q.y - p.y) * lo};
    (ip ? q : p) = c;
  } else if (!ip) {
    return 0;
  }
  return p.x * q.y - q.x * p.y;
}
// Area common to the loop and a port (its dense outline, counter-clockwise,
// and its inside test) by Green's theorem over each boundary inside the other.
template <class In>
double commonArea(const std::vector<Pt> &loop, const std::vector<Pt> &port, In inPort) {
  double twice = 0;
  for (size_t i = 0; i < loop.size(); ++i) twice += insideSweep(loop[i], loop[(i + 1) % loop.size()], inPort);
  const LoopTest inChamber(loop);
  for (size_t i = 0; i < port.size(); ++i) twice += insideSweep(port[i], port[(i + 1) % port.size()], inChamber);
  return twice / 2;
}

template <class In>
void expectPortsFollowTheLoop(const Design &d, int port, const std::vector<Pt> &outline, In inPort) {
  const std::vector<double> angles = turnTable(37);
  const int n = static_cast<int>(angles.size());
  std::vector<double> area(n), perim(n), ref(n);
  ASSERT_EQ(gp_port_(&port, angles.data(), area.data(), perim.data(), &n, &d.z, &d.a, &d.rc, &d.Ro, &d.e, &d.X), 0);
  for (int k = 0; k < n; ++k) ref[k] = commonArea(chamberLoop(d, angles[k], 3000), outline, inPort);
  const double big = *std::max_element(ref.begin(), ref.end());
  ASSERT_GT(big, 0);
  for (int k = 0; k < n; ++k) EXPECT_NEAR(area[k] * 1e6, ref[k], 1e-3 * big) << angles[k];
}

TEST_F(Chambers, PortAreasFollowTheChamberClippedByThePort) {
  for (const Design &d : {kDesigns[0], kDesigns[2], kDesigns[10], kDesigns[11]}) {
    SCOPED_TRACE(d.kind);
    // A sector over the right half, outside 0.7 (a - rc) about the inner
    // gear's centre and inside 1.05 Ro about the ring's.
    const double r1 = 0.7 * (d.a - d.rc), r2 = 1.05 * d.Ro, xi = -d.e, o = 0, lo = -pi / 2, hi = pi / 2;
    const int mode = 1, sector = create_analyticport_id_(&r1, &r2, &xi, &o, &o, &o, &lo, &hi, &mode);
    std::vector<Pt> outline;
    for (int i = 0; i <= 2000; ++i) outline.push_back({r2 * std::sin(pi * i / 2000), -r2 * std::cos(pi * i / 2000)});
    const double yi = std::sqrt(r1 * r1 - d.e * d.e), top = std::atan2(yi, d.e), sweep = 2 * top;
    for (int i = 0; i <= 2000; ++i) outline.push_back({xi + r1 * std::cos(top - sweep * i / 2000), r1 * std::sin(top - sweep * i / 2000)});
    expectPortsFollowTheLoop(d, sector, outline, [&](Pt p) {
      return p.x > 0 && std::hypot(p.x, p.y) < r2 && std::hypot(p.x - xi, p.y) > r1;
    });
    // A round port where the chambers open.
    const double cx = 0.8 * d.Ro, r = 0.3 * d.Ro;
    std::vector<double> x(3600), y(3600);
    for (int i = 0; i < 3600; ++i) x[i] = cx + r * std::cos(i * pi / 1800), y[i] = r * std::sin(i * pi / 1800);
    const int round = xCD_create_shape_from_array_(x.data(), y.data(), 3600);
    outline.clear();
    for (int i = 0; i < 3600; ++i) outline.push_back({x[i], y[i]});
    expectPortsFollowTheLoop(d, round, outline, [&](Pt p) { return std::hypot(p.x - cx, p.y) < r; });
    EXPECT_EQ(takeErr(), "");
  }
}

// ---- Port tables over the whole turn --------------------------------------
// The chamber as a dense loop and the port as the polygon it is registered
// as, clipped against each other by their own crossings: the pieces of each
// boundary inside the other, joined end to start into the loops of the
// common region.  Loops under 0.001 mm2 are left out, as the kernel leaves
// out such contours.

// Every entry in the optimised build; every fourth under the sanitizers,
// some ten times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kEvery = 4;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kEvery = 4;
#else
constexpr int kEvery = 1;
#endif
#else
constexpr int kEvery = 1;
#endif

// A closed polygon with its edges bucketed on a grid of square cells.
struct Outline {
  std::vector<Pt> p;
  double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300, h = 1;
  int nx = 1, ny = 1;
  std::vector<std::vector<int>> cells;
  explicit Outline(std::vector<Pt> pts) : p(std::move(pts)) {
    double len = 0;
    for (size_t i = 0; i < p.size(); ++i) {
      x0 = std::min(x0, p[i].x), y0 = std::min(y0, p[i].y), x1 = std::max(x1, p[i].x), y1 = std::max(y1, p[i].y);
      len += std::hypot(next(i).x - p[i].x, next(i).y - p[i].y);
    }
    // Some four edges a cell, and no more than some four thousand cells.
    h = std::max({4 * len / static_cast<double>(p.size()), std::sqrt((x1 - x0) * (y1 - y0) / 4096), 1e-9});
    nx = static_cast<int>((x1 - x0) / h) + 1, ny = static_cast<int>((y1 - y0) / h) + 1;
    cells.resize(static_cast<size_t>(nx * ny));
    for (size_t i = 0; i < p.size(); ++i)
      for (int r = row(std::min(p[i].y, next(i).y)); r <= row(std::max(p[i].y, next(i).y)); ++r)
        for (int c = col(std::min(p[i].x, next(i).x)); c <= col(std::max(p[i].x, next(i).x)); ++c)
          cells[static_cast<size_t>(r * nx + c)].push_back(static_cast<int>(i));
  }
  const Pt &next(size_t i) const { return p[(i + 1) % p.size()]; }
  int col(double x) const { return std::clamp(static_cast<int>((x - x0) / h), 0, nx - 1); }
  int row(double y) const { return std::clamp(static_cast<int>((y - y0) / h), 0, ny - 1); }
  // The cells of the box of a b.
  template <class F>
  void forCells(Pt a, Pt b, F f) const {
    if (std::max(a.x, b.x) < x0 || std::min(a.x, b.x) > x1 || std::max(a.y, b.y) < y0 || std::min(a.y, b.y) > y1)
      return;
    for (int r = row(std::min(a.y, b.y)); r <= row(std::max(a.y, b.y)); ++r)
      for (int c = col(std::min(a.x, b.x)); c <= col(std::max(a.x, b.x)); ++c)
        f(cells[static_cast<size_t>(r * nx + c)]);
  }
  bool apart(const Outline &o) const { return o.x0 > x1 || o.x1 < x0 || o.y0 > y1 || o.y1 < y0; }
  // Parity of the edges crossed by the ray towards +x, each edge counted in
  // the cell that holds its crossing.
  bool inside(Pt q) const {
    if (q.y < y0 || q.y > y1 || q.x > x1) return false;
    bool in = false;
    const int r = row(q.y);
    for (int c = col(q.x); c < nx; ++c)
      for (int i : cells[static_cast<size_t>(r * nx + c)]) {
        const Pt &a = p[static_cast<size_t>(i)], &b = next(static_cast<size_t>(i));
        if ((a.y > q.y) == (b.y > q.y)) continue;
        const double x = a.x + (q.y - a.y) * (b.x - a.x) / (b.y - a.y);
        if (x > q.x && col(x) == c) in = !in;
      }
    return in;
  }
};

// A polygon with no edge longer than `most`: the same outline, its long
// edges parted, so that each edge meets the few cells of a fine grid.
std::vector<Pt> parted(const std::vector<Pt> &p, double most) {
  std::vector<Pt> out;
  for (size_t i = 0; i < p.size(); ++i) {
    const Pt a = p[i], b = p[(i + 1) % p.size()];
    const int m = std::max(1, static_cast<int>(std::ceil(std::hypot(b.x - a.x, b.y - a.y) / most)));
    for (int k = 0; k < m; ++k) out.push_back({a.x + (b.x - a.x) * k / m, a.y + (b.y - a.y) * k / m});
  }
  return out;
}

// Where an edge of one polygon crosses an edge of the other: the edge and
// the parameter along it, for each of the two.
struct Hit {
  int edge;
  double t;
  bool operator<(const Hit &o) const { return edge < o.edge || (edge == o.edge && t < o.t); }
  bool operator==(const Hit &o) const { return edge == o.edge && t == o.t; }
};
void crossings(const Outline &a, const Outline &b, std::vector<Hit> &onA, std::vector<Hit> &onB) {
  for (size_t j = 0; j < b.p.size(); ++j) {
    const Pt &c = b.p[j], &d = b.next(j);
    a.forCells(c, d, [&](const std::vector<int> &cell) {
      for (int i : cell) {
        const Pt &e = a.p[static_cast<size_t>(i)], &f = a.next(static_cast<size_t>(i));
        const double ex = f.x - e.x, ey = f.y - e.y, dx = d.x - c.x, dy = d.y - c.y, den = ex * dy - ey * dx;
        if (den == 0) continue;
        const double s = ((c.x - e.x) * dy - (c.y - e.y) * dx) / den, u = ((c.x - e.x) * ey - (c.y - e.y) * ex) / den;
        if (s < 0 || s >= 1 || u < 0 || u >= 1) continue;
        onA.push_back({i, s});
        onB.push_back({static_cast<int>(j), u});
      }
    });
  }
  for (std::vector<Hit> *h : {&onA, &onB}) {
    std::sort(h->begin(), h->end());
    h->erase(std::unique(h->begin(), h->end()), h->end());
  }
}

// The pieces of a's boundary inside b, split at a's crossings, as runs of
// points in a's order.
void insideRuns(const Outline &a, const Outline &b, const std::vector<Hit> &hits, std::vector<std::vector<Pt>> &runs) {
  const size_t first = runs.size();
  std::vector<Pt> run;
  bool open = false, fromStart = false;
  std::vector<double> t;
  auto h = hits.begin();
  for (size_t i = 0; i < a.p.size(); ++i) {
    const Pt s = a.p[i], e = a.next(i);
    t.assign({0.0});
    for (; h != hits.end() && h->edge == static_cast<int>(i); ++h) t.push_back(h->t);
    t.push_back(1.0);
    // An edge that meets nothing, not even at its start, stays on the side
    // of the one before it.
    const bool meets = t.size() > 2 || i == 0;
    const auto at = [&](double u) { return Pt{s.x + u * (e.x - s.x), s.y + u * (e.y - s.y)}; };
    for (size_t k = 0; k + 1 < t.size(); ++k) {
      if (!(t[k + 1] > t[k])) continue;
      const bool in = meets ? b.inside(at((t[k] + t[k + 1]) / 2)) : open;
      if (in && !open) {
        run = {at(t[k])};
        fromStart = fromStart || (i == 0 && k == 0);
      }
      if (in) run.push_back(at(t[k + 1]));
      if (!in && open) runs.push_back(run);
      open = in;
    }
  }
  if (!open) return;
  // The run still open goes on into the one that began at the first vertex.
  if (fromStart && runs.size() > first) {
    run.insert(run.end(), runs[first].begin() + 1, runs[first].end());
    runs[first] = run;
  } else {
    runs.push_back(run);
  }
}

struct Common {
  double area = 0, length = 0;
  bool meets = false;            // the boundaries cross or one lies inside the other
  bool nearKernelBound = false;  // a loop so small that the kernel may keep or drop it
};
Common common(const Outline &chamber, const Outline &port) {
  Common c;
  if (chamber.apart(port)) return c;
  std::vector<Hit> onChamber, onPort;
  crossings(chamber, port, onChamber, onPort);
  std::vector<std::vector<Pt>> runs;
  insideRuns(chamber, port, onChamber, runs);
  insideRuns(port, chamber, onPort, runs);
  c.meets = !runs.empty();
  std::vector<bool> used(runs.size(), false);
  const auto dist = [](Pt a, Pt b) { return std::hypot(a.x - b.x, a.y - b.y); };
  for (size_t r0 = 0; r0 < runs.size(); ++r0) {
    if (used[r0]) continue;
    used[r0] = true;
    std::vector<Pt> loop = runs[r0];
    for (size_t guard = 0; guard < runs.size(); ++guard) {
      size_t best = r0;
      double d = dist(loop.back(), runs[r0].front());
      for (size_t r = 0; r < runs.size(); ++r)
        if (!used[r] && dist(loop.back(), runs[r].front()) < d) best = r, d = dist(loop.back(), runs[r].front());
      if (best == r0) break;
      used[best] = true;
      loop.insert(loop.end(), runs[best].begin() + 1, runs[best].end());
    }
    const double a = loopArea(loop);
    double len = 0;
    for (size_t i = 0; i + 1 < loop.size(); ++i) len += dist(loop[i], loop[i + 1]);
    if (std::fabs(a) > 5e-4 && std::fabs(a) < 2e-3) c.nearKernelBound = true;
    if (std::fabs(a) < 1e-3) continue;
    c.area += a;
    c.length += len;
  }
  return c;
}

std::vector<Pt> registeredOutline(int id) {
  const shape *s = xCD_get_shape_(&id);
  std::vector<Pt> out;
  const point *q = s->paths[0]->first;
  do {
    out.push_back({q->x, q->y});
    q = q->next;
  } while (q != s->paths[0]->first);
  if (loopArea(out) < 0) std::reverse(out.begin(), out.end());
  return out;
}

TEST_F(Chambers, PortTablesFollowTheChamberClippedByEachPortAllTurn) {
  // The turn table (every kEvery-th entry), its last entry a full turn.
  std::vector<double> angles;
  for (int k = 0; k + 1 < 720; k += kEvery) angles.push_back(k * 2 * pi / 719);
  angles.push_back(2 * pi);
  const int n = static_cast<int>(angles.size());
  for (const Design &d : kDesigns) {
    SCOPED_TRACE(d.kind);
    std::vector<Outline> chambers;
    for (int k = 0; k < n; ++k) chambers.emplace_back(chamberLoop(d, angles[k], 1000));
    // Sector ports from every eighth of a turn over 140 degrees, and a round
    // port where the chambers open.
    std::vector<int> ports;
    for (int j = 0; j < 8; ++j) {
      const double r1 = 0.7 * (d.a - d.rc), r2 = 1.05 * d.Ro, xi = -d.e, o = 0, lo = j * pi / 4,
                   hi = lo + 140 * pi / 180;
      const int mode = 1;
      ports.push_back(create_analyticport_id_(&r1, &r2, &xi, &o, &o, &o, &lo, &hi, &mode));
    }
    std::vector<double> x(720), y(720);
    for (int i = 0; i < 720; ++i)
      x[i] = 0.8 * d.Ro + 0.3 * d.Ro * std::cos(i * pi / 360), y[i] = 0.3 * d.Ro * std::sin(i * pi / 360);
    ports.push_back(xCD_create_shape_from_array_(x.data(), y.data(), 720));
    for (const int port : ports) {
      SCOPED_TRACE(port);
      std::vector<double> area(n), perim(n);
      ASSERT_EQ(gp_port_(&port, angles.data(), area.data(), perim.data(), &n, &d.z, &d.a, &d.rc, &d.Ro, &d.e, &d.X), 0);
      EXPECT_EQ(takeErr(), "");  // no walk gave up, not even on the way
      const Outline outline(parted(registeredOutline(port), 0.01 * d.Ro));
      std::vector<Common> ref;
      double big = 0, longest = 0;
      for (const Outline &c : chambers) {
        ref.push_back(common(c, outline));
        big = std::max(big, ref.back().area);
        longest = std::max(longest, ref.back().length);
      }
      ASSERT_GT(big, 0);
      for (int k = 0; k < n; ++k) {
        EXPECT_NEAR(area[k] * 1e6, ref[k].area, 1e-3 * big) << k * kEvery;
        // A window is closed only where chamber and port do not meet.
        if (!ref[k].meets) {
          EXPECT_TRUE(area[k] == 0 && perim[k] == 0.001) << k * kEvery;
        }
        // The closed chamber leaves out the thinnest cusp at each contact (a
        // few micrometres long); the sector construction chords the gear
        // more coarsely.
        if (ref[k].area > 1e-3 * big && !ref[k].nearKernelBound) {
          EXPECT_NEAR(perim[k] * 1e3, ref[k].length, 5e-3 * longest) << k * kEvery;
        }
      }
    }
  }
}

TEST_F(Chambers, ChambersClosedByTheirContactsCrossNowhereAllTurn) {
  for (const Design &d : kDesigns) {
    SCOPED_TRACE(d.kind);
    const kiv::geom::Gerotor g{d.z, d.a, d.rc, d.e, d.Ro, d.X};
    const kiv::geom::ChamberPlan plan = kiv::geom::planChambers("test", g);
    int crossing = 0;
    for (int k = 0; k < 719; k += kEvery) {
      const kiv::geom::ShapePtr c = kiv::geom::contourChamber(g, plan, k * 2 * pi / 719);
      ASSERT_TRUE(c && c->npaths == 1) << k;
      crossing += check_intersections_paths(c->paths[0], c->paths[0]) != 0;
      EXPECT_GT(area2D_(c.get()), 0) << k;
    }
    EXPECT_EQ(crossing, 0);
  }
}

// Straight runs of a chamber that stop dead or turn back: a sample repeated
// (an edge far below any step of the build) or two samples in reverse order
// (an edge turning back on the one before).  Arcs part the runs.
int foldsOf(const path *p, double a) {
  std::vector<Pt> run;
  int folds = 0;
  const auto judge = [&] {
    for (size_t i = 1; i < run.size(); ++i) {
      const double dx = run[i].x - run[i - 1].x, dy = run[i].y - run[i - 1].y;
      if (std::hypot(dx, dy) < 1e-12 * a) ++folds;
      if (i + 1 == run.size()) continue;
      const double ex = run[i + 1].x - run[i].x, ey = run[i + 1].y - run[i].y;
      // Turning by more than 150 degrees.
      if (dx * ex + dy * ey < -0.866 * std::hypot(dx, dy) * std::hypot(ex, ey)) ++folds;
    }
    run.clear();
  };
  const point *q = p->first;
  do {
    if (q->arc) {
      judge();
    } else {
      run.push_back({q->x, q->y});
    }
    q = q->next;
  } while (q != p->first);
  if (!p->first->arc) run.push_back({p->first->x, p->first->y});
  judge();
  return folds;
}

TEST_F(Chambers, ChambersClosedByTheirContactsNeitherRepeatNorReverseASample) {
  // The last knot of a tooth within rounding of the next tooth's first.
  const Design seam{"knot at the tooth seam", 15, 42.462791541774763, 0.75471590412460632, 0.1237868065362763,
                    42.773617328191655, 0};
  std::vector<Design> designs(std::begin(kDesigns), std::end(kDesigns));
  designs.push_back(seam);
  for (const Design &d : designs) {
    SCOPED_TRACE(d.kind);
    const kiv::geom::Gerotor g{d.z, d.a, d.rc, d.e, d.Ro, d.X};
    const kiv::geom::ChamberPlan plan = kiv::geom::planChambers("test", g);
    const int every = &d == &designs.back() ? 1 : kEvery;
    for (int k = 0; k < 719; k += every) {
      const kiv::geom::ShapePtr c = kiv::geom::contourChamber(g, plan, k * 2 * pi / 719);
      ASSERT_TRUE(c && c->npaths == 1) << k;
      EXPECT_EQ(foldsOf(c->paths[0], d.a), 0) << k;
    }
  }
}

TEST_F(Chambers, APortNoBooleanCanCutIsRefusedNotTakenClosed) {
  const Design &d = kDesigns[7];
  // A square port with a corner that is no number.
  shape *bad = create_shape();
  path *p = create_path();
  add_path(p, bad);
  for (const Pt c : {Pt{10, -5}, Pt{30, -5}, Pt{30, NAN}, Pt{10, 5}}) add_last_xy_(p, c.x, c.y);
  const int port = register_shape_id_(bad);
  const double angles[] = {0, 1, 2};
  const int n = 3;
  double area[] = {-1, -1, -1}, perim[] = {-1, -1, -1};
  EXPECT_EQ(gp_port_(&port, angles, area, perim, &n, &d.z, &d.a, &d.rc, &d.Ro, &d.e, &d.X), -1);
  EXPECT_NE(takeErr().find("gp_port_"), std::string::npos);
  for (int i = 0; i < n; ++i) EXPECT_TRUE(area[i] == -1 && perim[i] == -1) << i;
  // Gears given as shapes, the same port as port 2.
  const double t0 = 0, lo = -pi, hi = pi, step = 0.01, m = 0, xi = -d.e, o = 0, b = 1;
  const int inner = create_gp_inner_gear_id_(&d.z, &d.a, &d.rc, &d.e, &t0, &lo, &hi, &step, &m);
  const int outer = create_gp_outer_gear2_id_(&d.z, &d.a, &d.rc, &d.Ro, &d.X, &t0);
  const double r1 = 0.7 * (d.a - d.rc), r2 = 1.05 * d.Ro, a1 = -pi / 2, a2 = pi / 2;
  const int mode = 1, good = create_analyticport_id_(&r1, &r2, &xi, &o, &o, &o, &a1, &a2, &mode);
  double v[n], q1[n], q2[n], p1[n], p2[n];
  EXPECT_EQ(gp_ud_compute_volume_area_(&d.z, &xi, &o, &inner, &o, &o, &outer, &good, &port, &b, &n, angles, v, q1, p1,
                                       q2, p2),
            -1);
  EXPECT_NE(takeErr().find("gp_ud_compute_volume_area_"), std::string::npos);
}

TEST_F(Chambers, SampledRingOfOverhangingLobesHasTheAreaOfTheTrueRing) {
  const int z = 7;
  const double a = 24, rc = 5, theta = 0.3, c1 = 0, c2 = 2 * pi, step = 0.3 * pi / 180, margin = 0;
  for (double Ro : {24.1, 25.0, 26.0, 28.0})
    for (double X : {0.0, 1.0}) {
      shape *arcs = create_gp_outer_gear2_(&z, &a, &rc, &Ro, &X, &theta);
      shape *sampled = create_gp_outer_gear_(&z, &a, &rc, &Ro, &X, &theta, &c1, &c2, &step, &margin);
      ASSERT_TRUE(arcs && sampled);
      EXPECT_NEAR(area2D_(sampled) / area2D_(arcs), 1, 1e-4) << Ro << " " << X;
      EXPECT_EQ(check_shape(sampled), 0);
      delete_shape_(arcs);
      delete_shape_(sampled);
    }
}

TEST_F(Chambers, ShapeDefinedGearsFollowOneTrueChamberWithExactOrSampledRings) {
  for (const Design &d : {kDesigns[7], kDesigns[2]}) {
    for (bool exact : {true, false}) {
      SCOPED_TRACE(std::string(d.kind) + (exact ? " exact ring" : " sampled ring"));
      const double t0 = 0, lo = -pi, hi = pi, step = 0.01, m = 0, xi = -d.e, o = 0, turn = 2 * pi, b = 1;
      const int inner = create_gp_inner_gear_id_(&d.z, &d.a, &d.rc, &d.e, &t0, &lo, &hi, &step, &m);
      const int outer = exact ? create_gp_outer_gear2_id_(&d.z, &d.a, &d.rc, &d.Ro, &d.X, &t0)
                              : create_gp_outer_gear_id_(&d.z, &d.a, &d.rc, &d.Ro, &d.X, &t0, &o, &turn, &step, &m);
      const double r1 = 0.7 * (d.a - d.rc), r2 = 1.05 * d.Ro, p1a = -pi / 2, p1b = pi / 2, p2a = pi / 2, p2b = 3 * pi / 2;
      const int mode = 1;
      const int port1 = create_analyticport_id_(&r1, &r2, &xi, &o, &o, &o, &p1a, &p1b, &mode);
      const int port2 = create_analyticport_id_(&r1, &r2, &xi, &o, &o, &o, &p2a, &p2b, &mode);
      const int n = 24;
      std::vector<double> angles(n), v(n), a1(n), q1(n), a2(n), q2(n);
      for (int k = 0; k < n; ++k) angles[k] = k * 2 * pi / n;
      ASSERT_EQ(gp_ud_compute_volume_area_(&d.z, &xi, &o, &inner, &o, &o, &outer, &port1, &port2, &b, &n,
                                           angles.data(), v.data(), a1.data(), q1.data(), a2.data(), q2.data()), 0);
      // Which chamber the ring's first node picks is the variant's own; it
      // must be one of the z, the same one all turn.
      std::vector<std::vector<double>> loops(d.z, std::vector<double>(n));
      double vmax = 0;
      for (int c = 0; c < d.z; ++c)
        for (int k = 0; k < n; ++k) vmax = std::max(vmax, loops[c][k] = loopArea(chamberLoop(d, angles[k] - c * 2 * pi / d.z, 3000)));
      double best = 1e9;
      for (int c = 0; c < d.z; ++c) {
        double off = 0;
        for (int k = 0; k < n; ++k) off = std::max(off, std::fabs(v[k] * 1e9 - loops[c][k]));
        best = std::min(best, off);
      }
      EXPECT_LT(best, 1e-3 * vmax);
      EXPECT_EQ(takeErr(), "");
    }
  }
}

TEST_F(Chambers, ContactOnThePitchPointDoesNotSlide) {
  // a - rc = z e: at pi the lobe's contact is the pitch point itself.
  const int z = 7;
  const double a = 20, rc = 6, e = 2, h = 0.01, w = 10, omega = 100;
  for (double t : {pi, pi - 1e-9, pi + 0.02}) {
    double u = NAN, q = NAN, x, y;
    gp_get_leakage_couette_(&z, &a, &rc, &e, &h, &w, &t, &omega, &u, &q);
    gp_get_xc_yc_(&z, &a, &rc, &e, &t, &x, &y);
    // Both gears turn about the pitch point relative to each other at omega / z.
    EXPECT_NEAR(std::fabs(u), omega / z * std::hypot(x + z * e, y), 1e-6) << t;
    EXPECT_TRUE(std::isfinite(q));
  }
}

TEST_F(Chambers, AbsurdRequestsAreRefusedNamingTheCall) {
  const int z = 7, zMax = INT_MAX, zMin = INT_MIN;
  const double a = 20, rc = 6, e = 2, Ro = 18.5, X = 0, b = 10, o = 0, step = 0.01, turn = 2 * pi;
  const double huge = 1e6, inf = INFINITY, far = 1e300, tiny = 1e-9, least = 1e-300, most = DBL_MAX, nan = NAN;
  const auto refused = [&](bool done, const char *call) {
    EXPECT_TRUE(done) << call;
    EXPECT_NE(takeErr().find(call), std::string::npos) << call;
  };
  struct Inner {  // end angle, turn, step, margin, lobes
    double tb, theta0, step, margin;
    int z;
  } const inner[] = {{huge, o, step, o, z}, {inf, o, step, o, z},   {o, far, step, o, z},  {o, o, tiny, o, z},
                     {o, o, least, o, z},   {o, o, step, huge, z}, {o, o, step, o, zMax}, {o, o, inf, o, z}};
  for (const Inner &c : inner)
    refused(create_gp_inner_gear_(&c.z, &a, &rc, &e, &c.theta0, &o, &c.tb, &c.step, &c.margin) == nullptr,
            "create_gp_inner_gear_");
  refused(create_gp_outer_gear_(&z, &a, &rc, &Ro, &X, &o, &o, &turn, &tiny, &o) == nullptr, "create_gp_outer_gear_");
  double u = 7, q = 7;
  const double h = 0.01, w = 10, omega = 100;
  gp_get_leakage_couette_(&zMin, &a, &rc, &e, &h, &w, &o, &omega, &u, &q);
  refused(u == 7 && q == 7, "gp_get_leakage_couette_");
  refused(gp_get_displacement_(&z, &a, &rc, &Ro, &e, &X, &most) == 0, "gp_get_displacement_");
  // Thicknesses whose volume table or its spline would not be finite.
  for (double thick : {1e200, 1e300, most}) {
    int id = 7;
    refused(gp_set_up_volume_(&z, &a, &rc, &Ro, &e, &X, &thick, &id) == -1 && id == -1, "gp_set_up_volume_");
  }
  {
    // The thickest of the tables: every value of its spline a number.
    const double thick = 1e150;
    int id = -1;
    ASSERT_EQ(gp_set_up_volume_(&z, &a, &rc, &Ro, &e, &X, &thick, &id), 0);
    for (double t = 0; t < 2 * pi; t += 0.01) {
      double v = NAN;
      spleval_(&id, &t, &v);
      ASSERT_TRUE(std::isfinite(v) && v > 0) << t;
    }
  }
  const double r1 = 5, r2 = 20, lo = -1, hi = 1;
  const int mode = 1, port = create_analyticport_id_(&r1, &r2, &o, &o, &o, &o, &lo, &hi, &mode), n = 3;
  for (double bad : {nan, inf, -inf}) {
    double angles[] = {0, bad, 1}, v[] = {-1, -1, -1}, area[] = {-1, -1, -1}, perim[] = {-1, -1, -1};
    refused(gp_volume_(angles, v, &n, &z, &a, &rc, &Ro, &e, &X, &b) == -1, "gp_volume_");
    refused(gp_port_(&port, angles, area, perim, &n, &z, &a, &rc, &Ro, &e, &X) == -1, "gp_port_");
    for (int i = 0; i < n; ++i) EXPECT_TRUE(v[i] == -1 && area[i] == -1 && perim[i] == -1);
  }
}

}  // namespace
