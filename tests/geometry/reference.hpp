// An independent reference for the area common to two shapes in general
// position: by Green's theorem it is the integral of x dy over the pieces
// of each boundary that lie inside the other shape.  Crossings, the inside
// test (a ray cast with exact arc crossings) and the integrals are written
// here afresh from the geometry, not from the kernel.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/kiv_geometry.h"

namespace kiv::geomtest {

struct RefEdge {
  bool arc;
  double x0, y0, x1, y1;        // segment ends
  double cx, cy, r, a0, sweep;  // arc: centre, radius, start angle, signed sweep

  double px(double s) const { return arc ? cx + r * std::cos(a0 + s * sweep) : x0 + s * (x1 - x0); }
  double py(double s) const { return arc ? cy + r * std::sin(a0 + s * sweep) : y0 + s * (y1 - y0); }

  // Integral of x dy from parameter s to t.
  double xdy(double s, double t) const {
    if (!arc) return (px(s) + px(t)) / 2 * (py(t) - py(s));
    const double b = a0 + s * sweep, e = a0 + t * sweep;
    return cx * r * (std::sin(e) - std::sin(b)) + r * r * ((e - b) / 2 + (std::sin(2 * e) - std::sin(2 * b)) / 4);
  }

  // Parameter of the point at angle phi on the arc, or -1 off its range.
  double atAngle(double phi) const {
    const double twoPi = 2 * 3.14159265358979323846;
    double d = sweep > 0 ? phi - a0 : a0 - phi;
    d = std::fmod(d, twoPi);
    if (d < 0) d += twoPi;
    const double s = d / std::fabs(sweep);
    return s <= 1 ? s : -1;
  }
};

// The edges of p appended to out.
inline void refEdges(const path *p, std::vector<RefEdge> &out) {
  const double twoPi = 2 * 3.14159265358979323846;
  const point *n = p->first;
  do {
    if (n->arc) {
      const point *a = n->previous, *b = n->next;
      RefEdge e{true, a->x, a->y, b->x, b->y, n->x, n->y, n->radius, std::atan2(a->y - n->y, a->x - n->x), 0};
      const double a1 = std::atan2(b->y - n->y, b->x - n->x);
      double d = n->direction == KIV_CCW ? a1 - e.a0 : e.a0 - a1;
      while (d <= 0) d += twoPi;
      while (d > twoPi) d -= twoPi;
      e.sweep = n->direction == KIV_CCW ? d : -d;
      out.push_back(e);
    } else if (!n->next->arc) {
      out.push_back({false, n->x, n->y, n->next->x, n->next->y, 0, 0, 0, 0, 0});
    }
    n = n->next;
  } while (n != p->first);
}

inline std::vector<RefEdge> refEdges(const shape *s) {
  std::vector<RefEdge> out;
  for (int i = 0; i < s->npaths; ++i) refEdges(s->paths[i], out);
  return out;
}

// Parameters along e where it meets f.
inline void refMeet(const RefEdge &e, const RefEdge &f, std::vector<double> &at) {
  if (!e.arc && !f.arc) {
    const double dx = e.x1 - e.x0, dy = e.y1 - e.y0, fx = f.x1 - f.x0, fy = f.y1 - f.y0;
    const double det = dx * fy - dy * fx;
    if (det == 0) return;
    const double t = ((f.x0 - e.x0) * fy - (f.y0 - e.y0) * fx) / det;
    const double u = ((f.x0 - e.x0) * dy - (f.y0 - e.y0) * dx) / det;
    if (t >= 0 && t <= 1 && u >= 0 && u <= 1) at.push_back(t);
    return;
  }
  // Points of the circle (or line) of f on the carrier of e, then kept
  // when they lie on both pieces.
  std::vector<std::pair<double, double>> pts;
  const auto lineCircle = [&pts](double x0, double y0, double dx, double dy, double cx, double cy, double r) {
    const double a = dx * dx + dy * dy, b = 2 * (dx * (x0 - cx) + dy * (y0 - cy));
    const double c = (x0 - cx) * (x0 - cx) + (y0 - cy) * (y0 - cy) - r * r, disc = b * b - 4 * a * c;
    if (disc < 0) return;
    for (double sgn : {-1.0, 1.0}) {
      const double t = (-b + sgn * std::sqrt(disc)) / (2 * a);
      pts.push_back({x0 + t * dx, y0 + t * dy});
    }
  };
  if (e.arc && f.arc) {
    const double dx = f.cx - e.cx, dy = f.cy - e.cy, d = std::hypot(dx, dy);
    if (d == 0 || d > e.r + f.r || d < std::fabs(e.r - f.r)) return;
    const double a = (d * d + e.r * e.r - f.r * f.r) / (2 * d), h = std::sqrt(std::max(0.0, e.r * e.r - a * a));
    for (double sgn : {-1.0, 1.0})
      pts.push_back({e.cx + (a * dx - sgn * h * dy) / d, e.cy + (a * dy + sgn * h * dx) / d});
  } else {
    const RefEdge &s = e.arc ? f : e, &c = e.arc ? e : f;
    lineCircle(s.x0, s.y0, s.x1 - s.x0, s.y1 - s.y0, c.cx, c.cy, c.r);
  }
  const auto param = [](const RefEdge &g, double x, double y) {
    if (g.arc) return g.atAngle(std::atan2(y - g.cy, x - g.cx));
    const double dx = g.x1 - g.x0, dy = g.y1 - g.y0;
    const double t = ((x - g.x0) * dx + (y - g.y0) * dy) / (dx * dx + dy * dy);
    return t >= 0 && t <= 1 ? t : -1.0;
  };
  for (auto [x, y] : pts) {
    const double se = param(e, x, y), sf = param(f, x, y);
    if (se >= 0 && sf >= 0) at.push_back(se);
  }
}

// Winding number of the edges around (x, y), from a ray towards +x.
inline int refWinding(const std::vector<RefEdge> &edges, double x, double y) {
  int w = 0;
  for (const RefEdge &e : edges) {
    if (!e.arc) {
      if ((e.y0 > y) != (e.y1 > y)) {
        const double xi = e.x0 + (y - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0);
        if (xi > x) w += e.y1 > e.y0 ? 1 : -1;
      }
      continue;
    }
    const double dy = y - e.cy;
    if (std::fabs(dy) >= e.r) continue;
    for (double sgn : {-1.0, 1.0}) {
      const double xi = e.cx + sgn * std::sqrt(e.r * e.r - dy * dy);
      if (xi <= x) continue;
      const double phi = std::atan2(dy, xi - e.cx);
      if (e.atAngle(phi) < 0) continue;
      // Moving along the arc, y grows where cos(phi) has the sweep's sign.
      w += (std::cos(phi) > 0) == (e.sweep > 0) ? 1 : -1;
    }
  }
  return w;
}

// Integral of x dy over the pieces of `edges` inside (or, with all, every
// piece of) the region of `other`.
inline double refInside(const std::vector<RefEdge> &edges, const std::vector<RefEdge> &other, bool all = false) {
  double sum = 0;
  for (const RefEdge &e : edges) {
    std::vector<double> at = {0.0, 1.0};
    for (const RefEdge &f : other) refMeet(e, f, at);
    std::sort(at.begin(), at.end());
    for (size_t k = 0; k + 1 < at.size(); ++k) {
      if (!(at[k + 1] > at[k])) continue;
      const double m = (at[k] + at[k + 1]) / 2;
      if (all || refWinding(other, e.px(m), e.py(m)) != 0) sum += e.xdy(at[k], at[k + 1]);
    }
  }
  return sum;
}

inline double referenceArea(const path *p) {
  std::vector<RefEdge> e;
  refEdges(p, e);
  return refInside(e, e, true);
}

inline double referencePerimeter(const path *p) {
  std::vector<RefEdge> e;
  refEdges(p, e);
  double sum = 0;
  for (const RefEdge &x : e) sum += x.arc ? x.r * std::fabs(x.sweep) : std::hypot(x.x1 - x.x0, x.y1 - x.y0);
  return sum;
}

inline double referenceCommonArea(const shape *a, const shape *b) {
  const auto ea = refEdges(a), eb = refEdges(b);
  return refInside(ea, eb) + refInside(eb, ea);
}

}  // namespace kiv::geomtest
