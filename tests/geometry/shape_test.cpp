// Records, rings, copies, reversal, orientation, cleaning and checking.
#include <gmock/gmock.h>

#include <vector>

#include "geometry/kernel.hpp"
#include "support/kiv_test.hpp"
#include "tests/geometry/outlines.hpp"

namespace {

using namespace kiv::geomtest;
using Geometry = kiv::test::SystemTest;

// Checks that the ring of p is closed both ways, owned by p, and returns its
// coordinates in ring order.
std::vector<std::pair<double, double>> ring(const path *p) {
  std::vector<std::pair<double, double>> out;
  if (!p->first) return out;
  const point *n = p->first;
  do {
    EXPECT_EQ(n->next->previous, n);
    EXPECT_EQ(n->previous->next, n);
    EXPECT_EQ(n->owner, p);
    out.emplace_back(n->x, n->y);
    n = n->next;
  } while (n != p->first && out.size() < 10000);
  return out;
}

using Coords = std::vector<std::pair<double, double>>;

TEST_F(Geometry, RingsAreBuiltAndLinkedInOrder) {
  shape *s = create_shape();
  path *p = create_path();
  EXPECT_EQ(p->orientation, KIV_ORIENT_NONE);
  EXPECT_EQ(add_path(nullptr, s), -1);
  EXPECT_EQ(add_path(p, s), 0);
  EXPECT_EQ(add_path(create_path(), s), 1);
  EXPECT_EQ(s->npaths, 2);
  point *a = add_last_xy_(p, 1, 2);
  EXPECT_EQ(p->first, a);
  EXPECT_EQ(a->next, a);
  EXPECT_EQ(a->previous, a);
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
  EXPECT_EQ(after->label, 9);
  EXPECT_EQ(after->tag, 2);
  EXPECT_EQ(after->partner, &other);
  EXPECT_EQ(s->paths[1]->first, nullptr);
  create_point_before(nullptr, p->first, &t);
  EXPECT_EQ(ring(p), (Coords{{1, 2}, {5, 0}, {1, 0}, {3, 4}, {2, 0}, {5, 0}}));
  EXPECT_EQ(size_path_(p), 6);
  delete_path_(p);
  EXPECT_EQ(p->first, nullptr);
  delete_path_(p);
  delete_shape_(s);
}

TEST_F(Geometry, SplitterRectangleSurroundsTheSegment) {
  point a, b;
  initialized_point(&a);
  initialized_point(&b);
  b.x = 3;
  b.y = 4;
  path *p = create_splitter_path_(&a, &b);
  const double ex = 1e-5 * 0.6, ey = 1e-5 * 0.8;
  const Coords want{{-ex + ey, -ey - ex}, {3 + ex + ey, 4 + ey - ex}, {3 + ex - ey, 4 + ey + ex}, {-ex - ey, -ey + ex}};
  const Coords got = ring(p);
  ASSERT_EQ(got.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_NEAR(got[i].first, want[i].first, 1e-15);
    EXPECT_NEAR(got[i].second, want[i].second, 1e-15);
  }
  EXPECT_EQ(p->orientation, KIV_ORIENT_NONE);
  EXPECT_NEAR(area2D_path_(p), (5 + 2e-5) * 2e-5, 1e-13);
  delete_path_(p);
  std::free(p);
  // A zero-length segment gives a small square pushed along x.
  p = create_splitter_path_(&a, &a);
  EXPECT_EQ(ring(p), (Coords{{-1e-5, -1e-5}, {1e-5, -1e-5}, {1e-5, 1e-5}, {-1e-5, 1e-5}}));
  delete_path_(p);
  std::free(p);
}

TEST_F(Geometry, InitializeShapeResetsTheOperationFields) {
  path *p = polygon({{0, 0}, {1, 0}, {1, 1}});
  p->first->tag = 3;
  p->first->partner = p->first->next;
  p->first->next->owner = nullptr;
  p->unvisited = 4;
  p->orientation = 0;
  EXPECT_EQ(initialize_shape(&p, 0), 0);
  EXPECT_EQ(p->unvisited, 4);
  EXPECT_EQ(initialize_shape(&p, 1), 0);
  EXPECT_EQ(p->first->tag + p->unvisited, 0);
  EXPECT_EQ(p->first->partner, nullptr);
  EXPECT_EQ(p->orientation, KIV_ORIENT_NONE);
  ring(p);  // owners restored
  delete_shape_(shapeOf({p}));
}

TEST_F(Geometry, DeletingAFirstNodeEndsTheRunWithoutTouchingTheRing) {
  path *p = polygon({{0, 0}, {1, 0}, {1, 1}});
  delete_point_(nullptr);
  delete_point_(p->first->next);
  EXPECT_EQ(ring(p), (Coords{{0, 0}, {1, 1}}));
  EXPECT_EQ(guarded([&] {
              delete_point_(p->first);
              return 0;
            }),
            -2);
  EXPECT_EQ(exitCode(), 1);
  EXPECT_EQ(takeErr(), "attempt to delete root !!!\nabort computation\n");
  EXPECT_EQ(ring(p).size(), 2u);
  delete_path_(p);
  std::free(p);
}

TEST_F(Geometry, AllocationFailureEndsTheRunWithTheKernelMessage) {
  EXPECT_EQ(guarded([] {
              kiv::geom::allocationFailure("create_point");
              return 0;
            }),
            -2);
  EXPECT_EQ(exitCode(), 1);
  EXPECT_EQ(takeOut(), "Memory allocation error in:\"create_point\"");
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Geometry, RemovePathFromShape) {
  path *a = polygon({{0, 0}, {1, 0}, {1, 1}});
  path *b = polygon({{0, 0}, {2, 0}, {2, 2}});
  path *c = polygon({{0, 0}, {3, 0}, {3, 3}});
  shape *s = shapeOf({a, b, c});
  path *outsider = polygon({{0, 0}, {1, 0}, {0, 1}});
  EXPECT_EQ(remove_path_from_shape(outsider, s), 1);
  EXPECT_EQ(remove_path_from_shape(nullptr, s), 1);
  EXPECT_EQ(s->npaths, 3);
  EXPECT_EQ(remove_path_from_shape(b, s), 0);
  ASSERT_EQ(s->npaths, 2);
  EXPECT_EQ(s->paths[0], a);
  EXPECT_EQ(s->paths[1], c);
  EXPECT_EQ(remove_path_from_shape(a, s), 0);
  EXPECT_EQ(remove_path_from_shape(c, s), -2);
  EXPECT_EQ(s->npaths, 0);
  EXPECT_EQ(s->paths, nullptr);
  EXPECT_EQ(remove_path_from_shape(outsider, s), 1);
  delete_shape_(s);
  delete_path_(outsider);
  std::free(outsider);
}

TEST_F(Geometry, DeletingShapesFreesEveryRecord) {
  delete_shape_(nullptr);
  delete_shape_permissive_(nullptr);
  delete_shape_(create_shape());
  delete_shape_permissive_(create_shape());  // an empty shape is freed too
  shape *odd = create_shape();
  odd->npaths = 3;  // no array behind the count
  delete_shape_(odd);
  delete_shape_permissive_(shapeOf({circle(0, 0, 1), gearOutline()}));
  // The sanitizer's leak check tells whether anything stayed behind.
}

// A counter-clockwise slot: two half circles joined by straight sides.
path *slot() {
  path *p = create_path();
  add_last_xy_(p, 0, -1);
  add_last_xy_(p, 4, -1);
  addCentre(p, 4, 0, 1, KIV_ARC_MINOR, KIV_CCW);
  add_last_xy_(p, 4, 1);
  add_last_xy_(p, 0, 1);
  addCentre(p, 0, 0, 1, KIV_ARC_MINOR, KIV_CCW);
  return p;
}

TEST_F(Geometry, ReversalRunsBackwardsWithArcsTurned) {
  path *p = slot();
  p->orientation = KIV_ORIENT_CCW;
  path *r = create_path();
  copy_path_reversed_(p, r);
  EXPECT_EQ(r->orientation, KIV_ORIENT_CW);
  EXPECT_EQ(ring(r), (Coords{{0, -1}, {0, 0}, {0, 1}, {4, 1}, {4, 0}, {4, -1}}));
  EXPECT_EQ(r->first->next->direction, KIV_CW);
  EXPECT_EQ(r->first->next->radius, 1.0);
  EXPECT_NEAR(area2D_path_(p), 8 + kPi, 1e-12);
  EXPECT_NEAR(area2D_path_(r), -(8 + kPi), 1e-12);

  // In place, twice: every link, direction and the orientation come back.
  std::vector<std::tuple<point *, point *, point *, int>> before;
  point *n = p->first;
  do {
    before.emplace_back(n, n->previous, n->next, n->direction);
    n = n->next;
  } while (n != p->first);
  reverse_path_(p);
  EXPECT_EQ(p->orientation, KIV_ORIENT_CW);
  EXPECT_EQ(p->first->next, std::get<1>(before[0]));
  EXPECT_NEAR(area2D_path_(p), -(8 + kPi), 1e-12);
  reverse_path_(p);
  EXPECT_EQ(p->orientation, KIV_ORIENT_CCW);
  for (auto [node, prev, next, dir] : before) {
    EXPECT_EQ(node->previous, prev);
    EXPECT_EQ(node->next, next);
    EXPECT_EQ(node->direction, dir);
  }
  delete_shape_(shapeOf({p, r}));
}

TEST_F(Geometry, ShapeCopiesAreDeep) {
  shape *s = shapeOf({circle(0, 0, 3), circle(0, 0, 1, KIV_CW)});
  s->kind = 10;
  s->paths[0]->orientation = KIV_ORIENT_CCW;
  s->paths[1]->orientation = KIV_ORIENT_CW;
  s->paths[0]->unvisited = 3;
  s->paths[0]->active = 0;
  s->paths[0]->first->label = 7;
  shape *c = nullptr;
  xCD_copy_shape_(s, &c);
  ASSERT_EQ(c->npaths, 2);
  EXPECT_EQ(c->kind, 10);
  EXPECT_EQ(c->paths[0]->orientation, KIV_ORIENT_CCW);
  EXPECT_EQ(c->paths[1]->orientation, KIV_ORIENT_CW);
  EXPECT_EQ(c->paths[0]->unvisited, 0);
  EXPECT_EQ(c->paths[0]->active, 1);
  EXPECT_EQ(c->paths[0]->first->label, 7);
  EXPECT_NE(c->paths[0]->first, s->paths[0]->first);
  EXPECT_EQ(ring(c->paths[1]), ring(s->paths[1]));
  EXPECT_NEAR(area2D_(c), 8 * kPi, 1e-12);

  shape *r = nullptr;
  xCD_copy_shape_reversed_(s, &r);
  EXPECT_EQ(r->kind, 0);
  EXPECT_EQ(r->paths[0]->orientation, KIV_ORIENT_CW);
  EXPECT_EQ(r->paths[1]->orientation, KIV_ORIENT_CCW);
  EXPECT_NEAR(area2D_(r), -8 * kPi, 1e-12);

  // A path appended to itself doubles once.
  path *self = polygon({{0, 0}, {1, 0}, {1, 1}});
  copy_path_(self, self);
  EXPECT_EQ(ring(self), (Coords{{0, 0}, {1, 0}, {1, 1}, {0, 0}, {1, 0}, {1, 1}}));
  delete_path_(self);
  std::free(self);

  shape *e = nullptr;
  xCD_copy_shape_(nullptr, &e);
  EXPECT_EQ(e->npaths, 0);
  for (shape *x : {s, c, r, e}) delete_shape_(x);
}

TEST_F(Geometry, OrientationByExtremeVertexAndByArea) {
  path *ccw = polygon({{0, 0}, {2, 0}, {2, 1}, {0, 1}});
  path *cw = polygon({{0, 0}, {0, 1}, {2, 1}, {2, 0}});
  EXPECT_EQ(orient_path_(ccw), KIV_ORIENT_CCW);
  EXPECT_EQ(ccw->orientation, KIV_ORIENT_CCW);
  EXPECT_EQ(orient_path_(cw), KIV_ORIENT_CW);
  EXPECT_EQ(orient_path2_(cw), KIV_ORIENT_CW);
  // Among equal lowest vertices the rightmost and later one is taken; here
  // it repeats its predecessor, so the turn is 0 and the area decides.
  path *twice = polygon({{0, 0}, {2, 0}, {2, 0}, {2, 2}, {0, 2}});
  EXPECT_EQ(orient_path_(twice), KIV_ORIENT_CCW);
  path *twiceCw = polygon({{0, 2}, {2, 2}, {2, 0}, {2, 0}, {0, 0}});
  EXPECT_EQ(orient_path_(twiceCw), KIV_ORIENT_CW);
  path *line = polygon({{0, 0}, {1, 1}, {2, 2}});
  EXPECT_EQ(orient_path2_(line), KIV_ORIENT_NONE);
  EXPECT_EQ(orient_path_(line), KIV_ORIENT_NONE);
  path *empty = create_path();
  EXPECT_EQ(orient_path_(empty), -2);
  EXPECT_EQ(orient_path2_(empty), -2);
  EXPECT_EQ(empty->orientation, KIV_ORIENT_NONE);
  path *g = gearOutline();
  EXPECT_EQ(orient_path_(g), KIV_ORIENT_CCW);
  reverse_path_(g);
  EXPECT_EQ(orient_path_(g), KIV_ORIENT_CW);
  EXPECT_EQ(size_path_(g), 12 * (1 + 1 + 6 + 1 + 1 + 6));
  EXPECT_EQ(size_path_(nullptr), 0);
  delete_shape_(shapeOf({ccw, cw, twice, twiceCw, line, empty, g}));
}

TEST_F(Geometry, CleanShapeRemovesNearDuplicateVertices) {
  path *p = polygon({{0, 0}, {1, 0}, {1 + 4e-12, 3e-12}, {1, 1}, {1e-12, 1}, {0, 1}});
  shape *s = shapeOf({p});
  EXPECT_EQ(clean_shape(s, 1e-11), 2);
  EXPECT_EQ(ring(p), (Coords{{0, 0}, {1 + 4e-12, 3e-12}, {1, 1}, {0, 1}}));
  EXPECT_EQ(clean_shape(s, 1e-11), 0);
  // When the first node goes, its predecessor becomes the first node.
  path *q = polygon({{0, 0}, {5e-12, 0}, {2, 0}, {2, 2}});
  shape *t = shapeOf({q});
  EXPECT_EQ(clean_shape(t, 1e-11), 1);
  EXPECT_EQ(ring(q), (Coords{{2, 2}, {5e-12, 0}, {2, 0}}));
  // Arc centres are never merged with their ends.
  path *c = circle(0, 0, 1e-12);
  shape *u = shapeOf({c});
  EXPECT_EQ(clean_shape(u, 1e-11), 0);
  EXPECT_EQ(size_path_(c), 4);
  shape *none = create_shape();
  EXPECT_EQ(clean_shape(none, 1), 0);
  for (shape *x : {s, t, u, none}) delete_shape_(x);
}

TEST_F(Geometry, CleanShapeDropsCollapsedPaths) {
  path *tri = polygon({{0, 0}, {1e-12, 0}, {1, 1}});
  path *square = polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  path *tri2 = polygon({{5, 5}, {6, 5}, {6, 5}});
  shape *s = shapeOf({tri, square, tri2});
  EXPECT_EQ(clean_shape(s, 1e-11), 0);
  ASSERT_EQ(s->npaths, 1);
  EXPECT_EQ(s->paths[0], square);
  shape *alone = shapeOf({polygon({{0, 0}, {1e-12, 0}, {1, 1}})});
  EXPECT_EQ(clean_shape(alone, 1e-11), -2);
  EXPECT_EQ(alone->npaths, 0);
  delete_shape_(s);
  delete_shape_(alone);
}

TEST_F(Geometry, CleanShapeTaggedBranches) {
  // p tagged, q plain: q goes.
  path *a = polygon({{0, 0}, {1, 0}, {1, 5e-12}, {1, 1}, {0, 1}});
  a->first->next->tag = KIV_TAG_EXIT;
  shape *s = shapeOf({a});
  EXPECT_EQ(clean_shape(s, 1e-11), 1);
  EXPECT_EQ(ring(a), (Coords{{0, 0}, {1, 0}, {1, 1}, {0, 1}}));
  EXPECT_EQ(a->first->next->tag, KIV_TAG_EXIT);

  // Both tagged: p and its partner go.  The partner is the first node of its
  // own path, which moves away from it; a missing partner is passed over.
  path *b = polygon({{0, 0}, {1, 0}, {1, 5e-12}, {1, 1}, {0, 1}, {0, 1 - 5e-12}});
  path *other = polygon({{1, 0}, {3, 0}, {3, 3}, {1, 3}});
  other->unvisited = 1;
  b->unvisited = 2;
  point *p1 = b->first->next, *q1 = p1->next;
  p1->tag = q1->tag = KIV_TAG_INTERSECTION;
  p1->partner = other->first;
  other->first->partner = p1;
  other->first->tag = KIV_TAG_INTERSECTION;
  point *p2 = b->first->previous->previous, *q2 = b->first->previous;
  p2->tag = q2->tag = KIV_TAG_EXIT;  // no partner
  shape *t = shapeOf({b});
  EXPECT_EQ(clean_shape(t, 1e-11), 2);
  EXPECT_EQ(ring(b), (Coords{{0, 0}, {1, 5e-12}, {1, 1}, {0, 1 - 5e-12}}));
  EXPECT_EQ(b->unvisited, 0);
  EXPECT_EQ(ring(other), (Coords{{3, 0}, {3, 3}, {1, 3}}));
  EXPECT_EQ(other->unvisited, 0);
  delete_shape_(s);
  delete_shape_(t);
  delete_path_(other);
  std::free(other);
}

TEST_F(Geometry, CheckShapeDropsSmallPiecesAndOrients) {
  path *two = polygon({{0, 0}, {1, 0}});
  path *sliver = polygon({{0, 0}, {1, 0}, {1, 0.001}});        // area 0.0005
  path *hole = polygon({{0, 0}, {0, 0.001}, {0.1, 0.001}});   // clockwise, tiny
  path *square = polygon({{0, 0}, {2, 0}, {2, 2}, {0, 2}});
  path *flat = polygon({{0, 0}, {1, 0}, {2, 0}});
  shape *s = shapeOf({two, sliver, hole, square, flat});
  EXPECT_EQ(check_shape(s), 0);
  ASSERT_EQ(s->npaths, 3);
  EXPECT_EQ(s->paths[0], hole);
  EXPECT_EQ(s->paths[1], square);
  EXPECT_EQ(hole->orientation, KIV_ORIENT_CW);
  EXPECT_EQ(square->orientation, KIV_ORIENT_CCW);
  EXPECT_EQ(flat->orientation, KIV_ORIENT_NONE);
  EXPECT_EQ(check_shape(nullptr), -2);
  shape *gone = shapeOf({polygon({{0, 0}, {0.01, 0}, {0, 0.01}})});
  EXPECT_EQ(check_shape(gone), -2);
  EXPECT_EQ(gone->npaths, 0);
  shape *none = create_shape();
  EXPECT_EQ(check_shape(none), 0);
  for (shape *x : {s, gone, none}) delete_shape_(x);
}

}  // namespace
