// What the property families below the current fluid share: the pressure
// constants, the smooth steps between bands, and their few cross calls.
#pragma once

#include <bit>
#include <cstdint>

#include "hydraulics/hydindex.hpp"

inline constexpr double kPatm = 101300.0;  // Pa
inline constexpr double kPabsFloor = 1e-10;  // Pa, absolute

// Which family serves a fluid: per fluid index, and for the index-0 drop
// fluid as a whole.  Process-wide like the current fluid.
struct HydFamilySwitches {
  int gSimplestProp[kHydIndexCount] = {};
  int gFuelProp[kHydIndexCount] = {};
  int gSimplestProperties = 0;
  int gFuelProperties = 0;
  // Set while the library samples a law for itself (QuietSampling).
  int quiet_sampling = 0;
};

extern HydFamilySwitches familySwitches;

namespace kiv::hyd {

inline HydFamilySwitches &switches() { return familySwitches; }

// Equal to the bit, so that -0 is not +0 and a NaN may equal itself: what a
// remembered result may be reused for.
inline bool sameBits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// Falling smooth steps from 1 at s = 0 to 0 at s = 1, flat at both ends:
// (1 - s)^5 (1 + c1 s + c2 s^2 + c3 s^3 + c4 s^4), and their slopes.
struct SmoothStep {
  double c1, c2, c3, c4;
  double operator()(double s) const {
    const double u = 1.0 - s, u2 = u * u;
    return u2 * u2 * u * (1.0 + s * (c1 + s * (c2 + s * (c3 + s * c4))));
  }
  double slope(double s) const {
    const double u = 1.0 - s, u2 = u * u, u4 = u2 * u2;
    return u4 * u * (c1 + s * (2.0 * c2 + s * (3.0 * c3 + s * 4.0 * c4))) -
           5.0 * u4 * (1.0 + s * (c1 + s * (c2 + s * (c3 + s * c4))));
  }
};
inline constexpr SmoothStep s9{5.0, 15.0, 35.0, 70.0};
inline constexpr SmoothStep s8{4.0, 10.0, 20.0, 35.0};

// The range warnings of every family are for pressures a caller asked for.
// While the library samples a law at pressures of its own choosing (the
// inverse's tables), none is printed and none is marked as given, so the
// caller's own excursion is still warned of.  Restores what it found.
class QuietSampling {
 public:
  QuietSampling() : before_(switches().quiet_sampling) { switches().quiet_sampling = 1; }
  ~QuietSampling() { switches().quiet_sampling = before_; }
  QuietSampling(const QuietSampling &) = delete;
  QuietSampling &operator=(const QuietSampling &) = delete;

 private:
  int before_;
};
inline bool samplingQuietly() { return switches().quiet_sampling != 0; }

}  // namespace kiv::hyd

// The held record of the index-0 drop fluid (ends the run when there is none).
const HydFluidRecord *fpdropRecord();
