// The numeric table readers: bodies, wanted units, refusals, the reader
// cache and the caller-added tables.
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "tablefile_support.hpp"

namespace {

using kiv::test::Owned;
using kiv::test::TableTest;
using V = std::vector<double>;
using I = std::vector<int>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const std::string kLimits = "The total number of points (more than 2147483647) in '%s' will reach machine limits.\n";

class Readers : public TableTest {};

void expectNear(const V &got, const V &want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-12 * (1 + std::fabs(want[i]))) << i;
}

TEST_F(Readers, ZeroDOneValuePerLineAndFromTheCache) {
  const auto f = write("z.txt", "# Table format: 0D\n# table_unit = bar\n1.5 ignored\n  2e0\n3,5\nend\n4\n");
  int n = 0;
  Owned<double> v, pa, again, none;
  EXPECT_EQ(rtable0d_(f.c_str(), &n, &v), 3);
  EXPECT_EQ(v.vec(3), (V{1.5, 2.0, 3.0}));
  const char *units[] = {"Pa", nullptr};
  EXPECT_EQ(rtable0du_(f.c_str(), &n, &pa, units), 3);
  EXPECT_EQ(pa.vec(3), (V{1.5e5, 2e5, 3e5}));
  EXPECT_EQ(takeOut(), "\nConverted values from 'bar' to 'Pa'\n");
  // The cache answers, converted as the first read was.
  write("z.txt", "# Table format: 0D\n# table_unit = bar\n7\n");
  EXPECT_EQ(rtable0du_(f.c_str(), &n, &again, units), 3);
  EXPECT_EQ(again.vec(3), (V{1.5e5, 2e5, 3e5}));
  EXPECT_EQ(rtable0d_(write("e.txt", "# Table format: 1D\n").c_str(), &n, &none), 0);
  EXPECT_EQ(none.p, nullptr);
}

TEST_F(Readers, OneDPairsAcrossLines) {
  const auto f = write("one.txt", "# Table format: 1D\n# table_unit = bar\n# axis1_unit = mm\n0 1 10 2\n20\n3 30 4 5\n");
  int n = 0;
  Owned<double> x, y, xm, ypa, x2, y2;
  EXPECT_EQ(rtable1d_(f.c_str(), &n, &x, &y), 4);
  EXPECT_EQ(x.vec(4), (V{0, 10, 20, 30}));
  EXPECT_EQ(y.vec(4), (V{1, 2, 3, 4}));  // the odd last number is no pair
  EXPECT_EQ(takeOut(), "\nNumber of x-y pairs read from file " + f + " : 4\n\n");
  const char *units[] = {"Pa", "m"};
  EXPECT_EQ(rtable1du_(f.c_str(), &n, &xm, &ypa, units), 4);
  expectNear(xm.vec(4), V{0, 0.01, 0.02, 0.03});
  EXPECT_EQ(ypa.vec(4), (V{1e5, 2e5, 3e5, 4e5}));
  EXPECT_EQ(takeOut(), "\nConverted axis values from 'mm' to 'm'\n\nConverted table values from 'bar' to 'Pa'\n");
  // The wanted list ends at its null entry: the axis keeps its unit.
  const char *tableOnly[] = {"Pa", nullptr};
  EXPECT_EQ(rtable1du_(f.c_str(), &n, &x2, &y2, tableOnly), 4);
  EXPECT_EQ(x2.vec(4), (V{0, 10, 20, 30}));
  EXPECT_EQ(y2.vec(4), (V{1e5, 2e5, 3e5, 4e5}));
}

TEST_F(Readers, OneDRefusals) {
  refusals(
      [](const std::string &f) {
        int n = 0;
        Owned<double> x, y;
        return rtable1d_(f.c_str(), &n, &x, &y);
      },
      {{"# Table format: 1D\n# 3 columns\n1 2 3\n", -1, "\nFile '%s' contains more than 2 columns.\n"},
       {"# Table format: 1D\nx y\n", -1, "\nFile '%s' has no data.\n"},
       {"", -1, "\nFile '%s' is empty?\n"},
       {"# Table format: XY\n1 2\n", -1, "\nThe file '%s' seems to be a 'XY' table whereas '1D' is expected.\n"},
       {"# axis1_unit = m\n1 2\n", -1,
        "\nTrying to extract unit data with undefined table format.\n\nCheck header of file '%s'.\n"},
       {"1 2\n", 1, ""}});  // a header without format is accepted
  int n = 0;
  Owned<double> x, y;
  EXPECT_EQ(rtable1d_("no-such-file", &n, &x, &y), -1);
  EXPECT_EQ(takeErr(), "\nImpossible to open file 'no-such-file'.\n");
  const auto units = write("units.txt", "# Table format: 1D\n# axis1_unit = mm\n1 2\n");
  const char *bad[] = {"", "bar"};
  EXPECT_EQ(rtable1du_(units.c_str(), &n, &x, &y, bad), -1);
  EXPECT_TRUE(n == -1 && !x.p && !y.p);
  EXPECT_EQ(takeErr(), "Unit domains 'Length' and 'Pressure' are not compatible.\n"
                       "\nUnable to convert axis values from 'mm' to 'bar'\n");
}

TEST_F(Readers, CacheThenFileThenCallerTables) {
  const auto f = write("c.txt", "# Table format: 1D\n# axis1_unit = m\n1 2\n3 4\n");
  const char *mm[] = {"", "mm"};
  int n1 = 0, n2 = 0;
  Owned<double> x1, y1, x2, y2;
  ASSERT_EQ(rtable1du_(f.c_str(), &n1, &x1, &y1, mm), 2);
  write("c.txt", "# Table format: 1D\n9 9\n");
  ASSERT_EQ(rtable1du_(f.c_str(), &n2, &x2, &y2, mm), 2);  // from the cache, converted afresh
  EXPECT_EQ(x2.vec(2), (V{1000, 3000}));
  EXPECT_EQ(y2.vec(2), (V{2, 4}));
  // A caller-added table stands in only when no file opens.
  const double cx[] = {7, 8}, cy[] = {70, 80};
  const auto h = write("h.txt", "1 10\n");
  rtable1d_add(h.c_str(), 2, cx, cy);
  rtable1d_add("virtual", 2, cx, cy);
  Owned<double> fx, fy, vx, vy;
  EXPECT_EQ(rtable1d_(h.c_str(), &n1, &fx, &fy), 1);
  EXPECT_EQ(rtable1d_("virtual", &n2, &vx, &vy), 2);
  EXPECT_EQ(vy.vec(2), (V{70, 80}));
}

TEST_F(Readers, NDimensionFromFileOrCaller) {
  const auto f = write("three.txt", "# Table format: 3D\n# axis2_unit = mm\n# table_unit = bar\n2 1 2\n0 1\n5\n0 10\n1 2 3 4\n");
  int dim = 0;
  Owned<int> sizes, s2, s4, s5;
  Owned<double> axes, values, a2, v2, a4, v4, a5, v5;
  ASSERT_EQ(rtablend_(f.c_str(), &dim, &sizes, &axes, &values, nullptr), 1);
  EXPECT_EQ(sizes.vec(static_cast<size_t>(dim)), (I{2, 1, 2}));
  EXPECT_EQ(axes.vec(5), (V{0, 1, 5, 0, 10}));
  EXPECT_EQ(takeOut(), "\nNumber of points read from file " + f + " : 2 x 1 x 2\n");
  const char *units[] = {"Pa", "", "m", nullptr};
  ASSERT_EQ(rtablend_(f.c_str(), &dim, &s2, &a2, &v2, units), 1);
  expectNear(a2.vec(5), V{0, 1, 0.005, 0, 10});
  EXPECT_EQ(v2.vec(4), (V{1e5, 2e5, 3e5, 4e5}));
  EXPECT_EQ(takeOut(), "\nConverted axis 2 values from 'mm' to 'm'\n\nConverted table values from 'bar' to 'Pa'\n");
  // A 1-D file is read as pairs, from a file or a caller-added table.
  dim = 0;
  ASSERT_EQ(rtablend_(write("one.txt", "# Table format: 1D\n1 2 3 4\n").c_str(), &dim, &s4, &a4, &v4, nullptr), 1);
  EXPECT_EQ((std::vector<int>{dim, s4[0]}), (I{1, 2}));
  EXPECT_EQ(a4.vec(2), (V{1, 3}));
  EXPECT_EQ(v4.vec(2), (V{2, 4}));
  const double x[] = {0, 1}, y[] = {5, 6};
  rtable1d_add("added1d", 2, x, y);
  dim = 0;
  ASSERT_EQ(rtablend_("added1d", &dim, &s5, &a5, &v5, nullptr), 1);
  EXPECT_EQ(dim, 1);
  EXPECT_EQ(v5.vec(2), (V{5, 6}));
}

// Sizes are checked in 64 bits, and huge announced counts read nothing more
// than the file holds.
TEST_F(Readers, NDimensionRefusals) {
  int dim = 0;
  auto read = [&](const std::string &f) {
    Owned<int> s;
    Owned<double> a, v;
    const int r = rtablend_(f.c_str(), &dim, &s, &a, &v, nullptr);
    EXPECT_TRUE(r || (!s.p && !a.p && !v.p));
    return r;
  };
  refusals(read, {{"2 2\n", 0, "\nUnable to detect the dimension of the table in file '%s'.\n"},
                  {"# Table format: 2D\n2 0\n", 0, "\nThe number of points for axis 2 is negative.\n"},
                  {"# Table format: 3D\n65536 65536 2\n", 0, kLimits},
                  {"# Table format: 2D\n2\n", 0, "\nCannot read file '%s'.\n"},
                  {"# Table format: 2D\n40000 40000\n1 2 3\n", 0, "\nCannot read x values from file '%s'.\n"},
                  {"# Table format: 2D\n2 1\n0 1 0\n1\n", 0, "\nCannot read u values from file '%s'.\n"}});
  dim = 2;
  refusals(read, {{"# Table format: 3D\n1 1 1\n0 0 0 1\n", 0,
                   "\nTable dimension does not correspond to input value (3 and 2).\n"}});
  const double x[] = {0, 1, 2}, z[] = {1, 2, 3, 4, 5, 6, 7, 8};
  rtable3d_add("cube", 2, 1, 1, x, x, x, z);
  EXPECT_EQ(read("cube"), 0);
  EXPECT_EQ(takeErr(), "Table dimension does not correspond to requested value (2 and 3).\n");
}

TEST_F(Readers, TwoAndThreeDSplitTheirAxes) {
  const auto f = write("two.txt", "# Table format: 2D\n3 2\n0 1 2\n10 20\n1 2 3\n4 5 6\n");
  int nx = 0, ny = 0, nz = 0;
  Owned<double> x, y, z, a, b, c, d, e, fy, fz;
  ASSERT_EQ(rtable2d_(f.c_str(), &nx, &ny, &x, &y, &z), 1);
  EXPECT_EQ((I{nx, ny}), (I{3, 2}));
  EXPECT_EQ(x.vec(5), (V{0, 1, 2, 10, 20}));  // the whole axis array
  EXPECT_EQ(y.vec(2), (V{10, 20}));
  const auto g = write("three.txt", "# Table format: 3D\n1 2 2\n0\n1 2\n3 4\n5 6 7 8\n");
  ASSERT_EQ(rtable3d_(g.c_str(), &nx, &ny, &nz, &a, &b, &c, &d), 1);
  EXPECT_EQ(b.vec(2), (V{1, 2}));
  EXPECT_EQ(c.vec(2), (V{3, 4}));
  EXPECT_EQ(rtable2d_(g.c_str(), &nx, &ny, &e, &fy, &fz), 0);
  EXPECT_EQ((I{nx, ny}), (I{-1, -1}));
  EXPECT_EQ(takeErr(), "Table dimension does not correspond to requested value (2 and 3).\n");
}

TEST_F(Readers, T1DSlices) {
  const auto f = write("t1d.txt", "# Table format: T1D\n# axis1_unit = mm\n# axis2_unit = degC\n# table_unit = bar\n"
                                  "0 2\n1 10\n2 20\n5 1 0 7\n");
  Owned<int> sizes, s2, s3, s4;
  Owned<double> x, y, z, x2, y2, z2, x3, y3, z3, x4, y4, z4;
  ASSERT_EQ(rtablemd_(f.c_str(), &sizes, &x, &y, &z, nullptr), 2);
  EXPECT_EQ(sizes.vec(2), (I{2, 1}));
  EXPECT_EQ(x.vec(3), (V{1, 2, 0}));
  EXPECT_EQ(takeOut(), "");  // no count line
  const char *units[] = {"Pa", "m", "K"};
  ASSERT_EQ(rtablemd_(f.c_str(), &s2, &x2, &y2, &z2, units), 2);
  expectNear(x2.vec(3), V{1e-3, 2e-3, 0});
  expectNear(y2.vec(2), V{273.15, 278.15});
  EXPECT_EQ(z2.vec(3), (V{1e6, 2e6, 7e5}));
  EXPECT_EQ(takeOut(), "\nConverted X axis values from 'mm' to 'm'\n\nConverted Y axis values from 'degC' to 'K'\n"
                       "\nConverted table values from 'bar' to 'Pa'\n");
  // Differences of temperature take the factor alone.
  const char *diff[] = {"", "", "K is_difference"};
  ASSERT_EQ(rtablemd_(f.c_str(), &s3, &x3, &y3, &z3, diff), 2);
  EXPECT_EQ(y3.vec(2), (V{0, 5}));
  EXPECT_EQ(rtablemd_(write("none.txt", "# Table format: T1D\n").c_str(), &s4, &x4, &y4, &z4, nullptr), 0);
}

// Counts are checked before they become integers; a slice cut short by the
// end of the file is refused.
TEST_F(Readers, T1DRefusals) {
  refusals(
      [](const std::string &f) {
        Owned<int> s;
        Owned<double> x, y, z;
        const int r = rtablemd_(f.c_str(), &s, &x, &y, &z, nullptr);
        EXPECT_TRUE(!s.p && !x.p);
        return r;
      },
      {{"0 2 1 1 2 2\n3 0\n", -1, "\nThe number of points for slice 2 is negative.\n"},
       {"0 0.9\n1 1\n", -1, "\nThe number of points for slice 1 is negative.\n"},
       {"0 nan\n1 1\n", -1, "\nThe number of points for slice 1 is negative.\n"},
       {"0 1e300\n1 1\n", -1, kLimits},
       {"0 2000000000\n1 1\n", -1, "\nCannot read file '%s'.\n"},
       {"0 3\n1 10\n2 20\n3\n", -1, "\nCannot read file '%s'.\n"},
       {"", -1, "\nFile '%s' is empty?\n"},
       {"# Table format: T3D\n", -1, "\nThe file '%s' seems to be a 'T3D' table whereas 'T1D' is expected.\n"}});
}

TEST_F(Readers, T3DParts) {
  // Two parts: z = 100 with slices y = 0 (2 points) and y = 1 (1 point);
  // z = 200 with one slice y = 2 (1 point).
  const auto f = write("t3d.txt", "# Table format: T3D\n# axis3_unit = bar\n# table_unit = mm\n"
                                  "100 2\n0 2\n1 11\n2 12\n1 1\n3 13\n200 1\n2 1\n4 14\n");
  int parts = 0;
  Owned<int> pps, spp, p2, s2;
  Owned<double> x, y, z, v, x2, y2, z2, v2;
  ASSERT_EQ(rtablem3d_(f.c_str(), &parts, &pps, &spp, &x, &y, &z, &v, nullptr), 3);
  EXPECT_EQ(parts, 2);
  EXPECT_EQ(pps.vec(3), (I{2, 1, 1}));
  EXPECT_EQ(spp.vec(2), (I{2, 1}));
  EXPECT_EQ(v.vec(4), (V{11, 12, 13, 14}));
  EXPECT_EQ(y.vec(3), (V{0, 1, 2}));
  EXPECT_EQ(takeOut(), "\nNumber of points read from file " + f + " :\n    4 x points\n    3 y points\n    2 z points\n\n");
  const char *units[] = {"m", nullptr, nullptr, "Pa"};
  ASSERT_EQ(rtablem3d_(f.c_str(), &parts, &p2, &s2, &x2, &y2, &z2, &v2, units), 3);
  EXPECT_EQ(z2.vec(2), (V{100, 200}));  // the list ended before the Z unit
  expectNear(v2.vec(4), V{0.011, 0.012, 0.013, 0.014});

  refusals(
      [&](const std::string &f) {
        Owned<int> a, b;
        Owned<double> c, d, e, g;
        const int r = rtablem3d_(f.c_str(), &parts, &a, &b, &c, &d, &e, &g, nullptr);
        EXPECT_EQ(parts, -1);
        EXPECT_EQ(g.p, nullptr);
        return r;
      },
      {{"100 0\n", -1, "\nThe number of slices for T1D part 1 is negative.\n"},
       {"100 1\n0 1\n1 1\n200 2\n0 1\n1 1\n1 -3\n", -1,
        "\nThe number of points for slice 3 (slice 2 in T1D part 2) is negative.\n"},
       {"100 2\n0 1\n1 1\n", -1, "\nCannot read file '%s'.\n"},
       {"100 3e9\n", -1, kLimits}});
}

TEST_F(Readers, XYRowsAndColumns) {
  const auto f = write("xy.txt", "# Table format: XY\n# axis1_unit = m\n# axis2_unit = m\n1 2\n\n  # note\n3 4 5\nfoo\n6\n");
  int rows = 0, cols = 0;
  Owned<double> d, c;
  ASSERT_EQ(rtablexy_(f.c_str(), &rows, &cols, &d, nullptr, nullptr), 1);
  EXPECT_EQ((I{rows, cols}), (I{3, 3}));
  // Column after column; cells a shorter row lacks are NaN.
  const V got = d.vec(9), want = {1, 3, 6, 2, 4, kNaN, kNaN, 5, kNaN};
  for (size_t i = 0; i < 9; ++i) EXPECT_TRUE(got[i] == want[i] || (std::isnan(got[i]) && std::isnan(want[i]))) << i;
  EXPECT_EQ(takeOut(), "Read 3 rows and 3 columns from file " + f + ".\n");
  // The wanted list ends at its null entry: column 2 keeps its unit.
  const char *mm[] = {"mm", nullptr, "mm"};
  ASSERT_EQ(rtablexy_(f.c_str(), &rows, &cols, &c, nullptr, mm), 1);
  EXPECT_EQ(c.vec(3), (V{1000, 3000, 6000}));
  EXPECT_EQ(c[3], 2.0);
  EXPECT_EQ(takeOut(), "\nConverted column 1 values from 'm' to 'mm'\n");
}

TEST_F(Readers, XYSeparatorsAndRefusals) {
  const auto f = write("sep.txt", "1;2;3\n4\t5;6\n7 8,9\n");
  int rows = 0, cols = 0;
  Owned<double> d, e, none, w;
  ASSERT_EQ(rtablexy_(f.c_str(), &rows, &cols, &d, ";", nullptr), 1);
  EXPECT_EQ((I{rows, cols}), (I{3, 3}));
  const V got = d.vec(9);
  EXPECT_EQ(V(got.begin(), got.begin() + 8), (V{1, 4, 7, 2, 5, 8, 3, 6}));
  EXPECT_TRUE(std::isnan(got[8]));  // "8,9" stops at the comma
  ASSERT_EQ(rtablexy_(write("sep2.txt", "1;2;3\n4\t5;6\n7 8,9\n").c_str(), &rows, &cols, &e, nullptr, nullptr), 1);
  EXPECT_EQ(cols, 2);  // without separators "1;2;3" is one number
  EXPECT_EQ(e[0], 1.0);
  EXPECT_TRUE(std::isnan(e[3]));
  ASSERT_EQ(rtablexy_(write("none.txt", "# Table format: XY\n").c_str(), &rows, &cols, &none, nullptr, nullptr), 1);
  EXPECT_EQ((I{rows, cols}), (I{0, 0}));
  const auto wrong = write("wrong.txt", "# Table format: 2D\n1 2\n");
  EXPECT_EQ(rtablexy_(wrong.c_str(), &rows, &cols, &w, nullptr, nullptr), 0);
  EXPECT_TRUE(rows == -1 && !w.p);
  EXPECT_EQ(takeErr(), "\nThe file '" + wrong + "' seems to be a '2D' table whereas 'XY' is expected.\n");
  const auto units = write("units.txt", "# Table format: XY\n# axis2_unit = bar\n1 2\n");
  const char *bad[] = {"mm", "mm"};
  EXPECT_EQ(rtablexy_(units.c_str(), &rows, &cols, &w, nullptr, bad), 0);
  EXPECT_EQ(takeErr(), "Unit domains 'Pressure' and 'Length' are not compatible.\n"
                       "\nUnable to convert column 2 values from 'bar' to 'mm'\n");
}

TEST_F(Readers, BodiesEndingBeforeTheirNumbersAreReported) {
  // Format, body, then the line and token the warning names (none when empty).
  const std::vector<std::array<std::string, 4>> cases = {
      {"1D", "0 1\n1 x2\n2 3\n3 4\n", "line 3", "'x2'"},
      {"1D", "0 1 2\n3 4 5\n", "line 2", "'2'"},  // odd row: later pairs shift
      {"1D", "0 1\n2 3\nend of table\n", "", ""},
      {"0D", "1\nabc\n2\n", "line 3", "'abc'"},
      {"T1D", "0 1 5 6\n# 7 8\n1 1 2 3\n", "line 3", "'#'"},
      {"XY", "1 2 ; 3\n4 5\n", "line 2", "';'"}};
  for (const auto &[format, body, line, token] : cases) {
    const auto f = write(format + std::to_string(body.size()) + ".txt", "# Table format: " + format + "\n" + body);
    int n = 0, m = 0;
    Owned<double> a, b, d;
    Owned<int> sizes;
    EXPECT_GT(format == "0D"  ? rtable0d_(f.c_str(), &n, &a)
              : format == "1D" ? rtable1d_(f.c_str(), &n, &a, &b)
              : format == "XY" ? rtablexy_(f.c_str(), &m, &n, &a, nullptr, nullptr)
                               : rtablemd_(f.c_str(), &sizes, &a, &b, &d, nullptr), 0);
    const std::string err = takeErr();
    EXPECT_EQ(line.empty(), err.empty()) << err;
    if (line.empty()) continue;
    for (const std::string &part : {f, line, token}) EXPECT_NE(err.find(part), std::string::npos) << err;
  }
}

TEST_F(Readers, OutputsPassedAsNullLeaveNothingBehind) {
  // Under the leak checker: arrays filled for null outputs must not outlive the call.
  const auto f = write("pairs.txt", "# Table format: 1D\n0 1\n2 3\n");
  EXPECT_EQ(rtable1du_(f.c_str(), nullptr, nullptr, nullptr, nullptr), 2);
  EXPECT_EQ(rtable0du_(f.c_str(), nullptr, nullptr, nullptr), 2);
  EXPECT_EQ(rtablexy_(write("p.xy", "0 1\n2 3\n").c_str(), nullptr, nullptr, nullptr, nullptr, nullptr), 1);
  int dim = 2;
  EXPECT_EQ(rtablend_(write("t.2d", "# Table format: 2D\n2 2\n0 1\n0 1\n1 2 3 4\n").c_str(), &dim, nullptr,
                      nullptr, nullptr, nullptr), 1);
}

TEST_F(Readers, ShippedFilesInWantedUnits) {
  // A shape outline as the geometry library reads it: a square of side
  // 10 mm written in metres.
  const std::string xy = data("outline_m.xy");
  ASSERT_EQ(GetTableFormat(xy.c_str()), 9);
  int rows = 0, cols = 0;
  Owned<double> d;
  const char *mm[] = {"mm", "mm"};
  ASSERT_EQ(rtablexy_(xy.c_str(), &rows, &cols, &d, nullptr, mm), 1);
  ASSERT_EQ((I{rows, cols}), (I{5, 2}));
  expectNear(d.vec(10), V{0, 10, 10, 0, 0, 0, 0, 10, 10, 0});
  const char *units[] = {"Pa.s", "bar", "K"};
  Owned<int> sizes;
  Owned<double> p, t, mu;
  ASSERT_EQ(rtablemd_(data("viscosity_T1D.txt").c_str(), &sizes, &p, &t, &mu, units), 2);
  EXPECT_EQ(sizes.vec(2), (I{2, 2}));
  expectNear(t.vec(2), V{293.15, 353.15});
  expectNear(p.vec(4), V{0, 100, 0, 100});
  expectNear(mu.vec(4), V{0.046, 0.040, 0.0125, 0.011});
}

}  // namespace
