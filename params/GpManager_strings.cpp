// Strings and string lists of the global-parameter layer.
#include "params/GpManager_private.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/cstring.hpp"
#include "runtime/numbers.hpp"
namespace {

using kiv::gp::dup;
using kiv::gp::copyStrings;
using kiv::gp::freeStrings;
using kiv::gp::latin1ToUtf8;
using kiv::gp::utf8ToLatin1;

int convertText(char **out, const char *text, std::string (*convert)(std::string_view)) {
  if (!out || !text) return -1;
  *out = kiv::dupText(convert(text), "KIVGP_String_Convert");
  return 0;
}

}  // namespace

// ---- Strings ---------------------------------------------------------------

void KIVGPPrivate_String_Free(char **text) {
  if (!text) return;
  std::free(*text);
  *text = nullptr;
}

int KIVGPPrivate_String_ConvertFromUTF8ToLatin1(char **out, const char *text) {
  return convertText(out, text, utf8ToLatin1);
}

int KIVGPPrivate_String_ConvertFromLatin1ToUTF8(char **out, const char *text) {
  return convertText(out, text, latin1ToUtf8);
}

int KIVGPPrivate_String_RemoveSpace(const char *text, char **out) {
  if (!text || !out) return -1;
  std::string r;
  for (const char *p = text; *p; ++p)
    if (*p != ' ') r.push_back(*p);
  *out = kiv::dupText(r, "KIVGPPrivate_String_RemoveSpace");
  return 0;
}

int KIVGPPrivate_String_SubstituteChars(char *text, char from, char to) {
  if (!text) return -1;
  int n = 0;
  for (char *p = text; *p; ++p)
    if (*p == from) {
      *p = to;
      ++n;
    }
  return n;
}

int KIVGPPrivate_String_ReplaceChar(char **out, const char *text, char c, const char *replacement) {
  if (!out || *out || !text || !replacement) return -1;
  std::string r;
  for (const char *p = text; *p; ++p) {
    if (*p == c)
      r += replacement;
    else
      r.push_back(*p);
  }
  *out = kiv::dupText(r, "KIVGPPrivate_String_ReplaceChar");
  return 0;
}

int KIVGPPrivate_String_EscapeForXML(const char *text, char **out) {
  if (!text || !out || *out) return -1;
  // One pass replaces what the five successive replacements do, ampersands
  // of the inserted entities included.
  std::string r;
  for (const char *p = text; *p; ++p) {
    switch (*p) {
      case '&': r += "&amp;"; break;
      case '<': r += "&lt;"; break;
      case '>': r += "&gt;"; break;
      case '"': r += "&quot;"; break;
      case '\'': r += "&apos;"; break;
      default: r.push_back(*p);
    }
  }
  *out = kiv::dupText(r, "KIVGPPrivate_String_EscapeForXML");
  return 0;
}

int KIVGPPrivate_String_ToDouble(const char *text, double *out) {
  if (!text || !out) return -1;
  const char *end = nullptr;
  double v = kiv::parseDouble(text, &end);
  if (end == text) return -1;
  *out = v;
  return 0;
}

int KIVGPPrivate_String_ToInt(const char *text, int *out) {
  if (!text || !out) return -1;
  return kiv::parseInt(text, nullptr, out) ? 0 : -1;
}

int KIVGPPrivate_String_ToUnsignedLong(const char *text, unsigned long *out) {
  if (!text || !out) return -1;
  const char *p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
  if (*p == '-') return -1;  // strtoul would wrap a negative number
  char *end = nullptr;
  errno = 0;
  unsigned long v = std::strtoul(p, &end, 10);
  if (end == p || errno == ERANGE) return -1;
  *out = v;
  return 0;
}

void KIVGPPrivate_StringList_Free(KIVGP_StringList *list, int count) {
  // A count of 0 says nothing about the texts: leave it all to the caller.
  if (!list || !*list || count <= 0) return;
  freeStrings(*list, static_cast<unsigned>(count));
  *list = nullptr;
}

int KIVGPPrivate_StringList_Append(KIVGP_StringList *list, int count, const char *text) {
  if (!list || count < 0 || count == INT_MAX) return -1;
  // The copy first: an array grown for a text it never got would be lost
  // with a count of 0.
  char *copy = dup(text);
  auto **grown = static_cast<char **>(
      std::realloc(*list, (static_cast<size_t>(count) + 1) * sizeof(char *)));
  if (!grown) {
    std::free(copy);
    return -1;
  }
  *list = grown;
  grown[count] = copy;
  return count + 1;
}

int KIVGPPrivate_StringList_Copy(KIVGP_StringList *out, const KIVGP_StringList list, int count) {
  if (!out || !list || count <= 0) return 0;
  *out = copyStrings(list, static_cast<unsigned>(count));
  return count;
}
