// Removal and splitters: the shortest connection between contours, its
// rectangle and complement, crossing splitters, the pieces a splitter
// selects (with their holes), and the nearest node of a range.
#include <gmock/gmock.h>

#include "support/kiv_test.hpp"
#include "tests/geometry/outlines.hpp"

namespace {

using namespace kiv::geomtest;
using Splitters = kiv::test::SystemTest;

std::vector<int> labelsOf(const path *p) {
  return mapRing(p, [](const point *n) { return n->label; });
}

// xCD_setsplitter_ from the first node of the source to the targets.
Shape splitter(const shape *source, int side, std::initializer_list<const shape *> targets, int from = 0, int to = 0) {
  std::vector<const shape *> t(targets);
  int n = static_cast<int>(t.size());
  return own(xCD_setsplitter_(source, &from, &to, &side, &n, t.data()));
}

// A splitter of kind 10 marking the points `zeros` with label 0.
Shape marks(std::initializer_list<std::pair<double, double>> zeros) {
  Shape m = own(create_shape());
  m->kind = 10;
  for (auto [x, y] : zeros) {
    path *p = contour({{x, y}, {x + 100, y}});
    p->first->label = 0;
    p->first->next->label = 1;
    add_path(p, m.get());
  }
  return m;
}

TEST_F(Splitters, ShortestConnectionBetweenTwoSquares) {
  Shape source = shapeWith({rectangle(0, 0, 1, 1)}), target = shapeWith({rectangle(3, 0, 4, 1)});
  const point *s0 = source->paths[0]->first, *t0 = target->paths[0]->first;
  double distance = -1;
  const int side = 1;
  Path rect(find_std_splitter_(s0, s0, t0, t0, &side, &distance));
  ASSERT_NE(rect.get(), nullptr);
  EXPECT_EQ(distance, 2.0);
  // From (1, 0) to (3, 0), 1e-5 longer at both ends and 2e-5 wide; the
  // right-hand side carries label 1.
  EXPECT_LT(deviation(coords(rect.get()), {{1 - 1e-5, -1e-5}, {3 + 1e-5, -1e-5}, {3 + 1e-5, 1e-5}, {1 - 1e-5, 1e-5}}),
            1e-14);
  EXPECT_EQ(labelsOf(rect.get()), (std::vector<int>{1, 1, 0, 0}));
  Path across(build_complement_splitter_(rect.get()));
  EXPECT_LT(deviation(coords(across.get()), {{2, 2e-5}, {2, -2e-5}}), 1e-14);
  EXPECT_EQ(labelsOf(across.get()), (std::vector<int>{0, 1}));
  // The whole splitter: the same two paths, kind = side; side 2 runs the
  // rectangle from the target back to the source.
  Shape s = splitter(source.get(), 2, {target.get()});
  ASSERT_NE(s.get(), nullptr);
  EXPECT_EQ(s->kind, 2);
  ASSERT_EQ(s->npaths, 2);
  EXPECT_LT(deviation(coords(s->paths[0]), {{3 + 1e-5, 1e-5}, {1 - 1e-5, 1e-5}, {1 - 1e-5, -1e-5}, {3 + 1e-5, -1e-5}}),
            1e-14);
  EXPECT_LT(deviation(coords(s->paths[1]), {{2, -2e-5}, {2, 2e-5}}), 1e-14);
}

TEST_F(Splitters, TargetsWithoutPathsArePassedOverWhereverTheyStand) {
  Shape source = shapeWith({rectangle(0, 0, 1, 1)});
  Shape far = shapeWith({rectangle(5, 0, 6, 1)}), near = shapeWith({rectangle(0, 3, 1, 4)});
  Shape level = shapeWith({rectangle(3, 0, 4, 1)});  // as near as `near`, comes later
  Shape empty = own(create_shape());
  const shape *targets[] = {empty.get(), far.get(), nullptr, near.get(), level.get(), empty.get()};
  int from = -3, to = 99, side = 1, n = 6;
  Shape s = own(xCD_setsplitter_(source.get(), &from, &to, &side, &n, targets));
  EXPECT_EQ(std::pair(from, to), std::pair(0, 4));
  ASSERT_NE(s.get(), nullptr);
  EXPECT_EQ(s->kind, 1);
  // The nearest target, the first of equals: from the first source node
  // at the least distance, (1, 1), up to (1, 3).
  EXPECT_LT(deviation(coords(s->paths[0]),
                      {{1 + 1e-5, 1 - 1e-5}, {1 + 1e-5, 3 + 1e-5}, {1 - 1e-5, 3 + 1e-5}, {1 - 1e-5, 1 - 1e-5}}),
            1e-14);
  // No target with a path: no splitter.
  EXPECT_EQ(splitter(source.get(), 1, {empty.get(), nullptr}).get(), nullptr);
}

TEST_F(Splitters, CrossingTargetGivesOnePathPerCrossing) {
  Shape source = shapeWith({rectangle(0, 0, 2, 2)}), target = shapeWith({rectangle(1, 1, 3, 3)});
  Shape before = copyOf(source.get());
  for (int side : {1, 2}) {
    Shape s = splitter(source.get(), side, {target.get()});
    ASSERT_NE(s.get(), nullptr);
    EXPECT_EQ(s->kind, 10 * side);
    ASSERT_EQ(s->npaths, 2);
    // At (2, 1): the source edge runs up from (2, 0), the target edge right
    // from (1, 1); F steps a hundredth along the source forward and the
    // target backward, G the other way.
    const std::pair<double, double> F = {2.0 - 0.01, 1.0 + 0.01}, G = {2.0 + 0.01, 1.0 - 0.01};
    EXPECT_LT(deviation(coords(s->paths[0]), side == 1 ? Coords{F, G} : Coords{G, F}), 1e-14);
    EXPECT_EQ(labelsOf(s->paths[0]), (std::vector<int>{0, 1}));
  }
  EXPECT_TRUE(sameShape(source.get(), before.get()));
  // A target arc crosses the source just inside its corners and passes
  // 5e-11 from them: snapping happens on copies only.
  Shape square = shapeWith({rectangle(-1, -1, 1, 1)}), arc = shapeWith({circle(0, 0, std::sqrt(2.0) - 5e-11, 0.3)});
  Shape s0 = copyOf(square.get()), t0 = copyOf(arc.get());
  Shape s = splitter(square.get(), 1, {arc.get()});
  ASSERT_NE(s.get(), nullptr);
  EXPECT_EQ(s->kind, 10);
  EXPECT_TRUE(sameShape(square.get(), s0.get()));
  EXPECT_TRUE(sameShape(arc.get(), t0.get()));
}

TEST_F(Splitters, StandardSplitterCutsAndSelectsTheLabelledSide) {
  // A bar 4 x 1; the splitter runs from its bottom edge up to a target
  // standing over x = 1.9, cutting the bar there.
  Shape bar = shapeWith({rectangle(0, 0, 4, 1)}), post = shapeWith({rectangle(1.9, 1, 2.1, 2)});
  for (int side : {1, 2}) {
    Shape s = splitter(bar.get(), side, {post.get()}, 0, 1);
    ASSERT_NE(s.get(), nullptr);
    ASSERT_EQ(s->kind, side);
    int st = -1;
    Shape piece = own(remove_splitter_status_(bar.get(), s.get(), &st));
    EXPECT_EQ(st, KIV_BOOL_OK);
    ASSERT_EQ(piece->npaths, 1);
    // Up the cut the left side is kept, down it the right side; half the
    // rectangle's width goes with the cut.
    EXPECT_NEAR(area2D_(piece.get()), side == 1 ? 1.9 - 1e-5 : 2.1 - 1e-5, 1e-12);
    EXPECT_TRUE(sameShape(own(remove_shape_(bar.get(), s.get())).get(), piece.get()));
  }
  // From the hole of a frame to its outer edge: the frame opens into one
  // contour without a hole.
  Shape frame = shapeWith({rectangle(0, 0, 4, 4), rectangleHole(1, 1, 3, 3)});
  Shape hole = shapeWith({rectangle(1, 1, 3, 3)}), outer = shapeWith({rectangle(0, 0, 4, 4)});
  Shape s = splitter(hole.get(), 1, {outer.get()});
  ASSERT_NE(s.get(), nullptr);
  Shape opened = own(remove_splitter_(frame.get(), s.get()));
  ASSERT_EQ(opened->npaths, 1);
  EXPECT_EQ(opened->paths[0]->orientation, KIV_ORIENT_CCW);
  EXPECT_NEAR(area2D_(opened.get()), 12 - 2e-5, 1e-9);  // and a corner of 1e-10 at the hole
}

TEST_F(Splitters, SelectedPiecesKeepTheirHoles) {
  // Two frames and an island in the first frame's hole, itself with a hole.
  Shape A = shapeWith({rectangle(0, 0, 6, 6), rectangleHole(1, 1, 5, 5), rectangle(2, 2, 4, 4),
                       rectangleHole(2.5, 2.5, 3.5, 3.5), rectangle(10, 0, 13, 3), rectangleHole(11, 1, 12, 2)});
  for (int i = 0; i < A->npaths; ++i) orient_path2_(A->paths[i]);
  // The first frame with its own hole, not the island's; the second frame
  // with its hole; from a mark on the island (in the first frame's ring
  // too) both, each with its own hole.
  const std::tuple<std::pair<double, double>, int, double> cases[] = {
      {{0.5, 0.5}, 2, 36.0 - 16.0}, {{10.5, 0.5}, 2, 9.0 - 1.0}, {{2.2, 2.2}, 4, 36.0 - 16.0 + 4.0 - 1.0}};
  for (auto [mark, paths, area] : cases) {
    Shape r = own(remove_splitter_(A.get(), marks({mark}).get()));
    EXPECT_EQ(r->npaths, paths) << mark.first;
    EXPECT_DOUBLE_EQ(area2D_(r.get()), area) << mark.first;
    // The removal hands such a splitter over: it selects, never cuts.
    int st = -1;
    EXPECT_TRUE(sameShape(own(remove_shape_status_(A.get(), marks({mark}).get(), &st)).get(), r.get()));
    EXPECT_EQ(st, KIV_BOOL_OK);
  }
  // Nothing selected: the whole of A.
  EXPECT_TRUE(sameShape(own(remove_splitter_(A.get(), marks({{7, 7}}).get())).get(), A.get()));
  // Paths never oriented are never selected: the whole of them.
  Shape raw = shapeWith({rectangle(0, 0, 1, 1), rectangle(3, 0, 4, 1)});
  EXPECT_EQ(own(remove_splitter_(raw.get(), marks({{0.5, 0.5}}).get()))->npaths, 2);
}

// Side 2 starts the bridge inside the target.  Union: 1 + 3 + 2 x 2e-5 + a 1e-10 corner.
TEST_F(Splitters, UnionWithABridgeJoinsTwoSquares) {
  Shape a = shapeWith({rectangle(0, 0, 1, 1)}), b = shapeWith({rectangle(3, -1, 4, 2)});
  Shape both = shapeWith({rectangle(0, 0, 1, 1), rectangle(3, -1, 4, 2)});
  for (int side : {1, 2}) {
    int st = -1;
    Shape u = own(union_shape_status_(both.get(), splitter(a.get(), side, {b.get()}).get(), &st));
    EXPECT_EQ(std::tuple(st, u->npaths, std::round(area2D_(u.get()) * 1e10)), std::tuple(0, 1, 4.0000400001e10));
  }
}

TEST_F(Splitters, ComplementOfADiamondNeedsNoSlopes) {
  // Its diagonals are vertical and horizontal.
  Path diamond(contour({{0, -1}, {1, 0}, {0, 1}, {-1, 0}}));
  Path c(build_complement_splitter_(diamond.get()));
  EXPECT_LT(deviation(coords(c.get()), {{-1, 1}, {1, -1}}), 1e-14);
  EXPECT_EQ(labelsOf(c.get()), (std::vector<int>{0, 1}));
  EXPECT_EQ(build_complement_splitter_(nullptr), nullptr);
}

TEST_F(Splitters, ClosestPointOfARange) {
  Path p(contour({{0, 0}, {4, 0}, {4, 4}, {0, 4}, {-1, 2}}));
  const point q = at(-0.9, 2.2), r = at(3, 0.5);
  const point *first = p->first;
  // Position n is the first node again: the range wraps.
  const std::tuple<const point *, int, int, const point *> cases[] = {
      {&q, -1, -1, first->previous}, {&q, 0, 0, first}, {&q, 0, 2, first},
      {&r, 2, 4, first->next->next}, {&r, 4, 5, first}, {&r, 4, 1, first->next}};
  for (auto [x, from, to, want] : cases) EXPECT_EQ(find_closest_point_(p.get(), x, &from, &to), want) << from << to;
  const int all = -1;
  EXPECT_EQ(find_closest_point_(nullptr, &r, &all, &all), nullptr);
}

}  // namespace
