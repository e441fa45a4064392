#include <cmath>

#include "params/kiv_math.h"
#include "support/kiv_test.hpp"

namespace {

using kiv::test::SystemTest;

class MathTest : public SystemTest {
 protected:
  void SetUp() override {
    SystemTest::SetUp();
    KivSetFirstCall(0);
  }
  static double dl(double x, double lo, double hi, int &s) { return dlimit_(&x, &lo, &hi, &s); }
  static double dl1(double x, double lo, double hi, double f, int &s) { return dlimit1_(&x, &lo, &hi, &f, &s); }
  static double su(double x, double m, double d) { return sulimit_(&x, &m, &d); }
  static double sl(double x, double m, double d) { return sllimit_(&x, &m, &d); }
  static double sboth(double x, double lo, double hi, double d) { return slimit_(&x, &lo, &hi, &d); }
  static double sa(double x, double d) { return sabs_(&x, &d); }
  static double ad(double x, int &s) { return absdis_(&x, &s); }
  static double mod(double x, double y, double lo, double hi, double &c) { return modulo_(&x, &y, &lo, &hi, &c); }
  static double lsq(double x, double xc, int &s) { return lsqrta_(&x, &xc, &s); }
  static double rnd(double x) { return kivround_(&x); }
  // The answer word after fn ran in a locating evaluation.
  template <class F>
  static int locate(F fn) {
    KivBeginEvaluation(2);
    fn();
    int w = KivGetAnswerWord();
    KivBeginEvaluation(0);
    return w;
  }
};

TEST_F(MathTest, DlimitChoosesFreelyAndHoldsWhileLocating) {
  int s = 0;
  EXPECT_EQ(dl(5, 0, 2, s), 2);
  EXPECT_EQ(s, 1);
  EXPECT_EQ(locate([&] { EXPECT_EQ(dl(1, 0, 2, s), 2); }), 4);  // held at the limit, crossing reported
  EXPECT_EQ(locate([&] { EXPECT_EQ(dl(3, 0, 2, s), 2); }), 2);  // still beyond: nothing to report
  EXPECT_EQ(dl(1, 0, 2, s), 1);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(locate([&] { EXPECT_EQ(dl(-1, 0, 2, s), -1); }), 4);
  EXPECT_EQ(dl(-1, 0, 2, s), 0);
  EXPECT_EQ(s, -1);
  EXPECT_EQ(locate([&] { EXPECT_EQ(dl(0.5, 0, 2, s), 0); }), 4);
  EXPECT_EQ(dl(1, 2, 0, s), 0);  // crossed limits: the upper one wins
  EXPECT_EQ(s, 1);
  EXPECT_TRUE(std::isnan(dl(NAN, 0, 2, s)));
  EXPECT_EQ(s, 0);
}

TEST_F(MathTest, DlimitWithHysteresis) {
  int s = -1;
  EXPECT_EQ(dl1(0.05, 0, 10, 0.1, s), 0);
  EXPECT_EQ(s, -1);
  EXPECT_EQ(dl1(0.5, 0, 10, 0.1, s), 0);  // leaves the limit only on the next call
  EXPECT_EQ(s, 0);
  EXPECT_EQ(dl1(0.5, 0, 10, 0.1, s), 0.5);
  s = 1;
  EXPECT_EQ(dl1(9.95, 0, 10, 0.1, s), 10);  // threshold max(9, 8.9) = 9
  EXPECT_EQ(s, 1);
  EXPECT_EQ(dl1(8.5, 0, 10, 0.1, s), 10);
  EXPECT_EQ(s, 0);
  KivSetFirstCall(1);  // the first call ignores the band
  s = -1;
  EXPECT_EQ(dl1(0.05, 0, 10, 0.1, s), 0.05);
}

TEST_F(MathTest, SmoothLimitsMatchValuesAndSlopesAtTheBandEdges) {
  EXPECT_EQ(su(0.9, 1, 0.1), 0.9);
  EXPECT_EQ(su(0.5, 1, 0.1), 0.5);
  EXPECT_EQ(su(1.1, 1, 0.1), 1.0);
  EXPECT_EQ(su(7.0, 1, 0.1), 1.0);
  EXPECT_NEAR(su(1.0, 1, 0.1), 0.975, 1e-15);
  for (double m : {-3.0, 0.0, 1.0, 250.0})
    for (double d : {0.01, 0.5}) {
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
  EXPECT_EQ(sl(-5, 0, 0.1), 0.0);
  EXPECT_EQ(sl(5, 0, 0.1), 5.0);
  EXPECT_NEAR(sl(0, 0, 0.1), 0.025, 1e-15);
  EXPECT_EQ(sboth(5, 0, 1, 0.1), 1.0);
  EXPECT_EQ(sboth(-5, 0, 1, 0.1), 0.0);
  EXPECT_EQ(sboth(0.5, 0, 1, 0.1), 0.5);
}

TEST_F(MathTest, AbsoluteValues) {
  EXPECT_EQ(sa(0, 0.1), 0.05);
  EXPECT_EQ(sa(-0.2, 0.1), 0.2);
  EXPECT_EQ(sa(0.3, 0.1), 0.3);
  EXPECT_NEAR(sa(0.1 - 1e-12, 0.1), 0.1, 1e-11);
  int s = 0;
  EXPECT_EQ(ad(-2, s), 2);
  EXPECT_EQ(s, -1);
  EXPECT_EQ(locate([&] { EXPECT_EQ(ad(1, s), -1); }), 4);
  EXPECT_EQ(ad(1, s), 1);
  EXPECT_EQ(locate([&] { EXPECT_EQ(ad(-1, s), -1); }), 4);
  ad(NAN, s);
  EXPECT_EQ(s, -1);
}

TEST_F(MathTest, ModuloFoldsAndCounts) {
  double c = 0;
  EXPECT_EQ(mod(7.5, 0, 0, 2, c), 1.5);
  EXPECT_EQ(c, 3);
  EXPECT_EQ(mod(-0.5, 0, 0, 2, c), 1.5);
  EXPECT_EQ(c, -1);
  EXPECT_EQ(mod(3, 1, 0, 2, c), 2);  // the upper bound is kept, not wrapped
  EXPECT_EQ(mod(5, 0, 2, 2, c), 5);  // no period: x itself
  EXPECT_EQ(mod(5, 1, 3, 2, c), 5);
  // Held: the count stays and the escape is reported.
  c = 0;
  mod(1.0, 0, 0, 2, c);
  EXPECT_EQ(locate([&] { EXPECT_EQ(mod(2.5, 0, 0, 2, c), 2.5); }), 4);
  EXPECT_EQ(c, 0);
  // The first call derives the count afresh.
  KivSetFirstCall(1);
  c = 123;
  EXPECT_EQ(mod(-3.0, 0, 0, 2, c), 1.0);
  EXPECT_EQ(c, -2);
}

TEST_F(MathTest, ModuloOfHugeAndInfiniteValuesEnds) {
  double c = 0;
  const double r = mod(1e15 + 0.25, 0, 0, 1, c);
  EXPECT_NEAR(r, 0.25, 1e-3);
  EXPECT_EQ(c, 1e15);
  const double r2 = mod(-1e300, 0, 0, 2 * M_PI, c);
  EXPECT_GE(r2, 0.0);
  EXPECT_LE(r2, 2 * M_PI);
  for (double big : {1e300, -1e300, 9.007199254740993e15, 1e17})
    for (double per : {0.7, 1e-3, 2 * M_PI}) {
      c = 0;
      const double r3 = mod(big, 0, 0, per, c);  // ends, inside one period
      EXPECT_GE(r3, 0.0);
      EXPECT_LE(r3, per);
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
  EXPECT_EQ(lsq(-4, 1, s), -2);
  EXPECT_EQ(s, -1);
  EXPECT_EQ(lsq(0.25, 1, s), 0.25);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(lsq(4, 1, s), 2);
  EXPECT_EQ(s, 1);
  // Continuous at +-xcrit.
  EXPECT_NEAR(lsq(2.0 - 1e-12, 2, s), std::sqrt(2.0), 1e-11);
  EXPECT_NEAR(lsq(-2.0, 2, s), -std::sqrt(2.0), 1e-15);
  s = 1;
  EXPECT_EQ(locate([&] { EXPECT_EQ(lsq(0.25, 1, s), 0.5); }), 4);  // held in region 1
  EXPECT_EQ(guarded([&] { return static_cast<int>(lsq(4, 0, s)); }), -2);
  EXPECT_EQ(exitCode(), 1);
  EXPECT_EQ(takeErr(), "\nThe value of xcrit must be strictly positive\nxcrit = 0\nTerminating program.\n");
  int handle = 0;
  double x = 0.25, xc = 1;
  s = 1;
  KivBeginEvaluation(2);
  EXPECT_EQ(lsqrtadh_(&x, &xc, &s, &handle), 0.25);  // handle 0: never held
  EXPECT_EQ(s, 0);
  KivBeginEvaluation(0);
}

TEST_F(MathTest, RoundHalvesUp) {
  EXPECT_EQ(rnd(2.5), 3);
  EXPECT_EQ(rnd(-2.5), -2);
  EXPECT_EQ(rnd(-2.6), -3);
  EXPECT_EQ(rnd(2.49), 2);
  EXPECT_EQ(rnd(7), 7);
}

}  // namespace
