// Removal and splitters: the shortest connection between contours, its
// rectangle and complement, crossing splitters, the pieces a splitter
// selects (with their holes), and the nearest node of a range.
#include <gmock/gmock.h>

#include "support/kiv_test.hpp"
#include "tests/geometry/booleans.hpp"

namespace {

using namespace kiv::geomtest;
using Splitters = kiv::test::SystemTest;

std::vector<std::pair<double, double>> verticesOf(const path *p) {
  return mapRing(p, [](const point *n) { return std::pair<double, double>(n->x, n->y); });
}

std::vector<int> labelsOf(const path *p) {
  return mapRing(p, [](const point *n) { return n->label; });
}

void expectVertices(const path *p, std::vector<std::pair<double, double>> want) {
  const auto got = verticesOf(p);
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(got[i].first, want[i].first, 1e-14) << i;
    EXPECT_NEAR(got[i].second, want[i].second, 1e-14) << i;
  }
}

TEST_F(Splitters, RemovalOfContainingDisjointAndKindTenShapes) {
  Shape A = shapeWith({rectangle(0, 0, 1, 1)});
  Shape around = shapeWith({rectangle(-1, -1, 2, 2)}), apart = shapeWith({rectangle(3, 0, 4, 1)});
  EXPECT_EQ(own(remove_shape_(A.get(), around.get()))->npaths, 0);
  Shape kept = own(remove_shape_(A.get(), apart.get()));
  ASSERT_EQ(kept->npaths, 1);
  EXPECT_EQ(verticesOf(kept->paths[0]), verticesOf(A->paths[0]));
  // A crossing splitter selects pieces of A; it never cuts A.
  Shape marks = shapeWith({polygon({{0.5, 0.5}, {5, 5}})});
  marks->paths[0]->first->label = 0;
  marks->paths[0]->first->next->label = 1;
  marks->kind = 10;
  int st = -1;
  Shape r = own(remove_shape_status_(A.get(), marks.get(), &st));
  EXPECT_EQ(st, KIV_BOOL_OK);
  ASSERT_EQ(r->npaths, 1);
  EXPECT_DOUBLE_EQ(area2D_(r.get()), 1.0);
}

TEST_F(Splitters, ShortestConnectionBetweenTwoSquares) {
  Shape source = shapeWith({rectangle(0, 0, 1, 1)}), target = shapeWith({rectangle(3, 0, 4, 1)});
  const point *s0 = source->paths[0]->first, *t0 = target->paths[0]->first;
  double distance = -1;
  const int side = 1;
  path *rect = find_std_splitter_(s0, s0, t0, t0, &side, &distance);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(distance, 2.0);
  // From (1, 0) to (3, 0), 1e-5 longer at both ends and 2e-5 wide; the
  // right-hand side carries label 1.
  expectVertices(rect, {{1 - 1e-5, -1e-5}, {3 + 1e-5, -1e-5}, {3 + 1e-5, 1e-5}, {1 - 1e-5, 1e-5}});
  EXPECT_EQ(labelsOf(rect), (std::vector<int>{1, 1, 0, 0}));
  path *across = build_complement_splitter_(rect);
  expectVertices(across, {{2, 2e-5}, {2, -2e-5}});
  EXPECT_EQ(labelsOf(across), (std::vector<int>{0, 1}));
  // The whole splitter: the same two paths, kind = side.
  int from = 0, to = 0, sd = 2, n = 1;
  const shape *targets[] = {target.get()};
  Shape splitter = own(xCD_setsplitter_(source.get(), &from, &to, &sd, &n, targets));
  ASSERT_NE(splitter.get(), nullptr);
  EXPECT_EQ(splitter->kind, 2);
  ASSERT_EQ(splitter->npaths, 2);
  // Side 2 runs the rectangle from the target back to the source.
  expectVertices(splitter->paths[0], {{3 + 1e-5, 1e-5}, {1 - 1e-5, 1e-5}, {1 - 1e-5, -1e-5}, {3 + 1e-5, -1e-5}});
  expectVertices(splitter->paths[1], {{2, -2e-5}, {2, 2e-5}});
  for (path *p : {rect, across}) {
    delete_path_(p);
    std::free(p);
  }
}

TEST_F(Splitters, TargetsWithoutPathsArePassedOverWhereverTheyStand) {
  Shape source = shapeWith({rectangle(0, 0, 1, 1)});
  Shape far = shapeWith({rectangle(5, 0, 6, 1)}), near = shapeWith({rectangle(0, 3, 1, 4)});
  Shape level = shapeWith({rectangle(3, 0, 4, 1)});  // as near as `near`, comes later
  Shape empty = own(create_shape());
  const shape *targets[] = {empty.get(), far.get(), nullptr, near.get(), level.get(), empty.get()};
  int from = -3, to = 99, side = 1, n = 6;
  Shape s = own(xCD_setsplitter_(source.get(), &from, &to, &side, &n, targets));
  EXPECT_EQ(from, 0);
  EXPECT_EQ(to, 4);
  ASSERT_NE(s.get(), nullptr);
  EXPECT_EQ(s->kind, 1);
  // The nearest target, the first of equals: from the first source node
  // at the least distance, (1, 1), up to (1, 3).
  expectVertices(s->paths[0], {{1 + 1e-5, 1 - 1e-5}, {1 + 1e-5, 3 + 1e-5}, {1 - 1e-5, 3 + 1e-5}, {1 - 1e-5, 1 - 1e-5}});
  // No target with a path: no splitter.
  const shape *none[] = {empty.get(), nullptr};
  n = 2;
  EXPECT_EQ(xCD_setsplitter_(source.get(), &from, &to, &side, &n, none), nullptr);
}

TEST_F(Splitters, CrossingTargetGivesOnePathPerCrossing) {
  Shape source = shapeWith({rectangle(0, 0, 2, 2)}), target = shapeWith({rectangle(1, 1, 3, 3)});
  Shape before = copyOf(source.get());
  for (int side : {1, 2}) {
    int from = 0, to = 0, sd = side, n = 1;
    const shape *targets[] = {target.get()};
    Shape s = own(xCD_setsplitter_(source.get(), &from, &to, &sd, &n, targets));
    ASSERT_NE(s.get(), nullptr);
    EXPECT_EQ(s->kind, 10 * side);
    ASSERT_EQ(s->npaths, 2);
    // At (2, 1): the source edge runs up from (2, 0), the target edge right
    // from (1, 1); F steps a hundredth along the source forward and the
    // target backward, G the other way.
    const std::pair<double, double> F = {2.0 - 0.01, 1.0 + 0.01}, G = {2.0 + 0.01, 1.0 - 0.01};
    const auto v = verticesOf(s->paths[0]);
    EXPECT_NEAR(v[0].first, side == 1 ? F.first : G.first, 1e-15);
    EXPECT_NEAR(v[0].second, side == 1 ? F.second : G.second, 1e-15);
    EXPECT_NEAR(v[1].first, side == 1 ? G.first : F.first, 1e-15);
    EXPECT_EQ(labelsOf(s->paths[0]), (std::vector<int>{0, 1}));
  }
  EXPECT_TRUE(sameShape(source.get(), before.get()));
}

TEST_F(Splitters, SourceIsNeverMoved) {
  // A target arc crosses the source just inside its corners and passes
  // 5e-11 from them: snapping happens on copies only.
  Shape source = shapeWith({rectangle(-1, -1, 1, 1)});
  Shape target = shapeWith({circleAt(0, 0, std::sqrt(2.0) - 5e-11, 0.3)});
  Shape s0 = copyOf(source.get()), t0 = copyOf(target.get());
  int from = 0, to = 0, side = 1, n = 1;
  const shape *targets[] = {target.get()};
  Shape s = own(xCD_setsplitter_(source.get(), &from, &to, &side, &n, targets));
  ASSERT_NE(s.get(), nullptr);
  EXPECT_EQ(s->kind, 10);
  EXPECT_TRUE(sameShape(source.get(), s0.get()));
  EXPECT_TRUE(sameShape(target.get(), t0.get()));
}

TEST_F(Splitters, StandardSplitterCutsAndSelectsTheLabelledSide) {
  // A bar 4 x 1; the splitter runs from its bottom edge up to a target
  // standing over x = 1.9, cutting the bar there.
  Shape bar = shapeWith({rectangle(0, 0, 4, 1)}), post = shapeWith({rectangle(1.9, 1, 2.1, 2)});
  for (int side : {1, 2}) {
    int from = 0, to = 1, sd = side, n = 1;
    const shape *targets[] = {post.get()};
    Shape s = own(xCD_setsplitter_(bar.get(), &from, &to, &sd, &n, targets));
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
}

TEST_F(Splitters, ACutRingBecomesOnePiece) {
  // From the hole of a frame to its outer edge: the frame opens into one
  // contour without a hole.
  Shape frame = shapeWith({rectangle(0, 0, 4, 4), rectangleHole(1, 1, 3, 3)});
  Shape hole = shapeWith({rectangle(1, 1, 3, 3)}), outer = shapeWith({rectangle(0, 0, 4, 4)});
  int from = 0, to = 0, side = 1, n = 1;
  const shape *targets[] = {outer.get()};
  Shape s = own(xCD_setsplitter_(hole.get(), &from, &to, &side, &n, targets));
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
  const auto marks = [](std::initializer_list<std::pair<double, double>> zeros) {
    Shape m = own(create_shape());
    m->kind = 10;
    for (auto [x, y] : zeros) {
      path *p = polygon({{x, y}, {x + 100, y}});
      p->first->label = 0;
      p->first->next->label = 1;
      add_path(p, m.get());
    }
    return m;
  };
  // The first frame: its own hole, not the island's.
  Shape r1 = own(remove_splitter_(A.get(), marks({{0.5, 0.5}}).get()));
  EXPECT_EQ(r1->npaths, 2);
  EXPECT_DOUBLE_EQ(area2D_(r1.get()), 36.0 - 16.0);
  // The second frame, with its hole.
  Shape r2 = own(remove_splitter_(A.get(), marks({{10.5, 0.5}}).get()));
  EXPECT_EQ(r2->npaths, 2);
  EXPECT_DOUBLE_EQ(area2D_(r2.get()), 9.0 - 1.0);
  // A mark on the island lies in the first frame's ring too: both are
  // selected, each with its own hole.
  Shape r4 = own(remove_splitter_(A.get(), marks({{2.2, 2.2}}).get()));
  EXPECT_EQ(r4->npaths, 4);
  EXPECT_DOUBLE_EQ(area2D_(r4.get()), 36.0 - 16.0 + 4.0 - 1.0);
  // Nothing selected: the whole of A.
  Shape r3 = own(remove_splitter_(A.get(), marks({{7, 7}}).get()));
  EXPECT_TRUE(sameShape(r3.get(), A.get()));
}

TEST_F(Splitters, ComplementOfADiamondNeedsNoSlopes) {
  // Its diagonals are vertical and horizontal.
  path *diamond = polygon({{0, -1}, {1, 0}, {0, 1}, {-1, 0}});
  path *c = build_complement_splitter_(diamond);
  expectVertices(c, {{-1, 1}, {1, -1}});
  EXPECT_EQ(labelsOf(c), (std::vector<int>{0, 1}));
  delete_shape_(shapeOf({diamond, c}));
  EXPECT_EQ(build_complement_splitter_(nullptr), nullptr);
}

TEST_F(Splitters, ClosestPointOfARange) {
  path *p = polygon({{0, 0}, {4, 0}, {4, 4}, {0, 4}, {-1, 2}});
  const point q = at(-0.9, 2.2), r = at(3, 0.5);
  const int all = -1, zero = 0, two = 2, four = 4, five = 5, one = 1;
  EXPECT_EQ(find_closest_point_(p, &q, &all, &all), p->first->previous);
  EXPECT_EQ(find_closest_point_(p, &q, &zero, &zero), p->first);
  EXPECT_EQ(find_closest_point_(p, &q, &zero, &two), p->first);
  EXPECT_EQ(find_closest_point_(p, &r, &two, &four), p->first->next->next);
  // Position n is the first node again: the range wraps.
  EXPECT_EQ(find_closest_point_(p, &r, &four, &five), p->first);
  EXPECT_EQ(find_closest_point_(p, &r, &four, &one), p->first->next);
  EXPECT_EQ(find_closest_point_(nullptr, &r, &all, &all), nullptr);
  delete_shape_(shapeOf({p}));
}

}  // namespace
