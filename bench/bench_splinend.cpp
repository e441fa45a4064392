// N-D spline evaluation on the roads the gear pump takes: a 720-point cyclic
// cubic spline by shaft angle read at slowly moving, random and tooth-pitch
// spaced angles; 2-D and 3-D cubic splines; creation of the 720-point spline.
// One iteration = one value and one first derivative (two evaluations).
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "runtime/kiv_runtime.h"
#include "tables/kiv_splinend.h"
#include "tables/splinend.hpp"

namespace {

void ensureSystem() {
  static KIVSystem *sys = [] {
    KIVSystem *s = KivCreateSystem();
    KivMakeCurrent(s);
    return s;
  }();
  KivMakeCurrent(sys);
}

struct Table {
  std::vector<std::vector<double>> axes;
  std::vector<double> values;
  std::vector<int> sizes, codes, ext;
  std::vector<double> slopes;
  int create() {
    std::vector<double *> p;
    for (auto &a : axes) p.push_back(a.data());
    const int dim = static_cast<int>(axes.size()), method = 1, disc = 0;
    return kivsplinitnd_(&method, &dim, sizes.data(), p.data(), values.data(), codes.data(),
                         slopes.data(), ext.data(), &disc);
  }
};

Table angleTable(int n) {
  Table t;
  std::vector<double> a(static_cast<size_t>(n) + 1);
  for (int i = 0; i <= n; ++i) a[static_cast<size_t>(i)] = 360.0 * i / n;
  for (double v : a)
    t.values.push_back(std::sin(v * M_PI / 180) + 0.3 * std::cos(12 * v * M_PI / 180));
  t.values.back() = t.values.front();
  t.axes = {a};
  t.sizes = {n + 1};
  t.codes = {3, 3};
  t.ext = {2, 2};
  t.slopes = {0, 0};
  return t;
}

Table gridTable(int dim, int n) {
  Table t;
  for (int k = 0; k < dim; ++k) {
    std::vector<double> a(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) a[static_cast<size_t>(i)] = i / (n - 1.0) * (1 + k);
    t.axes.push_back(a);
    t.sizes.push_back(n);
  }
  size_t total = 1;
  for (int k = 0; k < dim; ++k) total *= static_cast<size_t>(n);
  for (size_t p = 0; p < total; ++p) t.values.push_back(std::sin(0.37 * static_cast<double>(p)));
  t.codes.assign(2 * static_cast<size_t>(dim), 1);
  t.ext.assign(2 * static_cast<size_t>(dim), 2);
  t.slopes.assign(2 * static_cast<size_t>(dim), 0.0);
  return t;
}

int angleSpline() {
  ensureSystem();
  static int id = -1;
  if (id < 0) {
    Table t = angleTable(720);
    id = t.create();
  }
  return id;
}

void BM_Cyclic720_SlowAngles(benchmark::State &state) {
  const int id = angleSpline(), dir = 1;
  double angle = 0.0, v = 0.0, d = 0.0;
  for (auto _ : state) {
    angle += 0.37;  // a fraction of an interval per step, many turns
    spleval_(&id, &angle, &v);
    splevald_(&id, &dir, &angle, &d);
    benchmark::DoNotOptimize(v);
    benchmark::DoNotOptimize(d);
  }
  state.SetItemsProcessed(2 * state.iterations());
}
BENCHMARK(BM_Cyclic720_SlowAngles);

void BM_Cyclic720_RandomAngles(benchmark::State &state) {
  const int id = angleSpline(), dir = 1;
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(-720.0, 1080.0);
  std::vector<double> angles(4096);
  for (auto &a : angles) a = u(rng);
  size_t i = 0;
  double v = 0.0, d = 0.0;
  for (auto _ : state) {
    const double *a = &angles[i++ & 4095];
    spleval_(&id, a, &v);
    splevald_(&id, &dir, a, &d);
    benchmark::DoNotOptimize(v);
    benchmark::DoNotOptimize(d);
  }
  state.SetItemsProcessed(2 * state.iterations());
}
BENCHMARK(BM_Cyclic720_RandomAngles);

// Twelve readers one tooth pitch (30 degrees) apart, sharing the spline's
// own interval memory (arg 0) or each with its own (arg 1).
void BM_Cyclic720_ToothPitchSites(benchmark::State &state) {
  const int id = angleSpline(), dir = 1;
  const bool own = state.range(0) != 0;
  kiv::nd::NDSpline *s = kiv::nd::FindSpline(id);
  kiv::nd::Memory sites[12];
  double angle = 0.0, v = 0.0, d = 0.0;
  int k = 0;
  for (auto _ : state) {
    if (k == 0) angle += 0.37;
    double a = angle + 30.0 * k;
    if (own) {
      v = kiv::nd::SplineEval(*s, &a, kiv::nd::kValue, nullptr, sites[k], nullptr);
      d = kiv::nd::SplineEval(*s, &a, kiv::nd::kFirst, &dir, sites[k], nullptr);
    } else {
      spleval_(&id, &a, &v);
      splevald_(&id, &dir, &a, &d);
    }
    benchmark::DoNotOptimize(v);
    benchmark::DoNotOptimize(d);
    k = k == 11 ? 0 : k + 1;
  }
  state.SetItemsProcessed(2 * state.iterations());
}
BENCHMARK(BM_Cyclic720_ToothPitchSites)->Arg(0)->Arg(1);

void BM_CubicGrid(benchmark::State &state) {
  ensureSystem();
  const int dim = static_cast<int>(state.range(0));
  Table t = gridTable(dim, dim == 2 ? 40 : 15);
  const int id = t.create(), dir = 1;
  std::mt19937 rng(5);
  std::vector<double> pts(4096 * static_cast<size_t>(dim));
  for (size_t i = 0; i < pts.size(); ++i)
    pts[i] = std::uniform_real_distribution<double>(0.0, 1.0 + static_cast<double>(i % dim))(rng);
  size_t i = 0;
  double v = 0.0, d = 0.0;
  for (auto _ : state) {
    const double *x = &pts[(i++ & 4095) * static_cast<size_t>(dim)];
    spleval_(&id, x, &v);
    splevald_(&id, &dir, x, &d);
    benchmark::DoNotOptimize(v);
    benchmark::DoNotOptimize(d);
  }
  state.SetItemsProcessed(2 * state.iterations());
  splfree_(&id);
}
BENCHMARK(BM_CubicGrid)->Arg(2)->Arg(3);

void BM_Create720(benchmark::State &state) {
  ensureSystem();
  Table t = angleTable(720);
  for (auto _ : state) {
    const int id = t.create();
    benchmark::DoNotOptimize(id);
    splfree_(&id);
  }
}
BENCHMARK(BM_Create720);

}  // namespace
