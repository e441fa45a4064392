// Text files as lists of cleaned lines, linear state-space model files, and
// the switch that decides whether readers keep what they read in the store.
#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/numbers.hpp"
#include "runtime/textfile.hpp"
#include "tables/rtable.hpp"

using namespace kiv::tables;

namespace {

int cacheSwitch = 1;

// Reads cleaned non-empty lines through a buffer owned by the reader.
class LineReader {
 public:
  explicit LineReader(FILE *fp) : fp_(fp) {}
  ~LineReader() { std::free(buf_); }
  LineReader(const LineReader &) = delete;
  LineReader &operator=(const LineReader &) = delete;
  const char *next() { return kiv::getsClean(fp_, &buf_, &cap_, 1, &line_); }
  // The line of the file that next() gave last.
  int line() const { return line_; }
  // Takes up counting after reads past the reader, mid-line.
  void resync() { line_ = kiv::lineAt(fp_, std::ftell(fp_)) - 1; }

 private:
  FILE *fp_;
  char *buf_ = nullptr;
  int cap_ = 0;
  int line_ = 0;
};

enum class Got { kNone, kNumber, kRefused };

// The first number of the line in.next() gave, as "%le" reads it; one no
// double can hold is refused (after the message).
Got firstNumber(const LineReader &in, const char *name, const char *line, double *v) {
  const char *end = nullptr;
  bool over = false;
  *v = kiv::parseDouble(line, &end, &over);
  if (end == line) return Got::kNone;
  if (!over) return Got::kNumber;
  kiv::sayOutOfRange(in.line(), name, std::string_view(line, static_cast<size_t>(end - line)));
  return Got::kRefused;
}

// The leading integer of a line, as "%d" reads it.
bool leadingInt(const char *line, int *v) {
  while (*line == ' ' || *line == '\t') ++line;
  if (*line == '+') ++line;
  const auto r = std::from_chars(line, line + std::strlen(line), *v);
  return r.ec == std::errc();
}

// Opens a state-space file and reads its first line; null after a message.
const char *openModel(const char *name, File &fp, std::optional<LineReader> &in) {
  kiv::TextStatus status = kiv::TextStatus::kNotOpened;
  fp.reset(openTable(name, &status));
  if (!fp) {
    if (status != kiv::TextStatus::kReadFailed) kivfprintf(stderr, "\nUnable to open '%s'\n", name ? name : "");
    return nullptr;
  }
  in.emplace(fp.get());
  const char *first = in->next();
  if (!first && !kiv::readFailed(fp.get())) kivfprintf(stderr, "\nUnable to read '%s'\n", name);
  return first;
}

struct Model {
  int n = 0, m = 0, p = 0;
  std::vector<double> A, B, C, D, x0;
  bool hasX0 = false;
};

// The four matrix sizes, each addressable by an int.
bool sizesFit(const Model &s, const char *name) {
  const int64_t n = s.n, m = s.m, p = s.p;
  if (n * n > kIntLimit || n * m > kIntLimit || n * p > kIntLimit || m * p > kIntLimit) {
    kivfprintf(stderr, "The total number of points (more than %d) in '%s' will reach machine limits.\n",
               kIntLimit, name);
    return false;
  }
  return true;
}

// count white-space separated values; false after the message.
bool readMatrix(FILE *fp, const char *name, int64_t count, std::vector<double> &out, const char *message) {
  std::string huge;
  for (; count > 0; --count) {
    double v = 0.0;
    if (!kiv::scanDouble(fp, &v, &huge)) {
      if (kiv::readFailed(fp))
        return false;  // said
      if (huge.empty())
        DisplayMessage(message);
      else
        kiv::sayOutOfRange(kiv::lineAt(fp, std::ftell(fp) - 1), name, huge);
      return false;
    }
    out.push_back(v);
  }
  return true;
}

// count values one per line (the first number of each line): kNone when
// the file ends first or a line holds no number.
Got readPerLine(LineReader &in, const char *name, int64_t count, std::vector<double> &out) {
  for (int64_t i = 0; i < count; ++i) {
    const char *l = in.next();
    double v = 0.0;
    const Got got = l ? firstNumber(in, name, l, &v) : Got::kNone;
    if (got != Got::kNumber) return got;
    out.push_back(v);
  }
  return Got::kNumber;
}

void clearOutputs(int *n, int *m, int *p, double **A, double **B, double **C, double **D,
                  double **x0) {
  if (n) *n = 0;
  if (m) *m = 0;
  if (p) *p = 0;
  for (double **q : {A, B, C, D, x0})
    if (q) *q = nullptr;
}

int publish(const Model &s, int *n, int *m, int *p, double **A, double **B, double **C, double **D,
            double **x0, const char *label) {
  if (n) *n = s.n;
  if (m) *m = s.m;
  if (p) *p = s.p;
  if (A) *A = mallocCopy(s.A, label);
  if (B) *B = mallocCopy(s.B, label);
  if (C) *C = mallocCopy(s.C, label);
  if (D) *D = mallocCopy(s.D, label);
  if (x0) *x0 = s.hasX0 ? mallocCopy(s.x0, label) : nullptr;
  return 1;
}

}  // namespace

namespace kiv::tables {

bool cacheOn() { return cacheSwitch == 1; }

bool cacheOn(FILE *fp) { return cacheOn() && kiv::streamsFile(fp); }

namespace {

// The lines beginning with "#" left out, in place.
void dropComments(NumberedLines &text) {
  size_t kept = 0;
  for (size_t i = 0; i < text.lines.size(); ++i) {
    if (commentLine(text.lines[i])) continue;
    if (kept != i) {
      text.lines[kept] = std::move(text.lines[i]);
      text.numbers[kept] = text.numbers[i];
    }
    ++kept;
  }
  text.lines.resize(kept);
  text.numbers.resize(kept);
}

}  // namespace

int readLineList(const char *name, bool skipComments, int verbose, NumberedLines &out) {
  out = NumberedLines{};
  if (!name) return -1;
  if (linesFromMemory(name, KIV_TABLE_BY_READER, skipComments, out)) {
    if (out.lines.empty()) kivfprintf(stderr, "\nThe file '%s' is empty.\n", name);
    return static_cast<int>(out.lines.size());
  }
  kiv::TextStatus status = kiv::TextStatus::kNotOpened;
  File fp{openTable(name, &status)};
  if (!fp) {
    if (status == kiv::TextStatus::kReadFailed) return -1;
    if (linesFromMemory(name, KIV_TABLE_BY_CALLER, skipComments, out)) return static_cast<int>(out.lines.size());
    if (verbose) kivfprintf(stderr, "\nImpossible to open file '%s'.\n", name);
    return -1;
  }
  // The cache keeps every line, comments included; each read filters what
  // it asked for.
  NumberedLines all;
  guardAllocation("rtableml", [&] {
    LineReader in(fp.get());
    while (const char *l = in.next())
      if (*l) {  // a line cut to nothing by a NUL byte is no line
        all.lines.emplace_back(l);
        all.numbers.push_back(in.line());
      }
  });
  if (kiv::readFailed(fp.get())) return -1;
  const bool cache = cacheOn(fp.get());
  fp.reset();
  if (cache && !all.lines.empty()) storeLines(name, all.lines, KIV_TABLE_BY_READER, all.numbers);
  // A long list is not copied once more on its way out.
  if (skipComments) dropComments(all);
  out = std::move(all);
  if (out.lines.empty()) kivfprintf(stderr, "\nThe file '%s' is empty.\n", name);
  return static_cast<int>(out.lines.size());
}

}  // namespace kiv::tables

extern "C" {

int rtableStoreToCache_(int *flag) {
  if (!flag) return cacheSwitch;
  if (static_cast<unsigned>(*flag) <= 1u) cacheSwitch = *flag;
  return *flag;
}

char **rtableml_quiet(const char *name, int *nlines, int *skipComments, int verbose) {
  int dummy;
  if (!nlines) nlines = &dummy;
  NumberedLines got;
  const int read = readLineList(name, skipComments && *skipComments, verbose, got);
  // The count goes out with the copy it counts: a copy that fails ends the
  // run before either reaches the caller's owner.
  int count = 0;
  char **lines = copyLines(got.lines, &count);
  *nlines = read;
  return lines;
}

char **rtableml_(const char *name, int *nlines, int *skipComments) {
  return rtableml_quiet(name, nlines, skipComments, 1);
}

int kivreadjac_(const char *name, int *n, int *m, int *p, double **A, double **B, double **C,
                double **D, double **x0) {
  clearOutputs(n, m, p, A, B, C, D, x0);
  File fp;
  std::optional<LineReader> reader;
  const char *first = openModel(name, fp, reader);
  if (!first) return 0;
  LineReader &in = *reader;
  Model s;
  {
    const char *q = first;
    for (int *dim : {&s.n, &s.m, &s.p}) {
      while (*q == ' ' || *q == '\t') ++q;
      const char *b = (*q == '+') ? q + 1 : q;
      const auto r = std::from_chars(b, b + std::strlen(b), *dim);
      if (r.ec != std::errc()) return 0;
      q = r.ptr;
    }
  }
  if (s.n < 1 || s.p < 1 || s.m < 1) {
    kivfprintf(stderr, "\nFile '%s' contains some negative or nul dimensions. This is not authorized.\n",
               name);
    return 0;
  }
  if (!sizesFit(s, name)) return 0;
  const int64_t n64 = s.n, m64 = s.m, p64 = s.p;
  if (!readMatrix(fp.get(), name, n64 * n64, s.A, "Unable to read A matrix.") ||
      !readMatrix(fp.get(), name, n64 * m64, s.B, "Unable to read B matrix.") ||
      !readMatrix(fp.get(), name, n64 * p64, s.C, "Unable to read C matrix.") ||
      !readMatrix(fp.get(), name, m64 * p64, s.D, "Unable to read D matrix."))
    return 0;
  in.resync();
  const char *line = in.next();
  if (line && std::strstr(line, "nilpotency")) {
    kivfprintf(stderr, "\nFile '%s' seems to come from a DAE system. This is not authorized.\n", name);
    return 0;
  }
  // The initial state counts only when exactly n lines of one value each
  // run to the end of the file.
  bool good = true;
  for (; line && good; line = in.next()) {
    double v = 0.0;
    const Got got = firstNumber(in, name, line, &v);
    if (got == Got::kRefused) return 0;
    good = got == Got::kNumber && static_cast<int64_t>(s.x0.size()) < n64;
    if (good) s.x0.push_back(v);
  }
  if (kiv::readFailed(fp.get())) return 0;
  s.hasX0 = good && static_cast<int64_t>(s.x0.size()) == n64;
  return publish(s, n, m, p, A, B, C, D, x0, "kivreadjac");
}

int kivreadssp_(const char *name, int *n, int *m, int *p, double **A, double **B, double **C,
                double **D, double **x0) {
  clearOutputs(n, m, p, A, B, C, D, x0);
  File fp;
  std::optional<LineReader> reader;
  const char *title = openModel(name, fp, reader);
  if (!title) return 0;
  LineReader &in = *reader;
  if (std::strstr(title, "TRANSF")) {
    kivfprintf(stderr, "\nFile '%s' contains a transfer function. State space model required.\n", name);
    return 0;
  }
  Model s;
  if (std::strstr(title, "STATSP")) {
    int *byPosition[] = {&s.n, &s.m, &s.p};
    for (int i = 0; i < 3; ++i) {
      const char *l = in.next();
      if (!l) return 0;
      int v = 0;
      if (!leadingInt(l, &v)) continue;
      if (!std::strstr(l, "number"))
        *byPosition[i] = v;
      else if (std::strstr(l, "state"))
        s.n = v;
      else if (std::strstr(l, "input"))
        s.m = v;
      else if (std::strstr(l, "output"))
        s.p = v;
    }
  }
  if (s.n <= 0 || s.p <= 0 || s.m <= 0) {
    kivfprintf(stderr, "\nFile '%s' contains some nul dimensions. This is not authorized.\n", name);
    return 0;
  }
  if (!sizesFit(s, name)) return 0;
  const int64_t n64 = s.n, m64 = s.m, p64 = s.p;
  for (auto [count, values] : {std::pair{n64 * n64, &s.A}, {n64 * m64, &s.B}, {n64 * p64, &s.C}, {m64 * p64, &s.D}})
    if (readPerLine(in, name, count, *values) != Got::kNumber) return 0;
  const Got start = readPerLine(in, name, n64, s.x0);
  if (start == Got::kRefused || kiv::readFailed(fp.get())) return 0;
  s.hasX0 = start == Got::kNumber;
  return publish(s, n, m, p, A, B, C, D, x0, "kivreadssp");
}

}  // extern "C"
