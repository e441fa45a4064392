// Folding of coordinates on cyclic axes.
#include "tables/interp.hpp"
#include "tables/kiv_interp.h"

extern "C" {

double cyclicx_(const double *x, const double *a, const int *n) {
  if (*n < 2) return *x;
  double y, k;
  kiv::interp::fold(*x, a[0], a[*n - 1], y, k);
  return y;
}

double cyclicx2_(const double *x, const double *a, const int *n, int *k) {
  return kiv::interp::foldCounted(*x, a, *n, *k, getofg_() != 0);
}

}  // extern "C"
