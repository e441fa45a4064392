// The fuel property model: twelve fuels given by built-in coefficients.
// Liquid density from a Tait equation whose reference density and parameter
// depend on the temperature (raised by compression), vapour between the high
// and low vapour saturation pressures, free air compressed polytropically,
// viscosity from a free-volume law, bulk moduli as tangents of the density.
#include <algorithm>
#include <cmath>

#include "hydraulics/fluidlaws.hpp"

namespace {

struct Coefficients {
  double rho_ref;  // kg/m3
  double alpha_T;  // 1/K
  double Ct;       // Tait constant
  double B0, B1, B2, B3;  // Tait parameter [bar] as a cubic of the temperature [K]
  double A, E, G, H;      // viscosity: A [mPa s], E, G [kg/m3], H [1/K]
};

constexpr Coefficients kFuel[13] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {1035.108, 0.0006579697, 0.08481567, 2806.101, -1.978017, -0.02329587, 3.58349e-05, 0.293674,
     0.422, 674.508, 0.00149217},
    {1062.271, 0.0006584334, 0.0848069, 2843.279, -1.978511, -0.02329518, 3.58349e-05, 0.271122,
     0.475, 709.923, 0.00144363},
    {1022.569, 0.0006647206, 0.08482289, 2774.61, -1.982286, -0.02328948, 3.58349e-05, 0.106586,
     1.094, 731.274, 0.00161056},
    {1006.008, 0.0006847224, 0.08484366, 2713.23, -1.996511, -0.02326879, 3.58349e-05, 0.241184,
     0.614, 578.107, 0.00255794},
    {1088.579, 0.0006458006, 0.0879071, 2412.009, -3.908262, 0, 0, 0.380016, 0.665, 797.638,
     0.00128682},
    {1060.493, 0.0006585316, 0.08254468, 2206.858, -3.806216, 0, 0, 1.11841, 0.224, 793.381,
     0.000854734},
    {1040.67204, 0.000659726416, 0.0941315423, 1230.24675, 6.95471889, -0.0322785048,
     3.13310487e-05, 1.23042, 0.187, 779.218, 0.000826673},
    {1036.897, 0.000647385, 0.08212297, 2112.575, -3.583398, 0, 0, 0.04656, 1.463, 1026.743,
     0.000310215},
    {1052.303, 0.0006364883, 0.08113688, 2047.566, -3.27722, 0, 0, 0.0658555, 1.184, 998.794,
     0.000337552},
    {1017.12586135873, 0.000655986272916697, 0.109128400177309, 6041.3770581985,
     -24.6176866461354, 0.035833679978047, -1.87839241044339e-05, 0.0902447951443263,
     0.9992670999823074, 919.2576031208006, 0.00047361440048080696},
    {1009.65871593012, 0.000699955739879495, 0.110486697642569, 7123.58761530181,
     -33.6798894048877, 0.057287519447579, -3.41730057905469e-05, 0.06593166350747327,
     1.3051069538396174, 943.3186801266258, 0.000587403842575559},
    {1042.01620478575, 0.000656168749811464, 0.108064950058308, 6008.35764766439,
     -24.1552804573572, 0.0347487552837876, -1.7966945888523e-05, 0.12308122545866726,
     0.8330143430054235, 927.9852911726209, 0.00043368363799852817},
};

constexpr double kTmin = 243.15, kTmax = 633.15;  // K, range of the measurements
constexpr double kPmaxBar = 5000.0;
constexpr double kPfloorBar = (kPabsFloor - kPatm) / 1e5;  // absolute zero, bar gauge
constexpr double kRgas = 8.3145107;

// Near the top of the range the Tait law of several fuels fails: the
// parameter of fuels 5, 6, 8 and 9 falls through zero, and with the
// temperature rise by compression (which falls again above 3561 bar) the
// density of fuels 5, 6 and 8 to 12 stops rising with the pressure at the
// highest pressures.  Above the lowest temperature at which the law fails
// at some pressure of the range, the parameter is held at its value there;
// everywhere else the law is followed.  The parameter itself must
// stay above kTaitFloor: the law needs P + H > 0 down to absolute zero
// (P = -1.013 bar) and a positive denominator up to 5000 bar (H > 0.6 bar
// at most); the floor is twice the larger bound.
constexpr double kTaitFloor = -2.0 * kPfloorBar;  // bar
// The free-volume viscosity overflows as the density nears that of no free
// volume: its exponent is held at 700 (a viscosity near 1e300 Pa s at most).
constexpr double kMaxExponent = 700.0;

constexpr double taitParameter(const Coefficients &c, double T) {
  return c.B0 + T * (c.B1 + T * (c.B2 + T * c.B3));
}
double taitParameterSlope(const Coefficients &c, double T) {
  return c.B1 + T * (2.0 * c.B2 + 3.0 * c.B3 * T);
}

// The Tait denominator 1 - Ct ln((P + H) / H) at P [bar] with the
// parameter H [bar].
double taitDenominator(const Coefficients &c, double P, double H) {
  return 1.0 - c.Ct * std::log((P + H) / H);
}

// d rho_L / d p [kg/m3/Pa] of the Tait density at P [bar] and T [K] (the
// temperature raised by compression), with the parameter H [bar], its
// temperature slope dHdT and the denominator D there.
double taitSlope(const Coefficients &c, double P, double T, double H, double dHdT, double D) {
  const double dTdP = 0.0141 - 3.96e-6 * P;
  const double dD = -c.Ct * (H - dTdP * dHdT * P) / (H * (H + P));
  const double RHOVT = c.rho_ref * (1.0 - c.alpha_T * T);
  return (-c.rho_ref * c.alpha_T * dTdP - dD * RHOVT / D) / D / 1e5;
}

// Whether the law gives a finite density rising with the pressure at T [K]
// for every pressure of the range (every 25 bar).
bool lawHolds(const Coefficients &c, double T) {
  const double H = taitParameter(c, T), dHdT = taitParameterSlope(c, T);
  if (!(H > kTaitFloor)) return false;
  for (double P = kPfloorBar;; P = std::min(P + 25.0, kPmaxBar)) {
    const double D = taitDenominator(c, P, H);
    if (!(D > 0.0 && taitSlope(c, P, T, H, dHdT, D) > 0.0)) return false;
    if (P == kPmaxBar) return true;
  }
}

// The lowest temperature at which the law fails, searched up to the top of
// the range plus the largest compression rise; 1e30 when it never does.
double taitLimit(const Coefficients &c) {
  if (!lawHolds(c, kTmin)) return kTmin;
  for (double hi = kTmin + 1.0; hi <= kTmax + 30.0; hi += 1.0) {
    if (lawHolds(c, hi)) continue;
    double lo = hi - 1.0;
    for (int k = 0; k < 50; ++k) {
      const double mid = 0.5 * (lo + hi);
      (lawHolds(c, mid) ? lo : hi) = mid;
    }
    return lo;
  }
  return 1e30;
}

// Fields of the last evaluation, read by the functions that follow rbrho_.
struct Evaluation {
  double PRESS = 0, PABS = 0, DEGK = 0;
  double THETA = 0, RHOVAP = 0, RHOLIQ = 0, RHOVT = 0, HILF = 0;
  double TAIT = 1;  // Tait denominator of RHOLIQ, for its bulk modulus
  double RHONOAIR = 0, RHOAIR = 0, PHI = 0;
  bool held = false;  // Tait parameter held at its limit temperature
};

struct FuelModel {
  int gmustinit = 1;
  int RBTYPE = 0;
  double VSTP = 50000, OFFSET = 10000, Molesperkg = 5, RGAMMA = 1 / 1.4;
  double AIR = -1, RHOLIQREF = 0, RHOAIRREF = 0, RHOAIRREF2 = 0;
  double MUAIR = 0, MUVAP = 0, TEMPINC = 0;
  Evaluation e;
  // One-entry cache of rbrho_, with the evaluation it left behind.
  double p_cache = -1e30, temp_cache = -1e30;
  int index_cache = -1;
  unsigned generation_cache = 0;  // registry generation of the cached value
  double rbrho_cache = 1000;
  Evaluation cached;
  int rb_nocomment = 0;
  // Warnings printed, per index (the last one for indexes outside 0..100):
  // pressure out of range, density law held, viscosity law held.
  int gOutOfRange[kHydIndexCount + 1] = {};
  int gDensityHeld[kHydIndexCount + 1] = {};
  int gViscosityHeld[kHydIndexCount + 1] = {};
  // Fuel data of the index-0 fluid given by setrbid2_.
  int gindex = 0;
  double ghsvp = 0, glsvp = 0, gemm = 0, gmuair = 0, gmuvap = 0;
  // Per fuel, the temperature above which the Tait parameter is held; 0
  // until the fuel is first selected.
  double tait_limit[13] = {};
};

FuelModel R;

double clampTemperature(double T) { return std::clamp(T, kTmin, kTmax); }

// Whether a warning of fluid i of the kind that `flags` records may be
// printed now; each kind is printed once per index.
bool claimWarning(int (&flags)[kHydIndexCount + 1], int i, bool honour_silent) {
  int &flag = flags[kiv::hyd::validIndex(i) ? i : kHydIndexCount];
  if (flag || kiv::hyd::samplingQuietly() || (honour_silent && R.rb_nocomment)) return false;
  flag = 1;
  return true;
}

void mayBeWrong(int i) {
  kivfprintf(stderr, "\nWarning: the properties of the fluid indexed %d may be wrong.\n", i);
}

// Clamps the pressure and temperature and sets PRESS, DEGK and PABS; returns
// the clamped temperature.
double prepare(double p, double T, int i, bool honour_silent) {
  Evaluation &e = R.e;
  e.PRESS = p * 1e-5;
  if (e.PRESS > kPmaxBar) {
    e.PRESS = kPmaxBar;
    if (claimWarning(R.gOutOfRange, i, honour_silent)) {
      kivfprintf(stderr,
                 "\nThe fluid properties are based on measurements in the pressure range 0 to "
                 "%6.2f bar.\n",
                 kPmaxBar);
      kivfprintf(stderr, "\nThe pressure value is beyond the recommended values: its value is %6.2f bar.\n",
                 p * 1e-5);
      mayBeWrong(i);
    }
  } else {
    const double plow = (R.VSTP - R.OFFSET - kPatm) / 1e5;
    if (e.PRESS < plow) {
      e.PRESS = plow;
      if (claimWarning(R.gOutOfRange, i, honour_silent)) {
        kivfprintf(stderr, "\nLiquid does not exist below %1.3f bar !\n", plow);
        kivfprintf(stderr, "\nThe pressure value is %6.2f bar.\n", p * 1e-5);
        mayBeWrong(i);
      }
    }
  }
  e.PRESS = std::max(e.PRESS, kPfloorBar);
  const double Tc = clampTemperature(T);
  e.DEGK = Tc + e.PRESS * (0.0141 - 1.98e-6 * e.PRESS);
  e.PABS = p + kPatm;
  if (e.PABS <= kPabsFloor) {
    stepdn_();
    e.PABS = kPabsFloor;
  }
  return Tc;
}

// Tait liquid at PRESS and DEGK; RHOLIQ only when the liquid exists.
void liquid(int i, bool exists, bool honour_silent) {
  const Coefficients &c = kFuel[R.RBTYPE];
  Evaluation &e = R.e;
  e.RHOVT = c.rho_ref * (1.0 - c.alpha_T * e.DEGK);
  const double limit = R.tait_limit[R.RBTYPE];
  e.held = e.DEGK > limit;
  e.HILF = taitParameter(c, e.held ? limit : e.DEGK);
  if (!exists) {
    e.RHOLIQ = 0.0;
    return;
  }
  if (e.held && claimWarning(R.gDensityHeld, i, honour_silent)) {
    kivfprintf(stderr,
               "\nThe density law of fuel %d is not valid above %6.2f degC: the temperature "
               "(%6.2f degC) is limited to that value.\n",
               R.RBTYPE, limit - 273.15, e.DEGK - 273.15);
    mayBeWrong(i);
  }
  e.TAIT = taitDenominator(c, e.PRESS, e.HILF);
  e.RHOLIQ = e.RHOVT / e.TAIT;
}

// Liquid bulk modulus [Pa] of the last evaluation: the exact tangent of the
// Tait density including the temperature rise by compression.
double liquidBulk() {
  const Coefficients &c = kFuel[R.RBTYPE];
  const Evaluation &e = R.e;
  const double dHdT = e.held ? 0.0 : taitParameterSlope(c, e.DEGK);
  return e.RHOLIQ / taitSlope(c, e.PRESS, e.DEGK, e.HILF, dHdT, e.TAIT);
}

double airMassFraction() {
  return R.RHOAIRREF * R.AIR / ((1.0 - R.AIR) * R.RHOLIQREF + R.RHOAIRREF * R.AIR);
}

double mixtureDensity(double p, double T, int i) {
  const double Tc = prepare(p, T, i, true);
  Evaluation &e = R.e;
  e.THETA = e.RHOVAP = 0.0;
  if (e.PABS < R.VSTP) {
    e.THETA = RBThetaVap(e.PABS, R.VSTP);
    if (e.THETA > 0.0)
      e.RHOVAP = std::pow(e.PABS / R.VSTP, R.RGAMMA) * R.VSTP /
                 ((Tc + R.TEMPINC) * R.Molesperkg * kRgas);
  }
  liquid(i, e.THETA < 1.0, true);
  e.RHONOAIR = e.RHOLIQ * (1.0 - e.THETA) + e.THETA * e.RHOVAP;
  e.RHOAIR = e.PHI = 0.0;
  if (R.AIR <= 0.0) return e.RHONOAIR;
  e.RHOAIR = std::pow(e.PABS / kPatm, R.RGAMMA) * R.RHOAIRREF2;
  const double a = R.RHOAIRREF * R.AIR / e.RHOAIR;
  e.PHI = a / (R.RHOLIQREF * (1.0 - R.AIR) / e.RHONOAIR + a);
  return (1.0 - e.PHI) * e.RHONOAIR + e.PHI * e.RHOAIR;
}

void invalidateCache() {
  R.p_cache = -1e30;
  R.temp_cache = -273.15;
  R.index_cache = -1;
}

// Loads the model for one fluid's fuel data.
void load(int index, int fuel, double high, double low, double molar_mass, double mu_air,
          double mu_vapour, double air, double temperature, double polytropic) {
  if (!(molar_mass > 0.0)) {
    kivfprintf(stderr,
               "\nThe effective molecular mass of vapor of the fluid indexed %d must be strictly "
               "positive (value %g).\n",
               index, molar_mass);
    KivExit(1);
  }
  R.VSTP = high + kPatm;
  R.OFFSET = high - low;
  R.Molesperkg = 1000.0 / molar_mass;
  setrbid_(&fuel);
  R.gmustinit = 0;
  // Before the reference density, which may hold vapour: nothing of the
  // previously loaded fluid may enter it.
  R.RGAMMA = 1.0 / polytropic;
  R.MUAIR = mu_air;
  R.MUVAP = mu_vapour;
  R.AIR = -1.0;
  double p0 = 0.0, t0 = 273.15;
  R.RHOLIQREF = rbrho_(&p0, &t0);
  invalidateCache();  // that value was computed without air
  R.AIR = air;
  R.RHOAIRREF = 1.293;
  R.RHOAIRREF2 = 273.15 / clampTemperature(temperature) * 1.293;
}

// The bulk modulus at fixed mass fractions, and the compliance [1/Pa] of
// vapour forming or condensing, at (p, T).
struct BulkParts {
  double fixed, transfer;
};

BulkParts bulkParts(double *p, double *temperature) {
  const double rho = rbrho_(p, temperature);
  const Evaluation &e = R.e;
  const double nP = e.PABS / R.RGAMMA;
  const double wA = airMassFraction();
  const double wV = e.RHOVAP * e.THETA / ((1.0 - e.THETA) * e.RHOLIQ + e.RHOVAP * e.THETA);
  const double BL = e.RHOLIQ > 0.0 ? liquidBulk() : 1.0;
  double S = 0.0;
  if (e.RHOLIQ > 0.0) S += (1.0 - wV) * (1.0 - wA) / (e.RHOLIQ * BL);
  if (e.THETA > 0.0) S += wV * (1.0 - wA) / (e.RHOVAP * nP);
  if (R.AIR > 0.0) S += wA / (nP * e.RHOAIR);
  BulkParts b{1.0 / (S * rho), 0.0};
  if (R.VSTP - R.OFFSET < e.PABS && e.PABS < R.VSTP) {
    const double rhoNA = e.THETA * e.RHOVAP + (1.0 - e.THETA) * e.RHOLIQ;
    const double dtheta = kiv::hyd::s9.slope((e.PABS - R.VSTP + R.OFFSET) / R.OFFSET) / R.OFFSET;
    b.transfer = (1.0 / e.RHOLIQ - 1.0 / e.RHOVAP) *
                 (dtheta + (1.0 - e.THETA) * e.THETA * (1.0 / nP - 1.0 / BL)) * e.RHOVAP *
                 e.RHOLIQ / (rhoNA * rhoNA) * (1.0 - wA) * rho;
  }
  return b;
}

void ensureLoaded() {
  if (!R.gmustinit) return;
  KivResetIntAtEnd(&R.gmustinit, 1);
  inrbprop_();
}

}  // namespace

extern "C" {

double RBThetaVap(double p_abs, double vstp) {
  if (p_abs >= vstp) return 0.0;
  if (p_abs <= vstp - R.OFFSET) return 1.0;
  return kiv::hyd::s9((p_abs - vstp + R.OFFSET) / R.OFFSET);
}

double rbrho_(double *p, double *temperature) {
  ensureLoaded();
  const int i = gethdind_();
  if (*p == R.p_cache && *temperature == R.temp_cache && i == R.index_cache &&
      R.generation_cache == kiv::hyd::generation()) {
    R.e = R.cached;
    return R.rbrho_cache;
  }
  const double rho = mixtureDensity(*p, *temperature, i);
  R.p_cache = *p;
  R.temp_cache = *temperature;
  R.index_cache = i;
  R.generation_cache = kiv::hyd::generation();
  R.rbrho_cache = rho;
  R.cached = R.e;
  return rho;
}

double rbrholiq_(double *p, double *temperature) {
  ensureLoaded();  // never the coefficients of no fuel
  const int i = gethdind_();
  prepare(*p, *temperature, i, false);
  Evaluation &e = R.e;
  e.THETA = e.PABS >= R.VSTP ? 0.0 : RBThetaVap(e.PABS, R.VSTP);
  liquid(i, e.THETA < 1.0, false);
  return e.RHOLIQ;
}

double rbbmliq_(double *p, double *temperature) {
  rbrholiq_(p, temperature);
  return R.e.RHOLIQ <= 0.0 ? 1.0 : liquidBulk();
}

double rbbm2_(double *p, double *temperature) { return bulkParts(p, temperature).fixed; }

double rbgasmtransferatp_(double *p, double *temperature) {
  return bulkParts(p, temperature).transfer;
}

double rbbm_(double *p, double *temperature) {
  const BulkParts b = bulkParts(p, temperature);
  return 1.0 / (b.transfer + 1.0 / b.fixed);
}

double rbmu_(double *p, double *temperature) {
  rbrho_(p, temperature);
  const Evaluation &e = R.e;
  const Coefficients &c = kFuel[R.RBTYPE];
  const double Tm = std::min(e.DEGK, 453.15);
  double rho = e.RHOLIQ;
  if (R.RBTYPE <= 9) {
    const double Bm = c.rho_ref * 0.0009233 / c.alpha_T + 1326.58 - 5.628 * Tm;
    rho = e.RHOVT / (1.0 - 0.0844 * std::log((e.PRESS + Bm) / Bm));
  }
  const double packed = c.G * (1.0 + c.H * Tm);  // density of no free volume
  const double highest = packed * kMaxExponent / (c.E + kMaxExponent);
  if (rho > highest) {
    const int i = gethdind_();
    if (e.THETA < 1.0 && claimWarning(R.gViscosityHeld, i, true)) {
      kivfprintf(stderr,
                 "\nThe viscosity law of fuel %d is not valid at this density (%6.2f kg/m3): "
                 "the density is limited to %6.2f kg/m3.\n",
                 R.RBTYPE, rho, highest);
      mayBeWrong(i);
    }
    rho = highest;
  }
  double mu = 0.001 * c.A * std::exp(c.E * rho / (packed - rho));
  if (e.THETA > 0.0) mu = mu * (1.0 - e.THETA) + e.THETA * R.MUVAP;
  if (R.AIR > 0.0) mu = mu * (1.0 - e.PHI) + e.PHI * R.MUAIR;
  return mu;
}

double rbvoidcontent_(double *p, double *temperature) {
  rbrho_(p, temperature);
  const Evaluation &e = R.e;
  if (R.AIR <= 0.0) return e.THETA;
  const double a = R.RHOAIRREF * R.AIR / e.RHOAIR;
  const double l = R.RHOLIQREF * (1.0 - R.AIR) / e.RHONOAIR;
  return (e.THETA * l + a) / (l + a);
}

double rbt_(double *p_bar, double *temperature) {
  // Above the measured pressures the rise stays at its 5000 bar value.
  const double pb = std::clamp(*p_bar, kPfloorBar, kPmaxBar);
  R.e.DEGK = clampTemperature(*temperature) + pb * (0.0141 - 1.98e-6 * pb);
  return R.e.DEGK;
}

void inrbprop_(void) {
  int i = gethdind_();
  if (i != 0 || getftype_(&i) == 2) {
    const HydFuelRecord *r = retrprop_(&i);
    load(i, r->fuel_type, r->p_sat_high, r->p_sat_low, r->vapour_molar_mass, r->mu_air,
         r->mu_vapour, r->air, r->temperature, r->polytropic);
  } else {
    load(i, R.gindex, R.ghsvp, R.glsvp, R.gemm, R.gmuair, R.gmuvap, getair_(), getemp_(),
         getpol_());
  }
}

void setrbid_(int *fuel) {
  if (*fuel < 1 || *fuel > 12) {
    kivfprintf(stderr, "\nThe fuel index is not valid for the built-in fuel data.\n");
    kivfprintf(stderr, "Index should be in range 1 to 12 inclusive;\n");
    kivfprintf(stderr, "Value supplied is %d.\n", *fuel);
    kivfprintf(stderr, "Terminating the program.\n\n");
    KivExit(1);
  }
  R.RBTYPE = *fuel;
  if (R.tait_limit[R.RBTYPE] == 0.0) R.tait_limit[R.RBTYPE] = taitLimit(kFuel[R.RBTYPE]);
  const double Pv = (R.VSTP - kPatm) / 1e5;
  R.TEMPINC = Pv * (0.0141 - 1.98e-6 * Pv);
  SetFuelProperties();
}

void setrbid2_(int *fuel, double *p_sat_high, double *p_sat_low, double *molar_mass,
               double *mu_air, double *mu_vapour) {
  R.gindex = *fuel;
  R.ghsvp = *p_sat_high;
  R.glsvp = *p_sat_low;
  R.gemm = *molar_mass;
  R.gmuair = *mu_air;
  R.gmuvap = *mu_vapour;
  load(gethdind_(), *fuel, *p_sat_high, *p_sat_low, *molar_mass, *mu_air, *mu_vapour, getair_(),
       getemp_(), getpol_());
}

void Set_rbprop_silent_(int flag) { R.rb_nocomment = flag; }

}  // extern "C"
