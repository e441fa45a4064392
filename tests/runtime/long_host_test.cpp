// What a host that keeps its systems for many runs meets: recovery points
// nested for different systems, hooks installed while a system is released,
// and a read failing where a stream looks past a chunk's CR.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "runtime/textfile.hpp"
#include "support/kiv_test.hpp"

namespace {

using kiv::test::SystemTest;

// ---- Recovery points nested for another system ------------------------------

struct Nesting {
  KIVSystem *inner_sys = nullptr;
  int inner_ok = 0, inner_exit = 0;
  KIVSystem *current_after_inner = nullptr;
};

int outerBody(void *data) {
  auto *n = static_cast<Nesting *>(data);
  n->inner_ok = KivGuardedCall(n->inner_sys, [](void *) { return 5; }, nullptr);
  n->inner_exit = KivGuardedCall(n->inner_sys, [](void *) -> int { KivExit(4); }, nullptr);
  n->current_after_inner = QOR_XB_GlobalSystem;
  KivExit(3);
}

// Ends the process with 0 when a fatal error after two nested recovery points
// of another system, one left normally and one by an exit, reaches the outer
// one, though the inner call left its own system current; the old runtime
// ended the process with the error's code instead.
[[noreturn]] void nestForAnotherSystem(KIVSystem *outer) {
  Nesting n;
  n.inner_sys = KivCreateSystem();
  KivInstallPrintHook(n.inner_sys, [](FILE *, const char *, void *) {}, nullptr);
  const int rc = KivGuardedCall(outer, &outerBody, &n);
  const bool ok = rc == -2 && KivGetExitCode(outer) == 3 && n.inner_ok == 5 && n.inner_exit == -2 &&
                  KivGetExitCode(n.inner_sys) == 4 && n.current_after_inner == n.inner_sys && QOR_XB_GlobalSystem == outer;
  std::fprintf(stderr, "rc %d, code %d, inner %d %d\n", rc, KivGetExitCode(outer), n.inner_ok, n.inner_exit);
  KivReleaseSystem(n.inner_sys);
  std::_Exit(ok ? 0 : 1);
}

// ---- Hooks at the release -------------------------------------------------------

std::vector<int> *g_ran = nullptr;  // arguments of the hooks run, in order
int g_flag = 0;

void record(int, int argument) { g_ran->push_back(argument); }
void installRecord(int, int argument) {
  g_ran->push_back(argument);
  KivInstallAtEnd(&record, argument + 1);
}
void installInstaller(int, int argument) {
  g_ran->push_back(argument);
  KivInstallAtEnd(&installRecord, argument + 1);
  KivResetIntAtEnd(&g_flag, 7);
}
void reinstallItself(int, int argument) {
  g_ran->push_back(argument);
  KivInstallAtEnd(&reinstallItself, argument);
}

TEST_F(SystemTest, RecoveryPointsNestAndTheReleaseRunsHooksItsHooksInstall) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(nestForAnotherSystem(sys_), ::testing::ExitedWithCode(0), "");

  // From no current system the called one stays current, as hosts expect.
  KivMakeCurrent(nullptr);
  EXPECT_EQ(KivGuardedCall(sys_, [](void *) { return 0; }, nullptr), 0);
  EXPECT_EQ(QOR_XB_GlobalSystem, sys_);

  std::vector<int> ran;
  g_ran = &ran;
  KIVSystem *other = KivCreateSystem();
  KivMakeCurrent(other);
  KivInstallAtEnd(&installInstaller, 1);
  KivMakeCurrent(sys_);
  g_flag = 0;
  KivReleaseSystem(other);
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));  // three rounds, none lost
  EXPECT_EQ(g_flag, 7);
  EXPECT_EQ(QOR_XB_GlobalSystem, sys_);

  // A hook that always installs itself again does not keep the release from
  // ending; it ran more than once all the same.
  ran.clear();
  other = KivCreateSystem();
  KivMakeCurrent(other);
  KivInstallAtEnd(&reinstallItself, 9);
  KivReleaseSystem(other);
  EXPECT_GT(ran.size(), 1u);
  EXPECT_EQ(ran.size(), static_cast<size_t>(std::count(ran.begin(), ran.end(), 9)));
  KivMakeCurrent(sys_);
  g_ran = nullptr;
}

// ---- Data-store entries that go ----------------------------------------------------

TEST_F(SystemTest, ADeletedDataStoreEntryIsGoneAndTheOthersStay) {
  int a = 1, b = 2;
  KivNewDataStore(sys_, "xCD_geom", 1, &a);
  KivNewDataStore(sys_, "xCD_geomx", 1, &b);
  KivNewDataStore(sys_, "xCD_geom", 2, &b);
  EXPECT_TRUE(kiv::eraseData(sys_, "xCD_geom", 1));
  EXPECT_FALSE(kiv::eraseData(sys_, "xCD_geom", 1));
  EXPECT_EQ(KivGetDataStore(sys_, "xCD_geom", 1), nullptr);
  EXPECT_EQ(KivSetDataStore(sys_, "xCD_geom", 1, &a), 1);  // not made again by a set
  EXPECT_EQ(KivGetDataStore(sys_, "xCD_geom", 1), nullptr);
  EXPECT_EQ(KivGetDataStore(sys_, "xCD_geomx", 1), &b);
  EXPECT_EQ(KivGetDataStore(sys_, "xCD_geom", 2), &b);
  EXPECT_EQ(KivGetDataStore(sys_, "xCD_geo", 2), nullptr);
  ASSERT_NE(KivNewDataStore(sys_, "xCD_geom", 1, &b), nullptr);
  EXPECT_EQ(KivGetDataStore(sys_, "xCD_geom", 1), &b);
}

// ---- The look past a chunk's CR ---------------------------------------------------

// Reads at most 7 bytes at a time, so that chunks end where the text says,
// and fails the one-byte look at g_fail_at with EIO.
long g_fail_at = -1;
int g_looks = 0;
ssize_t shortReads(int fd, void *buf, size_t size, off64_t at) {
  if (size == 1) {
    ++g_looks;
    if (at == g_fail_at) {
      errno = EIO;
      return -1;
    }
  }
  return ::pread(fd, buf, std::min<size_t>(size, 7), at);
}

std::string written(const std::string &path, const std::string &text) {
  std::unique_ptr<FILE, int (*)(FILE *)> fp(std::fopen(path.c_str(), "wb"), &std::fclose);
  std::fwrite(text.data(), 1, text.size(), fp.get());
  return path;
}

TEST_F(SystemTest, AFailedLookPastACrFailsTheStream) {
  const std::string path = kiv::test::tempPath("cr");
  sys_->text_read = &shortReads;
  struct Case {
    std::string text;
    long fail_at;
    std::string want;  // what the stream gives
    bool failed;
  };
  // "abcdef\r" is the first chunk; the byte after it is at offset 7.
  const Case cases[] = {{"abcdef\r\nghi\n", -1, "abcdef\r\nghi\n", false},
                        {"abcdef\rghi\n", -1, "abcdef\nghi\n", false},
                        {"abcdef\r", -1, "abcdef\n", false},
                        {"abcdef\r\nghi\n", 7, "", true},
                        {"abcdef\rghi\n", 7, "", true},
                        {"0123456abcdef\r\nghi\n", 14, "0123456", true}};
  for (const Case &c : cases) {
    g_fail_at = c.fail_at;
    g_looks = 0;
    FILE *fp = kiv::openText(written(path, c.text).c_str());
    ASSERT_NE(fp, nullptr);
    std::string got;
    for (int ch; (ch = std::getc(fp)) != EOF;) got.push_back(static_cast<char>(ch));
    EXPECT_EQ(std::getc(fp), EOF);  // a second try says nothing more
    EXPECT_GT(g_looks, 0) << c.text;
    EXPECT_EQ(got, c.want) << c.text;
    EXPECT_EQ(kiv::readFailed(fp), c.failed) << c.text;
    std::fclose(fp);
    EXPECT_EQ(takeErr(), c.failed ? "\nError while reading file '" + path + "': Input/output error.\n" : "") << c.text;
  }
  sys_->text_read = nullptr;
}

}  // namespace
