// Pressure from density as the inverse of the density law, for every
// family of fluids: rhoatp_ of patrho_ of rho gives rho back.
#include <cmath>

#include "fluid_test.hpp"

namespace kiv::test {
namespace {

using PFromRho = FluidTest;

double userDensity(double *, double *p) { return 800.0 * (1.0 + *p / 1e9); }
double userPressure(double *t_celsius, double *rho) { return *rho * 1000.0 + *t_celsius; }

// patrho_ inverts rhoatp_ at every pressure within tol (relative to the
// larger of |p| and 1 bar).
void roundTrip(std::initializer_list<double> pressures, double tol) {
  for (double p : pressures) {
    double rho = at(rhoatp_, p);
    const double back = patrho_(&rho);
    EXPECT_NEAR(back, p, tol * std::max(std::fabs(p), 1e5)) << p;
    EXPECT_NEAR(at(rhoatp_, back), rho, 1e-9 * rho) << p;
  }
}

TEST_F(PFromRho, EveryFamilyInvertsItsDensity) {
  ASSERT_EQ(add(ConstantFluid{.index = 1}, ConstantFluid{.index = 2, .slope = 8.0},
                FuelFluid{.index = 3}, SimpleFluid{.index = 4},
                ConstantFluid{.index = 0, .high = -90000.0, .low = -90000.0}),
            0);
  int user = 5;
  fpuserd2_(&user, &userDensity, nullptr, nullptr, nullptr, nullptr, nullptr);
  const std::string table = dataDir() + "/hydraulics/two_temperatures.data";
  ASSERT_EQ(guarded([&] { return defineTable(table, {.index = 7}); }), 1) << takeErr();
  takeOut();
  struct Case {
    int index;
    double tol;
  };
  for (Case c : {Case{1, 1e-6}, Case{2, 1e-6}, Case{3, 1e-6}, Case{4, 1e-9}, Case{0, 1e-6},
                 Case{5, 1e-6}, Case{7, 1e-6}}) {
    SCOPED_TRACE(c.index);
    int i = c.index;
    if (i == 4) simprop_(&i);
    ASSERT_EQ(guarded([&] {
                select(c.index);
                roundTrip({-50000.0, 0.0, 2e5, 3e7, 2e8}, c.tol);
                return 0;
              }),
              0);
  }
  // Where all air is dissolved the constant fluid has the closed form.
  select(1);
  double rho = at(rhoatp_, 1e6);
  const HydCurrentFluid &F = kiv::hyd::fluid();
  EXPECT_DOUBLE_EQ(patrho_(&rho), F.gbmnom * std::log(rho / F.grhomix));
  // (The table fluid warns that the 2000 bar asked for lie above its tables.)
  EXPECT_NE(takeErr().find("\nIterative method for patrho utility will be used.\n"
                           "\nWarning in fluid submodel index 5.\n"),
            std::string::npos);
  // Below the density at the lowest pressure of its table: -101300 Pa.
  select(5);
  rho = -1.0;
  EXPECT_EQ(patrho_(&rho), -101300.0);
}

TEST_F(PFromRho, UserInverseAndAPressureTableFromAbsoluteZero) {
  int user = 6;
  fpuserd2_(&user, &userDensity, nullptr, nullptr, nullptr, nullptr, &userPressure);
  ASSERT_EQ(add(FuelFluid{.index = 3}), 0);
  select(6);
  double rho = 0.9;
  EXPECT_DOUBLE_EQ(patrho_(&rho), 900.0 + kiv::hyd::fluid().gtcelsius);
  // A table of pressures cannot start at or below absolute zero.
  double p1 = 0.0, p2 = 1e6;
  int index = 3;
  EXPECT_EQ(guarded([&] { return create_spline_patrho_(&p1, &p2, &index); }), -2);
  EXPECT_EQ(exitCode(), 1);
  EXPECT_NE(takeErr().find("\nError while creating spline rho = f(p)\nError in FP04 index 3.\n"),
            std::string::npos);
}

}  // namespace
}  // namespace kiv::test
