// Viscosity, void fraction, temperature, the getters of the current fluid
// and the family switches.
#include <cstring>

#include "fluid_test.hpp"

namespace kiv::test {
namespace {

constexpr double kPatm = 101300.0, kT0 = 273.15;

using Viscosity = FluidTest;

// A general fluid of constant properties, its volumes written out: liquid
// (1 - alpha) e^(-p/B), free air x (101300 / P)^(1/n) T / T0 and vapour
// phi K4 / P^(1/n).
struct Volumes {
  ConstantFluid f;
  double alpha() const { return f.air_percent / 100.0; }
  double T() const { return f.t_celsius + kT0; }
  double gstp() const { return f.p_sat + kPatm; }
  double gvstp() const { return f.high + kPatm; }
  double offset() const { return f.high - f.low; }
  double phi(double P) const {
    if (P >= gvstp()) return 0.0;
    if (P <= gvstp() - offset()) return 1.0;
    return step9((P - gvstp() + offset()) / offset());
  }
  double air(double P) const {
    if (P >= gstp()) return 0.0;
    const double x = P <= gvstp() ? alpha() : alpha() * step9((P - gvstp()) / (gstp() - gvstp()));
    return x * std::pow(kPatm / P, 1 / f.polytropic) * T() / kT0;
  }
  double liquid(double P) const {
    if (P >= gstp()) return 1.0;
    return (1 - phi(P)) * (1 - alpha()) * std::exp(-(P - kPatm) / f.bulk);
  }
  double vapour(double P) const {
    const double rhovap = gvstp() / (1000.0 / f.molar_mass * 8.3145107 * kT0);
    const double K4 = std::pow(gvstp(), 1 / f.polytropic) * T() / kT0 * (1 - alpha()) * f.rho / rhovap;
    return phi(P) * K4 / std::pow(P, 1 / f.polytropic);
  }
};

TEST_F(Viscosity, GeneralFluidMixesItsPhasesByVolume) {
  Volumes v;
  v.f.index = 3;
  v.f.air_percent = 4.0;
  v.f.p_sat = 1.5e5;
  v.f.high = -40000.0;
  v.f.low = -70000.0;
  v.f.mu = 0.03;
  v.f.mu_air = 1.8e-5;
  v.f.mu_vapour = 1e-5;
  ASSERT_EQ(guarded([&] { define(v.f); return 0; }), 0);
  select(3);
  // All dissolved: the liquid alone.
  EXPECT_EQ(at(muatp_, 3e5), 0.03);
  EXPECT_EQ(at(fvoid_, 3e5), 0.0);
  for (double P : {100.0, 20000.0, 40000.0, 50000.0, 61300.0, 80000.0, 200000.0}) {
    const double VA = v.air(P), VL = v.liquid(P), VV = v.vapour(P);
    const double mu = (v.f.mu_vapour * VV + v.f.mu_air * VA + v.f.mu * VL) / (VA + VL + VV);
    EXPECT_NEAR(at(muatp_, P - kPatm), mu, 1e-12 * v.f.mu) << P;
    EXPECT_NEAR(at(fvoid_, P - kPatm), (VA + VV) / (VA + VL + VV), 1e-12) << P;
  }
  // Below the low vapour saturation pressure there is no liquid left.
  EXPECT_EQ(at(fvoid_, 30000.0 - kPatm), 1.0);
  const double P = 30000.0;
  EXPECT_NEAR(at(muatp_, P - kPatm),
              (v.f.mu_vapour * v.vapour(P) + v.f.mu_air * v.air(P)) / (v.vapour(P) + v.air(P)),
              1e-15);
}

TEST_F(Viscosity, TemperatureAndGettersOfEveryFamily) {
  ConstantFluid g;
  g.index = 1;
  g.p_sat = 12345.0;
  g.polytropic = 1.2;
  ConstantFluid drop;
  drop.index = 0;
  drop.high = drop.low = -50000.0;
  drop.t_celsius = 60.0;
  SimpleFluid s;
  s.index = 2;
  s.t_celsius = 10.0;
  FuelFluid f;
  f.index = 4;
  f.t_celsius = 30.0;
  ASSERT_EQ(guarded([&] { define(g); define(drop); define(s); define(f); return 0; }), 0);

  select(1);
  EXPECT_DOUBLE_EQ(at(tatp_, 1e6), 40.0 + kT0);
  EXPECT_EQ(getnewsap_(), 12345.0);
  EXPECT_EQ(getnewebm_(), g.bulk);
  EXPECT_DOUBLE_EQ(getnewair_(), 0.01);
  EXPECT_DOUBLE_EQ(getnewtemp_(), 40.0 + kT0);
  EXPECT_EQ(getnewpol_(), 1.2);
  int i = 1;
  EXPECT_EQ(hydgetpvaph_(&i), -90000.0);
  EXPECT_EQ(hydgetpvapl_(&i), -95000.0);
  EXPECT_EQ(at(bmliqonly_, 1e6), g.bulk);

  // The drop fluid reports its own record's temperature.
  select(0);
  EXPECT_DOUBLE_EQ(at(tatp_, 0.0), 60.0 + kT0);
  EXPECT_EQ(getnewsap_(), 0.0);

  select(2);
  EXPECT_DOUBLE_EQ(at(tatp_, 0.0), 10.0 + kT0);
  EXPECT_EQ(getnewsap_(), -50000.0);
  EXPECT_EQ(getnewebm_(), s.bulk);
  i = 2;
  EXPECT_EQ(hydgetpvaph_(&i), -90000.0);
  EXPECT_EQ(hydgetpvapl_(&i), -100000.0);

  select(4);
  // Temperature raised by compression: 100 bar adds 100 (0.0141 - 1.98e-6 100) K.
  EXPECT_DOUBLE_EQ(at(tatp_, 1e7), 30.0 + kT0 + 100.0 * (0.0141 - 1.98e-6 * 100.0));
  i = 4;
  EXPECT_EQ(hydgetpvaph_(&i), -90000.0);
  EXPECT_EQ(hydgetpvapl_(&i), -95000.0);
  // Nothing of the previous fluid shows through the fuel's getters.
  EXPECT_EQ(getnewebm_(), 0.0);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Viscosity, TemperatureOfAnUndefinedCaseWarnsOnce) {
  // A fuel record served without its family switch is no family tatp_
  // knows: 0 K, and one warning per process.
  FuelFluid f;
  f.index = 9;
  ASSERT_EQ(guarded([&] { define(f); return 0; }), 0);
  select(9);
  kiv::hyd::switches().gFuelProp[9] = 0;
  EXPECT_EQ(at(tatp_, 0.0), 0.0);
  const std::string first = takeErr();
  EXPECT_EQ(at(tatp_, 0.0), 0.0);
  EXPECT_EQ(takeErr(), "");
  // Run alone (as the test command runs each test) it is the first time.
  if (!first.empty())
    EXPECT_EQ(first, "\nWarning in function tatp : entering in undefined fluid case.\n");
}

TEST_F(Viscosity, FamilySwitches) {
  HydFamilySwitches &s = kiv::hyd::switches();
  int i = 5;
  simprop_(&i);
  EXPECT_EQ(s.gSimplestProp[5], 1);
  setbflag_(&i);
  EXPECT_EQ(s.gSimplestProp[5], 0);
  EXPECT_EQ(s.gFuelProp[5], 1);
  SetSimplestProperties();
  EXPECT_EQ(s.gSimplestProperties, 1);
  EXPECT_EQ(s.gFuelProperties, 0);
  // Indexes outside 0..100, and no current fluid, write nothing.
  const HydFamilySwitches before = s;
  int bad = -1;
  simprop_(&bad);
  setbflag_(&bad);
  SetFuelProperties();  // no registry: no current index
  ConstantFluid c;
  c.index = 0;
  ASSERT_EQ(guarded([&] { define(c); return 0; }), 0);
  SetFuelProperties();  // registry, but no fluid selected yet
  EXPECT_EQ(std::memcmp(&before, &s, sizeof s), 0);
  select(0);
  SetFuelProperties();  // index 0, not a fuel: the drop fluid as a whole
  EXPECT_EQ(s.gFuelProperties, 1);
  EXPECT_EQ(s.gSimplestProperties, 0);
  EXPECT_EQ(s.gFuelProp[0], 0);
}

}  // namespace
}  // namespace kiv::test
