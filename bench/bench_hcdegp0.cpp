// The HCDEGP0 evaluation in the user's units for the 12-tooth pump on
// synthetic tables, one degree further at each call: what the unit
// boundary adds to the per-step calculation (GearPumpCalc12); and the
// submodel's whole set-up.
#include <benchmark/benchmark.h>

#include <vector>

#include "examples/pump_core.hpp"
#include "gearpump/hcdegp0_table.hpp"
#include "gearpump/kiv_gearpump.h"
#include "runtime/system.hpp"
#include "tests/gearpump/synthetic.hpp"

namespace {

void Hcdegp0Evaluation(benchmark::State &state) {
  KIVSystem *sys = KivCreateSystem();
  KivMakeCurrent(sys);
  {
    kiv::egp::synth::Pump pump;
    pump.build();
    double reals[55] = {};
    int ints[8] = {};
    for (const auto &row : kiv::egp::hcdegp0_reals()) reals[row.pos] = pump.par.*row.field;
    for (const auto &row : kiv::egp::hcdegp0_ints()) ints[row.pos] = pump.par.*row.field;
    void *slot = pump.inst.release();
    double p1 = 1, p2 = 70, pinl = 1, pout = 60, speed = 1500, angle = 0, q1, q2, torque, dang,
           anglen, dpout, dpinl, mesh, f[4];
    std::vector<double> pr(12), pn(12);
    for (int k = 0; k < 12; ++k) pr[k] = 1 + 5 * k, pn[k] = 60 - 5 * k;
    std::vector<std::vector<double>> a(36, std::vector<double>(12));
    for (auto _ : state) {
      angle = angle >= 359 ? 0 : angle + 1;
      hcdegp0_(nullptr, &q1, &p1, &q2, &p2, &torque, &speed, &angle, &dang, &anglen, &pout, &dpout,
               &pinl, &dpinl, pr.data(), a[0].data(), pn.data(), a[1].data(), a[2].data(),
               a[3].data(), a[4].data(), a[5].data(), &mesh, a[6].data(), a[7].data(), a[8].data(),
               a[9].data(), a[10].data(), a[11].data(), a[12].data(), a[13].data(), a[14].data(),
               a[15].data(), a[16].data(), a[17].data(), a[18].data(), a[19].data(), a[20].data(),
               a[21].data(), a[22].data(), a[23].data(), a[24].data(), a[25].data(), a[26].data(),
               a[27].data(), a[28].data(), a[29].data(), a[30].data(), a[31].data(), a[32].data(),
               a[33].data(), &f[0], &f[1], &f[2], &f[3], reals, ints, nullptr, pump.store, &slot);
      benchmark::DoNotOptimize(dpout);
    }
    hcd_egp_end_04(&slot);
  }
  KivReleaseSystem(sys);
}
BENCHMARK(Hcdegp0Evaluation)->Unit(benchmark::kMicrosecond);

}  // namespace

// The whole set-up of the example's pump: checks, gears, ports and the
// geometry build at precision level 3, in a fresh system each time.
void Hcdegp0SetUp(benchmark::State &state) {
  for (auto _ : state) {
    KIVSystem *sys = KivCreateSystem();
    KivMakeCurrent(sys);
    int index = 0, one = 1;
    double rho = 850, bulk = 1.7e9, mu = 0.04, psat = -5e4, zero = 0, t = 50, poly = 1.4;
    fpspind_(&index, &rho, &bulk, &mu, &psat, &zero, &t, &poly, &zero);
    kivex::PumpParams p(12);
    double store[16] = {}, angle = 0, pout, pinl, pr[12], pn[12];
    void *slot = nullptr;
    const int rc = kiv::guarded(sys, [&] {
      hcdegp0in_(&one, p.r.data(), p.i.data(), p.text, store, &slot, &angle, &pout, &pinl, pr, pn);
      return 0;
    });
    if (rc != 0) state.SkipWithError("set-up failed");
    hcd_egp_end_04(&slot);
    KivEndRun(0);
    KivReleaseSystem(sys);
  }
}
BENCHMARK(Hcdegp0SetUp)->Unit(benchmark::kMillisecond);
