// Shared set-up of the benchmarks.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "hydraulics/hydindex.hpp"

namespace kiv::bench {

// The benchmarks' folder for the files they read, in the temp folder; made
// once and removed with all it holds at exit.
inline const std::string &scratchFolder() {
  static const std::string dir = [] {
    std::string d = (std::filesystem::temp_directory_path() / "kiv_bench_XXXXXX").string();
    if (!mkdtemp(d.data())) std::abort();
    return d;
  }();
  static const struct Remove {
    ~Remove() { std::filesystem::remove_all(dir); }
  } remove;
  return dir;
}

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
