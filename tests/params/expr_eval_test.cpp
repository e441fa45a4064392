// Evaluation: held and free branches through the runtime's driver calls,
// substitutes and their messages, quiet levels, the entry points' checks and
// unit powers.
#include <climits>
#include <cmath>

#include "expr_fixture.hpp"
#include "params/kiv_math.h"

namespace kiv::test {
namespace {

class Eval : public ExprTest {
 protected:
  // Evaluates in the given driver mode; the answer word after it.
  double in(int mode, int id, std::vector<double> v, int *answer = nullptr, int *ok = nullptr) {
    KivBeginEvaluation(mode);
    const double r = eval(id, std::move(v), ok);
    if (answer) *answer = KivGetAnswerWord();
    return r;
  }
  void SetUp() override {
    ExprTest::SetUp();
    KivSetFirstCall(0);  // evaluations in the middle of a run
  }
  static constexpr int kFree = KIV_EVAL_ORDINARY, kCheck = KIV_EVAL_CHECK, kLocate = KIV_EVAL_LOCATE;
};

TEST_F(Eval, ComparisonHeldWhileLocating) {
  const int id = check("x>1", {"x"});
  int answer = 0;
  EXPECT_EQ(in(kFree, id, {2}), 1);
  EXPECT_EQ(slot(id).tree->state, 1);
  EXPECT_EQ(in(kLocate, id, {0.5}, &answer), 1);
  EXPECT_EQ(answer, 4);
  KivSetDiscontinuityLogging(0);
  EXPECT_EQ(in(kLocate, id, {0.5}, &answer), 1);
  EXPECT_EQ(answer, 3);
  KivSetDiscontinuityLogging(1);
  // A check holds too but reports nothing.
  EXPECT_EQ(in(kCheck, id, {0.5}, &answer), 1);
  EXPECT_EQ(answer, kCheck);
  EXPECT_EQ(in(kFree, id, {0.5}), 0);
  EXPECT_EQ(in(kLocate, id, {0.7}, &answer), 0);
  EXPECT_EQ(answer, 2);
}

TEST_F(Eval, EveryBranchingNodeHoldsItsBranch) {
  const struct {
    const char *text;
    std::vector<double> freeAt, heldAt;
    double freeValue, heldValue;
  } cases[] = {
      {"x>=1", {1}, {0.9}, 1, 1},
      {"x<1", {0}, {2}, 1, 1},
      {"x<=1", {2}, {1}, 0, 0},
      {"x==1", {1}, {1.5}, 1, 1},
      {"x!=1", {1}, {0.5}, 0, 0},
      {"x&&y", {1, 1}, {1, 0}, 1, 1},
      {"x||y", {0, 0}, {0, 1}, 0, 0},
      {"abs(x)", {1}, {-1}, 1, -1},
      {"fabs(x)", {-2}, {3}, 2, -3},
      {"sign(x,y)", {3, 1}, {3, -1}, 3, 3},
      {"max(x,y)", {1, 2}, {3, 2}, 2, 2},
      {"max(x,y)", {3, 2}, {1, 2}, 3, 1},
      {"min(x,y)", {1, 2}, {3, 2}, 1, 3},
      {"min(x,y)", {3, 2}, {1, 2}, 2, 2},
      {"floor(x)", {1.5}, {2.5}, 1, 1},
      {"ceil(x)", {1.5}, {2.5}, 2, 2},
      {"round(x)", {1.2}, {1.7}, 1, 1},
      {"mod(x,2)", {7.5}, {8.5}, 1.5, 2.5},
      {"lsqrta(x,1)", {4}, {0.25}, 2, 0.5},
  };
  for (const auto &t : cases) {
    const int id = check(t.text, {"x", "y"});
    ASSERT_GE(id, 0) << t.text;
    int answer = 0, ok = 0;
    EXPECT_DOUBLE_EQ(in(kFree, id, t.freeAt, &answer, &ok), t.freeValue) << t.text;
    EXPECT_EQ(ok, 1) << t.text;
    EXPECT_DOUBLE_EQ(in(kLocate, id, t.heldAt, &answer, &ok), t.heldValue) << t.text;
    EXPECT_EQ(answer, 4) << t.text << ": crossing reported";
    EXPECT_EQ(ok, 1) << t.text;
    // Without discontinuity handling the branch follows the values.
    int off = 0, idv = id;
    ASSERT_EQ(exphandledisc_(&idv, &off), 1);
    in(kFree, id, t.freeAt);
    const double freeAtHeld = in(kFree, id, t.heldAt);
    EXPECT_DOUBLE_EQ(in(kLocate, id, t.heldAt, &answer), freeAtHeld) << t.text;
    EXPECT_EQ(answer, 2) << t.text;
  }
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Eval, HeldBranchThatStillMatchesReportsNothing) {
  const int id = check("floor(x)+max(x,1)+(x>0)", {"x"});
  int answer = 0;
  EXPECT_DOUBLE_EQ(in(kFree, id, {1.5}), 1 + 1.5 + 1);
  EXPECT_DOUBLE_EQ(in(kLocate, id, {1.9}, &answer), 1 + 1.9 + 1);
  EXPECT_EQ(answer, 2);
}

TEST_F(Eval, FunctionValues) {
  const int r = check("round(x)", {"x"});
  EXPECT_EQ(eval(r, {2.5}), 3);
  EXPECT_EQ(eval(r, {-2.5}), -2);
  EXPECT_EQ(eval(r, {-2.6}), -3);
  const int s = check("sign(x,y)", {"x", "y"});
  EXPECT_EQ(eval(s, {3, -0.0}), 3);
  EXPECT_EQ(eval(s, {3, -1e-300}), -3);
  const int m = check("mod(x,y)", {"x", "y"});
  EXPECT_DOUBLE_EQ(eval(m, {7.5, 2}), 1.5);
  EXPECT_DOUBLE_EQ(eval(m, {-0.5, 2}), 1.5);
  // Equal operands: max takes the first, min the second.
  const int mx = check("max(x,y)", {"x", "y"}), mn = check("min(x,y)", {"x", "y"});
  EXPECT_TRUE(std::signbit(eval(mx, {-0.0, 0.0})));
  EXPECT_TRUE(std::signbit(eval(mn, {0.0, -0.0})));
  const int chain = check("max(x,y,z)", {"x", "y", "z"});
  EXPECT_EQ(eval(chain, {1, 3, 2}), 3);
  EXPECT_EQ(eval(chain, {4, 3, 5}), 5);
  // The smooth functions are those of the math library.
  const int sm = check("smin(x,y)+10*smax(x,y)+100*sabs(x,y)", {"x", "y"});
  for (auto [x, y] : {std::pair{1.0000004, 1.0}, {0.05, 0.1}, {-3.0, 2.0}, {2.0, -3.0}}) {
    double dx = (std::fabs(y) + 1.0) * 1e-6;
    const double expected = sulimit_(&x, &y, &dx) + 10 * sllimit_(&x, &y, &dx) + 100 * sabs_(&x, &y);
    EXPECT_NEAR(eval(sm, {x, y}), expected, 1e-12) << x << " " << y;
  }
  double half = 0.05, width = 0.1;
  EXPECT_DOUBLE_EQ(sabs_(&half, &width), 0.0625);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Eval, SubstitutesAndMessagesOnPrintSteps) {
  const int q = check("y/x", {"x", "y"}), p = check("x^y", {"x", "y"}), m = check("mod(x,y)", {"x", "y"});
  const struct {
    int id;
    std::vector<double> v;
    double result;
    const char *message;
  } cases[] = {
      {q, {0, 1}, 1e30, "\n\nExpression evaluation error : attempt to divide by zero.\n"},
      {q, {0, -1}, -1e30, "\n\nExpression evaluation error : attempt to divide by zero.\n"},
      {q, {0, 0}, -1e30, "\n\nExpression evaluation error : attempt to divide by zero.\n"},
      {p, {0, -1}, 1e30, "\n\nExpression evaluation error : unable to raise 0.000000 to power -1.000000\n"},
      {p, {-8, 1.0 / 3}, 0, "\n\nExpression evaluation error : unable to raise -8.000000 to power 0.333333\n"},
      {p, {10, 400}, 1e30, "\n\nExpression evaluation error : unable to raise 10.000000 to power 400.000000\n"},
      {p, {-10, 401}, -1e30, "\n\nExpression evaluation error : unable to raise -10.000000 to power 401.000000\n"},
      {m, {1, 0}, 1, "\n\nExpression evaluation error : too small or negative modulo 0.000000\n"},
      {m, {1e6, 1e-9}, 1e6, "\n\nExpression evaluation error : too small or negative modulo 0.000000\n"},
      {m, {5, -2}, 5, "\n\nExpression evaluation error : too small or negative modulo -2.000000\n"},
  };
  for (const auto &t : cases) {
    printing(true);
    int ok = 1;
    EXPECT_EQ(eval(t.id, t.v, &ok), t.result) << t.message;
    EXPECT_EQ(ok, 0);
    char listing[200];
    std::snprintf(listing, sizeof listing, "Expression variables values :\nx = %lf\ny = %lf\n", t.v[0], t.v[1]);
    EXPECT_EQ(takeErr(), std::string(t.message) + listing);
    printing(false);
    EXPECT_EQ(eval(t.id, t.v, &ok), t.result) << t.message;
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(takeErr(), "");
  }
  EXPECT_EQ(eval(p, {0, 0}), 1);
  EXPECT_EQ(eval(p, {5, 0}), 1);
}

TEST_F(Eval, RaisedCrossingSilencesLaterSubstituteMessages) {
  const int id = check("(x>1)+1/y", {"x", "y"});
  printing(true);
  int answer = 0, ok = 0;
  EXPECT_EQ(in(kFree, id, {2, 1}), 2);
  EXPECT_EQ(in(kLocate, id, {0, 0}, &answer, &ok), 1 + 1e30);
  EXPECT_EQ(answer, 4);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Eval, DomainRule) {
  const int s = check("sqrt(x)", {"x"});
  int ok = 1, answer = 0;
  EXPECT_EQ(in(kFree, s, {-4}, &answer, &ok), -2);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(takeErr(),
            "\n\nExpression evaluation error : unable to compute sqrt(-4.000000)\n"
            "Expression variables values :\nx = -4.000000\n");
  // Held: no failure; a crossing only when the free evaluation was valid.
  EXPECT_EQ(in(kLocate, s, {-4}, &answer, &ok), -2);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(answer, 2);
  EXPECT_EQ(in(kFree, s, {4}), 2);
  EXPECT_EQ(in(kLocate, s, {-4}, &answer, &ok), -2);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(answer, 4);
  EXPECT_EQ(takeErr(), "");

  const struct {
    const char *text;
    double x, result;
    const char *name;
  } cases[] = {
      {"log(x)", 0, -1e30, "log"},       {"log10(x)", -1, -1e30, "log10"},
      {"asin(x)", 2, M_PI / 2, "asin"},  {"asin(x)", -2, -M_PI / 2, "asin"},
      {"acos(x)", 2, 0, "acos"},         {"acos(x)", -1.5, M_PI, "acos"},
      {"acosh(x)", 0.5, 0, "acosh"},     {"atanh(x)", 1, 1e30, "atanh"},
      {"atanh(x)", -2, -1e30, "atanh"},
  };
  for (const auto &t : cases) {
    const int id = check(t.text, {"x"});
    EXPECT_DOUBLE_EQ(in(kFree, id, {t.x}, nullptr, &ok), t.result) << t.text;
    EXPECT_EQ(ok, 0);
    char expected[200];
    std::snprintf(expected, sizeof expected,
                  "\n\nExpression evaluation error : unable to compute %s(%lf)\n"
                  "Expression variables values :\nx = %lf\n",
                  t.name, t.x, t.x);
    EXPECT_EQ(takeErr(), expected);
  }
  // asin remembers the side it left its domain by.
  const int a = check("asin(x)", {"x"});
  in(kFree, a, {2});
  takeErr();
  EXPECT_DOUBLE_EQ(in(kLocate, a, {3}, &answer), M_PI / 2);
  EXPECT_EQ(answer, 2);
  EXPECT_DOUBLE_EQ(in(kLocate, a, {-3}, &answer), -M_PI / 2);
  EXPECT_EQ(answer, 4);
}

TEST_F(Eval, QuietLevels) {
  const int id = check("sqrt(x)", {"x"});
  int level = 1, ok = 1, answer = 0;
  ASSERT_EQ(expsetquieteval_(&level), 1);
  EXPECT_EQ(expgetquieteval_(), 1);
  EXPECT_EQ(in(kFree, id, {-1}, nullptr, &ok), -1);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(takeErr(),
            "\n\nExpression evaluation error : unable to compute sqrt(-1.000000)\n"
            "Expression variables values :\nx = -1.000000\n");
  level = 2;
  ASSERT_EQ(expsetquieteval_(&level), 1);
  EXPECT_EQ(in(kFree, id, {-1}, nullptr, &ok), -1);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(takeErr(), "");
  // Level 2 also silences the domain rule's crossing.
  in(kFree, id, {1});
  in(kLocate, id, {-1}, &answer, &ok);
  EXPECT_EQ(answer, 2);
  level = 3;
  EXPECT_EQ(expsetquieteval_(&level), 0);
  EXPECT_EQ(takeErr(), "Call to expsetquieteval requires flag value in range [0,2].\n");
  EXPECT_EQ(expgetquieteval_(), 2);
}

TEST_F(Eval, EvaluateExpression) {
  const int id = check("(x>0)*y", {"x", "y"});
  std::vector<double> v{1, 3};
  KivBeginEvaluation(kFree);
  EXPECT_EQ(EvaluateExpression(id, v.data()), 3);
  v[0] = -1;
  KivBeginEvaluation(kLocate);
  EXPECT_EQ(EvaluateExpression(id, v.data()), 3);
  EXPECT_EQ(KivGetAnswerWord(), 4);
  EXPECT_EQ(guarded([&] { return static_cast<int>(EvaluateExpression(7, v.data())); }), -2);
  EXPECT_EQ(exitCode(), 1);
  EXPECT_EQ(takeErr(),
            "Call to EvaluateExpression with invalid index 7\n"
            "No binary tree created with this index\nTerminating Program\n");
}

TEST_F(Eval, FreedOrUnknownIdIsInvalidEverywhere) {
  int id = check("x", {"x"});
  ASSERT_EQ(expfree_(&id), 1);
  for (int bad : {id, -1, 5}) {
    std::vector<double> v{1};
    double r = 42;
    int k = 1, kl[2] = {1, 1}, flag = 1, powers[1] = {1}, result = 42;
    const std::string tail = "No binary tree created with this index\n";
    const std::string idText = std::to_string(bad);
    EXPECT_EQ(expeval_(&bad, v.data(), &r), 0);
    EXPECT_EQ(takeErr(), "Call to expeval with invalid index " + idText + "\n" + tail);
    EXPECT_EQ(expevald_(&bad, &k, v.data(), &r), 0);
    EXPECT_EQ(takeErr(), "Call to expevald with invalid index " + idText + "\n" + tail);
    EXPECT_EQ(expevald2_(&bad, kl, v.data(), &r), 0);
    EXPECT_EQ(takeErr(), "Call to expevald2 with invalid index " + idText + "\n" + tail);
    EXPECT_EQ(exphandledisc_(&bad, &flag), 0);
    EXPECT_EQ(takeErr(), "Call to exphandledisc with invalid index " + idText + "\n" + tail);
    EXPECT_EQ(expfree_(&bad), 0);
    EXPECT_EQ(takeErr(), "Call to expfree with invalid index " + idText + "\n" + tail);
    EXPECT_EQ(EvaluateUnitPowers(bad, powers, &result), 0);
    EXPECT_EQ(takeErr(), "Call to EvaluateUnitPowers with invalid index " + idText + "\n" + tail);
    EXPECT_EQ(guarded([&] { return static_cast<int>(EvaluateExpression(bad, v.data())); }), -2);
    EXPECT_EQ(takeErr(), "Call to EvaluateExpression with invalid index " + idText + "\n" + tail +
                             "Terminating Program\n");
    EXPECT_EQ(r, 42);
    EXPECT_EQ(result, 42);
  }
}

TEST_F(Eval, SettingsAndObsoleteCalls) {
  int id = check("x", {"x"}), flag = 2;
  EXPECT_EQ(exphandledisc_(&id, &flag), 0);
  EXPECT_EQ(takeErr(),
            "Call to exphandledisc with invalid argument\nhandle_disc flag must be 1 or 0 and is 2.\n");
  EXPECT_EQ(slot(id).handle_disc, 1);
  flag = 0;
  EXPECT_EQ(exphandledisc_(&id, &flag), 1);
  EXPECT_EQ(slot(id).handle_disc, 0);
  BeQuiet();
  EXPECT_EQ(takeErr(), "BeQuiet is now obsolete\n");
}

TEST_F(Eval, NodesOutsideTheTablesStopTheRun) {
  TreePtr bad = NewOperator(kInvalid, nullptr, nullptr);
  int ok = 1, disc = 0;
  EXPECT_EQ(guarded([&] { return static_cast<int>(EvaluateTree(bad.get(), nullptr, &ok, &disc, 0, 1)); }), -2);
  EXPECT_EQ(takeErr(), "\nEvaluateTree : tree type 0 not defined.\nTerminating program.\n");
  TreePtr fn = NewNode(kFunction, 0.0, kFunctionCount);
  fn->right = NewConstant(1).release();
  EXPECT_EQ(guarded([&] { return static_cast<int>(EvaluateTree(fn.get(), nullptr, &ok, &disc, 0, 1)); }), -2);
  EXPECT_EQ(takeErr(), "\nEvaluateTree : function index 30 not defined.\nTerminating program.\n");
  EXPECT_EQ(exitCode(), 1);
}

TEST_F(Eval, LsqrtaWithoutCriticalValueStopsTheRun) {
  const int id = check("lsqrta(x,0)", {"x"});
  ASSERT_GE(id, 0);
  EXPECT_EQ(guarded([&] { return static_cast<int>(eval(id, {4})); }), -2);
  EXPECT_EQ(exitCode(), 1);
  EXPECT_EQ(takeErr(), "\nThe value of xcrit must be strictly positive\nxcrit = 0\nTerminating program.\n");
}

TEST_F(Eval, IntegerCountsStayInRange) {
  const int f = check("floor(x)+ceil(x)+round(x)", {"x"});
  EXPECT_EQ(eval(f, {1e20}), 3.0 * INT_MAX);
  EXPECT_EQ(eval(f, {-1e20}), 3.0 * INT_MIN);
  EXPECT_EQ(eval(f, {std::nan("")}), 0);
  const int m = check("mod(x,y)", {"x", "y"});
  EXPECT_DOUBLE_EQ(eval(m, {1e300, 0.7}), std::fmod(1e300, 0.7));
  const double r = std::fmod(-1e300, 1e-6);
  EXPECT_DOUBLE_EQ(eval(m, {-1e300, 1e-6}), r < 0 ? r + 1e-6 : r);
  EXPECT_DOUBLE_EQ(eval(m, {1e20, 1}), 0);
  EXPECT_EQ(slot(m).tree->state, INT_MAX);
  EXPECT_TRUE(std::isinf(eval(m, {INFINITY, 2})));
  // Back to ordinary values: the count follows.
  EXPECT_DOUBLE_EQ(eval(m, {7.5, 2}), 1.5);
  EXPECT_EQ(slot(m).tree->state, 3);
}

TEST_F(Eval, UnitPowers) {
  auto powers = [&](const char *text, std::vector<int> p, int *ok = nullptr) {
    const int id = check(text, {"m", "kg", "s"});
    int result = -99;
    const int k = EvaluateUnitPowers(id, p.data(), &result);
    if (ok) *ok = k;
    return result;
  };
  const std::vector<int> length{1, 0, 0}, mass{0, 1, 0}, time{0, 0, 1};
  EXPECT_EQ(powers("m/s^2", length), 1);
  EXPECT_EQ(powers("m/s^2", time), -2);
  EXPECT_EQ(powers("kg*m^2/s^3", time), -3);
  EXPECT_EQ(powers("kg*m^2/s^3", length), 2);
  EXPECT_EQ(powers("kg*m^2/s^3", mass), 1);
  EXPECT_EQ(powers("m/(kg*s)", {1, 1, 1}), -1);
  EXPECT_EQ(powers("m^-2", length), -2);
  // A factor is no power: only exponents count.
  EXPECT_EQ(powers("1/s", time), -1);
  EXPECT_EQ(powers("1000*m", length), 1);
  EXPECT_EQ(powers("1e-3*kg", length), 0);
  int ok = 1;
  EXPECT_EQ(powers("m+s", length, &ok), 0);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(takeErr(), "\nLocalEvaluateUnitPowers : tree type 6 not defined.");
  EXPECT_EQ(powers("kg*sqrt(m)", mass, &ok), 1);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(takeErr(), "\nLocalEvaluateUnitPowers : tree type 1 not defined.");
  // Saturated, never overflowed.
  EXPECT_EQ(powers("m^2000000000*m^2000000000", length), INT_MAX);
}

}  // namespace
}  // namespace kiv::test
