// Spline creation from arbitrary tables (bad codes, sizes, NaN, ties,
// decreasing axes) and evaluation at arbitrary points in every mode and
// discontinuity state: nothing may crash, read out of bounds or leak.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "runtime/kiv_runtime.h"
#include "tables/kiv_interp.h"
#include "tables/kiv_splinend.h"
#include "fuzz/fuzz_support.hpp"

namespace {

using Reader = kiv::fuzz::Bytes;

int Run(Reader &r) {
  const int kind = r.byte() % 3, method = r.byte() % 6, dim = r.byte() % 10;
  const int d = dim < 1 ? 1 : dim;
  std::vector<int> sizes(static_cast<size_t>(d)), codes(2 * static_cast<size_t>(d)),
      ext(2 * static_cast<size_t>(d));
  for (auto &s : sizes) s = r.byte() % (d >= 4 ? 4 : 7);
  for (auto &c : codes) c = r.byte() % 6;
  for (auto &e : ext) e = r.byte() % 4;
  const int disc = r.byte() % 2;
  std::vector<std::vector<double>> axes(static_cast<size_t>(d));
  std::vector<double *> ptr;
  size_t total = 1;
  for (int k = 0; k < d; ++k) {
    const int n = sizes[static_cast<size_t>(k)];
    double v = r.number();
    for (int i = 0; i < n; ++i) {
      axes[static_cast<size_t>(k)].push_back(v);
      const int step = r.byte();
      v += step % 8 == 0 ? 0.0 : step % 8 == 1 ? -1.0 : (step % 13 + 1) / 4.0;
    }
    axes[static_cast<size_t>(k)].push_back(0.0);  // never empty
    ptr.push_back(axes[static_cast<size_t>(k)].data());
    total *= static_cast<size_t>(n > 0 ? n : 1);
  }
  std::vector<double> values(total);
  for (auto &v : values) v = r.byte() % 7 == 0 ? r.number() : r.byte() / 16.0;
  std::vector<double> slopes(2 * static_cast<size_t>(d), 0.5);
  int id;
  if (kind == 0)
    id = lsplinitnd_(&dim, sizes.data(), ptr.data(), values.data(), codes.data(), &disc);
  else if (kind == 1)
    id = csplinitnd_(&dim, sizes.data(), ptr.data(), values.data(), codes.data(), &disc);
  else
    id = kivsplinitnd_(&method, &dim, sizes.data(), ptr.data(), values.data(), codes.data(),
                       slopes.data(), ext.data(), &disc);
  if (id < 0) return 0;
  double x[8], out[36];
  const int axis = r.byte() % 3 - 1, on = 1;
  splxtime_(&id, &axis, &on);
  while (r.n > 0) {
    KivBeginEvaluation(r.byte() % 3);
    for (int k = 0; k < d; ++k) x[k] = r.number();
    const int dir = r.byte() % 10, dirs[2] = {r.byte() % 10, r.byte() % 10};
    spleval_(&id, x, out);
    splevald_(&id, &dir, x, out);
    splevald2_(&id, dirs, x, out);
    splevalalld_(&id, x, out);
    splevalalld2_(&id, x, out);
    splevali_(&id, x, out);
    splextrapol_(&id, x);
    if (r.byte() % 5 == 0) {
      int perm[8], idx[8];
      for (int k = 0; k < d; ++k) perm[k] = r.byte() % d, idx[k] = r.byte() % 8 - 1;
      splreorder_(&id, perm);
      splsetpt_(&id, idx, &x[0]);
    }
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  KIVSystem *sys = kiv::fuzz::quietSystem();
  Reader r{data, size};
  KivGuardedCall(sys, [](void *p) { return Run(*static_cast<Reader *>(p)); }, &r);
  KivReleaseSystem(sys);  // ends the run: every spline is freed
  return 0;
}
