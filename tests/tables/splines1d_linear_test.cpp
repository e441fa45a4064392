// 1-D linear splines: creation checks and reduction, out-of-range codes,
// integrals against closed forms, cyclic tables, the integral of 1/y,
// interval memories under the discontinuity protocol, freeing and release.
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "tables/splines1d_support.hpp"

namespace {

using kiv::test::linear;
using kiv::test::lint;
using kiv::test::Located;
using kiv::test::locating;
using kiv::test::lslope;
using kiv::test::lval;
using kiv::test::ordinary;

class LinearSpline : public kiv::test::SplineTest {};

struct Expect {
  int id;
  double x, value, slope;
};

// Closed-form values, slopes and integrals from 0 on extended, held and
// cyclic ends, with zero inside, below or above the table.
TEST_F(LinearSpline, OutOfRangeCodesAndIntegrals) {
  // f = 2x on [1, 2], then to (4, 5).
  const int ext_hold = linear({1, 2, 4}, {2, 4, 5}, 1, 2);
  const int hold_ext = linear({1, 2, 4}, {2, 4, 5}, 2, 1);
  const int right3 = linear({0, 1}, {0, 1}, 1, 3);  // a right 3 without a left 3 holds
  for (const Expect &e : {Expect{ext_hold, 0, 0, 2}, {ext_hold, -1, -2, 2}, {ext_hold, 10, 5, 0},
                          {hold_ext, 0, 2, 0}, {hold_ext, 6, 6, 0.5}, {hold_ext, 3, 4.5, 0.5},
                          {right3, 5, 1, 0}, {right3, -2, -2, 1}}) {
    EXPECT_EQ(lval(e.id, e.x), e.value) << e.id << " " << e.x;
    EXPECT_EQ(lslope(e.id, e.x), e.slope) << e.id << " " << e.x;
  }
  const int inside = linear({-2, -1, 1, 3}, {0, 2, 2, 6}, 2, 2);
  const int below = linear({-3, -1}, {1, 3}, 2, 2);
  // Period 4, one period integrates to 6.
  const int cyc = linear({0, 1, 3, 4}, {0, 2, 2, 0}, 3, 1);
  // Period 4 from 10: f = 3 - x on [0, 2], x - 1 on [2, 4].
  const int shifted = linear({10, 12, 14}, {1, 3, 1}, 3, 3);
  for (auto [id, x, want] :
       {std::tuple{ext_hold, 0.5, 0.25}, {ext_hold, 6.0, 23.0}, {ext_hold, -1.0, 1.0}, {hold_ext, 6.0, 25.0},
        {hold_ext, -2.0, -4.0}, {inside, 3.0, 10.0}, {inside, -1.5, -2.75}, {below, 2.0, 6.0},
        {below, -4.0, -8.0}, {cyc, 5.0, 7.0}, {cyc, -3.5, -5.75}, {cyc, 100.5, 150.25},
        {shifted, 1.0, 2.5}, {shifted, 30.0, 60.0}})
    EXPECT_DOUBLE_EQ(lint(id, x), want) << id << " " << x;
  for (auto [x, want] : {std::pair{5.0, 2.0}, {-0.5, 1.0}, {4.0, 0.0}, {4001.0, 2.0}, {-3999.5, 1.0}})
    EXPECT_EQ(lval(cyc, x), want) << x;
  for (double inf : {HUGE_VAL, -HUGE_VAL}) EXPECT_TRUE(std::isnan(lval(cyc, inf))) << inf;
  EXPECT_NEAR(lint(cyc, 4 - 1e-9), lint(cyc, 4), 1e-8);
}

TEST_F(LinearSpline, IntegralOfReciprocal) {
  // 1 + x on [0, 2], then 3.
  int id = linear({0, 2, 4}, {1, 3, 3}, 1, 1);
  auto inv = [&](double x) { return intinvbm_(&id, &x); };
  EXPECT_NEAR(inv(1), std::log(2.0), 1e-15);
  EXPECT_NEAR(inv(3), std::log(3.0) + 1.0 / 3, 1e-15);
  EXPECT_NEAR(inv(5), std::log(3.0) + 1.0, 1e-15);
  EXPECT_EQ(inv(-1), -1.0);
  // A nearly constant stiff table keeps its digits: 1/a - b/(2a^2) + b^2/(3a^3).
  const double one = 1.0, a = 1e9, b = 1.0 / 1024;
  int stiff = linear({0, 1}, {a, a + b}, 2, 2);
  EXPECT_NEAR(intinvbm_(&stiff, &one), 1 / a - b / (2 * a * a) + b * b / (3 * a * a * a), 1e-24);
  // One sign throughout is integrable; a y reaching 0 is refused, never a NaN.
  int negative = linear({0, 1}, {-1, -2}, 2, 2);
  EXPECT_NEAR(intinvbm_(&negative, &one), -std::log(2.0), 1e-15);
  for (auto y : {std::vector<double>{2, 0}, {1, -1}}) {
    int bad = linear({0, 1}, y, 2, 2);
    fatal([&] { intinvbm_(&bad, &one); },
          "\n\nCall to intinvbm with index " + std::to_string(bad) +
              "\nThe y-values of this linear spline must all be nonzero and of one sign.\nTerminating program.\n\n");
  }
  int single = linear({1}, {2}, 1, 1);
  fatal([&] { intinvbm_(&single, &one); },
        "\n\nCall to intinvbm with invalid index " + std::to_string(single) +
            "\nThis linear spline has only one data point.\nThe function intinvbm does not support "
            "linear splines\nwith 1 data point.\nTerminating program.\n\n");
}

TEST_F(LinearSpline, FreeingInvalidIdsAndRelease) {
  const int a = linear({0, 1}, {0, 1}, 1, 1), b = linear({0, 1}, {0, 2}, 1, 1);
  int c = linear({0, 1}, {0, 3}, 1, 1);
  EXPECT_EQ(freelsp_(&c), 0.0);
  EXPECT_EQ(linear({0, 1}, {0, 4}, 1, 1), 2);  // the last id comes back
  int first = a;
  freelsp_(&first);
  EXPECT_EQ(linear({0, 1}, {0, 5}, 1, 1), 3);  // a hole is never reused
  EXPECT_EQ(lval(b, 1), 2.0);
  EXPECT_EQ(lval(3, 1), 5.0);
  fatal([&] { lval(a, 1); },
        "\n\nCall to linear spline function with invalid index 0\nThis linear spline has been "
        "freed.\nTerminating program.\n\n");
  fatal([&] { lint(7, 1); },
        "\n\nCall to linear spline function with invalid index 7\nNo linear spline with this "
        "index has been created.\nTerminating program.\n\n");
  freelsp_(&first);
  EXPECT_EQ(takeErr(),
            "\n\nWarning.\n\nCall to freelsp with index 0\nThis linear spline has already been "
            "freed.\nNon-fatal error.\n\n");
  int bad = -1;
  freelsp_(&bad);
  EXPECT_EQ(takeErr(), "\n\nWarning.\n\nCall to freelsp with invalid index -1\nNo linear spline with this index "
                       "has been created.\nNon-fatal error.\n\n");
  const int on = 1;
  lsplxtime_(&first, &on);  // ignored
  EXPECT_EQ(takeErr(), "");
  // The end of the run releases them; releasing again is harmless.
  EXPECT_EQ(KivEndRun(0), 1);
  EXPECT_EQ(guarded([&] { return static_cast<int>(lval(b, 1)); }), -2);
  takeErr();
  FreeAllLinearSplines();
  EXPECT_EQ(linear({0, 1}, {0, 1}, 1, 1), 0);
}

TEST_F(LinearSpline, CyclicNoNumberHasNoSlopeAndFarIntegralsCountPeriods) {
  // Period 4, one period integrates to 6, the integral from 0 is 0 at every
  // multiple of 4: at 4k it is exactly 6k, however many periods that is.
  const int cyc = linear({0, 1, 3, 4}, {0, 2, 2, 0}, 3, 1);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double x : {HUGE_VAL, -HUGE_VAL, nan}) {
    EXPECT_TRUE(std::isnan(lslope(cyc, x))) << x;
    EXPECT_TRUE(std::isnan(lval(cyc, x))) << x;
    EXPECT_TRUE(std::isnan(lint(cyc, x))) << x;
  }
  const int plain = linear({0, 1, 2}, {0, 1, 1}, 1, 1);
  EXPECT_TRUE(std::isnan(lslope(plain, nan)));
  EXPECT_TRUE(std::isnan(lval(plain, nan)));
  for (double k : {1e17, 1e20, -1e20, 2.5e30}) EXPECT_EQ(lint(cyc, 4 * k), 6 * k) << k;
  // Halfway through a period adds the integral over [0, 2]: 1 + 2.
  EXPECT_EQ(lint(cyc, 4e20 + 2), 6e20 + 3);
  EXPECT_NEAR(lint(cyc, 1e300) / 1.5e300, 1.0, 1e-15);
  EXPECT_NEAR(lint(cyc, -1e300) / -1.5e300, 1.0, 1e-15);
}

// Whatever interval a caller remembers (none, any, one out of range), and
// on the first call of a run too, the interval taken is the one a scan of
// the knots gives, and value and integral are those of a fresh search, bit
// for bit; the typed value-and-integral reading agrees with both.
TEST_F(LinearSpline, AnyRememberedIntervalGivesTheScannedOne) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> step(0.5, 3.0), value(-2.0, 5.0);
  for (int n : {2, 3, 13, 40, 200}) {
    std::vector<double> x(static_cast<size_t>(n)), y(static_cast<size_t>(n));
    double a = -7.0;
    for (int k = 0; k < n; ++k) {
      x[static_cast<size_t>(k)] = a;
      y[static_cast<size_t>(k)] = value(rng);  // no two slopes alike: no point dropped
      a += step(rng);
    }
    std::uniform_real_distribution<double> at(x.front() - 5.0, x.back() + 5.0);
    std::vector<double> xs(x);  // the knots themselves, then anywhere
    for (int j = 0; j < 300; ++j) xs.push_back(at(rng));
    for (auto [left, right] : {std::pair{1, 1}, {2, 2}, {1, 2}, {2, 1}}) {
      int id = linear(x, y, left, right);
      const int zero = 0;
      for (const double v : xs) {
        int scanned = -1;
        for (int k = 0; k < n; ++k)
          if (x[static_cast<size_t>(k)] <= v) scanned = k;
        if (right == 1 && scanned == n - 1) scanned = n - 2;
        if (left == 1 && scanned == -1) scanned = 0;
        int fresh = -2;
        const double want_value = getlspla_(&id, &v, &zero, &fresh);
        int fresh_i = -2;
        const double want_integral = getlspia_(&id, &v, &zero, &fresh_i);
        ASSERT_EQ(fresh, scanned) << n << " " << v;
        for (int first : {0, 1}) {
          KivSetFirstCall(first);
          for (int start : {-5, -2, -1, 0, 1, n / 2, n - 2, n - 1, n, n + 7}) {
            int mem = start;
            EXPECT_EQ(std::bit_cast<std::uint64_t>(getlspla_(&id, &v, &zero, &mem)),
                      std::bit_cast<std::uint64_t>(want_value))
                << n << " " << v << " " << start;
            EXPECT_EQ(mem, scanned) << n << " " << v << " " << start;
            mem = start;
            EXPECT_EQ(std::bit_cast<std::uint64_t>(getlspia_(&id, &v, &zero, &mem)),
                      std::bit_cast<std::uint64_t>(want_integral));
            mem = start;
            const kiv::sp1::LinearPoint p = kiv::sp1::LinearRead(id, v, 0, mem);
            EXPECT_EQ(std::bit_cast<std::uint64_t>(p.value),
                      std::bit_cast<std::uint64_t>(want_value));
            EXPECT_EQ(std::bit_cast<std::uint64_t>(p.integral),
                      std::bit_cast<std::uint64_t>(want_integral));
            EXPECT_EQ(mem, scanned);
          }
        }
        KivSetFirstCall(0);
        // The line through the two knots of the interval (or the held end).
        const auto k = static_cast<size_t>(std::max(scanned, 0));
        double line = y[k];
        if (scanned >= 0 && scanned <= n - 2)
          line = y[k] + (y[k + 1] - y[k]) * (v - x[k]) / (x[k + 1] - x[k]);
        else if (scanned < 0 || (scanned == n - 1 && right == 2))
          line = scanned < 0 ? y[0] : y.back();
        EXPECT_NEAR(want_value, line, 1e-12 * (1.0 + std::fabs(line))) << n << " " << v;
      }
    }
  }
}

}  // namespace
