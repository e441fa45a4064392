// The flow-direction switch with its hysteresis band, driven through the
// runtime's evaluation modes, and the law with one coefficient pair per
// direction.
#include "laws_support.hpp"

namespace kiv::test {
namespace {

using Direction = LawsTest;

void handle(double pA, double pB, double pg, int hdisc, int usehyst, double hyst, int &state) {
  orifHandleDiscGrav_(&pA, &pB, &pg, &hdisc, &usehyst, &hyst, &state);
}

TEST_F(Direction, FirstCallDecidesFromTheSign) {
  KivSetFirstCall(1);
  int state = 1;
  handle(5.0, 5.0, 0.0, 1, 1, 100.0, state);
  EXPECT_EQ(state, -2);
  state = 1;
  handle(1.0, 5.0, 0.0, 1, 1, 100.0, state);  // inside the band, still decided
  EXPECT_EQ(state, 0);
  handle(5.0, 1.0, 0.0, 1, 1, 100.0, state);
  EXPECT_EQ(state, 1);
  // The offset counts against the forward difference.
  handle(5.0, 1.0, 10.0, 1, 1, 100.0, state);
  EXPECT_EQ(state, 0);
}

TEST_F(Direction, HysteresisBandKeepsTheState) {
  int state = 0;
  for (double d : {50.0, 100.0, -50.0, -99.9}) {
    handle(d, 0.0, 0.0, 1, 1, 100.0, state);
    EXPECT_EQ(state, 0) << d;
  }
  handle(100.5, 0.0, 0.0, 1, 1, 100.0, state);
  EXPECT_EQ(state, 1);
  for (double d : {99.0, 0.0, -99.9}) {
    handle(d, 0.0, 0.0, 1, 1, 100.0, state);
    EXPECT_EQ(state, 1) << d;
  }
  handle(-100.0, 0.0, 0.0, 1, 1, 100.0, state);
  EXPECT_EQ(state, 0);
  // Without hysteresis the sign alone decides.
  handle(1.0, 0.0, 0.0, 1, 0, 100.0, state);
  EXPECT_EQ(state, 1);
  handle(0.0, 0.0, 0.0, 1, 0, 100.0, state);
  EXPECT_EQ(state, 0);
}

TEST_F(Direction, UndeterminedStateWaitsForANonZeroDifference) {
  int state = -2;
  handle(3.0, 3.0, 0.0, 1, 1, 100.0, state);
  EXPECT_EQ(state, -2);
  handle(3.0, 3.5, 0.0, 1, 1, 100.0, state);  // any sign, band or not
  EXPECT_EQ(state, 0);
  state = -2;
  handle(3.5, 3.0, 0.0, 1, 1, 100.0, state);
  EXPECT_EQ(state, 1);
}

TEST_F(Direction, HeldStateReportsItsCrossingWhileLocating) {
  int state = 1;
  EXPECT_EQ(locate([&] { handle(-50.0, 0.0, 0.0, 1, 1, 100.0, state); }), 2);
  EXPECT_EQ(locate([&] { handle(-150.0, 0.0, 0.0, 1, 1, 100.0, state); }), 4);
  EXPECT_EQ(state, 1);  // held
  state = 0;
  EXPECT_EQ(locate([&] { handle(100.0, 0.0, 0.0, 1, 1, 100.0, state); }), 2);
  EXPECT_EQ(locate([&] { handle(101.0, 0.0, 0.0, 1, 1, 100.0, state); }), 4);
  EXPECT_EQ(state, 0);
  state = -2;
  EXPECT_EQ(locate([&] { handle(0.0, 0.0, 0.0, 1, 1, 100.0, state); }), 2);
  EXPECT_EQ(locate([&] { handle(1e-3, 0.0, 0.0, 1, 1, 100.0, state); }), 4);
  EXPECT_EQ(state, -2);
  // A check evaluation holds the state too, but nothing is located.
  state = 1;
  KivBeginEvaluation(KIV_EVAL_CHECK);
  handle(-500.0, 0.0, 0.0, 1, 1, 100.0, state);
  EXPECT_EQ(state, 1);
  EXPECT_EQ(KivGetAnswerWord(), KIV_EVAL_CHECK);
  KivBeginEvaluation(KIV_EVAL_ORDINARY);
  // With logging off a crossing gives 3.
  KivSetDiscontinuityLogging(0);
  EXPECT_EQ(locate([&] { handle(-500.0, 0.0, 0.0, 1, 1, 100.0, state); }), 3);
  KivSetDiscontinuityLogging(1);
}

TEST_F(Direction, WithoutDiscontinuityHandlingTheStateFollowsAndNothingIsReported) {
  int state = 1;
  EXPECT_EQ(locate([&] { handle(-150.0, 0.0, 0.0, 0, 1, 100.0, state); }), 2);
  EXPECT_EQ(state, 0);
  // Only 1 switches reporting on.
  state = 1;
  EXPECT_EQ(locate([&] { handle(-150.0, 0.0, 0.0, 2, 1, 100.0, state); }), 2);
  EXPECT_EQ(state, 1);
}

TEST_F(Direction, LibraryHandlersUseHysteresisAndReporting) {
  double p1 = 0.0, p2 = 150.0, hyst = 100.0;
  int state = 1;
  EXPECT_EQ(locate([&] { hydHandleDisc_(&p1, &p2, &hyst, &state); }), 4);
  EXPECT_EQ(state, 1);
  hydHandleDisc_(&p1, &p2, &hyst, &state);
  EXPECT_EQ(state, 0);
  p2 = 50.0;
  int on = 1;
  orifHandleDisc_(&p2, &p1, &on, &on, &hyst, &state);
  EXPECT_EQ(state, 0);
}

struct Pair {
  double q, cq, lambda, v;
};

Pair twoWay(double p1, double p2, int &state, double cr = 0.6, double lr = 50.0) {
  double A = 1e-6, dh = 1e-3, cf = 0.7, lf = 1000.0, hyst = 1e3;
  Pair r{};
  r.q = orif3h_(&p1, &p2, &A, &dh, &cf, &lf, &cr, &lr, &hyst, &r.cq, &r.lambda, &r.v, &state);
  return r;
}

Pair oneWay(double p1, double p2, double cqmax, double lcrit) {
  double A = 1e-6, dh = 1e-3;
  Pair r{};
  r.q = orif3f_(&p1, &p2, &A, &dh, &cqmax, &lcrit, &r.cq, &r.lambda, &r.v);
  return r;
}

TEST_F(Direction, CoefficientPairFollowsTheDirection) {
  int state = 0;
  const Pair f = twoWay(20e5, 10e5, state);
  EXPECT_EQ(state, 1);
  EXPECT_EQ(f.q, oneWay(20e5, 10e5, 0.7, 1000.0).q);
  const Pair r = twoWay(10e5, 20e5, state);
  EXPECT_EQ(state, 0);
  EXPECT_EQ(r.q, oneWay(10e5, 20e5, 0.6, 50.0).q);
  EXPECT_LT(r.q, 0.0);
  // Inside the band the forward pair stays, even for a small reverse flow.
  twoWay(20e5, 10e5, state);
  const Pair small = twoWay(10e5, 10e5 + 500.0, state);
  EXPECT_EQ(state, 1);
  EXPECT_EQ(small.cq, oneWay(10e5, 10e5 + 500.0, 0.7, 1000.0).cq);
  EXPECT_EQ(locate([&] { twoWay(10e5, 10e5 + 2e3, state); }), 4);
}

TEST_F(Direction, IdenticalPairsNeverReport) {
  int state = 1;
  int word = locate([&] { twoWay(10e5, 20e5, state, 0.7, 1000.0); });
  EXPECT_EQ(word, 2);
  EXPECT_EQ(state, 0);  // decided from the pressures even while locating
  twoWay(5e5, 5e5, state, 0.7, 1000.0);
  EXPECT_EQ(state, 1);
}

}  // namespace
}  // namespace kiv::test
