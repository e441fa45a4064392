// A number at a place in a line of a table or response-surface file, told
// apart from text and from a number that was cut short.
#pragma once

#include <cstring>

#include "runtime/ascii.hpp"
#include "runtime/numbers.hpp"

namespace kiv::tables {

enum class NumberKind {
  kNone,        // no number starts there
  kNumber,      // a number, *end past it
  kIncomplete,  // a mantissa whose exponent has no digits: "1e", "2E+"
  kOutOfRange,  // beyond the range of a double ("1e400"), *end past it
};

// Reads the number that starts at s (after blanks), never at or past last.
// "inf" or "nan" glued to further letters is a word, not a number; one that
// rounds to a subnormal or to zero is a number.
inline NumberKind numberIn(const char *s, const char *last, double &v, const char **end) {
  const char *e = nullptr;
  bool over = false;
  v = parseDouble(s, last, &e, &over);
  *end = e;
  if (e == s) return NumberKind::kNone;
  if (e < last && ascii::isAlpha(e[-1]) && ascii::isAlnum(*e)) {
    *end = s;
    return NumberKind::kNone;
  }
  if (e < last && (*e == 'e' || *e == 'E')) {
    const char *q = e + 1;
    if (q < last && (*q == '+' || *q == '-')) ++q;
    if (q == last || !ascii::isDigit(*q)) return NumberKind::kIncomplete;
  }
  return over ? NumberKind::kOutOfRange : NumberKind::kNumber;
}

// What a field of a line begins with.  A number must fill its field:
// "3.0kg", "0,5" or "1.0D+03" would otherwise read as 3.0, 0 and 1.0.
enum class Field {
  kNumber,      // a number ended by a blank, the line's end or one of the stops
  kText,        // no number
  kIncomplete,  // a number cut short: "1e", "2E+"
  kGlued,       // a number with text glued to it
  kOutOfRange,  // a number that fills its field but no double can hold
};

// The field at s (blanks skipped) in [s, last); *end past the number.
inline Field fieldIn(const char *s, const char *last, const char *stops, double &v,
                     const char **end) {
  const NumberKind kind = numberIn(s, last, v, end);
  switch (kind) {
    case NumberKind::kNone: return Field::kText;
    case NumberKind::kIncomplete: return Field::kIncomplete;
    default: break;
  }
  const Field whole = kind == NumberKind::kOutOfRange ? Field::kOutOfRange : Field::kNumber;
  if (*end == last) return whole;
  const char c = **end;
  return c != '\0' && (ascii::isSpace(c) || std::strchr(stops, c)) ? whole : Field::kGlued;
}

}  // namespace kiv::tables
