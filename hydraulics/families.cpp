// Which property family serves a fluid: switches per fluid index and for the
// index-0 drop fluid as a whole, set by the definers and read by the current
// fluid.
#include "hydraulics/fluidlaws.hpp"

HydFamilySwitches familySwitches;

extern "C" {

void SetSimplestProperties(void) {
  familySwitches.gSimplestProperties = 1;
  familySwitches.gFuelProperties = 0;
}

void simprop_(int *index) {
  if (!kiv::hyd::validIndex(*index)) return;
  familySwitches.gSimplestProp[*index] = 1;
  familySwitches.gFuelProp[*index] = 0;
}

void setbflag_(int *index) {
  if (!kiv::hyd::validIndex(*index)) return;
  familySwitches.gSimplestProp[*index] = 0;
  familySwitches.gFuelProp[*index] = 1;
}

void SetFuelProperties(void) {
  int i = gethdind_();
  if (!kiv::hyd::validIndex(i)) return;
  if (i == 0 && getftype_(&i) != 2) {
    familySwitches.gSimplestProperties = 0;
    familySwitches.gFuelProperties = 1;
  } else {
    setbflag_(&i);
  }
}

}  // extern "C"
