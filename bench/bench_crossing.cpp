// The self-crossing check of large star outlines (long, nearly radial edges
// that overlap in x, as scanned or exported profiles have), clean and with
// the repeated points that exported outlines hold.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "geometry/kiv_geometry.h"
#include "tests/geometry/outlines.hpp"

namespace {

using namespace kiv::geomtest;

// What repeats: nothing; one vertex; or a mix of every 97th vertex, a run of
// three equal points and the closing point stored again.
enum Repeats { kNone, kOne, kMixed };

// range(0) vertices at even angles and random radii, simple by construction.
Path star(const benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  const auto repeats = static_cast<Repeats>(state.range(1));
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> radius(0.6, 1.0);
  Path p(create_path());
  for (int i = 0; i < n; ++i) {
    const double t = 2 * kPi * i / n, r = radius(rng), x = r * std::cos(t), y = r * std::sin(t);
    add_last_xy_(p.get(), x, y);
    const int copies = repeats == kOne ? (i == n / 3) : repeats == kMixed ? (i % 97 == 5) + 2 * (i == n / 2) : 0;
    for (int k = 0; k < copies; ++k) add_last_xy_(p.get(), x, y);
  }
  if (repeats == kMixed) add_last_xy_(p.get(), p->first->x, p->first->y);
  return p;
}

void BM_CrossingStar(benchmark::State &state) {
  const Path p = star(state);
  int code = -1;
  for (auto _ : state) benchmark::DoNotOptimize(code = check_intersections_paths(p.get(), p.get()));
  if (code != 0) state.SkipWithError("a simple outline was found crossing");
  state.counters["nodes"] = size_path_(p.get());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CrossingStar)
    ->ArgsProduct({{100000, 1000000}, {kNone, kOne, kMixed}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
