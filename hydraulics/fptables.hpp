// The laws of fluids defined from data files: they answer for the table
// fluid they are given, so a caller that loaded it once resolves nothing
// per call.
#pragma once

#include <vector>

#include "hydraulics/fluidlaws.hpp"
#include "hydraulics/hydindex.hpp"

namespace kiv::hyd {

// A table fluid of the registry, resolved once.
struct TableFluid {
  int index = -1;
  HydFluidRecord *record = nullptr;
  HydTableSlot *slot = nullptr;
};

// The table fluid under an index of the current system; ends the run when
// the index holds none with built tables.
TableFluid tableFluid(int index);

// The out-of-line parts of the table laws below.
// The pressure-range warning of a family whose limit is not worked out for
// the bracket and temperature, or that p exceeds.
void checkTablePressure(const TableFluid &f, bool density, double t_celsius, double p);
// Reads the bulk/density tables of bracket k (k + 1 too when both) at p into
// the slot's reading, reusing what it holds for that pressure.
void readDensityTables(HydTableSlot &s, int k, bool both, double p);
// Density of table k + j of the slot's reading (an exponential).
double densityOfReading(HydTableSlot &s, size_t j);

// Warns once per family and fluid, on a print step, that p lies above the
// pressures of the tables in use: once warned, or while p stays below the
// limit worked out for this bracket and temperature, nothing to do.
inline void warnAbovePressure(const TableFluid &f, bool density, double t_celsius, double p) {
  const HydTableSlot &s = *f.slot;
  if (density ? s.bm_warned : s.mu_warned) return;
  const HydPressureLimit &L = density ? s.bm_limit : s.mu_limit;
  const int k = density ? f.record->bm_bracket : f.record->mu_bracket;
  if (L.k == k && sameBits(L.t_celsius, t_celsius) && !(p > L.limit)) return;
  checkTablePressure(f, density, t_celsius, p);
}

// The bulk/density tables of bracket k read at p (k + 1 too when both):
// what the last reading at that pressure found, unless the splines are read
// with the discontinuity handling on (their interval may be held).
inline HydTableReading &densityReading(HydTableSlot &s, int k, bool both, double p) {
  HydTableReading &r = s.reading;
  if (r.k != k || !sameBits(r.p, p) || r.tables < (both ? 2 : 1) || constants().gzero != 0)
    readDensityTables(s, k, both, p);
  return r;
}

// Density of table k + j of a reading.  An integral above 100 is capped,
// with a step-down at every use.
inline double densityOf(HydTableSlot &s, const HydTableReading &r, size_t j) {
  if (!r.density_known[j]) return densityOfReading(s, j);
  if (r.capped[j]) stepdn_();
  return r.density[j];
}

// Density [kg/m3], bulk modulus [Pa] and absolute viscosity [Pa.s] at a
// gauge pressure p [Pa]; the temperature serves the pressure-range warning
// only.
// The bulk/density tables a law needs at p, after the pressure warning.
inline const HydTableReading &densityTablesAt(const TableFluid &f, double t_celsius, double p) {
  warnAbovePressure(f, true, t_celsius, p);
  const HydFluidRecord &r = *f.record;
  return densityReading(*f.slot, r.bm_bracket, r.bm_weight_up != 0.0, p);
}

inline double tableDensity(const TableFluid &f, double t_celsius, double p) {
  const HydTableReading &at = densityTablesAt(f, t_celsius, p);
  HydTableSlot &s = *f.slot;
  const double wlo = f.record->bm_weight_lo, wup = f.record->bm_weight_up;
  if (wup == 0.0) {
    const double rho = densityOf(s, at, 0);
    return wlo == 0.0 ? rho : wlo * rho;
  }
  double sum = 0.0;
  if (wlo != 0.0) sum = wlo * densityOf(s, at, 0);
  return sum + wup * densityOf(s, at, 1);
}

inline double tableBulk(const TableFluid &f, double t_celsius, double p) {
  const HydTableReading &at = densityTablesAt(f, t_celsius, p);
  HydTableSlot &s = *f.slot;
  const double wlo = f.record->bm_weight_lo, wup = f.record->bm_weight_up;
  double bk = 1.0 / at.value[0];
  if (wup == 0.0) return bk;
  const double bk1 = 1.0 / at.value[1];
  if (wlo == 0.0) bk = 0.0;
  if (bk1 == 0.0) return bk;
  if (bk == 0.0) return bk1;
  const double rk = densityOf(s, at, 0), rk1 = densityOf(s, at, 1);
  return (wlo * rk + wup * rk1) / (wup * rk1 / bk1 + wlo * rk / bk);
}

double tableViscosity(const TableFluid &f, double t_celsius, double p);

// Build the splines of both families of a just-defined index.
void buildTables(int index);

// Position of a fluid temperature among increasing table temperatures: the
// table at or below it and the weights of that table (lo) and the next (up).
// Outside the tables both weights are 0 and side says where: -1 below the
// first, +1 above the last.
struct TableBracket {
  int k = 0;
  double up = 0.0, lo = 0.0;
  int side = 0;
};
TableBracket tableBracket(const std::vector<double> &temperatures, double t_celsius);
// Brackets and weights of both families of a table fluid at t_celsius.
void setTableBrackets(HydFluidRecord &record, const HydTableSlot &slot, double t_celsius);
// The warning that a fluid temperature lies outside the table temperatures
// of a family, whose values are then held at the nearest table (nothing
// when the bracket is inside).
void temperatureWarning(int index, double t_celsius, const TableBracket &bracket,
                        const std::vector<double> &temperatures, const char *quantity,
                        const char *file);
// Moves the table fluid under index to t_celsius: brackets and weights of
// both families, each warning as at definition when t_celsius lies outside
// its tables and warn is set.
void moveTableFluid(int index, HydFluidRecord &record, const HydTableSlot &slot, double t_celsius,
                    bool warn);

// Names of the quantities of a table fluid, by definition mode.
const char *densityQuantity(int mode);
const char *viscosityQuantity(int mode);

}  // namespace kiv::hyd
