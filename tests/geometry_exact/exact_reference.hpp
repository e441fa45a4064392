// The exact reference of the planar booleans: rings of the library's nodes
// turned into exact polygons (straight edges only) or exact circle-segment
// polygons (with arcs), combined in exact arithmetic, and measured.  Arcs
// must end exactly on their circles: the reference takes every coordinate
// and radius as the exact rational its double stands for.
#pragma once

#include <CGAL/Boolean_set_operations_2.h>
#include <CGAL/Exact_predicates_exact_constructions_kernel.h>
#include <CGAL/General_polygon_set_2.h>
#include <CGAL/Gps_circle_segment_traits_2.h>
#include <CGAL/Polygon_2.h>
#include <CGAL/Polygon_set_2.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <list>
#include <vector>

#include "tests/geometry/outlines.hpp"

namespace kiv::geomexact {

using geomtest::Node;
// One closed contour as the library lists it: plain vertices and arc centres.
using Ring = std::vector<Node>;

using K = CGAL::Exact_predicates_exact_constructions_kernel;
using FT = K::FT;
using Polygon = CGAL::Polygon_2<K>;
using PolygonWithHoles = CGAL::Polygon_with_holes_2<K>;
using PolygonSet = CGAL::Polygon_set_2<K>;
using CsTraits = CGAL::Gps_circle_segment_traits_2<K>;
using CsSet = CGAL::General_polygon_set_2<CsTraits>;
using CsPolygon = CsTraits::General_polygon_2;
using CsPolygonWithHoles = CsTraits::General_polygon_with_holes_2;

enum class Op { Union = 0, Intersection = 1, Removal = 2 };
inline constexpr Op kOps[3] = {Op::Union, Op::Intersection, Op::Removal};
inline const char *opName(Op op) {
  return op == Op::Union ? "union" : op == Op::Intersection ? "intersection" : "removal";
}

// Result contours smaller than this the library drops.
inline constexpr double kSliver = 1e-3;

inline bool hasArcs(const Ring &r) {
  return std::any_of(r.begin(), r.end(), [](const Node &n) { return n.kind != 0; });
}

// The edges of a ring: each plain vertex to the next one, through the centre
// node between them when there is one.
template <class F>
void forEachEdge(const Ring &r, F f) {
  const size_t n = r.size();
  for (size_t i = 0; i < n; ++i) {
    if (r[i].kind) continue;
    const Node &next = r[(i + 1) % n];
    if (next.kind)
      f(r[i], &next, r[(i + 2) % n]);
    else
      f(r[i], nullptr, next);
  }
}

inline Polygon exactPolygon(const Ring &r) {
  Polygon p;
  for (const Node &n : r) p.push_back(K::Point_2(n.x, n.y));
  return p;
}

inline CsPolygon exactCircleSegments(const Ring &r) {
  using Curve = CsTraits::Curve_2;
  using XCurve = CsTraits::X_monotone_curve_2;
  using RootPoint = CsTraits::Point_2;
  std::vector<Curve> curves;
  forEachEdge(r, [&curves](const Node &a, const Node *c, const Node &b) {
    if (!c) {
      curves.emplace_back(K::Point_2(a.x, a.y), K::Point_2(b.x, b.y));
      return;
    }
    const K::Circle_2 circle(K::Point_2(c->x, c->y), FT(c->r) * FT(c->r),
                             c->dir == KIV_CCW ? CGAL::COUNTERCLOCKWISE : CGAL::CLOCKWISE);
    curves.emplace_back(circle, RootPoint(FT(a.x), FT(a.y)), RootPoint(FT(b.x), FT(b.y)));
  });
  CsTraits traits;
  std::vector<XCurve> pieces;
  for (const Curve &cv : curves) {
    std::vector<boost::variant<RootPoint, XCurve>> parts;
    traits.make_x_monotone_2_object()(cv, std::back_inserter(parts));
    for (const auto &part : parts)
      if (const XCurve *x = boost::get<XCurve>(&part)) pieces.push_back(*x);
  }
  return CsPolygon(pieces.begin(), pieces.end());
}

// Whether the arc of centre c from a to b ends exactly on its circle at both
// ends, and its kind is the one its sweep calls for (up to a half circle:
// minor).
inline bool exactArc(const Node &a, const Node &c, const Node &b) {
  const FT ax = FT(a.x) - c.x, ay = FT(a.y) - c.y, bx = FT(b.x) - c.x, by = FT(b.y) - c.y;
  const FT r2 = FT(c.r) * FT(c.r);
  if (ax * ax + ay * ay != r2 || bx * bx + by * by != r2 || (ax == bx && ay == by)) return false;
  const CGAL::Sign turn = CGAL::sign(ax * by - ay * bx);
  const bool halfOrLess = turn == CGAL::ZERO || (turn == CGAL::POSITIVE) == (c.dir == KIV_CCW);
  return (c.kind == KIV_ARC_MINOR) == halfOrLess && (c.dir == KIV_CCW || c.dir == KIV_CW);
}

// A ring the booleans take as one outer contour: closed, simple (no edge
// meets another but its neighbours at their common vertex),
// counter-clockwise, arcs exact.
inline bool validRing(const Ring &r) {
  if (r.size() < 3 || r.front().kind) return false;
  for (size_t i = 0; i < r.size(); ++i)
    if (r[i].kind && (r[(i + 1) % r.size()].kind || r[i - 1].kind)) return false;
  bool arcsExact = true;
  forEachEdge(r, [&arcsExact](const Node &a, const Node *c, const Node &b) {
    if (c) arcsExact = arcsExact && exactArc(a, *c, b);
  });
  if (!arcsExact) return false;
  if (!hasArcs(r)) {
    const Polygon p = exactPolygon(r);
    return p.is_simple() && p.orientation() == CGAL::COUNTERCLOCKWISE;
  }
  return CGAL::is_valid_polygon(exactCircleSegments(r), CsTraits());
}

// A double within 1e-13 of the exact value: the filtered approximation when
// it is that narrow, else the exact value (the approximations of points
// made from nearly parallel edges can be far wider).
inline double approx(const FT &v) {
  const std::pair<double, double> i = CGAL::to_interval(v);
  if (i.second - i.first <= 1e-13 * std::max(1.0, std::fabs(i.first))) return i.first / 2 + i.second / 2;
  return CGAL::to_double(CGAL::exact(v));
}
inline double approx(const CsTraits::CoordNT &v) {
  if (v.is_rational()) return approx(v.alpha());
  return approx(v.alpha()) + approx(v.beta()) * std::sqrt(approx(v.gamma()));
}

// One piece of a boundary: its ends and its share of the signed area.
template <class P>
struct Piece {
  P from, to;
  double area;
};

inline bool same(const K::Point_2 &p, const K::Point_2 &q) { return p == q; }
inline bool same(const CsTraits::Point_2 &p, const CsTraits::Point_2 &q) { return p.equals(q); }

// The pieces of a boundary in order, each run from its source to its
// target; arcs add their circular segment.
inline std::vector<Piece<CsTraits::Point_2>> pieces(const CsPolygon &p) {
  std::vector<Piece<CsTraits::Point_2>> out;
  for (auto it = p.curves_begin(); it != p.curves_end(); ++it) {
    const double x0 = approx(it->source().x()), y0 = approx(it->source().y());
    const double x1 = approx(it->target().x()), y1 = approx(it->target().y());
    double a = (x0 * y1 - x1 * y0) / 2;
    if (it->is_circular()) {
      const K::Circle_2 circle = it->supporting_circle();
      const double cx = approx(circle.center().x()), cy = approx(circle.center().y());
      const double r2 = approx(circle.squared_radius());
      const double ux = x0 - cx, uy = y0 - cy, vx = x1 - cx, vy = y1 - cy;
      // An x-monotone arc spans at most a half circle.
      const double t = std::atan2(std::fabs(ux * vy - uy * vx), ux * vx + uy * vy);
      const double segment = t < 1e-3 ? t * t * t / 6 * (1 - t * t / 20) : t - std::sin(t);
      a += (it->orientation() == CGAL::COUNTERCLOCKWISE ? 0.5 : -0.5) * r2 * segment;
    }
    out.push_back({it->source(), it->target(), a});
  }
  return out;
}

inline std::vector<Piece<K::Point_2>> pieces(const Polygon &p) {
  std::vector<Piece<K::Point_2>> out;
  for (auto e = p.edges_begin(); e != p.edges_end(); ++e) {
    const double x0 = approx(e->source().x()), y0 = approx(e->source().y());
    const double x1 = approx(e->target().x()), y1 = approx(e->target().y());
    out.push_back({e->source(), e->target(), (x0 * y1 - x1 * y0) / 2});
  }
  return out;
}

// Signed areas of the loops of a boundary: a boundary that passes a point
// twice (regions touching at a vertex) is cut there, as the library's walk
// cuts it into separate contours.
template <class P>
std::vector<double> loopAreas(const std::vector<Piece<P>> &boundary) {
  std::vector<double> loops;
  if (boundary.empty()) return loops;
  std::vector<P> at{boundary.front().from};
  std::vector<double> sums{0};  // sums[i]: area of the pieces run since at[i]
  for (const Piece<P> &piece : boundary) {
    for (double &s : sums) s += piece.area;
    size_t j = at.size();
    while (j > 0 && !same(at[j - 1], piece.to)) --j;
    if (j == 0) {
      at.push_back(piece.to);
      sums.push_back(0);
      continue;
    }
    const double loop = sums[j - 1];
    loops.push_back(loop);
    at.resize(j);
    sums.resize(j);
    for (double &s : sums) s -= loop;
  }
  return loops;
}

template <class P>
double boundaryArea(const P &p) {
  double sum = 0;
  for (const auto &piece : pieces(p)) sum += piece.area;
  return sum;
}

// The area of a result as the library gives it: contours of less than
// kSliver may be dropped or kept, so any area from low to high is right.
struct Expected {
  double kept = 0;  // every small contour dropped
  double low = 0, high = 0;
  bool accepts(double area, double tol) const { return area >= low - tol && area <= high + tol; }
};

template <class PolygonWithHolesT>
Expected measure(const std::list<PolygonWithHolesT> &result) {
  Expected e;
  const auto add = [&e](const std::vector<double> &loops, double sign) {
    double total = 0;
    for (double a : loops) total += a;
    // Outer boundaries run counter-clockwise, holes clockwise.
    const double flip = total * sign < 0 ? -1 : 1;
    for (double a : loops) {
      a *= flip;
      if (std::fabs(a) >= kSliver) e.kept += a;
      (a < 0 ? e.low : e.high) += std::fabs(a) < kSliver ? a : 0;
    }
  };
  for (const auto &pwh : result) {
    add(loopAreas(pieces(pwh.outer_boundary())), 1);
    for (auto h = pwh.holes_begin(); h != pwh.holes_end(); ++h) add(loopAreas(pieces(*h)), -1);
  }
  e.low += e.kept;
  e.high += e.kept;
  return e;
}

template <class Set, class P>
Expected combined(const P &a, const P &b, Op op) {
  Set s(a);
  switch (op) {
    case Op::Union:
      s.join(b);
      break;
    case Op::Intersection:
      s.intersection(b);
      break;
    case Op::Removal:
      s.difference(b);
      break;
  }
  std::list<typename Set::Polygon_with_holes_2> result;
  s.polygons_with_holes(std::back_inserter(result));
  return measure(result);
}

// Area of the region a ring bounds.
inline double exactArea(const Ring &r) {
  return hasArcs(r) ? boundaryArea(exactCircleSegments(r)) : boundaryArea(exactPolygon(r));
}

// The area of A op B.
inline Expected reference(const Ring &a, const Ring &b, Op op) {
  if (hasArcs(a) || hasArcs(b)) return combined<CsSet>(exactCircleSegments(a), exactCircleSegments(b), op);
  return combined<PolygonSet>(exactPolygon(a), exactPolygon(b), op);
}

// The area of A op B without the contours the library drops.
inline double referenceArea(const Ring &a, const Ring &b, Op op) { return reference(a, b, op).kept; }

}  // namespace kiv::geomexact
