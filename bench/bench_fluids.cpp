// Fluid properties of the current fluid at random pressures and along a slow
// sweep, and switching the current fluid, as hydraulic submodels do at
// every evaluation.
#include <benchmark/benchmark.h>

#include "bench_support.hpp"

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "hydraulics/hydindex.hpp"

namespace {

// A system with two general fluids (0 and 1), a fuel (2) and two table
// fluids (3, 4), current while the benchmark runs.
class Fluids {
 public:
  Fluids() : sys_(KivCreateSystem()) {
    KivMakeCurrent(sys_);
    for (int i = 0; i < 2; ++i) {
      HydFluidRecord r = kiv::bench::oil(i, 850.0 + 50.0 * i, 1e5 * i);
      kiv::hyd::addGeneral(r, "bench");
    }
    HydFuelRecord f{1, 2, -90000.0, -95000.0, 200.0, 2e-5, 2e-5, 0.01, 313.15, 1.4, -1};
    kiv::hyd::addFuel(f, "bench");
    // Table fluids with 1 % air: 3 at 50 degC (a table temperature of the
    // file), 4 at 52.5 degC (halfway between two, so both tables blend).
    for (int index : {3, 4}) {
      double p_sat = 0.0, air = 1.0, t = index == 3 ? 50.0 : 52.5, n = 1.4, mu_air = 2e-5,
             p_high = -90000.0, p_low = -95000.0, mu_vap = 2e-5, molar = 200.0,
             air_density = 1.2;
      const std::string file =
          std::string(KIV_BENCH_SHARE) + "/libhydr/data/hyd_15W30_Bs.data";
      if (fptables_(&index, &p_sat, &air, &t, &n, file.c_str(), &mu_air, &p_high, &p_low,
                    &mu_vap, &molar, &air_density) != 1)
        std::abort();
    }
    int two = 2;
    setbflag_(&two);
    Set_rbprop_silent_(1);  // random pressures go below the fuel's liquid range
    // Gauge pressures up to 300 bar (nearly all with the air dissolved), and
    // up to 2 bar (vapour, free air and dissolved alike).
    std::mt19937 gen(12345);
    std::uniform_real_distribution<double> wide(-1e5, 3e7), low(-1e5, 2e5);
    for (auto &p : wide_) p = wide(gen);
    for (auto &p : low_) p = low(gen);
    // The same ranges swept as a simulation moves: one slow cycle over the
    // samples, each step a small fraction of a table interval.
    const double pi = 3.14159265358979323846;
    for (size_t k = 0; k < sweep_wide_.size(); ++k) {
      const double c = 0.5 - 0.5 * std::cos(2.0 * pi * static_cast<double>(k) /
                                             static_cast<double>(sweep_wide_.size()));
      sweep_wide_[k] = -1e5 + c * (3e7 + 1e5);
      sweep_low_[k] = -1e5 + c * (2e5 + 1e5);
    }
  }
  ~Fluids() { KivReleaseSystem(sys_); }
  const std::vector<double> &pressures(bool wide) const { return wide ? wide_ : low_; }
  const std::vector<double> &sweep(bool wide) const { return wide ? sweep_wide_ : sweep_low_; }

 private:
  KIVSystem *sys_;
  std::vector<double> wide_ = std::vector<double>(4096), low_ = std::vector<double>(4096);
  std::vector<double> sweep_wide_ = std::vector<double>(4096),
                      sweep_low_ = std::vector<double>(4096);
};

void SelectAlternating(benchmark::State &state) {
  Fluids fluids;
  int a = 0, b = 1;
  for (auto _ : state) {
    sethdind_(&a);
    sethdind_(&b);
  }
  state.SetItemsProcessed(2 * state.iterations());
}
BENCHMARK(SelectAlternating);

void SelectSame(benchmark::State &state) {
  Fluids fluids;
  int a = 0;
  for (auto _ : state) sethdind_(&a);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(SelectSame);

template <double (*Property)(double *), bool Sweep = false>
void AtRandomPressures(benchmark::State &state) {
  Fluids fluids;
  int index = static_cast<int>(state.range(0));
  const bool wide = state.range(1) != 0;
  const std::vector<double> &pressures = Sweep ? fluids.sweep(wide) : fluids.pressures(wide);
  sethdind_(&index);
  size_t k = 0;
  for (auto _ : state) {
    double p = pressures[k++ & (pressures.size() - 1)];
    benchmark::DoNotOptimize(Property(&p));
  }
  state.SetItemsProcessed(state.iterations());
}
// Arguments: fluid index (1 general with air dissolving at 1 bar gauge,
// 2 fuel, 3 tables from a data file, 4 the same file blended between two
// temperatures), pressures up to 300 bar (1) or up to 2 bar (0).
void FluidsAndRanges(benchmark::internal::Benchmark *b) {
  b->ArgNames({"fluid", "wide"});
  for (int fluid : {1, 2, 3, 4})
    for (int wide : {1, 0}) b->Args({fluid, wide});
}
BENCHMARK_TEMPLATE(AtRandomPressures, rhoatp_)->Apply(FluidsAndRanges);
BENCHMARK_TEMPLATE(AtRandomPressures, bmatp_)->Apply(FluidsAndRanges);
BENCHMARK_TEMPLATE(AtRandomPressures, q0top_)->Apply(FluidsAndRanges);
BENCHMARK_TEMPLATE(AtRandomPressures, muatp_)->Apply(FluidsAndRanges);

// Density and then bulk modulus at one pressure, as a chamber asks for them.
double densityThenBulk(double *p) {
  const double rho = rhoatp_(p);
  return rho + bmatp_(p);
}
BENCHMARK_TEMPLATE(AtRandomPressures, densityThenBulk)->Apply(FluidsAndRanges);

// The same properties along a slow sweep of the same ranges: consecutive
// pressures mostly share a table interval.
template <double (*Property)(double *)>
void AlongSweep(benchmark::State &state) {
  AtRandomPressures<Property, true>(state);
}
BENCHMARK_TEMPLATE(AlongSweep, rhoatp_)->Apply(FluidsAndRanges);
BENCHMARK_TEMPLATE(AlongSweep, bmatp_)->Apply(FluidsAndRanges);
BENCHMARK_TEMPLATE(AlongSweep, densityThenBulk)->Apply(FluidsAndRanges);

}  // namespace
