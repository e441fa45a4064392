// Angles of one gear and of the pair that the build needs before its sweep
// (teeth axis, tooth-top width, first contact, first and last touch of a
// circle), and the port openings of a cavity at one shaft angle.
//
// Angles in radians, counter-clockwise; lengths in the build's unit.
#pragma once

#include <vector>

#include "gearpump/build_gear.hpp"

namespace kiv::egp {

// Outcome of the searches: 0 found, 1 no answer within the search's bound
// (the build reports it as a mesh that cannot be made).
inline constexpr int kSearchFailed = 1;

// A circle [xc, yc, r].
struct egp_circle {
  double xc = 0, yc = 0, r = 0;
};

// Direction opposite to the midpoint of the first two crossings of the
// mid-radius circle met from the start of a tooth pitch, about the gear's
// centre.  0, or kSearchFailed (axis untouched) with fewer than two.
int egp_compute_teeth_axis_angle(const egp_build_gear &g, const shape *s, double &axis);
// Angle at the centre between the first and last contour points of a tooth
// top (within tol of rmax); count (may be null) the points from one to the
// other.  Both 0 when no top is entered and left within one pitch.
void egp_compute_top_teeth_angle(const egp_build_gear &g, const shape *s, double tol, int *count,
                                 double &tta);
// Of the point counts at the tolerances 0.1, 0.01 .. 1e-7 (kTolCount of
// them, 0 for none): the index of the finest tolerance giving the count
// that occurs most often from the start of its run on (the coarser on a
// tie; runs after a count of 0 are not candidates); 0 when the first count
// is 0.
inline constexpr int kTolCount = 7;
int egp_tol_vote(const int *count);
// The top-teeth angle at the tolerance egp_tol_vote picks; returns 0.
int egp_calc_tol_and_tta(const egp_build_gear &g, const shape *s, double &tol, double &tta);

// Largest counter-clockwise turn of a about the gear's centre, within 1e-14
// of the first one at which a properly crosses b.  0, or kSearchFailed.
int egp_find_contact_angle(const egp_build_gear &g, const Pelem &a, const Pelem &b, double &angle);
// Turn of the element (placed from the gear's reference angle) at which it
// first (mode 1) or last (mode 0) has a point in the circle.  0, or
// kSearchFailed.
int egp_find_intersection_angle(const egp_build_gear &g, int mode, egp_circle c, const Pelem &e,
                                double &angle);

// Length of cavity k's tip-circle arc beyond the port edge (side 1 outlet,
// 2 inlet) at the driving shaft angle.
double egp_len_inout(const egp_build_gear &g, int side, double angle, int k, double edge);

// Appends arc points of the circle from start towards end by step, at most
// nmax - 1 of them; mode 1 leaves out the start and appends the end, any
// other mode starts on the start and leaves out the end.
void egp_set_points_on_arc(int mode, double start, double end, double step, int nmax, egp_circle c,
                           std::vector<double> &x, std::vector<double> &y);

// Bounding box [xmin, ymin, xmax, ymax] of the first path's nodes; is_rect 1
// when it is a four-node axis-aligned rectangle starting with a horizontal
// edge.  A null shape leaves both alone.  Returns 0.
int egp_inout_get_bounds(const shape *s, double *box, int &is_rect);

// The two areas of a meshing region at the port side: between element a
// from vertex i1, the circles' arcs and the segment to b's vertex i2.  c1 is
// the gear's tip circle, c2 the other gear's; span1, span2 their pitches;
// ang1, ang2 the tip-circle crossings.
void egp_calc_inout_areas(int side, double angle, const egp_build_gear &g, int k, int i1, int i2,
                          const Pelem &a, const Pelem &b, egp_circle c1, double span1,
                          egp_circle c2, double span2, double ang1, double ang2, double &area1,
                          double &area2);

}  // namespace kiv::egp
