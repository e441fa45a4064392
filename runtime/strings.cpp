// String helpers of the flat interface.
#include <algorithm>
#include <cmath>
#include <string>

#include "runtime/ascii.hpp"
#include "runtime/cstring.hpp"
#include "runtime/system.hpp"

namespace kiv {

char *dupText(std::string_view s, const char *label) {
  char *p = static_cast<char *>(std::malloc(s.size() + 1));
  if (!p) MemoryError(label);
  std::memcpy(p, s.data(), s.size());
  p[s.size()] = '\0';
  return p;
}

size_t findNoCase(std::string_view text, std::string_view word) {
  if (word.empty() || word.size() > text.size()) return std::string_view::npos;
  auto eq = [](char a, char b) { return ascii::lower(a) == ascii::lower(b); };
  auto it = std::search(text.begin(), text.end(), word.begin(), word.end(), eq);
  return it == text.end() ? std::string_view::npos : static_cast<size_t>(it - text.begin());
}

std::string quoteCut(std::string_view s) {
  if (s.size() <= kQuoteLength) return std::string(s);
  return std::string(s.substr(0, kQuoteLength - 3)) + "...";
}

}  // namespace kiv

namespace {

char *copyInto(std::string_view s, char *buffer, size_t size) {
  if (!buffer || size == 0) return buffer;
  size_t n = std::min(s.size(), size - 1);
  std::memcpy(buffer, s.data(), n);
  buffer[n] = '\0';
  return buffer;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

extern "C" {

int ContainsBadNum(int n, const double values[]) {
  if (!values) return 0;
  // x - x is 0 for every finite x and NaN otherwise: a sweep in independent
  // lanes tells whether there is anything to look for.
  constexpr int kLanes = 4;
  double lanes[kLanes] = {};
  int i = 0;
  for (; i + kLanes <= n; i += kLanes)
    for (int k = 0; k < kLanes; ++k) lanes[k] += values[i + k] - values[i + k];
  bool clean = true;
  for (double l : lanes) clean = clean && l == 0.0;
  for (int j = clean ? i : 0; j < n; ++j)
    if (!std::isfinite(values[j])) return j + 1;
  return 0;
}

char *InsertBrackets(const char *text, int start, int end) {
  if (!text || end < start || start < 0) return nullptr;
  std::string_view t(text);
  if (static_cast<size_t>(end) > t.size()) return nullptr;
  std::string r;
  r.reserve(t.size() + 2);
  r.append(t.substr(0, static_cast<size_t>(start)));
  r.push_back('(');
  r.append(t.substr(static_cast<size_t>(start), static_cast<size_t>(end - start)));
  r.push_back(')');
  r.append(t.substr(static_cast<size_t>(end)));
  return kiv::dupText(r, "InsertBrackets");
}

void RemoveFirstField(char *text) {
  if (!text) return;
  char *p = text;
  while (isBlank(*p)) ++p;
  while (*p && !isBlank(*p)) ++p;
  while (isBlank(*p)) ++p;
  std::memmove(text, p, std::strlen(p) + 1);
}

int ReplaceCaseWordInString(char **text, const char *word, const char *replacement) {
  if (!text || !*text || !word) return 0;
  std::string_view t(*text);
  size_t pos = kiv::findNoCase(t, word);
  if (pos == std::string_view::npos) return 0;
  std::string r(t.substr(0, pos));
  r += replacement ? replacement : "";
  r += t.substr(pos + std::strlen(word));
  char *p = static_cast<char *>(std::realloc(*text, r.size() + 1));
  if (!p) MemoryError("ReplaceCaseWordInString");
  std::memcpy(p, r.c_str(), r.size() + 1);
  *text = p;
  return 1;
}

char *StripPathName(const char *path, char *buffer, size_t size) {
  std::string_view p(path ? path : "");
  size_t slash = p.rfind('/');
  return copyInto(slash == std::string_view::npos ? p : p.substr(slash + 1), buffer, size);
}

char *GetDirPath(const char *path, char *buffer, size_t size) {
  std::string_view p(path ? path : "");
  size_t slash = p.rfind('/');
  return copyInto(slash == std::string_view::npos ? std::string_view(".") : p.substr(0, slash),
                  buffer, size);
}

int GetStringIndexInCharArray(const char *name, char **list, int n) {
  if (!name || !*name || !list || n <= 0) return -1;
  for (int i = 0; i < n; ++i)
    if (list[i] && std::strcmp(list[i], name) == 0) return i;
  return -1;
}

int CopyString(char **destination, const char *source) {
  if (!destination) {
    kivfprintf(stderr, "CopyString error : destination string is NULL.\n");
    return 0;
  }
  if (!source) {
    *destination = nullptr;
    return 1;
  }
  size_t n = std::strlen(source) + 1;
  char *p = static_cast<char *>(std::malloc(n));
  if (!p) {
    kivfprintf(stderr, "CopyString error : unable to allocate memory.\n");
    return 0;
  }
  std::memcpy(p, source, n);
  *destination = p;
  return 1;
}

}  // extern "C"
