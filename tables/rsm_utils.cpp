// Polynomial response surfaces of the older text file: the reader, the
// registry of evaluators and their values, gradients and Hessians.
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "runtime/cstring.hpp"
#include "runtime/numbers.hpp"
#include "runtime/textfile.hpp"
#include "tables/kiv_interpret.h"
#include "tables/numtext.hpp"
#include "tables/rsm.hpp"
#include "tables/splines1d.hpp"

namespace kiv::rsm {
namespace {

// Monomials of degree <= q in n inputs are listed in the order of their
// non-decreasing index sequences of length q over 0..n (0 the factor 1, k
// the input k).  Those of degree <= q - 1 are the sequences that begin with
// 0: the first entries of the list, in the same order.

// C(n + q, q), or -1 beyond INT_MAX.  The loop runs over the smaller of
// n and q, and c * (m + i) / i stays exact: c is C(m + i - 1, i - 1).
long long monomialCount(int n, int q) {
  const int lo = n < q ? n : q, hi = n < q ? q : n;
  long long c = 1;
  for (int i = 1; i <= lo; ++i) {
    c = c * (static_cast<long long>(hi) + i) / i;
    if (c > INT_MAX) return -1;
  }
  return c;
}

struct Surface {
  int type = 0, n = 0, responses = 0;
  std::vector<std::string> inputs, outputs;
  std::vector<std::vector<double>> coef;  // empty when the slot is free
  int rows = 0, columns = 0;
  std::vector<uint32_t> exps;  // p >= 3: exps[k * rows + position]
  std::vector<double> work;
  // Monomial k is monomial parent[k] times input factor[k]; the monomials
  // of degree <= q are the first counts[q] of the list.
  std::vector<int> parent, factor, counts;

  bool quadratic() const { return type < 3; }
  uint32_t exponent(int axis, int pos) const {
    return exps[static_cast<size_t>(axis - 1) * static_cast<size_t>(rows) +
                static_cast<size_t>(pos)];
  }
  // work[0..] = the monomials of degree <= q at x.
  void fill(int q, const double *x) {
    work[0] = 1.0;
    const int m = counts[static_cast<size_t>(q)];
    for (int k = 1; k < m; ++k)
      work[static_cast<size_t>(k)] = work[static_cast<size_t>(parent[static_cast<size_t>(k)])] *
                                     x[factor[static_cast<size_t>(k)] - 1];
  }
  // Exponents, parents and factors from the index sequences.
  void tabulate();
};

void Surface::tabulate() {
  exps.assign(static_cast<size_t>(n) * static_cast<size_t>(rows), 0u);
  parent.assign(static_cast<size_t>(rows), 0);
  factor.assign(static_cast<size_t>(rows), 0);
  for (int q = 0; q <= type; ++q) counts.push_back(static_cast<int>(monomialCount(n, q)));
  // The sequences come in blocks of one prefix (all but the last index),
  // the prefixes in the order of the sequences one shorter: prefix r is
  // the sequence at position r without its leading 0, whose last index is
  // factor[r].  Its block runs the last index from factor[r] to n.
  int pos = 1;
  for (int r = 0; pos < rows; ++r)
    for (int v = factor[static_cast<size_t>(r)] ? factor[static_cast<size_t>(r)] : 1; v <= n && pos < rows;
         ++v, ++pos) {
      parent[static_cast<size_t>(pos)] = r;
      factor[static_cast<size_t>(pos)] = v;
      for (int k = 1; k <= n; ++k) {
        const size_t row = static_cast<size_t>(k - 1) * static_cast<size_t>(rows);
        exps[row + static_cast<size_t>(pos)] = exps[row + static_cast<size_t>(r)] + (k == v);
      }
    }
}

sp1::Registry<Surface> g_reg;

void AtEnd(int, int) { FreeAllRSM(); }

double zAt(const double *x, int i) { return i ? x[i - 1] : 1.0; }

double value(const Surface &s, int r, const double *x) {
  const std::vector<double> &c = s.coef[static_cast<size_t>(r)];
  double sum = 0.0;
  if (s.quadratic()) {
    const int m = s.n + 1;
    for (int i = 0; i < m; ++i) {
      double row = 0.0;
      for (int j = 0; j < m; ++j) row += c[static_cast<size_t>(i * m + j)] * zAt(x, j);
      sum += zAt(x, i) * row;
    }
    return sum;
  }
  for (int k = 0; k < s.rows; ++k) sum += c[static_cast<size_t>(k)] * s.work[static_cast<size_t>(k)];
  return sum;
}

double slope(const Surface &s, int r, int a, const double *x) {
  const std::vector<double> &c = s.coef[static_cast<size_t>(r)];
  double sum = 0.0;
  if (s.quadratic()) {
    const int m = s.n + 1;
    for (int i = 0; i < m; ++i)
      sum += (c[static_cast<size_t>(i * m + a)] + c[static_cast<size_t>(a * m + i)]) * zAt(x, i);
    return sum;
  }
  // Dividing the monomials that hold x_a by x_a lists the monomials of one
  // degree less in order, so the work array is read front to back.
  size_t w = 0;
  for (int k = 0; k < s.rows; ++k) {
    const uint32_t e = s.exponent(a, k);
    if (e >= 1) sum += c[static_cast<size_t>(k)] * e * s.work[w++];
  }
  return sum;
}

double curvature(const Surface &s, int r, int a, int b, const double *) {
  const std::vector<double> &c = s.coef[static_cast<size_t>(r)];
  if (s.quadratic()) {
    const int m = s.n + 1;
    return c[static_cast<size_t>(a * m + b)] + c[static_cast<size_t>(b * m + a)];
  }
  double sum = 0.0;
  size_t w = 0;
  for (int k = 0; k < s.rows; ++k) {
    const uint32_t ea = s.exponent(a, k), eb = s.exponent(b, k);
    if (a == b) {
      if (ea >= 2) sum += c[static_cast<size_t>(k)] * ea * (ea - 1.0) * s.work[w++];
    } else if (ea >= 1 && eb >= 1) {
      sum += c[static_cast<size_t>(k)] * ea * static_cast<double>(eb) * s.work[w++];
    }
  }
  return sum;
}

// The checks every evaluator starts with; the surface, or null after the
// message.
Surface *checked(int id, int response, const char *who) {
  if (!g_reg.inRange(id) || g_reg.items[static_cast<size_t>(id)].coef.empty()) {
    kivfprintf(stderr, "\n\nCall to %s with invalid index %d\n", who, id);
    return nullptr;
  }
  Surface &s = g_reg.items[static_cast<size_t>(id)];
  if (response != -1 && (response < 1 || response > s.responses)) {
    kivfprintf(stderr, "\n\nCall to %s with invalid response index %d\n", who, response);
    return nullptr;
  }
  return &s;
}

// Calls f(r, out) for the selected responses, out advancing by stride.
template <class F>
void forResponses(const Surface &s, int response, double *out, int stride, F &&f) {
  if (response != -1) {
    f(response - 1, out);
    return;
  }
  for (int r = 0; r < s.responses; ++r) f(r, out + static_cast<ptrdiff_t>(r) * stride);
}

// ---- Reading -----------------------------------------------------------------

struct Reader {
  explicit Reader(FILE *f) : fp(f) {}
  Reader(const Reader &) = delete;
  Reader &operator=(const Reader &) = delete;
  FILE *fp;
  char *buf = nullptr;
  int cap = 0;
  std::string pending;  // a line to read again
  bool hasPending = false;

  ~Reader() {
    std::free(buf);
    std::fclose(fp);
  }
  // The next non-empty line without leading blanks, or false at the end.
  bool next(std::string &line) {
    if (hasPending) {
      hasPending = false;
      line.swap(pending);
      return true;
    }
    const char *l = kivfgetsclean(fp, &buf, &cap, 1);
    if (!l) return false;
    line.assign(l);
    return true;
  }
};

std::string firstWord(const std::string &line) {
  const size_t end = line.find_first_of(" \t\r");
  return line.substr(0, end);
}

std::string trimmed(std::string_view s) {
  const size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string_view::npos) return {};
  const size_t e = s.find_last_not_of(" \t\r");
  return std::string(s.substr(b, e - b + 1));
}

// "%d %[^\n]": a count and a non-empty label.
bool header(const std::string &line, int &count, std::string &label) {
  const char *end = nullptr;
  if (!parseInt(line.c_str(), &end, &count)) return false;
  label = trimmed(end);
  return !label.empty();
}

// Type line: 0..2 for the named types, else the order of an "order" line;
// false when the line names no type.
bool typeOf(const std::string &line, int &type) {
  static const char *const kinds[] = {"Type of RSM: First Order Response Surface",
                                      "Type of RSM: First Order Mix response Surface",
                                      "Type of RSM: Second Order Response Surface"};
  for (int t = 0; t < 3; ++t)
    if (line.compare(0, std::strlen(kinds[t]), kinds[t]) == 0) {
      type = t;
      return true;
    }
  static const std::string_view order = "Type of RSM: order :";
  if (line.compare(0, order.size(), order) != 0) return false;
  return parseInt(line.c_str() + order.size(), nullptr, &type);
}

enum class Row { kRead, kBadFormat, kBadNumber };

// The values of one matrix row, each followed by ";" (the last one may end
// the line instead); text after the last value is a note, another value is
// not.  A coefficient cut short or not finite would turn every evaluation
// into garbage: kBadNumber.
Row matrixRow(const std::string &line, int m, double *row) {
  const char *p = line.c_str();
  const char *last = p + line.size();
  for (int j = 0; j < m; ++j) {
    const char *end = nullptr;
    const Field got = fieldIn(p, last, ";", row[j], &end);
    if (got == Field::kText || got == Field::kGlued) return Row::kBadFormat;
    if (got == Field::kIncomplete || got == Field::kOutOfRange || !std::isfinite(row[j])) return Row::kBadNumber;
    p = end;
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == ';')
      ++p;
    else if (j + 1 < m)
      return Row::kBadFormat;
  }
  while (*p == ' ' || *p == '\t' || *p == ';') ++p;
  double extra = 0.0;
  const char *end = nullptr;
  return tables::numberIn(p, last, extra, &end) == tables::NumberKind::kNone ? Row::kRead
                                                                              : Row::kBadFormat;
}

// Names of a section: count lines, the first word of each.
bool names(Reader &in, int count, std::vector<std::string> &out) {
  std::string line;
  for (int k = 0; k < count; ++k) {
    if (!in.next(line)) return false;
    out.push_back(trimmed(firstWord(line)));
  }
  return true;
}

bool unused(Reader &in, int count, OldFile &f) {
  std::string line;
  for (int k = 0; k < count;) {
    if (!in.next(line)) return false;
    if (line.find("factor(s):") != std::string::npos) {
      in.pending = line;
      in.hasPending = true;
      return true;
    }
    const size_t eq = line.find('=');
    const std::string name = trimmed(firstWord(line));
    if (eq == std::string::npos || name.empty() || name.find('=') != std::string::npos) continue;
    const std::string rest = trimmed(std::string_view(line).substr(eq + 1));
    if (rest.empty()) continue;
    f.unusedNames.push_back(name);
    f.unusedValues.push_back(firstWord(rest));
    ++k;
  }
  return true;
}

bool block(Reader &in, const char *path, OldFile &f) {
  int rows = 0, columns = 0;
  if (!blockShape(f.type, f.n, rows, columns)) {
    kivfprintf(stderr, "\nRead error. Response surface of %d factor(s) and type %d too large.\n",
               f.n, f.type);
    return false;
  }
  std::vector<double> b;
  std::vector<double> row(static_cast<size_t>(columns));
  std::string line;
  for (int i = 0; i < rows; ++i) {
    if (!in.next(line)) {
      kivfprintf(stderr, "\nAn error occurs while reading quadratic matrix in '%s'.\n", path);
      return false;
    }
    const Row got = matrixRow(line, columns, row.data());
    if (got == Row::kBadNumber) {
      kivfprintf(stderr, "\nRead error. Incomplete or non-finite coefficient in line '%s'\n", line.c_str());
      return false;
    }
    if (got == Row::kBadFormat) {
      kivfprintf(stderr, "\nBad number format for quadratic matrix.\n");
      return false;
    }
    b.insert(b.end(), row.begin(), row.end());
  }
  f.blocks.push_back(std::move(b));
  return true;
}

bool section(Reader &in, const std::string &line, int count, const std::string &label,
             bool &haveResponses, OldFile &f) {
  const bool known = label == "factor(s):" || label == "response variable(s):" ||
                     label == "unused input(s):";
  if (!known) {
    kivfprintf(stderr, "\nRead error. Unable to interpret line '%s'\n", line.c_str());
    return false;
  }
  if (count < 1 || count == INT_MAX) {
    kivfprintf(stderr, "\nRead error. Invalid count in line '%s'\n", line.c_str());
    return false;
  }
  if (label == "factor(s):") {
    if (!f.blocks.empty()) {
      kivfprintf(stderr, "\nRead error. Factors given after coefficients in line '%s'\n",
                 line.c_str());
      return false;
    }
    f.n = count;
    f.inputs.clear();
    if (!names(in, count, f.inputs)) {
      kivfprintf(stderr, "\nError occured while reading factor names.\n");
      return false;
    }
    return true;
  }
  if (label == "response variable(s):") {
    if (haveResponses) {
      kivfprintf(stderr, "\nMulti definition of Responses.\n");
      return false;
    }
    haveResponses = true;
    f.responses = count;
    if (!names(in, count, f.outputs)) {
      kivfprintf(stderr, "\nError occured while reading response names.\n");
      return false;
    }
    return true;
  }
  if (!unused(in, count, f)) {
    kivfprintf(stderr, "\nError occured while reading unused input names.\n");
    return false;
  }
  return true;
}

bool readLines(Reader &in, const char *path, OldFile &f) {
  bool haveResponses = false;
  std::string line, label;
  while (in.next(line)) {
    if (line.find("Type of RSM:") != std::string::npos) {
      int t = 0;
      if (!typeOf(line, t)) continue;
      if (t < 0) {
        kivfprintf(stderr, "\nRead error. Invalid order in line '%s'\n", line.c_str());
        return false;
      }
      // The blocks read so far have the shape of the type in force then.
      if (!f.blocks.empty()) {
        kivfprintf(stderr, "\nRead error. Type of RSM given after coefficients in line '%s'\n",
                   line.c_str());
        return false;
      }
      f.type = t;
      continue;
    }
    if (line.compare(0, 5, "START") == 0) {
      if (static_cast<int>(f.blocks.size()) >= f.responses) {
        kivfprintf(stderr, "\nResponses undefined or more matrices than responses.\n");
        return false;
      }
      if (f.type < 0 || f.n < 1) {
        kivfprintf(stderr, "\nRead error. START found before the factors and the type of RSM.\n");
        return false;
      }
      if (!block(in, path, f)) return false;
      continue;
    }
    int count = 0;
    if (header(line, count, label) && !section(in, line, count, label, haveResponses, f))
      return false;
  }
  return true;
}

}  // namespace

bool blockShape(int type, int n, int &rows, int &columns) {
  if (type < 0 || n < 1 || n >= INT_MAX) return false;
  if (type < 3) {
    rows = columns = n + 1;
    return static_cast<long long>(rows) * columns <= INT_MAX;
  }
  const long long c = monomialCount(n, type);
  if (c < 0) return false;
  rows = static_cast<int>(c);
  columns = 1;
  return true;
}

bool readOld(const char *path, OldFile &f) {
  f = OldFile{};
  TextStatus status = TextStatus::kNotOpened;
  FILE *fp = openText(path, &status);
  if (!fp) {
    if (status != TextStatus::kReadFailed) kivfprintf(stderr, "\nUnable to open '%s'.\n", path ? path : "");
    return false;
  }
  Reader in(fp);
  if (!readLines(in, path, f) || readFailed(fp)) return false;
  const int read = static_cast<int>(f.blocks.size());
  if (f.responses < 1 || read < f.responses) {
    kivfprintf(stderr, "\nNumber of matrices (%d) lower than number of responses (%d) in '%s'.\n",
               read, f.responses, path);
    return false;
  }
  kivfprintf(stdout, "\nData read from file '%s' : %d factor(s) and %d response(s).\n", path,
             f.n, f.responses);
  return true;
}

int createOld(const OldFile &f) {
  int rows = 0, columns = 0;
  if (f.responses < 1 || !blockShape(f.type, f.n, rows, columns) ||
      static_cast<int>(f.blocks.size()) < f.responses) {
    kivfprintf(stderr, "\nUnable to initialize response surface.\n");
    return -1;
  }
  const size_t size = static_cast<size_t>(rows) * static_cast<size_t>(columns);
  for (int r = 0; r < f.responses; ++r)
    if (f.blocks[static_cast<size_t>(r)].size() < size) {
      kivfprintf(stderr, "\nUnable to initialize response surface.\n");
      return -1;
    }
  size_t id = 0;
  while (id < g_reg.items.size() && !g_reg.items[id].coef.empty()) ++id;
  Surface s;
  try {
    s.type = f.type;
    s.n = f.n;
    s.responses = f.responses;
    s.rows = rows;
    s.columns = columns;
    s.inputs = f.inputs;
    s.outputs = f.outputs;
    for (int r = 0; r < f.responses; ++r) {
      const auto &b = f.blocks[static_cast<size_t>(r)];
      s.coef.emplace_back(b.begin(), b.begin() + static_cast<ptrdiff_t>(size));
    }
    s.work.assign(static_cast<size_t>(rows), 0.0);
    if (!s.quadratic()) s.tabulate();
    if (id == g_reg.items.size()) g_reg.items.emplace_back();
  } catch (const std::bad_alloc &) {
    kivfprintf(stderr, "\nUnable to initialize response surface.\n");
    MemoryError("CreateRsmSpace");
  }
  g_reg.hook(&AtEnd);
  g_reg.items[id] = std::move(s);
  return static_cast<int>(id);
}

int evalOld(int id, int response, const double *x, double *out) {
  Surface *s = checked(id, response, "rsmeval");
  if (!s) return 0;
  if (!s->quadratic()) s->fill(s->type, x);
  forResponses(*s, response, out, 1, [&](int r, double *o) { *o = value(*s, r, x); });
  return 1;
}

int evalOldD(int id, int response, int axis, const double *x, double *out) {
  Surface *s = checked(id, response, "rsmevald");
  if (!s) return 0;
  if (axis < 1 || axis > s->n) {
    kivfprintf(stderr, "\n\nCall to rsmevald with invalid axis direction %d\n", axis);
    return 0;
  }
  if (!s->quadratic()) s->fill(s->type - 1, x);
  forResponses(*s, response, out, 1, [&](int r, double *o) { *o = slope(*s, r, axis, x); });
  return 1;
}

int evalOldD2(int id, int response, int a, int b, const double *x, double *out) {
  Surface *s = checked(id, response, "rsmevald2");
  if (!s) return 0;
  if (a < 1 || a > s->n) {
    kivfprintf(stderr, "\n\nCall to rsmevald2 with invalid first axis direction %d\n", a);
    return 0;
  }
  if (b < 1 || b > s->n) {
    kivfprintf(stderr, "\n\nCall to rsmevald2 with invalid second axis direction %d\n", b);
    return 0;
  }
  if (!s->quadratic()) s->fill(s->type - 2, x);
  forResponses(*s, response, out, 1, [&](int r, double *o) { *o = curvature(*s, r, a, b, x); });
  return 1;
}

void freeOld(int id) {
  if (!g_reg.inRange(id)) {
    kivfprintf(stderr, "\n\nCall to rsmfree with invalid index %d\n", id);
    return;
  }
  g_reg.items[static_cast<size_t>(id)] = Surface{};
}

}  // namespace kiv::rsm

namespace {

// Fills list with a null-terminated copy of v; list holds every entry from
// the moment it is made.
void textList(char **&list, const std::vector<std::string> &v, const char *label) {
  list = static_cast<char **>(std::calloc(v.size() + 1, sizeof(char *)));
  if (!list) MemoryError(label);
  for (size_t i = 0; i < v.size(); ++i) list[i] = kiv::dupText(v[i], label);
}

// What rsmread_ hands out, held until all of it is made: an exit meanwhile
// frees it.
struct ReadOutputs {
  char **lists[4] = {};
  double ***coef = nullptr;
  int type = 0, n = 0, responses = 0;
  ReadOutputs() = default;
  ReadOutputs(const ReadOutputs &) = delete;
  ReadOutputs &operator=(const ReadOutputs &) = delete;
  ~ReadOutputs() {
    for (char **l : lists)
      for (char **t = l; t && *t; ++t) std::free(*t);
    for (char **l : lists) std::free(l);
    if (coef) rsmfreelist_(&type, &n, &responses, coef);
  }
};

}  // namespace

extern "C" {

int rsmread_(const char *path, int *n, int *responses, char ***input_names,
             char ***response_names, double ****coef, char ***unused_names,
             char ***unused_values, int *type) {
  kiv::rsm::OldFile f;
  const bool ok = kiv::rsm::readOld(path, f);
  for (char ***l : {input_names, response_names, unused_names, unused_values})
    if (l) *l = nullptr;
  if (coef) *coef = nullptr;
  *n = ok ? f.n : 0;
  *responses = ok ? f.responses : 0;
  *type = f.type;
  if (!ok) return 0;
  const char *label = "rsmread";
  ReadOutputs out;
  char ***wanted[4] = {input_names, response_names, unused_names, unused_values};
  const std::vector<std::string> *texts[4] = {&f.inputs, &f.outputs, &f.unusedNames, &f.unusedValues};
  for (int k = 0; k < 4; ++k)
    if (wanted[k]) textList(out.lists[k], *texts[k], label);
  if (coef) {
    int rows = 0, columns = 0;
    kiv::rsm::blockShape(f.type, f.n, rows, columns);
    out.type = f.type;
    out.n = f.n;
    out.coef = static_cast<double ***>(std::calloc(static_cast<size_t>(f.responses), sizeof(double **)));
    if (!out.coef) MemoryError(label);
    out.responses = f.responses;
    double ***c = out.coef;
    for (int r = 0; r < f.responses; ++r) {
      c[r] = static_cast<double **>(std::calloc(static_cast<size_t>(rows), sizeof(double *)));
      if (!c[r]) MemoryError(label);
      for (int i = 0; i < rows; ++i) {
        c[r][i] = static_cast<double *>(std::malloc(sizeof(double) * static_cast<size_t>(columns)));
        if (!c[r][i]) MemoryError(label);
        std::memcpy(c[r][i], f.blocks[static_cast<size_t>(r)].data() + static_cast<size_t>(i) * columns,
                    sizeof(double) * static_cast<size_t>(columns));
      }
    }
  }
  for (int k = 0; k < 4; ++k)
    if (wanted[k]) *wanted[k] = std::exchange(out.lists[k], nullptr);
  if (coef) *coef = std::exchange(out.coef, nullptr);
  return 1;
}

void rsmfreelist_(int *type, int *n, int *responses, double ***coef) {
  int rows = 0, columns = 0;
  if (!coef) return;
  const bool shaped = kiv::rsm::blockShape(*type, *n, rows, columns);
  for (int r = 0; r < *responses; ++r) {
    if (coef[r] && shaped)
      for (int i = 0; i < rows; ++i) std::free(coef[r][i]);
    std::free(coef[r]);
  }
  std::free(coef);
}

int rsminit_(int *type, int *n, int *responses, double ***coef, char **input_names,
             char **response_names) {
  kiv::rsm::OldFile f;
  f.type = *type;
  f.n = *n;
  f.responses = *responses;
  int rows = 0, columns = 0;
  if (!coef || f.responses < 1 || !kiv::rsm::blockShape(f.type, f.n, rows, columns)) {
    kivfprintf(stderr, "\nUnable to initialize response surface.\n");
    return -1;
  }
  for (int r = 0; r < f.responses; ++r) {
    std::vector<double> b;
    for (int i = 0; i < rows; ++i) b.insert(b.end(), coef[r][i], coef[r][i] + columns);
    f.blocks.push_back(std::move(b));
  }
  for (int k = 0; input_names && k < f.n; ++k) f.inputs.emplace_back(input_names[k] ? input_names[k] : "");
  for (int k = 0; response_names && k < f.responses; ++k)
    f.outputs.emplace_back(response_names[k] ? response_names[k] : "");
  return kiv::rsm::createOld(f);
}

int rsmeval_(int *id, int *response, double *x, double *out) {
  return kiv::rsm::evalOld(*id, *response, x, out);
}

int rsmevald_(int *id, int *response, int *axis, double *x, double *out) {
  return kiv::rsm::evalOldD(*id, *response, *axis, x, out);
}

int rsmevald2_(int *id, int *response, int *axes, double *x, double *out) {
  return kiv::rsm::evalOldD2(*id, *response, axes[0], axes[1], x, out);
}

int rsmevalalld_(int *id, int *response, double *x, double *out) {
  using namespace kiv::rsm;
  Surface *s = checked(*id, *response, "rsmevalalld");
  if (!s) return 0;
  if (!s->quadratic()) s->fill(s->type - 1, x);
  forResponses(*s, *response, out, s->n, [&](int r, double *o) {
    for (int a = 1; a <= s->n; ++a) o[a - 1] = slope(*s, r, a, x);
  });
  return 1;
}

int rsmevalalld2_(int *id, int *response, double *x, double *out) {
  using namespace kiv::rsm;
  Surface *s = checked(*id, *response, "rsmevalalld2");
  if (!s) return 0;
  if (!s->quadratic()) s->fill(s->type - 2, x);
  forResponses(*s, *response, out, s->n * (s->n + 1) / 2, [&](int r, double *o) {
    for (int a = 1; a <= s->n; ++a)
      for (int b = a; b <= s->n; ++b) *o++ = curvature(*s, r, a, b, x);
  });
  return 1;
}

void rsmfree_(int *id) { kiv::rsm::freeOld(*id); }

void FreeAllRSM(void) { kiv::rsm::g_reg.clear(); }

int rsmGetNewInputDim(int n, int p) {
  if (p <= 0 || n < 0) return 0;
  const long long c = kiv::rsm::monomialCount(n, p);
  return c < 0 ? -1 : static_cast<int>(c - 1);
}

}  // extern "C"
