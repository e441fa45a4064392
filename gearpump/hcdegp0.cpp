// The HCDEGP0 submodel: parameter checks and gear and port shapes at
// set-up, unit conversion around the library's calculation at every
// evaluation, release at the end.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "gearpump/hcdegp0_table.hpp"
#include "gearpump/kiv_gearpump.h"
#include "gearpump/tables.hpp"
#include "gearpump/versions.hpp"
#include "geometry/kiv_shapeid.h"
#include "hydraulics/kiv_hydraulics.h"
#include "runtime/datastore.hpp"

namespace kiv::egp {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr const char *kName = "HCDEGP0";
constexpr int kMaxTeeth = 100;
constexpr int kPrecision = 3;  // 4 samples per degree

int fail(const char *message) {
  kivfprintf(stderr, "%s", message);
  return 2;
}

// The name in text parameter k, or null after a message naming the
// parameter: a file that was never named cannot be read.
const char *fileName(char **text, int k) {
  static constexpr const char *kTitles[4] = {"driving gear file", "driven gear file",
                                             "outlet port file", "inlet port file"};
  const char *name = text ? text[k] : nullptr;
  if (!name) kivfprintf(stderr, "\nThe name of the %s must be given.\n", kTitles[k]);
  return name;
}

// What the checks learn of the two gears, in millimetres.
struct Gears {
  double ra1 = 0, ra2 = 0;  // tip radii
  double rf1 = 0, rf2 = 0;  // root radii (rack)
  double a = 0;             // centre distance (rack)
  double x2 = 0, y2 = 0;    // driven centre
  bool radii = false;       // the tip radii are known
  int id1 = -1, id2 = -1;   // gear shapes read from files

  // The extent of the pair along its line of centres, the bound of every
  // length inside the pump; 0 while it is not known.
  double size() const {
    const double s = std::hypot(x2, y2) + ra1 + ra2;
    return radii && std::isfinite(s) ? s : 0.0;
  }
};

// The state of one set-up's checks: the parameters, what has been refused
// so far and what the gears turned out to be.
struct Checks {
  const double *r;
  const int *i;
  char **text;
  SetupChecks reals;
  bool rack;
  bool teeth_ok;  // the tooth count lies in its range: it may be used
  Gears g;

  Checks(const double *r_, const int *i_, char **text_)
      : r(r_),
        i(i_),
        text(text_),
        reals(r_, hcdegp0_active(i_)),
        rack(i_[kGearDef] == 1),
        teeth_ok(param::int_in_range(hcdegp0_ints(), i_, kTeeth)) {}

  // Every value that is not a finite number, whatever its conditions.
  int finite() {
    int st = 0;
    for (const SetupParam &p : hcdegp0_reals())
      if (!reals.finite(p)) st = 2;
    return st;
  }
  int stage(int s) {
    return reals.stage(hcdegp0_reals(), s) | reals.stage(hcdegp0_lower_bounds(), s);
  }
  bool refused(int pos) const { return reals.refused(pos); }
  template <class... P>
  bool any_refused(P... pos) const {
    return (refused(pos) || ...);
  }
};

// Angle checks of rack-cut gears (degrees, coefficients as given).  A check
// that reads a refused value is skipped: its message would be about the
// refused value, not about its own.
int checkRack(Checks &c) {
  const double *r = c.r;
  const int z = c.i[kTeeth];
  int st = 0;
  if (z < 3) st |= fail("\nThe number of teeth must be higher than 3.\n");
  st |= c.stage(kRackCoefficients);
  const double deg = r[kAlpha], ha = r[kHa], ctip = r[kCtip], x1 = r[kShift1], x2 = r[kShift2];
  if (!(deg > 0 && deg < 90)) {
    if (c.refused(kAlpha)) return 2;
    return st | fail("\nThe pressure angle must be in the range ]0; 90[ degrees.\n");
  }
  const double alpha = deg * kPi / 180, t = std::tan(alpha);
  const double bound = (alpha - t) / (2 * t) * (2.0 * z);
  if (c.teeth_ok && !c.any_refused(kShift1, kShift2) && x1 + x2 < bound) {
    kivfprintf(stderr,
               "\nThe sum of the profile shift coefficients (%.3f)             "
               "   must be greater "
               "than %.3f.\n",
               x1 + x2, bound);
    st = 2;
  }
  if (!c.any_refused(kShift1, kHa) && x1 > 2 * ha) {
    kivfprintf(stderr,
               "\nThe profile shift coefficient of the driving gear (%.3f)     "
               "           must be "
               "lower than %.3f.\n",
               x1, 2 * ha);
    st = 2;
  }
  if (!c.any_refused(kShift2, kHa) && x2 > 2 * ha) {
    kivfprintf(stderr,
               "\nThe profile shift coefficient of the driven gear (%.3f)      "
               "          must be "
               "lower than %.3f.\n",
               x2, 2 * ha);
    st = 2;
  }
  if (c.any_refused(kHa, kCtip)) return 2;
  if (ha + ctip > kPi / (4 * t)) {
    kivfprintf(stderr,
               "\nThe sum of the parameters addendum coefficient and           "
               "     clearance "
               "coefficient (ha + ctip = %.3f) must be lower than %.3f.\n",
               ha + ctip, kPi / (4 * t));
    return 2;
  }
  const double fmax = (kPi / 4 - t * (ha + ctip)) / std::tan(kPi / 4 - alpha / 2);
  if (!c.refused(kFillet) && r[kFillet] > fmax) {
    kivfprintf(stderr,
               "\nThe fillet radius of cutting tool coefficient (%.3f) must be "
               "lower than %.3f.\n",
               r[kFillet], fmax);
    st = 2;
  }
  return st;
}

// One gear file: reads it, checks its tooth count (when the count given
// may be compared with) and its centre (when the centre given may be).
int checkGearFile(const char *file, int z, bool driving, bool centre_ok, double xc, double yc,
                  int &id, int &teeth, double &rmax) {
  id = -1;
  if (!file) return 2;  // named as missing already
  id = kiv::geom::shapeFromDataFile(file, 1);
  if (id < 0) return 2;  // the reader said why
  double x = 0, y = 0, rmin = 0;
  teeth = 0;
  kiv::geom::checkGearId(id, &teeth, &x, &y, &rmin, &rmax);
  int st = 0;
  if (z > 0 && teeth != z) {
    kivfprintf(stderr, "\nThe number of teeth on the %s gear, computed from %s, is %d.\n",
               driving ? "driving" : "driven", file, teeth);
    kivfprintf(stderr, "\nThe number of teeth of both gears (%d) must be %d.\n", z, teeth);
    st = 2;
  }
  if (centre_ok && (std::fabs(x - xc) > 0.1 || std::fabs(y - yc) > 0.1)) {
    if (driving) {
      kivfprintf(stderr,
                 "\nThe estimated coordinates for the driving gear center are "
                 "(%.3f; %.3f) "
                 "(computed from %s).\n",
                 x, y, file);
      kivfprintf(stderr, "\nThe coordinates of the driving gear center must be (0; 0).\n");
    } else {
      kivfprintf(stderr,
                 "\nThe estimated coordinates for the driven gear center "
                 "(%.3f; %.3f) (computed "
                 "from %s) are not consistent\nwith the input center of "
                 "rotation: (%.1f; "
                 "%.1f).\n",
                 x, y, file, xc, yc);
    }
    st = 2;
  }
  return st;
}

int checkFiles(Checks &c) {
  Gears &g = c.g;
  int st = c.stage(kGearFiles);
  const bool centre_ok = !c.any_refused(kDrivenX, kDrivenY);
  const int z = c.teeth_ok ? c.i[kTeeth] : 0;
  int t1 = 0, t2 = 0;
  g.x2 = c.r[kDrivenX];
  g.y2 = c.r[kDrivenY];
  st |= checkGearFile(fileName(c.text, 0), z, true, true, 0, 0, g.id1, t1, g.ra1);
  st |= checkGearFile(fileName(c.text, 1), z, false, centre_ok, g.x2, g.y2, g.id2, t2, g.ra2);
  if (g.id1 >= 0 && g.id2 >= 0) {
    g.radii = centre_ok;
    if (t1 != t2) st |= fail("\nThe gears must have the same number of teeth.\n");
  }
  return st;
}

int checkShiftCorrection(const double *r, int z, Gears &g) {
  egp_pair_radii pr;
  const double alpha = r[kAlpha] * kPi / 180, m = r[kModule];
  if (egp_shift_correction(z, z, m, alpha, r[kHa], r[kCtip], r[kShift1], r[kShift2], pr) != 0)
    return fail(
        "\nImpossible to compute the working pressure angle.           "
        "                       "
        "Please check the parameters.\n");
  g.ra1 = pr.ra1, g.ra2 = pr.ra2, g.rf1 = pr.rf1, g.rf2 = pr.rf2, g.a = pr.a;
  g.x2 = -pr.a, g.y2 = 0;
  g.radii = true;
  const double rb = z * (m / 2) * std::cos(alpha);
  int st = 0;
  if (g.rf1 <= 0 || g.ra1 <= rb)
    st |= fail(
        "\nImpossible to generate the driving gear.                     "
        "                Please "
        "check the parameters.\n");
  if (g.rf2 <= 0 || g.ra2 <= rb)
    st |= fail(
        "\nImpossible to generate the driven gear.                      "
        "               Please "
        "check the parameters.\n");
  return st;
}

double polar(double y, double x) {
  const double a = std::atan2(y, x) * 180 / kPi;
  return a < 0 ? a + 360 : a;
}

// The port angles against the crossings of the two tip circles.
int checkPortAngles(const Checks &c) {
  const double *r = c.r;
  const Gears &g = c.g;
  const double d = std::hypot(g.x2, g.y2);
  // Two circles that only touch have no crossing to bound the ports with.
  const double h = (g.ra1 * g.ra1 - g.ra2 * g.ra2 + d * d) / (2 * d);
  const double s2 = g.ra1 * g.ra1 - h * h;
  if (g.ra1 + g.ra2 < d || d < std::max(g.ra1, g.ra2) || !(s2 > 0)) {
    if (c.rack)
      return fail(
          "\nThe generated gears are not consistent with each other (gears are intersecting "
          "or cannot mesh properly). Please check the parameters.\n");
    fail(
        "\nThe data files for gears are not consistent with each              "
        "           other "
        "(gears are intersecting or cannot mesh properly).\n");
    return fail("\nPlease check the data files.\n");
  }
  // Frame with the driving centre at the origin and the driven one at (-d, 0).
  const double s = std::sqrt(s2);
  const double A1 = polar(s, -h), A3 = polar(-s, -h), A2 = polar(s, d - h), A4 = polar(-s, d - h);
  // Each angle lies between a fixed limit and its crossing; the limit end
  // is closed, the crossing end open.
  struct Limit {
    double fixed, crossing;
    bool fixed_below;     // the range runs from the fixed limit up
    const char *message;  // prints the crossing
  } const limits[4] = {{45, A1, true,
                        "\nThe outlet start angle of driving gear must be in "
                        "the range [45.0; %.1f] degrees.\n"},
                       {135, A2, false,
                        "\nThe outlet start angle of driven gear must be in "
                        "the range [%.1f; 135.0] degrees.\n"},
                       {315, A3, false,
                        "\nThe inlet end angle of driving gear must be in the "
                        "range [%.1f; 315.0] degrees.\n"},
                       {225, A4, true,
                        "\nThe inlet end angle of driven gear must be in the "
                        "range [225.0; %.1f] degrees.\n"}};
  int st = 0;
  for (int k = 0; k < 4; ++k) {
    const Limit &l = limits[k];
    if (c.refused(kOutStartDriving + k)) continue;
    const double v = std::fmod(r[kOutStartDriving + k], 360.0);
    const bool ok = l.fixed_below ? v >= l.fixed && v < l.crossing : v > l.crossing && v <= l.fixed;
    if (!ok) {
      kivfprintf(stderr, l.message, l.crossing);
      st = 2;
    }
  }
  return st;
}

int checkGroove(Checks &c) {
  static constexpr const char *kRange[4] = {
      "\nThe groove start angle of driving gear must be in the range [0; 360] "
      "degrees.\n",
      "\nThe groove end angle of driving gear must be in the range [0; 360] "
      "degrees.\n",
      "\nThe groove start angle of driven gear must be in the range [0; 360] "
      "degrees.\n",
      "\nThe groove end angle of driven gear must be in the range [0; 360] "
      "degrees.\n"};
  const double *r = c.r;
  const Gears &g = c.g;
  int st = 0;
  for (int k = 0; k < 4; ++k) {
    const double v = r[kGrooveStartDriving + k];
    if (!c.refused(kGrooveStartDriving + k) && !(v >= 0 && v <= 360)) st |= fail(kRange[k]);
  }
  if (!c.any_refused(kGrooveStartDriving, kGrooveEndDriving) &&
      std::fmod(r[kGrooveEndDriving] - r[kGrooveStartDriving], 360.0) >= 0)
    st |= fail(
        "\nFor the driving gear, the groove end angle must be strictly "
        "lower than the groove "
        "start angle.\n");
  if (!c.any_refused(kGrooveStartDriven, kGrooveEndDriven) &&
      std::fmod(r[kGrooveEndDriven] - r[kGrooveStartDriven], 360.0) <= 0)
    st |= fail(
        "\nFor the driven gear, the groove end angle must be strictly "
        "greater than the groove "
        "start angle.\n");
  st |= c.stage(kGrooveCheck);
  if (g.radii && !c.refused(kGrooveWidth) && std::min(g.ra1, g.ra2) <= r[kGrooveWidth]) {
    kivfprintf(stderr,
               "\nThe groove width must be strictly lower than the minimum of "
               "both external "
               "radiuses of gears (= %.3f mm).\n",
               std::min(g.ra1, g.ra2));
    st = 2;
  }
  return st;
}

// A whole gear, or one tooth of it, from the rack parameters (mm, deg).
int rackGear(const double *r, int z, const Gears &g, bool driving, int nteeth, int mode,
             int &sharp) {
  sharp = 0;
  return egp_create_gear_id(z, r[kModule], r[kAlpha] * kPi / 180, r[kHa], r[kCtip], r[kFillet],
                            driving ? r[kShift1] : r[kShift2], driving ? g.ra1 : g.ra2,
                            driving ? g.rf1 : g.rf2, nteeth, mode, sharp);
}

const char *kNotGenerated[2] = {
    "\nThe geometry of the driven gear cannot be "
    "generated. Please check the parameters.\n",
    "\nThe geometry of the driving gear cannot be "
    "generated. Please check the parameters.\n"};

int checkTrialTeeth(const double *r, int z, const Gears &g) {
  int st = 0;
  for (const bool driving : {true, false}) {
    int sharp = 0;
    int id = rackGear(r, z, g, driving, 1, driving ? 1 : 2, sharp);
    if (id < 0) {
      st |= fail(kNotGenerated[driving]);
    } else if (sharp == 2) {
      kiv::geom::deleteShape(id);
      st |= fail(driving ? "\nThe driving gear has sharp teeth. It is not allowed.\n"
                         : "\nThe driven gear has sharp teeth. It is not allowed.\n");
    }
  }
  return st;
}

// Steps that need the gears' radii and a positive thickness.  Rack-cut
// gears are made from the tooth count: without a count in its range there
// are no radii and nothing sound to compare with.
int checkGeometry(Checks &c) {
  const int z = c.i[kTeeth];
  Gears &g = c.g;
  const int made = c.rack && c.teeth_ok ? checkShiftCorrection(c.r, z, g) : 0;
  int st = made;
  if (g.radii) st |= checkPortAngles(c);
  if (c.i[kGroove] == 1) st |= checkGroove(c);
  // Gears that cannot be generated have no tooth to try.
  if (c.rack && g.radii && made == 0) st |= checkTrialTeeth(c.r, z, g);
  return st;
}

int checkAll(Checks &c) {
  const double *r = c.r;
  int st = c.finite();
  int fluid = c.i[kFluid];
  // An index out of its range is reported with the other ranges.
  if (param::int_in_range(hcdegp0_ints(), c.i, kFluid)) hyd_valid_liquid_(&fluid, &st);
  st |= c.rack ? checkRack(c) : checkFiles(c);
  st |= c.stage(kThicknessCheck);
  if (!c.refused(kThickness) && st == 0) st |= checkGeometry(c);
  c.reals.setSize(c.g.size());
  st |= c.stage(kPorts);
  st |= c.stage(kPressure);
  const double pmin = -getatp_() / 1e5;
  if (!c.refused(kInitialPressure) && r[kInitialPressure] < pmin) {
    kivfprintf(stderr, "\nThe initial pressure (%g bar) must be higher than %g bar.\n",
               r[kInitialPressure], pmin);
    st = 2;
  }
  st |= c.stage(kClearances);
  st |= c.stage(kLeakage);
  st |= param::check_ints(hcdegp0_ints(), c.i);
  return st;
}

[[noreturn]] void fatal(int instance) {
  kivHandleSubmodelError(kName, instance, 2);
  KivExit(1);  // not reached: level 2 ends the run
}

// The whole gears in the build frame (mm): driving about the origin with a
// tooth axis on +y, driven about (-a, 0) meshing with it.
void buildGears(const double *mm, int z, bool rack, Gears &g, int instance) {
  if (!rack) return;  // the files read for the checks serve as they stand
  for (const bool driving : {true, false}) {
    int sharp = 0;
    int &id = driving ? g.id1 : g.id2;
    id = rackGear(mm, z, g, driving, z, driving ? 2 : 1, sharp);
    if (id < 0) {
      fail(kNotGenerated[driving]);
      fatal(instance);
    }
  }
  const double driven = kPi / 2 + (z % 2 == 0 ? kPi / z : 0);
  kiv::geom::rotateId(g.id1, 0.0, 0.0, kPi / 2);
  kiv::geom::rotateId(g.id2, 0.0, 0.0, driven);
  kiv::geom::translateId(g.id2, -g.a, 0.0);
}

// One port: -1 for none, else its shape id (-1 when it cannot be made).
int buildPort(const double *mm, int definition, char **text, bool outlet, const Gears &g,
              bool &failed) {
  if (definition == 1) return -1;
  int id = -1;
  if (definition == 2) {
    const double dist = mm[outlet ? kOutDistance : kInlDistance];
    const double length = 1.05 * std::max(g.ra1, g.ra2) - dist;
    id = egp_create_analyticport_id(0, 0, g.x2, g.y2, dist, 0, mm[outlet ? kOutWidth : kInlWidth],
                                    length, outlet ? 1 : -1);
    if (id < 0)
      kivfprintf(stderr,
                 "\nThe %s port distance to center axis must be strictly lower "
                 "than %.3f [mm].\n",
                 outlet ? "outlet" : "inlet", 1.05 * std::max(g.ra1, g.ra2));
  } else if (const char *file = fileName(text, outlet ? 2 : 3)) {
    id = kiv::geom::shapeFromDataFile(file, 1);
  }
  if (id < 0) failed = true;
  return id;
}

double innerRadius(int id) {
  int teeth = 0;
  double xc = 0, yc = 0, rmin = 0, rmax = 0;
  kiv::geom::checkGearId(id, &teeth, &xc, &yc, &rmin, &rmax);
  return rmin;
}

void reportBuild(int rc, const double *mm, const Gears &g, bool rack) {
  static constexpr const char *kDrainMessages[4] = {
      "\nThe drainage radius (%.3f [mm]) must be strictly smaller than the "
      "calculated driving "
      "gear inner radius (%.3f [mm]).\n",
      "\nThe drainage radius (%.3f [mm]) must be strictly smaller than the "
      "calculated driven "
      "gear inner radius (%.3f [mm]).\n",
      "\nThe drainage radius of the driving gear (%.3f [mm]) must be strictly "
      "smaller than the "
      "calculated driving gear inner radius (%.3f [mm]).\n",
      "\nThe drainage radius of the driven gear (%.3f [mm]) must be strictly "
      "smaller than the "
      "calculated driven gear inner radius (%.3f [mm]).\n"};
  static constexpr int kDrainPos[4] = {kDrainage, kDrainage, kDrainageDriving, kDrainageDriven};
  switch (rc) {
    case 2:
      fail(rack ? "\nGears are intersecting. Please check the parameters.\n"
                : "\nGears are intersecting. Please check the data files for gears.\n");
      break;
    case 3:
      fail(
          "\nDriving gear top teeth angle could not be correctly computed. "
          "Leakages mode should "
          "be set to 'details'.\n");
      break;
    case 4:
      fail(
          "\nDriven gear top teeth angle could not be correctly computed. "
          "Leakages mode should "
          "be set to 'details'.\n");
      break;
    case 5:
    case 6:
    case 7:
    case 8: {
      const int k = rc - 5;
      kivfprintf(stderr, kDrainMessages[k], mm[kDrainPos[k]],
                 innerRadius(k % 2 == 0 ? g.id1 : g.id2));
      break;
    }
    default:
      fail(
          "\nImpossible to build the internal mesh. Please check the "
          "parameters.\n");
  }
}

// A pump whose chamber or cavity has no volume at some angle would divide
// by it at every evaluation there.
bool volumesPositive(const egp_params &par, egp_instance &inst) {
  static constexpr const char *kStates[4] = {"cavities of the driving gear",
                                             "cavities of the driven gear", "outlet chamber",
                                             "inlet chamber"};
  int which = 0;
  const double step = egp_step_of_ppd(kPrecisionSamples[kPrecision]);  // the build's own samples
  const double least = egp_smallest_volume(par, inst, step, &which);
  if (least > 0) return true;
  kivfprintf(stderr, "\nThe smallest volume of the %s (%.3f [mm3]) must be strictly positive.\n",
             kStates[which], least * 1e9);
  return false;
}

}  // namespace

void hcdegp0_setup(int instance, double *r, int *i, char **text, double *store, void **slot,
                   double *pout, double *pinl, double *pr, double *pn) {
  Checks c(r, i, text);
  if (checkAll(c) != 0) fatal(instance);
  Gears &g = c.g;
  std::array<double, kRealCount> mm;
  std::copy_n(r, kRealCount, mm.begin());
  convertToSI(hcdegp0_reals(), r);

  const int z = i[kTeeth];
  buildGears(mm.data(), z, c.rack, g, instance);
  bool failed = false;
  const int out = buildPort(mm.data(), i[kOutletDef], text, true, g, failed);
  const int inl = buildPort(mm.data(), i[kInletDef], text, false, g, failed);
  if (failed) fatal(instance);

  egp_params par{};
  egp_param_setup(par, r, i);
  const int rc =
      hcd_egp_init_default(4, par, store, slot, kPrecision,
                           {0, 0, g.x2, g.y2, g.id1, g.id2, out, inl}, pout, pinl, pr, pn);
  if (rc == 0 && volumesPositive(par, *egp_instance_of(slot))) return;
  if (rc != 0) reportBuild(rc, mm.data(), g, c.rack);
  // The run ends here: nothing of this set-up may outlive it.
  egp_instance_release(slot);
  fatal(instance);
}

// Instances evaluated without a set-up that were told so in this run: an
// entry of the system's data store per instance number, there as a mark.
constexpr char kNotSetUp[] = "HCDEGP0 not set up";

void forgetNotSetUp(int, int instance) { kiv::eraseData(nullptr, kNotSetUp, instance); }

// An evaluation before the set-up is out of contract: there are no SI
// parameters and no tables to compute with.  Said once per instance and
// run; the outputs are left as they were.
void reportNotSetUp(const int *instance) {
  const int n = instance ? *instance : 0;
  if (kiv::findData(nullptr, kNotSetUp, n)) return;
  kiv::storeData(nullptr, kNotSetUp, n, nullptr);
  KivInstallAtEnd(&forgetNotSetUp, n);
  kivfprintf(stderr,
             "\n%s instance %d is evaluated before its set-up: its outputs are left as they "
             "were.\n",
             kName, n);
}

// Conversion factors of the submodel's boundary.
inline constexpr double kBar = 100000.0, kRpm = 0.10471975511966, kDeg = 0.0174532925199433,
                        kLpm = 1.66666666666667e-5, kMm3 = 1e-9, kMm2 = 1e-6;

}  // namespace kiv::egp

using namespace kiv::egp;

void hcdegp0in_(int *instance, double *real_parameters, int *integer_parameters,
                char **text_parameters, double *real_store, void **pointer_store, double *,
                double *pout, double *pinl, double *pr, double *pn) {
  hcdegp0_setup(*instance, real_parameters, integer_parameters, text_parameters, real_store,
                pointer_store, pout, pinl, pr, pn);
}

void hcdegp0_(int *instance, double *q1, double *p1, double *q2, double *p2, double *torque,
              double *speed, double *angler, double *dangler, double *anglen, double *pout,
              double *dpout, double *pinl, double *dpinl, double *pr, double *dpr, double *pn,
              double *dpn,
              double *qleakteethr, double *qleakteethn, double *qleakdrainr, double *qleakdrainn,
              double *qleakmeshzone, double *qoutradr, double *qoutradn, double *qinlradr,
              double *qinlradn, double *qoutortr, double *qoutortn, double *qinlortr,
              double *qinlortn, double *qoutgrvr, double *qoutgrvn, double *qsibl, double *qnext,
              double *volr, double *voln, double *areaoutradr, double *areaoutradn,
              double *areaoutortr, double *areaoutortn, double *areainlradr, double *areainlradn,
              double *areainlortr, double *areainlortn, double *areaload, double *areafree,
              double *areaoutgrvr, double *areaoutgrvn, double *, double *, double *fxr,
              double *fyr, double *fxn, double *fyn, double *real_parameters,
              int *integer_parameters, char **, double *real_store, void **pointer_store) {
  if (!egp_instance_of(pointer_store)) {
    reportNotSetUp(instance);
    return;
  }
  const int z = integer_parameters[kTeeth];
  if (z < 1 || z > kMaxTeeth) return;  // the set-up refuses such a pump
  // SI copies of the inputs: the caller's values stay as they were.
  std::array<double, kMaxTeeth> pr_si, pn_si;
  for (int k = 0; k < z; ++k) pr_si[k] = pr[k] * kBar, pn_si[k] = pn[k] * kBar;
  const egp_calc_in in = egp_inputs(*p1 * kBar, *p2 * kBar, *pinl * kBar, *pout * kBar,
                                    *speed * kRpm, *angler * kDeg, pr_si.data(), pn_si.data());
  KIV_EGP_CALC_ARRAYS;
  egp_calc_out o{.dpr = dpr, .dpn = dpn, .fxr = fxr, .fyr = fyr, .fxn = fxn, .fyn = fyn};
  egp_wire_outputs(o, flows, areas);
  if (hcd_egp_calc_packed(real_parameters, integer_parameters, real_store, pointer_store, in, o))
    return;
  *q1 = o.q1 / kLpm, *q2 = o.q2 / kLpm, *torque = o.torque;
  *dpout = o.dpout / kBar, *dpinl = o.dpinl / kBar;
  *dangler = o.dtheta / kDeg, *anglen = o.theta_n / kDeg;
  *qleakmeshzone /= kLpm;
  for (double *a : {dpr, dpn})
    for (int k = 0; k < z; ++k) a[k] /= kBar;
  for (int f = 0; f < 19; ++f) {
    if (f == 4) continue;  // the one meshing-zone flow, done above
    const double unit = f < 17 ? kLpm : kMm3;
    for (int k = 0; k < z; ++k) flows[f][k] /= unit;
  }
  for (double *a : areas)
    for (int k = 0; k < z; ++k) a[k] /= kMm2;
}

void hcdegp0end_(int *, double *, int *, char **, double *, void **pointer_store) {
  egp_instance_release(pointer_store);
}
