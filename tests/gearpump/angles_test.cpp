// Tooth angles against involute geometry, contact against backlash, circle
// touches in closed form, port openings as arc lengths beyond an edge.
#include "gearpump/angles.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/gearpump/pair.hpp"

namespace {

using namespace kiv::egp;
using namespace kiv::egp::pairtest;

TEST(GearAngles, TopLandAndTeethAxisOfARackGear) {
  GearPair p(12, 2.0);
  const double rb = p.z * p.m / 2 * std::cos(kAlpha);
  const double land = kPi / p.z + 2 * (inv(kAlpha) - inv(std::acos(rb / p.ra)));
  // The top's end points are the involutes' exact ends on the tip circle.
  double tol = 0, tta = 0;
  EXPECT_EQ(egp_calc_tol_and_tta(p.g1, p.s1.get(), tol, tta), 0);
  for (double t : {p.g1.tta, p.g2.tta, tta}) EXPECT_NEAR(t, land, 1e-9);
  // The vote: the best count's finest tolerance, even past other counts.
  const int votes[][kTolCount + 1] = {{5, 5, 5, 3, 3, 3, 3, 6},
                                      {5, 5, 5, 5, 3, 3, 3, 3},
                                      {5, 3, 3, 5, 5, 2, 2, 4},
                                      {0, 4, 4, 4, 4, 4, 4, 0},
                                      {7, 7, 0, 7, 3, 3, 3, 3}};
  for (auto &v : votes) EXPECT_EQ(egp_tol_vote(v), v[kTolCount]) << v[0] << v[1] << v[2];
  for (double turn : {0.0, 0.01, -0.02}) {
    ShapePtr s = egp_poly_to_shape_copy_create(egp_shape_to_poly(p.s1.get()));
    rotate2D_(s.get(), 0, 0, turn);
    double axis = 99;
    EXPECT_EQ(egp_compute_teeth_axis_angle(p.g1, s.get(), axis), 0);
    EXPECT_NEAR(axis, turn, 1e-9);
  }
  // The driven gear's axis turns with it about its own centre.
  double base = 99;
  ASSERT_EQ(egp_compute_teeth_axis_angle(p.g2, p.s2.get(), base), 0);
  for (double turn : {0.01, -0.02}) {
    ShapePtr s = egp_poly_to_shape_copy_create(egp_shape_to_poly(p.s2.get()));
    rotate2D_(s.get(), -p.a, 0, turn);
    double axis = 99;
    EXPECT_EQ(egp_compute_teeth_axis_angle(p.g2, s.get(), axis), 0);
    EXPECT_NEAR(std::remainder(axis - base - turn, kTwoPi), 0.0, 1e-9);
  }
}

TEST(GearAngles, ContactAngleIsHalfTheBacklash) {
  GearPair p(12, 2.0, 0.3);
  const Pelem a = egp_create_pelem(p.g1, kPi, 1, 0, 1e-6);
  const Pelem b = egp_create_pelem(p.g2, -p.g2.pitch / 2, 1, 0, 1e-6);
  double gamma = 0;
  ASSERT_EQ(egp_find_contact_angle(p.g1, a, b, gamma), 0);
  // Backlash angle 4 (inv aw - inv a) at the working pressure angle aw.
  const double aw = std::acos(p.z * p.m * std::cos(kAlpha) / p.a);
  EXPECT_NEAR(gamma, 2 * (inv(aw) - inv(kAlpha)), 1e-6);
  EXPECT_EQ(egp_poly_intersect_poly(a, b), 0);
}

TEST(GearAngles, FirstAndLastTouchOfACircle) {
  GearPair p(12, 2.0);
  const double rho = 13, R = 14, c = (rho * rho + p.a * p.a - R * R) / (2 * rho * p.a);
  struct {
    int kind, mode;
    double expected;
  } cases[] = {{1, 1, kPi - std::acos(c)},
               {1, 0, kPi + std::acos(c)},
               {2, 1, kTwoPi - std::acos(c)},
               {2, 0, std::acos(c)}};
  for (auto t : cases) {
    const egp_build_gear &g = t.kind == 1 ? p.g1 : p.g2;
    // One point on the gear's reference direction, the circle about the
    // other centre.
    const double ref = referenceAngle(g);
    Pelem e(1.0, 1);
    e.x()[0] = g.xc + rho * std::cos(ref), e.y()[0] = rho * std::sin(ref);
    const egp_circle circle{t.kind == 1 ? -p.a : 0.0, 0.0, R};
    double angle = 0;
    ASSERT_EQ(egp_find_intersection_angle(g, t.mode, circle, e, angle), 0);
    EXPECT_NEAR(angle, t.expected, 1e-12) << t.kind << t.mode;
  }
}

TEST(GearAngles, OpeningsAndPortBoxes) {
  GearPair p(12, 2.0);
  const double R = p.ra, w = p.g1.pitch - p.g1.tta, angle = 0.1;
  const int k = 3;
  // Tip arc [s0 - w, s0] (driving), [s0, s0 + w] (driven); the outlet and
  // the inlet open on opposite sides of the edge.
  const double s1 = kPi - (k - 1) * p.g1.pitch + angle - p.g1.tta / 2;
  const double s2 = (k - 0.5) * p.g2.pitch - angle + p.g2.tta / 2;
  auto beyond = [&](double from, double to) { return R * std::clamp(to - from, 0.0, w); };
  for (double d : {-w - 0.05, -w, -0.7 * w, -0.2 * w, 0.0, 0.03, 0.3}) {
    EXPECT_NEAR(egp_len_inout(p.g1, 1, angle, k, s1 + d), beyond(s1 + d, s1), 1e-9) << d;
    EXPECT_NEAR(egp_len_inout(p.g1, 2, angle, k, s1 + d), beyond(s1 - w, s1 + d), 1e-9) << d;
    EXPECT_NEAR(egp_len_inout(p.g2, 1, angle, k, s2 - d), beyond(s2, s2 - d), 1e-9) << d;
    EXPECT_NEAR(egp_len_inout(p.g2, 2, angle, k, s2 - d), beyond(s2 - d, s2 + w), 1e-9) << d;
  }
  // Only the first is a port rectangle (the others: vertical start, tilted).
  const double x[3][4] = {{3, -1, -1, 3}, {-1, -1, 3, 3}, {3, -1, -1, 3}};
  const double y[3][4] = {{4, 4, 1, 1}, {4, 1, 1, 4}, {4, 4.5, 1, 1}};
  for (int i = 0; i < 3; ++i) {
    double box[4] = {};
    int rect = -1;
    egp_inout_get_bounds(shapeThrough(x[i], y[i], 4).get(), box, rect);
    EXPECT_EQ(rect, i == 0);
    EXPECT_EQ(std::vector<double>(box, box + 4), (std::vector<double>{-1, 1, 3, i == 2 ? 4.5 : 4}));
  }
}

}  // namespace
