// The test support's scratch folders: what a test makes there goes when the
// test ends, also when it fails midway.  The failing tests run in a child
// process of this program, with a temp folder of their own.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/kiv_test.hpp"

extern char **environ;

namespace kiv::test {
namespace {

namespace fs = std::filesystem;

// Makes a file, a named pipe, a symlink and a nested folder in the scratch
// folder, and writes their paths to the report file the parent named.
void fillScratch() {
  const char *report = std::getenv("KIV_SCRATCH_REPORT");
  ASSERT_NE(report, nullptr);
  std::ofstream(tempPath("file")) << "text";
  ASSERT_EQ(::mkfifo(tempPath("pipe").c_str(), 0600), 0);
  fs::create_symlink("/dev/null", tempPath("link"));
  fs::create_directories(tempPath("a/b"));
  std::ofstream(tempPath("a/b/deep")) << "text";
  std::ofstream out(report, std::ios::app);
  for (const auto &e : fs::recursive_directory_iterator(scratchDir())) out << e.path().string() << "\n";
}

// Run only by the child below.
TEST(ScratchChild, DISABLED_FailsAnAssertionMidway) {
  fillScratch();
  ASSERT_TRUE(false) << "failing on purpose";
  std::ofstream(tempPath("never")) << "text";
}

TEST(ScratchChild, DISABLED_ThrowsMidway) {
  fillScratch();
  throw std::runtime_error("thrown on purpose");
}

// Runs this program's child tests with TMPDIR set to temp; its exit status.
int runChildren(const std::string &temp, const std::string &report) {
  std::vector<std::string> env;
  for (char **e = environ; *e; ++e) {
    const std::string v = *e;
    if (v.rfind("TMPDIR=", 0) != 0 && v.rfind("TEST_TMPDIR=", 0) != 0) env.push_back(v);
  }
  env.push_back("TMPDIR=" + temp);
  env.push_back("KIV_SCRATCH_REPORT=" + report);
  std::vector<char *> envp;
  for (auto &v : env) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::string exe = fs::read_symlink("/proc/self/exe").string(), filter = "--gtest_filter=ScratchChild.*",
              disabled = "--gtest_also_run_disabled_tests", quiet = "--gtest_brief=1";
  char *argv[] = {exe.data(), filter.data(), disabled.data(), quiet.data(), nullptr};
  // The child's output would read as this test's failures.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Scratch, WhatAFailedTestMadeGoesWithIt) {
  const std::string temp = tempPath("temp"), report = tempPath("report");
  ASSERT_TRUE(fs::create_directory(temp));
  EXPECT_EQ(runChildren(temp, report), 1);  // both children failed

  // What the children saw in their scratch folders, inside the temp folder.
  std::ifstream in(report);
  std::vector<std::string> made;
  for (std::string line; std::getline(in, line);) made.push_back(line);
  EXPECT_EQ(made.size(), 2u * 6u);  // file, pipe, link, a, a/b, a/b/deep
  for (const auto &p : made) EXPECT_EQ(p.rfind(temp + "/", 0), 0u) << p;

  std::string left;
  for (const auto &e : fs::recursive_directory_iterator(temp)) left += e.path().string() + "\n";
  EXPECT_EQ(left, "");
}

}  // namespace
}  // namespace kiv::test
