// Fluids defined from fluid data files: the reader of the file's items, the
// temperature brackets of the fluid and its registration.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>

#include "hydraulics/fptables.hpp"
#include "runtime/ascii.hpp"
#include "runtime/cstring.hpp"
#include "runtime/numbers.hpp"
#include "tables/kiv_tablefiles.h"

namespace {

// The lines of a file as the line-list reader hands them over.
struct LineList {
  char **lines = nullptr;
  int count = 0;
  LineList() = default;
  LineList(const LineList &) = delete;
  LineList &operator=(const LineList &) = delete;
  ~LineList() { release(); }
  // Takes over what the reader handed over: a count without its lines
  // counts nothing.
  void adopt(char **got, int n) {
    release();
    lines = got;
    count = got ? n : 0;
  }
  void release() {
    for (int i = 0; i < count; ++i) std::free(lines[i]);
    std::free(lines);
    lines = nullptr;
    count = 0;
  }
};

const char *skipBlanks(const char *s) {
  while (kiv::ascii::isSpace(*s)) ++s;
  return s;
}

// What may follow the numbers of an item: nothing, or a comment.
bool endsWell(const char *s) {
  s = skipBlanks(s);
  return *s == '\0' || *s == '#';
}

// One integer item ("%d", then nothing or a comment).
bool readInteger(const char *line, int *value) {
  if (!line) return false;
  const char *end = nullptr;
  return kiv::parseInt(skipBlanks(line), &end, value) && endsWell(end);
}

// Up to `count` reals; returns how many were read and whether the rest of the
// line is acceptable.  Values that are not finite count as unreadable.
struct Reals {
  int read = 0;
  bool tail = false;
};
Reals readReals(const char *line, double *values, int count) {
  Reals out;
  if (!line) return out;
  const char *s = line;
  for (; out.read < count; ++out.read) {
    const char *end = nullptr;
    const double v = kiv::parseDouble(s, &end);
    if (end == s) return out;
    values[out.read] = v;
    s = end;
  }
  for (int i = 0; i < count; ++i)
    if (!std::isfinite(values[i])) return out;
  out.tail = endsWell(s);
  return out;
}

// The items of a fluid data file, in order, into a table slot.  The first
// item that fails prints its messages and stops the parse.
class FluidFileParser {
 public:
  FluidFileParser(const LineList &lines, HydTableSlot &slot) : lines_(lines), slot_(slot) {}

  bool parse() { return densityPart() && viscosityPart() && nothingLeft(); }

 private:
  const char *next() { return pos_ < lines_.count ? lines_.lines[pos_++] : nullptr; }

  // The line that did not match, or the end of the file.
  static void followUp(const char *line) {
    if (!line)
      kivfprintf(stderr, "End of file has been reached.\n");
    else
      kivfprintf(stderr,
                 "(instead of string '%s').\nRead FP04 documentation for more information.\n",
                 kiv::quoteCut(line).c_str());
  }

  // A temperature above absolute zero and above the previous one.
  bool temperature(const std::vector<double> &previous, double *t) {
    const char *line = next();
    double v[1];
    const Reals r = readReals(line, v, 1);
    const double lowest = previous.empty() ? -273.15 : previous.back();
    const bool ok = r.read == 1 && r.tail && (previous.empty() ? v[0] >= lowest : v[0] > lowest);
    if (ok) *t = v[0];
    lowestShown_ = lowest;
    lastLine_ = line;
    return ok;
  }

  bool count(int *n) {
    lastLine_ = next();
    return readInteger(lastLine_, n) && *n >= 1;
  }

  // Pressure [bar] and a strictly positive value, converted by the factors.
  enum class Pair { Ok, Missing, Bad };
  Pair pair(double pressureFactor, double valueFactor, std::vector<double> &p,
            std::vector<double> &v) {
    lastLine_ = next();
    double x[2];
    const Reals r = readReals(lastLine_, x, 2);
    if (r.read < 2) return Pair::Missing;
    const double pressure = x[0] * pressureFactor, value = x[1] * valueFactor;
    if (!r.tail || !(x[0] >= lowest_) || !(x[1] > 0.0) || !std::isfinite(pressure) ||
        !std::isfinite(value))
      return Pair::Bad;
    p.push_back(pressure);
    v.push_back(value);
    return Pair::Ok;
  }

  bool densityPart() {
    HydTableSlot &s = slot_;
    const char *line = next();
    if (!readInteger(line, &s.bm_mode) || s.bm_mode < 1 || s.bm_mode > 3) {
      kivfprintf(stderr,
                 "\nError when reading definition mode for bulk and density.\nA positive integer "
                 "equal to 1, 2, or 3 must be provided in the file.\n");
      followUp(line);
      return false;
    }
    return family(kiv::hyd::densityQuantity(s.bm_mode), s.bm_mode != 2, s.bm_mode == 1 ? 1e5 : 1.0,
                  s.bm_temperature, s.bm_pressure, s.bm_value);
  }

  bool viscosityPart() {
    HydTableSlot &s = slot_;
    const char *line = next();
    if (!readInteger(line, &s.mu_mode) || s.mu_mode < 1 || s.mu_mode > 2) {
      kivfprintf(stderr,
                 "\nError when reading viscosity definition mode.\nA positive integer equal to 1 "
                 "or 2 must be provided in the file.\n");
      followUp(line);
      return false;
    }
    // cP or cSt to Pa.s or m2/s.
    return family("viscosity", false, s.mu_mode == 1 ? 1.0 / 1000.0 : 1.0 / 1000.0 / 1000.0,
                  s.mu_temperature, s.mu_pressure, s.mu_value);
  }

  // The tables of one family: their count, then per temperature (after its
  // reference line when the family has one) the pairs.
  bool family(const char *name, bool reference, double valueFactor, std::vector<double> &temps,
              std::vector<std::vector<double>> &pressures,
              std::vector<std::vector<double>> &values) {
    int nT = 0;
    if (!count(&nT)) {
      kivfprintf(stderr,
                 "\nError when reading the number of different temperatures for %s "
                 "definition.\nA valid positive integer must be provided in the file.\n",
                 name);
      followUp(lastLine_);
      return false;
    }
    for (int k = 0; k < nT; ++k) {
      if (reference && !referenceLine(k)) return false;
      double t = 0.0;
      if (!temperature(temps, &t)) {
        kivfprintf(stderr,
                   "\nError when reading temperature value number %d for %s definition.\nA "
                   "temperature greater than %.2f degC must be provided.\n",
                   k + 1, name, lowestShown_);
        followUp(lastLine_);
        return false;
      }
      temps.push_back(t);
      int nP = 0;
      if (!count(&nP)) {
        kivfprintf(stderr,
                   "\nError when reading number of data pairs for %s at %g degC.\nA valid "
                   "positive integer must be provided in the file.\n",
                   name, t);
        followUp(lastLine_);
        return false;
      }
      auto &p = pressures.emplace_back();
      auto &v = values.emplace_back();
      for (int j = 0; j < nP; ++j) {
        const Pair r = pair(1e5, valueFactor, p, v);
        if (r == Pair::Missing) {
          kivfprintf(stderr, "\nError: no data pair number %d provided for %s at %g degC.\n", j + 1,
                     name, t);
          if (!lastLine_) followUp(nullptr);
          return false;
        }
        if (r == Pair::Bad) {
          kivfprintf(stderr,
                     "\nError when reading data pair number %d for %s at %g degC.\nA pressure "
                     "value greater than gauge pressure %f bar and a strictly positive value of "
                     "%s must be provided.\n",
                     j + 1, name, t, lowest_, name);
          followUp(lastLine_);
          return false;
        }
      }
    }
    return true;
  }

  bool referenceLine(int k) {
    const char *line = next();
    double x[2];
    const Reals r = readReals(line, x, 2);
    if (r.read < 2 || !r.tail || !std::isfinite(x[1] * 1e5)) {
      kivfprintf(stderr,
                 "\nError: no reference density number %d and corresponding pressure "
                 "provided.\nA strictly positive density value and a pressure greater than gauge "
                 "pressure %f bar must be provided.\n",
                 k + 1, lowest_);
      followUp(line);
      return false;
    }
    if (!(x[0] > 0.0)) {
      kivfprintf(stderr, "\nReference density number %d must be strictly positive (string '%s').\n",
                 k + 1, kiv::quoteCut(line).c_str());
      return false;
    }
    if (!(x[1] >= lowest_)) {
      kivfprintf(stderr,
                 "\nReference pressure number %d must be greater or equal to gauge pressure %f "
                 "bar (string '%s').\n",
                 k + 1, lowest_, kiv::quoteCut(line).c_str());
      return false;
    }
    slot_.ref_density.push_back(x[0]);
    slot_.ref_pressure.push_back(x[1] * 1e5);
    return true;
  }

  bool nothingLeft() {
    if (pos_ >= lines_.count) return true;
    kivfprintf(stderr, "Some lines of the file have not been read.\nThe remaining lines are:\n");
    // A readable list: long lines cut, and no more than kListed of them.
    constexpr int kListed = 20;
    for (int i = pos_; i < lines_.count && i < pos_ + kListed; ++i)
      kivfprintf(stderr, "| %s\n", kiv::quoteCut(lines_.lines[i]).c_str());
    if (lines_.count - pos_ > kListed) kivfprintf(stderr, "| ...\n");
    return false;
  }

  const LineList &lines_;
  HydTableSlot &slot_;
  int pos_ = 0;
  const char *lastLine_ = nullptr;
  double lowestShown_ = -273.15;
  const double lowest_ = -getatp_() / 1e5;  // absolute zero, bar gauge
};

}  // namespace

bool kiv::hyd::defineFromFile(int i, const char *file_name, const GeneralProperties &g) {
  HydIndexList &b = *GetOrCreateHydIndexList();
  if (!b.initialised) inifprop_();
  CheckIndex(i, 1);
  const double t = g.t_celsius;
  // Refused before anything is read or registered, as changeT_ refuses it.
  if (!possibleTemperature(i, t)) return false;

  std::unique_ptr<char, decltype(&std::free)> name(
      kiv::dupText(file_name ? file_name : "", "fptables_"), &std::free);
  HydFluidRecord r = generalRecord(i, 1, g.p_sat, g.air_percent, t, g.polytropic, g.mu_air,
                                   g.p_sat_high, g.p_sat_low, g.mu_vapour, g.vapour_molar_mass,
                                   g.air_density);

  b.current = i;
  HydTableSlot &slot = b.tables[static_cast<size_t>(i)];
  bool parsed = false;
  kiv::guardAllocation("fptables_", [&] {
    slot = HydTableSlot{};
    LineList lines;
    int skip = 1, n = 0;
    char **got = rtableml_(name.get(), &n, &skip);
    lines.adopt(got, n);
    parsed = lines.count > 0 && FluidFileParser(lines, slot).parse();
  });
  if (!parsed) {
    slot = HydTableSlot{};  // nothing of a refused file stays behind
    b.current = -1;
    kivfprintf(stderr, "Check file format for '%s'", name.get());
    return false;
  }

  temperatureWarning(i, t, tableBracket(slot.bm_temperature, t), slot.bm_temperature,
                     densityQuantity(slot.bm_mode), name.get());
  if (slot.bm_mode != 2) {
    for (size_t k = 0; k < slot.bm_temperature.size(); ++k) {
      const auto &p = slot.bm_pressure[k];
      const double top = *std::max_element(p.begin(), p.end());
      if (slot.ref_pressure[k] > top)
        kivfprintf(stderr,
                   "\nWarning in hydraulic fluid index %d: in file '%s' for %s,\npressure for "
                   "reference density at %g degC (%g bar) is greater than maximum pressure at "
                   "this temperature (%g bar).\n",
                   i, name.get(), densityQuantity(slot.bm_mode), slot.bm_temperature[k],
                   slot.ref_pressure[k] / 1e5, top / 1e5);
    }
  }
  temperatureWarning(i, t, tableBracket(slot.mu_temperature, t), slot.mu_temperature,
                     viscosityQuantity(slot.mu_mode), name.get());
  setTableBrackets(r, slot, t);

  r.file_name = name.get();
  addGeneral(r, "fptables_");
  name.release();  // the registry owns it now
  buildTables(i);
  b.current = -1;
  return true;
}

extern "C" int fptables_(int *index, double *p_sat, double *air_percent,
                         double *temperature_celsius, double *polytropic, const char *file_name,
                         double *mu_air, double *p_sat_high, double *p_sat_low, double *mu_vapour,
                         double *vapour_molar_mass, double *air_density) {
  return kiv::hyd::defineFromFile(*index, file_name,
                                  {*p_sat, *air_percent, *temperature_celsius, *polytropic,
                                   *mu_air, *p_sat_high, *p_sat_low, *mu_vapour,
                                   *vapour_molar_mass, *air_density})
             ? 1
             : 0;
}
