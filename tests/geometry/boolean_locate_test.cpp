// Crossing location on working copies (pairs, reuse of vertices, exits and
// entries, the 10000 limits) and the outcome of every boolean operation,
// failures included: status, message and the shape still returned.
#include <gmock/gmock.h>

#include <string>
#include <tuple>

#include "support/kiv_test.hpp"
#include "tests/geometry/outlines.hpp"

namespace {

using namespace kiv::geomtest;
using Locate = kiv::test::SystemTest;
using Outcomes = kiv::test::SystemTest;

// The working copies of one location, freed whatever its result.
struct Working {
  shape *A = nullptr, *B = nullptr;
  int locate(const shape *a, const shape *b, double dx = 0, double dy = 0) {
    return locate_intersections_(a, b, &A, &B, dx, dy);
  }
  ~Working() {
    delete_shape_(A);
    delete_shape_(B);
  }
};

// The live crossings of p in ring order.
std::vector<const point *> live(const path *p) {
  std::vector<const point *> out;
  for (const point *n : nodes(p))
    if (n->tag != KIV_TAG_PLAIN && n->tag != KIV_TAG_CONSUMED) out.push_back(n);
  return out;
}

TEST_F(Locate, OverlappingSquaresGiveOneExitAndOneEntryOnEachCopy) {
  Shape A = shapeWith({rectangle(0, 0, 2, 2)}), B = shapeWith({rectangle(1, 1, 3, 3)});
  Shape a0 = copyOf(A.get()), b0 = copyOf(B.get());
  Working w;
  ASSERT_EQ(w.locate(A.get(), B.get()), 2);
  EXPECT_TRUE(sameShape(A.get(), a0.get()));
  EXPECT_TRUE(sameShape(B.get(), b0.get()));
  for (const path *p : {w.A->paths[0], w.B->paths[0]})
    EXPECT_EQ(std::tuple(size_path_(p), p->unvisited, p->orientation, live(p).size()),
              std::tuple(6, 2, int(KIV_ORIENT_CCW), size_t{2}));
  // A leaves B at (1, 2) and enters it at (2, 1); partners sit at the same
  // place with the opposite role.
  for (const point *n : live(w.A->paths[0])) {
    EXPECT_EQ(n->partner->partner, n);
    EXPECT_EQ(std::pair(n->partner->x, n->partner->y), std::pair(n->x, n->y));
    EXPECT_EQ(n->partner->tag, n->tag == KIV_TAG_EXIT ? KIV_TAG_SWITCH : KIV_TAG_EXIT);
    EXPECT_EQ(n->tag == KIV_TAG_EXIT ? n->x : n->y, 1.0);
  }
}

TEST_F(Locate, DisjointAndTouchingShapesGiveNoCrossing) {
  Shape A = shapeWith({rectangle(0, 0, 1, 1)}), apart = shapeWith({rectangle(2, 0, 3, 1)});
  Shape touching = shapeWith({contour({{1, 0.5}, {2, 0}, {2, 1}})});  // a corner on A's edge
  for (const Shape *B : {&apart, &touching}) {
    Working w;
    EXPECT_EQ(w.locate(A.get(), B->get()), 0);
    EXPECT_TRUE(live(w.A->paths[0]).empty());
    EXPECT_TRUE(live(w.B->paths[0]).empty());
  }
}

TEST_F(Locate, CrossingAtAVertexOfBothReusesBoth) {
  // B runs from inside A through A's corner (2, 2), which is B's vertex
  // too, and comes back in across A's top edge at (1, 2).
  Shape A = shapeWith({rectangle(0, 0, 2, 2)}), B = shapeWith({contour({{1, 1}, {2, 2}, {3, 2.5}, {3, 4}, {1, 4}})});
  Working w;
  ASSERT_EQ(w.locate(A.get(), B.get()), 2);
  EXPECT_EQ(std::pair(size_path_(w.A->paths[0]), size_path_(w.B->paths[0])), std::pair(5, 6));  // new at (1, 2)
  const point *corner = w.A->paths[0]->first->next->next;
  ASSERT_EQ(std::pair(corner->x, corner->y), std::pair(2.0, 2.0));
  EXPECT_EQ(corner->tag, KIV_TAG_SWITCH);  // A enters B there
  EXPECT_EQ(corner->partner, w.B->paths[0]->first->next);
}

TEST_F(Locate, AVertexPairedWithAnotherPathGetsASecondNode) {
  // A is two squares touching at (1, 1); B's vertex sits there.
  Shape A = shapeWith({rectangle(0, 0, 1, 1), rectangle(1, 1, 2, 2)});
  Shape B = shapeWith({contour({{1, 1}, {2, 0.2}, {2.5, 0.5}})});
  Working w;
  ASSERT_EQ(prepare_shapes_(A.get(), B.get(), &w.A, &w.B, 0, 0), 0);
  int count = -1;
  ASSERT_EQ(add_intersections_(w.A, w.B, 1e-11, &count), 0);
  std::vector<const point *> atCorner;
  for (const point *b : nodes(w.B->paths[0]))
    if (b->x == 1.0 && b->y == 1.0) atCorner.push_back(b);
  ASSERT_EQ(atCorner.size(), 2u);
  EXPECT_EQ(std::pair(atCorner[0]->tag, atCorner[1]->tag), std::pair(1, 1));
  EXPECT_NE(atCorner[0]->partner->owner, atCorner[1]->partner->owner);
  // Merged into touches on A's side, partners of each other; B's pair goes.
  const point *a0 = atCorner[0]->partner, *a1 = atCorner[1]->partner;
  const int nodes = size_path_(w.B->paths[0]), unvisited = w.B->paths[0]->unvisited;
  EXPECT_EQ(check_for_double_intersections(w.B), 1);
  EXPECT_EQ(std::tuple(a0->tag, a1->tag, a0->partner, a1->partner), std::tuple(4, 4, a1, a0));
  EXPECT_EQ(std::pair(size_path_(w.B->paths[0]), w.B->paths[0]->unvisited), std::pair(nodes - 2, unvisited - 2));
}

// A comb of k teeth (x from 0 to 2k, height H) standing on a base bar,
// counter-clockwise: the ring visits the teeth from right to left.  Turned,
// it is mirrored in the diagonal, moved by -0.3 and run backwards.
Shape comb(int k, double H, bool turned = false) {
  Coords v = {{0, -1}, {2.0 * k, -1}, {2.0 * k, 0}};
  for (int i = k - 1; i >= 0; --i)
    v.insert(v.end(), {{2 * i + 1.5, 0}, {2 * i + 1.5, H}, {2 * i + 0.5, H}, {2 * i + 0.5, 0}});
  v.push_back({0, 0});
  path *p = create_path();
  for (size_t i = 0; i < v.size(); ++i) {
    const auto [x, y] = turned ? v[v.size() - 1 - i] : v[i];
    turned ? add_last_xy_(p, y - 0.3, x - 0.3) : add_last_xy_(p, x, y);
  }
  return shapeWith({p});
}

// A comb of 5001 teeth: one edge of a bar across it meets 10002 of its
// edges.  The bar's crossing edge runs against the order in which the
// operation's copy of the comb visits the teeth, so that one pass of that
// edge finds them all.
constexpr int kLongComb = 5001;
Shape longComb() { return comb(kLongComb, 10); }
// Its bottom edge, left to right, across the tips (union, removal).
Shape barOverTips() { return shapeWith({rectangle(-1, 5, 2 * kLongComb + 1, 11)}); }
// Its top edge, right to left, across the teeth; the base bar inside
// (intersection, which reverses the comb).
Shape barOverBase() { return shapeWith({rectangle(-1, -2, 2 * kLongComb + 1, 5)}); }

// Two combs crossing tooth over tooth: 4 k^2 crossings between one path
// of each, and k^2 unit squares in common.
TEST_F(Locate, CombsUnderTheLimits) {
  const int k = 12;
  Shape A = comb(k, 2 * k + 1), B = comb(k, 2 * k + 1, true);
  Working w;
  EXPECT_EQ(w.locate(A.get(), B.get()), 4 * k * k);
  const Outcome o = allThree(A.get(), B.get());
  EXPECT_TRUE(allOk(o));
  EXPECT_NEAR(area2D_(o.inter.get()), k * k, 1e-9);
  EXPECT_EQ(o.inter->npaths, k * k);
  EXPECT_NEAR(area2D_(o.uni.get()), area2D_(A.get()) + area2D_(B.get()) - k * k, 1e-9);
}

TEST_F(Locate, BeyondTheLimitsEveryToleranceFails) {
  Shape A = barOverTips(), B = longComb();
  Working w;
  EXPECT_EQ(w.locate(A.get(), B.get()), -1);
  // One pass stops as soon as the comb has more than 10000 new nodes; the
  // copies keep what was inserted, uncounted in their paths.
  Working v;
  ASSERT_EQ(prepare_shapes_(A.get(), B.get(), &v.A, &v.B, 0, 0), 0);
  int count = 0;
  EXPECT_EQ(add_intersections_(v.A, v.B, 1e-11, &count), -1);
  EXPECT_EQ(count, 10001);
  EXPECT_EQ(size_path_(v.A->paths[0]), 4 + count);
  EXPECT_EQ(size_path_(v.B->paths[0]), size_path_(B->paths[0]) + count);
  EXPECT_EQ(v.A->paths[0]->unvisited, 0);
}

TEST_F(Locate, NestingOfPathsThatMeetNothing) {
  // An outer square, its hole, an island in the hole, the island's hole,
  // given out of order: the group sorts them by depth.
  path *p[] = {rectangle(0, 0, 8, 8), rectangleHole(1, 1, 7, 7), rectangle(2, 2, 6, 6), rectangleHole(3, 3, 5, 5)};
  Shape S = shapeWith({p[2], p[0], p[3], p[1]});
  check_shape(S.get());
  EXPECT_EQ(is_included2(p[2], p[0]), 6);
  EXPECT_EQ(is_included2(p[2], p[1]), 0);  // inside the hole's ring: off its material
  EXPECT_EQ(is_included2(p[0], p[2]), 0);
  EXPECT_EQ(is_included2(p[1], p[1]), 1);
  ordering_group g = Ordering_createpathslist(S.get());
  ASSERT_EQ(std::pair(g.count, g.kind), std::pair(4, 1));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(std::pair(g.entries[i].depth, g.entries[i].ref), std::pair(i, p[i]));
  // Paths of another shape placed against the group: result, container, side.
  const std::tuple<path *, int, path *, int> cases[] = {
      {rectangle(0.2, 0.2, 0.8, 0.8), 0, p[0], 0},  // in the material
      {rectangle(1.2, 1.2, 1.8, 1.8), 0, p[1], 1},  // in the hole
      {rectangle(2.2, 2.2, 2.8, 2.8), 0, p[2], 0},  // on the island
      {rectangle(3.5, 3.5, 4.5, 4.5), 0, p[3], 1},  // in the island's hole
      {rectangle(10, 10, 11, 11), 0, nullptr, 1},   // in nothing
      {rectangle(1, 1, 7, 7), 1, p[1], 1}};         // along the hole
  for (auto [q, result, container, side] : cases) {
    Path owned(q);
    path *c = reinterpret_cast<path *>(1);
    int s = -1;
    EXPECT_EQ(Ordering_check_position(&g, q, &c, &s), result);
    EXPECT_EQ(std::pair(c, s), std::pair(container, side));
  }
  Ordering_free_group(&g);  // the entries only refer to their paths
  EXPECT_EQ(std::pair(g.entries, g.count), std::pair(static_cast<ordering_entry *>(nullptr), 0));
  Ordering_free_group(nullptr);
  ordering_group none = Ordering_createpathslist(nullptr);
  EXPECT_EQ(std::pair(none.count, none.kind), std::pair(0, 2));
}

TEST_F(Locate, StandardSplitterCrossingsAlternate) {
  // A thin rectangle of kind 1 across a square, its ring starting inside
  // the square: its crossings take exit, entry, exit, entry (entry first
  // from its first corner outside), the partners the opposite.
  Shape A = shapeWith({rectangle(0, 0, 2, 2)});
  Shape S = shapeWith({contour({{1, 0.9}, {3, 0.9}, {3, 1.1}, {-1, 1.1}, {-1, 0.9}})});
  S->kind = 1;
  Working w;
  ASSERT_EQ(w.locate(A.get(), S.get()), 4);
  std::vector<int> tags;
  for (const point *n : live(w.B->paths[0])) {
    tags.push_back(n->tag);
    EXPECT_EQ(n->partner->tag, n->tag == KIV_TAG_SWITCH ? KIV_TAG_EXIT : KIV_TAG_SWITCH);
  }
  EXPECT_EQ(tags, (std::vector<int>{KIV_TAG_EXIT, KIV_TAG_SWITCH, KIV_TAG_EXIT, KIV_TAG_SWITCH}));
}

// Every operation that fails on A and B returns a shape (of `paths` paths
// unless -1) free of the working copies' tags, with the status and the
// message whose "%s" names the operation.
void expectFailures(kiv::test::SystemTest &t,
                    std::initializer_list<std::tuple<int, const shape *, const shape *, int>> runs, int status,
                    const std::string &message) {
  using Op = shape *(*)(const shape *, const shape *, int *);
  const std::pair<Op, const char *> ops[] = {{union_shape_status_, "union_shape_"},
                                             {intersection_shape_status_, "intersection_shape_"},
                                             {remove_shape_status_, "remove_shape"}};
  for (auto [k, A, B, paths] : runs) {
    int st = -1;
    Shape r = own(ops[k].first(A, B, &st));
    std::string m = message;
    EXPECT_EQ(t.takeErr(), "   ...\n" + m.replace(m.find("%s"), 2, ops[k].second) + "\n");
    EXPECT_EQ(st, status) << ops[k].second;
    EXPECT_TRUE(untagged(r.get())) << ops[k].second;
    if (paths < 0) continue;
    EXPECT_EQ(r->npaths, paths) << ops[k].second;
  }
}
enum { kUnion, kIntersection, kRemoval };

TEST_F(Outcomes, CrossingsBeyondTheWalksLimitAreCombinedAllTheSame) {
  // The crossing stage gives up on the long comb (above), the operations do
  // not: with k teeth of height 10 on a base of 2k, the bar over the tips
  // closes k - 1 gaps into holes and the teeth cut k notches into the bar.
  const double k = kLongComb, comb = 12 * k, tips = 6 * (2 * k + 2);
  Shape A = barOverTips(), B = longComb(), C = barOverBase();
  const Outcome o = allThree(A.get(), B.get());
  EXPECT_TRUE(allOk(o));
  EXPECT_NEAR(area2D_(o.uni.get()), comb + tips - 5 * k, 1e-6);
  EXPECT_EQ(o.uni->npaths, kLongComb);
  EXPECT_NEAR(area2D_(o.diff.get()), tips - 5 * k, 1e-6);
  EXPECT_EQ(o.diff->npaths, 1);
  int st = -1;
  Shape inner = own(intersection_shape_status_(C.get(), B.get(), &st));
  EXPECT_EQ(st, KIV_BOOL_OK);
  EXPECT_NEAR(area2D_(inner.get()), 2 * k + 5 * k, 1e-6);
  EXPECT_EQ(inner->npaths, 1);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Outcomes, AnOddCountIsRetriedWithTheSecondShapeMoved) {
  // B's boundary doubles back along x = 3 through its own first vertex;
  // its crossings with A count odd until B moves by (1e-6, 1e-6).
  Shape A = shapeWith({contour({{2, 3}, {2, 0}, {3, 3}})}), B = shapeWith({contour({{3, 3}, {2, 0}, {3, 1}, {3, 4}})});
  Working w, m;
  EXPECT_EQ(w.locate(A.get(), B.get()), -2);
  EXPECT_GE(m.locate(A.get(), B.get(), 1e-6, 1e-6), 0);
  // The triangles share an edge: union 2.5, nothing in common, A whole,
  // up to the shift.
  const Outcome o = allThree(A.get(), B.get());
  EXPECT_TRUE(allOk(o));
  EXPECT_NEAR(area2D_(o.uni.get()), 2.5, 1e-5);
  EXPECT_NEAR(area2D_(o.inter.get()), 0.0, 1e-5);
  EXPECT_NEAR(area2D_(o.diff.get()), 1.5, 1e-5);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Outcomes, ASpikeThatGivesTheWalkOddCountsIsCombined) {
  // A's boundary runs down x = 3 and back up: a spike on the triangle
  // (3, 2) (3, 4) (2, 4).  The crossing stage counts odd however B moves;
  // the operations take the triangle, which meets B in the triangle
  // (8/3, 8/3) (3, 2) (3, 3) of area 1/6.
  Shape A = shapeWith({contour({{3, 2}, {3, 0}, {3, 4}, {2, 4}})}), B = shapeWith({contour({{2, 0}, {4, 4}, {2, 2}})});
  Working w, m;
  ASSERT_EQ(w.locate(A.get(), B.get()), -2);
  ASSERT_EQ(m.locate(A.get(), B.get(), 1e-6, 1e-6), -2);
  const Outcome o = allThree(A.get(), B.get());
  EXPECT_TRUE(allOk(o));
  EXPECT_NEAR(area2D_(o.inter.get()), 1.0 / 6, 1e-12);
  EXPECT_NEAR(area2D_(o.uni.get()), 3 - 1.0 / 6, 1e-12);
  EXPECT_NEAR(area2D_(o.diff.get()), 1 - 1.0 / 6, 1e-12);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Outcomes, ALoopTurnedInsideOutGivesAnEmptyShapeAndTheMessage) {
  // C's vertex (2, 1) lies on its own first edge, and the loop it closes
  // there runs clockwise: a boundary of no region, which no operation can
  // combine; the crossing walk, tried last, runs endlessly.
  Shape C = shapeWith({contour({{0, 2}, {4, 0}, {1, 1}, {2, 1}, {2, 4}})}),
        D = shapeWith({contour({{0, 1}, {4, 0}, {0, 2}})});
  expectFailures(*this,
                 {{kUnion, C.get(), D.get(), 0}, {kIntersection, C.get(), D.get(), 0}, {kRemoval, C.get(), D.get(), 0}},
                 KIV_BOOL_ENDLESS, "infinite loop detected in %s function");
}

TEST_F(Outcomes, NullAndEmptyInputs) {
  Shape S = shapeWith({rectangle(0, 0, 1, 1)}), empty = own(create_shape());
  int st = -1;
  Shape u = own(union_shape_status_(nullptr, nullptr, &st));
  ASSERT_NE(u.get(), nullptr);
  EXPECT_EQ(std::pair(u->npaths, st), std::pair(0, int(KIV_BOOL_OK)));
  for (const shape *x : {static_cast<const shape *>(nullptr), static_cast<const shape *>(empty.get())}) {
    EXPECT_TRUE(sameShape(own(union_shape_(x, S.get())).get(), S.get()));
    EXPECT_TRUE(sameShape(own(union_shape_(S.get(), x)).get(), S.get()));
    EXPECT_EQ(own(intersection_shape_(S.get(), x))->npaths, 0);
    EXPECT_EQ(own(intersection_shape_(x, S.get()))->npaths, 0);
    EXPECT_TRUE(sameShape(own(remove_shape_(S.get(), x)).get(), S.get()));
    EXPECT_EQ(own(remove_shape_(x, S.get()))->npaths, 0);
  }
  // A negligible sliver is dropped by the preparation.
  Shape sliver = shapeWith({rectangle(0.5, 0.5, 0.51, 0.55)});
  EXPECT_TRUE(sameShape(own(union_shape_(S.get(), sliver.get())).get(), S.get()));
  EXPECT_EQ(own(remove_shape_(sliver.get(), S.get()))->npaths, 0);
  EXPECT_EQ(takeErr(), "");
}

// Contours of material under 0.001 go from a result whichever operand holds
// them, also when the other operand is made of nothing else.
TEST_F(Outcomes, ContoursUnderTheSmallestKeptGoFromEitherOperand) {
  Shape big = shapeWith({rectangle(0, 0, 2, 2), rectangle(5, 5, 5.01, 5.01)});
  Shape speck = shapeWith({rectangle(9, 9, 9.02, 9.02)});
  for (const auto &[a, b] : {std::pair(big.get(), speck.get()), std::pair(speck.get(), big.get())}) {
    Shape u = own(union_shape_(a, b));
    ASSERT_EQ(u->npaths, 1);
    EXPECT_DOUBLE_EQ(area2D_(u.get()), 4.0);
  }
  EXPECT_EQ(own(union_shape_(speck.get(), speck.get()))->npaths, 0);
  Shape r = own(remove_shape_(big.get(), speck.get()));
  ASSERT_EQ(r->npaths, 1);
  EXPECT_DOUBLE_EQ(area2D_(r.get()), 4.0);
  EXPECT_EQ(own(intersection_shape_(big.get(), speck.get()))->npaths, 0);
}

TEST_F(Outcomes, ContainedSquareIsCopiedWithoutCleanUp) {
  Shape big = shapeWith({rectangle(0, 0, 4, 4)}), small = shapeWith({rectangle(1, 1, 2, 2)});
  Shape i = own(intersection_shape_(big.get(), small.get()));
  ASSERT_EQ(i->npaths, 1);
  EXPECT_EQ(i->paths[0]->orientation, KIV_ORIENT_NONE);
  EXPECT_DOUBLE_EQ(area2D_(i.get()), 1.0);
  // Nothing in it points into the freed working copies.
  EXPECT_TRUE(untagged(i.get()));
  for (const path *owner : mapRing(i->paths[0], [](const point *n) { return n->owner; })) EXPECT_EQ(owner, i->paths[0]);
}

TEST_F(Outcomes, SplittersAreUnitedPathByPath) {
  Shape s1 = shapeWith({rectangle(0, 0, 1, 1)}), s2 = shapeWith({rectangle(0.5, 0.5, 2, 2), rectangle(5, 5, 6, 6)});
  s1->kind = 1;
  s2->kind = 10;
  Shape parts = shapeWith({rectangle(0, 0, 1, 1), rectangle(0.5, 0.5, 2, 2), rectangle(5, 5, 6, 6)});
  parts->kind = 1;
  EXPECT_TRUE(sameShape(own(union_shape_(s1.get(), s2.get())).get(), parts.get()));
}

}  // namespace
