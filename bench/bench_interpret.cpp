// Evaluations behind interpreted text parameters: an order-5 response
// surface of 4 inputs (value and one slope), a titled response surface, a
// 2-D table reached through token pivots, and pressure from density of a
// general fluid (the spline built once, outside the timing).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench_support.hpp"
#include "hydraulics/hydindex.hpp"
#include "tables/kiv_interpret.h"

namespace {

struct System {
  KIVSystem *sys = KivCreateSystem();
  System() {
    KivMakeCurrent(sys);
    KivInstallPrintHook(sys, [](FILE *, const char *, void *) {}, nullptr);
  }
  ~System() { KivReleaseSystem(sys); }
};

std::string file(const char *stem, const std::string &content) {
  const std::string path = kiv::bench::scratchFolder() + "/" + stem + ".txt";
  std::ofstream(path) << content;
  return path;
}

std::vector<std::vector<double>> points(int n, int dim, double lo, double hi) {
  std::mt19937 gen(42);
  std::uniform_real_distribution<double> u(lo, hi);
  std::vector<std::vector<double>> v(static_cast<size_t>(n));
  for (auto &x : v)
    for (int k = 0; k < dim; ++k) x.push_back(u(gen));
  return v;
}

void BM_RsmOrder5Inputs4(benchmark::State &state) {
  System s;
  int type = 5, n = 4, nr = 1;
  const int rows = rsmGetNewInputDim(n, type) + 1;
  std::vector<double> c(static_cast<size_t>(rows));
  std::vector<double *> rowp;
  for (int i = 0; i < rows; ++i) {
    c[static_cast<size_t>(i)] = 1.0 / (1 + i);
    rowp.push_back(&c[static_cast<size_t>(i)]);
  }
  double **block = rowp.data();
  int id = rsminit_(&type, &n, &nr, &block, nullptr, nullptr);
  const auto xs = points(256, 4, -1, 1);
  int all = -1, axis = 2;
  size_t i = 0;
  double y = 0, d = 0;
  for (auto _ : state) {
    auto &x = const_cast<std::vector<double> &>(xs[i++ & 255]);
    rsmeval_(&id, &all, x.data(), &y);
    rsmevald_(&id, &all, &axis, x.data(), &d);
    benchmark::DoNotOptimize(y + d);
  }
}
BENCHMARK(BM_RsmOrder5Inputs4);

void BM_RsmTitled(benchmark::State &state) {
  System s;
  int id = kivRsmInit_(file("titled", "# 3 inputs\n# 1 outputs\n# output1\n# offset\n1 2 3\n# RSM\n"
                                      "1 0 0 1.5\n0 2 1 -0.5\n3 1 0 0.25\n0 0 4 2\n1 1 1 1\n").c_str(),
                       2, 0);
  const auto xs = points(256, 3, -1, 1);
  size_t i = 0;
  double y = 0;
  for (auto _ : state) {
    kivRsmEval_(&id, const_cast<double *>(xs[i++ & 255].data()), &y);
    benchmark::DoNotOptimize(y);
  }
}
BENCHMARK(BM_RsmTitled);

void BM_StrevalPivotedGrid(benchmark::State &state) {
  System s;
  std::string t = "# Table format: 2D\n# axis1_token = b\n# axis2_token = a\n21 11\n";
  for (int i = 0; i <= 20; ++i) t += std::to_string(i * 0.5) + " ";
  t += "\n";
  for (int j = 0; j <= 10; ++j) t += std::to_string(j) + " ";
  t += "\n";
  for (int k = 0; k < 21 * 11; ++k) t += std::to_string((k * 37) % 11) + " ";
  std::string text = file("grid", t + "\n"), a = "a", b = "b";
  char *names[] = {a.data(), b.data()};
  int dim = -1, n = 2, interp = 3, bound[4] = {1, 1, 1, 1}, ext[4] = {1, 1, 1, 1}, disc = 0;
  double slopes[4] = {};
  int id = strinit_(text.data(), &dim, names, &n, &interp, bound, ext, slopes, &disc);
  const auto xs = points(256, 2, 0, 10);
  size_t i = 0;
  double y = 0, d = 0;
  int k = 2;
  for (auto _ : state) {
    double *x = const_cast<double *>(xs[i++ & 255].data());
    streval_(&id, x, &y);
    strevald_(&id, &k, x, &d);
    benchmark::DoNotOptimize(y + d);
  }
  if (id < 0) state.SkipWithError("no table");
}
BENCHMARK(BM_StrevalPivotedGrid);

void BM_PatrhoGeneralFluid(benchmark::State &state) {
  System s;
  kiv::hyd::addGeneral(kiv::bench::oil(1, 850.0, 1e5), "bench");
  int one = 1;
  sethdind_(&one);
  std::vector<double> rhos;
  for (const auto &p : points(256, 1, -9e4, 3e7)) {
    double q = p[0];
    rhos.push_back(rhoatp_(&q));
  }
  patrho_(&rhos[0]);
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(patrho_(&rhos[i++ & 255]));
}
BENCHMARK(BM_PatrhoGeneralFluid);

}  // namespace
