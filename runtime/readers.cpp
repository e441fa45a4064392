// Line and value readers of the text files the library reads, and the
// opening of such a file: streamed when it can seek, read into memory when
// it cannot.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>

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

// A text in memory read through a stream: what cannot seek (a pipe, a
// device) is read into memory so that readers may seek in it as in a file.
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

constexpr size_t kChunk = 65536;

enum class Scan { kText, kLinesEndInCr, kZeroByte, kError };

// A text holds no zero byte: /dev/zero, /dev/urandom and binary files are
// refused at the first chunk instead of being read until memory runs out.
void sayNotText(const char *path) {
  kivfprintf(stderr, "\nFile '%s' is not a text file (it holds a zero byte).\n", path);
}

void sayReadError(const char *path, int error) {
  // Taken for the end, the text would read as a shorter one.
  kivfprintf(stderr, "\nError while reading file '%s': %s.\n", path, std::strerror(error));
}

// One pass over a regular file's bytes before the readers stream it: a
// zero byte anywhere, or CR line ends with no LF at all.  The pages read
// stay cached for the readers.
Scan scanRegular(int fd, int *error) {
  char chunk[kChunk];
  bool lf = false, cr = false;
  for (off_t at = 0;;) {
    const ssize_t n = ::pread(fd, chunk, sizeof chunk, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = errno;
      return Scan::kError;
    }
    if (n == 0) break;
    const size_t got = static_cast<size_t>(n);
    if (std::memchr(chunk, '\0', got)) return Scan::kZeroByte;
    if (!lf) {
      lf = std::memchr(chunk, '\n', got) != nullptr;
      cr = cr || std::memchr(chunk, '\r', got) != nullptr;
    }
    at += n;
  }
  return cr && !lf ? Scan::kLinesEndInCr : Scan::kText;
}

// The rest of the stream into text, up to its end or its first zero byte.
Scan readRest(FILE *fp, std::string &text, int *error) {
  char chunk[kChunk];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, fp)) > 0;) {
    if (std::memchr(chunk, '\0', n)) return Scan::kZeroByte;
    text.append(chunk, n);
  }
  if (std::ferror(fp)) {
    *error = errno;
    return Scan::kError;
  }
  return text.find('\n') == std::string::npos && text.find('\r') != std::string::npos ? Scan::kLinesEndInCr
                                                                                     : Scan::kText;
}

// Old editors end lines with CR alone: such a text reads as its LF twin.
// Where LF ends lines a stray CR stays what it was.
void crLinesToLf(std::string &text) { std::replace(text.begin(), text.end(), '\r', '\n'); }

bool sameFile(const kiv::TextHandOff &h, const char *path, const struct stat &st) {
  return h.held && h.path == path && !S_ISREG(st.st_mode) && h.device == static_cast<unsigned long long>(st.st_dev) &&
         h.inode == static_cast<unsigned long long>(st.st_ino);
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

FILE *openText(const char *path, TextStatus *status, TextUse use) {
  TextStatus ignored;
  if (!status) status = &ignored;
  *status = TextStatus::kNotOpened;
  if (!path) return nullptr;
  KIVSystem *sys = GetGlobalSystem();
  if (sys->text_keep_scopes > 0) use = TextUse::kQuery;
  struct stat st {};
  std::string text;
  TextHandOff &offered = sys->text_hand_off;
  if (offered.held && ::stat(path, &st) == 0 && sameFile(offered, path, st)) {
    text = std::exchange(offered, TextHandOff{}).text;
  } else {
    std::unique_ptr<FILE, int (*)(FILE *)> fp(std::fopen(path, "r"), &std::fclose);
    if (!fp) return nullptr;
    // A text handed off is for the next file opened alone.
    offered = TextHandOff{};
    int error = 0;
    Scan got = Scan::kError;
    if (::fstat(fileno(fp.get()), &st) == 0 && S_ISREG(st.st_mode)) {
      got = scanRegular(fileno(fp.get()), &error);
      if (got == Scan::kText) {
        *status = TextStatus::kRead;
        skipByteOrderMark(fp.get());
        return fp.release();
      }
    }
    if (got != Scan::kZeroByte && (got != Scan::kError || !S_ISREG(st.st_mode)))
      guardAllocation("openText", [&] { got = readRest(fp.get(), text, &error); });
    if (got == Scan::kError) sayReadError(path, error);
    if (got == Scan::kZeroByte) sayNotText(path);
    if (got == Scan::kError || got == Scan::kZeroByte) {
      *status = TextStatus::kReadFailed;
      return nullptr;
    }
    if (got == Scan::kLinesEndInCr) crLinesToLf(text);
  }
  *status = TextStatus::kRead;
  return guardAllocation("openText", [&] {
    if (use == TextUse::kQuery && !S_ISREG(st.st_mode))
      sys->text_hand_off = TextHandOff{path, static_cast<unsigned long long>(st.st_dev),
                                       static_cast<unsigned long long>(st.st_ino), text, true};
    return streamOver(std::move(text));
  });
}

bool streamsFile(FILE *fp) { return fp && fileno(fp) >= 0; }

KeepTexts::KeepTexts() : sys_(GetGlobalSystem()) { ++sys_->text_keep_scopes; }

KeepTexts::~KeepTexts() {
  if (--sys_->text_keep_scopes == 0) sys_->text_hand_off = TextHandOff{};
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
