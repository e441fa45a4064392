// Character classes and case folds of names, keywords and numbers.  They
// are ASCII whatever the process locale: a host's setlocale must neither
// fold 'I' to a dotless i nor make a Latin-1 letter part of a number.
#pragma once

namespace kiv::ascii {

// Each takes a char or an unsigned char (EOF included) and is false for
// every byte outside ASCII.
constexpr bool isSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
constexpr bool isDigit(int c) { return c >= '0' && c <= '9'; }
constexpr bool isUpper(int c) { return c >= 'A' && c <= 'Z'; }
constexpr bool isAlpha(int c) { return isUpper(c) || (c >= 'a' && c <= 'z'); }
constexpr bool isAlnum(int c) { return isAlpha(c) || isDigit(c); }

constexpr char lower(char c) { return isUpper(c) ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace kiv::ascii
