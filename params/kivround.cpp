#include <cmath>

#include "params/kiv_math.h"

extern "C" {

// Nearest integer; halves go toward +infinity.
double kivround_(double *x) {
  const double c = std::ceil(*x);
  return (c - *x > 0.5) ? std::floor(*x) : c;
}

}  // extern "C"
