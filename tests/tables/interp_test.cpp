// Interval search, cyclic folding, monotonicity and direct linear table
// interpolation.
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "support/kiv_test.hpp"
#include "tables/kiv_interp.h"

namespace {

using kiv::test::SystemTest;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// The search from a remembered interval written as a plain linear scan.
int plainCheckint(double x, const double *a, int n, int &i) {
  bool put_back = false;
  auto up = [&](int from) {
    i = n - 1;
    for (int j = from + 2; j < n; ++j)
      if (a[j] > x) {
        i = j - 1;
        break;
      }
    return 1;
  };
  auto down = [&](int from) {
    i = -1;
    for (int j = from - 1; j >= 0; --j)
      if (x >= a[j]) {
        i = j;
        break;
      }
    return 1;
  };
  if (i < -1) {
    i = -1;
    if (x < a[0]) return 1;
    return up(-1);
  }
  if (i >= n) i = n - 1, put_back = true;
  if (i == -1) return x < a[0] ? put_back : up(-1);
  if (i < n - 1) {
    if (a[i] <= x && x < a[i + 1]) return put_back;
    const int from = i;
    return x < a[i] ? down(from) : up(from);
  }
  if (x >= a[n - 1]) return put_back;
  return down(n - 1);
}

TEST(IntervalSearch, BisectionAtKnotsAndOutside) {
  const double a[] = {0.0, 1.0, 2.0, 3.0, 4.0};
  const int n = 5;
  for (int k = 0; k < n; ++k) {
    const double x = a[k];
    EXPECT_EQ(getintbin_(&x, a, &n), k);
    EXPECT_EQ(getint_(&x, a, &n), k);
  }
  const double below = -0.5, above = 9.0, inside = 2.5;
  EXPECT_EQ(getintbin_(&below, a, &n), -1);
  EXPECT_EQ(getintbin_(&above, a, &n), 4);
  EXPECT_EQ(getintbin_(&inside, a, &n), 2);
}

TEST(IntervalSearch, RememberedIntervalPutBackInRange) {
  const double a[] = {0.0, 1.0, 2.0, 3.0, 4.0};
  const int n = 5;
  int i = 7;
  const double x = 10.0;
  EXPECT_EQ(checkint_(&x, a, &n, &i), 1);
  EXPECT_EQ(i, 4);
  EXPECT_EQ(checkint_(&x, a, &n, &i), 0);
  i = -9;
  const double y = 1.5;
  EXPECT_EQ(checkint_(&y, a, &n, &i), 1);
  EXPECT_EQ(i, 1);
  EXPECT_EQ(checkint_(&y, a, &n, &i), 0);
}

// The O(log n) search must give exactly what the plain scan gives: random
// axes with ties, remembered intervals anywhere (garbage included), values
// on knots, between them, outside and NaN.
TEST(IntervalSearch, FastSearchEqualsPlainScan) {
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> size(1, 800);
  std::uniform_real_distribution<double> step(0.0, 1.0);
  for (int trial = 0; trial < 300; ++trial) {
    const int n = size(rng);
    std::vector<double> a(static_cast<size_t>(n));
    double v = -10.0 * step(rng);
    for (int k = 0; k < n; ++k) {
      const double s = step(rng);
      v += s < 0.1 ? 0.0 : s;  // some ties
      a[static_cast<size_t>(k)] = v;
    }
    std::uniform_int_distribution<int> mem(-4, n + 4);
    std::uniform_int_distribution<int> pick(0, n - 1);
    for (int q = 0; q < 60; ++q) {
      double x;
      switch (q % 5) {
        case 0: x = a[static_cast<size_t>(pick(rng))]; break;
        case 1: x = a.front() - 1.0 - step(rng); break;
        case 2: x = a.back() + step(rng); break;
        case 3: x = q == 3 ? kNaN : a.front() + (a.back() - a.front()) * step(rng); break;
        default: x = a.front() + (a.back() - a.front()) * step(rng); break;
      }
      const int start = q % 7 == 0 ? -2 : mem(rng);
      int fast = start, plain = start;
      const int rf = checkint_(&x, a.data(), &n, &fast);
      const int rp = plainCheckint(x, a.data(), n, plain);
      ASSERT_EQ(fast, plain) << "n=" << n << " start=" << start << " x=" << x;
      ASSERT_EQ(rf, rp);
      if (!std::isnan(x) && start >= -1 && start < n) {
        // From a valid memory, the result is the interval bisection gives.
        ASSERT_EQ(fast, getintbin_(&x, a.data(), &n));
      }
    }
  }
}

TEST(IntervalSearch, Checkint2UsesBisectionWhenMoved) {
  const double a[] = {0.0, 1.0, 2.0, 3.0};
  const int n = 4;
  int i = 0;
  const double x = 2.5, y = 0.5;
  EXPECT_EQ(checkint2_(&x, a, &n, &i), 1);
  EXPECT_EQ(i, 2);
  EXPECT_EQ(checkint2_(&x, a, &n, &i), 0);
  i = 99;
  EXPECT_EQ(checkint2_(&y, a, &n, &i), 1);
  EXPECT_EQ(i, 0);
}

TEST(Monotonicity, Directions) {
  int inc = -1, brk = -1;
  const double down[] = {3, 2, 1};
  EXPECT_EQ(CheckMonotonicity(down, 3, &inc, &brk), 1);
  EXPECT_EQ(inc, 0);
  const double tie[] = {1, 1, 2};
  EXPECT_EQ(CheckMonotonicity(tie, 3, &inc, &brk), 0);
  EXPECT_EQ(brk, 0);
  const double up[] = {1, 2, 5, 9};
  EXPECT_EQ(CheckMonotonicity(up, 4, &inc, &brk), 1);
  EXPECT_EQ(inc, 1);
  const double zig[] = {1, 2, 3, 2};
  EXPECT_EQ(CheckMonotonicity(zig, 4, &inc, &brk), 0);
  EXPECT_EQ(brk, 2);
  EXPECT_EQ(CheckMonotonicity(up, 1, &inc, &brk), 1);
}

class Cyclic : public SystemTest {};

TEST_F(Cyclic, FoldsIntoRange) {
  const double a[] = {0.0, 360.0};
  const int n = 2;
  const double x1 = 720.0, x2 = -90.0, x3 = 359.5, x4 = 360.0;
  EXPECT_EQ(cyclicx_(&x1, a, &n), 0.0);
  EXPECT_EQ(cyclicx_(&x2, a, &n), 270.0);
  EXPECT_EQ(cyclicx_(&x3, a, &n), 359.5);
  EXPECT_EQ(cyclicx_(&x4, a, &n), 0.0);
  const double b[] = {-1.0, 0.0, 3.0};
  const int m = 3;
  const double y = 7.5;  // period 4: 7.5 - 2*4 = -0.5
  EXPECT_DOUBLE_EQ(cyclicx_(&y, b, &m), -0.5);
}

TEST_F(Cyclic, ZeroPeriodAndHugeValues) {
  const double flat[] = {2.0, 2.0};
  const int n = 2;
  const double x = 5.0;
  EXPECT_EQ(cyclicx_(&x, flat, &n), 5.0);
  int k = 17;
  EXPECT_EQ(cyclicx2_(&x, flat, &n, &k), 5.0);
  EXPECT_EQ(k, 0);
  const double one[] = {1.0};
  const int n1 = 1;
  EXPECT_EQ(cyclicx_(&x, one, &n1), 5.0);

  // Far beyond the range: folds (no period-by-period loop) into range.
  const double a[] = {0.0, 360.0};
  for (double big : {1e18, -3.3e22, 1e300, -1e300}) {
    const double y = cyclicx_(&big, a, &n);
    EXPECT_GE(y, 0.0);
    EXPECT_LT(y, 360.0);
    EXPECT_NEAR(y, std::fmod(std::fmod(big, 360.0) + 360.0, 360.0), 1e-6) << big;
    int count = 0;
    const double z = cyclicx2_(&big, a, &n, &count);
    EXPECT_GE(z, 0.0);
    EXPECT_LT(z, 360.0);
  }
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(cyclicx_(&inf, a, &n), inf);
  EXPECT_TRUE(std::isnan(cyclicx_(&kNaN, a, &n)));
}

TEST_F(Cyclic, CountsPeriodsAndHoldsThemWhileLocating) {
  const double a[] = {0.0, 90.0, 360.0};
  const int n = 3;
  int k = 0;
  const double x = 1000.0;  // 2 periods + 280
  EXPECT_DOUBLE_EQ(cyclicx2_(&x, a, &n, &k), 280.0);
  EXPECT_EQ(k, 2);
  const double y = -10.0;
  EXPECT_DOUBLE_EQ(cyclicx2_(&y, a, &n, &k), 350.0);
  EXPECT_EQ(k, -1);

  KivBeginEvaluation(KIV_EVAL_LOCATE);
  const double z = 370.0;  // count would be 1
  EXPECT_DOUBLE_EQ(cyclicx2_(&z, a, &n, &k), 370.0 + 360.0);
  EXPECT_EQ(k, -1);
  EXPECT_EQ(KivGetAnswerWord(), 4);
  KivBeginEvaluation(KIV_EVAL_LOCATE);
  const double w = -5.0;  // same count: nothing reported
  EXPECT_DOUBLE_EQ(cyclicx2_(&w, a, &n, &k), 355.0);
  EXPECT_EQ(KivGetAnswerWord(), 2);
}

class LinearTable : public SystemTest {
 protected:
  const double xa[4] = {0.0, 1.0, 3.0, 4.0};
  const double ya[4] = {1.0, 3.0, 2.0, 6.0};
  const int n = 4;
  double at(double x, int &i, int extrap) { return linter_(&x, xa, ya, &n, &i, &extrap); }
  double slope(double x, int &i, int extrap) { return lintde_(&x, xa, ya, &n, &i, &extrap); }
};

TEST_F(LinearTable, InterpolatesHoldsAndExtends) {
  int i = -2;
  EXPECT_DOUBLE_EQ(at(0.5, i, 1), 2.0);
  EXPECT_EQ(i, 0);
  EXPECT_DOUBLE_EQ(at(2.0, i, 1), 2.5);
  EXPECT_DOUBLE_EQ(at(-1.0, i, 2), 1.0);
  EXPECT_DOUBLE_EQ(at(9.0, i, 2), 6.0);
  EXPECT_DOUBLE_EQ(at(-1.0, i, 1), -1.0);
  EXPECT_DOUBLE_EQ(at(5.0, i, 1), 10.0);
  EXPECT_DOUBLE_EQ(slope(0.2, i, 2), 2.0);
  EXPECT_DOUBLE_EQ(slope(2.0, i, 2), -0.5);
  EXPECT_DOUBLE_EQ(slope(-3.0, i, 2), 0.0);
  EXPECT_DOUBLE_EQ(slope(-3.0, i, 1), 2.0);
  EXPECT_DOUBLE_EQ(slope(8.0, i, 1), 4.0);
  const int one = 1;
  const double x = 123.0;
  int j = -2;
  EXPECT_EQ(linter_(&x, xa, ya, &one, &j, &one), 1.0);
  EXPECT_EQ(lintde_(&x, xa, ya, &one, &j, &one), 0.0);
}

TEST_F(LinearTable, HoldsIntervalWhileLocating) {
  int i = -2;
  at(0.5, i, 1);
  EXPECT_EQ(i, 0);
  KivBeginEvaluation(KIV_EVAL_LOCATE);
  // Beyond the first knot: the first segment continues, a crossing is reported.
  EXPECT_DOUBLE_EQ(at(1.5, i, 1), 4.0);
  EXPECT_EQ(i, 0);
  EXPECT_EQ(KivGetAnswerWord(), 3);  // distance 0.5 is not small against (6-1)/1e8
  KivBeginEvaluation(KIV_EVAL_LOCATE);
  EXPECT_DOUBLE_EQ(at(1.0 + 1e-9, i, 1), 3.0 + 2e-9);
  EXPECT_EQ(KivGetAnswerWord(), 4);  // a small overshoot
  KivBeginEvaluation(KIV_EVAL_ORDINARY);
  EXPECT_DOUBLE_EQ(at(1.5, i, 1), 2.75);
  EXPECT_EQ(i, 1);
}

TEST_F(LinearTable, GarbageMemoryIsNoneWhileLocating) {
  KivBeginEvaluation(KIV_EVAL_LOCATE);
  for (int start : {-2, -7, 4, 1000}) {
    int i = start;
    EXPECT_DOUBLE_EQ(at(3.5, i, 1), 4.0) << start;
    EXPECT_EQ(i, 2);
    int j = start;
    EXPECT_DOUBLE_EQ(slope(3.5, j, 1), 4.0);
    EXPECT_EQ(j, 2);
  }
  EXPECT_EQ(KivGetAnswerWord(), 2);  // no crossing reported
}

TEST_F(LinearTable, Bilinear) {
  // z = 1 + 2x + 3y + 4xy on x {0,1,2}, y {0,2}.
  const double gx[] = {0, 1, 2}, gy[] = {0, 2};
  double z[6];
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 3; ++c) z[r * 3 + c] = 1 + 2 * gx[c] + 3 * gy[r] + 4 * gx[c] * gy[r];
  const int nx = 3, ny = 2, ext = 1, hold = 2;
  int ix = -2, iy = -2;
  const double x = 1.5, y = 0.5;
  EXPECT_DOUBLE_EQ(linter2_(&x, &y, &nx, gx, &ny, gy, z, &ix, &iy, &ext),
                   1 + 2 * x + 3 * y + 4 * x * y);
  EXPECT_EQ(ix, 1);
  EXPECT_EQ(iy, 0);
  const double far = 3.0, low = -1.0;
  EXPECT_DOUBLE_EQ(linter2_(&far, &low, &nx, gx, &ny, gy, z, &ix, &iy, &ext),
                   1 + 2 * far + 3 * low + 4 * far * low);
  // Held: the corner value.
  EXPECT_DOUBLE_EQ(linter2_(&far, &low, &nx, gx, &ny, gy, z, &ix, &iy, &hold), z[2]);
  // One row: plain 1-D interpolation along x.
  const int one = 1;
  int jx = -2, jy = -2;
  EXPECT_DOUBLE_EQ(linter2_(&x, &y, &nx, gx, &one, gy, z, &jx, &jy, &ext), 4.0);

  // Locating: both intervals held, crossings reported, garbage memories fresh.
  KivBeginEvaluation(KIV_EVAL_ORDINARY);
  linter2_(&x, &y, &nx, gx, &ny, gy, z, &ix, &iy, &ext);
  KivBeginEvaluation(KIV_EVAL_LOCATE);
  const double x2 = 0.5;
  linter2_(&x2, &y, &nx, gx, &ny, gy, z, &ix, &iy, &ext);
  EXPECT_EQ(ix, 1);
  EXPECT_EQ(KivGetAnswerWord(), 3);
  KivBeginEvaluation(KIV_EVAL_LOCATE);
  int gx_mem = 77, gy_mem = -5;
  EXPECT_DOUBLE_EQ(linter2_(&x2, &y, &nx, gx, &ny, gy, z, &gx_mem, &gy_mem, &ext),
                   1 + 2 * x2 + 3 * y + 4 * x2 * y);
  EXPECT_EQ(gx_mem, 0);
  EXPECT_EQ(gy_mem, 0);
  EXPECT_EQ(KivGetAnswerWord(), 2);
}

class Friction : public SystemTest {};

TEST_F(Friction, StuckMovingAndStopping) {
  KivSetFirstCall(0);
  double m = 2, dm = 0, F = 5, visc = 0.5, Fc = 1, Fs = 10, quad = 0, v = 0, acc = -1;
  int state = 0;
  linert_varmass_(&m, &dm, &F, &visc, &Fc, &Fs, &quad, &v, &acc, &state);
  EXPECT_EQ(state, 0);
  EXPECT_EQ(acc, 0.0);
  F = 12;
  linert_varmass_(&m, &dm, &F, &visc, &Fc, &Fs, &quad, &v, &acc, &state);
  EXPECT_EQ(state, 1);
  EXPECT_DOUBLE_EQ(acc, (12 - 1) / 2.0);
  v = 2;
  F = -3;
  linert_varmass_(&m, &dm, &F, &visc, &Fc, &Fs, &quad, &v, &acc, &state);
  EXPECT_DOUBLE_EQ(acc, (-3 - 1 - 0.5 * 2) / 2.0);
  // Velocity crossed zero: the body stops and sticks (|F| below Fs).
  v = -0.1;
  linert_varmass_(&m, &dm, &F, &visc, &Fc, &Fs, &quad, &v, &acc, &state);
  EXPECT_EQ(v, 0.0);
  EXPECT_EQ(state, 0);
  // Held while locating: the state is kept and the change reported.
  F = 50;
  KivBeginEvaluation(KIV_EVAL_LOCATE);
  linert_varmass_(&m, &dm, &F, &visc, &Fc, &Fs, &quad, &v, &acc, &state);
  EXPECT_EQ(state, 0);
  EXPECT_EQ(KivGetAnswerWord(), 4);
  // Without dry friction: viscous and quadratic terms only.
  double zero = 0, fs0 = 0, q = 0.25, vel = -2;
  linert_varmass_(&m, &dm, &F, &visc, &zero, &fs0, &q, &vel, &acc, &state);
  EXPECT_DOUBLE_EQ(acc, (50 - 0.5 * -2 - 0.25 * -2 * 2) / 2.0);
}

TEST_F(Friction, MasslessBodyStaysStuck) {
  KivSetFirstCall(0);
  double m = 0, dm = 0, F = 8, visc = 0, Fc = 1, Fs = 2, quad = 0, v = -0.01, acc = 0;
  int state = 1;
  linert_varmass_(&m, &dm, &F, &visc, &Fc, &Fs, &quad, &v, &acc, &state);
  EXPECT_EQ(v, 0.0);
  EXPECT_EQ(Fs, 8.0);  // raised to the applied force
  EXPECT_EQ(state, 0);
}

}  // namespace
