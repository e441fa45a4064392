// Fixtures of the hydraulic tests: a fresh system per test, fluids of the
// three families in user units (air in per cent, temperature in degC), the
// fluid-properties submodel's parameters, data files written on the fly,
// and a simple fluid selected for the hydraulic laws.
#pragma once

#include <cmath>
#include <fstream>
#include <functional>
#include <numbers>
#include <string>
#include <tuple>

#include "hydraulics/hydindex.hpp"
#include "hydraulics/kiv_fp04.h"
#include "hydraulics/kiv_hydlaws.h"
#include "hydraulics/varprops.hpp"
#include "support/kiv_test.hpp"

namespace kiv::test {

inline constexpr double kPatm = 101300.0, kT0 = 273.15;

struct ConstantFluid {
  int index = 0;
  double rho = 850.0, bulk = 1.7e9, slope = 0.0, mu = 0.051;
  double p_sat = 0.0, air_percent = 1.0, t_celsius = 40.0, polytropic = 1.4;
  double mu_air = 2e-5, high = -90000.0, low = -95000.0, mu_vapour = 2e-5;
  double molar_mass = 200.0, air_density = 1.2;
};

struct FuelFluid {
  int index = 0, fuel = 1;
  double high = -90000.0, low = -95000.0, molar_mass = 200.0;
  double mu_air = 2e-5, mu_vapour = 2e-5, air_percent = 0.0, t_celsius = 20.0;
  double polytropic = 1.4;
};

struct SimpleFluid {
  int index = 0;
  double rho = 850.0, bulk = 1.7e9, mu = 0.051, p_sat = -50000.0;
  double air_percent = 1.0, t_celsius = 40.0, polytropic = 1.4, extra = 0.0;
};

// Each family through its public definer; the stored record.
inline HydFluidRecord &define(ConstantFluid f) {
  fpconbmu2_(&f.index, &f.rho, &f.bulk, &f.slope, &f.mu, &f.p_sat, &f.air_percent, &f.t_celsius,
             &f.polytropic, &f.mu_air, &f.high, &f.low, &f.mu_vapour, &f.molar_mass,
             &f.air_density);
  return *retfprop_(&f.index);
}
inline HydFuelRecord &define(FuelFluid f) {
  fprprop_(&f.fuel, &f.index, &f.high, &f.low, &f.molar_mass, &f.mu_air, &f.mu_vapour,
           &f.air_percent, &f.t_celsius, &f.polytropic);
  return *retrprop_(&f.index);
}
inline HydSimpleRecord &define(SimpleFluid f) {
  fpspind_(&f.index, &f.rho, &f.bulk, &f.mu, &f.p_sat, &f.air_percent, &f.t_celsius,
           &f.polytropic, &f.extra);
  return *getspind_(&f.index);
}

inline void select(int index) { sethdind_(&index); }

// Calls of a property function of the current fluid at a gauge pressure.
inline double at(double (*f)(double *), double p) { return f(&p); }

// rho / (d rho / dp) by fourth-order central differences with step h.
inline double bulkByDifference(const std::function<double(double)> &rho, double p, double h) {
  const double slope =
      (8.0 * (rho(p + h) - rho(p - h)) - (rho(p + 2 * h) - rho(p - 2 * h))) / (12.0 * h);
  return rho(p) / slope;
}
inline double densityTangent(double p, double h) {
  return bulkByDifference([](double q) { return at(rhoatp_, q); }, p, h);
}

// The smooth steps (1 - s)^5 (1 + 5 s + 15 s^2 + 35 s^3 + 70 s^4) and
// (1 - s)^5 (1 + 4 s + 10 s^2 + 20 s^3 + 35 s^4), written out independently.
inline double step9(double s) {
  return std::pow(1.0 - s, 5) *
         (1.0 + 5.0 * s + 15.0 * s * s + 35.0 * std::pow(s, 3) + 70.0 * std::pow(s, 4));
}
inline double step8(double s) {
  return std::pow(1.0 - s, 5) *
         (1.0 + 4.0 * s + 10.0 * s * s + 20.0 * std::pow(s, 3) + 35.0 * std::pow(s, 4));
}

inline double relative(double a, double b) { return std::fabs(a - b) / std::fabs(b); }

// log10(log10(nu + c)) linear in log10(T [K]) through two points [cSt, degC].
inline double walther(double t1, double nu1, double t2, double nu2, double c, double t) {
  const auto w = [c](double nu) { return std::log10(std::log10(nu + c)); };
  const double x1 = std::log10(t1 + kT0), x2 = std::log10(t2 + kT0);
  const double a = w(nu1) + (w(nu2) - w(nu1)) * (std::log10(t + kT0) - x1) / (x2 - x1);
  return std::pow(10.0, std::pow(10.0, a)) - c;
}

class FluidTest : public SystemTest {
 public:
  void SetUp() override {
    SystemTest::SetUp();
    // The family switches are process-wide: start every test without any.
    kiv::hyd::switches() = HydFamilySwitches{};
    KivTakeStepDownRequests();
  }
  // Defines the fluids at the recovery point: 0, or -2 after an exit.
  template <class... Fluids>
  int add(const Fluids &...fluids) {
    return guarded([&] {
      (define(fluids), ...);
      return 0;
    });
  }
};

// Parameters of the fluid-properties submodel, valid for every type, in
// user units: 0 density [kg/m3], 1 bulk modulus [bar], 2 its slope, 3
// viscosity [cP], 4 air/gas viscosity [cP], 5 saturation pressure [bar], 6
// air/gas [%], 7 temperature [degC], 8 T1 [degC], 9 nu1 [cSt], 10 T2, 11
// nu2, 12 coefficient c [cSt], 13 polytropic index, 14 and 15 high and low
// saturation pressures [bar], 16 vapour viscosity [cP], 17 vapour molecular
// mass, 18 air/gas density [kg/m3], 19 saturation pressure of the simple
// type [bar].
struct Fp04Params {
  double real[20] = {850.0, 17000.0, 0.0,  51.0, 0.02, 0.0,   1.0,  40.0, 20.0,  100.0,
                     80.0,  10.0,    0.7,  1.4,  -0.9, -0.95, 0.02, 200.0, 1.2, -0.5};
  int integer[5] = {2, 1, 45, 1, 0};  // type, fuel, file, bulk modulus type, index
  std::string file = {};              // the user's data file (file 1)
  int instance = 1;

  Fp04Params &type(int t) { return integer[0] = t, *this; }
  Fp04Params &index(int i) { return integer[4] = i, *this; }
  void setUp() {
    std::string first = "FP04";
    char *text[2] = {first.data(), file.data()};
    fp04in_(&instance, real, integer, text);
  }
  // The set-up at the test system's recovery point: 0, or -2 after an exit.
  int setUpIn(SystemTest &test) {
    return test.guarded([&] {
      setUp();
      return 0;
    });
  }
};

// A file with the given content in the test's temporary directory; names
// are unique within the process, so the table-file cache never answers for
// another test's file.
inline std::string writeTemp(const std::string &stem, const std::string &content) {
  static int serial = 0;
  const std::string path = tempPath(stem + "_" + std::to_string(++serial) + ".data");
  std::ofstream(path) << content;
  return path;
}

// A table fluid read from a file, with ordinary vapour data.
struct TableFluidArgs {
  int index = 0;
  double p_sat = 0.0, air_percent = 0.0, t_celsius = 40.0, polytropic = 1.4;
  double mu_air = 2e-5, high = -90000.0, low = -95000.0, mu_vapour = 2e-5;
  double molar_mass = 200.0, air_density = 1.2;
};

inline int defineTable(const std::string &file, TableFluidArgs a = {}) {
  return fptables_(&a.index, &a.p_sat, &a.air_percent, &a.t_celsius, &a.polytropic, file.c_str(),
                   &a.mu_air, &a.high, &a.low, &a.mu_vapour, &a.molar_mass, &a.air_density);
}

// The fixture of the hydraulic laws: one simple fluid (rho0 exp(p / B),
// constant bulk modulus and viscosity above its saturation pressure)
// selected, and ordinary printing run flags.
class LawsTest : public FluidTest {
 public:
  static constexpr double kRho0 = 850.0, kBulk = 1.6e9, kMu = 0.03;

  void SetUp() override {
    FluidTest::SetUp();
    ASSERT_EQ(add(SimpleFluid{.index = 1, .rho = kRho0, .bulk = kBulk, .mu = kMu}), 0);
    select(1);
    KIVRunFlags flags{};
    flags.printing = 1;
    KivSetRunFlags(&flags);
    KivSetFirstCall(0);
    KivBeginEvaluation(KIV_EVAL_ORDINARY);
  }

  static double rho(double p) { return kRho0 * std::exp(p / kBulk); }
  static double nu(double p) { return kMu / rho(p); }

  // Evaluates f as the integrator does while locating a discontinuity and
  // gives the answer word: 2 nothing reported, 3 or 4 a crossing.
  template <class F>
  static int locate(F &&f) {
    KivBeginEvaluation(KIV_EVAL_LOCATE);
    f();
    const int word = KivGetAnswerWord();
    KivBeginEvaluation(KIV_EVAL_ORDINARY);
    return word;
  }
};

inline double circleArea(double d) { return std::numbers::pi * d * d / 4.0; }

}  // namespace kiv::test
