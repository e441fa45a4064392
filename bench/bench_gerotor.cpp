// Gerotor tables over a turn as a submodel builds them at set-up: 720
// chamber volumes and 720 port openings, for designs of each construction:
// one whose chambers are cut from the sector between the contact rays, one
// the sector's chords miss by more than they may (closed by its contacts), an
// overhanging ring at a high eccentricity ratio (closed by its contacts), and
// the least eccentricity accepted (0.002 a), whose thin chambers take the
// most samples, with 7 lobes and with 3.
#include <benchmark/benchmark.h>

#include <vector>

#include "geometry/kiv_gerotor.h"
#include "geometry/kiv_shapeid.h"
#include "runtime/kiv_runtime.h"

namespace {

constexpr int n = 720;
constexpr double b = 10;

struct Design {
  int z;
  double a, rc, e, Ro, X;
};
const Design kDesigns[] = {
    {14, 20, 2.7820341818085801, 0.1138691138847867, 19.469023216522945, 0},
    {7, 20, 6, 2, 18.5, 1},
    {13, 20.255345233001634, 1.9102521731733755, 1.4846437298392365, 21.321250789763795, 0},
    {7, 24, 5, 0.048, 24.1, 0},
    {3, 24, 5, 0.048, 22, 0},
};

std::vector<double> turn() {
  std::vector<double> t(n);
  for (int k = 0; k < n; ++k) t[k] = k * 6.283185307179586 / (n - 1);
  return t;
}

void BM_GerotorVolumeTable(benchmark::State &state) {
  const Design &d = kDesigns[state.range(0)];
  const std::vector<double> angles = turn();
  std::vector<double> v(n);
  for (auto _ : state) {
    gp_volume_(angles.data(), v.data(), &n, &d.z, &d.a, &d.rc, &d.Ro, &d.e, &d.X, &b);
    benchmark::DoNotOptimize(v.data());
  }
}
BENCHMARK(BM_GerotorVolumeTable)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

void BM_GerotorPortTable(benchmark::State &state) {
  const Design &d = kDesigns[state.range(0)];
  KIVSystem *sys = KivCreateSystem();
  KivMakeCurrent(sys);
  const double r1 = 0.7 * (d.a - d.rc), r2 = 1.05 * d.Ro, xi = -d.e, o = 0, lo = -1.5, hi = 1.5;
  const int mode = 1, port = create_analyticport_id_(&r1, &r2, &xi, &o, &o, &o, &lo, &hi, &mode);
  const std::vector<double> angles = turn();
  std::vector<double> area(n), perim(n);
  for (auto _ : state) {
    gp_port_(&port, angles.data(), area.data(), perim.data(), &n, &d.z, &d.a, &d.rc, &d.Ro, &d.e, &d.X);
    benchmark::DoNotOptimize(area.data());
  }
  delete_shape_id_(&port);
  KivReleaseSystem(sys);
}
BENCHMARK(BM_GerotorPortTable)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

}  // namespace
