// Format codes, the "#" header parser, opening by name, table formats and
// tokens, and the conversion of a read array.
#include <cmath>
#include <cstring>
#include <string>

#include "tablefile_support.hpp"

namespace {

using kiv::test::OwnedLines;
using kiv::test::TableTest;

struct Parsed {
  int ok = 0;
  TableHeader *h = nullptr;
  std::string next;  // the first line after the header
  ~Parsed() { _prt2(h); }
  std::string unit(int i) const { return i < h->nunits && h->units[i] ? h->units[i] : "<null>"; }
  std::string token(int i) const { return i < h->ntokens && h->tokens[i] ? h->tokens[i] : "<null>"; }
};

void parse(const std::string &text, Parsed &p) {
  std::string copy = text;
  FILE *fp = fmemopen(copy.data(), copy.size(), "r");
  p.h = _prt1();
  p.ok = _prt5(fp, p.h);
  if (p.ok && _prt14(fp, p.h)) p.next = p.h->line;
  std::fclose(fp);
}

TEST(TableFormatCodes, FormatLinesNamesAndDimensions) {
  for (auto [line, code] : {std::pair{"#Table format:8D", 7}, {"#   Table \t format:   T1D  ", 8},
                            {"# Table format: RSM", 14}, {"# Table format: 2Dsomething", 1},  // a prefix is enough
                            {"# Table format: 10D", -1}, {"# Table format: 9D", -1}, {"# Table format:", -1},
                            {"Table format: 1D", -1}, {"# table format: 1D", -1}})
    EXPECT_EQ(ExtractFormatFromString(line), code) << line;
  EXPECT_EQ(ExtractFormatFromString(nullptr), -1);
  char text[16];
  for (int code : {12, 14, -1, 99}) {
    EXPECT_EQ(_prt7(text, code), 0);
    EXPECT_STREQ(text, "unknown");
    EXPECT_EQ(TableFormatToDim_(&code), 1);
  }
  for (int d : {0, -1, 9}) EXPECT_EQ(DimToTableFormat_(&d), -1);
}

TEST_F(TableTest, HeaderFieldsAndFirstDataLine) {
  Parsed p;
  parse("# Table format: 2D\n# any comment\n\n   # 3 rows\n# 4 columns\n# table_unit = bar\n# axis1_unit = mm\n"
        "# axis2_unit = degC\n# axis1_token = x\n# axis3_token = out\n\n2 3\n1 2\n",
        p);
  ASSERT_EQ(p.ok, 1);
  EXPECT_EQ((std::vector<int>{p.h->format, p.h->rows, p.h->columns}), (std::vector<int>{1, 3, 4}));
  ASSERT_EQ(p.h->nunits, 4);  // dimension + 2 slots
  EXPECT_EQ(p.unit(0) + p.unit(1) + p.unit(2) + p.unit(3), "barmmdegC<null>");
  ASSERT_EQ(p.h->ntokens, 3);
  EXPECT_EQ(p.token(0) + p.token(1) + p.token(2), "x<null>out");
  EXPECT_EQ(p.next, "2 3");

  Parsed none, empty, bad, later, xy, odd;
  parse("1 2\n3 4\n", none);
  EXPECT_TRUE(none.ok && none.h->format == -1 && none.next == "1 2");
  parse("", empty);
  EXPECT_EQ(empty.ok, 1);
  parse("# rows = 5\n# columns: x\n1\n", bad);  // counts read as "# %d"
  EXPECT_TRUE(bad.h->rows == -1 && bad.h->columns == -1);
  parse("# Table format: 1D\n# Table format: XY\n# axis2_unit = m\n", later);  // the later line wins
  EXPECT_EQ(later.h->format, 9);
  EXPECT_EQ(later.unit(1), "m");
  // XY units and tokens grow with the column named.
  parse("# Table format: XY\n# table_unit = bar\n# axis3_unit = mm\n# axis2_token = y\n1 2 3\n", xy);
  ASSERT_EQ(xy.h->nunits, 3);
  EXPECT_EQ(xy.unit(0) + xy.unit(1) + xy.unit(2), "<null><null>mm");
  ASSERT_EQ(xy.h->ntokens, 2);
  EXPECT_EQ(xy.token(1), "y");
  // No fixed word buffer: a long unit is kept whole; "table_unit=bar" has
  // no separate "=" and is skipped like the odd keys.
  const std::string longUnit(20000, 'u');
  parse("# Table format: 0D\n# table_unit = " + longUnit +
            "\n# table_unit=bar\n# axis1_units = m\n# axis1_xyz_unit = m\n5\n",
        odd);
  EXPECT_EQ(odd.unit(0), longUnit);
  EXPECT_EQ(odd.next, "5");
}

// Axis indexes below 1 or beyond the dimension fail the header.
TEST_F(TableTest, HeaderFailures) {
  EXPECT_EQ(_prt8("f.txt", 9, 8), 0);
  EXPECT_EQ(takeErr(), "\nThe file 'f.txt' seems to be a 'T1D' table whereas 'XY' is expected.\n");
  Parsed ok;
  parse("# Table format: 1D\n# axis2_token = y\n", ok);
  EXPECT_EQ(ok.token(1), "y");
  for (auto [text, msg] :
       {std::pair{"# axis1_unit = m\n# Table format: 1D\n", "\nTrying to extract unit data with undefined table format.\n"},
        {"# Table format: 12D\n# axis1_token = x\n", "\nTrying to extract token data with undefined table format.\n"},
        {"# Table format: 1D\n# axis3_token = y\n", "\nTrying to set axis 3 token on table having only 1 axes.\n"},
        {"# Table format: 1D\n# axis2_unit = m\n", "\nTrying to set axis 2 unit on table having only 1 axes.\n"},
        {"# Table format: 2D\n# axis0_unit = m\n", "\nTrying to set axis 0 unit on table having only 2 axes.\n"},
        {"# Table format: XY\n# axis-1_token = m\n", "\nTrying to set axis -1 token on table having only 2 axes.\n"},
        {"# Table format: XY\n# axis99999999999_unit = m\n",
         "\nTrying to set axis 2147483647 unit on table having only 65536 axes.\n"}}) {
    Parsed p;
    parse(text, p);
    EXPECT_EQ(p.ok, 0) << text;
    EXPECT_EQ(takeErr(), msg);
  }
}

TEST_F(TableTest, GetTableFormatFromFileStoreAndContent) {
  std::string rsm;  // nine lines before the RSM type
  for (int i = 0; i < 9; ++i) rsm += "line\n";
  int k = 0;
  for (auto [content, code] : {std::pair{std::string("# Table format: T3D\n1 1\n"), 11}, {"1 2\n3 4\n", -1},
                               {rsm + "Type of RSM: 2\n", 12}, {rsm + "x\nType of RSM: 2\n", -1}})
    EXPECT_EQ(GetTableFormat(write("f" + std::to_string(k++) + ".txt", content).c_str()), code) << content;
  EXPECT_EQ(GetTableFormat(write("bad.txt", "# axis1_unit = m\n").c_str()), -1);
  EXPECT_EQ(takeErr(), "\nTrying to extract unit data with undefined table format.\n"
                       "\nCheck header of file '" + dir_ + "/bad.txt'.\n");
  EXPECT_EQ(GetTableFormat("missing.txt"), -2);
  EXPECT_EQ(takeErr(), "\nImpossible to open file 'missing.txt'.\n");

  const int sizes[] = {2};
  const double x[] = {0, 1}, one = 1;
  const char *ml[] = {"# Table format: RSM", "body"};
  rtablemd_add("t1d", 1, sizes, x, x, x, nullptr);
  rtablexy_add("xy", 1, 2, x, nullptr);
  rtable0d_add("zero", 1, &one);
  rtable1d_add("one", 2, x, x);
  rtable_multi_line_add("ml", ml, 2);
  rtable_multi_line_add("empty", ml, 0);  // no first line to look at
  rtablexy_add("t1d", 1, 2, x, nullptr);  // T1D comes before XY
  const std::string plain = dir_ + "/f1.txt";  // no format line: the caller's table decides
  rtablexy_add(plain.c_str(), 1, 2, x, nullptr);
  rtablexy_add2("cached", 1, 2, x, nullptr, KIV_TABLE_BY_READER);  // the reader cache does not count
  for (auto [name, code] : {std::pair{"t1d", 8}, {"xy", 9}, {"zero", 10}, {"one", 0}, {"ml", 14}, {"empty", -1},
                            {plain.c_str(), 9}, {"cached", -2}})
    EXPECT_EQ(GetTableFormat(name), code) << name;
  takeErr();
}

// Callers take -2 for a name already reported: no name at all is reported
// as an empty name is, which opens nothing either.
TEST_F(TableTest, NoNameIsSaidAsAnEmptyName) {
  EXPECT_EQ(GetTableFormat(""), KIV_TABLE_NOT_FOUND);
  const std::string empty = takeErr();
  EXPECT_EQ(empty, "\nImpossible to open file ''.\n");
  EXPECT_EQ(GetTableFormat(nullptr), KIV_TABLE_NOT_FOUND);
  EXPECT_EQ(takeErr(), empty);
  char **tokens = nullptr;
  int n = -1;
  EXPECT_EQ(kiv_get_table_tokens(nullptr, &tokens, &n), 0);
  EXPECT_EQ(takeErr(), empty);
}

}  // namespace
