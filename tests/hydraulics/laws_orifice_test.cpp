// Orifice flow laws against the orifice equation q = Cd A sqrt(2 dp / rho)
// in the turbulent limit and the linear law of the laminar limit, the flow
// referred to 0 bar, the equivalent-area search, and the flow-direction
// switch with its hysteresis band driven through the evaluation modes.
#include <cmath>
#include <string>

#include "fluid_test.hpp"
#include "tables/kiv_interpret.h"

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

Out shortTube(double p1, double p2, double A, double dh, double L) {
  Out o{};
  o.q = orif3sht_(&p1, &p2, &A, &dh, &L, &o.cq, &o.lambda, &o.v);
  return o;
}

bool zero(const Out &o) { return o.q == 0.0 && o.cq == 0.0 && o.lambda == 0.0 && o.v == 0.0; }

TEST_F(Orifice, TurbulentAndLaminarLimits) {
  const double A = 2e-6, dh = 1.6e-3, cd = 0.7;
  for (double p1 : {50e5, 350e5}) {
    for (double p2 : {0.0, 10e5}) {
      const double pm = 0.5 * (p1 + p2), w = std::sqrt(2.0 * (p1 - p2) / rho(pm));
      const Out o = orifice(p1, p2, A, dh, cd, 10.0);  // lambda is in the thousands
      EXPECT_NEAR(o.lambda, dh / nu(pm) * w, 1e-10 * o.lambda);
      EXPECT_EQ(o.cq, cd);
      EXPECT_NEAR(o.v, cd * w, 1e-12 * o.v);
      // Referred to 0 bar: the same mass flow at the density of 0 bar.
      EXPECT_NEAR(o.q, cd * A * w * rho(pm) / kRho0, 1e-12 * o.q);
    }
  }
  // Cq = Cqmax tanh(2 lambda / lcrit): tanh(2) at lcrit, tanh(4) at lcrit / 2.
  const Out o = orifice(20e5, 0.0, 1e-6, 1e-3, 0.7, 500.0);
  EXPECT_NEAR(orifice(20e5, 0.0, 1e-6, 1e-3, 0.7, o.lambda).cq, 0.7 * 0.9640275800758169, 1e-15);
  EXPECT_DOUBLE_EQ(orifice(20e5, 0.0, 1e-6, 1e-3, 0.7, o.lambda / 2).cq, 0.7 * std::tanh(4.0));
  // Laminar limit, tanh(x) ~ x: q = Cqmax 2 lambda / lcrit A w = 4 Cqmax dh A dp / (mu lcrit).
  const double slope = 4.0 * 0.7 * 1e-3 * 1e-6 / (kMu * 1e6);
  for (double dp : {0.5, 2.0, 8.0})
    EXPECT_NEAR(orifice(dp, 0.0, 1e-6, 1e-3, 0.7, 1e6).q / dp, slope, 1e-6 * slope) << dp;
}

TEST_F(Orifice, SignAndSymmetry) {
  const Out f = orifice(30e5, 10e5, 3e-6, 2e-3, 0.65, 800.0);
  const Out r = orifice(10e5, 30e5, 3e-6, 2e-3, 0.65, 800.0);
  EXPECT_GT(f.q, 0.0);
  EXPECT_EQ(std::tuple(r.q, r.v, r.cq, r.lambda), std::tuple(-f.q, -f.v, f.cq, f.lambda));
  // At given properties the flow is at that density.
  double dp = -2e6, rho = 870.0, nu = 2e-5, v, A = 3e-6, dh = 2e-3, cqmax = 0.65, lcrit = 800.0, cq, lambda;
  const double q = OrificeFlow(&dp, &rho, &nu, &A, &dh, &cqmax, &lcrit, &cq, &lambda, &v);
  EXPECT_DOUBLE_EQ(q, -cq * A * std::sqrt(2.0 * 2e6 / rho));
  EXPECT_DOUBLE_EQ(v * A, q);
  EXPECT_EQ(orif2_(&dp, &A, &dh, &cqmax, &lcrit, &rho, &nu), q);
}

TEST_F(Orifice, ClosedOrEqualPressuresNeverReadTheFluid) {
  // Without any fluid, reading a property ends the run.
  auto bare = [](auto &&body) {
    KIVSystem *s = KivCreateSystem();
    KivInstallPrintHook(s, [](FILE *, const char *, void *) {}, nullptr);
    const int rc = kiv::guarded(s, [&] {
      ReInitHydProps(0, 0);  // nothing stays loaded from earlier tests
      body();
      return 0;
    });
    KivReleaseSystem(s);
    return rc;
  };
  Out closed{1, 1, 1, 1}, level{1, 1, 1, 1}, given{1, 1, 1, 1};
  EXPECT_EQ(bare([&] {
              closed = orifice(20e5, 0.0, 0.0, 1e-3, 0.7, 500.0);
              level = orifice(7e5, 7e5, 1e-6, 1e-3, 0.7, 500.0);
              double dp = 1e5, rho = 850, nu = 1e-5, A = 0.0, dh = 1e-3, cqmax = 0.7, lcrit = 1e3;
              given.q = OrificeFlow(&dp, &rho, &nu, &A, &dh, &cqmax, &lcrit, &given.cq,
                                    &given.lambda, &given.v);
            }),
            0);
  EXPECT_EQ(bare([] { orifice(7e5, 6e5, 1e-6, 1e-3, 0.7, 500.0); }), -2);
  KivMakeCurrent(sys_);
  select(1);
  EXPECT_TRUE(zero(closed) && zero(level) && zero(given));
}

TEST_F(Orifice, ShortRestrictionInItsRange) {
  // Long enough restriction, very high flow number: Cq tends to K(r) -> 0.76.
  const double dh = 2e-3, A = circleArea(dh), pm = 150e5, w = std::sqrt(2.0 * 300e5 / rho(pm));
  const Out s = shortTube(300e5, 0.0, A, dh, 5.0 * dh);
  ASSERT_GT(s.lambda, 1e4);
  EXPECT_NEAR(s.cq, 0.76, 0.03);
  EXPECT_NEAR(s.q, s.cq * A * w * rho(pm) / kRho0, 1e-12 * s.q);
  // Zero length stays finite: only the lambda^0.45 term is left, and L -> 0
  // tends to it.
  const double d1 = 1e-3, A1 = circleArea(d1);
  EXPECT_TRUE(zero(shortTube(5e5, 5e5, A1, d1, 0.0)));
  EXPECT_TRUE(zero(shortTube(5e5, 4e5, 0.0, d1, 1e-3)));
  const Out flat = shortTube(5e5, 4e5, A1, d1, 0.0);
  EXPECT_DOUBLE_EQ(flat.cq, 0.1695 * std::pow(flat.lambda, 0.45));
  EXPECT_NEAR(shortTube(5e5, 4e5, A1, d1, 1e-30).cq, flat.cq, 1e-12);
}

TEST_F(Orifice, UserCoefficientFromAnInterpretedLaw) {
  // The tanh law written as a text parameter over lambda.
  std::string text = "0.7*tanh(2*lambda/1000)", name = "lambda";
  char *names[] = {name.data()};
  int dim = -1, n = 1, interp = 2, bound[2] = {1, 1}, ext[2] = {1, 1}, disc = 0;
  double slopes[2] = {};
  int id = strinit_(text.data(), &dim, names, &n, &interp, bound, ext, slopes, &disc);
  ASSERT_GE(id, 0);
  double dh = 1e-3, A = std::numbers::pi / 4 * dh * dh;  // a round hole
  for (double p2 : {1e5, 1.999e5}) {
    double p1 = 2e5;
    Out o{};
    o.q = orif4f_(&p1, &p2, &A, &dh, &id, &o.cq, &o.lambda, &o.v);
    const Out t = orifice(p1, p2, A, dh, 0.7, 1000.0);
    EXPECT_NEAR(o.q, t.q, 1e-12 * t.q) << p2;
    EXPECT_NEAR(o.cq, t.cq, 1e-12) << p2;
    // The area search of the same law gives the area back (from the flow
    // at the local density: the laws refer theirs to 0 bar).
    double r = rho(0.5 * (p1 + p2)), q = t.q * kRho0 / r, dp = p1 - p2, v = nu(0.5 * (p1 + p2)), Ab, dhb;
    EqGeneralArea_(&r, &q, &dp, &v, &id, &Ab, &dhb);
    EXPECT_NEAR(Ab, A, 1e-9 * A) << p2;
  }
  EXPECT_EQ(takeErr(), "");
}

double band(double dp, int &state, double dpt = 1e5) {
  double cq = 0.6, A = 1e-6, rho = 850.0;
  return orific_(&dp, &cq, &A, &dpt, &rho, &state);
}

TEST_F(Orifice, LaminarBandLawChoosesItsRegime) {
  const double edge = 0.6 * 1e-6 * std::sqrt(2.0 * 1e5 / 850.0);
  struct Step {
    double dp, q;
    int state;
  };
  int state = 7;
  for (const Step &s : {Step{1e5, edge, 1}, Step{-1e5, -edge, -1}, Step{0.25e5, 0.25 * edge, 0},
                        Step{4e5, 2 * edge, 1}, Step{-9e5, -3 * edge, -1}}) {
    EXPECT_DOUBLE_EQ(band(s.dp, state), s.q) << s.dp;
    EXPECT_EQ(state, s.state) << s.dp;
  }
  // At the edge the turbulent law gives exactly the band's value.
  EXPECT_EQ(band(1e5, state), edge);
  state = 0;
  double q = 0.0;
  EXPECT_EQ(locate([&] { q = band(1e5, state); }), 2);
  EXPECT_EQ(q, edge);
  // While locating the regime is held; answer 2 nothing, 3 a crossing, 4 a
  // crossing within 1e-6 dpt.
  struct Held {
    int state;
    double dp;
    int answer;
    double q;
  };
  for (const Held &h : {Held{1, 0.9e5, 2, edge * std::sqrt(0.9)}, Held{1, 0.5e5, 3, -1},
                        Held{1, 0.8e5 - 0.05, 4, -1}, Held{0, 1.1e5, 2, 1.1 * edge},
                        Held{0, 1.2e5 + 0.05, 4, -1}}) {
    int held = h.state;
    EXPECT_EQ(locate([&] { q = band(h.dp, held); }), h.answer) << h.state << " " << h.dp;
    EXPECT_EQ(held, h.state);
    if (h.q != -1) {
      EXPECT_NEAR(q, h.q, 1e-15 * edge) << h.state << " " << h.dp;
    }
  }
}

TEST_F(Orifice, EquivalentAreaInvertsTheTanhLaw) {
  const double rho = 860.0, nu = 3e-5, lcrit = 1000.0, cqmax = 0.7;
  // Small pressure drops need areas far beyond 200 q w.
  for (double dp : {1.0, 1e3, 1e7}) {
    for (double q : {1e-9, 1e-3}) {
      double r = rho, qq = q, p = dp, c = cqmax, a = nu, b = lcrit, A = -1, dh = -1;
      ASSERT_EQ(guarded([&] { eqarea(&r, &qq, &p, &c, &a, &b, &A, &dh); return 0; }), 0);
      EXPECT_DOUBLE_EQ(dh, 2.0 * std::sqrt(A / std::numbers::pi));
      EXPECT_NEAR(orif2_(&p, &A, &dh, &c, &b, &r, &a), q, 1e-12 * q) << dp << " " << q;
      // a and b enter as their product only.
      double a2 = 2 * nu, b2 = lcrit / 2, A2, dh2;
      eqarea_(&r, &qq, &p, &c, &a2, &b2, &A2, &dh2);
      EXPECT_DOUBLE_EQ(A2, A);
    }
  }
}

TEST_F(Orifice, EquivalentAreaWithoutARoot) {
  // No flow: no area; no root: the run ends.
  double rho = 850, q = 0, dp = 1e5, c = 0.7, a = 2e-5, b = 1000, A = 1, dh = 1;
  int id = 0;
  eqarea(&rho, &q, &dp, &c, &a, &b, &A, &dh);
  EXPECT_EQ(A + dh, 0.0);
  A = dh = 1;
  EqGeneralArea_(&rho, &q, &dp, &a, &id, &A, &dh);
  EXPECT_EQ(A + dh, 0.0);
  EXPECT_EQ(takeErr(), "");

  const std::string tail = "\nAborting program.\n";
  q = 1e-4;
  dp = 0.0;
  EXPECT_EQ(guarded([&] { eqarea(&rho, &q, &dp, &c, &a, &b, &A, &dh); return 0; }), -2);
  EXPECT_EQ(exitCode(), 1);
  EXPECT_EQ(takeErr(),
            "\nCannot find a orifice area for in eqarea\n"
            "Values are flow rate 1.000000e-04 [m**3/s] and pressure drop 0.000000e+00 [Pa]." +
                tail);
  // No coefficient law behind the id: Cq is 0 and no area passes the flow.
  q = 1e-5;
  dp = 1e5;
  EXPECT_EQ(guarded([&] { EqGeneralArea_(&rho, &q, &dp, &a, &id, &A, &dh); return 0; }), -2);
  const std::string err = takeErr(), general =
      "\nCannot find a orifice area for in EqGeneralArea\n"
      "Values are flow rate 1.000000e-05 pressure drop 1.000000e+05" + tail;
  EXPECT_TRUE(err.ends_with(general)) << err;
}

using Direction = LawsTest;

// d = pA - pB - pg with pB = 0, hysteresis 100.
void handle(double pA, double pg, int hdisc, int usehyst, int &state) {
  double pB = 0.0, hyst = 100.0;
  orifHandleDiscGrav_(&pA, &pB, &pg, &hdisc, &usehyst, &hyst, &state);
}

TEST_F(Direction, OrdinaryEvaluationsDecide) {
  struct Step {
    int first, usehyst;
    double pA, pg;
    int before, after;
  };
  const Step steps[] = {
      {1, 1, 5.0, 5.0, 1, -2},    // the first call decides from the sign, 0 undetermined
      {0, 1, 0.0, 0.0, -2, -2},   // undetermined until d is not 0
      {0, 1, 100.0, 0.0, 0, 0},   // the band -hyst < d <= hyst keeps the state
      {0, 1, 100.5, 0.0, 0, 1},
      {0, 1, 150.0, 60.0, 0, 0},  // the offset counts against pA
      {0, 0, 1.0, 0.0, 0, 1},     // without hysteresis the sign decides
      {0, 1, 5.0, 0.0, 5, 5},     // an unknown word stays inside the band
  };
  for (const Step &s : steps) {
    KivSetFirstCall(s.first);
    int state = s.before;
    handle(s.pA, s.pg, 1, s.usehyst, state);
    EXPECT_EQ(state, s.after) << s.first << " " << s.pA << " " << s.before;
  }
}

TEST_F(Direction, HeldStateReportsItsCrossingWhileLocating) {
  struct Held {
    int state;
    double d;
    int answer;
  };
  for (const Held &h : {Held{1, -50.0, 2}, Held{1, -150.0, 4}, Held{0, 100.0, 2},
                        Held{0, 101.0, 4}, Held{-2, 0.0, 2}, Held{-2, 1e-3, 4}, Held{5, 1e3, 2}}) {
    int state = h.state;
    EXPECT_EQ(locate([&] { handle(h.d, 0.0, 1, 1, state); }), h.answer) << h.state << " " << h.d;
    EXPECT_EQ(state, h.state);
  }
  // A check evaluation holds the state too, but reports nothing.
  int state = 1;
  KivBeginEvaluation(KIV_EVAL_CHECK);
  handle(-500.0, 0.0, 1, 1, state);
  EXPECT_EQ(state, 1);
  EXPECT_EQ(KivGetAnswerWord(), KIV_EVAL_CHECK);
  // With handling off the state follows even while locating, unreported;
  // only 1 switches reporting on.
  EXPECT_EQ(locate([&] { handle(-150.0, 0.0, 0, 1, state); }), 2);
  EXPECT_EQ(state, 0);
  state = 1;
  EXPECT_EQ(locate([&] { handle(-150.0, 0.0, 2, 1, state); }), 2);
  EXPECT_EQ(state, 1);
}

Out twoWay(double p1, double p2, int &state, double cr = 0.6, double lr = 50.0) {
  double A = 1e-6, dh = 1e-3, cf = 0.7, lf = 1000.0, hyst = 1e3;
  Out r{};
  r.q = orif3h_(&p1, &p2, &A, &dh, &cf, &lf, &cr, &lr, &hyst, &r.cq, &r.lambda, &r.v, &state);
  return r;
}

TEST_F(Direction, CoefficientPairFollowsTheDirection) {
  int state = 0;
  EXPECT_EQ(twoWay(20e5, 10e5, state).q, orifice(20e5, 10e5, 1e-6, 1e-3, 0.7, 1000.0).q);
  EXPECT_EQ(state, 1);
  EXPECT_EQ(twoWay(10e5, 20e5, state).q, orifice(10e5, 20e5, 1e-6, 1e-3, 0.6, 50.0).q);
  EXPECT_EQ(state, 0);
  // Inside the band the forward pair stays, even for a small reverse flow.
  twoWay(20e5, 10e5, state);
  EXPECT_EQ(twoWay(10e5, 10e5 + 500.0, state).cq, orifice(10e5, 10e5 + 500.0, 1e-6, 1e-3, 0.7, 1000.0).cq);
  EXPECT_EQ(state, 1);
  EXPECT_EQ(locate([&] { twoWay(10e5, 10e5 + 2e3, state); }), 4);
  // Identical pairs: decided from the pressures, even while locating, and
  // never reported.
  EXPECT_EQ(locate([&] { twoWay(10e5, 20e5, state, 0.7, 1000.0); }), 2);
  EXPECT_EQ(state, 0);
  twoWay(5e5, 5e5, state, 0.7, 1000.0);
  EXPECT_EQ(state, 1);
}

}  // namespace
}  // namespace kiv::test
