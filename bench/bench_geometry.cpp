// Geometry kernel on a 12-tooth gear-like outline of arcs and segments:
// area, perimeter, point-in-path and the crossing test of two outlines.
#include <benchmark/benchmark.h>

#include <vector>

#include "geometry/kiv_geometry.h"
#include "tests/geometry/outlines.hpp"

namespace {

using namespace kiv::geomtest;

// The outline with range(0) segments per flank, as a one-path shape.
shape *gear(const benchmark::State &state) {
  return shapeOf({gearOutline(12, 8.0, 10.0, static_cast<int>(state.range(0)))});
}

void BM_GeometryArea(benchmark::State &state) {
  shape *g = gear(state);
  for (auto _ : state) benchmark::DoNotOptimize(area2D_(g));
  state.counters["nodes"] = size_path_(g->paths[0]);
  delete_shape_(g);
}
BENCHMARK(BM_GeometryArea)->Arg(6)->Arg(24);

void BM_GeometryPerimeter(benchmark::State &state) {
  shape *g = gear(state);
  for (auto _ : state) benchmark::DoNotOptimize(perimeter2D_(g));
  delete_shape_(g);
}
BENCHMARK(BM_GeometryPerimeter)->Arg(6)->Arg(24);

// Points spread over the outline's box, most of them among the teeth.
void BM_GeometryPointInPath(benchmark::State &state) {
  shape *g = gear(state);
  g->paths[0]->orientation = KIV_ORIENT_CCW;
  std::vector<point> pts;
  for (int i = 0; i < 16; ++i)
    for (int j = 0; j < 16; ++j) pts.push_back(at(-10.5 + 21.0 * (i + 0.3) / 16, -10.5 + 21.0 * (j + 0.7) / 16));
  for (auto _ : state)
    for (const point &p : pts) benchmark::DoNotOptimize(isPointinsidePath(&p, g->paths[0], 1, 1e-12));
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pts.size()));
  delete_shape_(g);
}
BENCHMARK(BM_GeometryPointInPath)->Arg(6)->Arg(24);

// A contour against itself: every pair of edges is tested.
void BM_GeometryCrossingTest(benchmark::State &state) {
  shape *g = gear(state);
  for (auto _ : state) benchmark::DoNotOptimize(check_intersections_paths(g->paths[0], g->paths[0]));
  delete_shape_(g);
}
BENCHMARK(BM_GeometryCrossingTest)->Arg(6)->Unit(benchmark::kMicrosecond);

}  // namespace
