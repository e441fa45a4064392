// Points, paths and shapes: creation, linking, deletion, copies, reversal,
// orientation, cleaning and checking.
#include <cstdio>
#include <cstring>

#include "geometry/kernel.hpp"

namespace kiv::geom {

void allocationFailure(const char *where) {
  // A library must not wait on the host's standard input or end its process:
  // the message stays, the run ends through the exit path.
  kiv::MutedMessages::sayFatal(stdout, "Memory allocation error in:\"%s\"", where);
  KivExit(1);
}

namespace {

// Takes a tagged node out of its path's count of unvisited intersections.
void forgetIntersection(const point *p) {
  if (p->tag >= KIV_TAG_INTERSECTION && p->tag <= KIV_TAG_TOUCH && p->owner &&
      p->owner->unvisited > 0)
    --p->owner->unvisited;
}

// Unlinks and frees a node of another ring, moving its path's first node
// away from it beforehand.
void dropNode(point *p) {
  if (path *o = p->owner; o && o->first == p) o->first = p->next != p ? p->next : nullptr;
  forgetIntersection(p);
  p->previous->next = p->next;
  p->next->previous = p->previous;
  std::free(p);
}

point *newNode(const point *tmpl) {
  point *n = allocate<point>("create_point");
  if (tmpl)
    *n = *tmpl;
  else
    initialized_point(n);
  return n;
}

void linkAlone(point *n, path *p) {
  n->previous = n->next = n;
  n->owner = p;
  if (p) p->first = n;
}

void copyPathInto(const path *src, path *dst, bool backwards) {
  if (!src || !src->first || !dst) return;
  // Counted, so that a path copied onto itself does not chase its copies.
  const point *n = src->first;
  for (int left = size_path_(src); left > 0; --left) {
    point *c = create_point_before(dst, dst->first, n);
    if (backwards && c->direction == KIV_CW)
      c->direction = KIV_CCW;
    else if (backwards && c->direction == KIV_CCW)
      c->direction = KIV_CW;
    n = backwards ? n->previous : n->next;
  }
}

int flipped(int orientation) {
  return orientation == KIV_ORIENT_CCW ? KIV_ORIENT_CW
         : orientation == KIV_ORIENT_CW ? KIV_ORIENT_CCW
                                        : orientation;
}

void freeShape(shape *s) {
  for (int i = 0; s->paths && i < s->npaths; ++i) PathFree{}(s->paths[i]);
  std::free(s->paths);
  std::free(s);
}

}  // namespace
}  // namespace kiv::geom

using namespace kiv::geom;

extern "C" {

point *initialized_point(point *p) {
  if (!p) return nullptr;
  p->x = p->y = p->radius = 0.0;
  p->previous = p->next = p->partner = nullptr;
  p->owner = nullptr;
  p->tag = 0;
  p->label = -1;
  p->arc = 0;
  p->direction = 0;
  return p;
}

point *create_point_before(path *pa, point *anchor, const point *tmpl) {
  point *n = newNode(tmpl);
  if (!anchor) {
    linkAlone(n, pa);
    return n;
  }
  n->owner = anchor->owner;
  n->next = anchor;
  n->previous = anchor->previous;
  anchor->previous->next = n;
  anchor->previous = n;
  return n;
}

point *create_point_after(path *pa, point *anchor, const point *tmpl) {
  // Just after the anchor is just before its successor, in the same ring.
  return create_point_before(pa, anchor ? anchor->next : nullptr, tmpl);
}

point *add_last_xy_(path *pa, double x, double y) {
  if (!pa) return nullptr;
  point t;
  initialized_point(&t);
  t.x = x;
  t.y = y;
  return create_point_before(pa, pa->first, &t);
}

point *add_last_Rtheta_(path *pa, double r, double theta) {
  return add_last_xy_(pa, r * std::cos(theta), r * std::sin(theta));
}

point *add_before_Rtheta_(point *anchor, double r, double theta) {
  if (!anchor) return nullptr;
  point t;
  initialized_point(&t);
  t.x = r * std::cos(theta);
  t.y = r * std::sin(theta);
  return create_point_before(anchor->owner, anchor, &t);
}

path *create_path(void) {
  path *p = allocate<path>("create_path");
  p->first = nullptr;
  p->active = 1;
  p->unvisited = 0;
  p->orientation = KIV_ORIENT_NONE;
  return p;
}

shape *create_shape(void) {
  shape *s = allocate<shape>("create_shape");
  s->paths = nullptr;
  s->npaths = 0;
  s->kind = 0;
  return s;
}

int add_path(path *p, shape *s) {
  if (!p || !s) return -1;
  PathOwner owned(p);  // the shape's from here: freed when the run ends without room for it
  const int n = s->paths ? s->npaths : 0;
  void *grown = std::realloc(s->paths, sizeof(path *) * static_cast<size_t>(n + 1));
  if (!grown) allocationFailure("add_path");
  s->paths = static_cast<path **>(grown);
  s->paths[n] = owned.release();
  s->npaths = n + 1;
  return n;
}

path *create_splitter_path_(const point *a, const point *b) {
  const double L = distance(a, b);
  double ex = 1e-5, ey = 0.0;
  if (L != 0.0) {
    ex = 1e-5 * (b->x - a->x) / L;
    ey = 1e-5 * (b->y - a->y) / L;
  }
  const double ax = a->x - ex, ay = a->y - ey;
  const double bx = b->x + ex, by = b->y + ey;
  PathOwner p(create_path());
  add_last_xy_(p.get(), ax + ey, ay - ex);
  add_last_xy_(p.get(), bx + ey, by - ex);
  add_last_xy_(p.get(), bx - ey, by + ex);
  add_last_xy_(p.get(), ax - ey, ay + ex);
  return p.release();
}

int initialize_shape(path *paths[], int count) {
  for (int i = 0; paths && i < count; ++i) {
    path *p = paths[i];
    if (!p) continue;
    p->active = 1;
    p->unvisited = 0;
    p->orientation = KIV_ORIENT_NONE;
    forEachNode(p, [p](point *n) {
      n->partner = nullptr;
      n->tag = 0;
      n->owner = p;
      return false;
    });
  }
  return 0;
}

void delete_point_(point *p) {
  if (!p) return;
  if (p->owner && p->owner->first == p) {
    kivfprintf(stderr, "attempt to delete root !!!\n");
    kivfprintf(stderr, "abort computation\n");
    KivExit(1);
  }
  p->previous->next = p->next;
  p->next->previous = p->previous;
  std::free(p);
}

void delete_path_(path *p) {
  if (!p || !p->first) return;
  point *n = p->first;
  n->previous->next = nullptr;  // open the ring
  while (n) {
    point *next = n->next;
    std::free(n);
    n = next;
  }
  p->first = nullptr;
}

int remove_path_from_shape(path *p, shape *s) {
  if (!p || !s || !s->paths || s->npaths < 1) return 1;
  int at = -1;
  for (int i = 0; i < s->npaths && at < 0; ++i)
    if (s->paths[i] == p) at = i;
  if (at < 0) return 1;
  PathFree{}(p);
  std::memmove(s->paths + at, s->paths + at + 1, sizeof(path *) * static_cast<size_t>(s->npaths - at - 1));
  if (--s->npaths == 0) {
    std::free(s->paths);
    s->paths = nullptr;
    return -2;
  }
  // Shrinking never needs new storage: on failure the larger array stays.
  if (void *shrunk = std::realloc(s->paths, sizeof(path *) * static_cast<size_t>(s->npaths)))
    s->paths = static_cast<path **>(shrunk);
  return 0;
}

void delete_shape_(shape *s) {
  if (!s) return;
  // A count without its array: nothing can be freed safely but the count.
  if (!s->paths && s->npaths != 0) {
    s->npaths = 0;
    return;
  }
  freeShape(s);
}

void delete_shape_permissive_(shape *s) {
  // Empty shapes are freed as well: the registry deletes every result
  // through here, empty ones included.
  if (s) freeShape(s);
}

void copy_path_(const path *src, path *dst) { copyPathInto(src, dst, false); }

void copy_path_reversed_(const path *src, path *dst) {
  if (!src || !dst) return;
  copyPathInto(src, dst, true);
  if (src->orientation == KIV_ORIENT_CCW || src->orientation == KIV_ORIENT_CW)
    dst->orientation = flipped(src->orientation);
}

void reverse_path_(path *p) {
  if (!p) return;
  forEachNode(p, [](point *n) {
    point *t = n->previous;
    n->previous = n->next;
    n->next = t;
    if (n->direction == KIV_CW)
      n->direction = KIV_CCW;
    else if (n->direction == KIV_CCW)
      n->direction = KIV_CW;
    return false;
  });
  p->orientation = flipped(p->orientation);
}

// The copies are handed out whole: an exit while one is made frees it.
void xCD_copy_shape_(const shape *src, shape **out) {
  if (!out) return;
  ShapePtr s(create_shape());
  if (src) s->kind = src->kind;
  for (int i = 0; src && src->paths && i < src->npaths; ++i) {
    path *p = create_path();
    add_path(p, s.get());
    if (!src->paths[i]) continue;
    copy_path_(src->paths[i], p);
    p->orientation = src->paths[i]->orientation;
  }
  *out = s.release();
}

void xCD_copy_shape_reversed_(const shape *src, shape **out) {
  if (!out) return;
  ShapePtr s(create_shape());
  for (int i = 0; src && src->paths && i < src->npaths; ++i) {
    path *p = create_path();
    add_path(p, s.get());
    copy_path_reversed_(src->paths[i], p);
  }
  *out = s.release();
}

int orient_path2_(path *p) {
  if (!p || !p->first) return -2;
  const double a = area2D_path_(p);
  p->orientation = a > 0.0 ? KIV_ORIENT_CCW : a < 0.0 ? KIV_ORIENT_CW : KIV_ORIENT_NONE;
  return p->orientation;
}

int orient_path_(path *p) {
  if (!p || !p->first) return -2;
  const point *c = p->first;
  for (const point *n = c->next; n != p->first; n = n->next)
    if (!isCentre(n) && (n->y < c->y || (n->y == c->y && n->x >= c->x))) c = n;
  const point *a = c->previous, *b = c->next;
  const double t = (c->x - a->x) * (b->y - a->y) - (c->y - a->y) * (b->x - a->x);
  if (t == 0.0) return orient_path2_(p);
  p->orientation = t > 0.0 ? KIV_ORIENT_CCW : KIV_ORIENT_CW;
  return p->orientation;
}

int size_path_(const path *p) {
  int n = 0;
  forEachNode(p, [&n](point *) {
    ++n;
    return false;
  });
  return n;
}

int clean_shape(shape *s, double tol) {
  if (!s || !s->paths) return 0;
  int removed = 0;
  for (int i = 0; i < s->npaths;) {
    path *pa = s->paths[i];
    int gone = 0;
    bool dropPath = false;
    if (pa && pa->first) {
      int n = size_path_(pa);
      point *p = pa->first;
      do {
        point *q = p->next;
        if (isCentre(p) || isCentre(q) || q == p || !(distance(p, q) < tol)) {
          p = q;
          continue;
        }
        if (n < 4) {
          dropPath = true;
          break;
        }
        --n;
        ++gone;
        if (p->tag == 0) {
          if (p == pa->first) pa->first = p->previous;
          delete_point_(p);
          p = q;
        } else if (q->tag == 0) {
          if (q == pa->first) pa->first = p;
          delete_point_(q);
          p = p->next;
        } else {
          // The partner lives in the other shape; a missing one is passed
          // over, and its ring's first node is moved away before deletion.
          point *twin = p->partner;
          if (twin && twin != p && twin != q && twin->owner != pa) dropNode(twin);
          forgetIntersection(p);
          if (p == pa->first) pa->first = p->previous;
          delete_point_(p);
          p = q;
        }
      } while (p != pa->first);
    }
    if (dropPath) {
      if (remove_path_from_shape(pa, s) == -2) return -2;
      continue;  // the next path moved into slot i
    }
    removed += gone;
    ++i;
  }
  return removed;
}

int check_shape(shape *s) {
  if (!s) return -2;
  for (int i = 0; s->paths && i < s->npaths;) {
    path *p = s->paths[i];
    const int n = size_path_(p);
    const double a = n > 0 ? area2D_path_(p) : 0.0;
    if (n <= 2 || isSliver(a)) {
      const int r = remove_path_from_shape(p, s);
      if (r == -2) return -2;
      if (r == 0) continue;  // the next path moved into slot i
    }
    ++i;
  }
  for (int i = 0; s->paths && i < s->npaths; ++i) orient_path2_(s->paths[i]);
  return 0;
}

}  // extern "C"
