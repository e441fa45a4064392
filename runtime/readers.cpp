// Line and value readers of the text files the library reads, and the
// opening of such a file: streamed when it can seek, read into memory when
// it cannot.
#include <fcntl.h>
#include <stdio_ext.h>
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

// Ends the run on a value its file does not hold; a file whose reading
// failed was refused by name already.
[[noreturn]] void refuseData(FILE *fp, const char *filename) {
  if (!kiv::readFailed(fp)) kivfprintf(stderr, "Invalid data in file %s.\n", filename ? filename : "");
  KivExit(1);
}

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

// Offsets as a stream asks for them: from the start, the position now or
// the end (of size bytes).  False for one before the start.
bool seekTarget(off64_t now, off64_t size, off64_t *offset, int whence) {
  const off64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? now : size;
  if (base + *offset < 0) {
    errno = EINVAL;
    return false;
  }
  *offset += base;
  return true;
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
  const auto size = static_cast<off64_t>(m->text.size());
  off64_t to = *offset;
  if (!seekTarget(static_cast<off64_t>(m->at), size, &to, whence)) return -1;
  if (to > size) {
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

// A read stream over the cookie, null when none could be made.  It takes no
// lock on each character read, which costs a big table a fifth of its time:
// a text stream is read by one thread, as the library runs.
FILE *cookieStream(void *cookie, cookie_io_functions_t io) {
  FILE *fp = fopencookie(cookie, "r", io);
  if (fp) __fsetlocking(fp, FSETLOCKING_BYCALLER);
  return fp;
}

FILE *streamOver(std::string text) {
  auto *m = new (std::nothrow) MemoryText{std::move(text)};
  if (!m) MemoryError("openText");
  FILE *fp = cookieStream(m, cookie_io_functions_t{readMemory, nullptr, seekMemory, closeMemory});
  if (!fp) {
    delete m;
    MemoryError("openText");
  }
  kiv::skipByteOrderMark(fp);
  return fp;
}

constexpr size_t kChunk = 65536;

enum class Scan { kText, kZeroByte, kError };

// A text holds no zero byte: /dev/zero, /dev/urandom and binary files are
// refused at the first chunk instead of being read until memory runs out.
void sayNotText(const char *path) {
  kivfprintf(stderr, "\nFile '%s' is not a text file (it holds a zero byte).\n", path);
}

void sayReadError(const char *path, int error) {
  // Taken for the end, the text would read as a shorter one.
  kivfprintf(stderr, "\nError while reading file '%s': %s.\n", path, std::strerror(error));
}

// A CR that no LF follows ends its line as an LF does: a text reads as its
// LF twin whatever mix of line ends it has.  A CRLF stays (the readers take
// it for a line end already), so every byte keeps its offset.  next: the
// byte after the span, EOF at the end of the text.
void loneCrToLf(char *p, size_t n, int next) {
  char *const end = p + n;
  while ((p = static_cast<char *>(std::memchr(p, '\r', static_cast<size_t>(end - p))))) {
    const int after = p + 1 < end ? static_cast<unsigned char>(p[1]) : next;
    if (after != '\n') *p = '\n';
    ++p;
  }
}

// What fd gives, up to its end or its first zero byte, appended to text
// when there is one.  Without, one pass over a regular file before the
// readers stream it; the pages read stay cached for them.
Scan readAll(int fd, std::string *text, int *error) {
  char chunk[kChunk];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = errno;
      return Scan::kError;
    }
    if (n == 0) return Scan::kText;
    if (std::memchr(chunk, '\0', static_cast<size_t>(n))) return Scan::kZeroByte;
    if (text) text->append(chunk, static_cast<size_t>(n));
  }
}

bool sameFile(const kiv::TextHandOff &h, const char *path, const struct stat &st) {
  return h.path == path && !S_ISREG(st.st_mode) && h.device == static_cast<unsigned long long>(st.st_dev) &&
         h.inode == static_cast<unsigned long long>(st.st_ino);
}

// Owns a descriptor until a stream takes it.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

namespace kiv {

// A regular file as openText streams it: read where the stream asks, in the
// stream's own chunks, with no copy of the text held.
struct FileText {
  int fd;
  std::string path;
  std::shared_ptr<OpenFiles> files;  // the list it is in
  TextRead read = nullptr;           // the system's seam when it was opened
  FILE *stream = nullptr;
  off64_t at = 0;
  bool failed = false;
};

}  // namespace kiv

namespace {

ssize_t readAt(const kiv::FileText &f, void *buf, size_t size, off64_t at) {
  ssize_t n;
  do n = f.read ? f.read(f.fd, buf, size, at) : ::pread(f.fd, buf, size, at);
  while (n < 0 && errno == EINTR);
  return n;
}

// Refuses the file by name once (error 0: for a zero byte); every later
// read fails as well.
ssize_t refuseFile(kiv::FileText *f, int error) {
  if (!f->failed) {
    if (error)
      sayReadError(f->path.c_str(), error);
    else
      sayNotText(f->path.c_str());
  }
  f->failed = true;
  errno = EIO;
  return -1;
}

// What the file holds at the stream's position, a lone CR read as LF.  A
// zero byte (the file changed after its check) or a failed read refuses the
// file.
ssize_t readFile(void *cookie, char *buf, size_t size) {
  auto *f = static_cast<kiv::FileText *>(cookie);
  if (f->failed) return refuseFile(f, 0);
  const ssize_t n = readAt(*f, buf, size, f->at);
  if (n < 0) return refuseFile(f, errno);
  const size_t got = static_cast<size_t>(n);
  if (std::memchr(buf, '\0', got)) return refuseFile(f, 0);
  int next = EOF;
  if (got > 0 && buf[got - 1] == '\r') {
    // The byte after tells a CRLF from a lone CR; failing to read it is no
    // end of the text.
    char c = 0;
    const ssize_t m = readAt(*f, &c, 1, f->at + n);
    if (m < 0) return refuseFile(f, errno);
    if (m == 1) next = static_cast<unsigned char>(c);
  }
  loneCrToLf(buf, got, next);
  f->at += n;
  return n;
}

int seekFile(void *cookie, off64_t *offset, int whence) {
  auto *f = static_cast<kiv::FileText *>(cookie);
  struct stat st {};
  if (whence == SEEK_END && ::fstat(f->fd, &st) != 0) return -1;
  if (!seekTarget(f->at, st.st_size, offset, whence)) return -1;
  f->at = *offset;
  return 0;
}

int closeFile(void *cookie) {
  auto *f = static_cast<kiv::FileText *>(cookie);
  kiv::OpenFiles &files = *f->files;
  files.erase(std::remove(files.begin(), files.end(), f), files.end());
  const int closed = ::close(f->fd);
  delete f;
  return closed;
}

FILE *streamFile(Descriptor &fd, const char *path, KIVSystem *sys) {
  return kiv::guardAllocation("openText", [&] {
    auto f = std::make_unique<kiv::FileText>(kiv::FileText{fd.fd, path, sys->open_files, sys->text_read});
    sys->open_files->reserve(sys->open_files->size() + 1);
    FILE *fp = cookieStream(f.get(), cookie_io_functions_t{readFile, nullptr, seekFile, closeFile});
    if (!fp) throw std::bad_alloc();
    fd.fd = -1;
    f->stream = fp;
    sys->open_files->push_back(f.release());
    kiv::skipByteOrderMark(fp);
    return fp;
  });
}

const kiv::FileText *fileOf(FILE *fp) {
  for (const kiv::FileText *f : *GetGlobalSystem()->open_files)
    if (f->stream == fp) return f;
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

FILE *openText(const char *path, TextStatus *status, TextUse use) {
  TextStatus ignored;
  if (!status) status = &ignored;
  *status = TextStatus::kNotOpened;
  if (!path) return nullptr;
  KIVSystem *sys = GetGlobalSystem();
  const bool scoped = sys->text_keep_scopes > 0;
  std::vector<TextHandOff> &kept = sys->text_hand_offs;
  struct stat st {};
  std::string text;
  const auto held = kept.empty() || ::stat(path, &st) != 0
                        ? kept.end()
                        : std::find_if(kept.begin(), kept.end(), [&](const TextHandOff &h) { return sameFile(h, path, st); });
  const bool taken = held != kept.end();
  if (taken && scoped) {
    text = guardAllocation("openText", [&] { return held->text; });
  } else if (taken) {
    text = std::move(held->text);
    kept.clear();
  } else {
    Descriptor fd{::open(path, O_RDONLY | O_CLOEXEC)};
    if (fd.fd < 0) return nullptr;
    // Outside a scope, what a query kept is for the next opening alone.
    if (!scoped) kept.clear();
    int error = 0;
    Scan got = Scan::kError;
    if (::fstat(fd.fd, &st) != 0)
      error = errno;
    else
      guardAllocation("openText", [&] { got = readAll(fd.fd, S_ISREG(st.st_mode) ? nullptr : &text, &error); });
    if (got == Scan::kText && S_ISREG(st.st_mode)) {
      if (sys->text_checked) sys->text_checked(path, sys->text_checked_user);
      *status = TextStatus::kRead;
      return streamFile(fd, path, sys);
    }
    if (got == Scan::kError) sayReadError(path, error);
    if (got == Scan::kZeroByte) sayNotText(path);
    if (got != Scan::kText) {
      *status = TextStatus::kReadFailed;
      return nullptr;
    }
    loneCrToLf(text.data(), text.size(), EOF);
  }
  *status = TextStatus::kRead;
  return guardAllocation("openText", [&] {
    if (scoped ? !taken : use == TextUse::kQuery)
      kept.push_back(TextHandOff{path, static_cast<unsigned long long>(st.st_dev),
                                 static_cast<unsigned long long>(st.st_ino), text});
    return streamOver(std::move(text));
  });
}

bool streamsFile(FILE *fp) { return fp && (fileno(fp) >= 0 || fileOf(fp)); }

bool readFailed(FILE *fp) {
  if (!fp) return false;
  const FileText *f = fileOf(fp);
  return std::ferror(fp) || (f && f->failed);
}

KeepTexts::KeepTexts() : sys_(GetGlobalSystem()) { ++sys_->text_keep_scopes; }

KeepTexts::~KeepTexts() {
  if (--sys_->text_keep_scopes == 0) sys_->text_hand_offs.clear();
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
  if (!ok || v < min || v > max) refuseData(fp, filename);
  return v;
}

double GetAsciiReal(FILE *fp, double min, double max, const char *filename) {
  double v = 0.0;
  bool ok = fp && kiv::scanDouble(fp, &v);
  if (fp) skipRestOfLine(fp);
  if (!ok || !(v >= min && v <= max)) refuseData(fp, filename);
  return v;
}

}  // extern "C"
