/* Interval search on increasing axes, folding of cyclic coordinates and
 * direct linear interpolation in 1-D and 2-D tables.
 *
 * Every argument is passed by reference.  None of these functions keeps
 * state: the remembered interval (or period count) belongs to the caller,
 * one per use site.
 *
 * Interval index of x on an axis a[0..n-1]: -1 when x < a[0], n-1 when
 * x >= a[n-1], otherwise the i with a[i] <= x < a[i+1].  A remembered
 * interval of -2 means "none yet".
 *
 * Discontinuity handling: while the runtime holds regions (getofg_() != 0)
 * linter_, linter2_ and lintde_ keep the caller's remembered interval and
 * report a pending change through dishan_; cyclicx2_ keeps the caller's
 * period count and reports a change through disloc_. */
#ifndef KIV_INTERP_H
#define KIV_INTERP_H

#include "runtime/kiv_runtime.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Interval of x by bisection (O(log n)); getint_ is the same function. */
KIV_API int getintbin_(const double *x, const double *a, const int *n);
KIV_API int getint_(const double *x, const double *a, const int *n);

/* Moves the remembered interval *i to the interval of x, searching from it:
 * a few local steps, then bisection, so values far from the remembered
 * interval cost O(log n).  An *i below -1 or at/above n is put back in
 * range first.  Returns 1 when *i changed (or had to be put back), 0 when
 * x still lies in it. */
KIV_API int checkint_(const double *x, const double *a, const int *n, int *i);

/* Like checkint_, but a remembered interval that no longer holds x is
 * replaced by a fresh bisection. */
KIV_API int checkint2_(const double *x, const double *a, const int *n, int *i);

/* x folded into [a[0], a[n-1]) with period a[n-1] - a[0].  Without a
 * positive period (fewer than 2 points, equal or decreasing ends) or for a
 * non-finite x, returns x. */
KIV_API double cyclicx_(const double *x, const double *a, const int *n);

/* x minus *k periods.  In an ordinary evaluation *k becomes the number of
 * whole periods that fold x into [a[0], a[n-1]); while regions are held *k
 * is kept and a change is reported with disloc_, so the result may lie
 * outside the range.  Without a positive period returns x (count 0). */
KIV_API double cyclicx2_(const double *x, const double *a, const int *n, int *k);

/* 1 when a[0..n-1] is strictly monotonic (*increasing says which way);
 * otherwise 0 with *breakIndex the index of the pair where the test
 * stopped (a[*breakIndex], a[*breakIndex + 1]). */
KIV_API int CheckMonotonicity(const double *a, int n, int *increasing, int *breakIndex);

/* Linear interpolation in (xa, ya) of n points; *i is the caller's
 * remembered interval.  *extrap 1 continues the end segments, any other
 * value holds the end values.  One point gives ya[0]. */
KIV_API double linter_(const double *x, const double *xa, const double *ya, const int *n, int *i,
                       const int *extrap);
/* Slope of the linter_ interpolant at x (0 where it holds an end value). */
KIV_API double lintde_(const double *x, const double *xa, const double *ya, const int *n, int *i,
                       const int *extrap);
/* Bilinear interpolation in z (nx values per row, one row per ya[r]: the
 * row of ya[r] starts at z[r * nx]); *ix and *iy are the caller's
 * remembered intervals. */
KIV_API double linter2_(const double *x, const double *y, const int *nx, const double *xa,
                        const int *ny, const double *ya, const double *z, int *ix, int *iy,
                        const int *extrap);

/* Acceleration of a body of mass *m (changing at *dm) under force *F with
 * viscous (*visc), quadratic (*quad) and dry friction (dynamic *Fc, static
 * *Fs).  *state: 1 moving forward, -1 backward, 0 stuck; it is chosen in
 * ordinary evaluations and held (with disloc_ reports) otherwise.  May set
 * *v to 0 when the velocity just crossed zero, and raise *Fs for a
 * massless body so that it sticks. */
KIV_API void linert_varmass_(const double *m, const double *dm, const double *F,
                             const double *visc, const double *Fc, double *Fs, const double *quad,
                             double *v, double *acc, int *state);

#ifdef __cplusplus
}
#endif

#endif
