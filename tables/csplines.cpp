// 1-D cubic splines from second derivatives at the knots: natural, clamped
// and periodic ends, cubic or straight-line extrapolation.
#include <algorithm>
#include <cmath>
#include <iterator>
#include <memory>
#include <new>

#include "solver/kiv_solver.h"
#include "tables/kiv_splines.h"
#include "tables/splines1d.hpp"

namespace {

struct CubicSpline {
  std::vector<double> x, y, m;  // knots (increasing), values, second derivatives
  int left_ext = 1, right_ext = 1;
  bool cyclic = false;
  bool freed = false;
  double scale = 0.0;  // (n - 1) / (x[n-1] - x[0]): guesses of the interval search
  int n() const { return static_cast<int>(x.size()); }
};

kiv::sp1::Registry<CubicSpline> g_reg;

void AtEnd(int, int) { FreeAllCubicSplines(); }

CubicSpline &Live(int id, const char *who) { return g_reg.live(id, who, "cubic spline"); }

// The cubic of interval i (0..n-2) and its derivatives at x.
struct Piece {
  double h, A, B, y0, y1, m0, m1;
  Piece(const CubicSpline &s, int i, double x) {
    const size_t k = static_cast<size_t>(i);
    h = s.x[k + 1] - s.x[k];
    A = (s.x[k + 1] - x) / h;
    B = (x - s.x[k]) / h;
    y0 = s.y[k];
    y1 = s.y[k + 1];
    m0 = s.m[k];
    m1 = s.m[k + 1];
  }
  double value() const {
    return A * y0 + B * y1 + ((A * A * A - A) * m0 + (B * B * B - B) * m1) * h * h / 6.0;
  }
  double slope() const {
    return (y1 - y0) / h - (3.0 * A * A - 1.0) * h / 6.0 * m0 + (3.0 * B * B - 1.0) * h / 6.0 * m1;
  }
  double second() const { return A * m0 + B * m1; }
};

// Where x falls: the piece whose formulas apply, or the straight line from
// an end knot.
struct Spot {
  double v;      // x, folded onto the axis of a cyclic spline
  int piece;     // 0..n-2
  int end = -1;  // knot of the straight-line extension, or -1
};

Spot Find(const CubicSpline &s, double x) {
  const int n = s.n();
  double turns = 0;
  Spot at;
  at.v = s.cyclic ? kiv::sp1::foldOnAxis(x, s.x[0], s.x[static_cast<size_t>(n - 1)], turns) : x;
  const int i = kiv::interp::bisectScaled(at.v, s.x.data(), n, s.scale);
  at.piece = i <= -1 ? 0 : i >= n - 1 ? n - 2 : i;
  if (i <= -1 && s.left_ext == 1) at.end = 0;
  if (i >= n - 1 && s.right_ext == 1) at.end = n - 1;
  return at;
}

// Slope of the line from the end knot, the end piece's slope there.
double EndSlope(const CubicSpline &s, const Spot &at) {
  return Piece(s, at.piece, s.x[static_cast<size_t>(at.end)]).slope();
}

double Value(const CubicSpline &s, const Spot &at) {
  if (at.end < 0) return Piece(s, at.piece, at.v).value();
  const size_t e = static_cast<size_t>(at.end);
  return s.y[e] + EndSlope(s, at) * (at.v - s.x[e]);
}

double Slope(const CubicSpline &s, const Spot &at) {
  return at.end < 0 ? Piece(s, at.piece, at.v).slope() : EndSlope(s, at);
}

}  // namespace

namespace kiv::sp1 {

namespace {

// Second derivatives of the periodic spline: the cyclic tridiagonal system
// over the m = n-1 distinct knots, solved exactly (Sherman-Morrison on two
// tridiagonal solves).  The two solves share their matrix, so one
// elimination serves both right-hand sides; each value comes out as two
// separate Thomas solves would give it.
bool SolvePeriodic(const double *X, const double *Y, int n, double *M) {
  const int m = n - 1;
  const size_t N = static_cast<size_t>(m);
  std::unique_ptr<double[]> work(new double[6 * N]);
  double *h = work.get(), *d = h + N, *a = d + N, *b = a + N, *r = b + N, *u = r + N;
  for (int k = 0; k < m; ++k) {
    h[k] = X[k + 1] - X[k];
    d[k] = (Y[k + 1] - Y[k]) / h[k];
  }
  for (int k = 0; k < m; ++k) {
    const int p = k == 0 ? m - 1 : k - 1;
    a[k] = h[p];
    b[k] = 2.0 * (h[p] + h[k]);
    r[k] = 6.0 * (d[k] - d[p]);
  }
  const double *c = h;  // the super-diagonal: c[k] = h[k]
  if (m == 1) {
    M[0] = M[1] = 0.0;  // two knots of one value: a constant
    return true;
  }
  if (m == 2) {
    // Both neighbours of each knot are the other knot.
    const double p = b[0], q = a[0] + c[0], v = a[1] + c[1], w = b[1];
    const double det = p * w - q * v;
    M[0] = (r[0] * w - q * r[1]) / det;
    M[1] = (p * r[1] - v * r[0]) / det;
  } else {
    const double alpha = c[m - 1], beta = a[0], gamma = -b[0];
    b[0] = b[0] - gamma;
    b[m - 1] = b[m - 1] - alpha * beta / gamma;
    std::fill(u, u + m, 0.0);
    u[0] = gamma;
    u[m - 1] = alpha;
    for (int i = 1; i < m; ++i) {
      const double w = a[i] / b[i - 1];
      b[i] -= w * c[i - 1];
      r[i] -= w * r[i - 1];
      u[i] -= w * u[i - 1];
    }
    double *x = M, *z = d;  // d is no longer needed
    x[m - 1] = r[m - 1] / b[m - 1];
    z[m - 1] = u[m - 1] / b[m - 1];
    for (int i = m - 2; i >= 0; --i) {
      x[i] = (r[i] - c[i] * x[i + 1]) / b[i];
      z[i] = (u[i] - c[i] * z[i + 1]) / b[i];
    }
    const double f = (x[0] + beta * x[m - 1] / gamma) / (1.0 + z[0] + beta * z[m - 1] / gamma);
    for (int k = 0; k < m; ++k) M[k] = x[k] - f * z[k];
  }
  M[n - 1] = M[0];
  for (int k = 0; k < n; ++k)
    if (!std::isfinite(M[k])) return false;
  return true;
}

// Ends by code: 1 natural, 2 given slope, 4 equal second derivatives on the
// end interval; one tridiagonal solve.
void SolveEnds(const double *X, const double *Y, int n, int left, double left_slope, int right,
               double right_slope, double *M) {
  auto h = [&](int k) { return X[k + 1] - X[k]; };
  auto d = [&](int k) { return (Y[k + 1] - Y[k]) / h(k); };
  const size_t N = static_cast<size_t>(n);
  std::vector<double> a(N, 0.0), b(N, 0.0), c(N, 0.0), r(N, 0.0);
  for (int k = 1; k < n - 1; ++k) {
    const size_t K = static_cast<size_t>(k);
    a[K] = h(k - 1);
    b[K] = 2.0 * (h(k - 1) + h(k));
    c[K] = h(k);
    r[K] = 6.0 * (d(k) - d(k - 1));
  }
  if (left == 2) {
    b[0] = 2.0 * h(0);
    c[0] = h(0);
    r[0] = 6.0 * (d(0) - left_slope);
  } else {
    b[0] = 1.0;
    if (left == 4) c[0] = -1.0;
  }
  if (right == 2) {
    a[N - 1] = h(n - 2);
    b[N - 1] = 2.0 * h(n - 2);
    r[N - 1] = 6.0 * (right_slope - d(n - 2));
  } else {
    b[N - 1] = 1.0;
    if (right == 4) a[N - 1] = -1.0;
  }
  int nn = n;
  thomas_(&nn, a.data(), b.data(), c.data(), r.data(), M);
}

}  // namespace

bool SecondDerivatives(const double *x, const double *y, int n, int left, double left_slope,
                       int right, double right_slope, double *M) {
  if (left == 3) return SolvePeriodic(x, y, n, M);
  SolveEnds(x, y, n, left, left_slope, right, right_slope, M);
  return true;
}

}  // namespace kiv::sp1

namespace {

bool RefuseSlope(const char *side, const double *slope) {
  if (std::isfinite(*slope)) return false;
  kivfprintf(stderr, "\n\nFor cubic splines the %s end slope must be a finite number.\n\n", side);
  return true;
}

}  // namespace

extern "C" {

int splinit_(const int *n, const double *x, const double *y, const int *left_end,
             const double *left_slope, const int *right_end, const double *right_slope,
             const int *left_ext, const int *right_ext) {
  if (!n || !x || !y || !left_end || !left_slope || !right_end || !right_slope || !left_ext ||
      !right_ext) {
    kivfprintf(stderr, "\n\nCall to splinit with a missing argument.\n");
    return -1;
  }
  const int np = *n;
  if (np < 3) {
    kivfprintf(stderr, "\n\nFor cubic splines there must be at least 3 data points.\n\n");
    return -1;
  }
  static const char who[] = "\n\nFor cubic splines";
  if (kiv::sp1::refuseBad(who, "x", x, np) || kiv::sp1::refuseBad(who, "y", y, np)) return -1;
  int increasing = 1;
  if (kiv::sp1::refuseNonMonotonic(who, "x", x, np, increasing)) return -1;
  const int left = *left_end, right = *right_end;
  if (left < 1 || left > 3) {
    kivfprintf(stderr,
               "\n\nFor cubic splines the left-hand data out of range indicator must be 1, 2 or "
               "3.\n\n");
    return -1;
  }
  if (left == 3 && y[0] != y[np - 1]) {
    kivfprintf(stderr,
               "\n\nFor cyclic cubic splines the first and last y-values must be the same.\n\n");
    return -1;
  }
  if (left != 3 && right != 1 && right != 2) {
    kivfprintf(stderr,
               "\n\nFor cubic splines the right-hand data is inconsistent with the left-hand "
               "indicator.\n\n");
    return -1;
  }
  if ((left == 2 && RefuseSlope("left-hand", left_slope)) ||
      (left != 3 && right == 2 && RefuseSlope("right-hand", right_slope)))
    return -1;
  CubicSpline s;
  try {
    if (increasing) {
      s.x.assign(x, x + np);
      s.y.assign(y, y + np);
    } else {
      s.x.assign(std::make_reverse_iterator(x + np), std::make_reverse_iterator(x));
      s.y.assign(std::make_reverse_iterator(y + np), std::make_reverse_iterator(y));
    }
    s.m.assign(static_cast<size_t>(np), 0.0);
    if (!kiv::sp1::SecondDerivatives(s.x.data(), s.y.data(), np, left, *left_slope, right,
                                     *right_slope, s.m.data())) {
      kivfprintf(stderr, "\n\nFor cyclic cubic splines the knots give no finite solution.\n\n");
      return -1;
    }
    s.scale = (np - 1) / (s.x.back() - s.x.front());
    s.left_ext = *left_ext;
    s.right_ext = *right_ext;
    s.cyclic = left == 3;
    g_reg.items.push_back(std::move(s));
  } catch (const std::bad_alloc &) {
    kivfprintf(stderr, "\nUnable to allocate memory.\n");
    return -1;
  }
  g_reg.hook(&AtEnd);
  return g_reg.count() - 1;
}

double getspl_(const int *id, const double *x) { return kiv::sp1::CubicValue(*id, *x); }

double getspd_(const int *id, const double *x) {
  const CubicSpline &s = Live(*id, "getspd");
  return Slope(s, Find(s, *x));
}


double getsp2_(const int *id, const double *x, int *mem) {
  const CubicSpline &s = Live(*id, "getsp2");
  if (s.cyclic) {
    kivfprintf(stderr, "\n\nCall to getsp2 for cyclic data.\n");
    kivfprintf(stderr, "This is not supported.\n");
    kivfprintf(stderr, "Terminating program.\n\n");
    KivExit(1);
  }
  const int n = s.n();
  const double v = *x;
  int scratch = -2;
  if (!mem) mem = &scratch;
  const int found = kiv::interp::bisect(v, s.x.data(), n);
  int i = found;
  const int mode = getofg_();
  if (mode == 0 || !kiv::sp1::validMemory(*mem, n)) {
    *mem = found;
  } else {
    i = *mem;
    if (mode == 2) {
      int moved = found != i;
      disloc_(&moved);
    }
  }
  if (i <= -1) return s.left_ext == 1 ? 0.0 : Piece(s, 0, v).second();
  if (i >= n - 1) return s.right_ext == 1 ? 0.0 : Piece(s, n - 2, v).second();
  return Piece(s, i, v).second();
}

double freespl_(const int *id) {
  kiv::sp1::FreeCubic(*id);
  return 0.0;
}

void FreeAllCubicSplines(void) { g_reg.clear(); }

}  // extern "C"

namespace kiv::sp1 {

double CubicValue(int id, double x) {
  const CubicSpline &s = Live(id, "getspl");
  return Value(s, Find(s, x));
}

void FreeCubic(int id) { g_reg.release(id, "freespl", "cubic spline"); }

double CubicValueAndSlope(int id, double x, double *slope) {
  const CubicSpline &s = Live(id, "getspl");
  const Spot at = Find(s, x);
  if (at.end >= 0) {
    *slope = EndSlope(s, at);
    return Value(s, at);
  }
  const Piece p(s, at.piece, at.v);
  *slope = p.slope();
  return p.value();
}

}  // namespace kiv::sp1

