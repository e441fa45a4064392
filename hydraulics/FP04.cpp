// The fluid-properties submodel: parameter checks, conversion to SI and the
// definition of its fluid at set-up; selection of the fluid and clearing of
// its volume and mass totals at every evaluation.
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>

#include "hydraulics/hydindex.hpp"
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

using kiv::SetupParam;
using Rule = SetupParam::Rule;
using Shows = SetupParam::Shows;

// Absolute zero as a gauge pressure [bar], the bound of every pressure.
const double kLowestBar = -getatp_() * 1e-5;

const char *const kSaturationMessage =
    "\nThe saturation pressure must be strictly greater than %g bar.\n";

// The real parameters, by check: a position is converted once (a second
// entry of it carries factor 1).
enum Param : int {
  pRho, pBulk, pSlope, pMu, pMuAir, pPsat, pAir, pTemp, pT1, pT1Plain, pNu1, pT2, pT2Plain,
  pNu2, pCoef, pPoly, pHigh, pLow, pMuVap, pMolar, pAirDen, pPsatSimple, kParamCount
};
const SetupParam kParams[kParamCount] = {
    {kRho, "density", 1.0, Rule::Positive, 0.0, "\nThe density must be strictly positive.\n"},
    {kBulk, "bulk modulus", 1e5, Rule::Positive, 0.0,
     "\nThe bulk modulus must be strictly positive.\n"},
    {kSlope, "slope of bulk modulus", 1.0, Rule::AtLeast, 0.0,
     "\nThe slope of bulk modulus must be positive.\n"},
    {kMu, "absolute viscosity", 0.001, Rule::Positive, 0.0,
     "\nThe absolute viscosity must be strictly positive.\n"},
    {kMuAir, "absolute viscosity of air/gas", 0.001, Rule::Positive, 0.0,
     "\nThe absolute viscosity of air/gas must be strictly positive.\n"},
    {kPsat, "saturation pressure", 1e5, Rule::Above, kLowestBar, kSaturationMessage},
    {kAir, "air/gas content", 1.0, Rule::Any, 0.0, ""},
    {kTemp, "temperature", 1.0, Rule::AtLeast, -273.15,
     "\nThe temperature must be greater than -273.15 degC.\n"},
    {kT1, "temperature T1", 1.0, Rule::AtLeast, -272.0,
     "\nThe temperature T1 must be greater than -272.0 degC.\n"},
    {kT1, "temperature T1", 1.0, Rule::AtLeast, -272.0,
     "\nThe temperature must be greater than -272.0 degC.\n"},
    {kNu1, "kinematic viscosity at T1", 1e-6, Rule::AtLeast, 0.3,
     "\nThe kinematic viscosity at T1 must be greater than 0.3 cSt.\n"},
    {kT2, "temperature T2", 1.0, Rule::AtLeast, -270.0,
     "\nThe temperature T2 must be greater than -270.0 degC.\n"},
    {kT2, "temperature T2", 1.0, Rule::AtLeast, -270.0,
     "\nThe temperature must be greater than -270.0 degC.\n"},
    {kNu2, "kinematic viscosity at T2", 1e-6, Rule::AtLeast, 0.3,
     "\nThe kinematic viscosity at T2 must be greater than 0.3 cSt.\n"},
    {kCoef, "coefficient of the viscosity curve", 1.0, Rule::Any, 0.0, ""},
    {kPoly, "polytropic index", 1.0, Rule::AtLeast, 0.0,
     "\nThe polytropic index for air/gas/vapor content must be positive.\n"},
    {kHigh, "high saturation pressure", 1e5, Rule::Above, kLowestBar,
     "\nIllegal value of high saturation pressure.\nValue is %g.\n", Shows::Value},
    {kLow, "low saturation pressure", 1e5, Rule::Above, kLowestBar,
     "\nIllegal value of low saturation pressure.\nValue is %g.\n", Shows::Value},
    {kMuVap, "absolute viscosity of vapour", 0.001, Rule::Positive, 0.0,
     "\nThe absolute viscosity of vapor must be strictly positive.\n"},
    {kMolar, "molecular mass of vapour", 1.0, Rule::AtLeast, 1.0,
     "\nThe effective molecular mass of vapor must be greater than 1.\n"},
    {kAirDen, "air/gas density", 1.0, Rule::Positive, 0.0,
     "\nThe air/gas density at atmospheric pressure 0 degC must be strictly positive.\n"},
    {kPsatSimple, "saturation pressure of the simple model", 1e5, Rule::Above, kLowestBar,
     kSaturationMessage},
};

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

// The checks of FP04 beyond single parameters, on top of the table's.
class Checks : public kiv::SetupChecks {
 public:
  explicit Checks(const double *r) : SetupChecks(r), r_(r) {}

  bool param(Param p) { return check(kParams[p]); }
  void params(std::initializer_list<Param> ps) {
    for (Param p : ps) param(p);
  }
  // High and low vapour pressures, each above absolute zero, the high one
  // below the saturation pressure when asked, the low one below the high.
  void vapourPressures(bool againstSaturation) {
    params({pHigh, pLow});
    if (againstSaturation) highBelowSaturation(r_[kHigh], 2);
    if (!(r_[kLow] < r_[kHigh])) {
      kivfprintf(stderr,
                 "\nIllegal values of saturation pressures.\n"
                 "Low value (%g) must be less than high value (%g).\n",
                 r_[kLow], r_[kHigh]);
      raise(2);
    }
  }
  void highBelowSaturation(double high, int level) {
    if (!(high >= r_[kPsat])) return;  // a NaN was reported by its own check
    kivfprintf(stderr,
               "\nIllegal value of high saturated vapor pressure.\n"
               "High saturated vapor pressure (%g) must be less than saturation pressure (%g).\n",
               high, r_[kPsat]);
    raise(level);
  }
  void twoPoints(bool type6) {
    params({type6 ? pT1 : pT1Plain, type6 ? pT2 : pT2Plain});
    fail(!(r_[kT1] < r_[kT2]), "\nT2 must be greater than T1.\n");
    params({pNu1, pNu2});
  }
  void range(int value, int lo, int hi, const char *message) {
    fail(value < lo || value > hi, message);
  }

 private:
  const double *r_;
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
  c.param(pTemp);

  // The vapour checks shared by types 3, 4 and 7.
  const auto tableChecks = [&] {
    c.params({pMuAir, pPsat, pTemp, pPoly});
    c.vapourPressures(true);
    c.params({pMuVap, pMolar, pAirDen});
  };
  // Types 2 and 6 take the default high vapour pressure: a saturation
  // pressure at or below it leaves no band of free air.
  const auto defaultVapourBelowSaturation = [&] {
    if (c.param(pPsat)) c.highBelowSaturation(kDefaultHigh / 1e5, 1);
  };
  switch (type) {
    case 1: c.params({pRho, pBulk, pMu, pPsatSimple, pTemp, pPoly}); break;
    case 2:
      c.params({pRho, pBulk, pMu, pMuAir});
      defaultVapourBelowSaturation();
      c.params({pTemp, pPoly});
      break;
    case 3:
      c.params({pRho, pBulk, pSlope, pMu});
      tableChecks();
      break;
    case 4: tableChecks(); break;
    case 5:
      c.params({pMuAir, pTemp, pPoly});
      c.vapourPressures(false);
      c.params({pMuVap, pMolar});
      break;
    case 6:
      c.params({pRho, pBulk, pMuAir});
      defaultVapourBelowSaturation();
      c.params({pTemp, pPoly});
      c.twoPoints(true);
      break;
    case 7:
      // A falling bulk modulus makes the density law undefined at high pressure.
      c.params({pRho, pBulk, pSlope});
      tableChecks();
      c.twoPoints(false);
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

  kiv::convertToSI(kParams, real_parameters);
  std::copy(real_parameters, real_parameters + kRealCount, r);

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

  switch (type) {
    case 1:
      kiv::hyd::defineSimple(index, {r[kRho], r[kBulk], mu, r[kPsatSimple], r[kAir], r[kTemp],
                                     r[kPoly], 0.0});
      break;
    case 2:
    case 6:
      kiv::hyd::defineConstant(index, r[kRho], r[kBulk], 0.0, mu,
                               {r[kPsat], r[kAir], r[kTemp], r[kPoly], r[kMuAir], kDefaultHigh,
                                kDefaultLow, kDefaultMuVapour, kDefaultMolar,
                                kDefaultAirDensity});
      break;
    case 3:
    case 7:
      kiv::hyd::defineConstant(index, r[kRho], r[kBulk], r[kSlope] / 100.0, mu,
                               {r[kPsat], r[kAir], r[kTemp], r[kPoly], r[kMuAir], r[kHigh],
                                r[kLow], r[kMuVap], r[kMolar], r[kAirDen]});
      break;
    case 4: {
      std::string name;
      if (file == 1) {
        if (text_parameters && text_parameters[1]) name = text_parameters[1];
      } else {
        name = std::string("$KIV/libhydr/data/hyd_") + fileName(file) +
               (bulkType == 1 ? "_Bs.data" : "_Bt.data");
      }
      if (!kiv::hyd::defineFromFile(index, name.c_str(),
                                    {r[kPsat], r[kAir], r[kTemp], r[kPoly], r[kMuAir], r[kHigh],
                                     r[kLow], r[kMuVap], r[kMolar], r[kAirDen]}))
        kivHandleSubmodelError("FP04", inst, 2);
      break;
    }
    case 5:
      kiv::hyd::defineFuel(index, {fuel, r[kHigh], r[kLow], r[kMolar], r[kMuAir], r[kMuVap],
                                   r[kAir], r[kTemp], r[kPoly]});
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
