#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "gearpump/hcdegp0_table.hpp"
#include "gearpump/kiv_gearpump.h"
#include "gearpump/versions.hpp"
#include "gearpump/rack_pump.hpp"
#include "hydraulics/kiv_hydraulics.h"
#include "support/kiv_test.hpp"
#include "synthetic.hpp"

namespace {

using Params = kiv::test::RackPump;

class Hcdegp0Setup : public kiv::test::SystemTest {
 public:
  void SetUp() override {
    SystemTest::SetUp();
    int i = 1;
    double rho = 850, bulk = 1.7e9, mu = 0.051, psat = -5e4, zero = 0, t = 40, poly = 1.4;
    fpspind_(&i, &rho, &bulk, &mu, &psat, &zero, &t, &poly, &zero);
    const KIVRunFlags flags{};
    KivSetRunFlags(&flags);
  }
};

// The buffers of one instance (pr and pn with room for the most teeth) and
// its set-up at the system's recovery point: what guarded returns.
struct Instance {
  explicit Instance(int n, double start = 0) : id(n), angle(start) {}
  int setUp(kiv::test::SystemTest &t, Params &p) {
    return t.guarded([&] {
      hcdegp0in_(&id, p.r.data(), p.i.data(), p.text, store, &slot, &angle, &pout, &pinl, pr, pn);
      return 0;
    });
  }
  int id;
  double angle, store[16] = {}, pout = 0, pinl = 0, pr[100] = {}, pn[100] = {};
  void *slot = nullptr;
};

// A set-up that is expected to fail: it ends the run with 1 and leaves the
// pointer store empty (no end function is called: a leak shows in the
// sanitizer build).  Returns the error stream.
std::string failedSetUp(kiv::test::SystemTest &t, Params &p) {
  Instance in(7);
  EXPECT_EQ(in.setUp(t, p), -2);
  EXPECT_EQ(t.exitCode(), 1);
  EXPECT_EQ(in.slot, nullptr);
  const std::string err = t.takeErr();
  EXPECT_TRUE(err.ends_with("\nFatal error in HCDEGP0 instance 7.\nTerminating the program.\n"))
      << err;
  return err;
}

bool has(const std::string &err, const std::string &text) {
  return err.find(text) != std::string::npos;
}

// Every set-up below fails; the stream holds the expected lines (and none
// of the unexpected ones), then the fatal lines, and the run ends with 1.
TEST_F(Hcdegp0Setup, CheckMessages) {
  struct Case {
    void (*change)(Params &);
    std::vector<std::string> expected, absent;
  } cases[] = {
      // A root circle of radius 12 - 1.25 m: the drainage radius must stay inside it.
      {[](Params &p) { p.r[41] = 15; },
       {"\nThe drainage radius (15.000 [mm]) must be strictly smaller than the calculated driving "
        "gear inner radius (9.500 [mm]).\n"},
       {}},
      {[](Params &p) { p.i[0] = 5; }, {"\nHydraulic fluid with index 5 is not set."}, {}},
      {[](Params &p) { p.i[0] = -3; },
       {"\nindex of hydraulic fluid must be in range [0..100].\n"},
       {}},
      {[](Params &p) { p.i[1] = 4; },
       {"\nnumber of teeth of driving gear must be in range [5..100].\n"},
       {}},
      {[](Params &p) { p.r[16] = 0, p.r[14] = -1; },
       {"\nThe addendum coefficient must be strictly positive.\n",
        "\nThe module must be strictly positive.\n"},
       {}},
      {[](Params &p) { p.r[15] = 90, p.r[19] = 5; },
       {"\nThe pressure angle must be in the range ]0; 90[ degrees.\n"},
       {"profile shift"}},
      {[](Params &p) { p.r[19] = 3; },
       {"\nThe profile shift coefficient of the driving gear (3.000)           "
        "     must be lower than 2.000.\n"},
       {}},
      // Tip circles of radius 14 whose centres are 24 apart cross 31.0 deg
      // off the line of centres.
      {[](Params &p) { p.r[27] = 30, p.r[28] = 405 + 90; },
       {"\nThe outlet start angle of driving gear must be in the range [45.0; "
        "149.0] degrees.\n"},
       {"driven gear must"}},
      {[](Params &p) { p.r[5] = 0, p.r[27] = 30; },
       {"\nThe gear thickness must be strictly positive.\n"},
       {"outlet start"}},
      {[](Params &p) { p.i[5] = 1, p.r[32] = 120; },
       {"\nFor the driving gear, the groove end angle must be strictly lower "
        "than the groove start angle.\n"},
       {}},
      {[](Params &p) { p.r[26] = 0; }, {"\nThe inlet port width must be strictly positive.\n"}, {}},
      {[](Params &p) { p.r[0] = -2; },
       {"\nThe initial pressure (-2 bar) must be higher than -1.013 bar.\n"},
       {}},
      {[](Params &p) { p.r[37] = -1, p.r[3] = -1, p.r[9] = -0.5; },
       {"\nThe lateral gap must be positive.\n", "\nThe outlet port area must be positive.\n",
        "\nThe multiplier of the inlet axial flow must be positive.\n"},
       {}},
      {[](Params &p) { p.i[6] = 1, p.r[38] = 0, p.r[41] = -1; },
       {"\nThe drainage radius must be positive.\n"},
       {"tip length"}},
      {[](Params &p) {
         p.i[7] = 2, p.r[43] = 1, p.r[48] = 0, p.r[46] = 1, p.r[51] = 1, p.r[45] = p.r[50] = 1;
       },
       {"\nThe tooth tip length of driven gear must be strictly positive.\n"},
       {"driving"}},
      {[](Params &p) { p.i[2] = 3; }, {"\ngear definition must be in range [1..2].\n"}, {}},
      {[](Params &p) { p.r[23] = 20; },
       {"\nThe outlet port distance to center axis must be strictly lower than "
        "14.700 [mm].\n"},
       {}},
  };
  const std::string tail = "\nFatal error in HCDEGP0 instance 7.\nTerminating the program.\n";
  for (const Case &c : cases) {
    Params p;
    c.change(p);
    Instance in(7);
    EXPECT_EQ(in.setUp(*this, p), -2);
    EXPECT_EQ(exitCode(), 1);
    const std::string err = takeErr();
    for (const auto &e : c.expected) EXPECT_NE(err.find(e), std::string::npos) << e << "\n" << err;
    for (const auto &a : c.absent) EXPECT_EQ(err.find(a), std::string::npos) << a << "\n" << err;
    EXPECT_TRUE(err.ends_with(tail)) << err;
    hcd_egp_end_04(&in.slot);
  }
}

// Failures found by the build or after it, one after the other in one
// process: each leaves nothing behind.  Five teeth of module 2 have a root
// radius of 5 - 2.5 = 2.5 mm, inside the 5 mm drainage radius; so is the
// driven gear's of 12 teeth (9.5 mm) inside 10 mm; and without a dead
// volume the inlet chamber closes to nothing where the gears mesh.
TEST_F(Hcdegp0Setup, FailedSetUpsLeaveNothingBehind) {
  Params five;
  five.i[1] = 5;
  EXPECT_TRUE(has(failedSetUp(*this, five), "calculated driving gear inner radius (2.500 [mm])"));
  Params driven;
  driven.i[7] = 2;
  for (int k : {43, 48}) driven.r[k] = 1;
  for (int k : {44, 49}) driven.r[k] = 4;
  for (int k : {45, 50}) driven.r[k] = 2;
  for (int k : {47, 52}) driven.r[k] = 0.5;
  driven.r[46] = 5, driven.r[51] = 10;
  EXPECT_TRUE(has(failedSetUp(*this, driven),
                  "\nThe drainage radius of the driven gear (10.000 [mm]) must be strictly "
                  "smaller than the calculated driven gear inner radius (9.500 [mm]).\n"));
  Params closed;
  closed.r[2] = 0;
  EXPECT_TRUE(has(failedSetUp(*this, closed), "smallest volume of the inlet chamber"));
}

// Counts are tested before anything is made from them: a tooth count out
// of range gives its range line and nothing else (no gear is generated
// from it, and rack-cut gears are never called data files).
TEST_F(Hcdegp0Setup, ToothCountOutOfRangeIsTheOnlyComplaint) {
  for (int z : {INT_MAX, INT_MIN, 101, 0}) {
    Params p;
    p.i[1] = z;
    const std::string err = failedSetUp(*this, p);
    const std::string range = "\nnumber of teeth of driving gear must be in range [5..100].\n";
    const std::string few = z < 3 ? "\nThe number of teeth must be higher than 3.\n" : "";
    EXPECT_EQ(err, few + range + "\nFatal error in HCDEGP0 instance 7.\nTerminating the program.\n")
        << z;
  }
  Params fluid;
  fluid.i[0] = INT_MAX;
  const std::string err = failedSetUp(*this, fluid);
  EXPECT_TRUE(has(err, "\nindex of hydraulic fluid must be in range [0..100].\n"));
  EXPECT_FALSE(has(err, "Hydraulic fluid with index")) << err;
}

// Every real parameter: not a number, either infinity, and a finite value
// far beyond the pump (1e300) are refused with the parameter's name; the
// run ends and nothing is left in the pointer store.  No message prints a
// value with hundreds of digits.
TEST_F(Hcdegp0Setup, NonFiniteAndAbsurdValuesAreRefusedByName) {
  struct Row {
    int pos;
    const char *name;
    bool huge;  // 1e300 is refused too
  } const rows[] = {
      {0, "initial pressure", true},
      {1, "inlet port area", true},
      {2, "inlet dead volume", false},
      {3, "outlet port area", true},
      {4, "outlet dead volume", false},
      {5, "gear thickness", true},
      {6, "multiplier of the flow to next cavity", true},
      {7, "multiplier of the tooth-tip leakage", true},
      {8, "multiplier of the inlet radial flow", true},
      {9, "multiplier of the inlet axial flow", true},
      {10, "multiplier of the outlet radial flow", true},
      {11, "multiplier of the outlet axial flow", true},
      {12, "driven gear center x", false},
      {13, "driven gear center y", false},
      {14, "module", true},
      {15, "pressure angle", true},
      {16, "addendum coefficient", true},
      {17, "tip clearance coefficient", true},
      {18, "fillet radius of cutting tool coefficient", true},
      {19, "profile shift coefficient of the driving gear", true},
      {20, "profile shift coefficient of the driven gear", true},
      {21, "contact threshold", true},
      {22, "teeth clearance", true},
      {23, "outlet port distance to center axis", true},
      {24, "outlet port width", true},
      {25, "inlet port distance to center axis", true},
      {26, "inlet port width", true},
      {27, "outlet start angle of driving gear", true},
      {28, "outlet start angle of driven gear", true},
      {29, "inlet end angle of driving gear", true},
      {30, "inlet end angle of driven gear", true},
      {31, "groove start angle of driving gear", false},
      {32, "groove end angle of driving gear", false},
      {33, "groove start angle of driven gear", false},
      {34, "groove end angle of driven gear", false},
      {35, "groove width", false},
      {36, "radial clearance", true},
      {37, "lateral gap", true},
      {38, "tooth tip length", true},
      {39, "tooth height", true},
      {40, "tooth width", true},
      {41, "drainage radius", true},
      {42, "drainage width factor", true},
      {43, "tooth tip length of driving gear", false},
      {44, "tooth height of driving gear", false},
      {45, "tooth width of driving gear", false},
      {46, "drainage radius of driving gear", false},
      {47, "drainage width factor of driving gear", false},
      {48, "tooth tip length of driven gear", false},
      {49, "tooth height of driven gear", false},
      {50, "tooth width of driven gear", false},
      {51, "drainage radius of driven gear", false},
      {52, "drainage width factor of driven gear", false},
      {53, "meshing zone height", true},
      {54, "meshing zone width", true},
  };
  const double inf = std::numeric_limits<double>::infinity();
  for (const Row &row : rows)
    for (double v : {std::numeric_limits<double>::quiet_NaN(), inf, -inf, 1e300}) {
      if (v == 1e300 && !row.huge) continue;
      Params p;
      p.r[size_t(row.pos)] = v;
      const std::string err = failedSetUp(*this, p);
      EXPECT_TRUE(has(err, std::string("\nThe ") + row.name)) << row.pos << " " << v << "\n" << err;
      EXPECT_LT(err.size(), 400u) << row.pos << " " << v << "\n" << err;
    }
}

// One wrong value gives one message: the checks that would read it are
// skipped rather than printing figures made from it.
TEST_F(Hcdegp0Setup, NoFollowOnMessages) {
  struct Case {
    void (*change)(Params &);
    const char *expected;
    std::vector<std::string> absent;
  } const cases[] = {
      // 2 ha = -2 would make every profile shift too large.
      {[](Params &p) { p.r[16] = -1; },
       "\nThe addendum coefficient must be strictly positive.\n",
       {"profile shift", "ha + ctip", "fillet"}},
      {[](Params &p) { p.r[17] = std::nan(""); },
       "\nThe tip clearance coefficient (nan)",
       {"ha + ctip", "fillet", "strictly positive"}},
      {[](Params &p) { p.r[19] = -1e300; },
       "\nThe profile shift coefficient of the driving gear must be in the range [-1e6; 1e6].\n",
       {"sum of the profile shift"}},
      {[](Params &p) { p.r[15] = std::nan(""); }, "\nThe pressure angle (nan)", {"]0; 90["}},
      {[](Params &p) { p.i[5] = 1, p.r[31] = std::nan(""); },
       "\nThe groove start angle of driving gear (nan)",
       {"[0; 360]", "For the driving gear"}},
      {[](Params &p) { p.r[0] = -std::numeric_limits<double>::infinity(); },
       "\nThe initial pressure (-inf)",
       {"must be higher than"}},
      {[](Params &p) { p.r[5] = -1; },
       "\nThe gear thickness must be strictly positive.\n",
       {"1e6"}},
  };
  for (const Case &c : cases) {
    Params p;
    c.change(p);
    const std::string err = failedSetUp(*this, p);
    EXPECT_TRUE(has(err, c.expected)) << c.expected << "\n" << err;
    for (const auto &a : c.absent) EXPECT_FALSE(has(err, a)) << a << "\n" << err;
  }
}

// The lines of an error stream that say something (messages are framed by
// blank lines).
std::vector<std::string> messageLines(const std::string &err) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < err.size();) {
    const size_t end = std::min(err.find('\n', at), err.size());
    if (end > at) lines.push_back(err.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

// The pump of Params shrunk or grown as a whole: lengths by s, areas by s^2,
// volumes by s^3; counts, angles and coefficients stay.
Params scaled(double s) {
  Params p;
  for (int k : {5, 14, 21, 22, 23, 24, 25, 26, 35, 36, 37, 38, 39, 40, 41, 53, 54}) p.r[k] *= s;
  for (int k : {1, 3}) p.r[k] *= s * s;
  for (int k : {2, 4}) p.r[k] *= s * s * s;
  return p;
}

// A module far too small (next to nothing, a micrometre, or 2 mm typed in
// metres) is refused by name with its bound, and nothing made from the
// gears it would give is tested: one message, then the fatal lines.  The
// bound is 0.01 mm: a whole pump of that module sets up, the same pump a
// little finer does not.
TEST_F(Hcdegp0Setup, ModuleFarTooSmallIsTheOnlyComplaint) {
  struct Case {
    Params p;
    double module;
  } cases[] = {{Params(), 1e-300}, {Params(), 1e-6}, {Params(), 0.002}, {scaled(0.00495), 0.0099}};
  for (Case &c : cases) {
    c.p.r[14] = c.module;
    const std::vector<std::string> lines = messageLines(failedSetUp(*this, c.p));
    ASSERT_EQ(lines.size(), 3u) << c.module;
    EXPECT_TRUE(has(lines[0], "The module must be ")) << lines[0];
    EXPECT_TRUE(has(lines[0], " 0.01 [mm].")) << lines[0];
    EXPECT_EQ(lines[1], "Fatal error in HCDEGP0 instance 7.");
  }
  // A module that is not positive keeps its own message.
  Params zero;
  zero.r[14] = 0;
  const std::vector<std::string> lines = messageLines(failedSetUp(*this, zero));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "The module must be strictly positive.");

  for (double s : {0.005, 0.025}) {
    Params p = scaled(s);
    Instance in(1);
    ASSERT_EQ(in.setUp(*this, p), 0) << s << "\n" << takeErr();
    ASSERT_NE(in.slot, nullptr);
    hcdegp0end_(&in.id, p.r.data(), p.i.data(), p.text, in.store, &in.slot);
    EXPECT_EQ(in.slot, nullptr);
  }
}

// Three whole set-up, run and end cycles in one process (a leak shows in
// the sanitizer build): the states start at the initial pressure, the
// angle moves at the shaft speed, and the end empties the pointer store.
TEST_F(Hcdegp0Setup, SetUpRunEnd) {
  for (int cycle = 0; cycle < 3; ++cycle) {
    Params p;
    p.r[0] = 2;
    Instance in(1, 10);
    ASSERT_EQ(in.setUp(*this, p), 0) << takeErr();
    ASSERT_NE(in.slot, nullptr);
    EXPECT_DOUBLE_EQ(in.pout, 2.0);
    EXPECT_DOUBLE_EQ(in.pn[11], 2.0);
    EXPECT_DOUBLE_EQ(p.r[5], 0.02);  // thickness now in m
    double p1 = 0, p2 = 50, speed = 1000, q1, q2, torque, dang, anglen, dpout, dpinl, mesh, f[4];
    std::vector<std::vector<double>> a(36, std::vector<double>(12, 0.0));
    hcdegp0_(nullptr, &q1, &p1, &q2, &p2, &torque, &speed, &in.angle, &dang, &anglen, &in.pout,
             &dpout, &in.pinl, &dpinl, in.pr, a[0].data(), in.pn, a[1].data(), a[2].data(),
             a[3].data(), a[4].data(),
             a[5].data(), &mesh, a[6].data(), a[7].data(), a[8].data(), a[9].data(), a[10].data(),
             a[11].data(), a[12].data(), a[13].data(), a[14].data(), a[15].data(), a[16].data(),
             a[17].data(), a[18].data(), a[19].data(), a[20].data(), a[21].data(), a[22].data(),
             a[23].data(), a[24].data(), a[25].data(), a[26].data(), a[27].data(), a[28].data(),
             a[29].data(), a[30].data(), a[31].data(), a[32].data(), a[33].data(), &f[0], &f[1],
             &f[2], &f[3], p.r.data(), p.i.data(), p.text, in.store, &in.slot);
    EXPECT_NEAR(dang, 6000, 1e-8);
    EXPECT_NEAR(anglen, -10, 1e-12);
    // Port 2 at 50 bar above a 2 bar chamber: flow comes back into the pump.
    EXPECT_LT(q2, 0);
    int one = 1;
    hcdegp0end_(&one, p.r.data(), p.i.data(), p.text, in.store, &in.slot);
    EXPECT_EQ(in.slot, nullptr);
  }
}

// The synthetic 12-tooth pump through the submodel's evaluation, in the
// user's units, against the library's calculation in SI.
class Hcdegp0Run : public kiv::test::SystemTest, public kiv::egp::synth::Pump {
 public:
  void SetUp() override {
    SystemTest::SetUp();
    ASSERT_EQ(build(), 0);
    for (const auto &row : kiv::egp::hcdegp0_reals()) reals[row.pos] = par.*row.field;
    for (const auto &row : kiv::egp::hcdegp0_ints()) ints[row.pos] = par.*row.field;
  }
  double reals[55] = {};
  int ints[8] = {};
};

TEST_F(Hcdegp0Run, UnitsAtTheBoundary) {
  double p1 = 2, p2 = 50, pinl_b = 3, pout_b = 40, speed = 1500, angler = 37, q1, q2, torque, dang,
         anglen, dpout, dpinl, mesh, f[4];
  std::vector<double> bar_r(12), bar_n(12);
  for (int k = 0; k < 12; ++k) bar_r[k] = 5 + 3 * k, bar_n[k] = 40 - 3 * k;
  const std::vector<double> inputs = {p1, p2, pinl_b, pout_b, speed, angler};
  const auto saved_r = bar_r, saved_n = bar_n;
  std::vector<std::vector<double>> a(36, std::vector<double>(12, 0.0));
  void *slot = inst.release();
  hcdegp0_(nullptr, &q1, &p1, &q2, &p2, &torque, &speed, &angler, &dang, &anglen, &pout_b, &dpout,
           &pinl_b, &dpinl, bar_r.data(), a[0].data(), bar_n.data(), a[1].data(), a[2].data(),
           a[3].data(), a[4].data(), a[5].data(), &mesh, a[6].data(), a[7].data(), a[8].data(),
           a[9].data(), a[10].data(), a[11].data(), a[12].data(), a[13].data(), a[14].data(),
           a[15].data(), a[16].data(), a[17].data(), a[18].data(), a[19].data(), a[20].data(),
           a[21].data(), a[22].data(), a[23].data(), a[24].data(), a[25].data(), a[26].data(),
           a[27].data(), a[28].data(), a[29].data(), a[30].data(), a[31].data(), a[32].data(),
           a[33].data(), &f[0], &f[1], &f[2], &f[3], reals, ints, nullptr, store, &slot);
  // The inputs come back bit for bit.
  EXPECT_EQ(inputs, (std::vector<double>{p1, p2, pinl_b, pout_b, speed, angler}));
  EXPECT_EQ(bar_r, saved_r);
  EXPECT_EQ(bar_n, saved_n);
  EXPECT_EQ(a[32], std::vector<double>(12, 0.0));  // leakage areas are never written
  EXPECT_NEAR(dang, 9000.0, 1e-9);                 // 25 rev/s
  EXPECT_DOUBLE_EQ(anglen, -37.0);

  inst.reset(static_cast<kiv::egp::egp_instance *>(slot));
  in.p1 = 2e5, in.p2 = 50e5, in.pinl = 3e5, in.pout = 40e5, in.theta = 37 * 0.0174532925199433;
  in.speed = 1500 * 0.10471975511966;  // the boundary's own factor
  for (int k = 0; k < 12; ++k) pr[k] = bar_r[k] * 1e5, pn[k] = bar_n[k] * 1e5;
  ASSERT_EQ(run(), 0);
  const double lpm = 1e-3 / 60;
  EXPECT_NEAR(q1 * lpm, out.q1, 1e-12 * std::abs(out.q1));
  EXPECT_NEAR(q2 * lpm, out.q2, 1e-12 * std::abs(out.q2));
  EXPECT_NEAR(dpout * 1e5, out.dpout, 1e-9 * std::abs(out.dpout));
  EXPECT_NEAR(mesh * lpm, *out.qleakmeshzone, 1e-12 * std::abs(*out.qleakmeshzone));
  EXPECT_EQ(torque, out.torque);
  EXPECT_EQ(f[0], *out.fxr);
  for (int k = 0; k < 12; ++k) {
    EXPECT_NEAR(a[0][k] * 1e5, out.dpr[k], 1e-9 * std::abs(out.dpr[k]));
    EXPECT_NEAR(a[6][k] * lpm, out.qoutradr[k], 1e-12 * std::abs(out.qoutradr[k]));
    EXPECT_NEAR(a[18][k] * 1e-9, out.volr[k], 1e-12 * out.volr[k]);
    EXPECT_NEAR(a[20][k] * 1e-6, out.areaoutradr[k], 1e-12 * out.areaoutradr[k]);
  }
}

// The chamber law holds through volumes that are not positive: the net
// inflow does not depend on the extra volume, so dp (V + x) is the same for
// every extra volume x, and an outlet chamber turned to -V runs backwards
// rather than freezing.  The synthetic chambers are their dead volumes.
TEST_F(Hcdegp0Run, PressureDerivativeOfANonPositiveVolume) {
  pressures(50e5, 20e5);
  in.speed = 150, in.theta = 0.37;
  ASSERT_EQ(run(), 0);
  const double dp0 = out.dpout, V = par.outlet_dead_volume;
  ASSERT_NE(dp0, 0.0);
  for (double x : {V, -2 * V, -1e-3}) {
    in.v_out = &x;
    ASSERT_EQ(run(), 0);
    EXPECT_NEAR(out.dpout * (V + x), dp0 * V, 1e-9 * std::fabs(dp0 * V)) << x;
  }
  in.v_out = nullptr;
  // The smallest volume names the state it belongs to.
  int which = -1;
  par.outlet_dead_volume = 0.5e-7;
  EXPECT_NEAR(kiv::egp::egp_smallest_volume(par, *inst, 0.25, &which), 0.5e-7, 1e-18);
  EXPECT_EQ(which, 2);
  par.inlet_dead_volume = -1e-9;
  EXPECT_NEAR(kiv::egp::egp_smallest_volume(par, *inst, 0.25, &which), -1e-9, 1e-18);
  EXPECT_EQ(which, 3);
}

// Set-up refusals, initial pressures and release, three times over.
TEST_F(Hcdegp0Run, InitAndEnd) {
  reals[0] = 3e5;
  for (int cycle = 0; cycle < 3; ++cycle) {
    double pout_b = 0, pinl_b = 0, prb[12] = {}, pnb[12] = {}, x = 0, y = 0, x2 = -24, zero = 0;
    int ids[4] = {-1, -1, -1, -1};
    void *slot = nullptr;
    for (int precision : {0, 7}) {
      EXPECT_EQ(hcd_egp_init_04("HCDEGP0", nullptr, reals, ints, nullptr, store, &slot, &precision,
                                &x, &y, &x2, &zero, &ids[0], &ids[1], &ids[2], &ids[3], nullptr,
                                &pout_b, &pinl_b, prb, pnb),
                -1);
      EXPECT_EQ(slot, nullptr);
    }
    kiv::egp::egp_params unequal = par;
    unequal.teeth_driven = 11;
    EXPECT_EQ(
        kiv::egp::hcd_egp_init_default(4, unequal, store, &slot, 3, {}, &pout_b, &pinl_b, prb, pnb),
        -1);
    int precision = 3;
    hcd_egp_init_04("HCDEGP0", nullptr, reals, ints, nullptr, store, &slot, &precision, &x, &y, &x2,
                    &zero, &ids[0], &ids[1], &ids[2], &ids[3], nullptr, &pout_b, &pinl_b, prb, pnb);
    ASSERT_NE(slot, nullptr);
    EXPECT_DOUBLE_EQ(pout_b, 3.0);
    EXPECT_DOUBLE_EQ(pinl_b, 3.0);
    EXPECT_DOUBLE_EQ(prb[11], 3.0);
    EXPECT_DOUBLE_EQ(pnb[0], 3.0);
    hcdegp0end_(nullptr, reals, ints, nullptr, store, &slot);
    EXPECT_EQ(slot, nullptr);
    hcdegp0end_(nullptr, reals, ints, nullptr, store, &slot);
    // Versions 1 and 2: the same refusals, an instance made, and released.
    int z = 12, z_other = 11, bad = 9, groove = 0;
    double v = 1e-3;
    EXPECT_EQ(
        hcd_egp_init_02(nullptr, store, &slot, &bad, nullptr, nullptr, nullptr, nullptr, nullptr,
                        &z, &z, &v, &v, &v, &v, &v, &v, &x, &y, &x2, &zero, &ids[0], &ids[1],
                        &ids[2], &ids[3], &v, &v, &v, &v, &groove, &v, &v, &v, &v, &v),
        -1);
    EXPECT_EQ(hcd_egp_init(nullptr, store, &slot, nullptr, nullptr, nullptr, nullptr, nullptr, &z,
                           &z_other, &v, &v, &v, &v, &v, &v, &x, &y, &x2, &zero, &ids[0], &ids[1],
                           &ids[2], &ids[3], &v, &v, &v, &v),
              -1);
    EXPECT_EQ(slot, nullptr);
    hcd_egp_init(nullptr, store, &slot, nullptr, nullptr, nullptr, nullptr, nullptr, &z, &z, &v, &v,
                 &v, &v, &v, &v, &x, &y, &x2, &zero, &ids[0], &ids[1], &ids[2], &ids[3], &v, &v, &v,
                 &v);
    EXPECT_NE(slot, nullptr);
    hcd_egp_end(&slot);
    EXPECT_EQ(slot, nullptr);
  }
}

}  // namespace

namespace {

// An evaluation before the set-up is said once per instance and run, and
// leaves the outputs alone; a file that was never named is said to be
// missing, by the parameter's name, before the fatal lines.
TEST_F(Hcdegp0Setup, EvaluationBeforeSetUpAndUnnamedFilesSayWhatIsWrong) {
  static constexpr double kMark = 7.25;  // no calculation gives it
  Params p;
  double s[18];
  std::vector<std::vector<double>> a(36, std::vector<double>(12, kMark));
  double store[16] = {};
  void *slot = nullptr;
  const auto run = [&](int instance) {
    std::fill(std::begin(s), std::end(s), kMark);
    hcdegp0_(&instance, &s[0], &s[1], &s[2], &s[3], &s[4], &s[5], &s[6], &s[7], &s[8], &s[9],
             &s[10], &s[11], &s[12], a[0].data(), a[1].data(), a[2].data(), a[3].data(),
             a[4].data(), a[5].data(), a[6].data(), a[7].data(), &s[13], a[8].data(), a[9].data(),
             a[10].data(), a[11].data(), a[12].data(), a[13].data(), a[14].data(), a[15].data(),
             a[16].data(), a[17].data(), a[18].data(), a[19].data(), a[20].data(), a[21].data(),
             a[22].data(), a[23].data(), a[24].data(), a[25].data(), a[26].data(), a[27].data(),
             a[28].data(), a[29].data(), a[30].data(), a[31].data(), a[32].data(), a[33].data(),
             a[34].data(), a[35].data(), &s[14], &s[15], &s[16], &s[17], p.r.data(), p.i.data(),
             p.text, store, &slot);
    EXPECT_TRUE(std::all_of(std::begin(s), std::end(s), [](double v) { return v == kMark; }));
    for (const auto &v : a) EXPECT_EQ(v, std::vector<double>(12, kMark));
  };
  const auto twice = [&](int instance) {
    EXPECT_EQ(guarded([&] {
                run(instance);
                EXPECT_TRUE(has(takeErr(), "HCDEGP0 instance " + std::to_string(instance)));
                run(instance);
                EXPECT_EQ(takeErr(), "");
                return 0;
              }),
              0);
  };
  twice(4);
  twice(5);  // another instance has its own message

  Params gears;
  gears.i[2] = 2;  // gears from data files, both names null
  gears.r[12] = -24;
  gears.text[0] = gears.text[1] = nullptr;
  std::string err = failedSetUp(*this, gears);
  const auto driving = err.find("driving gear file"), driven = err.find("driven gear file");
  EXPECT_LT(driving, driven) << err;
  EXPECT_LT(driven, err.find("\nFatal error in HCDEGP0")) << err;

  // Rack gears pass; the unnamed outlet port file ends the set-up.
  Params port;
  port.i[3] = 3;
  port.text[2] = nullptr;
  err = failedSetUp(*this, port);
  EXPECT_TRUE(has(err, "outlet port file")) << err;
  EXPECT_FALSE(has(err, "inlet port file")) << err;

  KivEndRun(0);
  twice(4);  // a new run is told again
}

}  // namespace
