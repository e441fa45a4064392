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

// Uneven knots: the periodic spline is twice continuously differentiable
// across its seam as at every interior knot.
TEST_F(CubicSpline, PeriodicSmoothAcrossTheSeamOnUnevenKnots) {
  const std::vector<double> x = {0, 0.05, 1, 1.3, 2.9, 4};
  const std::vector<double> y = {1, 1.4, -0.5, 0.2, 3, 1};
  const int id = make(x, y, 3, 7);
  // Second derivative at a knot from one side: the slope is quadratic there.
  const double e = 1e-3;
  auto second = [&](double k, double side) {
    auto g = [&](double t) { return d1(id, k + side * t); };
    return -side * (5 * g(e) - 8 * g(2 * e) + 3 * g(3 * e)) / (2 * e);
  };
  for (double k : {0.0, 0.05, 1.0, 1.3, 2.9}) {
    const double k0 = k == 0.0 ? 4.0 : k;  // the left side of the seam
    EXPECT_NEAR(val(id, k0 - 1e-9), val(id, k + 1e-9), 1e-7) << k;
    EXPECT_NEAR(d1(id, k0 - 1e-9), d1(id, k + 1e-9), 1e-6) << k;
    const double left = second(k0, -1), right = second(k, 1);
    EXPECT_NEAR(left, right, 1e-7 * (1 + std::fabs(left))) << k;
  }
  EXPECT_EQ(val(id, 4), 1.0);
  EXPECT_NEAR(val(id, -3.7), val(id, 0.3), 1e-13);
}

TEST_F(CubicSpline, CreationRefusesBadInput) {
  refused(make({0, 1}, {0, 1}), "\n\nFor cubic splines there must be at least 3 data points.\n\n");
  refused(make({0, 2, 1}, {0, 1, 2}),
          "\n\nFor cubic splines the x-values must be strictly monotonic (see items 2 and 3 "
          "which values are 2 and 1).\n\n");
  refused(make({0, 1, 2}, {0, 1, 2}, 0),
          "\n\nFor cubic splines the left-hand data out of range indicator must be 1, 2 or 3.\n\n");
  refused(make({0, 1, 2}, {0, 1, 2}, 3),
          "\n\nFor cyclic cubic splines the first and last y-values must be the same.\n\n");
  refused(make({0, 1, 2}, {0, 1, 2}, 2, 3),
          "\n\nFor cubic splines the right-hand data is inconsistent with the left-hand indicator.\n\n");
  refused(make({0, 1, 2}, {0, 1, 2}, 1, 2, 0, HUGE_VAL),
          "\n\nFor cubic splines the right-hand end slope must be a finite number.\n\n");
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(make({0, 1, 2}, {0, 1, -nan}), -1);
  EXPECT_NE(takeErr().find("For cubic splines the y-values must be finite numbers (see item 3"),
            std::string::npos);
  // A natural end does not read its slope.
  EXPECT_EQ(make({0, 1, 2}, {0, 1, 2}, 1, 1, nan, nan), 0);
}

TEST_F(CubicSpline, SecondDerivativeHeldWhileLocating) {
  const int id = make({0, 1, 2, 3}, {0, 1, 0, 1});
  int mem = -2;
  ordinary();
  EXPECT_DOUBLE_EQ(d2(id, 0.5, mem), -2.0);
  EXPECT_EQ(locating([&] { return d2(id, 1.5, mem); }), (Located{-6.0, 4}));  // interval 0's line 0 -> -4 continued
  EXPECT_EQ(mem, 0);
  {
    kiv::test::Mode check(KIV_EVAL_CHECK);
    EXPECT_DOUBLE_EQ(d2(id, 1.5, mem), -6.0);
    EXPECT_EQ(KivGetAnswerWord(), 1);
  }
  EXPECT_DOUBLE_EQ(d2(id, 1.5, mem), 0.0);
  EXPECT_EQ(mem, 1);
  mem = 99;  // nonsense is none
  EXPECT_EQ(locating([&] { return d2(id, 2.5, mem); }).answer, 2);
  EXPECT_EQ(mem, 2);
  // Periodic splines have no second derivative here.
  const int cyc = make({0, 1, 2}, {0, 1, 0}, 3);
  fatal([&] { d2(cyc, 0.5); },
        "\n\nCall to getsp2 for cyclic data.\nThis is not supported.\nTerminating program.\n\n");
}

TEST_F(CubicSpline, FreeingAndInvalidIds) {
  const int a = make({0, 1, 2}, {0, 1, 0});
  int b = make({0, 1, 2}, {0, 2, 0});
  EXPECT_EQ(freespl_(&b), 0.0);
  EXPECT_EQ(make({0, 1, 2}, {0, 3, 0}), 1);
  int first = a;
  freespl_(&first);
  fatal([&] { d1(a, 1); },
        "\n\nCall to getspd with invalid index 0\nThis cubic spline has been freed.\nTerminating program.\n\n");
  fatal([&] { val(5, 1); },
        "\n\nCall to getspl with invalid index 5\nNo cubic spline with this index has been "
        "created.\nTerminating program.\n\n");
  freespl_(&first);
  EXPECT_EQ(takeErr(),
            "\n\nWarning.\n\nCall to freespl with index 0\nThis cubic spline has already been "
            "freed.\nNon-fatal error.\n\n");
  EXPECT_DOUBLE_EQ(val(1, 1), 3.0);
  EXPECT_EQ(make({0, 1, 2}, {0, 3, 0}), 2);
}

}  // namespace
