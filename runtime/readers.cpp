// Line and value readers of the text files the library reads.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "runtime/cstring.hpp"
#include "runtime/numbers.hpp"
#include "runtime/system.hpp"
#include "runtime/textfile.hpp"

namespace {

void skipRestOfLine(FILE *fp) {
  int c;
  while ((c = std::getc(fp)) != EOF && c != '\n') {
  }
}

// Appends c to the caller's growable buffer.
void put(char **buffer, int *capacity, int &len, char c) {
  if (len + 1 >= *capacity) {
    long want = *capacity < 64 ? 128L : 2L * *capacity;
    if (want > INT_MAX) want = INT_MAX;
    if (len + 1 >= want) MemoryError("kivfgetsclean");
    char *p = static_cast<char *>(std::realloc(*buffer, static_cast<size_t>(want)));
    if (!p) MemoryError("kivfgetsclean");
    *buffer = p;
    *capacity = static_cast<int>(want);
  }
  (*buffer)[len++] = c;
  (*buffer)[len] = '\0';
}

}  // namespace

namespace kiv {

bool skipByteOrderMark(FILE *fp) {
  if (!fp) return false;
  static constexpr int kMark[] = {0xEF, 0xBB, 0xBF};
  const int first = std::getc(fp);
  if (first != kMark[0]) {
    if (first != EOF)
      std::ungetc(first, fp);
    else
      std::clearerr(fp);
    return false;
  }
  // One character of push-back is all a stream promises: past the first
  // byte, go back by position.
  const long after = std::ftell(fp);
  int got[2] = {EOF, EOF};
  for (int i = 0; i < 2; ++i)
    if ((got[i] = std::getc(fp)) != kMark[i + 1]) {
      if (after < 1 || std::fseek(fp, after - 1, SEEK_SET) != 0) {
        for (int k = i; k >= 0; --k)
          if (got[k] != EOF) std::ungetc(got[k], fp);
        std::ungetc(first, fp);
      }
      return false;
    }
  return true;
}

FILE *openText(const char *path) {
  FILE *fp = path ? std::fopen(path, "r") : nullptr;
  skipByteOrderMark(fp);
  return fp;
}

void rewindText(FILE *fp) {
  if (!fp) return;
  std::rewind(fp);
  skipByteOrderMark(fp);
}

int lineAt(FILE *fp, long at) {
  const long back = std::ftell(fp);
  std::rewind(fp);
  int line = 1;
  for (long i = 0; i < at; ++i) {
    const int c = std::getc(fp);
    if (c == EOF) break;
    if (c == '\n' && line < INT_MAX) ++line;
  }
  std::fseek(fp, back, SEEK_SET);
  return line;
}

void sayOutOfRange(int line, const char *file, std::string_view text) {
  kivfprintf(stderr, "\nLine %d of file '%s' holds a number beyond the range of a double ('%s').\n", line,
             file ? file : "", quoteCut(text).c_str());
}

}  // namespace kiv

extern "C" {

char *kivfgetsclean(FILE *fp, char **buffer, int *capacity, int skip) {
  if (!fp || !buffer || !capacity) return nullptr;
  if (!*buffer || *capacity <= 0) {
    *buffer = static_cast<char *>(std::malloc(128));
    if (!*buffer) MemoryError("kivfgetsclean");
    *capacity = 128;
  }
  for (;;) {
    int len = 0;
    int c = std::getc(fp);
    if (c == EOF) return nullptr;
    (*buffer)[0] = '\0';
    while (c != EOF && c != '\n') {
      put(buffer, capacity, len, static_cast<char>(c));
      c = std::getc(fp);
    }
    const bool bare = (len == 0) || (len == 1 && (*buffer)[0] == '\r');
    while (len > 0 && ((*buffer)[len - 1] == '\r' || (*buffer)[len - 1] == '\n')) (*buffer)[--len] = '\0';
    int lead = 0;
    while (lead < len && ((*buffer)[lead] == ' ' || (*buffer)[lead] == '\t')) ++lead;
    if (lead > 0) {
      std::memmove(*buffer, *buffer + lead, static_cast<size_t>(len - lead + 1));
      len -= lead;
    }
    if (len > 0) return *buffer;
    if (skip == 0 && bare) return *buffer;
    if (c == EOF) return nullptr;
  }
}

int GetValues(FILE *fp, double values[], int n, int ints[], int m, const char *message) {
  for (int i = 0; i < n; ++i) {
    if (!fp || !kiv::scanDouble(fp, &values[i])) {
      if (message) DisplayMessage(message);
      return 0;
    }
  }
  for (int i = 0; i < m; ++i) {
    if (!fp || !kiv::scanInt(fp, &ints[i])) {
      if (message) DisplayMessage(message);
      return 0;
    }
  }
  return 1;
}

void IgnoreComment(FILE *fp) {
  if (!fp) return;
  int c;
  while ((c = std::getc(fp)) == '#') skipRestOfLine(fp);
  if (c != EOF) std::ungetc(c, fp);
}

int GetAsciiInteger(FILE *fp, int min, int max, const char *filename) {
  int v = 0;
  bool ok = fp && kiv::scanInt(fp, &v);
  if (fp) skipRestOfLine(fp);
  if (!ok || v < min || v > max) {
    kivfprintf(stderr, "Invalid data in file %s.\n", filename ? filename : "");
    KivExit(1);
  }
  return v;
}

double GetAsciiReal(FILE *fp, double min, double max, const char *filename) {
  double v = 0.0;
  bool ok = fp && kiv::scanDouble(fp, &v);
  if (fp) skipRestOfLine(fp);
  if (!ok || !(v >= min && v <= max)) {
    kivfprintf(stderr, "Invalid data in file %s.\n", filename ? filename : "");
    KivExit(1);
  }
  return v;
}

}  // extern "C"
