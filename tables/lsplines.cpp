// 1-D linear splines: creation with reduction of needless points, value,
// slope, integral and integral-of-reciprocal evaluation with interval
// memories, time axes and freeing.
#include <algorithm>
#include <cmath>
#include <new>

#include "tables/kiv_splines.h"
#include "tables/splines1d.hpp"

namespace {

using kiv::sp1::validMemory;

enum Memo { kValueMemo = 0, kSlopeMemo = 1, kIntegralMemo = 2 };

// Knots up to which halving beats guessing the interval from an even
// spacing (a fluid's pressure table has about a dozen).
constexpr int kShortTable = 33;

struct LinearSpline {
  std::vector<double> x, y;      // knots, strictly increasing
  std::vector<double> slope;     // per interval
  std::vector<double> integral;  // from 0 to each knot (cyclic: within the first period)
  std::vector<double> invint;    // integral of 1/y from x[0] to x[k+1]; empty if y meets 0
  double period = 0.0;
  double per_integral = 0.0;  // over one period of a cyclic spline
  int left = 2, right = 2;
  int mem[3] = {-2, -2, -2};
  bool freed = false;
  bool time = false;

  int n() const { return static_cast<int>(x.size()); }
  bool cyclic() const { return left == 3 && n() >= 2; }
};

kiv::sp1::Registry<LinearSpline> g_reg;

void AtEnd(int, int) { FreeAllLinearSplines(); }

LinearSpline &Live(int id) { return g_reg.live(id, "linear spline function", "linear spline"); }

// The extrapolation codes move an end index onto the end interval.
int ToEndInterval(const LinearSpline &s, int i) {
  const int n = s.n();
  if (i >= n - 1 && s.right == 1) return n - 2;
  if (i <= -1 && s.left == 1) return 0;
  return i;
}

// The line of interval i (or the held end value) at x.
double ValueOn(const LinearSpline &s, int i, double x) {
  const int n = s.n();
  const double *X = s.x.data(), *Y = s.y.data();
  if (i <= -1) return Y[0];
  if (i >= n - 1) return Y[n - 1];
  if (Y[i] == Y[i + 1]) return Y[i];
  return (Y[i] * (X[i + 1] - x) + Y[i + 1] * (x - X[i])) / (X[i + 1] - X[i]);
}

struct Located {
  int i;            // interval to use
  double x;         // abscissa to use (folded on a cyclic spline)
  double turns;     // whole periods taken off x
};

[[gnu::noinline]] int SearchFrom(double x, const double *X, int n, int mem) {
  return kiv::sp1::searchFrom(x, X, n, mem);
}

// The interval of x, the same as a search from mem would give: the
// remembered interval when x still lies in it (a simulation's pressures and
// times move slowly), else a search of the whole table: on short tables a
// halving without data-dependent branches, so that random abscissae cost no
// mispredicted steps.  Only an x that is no number depends on where the
// search starts.
inline int Search(double x, const double *X, int n, int mem) {
  if (mem >= 0 && mem < n - 1 && X[mem] <= x && x < X[mem + 1]) return mem;
  if (std::isnan(x)) [[unlikely]]
    return SearchFrom(x, X, n, mem);
  if (x < X[0]) return -1;
  if (x >= X[n - 1]) return n - 1;
  if (n <= kShortTable) return kiv::interp::lastAtOrBelowIn(x, X, 0, n - 1);
  return kiv::interp::locate(x, X, 0, n - 1);
}

// x folded onto one period of a cyclic spline, the periods taken off in
// turns.
[[gnu::noinline]] double Fold(const LinearSpline &s, double x, double &turns) {
  return kiv::sp1::foldOnAxis(x, s.x.front(), s.x.back(), turns);
}

// While regions are held the remembered interval held stays in use although
// r.i was found, and the move is reported.
[[gnu::noinline]] void Hold(const LinearSpline &s, int held, Located &r) {
  if (r.i == held) return;
  if (s.time) {
    // A knot of a time axis is a time event, never a crossing.  Forward
    // the integrator is to stop at the first knot passed, not the last.
    const int k = r.i > held ? held + 1 : r.i;
    if (k >= 0 && r.x >= s.x[static_cast<size_t>(k)]) {
      double t = s.x[static_cast<size_t>(k)];
      distim_(&t);
    }
  } else {
    kiv::sp1::reportCrossing();
  }
  if (s.cyclic()) {
    const int shift = kiv::sp1::seamShift(held, r.i, s.n() - 2);
    r.x += shift * s.period;
    r.turns -= shift;
  }
  r.i = held;
}

// The interval for x, searched from *mem.  While regions are held (disc 1)
// the remembered interval stays in use and a move is reported; otherwise the
// interval found is remembered.
inline Located Locate(const LinearSpline &s, double x, int disc, int &mem) {
  const int n = s.n();
  Located r{0, x, 0};
  if (s.cyclic()) [[unlikely]]
    r.x = Fold(s, x, r.turns);
  r.i = ToEndInterval(s, Search(r.x, s.x.data(), n, mem));
  if (disc == 1 && getofg_() != 0 && validMemory(mem, n)) {
    Hold(s, ToEndInterval(s, mem), r);
    return r;
  }
  mem = r.i;
  return r;
}

// An abscissa that is no number (a cyclic one at infinity too) has no value
// and no slope, whichever interval it was put in.
double Value(const LinearSpline &s, double x, int disc, int &mem) {
  if (s.n() == 1) return s.y[0];
  const Located l = Locate(s, x, disc, mem);
  if (std::isnan(l.x)) return l.x;
  return ValueOn(s, l.i, l.x);
}

double Slope(const LinearSpline &s, double x, int disc, int &mem) {
  const int n = s.n();
  if (n == 1) return 0.0;
  const Located l = Locate(s, x, disc, mem);
  if (std::isnan(l.x)) return l.x;
  if (l.i <= -1 || l.i >= n - 1) return 0.0;
  return s.slope[static_cast<size_t>(l.i)];
}

// Integral from the knot of interval i (the first knot below the table) to
// x along the piece that interval i uses, plus the integral up to that knot;
// v is the value at x (ValueOn), which the caller may need too.
[[gnu::always_inline]] inline double IntegralOn(const LinearSpline &s, int i, double x, double v) {
  const int n = s.n();
  if (i <= -1) return (x - s.x[0]) * s.y[0] + s.integral[0];
  const size_t k = static_cast<size_t>(i);
  if (i >= n - 1) return (x - s.x[k]) * s.y[k] + s.integral[k];
  return (v + s.y[k]) * 0.5 * (x - s.x[k]) + s.integral[k];
}

double Integral(const LinearSpline &s, double x, int disc, int &mem) {
  if (s.n() == 1) return (x - s.x[0]) * s.y[0];
  const Located l = Locate(s, x, disc, mem);
  return l.turns * s.per_integral + IntegralOn(s, l.i, l.x, ValueOn(s, l.i, l.x));
}

// Keeps the points in increasing order, dropping interior points equal to
// both input neighbours, then interior points on the line of their
// neighbours.
void TakePoints(LinearSpline &s, int n, const double *x, const double *y, bool increasing) {
  s.x.reserve(static_cast<size_t>(n));
  s.y.reserve(static_cast<size_t>(n));
  for (int m = 0; m < n; ++m) {
    const int k = increasing ? m : n - 1 - m;
    if (k > 0 && k < n - 1 && y[k] == y[k - 1] && y[k] == y[k + 1]) continue;
    s.x.push_back(x[k]);
    s.y.push_back(y[k]);
  }
  const int m = s.n();
  if (m <= 2) return;
  std::vector<char> keep(static_cast<size_t>(m), 1);
  const double *X = s.x.data(), *Y = s.y.data();
  for (int k = 2; k < m; ++k)
    if ((Y[k] - Y[k - 1]) / (X[k] - X[k - 1]) == (Y[k - 1] - Y[k - 2]) / (X[k - 1] - X[k - 2]))
      keep[static_cast<size_t>(k - 1)] = 0;
  size_t w = 0;
  for (size_t k = 0; k < static_cast<size_t>(m); ++k)
    if (keep[k]) {
      s.x[w] = s.x[k];
      s.y[w] = s.y[k];
      ++w;
    }
  s.x.resize(w);
  s.y.resize(w);
  s.x.shrink_to_fit();
  s.y.shrink_to_fit();
}

// Slopes, knot integrals and reciprocal integrals, so that evaluation never
// allocates.
void Tabulate(LinearSpline &s) {
  const int n = s.n();
  if (n < 2) return;
  const double *X = s.x.data(), *Y = s.y.data();
  s.slope.resize(static_cast<size_t>(n - 1));
  for (int k = 0; k + 1 < n; ++k)
    s.slope[static_cast<size_t>(k)] = (Y[k + 1] - Y[k]) / (X[k + 1] - X[k]);

  // Running trapezoids from x[0], then shifted so that they start at x = 0
  // (on a cyclic spline 0 is first folded onto the table).
  s.integral.resize(static_cast<size_t>(n));
  s.integral[0] = 0.0;
  for (int k = 0; k + 1 < n; ++k)
    s.integral[static_cast<size_t>(k + 1)] =
        s.integral[static_cast<size_t>(k)] + (X[k + 1] - X[k]) * (Y[k] + Y[k + 1]) * 0.5;
  s.per_integral = s.cyclic() ? s.integral[static_cast<size_t>(n - 1)] : 0.0;
  double turns = 0;
  const double zero = s.cyclic() ? kiv::sp1::foldOnAxis(0.0, X[0], X[n - 1], turns) : 0.0;
  const int i0 = std::max(kiv::interp::bisect(zero, X, n), 0);
  const double at_zero = ValueOn(s, ToEndInterval(s, kiv::interp::bisect(zero, X, n)), zero);
  const double from_first = turns * s.per_integral +
                            s.integral[static_cast<size_t>(i0)] +
                            (at_zero + Y[i0]) * 0.5 * (zero - X[i0]);
  for (double &v : s.integral) v -= from_first;

  bool positive = true, negative = true;
  for (int k = 0; k < n; ++k) {
    positive = positive && Y[k] > 0.0;
    negative = negative && Y[k] < 0.0;
  }
  if (!positive && !negative) return;
  s.invint.resize(static_cast<size_t>(n - 1));
  double sum = 0.0;
  for (int k = 0; k + 1 < n; ++k) {
    const double d = s.slope[static_cast<size_t>(k)];
    sum += d != 0.0 ? std::log1p((Y[k + 1] - Y[k]) / Y[k]) / d : (X[k + 1] - X[k]) / Y[k];
    s.invint[static_cast<size_t>(k)] = sum;
  }
}

int MissingArgument() {
  kivfprintf(stderr, "\n\nCall to lsplinit with a missing argument.\n");
  return -1;
}

}  // namespace

namespace {

kiv::sp1::LinearPoint PointOn(const LinearSpline &s, const Located &l) {
  const double v = ValueOn(s, l.i, l.x);
  return {v, static_cast<double>(l.turns) * s.per_integral + IntegralOn(s, l.i, l.x, v)};
}

[[gnu::noinline]] kiv::sp1::LinearPoint PointAt(const LinearSpline &s, double x, int disc, int &mem) {
  if (s.n() == 1) return {s.y[0], (x - s.x[0]) * s.y[0]};
  return PointOn(s, Locate(s, x, disc, mem));
}

}  // namespace

kiv::sp1::LinearPoint kiv::sp1::LinearRead(int id, double x, int disc, int &mem) {
  const LinearSpline &s = Live(id);
  // Neither folding nor held regions (the fluid tables' case): the
  // search and the reading alone.
  if (s.n() < 2 || s.cyclic() || disc == 1) [[unlikely]]
    return PointAt(s, x, disc, mem);
  const int i = ToEndInterval(s, Search(x, s.x.data(), s.n(), mem));
  mem = i;
  return PointOn(s, Located{i, x, 0});
}

extern "C" {

int lsplinit_(const int *n, const double *x, const double *y, const int *left_code,
              const int *right_code) {
  if (!n || (*n >= 1 && (!left_code || !right_code))) return MissingArgument();
  return kiv::sp1::CreateLinear(*n, x, y, left_code ? *left_code : 0, right_code ? *right_code : 0);
}

double getlspl_(const int *id, const double *x, const int *disc) {
  return kiv::sp1::LinearValue(*id, *x, *disc);
}

double getlspd_(const int *id, const double *x, const int *disc) {
  return kiv::sp1::LinearSlope(*id, *x, *disc);
}

double getlspi_(const int *id, const double *x, const int *disc) {
  LinearSpline &s = Live(*id);
  return Integral(s, *x, *disc, s.mem[kIntegralMemo]);
}

double getlspla_(const int *id, const double *x, const int *disc, int *mem) {
  return Value(Live(*id), *x, *disc, *mem);
}

double getlspda_(const int *id, const double *x, const int *disc, int *mem) {
  return Slope(Live(*id), *x, *disc, *mem);
}

double getlspia_(const int *id, const double *x, const int *disc, int *mem) {
  return Integral(Live(*id), *x, *disc, *mem);
}

double intinvbm_(const int *id, const double *x) {
  const LinearSpline &s = Live(*id);
  const int n = s.n();
  if (n == 1) {
    kivfprintf(stderr, "\n\nCall to intinvbm with invalid index %d\n", *id);
    kivfprintf(stderr, "This linear spline has only one data point.\n");
    kivfprintf(stderr, "The function intinvbm does not support linear splines\n");
    kivfprintf(stderr, "with 1 data point.\n");
    kivfprintf(stderr, "Terminating program.\n\n");
    KivExit(1);
  }
  if (s.invint.empty()) {
    // 1/y has a pole where y reaches or crosses 0: no finite integral.
    kivfprintf(stderr, "\n\nCall to intinvbm with index %d\n", *id);
    kivfprintf(stderr, "The y-values of this linear spline must all be nonzero and of one sign.\n");
    kivfprintf(stderr, "Terminating program.\n\n");
    KivExit(1);
  }
  const double v = *x;
  const double *X = s.x.data(), *Y = s.y.data();
  const int i = kiv::interp::bisect(v, X, n);
  if (i <= -1) return (v - X[0]) / Y[0];
  if (i >= n - 1) return (v - X[n - 1]) / Y[n - 1] + s.invint[static_cast<size_t>(n - 2)];
  const double before = i > 0 ? s.invint[static_cast<size_t>(i - 1)] : 0.0;
  const double d = s.slope[static_cast<size_t>(i)];
  if (d == 0.0) return (v - X[i]) / Y[i] + before;
  return std::log1p(d * (v - X[i]) / Y[i]) / d + before;
}

void lsplxtime_(const int *id, const int *flag) {
  if (!g_reg.inRange(*id)) return;
  LinearSpline &s = g_reg.items[static_cast<size_t>(*id)];
  if (s.freed) return;
  if (*flag != 0 && (s.left == 3 || s.right == 3)) return;
  s.time = *flag != 0;
}

double freelsp_(const int *id) {
  kiv::sp1::FreeLinear(*id);
  return 0.0;
}

void FreeAllLinearSplines(void) { g_reg.clear(); }

}  // extern "C"

namespace kiv::sp1 {

int CreateLinear(int np, const double *x, const double *y, int left_code, int right_code) {
  if (np < 1) {
    kivfprintf(stderr, "\n\nFor linear splines there must be");
    kivfprintf(stderr, " at least 1 data points.\n\n");
    return -1;
  }
  if (!x || !y) return MissingArgument();
  static const char who[] = "\n\nFor linear splines";
  if (refuseBad(who, "x", x, np) || refuseBad(who, "y", y, np)) return -1;
  int increasing = 1;
  if (np > 1) {
    if (refuseNonMonotonic(who, "x", x, np, increasing)) return -1;
    if (!checkCode(left_code, who, "left-hand") || !checkCode(right_code, who, "right-hand"))
      return -1;
  }
  guardAllocation("CreateLinearSplineSpace", [&] {
    LinearSpline s;
    TakePoints(s, np, x, y, increasing != 0);
    s.left = left_code;
    s.right = right_code;
    if (np >= 2) s.period = std::fabs(x[np - 1] - x[0]);
    Tabulate(s);
    g_reg.items.push_back(std::move(s));
  });
  g_reg.hook(&AtEnd);
  return g_reg.count() - 1;
}

double LinearValue(int id, double x, int disc) {
  LinearSpline &s = Live(id);
  return Value(s, x, disc, s.mem[kValueMemo]);
}

double LinearSlope(int id, double x, int disc) {
  LinearSpline &s = Live(id);
  return Slope(s, x, disc, s.mem[kSlopeMemo]);
}

void FreeLinear(int id) { g_reg.release(id, "freelsp", "linear spline"); }

}  // namespace kiv::sp1
