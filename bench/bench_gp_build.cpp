// The whole geometry build of a 12-tooth rack-cut pair (module 2 mm) with
// the submodel's rectangular ports, at its default 4 samples per degree
// (1,441 cuts), from the shape ids to every table of the instance; the
// time per cut is the whole divided by the samples.  Compare with the
// single cut beside it.
#include <benchmark/benchmark.h>

#include "gearpump/build.hpp"
#include "geometry/kiv_shapeid.h"
#include "tables/kiv_splinend.h"
#include "tests/gearpump/pair.hpp"

namespace {

using namespace kiv::egp;
using namespace kiv::egp::pairtest;

int registered(ShapePtr s) { return register_shape_id_(s.release()); }

void BM_GearPumpBuild(benchmark::State &state) {
  KIVSystem *sys = KivCreateSystem();
  KivMakeCurrent(sys);
  const int z = 12, ppd = static_cast<int>(state.range(0));
  const double m = 2.0, ra = 14.0, a = 24.0;
  int sharp = 0;
  ShapePtr s1 = egp_create_gear(z, m, kAlpha, 1, 0.25, 0.38, 0, ra, 9.5, z, 2, sharp);
  ShapePtr s2 = egp_create_gear(z, m, kAlpha, 1, 0.25, 0.38, 0, ra, 9.5, z, 1, sharp);
  rotate2D_(s1.get(), 0, 0, kPi / 2);
  rotate2D_(s2.get(), 0, 0, kPi / 2 + kPi / z);
  translate2D_(s2.get(), -a, 0);
  egp_params p{.teeth_driving = z, .teeth_driven = z, .gear_definition = 1, .groove = 1,
               .leakage_mode = 2, .identical_gears = 1, .gear_thickness = 0.015,
               .outlet_start_driving = 60 * kPi / 180, .outlet_start_driven = 120 * kPi / 180,
               .inlet_end_driving = 300 * kPi / 180, .inlet_end_driven = 240 * kPi / 180,
               .drainage_radius = 0.005};
  double store[16];
  egp_build_args args{.mode = 0, .store = store, .driving = registered(std::move(s1)),
                      .driven = registered(std::move(s2)), .outlet = registered(port(a, ra, 1)),
                      .inlet = registered(port(a, ra, -1)), .ppd = ppd, .c1 = z / 2,
                      .c2 = z / 2};
  int rc = 0;
  for (auto _ : state) {
    auto inst = egp_instance_create(z, z);
    args.inst = inst.get();
    rc |= egp_internal_build(*inst->pump_data, p, args);
    state.PauseTiming();
    for (auto &slot : inst->slot)
      for (int id : slot)
        if (id >= 0) splfree_(&id);
    state.ResumeTiming();
  }
  if (rc != 0) state.SkipWithError("build failed");
  state.counters["cut"] = benchmark::Counter(static_cast<double>(360 * ppd + 1),
                                             benchmark::Counter::kIsIterationInvariantRate |
                                                 benchmark::Counter::kInvert);
  KivReleaseSystem(sys);
}
BENCHMARK(BM_GearPumpBuild)->Arg(4)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
