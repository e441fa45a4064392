// Unit domains: domain lines and the base-unit and unit lines of a domain.
#include <cstdlib>
#include <string>

#include "runtime/ascii.hpp"
#include "runtime/numbers.hpp"
#include "tables/units.hpp"

KIVUnit *KIVUnitDomain::find(std::string_view unitName) const {
  for (const auto &u : units)
    if (u->name == unitName) return u.get();
  return nullptr;
}

namespace kiv::units {
namespace {

std::string trim(std::string_view s) {
  const size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  const size_t e = s.find_last_not_of(" \t");
  return std::string(s.substr(b, e - b + 1));
}

// "[%d,%d,%d,%d,%d,%d,%d]", blanks allowed around the numbers.
bool readExponents(const char *p, Exponents &e) {
  if (*p++ != '[') return false;
  for (int i = 0; i < KIV_UNIT_DIMENSIONS; ++i) {
    if (i > 0) {
      while (*p == ' ' || *p == '\t') ++p;
      if (*p++ != ',') return false;
    }
    const char *end = nullptr;
    int v = 0;
    if (!kiv::parseInt(p, &end, &v) || v < -1000 || v > 1000) return false;
    e[static_cast<size_t>(i)] = v;
    p = end;
  }
  return true;
}

// "->" or "=>" fields: two characters, or beginning with the arrow.
bool arrowField(const std::string &f, const char *arrow) {
  return f.size() == 2 || f.compare(0, 2, arrow) == 0;
}

void lineError(const char *format, const std::string &line) {
  kivfprintf(stderr, format, line.c_str());
}

// A factor of 0 (also one written below the least double, "1e-400") would
// turn every value of the unit into 0, and one that cannot be evaluated
// (beyond the range of a double) into nothing: the unit is left out.
bool beyondDouble(const char *text) {
  for (const char *p = text; *p; ++p) {
    if (!kiv::ascii::isDigit(*p)) continue;
    bool overflow = false;
    const char *end = p;
    kiv::parseDouble(p, &end, &overflow);
    if (overflow) return true;
    p = end > p ? end - 1 : p;
  }
  return false;
}

bool usableFactor(const std::string &unit, const char *text, double *factor, double *offset) {
  if (ExtractConvFact(text, factor, offset) < 0) {
    // Its own message says what is wrong with the text; a number no double
    // holds is said to cost the unit.
    if (beyondDouble(text))
      kivfprintf(stderr, "\nThe factor of unit '%s' in the units file is beyond the range of a double: the unit is "
                 "left out.\n", unit.c_str());
    return false;
  }
  if (*factor != 0.0) return true;
  kivfprintf(stderr, "\nThe factor of unit '%s' in the units file is 0: the unit is left out.\n", unit.c_str());
  return false;
}

}  // namespace

KIVUnitDomain *addDomain(UnitsManager &m, std::string_view text) {
  const size_t bracket = text.find('[');
  std::string name = trim(text.substr(0, bracket));
  Exponents e{};
  if (bracket != std::string_view::npos) {
    const std::string rest(text.substr(bracket));
    if (!readExponents(rest.c_str(), e)) {
      kivfprintf(stderr, "Unit base not decoded for domain '%s'.\n", name.c_str());
      name = trim(text);
      e = Exponents{};
    }
  }
  for (const auto &d : m.domains)
    if (d->name == name) return nullptr;
  kiv::guardAllocation("GetUnitPtr", [&] {
    auto d = std::make_unique<KIVUnitDomain>();
    d->name = std::move(name);
    d->exponents = e;
    m.domains.push_back(std::move(d));
  });
  return m.domains.back().get();
}

bool addUnitLine(KIVUnitDomain &d, const std::vector<std::string> &fields, const std::string &line,
                 int kind) {
  const size_t n = fields.size();
  if (n == 0) return false;
  if (n > 6) {
    lineError("Warning in ExtractUnitsFields.\nError in units file line is: '%s'", line);
    return false;
  }
  std::string name = fields[0];
  int isDefault = 0;
  if (name.size() >= 2 && name.front() == '<' && name.back() == '>') {
    name = name.substr(1, name.size() - 2);
    isDefault = 1;
    if (name.empty()) {
      lineError("Warning in ExtractUnitsFields.\nError in units file line is: '%s'", line);
      return false;
    }
  }
  if (d.find(name)) return false;
  KIVUnit u;
  u.name = name;
  u.domain = &d;
  u.isDefault = isDefault;
  u.kind = kind;
  if (kind == 1) {
    switch (n) {
      case 1:
        u.preferred = name;
        break;
      case 3:
        u.preferred = fields[2];
        break;
      case 4:
      case 6:
        if (n == 6 && !arrowField(fields[4], "=>")) return false;
        if (!usableFactor(name, fields[3].c_str(), &u.linkFactor, &u.linkOffset)) return false;
        u.link = fields[2];
        if (n == 6) u.preferred = fields[5];
        break;
      default:
        return false;
    }
  } else if (n == 4 || n == 6) {
    if (!arrowField(fields[1], "->")) {
      lineError("Warning in ExtractUnitsFieldsError.\nError in units file line is: %s", line);
      return false;
    }
    if (n == 6 && !arrowField(fields[4], "=>")) {
      lineError("Warning in ExtractUnitsFields.\nError in units file line is: %s", line);
      return false;
    }
    if (!usableFactor(name, fields[3].c_str(), &u.factor, &u.offset)) return false;
    u.conversion = fields[3];
    u.preferred = n == 4 ? name : fields[5];
  }
  kiv::guardAllocation("GetUnitPtr", [&] {
    d.units.push_back(std::make_unique<KIVUnit>(std::move(u)));
  });
  KIVUnit *added = d.units.back().get();
  if (kind == 1) d.baseUnit = added;
  if (isDefault) d.defaultUnit = added;
  return true;
}

}  // namespace kiv::units
