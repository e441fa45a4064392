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
#include <tuple>
#include <vector>

#include "runtime/cstring.hpp"
#include "runtime/numbers.hpp"
#include "runtime/textfile.hpp"
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

// ---- Bodies -----------------------------------------------------------------
//
// One rule for every body.  A "#" begins a note that runs to the end of its
// line, wherever it stands.  Where a reader takes a word (text that does not
// begin with a number) as the end of its data, that word's line is a note,
// whatever it holds.  Refused, naming the line: a number cut short ("1e"), a
// number run into other text ("1.0D+03", "0,5", "2.5mm": only a blank, a
// line end, "#" or one of the caller's separators may follow a number), a
// number no double can hold ("1e400"), text where a number is due, and a
// line that begins with a number after the data ended.  Files with such
// damage are refused rather than read in part.

int blankOrSeparator(int c, const char *separators) {
  if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') return 1;
  return c > 0 && separators && std::strchr(separators, c) ? 1 : 0;
}

// The words of a body read from the stream after its header, notes left
// out, each with its line.
class Body {
 public:
  // kUnread: the stream failed (a zero byte met), after its message.
  enum Kind { kEnd, kNumber, kWord, kGlued, kIncomplete, kOutOfRange, kUnread };

  Body(FILE *fp, const char *name, const char *separators = nullptr)
      : fp_(fp), name_(name), separators_(separators), line_(kiv::lineAt(fp, std::ftell(fp))), c_(std::getc(fp)) {}

  // The next word; with inLine, kEnd at the end of the current line as well
  // (the line end itself is left for the next call).
  Kind next(bool inLine = false) {
    for (;; c_ = std::getc(fp_)) {
      if (c_ == EOF) return end();
      if (c_ == '\n' && inLine) return kind_ = kEnd;
      if (c_ == '\n') {
        if (line_ < kIntLimit) ++line_;
      } else if (c_ == '#') {
        skipLine();
        if (c_ == EOF) return end();
        if (inLine) return kind_ = kEnd;
        if (line_ < kIntLimit) ++line_;
      } else if (!blankOrSeparator(c_, separators_)) {
        break;
      }
    }
    at_ = line_;
    text_.clear();
    for (; c_ != EOF && c_ != '\n' && c_ != '#' && !blankOrSeparator(c_, separators_); c_ = std::getc(fp_))
      text_.push_back(static_cast<char>(c_));
    const char *end = nullptr;
    switch (fieldIn(text_.data(), text_.data() + text_.size(), "", value_, &end)) {
      case Field::kNumber: return kind_ = kNumber;
      case Field::kText: return kind_ = kWord;
      case Field::kIncomplete: return kind_ = kIncomplete;
      case Field::kOutOfRange: return kind_ = kOutOfRange;
      case Field::kGlued: break;
    }
    return kind_ = kGlued;
  }

  // The current word as a whole number that fits an int.
  bool integer(int &v) const {
    const char *end = nullptr;
    return kind_ == kNumber && kiv::parseInt(text_.c_str(), &end, &v) && *end == '\0';
  }

  // The rest of the current line is a note.
  void skipLine() {
    while (c_ != EOF && c_ != '\n') c_ = std::getc(fp_);
  }

  // The current word is none of the numbers the body needs: the message
  // (atEnd with the file's name when the file ended) and false.
  bool refuse(const char *atEnd = "\nCannot read file '%s'.\n") const {
    const std::string word = kiv::quoteCut(text_);
    if (kind_ == kUnread) return false;
    if (kind_ == kEnd)
      kivfprintf(stderr, atEnd, name_);
    else if (kind_ == kOutOfRange)
      kiv::sayOutOfRange(at_, name_, text_);
    else if (kind_ == kIncomplete)
      kivfprintf(stderr, "\nLine %d of file '%s' holds an incomplete number ('%s').\n", at_, name_, word.c_str());
    else if (kind_ == kGlued)
      kivfprintf(stderr, "\nLine %d of file '%s' holds a number run into other text ('%s').\n", at_, name_,
                 word.c_str());
    else
      kivfprintf(stderr, "\nLine %d of file '%s' holds '%s' where a %snumber is expected.\n", at_, name_, word.c_str(),
                 kind_ == kNumber ? "whole " : "");
    return false;
  }

  // The data have ended before the current word: a word and its line are
  // a note, and so is every later line that begins with a word.  True when
  // only notes follow; false after the message at anything else.
  bool endsHere() {
    for (; kind_ != kEnd; next()) {
      if (kind_ == kUnread) return false;
      if (kind_ != kWord) {
        kivfprintf(stderr, "\nLine %d of file '%s' holds '%s' after the last of the table values.\n", at_, name_,
                   kiv::quoteCut(text_).c_str());
        return false;
      }
      skipLine();
    }
    return true;
  }

  // The current word ends a row: the rest of its line is a note unless a
  // number follows on it; false after the message then.
  bool rowNote() {
    const std::string word = text_;
    const int line = at_;
    while (next(true) != kEnd)
      if (kind_ == kUnread) {
        return false;
      } else if (kind_ != kWord) {
        kind_ = kWord;
        text_ = word;
        at_ = line;
        return refuse();
      }
    return true;
  }

  double value() const { return value_; }
  int line() const { return at_; }
  std::string_view text() const { return text_; }

 private:
  // The end of the stream: of the text, or of what could be read of it.
  Kind end() { return kind_ = kiv::readFailed(fp_) ? kUnread : kEnd; }

  FILE *fp_;
  const char *name_;
  const char *separators_;
  int line_;
  int c_;  // the character after the current word
  int at_ = 0;
  Kind kind_ = kEnd;
  double value_ = 0.0;
  std::string text_;
};

// Reads the table from the reader cache, the file or the caller-added
// tables.  store(origin) answers -1 when the store has no such table, else
// whether it was read; parse(fp) reads the body after the header.
template <class Store, class Parse>
int load(const char *name, TableHeader *h, bool refuseEmptyFile, Store &&store, Parse &&parse) {
  int s = store(KIV_TABLE_BY_READER);
  if (s >= 0) return s ? kDone : kFailed;
  kiv::TextStatus status = kiv::TextStatus::kNotOpened;
  File fp{openTable(name, &status)};
  if (!fp) {
    if (status == kiv::TextStatus::kReadFailed) return kFailed;
    s = store(KIV_TABLE_BY_CALLER);
    if (s >= 0) return s ? kDone : kFailed;
    kivfprintf(stderr, "\nImpossible to open file '%s'.\n", name);
    return kFailed;
  }
  if (refuseEmptyFile) {
    const int c = std::fgetc(fp.get());
    if (c == EOF) {
      if (!kiv::readFailed(fp.get())) kivfprintf(stderr, "\nFile '%s' is empty?\n", name);
      return kFailed;
    }
    std::ungetc(c, fp.get());
  }
  if (!_prt5(fp.get(), h)) {
    kivfprintf(stderr, "\nCheck header of file '%s'.\n", name);
    return kFailed;
  }
  if (kiv::readFailed(fp.get())) return kFailed;
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

// The next word as a number; false after the message (atEnd when the
// file ends first).
bool number(Body &b, double &v, const char *atEnd = "\nCannot read file '%s'.\n") {
  if (b.next() != Body::kNumber) return b.refuse(atEnd);
  v = b.value();
  return true;
}

// Appends n values read from the body; false after the message.
bool readValues(Body &b, int64_t n, std::vector<double> &out, const char *atEnd) {
  out.reserve(out.size() + static_cast<size_t>(std::min<int64_t>(n, 1 << 16)));
  for (double v; n > 0; --n, out.push_back(v))
    if (!number(b, v, atEnd)) return false;
  return true;
}

// Reads count values of a slice or part record; the file may not end, nor
// text come, inside one.
bool readRecord(Body &b, double *v, int count) {
  for (int i = 0; i < count; ++i)
    if (!number(b, v[i])) return false;
  return true;
}

enum class Start { kRecord, kBodyEnd, kBad };

// The first value of the next record (slice or part) in *v; kBodyEnd where
// the data end, kBad after the message.
Start recordStart(Body &b, double *v) {
  switch (b.next()) {
    case Body::kNumber: *v = b.value(); return Start::kRecord;
    case Body::kEnd: return Start::kBodyEnd;
    case Body::kWord: return b.endsHere() ? Start::kBodyEnd : Start::kBad;
    default: return b.refuse() ? Start::kBodyEnd : Start::kBad;
  }
}

template <class T>
void release(T **p) {
  if (p) {
    std::free(*p);
    *p = nullptr;
  }
}

// The outputs a reader has filled, freed and nulled should the run end
// (or the reader fail) before it returns them.
template <class... T>
class Filled {
 public:
  explicit Filled(T **...out) : out_(out...) {}
  ~Filled() {
    if (!kept_) std::apply([](auto *...p) { (release(p), ...); }, out_);
  }
  Filled(const Filled &) = delete;
  Filled &operator=(const Filled &) = delete;
  void keep() { kept_ = true; }

 private:
  std::tuple<T **...> out_;
  bool kept_ = false;
};

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
    // The first number of each line, the rest of the line a note; any
    // header format will do.
    std::vector<double> v;
    v.reserve(4);
    Body b(fp, name);
    for (Body::Kind k; (k = b.next()) != Body::kEnd; b.skipLine()) {
      if (k == Body::kWord) {
        if (!b.endsHere()) return kFailed;
        break;
      }
      if (k != Body::kNumber) {
        b.refuse();
        return kFailed;
      }
      if (v.size() >= static_cast<size_t>(kIntLimit)) {
        machineLimits(name);
        return kFailed;
      }
      v.push_back(b.value());
    }
    const int count = static_cast<int>(v.size());
    if (cacheOn(fp)) store0D(name, count, v.data(), textsFromHeader(h->units, h->nunits, 1), KIV_TABLE_BY_READER);
    *values = mallocCopy(v, "rtable0du");
    *n = count;
    return kDone;
  };
  Filled filled(values);
  if (load(name, h.get(), false, store, parse) == kFailed) return *n = -1;
  const Wanted want(units, 1);
  if (!convert(h.get(), 0, want.at(0), *values, *n, nullptr)) {
    release(values);
    return *n = -1;
  }
  filled.keep();
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
    // Pairs may run across lines until a word ends them; a number left
    // without its partner there means a damaged body, not a shorter table.
    std::vector<double> xs, ys;
    double x0 = 0.0;  // the x of a pair not yet complete
    bool half = false;
    std::string lonely;
    int lonelyLine = 0;
    Body b(fp, name);
    for (Body::Kind k; (k = b.next()) != Body::kEnd;) {
      if (k == Body::kWord && !half) {
        if (!b.endsHere()) return kFailed;
        break;
      }
      if (k != Body::kNumber) {
        b.refuse();
        return kFailed;
      }
      if (!half) {
        x0 = b.value();
        lonely = b.text();
        lonelyLine = b.line();
      } else if (xs.size() < static_cast<size_t>(kIntLimit)) {
        xs.push_back(x0);
        ys.push_back(b.value());
      } else {
        machineLimits(name);
        return kFailed;
      }
      half = !half;
    }
    if (half) {
      kivfprintf(stderr, "\nLine %d of file '%s' holds an x value without its y value ('%s').\n",
                 lonelyLine, name, kiv::quoteCut(lonely).c_str());
      return kFailed;
    }
    if (xs.empty()) {
      kivfprintf(stderr, "\nFile '%s' has no data.\n", name);
      return kFailed;
    }
    const int count = static_cast<int>(xs.size());
    kivfprintf(stdout, "\nNumber of x-y pairs read from file %s : %d\n\n", name, count);
    if (cacheOn(fp)) {
      storeND(name, 1, &count, xs.data(), ys.data(), textsFromHeader(h->units, h->nunits, 2),
              KIV_TABLE_BY_READER);
      cacheTokens(name, KIV_TABLE_1D, h.get());
    }
    *x = mallocCopy(xs, "rtable1du");
    *y = mallocCopy(ys, "rtable1du");
    *n = count;
    return kDone;
  };
  Filled filled(x, y);
  bool ok = load(name, h.get(), true, store, parse) != kFailed;
  const Wanted want(units, 2);
  ok = ok && convert(h.get(), 1, want.at(1), *x, *n, "axis") &&
       convert(h.get(), 0, want.at(0), *y, *n, "table");
  if (!ok) {
    release(x);
    release(y);
    *n = -1;
  }
  filled.keep();
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
  // A 1D table is handed on to its reader, which opens the name again.
  const kiv::KeepTexts handedOn;
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
    Body b(fp, name);
    for (int &size : sz)
      if (b.next() != Body::kNumber || !b.integer(size)) {
        b.refuse();
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
    if (!readValues(b, sum, ax, "\nCannot read x values from file '%s'.\n") ||
        !readValues(b, product, vals, "\nCannot read u values from file '%s'.\n"))
      return kFailed;
    // More numbers than the sizes call for: the sizes do not fit the table.
    b.next();
    if (!b.endsHere()) return kFailed;
    kivfprintf(stdout, "\nNumber of points read from file %s : ", name);
    for (int k = 0; k < d; ++k)
      kivfprintf(stdout, k + 1 < d ? "%d x " : "%d\n", sz[static_cast<size_t>(k)]);
    if (cacheOn(fp)) {
      storeND(name, d, sz.data(), ax.data(), vals.data(), textsFromHeader(h->units, h->nunits, d + 1),
              KIV_TABLE_BY_READER);
      cacheTokens(name, kiv::tables::formatOfDim(d), h.get());
    }
    *sizes = mallocCopy(sz, "rtablend");
    *axes = mallocCopy(ax, "rtablend");
    *values = mallocCopy(vals, "rtablend");
    return kDone;
  };
  Filled filled(sizes, axes, values);
  const int got = load(name, h.get(), false, store, parse);
  if (got == kFailed) return 0;
  if (got == kAsOneD) {
    int n = -1;
    if (rtable1du_(name, &n, axes, values, units) < 0) return 0;
    *sizes = mallocCopy(&n, 1, "rtablend");
    filled.keep();
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
  filled.keep();
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
  int *rawSizes = nullptr;
  double *rawAxes = nullptr, *rawValues = nullptr;
  if (!rtablend_(name, &d, &rawSizes, &rawAxes, &rawValues, units)) return 0;
  const std::unique_ptr<int, decltype(&std::free)> sizes(rawSizes, &std::free);
  std::unique_ptr<double, decltype(&std::free)> axes(rawAxes, &std::free), read(rawValues, &std::free);
  Outputs out(label);
  size_t offset = 0;
  for (int k = 0; k < dim; ++k) {
    if (k > 0) out.add(parts[k], axes.get() + offset, static_cast<size_t>(sizes.get()[k]));
    offset += static_cast<size_t>(sizes.get()[k]);
  }
  out.publish();
  for (int k = 0; k < dim; ++k)
    if (counts[k]) *counts[k] = sizes.get()[k];
  if (parts[0]) *parts[0] = axes.release();
  if (values) *values = read.release();
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
    Body b(fp, name);
    for (Start at; (at = recordStart(b, &head[0])) != Start::kBodyEnd;) {
      if (at == Start::kBad || !readRecord(b, &head[1], 1)) return kFailed;
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
        if (!readRecord(b, xz, 2)) return kFailed;
        xs.push_back(xz[0]);
        zs.push_back(xz[1]);
      }
      sz.push_back(static_cast<int>(n));
      ys.push_back(head[0]);
    }
    slices = static_cast<int>(sz.size());
    if (cacheOn(fp)) {
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
  Filled filled(sizes, x, y, z);
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
  filled.keep();
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
    Body b(fp, name);
    for (Start at; (at = recordStart(b, &head[0])) != Start::kBodyEnd;) {
      if (at == Start::kBad || !readRecord(b, &head[1], 1)) return kFailed;
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
        if (!readRecord(b, sh, 2)) return kFailed;
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
          if (!readRecord(b, xv, 2)) return kFailed;
          xs.push_back(xv[0]);
          vs.push_back(xv[1]);
        }
        pps.push_back(static_cast<int>(n));
        ys.push_back(sh[0]);
      }
      spp.push_back(static_cast<int>(m));
      zs.push_back(head[0]);
    }
    slices = static_cast<int>(nslices);
    const int parts = static_cast<int>(spp.size());
    kivfprintf(stdout, "\nNumber of points read from file %s :\n", name);
    kivfprintf(stdout, "%5d x points\n%5d y points\n%5d z points\n\n", static_cast<int>(points), slices,
               parts);
    if (cacheOn(fp)) {
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
  Filled filled(pointsPerSlice, slicesPerPart, x, y, z, values);
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
  filled.keep();
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
    // Numbers row after row, with where each row starts.  A word after a
    // row's numbers makes the rest of its line a note, and a line without
    // numbers is no row.
    std::vector<double> numbers;
    std::vector<size_t> starts;
    size_t cols = 0;
    Body b(fp, name, separators);
    for (Body::Kind k; (k = b.next()) != Body::kEnd;) {
      const size_t first = numbers.size();
      for (; k == Body::kNumber; k = b.next(true)) numbers.push_back(b.value());
      if (k == Body::kWord ? !b.rowNote() : k != Body::kEnd) {
        if (k != Body::kWord) b.refuse();
        return kFailed;
      }
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
    starts.push_back(numbers.size());
    // Cells that a shorter row lacks are not a number.
    std::vector<double> packed(rows * cols, std::numeric_limits<double>::quiet_NaN());
    for (size_t r = 0; r < rows; ++r)
      for (size_t c = 0; starts[r] + c < starts[r + 1]; ++c) packed[c * rows + r] = numbers[starts[r] + c];
    const int nr = static_cast<int>(rows), nc = static_cast<int>(cols);
    kivfprintf(stdout, "Read %d rows and %d columns from file %s.\n", nr, nc, name);
    if (h->nunits < nc) ResizeTheList(&h->units, &h->nunits, nc);
    if (cacheOn(fp)) {
      storeXY(name, nr, nc, packed.data(), textsFromHeader(h->units, h->nunits, nc), KIV_TABLE_BY_READER);
      cacheTokens(name, KIV_TABLE_XY, h.get());
    }
    *data = mallocCopy(packed, "rtablexy");
    *nrows = nr;
    *ncols = nc;
    return kDone;
  };
  Filled filled(data);
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
  filled.keep();
  return 1;
}

}  // extern "C"
