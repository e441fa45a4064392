// Removal of one shape from another, and the splitters: thin shapes that
// cut a contour along its shortest connection to other contours, or mark
// where it crosses them.
#include <cstdlib>
#include <initializer_list>
#include <vector>

#include "geometry/boolean.hpp"

namespace kiv::geom {
namespace {

constexpr double kTouch = 1e-11;

bool isSplitter(const shape *s) { return s->kind == 1 || s->kind == 2 || s->kind == 10 || s->kind == 20; }

PathOwner copyPath(const path *src) {
  PathOwner p(create_path());
  copy_path_(src, p.get());
  p->orientation = src->orientation;
  return p;
}

// Calls f(v) for the chain from `from` along the next links up to, not
// including, `to`: the whole ring once when they are the same node.
template <class F>
void forChain(const point *from, const point *to, F &&f) {
  const point *v = from;
  do {
    f(v);
    v = v->next;
  } while (v != to);
}

struct Vec {
  double x, y;
};

// The point of the segment a-b nearest to v.
Vec project(const point *v, const point *a, const point *b) {
  const double ex = b->x - a->x, ey = b->y - a->y, len2 = ex * ex + ey * ey;
  double t = len2 > 0.0 ? ((v->x - a->x) * ex + (v->y - a->y) * ey) / len2 : 0.0;
  t = t < 0.0 ? 0.0 : t > 1.0 ? 1.0 : t;
  return {a->x + t * ex, a->y + t * ey};
}

// A touch point moved a little way along both edges of the node.
Vec offTouch(const point *n) {
  return {n->x + 1e-5 * (n->next->x - n->x) + 1e-5 * (n->previous->x - n->x),
          n->y + 1e-5 * (n->next->y - n->y) + 1e-5 * (n->previous->y - n->y)};
}

point vertexAt(Vec v, int label) {
  point p;
  initialized_point(&p);
  p.x = v.x;
  p.y = v.y;
  p.label = label;
  return p;
}

// The owner among W's outer paths of a hole: the smallest one around it.
const path *ownerOfHole(const shape *W, const path *hole) {
  const path *owner = nullptr;
  double ownerArea = 0.0;
  for (int i = 0; i < W->npaths; ++i) {
    const path *w = W->paths[i];
    if (w->orientation != KIV_ORIENT_CCW || is_included2(hole, w) != 6) continue;
    const double a = area2D_path_(w);
    if (!owner || a < ownerArea) {
      owner = w;
      ownerArea = a;
    }
  }
  return owner;
}

bool holdsLabelZero(const path *w, const shape *S, int firstPath) {
  for (int k = firstPath; k < S->npaths; ++k)
    if (forEachNode(S->paths[k], [w](point *v) {
          if (v->label != 0) return false;
          const int r = isPointinsidePath(v, w, 1, 1e-12);
          return r == 6 || r == 1;
        }))
      return true;
  return false;
}

shape *removeSplitter(const shape *A, const shape *S, int *status) {
  setStatus(status, KIV_BOOL_OK);
  if (!hasPaths(A)) return create_shape();
  if (!hasPaths(S)) return copyOf(A);
  ShapePtr W;
  int firstLabelled = 0;
  if ((S->kind == 1 || S->kind == 2) && S->paths[0]) {
    // Cut along the rectangle alone; its complement only selects.
    const ShapePtr T(create_shape());
    T->kind = 30;
    add_path(copyPath(S->paths[0]).release(), T.get());
    W.reset(remove_shape_status_(A, T.get(), status));
    firstLabelled = 1;
  } else {
    // Paths never oriented are never selected: with none selected, all of A
    // is kept.
    W.reset(copyOf(A));
  }
  ShapePtr R(create_shape());
  std::vector<const path *> selected;
  for (int i = 0; i < W->npaths; ++i) {
    const path *w = W->paths[i];
    if (w->orientation != KIV_ORIENT_CCW || !holdsLabelZero(w, S, firstLabelled)) continue;
    selected.push_back(w);
    add_path(copyPath(w).release(), R.get());
  }
  if (selected.empty()) {
    R.reset(copyOf(W.get()));
  } else {
    // A selected piece keeps its holes.
    for (int i = 0; i < W->npaths; ++i) {
      const path *h = W->paths[i];
      if (h->orientation != KIV_ORIENT_CW) continue;
      const path *owner = ownerOfHole(W.get(), h);
      for (const path *w : selected)
        if (w == owner) add_path(copyPath(h).release(), R.get());
    }
  }
  return R.release();
}

}  // namespace
}  // namespace kiv::geom

using namespace kiv::geom;

extern "C" {

shape *remove_shape_status_(const shape *A, const shape *B, int *status) {
  setStatus(status, KIV_BOOL_OK);
  if (!hasPaths(A)) return create_shape();
  if (!hasPaths(B)) return copyOf(A);
  if (isSplitter(B)) return removeSplitter(A, B, status);
  return combine(Rule::remove, A, B, "remove_shape", status);
}

shape *remove_shape_(const shape *A, const shape *B) { return remove_shape_status_(A, B, nullptr); }

shape *remove_splitter_status_(const shape *A, const shape *S, int *status) { return removeSplitter(A, S, status); }

shape *remove_splitter_(const shape *A, const shape *S) { return removeSplitter(A, S, nullptr); }

path *find_std_splitter_(const point *from, const point *to, const point *target_from, const point *target_to,
                         const int *side, double *distance) {
  double ignored = 0.0;
  return stdSplitter(from, to, target_from, target_to, side ? *side : 0, distance ? *distance : ignored);
}

path *build_complement_splitter_(const path *rect) {
  if (!rect || !rect->first) return nullptr;
  const point *p0 = rect->first, *p1 = p0->next, *p3 = p0->previous, *p2 = p3->previous;
  // The rectangle's centre: where its diagonals meet.
  const Vec X{(p0->x + p1->x + p2->x + p3->x) / 4.0, (p0->y + p1->y + p2->y + p3->y) / 4.0};
  PathOwner c(create_path());
  const point a = vertexAt({p2->x + p3->x - X.x, p2->y + p3->y - X.y}, 0);
  const point b = vertexAt({p1->x + p0->x - X.x, p1->y + p0->y - X.y}, 1);
  create_point_before(c.get(), c->first, &a);
  create_point_before(c.get(), c->first, &b);
  return c.release();
}

void find_intersection_splitter_(const point *from, const point *to, point *target_from, point *target_to,
                                 const int *side, shape *out) {
  intersectionSplitter(from, to, target_from, target_to, side ? *side : 1, out);
}

shape *xCD_setsplitter_(const shape *source, int *from, int *to, int *side, int *ntargets,
                        const shape *const *targets) {
  if (!from || !to || !side || !ntargets) return nullptr;
  return setSplitter(source, *from, *to, *side, *ntargets, targets);
}

point *find_closest_point_(const path *P, const point *p, const int *from, const int *to) {
  return closestPoint(P, p, from ? *from : -1, to ? *to : -1);
}

}  // extern "C"

namespace kiv::geom {

path *stdSplitter(const point *from, const point *to, const point *target_from, const point *target_to,
                  int side, double &distance) {
  if (!from || !to || !target_from || !target_to) return nullptr;
  double dmin = 1e30;
  Vec S{from->x, from->y}, T{target_from->x, target_from->y};
  bool crossed = false;
  // Keeps the connection from node v to the segment that a starts when it
  // is the shortest so far.
  const auto closer = [&](const point *v, const point *a, bool vOnSource) {
    const Vec Y = project(v, a, a->next);
    const double d = kiv::geom::distance(v->x, v->y, Y.x, Y.y);
    if (!(d < dmin)) return;
    dmin = d;
    (vOnSource ? S : T) = {v->x, v->y};
    (vOnSource ? T : S) = Y;
  };
  // Each source node against each target segment.
  forChain(from, to, [&](const point *v) {
    if (crossed) return;
    bool touched = false;
    forChain(target_from, target_to, [&](const point *w) {
      if (crossed || touched) return;
      point X;
      const int r = computeIntersection_segseg(w, w->next, v, v->next, kTouch, &X);
      if (r == 3) {
        crossed = true;
      } else if (r == 1) {
        const point *vs = X.x == v->x && X.y == v->y ? v : v->next;
        const point *ws = X.x == w->x && X.y == w->y ? w : w->next;
        S = offTouch(vs);
        T = offTouch(ws);
        dmin = 0.0;
        touched = true;
      } else {
        closer(v, w, true);
      }
    });
  });
  // Then each target node against each source segment.
  if (!crossed && dmin != 0.0)
    forChain(target_from, target_to, [&](const point *w) {
      if (crossed) return;
      forChain(from, to, [&](const point *u) {
        if (crossed) return;
        point X;
        const int r = computeIntersection_segseg(u, u->next, w, w->next, kTouch, &X);
        if (r == 1 || r == 3) {
          crossed = true;
          return;
        }
        closer(w, u, false);
      });
    });
  if (crossed) {
    distance = 0.0;
    return nullptr;
  }
  distance = dmin;
  const point s = vertexAt(S, -1), t = vertexAt(T, -1);
  path *rect = side == 1 ? create_splitter_path_(&s, &t) : create_splitter_path_(&t, &s);
  rect->first->label = rect->first->next->label = 1;
  rect->first->previous->label = rect->first->previous->previous->label = 0;
  return rect;
}

void intersectionSplitter(const point *from, const point *to, point *target_from, point *target_to, int side,
                          shape *out) {
  if (!out) return;
  out->kind = 10 * side;
  if (!from || !to || !target_from || !target_to) return;
  // The source is only read: its range is snapped on a copy of its ring.
  const PathOwner src(create_path());
  int steps = 0, n = 0;
  forChain(from, from, [&](const point *v) {
    create_point_before(src.get(), src->first, v);
    if (v == to) steps = n;
    ++n;
  });
  point *f = src->first, *t = advance(f, steps);
  mappathonpath_(target_from, target_to, f, t, 1e-11);
  forChain(f, t, [&](const point *s) {
    forChain(target_from, target_to, [&](const point *w) {
      point X;
      const int r = computeIntersection_segseg(w, w->next, s, s->next, kTouch, &X);
      if (r != 1 && r != 3) return;
      const Vec F{X.x + 0.01 * (s->next->x - X.x) + 0.01 * (w->x - X.x),
                  X.y + 0.01 * (s->next->y - X.y) + 0.01 * (w->y - X.y)};
      const Vec G{X.x + 0.01 * (s->x - X.x) + 0.01 * (w->next->x - X.x),
                  X.y + 0.01 * (s->y - X.y) + 0.01 * (w->next->y - X.y)};
      const point a = vertexAt(side == 1 ? F : G, 0), b = vertexAt(side == 1 ? G : F, 1);
      PathOwner p(create_path());
      create_point_before(p.get(), p->first, &a);
      create_point_before(p.get(), p->first, &b);
      add_path(p.release(), out);
    });
  });
}

shape *setSplitter(const shape *source, int &from, int &to, int side, int ntargets,
                   const shape *const *targets) {
  if (!hasPaths(source) || !source->paths[0] || !source->paths[0]->first || !targets) return nullptr;
  const path *P = source->paths[0];
  const int n = size_path_(P);
  for (int *k : {&from, &to}) *k = *k < 0 ? 0 : *k > n ? n : *k;
  const point *F = advance(static_cast<const point *>(P->first), from);
  const point *T = advance(static_cast<const point *>(P->first), to);
  // Targets whose first path is empty are passed over wherever they stand.
  std::vector<const path *> live;
  for (int i = 0; i < ntargets; ++i)
    if (hasPaths(targets[i]) && targets[i]->paths[0] && targets[i]->paths[0]->first)
      live.push_back(targets[i]->paths[0]);
  if (live.empty()) return nullptr;
  PathOwner best;
  double bestDistance = 0.0;
  bool apart = true;
  for (const path *t : live) {
    double d = 0.0;
    PathOwner candidate(stdSplitter(F, T, t->first, t->first, side, d));
    if (!candidate) {
      apart = false;
      break;
    }
    if (!best || d < bestDistance) {
      best = std::move(candidate);
      bestDistance = d;
    }
  }
  ShapePtr result(create_shape());
  if (apart) {
    const path *rect = best.get();
    add_path(best.release(), result.get());
    add_path(build_complement_splitter_(rect), result.get());
    result->kind = side;
    return result.release();
  }
  best.reset();
  for (const path *t : live) {
    const PathOwner copy = copyPath(t);
    intersectionSplitter(F, T, copy->first, copy->first, side, result.get());
  }
  result->kind = 10 * side;
  return result.release();
}

point *closestPoint(const path *P, const point *p, int from, int to) {
  if (!P || !P->first || !p) return nullptr;
  const int n = size_path_(P);
  point *start = P->first, *stop = P->first->previous;
  const int lo = from, hi = to;
  if (!(lo == -1 && hi == -1)) {
    const auto clamp = [n](int k) { return k < 0 ? 0 : k > n ? n : k; };
    start = advance(P->first, clamp(lo));
    stop = advance(P->first, clamp(hi));
  }
  point *best = start;
  double bestDistance = distance(start, p);
  for (point *v = start; v != stop;) {
    v = v->next;
    const double d = distance(v, p);
    if (d < bestDistance) {
      best = v;
      bestDistance = d;
    }
  }
  return best;
}

}  // namespace kiv::geom
