// Interval search, cyclic folding, monotonicity, direct linear table
// interpolation and the friction body.
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "support/kiv_test.hpp"
#include "tables/kiv_interp.h"

namespace {

using kiv::test::SystemTest;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

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

TEST(IntervalSearch, Bisection) {
  const double a[] = {0.0, 1.0, 2.0, 3.0, 4.0};
  const int n = 5;
  for (int k = 0; k < n; ++k) EXPECT_EQ(getint_(&a[k], a, &n), k);
  for (auto [x, want] : {std::pair{-0.5, -1}, {9.0, 4}, {2.5, 2}}) EXPECT_EQ(getintbin_(&x, a, &n), want);
  // checkint2_ bisects afresh once the memory no longer holds x.
  int i = 0;
  const double z = 2.5, w = 0.5;
  EXPECT_EQ(checkint2_(&z, a, &n, &i), 1);
  EXPECT_EQ(i, 2);
  EXPECT_EQ(checkint2_(&z, a, &n, &i), 0);
  i = 99;
  EXPECT_EQ(checkint2_(&w, a, &n, &i), 1);
  EXPECT_EQ(i, 0);
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
      if (!std::isnan(x) && start >= -1 && start < n) { ASSERT_EQ(fast, getintbin_(&x, a.data(), &n)); }
    }
  }
}

class Cyclic : public SystemTest {};

TEST_F(Cyclic, FoldsIntoRange) {
  const double a[] = {0.0, 360.0}, b[] = {-1.0, 0.0, 3.0};
  const int n = 2, m = 3;
  for (auto [x, want] : {std::pair{720.0, 0.0}, {-90.0, 270.0}, {359.5, 359.5}, {360.0, 0.0}})
    EXPECT_EQ(cyclicx_(&x, a, &n), want) << x;
  const double y = 7.5;  // period 4: 7.5 - 2*4
  EXPECT_DOUBLE_EQ(cyclicx_(&y, b, &m), -0.5);
  // Without a positive period x comes back, count 0.
  const double flat[] = {2.0, 2.0}, lone[] = {1.0}, x = 5.0;
  const int n1 = 1;
  int k = 17;
  EXPECT_EQ(cyclicx_(&x, flat, &n), 5.0);
  EXPECT_EQ(cyclicx2_(&x, flat, &n, &k), 5.0);
  EXPECT_EQ(k, 0);
  EXPECT_EQ(cyclicx_(&x, lone, &n1), 5.0);
  // Far beyond the range: folded at once (no period-by-period loop).
  for (double big : {1e18, -3.3e22, 1e300, -1e300}) {
    const double f = cyclicx_(&big, a, &n);
    EXPECT_GE(f, 0.0);
    EXPECT_LT(f, 360.0);
    EXPECT_NEAR(f, std::fmod(std::fmod(big, 360.0) + 360.0, 360.0), 1e-6) << big;
  }
  EXPECT_EQ(cyclicx_(&kInf, a, &n), kInf);
  EXPECT_TRUE(std::isnan(cyclicx_(&kNaN, a, &n)));
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
  struct Case {
    double x;
    int extrap;
    double value, slope;
  };
  for (const Case &c : {Case{0.5, 1, 2.0, 2.0}, Case{2.0, 1, 2.5, -0.5}, Case{-1.0, 2, 1.0, 0.0},
                        Case{9.0, 2, 6.0, 0.0}, Case{-1.0, 1, -1.0, 2.0}, Case{5.0, 1, 10.0, 4.0}}) {
    int i = -2, j = -2;
    EXPECT_DOUBLE_EQ(at(c.x, i, c.extrap), c.value) << c.x;
    EXPECT_DOUBLE_EQ(slope(c.x, j, c.extrap), c.slope) << c.x;
  }
  const int one = 1;
  const double x = 123.0;
  int j = -2;
  EXPECT_EQ(linter_(&x, xa, ya, &one, &j, &one), 1.0);
  EXPECT_EQ(lintde_(&x, xa, ya, &one, &j, &one), 0.0);
}

TEST_F(LinearTable, Bilinear) {
  // z = 1 + 2x + 3y + 4xy on x {0,1,2}, y {0,2}.
  auto f = [](double x, double y) { return 1 + 2 * x + 3 * y + 4 * x * y; };
  const double gx[] = {0, 1, 2}, gy[] = {0, 2};
  double z[6];
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 3; ++c) z[r * 3 + c] = f(gx[c], gy[r]);
  const int nx = 3, one = 1, ext = 1, hold = 2;
  auto bl = [&](double x, double y, int &ix, int &iy, const int &mode, const int &rows = 2) {
    return linter2_(&x, &y, &nx, gx, &rows, gy, z, &ix, &iy, &mode);
  };
  int ix = -2, iy = -2;
  EXPECT_DOUBLE_EQ(bl(1.5, 0.5, ix, iy, ext), f(1.5, 0.5));
  EXPECT_DOUBLE_EQ(bl(3.0, -1.0, ix, iy, ext), f(3.0, -1.0));
  EXPECT_DOUBLE_EQ(bl(3.0, -1.0, ix, iy, hold), z[2]);  // the corner
  int jx = -2, jy = -2;
  EXPECT_DOUBLE_EQ(bl(1.5, 0.5, jx, jy, ext, one), 4.0);  // one row: 1-D along x

  // Locating: both intervals held, crossings reported, garbage memories fresh.
  bl(1.5, 0.5, ix, iy, ext);
  KivBeginEvaluation(KIV_EVAL_LOCATE);
  bl(0.5, 0.5, ix, iy, ext);
  EXPECT_EQ(ix, 1);
  EXPECT_EQ(KivGetAnswerWord(), 3);
  KivBeginEvaluation(KIV_EVAL_LOCATE);
  int gxm = 77, gym = -5;
  EXPECT_DOUBLE_EQ(bl(0.5, 0.5, gxm, gym, ext), f(0.5, 0.5));
  EXPECT_TRUE(gxm == 0 && gym == 0);
  EXPECT_EQ(KivGetAnswerWord(), 2);
}

TEST_F(SystemTest, FrictionStuckMovingStoppingAndMassless) {
  KivSetFirstCall(0);
  double m = 2, dm = 0, F = 5, visc = 0.5, Fc = 1, Fs = 10, quad = 0, v = 0, acc = -1;
  int state = 0;
  auto step = [&] { linert_varmass_(&m, &dm, &F, &visc, &Fc, &Fs, &quad, &v, &acc, &state); };
  step();
  EXPECT_TRUE(state == 0 && acc == 0.0);
  F = 12;
  step();
  EXPECT_EQ(state, 1);
  EXPECT_DOUBLE_EQ(acc, (12 - 1) / 2.0);
  v = 2;
  F = -3;
  step();
  EXPECT_DOUBLE_EQ(acc, (-3 - 1 - 0.5 * 2) / 2.0);
  // Velocity crossed zero: the body stops and sticks (|F| below Fs).
  v = -0.1;
  step();
  EXPECT_TRUE(v == 0.0 && state == 0);
  // Held while locating: the state is kept and the change reported.
  F = 50;
  KivBeginEvaluation(KIV_EVAL_LOCATE);
  step();
  EXPECT_EQ(state, 0);
  EXPECT_EQ(KivGetAnswerWord(), 4);
  // Without dry friction: viscous and quadratic terms only.
  Fc = Fs = 0;
  quad = 0.25;
  v = -2;
  step();
  EXPECT_DOUBLE_EQ(acc, (50 - 0.5 * -2 - 0.25 * -2 * 2) / 2.0);
  // A massless body that just stopped sticks: Fs is raised to the force.
  KivBeginEvaluation(KIV_EVAL_ORDINARY);
  m = 0, F = 8, visc = 0, Fc = 1, Fs = 2, quad = 0, v = -0.01, state = 1;
  step();
  EXPECT_TRUE(v == 0.0 && Fs == 8.0 && state == 0);
}

}  // namespace
