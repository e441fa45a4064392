// The line-oriented ".gp" and ".gp2" files.
#include <sys/stat.h>

#include "params/gp_support.hpp"

namespace {

using kiv::test::readFile;
using kiv::test::Records;
using kiv::test::ScratchDir;
using kiv::test::text;
using kiv::test::writeFile;

class GpLegacy : public kiv::test::SystemTest {
 protected:
  ScratchDir dir;
  const char *d() const { return dir.str().c_str(); }
  std::string path(const std::string &kind, const std::string &ext = "") { return dir / ("m_" + kind + ext); }
  static std::string file(const std::string &ints, const std::string &reals, const std::string &texts) {
    return "# integer parameters\n" + ints + "# real parameters\n" + reals + "# text parameters\n" + texts;
  }
  KIVGP_GP *parse(int (*reader)(const char *, KIVGP_GP *, int *), const char *line, int *counter,
                  int *result) {
    KIVGP_GP *gp = KIVGPPrivate_GP_Create();
    KIVGPPrivate_GP_AllocateMembers(gp);
    *result = reader(line, gp, counter);
    return gp;
  }
};

TEST_F(GpLegacy, LinesReadInEachOfTheirForms) {
  int counter = 4, r = 0;
  KIVGP_GP *gp = parse(KIVGPPrivate_IO_ReadRealGPFromLegacyLine, "p Pump_speed 15 0 30 10 bar", &counter, &r);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(text(gp->name), "p");
  EXPECT_EQ(text(gp->title), "Pump speed");
  EXPECT_EQ(text(gp->value), "15");
  EXPECT_EQ(text(gp->min_value), "0");
  EXPECT_EQ(text(gp->max_value), "30");
  EXPECT_EQ(text(gp->default_value), "10");
  EXPECT_EQ(text(gp->unit), "bar");
  EXPECT_EQ(gp->circuit_scope_id, nullptr);
  EXPECT_EQ(gp->data_path, nullptr);
  EXPECT_EQ(gp->type, KIVGP_TYPE_REAL);
  EXPECT_EQ(gp->eval_order, 5);
  KIVGP_GP_Destroy(&gp);

  gp = parse(KIVGPPrivate_IO_ReadIntGPFromLegacyLine, "n N 1 0 2 1  Data_Path=sc.n", &counter, &r);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(gp->circuit_scope_id, nullptr);
  EXPECT_EQ(text(gp->data_path), "sc.n");
  EXPECT_EQ(gp->unit, nullptr);  // integers have no unit
  KIVGP_GP_Destroy(&gp);

  gp = parse(KIVGPPrivate_IO_ReadTextGPFromLegacyLine, "s T v d Param_Id=3 Data_Path=a.s", &counter, &r);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(text(gp->circuit_scope_id), "3");
  EXPECT_EQ(text(gp->data_path), "a.s");
  EXPECT_EQ(gp->min_value, nullptr);
  KIVGP_GP_Destroy(&gp);

  // What the writer gives a record with a scope id and no data path.
  gp = parse(KIVGPPrivate_IO_ReadTextGPFromLegacyLine, "s T v d Param_Id=3 ", &counter, &r);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(text(gp->circuit_scope_id), "3");
  EXPECT_EQ(gp->data_path, nullptr);
  KIVGP_GP_Destroy(&gp);

  // Too few fields: refused, but the order still advances.
  gp = parse(KIVGPPrivate_IO_ReadRealGPFromLegacyLine, "p Pump 15 0 30 10", &counter, &r);
  EXPECT_EQ(r, -1);
  EXPECT_EQ(counter, 9);
  EXPECT_EQ(gp->eval_order, 9);
  KIVGP_GP_Destroy(&gp);
}

TEST_F(GpLegacy, FileReadsEverySectionInOrder) {
  writeFile(path(".gp"), file("n Count 3 1 9 2  \n\nk K 1 0 1 0\n", "x X 2*y 0 1 0 m  \n",
                              "s A_b hello world   \n"));
  Records r;
  ASSERT_EQ(KIVGP_IO_ReadGPs("m", d(), "", r.list), 0);
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(text(r[0]->name), "n");
  EXPECT_EQ(r[0]->eval_order, 1);
  EXPECT_EQ(text(r[1]->name), "k");
  EXPECT_EQ(r[1]->eval_order, 3);  // the blank line took order 2
  EXPECT_EQ(text(r[2]->value), "2*y");
  EXPECT_EQ(r[2]->type, KIVGP_TYPE_REAL);
  EXPECT_EQ(text(r[3]->title), "A b");
  EXPECT_EQ(text(r[3]->default_value), "world");
  KIVGP_StringList names = nullptr;
  int count = 0;
  ASSERT_EQ(KIVGP_IO_ReadGPNames("m", d(), "", &names, &count), 0);
  EXPECT_EQ(kiv::test::names(names, count), (std::vector<std::string>{"n", "", "k", "x", "s"}));
  KIVGP_StringList_Free(&names, count);
}

TEST_F(GpLegacy, Latin1FileArrivesInUtf8) {
  Records r;
  const std::string data = kiv::test::dataDir() + "/params";
  ASSERT_EQ(KIVGP_IO_ReadGPs("legacy", data.c_str(), "", r.list), 0);
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(text(r[2]->title), "Angle \xC2\xB0");
  EXPECT_EQ(text(r[2]->circuit_scope_id), "2");
  EXPECT_EQ(text(r[3]->title), "\xC3\x89tiquette");
  EXPECT_EQ(text(r[3]->value), "d\xC3\xA9" "bit");
  // Written back, the file holds the same Latin-1 bytes.
  ASSERT_EQ(KIVGPPrivate_IO_WriteGPsToLegacyFile(path(".gp").c_str(), r.list), 0);
  std::string expected = readFile(data + "/legacy_.gp");
  EXPECT_EQ(readFile(path(".gp")),
            "# integer parameters\n"
            "nstages Number_of_stages 3 1 9 2  \n"
            "# real parameters\n"
            "p Pump_speed 15 0 30 10 rev/min  \n"
            "theta Angle_\xB0 2*pi/3 0 7 0 rad Param_Id=2 Data_Path=sc1.theta\n"
            "# text parameters\n"
            "label \xC9tiquette d\xE9" "bit default  \n");
  EXPECT_EQ(readFile(path(".gp")), expected);
}

TEST_F(GpLegacy, RoundTripThroughTwoFiles) {
  Records r;
  r.add(KIVGP_GP_CreateReal("x", "Gain", "2 * y", "m", "0", "10", "1", nullptr, nullptr));
  r.add(KIVGP_GP_CreateInt("n", "Count of \xC3\xA9l\xC3\xA9ments", "3", "1", "9", "2", "4", nullptr));
  r.add(KIVGP_GP_CreateText("s", "Label", "caf\xC3\xA9", "d", "0", "s"));
  r.add(KIVGP_GP_CreateText("t", "Other", "v", "d", nullptr, "sc.t"));
  ASSERT_EQ(KIVGP_IO_WriteGPs("m", d(), ".e", r.list), 0);
  EXPECT_EQ(readFile(path(".gp", ".e")),
            file("", "x Gain 2*y 0 10 1 m  \n", "s Label caf\xE9 d Param_Id=0 Data_Path=s\n"));
  EXPECT_EQ(readFile(path(".gp2", ".e")),
            file("n Count_of_\xE9l\xE9ments 3 1 9 2 Param_Id=4 \n", "", "t Other v d  Data_Path=sc.t\n"));
  Records back;
  ASSERT_EQ(KIVGP_IO_ReadGPs("m", d(), ".e", back.list), 0);
  ASSERT_EQ(back.size(), 4u);
  EXPECT_EQ(text(back[0]->value), "2*y");
  EXPECT_EQ(text(back[1]->value), "caf\xC3\xA9");
  EXPECT_EQ(text(back[2]->title), "Count of \xC3\xA9l\xC3\xA9ments");
  EXPECT_EQ(text(back[2]->circuit_scope_id), "4");  // scope id without a data path survives
  EXPECT_EQ(back[2]->data_path, nullptr);
  EXPECT_EQ(text(back[3]->data_path), "sc.t");
  // Lists -> files -> lists -> files gives the same bytes.
  const std::string gp = readFile(path(".gp", ".e")), gp2 = readFile(path(".gp2", ".e"));
  ASSERT_EQ(KIVGP_IO_WriteGPs("m", d(), ".e", back.list), 0);
  EXPECT_EQ(readFile(path(".gp", ".e")), gp);
  EXPECT_EQ(readFile(path(".gp2", ".e")), gp2);
  Records empty;
  ASSERT_EQ(KIVGPPrivate_IO_WriteGPsToLegacyFile(path(".gp").c_str(), empty.list), 0);
  EXPECT_EQ(readFile(path(".gp")), file("", "", ""));
}

TEST_F(GpLegacy, RecordsThatWouldNotReadBackAreRefusedBeforeWriting) {
  writeFile(path(".gp"), "previous");
  const struct {
    KIVGP_GP *gp;
    std::string why;
  } cases[] = {
      {KIVGP_GP_CreateText("s", nullptr, "v", "d", nullptr, nullptr), "its title is empty"},
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
    EXPECT_EQ(KIVGP_IO_WriteGPs("m", d(), "", r.list), -1) << c.why;
    EXPECT_EQ(takeErr(), "Cannot write global parameter '" + std::string(c.gp->name) + "' to " +
                             path(".gp") + ": " + c.why + "\n");
    EXPECT_EQ(readFile(path(".gp")), "previous");
  }
  Records unknown;
  unknown.add(KIVGPPrivate_GP_Create());
  unknown[0]->name = strdup("u");
  EXPECT_EQ(KIVGPPrivate_IO_WriteGPsToLegacyFile(path(".gp").c_str(), unknown.list), -1);
  EXPECT_EQ(takeErr(), "Cannot write global parameter 'u' to " + path(".gp") + ": its type is unknown\n");
  EXPECT_FALSE(std::filesystem::exists(path(".gp2")));
  EXPECT_EQ(KIVGPPrivate_IO_WriteTextGPToLegacyFile(stdout, nullptr), -1);
}

TEST_F(GpLegacy, LongFieldsAreReadWhole) {
  const std::string name = "n" + std::string(5000, 'a'), unit(300, 'u'), where(9000, 'p');
  writeFile(path(".gp"), file("", name + " T 1 0 2 1 " + unit + " Param_Id=" + where + " Data_Path=" + where + "\n", ""));
  Records r;
  ASSERT_EQ(KIVGP_IO_ReadGPs("m", d(), "", r.list), 0);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(text(r[0]->name), name);
  EXPECT_EQ(text(r[0]->unit), unit);
  EXPECT_EQ(text(r[0]->circuit_scope_id), where);
  EXPECT_EQ(text(r[0]->data_path), where);
}

TEST_F(GpLegacy, FileChoiceAndFailedReads) {
  Records r;
  EXPECT_EQ(KIVGP_IO_ReadGPs("m", d(), "", r.list), -1);  // no file at all
  // Only the supercomponent file.
  writeFile(path(".gp2"), file("", "", "s T v d  Data_Path=a.s\n"));
  ASSERT_EQ(KIVGP_IO_ReadGPs("m", d(), "", r.list), 0);
  EXPECT_EQ(r.size(), 1u);
  // A ".gp" that fails makes the read fail, and nothing of it stays.
  writeFile(path(".gp"), "not a parameter file\n");
  EXPECT_EQ(KIVGP_IO_ReadGPs("m", d(), "", r.list), -1);
  EXPECT_EQ(r.size(), 1u);
  KIVGP_StringList names = nullptr;
  int count = 0;
  EXPECT_EQ(KIVGP_IO_ReadGPNames("m", d(), "", &names, &count), -1);
  EXPECT_EQ(count, 0);
  // The model reader falls back on the name without "_".
  std::filesystem::remove(path(".gp"));
  writeFile(dir / "m.gp", file("k K 1 0 1 0\n", "", ""));
  ASSERT_EQ(KIVGP_IO_ReadModelGPs("m", d(), "", r.list), 0);
  EXPECT_EQ(text(r[1]->name), "k");
  Records sc;
  ASSERT_EQ(KIVGP_IO_ReadSCGPs("m", d(), "", sc.list), 0);
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
  ASSERT_EQ(KIVGP_IO_WriteGPs("m", d(), ".e", r.list), 0);
  EXPECT_TRUE(std::filesystem::exists(path(".kivgp", ".e")));
  EXPECT_FALSE(std::filesystem::exists(path(".gp", ".e")));
  // Without an XML file, the line files; then their conversion to XML elsewhere.
  std::filesystem::remove(path(".kivgp.1"));
  ASSERT_EQ(KIVGP_IO_WriteGPs("m", d(), "", r.list), 0);
  ASSERT_TRUE(std::filesystem::exists(path(".gp")));
  ScratchDir out;
  ASSERT_EQ(KIVGP_IO_ConvertLegacyFileToXML("m", d(), "n", out.str().c_str(), ""), 0);
  Records back;
  ASSERT_EQ(KIVGP_IO_ReadGPs("n", out.str().c_str(), "", back.list), 0);
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(text(back[0]->title), "T");
  EXPECT_EQ(back[0]->eval_order, 1);
  EXPECT_EQ(KIVGP_IO_ConvertLegacyFileToXML("none", d(), "n", out.str().c_str(), ""), -1);
}

}  // namespace
