// Valve plate of an axial piston machine: the kidney slot of a bore, the
// relief notch of a port, and the openings between them over the turn.
#include <algorithm>

#include "geometry/boolean.hpp"
#include "geometry/kiv_gerotor.h"
#include "geometry/pumpgeom.hpp"
#include "geometry/shapeid.hpp"

namespace kiv::geom {

namespace {

double asinClamped(double v) { return std::asin(std::clamp(v, -1.0, 1.0)); }

Xy polar(double r, double t) { return {r * std::cos(t), r * std::sin(t)}; }

bool slotUsable(double Rp, double h) {
  return std::isfinite(Rp) && std::isfinite(h) && Rp > 0.0 && h > 0.0 && Rp > h;
}

// Slot span folded so that the end lies after the start.
void foldSpan(double &ts, double &te) {
  ts = foldPi(ts);
  te = foldPi(te);
  if (te < ts) te += kTwoPi;
}

ShapePtr slot(double Rp, double w, double ts, double te) {
  const double h = w / 2.0;
  foldSpan(ts, te);
  if (!slotUsable(Rp, h) || !std::isfinite(ts) || !std::isfinite(te)) {
    kivfprintf(stderr, "Error in xCD_geom: the creation of analytic contour for the axial piston pump slot failed.\n");
    kivfprintf(stderr, "Review pitch radius value or slot width value.\n");
    return nullptr;
  }
  const double eps = asinClamped(h / Rp);
  Built b = newShape();
  if (te - ts <= 2.0 * eps) {
    const double tm = (ts + te) / 2.0;
    point *in = add_last_Rtheta_(b.p, Rp - h, tm);
    point *out = add_last_Rtheta_(b.p, Rp + h, tm);
    insertarc_(in, out, h, KIV_ARC_MINOR, KIV_CCW);
    insertarc_(out, in, h, KIV_ARC_MINOR, KIV_CCW);
    return std::move(b.s);
  }
  const double s = ts + eps, e = te - eps;
  const int kind = e - s > kPi ? KIV_ARC_MAJOR : KIV_ARC_MINOR;
  point *p1 = add_last_Rtheta_(b.p, Rp + h, s);
  point *p2 = add_last_Rtheta_(b.p, Rp + h, e);
  point *p3 = add_last_Rtheta_(b.p, Rp - h, e);
  point *p4 = add_last_Rtheta_(b.p, Rp - h, s);
  insertarc_(p1, p2, Rp + h, kind, KIV_CCW);
  insertarc_(p2, p3, h, KIV_ARC_MINOR, KIV_CCW);
  insertarc_(p3, p4, Rp - h, kind, KIV_CW);
  insertarc_(p4, p1, h, KIV_ARC_MINOR, KIV_CCW);
  return std::move(b.s);
}

// The notch triangle: base corners Pa, Pb on the cap circle about K, tip T,
// base midpoint M.
struct NotchFrame {
  Xy K, T, Pa, Pb, M;
  double h;
};

NotchFrame notchFrame(double Rp, int side, double w, double theta, double beta, double L, double wn) {
  const double h = w / 2.0, mu = asinClamped(h / Rp);
  const double tc = side == 1 ? theta + mu : theta - mu;
  const double chi = asinClamped((L + h) / (2.0 * Rp));
  const double psi = side == 1 ? tc + beta - chi : tc + chi - kPi - beta;
  const double delta = asinClamped(wn / (2.0 * h));
  const Xy K = polar(Rp, tc);
  const auto along = [&](double len, double a) { return Xy{K.x + len * std::sin(a), K.y - len * std::cos(a)}; };
  return {K, along(L + h, psi), along(h, psi + delta), along(h, psi - delta), along(h, psi), h};
}

ShapePtr notch(const NotchFrame &f, bool arc) {
  Built b = newShape();
  point *pb = add_last_xy_(b.p, f.Pb.x, f.Pb.y);
  add_last_xy_(b.p, f.T.x, f.T.y);
  point *pa = add_last_xy_(b.p, f.Pa.x, f.Pa.y);
  if (arc) insertarc_(pa, pb, f.h, KIV_ARC_MINOR, KIV_CW);
  return finiteOrNull("create_axpp_notch_", std::move(b.s));
}

Opening measured(const shape *s) {
  if (!s) return {0.0, 0.0};
  return {std::fabs(area2D_(s)), perimeter2D_(s)};
}

Opening rounded(Opening o) { return {roundMilli(o.area), roundMilli(o.perim)}; }

ShapePtr turned(const shape *s, double angle) {
  shape *out = nullptr;
  xCD_copy_shape_moved_(s, &out, 0.0, 0.0, angle, 0.0, 0.0);
  return ShapePtr(out);
}

void fillClosed(double *area, double *perim, int from, int to) {
  for (int i = from; i <= to; ++i) {
    area[i] = 0.0;
    perim[i] = 1.0;
  }
}

int udport(int portId, const double *angles, int first, int last, double *area, double *perim, int n,
           int movingId) {
  if (n < 1 || first < 0 || first > last || last >= n) return -1;
  const shape *port = findShape(portId), *moving = findShape(movingId);
  if (!hasPaths(port) || !hasPaths(moving)) {
    fillClosed(area, perim, first, last);
    return -1;
  }
  for (int i = first; i <= last; ++i) {
    const ShapePtr m = turned(moving, angles[i]);
    const Opening o = rounded(measured(common(m.get(), port).get()));
    area[i] = o.area;
    perim[i] = o.perim;
  }
  if (first == 0 && last == n - 1) {
    area[n - 1] = area[0];
    perim[n - 1] = perim[0];
  }
  return 0;
}

double length3(const double *p, const double *q) {
  return std::sqrt((p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]) + (p[2] - q[2]) * (p[2] - q[2]));
}

// Where the slot's leading cap crosses the notch side from `base` to the
// tip, or the base corner when it does not cross it once.
Xy capCrossing(const point *cap, Xy base, Xy tip) {
  const double a[] = {base.x, base.y}, b[] = {tip.x, tip.y};
  double x1, y1, x2, y2;
  return computeIntersection_arcseg(cap, a, b, 1e-12, &x1, &y1, &x2, &y2) == 3 ? Xy{x1, y1} : base;
}

// True cross-section (area, wetted perimeter) of the notch under the chord
// where the slot's leading cap at `angle` cuts it.
Opening notchSection(const NotchFrame &f, double Rp, double ts, double te, int side, double depth, double angle) {
  double s = ts + angle, e = te + angle;
  foldSpan(s, e);
  const double mu = asinClamped(f.h / Rp), phi = side == 1 ? e - mu : s + mu;
  const double from = side == 1 ? Rp + f.h : Rp - f.h, to = side == 1 ? Rp - f.h : Rp + f.h;
  Built cap = newShape();
  point *p = add_last_Rtheta_(cap.p, from, phi);
  point *q = add_last_Rtheta_(cap.p, to, phi);
  const point *c = insertarc_(p, q, f.h, KIV_ARC_MINOR, KIV_CCW);
  const Xy X1 = capCrossing(c, f.Pb, f.T), X2 = capCrossing(c, f.Pa, f.T);
  double A1[] = {X1.x, X1.y, 0.0}, A2[] = {X2.x, X2.y, 0.0}, B1[] = {f.T.x, f.T.y, 0.0},
         B2[] = {f.M.x, f.M.y, -depth}, PA[3], PB[3];
  const double Dn = distance3D_Line_to_Line(A1, A2, B1, B2, PA, PB);
  const double chord = length3(A1, A2);
  return {Dn * chord / 2.0, chord + length3(A1, PB) + length3(PB, A2)};
}

struct NotchedPort {
  double Rp, w, ts, te;
  int side;
  double theta, beta, L, wn, depth;
};

int anaportNotch(int portId, const double *angles, double *area, double *perim, int n, const NotchedPort &np) {
  if (n < 1) return -1;
  const shape *port = findShape(portId);
  const ShapePtr sl = hasPaths(port) ? slot(np.Rp, np.w, np.ts, np.te) : nullptr;
  if (!hasPaths(sl.get())) {
    fillClosed(area, perim, 0, n - 1);
    return -1;
  }
  const NotchFrame f = notchFrame(np.Rp, np.side, np.w, np.theta, np.beta, np.L, np.wn);
  const ShapePtr tri = notch(f, false);
  const ShapePtr working(union_shape_(port, tri.get()));
  for (int i = 0; i < n; ++i) {
    const ShapePtr S = turned(sl.get(), angles[i]);
    Opening o = rounded(measured(common(working.get(), S.get()).get()));
    const Opening plan = measured(common(tri.get(), S.get()).get());
    if (plan.area != 0.0) {
      const Opening c = notchSection(f, np.Rp, np.ts, np.te, np.side, np.depth, angles[i]);
      if (c.area < plan.area) o = rounded({o.area - plan.area + c.area, o.perim - plan.perim + c.perim});
    }
    area[i] = o.area;
    perim[i] = o.perim;
  }
  area[n - 1] = area[0];
  perim[n - 1] = perim[0];
  return 0;
}

}  // namespace

}  // namespace kiv::geom

using namespace kiv::geom;

extern "C" {

shape *create_axpp_slot_(const double *Rp, const double *w, const double *theta_s, const double *theta_e) {
  return slot(*Rp, *w, *theta_s, *theta_e).release();
}

int create_axpp_slot_id_(const double *Rp, const double *w, const double *theta_s, const double *theta_e) {
  return registerShape(slot(*Rp, *w, *theta_s, *theta_e));
}

shape *create_axpp_notch_(const double *Rp, const int *side, const double *w, const double *theta,
                          const double *beta, const double *L, const double *wn, const double *, const int *arc) {
  return notch(notchFrame(*Rp, *side, *w, *theta, *beta, *L, *wn), *arc == 1).release();
}

int create_axpp_notch_id_(const double *Rp, const int *side, const double *w, const double *theta,
                          const double *beta, const double *L, const double *wn, const double *,
                          const int *arc) {
  return registerShape(notch(notchFrame(*Rp, *side, *w, *theta, *beta, *L, *wn), *arc == 1));
}

double distance3D_Line_to_Line(const double *A1, const double *A2, const double *B1, const double *B2, double *PA,
                               double *PB) {
  double u[3], v[3], w0[3];
  for (int k = 0; k < 3; ++k) {
    u[k] = A1[k] - A2[k];
    v[k] = B1[k] - B2[k];
    w0[k] = A2[k] - B2[k];
  }
  const auto dot = [](const double *p, const double *q) { return p[0] * q[0] + p[1] * q[1] + p[2] * q[2]; };
  const double a = dot(u, u), b = dot(u, v), c = dot(v, v), d = dot(u, w0), e = dot(v, w0), D = a * c - b * b;
  double s = 0.0, t;
  if (D >= 1e-12) {
    s = (b * e - c * d) / D;
    t = (a * e - b * d) / D;
  } else {
    t = b > c ? d / b : e / c;
  }
  double gap[3];
  for (int k = 0; k < 3; ++k) {
    PA[k] = A2[k] + s * u[k];
    PB[k] = B2[k] + t * v[k];
    gap[k] = w0[k] + s * u[k] - t * v[k];
  }
  return std::sqrt(dot(gap, gap));
}

int axpp_udport_custom_(const int *port_id, const double *angles, const int *i_first, const int *i_last,
                        double *area, double *perimeter, const int *n, const int *moving_id) {
  return udport(*port_id, angles, *i_first, *i_last, area, perimeter, *n, *moving_id);
}

int axpp_udport_(const int *port_id, const double *angles, double *area, double *perimeter, const int *n,
                 const int *moving_id) {
  return udport(*port_id, angles, 0, *n - 1, area, perimeter, *n, *moving_id);
}

int axpp_anaport_notch_(const int *port_id, const double *angles, double *area, double *perimeter, const int *n,
                        const double *Rp, const double *w, const double *theta_s, const double *theta_e,
                        const int *side, const double *theta, const double *beta, const double *L,
                        const double *wn, const double *depth) {
  return anaportNotch(*port_id, angles, area, perimeter, *n,
                      NotchedPort{*Rp, *w, *theta_s, *theta_e, *side, *theta, *beta, *L, *wn, *depth});
}

}  // extern "C"
