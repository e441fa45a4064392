// Output files under every name a folder takes, and what a replaced file
// keeps: its owner, group and mode, or, where the process may not give them,
// its very inode (the file is then rewritten in place).
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string>

#include "runtime/atomicfile.hpp"
#include "support/file_names.hpp"
#include "support/kiv_test.hpp"

namespace kiv::test {
namespace {

// Writes text to path through an OutputFile; 0, or the errno it gives.
int writeThrough(const std::string &path, const std::string &text) {
  kiv::OutputFile out(path);
  FILE *fp = out.open();
  if (!fp) return out.error() != 0 ? out.error() : -1;
  std::fputs(text.c_str(), fp);
  return out.close() ? 0 : (out.error() != 0 ? out.error() : -1);
}

TEST(OutputFileNames, EveryLeafAFolderTakesIsWrittenAndNoTemporaryStays) {
  const std::string longest = tempPath(leafOf(NAME_MAX, ".txt"));
  ASSERT_EQ(writeThrough(longest, "first\n"), 0);
  EXPECT_EQ(readFile(longest), "first\n");
  // Replacing it needs a temporary beside it as well.
  ASSERT_EQ(writeThrough(longest, "second\n"), 0);
  EXPECT_EQ(readFile(longest), "second\n");
  EXPECT_EQ(scratchEntries(), 1);

  // One byte more is a name no folder takes: said as such, nothing made.
  EXPECT_EQ(writeThrough(tempPath(leafOf(NAME_MAX + 1)), "x"), ENAMETOOLONG);
  EXPECT_EQ(writeThrough("", "x"), ENOENT);
  EXPECT_EQ(scratchEntries(), 1);
}

TEST(OutputFileOwners, AReplacedFileKeepsItsGroupAndMode) {
  const gid_t group = otherGroup();
  if (group == static_cast<gid_t>(-1)) GTEST_SKIP() << "the process has no group but its own to give";
  const std::string name = tempPath("shared.txt");
  ASSERT_EQ(writeThrough(name, "old\n"), 0);
  ASSERT_EQ(::chown(name.c_str(), static_cast<uid_t>(-1), group), 0);
  ASSERT_EQ(::chmod(name.c_str(), 0640), 0);
  const struct stat before = statOf(name);

  ASSERT_EQ(writeThrough(name, "new\n"), 0);
  const struct stat after = statOf(name);
  EXPECT_EQ(readFile(name), "new\n");
  EXPECT_NE(after.st_ino, before.st_ino);  // replaced, not rewritten
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, group);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(scratchEntries(), 1);
}

// Exit codes of the child below.
enum ChildEnd { kWritten = 0, kOutOfReach = 3, kFailed = 4 };

TEST(OutputFileOwners, AGroupTheProcessMayNotGiveIsKeptByWritingInPlace) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to make a file of a group its writer is not in";
  // A folder and a file of uid 65534, the file of root's group, which that
  // user is not in and so cannot give a new file.
  const std::string folder = tempPath("nobody"), name = folder + "/h.hydp";
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  ASSERT_EQ(writeThrough(name, "old\n"), 0);
  ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chown(name.c_str(), 65534, 0), 0);
  ASSERT_EQ(::chmod(name.c_str(), 0640), 0);
  const struct stat before = statOf(name);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(kFailed);
    if (::access(folder.c_str(), W_OK | X_OK) != 0) ::_exit(kOutOfReach);
    ::_exit(writeThrough(name, "new\n") == 0 ? kWritten : kFailed);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == kOutOfReach) GTEST_SKIP() << "the scratch folder is out of reach of uid 65534";
  ASSERT_EQ(WEXITSTATUS(status), kWritten);

  const struct stat after = statOf(name);
  EXPECT_EQ(readFile(name), "new\n");
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_uid, 65534u);
  EXPECT_EQ(after.st_gid, 0u);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  namespace fs = std::filesystem;
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);  // no temporary
}

}  // namespace
}  // namespace kiv::test
