// Large text files through the table readers: a 1D table of a few million
// rows, a square 2D table and a line list, written at start into a folder
// of their own.  Besides the time, each row reports the growth of the
// resident set at its peak during a read (peak_MB), what the readers hold
// beyond the data they hand back: the file itself is streamed, so it should
// be about the size of the values, not of the text.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "bench_support.hpp"
#include "runtime/kiv_runtime.h"
#include "tables/kiv_tablefiles.h"

namespace {

// Writes the file once: write(fp) fills it.
template <class Write>
std::string file(const char *name, Write write) {
  const std::string path = kiv::bench::scratchFolder() + "/" + name;
  if (!std::filesystem::exists(path)) {
    FILE *fp = std::fopen(path.c_str(), "w");
    write(fp);
    std::fclose(fp);
  }
  return path;
}

// A field of /proc/self/status in kB.
long statusKb(const char *field) {
  FILE *fp = std::fopen("/proc/self/status", "r");
  char line[256];
  long kb = -1;
  const size_t n = std::strlen(field);
  while (fp && std::fgets(line, sizeof line, fp))
    if (std::strncmp(line, field, n) == 0) kb = std::atol(line + n + 1);
  if (fp) std::fclose(fp);
  return kb;
}

// Peak growth of the resident set over read(), in MB: the high-water mark
// is reset first.
template <class Read>
double peakGrowthMb(Read read) {
  if (FILE *fp = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", fp);
    std::fclose(fp);
  }
  const long before = statusKb("VmRSS:");
  read();
  return (statusKb("VmHWM:") - before) / 1024.0;
}

template <class Read>
void run(benchmark::State &state, const std::string &path, Read read) {
  KIVSystem *sys = KivCreateSystem();
  KivMakeCurrent(sys);
  KivInstallPrintHook(sys, [](FILE *, const char *, void *) {}, nullptr);
  int off = 0;
  rtableStoreToCache_(&off);  // every iteration reads the file
  double peak = 0.0;
  for (auto _ : state) peak = std::max(peak, peakGrowthMb([&] { read(path.c_str()); }));
  state.counters["peak_MB"] = peak;
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(path)));
  KivReleaseSystem(sys);
}

void table1d(benchmark::State &state) {
  const long rows = state.range(0);
  const std::string path = file("one.txt", [rows](FILE *fp) {
    std::fputs("# Table format: 1D\n# a generated table\n", fp);
    for (long i = 0; i < rows; ++i) std::fprintf(fp, "%ld.125 %.6f\n", i, 0.001 * static_cast<double>(i % 100003));
  });
  run(state, path, [](const char *f) {
    int n = 0;
    double *x = nullptr, *y = nullptr;
    benchmark::DoNotOptimize(rtable1d_(f, &n, &x, &y));
    std::free(x);
    std::free(y);
  });
}
BENCHMARK(table1d)->Arg(2600000)->Unit(benchmark::kMillisecond)->Iterations(3);

void table2d(benchmark::State &state) {
  const long side = state.range(0);
  const std::string path = file("two.txt", [side](FILE *fp) {
    std::fprintf(fp, "# Table format: 2D\n%ld %ld\n", side, side);
    for (int axis = 0; axis < 2; ++axis)
      for (long i = 0; i < side; ++i) std::fprintf(fp, "%ld%c", i, i + 1 < side ? ' ' : '\n');
    for (long j = 0; j < side; ++j)
      for (long i = 0; i < side; ++i) std::fprintf(fp, "%.3f%c", 0.5 * static_cast<double>((i * j) % 9973), i + 1 < side ? ' ' : '\n');
  });
  run(state, path, [](const char *f) {
    int nx = 0, ny = 0;
    double *x = nullptr, *y = nullptr, *z = nullptr;
    benchmark::DoNotOptimize(rtable2d_(f, &nx, &ny, &x, &y, &z));
    std::free(x);
    std::free(y);
    std::free(z);
  });
}
BENCHMARK(table2d)->Arg(1700)->Unit(benchmark::kMillisecond)->Iterations(3);

void lineList(benchmark::State &state) {
  const long lines = state.range(0);
  const std::string path = file("lines.txt", [lines](FILE *fp) {
    for (long i = 0; i < lines; ++i) std::fprintf(fp, "  line %ld of the list # %ld\n", i, i % 977);
  });
  run(state, path, [](const char *f) {
    int n = 0, skip = 0;
    char **list = rtableml_(f, &n, &skip);
    for (int i = 0; i < n; ++i) std::free(list[i]);
    std::free(list);
  });
}
BENCHMARK(lineList)->Arg(900000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
