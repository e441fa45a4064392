// The gear pump's per-step calculation: port, leakage and orifice flows,
// then the balances and pressure derivatives of both chambers and every
// cavity, then forces and torque.
#include "gearpump/calc.hpp"

#include <algorithm>
#include <cmath>

#include "gearpump/pelem.hpp"
#include "gearpump/rungeom.hpp"
#include "gearpump/tables.hpp"
#include "hydraulics/kiv_hydlaws.h"
#include "hydraulics/kiv_hydraulics.h"

namespace kiv::egp {

namespace {

constexpr double kDegPerRad = 57.29577951308232;
constexpr double kMm = 1e-3, kMm2 = 1e-6;
// An area slope in mm2 per degree times the thickness, as m3 per radian.
constexpr double kSlopeToVolume = 5.729577951308232e-05;

size_t Z(int k) { return static_cast<size_t>(k); }

double Mu(double p) { return muatp_(&p); }
double Q0(double p) { return q0top_(&p); }

// Every opening of the pump follows the same orifice law; a closed one
// passes nothing and reads no fluid property.
double Orifice(double p1, double p2, double A, double dh) {
  if (A == 0.0) return 0.0;
  return kiv::hyd::orifice(p1, p2, A, dh, 0.7, 1000.0).q;
}
double Round(double p1, double p2, double A) {
  return Orifice(p1, p2, A, 2.0 * std::sqrt(A / kPi));
}

// Rigid volume.  The submodel's set-up refuses a pump whose own volumes
// are not all positive; what a caller adds to them is the caller's.
double Chamber(double p, double V, double q) {
  return kiv::hyd::chamberRate(p, V, 0.0, q);
}

// num / den, or nothing when a set-up check has let a zero length through.
double Ratio(double num, double den) { return den > 0.0 ? num / den : 0.0; }

double *At(double *a, int k) { return a ? a + k : nullptr; }
void Put(double *a, int k, double v) {
  if (a) a[k] = v;
}
double Total(const double *a, int z) {
  double s = 0.0;
  if (a)
    for (int k = 0; k < z; ++k) s += a[k];
  return s;
}

// One gear as the calculation sees it.
struct Gear {
  int gear = 1, z = 0, m = 0;
  double pitch = 0, R = 0, Ri = 0, tt = 0, axis = 0, a0 = 0, a1 = 0;
  double tip = 0, height = 0, width = 0, drain_r = 0, drain_f = 0;  // leakage paths
  double groove0 = 0, groove1 = 0;
  const double *p = nullptr;
  const std::vector<int> *mk = nullptr;
  int o_out = -1, o_in = -1;
  int s_len_out = 0, s_len_inl = 0, s_area_out = 0, s_area_inl = 0, s_cav = 0;
  double *qlt = nullptr, *qdrain = nullptr, *qoutrad = nullptr, *qinlrad = nullptr;
  double *qoutort = nullptr, *qinlort = nullptr, *qgrv = nullptr;
  double *aoutrad = nullptr, *ainlrad = nullptr, *aoutort = nullptr, *ainlort = nullptr;
  double *agrv = nullptr, *dp = nullptr, *vol = nullptr;
  const double *qx = nullptr, *vx = nullptr;

  // Angle [deg] at which cavity k reads its middle cavity's tables.
  double angle(double theta, int k) const {
    return egp_modulo_deg(theta * kDegPerRad - (k - m) * 360.0 / z);
  }
  int next(int k) const { return k + 1 == z ? 0 : k + 1; }
  int prev(int k) const { return k == 0 ? z - 1 : k - 1; }
};

struct Ctx {
  const egp_params &par;
  egp_instance &inst;
  const egp_calc_in &in;
  egp_calc_out &out;
  double b, h, s, w;
  bool grooves;  // groove flows written this call
};

// Tooth-tip and side-face leakage from the next cavity into cavity i, and
// the drainage of cavity i to the inlet chamber.
void Leakage(Ctx &c, const Gear &g, int i) {
  const egp_params &par = c.par;
  const double b = c.b, h = c.h, s = c.s, w = c.w, R = g.R, Ri = g.Ri;
  const double pk = g.p[i], pnext = g.p[g.next(i)];
  const double pm = (pk + pnext) / 2, dp = pnext - pk;
  const double mu = Mu(pm), q0 = Q0(pm);
  double q = 0.0;
  const double e =
      egp_leakage_tip_effective(c.in.theta, i, g.gear, g.pitch, g.tt, g.axis, g.a0, g.a1);
  if (e != 0.0) {
    if (par.leakage_mode == -1) {
      const double A = e * b * h;
      q += Orifice(pnext, pk, A, Ratio(4.0 * A, 2.0 * (h + b)));
    } else {
      // Couette drag of the tip plus pressure flow along the land.
      q += (b * h * R * w / 2 + Ratio(h * h * h * b * dp, 12 * mu * g.tip)) / q0;
      c.out.torque += R * (-0.5 * h * b * dp + (h != 0.0 ? g.tip * b * mu * R * w / h : 0.0));
    }
  }
  if (par.leakage_mode == -1) {
    for (double gap : {par.plain_leak_gap_1, par.plain_leak_gap_2})
      q += Ratio(gap * gap * gap * par.plain_leak_width * dp, 12 * par.plain_leak_length * mu) / q0;
  } else {
    // Two side faces: pressure flow across the tooth, drag at the mean radius.
    const double H = g.height, W = g.width, Rs = Ri + R;
    q += (Ratio(2 * s * s * s * H * dp, 12 * mu * W) + 2 * s * H * (Rs * w / 2) / 2) / q0;
    c.out.torque += Rs * (-0.5 * dp * s * H + (s != 0.0 ? H * W * mu * (Rs * w / 2) / s : 0.0));
  }
  g.qlt[i] = q * par.mult_tip_leakage;

  if (!g.qdrain) return;
  double qd = 0.0;
  // Radial path from the root circle down to the drainage radius.
  if (g.drain_r > 0.0 && Ri > g.drain_r) {
    const double Wd = 2 * g.drain_f * kPi * Ri / g.z;
    qd = 2 * (pk - c.in.pinl) * s * s * s * Wd /
         (12 * Mu((pk + c.in.pinl) / 2) * (Ri - g.drain_r)) / q0;
  }
  g.qdrain[i] = qd;
}

// Radial and axial port openings and the groove of cavity k.
void Ports(Ctx &c, const Gear &g, int k, double ak) {
  const egp_params &par = c.par;
  egp_instance &inst = c.inst;
  const double pout = c.in.pout, pinl = c.in.pinl, pk = g.p[k];
  const bool free = (*g.mk)[Z(k)] == -1;
  const double mo = free || k == g.o_out ? par.mult_outlet_radial : 0.0;
  const double mi = free || k == g.o_in ? par.mult_inlet_radial : 0.0;
  g.qoutrad[k] = egp_q_variable_orifice_len(inst, g.s_len_out, g.m, k, ak, c.b, mo, 0, 0, pout, pk,
                                            At(g.aoutrad, k));
  g.qinlrad[k] = egp_q_variable_orifice_len(inst, g.s_len_inl, g.m, k, ak, c.b, mi, 0, 0, pinl, pk,
                                            At(g.ainlrad, k));
  g.qoutort[k] = egp_q_variable_orifice_srf(inst, g.s_area_out, g.m, k, ak, par.mult_outlet_axial,
                                            pout, pk, At(g.aoutort, k));
  g.qinlort[k] = egp_q_variable_orifice_srf(inst, g.s_area_inl, g.m, k, ak, par.mult_inlet_axial,
                                            pinl, pk, At(g.ainlort, k));
  if (par.groove == 1) {
    const double teeth = g.gear == 1 ? egp_get_teeth_angle(1, g.pitch, g.axis, k - 1, c.in.theta)
                                     : egp_get_teeth_angle(2, g.pitch, g.axis, k + 1, c.in.theta);
    const double sector =
        egp_cav_to_out_sector(teeth - g.tt / 2, g.pitch, g.tt, g.groove0, g.groove1);
    // The annular sector between R - gw and R.
    const double gw = par.groove_width, A = sector * 0.5 * gw * (2 * g.R - gw);
    Put(g.agrv, k, A);
    Put(g.qgrv, k, Orifice(pout, pk, A, Ratio(4 * A, 2 * gw + (2 * g.R - gw) * sector)));
  } else if (par.groove == 2) {
    Put(g.agrv, k, 0.0);
    Put(g.qgrv, k, 0.0);
  }
}

// Sibling and next-cavity openings of driving cavity i towards driven
// cavities i and i - 1; only pairs that exist on both gears exchange.
void Meshing(Ctx &c, const Gear &r, const Gear &n, int i, double ai) {
  const egp_params &par = c.par;
  egp_calc_out &o = c.out;
  if (i >= n.z) {
    o.qsibl[i] = o.qnext[i] = 0.0;
    Put(o.areaload, i, 0.0);
    Put(o.areafree, i, 0.0);
    return;
  }
  const bool meshing = (*r.mk)[Z(i)] != -1, fwd = c.w >= 0.0;
  const double ms = meshing && i != r.o_out ? par.mult_next_cavity : 0.0;
  const double mn = meshing && i != r.o_in ? par.mult_next_cavity : 0.0;
  const double contact = par.contact_threshold, clear = par.teeth_clearance;
  o.qsibl[i] = egp_q_variable_orifice_len(c.inst, 8, r.m, i, ai, c.b, ms, fwd ? contact : 0.0,
                                          fwd ? 0.0 : clear, n.p[i], r.p[i], At(o.areaload, i));
  o.qnext[i] =
      egp_q_variable_orifice_len(c.inst, 9, r.m, i, ai, c.b, mn, fwd ? 0.0 : contact,
                                 fwd ? clear : 0.0, n.p[n.prev(i)], r.p[i], At(o.areafree, i));
}

// The variable part of a chamber: the meshing region between two areas of
// slots s and s + 1, shared with the meshing cavity open to it.
struct Region {
  double A1 = 0, dA1 = 0, A2 = 0, dA2 = 0;
  double q0 = 1;       // q0top of the chamber pressure
  int r = -1, n = -1;  // the cavity open to it on either gear
};

Region ReadRegion(egp_instance &inst, int s, double deg, double p, int r, int n) {
  Region g;
  g.A1 = egp_table_value(inst, s, 0, 0, deg);
  g.dA1 = egp_table_slope(inst, s, 0, 0, deg);
  g.A2 = egp_table_value(inst, s + 1, 0, 0, deg);
  g.dA2 = egp_table_slope(inst, s + 1, 0, 0, deg);
  g.q0 = Q0(p);
  g.r = r;
  g.n = n;
  return g;
}

// Net inflow of a chamber from its own volume change and, when a meshing
// cavity is open to it (at pressure pc), the exchange with that cavity.
double ChamberDisplacement(const Region &g, double kw, const double *pr, const double *pn) {
  double Q = -(g.dA1 - g.dA2) * kw / g.q0;
  if (g.r >= 0 || g.n >= 0) {
    const double pc = g.r >= 0 ? pr[g.r] : pn[g.n];
    Q += g.dA1 * kw / Q0(pc) - g.dA2 * kw / g.q0;
  }
  return Q;
}

// Balance and pressure derivative of every cavity of gear g.
void Cavities(Ctx &c, const Gear &g, const Region &out, const Region &inl, double kw) {
  const egp_calc_out &o = c.out;
  const bool driving = g.gear == 1;
  const int z1 = c.par.teeth_driving;
  for (int k = 0; k < g.z; ++k) {
    const double ak = g.angle(c.in.theta, k), pk = g.p[k];
    double V = egp_table_value(c.inst, g.s_cav, g.m, k, ak) * kMm2 * c.b;
    const double dA = egp_table_slope(c.inst, g.s_cav, g.m, k, ak), q0 = Q0(pk);
    double Q = -dA * kw / q0 + g.qlt[k] - g.qlt[g.prev(k)];
    if (g.qdrain) Q -= g.qdrain[k];
    Q += g.qoutrad[k] + g.qoutort[k];
    if (c.grooves && g.qgrv) Q += g.qgrv[k];
    Q += g.qinlrad[k] + g.qinlort[k];
    if (driving) {
      Q += o.qsibl[k] + o.qnext[k];
    } else {
      if (k < z1) Q -= o.qsibl[k];
      if (g.next(k) < z1) Q -= o.qnext[g.next(k)];
    }
    if (g.qx) Q += g.qx[k];
    if (k == g.o_out) Q += -out.dA1 * kw / q0 + out.dA2 * kw / out.q0;
    if (k == g.o_in) Q += -inl.dA1 * kw / q0 + inl.dA2 * kw / inl.q0;
    if (g.vx) V += g.vx[k];
    g.vol[k] = V;
    g.dp[k] = Chamber(pk, V, Q);
  }
}

// Leakage across the meshing zone from the outlet to the inlet chamber.
double MeshZone(Ctx &c, const Gear &r, const Gear &n) {
  const egp_params &par = c.par;
  const double pm = (c.in.pout + c.in.pinl) / 2, dp = c.in.pout - c.in.pinl, s = c.s;
  const double mu = Mu(pm);
  double flow, tq;
  if (par.leakage_mode == 1) {
    const double Hr = (r.R - r.Ri) / 2, Hn = (n.R - n.Ri) / 2;
    const double Wr = (r.R + r.Ri) * (kPi / 2) / r.z, Wn = (n.R + n.Ri) * (kPi / 2) / n.z;
    flow =
        Ratio(2 * s * s * s * Hn * dp, 12 * mu * Wn) + Ratio(2 * s * s * s * Hr * dp, 12 * mu * Wr);
    tq = (0.25 * r.R + 0.75 * r.Ri) * 2 * Hr * (-0.5 * s * dp) +
         (0.75 * n.Ri + 0.25 * n.R) * 2 * Hn * (-0.5 * s * dp);
  } else {
    const double mw = par.meshing_zone_width;
    flow = Ratio(2 * s * s * s * mw * dp, 12 * mu * par.meshing_zone_height);
    tq = (0.75 * r.Ri + 0.25 * r.R + 0.75 * n.Ri + 0.25 * n.R) * s * (-0.5) * dp * mw;
  }
  c.out.torque += tq;
  return flow / Q0(pm);
}

bool Required(const egp_calc_out &o) {
  for (const double *a :
       {o.dpr, o.dpn, o.qleakteethr, o.qleakteethn, o.qoutradr, o.qoutradn, o.qinlradr, o.qinlradn,
        o.qoutortr, o.qoutortn, o.qinlortr, o.qinlortn, o.qsibl, o.qnext, o.volr, o.voln})
    if (!a) return false;
  return true;
}

}  // namespace

double egp_q_variable_orifice_len(egp_instance &inst, int s, int elem, int site, double deg,
                                  double b, double mult, double close, double least, double p1,
                                  double p2, double *area) {
  double L = egp_table_value(inst, s, elem, site, deg);
  if (L < 0.0) {
    L = 0.0;
  } else {
    L *= kMm;
    if (least > 0.0 && L > 0.0)
      L = std::max(L, least);
    else if (close > 0.0 && L < close)
      L = 0.0;
  }
  const double A = L * b * mult;
  if (area) *area = A;
  return Round(p1, p2, A);
}

double egp_q_variable_orifice_srf(egp_instance &inst, int s, int elem, int site, double deg,
                                  double mult, double p1, double p2, double *area) {
  const double S = egp_table_value(inst, s, elem, site, deg);
  const double A = (S < 0.0 ? 0.0 : S * kMm2) * mult;
  if (area) *area = A;
  return Round(p1, p2, A);
}

void egp_calc_storage::wire(egp_calc_out &o, int z1, int z2) {
  using O = egp_calc_out;
  static constexpr double *O::*driving[] = {
      &O::dpr,         &O::pr_copy,  &O::qleakteethr, &O::qleakdrainr, &O::qoutradr,
      &O::qinlradr,    &O::qoutortr, &O::qinlortr,    &O::qoutgrvr,    &O::qsibl,
      &O::qnext,       &O::volr,     &O::areaoutradr, &O::areaoutortr, &O::areainlradr,
      &O::areainlortr, &O::areaload, &O::areafree,    &O::areaoutgrvr};
  static constexpr double *O::*driven[] = {
      &O::dpn,         &O::pn_copy,     &O::qleakteethn, &O::qleakdrainn, &O::qoutradn,
      &O::qinlradn,    &O::qoutortn,    &O::qinlortn,    &O::qoutgrvn,    &O::voln,
      &O::areaoutradn, &O::areaoutortn, &O::areainlradn, &O::areainlortn, &O::areaoutgrvn};
  const size_t nr = std::size(driving), nn = std::size(driven);
  data.assign(nr * Z(std::max(z1, 0)) + nn * Z(std::max(z2, 0)), 0.0);
  double *p = data.data();
  for (auto m : driving) o.*m = p, p += std::max(z1, 0);
  for (auto m : driven) o.*m = p, p += std::max(z2, 0);
  o.pout_copy = &pout, o.pinl_copy = &pinl, o.qleakmeshzone = &mesh;
  o.fxr = &force[0], o.fyr = &force[1], o.fxn = &force[2], o.fyn = &force[3];
}

double egp_smallest_volume(const egp_params &par, egp_instance &inst, double step, int *which) {
  const int m1 = inst.z1 / 2, m2 = inst.z2 / 2;
  const double b6 = kMm2 * par.gear_thickness;
  double least = par.outlet_dead_volume;
  int state = 2;
  auto take = [&](double v, int s) {
    if (v < least) least = v, state = s;
  };
  take(par.inlet_dead_volume, 3);
  if (step > 0.0 && m1 < inst.z1 && m2 < inst.z2) {
    auto at = [&](int s, int m, double deg) { return egp_table_value(inst, s, m, m, deg); };
    for (double deg = 0.0; deg < 360.0; deg += step) {
      take(at(14, m1, deg) * b6, 0);
      take(at(15, m2, deg) * b6, 1);
      take(par.outlet_dead_volume + (at(10, 0, deg) - at(11, 0, deg)) * b6, 2);
      take(par.inlet_dead_volume + (at(12, 0, deg) - at(13, 0, deg)) * b6, 3);
    }
  }
  if (which) *which = state;
  return least;
}

int hcd_egp_calc_default(const egp_params &par, const egp_calc_in &in, egp_calc_out &out,
                         const double *store, egp_instance &inst) {
  const int z1 = par.teeth_driving, z2 = par.teeth_driven;
  std::vector<int> &mk1 = inst.slot[kSlotMarkersDriving], &mk2 = inst.slot[kSlotMarkersDriven];
  if (z1 <= 0 || z2 <= 0 || z1 != inst.z1 || z2 != inst.z2 || mk1.size() != Z(z1) ||
      mk2.size() != Z(z2) || !store || !in.pr || !in.pn || !Required(out))
    return -1;
  const bool plain = par.leakage_mode == -1, mode1 = par.leakage_mode == 1;
  const bool same = par.identical_gears == 1;
  Ctx c{par,
        inst,
        in,
        out,
        par.gear_thickness,
        par.radial_clearance,
        par.lateral_gap,
        in.speed,
        par.groove == 1 || par.groove == 2};

  Gear r, n;
  r.gear = 1;
  n.gear = 2;
  r.z = z1;
  n.z = z2;
  r.m = z1 / 2;
  n.m = z2 / 2;
  r.pitch = kTwoPi / z1;
  n.pitch = kTwoPi / z2;
  r.a0 = store[0];
  n.a0 = store[1];
  r.a1 = store[2];
  n.a1 = store[3];
  r.tt = store[8];
  n.tt = store[9];
  r.R = store[10];
  n.R = store[11];
  r.Ri = plain ? -1.0 : store[12];
  n.Ri = plain ? -1.0 : store[13];
  r.axis = plain ? 0.0 : store[14];
  n.axis = plain ? 0.0 : store[15];
  r.groove0 = par.groove_start_driving;
  r.groove1 = par.groove_end_driving;
  n.groove0 = par.groove_start_driven;
  n.groove1 = par.groove_end_driven;
  auto details = [&](Gear &g, double tip, double height, double width, double dr, double df) {
    g.tip = mode1 ? g.tt * g.R : same ? par.tip_length : tip;
    g.height = mode1 ? g.R - g.Ri : same ? par.tooth_height : height;
    g.width = mode1 ? (g.Ri + g.R) * (kPi / 2) / g.z : same ? par.tooth_width : width;
    g.drain_r = same ? par.drainage_radius : dr;
    g.drain_f = mode1 ? 0.4 : same ? par.drainage_width_factor : df;
  };
  details(r, par.tip_length_driving, par.tooth_height_driving, par.tooth_width_driving,
          par.drainage_radius_driving, par.drainage_width_factor_driving);
  details(n, par.tip_length_driven, par.tooth_height_driven, par.tooth_width_driven,
          par.drainage_radius_driven, par.drainage_width_factor_driven);
  r.p = in.pr;
  n.p = in.pn;
  r.mk = &mk1;
  n.mk = &mk2;
  r.s_len_out = 0, r.s_len_inl = 2, r.s_area_out = 4, r.s_area_inl = 6, r.s_cav = 14;
  n.s_len_out = 1, n.s_len_inl = 3, n.s_area_out = 5, n.s_area_inl = 7, n.s_cav = 15;
  r.qlt = out.qleakteethr, r.qdrain = out.qleakdrainr, r.qoutrad = out.qoutradr;
  n.qlt = out.qleakteethn, n.qdrain = out.qleakdrainn, n.qoutrad = out.qoutradn;
  r.qinlrad = out.qinlradr, r.qoutort = out.qoutortr, r.qinlort = out.qinlortr;
  n.qinlrad = out.qinlradn, n.qoutort = out.qoutortn, n.qinlort = out.qinlortn;
  r.qgrv = out.qoutgrvr, r.aoutrad = out.areaoutradr, r.ainlrad = out.areainlradr;
  n.qgrv = out.qoutgrvn, n.aoutrad = out.areaoutradn, n.ainlrad = out.areainlradn;
  r.aoutort = out.areaoutortr, r.ainlort = out.areainlortr, r.agrv = out.areaoutgrvr;
  n.aoutort = out.areaoutortn, n.ainlort = out.areainlortn, n.agrv = out.areaoutgrvn;
  r.dp = out.dpr, r.vol = out.volr, r.qx = in.q_r, r.vx = in.v_r;
  n.dp = out.dpn, n.vol = out.voln, n.qx = in.q_n, n.vx = in.v_n;

  int index = par.fluid_index;
  sethdind_(&index);
  out.dtheta = in.speed;
  out.theta_n = -in.theta;
  out.q1 = out.q2 = out.torque = 0.0;
  const double thetad = egp_modulo_deg(in.theta * kDegPerRad);
  egp_run_get_inout(in.theta, mk1, mk2, r.pitch, n.pitch, {store[4], store[5]},
                    {store[7], store[6]}, r.o_out, n.o_out, r.o_in, n.o_in);
  if (out.pout_copy) *out.pout_copy = in.pout;
  if (out.pinl_copy) *out.pinl_copy = in.pinl;
  if (out.pr_copy) std::copy(in.pr, in.pr + z1, out.pr_copy);
  if (out.pn_copy) std::copy(in.pn, in.pn + z2, out.pn_copy);

  const double dout = std::sqrt(4 * par.outlet_port_area / kPi);
  const double dinl = std::sqrt(4 * par.inlet_port_area / kPi);
  out.q2 = Orifice(in.pout, in.p2, par.outlet_port_area, dout);
  out.q1 = Orifice(in.pinl, in.p1, par.inlet_port_area, dinl);

  for (int i = 0; i < z1; ++i) {
    const double ai = r.angle(in.theta, i);
    Leakage(c, r, i);
    Ports(c, r, i, ai);
    Meshing(c, r, n, i, ai);
  }
  for (int j = 0; j < z2; ++j) {
    Leakage(c, n, j);
    Ports(c, n, j, n.angle(in.theta, j));
  }
  if (out.qleakmeshzone) *out.qleakmeshzone = MeshZone(c, r, n);

  // Balances: outlet chamber, inlet chamber, then every cavity.
  const double kw = par.gear_thickness * kSlopeToVolume * in.speed;
  const double b6 = kMm2 * par.gear_thickness;
  const Region ro = ReadRegion(inst, 10, thetad, in.pout, r.o_out, n.o_out);
  const Region ri = ReadRegion(inst, 12, thetad, in.pinl, r.o_in, n.o_in);
  double V = par.outlet_dead_volume + (ro.A1 - ro.A2) * b6;
  double Q = ChamberDisplacement(ro, kw, in.pr, in.pn);
  Q -= Total(out.qoutradr, z1) + Total(out.qoutortr, z1);
  Q -= Total(out.qoutradn, z2) + Total(out.qoutortn, z2);
  if (c.grooves) Q -= Total(out.qoutgrvr, z1) + Total(out.qoutgrvn, z2);
  Q -= out.q2;
  if (out.qleakmeshzone) Q -= *out.qleakmeshzone;
  if (in.q_out) Q += *in.q_out;
  if (in.v_out) V += *in.v_out;
  out.dpout = Chamber(in.pout, V, Q);

  V = par.inlet_dead_volume + (ri.A1 - ri.A2) * b6;
  Q = ChamberDisplacement(ri, kw, in.pr, in.pn);
  Q -= Total(out.qinlradr, z1) + Total(out.qinlortr, z1);
  Q -= Total(out.qinlradn, z2) + Total(out.qinlortn, z2);
  Q += Total(out.qleakdrainr, z1) + Total(out.qleakdrainn, z2);
  Q -= out.q1;
  if (out.qleakmeshzone) Q += *out.qleakmeshzone;
  if (in.q_inl) Q += *in.q_inl;
  if (in.v_inl) V += *in.v_inl;
  out.dpinl = Chamber(in.pinl, V, Q);

  Cavities(c, r, ro, ri, kw);
  Cavities(c, n, ro, ri, kw);

  egp_force_state st;
  st.b = par.gear_thickness;
  st.tt1 = r.tt, st.tt2 = n.tt, st.R1 = r.R, st.R2 = n.R, st.axis1 = r.axis;
  st.o1 = r.o_out, st.o2 = n.o_out, st.o3 = r.o_in, st.o4 = n.o_in;
  st.theta = in.theta, st.pr = in.pr, st.pn = in.pn, st.pinl = in.pinl, st.pout = in.pout;
  return egp_run_forces(inst, st, out.torque, out.fxr, out.fyr, out.fxn, out.fyn);
}

}  // namespace kiv::egp
