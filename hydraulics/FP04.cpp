// The fluid-properties submodel: parameter checks, conversion to SI and the
// definition of its fluid at set-up; selection of the fluid and clearing of
// its volume and mass totals at every evaluation.
#include <algorithm>
#include <cmath>
#include <string>

#include "hydraulics/kiv_fp04.h"

namespace {

// Positions of the real parameters.
enum : int {
  kRho = 0,
  kBulk = 1,
  kSlope = 2,
  kMu = 3,
  kMuAir = 4,
  kPsat = 5,
  kAir = 6,
  kTemp = 7,
  kT1 = 8,
  kNu1 = 9,
  kT2 = 10,
  kNu2 = 11,
  kCoef = 12,
  kPoly = 13,
  kHigh = 14,
  kLow = 15,
  kMuVap = 16,
  kMolar = 17,
  kAirDen = 18,
  kPsatSimple = 19,
  kRealCount = 20
};

// Positions of the integer parameters.
enum : int { kType = 0, kFuel = 1, kFile = 2, kBulkType = 3, kIndex = 4 };

// Written back into the caller's array: user units to SI.
struct Conversion {
  int pos;
  double factor;
};
constexpr Conversion kConversions[] = {
    {kBulk, 1e5}, {kMu, 0.001}, {kMuAir, 0.001}, {kPsat, 1e5},    {kNu1, 1e-6},
    {kNu2, 1e-6}, {kHigh, 1e5}, {kLow, 1e5},     {kMuVap, 0.001}, {kPsatSimple, 1e5}};

// Name pieces of the fluid property files "hyd_<name>_Bs.data" / "_Bt.data".
const char *fileName(int file) {
  switch (file) {
    case 2: return "0W30";
    case 3: return "5W30";
    case 4: return "15W30";
    case 5: return "15W40";
    case 6: return "pure_glycol";
    case 7: return "water";
    case 8: return "coolant";
    case 9: return "cool_EG20_W80";
    case 10: return "cool_EG40_W60";
    case 11: return "cool_EG60_W40";
    case 12: return "cool_EG80_W20";
    case 13: return "hexane";
    case 14: return "heptane";
    case 15: return "pure_ethylene_glycol";
    case 16: return "HFDU_ester";
    case 17: return "HFC_water_glycol";
    case 18: return "AS1241_V";
    case 19: return "MIL-H-5606";
    case 20: return "MIL-H-8446";
    case 21: return "MIL-H-27601";
    case 22: return "MIL-H-83282";
    case 23: return "MIL-H-87257";
    case 24: return "MIL-PRF-7808";
    case 25: return "MIL-PRF-23699";
    case 26: return "jet-A";
    case 27: return "jet-A1";
    case 28: return "jet-B";
    case 29: return "JP-4";
    case 30: return "JP-5";
    case 31: return "JP-7";
    case 32: return "JP-8";
    case 33: return "JP-10";
    case 34: return "JP-TS";
    case 35: return "Av-gas";
    case 36: return "TS-1";
    case 37: return "RT";
    case 38: return "unleaded_gasoline_Premium";
    case 39: return "unleaded_gasoline_Super_Plus";
    case 40: return "ethanol_gasoline_blend_E24";
    case 41: return "D40_hydrocarbon_fluid";
    case 42: return "ethanol";
    case 43: return "methanol";
    case 44: return "HM_VG32";
    case 45: return "HM_VG46";
    case 46: return "HV_VG46";
    case 47: return "HM_VG68";
    case 48: return "tractor_oil";
    case 49: return "cool_EG50_W50";
    default: return "15W30";
  }
}

// Kinematic viscosity [cSt] at t [degC] on the curve through (t1, nu1) and
// (t2, nu2) on which log10(log10(nu + c)) is linear in log10 of the absolute
// temperature.
double twoPointViscosity(double t1, double nu1, double t2, double nu2, double c, double t) {
  const double a1 = std::log10(std::log10(nu1 + c));
  const double a2 = std::log10(std::log10(nu2 + c));
  const double l1 = std::log10(t1 + 273.15);
  const double b = (a1 - a2) / (std::log10(t2 + 273.15) - l1);
  const double a = a1 + b * l1;
  return std::pow(10.0, std::pow(10.0, a) * std::pow(t + 273.15, -b)) - c;
}

// Messages of the set-up checks and the level they reach: 1 warnings,
// 2 fatal errors.
class Checks {
 public:
  explicit Checks(const double *r) : r_(r) {}

  int level() const { return level_; }

  void warn(const char *message) {
    kivfprintf(stderr, "%s", message);
    if (level_ < 1) level_ = 1;
  }
  bool fail(bool failed, const char *message) {
    if (failed) {
      kivfprintf(stderr, "%s", message);
      level_ = 2;
    }
    return failed;
  }

  void positive(int pos, const char *message) { fail(!(r_[pos] > 0.0), message); }
  void density() { positive(kRho, "\nThe density must be strictly positive.\n"); }
  void bulk() { positive(kBulk, "\nThe bulk modulus must be strictly positive.\n"); }
  void slope() { fail(!(r_[kSlope] >= 0.0), "\nThe slope of bulk modulus must be positive.\n"); }
  void viscosity() { positive(kMu, "\nThe absolute viscosity must be strictly positive.\n"); }
  void airViscosity() {
    positive(kMuAir, "\nThe absolute viscosity of air/gas must be strictly positive.\n");
  }
  bool saturation(int pos) {
    if (r_[pos] > lowest_) return false;
    kivfprintf(stderr, "\nThe saturation pressure must be strictly greater than %g bar.\n",
               lowest_);
    level_ = 2;
    return true;
  }
  void temperature() {
    fail(!(r_[kTemp] >= -273.15), "\nThe temperature must be greater than -273.15 degC.\n");
  }
  void polytropic() {
    fail(!(r_[kPoly] >= 0.0),
         "\nThe polytropic index for air/gas/vapor content must be positive.\n");
  }
  void vapourPressures(bool againstSaturation) {
    if (!(r_[kHigh] > lowest_)) {
      kivfprintf(stderr, "\nIllegal value of high saturation pressure.\nValue is %g.\n", r_[kHigh]);
      level_ = 2;
    }
    if (!(r_[kLow] > lowest_)) {
      kivfprintf(stderr, "\nIllegal value of low saturation pressure.\nValue is %g.\n", r_[kLow]);
      level_ = 2;
    }
    if (againstSaturation) highBelowSaturation(r_[kHigh], 2);
    if (!(r_[kLow] < r_[kHigh])) {
      kivfprintf(stderr,
                 "\nIllegal values of saturation pressures.\n"
                 "Low value (%g) must be less than high value (%g).\n",
                 r_[kLow], r_[kHigh]);
      level_ = 2;
    }
  }
  void highBelowSaturation(double high, int level) {
    if (!(high >= r_[kPsat])) return;  // a NaN was reported by its own check
    kivfprintf(stderr,
               "\nIllegal value of high saturated vapor pressure.\n"
               "High saturated vapor pressure (%g) must be less than saturation pressure (%g).\n",
               high, r_[kPsat]);
    if (level_ < level) level_ = level;
  }
  void vapour() {
    positive(kMuVap, "\nThe absolute viscosity of vapor must be strictly positive.\n");
    fail(!(r_[kMolar] >= 1.0), "\nThe effective molecular mass of vapor must be greater than 1.\n");
  }
  void airDensity() {
    positive(kAirDen,
             "\nThe air/gas density at atmospheric pressure 0 degC must be strictly positive.\n");
  }
  void twoPointTemperatures(bool type6) {
    fail(!(r_[kT1] >= -272.0), type6 ? "\nThe temperature T1 must be greater than -272.0 degC.\n"
                                     : "\nThe temperature must be greater than -272.0 degC.\n");
    fail(!(r_[kT2] >= -270.0), type6 ? "\nThe temperature T2 must be greater than -270.0 degC.\n"
                                     : "\nThe temperature must be greater than -270.0 degC.\n");
  }
  void twoPoints() {
    fail(!(r_[kT1] < r_[kT2]), "\nT2 must be greater than T1.\n");
    fail(!(r_[kNu1] >= 0.3), "\nThe kinematic viscosity at T1 must be greater than 0.3 cSt.\n");
    fail(!(r_[kNu2] >= 0.3), "\nThe kinematic viscosity at T2 must be greater than 0.3 cSt.\n");
  }
  void range(int value, int lo, int hi, const char *message) {
    fail(value < lo || value > hi, message);
  }

 private:
  const double *r_;
  const double lowest_ = -getatp_() * 1e-5;  // absolute zero, bar gauge
  int level_ = 0;
};

// The default vapour data of types 2 and 6 [Pa, Pa.s, -, kg/m3].
constexpr double kDefaultHigh = -90000.0, kDefaultLow = -95000.0;
constexpr double kDefaultMuVapour = 2e-5, kDefaultMolar = 200.0, kDefaultAirDensity = 1.2;

}  // namespace

extern "C" {

void fp04in_(int *instance, double *real_parameters, int *integer_parameters,
             char **text_parameters) {
  const int inst = *instance;
  double r[kRealCount];
  std::copy(real_parameters, real_parameters + kRealCount, r);
  const int type = integer_parameters[kType];
  const int fuel = integer_parameters[kFuel];
  const int file = integer_parameters[kFile];
  const int bulkType = integer_parameters[kBulkType];
  int index = integer_parameters[kIndex];

  Checks c(r);
  if (r[kAir] > 10.0)
    c.warn("\nThe air/gas content greater than 10 per cent is very high.\n");
  else if (r[kAir] == 0.0)
    c.warn("\nThe air/gas content equal to 0 per cent can cause numerical problems.\n");
  if (type == 5 && (r[kTemp] < -30.0 || r[kTemp] > 360.0)) {
    c.warn(
        "\nThe fuel properties are based on measurements in the temperature range -30 to "
        "360 degC.\n");
    kivfprintf(stderr,
               "\nThe specified temperature (%6.2f degC) is beyond the recommended values: the "
               "fluid properties will be at the extreme value.\n",
               r[kTemp]);
  }
  if (type == 6 || type == 7) {
    if (r[kCoef] < 0.7 || r[kCoef] > 0.8)
      c.warn(
          "\nAccording to the literature the coefficient for temperature viscosity "
          "characteristic should be set to 0.7 or 0.8.\n");
    if (r[kNu1] == r[kNu2]) c.warn("\nUsually nu2 is greater that nu1\n");
  }

  c.fail(!(r[kAir] >= 0.0 && r[kAir] < 100.0),
         "\nThe air/gas content must between 0 and 100 per cent.\n");
  c.temperature();

  // The vapour checks shared by types 3, 4 and 7.
  const auto tableChecks = [&] {
    c.airViscosity();
    c.saturation(kPsat);
    c.temperature();
    c.polytropic();
    c.vapourPressures(true);
    c.vapour();
    c.airDensity();
  };
  // Types 2 and 6 take the default high vapour pressure: a saturation
  // pressure at or below it leaves no band of free air.
  const auto defaultVapourBelowSaturation = [&] {
    if (!c.saturation(kPsat)) c.highBelowSaturation(kDefaultHigh / 1e5, 1);
  };
  switch (type) {
    case 1:
      c.density();
      c.bulk();
      c.viscosity();
      c.saturation(kPsatSimple);
      c.temperature();
      c.polytropic();
      break;
    case 2:
      c.density();
      c.bulk();
      c.viscosity();
      c.airViscosity();
      defaultVapourBelowSaturation();
      c.temperature();
      c.polytropic();
      break;
    case 3:
      c.density();
      c.bulk();
      c.slope();
      c.viscosity();
      tableChecks();
      break;
    case 4: tableChecks(); break;
    case 5:
      c.airViscosity();
      c.temperature();
      c.polytropic();
      c.vapourPressures(false);
      c.vapour();
      break;
    case 6:
      c.density();
      c.bulk();
      c.airViscosity();
      defaultVapourBelowSaturation();
      c.temperature();
      c.polytropic();
      c.twoPointTemperatures(true);
      c.twoPoints();
      break;
    case 7:
      c.density();
      c.bulk();
      c.slope();  // a falling bulk modulus makes the density law undefined at high pressure
      tableChecks();
      c.twoPointTemperatures(false);
      c.twoPoints();
      break;
    default: break;
  }

  // The two-point curve needs nu + c above 1 and an absolute temperature
  // above 0: refuse whatever does not give a viscosity.
  double nu = 0.0;
  if ((type == 6 || type == 7) && c.level() < 2) {
    nu = twoPointViscosity(r[kT1], r[kNu1], r[kT2], r[kNu2], r[kCoef], r[kTemp]);
    if (!(std::isfinite(nu) && nu > 0.0))
      c.fail(true, "\nThe absolute viscosity must be strictly positive.\n");
  }

  c.range(type, 1, 7, "\ntype of fluid properties must be in range [1..7].\n");
  c.range(fuel, 1, 12, "\nfuel type must be in range [1..12].\n");
  c.range(file, 1, 49, "\nfluid property file must be in range [1..49].\n");
  c.range(bulkType, 1, 2, "\nbulk modulus type must be in range [1..2].\n");
  c.range(index, 0, KIV_HYD_MAX_INDEX, "\nindex of hydraulic fluid must be in range [0..100].\n");

  if (c.level() >= 1) kivHandleSubmodelError("FP04", inst, c.level());

  for (const Conversion &k : kConversions) {
    real_parameters[k.pos] *= k.factor;
    r[k.pos] = real_parameters[k.pos];
  }

  double mu = r[kMu];
  if (type == 6 || type == 7) {
    mu = 1e-6 * nu * r[kRho];
    const bool six = type == 6;
    kivfprintf(stdout, "\n ___________________________________ \n");
    kivfprintf(stdout, "\nFP04 instance %d:\n", inst);
    kivfprintf(stdout,
               six ? "\nthe calculated kinematic viscosity at %g degC is set to %g [cSt].\n"
                   : "\nThe calculated kinematic viscosity at %g degC is %g [cSt].\n",
               r[kTemp], nu);
    kivfprintf(stdout,
               six ? "\nthe calculated absolute viscosity at %g degC is set to %g [cP].\n"
                   : "\nThe calculated absolute viscosity at %g degC is %g [cP].\n",
               r[kTemp], 1000.0 * mu);
    kivfprintf(stdout, "\n ___________________________________ \n");
  }

  double high = kDefaultHigh, low = kDefaultLow, muVapour = kDefaultMuVapour;
  double molar = kDefaultMolar, airDensity = kDefaultAirDensity;
  double slope = r[kSlope] / 100.0;
  double zero = 0.0;
  int fuelType = fuel;
  switch (type) {
    case 1:
      fpspind_(&index, &r[kRho], &r[kBulk], &mu, &r[kPsatSimple], &r[kAir], &r[kTemp], &r[kPoly],
               &zero);
      break;
    case 2:
    case 6:
      fpconbmu_(&index, &r[kRho], &r[kBulk], &mu, &r[kPsat], &r[kAir], &r[kTemp], &r[kPoly],
                &r[kMuAir], &high, &low, &muVapour, &molar, &airDensity);
      break;
    case 3:
    case 7:
      fpconbmu2_(&index, &r[kRho], &r[kBulk], &slope, &mu, &r[kPsat], &r[kAir], &r[kTemp],
                 &r[kPoly], &r[kMuAir], &r[kHigh], &r[kLow], &r[kMuVap], &r[kMolar], &r[kAirDen]);
      break;
    case 4: {
      std::string name;
      if (file == 1) {
        if (text_parameters && text_parameters[1]) name = text_parameters[1];
      } else {
        name = std::string("$KIV/libhydr/data/hyd_") + fileName(file) +
               (bulkType == 1 ? "_Bs.data" : "_Bt.data");
      }
      if (fptables_(&index, &r[kPsat], &r[kAir], &r[kTemp], &r[kPoly], name.c_str(), &r[kMuAir],
                    &r[kHigh], &r[kLow], &r[kMuVap], &r[kMolar], &r[kAirDen]) != 1)
        kivHandleSubmodelError("FP04", inst, 2);
      break;
    }
    case 5:
      fprprop_(&fuelType, &index, &r[kHigh], &r[kLow], &r[kMolar], &r[kMuAir], &r[kMuVap], &r[kAir],
               &r[kTemp], &r[kPoly]);
      break;
    default: break;
  }
  sethdind_(&index);
}

void fp04_(int * /*instance*/, double *volume, double *mass, double * /*real_parameters*/,
           int *integer_parameters) {
  int index = integer_parameters[kIndex];
  sethdind_(&index);
  hydrinit_volmass_(volume, mass, &index);
}

}  // extern "C"
