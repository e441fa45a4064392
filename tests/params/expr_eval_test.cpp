// Evaluation: held and free branches through the runtime's driver calls,
// substitutes and their messages, quiet levels, the entry points' checks and
// unit powers.
#include <cfloat>
#include <climits>
#include <string>

#include "expr_fixture.hpp"
#include "params/kiv_math.h"

namespace kiv::test {
namespace {

class Eval : public ExprTest {
 protected:
  void SetUp() override {
    ExprTest::SetUp();
    KivSetFirstCall(0);  // evaluations in the middle of a run
  }
  // Evaluates in the driver mode; the answer word after it.
  double in(int mode, int id, std::vector<double> v, int *answer = nullptr, int *ok = nullptr) {
    double r = 0;
    const int w = answerIn(mode, [&] { r = eval(id, v, ok); });
    if (answer) *answer = w;
    return r;
  }
  // The variable listing that follows a failed evaluation of x (and y).
  static std::string listing(std::vector<double> v) {
    std::string s = "Expression variables values :\n";
    char line[80];
    for (size_t i = 0; i < v.size(); ++i) {
      std::snprintf(line, sizeof line, "%c = %lf\n", "xy"[i], v[i]);
      s += line;
    }
    return s;
  }
};

TEST_F(Eval, ComparisonHeldWhileLocating) {
  const int id = check("x>1", {"x"});
  // A check holds too but reports nothing.
  expectSteps([&](double x) { return eval(id, {x}); },
              {{kFree, 2, 1, 0}, {kLocate, 0.5, 1, 4}, {kCheck, 0.5, 1, kCheck}, {kFree, 0.5, 0, 0}, {kLocate, 0.7, 0, 2}});
  KivSetDiscontinuityLogging(0);
  expectSteps([&](double x) { return eval(id, {x}); }, {{kLocate, 2, 0, 3}});
  // The plain entry point reports through the same channel.
  expectSteps([&](double x) { return EvaluateExpression(id, &x); }, {{kLocate, 2, 0, 3}});
  KivSetDiscontinuityLogging(1);
  // Held branches that still match report nothing.
  const int many = check("floor(x)+max(x,1)+(x>0)", {"x"});
  expectSteps([&](double x) { return eval(many, {x}); }, {{kFree, 1.5, 3.5, 0}, {kLocate, 1.9, 3.9, 2}});
}

TEST_F(Eval, EveryBranchingNodeHoldsItsBranch) {
  const struct {
    const char *text;
    std::vector<double> freeAt, heldAt;
    double freeValue, heldValue;
  } cases[] = {
      {"x>=1", {1}, {0.9}, 1, 1},           {"x<1", {0}, {2}, 1, 1},
      {"x<=1", {2}, {1}, 0, 0},             {"x==1", {1}, {1.5}, 1, 1},
      {"x!=1", {1}, {0.5}, 0, 0},           {"x&&y", {1, 1}, {1, 0}, 1, 1},
      {"x||y", {0, 0}, {0, 1}, 0, 0},       {"abs(x)", {1}, {-1}, 1, -1},
      {"fabs(x)", {-2}, {3}, 2, -3},        {"sign(x,y)", {3, 1}, {3, -1}, 3, 3},
      {"max(x,y)", {1, 2}, {3, 2}, 2, 2},   {"max(x,y)", {3, 2}, {1, 2}, 3, 1},
      {"min(x,y)", {1, 2}, {3, 2}, 1, 3},   {"min(x,y)", {3, 2}, {1, 2}, 2, 2},
      {"floor(x)", {1.5}, {2.5}, 1, 1},     {"ceil(x)", {1.5}, {2.5}, 2, 2},
      {"round(x)", {1.2}, {1.7}, 1, 1},     {"mod(x,2)", {7.5}, {8.5}, 1.5, 2.5},
      {"lsqrta(x,1)", {4}, {0.25}, 2, 0.5},
  };
  for (const auto &t : cases) {
    const int id = check(t.text, {"x", "y"});
    int answer = 0, ok[2] = {};
    EXPECT_DOUBLE_EQ(in(kFree, id, t.freeAt, &answer, &ok[0]), t.freeValue) << t.text;
    EXPECT_DOUBLE_EQ(in(kLocate, id, t.heldAt, &answer, &ok[1]), t.heldValue) << t.text;
    EXPECT_EQ(answer, 4) << t.text << ": crossing reported";
    EXPECT_TRUE(ok[0] && ok[1]) << t.text;
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

TEST_F(Eval, FunctionValues) {
  const struct {
    const char *text;
    double x, y, expected;
  } cases[] = {
      {"round(x)", -2.6, 0, -3},  {"sign(x,y)", 3, -0.0, 3},      {"sign(x,y)", 3, -1e-300, -3},
      {"mod(x,y)", -0.5, 2, 1.5}, {"max(x,y,1)", 0, 3, 3},        {"max(x,1,y)", 4, 5, 5},
  };
  for (const auto &t : cases) EXPECT_EQ(eval(check(t.text, {"x", "y"}), {t.x, t.y}), t.expected) << t.text;
  // Equal operands: max takes the first, min the second.
  EXPECT_TRUE(std::signbit(eval(check("max(x,y)", {"x", "y"}), {-0.0, 0.0})));
  EXPECT_TRUE(std::signbit(eval(check("min(x,y)", {"x", "y"}), {0.0, -0.0})));
  // The smooth functions are those of the math library, with a band of (|y| + 1) 1e-6.
  const int sm = check("smin(x,y)+10*smax(x,y)+100*sabs(x,y)", {"x", "y"});
  for (auto [x, y] : {std::pair{1.0000004, 1.0}, {0.05, 0.1}, {-3.0, 2.0}, {2.0, -3.0}}) {
    double dx = (std::fabs(y) + 1.0) * 1e-6;
    const double expected = sulimit_(&x, &y, &dx) + 10 * sllimit_(&x, &y, &dx) + 100 * sabs_(&x, &y);
    EXPECT_NEAR(eval(sm, {x, y}), expected, 1e-12) << x << " " << y;
  }
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Eval, PowersAndNestedOperandsAgainstDirectArithmetic) {
  // x^1..x^4 within two ulps of the math library's pow, over many magnitudes.
  for (int n = 1; n <= 4; ++n) {
    const std::string text = "x^" + std::to_string(n);
    const int id = check(text.c_str(), {"x"});
    for (double x = -1e70; std::fabs(x) > 1e-70; x *= -0.73) {
      const double p = std::pow(x, n);
      EXPECT_LE(std::fabs(eval(id, {x}) - p), 2 * DBL_EPSILON * std::fabs(p)) << text << " " << x;
    }
  }
  // Overflow and not-a-number keep the substitutes of pow.
  int ok = 1;
  EXPECT_EQ(eval(check("x^3", {"x"}), {-1e200}, &ok), -1e30);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(eval(check("x^2", {"x"}), {NAN}, &ok), 0.0);
  EXPECT_EQ(ok, 0);
  takeErr();
  // Operands that are themselves results, on both sides and in arguments.
  const double x = 1.7, y = -0.45;
  const struct {
    const char *text;
    double expected;
  } cases[] = {
      {"atan2(x*y+1, y-x*2)", std::atan2(x * y + 1, y - x * 2)},
      {"(x+y)*(x-y)/(x*x+1)", (x + y) * (x - y) / (x * x + 1)},
      {"x - y*(x+1) + 2*y*sin(x)", x - y * (x + 1) + 2 * y * std::sin(x)},
      {"max(x*2, y+1, x-y) - min(y*3, x)", std::max(x * 2, std::max(y + 1, x - y)) - std::min(y * 3, x)},
      {"sin(x)*cos(y) - (x*y)^2 + ((x+1)*(y+2))^3", std::sin(x) * std::cos(y) - (x * y) * (x * y) +
                                                        std::pow((x + 1) * (y + 2), 3)},
  };
  for (const auto &t : cases) EXPECT_DOUBLE_EQ(eval(check(t.text, {"x", "y"}), {x, y}), t.expected) << t.text;
}

TEST_F(Eval, SubstitutesAndMessagesOnPrintSteps) {
  const int q = check("y/x", {"x", "y"}), m = check("mod(x,y)", {"x", "y"}), p = check("x^y", {"x", "y"});
  const std::string divide = "attempt to divide by zero.\n", modulo = "too small or negative modulo ";
  const struct {
    int id;
    std::vector<double> v;
    double result;
    std::string message;
  } cases[] = {
      {q, {0, 1}, 1e30, divide},  {q, {0, -1}, -1e30, divide},  {q, {0, 0}, -1e30, divide},
      {m, {1e6, 1e-9}, 1e6, modulo + "0.000000\n"},              {m, {5, -2}, 5, modulo + "-2.000000\n"},
      {p, {0, -1}, 1e30, "unable to raise 0.000000 to power -1.000000\n"},
      {p, {-8, 1.0 / 3}, 0, "unable to raise -8.000000 to power 0.333333\n"},
      // Overflow keeps its sign instead of collapsing to 0.
      {p, {10, 400}, 1e30, "unable to raise 10.000000 to power 400.000000\n"},
      {p, {-10, 401}, -1e30, "unable to raise -10.000000 to power 401.000000\n"},
  };
  for (const auto &t : cases) {
    int ok[2] = {1, 0};
    printing(true);
    EXPECT_EQ(eval(t.id, t.v, &ok[0]), t.result) << t.message;
    EXPECT_EQ(takeErr(), "\n\nExpression evaluation error : " + t.message + listing(t.v));
    printing(false);
    EXPECT_EQ(eval(t.id, t.v, &ok[1]), t.result) << t.message;
    EXPECT_EQ(takeErr(), "");
    EXPECT_TRUE(!ok[0] && ok[1]) << t.message;
  }
  EXPECT_EQ(eval(p, {0, 0}), 1);
  // A crossing already raised in this evaluation silences later substitutes.
  const int id = check("(x>1)+1/y", {"x", "y"});
  printing(true);
  int answer = 0, ok = 0;
  EXPECT_EQ(in(kFree, id, {2, 1}), 2);
  EXPECT_EQ(in(kLocate, id, {0, 0}, &answer, &ok), 1 + 1e30);
  EXPECT_TRUE(answer == 4 && ok == 1);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Eval, DomainRuleAndQuietLevels) {
  const int s = check("sqrt(x)", {"x"});
  int ok = 1, answer = 0;
  EXPECT_EQ(in(kFree, s, {-4}, nullptr, &ok), -2);
  EXPECT_EQ(takeErr(), "\n\nExpression evaluation error : unable to compute sqrt(-4.000000)\n" + listing({-4}));
  // Held: no failure; a crossing only when the free evaluation was valid.
  EXPECT_EQ(in(kLocate, s, {-4}, &answer, &ok), -2);
  EXPECT_TRUE(ok == 1 && answer == 2);
  expectSteps([&](double x) { return eval(s, {x}); }, {{kFree, 4, 2, 0}, {kLocate, -4, -2, 4}});
  EXPECT_EQ(takeErr(), "");
  const struct {
    const char *name;
    double x, result;
  } cases[] = {
      {"log", 0, -1e30},       {"log10", -1, -1e30},   {"asin", 2, M_PI / 2},
      {"asin", -2, -M_PI / 2}, {"acos", 2, 0},         {"acos", -1.5, M_PI},
      {"acosh", 0.5, 0},       {"atanh", 1, 1e30},     {"atanh", -2, -1e30},
  };
  for (const auto &t : cases) {
    EXPECT_DOUBLE_EQ(in(kFree, check((std::string(t.name) + "(x)").c_str(), {"x"}), {t.x}, nullptr, &ok), t.result);
    EXPECT_EQ(ok, 0);
    char expected[100];
    std::snprintf(expected, sizeof expected, "\n\nExpression evaluation error : unable to compute %s(%lf)\n", t.name, t.x);
    EXPECT_EQ(takeErr(), expected + listing({t.x}));
  }
  // asin remembers the side it left its domain by.
  const int a = check("asin(x)", {"x"});
  expectSteps([&](double x) { return eval(a, {x}); },
              {{kFree, 2, M_PI / 2, 0}, {kLocate, 3, M_PI / 2, 2}, {kLocate, -3, -M_PI / 2, 4}});
  takeErr();

  // Level 1 still prints; level 2 is silent and drops the domain rule's crossing too.
  for (int level : {1, 2}) {
    ASSERT_EQ(expsetquieteval_(&level), 1);
    EXPECT_EQ(expgetquieteval_(), level);
    EXPECT_EQ(in(kFree, s, {-1}, nullptr, &ok), -1);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(takeErr().empty(), level == 2);
    expectSteps([&](double x) { return eval(s, {x}); }, {{kFree, 1, 1, 0}, {kLocate, -1, -1, level == 2 ? 2 : 4}});
  }
  int level = 3;
  EXPECT_EQ(expsetquieteval_(&level), 0);
  EXPECT_EQ(takeErr(), "Call to expsetquieteval requires flag value in range [0,2].\n");
  EXPECT_EQ(expgetquieteval_(), 2);
}

TEST_F(Eval, FreedOrUnknownIdIsInvalidEverywhere) {
  int id = check("x", {"x"});
  ASSERT_EQ(expfree_(&id), 1);
  for (int bad : {id, -1, 5}) {
    double v[] = {1}, r = 42;
    int k = 1, kl[2] = {1, 1}, flag = 1, powers[1] = {1}, result = 42;
    const int results[] = {expeval_(&bad, v, &r),        expevald_(&bad, &k, v, &r), expevald2_(&bad, kl, v, &r),
                           exphandledisc_(&bad, &flag), expfree_(&bad), EvaluateUnitPowers(bad, powers, &result)};
    for (int res : results) EXPECT_EQ(res, 0);
    EXPECT_EQ(guarded([&] { return static_cast<int>(EvaluateExpression(bad, v)); }), -2);
    EXPECT_EQ(exitCode(), 1);
    std::string expected;
    for (const char *fn : {"expeval", "expevald", "expevald2", "exphandledisc", "expfree", "EvaluateUnitPowers",
                           "EvaluateExpression"})
      expected += std::string("Call to ") + fn + " with invalid index " + std::to_string(bad) +
                  "\nNo binary tree created with this index\n";
    EXPECT_EQ(takeErr(), expected + "Terminating Program\n");
    EXPECT_TRUE(r == 42 && result == 42);
  }
}

TEST_F(Eval, SettingsAndObsoleteCalls) {
  int id = check("x", {"x"}), flag = 2;
  EXPECT_EQ(exphandledisc_(&id, &flag), 0);
  EXPECT_EQ(takeErr(), "Call to exphandledisc with invalid argument\nhandle_disc flag must be 1 or 0 and is 2.\n");
  BeQuiet();
  EXPECT_EQ(takeErr(), "BeQuiet is now obsolete\n");
}

TEST_F(Eval, NodesOutsideTheTablesAndCriticalValueZeroStopTheRun) {
  TreePtr bad = NewOperator(kInvalid, nullptr, nullptr);
  int ok = 1, disc = 0;
  EXPECT_EQ(guarded([&] { return static_cast<int>(EvaluateTree(bad.get(), nullptr, &ok, &disc, 0, 1)); }), -2);
  EXPECT_EQ(takeErr(), "\nEvaluateTree : tree type 0 not defined.\nTerminating program.\n");
  TreePtr fn = NewNode(kFunction, 0.0, kFunctionCount);
  fn->right = NewConstant(1).release();
  EXPECT_EQ(guarded([&] { return static_cast<int>(EvaluateTree(fn.get(), nullptr, &ok, &disc, 0, 1)); }), -2);
  EXPECT_EQ(takeErr(), "\nEvaluateTree : function index 30 not defined.\nTerminating program.\n");
  const int id = check("lsqrta(x,0)", {"x"});
  EXPECT_EQ(guarded([&] { return static_cast<int>(eval(id, {4})); }), -2);
  EXPECT_EQ(takeErr(), "\nThe value of xcrit must be strictly positive\nxcrit = 0\nTerminating program.\n");
  EXPECT_EQ(exitCode(), 1);
}

TEST_F(Eval, IntegerCountsStayInRange) {
  const int f = check("floor(x)+ceil(x)+round(x)", {"x"});
  EXPECT_EQ(eval(f, {1e20}), 3.0 * INT_MAX);
  EXPECT_EQ(eval(f, {-1e20}), 3.0 * INT_MIN);
  EXPECT_EQ(eval(f, {std::nan("")}), 0);
  const int m = check("mod(x,y)", {"x", "y"});
  EXPECT_DOUBLE_EQ(eval(m, {1e300, 0.7}), std::fmod(1e300, 0.7));
  EXPECT_DOUBLE_EQ(eval(m, {1e20, 1}), 0);
  EXPECT_TRUE(std::isinf(eval(m, {INFINITY, 2})));
  // Back to ordinary values: the count follows.
  EXPECT_DOUBLE_EQ(eval(m, {7.5, 2}), 1.5);
  EXPECT_EQ(slot(m).tree->state, 3);
}

TEST_F(Eval, UnitPowers) {
  const std::vector<int> length{1, 0, 0}, mass{0, 1, 0}, time{0, 0, 1};
  const struct {
    const char *text;
    std::vector<int> powers;
    int expected, ok;
  } cases[] = {
      {"m/s^2", time, -2, 1},        {"kg*m^2/s^3", length, 2, 1},   {"kg*m^2/s^3", mass, 1, 1},
      {"m/(kg*s)", {1, 1, 1}, -1, 1}, {"m^-2", length, -2, 1},
      // A factor is no power: only exponents count.
      {"1/s", time, -1, 1},          {"1000*m", length, 1, 1},       {"1e-3*kg", length, 0, 1},
      {"m^2000000000*m^2000000000", length, INT_MAX, 1},  // saturated, never overflowed
      {"m+s", length, 0, 0},         {"kg*sqrt(m)", mass, 1, 0},
  };
  for (const auto &t : cases) {
    std::vector<int> p = t.powers;
    int result = -99;
    EXPECT_EQ(EvaluateUnitPowers(check(t.text, {"m", "kg", "s"}), p.data(), &result), t.ok) << t.text;
    EXPECT_EQ(result, t.expected) << t.text;
  }
  EXPECT_EQ(takeErr(), "\nLocalEvaluateUnitPowers : tree type 6 not defined."
                       "\nLocalEvaluateUnitPowers : tree type 1 not defined.");
}

}  // namespace
}  // namespace kiv::test
