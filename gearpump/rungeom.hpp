// Run-time geometry of the gear pump: teeth and cavities placed at the
// shaft angle, the meshing cavities open to the two chambers, and the
// pressure forces and torque from the force tables.  Angles in radians
// (tables in degrees), counter-clockwise; the driving gear turns about the
// origin, the driven gear by minus the driving angle.
#pragma once

#include <vector>

#include "gearpump/records.hpp"

namespace kiv::egp {

// Angle of tooth k: gear 1 (driving) theta + pi - pitch k + axis, any other
// gear pitch (k - 0.5) - theta.
double egp_get_teeth_angle(int gear, double pitch, double axis, int k, double theta);

// 1 when the tip leakage at tooth k counts, 0 when the tip land lies wholly
// inside (driving gear) or outside (driven gear) the sector from a0, the
// outlet start, to a1, the inlet end.  tt: top-teeth angle.
double egp_leakage_tip_effective(double theta, int k, int gear, double pitch, double tt,
                                 double axis, double a0, double a1);

// Angular overlap of the cavity starting at `start` with the sector g0..g1.
double egp_cav_to_out_sector(double start, double pitch, double tt, double g0, double g1);

// Meshing-zone sector of one gear: cavity k meshes while the angle minus
// (t0 + k pitch) lies within t1 - t0.
struct egp_sector {
  double t0 = 0, t1 = 0;
};

// Rewrites the markers (k when cavity k meshes, else -1; one per cavity)
// and gives the cavities open to the outlet chamber (o1 driving, o2 driven)
// and to the inlet chamber (o3, o4), -1 for none.  Returns 0.
int egp_run_get_inout(double theta, std::vector<int> &markers1, std::vector<int> &markers2,
                      double pitch1, double pitch2, egp_sector driving, egp_sector driven, int &o1,
                      int &o2, int &o3, int &o4);

// What the force computation reads besides the tables.
struct egp_force_state {
  double pressure_offset = 0;
  double b = 0;             // gear thickness [m]
  double tt1 = 0, tt2 = 0;  // top-teeth angles
  double R1 = 0, R2 = 0;    // tip radii [m]
  double axis1 = 0;         // teeth axis angle of the driving gear
  int o1 = -1, o2 = -1, o3 = -1, o4 = -1;
  double theta = 0;            // driving angle
  const double *pr = nullptr;  // driving cavity pressures [Pa]
  const double *pn = nullptr;  // driven cavity pressures
  double pinl = 0, pout = 0;
};

// Gear forces [N] and pressure torque [N m] from the force tables and the
// markers of inst (slots 16, 17, as egp_run_get_inout left them): adds the
// torque to `torque` and, when fxr is given, sets the four forces.
int egp_run_forces(egp_instance &inst, const egp_force_state &st, double &torque, double *fxr,
                   double *fyr, double *fxn, double *fyn);

}  // namespace kiv::egp
