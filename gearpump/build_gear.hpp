// Per-gear records of the geometry build: the gear contour, tooth elements
// cut from it by angular windows, the cavity between two teeth and the tip
// circle, and the cavity's bounding trapezoid.
//
// Angles in radians, counter-clockwise; lengths in the build's unit.
#pragma once

#include <array>
#include <vector>

#include "gearpump/pelem.hpp"

namespace kiv::egp {

// One gear of the build.  The driver sets the scalars and the contour; the
// functions below fill the elements, the cavity definition and the bounds.
// Everything is owned here: a fresh record is zeroed and deleting it twice
// is harmless.
struct egp_build_gear {
  int kind = 0;  // 1 driving gear, 2 driven gear
  int dir = 0;   // -1 driving, +1 driven: the sense in which numbers advance
  int z = 0;
  double xc = 0.0, yc = 0.0;  // centre in the build frame
  double rmin = 0.0, rmax = 0.0;
  double pitch = 0.0;  // 2 pi / z
  double tta = 0.0;    // angular width of a tooth top
  double axis = 0.0;   // teeth axis angle
  double cross_hi = 0.0, cross_lo = 0.0;
  std::vector<double> xs, ys;  // the contour
  Pelem cavdef, cavdef_work;
  ShapePtr cavshape;
  double cavarea = 0.0;
  // e[0] .. e[4] are the element kinds e1 .. e5, z elements each, with
  // their working copies.
  std::array<std::vector<Pelem>, 5> e, e_work;
  std::array<double, 8> bounds{};  // trapezoid as (x, y) pairs

  int n() const { return static_cast<int>(xs.size()); }
};

// pi + axis for the driving gear, -pitch/2 for the driven gear: the angle
// every element, the cavity definition and the bounds are placed from.
double referenceAngle(const egp_build_gear &g);

void egp_build_gear_alloc(egp_build_gear &g);
// Frees the contour, the cavity definitions and the element arrays; the
// cavity shape is left to the build (it may hand it to its caller).
void egp_build_gear_delete(egp_build_gear &g);

// The contour points in the window from theta over a pitch (full) or half a
// pitch, walked clockwise from the window's far end; with filter, interior
// points of a tooth top (within tol of rmax, both neighbours too) left out.
Pelem egp_create_pelem(const egp_build_gear &g, double theta, int filter, int full, double tol);
// Fills e1 .. e5 of every tooth and their working copies; returns 0.
int egp_pump_create_pelems(double tol, egp_build_gear &g);

// Cavity definition (two half-pitch flanks and the tip arc between two
// tooth tops), its shape and area; returns 0.
int egp_build_create_cavity_def(egp_build_gear &g);
// cavdef_work = cavdef turned by k dir pitch + angle about the centre.
void egp_build_update_cavity_def(egp_build_gear &g, int k, double angle);
// c's points i3.., a's points ..i1, then b's points i2.. and d's ..i4 (or
// d's points i2..i4 without b).  Indices outside an element give an empty
// element.
Pelem egp_create_cavity_pelem(int i1, int i2, int i3, int i4, const Pelem &a, const Pelem *b,
                              const Pelem &c, const Pelem &d);

// Cavity trapezoid from just inside the root to just outside the tip; 0.
int egp_pump_create_cav_bounds(egp_build_gear &g);
// Axis-aligned box of cavity k's trapezoid at the driving shaft angle; 0.
int egp_cav_get_bounds(const egp_build_gear &g, int k, double angle, double &xmin, double &ymin,
                       double &xmax, double &ymax);
// k when the angle theta lies in the sector from t0 + k pitch over t1 - t0,
// else -1.
int egp_cav_get_intersect_teeth(int k, double theta, double pitch, double t0, double t1);

}  // namespace kiv::egp
