// Inside view of the table files: helpers shared by the header parser, the
// readers and the in-memory store.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "runtime/textfile.hpp"
#include "tables/kiv_tablefiles.h"

namespace kiv::tables {

// A unit or token list as the store keeps it; an empty text stands for an
// absent entry.
using Texts = std::vector<std::string>;

inline constexpr int kIntLimit = 2147483647;

// The largest XY column (or axis) index a header line may name.
inline constexpr int kMaxHeaderColumns = 65536;

struct FileCloser {
  void operator()(FILE *f) const {
    if (f) std::fclose(f);
  }
};
using File = std::unique_ptr<FILE, FileCloser>;

struct HeaderDeleter {
  void operator()(TableHeader *h) const { _prt2(h); }
};
using Header = std::unique_ptr<TableHeader, HeaderDeleter>;

inline Header newHeader() { return Header(_prt1()); }

using kiv::guardAllocation;

// CommonFopen(name, "r") telling a file that does not open (nothing said)
// from one whose reading failed (after the message): readers fall back on
// the store in the first case only.  A query (kQuery) hands a pipe's text
// to the reader that opens the name next.
FILE *openTable(const char *name, kiv::TextStatus *status, kiv::TextUse use = kiv::TextUse::kRead);

// The name under which the store files a table: circuit-name placeholders
// expanded, as on every lookup.
std::string storeName(const char *name);

// A caller's list: up to count entries, ending early at a null entry.
Texts textsFromList(const char *const *list, int count);
// A header's list: exactly count entries, null entries kept as holes.
Texts textsFromHeader(char **list, int nlist, int count);

// Replaces the header's unit and token lists by copies; sets verbose.
void fillHeader(TableHeader *header, const Texts &units, const Texts &tokens);

// A malloc'd copy of the vector, or null when it is empty.
template <class T>
T *mallocCopy(const std::vector<T> &v, const char *label) {
  if (v.empty()) return nullptr;
  T *p = static_cast<T *>(std::malloc(v.size() * sizeof(T)));
  if (!p) MemoryError(label);
  std::copy(v.begin(), v.end(), p);
  return p;
}
template <class T>
T *mallocCopy(const T *first, size_t n, const char *label) {
  if (n == 0) return nullptr;
  T *p = static_cast<T *>(std::malloc(n * sizeof(T)));
  if (!p) MemoryError(label);
  std::copy(first, first + n, p);
  return p;
}

// Copies for a reader's outputs, handed over together: when one cannot be
// made, the run ends with the ones made before it freed and no output
// written.
class Outputs {
 public:
  explicit Outputs(const char *label) : label_(label) {}
  ~Outputs() {
    for (size_t i = 0; i < count_; ++i) std::free(made_[i].copy);
  }
  Outputs(const Outputs &) = delete;
  Outputs &operator=(const Outputs &) = delete;

  template <class T>
  void add(T **out, const T *first, size_t n) {
    if (!out) return;
    if (count_ == kRoom) std::abort();  // more outputs than any reader has
    made_[count_] = {out, mallocCopy(first, n, label_), &write<T>};
    ++count_;
  }
  template <class T>
  void add(T **out, const std::vector<T> &v) {
    add(out, v.data(), v.size());
  }
  // Every output written; the caller owns the copies from here on.
  void publish() {
    for (size_t i = 0; i < count_; ++i) made_[i].write(made_[i].out, made_[i].copy);
    count_ = 0;
  }

 private:
  template <class T>
  static void write(void *out, void *copy) {
    *static_cast<T **>(out) = static_cast<T *>(copy);
  }
  struct Made {
    void *out;
    void *copy;
    void (*write)(void *, void *);
  };
  static constexpr size_t kRoom = 8;
  Made made_[kRoom] = {};
  size_t count_ = 0;
  const char *label_;
};

// A malloc'd string list of the texts (empty texts become null entries).
char **mallocTexts(const Texts &texts, const char *label);
// Frees a malloc'd string list of n entries.
void freeTexts(char **list, int n);
// A malloc'd copy of the lines and its count; null when there is none.
char **copyLines(const std::vector<std::string> &lines, int *count);

// Store adds with an explicit origin and unit list (readers cache with
// origin 2 and the header's units).  They copy everything.
void store0D(const char *name, int n, const double *values, Texts units, int origin);
void storeND(const char *name, int dim, const int *sizes, const double *axes,
             const double *values, Texts units, int origin);
void storeT1D(const char *name, int nslices, const int *sizes, const double *x,
              const double *y, const double *z, Texts units, int origin);
void storeT3D(const char *name, int nparts, const int *pointsPerSlice, const int *slicesPerPart,
              const double *x, const double *y, const double *z, const double *values,
              Texts units, int origin);
void storeXY(const char *name, int rows, int cols, const double *data, Texts units, int origin);
void storeLines(const char *name, const std::vector<std::string> &lines, int origin,
                const std::vector<int> &numbers = {});
void storeTokens(const char *name, int format, Texts tokens, int origin);

// 0D read with the header's units: the store keeps the unit of the values
// so that a cached 0D table converts as the first read did.
int read0DFromMemory(const char *name, int *n, double **values, TableHeader *header, int origin);

// Cleaned lines of a text with the line of the text each one is.
struct NumberedLines {
  std::vector<std::string> lines;
  std::vector<int> numbers;
};

// A line of a line list that is a comment, left out when asked.
inline bool commentLine(const std::string &line) { return !line.empty() && line[0] == '#'; }
// The stored multi-line table of that name and origin, kept so; false when
// there is none.
bool linesFromMemory(const char *name, int origin, bool skipComments, NumberedLines &out);

// rtableml_quiet with the lines' numbers: the count, 0 for an empty text
// and -1 when nothing could be read, after rtableml_quiet's messages.
int readLineList(const char *name, bool skipComments, int verbose, NumberedLines &out);

// Existence with any origin.
bool has0D(const char *name, int origin);
bool hasND(const char *name, int origin, int *dim);
bool hasT1D(const char *name, int origin);
bool hasT3D(const char *name, int origin);
bool hasLines(const char *name, int origin);
bool hasXY(const char *name, int origin);

// The first line of a multi-line table of that name and origin (comment
// lines kept); false when the table is absent or empty.
bool firstStoredLine(const char *name, int origin, std::string *line);

// The reader-cache switch; with a stream, whether what it reads may be
// cached: a pipe's next writer may write another text.
bool cacheOn();
bool cacheOn(FILE *fp);

// The format code of a grid of dim axes (1..8), -1 outside; the axes of a
// format code (1 for a code that has none).
int formatOfDim(int dim);
int dimOfFormat(int code);

}  // namespace kiv::tables
