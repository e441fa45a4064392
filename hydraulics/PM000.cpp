// Set-up of the prime-mover submodel: nothing to check.
#include "hydraulics/kiv_hydraulics.h"

extern "C" void pm000in_(int *instance, double * /*real_parameters*/) {
  kivHandleSubmodelError("PM000", *instance, 0);
}
