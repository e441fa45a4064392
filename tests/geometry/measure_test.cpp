// Areas, perimeters, arcs, transforms, bounds and mapping against closed forms.
#include <gmock/gmock.h>

#include <cstring>
#include <vector>

#include "support/kiv_test.hpp"
#include "tests/geometry/outlines.hpp"

namespace {

using namespace kiv::geomtest;
using Measures = kiv::test::SystemTest;

// The circular segment between the chord and an arc of span theta on the
// circle (cx, cy, r), starting at angle a0, run in the given direction.
path *circularSegment(double cx, double cy, double r, double a0, double theta, int direction) {
  const double a1 = direction == KIV_CCW ? a0 + theta : a0 - theta;
  path *p = create_path();
  add_last_xy_(p, cx + r * std::cos(a0), cy + r * std::sin(a0));
  addCentre(p, cx, cy, r, theta <= kPi ? KIV_ARC_MINOR : KIV_ARC_MAJOR, direction);
  add_last_xy_(p, cx + r * std::cos(a1), cy + r * std::sin(a1));
  return p;
}

double segmentArea(double r, double theta) { return r * r / 2 * (theta - std::sin(theta)); }

TEST_F(Measures, PolygonsAndHoles) {
  shape *sq = shapeOf({polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}})});
  shape *cw = shapeOf({polygon({{0, 0}, {0, 1}, {1, 1}, {1, 0}})});
  shape *holed = shapeOf({polygon({{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}),
                          polygon({{-0.5, -0.5}, {-0.5, 0.5}, {0.5, 0.5}, {0.5, -0.5}})});
  EXPECT_DOUBLE_EQ(area2D_(sq), 1.0);
  EXPECT_DOUBLE_EQ(area2D_(cw), -1.0);
  EXPECT_DOUBLE_EQ(area2D_(holed), 3.0);
  EXPECT_DOUBLE_EQ(perimeter2D_(sq), 4.0);
  EXPECT_DOUBLE_EQ(perimeter2D_(holed), 12.0);
  shape *empty = create_shape();
  EXPECT_EQ(area2D_(empty), 0.0);
  EXPECT_EQ(perimeter2D_(empty), 0.0);
  EXPECT_EQ(area2D_(nullptr), 0.0);
  for (shape *s : {sq, cw, holed, empty}) delete_shape_(s);
}

TEST_F(Measures, CirclesSectorsAndAnnuli) {
  shape *ccw = shapeOf({circle(0, 0, 1)});
  shape *cw = shapeOf({circle(0, 0, 1, KIV_CW)});
  EXPECT_NEAR(area2D_(ccw), kPi, 1e-15);
  EXPECT_NEAR(area2D_(cw), -kPi, 1e-15);
  EXPECT_NEAR(perimeter2D_(ccw), 2 * kPi, 1e-15);
  shape *far = shapeOf({circle(30, -70, 5)});
  EXPECT_NEAR(area2D_(far), 25 * kPi, 1e-12);
  EXPECT_NEAR(perimeter2D_(far), 10 * kPi, 1e-12);
  shape *annulus = shapeOf({circle(1, 2, 3), circle(1, 2, 1, KIV_CW)});
  EXPECT_NEAR(area2D_(annulus), 8 * kPi, 1e-13);
  EXPECT_NEAR(perimeter2D_(annulus), 8 * kPi, 1e-13);

  // Quarter sector: the centre, then the arc between two vertices.
  path *quarter = create_path();
  add_last_xy_(quarter, 0, 0);
  add_last_xy_(quarter, 2, 0);
  addCentre(quarter, 0, 0, 2, KIV_ARC_MINOR, KIV_CCW);
  add_last_xy_(quarter, 0, 2);
  shape *q = shapeOf({quarter});
  EXPECT_NEAR(area2D_(q), kPi, 1e-14);
  EXPECT_NEAR(perimeter2D_(q), 4 + kPi, 1e-14);

  // Three-quarter disc: legs with a negative cross product, kind 2.
  path *three = create_path();
  add_last_xy_(three, 0, 0);
  add_last_xy_(three, 1, 0);
  addCentre(three, 0, 0, 1, KIV_ARC_MAJOR, KIV_CCW);
  add_last_xy_(three, 0, -1);
  shape *t = shapeOf({three});
  EXPECT_NEAR(area2D_(t), 3 * kPi / 4, 1e-15);
  EXPECT_NEAR(perimeter2D_(t), 2 + 3 * kPi / 2, 1e-15);
  for (shape *s : {ccw, cw, far, annulus, q, t}) delete_shape_(s);
}

TEST_F(Measures, CircularSegmentsOfEverySpanInBothDirections) {
  for (double theta : {0.05, 1.0, 2.0, 3.0, kPi - 1e-3, kPi - 1e-7, kPi, kPi + 1e-7, kPi + 1e-3, 4.0, 5.5, 2 * kPi - 0.01}) {
    for (double a0 : {0.0, 0.7, 2.5, -2.0}) {
      for (int dir : {KIV_CCW, KIV_CW}) {
        SCOPED_TRACE(testing::Message() << "theta " << theta << " a0 " << a0 << " dir " << dir);
        path *p = circularSegment(3, -4, 2.5, a0, theta, dir);
        const double sign = dir == KIV_CCW ? 1 : -1;
        EXPECT_NEAR(area2D_path_(p), sign * segmentArea(2.5, theta), 1e-12);
        EXPECT_NEAR(area2D_path_(p), referenceArea(p), 1e-12);
        shape *s = shapeOf({p});
        EXPECT_NEAR(perimeter2D_(s), 2.5 * theta + 2 * 2.5 * std::sin(std::min(theta, 2 * kPi - theta) / 2), 1e-12);
        delete_shape_(s);
      }
    }
  }
}

TEST_F(Measures, TinyArcsMeasureNearlyNothingOrNearlyACircle) {
  // A kind-1 arc over a chord of 1e-13: the legs are almost parallel.
  for (int dir : {KIV_CCW, KIV_CW}) {
    shape *s = shapeOf({circularSegment(0, 0, 1, 0.3, 1e-13, dir)});
    EXPECT_NEAR(area2D_(s), 0.0, 1e-15);
    EXPECT_NEAR(perimeter2D_(s), 2e-13, 1e-15);
    delete_shape_(s);
  }
  // The same chord closed the long way round is almost the whole circle.
  for (int dir : {KIV_CCW, KIV_CW}) {
    shape *s = shapeOf({circularSegment(0, 0, 1, 0.3, 2 * kPi - 1e-13, dir)});
    EXPECT_NEAR(area2D_(s), dir == KIV_CCW ? kPi : -kPi, 1e-12);
    EXPECT_NEAR(perimeter2D_(s), 2 * kPi, 1e-12);
    delete_shape_(s);
  }
}

TEST_F(Measures, GearOutlineAgainstReferenceAndUnderMotion) {
  shape *g = shapeOf({gearOutline()});
  const double a = area2D_(g), l = perimeter2D_(g);
  EXPECT_NEAR(a, referenceArea(g->paths[0]), 1e-12 * a);
  EXPECT_NEAR(l, referencePerimeter(g->paths[0]), 1e-12 * l);
  EXPECT_GT(a, kPi * 64);
  EXPECT_LT(a, kPi * 100);
  // Radial-flank teeth have an exact area: annular sectors.
  shape *radial = shapeOf({gearOutline(12, 8, 10, 1)});
  EXPECT_NEAR(area2D_(radial), referenceArea(radial->paths[0]), 1e-12 * a);

  shape *r = nullptr;
  xCD_copy_shape_reversed_(g, &r);
  EXPECT_NEAR(area2D_(r), -a, 1e-12 * a);
  EXPECT_NEAR(perimeter2D_(r), l, 1e-12 * l);
  for (double theta : {0.3, kPi / 6, 2.0, -1.2}) {
    rotate2D_(g, 1.5, -2.0, theta);
    EXPECT_NEAR(area2D_(g), a, 1e-12 * a);
    EXPECT_NEAR(perimeter2D_(g), l, 1e-12 * l);
  }
  translate2D_(g, 1000.0, -500.0);
  EXPECT_NEAR(area2D_(g), a, 1e-11 * a);
  EXPECT_NEAR(perimeter2D_(g), l, 1e-11 * l);
  for (shape *s : {g, radial, r}) delete_shape_(s);
}

TEST_F(Measures, InsertArcPlacesTheCentreBySideAndKind) {
  struct Case {
    int dir, kind;
    double cy;  // centre ordinate for the chord (0,0)-(1,0), radius 1
    double area;
  };
  const double h = std::sqrt(0.75);
  const Case cases[] = {{KIV_CCW, KIV_ARC_MINOR, h, segmentArea(1, kPi / 3)},
                        {KIV_CW, KIV_ARC_MINOR, -h, -segmentArea(1, kPi / 3)},
                        {KIV_CCW, KIV_ARC_MAJOR, -h, segmentArea(1, 5 * kPi / 3)},
                        {KIV_CW, KIV_ARC_MAJOR, h, -segmentArea(1, 5 * kPi / 3)}};
  for (const Case &c : cases) {
    path *p = polygon({{0, 0}, {1, 0}});
    point *centre = insertarc_(p->first, p->first->next, 1.0, c.kind, c.dir);
    ASSERT_NE(centre, nullptr);
    EXPECT_EQ(centre->previous, p->first);
    EXPECT_EQ(centre->owner, p);
    EXPECT_EQ(centre->arc, c.kind);
    EXPECT_EQ(centre->direction, c.dir);
    EXPECT_EQ(centre->radius, 1.0);
    EXPECT_EQ(centre->label, -1);
    EXPECT_NEAR(centre->x, 0.5, 1e-15);
    EXPECT_NEAR(centre->y, c.cy, 1e-15);
    EXPECT_NEAR(area2D_path_(p), c.area, 1e-14);
    delete_path_(p);
    std::free(p);
  }
}

TEST_F(Measures, InsertArcRefusesImpossibleArcs) {
  path *p = polygon({{0, 0}, {2 + 2e-10, 0}, {5, 5}});
  EXPECT_EQ(insertarc_(p->first, p->first->next, 1.0, KIV_ARC_MINOR, KIV_CCW), nullptr);
  EXPECT_EQ(insertarc_(p->first, p->first->next, 1.1, KIV_ARC_MINOR, 3), nullptr);
  EXPECT_EQ(insertarc_(p->first, p->first->next, 1.1, 0, KIV_CCW), nullptr);
  EXPECT_EQ(insertarc_(p->first, p->first->next, 0.0, KIV_ARC_MINOR, KIV_CCW), nullptr);
  // Start equal to end: no chord, no centre (never a NaN node).
  EXPECT_EQ(insertarc_(p->first, p->first, 1.0, KIV_ARC_MINOR, KIV_CCW), nullptr);
  EXPECT_EQ(size_path_(p), 3);
  // Exactly a diameter apart: a half circle of kind 1 whatever was asked.
  p->first->next->x = 2.0;
  point *c = insertarc_(p->first, p->first->next, 1.0, KIV_ARC_MAJOR, KIV_CW);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->arc, KIV_ARC_MINOR);
  EXPECT_EQ(c->x, 1.0);
  EXPECT_EQ(c->y, 0.0);
  delete_path_(p);
  std::free(p);
}

TEST_F(Measures, SplitArcKeepsTheCircleAndTheArea) {
  // Kind 1 at its middle.
  path *p = circularSegment(0, 0, 1, 0, kPi / 2, KIV_CCW);
  const double before = area2D_path_(p);
  point q;
  initialized_point(&q);
  q.x = q.y = std::sqrt(0.5);
  point *c = p->first->next;
  point *n = splitarc_(c, &q);
  EXPECT_EQ(n->previous, c);
  EXPECT_EQ(n->arc, 0);
  point *c2 = n->next;
  EXPECT_EQ(c2->arc, KIV_ARC_MINOR);
  EXPECT_EQ(c->arc, KIV_ARC_MINOR);
  EXPECT_EQ(c2->radius, 1.0);
  EXPECT_EQ(c2->x, 0.0);
  EXPECT_EQ(c2->direction, KIV_CCW);
  EXPECT_EQ(size_path_(p), 5);
  EXPECT_NEAR(area2D_path_(p), before, 1e-15);
  delete_path_(p);
  std::free(p);

  // 270 degrees split at 45, 162, 198 and 225 degrees from the start, both ways.
  struct Case {
    int dir;
    double at;
    int first, second;
  };
  const Case cases[] = {{KIV_CCW, kPi / 4, 1, 2},     {KIV_CCW, 0.9 * kPi, 1, 1}, {KIV_CCW, 1.1 * kPi, 2, 1},
                        {KIV_CCW, 5 * kPi / 4, 2, 1}, {KIV_CW, kPi / 4, 1, 2},    {KIV_CW, 0.9 * kPi, 1, 1},
                        {KIV_CW, 1.1 * kPi, 2, 1},    {KIV_CW, 5 * kPi / 4, 2, 1}};
  for (const Case &k : cases) {
    SCOPED_TRACE(testing::Message() << "dir " << k.dir << " at " << k.at);
    path *m = circularSegment(1, 1, 2, 0.4, 3 * kPi / 2, k.dir);
    const double whole = area2D_path_(m);
    const double a = 0.4 + (k.dir == KIV_CCW ? k.at : -k.at);
    q.x = 1 + 2 * std::cos(a);
    q.y = 1 + 2 * std::sin(a);
    point *cc = m->first->next;
    point *nn = splitarc_(cc, &q);
    EXPECT_EQ(cc->arc, k.first);
    EXPECT_EQ(nn->next->arc, k.second);
    EXPECT_NEAR(area2D_path_(m), whole, 1e-13);
    EXPECT_NEAR(referenceArea(m), whole, 1e-13);
    delete_path_(m);
    std::free(m);
  }
}

TEST_F(Measures, AngleFolding) {
  EXPECT_NEAR(fmod_mpp_(3 * kPi / 2, 2 * kPi), -kPi / 2, 1e-15);
  EXPECT_NEAR(fmod_2p_(-kPi / 2, 2 * kPi), 3 * kPi / 2, 1e-15);
  EXPECT_NEAR(fmod_m2p_(kPi / 2, 2 * kPi), -3 * kPi / 2, 1e-15);
  EXPECT_NEAR(fmod_mpp_(-3 * kPi / 2, 2 * kPi), kPi / 2, 1e-15);
  EXPECT_NEAR(fmod_mpp_(7.0, 2 * kPi), 7.0 - 2 * kPi, 1e-15);
  EXPECT_EQ(fmod_2p_(0.0, 2 * kPi), 0.0);
  EXPECT_NEAR(fmod_2p_(13.0, 5.0), 3.0, 1e-15);
  EXPECT_EQ(fmod_m2p_(-1.0, 5.0), -1.0);
  EXPECT_NEAR(fmod_m2p_(-11.0, 5.0), -1.0, 1e-15);
}

TEST_F(Measures, RotationAndTranslationMoveEveryNode) {
  shape *s = shapeOf({circularSegment(2, 0, 1, 0, kPi / 2, KIV_CCW)});
  const auto coords = [s] {
    std::vector<double> v;
    for (const point *n = s->paths[0]->first; v.size() < 6; n = n->next) v.insert(v.end(), {n->x, n->y});
    return v;
  };
  const std::vector<double> before = coords();
  rotate2D_(s, 5.0, 7.0, 0.0);
  const std::vector<double> after = coords();
  EXPECT_EQ(std::memcmp(before.data(), after.data(), before.size() * sizeof(double)), 0);

  // A quarter turn about (2, 0): the start (3, 0) goes to (2, 1), the centre stays.
  rotate2D_(s, 2.0, 0.0, kPi / 2);
  const point *p = s->paths[0]->first;
  EXPECT_NEAR(p->x, 2.0, 1e-15);
  EXPECT_NEAR(p->y, 1.0, 1e-15);
  EXPECT_NEAR(p->next->x, 2.0, 1e-15);
  EXPECT_NEAR(p->next->y, 0.0, 1e-15);
  // About the origin: the centre (2, 0) turns to (0, 2).
  rotate2D_(s, 0.0, 0.0, kPi / 2);
  EXPECT_NEAR(p->next->x, 0.0, 1e-15);
  EXPECT_NEAR(p->next->y, 2.0, 1e-15);
  translate2D_(s, -1.0, 0.5);
  EXPECT_NEAR(p->next->x, -1.0, 1e-15);
  EXPECT_NEAR(p->next->y, 2.5, 1e-15);
  EXPECT_EQ(p->next->radius, 1.0);
  EXPECT_NEAR(area2D_(s), segmentArea(1, kPi / 2), 1e-15);
  translate2D_(nullptr, 1, 1);
  rotate2D_(nullptr, 0, 0, 1);
  delete_shape_(s);
}

TEST_F(Measures, MovedCopiesAreFreshNodesAtTheMappedPlaces) {
  shape *s = shapeOf({circularSegment(2, 0, 1, 0, kPi / 2, KIV_CCW)});
  s->kind = 2;
  s->paths[0]->orientation = KIV_ORIENT_CCW;
  s->paths[0]->first->tag = 3;
  s->paths[0]->first->label = 4;
  shape *m = nullptr;
  xCD_copy_shape_moved_(s, &m, 0, 0, kPi / 2, 1, 2);
  ASSERT_EQ(m->npaths, 1);
  EXPECT_EQ(m->kind, 2);
  EXPECT_EQ(m->paths[0]->orientation, KIV_ORIENT_NONE);
  const point *p = m->paths[0]->first;
  EXPECT_EQ(p->tag, 0);
  EXPECT_EQ(p->label, -1);
  EXPECT_NEAR(p->x, 1.0, 1e-15);  // (3, 0) turned to (0, 3), then shifted
  EXPECT_NEAR(p->y, 5.0, 1e-15);
  EXPECT_EQ(p->next->arc, KIV_ARC_MINOR);
  EXPECT_EQ(p->next->direction, KIV_CCW);
  EXPECT_EQ(p->next->radius, 1.0);
  EXPECT_NEAR(area2D_(m), area2D_(s), 1e-14);
  delete_shape_(m);
  // With a shift: the point is shifted, turned, then carried along the turn by |shift|.
  xCD_copy_shape_moved_(s, &m, 1, 0, kPi / 2, 0, 0);
  EXPECT_NEAR(m->paths[0]->first->x, 0.0, 1e-15);
  EXPECT_NEAR(m->paths[0]->first->y, 5.0, 1e-15);
  delete_shape_(m);
  delete_shape_(s);
}

TEST_F(Measures, BoundsFollowArcsNotCentres) {
  // Half disc whose arc bulges to the right of the axis.
  path *half = create_path();
  add_last_xy_(half, 0, -1);
  addCentre(half, 0, 0, 1, KIV_ARC_MINOR, KIV_CCW);
  add_last_xy_(half, 0, 1);
  shape *s = shapeOf({half});
  double t, r, b, l;
  EXPECT_EQ(find_bounds_trbl_(s, &t, &r, &b, &l), 0);
  EXPECT_EQ(t, 1.0);
  EXPECT_EQ(r, 1.0);
  EXPECT_EQ(b, -1.0);
  EXPECT_EQ(l, 0.0);
  // Three-quarter disc: its arc reaches left, top and bottom, not right.
  path *three = create_path();
  add_last_xy_(three, 0, 0);
  add_last_xy_(three, 0, 2);
  addCentre(three, 0, 0, 2, KIV_ARC_MAJOR, KIV_CCW);
  add_last_xy_(three, 2, 0);
  shape *u = shapeOf({three});
  EXPECT_EQ(find_bounds_trbl_(u, &t, &r, &b, &l), 0);
  EXPECT_EQ(t, 2.0);
  EXPECT_EQ(r, 2.0);
  EXPECT_EQ(b, -2.0);
  EXPECT_EQ(l, -2.0);
  // Turned so that tip arcs pass through the four axis directions.
  shape *g = shapeOf({gearOutline()});
  rotate2D_(g, 0, 0, -20 * kPi / 180);
  EXPECT_EQ(find_bounds_trbl_(g, &t, &r, &b, &l), 0);
  EXPECT_NEAR(t, 10.0, 1e-12);
  EXPECT_NEAR(r, 10.0, 1e-12);
  EXPECT_NEAR(b, -10.0, 1e-12);
  EXPECT_NEAR(l, -10.0, 1e-12);
  // Turned back, no tip holds an axis direction: the tip corners bound it.
  rotate2D_(g, 0, 0, 20 * kPi / 180);
  EXPECT_EQ(find_bounds_trbl_(g, &t, &r, &b, &l), 0);
  EXPECT_NEAR(r, 10.0 * std::cos(4 * kPi / 180), 1e-12);
  EXPECT_EQ(takeErr(), "");
  shape *empty = create_shape();
  t = r = b = l = 5;
  EXPECT_EQ(find_bounds_trbl_(empty, &t, &r, &b, &l), -1);
  EXPECT_EQ(t + r + b + l, 0.0);
  EXPECT_EQ(takeErr(), "Current shape is empty, cannot find relevant bounds.\n");
  for (shape *x : {s, u, g, empty}) delete_shape_(x);
}

TEST_F(Measures, PolarBounds) {
  double r0, r1, t0, t1;
  shape *around = shapeOf({polygon({{1, 1}, {-1, 1}, {-1, -1}, {1, -1}})});
  EXPECT_EQ(find_bounds_rtheta_(around, &r0, &r1, &t0, &t1), 0);
  EXPECT_NEAR(r0, std::sqrt(2.0), 1e-15);
  EXPECT_NEAR(r1, std::sqrt(2.0), 1e-15);
  EXPECT_NEAR(t0, kPi / 4, 1e-15);
  EXPECT_NEAR(t1 - t0, 2 * kPi - kPi / 2, 1e-15);

  shape *left = shapeOf({polygon({{-3, -1}, {-1, -1}, {-1, 1}, {-3, 1}})});
  EXPECT_EQ(find_bounds_rtheta_(left, &r0, &r1, &t0, &t1), 0);
  EXPECT_NEAR(t0, 3 * kPi / 4, 1e-15);
  EXPECT_NEAR(t1, 5 * kPi / 4, 1e-15);
  EXPECT_NEAR(r0, std::sqrt(2.0), 1e-15);
  EXPECT_NEAR(r1, std::sqrt(10.0), 1e-15);

  // Several paths: the one of largest signed area gives the bounds.
  shape *two = shapeOf({polygon({{1, 1}, {2, 1}, {2, 2}, {1, 2}}), polygon({{1, 0}, {4, 0}, {4, 3}, {1, 3}})});
  EXPECT_EQ(find_bounds_rtheta_(two, &r0, &r1, &t0, &t1), 0);
  EXPECT_NEAR(r0, 1.0, 1e-15);
  EXPECT_NEAR(r1, 5.0, 1e-15);
  EXPECT_NEAR(t0, 0.0, 1e-15);
  EXPECT_NEAR(t1, std::atan2(3.0, 1.0), 1e-15);

  shape *g = shapeOf({gearOutline()});
  EXPECT_EQ(find_bounds_rtheta_(g, &r0, &r1, &t0, &t1), 0);
  EXPECT_NEAR(r0, 8.0, 1e-12);
  EXPECT_NEAR(r1, 10.0, 1e-12);
  EXPECT_LT(t1 - t0, 2 * kPi);
  EXPECT_GT(t1 - t0, 2 * kPi - 0.1);

  EXPECT_EQ(find_bounds_rtheta_(nullptr, &r0, &r1, &t0, &t1), -1);
  EXPECT_EQ(r0 + r1 + t0 + t1, 0.0);
  EXPECT_EQ(takeErr(), "Current shape is empty, cannot find relevant bounds.\n");
  for (shape *x : {around, left, two, g}) delete_shape_(x);
}

TEST_F(Measures, MappingSnapsNearbyNodes) {
  // Vertex onto vertex.
  path *a = polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  path *b = polygon({{1 + 5e-11, 1 - 5e-11}, {3, 1}, {3, 3}});
  mappathonpath_(a->first, a->first, b->first, b->first, 1e-10);
  EXPECT_EQ(a->first->next->next->x, 1 + 5e-11);
  EXPECT_EQ(a->first->next->next->y, 1 - 5e-11);

  // Vertex onto an arc: moved along the ray from the centre.
  path *c = polygon({{0, 0}, {5.0 / std::sqrt(2.0) - 4e-11, 5.0 / std::sqrt(2.0)}, {0, 6}});
  path *arc = circularSegment(0, 0, 5, 0, kPi / 2, KIV_CCW);
  mappathonpath_(c->first, c->first, arc->first, arc->first, 1e-10);
  const point *v = c->first->next;
  EXPECT_NEAR(std::hypot(v->x, v->y), 5.0, 1e-14);
  EXPECT_NEAR(std::atan2(v->y, v->x), std::atan2(5.0 / std::sqrt(2.0), 5.0 / std::sqrt(2.0) - 4e-11), 1e-15);

  // A vertex of the other contour near the inside of an arc splits it.
  path *d = circularSegment(0, 0, 5, 0, kPi / 2, KIV_CCW);
  const double whole = area2D_path_(d);
  path *e = polygon({{5 * std::cos(0.5), 5 * std::sin(0.5) + 6e-11}, {9, 9}, {9, 0}});
  mappathonpath_(d->first, d->first, e->first, e->first, 1e-10);
  ASSERT_EQ(size_path_(d), 5);
  const point *split = d->first->next->next;
  EXPECT_EQ(split->x, e->first->x);
  EXPECT_EQ(split->y, e->first->y);
  EXPECT_NEAR(std::hypot(split->x, split->y), 5.0, 1e-14);
  EXPECT_NEAR(area2D_path_(d), whole, 1e-13);
  // An arc end near a vertex takes the vertex's place; nothing is split.
  path *f = circularSegment(0, 0, 5, 0, kPi / 2, KIV_CCW);
  path *h = polygon({{5 + 3e-11, 2e-11}, {9, -9}, {9, 0}});
  mappathonpath_(f->first, f->first, h->first, h->first, 1e-10);
  EXPECT_EQ(size_path_(f), 3);
  EXPECT_EQ(f->first->x, 5 + 3e-11);
  EXPECT_EQ(f->first->y, 2e-11);

  // Onto a segment of the other contour.
  path *g = polygon({{1, 5e-11}, {1, 4}, {-1, 4}});
  path *k = polygon({{0, 0}, {2, 0}, {2, -2}});
  path *far = polygon({{1, 3e-10}, {1, 4}, {-1, 4}});
  check_mapping_(g->first, g->first, k->first, k->first);
  check_mapping_(far->first, far->first, k->first, k->first);
  EXPECT_EQ(g->first->y, 0.0);
  EXPECT_EQ(far->first->y, 3e-10);
  delete_shape_(shapeOf({a, b, c, arc, d, e, f, h, g, k, far}));
}

}  // namespace
