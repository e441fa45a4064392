// Union, intersection, removal and splitters on two small shapes built from
// the input bytes: vertices on a grid of 6.25 in [-800, 800) (so that edges,
// vertices and arcs often coincide, and no piece of a result is near the
// 0.001 that results drop) and arcs between neighbours.  Where both shapes
// are regions (one contour each, not crossing itself, counter-clockwise),
// the results must add up: |A or B| + |A and B| = |A| + |B| and
// |A minus B| = |A| - |A and B|, and the same for B minus A, and no result
// runs back along itself.
//
// Layout: one flags byte (bit 0: A has two paths, bit 1: B has two paths,
// bits 2-3: splitter side and range), then per path a count byte (3 to 8
// vertices) and per vertex three bytes: x, y and an arc byte (low two bits
// 0: an arc to the next vertex; bit 2 its kind, bit 3 its direction, the
// high bits its radius as a multiple of half the chord).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "geometry/kiv_geometry.h"
#include "runtime/system.hpp"
#include "fuzz/fuzz_support.hpp"

namespace {


struct Bytes {
  const uint8_t *data;
  size_t size, at = 0;
  bool more() const { return at < size; }
  uint8_t next() { return at < size ? data[at++] : 0; }
};

path *readPath(Bytes &in) {
  const int n = 3 + in.next() % 6;
  path *p = create_path();
  uint8_t arcs[8];
  for (int i = 0; i < n; ++i) {
    const double x = (in.next() - 128) * 6.25, y = (in.next() - 128) * 6.25;
    add_last_xy_(p, x, y);
    arcs[i] = in.next();
  }
  // Arcs after the vertices, each from a vertex to its plain successor.
  point *v = p->first;
  for (int i = 0; i < n; ++i) {
    point *after = v->next;
    const uint8_t a = arcs[i];
    if ((a & 3) == 0 && after != v) {
      const double chord = std::hypot(after->x - v->x, after->y - v->y);
      const double r = chord / 2 * (1.0 + (a >> 4) / 8.0);
      insertarc_(v, after, r, (a & 4) ? KIV_ARC_MAJOR : KIV_ARC_MINOR, (a & 8) ? KIV_CW : KIV_CCW);
    }
    v = after;
  }
  return p;
}

shape *readShape(Bytes &in, bool twoPaths) {
  shape *s = create_shape();
  add_path(readPath(in), s);
  if (twoPaths && in.more()) add_path(readPath(in), s);
  return s;
}

// Every ring closed both ways, every node owned by its path, areas finite.
void check(const shape *s) {
  if (!s) std::abort();
  for (int i = 0; i < s->npaths; ++i) {
    const path *p = s->paths[i];
    if (!p || !p->first) std::abort();
    const point *n = p->first;
    int count = 0;
    do {
      if (n->owner != p || n->next->previous != n || n->previous->next != n) std::abort();
      n = n->next;
      if (++count > 1000000) std::abort();
    } while (n != p->first);
  }
  if (!std::isfinite(area2D_(s))) std::abort();
}

// Distance from p to the edge that starts at node e (a segment, or the arc
// of a centre node).
double distanceToEdge(const point *p, const point *e) {
  const double q[2] = {p->x, p->y};
  if (e->arc) return distance_to_arc(q, e);
  const point *b = e->next;
  const double dx = b->x - e->x, dy = b->y - e->y, l2 = dx * dx + dy * dy;
  double t = l2 > 0 ? ((p->x - e->x) * dx + (p->y - e->y) * dy) / l2 : 0;
  t = t < 0 ? 0 : t > 1 ? 1 : t;
  return std::hypot(e->x + t * dx - p->x, e->y + t * dy - p->y);
}

// One counter-clockwise contour that neither crosses nor touches itself
// (no vertex on another edge, no edge running back along the last).
bool region(const shape *s) {
  if (s->npaths != 1 || !(area2D_(s) > 0.0) || check_intersections_paths(s->paths[0], s->paths[0]) != 0) return false;
  const point *first = s->paths[0]->first;
  std::vector<const point *> vertices, edges;
  const point *n = first;
  do {
    if (!n->arc) vertices.push_back(n);
    if (n->arc || !n->next->arc) edges.push_back(n);
    n = n->next;
  } while (n != first);
  for (const point *v : vertices)
    for (const point *e : edges) {
      const point *from = e->arc ? e->previous : e, *to = e->next;
      if (from == v || to == v) continue;
      if (distanceToEdge(v, e) < 1e-9) return false;
    }
  for (const point *v : vertices) {
    const point *a = v->previous, *b = v->next;
    if (a->arc || b->arc) continue;
    const double ux = v->x - a->x, uy = v->y - a->y, wx = b->x - v->x, wy = b->y - v->y;
    if (ux * wy - uy * wx == 0 && ux * wx + uy * wy < 0) return false;
  }
  return true;
}

// Whether a contour of the result turns straight back along itself or a
// straight edge is walked twice: a stretch with the region on neither side.
bool spiky(const shape *s) {
  std::vector<std::array<double, 4>> edges;
  for (int i = 0; i < s->npaths; ++i) {
    const point *first = s->paths[i]->first, *n = first;
    do {
      const point *q = n->next, *r = q->next;
      if (!n->arc && !q->arc) {
        std::array<double, 4> e{n->x, n->y, q->x, q->y};
        if (std::pair(e[2], e[3]) < std::pair(e[0], e[1])) e = {e[2], e[3], e[0], e[1]};
        edges.push_back(e);
        const double ux = q->x - n->x, uy = q->y - n->y, wx = r->x - q->x, wy = r->y - q->y;
        if (!r->arc && r != n && ux * wy - uy * wx == 0 && ux * wx + uy * wy < 0) return true;
      }
      n = q;
    } while (n != first);
  }
  std::sort(edges.begin(), edges.end());
  return std::adjacent_find(edges.begin(), edges.end()) != edges.end();
}

void run(shape *A, shape *B, int flags) {
  const auto use = [](shape *r) {
    check(r);
    delete_shape_(r);
  };
  int su = -1, si = -1, sa = -1, sb = -1;
  shape *U = union_shape_status_(A, B, &su), *I = intersection_shape_status_(A, B, &si);
  shape *DA = remove_shape_status_(A, B, &sa), *DB = remove_shape_status_(B, A, &sb);
  for (shape *r : {U, I, DA, DB}) check(r);
  if (region(A) && region(B) && su == KIV_BOOL_OK && si == KIV_BOOL_OK && sa == KIV_BOOL_OK && sb == KIV_BOOL_OK) {
    const double a = area2D_(A), b = area2D_(B), u = area2D_(U), i = area2D_(I);
    const double tol = 1e-9 * (a + b) + 0.002;
    if (std::fabs(u + i - a - b) > tol || std::fabs(area2D_(DA) - (a - i)) > tol ||
        std::fabs(area2D_(DB) - (b - i)) > tol) {
      std::fprintf(stderr, "areas do not add up: A %.17g B %.17g or %.17g and %.17g A-B %.17g B-A %.17g\n", a, b, u,
                   i, area2D_(DA), area2D_(DB));
      std::abort();
    }
    for (const shape *r : {U, I, DA, DB})
      if (spiky(r)) {
        std::fprintf(stderr, "a result runs back along itself\n");
        std::abort();
      }
  }
  for (shape *r : {U, I, DA, DB}) delete_shape_(r);
  int status = 0;
  // A splitter from a range of A's first path towards B.
  int from = flags & 1 ? 1 : 0, to = flags & 2 ? 3 : 0, side = 1 + ((flags >> 2) & 1), n = 1;
  const shape *targets[] = {B};
  if (shape *S = xCD_setsplitter_(A, &from, &to, &side, &n, targets)) {
    check(S);
    use(remove_splitter_status_(A, S, &status));
    use(union_shape_(S, B));
    delete_shape_(S);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 10) return 0;
  KIVSystem *sys = kiv::fuzz::quietSystem();
  Bytes in{data, size};
  const uint8_t flags = in.next();
  shape *A = readShape(in, flags & 1);
  shape *B = readShape(in, flags & 2);
  run(A, B, flags >> 2);
  delete_shape_(A);
  delete_shape_(B);
  KivReleaseSystem(sys);
  return 0;
}
