// Flow against pressure drop: the zero point, the mirror of a symmetric
// orifice and the reverse branch, read back through the lookups at points
// worked out by hand on the linear interpolants; refusals and their texts.
#include <cstdio>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "fluid_test.hpp"
#include "hydraulics/kiv_hydtables.h"
#include "tables/kiv_interpret.h"
#include "tables/kiv_tablefiles.h"

namespace kiv::test {
namespace {

class FlowTables : public LawsTest {
 public:
  // A 1-D or 2-D table added by program (no such file exists).
  static void table(const char *name, std::vector<double> dp, std::vector<double> q,
                    std::vector<double> second = {}) {
    std::vector<int> sizes{static_cast<int>(dp.size())};
    if (!second.empty()) sizes.push_back(static_cast<int>(second.size()));
    dp.insert(dp.end(), second.begin(), second.end());
    ASSERT_EQ(rtablend_add(name, static_cast<int>(sizes.size()), sizes.data(), dp.data(), q.data(),
                           nullptr),
              1);
  }
  // Linear, extrapolating interpolant; the variables dp (and y).
  int setUp(const char *text, int revflow, int sign, int nnames = 1, int unit = 0,
            double factor = 1.0, bool opening = false) {
    char dp[] = "dp", y[] = "y", t[] = "T";
    char *names[] = {opening ? y : dp, opening ? dp : y, t};
    int interpolation = 2, disc = 0, codes[4] = {1, 1, 1, 1}, modes[4] = {1, 1, 1, 1};
    double slopes[4] = {};
    return opening ? SetUpFlowXdPTable(const_cast<char *>(text), &unit, &revflow, &factor, names,
                                       &nnames, &interpolation, codes, modes, slopes, &disc,
                                       nullptr, &level)
                   : SetUpFlowdPTable(const_cast<char *>(text), &unit, &revflow, &sign, &factor,
                                      names, &nnames, nullptr, &interpolation, &disc, &level);
  }
  static double flow(int index, std::vector<double> at, int unit = 0, double factor = 1.0) {
    double q = -7.0;
    get_flow_from_table_(&index, &unit, &factor, at.data(), &q);
    return q;
  }
  int level = -1;
};

TEST_F(FlowTables, ReverseFlowOptions) {
  table("ft_rev", {0.0, 1e5, 2e5}, {0.0, 1e-4, 1.5e-4});
  struct Case {
    int revflow, sign;
    std::vector<std::pair<double, double>> expected;  // (dp, q)
  } cases[] = {
      {1, 1, {{1.5e5, 1.25e-4}, {-1.5e5, -1.25e-4}, {-2e5, -1.5e-4}, {-5e4, -5e-5}}},
      {3, -1, {{-1.5e5, -1.25e-4}, {-2e5, -1.5e-4}, {-5e4, -5e-5}}},
      {3, 1, {{1.5e5, 1.25e-4}, {-1e5, -1e-4}}},
      {2, 1, {{1.5e5, 1.25e-4}, {-1e5, -1e-4}}},
  };
  for (const Case &c : cases) {
    const int index = setUp("ft_rev", c.revflow, c.sign);
    ASSERT_GE(index, 0) << c.revflow;
    EXPECT_EQ(level, 0);
    for (auto [dp, q] : c.expected) EXPECT_NEAR(flow(index, {dp}), q, 1e-16) << c.revflow << " " << dp;
  }
  EXPECT_EQ(takeErr(), "");
  // A 2-D table is mirrored row by row, each row gaining its zero point.
  table("ft_2d", {1e5, 2e5}, {1e-4, 2e-4, 2e-4, 3e-4}, {1.0, 2.0});
  const int index = setUp("ft_2d", 1, 1, 2);
  ASSERT_GE(index, 0);
  EXPECT_EQ(level, 1);
  EXPECT_NEAR(flow(index, {-1.5e5, 2.0}), -2.5e-4, 1e-16);
  EXPECT_NEAR(flow(index, {5e4, 1.0}), 5e-5, 1e-16);
}

TEST_F(FlowTables, ZeroPointKeepsTheAxisSorted) {
  table("ft_up", {-1e5, 1e5}, {-2e-4, 1e-4});
  table("ft_down", {2e5, 1e5, -1e5}, {2e-4, 1e-4, -3e-4});
  for (const char *name : {"ft_up", "ft_down"}) {
    const int index = setUp(name, 2, 1);
    ASSERT_GE(index, 0);
    EXPECT_EQ(level, 1);
    EXPECT_EQ(takeErr(), "\nThe input table " + std::string(name) +
                             " does not contain a point at zero pressure drop.\n"
                             "\nIt is added so that the flow rate is zero for a zero pressure "
                             "drop.\n");
    EXPECT_NEAR(flow(index, {5e4}), 5e-5, 1e-16) << name;
    EXPECT_EQ(flow(index, {0.0}), 0.0);
  }
  EXPECT_NEAR(flow(0, {-5e4}), -1e-4, 1e-16);
}

TEST_F(FlowTables, Refusals) {
  table("ft_leak", {0.0, 1e5}, {1e-6, 1e-4});
  table("ft_neg", {-1e5, 0.0, 1e5}, {-1e-4, 0.0, 1e-4});
  struct Case {
    const char *text;
    int revflow, level;
    std::string err;
  } cases[] = {
      {"ft_leak", 2, 2,
       "\nThe input table ft_leak contains a point which leads to a non-zero" +
           std::string(37, ' ') +
           "flow rate at zero pressure drop.\n\nPlease check the point (0.000000, 0.000001).\n"},
      {"ft_neg", 1, 0,
       "\n When using a symmetric orifice, only" + std::string(25, ' ') +
           "positive values are expected for pressure drop." + std::string(25, ' ') +
           "\n Please, rearrange table in ft_neg."},
      {"2*dp", 1, 0, "\nError in SetUpFlowdPTable: expression'2*dp' is not valid in this case.\n"},
      {"ft_neg", 4, 0, "\nError in SetUpFlowdPTable: incorrect value for revflow argument.\n"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(setUp(c.text, c.revflow, 1), -1) << c.text;
    EXPECT_EQ(level, c.level) << c.text;
    EXPECT_EQ(takeErr(), c.err);
  }
  double q = 5.0;
  int bad = 0, unit = 0;
  double factor = 1.0, dp = 1.0;
  EXPECT_EQ(get_flow_from_table_(&bad, &unit, &factor, &dp, &q), 0);
  EXPECT_EQ(q, 5.0);
  EXPECT_EQ(takeErr(),
            "Call to get_flow_from_table_ with an invalid index 0\nNo expression structure or "
            "spline has been created with this index\n");
}

TEST_F(FlowTables, FlowUnitsAndExpressions) {
  table("ft_lpm", {0.0, 1e5}, {0.0, 60.0});
  const int index = setUp("ft_lpm", 2, 1, 1, 1, 1.0);
  EXPECT_NEAR(flow(index, {1e5}), 0.001, 1e-18);
  EXPECT_NEAR(flow(index, {1e5}, 1, 1.0), 0.001, 1e-18);  // not converted twice
  const int expression = setUp("dp*1e-9", 2, 1, 1, 1, 2.0);
  ASSERT_GE(expression, 0);
  EXPECT_NEAR(flow(expression, {6e5}, 1, 2.0), 2e-8, 1e-22);
}

TEST_F(FlowTables, OpeningTables) {
  // (x, dp) with x fastest; no dp = 0 row: a zero row goes first.
  table("ft_x2d", {1e-3, 2e-3}, {1e-5, 2e-5, 2e-5, 4e-5}, {1e5, 2e5});
  int index = setUp("ft_x2d", 2, 1, 2, 0, 1.0, true);
  ASSERT_GE(index, 0);
  EXPECT_EQ(level, 1);
  EXPECT_NEAR(flow(index, {1e-3, 5e4}), 5e-6, 1e-18);
  EXPECT_NEAR(flow(index, {2e-3, 1.5e5}), 3e-5, 1e-18);
  // Slices per pressure drop: the missing one at 0 is added with no flow.
  const int sizes[] = {2, 2};
  const double x[] = {1e-3, 2e-3, 1e-3, 2e-3}, dp[] = {1e5, 2e5}, q[] = {1e-5, 2e-5, 2e-5, 4e-5};
  ASSERT_EQ(rtablemd_add("ft_xt1d", 2, sizes, x, dp, q, nullptr), 1);
  index = setUp("ft_xt1d", 2, 1, 3, 0, 1.0, true);
  ASSERT_GE(index, 0);
  EXPECT_EQ(level, 1);
  EXPECT_NEAR(flow(index, {1.5e-3, 5e4}), 0.75e-5, 1e-18);
  EXPECT_NEAR(flow(index, {1.5e-3, 1.5e5}), 2.25e-5, 1e-18);
  // Sets of slices per temperature: each set gains its zero slice.
  const int per_slice[] = {2, 2}, per_part[] = {1, 1};
  const double one_dp[] = {1e5, 1e5}, temps[] = {300.0, 350.0}, w[] = {1e-5, 2e-5, 3e-5, 4e-5};
  ASSERT_EQ(rtablem3d_add("ft_xt3d", 2, 2, per_slice, per_part, x, one_dp, temps, w, nullptr), 1);
  takeErr();
  index = setUp("ft_xt3d", 2, 1, 3, 0, 1.0, true);
  ASSERT_GE(index, 0);
  EXPECT_EQ(level, 1);
  EXPECT_NE(takeErr().find("does not contain a slice at zero pressure drop for set 2.\n"),
            std::string::npos);
  EXPECT_NEAR(flow(index, {1.5e-3, 5e4, 325.0}), 1.25e-5, 1e-18);
  const double leak[] = {1e-9, 0.0, 2e-5, 4e-5}, zero_first[] = {0.0, 2e5};
  ASSERT_EQ(rtablemd_add("ft_xleak", 2, sizes, x, zero_first, leak, nullptr), 1);
  EXPECT_EQ(setUp("ft_xleak", 2, 1, 3, 0, 1.0, true), -1);
  EXPECT_EQ(level, 2);
  EXPECT_EQ(takeErr(), "\nThe input table ft_xleak \n          contains a slice at zero pressure "
                       "drop which leads to a non-zero          flow rate.\n");
}

TEST_F(FlowTables, LayerSidesReadAsTheInterpreterReadsThem) {
  // Layers at -1, 0 and 2 with q(x) through (0, 0); at x = 1.5 they hold
  // -2, 0 and 4.5.  The T3D file repeats them at T = 300 and, doubled, at
  // T = 400, so T = 350 gives 1.5 times the T1D value.
  const std::string t1d = tempPath("ft_sides_t1d.txt"), t3d = tempPath("ft_sides_t3d.txt");
  const char *layers = "-1 3\n0 0\n1 -1\n2 -3\n0 3\n0 0\n1 0\n2 0\n2 3\n0 0\n1 4\n2 5\n";
  const char *doubled = "-1 3\n0 0\n1 -2\n2 -6\n0 3\n0 0\n1 0\n2 0\n2 3\n0 0\n1 8\n2 10\n";
  std::ofstream(t1d) << "# Table format: T1D\n" << layers;
  std::ofstream(t3d) << "# Table format: T3D\n300 3\n" << layers << "400 3\n" << doubled;
  struct Case {
    int low, high;         // codes of the layer axis
    double above, below;  // at layer 4 and at layer -3
  } cases[] = {
      {2, 1, 4.5 + 2.0 * 2.25, -2.0},  // extrapolated above, held below
      {1, 2, 4.5, -2.0 - 2.0 * 2.0},   // held above, extrapolated below
      {3, 2, 2.25, 0.0},               // cyclic, period 3: 4 -> 1, -3 -> 0
  };
  char a[] = "a", b[] = "b", c[] = "c";
  char *names[] = {a, b, c};
  for (const Case &k : cases) {
    int codes[6] = {1, 1, k.low, k.high, 1, 1}, modes[6] = {1, 1, 1, 1, 1, 1};
    double slopes[6] = {};
    int interpolation = 2, disc = 0, unit = 0, revflow = 2, sign = 1, two = 2, three = 3;
    double factor = 1.0;
    std::string text1 = t1d, text3 = t3d;
    const int dp_layers =
        SetUpFlowdPTable2(text1.data(), &unit, &revflow, &sign, &factor, names, &two,
                          &interpolation, codes, modes, slopes, &disc, nullptr, &level);
    const int opening1 = SetUpFlowXdPTable(text1.data(), &unit, &revflow, &factor, names, &three,
                                           &interpolation, codes, modes, slopes, &disc, nullptr,
                                           &level);
    const int opening3 = SetUpFlowXdPTable(text3.data(), &unit, &revflow, &factor, names, &three,
                                           &interpolation, codes, modes, slopes, &disc, nullptr,
                                           &level);
    int dim1 = -1, dim3 = -1;
    const int interp1 = strinitu_(text1.data(), &dim1, names, &two, &interpolation, codes, modes,
                                  slopes, &disc, nullptr);
    const int interp3 = strinitu_(text3.data(), &dim3, names, &three, &interpolation, codes,
                                  modes, slopes, &disc, nullptr);
    ASSERT_TRUE(dp_layers >= 0 && opening1 >= 0 && opening3 >= 0 && interp1 >= 0 && interp3 >= 0)
        << takeErr();
    for (auto [y, expected] : {std::pair{4.0, k.above}, {-3.0, k.below}, {1.0, 2.25}}) {
      std::vector<double> at{1.5, y, 350.0};
      double interpreted1 = -7.0, interpreted3 = -7.0;
      ASSERT_EQ(streval_(const_cast<int *>(&interp1), at.data(), &interpreted1), 1);
      ASSERT_EQ(streval_(const_cast<int *>(&interp3), at.data(), &interpreted3), 1);
      EXPECT_NEAR(interpreted1, expected, 1e-12) << k.low << k.high << " " << y;
      EXPECT_NEAR(flow(dp_layers, at), expected, 1e-12) << k.low << k.high << " " << y;
      EXPECT_NEAR(flow(opening1, at), expected, 1e-12) << k.low << k.high << " " << y;
      EXPECT_NEAR(interpreted3, 1.5 * expected, 1e-12) << k.low << k.high << " " << y;
      EXPECT_NEAR(flow(opening3, at), 1.5 * expected, 1e-12) << k.low << k.high << " " << y;
    }
  }
  EXPECT_EQ(takeErr(), "");
  takeOut();
  std::remove(t1d.c_str());
  std::remove(t3d.c_str());
}

TEST_F(FlowTables, NonFiniteValuesAreRefusedFirst) {
  // A NaN flow at zero pressure drop is not a leak, a missing zero point
  // is not a gap when the axis holds a NaN: both are named as non-finite.
  const double nan = std::numeric_limits<double>::quiet_NaN(),
               inf = std::numeric_limits<double>::infinity();
  table("ft_nan0", {0.0, 1e5}, {nan, 1e-4});
  table("ft_nanaxis", {nan, 1e5}, {0.0, 1e-4});
  table("ft_inf2d", {0.0, 1e5}, {0.0, 1e-4, 0.0, inf}, {1.0, 2.0});
  const int sizes[] = {2, 2};
  const double x[] = {0.0, 1e5, 0.0, 1e5}, y[] = {1.0, 2.0}, q[] = {nan, 1e-4, 0.0, 2e-4};
  ASSERT_EQ(rtablemd_add("ft_nant1d", 2, sizes, x, y, q, nullptr), 1);
  const double opening[] = {1e-3, 2e-3, 1e-3, 2e-3}, dp[] = {0.0, 1e5},
               w[] = {0.0, nan, 1e-5, 2e-5};
  ASSERT_EQ(rtablemd_add("ft_nanx", 2, sizes, opening, dp, w, nullptr), 1);
  const int per_slice[] = {2, 2}, per_part[] = {1, 1};
  const double temps[] = {300.0, inf}, zero_dp[] = {0.0, 0.0}, w3[] = {0.0, 0.0, 0.0, 0.0};
  ASSERT_EQ(rtablem3d_add("ft_inft3d", 2, 2, per_slice, per_part, opening, zero_dp, temps, w3,
                          nullptr),
            1);
  takeErr();
  struct Case {
    const char *text;
    int nnames;
    bool opening;
  } cases[] = {{"ft_nan0", 1, false},  {"ft_nanaxis", 1, false}, {"ft_inf2d", 2, false},
               {"ft_nant1d", 2, false}, {"ft_nanx", 3, true},     {"ft_inft3d", 3, true}};
  for (const Case &c : cases) {
    EXPECT_EQ(setUp(c.text, 2, 1, c.nnames, 0, 1.0, c.opening), -1) << c.text;
    EXPECT_EQ(level, 2) << c.text;
    const std::string err = takeErr();
    EXPECT_NE(err.find("non-finite"), std::string::npos) << err;
    EXPECT_EQ(err.find("zero pressure drop"), std::string::npos) << err;
  }
  // A flow factor that is not a number spoils every flow of a sound table.
  table("ft_factor", {0.0, 1e5}, {0.0, 60.0});
  EXPECT_EQ(setUp("ft_factor", 2, 1, 1, 1, nan), -1);
  EXPECT_NE(takeErr().find("non-finite"), std::string::npos);
  EXPECT_GE(setUp("ft_factor", 2, 1, 1, 1, 2.0), 0);
  EXPECT_EQ(level, 0);
}

TEST_F(FlowTables, LookupsAllocateNothing) {
  if (allocationCount() < 0) GTEST_SKIP() << "needs the sanitizer's allocator hook";
  table("ft_alloc", {0.0, 1e5, 2e5}, {0.0, 1e-4, 1.5e-4});
  const int a = setUp("ft_alloc", 1, 1), b = setUp("dp*1e-9", 2, 1);
  int unit = 1;
  double factor = 1.0, sum = 0.0, q = 0.0;
  auto both = [&](double dp) {
    for (int index : {a, b}) sum += get_flow_from_table_(&index, &unit, &factor, &dp, &q) * q;
  };
  both(1.0);
  const long before = allocationCount();
  for (double dp : {-3e5, -1e5, 0.0, 5e4, 2.5e5}) both(dp);
  EXPECT_EQ(allocationCount() - before, 0);
  EXPECT_TRUE(std::isfinite(sum));
}

}  // namespace
}  // namespace kiv::test
