// Muting scopes hide what the library says on the user's behalf, but never
// the message of a run that ends for want of storage.
#include <cstdio>
#include <string>

#include "runtime/system.hpp"
#include "support/kiv_test.hpp"

namespace {

using kiv::test::SystemTest;

TEST_F(SystemTest, StorageFailureIsHeardThroughNestedMutingScopes) {
  const int status = guarded([] {
    kiv::MutedMessages outer(true);
    kivfprintf(stderr, "outer\n");
    kiv::MutedMessages inner(true);
    kivfprintf(stderr, "inner\n");
    MemoryError("deep");
    return 0;
  });
  EXPECT_EQ(status, -2);
  EXPECT_EQ(exitCode(), 1);
  EXPECT_EQ(takeErr(), "\n\nCould not allocate storage in deep\nTerminating program\n");
  kivfprintf(stderr, "after\n");  // the scopes gave the hook back as they unwound
  EXPECT_EQ(takeErr(), "after\n");
}

TEST_F(SystemTest, OnlyFatalMessagesPassAMutingScope) {
  {
    kiv::MutedMessages off(false);
    kivfprintf(stderr, "heard\n");
    kiv::MutedMessages on(true);
    kivfprintf(stderr, "hidden %d\n", 1);
    kiv::MutedMessages::sayFatal(stderr, "storage %s\n", "gone");
  }
  EXPECT_EQ(takeErr(), "heard\nstorage gone\n");
}

// Without a print hook the fatal message goes to its stream, muted or not.
TEST_F(SystemTest, FatalMessageWithoutAHookGoesToItsStream) {
  KivInstallPrintHook(sys_, nullptr, nullptr);
  std::FILE *f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  {
    kiv::MutedMessages muted(true);
    kivfprintf(f, "hidden\n");
    kiv::MutedMessages::sayFatal(f, "out of %s\n", "storage");
  }
  kivfprintf(f, "plain\n");
  std::rewind(f);
  char text[64] = {};
  const size_t n = std::fread(text, 1, sizeof text - 1, f);
  std::fclose(f);
  EXPECT_EQ(std::string(text, n), "out of storage\nplain\n");
}

}  // namespace
