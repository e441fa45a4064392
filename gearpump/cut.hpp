// The cut of the gear pair at one shaft angle: each cavity closed by the
// other gear's tooth (or by the tip circle while free), its area, its
// overlap with the ports, the tooth gaps and the pressure chords; then the
// two meshing regions at the ports; and the angle at which a cavity stops
// being cut.
//
// Angles in radians, counter-clockwise; lengths in the build's unit.  The
// driving gear turns by theta about its centre, the driven gear by -theta2.
#pragma once

#include <array>
#include <vector>

#include "gearpump/angles.hpp"
#include "gearpump/records.hpp"

namespace kiv::egp {

// Outcomes of a cut besides kSearchFailed: the gears differ in tooth count.
inline constexpr int kCountsDiffer = -1;

// Closest-vertex indices that persist from angle to angle.  Set 1 (cuts of
// driving cavities): [0] on driving tooth i, [1] on driven tooth s, [2] on
// the driving tooth before i (stored at i), [3] on driven tooth s for that
// second pair.  Set 2 (driven cavities): [0] on driving tooth s, [1] on
// driven tooth j, [2] on driving tooth s for the second pair, [3] on the
// driven tooth after j (stored at j).
using egp_index_set = std::array<std::vector<int>, 4>;
// Both sets sized for z1 driving and z2 driven teeth, all indices 0.
void egp_index_sets_size(egp_index_set &set1, egp_index_set &set2, int z1, int z2);

// Cavity states at one angle (the markers of egp_run_get_inout: -1 free,
// else the cavity's index, which names the other gear's cutting tooth) and
// the meshing cavities open to the outlet (o1 driving, o2 driven) and to the
// inlet (o3, o4).
struct egp_meshing {
  std::vector<int> s1, s2;
  int o1 = -1, o2 = -1, o3 = -1, o4 = -1;
};

// Per-cavity tooth gaps written by a cut; any may be null.
struct egp_gaps {
  double *drv_neighbour = nullptr, *drv_own = nullptr;
  double *drn_own = nullptr, *drn_neighbour = nullptr;
};

// Everything one cut reads and updates.
struct egp_pair {
  egp_build_gear &g1, &g2;  // driving, driven
  egp_index_set &set1, &set2;
};

// The closest vertices of p and q (the first pair among equals) and their
// distance; -1, -1 and 1e15 when either is empty.  Returns 0.
int egp_get_dist_polys(const Pelem &p, const Pelem &q, int &i, int &j, double *dist);

// Cavity of A between tooth 0 and its neighbour, closed by tooth 0 of B,
// with A turned by the angle; empty when no closed cavity exists (or the
// gears differ in tooth count).
Pelem egp_setup_cav_poly(const egp_build_gear &A, const egp_build_gear &B, double angle);

// Angle in [0, 2 pi) at which A's cavity stops being cut by B, walking down
// (direction 1) or up (2) from the angle.  0, kSearchFailed, or
// kCountsDiffer.
int egp_find_transition_angle(const egp_build_gear &A, const egp_build_gear &B, int direction,
                              double angle, double &result);

// The cut at one angle: mode 0 build, 1 shapes at one angle, 2 curves.  c1,
// c2: the selected cavities (negative: all); k the sample (-1: no curve).
// out (six owners or null): driving cavity, its outlet and inlet overlap,
// then the driven three.  rec: values 1..16 of the force record (or null).
// 0, kSearchFailed (no cavity fits, or a port intersection failed) or
// kCountsDiffer.
int egp_build_at_angle_cavs(egp_pump_data &w, int mode, int z1, int z2, int c1, int c2,
                            double theta, double theta2, int k, const egp_meshing &m,
                            const egp_pair &pair, const egp_gaps &gaps, ShapePtr *out,
                            const shape *outlet, const shape *inlet, double *rec);

// The meshing regions at the outlet and inlet: areas at sample k (when k is
// at least 0) and values 17..32 of the force record into rec16.  0 or
// kCountsDiffer.
int egp_build_at_angle_io(egp_pump_data &w, int z1, int z2, double theta, int k,
                          const egp_meshing &m, const egp_pair &pair, double *rec16);

// The cut in mode 0 and the port step without curves, into one 32-value
// record.
int egp_build_at_angle(egp_pump_data &w, int z1, int z2, int c1, int c2, double theta,
                       double theta2, const egp_meshing &m, const egp_pair &pair, double *rec);

}  // namespace kiv::egp
