// Spur gears with involute flanks as cut by a rack tool: straight flank at
// the pressure angle, tip rounded by a fillet circle.  The tool is rolled on
// the pitch circle; flank and fillet are the envelopes of its flank line and
// fillet circle, and their meeting points are found by Newton solves.
//
// Lengths in the caller's unit, angles in radians, counter-clockwise.
#pragma once

#include "gearpump/pelem.hpp"

namespace kiv::egp {

// The parameter vector handed to every point function and residual.
struct GearVector {
  double z;      // tooth count
  double m;      // module
  double alpha;  // pressure angle
  double ha;     // addendum coefficient
  double c;      // tip clearance coefficient
  double rho;    // tool fillet coefficient (fillet radius rho m)
  double x;      // profile shift coefficient
  double ra;     // tip radius
  double rf;     // root radius
  double rb;     // base radius (z/2) m cos alpha
};
static_assert(sizeof(GearVector) == 10 * sizeof(double));

GearVector gearVector(int z, double m, double alpha, double ha, double c, double rho, double x,
                      double ra, double rf);

// Rack points A (flank on the gear's tip line), B (fillet tangent point on
// the flank) and M (fillet centre) in the rack frame: x radial along the
// centre line of a tooth space, y tangential.
void egp_initialize_rackpoints(const GearVector &g, point out[3]);

// Involute point for roll angle phi and fillet point for roll angle t, in
// the output frame (tooth axis at pi/2, tooth-space centre at pi/2 + pi/z).
void egp_get_xy_involute(const GearVector &g, double phi, double &X, double &Y);
void egp_get_xy_fillet(const GearVector &g, double t, double &X, double &Y);

// Residuals in the solver's form; params is a GearVector except where noted.
void egp_nr_alphaw(double *a, int *n, void *target, double *f, int *flag);
void egp_nr_invbase(double *a, int *n, void *params, double *f, int *flag);
void egp_nr_inter0(double *a, int *n, void *params, double *f, int *flag);
void egp_nr_interai(double *ua, int *n, void *params, double *f, int *flag);
// params: [M.x, M.y, r]
void egp_nr_dx0tdt(double *t, int *n, void *params, double *f, int *flag);
void egp_nr_interif(double *at, int *n, void *params, double *f, int *flag);
void egp_nr_interfr(double *tu, int *n, void *params, double *f, int *flag);

// The gear's contour as a one-path shape centred at the origin, or null
// when it cannot be generated.  nteeth (1..z) teeth are drawn; mode 1
// repeats a whole tooth, 2 a pitch from tooth axis to tooth axis; a partial
// gear is closed through the centre.  sharp: 1 when the involute reaches the
// tip circle, 2 when the flanks meet below it.
ShapePtr egp_create_gear(int z, double m, double alpha, double ha, double c, double rho, double x,
                         double ra, double rf, int nteeth, int mode, int &sharp);

// The same with every argument by pointer; the caller owns the result and
// frees it with delete_shape_.
shape *egp_create_gear_(const int *z, const double *m, const double *alpha, const double *ha,
                        const double *c, const double *rho, const double *x, const double *ra,
                        const double *rf, const int *nteeth, const int *mode, int *sharp);

// Points of the outline: what egp_create_gear puts into its path.
bool egp_gear_outline(const GearVector &g, int nteeth, int mode, int &sharp,
                      std::vector<double> &xs, std::vector<double> &ys);

}  // namespace kiv::egp
