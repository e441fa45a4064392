// Parsing: precedence and associativity, names and numbers, every caret
// message, slot reuse and release.
#include <cmath>

#include "expr_fixture.hpp"

namespace kiv::test {
namespace {

using Parse = ExprTest;

TEST_F(Parse, PrecedenceAndAssociativityMatchArithmetic) {
  const double a = 2, b = 3, c = 5;
  const struct {
    const char *text;
    double expected;
  } cases[] = {
      {"a+b*c", a + b * c},
      {"(a+b)*c", (a + b) * c},
      {"a-b-c", (a - b) - c},
      {"a-b+c", (a - b) + c},
      {"a/b*c", (a / b) * c},
      {"c/a/b", (c / a) / b},
      {"a*b^2", a * b * b},
      {"a**b", 8},
      {"2^3^2", 512},
      {"8/4/2", 1},
      {"-a^b", -8},
      {"-a*b", -6},
      {"-a+b", 1},
      {"a*-b^2", -18},
      {"a/-b*c", a / (-b) * c},
      {"a^-b/c", std::pow(a, -(b / c))},
      {"2^-1", 0.5},
      {"a*-1e5", -2e5},
      {"a-1e-5", a - 1e-5},
      {"--a", 2},
      {"+a", 2},
      {"a+b>c-1", 1},
      {"a<b==b<c", 1},
      {"1<2 && 3>4 || 1", 1},
      {"1<2 && (3>4 || 1)", 1},
      {"0 && 3>4 || 0", 0},
      {"!a && b", 0},
      {"!(a-2) && b", 1},
      {"!a+b", 0},
      {"!a-a", 1},
      {"a>=2", 1},
      {"a<=1.5", 0},
      {"a==b", 0},
      {"a!=b", 1},
      {"a*(b+c)/(c-a)", a * (b + c) / (c - a)},
      {"sin(a)^2+cos(a)^2", 1},
      {"2*sin(a)*b", 2 * std::sin(a) * b},
      {"a+max(b,c)*2", a + c * 2},
  };
  for (const auto &t : cases) {
    const int id = check(t.text, {"a", "b", "c"});
    ASSERT_GE(id, 0) << t.text << takeErr();
    EXPECT_NEAR(eval(id, {a, b, c}), t.expected, 1e-12) << t.text;
    int free_id = id;
    expfree_(&free_id);
  }
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Parse, TreeShapes) {
  EXPECT_EQ(tree(check("2*x^2", {"x"})), "(* 2 (^ x 2))");
  EXPECT_EQ(tree(check("2^x^y", {"x", "y"})), "(^ 2 (^ x y))");
  EXPECT_EQ(tree(check("a-b-c", {"a", "b", "c"})), "(- (- a b) c)");
  EXPECT_EQ(tree(check("a<b && b>c || a", {"a", "b", "c"})), "(|| (&& (< a b) (> b c)) a)");
  EXPECT_EQ(tree(check("-a^b", {"a", "b"})), "(* -1 (^ a b))");
  EXPECT_EQ(tree(check("-a*b", {"a", "b"})), "(* (* -1 a) b)");
  EXPECT_EQ(tree(check("a^-b/c", {"a", "b", "c"})), "(^ a (/ (* -1 b) c))");
  EXPECT_EQ(tree(check("!a+b", {"a", "b"})), "(== 0 (+ a b))");
  EXPECT_EQ(tree(check("!a&&b", {"a", "b"})), "(&& (== 0 a) b)");
  EXPECT_EQ(tree(check("max(a,b,c)", {"a", "b", "c"})), "(max a (max b c))");
  EXPECT_EQ(tree(check("atan2(a,b)", {"a", "b"})), "(atan2 a b)");
  EXPECT_EQ(tree(check("(a+b)*c", {"a", "b", "c"})), "(* (+ a b) c)");
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Parse, NamesFunctionsAndNumbersIgnoreCase) {
  int id = check("SIN(X)+Pi", {"x"});
  ASSERT_GE(id, 0);
  EXPECT_DOUBLE_EQ(eval(id, {0.5}), std::sin(0.5) + M_PI);
  EXPECT_DOUBLE_EQ(value("1.5D3"), 1500);
  EXPECT_DOUBLE_EQ(value("2.5d-1"), 0.25);
  EXPECT_DOUBLE_EQ(value("1E2"), 100);
  EXPECT_DOUBLE_EQ(value(".5"), 0.5);
  EXPECT_DOUBLE_EQ(value("5."), 5);
  EXPECT_DOUBLE_EQ(value("LOG10(1000)"), 3);
  // A function name only when "(" follows; a whole-word variable otherwise.
  id = check("sinus*2+sinh(0)", {"sinus"});
  EXPECT_DOUBLE_EQ(eval(id, {4}), 8);
  id = check("ab+a", {"a", "ab"});
  EXPECT_DOUBLE_EQ(eval(id, {1, 10}), 11);
  id = check("x_1*X_2", {"x_1", "x_2"});
  EXPECT_DOUBLE_EQ(eval(id, {3, 4}), 12);
  // "pi" hides a variable of that name.
  id = check("pi", {"pi"});
  EXPECT_DOUBLE_EQ(eval(id, {1}), M_PI);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Parse, BlanksAreRemovedFromTextAndNames) {
  char **n = names({" x  y ", "z"});
  const int id = CheckExpression(" x y * 2 - z ", 2, n);
  ASSERT_GE(id, 0);
  EXPECT_STREQ(n[0], "xy");
  EXPECT_EQ(slot(id).names[0], "xy");
  EXPECT_DOUBLE_EQ(eval(id, {3, 1}), 5);
}

TEST_F(Parse, NameChecks) {
  EXPECT_EQ(check("x", {""}), -1);
  EXPECT_EQ(takeErr(), "\n\nNull token detected.\n\n");
  EXPECT_EQ(CheckExpression("x", 1, nullptr), -1);
  EXPECT_EQ(takeErr(), "\n\nNull token detected.\n\n");
  EXPECT_EQ(check("x", {"   "}), -1);
  EXPECT_EQ(takeErr(), "\n\nToken contains only blanks.\n\n");
  EXPECT_EQ(check("x", {"x", "1a"}), -1);
  EXPECT_EQ(takeErr(), "\n\nToken 1a does not start with a letter\n\n");
  EXPECT_EQ(check("x", {"a-b"}), -1);
  EXPECT_EQ(takeErr(), "\n\nIllegal character in token\na-b\n ^\n\n");
  // Quietly: the caret message goes, the plain ones stay.
  EXPECT_EQ(CheckExpressionQuietly(sys_, "x", 1, names({"a-b"}), 1), -1);
  EXPECT_EQ(takeErr(), "");
  EXPECT_EQ(CheckExpressionQuietly(sys_, "x", 1, names({"1a"}), 1), -1);
  EXPECT_EQ(takeErr(), "\n\nToken 1a does not start with a letter\n\n");
}

TEST_F(Parse, UncheckedNames) {
  // Without name checks an empty or absent name never matches; names are
  // kept as given.
  char **n = names({"", "x"});
  int id = CheckExpressionAndTokens(".5*x", 2, n, 0);
  ASSERT_GE(id, 0);
  EXPECT_DOUBLE_EQ(eval(id, {7, 4}), 2);
  char *withNull[] = {nullptr, n[1]};
  id = CheckExpressionAndTokens("x+1", 2, withNull, 0);
  EXPECT_DOUBLE_EQ(eval(id, {7, 4}), 5);
  n = names({"a b"});
  id = CheckExpressionAndTokens("2", 1, n, 0);
  EXPECT_STREQ(n[0], "a b");
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Parse, TextMessages) {
  const struct {
    const char *text;
    const char *message;
  } cases[] = {
      {"", "\n\nThere is no string.\n\n"},
      {"   ", "\n\nString contains only blank characters\n   \n^\n\n"},
      {"a $b", "\n\nIllegal character in string\na$b\n ^\n\n"},
      {"a\t+b", "\n\nIllegal character in string\na\t+b\n ^\n\n"},
      {"a+\xe9", "\n\nIllegal character in string\na+\xe9\n  ^\n\n"},
      {"(a)+b)", "\n\nString contains an unmatched right bracket\n(a)+b)\n     ^\n\n"},
      {"((a)", "\n\nString has missing right brackets\n((a)\n\n"},
      {"2 a", "\n\nMissing operator or function\na\n^\n\n"},
      {"2pi", "\n\nMissing operator or function\npi\n^\n\n"},
      {"1e1234", "\n\nMissing operator or function\n4\n^\n\n"},
      {"2sin(a)", "\n\nMissing operator\nsin(a)\n^\n\n"},
      {"a+k", "\n\nCannot extract a valid token from the string\nk\n^\n\n"},
      {".", "\n\nCannot extract a valid token from the string\n.\n^\n\n"},
      {"a=b", "\n\nCannot extract a valid token from the string\n=b\n^\n\n"},
      {"1e+a", "\n\nCannot extract a valid token from the string\n1e+a\n^\n\n"},
      {"a,b", "\n\nCharacter `,' not valid in this string\n,b\n^\n\n"},
      {"a+*b", "\n\nCannot add arithmetic operation\n*b\n^\n\n"},
      {"*a", "\n\nCannot add arithmetic operation\n*a\n^\n\n"},
      {"a+", "\n\nCannot add arithmetic operation\n+\n^\n\n"},
      {"a&&!b", "\n\nCannot add arithmetic operation\n!b\n^\n\n"},
      {"a!b", "\n\nCannot add arithmetic operation\n!b\n^\n\n"},
      {"!", "\n\nCannot add arithmetic operation\n!\n^\n\n"},
      {"-", "\n\nCannot add arithmetic operation\n-\n^\n\n"},
      {"a(b)", "\n\nUnable to add string\n(b)\n^\n\n"},
      {"a*()", "\n\nCannot extract a valid token from the string\n()\n^\n\n"},
      {"max(a)", "\n\nError in function arguments\nmax(a)\n^\n\n"},
      {"atan2(a,b,a)", "\n\nToo many arguments for function.\natan2(a,b,a)\n^\n\n"},
      {"atan2(ab)", "\nUnable to deal with function arguments.\n"},
      {"1+sin(2a)*b",
       "\n\nMissing operator or function\na\n^\n\n"
       "\n\nCannot find a valid fuction argument in string\n2a)*b\n^\n\n"
       "\n\nUnable to process function arguments.\nsin(2a)*b\n^\n\n"},
      {"max(a,,b)",
       "\n\nCannot find a valid fuction argument in string\n,b)\n^\n\n"
       "\n\nUnable to process function arguments.\nmax(a,,b)\n^\n\n"},
      // The unary operand stops at the exponent sign: (-1e) is no number.
      {"a*-1e-5", "\n\nCannot extract a valid token from the string\n1e\n^\n\n"},
      // The unary operand is empty: the group (-) has no operand.
      {"a*-(b+a)", "\n\nCannot add arithmetic operation\n-\n^\n\n"},
      {"(-)", "\n\nCannot add arithmetic operation\n-\n^\n\n"},
  };
  for (const auto &t : cases) {
    EXPECT_EQ(check(t.text, {"a", "b", "ab"}), -1) << t.text;
    EXPECT_EQ(takeErr(), t.message) << t.text;
  }
  // Quietly: no caret message, the plain ones stay.
  for (const auto &t : cases) {
    EXPECT_EQ(checkQuietly(t.text, {"a", "b", "ab"}), -1) << t.text;
    const std::string m = t.message;
    const bool plain = m.find("^\n") == std::string::npos;
    EXPECT_EQ(takeErr(), plain ? m : "") << t.text;
  }
}

TEST_F(Parse, FunctionArguments) {
  EXPECT_DOUBLE_EQ(value("max(100)"), 100);
  int id = check("max(ab)", {"ab"});
  EXPECT_EQ(tree(id), "ab");
  EXPECT_DOUBLE_EQ(value("max(1,5,3)"), 5);
  EXPECT_DOUBLE_EQ(value("min(4,2,3,7)"), 2);
  EXPECT_DOUBLE_EQ(value("atan2(1,(2))"), std::atan2(1, 2));
  EXPECT_DOUBLE_EQ(value("max(min(1,2),atan2(0,-1))"), M_PI);
  EXPECT_DOUBLE_EQ(value("sign(3,-2)"), -3);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Parse, DeepTextsFailWithoutCrash) {
  std::string nested(kMaxTreeDepth + 1, '(');
  nested += "x" + std::string(kMaxTreeDepth + 1, ')');
  EXPECT_EQ(check(nested.c_str(), {"x"}), -1);
  EXPECT_NE(takeErr().find("Expression nested too deeply"), std::string::npos);

  std::string chain = "x";
  for (int i = 0; i < 100000; ++i) chain += "+x";
  EXPECT_EQ(check(chain.c_str(), {"x"}), -1);
  EXPECT_NE(takeErr().find("Expression nested too deeply"), std::string::npos);

  std::string tower = "x";
  for (int i = 0; i < 100000; ++i) tower += "^x";
  EXPECT_EQ(check(tower.c_str(), {"x"}), -1);
  EXPECT_NE(takeErr().find("Expression nested too deeply"), std::string::npos);

  // Shallow enough: fine.
  std::string sum = "x";
  for (int i = 0; i < 500; ++i) sum += "+x";
  const int id = check(sum.c_str(), {"x"});
  ASSERT_GE(id, 0);
  EXPECT_DOUBLE_EQ(eval(id, {2}), 1002);
}

TEST_F(Parse, SlotsAreReusedLowestFirst) {
  const int a = check("1"), b = check("2"), c = check("3");
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(c, 2);
  int id = 1;
  EXPECT_EQ(expfree_(&id), 1);
  id = 0;
  EXPECT_EQ(expfree_(&id), 1);
  EXPECT_EQ(check("4"), 0);
  EXPECT_EQ(check("5"), 1);
  EXPECT_EQ(check("6"), 3);
  EXPECT_DOUBLE_EQ(eval(1, {}), 5);
  EXPECT_EQ(GetForest()->slots.size(), 4u);
  // A failed check takes no slot.
  EXPECT_EQ(check("1+"), -1);
  takeErr();
  EXPECT_EQ(check("7"), 4);
}

TEST_F(Parse, EndOfRunReleasesEverythingAndStartsAfresh) {
  for (int run = 0; run < 2; ++run) {
    const int id = check("x*2", {"x"});
    EXPECT_EQ(id, 0);
    EXPECT_EQ(check("x+y", {"x", "y"}), 1);
    EXPECT_DOUBLE_EQ(evald(1, 2, {1, 1}), 1);  // derivative trees too
    EXPECT_DOUBLE_EQ(evald2(id, 1, 1, {1}), 0);
    KivEndRun(0);
    EXPECT_EQ(QOR_XB_GlobalSystem->property[static_cast<size_t>(KivGetPropertyIndex("BINARYTREE"))],
              nullptr);
    EXPECT_DOUBLE_EQ(eval(1, {1, 1}), -123456.0);
    EXPECT_EQ(takeErr(),
              "Call to expeval with invalid index 1\nNo binary tree created with this index\n");
  }
}

TEST_F(Parse, ForestBelongsToOneSystem) {
  EXPECT_EQ(check("41"), 0);
  KIVSystem *other = KivCreateSystem();
  KivMakeCurrent(other);
  EXPECT_EQ(CheckExpression("42", 0, nullptr), 0);
  double r = 0;
  int id = 0;
  EXPECT_EQ(expeval_(&id, nullptr, &r), 1);
  EXPECT_EQ(r, 42);
  KivReleaseSystem(other);
  KivMakeCurrent(sys_);
  EXPECT_DOUBLE_EQ(eval(0, {}), 41);
}

}  // namespace
}  // namespace kiv::test
