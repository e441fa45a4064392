// Absolute value with region locking, and its smooth replacement.
#include "params/kiv_math.h"

extern "C" {

double absdis_(double *x, int *state) {
  const double v = *x;
  const int held = getofg_();
  if (!held) *state = (v >= 0.0) ? 1 : -1;
  if (*state == 1) {
    if (held) {
      int c = v < 0.0;
      disloc_(&c);
    }
    return v;
  }
  if (held) {
    int c = v >= 0.0;
    disloc_(&c);
  }
  return -v;
}

double sabs_(double *x, double *dx) {
  const double v = *x, d = *dx;
  if (v >= d) return v;
  if (-d >= v) return -v;
  return v * ((1.0 / (d + d)) * v) + d * 0.5;
}

}  // extern "C"
