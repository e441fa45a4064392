// Range messages of table-declared integer parameters.
#include "gearpump/paramtable.hpp"

#include <cstdio>

#include "runtime/kiv_runtime.h"

namespace kiv::param {

int check_int_range(const char *title, int lo, int hi, int value) {
  if (value >= lo && value <= hi) return 0;
  kivfprintf(stderr, "\n%s must be in range [%d..%d].\n", title, lo, hi);
  return 2;
}

}  // namespace kiv::param
