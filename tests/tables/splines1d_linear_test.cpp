// 1-D linear splines: creation checks and reduction, out-of-range codes,
// integrals against closed forms, cyclic tables, the integral of 1/y,
// interval memories under the discontinuity protocol, freeing and release.
#include <cmath>
#include <limits>

#include "tables/splines1d_support.hpp"

namespace {

using kiv::test::linear;
using kiv::test::lint;
using kiv::test::locating;
using kiv::test::lslope;
using kiv::test::lval;
using kiv::test::ordinary;

class LinearSpline : public kiv::test::SystemTest {};

TEST_F(LinearSpline, CreationRefusesBadInput) {
  EXPECT_EQ(linear({}, {}, 1, 1), -1);
  EXPECT_EQ(takeErr(), "\n\nFor linear splines there must be at least 1 data points.\n\n");
  EXPECT_EQ(linear({0, 1, 1, 2}, {0, 1, 2, 3}, 1, 1), -1);
  EXPECT_EQ(takeErr(),
            "\n\nFor linear splines the x-values must be strictly monotonic (see items 2 and 3 "
            "which values are 1 and 1).\n\n");
  EXPECT_EQ(linear({0, 1}, {0, 1}, 4, 1), -1);
  EXPECT_EQ(takeErr(),
            "\n\nFor linear splines the left-hand data out of range indicator must be 1, 2 or "
            "3.\n\n");
  EXPECT_EQ(linear({0, 1}, {0, 1}, 1, 0), -1);
  EXPECT_EQ(takeErr(),
            "\n\nFor linear splines the right-hand data out of range indicator must be 1, 2 or "
            "3.\n\n");
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(linear({0, inf, 2}, {0, 1, 2}, 1, 1), -1);
  EXPECT_EQ(takeErr(),
            "\n\nFor linear splines the x-values must be finite numbers (see item 2 which value "
            "is inf).\n\n");
  EXPECT_EQ(linear({0}, {-inf}, 1, 1), -1);
  EXPECT_EQ(takeErr(),
            "\n\nFor linear splines the y-values must be finite numbers (see item 1 which value "
            "is -inf).\n\n");
  // A single point: its codes are not looked at.
  const int one = linear({2}, {7}, 9, 0);
  EXPECT_EQ(one, 0);
  EXPECT_EQ(takeErr(), "");
  EXPECT_EQ(lval(one, -50), 7.0);
  EXPECT_EQ(lslope(one, 3), 0.0);
  EXPECT_EQ(lint(one, 5), 21.0);
}

// Points on the line of their neighbours are gone: a locate-mode evaluation
// across them reports nothing.
TEST_F(LinearSpline, CollinearAndFlatPointsAreDropped) {
  const int id = linear({0, 1, 2, 3}, {0, 1, 2, 5}, 1, 1);
  const int flat = linear({0, 1, 2, 3}, {1, 1, 1, 4}, 1, 1);
  ordinary();
  EXPECT_EQ(lval(id, 0.5, 1), 0.5);
  EXPECT_EQ(lval(flat, 0.5, 1), 1.0);
  auto a = locating([&] { return lval(id, 1.5, 1); });
  EXPECT_EQ(a.answer, 2);
  EXPECT_EQ(a.value, 1.5);
  a = locating([&] { return lval(flat, 1.5, 1); });
  EXPECT_EQ(a.answer, 2);
  a = locating([&] { return lval(id, 2.5, 1); });
  EXPECT_EQ(a.answer, 4);
  EXPECT_EQ(a.value, 2.5);  // the held interval's line y = x
  EXPECT_EQ(lval(id, 2.5), 3.5);
}

TEST_F(LinearSpline, DecreasingInputEvaluatesLikeIncreasing) {
  const int up = linear({0, 1, 2.5, 4}, {3, -1, 2, 2}, 1, 2);
  const int down = linear({4, 2.5, 1, 0}, {2, 2, -1, 3}, 1, 2);
  for (double x : {-3.0, 0.0, 0.4, 1.0, 2.0, 3.3, 4.0, 9.0}) {
    EXPECT_EQ(lval(up, x), lval(down, x)) << x;
    EXPECT_EQ(lslope(up, x), lslope(down, x)) << x;
    EXPECT_DOUBLE_EQ(lint(up, x), lint(down, x)) << x;
  }
}

// f = 2x on [1, 2], then to (4, 5); integrals of the extended or held ends.
TEST_F(LinearSpline, OutOfRangeCodesOnBothSides) {
  const int ext_hold = linear({1, 2, 4}, {2, 4, 5}, 1, 2);
  const int hold_ext = linear({1, 2, 4}, {2, 4, 5}, 2, 1);
  EXPECT_EQ(lval(ext_hold, 0), 0.0);
  EXPECT_EQ(lslope(ext_hold, -1), 2.0);
  EXPECT_EQ(lval(ext_hold, 10), 5.0);
  EXPECT_EQ(lslope(ext_hold, 10), 0.0);
  EXPECT_EQ(lval(hold_ext, 0), 2.0);
  EXPECT_EQ(lslope(hold_ext, 0), 0.0);
  EXPECT_EQ(lval(hold_ext, 6), 6.0);
  EXPECT_EQ(lslope(hold_ext, 6), 0.5);
  EXPECT_EQ(lslope(hold_ext, 3), 0.5);
  // Integral from 0 of 2x below x = 2, etc.
  EXPECT_DOUBLE_EQ(lint(ext_hold, 0.5), 0.25);
  EXPECT_DOUBLE_EQ(lint(ext_hold, 1), 1.0);
  EXPECT_DOUBLE_EQ(lint(ext_hold, 4), 13.0);
  EXPECT_DOUBLE_EQ(lint(ext_hold, 6), 23.0);
  EXPECT_DOUBLE_EQ(lint(ext_hold, -1), 1.0);
  EXPECT_DOUBLE_EQ(lint(hold_ext, 1), 2.0);
  EXPECT_DOUBLE_EQ(lint(hold_ext, 6), 25.0);
  EXPECT_DOUBLE_EQ(lint(hold_ext, -2), -4.0);
  // A right code 3 without a left 3 holds.
  const int right3 = linear({0, 1}, {0, 1}, 1, 3);
  EXPECT_EQ(lval(right3, 5), 1.0);
  EXPECT_EQ(lslope(right3, 5), 0.0);
  EXPECT_EQ(lval(right3, -2), -2.0);
}

TEST_F(LinearSpline, IntegralFromZeroWhereverZeroLies) {
  const int inside = linear({-2, -1, 1, 3}, {0, 2, 2, 6}, 2, 2);
  EXPECT_DOUBLE_EQ(lint(inside, 0), 0.0);
  EXPECT_DOUBLE_EQ(lint(inside, 3), 10.0);
  EXPECT_DOUBLE_EQ(lint(inside, 2), 2 + 3.0);
  EXPECT_DOUBLE_EQ(lint(inside, -2), -3.0);
  EXPECT_DOUBLE_EQ(lint(inside, -1.5), -(0.75 + 2.0));
  // The whole table below zero, value held above it.
  const int below = linear({-3, -1}, {1, 3}, 2, 2);
  EXPECT_DOUBLE_EQ(lint(below, -3), -7.0);
  EXPECT_DOUBLE_EQ(lint(below, -1), -3.0);
  EXPECT_DOUBLE_EQ(lint(below, 2), 6.0);
  EXPECT_DOUBLE_EQ(lint(below, -4), -8.0);
}

TEST_F(LinearSpline, CyclicValuesAndIntegralsOverPeriods) {
  // Period 4, one period integrates to 6.
  const int id = linear({0, 1, 3, 4}, {0, 2, 2, 0}, 3, 1);
  EXPECT_EQ(lval(id, 5), 2.0);
  EXPECT_EQ(lval(id, -0.5), 1.0);
  EXPECT_EQ(lval(id, 4), 0.0);
  EXPECT_EQ(lval(id, 4001), 2.0);
  EXPECT_EQ(lval(id, -3999.5), 1.0);
  EXPECT_DOUBLE_EQ(lint(id, 1), 1.0);
  EXPECT_DOUBLE_EQ(lint(id, 4), 6.0);
  EXPECT_DOUBLE_EQ(lint(id, 5), 7.0);
  EXPECT_DOUBLE_EQ(lint(id, 8), 12.0);
  EXPECT_DOUBLE_EQ(lint(id, -1), -1.0);
  EXPECT_DOUBLE_EQ(lint(id, -4), -6.0);
  EXPECT_DOUBLE_EQ(lint(id, -3.5), -5.75);
  EXPECT_DOUBLE_EQ(lint(id, 100.5), 150.25);
  EXPECT_NEAR(lint(id, 4 - 1e-9), lint(id, 4), 1e-8);
  // A table that does not start at 0: f = 3 - x on [0, 2], x - 1 on [2, 4].
  const int shifted = linear({10, 12, 14}, {1, 3, 1}, 3, 3);
  EXPECT_DOUBLE_EQ(lint(shifted, 2), 4.0);
  EXPECT_DOUBLE_EQ(lint(shifted, 1), 2.5);
  EXPECT_DOUBLE_EQ(lint(shifted, -2), -4.0);
  EXPECT_DOUBLE_EQ(lint(shifted, 4 * 7 + 2), 7 * 8 + 4.0);
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
  for (auto y : {std::vector<double>{2, 0}, {1, -1}, {-1, -2}}) {
    int bad = linear({0, 1}, y, 2, 2);
    EXPECT_EQ(guarded([&] { return static_cast<int>(intinvbm_(&bad, &one)); }), -2);
    EXPECT_EQ(exitCode(), 1);
    EXPECT_EQ(takeErr(), "\n\nCall to intinvbm with index " + std::to_string(bad) +
                             "\nThe y-values of this linear spline must all be strictly "
                             "positive.\nTerminating program.\n\n");
  }
  int single = linear({1}, {2}, 1, 1);
  EXPECT_EQ(guarded([&] { return static_cast<int>(intinvbm_(&single, &one)); }), -2);
  EXPECT_EQ(takeErr(), "\n\nCall to intinvbm with invalid index " + std::to_string(single) +
                           "\nThis linear spline has only one data point.\nThe function "
                           "intinvbm does not support linear splines\nwith 1 data "
                           "point.\nTerminating program.\n\n");
}

TEST_F(LinearSpline, HeldIntervalWhileLocatingAndSeparateMemories) {
  const int id = linear({0, 1, 2, 3}, {0, 1, 0, 1}, 1, 1);
  ordinary();
  EXPECT_EQ(lval(id, 0.5, 1), 0.5);
  auto r = locating([&] { return lval(id, 1.5, 1); });
  EXPECT_EQ(r.answer, 4);
  EXPECT_EQ(r.value, 1.5);  // interval 0 extended
  r = locating([&] { return lval(id, 1.5, 0); });
  EXPECT_EQ(r.answer, 2);  // disc 0: no holding, and the memory follows
  EXPECT_EQ(r.value, 0.5);
  EXPECT_DOUBLE_EQ(lval(id, 1.7, 1), 0.3);
  // Slopes and integrals have their own memories.
  EXPECT_EQ(lslope(id, 2.5, 1), 1.0);
  EXPECT_DOUBLE_EQ(lint(id, 0.2, 1), 0.02);
  r = locating([&] { return lval(id, 1.2, 1); });
  EXPECT_EQ(r.answer, 2);
  r = locating([&] { return lslope(id, 2.2, 1); });
  EXPECT_EQ(r.answer, 2);
  r = locating([&] { return lint(id, 0.9, 1); });
  EXPECT_EQ(r.answer, 2);
  r = locating([&] { return lslope(id, 1.2, 1); });
  EXPECT_EQ(r.answer, 4);
  EXPECT_EQ(r.value, 1.0);
  // A caller's memory; nonsense counts as none.
  int mem = 1000, disc = 1;
  double x = 2.5;
  r = locating([&] { return getlspla_(&id, &x, &disc, &mem); });
  EXPECT_EQ(r.answer, 2);
  EXPECT_EQ(r.value, 0.5);
  EXPECT_EQ(mem, 2);
  x = 0.5;
  r = locating([&] { return getlspda_(&id, &x, &disc, &mem); });
  EXPECT_EQ(r.answer, 4);
  EXPECT_EQ(r.value, 1.0);
  EXPECT_EQ(mem, 2);
  r = locating([&] { return getlspia_(&id, &x, &disc, &mem); });
  EXPECT_DOUBLE_EQ(r.value, 1.0 + 1.125);  // 1 + integral of x - 2 from 2 to 0.5
}

TEST_F(LinearSpline, CyclicSeamWhileLocating) {
  const int id = linear({0, 1, 2, 3, 4}, {0, 1, 0, 1, 0}, 3, 3);
  ordinary();
  EXPECT_EQ(lval(id, 3.5, 1), 0.5);
  EXPECT_DOUBLE_EQ(lint(id, 3.5, 1), 2 - 0.125);
  // Across the seam upward: the last interval continues.
  auto r = locating([&] { return lval(id, 4.2, 1); });
  EXPECT_EQ(r.answer, 4);
  EXPECT_NEAR(r.value, -0.2, 1e-12);
  r = locating([&] { return lint(id, 4.2, 1); });
  EXPECT_NEAR(r.value, 1.98, 1e-12);
  EXPECT_NEAR(lint(id, 4.2, 1), 2.02, 1e-12);
  // Downward: the first interval continues below its start.
  EXPECT_EQ(lval(id, -7.5, 1), 0.5);
  r = locating([&] { return lval(id, -8.3, 1); });
  EXPECT_NEAR(r.value, -0.3, 1e-12);
  // An ordinary move keeps the interval without a period shift.
  r = locating([&] { return lval(id, 1.5, 1); });
  EXPECT_EQ(r.value, 1.5);
  EXPECT_EQ(KivTakeStepDownRequests(), 0);
  // A jump of two intervals from an end interval asks for a smaller step.
  r = locating([&] { return lval(id, 2.5, 1); });
  EXPECT_EQ(r.value, 2.5);
  EXPECT_EQ(KivTakeStepDownRequests(), 1);
}

TEST_F(LinearSpline, TimeAxisAnnouncesTheFirstKnotPassed) {
  int id = linear({0, 1, 2, 3}, {0, 1, 0, 1}, 1, 1);
  int on = 1;
  lsplxtime_(&id, &on);
  ordinary();
  KivSetTime(0.5);
  EXPECT_EQ(lval(id, 0.5, 1), 0.5);
  auto r = locating([&] { return lval(id, 2.5, 1); });
  EXPECT_EQ(r.answer, 2);
  double t = 0;
  ASSERT_EQ(KivGetTimeEvent(&t), 1);
  EXPECT_EQ(t, 1.0);
  EXPECT_EQ(r.value, 2.5);
  // Backward the crossing is reported as such.
  EXPECT_EQ(lval(id, 2.5, 1), 0.5);
  r = locating([&] { return lval(id, 1.5, 1); });
  EXPECT_EQ(r.answer, 4);
  // A cyclic spline is never a time axis.
  int cyc = linear({0, 1, 2}, {0, 1, 0}, 3, 3);
  lsplxtime_(&cyc, &on);
  KivClearTimeEvent();
  EXPECT_EQ(lval(cyc, 0.5, 1), 0.5);
  r = locating([&] { return lval(cyc, 1.5, 1); });
  EXPECT_EQ(r.answer, 4);
  EXPECT_EQ(KivGetTimeEvent(&t), 0);
}

TEST_F(LinearSpline, FreeingAndInvalidIds) {
  const int a = linear({0, 1}, {0, 1}, 1, 1), b = linear({0, 1}, {0, 2}, 1, 1);
  int c = linear({0, 1}, {0, 3}, 1, 1);
  EXPECT_EQ(c, 2);
  EXPECT_EQ(freelsp_(&c), 0.0);
  EXPECT_EQ(linear({0, 1}, {0, 4}, 1, 1), 2);  // the last id comes back
  int first = a;
  freelsp_(&first);
  EXPECT_EQ(linear({0, 1}, {0, 5}, 1, 1), 3);  // a hole is never reused
  EXPECT_EQ(lval(b, 1), 2.0);
  EXPECT_EQ(lval(3, 1), 5.0);
  EXPECT_EQ(guarded([&] { return static_cast<int>(lval(a, 1)); }), -2);
  EXPECT_EQ(exitCode(), 1);
  EXPECT_EQ(takeErr(),
            "\n\nCall to linear spline function with invalid index 0\nThis linear spline has been "
            "freed.\nTerminating program.\n\n");
  EXPECT_EQ(guarded([&] { return static_cast<int>(lint(7, 1)); }), -2);
  EXPECT_EQ(takeErr(),
            "\n\nCall to linear spline function with invalid index 7\nNo linear spline with this "
            "index has been created.\nTerminating program.\n\n");
  freelsp_(&first);
  EXPECT_EQ(takeErr(),
            "\n\nWarning.\n\nCall to freelsp with index 0\nThis linear spline has already been "
            "freed.\nNon-fatal error.\n\n");
  int bad = -1;
  freelsp_(&bad);
  EXPECT_EQ(takeErr(),
            "\n\nWarning.\n\nCall to freelsp with invalid index -1\nNo linear spline with this "
            "index has been created.\nNon-fatal error.\n\n");
  int on = 1;
  lsplxtime_(&first, &on);  // ignored
  EXPECT_EQ(takeErr(), "");
}

TEST_F(LinearSpline, ReleasedOnceAtTheEndOfTheRun) {
  int id = linear({0, 1}, {0, 1}, 1, 1);
  freelsp_(&id);  // empties the registry
  id = linear({0, 1}, {0, 1}, 1, 1);
  EXPECT_EQ(id, 0);
  EXPECT_EQ(KivEndRun(0), 1);
  EXPECT_EQ(guarded([&] { return static_cast<int>(lval(id, 1)); }), -2);
  takeErr();
  FreeAllLinearSplines();
  EXPECT_EQ(linear({0, 1}, {0, 1}, 1, 1), 0);
}

}  // namespace
