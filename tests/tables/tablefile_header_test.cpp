// Format codes, the "#" header parser, opening by name, table formats and
// tokens, and the conversion of a read array.
#include <cmath>
#include <cstring>
#include <string>

#include "tablefile_support.hpp"

namespace {

using kiv::test::Owned;
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

TEST(TableFormatCodes, FormatLineIsReadByPrefix) {
  EXPECT_EQ(ExtractFormatFromString("# Table format: 1D"), 0);
  EXPECT_EQ(ExtractFormatFromString("#Table format:8D"), 7);
  EXPECT_EQ(ExtractFormatFromString("#   Table \t format:   T1D  "), 8);
  EXPECT_EQ(ExtractFormatFromString("# Table format: XY"), 9);
  EXPECT_EQ(ExtractFormatFromString("# Table format: 0D"), 10);
  EXPECT_EQ(ExtractFormatFromString("# Table format: T3D"), 11);
  EXPECT_EQ(ExtractFormatFromString("# Table format: MULTILINES"), 13);
  EXPECT_EQ(ExtractFormatFromString("# Table format: RSM"), 14);
  EXPECT_EQ(ExtractFormatFromString("# Table format: 2Dsomething"), 1);  // a prefix is enough
  EXPECT_EQ(ExtractFormatFromString("# Table format: 10D"), -1);
  EXPECT_EQ(ExtractFormatFromString("# Table format: 9D"), -1);
  EXPECT_EQ(ExtractFormatFromString("# Table format:"), -1);
  EXPECT_EQ(ExtractFormatFromString("Table format: 1D"), -1);
  EXPECT_EQ(ExtractFormatFromString("# table format: 1D"), -1);
  EXPECT_EQ(ExtractFormatFromString(nullptr), -1);
}

TEST(TableFormatCodes, NamesAndDimensions) {
  char text[16];
  const char *names[] = {"1D", "2D", "3D", "4D", "5D", "6D", "7D", "8D", "T1D", "XY", "0D", "T3D"};
  for (int code = 0; code < 12; ++code) {
    EXPECT_EQ(_prt7(text, code), 1);
    EXPECT_STREQ(text, names[code]);
    EXPECT_EQ(ExtractFormatFromString((std::string("# Table format: ") + text).c_str()), code);
  }
  EXPECT_EQ(_prt7(text, 13), 1);
  EXPECT_STREQ(text, "MULTILINES");
  for (int code : {12, 14, -1, -2, 99}) {
    EXPECT_EQ(_prt7(text, code), 0);
    EXPECT_STREQ(text, "unknown");
  }
  const int dims[] = {1, 2, 3, 4, 5, 6, 7, 8, 2, 2, 0, 3};
  for (int code = 0; code < 12; ++code) EXPECT_EQ(TableFormatToDim_(&code), dims[code]);
  for (int code : {-1, -2, 12, 13, 14, 1000}) EXPECT_EQ(TableFormatToDim_(&code), 1);
  for (int d = 1; d <= 8; ++d) EXPECT_EQ(DimToTableFormat_(&d), d - 1);
  for (int d : {0, -1, 9}) EXPECT_EQ(DimToTableFormat_(&d), -1);
}

TEST_F(TableTest, MismatchMessageNamesFoundThenExpected) {
  EXPECT_EQ(_prt8("f.txt", 9, 8), 0);
  EXPECT_EQ(takeErr(), "\nThe file 'f.txt' seems to be a 'T1D' table whereas 'XY' is expected.\n");
}

TEST_F(TableTest, HeaderFieldsAndFirstDataLine) {
  Parsed p;
  parse("# Table format: 2D\n"
        "# any comment\n"
        "\n"
        "   # 3 rows\n"
        "# 4 columns\n"
        "# table_unit = bar\n"
        "# axis1_unit = mm\n"
        "# axis2_unit = degC\n"
        "# axis1_token = x\n"
        "# axis3_token = out\n"
        "\n"
        "2 3\n"
        "1 2\n",
        p);
  ASSERT_EQ(p.ok, 1);
  EXPECT_EQ(p.h->format, 1);
  EXPECT_EQ(p.h->rows, 3);
  EXPECT_EQ(p.h->columns, 4);
  ASSERT_EQ(p.h->nunits, 4);  // dimension + 2 slots
  EXPECT_EQ(p.unit(0), "bar");
  EXPECT_EQ(p.unit(1), "mm");
  EXPECT_EQ(p.unit(2), "degC");
  EXPECT_EQ(p.unit(3), "<null>");
  ASSERT_EQ(p.h->ntokens, 3);
  EXPECT_EQ(p.token(0), "x");
  EXPECT_EQ(p.token(1), "<null>");
  EXPECT_EQ(p.token(2), "out");
  EXPECT_EQ(p.next, "2 3");
}

TEST_F(TableTest, HeaderWithoutFormatOrLines) {
  Parsed none;
  parse("1 2\n3 4\n", none);
  EXPECT_EQ(none.ok, 1);
  EXPECT_EQ(none.h->format, -1);
  EXPECT_EQ(none.h->rows, -1);
  EXPECT_EQ(none.h->columns, -1);
  EXPECT_EQ(none.next, "1 2");
  Parsed empty;
  parse("", empty);
  EXPECT_EQ(empty.ok, 1);
  Parsed bad;
  parse("# rows = 5\n# columns: x\n1\n", bad);  // counts read as "# %d"
  EXPECT_EQ(bad.h->rows, -1);
  EXPECT_EQ(bad.h->columns, -1);
  Parsed later;  // a later format line replaces the earlier one
  parse("# Table format: 1D\n# Table format: XY\n# axis2_unit = m\n", later);
  EXPECT_EQ(later.ok, 1);
  EXPECT_EQ(later.h->format, 9);
  EXPECT_EQ(later.unit(1), "m");
}

TEST_F(TableTest, UnitOrTokenBeforeFormatFails) {
  Parsed u;
  parse("# axis1_unit = m\n# Table format: 1D\n", u);
  EXPECT_EQ(u.ok, 0);
  EXPECT_EQ(takeErr(), "\nTrying to extract unit data with undefined table format.\n");
  Parsed t;
  parse("# Table format: 12D\n# axis1_token = x\n", t);  // unknown format
  EXPECT_EQ(t.ok, 0);
  EXPECT_EQ(takeErr(), "\nTrying to extract token data with undefined table format.\n");
}

TEST_F(TableTest, AxisIndexesAreBoundedByTheDimension) {
  Parsed tok2;
  parse("# Table format: 1D\n# axis2_token = y\n", tok2);
  EXPECT_EQ(tok2.ok, 1);
  EXPECT_EQ(tok2.token(1), "y");
  Parsed tok3;
  parse("# Table format: 1D\n# axis3_token = y\n", tok3);
  EXPECT_EQ(tok3.ok, 0);
  EXPECT_EQ(takeErr(), "\nTrying to set axis 3 token on table having only 1 axes.\n");
  Parsed unit2;
  parse("# Table format: 1D\n# axis2_unit = m\n", unit2);
  EXPECT_EQ(unit2.ok, 0);
  EXPECT_EQ(takeErr(), "\nTrying to set axis 2 unit on table having only 1 axes.\n");
  // Axis 0 lies outside every table.
  Parsed unit0;
  parse("# Table format: 2D\n# axis0_unit = m\n", unit0);
  EXPECT_EQ(unit0.ok, 0);
  EXPECT_EQ(takeErr(), "\nTrying to set axis 0 unit on table having only 2 axes.\n");
  Parsed tok0;
  parse("# Table format: XY\n# axis-1_token = m\n", tok0);
  EXPECT_EQ(tok0.ok, 0);
  EXPECT_EQ(takeErr(), "\nTrying to set axis -1 token on table having only 2 axes.\n");
  Parsed huge;
  parse("# Table format: XY\n# axis99999999999_unit = m\n", huge);
  EXPECT_EQ(huge.ok, 0);
  EXPECT_EQ(takeErr(), "\nTrying to set axis 2147483647 unit on table having only 65536 axes.\n");
}

TEST_F(TableTest, XYUnitsGrowByColumn) {
  Parsed p;
  parse("# Table format: XY\n# table_unit = bar\n# axis3_unit = mm\n# axis2_token = y\n1 2 3\n", p);
  ASSERT_EQ(p.ok, 1);
  ASSERT_EQ(p.h->nunits, 3);
  EXPECT_EQ(p.unit(0), "<null>");
  EXPECT_EQ(p.unit(1), "<null>");
  EXPECT_EQ(p.unit(2), "mm");
  ASSERT_EQ(p.h->ntokens, 2);
  EXPECT_EQ(p.token(1), "y");
}

TEST_F(TableTest, LongWordsAndOddKeys) {
  const std::string longUnit(20000, 'u');
  Parsed p;
  parse("# Table format: 0D\n# table_unit = " + longUnit + "\n# table_unit=bar\n# axis1_units = m\n"
        "# axis1_xyz_unit = m\n5\n",
        p);
  ASSERT_EQ(p.ok, 1);
  EXPECT_EQ(p.unit(0), longUnit);  // "table_unit=bar" has no separate "=" and is skipped
  EXPECT_EQ(p.next, "5");
}

TEST_F(TableTest, GetTableFormatFromFileStoreAndContent) {
  EXPECT_EQ(GetTableFormat(write("a.txt", "# Table format: T3D\n1 1\n").c_str()), 11);
  EXPECT_EQ(GetTableFormat(write("plain.txt", "1 2\n3 4\n").c_str()), -1);
  std::string rsm = "";
  for (int i = 0; i < 9; ++i) rsm += "line\n";
  EXPECT_EQ(GetTableFormat(write("rsm.txt", rsm + "Type of RSM: 2\n").c_str()), 12);
  EXPECT_EQ(GetTableFormat(write("rsm11.txt", rsm + "x\nType of RSM: 2\n").c_str()), -1);
  EXPECT_EQ(GetTableFormat(write("bad.txt", "# axis1_unit = m\n").c_str()), -1);
  EXPECT_EQ(takeErr(), "\nTrying to extract unit data with undefined table format.\n"
                       "\nCheck header of file '" + dir_ + "/bad.txt'.\n");

  EXPECT_EQ(GetTableFormat("missing.txt"), -2);
  EXPECT_EQ(takeErr(), "\nImpossible to open file 'missing.txt'.\n");

  const int sizes[] = {2};
  const double x[] = {0, 1}, y[] = {0, 1};
  rtablemd_add("t1d", 1, sizes, x, y, y, nullptr);
  EXPECT_EQ(GetTableFormat("t1d"), 8);
  rtablexy_add("xy", 1, 2, x, nullptr);
  EXPECT_EQ(GetTableFormat("xy"), 9);
  const double one = 1;
  rtable0d_add("zero", 1, &one);
  EXPECT_EQ(GetTableFormat("zero"), 10);
  rtable1d_add("one", 2, x, y);
  EXPECT_EQ(GetTableFormat("one"), 0);
  const char *ml[] = {"# Table format: RSM", "body"};
  rtable_multi_line_add("ml", ml, 2);
  EXPECT_EQ(GetTableFormat("ml"), 14);
  // An empty caller-added list has no first line to look at.
  rtable_multi_line_add("empty", ml, 0);
  EXPECT_EQ(GetTableFormat("empty"), -1);
  // T1D comes before XY when both hold the name.
  rtablexy_add("t1d", 1, 2, x, nullptr);
  EXPECT_EQ(GetTableFormat("t1d"), 8);
  // A file without format line defers to a caller-added table of its name.
  const std::string plain = dir_ + "/plain.txt";
  rtablexy_add(plain.c_str(), 1, 2, x, nullptr);
  EXPECT_EQ(GetTableFormat(plain.c_str()), 9);
  // The reader cache does not count.
  rtablexy_add2("cached", 1, 2, x, nullptr, KIV_TABLE_BY_READER);
  EXPECT_EQ(GetTableFormat("cached"), -2);
  takeErr();
}

TEST_F(TableTest, CommonFopenExpandsNames) {
  write("f.txt", "x");
  std::string back = dir_ + "/f.txt";
  for (auto &c : back)
    if (c == '/') c = '\\';
  FILE *fp = CommonFopen(back.c_str(), "r");
  ASSERT_NE(fp, nullptr);
  std::fclose(fp);

  setenv("KIV_TEST_TABLE_DIR", dir_.c_str(), 1);
  fp = CommonFopen("$KIV_TEST_TABLE_DIR/f.txt", "r");
  ASSERT_NE(fp, nullptr);
  std::fclose(fp);
  unsetenv("KIV_TEST_TABLE_DIR");

  KivSetFileNames(nullptr, (dir_ + "/circ").c_str(), nullptr);
  write("circ_data.txt", "x");
  fp = CommonFopen("${full_circuit_name}_data.txt", "r");
  ASSERT_NE(fp, nullptr);
  std::fclose(fp);

  // A bare name falls back on the run's working directory.
  KivSetFileNames(dir_.c_str(), "circ", nullptr);
  fp = CommonFopen("f.txt", "r");
  ASSERT_NE(fp, nullptr);
  std::fclose(fp);
  fp = CommonFopen("${circuit_name}_data.txt", "r");  // expands to a bare name: no fallback
  EXPECT_EQ(fp, nullptr);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(TableTest, CommonFopenRefusesLongNames) {
  const std::string name512(512, 'a'), name513(513, 'a');
  EXPECT_EQ(CommonFopen(name512.c_str(), "r"), nullptr);
  EXPECT_EQ(takeErr(), "");
  EXPECT_EQ(CommonFopen(name513.c_str(), "r"), nullptr);
  EXPECT_EQ(takeErr(), "\nFilename '" + name513 + "' is too long\n(exceeds 512 characters).\n");
  // Refused before any expansion: no unknown-variable message.
  const std::string env = "$NOT_A_VARIABLE_OF_KIV/" + std::string(500, 'b');
  EXPECT_EQ(CommonFopen(env.c_str(), "r"), nullptr);
  EXPECT_EQ(takeErr(), "\nFilename '" + env + "' is too long\n(exceeds 512 characters).\n");
}

TEST_F(TableTest, ConvertArrays) {
  double v[] = {1e5, 2e5};
  char to[] = "bar is_difference";
  EXPECT_EQ(_prt4("Pa", to, v, 2, "table", 1), 1);
  EXPECT_DOUBLE_EQ(v[0], 1.0);
  EXPECT_DOUBLE_EQ(v[1], 2.0);
  EXPECT_STREQ(to, "bar is_difference");  // the caller's text is left whole
  EXPECT_EQ(takeOut(), "\nConverted table values from 'Pa' to 'bar'\n");

  double t[] = {0.0, 100.0};
  EXPECT_EQ(_prt4("degC", "K", t, 2, nullptr, 1), 1);
  EXPECT_DOUBLE_EQ(t[0], 273.15);
  EXPECT_DOUBLE_EQ(t[1], 373.15);
  EXPECT_EQ(takeOut(), "\nConverted values from 'degC' to 'K'\n");
  double dt[] = {10.0};
  EXPECT_EQ(_prt4("degC", "degF is_difference", dt, 1, nullptr, 0), 1);
  EXPECT_NEAR(dt[0], 18.0, 1e-12);
  EXPECT_EQ(takeOut(), "");

  double same[] = {3.0};
  EXPECT_EQ(_prt4("bar", "bar", same, 1, "x", 1), 0);
  EXPECT_EQ(_prt4("null", "bar", same, 1, "x", 1), 0);
  EXPECT_EQ(_prt4("bar", "null", same, 1, "x", 1), 0);
  EXPECT_EQ(_prt4("", "bar", same, 1, "x", 1), 0);
  EXPECT_EQ(_prt4("bar", "", same, 1, "x", 1), 0);
  EXPECT_EQ(_prt4(nullptr, "bar", same, 1, "x", 1), 0);
  EXPECT_EQ(_prt4("bar", "bar is_difference", same, 1, "x", 1), 0);
  EXPECT_EQ(_prt4("mm", "bar", same, 0, "x", 1), 0);
  EXPECT_EQ(_prt4("N.m", "Nm", same, 1, "x", 1), 0);  // factor 1: nothing done
  EXPECT_EQ(same[0], 3.0);
  EXPECT_EQ(takeErr(), "");

  EXPECT_EQ(_prt4("mm", "bar", same, -1, "x", 1), -1);
  EXPECT_EQ(takeErr(), "\nNegative array size.\n");
  EXPECT_EQ(_prt4("mm", "bar", same, 1, "axis 2", 1), -1);
  EXPECT_EQ(takeErr(), "Unit domains 'Length' and 'Pressure' are not compatible.\n"
                       "\nUnable to convert axis 2 values from 'mm' to 'bar'\n");
  EXPECT_EQ(_prt4("mm", "bar", same, 1, nullptr, 1), -1);
  EXPECT_EQ(takeErr(), "Unit domains 'Length' and 'Pressure' are not compatible.\n"
                       "\nUnable to convert values from 'mm' to 'bar'\n");
  EXPECT_EQ(same[0], 3.0);
}

TEST_F(TableTest, TokensFromFileCacheAndStore) {
  const std::string f = write("tok.txt", "# Table format: 2D\n# axis1_token = p\n# axis2_token = T\n2 1\n0 1\n5\n1 2\n");
  OwnedLines t;
  ASSERT_EQ(kiv_get_table_tokens(f.c_str(), &t.p, &t.n), 1);
  EXPECT_EQ(t.vec(), (std::vector<std::string>{"p", "T", "<null>"}));

  const char *tk[] = {"a", "b"};
  const int sizes[] = {2};
  const double x[] = {0, 1};
  rtablemd_add("t1d", 1, sizes, x, x, x, nullptr);
  rtable_add_tokens("t1d", 8, tk, 2);
  OwnedLines s;
  ASSERT_EQ(kiv_get_table_tokens("t1d", &s.p, &s.n), 1);
  EXPECT_EQ(s.vec(), (std::vector<std::string>{"a", "b"}));

  OwnedLines none;
  EXPECT_EQ(kiv_get_table_tokens("nothing", &none.p, &none.n), 0);
  EXPECT_EQ(none.p, nullptr);
  EXPECT_EQ(none.n, 0);
  EXPECT_EQ(takeErr(), "\nImpossible to open file 'nothing'.\n");

  const std::string bad = write("bad.txt", "# axis1_token = x\n");
  EXPECT_EQ(kiv_get_table_tokens(bad.c_str(), &none.p, &none.n), 0);
  EXPECT_EQ(takeErr(), "\nTrying to extract token data with undefined table format.\n"
                       "\nCheck header of file '" + bad + "'.\n");
}

}  // namespace
