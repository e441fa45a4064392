// The force records just before and just after every transition of the
// mesh: a cavity starting or stopping being closed by the other gear, and a
// meshing region opening to a chamber.  The swept tables would blur these
// jumps, so the force-data set-up takes them as exact values on both sides.
//
// Angles in radians.
#pragma once

#include "gearpump/cut.hpp"

namespace kiv::egp {

// The transition angles of the mesh: t1, t2 the driving gear's outlet and
// inlet side, t3, t4 the driven gear's.
struct egp_transitions {
  double t1 = 0, t2 = 0, t3 = 0, t4 = 0;
};

// The outlet chamber opens between out_lo and out_hi within one pitch, the
// inlet chamber between in_lo and in_hi.  Angles and periods in any one
// unit (the special positions work in radians, the sweep in degrees).
struct egp_chamber_limits {
  double out_lo = 0, out_hi = 0, in_lo = 0, in_hi = 0;
};
egp_chamber_limits egp_chamber_limits_of(const egp_transitions &t, double period1,
                                         double period2);

// Cavity states and meshing cavities at the driving angle theta.
void egp_meshing_at(double theta, const egp_build_gear &g1, const egp_build_gear &g2,
                    const egp_transitions &t, egp_meshing &m);

// Fills the sixteen special records of the workspace for the selected
// cavities c1 (driving) and c2 (driven), seeding both index sets.  0, or
// the status of the first cut that fails.
int egp_setup_special_positions(egp_pump_data &w, int c1, int c2, const egp_pair &pair,
                                const egp_transitions &t);

}  // namespace kiv::egp
