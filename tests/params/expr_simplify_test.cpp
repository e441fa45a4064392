// Simplification: folding, neutral elements, fold failures by quiet level.
#include "expr_fixture.hpp"

namespace kiv::test {
namespace {

class Simplify : public ExprTest {
 protected:
  void quiet(int level) { ASSERT_EQ(expsetquieteval_(&level), 1); }
  // The folded constant of a text at forest quiet level 1.
  double folded(const std::string &text) {
    quiet(1);
    const int id = check(text.c_str());
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
      {"2*3+x", "(+ 6 x)"},          {"x*1", "x"},
      {"1*x", "x"},                  {"x/1", "x"},
      {"0*x", "0"},                  {"x*0", "0"},
      {"0/x", "0"},                  {"x-x", "0"},
      {"(a+b)/(b+a)", "1"},          {"a*b-b*a", "0"},
      {"a-b-(b-a)", "(- (- a b) (- b a))"},
      {"x^0", "(^ x 0)"},            {"x^1", "x"},
      {"x+0", "x"},                  {"0+x", "x"},
      {"x-0", "x"},                  {"0-x", "(- 0 x)"},
      {"(x+0)*(2-1)", "x"},          {"max(3,x)", "(max 3 x)"},
      {"max(3,4)", "4"},             {"max(xx)", "xx"},
      {"min(x,2,1)", "(min x 1)"},   {"max(x,a)-max(a,x)", "0"},
      {"sin(x*(1+1))", "(sin (* x 2))"},
      {"2>1 && 3<=3 || 0", "1"},     {"!(2==3)", "1"},
      {"1!=1", "0"},                 {"sign(-3,-0.0)", "3"},
      {"atan2(1,0)", "1.5707963267949"},
      {"pi/2-atan2(1,0)", "0"},      {"-2", "-2"},
      // Left for the evaluator, which stops the run.
      {"lsqrta(4,0)", "(lsqrta 4 0)"},
  };
  for (const auto &t : cases) {
    const int id = check(t.text, {"x", "a", "b", "xx"});
    ASSERT_GE(id, 0) << t.text << takeErr();
    EXPECT_EQ(tree(id), t.stored) << t.text;
  }
  EXPECT_EQ(takeErr(), "");
}

// A folded call gives the closed form and what evaluation gives for the
// same arguments (NaN: no closed form at hand).
TEST_F(Simplify, FoldingAgreesWithEvaluation) {
  printing(false);
  const struct {
    const char *fn;
    double x, y, expected;
  } cases[] = {
      {"exp", 1, NAN, std::exp(1.0)},  {"log10", 1000, NAN, 3},       {"acosh", 2, NAN, std::acosh(2.0)},
      {"atanh", 0.5, NAN, std::atanh(0.5)},                            {"floor", -1.5, NAN, -2},
      {"ceil", -1.5, NAN, -1},         {"round", 2.5, NAN, 3},         {"round", -2.5, NAN, -2},
      {"abs", -2, NAN, 2},             {"fabs", -3, NAN, 3},           {"mod", 7.5, 2, 1.5},
      {"mod", -7.5, 2, 0.5},           {"mod", 3, 0, 3},               {"mod", 3, -1, 3},
      {"lsqrta", 4, 1, 2},             {"lsqrta", -4, 1, -2},          {"lsqrta", 0.25, 1, 0.25},
      {"lsqrta", -1, 1, -1},           {"lsqrta", 1, 1, 1},            {"sabs", 0.05, 0.1, 0.0625},
      {"smin", 2, 2.0000001, NAN},     {"smax", 2, 2.0000001, NAN},    {"atan2", 1, -1, 0.75 * M_PI},
  };
  for (const auto &t : cases) {
    char constant[80];
    const bool two = !std::isnan(t.y);
    if (two) std::snprintf(constant, sizeof constant, "%s(%.17g,%.17g)", t.fn, t.x, t.y);
    else std::snprintf(constant, sizeof constant, "%s(%.17g)", t.fn, t.x);
    const double f = folded(constant);
    EXPECT_DOUBLE_EQ(f, eval(check((std::string(t.fn) + (two ? "(x,y)" : "(x)")).c_str(), {"x", "y"}), {t.x, t.y}))
        << constant;
    if (!std::isnan(t.expected)) {
      EXPECT_DOUBLE_EQ(f, t.expected) << constant;
    }
  }
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
      {"log10(-1)", -1e30, "Attempt to compute log10(-1.000000).\n"},
      {"sqrt(-1)", 0, "Attempt to compute sqrt(-1.000000).\n"},
      {"asin(2)", M_PI / 2, "Attempt to compute asin(2.000000).\n"},
      {"acos(-3)", M_PI, "Attempt to compute acos(-3.000000).\n"},
      {"atanh(1)", 1e30, "Attempt to compute atanh(1.000000).\n"},
      {"acosh(0.5)", 0, "Attempt to compute acosh(0.500000).\n"},
      {"1/0", 1e30, "Attempt to divide by zero.\n"},
      {"0/0", -1e30, "Attempt to divide by zero.\n"},
      {"(-8)^(1/3)", 0, "Attempt to raise -8.000000 to power 0.333333.\n"},
      {"0^-1", 1e30, "Attempt to raise 0.000000 to power -1.000000.\n"},
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
    EXPECT_GE(check(t.text), 0) << t.text;
    EXPECT_EQ(takeErr(), t.message);
    quiet(2);
    const int id = check(t.text);
    ASSERT_GE(id, 0) << t.text;
    EXPECT_EQ(slot(id).tree->value, t.stored) << t.text;
    EXPECT_EQ(takeErr(), "");
  }
  // A failed subtree is left as it is, and evaluates as kept.
  quiet(1);
  EXPECT_EQ(tree(check("x+sqrt(-4)*2", {"x"})), "(+ x (* 0 2))");
  EXPECT_DOUBLE_EQ(eval(check("2*sqrt(-4)+x", {"x"}), {1}), 1);
}

TEST_F(Simplify, CompareTree) {
  auto root = [&](const char *text) { return slot(check(text, {"x", "y"})).tree.get(); };
  const BinaryTree *d = root("x-y");
  EXPECT_EQ(CompareTree(root("x+max(y,2)*sin(x)"), root("sin(x)*max(2,y)+x")), 0);
  EXPECT_GT(CompareTree(d, root("y-x")), 0);
  EXPECT_GT(CompareTree(d, nullptr), 0);
  // A value that is not a number equals nothing, itself included.
  TreePtr n1 = NewConstant(std::nan("")), n2 = NewConstant(std::nan(""));
  EXPECT_GT(CompareTree(n1.get(), n2.get()), 0);
}

}  // namespace
}  // namespace kiv::test
