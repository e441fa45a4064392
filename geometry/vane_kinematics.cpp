// Vane-pump kinematics in closed form: vane contact with the cam ring,
// chamber areas and displacements, displacement splines of variable pumps,
// chamber volume rates, and chamber volumes by angle cut from shapes.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "geometry/pumpgeom.hpp"
#include "tables/kiv_splines.h"

namespace kiv::geom {

double ringArea(double theta, double e, double R, double r) {
  const double sn = std::sin(theta), cs = std::cos(theta);
  return 0.5 * (sn * e * std::sqrt(R * R - e * e * sn * sn) + cs * e * e * sn +
                R * R * std::asin(e * sn / R) + (R * R - r * r) * theta);
}

double halfVaneArea(double w, double rt, double h) {
  const double hw = w / 2.0, alpha = std::asin(hw / rt);
  return (h - rt) * hw + 0.5 * rt * std::cos(alpha) * hw + 0.5 * alpha * rt * rt;
}

double roundMilli(double v) {
  const double scaled = v * 1000.0;
  return std::trunc(scaled >= 0.0 ? scaled + 0.5 : scaled - 0.5) / 1000.0;
}

double limitEccentricity(double &ex, double &ey, double room, double &te) {
  double e = std::sqrt(ex * ex + ey * ey);
  if (e > room) {
    ex *= room / e;
    ey *= room / e;
  }
  ex = std::clamp(ex, -room, room);
  ey = std::clamp(ey, -room, room);
  e = std::sqrt(ex * ex + ey * ey);
  te = e == 0.0 ? 0.0 : std::atan2(ey, ex);
  return e;
}

double tipReachRate(double theta, double e, double d) {
  const double sn = std::sin(theta), cs = std::cos(theta);
  const double sigma = std::sqrt(d * d - e * e * sn * sn), gamma = std::atan(e * sn / sigma);
  const double rho = std::sqrt(2.0 * e * d * std::cos(gamma + theta) + e * e + d * d);
  return -e * d * (e * cs + sigma) * std::sin(gamma + theta) / (sigma * rho);
}

double vaneSideRate(double theta, double beta, double e, double d, double w) {
  const double sn = std::sin(theta), esd = e * sn / d;
  const double reach = std::sqrt(2.0 * e * d * std::cos(theta + beta) + d * d + e * e);
  return (w / 4.0) *
         (2.0 * e + 2.0 * d * std::cos(theta + beta) -
          2.0 * e * d * std::sin(theta + beta) * sn / (d * std::sqrt(1.0 - esd * esd))) /
         reach;
}

namespace {

constexpr double kTiny = 1e-12;

struct Pump {
  double w, rt, R, r, L;
  VaneDims dims() const { return {w, rt, R, r}; }
};

// Ring area between the axes u1 and u2 less the two protruding half vanes.
double chamberVolume(const Pump &p, double e, double u1, double u2, double h1, double h2) {
  return p.L * (ringArea(u2, e, p.R, p.r) - ringArea(u1, e, p.R, p.r)) -
         p.L * halfVaneArea(p.w, p.rt, h1) - p.L * halfVaneArea(p.w, p.rt, h2);
}

double chamberDisplacement(double span, const Pump &p, double &ex, double &ey) {
  double e = std::sqrt(ex * ex + ey * ey);
  if (p.R - p.r < e) {
    ex *= (p.R - p.r) / e;
    ey *= (p.R - p.r) / e;
    e = p.R - p.r;
  }
  if (e == 0.0) return 0.0;
  const double te = std::atan2(ey, ex), half = std::fabs(span) / 2.0;
  auto volume = [&](double centre) {
    const double a = centre - half, b = centre + half;
    const double ua = fold2Pi(a - te);
    double ub = fold2Pi(b - te);
    if (ub < ua) ub += kTwoPi;
    return chamberVolume(p, e, ua, ub, singleVane(a, ex, ey, p.w, p.rt, p.R, p.r).h,
                         singleVane(b, ex, ey, p.w, p.rt, p.R, p.r).h);
  };
  return volume(te) - volume(te + kPi);
}

double unevenDisplacement(int n, const double *widths, const Pump &p, double &ex, double &ey) {
  return kiv::guardAllocation("Error during memory allocation.\n", [&] {
    std::vector<double> width(widths, widths + std::max(n - 1, 0)), disp;
    double rest = kTwoPi;
    for (double v : width) rest -= v;
    width.push_back(rest);
    double total = 0.0;
    for (size_t i = 0; i < width.size(); ++i) {
      const auto same = std::find(width.begin(), width.begin() + static_cast<long>(i), width[i]);
      disp.push_back(same != width.begin() + static_cast<long>(i) ? disp[same - width.begin()]
                                                                    : chamberDisplacement(width[i], p, ex, ey));
      if (disp.back() < 0.0) return -1.0;
      total += disp.back();
    }
    return total;
  });
}

// False, after one message naming the routine and the dimension, unless
// R, r and rt are finite and positive, w finite and positive (or zero with
// thinVanes), and the vane fits: w within 2 rt and 2 r, r below R.
bool checkVaneDims(const char *me, const VaneDims &d, bool thinVanes) {
  // No thickness is the thin-vane idealisation, where only areas are taken.
  if (thinVanes) {
    if (!(std::isfinite(d.w) && d.w >= 0.0)) {
      kivfprintf(stderr, "\n%s: the vane thickness must be finite and not negative.\n", me);
      return false;
    }
  } else if (!checkLength(me, "vane thickness", d.w)) {
    return false;
  }
  if (!checkLength(me, "tip radius", d.rt) || !checkLength(me, "rotor radius", d.r) ||
      !checkLength(me, "stator radius", d.R))
    return false;
  if (d.w > 2.0 * d.rt || d.w > 2.0 * d.r || d.r >= d.R) {
    kivfprintf(stderr, "\n%s: the vane does not fit between rotor and stator.\n", me);
    return false;
  }
  return true;
}

// checkVaneDims, then a finite eccentricity (ex, ey) and n finite angles
// (`what` in the message).
bool checkVaneInputs(const char *me, const VaneDims &d, bool thinVanes, double ex, double ey,
                     const char *what, const double *angles, int n) {
  if (!checkVaneDims(me, d, thinVanes) || !checkFinite(me, "eccentricity", ex) ||
      !checkFinite(me, "eccentricity", ey))
    return false;
  for (int i = 0; i < n; ++i)
    if (!checkFinite(me, what, angles[i])) return false;
  return true;
}

// Vane dimensions and the width of the flat entries.
bool checkPump(const char *me, const Pump &p) {
  return checkVaneDims(me, p.dims(), false) && checkLength(me, "width", p.L);
}

// The displacement entries take areas only, so a vane may be thin; a NaN
// eccentricity or chamber width would come back as the displacement.
bool displacementInputs(const char *me, const Pump &p, double ex, double ey, const double *widths,
                        int count) {
  return checkVaneInputs(me, p.dims(), true, ex, ey, "chamber width", widths, count) &&
         checkLength(me, "width", p.L);
}

// The last chamber takes what the others leave of the turn, so no chambers
// would pass for one chamber of the whole turn.
bool unevenInputs(const char *me, const Pump &p, int n, double ex, double ey, const double *widths) {
  if (n < 1) {
    kivfprintf(stderr, "\n%s: %d chambers; at least one is needed.\n", me, n);
    return false;
  }
  return displacementInputs(me, p, ex, ey, widths, n - 1);
}

// Displacement per radian sampled over x_min..x_max (ring centre from
// centreAt(x, ex, ey), which may write back the limited x) into a spline.
template <class Centre>
int displacementSpline(const char *me, int n, int even, const double *angles, double angleScale,
                       const double *mm, double x0, double x1, int code, Centre centreAt, int *id) {
  const Pump p{0.001 * mm[0], 0.001 * mm[1], 0.0005 * mm[2], 0.0005 * mm[3], 0.001 * mm[4]};
  const double gap = mm[2] - mm[3];
  if (!checkPump(me, p) || !checkFinite(me, "sweep bound", x0) || !checkFinite(me, "sweep bound", x1))
    return -1;
  if (n < 1 || (even != 1 && n > 1 && !angles)) {
    kivfprintf(stderr, "\n%s: no chambers to sweep.\n", me);
    return -1;
  }
  // Ten samples a millimetre of diameter difference; below one there is no step.
  if (!(gap >= 1.0 && gap < 2e8)) {
    kivfprintf(stderr, "\n%s: the diameters must differ by at least 1 mm.\n", me);
    return -1;
  }
  const int N = static_cast<int>(std::trunc(gap)) * 10 + 1;
  return kiv::guardAllocation("Error during memory allocation.\n", [&] {
    std::vector<double> x(N), y(N), width;
    if (even != 1)
      for (int i = 0; i + 1 < n; ++i) width.push_back(angles[i] * angleScale);
    for (int i = 0; i < N; ++i) {
      x[i] = x0 + i * (x1 - x0) / (N - 1);
      double ex, ey;
      centreAt(x[i], ex, ey);
      const double d = even == 1 ? chamberDisplacement(kTwoPi / n, p, ex, ey) * n
                                 : unevenDisplacement(n, width.data(), p, ex, ey);
      if (d < 0.0) return -1;
      centreAt.limited(x[i], ex, ey);
      y[i] = d / kTwoPi;
    }
    *id = kiv::sp1::CreateLinear(N, x.data(), y.data(), code, code);
    return *id == -1 ? -1 : 1;
  });
}

// A sliding ring's centre is the sample itself: the limit is stored back.
struct SlidingCentre {
  void operator()(double x, double &ex, double &ey) const {
    ex = x;
    ey = 0.0;
  }
  void limited(double &x, double ex, double) const { x = ex; }
};

struct PivotCentre {
  double px, py, dx, dy;
  void operator()(double a, double &ex, double &ey) const {
    ex = px + std::cos(a) * dx - std::sin(a) * dy;
    ey = py + std::sin(a) * dx + std::cos(a) * dy;
  }
  void limited(double &, double, double) const {}
};

struct VaneState {
  double theta, beta, h, s, lead;  // lead: the axis ahead of the contact point
};

// Rates of one vane with its angle psi from the eccentricity direction: G
// the rate of its tip centre's reach with the angle, J the vane term and S
// the stator's reach on the axis of the eccentricity derivative.
struct VaneRates {
  double G, u, S, J;
};

VaneRates vaneRates(const VaneState &v, double e, double d, const Pump &p) {
  const double sn = std::sin(v.theta), cs = std::cos(v.theta);
  return {tipReachRate(v.theta, e, d), fmod_mpp_(v.lead, kTwoPi), std::sqrt(p.R * p.R - e * e * sn * sn) + e * cs,
          vaneSideRate(v.theta, v.beta, e, d, p.w)};
}

struct VolumeRates {
  double V, P, Q;  // volume, its rate per shaft angle and per eccentricity
};

VolumeRates volumeRates(const VaneState &v1, const VaneState &v2, double u1, double u2,
                        double e, double d, const Pump &p) {
  const VaneRates a = vaneRates(v1, e, d, p), b = vaneRates(v2, e, d, p);
  const double ar = std::asin((p.w / 2.0) / p.r);
  return {chamberVolume(p, e, u1, u2, v1.h, v2.h),
          (p.L / 2.0) * ((v2.s * v2.s - v1.s * v1.s) - 2.0 * p.r * (a.G * (a.u + ar) + b.G * (ar - b.u))),
          p.L * (b.S * std::sin(v2.theta) - a.S * std::sin(v1.theta) - a.J - b.J)};
}

int vpVolume(const double *angles, double **table, int n, double thl, double tht, const Pump &p,
             double &ex, double &ey, double V0) {
  const char *me = "vp_volume_";
  *table = nullptr;
  if (!checkLength(me, "width", p.L) ||
      !checkShapeTable(me, p.dims(), ex, ey, thl, tht, angles, n))
    return -1;
  if (n < 1) {
    kivfprintf(stderr, "\n%s: no angles.\n", me);
    return -1;
  }
  // Handed to the caller once filled; an exit while the chambers are cut frees it.
  std::unique_ptr<double[], void (*)(void *)> out(
      static_cast<double *>(std::malloc(sizeof(double) * static_cast<size_t>(n))), &std::free);
  if (!out) MemoryError("Error in vp_volume_ during memory allocation.\n");
  const double room = p.R - p.r;
  double te;
  const double e = limitEccentricity(ex, ey, room, te);
  ShapePtr stator = vpRotor(p.R), rotor = vpRotor(p.r);
  translate2D_(stator.get(), ex, ey);
  const double vaneLength = 2.5 * room;
  for (int i = 0; i < n; ++i) {
    const ChamberAxes ax = chamberAxes(angles[i], thl, tht);
    const Vane va = vpVane(ax.a, te, e, p.w, p.rt, p.R, vaneLength);
    const Vane vb = vpVane(ax.b, te, e, p.w, p.rt, p.R, vaneLength);
    double from = va.angle, to = vb.angle;
    const ShapePtr window = screen(from, to, 2.0 * p.R, false);
    ShapePtr chamber(remove_shape_(stator.get(), window.get()));
    for (const shape *cut : {rotor.get(), va.s.get(), vb.s.get()}) chamber.reset(remove_shape_(chamber.get(), cut));
    out[i] = roundMilli(area2D_(chamber.get())) * p.L + V0;
  }
  out[n - 1] = out[0];
  *table = out.release();
  return 0;
}

// Ring centred at the rotor centre while a pivot turns it: the rates by e
// and by the eccentricity direction are singular there, but moving the
// centre along its velocity c' changes V at |c'| times Q in that direction.
double pivotRateAtCentre(const VaneState &v1, const VaneState &v2, double px, double py,
                         const Pump &p, double omega, double omegaP, double P) {
  const double dir = std::atan2(-px, py), speed = std::sqrt(px * px + py * py);
  VaneState a = v1, b = v2;
  a.theta -= dir;
  b.theta -= dir;
  const double d = p.R - p.rt;
  return omega * P + omegaP * speed * volumeRates(a, b, 0.0, 0.0, 0.0, d, p).Q;
}

struct TipContact {
  double beta, rho, s, phi;  // rho: reach of the tip centre; phi from the eccentricity
};

// Contact of the tip arc with the stator for a vane at psi from the
// eccentricity e, its tip centre at d from the stator centre.
TipContact tipContact(double psi, double e, double d, double rt, double R) {
  TipContact t{std::asin(std::sin(psi) * e / d), 0.0, 0.0, psi};
  t.rho = std::sqrt(std::max(0.0, 2.0 * d * std::fabs(e) * std::cos(t.beta + psi) + d * d + e * e));
  t.s = std::sqrt(std::max(0.0, 2.0 * t.rho * rt * std::cos(t.beta) + t.rho * t.rho + rt * rt));
  if (t.s != 0.0 && e != 0.0) {
    t.phi = std::acos(std::clamp((e * e + t.s * t.s - R * R) / (2.0 * t.s * e), -1.0, 1.0));
    if (t.beta < 0.0) t.phi = -t.phi;
  }
  return t;
}

// Where the side face at the offset off from the axis at psi meets the
// stator (e, 0, R) ahead, or the foot of the perpendicular from its centre.
// The face's intercept on the y axis would be lost when it is vertical.
Xy faceOnStator(double e, double R, double psi, double off) {
  const double ux = std::cos(psi), uy = std::sin(psi), bx = -off * uy, by = off * ux;
  const double m = (e - bx) * ux - by * uy, q = (e - bx) * (e - bx) + by * by - R * R;
  const double t = m + std::sqrt(std::max(m * m - q, 0.0));
  return {bx + t * ux, by + t * uy};
}

}  // namespace

bool checkShapeTable(const char *me, const VaneDims &d, double ex, double ey, double thl, double tht,
                     const double *angles, int n) {
  return checkVaneInputs(me, d, false, ex, ey, "angle", angles, n) && checkFinite(me, "vane angle", thl) &&
         checkFinite(me, "vane angle", tht);
}

VaneContact singleVane(double theta, double ex, double ey, double w, double rt, double R, double r) {
  const double alpha = std::asin((w / 2.0) / rt), e = std::sqrt(ex * ex + ey * ey);
  const double te = e == 0.0 ? 0.0 : std::atan2(ey, ex), psi = theta - te;
  const double d = R - rt, dm = e <= d ? d : e;
  VaneContact c{std::asin(std::sin(psi) * e / dm), 0.0, 0.0, 0.0};
  double phi0;
  if (-alpha < c.beta && c.beta < alpha && e < d) {
    const TipContact t = tipContact(psi, e, d, rt, R);
    c.h = rt + t.rho - r;
    c.s = t.s;
    phi0 = t.phi;
  } else {
    // The tip arc cannot reach: the corner on the side of beta touches.
    const double side = c.beta > 0.0 ? 1.0 : c.beta < 0.0 ? -1.0 : 0.0;
    const Xy q = faceOnStator(e, R, psi, side * (w / 2.0));
    c.s = std::sqrt(q.x * q.x + q.y * q.y);
    c.beta = std::clamp(c.beta, -alpha, alpha);
    phi0 = std::atan2(q.y, q.x);
    c.h = distance(0.0, 0.0, rt * std::cos(psi) + q.x - rt * std::cos(c.beta + psi),
                   rt * std::sin(psi) + q.y - rt * std::sin(c.beta + psi)) -
          r;
  }
  c.phi = fold2Pi(phi0 + te);
  return c;
}

}  // namespace kiv::geom

using namespace kiv::geom;

extern "C" {

double vp_ring_area_(const double *theta, const double *e, const double *R, const double *r) {
  return ringArea(*theta, *e, *R, *r);
}

double vanehalfarea_(const double *w, const double *rt, const double *h) { return halfVaneArea(*w, *rt, *h); }

void calc_vane_position_(const double *theta, const double *theta0, const double *, const double *R,
                         const double *rt, const double *l0, const double *e, double *x, double *y,
                         double *phi) {
  double reach = *R - *l0;
  *phi = *theta;
  if (std::fabs(*e) > kTiny) {
    const TipContact t = tipContact(*theta - *theta0, *e, *R - *rt, *rt, *R);
    reach = t.rho + *rt - *l0;
    *phi = t.phi + *theta0;
  }
  *x = reach * std::cos(*theta);
  *y = reach * std::sin(*theta);
}

void vp_singlevane_geom_(const double *theta, const double *ex, const double *ey, const double *w,
                         const double *rt, const double *R, const double *r, double *beta, double *h,
                         double *s, double *phi) {
  const VaneContact c = singleVane(*theta, *ex, *ey, *w, *rt, *R, *r);
  *beta = c.beta;
  *h = c.h;
  *s = c.s;
  *phi = c.phi;
}

double vp_chamber_displacement_(const double *theta_a, const double *theta_b, const double *w,
                                const double *rt, double *ex, double *ey, const double *R,
                                const double *r, const double *L) {
  const Pump p{*w, *rt, *R, *r, *L};
  const double span = *theta_b - *theta_a;
  if (!displacementInputs("vp_chamber_displacement_", p, *ex, *ey, &span, 1)) return 0.0;
  return chamberDisplacement(span, p, *ex, *ey);
}

double vp_uneven_chamber_displacement_(const int *n, const double *widths, const double *w,
                                       const double *rt, double *ex, double *ey, const double *R,
                                       const double *r, const double *L) {
  const Pump p{*w, *rt, *R, *r, *L};
  if (!unevenInputs("vp_uneven_chamber_displacement_", p, *n, *ex, *ey, widths)) return -1.0;
  return unevenDisplacement(*n, widths, p, *ex, *ey);
}

int vp_sliding_displspl_(const int *n, const int *even, const double *angles, const double *w,
                         const double *rt, const double *Ds, const double *Dr, const double *L,
                         const double *e_min, const double *e_max, int *id) {
  const double mm[] = {*w, *rt, *Ds, *Dr, *L};
  return displacementSpline("vp_sliding_displspl_", *n, *even, angles, 0.0174532925199433, mm,
                            0.001 * *e_min, 0.001 * *e_max, 1, SlidingCentre{}, id);
}

int vp_pivot_displspl_(const int *n, const int *even, const double *angles, const double *w,
                       const double *rt, const double *Ds, const double *Dr, const double *L,
                       const double *a_min, const double *a_max, const double *px, const double *py,
                       const double *cx, const double *cy, int *id) {
  const double mm[] = {*w, *rt, *Ds, *Dr, *L};
  const PivotCentre c{0.001 * *px, 0.001 * *py, 0.001 * (*cx - *px), 0.001 * (*cy - *py)};
  return displacementSpline("vp_pivot_displspl_", *n, *even, angles, 1.0, mm, *a_min, *a_max, 2, c, id);
}

void vp_sliding_VdV_(const double *theta1, const double *theta2, const double *e, const double *w,
                     const double *rt, const double *R, const double *r, const double *L,
                     const double *beta1, const double *beta2, const double *h1, const double *h2,
                     const double *s1, const double *s2, const double *phi1, const double *phi2,
                     const double *omega, const double *edot, double *V, double *dV) {
  const Pump p{*w, *rt, *R, *r, *L};
  const VaneState a{*theta1, *beta1, *h1, *s1, *theta1 - *phi1}, b{*theta2, *beta2, *h2, *s2, *theta2 - *phi2};
  const double u2 = *theta2 - *theta1 < 0.0 ? *theta2 + kTwoPi : *theta2;
  const VolumeRates v = volumeRates(a, b, *theta1, u2, *e, *R - *rt, p);
  *V = v.V;
  *dV = *edot * v.Q + *omega * v.P;
}

void vp_pivot_VdV_(const double *theta1, const double *theta2, const double *ex, const double *ey,
                   const double *px, const double *py, const double *w, const double *rt,
                   const double *R, const double *r, const double *L, const double *beta1,
                   const double *beta2, const double *h1, const double *h2, const double *s1,
                   const double *s2, const double *phi1, const double *phi2, const double *omega,
                   const double *omega_p, double *V, double *dV) {
  const Pump p{*w, *rt, *R, *r, *L};
  const double e = std::sqrt(*ex * *ex + *ey * *ey), te = e == 0.0 ? 0.0 : std::atan2(*ey, *ex);
  const double d = e <= *R - *rt ? *R - *rt : e;
  const VaneState a{*theta1 - te, *beta1, *h1, *s1, *theta1 - *phi1};
  const VaneState b{*theta2 - te, *beta2, *h2, *s2, *theta2 - *phi2};
  const double u1 = fold2Pi(a.theta), u2 = fold2Pi(b.theta);
  const VolumeRates v = volumeRates(a, b, u1, u2 < u1 ? u2 + kTwoPi : u2, e, d, p);
  *V = v.V;
  if (e == 0.0) {
    *dV = pivotRateAtCentre(a, b, *px, *py, p, *omega, *omega_p, v.P);
    return;
  }
  const double turning = 1.0 - (*ey * *py + *ex * *px) / (e * e);
  *dV = *omega * v.P + *omega_p * (turning * -v.P + ((*py * *ex - *ey * *px) / e) * v.Q);
}

int vp_volume_(const double *angles, double **table, const int *n, const double *theta_l,
               const double *theta_t, const double *w, const double *rt, double *ex, double *ey,
               const double *R, const double *r, const double *L, const double *V0) {
  return vpVolume(angles, table, *n, *theta_l, *theta_t, Pump{*w, *rt, *R, *r, *L}, *ex, *ey, *V0);
}

}  // extern "C"
