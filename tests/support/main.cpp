// The test programs' main: gtest's own, and every test's scratch folder
// removed when the test ends, also when an assertion failed midway.
#include <gtest/gtest.h>

#include "support/kiv_test.hpp"

namespace {
class RemoveScratch : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo &) override { kiv::test::removeScratchDir(); }
  void OnTestProgramEnd(const ::testing::UnitTest &) override { kiv::test::removeScratchDir(); }
};
}  // namespace

int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new RemoveScratch);
  return RUN_ALL_TESTS();
}
