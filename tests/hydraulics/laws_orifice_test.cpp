// Orifice flow laws against the orifice equation q = Cd A sqrt(2 dp / rho)
// in the turbulent limit and the linear law of the laminar limit, the flow
// referred to 0 bar, and the equivalent-area search.
#include <cmath>
#include <string>

#include "laws_support.hpp"

namespace kiv::test {
namespace {

using Orifice = LawsTest;

struct Out {
  double q, cq, lambda, v;
};

Out orifice(double p1, double p2, double A, double dh, double cqmax, double lcrit) {
  Out o{};
  o.q = orif3f_(&p1, &p2, &A, &dh, &cqmax, &lcrit, &o.cq, &o.lambda, &o.v);
  return o;
}

TEST_F(Orifice, TurbulentLimitIsTheOrificeEquationReferredToZeroBar) {
  const double A = 2e-6, dh = 1.6e-3, cd = 0.7;
  for (double p1 : {50e5, 200e5, 350e5}) {
    for (double p2 : {0.0, 10e5}) {
      SCOPED_TRACE(p1);
      const double pm = 0.5 * (p1 + p2), dp = p1 - p2;
      const Out o = orifice(p1, p2, A, dh, cd, 10.0);  // lambda is in the thousands
      const double at_pm = cd * A * std::sqrt(2.0 * dp / rho(pm));
      EXPECT_GT(o.lambda, 1000.0);
      EXPECT_NEAR(o.lambda, dh / nu(pm) * std::sqrt(2.0 * dp / rho(pm)), 1e-10 * o.lambda);
      EXPECT_NEAR(o.cq, cd, 1e-15);
      EXPECT_NEAR(o.v, o.q / A * kRho0 / rho(pm), 1e-12 * o.v);
      // Referred to 0 bar: the same mass flow at the density of 0 bar.
      EXPECT_NEAR(o.q, at_pm * rho(pm) / kRho0, 1e-12 * at_pm);
      EXPECT_GT(o.q, at_pm);
    }
  }
}

TEST_F(Orifice, LaminarLimitIsLinearInThePressureDrop) {
  // tanh(x) ~ x: q = Cqmax 2 lambda / lcrit A w = 4 Cqmax dh A dp / (mu lcrit).
  const double A = 1e-6, dh = 1e-3, cqmax = 0.7, lcrit = 1e6;
  const double slope = 4.0 * cqmax * dh * A / (kMu * lcrit);
  for (double dp : {0.5, 2.0, 8.0}) {
    const Out o = orifice(dp, 0.0, A, dh, cqmax, lcrit);
    EXPECT_NEAR(o.q / dp, slope, 1e-6 * slope) << dp;
  }
  const Out a = orifice(4.0, 0.0, A, dh, cqmax, lcrit), b = orifice(8.0, 0.0, A, dh, cqmax, lcrit);
  EXPECT_NEAR(b.q / a.q, 2.0, 1e-7);
}

TEST_F(Orifice, SignAndSymmetry) {
  const Out f = orifice(30e5, 10e5, 3e-6, 2e-3, 0.65, 800.0);
  const Out r = orifice(10e5, 30e5, 3e-6, 2e-3, 0.65, 800.0);
  EXPECT_GT(f.q, 0.0);
  EXPECT_EQ(r.q, -f.q);
  EXPECT_EQ(r.v, -f.v);
  EXPECT_LT(r.v, 0.0);
  EXPECT_EQ(r.cq, f.cq);
  EXPECT_EQ(r.lambda, f.lambda);
  EXPECT_GT(r.cq, 0.0);

  double p1 = 30e5, p2 = 10e5, A = 3e-6, dh = 2e-3, cqmax = 0.65, lcrit = 800.0, cq, lambda;
  EXPECT_EQ(orif3_(&p1, &p2, &A, &dh, &cqmax, &lcrit), f.q);
  EXPECT_EQ(orif3b_(&p1, &p2, &A, &dh, &cqmax, &lcrit, &cq, &lambda), f.q);
  EXPECT_EQ(cq, f.cq);
  EXPECT_EQ(lambda, f.lambda);
}

TEST_F(Orifice, CoefficientAtTheCriticalFlowNumber) {
  const Out o = orifice(20e5, 0.0, 1e-6, 1e-3, 0.7, 500.0);
  const Out half = orifice(20e5, 0.0, 1e-6, 1e-3, 0.7, o.lambda / 2.0);
  EXPECT_DOUBLE_EQ(half.cq, 0.7 * std::tanh(4.0));
  const Out at = orifice(20e5, 0.0, 1e-6, 1e-3, 0.7, o.lambda);
  EXPECT_NEAR(at.cq, 0.7 * 0.9640275800758169, 1e-15);
}

TEST_F(Orifice, ClosedOrEqualPressuresNeverReadTheFluid) {
  // A system without any fluid: reading a property would end the run.
  KIVSystem *bare = KivCreateSystem();
  KivInstallPrintHook(bare, [](FILE *, const char *, void *) {}, nullptr);
  Out closed{1, 1, 1, 1}, level{1, 1, 1, 1};
  double tanh_q = 1.0, tanh_cq = 1.0, tanh_l = 1.0, tanh_v = 1.0;
  const int rc = kiv::guarded(bare, [&] {
    kiv::hyd::forgetCurrentFluid();
    closed = orifice(20e5, 0.0, 0.0, 1e-3, 0.7, 500.0);
    level = orifice(7e5, 7e5, 1e-6, 1e-3, 0.7, 500.0);
    double dp = 1e5, rho = 850, nu = 1e-5, A = 0.0, dh = 1e-3, cqmax = 0.7, lcrit = 1000;
    tanh_q = OrificeFlow(&dp, &rho, &nu, &A, &dh, &cqmax, &lcrit, &tanh_cq, &tanh_l, &tanh_v);
    if (orif2_(&dp, &A, &dh, &cqmax, &lcrit, &rho, &nu) != 0.0) return 1;
    return 0;
  });
  KivReleaseSystem(bare);
  KivMakeCurrent(sys_);
  EXPECT_EQ(rc, 0);
  // The same calls do end the run once a property is read.
  KIVSystem *check = KivCreateSystem();
  KivInstallPrintHook(check, [](FILE *, const char *, void *) {}, nullptr);
  EXPECT_EQ(kiv::guarded(check, [&] {
              kiv::hyd::forgetCurrentFluid();
              orifice(7e5, 6e5, 1e-6, 1e-3, 0.7, 500.0);
              return 0;
            }),
            -2);
  KivReleaseSystem(check);
  KivMakeCurrent(sys_);
  select(1);
  for (const Out &o : {closed, level}) {
    EXPECT_EQ(o.q, 0.0);
    EXPECT_EQ(o.cq, 0.0);
    EXPECT_EQ(o.lambda, 0.0);
    EXPECT_EQ(o.v, 0.0);
  }
  EXPECT_EQ(tanh_q, 0.0);
  EXPECT_EQ(tanh_cq + tanh_l + tanh_v, 0.0);
}

TEST_F(Orifice, TanhLawAtGivenProperties) {
  double dp = -3e5, rho = 870.0, nu = 2e-5, A = 5e-6, dh = 2.5e-3, cqmax = 0.72, lcrit = 900.0;
  double cq, lambda, v;
  const double q = OrificeFlow(&dp, &rho, &nu, &A, &dh, &cqmax, &lcrit, &cq, &lambda, &v);
  const double w = std::sqrt(2.0 * 3e5 / rho);
  EXPECT_DOUBLE_EQ(lambda, dh * w / nu);
  EXPECT_DOUBLE_EQ(cq, cqmax * std::tanh(2.0 * lambda / lcrit));
  EXPECT_DOUBLE_EQ(q, -cq * A * w);
  EXPECT_DOUBLE_EQ(v, -cq * w);
  EXPECT_EQ(orif2_(&dp, &A, &dh, &cqmax, &lcrit, &rho, &nu), q);
}

// ---- Short restriction -------------------------------------------------------

struct Short {
  double q, cq, lambda, v;
};

Short shortTube(double p1, double p2, double A, double dh, double L) {
  Short s{};
  s.q = orif3sht_(&p1, &p2, &A, &dh, &L, &s.cq, &s.lambda, &s.v);
  return s;
}

TEST_F(Orifice, ShortRestrictionTendsToItsTurbulentLimit) {
  // Long enough restriction, very high flow number: Cq -> K(r), and K -> 0.76
  // as r grows (the exponentials in r vanish).
  const double dh = 2e-3, L = 5.0 * dh, A = circleArea(dh);
  const Short s = shortTube(300e5, 0.0, A, dh, L);
  ASSERT_GT(s.lambda, 1e4);
  EXPECT_NEAR(s.cq, 0.76, 0.03);
  EXPECT_LT(s.cq, 0.8);
  const double pm = 150e5, w = std::sqrt(2.0 * 300e5 / rho(pm));
  EXPECT_NEAR(s.q, s.cq * A * w * rho(pm) / kRho0, 1e-12 * s.q);
  EXPECT_NEAR(s.v, s.cq * w, 1e-12 * s.v);
  const Short r = shortTube(0.0, 300e5, A, dh, L);
  EXPECT_EQ(r.q, -s.q);
  EXPECT_EQ(r.v, -s.v);
  EXPECT_EQ(r.cq, s.cq);
}

TEST_F(Orifice, ShortRestrictionOfZeroLengthStaysFinite) {
  const double dh = 1e-3, A = circleArea(dh);
  const Short level = shortTube(5e5, 5e5, A, dh, 0.0);
  EXPECT_EQ(level.q, 0.0);
  EXPECT_EQ(level.cq, 0.0);
  EXPECT_EQ(level.lambda, 0.0);
  EXPECT_EQ(level.v, 0.0);
  // At L = 0 only the lambda^0.45 term is left, and L -> 0 tends to it.
  const Short zero = shortTube(5e5, 4e5, A, dh, 0.0);
  EXPECT_DOUBLE_EQ(zero.cq, 0.1695 * std::pow(zero.lambda, 0.45));
  const Short tiny = shortTube(5e5, 4e5, A, dh, 1e-30);
  EXPECT_NEAR(tiny.cq, zero.cq, 1e-12);
  const Short closed = shortTube(5e5, 4e5, 0.0, dh, 1e-3);
  EXPECT_EQ(closed.q + closed.cq + closed.lambda + closed.v, 0.0);
}

TEST_F(Orifice, ShortRestrictionCoefficientRisesWithFlowInItsRange) {
  const double dh = 1e-3, A = circleArea(dh);
  for (double ratio : {0.6, 1.0, 3.0, 10.0, 50.0}) {
    double previous = 0.0;
    for (double dp = 10.0; dp < 1e8; dp *= 3.0) {
      const Short s = shortTube(dp, 0.0, A, dh, ratio * dh);
      EXPECT_GE(s.cq, previous * (1 - 1e-9)) << ratio << " " << dp;
      EXPECT_LT(s.cq, 0.85);
      previous = s.cq;
    }
  }
}

// ---- User flow coefficient without an interpreter -----------------------------

TEST_F(Orifice, UserCoefficientOfAnUnknownObject) {
  double p1 = 2e5, p2 = 1e5, A = 1e-6, dh = 1e-3, cq = 1, lambda = 1, v = 1;
  int id = 3;
  double closed = 0.0;
  const double q = orif4f_(&p1, &p2, &A, &dh, &id, &cq, &lambda, &v);
  EXPECT_EQ(q, 0.0);
  EXPECT_EQ(cq, 0.0);
  EXPECT_GT(lambda, 0.0);
  EXPECT_EQ(takeErr(),
            "Call to streval with an invalid index 3\n"
            "No expression structure or spline has been created with this index\n");
  EXPECT_EQ(orif4f_(&p1, &p2, &closed, &dh, &id, &cq, &lambda, &v), 0.0);
  EXPECT_EQ(cq + lambda + v, 0.0);
  EXPECT_EQ(takeErr(), "");
}

// ---- Laminar-band law -----------------------------------------------------------

double band(double dp, int &state, double dpt = 1e5) {
  double cq = 0.6, A = 1e-6, rho = 850.0;
  return orific_(&dp, &cq, &A, &dpt, &rho, &state);
}

TEST_F(Orifice, LaminarBandLawChoosesItsRegime) {
  const double dpt = 1e5, edge = 0.6 * 1e-6 * std::sqrt(2.0 * dpt / 850.0);
  int state = 7;
  EXPECT_EQ(band(dpt, state), edge);  // turbulent at the edge, same value as the band
  EXPECT_EQ(state, 1);
  EXPECT_EQ(band(-dpt, state), -edge);
  EXPECT_EQ(state, -1);
  EXPECT_DOUBLE_EQ(band(0.25 * dpt, state), 0.25 * edge);
  EXPECT_EQ(state, 0);
  EXPECT_DOUBLE_EQ(band(4.0 * dpt, state), 2.0 * edge);
  EXPECT_EQ(state, 1);
  EXPECT_DOUBLE_EQ(band(-9.0 * dpt, state), -3.0 * edge);
  EXPECT_EQ(state, -1);
}

TEST_F(Orifice, LaminarBandLawHoldsItsRegimeAndReportsCrossings) {
  int state = 1;
  band(2e5, state);
  double q = 0.0;
  // Held turbulent at 0.9 dpt: still the square-root law, nothing reported.
  EXPECT_EQ(locate([&] { q = band(0.9e5, state); }), 2);
  EXPECT_EQ(state, 1);
  EXPECT_DOUBLE_EQ(q, 0.6 * 1e-6 * std::sqrt(2.0 * 0.9e5 / 850.0));
  // Past 0.8 dpt: crossing reported, far from the threshold (3) or at it (4).
  EXPECT_EQ(locate([&] { q = band(0.5e5, state); }), 3);
  EXPECT_EQ(locate([&] { band(0.8e5 - 0.05, state); }), 4);
  // A held turbulent regime gives no flow on the wrong side.
  EXPECT_EQ(locate([&] { q = band(-1e3, state); }), 3);
  EXPECT_EQ(q, 0.0);
  state = -1;
  EXPECT_EQ(locate([&] { q = band(1e3, state); }), 3);
  EXPECT_EQ(q, 0.0);
  EXPECT_EQ(locate([&] { band(-0.9e5, state); }), 2);
  // The band is left at 1.2 dpt on either side.
  state = 0;
  EXPECT_EQ(locate([&] { q = band(1.1e5, state); }), 2);
  EXPECT_DOUBLE_EQ(q, 1.1 * 0.6 * 1e-6 * std::sqrt(2.0 * 1e5 / 850.0));
  EXPECT_EQ(locate([&] { band(-1.3e5, state); }), 3);
  EXPECT_EQ(locate([&] { band(1.2e5 + 0.05, state); }), 4);
  // Held in the band at its edge: the value of the turbulent law there.
  EXPECT_EQ(locate([&] { q = band(1e5, state); }), 2);
  EXPECT_EQ(q, 0.6 * 1e-6 * std::sqrt(2.0 * 1e5 / 850.0));
  // Any other word acts as the band, and is kept while locating.
  state = 5;
  EXPECT_EQ(locate([&] { band(0.5e5, state); }), 2);
  EXPECT_EQ(state, 5);
}

// ---- Equivalent area ------------------------------------------------------------

TEST_F(Orifice, EquivalentAreaInvertsTheTanhLaw) {
  const double rho = 860.0, nu = 3e-5, lcrit = 1000.0, cqmax = 0.7;
  for (double dp : {1.0, 1e3, 1e5, 1e7}) {
    for (double q : {1e-9, 1e-6, 1e-3}) {
      SCOPED_TRACE(testing::Message() << dp << " " << q);
      double r = rho, qq = q, p = dp, c = cqmax, a = nu, b = lcrit, A = -1, dh = -1;
      ASSERT_EQ(guarded([&] { eqarea(&r, &qq, &p, &c, &a, &b, &A, &dh); return 0; }), 0);
      EXPECT_EQ(takeErr(), "");
      EXPECT_DOUBLE_EQ(dh, 2.0 * std::sqrt(A / std::numbers::pi));
      double back = orif2_(&p, &A, &dh, &c, &b, &r, &a);
      EXPECT_NEAR(back, q, 1e-12 * q);
      // Never below the area of the turbulent limit.
      EXPECT_GE(A, q / (cqmax * std::sqrt(2.0 * dp / rho)));
    }
  }
}

TEST_F(Orifice, EquivalentAreaDependsOnTheViscosityProductOnly) {
  double rho = 850, q = 2e-5, dp = 4e4, c = 0.7, a1 = 2e-5, b1 = 1000, a2 = 4e-3, b2 = 5;
  double A1, d1, A2, d2;
  eqarea_(&rho, &q, &dp, &c, &a1, &b1, &A1, &d1);
  eqarea(&rho, &q, &dp, &c, &a2, &b2, &A2, &d2);
  EXPECT_DOUBLE_EQ(A1, A2);
  EXPECT_DOUBLE_EQ(d1, d2);
}

TEST_F(Orifice, EquivalentAreaOfNoFlowOrOfNoPressureDrop) {
  double rho = 850, q = 0, dp = 1e5, c = 0.7, a = 2e-5, b = 1000, A = 1, dh = 1;
  eqarea(&rho, &q, &dp, &c, &a, &b, &A, &dh);
  EXPECT_EQ(A, 0.0);
  EXPECT_EQ(dh, 0.0);
  int id = 0;
  A = dh = 1;
  EqGeneralArea_(&rho, &q, &dp, &a, &id, &A, &dh);
  EXPECT_EQ(A + dh, 0.0);
  EXPECT_EQ(takeErr(), "");

  q = 1e-4;
  dp = 0.0;
  EXPECT_EQ(guarded([&] { eqarea(&rho, &q, &dp, &c, &a, &b, &A, &dh); return 0; }), -2);
  EXPECT_EQ(exitCode(), 1);
  EXPECT_EQ(takeErr(),
            "\nCannot find a orifice area for in eqarea\n"
            "Values are flow rate 1.000000e-04 [m**3/s] and pressure drop 0.000000e+00 [Pa].\n"
            "Aborting program.\n");
}

TEST_F(Orifice, EquivalentAreaOfAReversedFlowIsRefused) {
  double rho = 850, q = -1e-5, dp = 1e5, c = 0.7, a = 2e-5, b = 1000, A = 0, dh = 0;
  EXPECT_EQ(guarded([&] { eqarea(&rho, &q, &dp, &c, &a, &b, &A, &dh); return 0; }), -2);
  EXPECT_EQ(takeErr(),
            "Error detected in kivNLSolve.\nfunc(xl) and func(xr) have the same sign.\n"
            "\nCannot find a orifice area for in eqarea\n"
            "Values are flow rate -1.000000e-05 [m**3/s] and pressure drop 1.000000e+05 [Pa].\n"
            "Aborting program.\n");
}

TEST_F(Orifice, GeneralAreaWithoutACoefficientLawEndsTheRun) {
  double rho = 850, q = 1e-5, dp = 1e5, nu = 2e-5, A = 0, dh = 0;
  int id = 0;
  EXPECT_EQ(guarded([&] { EqGeneralArea_(&rho, &q, &dp, &nu, &id, &A, &dh); return 0; }), -2);
  const std::string err = takeErr();
  const std::string tail =
      "\nCannot find a orifice area for in EqGeneralArea\n"
      "Values are flow rate 1.000000e-05 pressure drop 1.000000e+05\n"
      "Aborting program.\n";
  ASSERT_GE(err.size(), tail.size());
  EXPECT_EQ(err.substr(err.size() - tail.size()), tail);
}

}  // namespace
}  // namespace kiv::test
