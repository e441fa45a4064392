// Range messages of table-declared parameters.
#include "gearpump/paramtable.hpp"

#include <cmath>
#include <cstdio>

#include "runtime/kiv_runtime.h"

namespace kiv::param {

int check_finite(const char *name, double value) {
  if (std::isfinite(value)) return 0;
  kivfprintf(stderr, "\nThe %s (%g) must be a finite number.\n", name, value);
  return 2;
}

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

int check_real_limit(const char *name, Limit limit, const char *unit, double size, double value) {
  switch (limit) {
    case Limit::none: return 0;
    case Limit::million:
      if (!(value > 1e6)) return 0;
      kivfprintf(stderr, "\nThe %s must be lower than 1e6%s.\n", name, unit);
      return 2;
    case Limit::million_both_ways:
      if (!(std::fabs(value) > 1e6)) return 0;
      kivfprintf(stderr, "\nThe %s must be in the range [-1e6; 1e6]%s.\n", name, unit);
      return 2;
    case Limit::size:
    case Limit::size_squared: {
      if (!(size > 0)) return 0;  // not known: nothing sound to compare with
      const bool area = limit == Limit::size_squared;
      const double bound = area ? size * size : size;
      if (!(value > bound)) return 0;
      kivfprintf(stderr, "\nThe %s must be lower than %.3f%s.\n", name, bound, unit);
      return 2;
    }
  }
  return 0;
}

int check_int_range(const char *title, int lo, int hi, int value) {
  if (value >= lo && value <= hi) return 0;
  kivfprintf(stderr, "\n%s must be in range [%d..%d].\n", title, lo, hi);
  return 2;
}

}  // namespace kiv::param
