// Where a point lies: against a segment or an arc (the codes of the
// crossing-number test), in the angular range of an arc, on an arc, and
// inside a path or a shape.
#include <algorithm>
#include <cfloat>

#include "geometry/kernel.hpp"

namespace kiv::geom {
namespace {

enum { kOff = 0, kOn = 1, kDownLeft = 2, kDownRight = 3, kUpLeft = 4, kUpRight = 5 };

// Adds the crossing code of one edge to a winding count.
void wind(int code, int &count) {
  if (code == kUpLeft) ++count;
  if (code == kDownRight) --count;
}

int segmentCode(const double *p, const point *a, const point *b, double tol) {
  const double pa[2] = {a->x, a->y}, pb[2] = {b->x, b->y};
  return ispoint_left_to_seg(p, pa, pb, tol);
}

// Angle travelled along the arc of centre c from its start to (x, y), in
// [0, 2 pi).
double travel(const point *c, double x, double y) {
  const point *s = c->previous;
  const double a0 = std::atan2(s->y - c->y, s->x - c->x), a1 = std::atan2(y - c->y, x - c->x);
  return fmod_2p_(c->direction == KIV_CW ? a0 - a1 : a1 - a0, kTwoPi);
}

// Crossing code of the arc of c for a point that its chord does not settle.
// The arc is replaced by the polyline through its crossings with the
// horizontal and the vertical line through p, in arc order: between two of
// them the arc stays in one quadrant around p, and so does the chord, so
// the polyline meets the ray from p exactly where the arc does.
int polylineCode(const double *p, const point *c, double tol) {
  struct Cut {
    double x, y, along;
  };
  Cut cuts[4];
  int n = 0;
  const double r = c->radius;
  const auto consider = [&](double x, double y) {
    const double q[2] = {x, y};
    if (ispoint_inside_arc(q, c, tol) != 6) return;
    // The ends are vertices of the polyline already.
    if (distance(x, y, c->previous->x, c->previous->y) <= tol ||
        distance(x, y, c->next->x, c->next->y) <= tol)
      return;
    for (int i = 0; i < n; ++i)
      if (distance(x, y, cuts[i].x, cuts[i].y) <= tol) return;
    // Kept in arc order as they come (at most four).
    const Cut cut{x, y, travel(c, x, y)};
    int i = n++;
    for (; i > 0 && cuts[i - 1].along > cut.along; --i) cuts[i] = cuts[i - 1];
    cuts[i] = cut;
  };
  const double dy = p[1] - c->y, dx = p[0] - c->x;
  if (const double h2 = r * r - dy * dy; h2 >= 0.0) {
    const double h = std::sqrt(h2);
    consider(c->x + h, p[1]);
    consider(c->x - h, p[1]);
  }
  // The arc keeps off the line through p when it does not meet it and both
  // its ends lie on one side: no crossing.
  const double ys = c->previous->y - p[1], ye = c->next->y - p[1];
  if (n == 0 && ((ys > 0.0 && ye > 0.0) || (ys < 0.0 && ye < 0.0))) return kOff;
  if (const double v2 = r * r - dx * dx; v2 >= 0.0) {
    const double v = std::sqrt(v2);
    consider(p[0], c->y + v);
    consider(p[0], c->y - v);
  }

  int count = 0;
  double ax = c->previous->x, ay = c->previous->y;
  for (int i = 0; i <= n; ++i) {
    const double bx = i < n ? cuts[i].x : c->next->x, by = i < n ? cuts[i].y : c->next->y;
    const double a[2] = {ax, ay}, b[2] = {bx, by};
    const int code = ispoint_left_to_seg(p, a, b, tol);
    if (code == kOn) return kOn;
    wind(code, count);
    ax = bx;
    ay = by;
  }
  return count > 0 ? kUpLeft : count < 0 ? kDownRight : kOff;
}

// Winding count of a ring around p; `on` tells that p lies on an edge.
int windingOf(const double *p, const path *q, double tol, bool &on) {
  int count = 0;
  on = forEachEdge(q, [&](point *x) {
    const int code = isCentre(x) ? ispoint_left_to_arc(p, x, tol) : segmentCode(p, x, x->next, tol);
    if (code == kOn) return true;
    wind(code, count);
    return false;
  });
  return count;
}

// Adds x to the expansion e[0..n) (non-overlapping parts by increasing
// magnitude) without rounding.
void grow(double *e, int &n, double x) {
  int m = 0;
  for (int i = 0; i < n; ++i) {
    const double s = x + e[i], bv = s - x, err = (x - (s - bv)) + (e[i] - bv);
    if (err != 0.0) e[m++] = err;
    x = s;
  }
  e[m++] = x;
  n = m;
}

// The turn as the sum of the six products of its expanded determinant, each
// split into its rounded value and the rest; rarely needed, out of line.
[[gnu::noinline]] std::optional<int> exactTurn(double ax, double ay, double bx, double by, double cx, double cy) {
  const double f[6][2] = {{ax, by}, {-ax, cy}, {-cx, by}, {-ay, bx}, {ay, cx}, {cy, bx}};
  double e[12];
  int n = 0;
  for (const auto &p : f) {
    const double hi = p[0] * p[1];
    if (p[0] != 0.0 && p[1] != 0.0 && !(std::fabs(hi) >= 0x1p-900 && std::fabs(hi) <= 0x1p1000)) return std::nullopt;
    grow(e, n, std::fma(p[0], p[1], -hi));
    grow(e, n, hi);
  }
  while (n > 0 && e[n - 1] == 0.0) --n;
  return n == 0 ? 0 : e[n - 1] > 0 ? 1 : -1;
}

}  // namespace

std::optional<int> turnSign(double ax, double ay, double bx, double by, double cx, double cy) {
  const double l = (ax - cx) * (by - cy), r = (ay - cy) * (bx - cx), d = l - r;
  // The error bound of the rounded determinant, and a floor against
  // products lost to underflow; within it the exact sum decides.
  constexpr double eps = DBL_EPSILON / 2;
  const double bound = std::max((3.0 + 16.0 * eps) * eps * (std::fabs(l) + std::fabs(r)), 1e-280);
  if (std::fabs(d) > bound) return d > 0 ? 1 : -1;
  return exactTurn(ax, ay, bx, by, cx, cy);
}

}  // namespace kiv::geom

using namespace kiv::geom;

extern "C" {

int ispoint_left_to_seg(const double *p, const double *a, const double *b, double tol) {
  // Edges that do not reach the horizontal line through p, as the codes
  // below would find them, are settled before any product.
  const bool below = p[1] < a[1];
  if (below ? p[1] < b[1] : !(b[1] > p[1]) && p[1] != b[1]) return kOff;
  const double ex = b[0] - a[0], ey = b[1] - a[1];
  const double px = p[0] - a[0], py = p[1] - a[1];
  const double cr = ex * py - ey * px;  // positive when p is left of a->b
  const double dot = px * ex + py * ey;
  const bool onEdge = std::fabs(cr) <= tol && -tol <= dot && dot <= ex * ex + ey * ey + tol;
  const double tol2 = tol * tol;
  if (below) {  // a downward edge
    if (onEdge) return kOn;
    return cr > tol2 ? kDownLeft : cr < -tol2 ? kDownRight : kOff;
  }
  if (b[1] > p[1]) {  // an upward edge
    if (onEdge) return kOn;
    return cr > tol2 ? kUpLeft : cr < -tol2 ? kUpRight : kOff;
  }
  return onEdge ? kOn : kOff;  // p level with b
}

int ispoint_inside_sector(double px, double py, const point *c, double tol) {
  const point *s = c->previous, *e = c->next;
  const double vx = px - c->x, vy = py - c->y;
  const double A = cross(s->x - c->x, s->y - c->y, vx, vy);
  const double B = cross(e->x - c->x, e->y - c->y, vx, vy);
  bool inside = false;
  if (c->direction == KIV_CW)
    inside = c->arc == KIV_ARC_MINOR ? (A < 0.0 && B > 0.0) : c->arc == KIV_ARC_MAJOR && (A <= 0.0 || B > 0.0);
  else if (c->direction == KIV_CCW)
    inside = c->arc == KIV_ARC_MINOR ? (A > 0.0 && B < 0.0) : c->arc == KIV_ARC_MAJOR && (A >= 0.0 || B < 0.0);
  if (inside) return 6;
  if (A == 0.0 && closeTo(px, py, s->x, s->y, tol)) return 6;
  if (B == 0.0 && closeTo(px, py, e->x, e->y, tol)) return 6;
  return 0;
}

int ispoint_inside_arc(const double *p, const point *c, double tol) {
  if (distance(p[0], p[1], c->x, c->y) > c->radius + tol) return 0;
  return ispoint_inside_sector(p[0], p[1], c, tol);
}

int ispoint_on_arc_full(const double *p, const point *c, double tol) {
  // A distance to the centre is known only to the rounding of the arc's own
  // magnitudes; a tolerance below that would reject the arc's own points.
  const double radial = std::max(tol, 8.0 * DBL_EPSILON * (std::fabs(c->x) + std::fabs(c->y) + c->radius));
  if (!(std::fabs(distance(p[0], p[1], c->x, c->y) - c->radius) <= radial)) return 0;
  const point *s = c->previous, *e = c->next;
  if (closeTo(p[0], p[1], s->x, s->y, tol) || closeTo(p[0], p[1], e->x, e->y, tol)) return 1;
  return ispoint_inside_arc(p, c, radial) == 6 ? 1 : 0;
}

double distance_to_arc(const double *p, const point *c) {
  if (ispoint_inside_sector(p[0], p[1], c, 1e-11) == 6)
    return std::fabs(distance(p[0], p[1], c->x, c->y) - c->radius);
  return std::min(distance(p[0], p[1], c->previous->x, c->previous->y),
                  distance(p[0], p[1], c->next->x, c->next->y));
}

int ispoint_left_to_arc(const double *p, const point *c, double tol) {
  const int chord = segmentCode(p, c->previous, c->next, tol);
  // Outside the circle the chord counts alike.
  if (std::fabs(p[1] - c->y) > c->radius + tol) return chord;
  const double d = distance(p[0], p[1], c->x, c->y);
  if (d > c->radius + tol) return chord;
  if (std::fabs(d - c->radius) <= tol && ispoint_inside_sector(p[0], p[1], c, tol) == 6) return kOn;
  // The region between chord and arc lies right of the chord for a
  // counter-clockwise arc and left of it for a clockwise one.
  if ((chord == kDownLeft || chord == kUpLeft) && c->direction == KIV_CCW) return chord;
  if ((chord == kDownRight || chord == kUpRight) && c->direction == KIV_CW) return chord;
  return polylineCode(p, c, tol);
}

int isPointinsidePath(const point *p, const path *q, int mode, double tol) {
  if (!p || !q) return 0;
  const double v[2] = {p->x, p->y};
  bool on = false;
  const bool inside = windingOf(v, q, tol, on) != 0;
  if (on) return 1;
  if (mode != 1 || q->orientation == KIV_ORIENT_CCW) return inside ? 6 : 0;
  return inside ? 0 : 6;
}

int isPointinsideShape(const point *p, const shape *s, double tol) {
  if (!p || !s) return 0;
  const double v[2] = {p->x, p->y};
  int count = 0;
  for (int i = 0; s->paths && i < s->npaths; ++i) {
    bool on = false;
    count += windingOf(v, s->paths[i], tol, on);
    if (on) return 1;
  }
  return count != 0 ? 6 : 0;
}

}  // extern "C"
