// Fluid property tables of fluids defined from data files: per table
// temperature a spline over pressure of the compressibility (1/B, or
// (1/rho) drho/dp) and one of the viscosity, blended between the two table
// temperatures around the fluid's.  Density is the exponential of the
// integrated compressibility.
#include <algorithm>
#include <cmath>
#include <new>

#include "hydraulics/fluidlaws.hpp"
#include "hydraulics/fptables.hpp"
#include "tables/kiv_splines.h"

namespace {

using kiv::hyd::constants;
using kiv::hyd::samplingQuietly;
using kiv::hyd::TableFluid;

// Denormal compressibilities are taken as zero: the bulk modulus is infinite.
constexpr double kTiny = 2.2250738585072014e-308;

kiv::sp1::LinearPoint readSpline(int id, double p, int &memory) {
  return kiv::sp1::LinearRead(id, p, constants().gzero, memory);
}

// Integral from 0 of a spline read once (the build's own readings).
double splineIntegral(int id, double p) {
  int memory = -2;
  return readSpline(id, p, memory).integral;
}

int makeSpline(std::vector<double> &x, std::vector<double> &y) {
  return kiv::sp1::CreateLinear(static_cast<int>(x.size()), x.data(), y.data(),
                                constants().glmode, constants().grmode);
}

double highestPressure(const std::vector<double> &p) { return std::max(p.front(), p.back()); }

[[noreturn]] void buildFailed(int index) {
  kivfprintf(stderr, "\nError in Hydraulic fluid index %d.", index);
  kivfprintf(stderr, "\nTerminating program.\n");
  KivExit(1);
}

// Above which pressure a family warns at bracket k and temperature t.
const HydPressureLimit &pressureLimit(HydTableSlot &s, bool density, int k, double t) {
  HydPressureLimit &L = density ? s.bm_limit : s.mu_limit;
  if (L.k == k && kiv::hyd::sameBits(L.t_celsius, t)) return L;
  const auto &temps = density ? s.bm_temperature : s.mu_temperature;
  const auto &press = density ? s.bm_pressure : s.mu_pressure;
  const auto n = temps.size();
  const auto b = static_cast<size_t>(k);
  if (b == n - 1) {
    L.limit = highestPressure(press[n - 1]);
    L.word = "maximum";
    L.shown = temps[n - 1];
  } else if (t < temps[0]) {
    L.limit = highestPressure(press[0]);
    L.word = "minimum";
    L.shown = temps[0];
  } else {
    L.word = "current";
    L.shown = t;
    if (t == temps[b])
      L.limit = highestPressure(press[b]);
    else if (t == temps[b + 1])
      L.limit = highestPressure(press[b + 1]);
    else
      L.limit = std::max(highestPressure(press[b]), highestPressure(press[b + 1]));
  }
  L.k = k;
  L.t_celsius = t;
  return L;
}

}  // namespace

namespace kiv::hyd {

TableFluid tableFluid(int index) {
  HydIndexList *b = currentBlock();
  const int pos = b && validIndex(index) ? b->general_map[static_cast<size_t>(index)] : -1;
  if (pos < 0) IndexNotDefined(index);
  HydFluidRecord &r = b->general[static_cast<size_t>(pos)];
  HydTableSlot &s = b->tables[static_cast<size_t>(index)];
  if (r.kind != 1 || s.bm_spline.empty() || s.mu_spline.size() != s.mu_temperature.size())
    IndexNotDefined(index);
  return {index, &r, &s};
}

void readDensityTables(HydTableSlot &s, int k, bool both, double p) {
  HydTableReading &r = s.reading;
  const int disc = constants().gzero;
  if (r.k != k || !sameBits(r.p, p) || disc != 0) {
    r.p = p;
    r.k = k;
    r.tables = 0;
  }
  for (const int need = both ? 2 : 1; r.tables < need; ++r.tables) {
    const auto j = static_cast<size_t>(r.tables);
    const auto t = static_cast<size_t>(k) + j;
    // Without the discontinuity handling the interval of a number depends
    // on nothing remembered: the next table, usually over the same
    // pressures, starts from the interval the first one found.
    if (j == 1 && disc == 0 && !std::isnan(p)) s.bm_memory[t] = s.bm_memory[t - 1];
    const kiv::sp1::LinearPoint at = kiv::sp1::LinearRead(s.bm_spline[t], p, disc, s.bm_memory[t]);
    r.value[j] = at.value;
    r.integral[j] = at.integral;
    r.density_known[j] = false;
  }
}

// The reference density times the exponential of the compressibility
// integrated from the reference pressure.
double densityOfReading(HydTableSlot &s, size_t j) {
  HydTableReading &r = s.reading;
  const auto k = static_cast<size_t>(r.k) + j;
  double I = r.integral[j];
  r.capped[j] = I > 100.0;
  if (r.capped[j]) I = 100.0;
  const double base = s.bm_mode == 2 ? s.bm_value[k].front() : s.ref_density[k];
  r.density[j] = base * std::exp(I - s.ref_integral[k]);
  r.density_known[j] = true;
  if (r.capped[j]) stepdn_();
  return r.density[j];
}

void checkTablePressure(const TableFluid &f, bool density, double t_celsius, double p) {
  HydTableSlot &s = *f.slot;
  const HydFluidRecord &r = *f.record;
  const HydPressureLimit &L =
      pressureLimit(s, density, density ? r.bm_bracket : r.mu_bracket, t_celsius);
  if (!(p > L.limit) || !isprint_() || samplingQuietly()) return;
  kivfprintf(
      stderr,
      "\nWarning in hydraulic fluid index %d concerning %s defined in file '%s': current\n"
      "pressure (%g bar) is greater than maximum pressure (%g bar) at %s temperature (%g "
      "degC). %s\nwill be saturated to its value at %g degC and %g bar.\n",
      f.index, density ? densityQuantity(s.bm_mode) : viscosityQuantity(s.mu_mode),
      r.file_name ? r.file_name : "", p / 1e5, L.limit / 1e5, L.word, L.shown,
      density ? "Bulk modulus" : "Absolute viscosity", L.shown, L.limit / 1e5);
  (density ? s.bm_warned : s.mu_warned) = 1;
}

double tableViscosity(const TableFluid &f, double t_celsius, double p) {
  warnAbovePressure(f, false, t_celsius, p);
  HydTableSlot &s = *f.slot;
  const HydFluidRecord &r = *f.record;
  const auto k = static_cast<size_t>(r.mu_bracket);
  const double wlo = r.mu_weight_lo, wup = r.mu_weight_up;
  auto table = [&](size_t t) { return readSpline(s.mu_spline[t], p, s.mu_memory[t]).value; };
  if (wlo == 0.0 && wup == 0.0) return table(k);
  double sum = 0.0;
  if (wlo != 0.0) sum = wlo * table(k);
  if (wup != 0.0) sum += wup * table(k + 1);
  return sum;
}

}  // namespace kiv::hyd

namespace {

// (1/rho) drho/dp of a density table by differences, and the pressures it
// is taken at: centred inside, the end intervals' midpoints at the ends.
void densityCompressibility(const std::vector<double> &p, const std::vector<double> &v,
                            std::vector<double> &x, std::vector<double> &g) {
  const size_t n = p.size();
  x = p;
  g.assign(n, 0.0);
  if (n == 2) {
    const double d = (v[1] - v[0]) / (p[1] - p[0]);
    g[0] = d / v[0];
    g[1] = d / v[1];
    return;
  }
  g[0] = 2.0 * (v[1] - v[0]) / (p[1] - p[0]) / (v[1] + v[0]);
  g[n - 1] = 2.0 * (v[n - 1] - v[n - 2]) / (p[n - 1] - p[n - 2]) / (v[n - 1] + v[n - 2]);
  for (size_t j = 1; j + 1 < n; ++j) g[j] = (v[j + 1] - v[j - 1]) / (p[j + 1] - p[j - 1]) / v[j];
  x[0] = (p[0] + p[1]) / 2.0;
  x[n - 1] = (p[n - 2] + p[n - 1]) / 2.0;
}

bool vanishes(const std::vector<double> &g) {
  return std::any_of(g.begin(), g.end(), [](double v) { return std::fabs(v) <= kTiny; });
}

void buildDensityTables(int index) {
  HydIndexList *b = kiv::hyd::currentBlock();
  HydTableSlot &s = b->tables[static_cast<size_t>(index)];
  const size_t nT = s.bm_temperature.size();
  s.bm_spline.assign(nT, -1);
  s.bm_memory.assign(nT, -2);
  s.ref_integral.assign(nT, 0.0);
  std::vector<double> x, g;
  for (size_t k = 0; k < nT; ++k) {
    auto &p = s.bm_pressure[k];
    auto &v = s.bm_value[k];
    const double t = s.bm_temperature[k];
    int id = -1;
    if (s.bm_mode == 1) {
      for (double &e : v) e = 1.0 / e;
      id = makeSpline(p, v);
    } else if (s.bm_mode == 2) {
      if (p.size() < 2) {
        kivfprintf(stderr,
                   "\nUnable to initialize density tables at %g degC. Two values of density are "
                   "needed at least.",
                   t);
        buildFailed(index);
      }
      densityCompressibility(p, v, x, g);
      if (vanishes(g)) {
        kivfprintf(stderr, "\nWarning in Hydraulic fluid index %d.", index);
        kivfprintf(stderr,
                   "\nPlease check your data file defining the density in function of pressure "
                   "at %g degC.\n",
                   t);
        kivfprintf(stderr,
                   "\nIn your data file, you have indicated two identical densities for "
                   "successive values of pressure.\n");
        kivfprintf(stderr,
                   "\nBulk modulus may become infinite in your simulation, leading to infinite "
                   "values or numerical problems.\n");
      }
      id = makeSpline(x, g);
    } else {
      for (double &e : v) e = 1.0 / (e * e);
      int c = makeSpline(p, v);
      if (c >= 0) {
        const double base = s.ref_density[k] - splineIntegral(c, s.ref_pressure[k]);
        g.resize(p.size());
        for (size_t j = 0; j < p.size(); ++j) g[j] = v[j] / (splineIntegral(c, p[j]) + base);
        kiv::sp1::FreeLinear(c);
        if (vanishes(g)) {
          kivfprintf(stderr, "\nWarning in Hydraulic fluid index %d.", index);
          kivfprintf(stderr,
                     "\nPlease check the values in your data file defining the speed of sound in "
                     "function of pressure at %g degC.",
                     t);
          kivfprintf(stderr,
                     "\nBulk modulus may become infinite in your simulation, leading to "
                     "infinite values or numerical problems.\n");
        }
        id = makeSpline(p, g);
      }
    }
    if (id < 0) {
      kivfprintf(stderr, "\nUnable to initialize %s tables at %g degC.",
                 kiv::hyd::densityQuantity(s.bm_mode), t);
      buildFailed(index);
    }
    s.bm_spline[k] = id;
    // Density grows from the reference density at the reference pressure
    // (for a density table: its first pair).
    s.ref_integral[k] = splineIntegral(id, s.bm_mode == 2 ? p.front() : s.ref_pressure[k]);
  }
}

void buildViscosityTables(int index) {
  HydIndexList *b = kiv::hyd::currentBlock();
  HydTableSlot &s = b->tables[static_cast<size_t>(index)];
  const size_t nV = s.mu_temperature.size();
  if (s.mu_mode == 2) {
    const TableFluid f = {
        index, &b->general[static_cast<size_t>(b->general_map[static_cast<size_t>(index)])], &s};
    for (size_t k = 0; k < nV; ++k)
      for (size_t j = 0; j < s.mu_value[k].size(); ++j)
        s.mu_value[k][j] *= kiv::hyd::tableDensity(f, s.mu_temperature[k], s.mu_pressure[k][j]);
  }
  s.mu_spline.assign(nV, -1);
  s.mu_memory.assign(nV, -2);
  for (size_t k = 0; k < nV; ++k) {
    const int id = makeSpline(s.mu_pressure[k], s.mu_value[k]);
    if (id < 0) {
      kivfprintf(stderr, "\nUnable to initialize viscosity tables.");
      buildFailed(index);
    }
    s.mu_spline[k] = id;
  }
}

}  // namespace

namespace kiv::hyd {

void buildTables(int index) {
  // A failure to allocate ends the run like any failed build.
  kiv::guardAllocation("membmrhotble", [&] { buildDensityTables(index); });
  kiv::guardAllocation("memmutble", [&] { buildViscosityTables(index); });
}

const char *densityQuantity(int mode) {
  return mode == 1 ? "bulk modulus" : mode == 2 ? "density" : "speed of sound";
}

const char *viscosityQuantity(int mode) {
  return mode == 1 ? "absolute viscosity" : "kinematic viscosity";
}

TableBracket tableBracket(const std::vector<double> &temperatures, double t) {
  TableBracket out;
  const size_t n = temperatures.size();
  if (n == 0) return out;
  if (t < temperatures[0]) {
    out.side = -1;
    return out;
  }
  for (size_t k = 0; k + 1 < n; ++k) {
    const double t0 = temperatures[k], t1 = temperatures[k + 1];
    if (t1 > t) {
      out.k = static_cast<int>(k);
      out.up = (t - t0) / (t1 - t0);
      out.lo = (t1 - t) / (t1 - t0);
      return out;
    }
  }
  out.k = static_cast<int>(n - 1);
  if (t > temperatures[n - 1]) out.side = 1;
  return out;
}

void temperatureWarning(int index, double t, const TableBracket &b,
                        const std::vector<double> &temps, const char *name, const char *file) {
  if (b.side == 0) return;
  const bool below = b.side < 0;
  kivfprintf(stderr,
             "\nWarning in hydraulic fluid index %d: current temperature (%g degC) is %s than %s "
             "temperature (%g degC) for\n%s in file '%s'. The %s will be saturated to extreme "
             "values\noccurring in the file.\n",
             index, t, below ? "lower" : "greater", below ? "minimum" : "maximum",
             below ? temps.front() : temps.back(), name, file, name);
}

void moveTableFluid(int index, HydFluidRecord &r, const HydTableSlot &s, double t, bool warn) {
  if (warn) {
    const char *file = r.file_name ? r.file_name : "";
    temperatureWarning(index, t, tableBracket(s.bm_temperature, t), s.bm_temperature,
                       densityQuantity(s.bm_mode), file);
    temperatureWarning(index, t, tableBracket(s.mu_temperature, t), s.mu_temperature,
                       viscosityQuantity(s.mu_mode), file);
  }
  setTableBrackets(r, s, t);
}

void setTableBrackets(HydFluidRecord &r, const HydTableSlot &s, double t) {
  const TableBracket bm = tableBracket(s.bm_temperature, t);
  const TableBracket mu = tableBracket(s.mu_temperature, t);
  r.bm_bracket = bm.k;
  r.bm_weight_up = bm.up;
  r.bm_weight_lo = bm.lo;
  r.mu_bracket = mu.k;
  r.mu_weight_up = mu.up;
  r.mu_weight_lo = mu.lo;
}

}  // namespace kiv::hyd
