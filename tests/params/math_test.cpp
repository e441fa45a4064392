#include "expr_fixture.hpp"
#include "params/kiv_math.h"

namespace kiv::test {
namespace {

class MathTest : public SystemTest {
 protected:
  void SetUp() override {
    SystemTest::SetUp();
    KivSetFirstCall(0);
  }
  static double dl(double x, double lo, double hi, int &s) { return dlimit_(&x, &lo, &hi, &s); }
  static double dl1(double x, int &s) {
    double lo = 0, hi = 10, f = 0.1;
    return dlimit1_(&x, &lo, &hi, &f, &s);
  }
  static double su(double x, double m, double d) { return sulimit_(&x, &m, &d); }
  static double sa(double x, double d) { return sabs_(&x, &d); }
  static double mod(double x, double y, double lo, double hi, double &c) { return modulo_(&x, &y, &lo, &hi, &c); }
  static double lsq(double x, double xc, int &s) { return lsqrta_(&x, &xc, &s); }
};

TEST_F(MathTest, DlimitChoosesFreelyAndHoldsWhileLocating) {
  int s = 0;
  // Held at a limit: the limit, and a crossing only once x is back inside.
  expectSteps([&](double x) { return dl(x, 0, 2, s); }, {{kFree, 5, 2, 0}, {kLocate, 1, 2, 4}, {kLocate, 3, 2, 2},
                                                         {kFree, 1, 1, 0}, {kLocate, -1, -1, 4}, {kFree, -1, 0, 0},
                                                         {kLocate, 0.5, 0, 4}});
  EXPECT_EQ(dl(1, 2, 0, s), 0);  // crossed limits: the upper one wins
  EXPECT_EQ(s, 1);
  EXPECT_TRUE(std::isnan(dl(NAN, 0, 2, s)));
  EXPECT_EQ(s, 0);
}

TEST_F(MathTest, DlimitWithHysteresis) {
  int s = -1;
  EXPECT_EQ(dl1(0.05, s), 0);
  EXPECT_EQ(dl1(0.5, s), 0);  // leaves the limit only on the next call
  EXPECT_EQ(s, 0);
  EXPECT_EQ(dl1(0.5, s), 0.5);
  s = 1;
  EXPECT_EQ(dl1(9.95, s), 10);  // threshold max(9, 8.9) = 9
  EXPECT_EQ(dl1(8.5, s), 10);
  EXPECT_EQ(s, 0);
  KivSetFirstCall(1);  // the first call ignores the band
  s = -1;
  EXPECT_EQ(dl1(0.05, s), 0.05);
}

TEST_F(MathTest, SmoothLimitsMatchValuesAndSlopesAtTheBandEdges) {
  EXPECT_NEAR(su(1.0, 1, 0.1), 0.975, 1e-15);
  for (double m : {-3.0, 0.0, 1.0, 250.0})
    for (double d : {0.01, 0.5}) {
      EXPECT_EQ(su(m - d - 0.5, m, d), m - d - 0.5);
      EXPECT_EQ(su(m + d + 0.5, m, d), m);
      const double h = 1e-7 * d;
      EXPECT_NEAR(su(m - d + h, m, d), m - d + h, 1e-9);  // value and slope 1 at the lower edge
      EXPECT_NEAR(su(m + d - h, m, d), m, 1e-9);          // value and slope 0 at the upper edge
      for (double t = -0.99; t < 1; t += 0.1) {
        const double x = m + t * d, h2 = 1e-4 * d;
        const double slope = (su(x + h2, m, d) - su(x - h2, m, d)) / (2 * h2);
        // The slope falls linearly across the band (rounding grows with xmax/dx).
        EXPECT_NEAR(slope, 0.5 * (1 - t), std::fabs(m) > 100 ? 1e-3 : 1e-6);
        EXPECT_LE(su(x, m, d), std::min(x, m) + 1e-12);
      }
    }
  double x = 0, lo = 0, hi = 1, d = 0.1;
  EXPECT_NEAR(sllimit_(&x, &lo, &d), 0.025, 1e-15);
  for (auto [in, out] : {std::pair{5.0, 1.0}, {-5.0, 0.0}, {0.5, 0.5}}) {
    x = in;
    EXPECT_EQ(slimit_(&x, &lo, &hi, &d), out);
  }
}

TEST_F(MathTest, AbsoluteValues) {
  EXPECT_EQ(sa(0, 0.1), 0.05);
  EXPECT_EQ(sa(-0.2, 0.1), 0.2);
  EXPECT_NEAR(sa(0.1 - 1e-12, 0.1), 0.1, 1e-11);
  int s = 0;
  const auto ad = [&](double x) { return absdis_(&x, &s); };
  expectSteps(ad, {{kFree, -2, 2, 0}, {kLocate, 1, -1, 4}, {kFree, 1, 1, 0}, {kLocate, -1, -1, 4}});
  ad(NAN);
  EXPECT_EQ(s, -1);
}

TEST_F(MathTest, ModuloFoldsAndCounts) {
  double c = 0;
  EXPECT_EQ(mod(7.5, 0, 0, 2, c), 1.5);
  EXPECT_EQ(c, 3);
  EXPECT_EQ(mod(-0.5, 0, 0, 2, c), 1.5);
  EXPECT_EQ(mod(3, 1, 0, 2, c), 2);  // the upper bound is kept, not wrapped
  EXPECT_EQ(mod(5, 0, 2, 2, c), 5);  // no period: x itself
  EXPECT_EQ(mod(5, 1, 3, 2, c), 5);
  // Held: the count stays and the escape is reported.
  c = 0;
  expectSteps([&](double x) { return mod(x, 0, 0, 2, c); }, {{kFree, 1, 1, 0}, {kLocate, 2.5, 2.5, 4}});
  EXPECT_EQ(c, 0);
  // The first call derives the count afresh.
  KivSetFirstCall(1);
  c = 123;
  EXPECT_EQ(mod(-3.0, 0, 0, 2, c), 1.0);
  EXPECT_EQ(c, -2);
}

TEST_F(MathTest, ModuloOfHugeAndInfiniteValuesEnds) {
  double c = 0;
  EXPECT_NEAR(mod(1e15 + 0.25, 0, 0, 1, c), 0.25, 1e-3);
  EXPECT_EQ(c, 1e15);
  for (double big : {1e300, -1e300, 9.007199254740993e15, 1e17})
    for (double per : {0.7, 1e-3, 2 * M_PI}) {
      c = 0;
      const double r = mod(big, 0, 0, per, c);  // ends, inside one period
      EXPECT_TRUE(r >= 0 && r <= per) << big << " " << per;
    }
  EXPECT_TRUE(std::isinf(mod(INFINITY, 0, 0, 1, c)));
  EXPECT_TRUE(std::isnan(mod(NAN, 0, 0, 1, c)));
  KivSetFirstCall(1);
  c = 0;
  mod(1e300, 0, 0, 1, c);  // count through a clamped conversion, then jumps
  EXPECT_TRUE(std::isfinite(c));
}

TEST_F(MathTest, LinearisedSquareRoot) {
  int s = 0;
  expectSteps([&](double x) { return lsq(x, 1, s); },
              {{kFree, -4, -2, 0}, {kFree, 0.25, 0.25, 0}, {kFree, 4, 2, 0}, {kLocate, 0.25, 0.5, 4}});
  // Continuous at +-xcrit.
  EXPECT_NEAR(lsq(2.0 - 1e-12, 2, s), std::sqrt(2.0), 1e-11);
  EXPECT_NEAR(lsq(-2.0, 2, s), -std::sqrt(2.0), 1e-15);
  int handle = 0;
  double x = 0.25, xc = 1;
  s = 1;
  EXPECT_EQ(answerIn(kLocate, [&] { EXPECT_EQ(lsqrtadh_(&x, &xc, &s, &handle), 0.25); }), 2);  // handle 0: never held
  EXPECT_EQ(s, 0);
  EXPECT_EQ(guarded([&] { return static_cast<int>(lsq(4, 0, s)); }), -2);
  EXPECT_EQ(exitCode(), 1);
  EXPECT_EQ(takeErr(), "\nThe value of xcrit must be strictly positive\nxcrit = 0\nTerminating program.\n");
}

TEST_F(MathTest, RoundHalvesUp) {
  for (auto [x, r] : {std::pair{2.5, 3.0}, {-2.5, -2.0}, {-2.6, -3.0}, {2.49, 2.0}, {7.0, 7.0}})
    EXPECT_EQ(kivround_(&x), r) << x;
}

}  // namespace
}  // namespace kiv::test
