// A number at a place in a line of a table or response-surface file, told
// apart from text and from a number that was cut short.
#pragma once

#include <cctype>

#include "runtime/numbers.hpp"

namespace kiv::tables {

enum class NumberKind {
  kNone,        // no number starts there
  kNumber,      // a number, *end past it
  kIncomplete,  // a mantissa whose exponent has no digits: "1e", "2E+"
};

// Reads the number that starts at s (after blanks), never at or past last.
// "inf" or "nan" glued to further letters is a word, not a number.
inline NumberKind numberIn(const char *s, const char *last, double &v, const char **end) {
  const char *e = nullptr;
  v = parseDouble(s, last, &e);
  *end = e;
  if (e == s) return NumberKind::kNone;
  if (e < last && std::isalpha(static_cast<unsigned char>(e[-1])) &&
      std::isalnum(static_cast<unsigned char>(*e))) {
    *end = s;
    return NumberKind::kNone;
  }
  if (e < last && (*e == 'e' || *e == 'E')) {
    const char *q = e + 1;
    if (q < last && (*q == '+' || *q == '-')) ++q;
    if (q == last || !std::isdigit(static_cast<unsigned char>(*q))) return NumberKind::kIncomplete;
  }
  return NumberKind::kNumber;
}

}  // namespace kiv::tables
