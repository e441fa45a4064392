// Shapes owned by the tests of the boolean operations, simple outlines, and
// an exact comparison of shapes node by node.
#pragma once

#include <cmath>
#include <memory>
#include <vector>

#include "tests/geometry/outlines.hpp"

namespace kiv::geomtest {

struct ShapeDeleter {
  void operator()(shape *s) const { delete_shape_(s); }
};
using Shape = std::unique_ptr<shape, ShapeDeleter>;

inline Shape own(shape *s) { return Shape(s); }

inline path *rectangle(double x0, double y0, double x1, double y1) {
  return polygon({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

// Clockwise rectangle: a hole.
inline path *rectangleHole(double x0, double y0, double x1, double y1) {
  return polygon({{x0, y0}, {x0, y1}, {x1, y1}, {x1, y0}});
}

// Circle of two half-circle arcs whose vertices sit at the angles phi and
// phi + pi.
inline path *circleAt(double cx, double cy, double r, double phi, int direction = KIV_CCW) {
  path *p = create_path();
  add_last_xy_(p, cx + r * std::cos(phi), cy + r * std::sin(phi));
  addCentre(p, cx, cy, r, KIV_ARC_MINOR, direction);
  add_last_xy_(p, cx - r * std::cos(phi), cy - r * std::sin(phi));
  addCentre(p, cx, cy, r, KIV_ARC_MINOR, direction);
  return p;
}

inline Shape shapeWith(std::initializer_list<path *> paths) { return own(shapeOf(paths)); }

// Every node of every path equal in every field but the links.
inline bool sameShape(const shape *a, const shape *b) {
  if (a->npaths != b->npaths || a->kind != b->kind) return false;
  for (int i = 0; i < a->npaths; ++i) {
    const path *p = a->paths[i], *q = b->paths[i];
    if (p->orientation != q->orientation || size_path_(p) != size_path_(q)) return false;
    const point *m = p->first, *n = q->first;
    if (!m) continue;
    do {
      if (m->x != n->x || m->y != n->y || m->tag != n->tag || m->label != n->label || m->arc != n->arc ||
          m->direction != n->direction || m->radius != n->radius)
        return false;
      m = m->next;
      n = n->next;
    } while (m != p->first);
  }
  return true;
}

inline Shape copyOf(const shape *s) {
  shape *c = nullptr;
  xCD_copy_shape_(s, &c);
  return own(c);
}

// Area of the circular lens of two circles of radii r at distance d.
inline double lensArea(double r, double d) {
  return 2 * r * r * std::acos(d / (2 * r)) - d / 2 * std::sqrt(4 * r * r - d * d);
}

// Area of the disc of radius R that lies inside the centred square of half
// side h, for h <= R <= h sqrt 2.
inline double discInSquare(double R, double h) {
  const double segment = R * R * std::acos(h / R) - h * std::sqrt(R * R - h * h);
  return kPi * R * R - 4 * segment;
}

// Whether no node of s carries a tag or a partner.
inline bool untagged(const shape *s) {
  for (int i = 0; i < s->npaths; ++i) {
    const point *n = s->paths[i]->first;
    do {
      if (n->tag != 0 || n->partner) return false;
      n = n->next;
    } while (n != s->paths[i]->first);
  }
  return true;
}

inline std::vector<int> orientations(const shape *s) {
  std::vector<int> o;
  for (int i = 0; i < s->npaths; ++i) o.push_back(s->paths[i]->orientation);
  return o;
}

}  // namespace kiv::geomtest
