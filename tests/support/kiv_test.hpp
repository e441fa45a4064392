// Test fixture: a fresh current system per test whose messages are captured
// through the print hook, so tests compare whole texts.
#pragma once

#include <gtest/gtest.h>

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

// A path in the temporary directory that no other test process uses (ctest
// runs tests in parallel): it names the process and the running test.
std::string tempPath(const std::string &name);

// Heap allocations made so far by this process (counted through the
// sanitizer's allocator hook), or -1 in a build without the hook.
long allocationCount();

// Directory of the test data files (tests/data), and of the shipped KIV root.
std::string dataDir();
std::string kivRoot();

}  // namespace kiv::test
