// Typed core of the analytic shapes and the vane-pump kinematics behind
// kiv_pumpgeom.h.
#pragma once

#include <vector>

#include "geometry/kernel.hpp"
#include "geometry/kiv_pumpgeom.h"

namespace kiv::geom {

struct Xy {
  double x, y;
};

// Fold into [-pi, pi] and into [0, 2 pi).
inline double foldPi(double a) { return fmod_mpp_(a, kTwoPi); }
inline double fold2Pi(double a) { return fmod_2p_(a, kTwoPi); }

// A new shape of one empty path, and that path.
struct Built {
  ShapePtr s;
  path *p;
};
inline Built newShape() {
  Built b{ShapePtr(create_shape()), create_path()};
  add_path(b.p, b.s.get());
  return b;
}

// s, or nullptr after a message naming the routine when a coordinate of s
// is not finite; noContour is that message alone.
ShapePtr finiteOrNull(const char *routine, ShapePtr s);
ShapePtr noContour(const char *routine);

// False, after a message naming the routine, when v is not finite or (for
// a length) not positive.
bool checkLength(const char *routine, const char *what, double v);
bool checkFinite(const char *routine, const char *what, double v);

Xy circleLineIntersect(double xc, double yc, double r, double theta, double b);
double circleLineSlope(double xc, double yc, double r, double theta, double b);

struct AngleOverlap {
  double lo = 0.0, hi = 0.0;
  int kind = 0;
};
AngleOverlap sortAngles(double a1, double a2, double b1, double b2);

ShapePtr analyticPort(double r1, double r2, double x1, double y1, double x2, double y2,
                      double theta1, double theta2, int mode);
// Folds the window in place; exact: the true sector of the window, else
// the polygon over its complement.
ShapePtr screen(double &theta1, double &theta2, double R, bool exact);
ShapePtr vpStator(double r, double xc, double yc);
ShapePtr vpRotor(double r);

struct Vane {
  ShapePtr s;
  double angle = 0.0, radius = 0.0;
};
Vane vpVane(double theta, double theta0, double e, double w, double rtip, double Rs, double L);

struct VaneContact {
  double beta, h, s, phi;
};

// Stator radius R, rotor radius r, tip radius rt and vane thickness w.
struct VaneDims {
  double w, rt, R, r;
};
// False, after one message naming the routine and the input, unless R, r,
// rt and w are finite and positive, the vane fits (w within 2 rt and 2 r, r
// below R), and the eccentricity (ex, ey), the n angles and the vane angles
// thl, tht of a table cut from shapes are finite.
bool checkShapeTable(const char *routine, const VaneDims &d, double ex, double ey, double thl,
                     double tht, const double *angles, int n);
VaneContact singleVane(double theta, double ex, double ey, double w, double rt, double R,
                       double r);

// ---- Operating mode and efficiencies (pump_efficiency.cpp) ---------------

struct PumpMode {
  int mode;       // direction sign
  double factor;  // 1.0 pump, -1.0 motor
};
PumpMode pumpMode(double a, double b, double c);
struct PumpEfficiency {
  double volumetric, mechanical;
};
PumpEfficiency pumpEfficiencies(double factor, double qActual, double qIdeal, double tActual,
                                double tIdeal);

// ---- Vane-pump helpers shared by kinematics, ports and forces ----------

// Area between rotor and eccentric stator swept from the eccentricity
// direction to theta; area of one side of a vane protruding by h.
double ringArea(double theta, double e, double R, double r);
double halfVaneArea(double w, double rt, double h);
// Rate of the tip centre's reach with the vane angle theta (from the
// eccentricity direction), d = R - rt; and the vane's share of the volume's
// rate per eccentricity (per unit width).
double tipReachRate(double theta, double e, double d);
double vaneSideRate(double theta, double beta, double e, double d, double w);

// Rounded to 0.001 (half away from zero), like the kernel's smallest kept
// area.
double roundMilli(double v);

// Limits (ex, ey) in place to length room and each component to
// [-room, room]; returns e and its direction te (0 for no eccentricity).
double limitEccentricity(double &ex, double &ey, double room, double &te);

// Vane axes a and b of the chamber of table entry `angle`: a chamber
// |tht - thl| wide led by a (thl < tht) or trailed by b, both in [-pi, pi].
struct ChamberAxes {
  double a, b;
};
inline ChamberAxes chamberAxes(double angle, double thl, double tht) {
  const double width = std::fabs(tht - thl);
  return thl < tht ? ChamberAxes{foldPi(angle), foldPi(angle + width)}
                   : ChamberAxes{foldPi(angle - width), foldPi(angle)};
}

// ---- Timing notch (vane_ports.cpp) ---------------------------------------

// A V-groove of length a, width b and depth c ending at radius Rn, inclined
// by delta.  States: 0 closed, 1 vane 2 in the notch span, 2 fully open
// between the vanes, 3 vane 1 in the span; any other counts as closed.
struct Notch {
  double Rn, delta, a;
  double lambda;  // angular length seen from the centre
  double sinKappa, T, F;
  bool open;      // all three dimensions positive
};
Notch notchShape(double Rn, double delta, double a, double b, double c);

struct Opening {
  double area = 0.0, perim = 0.0;
};
// Opening of the notch at angle tn between vane edges t1 and t2.  The
// state is chosen afresh while the discontinuity mode is 0, else kept;
// *crossed tells that a vane passed a notch edge since the state was chosen.
// fresh chooses the state whatever the mode.
Opening notchStep(const Notch &n, double t1, double t2, double tn, int &state, bool &crossed,
                  bool fresh = false);

// ---- Boolean shorthands over owned results -------------------------------

inline ShapePtr minus(const shape *a, const shape *b) { return ShapePtr(remove_shape_(a, b)); }
inline ShapePtr common(const shape *a, const shape *b) { return ShapePtr(intersection_shape_(a, b)); }

// The operation's result, or nullptr when its status is not KIV_BOOL_OK; its
// message is held back, as the caller answers a failure (a retry, another
// construction, or a message of its own).
using BooleanOp = shape *(*)(const shape *, const shape *, int *);
ShapePtr quietBoolean(BooleanOp op, const shape *a, const shape *b);

// ---- Gerotor (gerotor.cpp) -----------------------------------------------

// Ring of z circular lobes of radius rc on the circle a, root radius Ro,
// fillet X (0: none); the inner gear of z - 1 teeth turns about (-e, 0).
struct Gerotor {
  int z;
  double a, rc, e, Ro, X;
};

// Angle table over a turn: 720 entries k * 2 pi / 719.
inline constexpr int kTurnSamples = 720;
std::vector<double> turnTable();

// Contact point of the lobe whose centre lies at angle theta.
Xy gerotorContact(const Gerotor &g, double theta);
// Its polar angle in [0, 2 pi).
double contactAngle(const Gerotor &g, double theta);

ShapePtr gerotorOuterSampled(const Gerotor &g, double theta, double c1, double c2, double step,
                             double margin);
ShapePtr gerotorOuterExact(const Gerotor &g, double theta);
ShapePtr gerotorInner(const Gerotor &g, double theta0, double ta, double tb, double step,
                      double margin);

// The two gears bounding the chamber whose contact lobes sit at the shaft
// angle theta (folded) and one pitch later.
struct ChamberGears {
  double theta, c1, c2;
  ShapePtr outer, inner;
};
ChamberGears chamberGears(const Gerotor &g, double angle);
// How a design's chambers are built: cut from the sector between the
// contact rays (chamberGears), or closed by their contacts (contourChamber)
// with the inner gear sampled at the tooth parameters `knots`.
struct ChamberPlan {
  bool byContacts = false;
  std::vector<double> knots;
  const char *routine;  // named should a chamber come out unusable
};
ChamberPlan planChambers(const char *routine, const Gerotor &g);
// The chamber at the shaft angle theta (folded) as one closed contour that
// crosses nowhere: the ring between the two contacts with true arcs, and the
// inner gear back, left by a radial step from each lobe just off its
// contact; counter-clockwise.
ShapePtr contourChamber(const Gerotor &g, const ChamberPlan &plan, double theta);
// Chamber area (mm2) at the shaft angle by the plan's construction.
double chamberArea(const Gerotor &g, const ChamberPlan &plan, double angle);

// What a caller of the design check builds.  The mesh relies on both gears
// being sound, so it comes with them (kGerotorGears).
enum GerotorPart : unsigned {
  kGerotorRing = 1,       // z, a, rc, Ro, X
  kGerotorInner = 2,      // z, a, rc, e
  kGerotorMesh = 4,       // the two running together
  kGerotorEnclosure = 8,  // the chamber bound of the volume tables
};
inline constexpr unsigned kGerotorGears = kGerotorRing | kGerotorInner | kGerotorMesh;

// What a call may ask for: beyond these the walks would not end or the
// angles would be lost to rounding.  A lobe a degree is finer than the
// half-degree tables can follow.
inline constexpr int kMaxLobes = 360;
inline constexpr double kMaxAngle = 1e6;             // rad
inline constexpr double kMaxSpan = 2.0 * kTwoPi;     // ranges and margins
inline constexpr double kMinStep = 1e-4;             // rad, 0.0057 degree
inline constexpr int kMaxInnerVertices = 1000000;     // of one inner-gear walk
inline constexpr double kMinEccentricity = 2e-3;     // share of a, for chambers
// False after one message naming the routine: z outside 3 .. kMaxLobes; an
// angle not finite or beyond kMaxAngle; a span beyond two turns; a step not
// finite or below kMinStep; a table angle that is not finite (entry named).
bool lobesInReach(const char *routine, int z);
bool angleInReach(const char *routine, const char *what, double v);
bool spanInReach(const char *routine, const char *what, double v);
bool stepInReach(const char *routine, double step);
bool tableAnglesFinite(const char *routine, const double *angles, int n);

// False, after one message naming the routine, the condition and its values,
// when a parameter is not finite, z < 3, or the parts asked for cannot exist
// (kiv_gerotor.h lists the conditions).  Builds no geometry.
bool checkGerotor(const char *routine, const Gerotor &g, unsigned parts);

// Cyclic monotone cubic spline of values over the turn table: its id or -1.
int turnSpline(const double *values);

}  // namespace kiv::geom
