#include "support/kiv_test.hpp"

namespace {

using kiv::test::SystemTest;

int after(int flag, void (*report)()) {
  KivBeginEvaluation(flag);
  report();
  return KivGetAnswerWord();
}

TEST_F(SystemTest, DislocMovesTheAnswerWordOnlyWhileLocating) {
  auto once = [] {
    int c = 1;
    disloc_(&c);
  };
  auto twice = [] {
    int c = 1;
    disloc_(&c);
    disloc_(&c);
  };
  auto zero = [] {
    int c = 0;
    disloc_(&c);
  };
  EXPECT_EQ(after(0, once), 0);
  EXPECT_EQ(after(1, once), 1);
  EXPECT_EQ(after(2, once), 4);
  EXPECT_EQ(after(2, twice), 3);
  EXPECT_EQ(after(2, zero), 2);
  KivSetDiscontinuityLogging(0);
  EXPECT_EQ(after(2, once), 3);
  EXPECT_EQ(after(2, twice), 3);
}

TEST_F(SystemTest, DishanDecidesBySecond) {
  auto first = [] {
    int c = 1, s = 1;
    dishan_(&c, &s);
  };
  auto plain = [] {
    int c = 1, s = 0;
    dishan_(&c, &s);
  };
  auto firstThenPlain = [] {
    int c = 1, s = 1, z = 0;
    dishan_(&c, &s);
    dishan_(&c, &z);
  };
  auto firstTwice = [] {
    int c = 1, s = 1;
    dishan_(&c, &s);
    dishan_(&c, &s);
  };
  auto noCond = [] {
    int c = 0, s = 1;
    dishan_(&c, &s);
  };
  EXPECT_EQ(after(2, first), 4);
  EXPECT_EQ(after(2, plain), 3);
  EXPECT_EQ(after(2, firstThenPlain), 3);
  EXPECT_EQ(after(2, firstTwice), 4);
  EXPECT_EQ(after(2, noCond), 2);
  EXPECT_EQ(after(0, first), 0);
  EXPECT_EQ(after(1, plain), 1);
}

TEST_F(SystemTest, ModeIsWhatTheDriverBegan) {
  EXPECT_EQ(getofg_(), 0);
  KivBeginEvaluation(KIV_EVAL_LOCATE);
  EXPECT_EQ(getofg_(), 2);
  int c = 1;
  disloc_(&c);
  EXPECT_EQ(getofg_(), 2);  // the answer changes, the mode does not
  KivBeginEvaluation(KIV_EVAL_ORDINARY);
  EXPECT_EQ(getofg_(), 0);
}

TEST_F(SystemTest, DistimKeepsTheEarliestEventAhead) {
  double t;
  KivSetTime(1.0);
  KivBeginEvaluation(2);
  double e1 = 3.0, e2 = 2.0, past = 0.5, now = 1.0, later = 2.5;
  distim_(&e1);
  distim_(&past);
  distim_(&now);
  ASSERT_EQ(KivGetTimeEvent(&t), 1);
  EXPECT_EQ(t, 3.0);
  distim_(&e2);
  distim_(&later);
  ASSERT_EQ(KivGetTimeEvent(&t), 1);
  EXPECT_EQ(t, 2.0);
  KivBeginEvaluation(0);
  double early = 1.5;
  distim_(&early);  // ignored outside location
  KivGetTimeEvent(&t);
  EXPECT_EQ(t, 2.0);
  KivSetTime(2.0);  // reached: no longer ahead
  EXPECT_EQ(KivGetTimeEvent(&t), 0);
}

TEST_F(SystemTest, FirstCallAndStepDown) {
  EXPECT_NE(firstc_(), 0);
  KivSetFirstCall(0);
  EXPECT_EQ(firstc_(), 0);
  stepdn_();
  stepdn_();
  EXPECT_EQ(KivTakeStepDownRequests(), 2);
  EXPECT_EQ(KivTakeStepDownRequests(), 0);
  KivEndRun(0);
  EXPECT_NE(firstc_(), 0);  // the next run starts afresh
}

TEST_F(SystemTest, RunStateQueries) {
  EXPECT_EQ(isprint_(), 1);  // no run flags yet
  EXPECT_EQ(isvisible_(), 1);
  EXPECT_EQ(guarded([] { return staborcs_(); }), -2);
  EXPECT_EQ(takeErr(), "\nstaborcs: the run flags are not initialised; the run has not been set up.\n");
  EXPECT_EQ(guarded([] { return isbatchrun_(); }), -2);
  takeErr();

  KIVRunFlags f{};
  KivSetRunFlags(&f);
  EXPECT_EQ(isprint_(), 0);
  EXPECT_EQ(isvisible_(), 0);
  EXPECT_EQ(staborcs_(), 0);
  EXPECT_EQ(isbatchrun_(), 0);
  f.printing = 1;
  KivSetRunFlags(&f);
  EXPECT_EQ(isprint_(), 1);
  EXPECT_EQ(isvisible_(), 1);
  f.printing = 0;
  f.linearisation = 1;
  KivSetRunFlags(&f);
  EXPECT_EQ(isvisible_(), 1);
  f.stabilizing = 1;
  KivSetRunFlags(&f);
  EXPECT_EQ(isvisible_(), 0);
  EXPECT_EQ(staborcs_(), 1);
  KivSetFileNames("", "model", "run2");
  EXPECT_EQ(isbatchrun_(), 1);
}

TEST(NoSystem, ModelSideCallsAreHarmless) {
  KIVSystem *saved = QOR_XB_GlobalSystem;
  KivMakeCurrent(nullptr);
  int c = 1;
  double t = 1.0;
  EXPECT_EQ(getofg_(), 0);
  disloc_(&c);
  distim_(&t);
  EXPECT_EQ(isprint_(), 1);
  KivMakeCurrent(saved);
}

}  // namespace
