// Shapes given by a few numbers: circles of either orientation, angular
// windows, annular port sectors and vanes; and the line-circle helpers the
// pump geometries share.
#include <algorithm>

#include "geometry/pumpgeom.hpp"

namespace kiv::geom {

bool checkFinite(const char *routine, const char *what, double v) {
  if (std::isfinite(v)) return true;
  kivfprintf(stderr, "\n%s: the %s is not a finite number.\n", routine, what);
  return false;
}

bool checkLength(const char *routine, const char *what, double v) {
  if (std::isfinite(v) && v > 0.0) return true;
  kivfprintf(stderr, "\n%s: the %s must be finite and positive.\n", routine, what);
  return false;
}

ShapePtr noContour(const char *routine) {
  kivfprintf(stderr, "\n%s: the dimensions give no contour.\n", routine);
  return nullptr;
}

ShapePtr finiteOrNull(const char *routine, ShapePtr s) {
  bool finite = true;
  if (s)
    for (int i = 0; i < s->npaths; ++i)
      forEachNode(s->paths[i], [&](point *n) { return !(finite = std::isfinite(n->x) && std::isfinite(n->y)); });
  return finite ? std::move(s) : noContour(routine);
}

namespace {

// Circles are turned by 0.12345 degrees so that no vertex sits exactly on
// the vertical through the centre.
constexpr double kOffAxis = 0.002154608961587;

constexpr double kSteep = 1e-12;

// Circle of radius r about (xc, yc) through its top and bottom: two
// half-circle arcs in the given direction.
Built circle(double r, double xc, double yc, int direction) {
  Built b = newShape();
  point *top = add_last_xy_(b.p, xc, yc + r);
  point *bottom = add_last_xy_(b.p, xc, yc - r);
  insertarc_(top, bottom, r, KIV_ARC_MINOR, direction);
  insertarc_(bottom, top, r, KIV_ARC_MINOR, direction);
  return b;
}

// Counter-clockwise span from one angle to another, taking one turn off
// a negative difference.
double ccwSpan(double from, double to) { return to - from < 0.0 ? to - from + kTwoPi : to - from; }

// Appends n + 1 >= 4 vertices, about one a degree, on the circle (xc, yc, r)
// from angle a by the signed span delta.
void sampleArc(path *p, double xc, double yc, double r, double a, double delta) {
  const int n = std::max(static_cast<int>(std::floor(std::fabs(delta) / (kPi / 180.0))), 3);
  for (int i = 0; i <= n; ++i) {
    const double t = a + i * delta / n;
    add_last_xy_(p, xc + r * std::cos(t), yc + r * std::sin(t));
  }
}

}  // namespace

Xy circleLineIntersect(double xc, double yc, double r, double theta, double b) {
  theta = foldPi(theta);
  const double c = std::cos(theta), s = std::sin(theta);
  if (xc == 0.0 && yc == 0.0) return {r * c, r * s};
  if (std::fabs(s) > kSteep && std::fabs(c) > kSteep) {
    const double k = s / c, q2 = 1.0 + k * k, q1 = 2.0 * ((b - yc) * k - xc);
    const double q0 = xc * xc + yc * yc - r * r - 2.0 * yc * b + b * b;
    const double root = std::sqrt(std::max(q1 * q1 - 4.0 * q2 * q0, 0.0));
    const double x = (-q1 + (c >= 0.0 ? root : -root)) / (2.0 * q2);
    return {x, k * x + b};
  }
  // Axis-parallel lines that miss the circle also give the foot of the
  // perpendicular rather than a NaN.
  if (std::fabs(s) <= kSteep) {
    const double half = std::sqrt(std::max(r * r - (b - yc) * (b - yc), 0.0));
    return {c > 0.0 ? xc + half : xc - half, b};
  }
  const double half = std::sqrt(std::max(r * r - xc * xc, 0.0));
  return {0.0, s > 0.0 ? yc + half : yc - half};
}

double circleLineSlope(double xc, double yc, double r, double theta, double b) {
  const Xy p = circleLineIntersect(xc, yc, r, theta, b);
  const double dx = p.x - xc, dy = p.y - yc;
  return dx == 0.0 && dy == 0.0 ? 0.0 : std::atan2(dy, dx);
}

AngleOverlap sortAngles(double a1, double a2, double b1, double b2) {
  a1 = fold2Pi(a1);
  a2 = fold2Pi(a2);
  b1 = fold2Pi(b1);
  b2 = fold2Pi(b2);
  if (a1 > a2) a2 += kTwoPi;
  if (b1 > b2) b2 += kTwoPi;
  const double lenA = a2 - a1, d = b1 - a1, endB = d + (b2 - b1);
  if (d < 0.0) {
    if (endB >= 0.0) return lenA <= endB ? AngleOverlap{a1, a2, 2} : AngleOverlap{a1, b2, 1};
    // B ends before A starts: A one turn back may still reach into B.
    const double a2back = a2 - kTwoPi;
    if (a2back > b2) return {b1, b2, 3};
    if (b1 < a2back) return {b1, a2back, 4};
    return {};
  }
  if (lenA > d) return lenA > endB ? AngleOverlap{b1, b2, 3} : AngleOverlap{b1, a2, 4};
  const double b2back = b2 - kTwoPi;
  if (a1 > b2back) return {};
  return b2back < a2 ? AngleOverlap{a1, b2back, 1} : AngleOverlap{a1, a2, 2};
}

ShapePtr analyticPort(double r1, double r2, double x1, double y1, double x2, double y2,
                      double theta1, double theta2, int mode) {
  const char *me = "create_analyticport_";
  if (!checkLength(me, "first radius", r1) || !checkLength(me, "second radius", r2)) return nullptr;
  for (double v : {x1, y1, x2, y2, theta1, theta2})
    if (!checkFinite(me, "centre or angle", v)) return nullptr;
  if (mode != 0 && mode != 1) {
    kivfprintf(stderr, "\n%s: mode %d is neither 0 nor 1.\n", me, mode);
    return nullptr;
  }
  // More than a turn would wind the outline over itself.
  if (const double raw = ccwSpan(theta1, theta2); !(raw >= 0.0 && raw <= kTwoPi)) {
    kivfprintf(stderr, "\n%s: the angles are more than a turn apart.\n", me);
    return nullptr;
  }
  // In the frame turned by -phi the centres lie on the x axis.
  const double d = distance(x1, y1, x2, y2);
  double phi = std::atan2(y2 - y1, x2 - x1);
  const bool flipped = x2 >= x1;
  if (flipped) phi += kPi;
  const double twoSeen = flipped ? -d : d;  // centre 2 from centre 1
  // Polar angle about the far centre (at xo, radius rad) of the point where
  // the ray from the near centre at theta meets its circle.
  auto seen = [phi](double xo, double rad, double theta) {
    return circleLineSlope(xo, 0.0, rad, theta - phi, 0.0) + phi;
  };
  const double a1 = mode == 1 ? theta1 : seen(twoSeen, r2, theta1);
  const double a2 = mode == 1 ? theta2 : seen(twoSeen, r2, theta2);
  const double c1 = mode == 0 ? theta1 : seen(-twoSeen, r1, theta1);
  const double c2 = mode == 0 ? theta2 : seen(-twoSeen, r1, theta2);
  // Centres far enough out overflow the squares of the frame: the arcs
  // would have no angles to be sampled by.
  for (double v : {a1, a2, c1, c2})
    if (!std::isfinite(v)) return noContour(me);
  Built b = newShape();
  sampleArc(b.p, x2, y2, r2, a1, ccwSpan(a1, a2));
  sampleArc(b.p, x1, y1, r1, c2, -ccwSpan(c1, c2));
  return finiteOrNull(me, std::move(b.s));
}

ShapePtr screen(double &theta1, double &theta2, double R, bool exact) {
  const char *me = exact ? "create_screen2_" : "create_screen_";
  if (!checkLength(me, "radius", R) || !checkFinite(me, "first angle", theta1) ||
      !checkFinite(me, "second angle", theta2))
    return nullptr;
  theta1 = foldPi(theta1);
  theta2 = foldPi(theta2);
  if (theta1 > theta2) theta2 += kTwoPi;
  if (theta1 > theta2) return nullptr;
  Built b = newShape();
  add_last_xy_(b.p, 0.0, 0.0);
  const double window = theta2 - theta1;
  if (exact) {
    point *from = add_last_Rtheta_(b.p, R, theta1);
    point *to = add_last_Rtheta_(b.p, R, theta2);
    insertarc_(from, to, R, window > kPi ? KIV_ARC_MAJOR : KIV_ARC_MINOR, KIV_CCW);
  } else {
    for (int i = 0; i <= 5; ++i) add_last_Rtheta_(b.p, R, theta2 + i * (kTwoPi - window) / 5.0);
  }
  return std::move(b.s);
}

ShapePtr vpStator(double r, double xc, double yc) {
  if (!checkLength("create_vp_stator_", "radius", r) ||
      !checkFinite("create_vp_stator_", "centre", xc) || !checkFinite("create_vp_stator_", "centre", yc))
    return nullptr;
  Built b = circle(r, xc, yc, KIV_CW);
  b.p->orientation = KIV_ORIENT_CW;
  rotate2D_(b.s.get(), xc, yc, -kOffAxis);
  return std::move(b.s);
}

ShapePtr vpRotor(double r) {
  if (!checkLength("create_vp_rotor_", "radius", r)) return nullptr;
  Built b = circle(r, 0.0, 0.0, KIV_CCW);
  rotate2D_(b.s.get(), 0.0, 0.0, kOffAxis);
  return std::move(b.s);
}

Vane vpVane(double theta, double theta0, double e, double w, double rtip, double Rs, double L) {
  const char *me = "create_vp_vane_";
  if (!checkLength(me, "thickness", w) || !checkLength(me, "tip radius", rtip) ||
      !checkLength(me, "stator radius", Rs) || !checkLength(me, "length", L) ||
      !checkFinite(me, "angle", theta) || !checkFinite(me, "angle", theta0) ||
      !checkFinite(me, "eccentricity", e))
    return {};
  if (2.0 * rtip < w) {
    kivfprintf(stderr, "\n%s: the tip radius is less than half the thickness.\n", me);
    return {};
  }
  const double hw = w / 2.0, tipHeight = std::sqrt(rtip * rtip - hw * hw);
  const double reach = L + rtip - tipHeight;
  // With the tip's reach in the rotor's place the protrusion is the base's
  // distance from the origin.
  const VaneContact c = singleVane(theta - theta0, e, 0.0, w, rtip, Rs, reach);
  Vane v{newShape().s, foldPi(c.phi + theta0), c.h};
  path *p = v.s->paths[0];
  add_last_xy_(p, 0.0, -hw);
  point *tipFrom = add_last_xy_(p, L, -hw);
  point *tipTo = add_last_xy_(p, L, hw);
  insertarc_(tipFrom, tipTo, rtip, KIV_ARC_MINOR, KIV_CCW);
  add_last_xy_(p, 0.0, hw);
  rotate2D_(v.s.get(), 0.0, 0.0, theta);
  translate2D_(v.s.get(), v.radius * std::cos(theta), v.radius * std::sin(theta));
  return v;
}

}  // namespace kiv::geom

using namespace kiv::geom;

extern "C" {

void circle_line_intersect_(const double *xc, const double *yc, const double *r,
                            const double *theta, const double *b, double *x, double *y) {
  const Xy p = circleLineIntersect(*xc, *yc, *r, *theta, *b);
  *x = p.x;
  *y = p.y;
}

double circle_line_correctedslope_(const double *xc, const double *yc, const double *r,
                                   const double *theta, const double *b) {
  return circleLineSlope(*xc, *yc, *r, *theta, *b);
}

void vp_sort_angles_(const double *a1, const double *a2, const double *b1, const double *b2,
                     double *lo, double *hi, int *kind) {
  const AngleOverlap o = sortAngles(*a1, *a2, *b1, *b2);
  *lo = o.lo;
  *hi = o.hi;
  *kind = o.kind;
}

shape *create_analyticport_(const double *r1, const double *r2, const double *x1,
                            const double *y1, const double *x2, const double *y2,
                            const double *theta1, const double *theta2, const int *mode) {
  return analyticPort(*r1, *r2, *x1, *y1, *x2, *y2, *theta1, *theta2, *mode).release();
}

shape *create_screen_(double *theta1, double *theta2, const double *R) {
  return screen(*theta1, *theta2, *R, false).release();
}

shape *create_screen2_(double *theta1, double *theta2, const double *R) {
  return screen(*theta1, *theta2, *R, true).release();
}

shape *create_vp_stator_(const double *r, const double *xc, const double *yc) {
  return vpStator(*r, *xc, *yc).release();
}

shape *create_vp_rotor_(const double *r) { return vpRotor(*r).release(); }

shape *create_vp_vane_(const double *theta, const double *theta0, const double *e,
                       const double *w, const double *rtip, const double *Rs, const double *L,
                       double *angle, double *radius) {
  Vane v = vpVane(*theta, *theta0, *e, *w, *rtip, *Rs, *L);
  if (v.s) {
    *angle = v.angle;
    *radius = v.radius;
  }
  return v.s.release();
}

}  // extern "C"
