// Application functions: pair angles wherever the pair lies, outputs kept.
#include <cmath>
#include <cstdlib>

#include "gearpump/kiv_gearpump.h"
#include "gearpump/records.hpp"
#include "geometry/kiv_shapeid.h"
#include "support/kiv_test.hpp"
#include "tests/gearpump/pair.hpp"

namespace kiv::egp {

class GearPumpApp : public test::SystemTest {
 protected:
  static constexpr int z = 12, none = 999999;
  // The pair at distance a turned about the origin.
  void place(double a, double turn = 0) {
    pairtest::GearPair g(z, 2.0);
    translate2D_(g.s2.get(), g.a - a, 0);
    for (shape *s : {g.s1.get(), g.s2.get()}) rotate2D_(s, 0, 0, turn);
    id[0] = register_shape_id_(g.s1.release()), id[1] = register_shape_id_(g.s2.release());
    rc = egp_app_get_axis_angle(&p, &id[0], &id[1], &axis) |
         egp_app_get_contact_angle(&p, &id[0], &id[1], &contact);
  }
  egp_params p{.teeth_driving = z, .teeth_driven = z, .gear_definition = 1, .gear_thickness = .02};
  int id[4] = {-1, -1, -1, -1}, rc = -1;
  double axis = 0, contact = 0;
};

TEST_F(GearPumpApp, PairAnglesAndIntersection) {
  place(24);
  const double axis0 = axis, contact0 = contact, pz = kTwoPi / z;
  EXPECT_NEAR(std::remainder(contact0, pz), 0, 1e-6);  // no backlash: the teeth touch
  // The pair's angles do not depend on where the pair stands.
  for (const double turn : {kPi, 1.0, -2.5}) {
    place(24, turn);
    ASSERT_EQ(rc, 0);
    EXPECT_NEAR(std::remainder(axis - axis0, pz), 0, 1e-9) << turn;
    EXPECT_NEAR(std::remainder(contact - contact0, kTwoPi), 0, 1e-9) << turn;
  }
  for (const auto &[a, overlap] : {std::pair{26.0, 0}, std::pair{20.0, 2}}) {
    place(a);
    EXPECT_EQ(egp_app_check_gears_intersection(nullptr, &id[0], &id[1]), overlap) << a;
  }
  for (const auto &[g1, g2] : {std::pair{id[0], none}, {none, id[1]}}) {
    double angle = 42;
    EXPECT_EQ(egp_app_get_axis_angle(&p, &g1, &g2, &angle), 1);
    EXPECT_EQ(egp_app_get_contact_angle(&p, &g1, &g2, &angle), 1);
    EXPECT_EQ(angle, 42);
    EXPECT_EQ(egp_app_check_gears_intersection(nullptr, &g1, &g2), 1);
  }
}

TEST_F(GearPumpApp, CavitiesAndCurvesReachTheCaller) {
  place(24);
  const double x[] = {20, -45, -45, 20}, yo[] = {30, 30, 0, 0}, yi[] = {0, 0, -30, -30};
  for (int k : {2, 3}) id[k] = register_shape_id_(shapeThrough(x, k == 2 ? yo : yi, 4).release());
  int o[6] = {7, 7, 7, 7, 7, 7}, c = z / 2, n[2] = {-1, -1};
  double *v[2][4] = {}, ar[6] = {};
  auto cavities = [&](double angle) {
    return egp_app_get_cavities_id(&p, angle, &c, &c, &id[0], &id[1], &id[2], &id[3], &o[0], &o[1],
                                   &o[2], &o[3], &o[4], &o[5]);
  };
  ASSERT_EQ(cavities(-7.5 * kPi / 180), 0);
  for (int i = 0; i < 6; ++i) xCD_shape_area_(&o[i], &ar[i]);
  ASSERT_EQ(egp_app_get_curves_id(&p, &c, &c, &id[0], &id[1], &id[2], &id[3], &n[0], &v[0][0],
                                  &v[0][1], &v[0][2], &v[0][3], &n[1], &v[1][0], &v[1][1], &v[1][2],
                                  &v[1][3]),
            0);
  for (int g = 0; g < 2; ++g) {  // port parts make up the cavity; closed curves, 1 per degree
    EXPECT_NEAR(std::fabs(ar[3 * g + 1]) + std::fabs(ar[3 * g + 2]), std::fabs(ar[3 * g]), 1e-6);
    ASSERT_TRUE(n[g] == 361 && v[g][0][360] - v[g][0][0] == 360);
    EXPECT_NEAR(v[g][1][360] / v[g][1][0], 1, 1e-12);
    for (double *a : v[g]) std::free(a);
  }
  id[1] = none;  // a failed build leaves no stale ids
  EXPECT_NE(cavities(0), 0);
  for (int i : o) EXPECT_EQ(i, -1);
}

}  // namespace kiv::egp
