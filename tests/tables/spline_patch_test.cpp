// The constant patch matrices and the Hermite patch evaluation.
#include <cmath>
#include <random>
#include <vector>

#include "support/kiv_test.hpp"
#include "tables/splinend.hpp"

namespace {

using namespace kiv::nd;

// Derivative sets in the corner-data order: by size, then lexicographic.
std::vector<int> subsetsInOrder(int d) {
  std::vector<int> out;
  for (int size = 0; size <= d; ++size) {
    std::vector<int> pick(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i) pick[static_cast<size_t>(i)] = i;
    while (true) {
      int mask = 0;
      for (int v : pick) mask |= 1 << v;
      out.push_back(mask);
      int i = size - 1;
      while (i >= 0 && pick[static_cast<size_t>(i)] == d - size + i) --i;
      if (i < 0) break;
      ++pick[static_cast<size_t>(i)];
      for (int j = i + 1; j < size; ++j) pick[static_cast<size_t>(j)] = pick[static_cast<size_t>(j - 1)] + 1;
    }
  }
  return out;
}

// d/dt^s of t^e at t in {0, 1}.
double powerDerivative(int e, int s, int t) {
  if (s) return e == 0 ? 0.0 : t ? e : (e == 1 ? 1.0 : 0.0);
  return t ? 1.0 : (e == 0 ? 1.0 : 0.0);
}

class PatchMatrix : public kiv::test::SystemTest, public ::testing::WithParamInterface<int> {};

// Corner data of a random polynomial of degree <= 3 per axis (local
// coordinates, scaled derivatives) give back its coefficients exactly; the
// tensor-product Hermite basis has 10^d nonzeros.
TEST_P(PatchMatrix, ReproducesPolynomials) {
  const int d = GetParam();
  const int n = 1 << (2 * d), corners = 1 << d;
  SparseMatrix *M = GetPatchMatrix(d);
  ASSERT_NE(M, nullptr);
  ASSERT_EQ(M->rows, n);
  ASSERT_EQ(M->columns, n);
  long total = 0;
  for (int r = 0; r < n; ++r) total += M->rowcount[r];
  EXPECT_EQ(total, std::lround(std::pow(10.0, d)));

  std::mt19937 rng(77 + d);
  std::uniform_int_distribution<int> coef(-9, 9);
  std::vector<double> c(static_cast<size_t>(n));
  for (auto &v : c) v = coef(rng);
  const std::vector<int> sets = subsetsInOrder(d);
  ASSERT_EQ(static_cast<int>(sets.size()), corners);
  std::vector<double> F(static_cast<size_t>(n), 0.0);
  for (size_t b = 0; b < sets.size(); ++b)
    for (int corner = 0; corner < corners; ++corner) {
      double sum = 0.0;
      for (int e = 0; e < n; ++e) {
        double term = c[static_cast<size_t>(e)];
        for (int k = 0; k < d && term != 0.0; ++k)
          term *= powerDerivative((e >> (2 * k)) & 3, sets[b] >> k & 1, corner >> k & 1);
        sum += term;
      }
      F[b * static_cast<size_t>(corners) + static_cast<size_t>(corner)] = sum;
    }
  std::vector<double> got(static_cast<size_t>(n), -1.0);
  SparseMatVectMultiply(M, F.data(), got.data());
  for (int e = 0; e < n; ++e) ASSERT_EQ(got[static_cast<size_t>(e)], c[static_cast<size_t>(e)]) << e;

  // Evaluating the patch gives the polynomial in real coordinates.
  std::uniform_real_distribution<double> u(-0.3, 1.3);
  const int stride = n / 4;
  for (int trial = 0; trial < 5; ++trial) {
    double t[kMaxCubicDim], h[kMaxCubicDim];
    for (int k = 0; k < d; ++k) t[k] = u(rng), h[k] = 0.5 + k;
    double value = 0.0, d1 = 0.0, d2 = 0.0, d00 = 0.0;
    for (int e = 0; e < n; ++e) {
      double term = c[static_cast<size_t>(e)], dt = term, dtt = term, d00t = term;
      for (int k = 0; k < d; ++k) {
        const int p = (e >> (2 * k)) & 3;
        const double tp = std::pow(t[k], p);
        term *= tp;
        // First derivative along the last axis, mixed along 0 and the last.
        const double dp = p ? p * std::pow(t[k], p - 1) / h[k] : 0.0;
        const double ddp = p > 1 ? p * (p - 1) * std::pow(t[k], p - 2) / (h[k] * h[k]) : 0.0;
        dt *= k == d - 1 ? dp : tp;
        dtt *= (k == 0 || k == d - 1) ? (d == 1 ? ddp : dp) : tp;
        d00t *= k == 0 ? ddp : tp;
      }
      value += term, d1 += dt, d2 += dtt, d00 += d00t;
    }
    EXPECT_NEAR(EvalNcubic(t, h, got.data(), d, stride), value, 1e-9 * (1 + std::fabs(value)));
    EXPECT_NEAR(EvalNcubicDerivative(t, h, got.data(), d, stride, d), d1, 1e-9 * (1 + std::fabs(d1)));
    EXPECT_NEAR(EvalNcubicSecondDerivative(t, h, got.data(), d, stride, 1, d), d2, 1e-9 * (1 + std::fabs(d2)));
    EXPECT_NEAR(EvalNcubicSecondDerivative(t, h, got.data(), d, stride, 1, 1), d00, 1e-9 * (1 + std::fabs(d00)));
  }
}

INSTANTIATE_TEST_SUITE_P(Dims, PatchMatrix, ::testing::Values(1, 2, 3, 4, 5));

TEST(Patch, AxesBeyondThePatchAndCrossDerivativeCounts) {
  // An axis beyond the patch's own reads nothing.
  const double t[1] = {0.3}, h[1] = {2.0}, sq[4] = {0, 0, 1, 0};
  EXPECT_EQ(EvalNcubicDerivative(t, h, nullptr, 1, 1, 2), 0.0);
  EXPECT_EQ(EvalNcubicSecondDerivative(t, h, nullptr, 1, 1, 1, 2), 0.0);
  EXPECT_DOUBLE_EQ(EvalNcubicSecondDerivative(t, h, sq, 1, 1, 1, 1), 2.0 / 4.0);
  // Binomial coefficients, 0 beyond the dimension.
  EXPECT_EQ(NumCrossDerivatives(5, 2), 10);
  EXPECT_EQ(NumCrossDerivatives(3, 4), 0);
}

}  // namespace
