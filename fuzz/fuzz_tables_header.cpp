// The header parser and the numeric table readers on a file written from
// the input.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/system.hpp"
#include "tables/kiv_tablefiles.h"
#include "fuzz/fuzz_support.hpp"

namespace {


const std::string &path() {
  static const std::string p = kiv::fuzz::scratchPath("tables_header", ".txt");
  return p;
}

template <class... T>
void release(T *...p) {
  (std::free(p), ...);
}

int readAll(const char *name, bool units) {
  const char *wanted[] = {"Pa", "mm", "degC", "bar", nullptr};
  const char *const *u = units ? wanted : nullptr;
  GetTableFormat(name);
  char **tokens = nullptr;
  int ntokens = 0;
  if (kiv_get_table_tokens(name, &tokens, &ntokens)) {
    for (int i = 0; i < ntokens; ++i) std::free(tokens[i]);
    std::free(tokens);
  }

  int n = 0;
  double *v = nullptr, *x = nullptr, *y = nullptr, *z = nullptr, *w = nullptr;
  int *s = nullptr, *s2 = nullptr;
  if (rtablemd_(name, &s, &x, &y, &z, u) >= 0) release(s, x, y, z);
  int parts = 0;
  if (rtablem3d_(name, &parts, &s, &s2, &x, &y, &z, &w, u) >= 0) release(s, s2, x, y, z, w);
  int rows = 0, cols = 0;
  const char *mm[] = {"mm", "mm", nullptr};
  if (rtablexy_(name, &rows, &cols, &v, ";,", units ? mm : nullptr)) {
    if (rows < 0 || cols < 0 || (rows * static_cast<int64_t>(cols) > 0 && !v)) std::abort();
    std::free(v);
  }
  if (rtable0du_(name, &n, &v, u) >= 0) std::free(v);
  for (int asked : {0, 2}) {
    int dim = asked;
    if (rtablend_(name, &dim, &s, &x, &v, u)) {
      if (dim < 1 || !s) std::abort();
      release(s, x, v);
    }
  }
  if (rtable1du_(name, &n, &x, &y, u) >= 0) {
    if (n < 1 || !x || !y) std::abort();
    release(x, y);
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  const kiv::fuzz::Scratch file(path());
  if (!kiv::fuzz::writeFile(path(), data, size)) return 0;

  KIVSystem *sys = kiv::fuzz::quietSystem();
  // The header parser on the bytes themselves.
  std::string copy(reinterpret_cast<const char *>(data), size);
  if (FILE *mem = fmemopen(copy.data(), copy.size(), "r")) {
    TableHeader *h = _prt1();
    kiv::guarded(sys, [&] { return _prt5(mem, h); });
    _prt2(h);
    std::fclose(mem);
  }
  kiv::guarded(sys, [&] { return readAll(path().c_str(), (data[0] & 1) != 0); });
  KivReleaseSystem(sys);
  return 0;
}
