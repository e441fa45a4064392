/* Discontinuity-aware scalar functions: limits with region locking, smooth
 * limits and absolute value, modulo with a wrap count, a linearised signed
 * square root and rounding.  Every argument by reference; nothing is
 * allocated.
 *
 * Region locking: state (or count) belongs to the caller, one variable per
 * use site, passed at every call.  In an ordinary evaluation (getofg_() 0)
 * the function picks the region from the values and stores it; while the
 * integrator checks or locates a discontinuity it keeps the stored region
 * and reports a crossing with disloc_.  handle 0 makes modulodh_ and
 * lsqrtadh_ ignore that locking.  dx is the half-width of the smoothed band
 * around the kink; x, limits and dx share the caller's unit. */
#ifndef KIV_MATH_H
#define KIV_MATH_H

#include "runtime/kiv_runtime.h"

#ifdef __cplusplus
extern "C" {
#endif

/* x clamped to [xmin, xmax] (xmax wins when they cross); state: 1 at xmax,
 * 0 between, -1 at xmin. */
KIV_API double dlimit_(double *x, double *xmin, double *xmax, int *state);
/* dlimit_ with hysteresis: a value held at a limit leaves it only after x has
 * passed the limit by frac (a fraction of xmax - xmin, or of |limit| + 1,
 * whichever is nearer). */
KIV_API double dlimit1_(double *x, double *xmin, double *xmax, double *frac, int *state);
/* Smooth min(x, xmax): x below xmax - dx, xmax above xmax + dx, a parabola
 * between. */
KIV_API double sulimit_(double *x, double *xmax, double *dx);
/* Smooth max(x, xmin), the mirror of sulimit_. */
KIV_API double sllimit_(double *x, double *xmin, double *dx);
/* sulimit_ to xmax, then sllimit_ to xmin. */
KIV_API double slimit_(double *x, double *xmin, double *xmax, double *dx);
/* |x|; state 1 for x >= 0, -1 below. */
KIV_API double absdis_(double *x, int *state);
/* Smooth |x|: x^2 / (2 dx) + dx / 2 for |x| < dx. */
KIV_API double sabs_(double *x, double *dx);
/* x + y folded into [lo, hi]; count (a whole number kept in a double) is the
 * number of periods hi - lo removed.  A period <= 0 returns x unchanged. */
KIV_API double modulodh_(double *x, double *y, double *lo, double *hi, double *count, int *handle);
/* modulodh_ with handle 1. */
KIV_API double modulo_(double *x, double *y, double *lo, double *hi, double *count);
/* sign(x) sqrt(|x|), linear x / sqrt(xcrit) for |x| < xcrit; state 1, 0, -1
 * for the three regions.  xcrit <= 0 is a fatal error (KivExit(1)). */
KIV_API double lsqrtadh_(double *x, double *xcrit, int *state, int *handle);
/* lsqrtadh_ with handle 1. */
KIV_API double lsqrta_(double *x, double *xcrit, int *state);
/* Nearest whole number, halves toward +infinity (-2.5 gives -2). */
KIV_API double kivround_(double *x);

#ifdef __cplusplus
}
#endif

#endif
