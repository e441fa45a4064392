// Union, intersection, removal and splitters on two small shapes built from
// the input bytes: vertices on a 1/16 grid in [-8, 8) (so that edges,
// vertices and arcs often coincide) and arcs between neighbours.
//
// Layout: one flags byte (bit 0: A has two paths, bit 1: B has two paths,
// bits 2-3: splitter side and range), then per path a count byte (3 to 8
// vertices) and per vertex three bytes: x, y and an arc byte (low two bits
// 0: an arc to the next vertex; bit 2 its kind, bit 3 its direction, the
// high bits its radius as a multiple of half the chord).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

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
    const double x = (in.next() - 128) / 16.0, y = (in.next() - 128) / 16.0;
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

void run(shape *A, shape *B, int flags) {
  const auto use = [](shape *r) {
    check(r);
    delete_shape_(r);
  };
  int status = 0;
  use(union_shape_status_(A, B, &status));
  use(intersection_shape_status_(A, B, &status));
  use(remove_shape_status_(A, B, &status));
  use(remove_shape_status_(B, A, &status));
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
