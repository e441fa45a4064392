// Dense LU and tridiagonal solves.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "solver/kiv_solver.h"
#include "solver/linsolve.hpp"

namespace kiv {

bool luSolve(int n, double *A, const double *b, double *x, int *pivot) {
  const size_t N = static_cast<size_t>(n);
  auto a = [&](int i, int j) -> double & { return A[static_cast<size_t>(i) + static_cast<size_t>(j) * N]; };
  for (int k = 0; k < n; ++k) {
    int p = k;
    double best = std::fabs(a(k, k));
    for (int i = k + 1; i < n; ++i)
      if (std::fabs(a(i, k)) > best) best = std::fabs(a(i, k)), p = i;
    pivot[k] = p;
    if (!(best > 0.0) || !std::isfinite(best)) return false;
    if (p != k)
      for (int j = 0; j < n; ++j) std::swap(a(k, j), a(p, j));
    const double inv = 1.0 / a(k, k);
    for (int i = k + 1; i < n; ++i) a(i, k) *= inv;
    for (int j = k + 1; j < n; ++j) {
      const double akj = a(k, j);
      if (akj == 0.0) continue;
      for (int i = k + 1; i < n; ++i) a(i, j) -= a(i, k) * akj;
    }
  }
  std::memcpy(x, b, N * sizeof(double));
  for (int k = 0; k < n; ++k)
    if (pivot[k] != k) std::swap(x[k], x[pivot[k]]);
  for (int i = 1; i < n; ++i)
    for (int j = 0; j < i; ++j) x[i] -= a(i, j) * x[j];
  for (int i = n - 1; i >= 0; --i) {
    for (int j = i + 1; j < n; ++j) x[i] -= a(i, j) * x[j];
    x[i] /= a(i, i);
  }
  for (int i = 0; i < n; ++i)
    if (!std::isfinite(x[i])) return false;
  return true;
}

}  // namespace kiv

extern "C" {

int matsol_(int *n, double *A, double *b, double *x) {
  const int nn = n ? *n : 0;
  if (nn <= 0 || !A || !b || !x) return 0;
  int small[16];
  int *pivot = small;
  if (nn > 16) {
    pivot = static_cast<int *>(std::malloc(static_cast<size_t>(nn) * sizeof(int)));
    if (!pivot) MemoryError("matsol");
  }
  const bool ok = kiv::luSolve(nn, A, b, x, pivot);
  if (pivot != small) std::free(pivot);
  if (!ok) {
    for (int i = 0; i < nn; ++i) x[i] = 0.0;
    return 0;
  }
  return 1;
}

void thomas_(int *n, double *a, double *b, double *c, double *r, double *x) {
  const int nn = n ? *n : 0;
  if (nn <= 0) return;
  for (int i = 1; i < nn; ++i) {
    const double w = a[i] / b[i - 1];
    b[i] -= w * c[i - 1];
    r[i] -= w * r[i - 1];
  }
  x[nn - 1] = r[nn - 1] / b[nn - 1];
  for (int i = nn - 2; i >= 0; --i) x[i] = (r[i] - c[i] * x[i + 1]) / b[i];
}

void modthomas(int n, const double *a, const double *b, const double *c, const double *r, double *x) {
  if (n <= 0) return;
  if (n == 1) {
    // A single row has no neighbour to couple to: only the given terms.
    x[0] = (r[0] - a[0] - c[0]) / b[0];
    return;
  }
  const size_t N = static_cast<size_t>(n);
  double *work = static_cast<double *>(std::malloc(4 * N * sizeof(double)));
  if (!work) MemoryError("modthomas");
  double *aa = work, *bb = work + N, *cc = work + 2 * N, *rr = work + 3 * N;
  std::memcpy(aa, a, N * sizeof(double));
  std::memcpy(cc, c, N * sizeof(double));
  aa[0] = 0.0;
  cc[n - 1] = 0.0;
  int nn = n;
  for (int pass = 0; pass < 15; ++pass) {
    std::memcpy(bb, b, N * sizeof(double));
    std::memcpy(rr, r, N * sizeof(double));
    if (pass == 0) {
      rr[0] -= a[0];  // the caller's estimates of the two coupling terms
      rr[n - 1] -= c[n - 1];
    } else {
      rr[0] -= c[n - 2] * x[n - 2];
      rr[n - 1] -= a[1] * x[1];
    }
    thomas_(&nn, aa, bb, cc, rr, x);
  }
  std::free(work);
}

}  // extern "C"
