// Line and value readers of the text files the library reads, and the
// opening of such a file: its whole text read at once into memory.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

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

// A text in memory read through a stream: readers seek in it (to read a
// line again, or to count lines) whatever the file it came from was.
struct MemoryText {
  std::string text;
  size_t at = 0;
};

ssize_t readMemory(void *cookie, char *buf, size_t size) {
  auto *m = static_cast<MemoryText *>(cookie);
  const size_t n = std::min(size, m->text.size() - m->at);
  std::memcpy(buf, m->text.data() + m->at, n);
  m->at += n;
  return static_cast<ssize_t>(n);
}

int seekMemory(void *cookie, off64_t *offset, int whence) {
  auto *m = static_cast<MemoryText *>(cookie);
  const off64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<off64_t>(m->at)
                                                                   : static_cast<off64_t>(m->text.size());
  const off64_t to = base + *offset;
  if (to < 0 || to > static_cast<off64_t>(m->text.size())) {
    errno = EINVAL;
    return -1;
  }
  m->at = static_cast<size_t>(to);
  *offset = to;
  return 0;
}

int closeMemory(void *cookie) {
  delete static_cast<MemoryText *>(cookie);
  return 0;
}

FILE *streamOver(std::string text) {
  auto *m = new (std::nothrow) MemoryText{std::move(text)};
  if (!m) MemoryError("openText");
  FILE *fp = fopencookie(m, "r", cookie_io_functions_t{readMemory, nullptr, seekMemory, closeMemory});
  if (!fp) {
    delete m;
    MemoryError("openText");
  }
  kiv::skipByteOrderMark(fp);
  return fp;
}

// The rest of the stream; false at a read error (errno tells which).
bool readAll(FILE *fp, std::string &text) {
  char chunk[65536];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, fp)) > 0;) text.append(chunk, n);
  return !std::ferror(fp);
}

// A file that gives its text once: a pipe, a socket, a device.
bool readableOnce(const struct stat &st) { return !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode); }

kiv::TextReadOnce *keptText(const struct stat &st) {
  for (auto &t : GetGlobalSystem()->read_once)
    if (t.device == st.st_dev && t.inode == st.st_ino) return &t;
  return nullptr;
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

FILE *openText(const char *path, TextStatus *status) {
  TextStatus ignored;
  if (!status) status = &ignored;
  *status = TextStatus::kNotOpened;
  if (!path) return nullptr;
  // A pipe read before in this run: its writer has gone, its text stays.
  struct stat st {};
  if (::stat(path, &st) == 0 && readableOnce(st))
    if (const TextReadOnce *kept = keptText(st)) {
      *status = TextStatus::kRead;
      return guardAllocation("openText", [&] { return streamOver(kept->text); });
    }
  FILE *fp = std::fopen(path, "r");
  if (!fp) return nullptr;
  std::string text;
  bool read = false;
  int error = 0;
  guardAllocation("openText", [&] {
    read = readAll(fp, text);
    error = errno;
  });
  const bool once = ::fstat(fileno(fp), &st) == 0 && readableOnce(st);
  std::fclose(fp);
  if (!read) {
    // Taken for the end, the text would read as a shorter one.
    kivfprintf(stderr, "\nError while reading file '%s': %s.\n", path, std::strerror(error));
    *status = TextStatus::kReadFailed;
    return nullptr;
  }
  *status = TextStatus::kRead;
  return guardAllocation("openText", [&] {
    if (!once) return streamOver(std::move(text));
    auto &kept = GetGlobalSystem()->read_once;
    kept.push_back({static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino), text});
    return streamOver(std::move(text));
  });
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

char *getsClean(FILE *fp, char **buffer, int *capacity, int skip, int *line) {
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
    if (line && *line < INT_MAX) ++*line;
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

}  // namespace kiv

extern "C" {

char *kivfgetsclean(FILE *fp, char **buffer, int *capacity, int skip) {
  return kiv::getsClean(fp, buffer, capacity, skip, nullptr);
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
