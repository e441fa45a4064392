// 1-D cubic splines against closed forms: natural ends, clamped ends that
// reproduce a cubic, periodic splines of trigonometric samples; creation
// checks, extrapolation codes, the held second derivative and freeing.
#include <cmath>
#include <limits>
#include <vector>

#include "tables/splines1d.hpp"
#include "tables/splines1d_support.hpp"

namespace {

using kiv::test::Located;
using kiv::test::locating;
using kiv::test::ordinary;

class CubicSpline : public kiv::test::SplineTest {
 public:
  int make(const std::vector<double> &x, const std::vector<double> &y, int left = 1, int right = 1,
           double ls = 0, double rs = 0, int lext = 2, int rext = 2) {
    const int n = static_cast<int>(x.size());
    return splinit_(&n, x.data(), y.data(), &left, &ls, &right, &rs, &lext, &rext);
  }
  static double val(int id, double x) { return getspl_(&id, &x); }
  static double d1(int id, double x) { return getspd_(&id, &x); }
  static double d2(int id, double x, int &mem) { return getsp2_(&id, &x, &mem); }
  static double d2(int id, double x) {
    int mem = -2;
    return getsp2_(&id, &x, &mem);
  }
};

TEST_F(CubicSpline, NaturalEndsClosedForms) {
  // Three points: M1 = 3 (d1 - d0) / (h0 + h1), M0 = M2 = 0.
  const int three = make({0, 1, 3}, {0, 2, 1});
  EXPECT_EQ(d2(three, 0), 0.0);
  EXPECT_DOUBLE_EQ(d2(three, 1), 3 * (-0.5 - 2) / 3);
  EXPECT_EQ(d2(three, 3), 0.0);
  // Four unit-spaced points 0 1 0 1: M = 0, -4, 4, 0.
  const int four = make({0, 1, 2, 3}, {0, 1, 0, 1});
  EXPECT_DOUBLE_EQ(d2(four, 1), -4.0);
  EXPECT_DOUBLE_EQ(d2(four, 2), 4.0);
  EXPECT_DOUBLE_EQ(val(four, 0.5), 0.75);
  EXPECT_DOUBLE_EQ(val(four, 1.5), 0.5);
  EXPECT_DOUBLE_EQ(d1(four, 1.5), -4.0 / 3);
  EXPECT_DOUBLE_EQ(d2(four, 1.5), 0.0);
  for (double x : {0.0, 1.0, 2.0, 3.0}) EXPECT_DOUBLE_EQ(val(four, x), std::fmod(x, 2.0));
}

// A cubic lies in the spline space: clamped with its end slopes, the spline
// is the cubic itself, inside and (end cubic continued) outside.
TEST_F(CubicSpline, ClampedEndsReproduceACubic) {
  auto f = [](double x) { return 2 * x * x * x - x * x + 3 * x - 1; };
  auto df = [](double x) { return 6 * x * x - 2 * x + 3; };
  auto ddf = [](double x) { return 12 * x - 2; };
  const std::vector<double> x = {-1, -0.3, 0.4, 1.1, 2.5, 3};
  std::vector<double> y;
  for (double v : x) y.push_back(f(v));
  const int id = make(x, y, 2, 2, df(-1), df(3), 2, 2);
  const int lin = make(x, y, 2, 2, df(-1), df(3), 1, 1);
  for (double v = -2; v <= 4; v += 0.125) {
    EXPECT_NEAR(val(id, v), f(v), 1e-11) << v;
    EXPECT_NEAR(d1(id, v), df(v), 1e-11) << v;
    EXPECT_NEAR(d2(id, v), ddf(v), 1e-10) << v;
  }
  // Straight-line extrapolation with the end slopes.
  EXPECT_NEAR(val(lin, 4), f(3) + df(3), 1e-11);
  EXPECT_NEAR(d1(lin, 4), df(3), 1e-11);
  EXPECT_EQ(d2(lin, 4), 0.0);
  EXPECT_NEAR(val(lin, -1.5), f(-1) - 0.5 * df(-1), 1e-11);
  EXPECT_EQ(d2(lin, -1.5), 0.0);
  // Decreasing input, same ends: left is the smallest abscissa.
  const std::vector<double> xr(x.rbegin(), x.rend()), yr(y.rbegin(), y.rend());
  const int rev = make(xr, yr, 2, 2, df(-1), df(3), 2, 2);
  for (double v : {-1.7, -0.1, 2.2, 3.6}) EXPECT_EQ(val(rev, v), val(id, v));
}

// Samples of a sinusoid at N even steps: the periodic spline has
// M_j = 6 (cos h - 1) / (h^2 (cos h + 2)) y_j.
TEST_F(CubicSpline, PeriodicClosedForm) {
  const int N = 12;
  const double h = 2 * M_PI / N;
  auto f = [](double x) { return std::cos(x) + 0.5 * std::sin(x) + 0.25; };
  std::vector<double> x, y;
  for (int j = 0; j <= N; ++j) {
    x.push_back(j * h);
    y.push_back(f(j * h));
  }
  y.back() = y.front();
  const int id = make(x, y, 3, 0);
  const double c = 6 * (std::cos(h) - 1) / (h * h * (std::cos(h) + 2));
  for (int j = 0; j < N; ++j) {
    const double mj = c * (y[j] - 0.25), mk = c * (y[j + 1] - 0.25);
    const double mid = 0.5 * (y[j] + y[j + 1]) - 0.375 * (mj + mk) * h * h / 6;
    EXPECT_NEAR(val(id, x[j] + h / 2), mid, 1e-13) << j;
    const double slope = (y[j + 1] - y[j]) / h - 2 * h / 6 * mj - h / 6 * mk;
    EXPECT_NEAR(d1(id, x[j]), slope, 1e-13) << j;
    double at = x[j], s = 0.0;
    EXPECT_NEAR(kiv::sp1::CubicValueAndSlope(id, at, &s), y[j], 1e-13) << j;
    EXPECT_NEAR(s, slope, 1e-13) << j;
  }
  // One search for both: the same numbers as the two calls, inside, on the
  // straight extension (left) and on the continued cubic (right).
  const int open = make({0, 1, 2.5, 3, 5}, {1, -1, 2, 0, 4}, 1, 1, 0, 0, 1, 2);
  for (double v : {-2.0, 0.0, 0.7, 2.5, 4.2, 6.5}) {
    double s = 0.0;
    EXPECT_EQ(kiv::sp1::CubicValueAndSlope(open, v, &s), val(open, v)) << v;
    EXPECT_EQ(s, d1(open, v)) << v;
  }
  for (double v : {0.3, 2.0, 6.0})
    for (int k : {-3, -1, 1, 5}) {
      EXPECT_NEAR(val(id, v + 2 * M_PI * k), val(id, v), 1e-12);
      EXPECT_NEAR(d1(id, v + 2 * M_PI * k), d1(id, v), 1e-12);
    }
}

}  // namespace
