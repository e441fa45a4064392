// Pressure of the current fluid at a given density, the inverse of rhoatp_:
// in closed form where the density law allows it, else through a cubic
// spline of pressure against density built once per fluid, or, for a fluid
// whose density is a user function, a table of densities at fixed pressures
// and a bracketed solve.
#include <array>
#include <cmath>
#include <memory>
#include <new>
#include <vector>

#include "hydraulics/kiv_hydraulics.h"
#include "hydraulics/varprops.hpp"
#include "solver/kiv_solver.h"
#include "tables/kiv_interp.h"
#include "tables/kiv_splines.h"

namespace {

using kiv::hyd::Family;

constexpr int kTablePoints = 53;
// Gauge pressures [Pa] of the user-function tables.
constexpr std::array<double, kTablePoints> kPtable = {
    -101300, -100000, -93000, -92000, -91500, -91000, -90800, -90700, -90500, -90300, -90200,
    -90000,  -80000,  -70000, -60000, -50000, -40000, -30000, -20000, -10000, 0,      1e5,
    2e5,     3e5,     4e5,    5e5,    6e5,    7e5,    8e5,    9e5,    1e6,    2e6,    3e6,
    4e6,     5e6,     6e6,    7e6,    8e6,    9e6,    1e7,    2e7,    3e7,    4e7,    5e7,
    6e7,     7e7,     8e7,    9e7,    1e8,    2e8,    3e8,    4e8,    5e8};

struct PRhoTable {
  std::array<double, kTablePoints> rho{};  // entry 0 is 0
  int index = -1;
};
struct PRhoTables {
  std::vector<PRhoTable> tables;
};

void **tablesSlot() {
  static const int property = KivGetPropertyIndex("PFROMRHO_TABLES");
  return KivGetPropertySlot(property);
}

void resetrhotables(int, void *slot) {
  auto **s = static_cast<void **>(slot);
  delete static_cast<PRhoTables *>(*s);
  *s = nullptr;
}

[[noreturn]] void splineFailed(int index) {
  kivfprintf(stderr, "\nError while creating spline rho = f(p)");
  kivfprintf(stderr, "\nError in FP04 index %d.\n", index);
  KivExit(1);
}

// Densities at the gauge pressures p (increasing), cut before the first
// that does not increase, and the cubic spline of p against them.
int pressureSpline(std::vector<double> &p, int index) {
  std::vector<double> rho;
  kiv::guardAllocation("create_spline_patrho_", [&] {
    rho.reserve(p.size());
  });
  {
    kiv::hyd::QuietSampling quiet;
    for (double &pk : p) {
      const double r = rhoatp_(&pk);
      if (!rho.empty() && !(r > rho.back())) break;
      rho.push_back(r);
    }
  }
  const int n = static_cast<int>(rho.size()), natural = 1, linear = 1;
  const double zero = 0.0;
  const int id = splinit_(&n, rho.data(), p.data(), &natural, &zero, &natural, &zero, &linear, &linear);
  if (id < 0) splineFailed(index);
  return id;
}

// Pressures of a geometric ramp from base (absolute, Pa): base q^k - 101300.
void ramp(std::vector<double> &p, double base, double q, int count) {
  double f = 1.0;
  for (int k = 0; k < count; ++k, f *= q) p.push_back(base * f - kPatm);
}

void refuseBase(double base, int index) {
  if (base > 0.0) return;
  kivfprintf(stderr, "\nThe absolute pressure %g Pa cannot start a density table.\n", base);
  splineFailed(index);
}

PRhoTables &tables() {
  void **slot = tablesSlot();
  if (!*slot) {
    std::unique_ptr<PRhoTables> made;
    kiv::guardAllocation("InitGlobalPRhoTablesIfNecessary", [&] {
      made.reset(new PRhoTables);
      // The release first: the slot never holds tables nobody frees.
      KivInstallAtEndPtr(&resetrhotables, slot);
    });
    *slot = made.release();
  }
  return *static_cast<PRhoTables *>(*slot);
}

double calcrho(double p, void *target) { return *static_cast<double *>(target) - rhoatp_(&p); }

// Pressure of the constant-property general fluid where all air is
// dissolved, or NaN below that density.
double dissolvedPressure(const HydCurrentFluid &F, double rho) {
  const double s = F.gslope, ps = F.gstp - kPatm;
  double rhoA;
  if (s == 0.0) {
    double y = ps / F.gbmnom;
    if (y > 100.0) {
      stepdn_();
      y = 100.0;
    }
    rhoA = F.grhomix * std::exp(y);
  } else {
    rhoA = F.grhomix * std::pow(1.0 + s * ps / F.gbmnom, 1.0 / s);
  }
  if (!(rho >= rhoA)) return NAN;
  if (s == 0.0) return F.gbmnom * std::log(rho / F.grhomix);
  return (std::pow(rho / F.grhomix, s) - 1.0) * F.gbmnom / s;
}

double olderModel(const HydCurrentFluid &F, double rho) {
  double ps = F.gstp - kPatm;
  const double rhos = rhoatp_(&ps);
  int local = -1;
  int *id = F.gptrfprop   ? &retfprop_(const_cast<int *>(&F.ghindex))->pfromrho_id
            : F.gptrbprop ? &retrprop_(const_cast<int *>(&F.ghindex))->pfromrho_id
                          : &local;
  if (*id == -1) {
    refuseBase(F.gstp, F.ghindex);
    std::vector<double> p;
    ramp(p, 1300.0, std::pow(F.gstp / 1300.0, 1.0 / 2000.0), 2000);
    *id = pressureSpline(p, F.ghindex);
  }
  const double out =
      rho >= rhos ? F.gbmnom * std::log(rho / F.grhomix) : kiv::sp1::CubicValue(*id, rho);
  if (id == &local) kiv::sp1::FreeCubic(*id);
  return out;
}

// The cubic spline of gauge pressure against density between the absolute
// pressures p1 and p2 (and beyond p2 up to 5e8 Pa or more).
int patrhoSpline(double p1, double p2, int index) {
  refuseBase(p1, index);
  refuseBase(p2, index);
  const double p2e = p2 < 5e8 ? 5e8 : p2 + 100.0;
  const double d = p1 > 100.0 ? 100.0 : p1 / 2.0;
  const double q1 = std::pow(p1 / d, 1.0 / 1500.0);
  std::vector<double> p;
  kiv::guardAllocation("create_spline_patrho_", [&] {
    p.reserve(5000);
  });
  // Dense near p1 from below: p1 - (q1^j - 1) d for j = 1500 .. 1.
  for (int j = 1500; j >= 1; --j) p.push_back(p1 - (std::pow(q1, j) - 1.0) * d - kPatm);
  ramp(p, p1, std::pow(p2 / p1, 1.0 / 2000.0), 2000);
  ramp(p, p2, std::pow(p2e / p2, 1.0 / 1500.0), 1500);
  return pressureSpline(p, index);
}

// The density table of fluid index, made on first use; its number.
int densityTable(int index) {
  PRhoTables &t = tables();
  for (size_t k = 0; k < t.tables.size(); ++k)
    if (t.tables[k].index == index) return static_cast<int>(k);
  PRhoTable table;
  table.index = index;
  {
    kiv::hyd::QuietSampling quiet;
    for (int k = 1; k < kTablePoints; ++k) {
      double p = kPtable[static_cast<size_t>(k)];
      table.rho[static_cast<size_t>(k)] = rhoatp_(&p);
    }
  }
  kiv::guardAllocation("prhotables", [&] {
    t.tables.push_back(table);
  });
  return static_cast<int>(t.tables.size()) - 1;
}

// Pressure at density rho from density table `table` (a bad table ends the
// run).
double fromDensityTable(double rho, int table) {
  PRhoTables &t = tables();
  if (table < 0 || static_cast<size_t>(table) >= t.tables.size()) {
    kivfprintf(stderr, "\nNo pressure-from-density table %d.\n", table);
    KivExit(1);
  }
  const std::array<double, kTablePoints> &r = t.tables[static_cast<size_t>(table)].rho;
  const int n = kTablePoints;
  const int k = getintbin_(&rho, r.data(), &n);
  if (k == -1) return kPtable.front();
  if (k == n - 1) return kPtable.back();
  const size_t i = static_cast<size_t>(k);
  double lo = kPtable[i], hi = kPtable[i + 1];
  double x0 = (hi * (rho - r[i]) + lo * (r[i + 1] - rho)) / (r[i + 1] - r[i]);
  double fl = rho - r[i], fr = rho - r[i + 1];
  double target = rho;
  int max_iterations = 10000, ok = 0;
  kivNLSolveB_(&lo, &x0, &hi, &fl, &fr, &calcrho, &target, &max_iterations, &ok);
  return x0;
}

// Gauge pressure at density rho of fuel index at temperature T, from its
// spline (made on first use).
double fuelPressure(int index, double rho, double T) {
  HydFuelRecord *rec = retrprop_(&index);
  if (rec->pfromrho_id == -1) {
    double p0 = 0.0;
    rbrho_(&p0, &T);
    rec->pfromrho_id = patrhoSpline(rec->p_sat_high + kPatm, 4.5e8, index);
  }
  return kiv::sp1::CubicValue(rec->pfromrho_id, rho);
}

double general(const HydCurrentFluid &F, double rho) {
  int index = F.ghindex;
  HydFluidRecord *rec = retfprop_(&index);
  if (rec->user[KIV_HYD_USER_DENSITY]) {
    if (rec->pfromrho_id == -1) {
      kivfprintf(stderr, "\nIterative method for patrho utility will be used.\n");
      kivfprintf(stderr, "\nWarning in fluid submodel index %d.\n", index);
      rec->pfromrho_id = densityTable(index);
    }
    return fromDensityTable(rho, rec->pfromrho_id);
  }
  if (rec->pfromrho_id == -1) {
    rec->pfromrho_id = patrhoSpline(F.gvstp, F.gstp, index);
  }
  if (!F.gusetables) {
    const double p = dissolvedPressure(F, rho);
    if (!std::isnan(p)) return p;
  }
  return kiv::sp1::CubicValue(rec->pfromrho_id, rho);
}

}  // namespace

extern "C" {

double patrho_(double *rho) {
  const HydCurrentFluid &F = kiv::hyd::loadedFluid();
  if (F.ghftype == 1 && F.gptrfprop && F.gptrfprop->user[KIV_HYD_USER_PRESSURE_FROM_DENSITY]) {
    double t = F.gtcelsius, r = *rho;
    return F.gptrfprop->user[KIV_HYD_USER_PRESSURE_FROM_DENSITY](&t, &r);
  }
  switch (kiv::hyd::family()) {
    case Family::Simple:
      return patrhosimp_(rho);
    case Family::Fuel:
      return fuelPressure(F.ghindex, *rho, F.gambtemp);
    case Family::General:
      return general(F, *rho);
    case Family::Older:
      break;
  }
  return olderModel(F, *rho);
}

double rbpatrho_(int *index, double *rho, double *T) { return fuelPressure(*index, *rho, *T); }

int create_spline_patrho_(double *P1, double *P2, int *index) {
  return patrhoSpline(*P1, *P2, *index);
}

int prhotable_(int *index) { return densityTable(*index); }

double pfromrho_(double *rho, int *table) { return fromDensityTable(*rho, *table); }

}  // extern "C"
