// Response surfaces of the "RSM" table file: outputs as sums of polynomial
// terms in the offset inputs, with titles, units and optional limits.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "params/kiv_math.h"
#include "runtime/ascii.hpp"
#include "runtime/numbers.hpp"
#include "runtime/textfile.hpp"
#include "tables/kiv_interpret.h"
#include "tables/kiv_tablefiles.h"
#include "tables/numtext.hpp"
#include "tables/rsm.hpp"
#include "tables/rtable.hpp"
#include "tables/splines1d.hpp"

namespace kiv::rsm {
namespace {

// Inputs and outputs a model may have; exponents a term may carry.
constexpr int kMaxSize = 512;
constexpr int kMaxExponent = 1024;

struct Response {
  std::string title, unit;
  std::vector<double> offsets;
  std::vector<std::vector<int>> exps;  // per input, one per term
  std::vector<int> highest;            // per input
  std::vector<std::vector<double>> powers;
  std::vector<double> coef;
  int limited = 0;
  double min = 0, max = 0;
  int state = 0;
  int index = 0;
};

struct Model {
  int n = 0, m = 0;
  std::vector<std::string> titles, units;
  std::vector<double> min, max, limitedX;  // present with "# minmax"
  std::vector<int> states;
  std::vector<int> counts;  // derivative count per input (work)
  int mode = 0, disc = 0;
  std::vector<Response> responses;  // empty when the slot is free
};

sp1::Registry<Model> g_reg;

void AtEnd(int, int) { FreeAllRSM2(); }

using Lines = std::vector<std::string>;

// The file's lines, and where each one stands in it for the messages.
struct Source {
  const char *file;
  const tables::NumberedLines &text;
  const Lines &lines() const { return text.lines; }
  void sayOutOfRange(size_t i, std::string_view number) const {
    kiv::sayOutOfRange(text.numbers[i], file, number);
  }
};

bool startsWith(std::string_view s, std::string_view key) {
  return s.compare(0, key.size(), key) == 0;
}

// "# %d " with a count that must fit an int: false otherwise.
bool sizeLine(const std::string &line, int &v) {
  return startsWith(line, "#") && parseInt(line.c_str() + 1, nullptr, &v);
}

bool readSizes(const Lines &lines, Model &md) {
  int n = 0, m = 0;
  bool haveN = false, haveM = false;
  for (size_t i = 0; i < lines.size() && !(haveN && haveM); ++i) {
    const std::string &l = lines[i];
    if (!haveN && l.find(" inputs") != std::string::npos)
      haveN = sizeLine(l, n);
    else if (!haveM && l.find(" outputs") != std::string::npos &&
             l.find(" inputs") == std::string::npos)
      haveM = sizeLine(l, m);
  }
  if (!haveN || !haveM || n < 1 || m < 1) {
    kivfprintf(stderr, "Unable to read RSM sizes.\n");
    return false;
  }
  if (n > kMaxSize || m > kMaxSize) {
    kivfprintf(stderr, "RSM with %d inputs and %d outputs: at most %d of each.\n", n, m,
               kMaxSize);
    return false;
  }
  md.n = n;
  md.m = m;
  return true;
}

// "# input<k>" or "# output<k>" ended by the suffix ("" for the whole line).
bool numberedKey(std::string_view l, std::string_view suffix) {
  for (std::string_view head : {"# input", "# output"}) {
    if (!startsWith(l, head)) continue;
    size_t i = head.size();
    const size_t digits = i;
    while (i < l.size() && kiv::ascii::isDigit(l[i])) ++i;
    if (i > digits && (suffix.empty() ? i == l.size() : startsWith(l.substr(i), suffix))) return true;
  }
  return false;
}

// A line of the file's keys: it ends a term list.  Any other "#" line is a
// note, there as everywhere in the table files.
bool isKey(const std::string &l) {
  int v = 0;
  if (l == "# offset" || l == "# minmax" || l == "# RSM" || numberedKey(l, "") || numberedKey(l, "_title = ") ||
      numberedKey(l, "_unit = "))
    return true;
  return (l.find(" inputs") != std::string::npos || l.find(" outputs") != std::string::npos) && sizeLine(l, v);
}

// The value of "<key>" at the start of the first line that has it.
std::string keyed(const Lines &lines, const std::string &key) {
  for (const std::string &l : lines)
    if (startsWith(l, key)) return l.substr(key.size());
  return {};
}

enum class Read { kAll, kShort, kBad, kOutOfRange };

// The rest of a value line: a "#" note, or words that hold no number.  A
// number there is a value the line has no room for (or one text hides).
bool noValueAfter(const char *p, const char *last) {
  for (;;) {
    while (p < last && kiv::ascii::isSpace(*p)) ++p;
    if (p == last || *p == '#') return true;
    const char *word = p;
    while (p < last && *p != '#' && !kiv::ascii::isSpace(*p)) ++p;
    double v = 0.0;
    const char *end = nullptr;
    if (tables::numberIn(word, p, v, &end) != tables::NumberKind::kNone) return false;
  }
}

// The number that ends at end, its blanks before it left out.
std::string_view numberBefore(const char *p, const char *end) {
  while (p < end && kiv::ascii::isSpace(*p)) ++p;
  return {p, static_cast<size_t>(end - p)};
}

// Numbers one after another, each filling its field: kShort when fewer
// than count could be read, kBad at a number cut short or glued to text,
// one more than count or, with `finite`, one that is not finite;
// kOutOfRange (its text in *huge) at one no double can hold.
Read numbers(const std::string &line, size_t count, std::vector<double> &out, bool finite, std::string_view *huge) {
  const char *p = line.c_str();
  const char *last = p + line.size();
  out.clear();
  while (out.size() < count) {
    double v = 0.0;
    const char *end = nullptr;
    const Field got = fieldIn(p, last, "#", v, &end);
    if (got == Field::kText) break;
    if (got == Field::kOutOfRange) {
      *huge = numberBefore(p, end);
      return Read::kOutOfRange;
    }
    if (got != Field::kNumber || (finite && !std::isfinite(v))) return Read::kBad;
    out.push_back(v);
    p = end;
  }
  if (!noValueAfter(p, last)) return Read::kBad;
  return out.size() < count ? Read::kShort : Read::kAll;
}

// A term: n whole exponents in 0..kMaxExponent, then a finite coefficient
// and nothing more but a "#" note.  kOutOfRange (its text in *huge) for a
// coefficient no double can hold.
Read term(const std::string &line, int n, Response &r, std::string *huge) {
  std::string rest = line;
  for (int i = 0; i < n; ++i) {
    int e = 0;
    const char *end = nullptr;
    if (!parseInt(rest.c_str(), &end, &e) || e < 0 || e > kMaxExponent) return Read::kBad;
    if (*end && *end != ' ' && *end != '\t') return Read::kBad;  // "1.5", "2e"
    r.exps[static_cast<size_t>(i)].push_back(e);
    RemoveFirstField(rest.data());
    rest.resize(std::strlen(rest.c_str()));
  }
  const char *last = rest.c_str() + rest.size();
  const char *p = nullptr;
  double c = 0.0;
  const Field got = fieldIn(rest.c_str(), last, "#", c, &p);
  if (got == Field::kOutOfRange) {
    *huge = numberBefore(rest.c_str(), p);
    return Read::kOutOfRange;
  }
  if (got != Field::kNumber || !std::isfinite(c)) return Read::kBad;
  while (p < last && kiv::ascii::isSpace(*p)) ++p;
  if (p < last && *p != '#') return Read::kBad;
  r.coef.push_back(c);
  return Read::kAll;
}

bool readResponse(const Source &src, int k, Model &md, Response &r) {
  const Lines &lines = src.lines();
  const std::string head = "# output" + std::to_string(k);
  size_t i = 0;
  while (i < lines.size() && lines[i] != head) ++i;
  bool rsm = false;
  for (++i; i < lines.size() && !rsm; ++i) {
    const std::string &l = lines[i];
    if (l == "# offset" && i + 1 < lines.size()) {
      // Notes may stand between the key and its values; the next key does
      // not (it is taken for the values, which it lacks).
      while (i + 2 < lines.size() && startsWith(lines[i + 1], "#") && !isKey(lines[i + 1])) ++i;
      // Offsets the line lacks stay 0; a bad one is refused.
      std::vector<double> v;
      std::string_view huge;
      const Read got = numbers(lines[++i], static_cast<size_t>(md.n), v, true, &huge);
      if (got == Read::kOutOfRange) {
        src.sayOutOfRange(i, huge);
        return false;
      }
      if (got == Read::kBad) {
        kivfprintf(stderr, "Bad RSM offset line '%s'.\n", lines[i].c_str());
        return false;
      }
      std::copy(v.begin(), v.end(), r.offsets.begin());
    } else if (l == "# RSM") {
      rsm = true;
    } else if (startsWith(l, "# output") && l.find_first_not_of("0123456789", 8) == std::string::npos) {
      break;  // the next output's block: this one has no terms line
    }
  }
  if (!rsm) return false;
  for (; i < lines.size() && !isKey(lines[i]); ++i) {
    if (startsWith(lines[i], "#")) continue;
    std::string huge;
    const Read got = term(lines[i], md.n, r, &huge);
    if (got == Read::kOutOfRange) src.sayOutOfRange(i, huge);
    if (got == Read::kBad) kivfprintf(stderr, "Bad RSM term line '%s'.\n", lines[i].c_str());
    if (got != Read::kAll) return false;
  }
  for (int j = 0; j < md.n; ++j) {
    int h = 0;
    for (int e : r.exps[static_cast<size_t>(j)]) h = e > h ? e : h;
    r.highest[static_cast<size_t>(j)] = h;
    r.powers[static_cast<size_t>(j)].assign(static_cast<size_t>(h) + 1, 1.0);
  }
  return true;
}

bool readModel(const Source &src, Model &md) {
  const Lines &lines = src.lines();
  if (!readSizes(lines, md)) return false;
  const size_t n = static_cast<size_t>(md.n), m = static_cast<size_t>(md.m);
  try {
    md.titles.resize(n);
    md.units.resize(n);
    md.states.assign(n, 0);
    md.counts.assign(n, 0);
    md.responses.resize(m);
    for (size_t k = 0; k < m; ++k) {
      Response &r = md.responses[k];
      r.offsets.assign(n, 0.0);
      r.exps.resize(n);
      r.highest.assign(n, 0);
      r.powers.assign(n, std::vector<double>(1, 1.0));
      r.index = static_cast<int>(k);
    }
  } catch (const std::bad_alloc &) {
    kivfprintf(stderr, "Unable to allocate memory for RSM.\n");
    return false;
  }
  for (size_t k = 0; k < n; ++k) {
    const std::string i = "# input" + std::to_string(k + 1);
    md.titles[k] = keyed(lines, i + "_title = ");
    md.units[k] = keyed(lines, i + "_unit = ");
  }
  for (size_t k = 0; k < m; ++k) {
    const std::string o = "# output" + std::to_string(k + 1);
    md.responses[k].title = keyed(lines, o + "_title = ");
    md.responses[k].unit = keyed(lines, o + "_unit = ");
  }
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] != "# minmax" || i + 2 >= lines.size()) continue;
    // An infinite limit is no limit; a NaN one would hold any value.
    std::vector<double> lo, hi;
    for (size_t j = i + 1; j <= i + 2; ++j) {
      std::vector<double> &v = j == i + 1 ? lo : hi;
      std::string_view huge;
      const Read got = numbers(lines[j], n + m, v, false, &huge);
      const bool nan = std::any_of(v.begin(), v.end(), [](double d) { return std::isnan(d); });
      if (got == Read::kAll && !nan) continue;
      if (got == Read::kOutOfRange)
        src.sayOutOfRange(j, huge);
      else if (got == Read::kBad || nan)
        kivfprintf(stderr, "Bad RSM min max line '%s'.\n", lines[j].c_str());
      kivfprintf(stderr, "Unable to read RSM min max.\n");
      return false;
    }
    md.min.assign(lo.begin(), lo.begin() + static_cast<ptrdiff_t>(n));
    md.max.assign(hi.begin(), hi.begin() + static_cast<ptrdiff_t>(n));
    md.limitedX.assign(n, 0.0);
    for (size_t k = 0; k < m; ++k) {
      md.responses[k].limited = 1;
      md.responses[k].min = lo[n + k];
      md.responses[k].max = hi[n + k];
    }
    break;
  }
  for (int k = 1; k <= md.m; ++k)
    if (!readResponse(src, k, md, md.responses[static_cast<size_t>(k - 1)])) {
      kivfprintf(stderr, "Unable to read RSM response %d.\n", k);
      return false;
    }
  return true;
}

// The limit rule; names are "input %d" or "response %d".
double saturate(const Model &md, double lo, double hi, const char *kind, int number, double v,
                int &state, bool &warned) {
  if (md.mode == 2) {
    if (md.disc == 1) return dlimit_(&v, &lo, &hi, &state);
    return v > hi ? hi : (v < lo ? lo : v);
  }
  if (md.mode != 1) return v;
  const int before = state;
  dlimit_(&v, &lo, &hi, &state);
  if (state == 1 && before != 1) {
    kivfprintf(stderr, "RSM %s %d greater than authorized max %g.\n", kind, number, hi);
    warned = true;
  } else if (state == -1 && before != -1) {
    kivfprintf(stderr, "RSM %s %d lower than authorized min %g.\n", kind, number, lo);
    warned = true;
  }
  return v;
}

double factor(const Response &r, const std::vector<int> &counts, int i, int term) {
  const int e = r.exps[static_cast<size_t>(i)][static_cast<size_t>(term)];
  const std::vector<double> &p = r.powers[static_cast<size_t>(i)];
  switch (counts[static_cast<size_t>(i)]) {
    case 0:
      return p[static_cast<size_t>(e)];
    case 1:
      return e == 0 ? 0.0 : e * p[static_cast<size_t>(e - 1)];
    case 2:
      return e < 2 ? 0.0 : e * (e - 1.0) * p[static_cast<size_t>(e - 2)];
    default:
      return 0.0;
  }
}

Model *live(int id) {
  if (!g_reg.inRange(id) || g_reg.items[static_cast<size_t>(id)].responses.empty()) return nullptr;
  return &g_reg.items[static_cast<size_t>(id)];
}

}  // namespace

int createTitled(const char *file, int mode, int disc) {
  tables::NumberedLines text;
  if (tables::readLineList(file, false, 1, text) < 1) return -1;
  Model md;
  md.mode = mode;
  md.disc = disc;
  if (!readModel(Source{file, text}, md)) return -1;
  size_t id = 0;
  while (id < g_reg.items.size() && !g_reg.items[id].responses.empty()) ++id;
  if (id == g_reg.items.size()) g_reg.items.emplace_back();
  g_reg.hook(&AtEnd);
  g_reg.items[id] = std::move(md);
  kivfprintf(stdout, "Data read from file '%s': %d factor(s) and %d response(s).\n", file,
             g_reg.items[id].n, g_reg.items[id].m);
  return static_cast<int>(id);
}

int evalTitled(int id, const int *axes, int count, const double *x, double *out) {
  Model *md = live(id);
  if (!md) {
    kivfprintf(stderr, count > 0 || axes ? "Call to kivRsmEvalDeriv with invalid index (%d).\n"
                                         : "Call to kivRsmEval with invalid index (%d).\n",
               id);
    return 0;
  }
  for (int j = 0; j < count; ++j)
    if (axes[j] < 1 || axes[j] > md->n) {
      kivfprintf(stderr, "Derivation index %d must be in range [1,%d] and is %d.\n", j + 1, md->n,
                 axes[j]);
      return 0;
    }
  bool warned = false;
  const double *in = x;
  if (!md->min.empty() && md->mode != 0) {
    for (int i = 0; i < md->n; ++i) {
      const size_t k = static_cast<size_t>(i);
      md->limitedX[k] = saturate(*md, md->min[k], md->max[k], "input", i + 1, x[i],
                                 md->states[k], warned);
    }
    if (md->mode == 2) in = md->limitedX.data();
  }
  for (int j = 0; j < count; ++j) ++md->counts[static_cast<size_t>(axes[j] - 1)];
  for (Response &r : md->responses) {
    for (int i = 0; i < md->n; ++i) {
      std::vector<double> &p = r.powers[static_cast<size_t>(i)];
      const double d = in[i] - r.offsets[static_cast<size_t>(i)];
      for (size_t e = 1; e < p.size(); ++e) p[e] = d * p[e - 1];
    }
    double sum = 0.0;
    for (size_t t = 0; t < r.coef.size(); ++t) {
      double prod = r.coef[t];
      for (int i = 0; i < md->n && prod != 0.0; ++i)
        prod *= factor(r, md->counts, i, static_cast<int>(t));
      sum += prod;
    }
    if (count <= 0 && axes == nullptr && r.limited && md->mode != 0)
      sum = saturate(*md, r.min, r.max, "response", r.index + 1, sum, r.state, warned);
    out[r.index] = sum;
  }
  for (int j = 0; j < count; ++j) md->counts[static_cast<size_t>(axes[j] - 1)] = 0;
  return warned ? -1 : 1;
}

int titledInputs(int id) {
  const Model *md = live(id);
  return md ? md->n : -1;
}

int titledOutputs(int id) {
  const Model *md = live(id);
  return md ? md->m : -1;
}

int freeTitled(int id) {
  if (!live(id)) return 0;
  g_reg.items[static_cast<size_t>(id)] = Model{};
  return 1;
}

}  // namespace kiv::rsm

extern "C" {

int kivRsmInit_(const char *file, int mode, int disc) {
  return kiv::rsm::createTitled(file, mode, disc);
}

int kivRsmEval_(int *id, double *x, double *out) {
  return kiv::rsm::evalTitled(*id, nullptr, 0, x, out);
}

int kivRsmEvalDeriv_(int *id, int *axes, int *count, double *x, double *out) {
  static const int none = 0;
  // A plain evaluation through this entry skips the output limits.
  return kiv::rsm::evalTitled(*id, *count > 0 ? axes : &none, *count > 0 ? *count : 0, x, out);
}

int kivRsmGetNumInputs_(int *id) {
  const int n = kiv::rsm::titledInputs(*id);
  if (n < 0) kivfprintf(stderr, "Call to kivRsmGetNumInputs with invalid index (%d).\n", *id);
  return n;
}

int kivRsmGetNumOutputs_(int *id) {
  const int m = kiv::rsm::titledOutputs(*id);
  if (m < 0) kivfprintf(stderr, "Call to kivRsmGetNumOutputs with invalid index (%d).\n", *id);
  return m;
}

int kivRsmFree_(int *id) {
  if (kiv::rsm::freeTitled(*id)) return 1;
  kivfprintf(stderr, "Call to kivRsmFree with invalid index (%d).\n", *id);
  return 0;
}

void FreeAllRSM2(void) { kiv::rsm::g_reg.clear(); }

}  // extern "C"
