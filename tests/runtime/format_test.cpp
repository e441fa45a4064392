// Numbers written for files: the very bytes printf gives in the "C" locale,
// for every double, with none of the locale's say.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "runtime/numbers.hpp"

namespace {

std::string printed(const char *format, double v) {
  char buf[kiv::kRealTextSize];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

std::string formatted(double v, std::chars_format form, int precision, int width) {
  char buf[kiv::kRealTextSize];
  const size_t n = kiv::formatReal(buf, sizeof buf, v, form, precision, width);
  EXPECT_EQ(n, std::strlen(buf));
  return buf;
}

TEST(FormatReal, WritesWhatPrintfWritesInTheCLocale) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> values = {0.0,     -0.0,     1.0,      -1.0,   0.5,     1e-15,  -2.5e-15, 5e-15,
                                1.0 / 3, 2.0 / 3,  0.125,    1e22,   1e23,    DBL_MAX, -DBL_MAX, DBL_MIN,
                                4.9e-324, 1e100,   123456789.987654321,      inf,    -inf,     nan,
                                -nan,    0.000000000000005, 0.000000000000015, 2.5,  -3.5};
  // Every exponent, and bit patterns drawn at random.
  std::mt19937_64 rng(75);
  for (int e = -330; e <= 308; ++e) values.push_back(1.2345678901234567 * std::pow(10.0, e));
  for (int i = 0; i < 20000; ++i) {
    const uint64_t bits = rng();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    values.push_back(v);
    values.push_back(std::ldexp(static_cast<double>(bits >> 11), -static_cast<int>(bits % 80)));
  }
  for (double v : values) {
    SCOPED_TRACE(printed("%a", v));
    EXPECT_EQ(formatted(v, std::chars_format::fixed, 14, 25), printed("%25.14f", v));
    EXPECT_EQ(formatted(v, std::chars_format::scientific, 16, 25), printed("%25.16e", v));
    EXPECT_EQ(formatted(v, std::chars_format::fixed, 6, 0), printed("%f", v));
  }
}

TEST(FormatReal, ATextThatDoesNotFitIsEmpty) {
  char buf[26];
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(kiv::formatReal(buf, sizeof buf, 1.5, std::chars_format::fixed, 14, 25), 25u);
  EXPECT_STREQ(buf, "         1.50000000000000");
  EXPECT_EQ(kiv::formatReal(buf, 25, 1.5, std::chars_format::fixed, 14, 25), 0u);  // no room for the padding
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(kiv::formatReal(buf, 8, 1.5, std::chars_format::fixed, 14, 0), 0u);  // nor for the digits
  EXPECT_STREQ(buf, "");
}

}  // namespace
