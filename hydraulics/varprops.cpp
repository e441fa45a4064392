// The current fluid: loading it from its record, the choice of property
// family, and density, bulk modulus, viscosity, void fraction and
// temperature of the general family (a liquid holding air that comes out of
// solution below the air saturation pressure and turns to vapour between the
// high and low vapour saturation pressures) and of the older single-band
// model.
#include <cmath>

#include "hydraulics/varprops.hpp"

namespace {

using kiv::hyd::Family;

HydCurrentFluid F;
// Beside the loaded constants, which every load resets: the table fluid
// resolved at load (when gusetables) and the registry generation the record
// pointers belong to.
struct Resolved {
  kiv::hyd::TableFluid table;
  unsigned generation = 0;
} L;
int warning_displayed = 0;  // tatp_'s undefined-fluid warning, once per process

// The system, block and registry generation of the last selection that
// loaded: while the generation holds, the block is alive.
struct Selection {
  const KIVSystem *system = nullptr;
  const HydIndexList *block = nullptr;
  unsigned generation = 0;
} selection;

int switchAt(const int (&flags)[kHydIndexCount], int index) {
  return kiv::hyd::validIndex(index) ? flags[index] : 0;
}

double callUser(int role, double value) {
  double t = F.gtcelsius;
  return F.gptrfprop->user[role](&t, &value);
}

HydUserFunction userFunction(int role) {
  return F.gptrfprop ? F.gptrfprop->user[role] : nullptr;
}

// ---- General family ---------------------------------------------------------

// The state of the mixture at one pressure: the band of absolute pressure
// (1 all air dissolved, 2 free air, 3 vapour forming, 4 all vapour), the free
// air x and vapour fraction phi with their slopes.
struct Mix {
  double P = 0, pp = 0, G = 0;  // floored absolute pressure, its gauge, P^(1/n) (bands 2-4)
  int band = 1;
  double x = 0, dx = 0;
  double phi = 0, dphi = 0;
};

double flooredAbsolute(double p) {
  double P = p + kPatm;
  if (P <= kPabsFloor) {
    stepdn_();
    P = kPabsFloor;
  }
  return P;
}

Mix mixAt(double p) {
  Mix m;
  m.P = flooredAbsolute(p);
  m.pp = m.P - kPatm;
  if (m.P >= F.gstp) return m;  // no gas: P^(1/n) is not needed
  m.G = std::pow(m.P, F.gtmp2);
  F.gterm = m.G;
  if (m.P > F.gvstp) {
    m.band = 2;
    const double span = F.gstp - F.gvstp;
    const double s = (m.P - F.gvstp) / span;
    m.x = F.gair * kiv::hyd::s9(s);
    m.dx = F.gair * kiv::hyd::s9.slope(s) / span;
  } else if (m.P > F.gvstp - F.goffset) {
    m.band = 3;
    m.x = F.gair;
    if (m.P != F.gvstp) {  // at gvstp no vapour yet, and no slope
      const double s = (m.P - F.gvstp + F.goffset) / F.goffset;
      m.phi = kiv::hyd::s9(s);
      m.dphi = kiv::hyd::s9.slope(s) / F.goffset;
    }
  } else {
    m.band = 4;
    m.x = F.gair;
    m.phi = 1.0;
  }
  return m;
}

// Liquid volume per unit reference volume and the liquid bulk modulus.
struct Liquid {
  double VL, BL;
};

Liquid liquidAt(const Mix &m) {
  if (F.gusetables) {
    F.grho = kiv::hyd::tableDensity(L.table, F.gtcelsius, m.pp);
    return {F.gC1 / F.grho, F.gbmnom};
  }
  if (F.gslope == 0.0) return {F.gK1 * std::exp(-m.pp / F.gbmnom), F.gbmnom};
  return {F.gK1 * std::pow(1.0 + F.gslope * m.pp / F.gbmnom, -1.0 / F.gslope),
          F.gbmnom + F.gslope * m.pp};
}

double rhoGeneral(double p) {
  const Mix m = mixAt(p);
  switch (m.band) {
    case 1: {
      if (F.gusetables) {
        F.grho = kiv::hyd::tableDensity(L.table, F.gtcelsius, m.pp);
        return F.grho * F.gC;
      }
      double y = m.pp / F.gbmnom;
      if (y > 100.0) {
        stepdn_();
        y = 100.0;
      }
      if (F.gslope != 0.0)
        return F.grhomix * std::pow(1.0 + F.gslope * m.pp / F.gbmnom, 1.0 / F.gslope);
      return F.grhomix * std::exp(y);
    }
    case 2:
      return F.gN / (liquidAt(m).VL + m.x * F.gC2 / m.G);
    case 3:
      F.gphi = m.phi;
      return F.gN / (m.phi * F.gK4 / m.G + (1.0 - m.phi) * liquidAt(m).VL + F.gK3 / m.G);
    default:
      return m.G * F.gN / (F.gK3 + F.gK4);
  }
}

// Bulk modulus at fixed composition and, with transfer, including the
// compliance of air and vapour changing phase: rho / (d rho / dp).
double bulkGeneral(double p, bool transfer) {
  if (F.gusetables && p + kPatm > F.gvstp - F.goffset)
    F.gbmnom = kiv::hyd::tableBulk(L.table, F.gtcelsius, p);
  const Mix m = mixAt(p);
  if (m.band == 1) return F.gslope * m.pp + F.gbmnom;
  if (m.band == 4) return F.gnpoly * m.P;
  const Liquid l = liquidAt(m);
  double V, D, X = 0.0;
  if (m.band == 2) {
    const double gas = F.gC2 / m.G;
    V = l.VL + m.x * gas;
    D = l.VL / l.BL + F.gtmp2 * m.x * gas / m.P;
    if (transfer) X = -m.dx * gas / V;
  } else {
    const double Q = F.gK3 + m.phi * F.gK4;
    V = (1.0 - m.phi) * l.VL + Q / m.G;
    D = (1.0 - m.phi) * l.VL / l.BL + F.gtmp2 * Q / (m.P * m.G);
    if (transfer) X = -(F.gK4 / m.G - l.VL) * m.dphi / V;
  }
  const double B2 = V / D;
  return transfer ? 1.0 / (1.0 / B2 + X) : B2;
}

double muGeneral(double p) {
  if (F.gusetables && p + kPatm > F.gvstp - F.goffset)
    F.gmuliq = kiv::hyd::tableViscosity(L.table, F.gtcelsius, p);
  const Mix m = mixAt(p);
  if (m.band == 1) return F.gmuliq;
  auto liquid = [&] {  // no slope variant in the mixing weights
    return F.gusetables ? F.gC1 / kiv::hyd::tableDensity(L.table, F.gtcelsius, m.pp)
                        : F.gK1 * std::exp(-m.pp / F.gbmnom);
  };
  const double VA = m.x * F.gC2 / m.G;
  if (m.band == 2) {
    const double VL = liquid();
    return (F.gmuliq * VL + F.gmuair * VA) / (VA + VL);
  }
  const double VV = m.phi * F.gK4 / m.G;
  if (m.band == 3) {
    const double VL = (1.0 - m.phi) * liquid();
    return (F.gmuvap * VV + F.gmuair * VA + F.gmuliq * VL) / (VA + VL + VV);
  }
  return (F.gmuvap * VV + F.gmuair * VA) / (VA + VV);
}

// ---- Older single-band model ------------------------------------------------

struct Older {
  double P, x, dx, d, M, V, E, rn;
};

Older olderAt(double p) {
  Older o{};
  o.P = p + kPatm;
  bool floored = false;
  if (o.P < kPabsFloor) {
    stepdn_();
    o.P = kPabsFloor;
    floored = true;
  }
  o.rn = std::pow(kPatm / o.P, F.gtmp2);
  if (!(floored && F.gstp <= kPabsFloor)) {
    o.x = F.gair * kiv::hyd::s8(o.P / F.gstp);
    o.dx = F.gair / F.gstp * kiv::hyd::s8.slope(o.P / F.gstp);
  }
  o.d = F.gair - o.x;
  o.M = (F.grho + F.grhogas * o.d / (1.0 - o.d)) * (1.0 - o.x) + F.grhogas * o.x;
  o.E = std::exp(-(o.P - kPatm) / F.gbmnom);
  o.V = o.x * o.rn + (1.0 - o.x) * o.E;
  return o;
}

double olderDissolved(double p) {
  double y = p / F.gbmnom;
  if (y > 100.0) {
    stepdn_();
    y = 100.0;
  }
  return F.grhomix * std::exp(y);
}

double rhoOlder(double p) {
  if (p + kPatm >= F.gstp) return olderDissolved(p);
  const Older o = olderAt(p);
  return o.M / o.V;
}

double bmOlder(double p) {
  if (p + kPatm >= F.gstp) return F.gbmnom;
  const Older o = olderAt(p);
  const double one_d = 1.0 - o.d;
  const double dM = o.dx * (F.grhogas - F.grho - F.grhogas * o.d / one_d -
                            F.grhogas * (1.0 - o.x) / (one_d * one_d));
  const double minus_dV = o.dx * (o.E - o.rn) + (1.0 - o.x) * o.E / F.gbmnom +
                          o.x * o.rn * F.gtmp2 / o.P;
  return o.M * o.V / (dM * o.V + o.M * minus_dV);
}

double muOlder(double p) {
  if (p + kPatm >= F.gstp) return F.gmuliq;
  const Older o = olderAt(p);
  const double Gx = o.x * o.rn;
  return F.gmuliq * (1.0 + 1000.0 * Gx / (Gx + o.E * (1.0 - o.x)));
}

// ---- Choice of the family -----------------------------------------------------

// One property in each family.
struct Laws {
  double (*simple)(double *p);
  double (*fuel)(double *p, double *temperature);
  int user;  // role of the general record's user function
  double (*general)(double p);
  double (*older)(double p);
};

double answer(const Laws &laws, double *p) {
  switch (kiv::hyd::family()) {
    case Family::Simple:
      return laws.simple(p);
    case Family::Fuel:
      return laws.fuel(p, &F.gambtemp);
    case Family::General:
      return userFunction(laws.user) ? callUser(laws.user, *p) : laws.general(*p);
    case Family::Older:
      break;
  }
  return laws.older(*p);
}

// ---- Void fraction pieces -----------------------------------------------------

double volumeOfAir(double P, double G) {
  if (P >= F.gstp) return 0.0;
  const double x =
      P <= F.gvstp ? F.gair : F.gair * kiv::hyd::s9((P - F.gvstp) / (F.gstp - F.gvstp));
  return x * F.gC2 / G;
}

double vapourFraction(double P) {
  if (P >= F.gvstp) return 0.0;
  if (P <= F.gvstp - F.goffset) return 1.0;
  return kiv::hyd::s9((P - F.gvstp + F.goffset) / F.goffset);
}

double volumeOfLiquid(double P) {
  if (P >= F.gstp) return 1.0;
  if (P <= F.gvstp - F.goffset) return 0.0;
  const double keep = 1.0 - vapourFraction(P);
  if (F.gusetables)
    return keep * F.gC1 / kiv::hyd::tableDensity(L.table, F.gtcelsius, P - kPatm);
  if (F.ghftype == 2) {
    double pp = P - kPatm;
    return keep * F.gC1 / rbrholiq_(&pp, &F.gambtemp);
  }
  return keep * F.gK1 * std::exp(-(P - kPatm) / F.gbmnom);
}

double volumeOfVapour(double P, double G) {
  if (P >= F.gvstp) return 0.0;
  return vapourFraction(P) * F.gK4 / G;
}

double vapourPressure(int *index, bool high) {
  const double fallback = high ? -90000.0 : -100000.0;
  switch (kiv::hyd::family()) {
    case Family::Fuel: {
      const HydFuelRecord *r = retrprop_(index);
      return high ? r->p_sat_high : r->p_sat_low;
    }
    case Family::General: {
      const HydFluidRecord *r = F.gptrfprop;
      if (r && (!r->user[KIV_HYD_USER_DENSITY] || r->kind == 1))
        return high ? r->p_sat_high : r->p_sat_low;
      return fallback;
    }
    default:
      return fallback;
  }
}

}  // namespace

namespace kiv::hyd {

HydCurrentFluid &fluid() { return F; }

}  // namespace kiv::hyd

namespace {

// What a released registry held is forgotten; index 0 loads when nothing is.
[[gnu::noinline]] void reload() {
  if (L.generation != kiv::hyd::generation()) {
    F.gptrfprop = nullptr;
    F.gptrbprop = nullptr;
    F.gptrsprop = nullptr;
    L.table = {};
    F.gmustinit = 1;
    F.rhoat0 = -1.0;
    L.generation = kiv::hyd::generation();
  }
  if (F.gmustinit) initprops(0, 4);
}

inline HydCurrentFluid &loaded() {
  if (F.gmustinit || L.generation != kiv::hyd::generation()) [[unlikely]]
    reload();
  return F;
}

}  // namespace

namespace kiv::hyd {

HydCurrentFluid &loadedFluid() { return loaded(); }

Family family() {
  loaded();
  const int t = F.ghftype;
  const HydFamilySwitches &S = familySwitches;
  if ((S.gSimplestProperties && t == 4) || (t == 3 && switchAt(S.gSimplestProp, F.ghindex)))
    return Family::Simple;
  if (S.gFuelProperties && t == 4) return Family::Fuel;
  if (t == 2 && switchAt(S.gFuelProp, F.ghindex)) {
    if (F.gptrbprop) F.gambtemp = F.gptrbprop->temperature;
    return Family::Fuel;
  }
  if (t == 1) return Family::General;
  return Family::Older;
}

}  // namespace kiv::hyd

namespace {

// ---- Loading the current fluid, by family -----------------------------------

// base^exponent, kept per fluid index in the registry block: switching
// between fluids finds the powers their loads raised instead of raising
// them again (same arguments, same value).
double raised(int index, int which, double base, double exponent) {
  HydIndexList *b = kiv::hyd::currentBlock();
  if (!b || !kiv::hyd::validIndex(index)) return std::pow(base, exponent);
  HydPower &m = b->powers[static_cast<size_t>(index)][static_cast<size_t>(which)];
  using kiv::hyd::sameBits;
  if (!(m.known && sameBits(m.base, base) && sameBits(m.exponent, exponent)))
    m = {base, exponent, std::pow(base, exponent), true};
  return m.value;
}
enum { kAtmosphere = 0, kVapour = 1 };

// A general record (types 1 and 4): constant properties or tables, with the
// air and vapour bands of the general laws.
void loadGeneral(int index, int type) {
  int i = index;
  const HydFluidRecord *r = retfprop_(&i);
  if (type == 4 && getftype_(&i) != 4) {
    kivfprintf(stderr, "No FPDROP icon is in the circuit.\n");
    KivExit(1);
  }
  F.gptrfprop = r;
  const double alpha = r->air;
  F.gair = alpha;
  F.gairden = r->air_density != 0.0 ? r->air_density : F.grhogas;
  F.gnpoly = r->polytropic;
  F.gtmp2 = 1.0 / F.gnpoly;
  F.gtmp1 = F.gtmp2 + 1.0;
  F.gambtemp = r->temperature;
  F.gvstp = r->p_sat_high + kPatm;
  if (r->vapour_molar_mass != 0.0) F.gMolesperkg = 1000.0 / r->vapour_molar_mass;
  F.gK1 = 1.0 - alpha;
  F.gusetables = r->kind == 1 ? 1 : 0;
  F.grhovap = F.gvstp / (F.gMolesperkg * 8.3145107 * F.gtref);
  F.gtcelsius = F.gambtemp - F.gtref;
  if (!F.gusetables) {
    F.gbmnom = r->bulk_modulus;
    F.grho = r->density;
    F.gmuliq = r->viscosity;
    F.gslope = r->bulk_slope;
    F.gC1 = (1.0 - alpha) * F.grho;
    F.gC5 = r->bulk_slope != 0.0 ? 1.0 / r->bulk_slope : 0.0;
    F.grhomix = F.grho + alpha * F.gairden / (1.0 - alpha);
    F.gN = alpha * F.gairden + F.gC1;
  } else {
    L.table = kiv::hyd::tableFluid(index);
    F.gC = alpha * F.gairden / (1.0 - alpha) /
               kiv::hyd::tableDensity(L.table, F.gtcelsius, 0.0) +
           1.0;
    F.gC1 = (1.0 - alpha) * kiv::hyd::tableDensity(L.table, 0.0, 0.0);
    F.gN = alpha * F.gairden + F.gC1;
  }
  const double tr = F.gambtemp / F.gtref;
  F.gC2 = raised(index, kAtmosphere, kPatm, F.gtmp2) * tr;
  F.gK4 = raised(index, kVapour, F.gvstp, F.gtmp2) * tr * F.gC1 / F.grhovap;
  F.gstp = r->p_sat + kPatm;
  F.gK3 = alpha * F.gC2;
  F.goffset = r->p_sat_high - r->p_sat_low;
  F.gmuair = r->mu_air;
  F.gmuvap = r->mu_vapour;
  if (type == 4) {
    F.gvstp = 0.0;
    F.goffset = 0.0;
    F.gK4 = 0.0;
    if (familySwitches.gSimplestProperties) InitSimpProps();
  }
}

// A fuel record: the fuel model answers; the general constants keep its
// vapour band and reference liquid density.
double loadFuel(int index) {
  int i = index;
  const HydFuelRecord *r = retrprop_(&i);
  F.gptrbprop = r;
  inrbprop_();
  const double alpha = r->air;
  F.gair = alpha;
  F.gambtemp = r->temperature;
  F.gnpoly = r->polytropic;
  F.goffset = r->p_sat_high - r->p_sat_low;
  F.gvstp = r->p_sat_high + kPatm;
  if (r->vapour_molar_mass != 0.0) F.gMolesperkg = 1000.0 / r->vapour_molar_mass;
  double p0 = 0.0, t0 = F.gtref;
  F.grho = rbrholiq_(&p0, &t0);
  F.gC1 = (1.0 - alpha) * F.grho;
  F.grhovap = F.gvstp / (F.gMolesperkg * 8.3145107 * F.gtref);
  F.gK4 = raised(index, kVapour, F.gvstp, 1.0 / F.gnpoly) * (F.gambtemp / F.gtref) * F.gC1 /
          F.grhovap;
  return alpha;
}

// A simple record: always served by the simple family, whatever another
// system defined under the same index.
double loadSimple(int index) {
  int i = index;
  simprop_(&i);
  InitSimpProps();
  const HydSimpleRecord *r = getspind_(&i);
  F.gptrsprop = r;
  F.gair = r->air;
  F.gnpoly = r->polytropic;
  F.gbmnom = r->bulk_modulus;
  F.gstp = r->p_sat + kPatm;
  F.gambtemp = r->temperature;
  return r->air;
}

// Fuel and simple records (and any other type): no air saturation or
// vapour band of the general laws unless the family sets one.
void loadOther(int index, int type) {
  F.gvstp = 0.0;
  F.gairden = 1.293;
  F.goffset = 0.0;
  F.gstp = 1e30;
  F.gK4 = 0.0;
  double alpha = 0.0;
  if (type == 2)
    alpha = loadFuel(index);
  else if (type == 3)
    alpha = loadSimple(index);
  F.gtmp2 = 1.0 / F.gnpoly;
  F.gtmp1 = F.gtmp2 + 1.0;
  F.gC2 = raised(index, kAtmosphere, kPatm, F.gtmp2) * F.gambtemp / F.gtref;
  F.gK1 = 1.0 - alpha;
  F.gtcelsius = F.gambtemp - F.gtref;
}

}  // namespace

void initprops(int index, int type) {
  // Start from the initial values so nothing of the previous fluid remains;
  // only the vapour molar mass is carried over when a record has none.
  static const HydCurrentFluid initial{};
  const double moles = F.gMolesperkg;
  const int previous = F.previous_fluid;
  F = initial;
  F.gMolesperkg = moles;
  F.previous_fluid = previous;

  F.gmustinit = 0;
  L = {kiv::hyd::TableFluid{}, kiv::hyd::generation()};
  F.ghindex = index;
  F.ghftype = type;
  F.grhogas = 2937.7 / F.gtref / 8.314;
  if (type == 1 || type == 4)
    loadGeneral(index, type);
  else
    loadOther(index, type);
  F.rhoat0 = -1.0;
}

namespace {

[[gnu::noinline]] void loadSelection(int index) {
  HydIndexList &b = kiv::hyd::selectableBlock();
  // Valid only once loaded: a selection that failed is never taken for done.
  b.valid = 0;
  b.current = index;
  const int type = getftype_(&b.current);
  initprops(b.current, type);
  b.valid = 1;
  selection = {QOR_XB_GlobalSystem, &b, kiv::hyd::generation()};
}

}  // namespace

extern "C" {

double rhoatp_(double *p) {
  static constexpr Laws laws{&rhosimp_, &rbrho_, KIV_HYD_USER_DENSITY, &rhoGeneral, &rhoOlder};
  return answer(laws, p);
}

double bmatp_(double *p) {
  static constexpr Laws laws{&bmsimp_, &rbbm_, KIV_HYD_USER_BULK_MODULUS,
                             [](double q) { return bulkGeneral(q, true); }, &bmOlder};
  return answer(laws, p);
}

double bm2atp_(double *p) {
  static constexpr Laws laws{&bmsimp_, &rbbm2_, KIV_HYD_USER_BULK_MODULUS,
                             [](double q) { return bulkGeneral(q, false); }, &bmOlder};
  return answer(laws, p);
}

double bmliqonly_(double *p) {
  loaded();
  if (F.gusetables) return kiv::hyd::tableBulk(L.table, F.gtcelsius, *p);
  if (F.ghftype == 2) return rbbmliq_(p, &F.gambtemp);
  return F.gbmnom;
}

double q0top2_(double *rho) {
  // A released registry leaves the density at 0 bar to be computed anew.
  if (F.rhoat0 < 0.0 || F.previous_fluid != F.ghindex ||
      L.generation != kiv::hyd::generation()) {
    double zero = 0.0;
    F.rhoat0 = rhoatp_(&zero);
    F.previous_fluid = F.ghindex;
  }
  return F.rhoat0 / *rho;
}

double q0top_(double *p) {
  double rho = rhoatp_(p);
  return q0top2_(&rho);
}

double volatp_(double *p, double *a, double *v0) { return *v0 * (1.0 + *a * *p); }
double valatp_(double *p, double *a, double *v0) { return volatp_(p, a, v0); }

void reset_rhoatp0_(void) { F.rhoat0 = -1.0; }


double muatp_(double *p) {
  static constexpr Laws laws{[](double *) { return musimp_(); }, &rbmu_, KIV_HYD_USER_VISCOSITY,
                             &muGeneral, &muOlder};
  return answer(laws, p);
}

double fvoid_(double *p) {
  loaded();
  const double P = flooredAbsolute(*p);
  F.gpabs = P;
  if (F.ghftype == 2 && switchAt(familySwitches.gFuelProp, F.ghindex) && F.gptrbprop) {
    const HydFuelRecord &r = *F.gptrbprop;
    F.gair = r.air;
    F.gvstp = r.p_sat_high + kPatm;
    F.gphi = RBThetaVap(P, F.gvstp);
    if (P < r.p_sat_low + kPatm) return 1.0;
    double t = r.temperature;
    return rbvoidcontent_(p, &t);
  }
  if (userFunction(KIV_HYD_USER_VOID_FRACTION)) return callUser(KIV_HYD_USER_VOID_FRACTION, *p);
  const double G = std::pow(P, F.gtmp2);
  const double VA = volumeOfAir(P, G), VL = volumeOfLiquid(P), VV = volumeOfVapour(P, G);
  return (VV + VA) / (VL + VV + VA);
}

double tatp_(double *p) {
  loaded();
  const int t = F.ghftype;
  if (t == 2 && switchAt(familySwitches.gFuelProp, F.ghindex) && F.gptrbprop) {
    F.gambtemp = F.gptrbprop->temperature;
    double bar = *p * 1e-5;
    return rbt_(&bar, &F.gambtemp);
  }
  if ((t == 1 || t == 4) && F.gptrfprop) {
    if (userFunction(KIV_HYD_USER_TEMPERATURE)) return callUser(KIV_HYD_USER_TEMPERATURE, *p);
    return F.gptrfprop->temperature;
  }
  if (F.gptrsprop) return F.gptrsprop->temperature;
  if (!warning_displayed) {
    warning_displayed = 1;
    kivfprintf(stderr, "\nWarning in function tatp : entering in undefined fluid case.\n");
  }
  return 0.0;
}

double getnewsap_(void) {
  loaded();
  if ((F.ghftype == 1 || F.ghftype == 4) && F.gptrfprop) return F.gptrfprop->p_sat;
  if (F.ghftype == 3 && F.gptrsprop) return F.gptrsprop->p_sat;
  return getsap_();
}

double getnewebm_(void) {
  loaded();
  return F.gbmnom;
}

double getnewair_(void) {
  loaded();
  return F.gair;
}

double getnewtemp_(void) {
  loaded();
  return F.gambtemp;
}

double getnewpol_(void) {
  loaded();
  return F.gnpoly;
}

void sethdind_(int *index) {
  // The same fluid again, the common case, costs these comparisons only.
  if (selection.block && selection.system == QOR_XB_GlobalSystem &&
      selection.generation == kiv::hyd::generation() && selection.block->current == *index &&
      selection.block->valid)
    return;
  loadSelection(*index);
}

void changeT_(int *index, double *temperature_celsius) {
  CheckIndex(*index, 0);
  // An impossible temperature leaves the fluid where it was.
  if (!kiv::hyd::possibleTemperature(*index, *temperature_celsius)) return;
  HydFluidRecord *r = retfprop_(index);
  const double kelvin = *temperature_celsius + kiv::hyd::constants().gtref;
  // Outside its tables a fluid is held at the nearest one: said at every
  // move there, as at definition; the same temperature again says nothing.
  const bool moved = kelvin != r->temperature;
  r->temperature = kelvin;
  HydIndexList *b = kiv::hyd::currentBlock();
  if (r->kind == 1)
    kiv::hyd::moveTableFluid(*index, *r, b->tables[static_cast<size_t>(*index)],
                             *temperature_celsius, moved);
  // The loaded constants hold the old temperature: the next selection
  // reloads them.
  b->valid = 0;
  reset_rhoatp0_();
}

double hydgetpvaph_(int *index) { return vapourPressure(index, true); }
double hydgetpvapl_(int *index) { return vapourPressure(index, false); }

}  // extern "C"

// The loaded table fluid, or the one under the loaded index (which ends the
// run when it holds no tables).
static kiv::hyd::TableFluid loadedTable() {
  const HydCurrentFluid &f = kiv::hyd::loadedFluid();
  return f.gusetables ? L.table : kiv::hyd::tableFluid(f.ghindex);
}

double bmfromtble(double t, double p) { return kiv::hyd::tableBulk(loadedTable(), t, p); }
double rhofromtble(double t, double p) { return kiv::hyd::tableDensity(loadedTable(), t, p); }
double mufromtble(double t, double p) { return kiv::hyd::tableViscosity(loadedTable(), t, p); }
