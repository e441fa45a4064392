// Small helpers for the C texts that cross the flat interface: they are
// malloc'd so that callers release them with free().
#pragma once

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace kiv {

// A new malloc'd copy of s; MemoryError(label) when allocation fails.
char *dupText(std::string_view s, const char *label);

// Search for word in text with ASCII letters matched in either case (the
// same in every locale); npos when absent or word empty.
size_t findNoCase(std::string_view text, std::string_view word);

// A piece of input fit to quote in a message: at most kQuoteLength
// characters, a longer text cut with "...".
inline constexpr size_t kQuoteLength = 80;
std::string quoteCut(std::string_view s);

}  // namespace kiv
