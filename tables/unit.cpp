// Units: the fields of a units-file line, conversion texts and the unit
// record accessors.
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>

#include "params/kiv_expr.h"
#include "runtime/cstring.hpp"
#include "tables/units.hpp"

namespace kiv::units {
namespace {

constexpr size_t kMaxExpression = 2046;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// A sign that belongs to a decimal exponent ("1e-5", "1.5D+3") rather than
// being an additive operator.
bool isExponentSign(const std::string &s, size_t i) {
  if (i < 2) return false;
  const char e = s[i - 1], before = s[i - 2];
  return (e == 'e' || e == 'E' || e == 'd' || e == 'D') &&
         ((before >= '0' && before <= '9') || before == '.');
}

void notValid(const char *text) {
  kivfprintf(stderr, "'%s' is not a valid unit convertion factor. Check your units file.",
             kiv::quoteCut(text).c_str());
}

// The factor of a text beginning with "*" or "/".
bool factorOf(const std::string &text, double *factor) {
  if (text.empty() || (text[0] != '*' && text[0] != '/')) {
    notValid(text.c_str());
    return false;
  }
  return evaluateNumber(text[0] == '*' ? text.substr(1) : "1" + text, factor);
}

}  // namespace

std::vector<std::string> splitFields(std::string_view line) {
  std::vector<std::string> fields;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && isBlank(line[i])) ++i;
    const size_t b = i;
    while (i < line.size() && !isBlank(line[i])) ++i;
    if (i > b) fields.emplace_back(line.substr(b, i - b));
  }
  return fields;
}

bool evaluateNumber(const std::string &text, double *value) {
  if (text.size() > kMaxExpression) {
    kivfprintf(stderr, "\nNot enough space to evaluate expression '%s'", kiv::quoteCut(text).c_str());
    return false;
  }
  char pi[] = "M_PI";
  char *names[] = {pi};
  int id = CheckExpressionQuietly(GetGlobalSystem(), text.c_str(), 1, names, 1);
  if (id < 0) {
    kivfprintf(stderr, "\nUnable to evaluate expression '%s'", kiv::quoteCut(text).c_str());
    return false;
  }
  double values[] = {std::numbers::pi};
  double r = 0.0;
  const int ok = expeval_(&id, values, &r);
  expfree_(&id);
  // A factor that cannot be evaluated must not pass as some substitute.
  if (!ok || !std::isfinite(r)) {
    kivfprintf(stderr, "\nUnable to evaluate expression '%s'", kiv::quoteCut(text).c_str());
    return false;
  }
  *value = r;
  return true;
}

}  // namespace kiv::units

using namespace kiv::units;

extern "C" {

int ExtractConvFact(const char *text, double *factor, double *offset) {
  if (!text || !factor || !offset) {
    kivfprintf(stderr, "Cannot extract conversion factor and offset, bad arguments.");
    return -1;
  }
  std::string s;
  for (const char *c = text; *c; ++c)
    if (!isBlank(*c)) s.push_back(*c);
  if (s.find('(') != std::string::npos) {
    kivfprintf(stderr, "Sorry, parenthesis are not supported in unit conversion expression.");
    return -1;
  }
  const size_t mul = s.find_first_of("*/");
  size_t add = std::string::npos;
  for (size_t i = 0; i < s.size() && add == std::string::npos; ++i)
    if ((s[i] == '+' || s[i] == '-') && !isExponentSign(s, i)) add = i;
  double f = 1.0, o = 0.0;
  if (mul == std::string::npos && add == std::string::npos) {
    notValid(s.c_str());
    return -1;
  }
  if (add == std::string::npos) {
    if (mul != 0) {
      notValid(s.c_str());
      return -1;
    }
    if (!factorOf(s, &f)) return -1;
  } else if (mul == std::string::npos) {
    if (add != 0) {
      notValid(s.c_str());
      return -1;
    }
    if (!evaluateNumber(s, &o)) return -1;
  } else {
    if (add < mul) {
      notValid(s.c_str());
      return -1;
    }
    if (!factorOf(s.substr(0, add), &f) || !evaluateNumber(s.substr(add), &o)) return -1;
  }
  *factor = f;
  *offset = o;
  return (f != 1.0 || o != 0.0) ? 1 : 0;
}

const char *GetConversionString(const KIVUnit *unit) {
  if (!unit || unit->conversion.empty()) return "*1";
  return unit->conversion.c_str();
}

const char *GetUnitName(const KIVUnit *unit) { return unit ? unit->name.c_str() : nullptr; }

const char *GetUnitDomainName(const KIVUnit *unit) {
  return unit && unit->domain ? unit->domain->name.c_str() : nullptr;
}

void GetUnitFactorAndOffset(const KIVUnit *unit, double *factor, double *offset) {
  if (factor) *factor = unit ? unit->factor : 1.0;
  if (offset) *offset = unit ? unit->offset : 0.0;
}

const KIVUnit *GetPreferredUnit(const KIVUnit *unit) { return unit ? unit->preferredUnit : nullptr; }

}  // extern "C"
