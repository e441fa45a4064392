// The XML global-parameter file: exact writing, reading, round trips and
// damaged documents.

#include "params/gp_support.hpp"

namespace kiv::test {
namespace {

class GpXml : public GpFileTest {
 protected:
  std::string xmlPath(const std::string &ext = "") { return path(".kivgp" + ext); }
  int writeXml(const char *ext, const Records &r) { return KIVGP_IO_WriteGPsToXML("m", dir.c_str(), ext, r.list); }
  // Reads a document given as text; its records go to r.
  int readDoc(const std::string &doc, Records &r) {
    writeFile(xmlPath(), doc);
    return KIVGP_IO_ReadGPsFromFile(xmlPath().c_str(), r.list);
  }
  static std::string doc(const std::string &parameters) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<GLOBAL_PARAMS_LIST>\n" + parameters +
           "</GLOBAL_PARAMS_LIST>\n";
  }
};

TEST_F(GpXml, WritesTheDocumentLineByLine) {
  Records r;
  r.add(KIVGP_GP_CreateReal("p", "Pump <speed>", "15", "rev/min", "0", "30", "10", nullptr, nullptr));
  KIVGP_GP *mode = KIVGP_GP_CreateInt("mode", "", "1", "0", "1", "0", "2", "sc1.mode");
  const char *labels[] = {"off", "\"on\""};
  KIVGP_GP_SetEnum(mode, const_cast<char *const *>(labels), 2);
  KIVGP_GP_SetEvalOrder(mode, 7);
  r.add(mode);
  ASSERT_EQ(writeXml("", r), 0);
  const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE GP>\n<GLOBAL_PARAMS_LIST>\n";
  EXPECT_EQ(readFile(xmlPath()),
            head +
                "\t<PARAMETER EVAL_ORDER=\"-1\">\n\t\t<TYPE>1</TYPE>\n\t\t<VARNAME>p</VARNAME>\n"
                "\t\t<TITLE>Pump &lt;speed&gt;</TITLE>\n\t\t<VALUE>15</VALUE>\n\t\t<DEFAULT>10</DEFAULT>\n"
                "\t\t<MIN_VALUE>0</MIN_VALUE>\n\t\t<MAX_VALUE>30</MAX_VALUE>\n\t\t<UNIT>rev/min</UNIT>\n"
                "\t</PARAMETER>\n"
                "\t<PARAMETER EVAL_ORDER=\"7\">\n\t\t<TYPE>2</TYPE>\n\t\t<VARNAME>mode</VARNAME>\n"
                "\t\t<VALUE>1</VALUE>\n\t\t<DEFAULT>0</DEFAULT>\n"
                "\t\t<MIN_VALUE>0</MIN_VALUE>\n\t\t<MAX_VALUE>1</MAX_VALUE>\n"
                "\t\t<CIRCUIT_SCOPE_ID>2</CIRCUIT_SCOPE_ID>\n\t\t<DATA_PATH>sc1.mode</DATA_PATH>\n"
                "\t\t<ENUM_LIST>\n"
                "\t\t\t<ENUM>\n\t\t\t\t<ENUM_STRING>off</ENUM_STRING>\n\t\t\t</ENUM>\n"
                "\t\t\t<ENUM>\n\t\t\t\t<ENUM_STRING>&quot;on&quot;</ENUM_STRING>\n\t\t\t</ENUM>\n"
                "\t\t</ENUM_LIST>\n"
                "\t</PARAMETER>\n"
                "</GLOBAL_PARAMS_LIST>\n");
  Records empty;
  ASSERT_EQ(writeXml(".x", empty), 0);
  EXPECT_EQ(readFile(xmlPath(".x")), head + "</GLOBAL_PARAMS_LIST>\n");
}

TEST_F(GpXml, RoundTripKeepsEveryFieldAndNonAsciiText) {
  Records r;
  r.add(KIVGP_GP_CreateReal("d\xC3\xA9" "bit", "D\xC3\xA9" "bit \xE2\x82\xAC & 'co'", "2*x+1", "L/min",
                            "-1e3", "1e3", "0", "0", "d\xC3\xA9" "bit"));
  KIVGP_GP *n = KIVGP_GP_CreateInt("n", "Count\r\nline", "3", "1", "9", "2", "4", "sc.n");
  const char *e[] = {"\xC3\xA9t\xC3\xA9", ""};
  KIVGP_GP_SetEnum(n, const_cast<char *const *>(e), 2);
  KIVGP_GP_SetEvalOrder(n, 12);
  r.add(n);
  r.add(KIVGP_GP_CreateText("s", "Label", "${d\xC3\xA9" "bit} <&>", "d", nullptr, nullptr));
  ASSERT_EQ(writeXml(".ext", r), 0);
  Records back;
  ASSERT_EQ(read(".ext", back), 0);
  ASSERT_EQ(back.size(), 3u);
  // Model records first, then the supercomponent record.
  const unsigned order[] = {0, 2, 1};
  for (unsigned i = 0; i < 3; ++i) EXPECT_EQ(describe(back[i]), describe(r[order[i]]));
  // Lists -> file -> lists -> file gives the same bytes.
  ASSERT_EQ(writeXml(".ext", back), 0);
  const std::string written = readFile(xmlPath(".ext"));
  Records again;
  ASSERT_EQ(read(".ext", again), 0);
  ASSERT_EQ(writeXml(".ext", again), 0);
  EXPECT_EQ(readFile(xmlPath(".ext")), written);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(GpXml, ReadsFieldsAsTheDocumentGivesThem) {
  Records r;
  ASSERT_EQ(readDoc(doc("<PARAMETER><TYPE>1</TYPE><VARNAME>a</VARNAME><VALUE>x&lt;1</VALUE>"
                        "<TITLE></TITLE><UNIT>m</UNIT><UNIT>mm</UNIT><FOO>z</FOO></PARAMETER>\n"
                        "<PARAMETER EVAL_ORDER=\"7\"><VARNAME>b</VARNAME><TYPE>4</TYPE></PARAMETER>\n"
                        "<PARAMETER EVAL_ORDER=\"seven\"><TYPE>2</TYPE><VARNAME>c</VARNAME>"
                        "<ENUM_LIST><ENUM><ENUM_STRING>lo</ENUM_STRING></ENUM>"
                        "<ENUM><ENUM_STRING>hi</ENUM_STRING></ENUM></ENUM_LIST></PARAMETER>\n"
                        "<PARAMETER><TYPE>2</TYPE><VARNAME>d</VARNAME><ENUM_LIST/></PARAMETER>\n"),
                    r),
            0);
  ASSERT_EQ(r.size(), 4u);
  // An element without text leaves the field absent; a repeated one replaces.
  EXPECT_EQ(describe(r[0]), "1 -1 a|<absent>|x<1|mm|<absent>|<absent>|<absent>|<absent>|<absent>");
  EXPECT_EQ(describe(r[1]), "0 7 b|<absent>|<absent>|<absent>|<absent>|<absent>|<absent>|<absent>|<absent>");
  EXPECT_EQ(describe(r[2]), "2 -1 c|<absent>|<absent>|<absent>|<absent>|<absent>|<absent>|<absent>|<absent>|lo,hi");
  EXPECT_EQ(r[3]->enum_count, 0u);
  // Declared Latin-1: the texts arrive in UTF-8.
  Records latin;
  ASSERT_EQ(readDoc("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<GLOBAL_PARAMS_LIST><PARAMETER>"
                    "<TYPE>3</TYPE><VARNAME>s</VARNAME><VALUE>caf\xE9</VALUE></PARAMETER></GLOBAL_PARAMS_LIST>",
                    latin),
            0);
  EXPECT_EQ(text(latin[0]->value), "caf\xC3\xA9");
  EXPECT_EQ(takeErr(), "");
}

TEST_F(GpXml, TextSplitAcrossChunksArrivesWhole) {
  // Long enough to cross several 2048-byte chunks, and many 32-byte ones.
  const std::string longValue(5000, 'v'), longName = "n" + std::string(3000, '7');
  Records r;
  ASSERT_EQ(readDoc(doc("<PARAMETER><TYPE>3</TYPE><VARNAME>" + longName + "</VARNAME><VALUE>" + longValue +
                        "</VALUE></PARAMETER>\n"),
                    r),
            0);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(text(r[0]->value), longValue);
  EXPECT_EQ(readNames(KIVGP_IO_ReadGPNames, dir), std::vector<std::string>{longName});
}

TEST_F(GpXml, RecordAndNamesReadersFileDataPathsDifferently) {
  writeFile(xmlPath(), doc("<PARAMETER><TYPE>1</TYPE><VARNAME>p</VARNAME><CIRCUIT_SCOPE_ID>0</CIRCUIT_SCOPE_ID>"
                           "<DATA_PATH>p</DATA_PATH></PARAMETER>\n"
                           "<PARAMETER><TYPE>1</TYPE><VARNAME>q</VARNAME></PARAMETER>\n"
                           "<PARAMETER><TYPE>1</TYPE><VARNAME>r</VARNAME><CIRCUIT_SCOPE_ID>3</CIRCUIT_SCOPE_ID>"
                           "</PARAMETER>\n"));
  Records model, sc;
  ASSERT_EQ(KIVGP_IO_ReadModelGPs("m", dir.c_str(), "", model.list), 0);
  ASSERT_EQ(KIVGP_IO_ReadSCGPs("m", dir.c_str(), "", sc.list), 0);
  ASSERT_TRUE(model.size() == 2 && sc.size() == 1);
  EXPECT_EQ(text(model[0]->name) + text(sc[0]->name), "pr");
  EXPECT_EQ(readNames(KIVGP_IO_ReadModelGPNames, dir), (std::vector<std::string>{"q", "r"}));
  EXPECT_EQ(readNames(KIVGP_IO_ReadSCGPNames, dir), std::vector<std::string>{"p"});
}

TEST_F(GpXml, DamagedDocumentsHandOutNothing) {
  Records r;
  r.add(KIVGP_GP_CreateText("kept", "", "", "", nullptr, nullptr));
  writeFile(xmlPath(), doc("<PARAMETER><TYPE>1</TYPE><VARNAME>a</VARNAME></PARAMETER>\n") +
                           "<PARAMETER>\n<TYPE>1</TYPE\n");
  EXPECT_EQ(read("", r), -1);
  EXPECT_EQ(r.size(), 1u);
  EXPECT_NE(takeErr(), "");
  writeFile(xmlPath(), "<GLOBAL_PARAMS_LIST>\n<PARAMETER>\n<TYPE>1</VALUE>\n");
  EXPECT_EQ(readNames(KIVGP_IO_ReadGPNames, dir), std::vector<std::string>{"<failed>"});
  EXPECT_NE(takeErr().find("line 3"), std::string::npos);
  // Documents of another structure.
  const struct {
    std::string doc, err;
  } cases[] = {
      {"<OTHER><PARAMETER><TYPE>1</TYPE><VARNAME>a</VARNAME></PARAMETER></OTHER>", "outside GLOBAL_PARAMS_LIST"},
      {"<GLOBAL_PARAMS_LIST><PARAMETER><VARNAME>a</VARNAME>\n<PARAMETER><VARNAME>b</VARNAME>"
       "</PARAMETER></PARAMETER></GLOBAL_PARAMS_LIST>", "inside PARAMETER at line 2"},
      {"<X><GLOBAL_PARAMS_LIST/><GLOBAL_PARAMS_LIST/></X>", "repeated"},
      {"<X><VARNAME>a</VARNAME></X>", "GLOBAL_PARAMS_LIST missing"},
  };
  for (const auto &c : cases) {
    Records none;
    EXPECT_EQ(readDoc(c.doc, none), -1) << c.doc;
    EXPECT_EQ(none.size(), 0u);
    EXPECT_NE(takeErr().find(c.err), std::string::npos) << c.err;
  }
}

TEST_F(GpXml, StrayElementsAndNamelessRecordsAreSkipped) {
  Records r;
  ASSERT_EQ(readDoc("<GLOBAL_PARAMS_LIST>\nstray text\n<VARNAME>lost</VARNAME>\n"
                    "<PARAMETER><TYPE>1</TYPE><VALUE>1</VALUE></PARAMETER>\n"
                    "<PARAMETER><TYPE>1</TYPE><VARNAME>ok</VARNAME></PARAMETER>\n"
                    "<VALUE>2</VALUE>\n</GLOBAL_PARAMS_LIST>",
                    r),
            0);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0]->value, nullptr);  // a record without value is kept
  const std::string err = takeErr();
  for (const char *line : {"line 3", "line 4", "line 6"}) EXPECT_NE(err.find(line), std::string::npos) << err;
}

TEST_F(GpXml, RefusedOrFailedWriteLeavesThePreviousFile) {
  Records good;
  good.add(KIVGP_GP_CreateText("s", "t", "v", "d", nullptr, nullptr));
  ASSERT_EQ(writeXml("", good), 0);
  const std::string before = readFile(xmlPath());
  Records bad;
  bad.add(KIVGP_GP_CreateText("s", "t", "caf\xE9", "d", nullptr, nullptr));  // Latin-1, not UTF-8
  EXPECT_EQ(writeXml("", bad), -1);
  EXPECT_NE(takeErr().find("not valid UTF-8"), std::string::npos);
  EXPECT_EQ(readFile(xmlPath()), before);

  // A write that fails half-way: the file size limit stops it.
  Records big;
  big.add(KIVGP_GP_CreateText("s", "t", std::string(100000, 'x').c_str(), "d", nullptr, nullptr));
  {
    FullDisk full(4096);
    EXPECT_EQ(writeXml("", big), -1);
  }
  EXPECT_NE(takeErr().find(xmlPath()), std::string::npos);
  EXPECT_EQ(readFile(xmlPath()), before);
  // No temporary file stays behind.
  int files = 0;
  for (const auto &e : std::filesystem::directory_iterator(dir.str())) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
}

}  // namespace
}  // namespace kiv::test
