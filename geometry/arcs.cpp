// Arc insertion and splitting, and the snapping of one contour onto another
// before a boolean operation.
#include "geometry/kernel.hpp"

namespace kiv::geom {
namespace {

constexpr double kSnap = 1e-10;

void moveTo(point *p, double x, double y) {
  p->x = x;
  p->y = y;
}

// Moves p radially onto the circle of the arc of centre c.
void projectOnCircle(point *p, const point *c) {
  const double d = distance(c, p);
  if (d > 0.0) moveTo(p, c->x + c->radius * (p->x - c->x) / d, c->y + c->radius * (p->y - c->y) / d);
}

// p is a plain vertex that starts a segment, c the centre of an arc.
void snapVertexOnArc(point *p, const point *c) {
  const double q[2] = {p->x, p->y};
  if (!(distance_to_arc(q, c) < kSnap)) return;
  if (distance(p, c->previous) <= kSnap)
    moveTo(p, c->previous->x, c->previous->y);
  else if (distance(p, c->next) <= kSnap)
    moveTo(p, c->next->x, c->next->y);
  else
    projectOnCircle(p, c);
}

// c is the centre of an arc of A, q a plain vertex of B near it.
void snapArcOnVertex(point *c, point *q) {
  const double v[2] = {q->x, q->y};
  if (!(distance_to_arc(v, c) < kSnap)) return;
  if (distance(c->previous, q) <= kSnap) {
    moveTo(c->previous, q->x, q->y);
  } else if (distance(c->next, q) <= kSnap) {
    moveTo(c->next, q->x, q->y);
  } else {
    projectOnCircle(q, c);
    splitarc_(c, q);
  }
}

// Calls f(node) for the nodes from start up to the node before stop (the
// whole ring when start is stop).
template <class F>
void walkRange(point *start, point *stop, F &&f) {
  if (!start || !stop) return;
  point *n = start;
  do {
    f(n);
    n = n->next;
  } while (n != stop);
}

}  // namespace
}  // namespace kiv::geom

using namespace kiv::geom;

extern "C" {

point *insertarc_(point *start, const point *end, double r, int kind, int direction) {
  if (!start || !end) return nullptr;
  const double dx = end->x - start->x, dy = end->y - start->y;
  const double L = std::sqrt(dx * dx + dy * dy);
  // Coincident ends give no chord to build on; no radius gives no circle.
  if (L == 0.0 || !(r > 0.0)) return nullptr;
  if (L - 2.0 * r > 1e-10) return nullptr;
  if (direction != KIV_CW && direction != KIV_CCW) return nullptr;
  const double mx = (start->x + end->x) / 2.0, my = (start->y + end->y) / 2.0;
  point t;
  initialized_point(&t);
  t.direction = direction;
  t.radius = r;
  if (std::fabs(L - 2.0 * r) < 1e-10) {
    t.x = mx;
    t.y = my;
    t.arc = KIV_ARC_MINOR;
  } else {
    const double h = std::sqrt(r * r - (L / 2.0) * (L / 2.0));
    const double ux = dx / L, uy = dy / L;
    if ((direction == KIV_CW && kind == KIV_ARC_MAJOR) || (direction == KIV_CCW && kind == KIV_ARC_MINOR)) {
      t.x = mx - h * uy;
      t.y = my + h * ux;
    } else if ((direction == KIV_CW && kind == KIV_ARC_MINOR) || (direction == KIV_CCW && kind == KIV_ARC_MAJOR)) {
      t.x = mx + h * uy;
      t.y = my - h * ux;
    } else {
      return nullptr;
    }
    t.arc = kind;
  }
  return create_point_after(start->owner, start, &t);
}

point *splitarc_(point *c, const point *q) {
  if (!c || !q) return nullptr;
  const point *s = c->previous, *e = c->next;
  point t = *q;
  t.arc = 0;
  t.direction = 0;
  t.radius = 0.0;
  point *n = create_point_after(c->owner, c, &t);
  point *c2 = create_point_after(c->owner, n, c);
  if (c->arc == KIV_ARC_MINOR) return n;
  const double sx = s->x - c->x, sy = s->y - c->y;
  const double ex = e->x - c->x, ey = e->y - c->y;
  const double qx = q->x - c->x, qy = q->y - c->y;
  const double A = cross(sx, sy, ex, ey), B = cross(sx, sy, qx, qy), G = cross(ex, ey, qx, qy);
  if ((A > 0.0 && B > 0.0) || (A < 0.0 && B < 0.0)) {
    c2->arc = KIV_ARC_MINOR;
  } else if (B <= 0.0 && 0.0 <= A) {
    c->arc = KIV_ARC_MINOR;
    c2->arc = G >= 0.0 ? KIV_ARC_MINOR : KIV_ARC_MAJOR;
  } else if (A <= 0.0 && 0.0 <= B) {
    c->arc = KIV_ARC_MINOR;
    c2->arc = G <= 0.0 ? KIV_ARC_MINOR : KIV_ARC_MAJOR;
  }
  return n;
}

void mappathonpath_(point *a_start, point *a_stop, point *b_start, point *b_stop, double tol) {
  walkRange(b_start, b_stop, [&](point *q) {
    walkRange(a_start, a_stop, [&](point *p) {
      if (isCentre(p->next)) return;
      if (!isCentre(p) && isCentre(q))
        snapVertexOnArc(p, q);
      else if (!isCentre(p) && !isCentre(q) && closeTo(p->x, p->y, q->x, q->y, tol))
        moveTo(p, q->x, q->y);
      else if (isCentre(p) && !isCentre(q))
        snapArcOnVertex(p, q);
    });
  });
}

void check_mapping_(point *a_start, point *a_stop, point *b_start, point *b_stop) {
  walkRange(b_start, b_stop, [&](point *b) {
    const point *b2 = b->next;
    if (isCentre(b) || isCentre(b2)) return;
    const double vx = b2->x - b->x, vy = b2->y - b->y, len2 = vx * vx + vy * vy;
    walkRange(a_start, a_stop, [&](point *p) {
      if (isCentre(p)) return;
      double t = len2 > 0.0 ? ((p->x - b->x) * vx + (p->y - b->y) * vy) / len2 : 0.0;
      t = t < 0.0 ? 0.0 : t > 1.0 ? 1.0 : t;
      const double fx = b->x + t * vx, fy = b->y + t * vy;
      const double d = distance(p->x, p->y, fx, fy);
      if (d > 0.0 && d <= 1e-10) moveTo(p, fx, fy);
    });
  });
}

}  // extern "C"
