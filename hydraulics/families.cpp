// Which property family serves a fluid: switches per fluid index and for the
// index-0 drop fluid as a whole, set by the definers and read by the current
// fluid.
#include "hydraulics/fluidlaws.hpp"

namespace {

HydFamilySwitches S;

}  // namespace

HydFamilySwitches &kiv::hyd::switches() { return S; }

extern "C" {

void SetSimplestProperties(void) {
  S.gSimplestProperties = 1;
  S.gFuelProperties = 0;
}

void simprop_(int *index) {
  if (!kiv::hyd::validIndex(*index)) return;
  S.gSimplestProp[*index] = 1;
  S.gFuelProp[*index] = 0;
}

void setbflag_(int *index) {
  if (!kiv::hyd::validIndex(*index)) return;
  S.gSimplestProp[*index] = 0;
  S.gFuelProp[*index] = 1;
}

void SetFuelProperties(void) {
  int i = gethdind_();
  if (!kiv::hyd::validIndex(i)) return;
  if (i == 0 && getftype_(&i) != 2) {
    S.gSimplestProperties = 0;
    S.gFuelProperties = 1;
  } else {
    setbflag_(&i);
  }
}

}  // extern "C"
