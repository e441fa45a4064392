// Density and bulk modulus of the general family and of the older
// single-band model, checked against closed forms and against the tangent
// of their own density law.
#include <vector>

#include "fluid_test.hpp"

namespace kiv::test {
namespace {

constexpr double kPatm = 101300.0, kT0 = 273.15;

struct Case {
  const char *name;
  ConstantFluid fluid;
};

std::vector<Case> cases() {
  std::vector<Case> v;
  ConstantFluid a;  // the defaults: 1 % air dissolving at 0 bar, vapour below -0.9 bar
  a.index = 1;
  v.push_back({"one per cent air", a});
  ConstantFluid b;
  b.index = 2;
  b.air_percent = 5.0;
  b.p_sat = 2e5;
  b.high = -50000.0;
  b.low = -80000.0;
  b.polytropic = 1.0;
  b.t_celsius = 80.0;
  v.push_back({"isothermal air, wide vapour band", b});
  ConstantFluid c;
  c.index = 3;
  c.slope = 10.0;
  c.air_percent = 0.5;
  c.p_sat = 1e5;
  v.push_back({"bulk-modulus slope", c});
  ConstantFluid d;
  d.index = 4;
  d.air_percent = 0.0;
  d.air_density = 0.0;  // the ideal-gas value
  v.push_back({"no air", d});
  return v;
}

class General : public FluidTest {
 protected:
  // Absolute pressures of the band edges of the current fluid.
  std::vector<double> edges() const {
    const HydCurrentFluid &f = kiv::hyd::fluid();
    return {f.gstp, f.gvstp, f.gvstp - f.goffset};
  }
};

TEST_F(General, BulkModulusIsTheTangentOfTheDensity) {
  const auto all = cases();
  ASSERT_EQ(guarded([&] { for (const auto &c : all) define(c.fluid); return 0; }), 0);
  for (const auto &c : all) {
    SCOPED_TRACE(c.name);
    select(c.fluid.index);
    const auto e = edges();
    int checked = 0;
    for (double P = 50.0; P < 3e8; P *= 1.07) {
      double distance = P;
      for (double x : e) distance = std::min(distance, std::fabs(P - x));
      if (distance < 1e-3 * P) continue;
      const double h = 1e-3 * distance;
      const double p = P - kPatm;
      const double numeric = bulkByDifference([](double q) { return at(rhoatp_, q); }, p, h);
      EXPECT_LT(relative(at(bmatp_, p), numeric), 2e-6) << "P = " << P;
      // Holding the composition can only stiffen the mixture.
      EXPECT_GE(at(bm2atp_, p) * (1 + 1e-12), at(bmatp_, p)) << "P = " << P;
      ++checked;
    }
    EXPECT_GT(checked, 200);
    EXPECT_EQ(KivTakeStepDownRequests(), 0);
  }
}

TEST_F(General, ContinuousAcrossBandEdges) {
  const auto all = cases();
  ASSERT_EQ(guarded([&] { for (const auto &c : all) define(c.fluid); return 0; }), 0);
  for (const auto &c : all) {
    SCOPED_TRACE(c.name);
    select(c.fluid.index);
    for (double edge : edges()) {
      if (edge <= 0.0) continue;
      const double below = edge * (1 - 1e-10) - kPatm, above = edge * (1 + 1e-10) - kPatm;
      const double on = edge - kPatm;
      for (auto f : {rhoatp_, bmatp_, bm2atp_, muatp_, fvoid_}) {
        const double lo = at(f, below), hi = at(f, above), mid = at(f, on);
        EXPECT_NEAR(lo, hi, 1e-6 * std::fabs(hi) + 1e-12) << "edge " << edge;
        EXPECT_NEAR(mid, hi, 1e-6 * std::fabs(hi) + 1e-12) << "edge " << edge;
      }
    }
  }
}

TEST_F(General, DensityClosedForms) {
  ConstantFluid a = cases()[1].fluid;  // 5 % air, n = 1, 80 degC
  ASSERT_EQ(guarded([&] { define(a); return 0; }), 0);
  select(a.index);
  const double alpha = 0.05, rho = a.rho, B = a.bulk, rhoa = a.air_density;
  const double T = a.t_celsius + kT0, n = a.polytropic;
  const double N = alpha * rhoa + (1 - alpha) * rho;

  // All air dissolved.
  for (double p : {2e5, 1e6, 3e7})
    EXPECT_DOUBLE_EQ(at(rhoatp_, p), (rho + alpha * rhoa / (1 - alpha)) * std::exp(p / B));

  // Free air between the vapour and the air saturation pressures.
  const double gstp = a.p_sat + kPatm, gvstp = a.high + kPatm;
  for (double P : {60000.0, 150000.0, 290000.0}) {
    const double x = alpha * step9((P - gvstp) / (gstp - gvstp));
    const double V = (1 - alpha) * std::exp(-(P - kPatm) / B) +
                     x * std::pow(kPatm / P, 1 / n) * T / kT0;
    EXPECT_NEAR(at(rhoatp_, P - kPatm), N / V, 1e-12 * N / V) << P;
  }

  // All vapour: gas compressed polytropically, rho proportional to P^(1/n).
  const double rhovap = gvstp / (1000.0 / a.molar_mass * 8.3145107 * kT0);
  const double K3 = alpha * std::pow(kPatm, 1 / n) * T / kT0;
  const double K4 = std::pow(gvstp, 1 / n) * T / kT0 * (1 - alpha) * rho / rhovap;
  for (double P : {1.0, 500.0, 21000.0})
    EXPECT_NEAR(at(rhoatp_, P - kPatm), std::pow(P, 1 / n) * N / (K3 + K4), 1e-12 * N) << P;
  EXPECT_DOUBLE_EQ(at(bmatp_, 1000.0 - kPatm), n * 1000.0);

  // Vapour forming: at the high saturation pressure the density is that of
  // the free-air band.
  const double V = (1 - alpha) * std::exp(-(gvstp - kPatm) / B) +
                   alpha * std::pow(kPatm / gvstp, 1 / n) * T / kT0;
  EXPECT_NEAR(at(rhoatp_, gvstp - kPatm), N / V, 1e-12 * N / V);
}

TEST_F(General, BulkModulusSlope) {
  ConstantFluid c = cases()[2].fluid;
  ASSERT_EQ(guarded([&] { define(c); return 0; }), 0);
  select(c.index);
  const double mix = c.rho + 0.005 * c.air_density / 0.995;
  for (double p : {2e5, 1e7, 1e8}) {
    EXPECT_NEAR(at(rhoatp_, p), mix * std::pow(1 + c.slope * p / c.bulk, 1 / c.slope), 1e-12 * mix);
    EXPECT_DOUBLE_EQ(at(bmatp_, p), c.bulk + c.slope * p);
  }
  EXPECT_EQ(at(bmliqonly_, 1e7), c.bulk);
}

TEST_F(General, FlowRatioIsTheDensityRatio) {
  const auto all = cases();
  ASSERT_EQ(guarded([&] { for (const auto &c : all) define(c.fluid); return 0; }), 0);
  for (const auto &c : all) {
    SCOPED_TRACE(c.name);
    select(c.fluid.index);
    const double rho0 = at(rhoatp_, 0.0);
    EXPECT_EQ(at(q0top_, 0.0), 1.0);
    for (double p : {-100000.0, -50000.0, 1e5, 3e7}) {
      EXPECT_DOUBLE_EQ(at(q0top_, p), rho0 / at(rhoatp_, p));
      double rho = at(rhoatp_, p);
      EXPECT_DOUBLE_EQ(q0top2_(&rho), rho0 / rho);
    }
  }
  // Alternating fluids: each ratio uses its own fluid's density at 0 Pa.
  for (int k = 0; k < 2; ++k) {
    select(1);
    const double r1 = at(rhoatp_, 0.0) / at(rhoatp_, 1e7);
    EXPECT_DOUBLE_EQ(at(q0top_, 1e7), r1);
    select(2);
    const double r2 = at(rhoatp_, 0.0) / at(rhoatp_, 1e7);
    EXPECT_DOUBLE_EQ(at(q0top_, 1e7), r2);
  }
  double p = 2e5, a = 1e-9, v0 = 3.0;
  EXPECT_DOUBLE_EQ(volatp_(&p, &a, &v0), 3.0 * (1 + 2e-4));
  EXPECT_DOUBLE_EQ(valatp_(&a, &p, &v0), 3.0 * (1 + 2e-4));
}

TEST_F(General, FloorsAndCapsSignalDiscontinuities) {
  ConstantFluid c;
  c.index = 1;
  ASSERT_EQ(guarded([&] { define(c); return 0; }), 0);
  select(1);
  KivTakeStepDownRequests();
  const double at_floor = at(rhoatp_, -kPatm);
  EXPECT_GT(at_floor, 0.0);
  EXPECT_EQ(at(rhoatp_, -3e5), at_floor);
  EXPECT_EQ(KivTakeStepDownRequests(), 2);
  const double mix = c.rho + 0.01 * c.air_density / 0.99;
  EXPECT_DOUBLE_EQ(at(rhoatp_, 200.0 * c.bulk), mix * std::exp(100.0));
  EXPECT_EQ(KivTakeStepDownRequests(), 1);
  EXPECT_TRUE(std::isfinite(at(bmatp_, -3e5)));
  EXPECT_TRUE(std::isfinite(at(muatp_, -3e5)));
}

double userDensity(double *t_celsius, double *p) { return 1000.0 + *t_celsius + *p * 1e-6; }

TEST_F(General, UserFunctionsAnswerForTheirProperty) {
  ConstantFluid c;
  c.index = 6;
  HydFluidRecord *r = nullptr;
  ASSERT_EQ(guarded([&] { r = &define(c); return 0; }), 0);
  r->user[KIV_HYD_USER_DENSITY] = &userDensity;
  r->user[KIV_HYD_USER_BULK_MODULUS] = [](double *, double *) { return 1.5e9; };
  r->user[KIV_HYD_USER_TEMPERATURE] = [](double *t, double *) { return *t + 1000.0; };
  select(6);
  EXPECT_DOUBLE_EQ(at(rhoatp_, 2e6), 1000.0 + 40.0 + 2.0);
  EXPECT_EQ(at(bmatp_, 2e6), 1.5e9);
  EXPECT_EQ(at(bm2atp_, 2e6), 1.5e9);
  EXPECT_DOUBLE_EQ(at(tatp_, 0.0), 1040.0);
  int i = 6;
  // A user density hides the record's vapour pressures.
  EXPECT_EQ(hydgetpvaph_(&i), -90000.0);
  EXPECT_EQ(hydgetpvapl_(&i), -100000.0);
  EXPECT_EQ(at(muatp_, 1e6), c.mu);  // no user viscosity: the record's law
}

// The index-0 fluid with equal vapour pressures, no family switch: the older
// single-band model.
TEST_F(General, OlderSingleBandModel) {
  ConstantFluid c;
  c.index = 0;
  c.high = c.low = -90000.0;
  c.air_percent = 2.0;
  c.p_sat = 1e5;
  ASSERT_EQ(guarded([&] { define(c); return 0; }), 0);
  select(0);
  const double alpha = 0.02, n = c.polytropic, B = c.bulk, rho = c.rho;
  const double gstp = c.p_sat + kPatm, rhogas = 2937.7 / kT0 / 8.314;
  const double mix = rho + alpha * c.air_density / (1 - alpha);
  EXPECT_DOUBLE_EQ(at(rhoatp_, 3e5), mix * std::exp(3e5 / B));
  EXPECT_EQ(at(bmatp_, 3e5), B);
  EXPECT_EQ(at(muatp_, 3e5), c.mu);
  for (double P : {10.0, 5e4, 1.9e5}) {
    const double x = alpha * step8(P / gstp), d = alpha - x;
    const double M = (rho + rhogas * d / (1 - d)) * (1 - x) + rhogas * x;
    const double E = std::exp(-(P - kPatm) / B), r = std::pow(kPatm / P, 1 / n);
    EXPECT_NEAR(at(rhoatp_, P - kPatm), M / (x * r + (1 - x) * E), 1e-12 * rho) << P;
    EXPECT_NEAR(at(muatp_, P - kPatm), c.mu * (1 + 1000 * x * r / (x * r + E * (1 - x))),
                1e-12 * c.mu)
        << P;
    const double h = 1e-5 * P;
    EXPECT_LT(relative(at(bmatp_, P - kPatm),
                       bulkByDifference([](double q) { return at(rhoatp_, q); }, P - kPatm, h)),
              1e-6)
        << P;
  }
  // Near absolute zero nearly all the volume is gas: the viscosity tends to
  // 1001 times the liquid's.
  EXPECT_GT(at(muatp_, 1e-3 - kPatm), 1000.0 * c.mu);
  EXPECT_LT(at(muatp_, 1e-3 - kPatm), 1001.0 * c.mu);
}

}  // namespace
}  // namespace kiv::test
