// 2-D bilinear splines against bilinear functions: extrapolated and held
// sides, cyclic axes free and held, derivatives that leave the value memory
// alone, point changes, creation checks.
#include <cmath>
#include <limits>
#include <vector>

#include "tables/splines1d_support.hpp"

namespace {

using kiv::test::Located;
using kiv::test::locating;
using kiv::test::ordinary;

// A grid of f over x1 (fastest) and x2, with its four codes.
struct Grid {
  std::vector<double> x1, x2, z;
  int codes[4] = {1, 1, 1, 1};  // x1 left, x1 right, x2 left, x2 right

  template <class F>
  Grid(std::vector<double> a, std::vector<double> b, F f) : x1(std::move(a)), x2(std::move(b)) {
    for (double v : x2)
      for (double u : x1) z.push_back(f(u, v));
  }
  int create() const {
    const int nx = static_cast<int>(x1.size()), ny = static_cast<int>(x2.size());
    return lsplini2_(&nx, &ny, x1.data(), x2.data(), z.data(), &codes[0], &codes[1], &codes[2],
                     &codes[3]);
  }
};

double bv(int id, double a, double b, int disc = 0) { return getlspl2_(&id, &a, &b, &disc); }
double bdx(int id, double a, double b, int disc = 0) { return getlspdx_(&id, &a, &b, &disc); }
double bdy(int id, double a, double b, int disc = 0) { return getlspdy_(&id, &a, &b, &disc); }

const auto kF = [](double a, double b) { return 2 - a + 3 * b + 0.5 * a * b; };

class BilinearSpline : public kiv::test::SplineTest {};

TEST_F(BilinearSpline, BilinearFunctionInsideAndExtrapolated) {
  const int id = Grid({-1, 0, 0.5, 3}, {0, 2, 2.5}, kF).create();
  ASSERT_EQ(id, 0);
  for (double a : {-2.0, -1.0, 0.2, 0.5, 2.9, 3.0, 4.5})
    for (double b : {-1.0, 0.0, 1.3, 2.5, 4.0}) {
      EXPECT_NEAR(bv(id, a, b), kF(a, b), 1e-12) << a << " " << b;
      EXPECT_NEAR(bdx(id, a, b), -1 + 0.5 * b, 1e-12);
      EXPECT_NEAR(bdy(id, a, b), 3 + 0.5 * a, 1e-12);
    }
}

TEST_F(BilinearSpline, HeldSides) {
  Grid g({0, 1, 2}, {0, 1}, kF);
  g.codes[0] = g.codes[1] = g.codes[2] = g.codes[3] = 2;
  const int held = g.create();
  EXPECT_EQ(bv(held, -5, 9), kF(0, 1));
  EXPECT_EQ(bdx(held, -5, 0.5), 0.0);
  EXPECT_EQ(bdy(held, 0.5, 9), 0.0);
  EXPECT_DOUBLE_EQ(bdy(held, 9, 0.5), 3 + 0.5 * 2);  // x1 held at its last knot
  // Extrapolated on x1, held on x2; a right code 3 on an axis that is not
  // cyclic holds.
  g.codes[0] = 1;
  g.codes[1] = 3;
  const int mixed = g.create();
  EXPECT_DOUBLE_EQ(bv(mixed, -1, 3), kF(-1, 1));
  EXPECT_DOUBLE_EQ(bdx(mixed, -1, 3), -1 + 0.5);
  EXPECT_DOUBLE_EQ(bv(mixed, 5, 0.5), kF(2, 0.5));
  EXPECT_EQ(bdx(mixed, 5, 0.5), 0.0);
}

// g(x1) = 0 1 3 0 at x1 = 0..3 (period 3) times (1 + x2).
const auto kCyc = [](double a, double b) {
  const double g[] = {0, 1, 3, 0};
  return g[static_cast<int>(a)] * (1 + b);
};

TEST_F(BilinearSpline, CyclicAxisFreeAndHeld) {
  Grid g({0, 1, 2, 3}, {0, 1}, kCyc);
  g.codes[0] = 3;
  const int id = g.create();
  for (double a : {0.4, 1.5, 2.9})
    for (int k : {-3, -1, 2}) EXPECT_NEAR(bv(id, a + 3 * k, 0.5), bv(id, a, 0.5), 1e-12);
  EXPECT_DOUBLE_EQ(bv(id, 4.5, 1), 2 * 2.0);
  ordinary();
  EXPECT_DOUBLE_EQ(bv(id, 1.5, 0, 1), 2.0);
  // An ordinary move to the first cell: no period added.
  EXPECT_EQ(locating([&] { return bv(id, 0.5, 0, 1); }), (Located{0.0, 4}));
  // Across the seam the held cell continues.
  EXPECT_DOUBLE_EQ(bv(id, 2.5, 0, 1), 1.5);
  EXPECT_NEAR(locating([&] { return bv(id, 3.2, 1, 1); }).value, 2 * -0.6, 1e-12);
  EXPECT_DOUBLE_EQ(bv(id, 0.5, 0, 1), 0.5);
  EXPECT_NEAR(locating([&] { return bv(id, -0.25, 0, 1); }).value, -0.25, 1e-12);
  // Unequal end lines are refused, naming the line.
  Grid bad({0, 1, 2}, {0, 1, 2}, kF);
  bad.codes[0] = 3;
  refused(bad.create(),
          "\n\nFor cyclic 2D linear splines, the first and the last x1 values must be the "
          "same\nCheck the 1 column of z values\n");
  bad.codes[0] = 1;
  bad.codes[2] = 3;
  bad.z[6] = bad.z[0];
  refused(bad.create(),
          "\n\nFor cyclic 2D linear splines, the first and the last x2 values must be the "
          "same\nCheck the 2 row of z values\n");
}

TEST_F(BilinearSpline, CyclicNoNumberHasNoSlope) {
  Grid g({0, 1, 2, 3}, {0, 1}, kCyc);
  g.codes[0] = 3;
  const int id = g.create();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double a : {HUGE_VAL, -HUGE_VAL, nan}) {
    EXPECT_TRUE(std::isnan(bv(id, a, 0.5))) << a;
    EXPECT_TRUE(std::isnan(bdx(id, a, 0.5))) << a;
    EXPECT_TRUE(std::isnan(bdy(id, a, 0.5))) << a;
    EXPECT_TRUE(std::isnan(bdx(id, 1.5, nan))) << a;
  }
  // Finite coordinates keep their slopes.
  EXPECT_DOUBLE_EQ(bdx(id, 1.5 + 3e6, 0.5), bdx(id, 1.5, 0.5));
}

}  // namespace
