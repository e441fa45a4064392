// Parsing: precedence and associativity, names and numbers, every caret
// message, slot reuse and release.
#include "expr_fixture.hpp"

namespace kiv::test {
namespace {

using Parse = ExprTest;

// A caret message: the message, the rest of the text and a caret under its position.
std::string caret(const char *message, const char *rest, size_t at = 0) {
  return std::string("\n\n") + message + "\n" + rest + "\n" + std::string(at, ' ') + "^\n\n";
}

TEST_F(Parse, PrecedenceNumbersAndFunctionsMatchArithmetic) {
  const double a = 2, b = 3, c = 5;
  const struct {
    const char *text;
    double expected;
  } cases[] = {
      {"a+b*c", a + b * c},      {"(a+b)*c", (a + b) * c},   {"a-b-c", (a - b) - c},     {"a/b*c", (a / b) * c},
      {"c/a/b", (c / a) / b},    {"a**b", 8},                {"2^3^2", 512},             {"a*-b^2", -18},
      {"a/-b*c", a / (-b) * c},  {"a*-1e5", -2e5},           {"--a", 2},                 {"+a", 2},
      {"a+b>c-1", 1},            {"a<b==b<c", 1},            {"1<2 && 3>4 || 1", 1},     {"!a && b", 0},
      {"!(a-2) && b", 1},        {"sin(a)^2+cos(a)^2", 1},   {"a+max(b,c)*2", a + c * 2},
      {"1.5D3", 1500},           {"2.5d-1", 0.25},           {"1E2", 100},               {".5", 0.5},
      {"5.", 5},                 {"LOG10(1000)", 3},         {"Pi", M_PI},               {"max(100)", 100},
      {"min(4,2,3,7)", 2},       {"sign(3,-2)", -3},         {"atan2(1,(2))", std::atan2(1, 2)},
      {"max(min(1,2),atan2(0,-1))", M_PI},
      {"!a+b", 0},               {"a^-b/c", std::pow(a, -b / c)},
  };
  for (const auto &t : cases) {
    int id = check(t.text, {"a", "b", "c"});
    ASSERT_GE(id, 0) << t.text << takeErr();
    EXPECT_NEAR(eval(id, {a, b, c}), t.expected, 1e-12) << t.text;
    expfree_(&id);
  }
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Parse, VariableNames) {
  EXPECT_DOUBLE_EQ(eval(check("SIN(X)", {"x"}), {0.5}), std::sin(0.5));
  // A function name only when "(" follows; a whole-word variable otherwise.
  EXPECT_DOUBLE_EQ(eval(check("sinus*2+sinh(0)", {"sinus"}), {4}), 8);
  EXPECT_DOUBLE_EQ(eval(check("ab+a", {"a", "ab"}), {1, 10}), 11);
  EXPECT_DOUBLE_EQ(eval(check("x_1*X_2", {"x_1", "x_2"}), {3, 4}), 12);
  EXPECT_DOUBLE_EQ(eval(check("pi", {"pi"}), {1}), M_PI);  // "pi" hides a variable of that name
  // Blanks go from the text and, in place, from the names.
  char **n = names({" x  y ", "z"});
  const int id = CheckExpression(" x y * 2 - z ", 2, n);
  EXPECT_STREQ(n[0], "xy");
  EXPECT_DOUBLE_EQ(eval(id, {3, 1}), 5);
  // Without name checks an empty or absent name never matches; names are kept as given.
  n = names({"", "x"});
  EXPECT_DOUBLE_EQ(eval(CheckExpressionAndTokens(".5*x", 2, n, 0), {7, 4}), 2);
  char *withNull[] = {nullptr, n[1]};
  EXPECT_DOUBLE_EQ(eval(CheckExpressionAndTokens("x+1", 2, withNull, 0), {7, 4}), 5);
  n = names({"a b"});
  EXPECT_GE(CheckExpressionAndTokens("2", 1, n, 0), 0);
  EXPECT_STREQ(n[0], "a b");
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Parse, NameChecks) {
  const int ids[] = {check("x", {""}), CheckExpression("x", 1, nullptr), check("x", {"   "}), check("x", {"x", "1a"}),
                     check("x", {"a-b"})};
  for (int id : ids) EXPECT_EQ(id, -1);
  EXPECT_EQ(takeErr(), "\n\nNull token detected.\n\n\n\nNull token detected.\n\n\n\nToken contains only blanks.\n\n"
                       "\n\nToken 1a does not start with a letter\n\n" + caret("Illegal character in token", "a-b", 1));
  // Quietly: the caret message goes, the plain ones stay.
  EXPECT_EQ(checkQuietly("x", {"a-b"}), -1);
  EXPECT_EQ(checkQuietly("x", {"1a"}), -1);
  EXPECT_EQ(takeErr(), "\n\nToken 1a does not start with a letter\n\n");
}

TEST_F(Parse, TextMessages) {
  const std::string noToken = "Cannot extract a valid token from the string", noOp = "Cannot add arithmetic operation",
                    noArg = "Cannot find a valid fuction argument in string";
  const struct {
    const char *text;
    std::string message;
  } cases[] = {
      {"", "\n\nThere is no string.\n\n"},
      {"   ", "\n\nString contains only blank characters\n   \n^\n\n"},
      {"a $b", caret("Illegal character in string", "a$b", 1)},
      {"a\t+b", caret("Illegal character in string", "a\t+b", 1)},
      {"a+\xe9", caret("Illegal character in string", "a+\xe9", 2)},
      {"(a)+b)", caret("String contains an unmatched right bracket", "(a)+b)", 5)},
      {"((a)", "\n\nString has missing right brackets\n((a)\n\n"},
      {"2 a", caret("Missing operator or function", "a")},
      {"2pi", caret("Missing operator or function", "pi")},
      {"1e1234", caret("Missing operator or function", "4")},
      {"2sin(a)", caret("Missing operator", "sin(a)")},
      {"a+k", caret(noToken.c_str(), "k")},     {".", caret(noToken.c_str(), ".")},
      {"a=b", caret(noToken.c_str(), "=b")},    {"1e+a", caret(noToken.c_str(), "1e+a")},
      {"a*()", caret(noToken.c_str(), "()")},   {"a,b", caret("Character `,' not valid in this string", ",b")},
      {"a+*b", caret(noOp.c_str(), "*b")},      {"*a", caret(noOp.c_str(), "*a")},
      {"a+", caret(noOp.c_str(), "+")},         {"a&&!b", caret(noOp.c_str(), "!b")},
      {"a!b", caret(noOp.c_str(), "!b")},       {"!", caret(noOp.c_str(), "!")},
      // A lone sign or operator has no operand, whichever it is.
      {"+", caret(noOp.c_str(), "+")},          {"++", caret(noOp.c_str(), "+")},
      {"-", caret(noOp.c_str(), "-")},          {"*", caret(noOp.c_str(), "*")},
      {"a(b)", caret("Unable to add string", "(b)")},
      {"max(a)", caret("Error in function arguments", "max(a)")},
      {"atan2(a,b,a)", caret("Too many arguments for function.", "atan2(a,b,a)")},
      {"atan2(ab)", "\nUnable to deal with function arguments.\n"},
      {"1+sin(2a)*b", caret("Missing operator or function", "a") + caret(noArg.c_str(), "2a)*b") +
                          caret("Unable to process function arguments.", "sin(2a)*b")},
      {"max(a,,b)", caret(noArg.c_str(), ",b)") + caret("Unable to process function arguments.", "max(a,,b)")},
      // The unary operand stops at the exponent sign: (-1e) is no number.
      {"a*-1e-5", caret(noToken.c_str(), "1e")},
      // The unary operand is empty: the group (-) has no operand.
      {"a*-(b+a)", caret(noOp.c_str(), "-")},   {"(-)", caret(noOp.c_str(), "-")},
  };
  for (const auto &t : cases) {
    EXPECT_EQ(check(t.text, {"a", "b", "ab"}), -1) << t.text;
    EXPECT_EQ(takeErr(), t.message) << t.text;
    // Quietly: no caret message, the plain ones stay.
    EXPECT_EQ(checkQuietly(t.text, {"a", "b", "ab"}), -1) << t.text;
    EXPECT_EQ(takeErr(), t.message.find("^\n") == std::string::npos ? t.message : "") << t.text;
  }
  // A long text is quoted as a window around the fault.
  EXPECT_EQ(check((std::string(100, 'a') + "$" + std::string(100, 'a')).c_str(), {"a"}), -1);
  const std::string shown = "..." + std::string(40, 'a') + "$" + std::string(39, 'a') + "...";
  EXPECT_EQ(takeErr(), caret("Illegal character in string", shown.c_str(), 43));
}

TEST_F(Parse, DeepTextsFailWithoutCrash) {
  std::string nested = std::string(kMaxNesting + 1, '(') + "x" + std::string(kMaxNesting + 1, ')');
  std::string chain = "x", tower = "x", sum = "x";
  for (int i = 0; i < 100000; ++i) {
    chain += "+x";
    tower += "^x";
  }
  for (const std::string &deep : {nested, chain, tower}) {
    EXPECT_EQ(check(deep.c_str(), {"x"}), -1);
    EXPECT_NE(takeErr().find("Expression nested too deeply"), std::string::npos);
  }
  for (int i = 0; i < 1500; ++i) sum += "+x";  // a flat chain nests nothing
  EXPECT_DOUBLE_EQ(eval(check(sum.c_str(), {"x"}), {2}), 3002);
}

TEST_F(Parse, SlotsAreReusedLowestFirst) {
  EXPECT_EQ((std::vector{check("1"), check("2"), check("3")}), (std::vector{0, 1, 2}));
  for (int id : {1, 0}) EXPECT_EQ(expfree_(&id), 1);
  // A failed check takes no slot.
  EXPECT_EQ((std::vector{check("4"), check("5"), check("1+"), check("6")}), (std::vector{0, 1, -1, 3}));
  EXPECT_DOUBLE_EQ(eval(1, {}), 5);
  EXPECT_EQ(GetForest()->slots.size(), 4u);
  takeErr();
}

TEST_F(Parse, EndOfRunReleasesEverythingAndStartsAfresh) {
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(check("x*2", {"x"}), 0);
    EXPECT_EQ(check("x+y", {"x", "y"}), 1);
    EXPECT_DOUBLE_EQ(evald(1, 2, {1, 1}), 1);  // derivative trees too
    EXPECT_DOUBLE_EQ(evald2(0, 1, 1, {1}), 0);
    KivEndRun(0);
    EXPECT_EQ(QOR_XB_GlobalSystem->property[static_cast<size_t>(KivGetPropertyIndex("BINARYTREE"))],
              nullptr);
    EXPECT_DOUBLE_EQ(eval(1, {1, 1}), -123456.0);
    EXPECT_EQ(takeErr(), "Call to expeval with invalid index 1\nNo binary tree created with this index\n");
  }
}

TEST_F(Parse, ForestBelongsToOneSystem) {
  EXPECT_EQ(check("41"), 0);
  KIVSystem *other = KivCreateSystem();
  KivMakeCurrent(other);
  EXPECT_EQ(CheckExpression("42", 0, nullptr), 0);
  EXPECT_EQ(eval(0, {}), 42);
  KivReleaseSystem(other);
  KivMakeCurrent(sys_);
  EXPECT_DOUBLE_EQ(eval(0, {}), 41);
}

}  // namespace
}  // namespace kiv::test
