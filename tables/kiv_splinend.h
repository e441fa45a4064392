/* N-D splines: interpolants of a table on a rectilinear grid of 1 to 8 axes,
 * piecewise constant, multilinear or cubic (tensor-product cubic Hermite
 * patches, at most 5 axes of two or more points), addressed by an integer
 * id.  Every argument is passed by reference except the dimension of
 * getndrank_.
 *
 * Tables: sizes[k] points on axis k, axes[k] its abscissas (strictly
 * increasing or strictly decreasing), values with axis 0 varying fastest.
 * Axes of a single point are dropped (moved behind the others); callers
 * still pass a coordinate for them, which is ignored, and derivatives along
 * them are 0.  Coordinates, directions and gradients are always in the
 * caller's axis order.
 *
 * Boundary codes, two per axis (left = lower abscissa end, then right):
 *   1 extrapolate (linear kind: the end segment continues; cubic: the slope
 *     method's own end condition, zero second derivative for method 1),
 *   2 hold (linear kind: the end value is kept; cubic: the end slope is the
 *     given end slope of that axis side),
 *   3 cyclic with period last minus first abscissa (an axis is cyclic when
 *     its left code is 3; a cubic spline makes both sides 3),
 *   4 constant second derivative over the end interval (cubic method 1;
 *     otherwise like 1).
 * Cubic extrapolation modes, two per axis: 1 linear with the end slope,
 * 2 the end cubic continued.
 *
 * Creation returns the new id, or -1 after a message on the error stream.
 * The other operations return 1, or 0 after a message (invalid or freed id,
 * bad direction, ...).  Every spline is freed when the run ends.
 *
 * Evaluation allocates nothing (except the integral table at the first
 * splevali_) and keeps a memory of the last interval on every axis: while
 * the runtime holds regions (getofg_() != 0), a spline created with
 * discontinuity flag 1 keeps the interval it used before and reports a knot
 * crossing through disloc_ (distim_ on an axis marked as time by
 * splxtime_).  Cubic splines hold their intervals only for second
 * derivatives. */
#ifndef KIV_SPLINEND_H
#define KIV_SPLINEND_H

#include "runtime/kiv_runtime.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Creation ------------------------------------------------------------ */

/* Multilinear spline; boundary codes 1..4. */
KIV_API int lsplinitnd_(const int *dim, const int *sizes, double **axes, const double *values,
                        const int *codes, const int *disc);
/* Piecewise constant spline (the value of the lower grid point of the
 * cell); boundary codes 1 hold or 2 cyclic. */
KIV_API int csplinitnd_(const int *dim, const int *sizes, double **axes, const double *values,
                        const int *codes, const int *disc);
/* Cubic spline.  method: slopes by 1 the C2 cubic spline, 2 Akima,
 * 3 constrained cubic, 4 monotonicity preserving.  end_slopes: left and
 * right slope of every axis, in the caller's axis order, read where the
 * code is 2 (may be NULL: zero slopes); ext_modes 1..2 per axis side. */
KIV_API int kivsplinitnd_(const int *method, const int *dim, const int *sizes, double **axes,
                          const double *values, const int *codes, const double *end_slopes,
                          const int *ext_modes, const int *disc);
/* kivsplinitnd_ with method 1. */
KIV_API int splinitnd_(const int *dim, const int *sizes, double **axes, const double *values,
                       const int *codes, const double *end_slopes, const int *ext_modes,
                       const int *disc);

/* ---- Evaluation ---------------------------------------------------------- */

/* Value at x[full_dim]. */
KIV_API int spleval_(const int *id, const double *x, double *out);
/* First partial derivative along the caller's axis *direction (1-based). */
KIV_API int splevald_(const int *id, const int *direction, const double *x, double *out);
/* Second partial derivative along directions[0] and directions[1]. */
KIV_API int splevald2_(const int *id, const int *directions, const double *x, double *out);
/* Gradient, full_dim entries. */
KIV_API int splevalalld_(const int *id, const double *x, double *gradient);
/* Hessian as its packed upper triangle, row by row: (0,0), (0,1) ...
 * (0,n-1), (1,1) ...; full_dim * (full_dim + 1) / 2 entries. */
KIV_API int splevalalld2_(const int *id, const double *x, double *hessian);
/* Integral from 0 to *x of a constant or linear spline of one effective
 * axis (whole periods included on a cyclic axis). */
KIV_API int splevali_(const int *id, const double *x, double *out);

/* The same with the coordinates (and results) as separate arguments, each
 * a pointer to double: full_dim coordinates, then the result(s). */
KIV_API int splevalv_(const int *id, ...);
KIV_API int splevalvd_(const int *id, const int *direction, ...);
KIV_API int splevalvd2_(const int *id, const int *directions, ...);
KIV_API int splevalvalld_(const int *id, ...);
KIV_API int splevalvalld2_(const int *id, ...);

/* 1 when some axis has just left its range, or moved to its other side,
 * since the previous call (while regions are held: states kept, changes
 * reported through disloc_). */
KIV_API int splextrapol_(const int *id, const double *x);

/* ---- Other operations ---------------------------------------------------- */

/* Frees the spline; its id is reused by the next creation.  1, also for an
 * id already freed; 0 after a message for an id never handed out. */
KIV_API int splfree_(const int *id);
/* Frees every spline and the registry (run at the end of a run). */
KIV_API void FreeAllNDSplines(void);
/* 0-based position in the values array of the grid point index[0..dim-1]
 * (0-based indexes, axis 0 varying fastest). */
KIV_API int getndrank_(const int *index, const int *sizes, int dim);
/* Reorders the stored axes of a constant or linear spline: stored axis k
 * becomes the one that was stored at permutation[k] (composed with earlier
 * reorders; single-point axes stay behind the others).  Interval memories
 * start afresh. */
KIV_API int splreorder_(const int *id, const int *permutation);
/* Sets the table value of a constant or linear spline at the stored grid
 * point index[0..dim-1] (stored axis order, effective axes only). */
KIV_API int splsetpt_(const int *id, const int *index, const double *value);
/* Marks the caller's axis *axis (0-based) as simulation time (*flag 1) or
 * not (0); a cyclic axis is never marked. */
KIV_API int splxtime_(const int *id, const int *axis, const int *flag);

#ifdef __cplusplus
}
#endif

/* The library's own folders read splines from several places with one
 * interval memory per place; hosts do not see this part. */
#if defined(__cplusplus) && defined(KIV_BUILDING)
namespace kiv::nd {

inline constexpr int kMaxDim = 8;

// The interval memory of one use site, indexed by internal axis.  A spline
// record has its own; a caller that reads one spline at several places (a
// cyclic quantity at several angles) may keep one per place so that each
// search starts near its own last interval.
struct Memory {
  int interval[kMaxDim];   // -2: none yet
  int cycle[kMaxDim];      // periods folded off a cyclic axis (constant, linear;
                           // cubic: those of the last read, a guess for the next)
  bool cycle_set[kMaxDim];  // a count of any value, -2 included, is legal
  Memory() { reset(); }
  void reset() {
    for (int k = 0; k < kMaxDim; ++k) {
      interval[k] = -2;
      cycle[k] = 0;
      cycle_set[k] = false;
    }
  }
};

// Value (mode 0) or first derivative along the 1-based caller axis dir
// (mode 1) of spline id at x, searching from mem; 0 for an id that holds
// no spline.  Allocation-free.
double SplineEvalAt(int id, const double *x, int mode, int dir, Memory &mem);

// spleval_, splevald_ (direction 1-based), splevald2_ (two directions) and
// splfree_ by value, with their messages and status; the spline's own
// interval memory.
int SplineValue(int id, const double *x, double *out);
int SplineSlope(int id, int direction, const double *x, double *out);
int SplineSecond(int id, const int *directions, const double *x, double *out);
int FreeSpline(int id);
// lsplinitnd_, csplinitnd_ and kivsplinitnd_ with the dimension, the
// method and the flag by value: the id, or -1 after a message.
int CreateLinearND(int dim, const int *sizes, double **axes, const double *values, const int *codes,
                   int disc);
int CreateConstantND(int dim, const int *sizes, double **axes, const double *values,
                     const int *codes, int disc);
int CreateCubicND(int method, int dim, const int *sizes, double **axes, const double *values,
                  const int *codes, const double *end_slopes, const int *ext_modes, int disc);

}  // namespace kiv::nd
#endif

#endif
