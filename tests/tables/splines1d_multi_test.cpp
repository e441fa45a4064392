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

TEST_F(MultiSpline, HeldEnds) {
  Layers l;
  l.add(0, {0, 1}, kBilinear).add(1, {0, 2}, kBilinear);
  l.bottom = l.top = l.left = l.right = 2;
  const int held = l.create();
  l.bottom = 3;  // without a cyclic top: held
  l.top = 1;
  const int b3 = l.create();
  for (auto [id, x, y, want] : {std::tuple{held, 0.5, -3.0, kBilinear(0.5, 0)}, {held, 0.5, 7.0, kBilinear(0.5, 1)},
                                {held, 3.0, 1.0, kBilinear(2, 1)}, {b3, 0.5, -3.0, kBilinear(0.5, 0)},
                                {b3, 0.5, 3.0, kBilinear(0.5, 3)}})
    EXPECT_DOUBLE_EQ(mval(id, x, y), want) << id << " " << x << " " << y;
  EXPECT_EQ(mdy(held, 0.5, -3), 0.0);
  EXPECT_EQ(mdx(held, 3, 1), 0.0);
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

TEST_F(MultiSpline, CreationMessages) {
  Layers one;
  one.add(0, {0, 1}, kBilinear);
  refused(one.create(), "\n\nFor multi-1D splines there must be at least 2 splines!\n\n");
  Layers l;
  l.add(0, {0, 1}, kBilinear).add(1, {0, 1, 2}, kBilinear);
  Layers bad = l;
  bad.npts = {4, 1};
  refused(bad.create(),
          "\n\nFor multi-1D splines, each spline must have at least 2 data points.\nThis is "
          "not the case for the spline # 2\n\n");
  bad = l;
  bad.x[4] = std::numeric_limits<double>::infinity();
  refused(bad.create(), "\n\nError in multi-1D splines: the 3th x-value of the spline # 2 is NaN of Inf.");
  bad = l;
  bad.x[3] = 0;
  refused(bad.create(),
          "\n\nError in multi-1D splines: the x-values of the spline # 2 are not strictly "
          "monotonic (see items 1 and 2 which values are 0 and 0).\n\n");
  bad = l;
  bad.type = -1;
  refused(bad.create(), "\n\nFor multi-1D splines, the spline type indicator must be in range [0, 4].\n\n");
  bad = l;
  bad.bottom = 0;
  refused(bad.create(),
          "\n\nFor multi-1D splines the bottom data out of range indicator must be 1, 2 or 3.\n\n");
  bad = l;
  bad.type = 2;
  bad.xright_bc = 3;
  refused(bad.create(),
          "\n\nError in multi-1D splines: cubic interpolation and cyclic mode along X axis "
          "require identical first and last z-values for each 1D layer.\nThis is not the case "
          "for layer 1.\n\n");
  // Cubic layers take only extrapolation modes 1 and 2.
  bad = l;
  bad.type = 1;
  bad.left = 3;
  EXPECT_EQ(bad.create(), -1);
  const std::string e = takeErr(), tail = "\nError in multi-1D spline structure initialisation.\n";
  ASSERT_GT(e.size(), tail.size());
  EXPECT_EQ(e.substr(e.size() - tail.size()), tail);
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

TEST_F(MultiSpline, FreeingAndInvalidIds) {
  Layers l;
  l.add(0, {0, 1}, kBilinear).add(1, {0, 2}, kBilinear);
  const int a = l.create(), b = l.create();
  int first = a;
  EXPECT_EQ(msplfree_(&first), 1);
  fatal([&] { mval(a, 0, 0); },
        "\n\nCall to getmspl_ with invalid index 0.\nThis multi-1D spline has been freed.\nTerminating program.\n\n");
  fatal([&] { mdy(9, 0, 0); },
        "\n\nCall to getmspdy_ with invalid index 9.\nNo multi-1D spline with this index has "
        "been created.\nTerminating program.\n\n");
  EXPECT_EQ(msplfree_(&first), 0);
  EXPECT_EQ(takeErr(),
            "\nCall to msplfree_ with invalid index 0\nThis multi-1D spline has already been "
            "freed.\n");
  int none = 4;
  EXPECT_EQ(msplfree_(&none), 0);
  EXPECT_EQ(takeErr(), "\nCall to msplfree_ with invalid index 4\nNo multi-1D spline with this index has been created.\n");
  EXPECT_EQ(l.create(), 0);  // the freed slot
  EXPECT_DOUBLE_EQ(mval(b, 1, 0.5), kBilinear(1, 0.5));
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

TEST_F(Multi3Spline, HeldAndCyclicAlongZ) {
  Parts p;
  p.add(0, {{0, {0, 1}}, {1, {0, 1}}}, kTrilinear).add(2, {{0, {0, 1}}, {1, {0, 1}}}, kTrilinear);
  p.bottom = 2;
  const int held = p.create();
  double x = 0.5, y = 0.5, z = -3;
  int disc = 0;
  EXPECT_DOUBLE_EQ(wv(held, x, y, z), kTrilinear(x, y, 0));
  EXPECT_EQ(getm3dspdz_(&held, &x, &y, &z, &disc), 0.0);
  // Periodic along y in every part and along z: period 2 in both.
  auto g = [](double x, double y, double z) {
    return x + std::sin(M_PI * y) + std::cos(M_PI * z) * (1 + y * (2 - y));
  };
  Parts c;
  for (double zv : {0.0, 0.5, 1.0, 1.5, 2.0})
    c.add(zv, {{0, {0, 1}}, {0.5, {0, 1}}, {1, {0, 1}}, {1.5, {0, 1}}, {2, {0, 1}}}, g);
  c.top = 3;
  const int cyc = c.create();
  for (double yv : {0.2, 1.3})
    for (double zv : {0.1, 1.7}) EXPECT_NEAR(wv(cyc, 0.5, yv - 2, zv - 6), wv(cyc, 0.5, yv, zv), 1e-12);
  // Held along z while locating.
  ordinary();
  const double g0 = g(0.5, 0.5, 0), g1 = g(0.5, 0.5, 0.5);
  EXPECT_NEAR(wv(cyc, 0.5, 0.5, 0.25, 1), 0.5 * (g0 + g1), 1e-12);
  auto r = locating([&] { return wv(cyc, 0.5, 0.5, 0.75, 1); });
  EXPECT_EQ(r.answer, 4);
  EXPECT_NEAR(r.value, g0 + 1.5 * (g1 - g0), 1e-12);
}

TEST_F(Multi3Spline, CreationFailuresLeaveNothing) {
  Parts p;
  p.add(0, {{0, {0, 1}}, {1, {0, 1}}}, kTrilinear).add(1, {{0, {0, 1}}, {0, {0, 2}}}, kTrilinear);
  refused(p.create(),
          "\n\nError in multi-1D splines: the y-values are not strictly monotonic (see items "
          "which values are 0).\n\n\nError in multi-multi-1D spline structure initialisation.\n");
  Parts q;
  q.add(0, {{0, {0, 1}}, {1, {0, 1}}}, kTrilinear)
      .add(1, {{0, {0, 1}}, {1, {0, 1}}}, kTrilinear)
      .add(0.5, {{0, {0, 1}}, {1, {0, 1}}}, kTrilinear);
  refused(q.create(),
          "\n\nError in multi-multi-1D splines: the z-values are not strictly monotonic (see "
          "items 2 and 3 which values are 1 and 0.5).\n\n");
  EXPECT_EQ(linear({0, 1}, {0, 1}, 1, 1), 0);
  // Checks made before any part.
  Parts one;
  one.add(0, {{0, {0, 1}}, {1, {0, 1}}}, kTrilinear);
  refused(one.create(), "\n\nFor multi-multi-1D splines there must be at least 2 splines in the z-direction!\n\n");
}

TEST_F(Multi3Spline, FreeingAndInvalidIds) {
  Parts p;
  p.add(1, {{0, {0, 1}}, {1, {0, 1}}}, kTrilinear).add(0, {{0, {0, 1}}, {1, {0, 1}}}, kTrilinear);
  int id = p.create();
  EXPECT_DOUBLE_EQ(wv(id, 0.5, 0.5, 0.5), kTrilinear(0.5, 0.5, 0.5));
  EXPECT_EQ(m3dsplfree_(&id), 1);
  EXPECT_EQ(linear({0, 1}, {0, 1}, 1, 1), 0);  // every layer went with it
  fatal([&] { wv(id, 0, 0, 0); },
        "\n\nCall to getm3dspl_ with invalid index 0.\nThis multi-multi-1D spline has been "
        "freed.\nTerminating program.\n\n");
  EXPECT_EQ(m3dsplfree_(&id), 0);
  EXPECT_EQ(takeErr(),
            "\nCall to m3dsplfree_ with invalid index 0\nThis multi-multi-1D spline has already "
            "been freed.\n");
  EXPECT_EQ(p.create(), 0);
}

}  // namespace
