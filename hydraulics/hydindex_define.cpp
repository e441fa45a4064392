// Fluid definers: each adds one fluid of its family under a free index.
// Air/gas content arrives in per cent and temperature in degC; records keep a
// fraction and kelvin.
#include <algorithm>
#include <cmath>
#include <iterator>

#include "hydraulics/hydindex.hpp"

namespace {

const kiv::hyd::LibraryConstants &lib() { return kiv::hyd::constants(); }

}  // namespace

bool kiv::hyd::positiveProperties(int index, std::initializer_list<PositiveValue> values) {
  for (const PositiveValue &v : values)
    if (!(std::isfinite(v.value) && v.value > 0.0)) {
      kivfprintf(stderr, "\nError in Hydraulic fluid index %d: the %s (%g) must be a finite positive number.\n",
                 index, v.what, v.value);
      return false;
    }
  return true;
}

HydFluidRecord kiv::hyd::generalRecord(int index, int kind, double p_sat, double air_percent,
                                       double t_celsius, double polytropic, double mu_air,
                                       double p_sat_high, double p_sat_low, double mu_vapour,
                                       double vapour_molar_mass, double air_density) {
  HydFluidRecord r{};
  r.index = index;
  r.kind = kind;
  r.p_sat = p_sat;
  r.air = air_percent / lib().gcent;
  r.temperature = t_celsius + lib().gtref;
  r.polytropic = polytropic;
  r.mu_air = mu_air;
  r.p_sat_high = p_sat_high;
  r.p_sat_low = p_sat_low;
  r.mu_vapour = mu_vapour;
  r.vapour_molar_mass = vapour_molar_mass;
  r.air_density = air_density;
  r.pfromrho_id = -1;
  return r;
}

void kiv::hyd::defineConstant(int index, double rho, double bulk_modulus, double slope,
                              double mu, const GeneralProperties &g) {
  if (!positiveProperties(index, {{"density", rho}, {"bulk modulus", bulk_modulus}})) KivExit(1);
  HydFluidRecord r = generalRecord(index, 0, g.p_sat, g.air_percent, g.t_celsius, g.polytropic,
                                   g.mu_air, g.p_sat_high, g.p_sat_low, g.mu_vapour,
                                   g.vapour_molar_mass, g.air_density);
  r.density = rho;
  r.bulk_modulus = bulk_modulus;
  r.bulk_slope = slope;
  r.viscosity = mu;
  addGeneral(r, "fpconbmu2_");
}

void kiv::hyd::defineFuel(int index, const FuelProperties &f) {
  const HydFuelRecord r{f.fuel_type,
                        index,
                        f.p_sat_high,
                        f.p_sat_low,
                        f.vapour_molar_mass,
                        f.mu_air,
                        f.mu_vapour,
                        f.air_percent / lib().gcent,
                        f.t_celsius + lib().gtref,
                        f.polytropic,
                        -1};
  addFuel(r, "fprprop_");
  setbflag_(&index);
}

void kiv::hyd::defineSimple(int index, const SimpleProperties &s) {
  if (!positiveProperties(index, {{"density", s.rho}, {"bulk modulus", s.bulk_modulus}}))
    KivExit(1);
  const HydSimpleRecord r{index,
                          s.rho,
                          s.bulk_modulus,
                          s.mu,
                          s.p_sat,
                          s.air_percent / lib().gcent,
                          s.t_celsius + lib().gtref,
                          s.polytropic,
                          s.extra};
  addSimple(r, "fpspind_");
  simprop_(&index);
}

extern "C" {

void fpconbmu2_(int *index, double *rho, double *bulk_modulus, double *slope, double *mu,
                double *p_sat, double *air_percent, double *temperature_celsius, double *polytropic,
                double *mu_air, double *p_sat_high, double *p_sat_low, double *mu_vapour,
                double *vapour_molar_mass, double *air_density) {
  kiv::hyd::defineConstant(*index, *rho, *bulk_modulus, *slope, *mu,
                           {*p_sat, *air_percent, *temperature_celsius, *polytropic, *mu_air,
                            *p_sat_high, *p_sat_low, *mu_vapour, *vapour_molar_mass,
                            *air_density});
}

void fpconbmu_(int *index, double *rho, double *bulk_modulus, double *mu, double *p_sat,
               double *air_percent, double *temperature_celsius, double *polytropic, double *mu_air,
               double *p_sat_high, double *p_sat_low, double *mu_vapour, double *vapour_molar_mass,
               double *air_density) {
  kiv::hyd::defineConstant(*index, *rho, *bulk_modulus, 0.0, *mu,
                           {*p_sat, *air_percent, *temperature_celsius, *polytropic, *mu_air,
                            *p_sat_high, *p_sat_low, *mu_vapour, *vapour_molar_mass,
                            *air_density});
}

void fpuserd2_(int *index, HydUserFunction density, HydUserFunction bulk_modulus,
               HydUserFunction viscosity, HydUserFunction void_fraction,
               HydUserFunction temperature, HydUserFunction pressure_from_density) {
  const HydUserFunction user[6] = {density,       bulk_modulus, viscosity,
                                   void_fraction, temperature,  pressure_from_density};
  // A fluid read from a data file may take user functions on top of its
  // tables.
  if (HydIndexList *b = kiv::hyd::currentBlock();
      b && b->initialised && kiv::hyd::validIndex(*index)) {
    const int pos = b->general_map[static_cast<size_t>(*index)];
    if (pos >= 0 && b->general[static_cast<size_t>(pos)].kind == 1) {
      std::copy(std::begin(user), std::end(user), b->general[static_cast<size_t>(pos)].user);
      return;
    }
  }
  HydFluidRecord r = kiv::hyd::generalRecord(*index, 0, 0.0, 0.1, 40.0, 1.4, 2e-5, -90000.0,
                                             -95000.0, 2e-5, 200.0, 1.2);
  r.density = 850.0;
  r.bulk_modulus = 1.7e9;
  r.viscosity = 0.051;
  std::copy(std::begin(user), std::end(user), r.user);
  kiv::hyd::addGeneral(r, "fpuserd_");
}

void fpuserd_(int *index, HydUserFunction density, HydUserFunction bulk_modulus,
              HydUserFunction viscosity) {
  fpuserd2_(index, density, bulk_modulus, viscosity, nullptr, nullptr, nullptr);
}

void fprprop_(int *fuel_type, int *index, double *p_sat_high, double *p_sat_low,
              double *vapour_molar_mass, double *mu_air, double *mu_vapour, double *air_percent,
              double *temperature_celsius, double *polytropic) {
  kiv::hyd::defineFuel(*index, {*fuel_type, *p_sat_high, *p_sat_low, *vapour_molar_mass, *mu_air,
                                *mu_vapour, *air_percent, *temperature_celsius, *polytropic});
}

void fpspind_(int *index, double *rho, double *bulk_modulus, double *mu, double *p_sat,
              double *air_percent, double *temperature_celsius, double *polytropic, double *extra) {
  kiv::hyd::defineSimple(*index, {*rho, *bulk_modulus, *mu, *p_sat, *air_percent,
                                  *temperature_celsius, *polytropic, *extra});
}

}  // extern "C"
