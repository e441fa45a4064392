// Families of shape pairs for the differential tests of the booleans, drawn
// from a seed: the same pairs on every compiler and standard library.  Every
// ring is one counter-clockwise outer contour of 3 to 12 vertices, checked
// in exact arithmetic, but in the figure-eight, touching and dense
// families, whose operands hold contours that touch themselves or each
// other, and in the dense one, whose edges are cut in many; arcs end
// exactly on their circles, as all their coordinates and radii are doubles
// built from Pythagorean triples, small integers and powers of two without
// rounding.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "tests/geometry_exact/exact_reference.hpp"

namespace kiv::geomexact {

// splitmix64: its draws depend on nothing but the seed.
class Rng {
 public:
  explicit Rng(uint64_t seed) : s_(seed) {}
  uint64_t next() {
    uint64_t z = (s_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  double uniform(double a, double b) { return a + (b - a) * uniform(); }
  // lo..hi, both included.
  long integer(long lo, long hi) { return lo + static_cast<long>(next() % static_cast<uint64_t>(hi - lo + 1)); }
  bool chance(double p) { return uniform() < p; }
  template <class T>
  const T &pick(const std::vector<T> &v) {
    return v[static_cast<size_t>(integer(0, static_cast<long>(v.size()) - 1))];
  }

 private:
  uint64_t s_;
};

// The cells have a reference of their own (cells.hpp): they are not among
// the families measured against the exact one.
enum class Family {
  General, Grid, Perturbed, Copies, Arcs, Tangent, SameEnds, Concentric, FigureEight, Touching, Dense, Cells
};
inline constexpr Family kFamilies[] = {Family::General,    Family::Grid,     Family::Perturbed, Family::Copies,
                                       Family::Arcs,       Family::Tangent,  Family::SameEnds,  Family::Concentric,
                                       Family::FigureEight, Family::Touching, Family::Dense};
inline const char *familyName(Family f) {
  static constexpr const char *names[] = {"general", "grid",      "perturbed",  "copies",   "arcs",    "tangent",
                                          "same-ends", "concentric", "figure-8", "touching", "dense",   "cells"};
  return names[static_cast<int>(f)];
}
inline const char *familyTitle(Family f) {
  static constexpr const char *titles[] = {"polygons in general position",
                                           "polygons on a coarse grid",
                                           "grid polygons, vertices moved by 1e-12..1e-9 relative",
                                           "a polygon and a moved, turned, mirrored or relisted copy, or sharing edges",
                                           "arcs in general position",
                                           "an arc tangent to a segment",
                                           "two arcs through the same two end points",
                                           "concentric arcs of equal radius, one shape moved by 0 or 2^-n",
                                           "a contour touching itself at a vertex, on, near or away from the other",
                                           "two contours touching at a corner or along an edge, a vertex on its own edge",
                                           "the figure-8, touching, copies or perturbed pairs, edges cut in 16",
                                           "unions of grid cells, as they are, moved far, scaled or turned"};
  return titles[static_cast<int>(f)];
}

struct Pair {
  Operand a, b;
};

namespace gen {

struct Xy {
  double x, y;
};
inline Xy operator+(Xy p, Xy q) { return {p.x + q.x, p.y + q.y}; }
inline Xy operator-(Xy p, Xy q) { return {p.x - q.x, p.y - q.y}; }
inline Xy operator*(double s, Xy p) { return {s * p.x, s * p.y}; }
inline Node vertex(Xy p) { return {p.x, p.y}; }

inline double toGrid(double v, int bits) { return std::ldexp(std::round(std::ldexp(v, bits)), -bits); }

// ---- Polygons -------------------------------------------------------------

// Star-shaped around c: sorted angles whose gaps stay below pi keep c inside
// and the ring simple.  Coordinates rounded to multiples of 2^-bits.
inline Ring starPolygon(Rng &rng, Xy c, double rmin, double rmax, int bits) {
  const int n = static_cast<int>(rng.integer(3, 12));
  std::vector<double> angles;
  for (;;) {
    angles.clear();
    for (int i = 0; i < n; ++i) angles.push_back(rng.uniform(0, 2 * geomtest::kPi));
    std::sort(angles.begin(), angles.end());
    double gap = angles.front() + 2 * geomtest::kPi - angles.back();
    for (int i = 1; i < n; ++i) gap = std::max(gap, angles[i] - angles[i - 1]);
    if (gap < 0.9 * geomtest::kPi) break;
  }
  Ring r;
  for (double t : angles) {
    const double rho = rng.uniform(rmin, rmax);
    r.push_back({toGrid(c.x + rho * std::cos(t), bits), toGrid(c.y + rho * std::sin(t), bits)});
  }
  return r;
}

// Integer vertices in 0..12 around a centre between grid points, sorted by
// their direction from it; points in the same direction are dropped.  An
// empty ring when the directions leave a gap of half a turn or more.
inline Ring gridPolygon(Rng &rng) {
  if (rng.chance(0.25)) {
    const double x0 = static_cast<double>(rng.integer(0, 9)), y0 = static_cast<double>(rng.integer(0, 9));
    const double x1 = x0 + static_cast<double>(rng.integer(1, 12 - static_cast<long>(x0)));
    const double y1 = y0 + static_cast<double>(rng.integer(1, 12 - static_cast<long>(y0)));
    return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
  }
  const Xy c{static_cast<double>(rng.integer(3, 8)) + 0.5, static_cast<double>(rng.integer(3, 8)) + 0.5};
  std::vector<std::pair<double, Xy>> pts;
  const int n = static_cast<int>(rng.integer(3, 12));
  for (int i = 0; i < n; ++i) {
    const double t = rng.uniform(0, 2 * geomtest::kPi), rho = rng.uniform(1.5, 6);
    const Xy p{std::clamp(std::round(c.x + rho * std::cos(t)), 0.0, 12.0),
               std::clamp(std::round(c.y + rho * std::sin(t)), 0.0, 12.0)};
    pts.push_back({std::atan2(p.y - c.y, p.x - c.x), p});
  }
  std::sort(pts.begin(), pts.end(), [](const auto &u, const auto &v) { return u.first < v.first; });
  Ring r;
  for (const auto &[t, p] : pts) {
    if (!r.empty()) {
      const Xy u = Xy{r.back().x, r.back().y} - c, v = p - c;
      if (u.x * v.y - u.y * v.x == 0 && u.x * v.x + u.y * v.y > 0) continue;
    }
    r.push_back(vertex(p));
  }
  if (r.size() >= 2) {
    const Xy u = Xy{r.back().x, r.back().y} - c, v = Xy{r.front().x, r.front().y} - c;
    if (u.x * v.y - u.y * v.x == 0 && u.x * v.x + u.y * v.y > 0) r.pop_back();
  }
  for (size_t i = 0; i < r.size(); ++i) {
    const Xy u = Xy{r[i].x, r[i].y} - c, v = Xy{r[(i + 1) % r.size()].x, r[(i + 1) % r.size()].y} - c;
    if (u.x * v.y - u.y * v.x <= 0) return {};
  }
  return r.size() >= 3 ? r : Ring{};
}

inline Ring perturbed(Rng &rng, Ring r) {
  for (Node &n : r)
    for (double *v : {&n.x, &n.y}) *v *= 1 + (rng.chance(0.5) ? 1 : -1) * std::pow(10.0, rng.uniform(-12, -9));
  return r;
}

inline Ring relisted(const Ring &r, size_t from) {
  Ring out(r.begin() + static_cast<long>(from), r.end());
  out.insert(out.end(), r.begin(), r.begin() + static_cast<long>(from));
  return out;
}

template <class F>
Ring mapped(const Ring &r, F f) {
  Ring out;
  for (const Node &n : r) out.push_back(vertex(f(Xy{n.x, n.y})));
  return out;
}

// A and a copy, or a polygon on some of A's edges.  Coordinates of A are
// integers or multiples of 2^-20 so that every move below is exact; only
// the relisted copy takes any doubles.
inline Pair copyPair(Rng &rng) {
  const int variant = static_cast<int>(rng.integer(0, 6));
  const int bits = rng.chance(0.5) ? 20 : 52;
  const Xy c{toGrid(rng.uniform(4, 8), 20), toGrid(rng.uniform(4, 8), 20)};
  const bool onGrid = variant > 0 && variant != 4 && rng.chance(0.4);
  Ring a = onGrid ? gridPolygon(rng) : starPolygon(rng, c, 1, 5, variant == 0 ? bits : 20);
  if (a.empty()) return {};
  const size_t n = a.size(), k = static_cast<size_t>(rng.integer(0, static_cast<long>(n) - 1));
  const Xy pk{a[k].x, a[k].y}, pn{a[(k + 1) % n].x, a[(k + 1) % n].y};
  switch (variant) {
    case 0:  // the same ring from another vertex (or the same one)
      return {a, relisted(a, k)};
    case 1: {  // moved by a small grid vector or along one of its edges
      const double t = rng.pick(std::vector<double>{0.25, 0.5, 1, -0.5, -1});
      const Xy v = rng.chance(0.5) ? Xy{double(rng.integer(-3, 3)), double(rng.integer(-3, 3))} : t * (pn - pk);
      return {a, relisted(mapped(a, [v](Xy p) { return p + v; }), static_cast<size_t>(rng.integer(0, long(n) - 1)))};
    }
    case 2: {  // turned by a quarter, half or three quarters about a vertex
      const int q = static_cast<int>(rng.integer(1, 3));
      return {a, mapped(a, [q, pk](Xy p) {
                for (int i = 0; i < q; ++i) p = pk + Xy{-(p - pk).y, (p - pk).x};
                return p;
              })};
    }
    case 3: {  // mirrored at a line through a vertex, listed backwards to stay counter-clockwise
      const bool vertical = rng.chance(0.5);
      Ring m = mapped(a, [vertical, pk](Xy p) { return vertical ? Xy{2 * pk.x - p.x, p.y} : Xy{p.x, 2 * pk.y - p.y}; });
      std::reverse(m.begin(), m.end());
      return {a, m};
    }
    case 4: {  // a chain of A's edges closed inside A by its centre
      Ring fan{vertex(c)};
      const size_t len = static_cast<size_t>(rng.integer(1, long(n) - 1));
      for (size_t i = 0; i <= len; ++i) fan.push_back(a[(k + i) % n]);
      return {a, fan};
    }
    default: {  // an edge of A shared (possibly extended) by a polygon outside it
      const Xy d = pn - pk, out{d.y, -d.x};
      const double e0 = rng.pick(std::vector<double>{0, 0, 0.25, -0.25}),
                   e1 = rng.pick(std::vector<double>{0, 0, 0.25, -0.25});
      const double h = rng.pick(std::vector<double>{0.25, 0.5, 1});
      const Xy s = pn + e1 * d, t = pk - e0 * d;
      Ring b{vertex(s), vertex(t)};
      if (rng.chance(0.5))
        b.push_back(vertex(0.5 * (s + t) + h * out));
      else {
        b.push_back(vertex(t + h * out));
        b.push_back(vertex(s + h * out));
      }
      return {a, b};
    }
  }
}

// ---- Arcs -----------------------------------------------------------------
//
// Shapes with arcs are laid out in a local frame of small integers (and
// halves or quarters), then turned by a Gaussian integer (a, b), which
// scales by c = hypot(a, b), moved by an integer vector and scaled by 2^-k.
// Every step is exact in doubles, so lattice points of a circle of integer
// radius stay exactly on its image.

struct Frame {
  long a = 1, b = 0, c = 1;
  double tx = 0, ty = 0;
  int k = 0;
  Xy map(Xy p) const {
    return {std::ldexp(double(a) * p.x - double(b) * p.y + tx, -k),
            std::ldexp(double(b) * p.x + double(a) * p.y + ty, -k)};
  }
  double scale(double r) const { return std::ldexp(r * double(c), -k); }
};

// A frame that brings a local circle of radius r about the origin to a
// radius of about 2..8 and its centre near `at`.
inline Frame randomFrame(Rng &rng, double r, Xy at) {
  static constexpr long turns[][3] = {{1, 0, 1},   {0, 1, 1},   {3, 4, 5},   {4, 3, 5},   {5, 12, 13},
                                      {12, 5, 13}, {8, 15, 17}, {15, 8, 17}, {7, 24, 25}, {20, 21, 29}};
  const auto &g = turns[rng.integer(0, 9)];
  Frame f;
  const long sa = rng.chance(0.5) ? 1 : -1, sb = rng.chance(0.5) ? 1 : -1;
  f.a = sa * g[0];
  f.b = sb * g[1];
  f.c = g[2];
  f.k = static_cast<int>(std::ceil(std::log2(r * double(f.c) / rng.uniform(2, 8))));
  f.tx = std::round(std::ldexp(at.x, f.k));
  f.ty = std::round(std::ldexp(at.y, f.k));
  return f;
}

struct Circle {
  Xy o;
  long r;
};

// Lattice points of the circle, counter-clockwise from angle 0.
inline std::vector<Xy> latticePoints(const Circle &c) {
  std::vector<std::pair<double, Xy>> pts;
  for (long x = -c.r; x <= c.r; ++x) {
    const long y = std::lround(std::sqrt(double(c.r * c.r - x * x)));
    if (x * x + y * y != c.r * c.r) continue;
    for (long s : {1L, -1L}) {
      if (s < 0 && y == 0) continue;
      const double t = std::atan2(double(s * y), double(x));
      pts.push_back({t < 0 ? t + 2 * geomtest::kPi : t, Xy{c.o.x + double(x), c.o.y + double(s * y)}});
    }
  }
  std::sort(pts.begin(), pts.end(), [](const auto &u, const auto &v) { return u.first < v.first; });
  std::vector<Xy> out;
  for (const auto &p : pts) out.push_back(p.second);
  return out;
}

inline constexpr long kRadii[] = {5, 10, 13, 15, 17, 25, 26, 29, 34, 65, 85};

inline int arcKind(Xy o, Xy p, Xy q, int dir) {
  const double cross = (p.x - o.x) * (q.y - o.y) - (p.y - o.y) * (q.x - o.x);
  const bool halfOrLess = cross == 0 || (cross > 0) == (dir == KIV_CCW);
  return halfOrLess ? KIV_ARC_MINOR : KIV_ARC_MAJOR;
}

// A local ring whose first edge is the arc of `c` from p to q.  Kinds:
// 0 the arc closed by its chord, 1 a counter-clockwise arc capping a
// trapezoid, 2 a sector, 3 a box with a clockwise bite from p to q, 4 the
// whole circle as two arcs (through p and q).
inline Ring arcShape(Rng &rng, const Circle &c, Xy p, Xy q, int type) {
  const double r = double(c.r);
  const int dir = type == 3 ? KIV_CW : KIV_CCW;
  const Node centre{c.o.x, c.o.y, r, arcKind(c.o, p, q, dir), dir};
  Ring ring{vertex(p), centre, vertex(q)};
  const Xy d = q - p, left{-d.y, d.x};
  const double len2 = d.x * d.x + d.y * d.y;
  switch (type) {
    case 0:
      break;
    case 1: {
      // The arc lies right of the chord p->q; the trapezoid left of it.
      const double h = toGrid(rng.uniform(0.2, 1.5) * r / std::sqrt(len2), 3);
      const double e0 = toGrid(rng.uniform(-0.3, 0.5), 2), e1 = toGrid(rng.uniform(-0.3, 0.5), 2);
      ring.push_back(vertex(q + h * left + e1 * d));
      ring.push_back(vertex(p + h * left - e0 * d));
      break;
    }
    case 2:
      ring.push_back(vertex(c.o));
      break;
    case 3: {
      // The bite lies left of the chord: a box along the chord holds it.
      double umin = 0, umax = 1, vmax = 0;
      for (int i = 0; i <= 64; ++i) {
        const double t0 = std::atan2(p.y - c.o.y, p.x - c.o.x), t1 = std::atan2(q.y - c.o.y, q.x - c.o.x);
        double sweep = t0 - t1;
        while (sweep <= 0) sweep += 2 * geomtest::kPi;
        const double t = t0 - sweep * i / 64;
        const Xy x = Xy{c.o.x + r * std::cos(t), c.o.y + r * std::sin(t)} - p;
        umin = std::min(umin, (x.x * d.x + x.y * d.y) / len2);
        umax = std::max(umax, (x.x * d.x + x.y * d.y) / len2);
        vmax = std::max(vmax, (x.x * left.x + x.y * left.y) / len2);
      }
      const double u0 = toGrid(umin - rng.uniform(0.1, 0.6), 3), u1 = toGrid(umax + rng.uniform(0.1, 0.6), 3);
      const double v = toGrid(vmax + rng.uniform(0.1, 0.8), 3);
      ring.push_back(vertex(p + u1 * d));
      ring.push_back(vertex(p + u1 * d + v * left));
      ring.push_back(vertex(p + u0 * d + v * left));
      ring.push_back(vertex(p + u0 * d));
      break;
    }
    default:
      ring.push_back({c.o.x, c.o.y, r, arcKind(c.o, q, p, KIV_CCW), KIV_CCW});
      break;
  }
  return ring;
}

inline Ring mapped(const Ring &r, const Frame &f) {
  Ring out;
  for (const Node &n : r) {
    const Xy p = f.map({n.x, n.y});
    out.push_back(n.kind ? Node{p.x, p.y, f.scale(n.r), n.kind, n.dir} : vertex(p));
  }
  return out;
}

inline Ring moved(Ring r, Xy v) {
  for (Node &n : r) n.x += v.x, n.y += v.y;
  return r;
}

// Two distinct lattice points of the circle, in order.
inline std::pair<Xy, Xy> chord(Rng &rng, const std::vector<Xy> &pts) {
  const long m = static_cast<long>(pts.size());
  const long i = rng.integer(0, m - 1), j = (i + rng.integer(1, m - 1)) % m;
  return {pts[size_t(i)], pts[size_t(j)]};
}

// Lattice points of the circle joined in turn, each edge the chord, the
// circle's own arc or that arc mirrored into the ring (a clockwise arc
// about the centre reflected through the chord's middle).
inline Ring inscribedShape(Rng &rng, const Circle &c) {
  const std::vector<Xy> pts = latticePoints(c);
  std::vector<Xy> corners;
  for (const Xy &p : pts)
    if (rng.chance(6.0 / double(pts.size()))) corners.push_back(p);
  Ring ring;
  for (size_t i = 0; i < corners.size(); ++i) {
    const Xy p = corners[i], q = corners[(i + 1) % corners.size()];
    ring.push_back(vertex(p));
    const int edge = static_cast<int>(rng.integer(0, 2));
    if (edge == 1) ring.push_back({c.o.x, c.o.y, double(c.r), arcKind(c.o, p, q, KIV_CCW), KIV_CCW});
    if (edge == 2) {
      const Xy m = p + q - c.o;
      ring.push_back({m.x, m.y, double(c.r), arcKind(m, p, q, KIV_CW), KIV_CW});
    }
  }
  return ring;
}

inline Ring randomArcShape(Rng &rng, const Circle &c, int typeHigh = 4) {
  if (typeHigh > 4 && rng.chance(0.3)) return inscribedShape(rng, c);
  const auto [p, q] = chord(rng, latticePoints(c));
  return arcShape(rng, c, p, q, static_cast<int>(rng.integer(0, std::min(typeHigh, 4))));
}

inline Pair arcPair(Rng &rng) {
  const Circle ca{{0, 0}, rng.pick(std::vector<long>(std::begin(kRadii), std::end(kRadii)))};
  const Circle cb{{0, 0}, rng.pick(std::vector<long>(std::begin(kRadii), std::end(kRadii)))};
  const Xy at{rng.uniform(4, 8), rng.uniform(4, 8)};
  Ring a = mapped(randomArcShape(rng, ca, 5), randomFrame(rng, double(ca.r), at));
  if (rng.chance(0.2)) return {a, starPolygon(rng, {rng.uniform(3, 9), rng.uniform(3, 9)}, 1, 5, 52)};
  const Xy bt{at.x + rng.uniform(-4, 4), at.y + rng.uniform(-4, 4)};
  return {a, mapped(randomArcShape(rng, cb, 5), randomFrame(rng, double(cb.r), bt))};
}

// A polygon with one edge on the tangent at the lattice point t of the
// circle (on either side of the line), and an arc shape whose arc passes
// through t or ends there.
inline Pair tangentPair(Rng &rng) {
  const Circle c{{0, 0}, rng.pick(std::vector<long>(std::begin(kRadii), std::end(kRadii)))};
  const std::vector<Xy> pts = latticePoints(c);
  const long m = static_cast<long>(pts.size()), it = rng.integer(0, m - 1);
  const Xy t = pts[size_t(it)], along{-t.y, t.x};
  // The arc from i0 to i1 (counter-clockwise along the list) covers t.
  const long back = rng.chance(0.15) ? 0 : rng.integer(1, m - 2);
  const long fwd = rng.chance(0.15) && back > 0 ? 0 : rng.integer(1, m - 1 - back);
  const Xy p = pts[size_t((it - back + m) % m)], q = pts[size_t((it + fwd) % m)];
  const int type = static_cast<int>(rng.pick(std::vector<long>{0, 1, 1, 2, 3, 4}));
  Ring a = type == 3 ? arcShape(rng, c, q, p, 3) : arcShape(rng, c, p, q, type);
  const double r = double(c.r);
  // Lengths in units of the radius: t and `along` are r long.
  const double lo = -toGrid(rng.uniform(0, 0.8), 3), hi = toGrid(rng.uniform(0, 0.8), 3);
  const double depth = toGrid(rng.uniform(0.05, 0.6), 5) * (rng.chance(0.5) ? 1 : -1);
  const Xy e0 = t + lo * along, e1 = t + (hi > lo ? hi : lo + 0.5) * along;
  Ring b{vertex(e0), vertex(e1)};
  if (rng.chance(0.3)) {
    b.push_back(vertex(0.5 * (e0 + e1) + depth * t));
  } else {
    b.push_back(vertex(e1 + depth * t));
    b.push_back(vertex(e0 + depth * t));
  }
  // Outwards (depth > 0) the ring runs clockwise as listed.
  if (depth > 0) std::reverse(b.begin(), b.end());
  const Frame f = randomFrame(rng, r, {rng.uniform(4, 8), rng.uniform(4, 8)});
  Pair pr{mapped(a, f), mapped(b, f)};
  if (rng.chance(0.5)) std::swap(pr.a, pr.b);
  return pr;
}

// Two circles through (0, h) and (0, -h) with centres (x1, 0) and (x2, 0):
// h is a leg of several Pythagorean triples.  The mirrored pair (x2 = -x1)
// is the lens of equal radii.
inline Pair sameEndsPair(Rng &rng) {
  const long h = rng.pick(std::vector<long>{12, 15, 20, 24, 30, 60});
  std::vector<long> legs{0};
  for (long x = 1; x <= 4 * h; ++x) {
    const long s = std::lround(std::sqrt(double(x * x + h * h)));
    if (s * s == x * x + h * h && s <= 150) legs.push_back(x), legs.push_back(-x);
  }
  const long x1 = rng.pick(legs);
  long x2 = rng.chance(0.4) ? -x1 : rng.pick(legs);
  while (x2 == x1) x2 = rng.pick(legs);
  const auto radius = [h](long x) { return std::lround(std::sqrt(double(x * x + h * h))); };
  const Xy top{0, double(h)}, bottom{0, double(-h)};
  const auto side = [&](long x) {
    const Circle c{{double(x), 0}, radius(x)};
    const int type = static_cast<int>(rng.integer(0, 4));
    return rng.chance(0.5) ? arcShape(rng, c, top, bottom, type) : arcShape(rng, c, bottom, top, type);
  };
  Ring a = side(x1), b = side(x2);
  const Frame f = randomFrame(rng, double(std::max(radius(x1), radius(x2))), {rng.uniform(4, 8), rng.uniform(4, 8)});
  return {mapped(a, f), mapped(b, f)};
}

// Two arc shapes on one circle, the second moved by nothing or by 2^-n in
// x, y or both.
inline Pair concentricPair(Rng &rng) {
  const Circle c{{0, 0}, rng.pick(std::vector<long>(std::begin(kRadii), std::end(kRadii)))};
  const Frame f = randomFrame(rng, double(c.r), {rng.uniform(4, 8), rng.uniform(4, 8)});
  Ring a = mapped(randomArcShape(rng, c), f), b = mapped(randomArcShape(rng, c), f);
  if (rng.chance(0.8)) {
    const double step = std::ldexp(1.0, -static_cast<int>(rng.pick(std::vector<long>{30, 30, 34, 40, 45})));
    const int axes = static_cast<int>(rng.integer(1, 3));
    b = moved(b, {axes & 1 ? (rng.chance(0.5) ? step : -step) : 0, axes & 2 ? (rng.chance(0.5) ? step : -step) : 0});
  }
  return {a, b};
}

// ---- Contours touching themselves or each other -------------------------

// A fan of 2..4 grid points about the apex t, at angles within half a turn
// about `towards`: with the apex, a counter-clockwise simple lobe.
inline std::vector<Xy> fan(Rng &rng, Xy t, double towards) {
  const int n = static_cast<int>(rng.integer(2, 4));
  std::vector<double> angles;
  for (int i = 0; i < n; ++i) angles.push_back(towards + rng.uniform(-0.45, 0.45) * geomtest::kPi);
  std::sort(angles.begin(), angles.end());
  std::vector<Xy> out;
  for (double a : angles) {
    const double rho = rng.uniform(1.5, 6);
    out.push_back({std::round(t.x + rho * std::cos(a)), std::round(t.y + rho * std::sin(a))});
  }
  return out;
}

// A ring through the grid point t twice, its two lobes on either side.
inline Ring figureEight(Rng &rng, Xy t) {
  const double towards = rng.uniform(0, 2 * geomtest::kPi);
  Ring r{vertex(t)};
  for (Xy p : fan(rng, t, towards)) r.push_back(vertex(p));
  r.push_back(vertex(t));
  for (Xy p : fan(rng, t, towards + geomtest::kPi)) r.push_back(vertex(p));
  return r;
}

// A figure eight against a shape whose boundary passes through its touch
// point (an edge through it, or a vertex at it), or does so moved by
// 1e-12..1e-9, or a grid polygon anywhere.
inline Pair figureEightPair(Rng &rng) {
  const Xy t{double(rng.integer(4, 8)), double(rng.integer(4, 8))};
  const Ring a = figureEight(rng, t);
  const int variant = static_cast<int>(rng.integer(0, 4));
  Ring b;
  if (variant == 0 || variant == 2) {  // an edge through t
    const Xy d{double(rng.integer(-2, 2)), double(rng.integer(-2, 2))};
    const double back = double(rng.integer(1, 3)), ahead = double(rng.integer(1, 3));
    const Xy p = t - back * d, q = t + ahead * d;
    b = {vertex(p), vertex(q)};
    for (Xy f : fan(rng, q, std::atan2(d.y, d.x) + geomtest::kPi / 2)) b.push_back(vertex(f));
    // The fan about q may wind back past p: the validity check drops those.
  } else if (variant == 1 || variant == 3) {  // a vertex at t
    b = {vertex(t)};
    for (Xy f : fan(rng, t, rng.uniform(0, 2 * geomtest::kPi))) b.push_back(vertex(f));
  }
  if (variant == 2 || variant == 3) b = perturbed(rng, b);
  if (variant == 4) b = gridPolygon(rng);
  return rng.chance(0.5) ? Pair{a, b} : Pair{b, a};
}

inline Ring rectangle(double x0, double y0, double x1, double y1) { return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}; }

// Two grid rectangles touching at a corner or along part of an edge, or one
// ring with a vertex on its own edge; against a grid polygon, a rectangle
// with an edge through the touch, or a copy moved by a little.
inline Pair touchingPair(Rng &rng) {
  const auto coord = [&rng](long lo, long hi) { return double(rng.integer(lo, hi)); };
  const double x0 = coord(1, 5), y0 = coord(1, 5), x1 = x0 + coord(1, 4), y1 = y0 + coord(1, 4);
  Operand a;
  Xy touch{x1, y1};
  switch (rng.integer(0, 2)) {
    case 0:  // at a corner
      a = {rectangle(x0, y0, x1, y1), rectangle(x1, y1, x1 + coord(1, 4), y1 + coord(1, 4))};
      break;
    case 1: {  // along part of an edge
      const double y2 = y0 + coord(-2, 2), y3 = std::max(y2, y0) + coord(1, 4);
      a = {rectangle(x0, y0, x1, y1), rectangle(x1, y2, x1 + coord(1, 4), y3)};
      touch = {x1, std::max(y0, y2)};
      break;
    }
    default: {  // a vertex on its own edge: two triangles
      const double xm = x0 + 0.5 * (x1 - x0) * coord(1, 1);
      a = {Ring{{x0, y0}, {x1, y0}, {x1, y1}, {xm, y0}, {x0, y1}}};
      touch = {xm, y0};
      break;
    }
  }
  if (rng.chance(0.5)) std::swap(a[0], a.back());
  Operand b;
  switch (rng.integer(0, 3)) {
    case 0:
      b = gridPolygon(rng);
      break;
    case 1:  // an edge through the touch point
      b = rng.chance(0.5) ? rectangle(touch.x, touch.y - coord(1, 4), touch.x + coord(1, 4), touch.y + coord(1, 4))
                          : rectangle(touch.x - coord(1, 4), touch.y, touch.x + coord(1, 4), touch.y + coord(1, 4));
      break;
    case 2:  // a corner at the touch point
      b = rectangle(touch.x - coord(1, 3), touch.y - coord(1, 3), touch.x, touch.y);
      break;
    default: {  // the touching shape itself, moved by a grid step or by 2^-n
      const double step = rng.chance(0.5) ? 1.0 : std::ldexp(1.0, -static_cast<int>(rng.integer(28, 40)));
      const Xy v{step * coord(-1, 1), step * coord(-1, 1)};
      for (const Ring &r : a) b.push_back(mapped(r, [v](Xy p) { return p + v; }));
      break;
    }
  }
  return rng.chance(0.5) ? Pair{a, b} : Pair{b, a};
}

inline Pair draw(Family family, Rng &rng) {
  switch (family) {
    case Family::General:
      return {starPolygon(rng, {rng.uniform(3, 9), rng.uniform(3, 9)}, 1, 5, 52),
              starPolygon(rng, {rng.uniform(3, 9), rng.uniform(3, 9)}, 1, 5, 52)};
    case Family::Grid:
      return {gridPolygon(rng), gridPolygon(rng)};
    case Family::Perturbed:
      return {perturbed(rng, gridPolygon(rng)), perturbed(rng, gridPolygon(rng))};
    case Family::Copies:
      return copyPair(rng);
    case Family::Arcs:
      return arcPair(rng);
    case Family::Tangent:
      return tangentPair(rng);
    case Family::SameEnds:
      return sameEndsPair(rng);
    case Family::Concentric:
      return concentricPair(rng);
    case Family::FigureEight:
      return figureEightPair(rng);
    case Family::Touching:
      return touchingPair(rng);
    case Family::Dense:  // cut from the others, in drawPair
    case Family::Cells:  // not drawn here: cells.hpp
      break;
  }
  return {};
}

}  // namespace gen

// Every straight edge cut into 16 pieces: at exact sixteenths where the
// coordinates allow, so that a contour keeps its line and its touch points.
inline Ring densified(const Ring &r) {
  Ring out;
  for (size_t i = 0; i < r.size(); ++i) {
    const Node &p = r[i], &q = r[(i + 1) % r.size()];
    out.push_back(p);
    if (p.kind || q.kind) continue;
    for (int k = 1; k < 16; ++k) out.push_back({p.x + (q.x - p.x) * k / 16, p.y + (q.y - p.y) * k / 16});
  }
  return out;
}

// Where a pair is put: scaled about the origin, turned about a point, moved.
// Each coordinate is worked out in extended precision and rounded once, so
// that corners two shapes share stay shared while the edges they share, and
// corners on edges, hold only to a rounding.  An arc keeps its kind and
// direction and its centre moves like a vertex: its ends then lie a
// rounding off its circle.
struct Placement {
  double scale = 1, angle = 0, cx = 0, cy = 0, dx = 0, dy = 0;
  gen::Xy operator()(double x, double y) const {
    const long double c = std::cos(angle), s = std::sin(angle);
    const long double u = static_cast<long double>(scale) * x - cx, v = static_cast<long double>(scale) * y - cy;
    return {static_cast<double>(cx + (c * u - s * v) + dx), static_cast<double>(cy + (s * u + c * v) + dy)};
  }
};

inline Operand placed(const Operand &o, const Placement &p) {
  Operand out = o;
  for (Ring &r : out)
    for (Node &n : r) {
      const gen::Xy q = p(n.x, n.y);
      n.x = q.x, n.y = q.y, n.r *= p.scale;
    }
  return out;
}

// Turned by a random angle about the origin or about a point of [0, span]^2.
inline Placement randomTurn(Rng &rng, double span) {
  Placement p;
  p.angle = rng.uniform(0, 2 * geomtest::kPi);
  if (rng.chance(0.5)) p.cx = rng.uniform(0, span), p.cy = rng.uniform(0, span);
  return p;
}

inline std::string placementText(const Placement &p) {
  char s[200];
  std::snprintf(s, sizeof s, "scaled by %.17g, turned by %.17g about (%.17g, %.17g), moved by (%.17g, %.17g)", p.scale,
                p.angle, p.cx, p.cy, p.dx, p.dy);
  return s;
}

// Draws pairs of the family until both rings are valid and of some size;
// *rejected (when given) counts the draws thrown away.
inline Pair drawPair(Family family, Rng &rng, long *rejected = nullptr) {
  if (family == Family::Dense) {
    // Enough edges that the overlay no longer brings every pair of a
    // shape's contours together; far off, only its own contours meet.
    static constexpr Family kBases[] = {Family::FigureEight, Family::Touching, Family::Copies, Family::Perturbed};
    for (;;) {
      Pair p = drawPair(kBases[rng.integer(0, 3)], rng, rejected);
      for (Operand *o : {&p.a, &p.b})
        for (Ring &r : *o) r = densified(r);
      if (rng.chance(0.5))
        for (Ring &r : p.b)
          for (Node &n : r) n.x += 24, n.y += 16;
      if (validOperand(p.a) && validOperand(p.b)) return p;
      if (rejected) ++*rejected;
    }
  }
  for (;;) {
    Pair p = gen::draw(family, rng);
    const bool touching = family == Family::FigureEight || family == Family::Touching;
    const auto fits = [touching](const Operand &o) {
      if (o.empty()) return false;
      if (touching) return validOperand(o) && exactArea(o) > 0.05;
      const Ring &r = o.front();
      size_t vertices = 0;
      for (const Node &n : r) vertices += n.kind == 0;
      return o.size() == 1 && vertices >= 2 && vertices <= 12 && validRing(r) && exactArea(r) > 0.05;
    };
    if (fits(p.a) && fits(p.b)) return p;
    if (rejected) ++*rejected;
  }
}

// A ring as C++ nodes with 17 digits, ready to paste into a test.
inline std::string ringText(const Ring &r) {
  std::string s = "{";
  char buf[160];
  for (const Node &n : r) {
    if (n.kind)
      std::snprintf(buf, sizeof buf, "{%.17g, %.17g, %.17g, %s, %s}", n.x, n.y, n.r,
                    n.kind == KIV_ARC_MINOR ? "KIV_ARC_MINOR" : "KIV_ARC_MAJOR",
                    n.dir == KIV_CCW ? "KIV_CCW" : "KIV_CW");
    else
      std::snprintf(buf, sizeof buf, "{%.17g, %.17g}", n.x, n.y);
    s += (s.size() > 1 ? ", " : "") + std::string(buf);
  }
  return s + "}";
}

inline std::string operandText(const Operand &o) {
  if (o.size() == 1) return ringText(o.front());
  std::string s = "{";
  for (const Ring &r : o) s += (s.size() > 1 ? ", " : "") + ringText(r);
  return s + "}";
}

// The library's shape of an operand, a path for each ring.
inline geomtest::Shape libraryShape(const Operand &o) {
  shape *s = create_shape();
  for (const Ring &r : o) {
    path *p = create_path();
    for (const Node &n : r) {
      if (n.kind)
        geomtest::addCentre(p, n.x, n.y, n.r, n.kind, n.dir);
      else
        add_last_xy_(p, n.x, n.y);
    }
    add_path(p, s);
  }
  return geomtest::own(s);
}

}  // namespace kiv::geomexact
