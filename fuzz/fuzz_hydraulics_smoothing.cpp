// The smoothing filter on arbitrary curves, counts, windows and spline
// codes, among them an output count whose sample grid passes the int range:
// a refusal must leave the caller's arrays whole, a success must hand back
// arrays of the output count.
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "hydraulics/kiv_hydlaws.h"
#include "runtime/kiv_runtime.h"
#include "fuzz/fuzz_support.hpp"

namespace {

using kiv::fuzz::Bytes;

volatile double sink = 0.0;

// The caller's arrays, freed however the call ends.
struct Curve {
  double *x = nullptr, *y = nullptr;
  ~Curve() {
    std::free(x);
    std::free(y);
  }
};

int run(Bytes &r) {
  int linear = r.byte() % 2, method = r.byte() % 6, n = r.byte() % 40;
  int m = r.byte() == 255 ? INT_MAX : r.byte() % 80;
  int codes[2] = {r.byte() % 5, r.byte() % 5};
  int disc = r.byte() % 2, window = r.byte() % 30;
  const int held = n > 0 ? n : 1;
  Curve c;
  c.x = static_cast<double *>(std::malloc(sizeof(double) * static_cast<size_t>(held)));
  c.y = static_cast<double *>(std::malloc(sizeof(double) * static_cast<size_t>(held)));
  double *&x = c.x, *&y = c.y;
  double v = r.number();
  for (int i = 0; i < held; ++i) {
    x[i] = v;
    const int step = r.byte();
    v += step % 8 == 0 ? 0.0 : step % 8 == 1 ? -1.0 : (step % 13 + 1) / 4.0;
    y[i] = r.number();
  }
  if (savitzkygolay_filter_(&linear, &method, &n, &m, codes, &disc, &window, &x, &y) == 0) {
    // The handed-back arrays hold m entries each.
    for (int j = 0; j < m; ++j) sink = x[j] + y[j];
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return kiv::fuzz::runOnBytes(data, size, 1024, run);
}
