// Locale-independent number parsing and formatting for every reader and
// writer of the library.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdio>
#include <string>

namespace kiv {

// strtod with the "C" decimal point whatever the process locale: skips
// leading white space, accepts a sign, decimal and exponent forms, "inf" and
// "nan". *end (when given) points past the number, or at s when there is
// none. Overflow gives +-HUGE_VAL and sets *overflow (when given).
double parseDouble(const char *s, const char **end, bool *overflow = nullptr);
// The same on the characters [s, last) only; never reads at or past last.
double parseDouble(const char *s, const char *last, const char **end, bool *overflow = nullptr);

// Reads one real from the stream as "%le" does (leading white space skipped,
// the longest numeric prefix consumed); false when there is none, and when
// it lies beyond the range of a double (its text then in *outOfRange).
bool scanDouble(FILE *fp, double *value, std::string *outOfRange = nullptr);

// strtol in base 10 into an int: false when there is no number or it is
// outside the int range. *end (when given) points past the number.
bool parseInt(const char *s, const char **end, int *value);

// v truncated toward zero into an int: clamped to the int range, NaN gives 0
// (never an out-of-range conversion).
int clampToInt(double v);

// Reads one integer as "%d" does; false when there is none or it overflows.
bool scanInt(FILE *fp, int *value);

// Room for any double written by formatReal with up to 17 decimals.
inline constexpr size_t kRealTextSize = 352;

// v as "%<width>.<precision>f" (fixed) or "%<width>.<precision>e"
// (scientific) writes it in the "C" locale, so that files have the same
// bytes in every locale: right-aligned in width columns, NUL-terminated.
// The length, or 0 (and "") when it does not fit in size.
size_t formatReal(char *buf, size_t size, double v, std::chars_format form, int precision, int width);

}  // namespace kiv
