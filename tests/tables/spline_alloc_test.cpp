// Evaluation of every spline family allocates nothing, in every evaluation
// mode. Allocations are counted through the sanitizer's malloc hook (the test
// build runs under ASan), which sees operator new as well.
#include <cmath>
#include <vector>

#include "tables/spline_support.hpp"
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

using kiv::test::Grid;
using kiv::test::linspace;

class SplineAlloc : public kiv::test::SystemTest {};

TEST_F(SplineAlloc, EvaluationAllocatesNothing) {
#ifndef KIV_HAVE_MALLOC_HOOK
  GTEST_SKIP() << "needs the sanitizer's malloc hook";
#else
  static const bool hooked = __sanitizer_install_malloc_and_free_hooks(&onMalloc, &onFree) > 0;
  ASSERT_TRUE(hooked);
  // N-D: a cyclic time-flagged cubic, a linear and a constant spline.
  Grid g({linspace(0, 360, 721), linspace(0, 1, 4), {7.0}});
  g.fill([](auto &v) { return v[1] * (v[0] < 360 ? v[0] : 0.0); });
  g.codes = {3, 3, 1, 2, 1, 1};
  g.disc = 1;
  const int cubic = g.cubic(), lin_nd = g.linear();
  g.codes = {2, 2, 1, 1, 1, 1};
  const int constant = g.constant();

  // 1-D, multi-1-D (linear and cubic layers), multi-multi-1-D and 2-D.
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
  for (int id : {cubic, lin_nd, constant, lin, cyc, cub, per, ms[0], ms[1], m3, bl}) ASSERT_GE(id, 0);

  KivSetFirstCall(0);
  KivSetTime(0.0);
  double p[3] = {10, 0.5, 7}, out = 0, grad[3], hess[6], sum = 0;
  const int d1 = 1, d2[2] = {1, 2};
  int mem = -2, mem2 = -2, disc = 1;
  kiv::nd::Memory sites[3];  // a reader's own interval memory per spline
  const long before = g_mallocs;
  for (int mode : {KIV_EVAL_ORDINARY, KIV_EVAL_LOCATE, KIV_EVAL_CHECK}) {
    KivBeginEvaluation(mode);
    for (double a = -400; a < 1500; a += 13.7) {
      p[0] = a;
      p[1] = a / 900;
      for (int id : {cubic, lin_nd, constant}) {
        spleval_(&id, p, &out);
        splevald_(&id, &d1, p, &out);
        splevald2_(&id, d2, p, &out);
        splevalalld_(&id, p, grad);
        splevalalld2_(&id, p, hess);
        splevalv_(&id, &p[0], &p[1], &p[2], &out);
        splextrapol_(&id, p);
        kiv::nd::Memory &site = sites[id == cubic ? 0 : id == lin_nd ? 1 : 2];
        sum += kiv::nd::SplineEvalAt(id, p, 0, 1, site) + kiv::nd::SplineEvalAt(id, p, 1, 1, site);
      }
      const double s = a / 40, b = s / 17;
      sum += getlspl_(&lin, &s, &disc) + getlspd_(&lin, &s, &disc) + getlspi_(&lin, &s, &disc) +
             getlspl_(&cyc, &s, &disc) + getlspi_(&cyc, &s, &disc) +
             getlspla_(&cyc, &s, &disc, &mem) + intinvbm_(&lin, &s);
      sum += getspl_(&cub, &s) + getspd_(&cub, &s) + getsp2_(&cub, &s, &mem2) + getspl_(&per, &s) +
             getspd_(&per, &s);
      for (int id : ms)
        sum += getmspl_(&id, &s, &b, &disc) + getmspdx_(&id, &s, &b, &disc) +
               getmspdy_(&id, &s, &b, &disc);
      sum += getm3dspl_(&m3, &s, &b, &b, &disc) + getm3dspdz_(&m3, &s, &b, &b, &disc);
      sum += getlspl2_(&bl, &s, &b, &disc) + getlspdx_(&bl, &s, &b, &disc) +
             getlspdy_(&bl, &s, &b, &disc);
    }
  }
  EXPECT_EQ(g_mallocs - before, 0);
  EXPECT_TRUE(std::isfinite(sum));
#endif
}

}  // namespace
