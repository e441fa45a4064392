// Meeting points of segments and arcs, crossing tests between paths, and
// the helpers of the boolean walk.
#include <gmock/gmock.h>

#include <tuple>
#include <vector>

#include "support/kiv_test.hpp"
#include "tests/geometry/outlines.hpp"

namespace {

using namespace kiv::geomtest;
using Intersections = kiv::test::SystemTest;

// Segments against (0, 0)-(2, 0): crossing (both ways round, so the
// determinant changes sign); touching with an end on it; parallel or
// collinear, never meeting whatever the overlap; apart, or on a line that
// crosses beyond its end; within the tolerance of the second segment's end,
// a touch there; within the tolerance of the first segment's end a crossing
// is a touch, but the boxes take no tolerance, so just past it nothing meets.
TEST_F(Intersections, SegmentAndSegment) {
  const double t = 1e-6;
  const struct {
    Xy b1, b2;
    double tol;
    int code;
    double x = 0, y = 0;
  } cases[] = {{{0, 1}, {2, -1}, 1e-11, 3, 1, 0},      {{2, -1}, {0, 1}, 1e-11, 3, 1, 0},
               {{1, 0}, {1, 1}, 1e-11, 1, 1, 0},       {{2, -1}, {2, 1}, 1e-11, 1, 2, 0},
               {{1, 0}, {3, 0}, 1e-11, 0},             {{0, 1}, {2, 1}, 1e-11, 0},
               {{3, -1}, {4, 1}, 1e-11, 0},            {{2.5, -1}, {2.5, 1}, 1e-11, 0},
               {{1.5, -1}, {1.5, 1}, 1e-11, 3, 1.5},   {{1, -1}, {1, t / 2}, t, 1, 1, t / 2},
               {{2 - t, -1}, {2 - t, 1}, t, 1, 2 - t}, {{2 - 4 * t, -1}, {2 - 4 * t, 1}, t, 3, 2 - 4 * t},
               {{2 + t / 2, -1}, {2 + t / 2, 1}, t, 0}};
  const point a1 = at(0, 0), a2 = at(2, 0);
  for (const auto &c : cases) {
    const point b1 = at(c.b1.v[0], c.b1.v[1]), b2 = at(c.b2.v[0], c.b2.v[1]);
    point out = at(7, 7);
    out.tag = 7;
    out.label = 3;
    out.next = &out;
    ASSERT_EQ(computeIntersection_segseg(&a1, &a2, &b1, &b2, c.tol, &out), c.code) << b1.x << " " << b1.y;
    if (c.code == 0) continue;
    EXPECT_LT(deviation({{out.x, out.y}}, {{c.x, c.y}}), 1e-15) << b1.x << " " << b1.y;
    EXPECT_EQ(std::tuple(out.tag, out.label, out.next), std::tuple(0, -1, nullptr));
  }
}

// Segments against the upper half of the unit circle: a line through it
// twice, one whose second point alone lies on the segment, one through the
// centre whose lower point is off the arc, tangent, apart, of zero length,
// and from the centre through a point near the arc (the point on the circle).
TEST_F(Intersections, ArcAndSegment) {
  Arc upper(0, 0, 1, 0, kPi, KIV_CCW);
  const double h = std::sqrt(0.75), n = 1 + 5e-12;
  const struct {
    Xy a, b;
    double tol;
    int code;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  } cases[] = {{{-2, 0.5}, {2, 0.5}, 1e-11, 4, h, 0.5, -h, 0.5}, {{-2, 0.5}, {0, 0.5}, 1e-11, 3, -h, 0.5},
               {{0, -2}, {0, 2}, 1e-11, 3, 0, 1},  {{-2, 1}, {2, 1}, 1e-11, 0}, {{-2, -0.5}, {2, -0.5}, 1e-11, 0},
               {{0, 2}, {0, 2}, 1e-11, 0},         {{0, 0}, {0.6 * n, 0.8 * n}, 1e-10, 3, 0.6, 0.8}};
  for (const auto &c : cases) {
    double x1, y1, x2, y2;
    ASSERT_EQ(computeIntersection_arcseg(upper.c, c.a.v, c.b.v, c.tol, &x1, &y1, &x2, &y2), c.code) << c.b.v[0];
    if (c.code == 0) continue;
    EXPECT_LT(deviation({{x1, y1}}, {{c.x1, c.y1}}), 1e-15) << c.b.v[0];
    if (c.code != 4) continue;
    EXPECT_LT(deviation({{x2, y2}}, {{c.x2, c.y2}}), 1e-15);
  }
  // Classified with the ends of both: 2 both at ends, 3 one proper crossing,
  // 6 two points not all at ends, 1 only at an end.
  const std::tuple<Xy, Xy, int> classes[] = {{{-2, 0}, {2, 0}, 2}, {{0, 0}, {0, 2}, 3},      {{1, 0}, {-1, 2}, 6},
                                             {{1, 0}, {2, -1}, 1}, {{-2, 0.5}, {2, 0.5}, 6}, {{3, 3}, {4, 4}, 0}};
  for (const auto &[a, b, code] : classes) EXPECT_EQ(checkIntersection_arcseg(upper.c, a.v, b.v), code) << b.v[0];
}

TEST_F(Intersections, ArcAndArcOnDifferentCircles) {
  double p1[2], p2[2];
  const double h = std::sqrt(0.75);
  Arc a(0, 0, 1, 0, kPi, KIV_CCW), b(1, 0, 1, 0, kPi, KIV_CCW);
  ASSERT_EQ(computeIntersection_arcarc(a.c, b.c, 1e-12, p1, p2), 3);
  EXPECT_LT(deviation({{p1[0], p1[1]}}, {{0.5, h}}), 1e-15);
  // Right half of one, left half of the other: both meeting points, as
  // exact far from the origin.
  for (auto [x, y, tol] : {std::tuple(0.0, 0.0, 1e-15), std::tuple(1000.0, -2000.0, 1e-12)}) {
    Arc right(x, y, 1, -kPi / 2, kPi / 2, KIV_CCW), left(x + 1, y, 1, kPi / 2, 3 * kPi / 2, KIV_CCW);
    ASSERT_EQ(computeIntersection_arcarc(right.c, left.c, 1e-12, p1, p2), 4);
    EXPECT_NEAR(p1[0], x + 0.5, tol);
    EXPECT_NEAR(p2[0], x + 0.5, tol);
    EXPECT_NEAR(std::fabs(p1[1] - p2[1]), 2 * h, tol);
  }
  // Apart, nested, and on circles that meet away from the arcs.
  Arc far(5, 0, 1, 0, kPi, KIV_CCW), inner(0.1, 0, 0.3, 0, kPi, KIV_CCW), lower(1, 0, 1, kPi, 2 * kPi, KIV_CCW);
  for (const Arc *o : {&far, &inner, &lower}) EXPECT_EQ(computeIntersection_arcarc(a.c, o->c, 1e-12, p1, p2), 0);
  // Tangent circles meet only where an arc ends: outside at (1, 0) where
  // both end, not inside both arcs, and inside at an end of the smaller arc.
  Arc t1(0, 0, 1, 0, kPi / 2, KIV_CCW), t2(2, 0, 1, kPi / 2, kPi, KIV_CCW);
  ASSERT_EQ(computeIntersection_arcarc(t1.c, t2.c, 1e-12, p1, p2), 3);
  EXPECT_LT(deviation({{p1[0], p1[1]}}, {{1, 0}}), 1e-15);
  Arc c(0, 0, 1, -kPi / 2, kPi / 2, KIV_CCW), d(2, 0, 1, kPi / 2, 3 * kPi / 2, KIV_CCW);
  EXPECT_EQ(computeIntersection_arcarc(c.c, d.c, 1e-12, p1, p2), 0);
  Arc small(0.5, 0, 0.5, 0, kPi, KIV_CCW);
  ASSERT_EQ(computeIntersection_arcarc(c.c, small.c, 1e-12, p1, p2), 3);
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
  EXPECT_EQ(std::pair(p1[0], p2[0]), std::pair(inside.c->previous->x, inside.c->next->x));
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
  EXPECT_EQ(std::pair(p1[0], p2[0]), std::pair(7.0, 7.0));
}

TEST_F(Intersections, CrossingTestBetweenPaths) {
  Shape s = shapeWith({contour({{0, 0}, {2, 2}, {2, 0}, {0, 2}}), rectangle(0, 0, 2, 2), gearOutline(), circle(0, 0, 1),
                       circle(1.5, 0, 1), rectangle(-0.5, -0.5, 0.5, 0.5), rectangle(0.5, -0.2, 3, 0.2),
                       rectangle(2, 0, 4, 2), rectangle(1, 1, 3, 3)});
  path **p = s->paths;
  enum { eight, square, gear, disc, disc2, inner, crossing, touching, shifted };
  const std::tuple<int, int, int> cases[] = {
      {eight, eight, 5},     {square, square, 0},  {gear, gear, 0},     {disc, disc, 0},
      {disc, disc2, 5},      {disc, inner, 0},     {disc, crossing, 5}, {crossing, disc, 5},
      {square, touching, 0}, {square, shifted, 5}, {square, eight, 0}};  // corners and collinear sides only
  for (auto [i, j, code] : cases) EXPECT_EQ(check_intersections_paths(p[i], p[j]), code) << i << " " << j;
  // A gear turned by half a pitch against itself crosses at every flank.
  Shape g2 = shapeWith({gearOutline()});
  rotate2D_(g2.get(), 0, 0, kPi / 12);
  EXPECT_EQ(check_intersections_paths(p[gear], g2->paths[0]), 5);
}

TEST_F(Intersections, EdgeMidpoints) {
  // Middle of an arc, from its start to its end or met backwards, across
  // the negative x axis, clockwise, beyond a half circle; then of a segment.
  const std::tuple<Arc, bool, double, double> arcs[] = {
      {Arc(0, 0, 2, 0, kPi / 2, KIV_CCW), false, std::sqrt(2.0), std::sqrt(2.0)},
      {Arc(0, 0, 2, 0, kPi / 2, KIV_CCW), true, std::sqrt(2.0), std::sqrt(2.0)},
      {Arc(0, 0, 1, 3 * kPi / 4, 5 * kPi / 4, KIV_CCW), false, -1, 0},
      {Arc(0, 0, 1, kPi / 4, -kPi / 4, KIV_CW), false, 1, 0},
      {Arc(0, 0, 1, 0, -kPi / 2, KIV_CCW), false, std::cos(3 * kPi / 4), std::sin(3 * kPi / 4)}};
  for (const auto &[a, backwards, x, y] : arcs) {
    point out = at(9, 9);
    out.tag = 3;
    const point *s = a.p->first, *e = s->previous;
    intermpoint(&out, backwards ? e : s, backwards ? s : e);
    EXPECT_LT(deviation({{out.x, out.y}}, {{x, y}}), 1e-15) << x << " " << y;
    EXPECT_EQ(out.tag, 0);
  }
  Path seg(contour({{1, 2}, {3, 6}, {0, 9}}));
  point out;
  intermpoint(&out, seg->first, seg->first->next);
  EXPECT_EQ(std::pair(out.x, out.y), std::pair(2.0, 4.0));
}

// A path of plain vertices on a circle carrying the given tags.
path *tagged(std::initializer_list<int> tags) {
  path *p = create_path();
  int i = 0;
  for (int t : tags) add_last_Rtheta_(p, 1.0, 0.3 * i++)->tag = t;
  return p;
}

TEST_F(Intersections, FindNextExit) {
  Path p(tagged({0, 3, 0, 2, 0, 2, 0}));
  p->orientation = KIV_ORIENT_CCW;
  point *start = p->first->next, *exit = start->next->next, *back = p->first->previous->previous;
  EXPECT_EQ(find_next_exit(start, KIV_ORIENT_CCW), exit);
  EXPECT_EQ(find_next_exit(start, KIV_ORIENT_CW), back);
  EXPECT_EQ(find_next_exit(exit, KIV_ORIENT_CCW), exit);
  exit->tag = back->tag = 0;
  EXPECT_EQ(find_next_exit(start, KIV_ORIENT_CCW), nullptr);
  EXPECT_EQ(find_next_exit(nullptr, 0), nullptr);
}

TEST_F(Intersections, FalseIntersectionsAreConsumedWithTheirPartners) {
  path *a = tagged({0, 3, 0, 3, 2, 0, 2, 2});
  Path b(tagged({3, 2, 0, 1}));
  a->unvisited = 5;
  b->unvisited = 3;
  point *n1 = a->first->next, *n6 = a->first->previous->previous;
  n1->partner = b->first;  // an entry whose partner is still live
  b->first->partner = n1;
  n6->partner = b->first->next->next;  // partner plain: left alone
  Shape s = shapeWith({a});
  EXPECT_EQ(check_for_false_intersections(s.get()), 2);
  EXPECT_EQ(tagsOf(a), (std::vector<int>{0, 5, 0, 3, 2, 0, 5, 2}));
  EXPECT_EQ(tagsOf(b.get()), (std::vector<int>{5, 2, 0, 1}));
  EXPECT_EQ(std::pair(a->unvisited, b->unvisited), std::pair(3, 2));
  // A path with at most one unvisited intersection is left alone.
  Shape t = shapeWith({tagged({3, 3})});
  t->paths[0]->unvisited = 1;
  EXPECT_EQ(check_for_false_intersections(t.get()), 0);
}

// Merging with partners in a real location is tested with the crossings.
TEST_F(Intersections, DoubleIntersectionsHoldingTheFirstNode) {
  // The pair holds the first node: the first node moves to what remains.
  Shape t = shapeWith({contour({{0, 0}, {0, 1e-13}, {3, 0}, {3, 3}})});
  path *c = t->paths[0];
  c->first->tag = c->first->next->tag = KIV_TAG_INTERSECTION;
  c->unvisited = 3;
  EXPECT_EQ(check_for_double_intersections(t.get()), 1);
  EXPECT_EQ(coords(c), (Coords{{3, 0}, {3, 3}}));
  EXPECT_EQ(c->unvisited, 1);
  // Apart by more than 1e-12: kept.
  Shape u = shapeWith({contour({{0, 0}, {0, 2e-12}, {3, 0}})});
  u->paths[0]->first->tag = u->paths[0]->first->next->tag = KIV_TAG_INTERSECTION;
  u->paths[0]->unvisited = 2;
  EXPECT_EQ(check_for_double_intersections(u.get()), 0);
  EXPECT_EQ(size_path_(u->paths[0]), 3);
}

}  // namespace
