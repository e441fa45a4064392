// N-D spline creation: checks and their messages, the registry, singleton
// and decreasing axes, thinning of 1-D data, patch storage.
#include <cmath>
#include <limits>

#include "tables/spline_support.hpp"
#include "tables/splinend.hpp"

namespace {

using kiv::test::deriv;
using kiv::test::Grid;
using kiv::test::linspace;
using kiv::test::value;

class SplineCreate : public kiv::test::SplineTest {};

TEST_F(SplineCreate, ArgumentChecks) {
  const int zero = 0, nine = 9, one = 1;
  int sizes[9] = {2, 2, 2, 2, 2, 2, 2, 2, 2}, codes[18], ext[18];
  double a[2] = {0, 1}, values[512] = {}, ends[18] = {};
  double *axes[9];
  for (auto &p : axes) p = a;
  for (int k = 0; k < 18; ++k) codes[k] = 1, ext[k] = 2;
  refused(lsplinitnd_(&zero, sizes, axes, values, codes, &one),
          "\nThe dimension of splines must be strictly positive.\n");
  refused(kivsplinitnd_(&one, &nine, sizes, axes, values, codes, ends, ext, &one),
          "\n\nCall to kivsplinitnd with dim=9.\nMaximum dimension is 8.\n");

  Grid g({{0, 1, 2}, {0, 1}});
  g.fill([](auto &x) { return x[0] + x[1]; });
  g.codes = {1, 1, 1, 5};
  refused(g.linear(),
          "\n\nSpline interpolation requires the boundary condition indicator be in range 1 to "
          "4.\n\nPlease check the boundary conditions of axis 2.\n\n");
  g.codes = {1, 1, 1, 1};
  g.axes[0][2] = std::numeric_limits<double>::infinity();
  refused(g.linear(), "\n\nNaN or Inf found in axis data.\nPlease check item 3 of axis 1.\n\n");
  Grid zig({{0, 1}, {5, 3, 4}});
  zig.fill([](auto &) { return 1.0; });
  refused(zig.constant(),
          "\n\nSpline interpolation requires strictly monotonic x values.\nPlease check items 2 "
          "and 3 (resp. 3 and 4) of axis 2.\n\n");
}

TEST_F(SplineCreate, KindSpecificChecks) {
  Grid g({linspace(0, 1, 4), linspace(0, 1, 3)});
  g.fill([](auto &x) { return x[0] * x[1]; });
  refused(g.cubic(5),
          "\n\nCall to kivsplinitnd with invalid coefficient method (5). This argument mustbe in "
          "range [1,4]\n");
  g.ext = {1, 2, 2, 0};
  refused(g.cubic(),
          "\n\nCubic interpolation requires the extrapolation mode indicator be in range 1 to "
          "2.\n\nPlease check 'ext_mode' on axis 2.\n\n");
  g.ext = {2, 2, 2, 1};
  g.codes = {1, 1, 1, 4};
  refused(g.cubic(),
          "\n\nBoundary condition 'constant y\"' is not compatible with 'linear extrapolation' "
          "mode.\n\nPlease select 'cubic extrapolation' on axis 2.\n\n");

  // Seven axes of which one is a single point: six effective axes.
  std::vector<std::vector<double>> axes(7, {0.0, 1.0});
  axes[2] = {0.5};
  Grid big(axes);
  big.fill([](auto &) { return 0.0; });
  refused(big.cubic(),
          "\n\nCall to kivsplinitnd with dim=7.(simplified to 6).\nMaximum dimension is 5 for "
          "cubic interpolation.\n");

  Grid lone({{1.0}, {2.0}});
  lone.fill([](auto &) { return 3.0; });
  refused(lone.cubic(),
          "\n\nCubic interpolation requires at least 2 data points in each direction.\nPlease "
          "check axis 1.\n\n");
  // A constant spline of a single point is fine.
  const int id = lone.constant();
  ASSERT_GE(id, 0);
  EXPECT_EQ(value(id, {-5.0, 99.0}), 3.0);

  // An axis of no point would leave no table at all.
  const int d = 2, one = 1;
  int sizes[2] = {3, 0}, codes[4] = {1, 1, 1, 1};
  double a0[3] = {0, 1, 2}, a1[1] = {0}, values[3] = {1, 2, 3};
  double *p[2] = {a0, a1};
  refused(csplinitnd_(&d, sizes, p, values, codes, &one),
          "\n\nConstant interpolation requires at least 1 data points in each direction.\nPlease "
          "check axis 2.\n\n");
}

// A creation refused after taking a slot gives the slot back.
TEST_F(SplineCreate, CyclicCubicNeedsEqualEnds) {
  Grid ok({linspace(0, 1, 3)});
  ok.fill([](auto &x) { return x[0]; });
  EXPECT_EQ(ok.linear(), 0);
  Grid g({linspace(0, 1, 5), linspace(0, 360, 7)});
  g.fill([](auto &x) { return x[0] + (x[1] < 360 ? x[1] / 360 : 0.0) + (x[1] == 360 && x[0] == 0.5); });
  g.codes = {1, 1, 1, 3};  // either side makes the axis cyclic
  refused(g.cubic(),
          "\n\nFor cubic interpolation and cyclic mode, the first and the last u values must be "
          "identical.\nCheck the values of u in direction 2\n");
  EXPECT_EQ(ok.linear(), 1);
  EXPECT_EQ(kiv::nd::NumSplines(), 2);
}

TEST_F(SplineCreate, RegistryReusesFreedSlotsAndRefusesFreedIds) {
  Grid g({linspace(0, 1, 3)});
  g.fill([](auto &x) { return 2 * x[0]; });
  const int a = g.linear(), b = g.cubic(), c = g.constant();
  EXPECT_EQ((std::vector<int>{a, b, c}), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(splfree_(&b), 1);
  EXPECT_EQ(splfree_(&b), 1);  // harmless
  const int bad = 3;
  EXPECT_EQ(splfree_(&bad), 0);
  EXPECT_EQ(takeErr(), "\n\nCall to splfree with invalid index 3\n");

  // A freed id is invalid for every evaluator.
  double x[1] = {0.5}, out = 7;
  const int dir = 1, idx = 0;
  EXPECT_EQ(spleval_(&b, x, &out), 0);
  EXPECT_EQ(splevald_(&b, &dir, x, &out), 0);
  EXPECT_EQ(splsetpt_(&b, &idx, &out), 0);
  EXPECT_EQ(splreorder_(&b, &idx), 0);
  EXPECT_EQ(takeErr(),
            "\n\nCall to spleval with invalid index 1\n"
            "\n\nCall to splevald with invalid index 1\n"
            "\n\nCall to splsetpt with invalid index 1\n"
            "\n\nThe spline 1 seems to be freed.\n");
  EXPECT_EQ(out, 7);
  EXPECT_EQ(g.linear(), 1);
  EXPECT_DOUBLE_EQ(value(1, {0.25}), 0.5);

  // The end of the run frees the registry; the next run starts again at 0.
  KivEndRun(0);
  EXPECT_EQ(kiv::nd::NumSplines(), 0);
  EXPECT_EQ(spleval_(&a, x, &out), 0);
  takeErr();
  EXPECT_EQ(g.cubic(), 0);
}

TEST_F(SplineCreate, OneAxisDataAreThinned) {
  // Collinear interior points go; break points stay.
  Grid g({{0, 1, 2, 3, 4, 5, 6}});
  g.values = {0, 1, 2, 3, 2, 1, 1};
  const int id = g.linear();
  EXPECT_EQ(kiv::nd::FindSpline(id)->axes[0], (std::vector<double>{0, 3, 5, 6}));
  for (double x : {0.5, 2.5, 3.5, 5.5}) EXPECT_DOUBLE_EQ(value(id, {x}), x <= 3 ? x : x < 5 ? 6 - x : 1);
  // A constant spline keeps the first point of each run of equal values.
  Grid c({{0, 1, 2, 3, 4, 5}});
  c.values = {7, 7, 8, 8, 8, 9};
  const int cid = c.constant();
  EXPECT_EQ(kiv::nd::FindSpline(cid)->axes[0], (std::vector<double>{0, 2, 5}));
  for (auto [x, want] : {std::pair{1.5, 7.0}, {4.9, 8.0}, {7.0, 9.0}, {-1.0, 7.0}})
    EXPECT_EQ(value(cid, {x}), want) << x;
  // On a cyclic axis the first two points and the last stay.
  c.codes = {2, 2};
  c.values = {7, 7, 7, 8, 8, 8};
  const int cyc = c.constant();
  EXPECT_EQ(kiv::nd::FindSpline(cyc)->axes[0], (std::vector<double>{0, 1, 3, 5}));
  EXPECT_EQ(value(cyc, {5.0 + 3.5}), 8.0);
}

}  // namespace

// Two independent routes to one C2 spline: creation solves for the knot
// slopes, the one-axis routine for the second derivatives (its own
// tridiagonal system and end rows).  They must agree on uneven knots and
// every end code; the local-slope methods' patches are rebuilt from the
// knots alone the same way.
TEST_F(SplineCreate, OneAxisCoefficientRoutinesRebuildTheSameSpline) {
  const std::vector<double> x = {0.0, 0.4, 1.1, 1.5, 2.6, 3.0, 4.2};
  auto f = [](auto &p) { return std::sin(1.3 * p[0]) + 0.2 * p[0]; };
  for (auto [method, code] : {std::pair{1, 1}, {1, 2}, {1, 4}, {1, 3}, {2, 1}, {3, 2}, {4, 1}}) {
    Grid g({x});
    g.fill(f);
    if (code == 3) g.values.back() = g.values.front();
    g.codes = {code, code};
    g.slopes = {0.7, -0.4};
    const int id = g.cubic(method);
    ASSERT_GE(id, 0);
    std::vector<double> before;
    for (double t = -0.2; t < 4.4; t += 0.13) before.push_back(value(id, {t}));
    kiv::nd::NDSpline &s = *kiv::nd::FindSpline(id);
    ASSERT_TRUE(method == 1 ? CubicSplineCoeffs(s, g.slopes.data())
                            : Akima1DCoeffs(s, g.slopes.data()));
    size_t k = 0;
    for (double t = -0.2; t < 4.4; t += 0.13, ++k)
      EXPECT_NEAR(value(id, {t}), before[k], 1e-12) << method << " code " << code << " x " << t;
  }
  Grid plane({linspace(0, 1, 3), linspace(0, 2, 4)});
  plane.fill([](auto &p) { return p[0] + 10 * p[1]; });
  kiv::nd::NDSpline &two = *kiv::nd::FindSpline(plane.cubic());
  EXPECT_FALSE(CubicSplineCoeffs(two, nullptr));
  const int cell[2] = {1, 2};
  double corner[4];
  fill_array_(two, cell, corner);
  // Grid points (1, 2), (2, 2), (1, 3), (2, 3), axis 0 fastest.
  const auto &v = plane.values;
  EXPECT_EQ(std::vector<double>(corner, corner + 4), (std::vector<double>{v[7], v[8], v[10], v[11]}));
}
