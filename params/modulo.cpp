// Folding into one period with a wrap count that the caller keeps.
#include <cmath>

#include "params/kiv_math.h"
#include "runtime/numbers.hpp"

namespace {

// Beyond this many periods the count jumps at once; below it the single
// steps give the same bits as always.
constexpr double kStepLimit = 64.0;

}  // namespace

extern "C" {

double modulodh_(double *x, double *y, double *lo, double *hi, double *count, int *handle) {
  const double p = *hi - *lo;
  if (!(p > 0.0)) return *x;
  const double s = *x + *y;
  if (!std::isfinite(s)) return s;
  if (firstc_()) *count = kiv::clampToInt(s / p);
  if (!std::isfinite(*count)) *count = 0.0;
  double r = s - *count * p;
  const bool held = *handle && getofg_();
  if (!held) {
    if (r > *hi && (r - *hi) / p > kStepLimit) {
      *count += std::floor((r - *hi) / p);
      r = s - *count * p;
    } else if (r < *lo && (*lo - r) / p > kStepLimit) {
      *count -= std::floor((*lo - r) / p);
      r = s - *count * p;
    }
    while (r > *hi) {
      *count += 1.0;
      r -= p;
    }
    while (r < *lo) {
      *count -= 1.0;
      r += p;
    }
  }
  if (r < *lo || r > *hi) {
    int one = 1;
    disloc_(&one);
  }
  return r;
}

double modulo_(double *x, double *y, double *lo, double *hi, double *count) {
  int handle = 1;
  return modulodh_(x, y, lo, hi, count, &handle);
}

}  // extern "C"
