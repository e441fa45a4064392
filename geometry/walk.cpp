// Helpers of the boolean walk: edge midpoints, exits, false and double
// intersections, and the ordering groups of nested paths.
#include <initializer_list>

#include "geometry/kernel.hpp"

namespace kiv::geom {
namespace {

// Marks an intersection node consumed, with its partner unless that one is
// plain or consumed already.
void consume(point *p) {
  p->tag = KIV_TAG_CONSUMED;
  if (p->owner) --p->owner->unvisited;
  point *twin = p->partner;
  if (twin && twin->tag != KIV_TAG_PLAIN && twin->tag != KIV_TAG_CONSUMED) {
    twin->tag = KIV_TAG_CONSUMED;
    if (twin->owner) --twin->owner->unvisited;
  }
}

// The first node after p (before coming back to p) whose tag is one of
// `stops`, or NULL.
point *nextTagged(point *p, std::initializer_list<int> stops) {
  for (point *q = p->next; q != p; q = q->next)
    for (int t : stops)
      if (q->tag == t) return q;
  return nullptr;
}

void unlink(point *p) {
  p->previous->next = p->next;
  p->next->previous = p->previous;
  std::free(p);
}

}  // namespace
}  // namespace kiv::geom

using namespace kiv::geom;

extern "C" {

void intermpoint(point *out, const point *a, const point *b) {
  const point *c = nullptr;
  if (isCentre(a->next) && a->next->next == b)
    c = a->next;
  else if (isCentre(a->previous) && a->previous->previous == b)
    c = a->previous;
  initialized_point(out);
  if (c && (c->direction == KIV_CW || c->direction == KIV_CCW)) {
    const double f0 = std::atan2(c->previous->y - c->y, c->previous->x - c->x);
    const double f1 = std::atan2(c->next->y - c->y, c->next->x - c->x);
    const double mid = c->direction == KIV_CCW ? f0 + (f1 + (f1 < f0 ? kTwoPi : 0.0) - f0) / 2.0
                                               : f0 + (f1 - (f0 < f1 ? kTwoPi : 0.0) - f0) / 2.0;
    out->x = c->x + c->radius * std::cos(mid);
    out->y = c->y + c->radius * std::sin(mid);
    return;
  }
  out->x = (a->x + b->x) / 2.0;
  out->y = (a->y + b->y) / 2.0;
}

point *find_next_exit(point *start, int orientation) {
  if (!start) return nullptr;
  const bool forward = start->owner && start->owner->orientation == orientation;
  point *n = start;
  do {
    if (n->tag == KIV_TAG_EXIT) return n;
    n = forward ? n->next : n->previous;
  } while (n != start);
  return nullptr;
}

int check_for_false_intersections(shape *s) {
  int removed = 0;
  for (int i = 0; s && s->paths && i < s->npaths; ++i) {
    path *pa = s->paths[i];
    if (!pa || pa->unvisited <= 1) continue;
    // Two entries in a row: the first one leads nowhere.
    forEachNode(pa, [&](point *p) {
      if (p->tag != KIV_TAG_SWITCH) return false;
      const point *q = nextTagged(p, {KIV_TAG_EXIT, KIV_TAG_SWITCH, KIV_TAG_TOUCH});
      if (q && q->tag == KIV_TAG_SWITCH) {
        consume(p);
        ++removed;
      }
      return false;
    });
    // Two exits in a row: the second one is false.
    forEachNode(pa, [&](point *p) {
      if (p->tag != KIV_TAG_EXIT) return false;
      point *q = nextTagged(p, {KIV_TAG_EXIT, KIV_TAG_SWITCH, KIV_TAG_TOUCH});
      if (q && q->tag == KIV_TAG_EXIT) {
        consume(q);
        ++removed;
      }
      return false;
    });
  }
  return removed;
}

int check_for_double_intersections(shape *s) {
  int merged = 0;
  for (int i = 0; s && s->paths && i < s->npaths; ++i) {
    path *pa = s->paths[i];
    if (!pa || !pa->first || pa->unvisited <= 0) continue;
    const int n = size_path_(pa);
    point *p = pa->first;
    for (int seen = 0; seen < n && pa->first;) {
      point *q = p->next;
      if (q == p || p->tag != KIV_TAG_INTERSECTION || q->tag != KIV_TAG_INTERSECTION ||
          !closeTo(p->x, p->y, q->x, q->y, 1e-12)) {
        p = q;
        ++seen;
        continue;
      }
      // Both partners stay, as touch points paired with each other.
      point *tp = p->partner == q ? nullptr : p->partner;
      point *tq = q->partner == p ? nullptr : q->partner;
      for (point *t : {tp, tq}) {
        if (!t) continue;
        t->partner = t == tp ? tq : tp;
        t->tag = KIV_TAG_TOUCH;
      }
      point *after = q->next;
      if (pa->first == p || pa->first == q) pa->first = after != p ? after : nullptr;
      unlink(p);
      unlink(q);
      pa->unvisited = pa->unvisited >= 2 ? pa->unvisited - 2 : 0;
      ++merged;
      seen += 2;
      p = after;
    }
  }
  return merged;
}

int set_path_order(const void *a, const void *b) {
  const int da = static_cast<const ordering_entry *>(a)->depth;
  const int db = static_cast<const ordering_entry *>(b)->depth;
  return da > db ? 1 : da < db ? -1 : 0;
}

void Ordering_free_group(ordering_group *g) {
  if (!g) return;
  for (int i = 0; g->entries && i < g->count; ++i) g->entries[i].ref = nullptr;
  std::free(g->entries);
  g->entries = nullptr;
  g->count = 0;
}

}  // extern "C"
