// Evaluation of N-D splines: interval search with folding of cyclic axes
// from a remembered interval, discontinuity locking, constant and
// multilinear evaluation, cubic patches with linear or cubic extrapolation,
// integrals of 1-D constant and linear splines.
#include <climits>
#include <algorithm>
#include <new>

#include "tables/interp.hpp"
#include "tables/kiv_interp.h"
#include "tables/splinend.hpp"

namespace kiv::nd {

// ---- Patch evaluation ------------------------------------------------------
//
// A patch of D axes splits on its last axis into four sub-patches of D-1
// axes, c + j*stride, combined by Horner's rule in t[D-1].

template <int D>
inline double evalP(const double *t, const double *h, const double *c, int stride) {
  if constexpr (D == 0) {
    return c[0];
  } else {
    const int s = stride / 4;
    const double u = t[D - 1];
    const double b0 = evalP<D - 1>(t, h, c, s), b1 = evalP<D - 1>(t, h, c + stride, s),
                 b2 = evalP<D - 1>(t, h, c + 2 * stride, s),
                 b3 = evalP<D - 1>(t, h, c + 3 * stride, s);
    return b0 + u * (b1 + u * (b2 + u * b3));
  }
}

template <int D>
inline double derivP(const double *t, const double *h, const double *c, int stride, int a) {
  if constexpr (D == 0) {
    return 0.0;
  } else {
    if (a > D) return 0.0;
    const int s = stride / 4;
    const double u = t[D - 1];
    if (a == D) {
      const double v1 = evalP<D - 1>(t, h, c + stride, s),
                   v2 = evalP<D - 1>(t, h, c + 2 * stride, s),
                   v3 = evalP<D - 1>(t, h, c + 3 * stride, s);
      return (v1 + u * (2.0 * v2 + 3.0 * u * v3)) / h[D - 1];
    }
    const double d0 = derivP<D - 1>(t, h, c, s, a), d1 = derivP<D - 1>(t, h, c + stride, s, a),
                 d2 = derivP<D - 1>(t, h, c + 2 * stride, s, a),
                 d3 = derivP<D - 1>(t, h, c + 3 * stride, s, a);
    return d0 + u * (d1 + u * (d2 + u * d3));
  }
}

template <int D>
inline double secondP(const double *t, const double *h, const double *c, int stride, int a,
                      int b) {
  if constexpr (D == 0) {
    return 0.0;
  } else {
    const int m = std::max(a, b);
    if (m > D) return 0.0;
    const int s = stride / 4;
    const double u = t[D - 1];
    const double hh = h[D - 1];
    if (m == D) {
      if (a == b) {
        const double v2 = evalP<D - 1>(t, h, c + 2 * stride, s),
                     v3 = evalP<D - 1>(t, h, c + 3 * stride, s);
        return (2.0 * v2 + 6.0 * u * v3) / (hh * hh);
      }
      const int n = std::min(a, b);
      const double d1 = derivP<D - 1>(t, h, c + stride, s, n),
                   d2 = derivP<D - 1>(t, h, c + 2 * stride, s, n),
                   d3 = derivP<D - 1>(t, h, c + 3 * stride, s, n);
      return (d1 + u * (2.0 * d2 + 3.0 * u * d3)) / hh;
    }
    const double s0 = secondP<D - 1>(t, h, c, s, a, b),
                 s1 = secondP<D - 1>(t, h, c + stride, s, a, b),
                 s2 = secondP<D - 1>(t, h, c + 2 * stride, s, a, b),
                 s3 = secondP<D - 1>(t, h, c + 3 * stride, s, a, b);
    return s0 + u * (s1 + u * (s2 + u * s3));
  }
}

double EvalNcubic(const double *t, const double *h, const double *c, int d, int stride) {
  switch (d) {
    case 0: return c[0];
    case 1: return evalP<1>(t, h, c, stride);
    case 2: return evalP<2>(t, h, c, stride);
    case 3: return evalP<3>(t, h, c, stride);
    case 4: return evalP<4>(t, h, c, stride);
    case 5: return evalP<5>(t, h, c, stride);
    default: return 0.0;
  }
}

double EvalNcubicDerivative(const double *t, const double *h, const double *c, int d, int stride,
                            int a) {
  switch (d) {
    case 1: return derivP<1>(t, h, c, stride, a);
    case 2: return derivP<2>(t, h, c, stride, a);
    case 3: return derivP<3>(t, h, c, stride, a);
    case 4: return derivP<4>(t, h, c, stride, a);
    case 5: return derivP<5>(t, h, c, stride, a);
    default: return 0.0;
  }
}

double EvalNcubicSecondDerivative(const double *t, const double *h, const double *c, int d,
                                  int stride, int a, int b) {
  switch (d) {
    case 1: return secondP<1>(t, h, c, stride, a, b);
    case 2: return secondP<2>(t, h, c, stride, a, b);
    case 3: return secondP<3>(t, h, c, stride, a, b);
    case 4: return secondP<4>(t, h, c, stride, a, b);
    case 5: return secondP<5>(t, h, c, stride, a, b);
    default: return 0.0;
  }
}

namespace {

// Position of (r, c) in the packed upper triangle of an n x n matrix.
inline int packed(int r, int c, int n) {
  if (r > c) std::swap(r, c);
  return r * n - r * (r - 1) / 2 + (c - r);
}

// ---- Interval search and locking ------------------------------------------

// The coordinate of a cubic table's cyclic axis folded into [a0, an), as
// interp::fold folds it: x - q*P with q the whole part of the rounded
// quotient (x - a0)/P, then at most one period added back here; anything
// else by fold itself, so the bits are fold's.  hint, the q of an earlier
// read, is kept when |x - a0| lies between |q|*P and (|q|+1)*P with a
// margin far above every rounding: the rounded quotient then has that whole
// part, and no division is needed.
[[gnu::always_inline]] inline double FoldCubic(double x, double a0, double an, int &hint) {
  const double P = an - a0;
  if (x >= a0 && x < an && x - a0 < P) return x;
  const double d0 = x - a0, ad = std::fabs(d0);
  const double m = std::fabs(static_cast<double>(hint));
  const double lo = m * P, hi = (m + 1) * P;
  double q;
  if (P > 0x1p-900 && ad > lo + lo * 0x1p-48 && ad < hi - hi * 0x1p-48) {
    q = d0 < 0 ? -m : m;
  } else {
    q = d0 >= P && d0 < 2 * P ? 1.0 : std::trunc(d0 / P);
    if (std::fabs(q) <= 0x1p30) hint = static_cast<int>(q);
  }
  if (std::fabs(q) < 1e15) {
    const double v = x - q * P;
    if (v >= a0 && v < an) return v;
    if (v < a0) {
      const double w = v + P;
      if (w >= a0 && w < an) return w;
    }
  }
  double y, count;
  interp::fold(x, a0, an, y, count);
  return y;
}

[[gnu::noinline]] double FoldCounted(const NDSpline &s, int k, double v, Memory &mem) {
  const bool held = mem.cycle_set[k] && getofg_() != 0;
  v = interp::foldCounted(v, s.axes[k].data(), s.sizes[k], mem.cycle[k], held);
  mem.cycle_set[k] = true;
  return v;
}

[[gnu::noinline]] int ScanFrom(double v, const double *a, int n, int i) {
  interp::checkInterval(v, a, n, i);
  return i;
}

// Folds the coordinate v of axis k when the axis is cyclic and finds its
// interval i from the remembered one.
[[gnu::always_inline]] inline void LocateAxis(const NDSpline &s, int k, Memory &mem, double &v,
                                              int &i) {
  const double *a = s.axes[k].data();
  const int n = s.sizes[k];
  if (s.cyclic(k))
    v = s.kind == kCubic ? FoldCubic(v, a[0], a[n - 1], mem.cycle[k]) : FoldCounted(s, k, v, mem);
  // The interval of v is unique, so any search finds the same one: the
  // remembered interval, the next one, then a guessed search.  Only a NaN
  // (never inside an interval) keeps the scan from the remembered
  // interval, which places it there.
  i = mem.interval[k];
  if (i >= 0 && i < n - 1 && a[i] <= v && v < a[i + 1]) {
  } else if (i >= 0 && i < n - 2 && a[i + 1] <= v && v < a[i + 2]) {
    ++i;
  } else if (i != -2 && std::isnan(v)) {
    i = ScanFrom(v, a, n, i);
  } else {
    i = interp::bisectScaled(v, a, n, s.scale[k]);
  }
}

void HandleNDInterval(NDSpline &s, const double *x, Memory &mem) {
  for (int k = 0; k < s.dim; ++k) {
    double v = x[s.pivot[k]];
    int i;
    LocateAxis(s, k, mem, v, i);
    s.cur[k] = i;
    s.cur_x[k] = v;
  }
}

void RememberIntervals(NDSpline &s, Memory &mem) {
  for (int k = 0; k < s.dim; ++k) mem.interval[k] = s.cur[k];
}

// While the runtime holds regions, the intervals remembered before stay in
// use and a crossing is reported (a time event on a time axis).  A
// remembered interval that is none (-2) or out of range is replaced.
void HandleNDDisc(NDSpline &s, Memory &mem) {
  if (s.disc != 1 || getofg_() == 0) {
    RememberIntervals(s, mem);
    return;
  }
  bool crossed = false;
  for (int k = 0; k < s.dim; ++k) {
    const int m = mem.interval[k];
    if (m < -1 || m > s.sizes[k] - 1) {
      mem.interval[k] = s.cur[k];
      continue;
    }
    const int j = s.cur[k];
    if (j == m) continue;
    if (s.time_axis[k]) {
      if (j >= 0 && s.cur_x[k] >= s.axes[k][j]) {
        double knot = s.axes[k][j];
        distim_(&knot);
      }
    } else {
      crossed = true;
    }
    s.cur[k] = m;
  }
  if (crossed) {
    int one = 1;
    disloc_(&one);
  }
}

// ---- Constant and linear kinds ----------------------------------------------

void GatherCorners(NDSpline &s) {
  long base = 0;
  for (int k = 0; k < s.dim; ++k) base += s.cur[k] * s.vstride[k];
  const double *v = s.values.data() + base;
  for (int c = 0; c < s.corners; ++c) s.corner[c] = v[s.coff[c]];
}

// Merges the corner pairs along the remaining axis at position p of m.
template <class Op>
void MergeCorners(double *w, int m, int p, Op op) {
  const int stride = 1 << p, half = 1 << (m - 1);
  for (int j = 0; j < half; ++j) {
    const int i0 = ((j >> p) << (p + 1)) | (j & (stride - 1));
    w[j] = op(w[i0], w[i0 | stride]);
  }
}

double MultilinearValue(NDSpline &s) {
  GatherCorners(s);
  for (int k = 0; k < s.dim; ++k) {
    const double *a = s.axes[k].data();
    const int i = s.cur[k];
    const double x = s.cur_x[k], x0 = a[i], x1 = a[i + 1];
    MergeCorners(s.corner, s.dim - k, 0,
                 [&](double y0, double y1) { return lininterp(x, x0, x1, y0, y1); });
  }
  return s.corner[0];
}

// First derivative along axis ax[0] (order 1) or mixed second derivative
// along ax[0] and ax[1] (order 2, distinct axes) of the multilinear
// interpolant in the current cell: the other axes are interpolated first.
double LinearSplineDerivative(NDSpline &s, const int *ax, int order) {
  GatherCorners(s);
  const int a = ax[0], b = order == 2 ? ax[1] : -1;
  int m = s.dim;
  for (int k = 0; k < s.dim; ++k) {
    if (k == a || k == b) continue;
    const int p = (a < k) + (b >= 0 && b < k);
    const double *v = s.axes[k].data();
    const int i = s.cur[k];
    const double x = s.cur_x[k], x0 = v[i], x1 = v[i + 1];
    MergeCorners(s.corner, m--, p,
                 [&](double y0, double y1) { return lininterp(x, x0, x1, y0, y1); });
  }
  auto differ = [&](int k, int p, int mm) {
    const double *v = s.axes[k].data();
    const int i = s.cur[k];
    const double x0 = v[i], x1 = v[i + 1];
    MergeCorners(s.corner, mm, p, [&](double y0, double y1) { return lindiffer(x0, x1, y0, y1); });
  };
  if (order == 2) differ(b, b > a ? 1 : 0, 2);
  differ(a, 0, 1);
  return s.corner[0];
}

void BuildIntegrals(NDSpline &s) {
  const int n = s.sizes[0];
  const double *x = s.axes[0].data();
  const double *y = s.values.data();
  kiv::guardAllocation("ComputeIntegrals", [&] { s.integrals.assign(static_cast<size_t>(n), 0.0); });
  double *I = s.integrals.data();
  const bool linear = s.kind == kLinear;
  auto piece = [&](int i) {  // integral over [x[i], x[i+1]]
    const double h = x[i + 1] - x[i];
    return linear ? h * (y[i] + y[i + 1]) / 2 : h * y[i];
  };
  double y0 = 0.0;  // the spline's value at 0 (linear kind)
  const double zero = 0.0;
  const int j = interp::bisect(zero, x, n);
  if (linear) {
    const int side = j < 0 ? s.codes[0] : j == n - 1 ? s.codes[1] : 1;
    const int extrap = side == 2 ? 2 : 1;
    int none = -2;
    y0 = linter_(&zero, x, y, &n, &none, &extrap);
  }
  auto fromZero = [&](int k) {  // integral from 0 to x[k], 0 lying in the piece of x[k]
    return linear ? x[k] * (y0 + y[k]) / 2 : x[k] * y[k];
  };
  if (j <= 0) {
    I[0] = fromZero(0);
  } else {
    double sum = 0.0;
    for (int i = 0; i < j; ++i) sum += piece(i);
    I[0] = -sum + fromZero(j);
  }
  for (int i = 1; i < n; ++i) I[i] = I[i - 1] + piece(i - 1);
}

double Integral(NDSpline &s, const double *x, const int *flag, const Memory &mem) {
  if (s.integrals.empty()) BuildIntegrals(s);
  const int n = s.sizes[0];
  const double *a = s.axes[0].data();
  const double *y = s.values.data();
  const double *I = s.integrals.data();
  const double raw = x[s.pivot[0]];
  const int i = s.cur[0];
  const bool cyclic = n >= 2 && (s.codes[0] == 3 || s.codes[1] == 3);
  double r;
  if (s.kind == kLinear) {
    if (flag[0] == -1) {
      r = I[0] + (raw - a[0]) * y[0];
    } else if (flag[0] == 1) {
      r = I[n - 1] + (raw - a[n - 1]) * y[n - 1];
    } else {
      const double c = s.cur_x[0];
      r = I[i] + (c - a[i]) * (y[i] + lininterp(c, a[i], a[i + 1], y[i], y[i + 1])) / 2;
    }
  } else {
    const double c = cyclic ? s.cur_x[0] : raw;
    r = I[i] + (c - a[i]) * y[i];
  }
  if (cyclic) {
    // A count past the int range is not the count: the fold's own is.
    double turns = mem.cycle[0];
    if (mem.cycle[0] == INT_MAX || mem.cycle[0] == INT_MIN) {
      double folded;
      interp::fold(raw, a[0], a[n - 1], folded, turns);
    }
    r += turns * (I[n - 1] - I[0]);
  }
  return r;
}

// ---- Cubic kind ---------------------------------------------------------------

struct Cell {
  double t[kMaxCubicDim], h[kMaxCubicDim], delta[kMaxCubicDim];
  bool flag[kMaxCubicDim];  // linearly extrapolated axis
  bool any;
  const double *c;
};

// P(t), continued linearly along the flagged axes.
template <int D>
inline double CellValue(const Cell &q) {
  constexpr int S = D > 0 ? 1 << (2 * (D - 1)) : 1;
  double v = evalP<D>(q.t, q.h, q.c, S);
  if (q.any)
    for (int k = 0; k < D; ++k)
      if (q.flag[k]) v += derivP<D>(q.t, q.h, q.c, S, k + 1) * q.delta[k];
  return v;
}

template <int D>
double CubicModes(const NDSpline &s, const Cell &q, int mode, const int *dirs, double *out) {
  constexpr int S = D > 0 ? 1 << (2 * (D - 1)) : 1;
  const double *t = q.t, *h = q.h, *c = q.c;
  auto first = [&](int a) {  // derivative along internal axis a
    double v = derivP<D>(t, h, c, S, a + 1);
    if (q.any && !q.flag[a])
      for (int k = 0; k < D; ++k)
        if (q.flag[k]) v += secondP<D>(t, h, c, S, a + 1, k + 1) * q.delta[k];
    return v;
  };
  auto second = [&](int a, int b) {
    return q.flag[a] && q.flag[b] ? 0.0 : secondP<D>(t, h, c, S, a + 1, b + 1);
  };
  auto value = [&] { return CellValue<D>(q); };
  auto along = [&](int dir) {
    const int a = s.ipivot[dir - 1];
    return a < D ? first(a) : 0.0;
  };
  switch (mode) {
    case kValue: return value();
    case kFirst: return along(dirs[0]);
    case kValueFirst: *out = along(dirs[0]); return value();
    case kSecond: {
      const int a = s.ipivot[dirs[0] - 1], b = s.ipivot[dirs[1] - 1];
      return a < D && b < D ? second(a, b) : 0.0;
    }
    case kGradient:
      std::fill(out, out + s.full_dim, 0.0);
      for (int k = 0; k < D; ++k) out[s.pivot[k]] = first(k);
      return 0.0;
    case kHessian:
      std::fill(out, out + s.full_dim * (s.full_dim + 1) / 2, 0.0);
      for (int i = 0; i < D; ++i)
        for (int j = i; j < D; ++j) out[packed(s.pivot[i], s.pivot[j], s.full_dim)] = second(i, j);
      return 0.0;
    default:
      return 0.0;
  }
}

// The whole cubic read with the number of axes fixed, so that the one-axis
// tables by angle take no loop or cell bookkeeping beyond their own axis.
template <int D>
[[gnu::noinline]] double CubicEval(NDSpline &s, const double *x, int mode, const int *dirs,
                                   Memory &mem, double *out) {
  // Only the second-derivative modes lock intervals; the others remember
  // each interval as soon as it is found (stored one by one: a copy of the
  // whole array would read back stores not yet done).
  const bool lockable = mode == kSecond || mode == kHessian;
  double xs[D];
  int is[D];
  for (int k = 0; k < D; ++k) {
    xs[k] = x[s.pivot[k]];
    LocateAxis(s, k, mem, xs[k], is[k]);
    if (lockable)
      s.cur[k] = is[k], s.cur_x[k] = xs[k];
    else
      mem.interval[k] = is[k];
  }
  if (lockable) {
    HandleNDDisc(s, mem);
    for (int k = 0; k < D; ++k) is[k] = s.cur[k];
  }
  Cell q;
  q.any = false;
  long rank = 0;
  for (int k = 0; k < D; ++k) {
    const double *a = s.axes[k].data();
    const int n = s.sizes[k];
    int i = is[k];
    const double xk = xs[k];
    double c = xk;
    bool fl = false;
    if (i < 0) {
      i = 0;
      if (s.ext[2 * k] == 1) fl = true, c = a[0];
    } else if (i >= n - 1) {
      i = n - 2;
      if (s.ext[2 * k + 1] == 1) fl = true, c = a[n - 1];
    }
    s.cur[k] = i;
    s.cur_x[k] = c;
    q.h[k] = a[i + 1] - a[i];
    q.t[k] = (c - a[i]) / q.h[k];
    q.delta[k] = xk - c;
    q.flag[k] = fl;
    q.any = q.any || fl;
    rank += i * s.vstride[k];
  }
  q.c = s.patches[static_cast<size_t>(rank)];
  const double r = mode == kValue ? CellValue<D>(q) : CubicModes<D>(s, q, mode, dirs, out);
  s.corner[0] = r;
  return r;
}

}  // namespace

double LinearSplineEval(NDSpline &s, const double *x, int mode, const int *dirs, Memory &mem,
                        double *out) {
  HandleNDInterval(s, x, mem);
  const int dim = s.dim;
  for (int k = 0; k < dim; ++k) {
    const int n = s.sizes[k];
    if (s.cur[k] == -1 && s.codes[2 * k] != 2)
      s.cur[k] = 0;
    else if (s.cur[k] == n - 1 && s.codes[2 * k + 1] != 2)
      s.cur[k] = n < 3 ? 0 : n - 2;
  }
  HandleNDDisc(s, mem);
  int flag[kMaxDim];
  for (int k = 0; k < dim; ++k) {
    const int n = s.sizes[k];
    flag[k] = 0;
    if (s.cur[k] == -1) {
      s.cur[k] = 0;
      flag[k] = -1;
      s.cur_x[k] = s.axes[k][0];
    } else if (s.kind == kLinear && s.cur[k] == n - 1) {
      s.cur[k] = n < 3 ? 0 : n - 2;
      flag[k] = 1;
      s.cur_x[k] = s.axes[k][n - 1];
    }
  }
  const bool linear = s.kind == kLinear;
  const int fd = s.full_dim;
  double r = 0.0;
  switch (mode) {
    case kValue:
      if (linear) {
        r = MultilinearValue(s);
      } else {
        long base = 0;
        for (int k = 0; k < dim; ++k) base += s.cur[k] * s.vstride[k];
        r = s.values[static_cast<size_t>(base)];
      }
      break;
    case kFirst: {
      const int a = s.ipivot[dirs[0] - 1];
      if (linear && a < dim && !flag[a]) r = LinearSplineDerivative(s, &a, 1);
      break;
    }
    case kSecond: {
      const int ab[2] = {s.ipivot[dirs[0] - 1], s.ipivot[dirs[1] - 1]};
      if (linear && ab[0] < dim && ab[1] < dim && ab[0] != ab[1] && !flag[ab[0]] && !flag[ab[1]])
        r = LinearSplineDerivative(s, ab, 2);
      break;
    }
    case kGradient:
      std::fill(out, out + fd, 0.0);
      if (linear)
        for (int k = 0; k < dim; ++k)
          if (!flag[k]) out[s.pivot[k]] = LinearSplineDerivative(s, &k, 1);
      return 0.0;
    case kHessian:
      std::fill(out, out + fd * (fd + 1) / 2, 0.0);
      if (linear)
        for (int i = 0; i < dim; ++i)
          for (int j = i + 1; j < dim; ++j)
            if (!flag[i] && !flag[j]) {
              const int ab[2] = {i, j};
              out[packed(s.pivot[i], s.pivot[j], fd)] = LinearSplineDerivative(s, ab, 2);
            }
      return 0.0;
    case kIntegral:
      r = Integral(s, x, flag, mem);
      break;
    default:
      break;
  }
  s.corner[0] = r;
  return r;
}

double CubicSplineEval(NDSpline &s, const double *x, int mode, const int *dirs, Memory &mem,
                       double *out) {
  switch (s.dim) {
    case 1: return CubicEval<1>(s, x, mode, dirs, mem, out);
    case 2: return CubicEval<2>(s, x, mode, dirs, mem, out);
    case 3: return CubicEval<3>(s, x, mode, dirs, mem, out);
    case 4: return CubicEval<4>(s, x, mode, dirs, mem, out);
    default: return CubicEval<5>(s, x, mode, dirs, mem, out);
  }
}

int SplineExtrapolState(NDSpline &s, const double *x) {
  const bool held = getofg_() != 0;
  int result = 0;
  for (int k = 0; k < s.dim; ++k) {
    const double first = s.axes[k].front(), last = s.axes[k].back();
    const double v = x[s.pivot[k]];
    const int before = s.out_state[k];
    int now = before;
    if (held) {
      int cond = (before == 1 && v <= last) || (before == 0 && (v > last || v < first)) ||
                 (before == -1 && v >= first);
      disloc_(&cond);
    } else {
      now = v > last ? 1 : v < first ? -1 : 0;
    }
    if (now != 0 && now != before) result = 1;
    s.out_state[k] = now;
  }
  return result;
}

double SplineEvalAt(int id, const double *x, int mode, int dir, Memory &mem) {
  NDSpline *s = FindSpline(id);
  return s ? SplineEval(*s, x, mode, &dir, mem, nullptr) : 0.0;
}

}  // namespace kiv::nd
