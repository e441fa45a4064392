// The fluid registry by index: definition checks, lookups, selection of the
// current fluid, totals, and its life across runs and systems.
#include "fluid_test.hpp"
#include "runtime/cstring.hpp"

namespace kiv::test {
namespace {

using Registry = FluidTest;

const std::string kNoBlock = "\nFluid index system not initialized, \nis there a fluid on the sketch?\n";
const std::string kInvalid = "Invalid fluid index: maximum is 100 and minimum is 0.\n";
std::string taken(int i) { return "Hydraulic property index " + std::to_string(i) + "\nis already defined.\n"; }
std::string undefined(int i) {
  return "\nA hydraulic fluid having the index " + std::to_string(i) + "\nhas not been defined.\n";
}

TEST_F(Registry, IndexesTypesAndLookups) {
  ASSERT_EQ(add(ConstantFluid{.index = 100}, FuelFluid{.index = 2}, SimpleFluid{.index = 3},
                ConstantFluid{.high = -50000.0, .low = -50000.0},
                ConstantFluid{.index = 5, .high = std::nan(""), .low = std::nan("")}),
            0);
  EXPECT_EQ(takeErr(), "");
  // Type 4: the drop fluid (index 0, equal vapour pressures); NaN ones are not equal.
  for (const auto &[index, type] : {std::pair{100, 1}, {0, 4}, {2, 2}, {3, 3}, {5, 1}}) {
    int i = index;
    EXPECT_EQ(getftype_(&i), type) << index;
  }

  // -1 is compared as unsigned: above 100.
  for (int bad : {101, -1}) {
    EXPECT_EQ(add(ConstantFluid{.index = bad}), -2);
    EXPECT_EQ(takeErr(), kInvalid);
  }
  // One index across the three families.
  EXPECT_EQ(add(ConstantFluid{.index = 2}), -2);
  EXPECT_EQ(takeErr(), taken(2));
  EXPECT_EQ(add(FuelFluid{.index = 3}), -2);
  EXPECT_EQ(takeErr(), taken(3));
  EXPECT_EQ(exitCode(), 1);

  // A density or bulk modulus that is not a finite positive number defines nothing.
  int i6 = 6;
  for (double bad : {0.0, -1.0, std::nan(""), HUGE_VAL}) {
    EXPECT_EQ(add(ConstantFluid{.index = 6, .rho = bad}) + add(SimpleFluid{.index = 6, .bulk = bad}), -4);
    EXPECT_EQ(checkhdind2_(&i6), 0);
    EXPECT_NE(takeErr().find("index 6: the bulk modulus"), std::string::npos) << bad;
  }

  int i4 = 4;
  EXPECT_EQ(guarded([&] { return getftype_(&i4); }), -2);
  EXPECT_EQ(takeErr(), undefined(4));
}

TEST_F(Registry, CheckFunctions) {
  int i7 = 7, i8 = 8, error = 1;
  // No registry yet: every index is free, silently.
  EXPECT_EQ(checkhdind_(&i7), 0);
  EXPECT_EQ(checkhdind2_(&i7), 0);
  EXPECT_EQ(takeErr(), "");
  EXPECT_EQ(hyd_valid_liquid_(&i7, &error), 0);
  EXPECT_EQ(error, 2);
  EXPECT_EQ(takeErr(),
            "\nHydraulic fluid with index 7 is not set."
            "\nA Hydraulic fluid definition submodel with index 7 should be available in your "
            "circuit.\n");

  ASSERT_EQ(add(ConstantFluid{.index = 7}), 0);
  EXPECT_EQ(checkhdind_(&i8), 0);
  EXPECT_EQ(checkhdind_(&i7), -1);
  EXPECT_EQ(takeErr(), "\n" + taken(7));
  EXPECT_EQ(checkhdind2_(&i7), 1);
  error = 1;
  EXPECT_EQ(hyd_valid_liquid_(&i7, &error), 1);
  EXPECT_EQ(error, 1);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Registry, SelectionReloadsOnlyOnChange) {
  ASSERT_EQ(add(ConstantFluid{}, ConstantFluid{.index = 1, .rho = 1000.0}), 0);
  select(0);
  HydCurrentFluid &cur = kiv::hyd::fluid();
  cur.grho = -7.0;  // a marker that only a reload removes
  select(0);
  EXPECT_EQ(cur.grho, -7.0);
  select(1);
  EXPECT_EQ(gethdind_(), 1);
  select(0);
  EXPECT_EQ(cur.grho, 850.0);
  cur.grho = -7.0;
  SetHydAtFuncEval();  // the next selection reloads whatever it is given
  EXPECT_EQ(gethdind_(), -1);
  select(0);
  EXPECT_EQ(cur.grho, 850.0);

  // A selection that failed is not remembered as done.
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(guarded([&] { select(5); return 0; }), -2);
    EXPECT_EQ(takeErr(), undefined(5));
  }
}

TEST_F(Registry, SwitchingBackLoadsWhatTheRecordHolds) {
  // Air free below 2 bar gauge, vapour below -0.5 bar: loading raises
  // 101300 Pa and the vapour pressure to the power 1/n.
  ConstantFluid a{.p_sat = 2e5, .polytropic = 1.4, .high = -50000.0, .low = -60000.0};
  ConstantFluid b = a, c = a;
  b.index = 1;
  b.polytropic = 1.2;
  c.index = 2;
  ASSERT_EQ(add(a, b, c), 0);
  const auto rho = [](int index, double p) {
    select(index);
    return at(rhoatp_, p);
  };
  const double pressures[] = {1e5, -0.55e5, -0.8e5};  // free air, vapour forming, all gas
  for (double p : pressures) {
    const double first = rho(0, p);
    EXPECT_NE(rho(1, p), first) << p;
    EXPECT_EQ(rho(0, p), first) << p;
    EXPECT_EQ(rho(2, p), first) << p;  // a twin loaded once
  }
  // A record changed in place loads anew once the selection is forgotten.
  int zero = 0;
  retfprop_(&zero)->polytropic = 1.2;
  SetHydAtFuncEval();
  for (double p : pressures) EXPECT_EQ(rho(0, p), rho(1, p)) << p;
}

TEST_F(Registry, VolumeAndMassTotals) {
  ASSERT_EQ(add(ConstantFluid{.index = 4}), 0);
  double volume = 5.0, mass = 6.0, other_v = 1.0, other_m = 1.0, v = 2e-3, m = 1.5;
  int index = 4;
  KivSetFirstCall(1);
  hydrinit_volmass_(&volume, &mass, &index);
  EXPECT_EQ(volume + mass, 0.0);
  select(4);
  hydradd_volmass_(&v, &m);
  EXPECT_DOUBLE_EQ(volume, 2.0);  // litres
  EXPECT_DOUBLE_EQ(mass, 1.5);

  // Not registered again after the first evaluation; still cleared.
  KivSetFirstCall(0);
  hydrinit_volmass_(&other_v, &other_m, &index);
  EXPECT_EQ(other_v, 0.0);
  hydradd_volmass_(&v, &m);
  EXPECT_DOUBLE_EQ(volume, 4.0);
  EXPECT_EQ(other_v, 0.0);
}

TEST_F(Registry, ReleasedAtEndOfRunAndRebuilt) {
  // A block without fluids is released too.
  GetOrCreateHydIndexList();
  const int slot = KivGetPropertyIndex("HYD_Index");
  ASSERT_NE(*KivGetPropertySlot(slot), nullptr);
  inifprop_();  // installs nothing twice
  EXPECT_EQ(KivEndRun(0), 1);
  EXPECT_EQ(*KivGetPropertySlot(slot), nullptr);

  HydFluidRecord *record = nullptr;
  ASSERT_EQ(guarded([&] { record = &define(ConstantFluid{}); return 0; }), 0);
  record->file_name = kiv::dupText("owned by the registry", "test");  // freed by the release
  select(0);
  const double rho0 = at(rhoatp_, 1e6);
  KivEndRun(0);
  EXPECT_EQ(*KivGetPropertySlot(slot), nullptr);
  // Neither a selection nor a property call reads the freed block.
  EXPECT_EQ(guarded([&] { select(0); return 0; }), -2);
  EXPECT_EQ(takeErr(), kNoBlock);
  EXPECT_EQ(guarded([&] { return static_cast<int>(at(rhoatp_, 0.0)); }), -2);
  EXPECT_EQ(takeErr(),
            "\nFluid index system not initialized, have you put a fluid on the sketch?\n");

  // The next run builds a new block.
  ASSERT_EQ(add(ConstantFluid{.rho = 900.0}), 0);
  select(0);
  const double air = 0.01 * 1.2 / 0.99;
  EXPECT_DOUBLE_EQ(at(rhoatp_, 1e6) / rho0, (900.0 + air) / (850.0 + air));
}

TEST_F(Registry, TwoSystemsKeepTheirOwnFluids) {
  ASSERT_EQ(add(ConstantFluid{}), 0);
  KIVSystem *other = KivCreateSystem();
  KivMakeCurrent(other);
  ASSERT_EQ(kiv::guarded(other, [&] { define(ConstantFluid{.rho = 1000.0}); return 0; }), 0);
  const auto expected = [](double rho) {
    return (rho + 0.01 * 1.2 / 0.99) * std::exp(1e7 / 1.7e9);
  };
  for (int k = 0; k < 3; ++k) {
    KivMakeCurrent(sys_);
    select(0);
    EXPECT_DOUBLE_EQ(at(rhoatp_, 1e7), expected(850.0));
    KivMakeCurrent(other);
    select(0);
    EXPECT_DOUBLE_EQ(at(rhoatp_, 1e7), expected(1000.0));
  }
  // The other system ends its run while its fluid is current; this one goes on.
  KivReleaseSystem(other);
  KivMakeCurrent(sys_);
  select(0);
  EXPECT_DOUBLE_EQ(at(rhoatp_, 1e7), expected(850.0));
}

}  // namespace
}  // namespace kiv::test
