// The simple fluid model, the getters of the index-0 drop fluid, the
// atmospheric pressure and the tank and prime-mover set-up.
#include <cstdio>
#include <fstream>

#include "fluid_test.hpp"

namespace kiv::test {
namespace {

constexpr double kPatm = 101300.0;

using Simple = FluidTest;

TEST_F(Simple, ExponentialDensityWithASofterBandBelowSaturation) {
  SimpleFluid s;
  s.index = 7;
  s.p_sat = 20000.0;  // above 0 bar gauge
  SimpleFluid t;
  t.index = 8;  // saturation pressure below 0 bar gauge
  ASSERT_EQ(guarded([&] { define(s); define(t); return 0; }), 0);

  select(8);
  EXPECT_EQ(at(rhoatp_, 0.0), t.rho);
  EXPECT_EQ(at(rhosimp_, 0.0), t.rho);

  select(7);
  const double B = s.bulk, rhosat = s.rho * std::exp(s.p_sat / B);
  for (double p : {20000.0, 1e6, 3e7}) {
    EXPECT_DOUBLE_EQ(at(rhoatp_, p), s.rho * std::exp(p / B));
    EXPECT_EQ(at(bmatp_, p), B);
    EXPECT_EQ(at(bm2atp_, p), B);
  }
  for (double p : {-90000.0, 0.0, 19999.0}) {
    EXPECT_DOUBLE_EQ(at(rhoatp_, p), rhosat * std::exp(1000.0 * (p - s.p_sat) / B));
    EXPECT_EQ(at(bmatp_, p), B / 1000.0);
  }
  // Continuous at the saturation pressure; each branch inverted.
  EXPECT_NEAR(at(rhoatp_, s.p_sat - 1e-6), at(rhoatp_, s.p_sat), 1e-9);
  for (double p : {-90000.0, -1000.0, 15000.0, 20000.0, 5e5, 4e7}) {
    double rho = at(rhoatp_, p);
    EXPECT_NEAR(patrhosimp_(&rho), p, 1e-7 * std::max(1.0, std::fabs(p))) << p;
    const double h = 1e-3 * std::min(std::fabs(p - s.p_sat), 1e4);
    if (p != s.p_sat)
      EXPECT_LT(relative(at(bmatp_, p), bulkByDifference([](double q) { return at(rhoatp_, q); }, p, h)),
                1e-6)
          << p;
  }
  EXPECT_EQ(at(muatp_, 1e5), s.mu);
  EXPECT_EQ(musimp_(), s.mu);
  EXPECT_DOUBLE_EQ(nusimp_(), s.mu / s.rho);
  EXPECT_DOUBLE_EQ(at(tatp_, 0.0), s.t_celsius + 273.15);
}

TEST_F(Simple, ServedBySimpleFamilyWhateverAnotherSystemSaid) {
  SimpleFluid s;
  s.index = 3;
  ASSERT_EQ(guarded([&] { define(s); return 0; }), 0);
  // Another system marked index 3 as a fuel.
  int i = 3;
  setbflag_(&i);
  select(3);
  EXPECT_DOUBLE_EQ(at(rhoatp_, 1e6), s.rho * std::exp(1e6 / s.bulk));
}

TEST_F(Simple, DropFluidGetters) {
  ConstantFluid drop;
  drop.index = 0;
  drop.high = drop.low = -50000.0;
  drop.p_sat = -20000.0;
  drop.rho = 800.0;
  drop.mu = 0.04;
  drop.air_percent = 3.0;
  drop.polytropic = 1.3;
  ASSERT_EQ(guarded([&] { define(drop); return 0; }), 0);
  EXPECT_EQ(getrho_(), 800.0);
  EXPECT_EQ(getsap_(), -20000.0);
  EXPECT_EQ(getebm_(), drop.bulk);
  EXPECT_EQ(getmu_(), 0.04);
  EXPECT_DOUBLE_EQ(getnu_(), 0.04 / 800.0);
  EXPECT_DOUBLE_EQ(getair_(), 0.03);
  EXPECT_DOUBLE_EQ(getemp_(), 40.0 + 273.15);
  EXPECT_EQ(getpol_(), 1.3);
  checkfpdrop();
  EXPECT_EQ(takeErr(), "");

  // With the program-wide switch the drop fluid takes the simple laws.
  SetSimplestProperties();
  select(0);
  EXPECT_DOUBLE_EQ(at(rhoatp_, 1e6), 800.0 * std::exp(1e6 / drop.bulk));
  EXPECT_EQ(at(bmatp_, -30000.0), drop.bulk / 1000.0);
  EXPECT_EQ(at(muatp_, 0.0), 0.04);
}

TEST_F(Simple, DropGettersNeedTheDropFluid) {
  ConstantFluid c;
  c.index = 0;  // vapour pressures differ: not the drop fluid
  ASSERT_EQ(guarded([&] { define(c); return 0; }), 0);
  EXPECT_EQ(guarded([&] { return static_cast<int>(getrho_()); }), -2);
  EXPECT_EQ(takeErr(), "No FPDROP icon is in the circuit.\n");
  EXPECT_EQ(exitCode(), 1);
  SimpleFluid s;
  s.index = 1;
  ASSERT_EQ(guarded([&] { define(s); return 0; }), 0);
  select(1);
  // A simple fluid's saturation pressure is its own, not the drop fluid's.
  EXPECT_EQ(getnewsap_(), s.p_sat);
}

TEST_F(Simple, ReadOilFile) {
  std::string shown;
  KivInstallDisplayHook(
      sys_, [](const char *m, void *to) { *static_cast<std::string *>(to) += m; }, &shown);
  ReadOilFile("/nonexistent/oil.dat", "cannot open", "cannot read");
  EXPECT_EQ(shown, "cannot open");
  shown.clear();
  const std::string path = tempPath("oil_file_test.dat");
  std::ofstream(path) << "1 2 3 4 5\n6 7 8\n";
  ReadOilFile(path.c_str(), "cannot open", "cannot read");
  EXPECT_EQ(shown, "");
  std::ofstream(path) << "1 2 3\n";
  ReadOilFile(path.c_str(), "cannot open", "cannot read");
  EXPECT_EQ(shown, "cannot read");
  std::remove(path.c_str());
}

TEST_F(Simple, AtmosphereTankAndPrimeMover) {
  EXPECT_EQ(getatp_(), 101300.0);
  EXPECT_EQ(saggatp_(), 101300.0);
  double p = 95000.0;
  sagsatp_(&p);
  EXPECT_EQ(saggatp_(), 95000.0);
  EXPECT_EQ(getatp_(), 101300.0);
  p = 101300.0;
  sagsatp_(&p);

  int instance = 2;
  double pressure = -2.0;
  tk000in_(&instance, &pressure);
  EXPECT_EQ(pressure, -1.013);
  EXPECT_EQ(takeErr(), "\n\nTK000 instance 2 pressure is too low\nReset to -1.013 bar\n\n");
  for (double ok : {0.0, -1.013, 5.0}) {
    pressure = ok;
    tk000in_(&instance, &pressure);
    EXPECT_EQ(pressure, ok);
  }
  double params[4] = {1, 2, 3, 4};
  instance = 1;
  pm000in_(&instance, params);
  EXPECT_EQ(takeErr(), "");
  EXPECT_EQ(takeOut(), "");
  EXPECT_EQ(-kPatm / 1e5, -1.013);
}

}  // namespace
}  // namespace kiv::test
