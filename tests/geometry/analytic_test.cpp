// Analytic shapes and line-circle helpers against closed forms and a
// parametric line-circle solution.
#include <gmock/gmock.h>

#include "geometry/kiv_pumpgeom.h"
#include "support/kiv_test.hpp"
#include "tests/geometry/outlines.hpp"

namespace {

using namespace kiv::geomtest;
using Analytic = kiv::test::SystemTest;
constexpr double kDeg = kPi / 180;

TEST_F(Analytic, LineMeetsCircleForwardOrAtTheFootOfThePerpendicular) {
  struct Case { double xc, yc, r, theta, b; };
  // Line (0, b) + t (cos, sin): the farther root in t, or the foot when none.
  for (const Case &c : {Case{3, 1, 2, 0.3, 0.5}, Case{3, 1, 2, 0.3 + 2 * kPi, 0.5}, Case{-2, 0, 5, 2.5, 1},
                        Case{1, -1, 4, -2, 0}, Case{0.5, 2, 3, kPi / 2, 7}, Case{0.5, 2, 3, -kPi / 2, 7},
                        Case{2, 3, 4, 0, 1}, Case{2, 3, 4, kPi, 1}, Case{10, 0, 1, 0.4, 0}, Case{0, 9, 1, 0, 2}}) {
    const double dx = std::cos(c.theta), dy = std::sin(c.theta), u = c.xc * dx + (c.yc - c.b) * dy;
    const double t = u + std::sqrt(std::max(0.0, u * u - c.xc * c.xc - (c.yc - c.b) * (c.yc - c.b) + c.r * c.r));
    double x = 0, y = 0;
    circle_line_intersect_(&c.xc, &c.yc, &c.r, &c.theta, &c.b, &x, &y);
    EXPECT_NEAR(x, t * dx, 1e-12) << c.xc << " " << c.theta;
    EXPECT_NEAR(y, c.b + t * dy, 1e-12) << c.xc << " " << c.theta;
    EXPECT_NEAR(circle_line_correctedslope_(&c.xc, &c.yc, &c.r, &c.theta, &c.b),
                std::atan2(c.b + t * dy - c.yc, t * dx - c.xc), 1e-12);
  }
  // A centre at the origin takes the line through it.
  const double o = 0, r = 2, theta = 1, b = 5;
  double x = 0, y = 0;
  circle_line_intersect_(&o, &o, &r, &theta, &b, &x, &y);
  EXPECT_TRUE(std::hypot(x - 2 * std::cos(1), y - 2 * std::sin(1)) < 1e-15);
}

TEST_F(Analytic, OverlapOfAngularIntervals) {
  struct Case { double a1, a2, b1, b2; int kind; double lo, hi; };
  for (const Case &c : {Case{350, 10, 0, 90, 4, 0, 10}, Case{0, 90, 350, 10, 1, 0, 10},
                        Case{0, 90, 20, 30, 3, 20, 30}, Case{20, 30, 0, 90, 2, 20, 30},
                        Case{0, 90, 100, 200, 0, 0, 0}, Case{300, 20, 200, 330, 1, 300, 330}, Case{100, 120, 300, 150, 2, 100, 120},
                        Case{350, 100, 10, 50, 3, 10, 50},
                        Case{100, 200, 300, 150, 1, 100, 150}}) {
    const double a1 = c.a1 * kDeg, a2 = c.a2 * kDeg, b1 = c.b1 * kDeg, b2 = c.b2 * kDeg;
    double lo = -1, hi = -1;
    int kind = -1;
    vp_sort_angles_(&a1, &a2, &b1, &b2, &lo, &hi, &kind);
    EXPECT_EQ(kind, c.kind) << c.a1 << " " << c.b1;
    EXPECT_NEAR(lo, c.lo * kDeg, 1e-12) << c.a1 << " " << c.b1;
    EXPECT_NEAR(hi, c.hi * kDeg, 1e-12) << c.a1 << " " << c.b1;
  }
}

TEST_F(Analytic, PortSectorsSampleEveryDegreeBetweenTheirRays) {
  // Concentric: both modes give the same wedge polygons, one chord a degree.
  for (double spanDeg : {2.0, 90.0, 200.0}) {
    const double r1 = 3, r2 = 5, c = 1, t1 = 0.25, t2 = t1 + spanDeg * kDeg;
    const int n = std::max(3, static_cast<int>(spanDeg + 1e-9));
    for (int mode : {0, 1}) {
      Shape s = own(create_analyticport_(&r1, &r2, &c, &c, &c, &c, &t1, &t2, &mode));
      ASSERT_TRUE(s);
      EXPECT_EQ(size_path_(s->paths[0]), 2 * (n + 1)) << spanDeg;
      const double chordArea = 0.5 * n * std::sin(spanDeg * kDeg / n);
      EXPECT_NEAR(area2D_(s.get()), (r2 * r2 - r1 * r1) * chordArea, 1e-9) << spanDeg;
    }
  }
  // Eccentric: the first vertex on circle 2 lies on the ray from centre 1
  // (mode 0); the last vertex on circle 1 on the ray from centre 2 (mode 1).
  const double r1 = 2, r2 = 6, x1 = 1, y1 = 0.5, x2 = -0.5, y2 = 0.2, t1 = -0.4, t2 = 1.3;
  for (int mode : {0, 1}) {
    Shape s = own(create_analyticport_(&r1, &r2, &x1, &y1, &x2, &y2, &t1, &t2, &mode));
    const point *v = mode == 0 ? s->paths[0]->first : s->paths[0]->first->previous;
    const double cx = mode == 0 ? x1 : x2, cy = mode == 0 ? y1 : y2;
    EXPECT_NEAR(std::atan2(v->y - cy, v->x - cx), t1, 1e-12) << mode;
  }
  const int bad = 2;
  const double none = 0;
  EXPECT_EQ(create_analyticport_(&r1, &r2, &x1, &y1, &x2, &y2, &t1, &t2, &bad), nullptr);
  EXPECT_EQ(create_analyticport_(&none, &r2, &x1, &y1, &x2, &y2, &t1, &t2, &bad), nullptr);
  EXPECT_NE(takeErr(), "");
}

TEST_F(Analytic, StatorIsAHoleAndRotorADiscOffTheVertical) {
  for (double r : {1.0, 0.05, 40.0}) {
    const double xc = 0.3, yc = -2;
    Shape stator = own(create_vp_stator_(&r, &xc, &yc)), rotor = own(create_vp_rotor_(&r));
    EXPECT_NEAR(area2D_(stator.get()), -kPi * r * r, 1e-13 * r * r);
    EXPECT_NEAR(area2D_(rotor.get()), kPi * r * r, 1e-13 * r * r);
    EXPECT_EQ(std::pair(stator->paths[0]->orientation, rotor->paths[0]->orientation), std::pair(1, 2));
    for (const point *n : nodes(stator->paths[0])) EXPECT_TRUE(n->arc || n->x != xc);
    for (const point *n : nodes(rotor->paths[0])) EXPECT_TRUE(n->arc || n->x != 0.0);
  }
  for (double r : {0.0, -1.0, double(NAN), double(INFINITY)}) {
    const double o = 0;
    EXPECT_EQ(create_vp_stator_(&r, &o, &o), nullptr);
    EXPECT_EQ(create_vp_rotor_(&r), nullptr);
    EXPECT_NE(takeErr(), "");
  }
}

TEST_F(Analytic, ScreensCoverTheOutsideOrTheWindowAndFoldTheirAngles) {
  const double R = 3;
  for (auto [a, b, window] : {std::tuple(7.0, 8.0, 1.0), std::tuple(3.0, -3.0, 2 * kPi - 6), std::tuple(-1.0, 2.5, 3.5)}) {
    double t1 = a, t2 = b, u1 = a, u2 = b;
    Shape outside = own(create_screen_(&t1, &t2, &R)), inside = own(create_screen2_(&u1, &u2, &R));
    EXPECT_NEAR(area2D_(outside.get()), 2.5 * R * R * std::sin((2 * kPi - window) / 5), 1e-12) << a;
    EXPECT_NEAR(area2D_(inside.get()), 0.5 * R * R * window, 1e-12) << a;
    EXPECT_NEAR(t2 - t1, window, 1e-12);
    EXPECT_TRUE(std::fabs(std::remainder(t1 - a, 2 * kPi)) < 1e-12 && t1 >= -kPi && t1 <= kPi && u1 == t1 && u2 == t2);
  }
}

TEST_F(Analytic, VaneAreaAndTipTouchingTheStator) {
  const double w = 3, rt = 2, Rs = 30, L = 12, alpha = std::asin(w / 2 / rt);
  const double reach = L + rt - std::sqrt(rt * rt - w * w / 4);
  for (auto [theta, theta0, e] : {std::tuple(0.0, 0.0, 0.0), std::tuple(1.0, 0.3, 2.5), std::tuple(-2.5, 2.0, 4.0)}) {
    double angle = 9, radius = 9;
    Shape v = own(create_vp_vane_(&theta, &theta0, &e, &w, &rt, &Rs, &L, &angle, &radius));
    ASSERT_TRUE(v);
    EXPECT_NEAR(area2D_(v.get()), w * L + rt * rt * alpha - w / 2 * std::sqrt(rt * rt - w * w / 4), 1e-12);
    EXPECT_NEAR(area2D_(v.get()), 2 * vanehalfarea_(&w, &rt, &reach), 1e-12);
    // The tip circle is inside the stator and tangent to it.
    const auto ring = nodes(v->paths[0]);
    const point *c = *std::find_if(ring.begin(), ring.end(), [](const point *n) { return n->arc != 0; });
    EXPECT_NEAR(std::hypot(c->x - e * std::cos(theta0), c->y - e * std::sin(theta0)) + rt, Rs, 1e-9) << theta;
    EXPECT_NEAR(std::atan2(c->y, c->x), theta, 1e-12);
    if (e == 0) EXPECT_NEAR(radius, Rs - reach, 1e-12);
    EXPECT_TRUE(angle >= -kPi && angle <= kPi);
  }
}

}  // namespace
