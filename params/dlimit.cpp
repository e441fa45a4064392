// Limits with region locking, and smooth limits.
#include "params/kiv_math.h"

namespace {

void report(bool c) {
  int v = c ? 1 : 0;
  disloc_(&v);
}

}  // namespace

extern "C" {

double dlimit_(double *x, double *xmin, double *xmax, int *state) {
  const double v = *x, lo = *xmin, hi = *xmax;
  if (!getofg_()) {
    // The upper limit wins when the limits cross.
    if (v >= hi) {
      *state = 1;
      return hi;
    }
    if (v > lo || v != v) {
      *state = 0;
      return v;
    }
    *state = -1;
    return lo;
  }
  if (*state == 1) {
    report(hi > v);
    return hi;
  }
  if (*state == -1) {
    report(v > lo);
    return lo;
  }
  report(v >= hi);
  report(lo >= v);
  return v;
}

double sulimit_(double *x, double *xmax, double *dx) {
  const double v = *x, m = *xmax, d = *dx;
  const double L = m - d;
  if (v >= m + d) return m;
  if (L >= v) return v;
  // Parabola meeting x at L and xmax at xmax + dx with matching slopes.
  const double a = (m + d) / (2.0 * d);
  return v * (v * (-1.0 / (4.0 * d)) + a) + (L - (a + 1.0) * 0.5 * L);
}

double sllimit_(double *x, double *xmin, double *dx) {
  double nx = -*x, nmin = -*xmin;
  return -sulimit_(&nx, &nmin, dx);
}

double slimit_(double *x, double *xmin, double *xmax, double *dx) {
  double upper = -sulimit_(x, xmax, dx);
  double nmin = -*xmin;
  return -sulimit_(&upper, &nmin, dx);
}

}  // extern "C"
