// Atmospheric pressure: the constant every gauge pressure of the library is
// measured from, and a settable reference value beside it.
#include "hydraulics/kiv_hydraulics.h"

namespace {
double gpatm_ref = 101300.0;
}

extern "C" {

double getatp_(void) { return 101300.0; }

void sagsatp_(double *p) { gpatm_ref = *p; }

double saggatp_(void) { return gpatm_ref; }

}  // extern "C"
