// Areas, perimeters, arcs, transforms, bounds and mapping against closed forms.
#include <gmock/gmock.h>

#include <array>
#include <cstring>
#include <tuple>

#include "support/kiv_test.hpp"
#include "tests/geometry/outlines.hpp"
#include "tests/geometry/reference.hpp"

namespace {

using namespace kiv::geomtest;
using Measures = kiv::test::SystemTest;

double segmentArea(double r, double theta) { return r * r / 2 * (theta - std::sin(theta)); }

// Centre, (r, 0), then the counter-clockwise arc of the given kind to (ex, ey).
path *sector(double r, double ex, double ey, int kind) {
  return contour({{0, 0}, {r, 0}, {0, 0, r, kind, KIV_CCW}, {ex, ey}});
}

TEST_F(Measures, PolygonsCirclesSectorsAndAnnuli) {
  struct Case {
    Shape s;
    double area, perimeter, tol;
  };
  const Case cases[] = {
      {shapeWith({rectangle(0, 0, 1, 1)}), 1, 4, 1e-15},
      {shapeWith({rectangleHole(0, 0, 1, 1)}), -1, 4, 1e-15},
      {shapeWith({rectangle(-1, -1, 1, 1), rectangleHole(-0.5, -0.5, 0.5, 0.5)}), 3, 12, 1e-15},
      {own(create_shape()), 0, 0, 0},
      {shapeWith({circle(0, 0, 1)}), kPi, 2 * kPi, 1e-15},
      {shapeWith({circle(0, 0, 1, 0, KIV_CW)}), -kPi, 2 * kPi, 1e-15},
      {shapeWith({circle(30, -70, 5)}), 25 * kPi, 10 * kPi, 1e-12},
      {shapeWith({circle(1, 2, 3), circle(1, 2, 1, 0, KIV_CW)}), 8 * kPi, 8 * kPi, 1e-13},
      {shapeWith({sector(2, 0, 2, KIV_ARC_MINOR)}), kPi, 4 + kPi, 1e-14},
      // Legs with a negative cross product: the kind-2 sector takes the other sign.
      {shapeWith({sector(1, 0, -1, KIV_ARC_MAJOR)}), 3 * kPi / 4, 2 + 3 * kPi / 2, 1e-15},
  };
  for (const Case &c : cases) {
    EXPECT_NEAR(area2D_(c.s.get()), c.area, c.tol) << c.area;
    EXPECT_NEAR(perimeter2D_(c.s.get()), c.perimeter, c.tol) << c.area;
  }
  EXPECT_EQ(area2D_(nullptr), 0.0);
}

TEST_F(Measures, CircularSegmentsOfEverySpanInBothDirections) {
  // Tiny spans leave the legs almost parallel; near pi the angle comes from
  // the chord's distance to the centre, also where the chord rounds to the
  // diameter (within 2e-8 of pi).
  for (double theta : {1e-13, 0.05, 1.0, 3.0, kPi - 1e-7, kPi - 2e-8, kPi, kPi + 2e-8, kPi + 1e-7, kPi + 1e-3, 4.0,
                       2 * kPi - 0.01, 2 * kPi - 1e-13}) {
    for (double a0 : {0.0, 2.5, -2.0}) {
      for (int dir : {KIV_CCW, KIV_CW}) {
        Shape s = shapeWith({circularSegment(3, -4, 2.5, a0, theta, dir)});
        EXPECT_NEAR(area2D_(s.get()), (dir == KIV_CCW ? 1 : -1) * segmentArea(2.5, theta), 1e-12) << theta << " " << a0;
        EXPECT_NEAR(perimeter2D_(s.get()), 2.5 * theta + 5 * std::sin(std::min(theta, 2 * kPi - theta) / 2), 1e-12)
            << theta;
      }
    }
  }
}

TEST_F(Measures, GearOutlineAgainstReferenceAndUnderMotion) {
  Shape g = shapeWith({gearOutline()});
  const double a = area2D_(g.get()), l = perimeter2D_(g.get());
  EXPECT_NEAR(a, referenceArea(g->paths[0]), 1e-12 * a);
  EXPECT_NEAR(l, referencePerimeter(g->paths[0]), 1e-12 * l);
  rotate2D_(g.get(), 1.5, -2.0, 2.0);
  translate2D_(g.get(), 1000.0, -500.0);
  EXPECT_NEAR(area2D_(g.get()), a, 1e-11 * a);
  EXPECT_NEAR(perimeter2D_(g.get()), l, 1e-11 * l);
}

TEST_F(Measures, InsertArcPlacesTheCentreBySideAndKind) {
  // The chord (0,0)-(1,0), radius 1: the centre sits at (0.5, +-h).
  const double h = std::sqrt(0.75), minor = segmentArea(1, kPi / 3), major = segmentArea(1, 5 * kPi / 3);
  const std::tuple<int, int, double, double> cases[] = {
      {KIV_CCW, KIV_ARC_MINOR, h, minor}, {KIV_CW, KIV_ARC_MINOR, -h, -minor},
      {KIV_CCW, KIV_ARC_MAJOR, -h, major}, {KIV_CW, KIV_ARC_MAJOR, h, -major}};
  for (auto [dir, kind, cy, area] : cases) {
    Path p(contour({{0, 0}, {1, 0}}));
    point *c = insertarc_(p->first, p->first->next, 1.0, kind, dir);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(std::tuple(c->previous, c->owner, c->arc, c->direction, c->radius, c->label),
              std::tuple(p->first, p.get(), kind, dir, 1.0, -1));
    EXPECT_NEAR(c->x, 0.5, 1e-15);
    EXPECT_NEAR(c->y, cy, 1e-15);
    EXPECT_NEAR(area2D_path_(p.get()), area, 1e-14);
  }
}

TEST_F(Measures, InsertArcRefusesImpossibleArcs) {
  Path p(contour({{0, 0}, {2 + 2e-10, 0}, {5, 5}}));
  point *s = p->first, *e = s->next;
  EXPECT_EQ(insertarc_(s, e, 1.0, KIV_ARC_MINOR, KIV_CCW), nullptr);  // chord beyond the diameter
  EXPECT_EQ(insertarc_(s, e, 1.1, KIV_ARC_MINOR, 3), nullptr);
  EXPECT_EQ(insertarc_(s, e, 1.1, 0, KIV_CCW), nullptr);
  EXPECT_EQ(insertarc_(s, e, 0.0, KIV_ARC_MINOR, KIV_CCW), nullptr);
  // Start equal to end: no chord, no centre (never a NaN node).
  EXPECT_EQ(insertarc_(s, s, 1.0, KIV_ARC_MINOR, KIV_CCW), nullptr);
  EXPECT_EQ(size_path_(p.get()), 3);
  // Exactly a diameter apart: a half circle of kind 1 whatever was asked.
  e->x = 2.0;
  point *c = insertarc_(s, e, 1.0, KIV_ARC_MAJOR, KIV_CW);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(std::tuple(c->arc, c->x, c->y), std::tuple(KIV_ARC_MINOR, 1.0, 0.0));
}

TEST_F(Measures, SplitArcKeepsTheCircleAndTheArea) {
  // Arcs of the circle (1, 1, 2) from angle 0.4, split `at` after their start.
  const struct {
    double span, at;
    int first, second;
  } cases[] = {{kPi / 2, kPi / 4, 1, 1},       {1.5 * kPi, kPi / 4, 1, 2},     {1.5 * kPi, 0.9 * kPi, 1, 1},
               {1.5 * kPi, 1.1 * kPi, 2, 1}, {1.5 * kPi, 1.25 * kPi, 2, 1}};
  for (const auto &k : cases) {
    for (int dir : {KIV_CCW, KIV_CW}) {
      Path m(circularSegment(1, 1, 2, 0.4, k.span, dir));
      const double whole = area2D_path_(m.get()), a = 0.4 + (dir == KIV_CCW ? k.at : -k.at);
      const point q = at(1 + 2 * std::cos(a), 1 + 2 * std::sin(a));
      point *c = m->first->next, *n = splitarc_(c, &q);
      EXPECT_EQ(std::tuple(n->previous, n->arc, size_path_(m.get()), c->arc, n->next->arc),
                std::tuple(c, 0, 5, k.first, k.second))
          << k.at << " " << dir;
      EXPECT_EQ(std::tuple(n->next->x, n->next->y, n->next->radius, n->next->direction),
                std::tuple(c->x, c->y, c->radius, c->direction));
      EXPECT_NEAR(area2D_path_(m.get()), whole, 1e-13);
      EXPECT_NEAR(referenceArea(m.get()), whole, 1e-13);
    }
  }
}

TEST_F(Measures, AngleFolding) {
  const std::tuple<double (*)(double, double), double, double, double> cases[] = {
      {fmod_mpp_, 3 * kPi / 2, 2 * kPi, -kPi / 2},
      {fmod_mpp_, -3 * kPi / 2, 2 * kPi, kPi / 2},
      {fmod_mpp_, 7.0, 2 * kPi, 7.0 - 2 * kPi},
      {fmod_2p_, -kPi / 2, 2 * kPi, 3 * kPi / 2},
      {fmod_2p_, 0.0, 2 * kPi, 0.0},
      {fmod_2p_, 13.0, 5.0, 3.0},
      {fmod_m2p_, kPi / 2, 2 * kPi, -3 * kPi / 2},
      {fmod_m2p_, -1.0, 5.0, -1.0},
      {fmod_m2p_, -11.0, 5.0, -1.0}};
  for (auto [f, x, p, want] : cases) EXPECT_NEAR(f(x, p), want, 1e-15) << x << " " << p;
}

TEST_F(Measures, RotationAndTranslationMoveEveryNode) {
  // The arc from (3, 0) about (2, 0) to (2, 1).
  Shape s = shapeWith({circularSegment(2, 0, 1, 0, kPi / 2, KIV_CCW)});
  const Coords before = coords(s->paths[0]);
  rotate2D_(s.get(), 5.0, 7.0, 0.0);
  const Coords after = coords(s->paths[0]);
  EXPECT_EQ(std::memcmp(before.data(), after.data(), before.size() * sizeof(before[0])), 0);  // bit for bit
  // A quarter turn about (2, 0) leaves the centre; about the origin it moves.
  rotate2D_(s.get(), 2.0, 0.0, kPi / 2);
  EXPECT_LT(deviation(coords(s->paths[0]), {{2, 1}, {2, 0}, {1, 0}}), 1e-15);
  rotate2D_(s.get(), 0.0, 0.0, kPi / 2);
  translate2D_(s.get(), -1.0, 0.5);
  EXPECT_LT(deviation(coords(s->paths[0]), {{-2, 2.5}, {-1, 2.5}, {-1, 1.5}}), 1e-15);
  EXPECT_NEAR(area2D_(s.get()), segmentArea(1, kPi / 2), 1e-15);
  translate2D_(nullptr, 1, 1);
  rotate2D_(nullptr, 0, 0, 1);
}

TEST_F(Measures, MovedCopiesAreFreshNodesAtTheMappedPlaces) {
  Shape s = shapeWith({circularSegment(2, 0, 1, 0, kPi / 2, KIV_CCW)});
  s->kind = 2;
  s->paths[0]->orientation = KIV_ORIENT_CCW;
  s->paths[0]->first->tag = 3;
  s->paths[0]->first->label = 4;
  shape *m = nullptr;
  xCD_copy_shape_moved_(s.get(), &m, 0, 0, kPi / 2, 1, 2);
  Shape moved = own(m);
  EXPECT_EQ(std::tuple(m->npaths, m->kind, m->paths[0]->orientation), std::tuple(1, 2, int(KIV_ORIENT_NONE)));
  const point *p = m->paths[0]->first;
  EXPECT_EQ(std::tuple(p->tag, p->label, p->next->arc, p->next->direction, p->next->radius),
            std::tuple(0, -1, KIV_ARC_MINOR, KIV_CCW, 1.0));
  // Turned about the origin, then shifted by (1, 2).
  EXPECT_LT(deviation(coords(m->paths[0]), {{1, 5}, {1, 4}, {0, 4}}), 1e-15);
  // With a shift: the point is shifted, turned, then carried along the turn by |shift|.
  xCD_copy_shape_moved_(s.get(), &m, 1, 0, kPi / 2, 0, 0);
  Shape shifted = own(m);
  EXPECT_LT(deviation({{m->paths[0]->first->x, m->paths[0]->first->y}}, {{0, 5}}), 1e-15);
}

void expectNear(std::array<double, 4> got, std::array<double, 4> want, double tol) {
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(got[i], want[i], tol) << i;
}

TEST_F(Measures, BoundsFollowArcsNotCentres) {
  const auto bounds = [](const shape *s, int want = 0) {
    std::array<double, 4> b{5, 5, 5, 5};  // top, right, bottom, left
    EXPECT_EQ(find_bounds_trbl_(s, &b[0], &b[1], &b[2], &b[3]), want);
    return b;
  };
  // A half disc bulging right, and a three-quarter disc reaching every way but right.
  Shape half = shapeWith({contour({{0, -1}, {0, 0, 1, KIV_ARC_MINOR, KIV_CCW}, {0, 1}})});
  EXPECT_EQ(bounds(half.get()), (std::array<double, 4>{1, 1, -1, 0}));
  Shape three = shapeWith({contour({{0, 0}, {0, 2}, {0, 0, 2, KIV_ARC_MAJOR, KIV_CCW}, {2, 0}})});
  EXPECT_EQ(bounds(three.get()), (std::array<double, 4>{2, 2, -2, -2}));
  // Turned so that tip arcs pass through the four axis directions, then so
  // that no tip holds one: the tip corners bound it.
  Shape g = shapeWith({gearOutline()});
  rotate2D_(g.get(), 0, 0, -20 * kPi / 180);
  expectNear(bounds(g.get()), {10, 10, -10, -10}, 1e-12);
  rotate2D_(g.get(), 0, 0, 20 * kPi / 180);
  EXPECT_NEAR(bounds(g.get())[1], 10.0 * std::cos(4 * kPi / 180), 1e-12);
  EXPECT_EQ(takeErr(), "");
  Shape empty = own(create_shape());
  EXPECT_EQ(bounds(empty.get(), -1), (std::array<double, 4>{0, 0, 0, 0}));
  EXPECT_EQ(takeErr(), "Current shape is empty, cannot find relevant bounds.\n");
}

TEST_F(Measures, PolarBounds) {
  // {rmin, rmax, thmin, thmax} of each shape.
  const auto polar = [](const shape *s, int want = 0) {
    std::array<double, 4> b{};
    EXPECT_EQ(find_bounds_rtheta_(s, &b[0], &b[1], &b[2], &b[3]), want);
    return b;
  };
  const double r2 = std::sqrt(2.0);
  // Around the origin: the span is 2 pi less the step from the last vertex to the first.
  Shape around = shapeWith({contour({{1, 1}, {-1, 1}, {-1, -1}, {1, -1}})});
  expectNear(polar(around.get()), {r2, r2, kPi / 4, kPi / 4 + 1.5 * kPi}, 1e-15);
  // Across the negative x axis: angles about pi, not a span from -pi to pi.
  Shape left = shapeWith({rectangle(-3, -1, -1, 1)});
  expectNear(polar(left.get()), {r2, std::sqrt(10.0), 3 * kPi / 4, 5 * kPi / 4}, 1e-15);
  // Several paths: the one of largest signed area gives the bounds.
  Shape two = shapeWith({rectangle(1, 1, 2, 2), rectangle(1, 0, 4, 3)});
  expectNear(polar(two.get()), {1, 5, 0, std::atan2(3.0, 1.0)}, 1e-15);
  const auto b = polar(shapeWith({gearOutline()}).get());
  EXPECT_NEAR(b[0], 8.0, 1e-12);
  EXPECT_NEAR(b[1], 10.0, 1e-12);
  EXPECT_NEAR(b[3] - b[2], 2 * kPi - 0.05, 0.05);
  EXPECT_EQ(polar(nullptr, -1), (std::array<double, 4>{0, 0, 0, 0}));
  EXPECT_EQ(takeErr(), "Current shape is empty, cannot find relevant bounds.\n");
}

TEST_F(Measures, MappingSnapsNearbyNodes) {
  // Vertex onto vertex.
  Shape s = shapeWith({contour({{0, 0}, {1, 0}, {1, 1}, {0, 1}}), contour({{1 + 5e-11, 1 - 5e-11}, {3, 1}, {3, 3}})});
  path *a = s->paths[0], *b = s->paths[1];
  mappathonpath_(a->first, a->first, b->first, b->first, 1e-10);
  EXPECT_EQ(a->first->next->next->x, 1 + 5e-11);
  EXPECT_EQ(a->first->next->next->y, 1 - 5e-11);

  // Vertex onto an arc: moved along the ray from the centre.
  const double q = 5.0 / std::sqrt(2.0);
  Path c(contour({{0, 0}, {q - 4e-11, q}, {0, 6}})), arc(circularSegment(0, 0, 5, 0, kPi / 2, KIV_CCW));
  mappathonpath_(c->first, c->first, arc->first, arc->first, 1e-10);
  const point *v = c->first->next;
  EXPECT_NEAR(std::hypot(v->x, v->y), 5.0, 1e-14);
  EXPECT_NEAR(std::atan2(v->y, v->x), std::atan2(q, q - 4e-11), 1e-15);

  // A vertex of the other contour near the inside of an arc splits it.
  Path d(circularSegment(0, 0, 5, 0, kPi / 2, KIV_CCW));
  Path e(contour({{5 * std::cos(0.5), 5 * std::sin(0.5) + 6e-11}, {9, 9}, {9, 0}}));
  const double whole = area2D_path_(d.get());
  mappathonpath_(d->first, d->first, e->first, e->first, 1e-10);
  ASSERT_EQ(size_path_(d.get()), 5);
  const point *split = d->first->next->next;
  EXPECT_EQ(std::pair(split->x, split->y), std::pair(e->first->x, e->first->y));
  EXPECT_NEAR(std::hypot(split->x, split->y), 5.0, 1e-14);
  EXPECT_NEAR(area2D_path_(d.get()), whole, 1e-13);
  // An arc end near a vertex takes the vertex's place; nothing is split.
  Path f(circularSegment(0, 0, 5, 0, kPi / 2, KIV_CCW)), h(contour({{5 + 3e-11, 2e-11}, {9, -9}, {9, 0}}));
  mappathonpath_(f->first, f->first, h->first, h->first, 1e-10);
  EXPECT_EQ(size_path_(f.get()), 3);
  EXPECT_EQ(std::pair(f->first->x, f->first->y), std::pair(5 + 3e-11, 2e-11));

  // Onto a segment of the other contour, within reach only.
  Path g(contour({{1, 5e-11}, {1, 4}, {-1, 4}})), k(contour({{0, 0}, {2, 0}, {2, -2}})),
      far(contour({{1, 3e-10}, {1, 4}, {-1, 4}}));
  check_mapping_(g->first, g->first, k->first, k->first);
  check_mapping_(far->first, far->first, k->first, k->first);
  EXPECT_EQ(g->first->y, 0.0);
  EXPECT_EQ(far->first->y, 3e-10);
}

}  // namespace
