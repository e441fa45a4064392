// The fluid exchange file on a full disk (a file-size limit stands in for
// it): the run ends, nothing cut is left under the name a slave reads, and
// the file is still to be written.
#include <gmock/gmock.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "fluid_test.hpp"

namespace kiv::test {
namespace {

class ExchangeWriteFail : public FluidTest {
 public:
  void SetUp() override {
    FluidTest::SetUp();
    circuit_ = tempPath("master");
    KivSetFileNames(scratchDir().c_str(), circuit_.c_str(), nullptr);
    KIVRunFlags flags{};
    KivSetRunFlags(&flags);
  }
  std::string file() const { return circuit_ + ".hydp"; }
  int write() {
    return guarded([] {
      masterwritehydp();
      return 0;
    });
  }
  void expectRunEnded() {
    EXPECT_EQ(exitCode(), 1);
    EXPECT_THAT(takeErr(), ::testing::AllOf(::testing::HasSubstr(file()),
                                            ::testing::HasSubstr(std::strerror(EFBIG))));
  }

  std::string circuit_;
};

// The file as the format lays it out: reals in "%25.16e", one item a line.
std::string lines(std::initializer_list<double> reals) {
  std::string s;
  char buf[64];
  for (double v : reals) {
    std::snprintf(buf, sizeof buf, "%25.16e\n", v);
    s += buf;
  }
  return s;
}

std::string simpleBlock(int r, int index) {
  return "# The following lines define simple property " + std::to_string(r) + ".\n" +
         std::to_string(index) + "\n" + lines({1000, 2.2e9, 1e-3, -30000, 1, 40, 1.2, 0.25});
}

SimpleFluid simple(int index) {
  return {.index = index, .rho = 1000, .bulk = 2.2e9, .mu = 1e-3, .p_sat = -30000, .air_percent = 1,
          .t_celsius = 40, .polytropic = 1.2, .extra = 0.25};
}

TEST_F(ExchangeWriteFail, AFailedCloseEndsTheRunAndTheFileIsWrittenLater) {
  ASSERT_EQ(add(ConstantFluid{}, simple(7)), 0);
  const std::string whole =
      "# Number of general properties.\n1\n# The following lines define general property 1.\n0\n0\n" +
      lines({850, 1.7e9, 0.051, 0, 1, 40, 1.4, 2e-5, -9e4, -9.5e4, 2e-5, 200, 1.2}) +
      "# Number of fuel properties.\n0\n# Number of simple properties.\n1\n" + simpleBlock(1, 7);
  ASSERT_LT(whole.size(), 4096u);  // all of it goes at the close
  {
    FullDisk full(100);
    EXPECT_EQ(write(), -2);
  }
  expectRunEnded();
  EXPECT_EQ(scratchEntries(), 0);  // neither a cut file nor a temporary

  // Not marked as written: the next call writes it, as a healthy run does.
  ASSERT_EQ(write(), 0);
  EXPECT_EQ(readFile(file()), whole);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(ExchangeWriteFail, AFailedWriteKeepsTheEarlierFile) {
  std::string whole = "# Number of general properties.\n0\n# Number of fuel properties.\n0\n"
                      "# Number of simple properties.\n40\n";
  for (int i = 0; i < 40; ++i) {
    ASSERT_EQ(add(simple(i)), 0);
    whole += simpleBlock(i + 1, i);
  }
  ASSERT_GT(whole.size(), 8192u);  // cut at a buffer's boundary, not at the close
  const std::string earlier = "# an earlier run's file\n";
  std::ofstream(file()) << earlier;
  {
    FullDisk full(4096);
    EXPECT_EQ(write(), -2);
  }
  expectRunEnded();
  EXPECT_EQ(readFile(file()), earlier);
  EXPECT_EQ(scratchEntries(), 1);

  ASSERT_EQ(write(), 0);
  EXPECT_EQ(readFile(file()), whole);
  EXPECT_EQ(scratchEntries(), 1);
}

}  // namespace
}  // namespace kiv::test
