// The built 12-tooth pump of the pump example against physical laws: no
// torque or net force from a uniform pressure, the displacement and the
// power balance of the example's run, its efficiencies and convergence,
// and the checks of its command line.
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <numbers>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

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
                egp_force_state st{.b = b,
                                   .tt1 = store[8],
                                   .tt2 = store[9],
                                   .R1 = store[10],
                                   .R2 = store[11],
                                   .axis1 = store[14]};
                st.theta = deg * std::numbers::pi / 180;
                egp_run_get_inout(st.theta, inst.slot[kSlotMarkersDriving],
                                  inst.slot[kSlotMarkersDriven], pitch, pitch, {store[4], store[5]},
                                  {store[7], store[6]}, st.o1, st.o2, st.o3, st.o4);
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

// Runs the pump example in a system of its own (a run sets its fluid and
// tanks up once per system); the recovery point's status.
int runExample(const kivex::PumpOptions &opt, kivex::PumpResult &res, KIVSystem *back) {
  KIVSystem *sys = KivCreateSystem();
  KivMakeCurrent(sys);
  struct Run {
    const kivex::PumpOptions &opt;
    kivex::PumpResult &res;
  } run{opt, res};
  const int status = KivGuardedCall(
      sys,
      [](void *r) {
        return kivex::runPump(static_cast<Run *>(r)->opt, static_cast<Run *>(r)->res);
      },
      &run);
  KivEndRun(0);
  KivReleaseSystem(sys);
  KivMakeCurrent(back);
  return status;
}

// The example over three revolutions, run once per outlet pressure [bar],
// step [deg] and speed [rev/min] for the tests below.
const kivex::PumpResult &exampleAt(double outlet, double step, KIVSystem *back, double rpm = 1500) {
  static std::map<std::tuple<double, double, double>, kivex::PumpResult> runs;
  auto [it, fresh] = runs.try_emplace({outlet, step, rpm});
  if (fresh) {
    kivex::PumpOptions opt;
    opt.outlet = outlet, opt.step = step, opt.rpm = rpm, opt.max_turns = 3;
    EXPECT_EQ(runExample(opt, it->second, back), 0);
  }
  return it->second;
}

// Displacements [mm3/rev] of the example's gears (z 12, m 2, b 20, 20 deg):
// the kinematic one of a pump with backlash, 2 pi b (ra^2 - rw^2 - pb^2 /
// 12), and the zero-backlash one of the cavity model (pb^2 / 48).
constexpr double kKinematic = 6169.5, kCavity = 6443.2;

// The example's run: the pressure part of its mean torque turns the shaft
// power into hydraulic power, Vg dp / 2 pi with the kinematic displacement;
// the viscous and trapped-volume losses are what it takes at no outlet
// pressure.  A coarse step keeps it short.
TEST_F(GearPumpPhysics, ExampleTorqueMatchesDisplacementTimesPressure) {
  double torque[2] = {};
  for (int k = 0; k < 2; ++k) {
    const kivex::PumpResult &res = exampleAt(k == 0 ? 0 : 50, 0.5, sys_);
    ASSERT_FALSE(res.q2.empty());
    torque[k] = res.mean_torque;
    // In a steady cycle what enters the pump leaves it (inflow is negative).
    EXPECT_NEAR(-res.mean_q1, res.mean_q2, 5e-3 * res.mean_q2);
    EXPECT_NEAR(res.displacement, kKinematic, 0.05);
    EXPECT_NEAR(res.cavity_displacement, kCavity, 0.05);
  }
  const double ideal = kKinematic * 1e-9 * 50e5 / (2 * std::numbers::pi);
  EXPECT_NEAR(torque[1] - torque[0], ideal, 0.03 * ideal) << torque[0] << " " << torque[1];
}

// What a pump designer judges first, at 1500 rev/min against 50 bar: the
// mechanical efficiency of a pump with backlash and relief edges (ideal
// torque from the kinematic displacement over the mean torque) and the
// volumetric one (mean delivery over kinematic displacement times speed)
// are those of real pumps, the delivery's ripple is near the kinematic
// one, every step converges, and halving the step leaves the means.
TEST_F(GearPumpPhysics, ExampleFiguresAreCredibleAndConverged) {
  const kivex::PumpResult *res[2];
  for (int k = 0; k < 2; ++k) {
    const double step = k == 0 ? 0.5 : 0.25;
    res[k] = &exampleAt(50, step, sys_);
    const kivex::PumpResult &r = *res[k];
    ASSERT_FALSE(r.q2.empty());
    EXPECT_EQ(r.failures_total, 0) << step;
    const double volumetric = r.mean_q2 / (kKinematic * 1e-6 * 1500);
    const double mechanical = kKinematic * 1e-9 * 50e5 / (2 * std::numbers::pi) / r.mean_torque;
    EXPECT_GT(volumetric, 0.90);
    EXPECT_LE(volumetric, 1.0);
    EXPECT_GT(mechanical, 0.85);
    EXPECT_LE(mechanical, 1.0);
    // The printed figures are these.
    EXPECT_NEAR(r.efficiency, volumetric, 1e-4);
    EXPECT_NEAR(r.mechanical, mechanical, 1e-4);
    const auto [lo, hi] = std::minmax_element(r.q2.begin(), r.q2.end());
    EXPECT_NEAR(r.ripple, (*hi - *lo) / r.mean_q2, 1e-9);
    EXPECT_LE(r.ripple, 0.30) << step;
    // A relieved trapped volume stays near the outlet pressure.
    EXPECT_LT(r.peak, 2 * 50.0);
  }
  EXPECT_NEAR(res[1]->mean_q2, res[0]->mean_q2, 5e-3 * res[0]->mean_q2);
  EXPECT_NEAR(res[1]->mean_q1, res[0]->mean_q1, 5e-3 * std::abs(res[0]->mean_q1));
  EXPECT_NEAR(res[1]->mean_torque, res[0]->mean_torque, 5e-3 * res[0]->mean_torque);
}

// At a fifth of the speed the step is five times as long and the cavities
// open to a chamber settle to nearly its pressure within it, where the
// orifice law is steepest: every step still converges, the fluid balances,
// and the same leakage weighs more against the smaller delivery.
TEST_F(GearPumpPhysics, ExampleConvergesAtLowSpeed) {
  const kivex::PumpResult &slow = exampleAt(50, 0.5, sys_, 300);
  ASSERT_FALSE(slow.q2.empty());
  EXPECT_EQ(slow.failures_total, 0);
  EXPECT_NEAR(-slow.mean_q1, slow.mean_q2, 5e-3 * slow.mean_q2);
  const double volumetric = slow.mean_q2 / (kKinematic * 1e-6 * 300);
  EXPECT_GT(volumetric, 0.90);
  EXPECT_LT(volumetric, exampleAt(50, 0.5, sys_).efficiency);
}

// Every option is checked: a bad one is refused with a reason that names
// it, and nothing is taken from it.
TEST(PumpExampleArguments, BadOptionsAreRefusedWithTheirReason) {
  struct Case {
    std::vector<const char *> args;
    const char *named;
  };
  const Case cases[] = {
      {{"--step", "0"}, "--step"},
      {{"--step", "-1"}, "--step"},
      {{"--step", "5.01"}, "--step"},
      {{"--step", "1e-300"}, "--step"},
      {{"--teeth", "-3"}, "--teeth"},
      {{"--teeth", "0"}, "--teeth"},
      {{"--teeth", "4"}, "--teeth"},
      {{"--teeth", "101"}, "--teeth"},
      {{"--teeth", "12.5"}, "--teeth"},
      {{"--speed", "0"}, "--speed"},
      {{"--speed", "-1500"}, "--speed"},
      {{"--speed", "fast"}, "--speed"},
      {{"--speed", "15OO"}, "--speed"},
      {{"--speed", "1e999"}, "--speed"},
      {{"--speed", "nan"}, "--speed"},
      {{"--speed", "1e9"}, "--speed"},
      {{"--pressure", "1e6"}, "--pressure"},
      {{"--pressure", "abc"}, "--pressure"},
      {{"--pressure", ""}, "--pressure"},
      {{"--pressure", "-0.5"}, "--pressure"},
      {{"--pressure", "inf"}, "--pressure"},
      {{"--colour", "red"}, "--colour"},
      {{"50"}, "50"},
      {{"--speed"}, "--speed"},
      {{"--speed", "1000", "--out"}, "--out"},
  };
  for (const Case &c : cases) {
    std::vector<const char *> argv{"kiv_pump"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    kivex::PumpArguments args;
    const std::string why = kivex::parsePumpArguments(int(argv.size()), argv.data(), args);
    EXPECT_NE(why.find(c.named), std::string::npos) << c.args[0] << ": '" << why << "'";
    EXPECT_EQ(why.find('\n'), std::string::npos) << why;
  }
  // The refusal of a tooth count states the accepted range.
  kivex::PumpArguments args;
  const char *teeth[] = {"kiv_pump", "--teeth", "0"};
  const std::string why = kivex::parsePumpArguments(3, teeth, args);
  EXPECT_NE(why.find("5"), std::string::npos) << why;
  EXPECT_NE(why.find("100"), std::string::npos) << why;
  EXPECT_EQ(args.options.teeth, 12);
}

TEST(PumpExampleArguments, SoundOptionsAreTaken) {
  const char *argv[] = {"kiv_pump", "--speed", "750.5", "--pressure", "0",  "--teeth",
                        "100",      "--step",  "5",     "--out",      "dir"};
  kivex::PumpArguments args;
  EXPECT_EQ(kivex::parsePumpArguments(11, argv, args), "");
  EXPECT_EQ(args.options.rpm, 750.5);
  EXPECT_EQ(args.options.outlet, 0.0);
  EXPECT_EQ(args.options.teeth, 100);
  EXPECT_EQ(args.options.step, 5.0);
  EXPECT_EQ(args.out, "dir");
  EXPECT_FALSE(args.help);
  const char *few[] = {"kiv_pump", "--teeth", "5", "--step", "0.02", "--help"};
  kivex::PumpArguments other;
  EXPECT_EQ(kivex::parsePumpArguments(6, few, other), "");
  EXPECT_EQ(other.options.teeth, 5);
  EXPECT_EQ(other.options.step, 0.02);
  EXPECT_TRUE(other.help);
  EXPECT_EQ(other.options.rpm, 1500.0);
}

#ifdef KIV_PUMP_EXE
// The built program: a bad option ends it with status 2, its reason and
// the usage on stderr; a sound command line runs and writes its table.
TEST(PumpExampleProgram, ExitsTwoOnBadOptionsAndRunsOnSoundOnes) {
  const std::string err = test::tempPath("err.txt"), dir = test::tempPath("out");
  auto run = [&](const std::string &args) {
    const std::string cmd =
        std::string("'") + KIV_PUMP_EXE + "' " + args + " >/dev/null 2>'" + err + "'";
    const int raw = std::system(cmd.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  };
  auto text = [](const std::string &path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const char *bad[][2] = {{"--step 0", "--step"},
                          {"--step -1", "--step"},
                          {"--teeth -3", "--teeth"},
                          {"--teeth 0", "--teeth"},
                          {"--speed 0", "--speed"},
                          {"--speed -1500", "--speed"},
                          {"--speed fast", "--speed"},
                          {"--pressure abc", "--pressure"},
                          {"--unknown 3", "--unknown"},
                          {"--pressure", "--pressure"},
                          {"--out /nonexistent/kiv/dir", "/nonexistent/kiv/dir"}};
  for (const auto &b : bad) {
    EXPECT_EQ(run(b[0]), 2) << b[0];
    const std::string said = text(err);
    EXPECT_NE(said.find(b[1]), std::string::npos) << b[0] << ": " << said;
    EXPECT_NE(said.find("usage"), std::string::npos) << b[0] << ": " << said;
  }
  std::filesystem::create_directories(dir);
  ASSERT_EQ(run("--step 5 --out '" + dir + "'"), 0) << text(err);
  std::ifstream table(dir + "/pump_table.csv");
  int rows = 0;
  for (std::string line; std::getline(table, line);) ++rows;
  EXPECT_EQ(rows, 1 + 360 / 5);
  EXPECT_TRUE(std::filesystem::exists(dir + "/pump_cavity_r0.txt"));
  std::filesystem::remove_all(dir);
  std::remove(err.c_str());
}
#endif

}  // namespace
}  // namespace kiv::egp
