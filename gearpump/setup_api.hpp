// Set-up helpers of the gear pump: the profile-shift correction of a
// rack-cut pair, gears and analytic ports as registered shapes.  Lengths in
// the caller's unit (millimetres on the submodel's road), angles in radians.
#pragma once

#include <cmath>

#include "gearpump/pelem.hpp"

namespace kiv::egp {

// What the profile-shift correction gives for a gear pair.
struct egp_pair_radii {
  double alpha_w = 0;       // working pressure angle
  double a = 0;             // centre distance
  double ra1 = 0, ra2 = 0;  // tip radii
  double rf1 = 0, rf2 = 0;  // root radii
};

// 0 and the radii, or -1 when the working pressure angle is not found.
int egp_shift_correction(int z1, int z2, double m, double alpha, double ha, double ctip, double x1,
                         double x2, egp_pair_radii &out);

// Registered gear of nteeth (1..z) teeth drawn in mode 1 or 2: the id or -1.
int egp_create_gear_id(int z, double m, double alpha, double ha, double ctip, double fillet,
                       double x, double ra, double rf, int nteeth, int mode, int &sharp);

// Registered rectangular port (see egp_create_analyticport_id_): the id or -1.
int egp_create_analyticport_id(double x1, double y1, double x2, double y2, double distance,
                               double offset, double width, double length, int side);

}  // namespace kiv::egp

#include "gearpump/records.hpp"

namespace kiv::egp {

// Gear centres (mm) and the shape ids a build starts from.
struct egp_setup_shapes {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int gear1 = -1, gear2 = -1, outlet = -1, inlet = -1;
};

// The geometry build of a pump for the simulation: 0, or the build's
// failure code.
int egp_setup(egp_pump_data &w, const egp_params &par, double *store, egp_instance &inst, int ppd,
              const egp_setup_shapes &shapes);

}  // namespace kiv::egp
