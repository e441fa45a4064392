// Polygon elements on hand-made figures, and the tooth elements and cavity
// of a rack-cut gear against its involute geometry.
#include <gtest/gtest.h>

#include <cmath>

#include "gearpump/build_gear.hpp"
#include "gearpump/rack.hpp"
#include "support/kiv_test.hpp"

namespace {

using namespace kiv::egp;

Pelem elem(std::initializer_list<std::pair<double, double>> pts) {
  Pelem e(1.0, static_cast<int>(pts.size()));
  int i = 0;
  for (auto [x, y] : pts) e.x()[i] = x, e.y()[i++] = y;
  return e;
}

TEST(Pelem, AnglesAreasAndDistances) {
  EXPECT_EQ(egp_mod_2pi(kTwoPi), kTwoPi);
  EXPECT_EQ(egp_mod_2pi(0.0), 0.0);
  EXPECT_DOUBLE_EQ(egp_mod_2pi(-kPi / 2), 1.5 * kPi);
  EXPECT_DOUBLE_EQ(floor_2pi(kTwoPi), 0.0);
  const Pelem ccw = elem({{0, 0}, {2, 0}, {2, 1}, {0, 1}}),
              cw = elem({{0, 0}, {0, 1}, {2, 1}, {2, 0}});
  EXPECT_DOUBLE_EQ(egp_poly_area(ccw), 2.0);
  EXPECT_DOUBLE_EQ(egp_poly_area(cw), 2.0);
  EXPECT_EQ(egp_poly_area(elem({{0, 0}, {3, 4}})), 0.0);
  // A segment of no length has no direction to project on.
  EXPECT_EQ(egp_dist_sq_min_seg_point(1, 1, 1, 1, 1, 2), -1.0);
  EXPECT_DOUBLE_EQ(egp_dist_sq_min_seg_point(0, 0, 4, 0, 1, 3), 9.0);
  EXPECT_EQ(egp_dist_sq_min_seg_point(0, 0, 4, 0, 5, 3), -1.0);
  const double a[4] = {0, 0, 2, 0}, b[4] = {1, 1, 3, 1}, far[4] = {3, 1, 4, 1};
  EXPECT_DOUBLE_EQ(egp_dist_sq_min_seg_seg(a, b), 1.0);
  EXPECT_EQ(egp_dist_sq_min_seg_seg(a, far), 1e30);
  // Edges meeting at vertex 1 of each: parallel, 0.5 apart; dmax caps it.
  const Pelem up = elem({{0, 0.5}, {1, 0.5}, {2, 0.5}}), low = elem({{0, 0}, {1, 0}, {2, 0}});
  EXPECT_DOUBLE_EQ(egp_poly_poly_min_distance_at_indexes(up, 1, low, 1, 9.0), 0.5);
  EXPECT_DOUBLE_EQ(egp_poly_poly_min_distance_at_indexes(up, 1, low, 1, 0.25), 0.25);
}

TEST(Pelem, CrossingsAreProperOnly) {
  const Pelem sq = elem({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  EXPECT_EQ(egp_poly_intersect_poly(sq, elem({{1, 0}, {1, 1}, {2, 1}})), 0);  // shared edge
  EXPECT_EQ(egp_poly_intersect_poly(sq, elem({{1, 1}, {2, 2}, {2, 3}})), 0);  // touching
  EXPECT_EQ(egp_poly_intersect_poly(sq, elem({{0.5, -1}, {0.5, 0.5}})), 1);
  EXPECT_EQ(egp_poly_intersect_seg(sq, -1, 0.5, 0.5, 0.5), 0);  // through the open gap
  const double circle[3] = {2, 2, 0.5};
  EXPECT_EQ(egp_poly_intersect_circle(sq, circle), 0);
  EXPECT_EQ(egp_poly_intersect_circle(elem({{2, 1.5}}), circle), 1);
  double X = 0, Y = 0;
  EXPECT_EQ(egp_segment_circle_intersection(0, 0, 3, 4, 0, 0, 2.5, X, Y), 1);
  EXPECT_NEAR(X, 1.5, 1e-12);
  EXPECT_NEAR(Y, 2.0, 1e-12);
  EXPECT_EQ(egp_segment_circle_intersection(0, 2, 0, 0.5, 0, 0, 2, X, Y), 1);  // end on it
  EXPECT_NEAR(std::hypot(X, Y), 2.0, 1e-12);
  EXPECT_GE(Y, 0.5);
  EXPECT_EQ(egp_segment_circle_intersection(0, 2, 0, 2, 0, 0, 2, X, Y), 0);  // no length
}

TEST(Pelem, CavityElementsJoinTheirStretches) {
  const Pelem a = elem({{1, 0}, {2, 0}, {3, 0}}), b = elem({{4, 0}, {5, 0}}),
              c = elem({{6, 0}, {7, 0}, {8, 0}}), d = elem({{9, 0}, {10, 0}, {11, 0}});
  auto xs = [](const Pelem &e) { return std::vector<double>(e.x(), e.x() + e.count()); };
  EXPECT_EQ(xs(egp_create_cavity_pelem(1, 1, 2, 2, a, nullptr, c, d)),
            (std::vector<double>{8, 1, 2, 10, 11}));
  EXPECT_EQ(xs(egp_create_cavity_pelem(0, 1, 1, 0, a, &b, c, d)),
            (std::vector<double>{7, 8, 1, 5, 9}));
  EXPECT_EQ(egp_create_cavity_pelem(5, 0, 0, 0, a, nullptr, c, d).count(), 0);
  EXPECT_EQ(egp_cav_get_intersect_teeth(2, 1.0, 0.3, 0.2, 0.5), 2);
  EXPECT_EQ(egp_cav_get_intersect_teeth(0, 0.3, 0.3, 0.2, 0.2), -1);
  EXPECT_EQ(egp_cav_get_intersect_teeth(0, 0.1, 0.3, 0.2, 0.2 + kTwoPi), 0);
}

// A 12-tooth driving gear, teeth on pi/2 - k pitch, reference a hair before
// the first tooth axis.
TEST(BuildGear, ToothElementsAndCavityOfARackGear) {
  const int z = 12;
  const double m = 2, alpha = 20 * kPi / 180, r = z * m / 2, ra = r + m, rf = r - 1.25 * m;
  int sharp = 0;
  ShapePtr s = egp_create_gear(z, m, alpha, 1, 0.25, 0.38, 0, ra, rf, z, 1, sharp);
  ASSERT_NE(s, nullptr);
  egp_build_gear g;
  g.kind = 1, g.dir = -1, g.z = z, g.pitch = kTwoPi / z, g.axis = -kPi / 2 - 1e-9;
  egp_get_radius_from_gear_shape(s.get(), 0, 0, g.rmin, g.rmax);
  EXPECT_NEAR(g.rmax, ra, 1e-12);
  auto inv = [](double v) { return std::tan(v) - v; };
  const double rb = r * std::cos(alpha);
  const double halfTop = kPi / (2 * z) + inv(alpha) - inv(std::acos(rb / ra));
  g.tta = 2 * halfTop;
  egp_shape_to_mem(s.get(), g.xs, g.ys);
  egp_build_gear_alloc(g);
  EXPECT_EQ(egp_pump_create_pelems(1e-6, g), 0);
  auto atTip = [&](const Pelem &e) {
    int n = 0;
    for (int i = 0; i < e.count(); ++i) n += std::fabs(std::hypot(e.x()[i], e.y()[i]) - ra) < 1e-6;
    return n;
  };
  const int arc = static_cast<int>(halfTop / (0.05 * kPi / 180)) + 1;
  for (int k = 0; k < z; ++k) {
    const Pelem &e3 = g.e_work[2][k];
    EXPECT_EQ(atTip(e3), arc + 1);   // half the top land and the flank's end
    EXPECT_EQ(atTip(g.e[0][k]), 1);  // only the end next to the flank
    EXPECT_EQ(g.e[4][k].count(), g.n() / z);
    // Clockwise from the far end, ending on the tooth axis.
    const double end = std::atan2(e3.y()[e3.count() - 1], e3.x()[e3.count() - 1]);
    EXPECT_NEAR(std::remainder(end - kPi / 2 + k * g.pitch, kTwoPi), 0.0, 1e-12);
    const double a0 = std::atan2(e3.y()[0], e3.x()[0]), a1 = std::atan2(e3.y()[1], e3.x()[1]);
    EXPECT_GT(std::remainder(a0 - a1, kTwoPi), 0.0);
  }
  EXPECT_EQ(egp_build_create_cavity_def(g), 0);
  // The space between the tip circle and the gear, one pitch of it.
  EXPECT_NEAR(g.cavarea / ((kPi * ra * ra - area2D_(s.get())) / z), 1.0, 1e-4);
  EXPECT_NEAR(area2D_(g.cavshape.get()), g.cavarea, 1e-9);
  // Turning the cavity at every angle of the sweep reuses its storage.
  const long before = kiv::test::allocationCount();
  egp_build_update_cavity_def(g, 3, 0.1);
  if (before >= 0) {
    EXPECT_EQ(kiv::test::allocationCount(), before);
  }
  for (int k : {0, 1, 5}) {
    egp_build_update_cavity_def(g, k, 0.25);
    double xg, yg;
    ShapePtr c = egp_poly_to_shape_copy_create(g.cavdef_work);
    egp_get_centroid(c.get(), xg, yg);
    const double expected = kPi / 2 + kPi / z - k * g.pitch + 0.25;
    EXPECT_NEAR(std::remainder(std::atan2(yg, xg) - expected, kTwoPi), 0.0, 1e-6);
  }
  egp_build_gear_delete(g);
  EXPECT_TRUE(g.xs.empty() && g.e[0].empty() && g.e_work[4].empty() && g.cavdef.count() == 0);
  egp_build_gear_delete(g);
}

}  // namespace
