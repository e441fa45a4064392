// Generating a rack-cut gear: 12 teeth, module 2 mm, 20 degrees, at the
// outline's own point density, as a shape and as bare point arrays.
#include <benchmark/benchmark.h>

#include <vector>

#include "gearpump/rack.hpp"

namespace {

using namespace kiv::egp;

constexpr int kZ = 12;
constexpr double kM = 2.0, kAlpha = 20.0 * kPi / 180.0, kR = kZ * kM / 2;

void BM_GearShape(benchmark::State &state) {
  int sharp = 0, nodes = 0;
  for (auto _ : state) {
    ShapePtr g = egp_create_gear(kZ, kM, kAlpha, 1.0, 0.25, 0.38, 0.0, kR + kM, kR - 1.25 * kM,
                                 kZ, 1, sharp);
    nodes = size_path_(g->paths[0]);
    benchmark::DoNotOptimize(g.get());
  }
  state.counters["nodes"] = nodes;
}
BENCHMARK(BM_GearShape)->Unit(benchmark::kMicrosecond);

void BM_GearOutline(benchmark::State &state) {
  const GearVector v = gearVector(kZ, kM, kAlpha, 1.0, 0.25, 0.38, 0.0, kR + kM, kR - 1.25 * kM);
  std::vector<double> x, y;
  int sharp = 0;
  for (auto _ : state) {
    egp_gear_outline(v, kZ, 1, sharp, x, y);
    benchmark::DoNotOptimize(x.data());
  }
}
BENCHMARK(BM_GearOutline)->Unit(benchmark::kMicrosecond);

}  // namespace
