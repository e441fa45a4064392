// Savitzky-Golay smoothing: exact on quadratics, equal to a direct
// convolution with least-squares weights on noisy data (periodic or not),
// and refusals that leave the caller's curve as it was.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "hydraulics/kiv_hydlaws.h"
#include "support/kiv_test.hpp"
#include "tables/kiv_splinend.h"

namespace kiv::test {
namespace {

double *mallocCopy(const std::vector<double> &v) {
  auto *p = static_cast<double *>(std::malloc(sizeof(double) * v.size()));
  std::copy(v.begin(), v.end(), p);
  return p;
}

// A curve in malloc'd arrays, as the filter's callers hold it.
struct Curve {
  double *x, *y;
  int n;
  Curve(const std::vector<double> &xs, const std::vector<double> &ys)
      : x(mallocCopy(xs)), y(mallocCopy(ys)), n(int(xs.size())) {}
  ~Curve() {
    std::free(x);
    std::free(y);
  }
  Curve(const Curve &) = delete;
  Curve &operator=(const Curve &) = delete;

  // Smooths into m points; the curve takes the new count on success.
  int smooth(int m, int window, int linear = 1, int method = 1, int left = 1, int right = 1) {
    int codes[2] = {left, right}, disc = 0, count = n;
    const int rc = savitzkygolay_filter_(&linear, &method, &count, &m, codes, &disc, &window, &x, &y);
    if (rc == 0) n = m;
    return rc;
  }
};

std::vector<double> sample(int n, const std::function<double(int)> &f) {
  std::vector<double> v;
  for (int i = 0; i < n; ++i) v.push_back(f(i));
  return v;
}

// Smoothing weights of a window of 2h + 1 points: the value at 0 of the
// least-squares parabola, e0' (A'A)^-1 A', from the normal equations
// (A'A) = [[s0, 0, s2], [0, s2, 0], [s2, 0, s4]], whose inverse's first row
// is (s4, 0, -s2) / (s0 s4 - s2^2).
std::vector<double> leastSquaresWeights(int h) {
  double s0 = 0, s2 = 0, s4 = 0;
  for (double i = -h; i <= h; ++i) s0 += 1, s2 += i * i, s4 += i * i * i * i;
  return sample(2 * h + 1, [&](int k) { return (s4 - s2 * (k - h) * (k - h)) / (s0 * s4 - s2 * s2); });
}

// A sine of the given period in samples with white noise of 0.1.
std::vector<double> noisy(int n, unsigned seed, double period) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> noise(0.0, 0.1);
  return sample(n, [&](int i) { return std::sin(2 * std::numbers::pi * i / period) + noise(gen); });
}

using Smoothing = SystemTest;

TEST_F(Smoothing, PolynomialsComeBackExactly) {
  // A quadratic from an uneven grid: cubic with a constant second derivative
  // at both ends, the spline is the parabola itself, and so is its cubic
  // extrapolation.
  auto f = [](double x) { return 2.0 - 3.0 * x + 0.5 * x * x; };
  const auto xs = sample(40, [](int i) { return i + 0.3 * std::sin(1.7 * i); });
  // Fewer or more points than given: every entry is written, on the even
  // grid (ASan checks the arrays' sizes).
  for (int window = 5; window <= 25; window += 2) {
    const int m = window < 15 ? 23 : 57;
    Curve c(xs, sample(40, [&](int i) { return f(xs[size_t(i)]); }));
    ASSERT_EQ(c.smooth(m, window, 2, 1, 4, 4), 0);
    for (int j = 0; j < m; ++j) {
      EXPECT_NEAR(c.x[j], xs.front() + j * (xs.back() - xs.front()) / (m - 1), 1e-13);
      EXPECT_NEAR(c.y[j], f(c.x[j]), 1e-11) << window << " " << j;
    }
  }
  // A straight line: linear kind holding its end values is off the line
  // beyond the range only; cubic (Akima slopes) continued keeps it everywhere.
  auto line = [](double x) { return 4.0 - 2.5 * x; };
  const auto lx = sample(30, [](int i) { return 0.1 * i * i; });
  const auto ly = sample(30, [&](int i) { return line(lx[size_t(i)]); });
  for (int window : {5, 13, 25}) {
    const int h = (window - 1) / 2;
    Curve held(lx, ly), cubic(lx, ly);
    ASSERT_EQ(held.smooth(61, window, 1, 1, 2, 2), 0);
    for (int j = h; j < 61 - h; ++j) EXPECT_NEAR(held.y[j], line(held.x[j]), 1e-11) << window << " " << j;
    EXPECT_GT(std::fabs(held.y[0] - line(held.x[0])), 1e-3);
    ASSERT_EQ(cubic.smooth(61, window, 2, 2, 1, 1), 0);
    for (int j = 0; j < 61; ++j) EXPECT_NEAR(cubic.y[j], line(cubic.x[j]), 1e-11) << window << " " << j;
  }
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Smoothing, NoisyCurveMatchesDirectConvolution) {
  // On an even grid the spline passes through the samples, so the filter is
  // the plain convolution: inside the range, or circular over one period.
  for (bool periodic : {false, true}) {
    const int n = periodic ? 121 : 200, period = n - 1, code = periodic ? 3 : 1;
    const auto xs = sample(n, [](int i) { return 0.25 * i - 3.0; });
    auto ys = noisy(n, periodic ? 5 : 77, 40.0);
    if (periodic) ys[n - 1] = ys[0];
    for (int window : {5, 11, 25}) {
      for (int linear : {1, 2}) {
        Curve c(xs, ys);
        ASSERT_EQ(c.smooth(n, window, linear, 2, code, code), 0);
        const int h = (window - 1) / 2;
        const auto w = leastSquaresWeights(h);
        for (int j = periodic ? 0 : h; j < (periodic ? n : n - h); ++j) {
          double direct = 0.0;
          for (int i = -h; i <= h; ++i)
            direct += w[size_t(i + h)] * ys[size_t(periodic ? ((j + i) % period + period) % period : j + i)];
          EXPECT_NEAR(c.y[j], direct, 1e-12) << periodic << " " << window << " " << linear << " " << j;
          EXPECT_EQ(c.x[j], xs[size_t(j)]);
        }
        // Still periodic: the next pass may build a cyclic spline on it.
        if (periodic) {
          EXPECT_EQ(c.y[n - 1], c.y[0]);
        }
      }
    }
  }
  // Impulses at m - 3 and m - 2 reach output 0 through the first two
  // weights of the five-point window, -3/35 and 12/35.
  const int m = 12;
  std::vector<double> ys(m, 0.0);
  ys[m - 3] = 1.0;
  ys[m - 2] = 10.0;
  Curve c(sample(m, [](int i) { return i; }), ys);
  ASSERT_EQ(c.smooth(m, 5, 1, 1, 3, 3), 0);
  EXPECT_NEAR(c.y[0], -3.0 / 35 + 10.0 * 12.0 / 35, 1e-15);
  EXPECT_NEAR(c.y[1], 10.0 * -3.0 / 35, 1e-15);
  EXPECT_EQ(c.y[m - 1], c.y[0]);
}

TEST_F(Smoothing, RefusalsLeaveTheCurveUntouched) {
  struct Refusal {
    int n, m, window, code;
    std::string message;
  };
  const std::string windows = "Expected values are 5, 7, 9, 11, 13, 15, 17, 19, 21, 23 or 25.\n";
  const std::string none = "No filter applied.\n";
  const auto xs = sample(30, [](int i) { return i; });
  const auto ys = sample(30, [](int i) { return i == 29 ? 0.0 : std::sin(i); });
  for (const Refusal &r : {
           Refusal{30, 30, 4, 1, "Call with an invalid number of points (4).\n" + windows + none},
           Refusal{30, 30, 6, 3, "Call with an invalid number of points (6).\n" + windows + none},
           // Key phrases (no line end) where the text is this library's own.
           Refusal{30, 1, 5, 1, "too few points (30 in, 1 out)"},
           Refusal{30, 24, 25, 3, "fewer than the window (25)"},
           // The extended grid would pass the int range.
           Refusal{30, 2147483647 - 3, 5, 1, "Error during memory allocation.\n"},
       }) {
    Curve c(xs, ys);
    c.n = r.n;
    double *x0 = c.x, *y0 = c.y;
    EXPECT_EQ(c.smooth(r.m, r.window, 1, 1, r.code, r.code), -1);
    const std::string err = takeErr();
    EXPECT_TRUE(err == r.message || (r.message.back() != '\n' && err.find(r.message) != std::string::npos)) << err;
    EXPECT_TRUE(c.x == x0 && c.y == y0) << r.message;
    EXPECT_EQ(std::vector<double>(c.x, c.x + 30), xs);
    EXPECT_EQ(std::vector<double>(c.y, c.y + 30), ys);
  }
  // Exactly the window on a periodic curve is enough.
  EXPECT_EQ(Curve(sample(25, [](int i) { return i; }), std::vector<double>(25, 0.0)).smooth(25, 25, 1, 1, 3, 3), 0);
  // A curve the spline refuses: its message, then the filter's.
  Curve bad({0.0, 1.0, 1.0, 2.0}, {0.0, 1.0, 2.0, 3.0});
  EXPECT_EQ(bad.smooth(4, 5), -1);
  const std::string err = takeErr(), tail = "Error defining spline.\n";
  EXPECT_TRUE(err.size() > tail.size() && err.ends_with(tail)) << err;
}

TEST_F(Smoothing, RepeatedPassesKeepNoSpline) {
  const int dim = 1, size = 3, codes[2] = {1, 1}, disc = 0;
  double ax[3] = {0, 1, 2}, vals[3] = {0, 1, 4};
  double *axes[1] = {ax};
  const int first = lsplinitnd_(&dim, &size, axes, vals, codes, &disc);
  ASSERT_GE(first, 0);

  const int n = 1440;
  auto ys = noisy(n, 11, 360.0);
  ys[n - 1] = ys[0];
  Curve c(sample(n, [](int i) { return 0.25 * i; }), ys);
  for (int pass = 0; pass < 25; ++pass) ASSERT_EQ(c.smooth(n, 25, 2, 4, 3, 3), 0);
  // The next creation takes the slot right after ours: nothing was left behind.
  EXPECT_EQ(lsplinitnd_(&dim, &size, axes, vals, codes, &disc), first + 1);
  // 25 passes of a 25-point window keep the sine (gain 1 - 2e-4) and scale
  // white noise by the norm of the combined kernel, 0.19: from 0.1 to 0.019.
  double sum2 = 0.0;
  for (int j = 0; j < n; ++j) sum2 += std::pow(c.y[j] - std::sin(2 * std::numbers::pi * j / 360.0), 2);
  const double rms = std::sqrt(sum2 / n);
  EXPECT_GT(rms, 0.012);
  EXPECT_LT(rms, 0.028);
  EXPECT_EQ(takeErr(), "");
}

}  // namespace
}  // namespace kiv::test
