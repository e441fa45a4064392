// Density, bulk modulus, viscosity and void fraction of the general family
// and of the older single-band model, against closed forms and against the
// tangent of their own density law.
#include "fluid_test.hpp"

namespace kiv::test {
namespace {

const ConstantFluid kCases[] = {
    {.index = 1},  // 1 % air dissolving at 0 bar, vapour below -0.9 bar
    {.index = 2, .mu = 0.03, .p_sat = 1.5e5, .air_percent = 4.0, .t_celsius = 80.0,
     .polytropic = 1.2, .mu_air = 1.8e-5, .high = -40000.0, .low = -70000.0, .mu_vapour = 1e-5},
    {.index = 3, .slope = 10.0, .p_sat = 1e5, .air_percent = 0.5},
    {.index = 4, .air_percent = 0.0, .air_density = 0.0},  // the ideal-gas value
};

using General = FluidTest;

TEST_F(General, TangentBulkModulusContinuityAndFlowRatio) {
  ASSERT_EQ(add(kCases[0], kCases[1], kCases[2], kCases[3]), 0);
  for (const auto &c : kCases) {
    select(c.index);
    const HydCurrentFluid &f = kiv::hyd::fluid();
    const double edges[] = {f.gstp, f.gvstp, f.gvstp - f.goffset};
    int checked = 0;
    for (double P = 50.0; P < 3e8; P *= 1.07) {
      double distance = P;
      for (double e : edges) distance = std::min(distance, std::fabs(P - e));
      if (distance < 1e-3 * P) continue;
      const double p = P - kPatm;
      EXPECT_LT(relative(at(bmatp_, p), densityTangent(p, 1e-3 * distance)), 2e-6)
          << c.index << " P " << P;
      // Holding the composition can only stiffen the mixture.
      EXPECT_GE(at(bm2atp_, p) * (1 + 1e-12), at(bmatp_, p)) << c.index << " P " << P;
      ++checked;
    }
    EXPECT_GT(checked, 200);
    for (double e : edges) {
      if (e <= 0.0) continue;
      for (auto g : {rhoatp_, bmatp_, bm2atp_, muatp_, fvoid_}) {
        const double hi = at(g, e * (1 + 1e-10) - kPatm), tol = 1e-6 * std::fabs(hi) + 1e-12;
        EXPECT_NEAR(at(g, e * (1 - 1e-10) - kPatm), hi, tol) << c.index << " edge " << e;
        EXPECT_NEAR(at(g, e - kPatm), hi, tol) << c.index << " edge " << e;
      }
    }
    // The flow referred to 0 bar: the density ratio.
    const double rho0 = at(rhoatp_, 0.0);
    EXPECT_EQ(at(q0top_, 0.0), 1.0);
    for (double p : {-100000.0, -50000.0, 1e5, 3e7}) {
      double rho = at(rhoatp_, p);
      EXPECT_DOUBLE_EQ(at(q0top_, p), rho0 / rho);
      EXPECT_DOUBLE_EQ(q0top2_(&rho), rho0 / rho);
    }
  }
  EXPECT_EQ(KivTakeStepDownRequests(), 0);
  double p = 2e5, a = 1e-9, v0 = 3.0;
  EXPECT_DOUBLE_EQ(volatp_(&p, &a, &v0), 3.0 * (1 + 2e-4));
  EXPECT_DOUBLE_EQ(valatp_(&a, &p, &v0), 3.0 * (1 + 2e-4));
}

// The phases of a fluid of constant properties by volume per unit reference
// volume: liquid (1 - phi)(1 - alpha) e^(-p/B), free air x (101300 / P)^(1/n)
// T / T0 and vapour phi K4 / P^(1/n); the mass N = alpha rho_a + (1 - alpha) rho.
TEST_F(General, PhasesMixByVolume) {
  const ConstantFluid f = kCases[1];
  ASSERT_EQ(add(f), 0);
  select(f.index);
  const double alpha = f.air_percent / 100, n = f.polytropic, T = f.t_celsius + kT0;
  const double gstp = f.p_sat + kPatm, gvstp = f.high + kPatm, offset = f.high - f.low;
  const double rhovap = gvstp / (1000.0 / f.molar_mass * 8.3145107 * kT0);
  const double K4 = std::pow(gvstp, 1 / n) * T / kT0 * (1 - alpha) * f.rho / rhovap;
  const double N = alpha * f.air_density + (1 - alpha) * f.rho;
  for (double P : {1.0, 20000.0, 50000.0, 61300.0, 150000.0, 250000.0, 3e7}) {
    const double phi = P >= gvstp ? 0.0 : P <= gvstp - offset ? 1.0
                                                                : step9((P - gvstp + offset) / offset);
    const double x = P >= gstp ? 0.0 : P <= gvstp ? alpha : alpha * step9((P - gvstp) / (gstp - gvstp));
    const double VA = x * std::pow(kPatm / P, 1 / n) * T / kT0, VV = phi * K4 / std::pow(P, 1 / n);
    const double VL = (1 - phi) * (1 - alpha) * std::exp(-(P - kPatm) / f.bulk), V = VA + VL + VV;
    const double p = P - kPatm;
    EXPECT_NEAR(at(rhoatp_, p), N / V, 1e-12 * N / V) << P;
    const double mu = (f.mu_vapour * VV + f.mu_air * VA + f.mu * VL) / V;
    EXPECT_NEAR(at(muatp_, p), mu, 1e-12 * mu) << P;
    EXPECT_NEAR(at(fvoid_, p), (VA + VV) / V, 1e-12) << P;
  }
  // All vapour: the gas compressed polytropically.
  EXPECT_DOUBLE_EQ(at(bmatp_, 1000.0 - kPatm), n * 1000.0);
  EXPECT_EQ(at(fvoid_, 30000.0 - kPatm), 1.0);
  EXPECT_EQ(at(muatp_, 3e5), f.mu);
}

TEST_F(General, BulkModulusSlope) {
  const ConstantFluid c = kCases[2];
  ASSERT_EQ(add(c), 0);
  select(c.index);
  const double mix = c.rho + 0.005 * c.air_density / 0.995;
  for (double p : {2e5, 1e7, 1e8}) {
    EXPECT_NEAR(at(rhoatp_, p), mix * std::pow(1 + c.slope * p / c.bulk, 1 / c.slope), 1e-12 * mix);
    EXPECT_DOUBLE_EQ(at(bmatp_, p), c.bulk + c.slope * p);
  }
  EXPECT_EQ(at(bmliqonly_, 1e7), c.bulk);
}

TEST_F(General, FloorsAndCapsSignalDiscontinuities) {
  const ConstantFluid c{.index = 1};
  ASSERT_EQ(add(c), 0);
  select(1);
  KivTakeStepDownRequests();
  const double at_floor = at(rhoatp_, -kPatm);
  EXPECT_GT(at_floor, 0.0);
  EXPECT_EQ(at(rhoatp_, -3e5), at_floor);
  EXPECT_EQ(KivTakeStepDownRequests(), 2);
  const double mix = c.rho + 0.01 * c.air_density / 0.99;
  EXPECT_DOUBLE_EQ(at(rhoatp_, 200.0 * c.bulk), mix * std::exp(100.0));
  EXPECT_EQ(KivTakeStepDownRequests(), 1);
}

double userDensity(double *t_celsius, double *p) { return 1000.0 + *t_celsius + *p * 1e-6; }

TEST_F(General, UserFunctionsAnswerForTheirProperty) {
  int i = 6;
  const HydUserFunction bulk = [](double *, double *) { return 1.5e9; };
  const HydUserFunction temperature = [](double *t, double *) { return *t + 1000.0; };
  ASSERT_EQ(guarded([&] {
              fpuserd2_(&i, &userDensity, bulk, nullptr, nullptr, temperature, nullptr);
              return 0;
            }),
            0);
  select(6);
  EXPECT_DOUBLE_EQ(at(rhoatp_, 2e6), 1000.0 + 40.0 + 2.0);
  EXPECT_EQ(at(bmatp_, 2e6), 1.5e9);
  EXPECT_EQ(at(bm2atp_, 2e6), 1.5e9);
  EXPECT_DOUBLE_EQ(at(tatp_, 0.0), 1040.0);
  EXPECT_EQ(at(muatp_, 1e6), 0.051);  // no user viscosity: the record's law

  // The index is taken, whatever family comes next.
  EXPECT_EQ(guarded([&] { fpuserd_(&i, nullptr, nullptr, nullptr); return 0; }), -2);
  EXPECT_EQ(takeErr(), "Hydraulic property index 6\nis already defined.\n");
}

// The index-0 fluid with equal vapour pressures, no family switch: the older
// single-band model.
TEST_F(General, OlderSingleBandModel) {
  const ConstantFluid c{.p_sat = 1e5, .air_percent = 2.0, .low = -90000.0};
  ASSERT_EQ(add(c), 0);
  select(0);
  const double alpha = 0.02, n = c.polytropic, B = c.bulk, rho = c.rho;
  const double gstp = c.p_sat + kPatm, rhogas = 2937.7 / kT0 / 8.314;
  EXPECT_DOUBLE_EQ(at(rhoatp_, 3e5), (rho + alpha * c.air_density / (1 - alpha)) * std::exp(3e5 / B));
  for (double P : {10.0, 5e4, 1.9e5}) {
    const double x = alpha * step8(P / gstp), d = alpha - x;
    const double M = (rho + rhogas * d / (1 - d)) * (1 - x) + rhogas * x;
    const double E = std::exp(-(P - kPatm) / B), r = std::pow(kPatm / P, 1 / n);
    EXPECT_NEAR(at(rhoatp_, P - kPatm), M / (x * r + (1 - x) * E), 1e-12 * rho) << P;
    EXPECT_NEAR(at(muatp_, P - kPatm), c.mu * (1 + 1000 * x * r / (x * r + E * (1 - x))), 1e-12 * c.mu)
        << P;
    EXPECT_LT(relative(at(bmatp_, P - kPatm), densityTangent(P - kPatm, 1e-5 * P)), 1e-6) << P;
  }
}

}  // namespace
}  // namespace kiv::test
