#include "gearpump/calc.hpp"

#include "hydraulics/kiv_hydlaws.h"
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

// Leakage of every cavity and across the meshing zone, and its viscous
// torque, from the gap-flow laws: over a tip land (when the land lies
// outside its gear's port sector) drag flow b h R w / 2 plus pressure flow
// h^3 b dp / (12 mu L); across the two side faces of a tooth of height H
// and width W drag 2 s H (Rs w / 2) / 2 plus pressure 2 s^3 H dp / (12 mu
// W); down the side faces from the root circle to the drainage radius; and
// across the meshing zone.  The viscous torque is each path's shear force
// times its radius, less half the pressure force on its gap.  The tip
// lengths and tooth sizes come from the geometry (mode 1), from common or
// per-gear details (mode 2), or the gaps are plain (mode -1).  The torque
// of the leakage is what vanishes with both clearances.
TEST_F(GearPumpCalc, LeakagePathsAndTheirViscousTorque) {
  struct Case {
    int mode, identical;
    double speed, tipMultiplier, drainage;
  } const cases[] = {
      {2, 1, 150, 1.0, 5e-3},  {2, 1, -150, 0.5, 5e-3}, {1, 1, 150, 1.0, 5e-3},
      {1, 2, -150, 1.0, 5e-3}, {2, 2, 150, 1.0, 0.0},   {2, 2, -150, 1.0, 0.0},
      {-1, 1, 150, 1.0, 0.0},  {-1, 1, -150, 1.0, 0.0},
  };
  par.tip_length_driving = 1.5e-3, par.tip_length_driven = 2.5e-3;
  par.tooth_height_driving = 3.5e-3, par.tooth_height_driven = 4.5e-3;
  par.tooth_width_driving = 2.5e-3, par.tooth_width_driven = 3.5e-3;
  par.drainage_radius_driving = 6e-3, par.drainage_radius_driven = 4e-3;
  par.drainage_width_factor_driving = 0.3, par.drainage_width_factor_driven = 0.5;
  par.plain_leak_length = 4e-3, par.plain_leak_width = 6e-3;
  par.plain_leak_gap_1 = 1e-5, par.plain_leak_gap_2 = 2e-5;
  // An oil whose viscosity grows with pressure, so that each path reads it
  // at its own mean pressure.
  int oil = 2;
  fpuserd_(
      &oil, [](double *, double *p) { return 850 * (1 + *p / 1.7e9); },
      [](double *, double *p) { return 1.7e9 + 8 * *p; },
      [](double *, double *p) { return 0.05 * (1 + *p / 2e7); });
  par.fluid_index = oil;
  pressures(50e5, 20e5);
  const double b = par.gear_thickness, h = 1e-5, s = 2e-5, R = store[10], tt = store[8];
  auto mu = [](double p) { return muatp_(&p); };
  int current = oil;
  sethdind_(&current);
  EXPECT_NEAR(mu(70e5) / mu(30e5), 1.35 / 1.15, 1e-12);
  auto q0 = [](double p) { return q0top_(&p); };
  auto turn = [](double x) { return x - 2 * kPi * std::floor(x / (2 * kPi)); };
  int lands[2] = {};  // tip lands sealed and leaking
  for (const Case &c : cases)
    for (double theta : {0.3, 2.2}) {
      par.leakage_mode = c.mode, par.identical_gears = c.identical;
      par.mult_tip_leakage = c.tipMultiplier, par.drainage_radius = c.drainage;
      in.speed = c.speed, in.theta = theta;
      par.radial_clearance = par.lateral_gap = 0;
      ASSERT_EQ(run(), 0);
      const double pressureTorque = out.torque;
      par.radial_clearance = h, par.lateral_gap = s;
      ASSERT_EQ(run(), 0);
      const double w = c.speed, Ri = c.mode == -1 ? -1.0 : store[12];
      double torque = 0;
      for (int g = 0; g < 2; ++g) {
        const bool driving = g == 0, own = c.identical != 1;
        const double *p = driving ? pr.data() : pn.data();
        const double a0 = store[g], span = turn(store[2 + g] - store[g]);
        // Common details, or the gear's own.
        auto pick = [&](double common, double drv, double drn) {
          return own ? (driving ? drv : drn) : common;
        };
        const double L = c.mode == 1
                             ? tt * R
                             : pick(par.tip_length, par.tip_length_driving, par.tip_length_driven);
        const double H =
            c.mode == 1 ? R - Ri
                        : pick(par.tooth_height, par.tooth_height_driving, par.tooth_height_driven);
        const double W =
            c.mode == 1 ? (Ri + R) * (kPi / 2) / kZ
                        : pick(par.tooth_width, par.tooth_width_driving, par.tooth_width_driven);
        const double Rd =
            pick(par.drainage_radius, par.drainage_radius_driving, par.drainage_radius_driven);
        const double f = c.mode == 1
                             ? 0.4
                             : pick(par.drainage_width_factor, par.drainage_width_factor_driving,
                                    par.drainage_width_factor_driven);
        for (int i = 0; i < kZ; ++i) {
          const double pi = p[i], pj = p[(i + 1) % kZ], pm = (pi + pj) / 2, dp = pj - pi;
          // The tip land leaks unless it lies wholly inside the port sector
          // (driving gear) or wholly outside it (driven gear).
          const double rel =
              driving ? turn(kPi - kPitch * i + theta - a0) : turn((i + 0.5) * kPitch - theta - a0);
          const bool tip = driving ? !(tt / 2 < rel && rel < span - tt / 2)
                                   : !(span + tt / 2 < rel && rel < 2 * kPi - tt / 2);
          ++lands[tip];
          double q = 0;
          if (c.mode == -1) {
            double from = pj, to = pi, A = b * h, dh = 4 * A / (2 * (h + b)), cq = 0.7, lc = 1000;
            double o1, o2, o3;
            if (tip) q += orif3f_(&from, &to, &A, &dh, &cq, &lc, &o1, &o2, &o3);
            for (double gap : {par.plain_leak_gap_1, par.plain_leak_gap_2})
              q += std::pow(gap, 3) * par.plain_leak_width * dp /
                   (12 * par.plain_leak_length * mu(pm)) / q0(pm);
          } else {
            if (tip) {
              q += (b * h * R * w / 2 + std::pow(h, 3) * b * dp / (12 * mu(pm) * L)) / q0(pm);
              torque += R * (-0.5 * h * b * dp + L * b * mu(pm) * R * w / h);
            }
            const double Rs = Ri + R;
            q += (2 * std::pow(s, 3) * H * dp / (12 * mu(pm) * W) + s * H * Rs * w / 2) / q0(pm);
            torque += Rs * (-0.5 * dp * s * H + H * W * mu(pm) * (Rs * w / 2) / s);
          }
          const double got = driving ? out.qleakteethr[i] : out.qleakteethn[i];
          EXPECT_NEAR(got, c.tipMultiplier * q, 1e-9 * std::fabs(q))
              << c.mode << " " << w << " " << i;
          double drain = 0;
          if (Rd > 0) {
            const double Wd = 2 * f * kPi * Ri / kZ;
            drain = 2 * (pi - in.pinl) * std::pow(s, 3) * Wd /
                    (12 * mu((pi + in.pinl) / 2) * (Ri - Rd)) / q0(pm);
          }
          const double gotDrain = driving ? out.qleakdrainr[i] : out.qleakdrainn[i];
          EXPECT_NEAR(gotDrain, drain, 1e-9 * std::fabs(drain)) << c.mode << " " << i;
        }
      }
      const double dp = in.pout - in.pinl, pm = (in.pout + in.pinl) / 2;
      double flow;
      if (c.mode == 1) {
        const double Hm = (R - Ri) / 2, Wm = (R + Ri) * (kPi / 2) / kZ;
        flow = 2 * (2 * std::pow(s, 3) * Hm * dp / (12 * mu(pm) * Wm));
        torque += 2 * (0.25 * R + 0.75 * Ri) * 2 * Hm * (-0.5 * s * dp);
      } else {
        const double mw = par.meshing_zone_width;
        flow = 2 * std::pow(s, 3) * mw * dp / (12 * mu(pm) * par.meshing_zone_height);
        torque += 2 * (0.75 * Ri + 0.25 * R) * s * (-0.5) * dp * mw;
      }
      EXPECT_NEAR(outputs.mesh, flow / q0(pm), 1e-9 * std::fabs(flow)) << c.mode;
      EXPECT_NEAR(out.torque - pressureTorque, torque, 1e-9 * std::fabs(torque) + 1e-12)
          << c.mode << " " << w << " " << theta;
    }
  EXPECT_TRUE(lands[0] > 0 && lands[1] > 0);
}

}  // namespace kiv::egp
