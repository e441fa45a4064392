// The reader of the response-surface file with titled inputs, and the
// evaluations of what it accepts, on a file written from the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.hpp"
#include "tables/kiv_interpret.h"

namespace {

const std::string &path() {
  static const std::string p = kiv::fuzz::scratchPath("tables_rsmtitled", ".txt");
  return p;
}

int exercise(int mode, int disc) {
  int id = kivRsmInit_(path().c_str(), mode, disc);
  if (id < 0) return 0;
  const int n = kivRsmGetNumInputs_(&id), m = kivRsmGetNumOutputs_(&id);
  if (n < 1 || m < 1) std::abort();
  std::vector<double> x(static_cast<size_t>(n)), y(static_cast<size_t>(m));
  for (int i = 0; i < n; ++i) x[static_cast<size_t>(i)] = 0.5 * (i % 5) - 1.0;
  if (!kivRsmEval_(&id, x.data(), y.data())) std::abort();
  std::vector<int> axes{1, n, 1};
  for (int count = 0; count <= 3; ++count)
    if (!kivRsmEvalDeriv_(&id, axes.data(), &count, x.data(), y.data())) std::abort();
  if (kivRsmFree_(&id) != 1) std::abort();
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  const int mode = data[0] % 3, disc = (data[0] >> 2) & 1;
  return kiv::fuzz::onScratchFile(path(), data + 1, size - 1, [&] { return exercise(mode, disc); });
}
