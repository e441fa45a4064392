// Test fixture: a fresh current system per test whose messages are captured
// through the print hook, so tests compare whole texts.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstdlib>
#include <string>

#include "runtime/system.hpp"

namespace kiv::test {

class SystemTest : public ::testing::Test {
 public:
  void SetUp() override;
  void TearDown() override;

  // Everything printed to stderr (or stdout) since the last take; cleared.
  std::string takeErr();
  std::string takeOut();

  // Runs f at the system's recovery point; -2 after KivExit.
  template <class F>
  int guarded(F &&f) {
    return kiv::guarded(sys_, std::forward<F>(f));
  }
  int exitCode() const { return KivGetExitCode(sys_); }

  KIVSystem *sys_ = nullptr;
  std::string out_, err_;
};

// The running test's scratch folder, under ::testing::TempDir() and named
// after the process and the test (ctest runs tests in parallel).  Made on
// first use; the test main removes it with all it holds when the test ends,
// pass or fail.  Outside a test, one folder for the process, removed when the
// program's tests end.
std::string scratchDir();

// A path in the running test's scratch folder.
std::string tempPath(const std::string &name);

// The whole content of a file ("" when it cannot be read).
std::string readFile(const std::string &path);

// Names in the running test's scratch folder (dangling links too).
int scratchEntries();

// A full disk while one lives: files may grow to `bytes`, and a write past
// that fails with EFBIG instead of killing the process.  With `freesAgain`,
// the limit is lifted at that first failure, so later writes succeed, as on
// a disk that frees space again.
class FullDisk {
 public:
  explicit FullDisk(rlim_t bytes, bool freesAgain = false);
  ~FullDisk();
  FullDisk(const FullDisk &) = delete;
  FullDisk &operator=(const FullDisk &) = delete;

 private:
  sighandler_t handler_;
};

// Removes the scratch folder made so far, if any; the test main calls it.
void removeScratchDir();

// Heap allocations made so far by this process (counted through the
// sanitizer's allocator hook), or -1 in a build without the hook.
long allocationCount();

// Directory of the test data files (tests/data), and of the shipped KIV root.
std::string dataDir();
std::string kivRoot();

}  // namespace kiv::test
