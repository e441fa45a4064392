#include "gearpump/calc.hpp"

#include "support/kiv_test.hpp"
#include "synthetic.hpp"

namespace kiv::egp {

constexpr int kZ = 12;
constexpr double kPi = std::numbers::pi, kDeg = kPi / 180, kPitch = 2 * kPi / kZ;

// The 12-tooth pump on the synthetic tables.
class GearPumpCalc : public test::SystemTest, public synth::Pump {
 public:
  void SetUp() override {
    SystemTest::SetUp();
    ASSERT_EQ(build(), 0);
  }
};

// At one pressure and standstill nothing changes.  Then no cavity meshes
// (no chamber has a meshing cavity) and each gear is a closed chain of
// cavity chords and tip lands: no net force or torque.
TEST_F(GearPumpCalc, UniformPressureAtStandstill) {
  pressures(100e5, 0);
  for (bool empty : {false, true}) {
    if (empty) {
      store[5] = store[4], store[6] = store[7];
      for (int s = 42; s < 74; ++s) inst->id(s) = -1;
      const double tt = store[8], a = kPi - m * kPitch - tt / 2, c = (m - 0.5) * kPitch + tt / 2;
      for (int f = 0; f < 8; ++f)  // the middle cavity's chords on each gear
        ASSERT_EQ(table(f < 4 ? 18 + f : 26 + f, [&](double d) {
          d *= kDeg;
          return f < 4 ? synth::chord(20, a + kPitch + d, a + tt + d)[f]
                       : synth::chord(20, c - d, c + kPitch - tt - d)[f - 4];
        }), 0);
    }
    for (double theta : {0.1, 1.9, 2.4, -2.0}) {
      in.theta = theta;
      const long before = test::allocationCount();
      ASSERT_EQ(run(), 0);
      EXPECT_TRUE(before < 0 || test::allocationCount() == before) << "evaluation allocates";
      for (int k = 0; k < kZ; ++k)
        EXPECT_TRUE(out.dpr[k] == 0 && out.dpn[k] == 0 && out.dpout == 0 && out.dpinl == 0) << k;
      if (!empty) continue;
      for (double f : outputs.force) EXPECT_NEAR(f, 0.0, 1e-2) << theta;  // chords carry ~3 kN
      EXPECT_NEAR(out.torque, 0.0, 1e-4) << theta;
    }
  }
}

// Every flow between states cancels: with cavities of constant area (no
// displacement) the inflows that the derivatives imply add up to what the
// ports take, also while the teeth drag fluid along and the meshing
// cavities share the chambers' volume change.  Without the driven drainage
// output no drainage of the driven gear counts anywhere.
TEST_F(GearPumpCalc, InternalFlowsCancelAndVolumesStayPositive) {
  for (int s : {14, 15}) ASSERT_EQ(table(s, [](double) { return 30.0; }), 0);
  double *drain = out.qleakdrainn;
  pressures(50e5, 20e5);
  auto inflow = [](double p, double dp, double V) { return dp * V / q0top_(&p) / bmatp_(&p); };
  for (double theta : {0.2, 1.9, 2.1, 4.0})
    for (double speed : {0.0, 150.0, -150.0}) {
      in.theta = theta, in.speed = speed;
      out.qleakdrainn = speed > 0 ? nullptr : drain;
      ASSERT_EQ(run(), 0);
      double sum = inflow(in.pout, out.dpout, 1e-6) + inflow(in.pinl, out.dpinl, 1e-6);
      for (int k = 0; k < kZ; ++k)
        sum += inflow(pr[k], out.dpr[k], out.volr[k]) + inflow(pn[k], out.dpn[k], out.voln[k]);
      // The port flow is ~1e-2 m3/s, the drainage of a cavity ~1e-11.
      EXPECT_NEAR(sum, -(out.q1 + out.q2), 1e-10 * std::fabs(out.q1 + out.q2)) << theta << speed;
    }
  // A volume that is not positive holds its pressure, and a pump with one
  // cannot be run.
  const std::vector<double> minus(kZ, -1.0);
  in.v_r = minus.data();
  ASSERT_EQ(run(), 0);
  for (int k = 0; k < kZ; ++k) EXPECT_TRUE(out.dpr[k] == 0.0 && out.dpn[k] != 0.0) << k;
  EXPECT_NEAR(egp_smallest_volume(par, *inst, 0.25), 30 * 0.015e-6, 1e-12);
  par.inlet_dead_volume = 0;
  EXPECT_LE(egp_smallest_volume(par, *inst, 0.25), 0.0);
}

TEST_F(GearPumpCalc, OneToothPitchOnWithPressuresShiftedGivesTheSameOutputs) {
  pressures(50e5, 20e5);
  in.speed = 150, in.theta = 0.37;
  const double *f = outputs.force;
  auto snap = [&](int shift) {
    std::vector v{out.dpout, out.dpinl, out.q1, out.q2, out.torque, f[0], f[1], f[2], f[3]};
    for (int k = 0; k < kZ; ++k)
      v.insert(v.end(), {out.dpr[(k + shift) % kZ], out.dpn[(k + shift) % kZ]});
    return v;
  };
  ASSERT_EQ(run(), 0);
  const std::vector<double> before = snap(0);
  for (auto *v : {&pr, &pn}) std::rotate(v->rbegin(), v->rbegin() + 1, v->rend());
  in.theta += kPitch;
  ASSERT_EQ(run(), 0);
  const std::vector<double> after = snap(1);
  for (size_t v = 0; v < after.size(); ++v)
    EXPECT_NEAR(after[v], before[v], 1e-8 * std::fabs(before[v]) + 1e-9) << v;
}

TEST_F(GearPumpCalc, PortFlowsFollowTheOrificeLawOfTheirAreas) {
  // Radial outlet length and sibling gap [mm], axial outlet area [mm2].
  auto constant = [&](int s, double v) { return table(s, [v](double) { return v; }); };
  ASSERT_EQ(constant(0, 0.8) | constant(8, 0.005) | constant(4, 2.0), 0);
  pressures(0, 0);
  in.pout = 10e5, in.theta = 2.0;
  // Tanh law at 0.7 and 1000: dh = 2 sqrt(A / pi), nu = mu / rho.
  auto law = [](double A) {
    const double v = std::sqrt(2e6 / 850), lambda = 2 * std::sqrt(A / kPi) * 850 / 0.051 * v;
    return 0.7 * std::tanh(2 * lambda / 1000) * A * v;
  };
  for (double speed : {100.0, -100.0}) {
    in.speed = speed;
    ASSERT_EQ(run(), 0);
    for (int k = 0; k < kZ; ++k) {
      const bool open = inst->slot[kSlotMarkersDriving][k] == -1;  // the outlet one is driven
      EXPECT_NEAR(out.areaoutradr[k], open ? 0.8e-3 * 0.015 : 0.0, 1e-15) << k;
      EXPECT_NEAR(out.qoutortr[k], law(2e-6), 5e-3 * law(2e-6));
      // A sibling gap below the contact threshold closes; turning backwards
      // it is raised to the teeth clearance.
      EXPECT_NEAR(out.areaload[k], open || speed > 0 ? 0.0 : 2e-5 * 0.015, 1e-15) << k;
    }
  }
}

}  // namespace kiv::egp
