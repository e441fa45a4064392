// Construction of cubic N-D splines: first derivatives along every axis by
// one of four slope methods, mixed derivatives by repeated 1-D spline
// passes, and the Hermite patch coefficients of every cell.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "solver/kiv_solver.h"
#include "tables/splinend.hpp"
#include "tables/splines1d.hpp"

namespace kiv::nd {

int NumCrossDerivatives(int d, int k) {
  if (k < 0 || k > d) return 0;
  long r = 1;
  for (int i = 1; i <= k; ++i) r = r * (d - k + i) / i;
  return static_cast<int>(r);
}

// ---- Slopes of one grid line -------------------------------------------------

namespace {

struct Line {
  const double *x, *y;
  double *d;
  long s;
  double Y(int i) const { return y[i * s]; }
  double &D(int i) const { return d[i * s]; }
  double h(int i) const { return x[i + 1] - x[i]; }
  double m(int i) const { return (Y(i + 1) - Y(i)) / (x[i + 1] - x[i]); }
};

// Periodic system of the C2 spline: unknowns d[0..n-2], row i coupling the
// interval before it (the last one for row 0) and the one after it.
void CyclicSplineCub(const Line &L, int n, double *w) {
  const int m = n - 1;
  double *r = w, *B = w + n, *U = w + 2 * n, *V = w + 3 * n;
  auto q = [&](int i) { return (L.Y(i + 1) - L.Y(i)) * (r[i] * r[i]); };
  auto prev = [&](int i) { return i == 0 ? m - 1 : i - 1; };
  r[0] = 1.0 / L.h(0);
  r[m - 1] = 1.0 / L.h(m - 1);  // the others as the elimination reaches them
  auto diag = [&](int i) { return 2.0 * (r[prev(i)] + r[i]); };
  auto rhs = [&](int i) { return 3.0 * (q(prev(i)) + q(i)); };
  if (m == 2) {
    const double off = r[0] + r[1];  // both neighbours of each row are the other unknown
    const double b0 = diag(0), b1 = diag(1), r0 = rhs(0), r1 = rhs(1);
    const double det = b0 * b1 - off * off;
    L.D(0) = (r0 * b1 - off * r1) / det;
    L.D(1) = (b0 * r1 - off * r0) / det;
    L.D(n - 1) = L.D(0);
    return;
  }
  // Rows 0..m-2 give d = U - V * d[m-1]; row m-1 then gives d[m-1].  Each
  // row is set up as the elimination reaches it, which keeps that work off
  // the elimination's chain of divisions.
  B[0] = diag(0);
  U[0] = rhs(0);
  V[0] = r[m - 1];
  for (int i = 1; i < m - 1; ++i) {
    r[i] = 1.0 / L.h(i);
    B[i] = diag(i);
    U[i] = rhs(i);
    V[i] = i == m - 2 ? 0.0 + r[m - 2] : 0.0;
    const double f = r[i - 1] / B[i - 1];
    B[i] -= f * r[i - 1];
    U[i] -= f * U[i - 1];
    V[i] -= f * V[i - 1];
  }
  U[m - 2] /= B[m - 2];
  V[m - 2] /= B[m - 2];
  for (int i = m - 3; i >= 0; --i) {
    U[i] = (U[i] - r[i] * U[i + 1]) / B[i];
    V[i] = (V[i] - r[i] * V[i + 1]) / B[i];
  }
  const double a = r[m - 2], c = r[m - 1];
  const double last = (rhs(m - 1) - a * U[m - 2] - c * U[0]) / (diag(m - 1) - a * V[m - 2] - c * V[0]);
  for (int i = 0; i < m - 1; ++i) L.D(i) = U[i] - V[i] * last;
  L.D(m - 1) = last;
  L.D(n - 1) = L.D(0);
}

// Interior slopes by a local mean of the neighbouring secants (point 0 too
// on a cyclic line), ends by the method's own rule unless given.
template <class Mean, class End>
void LocalSlopes(const Line &L, int n, int lc, int rc, Mean mean, End end) {
  if (n < 2) return;
  if (n == 2) {
    L.D(0) = L.D(1) = L.m(0);
    return;
  }
  const bool cyclic = lc == 3;
  for (int i = cyclic ? 0 : 1; i <= n - 2; ++i) {
    const int p = i == 0 ? n - 2 : i - 1;
    L.D(i) = mean(L.m(p), L.m(i), L.h(p), L.h(i));
  }
  if (!cyclic && lc != 2) L.D(0) = end(L.m(0), L.m(1), L.h(0), L.h(1), L.D(1));
  if (rc == 3 || cyclic)
    L.D(n - 1) = L.D(0);
  else if (rc != 2)
    L.D(n - 1) = end(L.m(n - 2), L.m(n - 3), L.h(n - 2), L.h(n - 3), L.D(n - 2));
}

// Parabola through three conditions, in powers of (s - origin).
struct Parabola {
  double o, c[3];
  double operator()(double s) const {
    const double u = s - o;
    return c[0] + u * (c[1] + u * c[2]);
  }
};

// Through (x[i], y[i]) for the three given points.
Parabola ThroughPoints(const double *px, const double *py, double origin) {
  double A[9], b[3];
  for (int i = 0; i < 3; ++i) {
    const double u = px[i] - origin;
    A[i] = 1.0;
    A[3 + i] = u;
    A[6 + i] = u * u;
    b[i] = py[i];
  }
  Parabola p{origin, {0, 0, 0}};
  int three = 3;
  matsol_(&three, A, b, p.c);
  return p;
}

}  // namespace

void SplineCub(const double *x, const double *y, double *d, long s, int n, int lc, int rc,
               double *w) {
  const Line L{x, y, d, s};
  if (n < 2) return;
  if (n == 2 && lc != 2) {
    L.D(0) = L.D(1) = L.m(0);
    return;
  }
  if (lc == 3 || rc == 3) {
    CyclicSplineCub(L, n, w);
    return;
  }
  double *r = w, *B = w + n, *R = w + 2 * n;
  for (int i = 0; i < n - 1; ++i) r[i] = 1.0 / L.h(i);
  auto q = [&](int i) { return (L.Y(i + 1) - L.Y(i)) * (r[i] * r[i]); };
  const int lo = lc == 2 ? 1 : 0, hi = rc == 2 ? n - 2 : n - 1;
  if (lo > hi) return;
  for (int i = lo; i <= hi; ++i) {
    if (i == 0) {
      B[i] = lc == 4 ? r[0] : 2.0 * r[0];
      R[i] = lc == 4 ? 2.0 * q(0) : 3.0 * q(0);
    } else if (i == n - 1) {
      B[i] = rc == 4 ? r[n - 2] : 2.0 * r[n - 2];
      R[i] = rc == 4 ? 2.0 * q(n - 2) : 3.0 * q(n - 2);
    } else {
      B[i] = 2.0 * (r[i - 1] + r[i]);
      R[i] = 3.0 * (q(i - 1) + q(i));
    }
  }
  if (lc == 2) R[lo] -= r[0] * L.D(0);
  if (rc == 2) R[hi] -= r[n - 2] * L.D(n - 1);
  // Row i: r[i-1] d[i-1] + B[i] d[i] + r[i] d[i+1] = R[i].
  for (int i = lo + 1; i <= hi; ++i) {
    const double f = r[i - 1] / B[i - 1];
    B[i] -= f * r[i - 1];
    R[i] -= f * R[i - 1];
  }
  L.D(hi) = R[hi] / B[hi];
  for (int i = hi - 1; i >= lo; --i) L.D(i) = (R[i] - r[i] * L.D(i + 1)) / B[i];
}

void Akimaderiv(const double *x, const double *y, double *d, long s, int n, int lc, int rc,
                double *w) {
  const Line L{x, y, d, s};
  if (n < 2) return;
  if (n == 2) {
    L.D(0) = L.D(1) = L.m(0);
    return;
  }
  double *m = w + 2;  // secants m[-2] .. m[n]
  for (int i = 0; i < n - 1; ++i) m[i] = L.m(i);
  const bool cyclic = lc == 3;
  if (cyclic) {
    m[-1] = (L.Y(0) - L.Y(n - 2)) / (x[n - 1] - x[n - 2]);
    m[-2] = (L.Y(n - 2) - L.Y(n - 3)) / (x[n - 2] - x[n - 3]);
  } else {
    Parabola p;
    if (lc == 2) {
      // Through the first two points with the given slope at the first.
      const double u = x[1] - x[0];
      double A[9] = {1.0, 1.0, 0.0, 0.0, u, 1.0, 0.0, u * u, 0.0};
      double b[3] = {L.Y(0), L.Y(1), L.D(0)};
      p = Parabola{x[0], {0, 0, 0}};
      int three = 3;
      matsol_(&three, A, b, p.c);
    } else {
      const double py[3] = {L.Y(0), L.Y(1), L.Y(2)};
      p = ThroughPoints(x, py, x[0]);
    }
    const double s1 = x[0] + x[1] - x[2], s2 = 2.0 * x[0] - x[2];
    m[-1] = (L.Y(0) - p(s1)) / (x[0] - s1);
    m[-2] = (p(s1) - p(s2)) / (s1 - s2);
  }
  auto akima = [&](int i) {
    const double w1 = std::fabs(m[i + 1] - m[i]), w2 = std::fabs(m[i - 1] - m[i - 2]);
    return w1 + w2 > 0 ? (w1 * m[i - 1] + w2 * m[i]) / (w1 + w2) : (m[i - 1] + m[i]) / 2;
  };
  for (int i = lc == 2 ? 1 : 0; i <= n - 3; ++i) L.D(i) = akima(i);
  double t1, z1, t2, z2;
  if (cyclic) {
    t1 = x[n - 1] + (x[1] - x[0]);
    z1 = L.Y(1);
    t2 = x[n - 1] + (x[2] - x[0]);
    z2 = L.Y(2);
  } else {
    const double py[3] = {L.Y(n - 3), L.Y(n - 2), L.Y(n - 1)};
    const Parabola p = ThroughPoints(x + n - 3, py, x[n - 1]);
    t1 = x[n - 2] + (x[n - 1] - x[n - 3]);
    t2 = 2.0 * x[n - 1] - x[n - 3];
    z1 = p(t1);
    z2 = p(t2);
  }
  m[n - 1] = (z1 - L.Y(n - 1)) / (t1 - x[n - 1]);
  m[n] = (z2 - z1) / (t2 - t1);
  L.D(n - 2) = akima(n - 2);
  if (rc != 2) L.D(n - 1) = akima(n - 1);
}

void ConstrainedCubicderiv(const double *x, const double *y, double *d, long s, int n, int lc,
                           int rc, double *) {
  LocalSlopes(
      Line{x, y, d, s}, n, lc, rc,
      [](double mp, double mi, double, double) {
        return mp * mi <= 0 ? 0.0 : 2.0 * mp * mi / (mp + mi);
      },
      [](double m0, double, double, double, double d1) { return (3.0 * m0 - d1) / 2; });
}

void MonotonicityPreservingderiv(const double *x, const double *y, double *d, long s, int n,
                                 int lc, int rc, double *) {
  LocalSlopes(
      Line{x, y, d, s}, n, lc, rc,
      [](double mp, double mi, double hp, double hi) {
        if (mp * mi <= 0) return 0.0;
        return 3.0 * (hp + hi) * mp * mi / ((2.0 * hp + hi) * mp + (hp + 2.0 * hi) * mi);
      },
      [](double m0, double m1, double h0, double h1, double) {
        const double e = ((2.0 * h0 + h1) * m0 - h0 * m1) / (h0 + h1);
        if (e * m0 <= 0) return 0.0;
        if (m0 * m1 <= 0 && std::fabs(e) > 3.0 * std::fabs(m0)) return 3.0 * m0;
        return e;
      });
}

// ---- Derivative arrays and patches --------------------------------------------

namespace {

// The axis subsets of d axes, by size and then in lexicographic order.
void Subsets(int d, int size, int start, int mask, std::vector<int> &out) {
  if (size == 0) {
    out.push_back(mask);
    return;
  }
  for (int i = start; i <= d - size; ++i) Subsets(d, size - 1, i + 1, mask | 1 << i, out);
}

std::vector<int> SubsetOrder(int d) {
  std::vector<int> out;
  for (int size = 0; size <= d; ++size) Subsets(d, size, 0, 0, out);
  return out;
}

struct Builder {
  NDSpline &s;
  long n;                       // grid points
  std::vector<double> D[1 << kMaxCubicDim];  // by axis subset
  double *scratch;

  void RecursiveCubicDuDx(int k, const double *end_slopes, LineSlopes slopes) {
    double *d1 = D[1 << k].data();
    const long st = s.vstride[k];
    const int m = s.sizes[k], lc = s.codes[2 * k], rc = s.codes[2 * k + 1];
    const double left = end_slopes ? end_slopes[2 * s.pivot[k]] : 0.0;
    const double right = end_slopes ? end_slopes[2 * s.pivot[k] + 1] : 0.0;
    ForEachLineStart(s, 1 << k, [&](long p) {
      if (lc == 2) d1[p] = left;
      if (rc == 2) d1[p + (m - 1) * st] = right;
      slopes(s.axes[k].data(), s.values.data() + p, d1 + p, st, m, lc, rc, scratch);
    });
  }

  // dest: derivative along b of A inside, with the derivative along a of B
  // on the two end lines of b as end slopes.
  void RecursiveCubicD3uDx(const double *A, const double *B, double *dest, int a, int b) {
    const long sa = s.vstride[a], sb = s.vstride[b];
    const int na = s.sizes[a], nb = s.sizes[b];
    const int code = s.cyclic(a) ? 3 : 1;
    ForEachLineStart(s, 1 << a | 1 << b, [&](long p) {
      for (const long base : {p, p + (nb - 1) * sb})
        SplineCub(s.axes[a].data(), B + base, dest + base, sa, na, code, code, scratch);
      for (int ja = 0; ja < na; ++ja) {
        const long base = p + ja * sa;
        SplineCub(s.axes[b].data(), A + base, dest + base, sb, nb, 2, 2, scratch);
      }
    });
  }

  // The product with the one-axis patch matrix written out: its inputs
  // y0, y1, h d0, h d1 taken in the matrix's row order into sums from zero,
  // as the general product forms them, without its indexing.
  void OneAxisPatches() {
    const double *x = s.axes[0].data(), *y = s.values.data(), *dy = D[1].data();
    for (int i = 0; i + 1 < s.sizes[0]; ++i) {
      const double h = x[i + 1] - x[i];
      const double y0 = y[i], y1 = y[i + 1], d0 = dy[i] * h, d1 = dy[i + 1] * h;
      double *c = s.patches[static_cast<size_t>(i)];
      c[0] = 0.0 + y0;
      c[1] = 0.0 + d0;
      c[2] = 0.0 + -3.0 * y0 + 3.0 * y1 + -2.0 * d0 + -1.0 * d1;
      c[3] = 0.0 + 2.0 * y0 + -2.0 * y1 + d0 + d1;
    }
  }

  void RecursiveBuildCk(const std::vector<int> &order) {
    const int d = s.dim;
    SparseMatrix *M = GetPatchMatrix(d);
    if (!M) {
      kivfprintf(stderr, "coef_Ncubic error: undertermined dimension (%d)\n", d);
      return;
    }
    if (d == 1 && s.points() == s.sizes[0]) {
      OneAxisPatches();
      return;
    }
    std::vector<double> F(static_cast<size_t>(1) << (2 * d));
    const int corners = s.corners;
    double h[kMaxCubicDim];
    ForEachPoint(s, [&](long p, const int *idx) {
      for (int k = 0; k < d; ++k) {
        if (idx[k] > s.sizes[k] - 2) return;  // no cell above the last point
        h[k] = s.axes[k][idx[k] + 1] - s.axes[k][idx[k]];
      }
      for (size_t b = 0; b < order.size(); ++b) {
        const int mask = order[b];
        const double *src = mask ? D[mask].data() : s.values.data();
        double scale = 1.0;
        for (int k = 0; k < d; ++k)
          if (mask >> k & 1) scale *= h[k];
        double *f = F.data() + b * corners;
        for (int c = 0; c < corners; ++c) f[c] = src[p + s.coff[c]] * scale;
      }
      SparseMatVectMultiply(M, F.data(), s.patches[static_cast<size_t>(p)]);
    });
  }
};

}  // namespace

bool NCubicSpline(NDSpline &s, const double *end_slopes) {
  const int d = s.dim;
  if (d > kMaxCubicDim) {
    kivfprintf(stderr, "coef_Ncubic error: undertermined dimension (%d)\n", d);
    return true;
  }
  int largest = 0;
  for (int k = 0; k < d; ++k) largest = std::max(largest, s.sizes[k]);
  std::vector<double> scratch;
  kiv::guardAllocation("NCubicSpline",
                       [&] { scratch.assign(static_cast<size_t>(4) * static_cast<size_t>(largest + 3), 0.0); });
  Builder b{s, s.points(), {}, scratch.data()};
  const std::vector<int> order = SubsetOrder(d);
  try {
    for (const int mask : order)
      if (mask) b.D[mask].assign(static_cast<size_t>(b.n), 0.0);
  } catch (const std::bad_alloc &) {
    return false;
  }
  static const LineSlopes methods[4] = {SplineCub, Akimaderiv, ConstrainedCubicderiv,
                                        MonotonicityPreservingderiv};
  const LineSlopes slopes = methods[s.method >= 1 && s.method <= 4 ? s.method - 1 : 0];
  for (int k = 0; k < d; ++k) b.RecursiveCubicDuDx(k, end_slopes, slopes);
  for (const int mask : order) {
    int axes[kMaxCubicDim], m = 0;
    for (int k = 0; k < d; ++k)
      if (mask >> k & 1) axes[m++] = k;
    if (m < 2) continue;
    const int a = axes[m - 2], c = axes[m - 1];
    b.RecursiveCubicD3uDx(b.D[mask & ~(1 << c)].data(), b.D[mask & ~(1 << a)].data(),
                          b.D[mask].data(), a, c);
  }
  b.RecursiveBuildCk(order);
  return true;
}

// ---- Constant matrices -----------------------------------------------------------

SparseMatrix *ConstantPatchMatrix(int rows, const int *counts, const int *const *cols,
                                  const double *const *vals) {
  SparseMatrix *m = GetSparseMatrixPtr(rows, rows, 1);
  // The rows point at constant data that the matrix never frees.
  std::memcpy(m->rowcount, counts, static_cast<size_t>(rows) * sizeof(int));
  for (int r = 0; r < rows; ++r) {
    m->rowval[r] = const_cast<double *>(vals[r]);
    m->rowcol[r] = const_cast<int *>(cols[r]);
  }
  m->owns_row_arrays = false;
  return m;
}

SparseMatrix *GetPatchMatrix(int d) {
  switch (d) {
    case 1: return get_DA1_matrix();
    case 2: return get_DA2_matrix();
    case 3: return get_DA3_matrix();
    case 4: return get_DA4_matrix();
    case 5: return get_DA5_matrix();
    default: return nullptr;
  }
}

void FreePatchMatrices() {
  free_DA1_matrix();
  free_DA2_matrix();
  free_DA3_matrix();
  free_DA4_matrix();
  free_DA5_matrix();
}

// ---- One-axis coefficient routines -----------------------------------------------

namespace {

bool OneAxisCubic(const NDSpline &s) {
  return s.kind == kCubic && s.dim == 1 && s.sizes[0] >= 2 &&
         s.patches.size() >= static_cast<size_t>(s.sizes[0] - 1);
}

// Patch of interval i in its local coordinate from the Hermite data.
void HermitePatch(double y0, double y1, double d0, double d1, double h, double *c) {
  const double m = (y1 - y0) / h;
  c[0] = y0;
  c[1] = d0 * h;
  c[2] = (3.0 * m - 2.0 * d0 - d1) * h;
  c[3] = (d0 + d1 - 2.0 * m) * h;
}

}  // namespace

bool CubicSplineCoeffs(NDSpline &s, const double *end_slopes) {
  if (!OneAxisCubic(s)) return false;
  const int n = s.sizes[0];
  const double *x = s.axes[0].data(), *y = s.values.data();
  const int left = s.codes[0], right = s.codes[1];
  const double ls = end_slopes ? end_slopes[2 * s.pivot[0]] : 0.0;
  const double rs = end_slopes ? end_slopes[2 * s.pivot[0] + 1] : 0.0;
  std::vector<double> M(static_cast<size_t>(n));
  if (!kiv::sp1::SecondDerivatives(x, y, n, left, ls, right, rs, M.data())) return false;
  for (int i = 0; i + 1 < n; ++i) {
    const double h = x[i + 1] - x[i], m = (y[i + 1] - y[i]) / h;
    const double M0 = M[static_cast<size_t>(i)], M1 = M[static_cast<size_t>(i) + 1];
    double *c = s.patches[static_cast<size_t>(i)];
    c[0] = y[i];
    c[1] = h * m - h * h * (2.0 * M0 + M1) / 6.0;
    c[2] = h * h * M0 / 2.0;
    c[3] = h * h * (M1 - M0) / 6.0;
  }
  return true;
}

bool Akima1DCoeffs(NDSpline &s, const double *end_slopes) {
  if (!OneAxisCubic(s) || s.method < 2 || s.method > 4) return false;
  const int n = s.sizes[0];
  const double *x = s.axes[0].data(), *y = s.values.data();
  std::vector<double> d(static_cast<size_t>(n), 0.0),
      scratch(static_cast<size_t>(4) * static_cast<size_t>(n + 3));
  const int lc = s.codes[0], rc = s.codes[1];
  if (lc == 2 && end_slopes) d.front() = end_slopes[2 * s.pivot[0]];
  if (rc == 2 && end_slopes) d.back() = end_slopes[2 * s.pivot[0] + 1];
  static const LineSlopes methods[3] = {Akimaderiv, ConstrainedCubicderiv,
                                        MonotonicityPreservingderiv};
  methods[s.method - 2](x, y, d.data(), 1, n, lc, rc, scratch.data());
  for (int i = 0; i + 1 < n; ++i)
    HermitePatch(y[i], y[i + 1], d[static_cast<size_t>(i)], d[static_cast<size_t>(i) + 1],
                 x[i + 1] - x[i], s.patches[static_cast<size_t>(i)]);
  return true;
}

void fill_array_(const NDSpline &s, const int *cell, double *corner) {
  // Corners of the lower k axes are gathered first, then doubled along axis
  // k, the upper half shifted by that axis's value stride.
  long base = 0;
  for (int k = 0; k < s.dim; ++k) base += cell[k] * s.vstride[k];
  corner[0] = s.values[static_cast<size_t>(base)];
  long at[1 << kMaxDim];
  at[0] = base;
  for (int k = 0, count = 1; k < s.dim; ++k, count *= 2)
    for (int c = 0; c < count; ++c) {
      at[c + count] = at[c] + s.vstride[k];
      corner[c + count] = s.values[static_cast<size_t>(at[c + count])];
    }
}

}  // namespace kiv::nd
