// Union, intersection and removal of ordinary shapes by overlaying their
// boundaries: both are cut wherever they meet, each piece of boundary is
// judged against the other shape, the pieces that bound the result are kept
// and joined into closed contours.
//
// Degenerate meetings are the rule here, not the exception (shared
// vertices, overlapping edges, a shape and its copy, arcs on one circle or
// through the same ends, tangencies), so they are settled before anything
// is judged, with one tolerance for both shapes:
// - arcs of the two shapes on one circle are given the same circle;
// - a vertex of B near a vertex of A becomes that vertex;
// - a vertex near an edge of the other shape splits that edge;
// - the edges are then cut where they cross, a tangency counting as one
//   meeting point.
// After that every meeting point is a node of both shapes, pieces of the two
// boundaries between the same nodes along the same curve are overlaps, and
// every other piece lies clear of the other boundary, where a winding count
// decides its side.  Segment crossings are decided with exact orientation
// tests, so near-parallel edges meet where they really do.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <memory_resource>
#include <utility>
#include <vector>

#include "geometry/boolean.hpp"

namespace kiv::geom {
namespace {

// Every container of one operation draws on one arena, which a small
// operation finds on the stack: the allocator never sees it.
using Mem = std::pmr::memory_resource;
template <class T>
using Vec = std::pmr::vector<T>;

// A bump allocator over the caller's room that never gives back before it
// ends; beyond the room, blocks of the heap that it frees at its end.  The
// standard one does the same out of line: a small operation allocates some
// fifty times.
class Arena final : public Mem {
 public:
  Arena(std::byte *room, size_t size) : at_(room), end_(room + size) {}
  ~Arena() override {
    while (spill_) {
      Spill *next = spill_->next;
      ::operator delete(spill_);
      spill_ = next;
    }
  }
  Arena(const Arena &) = delete;
  Arena &operator=(const Arena &) = delete;

 private:
  struct Spill {
    Spill *next;
  };

  // Alignments are powers of two.
  static std::byte *aligned(std::byte *p, size_t align) {
    return p + ((align - (reinterpret_cast<uintptr_t>(p) & (align - 1))) & (align - 1));
  }

  void *do_allocate(size_t bytes, size_t align) override {
    std::byte *p = aligned(at_, align);
    if (p > end_ || static_cast<size_t>(end_ - p) < bytes) {
      // A block of the heap large enough, with room for more after it.
      const size_t size = sizeof(Spill) + align + std::max(bytes, size_t{16384});
      auto *block = static_cast<std::byte *>(::operator new(size));
      spill_ = new (block) Spill{spill_};
      end_ = block + size;
      p = aligned(block + sizeof(Spill), align);
    }
    at_ = p + bytes;
    return p;
  }
  void do_deallocate(void *, size_t, size_t) override {}
  bool do_is_equal(const Mem &other) const noexcept override { return this == &other; }

  std::byte *at_, *end_;
  Spill *spill_ = nullptr;
};

// Sign of (b - a) x (c - a), exact; beyond the exponents the exact sum
// can hold (coordinates near 1e150 or 1e-150) the rounded sign serves.
int orient(double ax, double ay, double bx, double by, double cx, double cy) {
  if (const std::optional<int> s = turnSign(ax, ay, bx, by, cx, cy)) return *s;
  const double d = (ax - cx) * (by - cy) - (ay - cy) * (bx - cx);
  return (d > 0.0) - (d < 0.0);
}

// ---- Boundaries as arrays ----------------------------------------------------

struct Node {
  double x, y;
};

// Where a piece of one shape's boundary lies against the other shape;
// kGone: it bounds none of its own shape's material.
enum Place : signed char { kOutside = 0, kInside = 1, kSame = 2, kOpposite = 3, kUnknown = 4, kGone = 5 };

// A directed piece of boundary between two nodes: a segment, or an arc of
// the circle (cx, cy, r) from the angle a0 through the signed sweep
// (counter-clockwise positive).
struct Edge {
  int from, to;
  bool arc;
  double cx, cy, r;
  double a0, sweep;
  int shape;                // 0 for A, 1 for B
  signed char place = kUnknown;  // against the other shape, once known (Place)
  int ring = -1, index = -1;  // as a piece of the result: where it was cut from
};

struct Ring {
  Vec<Edge> edges;
  double area = 0.0;
  explicit Ring(Mem *mem) : edges(mem) {}
};

// Reduces an angle into [0, 2 pi); the angles met here are differences of
// a few turns at most.
double wrap(double a) {
  if (!(std::fabs(a) < 8.0 * kTwoPi)) a = std::fmod(a, kTwoPi);
  while (a < 0.0) a += kTwoPi;
  while (a >= kTwoPi) a -= kTwoPi;
  return a;
}

double angleOf(const Edge &e, double x, double y) { return std::atan2(y - e.cy, x - e.cx); }

// Distance travelled along the arc from its start to the angle phi, in
// [0, 2 pi).
double along(const Edge &e, double phi) { return wrap(e.sweep >= 0.0 ? phi - e.a0 : e.a0 - phi); }

double edgeArea(const Edge &e, const Vec<Node> &nodes) {
  const Node &s = nodes[e.from], &t = nodes[e.to];
  double a = (s.x * t.y - t.x * s.y) / 2.0;
  if (e.arc) a += e.r * e.r / 2.0 * (e.sweep - std::sin(e.sweep));
  return a;
}

// Distance from (x, y) to the edge, its ends included.
double distanceTo(const Edge &e, const Vec<Node> &nodes, double x, double y) {
  const Node &s = nodes[e.from], &t = nodes[e.to];
  if (e.arc) {
    if (e.from == e.to || along(e, angleOf(e, x, y)) < std::fabs(e.sweep))
      return std::fabs(distance(x, y, e.cx, e.cy) - e.r);
    return std::min(distance(x, y, s.x, s.y), distance(x, y, t.x, t.y));
  }
  const double dx = t.x - s.x, dy = t.y - s.y, l2 = dx * dx + dy * dy;
  const double u = (x - s.x) * dx + (y - s.y) * dy;
  if (u <= 0.0) return distance(x, y, s.x, s.y);
  if (u >= l2) return distance(x, y, t.x, t.y);
  return std::fabs(cross(dx, dy, x - s.x, y - s.y)) / std::sqrt(l2);
}

// Whether (x, y) lies within `reach` of the edge, its ends included: the
// distance's test without its square root.
bool withinReach(const Edge &e, const Vec<Node> &nodes, double x, double y, double reach) {
  if (e.arc) return distanceTo(e, nodes, x, y) <= reach;
  const Node &s = nodes[e.from], &t = nodes[e.to];
  const double dx = t.x - s.x, dy = t.y - s.y, l2 = dx * dx + dy * dy;
  const double u = (x - s.x) * dx + (y - s.y) * dy, r2 = reach * reach;
  if (u <= 0.0) return (x - s.x) * (x - s.x) + (y - s.y) * (y - s.y) <= r2;
  if (u >= l2) return (x - t.x) * (x - t.x) + (y - t.y) * (y - t.y) <= r2;
  const double c = cross(dx, dy, x - s.x, y - s.y);
  return c * c <= r2 * l2;
}

double ringArea(const Ring &r, const Vec<Node> &nodes) {
  double a = 0.0;
  for (const Edge &e : r.edges) a += edgeArea(e, nodes);
  return a;
}

// The sweep of an arc from node s to node t about (cx, cy) in the given
// direction; `hint` settles what rounding leaves open: a sweep near 0 or a
// full turn, or a half circle.
double sweepOf(double cx, double cy, const Node &s, const Node &t, bool ccw, double hint) {
  const double a0 = std::atan2(s.y - cy, s.x - cx), a1 = std::atan2(t.y - cy, t.x - cx);
  double m = wrap(ccw ? a1 - a0 : a0 - a1);
  // The hint is the intended magnitude: the kind of the arc, or its sweep
  // before its circle moved.
  if (hint > kPi + 1e-6 && m < kPi - 1e-6 && m < 1e-6) m += kTwoPi;
  if (hint < kPi - 1e-6 && m > kPi + 1e-6 && m > kTwoPi - 1e-6) m = 0.0;
  if (std::fabs(m - kPi) < 1e-6 && std::fabs(hint - kPi) < 1e-6) m = hint;
  return ccw ? m : -m;
}

// ---- Reading and cleaning the operands ---------------------------------------

struct Raw {
  double x, y;
  bool centre;
  double r;
  int direction, kind;
  int id = -1;  // its node, for a vertex
};

// The ring of a path as raw nodes, with vertices closer than 1e-11 to their
// successor dropped; empty when the path is dropped.
void readPath(const path *p, bool clean, Vec<Raw> &raw) {
  raw.clear();
  if (!p || !p->first) return;
  const point *n = p->first;
  do {
    raw.push_back({n->x, n->y, isCentre(n), n->radius, n->direction, n->arc, -1});
    n = n->next;
  } while (n != p->first);
  for (size_t i = 0; clean && raw.size() > 1 && i < raw.size();) {
    const Raw &a = raw[i], &b = raw[i + 1 < raw.size() ? i + 1 : 0];
    if (a.centre || b.centre || !((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) < 1e-22)) {
      ++i;
      continue;
    }
    if (raw.size() < 4) {
      raw.clear();
      return;
    }
    raw.erase(raw.begin() + static_cast<long>(i));
  }
  if (clean && raw.size() <= 2) raw.clear();
}

struct Operands {
  Vec<Node> nodes;
  Vec<Ring> rings[2];
  explicit Operands(Mem *mem) : nodes(mem), rings{Vec<Ring>(mem), Vec<Ring>(mem)} {}
  Mem *mem() const { return nodes.get_allocator().resource(); }
};

// The rings of shape s appended as edges over new nodes; paths that do not
// form a ring of segments and arcs, or that cleaning would drop, are left
// out.  `nodes` bounds the nodes of any of its paths.
void readShape(const shape *s, int which, Operands &ops, size_t nodes) {
  Vec<Raw> raw(ops.mem());
  raw.reserve(nodes);
  for (int i = 0; s && s->paths && i < s->npaths; ++i) {
    // A splitter's rectangle is taken as it is: thin by design.
    const bool clean = s->kind == 0;
    readPath(s->paths[i], clean, raw);
    const size_t n = raw.size();
    if (n < 2) continue;
    // Start at a vertex; a centre must sit between two vertices.
    size_t start = 0;
    while (start < n && raw[start].centre) ++start;
    if (start == n) continue;
    bool wellFormed = true;
    for (size_t k = 0; k < n; ++k)
      if (raw[k].centre && (raw[k + 1 < n ? k + 1 : 0].centre || raw[k > 0 ? k - 1 : n - 1].centre)) wellFormed = false;
    if (!wellFormed) continue;
    Ring ring(ops.mem());
    ring.edges.reserve(n);
    for (Raw &v : raw)
      if (!v.centre) {
        v.id = static_cast<int>(ops.nodes.size());
        ops.nodes.push_back({v.x, v.y});
      }
    const auto after = [n](size_t k) { return k + 1 < n ? k + 1 : 0; };
    for (size_t k = 0, a = start; k < n; ++k, a = after(a)) {
      if (raw[a].centre) continue;
      const size_t b = after(a);
      Edge e{raw[a].id, 0, false, 0.0, 0.0, 0.0, 0.0, 0.0, which};
      if (!raw[b].centre) {
        e.to = raw[b].id;
      } else {
        const Raw &c = raw[b];
        e.to = raw[after(b)].id;
        e.arc = true;
        e.cx = c.x;
        e.cy = c.y;
        e.r = c.r;
        const bool ccw = c.direction != KIV_CW;
        e.a0 = std::atan2(raw[a].y - c.y, raw[a].x - c.x);
        e.sweep = sweepOf(c.x, c.y, ops.nodes[e.from], ops.nodes[e.to], ccw, c.kind == KIV_ARC_MAJOR ? 1.5 * kPi : 0.5 * kPi);
        if (c.direction != KIV_CW && c.direction != KIV_CCW) e.arc = false;  // no side: its chord
      }
      ring.edges.push_back(e);
    }
    ring.area = ringArea(ring, ops.nodes);
    // What the check of a shape drops.
    if (clean && isSliver(ring.area)) continue;
    ops.rings[which].push_back(std::move(ring));
  }
}

// ---- Candidate pairs by boxes --------------------------------------------------

struct Box {
  double x0, y0, x1, y1;
  int id;
};

// An arc's box grows to the extreme points of its circle that it passes.
void widenToArc(const Edge &e, Box &b) {
  const double turns[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
  for (int q = 0; q < 4; ++q) {
    const double phi = q * kPi / 2.0;
    if (along(e, phi) < std::fabs(e.sweep)) {
      b.x0 = std::min(b.x0, e.cx + e.r * turns[q][0]);
      b.x1 = std::max(b.x1, e.cx + e.r * turns[q][0]);
      b.y0 = std::min(b.y0, e.cy + e.r * turns[q][1]);
      b.y1 = std::max(b.y1, e.cy + e.r * turns[q][1]);
    }
  }
}

inline Box edgeBox(const Edge &e, const Vec<Node> &nodes, double margin, int id) {
  const Node &s = nodes[static_cast<size_t>(e.from)], &t = nodes[static_cast<size_t>(e.to)];
  Box b{std::min(s.x, t.x), std::min(s.y, t.y), std::max(s.x, t.x), std::max(s.y, t.y), id};
  if (e.arc) widenToArc(e, b);
  b.x0 -= margin;
  b.y0 -= margin;
  b.x1 += margin;
  b.y1 += margin;
  return b;
}

// Calls f(a, b) for every pair of boxes of the two lists that overlap: a
// sweep over x with the boxes still open on either side.
template <class F>
void overlappingPairs(Vec<Box> &p, Vec<Box> &q, F &&f) {
  if (p.size() * q.size() <= 1024) {
    // Few enough to try every pair.
    for (const Box &a : p)
      for (const Box &b : q)
        if (a.x0 <= b.x1 && b.x0 <= a.x1 && a.y0 <= b.y1 && b.y0 <= a.y1) f(a.id, b.id);
    return;
  }
  const auto byX = [](const Box &a, const Box &b) { return a.x0 < b.x0; };
  std::sort(p.begin(), p.end(), byX);
  std::sort(q.begin(), q.end(), byX);
  Vec<const Box *> openP(p.get_allocator()), openQ(p.get_allocator());
  size_t i = 0, j = 0;
  const auto visit = [](const Box &b, Vec<const Box *> &others, auto &&emit) {
    size_t k = 0;
    for (const Box *o : others)
      if (o->x1 >= b.x0) others[k++] = o;
    others.resize(k);
    for (const Box *o : others)
      if (o->y0 <= b.y1 && b.y0 <= o->y1) emit(*o);
  };
  while (i < p.size() || j < q.size()) {
    if (j == q.size() || (i < p.size() && p[i].x0 <= q[j].x0)) {
      const Box &b = p[i++];
      visit(b, openQ, [&](const Box &o) { f(b.id, o.id); });
      openP.push_back(&b);
    } else {
      const Box &b = q[j++];
      visit(b, openP, [&](const Box &o) { f(o.id, b.id); });
      openQ.push_back(&b);
    }
  }
}

// ---- The overlay --------------------------------------------------------------

// A box round a piece of the line through (sx, sy) along (dx, dy): how
// many of the m places (xs, ys) lie in the box, and within `reach` over
// the direction's length of the line.  Without branches, as the small
// operations ask it of every edge; a rounding that overflows counts in.
struct Strip {
  Box box;
  double sx, sy, dx, dy, reach;
};

long countWithin(const Strip &s, const double *xs, const double *ys, size_t m) {
  size_t j = 0;
  long inside = 0;
#if defined(__SSE2__)
  const __m128d x0 = _mm_set1_pd(s.box.x0), x1 = _mm_set1_pd(s.box.x1), y0 = _mm_set1_pd(s.box.y0),
                y1 = _mm_set1_pd(s.box.y1), sx = _mm_set1_pd(s.sx), sy = _mm_set1_pd(s.sy), dx = _mm_set1_pd(s.dx),
                dy = _mm_set1_pd(s.dy), reach = _mm_set1_pd(s.reach), sign = _mm_set1_pd(-0.0);
  __m128i sum = _mm_setzero_si128();
  for (; j + 2 <= m; j += 2) {
    const __m128d x = _mm_loadu_pd(xs + j), y = _mm_loadu_pd(ys + j);
    const __m128d c = _mm_sub_pd(_mm_mul_pd(dx, _mm_sub_pd(y, sy)), _mm_mul_pd(dy, _mm_sub_pd(x, sx)));
    const __m128d in = _mm_and_pd(_mm_and_pd(_mm_and_pd(_mm_cmple_pd(x0, x), _mm_cmple_pd(x, x1)),
                                             _mm_and_pd(_mm_cmple_pd(y0, y), _mm_cmple_pd(y, y1))),
                                  _mm_cmpngt_pd(_mm_andnot_pd(sign, c), reach));
    // A lane inside is all ones, that is -1.
    sum = _mm_sub_epi64(sum, _mm_castpd_si128(in));
  }
  alignas(16) int64_t lanes[2];
  _mm_store_si128(reinterpret_cast<__m128i *>(lanes), sum);
  inside = static_cast<long>(lanes[0] + lanes[1]);
#endif
  for (; j < m; ++j) {
    const double c = s.dx * (ys[j] - s.sy) - s.dy * (xs[j] - s.sx);
    inside += static_cast<int>(s.box.x0 <= xs[j]) & static_cast<int>(xs[j] <= s.box.x1) &
              static_cast<int>(s.box.y0 <= ys[j]) & static_cast<int>(ys[j] <= s.box.y1) &
              static_cast<int>(!(std::fabs(c) > s.reach));
  }
  return inside;
}

// The point in the middle of an edge.
Node middleOf(const Edge &e, const Vec<Node> &nodes) {
  if (e.arc) {
    const double phi = e.a0 + e.sweep / 2.0;
    return {e.cx + e.r * std::cos(phi), e.cy + e.r * std::sin(phi)};
  }
  const Node &s = nodes[e.from], &t = nodes[e.to];
  return {(s.x + t.x) / 2.0, (s.y + t.y) / 2.0};
}

// Key of an unordered pair of nodes.
uint64_t pairKey(int a, int b) {
  const uint32_t lo = static_cast<uint32_t>(std::min(a, b)), hi = static_cast<uint32_t>(std::max(a, b));
  return (static_cast<uint64_t>(hi) << 32) | lo;
}

// Pieces of one shape's boundary that run both ways between the same two
// nodes along one curve (two of its contours along one stretch, a contour
// meeting itself) have its material on both sides: they bound nothing.
// One of the two nodes of such a pair is left by two pieces of the shape
// (a spike's base, where the contour passes twice).
bool cancelOwnOverlaps(Vec<Ring> &rings, const Vec<Node> &nodes, double tol) {
  Mem *mem = nodes.get_allocator().resource();
  Vec<unsigned char> leaving(nodes.size(), 0, mem);
  for (const Ring &r : rings)
    for (const Edge &e : r.edges)
      if (leaving[static_cast<size_t>(e.from)] < 2) ++leaving[static_cast<size_t>(e.from)];
  Vec<std::pair<uint64_t, Edge *>> twice(mem);
  for (Ring &r : rings)
    for (Edge &e : r.edges)
      if (e.from != e.to && (leaving[static_cast<size_t>(e.from)] == 2 || leaving[static_cast<size_t>(e.to)] == 2))
        twice.push_back({pairKey(e.from, e.to), &e});
  if (twice.size() < 2) return false;
  std::sort(twice.begin(), twice.end(), [](const auto &p, const auto &q) { return p.first < q.first; });
  bool any = false;
  for (size_t i = 0; i < twice.size(); ++i)
    for (size_t j = i + 1; j < twice.size() && twice[j].first == twice[i].first; ++j) {
      Edge &a = *twice[i].second, &b = *twice[j].second;
      if (a.place == kGone || b.place == kGone || a.from != b.to) continue;
      const Node ma = middleOf(a, nodes), mb = middleOf(b, nodes);
      if (distance(ma.x, ma.y, mb.x, mb.y) > 2.0 * tol) continue;
      a.place = b.place = kGone;
      any = true;
      break;
    }
  return any;
}

// A node to be put into an edge of a ring at a place along it.
struct Cut {
  int shape, ring, edge;
  double at;
  int node;
  bool operator<(const Cut &o) const {
    if (shape != o.shape) return shape < o.shape;
    if (ring != o.ring) return ring < o.ring;
    if (edge != o.edge) return edge < o.edge;
    return at < o.at;
  }
};

class Overlay {
 public:
  Overlay(Operands &ops, double tol, Rule rule)
      : nodes_(ops.nodes), rings_(ops.rings), tol_(tol), rule_(rule), mem_(ops.mem()),
        refs_{Vec<EdgeRef>(mem_), Vec<EdgeRef>(mem_)}, boxes_{Vec<Box>(mem_), Vec<Box>(mem_)},
        near_{Vec<Box>(mem_), Vec<Box>(mem_)}, runs_(mem_), chunks_(mem_), edgeBoxes_{Vec<Box>(mem_), Vec<Box>(mem_)},
        runBoxes_(mem_), ownRefs_(mem_), ownBoxes_(mem_), cuts_(mem_), meets_(mem_), pairs_(mem_), nearMeets_(mem_),
        firstA_(mem_), firstB_(mem_), pieces_(mem_), put_(mem_), crossed_(mem_), placesX_(mem_), placesY_(mem_) {}

  // Settles every meeting of the two boundaries into shared nodes.
  void meet() {
    // Where the contours of one shape are brought together with each other:
    // where the other shape may meet them, or everywhere when that is cheap
    // (a stretch two contours share then bounds nothing even where the
    // other shape is far).  Beyond that, where its contours come within the
    // tolerance of each other or of themselves.
    size_t vertices = 0;
    for (int w = 0; w < 2; ++w)
      for (const Ring &r : rings_[w]) vertices += r.edges.size();
    ownEverywhere_ = vertices <= kEverywhere;
    shareCircles();
    // Only where the shapes' boxes overlap can they meet.
    for (int w = 0; w < 2; ++w) {
      near_[w].assign(rings_[w].size(), kNoBox);
      hasNear_[w] = false;
      boxEdges(w);
    }
    // A shape's own contacts matter wherever its pieces may bound the
    // result: within the other shape's reach only, when its pieces bound
    // the result only inside the other shape.
    for (int w = 0; w < 2 && !ownEverywhere_; ++w)
      findOwnContacts(w, rule_ == Rule::intersect || (rule_ == Rule::remove && w == 1) ? reach_[1 - w] : kAll);
    mergeVertices();
    made_ = nodes_.size();
    // What a step makes is settled in turn: a node that a split made shared
    // may lie on a third edge, a crossing near another edge or node.
    for (int round = 0; round < kRounds; ++round) {
      for (int pass = 0; pass < kPasses && splitAtNearVertices(round == 0 && pass == 0) > 0; ++pass) {
      }
      // Before the crossings, which would cut the two ways of such a
      // stretch at two nodes.  Only a shape that meets itself has such
      // pieces.
      for (int w = 0; w < 2; ++w)
        if (touched_[w] && cancelOwnOverlaps(rings_[w], nodes_, tol_)) listed_ = false;
      if (!splitAtCrossings()) break;
    }
  }

  const Vec<Node> &nodes() const { return nodes_; }
  Vec<Ring> *rings() { return rings_; }

 private:
  struct EdgeRef {
    int shape, ring, edge;
    bool operator==(const EdgeRef &) const = default;
  };

  Edge &edgeAt(const EdgeRef &r) { return rings_[r.shape][static_cast<size_t>(r.ring)].edges[static_cast<size_t>(r.edge)]; }

  static bool overlap(const Box &p, const Box &q) { return p.x0 <= q.x1 && q.x0 <= p.x1 && p.y0 <= q.y1 && q.y0 <= p.y1; }
  bool within(const Box &b, double x, double y) const { return b.x0 <= x && x <= b.x1 && b.y0 <= y && y <= b.y1; }

  static constexpr Box kNoBox{INFINITY, INFINITY, -INFINITY, -INFINITY, 0};
  static constexpr Box kAll{-INFINITY, -INFINITY, INFINITY, INFINITY, 0};

  static Box joined(const Box &p, const Box &q) {
    return {std::min(p.x0, q.x0), std::min(p.y0, q.y0), std::max(p.x1, q.x1), std::max(p.y1, q.y1), p.id};
  }

  // A run of a contour's edges along which x grows (up) or falls (down)
  // by more than twice the tolerance at each edge, or a single other edge
  // (an arc, a steep segment): no vertex of a run lies within the
  // tolerance of an edge of it but its own.
  struct Run {
    int ring, first, count, dir;
    Box box;
    int chunk0 = 0, chunks = 0;  // its stretches in chunks_
    int base = 0;                // its ring's first edge box in edgeBoxes_[w]
  };

  // A stretch of at most kChunk edges of a run, counted along growing x,
  // with its box: two runs are set against each other stretch by stretch,
  // so that runs meeting where x turns back are looked at only there.
  struct Chunk {
    int first, count;
    Box box;
  };
  static constexpr int kChunk = 8;

  int directionOf(const Edge &e) const {
    if (e.arc) return 0;
    const double dx = nodes_[static_cast<size_t>(e.to)].x - nodes_[static_cast<size_t>(e.from)].x;
    return dx > 2.0 * tol_ ? 1 : dx < -2.0 * tol_ ? -1 : 0;
  }

  // Edge k of a run, counted along growing x.
  const Edge &runEdge(int w, const Run &r, int k) const {
    return rings_[w][static_cast<size_t>(r.ring)].edges[static_cast<size_t>(r.first + (r.dir < 0 ? r.count - 1 - k : k))];
  }

  // Every edge's box into edgeBoxes_[w], and their union into reach_[w].
  void boxEdges(int w) {
    Vec<Box> &eb = edgeBoxes_[w];
    eb.clear();
    size_t total = 0;
    for (const Ring &r : rings_[w]) total += r.edges.size();
    eb.reserve(total);
    Box &reach = reach_[w];
    reach = kNoBox;
    for (const Ring &r : rings_[w])
      for (const Edge &e : r.edges) {
        eb.push_back(edgeBox(e, nodes_, tol_, 0));
        reach = joined(reach, eb.back());
      }
    boxesFresh_[w] = true;
  }

  // Where the contours of shape w come within the tolerance of each other
  // or of themselves inside `limit`, joined into near_[w] (a box per
  // contour round those places) and hasNear_[w]: their runs are set side by
  // side where their boxes overlap, stretch against stretch.
  void findOwnContacts(int w, const Box &limit) {
    Vec<Run> &runs = runs_;
    Vec<Chunk> &chunks = chunks_;
    const Vec<Box> &eb = edgeBoxes_[w];
    runs.clear();
    chunks.clear();
    chunks.reserve(eb.size() / kChunk + rings_[w].size() + 8);
    int base = 0;
    for (size_t i = 0; i < rings_[w].size(); ++i) {
      const Vec<Edge> &edges = rings_[w][i].edges;
      const int m = static_cast<int>(edges.size());
      const auto in = [&](int k) { return overlap(eb[static_cast<size_t>(base + k)], limit); };
      for (int k = 0; k < m;) {
        if (!in(k)) {
          ++k;
          continue;
        }
        const int dir = directionOf(edges[static_cast<size_t>(k)]);
        int c = 1;
        while (dir != 0 && k + c < m && in(k + c) && directionOf(edges[static_cast<size_t>(k + c)]) == dir) ++c;
        Run r{static_cast<int>(i), k, c, dir, kNoBox, static_cast<int>(chunks.size()), 0, base};
        for (int j = 0; j < c; j += kChunk) {
          const int n = std::min(kChunk, c - j);
          Box b = kNoBox;
          for (int t = j; t < j + n; ++t)
            b = joined(b, eb[static_cast<size_t>(base + k + (dir < 0 ? c - 1 - t : t))]);
          chunks.push_back({j, n, b});
          r.box = joined(r.box, b);
        }
        r.chunks = static_cast<int>(chunks.size()) - r.chunk0;
        r.box.id = static_cast<int>(runs.size());
        runs.push_back(r);
        k += c;
      }
      base += m;
    }
    if (runs.size() < 2) return;
    Vec<Box> &boxes = runBoxes_;
    boxes.clear();
    for (const Run &r : runs) boxes.push_back(r.box);
    overlappingPairs(boxes, boxes, [&](int a, int b) {
      if (a >= b) return;
      touch(w, runs[static_cast<size_t>(a)], runs[static_cast<size_t>(b)]);
    });
  }

  // Marks where a vertex of run p lies within the tolerance of an edge of
  // run q that it does not end, or a vertex of q of an edge of p.  The
  // stretches of each come in order of x: only those whose spans of x
  // overlap are set against each other, and of those only the ones whose
  // boxes meet are looked into.
  void touch(int w, const Run &p, const Run &q) {
    const Chunk *a = &chunks_[static_cast<size_t>(p.chunk0)], *b = &chunks_[static_cast<size_t>(q.chunk0)];
    int j0 = 0;
    for (int i = 0; i < p.chunks; ++i) {
      const Box &pa = a[i].box;
      while (j0 < q.chunks && b[j0].box.x1 < pa.x0) ++j0;
      for (int j = j0; j < q.chunks && b[j].box.x0 <= pa.x1; ++j)
        if (overlap(pa, b[j].box)) {
          touchChunks(w, p, a[i], q, b[j]);
          touchChunks(w, q, b[j], p, a[i]);
        }
    }
  }

  // The vertices of stretch ca of run p against the edges of stretch cb of
  // run q.
  void touchChunks(int w, const Run &p, const Chunk &ca, const Run &q, const Chunk &cb) {
    Box boxes[kChunk];
    for (int j = 0; j < cb.count; ++j) {
      const int t = cb.first + j;
      boxes[j] = edgeBoxes_[w][static_cast<size_t>(q.base + q.first + (q.dir < 0 ? q.count - 1 - t : t))];
    }
    for (int k = 0; k <= ca.count; ++k) {
      const Edge &ek = runEdge(w, p, ca.first + std::min(k, ca.count - 1));
      const int v = k < ca.count ? (p.dir < 0 ? ek.to : ek.from) : (p.dir < 0 ? ek.from : ek.to);
      const Node &n = nodes_[static_cast<size_t>(v)];
      if (!within(cb.box, n.x, n.y)) continue;
      for (int j = 0; j < cb.count; ++j) {
        const Edge &e = runEdge(w, q, cb.first + j);
        if (v == e.from || v == e.to || !within(boxes[j], n.x, n.y) || !withinReach(e, nodes_, n.x, n.y, tol_)) continue;
        const Box at{n.x - 2.0 * tol_, n.y - 2.0 * tol_, n.x + 2.0 * tol_, n.y + 2.0 * tol_, 0};
        near_[w][static_cast<size_t>(p.ring)] = joined(near_[w][static_cast<size_t>(p.ring)], at);
        near_[w][static_cast<size_t>(q.ring)] = joined(near_[w][static_cast<size_t>(q.ring)], at);
        hasNear_[w] = true;
      }
    }
  }

  // The edges of one shape that may meet the other, with their boxes, into
  // out and boxes; with `near`, also those near where its contours meet
  // each other or themselves.
  void edgesOf(int which, bool near, Vec<EdgeRef> &out, Vec<Box> &boxes) {
    out.clear();
    size_t total = 0;
    for (const Ring &r : rings_[which]) total += r.edges.size();
    out.reserve(total);
    boxes.clear();
    boxes.reserve(total);
    const Box *fresh = boxesFresh_[which] ? edgeBoxes_[which].data() : nullptr;
    for (size_t i = 0; i < rings_[which].size(); ++i)
      for (size_t k = 0; k < rings_[which][i].edges.size(); ++k, fresh = fresh ? fresh + 1 : nullptr) {
        if (rings_[which][i].edges[k].place == kGone) continue;
        Box b = fresh ? *fresh : edgeBox(rings_[which][i].edges[k], nodes_, tol_, 0);
        b.id = static_cast<int>(out.size());
        if (!overlap(b, reach_[1 - which]) && !(near && overlap(b, near_[which][i]))) continue;
        out.push_back({which, static_cast<int>(i), static_cast<int>(k)});
        boxes.push_back(b);
      }
  }

  void listEdges() {
    if (listed_) return;
    edgesOf(0, false, refs_[0], boxes_[0]);
    edgesOf(1, false, refs_[1], boxes_[1]);
    listed_ = true;
  }

  // Arcs of B on a circle of A (centres and radii within the tolerance)
  // take that circle, so that they overlap exactly where they should.
  void shareCircles() {
    Vec<const Edge *> circlesA(mem_);
    for (const Ring &r : rings_[0])
      for (const Edge &e : r.edges)
        if (e.arc) circlesA.push_back(&e);
    if (circlesA.empty()) return;
    for (Ring &r : rings_[1])
      for (Edge &e : r.edges) {
        if (!e.arc) continue;
        for (const Edge *a : circlesA) {
          if (distance(a->cx, a->cy, e.cx, e.cy) > tol_ || std::fabs(a->r - e.r) > tol_) continue;
          if (a->cx == e.cx && a->cy == e.cy && a->r == e.r) break;
          const double old = e.sweep;
          e.cx = a->cx;
          e.cy = a->cy;
          e.r = a->r;
          e.a0 = angleOf(e, nodes_[e.from].x, nodes_[e.from].y);
          e.sweep = sweepOf(e.cx, e.cy, nodes_[e.from], nodes_[e.to], old >= 0.0, std::fabs(old));
          break;
        }
      }
  }

  // Vertices within the tolerance of each other become one node, whether
  // they belong to both shapes, to two contours of one or to one contour
  // touching itself: every meeting point is then one node.  The node met
  // first stays, so A's vertices stay where they are.  Vertices in the
  // reach of the other shape or near where their shape meets itself take
  // part (all, in a small operation).
  void mergeVertices() {
    // The candidates in the order met, their places side by side: the
    // search below runs over them many times.
    Vec<int> ids(mem_);
    Vec<Node> at(mem_);
    ids.reserve(nodes_.size());
    at.reserve(nodes_.size());
    Vec<int> moved(nodes_.size(), -1, mem_);
    // The shapes whose vertices a node holds, as bits.
    Vec<unsigned char> owners(nodes_.size(), 0, mem_);
    for (int w = 0; w < 2; ++w)
      for (size_t i = 0; i < rings_[w].size(); ++i)
        for (const Edge &e : rings_[w][i].edges)
          if (moved[static_cast<size_t>(e.from)] < 0 &&
              (ownEverywhere_ || within(reach_[1 - w], nodes_[e.from].x, nodes_[e.from].y) ||
               within(near_[w][i], nodes_[e.from].x, nodes_[e.from].y))) {
            moved[static_cast<size_t>(e.from)] = e.from;
            owners[static_cast<size_t>(e.from)] = static_cast<unsigned char>(1 << w);
            ids.push_back(e.from);
            at.push_back(nodes_[static_cast<size_t>(e.from)]);
          }
    if (ids.size() < 2) return;
    // Pairs near each other: (the later met, the earlier).  A few vertices
    // are tried pair by pair, many along x.
    const size_t n = ids.size();
    Vec<std::pair<int, int>> close(mem_);
    const auto tryPair = [&](size_t i, size_t j) {
      if (std::fabs(at[i].x - at[j].x) <= tol_ && std::fabs(at[i].y - at[j].y) <= tol_)
        close.push_back({static_cast<int>(std::max(i, j)), static_cast<int>(std::min(i, j))});
    };
    if (n <= 32) {
      // Without branches: few pairs are close, and a branch on each would
      // be mispredicted where copies put many vertices in one column.
      int found[32];
      for (size_t i = 1; i < n; ++i) {
        size_t k = 0;
        for (size_t j = 0; j < i; ++j) {
          found[k] = static_cast<int>(j);
          const int nearX = std::fabs(at[i].x - at[j].x) <= tol_, nearY = std::fabs(at[i].y - at[j].y) <= tol_;
          k += static_cast<size_t>(nearX & nearY);
        }
        for (size_t c = 0; c < k; ++c) close.push_back({static_cast<int>(i), found[c]});
      }
    } else {
      struct Key {
        double x;
        size_t k;
      };
      Vec<Key> byX(n, Key{0.0, 0}, mem_);
      for (size_t k = 0; k < n; ++k) byX[k] = {at[k].x, k};
      std::sort(byX.begin(), byX.end(), [](const Key &a, const Key &b) { return a.x < b.x; });
      for (size_t s = 0; s < n; ++s)
        for (size_t t = s + 1; t < n && byX[t].x - byX[s].x <= tol_; ++t) tryPair(byX[s].k, byX[t].k);
    }
    if (close.empty()) return;
    std::sort(close.begin(), close.end());
    bool any = false;
    // Each vertex goes to the nearest one met before it that stays.
    for (size_t c = 0; c < close.size();) {
      const size_t i = static_cast<size_t>(close[c].first);
      const Node &p = at[i];
      double best = tol_;
      int to = -1;
      for (; c < close.size() && static_cast<size_t>(close[c].first) == i; ++c) {
        const size_t j = static_cast<size_t>(close[c].second);
        const int u = ids[j];
        if (moved[static_cast<size_t>(u)] != u) continue;
        const double d = distance(p.x, p.y, at[j].x, at[j].y);
        if (d <= best) {
          best = d;
          to = u;
        }
      }
      if (to < 0) continue;
      const unsigned char mine = owners[static_cast<size_t>(ids[i])];
      // Two vertices of one shape on one node: that shape meets itself.
      if (owners[static_cast<size_t>(to)] & mine) touched_[mine >> 1] = true;
      owners[static_cast<size_t>(to)] |= mine;
      moved[static_cast<size_t>(ids[i])] = to;
      any = true;
    }
    if (!any) return;
    boxesFresh_[0] = boxesFresh_[1] = false;
    for (int w = 0; w < 2; ++w)
      for (Ring &r : rings_[w]) {
        bool changed = false;
        for (Edge &e : r.edges) {
          const int f = moved[static_cast<size_t>(e.from)], t = moved[static_cast<size_t>(e.to)];
          changed = changed || (f >= 0 && f != e.from) || (t >= 0 && t != e.to);
          if (f >= 0) e.from = f;
          if (t >= 0) e.to = t;
        }
        if (changed) dropEmptyEdges(r);
      }
  }

  // Edges whose ends became one node are gone, but for arcs of more than a
  // half circle, which became whole circles.
  void dropEmptyEdges(Ring &r) {
    Vec<Edge> kept(mem_);
    kept.reserve(r.edges.size());
    for (Edge &e : r.edges) {
      if (e.from == e.to && !(e.arc && std::fabs(e.sweep) > kPi)) continue;
      if (e.from == e.to) e.sweep = e.sweep > 0.0 ? kTwoPi : -kTwoPi;
      if (e.arc) e.a0 = angleOf(e, nodes_[e.from].x, nodes_[e.from].y);
      kept.push_back(e);
    }
    r.edges.swap(kept);
  }

  // Position of node v along edge e (0 at its start), for ordering cuts.
  double positionOn(const Edge &e, int v) const {
    const Node &p = nodes_[v];
    if (e.arc) return along(e, angleOf(e, p.x, p.y));
    const Node &s = nodes_[e.from], &t = nodes_[e.to];
    return (p.x - s.x) * (t.x - s.x) + (p.y - s.y) * (t.y - s.y);
  }

  bool nearEnd(const Edge &e, double x, double y, double reach) const {
    const Node &s = nodes_[static_cast<size_t>(e.from)], &t = nodes_[static_cast<size_t>(e.to)];
    const double r2 = reach * reach;
    return (x - s.x) * (x - s.x) + (y - s.y) * (y - s.y) <= r2 || (x - t.x) * (x - t.x) + (y - t.y) * (y - t.y) <= r2;
  }

  // Cuts every listed edge at its nodes, in order along it.
  void applyCuts(Vec<Cut> &cuts) {
    if (cuts.empty()) return;
    listed_ = false;
    boxesFresh_[0] = boxesFresh_[1] = false;
    std::sort(cuts.begin(), cuts.end());
    Vec<Edge> &out = pieces_;
    for (size_t c = 0; c < cuts.size();) {
      const int w = cuts[c].shape, i = cuts[c].ring;
      Ring &ring = rings_[w][static_cast<size_t>(i)];
      out.clear();
      out.reserve(ring.edges.size() + 8);
      for (size_t k = 0; k < ring.edges.size(); ++k) {
        const Edge &e = ring.edges[k];
        if (c == cuts.size() || cuts[c].shape != w || cuts[c].ring != i || cuts[c].edge != static_cast<int>(k)) {
          out.push_back(e);
          continue;
        }
        Edge piece = e;
        double done = 0.0;
        for (; c < cuts.size() && cuts[c].shape == w && cuts[c].ring == i && cuts[c].edge == static_cast<int>(k); ++c) {
          const Cut &cut = cuts[c];
          if (cut.node == piece.from || cut.node == e.to) continue;
          Edge head = piece;
          head.to = cut.node;
          if (e.arc) head.sweep = (e.sweep >= 0.0 ? 1.0 : -1.0) * (cut.at - done);
          out.push_back(head);
          piece.from = cut.node;
          if (e.arc) {
            piece.a0 = angleOf(e, nodes_[cut.node].x, nodes_[cut.node].y);
            done = cut.at;
          }
        }
        if (e.arc) piece.sweep = e.sweep - (e.sweep >= 0.0 ? done : -done);
        out.push_back(piece);
      }
      // The ring takes the new list; its old one serves the next ring.
      ring.edges.swap(out);
    }
  }



  // A vertex within the tolerance of an edge (and of none of its ends)
  // splits that edge there: an edge of the other shape, or one of its own
  // shape, where a contour touches itself or another contour of its shape.
  int splitAtNearVertices(bool own) {
    Vec<Cut> &cuts = cuts_;
    cuts.clear();
    int made = 0;
    listEdges();
    const Vec<EdgeRef> &ea = refs_[0], &eb = refs_[1];
    Vec<Box> &ba = boxes_[0], &bb = boxes_[1];
    // Vertices put on an edge of the other shape: the edge leaving the
    // vertex and that edge.
    Vec<std::pair<EdgeRef, EdgeRef>> &put = put_;
    put.clear();
    overlappingPairs(ba, bb, [&](int i, int j) {
      const EdgeRef &ra = ea[static_cast<size_t>(i)], &rb = eb[static_cast<size_t>(j)];
      const Edge &a = edgeAt(ra), &b = edgeAt(rb);
      if (cutNear(a, b.from, cuts, ra)) put.push_back({rb, ra});
      if (cutNear(b, a.from, cuts, rb)) put.push_back({ra, rb});
    });
    made += static_cast<int>(put.size());
    // Two edges cut where they cross once only, though a vertex of each lie
    // on the other: two nodes a rounding apart would part the overlap.
    Vec<std::pair<EdgeRef, EdgeRef>> &crossed = crossed_;
    crossed.clear();
    for (const auto &[leaving, other] : put) {
      // The edges on either side of the vertex, as the ring stands before
      // this pass cuts it.
      const Vec<Edge> &ring = rings_[leaving.shape][static_cast<size_t>(leaving.ring)].edges;
      const int n = static_cast<int>(ring.size());
      const EdgeRef arriving{leaving.shape, leaving.ring, (leaving.edge + n - 1) % n};
      for (const EdgeRef &side : {leaving, arriving}) {
        const std::pair<EdgeRef, EdgeRef> pair = side.shape == 0 ? std::pair(side, other) : std::pair(other, side);
        if (std::find(crossed.begin(), crossed.end(), pair) != crossed.end() ||
            !cutAcross(edgeAt(side), edgeAt(other), cuts, side, other))
          continue;
        crossed.push_back(pair);
        ++made;
      }
    }
    // A shape's own vertices on its own edges are found once: the splits
    // that follow put only the other shape's vertices on its edges.
    for (int w = 0; own && w < 2; ++w) {
      if (ownEverywhere_) {
        // Everywhere, in a small operation: every vertex starts an edge.
        // An edge's strip holds its own ends; only one whose strip holds
        // more of the shape's vertices is searched.
        Vec<double> &xs = placesX_, &ys = placesY_;
        size_t total = 0;
        for (const Ring &r : rings_[w]) total += r.edges.size();
        xs.clear();
        ys.clear();
        xs.reserve(total);
        ys.reserve(total);
        for (const Ring &r : rings_[w])
          for (const Edge &o : r.edges) {
            xs.push_back(nodes_[static_cast<size_t>(o.from)].x);
            ys.push_back(nodes_[static_cast<size_t>(o.from)].y);
          }
        for (size_t i = 0; i < rings_[w].size(); ++i)
          for (size_t k = 0; k < rings_[w][i].edges.size(); ++k) {
            const Edge &e = rings_[w][i].edges[k];
            const Box b = edgeBox(e, nodes_, tol_, 0);
            // A vertex within the tolerance of a segment lies within it of
            // its line; twice that leaves room for rounding.
            const Node &from = nodes_[static_cast<size_t>(e.from)], &to = nodes_[static_cast<size_t>(e.to)];
            const double dx = e.arc ? 0.0 : to.x - from.x, dy = e.arc ? 0.0 : to.y - from.y;
            const Strip strip{b, from.x, from.y, dx, dy, e.arc ? INFINITY : 2.0 * tol_ * std::sqrt(dx * dx + dy * dy)};
            if (countWithin(strip, xs.data(), ys.data(), total) <= (e.from != e.to ? 2 : 1)) continue;
            const EdgeRef ref{w, static_cast<int>(i), static_cast<int>(k)};
            for (const Ring &r : rings_[w])
              for (const Edge &o : r.edges) made += cutNear(e, o.from, cuts, ref);
          }
      } else {
        // The edges in reach of the other shape, and those near where its
        // contours meet each other or themselves.
        if (hasNear_[w]) edgesOf(w, true, ownRefs_, ownBoxes_);
        const Vec<EdgeRef> &refs = hasNear_[w] ? ownRefs_ : refs_[w];
        Vec<Box> &boxes = hasNear_[w] ? ownBoxes_ : boxes_[w];
        overlappingPairs(boxes, boxes, [&](int i, int j) {
          if (i >= j) return;
          const EdgeRef &ri = refs[static_cast<size_t>(i)], &rj = refs[static_cast<size_t>(j)];
          // Both ends: the edge that leaves the other end may lie out of reach.
          for (int v : {edgeAt(rj).from, edgeAt(rj).to}) made += cutNear(edgeAt(ri), v, cuts, ri);
          for (int v : {edgeAt(ri).from, edgeAt(ri).to}) made += cutNear(edgeAt(rj), v, cuts, rj);
        });
      }
    }
    // A shape whose edges take vertices may meet itself there (a vertex
    // put on two of its edges near a tip, say).
    for (const Cut &c : cuts) touched_[c.shape] = true;
    applyCuts(cuts);
    return made;
  }

  // A segment with one end within the tolerance of segment b, that crosses
  // b away from that end, is cut with b where they cross: the end is put on
  // b, and the sliver between the crossing and the end, no wider than the
  // tolerance, becomes an overlap instead of a spike.
  int cutAcross(const Edge &a, const Edge &b, Vec<Cut> &cuts, const EdgeRef &ra, const EdgeRef &rb) {
    if (a.arc || b.arc || a.from == b.from || a.from == b.to || a.to == b.from || a.to == b.to) return 0;
    const auto near = [&](int v) {
      const Node &p = nodes_[static_cast<size_t>(v)];
      return !nearEnd(b, p.x, p.y, tol_) && withinReach(b, nodes_, p.x, p.y, tol_);
    };
    const bool nearFrom = near(a.from), nearTo = near(a.to);
    if (nearFrom == nearTo) return 0;
    // Where a leaves b's line steeply, it crosses that line within a
    // fraction of the tolerance of its near end, which counts as no
    // crossing: the exact test is spared.
    const Node &n = nodes_[static_cast<size_t>(nearFrom ? a.from : a.to)];
    const Node &f = nodes_[static_cast<size_t>(nearFrom ? a.to : a.from)];
    const Node &b0 = nodes_[static_cast<size_t>(b.from)], &b1 = nodes_[static_cast<size_t>(b.to)];
    const double lb = distance(b0.x, b0.y, b1.x, b1.y);
    const double dn = std::fabs(cross(b1.x - b0.x, b1.y - b0.y, n.x - b0.x, n.y - b0.y)) / lb;
    const double df = std::fabs(cross(b1.x - b0.x, b1.y - b0.y, f.x - b0.x, f.y - b0.y)) / lb;
    if (lb > 0.0 && df > 4.0 * tol_ && distance(n.x, n.y, f.x, f.y) * (dn + tol_ / 64.0) < tol_ * (df - tol_)) return 0;
    double x[2], y[2];
    if (segSeg(a, b, x, y) == 0 || nearEnd(a, x[0], y[0], 2.0 * tol_) || nearEnd(b, x[0], y[0], 2.0 * tol_)) return 0;
    // Two edges leaving one node may cross a third within the tolerance of
    // each other: one node.
    double reach = tol_;
    int v = nearestMade(x[0], y[0], nodes_.size(), reach);
    // A vertex that this pass puts on either edge may stand there already.
    for (const Cut &c : cuts)
      if (const EdgeRef on{c.shape, c.ring, c.edge}; on == ra || on == rb) {
        const double d = distanceToNode(x[0], y[0], c.node);
        if (d <= reach) reach = d, v = c.node;
      }
    if (v < 0) v = newNode(x[0], y[0]);
    cuts.push_back({ra.shape, ra.ring, ra.edge, positionOn(a, v), v});
    cuts.push_back({rb.shape, rb.ring, rb.edge, positionOn(b, v), v});
    return 1;
  }

  int cutNear(const Edge &e, int v, Vec<Cut> &cuts, const EdgeRef &ref) {
    if (v == e.from || v == e.to) return 0;
    const Node &p = nodes_[v];
    if (!e.arc) {
      const Node &s = nodes_[e.from], &t = nodes_[e.to];
      if (p.x < std::min(s.x, t.x) - tol_ || p.x > std::max(s.x, t.x) + tol_ || p.y < std::min(s.y, t.y) - tol_ ||
          p.y > std::max(s.y, t.y) + tol_)
        return 0;
    }
    // Off its ends, a vertex near the edge is near a point inside it.
    if (nearEnd(e, p.x, p.y, tol_) || !withinReach(e, nodes_, p.x, p.y, tol_)) return 0;
    cuts.push_back({ref.shape, ref.ring, ref.edge, positionOn(e, v), v});
    return 1;
  }

  // The nearest node within `reach` of (x, y) of those cuts made, up to
  // `end`; -1 if none.  `reach` becomes its distance.
  int nearestMade(double x, double y, size_t end, double &reach) const {
    int best = -1;
    for (size_t v = made_; v < end; ++v) {
      const double d = distanceToNode(x, y, static_cast<int>(v));
      if (d <= reach) reach = d, best = static_cast<int>(v);
    }
    return best;
  }

  double distanceToNode(double x, double y, int v) const {
    return distance(x, y, nodes_[static_cast<size_t>(v)].x, nodes_[static_cast<size_t>(v)].y);
  }

  int newNode(double x, double y) {
    nodes_.push_back({x, y});
    return static_cast<int>(nodes_.size()) - 1;
  }

  // Meeting points of two edges away from their ends.
  int meetingPoints(const Edge &a, const Edge &b, double (&x)[2], double (&y)[2]) const {
    const int shared = (a.from == b.from || a.from == b.to) + (a.to == b.from || a.to == b.to);
    if (shared == 2 && a.from != a.to) return 0;  // at most two meetings, both known
    if (!a.arc && !b.arc) return shared ? 0 : segSeg(a, b, x, y);
    if (a.arc && b.arc) {
      if (a.cx == b.cx && a.cy == b.cy && a.r == b.r) return 0;  // one circle: its meetings are vertices
      return arcArc(a, b, shared, x, y);
    }
    return a.arc ? segArc(b, a, shared, x, y) : segArc(a, b, shared, x, y);
  }

  int segSeg(const Edge &a, const Edge &b, double (&x)[2], double (&y)[2]) const {
    const Node &a0 = nodes_[a.from], &a1 = nodes_[a.to], &b0 = nodes_[b.from], &b1 = nodes_[b.to];
    const int o1 = orient(a0.x, a0.y, a1.x, a1.y, b0.x, b0.y), o2 = orient(a0.x, a0.y, a1.x, a1.y, b1.x, b1.y);
    if (o1 * o2 >= 0) return 0;
    const int o3 = orient(b0.x, b0.y, b1.x, b1.y, a0.x, a0.y), o4 = orient(b0.x, b0.y, b1.x, b1.y, a1.x, a1.y);
    if (o3 * o4 >= 0) return 0;
    const double dx = a1.x - a0.x, dy = a1.y - a0.y, ex = b1.x - b0.x, ey = b1.y - b0.y;
    const double den = cross(dx, dy, ex, ey);
    const double t = std::min(std::max(cross(b0.x - a0.x, b0.y - a0.y, ex, ey) / den, 0.0), 1.0);
    x[0] = a0.x + t * dx;
    y[0] = a0.y + t * dy;
    if (!std::isnan(t) && withinReach(b, nodes_, x[0], y[0], tol_ / 16.0)) return 1;
    // Nearly parallel: the crossing taken along a may lie anywhere on a,
    // far off b.  The segments cross, so a point near both is at hand: of
    // the crossing taken along either and the ends of each, the one whose
    // farther segment is nearest.
    const double s = std::min(std::max(cross(a0.x - b0.x, a0.y - b0.y, dx, dy) / -den, 0.0), 1.0);
    const Node candidates[6] = {{x[0], y[0]}, {b0.x + s * ex, b0.y + s * ey}, a0, a1, b0, b1};
    double best = INFINITY;
    for (const Node &c : candidates) {
      if (std::isnan(c.x) || std::isnan(c.y)) continue;
      const double d = std::max(distanceTo(a, nodes_, c.x, c.y), distanceTo(b, nodes_, c.x, c.y));
      if (d < best) {
        best = d;
        x[0] = c.x;
        y[0] = c.y;
      }
    }
    return 1;
  }

  // Whether (x, y), on the circle of arc e, lies within its range.
  bool withinArc(const Edge &e, double x, double y) const {
    return e.from == e.to || along(e, angleOf(e, x, y)) < std::fabs(e.sweep);
  }

  bool withinSegment(const Edge &s, double x, double y) const {
    const Node &p = nodes_[s.from], &q = nodes_[s.to];
    const double u = (x - p.x) * (q.x - p.x) + (y - p.y) * (q.y - p.y);
    return u > 0.0 && u < (q.x - p.x) * (q.x - p.x) + (q.y - p.y) * (q.y - p.y);
  }

  // Keeps the candidate points that lie inside both edges and off the
  // nodes they share (an end of one near the other is a node of both
  // already, so other ends do not count); returns their number, moved to
  // the front.
  int keep(const Edge &a, const Edge &b, int n, double (&x)[2], double (&y)[2]) const {
    int k = 0;
    for (int i = 0; i < n; ++i) {
      const bool in = (a.arc ? withinArc(a, x[i], y[i]) : withinSegment(a, x[i], y[i])) &&
                      (b.arc ? withinArc(b, x[i], y[i]) : withinSegment(b, x[i], y[i]));
      bool atShared = false;
      for (int v : {a.from, a.to})
        if (v == b.from || v == b.to) atShared = atShared || distance(x[i], y[i], nodes_[v].x, nodes_[v].y) <= 2.0 * tol_;
      if (!in || atShared) continue;
      x[k] = x[i];
      y[k] = y[i];
      ++k;
    }
    return k;
  }

  int segArc(const Edge &s, const Edge &c, int shared, double (&x)[2], double (&y)[2]) const {
    const Node &p = nodes_[s.from], &q = nodes_[s.to];
    const double dx = q.x - p.x, dy = q.y - p.y, l2 = dx * dx + dy * dy;
    if (!(l2 > 0.0)) return 0;
    if (shared) {
      // The line meets the circle again where the shared node is reflected
      // about the foot of the centre on it.
      const Node &n = (s.from == c.from || s.from == c.to) ? p : q;
      const double t = -2.0 * ((n.x - c.cx) * dx + (n.y - c.cy) * dy) / l2;
      x[0] = n.x + t * dx;
      y[0] = n.y + t * dy;
      return keep(s, c, 1, x, y);
    }
    const double l = std::sqrt(l2), ux = dx / l, uy = dy / l;
    const double along0 = (c.cx - p.x) * ux + (c.cy - p.y) * uy;
    const double fx = p.x + along0 * ux, fy = p.y + along0 * uy;
    const double d = distance(fx, fy, c.cx, c.cy);
    const double gap = c.r - d;
    if (gap < -tol_) return 0;
    if (gap <= tol_) {
      // A tangency: one meeting point, on the circle.
      if (d > 0.0) {
        x[0] = c.cx + (fx - c.cx) * c.r / d;
        y[0] = c.cy + (fy - c.cy) * c.r / d;
      } else {
        x[0] = fx;
        y[0] = fy;
      }
      return keep(s, c, 1, x, y);
    }
    const double h = std::sqrt(gap * (c.r + d));
    x[0] = fx - h * ux;
    y[0] = fy - h * uy;
    x[1] = fx + h * ux;
    y[1] = fy + h * uy;
    return keep(s, c, 2, x, y);
  }

  int arcArc(const Edge &a, const Edge &b, int shared, double (&x)[2], double (&y)[2]) const {
    const double dx = b.cx - a.cx, dy = b.cy - a.cy, d = std::sqrt(dx * dx + dy * dy);
    if (!(d > 0.0)) return 0;
    const double ux = dx / d, uy = dy / d;
    if (shared) {
      // The circles meet again at the shared node mirrored in the line of
      // centres.
      const Node &n = (a.from == b.from || a.from == b.to) ? nodes_[a.from] : nodes_[a.to];
      const double px = n.x - a.cx, py = n.y - a.cy;
      const double t = px * ux + py * uy;
      x[0] = a.cx + 2.0 * t * ux - px;
      y[0] = a.cy + 2.0 * t * uy - py;
      return keep(a, b, 1, x, y);
    }
    const double outer = d - (a.r + b.r), inner = std::fabs(a.r - b.r) - d;
    if (outer > tol_ || inner > tol_) return 0;
    if (std::fabs(outer) <= tol_ || std::fabs(inner) <= tol_) {
      // Tangent circles: the touching point on the line of centres.
      const double s = std::fabs(outer) <= tol_ ? a.r : (a.r >= b.r ? a.r : -a.r);
      x[0] = a.cx + s * ux;
      y[0] = a.cy + s * uy;
      return keep(a, b, 1, x, y);
    }
    const double m = (d * d + (a.r - b.r) * (a.r + b.r)) / (2.0 * d);
    const double h = std::sqrt(std::max(0.0, (a.r - m) * (a.r + m)));
    const double mx = a.cx + m * ux, my = a.cy + m * uy;
    x[0] = mx - h * uy;
    y[0] = my + h * ux;
    x[1] = mx + h * uy;
    y[1] = my - h * ux;
    return keep(a, b, 2, x, y);
  }

  // Edges that cross (or touch, for tangencies) away from their ends get a
  // new node, shared by both.  Crossings within the tolerance of each other
  // or of a node an earlier cut made (the tip of a needle across an edge,
  // say) share one node, or the edge between them would have no length and
  // no side.  A crossing near a node or an edge other than its two takes
  // that node or cuts that edge too; then the crossings are not the last
  // word, and the answer is true.
  bool splitAtCrossings() {
    Vec<Cut> &cuts = cuts_;
    cuts.clear();
    listEdges();
    const Vec<EdgeRef> &ea = refs_[0], &eb = refs_[1];
    Vec<Box> &ba = boxes_[0], &bb = boxes_[1];
    Vec<Meet> &meets = meets_;
    meets.clear();
    Vec<std::pair<int, int>> &pairs = pairs_;
    pairs.clear();
    pairs.reserve(2 * (ba.size() + bb.size()));
    overlappingPairs(ba, bb, [&](int i, int j) {
      pairs.push_back({i, j});
      double x[2], y[2];
      const int n = meetingPoints(edgeAt(ea[static_cast<size_t>(i)]), edgeAt(eb[static_cast<size_t>(j)]), x, y);
      for (int k = 0; k < n; ++k) meets.push_back({x[k], y[k], i, j, -1, 0, 0});
    });
    if (meets.empty()) return false;
    // Along x, each meeting takes the nearest node within the tolerance of
    // an earlier cut or of a meeting before it.
    std::sort(meets.begin(), meets.end(), [](const Meet &p, const Meet &q) { return p.x < q.x; });
    // A node or an edge within the tolerance of a crossing lies within it
    // of both crossing edges: its box met theirs.
    Vec<std::pair<int, EdgeRef>> &near = nearMeets_;
    near.clear();
    const bool others = findNearMeets(pairs, near);
    const size_t first = nodes_.size();
    bool shared = false;
    for (size_t k = 0; k < meets.size(); ++k) {
      Meet &m = meets[k];
      double reach = m.node >= 0 ? distanceToNode(m.x, m.y, m.node) : tol_;
      if (const int v = nearestMade(m.x, m.y, first, reach); v >= 0) m.node = v;
      for (size_t e = k; e-- > 0 && m.x - meets[e].x <= tol_;) {
        const double d = distance(m.x, m.y, meets[e].x, meets[e].y);
        if (d <= reach) reach = d, m.node = meets[e].node;
      }
      shared = shared || m.node >= 0;
      if (m.node < 0) m.node = newNode(m.x, m.y);
    }
    for (const Meet &m : meets) {
      const EdgeRef &ra = ea[static_cast<size_t>(m.a)], &rb = eb[static_cast<size_t>(m.b)];
      cuts.push_back({0, ra.ring, ra.edge, positionOn(edgeAt(ra), m.node), m.node});
      cuts.push_back({1, rb.ring, rb.edge, positionOn(edgeAt(rb), m.node), m.node});
    }
    for (const auto &[k, r] : near) {
      const Meet &m = meets[static_cast<size_t>(k)];
      const Edge &e = edgeAt(r);
      if (m.node == e.from || m.node == e.to) continue;
      cuts.push_back({r.shape, r.ring, r.edge, positionOn(e, m.node), m.node});
      // Its shape may now run both ways between the crossing and a node.
      touched_[r.shape] = shared = true;
    }
    applyCuts(cuts);
    // Two edges of one shape through a shared crossing may now run both
    // ways between it and a node they had in common (a needle's tip, a
    // contour's touch point).
    if (shared)
      for (int w = 0; w < 2; ++w) cancelOwnOverlaps(rings_[w], nodes_, tol_);
    return others;
  }

  // For each crossing, the nearest end within the tolerance of an edge
  // whose box met one of its two (as its node), and those edges within the
  // tolerance of it (into near as (crossing, edge)); whether there were any.
  bool findNearMeets(const Vec<std::pair<int, int>> &pairs, Vec<std::pair<int, EdgeRef>> &near) {
    // Each edge's meetings as a list: its first (plus one; 0 for none),
    // then each one's next on the same edge.
    firstA_.assign(refs_[0].size(), 0);
    firstB_.assign(refs_[1].size(), 0);
    for (size_t k = meets_.size(); k-- > 0;) {
      Meet &m = meets_[k];
      m.nextA = std::exchange(firstA_[static_cast<size_t>(m.a)], static_cast<int>(k) + 1);
      m.nextB = std::exchange(firstB_[static_cast<size_t>(m.b)], static_cast<int>(k) + 1);
    }
    bool any = false;
    // Meeting k against edge r, whose box met one of its two.
    const auto check = [&](int k, const EdgeRef &r) {
      Meet &m = meets_[static_cast<size_t>(k)];
      const Edge &e = edgeAt(r);
      // Most stand clear of its box.
      if (!within(edgeBox(e, nodes_, tol_, 0), m.x, m.y)) return;
      if (nearEnd(e, m.x, m.y, tol_))
        for (int v : {e.from, e.to}) {
          const double d = distanceToNode(m.x, m.y, v);
          if (d <= tol_ && (m.node < 0 || d < distanceToNode(m.x, m.y, m.node))) m.node = v, any = true;
        }
      if (withinReach(e, nodes_, m.x, m.y, tol_)) {
        near.push_back({k, r});
        any = true;
      }
    };
    for (const auto &[i, j] : pairs) {
      // Meetings on A's edge i against B's edge j, and on B's edge j
      // against A's edge i.
      for (int k = firstA_[static_cast<size_t>(i)]; k > 0; k = meets_[static_cast<size_t>(k - 1)].nextA)
        if (meets_[static_cast<size_t>(k - 1)].b != j) check(k - 1, refs_[1][static_cast<size_t>(j)]);
      for (int k = firstB_[static_cast<size_t>(j)]; k > 0; k = meets_[static_cast<size_t>(k - 1)].nextB)
        if (meets_[static_cast<size_t>(k - 1)].a != i) check(k - 1, refs_[0][static_cast<size_t>(i)]);
    }
    return any;
  }

  Vec<Node> &nodes_;
  Vec<Ring> *rings_;
  double tol_;
  Rule rule_;
  Mem *mem_;
  Box reach_[2];
  // Up to this many edges in all (a small operation), contours of one shape
  // are brought together everywhere; beyond it, sorting all their vertices
  // would cost more than the rest of the overlay, and only the places that
  // findOwnContacts finds are added to the other shape's reach.
  static constexpr size_t kEverywhere = 128;
  // Bounds of the settling: passes of splits, rounds of splits and
  // crossings.  Real shapes settle in one or two of each.
  static constexpr int kPasses = 8, kRounds = 4;
  bool ownEverywhere_ = false;
  // Whether a shape's vertices met each other, or its edges took vertices:
  // only then may pieces of it run both ways between two nodes.
  bool touched_[2] = {false, false};
  // Whether refs_ and boxes_ list the edges as they stand.
  bool listed_ = false;
  // Nodes from here on were made by cuts, not read.
  size_t made_ = 0;
  // Work lists of the passes, kept from one to the next.
  Vec<EdgeRef> refs_[2];
  Vec<Box> boxes_[2];
  // Per contour of each shape, the box round where it may meet itself or
  // another contour of its shape (kNoBox where it cannot, or where
  // ownEverywhere_ covers it), and whether any has one; the runs and their
  // boxes that find them.
  Vec<Box> near_[2];
  bool hasNear_[2] = {false, false};
  Vec<Run> runs_;
  Vec<Chunk> chunks_;
  // Every edge's box per shape in ring order, while its edges stand as
  // they were boxed.
  Vec<Box> edgeBoxes_[2];
  bool boxesFresh_[2] = {false, false};
  Vec<Box> runBoxes_;
  Vec<EdgeRef> ownRefs_;
  Vec<Box> ownBoxes_;
  Vec<Cut> cuts_;
  // A crossing of edges refs_[0][a] and refs_[1][b], and the node it takes.
  struct Meet {
    double x, y;
    int a, b, node;
    int nextA = 0, nextB = 0;  // the next meeting on its edges (plus one)
  };
  Vec<Meet> meets_;
  // Candidate pairs of the crossing pass, and what lies near its crossings.
  Vec<std::pair<int, int>> pairs_;
  Vec<std::pair<int, EdgeRef>> nearMeets_;
  Vec<int> firstA_, firstB_;
  Vec<Edge> pieces_;
  Vec<std::pair<EdgeRef, EdgeRef>> put_, crossed_;
  Vec<double> placesX_, placesY_;
};

// ---- Sides ----------------------------------------------------------------------


double edgeLength(const Edge &e, const Vec<Node> &nodes) {
  if (e.arc) return std::fabs(e.sweep) * e.r;
  return distance(nodes[e.from].x, nodes[e.from].y, nodes[e.to].x, nodes[e.to].y);
}

// Winding numbers of the rings of one shape around points, with the test
// whether a point lies within the tolerance of their boundary.  The count
// runs along a ray to +x or to +y, whichever meets fewer edges: the edges
// are filed by horizontal and by vertical slabs.
class Winding {
 public:
  Winding(const Vec<Ring> &rings, const Vec<Node> &nodes, double tol)
      : nodes_(nodes), tol_(tol), edges_(nodes.get_allocator()) {
    size_t total = 0;
    for (const Ring &r : rings) total += r.edges.size();
    edges_.reserve(total);
    for (const Ring &r : rings)
      for (const Edge &e : r.edges)
        if (e.place != kGone) edges_.push_back(&e);
    // Far from every ring lies material when the largest ring is a hole:
    // a shape given as the outside of its contour.
    const Ring *largest = nullptr;
    for (const Ring &r : rings)
      if (!largest || std::fabs(r.area) > std::fabs(largest->area)) largest = &r;
    outside_ = largest && largest->area < 0.0 ? 1 : 0;
  }

  // 1 inside the shape's material, 0 outside, -1 on its boundary.
  int side(double px, double py) {
    // Filing pays once a few counts have been made over many edges.
    if (++asked_ == 8 && edges_.size() > 32) {
      for (const Edge *e : edges_) boxes_.push_back(edgeBox(*e, nodes_, tol_, 0));
      fileBySlabs(0);
      fileBySlabs(1);
    }
    int axis = 0;
    const Vec<int> *list = nullptr;
    if (!slabs_[0].lists.empty()) {
      const Vec<int> &byY = slabs_[0].at(py), &byX = slabs_[1].at(px);
      axis = byX.size() < byY.size() ? 1 : 0;
      list = axis ? &byX : &byY;
    }
    int w = 0;
    const size_t count = list ? list->size() : edges_.size();
    for (size_t i = 0; i < count; ++i) {
      const size_t k = list ? static_cast<size_t>((*list)[i]) : i;
      const Edge &e = *edges_[k];
      // Most edges stand clear of the ray: their boxes say so.
      const Box b = boxes_.empty() ? roughBox(e) : boxes_[k];
      if (axis == 0 ? (py < b.y0 || py > b.y1 || px > b.x1) : (px < b.x0 || px > b.x1 || py > b.y1)) continue;
      const int c = crossings(e, b, px, py, axis);
      if (c == kNear) return -1;
      w += c;
    }
    // Along y the axes are exchanged, which mirrors the plane: the count
    // changes sign.
    if (axis) w = -w;
    return w + outside_ >= 1 ? 1 : 0;
  }

 private:
  static constexpr int kNear = 1 << 20;

  // Signed crossings of the ray with an edge whose box it meets, or kNear.
  int crossings(const Edge &e, const Box &b, double px, double py, int axis) const {
    // Only a point within the box may lie within the tolerance.
    if ((axis == 0 ? px >= b.x0 : py >= b.y0) && withinReach(e, nodes_, px, py, tol_)) return kNear;
    return e.arc ? arcCrossings(e, px, py, axis) : segmentCrossing(e, px, py, axis);
  }

  // A box around the edge, for an arc its whole circle, widened by the
  // tolerance.
  Box roughBox(const Edge &e) const {
    const Node &s = nodes_[e.from], &t = nodes_[e.to];
    if (e.arc) return {e.cx - e.r - tol_, e.cy - e.r - tol_, e.cx + e.r + tol_, e.cy + e.r + tol_, 0};
    return {std::min(s.x, t.x) - tol_, std::min(s.y, t.y) - tol_, std::max(s.x, t.x) + tol_, std::max(s.y, t.y) + tol_, 0};
  }

  // Edges filed by slabs across one axis (0: slabs of y, 1: slabs of x).
  struct Slabs {
    double lo = 0.0, width = 1.0;
    Vec<Vec<int>> lists;
    Vec<int> none;
    const Vec<int> &at(double v) const {
      const double f = (v - lo) / width;
      if (!(f >= 0.0) || f >= static_cast<double>(lists.size())) return none;
      return lists[static_cast<size_t>(f)];
    }
  };

  void fileBySlabs(int axis) {
    Slabs &s = slabs_[axis];
    double lo = INFINITY, hi = -INFINITY;
    for (const Box &b : boxes_) {
      lo = std::min(lo, axis ? b.x0 : b.y0);
      hi = std::max(hi, axis ? b.x1 : b.y1);
    }
    const size_t n = std::min<size_t>(std::max<size_t>(edges_.size() / 2, 1), 4096);
    s.lo = lo;
    s.width = std::max((hi - lo) / static_cast<double>(n), DBL_MIN);
    s.lists.assign(n, {});
    for (size_t k = 0; k < boxes_.size(); ++k) {
      const Box &b = boxes_[k];
      const double v0 = axis ? b.x0 : b.y0, v1 = axis ? b.x1 : b.y1;
      const size_t i0 = std::min(n - 1, static_cast<size_t>(std::max(0.0, (v0 - lo) / s.width)));
      const size_t i1 = std::min(n - 1, static_cast<size_t>(std::max(0.0, (v1 - lo) / s.width)));
      for (size_t i = i0; i <= i1; ++i) s.lists[i].push_back(static_cast<int>(k));
    }
  }

  // Coordinates seen with the axes exchanged when `axis` is 1.
  static double X(const Node &n, int axis) { return axis ? n.y : n.x; }
  static double Y(const Node &n, int axis) { return axis ? n.x : n.y; }

  int segmentCrossing(const Edge &e, double px, double py, int axis) const {
    const Node &a = nodes_[e.from], &b = nodes_[e.to];
    const double ay = Y(a, axis), by = Y(b, axis), qy = axis ? px : py, qx = axis ? py : px;
    if ((ay <= qy) == (by <= qy)) return 0;
    const int o = orient(X(a, axis), ay, X(b, axis), by, qx, qy);
    if (by > ay) return o > 0 ? 1 : 0;
    return o < 0 ? -1 : 0;
  }

  // Signed crossings of the ray with the arc, which is taken in pieces
  // monotone across the ray, each half-open as the segments are.
  int arcCrossings(const Edge &e, double px, double py, int axis) const {
    const Node &s = nodes_[e.from], &t = nodes_[e.to];
    // In exchanged axes the circle's angles are mirrored about pi/4.
    const double cx = axis ? e.cy : e.cx, cy = axis ? e.cx : e.cy, qx = axis ? py : px, qy = axis ? px : py;
    const double a0 = axis ? kPi / 2.0 - e.a0 : e.a0, sweep = axis ? -e.sweep : e.sweep;
    const double dir = sweep >= 0.0 ? 1.0 : -1.0, total = std::fabs(sweep);
    const auto travel = [&](double angle) { return wrap(dir > 0.0 ? angle - a0 : a0 - angle); };
    // Breaks where the arc turns across the ray's direction.
    double breaks[4];
    int nb = 0;
    breaks[nb++] = 0.0;
    for (double extreme : {kPi / 2.0, -kPi / 2.0}) {
      const double at = travel(extreme);
      if (at > 0.0 && at < total) breaks[nb++] = at;
    }
    if (nb == 3 && breaks[2] < breaks[1]) std::swap(breaks[1], breaks[2]);
    breaks[nb] = total;
    int w = 0;
    for (int i = 0; i < nb; ++i) {
      const double b0 = breaks[i], b1 = breaks[i + 1];
      const double y0 = i == 0 ? Y(s, axis) : cy + e.r * std::sin(a0 + dir * b0);
      const double y1 = i + 1 == nb ? Y(t, axis) : cy + e.r * std::sin(a0 + dir * b1);
      if ((y0 <= qy) == (y1 <= qy)) continue;
      const double h = std::sqrt(std::max(0.0, e.r * e.r - (qy - cy) * (qy - cy)));
      const bool right = std::cos(a0 + dir * (b0 + b1) / 2.0) > 0.0;
      const double x = right ? cx + h : cx - h;
      if (x > qx) w += y1 > y0 ? 1 : -1;
    }
    return w;
  }

  const Vec<Node> &nodes_;
  double tol_;
  Vec<const Edge *> edges_;
  Vec<Box> boxes_;
  Slabs slabs_[2];
  int outside_ = 0;
  int asked_ = 0;
};

// ---- Selection and joining ------------------------------------------------------------

// Boundary no longer than this many tolerances, coming back to where it
// started, is the rounding of nodes that the tolerance did not merge.
constexpr double kRoundingLoop = 8.0;


// A piece of the result's boundary, directed with the result's material on
// its left.
// A piece of the result's boundary is an edge of either shape, turned for
// a removal's B, that knows where it was cut from.
using Piece = Edge;

Piece pieceOf(const Edge &e, bool reversed, const Vec<Node> &nodes, int ring, int index) {
  Piece p = e;
  p.ring = ring;
  p.index = index;
  if (!reversed) return p;
  std::swap(p.from, p.to);
  p.sweep = -e.sweep;
  if (e.arc) p.a0 = std::atan2(nodes[e.to].y - e.cy, nodes[e.to].x - e.cx);
  return p;
}

// Direction of travel at the start (or end) of a piece, as an angle, and
// its curvature (positive turning left).
double headingAt(const Piece &p, bool atEnd, const Vec<Node> &nodes) {
  if (!p.arc) {
    const Node &s = nodes[p.from], &t = nodes[p.to];
    return std::atan2(t.y - s.y, t.x - s.x);
  }
  const double phi = atEnd ? p.a0 + p.sweep : p.a0;
  return phi + (p.sweep >= 0.0 ? kPi / 2.0 : -kPi / 2.0);
}

double curvature(const Piece &p) { return !p.arc ? 0.0 : (p.sweep >= 0.0 ? 1.0 : -1.0) / p.r; }

class Joiner {
 public:
  Joiner(const Vec<Piece> &pieces, const Vec<Node> &nodes)
      : pieces_(pieces), nodes_(nodes), first_(nodes.get_allocator()), out_(nodes.get_allocator()),
        used_(nodes.get_allocator()) {
    first_.assign(nodes.size() + 1, 0);
    for (const Piece &p : pieces) ++first_[static_cast<size_t>(p.from) + 1];
    for (size_t i = 1; i < first_.size(); ++i) first_[i] += first_[i - 1];
    out_.resize(pieces.size());
    Vec<int> fill(first_.begin(), first_.end() - 1, nodes.get_allocator());
    for (size_t k = 0; k < pieces.size(); ++k) out_[static_cast<size_t>(fill[static_cast<size_t>(pieces[k].from)]++)] = static_cast<int>(k);
    used_.assign(pieces.size(), 0);
    for (size_t v = 0; v + 1 < first_.size() && !forks_; ++v) forks_ = first_[v + 1] - first_[v] > 1;
  }

  // Whether a node is left by more than one piece: only then may a contour
  // come back to a node.
  bool forks() const { return forks_; }

  // Closed contours as lists of pieces; false when a contour cannot be
  // closed (the pieces do not meet as a boundary must).
  bool join(Vec<Vec<int>> &loops) {
    // Each contour is gathered in one list and kept as a copy of its size.
    Vec<int> loop(loops.get_allocator());
    loop.reserve(pieces_.size());
    for (size_t k = 0; k < pieces_.size(); ++k) {
      if (used_[k]) continue;
      loop.assign(1, static_cast<int>(k));
      used_[k] = 1;
      const int start = static_cast<int>(k);
      int cur = start;
      for (;;) {
        const int next = choose(cur, start);
        if (next < 0) return false;
        if (next == start) break;
        used_[static_cast<size_t>(next)] = 1;
        loop.push_back(next);
        cur = next;
      }
      loops.emplace_back(loop.begin(), loop.end());
    }
    return true;
  }

 private:
  // The piece that goes on from the end of `cur`: of those leaving its end
  // node, the first clockwise from the way back, so that contours meeting at
  // a node part there instead of crossing.
  int choose(int cur, int start) const {
    const Piece &in = pieces_[static_cast<size_t>(cur)];
    const int v = in.to;
    int best = -1, count = 0;
    for (int i = first_[static_cast<size_t>(v)]; i < first_[static_cast<size_t>(v) + 1]; ++i) {
      const int k = out_[static_cast<size_t>(i)];
      if (!used_[static_cast<size_t>(k)] || k == start) {
        best = k;
        ++count;
      }
    }
    if (count < 2) return best;
    best = -1;
    double bestTurn = 0.0, bestBend = 0.0;
    const double back = headingAt(in, true, nodes_) + kPi;
    for (int i = first_[static_cast<size_t>(v)]; i < first_[static_cast<size_t>(v) + 1]; ++i) {
      const int k = out_[static_cast<size_t>(i)];
      if (used_[static_cast<size_t>(k)] && k != start) continue;
      const Piece &p = pieces_[static_cast<size_t>(k)];
      double turn = wrap(back - headingAt(p, false, nodes_));
      if (turn < 1e-12 || turn > kTwoPi - 1e-12) turn = kTwoPi;
      const double bend = curvature(p);
      if (best < 0 || turn < bestTurn - 1e-9 || (turn <= bestTurn + 1e-9 && bend < bestBend)) {
        best = k;
        bestTurn = turn;
        bestBend = bend;
      }
    }
    return best;
  }

  const Vec<Piece> &pieces_;
  const Vec<Node> &nodes_;
  Vec<int> first_, out_;
  Vec<char> used_;
  bool forks_ = false;
};

// ---- Output ---------------------------------------------------------------------------------

// The kind of a piece's arc as the kernel reads it back from its ends: the
// side of the chord the legs turn to says minor or major.  A sweep near a
// half circle, whose ends may have moved with the tolerance, goes by that
// side rather than by the sweep.
int arcKind(const Piece &p, const Vec<Node> &nodes) {
  const double m = std::fabs(p.sweep);
  if (m < kPi / 2.0) return KIV_ARC_MINOR;
  if (m > 1.5 * kPi) return KIV_ARC_MAJOR;
  const Node &s = nodes[static_cast<size_t>(p.from)], &t = nodes[static_cast<size_t>(p.to)];
  const double cr = cross(s.x - p.cx, s.y - p.cy, t.x - p.cx, t.y - p.cy);
  if (cr == 0.0) return m > kPi ? KIV_ARC_MAJOR : KIV_ARC_MINOR;
  return (cr > 0.0) == (p.sweep > 0.0) ? KIV_ARC_MINOR : KIV_ARC_MAJOR;
}

PathOwner pathOf(const Vec<Piece> &pieces, const Vec<int> &loop, const Vec<Node> &nodes) {
  PathOwner owner(create_path());
  path *p = owner.get();
  for (int k : loop) {
    const Piece &e = pieces[static_cast<size_t>(k)];
    point v;
    initialized_point(&v);
    v.x = nodes[static_cast<size_t>(e.from)].x;
    v.y = nodes[static_cast<size_t>(e.from)].y;
    create_point_before(p, p->first, &v);
    if (e.arc) {
      point c;
      initialized_point(&c);
      c.x = e.cx;
      c.y = e.cy;
      c.radius = e.r;
      c.direction = e.sweep >= 0.0 ? KIV_CCW : KIV_CW;
      c.arc = arcKind(e, nodes);
      create_point_before(p, p->first, &c);
    }
  }
  return owner;
}

double loopArea(const Vec<Piece> &pieces, const Vec<int> &loop, const Vec<Node> &nodes) {
  double a = 0.0;
  for (int k : loop) a += edgeArea(pieces[static_cast<size_t>(k)], nodes);
  return a;
}

struct Loop {
  Vec<int> pieces;
  bool whole = false;  // one ring kept whole, in its own order
  long key[4] = {0, 0, 0, 0};  // the last one the order of finding
};

// The contours in the order and from the nodes where the crossing walk
// finds them, which callers may count on: rings kept whole first (A's,
// then B's) from their first vertex, then the contours that switch between
// the shapes, by their first switch onto A met from A's first vertex
// (forwards when the A ring runs as the B ring it meets is walked, else
// backwards), each starting there.
Vec<Loop> arrange(const Vec<Vec<int>> &loops, const Vec<Piece> &pieces,
                          const Vec<Ring> *rings, Rule rule) {
  Vec<Loop> out(loops.get_allocator());
  for (const Vec<int> &l : loops) {
    Loop loop{Vec<int>(l, loops.get_allocator())};
    const Piece &p0 = pieces[static_cast<size_t>(l[0])];
    const Vec<Edge> &ring0 = rings[p0.shape][static_cast<size_t>(p0.ring)].edges;
    bool one = l.size() == ring0.size();
    for (int k : l) one = one && pieces[static_cast<size_t>(k)].shape == p0.shape && pieces[static_cast<size_t>(k)].ring == p0.ring;
    size_t start = 0;
    if (one) {
      loop.whole = true;
      for (size_t j = 0; j < l.size(); ++j)
        if (pieces[static_cast<size_t>(l[j])].from == ring0[0].from) start = j;
      loop.key[0] = 0;
      loop.key[1] = p0.shape;
      loop.key[2] = p0.ring;
    } else {
      const Piece *b = nullptr;
      for (int k : l)
        if (!b && pieces[static_cast<size_t>(k)].shape == 1) b = &pieces[static_cast<size_t>(k)];
      long best[2] = {0, 0};
      bool found = false;
      for (int pass = 0; pass < 2 && !found; ++pass)
        for (size_t j = 0; j < l.size(); ++j) {
          const Piece &p = pieces[static_cast<size_t>(l[j])];
          if (p.shape != 0) continue;
          const Ring &ra = rings[0][static_cast<size_t>(p.ring)];
          const long n = static_cast<long>(ra.edges.size());
          const Piece &q = pieces[static_cast<size_t>(l[(j + l.size() - 1) % l.size()])];
          const bool follows = q.shape == 0 && q.ring == p.ring && (q.index + 1) % n == p.index;
          if (pass == 0 && follows) continue;
          bool forward = true;
          if (b) {
            const double pb = rings[1][static_cast<size_t>(b->ring)].area * (rule == Rule::intersect ? -1.0 : 1.0);
            forward = (ra.area > 0.0) == (pb > 0.0);
          }
          const long rank = forward ? p.index : (n - p.index) % n;
          if (!found || p.ring < best[0] || (p.ring == best[0] && rank < best[1])) {
            found = true;
            best[0] = p.ring;
            best[1] = rank;
            start = j;
          }
        }
      loop.key[0] = 1;
      loop.key[1] = found ? best[0] : 1L << 40;
      loop.key[2] = best[1];
    }
    std::rotate(loop.pieces.begin(), loop.pieces.begin() + static_cast<long>(start), loop.pieces.end());
    loop.key[3] = static_cast<long>(out.size());
    out.push_back(std::move(loop));
  }
  std::sort(out.begin(), out.end(), [](const Loop &a, const Loop &b) {
    return std::lexicographical_compare(a.key, a.key + 4, b.key, b.key + 4);
  });
  return out;
}

// A contour that comes back to a node it left after a few tolerances
// loses that detour: the rounding of nodes that the tolerance did not
// merge, which bounds nothing.
void cutShortDetours(Vec<Vec<int>> &loops, const Vec<Piece> &pieces, const Vec<Node> &nodes, double tol) {
  Mem *mem = nodes.get_allocator().resource();
  Vec<int> at(nodes.size(), -1, mem);  // where the kept walk leaves a node
  Vec<double> walked(mem);             // the length walked before each kept piece
  Vec<int> kept(mem);
  for (Vec<int> &loop : loops) {
    kept.clear();
    walked.clear();
    // From its longest piece, which no detour holds, so none wraps round.
    size_t first = 0;
    double longest = 0.0;
    for (size_t i = 0; i < loop.size(); ++i) {
      const double l = edgeLength(pieces[static_cast<size_t>(loop[i])], nodes);
      if (l > longest) {
        longest = l;
        first = i;
      }
    }
    double length = 0.0;
    for (size_t i = 0; i < loop.size(); ++i) {
      const int k = loop[(first + i) % loop.size()];
      const int u = pieces[static_cast<size_t>(k)].from;
      const int start = at[static_cast<size_t>(u)];
      if (start >= 0 && length - walked[static_cast<size_t>(start)] <= kRoundingLoop * tol) {
        for (size_t j = static_cast<size_t>(start); j < kept.size(); ++j)
          at[static_cast<size_t>(pieces[static_cast<size_t>(kept[j])].from)] = -1;
        length = walked[static_cast<size_t>(start)];
        kept.resize(static_cast<size_t>(start));
        walked.resize(static_cast<size_t>(start));
      }
      at[static_cast<size_t>(u)] = static_cast<int>(kept.size());
      kept.push_back(k);
      walked.push_back(length);
      length += edgeLength(pieces[static_cast<size_t>(k)], nodes);
    }
    for (int k : kept) at[static_cast<size_t>(pieces[static_cast<size_t>(k)].from)] = -1;
    if (kept.size() != loop.size()) {
      // Back to its own start where that stays.
      const auto own = std::find(kept.begin(), kept.end(), loop[0]);
      if (own != kept.end()) std::rotate(kept.begin(), own, kept.end());
      loop.assign(kept.begin(), kept.end());
    }
  }
}

// A contour too small to keep that touches a larger one at a node is a
// part of it that the tolerance pinched off (a neck narrower than the
// tolerance): it goes back into that contour there instead of being
// dropped.
void spliceSmallLoops(Vec<Vec<int>> &loops, const Vec<Piece> &pieces,
                      const Vec<Node> &nodes, double tol) {
  Vec<double> area(loops.size(), 0.0, loops.get_allocator());
  bool any = false;
  for (size_t i = 0; i < loops.size(); ++i) {
    area[i] = loopArea(pieces, loops[i], nodes);
    any = any || std::fabs(area[i]) < kSmallestArea;
  }
  if (!any) return;
  for (size_t i = 0; i < loops.size(); ++i) {
    if (loops[i].empty() || std::fabs(area[i]) >= kSmallestArea) continue;
    // One a few tolerances round, or on average thinner than the tolerance
    // (a needle out and back), is no part of anything: the rounding of
    // nodes that the tolerance did not merge.  It goes.
    double length = 0.0;
    for (int k : loops[i]) length += edgeLength(pieces[static_cast<size_t>(k)], nodes);
    if (length <= kRoundingLoop * tol || std::fabs(area[i]) <= tol * length / 2.0) {
      loops[i].clear();
      continue;
    }
    bool spliced = false;
    for (size_t j = 0; j < loops.size() && !spliced; ++j) {
      if (j == i || std::fabs(area[j]) < kSmallestArea) continue;
      Vec<int> &big = loops[j];
      for (size_t at = 0; at < big.size() && !spliced; ++at) {
        const int v = pieces[static_cast<size_t>(big[at])].from;
        for (size_t k = 0; k < loops[i].size(); ++k) {
          if (pieces[static_cast<size_t>(loops[i][k])].from != v) continue;
          Vec<int> small(loops[i].begin() + static_cast<long>(k), loops[i].end(), loops.get_allocator());
          small.insert(small.end(), loops[i].begin(), loops[i].begin() + static_cast<long>(k));
          big.insert(big.begin() + static_cast<long>(at), small.begin(), small.end());
          area[j] += area[i];
          loops[i].clear();
          spliced = true;
          break;
        }
      }
    }
  }
  loops.erase(std::remove_if(loops.begin(), loops.end(), [](const Vec<int> &l) { return l.empty(); }),
              loops.end());
}

// Whether a piece of one shape, in the given place against the other, lies
// on the result's boundary; pieces of B that overlap A are A's to give.
bool keeps(Rule rule, int which, Place place) {
  if (place == kGone) return false;
  if (place == kSame) return which == 0 && rule != Rule::remove;
  if (place == kOpposite) return which == 0 && rule == Rule::remove;
  if (rule == Rule::unite) return place == kOutside;
  if (rule == Rule::intersect) return place == kInside;
  return which == 0 ? place == kOutside : place == kInside;
}

struct Outcome {
  ShapePtr result;
  bool met = false;     // the boundaries share a node
  bool closed = true;   // every contour closed
};


Outcome overlayWith(Rule rule, Operands &ops, double tol) {
  Overlay ov(ops, tol, rule);
  ov.meet();
  const Vec<Node> &nodes = ov.nodes();
  Vec<Ring> *rings = ov.rings();
  Outcome out;

  // Which nodes lie on both boundaries.
  Mem *mem = ops.mem();
  Vec<char> on(nodes.size(), 0, mem);
  for (int w = 0; w < 2; ++w)
    for (const Ring &r : rings[w])
      for (const Edge &e : r.edges) on[static_cast<size_t>(e.from)] |= static_cast<char>(1 << w);
  const auto shared = [&](int v) { return on[static_cast<size_t>(v)] == 3; };

  // Overlaps: pieces of both boundaries between the same two shared nodes
  // along the same curve.
  Vec<std::pair<uint64_t, Edge *>> ofB(mem);
  for (Ring &r : rings[1])
    for (Edge &e : r.edges)
      if (e.from != e.to && e.place == kUnknown && shared(e.from) && shared(e.to)) ofB.push_back({pairKey(e.from, e.to), &e});
  std::sort(ofB.begin(), ofB.end(), [](const auto &p, const auto &q) { return p.first < q.first; });
  if (!ofB.empty())
    for (Ring &r : rings[0])
      for (Edge &a : r.edges) {
        if (a.from == a.to || a.place != kUnknown || !shared(a.from) || !shared(a.to)) continue;
        const uint64_t key = pairKey(a.from, a.to);
        auto it = std::lower_bound(ofB.begin(), ofB.end(), key, [](const auto &p, uint64_t k) { return p.first < k; });
        const Node ma = middleOf(a, nodes);
        for (; it != ofB.end() && it->first == key; ++it) {
          Edge *b = it->second;
          if (b->place != kUnknown) continue;
          const Node mb = middleOf(*b, nodes);
          if (distance(ma.x, ma.y, mb.x, mb.y) > 2.0 * tol) continue;
          a.place = b->place = b->from == a.from ? kSame : kOpposite;
          break;
        }
      }

  // Runs of pieces between shared nodes lie on one side of the other
  // boundary: one winding count each, at the middle of their longest piece
  // (or of another when that one is too close to call).
  Vec<size_t> run(mem);
  Vec<std::pair<double, size_t>> longest(mem);
  for (int w = 0; w < 2; ++w) {
    Winding other(rings[1 - w], nodes, tol);
    for (size_t i = 0; i < rings[w].size(); ++i) {
      Vec<Edge> &edges = rings[w][i].edges;
      const size_t n = edges.size();
      if (n == 0) continue;
      // Start after a shared node, so that a run does not wrap.
      size_t start = 0;
      for (size_t k = 0; k < n; ++k)
        if (shared(edges[k].from)) {
          start = k;
          break;
        }
      size_t k = 0;
      while (k < n) {
        const size_t first = (start + k) % n;
        if (edges[first].place != kUnknown) {
          ++k;
          continue;
        }
        run.clear();
        while (k < n) {
          const size_t idx = (start + k) % n;
          if (edges[idx].place != kUnknown) break;
          run.push_back(idx);
          ++k;
          if (shared(edges[idx].to)) break;
        }
        // The longest pieces first: their middles stand farthest off.
        longest.clear();
        for (size_t idx : run) longest.push_back({edgeLength(edges[idx], nodes), idx});
        const size_t tries = std::min<size_t>(4, longest.size());
        std::partial_sort(longest.begin(), longest.begin() + static_cast<long>(tries), longest.end(),
                          [](const auto &a, const auto &b) { return a.first > b.first; });
        int side = -1;
        for (size_t t = 0; t < tries && side < 0; ++t) {
          const Node m = middleOf(edges[longest[t].second], nodes);
          side = other.side(m.x, m.y);
        }
        if (side < 0) {
          // Nothing of the run stands clear of the other boundary: a sliver
          // of the tolerance's width; its side hardly matters, but it must
          // be one side.
          const Node m = middleOf(edges[longest[0].second], nodes);
          Winding loose(rings[1 - w], nodes, 0.0);
          side = std::max(0, loose.side(m.x, m.y));
        }
        for (size_t idx : run) edges[idx].place = side == 1 ? kInside : kOutside;
      }
    }
  }

  out.met = false;
  for (size_t v = 0; v < nodes.size(); ++v) out.met = out.met || on[v] == 3;

  // The kept pieces, joined into contours.
  Vec<Piece> pieces(mem);
  for (int w = 0; w < 2; ++w)
    for (size_t i = 0; i < rings[w].size(); ++i) {
      const Vec<Edge> &edges = rings[w][i].edges;
      const bool reversed = w == 1 && rule == Rule::remove;
      for (size_t k = 0; k < edges.size(); ++k)
        if (keeps(rule, w, static_cast<Place>(edges[k].place)))
          pieces.push_back(pieceOf(edges[k], reversed, nodes, static_cast<int>(i), static_cast<int>(k)));
    }
  Vec<Vec<int>> loops(mem);
  loops.reserve(8);
  Joiner joiner(pieces, nodes);
  out.closed = joiner.join(loops);
  if (joiner.forks()) cutShortDetours(loops, pieces, nodes, tol);
  spliceSmallLoops(loops, pieces, nodes, tol);
  out.result.reset(create_shape());
  // Nodes where the boundaries run together: a small contour there may be a
  // pocket that a crack narrower than the tolerance joined to the rest.
  Vec<char> atOverlap(nodes.size(), 0, mem);
  for (const Ring &r : rings[0])
    for (const Edge &e : r.edges)
      if (e.place == kSame || e.place == kOpposite) atOverlap[static_cast<size_t>(e.from)] = atOverlap[static_cast<size_t>(e.to)] = 1;
  const auto pocket = [&](const Vec<int> &loop) {
    for (int k : loop)
      if (atOverlap[static_cast<size_t>(pieces[static_cast<size_t>(k)].from)]) return true;
    return false;
  };
  for (const Loop &loop : arrange(loops, pieces, rings, rule)) {
    // A ring kept whole stands as it was given; a contour the pieces of
    // both make is kept from the size of a piece the result holds, or
    // as a pocket.
    if (!loop.whole && std::fabs(loopArea(pieces, loop.pieces, nodes)) < kSmallestArea && !pocket(loop.pieces)) continue;
    PathOwner p = pathOf(pieces, loop.pieces, nodes);
    if (loop.whole || size_path_(p.get()) > 2) add_path(p.release(), out.result.get());
  }
  return out;
}

// The largest distance from the origin that the operands reach, which
// turning them about the origin keeps: so does the tolerance.
double scaleOf(const Operands &ops) {
  double s = 0.0;
  for (const Node &n : ops.nodes) s = std::max(s, n.x * n.x + n.y * n.y);
  if (s < INFINITY && s > 1e-280) {
    s = std::sqrt(s);
  } else {
    // Squares that overflow or underflow: the slow way.
    s = 0.0;
    for (const Node &n : ops.nodes) s = std::max(s, std::hypot(n.x, n.y));
  }
  for (const auto &rs : ops.rings)
    for (const Ring &r : rs)
      for (const Edge &e : r.edges)
        if (e.arc) s = std::max(s, std::hypot(e.cx, e.cy) + e.r);
  return s;
}

}  // namespace

bool overlaid(const shape *A, const shape *B) {
  const auto plain = [](const shape *s) { return s->kind == 0 || s->kind == 30; };
  return plain(A) && plain(B);
}

shape *overlay(Rule rule, const shape *A, const shape *B) {
  // Room for the operands and the work of shapes of some dozens of nodes;
  // larger ones work on the heap, where what they give back is used again.
  alignas(std::max_align_t) std::byte room[32768];
  Arena arena(room, sizeof room);
  const size_t countA = static_cast<size_t>(nodeCount(A)), countB = static_cast<size_t>(nodeCount(B));
  const size_t count = countA + countB;
  Mem *mem = count <= 128 ? static_cast<Mem *>(&arena) : std::pmr::new_delete_resource();
  Operands ops(mem);
  ops.nodes.reserve(count);
  readShape(A, 0, ops, countA);
  readShape(B, 1, ops, countB);
  if (ops.rings[0].empty() || ops.rings[1].empty())
    return withoutNegligible(rule, ops.rings[0].empty() ? nullptr : A, ops.rings[1].empty() ? nullptr : B);
  const double scale = std::max(scaleOf(ops), DBL_MIN);
  // Well above the rounding of the coordinates, far below any feature the
  // callers draw: 2^-36 of the largest distance from the origin.
  double tol = scale * 1.4551915228366852e-11;
  // The overlay works on its operands; a second try, with a wider
  // tolerance, reads them afresh.
  Outcome o = overlayWith(rule, ops, tol);
  if (!o.closed) {
    o.result.reset();
    Operands again(mem);
    again.nodes.reserve(count);
    readShape(A, 0, again, countA);
    readShape(B, 1, again, countB);
    o = overlayWith(rule, again, 1024.0 * tol);
  }
  if (!o.closed) {
    // Boundaries that do not bound a region (a contour running back along
    // itself, say): the crossing walk has the last word.
    return nullptr;
  }
  if (rule == Rule::intersect && !o.met) {
    // Paths copied whole, as they were: no clean-up.
    initialize_shape(o.result->paths, o.result->npaths);
    return o.result.release();
  }
  cleanUp(o.result.get());
  return o.result.release();
}

}  // namespace kiv::geom
