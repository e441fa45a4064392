// Unit expressions and interpreted expressions at the deepest nesting and the
// longest chains accepted, on a worker thread of 512 KiB; one step further
// they are refused with a message.
#include <cmath>
#include <string>
#include <vector>

#include "support/small_stack.hpp"
#include "tables/kiv_interpret.h"
#include "tablefile_support.hpp"

namespace {

using kiv::test::chain;
using kiv::test::repeated;

// The limits kiv_expr.h gives: brackets and calls nest 1000 deep, chains
// reach 4000 terms.
constexpr int kNest = 1000, kTerms = 4000;

struct NestedText : kiv::test::TableTest {
  std::string a = "a";
  char *names[1] = {a.data()};
  int bound[2] = {1, 1}, ext[2] = {1, 1}, interp = 2, disc = 0;
  double slopes[2] = {};

  int init(std::string text) {
    int dim = -1, n = 1;
    return strinit_(text.data(), &dim, names, &n, &interp, bound, ext, slopes, &disc);
  }
  void onWorker(const std::function<void()> &body) {
    EXPECT_TRUE(kiv::test::onStackOf(kiv::test::kWorkerStack, body));
  }
};

void expectNear(double got, double want) { EXPECT_NEAR(got, want, 1e-9 * (1.0 + std::fabs(want))); }

TEST_F(NestedText, InterpretedExpressionsAtTheLimits) {
  double s = 0.4, ds = 1.0;
  for (int i = 0; i < kNest; ++i) {
    ds *= std::cos(s);
    s = std::sin(s);
  }
  onWorker([&] {
    double x[] = {0.4}, y = 0;
    int k = 1, kl[2] = {1, 1};
    int id = init(repeated("sin(", kNest) + "a" + repeated(")", kNest));
    ASSERT_GE(id, 0);
    EXPECT_EQ(streval_(&id, x, &y), 1);
    expectNear(y, s);
    EXPECT_EQ(strevald_(&id, &k, x, &y), 1);
    expectNear(y, ds);
    // The second derivative outgrows the size budget: refused, not a crash.
    EXPECT_EQ(strevald2_(&id, kl, x, &y), 0);
    EXPECT_NE(takeErr().find("derivative exceeds"), std::string::npos);

    id = init(chain("a", "-", kTerms));
    ASSERT_GE(id, 0);
    EXPECT_EQ(streval_(&id, x, &y), 1);
    expectNear(y, 0.4 * (2 - kTerms));
    EXPECT_EQ(strevald_(&id, &k, x, &y), 1);
    expectNear(y, 2 - kTerms);
    EXPECT_EQ(strevald2_(&id, kl, x, &y), 1);
    EXPECT_EQ(y, 0.0);

    id = init(repeated("(1+", kNest) + "a" + repeated(")", kNest));
    ASSERT_GE(id, 0);
    EXPECT_EQ(streval_(&id, x, &y), 1);
    expectNear(y, kNest + 0.4);
    EXPECT_EQ(strevald_(&id, &k, x, &y), 1);
    EXPECT_EQ(y, 1.0);
    EXPECT_EQ(takeErr(), "");

    // One level deeper: no expression, and no such file either.
    EXPECT_EQ(init(repeated("sin(", kNest + 1) + "a" + repeated(")", kNest + 1)), -1);
    const std::string err = takeErr();
    EXPECT_NE(err.find("Expression nested too deeply"), std::string::npos);
    EXPECT_NE(err.find("unable to interpret the string"), std::string::npos);
    EXPECT_EQ(init(chain("a", "-", kTerms + 1)), -1);
    EXPECT_NE(takeErr().find("Expression nested too deeply"), std::string::npos);
  });
}

TEST_F(NestedText, UnitExpressionsAtTheLimits) {
  onWorker([&] {
    double f = 0, o = 0;
    int e[KIV_UNIT_DIMENSIONS];
    // Length is the first dimension: m^n, and m / m / ... = m^(2 - n).
    ASSERT_EQ(GetConvFactAndBase(chain("m", "*", kTerms).c_str(), &f, &o, e), 1);
    EXPECT_EQ(f, 1.0);
    EXPECT_EQ(std::vector<int>(e, e + 7), (std::vector<int>{kTerms, 0, 0, 0, 0, 0, 0}));
    ASSERT_EQ(GetConvFactAndBase(chain("m", "/", kTerms).c_str(), &f, &o, e), 1);
    EXPECT_EQ(std::vector<int>(e, e + 7), (std::vector<int>{2 - kTerms, 0, 0, 0, 0, 0, 0}));
    const std::string kPa = repeated("(", kNest) + "kN" + repeated(")", kNest) + "/m**2";
    ASSERT_EQ(GetConvFactAndBase(kPa.c_str(), &f, &o, e), 1);
    EXPECT_EQ(f, 1000.0);
    EXPECT_EQ(std::vector<int>(e, e + 7), (std::vector<int>{-1, 1, -2, 0, 0, 0, 0}));
    EXPECT_EQ(takeErr(), "");

    EXPECT_EQ(GetConvFactAndBase(chain("m", "*", kTerms + 1).c_str(), &f, &o, e), 0);
    EXPECT_NE(takeErr().find("Unable to parse expression"), std::string::npos);
    EXPECT_EQ(GetConvFactAndBase(("(" + kPa + ")").c_str(), &f, &o, e), 0);
    EXPECT_NE(takeErr().find("Unable to parse expression"), std::string::npos);
  });
}

}  // namespace
