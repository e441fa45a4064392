// Fixture of the hydraulic tests: a fresh system per test and fluids added
// to its registry as the fluid definers do (air content in per cent,
// temperature in degC, stored as a fraction and in K).
#pragma once

#include <cmath>
#include <functional>

#include "hydraulics/hydindex.hpp"
#include "hydraulics/varprops.hpp"
#include "support/kiv_test.hpp"

namespace kiv::test {

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
  double air_percent = 1.0, t_celsius = 40.0, polytropic = 1.4;
};

inline HydFluidRecord &define(const ConstantFluid &f) {
  HydFluidRecord r{};
  r.index = f.index;
  r.density = f.rho;
  r.bulk_modulus = f.bulk;
  r.bulk_slope = f.slope;
  r.viscosity = f.mu;
  r.p_sat = f.p_sat;
  r.air = f.air_percent / 100.0;
  r.temperature = f.t_celsius + 273.15;
  r.polytropic = f.polytropic;
  r.mu_air = f.mu_air;
  r.p_sat_high = f.high;
  r.p_sat_low = f.low;
  r.mu_vapour = f.mu_vapour;
  r.vapour_molar_mass = f.molar_mass;
  r.air_density = f.air_density;
  r.pfromrho_id = -1;
  return kiv::hyd::addGeneral(r, "test");
}

inline HydFuelRecord &define(const FuelFluid &f) {
  HydFuelRecord r{f.fuel,         f.index,     f.high,
                  f.low,          f.molar_mass, f.mu_air,
                  f.mu_vapour,    f.air_percent / 100.0, f.t_celsius + 273.15,
                  f.polytropic,   -1};
  HydFuelRecord &stored = kiv::hyd::addFuel(r, "test");
  int i = f.index;
  setbflag_(&i);
  return stored;
}

inline HydSimpleRecord &define(const SimpleFluid &f) {
  HydSimpleRecord r{f.index,         f.rho, f.bulk, f.mu, f.p_sat, f.air_percent / 100.0,
                    f.t_celsius + 273.15, f.polytropic, 0.0};
  HydSimpleRecord &stored = kiv::hyd::addSimple(r, "test");
  int i = f.index;
  simprop_(&i);
  return stored;
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

class FluidTest : public SystemTest {
 public:
  void SetUp() override {
    SystemTest::SetUp();
    // The family switches are process-wide: start every test without any.
    kiv::hyd::switches() = HydFamilySwitches{};
    KivTakeStepDownRequests();
  }
};

}  // namespace kiv::test
