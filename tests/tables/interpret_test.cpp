// The interpreter end to end: expressions, grid, T1D and T3D table files
// and both response-surface files, token pivots, units, free and reuse.
#include <string>
#include <vector>

#include "tables/kiv_interpret.h"
#include "tables/kiv_splines.h"
#include "tables/tablefile_support.hpp"

namespace {

struct Interpret : kiv::test::TableTest {
  std::vector<std::string> names{"a", "b", "c"};
  std::vector<char *> ptrs;
  int bound[6] = {1, 1, 1, 1, 1, 1}, ext[6] = {1, 1, 1, 1, 1, 1};
  double slopes[6] = {};
  int interp = 2, disc = 0;

  int init(const std::string &text, int dim = -1, int n = 3, char **units = nullptr) {
    ptrs.clear();
    for (std::string &s : names) ptrs.push_back(s.data());
    std::string t = text;
    return strinitu_(t.data(), &dim, ptrs.data(), &n, &interp, bound, ext, slopes, &disc, units);
  }
  double value(int id, std::vector<double> x) {
    double y = -1;
    EXPECT_EQ(streval_(&id, x.data(), &y), 1);
    return y;
  }
  double slope(int id, int k, std::vector<double> x) {
    double y = -1;
    EXPECT_EQ(strevald_(&id, &k, x.data(), &y), 1);
    return y;
  }
};

// f(a, b) = 1 + 2 b + 3 a + a b, tabulated with b along axis 1.
const char *kTwoD =
    "# Table format: 2D\n# axis1_token = b\n# axis2_token = a\n# axis1_unit = mm\n"
    "3 2\n0 1 2\n0 10\n1 3 5\n31 43 55\n";

TEST_F(Interpret, ExpressionsWithDerivatives) {
  const int id = init("a*b + 2*c");
  ASSERT_EQ(id, 0);
  EXPECT_EQ(kivstrtype_(const_cast<int *>(&id)), 0);
  EXPECT_DOUBLE_EQ(value(id, {2, 3, 4}), 14.0);
  EXPECT_DOUBLE_EQ(slope(id, 1, {2, 3, 4}), 3.0);
  int kl[2] = {1, 2}, i = id;
  double y = 0, x[3] = {2, 3, 4};
  EXPECT_EQ(strevald2_(&i, kl, x, &y), 1);
  EXPECT_DOUBLE_EQ(y, 1.0);
  double a = 2, b = 3, c = 4, out = 0;
  EXPECT_EQ(strevalv_(&i, &a, &b, &c, &out), 1);
  EXPECT_DOUBLE_EQ(out, 14.0);
}

TEST_F(Interpret, TokensPivotTheAxesAndUnits) {
  const std::string f = write("two.txt", kTwoD);
  std::string none, metre = "m";
  char *units[4] = {none.data(), none.data(), metre.data(), none.data()};
  const int id = init(f, -1, 3, units);
  ASSERT_EQ(id, 0) << takeErr();
  // b is given in m: 1.5 mm is 0.0015.
  auto f2 = [](double a, double b) { return 1 + 2 * b + 3 * a + a * b; };
  EXPECT_NEAR(value(id, {4.0, 0.0015, 99}), f2(4.0, 1.5), 1e-12);
  EXPECT_NEAR(slope(id, 1, {4.0, 0.0015, 99}), 3 + 1.5, 1e-12);
  EXPECT_NEAR(slope(id, 2, {4.0, 0.0015, 99}), (2 + 4.0) * 1e3, 1e-9);
  EXPECT_EQ(slope(id, 3, {4.0, 0.0015, 99}), 0.0);  // c feeds no axis
  takeOut();
  // A token that is no variable, and the same name twice.
  names = {"a", "x", "a"};
  EXPECT_EQ(init(f), -1);
  EXPECT_EQ(takeErr(), "\nError in strinit(u): The token 'a' appears twice in the list.\n"
                       "The token 'b' belongs to one list only.\n");
}

TEST_F(Interpret, GridsOfEveryDimension) {
  names = {"x", "y", "z"};
  // w = x + 2 y + 3 z on a 2 x 2 x 3 grid; linear interpolation is exact.
  const int id3 = init(write("three.txt", "# Table format: 3D\n2 2 3\n0 1\n0 1\n0 1 2\n"
                                          "0 1 2 3 3 4 5 6 6 7 8 9\n"));
  ASSERT_GE(id3, 0) << takeErr();
  EXPECT_DOUBLE_EQ(value(id3, {0.5, 0.25, 1.5}), 0.5 + 0.5 + 4.5);
  EXPECT_DOUBLE_EQ(slope(id3, 3, {0.5, 0.25, 1.5}), 3.0);
  int dim = 0;
  EXPECT_EQ(init(write("one.txt", "# Table format: 1D\n0 1\n1 3\n2 4\n"), dim), -1);
  EXPECT_EQ(takeErr(), "\nError in strinit(u): table dimension (1) does not correspond to input value (dim=0).\n");
  // A constant table holds the value of the lower grid point.
  interp = 1;
  const int id1 = init(write("one.txt", "# Table format: 1D\n0 1\n1 3\n2 4\n"), 1);
  ASSERT_GE(id1, 0);
  EXPECT_DOUBLE_EQ(value(id1, {1.7, 0, 0}), 3.0);
  // The free slot of the 3-D table goes to the next object.
  int i = id3;
  EXPECT_EQ(kivstrfree_(&i), 1);
  EXPECT_EQ(kivstrtype_(&i), -1);
  EXPECT_EQ(kivstrfree_(&i), 0);
  EXPECT_EQ(takeErr(), "Call to kivstrfree with undefined structure (index=0).\n");
  EXPECT_EQ(init("x - y"), id3);
  takeOut();
}

TEST_F(Interpret, StackedTablesTakeTheirYCodesByTheirSide) {
  names = {"x", "y", "z"};
  // Layers z = x + 10 y at y = 0 and 1; below y = 0 held, above extrapolated.
  bound[2] = 2;
  bound[3] = 1;
  const int t1 = init(write("t1d.txt", "# Table format: T1D\n0 2\n0 0\n1 1\n1 2\n0 10\n1 11\n"));
  ASSERT_GE(t1, 0) << takeErr();
  EXPECT_DOUBLE_EQ(value(t1, {0.5, 2.0, 0}), 20.5);
  EXPECT_DOUBLE_EQ(value(t1, {0.5, -1.0, 0}), 0.5);
  EXPECT_DOUBLE_EQ(slope(t1, 2, {0.5, 0.5, 0}), 10.0);
  // The same along z over two such parts at z = 0 and 2 (w = x + 10 y + z).
  const int t3 = init(write("t3d.txt", "# Table format: T3D\n0 2\n0 2\n0 0\n1 1\n1 2\n0 10\n1 11\n"
                                       "2 2\n0 2\n0 2\n1 3\n1 2\n0 12\n1 13\n"));
  ASSERT_GE(t3, 0) << takeErr();
  EXPECT_DOUBLE_EQ(value(t3, {0.5, 0.5, 1.0}), 6.5);
  EXPECT_DOUBLE_EQ(slope(t3, 3, {0.5, 0.5, 1.0}), 1.0);
  int kl[2] = {1, 1}, i = t3;
  double y = -1, x[3] = {0.5, 0.5, 1};
  EXPECT_EQ(strevald2_(&i, kl, x, &y), 0);
  EXPECT_EQ(takeErr(), "Second derivative not implemented for T3D table.\n");
  takeOut();
}

// Freeing a T1D parameter frees its stack in the stack registry and the
// stack's linear layers in theirs: the ids a probe gets afterwards are
// those it got before the table was made.
TEST_F(Interpret, FreeingATableReleasesItsSplinesInTheirOwnRegistries) {
  names = {"x", "y", "z"};
  const double px[2] = {0, 1}, pz[2] = {0, 1}, py[2] = {0, 1};
  const int two = 2, npts[2] = {2, 2}, hold = 2, zero = 0, linear = 0;
  const double none = 0.0;
  const double sx[4] = {0, 1, 0, 1}, sz[4] = {0, 1, 1, 2};
  auto linearProbe = [&] {
    int id = lsplinit_(&two, px, pz, &hold, &hold);
    freelsp_(&id);
    return id;
  };
  auto stackProbe = [&] {
    int id = msplinit_(&two, npts, sx, py, sz, &hold, &hold, &zero, &none, &zero, &none, &hold,
                       &hold, &linear);
    EXPECT_EQ(msplfree_(&id), 1);
    return id;
  };
  const int stackBefore = stackProbe(), linearBefore = linearProbe();
  ASSERT_GE(stackBefore, 0);
  ASSERT_GE(linearBefore, 0);
  const int t1 = init(write("t1d.txt", "# Table format: T1D\n0 2\n0 0\n1 1\n1 2\n0 10\n1 11\n"));
  ASSERT_GE(t1, 0) << takeErr();
  // The table holds the free stack slot and the next two linear ids.
  EXPECT_NE(stackProbe(), stackBefore);
  EXPECT_EQ(linearProbe(), linearBefore + 2);
  int i = t1;
  EXPECT_EQ(kivstrfree_(&i), 1);
  EXPECT_EQ(stackProbe(), stackBefore);
  EXPECT_EQ(linearProbe(), linearBefore);
  EXPECT_EQ(takeErr(), "");
  takeOut();
}

TEST_F(Interpret, ResponseSurfacesOfBothFiles) {
  names = {"u", "v"};
  const int old = init(write("old.txt", "Type of RSM: order : 3\n1 factor(s):\nu\n1 response variable(s):\nr\n"
                                        "START\n1\n0\n0\n2\n"), -1, 2);
  ASSERT_GE(old, 0) << takeErr();
  EXPECT_EQ(kivstrtype_(const_cast<int *>(&old)), 2);
  EXPECT_DOUBLE_EQ(value(old, {1.5, 9}), 1 + 2 * 3.375);
  EXPECT_DOUBLE_EQ(slope(old, 1, {1.5, 9}), 6 * 2.25);
  const std::string titled = write("new.txt", "# Table format: RSM\n# 2 inputs\n# 1 outputs\n# output1\n# RSM\n1 1 2.0\n");
  const int rsm = init(titled, -1, 2);
  ASSERT_GE(rsm, 0) << takeErr();
  EXPECT_EQ(kivstrtype_(const_cast<int *>(&rsm)), 3);
  EXPECT_DOUBLE_EQ(value(rsm, {1.5, 3}), 9.0);
  EXPECT_DOUBLE_EQ(slope(rsm, 2, {1.5, 3}), 3.0);
  int kl[2] = {1, 2}, i = rsm;
  double y = 0, x[2] = {1.5, 3};
  EXPECT_EQ(strevald2_(&i, kl, x, &y), 1);
  EXPECT_DOUBLE_EQ(y, 2.0);
  std::string t = titled, missing = dir_ + "/none.txt";
  int two = 2;
  EXPECT_EQ(kivstrtypefromstring_(t.data(), ptrs.data(), &two), 3);
  EXPECT_EQ(kivstrtypefromstring_(names[0].data(), ptrs.data(), &two), 0);
  EXPECT_EQ(kivstrtypefromstring_(missing.data(), ptrs.data(), &two), -1);
  // Freed through its own registry: the model's id is free again.
  i = rsm;
  EXPECT_EQ(kivstrfree_(&i), 1);
  EXPECT_EQ(kivRsmGetNumInputs_(&i), -1);
  takeErr();
  EXPECT_EQ(init(write("two.txt", "# Table format: RSM\n# 2 inputs\n# 2 outputs\n# output1\n# RSM\n# output2\n# RSM\n"), -1, 2), -1);
  EXPECT_EQ(takeErr(), "\nError in strinit(u): rsm contains 2 outputs. Only one output allowed.\n"
                       "\nPlease check data from file '" + dir_ + "/two.txt'\n");
  takeOut();
}

TEST_F(Interpret, TextsThatAreNeitherExpressionNorUsableTable) {
  const std::string xy = write("xy.txt", "# Table format: XY\n1 2\n");
  const std::string zero = write("zero.txt", "# Table format: 0D\n1\n");
  const std::string missing = dir_ + "/none.txt";
  EXPECT_EQ(init(xy), -1);
  EXPECT_EQ(takeErr(), "\nError in strinit(u): XY table format not handled yet.\n");
  EXPECT_EQ(init(zero), -1);
  EXPECT_EQ(takeErr(), "\nError in strinit(u): 0D table format not handled yet.\n");
  EXPECT_EQ(init(write("lines.txt", "# Table format: MULTILINES\nfirst line\nsecond\n")), -1);
  EXPECT_EQ(takeErr(), "\nError in strinit(u): MULTILINES table format not handled yet.\n");
  EXPECT_EQ(init(write("tok.txt", "# Table format: 2D\n# axis2_token = a\n2 2\n0 1\n0 1\n1 2 3 4\n")), -1);
  EXPECT_EQ(takeErr(), "\nError in strinit(u): token 1 is missing from table.\n");
  EXPECT_EQ(init(missing), -1);
  const std::string err = takeErr(), tail =
      "\nError in strinit(u): unable to interpret the string '" + missing +
      "' as an expression or a filename.\n";
  EXPECT_NE(err.find("\nError in strinit(u): unable to open file '" + missing + "'.\n"), std::string::npos);
  ASSERT_GE(err.size(), tail.size());
  EXPECT_EQ(err.substr(err.size() - tail.size()), tail);
}

TEST_F(Interpret, EvaluationAllocatesNothing) {
  if (kiv::test::allocationCount() < 0) GTEST_SKIP() << "needs the sanitizer's allocator hook";
  names = {"x", "y", "z"};
  const int grid = init(write("three.txt", "# Table format: 3D\n2 2 2\n0 1\n0 1\n0 1\n0 1 2 3 4 5 6 7\n"));
  const int expr = init("x*y+z");
  ASSERT_GE(grid, 0);
  ASSERT_GE(expr, 0);
  double x[3] = {0.5, 0.5, 0.5}, y = 0, s = 0;
  for (int id : {grid, expr}) {
    int k = 2;
    streval_(&id, x, &y);  // the first derivative call may build its tree
    strevald_(&id, &k, x, &s);
    const long before = kiv::test::allocationCount();
    streval_(&id, x, &y);
    strevald_(&id, &k, x, &s);
    EXPECT_EQ(kiv::test::allocationCount(), before) << id;
  }
  takeOut();
}

}  // namespace
