// Openings of a vane-pump chamber onto its ports: analytic ports, timing
// notches and grooves, tables of them by shaft angle from formulas or from
// drawn shapes, and the pivot geometry of a pivoting cam ring.
#include <algorithm>

#include "geometry/boolean.hpp"
#include "geometry/pumpgeom.hpp"
#include "geometry/shapeid.hpp"

namespace kiv::geom {

Notch notchShape(double Rn, double delta, double a, double b, double c) {
  Notch n{Rn, delta, a, 0.0, 0.0, 0.0, 0.0, a > 0.0 && b > 0.0 && c > 0.0};
  if (!n.open) return n;
  n.lambda = std::atan(a * std::cos(delta) / (Rn - a * std::sin(delta)));
  n.sinKappa = std::sin(std::atan(c / a));
  n.T = std::cos(delta) / (2.0 * a / b + std::sin(delta)) + std::cos(delta) / (2.0 * a / b - std::sin(delta));
  n.F = 1.0 / std::sin(std::atan((b / 2.0) / c)) + 1.0;
  return n;
}

namespace {

// Where the vane edges stand against the notch end tn (s, c) and against its
// start tn - lambda (sp, cp).
struct NotchSigns {
  double s1, c1, s2, c2, s1p, c1p, s2p, c2p;
};

NotchSigns notchSigns(double t1, double t2, double tn, double lambda) {
  const double ts = tn - lambda;
  return {std::sin(t1 - tn), std::cos(t1 - tn), std::sin(t2 - tn), std::cos(t2 - tn),
          std::sin(t1 - ts), std::cos(t1 - ts), std::sin(t2 - ts), std::cos(t2 - ts)};
}

int notchSelect(const NotchSigns &g) {
  if (g.s2 < 0.0 && g.c2 > 0.0 && g.s2p >= 0.0 && g.c2p > 0.0) return 1;
  if (g.s1p < 0.0 && g.s2 >= 0.0 && (g.c2 > 0.0 || g.c1p > 0.0)) return 2;
  if (g.s1p >= 0.0 && g.c1p > 0.0 && g.s1 < 0.0 && g.c1 > 0.0) return 3;
  return 0;
}

bool notchCrosses(int state, const NotchSigns &g) {
  switch (state) {
    case 1: return (g.s2p < 0.0 && g.c2p > 0.0) || (g.c2 > 0.0 && g.s2 >= 0.0);
    case 2: return (g.s1p >= 0.0 && g.c1p > 0.0) || (g.c2 > 0.0 && g.s2 < 0.0);
    case 3: return (g.s1p < 0.0 && g.c1p > 0.0) || (g.c1 > 0.0 && g.s1 >= 0.0);
    default: return (g.c2p > 0.0 && g.s2p >= 0.0 && g.s1p < 0.0) || (g.c1 > 0.0 && g.s1 < 0.0 && g.s2 >= 0.0);
  }
}

// Opening of the groove filled up to length l from its end.
Opening notchPart(const Notch &n, double l) { return {0.5 * l * (n.T * l) * n.sinKappa, n.T * l * n.F}; }

void fillClosed(double *area, double *perim, int n) {
  for (int i = 0; i < n; ++i) {
    area[i] = 0.0;
    perim[i] = 1.0;
  }
}

// Entries a table computes before closing its period.  A single entry is
// the start of the range, computed as the first of many would be.
int computedEntries(int n) { return n > 1 ? n - 1 : n; }

// One period closes on itself.
void closePeriod(double *area, double *perim, int n) {
  if (n < 2) return;
  area[n - 1] = area[0];
  perim[n - 1] = perim[0];
}

// The zero-width band takes the limit of the ratio instead of 0 / 0.
double bandShare(double width, double band, bool capped) {
  if (band == 0.0) return capped && width > 0.0 ? 1.0 : 0.0;
  return capped ? std::min(1.0, width / band) : std::max(0.0, width / band);
}

struct Port {
  double w, rt, R, r;
  double ex, ey;
};

struct VaneSide {
  double h, q;
  double bandFrom, bandTo;
};

void anaportArea(const Port &p, double a1, double a2, const double *span, const VaneSide &v1,
                 const VaneSide &v2, double &area, double &perim, int *out1, int *out2) {
  const double e = std::sqrt(p.ex * p.ex + p.ey * p.ey), te = e == 0.0 ? 0.0 : std::atan2(p.ey, p.ex);
  const AngleOverlap o = sortAngles(a1, a2, span[0], span[1]);
  if (o.kind == 0) {
    area = perim = 0.0;
    return;
  }
  *out2 = o.kind == 1 || o.kind == 3;
  *out1 = o.kind == 3 || o.kind == 4;
  const double lo = o.lo - te, hi = o.hi - te;
  area = ringArea(hi, e, p.R, p.r) - ringArea(lo, e, p.R, p.r);
  perim = (p.R + p.r) * (hi - lo);
  for (auto [v, out] : {std::pair(&v2, *out2), std::pair(&v1, *out1)}) {
    const double band = std::fabs(v->bandTo - v->bandFrom), H = halfVaneArea(p.w, p.rt, v->h);
    if (out) {
      area -= bandShare(std::fabs(hi - lo), band, true) * H;
      perim += v->h;
      continue;
    }
    const AngleOverlap b = sortAngles(a1 - te, a2 - te, v->bandFrom - te, v->bandTo - te);
    if (b.kind != 0) area -= H * bandShare(std::fabs(b.hi - b.lo), band, false);
    perim += v->q;
  }
}

Opening anagrooveArea(double ta, double tb, double g1, double g2, double Rg, double p1, double p2,
                      double q1, double q2) {
  const AngleOverlap o = sortAngles(q1, q2, ta, tb);
  if (o.kind == 0) return {};
  const double m = std::min((o.hi - o.lo) * Rg, g1);
  const Opening bottom{g2 * m, 2.0 * (m + g2)};
  const AngleOverlap b = sortAngles(p1, p2, ta, tb);
  if (b.kind == 0) return bottom;
  const double d2 = b.hi - b.lo;
  const Opening side = g1 * (2.0 * Rg + g1) / 2.0 > g2 * Rg
                           ? Opening{g2 * d2 * Rg, 2.0 * (d2 * Rg + g2)}
                           : Opening{(2.0 * Rg + g1) * d2 * g1 / 2.0, 2.0 * g1 + d2 * (2.0 * Rg + g1)};
  return bottom.area > side.area ? bottom : side;
}

// The stator disc about (ex, ey).
ShapePtr statorDisc(double R, double ex, double ey) {
  ShapePtr s = vpRotor(R);
  if (ex != 0.0 || ey != 0.0) translate2D_(s.get(), ex, ey);
  return s;
}

int grooveToPort(int id, const double *angles, double *area, double *perim, int n, double thl,
                 double tht, const Port &p, double dg, double depth, double p1, double p2) {
  const shape *groove = findShape(id);
  if (!hasPaths(groove)) {
    fillClosed(area, perim, n);
    return -1;
  }
  const ShapePtr outside = minus(groove, statorDisc(p.R, p.ex, p.ey).get());
  // The port's reach beyond the bore; inner circle first, so that the ring
  // runs counter-clockwise and is removed rather than taken as a hole.
  const ShapePtr bore = analyticPort(p.R - 1.0, p.R + dg, p.ex, p.ey, p.ex, p.ey, p1, p2, 1);
  const ShapePtr rest = minus(outside.get(), bore.get());
  if (!hasPaths(rest.get())) {
    fillClosed(area, perim, n);
    return 0;
  }
  for (int i = 0; i < computedEntries(n); ++i) {
    const ChamberAxes ax = chamberAxes(angles[i], thl, tht);
    double fa = singleVane(ax.a, p.ex, p.ey, p.w, p.rt, p.R, p.r).phi;
    double fb = singleVane(ax.b, p.ex, p.ey, p.w, p.rt, p.R, p.r).phi;
    const AngleOverlap o = sortAngles(p1, p2, fa, fb);
    if (o.kind == 0) {
      area[i] = 0.0;
      perim[i] = 1.0;
      continue;
    }
    const double m = std::min((o.hi - o.lo) * p.R, dg);
    const ShapePtr part = minus(rest.get(), screen(fa, fb, 2.0 * (p.R + dg), false).get());
    const double ag = roundMilli(area2D_(part.get()));
    Opening op{depth * m, 2.0 * (m + depth)};
    if (ag > 0.0) {
      double rmin, rmax, t0 = 0.0, t1 = 0.0;
      find_bounds_rtheta_(part.get(), &rmin, &rmax, &t0, &t1);
      const double extent = t1 - t0;
      // A groove deeper than the plate's reach over the chamber is limited to it.
      const Opening cut = ag > p.R * extent * depth
                              ? Opening{p.R * extent * depth, 2.0 * (extent * p.R + depth)}
                              : Opening{ag, roundMilli(perimeter2D_(part.get()))};
      if (cut.area >= op.area) op = cut;
    }
    area[i] = op.area;
    perim[i] = op.perim;
  }
  closePeriod(area, perim, n);
  return 0;
}

// (ex, ey) receive the eccentricity as limited to the rotor's room.
int udport(int id, const double *angles, double *area, double *perim, int n, double thl, double tht,
           Port p, double &ex, double &ey) {
  const shape *port = findShape(id);
  // Rotor, stator and vanes must be buildable: a refused one would leave
  // the port uncut or every chamber closed.
  if (!checkShapeTable("vp_udport_", {p.w, p.rt, p.R, p.r}, ex, ey, thl, tht, angles, n) ||
      !hasPaths(port)) {
    fillClosed(area, perim, n);
    return -1;
  }
  const double room = p.R - p.r, vaneLength = 2.5 * room;
  double te;
  const double e = limitEccentricity(ex, ey, room, te);
  p.ex = ex;
  p.ey = ey;
  const ShapePtr stator = vpStator(p.R, 0.0, 0.0), rotor = vpRotor(p.r);
  if (p.ex != 0.0 || p.ey != 0.0) translate2D_(stator.get(), p.ex, p.ey);
  const ShapePtr offRotor = minus(port, rotor.get());
  if (!offRotor) {
    fillClosed(area, perim, n);
    return -1;
  }
  const ShapePtr usable = minus(offRotor.get(), stator.get());
  if (!hasPaths(usable.get())) {
    fillClosed(area, perim, n);
    return 0;
  }
  double top, right, bottom, left;
  if (find_bounds_trbl_(usable.get(), &top, &right, &bottom, &left) != 0) {
    kivfprintf(stderr, "Error in VP_port_ cannot find bounds.\n");
    fillClosed(area, perim, n);
    return -1;
  }
  // A port around the rotor centre meets every chamber.
  const bool around = bottom < 0.0 && 0.0 < top && left < 0.0 && 0.0 < right;
  double s[] = {std::atan2(bottom, right), std::atan2(top, right), std::atan2(top, left),
                std::atan2(bottom, left)};
  std::sort(s, s + 4);
  const bool acrossNegativeX = bottom < 0.0 && 0.0 < top && left < 0.0 && right < 0.0;
  const double from = acrossNegativeX ? s[2] : s[0], to = acrossNegativeX ? s[1] : s[3];
  for (int i = 0; i < n; ++i) {
    const ChamberAxes ax = chamberAxes(angles[i], thl, tht);
    const Vane va = vpVane(ax.a, te, e, p.w, p.rt, p.R, vaneLength);
    const Vane vb = vpVane(ax.b, te, e, p.w, p.rt, p.R, vaneLength);
    const int kind = around ? -1 : sortAngles(from, to, va.angle, vb.angle).kind;
    if (kind == 0) {
      area[i] = 0.0;
      perim[i] = 1.0;
      continue;
    }
    double fa = va.angle, fb = vb.angle;
    ShapePtr open = minus(usable.get(), screen(fa, fb, 2.0 * p.R, false).get());
    if (around || kind == 3 || kind == 4) open = minus(open.get(), va.s.get());
    if (around || kind == 1 || kind == 3) open = minus(open.get(), vb.s.get());
    area[i] = roundMilli(area2D_(open.get()));
    perim[i] = roundMilli(perimeter2D_(open.get()));
  }
  closePeriod(area, perim, n);
  return 0;
}

}  // namespace

Opening notchStep(const Notch &n, double t1, double t2, double tn, int &state, bool &crossed, bool fresh) {
  if (!n.open) return {};
  const NotchSigns g = notchSigns(t1, t2, tn, n.lambda);
  if (fresh || getofg_() == 0) state = notchSelect(g);
  crossed = notchCrosses(state, g);
  switch (state) {
    case 1: return notchPart(n, n.a - n.Rn * std::sin(tn - t2) / std::cos(tn - t2 - n.delta));
    case 2: return notchPart(n, n.a);
    case 3: return notchPart(n, n.Rn * std::sin(tn - t1) / std::cos(tn - t1 - n.delta));
    default: return {};
  }
}

}  // namespace kiv::geom

using namespace kiv::geom;

extern "C" {

void vp_anaport_area_(const double *w, const double *rt, const double *R, const double *r, const double *a1,
                      const double *a2, const double *ex, const double *ey, const double *p1, const double *p2,
                      const double *p3, const double *p4, const double *h1, const double *h2, const double *q1,
                      const double *q2, double *area, double *perim, int *out1, int *out2) {
  const double span[] = {*p1, *p3};
  anaportArea(Port{*w, *rt, *R, *r, *ex, *ey}, *a1, *a2, span, VaneSide{*h1, *q1, *p1, *p2},
              VaneSide{*h2, *q2, *p4, *p3}, *area, *perim, out1, out2);
}

void vp_notch_area_(const double *theta1, const double *theta2, const double *theta_n, const double *Rn,
                    const double *delta, const double *a, const double *b, const double *c, double *area,
                    double *perim, int *state) {
  bool crossed = false;
  const Opening o = notchStep(notchShape(*Rn, *delta, *a, *b, *c), *theta1, *theta2, *theta_n, *state, crossed);
  *area = o.area;
  *perim = o.perim;
  int one = 1;
  if (crossed) disloc_(&one);
}

void vp_anagroove_area_(const double *ta, const double *tb, const double *g1, const double *g2,
                        const double *Rg, const double *p1, const double *p2, const double *q1,
                        const double *q2, double *area, double *perim) {
  const Opening o = anagrooveArea(*ta, *tb, *g1, *g2, *Rg, *p1, *p2, *q1, *q2);
  *area = o.area;
  *perim = o.perim;
}

int vp_notch_(const double *angles, double *area, double *perim, const int *n, const double *theta_l,
              const double *theta_t, const double *theta_n, const double *Rn, const double *delta,
              const double *a, const double *b, const double *c, const double *w) {
  const Notch shape = notchShape(*Rn, *delta, *a, *b, *c);
  const double nu0 = std::atan(0.5 * *w / *Rn), width = std::fabs(*theta_t - *theta_l);
  const bool ahead = *theta_t > *theta_l;
  int state = 0;
  for (int i = 0; i < computedEntries(*n); ++i) {
    // A trailing notch is the leading one mirrored.
    const double x1 = ahead ? angles[i] : kPi - angles[i];
    const double x2 = ahead ? angles[i] + width : kPi - (angles[i] - width);
    bool crossed = false;
    const Opening o = notchStep(shape, x1 + nu0, x2 - nu0, ahead ? *theta_n : kPi - *theta_n, state, crossed, i == 0);
    area[i] = o.area;
    perim[i] = o.perim;
    int one = 1;
    if (crossed) disloc_(&one);
  }
  closePeriod(area, perim, *n);
  return 0;
}

int vp_anagroove_(const double *angles, double *area, double *perim, const int *n, const double *theta_l,
                  const double *theta_t, const double *g1, const double *g2, const double *Rg,
                  const double *p1, const double *p2, const double *q1, const double *q2) {
  for (int i = 0; i < computedEntries(*n); ++i) {
    const ChamberAxes ax = chamberAxes(angles[i], *theta_l, *theta_t);
    const Opening o = anagrooveArea(ax.a, ax.b, *g1, *g2, *Rg, *p1, *p2, *q1, *q2);
    area[i] = o.area;
    perim[i] = o.perim;
  }
  closePeriod(area, perim, *n);
  return 0;
}

int vp_groove_to_port_(const int *groove_id, const double *angles, double *area, double *perim, const int *n,
                       const double *theta_l, const double *theta_t, const double *w, const double *rt,
                       const double *ex, const double *ey, const double *R, const double *r,
                       const double *dg, const double *depth, const double *p1, const double *p2) {
  return grooveToPort(*groove_id, angles, area, perim, *n, *theta_l, *theta_t, Port{*w, *rt, *R, *r, *ex, *ey},
                      *dg, *depth, *p1, *p2);
}

int vp_udport_(const int *port_id, const double *angles, double *area, double *perim, const int *n,
               const double *theta_l, const double *theta_t, const double *w, const double *rt, double *ex,
               double *ey, const double *R, const double *r) {
  return udport(*port_id, angles, area, perim, *n, *theta_l, *theta_t, Port{*w, *rt, *R, *r, *ex, *ey}, *ex, *ey);
}

void vp_pivot_init_(const double *px, const double *py, const double *cx, const double *cy, const double *Dr,
                    const double *Ds, const double *, double *theta_c, double *phi0, double *Rc, double *Rp,
                    double *l, double *theta_p, double *lo1, double *hi1, double *lo2, double *hi2) {
  *theta_c = std::atan2(*cy, *cx);
  *l = distance(*cx, *cy, *px, *py);
  *Rp = distance(0.0, 0.0, *px, *py);
  *Rc = distance(0.0, 0.0, *cx, *cy);
  *theta_p = std::atan2(*py, *px);
  const auto angle = [](double num, double den) { return std::acos(std::clamp(num / den, -1.0, 1.0)); };
  *phi0 = angle(*l * *l + *Rp * *Rp - *Rc * *Rc, 2.0 * *Rp * *l);
  if (*px * *cy - *cx * *py > 0.0) *phi0 = -*phi0;
  // Pivot turn at which the eccentricity reaches the room between rotor and stator.
  const double room = (*Ds - *Dr) / 2.0;
  const double mu = angle(*Rp * *Rp + *l * *l - room * room, 2.0 * *Rp * *l);
  double s[] = {mu - *phi0, -mu - *phi0, -*phi0};
  std::sort(s, s + 3);
  *lo1 = *phi0 < 0.0 ? s[0] : s[1];
  *hi1 = *phi0 < 0.0 ? s[1] : s[2];
  *lo2 = s[0];
  *hi2 = s[2];
}

}  // extern "C"
