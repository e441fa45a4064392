// The fluid exchange file under the longest name a folder takes, and the
// group of the file it replaces.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <string>

#include "fluid_test.hpp"
#include "support/file_names.hpp"

namespace kiv::test {
namespace {

class ExchangeNames : public FluidTest {
 public:
  void SetUp() override {
    FluidTest::SetUp();
    KIVRunFlags flags{};
    KivSetRunFlags(&flags);
  }
  int write() {
    return guarded([] {
      masterwritehydp();
      return 0;
    });
  }
};

// A master without fluids: the three counts, each 0.
const std::string kEmpty =
    "# Number of general properties.\n0\n# Number of fuel properties.\n0\n# Number of simple properties.\n0\n";

TEST_F(ExchangeNames, ALeafOfNameMaxBytesIsWrittenAndTheReplacedFileKeepsItsGroup) {
  const std::string file = tempPath(leafOf(NAME_MAX, ".hydp"));
  KivSetFileNames(scratchDir().c_str(), file.substr(0, file.size() - 5).c_str(), nullptr);
  ASSERT_EQ(write(), 0) << takeErr();
  EXPECT_EQ(readFile(file), kEmpty);
  EXPECT_EQ(scratchEntries(), 1);
  EXPECT_EQ(takeErr(), "");

  const gid_t group = otherGroup();
  if (group == static_cast<gid_t>(-1)) GTEST_SKIP() << "the process has no group but its own to give";
  ASSERT_EQ(::chown(file.c_str(), static_cast<uid_t>(-1), group), 0);
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  std::ofstream(file) << "an earlier run's file\n";
  KivEndRun(0);  // the file is written once a run
  ASSERT_EQ(write(), 0) << takeErr();
  EXPECT_EQ(readFile(file), kEmpty);
  EXPECT_EQ(statOf(file).st_gid, group);
  EXPECT_EQ(statOf(file).st_mode & 07777, 0640u);
  EXPECT_EQ(scratchEntries(), 1);
}

}  // namespace
}  // namespace kiv::test
