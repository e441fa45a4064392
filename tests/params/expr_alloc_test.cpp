// Evaluating a stored expression, its derivatives included, allocates
// nothing, whether branches are free or held.
#include <cmath>
#include <string>

#include "params/kiv_expr.h"
#include "support/kiv_test.hpp"

namespace {

using kiv::test::SystemTest;

TEST_F(SystemTest, ExpressionEvaluationAllocatesNothing) {
  if (kiv::test::allocationCount() < 0) GTEST_SKIP() << "needs the sanitizer's allocator hook";
  std::string x = "x", y = "y";
  char *names[] = {x.data(), y.data()};
  const char *texts[] = {"3*x^3 - 2*x*y + y^2/4 - 7",
                         "sin(x)*exp(-y) + sqrt(abs(x)) + atan2(y, x) + log(1 + x*x)",
                         "max(x, y, 0.5) + min(x, 2) + (x > y)*floor(y) + mod(x, 0.7) + sign(x, y)"};
  int ids[3];
  for (int i = 0; i < 3; ++i) ASSERT_GE(ids[i] = CheckExpression(texts[i], 2, names), 0) << texts[i];
  KivSetFirstCall(0);
  double sum = 0.0;
  auto evaluate = [&] {
    for (int &id : ids)
      for (double v0 : {-1.3, 0.2, 2.5}) {
        double v[2] = {v0, 0.7 - v0}, r = 0.0;
        int k = 1, kl[2] = {1, 2};
        expeval_(&id, v, &r);
        sum += r;
        expevald_(&id, &k, v, &r);
        sum += r;
        expevald2_(&id, kl, v, &r);
        sum += r;
      }
  };
  evaluate();  // derivative trees are built on first use
  const long before = kiv::test::allocationCount();
  for (int mode : {KIV_EVAL_ORDINARY, KIV_EVAL_LOCATE, KIV_EVAL_ORDINARY}) {
    KivBeginEvaluation(mode);
    evaluate();
  }
  EXPECT_EQ(kiv::test::allocationCount() - before, 0);
  EXPECT_TRUE(std::isfinite(sum));
}

}  // namespace
