// The global-parameter writers (XML, line files, the conversion) handed
// names that a rename would change the meaning of: a symbolic link, a file
// of two links, a named pipe, another user's file; and the longest names a
// folder takes.  Each writer writes through to what the name stands for.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "params/gp_support.hpp"
#include "support/file_names.hpp"

namespace kiv::test {
namespace {

namespace fs = std::filesystem;

const std::string kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE GP>\n<GLOBAL_PARAMS_LIST>\n";
// The one parameter as the XML document holds it, with its evaluation order.
std::string xmlOf(const std::string &order) {
  return kHead + "\t<PARAMETER EVAL_ORDER=\"" + order +
         "\">\n\t\t<TYPE>1</TYPE>\n\t\t<VARNAME>p</VARNAME>\n"
         "\t\t<TITLE>Pump speed</TITLE>\n\t\t<VALUE>15</VALUE>\n\t\t<DEFAULT>10</DEFAULT>\n"
         "\t\t<MIN_VALUE>0</MIN_VALUE>\n\t\t<MAX_VALUE>30</MAX_VALUE>\n\t\t<UNIT>rpm</UNIT>\n"
         "\t</PARAMETER>\n</GLOBAL_PARAMS_LIST>\n";
}
const std::string kLines = "# integer parameters\n# real parameters\np Pump_speed 15 0 30 10 rpm  \n# text parameters\n";
const std::string kNoLines = "# integer parameters\n# real parameters\n# text parameters\n";

// A writer, the leaf it writes after the model's name, and what it writes.
struct Writer {
  const char *label;
  std::string kind;
  std::string expected;
  std::function<int(const std::string &dir, const std::string &name)> write;
};

class GpWriteLinks : public SystemTest {
 protected:
  void SetUp() override {
    SystemTest::SetUp();
    records.add(KIVGP_GP_CreateReal("p", "Pump speed", "15", "rpm", "0", "30", "10", nullptr, nullptr));
    shared = tempPath("shared");
    const std::string src = tempPath("src");
    fs::create_directories(src);
    writeFile(src + "/src_.gp", kLines);
    fs::create_directories(shared);
    writers = {
        {"XML writer", "_.kivgp", xmlOf("-1"),
         [this](const std::string &dir, const std::string &name) {
           return KIVGP_IO_WriteGPsToXML(name.c_str(), dir.c_str(), "", records.list);
         }},
        {"line-file writer", "_.gp", kLines,
         [this](const std::string &dir, const std::string &name) {
           return KIVGP_IO_WriteGPs(name.c_str(), dir.c_str(), "", records.list);
         }},
        {"conversion", "_.kivgp", xmlOf("1"),
         [src](const std::string &dir, const std::string &name) {
           return KIVGP_IO_ConvertLegacyFileToXML("src", src.c_str(), name.c_str(), dir.c_str(), "");
         }},
    };
  }
  // A fresh output folder for one case.
  std::string folder(const std::string &what) {
    const std::string dir = tempPath("out_" + what);
    fs::create_directories(dir);
    return dir;
  }
  static long entries(const std::string &dir) {
    return std::distance(fs::directory_iterator(dir), fs::directory_iterator());
  }

  Records records;
  std::string shared;
  std::vector<Writer> writers;
};

TEST_F(GpWriteLinks, ASymbolicLinkIsWrittenThroughAndBothNamesOfTwoLinksSeeTheUpdate) {
  int n = 0;
  for (const Writer &w : writers) {
    const std::string dir = folder(std::to_string(n++)), name = dir + "/m" + w.kind;

    // The parameters of several models kept in one shared file.
    const std::string target = shared + "/" + std::to_string(n) + ".target";
    writeFile(target, "old\n");
    fs::create_symlink(target, name);
    ASSERT_EQ(w.write(dir, "m"), 0) << w.label << ": " << takeErr();
    EXPECT_TRUE(fs::is_symlink(name)) << w.label;
    EXPECT_EQ(fs::read_symlink(name), target) << w.label;
    EXPECT_EQ(readFile(target), w.expected) << w.label;

    const std::string twin = shared + "/" + std::to_string(n) + ".twin";
    fs::remove(name);
    writeFile(twin, "old\n");
    fs::create_hard_link(twin, name);
    ASSERT_EQ(w.write(dir, "m"), 0) << w.label << ": " << takeErr();
    EXPECT_EQ(readFile(name), w.expected) << w.label;
    EXPECT_EQ(readFile(twin), w.expected) << w.label;
    EXPECT_EQ(statOf(name).st_nlink, 2u) << w.label;
    EXPECT_EQ(statOf(name).st_ino, statOf(twin).st_ino) << w.label;
    EXPECT_EQ(takeErr(), "") << w.label;
  }
  // The line files' other half, a plain file, is written as always.
  EXPECT_EQ(readFile(tempPath("out_1/m_.gp2")), kNoLines);
}

TEST_F(GpWriteLinks, ANamedPipesReaderGetsTheWholeFile) {
  int n = 0;
  for (const Writer &w : writers) {
    const std::string dir = folder(std::to_string(n++)), name = dir + "/m" + w.kind;
    ASSERT_EQ(::mkfifo(name.c_str(), 0600), 0);
    // The reader is there before the writer comes, and the text fits the
    // pipe's buffer: the writer never waits, whatever it does.
    ASSERT_LT(w.expected.size(), 4096u);
    const int reader = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(w.write(dir, "m"), 0) << w.label << ": " << takeErr();
    std::string got;
    char buf[4096];
    for (ssize_t k; (k = ::read(reader, buf, sizeof buf)) > 0;) got.append(buf, static_cast<size_t>(k));
    ::close(reader);
    EXPECT_EQ(got, w.expected) << w.label;
    EXPECT_TRUE(S_ISFIFO(statOf(name).st_mode)) << w.label;
  }
}

TEST_F(GpWriteLinks, TheLongestNamesAreWrittenAndAReplacedFileKeepsItsOwnerAndGroup) {
  int n = 0;
  for (const Writer &w : writers) {
    // The line writer's longest leaf is its ".gp2" file's.
    const std::string longest = w.kind == "_.gp" ? "_.gp2" : w.kind;
    const std::string dir = folder(std::to_string(n++)), name = std::string(NAME_MAX - longest.size(), 'm');
    ASSERT_EQ(w.write(dir, name), 0) << w.label << ": " << takeErr();
    EXPECT_EQ(readFile(dir + "/" + name + w.kind), w.expected) << w.label;
    EXPECT_EQ(entries(dir), w.kind == "_.gp" ? 2 : 1) << w.label;  // no temporary left
    // Read back by the same name: an XML name too long to be there is
    // absent, and the line files stand in for it.
    Records back;
    ASSERT_EQ(KIVGP_IO_ReadGPs(name.c_str(), dir.c_str(), "", back.list), 0) << w.label << ": " << takeErr();
    ASSERT_EQ(back.size(), 1u) << w.label;
    EXPECT_EQ(text(back[0]->value), "15") << w.label;
    EXPECT_EQ(takeErr(), "") << w.label;
  }

  const gid_t group = otherGroup();
  if (group == static_cast<gid_t>(-1)) GTEST_SKIP() << "the process has no group but its own to give";
  for (const Writer &w : writers) {
    const std::string dir = folder(std::to_string(n++)), name = dir + "/m" + w.kind;
    writeFile(name, "old\n");
    ASSERT_EQ(::chown(name.c_str(), static_cast<uid_t>(-1), group), 0);
    ASSERT_EQ(::chmod(name.c_str(), 0640), 0);
    ASSERT_EQ(w.write(dir, "m"), 0) << w.label << ": " << takeErr();
    EXPECT_EQ(readFile(name), w.expected) << w.label;
    EXPECT_EQ(statOf(name).st_gid, group) << w.label;
    EXPECT_EQ(statOf(name).st_mode & 07777, 0640u) << w.label;

    // Another user's file is rewritten where it is: it stays theirs.
    if (::geteuid() != 0) continue;
    ASSERT_EQ(::chown(name.c_str(), 65534, group), 0);
    writeFile(name, "old\n");
    ASSERT_EQ(w.write(dir, "m"), 0) << w.label << ": " << takeErr();
    EXPECT_EQ(readFile(name), w.expected) << w.label;
    EXPECT_EQ(statOf(name).st_uid, 65534u) << w.label;
    EXPECT_EQ(statOf(name).st_gid, group) << w.label;
    EXPECT_EQ(entries(dir), w.kind == "_.gp" ? 2 : 1) << w.label;
  }
}

}  // namespace
}  // namespace kiv::test
