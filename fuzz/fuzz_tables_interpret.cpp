// The text-parameter interpreter on a file written from the input, or on
// the input's first line as an expression: creation with settings drawn
// from the first two bytes, every evaluation of what it accepts (a
// response surface holds one output, so one value is written), freeing.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_support.hpp"
#include "tables/kiv_interpret.h"

namespace {

const std::string &path() {
  static const std::string p = kiv::fuzz::scratchPath("tables_interpret", ".txt");
  return p;
}

int exercise(int a, int b, std::string text) {
  char n1[] = "a", n2[] = "b", n3[] = "c";
  char *names[] = {n1, n2, n3, nullptr};
  char u0[] = "Pa", u1[] = "mm", u2[] = "degC", u3[] = "bar";
  char *units[] = {u0, u1, u2, u3};
  int nnames = 1 + a % 3;
  int dim = (a >> 2) % 5 - 1;  // -1 lets the table decide
  int interp = (a >> 5) % 7;   // 0 is refused, 3.. pick the cubic slopes
  int disc = b & 1;
  int bound[6], ext[6];
  double slopes[6];
  for (int k = 0; k < 6; ++k) {
    bound[k] = 1 + (b >> 1) % 4;
    ext[k] = 1 + ((b >> 3) & 1);
    slopes[k] = k % 2 ? 0.5 : -1.0;
  }
  int id = strinitu_(text.data(), &dim, names, &nnames, &interp, bound, ext, slopes, &disc,
                     (b & 16) ? units : nullptr);
  kivstrtypefromstring_(text.data(), names, &nnames);
  if (id >= 0) {
    const int kind = kivstrtype_(&id);
    if (kind < 0 || kind > 3) std::abort();
    double x[3] = {0.3, -1.25, 2.5}, y[4] = {0, 0, 0, 0};
    streval_(&id, x, y);
    for (int k = 0; k <= nnames + 1; ++k) strevald_(&id, &k, x, y);
    int kl[2] = {1, nnames};
    strevald2_(&id, kl, x, y);
    kivstrfree_(&id);
    kivstrfree_(&id);  // the second time only a message
  }
  // The older entry: one or two variables, out-of-range codes 1..3.
  const int codes = 1 + (b >> 5) % 3;
  const int old = InterpretExpression(text.data(), 1 + (a & 1), names, codes, codes, codes, codes);
  if (old >= 0) ComputeExpression(old, 0.75, -0.5);
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 2) return 0;
  const int a = data[0], b = data[1];
  if (b & 0x80) {
    // An expression: the first line, short.
    kiv::fuzz::Bytes r{data + 2, size - 2};
    const std::string line = r.line(256);
    return kiv::fuzz::onScratchFile(path(), data, 0, [&] { return exercise(a, b, line); });
  }
  return kiv::fuzz::onScratchFile(path(), data + 2, size - 2, [&] { return exercise(a, b, path()); });
}
