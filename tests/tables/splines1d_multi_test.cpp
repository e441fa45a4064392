// Multi-1-D and multi-multi-1-D splines against bilinear and trilinear
// functions, cubic layers against a cubic, out-of-range codes, cyclic
// stacks free and held, creation failures that leave nothing behind.
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "tables/kiv_splinend.h"
#include "tables/splines1d_support.hpp"

namespace {

using kiv::test::linear;
using kiv::test::Located;
using kiv::test::locating;
using kiv::test::ordinary;

// Layers z(x) at given y values, each on its own x points.
struct Layers {
  std::vector<int> npts;
  std::vector<double> x, y, z;
  int top = 1, bottom = 1, xleft_bc = 1, xright_bc = 1, left = 1, right = 1, type = 0;
  double xleft_value = 0, xright_value = 0;

  Layers &add(double yv, const std::vector<double> &xs,
              const std::function<double(double, double)> &f) {
    npts.push_back(static_cast<int>(xs.size()));
    y.push_back(yv);
    for (double v : xs) {
      x.push_back(v);
      z.push_back(f(v, yv));
    }
    return *this;
  }
  int create() const {
    const int n = static_cast<int>(npts.size());
    return msplinit_(&n, npts.data(), x.data(), y.data(), z.data(), &top, &bottom, &xleft_bc,
                     &xleft_value, &xright_bc, &xright_value, &left, &right, &type);
  }
};

double mval(int id, double x, double y, int disc = 0) { return getmspl_(&id, &x, &y, &disc); }
double mdx(int id, double x, double y, int disc = 0) { return getmspdx_(&id, &x, &y, &disc); }
double mdy(int id, double x, double y, int disc = 0) { return getmspdy_(&id, &x, &y, &disc); }

class MultiSpline : public kiv::test::SplineTest {};

const auto kBilinear = [](double x, double y) { return 1 + 2 * x - 3 * y + 0.5 * x * y; };

TEST_F(MultiSpline, BilinearFunctionEverywhere) {
  Layers l;
  l.add(2, {-1, 0, 3}, kBilinear).add(-1, {0, 0.5, 1, 2}, kBilinear).add(0.5, {-2, 4}, kBilinear);
  const int id = l.create();
  ASSERT_EQ(id, 0);
  for (double x : {-3.0, -0.5, 0.7, 2.0, 5.0})
    for (double y : {-2.5, -1.0, 0.0, 0.5, 1.9, 4.0}) {
      EXPECT_NEAR(mval(id, x, y), kBilinear(x, y), 1e-12) << x << " " << y;
      EXPECT_NEAR(mdx(id, x, y), 2 + 0.5 * y, 1e-12);
      EXPECT_NEAR(mdy(id, x, y), -3 + 0.5 * x, 1e-12);
    }
}

// Layer values x, 2x, 3x, x at y = 0..3, period 3.
TEST_F(MultiSpline, CyclicStackFreeAndWhileLocating) {
  Layers c;
  for (double yv : {0.0, 1.0, 2.0, 3.0})
    c.add(yv, {0, 1}, [](double x, double y) { return y == 3 ? x : (1 + y) * x; });
  c.top = 3;
  const int id = c.create();
  for (double y : {0.25, 1.5, 2.75})
    for (int k : {-4, -1, 1, 3}) {
      EXPECT_NEAR(mval(id, 0.8, y + 3 * k), mval(id, 0.8, y), 1e-12);
      EXPECT_NEAR(mdy(id, 0.8, y + 3 * k), mdy(id, 0.8, y), 1e-12);
    }
  ordinary();
  EXPECT_DOUBLE_EQ(mval(id, 1, 1.5, 1), 2.5);
  // An ordinary move down to the first interval: no period is added.
  EXPECT_EQ(locating([&] { return mval(id, 1, 0.5, 1); }), (Located{1.5, 4}));
  // Across the seam both ways, the held pair continues.
  EXPECT_DOUBLE_EQ(mval(id, 1, 2.5, 1), 2.0);
  EXPECT_NEAR(locating([&] { return mval(id, 1, 3.2, 1); }).value, 0.6, 1e-12);
  EXPECT_DOUBLE_EQ(mval(id, 1, -2.5, 1), 1.5);
  EXPECT_NEAR(locating([&] { return mval(id, 1, -0.2, 1); }).value, 0.8, 1e-12);
  // Derivatives keep their own memories; disc 0 neither holds nor stores.
  EXPECT_DOUBLE_EQ(mdy(id, 1, 2.5, 1), -2.0);
  EXPECT_DOUBLE_EQ(mval(id, 1, 1.5, 0), 2.5);
  EXPECT_EQ(locating([&] { return mval(id, 1, 0.7, 1); }).answer, 2);
  EXPECT_EQ(locating([&] { return mdy(id, 1, 2.2, 1); }).answer, 2);
  EXPECT_EQ(locating([&] { return mdx(id, 1, 0.5, 1); }), (Located{1.5, 2}));  // first use: nothing held yet
}

TEST_F(MultiSpline, CubicLayers) {
  auto f = [](double x, double y) { return x * x * x + y; };
  Layers l;
  l.add(0, {-1, 0, 0.5, 2}, f).add(2, {-1, -0.2, 1, 1.5, 2}, f);
  l.type = 1;
  l.xleft_bc = l.xright_bc = 2;
  l.xleft_value = 3;
  l.xright_value = 12;
  l.left = l.right = 2;
  const int id = l.create();
  ASSERT_GE(id, 0);
  for (double x : {-1.0, -0.3, 0.9, 1.7})
    for (double y : {0.0, 0.4, 2.0}) {
      EXPECT_NEAR(mval(id, x, y), f(x, y), 1e-12);
      EXPECT_NEAR(mdx(id, x, y), 3 * x * x, 1e-11);
      EXPECT_NEAR(mdy(id, x, y), 1.0, 1e-12);
    }
}

// A failed creation takes back every layer it made: the registries are as
// before.
TEST_F(MultiSpline, FailedCreationLeavesNothing) {
  Layers l;
  l.add(0.5, {0, 1}, kBilinear).add(1, {0, 2}, kBilinear).add(0.5, {0, 3}, kBilinear);
  refused(l.create(),
          "\n\nError in multi-1D splines: the y-values are not strictly monotonic (see items "
          "which values are 0.5).\n\n");
  EXPECT_EQ(linear({0, 1}, {0, 1}, 1, 1), 0);
  l.type = 1;
  l.left = l.right = 2;
  EXPECT_EQ(l.create(), -1);
  takeErr();
  Layers good;
  good.add(0, {0, 1}, kBilinear).add(1, {0, 1}, kBilinear);
  good.type = 1;
  good.left = good.right = 2;
  EXPECT_EQ(good.create(), 0);
  // Its layers took the N-D slots the failed creation released.
  double x = 0.5, v = 0;
  const int nd0 = 0, nd2 = 2;
  EXPECT_EQ(spleval_(&nd0, &x, &v), 1);
  EXPECT_EQ(spleval_(&nd2, &x, &v), 0);
  takeErr();
}

// ---- Multi-multi-1-D ------------------------------------------------------

const auto kTrilinear = [](double x, double y, double z) {
  return 1 + x - 2 * y + 3 * z + x * y - y * z + 0.5 * x * y * z;
};

struct Parts {
  std::vector<Layers> parts;
  std::vector<double> zval;
  int top = 1, bottom = 1, left = 1, right = 1, type = 0;

  Parts &add(double z, std::vector<std::pair<double, std::vector<double>>> layers,
             const std::function<double(double, double, double)> &f) {
    Layers l;
    for (auto &[y, xs] : layers) l.add(y, xs, [&](double x, double yv) { return f(x, yv, z); });
    parts.push_back(l);
    zval.push_back(z);
    return *this;
  }
  int create() const {
    std::vector<int> npts, nl;
    std::vector<double> x, y, w;
    for (const Layers &l : parts) {
      nl.push_back(static_cast<int>(l.npts.size()));
      npts.insert(npts.end(), l.npts.begin(), l.npts.end());
      x.insert(x.end(), l.x.begin(), l.x.end());
      y.insert(y.end(), l.y.begin(), l.y.end());
      w.insert(w.end(), l.z.begin(), l.z.end());
    }
    const int nz = static_cast<int>(parts.size()), total = 0, bc = 1;
    const double slope = 0;
    return m3dsplinit_(&nz, &total, npts.data(), nl.data(), x.data(), y.data(), zval.data(),
                       w.data(), &top, &bottom, &bc, &slope, &bc, &slope, &left, &right, &type);
  }
};

double wv(int id, double x, double y, double z, int disc = 0) {
  return getm3dspl_(&id, &x, &y, &z, &disc);
}

class Multi3Spline : public kiv::test::SplineTest {};

TEST_F(Multi3Spline, TrilinearFunctionEverywhere) {
  Parts p;
  p.add(1, {{2, {-1, 3}}, {0, {0, 1, 2}}}, kTrilinear)
      .add(0.25, {{0, {0, 1}}, {1, {0, 1}}}, kTrilinear)
      .add(-1, {{-1, {0, 4}}, {1, {-2, 0.5, 1}}, {0.5, {1, 2}}}, kTrilinear);
  const int id = p.create();
  ASSERT_EQ(id, 0) << takeErr();
  for (double x : {-1.5, 0.3, 2.0})
    for (double y : {-2.0, 0.2, 1.5, 3.0})
      for (double z : {-2.0, -0.5, 0.5, 1.0, 2.5}) {
        int id_ = id, disc = 0;
        EXPECT_NEAR(wv(id, x, y, z), kTrilinear(x, y, z), 1e-12);
        EXPECT_NEAR(getm3dspdx_(&id_, &x, &y, &z, &disc), 1 + y + 0.5 * y * z, 1e-12);
        EXPECT_NEAR(getm3dspdy_(&id_, &x, &y, &z, &disc), -2 + x - z + 0.5 * x * z, 1e-12);
        EXPECT_NEAR(getm3dspdz_(&id_, &x, &y, &z, &disc), 3 - y + 0.5 * x * y, 1e-12);
      }
}

TEST_F(MultiSpline, CyclicNoNumberHasNoSlope) {
  // Cyclic along y (period 3) and, in every linear layer, along x.
  Layers c;
  for (double yv : {0.0, 1.0, 2.0, 3.0})
    c.add(yv, {0, 1, 2}, [](double x, double y) { return (y == 3 ? 0 : y) + (x == 2 ? 0 : x); });
  c.top = 3;
  c.left = c.right = 3;
  const int id = c.create();
  ASSERT_GE(id, 0) << takeErr();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double v : {HUGE_VAL, -HUGE_VAL, nan}) {
    EXPECT_TRUE(std::isnan(mdy(id, 0.5, v))) << v;
    EXPECT_TRUE(std::isnan(mdx(id, 0.5, v))) << v;
    EXPECT_TRUE(std::isnan(mval(id, 0.5, v))) << v;
    EXPECT_TRUE(std::isnan(mdx(id, v, 0.5))) << v;
    EXPECT_TRUE(std::isnan(mdy(id, v, 0.5))) << v;
  }
  // Between layers 0 and 1 at x = 0.5: z = y + 0.5, slopes 1 and 1.
  EXPECT_DOUBLE_EQ(mdy(id, 0.5 + 2e6, 0.5 - 3e6), 1.0);
  EXPECT_DOUBLE_EQ(mdx(id, 0.5 + 2e6, 0.5 - 3e6), 1.0);
}

}  // namespace
