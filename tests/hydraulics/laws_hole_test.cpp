// Round hole: the open area against the circular-segment formula, the
// open/covered switch, the inverse search and the flows of open and covered
// holes.
#include "fluid_test.hpp"

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
// hydraulic diameter (wetted perimeter: arc plus chord).
double segmentArea(double R, double h) {
  return R * R * std::acos((R - h) / R) - (R - h) * std::sqrt(2.0 * R * h - h * h);
}
double segmentDiameter(double R, double h) {
  const double perimeter = 2.0 * R * std::acos((R - h) / R) + 2.0 * std::sqrt(2.0 * R * h - h * h);
  return 4.0 * segmentArea(R, h) / perimeter;
}

TEST_F(Hole, OpenAreaIsTheUncoveredSegment) {
  const double d = 4e-3, c = 2e-5, R = d / 2, full = circleArea(d);
  for (double e : {0.0, 1e-4}) {
    for (double x : {0.0, 1e-4, 1e-3, 3.1e-3}) {
      // The opening: from the edge circle (radius e, centre e + c/2 off the
      // hole plane) to the rim.
      const double h = std::hypot(x, e + c / 2) - e;
      const Geom g = geom(x, 10e-3, d, c, e);
      EXPECT_EQ(g.state, 0);
      EXPECT_NEAR(g.A, segmentArea(R, h), 1e-12 * full) << e << " " << x;
      EXPECT_NEAR(g.dh, segmentDiameter(R, h), 1e-9 * d) << e << " " << x;
    }
    // Covered, the gap opening stays: continuous at the switch.
    const Geom open = geom(0.0, 1e-2, d, c, e);
    for (double x : {-1e-4, -5e-4}) {
      const Geom covered = geom(x, 1e-2, d, c, e);
      EXPECT_EQ(covered.state, -1);
      EXPECT_NEAR(covered.A, open.A, 1e-12 * open.A) << e << " " << x;
    }
  }
  // Beyond the hole: the whole circle; a travel shorter than the hole caps it.
  for (double x : {4e-3, 1.0}) {
    const Geom g = geom(x, 2.0, d, 1e-5, 0.0);
    EXPECT_NEAR(g.A, full, 1e-12 * full) << x;
    EXPECT_NEAR(g.dh, d, 1e-9 * d) << x;
  }
  EXPECT_NEAR(geom(1.0, 1e-3, d, 0.0, 0.0).A, segmentArea(R, 1e-3), 1e-12 * full);
  // Without clearance a covered hole is shut, with a diameter of 0, not 0/0.
  const Geom shut = geom(-1e-4, 1e-2, d, 0.0, 0.0);
  EXPECT_EQ(shut.A + shut.dh, 0.0);
}

TEST_F(Hole, SwitchIsHeldAndReportedWhileLocating) {
  const double d = 2e-3, c = 1e-5;
  const Geom open = geom(1e-4, 1e-2, d, c, 0.0), covered = geom(-1e-4, 1e-2, d, c, 0.0);
  struct Held {
    const Geom &g;
    double x;
    int answer;
  };
  for (const Held &h : {Held{open, -1e-5, 4}, Held{open, 2e-5, 2}, Held{covered, 0.0, 4},
                        Held{covered, -1e-6, 2}}) {
    Geom held;
    EXPECT_EQ(locate([&] { held = geom(h.x, 1e-2, d, c, 0.0, h.g); }), h.answer) << h.x;
    EXPECT_EQ(held.state, h.g.state);
    if (h.g.state) {
      EXPECT_EQ(held.A, covered.A);
    }
  }
}

TEST_F(Hole, EdgePositionForAWantedArea) {
  const double d = 3e-3, c = 1e-5, e = 2e-4, full = circleArea(d);
  double xmax = 5e-3, dd = d, cc = c, ee = e;
  for (double fraction : {0.05, 0.5, 0.97}) {
    double want = fraction * full, x = -1;
    qhole_geom_x_(&want, &xmax, &dd, &cc, &ee, &x);
    EXPECT_GT(x, 0.0);
    EXPECT_NEAR(geom(x, xmax, d, c, e).A, want, 1e-12 * full) << fraction;
    // The trial positions reach the travel end, past the clamps of the
    // geometry: while locating, the search must not report them.
    double held = -1;
    EXPECT_EQ(locate([&] { qhole_geom_x_(&want, &xmax, &dd, &cc, &ee, &held); }), 2);
    EXPECT_EQ(held, x);
  }
  EXPECT_EQ(takeErr(), "");
  double too_much = 1.01 * full, x = -1;
  qhole_geom_x_(&too_much, &xmax, &dd, &cc, &ee, &x);
  EXPECT_EQ(x, 0.0);
  EXPECT_EQ(takeErr(), "Error detected in kivNLSolveB.\nfl and fr have the same sign.\n");
}

struct Flow {
  double q, A, lambda, cq, dh, v;
  int state = 0, r1 = 0, r2 = 0;
};

Flow holeFlow(double x, int n, double p1, double p2, double c = 2e-5, int state = 0,
              bool one = false) {
  double xmax = 1e-2, d = 2e-3, e = 0.0, cqmax = 0.7, lcrit = 1000.0;
  Flow f{};
  f.state = state;
  (one ? qhole_ : qhole2_)(&x, &xmax, &d, &n, &c, &e, &cqmax, &lcrit, &p1, &p2, &f.q, &f.A,
                           &f.lambda, &f.cq, &f.dh, &f.v, &f.state, &f.r1, &f.r2);
  return f;
}

TEST_F(Hole, OpenHoleIsTheOrificeLaw) {
  const Flow f = holeFlow(8e-4, 1, 80e5, 5e5);
  double p1 = 80e5, p2 = 5e5, A = f.A, dh = f.dh, cqmax = 0.7, lcrit = 1000.0, cq, lambda, v;
  EXPECT_EQ(f.q, orif3f_(&p1, &p2, &A, &dh, &cqmax, &lcrit, &cq, &lambda, &v));
  EXPECT_EQ(std::pair(f.v, f.cq), std::pair(v, cq));
  // n holes: n times the area and the flow, the rest per hole.
  const Flow three = holeFlow(8e-4, 3, 80e5, 5e5);
  EXPECT_EQ(std::tuple(three.q, three.A, three.lambda, three.dh, three.v),
            std::tuple(3.0 * f.q, 3.0 * f.A, f.lambda, f.dh, f.v));
  EXPECT_EQ(holeFlow(8e-4, 7, 80e5, 5e5, 2e-5, 0, true).q, f.q);  // qhole_: one hole
  // A NaN edge position gives no plausible flow, and the covered state stays.
  const Flow nan = holeFlow(std::nan(""), 1, 80e5, 5e5, 2e-5, -1);
  EXPECT_TRUE(std::isnan(nan.q) && std::isnan(nan.A) && nan.state == -1 && !takeErr().empty()) << nan.q;
}

TEST_F(Hole, CoveredHoleIsTheGapInSeriesWithTheLeakage) {
  const double d = 2e-3, h = 1e-5, p1 = 80e5, p2 = 5e5, pm = 0.5 * (p1 + p2);
  const double k0 = kRho0 / rho(pm);
  // Held covered at x = 0: no overlap length, the gap opening alone.
  Flow edge{};
  locate([&] { edge = holeFlow(0.0, 1, p1, p2, 2e-5, -1); });
  EXPECT_EQ(edge.state, -1);
  const Flow open = holeFlow(0.0, 1, p1, p2);
  EXPECT_NEAR(edge.q, open.q, 1e-12 * open.q);
  double previous = edge.q;
  for (double overlap : {1e-5, 1e-4, 1e-3, 1e-2}) {
    const Flow f = holeFlow(-overlap, 1, p1, p2);
    ASSERT_EQ(f.state, -1);
    // Orifice through the gap opening and laminar leakage over the overlap,
    // both as flows at the mean pressure, in series.
    double a = f.A, dh = f.dh, cqmax = 0.7, lcrit = 1000.0, cq, lambda, v, P1 = p1, P2 = p2;
    const double orifice = orif3f_(&P1, &P2, &a, &dh, &cqmax, &lcrit, &cq, &lambda, &v) * k0;
    const double S =
        std::sqrt((d + overlap) * overlap) / std::atan(std::sqrt((d + overlap) / overlap));
    const double leakage = 2.0 * (p1 - p2) * d * h * h * h / (12.0 * kMu) / S;
    const double series = 1.0 / (1.0 / orifice + 1.0 / leakage);
    EXPECT_NEAR(f.q * k0, series, 1e-9 * series) << overlap;
    EXPECT_LT(f.q, previous);
    EXPECT_NEAR(f.v, f.q * k0 / f.A, 1e-12 * f.v);
    EXPECT_NEAR(holeFlow(-overlap, 1, p2, p1).q, -f.q, 1e-10 * f.q);
    previous = f.q;
  }
  // Without clearance nothing passes, and the velocity is 0, not 0/0.
  const Flow shut = holeFlow(-1e-4, 2, p1, p2, 0.0);
  EXPECT_EQ(std::tuple(shut.q, shut.v, shut.dh), std::tuple(0.0, 0.0, 0.0));
}

}  // namespace
}  // namespace kiv::test
