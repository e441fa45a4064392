// Vane pump: one chamber's contact, volume and rate per evaluation, and the
// chamber volumes by angle cut from shapes at set-up.
#include <benchmark/benchmark.h>

#include <cmath>
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

// One chamber's per-step work on a submodel's road: volume and rates,
// opening onto the port with its notch, and the forces.
void BM_VaneChamberStep(benchmark::State &state) {
  const double R = 0.03, r = 0.025, rt = 0.002, w = 0.003, L = 0.02, e = 0.003, omega = 150, edot = 0.01, n = 10;
  const double Rn = 0.027, delta = 0, a = 0.004, b = 0.002, c = 0.001, p = 5e6, rho = 850;
  double ps = 1.0, pe = 2.5, m1 = 0, m2 = 0, theta1 = 0;
  int mode = 0, in2 = 0, in1 = 0, nstate = 0;
  for (auto _ : state) {
    const double theta2 = theta1 + 0.628, beta1 = std::asin(e * std::sin(theta1) / (R - rt));
    double V, dV, dVde, ring, dVdt, s1, s2, area, dh, perim, f[9], g[2];
    vp_dev_trans_VdV_(&theta1, &theta2, &e, &beta1, &omega, &edot, &w, &rt, &R, &r, &L, &V, &dV, &dVde, &ring, &dVdt,
                      &s1, &s2);
    vp_dev_port_area_(&theta1, &theta2, &e, &beta1, &w, &rt, &R, &r, &n, &ps, &pe, &Rn, &delta, &a, &b, &c, &area, &dh,
                      &perim, &mode, &in2, &in1, &nstate, &m1, &m2);
    vp_stator_forces_(&e, &delta, &R, &r, &L, &V, &s1, &s2, nullptr, nullptr, &theta1, &theta2, &p, &rho, &omega, f,
                      f + 1, f + 2, f + 3, f + 4, f + 5, f + 6, f + 7, f + 8, g, g + 1);
    benchmark::DoNotOptimize(area);
    benchmark::DoNotOptimize(f[6]);
    theta1 = theta1 > 6 ? 0 : theta1 + 0.01;
  }
}
BENCHMARK(BM_VaneChamberStep);

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
