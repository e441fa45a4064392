// Interface versions of the gear-pump library: packed arguments turned
// into the parameter record and the calculation's inputs and outputs.
#include "gearpump/versions.hpp"

#include <memory>
#include <new>
#include <utility>

#include "gearpump/kiv_gearpump.h"

namespace kiv::egp {

int hcd_egp_init_default(int version, const egp_params &par, double *store, void **slot,
                         int precision, const egp_setup_shapes &shapes, double *pout, double *pinl,
                         double *pr, double *pn) {
  const int z1 = par.teeth_driving, z2 = par.teeth_driven;
  // The table of precision levels stops at 6, and one instance serves one
  // tooth count for both gears' read sites.
  if (precision < 1 || precision > 6 || z1 != z2 || z1 < 1) return -1;
  // Owned here until the build returns: a build that ends the run on the
  // way (an allocation failure) leaves nothing in the slot.
  std::unique_ptr<egp_instance> inst = egp_instance_create(z1, z2);
  if (version >= 3) {
    const double bar = par.initial_pressure * 1e-5;
    *pout = *pinl = bar;
    for (int k = 0; k < z1; ++k) pr[k] = bar;
    for (int k = 0; k < z2; ++k) pn[k] = bar;
  }
  const int rc =
      egp_setup(*inst->pump_data, par, store, *inst, kPrecisionSamples[precision], shapes);
  // A refused build keeps its instance too; the caller's end frees it.
  egp_instance_store(slot, std::move(inst));
  return rc;
}

int hcd_egp_calc_packed(const double *reals, const int *ints, const double *store,
                        void *const *slot, const egp_calc_in &in, egp_calc_out &out) {
  egp_instance *inst = egp_instance_of(slot);
  if (!inst) return -1;
  egp_params par{};
  egp_param_setup(par, reals, ints);
  return hcd_egp_calc_default(par, in, out, store, *inst);
}

void egp_wire_outputs(egp_calc_out &o, double *const *f, double *const *a) {
  o.qleakteethr = f[0], o.qleakteethn = f[1], o.qleakdrainr = f[2], o.qleakdrainn = f[3];
  o.qleakmeshzone = f[4], o.qoutradr = f[5], o.qoutradn = f[6], o.qinlradr = f[7];
  o.qinlradn = f[8], o.qoutortr = f[9], o.qoutortn = f[10], o.qinlortr = f[11];
  o.qinlortn = f[12], o.qoutgrvr = f[13], o.qoutgrvn = f[14], o.qsibl = f[15], o.qnext = f[16];
  o.volr = f[17], o.voln = f[18];
  o.areaoutradr = a[0], o.areaoutradn = a[1], o.areaoutortr = a[2], o.areaoutortn = a[3];
  o.areainlradr = a[4], o.areainlradn = a[5], o.areainlortr = a[6], o.areainlortn = a[7];
  o.areaload = a[8], o.areafree = a[9], o.areaoutgrvr = a[10], o.areaoutgrvn = a[11];
}

egp_calc_in egp_inputs(double p1, double p2, double pinl, double pout, double speed, double theta,
                       const double *pr, const double *pn) {
  return {.p1 = p1, .p2 = p2, .pinl = pinl, .pout = pout, .speed = speed, .theta = theta,
          .pr = pr, .pn = pn};
}

void egp_take_results(const egp_calc_out &o, double *q1, double *q2, double *torque,
                      double *dpinl, double *dpout, double *dangler, double *anglen) {
  *q1 = o.q1, *q2 = o.q2, *torque = o.torque, *dpinl = o.dpinl, *dpout = o.dpout;
  *dangler = o.dtheta, *anglen = o.theta_n;
}

}  // namespace kiv::egp

using namespace kiv::egp;

namespace {

int initPacked(int version, double *reals, int *ints, double *store, void **slot, int *precision,
               double *x1, double *y1, double *x2, double *y2, int *g1, int *g2, int *out, int *inl,
               double *pout, double *pinl, double *pr, double *pn) {
  egp_params par{};
  egp_param_setup(par, reals, ints);
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
  egp_calc_in in = egp_inputs(*p1, *p2, *pinl, *pout, *speed, *angler, pr, pn);
  in.q_inl = q_inl, in.v_inl = v_inl, in.q_out = q_out, in.v_out = v_out;
  in.q_r = q_r, in.v_r = v_r, in.q_n = q_n, in.v_n = v_n;
  egp_calc_out o{.dpr = dpr,
                 .dpn = dpn,
                 .pout_copy = pout_copy,
                 .pinl_copy = pinl_copy,
                 .pr_copy = pr_copy,
                 .pn_copy = pn_copy,
                 .fxr = fxr,
                 .fyr = fyr,
                 .fxn = fxn,
                 .fyn = fyn};
  egp_wire_outputs(o, flows, areas);
  const int rc = hcd_egp_calc_packed(reals, ints, store, slot, in, o);
  if (rc == 0) egp_take_results(o, q1, q2, torque, dpinl, dpout, dangler, anglen);
  return rc;
}

}  // namespace

int hcd_egp_init_03(const char *, int *, double *reals, int *ints, char **, double *store,
                    void **slot, int *precision, double *x1, double *y1, double *x2, double *y2,
                    int *g1, int *g2, int *out, int *inl, double *, double *pout, double *pinl,
                    double *pr, double *pn) {
  return initPacked(3, reals, ints, store, slot, precision, x1, y1, x2, y2, g1, g2, out, inl, pout,
                    pinl, pr, pn);
}

int hcd_egp_init_04(const char *, int *, double *reals, int *ints, char **, double *store,
                    void **slot, int *precision, double *x1, double *y1, double *x2, double *y2,
                    int *g1, int *g2, int *out, int *inl, double *, double *pout, double *pinl,
                    double *pr, double *pn) {
  return initPacked(4, reals, ints, store, slot, precision, x1, y1, x2, y2, g1, g2, out, inl, pout,
                    pinl, pr, pn);
}

#define KIV_EGP_CALC_HEAD                                                                          \
  int *, double *q1, double *p1, double *pinl, double *dpinl, double *q_inl, double *v_inl,        \
      double *pr, double *dpr, double *q_r, double *v_r, double *pout, double *dpout,              \
      double *q_out, double *v_out, double *q2, double *p2, double *pn, double *dpn, double *q_n,  \
      double *v_n, double *torque, double *speed, double *angler, double *dangler, double *anglen, \
      double *pout_copy, double *pinl_copy, double *pr_copy, double *pn_copy, double *qleakteethr, \
      double *qleakteethn, double *qleakdrainr, double *qleakdrainn, double *qleakmeshzone,        \
      double *qoutradr, double *qoutradn, double *qinlradr, double *qinlradn, double *qoutortr,    \
      double *qoutortn, double *qinlortr, double *qinlortn, double *qoutgrvr, double *qoutgrvn,    \
      double *qsibl, double *qnext, double *volr, double *voln, double *areaoutradr,               \
      double *areaoutradn, double *areaoutortr, double *areaoutortn, double *areainlradr,          \
      double *areainlradn, double *areainlortr, double *areainlortn, double *areaload,             \
      double *areafree, double *areaoutgrvr, double *areaoutgrvn, double *, double *
#define KIV_EGP_CALC_ARGS                                                                      \
  q1, p1, pinl, dpinl, q_inl, v_inl, pr, dpr, q_r, v_r, pout, dpout, q_out, v_out, q2, p2, pn, \
      dpn, q_n, v_n, torque, speed, angler, dangler, anglen, pout_copy, pinl_copy, pr_copy,    \
      pn_copy, flows, areas

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

// ---- Versions 1 and 2: positional arguments over fixed defaults ----------

namespace {

// What versions 1 and 2 put in the fields they do not take.  At set-up the
// port areas, dead volumes and teeth clearance are unknown (-1); the
// evaluation gives them.
egp_params legacyRecord(int version, int z1, int z2) {
  egp_params p{};
  p.fluid_index = -1;
  p.teeth_driving = z1, p.teeth_driven = z2;
  p.gear_definition = p.outlet_port_definition = p.inlet_port_definition = -1;
  p.leakage_mode = p.identical_gears = -1;
  p.groove = 0;
  p.inlet_port_area = p.inlet_dead_volume = p.outlet_port_area = p.outlet_dead_volume = -1.0;
  const double mult = version == 1 ? -1.0 : 1.0;
  p.mult_next_cavity = p.mult_tip_leakage = p.mult_inlet_radial = p.mult_inlet_axial = mult;
  p.mult_outlet_radial = p.mult_outlet_axial = mult;
  p.driven_center_x = p.driven_center_y = 1e30;
  p.gear_module = p.addendum_coefficient = p.pressure_angle = -1.0;
  p.tip_clearance_coefficient = p.fillet_coefficient = -1.0;
  p.profile_shift_driving = p.profile_shift_driven = -1.0;
  p.teeth_clearance = -1.0;
  p.contact_threshold = 0;
  p.groove_start_driving = p.groove_end_driving = p.groove_start_driven = -1.0;
  p.groove_end_driven = p.groove_width = -1.0;
  p.outlet_start_driving = p.outlet_start_driven = p.inlet_end_driving = -1.0;
  p.inlet_end_driven = -1.0;
  return p;
}

void setPlain(egp_params &p, const double *b, const double *h, const double *L, const double *w,
              const double *g1, const double *g2) {
  p.gear_thickness = *b, p.radial_clearance = *h;
  p.plain_leak_length = *L, p.plain_leak_width = *w;
  p.plain_leak_gap_1 = *g1, p.plain_leak_gap_2 = *g2;
}

}  // namespace

int hcd_egp_init(int *, double *store, void **slot, void *, void *, void *, void *, void *, int *z1,
                 int *z2, double *b, double *h, double *L, double *w, double *g1, double *g2,
                 double *x1, double *y1, double *x2, double *y2, int *gear1, int *gear2,
                 int *outlet, int *inlet, double *out_r, double *out_n, double *inl_r,
                 double *inl_n) {
  egp_params p = legacyRecord(1, *z1, *z2);
  setPlain(p, b, h, L, w, g1, g2);
  p.outlet_start_driving = *out_r, p.outlet_start_driven = *out_n;
  p.inlet_end_driving = *inl_r, p.inlet_end_driven = *inl_n;
  return hcd_egp_init_default(1, p, store, slot, 1,
                              {*x1, *y1, *x2, *y2, *gear1, *gear2, *outlet, *inlet}, nullptr,
                              nullptr, nullptr, nullptr);
}

int hcd_egp_init_02(int *, double *store, void **slot, int *precision, void *, void *, void *,
                    void *, void *, int *z1, int *z2, double *b, double *h, double *L, double *w,
                    double *g1, double *g2, double *x1, double *y1, double *x2, double *y2,
                    int *gear1, int *gear2, int *outlet, int *inlet, double *out_r, double *out_n,
                    double *inl_r, double *inl_n, int *groove, double *gsr, double *ger,
                    double *gsn, double *gen, double *gw) {
  egp_params p = legacyRecord(2, *z1, *z2);
  setPlain(p, b, h, L, w, g1, g2);
  p.outlet_start_driving = *out_r, p.outlet_start_driven = *out_n;
  p.inlet_end_driving = *inl_r, p.inlet_end_driven = *inl_n;
  p.groove = *groove;
  p.groove_start_driving = *gsr, p.groove_end_driving = *ger;
  p.groove_start_driven = *gsn, p.groove_end_driven = *gen, p.groove_width = *gw;
  return hcd_egp_init_default(2, p, store, slot, *precision,
                              {*x1, *y1, *x2, *y2, *gear1, *gear2, *outlet, *inlet}, nullptr,
                              nullptr, nullptr, nullptr);
}

namespace {

// The evaluation of versions 1 and 2 on a record of their defaults.
int calcLegacy(const egp_params &p, const egp_calc_in &in, double *dpr, double *dpn,
               double *const *flows, double *const *areas, const double *store, void **slot,
               double *q1, double *q2, double *torque, double *dpinl, double *dpout,
               double *dangler, double *anglen) {
  egp_instance *inst = egp_instance_of(slot);
  if (!inst) return -1;
  egp_calc_out o{.dpr = dpr, .dpn = dpn};
  egp_wire_outputs(o, flows, areas);
  const int rc = hcd_egp_calc_default(p, in, o, store, *inst);
  if (rc == 0) egp_take_results(o, q1, q2, torque, dpinl, dpout, dangler, anglen);
  return rc;
}

void setPorts(egp_params &p, const double *const v[4], const double *thickness,
              const double *clearance, const double *const mult[6]) {
  p.inlet_port_area = *v[0], p.inlet_dead_volume = *v[1];
  p.outlet_port_area = *v[2], p.outlet_dead_volume = *v[3];
  p.gear_thickness = *thickness, p.teeth_clearance = *clearance;
  p.mult_next_cavity = *mult[0], p.mult_tip_leakage = *mult[1], p.mult_inlet_radial = *mult[2];
  p.mult_inlet_axial = *mult[3], p.mult_outlet_radial = *mult[4];
  p.mult_outlet_axial = *mult[5];
}

}  // namespace

int hcd_egp_calc(int *, double *q1, double *p1, double *q2, double *p2, double *torque,
                 double *speed, double *pinl, double *dpinl, double *pout, double *dpout,
                 double *angler, double *dangler, double *anglen, double *pr, double *dpr,
                 double *pn, double *dpn, double *qleakteethr, double *qleakteethn,
                 double *qoutradr, double *qoutradn, double *qinlradr, double *qinlradn,
                 double *qoutortr, double *qoutortn, double *qinlortr, double *qinlortn,
                 double *qsibl, double *qnext, double *volr, double *voln, double *areaoutradr,
                 double *areaoutradn, double *areaoutortr, double *areaoutortn, double *areainlradr,
                 double *areainlradn, double *areainlortr, double *areainlortn, double *areaload,
                 double *areafree, double *store, void **slot, int *fluid, int *z1, int *z2,
                 double *ai, double *vi, double *ao, double *vo, double *b, double *clearance,
                 double *m0, double *m1, double *m2, double *m3, double *m4, double *m5, double *h,
                 double *L, double *w, double *g1, double *g2) {
  egp_params p = legacyRecord(1, *z1, *z2);
  p.fluid_index = *fluid;
  const double *const ports[4] = {ai, vi, ao, vo}, *const mult[6] = {m0, m1, m2, m3, m4, m5};
  setPorts(p, ports, b, clearance, mult);
  setPlain(p, b, h, L, w, g1, g2);
  double *const flows[] = {qleakteethr, qleakteethn, nullptr,  nullptr,  nullptr,
                           qoutradr,    qoutradn,    qinlradr, qinlradn, qoutortr,
                           qoutortn,    qinlortr,    qinlortn, nullptr,  nullptr,
                           qsibl,       qnext,       volr,     voln};
  double *const areas[] = {areaoutradr, areaoutradn, areaoutortr, areaoutortn,
                           areainlradr, areainlradn, areainlortr, areainlortn,
                           areaload,    areafree,    nullptr,     nullptr};
  return calcLegacy(p, egp_inputs(*p1, *p2, *pinl, *pout, *speed, *angler, pr, pn), dpr, dpn, flows,
                    areas, store, slot, q1, q2, torque, dpinl, dpout, dangler, anglen);
}

int hcd_egp_calc_02(int *, double *q1, double *p1, double *q2, double *p2, double *torque,
                    double *speed, double *pinl, double *dpinl, double *pout, double *dpout,
                    double *angler, double *dangler, double *anglen, double *pr, double *dpr,
                    double *pn, double *dpn, double *qleakteethr, double *qleakteethn,
                    double *qoutradr, double *qoutradn, double *qinlradr, double *qinlradn,
                    double *qoutortr, double *qoutortn, double *qinlortr, double *qinlortn,
                    double *qoutgrvr, double *qoutgrvn, double *qsibl, double *qnext, double *volr,
                    double *voln, double *areaoutradr, double *areaoutradn, double *areaoutortr,
                    double *areaoutortn, double *areainlradr, double *areainlradn,
                    double *areainlortr, double *areainlortn, double *, double *, double *areaload,
                    double *areafree, double *areaoutgrvr, double *areaoutgrvn, double *store,
                    void **slot, int *fluid, int *z1, int *z2, int *groove, double *ai, double *vi,
                    double *ao, double *vo, double *b, double *clearance, double *gsr, double *ger,
                    double *gsn, double *gen, double *gw, double *m0, double *m1, double *m2,
                    double *m3, double *m4, double *m5, double *h, double *L, double *w, double *g1,
                    double *g2) {
  egp_params p = legacyRecord(2, *z1, *z2);
  p.fluid_index = *fluid;
  p.groove = *groove;
  const double *const ports[4] = {ai, vi, ao, vo}, *const mult[6] = {m0, m1, m2, m3, m4, m5};
  setPorts(p, ports, b, clearance, mult);
  setPlain(p, b, h, L, w, g1, g2);
  p.groove_start_driving = *gsr, p.groove_end_driving = *ger;
  p.groove_start_driven = *gsn, p.groove_end_driven = *gen, p.groove_width = *gw;
  double *const flows[] = {qleakteethr, qleakteethn, nullptr,  nullptr,  nullptr,
                           qoutradr,    qoutradn,    qinlradr, qinlradn, qoutortr,
                           qoutortn,    qinlortr,    qinlortn, qoutgrvr, qoutgrvn,
                           qsibl,       qnext,       volr,     voln};
  double *const areas[] = {areaoutradr, areaoutradn, areaoutortr, areaoutortn,
                           areainlradr, areainlradn, areainlortr, areainlortn,
                           areaload,    areafree,    areaoutgrvr, areaoutgrvn};
  return calcLegacy(p, egp_inputs(*p1, *p2, *pinl, *pout, *speed, *angler, pr, pn), dpr, dpn, flows,
                    areas, store, slot, q1, q2, torque, dpinl, dpout, dangler, anglen);
}
