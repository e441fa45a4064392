// The numeric table readers: 0D, 1D..8D, T1D, T3D and XY files.  Each one
// looks in the reader cache, then opens the file, then falls back on a
// caller-added table; it converts its own copy of the values to the units
// the caller asks for, while the cache keeps them as read.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "runtime/cstring.hpp"
#include "runtime/numbers.hpp"
#include "tables/numtext.hpp"
#include "tables/rtable.hpp"

using namespace kiv::tables;

namespace {

enum Outcome { kFailed = 0, kDone = 1, kAsOneD = 2 };

// The caller's wanted units: the list ends at its first null entry or at
// the table's slot count.
class Wanted {
 public:
  Wanted(const char *const *units, int count) {
    for (int i = 0; units && i < count && units[i]; ++i) list_.push_back(units[i]);
  }
  const char *at(int slot) const {
    return slot >= 0 && static_cast<size_t>(slot) < list_.size() ? list_[static_cast<size_t>(slot)] : nullptr;
  }
  bool any() const { return !list_.empty(); }

 private:
  std::vector<const char *> list_;
};

// Converts n values from the header's unit slot to the wanted unit; false
// on a conversion error.
bool convert(const TableHeader *h, int headerSlot, const char *want, double *values, int64_t n,
             const char *label) {
  if (!want || !h->units || headerSlot < 0 || headerSlot >= h->nunits) return true;
  return _prt4(h->units[headerSlot], want, values, static_cast<int>(n), label, h->verbose) >= 0;
}

void machineLimits(const char *name) {
  kivfprintf(stderr, "The total number of points (more than %d) in '%s' will reach machine limits.\n",
             kIntLimit, name);
}

// A count read as a double, truncated toward zero: 0 when below 1 (or not a
// number), -1 when past the int range, else the count.
int64_t countOf(double v) {
  const double t = std::trunc(v);
  if (!(t >= 1.0)) return 0;
  if (t > static_cast<double>(kIntLimit)) return -1;
  return static_cast<int64_t>(t);
}

// ---- Damaged bodies ---------------------------------------------------------
//
// A body may end in text (a note after the table), but numbers after that
// text, a number cut short ("1e") or rows that do not fit the format mean a
// damaged file: it is refused, naming the line, rather than read in part.

bool blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// The 1-based line of byte offset at; the stream keeps its position.
int lineAt(FILE *fp, long at) {
  const long back = std::ftell(fp);
  std::rewind(fp);
  int line = 1;
  for (long i = 0; i < at; ++i) {
    const int c = std::getc(fp);
    if (c == EOF) break;
    if (c == '\n' && line < kIntLimit) ++line;
  }
  std::fseek(fp, back, SEEK_SET);
  return line;
}

// The line just read by _prt14.
int lastLine(FILE *fp) { return lineAt(fp, std::ftell(fp) - 1); }

void refuseIncomplete(const char *name, int line, std::string_view word) {
  kivfprintf(stderr, "\nLine %d of file '%s' holds an incomplete number ('%s').\n", line, name,
             kiv::quoteCut(word).c_str());
}

void refuseText(const char *name, int line, std::string_view word) {
  kivfprintf(stderr, "\nLine %d of file '%s' holds '%s' where a number is expected.\n", line, name,
             kiv::quoteCut(word).c_str());
}

void refuseEmpty(const char *name) { kivfprintf(stderr, "\nFile '%s' has no data.\n", name); }

// The word that starts at p (blanks skipped) in [p, e).
std::string_view wordAt(const char *p, const char *e) {
  while (p < e && blank(*p)) ++p;
  const char *b = p;
  while (p < e && !blank(*p)) ++p;
  return {b, static_cast<size_t>(p - b)};
}

// What begins a word: a number, one cut short, or none.
NumberKind leadOf(std::string_view w) {
  double v;
  const char *end = nullptr;
  return numberIn(w.data(), w.data() + w.size(), v, &end);
}

// Whether a word begins with a number (whole or cut short).
bool numberish(std::string_view w) { return leadOf(w) != NumberKind::kNone; }

// Whether a number begins one of the words after the word at p in [p, e).
bool numberAfterWord(const char *p, const char *e) {
  const std::string_view w = wordAt(p, e);
  for (p = w.data() + w.size(); p < e;) {
    const std::string_view next = wordAt(p, e);
    if (next.empty()) return false;
    if (numberish(next)) return true;
    p = next.data() + next.size();
  }
  return false;
}

// The white-space separated words of a body read from a stream, each with
// the line it is on.
class Words {
 public:
  enum Got { kNumber, kEnd, kText, kIncomplete };

  explicit Words(FILE *fp) : fp_(fp), line_(lineAt(fp, std::ftell(fp))) {}

  // The next word; false at the end of the file.
  bool next() {
    int c;
    while ((c = std::getc(fp_)) != EOF && blank(static_cast<char>(c)))
      if (c == '\n') newLine();
    word_.clear();
    if (c == EOF) return false;
    at_ = line_;
    long_ = false;
    for (; c != EOF && !blank(static_cast<char>(c)); c = std::getc(fp_)) {
      if (word_.size() < kLongest)
        word_.push_back(static_cast<char>(c));
      else
        long_ = true;
    }
    if (c == '\n') newLine();
    return true;
  }

  // The next word as a number: the whole word must be one.
  Got number(double &v) {
    if (!next()) return kEnd;
    const char *b = word_.data(), *e = b + word_.size(), *end = nullptr;
    const NumberKind k = numberIn(b, e, v, &end);
    if (k == NumberKind::kIncomplete) return kIncomplete;
    return k == NumberKind::kNumber && end == e && !long_ ? kNumber : kText;
  }

  // The next word as a whole integer that fits an int.
  Got integer(int &v) {
    if (!next()) return kEnd;
    const char *end = nullptr;
    if (!long_ && kiv::parseInt(word_.c_str(), &end, &v) && *end == '\0') return kNumber;
    return leadOf(word_) == NumberKind::kIncomplete ? kIncomplete : kText;
  }

  // After a number read failed with got: the message (atEnd when the file
  // ended) and false.
  bool refuse(Got got, const char *name, const char *atEnd) const {
    if (got == kIncomplete)
      refuseIncomplete(name, at_, word_);
    else if (got == kText)
      refuseText(name, at_, word_);
    else
      kivfprintf(stderr, atEnd, name);
    return false;
  }

  // The body ended on a text word: true when no number follows it, else
  // false after the message.
  bool endsHere(const char *name) {
    const std::string word = word_;
    const int line = at_;
    while (next())
      if (numberish(word_)) {
        refuseText(name, line, word);
        return false;
      }
    return true;
  }

  // Whether a number (whole or cut short) follows; its word and line are
  // then at hand for a message.
  bool numberFollows() {
    while (next())
      if (numberish(word_)) return true;
    return false;
  }
  std::string_view word() const { return word_; }
  int line() const { return at_; }

 private:
  static constexpr size_t kLongest = 4096;
  void newLine() {
    if (line_ < kIntLimit) ++line_;
  }
  FILE *fp_;
  int line_;
  int at_ = 0;
  bool long_ = false;
  std::string word_;
};

// A line-read body stopped on the word at p of the current line: true when
// that text ends the body (no number after it, on this line or, with
// `later`, further on), else false after the message.
bool endsHere(FILE *fp, const char *name, const char *p, const char *lineEnd, bool later) {
  bool follows = numberAfterWord(p, lineEnd);
  if (!follows && later) {
    const long back = std::ftell(fp);
    Words rest(fp);
    follows = rest.numberFollows();
    std::fseek(fp, back, SEEK_SET);
  }
  if (follows) refuseText(name, lastLine(fp), wordAt(p, lineEnd));
  return !follows;
}

// The numbers at the start of [p, lineEnd) into out; p is left on the
// first word that is none, *last (when given) on the last number.  False
// after the message at a number cut short.
bool lineNumbers(FILE *fp, const char *name, const char *&p, const char *lineEnd,
                 std::vector<double> &out, const char **last = nullptr) {
  for (;;) {
    double v;
    const char *end = nullptr;
    const NumberKind k = numberIn(p, lineEnd, v, &end);
    if (k == NumberKind::kIncomplete) {
      refuseIncomplete(name, lastLine(fp), wordAt(p, lineEnd));
      return false;
    }
    if (k == NumberKind::kNone) break;
    out.push_back(v);
    if (last) *last = p;
    p = end;
  }
  while (p < lineEnd && blank(*p)) ++p;
  return true;
}

// Reads the table from the reader cache, the file or the caller-added
// tables.  store(origin) answers -1 when the store has no such table, else
// whether it was read; parse(fp) reads the body after the header.
template <class Store, class Parse>
int load(const char *name, TableHeader *h, bool refuseEmptyFile, Store &&store, Parse &&parse) {
  int s = store(KIV_TABLE_BY_READER);
  if (s >= 0) return s ? kDone : kFailed;
  File fp{CommonFopen(name, "r")};
  if (!fp) {
    s = store(KIV_TABLE_BY_CALLER);
    if (s >= 0) return s ? kDone : kFailed;
    kivfprintf(stderr, "\nImpossible to open file '%s'.\n", name);
    return kFailed;
  }
  if (refuseEmptyFile) {
    const int c = std::fgetc(fp.get());
    if (c == EOF) {
      kivfprintf(stderr, "\nFile '%s' is empty?\n", name);
      return kFailed;
    }
    std::ungetc(c, fp.get());
  }
  if (!_prt5(fp.get(), h)) {
    kivfprintf(stderr, "\nCheck header of file '%s'.\n", name);
    return kFailed;
  }
  try {
    return parse(fp.get());
  } catch (const std::bad_alloc &) {
    kivfprintf(stderr, "Memory allocation failed when reading '%s'.\n", name);
    return kFailed;
  }
}

// A header that names a format other than the reader's fails.
bool formatIs(const TableHeader *h, const char *name, int expected) {
  if (h->format < 0 || h->format == expected) return true;
  return _prt8(name, expected, h->format) != 0;
}

// Appends n values read from the body; false after the message (atEnd
// when the file ends first).
bool readValues(Words &w, const char *name, int64_t n, std::vector<double> &out, const char *atEnd) {
  out.reserve(out.size() + static_cast<size_t>(std::min<int64_t>(n, 1 << 16)));
  for (int64_t i = 0; i < n; ++i) {
    double v;
    const Words::Got got = w.number(v);
    if (got != Words::kNumber) return w.refuse(got, name, atEnd);
    out.push_back(v);
  }
  return true;
}

// Reads count values of a slice or part record; the file may not end, nor
// text come, inside one.
bool readRecord(Words &w, const char *name, double *v, int count) {
  for (int i = 0; i < count; ++i) {
    const Words::Got got = w.number(v[i]);
    if (got != Words::kNumber) return w.refuse(got, name, "\nCannot read file '%s'.\n");
  }
  return true;
}

enum class Start { kRecord, kBodyEnd, kBad };

// The first value of the next record (slice or part) in *v; kBodyEnd at
// the end of the file or at text that no number follows, kBad after the
// message.
Start recordStart(Words &w, const char *name, double *v) {
  const Words::Got got = w.number(*v);
  if (got == Words::kNumber) return Start::kRecord;
  if (got == Words::kEnd || (got == Words::kText && w.endsHere(name))) return Start::kBodyEnd;
  if (got == Words::kIncomplete) w.refuse(got, name, "");
  return Start::kBad;
}

template <class T>
void release(T **p) {
  if (p) {
    std::free(*p);
    *p = nullptr;
  }
}

// An array output of a reader: a null one is pointed at a local array
// that is read all the same and freed when the reader returns.
template <class T>
class ArrayOut {
 public:
  explicit ArrayOut(T **&out) {
    if (!out) out = &own_;
  }
  ~ArrayOut() { std::free(own_); }
  ArrayOut(const ArrayOut &) = delete;
  ArrayOut &operator=(const ArrayOut &) = delete;

 private:
  T *own_ = nullptr;
};

void cacheTokens(const char *name, int format, const TableHeader *h) {
  storeTokens(name, format, textsFromHeader(h->tokens, h->ntokens, h->ntokens), KIV_TABLE_BY_READER);
}

}  // namespace

extern "C" {

// ---- 0D -------------------------------------------------------------------

int rtable0du_(const char *name, int *n, double **values, const char *const *units) {
  int ndummy;
  if (!n) n = &ndummy;
  ArrayOut<double> valuesOut(values);
  *n = -1;
  *values = nullptr;
  if (!name) return -1;
  Header h = newHeader();
  auto store = [&](int origin) {
    if (!has0D(name, origin)) return -1;
    return read0DFromMemory(name, n, values, h.get(), origin) >= 0 ? 1 : 0;
  };
  auto parse = [&](FILE *fp) -> int {
    if (!formatIs(h.get(), name, KIV_TABLE_0D)) return kFailed;
    // One value per line, text after it a note; the first line without a
    // number ends the body.
    std::vector<double> v, row;
    v.reserve(4);
    while (_prt14(fp, h.get())) {
      const char *p = h->line;
      const char *lineEnd = p + std::strlen(p);
      row.clear();
      if (!lineNumbers(fp, name, p, lineEnd, row)) return kFailed;
      if (row.empty()) {
        if (!endsHere(fp, name, p, lineEnd, true)) return kFailed;
        break;
      }
      if (row.size() > 1 || (p < lineEnd && numberAfterWord(p, lineEnd))) {
        kivfprintf(stderr, "\nLine %d of file '%s' holds more than one number.\n", lastLine(fp), name);
        return kFailed;
      }
      if (v.size() >= static_cast<size_t>(kIntLimit)) {
        machineLimits(name);
        return kFailed;
      }
      v.push_back(row[0]);
    }
    if (v.empty()) {
      refuseEmpty(name);
      return kFailed;
    }
    const int count = static_cast<int>(v.size());
    if (cacheOn()) store0D(name, count, v.data(), textsFromHeader(h->units, h->nunits, 1), KIV_TABLE_BY_READER);
    *values = mallocCopy(v, "rtable0du");
    *n = count;
    return kDone;
  };
  if (load(name, h.get(), false, store, parse) == kFailed) return *n = -1;
  const Wanted want(units, 1);
  if (!convert(h.get(), 0, want.at(0), *values, *n, nullptr)) {
    release(values);
    return *n = -1;
  }
  return *n;
}

int rtable0d_(const char *name, int *n, double **values) { return rtable0du_(name, n, values, nullptr); }

// ---- 1D -------------------------------------------------------------------

int rtable1du_(const char *name, int *n, double **x, double **y, const char *const *units) {
  int ndummy;
  if (!n) n = &ndummy;
  ArrayOut<double> xOut(x), yOut(y);
  *n = -1;
  *x = *y = nullptr;
  if (!name) return -1;
  Header h = newHeader();
  auto store = [&](int origin) {
    if (!hasND(name, origin, nullptr)) return -1;
    return rtable1d_from_memory(name, n, x, y, h.get(), origin) >= 0 ? 1 : 0;
  };
  auto parse = [&](FILE *fp) -> int {
    if (!formatIs(h.get(), name, KIV_TABLE_1D)) return kFailed;
    if (h->columns > 0 && h->columns != 2) {
      kivfprintf(stderr, "\nFile '%s' contains more than 2 columns.\n", name);
      return kFailed;
    }
    // Pairs may run across lines; a number left without its partner when
    // the numbers run out means a damaged body, not a shorter table.
    std::vector<double> xs, ys, row;
    double x0 = 0.0;  // the x of a pair not yet complete
    bool half = false;
    std::string lonely;
    int lonelyLine = 0;
    bool stopped = false;
    while (!stopped && _prt14(fp, h.get())) {
      const char *p = h->line;
      const char *lineEnd = p + std::strlen(p);
      row.clear();
      const char *last = p;
      if (!lineNumbers(fp, name, p, lineEnd, row, &last)) return kFailed;
      stopped = p < lineEnd;
      if (stopped && !endsHere(fp, name, p, lineEnd, true)) return kFailed;
      if (row.empty()) continue;
      if (xs.size() + (row.size() + (half ? 1 : 0)) / 2 > static_cast<size_t>(kIntLimit)) {
        machineLimits(name);
        return kFailed;
      }
      for (const double v : row) {
        if (!half) {
          x0 = v;
          half = true;
          continue;
        }
        xs.push_back(x0);
        ys.push_back(v);
        half = false;
      }
      if (half) {
        const std::string_view word(last, static_cast<size_t>(std::min(p, lineEnd) - last));
        lonely = wordAt(word.data(), word.data() + word.size());
        lonelyLine = lastLine(fp);
      }
    }
    if (half) {
      kivfprintf(stderr, "\nLine %d of file '%s' holds an x value without its y value ('%s').\n",
                 lonelyLine, name, kiv::quoteCut(lonely).c_str());
      return kFailed;
    }
    if (xs.empty()) {
      refuseEmpty(name);
      return kFailed;
    }
    const int count = static_cast<int>(xs.size());
    kivfprintf(stdout, "\nNumber of x-y pairs read from file %s : %d\n\n", name, count);
    if (cacheOn()) {
      storeND(name, 1, &count, xs.data(), ys.data(), textsFromHeader(h->units, h->nunits, 2),
              KIV_TABLE_BY_READER);
      cacheTokens(name, KIV_TABLE_1D, h.get());
    }
    *x = mallocCopy(xs, "rtable1du");
    *y = mallocCopy(ys, "rtable1du");
    *n = count;
    return kDone;
  };
  bool ok = load(name, h.get(), true, store, parse) != kFailed;
  const Wanted want(units, 2);
  ok = ok && convert(h.get(), 1, want.at(1), *x, *n, "axis") &&
       convert(h.get(), 0, want.at(0), *y, *n, "table");
  if (!ok) {
    release(x);
    release(y);
    *n = -1;
  }
  return *n;
}

int rtable1d_(const char *name, int *n, double **x, double **y) {
  return rtable1du_(name, n, x, y, nullptr);
}

// ---- 1D..8D ---------------------------------------------------------------

int rtablend_(const char *name, int *dim, int **sizes, double **axes, double **values,
              const char *const *units) {
  ArrayOut<int> sizesOut(sizes);
  ArrayOut<double> axesOut(axes), valuesOut(values);
  *sizes = nullptr;
  *axes = *values = nullptr;
  if (!name || !dim) return 0;
  const int asked = *dim;
  int d = asked;
  Header h = newHeader();
  auto store = [&](int origin) {
    if (!hasND(name, origin, nullptr)) return -1;
    d = asked > 0 ? asked : 0;
    return rtablend_from_memory(name, &d, sizes, axes, values, h.get(), origin) >= 0 ? 1 : 0;
  };
  auto parse = [&](FILE *fp) -> int {
    const int fileDim = h->format < 0 ? -1 : kiv::tables::dimOfFormat(h->format);
    if (asked < 1) {
      if (fileDim < 1) {
        kivfprintf(stderr, "\nUnable to detect the dimension of the table in file '%s'.\n", name);
        return kFailed;
      }
      d = fileDim;
    } else if (h->format >= 0 && fileDim != asked) {
      kivfprintf(stderr, "\nTable dimension does not correspond to input value (%d and %d).\n",
                 fileDim, asked);
      return kFailed;
    }
    if (d == 1) return kAsOneD;
    std::vector<int> sz(static_cast<size_t>(d));
    Words w(fp);
    for (int &size : sz)
      if (const Words::Got got = w.integer(size); got != Words::kNumber) {
        w.refuse(got, name, "\nCannot read file '%s'.\n");
        return kFailed;
      }
    int64_t product = 1, sum = 0;
    for (int k = 0; k < d; ++k) {
      if (sz[static_cast<size_t>(k)] < 1) {
        kivfprintf(stderr, "\nThe number of points for axis %d is negative.\n", k + 1);
        return kFailed;
      }
      product *= sz[static_cast<size_t>(k)];
      sum += sz[static_cast<size_t>(k)];
      if (product > kIntLimit || sum > kIntLimit) {
        machineLimits(name);
        return kFailed;
      }
    }
    std::vector<double> ax, vals;
    if (!readValues(w, name, sum, ax, "\nCannot read x values from file '%s'.\n") ||
        !readValues(w, name, product, vals, "\nCannot read u values from file '%s'.\n"))
      return kFailed;
    // More numbers than the sizes call for: the sizes do not fit the table.
    if (w.numberFollows()) {
      kivfprintf(stderr, "\nLine %d of file '%s' holds '%s' after the last of the table values.\n",
                 w.line(), name, kiv::quoteCut(w.word()).c_str());
      return kFailed;
    }
    kivfprintf(stdout, "\nNumber of points read from file %s : ", name);
    for (int k = 0; k < d; ++k)
      kivfprintf(stdout, k + 1 < d ? "%d x " : "%d\n", sz[static_cast<size_t>(k)]);
    if (cacheOn()) {
      storeND(name, d, sz.data(), ax.data(), vals.data(), textsFromHeader(h->units, h->nunits, d + 1),
              KIV_TABLE_BY_READER);
      cacheTokens(name, kiv::tables::formatOfDim(d), h.get());
    }
    *sizes = mallocCopy(sz, "rtablend");
    *axes = mallocCopy(ax, "rtablend");
    *values = mallocCopy(vals, "rtablend");
    return kDone;
  };
  const int got = load(name, h.get(), false, store, parse);
  if (got == kFailed) return 0;
  if (got == kAsOneD) {
    int n = -1;
    if (rtable1du_(name, &n, axes, values, units) < 0) return 0;
    *sizes = mallocCopy(&n, 1, "rtablend");
    *dim = 1;
    return 1;
  }
  const Wanted want(units, d + 1);
  bool ok = true;
  int64_t offset = 0;
  char label[32];
  for (int k = 1; k <= d && ok; ++k) {
    std::snprintf(label, sizeof label, "axis %d", k);
    ok = convert(h.get(), k, want.at(k), *axes + offset, (*sizes)[k - 1], label);
    offset += (*sizes)[k - 1];
  }
  int64_t product = 1;
  for (int k = 0; k < d; ++k) product *= (*sizes)[k];
  ok = ok && convert(h.get(), 0, want.at(0), *values, product, "table");
  if (!ok) {
    release(sizes);
    release(axes);
    release(values);
    return 0;
  }
  *dim = d;
  return 1;
}

namespace {

// 2-D and 3-D reads through the N-D reader: the first pointer receives the
// whole axis array, the later ones copies of their parts.
int readAxes(const char *name, int dim, int *counts[], double **parts[], double **values,
             const char *const *units, const char *label) {
  for (int k = 0; k < dim; ++k) {
    if (counts[k]) *counts[k] = -1;
    if (parts[k]) *parts[k] = nullptr;
  }
  int d = dim;
  int *sizes = nullptr;
  double *axes = nullptr;
  if (!rtablend_(name, &d, &sizes, &axes, values, units)) return 0;
  size_t offset = 0;
  for (int k = 0; k < dim; ++k) {
    if (counts[k]) *counts[k] = sizes[k];
    if (k > 0 && parts[k]) *parts[k] = mallocCopy(axes + offset, static_cast<size_t>(sizes[k]), label);
    offset += static_cast<size_t>(sizes[k]);
  }
  if (parts[0])
    *parts[0] = axes;
  else
    std::free(axes);
  std::free(sizes);
  return 1;
}

}  // namespace

int rtable2du_(const char *name, int *nx, int *ny, double **x, double **y, double **z,
               const char *const *units) {
  int *counts[] = {nx, ny};
  double **parts[] = {x, y};
  return readAxes(name, 2, counts, parts, z, units, "rtable2du");
}

int rtable2d_(const char *name, int *nx, int *ny, double **x, double **y, double **z) {
  return rtable2du_(name, nx, ny, x, y, z, nullptr);
}

int rtable3du_(const char *name, int *nx, int *ny, int *nz, double **x, double **y, double **z,
               double **values, const char *const *units) {
  int *counts[] = {nx, ny, nz};
  double **parts[] = {x, y, z};
  return readAxes(name, 3, counts, parts, values, units, "rtable3du");
}

int rtable3d_(const char *name, int *nx, int *ny, int *nz, double **x, double **y, double **z,
              double **values) {
  return rtable3du_(name, nx, ny, nz, x, y, z, values, nullptr);
}

// ---- T1D ------------------------------------------------------------------

int rtablemd_(const char *name, int **sizes, double **x, double **y, double **z,
              const char *const *units) {
  ArrayOut<int> sizesOut(sizes);
  ArrayOut<double> xOut(x), yOut(y), zOut(z);
  *sizes = nullptr;
  *x = *y = *z = nullptr;
  if (!name) return -1;
  int slices = -1;
  Header h = newHeader();
  auto store = [&](int origin) {
    if (!hasT1D(name, origin)) return -1;
    slices = rtablemd_from_memory(name, sizes, x, y, z, h.get(), origin);
    return slices >= 0 ? 1 : 0;
  };
  auto parse = [&](FILE *fp) -> int {
    if (!formatIs(h.get(), name, KIV_TABLE_T1D)) return kFailed;
    std::vector<int> sz;
    std::vector<double> xs, ys, zs;
    sz.reserve(10);
    ys.reserve(10);
    int64_t points = 0;
    double head[2];
    Words w(fp);
    for (Start at; (at = recordStart(w, name, &head[0])) != Start::kBodyEnd;) {
      if (at == Start::kBad || !readRecord(w, name, &head[1], 1)) return kFailed;
      const int slice = static_cast<int>(sz.size()) + 1;
      const int64_t n = countOf(head[1]);
      if (n == 0) {
        kivfprintf(stderr, "\nThe number of points for slice %d is negative.\n", slice);
        return kFailed;
      }
      points += n;
      if (n < 0 || points > kIntLimit || slice == kIntLimit) {
        machineLimits(name);
        return kFailed;
      }
      for (int64_t i = 0; i < n; ++i) {
        double xz[2];
        if (!readRecord(w, name, xz, 2)) return kFailed;
        xs.push_back(xz[0]);
        zs.push_back(xz[1]);
      }
      sz.push_back(static_cast<int>(n));
      ys.push_back(head[0]);
    }
    if (sz.empty()) {
      refuseEmpty(name);
      return kFailed;
    }
    slices = static_cast<int>(sz.size());
    if (cacheOn()) {
      storeT1D(name, slices, sz.data(), xs.data(), ys.data(), zs.data(),
               textsFromHeader(h->units, h->nunits, 3), KIV_TABLE_BY_READER);
      cacheTokens(name, KIV_TABLE_T1D, h.get());
    }
    *sizes = mallocCopy(sz, "rtablemd");
    *x = mallocCopy(xs, "rtablemd");
    *y = mallocCopy(ys, "rtablemd");
    *z = mallocCopy(zs, "rtablemd");
    return kDone;
  };
  bool ok = load(name, h.get(), true, store, parse) != kFailed;
  if (ok) {
    int64_t points = 0;
    for (int i = 0; i < slices; ++i) points += (*sizes)[i];
    const Wanted want(units, 3);
    ok = convert(h.get(), 1, want.at(1), *x, points, "X axis") &&
         convert(h.get(), 2, want.at(2), *y, slices, "Y axis") &&
         convert(h.get(), 0, want.at(0), *z, points, "table");
  }
  if (!ok) {
    release(sizes);
    release(x);
    release(y);
    release(z);
    return -1;
  }
  return slices;
}

// ---- T3D ------------------------------------------------------------------

int rtablem3d_(const char *name, int *nparts, int **pointsPerSlice, int **slicesPerPart,
               double **x, double **y, double **z, double **values, const char *const *units) {
  int pdummy;
  if (!nparts) nparts = &pdummy;
  ArrayOut<int> pointsPerSliceOut(pointsPerSlice), slicesPerPartOut(slicesPerPart);
  ArrayOut<double> xOut(x), yOut(y), zOut(z), valuesOut(values);
  *nparts = -1;
  *pointsPerSlice = *slicesPerPart = nullptr;
  *x = *y = *z = *values = nullptr;
  if (!name) return -1;
  int slices = -1;
  Header h = newHeader();
  auto store = [&](int origin) {
    if (!hasT3D(name, origin)) return -1;
    slices = rtablem3d_from_memory(name, nparts, pointsPerSlice, slicesPerPart, x, y, z, values,
                                   h.get(), origin);
    return slices >= 0 ? 1 : 0;
  };
  auto parse = [&](FILE *fp) -> int {
    if (!formatIs(h.get(), name, KIV_TABLE_T3D)) return kFailed;
    std::vector<int> pps, spp;
    std::vector<double> xs, ys, zs, vs;
    pps.reserve(10);
    spp.reserve(10);
    int64_t points = 0, nslices = 0;
    double head[2];
    Words w(fp);
    for (Start at; (at = recordStart(w, name, &head[0])) != Start::kBodyEnd;) {
      if (at == Start::kBad || !readRecord(w, name, &head[1], 1)) return kFailed;
      const int part = static_cast<int>(spp.size()) + 1;
      const int64_t m = countOf(head[1]);
      if (m == 0) {
        kivfprintf(stderr, "\nThe number of slices for T1D part %d is negative.\n", part);
        return kFailed;
      }
      if (m < 0 || nslices + m > kIntLimit || part == kIntLimit) {
        machineLimits(name);
        return kFailed;
      }
      for (int64_t s = 1; s <= m; ++s) {
        double sh[2];
        if (!readRecord(w, name, sh, 2)) return kFailed;
        ++nslices;
        const int64_t n = countOf(sh[1]);
        if (n == 0) {
          kivfprintf(stderr, "\nThe number of points for slice %d (slice %d in T1D part %d) is negative.\n",
                     static_cast<int>(nslices), static_cast<int>(s), part);
          return kFailed;
        }
        points += n;
        if (n < 0 || points > kIntLimit) {
          machineLimits(name);
          return kFailed;
        }
        for (int64_t i = 0; i < n; ++i) {
          double xv[2];
          if (!readRecord(w, name, xv, 2)) return kFailed;
          xs.push_back(xv[0]);
          vs.push_back(xv[1]);
        }
        pps.push_back(static_cast<int>(n));
        ys.push_back(sh[0]);
      }
      spp.push_back(static_cast<int>(m));
      zs.push_back(head[0]);
    }
    if (spp.empty()) {
      refuseEmpty(name);
      return kFailed;
    }
    slices = static_cast<int>(nslices);
    const int parts = static_cast<int>(spp.size());
    kivfprintf(stdout, "\nNumber of points read from file %s :\n", name);
    kivfprintf(stdout, "%5d x points\n%5d y points\n%5d z points\n\n", static_cast<int>(points), slices,
               parts);
    if (cacheOn()) {
      storeT3D(name, parts, pps.data(), spp.data(), xs.data(), ys.data(), zs.data(), vs.data(),
               textsFromHeader(h->units, h->nunits, 4), KIV_TABLE_BY_READER);
      cacheTokens(name, KIV_TABLE_T3D, h.get());
    }
    *nparts = parts;
    *pointsPerSlice = mallocCopy(pps, "rtablem3d");
    *slicesPerPart = mallocCopy(spp, "rtablem3d");
    *x = mallocCopy(xs, "rtablem3d");
    *y = mallocCopy(ys, "rtablem3d");
    *z = mallocCopy(zs, "rtablem3d");
    *values = mallocCopy(vs, "rtablem3d");
    return kDone;
  };
  bool ok = load(name, h.get(), true, store, parse) != kFailed;
  if (ok) {
    int64_t points = 0;
    for (int i = 0; i < slices; ++i) points += (*pointsPerSlice)[i];
    const Wanted want(units, 4);
    ok = convert(h.get(), 1, want.at(1), *x, points, "X axis") &&
         convert(h.get(), 2, want.at(2), *y, slices, "Y axis") &&
         convert(h.get(), 3, want.at(3), *z, *nparts, "Z axis") &&
         convert(h.get(), 0, want.at(0), *values, points, "table");
  }
  if (!ok) {
    release(pointsPerSlice);
    release(slicesPerPart);
    release(x);
    release(y);
    release(z);
    release(values);
    *nparts = -1;
    return -1;
  }
  return slices;
}

// ---- XY -------------------------------------------------------------------

int rtablexy_(const char *name, int *nrows, int *ncols, double **data, const char *separators,
              const char *const *units) {
  int rdummy, cdummy;
  if (!nrows) nrows = &rdummy;
  if (!ncols) ncols = &cdummy;
  ArrayOut<double> dataOut(data);
  *nrows = *ncols = -1;
  *data = nullptr;
  if (!name) return 0;
  Header h = newHeader();
  auto store = [&](int origin) {
    if (!hasXY(name, origin)) return -1;
    return rtablexy_from_memory(name, nrows, ncols, data, h.get(), origin) >= 0 ? 1 : 0;
  };
  auto parse = [&](FILE *fp) -> int {
    if (!formatIs(h.get(), name, KIV_TABLE_XY)) return kFailed;
    // Numbers row after row, with where each row starts.
    // Text after a row's numbers is a note, and a line without numbers no
    // row; numbers after such text are not.
    std::vector<double> numbers;
    std::vector<size_t> starts;
    size_t cols = 0;
    while (_prt14(fp, h.get())) {
      char *line = h->line;
      for (char *c = line; *c; ++c)
        if (*c == '\t' || (separators && std::strchr(separators, *c))) *c = ' ';
      const size_t first = numbers.size();
      const char *p = line;
      const char *lineEnd = line + std::strlen(line);
      if (!lineNumbers(fp, name, p, lineEnd, numbers) || (p < lineEnd && !endsHere(fp, name, p, lineEnd, false)))
        return kFailed;
      const size_t count = numbers.size() - first;
      if (count == 0) continue;
      starts.push_back(first);
      cols = std::max(cols, count);
      if (static_cast<int64_t>(starts.size()) * static_cast<int64_t>(cols) > kIntLimit) {
        machineLimits(name);
        return kFailed;
      }
    }
    const size_t rows = starts.size();
    if (rows == 0) {
      refuseEmpty(name);
      return kFailed;
    }
    starts.push_back(numbers.size());
    // Cells that a shorter row lacks are not a number.
    std::vector<double> packed(rows * cols, std::numeric_limits<double>::quiet_NaN());
    for (size_t r = 0; r < rows; ++r)
      for (size_t c = 0; starts[r] + c < starts[r + 1]; ++c) packed[c * rows + r] = numbers[starts[r] + c];
    const int nr = static_cast<int>(rows), nc = static_cast<int>(cols);
    kivfprintf(stdout, "Read %d rows and %d columns from file %s.\n", nr, nc, name);
    if (h->nunits < nc) ResizeTheList(&h->units, &h->nunits, nc);
    if (cacheOn()) {
      storeXY(name, nr, nc, packed.data(), textsFromHeader(h->units, h->nunits, nc), KIV_TABLE_BY_READER);
      cacheTokens(name, KIV_TABLE_XY, h.get());
    }
    *data = mallocCopy(packed, "rtablexy");
    *nrows = nr;
    *ncols = nc;
    return kDone;
  };
  bool ok = load(name, h.get(), false, store, parse) != kFailed;
  if (ok) {
    const Wanted want(units, *ncols);
    char label[32];
    for (int j = 1; j <= *ncols && ok; ++j) {
      std::snprintf(label, sizeof label, "column %d", j);
      ok = convert(h.get(), j - 1, want.at(j - 1), *data + static_cast<int64_t>(j - 1) * *nrows, *nrows,
                   label);
    }
  }
  if (!ok) {
    release(data);
    *nrows = *ncols = -1;
    return 0;
  }
  return 1;
}

}  // extern "C"
