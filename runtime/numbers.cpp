#include "runtime/numbers.hpp"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "runtime/ascii.hpp"

namespace kiv {

namespace {

using ascii::isDigit;
using ascii::isSpace;

bool matchWord(const char *s, const char *last, const char *word) {
  for (; *word; ++s, ++word)
    if (s == last || ascii::lower(*s) != *word) return false;
  return true;
}

// Whether the decimal number [p, end) is at least 1 in magnitude: out of
// range, that tells overflow from underflow.  The exponent's sign alone does
// not ("0.000...1" with 400 zeros has none).
bool beyondOne(const char *p, const char *end) {
  long long lead = 0;  // decimal exponent of the first non-zero digit, without the "e" part
  bool point = false, seen = false;
  for (; p < end && *p != 'e' && *p != 'E'; ++p) {
    if (*p == '.') {
      point = true;
    } else if (!seen && *p == '0') {
      if (point) --lead;
    } else if (!seen) {
      seen = true;
      if (point) --lead;
    } else if (!point && lead < 100000) {
      ++lead;
    }
  }
  long long exponent = 0;
  if (p < end) {
    ++p;
    const bool minus = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+')) ++p;
    for (; p < end && *p >= '0' && *p <= '9'; ++p)
      if (exponent < 100000000) exponent = exponent * 10 + (*p - '0');
    if (minus) exponent = -exponent;
  }
  return seen && lead + exponent >= 0;
}

}  // namespace

double parseDouble(const char *s, const char **end, bool *overflow) {
  if (!s) {
    if (overflow) *overflow = false;
    if (end) *end = s;
    return 0.0;
  }
  // Only the run of characters a number can be made of is handed on, so
  // that reading many numbers from one long line stays linear.
  const char *last = s;
  while (*last && (isSpace(static_cast<unsigned char>(*last)) || *last == '+' || *last == '-')) ++last;
  while (*last && !isSpace(static_cast<unsigned char>(*last))) ++last;
  return parseDouble(s, last, end, overflow);
}

double parseDouble(const char *s, const char *last, const char **end, bool *overflow) {
  if (overflow) *overflow = false;
  if (end) *end = s;
  if (!s || !last || last <= s) return 0.0;
  const char *p = s;
  while (p < last && isSpace(static_cast<unsigned char>(*p))) ++p;
  bool neg = false;
  if (p < last && (*p == '+' || *p == '-')) {
    neg = (*p == '-');
    ++p;
  }
  // from_chars takes no '+', and reads "inf"/"nan" itself; a second sign is
  // not a number.
  if (p == last || *p == '+' || *p == '-') return 0.0;
  if (matchWord(p, last, "inf") || matchWord(p, last, "nan")) {
    const bool inf = matchWord(p, last, "inf");
    size_t len = 3;
    if (inf && matchWord(p, last, "infinity")) len = 8;
    if (end) *end = p + len;
    double v = inf ? std::numeric_limits<double>::infinity() : std::numeric_limits<double>::quiet_NaN();
    return neg ? -v : v;
  }
  double v = 0.0;
  auto r = std::from_chars(p, last, v, std::chars_format::general);
  if (r.ec == std::errc::invalid_argument) return 0.0;
  if (r.ec == std::errc::result_out_of_range) {
    const bool under = !beyondOne(p, r.ptr);
    v = under ? 0.0 : HUGE_VAL;
    if (!under && overflow) *overflow = true;
  }
  if (end) *end = r.ptr;
  return neg ? -v : v;
}

bool scanDouble(FILE *fp, double *value, std::string *outOfRange) {
  if (outOfRange) outOfRange->clear();
  int c;
  do c = std::getc(fp);
  while (c != EOF && isSpace(c));
  if (c == EOF) return false;
  // Gather the characters a real can be made of, then parse the longest
  // valid prefix; a character that cannot continue the number is pushed back.
  std::string tok;
  auto accept = [&](int ch) {
    if (isDigit(ch) || ch == '.' || ch == '+' || ch == '-' || ch == 'e' || ch == 'E') return true;
    if (ascii::isAlpha(ch) && tok.size() < 8) return true;  // inf, infinity, nan
    return false;
  };
  while (c != EOF && accept(c) && tok.size() < 400) {
    tok.push_back(static_cast<char>(c));
    c = std::getc(fp);
  }
  if (c != EOF) std::ungetc(c, fp);
  const char *end = nullptr;
  bool over = false;
  double v = parseDouble(tok.c_str(), &end, &over);
  if (end == tok.c_str()) return false;
  if (over) {
    if (outOfRange) outOfRange->assign(tok.c_str(), end);
    return false;
  }
  *value = v;
  return true;
}

bool parseInt(const char *s, const char **end, int *value) {
  if (end) *end = s;
  if (!s) return false;
  const char *p = s;
  while (isSpace(*p)) ++p;
  const bool neg = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  if (!isDigit(*p)) return false;
  // Past ten digits the value is out of range whatever follows; every digit
  // is still consumed, as a number is read whole.
  long long v = 0;
  for (; isDigit(*p); ++p)
    if (v < 10000000000LL) v = v * 10 + (*p - '0');
  if (neg) v = -v;
  if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return false;
  if (end) *end = p;
  *value = static_cast<int>(v);
  return true;
}

int clampToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

bool scanInt(FILE *fp, int *value) {
  int c;
  do c = std::getc(fp);
  while (c != EOF && isSpace(c));
  if (c == EOF) return false;
  std::string tok;
  if (c == '+' || c == '-') {
    tok.push_back(static_cast<char>(c));
    c = std::getc(fp);
  }
  while (c != EOF && isDigit(c) && tok.size() < 64) {
    tok.push_back(static_cast<char>(c));
    c = std::getc(fp);
  }
  if (c != EOF) std::ungetc(c, fp);
  const char *b = tok.c_str();
  if (*b == '+') ++b;
  int v = 0;
  auto r = std::from_chars(b, tok.c_str() + tok.size(), v);
  if (r.ec != std::errc() || r.ptr == b) return false;
  *value = v;
  return true;
}

size_t formatReal(char *buf, size_t size, double v, std::chars_format form, int precision, int width) {
  if (!buf || size == 0) return 0;
  buf[0] = '\0';
  const auto r = std::to_chars(buf, buf + size - 1, v, form, precision);
  if (r.ec != std::errc()) return 0;
  size_t len = static_cast<size_t>(r.ptr - buf);
  const size_t w = width > 0 ? static_cast<size_t>(width) : 0;
  if (len < w) {
    if (w >= size) {
      buf[0] = '\0';
      return 0;
    }
    std::memmove(buf + (w - len), buf, len);
    std::memset(buf, ' ', w - len);
    len = w;
  }
  buf[len] = '\0';
  return len;
}

}  // namespace kiv
