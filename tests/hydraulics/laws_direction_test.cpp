// The flow-direction switch with its hysteresis band, driven through the
// runtime's evaluation modes, and the law with one coefficient pair per
// direction.
#include "fluid_test.hpp"

namespace kiv::test {
namespace {

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
      {1, 1, -1.0, 0.0, 1, 0},    // even inside the band
      {1, 1, 1.0, 0.0, 0, 1},
      {0, 1, 0.0, 0.0, -2, -2},   // undetermined until d is not 0
      {0, 1, -0.5, 0.0, -2, 0},
      {0, 1, 0.5, 0.0, -2, 1},
      {0, 1, 100.0, 0.0, 0, 0},   // the band -hyst < d <= hyst keeps the state
      {0, 1, -99.9, 0.0, 0, 0},
      {0, 1, 100.5, 0.0, 0, 1},
      {0, 1, 150.0, 60.0, 0, 0},  // the offset counts against pA
      {0, 1, -99.9, 0.0, 1, 1},
      {0, 1, -100.0, 0.0, 1, 0},
      {0, 0, 1.0, 0.0, 0, 1},     // without hysteresis the sign decides
      {0, 0, 0.0, 0.0, 1, 0},
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
  // The library's handler: hysteresis and reporting on.
  double p1 = 0.0, p2 = 150.0, hyst = 100.0;
  EXPECT_EQ(locate([&] { hydHandleDisc_(&p1, &p2, &hyst, &state); }), 4);
  hydHandleDisc_(&p1, &p2, &hyst, &state);
  EXPECT_EQ(state, 0);
}

struct Flow {
  double q, cq, lambda, v;
};

Flow twoWay(double p1, double p2, int &state, double cr = 0.6, double lr = 50.0) {
  double A = 1e-6, dh = 1e-3, cf = 0.7, lf = 1000.0, hyst = 1e3;
  Flow r{};
  r.q = orif3h_(&p1, &p2, &A, &dh, &cf, &lf, &cr, &lr, &hyst, &r.cq, &r.lambda, &r.v, &state);
  return r;
}

Flow oneWay(double p1, double p2, double cqmax, double lcrit) {
  double A = 1e-6, dh = 1e-3;
  Flow r{};
  r.q = orif3f_(&p1, &p2, &A, &dh, &cqmax, &lcrit, &r.cq, &r.lambda, &r.v);
  return r;
}

TEST_F(Direction, CoefficientPairFollowsTheDirection) {
  int state = 0;
  EXPECT_EQ(twoWay(20e5, 10e5, state).q, oneWay(20e5, 10e5, 0.7, 1000.0).q);
  EXPECT_EQ(state, 1);
  EXPECT_EQ(twoWay(10e5, 20e5, state).q, oneWay(10e5, 20e5, 0.6, 50.0).q);
  EXPECT_EQ(state, 0);
  // Inside the band the forward pair stays, even for a small reverse flow.
  twoWay(20e5, 10e5, state);
  EXPECT_EQ(twoWay(10e5, 10e5 + 500.0, state).cq, oneWay(10e5, 10e5 + 500.0, 0.7, 1000.0).cq);
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
