// The parameters of the HCDEGP0 submodel: 55 reals and 8 integers.
#pragma once

#include <span>

#include "gearpump/paramtable.hpp"
#include "gearpump/records.hpp"

namespace kiv::egp {

inline constexpr int kRealCount = 55;
inline constexpr int kIntCount = 8;

// Positions used by name in the set-up.
enum : int {
  kInitialPressure = 0,
  kThickness = 5,
  kDrivenX = 12,
  kDrivenY = 13,
  kModule = 14,
  kAlpha = 15,
  kHa = 16,
  kCtip = 17,
  kFillet = 18,
  kShift1 = 19,
  kShift2 = 20,
  kOutDistance = 23,
  kOutWidth = 24,
  kInlDistance = 25,
  kInlWidth = 26,
  kOutStartDriving = 27,
  kGrooveStartDriving = 31,
  kGrooveEndDriving = 32,
  kGrooveStartDriven = 33,
  kGrooveEndDriven = 34,
  kGrooveWidth = 35,
  kDrainage = 41,
  kDrainageDriving = 46,
  kDrainageDriven = 51,
};
enum : int {
  kFluid = 0,
  kTeeth = 1,
  kGearDef = 2,
  kOutletDef = 3,
  kInletDef = 4,
  kGroove = 5,
  kLeakMode = 6,
  kIdentical = 7
};

// Where the set-up tests a row's range.
enum Stage : int {
  kNoCheck,
  kRackCoefficients,
  kGearFiles,
  kThicknessCheck,
  kGrooveCheck,
  kPorts,
  kPressure,
  kClearances,
  kLeakage
};
// Conditions of the rows.
enum : param::Mask {
  kWhenInletAnalytic = 1u << 0,
  kWhenOutletAnalytic = 1u << 1,
  kWhenDetails = 1u << 2,  // leakage mode 2
  kWhenCommon = 1u << 3,   // identical gears 1
  kWhenPerGear = 1u << 4,  // identical gears 2
};
// The active conditions of an integer parameter set.
param::Mask hcdegp0_active(const int *ints);

std::span<const SetupField<egp_params>> hcdegp0_reals();
// Lower bounds tested once a row of hcdegp0_reals() has passed its own
// rule, in the same stage; a value below one is refused like any other.
std::span<const SetupParam> hcdegp0_lower_bounds();
std::span<const param::IntRow<egp_params>> hcdegp0_ints();

// The submodel's set-up (see hcdegp0in_): returns only when the instance
// is ready; every failure ends the run through KivExit(1).
void hcdegp0_setup(int instance, double *reals, int *ints, char **text, double *store, void **slot,
                   double *pout, double *pinl, double *pr, double *pn);

}  // namespace kiv::egp
