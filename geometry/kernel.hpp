// Inside helpers of the geometry kernel: allocation with the kernel's fatal
// message, ring walks and small vector formulas.
#pragma once

#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>

#include "geometry/kiv_geometry.h"

namespace kiv::geom {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kTwoPi = 2.0 * kPi;

// Writes the kernel's allocation message for the routine `where` to standard
// output and ends the run with code 1 (never returns).
[[noreturn]] void allocationFailure(const char *where);

// Zeroed storage for one T, or the fatal allocation message.
template <class T>
T *allocate(const char *where) {
  void *mem = std::calloc(1, sizeof(T));
  if (!mem) allocationFailure(where);
  return static_cast<T *>(mem);
}

// The owner of a path while it is built (ShapePtr owns shapes): an exit
// that unwinds through the building frees all it holds so far.
struct PathFree {
  void operator()(path *p) const noexcept {
    delete_path_(p);
    std::free(p);
  }
};
using PathOwner = std::unique_ptr<path, PathFree>;

inline bool isCentre(const point *p) { return p->arc != 0; }

// Contours of material below this area are slivers that every clean-up
// drops (a hole of any size stays).
inline constexpr double kSmallestArea = 0.001;
inline bool isSliver(double signedArea) { return signedArea > 0.0 && signedArea < kSmallestArea; }

inline double cross(double ax, double ay, double bx, double by) { return ax * by - ay * bx; }

inline double distance(double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  return std::sqrt(dx * dx + dy * dy);
}

inline double distance(const point *a, const point *b) { return distance(a->x, a->y, b->x, b->y); }

// Sign of the turn a -> b -> c, (b - a) x (c - a): 1 left, -1 right, 0 on
// one line.  Exact: where rounding leaves the sign in doubt the products are
// summed without rounding; empty when a product lies beyond the exponents
// whose rounding error a double can hold.
std::optional<int> turnSign(double ax, double ay, double bx, double by, double cx, double cy);

// Both coordinates within tol.
inline bool closeTo(double ax, double ay, double bx, double by, double tol) {
  return std::fabs(ax - bx) <= tol && std::fabs(ay - by) <= tol;
}

// The node `steps` nodes after n.
template <class P>
P *advance(P *n, int steps) {
  for (int i = 0; i < steps; ++i) n = n->next;
  return n;
}

// Calls f(node) for every node of the ring from the first one; stops early
// and returns true when f does.
template <class F>
bool forEachNode(const path *p, F &&f) {
  if (!p || !p->first) return false;
  point *n = p->first;
  do {
    point *next = n->next;
    if (f(n)) return true;
    n = next;
  } while (n != p->first);
  return false;
}

// Calls f(x) for every node that starts an edge, in ring order from the
// first node: a plain vertex starts the segment to its next node, a centre
// node stands for the arc from its previous to its next node, and a vertex
// followed by a centre is passed over.  Stops early when f returns true.
template <class F>
bool forEachEdge(const path *p, F &&f) {
  return forEachNode(p, [&](point *x) { return !isCentre(x->next) && f(x); });
}

// The arc whose centre node is c, as angles about c: from its start vertex
// to its end vertex, `to` unwrapped in the arc's direction (dir +1
// counter-clockwise, -1 clockwise, 0 for a centre of neither direction).
struct ArcEnds {
  double from, to;
  int dir;
};
inline ArcEnds arcEnds(const point *c) {
  const double a0 = std::atan2(c->previous->y - c->y, c->previous->x - c->x);
  const double a1 = std::atan2(c->next->y - c->y, c->next->x - c->x);
  if (c->direction == KIV_CCW) return {a0, a1 < a0 ? a1 + kTwoPi : a1, 1};
  if (c->direction == KIV_CW) return {a0, a0 < a1 ? a1 - kTwoPi : a1, -1};
  return {a0, a0, 0};
}

// Calls f(x, y) for every vertex of the ring from the first node on and, on
// each arc, for the points that part it into equal pieces of at most `step`
// radians about its centre, its ends left to the vertices.
template <class F>
void forEachContourPoint(const path *p, double step, F &&f) {
  forEachNode(p, [&](point *q) {
    if (!isCentre(q)) {
      f(q->x, q->y);
      return false;
    }
    const ArcEnds a = arcEnds(q);
    const double sweep = a.to - a.from;
    const int n = static_cast<int>(std::ceil(std::fabs(sweep) / step));
    for (int k = 1; k < n; ++k)
      f(q->x + q->radius * std::cos(a.from + sweep * k / n), q->y + q->radius * std::sin(a.from + sweep * k / n));
    return false;
  });
}

}  // namespace kiv::geom
