// The units manager: reading the units file, resolving words by prefixes
// and products of known units, analysing unit expressions and converting
// between units.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "params/kiv_expr.h"
#include "runtime/ascii.hpp"
#include "runtime/cstring.hpp"
#include "tables/kiv_tablefiles.h"
#include "tables/units.hpp"

namespace kiv::units {
namespace {

std::unique_ptr<UnitsManager> &slot() {
  static std::unique_ptr<UnitsManager> m;
  return m;
}

void freeAtEnd(int, int) { FreeAllUnitStuff(); }

bool isSignedInteger(const std::string &w) {
  size_t i = (w[0] == '+' || w[0] == '-') ? 1 : 0;
  if (i == w.size()) return false;
  for (; i < w.size(); ++i)
    if (w[i] < '0' || w[i] > '9') return false;
  return true;
}

KIVUnitDomain *domainListing(const UnitsManager &m, const std::string &unitName) {
  for (const auto &d : m.domains)
    if (d->find(unitName)) return d.get();
  return nullptr;
}

void resolvePreferred(UnitsManager &m) {
  for (const auto &d : m.domains) {
    const KIVUnitDomain *linked = nullptr;
    if (d->baseUnit && !d->baseUnit->link.empty()) linked = domainListing(m, d->baseUnit->link);
    for (const auto &u : d->units) {
      if (u->preferred.empty()) continue;
      u->preferredUnit = d->find(u->preferred);
      if (!u->preferredUnit && linked) u->preferredUnit = linked->find(u->preferred);
    }
  }
}

// The factor and the exponents of a word, and the unit record it resolved
// to.
struct Resolved {
  double factor = 1.0;
  Exponents exponents{};
  const KIVUnit *unit = nullptr;
};

// Longer words are not analysed: no unit name is that long, and the
// product split of a garbled word must stay cheap.
constexpr size_t kMaxWord = 64;

struct Prefix {
  char letter;
  double factor;
};
constexpr Prefix kPrefixes[] = {{'T', 1e12}, {'G', 1e9},  {'M', 1e6},  {'k', 1e3},
                                {'h', 1e2},  {'p', 1e-12}, {'n', 1e-9}, {'d', 0.1},
                                {'c', 1e-2}, {'m', 1e-3}, {'u', 1e-6}};

// Resolves words by known units, SI prefixes and products, remembering
// every word it has tried.
class Resolver {
 public:
  explicit Resolver(const UnitsManager &m) : m_(m) {}

  const Resolved *resolve(const std::string &w) {
    auto it = memo_.find(w);
    if (it == memo_.end()) it = memo_.emplace(w, compute(w)).first;
    return it->second ? &*it->second : nullptr;
  }

 private:
  std::optional<Resolved> compute(const std::string &w) {
    if (w.empty() || w.size() > kMaxWord) return std::nullopt;
    for (const auto &d : m_.domains)
      if (const KIVUnit *u = d->find(w)) return Resolved{u->factor, d->exponents, u};
    if (w.size() == 1) return std::nullopt;
    if (w.size() > 2 && w.compare(0, 2, "da") == 0)
      if (const Resolved *rest = resolve(w.substr(2))) return scaled(*rest, 10.0);
    if (!(w[0] == 'h' && w[1] == 'r')) {
      for (const auto &p : kPrefixes) {
        if (p.letter != w[0]) continue;
        if (const Resolved *rest = resolve(w.substr(1))) return scaled(*rest, p.factor);
        // A word beginning with "d" is deci-something or nothing.
        if (p.letter == 'd') return std::nullopt;
      }
    }
    for (size_t i = w.size() - 1; i >= 1; --i) {
      const Resolved *left = resolve(w.substr(0, i));
      if (!left) continue;
      const Resolved *right = resolve(w.substr(i));
      if (!right) continue;
      // A product of units carries the dimensions of both parts.
      Resolved r{left->factor * right->factor, left->exponents, right->unit};
      for (size_t k = 0; k < r.exponents.size(); ++k) r.exponents[k] += right->exponents[k];
      return r;
    }
    return std::nullopt;
  }

  static Resolved scaled(Resolved r, double factor) {
    r.factor *= factor;
    return r;
  }

  const UnitsManager &m_;
  std::map<std::string, std::optional<Resolved>> memo_;
};

// The distinct words of a unit expression, cut at "(", ")", "*" and "/";
// numbers are left out.
std::vector<std::string> wordsOf(const std::string &text) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i <= text.size()) {
    const size_t e = std::min(text.find_first_of("()*/", i), text.size());
    std::string w = text.substr(i, e - i);
    const size_t b = w.find_first_not_of(" \t");
    w = b == std::string::npos ? std::string() : w.substr(b, w.find_last_not_of(" \t") - b + 1);
    if (!w.empty() && !isSignedInteger(w) && std::find(words.begin(), words.end(), w) == words.end())
      words.push_back(w);
    i = e + 1;
  }
  return words;
}

// Frees an expression id when it goes out of scope.
struct ExprId {
  int id = -1;
  ~ExprId() {
    if (id >= 0) expfree_(&id);
  }
};

int analyse(const char *unit, double *factor, double *offset, Exponents &exps) {
  *factor = 1.0;
  *offset = 0.0;
  exps = Exponents{};
  UnitsManager &m = manager();
  if (const KIVUnit *u = GetUnit(&m, unit)) {
    *factor = u->factor;
    *offset = u->offset;
    exps = u->domain->exponents;
    return 1;
  }
  const std::string text(unit);
  const std::vector<std::string> words = wordsOf(text);
  if (words.empty()) {
    kivfprintf(stderr, "\nUnable to extract any token from '%s'", kiv::quoteCut(unit).c_str());
    return 0;
  }
  Resolver resolver(m);
  std::vector<const Resolved *> parts;
  for (const auto &w : words) {
    for (char c : w)
      if (!ascii::isAlpha(c)) {
        kivfprintf(stderr, "\nToken '%s' is invalid in expression: '%s'", kiv::quoteCut(w).c_str(),
                   kiv::quoteCut(unit).c_str());
        return 0;
      }
    const Resolved *r = resolver.resolve(w);
    if (!r) {
      kivfprintf(stderr, "\nUnable to find conversion factor for token '%s'", kiv::quoteCut(w).c_str());
      return 0;
    }
    parts.push_back(r);
  }
  std::vector<std::string> nameStore(words);
  std::vector<char *> names;
  for (auto &w : nameStore) names.push_back(w.data());
  const int n = static_cast<int>(names.size());
  ExprId e;
  e.id = CheckExpressionQuietly(GetGlobalSystem(), unit, n, names.data(), 1);
  if (e.id < 0) {
    kivfprintf(stderr, "\nUnable to parse expression '%s'", kiv::quoteCut(unit).c_str());
    return 0;
  }
  std::vector<double> values;
  for (const Resolved *r : parts) values.push_back(r->factor);
  double f = 1.0;
  if (!expeval_(&e.id, values.data(), &f) || !std::isfinite(f)) {
    kivfprintf(stderr, "\nUnable to evaluate expression '%s'", kiv::quoteCut(unit).c_str());
    return 0;
  }
  std::vector<int> powers(parts.size());
  for (size_t k = 0; k < exps.size(); ++k) {
    for (size_t i = 0; i < parts.size(); ++i) powers[i] = parts[i]->exponents[k];
    if (!EvaluateUnitPowers(e.id, powers.data(), &exps[k])) {
      kivfprintf(stderr, "\nUnable to evaluate expression '%s'", kiv::quoteCut(unit).c_str());
      return 0;
    }
  }
  *factor = f;
  return 1;
}

}  // namespace

UnitsManager &manager() { return *InitUnitsManager(nullptr); }

void readUnitsFile(UnitsManager &m, char **lines, int n, const char *path) {
  KIVUnitDomain *current = nullptr;
  bool skipping = false;  // the section of a domain already known
  bool base = false;      // the next line is the base-unit line
  for (int i = 0; i < n; ++i) {
    const std::string line(lines[i] ? lines[i] : "");
    if (line.empty()) continue;
    if (line[0] == '#') {
      current = addDomain(m, std::string_view(line).substr(1));
      skipping = current == nullptr;
      base = current != nullptr;
      continue;
    }
    if (!current) {
      if (skipping) continue;
      kivfprintf(stderr, "Can't read file '%s'", path);
      return;
    }
    addUnitLine(*current, splitFields(line), line, base ? 1 : 0);
    base = false;
  }
}

}  // namespace kiv::units

using namespace kiv::units;

extern "C" {

UnitsManager *InitUnitsManager(const char *directory) {
  auto &s = slot();
  if (s) return s.get();
  KivInstallAtEnd(&freeAtEnd, 0);
  kiv::guardAllocation("GetUnitPtr", [&] {
    s = std::make_unique<UnitsManager>();
    s->directory = (directory && *directory) ? directory : "$KIV";
    s->file = "KIV.units";
  });
  UnitsManager &m = *s;
  int n = -1, skip = 0;
  std::string path = "./" + m.file;
  char **lines = rtableml_quiet(path.c_str(), &n, &skip, 0);
  if (!lines && n < 0) {
    path = m.directory + "/" + m.file;
    lines = rtableml_quiet(path.c_str(), &n, &skip, 1);
  }
  struct Lines {
    char **p;
    int n;
    ~Lines() {
      for (int i = 0; i < n; ++i) std::free(p[i]);
      std::free(p);
    }
  } owned{lines, lines ? n : 0};
  if (lines) readUnitsFile(m, lines, n, path.c_str());
  resolvePreferred(m);
  return &m;
}

void FreeAllUnitStuff(void) { slot().reset(); }

const KIVUnit *GetUnit(const UnitsManager *manager, const char *name) {
  if (!manager || !name) return nullptr;
  for (const auto &d : manager->domains)
    if (const KIVUnit *u = d->find(name)) return u;
  return nullptr;
}

int AreUnitsHomogeneous(const char *u1, const char *u2) {
  if (!u1 || !u2) return 0;
  if (std::string_view(u1) == u2) return 1;
  for (const auto &d : manager().domains)
    if (d->find(u1) && d->find(u2)) return 1;
  return 0;
}

int GetConvFactForToken(const char *token, double *factor, const KIVUnit **unit) {
  if (unit) *unit = nullptr;
  if (!token) return 0;
  Resolver r(manager());
  const Resolved *res = r.resolve(token);
  if (!res) return 0;
  if (factor) *factor = res->factor;
  if (unit) *unit = res->unit;
  return 1;
}

int GetConvFactAndBase(const char *unit, double *factor, double *offset, int *exponents) {
  double f = 1.0, o = 0.0;
  Exponents e{};
  int ok = 0;
  if (unit) {
    try {
      ok = analyse(unit, &f, &o, e);
    } catch (const std::bad_alloc &) {
      kivfprintf(stderr, "\nMemory error in GetConvFact.\n");
      ok = 0;
    }
  }
  if (factor) *factor = f;
  if (offset) *offset = o;
  if (exponents) std::copy(e.begin(), e.end(), exponents);
  return ok;
}

int GetConvFact(const char *unit, double *factor, double *offset) {
  return GetConvFactAndBase(unit, factor, offset, nullptr);
}

int GetConvFactFromU1toU2(const char *u1, const char *u2, double *factor, double *offset) {
  if (!u1 || !u2) return 0;
  UnitsManager &m = manager();
  const KIVUnit *a = GetUnit(&m, u1);
  const KIVUnit *b = GetUnit(&m, u2);
  if (a && b && !AreUnitsHomogeneous(u1, u2)) {
    const KIVUnit *l = a->kind == 1 ? a : a->domain->baseUnit;
    if (l && !l->link.empty() && b->domain->find(l->link)) {
      if (factor) *factor = a->factor * l->linkFactor / b->factor;
      if (offset) *offset = (l->linkOffset + l->linkFactor * a->offset - b->offset) / b->factor;
      return 1;
    }
    kivfprintf(stderr, "Unit domains '%s' and '%s' are not compatible.\n", a->domain->name.c_str(),
               b->domain->name.c_str());
    return 0;
  }
  double f1, o1, f2, o2;
  int e1[KIV_UNIT_DIMENSIONS], e2[KIV_UNIT_DIMENSIONS];
  if (!GetConvFactAndBase(u1, &f1, &o1, e1) || !GetConvFactAndBase(u2, &f2, &o2, e2)) {
    kivfprintf(stderr, "\nUnable to convert from unit '%s' to unit '%s'\n", u1, u2);
    return 0;
  }
  if (!std::equal(e1, e1 + KIV_UNIT_DIMENSIONS, e2)) {
    kivfprintf(stderr, "\nUnits '%s' and '%s' seem to be incompatible. Conversion impossible.\n", u1, u2);
    return 0;
  }
  if (f2 == 0.0) {
    kivfprintf(stderr, "\nNull scale factor to convert unit '%s' to SI units.\n", u2);
    return 0;
  }
  if (factor) *factor = f1 / f2;
  if (offset) *offset = (o1 - o2) / f2;
  return 1;
}

}  // extern "C"
