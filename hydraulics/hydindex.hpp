// Inside view of the fluid registry: the per-system block kept under the
// property "HYD_Index" and the helpers the definers use to add records.
#pragma once

#include <initializer_list>

#include <array>
#include <deque>
#include <vector>

#include "hydraulics/kiv_hydraulics.h"

inline constexpr int kHydIndexCount = KIV_HYD_MAX_INDEX + 1;

// The bulk/density tables of one bracket read at one pressure: per table
// in use (k, and k + 1 when the upper weight counts) the spline value and
// integral, and the table density once asked for.  Density and bulk modulus
// at the same pressure share it, so one interval search serves both.
struct HydTableReading {
  double p = 0.0;
  int k = -1;      // -1: nothing read yet
  int tables = 0;  // how many of k, k + 1 are read
  double value[2] = {}, integral[2] = {};
  double density[2] = {};
  bool density_known[2] = {}, capped[2] = {};
};

// The pressure above which a family of a table fluid warns, for the bracket
// and fluid temperature it was worked out for.
struct HydPressureLimit {
  int k = -1;  // -1: not worked out yet
  double t_celsius = 0.0;
  double limit = 0.0, shown = 0.0;  // Pa; degC
  const char *word = "";
};

// Tables of one fluid defined from a data file, by fluid index.  "bm" is the
// bulk-modulus/density family (bm_mode 1 bulk modulus, 2 density, 3 speed of
// sound), "mu" the viscosity family (mu_mode 1 absolute, 2 kinematic); one
// entry per table temperature.
struct HydTableSlot {
  int bm_mode = 0;
  int mu_mode = 0;
  std::vector<double> bm_temperature, mu_temperature;  // degC
  std::vector<std::vector<double>> bm_pressure, bm_value;
  std::vector<std::vector<double>> mu_pressure, mu_value;
  std::vector<double> ref_density, ref_pressure, ref_integral;
  std::vector<int> bm_spline, mu_spline;
  std::vector<int> bm_memory, mu_memory;  // interval memory per spline, -2: none
  int bm_warned = 0;
  int mu_warned = 0;
  HydTableReading reading;
  HydPressureLimit bm_limit, mu_limit;
};

// A power base^exponent that loading a fluid raised, kept with its
// arguments so that selecting the fluid again finds it.
struct HydPower {
  double base = 0.0, exponent = 0.0, value = 0.0;
  bool known = false;
};

struct HydIndexList {
  HydIndexList();

  int current = -1;
  int exported = 0;
  int initialised = 0;
  int valid = 0;
  int release_installed = 0;  // ReInitHydProps is among the end-of-run hooks
  // Deques: records keep their addresses while later ones are appended.
  std::deque<HydFluidRecord> general;
  std::deque<HydFuelRecord> fuel;
  std::deque<HydSimpleRecord> simple;
  std::array<int, kHydIndexCount> general_map, fuel_map, simple_map;
  std::array<HydTableSlot, kHydIndexCount> tables;
  std::array<double *, kHydIndexCount> mass_total{}, volume_total{};
  // Per index: 101300^(1/n) and (vapour saturation pressure)^(1/n).
  std::array<std::array<HydPower, 2>, kHydIndexCount> powers{};
};

// Registry checks, in this order: a registry exists for the current system,
// the index is in 0..100 and, with must_be_free, no fluid uses it yet.  Each
// failure prints its message and ends the run.
void CheckIndex(int index, int must_be_free);
[[noreturn]] void IndexNotDefined(int index);

namespace kiv::hyd {

// The current system's block, or nullptr when it has none.
HydIndexList *currentBlock();
// The block a selection works on; ends the run when there is none.
HydIndexList &selectableBlock();

// Bumped by every release of a registry: whatever holds pointers into a
// block compares it before use and loads afresh when it moved.
extern unsigned registryGeneration;
inline unsigned generation() { return registryGeneration; }

// Library constants of the registry, restored at the end of every run: per
// cent and degC-to-K conversions of the definers, and the out-of-range codes
// (2: hold the end value) and discontinuity flag of the table splines.
struct LibraryConstants {
  double gcent = 100.0;
  double gtref = 273.15;
  int glmode = 2;
  int grmode = 2;
  int gzero = 0;
};
extern LibraryConstants libraryConstants;
inline LibraryConstants &constants() { return libraryConstants; }

inline bool validIndex(int index) {
  return static_cast<unsigned>(index) <= static_cast<unsigned>(KIV_HYD_MAX_INDEX);
}

// A general record of the given kind with the properties every general
// definer takes (air/gas in per cent, temperature in degC, as given to the
// definers); constants, tables and user functions are left empty.
HydFluidRecord generalRecord(int index, int kind, double p_sat, double air_percent,
                             double t_celsius, double polytropic, double mu_air,
                             double p_sat_high, double p_sat_low, double mu_vapour,
                             double vapour_molar_mass, double air_density);

// A property a definer was given that must be a finite positive number.
struct PositiveValue {
  const char *what;
  double value;
};

// Whether every listed property is finite and positive; otherwise a message
// on the first that is not, and false: the caller defines nothing.
bool positiveProperties(int index, std::initializer_list<PositiveValue> values);

// Whether a temperature in degC is finite and not below absolute zero;
// otherwise a message, and false.
bool possibleTemperature(int index, double t_celsius);

// What every general definer takes besides the liquid's own properties, in
// the definers' units (air/gas in per cent, temperature in degC).
struct GeneralProperties {
  double p_sat, air_percent, t_celsius, polytropic, mu_air;
  double p_sat_high, p_sat_low, mu_vapour, vapour_molar_mass, air_density;
};
// Defines a fluid of constant properties (bulk-modulus slope 0 for none);
// ends the run on a density or bulk modulus that is not a finite positive
// number, or an index in use.
void defineConstant(int index, double rho, double bulk_modulus, double slope, double mu,
                    const GeneralProperties &g);

// Defines a general fluid whose density or bulk modulus and viscosity come
// from a fluid data file: true when defined, false after messages (nothing
// of the file is kept).
bool defineFromFile(int index, const char *file_name, const GeneralProperties &g);

// A fluid of the fuel model as its definer takes it (fuel type 1..12,
// pressures in Pa gauge, air/gas in per cent, temperature in degC).
struct FuelProperties {
  int fuel_type;
  double p_sat_high, p_sat_low, vapour_molar_mass, mu_air, mu_vapour;
  double air_percent, t_celsius, polytropic;
};
void defineFuel(int index, const FuelProperties &f);

// A fluid of the simple model as its definer takes it; ends the run on a
// density or bulk modulus that is not a finite positive number.
struct SimpleProperties {
  double rho, bulk_modulus, mu, p_sat, air_percent, t_celsius, polytropic, extra;
};
void defineSimple(int index, const SimpleProperties &s);

// Add a record under its index as every definer does: create and initialise
// the block when needed, check that the index is free, append (MemoryError
// with label on failure) and map.  They return the stored record.
HydFluidRecord &addGeneral(const HydFluidRecord &record, const char *label);
HydFuelRecord &addFuel(const HydFuelRecord &record, const char *label);
HydSimpleRecord &addSimple(const HydSimpleRecord &record, const char *label);

}  // namespace kiv::hyd

