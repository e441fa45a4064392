// Contours for the geometry tests and benchmarks, and reference measures
// computed another way than the kernel does: the polygon of the vertices
// plus the circular segment of every arc, (r^2/2)(theta - sin theta).
#pragma once

#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <utility>
#include <vector>

#include "geometry/kiv_geometry.h"

namespace kiv::geomtest {

inline constexpr double kPi = 3.14159265358979323846;

// Appends the centre node of an arc; the previous node appended is its start
// vertex, the next one appended its end vertex.
inline point *addCentre(path *p, double cx, double cy, double r, int kind, int direction) {
  point t;
  initialized_point(&t);
  t.x = cx;
  t.y = cy;
  t.radius = r;
  t.arc = kind;
  t.direction = direction;
  return create_point_before(p, p->first, &t);
}

inline point at(double x, double y) {
  point p;
  initialized_point(&p);
  p.x = x;
  p.y = y;
  return p;
}

// A lone arc of the circle (cx, cy, r) from angle a0 to a1 in the given
// direction, as a ring of three nodes; its kind follows from its span.
struct Arc {
  path *p;
  point *c;
  Arc(double cx, double cy, double r, double a0, double a1, int dir) : p(create_path()) {
    const double span = dir == KIV_CCW ? a1 - a0 : a0 - a1;
    add_last_xy_(p, cx + r * std::cos(a0), cy + r * std::sin(a0));
    c = addCentre(p, cx, cy, r, fmod_2p_(span, 2 * kPi) <= kPi ? KIV_ARC_MINOR : KIV_ARC_MAJOR, dir);
    add_last_xy_(p, cx + r * std::cos(a1), cy + r * std::sin(a1));
  }
  Arc(const Arc &) = delete;
  Arc &operator=(const Arc &) = delete;
  ~Arc() {
    delete_path_(p);
    std::free(p);
  }
};

inline path *polygon(std::initializer_list<std::pair<double, double>> vertices) {
  path *p = create_path();
  for (auto [x, y] : vertices) add_last_xy_(p, x, y);
  return p;
}

inline shape *shapeOf(std::initializer_list<path *> paths) {
  shape *s = create_shape();
  for (path *p : paths) add_path(p, s);
  return s;
}

// Circle of centre (cx, cy) and radius r from two half-circle arcs.
inline path *circle(double cx, double cy, double r, int direction = KIV_CCW) {
  path *p = create_path();
  add_last_xy_(p, cx + r, cy);
  addCentre(p, cx, cy, r, KIV_ARC_MINOR, direction);
  add_last_xy_(p, cx - r, cy);
  addCentre(p, cx, cy, r, KIV_ARC_MINOR, direction);
  return p;
}

// Span of the arc of centre c in its own direction, in [0, 2 pi).
inline double arcSpan(const point *c) {
  const double a0 = std::atan2(c->previous->y - c->y, c->previous->x - c->x);
  const double a1 = std::atan2(c->next->y - c->y, c->next->x - c->x);
  double d = c->direction == KIV_CCW ? a1 - a0 : a0 - a1;
  while (d < 0) d += 2 * kPi;
  while (d >= 2 * kPi) d -= 2 * kPi;
  return d;
}

inline double referenceArea(const path *p) {
  std::vector<const point *> vertices;
  double segments = 0.0;
  const point *n = p->first;
  do {
    if (n->arc == 0) {
      vertices.push_back(n);
    } else {
      const double t = arcSpan(n), r = n->radius;
      segments += (n->direction == KIV_CCW ? 1.0 : -1.0) * r * r / 2.0 * (t - std::sin(t));
    }
    n = n->next;
  } while (n != p->first);
  double twice = 0.0;
  for (size_t i = 0; i < vertices.size(); ++i) {
    const point *a = vertices[i], *b = vertices[(i + 1) % vertices.size()];
    twice += a->x * b->y - b->x * a->y;
  }
  return twice / 2.0 + segments;
}

inline double referencePerimeter(const path *p) {
  double sum = 0.0;
  const point *n = p->first;
  do {
    if (n->arc != 0)
      sum += n->radius * arcSpan(n);
    else if (n->next->arc == 0)
      sum += std::hypot(n->next->x - n->x, n->next->y - n->y);
    n = n->next;
  } while (n != p->first);
  return sum;
}

// A gear-like outline, counter-clockwise about the origin: per tooth a
// concave root arc (clockwise, centre outside the material), a twisted
// polyline flank up, a convex tip arc on the tip circle, and a flank down.
inline path *gearOutline(int teeth = 12, double rootR = 8.0, double tipR = 10.0, int flankSegments = 6) {
  path *p = create_path();
  const double pitch = 2 * kPi / teeth;
  const auto polar = [p](double r, double a) { add_last_xy_(p, r * std::cos(a), r * std::sin(a)); };
  for (int i = 0; i < teeth; ++i) {
    const double base = i * pitch;
    const double a0 = base, a1 = base + pitch / 3, a2 = base + 7 * pitch / 15, a3 = base + 13 * pitch / 15;
    // Root: chord between the two root corners, bulging inwards.
    polar(rootR, a0);
    const double mid = (a0 + a1) / 2, half = rootR * std::sin((a1 - a0) / 2);
    const double rc = 1.5 * half, apothem = rootR * std::cos((a1 - a0) / 2);
    const double off = std::sqrt(rc * rc - half * half);
    addCentre(p, (apothem + off) * std::cos(mid), (apothem + off) * std::sin(mid), rc, KIV_ARC_MINOR, KIV_CW);
    for (int j = 0; j < flankSegments; ++j) {
      const double f = static_cast<double>(j) / flankSegments;
      polar(rootR + (tipR - rootR) * f, a1 + (a2 - a1) * std::pow(f, 0.7));
    }
    polar(tipR, a2);
    addCentre(p, 0.0, 0.0, tipR, KIV_ARC_MINOR, KIV_CCW);
    for (int j = 0; j < flankSegments; ++j) {
      const double f = static_cast<double>(j) / flankSegments;
      polar(tipR - (tipR - rootR) * f, a3 + (base + pitch - a3) * (1 - std::pow(1 - f, 0.7)));
    }
  }
  return p;
}

}  // namespace kiv::geomtest
