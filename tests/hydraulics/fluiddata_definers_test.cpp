// The fluid definers: what each stores, and the fluid the property model
// then answers for.
#include <cmath>

#include "fluiddata_support.hpp"

namespace kiv::test {
namespace {

using Definers = FluidTest;

double userDensity(double *t, double *p) { return 1000.0 - *t + *p * 1e-6; }
double userViscosity(double *, double *p) { return 0.01 + *p * 1e-9; }

TEST_F(Definers, ConstantPropertiesWithAndWithoutSlope) {
  int i0 = 0, i1 = 1;
  double rho = 870.0, bulk = 1.6e9, slope = 10.0, mu = 0.04, p_sat = 0.0, air = 0.0, t = 60.0;
  double n = 1.4, mu_air = 2e-5, high = -90000.0, low = -95000.0, mu_v = 2e-5, molar = 200.0;
  double den = 1.2;
  ASSERT_EQ(guarded([&] {
              fpconbmu2_(&i0, &rho, &bulk, &slope, &mu, &p_sat, &air, &t, &n, &mu_air, &high,
                         &low, &mu_v, &molar, &den);
              fpconbmu_(&i1, &rho, &bulk, &mu, &p_sat, &air, &t, &n, &mu_air, &high, &low, &mu_v,
                        &molar, &den);
              return 0;
            }),
            0);
  const HydFluidRecord *a = retfprop_(&i0);
  const HydFluidRecord *b = retfprop_(&i1);
  EXPECT_EQ(a->bulk_slope, 10.0);
  EXPECT_EQ(b->bulk_slope, 0.0);
  EXPECT_EQ(a->temperature, 60.0 + 273.15);
  EXPECT_EQ(b->air, 0.0);
  EXPECT_EQ(a->file_name, nullptr);
  EXPECT_EQ(a->pfromrho_id, -1);

  // Without air: Murnaghan's law with a slope, an exponential without.
  const double p = 3e7;
  select(0);
  EXPECT_NEAR(at(rhoatp_, p) / (870.0 * std::pow(1.0 + 10.0 * p / 1.6e9, 0.1)), 1.0, 1e-14);
  EXPECT_NEAR(at(bmatp_, p) / (1.6e9 + 10.0 * p), 1.0, 1e-14);
  select(1);
  EXPECT_NEAR(at(rhoatp_, p) / (870.0 * std::exp(p / 1.6e9)), 1.0, 1e-14);
  EXPECT_EQ(at(bmatp_, p), 1.6e9);
  EXPECT_EQ(at(muatp_, p), 0.04);
}

TEST_F(Definers, UserFunctionsOverDefaults) {
  int i = 6;
  ASSERT_EQ(guarded([&] { fpuserd_(&i, &userDensity, nullptr, &userViscosity); return 0; }), 0);
  const HydFluidRecord *r = retfprop_(&i);
  EXPECT_EQ(r->density, 850.0);
  EXPECT_EQ(r->bulk_modulus, 1.7e9);
  EXPECT_EQ(r->viscosity, 0.051);
  EXPECT_EQ(r->air, 0.001);
  EXPECT_EQ(r->temperature, 313.15);
  EXPECT_EQ(r->polytropic, 1.4);
  EXPECT_EQ(r->p_sat_high, -90000.0);
  EXPECT_EQ(r->p_sat_low, -95000.0);
  EXPECT_EQ(r->vapour_molar_mass, 200.0);
  EXPECT_EQ(r->air_density, 1.2);
  EXPECT_EQ(r->user[KIV_HYD_USER_DENSITY], &userDensity);
  EXPECT_EQ(r->user[KIV_HYD_USER_BULK_MODULUS], nullptr);
  EXPECT_EQ(r->user[KIV_HYD_USER_VISCOSITY], &userViscosity);
  for (int k = 3; k < 6; ++k) EXPECT_EQ(r->user[k], nullptr);
  select(6);
  EXPECT_NEAR(at(rhoatp_, 2e6), 1000.0 - 40.0 + 2.0, 1e-9);
  EXPECT_DOUBLE_EQ(at(muatp_, 1e7), 0.02);

  // The index is taken now, whatever family comes next.
  const auto again = [&] {
    fpuserd2_(&i, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    return 0;
  };
  EXPECT_EQ(guarded(again), -2);
  EXPECT_EQ(takeErr(), "Hydraulic property index 6\nis already defined.\n");
  double rho = 1.0;
  const auto simple = [&] {
    fpspind_(&i, &rho, &rho, &rho, &rho, &rho, &rho, &rho, &rho);
    return 0;
  };
  EXPECT_EQ(guarded(simple), -2);
  EXPECT_EQ(takeErr(), "Hydraulic property index 6\nis already defined.\n");
}

}  // namespace
}  // namespace kiv::test
