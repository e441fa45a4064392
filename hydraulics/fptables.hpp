// The laws of fluids defined from data files: they answer for the table
// fluid they are given, so a caller that loaded it once resolves nothing
// per call.
#pragma once

#include <vector>

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

// Density [kg/m3], bulk modulus [Pa] and absolute viscosity [Pa.s] at a
// gauge pressure p [Pa]; the temperature serves the pressure-range warning
// only.
double tableDensity(const TableFluid &f, double t_celsius, double p);
double tableBulk(const TableFluid &f, double t_celsius, double p);
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
