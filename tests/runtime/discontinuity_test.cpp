#include <tuple>
#include <utility>
#include <vector>

#include "support/kiv_test.hpp"

namespace {

using kiv::test::SystemTest;

// The answer word after disloc_ (cond) or dishan_ (cond, second) calls in
// an evaluation of the given mode.
int disloc(int flag, std::vector<int> conds) {
  KivBeginEvaluation(flag);
  for (int &c : conds) disloc_(&c);
  return KivGetAnswerWord();
}
int dishan(int flag, std::vector<std::pair<int, int>> calls) {
  KivBeginEvaluation(flag);
  for (auto &[c, s] : calls) dishan_(&c, &s);
  return KivGetAnswerWord();
}

TEST_F(SystemTest, DislocMovesTheAnswerWordOnlyWhileLocating) {
  const std::tuple<int, std::vector<int>, int> cases[] = {
      {0, {1}, 0}, {1, {1}, 1}, {2, {1}, 4}, {2, {1, 1}, 3}, {2, {0}, 2}};
  for (const auto &[flag, conds, word] : cases) EXPECT_EQ(disloc(flag, conds), word) << flag;
  KivSetDiscontinuityLogging(0);
  EXPECT_EQ(disloc(2, {1}), 3);
  EXPECT_EQ(disloc(2, {1, 1}), 3);
}

TEST_F(SystemTest, DishanDecidesBySecond) {
  const std::tuple<int, std::vector<std::pair<int, int>>, int> cases[] = {
      {2, {{1, 1}}, 4}, {2, {{1, 0}}, 3}, {2, {{1, 1}, {1, 0}}, 3}, {2, {{1, 1}, {1, 1}}, 4},
      {2, {{0, 1}}, 2}, {0, {{1, 1}}, 0}, {1, {{1, 0}}, 1}};
  for (const auto &[flag, calls, word] : cases) EXPECT_EQ(dishan(flag, calls), word) << calls.size();
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
  EXPECT_NE(takeErr().find("not initialised"), std::string::npos);
  EXPECT_EQ(guarded([] { return isbatchrun_(); }), -2);
  takeErr();

  struct Step {
    int printing, linearisation, stabilizing, print, visible, stab;
  };
  for (const Step &s : {Step{0, 0, 0, 0, 0, 0}, Step{1, 0, 0, 1, 1, 0}, Step{0, 1, 0, 0, 1, 0}, Step{0, 1, 1, 0, 0, 1}}) {
    KIVRunFlags f{};
    f.printing = s.printing, f.linearisation = s.linearisation, f.stabilizing = s.stabilizing;
    KivSetRunFlags(&f);
    EXPECT_EQ(std::tuple(isprint_(), isvisible_(), staborcs_()), std::tuple(s.print, s.visible, s.stab))
        << s.printing << s.linearisation << s.stabilizing;
  }
  EXPECT_EQ(isbatchrun_(), 0);
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
