#include "gearpump/rungeom.hpp"

#include <algorithm>
#include <cmath>

#include "gearpump/tables.hpp"
#include "support/kiv_test.hpp"
#include "synthetic.hpp"

namespace kiv::egp {
namespace {

TEST(GearPumpRunGeometry, MeshingCavitiesOpenToTheChambers) {
  const double pitch = M_PI / 2;
  std::vector<int> m1(4), m2(4);
  int o1, o2, o3, o4;
  // Only cavity 0 of each gear meshes: the driven one takes the outlet,
  // the driving one the inlet.
  egp_run_get_inout(0.5, m1, m2, pitch, pitch, {0, 1}, {0, 1}, o1, o2, o3, o4);
  EXPECT_EQ(m1, (std::vector<int>{0, -1, -1, -1}));
  EXPECT_EQ((std::vector<int>{o1, o2, o3, o4}), (std::vector<int>{-1, 0, 0, -1}));
  // Driven cavity 1 meshes instead: both roles change gear.
  egp_run_get_inout(0.5, m1, m2, pitch, pitch, {0, 1}, {-pitch, 1 - pitch}, o1, o2, o3, o4);
  EXPECT_EQ(m2, (std::vector<int>{-1, 1, -1, -1}));
  EXPECT_EQ((std::vector<int>{o1, o2, o3, o4}), (std::vector<int>{0, -1, -1, 1}));
  // Exactly one turn past the start is a whole turn, outside the sector.
  egp_run_get_inout(2 * M_PI, m1, m2, pitch, pitch, {0, 1}, {0, 1}, o1, o2, o3, o4);
  EXPECT_EQ(m1[0], -1);
}

TEST(GearPumpRunGeometry, TipLandsAndGrooveOverlap) {
  // Sector 1..3 rad, land 0.2 rad wide: the driving tip leaks unless its
  // land lies inside, the driven tip unless its land lies outside.
  struct {
    int gear;
    double centre, expected;
  } tips[] = {{1, 2.0, 0}, {1, 1.05, 1}, {1, 5.0, 1}, {2, 5.0, 0}, {2, 2.0, 1}, {2, 2.95, 1}};
  const double pitch = 0.5;
  for (auto t : tips) {
    // Tooth 0 sits at pi + theta on the driving gear, at pitch/2 - theta on the driven one.
    const double theta = t.gear == 1 ? t.centre - M_PI : pitch / 2 - t.centre;
    EXPECT_EQ(egp_leakage_tip_effective(theta, 0, t.gear, pitch, 0.2, 0, 1, 3), t.expected)
        << t.centre;
  }
  // A cavity spans [start - (pitch - tt), start]; its overlap with the groove 1..2.
  for (double start : {0.9, 1.1, 1.5, 2.1, 2.35, 2.5}) {
    const double overlap = std::max(0.0, std::min(start, 2.0) - std::max(start - 0.4, 1.0));
    EXPECT_NEAR(egp_cav_to_out_sector(start, 0.5, 0.1, 1, 2), overlap, 1e-12) << start;
  }
}

using GearPumpForces = test::SystemTest;

TEST_F(GearPumpForces, ClosedChainUnderUniformPressureVanishes) {
  const int z = 7, m = 3, n = 1441;
  const double R = 20.0, tt = 0.1, p = M_PI / 3.5;  // p: pitch
  auto inst = egp_instance_create(z, z);
  Curve x(n);
  std::array<CavityCurves, 8> cols;  // driving chord, then driven chord
  for (auto &c : cols) c.assign(z, Curve(n));
  for (int k = 0; k < n; ++k) {
    const double th = (x[k] = 0.25 * k) * M_PI / 180;
    // Middle cavity: between the lands of teeth m - 1 and m on the driving
    // gear, of teeth m and m + 1 on the driven gear.
    const auto d = synth::chord(R, M_PI - (m - 1) * p + th - tt / 2, M_PI - m * p + th + tt / 2);
    const auto e = synth::chord(R, (m - 0.5) * p - th + tt / 2, (m + 0.5) * p - th - tt / 2);
    for (int f = 0; f < 8; ++f) cols[f][m][k] = f < 4 ? d[f] : e[f - 4];
  }
  for (int f = 0; f < 8; ++f) {
    int *ids = inst->slot[f < 4 ? 18 + f : 26 + f].data();
    ASSERT_EQ(egp_init_table(z, m, ids, n, x.data(), cols[f].data(), 4, 0, 0), 0);
  }
  inst->slot[kSlotMarkersDriving].assign(z, -1);
  inst->slot[kSlotMarkersDriven].assign(z, -1);
  std::vector<double> pr(z, 1e7), low = pr;
  low[2] = 0;
  egp_force_state st{.b = 0.015, .tt1 = tt, .tt2 = tt, .R1 = R / 1000, .R2 = R / 1000};
  for (double theta : {0.0, 0.3, 2.0, -1.0}) {
    double torque = 0, f[4];
    st.theta = theta;
    st.pr = st.pn = pr.data();
    const long before = test::allocationCount();
    egp_run_forces(*inst, st, torque, &f[0], &f[1], &f[2], &f[3]);
    EXPECT_TRUE(before < 0 || test::allocationCount() == before) << "evaluation allocates";
    for (double fk : f) EXPECT_NEAR(fk, 0.0, 1e-2) << theta;  // each chord carries ~2 kN
    EXPECT_NEAR(torque, 0.0, 1e-4);
    // One cavity less pressurised leaves a net force on each gear.
    st.pr = st.pn = low.data();
    egp_run_forces(*inst, st, torque, &f[0], &f[1], &f[2], &f[3]);
    EXPECT_GT(std::hypot(f[0], f[1]), 100.0);
    EXPECT_GT(std::hypot(f[2], f[3]), 100.0);
  }
}

// A tip land is pressed inwards by the mean pressure of its two cavities:
// p b 2R sin(tt/2) along minus its direction, and its tooth stands where
// the teeth axis turns it.  One pressurised driving cavity loads two lands.
TEST_F(GearPumpForces, TipLandsFollowTheTeethAxis) {
  const int z = 7;
  const double R = 0.02, tt = 0.1, b = 0.015, p = 1e7, pitch = 2 * M_PI / z;
  auto inst = egp_instance_create(z, z);  // no force tables: lands only
  inst->slot[kSlotMarkersDriving].assign(z, -1);
  inst->slot[kSlotMarkersDriven].assign(z, -1);
  std::vector<double> pr(z, 0.0), pn(z, 0.0);
  pr[2] = p;
  for (double axis : {0.0, 0.3, -1.1})
    for (double theta : {0.0, 0.7}) {
      egp_force_state st{.b = b, .tt1 = tt, .tt2 = tt, .R1 = R, .R2 = R, .axis1 = axis};
      st.theta = theta, st.pr = pr.data(), st.pn = pn.data();
      double torque = 0, f[4];
      egp_run_forces(*inst, st, torque, &f[0], &f[1], &f[2], &f[3]);
      double fx = 0, fy = 0;
      for (int land : {1, 2}) {  // between cavities 1, 2 and 2, 3
        const double phi = M_PI - land * pitch + theta + axis;
        fx -= p / 2 * b * 2 * R * std::sin(tt / 2) * std::cos(phi);
        fy -= p / 2 * b * 2 * R * std::sin(tt / 2) * std::sin(phi);
      }
      EXPECT_NEAR(f[0], fx, 1e-9 * p * b * R) << axis << " " << theta;
      EXPECT_NEAR(f[1], fy, 1e-9 * p * b * R) << axis << " " << theta;
      EXPECT_NEAR(torque, 0.0, 1e-9);
    }
}

}  // namespace
}  // namespace kiv::egp
