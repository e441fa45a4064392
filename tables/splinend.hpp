// Inside view of the N-D splines: the record, the registry, the evaluation
// with a caller-owned interval memory, the Hermite patch evaluation, the
// slope routines and the constant patch matrices.
//
// Internal axes: the record stores its axes in "internal" order; internal
// axis k is the caller's axis pivot[k] and caller axis c is internal axis
// ipivot[c].  The first `dim` internal axes are the effective ones (two or
// more points, except a lone single-point axis of a constant spline).
#pragma once

#include <memory>
#include <vector>

#include "solver/sparse.hpp"
#include "tables/kiv_splinend.h"

namespace kiv::nd {

inline constexpr int kMaxCubicDim = 5;
inline constexpr int kPatchBlock = 1000;  // patches per storage block

enum Kind { kConstant = 0, kLinear = 1, kCubic = 2 };
enum Mode {
  kIntegral = -1,
  kValue = 0,
  kFirst = 1,
  kSecond = 2,
  kGradient = 3,
  kHessian = 4,
  kValueFirst = 5,  // value returned, first derivative along dirs[0] into out[0]
};

struct NDSpline {
  int id = -1;
  int kind = kLinear;
  int method = 1;
  int dim = 0;       // effective axes
  int full_dim = 0;  // axes as the caller gives them
  int sizes[kMaxDim] = {};
  std::vector<double> axes[kMaxDim];  // strictly increasing
  std::vector<double> values;         // internal axis 0 fastest
  int codes[2 * kMaxDim] = {};        // left, right per internal axis
  int pivot[kMaxDim] = {};
  int ipivot[kMaxDim] = {};
  int corners = 1;                     // 2^dim
  long vstride[kMaxDim] = {};          // value strides
  double scale[kMaxDim] = {};          // (n - 1) / span of each axis: search guesses
  long coff[1 << kMaxDim] = {};        // value offset of each cell corner
  int pstride[kMaxDim] = {};           // 4^k
  int disc = 0;                        // 1: report knot crossings
  Memory memory;
  int time_axis[kMaxDim] = {};
  int out_state[kMaxDim] = {};         // -1 below, 0 inside, 1 above
  double corner[1 << kMaxDim] = {};    // cell corner values; [0] the last result
  int cur[kMaxDim] = {};               // current intervals
  double cur_x[kMaxDim] = {};          // coordinates after wrapping and clamping
  std::vector<double> integrals;       // running integral per knot, on demand
  // Cubic kind.
  int ext[2 * kMaxDim] = {};           // extrapolation mode per axis side
  std::vector<double *> patches;       // per grid point: its cell's 4^dim coefficients
  std::vector<std::vector<double>> blocks;  // patch storage, kPatchBlock patches each

  bool cyclic(int k) const { return codes[2 * k] == 3 && sizes[k] >= 2; }
  long points() const {
    long n = 1;
    for (int k = 0; k < full_dim; ++k) n *= sizes[k];
    return n;
  }
  // Resets interval memories, cycle counts and current intervals.
  void forget();
  // Recomputes strides, corner count and corner offsets from the sizes.
  void layout();
};

// Calls f(p, index) for every grid point p in storage order, index being its
// multi-index over the full_dim stored axes.
template <class F>
void ForEachPoint(const NDSpline &s, F f) {
  int idx[kMaxDim] = {};
  const long n = s.points();
  const int run = s.full_dim > 0 ? s.sizes[0] : 1;  // points along axis 0
  for (long p = 0; p < n;) {
    for (idx[0] = 0; idx[0] < run; ++idx[0], ++p) f(p, static_cast<const int *>(idx));
    idx[0] = 0;
    for (int k = 1; k < s.full_dim; ++k) {
      if (++idx[k] < s.sizes[k]) break;
      idx[k] = 0;
    }
  }
}

// Calls f(p) for every grid point p whose index is 0 on the axes of
// axis_mask, in storage order: the other axes counted through, those skipped.
template <class F>
void ForEachLineStart(const NDSpline &s, int axis_mask, F f) {
  if (s.points() == 0) return;
  int idx[kMaxDim] = {};
  for (;;) {
    long p = 0;
    for (int k = 0; k < s.full_dim; ++k) p += idx[k] * s.vstride[k];
    f(p);
    int k = 0;
    for (; k < s.full_dim; ++k) {
      if (axis_mask >> k & 1) continue;
      if (++idx[k] < s.sizes[k]) break;
      idx[k] = 0;
    }
    if (k == s.full_dim) return;
  }
}

// ---- Registry (splinesND.cpp) ---------------------------------------------

// The spline of that id, or nullptr when the id is out of range or freed.
NDSpline *FindSpline(int id);
int NumSplines();
// Takes the record into the first free slot (or a new one); its id, or -1
// after a message when the registry cannot grow (existing splines kept).
int RegisterSpline(std::unique_ptr<NDSpline> s);
// Applies an axis permutation: internal axis k becomes the axis stored at
// perm[k]; values are transposed, pivots composed.
void ReorderSplineAxes(NDSpline &s, const int *perm);

// ---- Evaluation (spline_eval_ND.cpp) --------------------------------------

// x in caller order (full_dim entries).  Modes: value, first derivative
// along caller direction dirs[0] (1-based), second derivative along
// dirs[0], dirs[1], gradient into out[full_dim], packed Hessian into
// out[full_dim (full_dim + 1) / 2], integral (constant and linear kinds of
// one effective axis).  mem is the interval memory to search from and
// update.  Allocation-free except the integral table on first use.
double LinearSplineEval(NDSpline &s, const double *x, int mode, const int *dirs, Memory &mem,
                        double *out);
double CubicSplineEval(NDSpline &s, const double *x, int mode, const int *dirs, Memory &mem,
                       double *out);
inline double SplineEval(NDSpline &s, const double *x, int mode, const int *dirs, Memory &mem,
                         double *out) {
  if (s.kind == kCubic) return CubicSplineEval(s, x, mode, dirs, mem, out);
  if (mode != kValueFirst) return LinearSplineEval(s, x, mode, dirs, mem, out);
  const double v = LinearSplineEval(s, x, kValue, dirs, mem, out);
  *out = LinearSplineEval(s, x, kFirst, dirs, mem, out);
  return v;
}
// Out-of-range tracking of splextrapol_.
int SplineExtrapolState(NDSpline &s, const double *x);

// Value and partial derivatives of a patch of d axes (d <= 5) at local
// coordinates t[d] in a cell of widths h[d]; stride is 4^(d-1) for a whole
// patch.  Axes a, b are 1-based; an axis above d gives 0.  Derivatives are
// with respect to the real coordinates.
double EvalNcubic(const double *t, const double *h, const double *c, int d, int stride);
double EvalNcubicDerivative(const double *t, const double *h, const double *c, int d, int stride,
                            int a);
double EvalNcubicSecondDerivative(const double *t, const double *h, const double *c, int d,
                                  int stride, int a, int b);

inline double lininterp(double x, double x0, double x1, double y0, double y1) {
  if (y1 == y0) return y0;
  return (y1 * (x0 - x) - y0 * (x1 - x)) / (x0 - x1);
}
inline double lindiffer(double x0, double x1, double y0, double y1) {
  return (y1 - y0) / (x1 - x0);
}

// ---- Cubic construction (spline_creat_ND.cpp) -------------------------------

// Slopes of one grid line: n abscissas x, values y and slopes d (both with
// stride s), boundary codes lc and rc; d is written in place (given end
// slopes are read from it where a code is 2).  scratch holds at least
// 4 (n + 3) doubles.
using LineSlopes = void (*)(const double *x, const double *y, double *d, long s, int n, int lc,
                            int rc, double *scratch);
void SplineCub(const double *x, const double *y, double *d, long s, int n, int lc, int rc,
               double *scratch);
void Akimaderiv(const double *x, const double *y, double *d, long s, int n, int lc, int rc,
                double *scratch);
void ConstrainedCubicderiv(const double *x, const double *y, double *d, long s, int n, int lc,
                           int rc, double *scratch);
void MonotonicityPreservingderiv(const double *x, const double *y, double *d, long s, int n,
                                 int lc, int rc, double *scratch);

// Builds every patch of a cubic spline whose patch storage is in place.
// false when the derivative arrays cannot be allocated.
bool NCubicSpline(NDSpline &s, const double *end_slopes);
// One-axis alternatives that rewrite the patches of a cubic spline of one
// effective axis: from the second-derivative form of the C2 spline (end
// codes 1 natural, 2 given slope, 3 cyclic, 4 equal second derivatives), or
// from the slopes of the spline's own method (2, 3 or 4).  end_slopes is
// read where a code is 2 (left, right of the caller's axis).  false, with
// nothing changed, for any other spline.
bool CubicSplineCoeffs(NDSpline &s, const double *end_slopes);
bool Akima1DCoeffs(NDSpline &s, const double *end_slopes);
// The 2^dim values at the corners of the cell whose lower corner has the
// intervals cell[0..dim-1]; corner c lies at the upper end of axis k when
// bit k of c is set.
void fill_array_(const NDSpline &s, const int *cell, double *corner);
// Number of subsets of k axes among d.
int NumCrossDerivatives(int d, int k);

// ---- Constant patch matrices (spline_matrix_1d.cpp .. spline_matrix_5d.cpp)

// Rows: corner data (derivative sets in order empty, singles, pairs, ...
// lexicographic, each over the 2^d corners); columns: patch coefficients.
SparseMatrix *get_DA1_matrix();
SparseMatrix *get_DA2_matrix();
SparseMatrix *get_DA3_matrix();
SparseMatrix *get_DA4_matrix();
SparseMatrix *get_DA5_matrix();
void free_DA1_matrix();
void free_DA2_matrix();
void free_DA3_matrix();
void free_DA4_matrix();
void free_DA5_matrix();
// The matrix of d axes (1..5), built on first need; nullptr otherwise.
SparseMatrix *GetPatchMatrix(int d);
void FreePatchMatrices();
// A row-sparse matrix object over constant rows.
SparseMatrix *ConstantPatchMatrix(int rows, const int *counts, const int *const *cols,
                                  const double *const *vals);

}  // namespace kiv::nd
