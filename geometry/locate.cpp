// Crossings of two shapes, located on working copies: preparation, paired
// crossing nodes under the tolerance ladder, and their classification into
// exits and entries.
#include <algorithm>
#include <cstdio>
#include <initializer_list>

#include "geometry/boolean.hpp"

namespace kiv::geom {
namespace {

constexpr int kLimit = 10000;

bool isSplitterPair(const shape *s) { return s->kind == 1 || s->kind == 2; }

// Moves the nodes of the second copy onto the first one where they lie
// within 1e-10 of it, and vertices of each onto the segments of the other.
void snap(shape *A, shape *B) {
  for (int i = 0; i < A->npaths; ++i)
    for (int j = 0; j < B->npaths; ++j)
      mappathonpath_(B->paths[j]->first, B->paths[j]->first, A->paths[i]->first, A->paths[i]->first, 1e-10);
  for (int i = 0; i < A->npaths; ++i)
    for (int j = 0; j < B->npaths; ++j)
      check_mapping_(B->paths[j]->first, B->paths[j]->first, A->paths[i]->first, A->paths[i]->first);
  for (int j = 0; j < B->npaths; ++j)
    for (int i = 0; i < A->npaths; ++i)
      check_mapping_(A->paths[i]->first, A->paths[i]->first, B->paths[j]->first, B->paths[j]->first);
}

// An edge read from the node that starts it: a plain vertex for a segment,
// the centre for an arc.
struct Edge {
  point *start;
  bool arc() const { return isCentre(start); }
  point *from() const { return arc() ? start->previous : start; }
  point *to() const { return start->next; }
};

struct Box {
  double x0, y0, x1, y1;
};

// A box around an edge: its ends, and for an arc its whole circle.
Box boxOf(const Edge &e) {
  const point *s = e.from(), *t = e.to();
  Box b{std::min(s->x, t->x), std::min(s->y, t->y), std::max(s->x, t->x), std::max(s->y, t->y)};
  if (e.arc()) {
    const point *c = e.start;
    b = {std::min(b.x0, c->x - c->radius), std::min(b.y0, c->y - c->radius), std::max(b.x1, c->x + c->radius),
         std::max(b.y1, c->y + c->radius)};
  }
  return b;
}

// Boxes farther apart than every tolerance: the edges cannot meet.
bool apart(const Box &p, const Box &q) {
  constexpr double margin = 1e-6;
  return p.x0 > q.x1 + margin || q.x0 > p.x1 + margin || p.y0 > q.y1 + margin || q.y0 > p.y1 + margin;
}

// Meeting points of two edges: their number (0, 1 or 2) into x, y.
int meetingPoints(const Edge &a, const Edge &b, double tol, double (&x)[2], double (&y)[2]) {
  const point *a0 = a.from(), *a1 = a.to(), *b0 = b.from(), *b1 = b.to();
  int r = 0;
  if (!a.arc() && !b.arc()) {
    point out;
    r = computeIntersection_segseg(a0, a1, b0, b1, tol, &out);
    if (r != 1 && r != 3) return 0;
    x[0] = out.x;
    y[0] = out.y;
    return 1;
  }
  if (a.arc() && b.arc()) {
    double p1[2], p2[2];
    r = computeIntersection_arcarc(a.start, b.start, 1e-12, p1, p2);
    x[0] = p1[0];
    y[0] = p1[1];
    x[1] = p2[0];
    y[1] = p2[1];
  } else {
    const point *c = a.arc() ? a.start : b.start;
    const point *s0 = a.arc() ? b0 : a0, *s1 = a.arc() ? b1 : a1;
    const double s[2] = {s0->x, s0->y}, e[2] = {s1->x, s1->y};
    r = computeIntersection_arcseg(c, s, e, tol, &x[0], &y[0], &x[1], &y[1]);
  }
  return r == 3 ? 1 : r == 4 ? 2 : 0;
}

// One edge of a pair while its meeting points are paired: its ends as they
// were when the pair was read, and the node made for the first point.
struct Side {
  point *v0, *v1;
  point *centre;  // null for a segment
  int label;      // shared by both ends, or -1
  point *firstNew = nullptr;
  double firstX = 0.0, firstY = 0.0;

  explicit Side(const Edge &e)
      : v0(e.from()), v1(e.to()), centre(e.arc() ? e.start : nullptr),
        label(v0->label == v1->label ? v0->label : -1) {}

  // Within tol, or within a few ulps of the coordinates where those exceed
  // tol: a crossing found again on a re-read edge is the same crossing.
  static bool near(const point *v, double x, double y, double tol) {
    return distance(v->x, v->y, x, y) <= std::max(tol, 1e-14 * (std::fabs(x) + std::fabs(y)));
  }

  // A new vertex at (x, y) inside the edge, kept in order along it when the
  // first meeting point of the pair already split it.
  point *insert(double x, double y, bool second) {
    point t;
    initialized_point(&t);
    t.x = x;
    t.y = y;
    t.label = label;
    point *n;
    if (!centre) {
      const bool beforeFirst = second && firstNew &&
                               distance(v1->x, v1->y, firstX, firstY) <= distance(v1->x, v1->y, x, y);
      n = beforeFirst ? create_point_after(v0->owner, v0, &t) : create_point_before(v1->owner, v1, &t);
    } else {
      // The first sub-arc now ends at the first point; the second one has
      // the centre that follows it.  Angular ranges hold for any span.
      point *c = centre;
      if (second && firstNew && ispoint_inside_sector(x, y, c, 0.0) != 6) c = firstNew->next;
      n = splitarc_(c, &t);
    }
    if (!second) {
      firstNew = n;
      firstX = x;
      firstY = y;
    }
    return n;
  }
};

// Pairs the meeting point (x, y) of the edges of A and B unless it is
// recorded already; counts the nodes it makes on each side.
bool pairAt(Side &A, Side &B, const path *PA, double x, double y, double tol, bool second, int &newA,
            int &newB) {
  for (const point *v : {A.v0, A.v1})
    if (A.near(v, x, y, tol) && v->tag != 0) return false;
  for (const point *v : {B.v0, B.v1})
    if (B.near(v, x, y, tol) && v->tag != 0 && v->partner && v->partner->owner == PA) return false;
  point *na = A.near(A.v0, x, y, tol) ? A.v0 : A.near(A.v1, x, y, tol) ? A.v1 : nullptr;
  if (!na) {
    na = A.insert(x, y, second);
    ++newA;
  }
  // A vertex paired already with another path of A is not reused: a second
  // node at the same place keeps both pairs.
  point *nb = (B.near(B.v0, x, y, tol) && B.v0->tag != 1)   ? B.v0
              : (B.near(B.v1, x, y, tol) && B.v1->tag != 1) ? B.v1
                                                             : nullptr;
  if (!nb) {
    nb = B.insert(x, y, second);
    ++newB;
  }
  na->tag = nb->tag = KIV_TAG_INTERSECTION;
  na->partner = nb;
  nb->partner = na;
  return true;
}

// The vertex before (after) n along its ring, beyond an arc centre.
const point *vertexBefore(const point *n) { return isCentre(n->previous) ? n->previous->previous : n->previous; }
const point *vertexAfter(const point *n) { return isCentre(n->next) ? n->next->next : n->next; }

// Exit (2), entry (3) or undecided (1) for node n against the path `other`,
// from the middles of the edges arriving at n and leaving it.
int classify(const point *n, const path *other) {
  point in, out;
  intermpoint(&in, vertexBefore(n), n);
  intermpoint(&out, n, vertexAfter(n));
  const int r1 = isPointinsidePath(&in, other, 1, 1e-12);
  const int r2 = isPointinsidePath(&out, other, 1, 1e-12);
  if (((r1 == 6 || r1 == 1) && r2 == 0) || (r1 == 6 && r2 == 1)) return KIV_TAG_EXIT;
  if ((r1 == 0 && (r2 == 6 || r2 == 1)) || (r1 == 1 && r2 == 6)) return KIV_TAG_SWITCH;
  return KIV_TAG_INTERSECTION;
}

void drop(point *p) {
  if (p->tag == KIV_TAG_PLAIN || p->tag == KIV_TAG_CONSUMED) return;
  p->tag = KIV_TAG_CONSUMED;
  if (p->owner) --p->owner->unvisited;
}

// Whether v lies off the material of A and off its boundary.
bool outside(const point *v, const shape *A) {
  int rings = 0;
  for (int i = 0; i < A->npaths; ++i) {
    const int r = isPointinsidePath(v, A->paths[i], 0, 1e-12);
    if (r == 1) return false;
    if (r == 6) rings += A->paths[i]->orientation == KIV_ORIENT_CW ? -1 : 1;
  }
  return rings <= 0;
}

// A standard splitter's crossings alternate along its rectangle: entry,
// exit, entry... counted from a corner outside A, since the rectangle may
// start inside.  False when no corner is known to be outside.
bool alternate(const shape *A, shape *B) {
  point *start = nullptr;
  forEachNode(B->paths[0], [&](point *n) {
    if (n->tag == KIV_TAG_PLAIN && outside(n, A)) start = n;
    return start != nullptr;
  });
  if (!start) return false;
  bool entry = true;
  point *n = start;
  do {
    if (n->tag != KIV_TAG_PLAIN && n->tag != KIV_TAG_CONSUMED && n->partner) {
      n->tag = entry ? KIV_TAG_SWITCH : KIV_TAG_EXIT;
      n->partner->tag = entry ? KIV_TAG_EXIT : KIV_TAG_SWITCH;
      entry = !entry;
    }
    n = n->next;
  } while (n != start);
  return true;
}

void dropCopies(ShapePtr &WA, ShapePtr &WB) {
  WA.reset();
  WB.reset();
}

// Fresh copies of A and of B into A_work and B_work: B's moved by (dx, dy)
// and snapped to A's when both are ordinary, both cleaned and checked; -1
// when either is not sound.
int prepareCopies(const shape *A, const shape *B, ShapePtr &A_work, ShapePtr &B_work, double dx, double dy) {
  A_work.reset(copyOf(A));
  B_work.reset(copyOf(B));
  shape *WA = A_work.get(), *WB = B_work.get();
  translate2D_(WB, dx, dy);
  if (WB->kind == 0) snap(WA, WB);
  initialize_shape(WA->paths, WA->npaths);
  if (clean_shape(WA, 1e-11) < 0 || check_shape(WA) < 0) return -1;
  initialize_shape(WB->paths, WB->npaths);
  if (WB->kind == 0) {
    if (clean_shape(WB, 1e-11) < 0 || check_shape(WB) < 0) return -1;
  } else {
    for (int j = 0; j < WB->npaths; ++j) orient_path2_(WB->paths[j]);
  }
  return 0;
}

}  // namespace

int nodeCount(const shape *s) {
  int n = 0;
  for (int i = 0; hasPaths(s) && i < s->npaths; ++i) n += size_path_(s->paths[i]);
  return n;
}

shape *copyOf(const shape *src) {
  shape *s = nullptr;
  xCD_copy_shape_(src, &s);
  return s;
}

ShapePtr reversedCopy(const shape *src) {
  shape *s = nullptr;
  xCD_copy_shape_reversed_(src, &s);
  return ShapePtr(s);
}

int locateCrossings(const shape *A, const shape *B, ShapePtr &WA, ShapePtr &WB, double dx, double dy,
                    bool *unlocated) {
  *unlocated = false;
  double tol = 1e-11;
  int count = 0;
  for (int attempt = 1;; ++attempt) {
    if (prepareCopies(A, B, WA, WB, dx, dy) < 0) return -1;
    if (add_intersections_(WA.get(), WB.get(), tol, &count) == 0) break;
    if (attempt == 3) {
      *unlocated = true;
      return -1;
    }
    dropCopies(WA, WB);
    tol *= 10.0;
  }
  shape *wa = WA.get(), *wb = WB.get();
  if (wa->kind == 0) check_for_double_intersections(wa);
  if (wb->kind == 0) check_for_double_intersections(wb);
  tag_intersections_(wa, wb, &count);
  if (wa->kind == 0) count -= check_for_false_intersections(wa);
  if (wb->kind == 0) count -= check_for_false_intersections(wb);
  if (count % 2 != 0) return -2;
  if (count > 0 && isSplitterPair(wb) && hasPaths(wb) && !alternate(wa, wb)) return -3;
  return count;
}

int locateRetrying(const shape *A, const shape *B, ShapePtr &WA, ShapePtr &WB, const char *fn, int *status) {
  bool unlocated = false;
  int count = locateCrossings(A, B, WA, WB, 0.0, 0.0, &unlocated);
  if (count == -2) {
    dropCopies(WA, WB);
    count = locateCrossings(A, B, WA, WB, 1e-6, 1e-6, &unlocated);
  }
  if (count == -2 || count == -3) {
    dropCopies(WA, WB);
    kivfprintf(stderr, "   ...\n");
    kivfprintf(stderr,
               count == -2 ? "odd number of intersections in %s function, empty result\n"
                           : "crossings of the splitter could not be ordered in %s function, empty result\n",
               fn);
    setStatus(status, count == -2 ? KIV_BOOL_ODD : KIV_BOOL_UNORDERED);
    return -2;
  }
  if (unlocated) {
    kivfprintf(stderr, "   ...\n");
    kivfprintf(stderr, "intersections could not be located in %s function, result incomplete\n", fn);
    setStatus(status, KIV_BOOL_UNLOCATED);
  }
  return count;
}

}  // namespace kiv::geom

using namespace kiv::geom;

extern "C" {

int prepare_shapes_(const shape *A, const shape *B, shape **A_work, shape **B_work, double dx, double dy) {
  // The copies are handed out when prepared, or failed to prepare; an exit
  // meanwhile frees them, as it frees a copy nobody asked for.
  ShapePtr a, b;
  const int r = prepareCopies(A, B, a, b, dx, dy);
  if (A_work) *A_work = a.release();
  if (B_work) *B_work = b.release();
  return r;
}

int add_intersections_(shape *A, shape *B, double tol, int *count) {
  int ignored = 0;
  if (!count) count = &ignored;
  *count = 0;
  if (!hasPaths(A) || !hasPaths(B)) return 0;
  for (int i = 0; i < A->npaths; ++i) {
    path *PA = A->paths[i];
    if (!PA || !PA->first) continue;
    for (int j = 0; j < B->npaths; ++j) {
      path *PB = B->paths[j];
      if (!PB || !PB->first) continue;
      int n = 0;
      // Each edge of PA against the ring of PB.  An edge is read again from
      // its start for every edge of PB, so once split it ends at the new
      // node and its remainder is handled when the walk reaches that node.
      point *x = PA->first;
      do {
        if (!isCentre(x->next)) {
          int newA = 0, newB = 0;
          const Edge ea{x};
          Box boxA = boxOf(ea);
          point *y = PB->first;
          do {
            point *end = y->next;  // nodes made in this edge of PB come before it
            const Edge eb{y};
            if (!isCentre(y->next) && !apart(boxA, boxOf(eb))) {
              double px[2], py[2];
              const int k = meetingPoints(ea, eb, tol, px, py);
              if (k > 0) {
                Side sa(ea), sb(eb);
                const int before = newA;
                for (int m = 0; m < k; ++m)
                  if (pairAt(sa, sb, PA, px[m], py[m], tol, m == 1, newA, newB)) ++n;
                if (newA != before) boxA = boxOf(ea);  // the edge now ends sooner
              }
              if (newB > kLimit) {
                *count += n;
                return -1;
              }
            }
            y = end;
          } while (y != PB->first);
          if (newA > kLimit || n > kLimit) {
            *count += n;
            return -1;
          }
        }
        x = x->next;
      } while (x != PA->first);
      if (n > 0) {
        PA->unvisited += n;
        PB->unvisited += n;
        *count += n;
      }
    }
  }
  return 0;
}

int tag_intersection_(point *N) {
  if (!N || !N->partner) return -1;
  point *M = N->partner;
  const int tn = classify(N, M->owner), tm = classify(M, N->owner);
  N->tag = tn;
  M->tag = tm;
  if (tn != KIV_TAG_INTERSECTION && tm != KIV_TAG_INTERSECTION) return 0;
  drop(N);
  drop(M);
  return -1;
}

void tag_intersections_(shape *A, shape *B, int *count) {
  if (!count || *count == 0 || !hasPaths(A) || !hasPaths(B)) return;
  for (int i = 0; i < A->npaths; ++i)
    for (int j = 0; j < B->npaths; ++j) {
      const path *PB = B->paths[j];
      forEachNode(A->paths[i], [&](point *n) {
        if (n->tag == KIV_TAG_INTERSECTION && n->partner && n->partner->owner == PB) *count += tag_intersection_(n);
        return false;
      });
    }
}

int locate_intersections_(const shape *A, const shape *B, shape **A_work, shape **B_work, double dx, double dy) {
  ShapePtr WA, WB;
  bool unlocated = false;
  int r = locateCrossings(A, B, WA, WB, dx, dy, &unlocated);
  if (r == -3) r = -1;
  if (A_work) *A_work = WA.release();
  if (B_work) *B_work = WB.release();
  return r;
}

}  // extern "C"
