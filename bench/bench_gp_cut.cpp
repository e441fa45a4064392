// One cut of the gear-pump build at a shaft angle in the meshing zone: the
// middle cavity of each of two 12-tooth gears (module 2 mm, about 8,400
// outline points each) closed by the other gear, matched with two
// rectangular ports, and the two meshing regions.  Compare with the
// booleans' own gear benchmarks beside it.
#include <benchmark/benchmark.h>

#include "tests/gearpump/pair.hpp"

namespace {

using namespace kiv::egp;
using namespace kiv::egp::pairtest;

void BM_GearPumpCut(benchmark::State &state) {
  GearPair p(12, 2.0);
  const Transitions tr(p);
  const int c = p.z / 2;
  // Cavity c of the driving gear faces the driven gear here.
  const double theta = kPi - p.g1.pitch / 2 + 0.01 * static_cast<double>(state.range(0));
  const egp_meshing m = tr.at(p, theta);
  egp_pump_data w;
  egp_pump_data_size(w, p.z, p.z);
  for (auto *cv : {&w.drv_area_cav, &w.drv_area_out, &w.drv_area_inl, &w.drn_area_cav,
                   &w.drn_area_out, &w.drn_area_inl})
    (*cv)[static_cast<size_t>(c)].assign(1, 0.0);
  for (auto *cv : {&w.out_area1, &w.out_area2, &w.inl_area1, &w.inl_area2}) cv->assign(1, 0.0);
  ShapePtr outlet = port(p.a, p.ra, 1), inlet = port(p.a, p.ra, -1);
  egp_inout_get_bounds(outlet.get(), w.out_box.data(), w.out_box_flag);
  egp_inout_get_bounds(inlet.get(), w.inl_box.data(), w.inl_box_flag);
  const size_t z = static_cast<size_t>(p.z);
  std::vector<double> gaps(4 * z);
  const egp_gaps g{&gaps[0], &gaps[z], &gaps[2 * z], &gaps[3 * z]};
  auto pair = p.pair();
  double rec[32];
  int rc = tr.status;
  for (auto _ : state) {
    rc |= egp_build_at_angle_cavs(w, 0, p.z, p.z, c, c, theta, theta, 0, m, pair, g, nullptr,
                                  outlet.get(), inlet.get(), rec);
    rc |= egp_build_at_angle_io(w, p.z, p.z, theta, 0, m, pair, rec + 16);
    benchmark::DoNotOptimize(rec);
  }
  if (rc != 0) state.SkipWithError("cut failed");
  state.counters["meshing"] =
      (m.s1[static_cast<size_t>(c)] >= 0) + (m.s2[static_cast<size_t>(c)] >= 0);
  state.counters["nodes"] = p.g1.n() + p.g2.n();
}
BENCHMARK(BM_GearPumpCut)->DenseRange(0, 20, 5)->Unit(benchmark::kMicrosecond);

}  // namespace
