// The fluid registry by index: definition checks, lookups, selection of the
// current fluid, totals, and its life across runs and systems.
#include "fluid_test.hpp"
#include "runtime/cstring.hpp"

namespace kiv::test {
namespace {

using Registry = FluidTest;

const char *const kNoBlock = "\nFluid index system not initialized, \nis there a fluid on the sketch?\n";

TEST_F(Registry, IndexRangeAndDuplicates) {
  ConstantFluid c;
  c.index = 100;
  EXPECT_EQ(guarded([&] { define(c); return 0; }), 0);
  FuelFluid f;
  f.index = 99;
  SimpleFluid s;
  s.index = 98;
  EXPECT_EQ(guarded([&] { define(f); define(s); return 0; }), 0);
  EXPECT_EQ(takeErr(), "");

  c.index = 101;
  EXPECT_EQ(guarded([&] { define(c); return 0; }), -2);
  EXPECT_EQ(takeErr(), "Invalid fluid index: maximum is 100 and minimum is 0.\n");
  c.index = -1;  // compared as unsigned: above 100
  EXPECT_EQ(guarded([&] { define(c); return 0; }), -2);
  EXPECT_EQ(takeErr(), "Invalid fluid index: maximum is 100 and minimum is 0.\n");

  // One index across the three families.
  c.index = 99;
  EXPECT_EQ(guarded([&] { define(c); return 0; }), -2);
  EXPECT_EQ(takeErr(), "Hydraulic property index 99\nis already defined.\n");
  f.index = 98;
  EXPECT_EQ(guarded([&] { define(f); return 0; }), -2);
  EXPECT_EQ(takeErr(), "Hydraulic property index 98\nis already defined.\n");
  EXPECT_EQ(exitCode(), 1);
}

TEST_F(Registry, TypesAndLookups) {
  ConstantFluid c;
  c.index = 1;
  ConstantFluid drop;
  drop.index = 0;
  drop.high = drop.low = -50000.0;
  ConstantFluid nan;
  nan.index = 5;
  nan.high = nan.low = std::nan("");
  FuelFluid f;
  f.index = 2;
  SimpleFluid s;
  s.index = 3;
  ASSERT_EQ(guarded([&] { define(c); define(drop); define(nan); define(f); define(s); return 0; }), 0);
  int i1 = 1, i0 = 0, i2 = 2, i3 = 3, i5 = 5, i4 = 4;
  EXPECT_EQ(getftype_(&i1), 1);
  EXPECT_EQ(getftype_(&i0), 4);
  EXPECT_EQ(getftype_(&i2), 2);
  EXPECT_EQ(getftype_(&i3), 3);
  EXPECT_EQ(getftype_(&i5), 1);
  EXPECT_EQ(retfprop_(&i1)->density, 850.0);
  EXPECT_EQ(retrprop_(&i2)->fuel_type, 1);
  EXPECT_EQ(getspind_(&i3)->p_sat, -50000.0);
  EXPECT_EQ(takeErr(), "");

  EXPECT_EQ(guarded([&] { getftype_(&i4); return 0; }), -2);
  EXPECT_EQ(takeErr(), "\nA hydraulic fluid having the index 4\nhas not been defined.\n");
  EXPECT_EQ(guarded([&] { retrprop_(&i1); return 0; }), -2);
  EXPECT_EQ(takeErr(), "\nA hydraulic fluid having the index 1\nhas not been defined.\n");
  int big = 1000;
  EXPECT_EQ(guarded([&] { retfprop_(&big); return 0; }), -2);
  EXPECT_EQ(takeErr(), "Invalid fluid index: maximum is 100 and minimum is 0.\n");
}

TEST_F(Registry, CheckFunctions) {
  int i7 = 7, i8 = 8, i101 = 101, neg = -3;
  // No registry (or no block) yet: every index is free, silently.
  EXPECT_EQ(checkhdind_(&i7), 0);
  EXPECT_EQ(checkhdind2_(&i7), 0);
  EXPECT_EQ(takeErr(), "");
  int error = 1;
  EXPECT_EQ(hyd_valid_liquid_(&i7, &error), 0);
  EXPECT_EQ(error, 2);
  EXPECT_EQ(takeErr(),
            "\nHydraulic fluid with index 7 is not set."
            "\nA Hydraulic fluid definition submodel with index 7 should be available in your "
            "circuit.\n");

  ConstantFluid c;
  c.index = 7;
  ASSERT_EQ(guarded([&] { define(c); return 0; }), 0);
  EXPECT_EQ(checkhdind_(&i8), 0);
  EXPECT_EQ(checkhdind_(&i7), -1);
  EXPECT_EQ(takeErr(), "\nHydraulic property index 7\nis already defined.\n");
  EXPECT_EQ(checkhdind_(&i101), -1);
  EXPECT_EQ(takeErr(), "\nInvalid fluid index: maximum is 100 and minimum is 0.\n");
  EXPECT_EQ(checkhdind_(&neg), -1);
  EXPECT_EQ(takeErr(), "\nInvalid fluid index: maximum is 100 and minimum is 0.\n");
  EXPECT_EQ(checkhdind2_(&i7), 1);
  EXPECT_EQ(checkhdind2_(&i8), 0);
  EXPECT_EQ(checkhdind2_(&i101), 0);
  error = 1;
  EXPECT_EQ(hyd_valid_liquid_(&i7, &error), 1);
  EXPECT_EQ(error, 1);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Registry, SelectionReloadsOnlyOnChange) {
  ConstantFluid a, b;
  a.index = 0;
  a.high = -90000.0;
  b.index = 1;
  b.rho = 1000.0;
  ASSERT_EQ(guarded([&] { define(a); define(b); return 0; }), 0);
  select(0);
  EXPECT_EQ(gethdind_(), 0);
  HydCurrentFluid &cur = kiv::hyd::fluid();
  EXPECT_EQ(cur.grho, 850.0);
  cur.grho = -7.0;  // a marker that only a reload removes
  select(0);
  EXPECT_EQ(cur.grho, -7.0);
  select(1);
  EXPECT_EQ(cur.grho, 1000.0);
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
    EXPECT_EQ(takeErr(), "\nA hydraulic fluid having the index 5\nhas not been defined.\n");
  }
}

TEST_F(Registry, BlockWithoutFluidsIsReleasedToo) {
  GetOrCreateHydIndexList();
  const int slot = KivGetPropertyIndex("HYD_Index");
  ASSERT_NE(*KivGetPropertySlot(slot), nullptr);
  inifprop_();  // installs nothing twice
  EXPECT_EQ(KivEndRun(0), 1);
  EXPECT_EQ(*KivGetPropertySlot(slot), nullptr);
}

TEST_F(Registry, VolumeAndMassTotals) {
  ConstantFluid c;
  c.index = 4;
  ASSERT_EQ(guarded([&] { define(c); return 0; }), 0);
  double volume = 5.0, mass = 6.0;
  int index = 4;
  KivSetFirstCall(1);
  hydrinit_volmass_(&volume, &mass, &index);
  EXPECT_EQ(volume, 0.0);
  EXPECT_EQ(mass, 0.0);
  select(4);
  double v = 2e-3, m = 1.5;
  hydradd_volmass_(&v, &m);
  hydradd_volmass_(&v, &m);
  EXPECT_DOUBLE_EQ(volume, 4.0);  // litres
  EXPECT_DOUBLE_EQ(mass, 3.0);

  // Not registered again after the first evaluation; still cleared.
  KivSetFirstCall(0);
  double other_v = 1.0, other_m = 1.0;
  hydrinit_volmass_(&other_v, &other_m, &index);
  EXPECT_EQ(other_v, 0.0);
  hydradd_volmass_(&v, &m);
  EXPECT_DOUBLE_EQ(volume, 6.0);
  EXPECT_EQ(other_v, 0.0);

  // No current fluid, or an index outside 0..100: nothing is written.
  SetHydAtFuncEval();
  hydradd_volmass_(&v, &m);
  EXPECT_DOUBLE_EQ(volume, 6.0);
  int bad = 101;
  KivSetFirstCall(1);
  hydrinit_volmass_(&other_v, &other_m, &bad);
  EXPECT_EQ(other_v, 0.0);
}

TEST_F(Registry, ReleasedAtEndOfRunAndRebuilt) {
  ConstantFluid c;
  c.index = 0;
  HydFluidRecord *record = nullptr;
  ASSERT_EQ(guarded([&] { record = &define(c); return 0; }), 0);
  record->file_name = kiv::dupText("owned by the registry", "test");  // freed by the release
  select(0);
  const double rho0 = at(rhoatp_, 1e6);
  const int slot = KivGetPropertyIndex("HYD_Index");
  ASSERT_NE(*KivGetPropertySlot(slot), nullptr);

  KivEndRun(0);
  EXPECT_EQ(*KivGetPropertySlot(slot), nullptr);
  const HydCurrentFluid &cur = kiv::hyd::fluid();
  EXPECT_EQ(cur.gptrfprop, nullptr);
  EXPECT_EQ(cur.gmustinit, 1);
  // Neither a selection nor a property call reads the freed block.
  EXPECT_EQ(guarded([&] { select(0); return 0; }), -2);
  EXPECT_EQ(takeErr(), kNoBlock);
  EXPECT_EQ(guarded([&] { return static_cast<int>(at(rhoatp_, 0.0)); }), -2);
  EXPECT_EQ(takeErr(),
            "\nFluid index system not initialized, have you put a fluid on the sketch?\n");
  int i0 = 0;
  EXPECT_EQ(checkhdind_(&i0), 0);
  EXPECT_EQ(gethdind_(), -1);

  // The next run builds a new block.
  c.rho = 900.0;
  ASSERT_EQ(guarded([&] { define(c); return 0; }), 0);
  select(0);
  const double air = 0.01 * 1.2 / 0.99;
  EXPECT_DOUBLE_EQ(at(rhoatp_, 1e6) / rho0, (900.0 + air) / (850.0 + air));
}

TEST_F(Registry, TwoSystemsKeepTheirOwnFluids) {
  ConstantFluid c;
  c.index = 0;
  ASSERT_EQ(guarded([&] { define(c); return 0; }), 0);
  KIVSystem *other = KivCreateSystem();
  KivMakeCurrent(other);
  c.rho = 1000.0;
  ASSERT_EQ(kiv::guarded(other, [&] { define(c); return 0; }), 0);

  for (int k = 0; k < 3; ++k) {
    KivMakeCurrent(sys_);
    select(0);
    EXPECT_DOUBLE_EQ(at(rhoatp_, 1e7), (850.0 + 0.01 * 1.2 / 0.99) * std::exp(1e7 / 1.7e9));
    KivMakeCurrent(other);
    select(0);
    EXPECT_DOUBLE_EQ(at(rhoatp_, 1e7), (1000.0 + 0.01 * 1.2 / 0.99) * std::exp(1e7 / 1.7e9));
  }
  // The other system ends its run while its fluid is current; this one goes on.
  KivReleaseSystem(other);
  KivMakeCurrent(sys_);
  select(0);
  EXPECT_DOUBLE_EQ(at(rhoatp_, 1e7), (850.0 + 0.01 * 1.2 / 0.99) * std::exp(1e7 / 1.7e9));
  // A system without fluids cannot select one.
  KIVSystem *empty = KivCreateSystem();
  std::string captured;
  KivInstallPrintHook(
      empty, [](FILE *, const char *text, void *to) { *static_cast<std::string *>(to) += text; },
      &captured);
  EXPECT_EQ(kiv::guarded(empty, [&] { select(0); return 0; }), -2);
  KivReleaseSystem(empty);
  KivMakeCurrent(sys_);
  EXPECT_EQ(captured, kNoBlock);
}

}  // namespace
}  // namespace kiv::test
