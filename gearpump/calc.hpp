// The gear pump's per-step calculation: from the shaft angle, the shaft
// speed and the pressures of both chambers and every cavity, all flows
// between them, the volumes and pressure derivatives of every pressure
// state, the shaft torque and the gear forces.  SI units with gauge
// pressures in Pa; the tables by angle are read in degrees, mm and mm2.
#pragma once

#include <vector>

#include "gearpump/records.hpp"

namespace kiv::egp {

// Elements of the real store that the geometry build leaves for the run.
inline constexpr int kStoreSize = 16;

// What the calculation reads besides the parameters, the store and the
// instance.  Arrays hold one element per cavity (z1 driving, z2 driven).
struct egp_calc_in {
  double p1 = 0, p2 = 0;      // port pressures (inlet side, outlet side)
  double pinl = 0, pout = 0;  // chamber pressures
  double speed = 0;           // shaft speed [rad/s]
  double theta = 0;           // driving shaft angle [rad]
  const double *pr = nullptr, *pn = nullptr;
  // Optional extra flow into and extra volume of each state, null for none.
  const double *q_inl = nullptr, *v_inl = nullptr, *q_out = nullptr, *v_out = nullptr;
  const double *q_r = nullptr, *v_r = nullptr, *q_n = nullptr, *v_n = nullptr;
};

// What it writes.  The scalars are always set.  The arrays are the
// caller's: those marked "required" must be given; an optional one that is
// null is skipped, and its flows then take no part in the balances.
// Flows and areas are per cavity; a flow is positive into the cavity unless
// said otherwise.
struct egp_calc_out {
  double q1 = 0;  // inlet chamber to port 1
  double q2 = 0;  // outlet chamber to port 2
  double dpinl = 0, dpout = 0;
  double torque = 0;                      // viscous and pressure torque on the shaft [N m]
  double dtheta = 0;                      // derivative of the driving angle (the speed)
  double theta_n = 0;                     // driven shaft angle
  double *dpr = nullptr, *dpn = nullptr;  // required
  double *pout_copy = nullptr, *pinl_copy = nullptr;      // optional
  double *pr_copy = nullptr, *pn_copy = nullptr;          // optional
  double *qleakteethr = nullptr, *qleakteethn = nullptr;  // required: from the next cavity
  double *qleakdrainr = nullptr, *qleakdrainn = nullptr;  // optional: to the inlet chamber
  double *qleakmeshzone = nullptr;                        // optional, one: outlet to inlet
  double *qoutradr = nullptr, *qoutradn = nullptr;        // required
  double *qinlradr = nullptr, *qinlradn = nullptr;        // required
  double *qoutortr = nullptr, *qoutortn = nullptr;        // required
  double *qinlortr = nullptr, *qinlortn = nullptr;        // required
  double *qoutgrvr = nullptr, *qoutgrvn = nullptr;        // optional
  double *qsibl = nullptr;  // required (z1): driven cavity i into driving cavity i
  double *qnext = nullptr;  // required (z1): driven cavity i - 1 into driving cavity i
  double *volr = nullptr, *voln = nullptr;                // required [m3]
  double *areaoutradr = nullptr, *areaoutradn = nullptr;  // optional [m2]
  double *areaoutortr = nullptr, *areaoutortn = nullptr;
  double *areainlradr = nullptr, *areainlradn = nullptr;
  double *areainlortr = nullptr, *areainlortn = nullptr;
  double *areaload = nullptr, *areafree = nullptr;  // sibling, next (z1)
  double *areaoutgrvr = nullptr, *areaoutgrvn = nullptr;
  double *fxr = nullptr, *fyr = nullptr, *fxn = nullptr, *fyn = nullptr;  // optional [N]
};

// Storage for every output of a caller that keeps no arrays of its own.
struct egp_calc_storage {
  std::vector<double> data;
  double pout = 0, pinl = 0, mesh = 0, force[4] = {};
  // Sizes the storage for z1 driving and z2 driven cavities, all zero, and
  // points every array and optional output of o at it.
  void wire(egp_calc_out &o, int z1, int z2);
};

// One evaluation of a built instance: selects the pump's fluid, refreshes
// the meshing-zone markers of inst and fills out.  Returns 0, or -1 with
// nothing computed when the tooth counts differ from the instance's or a
// required array is missing.  Allocates nothing.
int hcd_egp_calc_default(const egp_params &par, const egp_calc_in &in, egp_calc_out &out,
                         const double *store, egp_instance &inst);

// Smallest volume [m3] that a state of the pump takes over one turn of the
// tables, sampled every `step` degrees: a cavity of either gear, or a
// chamber with its dead volume.  *which (when given) names the state: 0
// the driving gear's cavities, 1 the driven gear's, 2 the outlet chamber,
// 3 the inlet chamber.  A pump whose smallest volume is not positive
// cannot be run: the submodel's set-up refuses it.
double egp_smallest_volume(const egp_params &par, egp_instance &inst, double step,
                           int *which = nullptr);

// Flow [m3/s, referred to 0 bar] from p1 to p2 through the opening of
// length L (table `s` in mm, read for cavity `site` at `deg`) over the
// thickness b times `mult`: a length below `close` shuts the opening, a
// positive one below `least` is raised to it.  The area is written to
// *area when given.
double egp_q_variable_orifice_len(egp_instance &inst, int s, int elem, int site, double deg,
                                  double b, double mult, double close, double least, double p1,
                                  double p2, double *area);
// The same through the opening area of table `s` (mm2) times `mult`.
double egp_q_variable_orifice_srf(egp_instance &inst, int s, int elem, int site, double deg,
                                  double mult, double p1, double p2, double *area);

}  // namespace kiv::egp
