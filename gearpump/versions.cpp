// Interface versions of the gear-pump library: packed arguments turned
// into the parameter record and the calculation's inputs and outputs.
#include "gearpump/versions.hpp"

#include <new>

#include "gearpump/kiv_gearpump.h"

namespace kiv::egp {

int hcd_egp_init_default(int version, const egp_params &par, double *store, void **slot,
                         int precision, const egp_setup_shapes &shapes, double *pout,
                         double *pinl, double *pr, double *pn) {
  const int z1 = par.teeth_driving, z2 = par.teeth_driven;
  // The table of precision levels stops at 6, and one instance serves one
  // tooth count for both gears' read sites.
  if (precision < 1 || precision > 6 || z1 != z2 || z1 < 1) return -1;
  egp_instance *inst = egp_instance_store(slot, egp_instance_create(z1, z2));
  if (version >= 3) {
    const double bar = par.initial_pressure * 1e-5;
    *pout = *pinl = bar;
    for (int k = 0; k < z1; ++k) pr[k] = bar;
    for (int k = 0; k < z2; ++k) pn[k] = bar;
  }
  return egp_setup(*inst->pump_data, par, store, *inst, kPrecisionSamples[precision], shapes);
}

int hcd_egp_calc_packed(const double *reals, const int *ints, const double *store,
                        void *const *slot, const egp_calc_in &in, egp_calc_out &out) {
  egp_instance *inst = egp_instance_of(slot);
  if (!inst) return -1;
  egp_params par;
  hcd_egp_param_setup_03(par, reals, ints);
  return hcd_egp_calc_default(par, in, out, store, *inst);
}

}  // namespace kiv::egp

using namespace kiv::egp;

namespace {

int initPacked(int version, double *reals, int *ints, double *store, void **slot, int *precision,
               double *x1, double *y1, double *x2, double *y2, int *g1, int *g2, int *out,
               int *inl, double *pout, double *pinl, double *pr, double *pn) {
  egp_params par;
  hcd_egp_param_setup_03(par, reals, ints);
  return hcd_egp_init_default(version, par, store, slot, *precision,
                              {*x1, *y1, *x2, *y2, *g1, *g2, *out, *inl}, pout, pinl, pr, pn);
}

// Versions 3 and 4 differ only in the forces, null for version 3.
int calcPacked(double *q1, double *p1, double *pinl, double *dpinl, double *q_inl, double *v_inl,
               double *pr, double *dpr, double *q_r, double *v_r, double *pout, double *dpout,
               double *q_out, double *v_out, double *q2, double *p2, double *pn, double *dpn,
               double *q_n, double *v_n, double *torque, double *speed, double *angler,
               double *dangler, double *anglen, double *pout_copy, double *pinl_copy,
               double *pr_copy, double *pn_copy, double *const *flows, double *const *areas,
               double *fxr, double *fyr, double *fxn, double *fyn, double *reals, int *ints,
               double *store, void **slot) {
  const egp_calc_in in{.p1 = *p1, .p2 = *p2, .pinl = *pinl, .pout = *pout, .speed = *speed,
                       .theta = *angler, .pr = pr, .pn = pn, .q_inl = q_inl, .v_inl = v_inl,
                       .q_out = q_out, .v_out = v_out, .q_r = q_r, .v_r = v_r, .q_n = q_n,
                       .v_n = v_n};
  egp_calc_out o{.dpr = dpr, .dpn = dpn, .pout_copy = pout_copy, .pinl_copy = pinl_copy,
                 .pr_copy = pr_copy, .pn_copy = pn_copy,
                 .qleakteethr = flows[0], .qleakteethn = flows[1], .qleakdrainr = flows[2],
                 .qleakdrainn = flows[3], .qleakmeshzone = flows[4], .qoutradr = flows[5],
                 .qoutradn = flows[6], .qinlradr = flows[7], .qinlradn = flows[8],
                 .qoutortr = flows[9], .qoutortn = flows[10], .qinlortr = flows[11],
                 .qinlortn = flows[12], .qoutgrvr = flows[13], .qoutgrvn = flows[14],
                 .qsibl = flows[15], .qnext = flows[16], .volr = flows[17], .voln = flows[18],
                 .areaoutradr = areas[0], .areaoutradn = areas[1], .areaoutortr = areas[2],
                 .areaoutortn = areas[3], .areainlradr = areas[4], .areainlradn = areas[5],
                 .areainlortr = areas[6], .areainlortn = areas[7], .areaload = areas[8],
                 .areafree = areas[9], .areaoutgrvr = areas[10], .areaoutgrvn = areas[11],
                 .fxr = fxr, .fyr = fyr, .fxn = fxn, .fyn = fyn};
  const int rc = hcd_egp_calc_packed(reals, ints, store, slot, in, o);
  if (rc != 0) return rc;
  *q1 = o.q1, *q2 = o.q2, *dpinl = o.dpinl, *dpout = o.dpout, *torque = o.torque;
  *dangler = o.dtheta, *anglen = o.theta_n;
  return 0;
}

}  // namespace

int hcd_egp_init_03(const char *, int *, double *reals, int *ints, char **, double *store,
                    void **slot, int *precision, double *x1, double *y1, double *x2, double *y2,
                    int *g1, int *g2, int *out, int *inl, double *, double *pout, double *pinl,
                    double *pr, double *pn) {
  return initPacked(3, reals, ints, store, slot, precision, x1, y1, x2, y2, g1, g2, out, inl,
                    pout, pinl, pr, pn);
}

int hcd_egp_init_04(const char *, int *, double *reals, int *ints, char **, double *store,
                    void **slot, int *precision, double *x1, double *y1, double *x2, double *y2,
                    int *g1, int *g2, int *out, int *inl, double *, double *pout, double *pinl,
                    double *pr, double *pn) {
  return initPacked(4, reals, ints, store, slot, precision, x1, y1, x2, y2, g1, g2, out, inl,
                    pout, pinl, pr, pn);
}

#define KIV_EGP_CALC_HEAD                                                                       \
  int *, double *q1, double *p1, double *pinl, double *dpinl, double *q_inl, double *v_inl,     \
      double *pr, double *dpr, double *q_r, double *v_r, double *pout, double *dpout,           \
      double *q_out, double *v_out, double *q2, double *p2, double *pn, double *dpn,            \
      double *q_n, double *v_n, double *torque, double *speed, double *angler,                  \
      double *dangler, double *anglen, double *pout_copy, double *pinl_copy, double *pr_copy,   \
      double *pn_copy, double *qleakteethr, double *qleakteethn, double *qleakdrainr,           \
      double *qleakdrainn, double *qleakmeshzone, double *qoutradr, double *qoutradn,           \
      double *qinlradr, double *qinlradn, double *qoutortr, double *qoutortn, double *qinlortr, \
      double *qinlortn, double *qoutgrvr, double *qoutgrvn, double *qsibl, double *qnext,       \
      double *volr, double *voln, double *areaoutradr, double *areaoutradn,                     \
      double *areaoutortr, double *areaoutortn, double *areainlradr, double *areainlradn,       \
      double *areainlortr, double *areainlortn, double *areaload, double *areafree,             \
      double *areaoutgrvr, double *areaoutgrvn, double *, double *
#define KIV_EGP_CALC_ARGS                                                                       \
  q1, p1, pinl, dpinl, q_inl, v_inl, pr, dpr, q_r, v_r, pout, dpout, q_out, v_out, q2, p2, pn,  \
      dpn, q_n, v_n, torque, speed, angler, dangler, anglen, pout_copy, pinl_copy, pr_copy,     \
      pn_copy, flows, areas
#define KIV_EGP_CALC_ARRAYS                                                                     \
  double *const flows[] = {qleakteethr, qleakteethn, qleakdrainr, qleakdrainn, qleakmeshzone,   \
                           qoutradr,    qoutradn,    qinlradr,    qinlradn,    qoutortr,        \
                           qoutortn,    qinlortr,    qinlortn,    qoutgrvr,    qoutgrvn,        \
                           qsibl,       qnext,       volr,        voln};                        \
  double *const areas[] = {areaoutradr, areaoutradn, areaoutortr, areaoutortn,                  \
                           areainlradr, areainlradn, areainlortr, areainlortn,                  \
                           areaload,    areafree,    areaoutgrvr, areaoutgrvn}

int hcd_egp_calc_04(KIV_EGP_CALC_HEAD, double *fxr, double *fyr, double *fxn, double *fyn,
                    double *reals, int *ints, char **, double *store, void **slot) {
  KIV_EGP_CALC_ARRAYS;
  return calcPacked(KIV_EGP_CALC_ARGS, fxr, fyr, fxn, fyn, reals, ints, store, slot);
}

int hcd_egp_calc_03(KIV_EGP_CALC_HEAD, double *reals, int *ints, char **, double *store,
                    void **slot) {
  KIV_EGP_CALC_ARRAYS;
  return calcPacked(KIV_EGP_CALC_ARGS, nullptr, nullptr, nullptr, nullptr, reals, ints, store,
                    slot);
}

int hcd_egp_end(void **slot) { return egp_instance_release(slot); }
int hcd_egp_end_02(void **slot) { return egp_instance_release(slot); }
int hcd_egp_end_03(void **slot) { return egp_instance_release(slot); }
int hcd_egp_end_04(void **slot) { return egp_instance_release(slot); }
