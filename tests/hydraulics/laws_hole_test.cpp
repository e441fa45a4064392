// Round hole: the open area against the circular-segment formula, the
// open/covered switch, the inverse search and the flows of open and covered
// holes.
#include <cmath>
#include <numbers>

#include "laws_support.hpp"

namespace kiv::test {
namespace {

using Hole = LawsTest;

struct Geom {
  double A = 0, dh = 0;
  int state = 0, r1 = 0, r2 = 0;
};

Geom geom(double x, double xmax, double d, double c, double e, Geom g = {}) {
  qhole_geom_(&x, &xmax, &d, &c, &e, &g.A, &g.dh, &g.state, &g.r1, &g.r2);
  return g;
}

// Segment of a circle of radius R cut at height h from its rim, and its
// wetted perimeter (arc plus chord).
double segmentArea(double R, double h) {
  return R * R * std::acos((R - h) / R) - (R - h) * std::sqrt(2.0 * R * h - h * h);
}
double segmentPerimeter(double R, double h) {
  const double half = std::acos((R - h) / R);
  return 2.0 * R * half + 2.0 * std::sqrt(2.0 * R * h - h * h);
}

TEST_F(Hole, OpenAreaIsTheUncoveredSegment) {
  const double d = 4e-3, c = 2e-5, R = d / 2;
  for (double e : {0.0, 1e-4}) {
    for (double x : {1e-4, 1e-3, 2e-3, 3.1e-3}) {
      SCOPED_TRACE(testing::Message() << e << " " << x);
      // Height of the opening: from the edge circle (radius e, centre e + c/2
      // off the hole plane) to the rim.
      const double h = std::hypot(x, e + c / 2) - e;
      const Geom g = geom(x, 10e-3, d, c, e);
      EXPECT_EQ(g.state, 0);
      EXPECT_NEAR(g.A, segmentArea(R, h), 1e-12 * circleArea(d));
      EXPECT_NEAR(g.dh, 4.0 * segmentArea(R, h) / segmentPerimeter(R, h), 1e-9 * d);
    }
  }
}

TEST_F(Hole, FullyOpenHole) {
  const double d = 3e-3;
  for (double x : {3e-3, 5e-3, 1.0}) {
    const Geom g = geom(x, 2.0, d, 1e-5, 0.0);
    EXPECT_NEAR(g.A, circleArea(d), 1e-12 * circleArea(d)) << x;
    EXPECT_NEAR(g.dh, d, 1e-9 * d) << x;
  }
  // A travel shorter than the hole caps the opening.
  const Geom capped = geom(1.0, 1e-3, d, 0.0, 0.0);
  const Geom at_max = geom(1e-3, 1e-3, d, 0.0, 0.0);
  EXPECT_EQ(capped.A, at_max.A);
  EXPECT_NEAR(capped.A, segmentArea(d / 2, 1e-3), 1e-12 * circleArea(d));
}

TEST_F(Hole, AreaIsContinuousAtTheSwitch) {
  const double d = 2e-3, c = 1e-5;
  const Geom open = geom(0.0, 1e-2, d, c, 5e-4);
  const Geom covered = geom(-1e-4, 1e-2, d, c, 5e-4);
  EXPECT_EQ(open.state, 0);
  EXPECT_EQ(covered.state, -1);
  EXPECT_NEAR(open.A, covered.A, 1e-12 * open.A);
  EXPECT_NEAR(open.A, segmentArea(d / 2, c / 2), 1e-12 * open.A);
  EXPECT_EQ(geom(-5e-4, 1e-2, d, c, 5e-4).A, covered.A);  // any overlap: the gap opening
}

TEST_F(Hole, WithoutClearanceACoveredHoleIsShut) {
  const Geom g = geom(-1e-4, 1e-2, 2e-3, 0.0, 0.0);
  EXPECT_EQ(g.A, 0.0);
  EXPECT_EQ(g.dh, 0.0);
  double x = -1e-4, xmax = 1e-2, d = 2e-3, c = 0.0, e = 0.0, cqmax = 0.7, lcrit = 1000.0;
  double p1 = 50e5, p2 = 1e5, q, A, lambda, cq, dh, v;
  int n = 2, state = 0, r1 = 0, r2 = 0;
  qhole2_(&x, &xmax, &d, &n, &c, &e, &cqmax, &lcrit, &p1, &p2, &q, &A, &lambda, &cq, &dh, &v,
          &state, &r1, &r2);
  EXPECT_EQ(q, 0.0);
  EXPECT_EQ(A, 0.0);
  EXPECT_EQ(v, 0.0);
  EXPECT_EQ(dh, 0.0);
}

TEST_F(Hole, SwitchIsHeldAndReportedWhileLocating) {
  const double d = 2e-3, c = 1e-5;
  Geom g = geom(1e-4, 1e-2, d, c, 0.0);
  ASSERT_EQ(g.state, 0);
  Geom held;
  EXPECT_EQ(locate([&] { held = geom(-1e-5, 1e-2, d, c, 0.0, g); }), 4);
  EXPECT_EQ(held.state, 0);
  EXPECT_EQ(locate([&] { held = geom(2e-5, 1e-2, d, c, 0.0, g); }), 2);
  g = geom(-1e-4, 1e-2, d, c, 0.0);
  ASSERT_EQ(g.state, -1);
  EXPECT_EQ(locate([&] { held = geom(0.0, 1e-2, d, c, 0.0, g); }), 4);
  EXPECT_EQ(held.state, -1);
  EXPECT_EQ(held.A, g.A);
  EXPECT_EQ(locate([&] { held = geom(-1e-6, 1e-2, d, c, 0.0, g); }), 2);
}

double areaAt(double x, double xmax, double d, double c, double e) {
  return geom(x, xmax, d, c, e).A;
}

TEST_F(Hole, EdgePositionForAWantedArea) {
  const double d = 3e-3, c = 1e-5, e = 2e-4, xmax = 5e-3;
  for (double fraction : {0.05, 0.5, 0.97}) {
    double want = fraction * circleArea(d), xm = xmax, dd = d, cc = c, ee = e, x = -1;
    qhole_geom_x_(&want, &xm, &dd, &cc, &ee, &x);
    EXPECT_GT(x, 0.0);
    EXPECT_LT(x, xmax);
    EXPECT_NEAR(areaAt(x, xmax, d, c, e), want, 1e-12 * circleArea(d)) << fraction;
  }
  EXPECT_EQ(takeErr(), "");
  double too_much = 1.01 * circleArea(d), xm = xmax, dd = d, cc = c, ee = e, x = -1;
  qhole_geom_x_(&too_much, &xm, &dd, &cc, &ee, &x);
  EXPECT_EQ(x, 0.0);
  EXPECT_EQ(takeErr(), "Error detected in kivNLSolveB.\nfl and fr have the same sign.\n");
}

TEST_F(Hole, EdgePositionSearchReportsNothingWhileLocating) {
  // The trial positions reach the travel end, past the clamps of the
  // geometry: the search must not take them for crossings of the caller's.
  const double d = 3e-3, c = 1e-5, e = 0.0;
  double want = 0.4 * circleArea(d), xm = 8e-3, dd = d, cc = c, ee = e, ordinary = -1, held = -1;
  qhole_geom_x_(&want, &xm, &dd, &cc, &ee, &ordinary);
  EXPECT_EQ(locate([&] { qhole_geom_x_(&want, &xm, &dd, &cc, &ee, &held); }), 2);
  EXPECT_EQ(held, ordinary);
  EXPECT_NEAR(areaAt(held, 8e-3, d, c, e), want, 1e-12 * circleArea(d));
}

struct Flow {
  double q, A, lambda, cq, dh, v;
  int state = 0, r1 = 0, r2 = 0;
};

Flow holeFlow(double x, int n, double p1, double p2, bool one = false) {
  double xmax = 1e-2, d = 2e-3, c = 2e-5, e = 0.0, cqmax = 0.7, lcrit = 1000.0;
  Flow f{};
  (one ? qhole_ : qhole2_)(&x, &xmax, &d, &n, &c, &e, &cqmax, &lcrit, &p1, &p2, &f.q, &f.A,
                           &f.lambda, &f.cq, &f.dh, &f.v, &f.state, &f.r1, &f.r2);
  return f;
}

TEST_F(Hole, OpenHoleIsTheOrificeLaw) {
  const Flow f = holeFlow(8e-4, 1, 80e5, 5e5);
  double p1 = 80e5, p2 = 5e5, A = f.A, dh = f.dh, cqmax = 0.7, lcrit = 1000.0, cq, lambda, v;
  EXPECT_EQ(f.q, orif3f_(&p1, &p2, &A, &dh, &cqmax, &lcrit, &cq, &lambda, &v));
  EXPECT_EQ(f.v, v);
  EXPECT_EQ(f.cq, cq);
  EXPECT_EQ(f.lambda, lambda);
  const Flow three = holeFlow(8e-4, 3, 80e5, 5e5);
  EXPECT_EQ(three.q, 3.0 * f.q);
  EXPECT_EQ(three.A, 3.0 * f.A);
  EXPECT_EQ(three.lambda, f.lambda);
  EXPECT_EQ(three.cq, f.cq);
  EXPECT_EQ(three.dh, f.dh);
  EXPECT_EQ(three.v, f.v);
  const Flow single = holeFlow(8e-4, 7, 80e5, 5e5, true);
  EXPECT_EQ(single.q, f.q);
  EXPECT_EQ(single.A, f.A);
}

TEST_F(Hole, CoveredHoleAtTheEdgeIsTheGapOpening) {
  const Flow f = holeFlow(0.0, 1, 80e5, 5e5);
  const Flow negative_zero = holeFlow(-0.0, 1, 80e5, 5e5);
  ASSERT_EQ(f.state, 0);
  // Covered at x = 0: no overlap length, the orifice alone.
  Flow held{};
  held.state = -1;
  {
    double x = 0.0, xmax = 1e-2, d = 2e-3, c = 2e-5, e = 0.0, cqmax = 0.7, lcrit = 1000.0;
    double p1 = 80e5, p2 = 5e5;
    int n = 1;
    locate([&] {
      qhole2_(&x, &xmax, &d, &n, &c, &e, &cqmax, &lcrit, &p1, &p2, &held.q, &held.A,
              &held.lambda, &held.cq, &held.dh, &held.v, &held.state, &held.r1, &held.r2);
    });
  }
  EXPECT_EQ(held.state, -1);
  EXPECT_NEAR(held.q, f.q, 1e-12 * f.q);
  EXPECT_NEAR(held.A, f.A, 1e-12 * f.A);
  EXPECT_EQ(negative_zero.state, 0);  // -0.0 is not below 0
}

TEST_F(Hole, CoveredHoleIsTheGapInSeriesWithTheLeakage) {
  const double d = 2e-3, h = 1e-5, p1 = 80e5, p2 = 5e5, pm = 0.5 * (p1 + p2);
  const double k0 = kRho0 / rho(pm);
  double previous = INFINITY;
  for (double overlap : {1e-5, 1e-4, 1e-3, 1e-2}) {
    SCOPED_TRACE(overlap);
    const Flow f = holeFlow(-overlap, 1, p1, p2);
    ASSERT_EQ(f.state, -1);
    // Orifice through the gap opening, and laminar leakage over the overlap,
    // both as flows at the mean pressure.
    double a = f.A, dh = f.dh, cqmax = 0.7, lcrit = 1000.0, cq, lambda, v, P1 = p1, P2 = p2;
    const double orifice = orif3f_(&P1, &P2, &a, &dh, &cqmax, &lcrit, &cq, &lambda, &v) * k0;
    const double S = std::sqrt((d + overlap) * overlap) / std::atan(std::sqrt((d + overlap) / overlap));
    const double leakage = 2.0 * (p1 - p2) * d * h * h * h / (12.0 * kMu) / S;
    const double series = 1.0 / (1.0 / orifice + 1.0 / leakage);
    EXPECT_NEAR(f.q * k0, series, 1e-9 * series);
    EXPECT_GT(f.q, 0.0);
    EXPECT_LT(f.q * k0, std::min(orifice, leakage));
    EXPECT_LT(f.q, previous);
    EXPECT_NEAR(f.v, f.q * k0 / f.A, 1e-12 * f.v);
    previous = f.q;
    const Flow reverse = holeFlow(-overlap, 1, p2, p1);
    EXPECT_NEAR(reverse.q, -f.q, 1e-10 * f.q);
  }
}

}  // namespace
}  // namespace kiv::test
