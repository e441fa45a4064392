/* Discontinuity-aware scalar functions: limits with region locking, smooth
 * limits and absolute value, modulo with a wrap count, a linearised signed
 * square root and rounding. Every argument by reference. */
#ifndef KIV_MATH_H
#define KIV_MATH_H

#include "runtime/kiv_runtime.h"

#ifdef __cplusplus
extern "C" {
#endif

KIV_API double dlimit_(double *x, double *xmin, double *xmax, int *state);
KIV_API double dlimit1_(double *x, double *xmin, double *xmax, double *frac, int *state);
KIV_API double sulimit_(double *x, double *xmax, double *dx);
KIV_API double sllimit_(double *x, double *xmin, double *dx);
KIV_API double slimit_(double *x, double *xmin, double *xmax, double *dx);
KIV_API double absdis_(double *x, int *state);
KIV_API double sabs_(double *x, double *dx);
KIV_API double modulodh_(double *x, double *y, double *lo, double *hi, double *count, int *handle);
KIV_API double modulo_(double *x, double *y, double *lo, double *hi, double *count);
KIV_API double lsqrtadh_(double *x, double *xcrit, int *state, int *handle);
KIV_API double lsqrta_(double *x, double *xcrit, int *state);
KIV_API double kivround_(double *x);

#ifdef __cplusplus
}
#endif

#endif
