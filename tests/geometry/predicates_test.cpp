// Point-against-segment codes, arc tests, and point-in-path (arcs as edges
// included) and point-in-shape against the reference winding number.
#include <gmock/gmock.h>

#include <algorithm>
#include <vector>

#include "support/kiv_test.hpp"
#include "tests/geometry/outlines.hpp"
#include "tests/geometry/reference.hpp"

namespace {

using namespace kiv::geomtest;
using Predicates = kiv::test::SystemTest;

// Against upward and downward edges; level with the lower end the edge
// counts, level with the upper end not; on, beyond and below a horizontal
// edge; the ends belong to the edge within the tolerance.
TEST_F(Predicates, PointAgainstSegment) {
  const struct {
    Xy p, a, b;
    int code;
  } cases[] = {{{0, 0.5}, {1, 0}, {1, 1}, 4}, {{0, 0.5}, {1, 1}, {1, 0}, 3},
               {{2, 0.5}, {1, 0}, {1, 1}, 5}, {{2, 0.5}, {1, 1}, {1, 0}, 2},
               {{1, 0.5}, {1, 0}, {1, 1}, 1}, {{1, 0.5}, {1, 1}, {1, 0}, 1},
               {{0, 0}, {1, 0}, {1, 1}, 4},   {{0, 0}, {1, 1}, {1, 0}, 3},
               {{0, 1}, {1, 0}, {1, 1}, 0},   {{0, 1}, {1, 1}, {1, 0}, 0},
               {{1.5, 2}, {0, 2}, {3, 2}, 1}, {{5, 2}, {0, 2}, {3, 2}, 0},
               {{0, 0.5}, {0, 2}, {3, 2}, 0}, {{1 + 5e-13, 1e-13}, {1, 0}, {1, 1}, 1}};
  for (const auto &c : cases)
    EXPECT_EQ(ispoint_left_to_seg(c.p.v, c.a.v, c.b.v, 1e-12), c.code) << c.p.v[0] << " " << c.p.v[1];
}

TEST_F(Predicates, ArcRangeAndDistance) {
  Arc quarter(0, 0, 2, 0, kPi / 2, KIV_CCW);
  const double r = std::sqrt(2.0);
  // Point, ispoint_inside_arc, ispoint_on_arc_full; the last point is a
  // hair past the end at (1.2e-16, 2), on the arc only through the end's
  // tolerance.
  const struct {
    Xy p;
    int inside, on;
  } cases[] = {{{r, r}, 6, 1},      {{0.5, 0.5}, 6, 0}, {{1.5, 1.5}, 0, 0},
               {{-0.5, 0.5}, 0, 0}, {{2, 0}, 6, 1},     {{1e-16, 2}, 0, 1}};
  for (const auto &c : cases) {
    EXPECT_EQ(ispoint_inside_arc(c.p.v, quarter.c, 1e-12), c.inside) << c.p.v[0] << " " << c.p.v[1];
    EXPECT_EQ(ispoint_on_arc_full(c.p.v, quarter.c, 1e-12), c.on) << c.p.v[0] << " " << c.p.v[1];
  }
  EXPECT_EQ(ispoint_inside_sector(2, 0, quarter.c, 1e-12), 6);  // an end, exactly on its leg
  // Distance: radial inside the range, to the nearer end outside it (on the
  // circle too).
  const Xy inside{0.5, 0.5}, below{0, -2}, onCircleOut{-2, 0};
  EXPECT_NEAR(distance_to_arc(inside.v, quarter.c), 2 - std::sqrt(0.5), 1e-15);
  EXPECT_NEAR(distance_to_arc(below.v, quarter.c), std::sqrt(8.0), 1e-15);
  EXPECT_NEAR(distance_to_arc(onCircleOut.v, quarter.c), std::sqrt(8.0), 1e-15);

  // Kind 2, both directions: 270 degrees from angle 0.
  Arc ccw(0, 0, 1, 0, -kPi / 2, KIV_CCW), cw(0, 0, 1, 0, kPi / 2, KIV_CW);
  for (double a = 0.05; a < 2 * kPi; a += 0.1) {
    const double q[2] = {0.5 * std::cos(a), 0.5 * std::sin(a)};
    EXPECT_EQ(ispoint_inside_arc(q, ccw.c, 1e-12), a < 1.5 * kPi ? 6 : 0) << a;
    EXPECT_EQ(ispoint_inside_arc(q, cw.c, 1e-12), a > 0.5 * kPi ? 6 : 0) << a;
  }
}

// A path's exact edges for the reference inside test, and the path with
// its arcs sampled finely for the distance to it.
struct Sampled {
  std::vector<RefEdge> edges;
  Coords v;
  explicit Sampled(const path *p) {
    refEdges(p, edges);
    for (const RefEdge &e : edges) {
      // Chords of 0.02 stray at most 5e-5 from the arcs here.
      const int steps = e.arc ? static_cast<int>(e.r * std::fabs(e.sweep) / 0.02) + 1 : 1;
      for (int k = 0; k < steps; ++k) v.emplace_back(e.px(double(k) / steps), e.py(double(k) / steps));
    }
  }
  bool inside(double x, double y) const { return refWinding(edges, x, y) != 0; }
  double distance(double x, double y) const {
    double d = 1e30;
    for (size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
      const auto [ax, ay] = v[j];
      const auto [bx, by] = v[i];
      const double ux = bx - ax, uy = by - ay;
      const double t = std::clamp(((x - ax) * ux + (y - ay) * uy) / (ux * ux + uy * uy), 0.0, 1.0);
      d = std::min(d, std::hypot(x - ax - t * ux, y - ay - t * uy));
    }
    return d;
  }
};

// Compares isPointinsidePath (mode 0) with the reference on a grid
// over [lo, hi]^2, passing over points within 1e-4 of the outline; returns
// the number of points compared.
int compareGrid(const path *p, double lo, double hi, int n) {
  const Sampled ref(p);
  int checked = 0;
  for (int i = 0; i <= n; ++i)
    for (int j = 0; j <= n; ++j) {
      const double x = lo + (hi - lo) * (i + 0.37) / n, y = lo + (hi - lo) * (j + 0.61) / n;
      if (ref.distance(x, y) < 1e-4) continue;
      const point q = at(x, y);
      EXPECT_EQ(isPointinsidePath(&q, p, 0, 1e-12), ref.inside(x, y) ? 6 : 0) << x << " " << y;
      ++checked;
    }
  return checked;
}

TEST_F(Predicates, PointInDiscsSectorsSegmentsAndAGear) {
  const double cx = -0.4, cy = 0.25, r = 1.5;
  int checked = compareGrid(Path(circle(cx, cy, r)).get(), -2.5, 2.5, 20);
  for (double turn = 0.1; turn < 2 * kPi; turn += 17 * kPi / 180) {
    // Three-quarter sector (a kind-2 arc between two radii), turned.
    Path pac(contour({{cx, cy},
                      {cx + r * std::cos(turn), cy + r * std::sin(turn)},
                      {cx, cy, r, KIV_ARC_MAJOR, KIV_CCW},
                      {cx + r * std::cos(turn + 1.5 * kPi), cy + r * std::sin(turn + 1.5 * kPi)}}));
    checked += compareGrid(pac.get(), -2.5, 2.5, 20);
    // The region between a chord and a kind-2 arc holds the centre and the
    // triangle of centre and chord ends, outside the arc's angular range.
    for (int dir : {KIV_CCW, KIV_CW}) {
      Path p(circularSegment(cx, cy, r, turn, 1.4 * kPi, dir));
      checked += compareGrid(p.get(), -2.5, 2.5, 20);
      // Mode 1 follows the orientation field: a clockwise path's inside is not material.
      p->orientation = dir == KIV_CCW ? KIV_ORIENT_CCW : KIV_ORIENT_CW;
      const point centre = at(cx, cy);
      EXPECT_EQ(isPointinsidePath(&centre, p.get(), 1, 1e-12), dir == KIV_CCW ? 6 : 0);
      EXPECT_EQ(isPointinsidePath(&centre, p.get(), 0, 1e-12), 6);
    }
  }
  EXPECT_GT(checked, 25000);
  EXPECT_GT(compareGrid(Path(gearOutline()).get(), -11, 11, 70), 4900);
}

TEST_F(Predicates, PointsOnTheBoundaryAndOrientation) {
  Shape s = shapeWith(
      {rectangle(0, 0, 2, 2), rectangleHole(0, 0, 2, 2), contour({{0, -1}, {1, 0}, {0, 1}, {-1, 0}}), circle(0, 0, 1)});
  path *sq = s->paths[0], *hole = s->paths[1], *diamond = s->paths[2], *c = s->paths[3];
  sq->orientation = KIV_ORIENT_CCW;
  hole->orientation = KIV_ORIENT_CW;
  // Mode 1 on both sides of a square and a hole, on their edges; level with
  // a vertex the ray through (2, 2) and (0, 2) counts once; a diamond's
  // vertices level with the point; on an arc.
  const struct {
    point p;
    const path *q;
    int mode, code;
  } cases[] = {{at(1, 1), sq, 1, 6},
               {at(1, 1), hole, 1, 0},
               {at(1, 1), hole, 0, 6},
               {at(3, 1), hole, 1, 6},
               {at(2, 1), sq, 1, 1},
               {at(0, 0), hole, 1, 1},
               {at(1, 2 - 1e-3), sq, 0, 6},
               {at(-0.5, 0), diamond, 0, 6},
               {at(-1.5, 0), diamond, 0, 0},
               {at(1.5, 0), diamond, 0, 0},
               {at(std::cos(1.0), std::sin(1.0)), c, 0, 1}};
  for (const auto &k : cases) EXPECT_EQ(isPointinsidePath(&k.p, k.q, k.mode, 1e-12), k.code) << k.p.x << " " << k.p.y;
}

TEST_F(Predicates, PointInShapeWithHoles) {
  Shape ring = shapeWith({circle(0, 0, 3), circle(0, 0, 1, 0, KIV_CW)});
  const std::pair<point, int> cases[] = {
      {at(0.2, 0.1), 0}, {at(2, 0.5), 6}, {at(4, 0), 0}, {at(0, 1), 1}, {at(-3, 0), 1}};
  for (const auto &[p, code] : cases) EXPECT_EQ(isPointinsideShape(&p, ring.get(), 1e-12), code) << p.x << " " << p.y;
  // An island in the hole is material again.
  add_path(circle(0, 0, 0.5), ring.get());
  const point onIsland = at(0.1, 0);
  EXPECT_EQ(isPointinsideShape(&onIsland, ring.get(), 1e-12), 6);
  EXPECT_EQ(isPointinsideShape(&onIsland, nullptr, 1e-12), 0);
}

}  // namespace
