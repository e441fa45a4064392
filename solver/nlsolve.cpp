// Bracketing scalar root finders.
//
// The search is Brent's method (inverse quadratic interpolation, secant and
// bisection) on a bracket that always keeps a sign change. It stops when the
// residual is exactly zero or the bracket is narrower than
// 4*eps*|x| + 1e-300, i.e. at full double precision; callers that need a
// looser answer stop on their own residual.
#include <algorithm>
#include <cfloat>
#include <cmath>

#include "solver/kiv_solver.h"

namespace {

struct Result {
  double x;
  bool converged;
};

Result brent(double a, double fa, double b, double fb, KivNLFunction f, void *data, int max_iter) {
  if (fa == 0.0) return {a, true};
  if (fb == 0.0) return {b, true};
  double c = a, fc = fa, d = b - a, e = d;
  for (int iter = 0; iter < max_iter; ++iter) {
    if ((fb > 0.0) == (fc > 0.0)) {
      c = a, fc = fa;
      d = e = b - a;
    }
    if (std::fabs(fc) < std::fabs(fb)) {
      a = b, b = c, c = a;
      fa = fb, fb = fc, fc = fa;
    }
    const double tol = 2.0 * DBL_EPSILON * std::fabs(b) + 0.5e-300;
    const double m = 0.5 * (c - b);
    if (std::fabs(m) <= tol || fb == 0.0) return {b, true};
    if (std::fabs(e) >= tol && std::fabs(fa) > std::fabs(fb)) {
      double p, q, r;
      const double s = fb / fa;
      if (a == c) {
        p = 2.0 * m * s;
        q = 1.0 - s;
      } else {
        q = fa / fc;
        r = fb / fc;
        p = s * (2.0 * m * q * (q - r) - (b - a) * (r - 1.0));
        q = (q - 1.0) * (r - 1.0) * (s - 1.0);
      }
      if (p > 0.0)
        q = -q;
      else
        p = -p;
      if (2.0 * p < std::min(3.0 * m * q - std::fabs(tol * q), std::fabs(e * q))) {
        e = d;
        d = p / q;
      } else {
        d = m;
        e = d;
      }
    } else {
      d = m;
      e = d;
    }
    a = b, fa = fb;
    b += (std::fabs(d) > tol) ? d : (m > 0.0 ? tol : -tol);
    fb = f(b, data);
    if (std::isnan(fb)) return {b, false};
  }
  return {b, false};
}

}  // namespace

extern "C" {

void kivNLSolve_(double *xl, double *x, double *xr, KivNLFunction f, void *data, int *max_iterations,
                 int *ok) {
  *ok = 0;
  if (*max_iterations <= 0) {
    kivfprintf(stderr, "Error detected in %s. max must be positive.\n", "kivNLSolve");
    return;
  }
  if (*xl == *xr) {
    kivfprintf(stderr, "Error detected in %s. xl and xr must be distinct.\n", "kivNLSolve");
    return;
  }
  const double fl = f(*xl, data), fr = f(*xr, data);
  if ((fl > 0.0 && fr > 0.0) || (fl < 0.0 && fr < 0.0)) {
    kivfprintf(stderr, "Error detected in %s.\n", "kivNLSolve");
    kivfprintf(stderr, "func(xl) and func(xr) have the same sign.\n");
    return;
  }
  Result r = brent(*xl, fl, *xr, fr, f, data, *max_iterations);
  *x = r.x;
  *ok = r.converged ? 1 : 0;
}

void kivNLSolveB_(double *xl, double *x, double *xr, double *fl, double *fr, KivNLFunction f,
                  void *data, int *max_iterations, int *ok) {
  *ok = 0;
  if ((*fl < 0.0 && *fr < 0.0) || (*fl > 0.0 && *fr > 0.0)) {
    kivfprintf(stderr, "Error detected in kivNLSolveB.\n");
    kivfprintf(stderr, "fl and fr have the same sign.\n");
    return;
  }
  if (*max_iterations <= 0) {
    kivfprintf(stderr, "Error detected in kivNLSolveB. max must be positive.\n");
    return;
  }
  double a = *xl, fa = *fl, b = *xr, fb = *fr;
  int budget = *max_iterations;
  // The caller's start value narrows the bracket when it lies inside it.
  const double lo = std::min(a, b), hi = std::max(a, b);
  if (*x > lo && *x < hi && fa != 0.0 && fb != 0.0) {
    const double fx = f(*x, data);
    --budget;
    if (fx == 0.0) {
      *ok = 1;
      return;
    }
    if (std::isnan(fx)) {
      // no information: keep the caller's bracket
    } else if ((fx > 0.0) == (fa > 0.0))
      a = *x, fa = fx;
    else
      b = *x, fb = fx;
  }
  Result r = brent(a, fa, b, fb, f, data, std::max(budget, 1));
  *x = r.x;
  *ok = r.converged ? 1 : 0;
}

}  // extern "C"
