#include <benchmark/benchmark.h>

#include <vector>

#include "solver/kiv_solver.h"

namespace {

void BM_Matsol3(benchmark::State &state) {
  int n = 3;
  for (auto _ : state) {
    double A[] = {4, 1, 0.5, 1, 3, 0.2, 0.5, 0.2, 2}, b[] = {1, 2, 3}, x[3];
    benchmark::DoNotOptimize(matsol_(&n, A, b, x));
    benchmark::DoNotOptimize(x);
  }
}
BENCHMARK(BM_Matsol3);

void BM_PeriodicTridiagonal720(benchmark::State &state) {
  const int n = 720;
  std::vector<double> a(n, 1.0), b(n, 4.0), c(n, 1.0), r(n, 1.0), x(n);
  for (auto _ : state) {
    modthomas(n, a.data(), b.data(), c.data(), r.data(), x.data());
    benchmark::DoNotOptimize(x.data());
  }
}
BENCHMARK(BM_PeriodicTridiagonal720);

}  // namespace
