// Simplification: folding, neutral elements, fold failures by quiet level.
#include <cmath>

#include "expr_fixture.hpp"
#include "params/kiv_math.h"

namespace kiv::test {
namespace {

class Simplify : public ExprTest {
 protected:
  void quiet(int level) { ASSERT_EQ(expsetquieteval_(&level), 1); }
  // The folded constant of a text at forest quiet level 1.
  double folded(const char *text) {
    quiet(1);
    const int id = check(text);
    quiet(0);
    EXPECT_GE(id, 0) << text;
    if (id < 0) return std::nan("");
    EXPECT_EQ(slot(id).tree->kind, kConstant) << text << ": " << tree(id);
    return slot(id).tree->value;
  }
};

TEST_F(Simplify, NeutralElementsAndFolding) {
  const struct {
    const char *text, *stored;
  } cases[] = {
      {"2*3+x", "(+ 6 x)"},
      {"x*1", "x"},
      {"1*x", "x"},
      {"x/1", "x"},
      {"0*x", "0"},
      {"x*0", "0"},
      {"0/x", "0"},
      {"x-x", "0"},
      {"(a+b)/(b+a)", "1"},
      {"a*b-b*a", "0"},
      {"a-b-(b-a)", "(- (- a b) (- b a))"},
      {"x^0", "(^ x 0)"},
      {"x^1", "x"},
      {"x+0", "x"},
      {"0+x", "x"},
      {"x-0", "x"},
      {"0-x", "(- 0 x)"},
      {"(x+0)*(2-1)", "x"},
      {"max(3,x)", "(max 3 x)"},
      {"max(3,4)", "4"},
      {"max(xx)", "xx"},
      {"min(x,2,1)", "(min x 1)"},
      {"max(x,a)-max(a,x)", "0"},
      {"sin(x*(1+1))", "(sin (* x 2))"},
      {"2>1 && 3<=3 || 0", "1"},
      {"!(2==3)", "1"},
      {"1!=1", "0"},
      {"sign(-3,-0.0)", "3"},
      {"atan2(1,0)", "1.5707963267949"},
      {"pi/2-atan2(1,0)", "0"},
      {"-2", "-2"},
  };
  for (const auto &t : cases) {
    const int id = check(t.text, {"x", "a", "b", "xx"});
    ASSERT_GE(id, 0) << t.text << takeErr();
    EXPECT_EQ(tree(id), t.stored) << t.text;
  }
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Simplify, FoldedValuesMatchTheLibrary) {
  EXPECT_DOUBLE_EQ(folded("exp(1)"), std::exp(1.0));
  EXPECT_DOUBLE_EQ(folded("log10(1000)"), 3);
  EXPECT_DOUBLE_EQ(folded("acosh(2)"), std::acosh(2.0));
  EXPECT_DOUBLE_EQ(folded("atanh(0.5)"), std::atanh(0.5));
  EXPECT_DOUBLE_EQ(folded("floor(-1.5)+ceil(-1.5)"), -3);
  EXPECT_DOUBLE_EQ(folded("round(2.5)"), 3);
  EXPECT_DOUBLE_EQ(folded("round(-2.5)"), -2);
  EXPECT_DOUBLE_EQ(folded("abs(-2)+fabs(-3)"), 5);
  EXPECT_DOUBLE_EQ(folded("mod(7.5,2)"), 1.5);
  EXPECT_DOUBLE_EQ(folded("mod(-7.5,2)"), 0.5);
  EXPECT_DOUBLE_EQ(folded("mod(3,0)+mod(3,-1)"), 6);
  for (const char *text : {"lsqrta(4,1)", "lsqrta(-4,1)", "lsqrta(0.25,1)", "lsqrta(-1,1)", "lsqrta(1,1)"}) {
    double x, xc = 1;
    int state = 0;
    std::sscanf(text, "lsqrta(%lf", &x);
    EXPECT_DOUBLE_EQ(folded(text), lsqrta_(&x, &xc, &state)) << text;
  }
  double l = 2, r = 2.0000001, dx = (r + 1) * 1e-6;
  EXPECT_DOUBLE_EQ(folded("smin(2,2.0000001)"), sulimit_(&l, &r, &dx));
  EXPECT_DOUBLE_EQ(folded("smax(2,2.0000001)"), sllimit_(&l, &r, &dx));
  double a = 0.05, w = 0.1;
  EXPECT_DOUBLE_EQ(folded("sabs(0.05,0.1)"), sabs_(&a, &w));
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Simplify, ModFoldsQuicklyAndAsAlwaysForFewPeriods) {
  // Fewer periods than the step limit: the repeated subtraction's own bits.
  double l = 95.3, r = 0.1;
  while (r <= l) l -= r;
  EXPECT_EQ(folded("mod(95.3,0.1)"), l);
  EXPECT_DOUBLE_EQ(folded("mod(1e20,1)"), 0);
  EXPECT_DOUBLE_EQ(folded("mod(1e300,7)"), std::fmod(1e300, 7));
  EXPECT_DOUBLE_EQ(folded("mod(-1e20,3)"), std::fmod(-1e20, 3) + 3);
  EXPECT_TRUE(std::isinf(folded("mod(1e999,1)")));
}

TEST_F(Simplify, FailedFoldsByQuietLevel) {
  const struct {
    const char *text;
    double stored;
    const char *message;
  } cases[] = {
      {"log(0)", -1e30, "Attempt to compute log(0.000000).\n"},
      {"log10(-1)", -1e30, "Attempt to compute log10(-1.000000).\n"},
      {"sqrt(-1)", 0, "Attempt to compute sqrt(-1.000000).\n"},
      {"asin(2)", M_PI / 2, "Attempt to compute asin(2.000000).\n"},
      {"acos(-3)", M_PI, "Attempt to compute acos(-3.000000).\n"},
      {"atanh(1)", 1e30, "Attempt to compute atanh(1.000000).\n"},
      {"atanh(-1)", -1e30, "Attempt to compute atanh(-1.000000).\n"},
      {"acosh(0.5)", 0, "Attempt to compute acosh(0.500000).\n"},
      {"1/0", 1e30, "Attempt to divide by zero.\n"},
      {"-1/0", -1e30, "Attempt to divide by zero.\n"},
      {"0/0", -1e30, "Attempt to divide by zero.\n"},
      {"(-8)^(1/3)", 0, "Attempt to raise -8.000000 to power 0.333333.\n"},
      {"0^-1", 1e30, "Attempt to raise 0.000000 to power -1.000000.\n"},
      {"10^400", 1e30, "Attempt to raise 10.000000 to power 400.000000.\n"},
      {"(-10)^401", -1e30, "Attempt to raise -10.000000 to power 401.000000.\n"},
  };
  for (const auto &t : cases) {
    quiet(0);
    EXPECT_EQ(check(t.text), -1) << t.text;
    EXPECT_EQ(takeErr(), t.message);
    // The caller's quiet flag does not silence folding.
    EXPECT_EQ(checkQuietly(t.text), -1) << t.text;
    EXPECT_EQ(takeErr(), t.message);
    quiet(1);
    int id = check(t.text);
    ASSERT_GE(id, 0) << t.text;
    EXPECT_EQ(tree(id), render(NewConstant(t.stored).get(), slot(id))) << t.text;
    EXPECT_EQ(takeErr(), t.message);
    quiet(2);
    id = check(t.text);
    ASSERT_GE(id, 0) << t.text;
    EXPECT_EQ(slot(id).tree->value, t.stored) << t.text;
    EXPECT_EQ(takeErr(), "");
  }
}

TEST_F(Simplify, AFailedSubtreeIsLeftAsItIs) {
  quiet(1);
  const int id = check("x+sqrt(-4)*2", {"x"});
  ASSERT_GE(id, 0);
  EXPECT_EQ(tree(id), "(+ x (* 0 2))");
  takeErr();
  // Evaluation of what was kept.
  EXPECT_DOUBLE_EQ(eval(check("2*sqrt(-4)+x", {"x"}), {1}), 1);
}

TEST_F(Simplify, CriticalValueOfLsqrtaIsNotFolded) {
  const int id = check("lsqrta(4,0)");
  ASSERT_GE(id, 0);
  EXPECT_EQ(tree(id), "(lsqrta 4 0)");
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Simplify, CompareTree) {
  const int a = check("x+max(y,2)*sin(x)", {"x", "y"});
  const int b = check("sin(x)*max(2,y)+x", {"x", "y"});
  const int c = check("sin(x)*max(2,y)-x", {"x", "y"});
  const int d = check("x-y", {"x", "y"}), e = check("y-x", {"x", "y"});
  EXPECT_EQ(CompareTree(slot(a).tree.get(), slot(b).tree.get()), 0);
  EXPECT_GT(CompareTree(slot(a).tree.get(), slot(c).tree.get()), 0);
  EXPECT_GT(CompareTree(slot(d).tree.get(), slot(e).tree.get()), 0);
  EXPECT_EQ(CompareTree(nullptr, nullptr), 0);
  EXPECT_GT(CompareTree(slot(d).tree.get(), nullptr), 0);
  // A value that is not a number equals nothing, itself included.
  TreePtr n1 = NewConstant(std::nan("")), n2 = NewConstant(std::nan(""));
  EXPECT_GT(CompareTree(n1.get(), n2.get()), 0);
}

TEST_F(Simplify, MeltTree) {
  TreePtr t = NewOperator(kPlus, NewOperator(kTimes, NewConstant(2), NewConstant(3)), NewConstant(4));
  t->left->state = 7;
  MeltTree(t.get(), 0);
  EXPECT_EQ(t->kind, kTimes);
  EXPECT_EQ(t->state, 7);
  EXPECT_EQ(t->left->parent, t.get());
  EXPECT_EQ(t->right->value, 3);
  MeltTree(t.get(), 1);
  EXPECT_EQ(t->kind, kConstant);
  EXPECT_EQ(t->value, 3);
  EXPECT_EQ(t->left, nullptr);
  EXPECT_EQ(t->right, nullptr);
}

}  // namespace
}  // namespace kiv::test
