// The process-wide in-memory table store: tables added by callers (origin 1)
// and the readers' cache (origin 2), one list per format, emptied at the end
// of the run.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "runtime/cstring.hpp"
#include "tables/rtable.hpp"

namespace kiv::tables {
namespace {

struct Record {
  std::string name;
  Texts units;
  Texts tokens;
  int origin = 0;
};

struct Rec0D : Record {
  std::vector<double> values;
};

struct RecND : Record {
  int dim = 0;
  std::vector<int> sizes;
  std::vector<double> axes;
  std::vector<double> values;
};

struct RecT1D : Record {
  std::vector<int> sizes;
  std::vector<double> x, y, z;
};

struct RecT3D : Record {
  std::vector<int> pointsPerSlice;
  std::vector<int> slicesPerPart;
  std::vector<double> x, y, z, values;
};

struct RecLines : Record {
  std::vector<std::string> lines;
  std::vector<int> numbers;  // the line of the file each came from; none for a caller's table
};

struct RecXY : Record {
  int rows = 0;
  int cols = 0;
  std::vector<double> data;
};

template <class R>
struct List {
  std::vector<std::unique_ptr<R>> records;
  bool hooked = false;  // clean-up installed for the current run
};

List<Rec0D> &list0D() {
  static List<Rec0D> l;
  return l;
}
List<RecND> &listND() {
  static List<RecND> l;
  return l;
}
List<RecT1D> &listT1D() {
  static List<RecT1D> l;
  return l;
}
List<RecT3D> &listT3D() {
  static List<RecT3D> l;
  return l;
}
List<RecLines> &listLines() {
  static List<RecLines> l;
  return l;
}
List<RecXY> &listXY() {
  static List<RecXY> l;
  return l;
}

template <class R>
void clear(List<R> &l) {
  l.records.clear();
  l.records.shrink_to_fit();
  l.hooked = false;
}

// End-of-run clean-up, one per list.
void _p14(int, int) { clear(list0D()); }
void _p17(int, int) { clear(listND()); }
void _p20(int, int) { clear(listT1D()); }
void _p23(int, int) { clear(listT3D()); }
void _p26(int, int) { clear(listLines()); }
void _p30(int, int) { clear(listXY()); }

template <class R>
R *find(List<R> &l, const char *name, int origin) {
  if (!name) return nullptr;
  const std::string key = storeName(name);
  for (auto &r : l.records)
    if (r->origin == origin && r->name == key) return r.get();
  return nullptr;
}

// A new record at the end of the list; a second record of the same name and
// origin is never reached while the first exists.
template <class R>
R &append(List<R> &l, KivAtEndFn cleanup, const char *name, Texts units, int origin,
          const char *grow_label, const char *label) {
  if (l.records.size() == l.records.capacity())
    guardAllocation(grow_label, [&] { l.records.reserve(l.records.capacity() + 5); });
  return guardAllocation(label, [&]() -> R & {
    if (!l.hooked) {
      KivInstallAtEnd(cleanup, 0);
      l.hooked = true;
    }
    auto r = std::make_unique<R>();
    r->name = storeName(name);
    r->units = std::move(units);
    r->origin = origin;
    l.records.push_back(std::move(r));
    return *l.records.back();
  });
}

// Sum of n non-negative counts in 64 bits; -1 for a negative count or a sum
// past the int range.
int64_t total(const int *counts, int n) {
  int64_t s = 0;
  for (int i = 0; i < n; ++i) {
    if (counts[i] < 0) return -1;
    s += counts[i];
    if (s > kIntLimit) return -1;
  }
  return s;
}

template <class T>
std::vector<T> copyOf(const T *p, int64_t n) {
  if (n <= 0 || !p) return std::vector<T>(static_cast<size_t>(n > 0 ? n : 0));
  return std::vector<T>(p, p + n);
}

void setNull(double **p) {
  if (p) *p = nullptr;
}
void setNull(int **p) {
  if (p) *p = nullptr;
}

}  // namespace

std::string storeName(const char *name) {
  if (!name) return {};
  char *raw = nullptr;
  const bool named = CheckCircuitName(name, &raw);
  const std::unique_ptr<char, decltype(&std::free)> expanded(raw, &std::free);
  if (named && expanded) return expanded.get();
  return name;
}

Texts textsFromList(const char *const *list, int count) {
  Texts t;
  if (!list) return t;
  for (int i = 0; i < count && list[i]; ++i) t.emplace_back(list[i]);
  return t;
}

Texts textsFromHeader(char **list, int nlist, int count) {
  Texts t(static_cast<size_t>(count > 0 ? count : 0));
  for (int i = 0; i < count && i < nlist && list; ++i)
    if (list[i]) t[static_cast<size_t>(i)] = list[i];
  return t;
}

char **mallocTexts(const Texts &texts, const char *label) {
  if (texts.empty()) return nullptr;
  char **out = static_cast<char **>(std::calloc(texts.size(), sizeof(char *)));
  if (!out) MemoryError(label);
  for (size_t i = 0; i < texts.size(); ++i) {
    if (texts[i].empty()) continue;
    out[i] = static_cast<char *>(std::malloc(texts[i].size() + 1));
    if (!out[i]) {
      freeTexts(out, static_cast<int>(i));
      MemoryError(label);
    }
    std::memcpy(out[i], texts[i].c_str(), texts[i].size() + 1);
  }
  return out;
}

void freeTexts(char **list, int n) {
  if (!list) return;
  for (int i = 0; i < n; ++i) std::free(list[i]);
  std::free(list);
}

char **copyLines(const std::vector<std::string> &lines, int *count) {
  *count = 0;
  if (lines.empty()) return nullptr;
  char **out = static_cast<char **>(std::calloc(lines.size(), sizeof(char *)));
  if (!out) MemoryError("CopyStringList failed to malloc memory");
  for (size_t i = 0; i < lines.size(); ++i) {
    out[i] = static_cast<char *>(std::malloc(lines[i].size() + 1));
    if (!out[i]) {
      kiv::MutedMessages::sayFatal(stderr, "CopyString error : unable to allocate memory.\n");
      freeTexts(out, static_cast<int>(i));
      MemoryError("CopyStringList failed to malloc memory");
    }
    std::memcpy(out[i], lines[i].c_str(), lines[i].size() + 1);
  }
  *count = static_cast<int>(lines.size());
  return out;
}

void fillHeader(TableHeader *header, const Texts &units, const Texts &tokens) {
  if (!header) return;
  freeTexts(header->units, header->nunits);
  header->units = nullptr;
  header->nunits = 0;
  freeTexts(header->tokens, header->ntokens);
  header->tokens = nullptr;
  header->ntokens = 0;
  header->units = mallocTexts(units, "CopyStringList failed to malloc memory");
  header->nunits = header->units ? static_cast<int>(units.size()) : 0;
  header->tokens = mallocTexts(tokens, "CopyStringList failed to malloc memory");
  header->ntokens = header->tokens ? static_cast<int>(tokens.size()) : 0;
  header->verbose = 1;
}

void store0D(const char *name, int n, const double *values, Texts units, int origin) {
  units.resize(1);
  auto &r = append(list0D(), &_p14, name, std::move(units), origin,
                   "rtable0d_add failed to do a realloc", "rtable0d_add failed to calloc memory");
  guardAllocation("rtable0d_add failed to malloc memory", [&] { r.values = copyOf(values, n); });
}

void storeND(const char *name, int dim, const int *sizes, const double *axes,
             const double *values, Texts units, int origin) {
  units.resize(static_cast<size_t>(dim + 1));
  auto &r = append(listND(), &_p17, name, std::move(units), origin,
                   "rtablend_add failed to do a realloc", "rtablend_add failed to calloc memory");
  guardAllocation("rtablend_add failed to malloc memory", [&] {
    r.dim = dim;
    r.sizes = copyOf(sizes, dim);
    int64_t product = 1;
    for (int s : r.sizes) product *= s;
    r.axes = copyOf(axes, total(r.sizes.data(), dim));
    r.values = copyOf(values, product);
  });
}

void storeT1D(const char *name, int nslices, const int *sizes, const double *x,
              const double *y, const double *z, Texts units, int origin) {
  units.resize(3);
  auto &r = append(listT1D(), &_p20, name, std::move(units), origin,
                   "rtablemd_add failed to do a realloc", "rtablemd_add failed to calloc memory");
  guardAllocation("rtablemd_add failed to malloc memory", [&] {
    r.sizes = copyOf(sizes, nslices);
    const int64_t points = total(r.sizes.data(), nslices);
    r.x = copyOf(x, points);
    r.y = copyOf(y, nslices);
    r.z = copyOf(z, points);
  });
}

void storeT3D(const char *name, int nparts, const int *pointsPerSlice, const int *slicesPerPart,
              const double *x, const double *y, const double *z, const double *values,
              Texts units, int origin) {
  units.resize(4);
  auto &r = append(listT3D(), &_p23, name, std::move(units), origin,
                   "rtablem3d_add failed to do a realloc", "rtablem3d_add tablesm3d_ptr");
  guardAllocation("rtablem3d_add name, x_f_sizes, y_sizes, xvalues etc.", [&] {
    r.slicesPerPart = copyOf(slicesPerPart, nparts);
    const int64_t slices = total(r.slicesPerPart.data(), nparts);
    r.pointsPerSlice = copyOf(pointsPerSlice, slices);
    const int64_t points = total(r.pointsPerSlice.data(), static_cast<int>(slices));
    r.x = copyOf(x, points);
    r.y = copyOf(y, slices);
    r.z = copyOf(z, nparts);
    r.values = copyOf(values, points);
  });
}

void storeXY(const char *name, int rows, int cols, const double *data, Texts units, int origin) {
  units.resize(static_cast<size_t>(cols));
  auto &r = append(listXY(), &_p30, name, std::move(units), origin,
                   "rtablexy_add failed to do a realloc", "rtablexy_add failed to calloc memory");
  guardAllocation("rtablexy_add failed to malloc memory", [&] {
    r.rows = rows;
    r.cols = cols;
    r.data = copyOf(data, static_cast<int64_t>(rows) * cols);
  });
}

void storeLines(const char *name, const std::vector<std::string> &lines, int origin,
                const std::vector<int> &numbers) {
  auto &r = append(listLines(), &_p26, name, Texts{}, origin,
                   "rtable_multi_line_add failed to do a realloc",
                   "rtable_multi_line_add failed to calloc memory");
  guardAllocation("rtable_multi_line_add failed to calloc memory", [&] {
    r.lines = lines;
    r.numbers = numbers;
  });
}

namespace {

// The lines (comments left out when asked) and their numbers: numbers[i],
// or i + 1 where numbers has none.
void keepLines(const std::vector<std::string> &lines, const std::vector<int> &numbers, bool skipComments,
               NumberedLines &out) {
  out = NumberedLines{};
  guardAllocation("rtableml", [&] {
    for (size_t i = 0; i < lines.size(); ++i) {
      if (skipComments && commentLine(lines[i])) continue;
      out.lines.push_back(lines[i]);
      // A caller's table has no file: its lines count as they stand.
      out.numbers.push_back(i < numbers.size() ? numbers[i] : static_cast<int>(std::min<size_t>(i + 1, kIntLimit)));
    }
  });
}

}  // namespace

bool linesFromMemory(const char *name, int origin, bool skipComments, NumberedLines &out) {
  const RecLines *r = find(listLines(), name, origin);
  if (r) keepLines(r->lines, r->numbers, skipComments, out);
  return r != nullptr;
}

void storeTokens(const char *name, int format, Texts tokens, int origin) {
  Record *r = nullptr;
  if (format >= 0 && format <= 7)
    r = find(listND(), name, origin);
  else if (format == KIV_TABLE_T1D)
    r = find(listT1D(), name, origin);
  else if (format == KIV_TABLE_XY)
    r = find(listXY(), name, origin);
  else if (format == KIV_TABLE_T3D)
    r = find(listT3D(), name, origin);
  if (r) guardAllocation("CopyStringList failed to malloc memory", [&] { r->tokens = std::move(tokens); });
}

int read0DFromMemory(const char *name, int *n, double **values, TableHeader *header, int origin) {
  setNull(values);
  const Rec0D *r = find(list0D(), name, origin);
  if (!r) {
    if (n) *n = -1;
    return -1;
  }
  Outputs out("rtable0d_add failed to malloc memory");
  out.add(values, r->values);
  fillHeader(header, r->units, r->tokens);
  out.publish();
  if (n) *n = static_cast<int>(r->values.size());
  return static_cast<int>(r->values.size());
}

bool has0D(const char *name, int origin) { return find(list0D(), name, origin) != nullptr; }
bool hasND(const char *name, int origin, int *dim) {
  const RecND *r = find(listND(), name, origin);
  if (r && dim) *dim = r->dim;
  return r != nullptr;
}
bool hasT1D(const char *name, int origin) { return find(listT1D(), name, origin) != nullptr; }
bool hasT3D(const char *name, int origin) { return find(listT3D(), name, origin) != nullptr; }
bool hasLines(const char *name, int origin) { return find(listLines(), name, origin) != nullptr; }
bool hasXY(const char *name, int origin) { return find(listXY(), name, origin) != nullptr; }

bool firstStoredLine(const char *name, int origin, std::string *line) {
  const RecLines *r = find(listLines(), name, origin);
  if (!r || r->lines.empty()) return false;
  *line = r->lines.front();
  return true;
}

}  // namespace kiv::tables

using namespace kiv::tables;

extern "C" {

// ---- 0D ---------------------------------------------------------------------

int rtable0d_add(const char *name, int n, const double *values) {
  return rtable0d_add2(name, n, values, nullptr, KIV_TABLE_BY_CALLER);
}

int rtable0d_add2(const char *name, int n, const double *values, const char *const *units,
                  int origin) {
  if (!name || n < 0 || (n > 0 && !values)) return 0;
  store0D(name, n, values, textsFromList(units, 1), origin);
  return 1;
}

int rtable0d_from_memory(const char *name, int *n, double **values, int origin) {
  return read0DFromMemory(name, n, values, nullptr, origin);
}

int rtable0d_exist(const char *name) { return has0D(name, KIV_TABLE_BY_CALLER) ? 1 : 0; }

// ---- N-D (and 1-D, 2-D, 3-D) ------------------------------------------------

int rtablend_add(const char *name, int dim, const int *sizes, const double *axes,
                 const double *values, const char *const *units) {
  return rtablend_add2(name, dim, sizes, axes, values, units, KIV_TABLE_BY_CALLER);
}

int rtablend_add2(const char *name, int dim, const int *sizes, const double *axes,
                  const double *values, const char *const *units, int origin) {
  if (!name || !values) return 0;
  if (dim < 1) {
    // A table of no axis holds one value.
    storeND(name, 0, nullptr, nullptr, values, textsFromList(units, 1), origin);
    return 1;
  }
  if (!sizes || !axes) return 0;
  int64_t product = 1;
  for (int i = 0; i < dim; ++i) {
    if (sizes[i] < 1) return 0;
    product *= sizes[i];
    if (product > kIntLimit) return 0;
  }
  if (total(sizes, dim) < 0) return 0;
  storeND(name, dim, sizes, axes, values, textsFromList(units, dim + 1), origin);
  return 1;
}

}  // extern "C"

namespace {

// The stored N-D table of the name, or null; also null, after a message,
// when *dim asks for another dimension (which it is set to otherwise).
const RecND *findND(const char *name, int *dim, int origin) {
  const RecND *r = find(listND(), name, origin);
  if (!r) return nullptr;
  if (dim && *dim > 0 && *dim != r->dim) {
    kivfprintf(stderr, "Table dimension does not correspond to requested value (%d and %d).\n",
               *dim, r->dim);
    return nullptr;
  }
  if (dim) *dim = r->dim;
  return r;
}

}  // namespace

extern "C" {

int rtablend_from_memory(const char *name, int *dim, int **sizes, double **axes, double **values,
                         TableHeader *header, int origin) {
  setNull(sizes);
  setNull(axes);
  setNull(values);
  const RecND *r = findND(name, dim, origin);
  if (!r) return -1;
  Outputs out("rtablend_from_memory failed to malloc memory");
  out.add(sizes, r->sizes);
  out.add(axes, r->axes);
  out.add(values, r->values);
  fillHeader(header, r->units, r->tokens);
  out.publish();
  return static_cast<int>(r->values.size());
}

int rtablend_exist(const char *name, int *dim) {
  return hasND(name, KIV_TABLE_BY_CALLER, dim) ? 1 : 0;
}

int rtable1d_add(const char *name, int n, const double *x, const double *y) {
  return rtable1d_add2(name, n, x, y, nullptr, KIV_TABLE_BY_CALLER);
}

int rtable1d_add2(const char *name, int n, const double *x, const double *y,
                  const char *const *units, int origin) {
  return rtablend_add2(name, 1, &n, x, y, units, origin);
}

namespace {

// Splits the axis array of a stored N-D table of dimension dim into parts.
int readSplit(const char *name, int dim, int *counts[], double **parts[], double **values,
              TableHeader *header, int origin) {
  int d = dim;
  for (int k = 0; k < dim; ++k) setNull(parts[k]);
  setNull(values);
  const RecND *r = findND(name, &d, origin);
  if (!r) {
    for (int k = 0; k < dim; ++k)
      if (counts[k]) *counts[k] = -1;
    return -1;
  }
  Outputs out("rtablend_from_memory failed to malloc memory");
  size_t offset = 0;
  for (int k = 0; k < dim; ++k) {
    const size_t len = static_cast<size_t>(r->sizes[static_cast<size_t>(k)]);
    out.add(parts[k], r->axes.data() + offset, len);
    offset += len;
  }
  out.add(values, r->values);
  fillHeader(header, r->units, r->tokens);
  out.publish();
  for (int k = 0; k < dim; ++k)
    if (counts[k]) *counts[k] = r->sizes[static_cast<size_t>(k)];
  return static_cast<int>(r->values.size());
}

}  // namespace

int rtable1d_from_memory(const char *name, int *n, double **x, double **y, TableHeader *header,
                         int origin) {
  int *counts[] = {n};
  double **parts[] = {x};
  return readSplit(name, 1, counts, parts, y, header, origin);
}

int rtable2d_add(const char *name, int nx, int ny, const double *x, const double *y,
                 const double *values) {
  if (!x || !y || nx < 1 || ny < 1) return 0;
  std::vector<double> axes;
  guardAllocation("rtablend_add failed to malloc memory", [&] {
    axes.assign(x, x + nx);
    axes.insert(axes.end(), y, y + ny);
  });
  const int sizes[] = {nx, ny};
  return rtablend_add2(name, 2, sizes, axes.data(), values, nullptr, KIV_TABLE_BY_CALLER);
}

int rtable2d_from_memory(const char *name, int *nx, int *ny, double **x, double **y,
                         double **values, int origin) {
  int *counts[] = {nx, ny};
  double **parts[] = {x, y};
  return readSplit(name, 2, counts, parts, values, nullptr, origin);
}

int rtable3d_add(const char *name, int nx, int ny, int nz, const double *x, const double *y,
                 const double *z, const double *values) {
  if (!x || !y || !z || nx < 1 || ny < 1 || nz < 1) return 0;
  std::vector<double> axes;
  guardAllocation("rtablend_add failed to malloc memory", [&] {
    axes.assign(x, x + nx);
    axes.insert(axes.end(), y, y + ny);
    axes.insert(axes.end(), z, z + nz);
  });
  const int sizes[] = {nx, ny, nz};
  return rtablend_add2(name, 3, sizes, axes.data(), values, nullptr, KIV_TABLE_BY_CALLER);
}

int rtable3d_from_memory(const char *name, int *nx, int *ny, int *nz, double **x, double **y,
                         double **z, double **values, int origin) {
  int *counts[] = {nx, ny, nz};
  double **parts[] = {x, y, z};
  return readSplit(name, 3, counts, parts, values, nullptr, origin);
}

// ---- T1D --------------------------------------------------------------------

int rtablemd_add(const char *name, int nslices, const int *sizes, const double *x, const double *y,
                 const double *z, const char *const *units) {
  return rtablemd_add2(name, nslices, sizes, x, y, z, units, KIV_TABLE_BY_CALLER);
}

int rtablemd_add2(const char *name, int nslices, const int *sizes, const double *x,
                  const double *y, const double *z, const char *const *units, int origin) {
  if (!name || nslices < 0) return 0;
  if (nslices > 0 && (!sizes || !y || total(sizes, nslices) < 0)) return 0;
  if (nslices > 0 && total(sizes, nslices) > 0 && (!x || !z)) return 0;
  storeT1D(name, nslices, sizes, x, y, z, textsFromList(units, 3), origin);
  return 1;
}

int rtablemd_from_memory(const char *name, int **sizes, double **x, double **y, double **z,
                         TableHeader *header, int origin) {
  setNull(sizes);
  setNull(x);
  setNull(y);
  setNull(z);
  const RecT1D *r = find(listT1D(), name, origin);
  if (!r) return -1;
  Outputs out("rtablemd_add failed to malloc memory");
  out.add(sizes, r->sizes);
  out.add(x, r->x);
  out.add(y, r->y);
  out.add(z, r->z);
  fillHeader(header, r->units, r->tokens);
  out.publish();
  return static_cast<int>(r->sizes.size());
}

int rtablemd_exist(const char *name) { return hasT1D(name, KIV_TABLE_BY_CALLER) ? 1 : 0; }

// ---- T3D --------------------------------------------------------------------

int rtablem3d_add(const char *name, int nparts, int nslices, const int *pointsPerSlice,
                  const int *slicesPerPart, const double *x, const double *y, const double *z,
                  const double *values, const char *const *units) {
  return rtablem3d_add2(name, nparts, nslices, pointsPerSlice, slicesPerPart, x, y, z, values,
                        units, KIV_TABLE_BY_CALLER);
}

int rtablem3d_add2(const char *name, int nparts, int nslices, const int *pointsPerSlice,
                   const int *slicesPerPart, const double *x, const double *y, const double *z,
                   const double *values, const char *const *units, int origin) {
  if (!name || nparts < 0 || nslices < 0) return 0;
  if (nparts > 0 && (!slicesPerPart || !z)) return 0;
  // The slice count must be the one the parts hold, or the copies would run
  // past the caller's arrays.
  if (nparts > 0 && total(slicesPerPart, nparts) != nslices) return 0;
  if (nparts == 0 && nslices != 0) return 0;
  if (nslices > 0 && (!pointsPerSlice || !y || total(pointsPerSlice, nslices) < 0)) return 0;
  if (nslices > 0 && total(pointsPerSlice, nslices) > 0 && (!x || !values)) return 0;
  storeT3D(name, nparts, pointsPerSlice, slicesPerPart, x, y, z, values,
           textsFromList(units, 4), origin);
  return 1;
}

int rtablem3d_from_memory(const char *name, int *nparts, int **pointsPerSlice,
                          int **slicesPerPart, double **x, double **y, double **z,
                          double **values, TableHeader *header, int origin) {
  setNull(pointsPerSlice);
  setNull(slicesPerPart);
  setNull(x);
  setNull(y);
  setNull(z);
  setNull(values);
  const RecT3D *r = find(listT3D(), name, origin);
  if (!r) {
    if (nparts) *nparts = -1;
    return -1;
  }
  Outputs out("rtablem3d_add name, x_f_sizes, y_sizes, xvalues etc.");
  out.add(pointsPerSlice, r->pointsPerSlice);
  out.add(slicesPerPart, r->slicesPerPart);
  out.add(x, r->x);
  out.add(y, r->y);
  out.add(z, r->z);
  out.add(values, r->values);
  fillHeader(header, r->units, r->tokens);
  out.publish();
  if (nparts) *nparts = static_cast<int>(r->slicesPerPart.size());
  return static_cast<int>(r->pointsPerSlice.size());
}

int rtablem3d_exist(const char *name) { return hasT3D(name, KIV_TABLE_BY_CALLER) ? 1 : 0; }

// ---- Multi-line -------------------------------------------------------------

int rtable_multi_line_add(const char *name, const char *const *lines, int n) {
  return rtable_multi_line_add2(name, lines, n, KIV_TABLE_BY_CALLER);
}

int rtable_multi_line_add2(const char *name, const char *const *lines, int n, int origin) {
  if (!name || n < 0 || (n > 0 && !lines)) return 0;
  std::vector<std::string> copy;
  guardAllocation("rtable_multi_line_add failed to calloc memory", [&] {
    copy.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) copy.emplace_back(lines[i] ? lines[i] : "");
  });
  storeLines(name, copy, origin);
  return 1;
}

char **rtableml_from_memory(const char *name, int *count, int *skipComments, int origin) {
  int dummy = 0;
  if (!count) count = &dummy;
  NumberedLines kept;
  if (!linesFromMemory(name, origin, skipComments && *skipComments, kept)) {
    *count = -1;
    return nullptr;
  }
  return copyLines(kept.lines, count);
}

int rtableml_exist(const char *name) { return hasLines(name, KIV_TABLE_BY_CALLER) ? 1 : 0; }

// ---- XY ---------------------------------------------------------------------

int rtablexy_add(const char *name, int rows, int cols, const double *data,
                 const char *const *units) {
  return rtablexy_add2(name, rows, cols, data, units, KIV_TABLE_BY_CALLER);
}

int rtablexy_add2(const char *name, int rows, int cols, const double *data,
                  const char *const *units, int origin) {
  if (!name || rows < 0 || cols < 0) return 0;
  const int64_t cells = static_cast<int64_t>(rows) * cols;
  if (cells > kIntLimit || (cells > 0 && !data)) return 0;
  storeXY(name, rows, cols, data, textsFromList(units, cols), origin);
  return 1;
}

int rtablexy_from_memory(const char *name, int *rows, int *cols, double **data,
                         TableHeader *header, int origin) {
  setNull(data);
  const RecXY *r = find(listXY(), name, origin);
  if (!r) {
    if (rows) *rows = -1;
    if (cols) *cols = -1;
    return -1;
  }
  Outputs out("rtablexy_from_memory failed to malloc memory");
  out.add(data, r->data);
  fillHeader(header, r->units, r->tokens);
  out.publish();
  if (rows) *rows = r->rows;
  if (cols) *cols = r->cols;
  return static_cast<int>(r->data.size());
}

int rtablexy_exist(const char *name) { return hasXY(name, KIV_TABLE_BY_CALLER) ? 1 : 0; }

// ---- Tokens -----------------------------------------------------------------

void rtable_add_tokens(const char *name, int format, const char *const *tokens, int n) {
  rtable_add_tokens2(name, format, tokens, n, KIV_TABLE_BY_CALLER);
}

void rtable_add_tokens2(const char *name, int format, const char *const *tokens, int n,
                        int origin) {
  if (!name || n < 0) return;
  storeTokens(name, format, textsFromList(tokens, n), origin);
}

int kiv_get_table_tokens_from_memory(const char *name, char ***tokens, int *n, int origin) {
  if (tokens) *tokens = nullptr;
  if (n) *n = 0;
  const Record *r = find(listND(), name, origin);
  if (!r) r = find(listXY(), name, origin);
  if (!r) r = find(listT1D(), name, origin);
  if (!r) r = find(listT3D(), name, origin);
  if (!r) return 0;
  if (tokens) *tokens = mallocTexts(r->tokens, "CopyStringList failed to malloc memory");
  if (n) *n = (tokens && *tokens) ? static_cast<int>(r->tokens.size()) : 0;
  return 1;
}

}  // extern "C"
