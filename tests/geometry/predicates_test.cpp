// Point-against-edge codes, arc tests, and point-in-path and point-in-shape
// against analytic regions.
#include <gmock/gmock.h>

#include <functional>
#include <vector>

#include "support/kiv_test.hpp"
#include "tests/geometry/outlines.hpp"

namespace {

using namespace kiv::geomtest;
using Predicates = kiv::test::SystemTest;

TEST_F(Predicates, PointAgainstSegment) {
  const double p[2] = {0, 0.5}, up0[2] = {1, 0}, up1[2] = {1, 1};
  EXPECT_EQ(ispoint_left_to_seg(p, up0, up1, 1e-12), 4);
  EXPECT_EQ(ispoint_left_to_seg(p, up1, up0, 1e-12), 3);
  const double q[2] = {2, 0.5};
  EXPECT_EQ(ispoint_left_to_seg(q, up0, up1, 1e-12), 5);
  EXPECT_EQ(ispoint_left_to_seg(q, up1, up0, 1e-12), 2);
  const double on[2] = {1, 0.5};
  EXPECT_EQ(ispoint_left_to_seg(on, up0, up1, 1e-12), 1);
  EXPECT_EQ(ispoint_left_to_seg(on, up1, up0, 1e-12), 1);
  // Level with the lower end the edge counts, level with the upper end not.
  const double low[2] = {0, 0}, high[2] = {0, 1};
  EXPECT_EQ(ispoint_left_to_seg(low, up0, up1, 1e-12), 4);
  EXPECT_EQ(ispoint_left_to_seg(low, up1, up0, 1e-12), 3);
  EXPECT_EQ(ispoint_left_to_seg(high, up0, up1, 1e-12), 0);
  EXPECT_EQ(ispoint_left_to_seg(high, up1, up0, 1e-12), 0);
  // Above, below, and on a horizontal edge.
  const double h0[2] = {0, 2}, h1[2] = {3, 2}, mid[2] = {1.5, 2}, beyond[2] = {5, 2};
  EXPECT_EQ(ispoint_left_to_seg(mid, h0, h1, 1e-12), 1);
  EXPECT_EQ(ispoint_left_to_seg(beyond, h0, h1, 1e-12), 0);
  EXPECT_EQ(ispoint_left_to_seg(p, h0, h1, 1e-12), 0);
  // The ends belong to the edge within the tolerance.
  const double nearEnd[2] = {1 + 5e-13, 1e-13};
  EXPECT_EQ(ispoint_left_to_seg(nearEnd, up0, up1, 1e-12), 1);
}

TEST_F(Predicates, ArcRangeAndDistance) {
  Arc quarter(0, 0, 2, 0, kPi / 2, KIV_CCW);
  const double mid[2] = {std::sqrt(2.0), std::sqrt(2.0)};
  const double inside[2] = {0.5, 0.5};
  const double beyond[2] = {1.5, 1.5};
  const double wrongSide[2] = {-0.5, 0.5};
  EXPECT_EQ(ispoint_inside_arc(mid, quarter.c, 1e-12), 6);
  EXPECT_EQ(ispoint_inside_arc(inside, quarter.c, 1e-12), 6);
  EXPECT_EQ(ispoint_inside_arc(beyond, quarter.c, 1e-12), 0);
  EXPECT_EQ(ispoint_inside_arc(wrongSide, quarter.c, 1e-12), 0);
  EXPECT_EQ(ispoint_on_arc_full(mid, quarter.c, 1e-12), 1);
  EXPECT_EQ(ispoint_on_arc_full(inside, quarter.c, 1e-12), 0);
  const double start[2] = {2, 0}, end[2] = {1e-16, 2};
  EXPECT_EQ(ispoint_on_arc_full(start, quarter.c, 1e-12), 1);
  EXPECT_EQ(ispoint_on_arc_full(end, quarter.c, 1e-12), 1);
  EXPECT_EQ(ispoint_inside_sector(2, 0, quarter.c, 1e-12), 6);  // an end, exactly on its leg
  // Distance: radial inside the range, to the nearer end outside it.
  EXPECT_NEAR(distance_to_arc(inside, quarter.c), 2 - std::sqrt(0.5), 1e-15);
  const double below[2] = {0, -2};
  EXPECT_NEAR(distance_to_arc(below, quarter.c), std::sqrt(8.0), 1e-15);
  const double onCircleOut[2] = {-2, 0};
  EXPECT_NEAR(distance_to_arc(onCircleOut, quarter.c), std::sqrt(8.0), 1e-15);

  // Kind 2, both directions: 270 degrees from angle 0.
  Arc ccw(0, 0, 1, 0, -kPi / 2, KIV_CCW);
  Arc cw(0, 0, 1, 0, kPi / 2, KIV_CW);
  for (double a = 0.05; a < 2 * kPi; a += 0.1) {
    const double q[2] = {0.5 * std::cos(a), 0.5 * std::sin(a)};
    EXPECT_EQ(ispoint_inside_arc(q, ccw.c, 1e-12), a < 1.5 * kPi ? 6 : 0) << a;
    EXPECT_EQ(ispoint_inside_arc(q, cw.c, 1e-12), a > 0.5 * kPi ? 6 : 0) << a;
  }
}

TEST_F(Predicates, ArcAsAnEdge) {
  // Upper half circle, counter-clockwise from (1, 0) to (-1, 0).
  Arc upper(0, 0, 1, 0, kPi, KIV_CCW);
  const double far[2] = {-3, 0.5};    // outside: the chord's code
  const double onArc[2] = {0, 1};
  const double inBulge[2] = {0, 0.5};
  const double belowChord[2] = {0, -0.5};
  EXPECT_EQ(ispoint_left_to_arc(far, upper.c, 1e-12), 0);
  EXPECT_EQ(ispoint_left_to_arc(onArc, upper.c, 1e-12), 1);
  // The arc crosses the line y = 0.5 on both sides of x = 0: going up on the
  // right is counted (+1), going down on the left is not.
  EXPECT_EQ(ispoint_left_to_arc(inBulge, upper.c, 1e-12), 4);
  EXPECT_EQ(ispoint_left_to_arc(belowChord, upper.c, 1e-12), 0);
  const double leftOfIt[2] = {-5, 0.5};
  EXPECT_EQ(ispoint_left_to_arc(leftOfIt, upper.c, 1e-12), 0);
}

// Samples a grid and compares isPointinsidePath (mode 0) with `inside`,
// passing over points within `margin` of the boundary (`nearEdge`).
void compareGrid(const path *p, const std::function<bool(double, double)> &inside,
                 const std::function<bool(double, double)> &nearEdge, double lo, double hi, int n,
                 int *checked) {
  for (int i = 0; i <= n; ++i)
    for (int j = 0; j <= n; ++j) {
      const double x = lo + (hi - lo) * (i + 0.37) / n, y = lo + (hi - lo) * (j + 0.61) / n;
      if (nearEdge(x, y)) continue;
      point q = at(x, y);
      ASSERT_EQ(isPointinsidePath(&q, p, 0, 1e-12), inside(x, y) ? 6 : 0) << x << " " << y;
      ++*checked;
    }
}

TEST_F(Predicates, PointInDiscsAndSectorsAtEveryTurn) {
  int checked = 0;
  for (double turn = 0; turn < 2 * kPi; turn += 17 * kPi / 180) {
    SCOPED_TRACE(turn);
    const double cx = 0.3, cy = -0.2, r = 2.0;
    // Disc.
    path *disc = circle(cx, cy, r);
    compareGrid(
        disc, [&](double x, double y) { return std::hypot(x - cx, y - cy) < r; },
        [&](double x, double y) { return std::fabs(std::hypot(x - cx, y - cy) - r) < 1e-9; }, -3, 3, 24,
        &checked);
    // Three-quarter sector (a kind-2 arc between two radii), turned.
    path *pac = create_path();
    add_last_xy_(pac, cx, cy);
    add_last_xy_(pac, cx + r * std::cos(turn), cy + r * std::sin(turn));
    addCentre(pac, cx, cy, r, KIV_ARC_MAJOR, KIV_CCW);
    add_last_xy_(pac, cx + r * std::cos(turn + 1.5 * kPi), cy + r * std::sin(turn + 1.5 * kPi));
    const auto angleIn = [&](double x, double y) {
      return fmod_2p_(std::atan2(y - cy, x - cx) - turn, 2 * kPi) < 1.5 * kPi;
    };
    const auto nearRadius = [&](double x, double y, double a) {
      const double ux = std::cos(a), uy = std::sin(a);
      const double along = (x - cx) * ux + (y - cy) * uy, off = std::fabs(-(x - cx) * uy + (y - cy) * ux);
      return along > -1e-9 && along < r + 1e-9 && off < 1e-9;
    };
    compareGrid(
        pac, [&](double x, double y) { return std::hypot(x - cx, y - cy) < r && angleIn(x, y); },
        [&](double x, double y) {
          return std::fabs(std::hypot(x - cx, y - cy) - r) < 1e-9 || nearRadius(x, y, turn) ||
                 nearRadius(x, y, turn + 1.5 * kPi);
        },
        -3, 3, 24, &checked);
    delete_shape_(shapeOf({disc, pac}));
  }
  EXPECT_GT(checked, 20000);
}

// The region between a chord and a kind-2 arc holds the centre and the
// triangle of centre and chord ends, outside the arc's angular range.
TEST_F(Predicates, PointInMajorSegmentsIncludingTheCentreTriangle) {
  int checked = 0, triangle = 0;
  for (double turn = 0.1; turn < 2 * kPi; turn += 13 * kPi / 180) {
    for (int dir : {KIV_CCW, KIV_CW}) {
      SCOPED_TRACE(testing::Message() << "turn " << turn << " dir " << dir);
      const double cx = -0.4, cy = 0.25, r = 1.5, span = 1.4 * kPi;
      const double a0 = turn, a1 = dir == KIV_CCW ? turn + span : turn - span;
      path *p = create_path();
      const double sx = cx + r * std::cos(a0), sy = cy + r * std::sin(a0);
      const double ex = cx + r * std::cos(a1), ey = cy + r * std::sin(a1);
      add_last_xy_(p, sx, sy);
      addCentre(p, cx, cy, r, KIV_ARC_MAJOR, dir);
      add_last_xy_(p, ex, ey);
      // Chord side of a point: sign of (e - s) x (q - s); the centre's side is inside.
      const double centreSide = (ex - sx) * (cy - sy) - (ey - sy) * (cx - sx);
      const auto side = [&](double x, double y) { return (ex - sx) * (y - sy) - (ey - sy) * (x - sx); };
      const double chord = std::hypot(ex - sx, ey - sy);
      compareGrid(
          p,
          [&](double x, double y) {
            const bool in = std::hypot(x - cx, y - cy) < r && side(x, y) * centreSide > 0;
            // Count the points of the triangle centre, start, end.
            const double a = std::atan2(y - cy, x - cx);
            const double from = dir == KIV_CCW ? a0 : a1;
            if (in && fmod_2p_(a - from, 2 * kPi) > span) ++triangle;
            return in;
          },
          [&](double x, double y) {
            return std::fabs(std::hypot(x - cx, y - cy) - r) < 1e-9 || std::fabs(side(x, y)) / chord < 1e-9;
          },
          -2.5, 2.5, 20, &checked);
      // Mode 1 follows the orientation field: a clockwise path's inside is not material.
      p->orientation = dir == KIV_CCW ? KIV_ORIENT_CCW : KIV_ORIENT_CW;
      point centre = at(cx, cy);
      EXPECT_EQ(isPointinsidePath(&centre, p, 1, 1e-12), dir == KIV_CCW ? 6 : 0);
      EXPECT_EQ(isPointinsidePath(&centre, p, 0, 1e-12), 6);
      delete_path_(p);
      std::free(p);
    }
  }
  EXPECT_GT(checked, 10000);
  EXPECT_GT(triangle, 500);
}

TEST_F(Predicates, PointsOnTheBoundaryAndOrientation) {
  path *sq = polygon({{0, 0}, {2, 0}, {2, 2}, {0, 2}});
  path *hole = polygon({{0, 0}, {0, 2}, {2, 2}, {2, 0}});
  sq->orientation = KIV_ORIENT_CCW;
  hole->orientation = KIV_ORIENT_CW;
  point mid = at(1, 1), edge = at(2, 1), corner = at(0, 0), out = at(3, 1);
  EXPECT_EQ(isPointinsidePath(&mid, sq, 1, 1e-12), 6);
  EXPECT_EQ(isPointinsidePath(&mid, hole, 1, 1e-12), 0);
  EXPECT_EQ(isPointinsidePath(&mid, hole, 0, 1e-12), 6);
  EXPECT_EQ(isPointinsidePath(&out, hole, 1, 1e-12), 6);
  EXPECT_EQ(isPointinsidePath(&edge, sq, 1, 1e-12), 1);
  EXPECT_EQ(isPointinsidePath(&corner, hole, 1, 1e-12), 1);
  // Level with a vertex: the ray through (2, 2) and (0, 2) counts once.
  point level = at(1, 2 - 1e-3);
  EXPECT_EQ(isPointinsidePath(&level, sq, 0, 1e-12), 6);
  path *diamond = polygon({{0, -1}, {1, 0}, {0, 1}, {-1, 0}});
  point lv = at(-0.5, 0), lvOut = at(-1.5, 0), lvOut2 = at(1.5, 0);
  EXPECT_EQ(isPointinsidePath(&lv, diamond, 0, 1e-12), 6);
  EXPECT_EQ(isPointinsidePath(&lvOut, diamond, 0, 1e-12), 0);
  EXPECT_EQ(isPointinsidePath(&lvOut2, diamond, 0, 1e-12), 0);
  // On an arc.
  path *c = circle(0, 0, 1);
  point onArc = at(std::cos(1.0), std::sin(1.0));
  EXPECT_EQ(isPointinsidePath(&onArc, c, 0, 1e-12), 1);
  delete_shape_(shapeOf({sq, hole, diamond, c}));
}

// Even-odd test of a point against the gear outline with its arcs sampled
// finely, and the distance to that polygon.
struct Sampled {
  std::vector<std::pair<double, double>> v;
  explicit Sampled(const path *p) {
    const point *n = p->first;
    do {
      if (n->arc == 0) {
        v.emplace_back(n->x, n->y);
      } else {
        const double a0 = std::atan2(n->previous->y - n->y, n->previous->x - n->x);
        const double span = arcSpan(n), sign = n->direction == KIV_CCW ? 1 : -1;
        const int steps = static_cast<int>(span / 2e-3) + 1;
        for (int k = 1; k < steps; ++k) {
          const double a = a0 + sign * span * k / steps;
          v.emplace_back(n->x + n->radius * std::cos(a), n->y + n->radius * std::sin(a));
        }
      }
      n = n->next;
    } while (n != p->first);
  }
  bool inside(double x, double y) const {
    bool in = false;
    for (size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
      const auto [xi, yi] = v[i];
      const auto [xj, yj] = v[j];
      if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) in = !in;
    }
    return in;
  }
  double distance(double x, double y) const {
    double d = 1e30;
    for (size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
      const auto [ax, ay] = v[j];
      const auto [bx, by] = v[i];
      const double ux = bx - ax, uy = by - ay, len2 = ux * ux + uy * uy;
      const double t = std::clamp(((x - ax) * ux + (y - ay) * uy) / len2, 0.0, 1.0);
      d = std::min(d, std::hypot(x - ax - t * ux, y - ay - t * uy));
    }
    return d;
  }
};

TEST_F(Predicates, PointInGearOutline) {
  path *g = gearOutline();
  const Sampled ref(g);
  int checked = 0;
  compareGrid(
      g, [&](double x, double y) { return ref.inside(x, y); },
      [&](double x, double y) {
        const double r = std::hypot(x, y);
        return r > 7.5 && r < 10.5 && ref.distance(x, y) < 1e-4;
      },
      -11, 11, 70, &checked);
  EXPECT_GT(checked, 4900);
  delete_path_(g);
  std::free(g);
}

TEST_F(Predicates, PointInShapeWithHoles) {
  shape *ring = shapeOf({circle(0, 0, 3), circle(0, 0, 1, KIV_CW)});
  point inHole = at(0.2, 0.1), inRing = at(2, 0.5), outside = at(4, 0), onHole = at(0, 1), onOuter = at(-3, 0);
  EXPECT_EQ(isPointinsideShape(&inHole, ring, 1e-12), 0);
  EXPECT_EQ(isPointinsideShape(&inRing, ring, 1e-12), 6);
  EXPECT_EQ(isPointinsideShape(&outside, ring, 1e-12), 0);
  EXPECT_EQ(isPointinsideShape(&onHole, ring, 1e-12), 1);
  EXPECT_EQ(isPointinsideShape(&onOuter, ring, 1e-12), 1);
  // An island in the hole is material again.
  add_path(circle(0, 0, 0.5), ring);
  point onIsland = at(0.1, 0);
  EXPECT_EQ(isPointinsideShape(&onIsland, ring, 1e-12), 6);
  EXPECT_EQ(isPointinsideShape(&inRing, nullptr, 1e-12), 0);
  delete_shape_(ring);
}

}  // namespace
