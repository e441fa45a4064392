// Newton-Raphson with full steps for small systems.
//
// Norms are Euclidean. The step test weighs each component by 1 + |x_i|, so
// it is relative for large unknowns and absolute near zero. A missing
// Jacobian is formed by forward differences with steps sqrt(eps)*(1 + |x_j|);
// those residual calls do not count against the evaluation limit.
#include <cfloat>
#include <cmath>
#include <vector>

#include "solver/kiv_solver.h"
#include "solver/linsolve.hpp"

namespace {

bool hasNaN(const double *v, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (std::isnan(v[i])) return true;
  return false;
}

double norm2(const double *v, size_t n) {
  double s = 0.0;
  for (size_t i = 0; i < n; ++i) s += v[i] * v[i];
  return std::sqrt(s);
}

}  // namespace

extern "C" {

int ndnr_quiet_(double *x, int *n, KivNdnrResidual residual, KivNdnrJacobian jacobian, void *params,
                double *ftol, double *xtol, int *max_evaluations, int *converged, double *history,
                int *print) {
  *converged = 0;
  const int nn = *n;
  if (nn <= 0 || !residual) return 0;
  const bool talk = print && *print == 1;
  const size_t N = static_cast<size_t>(nn);
  std::vector<double> f, jac, dx, xh, fh, lu;
  std::vector<int> pivot;
  try {
    f.resize(N);
    jac.resize(N * N);
    dx.resize(N);
    xh.resize(N);
    fh.resize(N);
    pivot.resize(N);
  } catch (const std::bad_alloc &) {
    if (talk) kivfprintf(stderr, "\nMemory failure in ndnr.\n");
    return 0;
  }
  int flag = 1;
  residual(x, n, params, f.data(), &flag);
  if (hasNaN(f.data(), N)) {
    if (talk) kivfprintf(stderr, "\nNaN detected in f(x).\n");
    return 0;
  }
  double fnorm = norm2(f.data(), N);
  if (history) history[0] = fnorm;
  if (fnorm < 0.01 * *ftol) {
    *converged = 1;
    return 0;
  }
  int iterations = 0;
  for (int evals = 1; evals < *max_evaluations; ++evals) {
    if (jacobian) {
      jacobian(x, n, params, jac.data(), &flag);
    } else {
      for (size_t j = 0; j < N; ++j) {
        const double h = std::sqrt(DBL_EPSILON) * (1.0 + std::fabs(x[j]));
        for (size_t i = 0; i < N; ++i) xh[i] = x[i];
        xh[j] += h;
        const double step = xh[j] - x[j];  // the step actually taken
        residual(xh.data(), n, params, fh.data(), &flag);
        for (size_t i = 0; i < N; ++i) jac[i + j * N] = (fh[i] - f[i]) / step;
      }
    }
    if (hasNaN(jac.data(), N * N)) {
      if (talk) kivfprintf(stderr, "\nNaN detected in jacobian.\n");
      return iterations;
    }
    for (size_t i = 0; i < N; ++i) fh[i] = -f[i];
    if (!kiv::luSolve(nn, jac.data(), fh.data(), dx.data(), pivot.data())) return iterations;
    double wstep = 0.0;
    for (size_t i = 0; i < N; ++i) {
      x[i] += dx[i];
      const double w = dx[i] / (1.0 + std::fabs(x[i]));
      wstep += w * w;
    }
    wstep = std::sqrt(wstep);
    ++iterations;
    residual(x, n, params, f.data(), &flag);
    if (hasNaN(f.data(), N)) {
      if (talk) kivfprintf(stderr, "\nNaN detected in f(x) during iteration %d.\n", iterations);
      return iterations;
    }
    fnorm = norm2(f.data(), N);
    if (history) history[iterations] = fnorm;
    if (wstep < *xtol || fnorm < *ftol) {
      *converged = 1;
      return iterations;
    }
  }
  return iterations;
}

}  // extern "C"
