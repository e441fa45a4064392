// Typed core of the analytic shapes and the vane-pump kinematics behind
// kiv_pumpgeom.h.
#pragma once

#include "geometry/kernel.hpp"
#include "geometry/kiv_pumpgeom.h"

namespace kiv::geom {

struct Xy {
  double x, y;
};

// Fold into [-pi, pi] and into [0, 2 pi).
inline double foldPi(double a) { return fmod_mpp_(a, kTwoPi); }
inline double fold2Pi(double a) { return fmod_2p_(a, kTwoPi); }

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
VaneContact singleVane(double theta, double ex, double ey, double w, double rt, double R,
                       double r);

}  // namespace kiv::geom
