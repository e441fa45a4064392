// Folding into one period with a wrap count that the caller keeps.
#include <cmath>

#include "params/kiv_math.h"
#include "runtime/numbers.hpp"

namespace {

// Beyond this many periods the count jumps at once; below it the single
// steps give the same bits as always.
constexpr double kStepLimit = 64.0;
constexpr int kMaxSteps = 256;

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
    if (r > *hi || r < *lo) {
      const double periods = std::floor((r - *lo) / p);
      if (std::fabs(periods) > kStepLimit) {
        *count += periods;
        r = s - *count * p;
        if (!(r >= *lo - p && r <= *hi + p)) {
          // The period is below the rounding of x + y: fold directly.
          r = *lo + std::fmod(s - *lo, p);
          if (r < *lo) r += p;
        }
      }
    }
    // Bounded: near the limits of double precision a step may not move r.
    for (int i = 0; r > *hi && i < kMaxSteps; ++i) {
      *count += 1.0;
      r -= p;
    }
    for (int i = 0; r < *lo && i < kMaxSteps; ++i) {
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
