// Slopes and patches of cubic N-D splines against closed forms and an
// independent (second-derivative form) cubic spline.
#include <cmath>
#include <vector>

#include "tables/spline_support.hpp"

namespace {

using kiv::test::deriv;
using kiv::test::deriv2;
using kiv::test::Grid;
using kiv::test::linspace;
using kiv::test::value;

class SplineSlopes : public kiv::test::SystemTest {};

// Natural cubic spline in the second-derivative form, solved densely.
struct NaturalSpline {
  std::vector<double> x, y, M;
  NaturalSpline(std::vector<double> xs, std::vector<double> ys) : x(xs), y(ys) {
    const size_t n = x.size();
    std::vector<std::vector<double>> A(n, std::vector<double>(n + 1, 0.0));
    A[0][0] = A[n - 1][n - 1] = 1.0;
    for (size_t i = 1; i + 1 < n; ++i) {
      const double h0 = x[i] - x[i - 1], h1 = x[i + 1] - x[i];
      A[i][i - 1] = h0;
      A[i][i] = 2 * (h0 + h1);
      A[i][i + 1] = h1;
      A[i][n] = 6 * ((y[i + 1] - y[i]) / h1 - (y[i] - y[i - 1]) / h0);
    }
    for (size_t c = 0; c < n; ++c)
      for (size_t r = c + 1; r < n; ++r) {
        const double f = A[r][c] / A[c][c];
        for (size_t k = c; k <= n; ++k) A[r][k] -= f * A[c][k];
      }
    M.assign(n, 0.0);
    for (size_t r = n; r-- > 0;) {
      double s = A[r][n];
      for (size_t k = r + 1; k < n; ++k) s -= A[r][k] * M[k];
      M[r] = s / A[r][r];
    }
  }
  double operator()(double v) const {
    size_t i = 0;
    while (i + 2 < x.size() && v >= x[i + 1]) ++i;
    const double h = x[i + 1] - x[i], a = x[i + 1] - v, b = v - x[i];
    return M[i] * a * a * a / (6 * h) + M[i + 1] * b * b * b / (6 * h) +
           (y[i] / h - M[i] * h / 6) * a + (y[i + 1] / h - M[i + 1] * h / 6) * b;
  }
};

TEST_F(SplineSlopes, NaturalSplineMatchesSecondDerivativeForm) {
  const std::vector<double> x = {0.0, 0.4, 1.1, 1.5, 2.6, 3.0, 4.2, 5.0};
  std::vector<double> y;
  for (double v : x) y.push_back(std::exp(-v) * std::cos(2 * v) + 0.3 * v);
  Grid g({x});
  g.values = y;
  const int id = g.cubic(1);
  const NaturalSpline ref(x, y);
  for (double v = 0.0; v <= 5.0; v += 0.037)
    EXPECT_NEAR(value(id, {v}), ref(v), 1e-12) << v;
  // Zero second derivative at both ends.
  EXPECT_NEAR(deriv2(id, 1, 1, {0.0}), 0.0, 1e-10);
  EXPECT_NEAR(deriv2(id, 1, 1, {5.0}), 0.0, 1e-10);
}

TEST_F(SplineSlopes, ClampedAndParabolicEndsReproducePolynomials) {
  auto p = [](double v) { return 1.0 - 2.0 * v + 0.5 * v * v + 0.25 * v * v * v; };
  auto dp = [](double v) { return -2.0 + v + 0.75 * v * v; };
  const std::vector<double> x = {-1.0, -0.2, 0.5, 0.9, 2.0, 2.4};
  Grid g({x});
  g.fill([&](auto &v) { return p(v[0]); });
  g.codes = {2, 2};
  g.slopes = {dp(-1.0), dp(2.4)};
  const int id = g.cubic(1);
  for (double v = -1.0; v <= 2.4; v += 0.05) {
    EXPECT_NEAR(value(id, {v}), p(v), 1e-12);
    EXPECT_NEAR(deriv(id, 1, {v}), dp(v), 1e-11);
  }
  // With natural ends the same data are not reproduced near the ends.
  g.codes = {1, 1};
  const int natural = g.cubic(1);
  EXPECT_GT(std::fabs(value(natural, {-0.8}) - p(-0.8)), 1e-4);
  // Constant second derivative over the end intervals: exact on a parabola.
  Grid q({x});
  q.fill([](auto &v) { return 3.0 - v[0] + 2.0 * v[0] * v[0]; });
  q.codes = {4, 4};
  const int par = q.cubic(1);
  for (double v = -1.0; v <= 2.4; v += 0.05) EXPECT_NEAR(value(par, {v}), 3.0 - v + 2.0 * v * v, 1e-12);
}

TEST_F(SplineSlopes, PeriodicSplineOfSine) {
  const int n = 25;  // 24 intervals over one period
  const double h = 2 * M_PI / (n - 1);
  Grid g({linspace(0, 2 * M_PI, n)});
  g.fill([](auto &v) { return std::sin(v[0]); });
  g.values.back() = g.values.front();  // one period exactly
  g.codes = {3, 1};
  const int id = g.cubic(1);
  ASSERT_GE(id, 0);
  // Uniform periodic spline of sin: slopes 3 sin(h) / (h (2 + cos h)) cos(x_i).
  const double A = 3 * std::sin(h) / (h * (2 + std::cos(h)));
  for (int i = 0; i < n; ++i) {
    const double xi = g.axes[0][static_cast<size_t>(i)];
    EXPECT_NEAR(deriv(id, 1, {xi}), A * std::cos(xi), 1e-12) << i;
  }
  EXPECT_NEAR(deriv(id, 1, {0.0}), deriv(id, 1, {2 * M_PI}), 1e-12);
  for (double v : {0.3, 1.0, 4.4})
    for (int k : {-3, 1, 7, 1000}) {
      EXPECT_NEAR(value(id, {v + k * 2 * M_PI}), value(id, {v}), 1e-9);
      EXPECT_NEAR(deriv(id, 1, {v + k * 2 * M_PI}), deriv(id, 1, {v}), 1e-9);
    }
  EXPECT_NEAR(value(id, {1.0}), std::sin(1.0), 5e-5);
}

TEST_F(SplineSlopes, Akima) {
  Grid g({linspace(-2, 3, 11)});
  g.fill([](auto &v) { return 1 + v[0] - 0.5 * v[0] * v[0]; });
  const int id = g.cubic(2);
  for (double v = -2.0; v <= 3.0; v += 0.0625) {
    EXPECT_NEAR(value(id, {v}), 1 + v - 0.5 * v * v, 1e-12) << v;
    EXPECT_NEAR(deriv(id, 1, {v}), 1 - v, 1e-12) << v;
  }
  // A given left slope replaces the parabola through the first three points.
  g.codes = {2, 1};
  g.slopes = {3.0, 0.0};
  const int given = g.cubic(2);
  EXPECT_NEAR(deriv(given, 1, {-2.0}), 3.0, 1e-12);
  EXPECT_NEAR(deriv(given, 1, {0.0}), 1.0, 1e-12);
  // A flat stretch has zero slopes.
  Grid f({{0, 1, 2, 3, 4, 5, 6}});
  f.values = {0, 1, 1, 1, 1, 2, 0};
  const int flat = f.cubic(2);
  EXPECT_EQ(deriv(flat, 1, {2.0}), 0.0);
  EXPECT_EQ(deriv(flat, 1, {3.0}), 0.0);
  EXPECT_NEAR(value(flat, {2.5}), 1.0, 1e-15);
  // Cyclic: equal slopes at both ends.
  Grid c({linspace(0, 1, 9)});
  c.fill([](auto &v) { return std::cos(2 * M_PI * v[0]) + 0.3 * std::sin(6 * M_PI * v[0]); });
  c.values.back() = c.values.front();
  c.codes = {3, 3};
  const int cyc = c.cubic(2);
  EXPECT_NEAR(deriv(cyc, 1, {0.0}), deriv(cyc, 1, {1.0}), 1e-12);
}

TEST_F(SplineSlopes, ConstrainedAndMonotoneSlopes) {
  const std::vector<double> x = {0, 1, 3, 4, 6};
  Grid g({x});
  g.values = {0, 2, 3, 1, 5};
  // Secants 2, 0.5, -2, 2.
  const int cc = g.cubic(3);
  const double expected[] = {2.6, 0.8, 0.0, 0.0, 3.0};
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(deriv(cc, 1, {x[static_cast<size_t>(i)]}), expected[i], 1e-12) << i;
  const int mp = g.cubic(4);
  // Weighted harmonic mean at point 1 (h 1 and 2), zero where the data turn.
  EXPECT_NEAR(deriv(mp, 1, {1.0}), 3.0 * 3 * 2 * 0.5 / ((2 + 2) * 2 + (1 + 4) * 0.5), 1e-12);
  EXPECT_EQ(deriv(mp, 1, {3.0}), 0.0);
  EXPECT_EQ(deriv(mp, 1, {4.0}), 0.0);
  // Left end: e = ((2h0 + h1) m0 - h0 m1) / (h0 + h1) = 7.5 / 3, same sign as m0.
  EXPECT_NEAR(deriv(mp, 1, {0.0}), 2.5, 1e-12);
  // Right end: e = ((2*2 + 1) 2 - 2 (-2)) / 3 = 14/3; the secants turn but |e| <= 3 |m|.
  EXPECT_NEAR(deriv(mp, 1, {6.0}), 14.0 / 3, 1e-12);
}

}  // namespace
