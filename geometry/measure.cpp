// Measures of contours: signed areas with exact arc sectors, perimeters and
// bounds in x/y and in polar coordinates.
#include <algorithm>
#include <cstdio>

#include "geometry/kernel.hpp"

namespace kiv::geom {
namespace {

constexpr double kSqrt2 = 1.41421356237309504880;

// Half the angle that the arc of centre c spans up to a half circle:
// asin(l / 2r) for its chord l.
double halfAngle(const point *c, double l) {
  const double r = c->radius;
  const double q = r > 0.0 ? l / (2.0 * r) : 0.0;
  if (q <= 0.7) return std::asin(q);
  // Near a half circle the chord hardly tells the angle apart (it may even
  // round to the diameter); the distance from the centre to the chord's
  // middle does, and is the same angle.
  const double h = distance(c->x, c->y, (c->previous->x + c->next->x) / 2.0, (c->previous->y + c->next->y) / 2.0);
  return kPi / 2.0 - std::asin(std::min(h / r, 1.0));
}

// Signed area between the legs of the arc of centre c and the arc itself.
double sectorArea(const point *c) {
  const point *s = c->previous, *e = c->next;
  const double r = c->radius;
  const double cr = cross(s->x - c->x, s->y - c->y, e->x - c->x, e->y - c->y);
  const double l = distance(s, e);
  // Rounding leaves the legs' cross product of a half circle, or of a tiny
  // chord, a few ulps of r^2 (and of the coordinates) away from zero: its
  // sign means nothing there.
  const double flat = std::max(1e-12, 1e-12 * r * r + 1e-15 * r * (std::fabs(c->x) + std::fabs(c->y)));
  if (std::fabs(cr) < flat && l > kSqrt2 * r) {
    // Centre on the chord: a half circle, whose side only the direction says.
    if (c->direction == KIV_CW) return -kPi * r * r / 2.0;
    if (c->direction == KIV_CCW) return kPi * r * r / 2.0;
    return 0.0;
  }
  const double alpha = 2.0 * halfAngle(c, l);
  double sign = (cr > 0.0) - (cr < 0.0);
  if (std::fabs(cr) < flat) {
    // A tiny chord: the legs are almost parallel and their cross product
    // carries no reliable sign; the direction does.
    if (c->direction == KIV_CCW)
      sign = c->arc == KIV_ARC_MAJOR ? -1.0 : 1.0;
    else if (c->direction == KIV_CW)
      sign = c->arc == KIV_ARC_MAJOR ? 1.0 : -1.0;
  }
  if (c->arc == KIV_ARC_MINOR) return sign * alpha * r * r / 2.0;
  if (c->arc == KIV_ARC_MAJOR) return -sign * (kTwoPi - alpha) * r * r / 2.0;
  return 0.0;
}

double arcLength(const point *c) {
  const double l = distance(c->previous, c->next);
  const double r = c->radius;
  if (c->arc == KIV_ARC_MINOR) return l < 1e-10 ? l : 2.0 * r * halfAngle(c, l);
  // A major arc on a vanishing chord is nearly the whole circle.
  if (c->arc == KIV_ARC_MAJOR) return r > 0.0 ? 2.0 * r * (kPi - halfAngle(c, l)) : 0.0;
  return 0.0;
}

double pathPerimeter(const path *p) {
  double sum = 0.0;
  forEachNode(p, [&sum](point *n) {
    sum += distance(n, n->next);
    if (isCentre(n)) sum += arcLength(n) - distance(n->previous, n) - distance(n, n->next);
    return false;
  });
  return sum;
}

int emptyBounds(double *a, double *b, double *c, double *d) {
  kivfprintf(stderr, "Current shape is empty, cannot find relevant bounds.\n");
  for (double *v : {a, b, c, d})
    if (v) *v = 0.0;
  return -1;
}

}  // namespace
}  // namespace kiv::geom

using namespace kiv::geom;

extern "C" {

double area2D_path_(const path *p) {
  if (!p || !p->first) return 0.0;
  // Shoelace about the first node's abscissa: the same sum, without the
  // cancellation of large coordinates.
  const double x0 = p->first->x;
  double twice = 0.0, sectors = 0.0;
  forEachNode(p, [&](point *n) {
    twice += (n->x - x0) * (n->next->y - n->previous->y);
    if (isCentre(n)) sectors += sectorArea(n);
    return false;
  });
  return twice / 2.0 + sectors;
}

double area2D_(const shape *s) {
  double a = 0.0;
  for (int i = 0; s && s->paths && i < s->npaths; ++i) a += area2D_path_(s->paths[i]);
  return a;
}

double perimeter2D_(const shape *s) {
  double sum = 0.0;
  for (int i = 0; s && s->paths && i < s->npaths; ++i) sum += pathPerimeter(s->paths[i]);
  return sum;
}

int find_bounds_trbl_(const shape *s, double *top, double *right, double *bottom, double *left) {
  if (!s || !s->paths || s->npaths < 1) return emptyBounds(top, right, bottom, left);
  double t = -1e30, r = -1e30, b = 1e30, l = 1e30;
  for (int i = 0; i < s->npaths; ++i) {
    forEachNode(s->paths[i], [&](point *n) {
      if (!isCentre(n)) {
        t = std::max(t, n->y);
        r = std::max(r, n->x);
        b = std::min(b, n->y);
        l = std::min(l, n->x);
        return false;
      }
      const double rad = n->radius;
      const auto onArc = [n](double x, double y) {
        const double q[2] = {x, y};
        return ispoint_inside_arc(q, n, 1e-12) == 6;
      };
      if (onArc(n->x, n->y + rad)) t = std::max(t, n->y + rad);
      if (onArc(n->x + rad, n->y)) r = std::max(r, n->x + rad);
      if (onArc(n->x, n->y - rad)) b = std::min(b, n->y - rad);
      if (onArc(n->x - rad, n->y)) l = std::min(l, n->x - rad);
      return false;
    });
  }
  if (top) *top = t;
  if (right) *right = r;
  if (bottom) *bottom = b;
  if (left) *left = l;
  return 0;
}

int find_bounds_rtheta_(const shape *s, double *rmin, double *rmax, double *thmin,
                        double *thmax) {
  if (!s || !s->paths || s->npaths < 1) return emptyBounds(rmin, rmax, thmin, thmax);
  double T, R, B, L;
  find_bounds_trbl_(s, &T, &R, &B, &L);
  int mode = 0;
  if (B <= 0.0 && 0.0 <= T && L < 0.0 && 0.0 <= R)
    mode = 2;  // around the origin: angles unwrapped along the ring
  else if (B <= 0.0 && 0.0 <= T && R < 0.0)
    mode = 1;  // across the negative x axis: angles measured from it

  const path *p = s->paths[0];
  for (int i = 1; i < s->npaths; ++i)
    if (area2D_path_(s->paths[i]) > area2D_path_(p)) p = s->paths[i];

  double r0 = 1e30, r1 = 0.0, t0 = 1e30, t1 = -1e30;
  double previous = 0.0;
  int turns = 0;
  bool started = false;
  forEachNode(p, [&](point *n) {
    if (isCentre(n)) return false;
    const double rho = std::sqrt(n->x * n->x + n->y * n->y);
    r0 = std::min(r0, rho);
    r1 = std::max(r1, rho);
    const double raw = std::atan2(n->y, mode == 1 ? -n->x : n->x);
    if (mode == 2 && started) {
      if (raw - previous < -kPi) ++turns;
      if (raw - previous > kPi) --turns;
    }
    const double th = raw + turns * kTwoPi;
    t0 = std::min(t0, th);
    t1 = std::max(t1, th);
    previous = raw;
    started = true;
    return false;
  });
  if (mode == 1) {
    const double lo = kPi - t1, hi = kPi - t0;
    t0 = lo;
    t1 = hi;
  }
  if (rmin) *rmin = r0;
  if (rmax) *rmax = r1;
  if (thmin) *thmin = t0;
  if (thmax) *thmax = t1;
  return 0;
}

}  // extern "C"
