// The whole build on a 12-tooth rack-cut pair: its failure statuses, the
// tables and real store of a simulation build, the cavity shapes at one
// angle and the displacement of one revolution.
#include <algorithm>
#include <cmath>

#include "gearpump/build.hpp"
#include "gearpump/rungeom.hpp"
#include "gearpump/tables.hpp"
#include "geometry/kiv_shapeid.h"
#include "support/kiv_test.hpp"
#include "tests/gearpump/pair.hpp"

namespace kiv::egp {
namespace {

using pairtest::kAlpha;

class GearPumpBuild : public test::SystemTest {
 protected:
  static constexpr int z = 12;
  static constexpr double m = 2.0, ra = 14.0, a0 = 24.0;

  // Registered outlines as the submodel places them, the driven gear at
  // (-a, 0); either may be a star.
  void gears(double a = a0, bool star1 = false, bool star2 = false) {
    int sharp = 0;
    auto gear = [&](bool pointed, int mode) {
      return pointed ? star() : egp_create_gear(z, m, kAlpha, 1, 0.25, 0.38, 0, ra, 9.5, z, mode, sharp);
    };
    ShapePtr s1 = gear(star1, 2), s2 = gear(star2, 1);
    rotate2D_(s1.get(), 0, 0, kPi / 2);
    rotate2D_(s2.get(), 0, 0, kPi / 2 + kPi / z);
    translate2D_(s2.get(), -a, 0);
    args.driving = register_shape_id_(s1.release());
    args.driven = register_shape_id_(s2.release());
  }
  // Pointed teeth: a tooth top of one point has no width.
  static ShapePtr star() {
    double x[2 * z], y[2 * z];
    for (int k = 0; k < 2 * z; ++k) {
      const double r = k % 2 ? 10.0 : ra, t = k * kPi / z;
      x[k] = r * std::cos(t), y[k] = r * std::sin(t);
    }
    return shapeThrough(x, y, 2 * z);
  }
  // Ports above and below the line of centres.
  void halfPlanePorts() {
    const double x[] = {20, -45, -45, 20}, yo[] = {30, 30, 0, 0}, yi[] = {0, 0, -30, -30};
    args.outlet = register_shape_id_(shapeThrough(x, yo, 4).release());
    args.inlet = register_shape_id_(shapeThrough(x, yi, 4).release());
  }
  int build() { return egp_internal_build(w, p, args); }

  egp_pump_data w;
  egp_params p{.teeth_driving = z, .teeth_driven = z, .gear_definition = 1, .groove = 2,
               .leakage_mode = 2, .identical_gears = 1, .gear_thickness = 0.015,
               .outlet_start_driving = 60 * kPi / 180, .outlet_start_driven = 120 * kPi / 180,
               .inlet_end_driving = 300 * kPi / 180, .inlet_end_driven = 240 * kPi / 180,
               .drainage_radius = 0.005};
  egp_build_args args{.mode = 2, .ppd = 1, .c1 = z / 2, .c2 = z / 2};
};

TEST_F(GearPumpBuild, EveryCheckHasItsStatus) {
  struct Case {
    int mode, status;
    double a;
    bool star1, star2;
    int leakage, identical;
    double common, driving, driven;
  } cases[] = {
      {0, kBuildGearsIntersect, a0 - 1.5, false, false, 2, 1, 0.005, 0, 0},
      {2, kSearchFailed, 2 * ra + 0.5, false, false, 2, 1, 0.005, 0, 0},
      {2, kBuildTopDriving, a0, true, false, 1, 1, 0.005, 0, 0},
      {2, kBuildTopDriven, a0, false, true, 1, 1, 0.005, 0, 0},
      {2, 0, a0, true, true, 2, 1, 0.005, 0, 0},  // widths unused without tip leakage
      // The star's inner radius is 10 mm, the rack gear's 9.5 mm; equal fails.
      {2, kBuildDrainCommonDriving, a0, true, false, 2, 1, 0.010, 0, 0},
      {2, kBuildDrainCommonDriven, a0, true, false, 2, 1, 0.0097, 0, 0},
      {2, kBuildDrainDriving, a0, true, false, 2, 2, 0.02, 0.010, 0.001},
      {2, kBuildDrainDriven, a0, true, false, 2, 2, 0.02, 0.0097, 0.0095},
  };
  for (const Case &c : cases) {
    gears(c.a, c.star1, c.star2);
    p.leakage_mode = c.leakage, p.identical_gears = c.identical, p.drainage_radius = c.common;
    p.drainage_radius_driving = c.driving, p.drainage_radius_driven = c.driven;
    args.mode = c.mode;
    // Stars do not mesh: the pass through the checks ends at the mesh.
    const int got = build();
    EXPECT_EQ(got, c.status == 0 ? kSearchFailed : c.status) << c.status;
    EXPECT_TRUE(w.drv_area_cav.empty() && w.out_a[0].empty());
  }
}

TEST_F(GearPumpBuild, SimulationBuildFillsTheStoreAndEveryTable) {
  gears();
  halfPlanePorts();
  auto inst = egp_instance_create(z, z);
  double store[16];
  std::fill(store, store + 16, -1.0);
  p.groove = 1;
  args.mode = 0, args.ppd = 4, args.store = store, args.inst = inst.get();
  ASSERT_EQ(build(), 0);
  for (int s = 0; s < kIdSlots; ++s)
    EXPECT_TRUE(s == 16 || s == 17 || inst->id(s, inst->slot[s].size() > 1 ? z / 2 : 0) >= 0) << s;
  // Tip and root radii in metres; no teeth axis for rack-cut gears.
  const std::vector<double> radii(store + 10, store + 16), expected{0.014, 0.014, 0.0095,
                                                                    0.0095, 0, 0};
  for (size_t i = 0; i < radii.size(); ++i) EXPECT_NEAR(radii[i], expected[i], 1e-9) << i;
  EXPECT_GT(store[8], 0.0);
  EXPECT_NEAR(store[8], store[9], 1e-12);
  // Away from the mesh the cavity holds the tip circle less the gear,
  // shared by z cavities.
  const double free = (kPi * ra * ra - std::fabs(area2D_(xCD_get_shape_(&args.driving)))) / z;
  EXPECT_NEAR(egp_table_value(*inst, 14, z / 2, z / 2, 0.0), free, 2e-3 * free);
  EXPECT_LT(egp_table_value(*inst, 14, z / 2, z / 2, 180.0), 0.5 * free);
  EXPECT_TRUE(w.drv_area_cav.empty() && w.out_area1.empty() && w.out_b_x.empty());
}

// The ports move with the gears: the whole pump placed elsewhere has the
// same cavities and overlaps.
TEST_F(GearPumpBuild, CavityShapesAtOneAngle) {
  gears();
  halfPlanePorts();
  ShapePtr shapes[6];
  args.mode = 1, args.shapes = shapes, args.angle = -7.5 * kPi / 180;
  const double free = (kPi * ra * ra - std::fabs(area2D_(xCD_get_shape_(&args.driving)))) / z;
  std::vector<double> areas[2];
  for (auto &seen : areas) {
    ASSERT_EQ(build(), 0);
    // Both selected cavities are free and straddle the line of centres.
    for (int g = 0; g < 2; ++g) {
      ASSERT_TRUE(shapes[3 * g] && shapes[3 * g + 1] && shapes[3 * g + 2]);
      for (int k = 0; k < 3; ++k) seen.push_back(std::fabs(area2D_(shapes[3 * g + k].get())));
      EXPECT_NEAR(seen[3 * g], free, 2e-3 * free);
      EXPECT_NEAR(seen[3 * g + 1] + seen[3 * g + 2], seen[3 * g], 1e-6 * free);
      EXPECT_GT(std::min(seen[3 * g + 1], seen[3 * g + 2]), 0.05 * free);
    }
    for (int id : {args.driving, args.driven, args.outlet, args.inlet}) {
      const double dx = 7, dy = -3, xc = 2, yc = 1, turn = 2.1;
      xCD_translate_(&id, &dx, &dy);
      xCD_rotate_(&id, &xc, &yc, &turn);
    }
  }
  for (size_t i = 0; i < areas[0].size(); ++i) EXPECT_NEAR(areas[1][i], areas[0][i], 1e-6 * free);
}

// A zero-backlash mesh whose cavities switch ports at their smallest
// volume displaces 2 pi b (ra^2 - rw^2 - pb^2 / 48) per revolution.
// Read as files, the same gears are aligned and brought into contact by the
// build itself.
TEST_F(GearPumpBuild, DisplacementOfOneRevolution) {
  gears();
  for (int definition : {1, 2}) {
    egp_cavity_curves c[2];
    p.gear_definition = definition;
    args.curves = c, args.ppd = 4;
    ASSERT_EQ(build(), 0);
    double V = 0;
    for (auto &g : c) {
      ASSERT_EQ(g.n, 1441);
      ASSERT_EQ(g.volume.size(), 1441u);
      V += *std::max_element(g.volume.begin(), g.volume.end()) -
           *std::min_element(g.volume.begin(), g.volume.end());
    }
    const double b = 15, rw = z * m / 2, pb = kPi * m * std::cos(kAlpha);
    EXPECT_NEAR(z * V, 2 * kPi * b * (ra * ra - rw * rw - pb * pb / 48), 0.01 * z * V);
  }
}

// The groove area of a cavity's outlet opening is the annular sector of the
// groove that the cavity overlaps, measured the way the run measures it:
// from the tooth angle less half a tip land, over a pitch less the land.
TEST_F(GearPumpBuild, GrooveAreaOfBothGearsFollowsTheRunTimeSector) {
  gears();
  halfPlanePorts();
  p.groove_width = 0.0015;
  p.groove_start_driving = 1.0, p.groove_end_driving = 1.7;
  p.groove_start_driven = 1.3, p.groove_end_driven = 2.2;
  egp_cavity_curves with[2], without[2];
  for (auto [groove, c] : {std::pair{1, with}, std::pair{2, without}}) {
    p.groove = groove, args.curves = c;
    ASSERT_EQ(build(), 0);
  }
  pairtest::GearPair pair(z, m);
  const double pitch = 2 * kPi / z, gw = 1.5, mid = z / 2;
  double largest[2] = {};
  for (int k = 0; k < with[0].n; ++k) {
    const double theta = with[0].x[k] * kPi / 180;
    // Run-time tooth angles of driving cavity mid (tooth mid - 1) and of
    // driven cavity mid (tooth mid + 1); rack-cut gears have no axis angle.
    const double t[2] = {egp_get_teeth_angle(1, pitch, 0.0, mid - 1, theta),
                         egp_get_teeth_angle(2, pitch, 0.0, mid + 1, theta)};
    const double tt[2] = {pair.g1.tta, pair.g2.tta};
    const double g0[2] = {p.groove_start_driving, p.groove_start_driven};
    const double g1[2] = {p.groove_end_driving, p.groove_end_driven};
    for (int g = 0; g < 2; ++g) {
      const double sector = egp_cav_to_out_sector(t[g] - tt[g] / 2, pitch, tt[g], g0[g], g1[g]);
      const double expected = sector * 0.5 * gw * (2 * ra - gw);
      EXPECT_NEAR(with[g].outlet[k] - without[g].outlet[k], expected, 1e-9) << g << " " << k;
      largest[g] = std::max(largest[g], expected);
    }
  }
  // The sectors are wide enough that half a land shifts the area.
  for (double l : largest) EXPECT_GT(l, 5.0);
}

}  // namespace
}  // namespace kiv::egp
