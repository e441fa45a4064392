// Symbolic differentiation: gradients and Hessians against central
// differences for every differentiable function, closed forms, and the
// derivative entry points.
#include <cmath>

#include "expr_fixture.hpp"

namespace kiv::test {
namespace {

class Diff : public ExprTest {
 protected:
  // Central difference of f along variable k (0-based).
  template <class F>
  double central(F f, std::vector<double> v, size_t k) {
    const double h = 1e-5 * std::max(1.0, std::fabs(v[k]));
    std::vector<double> up = v, down = v;
    up[k] += h;
    down[k] -= h;
    return (f(up) - f(down)) / (2 * h);
  }

  // Gradient and Hessian of a two-variable text at a point.
  void agreesWithDifferences(const char *text, std::vector<double> v) {
    SCOPED_TRACE(std::string(text) + " at " + std::to_string(v[0]) + ", " + std::to_string(v[1]));
    const int id = check(text, {"x", "y"});
    ASSERT_GE(id, 0) << takeErr();
    for (int k = 1; k <= 2; ++k) {
      int ok = 0;
      const double g = evald(id, k, v, &ok);
      EXPECT_EQ(ok, 1);
      const double fd = central([&](std::vector<double> p) { return eval(id, p); }, v, static_cast<size_t>(k - 1));
      EXPECT_NEAR(g, fd, 1e-6 * (1 + std::fabs(fd))) << "d/dx" << k;
      for (int l = 1; l <= 2; ++l) {
        const double h = evald2(id, k, l, v, &ok);
        EXPECT_EQ(ok, 1);
        const double fd2 = central([&](std::vector<double> p) { return evald(id, k, p); }, v,
                                   static_cast<size_t>(l - 1));
        EXPECT_NEAR(h, fd2, 1e-5 * (1 + std::fabs(fd2))) << "d2/dx" << k << "dx" << l;
      }
    }
    EXPECT_EQ(takeErr(), "");
  }
};

TEST_F(Diff, EveryDifferentiableFunctionAgreesWithDifferences) {
  const struct {
    const char *text;
    std::vector<std::vector<double>> points;
  } cases[] = {
      {"sin(x*y)", {{0.7, 1.3}, {-2, 0.4}}},
      {"cos(x+y^2)", {{0.7, 1.3}, {-2, 0.4}}},
      {"tan(x/3)*y", {{0.7, 1.3}, {-2, 0.4}}},
      {"asin(x/3)+acos(y/2)", {{0.7, 1.3}, {-2, -0.4}}},
      {"atan(x*y)", {{0.7, 1.3}, {-2, 0.4}}},
      {"atan2(x,y)", {{0.7, 1.3}, {-2, 0.4}, {1, 0}, {0.5, -1}}},
      {"abs(x*y)+fabs(x-y)", {{0.7, 1.3}, {-2, 0.4}}},
      {"sqrt(x^2+y)", {{0.7, 1.3}, {-2, 0.4}}},
      {"exp(x*y)", {{0.7, 1.3}, {-2, 0.4}}},
      {"log(x+y)+log10(x*y)", {{0.7, 1.3}, {2, 0.4}}},
      {"max(x,y,1)", {{0.7, 1.3}, {2, 0.4}, {0.2, 0.4}}},
      {"min(x,y,1)*x", {{0.7, 1.3}, {2, 0.4}, {1.5, 1.4}}},
      {"sinh(x*y)+cosh(x-y)+tanh(x*y)", {{0.7, 1.3}, {-2, 0.4}}},
      {"asinh(x*y)", {{0.7, 1.3}, {-2, 0.4}}},
      {"acosh(x+y)", {{0.7, 1.3}, {2, 0.4}}},
      {"atanh(x/4)*y", {{0.7, 1.3}, {-2, 0.4}}},
      {"sign(x*y,y)", {{0.7, 1.3}, {-2, 0.4}, {0.7, -1.3}, {-2, -0.4}}},
      {"lsqrta(x*y,0.5)", {{0.7, 1.3}, {-2, 0.4}, {0.3, 0.5}, {-0.3, 0.5}}},
      {"lsqrta(x,y)", {{0.7, 0.3}, {-2, 0.4}, {0.1, 0.5}, {-0.2, 0.5}}},
      {"mod(x*y,0.7)", {{0.7, 1.3}, {-2, 0.4}}},
      {"mod(x,y)", {{2.5, 0.7}, {-2, 0.3}}},
      {"smin(x,y)+smax(x*y,y)", {{0.7, 1.3}, {-2, 0.4}}},
      {"sabs(x,y)", {{0.2, 0.5}, {-0.3, 0.5}, {2, 0.5}, {-2, 0.5}, {0.2, -0.5}}},
      {"x^y", {{0.7, 1.3}, {2, -0.4}}},
      {"x^2.5*y^3", {{0.7, 1.3}, {2, -0.4}}},
      {"x/y+2^x", {{0.7, 1.3}, {-2, 0.4}}},
      {"x^x*y", {{0.7, 1.3}, {2, 0.4}}},
      {"(x>y)*x^2+(x<=y)*y^2", {{0.7, 1.3}, {2, 0.4}}},
      {"floor(x)*y+round(y)*x+ceil(x*y)", {{0.7, 1.3}, {-2.2, 0.4}}},
  };
  for (const auto &t : cases)
    for (const auto &p : t.points) agreesWithDifferences(t.text, p);
}

TEST_F(Diff, NestedPowersDifferentiateInPolynomialTime) {
  std::string tower = "x";
  for (int i = 0; i < 30; ++i) tower += "^(x*y)";
  const int id = check(tower.c_str(), {"x", "y"});
  ASSERT_GE(id, 0);
  const std::vector<double> v{1.01, 0.99};
  const double fd = central([&](std::vector<double> p) { return eval(id, p); }, v, 0);
  EXPECT_NEAR(evald(id, 1, v), fd, 1e-6 * (1 + std::fabs(fd)));
  EXPECT_TRUE(std::isfinite(evald2(id, 1, 2, v)));
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Diff, DerivativesTooLargeAreRefused) {
  std::string tower = "x";
  for (int i = 0; i < 300; ++i) tower += "^x";
  const int id = check(tower.c_str(), {"x"});
  ASSERT_GE(id, 0);
  int ok = 1;
  EXPECT_EQ(evald(id, 1, {1.01}, &ok), -123456.0);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(takeErr(), "expevald: derivative exceeds 2000000 nodes.\n");
  evald2(id, 1, 1, {1.01}, &ok);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(takeErr(), "expevald2: derivative exceeds 2000000 nodes.\n");
  int count = 1, index = 1;
  EXPECT_EQ(DifferExpression(tower.c_str(), 1, names({"x"}), &count, &index), -1);
  EXPECT_EQ(takeErr(), "DifferExpression: derivative exceeds 2000000 nodes.\n");
  // Its slot is free again.
  EXPECT_EQ(check("1"), 1);
}

TEST_F(Diff, ClosedForms) {
  int id = check("x^2", {"x"});
  EXPECT_DOUBLE_EQ(evald(id, 1, {3}), 6);
  EXPECT_EQ(render(slot(id).d1[0].get(), slot(id)), "(* 2 x)");
  id = check("x^y", {"x", "y"});
  evald(id, 1, {2, 3});
  evald(id, 2, {2, 3});
  EXPECT_EQ(render(slot(id).d1[0].get(), slot(id)), "(* y (^ x (- y 1)))");
  EXPECT_EQ(render(slot(id).d1[1].get(), slot(id)), "(* (log x) (^ x y))");
  EXPECT_DOUBLE_EQ(evald(id, 2, {2, 3}), std::log(2) * 8);
  // abs has slope 1 at 0; mod has slope 1 at its jumps too.
  EXPECT_EQ(evald(check("abs(x)", {"x"}), 1, {0}), 1);
  id = check("mod(x,2)", {"x"});
  for (double x : {0.0, 2.0, 3.9, -2.0}) EXPECT_EQ(evald(id, 1, {x}), 1);
  EXPECT_EQ(render(slot(id).d1[0].get(), slot(id)), "1");
  // atan2 at a zero second argument.
  id = check("atan2(x,y)", {"x", "y"});
  EXPECT_DOUBLE_EQ(evald(id, 1, {1, 0}), 0);
  EXPECT_DOUBLE_EQ(evald(id, 2, {1, 0}), -1);
  EXPECT_DOUBLE_EQ(evald(id, 2, {-2, 0}), 0.5);
  // sign: the slope of |a| times the sign of b.
  id = check("sign(x,y)", {"x", "y"});
  EXPECT_EQ(evald(id, 1, {-2, 1}), -1);
  EXPECT_EQ(evald(id, 1, {2, -1}), -1);
  EXPECT_EQ(evald(id, 1, {-2, -1}), 1);
  EXPECT_EQ(evald(id, 1, {2, 1}), 1);
  EXPECT_EQ(evald(id, 2, {2, 1}), 0);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Diff, LsqrtaSlopesFailNowhere) {
  printing(true);
  const int id = check("lsqrta(x,y)", {"x", "y"});
  const struct {
    double x, y, dx, dy;
  } cases[] = {
      {0, 1, 1, 0},
      {0.5, 1, 1, -0.25},
      {-0.5, 4, 0.5, 0.5 / 16},
      {4, 1, 0.25, 0},
      {-4, 1, 0.25, 0},
      {1, 1, 0.5, 0},  // the region of 1 starts at the critical value
  };
  for (const auto &t : cases) {
    int ok = 0;
    EXPECT_DOUBLE_EQ(evald(id, 1, {t.x, t.y}, &ok), t.dx) << t.x;
    EXPECT_EQ(ok, 1);
    EXPECT_DOUBLE_EQ(evald(id, 2, {t.x, t.y}, &ok), t.dy) << t.x;
    EXPECT_EQ(ok, 1);
    for (auto [k, l] : {std::pair{1, 1}, {1, 2}, {2, 2}}) {
      evald2(id, k, l, {t.x, t.y}, &ok);
      EXPECT_EQ(ok, 1) << t.x << " " << k << l;
    }
  }
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Diff, SabsSlopeInsideItsBand) {
  const int id = check("sabs(x,0.5)", {"x"});
  EXPECT_DOUBLE_EQ(evald(id, 1, {0.2}), 0.4);
  EXPECT_DOUBLE_EQ(evald(id, 1, {-0.2}), -0.4);
  EXPECT_DOUBLE_EQ(evald(id, 1, {0.7}), 1);
  EXPECT_DOUBLE_EQ(evald(id, 1, {-0.7}), -1);
  EXPECT_DOUBLE_EQ(evald2(id, 1, 1, {0.2}), 2);
  EXPECT_DOUBLE_EQ(evald2(id, 1, 1, {0.7}), 0);
  // A band of zero width divides by nothing.
  printing(true);
  int ok = 0;
  const int z = check("sabs(x,y)", {"x", "y"});
  EXPECT_DOUBLE_EQ(evald(z, 1, {-3, 0}, &ok), -1);
  EXPECT_EQ(ok, 1);
  EXPECT_DOUBLE_EQ(evald(z, 2, {-3, 0}, &ok), 0);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Diff, EndOfAMaxChain) {
  // An unsimplified chain keeps its last node.
  char **n = names({"x", "y", "z"});
  TreePtr t = BuildTree(0, "max(x,y,z)", 3, n);
  TreePtr m = BuildTree(0, "min(x,y)", 3, n);
  ASSERT_TRUE(t && m);
  ASSERT_EQ(t->right->right->left, nullptr);
  const double v[] = {1, 2, 3};
  int ok = 1, disc = 0;
  for (int k = 0; k < 3; ++k) {
    TreePtr d(DifferentiateBinaryTree(t.get(), k, nullptr, 0));
    EXPECT_EQ(EvaluateTree(d.get(), v, &ok, &disc, 0, 1), k == 2 ? 1 : 0) << k;
    TreePtr dm(DifferentiateBinaryTree(m.get(), k, nullptr, 0));
    EXPECT_EQ(EvaluateTree(dm.get(), v, &ok, &disc, 0, 1), k == 0 ? 1 : 0) << k;
  }
  EXPECT_EQ(ok, 1);
}

TEST_F(Diff, StoredDerivativesAreBuiltOnceAndShared) {
  const int id = check("x^3*y^2+z", {"x", "y", "z"});
  EXPECT_DOUBLE_EQ(evald(id, 2, {1, 2, 3}), 4);
  ASSERT_EQ(slot(id).d1.size(), 3u);
  const BinaryTree *first = slot(id).d1[1].get();
  EXPECT_EQ(slot(id).d1[0], nullptr);
  EXPECT_DOUBLE_EQ(evald(id, 2, {2, 2, 3}), 32);
  EXPECT_EQ(slot(id).d1[1].get(), first);

  EXPECT_DOUBLE_EQ(evald2(id, 1, 2, {2, 3, 0}), 3 * 4 * 2 * 3);
  ASSERT_EQ(slot(id).d2.size(), 6u);
  const BinaryTree *mixed = slot(id).d2[1].get();
  ASSERT_NE(mixed, nullptr);
  EXPECT_DOUBLE_EQ(evald2(id, 2, 1, {2, 3, 0}), 72);
  EXPECT_EQ(slot(id).d2[1].get(), mixed);
  // Upper triangle, row by row: (1,1) (1,2) (1,3) (2,2) (2,3) (3,3).
  EXPECT_DOUBLE_EQ(evald2(id, 2, 2, {2, 3, 0}), 16);
  EXPECT_NE(slot(id).d2[3], nullptr);
  EXPECT_DOUBLE_EQ(evald2(id, 3, 2, {2, 3, 0}), 0);
  EXPECT_NE(slot(id).d2[4], nullptr);
  EXPECT_DOUBLE_EQ(evald2(id, 1, 1, {2, 3, 0}), 6 * 2 * 9);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Diff, InvalidDerivationIndexes) {
  int ok = 1;
  const int id = check("x*y", {"x", "y"});
  EXPECT_EQ(evald(id, 3, {1, 2}, &ok), -123456.0);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(takeErr(), "Call to expevald with invalid derivation index 3\n");
  evald(id, 0, {1, 2}, &ok);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(takeErr(), "Call to expevald with invalid derivation index 0\n");
  evald2(id, 0, 1, {1, 2}, &ok);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(takeErr(), "Call to expevald2 with invalid derivation indexes (0 and 1)\n");
  evald2(id, 2, 3, {1, 2}, &ok);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(takeErr(), "Call to expevald2 with invalid derivation indexes (2 and 3)\n");
  EXPECT_TRUE(slot(id).d1.empty());
  EXPECT_TRUE(slot(id).d2.empty());
}

TEST_F(Diff, FailedSimplificationOfADerivative) {
  const int id = check("x/(0*y)", {"x", "y"});
  ASSERT_GE(id, 0);
  int ok = 0;
  EXPECT_EQ(evald(id, 1, {1, 2}, &ok), -1e30);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(takeErr(),
            "Attempt to divide by zero.\n"
            "expevald: erorr during expression simplification.\n"
            "Expression variables values :\nx = 1.000000\ny = 2.000000\n");
  // Built once: the second call only evaluates.
  evald(id, 1, {1, 2}, &ok);
  EXPECT_EQ(takeErr(), "");
  evald2(id, 1, 2, {1, 2}, &ok);
  EXPECT_EQ(takeErr(), "Attempt to divide by zero.\nExpression variables values :\nx = 1.000000\ny = 2.000000\n");
}

TEST_F(Diff, DerivativesReportCrossings) {
  KivSetFirstCall(0);
  const int id = check("abs(x)*x", {"x"});
  KivBeginEvaluation(KIV_EVAL_ORDINARY);
  EXPECT_EQ(evald(id, 1, {1}), 2);
  KivBeginEvaluation(KIV_EVAL_LOCATE);
  // Both branches held at x >= 0: 1 * x + |x| read as x.
  EXPECT_EQ(evald(id, 1, {-1}), -2);
  EXPECT_EQ(KivGetAnswerWord(), 4);
  KivBeginEvaluation(KIV_EVAL_ORDINARY);
  EXPECT_EQ(evald2(id, 1, 1, {1}), 2);
  KivBeginEvaluation(KIV_EVAL_LOCATE);
  EXPECT_EQ(evald2(id, 1, 1, {-1}), 2);
  EXPECT_EQ(KivGetAnswerWord(), 4);
  KivBeginEvaluation(KIV_EVAL_ORDINARY);
  EXPECT_EQ(evald2(id, 1, 1, {-1}), -2);
}

TEST_F(Diff, DifferExpression) {
  char **n = names({"x", "y"});
  int count = 2, indexes[] = {1, 2};
  int id = DifferExpression("x^3*y^2", 2, n, &count, indexes);
  ASSERT_GE(id, 0);
  // d2/dxdy = 6 x^2 y.
  EXPECT_DOUBLE_EQ(eval(id, {2, 3}), 72);
  count = 0;
  const int plain = DifferExpression("x+y", 2, n, &count, indexes);
  EXPECT_DOUBLE_EQ(eval(plain, {2, 3}), 5);
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
