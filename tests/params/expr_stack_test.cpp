// Expressions at the deepest nesting and the longest chains the checker
// accepts are checked, evaluated and differentiated on a worker thread of
// 512 KiB; one step further they are refused with a message.
#include <cmath>
#include <functional>
#include <string>

#include "expr_fixture.hpp"
#include "support/small_stack.hpp"

namespace {

using kiv::test::ExprTest;

std::string times(const std::string &s, int n) { return kiv::test::repeated(s, n); }
// n terms of x joined by op.
std::string chain(const char *op, int n) { return kiv::test::chain("x", op, n); }

// A text of one variable x, its value and derivatives at x (from a loop or
// a closed form), and whether the derivatives fit the size budget.
struct Case {
  std::string name, text;
  double x, value, d1, d2;
  bool d1Built, d2Built;
};

class ExprStack : public ExprTest {
 protected:
  void expectNear(double got, double want, const std::string &what) {
    EXPECT_NEAR(got, want, 1e-9 * (1.0 + std::fabs(want))) << what;
  }

  // Checked, evaluated and differentiated as the case says, on the small stack.
  void runCase(const Case &c) {
    const bool ran = kiv::test::onStackOf(kiv::test::kWorkerStack, [&] {
      const int id = check(c.text.c_str(), {"x"});
      ASSERT_GE(id, 0) << c.name;
      int ok = 0;
      expectNear(eval(id, {c.x}, &ok), c.value, c.name);
      EXPECT_EQ(ok, 1) << c.name;
      const double d1 = evald(id, 1, {c.x}, &ok);
      EXPECT_EQ(ok, c.d1Built ? 1 : 0) << c.name;
      if (c.d1Built) expectNear(d1, c.d1, c.name + " d1");
      const double d2 = evald2(id, 1, 1, {c.x}, &ok);
      EXPECT_EQ(ok, c.d2Built ? 1 : 0) << c.name;
      if (c.d2Built) expectNear(d2, c.d2, c.name + " d2");
      const std::string err = takeErr();
      EXPECT_EQ(err.find("derivative exceeds") != std::string::npos, !(c.d1Built && c.d2Built))
          << c.name << err;

      // The unsimplified first derivative in place of the expression.
      int count = 1, index = 1;
      const int did = DifferExpression(c.text.c_str(), 1, names({"x"}), &count, &index);
      EXPECT_EQ(did >= 0, c.d1Built) << c.name;
      if (did >= 0) expectNear(eval(did, {c.x}), c.d1, c.name + " DifferExpression");
      takeErr();
    });
    EXPECT_TRUE(ran) << c.name;
  }

  // One step past the limit: refused, with the message.
  void runRefused(const std::string &name, const std::string &text) {
    int id = 0;
    EXPECT_TRUE(kiv::test::onStackOf(kiv::test::kWorkerStack, [&] { id = check(text.c_str(), {"x"}); }));
    EXPECT_EQ(id, -1) << name;
    EXPECT_NE(takeErr().find("Expression nested too deeply"), std::string::npos) << name;
  }
};

TEST_F(ExprStack, AcceptedLimitsFitAWorkerThread) {
  const int nest = kiv::kMaxNesting, terms = kiv::kMaxTreeDepth;

  // sin nested: the value and the chain rule by a loop.
  double s = 0.7, ds = 1.0;
  for (int i = 0; i < nest; ++i) {
    ds *= std::cos(s);
    s = std::sin(s);
  }
  // x^x^...^x by a loop from the top: t_k = x^t_(k-1).
  const double xp = 1.1;
  double tower = xp;
  for (int i = 1; i < terms; ++i) tower = std::pow(xp, tower);
  const double xr = 1.0001;

  const Case cases[] = {
      {"nested calls", times("sin(", nest) + "x" + times(")", nest), 0.7, s, ds, 0, true, false},
      {"nested brackets", times("(1+", nest) + "x" + times(")", nest), 0.3, nest + 0.3, 1, 0, true, true},
      {"nested minus", times("-(", nest) + "x" + times(")", nest), 0.3, 0.3, 1, 0, true, true},
      {"chain -", chain("-", terms), 0.5, 0.5 * (2 - terms), 2 - terms, 0, true, true},
      {"chain +", chain("+", terms), 0.5, 0.5 * terms, terms, 0, true, true},
      {"chain *", chain("*", terms), xr, std::pow(xr, terms), terms * std::pow(xr, terms - 1), 0, false, false},
      {"chain /", chain("/", terms), xr, std::pow(xr, 2 - terms), (2 - terms) * std::pow(xr, 1 - terms), 0, false,
       false},
      {"chain ^", chain("^", terms), xp, tower, 0, 0, false, false},
  };
  for (const Case &c : cases) runCase(c);

  runRefused("nested calls", times("sin(", nest + 1) + "x" + times(")", nest + 1));
  runRefused("nested brackets", times("(1+", nest + 1) + "x" + times(")", nest + 1));
  runRefused("nested minus", times("-(", nest + 1) + "x" + times(")", nest + 1));
  for (const char *op : {"-", "+", "*", "/", "^"}) runRefused(std::string("chain ") + op, chain(op, terms + 1));
}

}  // namespace
