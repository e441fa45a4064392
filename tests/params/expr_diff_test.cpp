// Symbolic differentiation: gradients and Hessians against central
// differences for every differentiable function, closed forms, and the
// derivative entry points.
#include "expr_fixture.hpp"

namespace kiv::test {
namespace {

using Diff = ExprTest;

// Central difference of f along variable k (0-based).
template <class F>
double central(F f, std::vector<double> v, size_t k) {
  const double h = 1e-5 * std::max(1.0, std::fabs(v[k]));
  std::vector<double> up = v, down = v;
  up[k] += h;
  down[k] -= h;
  return (f(up) - f(down)) / (2 * h);
}

TEST_F(Diff, EveryDifferentiableFunctionAgreesWithDifferences) {
  const std::vector<std::vector<double>> usual{{0.7, 1.3}, {-2, 0.4}};
  const struct {
    const char *text;
    std::vector<std::vector<double>> points;
  } cases[] = {
      {"sin(x*y)", usual},                      {"cos(x+y^2)", usual},
      {"tan(x/3)*y", usual},                    {"asin(x/3)+acos(y/2)", {{0.7, 1.3}, {-2, -0.4}}},
      {"atan(x*y)", usual},                     {"atan2(x,y)", {{0.7, 1.3}, {-2, 0.4}, {1, 0}, {-2, 0}, {0.5, -1}}},
      {"abs(x*y)+fabs(x-y)", usual},            {"sqrt(x^2+y)", usual},
      {"exp(x*y)", usual},                      {"log(x+y)+log10(x*y)", {{0.7, 1.3}, {2, 0.4}}},
      {"max(x,y,1)", {{0.7, 1.3}, {2, 0.4}, {0.2, 0.4}}},
      {"min(x,y,1)*x", {{0.7, 1.3}, {2, 0.4}, {1.5, 1.4}}},
      {"sinh(x*y)+cosh(x-y)+tanh(x*y)", usual}, {"asinh(x*y)", usual},
      {"acosh(x+y)", {{0.7, 1.3}, {2, 0.4}}},   {"atanh(x/4)*y", usual},
      {"sign(x*y,y)", {{0.7, 1.3}, {-2, 0.4}, {0.7, -1.3}, {-2, -0.4}}},
      {"lsqrta(x*y,0.5)", {{0.7, 1.3}, {-2, 0.4}, {0.3, 0.5}, {-0.3, 0.5}}},
      {"lsqrta(x,y)", {{0.7, 0.3}, {-2, 0.4}, {0.1, 0.5}, {-0.2, 0.5}}},
      {"mod(x*y,0.7)", usual},                  {"mod(x,y)", {{2.5, 0.7}, {-2, 0.3}}},
      {"smin(x,y)+smax(x*y,y)", usual},
      {"sabs(x,y)", {{0.2, 0.5}, {-0.3, 0.5}, {2, 0.5}, {-2, 0.5}, {0.2, -0.5}}},
      {"x^y", {{0.7, 1.3}, {2, -0.4}}},         {"x^2.5*y^3", {{0.7, 1.3}, {2, -0.4}}},
      {"x/y+2^x", usual},                       {"x^x*y", {{0.7, 1.3}, {2, 0.4}}},
      {"(x>y)*x^2+(x<=y)*y^2", {{0.7, 1.3}, {2, 0.4}}},
      {"floor(x)*y+round(y)*x+ceil(x*y)", {{0.7, 1.3}, {-2.2, 0.4}}},
  };
  for (const auto &t : cases) {
    const int id = check(t.text, {"x", "y"});
    ASSERT_GE(id, 0) << t.text << takeErr();
    for (const auto &v : t.points)
      for (int k = 1; k <= 2; ++k) {
        const std::string where = std::string(t.text) + " at " + std::to_string(v[0]) + "," + std::to_string(v[1]);
        int ok[3] = {};
        const double fd = central([&](std::vector<double> p) { return eval(id, p); }, v, size_t(k - 1));
        EXPECT_NEAR(evald(id, k, v, &ok[0]), fd, 1e-6 * (1 + std::fabs(fd))) << where << " d/dx" << k;
        for (int l = 1; l <= 2; ++l) {
          const double fd2 = central([&](std::vector<double> p) { return evald(id, k, p); }, v, size_t(l - 1));
          EXPECT_NEAR(evald2(id, k, l, v, &ok[l]), fd2, 1e-5 * (1 + std::fabs(fd2))) << where << " d2/dx" << k << l;
        }
        EXPECT_TRUE(ok[0] && ok[1] && ok[2]) << where;
      }
  }
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Diff, ClosedForms) {
  int id = check("x^2", {"x"});
  EXPECT_DOUBLE_EQ(evald(id, 1, {3}), 6);
  id = check("x^y", {"x", "y"});
  EXPECT_DOUBLE_EQ(evald(id, 1, {2, 3}), 12);
  EXPECT_DOUBLE_EQ(evald(id, 2, {2, 3}), std::log(2) * 8);
  // abs has slope 1 at 0; mod has slope 1 at its jumps too.
  EXPECT_EQ(evald(check("abs(x)", {"x"}), 1, {0}), 1);
  id = check("mod(x,2)", {"x"});
  for (double x : {0.0, 2.0, 3.9, -2.0}) EXPECT_EQ(evald(id, 1, {x}), 1);
  EXPECT_EQ(takeErr(), "");
}

// Piecewise slopes at and around their kinks, printing on: no branch may
// divide by zero or leave its domain.
TEST_F(Diff, PiecewiseSlopesFailNowhere) {
  printing(true);
  const struct {
    const char *text;
    double x, y, dx, dy, dxx;
  } cases[] = {
      {"lsqrta(x,y)", 0, 1, 1, 0, 0},          {"lsqrta(x,y)", -0.5, 4, 0.5, 0.5 / 16, 0},
      {"lsqrta(x,y)", -4, 1, 0.25, 0, 1.0 / 32},
      {"lsqrta(x,y)", 1, 1, 0.5, 0, -0.25},  // the region of 1 starts at the critical value
      {"sabs(x,y)", -0.2, 0.5, -0.4, 0.42, 2},  // inside the band the slope is x/dx
      {"sabs(x,y)", -3, 0, -1, 0, 0},           // a band of zero width
  };
  for (const auto &t : cases) {
    const int id = check(t.text, {"x", "y"});
    int ok[5] = {};
    EXPECT_DOUBLE_EQ(evald(id, 1, {t.x, t.y}, &ok[0]), t.dx) << t.text << " " << t.x;
    EXPECT_DOUBLE_EQ(evald(id, 2, {t.x, t.y}, &ok[1]), t.dy) << t.text << " " << t.x;
    EXPECT_DOUBLE_EQ(evald2(id, 1, 1, {t.x, t.y}, &ok[2]), t.dxx) << t.text << " " << t.x;
    evald2(id, 1, 2, {t.x, t.y}, &ok[3]);
    evald2(id, 2, 2, {t.x, t.y}, &ok[4]);
    for (int k : ok) EXPECT_EQ(k, 1) << t.text << " " << t.x;
  }
  EXPECT_EQ(takeErr(), "");
}

// Nested powers stay polynomial to differentiate; a derivative too large is refused.
TEST_F(Diff, DerivativeSizeIsBounded) {
  std::string tower = "x", huge = "x";
  for (int i = 0; i < 30; ++i) tower += "^(x*y)";
  for (int i = 0; i < 300; ++i) huge += "^x";
  const int id = check(tower.c_str(), {"x", "y"});
  const std::vector<double> v{1.01, 0.99};
  const double fd = central([&](std::vector<double> p) { return eval(id, p); }, v, 0);
  EXPECT_NEAR(evald(id, 1, v), fd, 1e-6 * (1 + std::fabs(fd)));
  EXPECT_TRUE(std::isfinite(evald2(id, 1, 2, v)));
  EXPECT_EQ(takeErr(), "");
  const int big = check(huge.c_str(), {"x"});
  int ok[2] = {1, 1}, count = 1, index = 1;
  EXPECT_EQ(evald(big, 1, {1.01}, &ok[0]), -123456.0);
  evald2(big, 1, 1, {1.01}, &ok[1]);
  EXPECT_TRUE(!ok[0] && !ok[1]);
  EXPECT_EQ(DifferExpression(huge.c_str(), 1, names({"x"}), &count, &index), -1);
  EXPECT_NE(takeErr().find("DifferExpression: derivative exceeds"), std::string::npos);
  EXPECT_EQ(check("1"), 2);  // its slot is free again
}

TEST_F(Diff, EndOfAnUnsimplifiedMaxChain) {
  char **n = names({"x", "y", "z"});
  TreePtr t = BuildTree(0, "max(x,y,z)", 3, n), m = BuildTree(0, "min(x,y)", 3, n);
  ASSERT_TRUE(t && m);
  ASSERT_EQ(t->right->right->left, nullptr);
  const double v[] = {1, 2, 3};
  int ok = 1, disc = 0;
  for (int k = 0; k < 3; ++k) {
    TreePtr d(DifferentiateBinaryTree(t.get(), k, nullptr, 0)), dm(DifferentiateBinaryTree(m.get(), k, nullptr, 0));
    EXPECT_EQ(EvaluateTree(d.get(), v, &ok, &disc, 0, 1), k == 2 ? 1 : 0) << k;
    EXPECT_EQ(EvaluateTree(dm.get(), v, &ok, &disc, 0, 1), k == 0 ? 1 : 0) << k;
  }
  EXPECT_EQ(ok, 1);
}

TEST_F(Diff, InvalidDerivationIndexesStoreNothing) {
  int ok[4] = {1, 1, 1, 1};
  const int id = check("x*y", {"x", "y"});
  EXPECT_EQ(evald(id, 3, {1, 2}, &ok[0]), -123456.0);
  evald(id, 0, {1, 2}, &ok[1]);
  evald2(id, 0, 1, {1, 2}, &ok[2]);
  evald2(id, 2, 3, {1, 2}, &ok[3]);
  for (int k : ok) EXPECT_EQ(k, 0);
  EXPECT_EQ(takeErr(),
            "Call to expevald with invalid derivation index 3\nCall to expevald with invalid derivation index 0\n"
            "Call to expevald2 with invalid derivation indexes (0 and 1)\n"
            "Call to expevald2 with invalid derivation indexes (2 and 3)\n");
  EXPECT_TRUE(slot(id).d1.empty() && slot(id).d2.empty());
}

TEST_F(Diff, FailedSimplificationOfADerivative) {
  const int id = check("x/(0*y)", {"x", "y"});
  ASSERT_GE(id, 0);
  int ok = 0;
  EXPECT_EQ(evald(id, 1, {1, 2}, &ok), -1e30);
  EXPECT_EQ(ok, 1);
  const std::string listing = "Expression variables values :\nx = 1.000000\ny = 2.000000\n";
  EXPECT_EQ(takeErr(), "Attempt to divide by zero.\nexpevald: erorr during expression simplification.\n" + listing);
  evald(id, 1, {1, 2}, &ok);  // built once: the second call only evaluates
  EXPECT_EQ(takeErr(), "");
  evald2(id, 1, 2, {1, 2}, &ok);
  EXPECT_EQ(takeErr(), "Attempt to divide by zero.\n" + listing);
}

TEST_F(Diff, DerivativesReportCrossings) {
  KivSetFirstCall(0);
  const int id = check("abs(x)*x", {"x"});
  EXPECT_EQ(evald(id, 1, {1}), 2);
  // Both branches held at x >= 0: 1 * x + |x| read as x.
  EXPECT_EQ(answerIn(KIV_EVAL_LOCATE, [&] { EXPECT_EQ(evald(id, 1, {-1}), -2); }), 4);
  EXPECT_EQ(evald2(id, 1, 1, {1}), 2);
  EXPECT_EQ(answerIn(KIV_EVAL_LOCATE, [&] { EXPECT_EQ(evald2(id, 1, 1, {-1}), 2); }), 4);
  EXPECT_EQ(evald2(id, 1, 1, {-1}), -2);
}

TEST_F(Diff, DifferExpression) {
  char **n = names({"x", "y"});
  int count = 2, indexes[] = {1, 2};
  const int id = DifferExpression("x^3*y^2", 2, n, &count, indexes);
  EXPECT_DOUBLE_EQ(eval(id, {2, 3}), 72);  // 6 x^2 y
  count = 0;
  EXPECT_DOUBLE_EQ(eval(DifferExpression("x+y", 2, n, &count, indexes), {2, 3}), 5);
  count = 2;
  indexes[1] = 3;
  EXPECT_EQ(DifferExpression("x*y", 2, n, &count, indexes), -1);
  EXPECT_EQ(takeErr(), "The derivation index 2 is 3 and is out of range [1,2]");
  EXPECT_EQ(check("1"), 2);  // the slot was freed
  EXPECT_EQ(DifferExpression("x*", 2, n, &count, indexes), -1);
  EXPECT_EQ(takeErr(), "\n\nCannot add arithmetic operation\n*\n^\n\n");
}

}  // namespace
}  // namespace kiv::test
