#include "runtime/numbers.hpp"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace kiv {

namespace {

bool isSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

bool matchWord(const char *s, const char *last, const char *word) {
  for (; *word; ++s, ++word)
    if (s == last || std::tolower(static_cast<unsigned char>(*s)) != *word) return false;
  return true;
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
    // Tell overflow from underflow by the exponent's sign.
    const char *e = p;
    while (e < r.ptr && *e != 'e' && *e != 'E') ++e;
    const bool under = (e < r.ptr && e + 1 < r.ptr && e[1] == '-');
    v = under ? 0.0 : HUGE_VAL;
    if (!under && overflow) *overflow = true;
  }
  if (end) *end = r.ptr;
  return neg ? -v : v;
}

bool scanDouble(FILE *fp, double *value) {
  int c;
  do c = std::getc(fp);
  while (c != EOF && isSpace(c));
  if (c == EOF) return false;
  // Gather the characters a real can be made of, then parse the longest
  // valid prefix; a character that cannot continue the number is pushed back.
  std::string tok;
  auto accept = [&](int ch) {
    if (std::isdigit(ch) || ch == '.' || ch == '+' || ch == '-' || ch == 'e' || ch == 'E') return true;
    if (std::isalpha(ch) && tok.size() < 8) return true;  // inf, infinity, nan
    return false;
  };
  while (c != EOF && accept(c) && tok.size() < 400) {
    tok.push_back(static_cast<char>(c));
    c = std::getc(fp);
  }
  if (c != EOF) std::ungetc(c, fp);
  const char *end = nullptr;
  double v = parseDouble(tok.c_str(), &end);
  if (end == tok.c_str()) return false;
  *value = v;
  return true;
}

bool parseInt(const char *s, const char **end, int *value) {
  if (end) *end = s;
  if (!s) return false;
  char *stop = nullptr;
  errno = 0;
  const long v = std::strtol(s, &stop, 10);
  if (stop == s || errno == ERANGE || v < std::numeric_limits<int>::min() ||
      v > std::numeric_limits<int>::max())
    return false;
  if (end) *end = stop;
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
  while (c != EOF && std::isdigit(c) && tok.size() < 64) {
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

}  // namespace kiv
