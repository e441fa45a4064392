// The library's union, intersection and removal of a pair against the exact
// reference, and the tally of a family.  A result is wrong when its status
// is OK and its area departs from the reference's by more than 1e-9 of the
// larger operand's area (an empty result included), contours below 0.001
// counted or not; its perimeter is wrong when, with the parts thinner than
// the overlay's tolerance taken out of both, it departs from the
// reference's by more than 1e-9 of the larger operand's perimeter; it has a
// spike when a contour turns back along itself or an edge is walked twice.
// Each pair is also turned by a random angle, and the result must then
// measure the same.
#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tests/geometry_exact/cells.hpp"

namespace kiv::geomexact {

inline constexpr double kRelativeTolerance = 1e-9;
inline constexpr int kStatuses = 6;  // KIV_BOOL_OK .. KIV_BOOL_NOT_FINITE

struct OpOutcome {
  int status = -1;
  double area = 0, want = 0;
  double perimeter = 0, wantPerimeter = 0;
  bool wrong = false, wrongPerimeter = false, spike = false;
  bool winding = false;  // the result's winding wrong somewhere inside or out
  double libraryMicros = 0, referenceMicros = 0;
  bool failed() const { return status != KIV_BOOL_OK || wrong || wrongPerimeter || spike || winding; }
};

inline shape *libraryOp(Op op, const shape *a, const shape *b, int *status) {
  switch (op) {
    case Op::Union:
      return union_shape_status_(a, b, status);
    case Op::Intersection:
      return intersection_shape_status_(a, b, status);
    case Op::Removal:
      return remove_shape_status_(a, b, status);
  }
  return nullptr;
}

inline double tolerance(const Operand &a, const Operand &b) {
  return kRelativeTolerance * std::max(std::fabs(exactArea(a)), std::fabs(exactArea(b)));
}

// The segments and arcs of a shape's contours.
inline void piecesOf(const shape *s, std::vector<Segment> &segments, std::vector<Arc> &arcs) {
  for (int i = 0; s && i < s->npaths; ++i) {
    const std::vector<point *> ring = geomtest::nodes(s->paths[i]);
    const size_t n = ring.size();
    for (size_t k = 0; k < n; ++k) {
      const point *p = ring[k], *q = ring[(k + 1) % n];
      if (p->arc) continue;
      if (!q->arc) {
        segments.push_back({p->x, p->y, q->x, q->y});
        continue;
      }
      const point *t = ring[(k + 2) % n];
      arcs.push_back(arcThrough(q->x, q->y, q->radius, p->x, p->y, t->x, t->y, q->direction == KIV_CCW));
    }
  }
}

// Length of the parts of a shape's contours thinner than `width`.
inline double thinLengthOf(const shape *s, double width) {
  std::vector<Segment> segments;
  std::vector<Arc> arcs;
  piecesOf(s, segments, arcs);
  return thinBoundaryLength(segments, arcs, width);
}

// Whether a contour of the shape turns back along itself (two straight
// edges in a row on one line, the second going back) or walks a straight
// edge twice: a stretch with the region on neither side.
inline bool hasSpike(const shape *s) {
  std::vector<std::pair<Node, Node>> all;
  for (int i = 0; s && i < s->npaths; ++i) {
    const std::vector<point *> ring = geomtest::nodes(s->paths[i]);
    const size_t n = ring.size();
    for (size_t k = 0; k < n; ++k) {
      const point *p = ring[k], *q = ring[(k + 1) % n], *r = ring[(k + 2) % n];
      if (p->arc || q->arc || r->arc) continue;
      const K::Point_2 a(p->x, p->y), b(q->x, q->y), c(r->x, r->y);
      if (n >= 3 && CGAL::collinear(a, b, c) && (b - a) * (c - b) < 0) return true;
    }
  }
  const auto key = [](const Segment &e) {
    std::array<double, 4> k{e.x0, e.y0, e.x1, e.y1};
    if (std::pair(k[2], k[3]) < std::pair(k[0], k[1])) k = {k[2], k[3], k[0], k[1]};
    return k;
  };
  std::vector<Segment> segments;
  std::vector<Arc> arcs;
  piecesOf(s, segments, arcs);
  std::vector<std::array<double, 4>> keys;
  for (const Segment &e : segments) keys.push_back(key(e));
  std::sort(keys.begin(), keys.end());
  return std::adjacent_find(keys.begin(), keys.end()) != keys.end();
}

// Whether two edges of the shape (two segments, or two arcs of one circle)
// run along each other both ways, no further apart than a rounding of the
// tolerance, over more than twice the tolerance: part of an edge walked
// twice.
inline bool retraces(const shape *s, double tol) {
  std::vector<Segment> edges;
  std::vector<Arc> arcs;
  piecesOf(s, edges, arcs);
  const auto lo = [](const Segment &e) { return std::min(e.x0, e.x1); };
  std::sort(edges.begin(), edges.end(), [&lo](const auto &a, const auto &b) { return lo(a) < lo(b); });
  for (size_t i = 0; i < edges.size(); ++i) {
    const Segment &e = edges[i];
    const double length = std::hypot(e.x1 - e.x0, e.y1 - e.y0), hi = std::max(e.x0, e.x1);
    if (!(length > 2 * tol)) continue;
    const double ux = (e.x1 - e.x0) / length, uy = (e.y1 - e.y0) / length;
    for (size_t j = i + 1; j < edges.size() && lo(edges[j]) <= hi + tol; ++j) {
      const Segment &f = edges[j];
      if ((f.x1 - f.x0) * ux + (f.y1 - f.y0) * uy >= 0) continue;
      const double s0 = (f.x0 - e.x0) * ux + (f.y0 - e.y0) * uy, s1 = (f.x1 - e.x0) * ux + (f.y1 - e.y0) * uy;
      const double d0 = ux * (f.y0 - e.y0) - uy * (f.x0 - e.x0), d1 = ux * (f.y1 - e.y0) - uy * (f.x1 - e.x0);
      if (std::fabs(d0) > tol / 64 || std::fabs(d1) > tol / 64) continue;
      if (std::min(std::max(s0, s1), length) - std::max(std::min(s0, s1), 0.0) > 2 * tol) return true;
    }
  }
  const double turn = 2 * geomtest::kPi;
  // An arc as the counter-clockwise angles it covers, from [0, turn).
  const auto start = [turn](const Arc &a) {
    const double lo = std::fmod(a.sweep >= 0 ? a.a0 : a.a0 + a.sweep, turn);
    return lo < 0 ? lo + turn : lo;
  };
  for (size_t i = 0; i < arcs.size(); ++i)
    for (size_t j = i + 1; j < arcs.size(); ++j) {
      const Arc &e = arcs[i], &f = arcs[j];
      if ((e.sweep >= 0) == (f.sweep >= 0) || std::hypot(f.cx - e.cx, f.cy - e.cy) + std::fabs(f.r - e.r) > tol / 64)
        continue;
      const double a = start(e), b = start(f);
      for (double shift : {-turn, 0.0, turn}) {
        const double overlap = std::min(a + std::fabs(e.sweep), b + shift + std::fabs(f.sweep)) - std::max(a, b + shift);
        if (overlap * e.r > 2 * tol) return true;
      }
    }
  return false;
}

inline double perimeterOf(const Operand &o) {
  const geomtest::Shape s = libraryShape(o);
  return perimeter2D_(s.get());
}

// The overlay's tolerance for the pair: 2^-36 of the largest distance from
// the origin.
inline double overlayTolerance(const Operand &a, const Operand &b) {
  double scale = 0;
  for (const Operand *o : {&a, &b})
    for (const Ring &r : *o)
      for (const Node &n : r) scale = std::max(scale, std::hypot(n.x, n.y) + n.r);
  return scale * 0x1p-36;
}

// The library's result of the operation on the pair against `e`: its
// area within `areaTolerance`, its perimeter within `lengthTolerance`
// once thin parts are set aside, no spike, and, where `misplaced` is given,
// not misplaced by it.
inline OpOutcome judged(const Operand &a, const Operand &b, Op op, const Expected &e, double areaTolerance,
                        double lengthTolerance, const std::function<bool(const shape *)> &misplaced = {}) {
  using Clock = std::chrono::steady_clock;
  OpOutcome o;
  const geomtest::Shape A = libraryShape(a), B = libraryShape(b);
  const auto t0 = Clock::now();
  const geomtest::Shape result(libraryOp(op, A.get(), B.get(), &o.status));
  o.libraryMicros = std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
  o.want = e.kept;
  o.wantPerimeter = e.perimeter;
  o.area = area2D_(result.get());
  o.perimeter = perimeter2D_(result.get());
  const bool ok = o.status == KIV_BOOL_OK;
  o.wrong = ok && !e.accepts(o.area, areaTolerance);
  const double width = 2 * overlayTolerance(a, b);
  if (ok && !std::isnan(e.perimeter)) {
    const auto thin = [&] { return thinLengthOf(result.get(), width); };
    o.wrongPerimeter = !e.acceptsPerimeter(o.perimeter, thin, width, lengthTolerance);
  }
  // A coordinate that is not finite makes the area wrong already; the exact
  // predicates below take none.
  if (!ok || !std::isfinite(o.area + o.perimeter)) return o;
  o.spike = hasSpike(result.get()) || retraces(result.get(), width / 2);
  o.winding = misplaced && misplaced(result.get());
  return o;
}

inline double perimeterTolerance(const Operand &a, const Operand &b) {
  return kRelativeTolerance * std::max(perimeterOf(a), perimeterOf(b));
}

// One operation on the pair.  `want` NaN: the reference decides.
inline OpOutcome evaluate(const Operand &a, const Operand &b, Op op, double want = std::nan(""),
                          double wantPerimeter = std::nan("")) {
  using Clock = std::chrono::steady_clock;
  const auto t0 = Clock::now();
  const Expected e =
      std::isnan(want) ? reference(a, b, op) : Expected{want, want, want, wantPerimeter, wantPerimeter, {}, {}, {}, {}};
  const auto t1 = Clock::now();
  OpOutcome o = judged(a, b, op, e, tolerance(a, b), perimeterTolerance(a, b));
  o.referenceMicros = std::chrono::duration<double, std::micro>(t1 - t0).count();
  return o;
}

// The winding number of closed contours about (x, y): the edges that cross
// the ray to the right of it upwards count one, downwards minus one.
inline int windingNumber(const std::vector<Segment> &edges, double x, double y) {
  int w = 0;
  for (const Segment &e : edges) {
    const double side = (e.x1 - e.x0) * (y - e.y0) - (x - e.x0) * (e.y1 - e.y0);
    if (e.y0 <= y && e.y1 > y && side > 0) ++w;
    if (e.y1 <= y && e.y0 > y && side < 0) --w;
  }
  return w;
}

// Whether the shape winds once about the centre of every cell of `want`
// inside and not at all about the other cells' of its box and of the cells
// round that box, the centres placed as `p` places them.  A result of
// straight edges holds no arc.
inline bool windsLike(const shape *s, const Cells &want, const Placement &p) {
  std::vector<Segment> edges;
  std::vector<Arc> arcs;
  piecesOf(s, edges, arcs);
  if (!arcs.empty()) return false;
  for (int y = want.y0 - 1; y <= want.y0 + want.h; ++y)
    for (int x = want.x0 - 1; x <= want.x0 + want.w; ++x) {
      const gen::Xy c = p(x + 0.5, y + 0.5);
      if (windingNumber(edges, c.x, c.y) != (want.at(x, y) ? 1 : 0)) return false;
    }
  return true;
}

// The failures of one operation, by kind.
struct Counts {
  long wrong = 0, wrongPerimeter = 0, spikes = 0, winding = 0;
  std::array<long, kStatuses> status{};
  void add(const OpOutcome &o) {
    if (o.status >= 0 && o.status < kStatuses) ++status[size_t(o.status)];
    wrong += o.wrong;
    wrongPerimeter += o.wrongPerimeter;
    spikes += o.spike;
    winding += o.winding;
  }
  long failedStatuses() const {
    long n = 0;
    for (size_t s = 1; s < kStatuses; ++s) n += status[s];
    return n;
  }
  long failed() const { return wrong + wrongPerimeter + spikes + winding + failedStatuses(); }
};

struct Tally {
  Family family = Family::General;
  long pairs = 0, rejected = 0;
  // By operation: the pairs as drawn (or placed without a turn), and turned.
  std::array<Counts, 3> plain, turned;
  std::array<std::vector<double>, 3> libraryMicros, referenceMicros;
  std::vector<std::string> failures;  // the first few, as text
  std::vector<std::pair<const char *, long>> byPlacement;  // failing operations, where placements vary

  long failed() const {
    long n = 0;
    for (size_t k = 0; k < 3; ++k) n += plain[k].failed() + turned[k].failed();
    return n;
  }
};

inline double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
  return v[v.size() / 2];
}

// `how`: where the pair was put, when it was.
inline std::string failureText(Family f, long index, const Operand &a, const Operand &b, Op op, const OpOutcome &o,
                               const std::string &how = "") {
  char head[320];
  std::snprintf(head, sizeof head,
                "%s pair %ld, %s: status %d, area %.17g, reference %.17g, perimeter %.17g, reference %.17g%s%s\n",
                familyName(f), index, opName(op), o.status, o.area, o.want, o.perimeter, o.wantPerimeter,
                o.spike ? ", spike" : "", o.winding ? ", winding wrong" : "");
  return head + (how.empty() ? "" : "  " + how + "\n") + "  A = " + operandText(a) + "\n  B = " + operandText(b) + "\n";
}

// The cells family: every pair under each placement, both ways round, each
// result against its cells.  The first `keep` failures are kept as text.
inline Tally runCells(uint64_t seed, long pairs, size_t keep = 3) {
  Tally t;
  t.family = Family::Cells;
  for (const char *name : kCellPlacementNames) t.byPlacement.push_back({name, 0});
  Rng rng(seed);
  for (long i = 0; i < pairs; ++i) {
    const CellPair p = drawCells(rng, &t.rejected);
    ++t.pairs;
    const std::array<Placement, kCellPlacements> where = cellPlacements(rng, p);
    for (size_t w = 0; w < kCellPlacements; ++w)
      for (const bool swapped : {false, true}) {
        const Cells &a = swapped ? p.b : p.a, &b = swapped ? p.a : p.b;
        const Operand &ca = swapped ? p.cb : p.ca, &cb = swapped ? p.ca : p.cb;
        const Operand A = placed(ca, where[w]), B = placed(cb, where[w]);
        const double s = where[w].scale;
        const double areaTolerance = kRelativeTolerance * double(std::max(a.count(), b.count())) * s * s;
        const double lengthTolerance = kRelativeTolerance * double(std::max(boundaryEdges(a), boundaryEdges(b))) * s;
        for (size_t k = 0; k < 3; ++k) {
          const Cells r = cellwise(a, b, kOps[k]);
          const double area = double(r.count()) * s * s, perimeter = double(boundaryEdges(r)) * s;
          const Expected e{area, area, area, perimeter, perimeter, {}, {}, {}, {}};
          const OpOutcome o = judged(A, B, kOps[k], e, areaTolerance, lengthTolerance,
                                     [&](const shape *result) { return !windsLike(result, r, where[w]); });
          (w + kCellTurns >= kCellPlacements ? t.turned : t.plain)[k].add(o);
          t.libraryMicros[k].push_back(o.libraryMicros);
          if (!o.failed()) continue;
          ++t.byPlacement[w].second;
          if (t.failures.size() < keep)
            t.failures.push_back(failureText(Family::Cells, i, A, B, kOps[k], o,
                                             std::string(kCellPlacementNames[w]) + (swapped ? ", B and A" : "") +
                                                 ": " + placementText(where[w]) + "\n  cells: A = " + operandText(ca) +
                                                 "\n         B = " + operandText(cb)));
        }
      }
  }
  return t;
}

// `pairs` pairs of the family drawn from the seed, each under the three
// operations, as drawn and turned by a random angle about the origin or a
// point near the pair (against the same reference); the first `keep`
// failures are kept as text.
inline Tally runFamily(Family f, uint64_t seed, long pairs, size_t keep = 3) {
  if (f == Family::Cells) return runCells(seed, pairs, keep);
  using Clock = std::chrono::steady_clock;
  Tally t;
  t.family = f;
  // The turns draw from a stream of their own: a seed's pairs stay the same.
  Rng rng(seed), turns(seed ^ 0x5bd1e9955bd1e995ULL);
  for (long i = 0; i < pairs; ++i) {
    const Pair p = drawPair(f, rng, &t.rejected);
    ++t.pairs;
    const Placement turn = randomTurn(turns, 12);
    const Operand a = placed(p.a, turn), b = placed(p.b, turn);
    const double areaTolerance = tolerance(p.a, p.b), lengthTolerance = perimeterTolerance(p.a, p.b);
    for (size_t k = 0; k < 3; ++k) {
      const auto t0 = Clock::now();
      const Expected e = reference(p.a, p.b, kOps[k]);
      const double referenceMicros = std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
      const OpOutcome o = judged(p.a, p.b, kOps[k], e, areaTolerance, lengthTolerance);
      const OpOutcome r = judged(a, b, kOps[k], e, areaTolerance, lengthTolerance);
      t.plain[k].add(o);
      t.turned[k].add(r);
      t.libraryMicros[k].push_back(o.libraryMicros);
      t.referenceMicros[k].push_back(referenceMicros);
      if (o.failed() && t.failures.size() < keep) t.failures.push_back(failureText(f, i, p.a, p.b, kOps[k], o));
      if (r.failed() && t.failures.size() < keep)
        t.failures.push_back(failureText(f, i, a, b, kOps[k], r,
                                         "turned: " + placementText(turn) + "\n  unturned: A = " + operandText(p.a) +
                                             "\n            B = " + operandText(p.b)));
    }
  }
  return t;
}

inline std::string countsText(const Counts &c, bool winding) {
  char s[256];
  std::snprintf(s, sizeof s, "wrong/empty OK %5ld  perimeter %5ld  spike %5ld  %sstatus 1:%ld 2:%ld 3:%ld 4:%ld 5:%ld",
                c.wrong, c.wrongPerimeter, c.spikes, winding ? ("winding " + std::to_string(c.winding) + "  ").c_str() : "",
                c.status[1], c.status[2], c.status[3], c.status[4], c.status[5]);
  return s;
}

// Two lines per operation, as drawn and turned: wrong results with status
// OK, wrong perimeters, spikes (and for the cells wrong windings), each
// failing status; median microseconds of the library and of the reference.
// Where placements vary, the failing operations under each.
inline std::string tallyText(const Tally &t) {
  std::string s;
  char line[512];
  const bool cells = t.family == Family::Cells;
  for (size_t k = 0; k < 3; ++k) {
    std::snprintf(line, sizeof line, "%-10s %-12s pairs %6ld  %s  median us library %.2f reference %.1f\n",
                  familyName(t.family), opName(kOps[k]), t.pairs, countsText(t.plain[k], cells).c_str(),
                  median(t.libraryMicros[k]), median(t.referenceMicros[k]));
    s += line;
    std::snprintf(line, sizeof line, "%-10s %-12s turned        %s\n", familyName(t.family), opName(kOps[k]),
                  countsText(t.turned[k], cells).c_str());
    s += line;
  }
  if (!t.byPlacement.empty()) {
    s += "failing operations by placement:";
    for (const auto &[name, n] : t.byPlacement) s += std::string(" ") + name + " " + std::to_string(n) + ",";
    s.back() = '\n';
  }
  return s;
}

}  // namespace kiv::geomexact
