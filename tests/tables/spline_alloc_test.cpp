// Evaluation of every kind and mode allocates nothing.
#include <cstdlib>
#include <new>

#include "tables/spline_support.hpp"

namespace {
long g_news = 0;
}

// Every allocating form goes through malloc and is counted, every release
// through free, so that the sanitizer sees matching pairs.
void *operator new(std::size_t n) {
  ++g_news;
  if (void *p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void *operator new[](std::size_t n) { return ::operator new(n); }
void *operator new(std::size_t n, const std::nothrow_t &) noexcept {
  ++g_news;
  return std::malloc(n ? n : 1);
}
void *operator new[](std::size_t n, const std::nothrow_t &t) noexcept { return ::operator new(n, t); }
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t) noexcept { std::free(p); }
void operator delete(void *p, const std::nothrow_t &) noexcept { std::free(p); }
void operator delete[](void *p, const std::nothrow_t &) noexcept { std::free(p); }

namespace {

using kiv::test::Grid;
using kiv::test::linspace;

class SplineAlloc : public kiv::test::SystemTest {};

TEST_F(SplineAlloc, EvaluationAllocatesNothing) {
  Grid g({linspace(0, 360, 721), linspace(0, 1, 4), {7.0}});
  g.fill([](auto &v) { return v[1] * (v[0] < 360 ? v[0] : 0.0); });
  g.codes = {3, 3, 1, 2, 1, 1};
  g.disc = 1;
  const int cubic = g.cubic(), linear = g.linear();
  g.codes = {2, 2, 1, 1, 1, 1};
  const int constant = g.constant();
  ASSERT_GE(cubic, 0);
  ASSERT_GE(linear, 0);
  ASSERT_GE(constant, 0);
  KivSetTime(0.0);
  double x[3] = {10, 0.5, 7}, out = 0, grad[3], hess[6];
  const int d1 = 1, d2[2] = {1, 2};
  const long before = g_news;
  for (int id : {cubic, linear, constant})
    for (int mode : {KIV_EVAL_ORDINARY, KIV_EVAL_LOCATE, KIV_EVAL_CHECK}) {
      KivBeginEvaluation(mode);
      for (double a = -400; a < 1500; a += 13.7) {
        x[0] = a;
        x[1] = a / 900;
        spleval_(&id, x, &out);
        splevald_(&id, &d1, x, &out);
        splevald2_(&id, d2, x, &out);
        splevalalld_(&id, x, grad);
        splevalalld2_(&id, x, hess);
        splevalv_(&id, &x[0], &x[1], &x[2], &out);
        splextrapol_(&id, x);
      }
    }
  EXPECT_EQ(g_news - before, 0);
}

}  // namespace
