// Contours for the geometry tests and benchmarks, owners that free them, and
// an exact comparison of shapes node by node.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "geometry/kiv_geometry.h"
#include "geometry/kiv_shapeid.h"

namespace kiv::geomtest {

inline constexpr double kPi = 3.14159265358979323846;

struct ShapeDeleter {
  void operator()(shape *s) const { delete_shape_(s); }
};
struct PathDeleter {
  void operator()(path *p) const {
    delete_path_(p);
    std::free(p);
  }
};
using Shape = std::unique_ptr<shape, ShapeDeleter>;
using Path = std::unique_ptr<path, PathDeleter>;
inline Shape own(shape *s) { return Shape(s); }

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

// A point as the kernel's (x, y) pairs take it.
struct Xy {
  double v[2];
};

inline point at(double x, double y) {
  point p;
  initialized_point(&p);
  p.x = x;
  p.y = y;
  return p;
}

// A ring of plain vertices {x, y} and arc centres {cx, cy, r, kind, dir},
// each centre between the start and end vertices of its arc.
struct Node {
  double x, y, r = 0;
  int kind = 0, dir = 0;
};
inline path *contour(std::initializer_list<Node> nodes) {
  path *p = create_path();
  for (const Node &n : nodes) {
    if (n.kind)
      addCentre(p, n.x, n.y, n.r, n.kind, n.dir);
    else
      add_last_xy_(p, n.x, n.y);
  }
  return p;
}

inline path *rectangle(double x0, double y0, double x1, double y1) {
  return contour({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

// Clockwise rectangle: a hole.
inline path *rectangleHole(double x0, double y0, double x1, double y1) {
  return contour({{x0, y0}, {x0, y1}, {x1, y1}, {x1, y0}});
}

// The arc of the circle (cx, cy, r) from angle a0 by the span theta in the
// given direction, closed by its chord; its kind follows from the span.
inline path *circularSegment(double cx, double cy, double r, double a0, double theta, int dir) {
  const double a1 = dir == KIV_CCW ? a0 + theta : a0 - theta;
  return contour({{cx + r * std::cos(a0), cy + r * std::sin(a0)},
                  {cx, cy, r, theta <= kPi ? KIV_ARC_MINOR : KIV_ARC_MAJOR, dir},
                  {cx + r * std::cos(a1), cy + r * std::sin(a1)}});
}

// A lone arc (a ring of three nodes) and its centre: from angle a0 to a1 on
// a circle, its kind following from its span, or between given vertices.
struct Arc {
  Path p;
  point *c;
  Arc(double cx, double cy, double r, double a0, double a1, int dir)
      : Arc({cx + r * std::cos(a0), cy + r * std::sin(a0)},
            {cx, cy, r, fmod_2p_(dir == KIV_CCW ? a1 - a0 : a0 - a1, 2 * kPi) <= kPi ? KIV_ARC_MINOR : KIV_ARC_MAJOR,
             dir},
            {cx + r * std::cos(a1), cy + r * std::sin(a1)}) {}
  Arc(Node start, Node centre, Node end) : p(contour({start, centre, end})), c(p->first->next) {}
};

// Circle of two half-circle arcs whose vertices sit at the angles phi and
// phi + pi.
inline path *circle(double cx, double cy, double r, double phi = 0, int dir = KIV_CCW) {
  const double x = r * std::cos(phi), y = r * std::sin(phi);
  return contour(
      {{cx + x, cy + y}, {cx, cy, r, KIV_ARC_MINOR, dir}, {cx - x, cy - y}, {cx, cy, r, KIV_ARC_MINOR, dir}});
}

// Area of the shape of a registered id (0 for none).
inline double idArea(int id) {
  double a = 0;
  xCD_shape_area_(&id, &a);
  return a;
}

inline shape *shapeOf(std::initializer_list<path *> paths) {
  shape *s = create_shape();
  for (path *p : paths) add_path(p, s);
  return s;
}
inline Shape shapeWith(std::initializer_list<path *> paths) { return own(shapeOf(paths)); }

inline Shape copyOf(const shape *s) {
  shape *c = nullptr;
  xCD_copy_shape_(s, &c);
  return own(c);
}

// Union, intersection and removal of A and B with their statuses.
struct Outcome {
  Shape uni, inter, diff;
  int su = -1, si = -1, sd = -1;
};
inline Outcome allThree(const shape *A, const shape *B) {
  Outcome o;
  o.uni = own(union_shape_status_(A, B, &o.su));
  o.inter = own(intersection_shape_status_(A, B, &o.si));
  o.diff = own(remove_shape_status_(A, B, &o.sd));
  return o;
}
inline bool allOk(const Outcome &o) { return o.su == KIV_BOOL_OK && o.si == KIV_BOOL_OK && o.sd == KIV_BOOL_OK; }

// f(node) for the nodes of a ring, from its first node.
template <class F>
auto mapRing(const path *p, F f) {
  std::vector<decltype(f(p->first))> out;
  for (point *n = p->first; n && (out.empty() || n != p->first); n = n->next) out.push_back(f(n));
  return out;
}

inline std::vector<point *> nodes(const path *p) {
  return mapRing(p, [](point *n) { return n; });
}

using Coords = std::vector<std::pair<double, double>>;
inline Coords coords(const path *p) {
  return mapRing(p, [](const point *n) { return std::pair<double, double>(n->x, n->y); });
}
// The largest coordinate difference of two lists of points (infinite when
// their lengths differ).
inline double deviation(const Coords &a, const Coords &b) {
  if (a.size() != b.size()) return HUGE_VAL;
  double d = 0;
  for (size_t i = 0; i < a.size(); ++i)
    d = std::max({d, std::fabs(a[i].first - b[i].first), std::fabs(a[i].second - b[i].second)});
  return d;
}
inline std::vector<int> tagsOf(const path *p) {
  return mapRing(p, [](const point *n) { return n->tag; });
}

// Every node of every path equal in every field but the links.
inline bool sameShape(const shape *a, const shape *b) {
  if (a->npaths != b->npaths || a->kind != b->kind) return false;
  for (int i = 0; i < a->npaths; ++i) {
    const auto fields = [](const point *n) {
      return std::vector<double>{n->x,     n->y, double(n->tag), double(n->label), double(n->arc), double(n->direction),
                                 n->radius};
    };
    if (a->paths[i]->orientation != b->paths[i]->orientation ||
        mapRing(a->paths[i], fields) != mapRing(b->paths[i], fields))
      return false;
  }
  return true;
}

// Whether no node of s carries a tag or a partner.
inline bool untagged(const shape *s) {
  for (int i = 0; i < s->npaths; ++i)
    for (bool plain : mapRing(s->paths[i], [](const point *n) { return n->tag == 0 && !n->partner; }))
      if (!plain) return false;
  return true;
}

// Area of the circular lens of two circles of radii r at distance d.
inline double lensArea(double r, double d) {
  return 2 * r * r * std::acos(d / (2 * r)) - d / 2 * std::sqrt(4 * r * r - d * d);
}

// Area of the disc of radius R that lies inside the centred square of half
// side h, for h <= R <= h sqrt 2.
inline double discInSquare(double R, double h) {
  return kPi * R * R - 4 * (R * R * std::acos(h / R) - h * std::sqrt(R * R - h * h));
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
