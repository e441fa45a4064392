// The exact reference of the planar booleans: rings of the library's nodes
// turned into exact polygons (straight edges only) or exact circle-segment
// polygons (with arcs), combined in exact arithmetic, and measured by area
// and perimeter.  Arcs must end exactly on their circles: the reference
// takes every coordinate and radius as the exact rational its double stands
// for.  An operand of straight edges may hold several contours and contours
// that touch themselves; the reference takes it as the union of its simple
// lobes.
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
// The contours of one operand.
struct Operand : std::vector<Ring> {
  Operand() = default;
  Operand(Ring r) : std::vector<Ring>{std::move(r)} {}  // NOLINT: one ring is an operand
  Operand(std::initializer_list<Ring> rings) : std::vector<Ring>(rings) {}
};

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

// One piece of a boundary: its ends, its share of the signed area, its
// length, and for a segment its ends as doubles.
template <class P>
struct Piece {
  using Point = P;
  P from, to;
  double area, length;
  bool straight;
  double x0, y0, x1, y1;
  double cx = 0, cy = 0, r = 0;  // an arc's circle
  bool ccw = true;
  double turn = 0;  // an arc's angle, at most a half turn: its rounded ends may read as a whole one
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
    double a = (x0 * y1 - x1 * y0) / 2, length = std::hypot(x1 - x0, y1 - y0);
    if (it->is_circular()) {
      const K::Circle_2 circle = it->supporting_circle();
      const double cx = approx(circle.center().x()), cy = approx(circle.center().y());
      const double r2 = approx(circle.squared_radius());
      const double ux = x0 - cx, uy = y0 - cy, vx = x1 - cx, vy = y1 - cy;
      // An x-monotone arc spans at most a half circle.
      const double t = std::atan2(std::fabs(ux * vy - uy * vx), ux * vx + uy * vy);
      const double segment = t < 1e-3 ? t * t * t / 6 * (1 - t * t / 20) : t - std::sin(t);
      a += (it->orientation() == CGAL::COUNTERCLOCKWISE ? 0.5 : -0.5) * r2 * segment;
      length = std::sqrt(r2) * t;
      out.push_back({it->source(), it->target(), a, length, false, x0, y0, x1, y1, cx, cy, std::sqrt(r2),
                     it->orientation() == CGAL::COUNTERCLOCKWISE, t});
      continue;
    }
    out.push_back({it->source(), it->target(), a, length, true, x0, y0, x1, y1});
  }
  return out;
}

inline std::vector<Piece<K::Point_2>> pieces(const Polygon &p) {
  std::vector<Piece<K::Point_2>> out;
  for (auto e = p.edges_begin(); e != p.edges_end(); ++e) {
    const double x0 = approx(e->source().x()), y0 = approx(e->source().y());
    const double x1 = approx(e->target().x()), y1 = approx(e->target().y());
    out.push_back({e->source(), e->target(), (x0 * y1 - x1 * y0) / 2, std::hypot(x1 - x0, y1 - y0), true, x0, y0, x1,
                   y1});
  }
  return out;
}

// A closed loop of a boundary: its signed area and its pieces.
template <class P>
struct Loop {
  double area = 0;
  std::vector<Piece<P>> pieces;
};

// Direction of travel along a piece at its start or end, as an angle.
template <class P>
double headingOf(const Piece<P> &p, bool atEnd) {
  if (p.straight) return std::atan2(p.y1 - p.y0, p.x1 - p.x0);
  const double x = atEnd ? p.x1 : p.x0, y = atEnd ? p.y1 : p.y0;
  const double radial = std::atan2(y - p.cy, x - p.cx);
  return radial + (p.ccw ? 1 : -1) * geomtest::kPi / 2;
}

template <class P>
Piece<P> reversed(Piece<P> p) {
  std::swap(p.from, p.to);
  std::swap(p.x0, p.x1);
  std::swap(p.y0, p.y1);
  p.area = -p.area;
  p.ccw = !p.ccw;
  return p;
}

// The boundary of one region (its outer boundary and its holes, each
// directed with the region on its left) as closed contours: where the
// boundary passes a point more than once, it goes on along the first piece
// clockwise from the way back, so that contours touching there part, as
// the library parts them.
template <class P>
std::vector<Loop<P>> contoursOf(const std::vector<Piece<P>> &all) {
  std::vector<Loop<P>> loops;
  std::vector<char> used(all.size(), 0);
  const double turn = 2 * geomtest::kPi;
  for (size_t s = 0; s < all.size(); ++s) {
    if (used[s]) continue;
    Loop<P> loop;
    size_t cur = s;
    for (;;) {
      used[cur] = 1;
      loop.pieces.push_back(all[cur]);
      loop.area += all[cur].area;
      const double back = headingOf(all[cur], true) + geomtest::kPi;
      size_t best = all.size();
      double bestTurn = 0;
      for (size_t k = 0; k < all.size(); ++k) {
        if ((used[k] && k != s) || !same(all[k].from, all[cur].to)) continue;
        double t = std::fmod(back - headingOf(all[k], false), turn);
        if (t < 0) t += turn;
        if (t < 1e-12) t = turn;
        if (best == all.size() || t < bestTurn) best = k, bestTurn = t;
      }
      if (best == all.size() || best == s) break;  // closed at its start
      cur = best;
    }
    loops.push_back(std::move(loop));
  }
  return loops;
}

// A contour that passes a point twice (a hole touching the outer boundary
// from within, pinched off there) as the simple loops it is made of: the
// library may part such a loop there and drop a small one.
template <class P>
std::vector<Loop<P>> simpleLoops(const Loop<P> &whole) {
  std::vector<Loop<P>> loops;
  std::vector<Piece<P>> open;
  // The open pieces from `first` on, closed as a loop.
  const auto close = [&](size_t first) {
    Loop<P> loop;
    for (size_t k = first; k < open.size(); ++k) loop.area += open[k].area, loop.pieces.push_back(open[k]);
    open.resize(first);
    loops.push_back(std::move(loop));
  };
  for (const auto &piece : whole.pieces) {
    open.push_back(piece);
    for (size_t j = open.size(); j-- > 0;)
      if (same(open[j].from, piece.to)) {
        close(j);
        break;
      }
  }
  if (!open.empty()) close(0);
  return loops;
}

template <class P>
double boundaryArea(const P &p) {
  double sum = 0;
  for (const auto &piece : pieces(p)) sum += piece.area;
  return sum;
}

// A straight piece of a boundary, as doubles.
struct Segment {
  double x0, y0, x1, y1;
};

// An arc of a boundary: its circle, where it starts and its signed sweep.
struct Arc {
  double cx, cy, r, a0, sweep;
};

inline Arc arcThrough(double cx, double cy, double r, double x0, double y0, double x1, double y1, bool ccw) {
  const double a0 = std::atan2(y0 - cy, x0 - cx), a1 = std::atan2(y1 - cy, x1 - cx);
  double sweep = ccw ? a1 - a0 : a0 - a1;
  while (sweep < 0) sweep += 2 * geomtest::kPi;
  if (sweep == 0 && (x0 != x1 || y0 != y1)) sweep = 2 * geomtest::kPi;
  return {cx, cy, r, a0, ccw ? sweep : -sweep};
}

// Length of the arcs that run within `width` of another arc of nearly the
// same circle going the other way.  Two circles nearly one are apart by
// about |dr - D cos(theta - phi)| at the angle theta, D and phi the offset
// of the centres: an arc may run within the width over part of its length.
inline double thinArcLength(const std::vector<Arc> &arcs, double width) {
  const double turn = 2 * geomtest::kPi;
  double total = 0;
  std::vector<std::pair<double, double>> covered, spans, near;
  // An arc as the counter-clockwise interval of angles it covers.
  const auto interval = [turn](const Arc &a) {
    double lo = a.sweep >= 0 ? a.a0 : a.a0 + a.sweep;
    lo = std::fmod(lo, turn);
    if (lo < 0) lo += turn;
    return std::pair(lo, std::fabs(a.sweep));
  };
  // The parts of the angles [start, start + length] within [lo, lo + len],
  // measured from lo.
  const auto within = [turn](double start, double length, double lo, double len,
                             std::vector<std::pair<double, double>> &out) {
    out.clear();
    for (double shift : {-2 * turn, -turn, 0.0, turn, 2 * turn}) {
      const double a = std::max(0.0, start + shift - lo), b = std::min(len, start + shift + length - lo);
      if (b > a) out.emplace_back(a, b);
    }
  };
  for (const Arc &e : arcs) {
    const auto [lo, len] = interval(e);
    covered.clear();
    for (const Arc &f : arcs) {
      if (&f == &e || (e.sweep >= 0) == (f.sweep >= 0)) continue;
      const double offset = std::hypot(f.cx - e.cx, f.cy - e.cy), dr = e.r - f.r;
      if (offset + std::fabs(dr) > 1e-6 * e.r || std::fabs(dr) - offset > width) continue;
      const auto [flo, flen] = interval(f);
      within(flo, flen, lo, len, spans);
      if (offset + std::fabs(dr) <= width) {
        covered.insert(covered.end(), spans.begin(), spans.end());
        continue;
      }
      // Where |dr - offset cos(theta - phi)| <= width.
      const double phi = std::atan2(f.cy - e.cy, f.cx - e.cx);
      const double p0 = std::acos(std::min(1.0, (dr + width) / offset));
      const double p1 = std::acos(std::max(-1.0, (dr - width) / offset));
      for (double start : {phi + p0, phi - p1}) {
        within(start, p1 - p0, lo, len, near);
        for (const auto &[a, b] : spans)
          for (const auto &[c, d] : near)
            if (std::min(b, d) > std::max(a, c)) covered.emplace_back(std::max(a, c), std::min(b, d));
      }
    }
    std::sort(covered.begin(), covered.end());
    double end = -1;
    for (const auto &[a, b] : covered) {
      if (b <= end) continue;
      total += e.r * (b - std::max(a, end));
      end = b;
    }
  }
  return total;
}

// Length of the boundary that runs within `width` of another stretch of it
// going the other way: needles, cracks and bridges thinner than that, both
// of whose sides are counted.  Nearly parallel segments only, which is what
// thin features are made of.
inline double thinLength(const std::vector<Segment> &segments, double width) {
  double total = 0;
  std::vector<std::pair<double, double>> covered;
  for (const Segment &e : segments) {
    const double ex = e.x1 - e.x0, ey = e.y1 - e.y0, length = std::hypot(ex, ey);
    if (!(length > 0)) continue;
    const double ux = ex / length, uy = ey / length;
    covered.clear();
    for (const Segment &f : segments) {
      if (&f == &e) continue;
      const double fx = f.x1 - f.x0, fy = f.y1 - f.y0, fl = std::hypot(fx, fy);
      if (!(fl > 0) || ux * fx + uy * fy >= 0 || std::fabs(ux * fy - uy * fx) > 1e-3 * fl) continue;
      // f seen from e: where along e its ends lie, and how far off it.
      double s0 = (f.x0 - e.x0) * ux + (f.y0 - e.y0) * uy, d0 = ux * (f.y0 - e.y0) - uy * (f.x0 - e.x0);
      double s1 = (f.x1 - e.x0) * ux + (f.y1 - e.y0) * uy, d1 = ux * (f.y1 - e.y0) - uy * (f.x1 - e.x0);
      if (s0 > s1) std::swap(s0, s1), std::swap(d0, d1);
      double lo = std::max(s0, 0.0), hi = std::min(s1, length);
      if (!(hi > lo)) continue;
      const auto offAt = [&](double s) { return s1 > s0 ? d0 + (d1 - d0) * (s - s0) / (s1 - s0) : d0; };
      // Where |offset| <= width: the offset is linear along e.
      const double a = offAt(lo), b = offAt(hi);
      const auto cut = [&](double level) {  // where the offset passes `level`
        return lo + (hi - lo) * (level - a) / (b - a);
      };
      if (a == b) {
        if (std::fabs(a) > width) continue;
      } else {
        const double in0 = cut(a < b ? -width : width), in1 = cut(a < b ? width : -width);
        lo = std::max(lo, std::min(in0, in1));
        hi = std::min(hi, std::max(in0, in1));
        if (!(hi > lo)) continue;
      }
      covered.push_back({lo, hi});
    }
    std::sort(covered.begin(), covered.end());
    double end = -1;
    for (const auto &[lo, hi] : covered) {
      if (hi <= end) continue;
      total += hi - std::max(lo, end);
      end = hi;
    }
  }
  return total;
}

// Length of the segments and arcs that run within `width` of each other
// going opposite ways: the cusp where a segment meets a circle nearly
// tangentially, both of its sides counted.
inline double thinCuspLength(const std::vector<Segment> &segments, const std::vector<Arc> &arcs, double width) {
  const double turn = 2 * geomtest::kPi;
  double total = 0;
  for (const Segment &e : segments) {
    const double ex = e.x1 - e.x0, ey = e.y1 - e.y0, length = std::hypot(ex, ey);
    if (!(length > 0)) continue;
    const double ux = ex / length, uy = ey / length;
    for (const Arc &f : arcs) {
      // Along e from its start, the centre's foot lies at sc, h off the line;
      // |P(s) - C| is within the width of r where (s - sc)^2 lies between
      // (r - w)^2 - h^2 and (r + w)^2 - h^2.
      const double sc = (f.cx - e.x0) * ux + (f.cy - e.y0) * uy;
      const double h = std::fabs(ux * (f.cy - e.y0) - uy * (f.cx - e.x0));
      // r - h first: near a tangency it is exact.
      const double hi = (f.r - h + width) * (f.r + h + width);
      if (!(hi > 0)) continue;
      const double lo = std::max(0.0, (f.r - h - width) * (f.r + h - width));
      const double angleLo = f.sweep >= 0 ? f.a0 : f.a0 + f.sweep;
      // Whether the point at s lies within f's angles, running against f.
      const auto onF = [&](double s) {
        const double px = e.x0 + s * ux - f.cx, py = e.y0 + s * uy - f.cy;
        double a = std::fmod(std::atan2(py, px) - angleLo, turn);
        if (a < 0) a += turn;
        const double tx = -py * (f.sweep >= 0 ? 1 : -1), ty = px * (f.sweep >= 0 ? 1 : -1);
        return a <= std::fabs(f.sweep) && tx * ux + ty * uy < 0;
      };
      for (double side : {-1.0, 1.0}) {
        double a = sc + side * std::sqrt(lo), b = sc + side * std::sqrt(hi);
        if (a > b) std::swap(a, b);
        a = std::max(a, 0.0);
        b = std::min(b, length);
        if (!(b > a)) continue;
        // The part on f: the angles are monotonic over so short a stretch,
        // so it is one interval; both ends may lie a rounding off f.
        const bool inA = onF(a), inB = onF(b);
        const double inside = inA ? a : inB ? b : (a + b) / 2;
        if (!inA && !inB && !onF(inside)) continue;
        const auto border = [&onF](double in, double out) {
          for (int k = 0; k < 60; ++k) {
            const double m = (in + out) / 2;
            (onF(m) ? in : out) = m;
          }
          return in;
        };
        if (!inA) a = border(inside, a);
        if (!inB) b = border(inside, b);
        const double a0 = std::atan2(e.y0 + a * uy - f.cy, e.x0 + a * ux - f.cx);
        const double a1 = std::atan2(e.y0 + b * uy - f.cy, e.x0 + b * ux - f.cx);
        double da = std::fabs(a1 - a0);
        if (da > geomtest::kPi) da = turn - da;
        total += (b - a) + f.r * da;
      }
    }
  }
  return total;
}

// Every thin part of a boundary given as segments and arcs.
inline double thinBoundaryLength(const std::vector<Segment> &segments, const std::vector<Arc> &arcs, double width) {
  return thinLength(segments, width) + thinArcLength(arcs, width) + thinCuspLength(segments, arcs, width);
}

// A result as the library may give it: contours of less than kSliver may
// be dropped or kept, so any area from low to high is right, and any
// perimeter from the one without them to the one with them.  `segments`
// and `arcs` hold the pieces of the kept contours' boundary, the small ones'
// apart, for their thin parts.
struct Expected {
  double kept = 0;  // every small contour dropped
  double low = 0, high = 0;
  double perimeter = 0, perimeterHigh = 0;
  std::vector<Segment> segments, smallSegments;
  std::vector<Arc> arcs, smallArcs;
  bool accepts(double area, double tol) const { return area >= low - tol && area <= high + tol; }
  // The perimeter of a library result as it is, or both without their thin
  // parts (which are the only parts whose length moves much when a vertex
  // moves within the tolerance).  `width` is twice the overlay's tolerance.
  // The overlay moves edges by up to about half the width, so a sliver whose
  // width grows slowly is thin over a stretch of the result that is longer or
  // shorter than the exact one: the reference's thin parts are taken from
  // half to one and a half times the width.  The small contours the result
  // may drop or keep are measured with and without.
  template <class F>
  bool acceptsPerimeter(double length, F thinOfResult, double width, double tol) const {
    if (length >= perimeter - tol && length <= perimeterHigh + tol) return true;
    std::vector<Segment> allSegments = segments;
    allSegments.insert(allSegments.end(), smallSegments.begin(), smallSegments.end());
    std::vector<Arc> allArcs = arcs;
    allArcs.insert(allArcs.end(), smallArcs.begin(), smallArcs.end());
    const auto rest = [&](bool all, double w) {
      return all ? perimeterHigh - thinBoundaryLength(allSegments, allArcs, w)
                 : perimeter - thinBoundaryLength(segments, arcs, w);
    };
    const double ofResult = length - thinOfResult();
    return ofResult >= std::min(rest(false, 1.5 * width), rest(true, 1.5 * width)) - tol &&
           ofResult <= std::max(rest(false, 0.5 * width), rest(true, 0.5 * width)) + tol;
  }
};

template <class PolygonWithHolesT>
Expected measure(const std::list<PolygonWithHolesT> &result) {
  Expected e;
  for (const auto &pwh : result) {
    // The outer boundary counter-clockwise, the holes clockwise.
    std::vector<Piece<typename std::decay_t<decltype(pieces(pwh.outer_boundary()))>::value_type::Point>> all;
    const auto add = [&all](auto boundary, double sign) {
      double sum = 0;
      for (const auto &p : boundary) sum += p.area;
      for (const auto &p : boundary) all.push_back(sum * sign < 0 ? reversed(p) : p);
    };
    add(pieces(pwh.outer_boundary()), 1);
    for (auto h = pwh.holes_begin(); h != pwh.holes_end(); ++h) add(pieces(*h), -1);
    for (const auto &whole : contoursOf(all))
      for (const auto &loop : simpleLoops(whole)) {
        double length = 0;
        const double a = loop.area;
        const bool small = std::fabs(a) < kSliver;
        for (const auto &piece : loop.pieces) {
          length += piece.length;
          if (piece.straight)
            (small ? e.smallSegments : e.segments).push_back({piece.x0, piece.y0, piece.x1, piece.y1});
          else
            (small ? e.smallArcs : e.arcs)
                .push_back({piece.cx, piece.cy, piece.r, std::atan2(piece.y0 - piece.cy, piece.x0 - piece.cx),
                            piece.ccw ? piece.turn : -piece.turn});
        }
        if (std::fabs(a) >= kSliver) e.kept += a, e.perimeter += length;
        e.perimeterHigh += length;
        (a < 0 ? e.low : e.high) += std::fabs(a) < kSliver ? a : 0;
      }
  }
  e.low += e.kept;
  e.high += e.kept;
  return e;
}

template <class Set>
Expected combined(Set s, const Set &b, Op op) {
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

inline bool hasArcs(const Operand &o) {
  return std::any_of(o.begin(), o.end(), [](const Ring &r) { return hasArcs(r); });
}

// The simple lobes of a ring of straight edges that may touch itself: a
// vertex on one of its own edges is put into that edge, and the ring is cut
// wherever it passes a point twice.
inline std::vector<Ring> lobes(const Ring &r, bool *degenerate = nullptr) {
  std::vector<Ring> out;
  std::vector<K::Point_2> pts;
  for (const Node &n : r) pts.emplace_back(n.x, n.y);
  std::vector<size_t> order;  // indices into r, with vertices put into edges
  for (size_t i = 0; i < r.size(); ++i) {
    const K::Point_2 &a = pts[i], &b = pts[(i + 1) % r.size()];
    order.push_back(i);
    std::vector<size_t> on;
    for (size_t k = 0; k < r.size(); ++k)
      if (pts[k] != a && pts[k] != b && CGAL::collinear(a, b, pts[k]) && CGAL::collinear_are_strictly_ordered_along_line(a, pts[k], b))
        on.push_back(k);
    std::sort(on.begin(), on.end(), [&](size_t u, size_t v) { return CGAL::has_smaller_distance_to_point(a, pts[u], pts[v]); });
    order.insert(order.end(), on.begin(), on.end());
  }
  // Cut at repeated points, innermost loops first.
  std::vector<size_t> stack;
  for (size_t k = 0; k <= order.size(); ++k) {
    const size_t i = order[k % order.size()];
    size_t j = stack.size();
    while (j > 0 && pts[stack[j - 1]] != pts[i]) --j;
    if (j == 0) {
      stack.push_back(i);
      continue;
    }
    Ring lobe;
    for (size_t m = j - 1; m < stack.size(); ++m) lobe.push_back(r[stack[m]]);
    if (lobe.size() >= 3)
      out.push_back(lobe);
    else if (degenerate && k < order.size())
      *degenerate = true;  // a stretch run out and back
    stack.resize(j);
  }
  return out;
}

inline std::vector<Ring> lobes(const Operand &o, bool *degenerate = nullptr) {
  std::vector<Ring> out;
  for (const Ring &r : o)
    for (Ring &l : lobes(r, degenerate)) out.push_back(std::move(l));
  return out;
}

// Area of the region a ring bounds.
inline double exactArea(const Ring &r) {
  return hasArcs(r) ? boundaryArea(exactCircleSegments(r)) : boundaryArea(exactPolygon(r));
}

// The area an operand bounds: its lobes' (which do not overlap).
inline double exactArea(const Operand &o) {
  if (hasArcs(o)) return exactArea(o.front());
  double sum = 0;
  for (const Ring &l : lobes(o)) sum += exactArea(l);
  return sum;
}

inline PolygonSet exactSet(const Operand &o) {
  PolygonSet s;
  for (const Ring &l : lobes(o)) s.join(exactPolygon(l));
  return s;
}

// A of B: A op B.  An operand with arcs is one ring.
inline Expected reference(const Operand &a, const Operand &b, Op op) {
  if (hasArcs(a) || hasArcs(b)) return combined(CsSet(exactCircleSegments(a.front())), CsSet(exactCircleSegments(b.front())), op);
  return combined(exactSet(a), exactSet(b), op);
}

// The area of A op B without the contours the library drops.
inline double referenceArea(const Operand &a, const Operand &b, Op op) { return reference(a, b, op).kept; }

// An operand the booleans take: one valid ring with arcs, or rings of
// straight edges whose lobes are simple, counter-clockwise and do not
// overlap (they may touch).
inline bool validOperand(const Operand &o) {
  if (o.empty()) return false;
  if (hasArcs(o)) return o.size() == 1 && validRing(o.front());
  double sum = 0;
  for (const Ring &r : o)
    if (r.size() < 3) return false;
  bool degenerate = false;
  const std::vector<Ring> parts = lobes(o, &degenerate);
  if (degenerate) return false;
  for (const Ring &l : parts) {
    const Polygon p = exactPolygon(l);
    if (!p.is_simple() || p.orientation() != CGAL::COUNTERCLOCKWISE) return false;
    sum += exactArea(l);
  }
  const Expected whole = combined(exactSet(o), PolygonSet(), Op::Union);
  return std::fabs(whole.high - sum) <= 1e-12 * std::max(1.0, sum);
}

}  // namespace kiv::geomexact
