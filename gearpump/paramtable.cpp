// Range messages of table-declared parameters.
#include "gearpump/paramtable.hpp"

#include <cstdio>

#include "runtime/kiv_runtime.h"

namespace kiv::param {

int check_real_range(const char *name, Range range, double value) {
  // Written so that a NaN fails too.
  if (range == Range::above_zero && !(value > 0)) {
    kivfprintf(stderr, "\nThe %s must be strictly positive.\n", name);
    return 2;
  }
  if (range == Range::from_zero && !(value >= 0)) {
    kivfprintf(stderr, "\nThe %s must be positive.\n", name);
    return 2;
  }
  return 0;
}

int check_int_range(const char *title, int lo, int hi, int value) {
  if (value >= lo && value <= hi) return 0;
  kivfprintf(stderr, "\n%s must be in range [%d..%d].\n", title, lo, hi);
  return 2;
}

}  // namespace kiv::param
