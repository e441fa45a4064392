// The crossing test between paths against the plain test of every pair of
// edges, on many small contours full of shared vertices, collinear runs,
// vertical edges and arcs.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "support/kiv_test.hpp"
#include "tests/geometry/outlines.hpp"

namespace {

using namespace kiv::geomtest;
using Crossings = kiv::test::SystemTest;

// Every edge of P against every edge of Q: a proper crossing of two
// segments, an arc and a segment meeting other than at an end, or two arcs
// meeting farther than the tolerance from all their ends.
bool everyPairCrosses(const path *P, const path *Q) {
  constexpr double tol = 1e-11;
  const auto edges = [](const path *p) {
    std::vector<const point *> e;
    for (const point *x : nodes(p))
      if (x->next->arc == 0) e.push_back(x);
    return e;
  };
  for (const point *x : edges(P))
    for (const point *y : edges(Q)) {
      if (!x->arc && !y->arc) {
        point out;
        if (computeIntersection_segseg(x, x->next, y, y->next, tol, &out) == 3) return true;
      } else if (!x->arc || !y->arc) {
        const point *c = x->arc ? x : y, *s = x->arc ? y : x;
        const double a[2] = {s->x, s->y}, b[2] = {s->next->x, s->next->y};
        const int r = checkIntersection_arcseg(c, a, b);
        if (r == 3 || r == 6) return true;
      } else {
        double p[2][2];
        const int n = computeIntersection_arcarc(x, y, tol, p[0], p[1]);
        for (int k = 0; k < (n == 4 ? 2 : n == 3 ? 1 : 0); ++k) {
          bool far = true;
          for (const point *v : {x->previous, x->next, y->previous, y->next})
            far = far && std::hypot(p[k][0] - v->x, p[k][1] - v->y) > tol;
          if (far) return true;
        }
      }
    }
  return false;
}

// A ring through the given vertices; with `arcs`, some edges become arcs
// bulging to either side.
path *ring(const std::vector<std::pair<double, double>> &v, std::mt19937 &rng, bool arcs) {
  path *p = create_path();
  std::uniform_real_distribution<double> bulge(-0.8, 0.8);
  for (size_t i = 0; i < v.size(); ++i) {
    add_last_xy_(p, v[i].first, v[i].second);
    const auto &[x1, y1] = v[(i + 1) % v.size()];
    const double mx = (v[i].first + x1) / 2, my = (v[i].second + y1) / 2, dx = x1 - v[i].first, dy = y1 - v[i].second;
    if (!arcs || rng() % 3 != 0 || (dx == 0 && dy == 0)) continue;
    const double k = bulge(rng), cx = mx - k * dy, cy = my + k * dx;
    addCentre(p, cx, cy, std::hypot(v[i].first - cx, v[i].second - cy), KIV_ARC_MINOR, rng() % 2 ? KIV_CW : KIV_CCW);
  }
  return p;
}

// Vertices on a coarse integer grid (exact arithmetic: shared vertices,
// collinear and vertical edges abound), on a fine one, as a star sorted by
// angle (mostly simple), or that star with one vertex moved off it.
std::vector<std::pair<double, double>> vertices(std::mt19937 &rng, int kind) {
  const int n = 3 + static_cast<int>(rng() % 12);
  std::vector<std::pair<double, double>> v;
  std::uniform_int_distribution<int> coarse(0, 4), fine(-1000, 1000);
  for (int i = 0; i < n; ++i) {
    if (kind == 0) v.emplace_back(coarse(rng), coarse(rng));
    if (kind == 1) v.emplace_back(fine(rng) * 0.001, fine(rng) * 0.001);
    if (kind >= 2) {
      const double t = 2 * kPi * i / n, r = 1 + coarse(rng);
      v.emplace_back(std::round(r * std::cos(t) * 4) / 4, std::round(r * std::sin(t) * 4) / 4);
    }
  }
  if (kind == 3) v[rng() % v.size()] = {coarse(rng) - 2.0, coarse(rng) - 2.0};
  return v;
}

TEST_F(Crossings, SameAnswersAsEveryPairOnSmallContours) {
  std::mt19937 rng(12345);
  int crossing = 0, total = 0;
  for (int trial = 0; trial < 6000; ++trial) {
    const int kind = trial % 4;
    const bool arcs = trial % 5 == 4;
    Path p(ring(vertices(rng, kind), rng, arcs)), q(ring(vertices(rng, kind), rng, arcs));
    const bool self = everyPairCrosses(p.get(), p.get());
    ASSERT_EQ(check_intersections_paths(p.get(), p.get()), self ? 5 : 0) << trial;
    ASSERT_EQ(check_intersections_paths(p.get(), q.get()), everyPairCrosses(p.get(), q.get()) ? 5 : 0) << trial;
    crossing += self;
    ++total;
  }
  // Both answers came up often enough to mean something.
  EXPECT_GT(crossing, total / 5);
  EXPECT_LT(crossing, total * 4 / 5);
}

TEST_F(Crossings, TouchesAndRunsBackAreNoCrossing) {
  struct Case {
    std::vector<std::pair<double, double>> v;
    int code;
  };
  const Case cases[] = {
      {{{0, 0}, {2, 0}, {1, 1}, {3, 1}, {2, 0}, {4, 0}, {4, 2}, {0, 2}}, 0},  // a vertex visited twice
      {{{0, 0}, {4, 0}, {4, 2}, {2, 0}, {0, 2}}, 0},                          // a vertex on an edge
      {{{0, 0}, {4, 0}, {4, 2}, {2, 2}, {2, 0}, {2, -1}, {0, -1}}, 0},        // a vertical run back along itself
      {{{0, 0}, {4, 0}, {4, 2}, {2, -1}, {0, 2}}, 5},                         // the same vertex below the edge
      {{{0, 0}, {0, 4}, {1, 4}, {1, 1}, {-1, 1}, {-1, 0}}, 5},                // vertical against horizontal
  };
  std::mt19937 rng(1);
  for (const Case &c : cases) {
    Path p(ring(c.v, rng, false));
    EXPECT_EQ(check_intersections_paths(p.get(), p.get()), c.code) << &c - cases;
    EXPECT_EQ(everyPairCrosses(p.get(), p.get()), c.code == 5) << &c - cases;
  }
}

}  // namespace
