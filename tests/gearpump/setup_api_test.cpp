#include <cmath>
#include <numbers>

#include "gearpump/kiv_gearpump.h"
#include "geometry/kiv_shapeid.h"
#include "support/kiv_test.hpp"

namespace {

constexpr double kDeg = std::numbers::pi / 180;

class GearPumpSetupApi : public kiv::test::SystemTest {};

// Profile-shifted pair: the textbook worked example z 12 / 24, module 3,
// 20 degrees, x 0.6 / 0.36 gives a working pressure angle of 26.0886
// degrees, centre distance 56.4999, tip diameters 44.840 / 79.400 and root
// diameters 32.1 / 66.66.  Without shift, z 10 / 10, module 2: a = 20,
// tip radii 12 and root radii 12 - 2.25 m.
TEST_F(GearPumpSetupApi, ShiftCorrection) {
  struct Case {
    int z1, z2;
    double m, x1, x2, aw_deg, a, da1, da2, df1, df2;
  } cases[] = {{12, 24, 3, 0.6, 0.36, 26.0886, 56.4999, 44.840, 79.400, 32.1, 66.66},
               {10, 10, 2, 0, 0, 20, 20, 24, 24, 15, 15}};
  for (const Case &c : cases) {
    const double alpha = 20 * kDeg, ha = 1, ctip = 0.25;
    double aw, a, ra1, ra2, rf1, rf2;
    ASSERT_EQ(egp_shift_correction_(&c.z1, &c.z2, &c.m, &alpha, &ha, &ctip, &c.x1, &c.x2, &aw, &a,
                                    &ra1, &ra2, &rf1, &rf2),
              0);
    EXPECT_NEAR(aw / kDeg, c.aw_deg, 1e-4);
    EXPECT_NEAR(a, c.a, 1e-3);
    EXPECT_NEAR(2 * ra1, c.da1, 2e-3);
    EXPECT_NEAR(2 * ra2, c.da2, 2e-3);
    EXPECT_NEAR(2 * rf1, c.df1, 2e-3);
    EXPECT_NEAR(2 * rf2, c.df2, 2e-3);
  }
}

// A whole gear counts its own teeth; teeth outside 1..z or a drawing mode
// other than 1, 2 are refused.
TEST_F(GearPumpSetupApi, GearIds) {
  const int z = 12;
  const double m = 2, alpha = 20 * kDeg, ha = 1, ctip = 0.25, fillet = 0.38, x = 0, ra = 14,
               rf = 9.5;
  int sharp = 0;
  for (auto [n, mode] : {std::pair{0, 1}, {13, 1}, {1, 0}, {1, 3}})
    EXPECT_EQ(
        egp_create_gear_id_(&z, &m, &alpha, &ha, &ctip, &fillet, &x, &ra, &rf, &n, &mode, &sharp),
        -1);
  const int mode = 2;
  int id =
      egp_create_gear_id_(&z, &m, &alpha, &ha, &ctip, &fillet, &x, &ra, &rf, &z, &mode, &sharp);
  ASSERT_GE(id, 0);
  int teeth = 0;
  double xc, yc, rmin, rmax;
  ASSERT_EQ(check_gear_id_(&id, &teeth, &xc, &yc, &rmin, &rmax), 0);
  EXPECT_EQ(teeth, z);
  EXPECT_NEAR(rmax, ra, 1e-6);
  EXPECT_NEAR(rmin, rf, 1e-6);
}

// Gears at (0, 0) and (-20, 0): a port of side +1 lies on +y, side -1 on
// -y, both centred on x = -10; a bad side or a flat port gives no shape.
TEST_F(GearPumpSetupApi, AnalyticPorts) {
  const double x1 = 0, y1 = 0, x2 = -20, y2 = 0, dist = 2, off = 0, w = 4, len = 10, zero = 0;
  for (int side : {1, -1}) {
    int id = egp_create_analyticport_id_(&x1, &y1, &x2, &y2, &dist, &off, &w, &len, &side);
    ASSERT_GE(id, 0);
    double area = 0, t, r, b, l;
    xCD_shape_area_(&id, &area);
    EXPECT_NEAR(area, w * len, 1e-9);
    find_bounds_trbl_id_(&id, &t, &r, &b, &l);
    EXPECT_NEAR(side > 0 ? b : -t, dist, 1e-9);
    EXPECT_NEAR(side > 0 ? t : -b, dist + len, 1e-9);
    EXPECT_NEAR(l, -12, 1e-9);
    EXPECT_NEAR(r, -8, 1e-9);
  }
  for (int side : {0, 2})
    EXPECT_EQ(egp_create_analyticport_id_(&x1, &y1, &x2, &y2, &dist, &off, &w, &len, &side), -1);
  const int side = 1;
  EXPECT_EQ(egp_create_analyticport_id_(&x1, &y1, &x2, &y2, &dist, &off, &zero, &len, &side), -1);
  EXPECT_EQ(egp_create_analyticport_id_(&x1, &y1, &x2, &y2, &dist, &off, &w, &zero, &side), -1);
  EXPECT_EQ(egp_modulo_deg(-30), 330);
  EXPECT_EQ(egp_modulo_deg(720), 0);
}

}  // namespace
