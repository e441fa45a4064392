// Boolean operations on two meshing 12-tooth gear-like outlines of arcs and
// segments, as the gear build cuts them: the driving gear about the origin
// turned by the angle, the driven one about (-a, 0) turned back by it.
#include <benchmark/benchmark.h>

#include "geometry/kiv_geometry.h"
#include "tests/geometry/outlines.hpp"

namespace {

using namespace kiv::geomtest;

constexpr double kCentreDistance = 17.6;  // tips reach 0.4 past the other's root circle

struct Mesh {
  shape *driving, *driven;
  // range(0): angle in tenths of the tooth pitch; range(1): segments per
  // flank.
  explicit Mesh(const benchmark::State &state) {
    const int flank = static_cast<int>(state.range(1));
    const double angle = 2 * kPi / 12 * static_cast<double>(state.range(0)) / 10;
    driving = shapeOf({gearOutline(12, 8.0, 10.0, flank)});
    driven = shapeOf({gearOutline(12, 8.0, 10.0, flank)});
    rotate2D_(driving, 0, 0, angle);
    rotate2D_(driven, 0, 0, -angle + kPi / 12);
    translate2D_(driven, -kCentreDistance, 0);
  }
  ~Mesh() {
    delete_shape_(driving);
    delete_shape_(driven);
  }
};

template <shape *(*Op)(const shape *, const shape *, int *)>
void run(benchmark::State &state) {
  Mesh m(state);
  int status = 0;
  size_t paths = 0;
  for (auto _ : state) {
    shape *r = Op(m.driving, m.driven, &status);
    paths = static_cast<size_t>(r->npaths);
    benchmark::DoNotOptimize(r);
    delete_shape_(r);
  }
  if (status != KIV_BOOL_OK) state.SkipWithError("boolean failed");
  state.counters["nodes"] = size_path_(m.driving->paths[0]) + size_path_(m.driven->paths[0]);
  state.counters["paths"] = static_cast<double>(paths);
}

void BM_BooleanGearIntersection(benchmark::State &state) { run<intersection_shape_status_>(state); }
void BM_BooleanGearUnion(benchmark::State &state) { run<union_shape_status_>(state); }
void BM_BooleanGearRemoval(benchmark::State &state) { run<remove_shape_status_>(state); }

void angles(benchmark::internal::Benchmark *b) {
  for (int flank : {6, 24})
    for (int tenth : {0, 2, 4, 6, 8}) b->Args({tenth, flank});
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_BooleanGearIntersection)->Apply(angles);
BENCHMARK(BM_BooleanGearUnion)->Apply(angles);
BENCHMARK(BM_BooleanGearRemoval)->Apply(angles);

}  // namespace
