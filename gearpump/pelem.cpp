// Polygon elements: rotation, areas, distances, crossing tests and the
// conversions to and from the kernel's shapes.
#include "gearpump/pelem.hpp"

#include <algorithm>
#include <cmath>

namespace kiv::egp {

namespace {

double sq(double v) { return v * v; }

// Side of p relative to the directed line through a and b (the sign only).
double side(double px, double py, double ax, double ay, double bx, double by) {
  return (px - bx) * (by - ay) - (py - by) * (bx - ax);
}

// Strict crossing of P1-P2 and Q1-Q2: touching and collinear overlap are not.
bool properCross(double p1x, double p1y, double p2x, double p2y, double q1x, double q1y, double q2x,
                 double q2y) {
  const double s1 = side(p1x, p1y, q1x, q1y, q2x, q2y);
  const double s2 = side(p2x, p2y, q1x, q1y, q2x, q2y);
  const double s3 = side(q1x, q1y, p1x, p1y, p2x, p2y);
  const double s4 = side(q2x, q2y, p1x, p1y, p2x, p2y);
  if (s1 == 0.0 || s2 == 0.0 || s3 == 0.0 || s4 == 0.0) return false;
  return (s1 > 0.0) != (s2 > 0.0) && (s3 > 0.0) != (s4 > 0.0);
}

const path *firstPath(const shape *s) {
  return s && s->paths && s->npaths > 0 ? s->paths[0] : nullptr;
}

template <class F>
void forEachNode(const path *p, F &&f) {
  if (!p || !p->first) return;
  const point *n = p->first;
  do {
    f(n);
    n = n->next;
  } while (n != p->first);
}

// The edges of an element meeting at vertex i, as [x1, y1, x2, y2]; false
// where there is none.
struct VertexEdges {
  double prev[4], next[4];
  bool hasPrev = false, hasNext = false;
};

VertexEdges edgesAt(const Pelem &e, int i) {
  VertexEdges v;
  const int n = e.count();
  const double *x = e.x(), *y = e.y();
  auto set = [&](double *edge, int a, int b) {
    edge[0] = x[a];
    edge[1] = y[a];
    edge[2] = x[b];
    edge[3] = y[b];
  };
  if (n <= 0 || i >= n || i < -1) return v;
  if (i == -1) {
    set(v.next, n - 1, 0);
    v.hasNext = true;
    return v;
  }
  if (i >= 1) {
    set(v.prev, i - 1, i);
    v.hasPrev = true;
  }
  if (i < n - 1) {
    set(v.next, i, i + 1);
    v.hasNext = true;
  }
  return v;
}

}  // namespace

double egp_mod_2pi(double x) {
  const double q = x / kTwoPi;
  if (q == 1.0) return kTwoPi;
  return x - kTwoPi * std::floor(q);
}

double floor_2pi(double x) { return x - kTwoPi * std::floor(x / kTwoPi); }

void egp_rotation(double c, double s, double xc, double yc, double *x, double *y, int n) {
  for (int i = n - 1; i >= 0; --i) {
    const double dx = x[i] - xc, dy = y[i] - yc;
    x[i] = xc + c * dx - s * dy;
    y[i] = yc + s * dx + c * dy;
  }
}

void egp_poly_rotation(double c, double s, double xc, double yc, Pelem &e) {
  if (e.count() > 0) egp_rotation(c, s, xc, yc, e.x(), e.y(), e.count());
}

double egp_area(int n, const double *x, const double *y) {
  if (n < 3) return 0.0;
  double sum = x[0] * (y[1] - y[n - 1]) + x[n - 1] * (y[0] - y[n - 2]);
  for (int i = 1; i < n - 1; ++i) sum += x[i] * (y[i + 1] - y[i - 1]);
  return 0.5 * std::fabs(sum);
}

double egp_poly_area(const Pelem &e) { return egp_area(e.count(), e.x(), e.y()); }

double egp_dist_sq_min_seg_point(double x1, double y1, double x2, double y2, double px, double py) {
  const double len2 = sq(x1 - x2) + sq(y1 - y2);
  // A point-like segment has no direction to project on.
  if (len2 == 0.0) return -1.0;
  const double t = ((px - x1) * (x2 - x1) + (py - y1) * (y2 - y1)) / len2;
  if (t < 0.0 || t > 1.0) return -1.0;
  return sq(px - (x1 + t * (x2 - x1))) + sq(py - (y1 + t * (y2 - y1)));
}

double egp_dist_sq_min_seg_seg(const double *a, const double *b) {
  const double d[4] = {egp_dist_sq_min_seg_point(b[0], b[1], b[2], b[3], a[0], a[1]),
                       egp_dist_sq_min_seg_point(b[0], b[1], b[2], b[3], a[2], a[3]),
                       egp_dist_sq_min_seg_point(a[0], a[1], a[2], a[3], b[0], b[1]),
                       egp_dist_sq_min_seg_point(a[0], a[1], a[2], a[3], b[2], b[3])};
  double best = 1e30;
  for (double v : d)
    if (v != -1.0) best = std::min(best, v);
  return best;
}

int egp_poly_intersect_seg(const Pelem &e, double x1, double y1, double x2, double y2) {
  const int n = e.count();
  const double *x = e.x(), *y = e.y();
  for (int i = 0; i + 1 < n; ++i)
    if (properCross(x1, y1, x2, y2, x[i], y[i], x[i + 1], y[i + 1])) return 1;
  return 0;
}

namespace {

// Edges i (from point i to i + 1) of e whose box touches the box
// [xmin, ymin, xmax, ymax]: only those can properly cross anything in it.
std::vector<int> edgesNear(const Pelem &e, const double *box) {
  std::vector<int> near;
  const double *x = e.x(), *y = e.y();
  for (int i = 0; i + 1 < e.count(); ++i)
    if (std::max(x[i], x[i + 1]) >= box[0] && std::min(x[i], x[i + 1]) <= box[2] &&
        std::max(y[i], y[i + 1]) >= box[1] && std::min(y[i], y[i + 1]) <= box[3])
      near.push_back(i);
  return near;
}

void boxOf(const Pelem &e, double *box) {
  const int n = e.count();
  box[0] = *std::min_element(e.x(), e.x() + n), box[2] = *std::max_element(e.x(), e.x() + n);
  box[1] = *std::min_element(e.y(), e.y() + n), box[3] = *std::max_element(e.y(), e.y() + n);
}

}  // namespace

int egp_poly_intersect_poly(const Pelem &a, const Pelem &b) {
  if (a.count() < 2 || b.count() < 2) return 0;
  // Two gears overlap in boxes only near the mesh: the edges elsewhere
  // cannot cross and are not tried against each other.
  double ba[4], bb[4];
  boxOf(a, ba);
  boxOf(b, bb);
  const std::vector<int> ea = edgesNear(a, bb), eb = edgesNear(b, ba);
  const double *xa = a.x(), *ya = a.y(), *xb = b.x(), *yb = b.y();
  for (int i : ea)
    for (int j : eb)
      if (properCross(xa[i], ya[i], xa[i + 1], ya[i + 1], xb[j], yb[j], xb[j + 1], yb[j + 1]))
        return 1;
  return 0;
}

int egp_poly_intersect_circle(const Pelem &e, const double *circle) {
  const int n = e.count();
  const double *x = e.x(), *y = e.y();
  const double r2 = sq(circle[2]);
  for (int i = 0; i < n; ++i)
    if (r2 >= sq(x[i] - circle[0]) + sq(y[i] - circle[1])) return 1;
  return 0;
}

int egp_segment_circle_intersection(double x1, double y1, double x2, double y2, double xc,
                                    double yc, double r, double &X, double &Y) {
  const double r2 = r * r;
  const double d1 = sq(x1 - xc) + sq(y1 - yc), d2 = sq(x2 - xc) + sq(y2 - yc);
  if ((d1 < r2 && d2 < r2) || (d1 > r2 && d2 > r2)) return 0;
  const double dx = x2 - x1, dy = y2 - y1, dr2 = dx * dx + dy * dy;
  // Both ends on the circle at one place: no line to intersect.
  if (dr2 == 0.0) return 0;
  const double D = (x1 - xc) * (y2 - yc) - (x2 - xc) * (y1 - yc);
  const double w = std::sqrt(std::max(0.0, r2 * dr2 - D * D));
  const double sg = dy < 0.0 ? -1.0 : 1.0;
  double px = (D * dy + sg * dx * w) / dr2, py = (-D * dx + std::fabs(dy) * w) / dr2;
  const double dot = (x1 - xc - px) * (x2 - xc - px) + (y1 - yc - py) * (y2 - yc - py);
  if (dot > 0.0) {
    px = (D * dy - sg * dx * w) / dr2;
    py = (-D * dx - std::fabs(dy) * w) / dr2;
  }
  X = px + xc;
  Y = py + yc;
  return 1;
}

double egp_poly_poly_min_distance_at_indexes(const Pelem &a, int i, const Pelem &b, int j,
                                             double dmax) {
  const VertexEdges ea = edgesAt(a, i), eb = edgesAt(b, j);
  double best = dmax * dmax;
  auto pair = [&](bool ha, const double *sa, bool hb, const double *sb) {
    if (ha && hb) best = std::min(best, egp_dist_sq_min_seg_seg(sa, sb));
  };
  pair(ea.hasPrev, ea.prev, eb.hasPrev, eb.prev);
  pair(ea.hasPrev, ea.prev, eb.hasNext, eb.next);
  pair(ea.hasNext, ea.next, eb.hasPrev, eb.prev);
  pair(ea.hasNext, ea.next, eb.hasNext, eb.next);
  return std::sqrt(best);
}

ShapePtr shapeThrough(const double *x, const double *y, int n) {
  ShapePtr s(create_shape());
  path *p = create_path();
  add_path(p, s.get());
  for (int i = 0; i < n; ++i) add_last_xy_(p, x[i], y[i]);
  return s;
}

ShapePtr egp_poly_to_shape_copy_create(const Pelem &e) {
  return shapeThrough(e.x(), e.y(), e.count());
}

void egp_poly_to_shape_copy(const Pelem &e, shape *s) {
  const path *p = firstPath(s);
  if (!p || !p->first) return;
  point *node = p->first;
  const double *x = e.x(), *y = e.y();
  for (int i = 0; i < e.count(); ++i, node = node->next) {
    node->x = x[i];
    node->y = y[i];
  }
}

Pelem egp_shape_to_poly(const shape *s) {
  std::vector<double> x, y;
  egp_shape_to_mem(s, x, y);
  const int n = static_cast<int>(x.size());
  Pelem e(1.0, n);
  std::copy(x.begin(), x.end(), e.x());
  std::copy(y.begin(), y.end(), e.y());
  return e;
}

void egp_shape_to_mem(const shape *s, std::vector<double> &x, std::vector<double> &y) {
  x.clear();
  y.clear();
  forEachNode(firstPath(s), [&](const point *n) {
    x.push_back(n->x);
    y.push_back(n->y);
  });
}

int egp_shape_intersect_shape(const shape *a, const shape *b) {
  return egp_poly_intersect_poly(egp_shape_to_poly(a), egp_shape_to_poly(b));
}

void egp_get_centroid(const shape *s, double &xg, double &yg) {
  double sx = 0.0, sy = 0.0;
  forEachNode(firstPath(s), [&](const point *n) {
    const point *m = n->next;
    const double c = n->x * m->y - m->x * n->y;
    sx += (n->x + m->x) * c;
    sy += (n->y + m->y) * c;
  });
  const double A = area2D_(s);
  xg = sx / (6.0 * A);
  yg = sy / (6.0 * A);
}

void egp_get_radius_from_gear_shape(const shape *s, double xc, double yc, double &rmin,
                                    double &rmax) {
  rmin = HUGE_VAL;
  rmax = 0.0;
  forEachNode(firstPath(s), [&](const point *n) {
    const double d = std::hypot(n->x - xc, n->y - yc);
    rmin = std::min(rmin, d);
    rmax = std::max(rmax, d);
  });
}

}  // namespace kiv::egp
