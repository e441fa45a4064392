// The gear pump's tables by angle at set-up: every table of an instance made
// from synthetic curves, and one periodic smoothing (25 passes of a 25-point
// window over 1440 samples) beside a plain sliding-window loop on the same
// data.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <vector>

#include "hydraulics/kiv_hydlaws.h"
#include "runtime/kiv_runtime.h"
#include "tables/kiv_splinend.h"
#include "gearpump/rungeom.hpp"
#include "tests/gearpump/synthetic.hpp"

namespace {

using namespace kiv::egp;

// Preparation of the cavity-area and force curves and all 72 tables.
void GearPumpTablesSetUp(benchmark::State &state) {
  KIVSystem *sys = KivCreateSystem();
  KivMakeCurrent(sys);
  const int z = 11;
  for (auto _ : state) {
    state.PauseTiming();
    egp_pump_data w;
    synth::Build b;
    auto inst = egp_instance_create(z, z);
    state.ResumeTiming();
    synth::fill(w, b, z);
    if (egp_pump_data_init_tables(w, z / 2, z / 2, synth::kN, b.x.data(), b.axes(), *inst))
      state.SkipWithError("a table was not made");
    state.PauseTiming();
    for (auto &s : inst->slot)
      for (int id : s)
        if (id >= 0) splfree_(&id);
    state.ResumeTiming();
  }
  KivReleaseSystem(sys);
}
BENCHMARK(GearPumpTablesSetUp)->Unit(benchmark::kMillisecond);

// One evaluation's meshing cavities, gear forces and pressure torque, the
// shaft advancing a tenth of a degree per call.
void GearPumpRunForces(benchmark::State &state) {
  KIVSystem *sys = KivCreateSystem();
  KivMakeCurrent(sys);
  const int z = 11;
  egp_pump_data w;
  synth::Build b;
  auto inst = egp_instance_create(z, z);
  synth::fill(w, b, z);
  egp_pump_data_init_tables(w, z / 2, z / 2, synth::kN, b.x.data(), b.axes(), *inst);
  const double pitch = 2 * std::numbers::pi / z;
  const std::vector<double> pr(z, 1e7), pn(z, 2e7);
  egp_force_state st{.b = 0.015, .tt1 = 0.1, .tt2 = 0.1, .R1 = 0.02, .R2 = 0.02};
  st.pr = pr.data();
  st.pn = pn.data();
  st.pout = 3e7;
  double fx[4], torque = 0;
  for (auto _ : state) {
    st.theta += 0.1 * std::numbers::pi / 180;
    egp_run_get_inout(st.theta, inst->slot[kSlotMarkersDriving], inst->slot[kSlotMarkersDriven],
                      pitch, pitch, {2.8, 3.5}, {-0.3, 0.4}, st.o1, st.o2, st.o3, st.o4);
    egp_run_forces(*inst, st, torque, &fx[0], &fx[1], &fx[2], &fx[3]);
    benchmark::DoNotOptimize(fx);
  }
  benchmark::DoNotOptimize(torque);
  KivReleaseSystem(sys);
}
BENCHMARK(GearPumpRunForces)->Unit(benchmark::kMicrosecond);

constexpr int kSamples = 1440, kPasses = 25, kHalf = 12;

std::vector<double> noisyPeriodic(std::vector<double> &x) {
  std::vector<double> y(kSamples);
  x.resize(kSamples);
  for (int k = 0; k < kSamples; ++k) {
    x[size_t(k)] = 360.0 * k / (kSamples - 1);
    y[size_t(k)] = synth::wave(x[size_t(k)], 0.0) + 0.05 * std::sin(1.3 * k * k);
  }
  y.back() = y.front();
  return y;
}

// Argument 1: the samples sit slightly off the even grid, so the first pass
// resamples through its spline (the later ones are on the grid).
void SmoothTable1440(benchmark::State &state) {
  KIVSystem *sys = KivCreateSystem();
  KivMakeCurrent(sys);
  std::vector<double> xs;
  const std::vector<double> ys = noisyPeriodic(xs);
  if (state.range(0))
    for (int k = 1; k < kSamples - 1; ++k) xs[size_t(k)] += 0.01 * std::sin(k);
  const size_t bytes = sizeof(double) * kSamples;
  auto *x = static_cast<double *>(std::malloc(bytes));
  auto *y = static_cast<double *>(std::malloc(bytes));
  for (auto _ : state) {
    std::memcpy(x, xs.data(), bytes);
    std::memcpy(y, ys.data(), bytes);
    int cubic = 2, method = 4, n = kSamples, codes[2] = {3, 3}, option = 0, window = 2 * kHalf + 1;
    for (int p = 0; p < kPasses; ++p)
      savitzkygolay_filter_(&cubic, &method, &n, &n, codes, &option, &window, &x, &y);
    benchmark::DoNotOptimize(y[0]);
  }
  std::free(x);
  std::free(y);
  KivReleaseSystem(sys);
}
BENCHMARK(SmoothTable1440)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The same passes as a plain loop: the periodic curve extended by half a
// window on each side, then one weighted sum per sample.
void PlainSlidingWindow1440(benchmark::State &state) {
  std::vector<double> xs, y = noisyPeriodic(xs);
  double c[2 * kHalf + 1];
  const double den = (2.0 * kHalf - 1) * (2.0 * kHalf + 1) * (2.0 * kHalf + 3);
  for (int i = -kHalf; i <= kHalf; ++i)
    c[i + kHalf] = (3.0 * (3 * kHalf * kHalf + 3 * kHalf - 1) - 15.0 * i * i) / den;
  const int period = kSamples - 1;
  std::vector<double> ext(kSamples + 2 * kHalf), out(kSamples);
  for (auto _ : state) {
    std::vector<double> v = y;
    for (int p = 0; p < kPasses; ++p) {
      for (int k = -kHalf; k < kSamples + kHalf; ++k)
        ext[size_t(k + kHalf)] = v[size_t((k % period + period) % period)];
      for (int j = 0; j < kSamples; ++j) {
        double s = 0;
        for (int i = 0; i <= 2 * kHalf; ++i) s += c[i] * ext[size_t(j + i)];
        out[size_t(j)] = s;
      }
      v.swap(out);
    }
    benchmark::DoNotOptimize(v[0]);
  }
}
BENCHMARK(PlainSlidingWindow1440)->Unit(benchmark::kMicrosecond);

}  // namespace
