// Inside view of the units manager.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tables/kiv_units.h"

namespace kiv::units {

using Exponents = std::array<int, KIV_UNIT_DIMENSIONS>;

}  // namespace kiv::units

struct KIVUnit {
  std::string name;
  KIVUnitDomain *domain = nullptr;
  std::string conversion;  // as written; empty when none
  double factor = 1.0;
  double offset = 0.0;
  int isDefault = 0;
  int kind = 0;  // 1 for the domain's base unit
  std::string preferred;
  const KIVUnit *preferredUnit = nullptr;
  // Base unit only: a unit of another domain and the map from this
  // domain's SI value to that domain's.
  std::string link;
  double linkFactor = 1.0;
  double linkOffset = 0.0;
};

struct KIVUnitDomain {
  std::string name;
  kiv::units::Exponents exponents{};
  std::vector<std::unique_ptr<KIVUnit>> units;
  KIVUnit *defaultUnit = nullptr;
  KIVUnit *baseUnit = nullptr;

  KIVUnit *find(std::string_view unitName) const;
};

struct UnitsManager {
  std::string directory;
  std::string file;
  std::vector<std::unique_ptr<KIVUnitDomain>> domains;
};

namespace kiv::units {

// The manager, created from the units file on first use.
UnitsManager &manager();

// Reads the cleaned lines of a units file into the manager; path names the
// file in messages.
void readUnitsFile(UnitsManager &m, char **lines, int n, const char *path);

// A domain line (the text after "#"): a new domain, or null when a domain
// of that name is already known.
KIVUnitDomain *addDomain(UnitsManager &m, std::string_view text);

// A base-unit line (kind 1) or a unit line (kind 0) of the domain, split in
// fields; false when the line was refused.
bool addUnitLine(KIVUnitDomain &d, const std::vector<std::string> &fields, const std::string &line,
                 int kind);

// Splits a line on runs of blanks.
std::vector<std::string> splitFields(std::string_view line);

// Evaluates a numeric expression over the single variable M_PI; false after
// a message.
bool evaluateNumber(const std::string &text, double *value);

}  // namespace kiv::units
