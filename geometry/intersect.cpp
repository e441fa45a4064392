// Meeting points of segments and arcs, and the crossing test between paths.
#include <algorithm>
#include <cfloat>
#include <initializer_list>

#include "geometry/crossing.hpp"
#include "geometry/kernel.hpp"

namespace kiv::geom {
namespace {

struct Hit {
  double x, y;
};

// Writes the counted points of a pair of candidates: the first counted one
// to the first output; 4 when both count, 3 for one, 0 for none.
int report(const Hit (&pts)[2], const bool (&counts)[2], double *x1, double *y1, double *x2,
           double *y2) {
  if (counts[0]) {
    *x1 = pts[0].x;
    *y1 = pts[0].y;
    if (!counts[1]) return 3;
    *x2 = pts[1].x;
    *y2 = pts[1].y;
    return 4;
  }
  if (!counts[1]) return 0;
  *x1 = pts[1].x;
  *y1 = pts[1].y;
  return 3;
}

bool onBoth(const Hit &h, const point *c1, const point *c2, double tol) {
  const double q[2] = {h.x, h.y};
  return ispoint_on_arc_full(q, c1, tol) && ispoint_on_arc_full(q, c2, tol);
}

// Two arcs on one circle meet where the ends of one lie on the other.
int sameCircle(const point *c1, const point *c2, double tol, double *p1, double *p2) {
  const point *ends[4] = {c1->previous, c1->next, c2->previous, c2->next};
  const point *on[4] = {c2, c2, c1, c1};
  bool hit[4];
  int n = 0;
  for (int i = 0; i < 4; ++i) {
    const double q[2] = {ends[i]->x, ends[i]->y};
    hit[i] = ispoint_on_arc_full(q, on[i], 1e-12) != 0;
    n += hit[i];
  }
  if (n < 2) return 0;
  const point *a = nullptr, *b = nullptr;
  if (n == 2) {
    for (int i = 0; i < 4; ++i)
      if (hit[i]) (a ? b : a) = ends[i];
  } else if (n == 4 || (hit[0] && hit[1])) {
    a = ends[0];
    b = ends[1];
  } else {
    a = ends[2];
    b = ends[3];
  }
  p1[0] = a->x;
  p1[1] = a->y;
  p2[0] = b->x;
  p2[1] = b->y;
  return closeTo(p1[0], p1[1], p2[0], p2[1], tol) ? 3 : 4;
}

// Whether (x, y) lies within tol of an end of the arc of c1 or of c2, by
// distance or, with `box`, in both coordinates.
bool nearAnEnd(double x, double y, const point *c1, const point *c2, double tol, bool box) {
  for (const point *e : {c1->previous, c1->next, c2->previous, c2->next})
    if (box ? closeTo(x, y, e->x, e->y, tol) : distance(x, y, e->x, e->y) <= tol) return true;
  return false;
}

}  // namespace

bool edgesCross(const point *x, const point *y) {
  constexpr double tol = 1e-11;
  if (!isCentre(x) && !isCentre(y)) {
    point out;
    return computeIntersection_segseg(x, x->next, y, y->next, tol, &out) == 3;
  }
  if (isCentre(x) != isCentre(y)) {
    const point *c = isCentre(x) ? x : y, *s = isCentre(x) ? y : x;
    const double a[2] = {s->x, s->y}, b[2] = {s->next->x, s->next->y};
    const int r = checkIntersection_arcseg(c, a, b);
    return r == 3 || r == 6;
  }
  double p1[2], p2[2];
  const int n = computeIntersection_arcarc(x, y, tol, p1, p2);
  return (n >= 3 && !nearAnEnd(p1[0], p1[1], x, y, tol, false)) ||
         (n == 4 && !nearAnEnd(p2[0], p2[1], x, y, tol, false));
}

}  // namespace kiv::geom

using namespace kiv::geom;

extern "C" {

int computeIntersection_segseg(const point *a1, const point *a2, const point *b1, const point *b2,
                               double tol, point *out) {
  if (std::min(a1->x, a2->x) > std::max(b1->x, b2->x) || std::min(b1->x, b2->x) > std::max(a1->x, a2->x) ||
      std::min(b1->y, b2->y) > std::max(a1->y, a2->y) || std::min(a1->y, a2->y) > std::max(b1->y, b2->y))
    return 0;
  const double d = (a2->x - a1->x) * (b2->y - b1->y) - (a2->y - a1->y) * (b2->x - b1->x);
  if (d == 0.0) return 0;  // parallel or collinear: never a meeting point
  // Nearly so: a node made at a computed crossing lies some ulps off the
  // line it came from, and a determinant within the rounding of the inputs
  // would give positions along the segments that are noise.
  const double la = std::hypot(a2->x - a1->x, a2->y - a1->y), lb = std::hypot(b2->x - b1->x, b2->y - b1->y);
  const double reach = std::max({std::fabs(a1->x), std::fabs(a1->y), std::fabs(a2->x), std::fabs(a2->y),
                                 std::fabs(b1->x), std::fabs(b1->y), std::fabs(b2->x), std::fabs(b2->y)});
  if (std::fabs(d) <= 64.0 * DBL_EPSILON * (la * lb + reach * (la + lb))) return 0;
  double nt = (a1->y - b1->y) * (b2->x - b1->x) - (a1->x - b1->x) * (b2->y - b1->y);
  double nu = (a2->x - a1->x) * (a1->y - b1->y) - (a2->y - a1->y) * (a1->x - b1->x);
  for (double *n : {&nt, &nu}) {
    if (-d * tol < *n && *n < 0.0) *n = 0.0;
    if (d < *n && *n < d * (1.0 + tol)) *n = d;
  }
  double t = nt / d, u = nu / d;
  if (-tol < t && t < tol)
    t = 0.0;
  else if (1.0 - tol < t && t < 1.0 + tol)
    t = 1.0;
  if (-tol < u && u < tol) u = 0.0;
  bool nearEnd = false;
  if (1.0 - tol < u && u < 1.0 + tol) {
    u = 1.0;
    nearEnd = true;
  }
  int result = 0;
  if (!nearEnd && 0.0 < t && t < 1.0 && 0.0 < u && u < 1.0)
    result = 3;
  else if ((0.0 <= t && t <= 1.0 && (u == 0.0 || u == 1.0)) || (0.0 <= u && u <= 1.0 && (t == 0.0 || t == 1.0)))
    result = 1;
  if (result && out) {
    initialized_point(out);
    out->x = b1->x + u * (b2->x - b1->x);
    out->y = b1->y + u * (b2->y - b1->y);
  }
  return result;
}

int computeIntersection_arcseg(const point *c, const double *a, const double *b, double tol, double *x1,
                               double *y1, double *x2, double *y2) {
  const double dx = b[0] - a[0], dy = b[1] - a[1];
  const double L2 = dx * dx + dy * dy;
  const double D = (a[1] - c->y) * dx - (a[0] - c->x) * dy;
  const double delta = c->radius * c->radius * L2 - D * D;
  if (delta <= 0.0) return 0;  // tangent or apart
  const double sq = std::sqrt(delta);
  const Hit pts[2] = {{c->x + (-D * dy + dx * sq) / L2, c->y + (D * dx + dy * sq) / L2},
                      {c->x + (-D * dy - dx * sq) / L2, c->y + (D * dx - dy * sq) / L2}};
  if (distance(pts[0].x, pts[0].y, pts[1].x, pts[1].y) <= tol) return 0;  // grazing
  // The products below are the segment's length times a distance.  Beyond
  // a unit length the tolerance on the distance from the line grows with
  // it, so that a point within tol of a long segment is not lost to
  // rounding; past the ends no point farther than tol counts, however short
  // the segment (an absolute bound would take in the whole line).
  const double L = std::sqrt(L2), slack = tol * std::max(1.0, L), beyond = tol * L;
  bool counts[2];
  for (int i = 0; i < 2; ++i) {
    const double q[2] = {pts[i].x, pts[i].y};
    const double px = q[0] - a[0], py = q[1] - a[1];
    const double along = px * dx + py * dy;
    counts[i] = ispoint_on_arc_full(q, c, tol) && std::fabs(cross(dx, dy, px, py)) <= slack && -beyond <= along &&
                along <= L2 + beyond;
  }
  return report(pts, counts, x1, y1, x2, y2);
}

int checkIntersection_arcseg(const point *c, const double *a, const double *b) {
  constexpr double tol = 1e-11;
  double x[2], y[2];
  const int n = computeIntersection_arcseg(c, a, b, tol, &x[0], &y[0], &x[1], &y[1]);
  if (n == 0) return 0;
  const auto atEnd = [&](int i) {
    return distance(x[i], y[i], c->previous->x, c->previous->y) <= tol ||
           distance(x[i], y[i], c->next->x, c->next->y) <= tol || distance(x[i], y[i], a[0], a[1]) <= tol ||
           distance(x[i], y[i], b[0], b[1]) <= tol;
  };
  if (n == 3) return atEnd(0) ? 1 : 3;
  return atEnd(0) && atEnd(1) ? 2 : 6;
}

int computeIntersection_arcarc(const point *c1, const point *c2, double tol, double *p1, double *p2) {
  const double r1 = c1->radius, r2 = c2->radius;
  if (closeTo(c1->x, c1->y, c2->x, c2->y, tol)) {
    // Concentric: one circle when the radii differ by no more than rounding
    // or the tolerance, otherwise two circles that never meet.
    if (std::fabs(r1 - r2) > std::max(tol, 8.0 * DBL_EPSILON * std::max(std::fabs(r1), std::fabs(r2)))) return 0;
    return sameCircle(c1, c2, tol, p1, p2);
  }
  const double ux = 2.0 * (c2->x - c1->x), uy = 2.0 * (c2->y - c1->y);
  const double N = ux * ux + uy * uy;
  if (N == 0.0) return 0;
  // The radical line: y.u = K for y = x - c1, written from the centre
  // distance so that shapes far from the origin lose nothing.
  const double K = r1 * r1 - r2 * r2 + N / 4.0;
  // r1^2 N - K^2, as the product of its four factors: the difference
  // cancels badly when one circle is much larger than the other.
  const double d = std::sqrt(N) / 2.0;
  const double delta = (r1 + r2 - d) * (d + r2 - r1) * (d + r1 - r2) * (d + r1 + r2);
  if (delta < -1e-10) return 0;
  if (delta > 1e-10) {
    const double sq = std::sqrt(delta);
    const Hit pts[2] = {{c1->x + (ux * K + uy * sq) / N, c1->y + (uy * K - ux * sq) / N},
                        {c1->x + (ux * K - uy * sq) / N, c1->y + (uy * K + ux * sq) / N}};
    if (distance(pts[0].x, pts[0].y, pts[1].x, pts[1].y) <= tol) return 0;
    // The points are computed from both circles: their rounding follows the
    // larger magnitudes of the two.
    const double onTol = std::max(tol, 8.0 * DBL_EPSILON * (std::fabs(c1->x) + std::fabs(c1->y) + r1 + std::fabs(c2->x) + std::fabs(c2->y) + r2));
    const bool counts[2] = {onBoth(pts[0], c1, c2, onTol), onBoth(pts[1], c1, c2, onTol)};
    return report(pts, counts, &p1[0], &p1[1], &p2[0], &p2[1]);
  }
  // Tangent circles: the touching point counts only at an end of an arc.
  const Hit h = {c1->x + ux * K / N, c1->y + uy * K / N};
  if (!nearAnEnd(h.x, h.y, c1, c2, tol, true) || !onBoth(h, c1, c2, tol)) return 0;
  p1[0] = h.x;
  p1[1] = h.y;
  return 3;
}

int check_intersections_paths(const path *P, const path *Q) { return pathsCross(P, Q) ? 5 : 0; }

}  // extern "C"
