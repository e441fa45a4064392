// A limit that leaves its bound only past a hysteresis band.
#include <cmath>

#include "params/kiv_math.h"

extern "C" {

double dlimit1_(double *x, double *xmin, double *xmax, double *frac, int *state) {
  const double lo = *xmin, hi = *xmax, f = *frac;
  if (!firstc_()) {
    if (*state == -1) {
      double lower = std::fmin(lo + f * (hi - lo), (std::fabs(lo) * f + lo) + f);
      dlimit_(x, &lower, xmax, state);
      return lo;
    }
    if (*state == 1) {
      double upper = std::fmax(hi - f * (hi - lo), (hi - std::fabs(hi) * f) - f);
      dlimit_(x, xmin, &upper, state);
      return hi;
    }
  }
  return dlimit_(x, xmin, xmax, state);
}

}  // extern "C"
