/* 1-D linear and cubic splines, multi-1-D splines (a stack of curves z(x)
 * along y), multi-multi-1-D splines (a stack of those along z) and 2-D
 * bilinear splines, each family in a process-wide registry addressed by an
 * integer id.  Every argument is passed by reference unless stated.
 *
 * Ids: creation returns the new id (0, 1, ...) or -1 after a message on the
 * error stream.  Every family releases all its splines when the run ends.
 * Evaluating an id that was never created, or was freed, prints a message
 * and ends the run (KivExit(1)).
 *
 * Out-of-range codes, per side of an axis: 1 extrapolate with the end
 * interval, 2 hold the end value, 3 cyclic with period last minus first
 * abscissa.  An axis is cyclic when its left (lower) code is 3 (for the
 * stacks: their top code); a right code 3 on an axis that is not cyclic
 * holds.
 *
 * Discontinuity handling: evaluators with a disc argument of 1 keep an
 * interval memory.  In an ordinary evaluation (getofg_() == 0) the interval
 * is chosen from the abscissa and remembered; while the runtime holds
 * regions the remembered interval keeps being used (its piece extrapolated
 * if need be) and a move to another interval is reported with disloc_ (or,
 * on a time axis, announced with distim_: forward at the first knot passed,
 * backward at the first knot of the interval reached).  On a cyclic
 * axis a held interval continues across the seam by one period.  Memories
 * start at -2 ("none"); any value outside -1..n-1 also counts as none.
 * Evaluation allocates nothing. */
#ifndef KIV_SPLINES_H
#define KIV_SPLINES_H

#include "runtime/kiv_runtime.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- 1-D linear splines --------------------------------------------------
 * Piecewise-linear y(x) through n points (x strictly increasing or strictly
 * decreasing; stored increasing).  Interior points that add nothing (equal
 * to both neighbours, or on the line through them) are dropped.  A single
 * point gives a constant (its codes are not looked at). */

/* Creates a spline; the arrays are copied.  Id or -1. */
KIV_API int lsplinit_(const int *n, const double *x, const double *y, const int *left_code,
                      const int *right_code);
/* Value, slope dy/dx and integral from x = 0, each with its own interval
 * memory in the spline.  disc 1 enables the discontinuity handling.  The
 * integral of a cyclic spline accumulates whole periods. */
KIV_API double getlspl_(const int *id, const double *x, const int *disc);
KIV_API double getlspd_(const int *id, const double *x, const int *disc);
KIV_API double getlspi_(const int *id, const double *x, const int *disc);
/* The same with an interval memory held by the caller (set it to -2 before
 * first use), for one spline read at several places per step. */
KIV_API double getlspla_(const int *id, const double *x, const int *disc, int *mem);
KIV_API double getlspda_(const int *id, const double *x, const int *disc, int *mem);
KIV_API double getlspia_(const int *id, const double *x, const int *disc, int *mem);
/* Integral of 1/y from the first knot to x (no memory, no cyclic mapping;
 * the end values held outside).  Needs two or more points and every y
 * nonzero and of one sign: otherwise a message and the end of the run. */
KIV_API double intinvbm_(const int *id, const double *x);
/* Marks x as simulation time (flag 1) or not (0): knot crossings are then
 * announced as time events.  Ignored for a cyclic spline and a bad id. */
KIV_API void lsplxtime_(const int *id, const int *flag);
/* Frees one spline (a warning for a bad or freed id); returns 0.0.  Only
 * the id of the last spline is handed out again. */
KIV_API double freelsp_(const int *id);
/* Frees every spline of the family (done at the end of the run too). */
KIV_API void FreeAllLinearSplines(void);

/* ---- 1-D cubic splines ---------------------------------------------------
 * Interpolating C2 cubic through n >= 3 points.  End codes: 1 natural
 * (zero second derivative), 2 clamped (first derivative *left_slope /
 * *right_slope), 3 (left only) periodic, which needs y[0] == y[n-1].
 * Left means the smallest abscissa.  Extrapolation codes: 1 straight line
 * with the end slope, anything else the end cubic continued. */

/* Creates a spline; the arrays are copied.  Id or -1. */
KIV_API int splinit_(const int *n, const double *x, const double *y, const int *left_end,
                     const double *left_slope, const int *right_end, const double *right_slope,
                     const int *left_ext, const int *right_ext);
/* Value and first derivative (fresh search, no memory). */
KIV_API double getspl_(const int *id, const double *x);
KIV_API double getspd_(const int *id, const double *x);
/* Second derivative with a caller-held interval memory, held while the
 * runtime holds regions; refused (fatal) for a periodic spline. */
KIV_API double getsp2_(const int *id, const double *x, int *mem);
/* Frees one spline (a warning for a bad or freed id); returns 0.0. */
KIV_API double freespl_(const int *id);
/* Frees every spline of the family (done at the end of the run too). */
KIV_API void FreeAllCubicSplines(void);

/* ---- Multi-1-D splines ---------------------------------------------------
 * z(x, y) from nlayers curves z(x), one per y value (given in any order,
 * all different), interpolated linearly in y.  Layer k has npts[k] points;
 * x and z hold the layers one after another.  type 0: linear layers with
 * out-of-range codes *left / *right; types 1..4: cubic layers built as
 * one-axis N-D splines with that coefficient method, boundary codes
 * *xleft_bc / *xright_bc, end slopes *xleft_value / *xright_value and
 * extrapolation modes *left / *right (1 or 2).  top: above the highest
 * layer 1 extrapolate, 2 hold, 3 cyclic in y; bottom: below the lowest 1
 * extrapolate, otherwise hold.  A freed id is handed out again. */

/* Creates a spline; the arrays are copied.  Id or -1. */
KIV_API int msplinit_(const int *nlayers, const int *npts, const double *x, const double *y,
                      const double *z, const int *top, const int *bottom, const int *xleft_bc,
                      const double *xleft_value, const int *xright_bc, const double *xright_value,
                      const int *left, const int *right, const int *type);
/* z, dz/dx and dz/dy; disc 1 holds the interval along y and is handed to
 * the layers. */
KIV_API double getmspl_(const int *id, const double *x, const double *y, const int *disc);
KIV_API double getmspdx_(const int *id, const double *x, const double *y, const int *disc);
KIV_API double getmspdy_(const int *id, const double *x, const double *y, const int *disc);
/* Frees the spline and its layers: 1, or 0 after a message. */
KIV_API int msplfree_(const int *id);
/* Frees every spline of the family (done at the end of the run too). */
KIV_API void FreeAllMultiSplines(void);

/* ---- Multi-multi-1-D splines ---------------------------------------------
 * w(x, y, z) from nz multi-1-D surfaces, one per z value (any order, all
 * different), interpolated linearly in z.  Part k has nlayers[k] layers;
 * npts lists the points of every layer of every part, x and w hold them
 * one after another, y the layer values of all parts, zval one z per part.
 * *total is not read.  The codes and type are those of msplinit_; top and
 * bottom also apply along z. */

/* Creates a spline; the arrays are copied.  Id or -1. */
KIV_API int m3dsplinit_(const int *nz, const int *total, const int *npts, const int *nlayers,
                        const double *x, const double *y, const double *zval, const double *w,
                        const int *top, const int *bottom, const int *xleft_bc,
                        const double *xleft_value, const int *xright_bc, const double *xright_value,
                        const int *left, const int *right, const int *type);
/* w, dw/dx, dw/dy and dw/dz; disc as getmspl_. */
KIV_API double getm3dspl_(const int *id, const double *x, const double *y, const double *z,
                          const int *disc);
KIV_API double getm3dspdx_(const int *id, const double *x, const double *y, const double *z,
                           const int *disc);
KIV_API double getm3dspdy_(const int *id, const double *x, const double *y, const double *z,
                           const int *disc);
KIV_API double getm3dspdz_(const int *id, const double *x, const double *y, const double *z,
                           const int *disc);
/* Frees the spline and its parts: 1, or 0 after a message. */
KIV_API int m3dsplfree_(const int *id);
/* Frees every spline of the family (done at the end of the run too). */
KIV_API void FreeAllMulti3Splines(void);

/* ---- 2-D bilinear splines ------------------------------------------------
 * z(x1, x2) on an nx by ny grid (each >= 2, axes strictly monotonic); the
 * caller's z lists x1 fastest: z(x1[i], x2[j]) = z[i + j * nx].  A cyclic
 * axis needs equal values on its first and last grid lines.  There is no
 * single free: the splines live until the end of the run. */

/* Creates a spline; the arrays are copied.  Id or -1. */
KIV_API int lsplini2_(const int *nx, const int *ny, const double *x1, const double *x2,
                      const double *z, const int *x1_left, const int *x1_right, const int *x2_left,
                      const int *x2_right);
/* Value z; disc 1 enables the discontinuity handling. */
KIV_API double getlspl2_(const int *id, const double *x1, const double *x2, const int *disc);
/* Partial derivatives dz/dx1 and dz/dx2 of the cell in use (0 along an
 * axis whose end value is held); they keep their own memory. */
KIV_API double getlspdx_(const int *id, const double *x1, const double *x2, const int *disc);
KIV_API double getlspdy_(const int *id, const double *x1, const double *x2, const int *disc);
/* Replaces the stored value at grid point (i, j) (increasing axes, 0-based;
 * by value).  A point outside the grid or a non-finite value is fatal. */
KIV_API void setlspl2point_(const int *id, int i, int j, double value);
/* (Re)builds the table of cell slopes along x1 (direction 1) or x2 (2). */
KIV_API void ComputeSlopes2d(const int *id, int direction);
/* Frees every spline of the family (done at the end of the run too). */
KIV_API void FreeLinearSplineSpace2d(void);

#ifdef __cplusplus
}
#endif

/* The same splines by value for the library's own folders, with the
 * messages and results of the exports above; hosts do not see this part. */
#if defined(__cplusplus) && defined(KIV_BUILDING)
namespace kiv::sp1 {

// 1-D linear: creation, the id or -1 (lsplinit_ once its arguments are
// there); value and slope dy/dx with the spline's own memories
// (getlspl_, getlspd_); free (freelsp_).
int CreateLinear(int n, const double *x, const double *y, int left_code, int right_code);
double LinearValue(int id, double x, int disc);
double LinearSlope(int id, double x, int disc);
void FreeLinear(int id);

// What getlspl_ and getlspi_ give at one abscissa.
struct LinearPoint {
  double value, integral;
};
// Value and integral from 0 of linear spline id at x from one interval
// search, started from the caller's memory mem (-2: none) with the
// discontinuity handling of disc; an id that holds no spline ends the run.
// Allocation-free.
LinearPoint LinearRead(int id, double x, int disc, int &mem);

// 1-D cubic: value (getspl_); free (freespl_).
double CubicValue(int id, double x);
void FreeCubic(int id);

// Multi-1-D: creation, the id or -1 (msplinit_ once its arguments are
// there); z and its slope along axis 1 (x) or 2 (y) (getmspl_,
// getmspdx_, getmspdy_); free, true when freed (msplfree_).
int CreateMulti(int nlayers, const int *npts, const double *x, const double *y, const double *z,
                int top, int bottom, int xleft_bc, double xleft_value, int xright_bc,
                double xright_value, int left, int right, int type);
double MultiValue(int id, double x, double y, int disc);
double MultiSlope(int id, int axis, double x, double y, int disc);
bool FreeMulti(int id);

// Multi-multi-1-D: w and its slope along axis 1, 2 or 3 (getm3dspl_,
// getm3dspdx_ ...); free, true when freed (m3dsplfree_).
double Multi3Value(int id, double x, double y, double z, int disc);
double Multi3Slope(int id, int axis, double x, double y, double z, int disc);
bool FreeMulti3(int id);

// 2-D bilinear: z and its slope along axis 1 (x1) or 2 (x2) (getlspl2_,
// getlspdx_, getlspdy_).
double BilinearValue(int id, double x1, double x2, int disc);
double BilinearSlope(int id, int axis, double x1, double x2, int disc);

}  // namespace kiv::sp1
#endif

#endif
