// The fluid exchange file of a run split into a master and slaves: the
// master writes every fluid of its registry, a slave defines the same fluids
// from it before anything else.  Values are written in the definers' units
// (per cent, degC) so that the slave hands them over unchanged.
#include <unistd.h>

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "hydraulics/hydindex.hpp"
#include "runtime/atomicfile.hpp"
#include "runtime/cstring.hpp"
#include "runtime/numbers.hpp"
#include "runtime/textfile.hpp"

namespace {

using File = std::unique_ptr<FILE, int (*)(FILE *)>;
using Text = std::unique_ptr<char, decltype(&std::free)>;

// Right-aligned in 25 columns with 17 significant digits, so that the
// slave reads back the very value (15 digits round edge values past their
// bounds); the "C" locale whatever the process locale.
void putReal(std::string &out, double v) {
  char buf[64];
  out.append(buf, kiv::formatReal(buf, sizeof buf, v, std::chars_format::scientific, 16, 25));
  out += '\n';
}

void putInt(std::string &out, int v) {
  out += std::to_string(v);
  out += '\n';
}

bool hasUserFunction(const HydFluidRecord &r) {
  for (HydUserFunction f : r.user)
    if (f) return true;
  return false;
}

bool exists(const char *path) { return ::access(path, F_OK) == 0; }

// A slave takes every finite value and leaves the judgement to the
// definers, so that it accepts whatever its master could define.
constexpr double kHuge = DBL_MAX;

class ExchangeReader {
 public:
  ExchangeReader(FILE *fp, const char *name) : fp_(fp), name_(name) {}

  int count() {
    IgnoreComment(fp_);
    return GetAsciiInteger(fp_, 0, KIV_HYD_MAX_INDEX + 1, name_);
  }
  int integer(int lo, int hi) { return GetAsciiInteger(fp_, lo, hi, name_); }
  double real() { return GetAsciiReal(fp_, -kHuge, kHuge, name_); }
  Text fileName() { return Text(GetFileNameFromText(fp_, nullptr), &std::free); }
  void comments() { IgnoreComment(fp_); }

 private:
  FILE *fp_;
  const char *name_;
};

}  // namespace

extern "C" {

char *GetFileNameFromText(FILE *stream, const char * /*unused*/) {
  // The whole line, however long: a name cut short would leave its rest to
  // be read as the next value.
  std::string line;
  for (int c; stream && (c = std::getc(stream)) != EOF && c != '\n';) line.push_back(static_cast<char>(c));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  char *expanded = nullptr;
  CheckEnvVar(line.c_str(), &expanded);
  Text hold(expanded, &std::free);
  const std::string name = expanded ? expanded : line;
  // A name may be meant from the directory above (an empty line names that
  // directory itself).
  if (!exists(name.c_str())) {
    const std::string up = "../" + name;
    if (exists(up.c_str())) return kiv::dupText(up, "GetFileNameFromText");
  }
  return kiv::dupText(name, "GetFileNameFromText");
}

void masterwritehydp(void) {
  HydIndexList &b = *GetOrCreateHydIndexList();
  if (!b.initialised) inifprop_();
  if (b.exported) return;
  const char *circuit = GetCircuitName();
  std::string name = circuit ? circuit : "";
  name += ".hydp";
  if (isbatchrun_()) {
    const char *ext = GetFileNameExtension();
    if (!ext || !*ext) {
      kivfprintf(stderr, "batch run has invalid extension!\n");
      KivExit(1);
    }
    name += '.';
    name += ext;
  }
  // Written beside its name and renamed into place once whole: a slave
  // never reads a file cut short by a full disk.
  kiv::OutputFile file(name);
  FILE *fp = file.open();
  if (!fp) {
    kivfprintf(stderr, "Unable to open file %s for writing.\n", name.c_str());
    KivExit(1);
  }

  const auto &lib = kiv::hyd::constants();
  int general = 0;
  for (const HydFluidRecord &r : b.general) {
    if (!hasUserFunction(r)) {
      ++general;
      continue;
    }
    kivfprintf(stderr, "The fluid property %d uses user defined functions.\n", r.index);
    kivfprintf(stderr, "This property CANNOT be transferred to a slave automatically.\n");
    kivfprintf(stderr, "If you want to use this property, copy/paste it from\n");
    kivfprintf(stderr, "the master to the slave.\n");
  }

  std::string out = "# Number of general properties.\n";
  putInt(out, general);
  int position = 0;
  for (const HydFluidRecord &r : b.general) {
    ++position;
    if (hasUserFunction(r)) continue;
    out += "# The following lines define general property " + std::to_string(position) + ".\n";
    putInt(out, r.index);
    putInt(out, r.kind);
    if (r.kind == 1) {
      out += r.file_name ? r.file_name : "";
      out += '\n';
    }
    const bool tables = r.kind == 1;
    for (double v :
         {tables ? 0.0 : r.density, tables ? 0.0 : r.bulk_modulus, tables ? 0.0 : r.viscosity,
          r.p_sat, r.air * lib.gcent, r.temperature - lib.gtref, r.polytropic, r.mu_air,
          r.p_sat_high, r.p_sat_low, r.mu_vapour, r.vapour_molar_mass, r.air_density})
      putReal(out, v);
  }

  out += "# Number of fuel properties.\n";
  putInt(out, static_cast<int>(b.fuel.size()));
  position = 0;
  for (const HydFuelRecord &r : b.fuel) {
    out += "# The following lines define fuel property " + std::to_string(++position) + ".\n";
    putInt(out, r.index);
    putInt(out, r.fuel_type);
    for (double v : {r.p_sat_high, r.p_sat_low, r.vapour_molar_mass, r.mu_air, r.mu_vapour,
                     r.air * lib.gcent, r.temperature - lib.gtref, r.polytropic})
      putReal(out, v);
  }

  out += "# Number of simple properties.\n";
  putInt(out, static_cast<int>(b.simple.size()));
  position = 0;
  for (const HydSimpleRecord &r : b.simple) {
    out += "# The following lines define simple property " + std::to_string(++position) + ".\n";
    putInt(out, r.index);
    for (double v : {r.density, r.bulk_modulus, r.viscosity, r.p_sat, r.air * lib.gcent,
                     r.temperature - lib.gtref, r.polytropic, r.extra})
      putReal(out, v);
  }

  std::fputs(out.c_str(), fp);
  if (!file.close()) {
    // Not exported: a later call tries again.
    kivfprintf(stderr, "Unable to write file %s: %s.\n", name.c_str(), std::strerror(file.error()));
    KivExit(1);
  }
  b.exported = 1;
}

void slavereadhydp(const char *circuit_name, int batch, const char *extension) {
  if (const HydIndexList *b = kiv::hyd::currentBlock();
      b && (!b->general.empty() || !b->fuel.empty() || !b->simple.empty())) {
    const char *late = "Slave is trying to install hydraulic\nfluid properties too late.\n";
    kivfprintf(stderr, "%s", late);
    kivfprintf(stdout, "%s", late);
    KivExit(1);
  }
  std::string name = circuit_name ? circuit_name : "";
  name += ".hydp";
  if (batch) {
    name += '.';
    name += extension ? extension : "";
  }
  const char *n = name.c_str();
  if (!exists(n)) {
    kivfprintf(stdout, "File %s does not exist.\n", n);
    kivfprintf(stdout, "Assuming there are no hydraulic fluid properties.\n");
    return;
  }
  kiv::TextStatus status = kiv::TextStatus::kNotOpened;
  File fp(kiv::openText(n, &status), &std::fclose);
  if (!fp) {
    if (status != kiv::TextStatus::kReadFailed) kivfprintf(stderr, "Unable to open file %s for reading.\n", n);
    KivExit(1);
  }
  const int first = std::fgetc(fp.get());
  if (first == EOF) {
    if (!kiv::readFailed(fp.get())) kivfprintf(stderr, "\nFile %s is empty.\n", n);
    KivExit(1);
  }
  std::ungetc(first, fp.get());

  ExchangeReader in(fp.get(), n);
  const int general = in.count();
  for (int g = 0; g < general; ++g) {
    in.comments();
    int index = in.integer(0, KIV_HYD_MAX_INDEX);
    const int kind = in.integer(0, 1);
    Text file(nullptr, &std::free);
    if (kind == 1) file = in.fileName();
    // Fluids read from data files carry zeros in place of their constants.
    double rho = in.real(), bulk = in.real(), mu = in.real();
    double p_sat = in.real(), air = in.real(), t = in.real(), poly = in.real();
    double mu_air = in.real(), high = in.real(), low = in.real();
    double mu_vapour = in.real(), molar = in.real(), air_density = in.real();
    const kiv::hyd::GeneralProperties props{p_sat, air, t,         poly,  mu_air,
                                            high,  low, mu_vapour, molar, air_density};
    if (kind == 1) {
      if (!kiv::hyd::defineFromFile(index, file.get(), props)) KivExit(1);
    } else {
      kiv::hyd::defineConstant(index, rho, bulk, 0.0, mu, props);
    }
  }

  const int fuels = in.count();
  for (int f = 0; f < fuels; ++f) {
    in.comments();
    int index = in.integer(0, KIV_HYD_MAX_INDEX);
    int type = in.integer(1, 12);
    double high = in.real(), low = in.real(), molar = in.real();
    double mu_air = in.real(), mu_vapour = in.real();
    double air = in.real(), t = in.real(), poly = in.real();
    kiv::hyd::defineFuel(index, {type, high, low, molar, mu_air, mu_vapour, air, t, poly});
  }

  const int simples = in.count();
  for (int s = 0; s < simples; ++s) {
    in.comments();
    int index = in.integer(0, KIV_HYD_MAX_INDEX);
    double rho = in.real(), bulk = in.real(), mu = in.real();
    double p_sat = in.real(), air = in.real(), t = in.real(), poly = in.real();
    double extra = in.real();
    kiv::hyd::defineSimple(index, {rho, bulk, mu, p_sat, air, t, poly, extra});
  }
}

}  // extern "C"
