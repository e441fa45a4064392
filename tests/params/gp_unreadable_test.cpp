// A global-parameter file that is there but does not open or read: the
// readers fail by its name, the line files never stand in for the XML file,
// and the writer never writes line files beside it.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "params/gp_support.hpp"

namespace kiv::test {
namespace {

using RecordReader = int (*)(const char *, const char *, const char *, KIVGP_GPList *);
using NameReader = int (*)(const char *, const char *, const char *, KIVGP_StringList *, int *);

const std::pair<const char *, RecordReader> kRecordReaders[] = {
    {"ReadGPs", KIVGP_IO_ReadGPs}, {"ReadModelGPs", KIVGP_IO_ReadModelGPs}, {"ReadSCGPs", KIVGP_IO_ReadSCGPs}};
const std::pair<const char *, NameReader> kNameReaders[] = {{"ReadGPNames", KIVGP_IO_ReadGPNames},
                                                            {"ReadModelGPNames", KIVGP_IO_ReadModelGPNames},
                                                            {"ReadSCGPNames", KIVGP_IO_ReadSCGPNames}};

int occurrences(const std::string &text, const std::string &part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// Model "m" with an XML file (speed 1500) and, as a converter leaves them,
// its line files (speed 777 and a supercomponent parameter).
class GpUnreadable : public GpFileTest {
 protected:
  void SetUp() override {
    GpFileTest::SetUp();
    writeFile(path(".gp"), "# integer parameters\n# real parameters\nspeed Speed 777 0 3000 0 rpm\n# text parameters\n");
    writeFile(path(".gp2"), "# integer parameters\n# real parameters\n# text parameters\ns T v d  Data_Path=a.s\n");
  }
  std::string xml() const { return path(".kivgp"); }
  void writeXml() {
    writeFile(xml(), "<GLOBAL_PARAMS_LIST>\n<PARAMETER><TYPE>1</TYPE><VARNAME>speed</VARNAME>"
                     "<VALUE>1500</VALUE></PARAMETER>\n</GLOBAL_PARAMS_LIST>\n");
  }
  std::string speedRead() {
    Records r;
    if (read("", r) != 0) return "<failed>";
    for (unsigned i = 0; i < r.size(); ++i)
      if (text(r[i]->name) == "speed") return text(r[i]->value);
    return "<none>";
  }

  // Every reader fails with one message naming file and reason, handing out
  // nothing; `what` labels the case.
  void expectEveryReaderFails(const std::string &file, const std::string &reason, const std::string &what) {
    for (const auto &[label, reader] : kRecordReaders) {
      Records r;
      r.add(KIVGP_GP_CreateText("kept", "", "", "", nullptr, nullptr));
      EXPECT_EQ(reader("m", dir.c_str(), "", r.list), -1) << what << " " << label;
      EXPECT_EQ(r.size(), 1u) << what << " " << label;
      expectSaid(file, reason, what + " " + label);
    }
    for (const auto &[label, reader] : kNameReaders) {
      EXPECT_EQ(readNames(reader, dir), std::vector<std::string>{"<failed>"}) << what << " " << label;
      expectSaid(file, reason, what + " " + label);
    }
  }
  void expectSaid(const std::string &file, const std::string &reason, const std::string &what) {
    const std::string err = takeErr();
    EXPECT_EQ(occurrences(err, file), 1) << what << ": " << err;
    EXPECT_NE(err.find(reason), std::string::npos) << what << ": " << err;
  }
};

TEST_F(GpUnreadable, AnXmlFileThatIsThereButDoesNotReadFailsEveryReader) {
  writeXml();
  ASSERT_EQ(speedRead(), "1500");
  const struct {
    const char *what, *reason;
    std::function<void(const std::string &)> make;
  } cases[] = {
      {"a folder", "Is a directory", [](const std::string &p) { std::filesystem::create_directory(p); }},
      {"a zero byte", "zero byte",
       [](const std::string &p) { writeFile(p, std::string("<GLOBAL_PARAMS_LIST>\0</GLOBAL_PARAMS_LIST>\n", 43)); }},
      // Reading a process's memory at address 0 fails with EIO.
      {"EIO at the first read", "Input/output error",
       [](const std::string &p) { std::filesystem::create_symlink("/proc/self/mem", p); }},
      {"a dangling link", "No such file or directory",
       [this](const std::string &p) { std::filesystem::create_symlink(dir / "nowhere", p); }},
  };
  for (const auto &c : cases) {
    std::filesystem::remove(xml());
    c.make(xml());
    expectEveryReaderFails(xml(), c.reason, c.what);
  }
  // Without the XML file, the line files as ever.
  std::filesystem::remove(xml());
  EXPECT_EQ(speedRead(), "777");
  EXPECT_EQ(readNames(KIVGP_IO_ReadSCGPNames, dir), std::vector<std::string>{"s"});
  EXPECT_EQ(takeErr(), "");
}

TEST_F(GpUnreadable, ALineFileThatIsThereButDoesNotReadFailsTheRead) {
  std::filesystem::remove(path(".gp"));
  std::filesystem::create_directory(path(".gp"));
  Records r;
  EXPECT_EQ(read("", r), -1);
  EXPECT_EQ(r.size(), 0u);
  expectSaid(path(".gp"), "Is a directory", "ReadGPs");
  EXPECT_EQ(KIVGP_IO_ReadModelGPs("m", dir.c_str(), "", r.list), -1);
  EXPECT_EQ(r.size(), 0u);
  expectSaid(path(".gp"), "Is a directory", "ReadModelGPs");
  EXPECT_EQ(readNames(KIVGP_IO_ReadGPNames, dir), std::vector<std::string>{"<failed>"});
  expectSaid(path(".gp"), "Is a directory", "ReadGPNames");
  // The supercomponent file alone still reads.
  EXPECT_EQ(readNames(KIVGP_IO_ReadSCGPNames, dir), std::vector<std::string>{"s"});
  EXPECT_EQ(takeErr(), "");
}

// What reading gives in a child that has no descriptor left: rc, records and
// messages.
TEST_F(GpUnreadable, AnXmlFileThatCannotBeOpenedFailsEveryReader) {
  writeXml();
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::close(fds[0]);
    struct rlimit lim {};
    ::getrlimit(RLIMIT_NOFILE, &lim);
    lim.rlim_cur = std::min<rlim_t>(lim.rlim_cur, 64);
    ::setrlimit(RLIMIT_NOFILE, &lim);
    while (::dup(fds[1]) >= 0) {
    }
    std::string got;
    for (const auto &[label, reader] : kRecordReaders) {
      Records r;
      got += std::to_string(reader("m", dir.c_str(), "", r.list)) + " " + std::to_string(r.size()) + "\n";
    }
    got += takeErr();
    ssize_t put = ::write(fds[1], got.data(), got.size());
    ::_exit(put == static_cast<ssize_t>(got.size()) ? 0 : 1);
  }
  ::close(fds[1]);
  std::string got;
  char buf[4096];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) got.append(buf, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(got.substr(0, 15), "-1 0\n-1 0\n-1 0\n") << got;
  EXPECT_EQ(occurrences(got, xml()), 3) << got;
  EXPECT_EQ(occurrences(got, "Too many open files"), 3) << got;
}

TEST_F(GpUnreadable, AnXmlFileItsUserMayNotReadFailsEveryReader) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads a file of mode 000";
  writeXml();
  ASSERT_EQ(::chmod(xml().c_str(), 0), 0);
  expectEveryReaderFails(xml(), "Permission denied", "mode 000");
}

TEST_F(GpUnreadable, WriterKeepsToThePresentXmlFile) {
  for (const char *kind : {".gp", ".gp2"}) std::filesystem::remove(path(kind));
  Records r;
  r.add(KIVGP_GP_CreateReal("speed", "Speed", "1800", "rpm", "0", "3000", "0", nullptr, nullptr));
  r.add(KIVGP_GP_CreateText("s", "T", "v", "d", nullptr, "a.s"));
  // A folder in its place: the write fails and leaves nothing beside it.
  std::filesystem::create_directory(xml());
  EXPECT_EQ(write("", r), -1);
  EXPECT_NE(takeErr().find(xml()), std::string::npos);
  std::vector<std::string> left;
  for (const auto &e : std::filesystem::directory_iterator(dir.str())) left.push_back(e.path().string());
  EXPECT_EQ(left, std::vector<std::string>{xml()});
  EXPECT_TRUE(std::filesystem::is_directory(xml()));
  // A damaged file in its place is replaced.
  std::filesystem::remove(xml());
  writeFile(xml(), std::string("<GLOBAL_PARAMS_LIST>\0", 21));
  ASSERT_EQ(write("", r), 0);
  EXPECT_FALSE(std::filesystem::exists(path(".gp")) || std::filesystem::exists(path(".gp2")));
  EXPECT_EQ(speedRead(), "1800");
  // Without one, the line files.
  std::filesystem::remove(xml());
  ASSERT_EQ(write("", r), 0);
  EXPECT_TRUE(std::filesystem::exists(path(".gp")) && std::filesystem::exists(path(".gp2")));
  EXPECT_FALSE(std::filesystem::exists(xml()));
  EXPECT_EQ(speedRead(), "1800");
  EXPECT_EQ(takeErr(), "");
}

}  // namespace
}  // namespace kiv::test
