// Flat polygon elements of the gear-pump build and the plane operations on
// them: the fast representation of contours for the inner loops of the angle
// sweep, beside the kernel's shapes used for booleans and exact areas.
//
// Lengths are in the build's unit, angles in radians, counter-clockwise.
#pragma once

#include <cmath>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "geometry/kiv_geometry.h"

namespace kiv::egp {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kTwoPi = 2.0 * kPi;

// One block [flag, n, x1 .. xn, y1 .. yn]: flag 1 for an element taken from
// a shape or a gear contour, 0 for an assembled cavity element.  The points
// form an open polyline (no edge from the last point back to the first).
// An element built empty holds no block at all.
struct Pelem {
  std::vector<double> block;

  Pelem() = default;
  Pelem(double flag, int n) : block(2 * static_cast<size_t>(n > 0 ? n : 0) + 2, 0.0) {
    block[0] = flag;
    block[1] = n > 0 ? n : 0;
  }
  int count() const { return block.size() < 2 ? 0 : static_cast<int>(block[1]); }
  double flag() const { return block.empty() ? 0.0 : block[0]; }
  // An empty element has no points (and no block to point into).
  double *x() { return block.empty() ? nullptr : block.data() + 2; }
  double *y() { return block.empty() ? nullptr : block.data() + 2 + count(); }
  const double *x() const { return block.empty() ? nullptr : block.data() + 2; }
  const double *y() const { return block.empty() ? nullptr : block.data() + 2 + count(); }
};

using kiv::geom::ShapePtr;

// The runtime's allocation guard, under the name the gear-pump code uses.
template <class F>
auto orMemoryError(const char *label, F &&f) {
  return guardAllocation(label, std::forward<F>(f));
}

// x - 2 pi floor(x / 2 pi) in [0, 2 pi), but exactly 2 pi when x / 2 pi is 1.
double egp_mod_2pi(double x);
// x - 2 pi floor(x / 2 pi), without the exception.
double floor_2pi(double x);
// An angle in degrees brought into [0, 360) by floor.
inline double egp_modulo_deg(double v) { return v - 360.0 * std::floor(v / 360.0); }

// Turns n points in place counter-clockwise about (xc, yc); c and s are the
// cosine and sine of the angle.
void egp_rotation(double c, double s, double xc, double yc, double *x, double *y, int n);
void egp_poly_rotation(double c, double s, double xc, double yc, Pelem &e);
// Area of the closed polygon through the n points, never negative.
double egp_area(int n, const double *x, const double *y);
double egp_poly_area(const Pelem &e);

// Squared distance from (px, py) to its projection on the segment, or -1
// when the projection falls outside it (or the segment has no length).
double egp_dist_sq_min_seg_point(double x1, double y1, double x2, double y2, double px, double py);
// Smallest squared distance of an end of one segment [x1, y1, x2, y2]
// projected on the other; 1e30 when no end projects inside.
double egp_dist_sq_min_seg_seg(const double *a, const double *b);
// 1 when the segment properly crosses one of the element's edges, else 0.
int egp_poly_intersect_seg(const Pelem &e, double x1, double y1, double x2, double y2);
int egp_poly_intersect_poly(const Pelem &a, const Pelem &b);
// 1 when a point of the element lies in or on the circle [xc, yc, r].
int egp_poly_intersect_circle(const Pelem &e, const double *circle);
// 1 and the crossing point when one end is inside the circle and the other
// not (an end on the circle counts either way); else 0.
int egp_segment_circle_intersection(double x1, double y1, double x2, double y2, double xc,
                                    double yc, double r, double &X, double &Y);
// Smallest distance (not above dmax) between the edges of a meeting at
// vertex i and those of b meeting at vertex j; index -1 is the last point
// with the closing edge as its following edge.
double egp_poly_poly_min_distance_at_indexes(const Pelem &a, int i, const Pelem &b, int j,
                                             double dmax);

// Conversions between elements and the kernel's shapes (first path only,
// ring order from its first node, every node).
ShapePtr egp_poly_to_shape_copy_create(const Pelem &e);
// A new one-path shape through n points in order.
ShapePtr shapeThrough(const double *x, const double *y, int n);
// Writes the points over the first n nodes of the shape's first path, which
// must hold at least n nodes.
void egp_poly_to_shape_copy(const Pelem &e, shape *s);
Pelem egp_shape_to_poly(const shape *s);
void egp_shape_to_mem(const shape *s, std::vector<double> &x, std::vector<double> &y);
int egp_shape_intersect_shape(const shape *a, const shape *b);
// Centroid of the first path's ring, over the area of the whole shape.
void egp_get_centroid(const shape *s, double &xg, double &yg);
// Smallest and largest distance of the first path's nodes from (xc, yc).
void egp_get_radius_from_gear_shape(const shape *s, double xc, double yc, double &rmin,
                                    double &rmax);

}  // namespace kiv::egp
