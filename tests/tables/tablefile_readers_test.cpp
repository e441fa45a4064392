// The numeric table readers: bodies, wanted units, refusals, the reader
// cache and the caller-added tables.
#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "support/pipe_feed.hpp"
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
  const auto f = write("z.txt", "# Table format: 0D\n# table_unit = bar\n1.5 ignored\n  2e0\n3 5 # 6\nend\n");
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
  // A header alone is an empty table.
  EXPECT_EQ(rtable0d_(write("e.txt", "# Table format: 0D\n").c_str(), &n, &none), 0);
  EXPECT_EQ(none.p, nullptr);
  EXPECT_EQ(rtable0d_(write("bare.txt", "7\n8 # note\n").c_str(), &n, &none), 2);
}

TEST_F(Readers, OneDPairsAcrossLines) {
  const auto f = write("one.txt", "# Table format: 1D\n# table_unit = bar\n# axis1_unit = mm\n0 1 10 2\n20\n3 30 4\n");
  int n = 0;
  Owned<double> x, y, xm, ypa;
  EXPECT_EQ(rtable1d_(f.c_str(), &n, &x, &y), 4);
  EXPECT_EQ(x.vec(4), (V{0, 10, 20, 30}));
  EXPECT_EQ(y.vec(4), (V{1, 2, 3, 4}));
  EXPECT_EQ(takeOut(), "\nNumber of x-y pairs read from file " + f + " : 4\n\n");
  const char *units[] = {"Pa", "m"};
  EXPECT_EQ(rtable1du_(f.c_str(), &n, &xm, &ypa, units), 4);
  expectNear(xm.vec(4), V{0, 0.01, 0.02, 0.03});
  EXPECT_EQ(ypa.vec(4), (V{1e5, 2e5, 3e5, 4e5}));
  EXPECT_EQ(takeOut(), "\nConverted axis values from 'mm' to 'm'\n\nConverted table values from 'bar' to 'Pa'\n");
}

TEST_F(Readers, NDimensionFromFileOrCaller) {
  const auto f = write("three.txt", "# Table format: 3D\n# axis2_unit = mm\n# table_unit = bar\n2 1 2\n0 1\n5\n0 10\n1 2 3 4\n");
  int dim = 0;
  Owned<int> sizes, s2, s5;
  Owned<double> axes, values, a2, v2, a5, v5;
  ASSERT_EQ(rtablend_(f.c_str(), &dim, &sizes, &axes, &values, nullptr), 1);
  EXPECT_EQ(sizes.vec(static_cast<size_t>(dim)), (I{2, 1, 2}));
  EXPECT_EQ(axes.vec(5), (V{0, 1, 5, 0, 10}));
  EXPECT_EQ(takeOut(), "\nNumber of points read from file " + f + " : 2 x 1 x 2\n");
  const char *units[] = {"Pa", "", "m", nullptr};
  ASSERT_EQ(rtablend_(f.c_str(), &dim, &s2, &a2, &v2, units), 1);
  expectNear(a2.vec(5), V{0, 1, 0.005, 0, 10});
  EXPECT_EQ(v2.vec(4), (V{1e5, 2e5, 3e5, 4e5}));
  EXPECT_EQ(takeOut(), "\nConverted axis 2 values from 'mm' to 'm'\n\nConverted table values from 'bar' to 'Pa'\n");
  const double x[] = {0, 1}, y[] = {5, 6};
  rtable1d_add("added1d", 2, x, y);
  dim = 0;
  ASSERT_EQ(rtablend_("added1d", &dim, &s5, &a5, &v5, nullptr), 1);
  EXPECT_EQ(dim, 1);
  EXPECT_EQ(v5.vec(2), (V{5, 6}));
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

// What a reader hands back, in the order the file writes it (T1D: y, n,
// then the pairs; 2-D: sizes, axes, values; XY: rows, columns, then row
// after row); nullopt when the read failed, which must leave no array.
std::optional<V> readFlat(const std::string &reader, const std::string &f) {
  Owned<double> a, b, c, d;
  Owned<int> s, t;
  int n = 0, m = 0, dim = 0;
  V out;
  auto failed = [&](bool bad) {
    if (bad) {
      EXPECT_EQ(a.p, nullptr) << reader << " " << f;
    }
    return bad;
  };
  if (reader == "0D") {
    if (failed(rtable0d_(f.c_str(), &n, &a) < 0)) return std::nullopt;
    return a.vec(static_cast<size_t>(n));
  }
  if (reader == "1D") {
    if (failed(rtable1d_(f.c_str(), &n, &a, &b) < 0)) return std::nullopt;
    for (int i = 0; i < n; ++i) out.insert(out.end(), {a[size_t(i)], b[size_t(i)]});
  } else if (reader == "2D") {
    if (failed(rtablend_(f.c_str(), &dim, &s, &a, &b, nullptr) != 1)) return std::nullopt;
    out = {double(s[0]), double(s[1])};
    for (const double v : a.vec(size_t(s[0] + s[1]))) out.push_back(v);
    for (const double v : b.vec(size_t(s[0] * s[1]))) out.push_back(v);
  } else if (reader == "T1D") {
    const int slices = rtablemd_(f.c_str(), &s, &a, &b, &c, nullptr);
    if (failed(slices < 0)) return std::nullopt;
    for (size_t k = 0, i = 0; k < size_t(slices); ++k) {
      out.insert(out.end(), {b[k], double(s[k])});
      for (int j = 0; j < s[k]; ++j, ++i) out.insert(out.end(), {a[i], c[i]});
    }
  } else if (reader == "T3D") {
    int parts = 0;
    if (failed(rtablem3d_(f.c_str(), &parts, &s, &t, &a, &b, &c, &d, nullptr) < 0)) return std::nullopt;
    for (size_t p = 0, k = 0, i = 0; p < size_t(parts); ++p) {
      out.insert(out.end(), {c[p], double(t[p])});
      for (int q = 0; q < t[p]; ++q, ++k) {
        out.insert(out.end(), {b[k], double(s[k])});
        for (int j = 0; j < s[k]; ++j, ++i) out.insert(out.end(), {a[i], d[i]});
      }
    }
  } else {
    if (failed(rtablexy_(f.c_str(), &m, &n, &a, nullptr, nullptr) != 1)) return std::nullopt;
    out = {double(m), double(n)};
    for (int r = 0; r < m; ++r)
      for (int j = 0; j < n; ++j) out.push_back(a[size_t(j * m + r)]);
  }
  return out;
}

TEST_F(Readers, DamagedBodiesAreRefusedNamingTheLine) {
  // Format, body, then the line and word the refusal names ("" for a body
  // that reads).  The header is line 1.
  const std::vector<std::array<std::string, 4>> cases = {
      {"1D", "0 1\n1 x2\n2 3\n3 4\n", "Line 3", "'x2'"},     // one pair kept
      {"1D", "0 1 2\n3 4\n", "Line 3", "'4'"},                // half a pair at the end
      {"1D", "0 1\n2\n3 4\n", "Line 4", "'4'"},
      {"1D", "0 1\n2 1e\n", "Line 3", "'1e'"},               // read as 2, 1 once
      {"1D", "0 1\n2 3\nend of table\n", "", ""},
      {"0D", "1\nabc\n2\n", "Line 4", "'2'"},
      {"0D", "1\n2E+\n", "Line 3", "'2E+'"},
      {"0D", "1\n2\nend\n", "", ""},
      {"T1D", "0 1 5 6\n1\n", "", "Cannot read file"},        // a y without its slice
      {"T1D", "0 1 5 6e\n", "Line 2", "'6e'"},
      {"T1D", "0 1 5 6\n-- end --\n", "", ""},
      {"T3D", "7 1\n0 1 5 6\n8 1\n0 1 x 6\n", "Line 5", "'x'"},
      {"2D", "2 2\n0 1\n0 1\n1 2 3 4 5\n", "Line 5", "'5'"},  // sizes that do not fit
      {"2D", "2 2\n0 1\n0 1\n1 2 3 4\nend\n6\n", "Line 7", "'6'"},
      {"2D", "2 2\n0 1e\n0 1\n1 2 3 4\n", "Line 3", "'1e'"},
      {"2D", "2 2.0\n0 1\n0 1\n1 2 3 4\n", "Line 2", "'2.0'"},
      {"2D", "2 2\n0 1\n0 1\n1 2 3 4\nend\n", "", ""},
      {"XY", "1 2 ; 3\n4 5\n", "Line 2", "';'"},
      {"XY", "1 2\n4 5e-\n", "Line 3", "'5e-'"},
      {"XY", "1 2 mm\nnote\n4 5\n", "", ""}};
  for (const auto &[format, body, line, word] : cases) {
    const auto f = write(format + std::to_string(body.size()) + ".txt", "# Table format: " + format + "\n" + body);
    const bool read = readFlat(format, f).has_value();
    const std::string err = takeErr();
    const bool refused = !word.empty();
    EXPECT_EQ(read, !refused) << format << " " << body << err;
    EXPECT_EQ(err.empty(), !refused) << err;
    if (!refused) continue;
    for (const std::string &part : {f, line, word})
      EXPECT_NE(err.find(part), std::string::npos) << part << " in " << err;
  }
  takeOut();
}

TEST_F(Readers, NotesAnywhereAndNumbersRunIntoTextByOneRule) {
  // Reader, header format ("" none), body, and what the reader hands back in
  // file order; refused cases give the line and the text the message names.
  struct Case {
    std::string reader, header, body;
    V want;
    std::string line = {}, word = {};
  };
  const std::vector<Case> cases = {
      // Notes with digits after the data, after a row, inside a body.
      {"1D", "1D", "0 1\n2 3\n# measured 2023-05-01 at 20 C\n", {0, 1, 2, 3}},
      {"1D", "1D", "0 1\n1 2.5 # point 2\n2 5\n", {0, 1, 1, 2.5, 2, 5}},
      {"1D", "1D", "0 1\n2 3 end 5\n# rev 2\nsee 4 below\n", {0, 1, 2, 3}},
      {"1D", "", "0 1\r\n\t1 2\r\n.5 5. -0 +1e-3#x\n", {0, 1, 1, 2, .5, 5, -0.0, 1e-3}},
      {"T1D", "T1D", "0 1 5 6\n# 7 8\n1 1 2 3\n# rev 2\n", {0, 1, 5, 6, 1, 1, 2, 3}},
      {"T1D", "T1D", "0 2 # slice 1\n1 10\n2 20#last\n", {0, 2, 1, 10, 2, 20}},
      {"T3D", "T3D", "7 1 # part\n0 1 5 6\n# rev 3\n", {7, 1, 0, 1, 5, 6}},
      {"2D", "2D", "2 2 # sizes\n0 1\n0 1\n1 2 3 4\n# generated 2023-05-01\n", {2, 2, 0, 1, 0, 1, 1, 2, 3, 4}},
      {"XY", "XY", "1 0 # corner 2\n# 9 9\n4 5 mm\n", {2, 2, 1, 0, 4, 5}},
      {"0D", "0D", "300 # at 2 bar\n1 2 3\n4 mm\n# 8\n5e0\n", {300, 1, 4, 5}},
      {"0D", "2D", "2 2\n0 1,5\n", {2, 0}},  // any header; the rest of a line is a note
      // Empty bodies: nothing read, no failure (1D alone needs data).
      {"0D", "0D", "", {}},
      {"0D", "", "# 1 2\nend\n", {}},
      {"T1D", "T1D", "# 0 1 5 6\n", {}},
      {"T3D", "T3D", "", {}},
      {"XY", "XY", "notes only\n", {0, 0}},
      {"1D", "1D", "# 0 1\n", {}, "", "has no data"},
      // Numbers run into text, in every column and at the end of the file.
      {"1D", "1D", "0 1\n1 1.0D+03\n", {}, "Line 3", "'1.0D+03'"},
      {"1D", "1D", "0 1\n2 3mm", {}, "Line 3", "'3mm'"},
      {"0D", "0D", "2.5mm\n", {}, "Line 2", "'2.5mm'"},
      {"XY", "XY", "0 0\n4 0,5\n", {}, "Line 3", "'0,5'"},
      {"XY", "XY", "0,5 4\n", {}, "Line 2", "'0,5'"},
      {"2D", "2D", "2 2\n0 1\n0 1\n1 2 3 4,5\n", {}, "Line 5", "'4,5'"},
      {"T1D", "T1D", "0 1 5 6kg\n", {}, "Line 2", "'6kg'"},
      {"T3D", "T3D", "7 1\n0 1 5 0x6\n", {}, "Line 3", "'0x6'"},
      // Beyond the range of a double, in every format; below it, 0 or subnormal.
      {"1D", "1D", "0 1\n1 1e400\n", {}, "Line 3", "'1e400'"},
      {"0D", "0D", "1\n-1e400\n", {}, "Line 3", "'-1e400'"},
      {"XY", "XY", "0 0\n4 -1e+400\n", {}, "Line 3", "'-1e+400'"},
      {"2D", "2D", "2 2\n0 1e400\n0 1\n1 2 3 4\n", {}, "Line 3", "'1e400'"},
      {"T1D", "T1D", "0 1 5 6\n1e400 1 5 6\n", {}, "Line 3", "'1e400'"},
      {"T3D", "T3D", "7 1\n0 1 -1e400 6\n", {}, "Line 3", "'-1e400'"},
      {"1D", "1D", "0 1e-400\n1 4.9e-324\n", {0, 0, 1, 4.9e-324}},
      // Numbers after the data ended.
      {"1D", "1D", "0 1\n2 3\nend 5\n4 5\n", {}, "Line 5", "'4'"},
      {"T1D", "T1D", "0 1 5 6\nend\n# note\n1 1 2 3\n", {}, "Line 5", "'1'"},
      {"0D", "0D", "1\nabc\n2,5\n", {}, "Line 4", "'2,5'"},
      {"1D", "1D", "0 1e\n", {}, "Line 2", "'1e'"},
  };
  for (const Case &c : cases) {
    const std::string header = c.header.empty() ? "" : "# Table format: " + c.header + "\n";
    const auto f = write(c.reader + std::to_string(&c - cases.data()) + ".txt", header + c.body);
    const std::optional<V> got = readFlat(c.reader, f);
    const std::string err = takeErr();
    if (c.word.empty()) {
      ASSERT_TRUE(got) << c.reader << " " << c.body << err;
      EXPECT_EQ(*got, c.want) << c.reader << " " << c.body;
      EXPECT_EQ(err, "") << c.body;
      continue;
    }
    EXPECT_FALSE(got) << c.reader << " " << c.body;
    for (const std::string &part : {f, c.line, c.word})
      EXPECT_NE(err.find(part), std::string::npos) << part << " in " << err;
  }
  takeOut();
}

TEST_F(Readers, EmptyBodiesReadAsNothingButOneD) {
  // The second pass reads what the first one cached.
  for (int pass = 0; pass < 2; ++pass)
    for (const std::string format : {"0D", "1D", "T1D", "T3D", "XY"}) {
      const auto f = write(format + "_empty.txt", "# Table format: " + format + "\n# table_unit = bar\n\n");
      const std::optional<V> got = readFlat(format, f);
      if (format == "1D") {
        EXPECT_FALSE(got);
        EXPECT_EQ(takeErr(), "\nFile '" + f + "' has no data.\n");
        continue;
      }
      ASSERT_TRUE(got) << format;
      EXPECT_EQ(*got, (format == "XY" ? V{0, 0} : V{})) << format;
      EXPECT_EQ(takeErr(), "") << format;
    }
  takeOut();
}

TEST_F(Readers, OutputsPassedAsNullLeaveNothingBehind) {
  // Under the leak checker: arrays filled for null outputs must not outlive the call.
  const auto f = write("pairs.txt", "# Table format: 1D\n0 1\n2 3\n");
  EXPECT_EQ(rtable1du_(f.c_str(), nullptr, nullptr, nullptr, nullptr), 2);
  EXPECT_EQ(rtable0du_(write("zero.txt", "# Table format: 0D\n0\n2\n").c_str(), nullptr, nullptr, nullptr), 2);
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

// A file whose reading fails (here a folder) is refused with that message
// alone, by every reader and by the format query; it no longer reads as an
// empty table, nor falls back on a table a caller added under its name.
TEST_F(Readers, AFailedReadRefusesTheFile) {
  const double one = 1.0;
  rtable0d_add(dir_.c_str(), 1, &one);
  const std::string said = "\nError while reading file '" + dir_ + "': ";
  auto refused = [&](const char *what) {
    const std::string err = takeErr();
    EXPECT_EQ(err.rfind(said, 0), 0u) << what << ": " << err;
    EXPECT_EQ(err.find('\n', said.size()), err.size() - 1) << what << ": " << err;
  };
  int n = 7, rows = 7, cols = 7;
  Owned<double> v, x, y, data;
  EXPECT_EQ(rtable0d_(dir_.c_str(), &n, &v.p), -1);
  refused("0D");
  EXPECT_EQ(rtable1d_(dir_.c_str(), &n, &x.p, &y.p), -1);
  refused("1D");
  EXPECT_EQ(rtablexy_(dir_.c_str(), &rows, &cols, &data.p, nullptr, nullptr), 0);
  refused("XY");
  EXPECT_EQ(GetTableFormat(dir_.c_str()), KIV_TABLE_NOT_FOUND);
  refused("format");
  int skip = 0;
  EXPECT_EQ(rtableml_(dir_.c_str(), &n, &skip), nullptr);
  EXPECT_EQ(n, -1);
  refused("lines");
  takeOut();
}

// A pipe made after another was removed (ext4 gives it the same inode at
// once) reads its own text, by the format query and the reader after it as
// by the reader alone; so does a pipe written again in the run.
TEST_F(Readers, APipeMadeAnewReadsItsOwnText) {
  const char *texts[] = {"# Table format: 1D\n0 1\n10 2.5\n", "# Table format: 1D\n0 1\n10 7.5\n",
                         "# Table format: 1D\n0 3\n10 4.5\n", "# Table format: 1D\n0 1\n20 9\n"};
  const V want[] = {{0, 10, 1, 2.5}, {0, 10, 1, 7.5}, {0, 10, 3, 4.5}, {0, 20, 1, 9}};
  const std::string names[] = {"a.txt", "b.txt", "b.txt", "b.txt"};
  for (int i = 0; i < 4; ++i) {
    const std::string path = dir_ + "/" + names[i];
    if (i == 1) std::remove((dir_ + "/a.txt").c_str());
    kiv::test::PipeFeed feed(path, texts[i]);
    if (i % 2 == 0) {
      EXPECT_EQ(GetTableFormat(path.c_str()), KIV_TABLE_1D) << i;
    }
    int n = 0;
    Owned<double> x, y;
    EXPECT_EQ(rtable1du_(path.c_str(), &n, &x.p, &y.p, nullptr), 2) << i;
    V got(x.p, x.p + std::max(n, 0));
    got.insert(got.end(), y.p, y.p + std::max(n, 0));
    EXPECT_EQ(got, want[i]) << i;
    const auto o = feed.finish();
    EXPECT_TRUE(o.written && o.waits == 0) << i;
  }
  takeOut();
  EXPECT_EQ(takeErr(), "");
}

}  // namespace
