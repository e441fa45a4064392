// The common set-up, evaluation and end behind the library's interface
// versions.
#pragma once

#include "gearpump/calc.hpp"
#include "gearpump/setup_api.hpp"

namespace kiv::egp {

// Creates the instance, sets the initial pressures [bar] of versions 3
// and 4 (pout, pinl, pr[z1], pn[z2]), runs the build at `precision` (1..6)
// and then puts the instance into *slot (replacing what it held), also
// when the build refused the pump.  0, the build's failure code, or -1 for
// a precision level outside 1..6 or unequal tooth counts (no instance
// made).
int hcd_egp_init_default(int version, const egp_params &par, double *store, void **slot,
                         int precision, const egp_setup_shapes &shapes, double *pout, double *pinl,
                         double *pr, double *pn);

// One evaluation on packed SI parameters: the record is rebuilt from them,
// the instance read from the slot.  0, or -1 without an instance or when the
// calculation refuses.  Allocates nothing.
int hcd_egp_calc_packed(const double *reals, const int *ints, const double *store,
                        void *const *slot, const egp_calc_in &in, egp_calc_out &out);

// Points the per-cavity outputs of o at the caller's arrays: flows[19]
// qleakteethr, qleakteethn, qleakdrainr, qleakdrainn, qleakmeshzone,
// qoutradr, qoutradn, qinlradr, qinlradn, qoutortr, qoutortn, qinlortr,
// qinlortn, qoutgrvr, qoutgrvn, qsibl, qnext, volr, voln; areas[12]
// areaoutradr, areaoutradn, areaoutortr, areaoutortn, areainlradr,
// areainlradn, areainlortr, areainlortn, areaload, areafree, areaoutgrvr,
// areaoutgrvn.  Null entries stay null.
void egp_wire_outputs(egp_calc_out &o, double *const *flows, double *const *areas);

// The evaluation's scalar inputs and the cavity pressures pr[z1], pn[z2].
egp_calc_in egp_inputs(double p1, double p2, double pinl, double pout, double speed, double theta,
                       const double *pr, const double *pn);

// Copies the evaluation's scalar results to the caller's arguments.
void egp_take_results(const egp_calc_out &o, double *q1, double *q2, double *torque, double *dpinl,
                      double *dpout, double *dangler, double *anglen);

}  // namespace kiv::egp

// The flows[19] and areas[12] of egp_wire_outputs, from the per-cavity
// output arguments every full-width interface names alike.
#define KIV_EGP_CALC_ARRAYS                                                                   \
  double *const flows[] = {qleakteethr, qleakteethn, qleakdrainr, qleakdrainn, qleakmeshzone, \
                           qoutradr,    qoutradn,    qinlradr,    qinlradn,    qoutortr,      \
                           qoutortn,    qinlortr,    qinlortn,    qoutgrvr,    qoutgrvn,      \
                           qsibl,       qnext,       volr,        voln};                      \
  double *const areas[] = {areaoutradr, areaoutradn, areaoutortr, areaoutortn,                \
                           areainlradr, areainlradn, areainlortr, areainlortn,                \
                           areaload,    areafree,    areaoutgrvr, areaoutgrvn}
