// Interval search on increasing axes and the monotonicity test of axes.
#include "tables/interp.hpp"
#include "tables/kiv_interp.h"

extern "C" {

int getintbin_(const double *x, const double *a, const int *n) {
  return kiv::interp::bisect(*x, a, *n);
}

int getint_(const double *x, const double *a, const int *n) {
  return kiv::interp::bisect(*x, a, *n);
}

int checkint_(const double *x, const double *a, const int *n, int *i) {
  return kiv::interp::checkInterval(*x, a, *n, *i);
}

int checkint2_(const double *x, const double *a, const int *n, int *i) {
  const int nn = *n;
  const double v = *x;
  int put_back = 0;
  if (*i < -1) {
    *i = -1;
    put_back = 1;
  } else if (*i >= nn) {
    *i = nn - 1;
    put_back = 1;
  }
  const int k = *i;
  bool holds;
  if (nn < 1)
    holds = k == -1;
  else if (k == -1)
    holds = v < a[0];
  else if (k == nn - 1)
    holds = v >= a[nn - 1];
  else
    holds = a[k] <= v && v < a[k + 1];
  if (holds) return put_back;
  *i = kiv::interp::bisect(v, a, nn);
  return 1;
}

int CheckMonotonicity(const double *a, int n, int *increasing, int *breakIndex) {
  *increasing = 0;
  *breakIndex = 0;
  if (n < 2) return 1;
  // Strictly increasing axes, the usual case, need no bookkeeping.
  int j = 0;
  while (j + 1 < n && a[j + 1] > a[j]) ++j;
  if (j + 1 == n) {
    *increasing = 1;
    return 1;
  }
  bool rise = false, fall = false;
  for (j = 0; j + 1 < n; ++j) {
    if (a[j + 1] >= a[j]) {
      rise = true;
      *increasing = 1;
    }
    if (a[j] >= a[j + 1]) fall = true;
    if (rise && fall) {
      *breakIndex = j;
      return 0;
    }
  }
  return 1;
}

}  // extern "C"
