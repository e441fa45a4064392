// Meeting points of segments and arcs, crossing tests between paths, and
// the helpers of the boolean walk.
#include <gmock/gmock.h>

#include <cstdlib>
#include <vector>

#include "support/kiv_test.hpp"
#include "tests/geometry/outlines.hpp"

namespace {

using namespace kiv::geomtest;
using Intersections = kiv::test::SystemTest;

TEST_F(Intersections, SegmentAndSegment) {
  point a1 = at(0, 0), a2 = at(2, 2), b1 = at(0, 2), b2 = at(2, 0), out;
  out.tag = 7;
  ASSERT_EQ(computeIntersection_segseg(&a1, &a2, &b1, &b2, 1e-11, &out), 3);
  EXPECT_DOUBLE_EQ(out.x, 1.0);
  EXPECT_DOUBLE_EQ(out.y, 1.0);
  EXPECT_EQ(out.tag, 0);
  EXPECT_EQ(out.label, -1);
  EXPECT_EQ(out.next, nullptr);
  // Reversed second segment: the determinant changes sign, the answer not.
  ASSERT_EQ(computeIntersection_segseg(&a1, &a2, &b2, &b1, 1e-11, &out), 3);
  EXPECT_DOUBLE_EQ(out.x, 1.0);
  // One end on the other segment: a touch.
  point c1 = at(0, 0), c2 = at(2, 0), d1 = at(1, 0), d2 = at(1, 1), e1 = at(2, -1), e2 = at(2, 1);
  EXPECT_EQ(computeIntersection_segseg(&c1, &c2, &d1, &d2, 1e-11, &out), 1);
  EXPECT_EQ(out.x, 1.0);
  EXPECT_EQ(out.y, 0.0);
  EXPECT_EQ(computeIntersection_segseg(&c1, &c2, &e1, &e2, 1e-11, &out), 1);
  EXPECT_EQ(out.x, 2.0);
  // Parallel and collinear segments never meet, whatever the overlap.
  point f1 = at(1, 0), f2 = at(3, 0), g1 = at(0, 1), g2 = at(2, 1);
  EXPECT_EQ(computeIntersection_segseg(&c1, &c2, &f1, &f2, 1e-11, &out), 0);
  EXPECT_EQ(computeIntersection_segseg(&c1, &c2, &g1, &g2, 1e-11, &out), 0);
  // Apart: boxes, or lines crossing beyond an end.
  point h1 = at(3, -1), h2 = at(4, 1), k1 = at(2.5, -1), k2 = at(2.5, 1);
  EXPECT_EQ(computeIntersection_segseg(&c1, &c2, &h1, &h2, 1e-11, &out), 0);
  point l1 = at(0, 0), l2 = at(3, 0);
  EXPECT_EQ(computeIntersection_segseg(&c1, &c2, &k1, &k2, 1e-11, &out), 0);
  EXPECT_EQ(computeIntersection_segseg(&l1, &l2, &k1, &k2, 1e-11, &out), 3);
  EXPECT_EQ(out.x, 2.5);
  // Within the tolerance of the second segment's end: a touch at that end.
  const double tol = 1e-6;
  point m1 = at(1, -1), m2 = at(1, tol / 2);
  EXPECT_EQ(computeIntersection_segseg(&c1, &c2, &m1, &m2, tol, &out), 1);
  EXPECT_EQ(out.x, 1.0);
  EXPECT_NEAR(out.y, tol / 2, 1e-15);
  // Within the tolerance of the first segment's end a crossing is a touch;
  // the boxes take no tolerance, so just past the end nothing meets.
  point n1 = at(2 - tol, -1), n2 = at(2 - tol, 1);
  EXPECT_EQ(computeIntersection_segseg(&c1, &c2, &n1, &n2, tol, &out), 1);
  point o1 = at(2 - 4 * tol, -1), o2 = at(2 - 4 * tol, 1);
  EXPECT_EQ(computeIntersection_segseg(&c1, &c2, &o1, &o2, tol, &out), 3);
  point q1 = at(2 + tol / 2, -1), q2 = at(2 + tol / 2, 1);
  EXPECT_EQ(computeIntersection_segseg(&c1, &c2, &q1, &q2, tol, &out), 0);
}

TEST_F(Intersections, ArcAndSegment) {
  Arc upper(0, 0, 1, 0, kPi, KIV_CCW);
  double x1, y1, x2, y2;
  const double a[2] = {-2, 0.5}, b[2] = {2, 0.5};
  ASSERT_EQ(computeIntersection_arcseg(upper.c, a, b, 1e-11, &x1, &y1, &x2, &y2), 4);
  EXPECT_NEAR(x1, std::sqrt(0.75), 1e-15);
  EXPECT_NEAR(y1, 0.5, 1e-15);
  EXPECT_NEAR(x2, -std::sqrt(0.75), 1e-15);
  // Only the second meeting point of the line lies on the segment.
  const double c[2] = {-2, 0.5}, d[2] = {0, 0.5};
  ASSERT_EQ(computeIntersection_arcseg(upper.c, c, d, 1e-11, &x1, &y1, &x2, &y2), 3);
  EXPECT_NEAR(x1, -std::sqrt(0.75), 1e-15);
  // Through the centre: the lower meeting point is off the arc.
  const double e[2] = {0, -2}, f[2] = {0, 2};
  ASSERT_EQ(computeIntersection_arcseg(upper.c, e, f, 1e-11, &x1, &y1, &x2, &y2), 3);
  EXPECT_NEAR(x1, 0.0, 1e-15);
  EXPECT_NEAR(y1, 1.0, 1e-15);
  // Tangent, apart, and a zero-length segment.
  const double t0[2] = {-2, 1}, t1[2] = {2, 1}, low0[2] = {-2, -0.5}, low1[2] = {2, -0.5};
  EXPECT_EQ(computeIntersection_arcseg(upper.c, t0, t1, 1e-11, &x1, &y1, &x2, &y2), 0);
  EXPECT_EQ(computeIntersection_arcseg(upper.c, low0, low1, 1e-11, &x1, &y1, &x2, &y2), 0);
  EXPECT_EQ(computeIntersection_arcseg(upper.c, f, f, 1e-11, &x1, &y1, &x2, &y2), 0);
  // From the centre through a point near the arc: the point on the circle.
  const double centre[2] = {0, 0}, near[2] = {0.6 * (1 + 5e-12), 0.8 * (1 + 5e-12)};
  ASSERT_EQ(computeIntersection_arcseg(upper.c, centre, near, 1e-10, &x1, &y1, &x2, &y2), 3);
  EXPECT_NEAR(x1, 0.6, 1e-15);
  EXPECT_NEAR(y1, 0.8, 1e-15);
}

TEST_F(Intersections, ArcAndSegmentClassified) {
  Arc upper(0, 0, 1, 0, kPi, KIV_CCW);
  const double l0[2] = {-2, 0}, l1[2] = {2, 0};
  EXPECT_EQ(checkIntersection_arcseg(upper.c, l0, l1), 2);  // both ends cut
  const double v0[2] = {0, 0}, v1[2] = {0, 2};
  EXPECT_EQ(checkIntersection_arcseg(upper.c, v0, v1), 3);  // one proper crossing
  const double s0[2] = {1, 0}, s1[2] = {-1, 2};
  EXPECT_EQ(checkIntersection_arcseg(upper.c, s0, s1), 6);  // an end and (0.6, 0.8)
  const double o0[2] = {1, 0}, o1[2] = {2, -1};
  EXPECT_EQ(checkIntersection_arcseg(upper.c, o0, o1), 1);  // only at the arc's start
  const double h0[2] = {-2, 0.5}, h1[2] = {2, 0.5};
  EXPECT_EQ(checkIntersection_arcseg(upper.c, h0, h1), 6);
  const double n0[2] = {3, 3}, n1[2] = {4, 4};
  EXPECT_EQ(checkIntersection_arcseg(upper.c, n0, n1), 0);
}

TEST_F(Intersections, ArcAndArcOnDifferentCircles) {
  double p1[2], p2[2];
  const double h = std::sqrt(0.75);
  Arc a(0, 0, 1, 0, kPi, KIV_CCW), b(1, 0, 1, 0, kPi, KIV_CCW);
  ASSERT_EQ(computeIntersection_arcarc(a.c, b.c, 1e-12, p1, p2), 3);
  EXPECT_NEAR(p1[0], 0.5, 1e-15);
  EXPECT_NEAR(p1[1], h, 1e-15);
  // Right half of one, left half of the other: both meeting points.
  Arc right(0, 0, 1, -kPi / 2, kPi / 2, KIV_CCW), left(1, 0, 1, kPi / 2, 3 * kPi / 2, KIV_CCW);
  ASSERT_EQ(computeIntersection_arcarc(right.c, left.c, 1e-12, p1, p2), 4);
  EXPECT_NEAR(p1[0], 0.5, 1e-15);
  EXPECT_NEAR(p2[0], 0.5, 1e-15);
  EXPECT_NEAR(std::fabs(p1[1] - p2[1]), 2 * h, 1e-15);
  // Far from the origin the points are as exact.
  Arc fa(1000, -2000, 1, -kPi / 2, kPi / 2, KIV_CCW), fb(1001, -2000, 1, kPi / 2, 3 * kPi / 2, KIV_CCW);
  ASSERT_EQ(computeIntersection_arcarc(fa.c, fb.c, 1e-12, p1, p2), 4);
  EXPECT_NEAR(p1[0], 1000.5, 1e-12);
  EXPECT_NEAR(std::fabs(p1[1] + 2000), h, 1e-12);
  // Apart, nested, and on circles that meet away from the arcs.
  Arc far(5, 0, 1, 0, kPi, KIV_CCW), inner(0.1, 0, 0.3, 0, kPi, KIV_CCW), lower(1, 0, 1, kPi, 2 * kPi, KIV_CCW);
  EXPECT_EQ(computeIntersection_arcarc(a.c, far.c, 1e-12, p1, p2), 0);
  EXPECT_EQ(computeIntersection_arcarc(a.c, inner.c, 1e-12, p1, p2), 0);
  EXPECT_EQ(computeIntersection_arcarc(a.c, lower.c, 1e-12, p1, p2), 0);
}

TEST_F(Intersections, TangentCirclesMeetOnlyAtAnEnd) {
  double p1[2], p2[2];
  // Touching at (1, 0), where both arcs end.
  Arc a(0, 0, 1, 0, kPi / 2, KIV_CCW), b(2, 0, 1, kPi / 2, kPi, KIV_CCW);
  ASSERT_EQ(computeIntersection_arcarc(a.c, b.c, 1e-12, p1, p2), 3);
  EXPECT_NEAR(p1[0], 1.0, 1e-15);
  EXPECT_NEAR(p1[1], 0.0, 1e-15);
  // Touching inside both arcs: not a meeting point.
  Arc c(0, 0, 1, -kPi / 2, kPi / 2, KIV_CCW), d(2, 0, 1, kPi / 2, 3 * kPi / 2, KIV_CCW);
  EXPECT_EQ(computeIntersection_arcarc(c.c, d.c, 1e-12, p1, p2), 0);
  // Internally tangent at (1, 0), an end of the smaller arc.
  Arc big(0, 0, 1, -kPi / 2, kPi / 2, KIV_CCW), small(0.5, 0, 0.5, 0, kPi, KIV_CCW);
  ASSERT_EQ(computeIntersection_arcarc(big.c, small.c, 1e-12, p1, p2), 3);
  EXPECT_NEAR(p1[0], 1.0, 1e-15);
}

TEST_F(Intersections, ArcsOfOneCircle) {
  double p1[2], p2[2];
  Arc a(0, 0, 2, 0, 2 * kPi / 3, KIV_CCW), b(0, 0, 2, kPi / 3, 10 * kPi / 9, KIV_CCW);
  ASSERT_EQ(computeIntersection_arcarc(a.c, b.c, 1e-12, p1, p2), 4);  // the overlap's ends
  EXPECT_NEAR(p1[0], 2 * std::cos(2 * kPi / 3), 1e-15);
  EXPECT_NEAR(p2[0], 2 * std::cos(kPi / 3), 1e-15);
  Arc c(0, 0, 2, 2 * kPi / 3, kPi, KIV_CCW);
  a.c->next->x = c.c->previous->x;  // share the end exactly
  a.c->next->y = c.c->previous->y;
  ASSERT_EQ(computeIntersection_arcarc(a.c, c.c, 1e-12, p1, p2), 3);
  EXPECT_EQ(p1[0], c.c->previous->x);
  // One arc inside the other: its own ends.
  Arc inside(0, 0, 2, kPi / 6, kPi / 2, KIV_CCW);
  ASSERT_EQ(computeIntersection_arcarc(a.c, inside.c, 1e-12, p1, p2), 4);
  EXPECT_EQ(p1[0], inside.c->previous->x);
  EXPECT_EQ(p2[0], inside.c->next->x);
  // Disjoint parts of one circle.
  Arc away(0, 0, 2, kPi, 1.5 * kPi, KIV_CCW);
  EXPECT_EQ(computeIntersection_arcarc(a.c, away.c, 1e-12, p1, p2), 0);
}

TEST_F(Intersections, ConcentricCirclesNeverDivideByZero) {
  double p1[2] = {7, 7}, p2[2] = {7, 7};
  // Radii equal but for rounding: still one circle.
  const double r1 = 0.3, r2 = 0.1 * 3;
  ASSERT_NE(r1, r2);
  Arc a(0, 0, r1, 0, 2 * kPi / 3, KIV_CCW), b(0, 0, r1, kPi / 3, 10 * kPi / 9, KIV_CCW);
  b.c->radius = r2;
  ASSERT_EQ(computeIntersection_arcarc(a.c, b.c, 1e-12, p1, p2), 4);
  EXPECT_NEAR(p1[0], r1 * std::cos(2 * kPi / 3), 1e-15);
  EXPECT_NEAR(p2[0], r1 * std::cos(kPi / 3), 1e-15);
  // Really different radii: no meeting point, nothing written.
  p1[0] = p2[0] = 7;
  Arc c(0, 0, 0.5, 0, kPi, KIV_CCW);
  EXPECT_EQ(computeIntersection_arcarc(a.c, c.c, 1e-12, p1, p2), 0);
  EXPECT_EQ(p1[0], 7);
  EXPECT_EQ(p2[0], 7);
}

TEST_F(Intersections, CrossingTestBetweenPaths) {
  path *eight = polygon({{0, 0}, {2, 2}, {2, 0}, {0, 2}});
  path *square = polygon({{0, 0}, {2, 0}, {2, 2}, {0, 2}});
  path *gear = gearOutline();
  path *disc = circle(0, 0, 1);
  path *disc2 = circle(1.5, 0, 1);
  path *inner = polygon({{-0.5, -0.5}, {0.5, -0.5}, {0.5, 0.5}, {-0.5, 0.5}});
  path *crossing = polygon({{0.5, -0.2}, {3, -0.2}, {3, 0.2}, {0.5, 0.2}});
  path *touching = polygon({{2, 0}, {4, 0}, {4, 2}, {2, 2}});  // shares an edge with square
  EXPECT_EQ(check_intersections_paths(eight, eight), 5);
  EXPECT_EQ(check_intersections_paths(square, square), 0);
  EXPECT_EQ(check_intersections_paths(gear, gear), 0);
  EXPECT_EQ(check_intersections_paths(disc, disc), 0);
  EXPECT_EQ(check_intersections_paths(disc, disc2), 5);
  EXPECT_EQ(check_intersections_paths(disc, inner), 0);
  EXPECT_EQ(check_intersections_paths(disc, crossing), 5);
  EXPECT_EQ(check_intersections_paths(crossing, disc), 5);
  EXPECT_EQ(check_intersections_paths(square, touching), 0);
  path *shifted = polygon({{1, 1}, {3, 1}, {3, 3}, {1, 3}});
  EXPECT_EQ(check_intersections_paths(square, shifted), 5);
  EXPECT_EQ(check_intersections_paths(square, eight), 0);  // corners and collinear sides only
  // A gear turned by half a pitch against itself crosses at every flank.
  shape *g2 = shapeOf({gearOutline()});
  rotate2D_(g2, 0, 0, kPi / 12);
  EXPECT_EQ(check_intersections_paths(gear, g2->paths[0]), 5);
  delete_shape_(g2);
  delete_shape_(shapeOf({eight, square, gear, disc, disc2, inner, crossing, touching, shifted}));
}

TEST_F(Intersections, EdgeMidpoints) {
  // Middle of an arc, from its start to its end or met backwards.
  const auto middle = [](const Arc &a, bool backwards, double x, double y) {
    point out = at(9, 9);
    out.tag = 3;
    const point *s = a.p->first, *e = s->next->next;
    intermpoint(&out, backwards ? e : s, backwards ? s : e);
    EXPECT_NEAR(out.x, x, 1e-15);
    EXPECT_NEAR(out.y, y, 1e-15);
    EXPECT_EQ(out.tag, 0);
  };
  middle(Arc(0, 0, 2, 0, kPi / 2, KIV_CCW), false, std::sqrt(2.0), std::sqrt(2.0));
  middle(Arc(0, 0, 2, 0, kPi / 2, KIV_CCW), true, std::sqrt(2.0), std::sqrt(2.0));
  middle(Arc(0, 0, 1, 3 * kPi / 4, 5 * kPi / 4, KIV_CCW), false, -1, 0);  // across the negative x axis
  middle(Arc(0, 0, 1, kPi / 4, -kPi / 4, KIV_CW), false, 1, 0);
  middle(Arc(0, 0, 1, 0, -kPi / 2, KIV_CCW), false, std::cos(3 * kPi / 4), std::sin(3 * kPi / 4));
  path *seg = polygon({{1, 2}, {3, 6}, {0, 9}});
  point out;
  intermpoint(&out, seg->first, seg->first->next);
  EXPECT_EQ(out.x, 2.0);
  EXPECT_EQ(out.y, 4.0);
  delete_shape_(shapeOf({seg}));
}

// A path of n plain vertices on a circle carrying the given tags.
path *tagged(std::initializer_list<int> tags) {
  path *p = create_path();
  int i = 0;
  for (int t : tags) {
    point *n = add_last_Rtheta_(p, 1.0, 0.3 * i++);
    n->tag = t;
  }
  return p;
}

std::vector<int> tagsOf(const path *p) {
  std::vector<int> out;
  const point *n = p->first;
  do {
    out.push_back(n->tag);
    n = n->next;
  } while (n != p->first);
  return out;
}

TEST_F(Intersections, FindNextExit) {
  path *p = tagged({0, 3, 0, 2, 0, 2, 0});
  p->orientation = KIV_ORIENT_CCW;
  point *start = p->first->next;  // tag 3
  EXPECT_EQ(find_next_exit(start, KIV_ORIENT_CCW), start->next->next);
  EXPECT_EQ(find_next_exit(start, KIV_ORIENT_CW), p->first->previous->previous);
  point *exit = start->next->next;
  EXPECT_EQ(find_next_exit(exit, KIV_ORIENT_CCW), exit);
  exit->tag = 0;
  p->first->previous->previous->tag = 0;
  EXPECT_EQ(find_next_exit(start, KIV_ORIENT_CCW), nullptr);
  EXPECT_EQ(find_next_exit(nullptr, 0), nullptr);
  delete_path_(p);
  std::free(p);
}

TEST_F(Intersections, FalseIntersectionsAreConsumedWithTheirPartners) {
  path *a = tagged({0, 3, 0, 3, 2, 0, 2, 2});
  path *b = tagged({3, 2, 0, 1});
  a->unvisited = 5;
  b->unvisited = 3;
  point *n1 = a->first->next, *n6 = a->first->previous->previous;
  n1->partner = b->first;  // an entry whose partner is still live
  b->first->partner = n1;
  n6->partner = b->first->next->next;  // partner plain: left alone
  shape *s = shapeOf({a});
  EXPECT_EQ(check_for_false_intersections(s), 2);
  EXPECT_EQ(tagsOf(a), (std::vector<int>{0, 5, 0, 3, 2, 0, 5, 2}));
  EXPECT_EQ(a->unvisited, 3);
  EXPECT_EQ(tagsOf(b), (std::vector<int>{5, 2, 0, 1}));
  EXPECT_EQ(b->unvisited, 2);
  // A path with at most one unvisited intersection is left alone.
  path *c = tagged({3, 3});
  c->unvisited = 1;
  shape *t = shapeOf({c});
  EXPECT_EQ(check_for_false_intersections(t), 0);
  delete_shape_(s);
  delete_shape_(t);
  delete_path_(b);
  std::free(b);
}

TEST_F(Intersections, DoubleIntersectionsBecomeTouchesOnThePartnerSide) {
  path *a = polygon({{0, 0}, {1, 0}, {1, 5e-13}, {2, 0}, {2, 2}, {0, 2}});
  path *b = polygon({{1, -1}, {1, 0}, {1, 1e-13}, {1, 3}});
  point *p = a->first->next, *q = p->next, *pp = b->first->next, *qq = pp->next;
  p->tag = q->tag = pp->tag = qq->tag = KIV_TAG_INTERSECTION;
  p->partner = pp;
  pp->partner = p;
  q->partner = qq;
  qq->partner = q;
  a->unvisited = 2;
  b->unvisited = 2;
  shape *s = shapeOf({a});
  EXPECT_EQ(check_for_double_intersections(s), 1);
  EXPECT_EQ(size_path_(a), 4);
  EXPECT_EQ(a->unvisited, 0);
  EXPECT_EQ(pp->tag, KIV_TAG_TOUCH);
  EXPECT_EQ(qq->tag, KIV_TAG_TOUCH);
  EXPECT_EQ(pp->partner, qq);
  EXPECT_EQ(qq->partner, pp);
  EXPECT_EQ(b->unvisited, 2);

  // The pair holds the first node: the first node moves to what remains.
  path *c = polygon({{0, 0}, {0, 1e-13}, {3, 0}, {3, 3}});
  c->first->tag = c->first->next->tag = KIV_TAG_INTERSECTION;
  c->unvisited = 3;
  shape *t = shapeOf({c});
  EXPECT_EQ(check_for_double_intersections(t), 1);
  EXPECT_EQ(size_path_(c), 2);
  EXPECT_EQ(c->first->x, 3.0);
  EXPECT_EQ(c->first->y, 0.0);
  EXPECT_EQ(c->unvisited, 1);
  // Apart by more than 1e-12: kept.
  path *d = polygon({{0, 0}, {0, 2e-12}, {3, 0}});
  d->first->tag = d->first->next->tag = KIV_TAG_INTERSECTION;
  d->unvisited = 2;
  shape *u = shapeOf({d});
  EXPECT_EQ(check_for_double_intersections(u), 0);
  EXPECT_EQ(size_path_(d), 3);
  for (shape *x : {s, t, u}) delete_shape_(x);
  delete_path_(b);
  std::free(b);
}

TEST_F(Intersections, OrderingGroups) {
  ordering_group g;
  g.count = 4;
  g.kind = 1;
  g.entries = static_cast<ordering_entry *>(std::malloc(4 * sizeof(ordering_entry)));
  path dummy[4];
  const int depths[] = {2, 0, 3, 0};
  for (int i = 0; i < 4; ++i) g.entries[i] = {&dummy[i], depths[i]};
  std::qsort(g.entries, 4, sizeof(ordering_entry), set_path_order);
  EXPECT_EQ(g.entries[0].depth, 0);
  EXPECT_EQ(g.entries[1].depth, 0);
  EXPECT_EQ(g.entries[2].ref, &dummy[0]);
  EXPECT_EQ(g.entries[3].ref, &dummy[2]);
  EXPECT_EQ(set_path_order(&g.entries[0], &g.entries[1]), 0);
  EXPECT_EQ(set_path_order(&g.entries[3], &g.entries[0]), 1);
  EXPECT_EQ(set_path_order(&g.entries[0], &g.entries[3]), -1);
  Ordering_free_group(&g);
  EXPECT_EQ(g.entries, nullptr);
  EXPECT_EQ(g.count, 0);
  Ordering_free_group(&g);
  Ordering_free_group(nullptr);
}

}  // namespace
