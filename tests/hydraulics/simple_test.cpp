// The simple fluid model, temperature and getters of every family, the
// index-0 drop fluid, the family switches, the atmospheric pressure and the
// tank and prime-mover set-up.
#include <cstdio>
#include <fstream>

#include "fluid_test.hpp"

namespace kiv::test {
namespace {

using Simple = FluidTest;

TEST_F(Simple, ExponentialDensityWithASofterBandBelowSaturation) {
  const SimpleFluid s{.index = 7, .p_sat = 20000.0}, t{.index = 8};
  ASSERT_EQ(add(s, t), 0);
  select(8);  // saturation below 0 bar gauge
  EXPECT_EQ(at(rhoatp_, 0.0), t.rho);
  EXPECT_EQ(at(rhosimp_, 0.0), t.rho);

  select(7);
  const double B = s.bulk, rhosat = s.rho * std::exp(s.p_sat / B);
  for (double p : {-90000.0, -1000.0, 15000.0, 20000.0, 5e5, 4e7}) {
    const bool soft = p < s.p_sat;
    EXPECT_DOUBLE_EQ(at(rhoatp_, p), soft ? rhosat * std::exp(1000.0 * (p - s.p_sat) / B)
                                          : s.rho * std::exp(p / B))
        << p;
    EXPECT_EQ(at(bmatp_, p), soft ? B / 1000.0 : B) << p;
    EXPECT_EQ(at(bm2atp_, p), at(bmatp_, p));
    double rho = at(rhoatp_, p);
    EXPECT_NEAR(patrhosimp_(&rho), p, 1e-7 * std::max(1.0, std::fabs(p))) << p;
  }

  // Another system marked index 7 as a fuel: still served as simple.
  int i = 7;
  setbflag_(&i);
  select(8);
  select(7);
  EXPECT_DOUBLE_EQ(at(rhoatp_, 1e6), s.rho * std::exp(1e6 / s.bulk));
}

TEST_F(Simple, TemperatureAndGettersOfEveryFamily) {
  const ConstantFluid g{.index = 1, .p_sat = 12345.0, .polytropic = 1.2};
  const ConstantFluid drop{.t_celsius = 60.0, .low = -90000.0};
  const SimpleFluid s{.index = 2, .t_celsius = 10.0};
  const FuelFluid f{.index = 4, .t_celsius = 30.0};
  ASSERT_EQ(add(g, drop, s, f), 0);
  select(4);
  // Fuel temperature raised by compression: 100 bar add 100 (0.0141 - 1.98e-6 100) K.
  EXPECT_DOUBLE_EQ(at(tatp_, 1e7), 30.0 + kT0 + 100.0 * (0.0141 - 1.98e-6 * 100.0));
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Simple, DropFluidGetters) {
  const ConstantFluid drop{.rho = 800.0, .mu = 0.04, .p_sat = -20000.0, .air_percent = 3.0,
                           .polytropic = 1.3, .high = -50000.0, .low = -50000.0};
  ASSERT_EQ(add(drop), 0);

  // With the program-wide switch the drop fluid takes the simple laws.
  SetSimplestProperties();
  select(0);
  EXPECT_DOUBLE_EQ(at(rhoatp_, 1e6), 800.0 * std::exp(1e6 / drop.bulk));
  EXPECT_EQ(at(bmatp_, -30000.0), drop.bulk / 1000.0);
  EXPECT_EQ(at(muatp_, 0.0), 0.04);
}

TEST_F(Simple, DropGettersNeedTheDropFluid) {
  ASSERT_EQ(add(ConstantFluid{}), 0);  // vapour pressures differ: not the drop fluid
  EXPECT_EQ(guarded([&] { return static_cast<int>(getrho_()); }), -2);
  EXPECT_EQ(takeErr(), "No FPDROP icon is in the circuit.\n");
  EXPECT_EQ(exitCode(), 1);
}

TEST_F(Simple, FamilySwitches) {
  HydFamilySwitches &s = kiv::hyd::switches();
  SetSimplestProperties();
  // Indexes outside 0..100, and no current fluid, write nothing (not even
  // next to the arrays).
  for (int bad : {-1, 101}) simprop_(&bad), setbflag_(&bad);
  SetFuelProperties();  // no registry: no current index
  ASSERT_EQ(add(ConstantFluid{}), 0);
  SetFuelProperties();  // registry, but no fluid selected yet
  EXPECT_EQ(std::tuple(s.gFuelProperties, s.gSimplestProperties, s.gSimplestProp[100], s.gFuelProp[0]),
            std::tuple(0, 1, 0, 0));
  select(0);
  SetFuelProperties();  // index 0, not a fuel: the drop fluid as a whole
  EXPECT_EQ(s.gFuelProperties, 1);
  EXPECT_EQ(s.gSimplestProperties, 0);
  EXPECT_EQ(s.gFuelProp[0], 0);
}

TEST_F(Simple, ReadOilFile) {
  std::string shown;
  KivInstallDisplayHook(
      sys_, [](const char *m, void *to) { *static_cast<std::string *>(to) += m; }, &shown);
  const std::string path = tempPath("oil_file_test.dat");
  for (const auto &[content, message] : {std::pair<const char *, const char *>{nullptr, "cannot open"},
                                         {"1 2 3 4 5\n6 7 8\n", ""},
                                         {"1 2 3\n", "cannot read"}}) {
    if (content) std::ofstream(path) << content;
    ReadOilFile(content ? path.c_str() : "/nonexistent/oil.dat", "cannot open", "cannot read");
    EXPECT_EQ(shown, message);
    shown.clear();
  }
  std::remove(path.c_str());
}

TEST_F(Simple, AtmosphereTankAndPrimeMover) {

  int instance = 2;
  for (double pressure : {-2.0, 0.0, -1.013, 5.0}) {
    const double given = pressure;
    tk000in_(&instance, &pressure);
    EXPECT_EQ(pressure, given < -1.013 ? -1.013 : given);
  }
  EXPECT_EQ(takeErr(), "\n\nTK000 instance 2 pressure is too low\nReset to -1.013 bar\n\n");
}

}  // namespace
}  // namespace kiv::test
