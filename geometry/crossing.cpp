// The crossing test between paths without testing every pair of edges.
//
// A contour of segments only is first swept in the order of its vertices
// (by x, then y) keeping the segments that the sweep line cuts in their
// order along it: two segments that meet are neighbours in that order at
// some moment before the sweep reaches them, so testing neighbours finds
// every meeting.  Every decision of that sweep is an orientation whose sign
// is exact (rounded when that is certain, summed without rounding when not);
// it gives up on every meeting of two segments other than at a common end
// (a touch, an overlap, a run back along the same line) and on every
// crossing that the pairwise test calls a touch.  The pairwise test has its
// tolerances, which the sweep cannot follow, so whatever the sweep gives up
// on is decided by the pairwise test itself, on the pairs of edges whose
// boxes overlap.  Edges that end at one vertex visited twice are handed to
// the pairwise test by vertex, since neighbours in the sweep order need not
// be all of them.
//
// Edges of zero length (a point repeated, as exported outlines often hold)
// cross nothing by the pairwise test: their direction is exactly nil, so
// every determinant with them is zero.  The sweep leaves them out and takes
// the edges on either side of them as consecutive: those meet at the same
// point, exactly, as consecutive edges do.  The contour itself keeps them.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <optional>
#include <set>
#include <vector>

#include "geometry/crossing.hpp"
#include "geometry/kernel.hpp"

namespace kiv::geom {
namespace {

// ---- Pairs of overlapping boxes --------------------------------------------

// The pairwise test on two edges of one path in both orders, as testing
// every pair asks it (it need not be symmetric).
bool pairCrosses(const point *a, const point *b) { return edgesCross(a, b) || edgesCross(b, a); }

bool crossAll(const path *P, const path *Q) {
  return forEachEdge(P, [&](point *x) { return forEachEdge(Q, [&](point *y) { return edgesCross(x, y); }); });
}

// The box of an edge (of its whole circle for an arc), and whose edge it is.
struct EdgeBox {
  double lo[2], hi[2];
  const point *edge;
  bool ofQ;
};

// Appends the edges of p with their boxes; false when a box is not finite.
bool addBoxes(const path *p, bool ofQ, std::vector<EdgeBox> &boxes) {
  bool finite = true;
  forEachEdge(p, [&](point *x) {
    EdgeBox b{{0, 0}, {0, 0}, x, ofQ};
    if (isCentre(x)) {
      b.lo[0] = x->x - x->radius, b.hi[0] = x->x + x->radius;
      b.lo[1] = x->y - x->radius, b.hi[1] = x->y + x->radius;
    } else {
      b.lo[0] = std::min(x->x, x->next->x), b.hi[0] = std::max(x->x, x->next->x);
      b.lo[1] = std::min(x->y, x->next->y), b.hi[1] = std::max(x->y, x->next->y);
    }
    finite = std::isfinite(b.lo[0]) && std::isfinite(b.hi[0]) && std::isfinite(b.lo[1]) && std::isfinite(b.hi[1]);
    if (finite) boxes.push_back(b);
    return !finite;
  });
  return finite;
}

// Widens every box by more than any tolerance or rounding by which the
// pairwise test may place a meeting point off an edge, so that edges whose
// widened boxes are apart never cross.  Returns the axis along which the
// boxes overlap least, for their extent.
int widen(std::vector<EdgeBox> &boxes) {
  double reach = 0.0, lo[2] = {DBL_MAX, DBL_MAX}, hi[2] = {-DBL_MAX, -DBL_MAX}, sum[2] = {0.0, 0.0};
  for (const EdgeBox &b : boxes)
    for (int k = 0; k < 2; ++k) reach = std::max({reach, std::fabs(b.lo[k]), std::fabs(b.hi[k])});
  const double margin = 1e-9 + 1e-12 * reach;
  for (EdgeBox &b : boxes)
    for (int k = 0; k < 2; ++k) {
      b.lo[k] -= margin;
      b.hi[k] += margin;
      lo[k] = std::min(lo[k], b.lo[k]);
      hi[k] = std::max(hi[k], b.hi[k]);
      sum[k] += b.hi[k] - b.lo[k];
    }
  return sum[1] * (hi[0] - lo[0]) < sum[0] * (hi[1] - lo[1]) ? 1 : 0;
}

// The pairwise test on every pair of edges whose boxes overlap, found by a
// sweep along one axis.
bool crossByBoxes(const path *P, const path *Q) {
  std::vector<EdgeBox> boxes;
  if (!addBoxes(P, false, boxes) || (P != Q && !addBoxes(Q, true, boxes))) return crossAll(P, Q);
  const int ax = widen(boxes), other = 1 - ax;
  std::sort(boxes.begin(), boxes.end(), [ax](const EdgeBox &a, const EdgeBox &b) { return a.lo[ax] < b.lo[ax]; });
  std::vector<const EdgeBox *> active;
  for (const EdgeBox &b : boxes) {
    if (P == Q && edgesCross(b.edge, b.edge)) return true;
    for (size_t i = 0; i < active.size();) {
      const EdgeBox &a = *active[i];
      if (a.hi[ax] < b.lo[ax]) {  // behind the sweep: no later box reaches it
        active[i] = active.back();
        active.pop_back();
        continue;
      }
      ++i;
      if (a.lo[other] > b.hi[other] || b.lo[other] > a.hi[other]) continue;
      if (P == Q ? pairCrosses(a.edge, b.edge)
                 : a.ofQ != b.ofQ && (a.ofQ ? edgesCross(b.edge, a.edge) : edgesCross(a.edge, b.edge)))
        return true;
    }
    active.push_back(&b);
  }
  return false;
}

// ---- Sweep of a contour of segments ----------------------------------------

struct Pt {
  double x, y;
};
bool operator==(const Pt &a, const Pt &b) { return a.x == b.x && a.y == b.y; }
bool before(const Pt &a, const Pt &b) { return a.x < b.x || (a.x == b.x && a.y < b.y); }

// Thrown when the sweep cannot decide; the pairwise test then does.
struct Undecided {};

// Sign of the turn a -> b -> c: 1 left, -1 right, 0 on one line.
int turn(const Pt &a, const Pt &b, const Pt &c) {
  const std::optional<int> s = turnSign(a.x, a.y, b.x, b.y, c.x, c.y);
  if (!s) throw Undecided{};
  return *s;
}

struct Seg {
  Pt lo, hi;  // in sweep order
  const point *edge;
};

// Whether p, on the line of S, lies on S.
bool within(const Seg &S, const Pt &p) { return !before(p, S.lo) && !before(S.hi, p); }

class ContourSweep {
 public:
  // segs: of non-zero length, in ring order.
  explicit ContourSweep(std::vector<Seg> segs) : segs_(std::move(segs)), status_(Below{this}), at_(segs_.size()) {}
  ContourSweep(const ContourSweep &) = delete;  // the order refers back to this sweep
  ContourSweep &operator=(const ContourSweep &) = delete;

  // False when no two segments meet but at common ends; true when two cross
  // (by the pairwise test too).
  bool run() {
    std::vector<Event> events;
    events.reserve(2 * segs_.size());
    for (size_t i = 0; i < segs_.size(); ++i) {
      events.push_back({segs_[i].lo, true, i});
      events.push_back({segs_[i].hi, false, i});
    }
    // At one point the segments that end there leave before others enter.
    std::sort(events.begin(), events.end(), [](const Event &a, const Event &b) {
      return before(a.p, b.p) || (a.p == b.p && !a.in && b.in);
    });
    if (endsShared(events)) return true;
    for (const Event &e : events)
      if (e.in ? enter(e.s) : leave(e.s)) return true;
    return false;
  }

 private:
  struct Event {
    Pt p;
    bool in;
    size_t s;
  };

  // Order along the sweep line of two segments that it cuts both.
  struct Below {
    const ContourSweep *w;
    bool operator()(size_t a, size_t b) const {
      if (a == b) return false;
      const Seg &A = w->segs_[a], &B = w->segs_[b];
      // The one that entered later, against the line of the other.
      if (!before(A.lo, B.lo)) return w->side(B, A) < 0;
      return w->side(A, B) > 0;
    }
  };
  using Status = std::set<size_t, Below>;

  // Side of S on which T lies where T starts, T entering no earlier than S
  // while S is cut; throws when T starts on S or runs along it.
  int side(const Seg &S, const Seg &T) const {
    const int s = turn(S.lo, S.hi, T.lo == S.lo ? T.hi : T.lo);
    if (s == 0) throw Undecided{};
    return s;
  }

  bool consecutive(size_t a, size_t b) const {
    const size_t n = segs_.size();
    return (a + 1) % n == b || (b + 1) % n == a;
  }

  // Whether two edges that are not consecutive but end at one vertex (a
  // vertex visited twice) cross by the pairwise test, which rounds some
  // nearly parallel ones into a crossing.  Consecutive edges never cross:
  // the pairwise test's positions along them come out exactly 0 at their
  // common vertex.  The events come sorted by point.
  bool endsShared(const std::vector<Event> &events) const {
    for (size_t i = 0, j; i < events.size(); i = j) {
      for (j = i + 1; j < events.size() && events[j].p == events[i].p;) ++j;
      for (size_t a = i; a + 1 < j; ++a)
        for (size_t b = a + 1; b < j; ++b) {
          const size_t s = events[a].s, t = events[b].s;
          if (!consecutive(s, t) && pairCrosses(segs_[s].edge, segs_[t].edge)) return true;
        }
    }
    return false;
  }

  // Whether a and b cross; throws unless they are apart or meet at a common
  // end alone.
  bool meet(size_t a, size_t b) const {
    const Seg &A = segs_[a], &B = segs_[b];
    if (A.hi.x < B.lo.x || B.hi.x < A.lo.x || std::max(A.lo.y, A.hi.y) < std::min(B.lo.y, B.hi.y) ||
        std::max(B.lo.y, B.hi.y) < std::min(A.lo.y, A.hi.y))
      return false;
    if (A.lo == B.lo || A.lo == B.hi || A.hi == B.lo || A.hi == B.hi) {
      // Two lines meet once: only at the common end (which endsShared has
      // judged), unless they are one line.
      const Pt &other = B.lo == A.lo || B.lo == A.hi ? B.hi : B.lo;
      if (turn(A.lo, A.hi, other) == 0) throw Undecided{};
      return false;
    }
    // The pairwise test has the last word on every pair the sweep meets:
    // near an end it calls an exact crossing a touch.
    if (pairCrosses(A.edge, B.edge)) return true;
    const int b1 = turn(A.lo, A.hi, B.lo), b2 = turn(A.lo, A.hi, B.hi);
    const int a1 = turn(B.lo, B.hi, A.lo), a2 = turn(B.lo, B.hi, A.hi);
    // An end of one on the other (a touch), or a crossing so near an end
    // that the pairwise test calls it a touch: the order of the two along
    // the sweep line is lost.
    if ((b1 == 0 && within(A, B.lo)) || (b2 == 0 && within(A, B.hi)) || (a1 == 0 && within(B, A.lo)) ||
        (a2 == 0 && within(B, A.hi)) || (b1 * b2 < 0 && a1 * a2 < 0))
      throw Undecided{};
    return false;
  }

  bool enter(size_t s) {
    const auto [it, fresh] = status_.insert(s);
    if (!fresh) throw Undecided{};
    at_[s] = it;
    if (it != status_.begin() && meet(*std::prev(it), s)) return true;
    return std::next(it) != status_.end() && meet(s, *std::next(it));
  }

  bool leave(size_t s) {
    const auto it = at_[s];
    const auto next = std::next(it);
    const bool both = it != status_.begin() && next != status_.end();
    const size_t below = both ? *std::prev(it) : 0, above = both ? *next : 0;
    status_.erase(it);
    return both && meet(below, above);
  }

  std::vector<Seg> segs_;
  Status status_;
  std::vector<Status::iterator> at_;
};

// The segments of p of non-zero length, in ring order; false when p has an
// arc or a coordinate that is not finite.
bool segmentsOf(const path *p, std::vector<Seg> &segs) {
  bool usable = true;
  forEachEdge(p, [&](point *x) {
    const Pt a{x->x, x->y}, b{x->next->x, x->next->y};
    usable = !isCentre(x) && std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(b.x) && std::isfinite(b.y);
    if (usable && !(a == b)) segs.push_back(before(b, a) ? Seg{b, a, x} : Seg{a, b, x});
    return !usable;
  });
  return usable;
}

}  // namespace

std::optional<bool> contourSweep(const path *p) {
  std::vector<Seg> segs;
  if (!segmentsOf(p, segs)) return std::nullopt;
  // Fewer than three are one segment and its way back, whose determinant
  // is exactly zero: nothing crosses.
  if (segs.size() < 3) return false;
  try {
    return ContourSweep(std::move(segs)).run();
  } catch (const Undecided &) {
    return std::nullopt;
  }
}

bool pathsCross(const path *P, const path *Q) {
  if (P == Q)
    if (const auto crosses = contourSweep(P)) return *crosses;
  return crossByBoxes(P, Q);
}

}  // namespace kiv::geom
