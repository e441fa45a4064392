// Union and intersection of shapes, and the machinery they share with the
// removal: nesting of paths that meet nothing, the walk over tagged
// crossings with its guard, and the clean-up of results.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "geometry/boolean.hpp"

namespace kiv::geom {
namespace {

const point *vertexAfter(const point *n) { return isCentre(n->next) ? n->next->next : n->next; }

void consume(point *n) {
  if (n->tag == KIV_TAG_PLAIN || n->tag == KIV_TAG_CONSUMED) return;
  n->tag = KIV_TAG_CONSUMED;
  if (n->owner) --n->owner->unvisited;
}

// Appends a copy of n to the open contour; an arc run backwards turns the
// other way.
void append(path *p, const point *n, bool backwards) {
  point *c = create_point_before(p, p->first, n);
  if (backwards && c->direction == KIV_CW)
    c->direction = KIV_CCW;
  else if (backwards && c->direction == KIV_CCW)
    c->direction = KIV_CW;
}

void appendCopy(shape *result, const path *p, bool reversed) {
  PathOwner c(create_path());
  if (reversed)
    copy_path_reversed_(p, c.get());
  else
    copy_path_(p, c.get());
  add_path(c.release(), result);
}

bool oriented(const path *p) { return p->orientation == KIV_ORIENT_CCW || p->orientation == KIV_ORIENT_CW; }

// The guarded walk of one operation.
class Walk {
 public:
  Walk(bool backward, long bound, shape *result) : backward_(backward), bound_(bound), result_(result) {}

  bool run(shape *WA, shape *WB) {
    for (int i = 0; i < WA->npaths; ++i) {
      path *PA = WA->paths[i];
      for (int j = 0; j < WB->npaths; ++j) {
        path *PB = WB->paths[j];
        // The next start is searched from the last switch of a contour,
        // which may lie on another path; when none is found there, from
        // PA's first node, so that no exit of PA is left behind.
        point *from = nullptr;
        int orientation = 0;
        while (PA->unvisited > 0 && PA->active && PB->unvisited > 0 && PB->active) {
          point *s = from ? find_next_exit(from, orientation) : nullptr;
          if (!s) s = find_next_exit(PA->first, PB->orientation);
          if (!s) break;
          point *x = nullptr, *z = nullptr;
          if (!contour(s, x, z)) return false;
          from = PA->unvisited >= 2 && z->owner ? x : nullptr;
          orientation = from ? z->owner->orientation : 0;
        }
      }
    }
    return true;
  }

 private:
  // One closed contour from the exit s; x and z receive the last switch
  // nodes met on each side.
  bool contour(point *s, point *&x, point *&z) {
    if (++aSide_ > bound_) return false;
    open_.reset(create_path());
    append(open_.get(), s, false);
    point *e = s;
    for (long laps = 1;; ++laps) {
      if (laps > bound_) return false;
      consume(e);
      // Along A up to the next entry into the other shape; a run that comes
      // back to where it began has none and would lap the ring forever.
      point *n = e->next;
      for (;;) {
        if (++aSide_ > bound_ || n == e) return false;
        if (n->tag == KIV_TAG_SWITCH) break;
        append(open_.get(), n, false);
        if (n->tag == KIV_TAG_TOUCH && n->partner) {
          consume(n);
          point *m = n->partner;
          consume(m);
          ++aSide_;
          n = m->next;
        } else {
          n = n->next;
        }
      }
      consume(n);
      append(open_.get(), n, false);
      x = n;
      point *y = n->partner;
      if (!y) return false;
      consume(y);
      // Along B up to where it enters A again.
      point *m = backward_ ? y->previous : y->next;
      for (;;) {
        if (m->tag == KIV_TAG_SWITCH) break;
        if (++bSide_ > bound_ || m == y) return false;
        append(open_.get(), m, backward_);
        m = backward_ ? m->previous : m->next;
      }
      consume(m);
      ++aSide_;
      z = m;
      if (m->partner == s) break;
      append(open_.get(), m, backward_);
      ++bSide_;
      e = m->partner;
      if (!e) return false;
    }
    const double a = area2D_path_(open_.get());
    if (size_path_(open_.get()) > 2 && std::fabs(a) >= kSmallestArea)
      add_path(open_.release(), result_);  // which frees it when it fails
    open_.reset();
    return true;
  }

  bool backward_;
  long bound_;
  shape *result_;
  PathOwner open_;  // the contour being walked
  long aSide_ = 0, bSide_ = 0;
};

// Whether a lone path of the first copy goes into the result, from its
// position r and side s against the other copy.
bool keepsFirst(Rule rule, const path *p, int r, int s) {
  if (!oriented(p)) return false;
  const bool outer = p->orientation == KIV_ORIENT_CCW;
  if (r == 0) return rule == Rule::intersect ? s == 0 : s == 1;
  // Along a path of the other shape: the same boundary serves the union and
  // the intersection when both bound material on one side; the removal
  // keeps an island that fills a hole of the other shape, and a hole that
  // the other shape fills.
  if (rule == Rule::remove) return (outer && s == 1) || (!outer && s == 0);
  return (outer && s == 0) || (!outer && s == 1);
}

// The nesting order of a shape's paths, freed on every way out.
struct Ordering {
  explicit Ordering(const shape *s) : g(Ordering_createpathslist(s)) {}
  ~Ordering() { Ordering_free_group(&g); }
  Ordering(const Ordering &) = delete;
  Ordering &operator=(const Ordering &) = delete;
  ordering_group g;
};

// Copies into result the paths of WA and of other that meet nothing and
// belong to the result under rule, and clears their active flags.
void placeLonePaths(Rule rule, shape *WA, shape *other, shape *result) {
  const Ordering A(WA), O(other);
  const ordering_group &GA = A.g, &GO = O.g;
  for (int i = 0; i < WA->npaths; ++i) {
    path *p = WA->paths[i];
    if (p->unvisited != 0) continue;
    path *c = nullptr;
    int s = 0;
    const int r = Ordering_check_position(&GO, p, &c, &s);
    if (keepsFirst(rule, p, r, s)) appendCopy(result, p, false);
    p->active = 0;
    if (r == 1 && c) c->active = 0;
  }
  for (int j = 0; other->kind == 0 && j < other->npaths; ++j) {
    path *q = other->paths[j];
    if (q->unvisited != 0 || !q->active) continue;
    path *c = nullptr;
    int s = 0;
    Ordering_check_position(&GA, q, &c, &s);
    if (oriented(q) && (rule == Rule::unite ? s == 1 : s == 0)) appendCopy(result, q, rule == Rule::remove);
    q->active = 0;
  }
}

// Builds result contours from the exits of WA, following WB forwards or
// backwards; false when a guard bound was passed.
bool walkContours(shape *WA, shape *WB, bool backward, long bound, shape *result) {
  Walk walk(backward, bound, result);
  return walk.run(WA, WB);
}

// The result of a walk, cleaned up; after an endless walk an empty shape
// and the message.
shape *finish(bool closed, ShapePtr result, const char *fn, int *status) {
  if (!closed) {
    kivfprintf(stderr, "   ...\n");
    kivfprintf(stderr, "infinite loop detected in %s function\n", fn);
    result.reset();
    setStatus(status, KIV_BOOL_ENDLESS);
    return create_shape();
  }
  cleanUp(result.get());
  return result.release();
}

// Every coordinate and radius of both shapes is a finite number; else the
// message and the status (nothing sound can be made of such a shape).
bool finite(const shape *A, const shape *B, const char *fn, int *status) {
  for (const shape *s : {A, B})
    for (int i = 0; s && i < s->npaths; ++i) {
      const point *first = s->paths[i] ? s->paths[i]->first : nullptr;
      const point *p = first;
      for (int n = 0; p && (n == 0 || p != first); p = p->next, ++n)
        if (!std::isfinite(p->x) || !std::isfinite(p->y) || !std::isfinite(p->radius)) {
          kivfprintf(stderr, "non-finite coordinates in %s function\n", fn);
          setStatus(status, KIV_BOOL_NOT_FINITE);
          return false;
        }
    }
  return true;
}

}  // namespace

void cleanUp(shape *result) {
  initialize_shape(result->paths, result->npaths);
  clean_shape(result, 1e-10);
  check_shape(result);
}

shape *withoutNegligible(Rule rule, const shape *A, const shape *B) {
  const shape *kept = A && rule != Rule::intersect ? A : B && rule == Rule::unite ? B : nullptr;
  ShapePtr s(kept ? copyOf(kept) : create_shape());
  for (int i = 0; s->paths && i < s->npaths;) {
    const double a = area2D_path_(s->paths[i]);
    if (isSliver(a) && remove_path_from_shape(s->paths[i], s.get()) == 0) continue;
    ++i;
  }
  return s.release();
}

shape *combine(Rule rule, const shape *A, const shape *B, const char *fn, int *status) {
  if (!finite(A, B, fn, status)) return create_shape();
  if (overlaid(A, B))
    if (shape *r = overlay(rule, A, B)) return r;
  ShapePtr WA, WB;
  if (locateRetrying(A, B, WA, WB, fn, status) == -2) return create_shape();
  if (!hasPaths(WA.get()) || !hasPaths(WB.get())) {
    // A copy emptied by its preparation was negligible.
    const bool keepA = hasPaths(WA.get());
    WA.reset();
    WB.reset();
    return withoutNegligible(rule, keepA ? A : nullptr, keepA ? nullptr : B);
  }
  ShapePtr result(create_shape());
  const long bound = nodeCount(WA.get()) + nodeCount(WB.get());
  placeLonePaths(rule, WA.get(), WB.get(), result.get());
  const bool closed = walkContours(WA.get(), WB.get(), rule != Rule::unite, bound, result.get());
  WA.reset();
  WB.reset();
  return finish(closed, std::move(result), fn, status);
}

}  // namespace kiv::geom

using namespace kiv::geom;

extern "C" {

int is_included2(const path *p, const path *q) {
  if (p == q || !p || !q) return 1;
  int r = 1;
  // The first vertex off q's boundary decides; then the middle of an edge.
  forEachNode(p, [&](point *v) {
    if (isCentre(v)) return false;
    r = isPointinsidePath(v, q, 1, 0.01);
    return r != 1;
  });
  if (r != 1) return r;
  forEachNode(p, [&](point *v) {
    if (isCentre(v)) return false;
    point m;
    intermpoint(&m, v, vertexAfter(v));
    r = isPointinsidePath(&m, q, 1, 0.01);
    return r != 1;
  });
  return r == 6 || r == 0 ? r : 1;
}

ordering_group Ordering_createpathslist(const shape *S) {
  ordering_group g{nullptr, 0, 2};
  if (!hasPaths(S)) return g;
  const int n = S->npaths;
  g.entries = static_cast<ordering_entry *>(std::calloc(static_cast<size_t>(n), sizeof(ordering_entry)));
  if (!g.entries) MemoryError("Ordering_createpathslist");
  g.count = n;
  for (int i = 0; i < n; ++i) {
    path *p = S->paths[i];
    int depth = 0;
    for (int j = 0; j < n; ++j) {
      const path *q = S->paths[j];
      if (j == i || !q) continue;
      const int r = is_included2(p, q);
      if ((q->orientation == KIV_ORIENT_CCW && r == 6) || (q->orientation == KIV_ORIENT_CW && r == 0)) ++depth;
    }
    g.entries[i] = {p, depth};
  }
  std::qsort(g.entries, static_cast<size_t>(n), sizeof(ordering_entry), set_path_order);
  const path *shallowest = g.entries[0].ref;
  g.kind = !shallowest ? 2 : shallowest->orientation == KIV_ORIENT_CCW ? 1 : shallowest->orientation == KIV_ORIENT_CW ? 0 : 2;
  return g;
}

int Ordering_check_position(const ordering_group *G, const path *p, path **container, int *side) {
  path *c = nullptr;
  int s = G ? G->kind : 2;
  int result = 0;
  if (G && G->entries && G->count > 0) {
    int count = 0;
    for (int i = 0; i < G->count && !result; ++i) {
      path *q = G->entries[i].ref;
      if (!q || q == p) continue;
      const int r = is_included2(p, q);
      if (q->orientation == KIV_ORIENT_CCW) {
        if (r == 6) ++count;
        if (r == 1) {
          c = q;
          s = 0;
          result = 1;
        }
      } else if (q->orientation == KIV_ORIENT_CW) {
        if (r == 0) ++count;
        if (r == 1) {
          c = q;
          s = 1;
          result = 1;
        }
      }
    }
    if (!result && count > 0) {
      // The innermost container: the last of the sorted entries less deep
      // than the number of rings around p.
      for (int i = 0; i < G->count; ++i)
        if (G->entries[i].depth < count) c = G->entries[i].ref;
      s = c ? c->orientation : s;
    }
  }
  if (container) *container = c;
  if (side) *side = s;
  return result;
}

shape *union_shape_status_(const shape *A, const shape *B, int *status) {
  setStatus(status, KIV_BOOL_OK);
  if (!hasPaths(A)) return copyOf(B);
  if (!hasPaths(B)) return copyOf(A);
  if (A->kind != 0 && B->kind != 0) {
    ShapePtr s(copyOf(A));
    for (int j = 0; j < B->npaths; ++j) {
      appendCopy(s.get(), B->paths[j], false);
      if (B->paths[j]) s->paths[s->npaths - 1]->orientation = B->paths[j]->orientation;
    }
    return s.release();
  }
  return combine(Rule::unite, A, B, "union_shape_", status);
}

shape *intersection_shape_status_(const shape *A, const shape *B, int *status) {
  setStatus(status, KIV_BOOL_OK);
  if (!hasPaths(A) || !hasPaths(B) || !finite(A, B, "intersection_shape_", status)) return create_shape();
  if (overlaid(A, B))
    if (shape *r = overlay(Rule::intersect, A, B)) return r;
  ShapePtr result(create_shape());
  // The material side of the reversed copy is the complement of B.
  ShapePtr BR = reversedCopy(B);
  ShapePtr WA, WB;
  const int count = locateRetrying(A, BR.get(), WA, WB, "intersection_shape_", status);
  if (count == -2 || !hasPaths(WA.get()) || !hasPaths(WB.get())) return result.release();
  // The nesting of B's paths is read in B's own sense.
  ShapePtr WR = reversedCopy(WB.get());
  for (int j = 0; j < WR->npaths; ++j) {
    WR->paths[j]->active = 1;
    WR->paths[j]->unvisited = WB->paths[j]->unvisited;
  }
  const long bound = nodeCount(WA.get()) + nodeCount(WR.get());
  placeLonePaths(Rule::intersect, WA.get(), WR.get(), result.get());
  bool closed = true;
  if (count != 0) closed = walkContours(WA.get(), WB.get(), true, bound, result.get());
  for (ShapePtr *s : {&WA, &WB, &WR, &BR}) s->reset();
  if (count == 0) {
    // Copied paths only: no clean-up, but nothing may point into the freed
    // working copies.
    initialize_shape(result->paths, result->npaths);
    return result.release();
  }
  return finish(closed, std::move(result), "intersection_shape_", status);
}

shape *union_shape_(const shape *A, const shape *B) { return union_shape_status_(A, B, nullptr); }

shape *intersection_shape_(const shape *A, const shape *B) { return intersection_shape_status_(A, B, nullptr); }

}  // extern "C"
