// Table readers on one long line: an XY file whose single row holds n
// numbers.  The time per number must not grow with n (the readers are
// linear in the length of a line).  One iteration = one read of the file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_support.hpp"
#include "runtime/kiv_runtime.h"
#include "tables/kiv_tablefiles.h"

namespace {

void oneLongLine(benchmark::State &state) {
  KIVSystem *sys = KivCreateSystem();
  KivMakeCurrent(sys);
  KivInstallPrintHook(sys, [](FILE *, const char *, void *) {}, nullptr);
  int off = 0;
  rtableStoreToCache_(&off);
  const long n = state.range(0);
  const std::string path = kiv::bench::scratchFolder() + "/line.xy";
  {
    FILE *fp = std::fopen(path.c_str(), "w");
    for (long i = 0; i < n; ++i) std::fprintf(fp, "%ld.25 ", i);
    std::fputc('\n', fp);
    std::fclose(fp);
  }
  for (auto _ : state) {
    int rows = 0, cols = 0;
    double *data = nullptr;
    benchmark::DoNotOptimize(rtablexy_(path.c_str(), &rows, &cols, &data, nullptr, nullptr));
    std::free(data);
  }
  state.SetItemsProcessed(state.iterations() * n);
  std::remove(path.c_str());
  KivReleaseSystem(sys);
}
BENCHMARK(oneLongLine)->Arg(10000)->Arg(160000)->Unit(benchmark::kMillisecond);

}  // namespace
