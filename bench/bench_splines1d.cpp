// 1-D linear and cubic spline evaluation on a 1000-knot table of uneven
// steps, at slowly moving (sequential) and at random abscissas, inside and
// just beyond the table.  One iteration = one evaluation.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "runtime/kiv_runtime.h"
#include "tables/kiv_splines.h"

namespace {

void ensureSystem() {
  static KIVSystem *sys = [] {
    KIVSystem *s = KivCreateSystem();
    KivMakeCurrent(s);
    KivSetFirstCall(0);
    return s;
  }();
  KivMakeCurrent(sys);
}

constexpr int kKnots = 1000;

struct Table {
  std::vector<double> x, y;
  Table() {
    double a = 0.0;
    for (int k = 0; k < kKnots; ++k) {
      x.push_back(a);
      y.push_back(std::sin(0.01 * a) + 0.1 * std::cos(0.3 * k));  // no dropped points
      a += 1.0 + 0.5 * std::sin(0.7 * k);
    }
  }
  double last() const { return x.back(); }
};

const Table &table() {
  static const Table t;
  return t;
}

int linearSpline() {
  ensureSystem();
  static const int id = [] {
    const Table &t = table();
    const int n = kKnots, left = 1, right = 2;
    return lsplinit_(&n, t.x.data(), t.y.data(), &left, &right);
  }();
  return id;
}

int cubicSpline() {
  ensureSystem();
  static const int id = [] {
    const Table &t = table();
    const int n = kKnots, natural = 1, line = 1, cubic = 2;
    const double zero = 0.0;
    return splinit_(&n, t.x.data(), t.y.data(), &natural, &zero, &natural, &zero, &line, &cubic);
  }();
  return id;
}

// Random abscissas over the table and 2 % beyond each end.
const std::vector<double> &randomAbscissas() {
  static const std::vector<double> xs = [] {
    std::mt19937 rng(11);
    const double span = table().last();
    std::uniform_real_distribution<double> u(-0.02 * span, 1.02 * span);
    std::vector<double> v(4096);
    for (double &a : v) a = u(rng);
    return v;
  }();
  return xs;
}

template <class Eval>
void sequential(benchmark::State &state, Eval eval) {
  const double span = table().last();
  double x = 0.0, v = 0.0;
  for (auto _ : state) {
    x += 0.13;  // a fraction of an interval per step
    if (x > span) x = 0.0;
    v = eval(x);
    benchmark::DoNotOptimize(v);
  }
  state.SetItemsProcessed(state.iterations());
}

template <class Eval>
void random(benchmark::State &state, Eval eval) {
  const std::vector<double> &xs = randomAbscissas();
  size_t i = 0;
  double v = 0.0;
  for (auto _ : state) {
    v = eval(xs[i++ & 4095]);
    benchmark::DoNotOptimize(v);
  }
  state.SetItemsProcessed(state.iterations());
}

const int kDisc = 1;

void BM_Linear_Value_Sequential(benchmark::State &state) {
  const int id = linearSpline();
  sequential(state, [&](double x) { return getlspl_(&id, &x, &kDisc); });
}
BENCHMARK(BM_Linear_Value_Sequential);

void BM_Linear_Value_Random(benchmark::State &state) {
  const int id = linearSpline();
  random(state, [&](double x) { return getlspl_(&id, &x, &kDisc); });
}
BENCHMARK(BM_Linear_Value_Random);

void BM_Linear_Integral_Sequential(benchmark::State &state) {
  const int id = linearSpline();
  sequential(state, [&](double x) { return getlspi_(&id, &x, &kDisc); });
}
BENCHMARK(BM_Linear_Integral_Sequential);

void BM_Linear_Integral_Random(benchmark::State &state) {
  const int id = linearSpline();
  random(state, [&](double x) { return getlspi_(&id, &x, &kDisc); });
}
BENCHMARK(BM_Linear_Integral_Random);

void BM_Cubic_Value_Sequential(benchmark::State &state) {
  const int id = cubicSpline();
  sequential(state, [&](double x) { return getspl_(&id, &x); });
}
BENCHMARK(BM_Cubic_Value_Sequential);

void BM_Cubic_Value_Random(benchmark::State &state) {
  const int id = cubicSpline();
  random(state, [&](double x) { return getspl_(&id, &x); });
}
BENCHMARK(BM_Cubic_Value_Random);

void BM_Cubic_Slope_Random(benchmark::State &state) {
  const int id = cubicSpline();
  random(state, [&](double x) { return getspd_(&id, &x); });
}
BENCHMARK(BM_Cubic_Slope_Random);

void BM_Linear_Create1000(benchmark::State &state) {
  ensureSystem();
  const Table &t = table();
  const int n = kKnots, left = 1, right = 2;
  for (auto _ : state) {
    int id = lsplinit_(&n, t.x.data(), t.y.data(), &left, &right);
    benchmark::DoNotOptimize(id);
    freelsp_(&id);
  }
}
BENCHMARK(BM_Linear_Create1000);

}  // namespace
