// Vane pump: one chamber's contact, volume and rate per evaluation, and the
// chamber volumes by angle cut from shapes at set-up.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "geometry/kiv_pumpgeom.h"

namespace {

void BM_VaneChamberRate(benchmark::State &state) {
  const double R = 0.03, r = 0.025, rt = 0.002, w = 0.003, L = 0.02, e = 0.003, zero = 0, omega = 150, edot = 0.01;
  double theta1 = 0;
  for (auto _ : state) {
    const double theta2 = theta1 + 0.7;
    double b1, b2, h1, h2, s1, s2, p1, p2, V, dV;
    vp_singlevane_geom_(&theta1, &e, &zero, &w, &rt, &R, &r, &b1, &h1, &s1, &p1);
    vp_singlevane_geom_(&theta2, &e, &zero, &w, &rt, &R, &r, &b2, &h2, &s2, &p2);
    vp_sliding_VdV_(&theta1, &theta2, &e, &w, &rt, &R, &r, &L, &b1, &b2, &h1, &h2, &s1, &s2, &p1, &p2, &omega,
                    &edot, &V, &dV);
    benchmark::DoNotOptimize(dV);
    theta1 = theta1 > 6 ? 0 : theta1 + 0.01;
  }
}
BENCHMARK(BM_VaneChamberRate);

// range(0) angles over one revolution, millimetres.
void BM_VaneVolumeFromShapes(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<double> angles(n);
  for (int i = 0; i < n; ++i) angles[i] = 6.283185307179586 * i / (n - 1);
  const double R = 30, r = 25, rt = 2, w = 3, L = 20, V0 = 0, lead = 0, trail = 0.7;
  for (auto _ : state) {
    double ex = 3, ey = 0, *table = nullptr;
    vp_volume_(angles.data(), &table, &n, &lead, &trail, &w, &rt, &ex, &ey, &R, &r, &L, &V0);
    std::free(table);
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_VaneVolumeFromShapes)->Arg(37)->Unit(benchmark::kMillisecond);

}  // namespace
