// The range warnings are for pressures a caller asked for: the inverse of
// the density law samples the law far past a data file's pressures and past
// a fuel's liquid range, and must neither print a warning of its own nor use
// up the one a caller's later excursion is owed.
#include <cmath>

#include "fluid_test.hpp"

namespace kiv::test {
namespace {

class PFromRhoWarnings : public FluidTest {
 public:
  void SetUp() override {
    FluidTest::SetUp();
    setenv("KIV", kivRoot().c_str(), 0);
    KIVRunFlags flags{};
    flags.printing = 1;  // the table warnings wait for a print step
    KivSetRunFlags(&flags);
  }
};

bool has(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

TEST_F(PFromRhoWarnings, TheInverseLeavesTheRangeWarningsToTheCaller) {
  // The shipped file 45, isothermal bulk modulus: tables up to 1000 bar.
  Fp04Params f{.integer = {4, 1, 45, 2, 0}};
  ASSERT_EQ(f.setUpIn(*this), 0) << takeErr();
  select(0);
  takeErr();
  double rho = at(rhoatp_, 1e7);
  const double p = patrho_(&rho);
  EXPECT_NEAR(p, 1e7, 1.0);
  const std::string sampled = takeErr();
  EXPECT_FALSE(has(sampled, "greater than maximum pressure")) << sampled;

  // The caller's own excursion is warned of, once, naming its pressure;
  // the bulk modulus is held at its value at 1000 bar.
  const double b1000 = at(bmatp_, 1e8);
  EXPECT_EQ(takeErr(), "");
  EXPECT_DOUBLE_EQ(at(bmatp_, 1.5e8), b1000);
  const std::string owed = takeErr();
  EXPECT_TRUE(has(owed, "pressure (1500 bar) is greater than maximum pressure (1000 bar)")) << owed;
  at(bmatp_, 2e8);
  EXPECT_EQ(takeErr(), "");

  // A fuel's inverse samples below its liquid range: the same holds there.
  // (The fuel's warnings are process-wide: an index no other test uses.)
  ASSERT_EQ(add(FuelFluid{.index = 88}), 0);
  select(88);
  rho = at(rhoatp_, 5e6);
  EXPECT_NEAR(patrho_(&rho), 5e6, 1.0);
  EXPECT_EQ(takeErr(), "");
  at(rhoatp_, -99000.0);
  EXPECT_TRUE(has(takeErr(), "\nLiquid does not exist below -0.950 bar !\n"));
}

}  // namespace
}  // namespace kiv::test
