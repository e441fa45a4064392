// The crossing test between paths against the plain test of every pair of
// edges, on many small contours full of shared vertices, collinear runs,
// vertical edges and arcs, and with the repeated points of exported outlines.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>
#include <vector>

#include "geometry/crossing.hpp"
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

using Vertices = std::vector<std::pair<double, double>>;

// v with points repeated as exported outlines repeat them: one vertex,
// several, a run of three equal points, the closing point stored again, or
// the first point twice and the closing one.
Vertices withRepeats(Vertices v, std::mt19937 &rng, int how) {
  const auto repeat = [&](size_t copies) {
    const size_t i = rng() % v.size();
    const auto p = v[i];
    v.insert(v.begin() + static_cast<std::ptrdiff_t>(i), copies, p);
  };
  if (how == 0) repeat(1);
  if (how == 1)
    for (int k = 0; k < 3; ++k) repeat(1);
  if (how == 2) repeat(2);
  if (how == 4) v.insert(v.begin(), v.front());
  if (how >= 3) v.push_back(v.front());
  return v;
}

TEST_F(Crossings, RepeatedPointsKeepTheEveryPairAnswers) {
  std::mt19937 rng(2024);
  int crossing = 0, total = 0;
  for (int trial = 0; trial < 5000; ++trial) {
    const int kind = trial % 4, how = trial / 4 % 5;
    const bool arcs = trial % 7 == 6;
    const Vertices v = vertices(rng, kind);
    Path p(ring(withRepeats(v, rng, how), rng, arcs));
    Path q(ring(withRepeats(vertices(rng, kind), rng, how), rng, arcs));
    const bool self = everyPairCrosses(p.get(), p.get());
    ASSERT_EQ(check_intersections_paths(p.get(), p.get()), self ? 5 : 0) << trial;
    ASSERT_EQ(check_intersections_paths(p.get(), q.get()), everyPairCrosses(p.get(), q.get()) ? 5 : 0) << trial;
    if (!arcs) {  // an edge of zero length crosses nothing
      Path plain(ring(v, rng, false));
      ASSERT_EQ(check_intersections_paths(plain.get(), plain.get()), self ? 5 : 0) << trial;
    }
    crossing += self;
    ++total;
  }
  EXPECT_GT(crossing, total / 5);
  EXPECT_LT(crossing, total * 4 / 5);
}

// A star of n vertices at even angles and random radii (simple), rounded to
// a grid of the given step when non-zero: on 1/1024 collinear vertices are
// exact, on 1/1000 the sign of a turn often needs more than its rounding.
Vertices star(int n, std::mt19937 &rng, double step) {
  std::uniform_real_distribution<double> radius(0.6, 1.0);
  const auto snap = [step](double c) { return step > 0 ? std::round(c / step) * step : c; };
  Vertices v;
  for (int i = 0; i < n; ++i) {
    const double t = 2 * kPi * i / n, r = radius(rng);
    v.emplace_back(snap(r * std::cos(t)), snap(r * std::sin(t)));
  }
  return v;
}

// Outlines that only meet at their vertices are decided by the sweep itself
// (not left to the pairwise test), repeated points, midpoints on edges and
// grid coordinates included, and so are those that cross.
TEST_F(Crossings, SweepDecidesStarsWithRepeatedPoints) {
  std::mt19937 rng(77);
  for (int trial = 0; trial < 180; ++trial) {
    const int n = 50 + static_cast<int>(rng() % 250);
    Vertices v = star(n, rng, trial % 3 == 0 ? 0.0 : trial % 3 == 1 ? 1.0 / 1024 : 1e-3);
    if (trial / 3 % 2 == 1)  // points on edges
      for (auto i = static_cast<std::ptrdiff_t>(v.size()) - 1; i > 0; i -= 7)
        v.insert(v.begin() + i, {(v[i - 1].first + v[i].first) / 2, (v[i - 1].second + v[i].second) / 2});
    const bool crossed = trial % 4 == 3;
    if (crossed) {  // a vertex taken across to the far side, out of the star
      auto &[x, y] = v[rng() % v.size()];
      x *= -1.5, y *= -1.5;
    }
    Path p(ring(withRepeats(v, rng, trial % 5), rng, false));
    const bool expected = everyPairCrosses(p.get(), p.get());
    ASSERT_EQ(expected, crossed) << trial;
    ASSERT_EQ(kiv::geom::contourSweep(p.get()), std::optional<bool>(expected)) << trial;
  }
}

// Repeated points on other edges and at vertices visited twice: the
// pairwise answer, and whether the sweep decides it (a crossing, a vertex
// shared by edges that are not consecutive) or leaves it to the pairwise
// test (a touch, a run back along an edge, a crossing the pairwise test
// calls a touch).
TEST_F(Crossings, RepeatedPointsAtTouchesKeepThePairwiseAnswer) {
  // Two edges arriving at a vertex visited twice from nearly one direction:
  // the pairwise test rounds their meeting at that vertex into a crossing.
  const double ax = -0.34419701746243958, ay = -0.15045131159506039, bx = -1.0229659992920475,
               by = -2.885656832462836, vx = -0.28969193266167059, vy = 0.069185432059545526;
  struct Case {
    Vertices v;
    int code;
    std::optional<bool> sweep;
  };
  const Case cases[] = {
      {{{0, 0}, {4, 0}, {4, 2}, {2, 0}, {2, 0}, {0, 2}}, 0, {}},            // repeated on an edge
      {{{0, 0}, {4, 0}, {4, 2}, {2, 0}, {2, 0}, {2, 0}, {0, 2}}, 0, {}},    // a run of three on it
      {{{2, 0}, {0, 2}, {0, 0}, {4, 0}, {4, 2}, {2, 0}}, 0, {}},            // on it at the seam
      {{{2, -1}, {0, 2}, {0, 0}, {4, 0}, {4, 2}, {2, -1}}, 5, true},        // below it at the seam
      {{{0, 0}, {4, 0}, {4, 2}, {2, -1e-12}, {2, -1e-12}, {0, 2}}, 0, {}},  // below it by a hair
      {{{0, 0}, {4, 0}, {4, 2}, {2, 2}, {2, 1}, {2, 1}, {2, 2}, {0, 2}}, 0, {}},              // out and back
      {{{0, 0}, {2, 0}, {1, 1}, {3, 1}, {2, 0}, {2, 0}, {4, 0}, {4, 2}, {0, 2}}, 0, false},  // a loop at a vertex
      {{{0, 1}, {2, 0}, {4, 1}, {4, -1}, {2, 0}, {2, 0}, {0, -1}}, 0, false},  // a bow tie through a vertex
      {{{ax, ay}, {vx, vy}, {bx + 1, by - 0.25}, {bx, by}, {vx, vy}, {vx, vy}, {ax - 1, ay + 0.25}}, 5, true},
      {{{0, 0}, {1, 0}, {1, 0}, {2, 0}, {2, 2}, {0, 2}, {0, 0}}, 0, false},  // straight on through a repeat
      {{{0, 0}, {1, 1}, {1, 1}, {0, 0}}, 0, false},  // one segment and back
      {{{1, 1}, {1, 1}, {1, 1}}, 0, false},          // a point
  };
  std::mt19937 rng(1);
  for (const Case &c : cases) {
    Path p(ring(c.v, rng, false));
    EXPECT_EQ(check_intersections_paths(p.get(), p.get()), c.code) << &c - cases;
    EXPECT_EQ(everyPairCrosses(p.get(), p.get()), c.code == 5) << &c - cases;
    EXPECT_EQ(kiv::geom::contourSweep(p.get()), c.sweep) << &c - cases;
  }
}

// A notch down to within an ulp of a long edge, near its start and far from
// its end, where the rounded turns are all noise: above the edge the
// outline is simple and the sweep says so; on it or below it the pairwise
// test sees a touch, which the sweep leaves to it.  The side is known
// exactly from the offset of the notch off the line.
TEST_F(Crossings, SweepTakesTheExactSideOfANotchAHairFromAnEdge) {
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> dir(-7, 7), along(2, 8), hair(-1, 1);
  int decided = 0;
  for (int trial = 0; trial < 300; ++trial) {
    const int slope = dir(rng);  // not level: a nudge off 0 is subnormal
    const double p = 1 + along(rng) % 7, q = slope == 0 ? 1 : slope, j = along(rng);
    const auto nudge = [&rng, &hair](double c) {
      const int k = hair(rng);
      return k == 0 ? c : std::nextafter(c, k * HUGE_VAL);
    };
    const double vx = nudge(j * p), vy = nudge(j * q);
    const double side = p * (vy - j * q) - q * (vx - j * p);  // exact: a few ulps of small numbers
    const Vertices v = {{0, 0}, {0x1p20 * p, 0x1p20 * q}, {vx + p - 5 * q, vy + q + 5 * p}, {vx, vy},
                        {vx - p - 5 * q, vy - q + 5 * p}};
    std::mt19937 noArcs(0);
    Path outline(ring(v, noArcs, false));
    EXPECT_EQ(check_intersections_paths(outline.get(), outline.get()), 0) << trial;
    EXPECT_FALSE(everyPairCrosses(outline.get(), outline.get())) << trial;
    EXPECT_EQ(kiv::geom::contourSweep(outline.get()), side > 0 ? std::optional<bool>(false) : std::nullopt)
        << trial;
    decided += side > 0;
  }
  EXPECT_GT(decided, 50);
  EXPECT_LT(decided, 250);
}

}  // namespace
