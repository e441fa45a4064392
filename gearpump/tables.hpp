// Tables by shaft angle: the sampled curves of the build made into 1-D cubic
// splines (angle in degrees, lengths in mm, areas in mm2) whose ids the
// instance keeps, the preparation of the cavity-area and force-data curves,
// and the reads of those tables at run time.
#pragma once

#include <vector>

#include "gearpump/records.hpp"

namespace kiv::egp {

// A spline id freed when it goes out of scope.
struct SplineOwner {
  int id = -1;
  SplineOwner() = default;
  SplineOwner(const SplineOwner &) = delete;
  SplineOwner &operator=(const SplineOwner &) = delete;
  ~SplineOwner();
};

// Angle step in degrees of ppd samples per degree (1, 2, 4, 5, 8 or 10);
// 0 for any other count.
double egp_step_of_ppd(int ppd);

// One table per column on a shared axis of n samples, made cyclic: kind 5
// smooths a copy of the axis and the column first (25 passes, window 25,
// slope method `smooth_method`) and builds with `kind5_method`; any other
// kind is the slope method itself.  index < 0 builds columns 0..count-1
// into ids[0..count-1], otherwise column `index` into ids[index].
// Returns 0, or -1 when a table cannot be made (its id stays -1).
int egp_init_table(int count, int index, int *ids, int n, const double *axis, const Curve *columns,
                   int kind, int smooth_method, int kind5_method);

// As egp_init_table, but column k has its own axis axes[k] of counts[k]
// samples, with the slope method and the boundary code of both ends given.
int egp_init_table_bcond(int count, int index, int *ids, const Curve *axes, const Curve *values,
                         const int *counts, int method, int boundary);

// The area table of cavity `cav` over its meshing run, samples i0 < i1 of
// the n-sample sweep (axis, curve), between the transition angles x0 and x1
// (degrees): it starts and ends at the full cavity area aref.  Written to
// out_x[cav], out_y[cav] and out_n[cav].  Returns 0, or -1 for a run that
// does not fit the sweep or whose area never leaves aref.
int egp_pump_data_cav_vol(int gear_definition, int cav, int i0, int i1, double x0, double x1,
                          double aref, int n, int ppd, const double *axis, const double *curve,
                          CavityCurves &out_x, CavityCurves &out_y, std::vector<int> &out_n);

// Force-data columns around the meshing window i0..i1 of an n-sample sweep
// of step dx.  `ncol` columns (4, or 8 with a second set) are rebuilt in
// place on the new axis out_x; va, vb, vm hold ncol values each.
// Border: the window is replaced by (xa, va), (xm, vm), (xb, vb).
// Centre: the window is kept and xa, xb are inserted unless they fall
// within dx/100 of a neighbouring sample; the closing value repeats the
// first point (closing 0) or the point before it.
// Both close the axis at (n - 1) dx and return 0, or -1 for a window that
// does not lie inside the sweep.
int egp_setup_force_data_border(int n, double dx, int i0, int i1, double xa, double xb, double xm,
                                const double *va, const double *vb, const double *vm, int ncol,
                                const double *axis, Curve &out_x, Curve *cols);
int egp_setup_force_data_center(int n, double dx, int i0, int i1, double xa, double xb,
                                const double *va, const double *vb, int closing, int ncol,
                                const double *axis, Curve &out_x, Curve *cols);

// Axes of the per-cavity force tables as the force-data set-up left them.
// The chamber axes are the workspace's out_a_x .. inl_d_x.
struct egp_force_axes {
  const Curve *drv_border = nullptr, *drv_center = nullptr;
  const Curve *drn_border = nullptr, *drn_center = nullptr;
};

// Every table of the instance from the workspace (cavities m1 = z1/2 and
// m2 = z2/2, main axis of n samples); sizes the marker slots.  With the
// raw cavity areas of the sweep in the workspace, the chamber tables are
// made to add up with the cavity tables to the raw total of the fluid
// space at every sample; without them each is only smoothed.  Returns 0,
// or -1 when some table cannot be made: the build then fails.
int egp_pump_data_init_tables(const egp_pump_data &w, int m1, int m2, int n, const double *axis,
                              const egp_force_axes &force, egp_instance &inst);

// Table reads at run time.  The id sits at element `elem` of slot `s` (the
// middle cavity, or 0); `site` picks the interval memory of the read site
// (the cavity whose angle is read), so reads at angles a pitch apart never
// start from each other's interval.  A slot without a table reads 0.
double egp_table_value(egp_instance &inst, int s, int elem, int site, double deg);
double egp_table_slope(egp_instance &inst, int s, int elem, int site, double deg);

}  // namespace kiv::egp
