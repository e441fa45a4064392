// Shared set-up of the benchmarks.
#pragma once

#include "hydraulics/hydindex.hpp"

namespace kiv::bench {

// A mineral oil at 40 degC with 1 % free air below its saturation pressure.
inline HydFluidRecord oil(int index, double density, double p_sat) {
  HydFluidRecord r{};
  r.index = index;
  r.density = density;
  r.bulk_modulus = 1.7e9;
  r.viscosity = 0.05;
  r.p_sat = p_sat;
  r.air = 0.01;
  r.temperature = 313.15;
  r.polytropic = 1.4;
  r.mu_air = 2e-5;
  r.p_sat_high = -90000.0;
  r.p_sat_low = -95000.0;
  r.mu_vapour = 2e-5;
  r.vapour_molar_mass = 200.0;
  r.air_density = 1.2;
  r.pfromrho_id = -1;
  return r;
}

}  // namespace kiv::bench
