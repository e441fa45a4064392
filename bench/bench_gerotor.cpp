// Gerotor tables over a turn as a submodel builds them at set-up: 720
// chamber volumes (two removals per angle) and 720 port openings (three).
#include <benchmark/benchmark.h>

#include <vector>

#include "geometry/kiv_gerotor.h"
#include "geometry/kiv_shapeid.h"
#include "runtime/kiv_runtime.h"

namespace {

constexpr int z = 7, n = 720;
constexpr double a = 20, rc = 6, e = 2, Ro = 18.5, X = 1, b = 10;

std::vector<double> turn() {
  std::vector<double> t(n);
  for (int k = 0; k < n; ++k) t[k] = k * 6.283185307179586 / (n - 1);
  return t;
}

void BM_GerotorVolumeTable(benchmark::State &state) {
  const std::vector<double> angles = turn();
  std::vector<double> v(n);
  for (auto _ : state) {
    gp_volume_(angles.data(), v.data(), &n, &z, &a, &rc, &Ro, &e, &X, &b);
    benchmark::DoNotOptimize(v.data());
  }
}
BENCHMARK(BM_GerotorVolumeTable)->Unit(benchmark::kMillisecond);

void BM_GerotorPortTable(benchmark::State &state) {
  KIVSystem *sys = KivCreateSystem();
  KivMakeCurrent(sys);
  const double r1 = 0.7 * (a - rc), r2 = 1.05 * Ro, xi = -e, o = 0, lo = -1.5, hi = 1.5;
  const int mode = 1, port = create_analyticport_id_(&r1, &r2, &xi, &o, &o, &o, &lo, &hi, &mode);
  const std::vector<double> angles = turn();
  std::vector<double> area(n), perim(n);
  for (auto _ : state) {
    gp_port_(&port, angles.data(), area.data(), perim.data(), &n, &z, &a, &rc, &Ro, &e, &X);
    benchmark::DoNotOptimize(area.data());
  }
  delete_shape_id_(&port);
  KivReleaseSystem(sys);
}
BENCHMARK(BM_GerotorPortTable)->Unit(benchmark::kMillisecond);

}  // namespace
