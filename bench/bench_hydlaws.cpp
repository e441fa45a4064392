// Orifice flows and chamber pressure derivatives as the gear pump evaluates
// them at every model evaluation, and the smoothing of a periodic table at
// its set-up.
#include <benchmark/benchmark.h>

#include "bench_support.hpp"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

#include "hydraulics/hydindex.hpp"
#include "hydraulics/kiv_hydlaws.h"

namespace {

// A system with a general fluid (1 % free air below 0 bar) made current,
// with printing run flags, and random gauge pressures up to 300 bar.
class Circuit {
 public:
  Circuit() : sys_(KivCreateSystem()) {
    KivMakeCurrent(sys_);
    HydFluidRecord r = kiv::bench::oil(0, 850.0, 0.0);
    kiv::hyd::addGeneral(r, "bench");
    int zero = 0;
    sethdind_(&zero);
    KIVRunFlags flags{};
    flags.printing = 1;
    KivSetRunFlags(&flags);
    KivSetFirstCall(0);
    std::mt19937 gen(4321);
    std::uniform_real_distribution<double> p(0.0, 3e7);
    for (auto &x : p_) x = p(gen);
  }
  ~Circuit() { KivReleaseSystem(sys_); }
  double pressure(size_t i) const { return p_[i & (p_.size() - 1)]; }

 private:
  KIVSystem *sys_;
  std::vector<double> p_ = std::vector<double>(4096);
};

void OrificeFlow3f(benchmark::State &state) {
  Circuit c;
  double A = 2e-6, dh = 1.6e-3, cqmax = 0.7, lcrit = 1000.0, cq, lambda, v;
  size_t i = 0;
  for (auto _ : state) {
    double p1 = c.pressure(i), p2 = c.pressure(i + 1);
    benchmark::DoNotOptimize(orif3f_(&p1, &p2, &A, &dh, &cqmax, &lcrit, &cq, &lambda, &v));
    ++i;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(OrificeFlow3f);

void ChamberDerivative(benchmark::State &state) {
  Circuit c;
  double a = 0.0, V0 = 2e-6, q = 1e-5;
  size_t i = 0;
  for (auto _ : state) {
    double p = c.pressure(i++);
    benchmark::DoNotOptimize(pcdyn2_(&p, &a, &V0, &q));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ChamberDerivative);

// The gear pump's set-up smooths each periodic table by angle (1440
// samples, a quarter degree apart) with 25 passes of a 25-point window,
// cubic interpolation with monotone slopes.
void SmoothPeriodicTable(benchmark::State &state) {
  KIVSystem *sys = KivCreateSystem();
  KivMakeCurrent(sys);
  const int n = 1440;
  std::vector<double> xs(n), ys(n);
  for (int i = 0; i < n; ++i) {
    xs[size_t(i)] = 0.25 * i;
    ys[size_t(i)] = std::sin(std::numbers::pi * i / 180.0) + 0.1 * std::sin(1.3 * i * i);
  }
  ys[n - 1] = ys[0];
  const size_t bytes = sizeof(double) * n;
  auto *x = static_cast<double *>(std::malloc(bytes));
  auto *y = static_cast<double *>(std::malloc(bytes));
  for (auto _ : state) {
    std::memcpy(x, xs.data(), bytes);
    std::memcpy(y, ys.data(), bytes);
    int kind = 2, method = 4, count = n, m = n, codes[2] = {3, 3}, disc = 0, window = 25;
    for (int pass = 0; pass < 25; ++pass)
      savitzkygolay_filter_(&kind, &method, &count, &m, codes, &disc, &window, &x, &y);
    benchmark::DoNotOptimize(y[0]);
  }
  std::free(x);
  std::free(y);
  KivReleaseSystem(sys);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(SmoothPeriodicTable)->Unit(benchmark::kMillisecond);

}  // namespace
