// Records, rings, copies, reversal, orientation, cleaning and checking.
#include <gmock/gmock.h>

#include <tuple>

#include "geometry/kernel.hpp"
#include "support/kiv_test.hpp"
#include "tests/geometry/outlines.hpp"

namespace {

using namespace kiv::geomtest;
using Geometry = kiv::test::SystemTest;

// The coordinates of p's ring, once it is checked closed both ways and owned by p.
Coords ring(const path *p) {
  for (bool linked :
       mapRing(p, [p](const point *n) { return n->next->previous == n && n->previous->next == n && n->owner == p; }))
    EXPECT_TRUE(linked);
  return coords(p);
}

TEST_F(Geometry, RingsAreBuiltAndLinkedInOrder) {
  Shape s = own(create_shape());
  path *p = create_path();
  EXPECT_EQ(p->orientation, KIV_ORIENT_NONE);
  // One statement each: argument order is unspecified.
  const int refused = add_path(nullptr, s.get());
  const int first = add_path(p, s.get());
  const int second = add_path(create_path(), s.get());
  EXPECT_EQ(std::tuple(refused, first, second), std::tuple(-1, 0, 1));
  point *a = add_last_xy_(p, 1, 2);
  EXPECT_EQ(std::tuple(p->first, a->next, a->previous), std::tuple(a, a, a));
  add_last_xy_(p, 3, 4);
  add_last_Rtheta_(p, 2.0, 0.0);
  add_before_Rtheta_(a->next, 1.0, 0.0);  // between (1, 2) and (3, 4)
  // Every field of a template is copied; the anchor's ring and path win
  // over the path argument.
  point t = at(5, 0), other = at(0, 0);
  t.label = 9;
  t.tag = 2;
  t.partner = &other;
  point *after = create_point_after(s->paths[1], p->first, &t);
  EXPECT_EQ(std::tuple(after->label, after->tag, after->partner, s->paths[1]->first),
            std::tuple(9, 2, &other, nullptr));
  create_point_before(nullptr, p->first, &t);
  EXPECT_EQ(ring(p), (Coords{{1, 2}, {5, 0}, {1, 0}, {3, 4}, {2, 0}, {5, 0}}));
  EXPECT_EQ(size_path_(p), 6);
  delete_path_(p);
  EXPECT_EQ(p->first, nullptr);
  delete_path_(p);  // an empty path: nothing to do
}

TEST_F(Geometry, SplitterRectangleSurroundsTheSegment) {
  const point a = at(0, 0), b = at(3, 4);
  Path p(create_splitter_path_(&a, &b));
  const double ex = 1e-5 * 0.6, ey = 1e-5 * 0.8;
  EXPECT_LT(
      deviation(ring(p.get()),
                {{-ex + ey, -ey - ex}, {3 + ex + ey, 4 + ey - ex}, {3 + ex - ey, 4 + ey + ex}, {-ex - ey, -ey + ex}}),
      1e-15);
  EXPECT_EQ(p->orientation, KIV_ORIENT_NONE);
  EXPECT_NEAR(area2D_path_(p.get()), (5 + 2e-5) * 2e-5, 1e-13);
  // A zero-length segment gives a small square pushed along x.
  Path q(create_splitter_path_(&a, &a));
  EXPECT_EQ(ring(q.get()), (Coords{{-1e-5, -1e-5}, {1e-5, -1e-5}, {1e-5, 1e-5}, {-1e-5, 1e-5}}));
}

TEST_F(Geometry, InitializeShapeResetsTheOperationFields) {
  Path p(contour({{0, 0}, {1, 0}, {1, 1}}));
  p->first->tag = 3;
  p->first->partner = p->first->next;
  p->first->next->owner = nullptr;
  p->unvisited = 4;
  p->orientation = 0;
  path *raw = p.get();
  EXPECT_EQ(initialize_shape(&raw, 0), 0);
  EXPECT_EQ(p->unvisited, 4);
  EXPECT_EQ(initialize_shape(&raw, 1), 0);
  EXPECT_EQ(std::tuple(p->first->tag, p->unvisited, p->first->partner, p->orientation),
            std::tuple(0, 0, nullptr, int(KIV_ORIENT_NONE)));
  ring(p.get());  // owners restored
}

TEST_F(Geometry, FatalErrorsEndTheRunWithTheKernelMessages) {
  // Deleting a first node leaves the ring as it was.
  Path p(contour({{0, 0}, {1, 0}, {1, 1}}));
  delete_point_(nullptr);
  delete_point_(p->first->next);
  EXPECT_EQ(guarded([&] { return delete_point_(p->first), 0; }), -2);
  EXPECT_EQ(exitCode(), 1);
  EXPECT_EQ(takeErr(), "attempt to delete root !!!\nabort computation\n");
  EXPECT_EQ(ring(p.get()), (Coords{{0, 0}, {1, 1}}));
  EXPECT_EQ(guarded([] { return kiv::geom::allocationFailure("create_point"), 0; }), -2);
  EXPECT_EQ(exitCode(), 1);
  EXPECT_EQ(takeOut(), "Memory allocation error in:\"create_point\"");
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Geometry, RemovingAndDeletingPathsFreesEveryRecord) {
  path *a = rectangle(0, 0, 1, 1), *b = rectangle(0, 0, 2, 2), *c = rectangle(0, 0, 3, 3);
  Shape s = shapeWith({a, b, c});
  Path outsider(rectangle(0, 0, 1, 2));
  EXPECT_EQ(remove_path_from_shape(outsider.get(), s.get()), 1);
  EXPECT_EQ(remove_path_from_shape(nullptr, s.get()), 1);
  EXPECT_EQ(remove_path_from_shape(b, s.get()), 0);
  ASSERT_EQ(s->npaths, 2);
  EXPECT_EQ(std::pair(s->paths[0], s->paths[1]), std::pair(a, c));
  EXPECT_EQ(remove_path_from_shape(a, s.get()), 0);
  EXPECT_EQ(remove_path_from_shape(c, s.get()), -2);
  EXPECT_EQ(std::pair(s->npaths, s->paths), std::pair(0, static_cast<path **>(nullptr)));
  EXPECT_EQ(remove_path_from_shape(outsider.get(), s.get()), 1);
  // The sanitizer's leak check tells whether anything below stayed behind.
  delete_shape_(nullptr);
  delete_shape_permissive_(nullptr);
  delete_shape_(create_shape());
  delete_shape_permissive_(create_shape());  // an empty shape is freed too
  shape *odd = create_shape();
  odd->npaths = 3;  // no array behind the count: only the count is reset
  delete_shape_(odd);
  EXPECT_EQ(odd->npaths, 0);
  delete_shape_(odd);
  delete_shape_permissive_(shapeOf({circle(0, 0, 1), gearOutline()}));
}

TEST_F(Geometry, ReversalRunsBackwardsWithArcsTurned) {
  // A counter-clockwise slot: two half circles joined by straight sides.
  Path p(contour(
      {{0, -1}, {4, -1}, {4, 0, 1, KIV_ARC_MINOR, KIV_CCW}, {4, 1}, {0, 1}, {0, 0, 1, KIV_ARC_MINOR, KIV_CCW}}));
  p->orientation = KIV_ORIENT_CCW;
  Path r(create_path());
  copy_path_reversed_(p.get(), r.get());
  EXPECT_EQ(ring(r.get()), (Coords{{0, -1}, {0, 0}, {0, 1}, {4, 1}, {4, 0}, {4, -1}}));
  EXPECT_EQ(std::tuple(r->orientation, r->first->next->direction, r->first->next->radius),
            std::tuple(int(KIV_ORIENT_CW), int(KIV_CW), 1.0));
  EXPECT_NEAR(area2D_path_(r.get()), -(8 + kPi), 1e-12);
  // In place, twice: every link, direction and the orientation come back.
  const auto links = [](const point *n) { return std::tuple(n, n->previous, n->next, n->direction); };
  const auto before = mapRing(p.get(), links);
  reverse_path_(p.get());
  EXPECT_EQ(std::pair(p->orientation, p->first->next), std::pair(int(KIV_ORIENT_CW), std::get<1>(before[0])));
  EXPECT_NEAR(area2D_path_(p.get()), -(8 + kPi), 1e-12);
  reverse_path_(p.get());
  EXPECT_EQ(p->orientation, KIV_ORIENT_CCW);
  EXPECT_EQ(mapRing(p.get(), links), before);
}

TEST_F(Geometry, ShapeCopiesAreDeep) {
  Shape s = shapeWith({circle(0, 0, 3), circle(0, 0, 1, 0, KIV_CW)});
  path *outer = s->paths[0];
  s->kind = 10;
  check_shape(s.get());
  outer->unvisited = 3;
  outer->active = 0;
  outer->first->label = 7;
  Shape c = copyOf(s.get());
  ASSERT_EQ(c->npaths, 2);
  EXPECT_EQ(std::tuple(c->kind, c->paths[0]->orientation, c->paths[1]->orientation, c->paths[0]->unvisited,
                       c->paths[0]->active, c->paths[0]->first->label),
            std::tuple(10, int(KIV_ORIENT_CCW), int(KIV_ORIENT_CW), 0, 1, 7));
  EXPECT_NE(c->paths[0]->first, outer->first);
  EXPECT_EQ(ring(c->paths[1]), ring(s->paths[1]));

  shape *raw = nullptr;
  xCD_copy_shape_reversed_(s.get(), &raw);
  Shape r = own(raw);
  EXPECT_EQ(std::tuple(r->kind, r->paths[0]->orientation, r->paths[1]->orientation),
            std::tuple(0, int(KIV_ORIENT_CW), int(KIV_ORIENT_CCW)));
  EXPECT_NEAR(area2D_(r.get()), -8 * kPi, 1e-12);
  // A path appended to itself doubles once.
  Path self(contour({{0, 0}, {1, 0}, {1, 1}}));
  copy_path_(self.get(), self.get());
  EXPECT_EQ(ring(self.get()), (Coords{{0, 0}, {1, 0}, {1, 1}, {0, 0}, {1, 0}, {1, 1}}));
  EXPECT_EQ(copyOf(nullptr)->npaths, 0);
}

TEST_F(Geometry, OrientationByExtremeVertexAndByArea) {
  // Among equal lowest vertices the rightmost and later one is taken; in
  // the repeated ones it equals its predecessor, so the area decides.
  struct Case {
    path *p;
    int byVertex, byArea;
  };
  const Case cases[] = {{rectangle(0, 0, 2, 1), KIV_ORIENT_CCW, KIV_ORIENT_CCW},
                        {rectangleHole(0, 0, 2, 1), KIV_ORIENT_CW, KIV_ORIENT_CW},
                        {contour({{0, 0}, {2, 0}, {2, 0}, {2, 2}, {0, 2}}), KIV_ORIENT_CCW, KIV_ORIENT_CCW},
                        {contour({{0, 2}, {2, 2}, {2, 0}, {2, 0}, {0, 0}}), KIV_ORIENT_CW, KIV_ORIENT_CW},
                        {contour({{0, 0}, {1, 1}, {2, 2}}), KIV_ORIENT_NONE, KIV_ORIENT_NONE},
                        {gearOutline(), KIV_ORIENT_CCW, KIV_ORIENT_CCW}};
  for (const Case &c : cases) {
    Path p(c.p);
    EXPECT_EQ(orient_path_(p.get()), c.byVertex);
    EXPECT_EQ(p->orientation, c.byVertex);
    EXPECT_EQ(orient_path2_(p.get()), c.byArea);
    reverse_path_(p.get());
    EXPECT_EQ(orient_path_(p.get()), c.byVertex == KIV_ORIENT_NONE ? KIV_ORIENT_NONE : 1 - c.byVertex);
  }
  Path empty(create_path());
  EXPECT_EQ(orient_path_(empty.get()), -2);
  EXPECT_EQ(orient_path2_(empty.get()), -2);
  EXPECT_EQ(empty->orientation, KIV_ORIENT_NONE);
  EXPECT_EQ(size_path_(nullptr), 0);
}

TEST_F(Geometry, CleanShapeRemovesNearDuplicateVertices) {
  Shape s = shapeWith({contour({{0, 0}, {1, 0}, {1 + 4e-12, 3e-12}, {1, 1}, {1e-12, 1}, {0, 1}})});
  EXPECT_EQ(clean_shape(s.get(), 1e-11), 2);
  EXPECT_EQ(ring(s->paths[0]), (Coords{{0, 0}, {1 + 4e-12, 3e-12}, {1, 1}, {0, 1}}));
  EXPECT_EQ(clean_shape(s.get(), 1e-11), 0);
  // When the first node goes, its predecessor becomes the first node.
  Shape t = shapeWith({contour({{0, 0}, {5e-12, 0}, {2, 0}, {2, 2}})});
  EXPECT_EQ(clean_shape(t.get(), 1e-11), 1);
  EXPECT_EQ(ring(t->paths[0]), (Coords{{2, 2}, {5e-12, 0}, {2, 0}}));
  // Arc centres are never merged with their ends.
  Shape u = shapeWith({circle(0, 0, 1e-12)});
  EXPECT_EQ(clean_shape(u.get(), 1e-11), 0);
  EXPECT_EQ(size_path_(u->paths[0]), 4);
  EXPECT_EQ(clean_shape(own(create_shape()).get(), 1), 0);
  // Paths that fall below three nodes go, the one moved into their slot too.
  path *square = rectangle(0, 0, 1, 1);
  Shape v = shapeWith({contour({{0, 0}, {1e-12, 0}, {1, 1}}), square, contour({{5, 5}, {6, 5}, {6, 5}})});
  EXPECT_EQ(clean_shape(v.get(), 1e-11), 0);
  ASSERT_EQ(v->npaths, 1);
  EXPECT_EQ(v->paths[0], square);
  Shape alone = shapeWith({contour({{0, 0}, {1e-12, 0}, {1, 1}})});
  EXPECT_EQ(clean_shape(alone.get(), 1e-11), -2);
  EXPECT_EQ(alone->npaths, 0);
}

TEST_F(Geometry, CleanShapeTaggedBranches) {
  // p tagged, q plain: q goes.
  Shape s = shapeWith({contour({{0, 0}, {1, 0}, {1, 5e-12}, {1, 1}, {0, 1}})});
  s->paths[0]->first->next->tag = KIV_TAG_EXIT;
  EXPECT_EQ(clean_shape(s.get(), 1e-11), 1);
  EXPECT_EQ(ring(s->paths[0]), (Coords{{0, 0}, {1, 0}, {1, 1}, {0, 1}}));
  EXPECT_EQ(s->paths[0]->first->next->tag, KIV_TAG_EXIT);

  // Both tagged: p and its partner go.  The partner is the first node of its
  // own path, which moves away from it; a missing partner is passed over.
  path *b = contour({{0, 0}, {1, 0}, {1, 5e-12}, {1, 1}, {0, 1}, {0, 1 - 5e-12}});
  Path other(rectangle(1, 0, 3, 3));
  other->unvisited = 1;
  b->unvisited = 2;
  point *p1 = b->first->next, *q1 = p1->next;
  p1->tag = q1->tag = other->first->tag = KIV_TAG_INTERSECTION;
  p1->partner = other->first;
  other->first->partner = p1;
  b->first->previous->tag = b->first->previous->previous->tag = KIV_TAG_EXIT;  // no partner
  Shape t = shapeWith({b});
  EXPECT_EQ(clean_shape(t.get(), 1e-11), 2);
  EXPECT_EQ(ring(b), (Coords{{0, 0}, {1, 5e-12}, {1, 1}, {0, 1 - 5e-12}}));
  EXPECT_EQ(ring(other.get()), (Coords{{3, 0}, {3, 3}, {1, 3}}));
  EXPECT_EQ(std::pair(b->unvisited, other->unvisited), std::pair(0, 0));
}

TEST_F(Geometry, CheckShapeDropsSmallPiecesAndOrients) {
  path *hole = contour({{0, 0}, {0, 0.001}, {0.1, 0.001}});  // clockwise, tiny
  path *square = rectangle(0, 0, 2, 2), *flat = contour({{0, 0}, {1, 0}, {2, 0}});
  // Two nodes, and a sliver of area 0.0005, go.
  Shape s = shapeWith({contour({{0, 0}, {1, 0}}), contour({{0, 0}, {1, 0}, {1, 0.001}}), hole, square, flat});
  EXPECT_EQ(check_shape(s.get()), 0);
  ASSERT_EQ(s->npaths, 3);
  EXPECT_EQ(std::pair(s->paths[0], s->paths[1]), std::pair(hole, square));
  EXPECT_EQ(std::tuple(hole->orientation, square->orientation, flat->orientation),
            std::tuple(int(KIV_ORIENT_CW), int(KIV_ORIENT_CCW), int(KIV_ORIENT_NONE)));
  EXPECT_EQ(check_shape(nullptr), -2);
  Shape gone = shapeWith({contour({{0, 0}, {0.01, 0}, {0, 0.01}})});
  EXPECT_EQ(check_shape(gone.get()), -2);
  EXPECT_EQ(gone->npaths, 0);
  EXPECT_EQ(check_shape(own(create_shape()).get()), 0);
}

}  // namespace
