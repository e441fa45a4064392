// Signed square root, linear near zero so its slope stays finite.
#include <cmath>

#include "params/kiv_math.h"

extern "C" {

double lsqrtadh_(double *x, double *xcrit, int *state, int *handle) {
  const double v = *x, xc = *xcrit;
  if (!(xc > 0.0)) {
    kivfprintf(stderr, "\nThe value of xcrit must be strictly positive\n");
    kivfprintf(stderr, "xcrit = %g", xc);
    kivfprintf(stderr, "\nTerminating program.\n");
    KivExit(1);
  }
  if (!(*handle && getofg_())) {
    if (v >= xc)
      *state = 1;
    else if (v < -xc)
      *state = -1;
    else
      *state = 0;
  }
  int c;
  if (*state == 1) {
    c = xc > v;
    disloc_(&c);
    return std::sqrt(std::fabs(v));
  }
  if (*state == 0) {
    c = (v >= xc) || (-xc > v);
    disloc_(&c);
    return v / std::sqrt(xc);
  }
  c = v >= -xc;
  disloc_(&c);
  return -std::sqrt(std::fabs(v));
}

double lsqrta_(double *x, double *xcrit, int *state) {
  int handle = 1;
  return lsqrtadh_(x, xcrit, state, &handle);
}

}  // extern "C"
