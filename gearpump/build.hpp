// The geometry build of the gear pump: from two gear outlines and two port
// outlines (shape ids, millimetres) it places the gears on the build frame,
// checks them, finds the transition angles of the mesh, turns the driving
// shaft once round cutting the selected cavities at every sample, and hands
// the curves to the tables by angle (mode 0), returns the cavity shapes at
// one angle (mode 1) or returns the curves of one revolution (mode 2).
#pragma once

#include "gearpump/records.hpp"
#include "gearpump/positions.hpp"

namespace kiv::egp {

// Build statuses besides 0 and the cut's own (kSearchFailed when no mesh
// can be made, kCountsDiffer).
inline constexpr int kBuildGearsIntersect = 2;
inline constexpr int kBuildTopDriving = 3, kBuildTopDriven = 4;
inline constexpr int kBuildDrainCommonDriving = 5, kBuildDrainCommonDriven = 6;
inline constexpr int kBuildDrainDriving = 7, kBuildDrainDriven = 8;

// Curves of one revolution of a selected cavity (mode 2): n samples of the
// shaft angle x (degrees), the cavity volume (mm3), and its areas open to
// the outlet and the inlet (mm2: port overlap, tip opening times the
// thickness, groove sector).
struct egp_cavity_curves {
  int n = 0;
  Curve x, volume, outlet, inlet;
};

struct egp_build_args {
  int mode = 0;                  // 0 simulation, 1 shapes at one angle, 2 curves
  double *store = nullptr;       // 16 reals (mode 0)
  egp_instance *inst = nullptr;  // receives the tables (mode 0)
  int driving = -1, driven = -1, outlet = -1, inlet = -1;  // shape ids; -1: no port
  double angle = 0;  // driving shaft angle (mode 1), radians
  int ppd = 1;       // samples per degree: 1, 2, 4, 5, 8 or 10
  int c1 = 0, c2 = 0;  // selected cavities; negative: every cavity (mode 1)
  // Mode 1: driving cavity, its overlap with the outlet and with the inlet,
  // then the driven three; the caller owns them.
  ShapePtr *shapes = nullptr;
  egp_cavity_curves *curves = nullptr;  // mode 2: driving, then driven
};

// Runs the build on a fresh workspace.  0, or a status: kSearchFailed (no
// mesh: the gears cannot mesh, no transition angle, a cut or a table that
// cannot be made), kBuildGearsIntersect, kBuildTop*, kBuildDrain*.  Every
// curve of the workspace is released on return, whatever the status; the
// port boxes and the special records stay.
int egp_internal_build(egp_pump_data &w, const egp_params &p, const egp_build_args &a);

}  // namespace kiv::egp
