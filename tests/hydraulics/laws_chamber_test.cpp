// Chamber pressure derivative against dp/dt = B q / V and against the mass
// balance d(rho V)/dt = rho0 q, and the fluid totals it feeds.
#include "fluid_test.hpp"

namespace kiv::test {
namespace {

struct Derivative {
  double dpdt, ratio, V, Beff;
};

Derivative chamber(double p, double V0, double a, double q, Derivative d = {}) {
  d.dpdt = pcdyn02_(&p, &V0, &a, &q, &d.ratio, &d.V, &d.Beff);
  return d;
}

class Chamber : public LawsTest {
 public:
  void SetUp() override {
    LawsTest::SetUp();
    KivSetFirstCall(1);
    int index = 1;
    hydrinit_volmass_(&volume_, &mass_, &index);
    KivSetFirstCall(0);
    select(1);
  }
  double volume_ = -1, mass_ = -1;
};

TEST_F(Chamber, RigidChamberTakesTheFlowAtItsDensity) {
  const double V0 = 2e-5, q = 3e-5;
  const Derivative d = chamber(0.0, V0, 0.0, q);
  EXPECT_DOUBLE_EQ(d.dpdt, kBulk * q / V0);
  EXPECT_EQ(std::tuple(d.Beff, d.V, d.ratio), std::tuple(kBulk, V0, 1e30));
  double p = 0.0, a = 0.0, v0 = V0, qq = q;
  EXPECT_EQ(pcdyn2_(&p, &a, &v0, &qq), d.dpdt);
  // q is referred to 0 bar: at p it is q rho0 / rho(p) = q exp(-p / B).
  for (double p : {10e5, 100e5, 300e5}) {
    const double expected = kBulk * -q * std::exp(-p / kBulk) / V0;
    EXPECT_NEAR(chamber(p, V0, 0.0, -q).dpdt, expected, 1e-12 * std::fabs(expected)) << p;
  }
}

TEST_F(Chamber, CompliantChamberFollowsTheMassBalance) {
  // dp/dt = rho0 q / (d(rho V)/dp), the slope taken by central differences
  // of the fluid's density and the wall law V0 (1 + a p).
  const double V0 = 5e-5, q = 1e-5;
  for (double a : {1e-10, 5e-9}) {
    for (double p : {0.0, 20e5, 250e5}) {
      auto mass = [&](double x) { return at(rhoatp_, x) * V0 * (1.0 + a * x); };
      const double slope = mass(p) / bulkByDifference(mass, p, 100.0);
      const Derivative d = chamber(p, V0, a, q);
      EXPECT_NEAR(d.dpdt, kRho0 * q / slope, 1e-7 * d.dpdt) << a << " " << p;
      EXPECT_DOUBLE_EQ(d.V, V0 * (1.0 + a * p));
      EXPECT_DOUBLE_EQ(d.ratio, (1.0 + a * p) / a);
      EXPECT_LT(d.Beff, kBulk);
    }
  }
  // Walls compressed to nothing (a p = -2): the ratio is floored at 1e-10.
  EXPECT_DOUBLE_EQ(chamber(-2e6, 1e-5, 1e-6, 1e-6).ratio, 1e-10 / 1e-6);
}

TEST_F(Chamber, VisibleEvaluationsAddVolumeAndMass) {
  const double V0 = 2e-5, a = 1e-9, p = 40e5, V = V0 * (1.0 + a * p);
  KIVRunFlags flags{};  // not printing, no visibility enforced: nothing added
  KivSetRunFlags(&flags);
  EXPECT_GT(chamber(p, V0, a, 1e-5).dpdt, 0.0);
  EXPECT_EQ(volume_ + mass_, 0.0);
  flags.printing = 1;
  KivSetRunFlags(&flags);
  chamber(p, V0, a, 1e-5);
  EXPECT_DOUBLE_EQ(volume_, 1000.0 * V);
  EXPECT_DOUBLE_EQ(mass_, rho(p) * V);
  flags.printing = 0;
  flags.linearisation = 1;
  KivSetRunFlags(&flags);
  chamber(0.0, V0, 0.0, 0.0);
  EXPECT_DOUBLE_EQ(volume_, 1000.0 * (V + V0));
  EXPECT_DOUBLE_EQ(mass_, rho(p) * V + kRho0 * V0);
}

TEST_F(Chamber, StabilisingRunsUseAStiffConstantLawAndAddNothing) {
  for (int which = 0; which < 2; ++which) {
    KIVRunFlags flags{};
    flags.printing = 1;
    (which ? flags.consistent_state : flags.stabilizing) = 1;
    KivSetRunFlags(&flags);
    double p = 123e5, V0 = 1e-9, a = 1e-7, q = 2.5e-4;
    const Derivative d = chamber(p, V0, a, q, {-1, -2, -3, -4});
    EXPECT_EQ(d.dpdt, 6e9 * 2.5e-4);
    EXPECT_EQ(d.ratio + d.V + d.Beff, -9);  // left as they were
    EXPECT_EQ(pcdyn2_(&p, &a, &V0, &q), 6e9 * 2.5e-4);
  }
  EXPECT_EQ(volume_ + mass_, 0.0);
}

}  // namespace
}  // namespace kiv::test
