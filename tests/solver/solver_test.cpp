#include <cmath>
#include <cstring>
#include <random>
#include <tuple>
#include <vector>

#include "solver/sparse.hpp"
#include "support/kiv_test.hpp"

namespace {

using kiv::test::SystemTest;

// Reference: Gaussian elimination with full row scan, on a copy.
std::vector<double> denseSolve(int n, std::vector<double> A /*col-major*/, std::vector<double> b) {
  auto a = [&](int i, int j) -> double & { return A[i + j * n]; };
  for (int k = 0; k < n; ++k) {
    int p = k;
    for (int i = k + 1; i < n; ++i)
      if (std::fabs(a(i, k)) > std::fabs(a(p, k))) p = i;
    for (int j = 0; j < n; ++j) std::swap(a(k, j), a(p, j));
    std::swap(b[k], b[p]);
    for (int i = k + 1; i < n; ++i) {
      double w = a(i, k) / a(k, k);
      for (int j = k; j < n; ++j) a(i, j) -= w * a(k, j);
      b[i] -= w * b[k];
    }
  }
  std::vector<double> x(n);
  for (int i = n - 1; i >= 0; --i) {
    double s = b[i];
    for (int j = i + 1; j < n; ++j) s -= a(i, j) * x[j];
    x[i] = s / a(i, i);
  }
  return x;
}

// The column-major matrix of sub-diagonal a, diagonal b, super-diagonal c.
std::vector<double> tridiagonal(const std::vector<double> &a, const std::vector<double> &b, const std::vector<double> &c) {
  const int n = static_cast<int>(b.size());
  std::vector<double> A(n * n, 0.0);
  for (int i = 0; i < n; ++i) {
    A[i + i * n] = b[i];
    if (i > 0) A[i + (i - 1) * n] = a[i];
    if (i < n - 1) A[i + (i + 1) * n] = c[i];
  }
  return A;
}

TEST_F(SystemTest, TransposedProductFillsEveryColumn) {
  // 2 rows, 4 columns: y has 4 entries, all of them written.
  SparseMatrix *m = GetSparseMatrixPtr(2, 4, 1);
  const std::vector<std::pair<std::vector<double>, std::vector<int>>> rows = {{{1.0, 2.0}, {0, 3}}, {{3.0}, {2}}};
  for (int r = 0; r < 2; ++r) {
    const auto &[vals, cols] = rows[r];
    m->rowval[r] = static_cast<double *>(std::malloc(vals.size() * sizeof(double)));
    m->rowcol[r] = static_cast<int *>(std::malloc(cols.size() * sizeof(int)));
    std::memcpy(m->rowval[r], vals.data(), vals.size() * sizeof(double));
    std::memcpy(m->rowcol[r], cols.data(), cols.size() * sizeof(int));
    m->rowcount[r] = static_cast<int>(vals.size());
  }
  double x[] = {10.0, 100.0};
  double y[] = {-1, -1, -1, -1};
  SparseMatVectMultiply(m, x, y);
  EXPECT_EQ(std::vector<double>(y, y + 4), (std::vector<double>{10.0, 0.0, 300.0, 20.0}));
  FreeSparseMatrix(m);

  SparseMatrix *d = GetSparseMatrixPtr(2, 3, 0);
  for (int j = 0; j < 3; ++j)
    for (int r = 0; r < 2; ++r) d->dense[r + 2 * j] = r + 10 * j;
  double yd[] = {-1, -1, -1};
  SparseMatVectMultiply(d, x, yd);
  for (int j = 0; j < 3; ++j) EXPECT_EQ(yd[j], (0 + 10 * j) * 10.0 + (1 + 10 * j) * 100.0);
  FreeSparseMatrix(d);
}

TEST_F(SystemTest, ConstantRowArraysAreNotFreed) {
  static double vals[] = {2.0};
  static int cols[] = {1};
  static double *rv[] = {vals};
  static int *rc[] = {cols};
  static int cnt[] = {1};
  SparseMatrix *m = GetSparseMatrixPtr(1, 2, 1);
  std::free(m->rowval);
  std::free(m->rowcol);
  std::free(m->rowcount);
  m->rowval = rv;
  m->rowcol = rc;
  m->rowcount = cnt;
  m->owns_row_pointers = m->owns_row_arrays = m->owns_rowcount = false;
  double x[] = {3.0}, y[2];
  SparseMatVectMultiply(m, x, y);
  EXPECT_EQ(y[1], 6.0);
  FreeSparseMatrix(m);  // ASan would flag a free of the static arrays
}

TEST(DenseSolve, MatsolMatchesReferenceAndKeepsB) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int n : {1, 3, 7, 20}) {
    std::vector<double> A(n * n), b(n);
    for (auto &v : A) v = u(gen);
    for (int i = 0; i < n; ++i) A[i + i * n] += 3.0;
    for (auto &v : b) v = u(gen);
    auto ref = denseSolve(n, A, b);
    std::vector<double> Acopy = A, bcopy = b, x(n);
    ASSERT_EQ(matsol_(&n, Acopy.data(), bcopy.data(), x.data()), 1);
    EXPECT_EQ(bcopy, b);
    for (int i = 0; i < n; ++i) EXPECT_NEAR(x[i], ref[i], 1e-12);
  }
}

TEST(DenseSolve, SingularGivesZeros) {
  int n = 3;
  double A[] = {1, 2, 3, 2, 4, 6, 0, 1, 1};  // first two columns parallel
  double b[] = {1, 1, 1}, x[] = {9, 9, 9};
  EXPECT_EQ(matsol_(&n, A, b, x), 0);
  EXPECT_EQ(std::vector<double>(x, x + 3), std::vector<double>(3, 0.0));
}

TEST(Tridiagonal, ThomasMatchesDenseSolve) {
  int n = 6;
  std::vector<double> a = {99, 1, 2, 1, 0.5, 1}, b = {4, 5, 6, 4, 5, 4}, c = {1, 1, 2, 1, 1, 99},
                      r = {1, 2, 3, 4, 5, 6};
  std::vector<double> A = tridiagonal(a, b, c);
  auto ref = denseSolve(n, A, r);
  std::vector<double> x(n);
  thomas_(&n, a.data(), b.data(), c.data(), r.data(), x.data());
  for (int i = 0; i < n; ++i) EXPECT_NEAR(x[i], ref[i], 1e-13);
}

TEST(Tridiagonal, PeriodicSolveConvergesOnSplineSystems) {
  // Rows of a periodic cubic spline on uneven steps: row 0 also couples to
  // x[n-2] (coefficient c[n-2]) and row n-1 to x[1] (coefficient a[1]).
  const int n = 9;
  std::vector<double> h = {0.3, 0.5, 0.4, 0.6, 0.35, 0.45, 0.5, 0.4};
  std::vector<double> a(n), b(n), c(n), r(n);
  for (int i = 0; i < n; ++i) {
    double hl = h[(i + n - 2) % (n - 1)], hr = h[i % (n - 1)];
    a[i] = hl;
    c[i] = hr;
    b[i] = 2 * (hl + hr);
    r[i] = std::sin(1.0 + i);
  }
  std::vector<double> A = tridiagonal(a, b, c);
  A[0 + (n - 2) * n] += c[n - 2];
  A[(n - 1) + 1 * n] += a[1];
  auto ref = denseSolve(n, A, r);
  std::vector<double> in_a = a, in_c = c;
  in_a[0] = 0.0;  // no estimate of the coupling terms
  in_c[n - 1] = 0.0;
  std::vector<double> x(n), bb = b, rr = r;
  modthomas(n, in_a.data(), b.data(), in_c.data(), r.data(), x.data());
  EXPECT_EQ(bb, b);
  EXPECT_EQ(rr, r);
  for (int i = 0; i < n; ++i) EXPECT_NEAR(x[i], ref[i], 1e-12);
}

double cosMinusX(double x, void *) { return std::cos(x) - x; }
double cubic(double x, void *d) { return x * x * x - *static_cast<double *>(d); }

TEST_F(SystemTest, ScalarRootFinderAndItsRefusals) {
  double xl = 0.0, xr = 1.0, x = 0.0;
  int max = 100, ok = 0;
  kivNLSolve_(&xl, &x, &xr, cosMinusX, nullptr, &max, &ok);
  EXPECT_EQ(ok, 1);
  EXPECT_NEAR(x, 0.73908513321516064, 1e-15);

  double target = 2.0;
  xl = 3.0, xr = 0.0;  // ends in either order
  kivNLSolve_(&xl, &x, &xr, cubic, &target, &max, &ok);
  EXPECT_EQ(ok, 1);
  EXPECT_NEAR(x, std::cbrt(2.0), 1e-15);
  EXPECT_EQ(takeErr(), "");

  for (auto [l, r, m, message] :
       {std::tuple{3.0, 0.0, 0, "Error detected in kivNLSolve. max must be positive.\n"},
        {3.0, 3.0, 100, "Error detected in kivNLSolve. xl and xr must be distinct.\n"},
        {2.0, 3.0, 100, "Error detected in kivNLSolve.\nfunc(xl) and func(xr) have the same sign.\n"}}) {
    xl = l, xr = r, ok = 1;
    kivNLSolve_(&xl, &x, &xr, cubic, &target, &m, &ok);
    EXPECT_EQ(ok, 0) << message;
    EXPECT_EQ(takeErr(), message);
  }

  int two = 2;
  xl = 0.0, xr = 100.0;
  kivNLSolve_(&xl, &x, &xr, cubic, &target, &two, &ok);
  EXPECT_EQ(ok, 0);  // not converged within the limit
}

TEST_F(SystemTest, RootFinderWithGivenEndResiduals) {
  double target = 5.0, xl = 0.0, xr = 4.0, x = 1.7, fl = -5.0, fr = 59.0;
  int max = 200, ok = 0;
  kivNLSolveB_(&xl, &x, &xr, &fl, &fr, cubic, &target, &max, &ok);
  EXPECT_EQ(ok, 1);
  EXPECT_NEAR(x, std::cbrt(5.0), 1e-14);
  x = 1.0;
  fl = 1.0, fr = 2.0;
  kivNLSolveB_(&xl, &x, &xr, &fl, &fr, cubic, &target, &max, &ok);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(x, 1.0);
  EXPECT_EQ(takeErr(), "Error detected in kivNLSolveB.\nfl and fr have the same sign.\n");
  fl = -1.0;
  int zero = 0;
  kivNLSolveB_(&xl, &x, &xr, &fl, &fr, cubic, &target, &zero, &ok);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(takeErr(), "Error detected in kivNLSolveB. max must be positive.\n");
}

// Circle of radius 2 and the line y = x / 2 + 0.5.
void circleLine(double *x, int *, void *, double *f, int *flag) {
  f[0] = x[0] * x[0] + x[1] * x[1] - 4.0;
  f[1] = x[1] - 0.5 * x[0] - 0.5;
  *flag = 1;
}
void circleLineJac(double *x, int *, void *, double *j, int *flag) {
  j[0] = 2 * x[0];
  j[1] = -0.5;
  j[2] = 2 * x[1];
  j[3] = 1.0;
  *flag = 1;
}
void nanResidual(double *x, int *, void *, double *f, int *flag) {
  f[0] = x[0] > 1.5 ? NAN : x[0] * x[0] - 4.0;
  *flag = 1;
}

TEST_F(SystemTest, NewtonConvergesWithOrWithoutJacobian) {
  // Exact: x = (-1 + sqrt(1 + 1.25*3.75*... )) solved in closed form below.
  const double xs = (-0.5 + std::sqrt(0.25 + 4 * 1.25 * 3.75)) / (2 * 1.25);
  for (KivNdnrJacobian jac : {static_cast<KivNdnrJacobian>(nullptr), &circleLineJac}) {
    double x[] = {1.0, 1.0};
    int n = 2, maxe = 300, conv = -1, print = 0;
    double tol = 1e-11;
    int iters = ndnr_quiet_(x, &n, circleLine, jac, nullptr, &tol, &tol, &maxe, &conv, nullptr, &print);
    EXPECT_EQ(conv, 1);
    EXPECT_GT(iters, 0);
    EXPECT_LT(iters, 20);
    EXPECT_NEAR(x[0], xs, 1e-10);
    EXPECT_NEAR(x[1], 0.5 * xs + 0.5, 1e-10);
  }
}

TEST_F(SystemTest, NewtonStopsOnNaNAndTalksOnlyWhenAsked) {
  double x[] = {1.0};
  int n = 1, maxe = 50, conv = -1, quiet = 0, loud = 1;
  double tol = 1e-11;
  ndnr_quiet_(x, &n, nanResidual, nullptr, nullptr, &tol, &tol, &maxe, &conv, nullptr, &quiet);
  EXPECT_EQ(conv, 0);
  EXPECT_EQ(takeErr(), "");
  x[0] = 1.0;
  ndnr_quiet_(x, &n, nanResidual, nullptr, nullptr, &tol, &tol, &maxe, &conv, nullptr, &loud);
  EXPECT_EQ(conv, 0);
  EXPECT_EQ(takeErr(), "\nNaN detected in f(x) during iteration 1.\n");
  x[0] = 2.0;
  ndnr_quiet_(x, &n, nanResidual, nullptr, nullptr, &tol, &tol, &maxe, &conv, nullptr, &loud);
  EXPECT_EQ(takeErr(), "\nNaN detected in f(x).\n");
}

TEST_F(SystemTest, NewtonEvaluationLimitAndEarlyExit) {
  double x[] = {1.0, 1.0};
  int n = 2, one = 1, conv = -1, print = 0;
  double tol = 1e-11;
  EXPECT_EQ(ndnr_quiet_(x, &n, circleLine, nullptr, nullptr, &tol, &tol, &one, &conv, nullptr, &print), 0);
  EXPECT_EQ(conv, 0);  // one evaluation: no step
  EXPECT_EQ(x[0], 1.0);
  // Already a root: converged without a step.
  double r[] = {0.0, 0.0};
  double big = 1.0;
  auto line = [](double *v, int *, void *, double *f, int *flag) {
    f[0] = v[0];
    f[1] = v[1];
    *flag = 1;
  };
  int maxe = 10;
  EXPECT_EQ(ndnr_quiet_(r, &n, line, nullptr, nullptr, &big, &tol, &maxe, &conv, nullptr, &print), 0);
  EXPECT_EQ(conv, 1);
}

}  // namespace
