// Evaluation of the 1-D, multi-1-D, multi-multi-1-D and 2-D splines
// allocates nothing, in every evaluation mode.  Allocations are counted
// through the sanitizer's malloc hook (the test build runs under ASan).
#include <cmath>
#include <vector>

#include "tables/splines1d_support.hpp"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KIV_HAVE_MALLOC_HOOK 1
#include <sanitizer/allocator_interface.h>
#endif
#endif

namespace {

long g_mallocs = 0;
[[maybe_unused]] void onMalloc(const volatile void *, size_t) { ++g_mallocs; }
[[maybe_unused]] void onFree(const volatile void *) {}

class SplineEvalAlloc : public kiv::test::SystemTest {};

TEST_F(SplineEvalAlloc, EvaluationAllocatesNothing) {
#ifndef KIV_HAVE_MALLOC_HOOK
  GTEST_SKIP() << "needs the sanitizer's malloc hook";
#else
  static const bool hooked = __sanitizer_install_malloc_and_free_hooks(&onMalloc, &onFree) > 0;
  ASSERT_TRUE(hooked);
  std::vector<double> x, y;
  for (int k = 0; k <= 64; ++k) {
    x.push_back(k * 0.25);
    y.push_back(2 + std::sin(k * 0.3));
  }
  y.back() = y.front();
  const int n = static_cast<int>(x.size()), one = 1, three = 3, two = 2;
  const double zero = 0.0;
  int lin = kiv::test::linear(x, y, 1, 2), cyc = kiv::test::linear(x, y, 3, 3);
  int cub = splinit_(&n, x.data(), y.data(), &one, &zero, &one, &zero, &one, &two);
  int per = splinit_(&n, x.data(), y.data(), &three, &zero, &one, &zero, &one, &two);
  // Two layers of each kind, two parts, and a grid of the same points.
  std::vector<int> npts = {n, n, n, n}, nlayers = {2, 2};
  std::vector<double> xs, zs, ly = {0, 1, 0, 1}, zval = {0, 1};
  for (int k = 0; k < 4; ++k) {
    xs.insert(xs.end(), x.begin(), x.end());
    zs.insert(zs.end(), y.begin(), y.end());
  }
  int types[2] = {0, 1}, ms[2];
  for (int t = 0; t < 2; ++t)
    ms[t] = msplinit_(&two, npts.data(), xs.data(), ly.data(), zs.data(), &three, &one, &one, &zero,
                      &one, &zero, &two, &two, &types[t]);
  int m3 = m3dsplinit_(&two, &n, npts.data(), nlayers.data(), xs.data(), ly.data(), zval.data(),
                       zs.data(), &one, &two, &one, &zero, &one, &zero, &one, &one, &types[0]);
  int bl = lsplini2_(&n, &two, x.data(), zval.data(), zs.data(), &one, &two, &three, &three);
  for (int id : {lin, cyc, cub, per, ms[0], ms[1], m3, bl}) ASSERT_GE(id, 0);
  KivSetFirstCall(0);
  int mem = -2, mem2 = -2, disc = 1;
  double sum = 0;
  const long before = g_mallocs;
  for (int mode : {KIV_EVAL_ORDINARY, KIV_EVAL_LOCATE, KIV_EVAL_CHECK}) {
    KivBeginEvaluation(mode);
    for (double a = -20; a < 40; a += 0.37) {
      const double b = a / 17;
      sum += getlspl_(&lin, &a, &disc) + getlspd_(&lin, &a, &disc) + getlspi_(&lin, &a, &disc) +
             getlspl_(&cyc, &a, &disc) + getlspi_(&cyc, &a, &disc) +
             getlspla_(&cyc, &a, &disc, &mem) + intinvbm_(&lin, &a);
      sum += getspl_(&cub, &a) + getspd_(&cub, &a) + getsp2_(&cub, &a, &mem2) + getspl_(&per, &a) +
             getspd_(&per, &a);
      for (int id : ms)
        sum += getmspl_(&id, &a, &b, &disc) + getmspdx_(&id, &a, &b, &disc) +
               getmspdy_(&id, &a, &b, &disc);
      sum += getm3dspl_(&m3, &a, &b, &b, &disc) + getm3dspdz_(&m3, &a, &b, &b, &disc);
      sum += getlspl2_(&bl, &a, &b, &disc) + getlspdx_(&bl, &a, &b, &disc) +
             getlspdy_(&bl, &a, &b, &disc);
    }
  }
  EXPECT_EQ(g_mallocs - before, 0);
  EXPECT_TRUE(std::isfinite(sum));
#endif
}

}  // namespace
