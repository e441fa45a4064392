// Inside helpers of the geometry kernel: allocation with the kernel's fatal
// message, ring walks and small vector formulas.
#pragma once

#include <cmath>
#include <cstdlib>

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

inline bool isCentre(const point *p) { return p->arc != 0; }

inline double cross(double ax, double ay, double bx, double by) { return ax * by - ay * bx; }

inline double distance(double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  return std::sqrt(dx * dx + dy * dy);
}

inline double distance(const point *a, const point *b) { return distance(a->x, a->y, b->x, b->y); }

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

}  // namespace kiv::geom
