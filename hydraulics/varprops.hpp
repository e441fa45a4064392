// Inside view of the current fluid: its process-wide state, the loader and
// the smooth steps shared by the property families.
#pragma once

#include "hydraulics/fluidlaws.hpp"
#include "hydraulics/fptables.hpp"


// The fluid selected last, with the constants of its laws (computed once per
// load).  One set for the whole process.
struct HydCurrentFluid {
  int ghindex = 0;
  int ghftype = 0;
  int gmustinit = 1;
  const HydFluidRecord *gptrfprop = nullptr;
  const HydFuelRecord *gptrbprop = nullptr;
  const HydSimpleRecord *gptrsprop = nullptr;
  int gusetables = 0;
  double gambtemp = 0, gtcelsius = 0;
  double gtref = 273.15;
  double grho = 0, gbmnom = 0, gC5 = 0;
  double gslope = 0;  // record slope of the bulk modulus, 0 for none
  double gair = -1, gK1 = 0;
  double grhogas = 0, gairden = 0;
  double gnpoly = 0, gtmp2 = 0, gtmp1 = 0;
  double gstp = 0, gvstp = 50000, goffset = 10000;
  double gMolesperkg = 5, grhovap = 0;
  double gC1 = 0, gN = 0, grhomix = 0, gC = 0;
  double gC2 = 0, gK3 = 0, gK4 = 0;
  double gmuliq = 0, gmuair = 0, gmuvap = 0;
  double gpabs = 0, gterm = 0, gphi = 0;
  double rhoat0 = -1;
  int previous_fluid = -10;
};

namespace kiv::hyd {

HydCurrentFluid &fluid();
// The current fluid ready for use: forgets what a released registry held
// and loads index 0 (the drop fluid) while nothing is loaded.
HydCurrentFluid &loadedFluid();

// Families answering for the current fluid, in the order they are tried.
enum class Family { Simple, Fuel, General, Older };
// The loaded fluid's family; for a fuel record copies its temperature into
// gambtemp.
Family family();

}  // namespace kiv::hyd

// Loads the current fluid from its record.
void initprops(int index, int type);

// Tables of the current fluid (defined from a data file), at a gauge
// pressure p [Pa]; the temperature serves the pressure-range warning only.
double bmfromtble(double temperature_celsius, double p);
double rhofromtble(double temperature_celsius, double p);
double mufromtble(double temperature_celsius, double p);
