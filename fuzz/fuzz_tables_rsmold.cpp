// The reader of the older response-surface file, and the evaluators of
// what it accepts, on a file written from the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.hpp"
#include "tables/kiv_interpret.h"

namespace {

const std::string &path() {
  static const std::string p = kiv::fuzz::scratchPath("tables_rsmold", ".txt");
  return p;
}

void freeTexts(char **list) {
  if (!list) return;
  for (char **p = list; *p; ++p) std::free(*p);
  std::free(list);
}

int exercise() {
  int n = -7, nr = -7, type = -7;
  char **in = nullptr, **out = nullptr, **un = nullptr, **uv = nullptr;
  double ***coef = nullptr;
  if (!rsmread_(path().c_str(), &n, &nr, &in, &out, &coef, &un, &uv, &type)) {
    if (coef || in || out || un || uv) std::abort();
    return 0;
  }
  if (n < 1 || nr < 1 || type < 0 || !coef || !in || !out) std::abort();
  int id = rsminit_(&type, &n, &nr, coef, in, out);
  rsmfreelist_(&type, &n, &nr, coef);
  for (char **l : {in, out, un, uv}) freeTexts(l);
  if (id < 0) std::abort();
  // A point of moderate size and every evaluator over all responses.
  std::vector<double> x(static_cast<size_t>(n)), y(static_cast<size_t>(nr) * n * (n + 1));
  for (int i = 0; i < n; ++i) x[static_cast<size_t>(i)] = 0.25 * (i % 7) - 0.5;
  int all = -1, a = n, ab[2] = {1, n};
  if (!rsmeval_(&id, &all, x.data(), y.data()) || !rsmevald_(&id, &all, &a, x.data(), y.data()) ||
      !rsmevald2_(&id, &all, ab, x.data(), y.data()) ||
      !rsmevalalld_(&id, &all, x.data(), y.data()) ||
      !rsmevalalld2_(&id, &all, x.data(), y.data()))
    std::abort();
  rsmfree_(&id);
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return kiv::fuzz::onScratchFile(path(), data, size, [] { return exercise(); });
}
