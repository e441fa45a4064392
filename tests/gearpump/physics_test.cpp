// The built 12-tooth pump of the pump example against physical laws: no
// torque or net force from a uniform pressure, the displacement and the
// power balance of the example's run.
#include <cmath>
#include <numbers>

#include "examples/pump_core.hpp"
#include "gearpump/records.hpp"
#include "gearpump/rungeom.hpp"
#include "support/kiv_test.hpp"

namespace kiv::egp {
namespace {

using GearPumpPhysics = test::SystemTest;

// A closed outline under one pressure carries no torque and no force, at
// every angle, meshing cavities and chambers included.
TEST_F(GearPumpPhysics, UniformPressureLeavesNoTorqueOrForce) {
  ASSERT_EQ(guarded([] {
              int one = 1;
              const int z = 12;
              double rho = 850, bulk = 1.7e9, mu = 0.04, psat = -5e4, zero = 0, t = 50, poly = 1.4;
              fpspind_(&one, &rho, &bulk, &mu, &psat, &zero, &t, &poly, &zero);
              const KIVRunFlags flags{};
              KivSetRunFlags(&flags);
              kivex::PumpParams p(z);
              p.i[0] = 1;  // the fluid above
              double store[16] = {}, angle = 0;
              std::vector<double> x(2 + 2 * z);
              void *slot = nullptr;
              hcdegp0in_(&one, p.r.data(), p.i.data(), p.text, store, &slot, &angle, &x[0], &x[1],
                         &x[2], &x[2 + z]);
              egp_instance &inst = *egp_instance_of(&slot);
              const double P = 1e7, b = 0.02, pitch = 2 * std::numbers::pi / z;
              std::vector<double> pr(z, P), pn(z, P);
              int meshing = 0;
              for (double deg = 0; deg < 360; deg += 0.7) {
                egp_force_state st{.b = b, .tt1 = store[8], .tt2 = store[9], .R1 = store[10],
                                   .R2 = store[11], .axis1 = store[14]};
                st.theta = deg * std::numbers::pi / 180;
                egp_run_get_inout(st.theta, inst.slot[kSlotMarkersDriving],
                                  inst.slot[kSlotMarkersDriven], pitch, pitch,
                                  {store[4], store[5]}, {store[7], store[6]}, st.o1, st.o2, st.o3,
                                  st.o4);
                meshing += st.o1 >= 0;
                st.pr = pr.data(), st.pn = pn.data(), st.pinl = st.pout = P;
                double torque = 0, f[4];
                egp_run_forces(inst, st, torque, &f[0], &f[1], &f[2], &f[3]);
                // P on one meshing cavity alone is some 3 N m and 2 kN: what
                // is left is the tables' interpolation between samples.
                EXPECT_NEAR(torque, 0.0, 0.02) << deg;
                for (double fk : f) EXPECT_NEAR(fk, 0.0, 5.0) << deg;
              }
              EXPECT_GT(meshing, 0);
              hcdegp0end_(&one, p.r.data(), p.i.data(), p.text, store, &slot);
              return 0;
            }),
            0);
}

// The example's run: the pressure part of its mean torque turns the shaft
// power into hydraulic power, Vg dp / 2 pi with the geometric displacement
// 2 pi b (ra^2 - rw^2 - pb^2 / 48); the viscous and trapped-volume losses
// are what it takes at no outlet pressure.  A coarse step keeps it short.
TEST_F(GearPumpPhysics, ExampleTorqueMatchesDisplacementTimesPressure) {
  const double m = 2, b = 20, rw = 12, ra = rw + m;
  const double pb = std::numbers::pi * m * std::cos(20 * std::numbers::pi / 180);
  const double vg = 2 * std::numbers::pi * b * (ra * ra - rw * rw - pb * pb / 48) * 1e-9;
  double torque[2] = {};
  for (int k = 0; k < 2; ++k) {
    kivex::PumpOptions opt;
    opt.outlet = k == 0 ? 0 : 50, opt.step = 0.5, opt.max_turns = 3;
    kivex::PumpResult res;
    if (k == 0) {
      ASSERT_EQ(guarded([&] { return kivex::runPump(opt, res); }), 0) << takeErr();
    } else {  // a run sets its fluid and tanks up once per system
      KIVSystem *sys = KivCreateSystem();
      KivMakeCurrent(sys);
      struct Run {
        kivex::PumpOptions &opt;
        kivex::PumpResult &res;
      } run{opt, res};
      const int status = KivGuardedCall(
          sys, [](void *r) { return kivex::runPump(static_cast<Run *>(r)->opt, static_cast<Run *>(r)->res); },
          &run);
      KivEndRun(0);
      KivReleaseSystem(sys);
      KivMakeCurrent(sys_);
      ASSERT_EQ(status, 0);
    }
    torque[k] = res.mean_torque;
    // In a steady cycle what enters the pump leaves it (inflow is negative).
    EXPECT_NEAR(-res.mean_q1, res.mean_q2, 5e-3 * res.mean_q2);
    EXPECT_NEAR(res.displacement * 1e-9, vg, 1e-3 * vg);
  }
  const double ideal = vg * 50e5 / (2 * std::numbers::pi);
  EXPECT_NEAR(torque[1] - torque[0], ideal, 0.05 * ideal) << torque[0] << " " << torque[1];
}

}  // namespace
}  // namespace kiv::egp
