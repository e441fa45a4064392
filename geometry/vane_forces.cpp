// What a vane-pump submodel evaluates for one chamber at every step: the
// forces on stator and rotor, the chamber volume with its derivatives, and
// the chamber's opening onto a port with a timing notch at the port start.
#include <algorithm>

#include "geometry/pumpgeom.hpp"
#include "params/kiv_math.h"

namespace kiv::geom {
namespace {

// Counter-clockwise span from a to b in [0, 2 pi).
double ccw(double a, double b) { return b - a < 0.0 ? b - a + kTwoPi : b - a; }

// sin(x) / x, 1 at 0.
double sinc(double x) { return x == 0.0 ? 1.0 : std::sin(x) / x; }

struct StatorForces {
  double F, Fx, Fy, psi, mx, my, Fc, Fcx, Fcy, gx, gy;
};

StatorForces statorForces(double ex, double ey, double R, double r, double L, double V, double s1,
                          double s2, double phi1, double phi2, double p, double rho, double omega) {
  StatorForces f{};
  const double delta = ccw(phi1, phi2), mid = phi1 + delta / 2.0;
  const double chord = std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - 2.0 * s1 * s2 * std::cos(delta)));
  const Xy P1{s1 * std::cos(phi1), s1 * std::sin(phi1)}, P2{s2 * std::cos(phi2), s2 * std::sin(phi2)};
  // The stator arc wetted by the chamber, seen from the stator centre K.
  const double g1 = std::atan2(P1.y - ey, P1.x - ex), gamma = ccw(g1, std::atan2(P2.y - ey, P2.x - ex)) / 2.0;
  const double arcMid = g1 + gamma;
  f.F = chord * L * p;
  f.mx = (P1.x + P2.x) / 2.0;
  f.my = (P1.y + P2.y) / 2.0;
  // The pressure pushes the arc out along its middle: towards the chord's
  // midpoint up to half a turn, away from it beyond (the midpoint then lies
  // behind K), and still defined when the midpoint is K itself.
  f.psi = fold2Pi(arcMid);
  f.Fx = f.F * std::cos(f.psi);
  f.Fy = f.F * std::sin(f.psi);
  // Section = stator sector about K + triangles O-P1-K and O-K-P2 - rotor sector.
  const double rotorArea = r * r * delta / 2.0, rotorArm = 2.0 * r / 3.0 * sinc(delta / 2.0);
  const double statorArea = R * R * gamma, statorArm = 2.0 * R / 3.0 * sinc(gamma);
  const double T1 = (P1.x * ey - P1.y * ex) / 2.0, T2 = (P2.y * ex - P2.x * ey) / 2.0;
  const double total = statorArea - rotorArea + T1 + T2;
  if (total != 0.0) {
    f.gx = (statorArea * (ex + statorArm * std::cos(arcMid)) - rotorArea * rotorArm * std::cos(mid) +
            T1 * (P1.x + ex) / 3.0 + T2 * (P2.x + ex) / 3.0) / total;
    f.gy = (statorArea * (ey + statorArm * std::sin(arcMid)) - rotorArea * rotorArm * std::sin(mid) +
            T1 * (P1.y + ey) / 3.0 + T2 * (P2.y + ey) / 3.0) / total;
  } else {
    // A chamber closed to a line: its centroid is the chord's midpoint.
    f.gx = f.mx;
    f.gy = f.my;
  }
  f.Fc = V * rho * omega * omega * std::sqrt(f.gx * f.gx + f.gy * f.gy);
  f.Fcx = f.Fc * std::cos(mid);
  f.Fcy = f.Fc * std::sin(mid);
  return f;
}

struct VaneReach {
  double beta, rho, s, h;
};

// Tip contact of the vane at theta (from the eccentricity direction) with
// tip contact angle beta; d = R - rt.
VaneReach vaneReach(double theta, double beta, double e, double d, double rt, double r) {
  VaneReach v{beta, std::sqrt(2.0 * e * d * std::cos(theta + beta) + e * e + d * d), 0.0, 0.0};
  v.s = std::sqrt(2.0 * v.rho * rt * std::cos(beta) + v.rho * v.rho + rt * rt);
  v.h = v.rho + rt - r;
  return v;
}

VaneReach freeVane(double theta, double e, double d, double rt, double r) {
  return vaneReach(theta, std::asin(e * std::sin(theta) / d), e, d, rt, r);
}

struct Transfer {
  double V, dV, dVde, dVdeRing, dVdtheta, s1, s2;
};

Transfer transfer(double t1, double t2, double e, double beta1, double omega, double edot, double w,
                  double rt, double R, double r, double L) {
  const double d = R - rt, ar = std::asin((w / 2.0) / r);
  const VaneReach v1 = vaneReach(t1, beta1, e, d, rt, r), v2 = freeVane(t2, e, d, rt, r);
  Transfer t{};
  t.s1 = v1.s;
  t.s2 = v2.s;
  // The chamber runs counter-clockwise from vane 1 to vane 2.
  const double u2 = t2 < t1 ? t2 + kTwoPi : t2;
  t.V = L * (ringArea(u2, e, R, r) - ringArea(t1, e, R, r)) - L * halfVaneArea(w, rt, v1.h) -
        L * halfVaneArea(w, rt, v2.h);
  // Lead of each vane axis over its contact point.
  const auto lead = [&](double theta, double s) {
    if (e <= 0.0) return 0.0;
    const double f = theta - kTwoPi * std::floor(theta / kTwoPi);
    double chi = std::acos(std::clamp((s * s + e * e - R * R) / (2.0 * e * s), -1.0, 1.0));
    if (f > kPi) chi = kTwoPi - chi;
    return f - chi;
  };
  const double G1 = tipReachRate(t1, e, d), G2 = tipReachRate(t2, e, d);
  t.dVdtheta = (L / 2.0) * ((v2.s * v2.s - v1.s * v1.s) -
                            2.0 * r * (G2 * (ar - lead(t2, v2.s)) + G1 * (lead(t1, v1.s) + ar)));
  const double S1 = std::sin(t1), S2 = std::sin(t2);
  const double Q1 = std::sqrt(R * R - e * S1 * e * S1), Q2 = std::sqrt(R * R - e * S2 * e * S2);
  const auto arcTerm = [&](double S) { return S / (R * std::sqrt(1.0 - (e * S / R) * (e * S / R))); };
  t.dVdeRing = (L / 2.0) * (2.0 * e * std::cos(t2) * S2 - 2.0 * e * std::cos(t1) * S1 +
                            R * R * (arcTerm(S2) - arcTerm(S1)) + (S2 * Q2 - S1 * Q1) -
                            (e * e * S2 * S2 * S2 / Q2 - e * e * S1 * S1 * S1 / Q1));
  t.dVde = t.dVdeRing - L * vaneSideRate(t1, v1.beta, e, d, w) - L * vaneSideRate(t2, v2.beta, e, d, w);
  t.dV = t.dVdtheta * omega - t.dVde * edot;
  return t;
}

// Quadrant 1..4 of an angle by the signs of its sine and cosine.
int quadrant(double x) {
  const bool up = std::sin(x) >= 0.0, right = std::cos(x) >= 0.0;
  return up ? (right ? 1 : 2) : (right ? 4 : 3);
}

struct PortSpan {
  double ps, pe;
  int mode;
  bool inside(double x) const {
    const int qd = quadrant(x - ps);
    return qd < mode || (qd == mode && quadrant(x - pe) == 4);
  }
  // The edge at x, stored inside, has left the span.
  bool left(double x) const {
    const int qd = quadrant(x - ps), qe = quadrant(x - pe);
    switch (mode) {
      case 1: return !(qe == 4 && qd != 4);
      case 4: return qd == 4 && qe == 1;
      default: return qe == 1 || qd == 4;
    }
  }
  // A mode outside 1..4 tests no crossing, a stored in/out flag other than
  // 0 or 1 tests none for its edge.
  bool testing() const { return mode >= 1 && mode <= 4; }
  bool crossed(int in, double x) const {
    if (!testing()) return false;
    if (in == 1) return left(x);
    return in == 0 && inside(x);
  }
};

struct PortState {
  int &mode, &in2, &in1, &nstate;
};

struct Pump {
  double w, rt, R, r;
};

struct PortOpening {
  double area, dh, perim;
};

PortOpening devPortArea(double t1, double t2, double e, double beta1, const Pump &p, double n, double &ps,
                        double &pe, const Notch &notch, PortState st, double &m1, double &m2) {
  const double d = p.R - p.rt;
  if (ps < 0.0) ps += kTwoPi;
  if (pe < 0.0) pe += kTwoPi;
  const VaneReach v1 = vaneReach(t1, beta1, e, d, p.rt, p.r), v2 = freeVane(t2, e, d, p.rt, p.r);
  const double eps1 = std::atan((p.w / 2.0) / (p.r + v1.h / 2.0));
  const double eps2 = std::atan((p.w / 2.0) / (p.r + v2.h / 2.0));
  double zero = 0.0, lo = 0.0, hi = kTwoPi;
  t1 = modulo_(&t1, &zero, &lo, &hi, &m1);
  t2 = modulo_(&t2, &zero, &lo, &hi, &m2);
  const double edge2 = t2 - eps2, edge1 = t1 + eps1, back1 = t1 - eps1;
  if (getofg_() == 0) {
    st.mode = quadrant(pe - ps);
    const PortSpan fresh{ps, pe, st.mode};
    st.in2 = fresh.inside(edge2);
    st.in1 = fresh.inside(edge1);
  }
  const PortSpan span{ps, pe, st.mode};
  bool crossed = span.crossed(st.in2, edge2) || span.crossed(st.in1, edge1);
  const auto A = [&](double x) { return ringArea(x, e, p.R, p.r); };
  const auto H = [&](const VaneReach &v) { return halfVaneArea(p.w, p.rt, v.h); };
  // Rotor and stator boundary from the port edge at x.
  const auto edgeReach = [&](double x) { return freeVane(x, e, d, p.rt, p.r); };
  double A2 = 0.0, H2 = 0.0, P2 = 0.0, A1 = 0.0, H1 = 0.0, P1 = 0.0, As = 0.0, Ps = 0.0, Ae = 0.0, Pe = 0.0;
  if (st.in2 == 1) {
    A2 = A(t2);
    H2 = H(v2);
    P2 = v2.h + p.r * t2 + (v2.beta + t2) * p.R - p.w;
  }
  const auto vane1 = [&](double x) {
    A1 = A(x);
    P1 = v1.h - p.r * x - (x + beta1) * p.R - p.w;
  };
  if (st.in1 == 1) {
    vane1(t2 - kTwoPi / n);
    H1 = H(v1);
  }
  if (st.in2 == 1 && st.in1 == 0) {
    const VaneReach s = edgeReach(ps);
    As = A(ps);
    Ps = s.h - p.r * ps - (s.beta + ps) * p.R;
    if (A2 - As < 0.0) {
      As = -A(kTwoPi - ps);
      Ps = (kTwoPi - ps - s.beta) * p.R + p.r * (kTwoPi - ps) + s.h;
    }
  }
  if (st.in2 == 0 && st.in1 == 1) {
    const VaneReach s = edgeReach(pe);
    const auto end = [&](double x) {
      Ae = A(x);
      Pe = (x + s.beta) * p.R + s.h + p.r * x;
    };
    end(pe);
    if (A1 < 0.0) vane1(t1);
    if (Ae - A1 < 0.0) end(pe + kTwoPi);
  }
  PortOpening o{A2 + Ae - A1 - As - H1 - H2, 0.0, Ps + P1 + P2 + Pe};
  if (notch.open) {
    bool notchCrossed = false;
    const Opening g = notchStep(notch, back1, edge2, ps, st.nstate, notchCrossed);
    o.area += g.area;
    o.perim += g.perim;
    crossed = crossed || (notchCrossed && span.testing());
  }
  o.dh = o.perim > 0.0 ? 4.0 * o.area / o.perim : 0.0;
  if (o.area <= 0.0) o.area = o.dh = 0.0;
  int one = 1;
  if (crossed) disloc_(&one);
  return o;
}

}  // namespace
}  // namespace kiv::geom

using namespace kiv::geom;

extern "C" {

void vp_stator_forces_(const double *ex, const double *ey, const double *R, const double *r, const double *L,
                       const double *V, const double *s1, const double *s2, const double *, const double *,
                       const double *phi1, const double *phi2, const double *p, const double *rho,
                       const double *omega, double *F, double *Fx, double *Fy, double *psiF, double *mx,
                       double *my, double *Fc, double *Fcx, double *Fcy, double *gx, double *gy) {
  const StatorForces f = statorForces(*ex, *ey, *R, *r, *L, *V, *s1, *s2, *phi1, *phi2, *p, *rho, *omega);
  *F = f.F;
  *Fx = f.Fx;
  *Fy = f.Fy;
  *psiF = f.psi;
  *mx = f.mx;
  *my = f.my;
  *Fc = f.Fc;
  *Fcx = f.Fcx;
  *Fcy = f.Fcy;
  *gx = f.gx;
  *gy = f.gy;
}

void vp_rotor_forces_(const double *r, const double *L, const double *phi1, const double *phi2, const double *p,
                      double *F, double *Fx, double *Fy, double *psiF) {
  const double delta = ccw(*phi1, *phi2);
  *F = *r * std::sqrt(std::max(0.0, 2.0 - 2.0 * std::cos(delta))) * *L * *p;
  *psiF = *phi1 + delta / 2.0 - kPi;
  if (*psiF < 0.0) *psiF += kTwoPi;
  *Fx = *F * std::cos(*psiF);
  *Fy = *F * std::sin(*psiF);
}

void vp_dev_trans_VdV_(const double *theta1, const double *theta2, const double *e, const double *beta1,
                       const double *omega, const double *edot, const double *w, const double *rt, const double *R,
                       const double *r, const double *L, double *V, double *dV, double *dVde, double *dVde_ring,
                       double *dVdtheta, double *s1, double *s2) {
  const Transfer t = transfer(*theta1, *theta2, *e, *beta1, *omega, *edot, *w, *rt, *R, *r, *L);
  *V = t.V;
  *dV = t.dV;
  *dVde = t.dVde;
  *dVde_ring = t.dVdeRing;
  *dVdtheta = t.dVdtheta;
  *s1 = t.s1;
  *s2 = t.s2;
}

void vp_dev_port_area_(const double *theta1, const double *theta2, const double *e, const double *beta1,
                       const double *w, const double *rt, const double *R, const double *r, const double *n,
                       double *ps, double *pe, const double *Rn, const double *delta, const double *a,
                       const double *b, const double *c, double *area, double *dh, double *perim, int *mode,
                       int *in2, int *in1, int *nstate, double *m1, double *m2) {
  const PortOpening o = devPortArea(*theta1, *theta2, *e, *beta1, Pump{*w, *rt, *R, *r}, *n, *ps, *pe,
                                    notchShape(*Rn, *delta, *a, *b, *c), PortState{*mode, *in2, *in1, *nstate},
                                    *m1, *m2);
  *area = o.area;
  *dh = o.dh;
  *perim = o.perim;
}

}  // extern "C"
