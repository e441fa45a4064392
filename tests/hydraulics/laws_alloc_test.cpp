// The per-evaluation paths of the hydraulic library allocate nothing:
// selecting a fluid, its properties at a pressure, orifice flows and chamber
// pressure derivatives, in ordinary and locating evaluations.
#include "fluid_test.hpp"

namespace kiv::test {
namespace {

class NoAllocation : public LawsTest {};

TEST_F(NoAllocation, FluidSelectionPropertiesOrificesAndChambers) {
  if (allocationCount() < 0) GTEST_SKIP() << "needs the sanitizer's allocator hook";
  ConstantFluid general;
  general.index = 2;
  FuelFluid fuel;
  fuel.index = 3;
  const std::string tables = dataDir() + "/hydraulics/two_temperatures.data";
  ASSERT_EQ(guarded([&] {
              define(general);
              define(fuel);
              return defineTable(tables, {.index = 4, .air_percent = 1.0}) == 1 ? 0 : 1;
            }),
            0);
  double sum = 0.0;
  auto evaluate = [&] {
    for (int index : {1, 2, 3, 4}) {
      select(index);
      for (double p : {-0.97e5, -0.5e5, 0.0, 1e5, 150e5, 300e5}) {
        sum += at(rhoatp_, p) + at(bmatp_, p) + at(q0top_, p) + at(muatp_, p);
        double p2 = 0.3 * p, area = 1e-6, dh = 1e-3, cqmax = 0.7, lcrit = 1000.0, cq, lambda, v;
        double q = orif3f_(&p, &p2, &area, &dh, &cqmax, &lcrit, &cq, &lambda, &v);
        double compliance = 0.0, volume = 1e-4;
        sum += q + pcdyn2_(&p, &compliance, &volume, &q);
      }
    }
  };
  evaluate();  // first calls may fill caches
  const long before = allocationCount();
  for (int mode : {KIV_EVAL_ORDINARY, KIV_EVAL_LOCATE, KIV_EVAL_ORDINARY}) {
    KivBeginEvaluation(mode);
    evaluate();
  }
  EXPECT_EQ(allocationCount() - before, 0);
  EXPECT_TRUE(std::isfinite(sum));
}

}  // namespace
}  // namespace kiv::test
