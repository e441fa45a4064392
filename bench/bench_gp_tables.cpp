// The gear pump's tables by angle at set-up: every table of an instance made
// from synthetic curves, and one periodic smoothing (25 passes of a 25-point
// window over 1440 samples) beside a plain sliding-window loop on the same
// data.
#include <benchmark/benchmark.h>

#include <cmath>
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

}  // namespace
