// The line-oriented ".gp" and ".gp2" files.
#include "params/gp_support.hpp"

namespace kiv::test {
namespace {

class GpLegacy : public GpFileTest {
 protected:
  static std::string file(const std::string &ints, const std::string &reals, const std::string &texts) {
    return "# integer parameters\n" + ints + "# real parameters\n" + reals + "# text parameters\n" + texts;
  }
};

TEST_F(GpLegacy, FileReadsEveryLineFormInOrder) {
  // A blank line takes an order; a line with too few fields is skipped but takes one too.
  writeFile(path(".gp"), file("n Count 3 1 9 2  \n\nk K 1 0 1 0  Data_Path=sc.k\n",
                              "x Pump_speed 2*y 0 1 0 bar\nshort Pump 15 0 30 10\n",
                              "s A_b hello world Param_Id=3 Data_Path=a.s\nt T v d Param_Id=3 \n"));
  Records r;
  ASSERT_EQ(read("", r), 0);
  ASSERT_EQ(r.size(), 5u);
  EXPECT_EQ(describe(r[1]), "2 3 k|K|1|<absent>|0|1|0|<absent>|sc.k");
  EXPECT_EQ(describe(r[2]), "1 4 x|Pump speed|2*y|bar|0|1|0|<absent>|<absent>");
  EXPECT_EQ(describe(r[3]), "3 6 s|A b|hello|<absent>|<absent>|<absent>|world|3|a.s");
  // What the writer gives a record with a scope id and no data path.
  EXPECT_EQ(describe(r[4]), "3 7 t|T|v|<absent>|<absent>|<absent>|d|3|<absent>");
  // The lost record is reported; the names reader lists only what was read.
  EXPECT_NE(takeErr().find("Line 7 of file '" + path(".gp") + "'"), std::string::npos);
  EXPECT_EQ(readNames(KIVGP_IO_ReadGPNames, dir), (std::vector<std::string>{"n", "k", "x", "s", "t"}));
}

TEST_F(GpLegacy, Latin1FileArrivesInUtf8AndWritesBackTheSameBytes) {
  Records r;
  const std::string data = dataDir() + "/params";
  ASSERT_EQ(KIVGP_IO_ReadGPs("legacy", data.c_str(), "", r.list), 0);
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(describe(r[3]), "3 4 label|\xC3\x89tiquette|d\xC3\xA9" "bit|<absent>|<absent>|<absent>|default|<absent>|<absent>");
  ASSERT_EQ(KIVGPPrivate_IO_WriteGPsToLegacyFile(path(".gp").c_str(), r.list), 0);
  EXPECT_EQ(readFile(path(".gp")), readFile(data + "/legacy_.gp"));
}

TEST_F(GpLegacy, RoundTripThroughTwoFiles) {
  Records r;
  r.add(KIVGP_GP_CreateReal("x", "Gain", "2 * y", "m", "0", "10", "1", nullptr, nullptr));
  r.add(KIVGP_GP_CreateInt("n", "Count of \xC3\xA9l\xC3\xA9ments", "3", "1", "9", "2", "4", nullptr));
  r.add(KIVGP_GP_CreateText("s", "Label", "caf\xC3\xA9", "d", "0", "s"));
  r.add(KIVGP_GP_CreateText("t", "Other", "v", "d", nullptr, "sc.t"));
  ASSERT_EQ(write(".e", r), 0);
  const std::string gp = readFile(path(".gp.e")), gp2 = readFile(path(".gp2.e"));
  EXPECT_EQ(gp, file("", "x Gain 2*y 0 10 1 m  \n", "s Label caf\xE9 d Param_Id=0 Data_Path=s\n"));
  EXPECT_EQ(gp2, file("n Count_of_\xE9l\xE9ments 3 1 9 2 Param_Id=4 \n", "", "t Other v d  Data_Path=sc.t\n"));
  // Lists -> files -> lists -> files gives the same bytes: a scope id without
  // a data path survives, titles get their blanks back, texts their UTF-8.
  Records back;
  ASSERT_EQ(read(".e", back), 0);
  EXPECT_EQ(describe(back[1]), "3 2 s|Label|caf\xC3\xA9|<absent>|<absent>|<absent>|d|0|s");
  ASSERT_EQ(write(".e", back), 0);
  EXPECT_EQ(readFile(path(".gp.e")), gp);
  EXPECT_EQ(readFile(path(".gp2.e")), gp2);
}

TEST_F(GpLegacy, RecordsThatWouldNotReadBackAreRefusedBeforeWriting) {
  writeFile(path(".gp"), "previous");
  const struct {
    KIVGP_GP *gp;
    std::string why;
  } cases[] = {
      {KIVGP_GP_CreateText("s", "t", "", "d", nullptr, nullptr), "its value is empty"},
      {KIVGP_GP_CreateText("s", "t", "   ", "d", nullptr, nullptr), "its value is empty"},
      {KIVGP_GP_CreateReal("x", "t", "1", nullptr, "0", "1", "0", nullptr, nullptr), "its unit is empty"},
      {KIVGP_GP_CreateReal("x", "t", "1", "m", nullptr, "1", "0", nullptr, nullptr), "its minimum is empty"},
      {KIVGP_GP_CreateInt("a b", "t", "1", "0", "1", "0", nullptr, nullptr), "its name holds white space"},
      {KIVGP_GP_CreateInt("n", "t", "1\t2", "0", "1", "0", nullptr, nullptr), "its value holds white space"},
      {KIVGP_GP_CreateInt("n", "t\nu", "1", "0", "1", "0", nullptr, nullptr), "its title holds white space"},
      {KIVGP_GP_CreateInt("n", "t", "1", "0", "1", "0", nullptr, "a b"), "its data path holds white space"},
      {KIVGP_GP_CreateInt("n", "t", "integer", "parameters", "1", "0", nullptr, nullptr),
       "its line would read as a section line"},
  };
  for (const auto &c : cases) {
    Records r;
    r.add(KIVGP_GP_CreateText("fine", "t", "v", "d", nullptr, nullptr));
    r.add(c.gp);
    EXPECT_EQ(write("", r), -1) << c.why;
    EXPECT_NE(takeErr().find("'" + std::string(c.gp->name) + "' to " + path(".gp") + ": " + c.why), std::string::npos);
    EXPECT_EQ(readFile(path(".gp")), "previous");
  }
  Records unknown;
  unknown.add(KIVGPPrivate_GP_Create());
  unknown[0]->name = strdup("u");
  EXPECT_EQ(KIVGPPrivate_IO_WriteGPsToLegacyFile(path(".gp").c_str(), unknown.list), -1);
  EXPECT_NE(takeErr().find("its type is unknown"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(path(".gp2")));
  EXPECT_EQ(KIVGPPrivate_IO_WriteTextGPToLegacyFile(stdout, nullptr), -1);
  Records r, back;  // no title: written as a blank one, so the line still reads back
  r.add(KIVGP_GP_CreateText("s", nullptr, "v", "d", nullptr, nullptr));
  ASSERT_EQ(write("", r), 0);
  ASSERT_EQ(read("", back), 0);
  EXPECT_EQ(describe(back[0]), "3 1 s| |v|<absent>|<absent>|<absent>|d|<absent>|<absent>");
}

TEST_F(GpLegacy, LongFieldsAreReadWhole) {
  const std::string name = "n" + std::string(5000, 'a'), unit(300, 'u'), where(9000, 'p');
  writeFile(path(".gp"), file("", name + " T 1 0 2 1 " + unit + " Param_Id=" + where + " Data_Path=" + where + "\n", ""));
  Records r;
  ASSERT_EQ(read("", r), 0);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(describe(r[0]), "1 1 " + name + "|T|1|" + unit + "|0|2|1|" + where + "|" + where);
}

TEST_F(GpLegacy, FileChoiceAndFailedReads) {
  Records r;
  EXPECT_EQ(read("", r), -1);  // no file at all
  // Only the supercomponent file.
  writeFile(path(".gp2"), file("", "", "s T v d  Data_Path=a.s\n"));
  ASSERT_EQ(read("", r), 0);
  // A ".gp" that fails makes the read fail, and nothing of it stays.
  writeFile(path(".gp"), "not a parameter file\n");
  EXPECT_EQ(read("", r), -1);
  EXPECT_EQ(r.size(), 1u);
  EXPECT_EQ(readNames(KIVGP_IO_ReadGPNames, dir), std::vector<std::string>{"<failed>"});
  // The model reader falls back on the name without "_".
  std::filesystem::remove(path(".gp"));
  writeFile(dir / "m.gp", file("k K 1 0 1 0\n", "", ""));
  ASSERT_EQ(KIVGP_IO_ReadModelGPs("m", dir.c_str(), "", r.list), 0);
  EXPECT_EQ(text(r[1]->name), "k");
  Records sc;
  ASSERT_EQ(KIVGP_IO_ReadSCGPs("m", dir.c_str(), "", sc.list), 0);
  EXPECT_EQ(text(sc[0]->name), "s");
  // A file that is no line file is tried as XML.
  const std::string xml = dir / "any.xml";
  writeFile(xml, "<GLOBAL_PARAMS_LIST><PARAMETER><TYPE>3</TYPE><VARNAME>z</VARNAME></PARAMETER></GLOBAL_PARAMS_LIST>");
  Records z;
  ASSERT_EQ(KIVGP_IO_ReadGPsFromFile(xml.c_str(), z.list), 0);
  EXPECT_EQ(text(z[0]->name), "z");
  EXPECT_EQ(KIVGP_IO_ReadGPsFromFile((dir / "none").c_str(), z.list), -1);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(GpLegacy, WriterPicksXmlWhenAnXmlFileExists) {
  Records r;
  r.add(KIVGP_GP_CreateText("s", "T", "v", "d", nullptr, nullptr));
  writeFile(path(".kivgp.1"), "");
  ASSERT_EQ(write(".e", r), 0);
  EXPECT_TRUE(std::filesystem::exists(path(".kivgp.e")) && !std::filesystem::exists(path(".gp.e")));
  // Without an XML file, the line files; then their conversion to XML elsewhere.
  std::filesystem::remove(path(".kivgp.1"));
  ASSERT_EQ(write("", r), 0);
  ASSERT_TRUE(std::filesystem::exists(path(".gp")));
  ScratchDir out;
  ASSERT_EQ(KIVGP_IO_ConvertLegacyFileToXML("m", dir.c_str(), "n", out.c_str(), ""), 0);
  Records back;
  ASSERT_EQ(KIVGP_IO_ReadGPs("n", out.c_str(), "", back.list), 0);
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(describe(back[0]), "3 1 s|T|v|<absent>|<absent>|<absent>|d|<absent>|<absent>");
  EXPECT_EQ(KIVGP_IO_ConvertLegacyFileToXML("none", dir.c_str(), "n", out.c_str(), ""), -1);
}

}  // namespace
}  // namespace kiv::test
