// Shapes made of unit cells of a grid, with a reference of their own: the
// union, intersection or removal of two of them is the cell-wise one, whose
// area is the count of its cells and whose perimeter is the count of unit
// edges between a cell inside and one outside.  Their contours share
// corners and edges, touch themselves and each other at corners, and hold
// holes touching the outer boundary: once placed far off, scaled or turned,
// those coincide only to a rounding.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "tests/geometry_exact/families.hpp"

namespace kiv::geomexact {

// The cells (x0 + i, y0 + j), 0 <= i < w, 0 <= j < h, that are inside; the
// cell (x, y) is the unit square from the corner (x, y).
struct Cells {
  int x0 = 0, y0 = 0, w = 0, h = 0;
  std::vector<char> inside;
  bool at(int x, int y) const {
    const int i = x - x0, j = y - y0;
    return i >= 0 && j >= 0 && i < w && j < h && inside[static_cast<size_t>(j * w + i)];
  }
  long count() const { return static_cast<long>(std::count(inside.begin(), inside.end(), 1)); }
};

// The cell-wise operation, over the box of both.
inline Cells cellwise(const Cells &a, const Cells &b, Op op) {
  Cells c;
  c.x0 = std::min(a.x0, b.x0);
  c.y0 = std::min(a.y0, b.y0);
  c.w = std::max(a.x0 + a.w, b.x0 + b.w) - c.x0;
  c.h = std::max(a.y0 + a.h, b.y0 + b.h) - c.y0;
  for (int y = c.y0; y < c.y0 + c.h; ++y)
    for (int x = c.x0; x < c.x0 + c.w; ++x) {
      const bool p = a.at(x, y), q = b.at(x, y);
      c.inside.push_back(op == Op::Union ? p || q : op == Op::Intersection ? p && q : p && !q);
    }
  return c;
}

// The unit edges between a cell inside and one outside.
inline long boundaryEdges(const Cells &c) {
  long n = 0;
  for (int y = c.y0 - 1; y < c.y0 + c.h; ++y)
    for (int x = c.x0 - 1; x < c.x0 + c.w; ++x) n += (c.at(x, y) != c.at(x + 1, y)) + (c.at(x, y) != c.at(x, y + 1));
  return n;
}

// At a corner where two inside cells touch only there, two boundary edges
// come in and two leave.  The sharper left turn keeps to the cell the
// contour came along, the sharper right turn crosses to the other.  Where
// the two cells belong to separate pieces, the first writes two contours
// touching there and the second one contour through the corner twice;
// where a hole touches the rest of the boundary there, the other way round.
// Mixed: each such corner one way or the other.
enum class Pinch { Left, Right, Mixed };

// The boundary of the cells as contours of integer vertices: each inside
// cell's unit edges counter-clockwise, less those two inside cells share,
// so that outer contours run counter-clockwise and holes clockwise.
// Collinear edges are joined, but a vertex between them is kept with the
// chance `keep`; each contour starts at a random vertex.
inline Operand contoursOf(const Cells &c, Pinch pinch, double keep, Rng &rng) {
  struct Edge {
    int x, y, dx, dy;
  };
  std::vector<Edge> edges;
  const int row = c.w + 1;
  const auto corner = [&c, row](int x, int y) { return static_cast<size_t>((y - c.y0) * row + x - c.x0); };
  std::vector<std::array<int, 2>> leaving(static_cast<size_t>(row * (c.h + 1)), {-1, -1});
  static constexpr int kSteps[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
  for (int y = c.y0; y < c.y0 + c.h; ++y)
    for (int x = c.x0; x < c.x0 + c.w; ++x) {
      if (!c.at(x, y)) continue;
      int px = x, py = y;
      for (const auto &d : kSteps) {
        // The cell across the edge lies to its right.
        if (!c.at(x + d[1], y - d[0])) {
          std::array<int, 2> &out = leaving[corner(px, py)];
          out[out[0] < 0 ? 0 : 1] = static_cast<int>(edges.size());
          edges.push_back({px, py, d[0], d[1]});
        }
        px += d[0], py += d[1];
      }
    }
  // Each edge's successor; a pinched corner's way is chosen once for both
  // edges that come in.
  std::vector<signed char> leftAt(leaving.size(), -1);
  std::vector<int> next(edges.size());
  for (size_t i = 0; i < edges.size(); ++i) {
    const Edge &e = edges[i];
    const size_t v = corner(e.x + e.dx, e.y + e.dy);
    const std::array<int, 2> &out = leaving[v];
    if (out[1] < 0) {
      next[i] = out[0];
      continue;
    }
    if (leftAt[v] < 0) leftAt[v] = pinch == Pinch::Left || (pinch == Pinch::Mixed && rng.chance(0.5));
    const Edge &f = edges[static_cast<size_t>(out[0])];
    const bool firstTurnsLeft = e.dx * f.dy - e.dy * f.dx > 0;
    next[i] = out[firstTurnsLeft == (leftAt[v] == 1) ? 0 : 1];
  }
  Operand o;
  std::vector<char> done(edges.size(), 0);
  for (size_t s = 0; s < edges.size(); ++s) {
    if (done[s]) continue;
    std::vector<size_t> cycle;
    for (size_t i = s; !done[i]; i = static_cast<size_t>(next[i])) done[i] = 1, cycle.push_back(i);
    Ring r;
    for (size_t k = 0; k < cycle.size(); ++k) {
      const Edge &in = edges[cycle[(k + cycle.size() - 1) % cycle.size()]], &e = edges[cycle[k]];
      if (in.dx != e.dx || in.dy != e.dy || rng.chance(keep)) r.push_back({double(e.x), double(e.y)});
    }
    o.push_back(gen::relisted(r, static_cast<size_t>(rng.integer(0, static_cast<long>(r.size()) - 1))));
  }
  return o;
}

// Two to ten cells on a side from (x0, y0), each inside with one chance.
inline Cells randomCells(Rng &rng, int x0, int y0) {
  Cells c;
  c.x0 = x0, c.y0 = y0;
  c.w = static_cast<int>(rng.integer(2, 10));
  c.h = static_cast<int>(rng.integer(2, 10));
  const double fill = rng.uniform(0.3, 0.75);
  for (int i = 0; i < c.w * c.h; ++i) c.inside.push_back(rng.chance(fill));
  return c;
}

// Two cell shapes and their contours in cell units.
struct CellPair {
  Cells a, b;
  Operand ca, cb;
};

// Two random shapes, or a shape and its copy moved by whole cells (or not
// at all), each written with its own way through pinched corners.
inline CellPair drawCells(Rng &rng, long *rejected = nullptr) {
  for (;;) {
    CellPair p;
    p.a = randomCells(rng, 0, 0);
    if (rng.chance(0.5)) {
      p.b = p.a;
      p.b.x0 += static_cast<int>(rng.integer(-3, 3));
      p.b.y0 += static_cast<int>(rng.integer(-3, 3));
    } else {
      p.b = randomCells(rng, static_cast<int>(rng.integer(0, 3)), static_cast<int>(rng.integer(0, 3)));
    }
    if (p.a.count() == 0 || p.b.count() == 0) {
      if (rejected) ++*rejected;
      continue;
    }
    static constexpr Pinch kWays[] = {Pinch::Left, Pinch::Right, Pinch::Mixed};
    for (auto [cells, contours] : {std::pair(&p.a, &p.ca), std::pair(&p.b, &p.cb)})
      *contours = contoursOf(*cells, kWays[rng.integer(0, 2)], rng.chance(0.3) ? 0.15 : 0, rng);
    return p;
  }
}

// Where each pair is put: as it is, moved by about 1e4 and 1e6, scaled by
// 1e3, turned about the origin and about a point of its box.  The last two
// are the turned ones.
inline constexpr size_t kCellPlacements = 6, kCellTurns = 2;
inline constexpr const char *kCellPlacementNames[kCellPlacements] = {
    "as is", "moved 1e4", "moved 1e6", "scaled 1e3", "turned", "turned about a point"};

inline std::array<Placement, kCellPlacements> cellPlacements(Rng &rng, const CellPair &p) {
  std::array<Placement, kCellPlacements> out{};
  const auto far = [&rng](double d) { return (rng.chance(0.5) ? d : -d) * rng.uniform(0.5, 2); };
  out[1].dx = far(1e4), out[1].dy = far(1e4);
  out[2].dx = far(1e6), out[2].dy = far(1e6);
  out[3].scale = 1e3;
  out[4].angle = rng.uniform(0, 2 * geomtest::kPi);
  out[5].angle = rng.uniform(0, 2 * geomtest::kPi);
  const Cells box = cellwise(p.a, p.b, Op::Union);
  out[5].cx = rng.uniform(box.x0, box.x0 + box.w);
  out[5].cy = rng.uniform(box.y0, box.y0 + box.h);
  return out;
}

}  // namespace kiv::geomexact
