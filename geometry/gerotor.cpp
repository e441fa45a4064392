// Analytic gerotor: contact points, the ring contour (sampled and exact),
// the conjugate inner gear, chamber volumes over a turn, displacement and
// the volume rates.
#include <algorithm>
#include <vector>

#include "geometry/kiv_gerotor.h"
#include "geometry/pumpgeom.hpp"
#include "geometry/shapeid.hpp"
#include "tables/kiv_splinend.h"

namespace kiv::geom {

namespace {

constexpr double kDeg = kPi / 180.0;
constexpr double kRingStep = 0.3 * kDeg, kInnerStep = 5.0 * kDeg, kMargin = 4.0 * kDeg;

double acosClamped(double v) { return std::acos(std::clamp(v, -1.0, 1.0)); }

// Half angles of the lobe (alpha2, where it meets the fillet at radius s)
// and of the lobe with its fillet (alpha1, where the root circle starts).
struct RingAngles {
  double alpha1, alpha2, s;
};

RingAngles ringAngles(const Gerotor &g) {
  const double c = g.Ro - g.X, f = g.X + g.rc;
  const double alpha1 = acosClamped((g.a * g.a + c * c - f * f) / (2.0 * g.a * c));
  const double cosGamma = (f * f + c * c - g.a * g.a) / (2.0 * c * f);
  const double s = std::sqrt(g.X * g.X + c * c - 2.0 * g.X * c * cosGamma);
  return {alpha1, acosClamped((s * s + g.a * g.a - g.rc * g.rc) / (2.0 * s * g.a)), s};
}

// Radius of the ring contour at the angle psi from a lobe centre.  The
// contour is symmetric about the middle of a pitch, so the second half is
// read mirrored: every piece then takes its offset from its own centre.
double ringRadius(const Gerotor &g, const RingAngles &r, double psi) {
  const double P = kTwoPi / g.z;
  psi -= std::floor(psi / P) * P;
  if (psi > P / 2.0) psi = P - psi;
  if (psi < r.alpha2) {
    const double sn = g.a * std::sin(psi);
    return g.a * std::cos(psi) - std::sqrt(std::max(g.rc * g.rc - sn * sn, 0.0));
  }
  if (psi < r.alpha1) {
    const double c = g.Ro - g.X, sn = c * std::sin(r.alpha1 - psi);
    return c * std::cos(r.alpha1 - psi) + std::sqrt(std::max(g.X * g.X - sn * sn, 0.0));
  }
  return g.Ro;
}

Xy innerProfile(const Gerotor &g, double t, double theta0) {
  const double ze = g.z * g.e;
  const double d = std::sqrt(g.a * g.a + ze * ze + 2.0 * g.a * ze * std::cos(t));
  const double u = g.a * (1.0 - g.rc / d), v = g.e - ze * g.rc / d;
  const double p1 = t / (g.z - 1) - theta0, p2 = g.z * t / (g.z - 1) - theta0;
  return {u * std::cos(p1) + v * std::cos(p2) - g.e, -u * std::sin(p1) - v * std::sin(p2)};
}

// How fast the profile's tangent turns per unit of t: the magnitude of its
// curvature times the speed of the parameter.  The sign would tell a tooth
// tip from a root, but both bend.
double turnRate(const Gerotor &g, double t) {
  constexpr double h = 1e-4;
  const Xy m = innerProfile(g, t - h, 0.0), c = innerProfile(g, t, 0.0), p = innerProfile(g, t + h, 0.0);
  const double dx = (p.x - m.x) / (2 * h), dy = (p.y - m.y) / (2 * h);
  const double ddx = (p.x - 2 * c.x + m.x) / (h * h), ddy = (p.y - 2 * c.y + m.y) / (h * h);
  return std::fabs(dx * ddy - dy * ddx) / (dx * dx + dy * dy);
}

// The coarse step only where its chord stays within 0.1 rad (under 6
// degrees) of the tangent: a tooth tip cut by coarse chords shows as
// chamber volume, most of all in the smallest chamber.
double innerStep(const Gerotor &g, double t, double step) {
  constexpr double kCoarseTurn = 0.1;
  return turnRate(g, t) * 3.0 * step > kCoarseTurn ? step / 3.0 : 3.0 * step;
}

}  // namespace

ShapePtr finiteOrNull(const char *routine, ShapePtr s) {
  bool finite = true;
  if (s)
    for (int i = 0; i < s->npaths; ++i)
      forEachNode(s->paths[i], [&](point *n) { return !(finite = std::isfinite(n->x) && std::isfinite(n->y)); });
  if (finite) return s;
  kivfprintf(stderr, "\n%s: the dimensions give no contour.\n", routine);
  return nullptr;
}

bool checkGerotor(const char *routine, const Gerotor &g) {
  if (g.z < 3) {
    kivfprintf(stderr, "\n%s: the gerotor needs at least 3 lobes.\n", routine);
    return false;
  }
  return checkLength(routine, "lobe circle radius", g.a) && checkLength(routine, "lobe radius", g.rc) &&
         checkLength(routine, "eccentricity", g.e) && checkLength(routine, "root radius", g.Ro) &&
         checkFinite(routine, "fillet radius", g.X);
}

double turnAngle(int k) { return k * kTwoPi / (kTurnSamples - 1); }

Xy gerotorContact(const Gerotor &g, double theta) {
  const double ze = g.z * g.e;
  const double k = g.rc / std::sqrt(g.a * g.a + ze * ze + 2.0 * g.a * ze * std::cos(theta));
  return {g.a * std::cos(theta) * (1.0 - k) - ze * k, g.a * std::sin(theta) * (1.0 - k)};
}

double contactAngle(const Gerotor &g, double theta) {
  const Xy c = gerotorContact(g, theta);
  const double t = std::atan2(c.y, c.x);
  return c.y < 0.0 ? t + kTwoPi : t;
}

ShapePtr gerotorOuterSampled(const Gerotor &g, double theta, double c1, double c2, double step,
                             double margin) {
  const RingAngles ra = ringAngles(g);
  const int m = static_cast<int>(std::floor(kTwoPi / step + 1.0));
  Built b = newShape();
  if (c2 - c1 >= kTwoPi) {
    for (int k = 0; k < m; ++k) {
      const double psi = c1 - margin + k * step;
      add_last_Rtheta_(b.p, ringRadius(g, ra, psi), theta - psi);
    }
    return finiteOrNull("create_gp_outer_gear_", std::move(b.s));
  }
  const double lo = c1 - margin, width = (c2 < c1 ? c2 + kTwoPi : c2) - c1 + 2.0 * margin;
  add_last_Rtheta_(b.p, 2.0 * g.Ro, lo);
  add_last_Rtheta_(b.p, 2.0 * g.Ro, (c1 + c2) / 2.0 + (c2 < c1 ? kPi : 0.0));
  add_last_Rtheta_(b.p, 2.0 * g.Ro, lo + width);
  struct Sample {
    double rel, r;
  };
  std::vector<Sample> in;
  for (int k = 0; k < m; ++k) {
    const double psi = k * step, rel = fold2Pi(theta - psi - lo);
    if (rel <= width) in.push_back({rel, ringRadius(g, ra, psi)});
  }
  std::sort(in.begin(), in.end(), [](const Sample &x, const Sample &y) { return x.rel > y.rel; });
  for (const Sample &s : in) add_last_Rtheta_(b.p, s.r, lo + s.rel);
  return finiteOrNull("create_gp_outer_gear_", std::move(b.s));
}

ShapePtr gerotorOuterExact(const Gerotor &g, double theta) {
  const RingAngles ra = ringAngles(g);
  const double P = kTwoPi / g.z;
  const bool fillet = g.X != 0.0;
  // A lobe centred inside the chord of its ends shows more than half its circle.
  const int lobeKind = ra.s * std::cos(ra.alpha2) > g.a ? KIV_ARC_MAJOR : KIV_ARC_MINOR;
  Built b = newShape();
  point *last = nullptr;
  point *first = nullptr;
  for (int k = 0; k < g.z; ++k) {
    const double psi = k * P;
    point *S = add_last_Rtheta_(b.p, ra.s, psi - ra.alpha2);
    if (last) insertarc_(last, S, fillet ? g.X : g.Ro, KIV_ARC_MINOR, KIV_CCW);
    if (!first) first = S;
    point *E = add_last_Rtheta_(b.p, ra.s, psi + ra.alpha2);
    insertarc_(S, E, g.rc, lobeKind, KIV_CW);
    last = E;
    if (fillet) {
      point *F1 = add_last_Rtheta_(b.p, g.Ro, psi + ra.alpha1);
      insertarc_(E, F1, g.X, KIV_ARC_MINOR, KIV_CCW);
      point *F2 = add_last_Rtheta_(b.p, g.Ro, psi + P - ra.alpha1);
      insertarc_(F1, F2, g.Ro, KIV_ARC_MINOR, KIV_CCW);
      last = F2;
    }
  }
  insertarc_(last, first, fillet ? g.X : g.Ro, KIV_ARC_MINOR, KIV_CCW);
  reverse_path_(b.p);
  if (theta != 0.0) rotate2D_(b.s.get(), 0.0, 0.0, theta);
  return finiteOrNull("create_gp_outer_gear2_", std::move(b.s));
}

ShapePtr gerotorInner(const Gerotor &g, double theta0, double ta, double tb, double step,
                      double margin) {
  Built b = newShape();
  if (std::fabs(tb - ta) < kTwoPi) add_last_xy_(b.p, 0.0, 0.0);
  const double end = (g.z - 1) * (theta0 - tb - margin);
  for (double t = (g.z - 1) * (theta0 - ta + margin); t >= end && std::isfinite(t);
       t -= innerStep(g, t, step)) {
    const Xy v = innerProfile(g, t, theta0);
    add_last_xy_(b.p, v.x, v.y);
  }
  return finiteOrNull("create_gp_inner_gear_", std::move(b.s));
}

ChamberGears chamberGears(const Gerotor &g, double angle) {
  const double theta = fold2Pi(angle), theta2 = theta + kTwoPi / g.z;
  const double c1 = contactAngle(g, theta), c2 = contactAngle(g, theta2);
  return {theta, c1, c2, gerotorOuterSampled(g, theta, c1, c2, kRingStep, kMargin),
          gerotorInner(g, theta * g.z / (g.z - 1), theta, theta2, kInnerStep, kMargin)};
}

int turnSpline(const double *values) {
  std::vector<double> axis(kTurnSamples);
  for (int k = 0; k < kTurnSamples; ++k) axis[k] = turnAngle(k);
  double *axes[] = {axis.data()};
  const int size = kTurnSamples, codes[] = {3, 3}, ext[] = {1, 1};
  return kiv::nd::CreateCubicND(4, 1, &size, axes, values, codes, nullptr, ext, 0);
}

namespace {

bool checkedGerotor(const char *routine, const Gerotor &g, double b) {
  return checkGerotor(routine, g) && checkLength(routine, "thickness", b);
}

// Chamber area (mm2) at the shaft angle.
double chamberArea(const Gerotor &g, double angle) {
  ChamberGears c = chamberGears(g, angle);
  const ShapePtr enclosure = analyticPort(0.7 * (g.a - g.rc), 1.05 * g.Ro, -g.e, 0.0, 0.0, 0.0, c.c1, c.c2, 1);
  if (!enclosure || !c.inner || !c.outer) return 0.0;
  const ShapePtr open = minus(enclosure.get(), c.inner.get());
  const ShapePtr chamber = minus(open.get(), c.outer.get());
  return chamber ? std::fabs(area2D_(chamber.get())) : 0.0;
}

std::vector<double> volumeTable(const Gerotor &g, double b) {
  std::vector<double> v(kTurnSamples);
  for (int k = 0; k + 1 < kTurnSamples; ++k) v[k] = chamberArea(g, turnAngle(k)) * b * 1e-9;
  v.back() = v.front();
  return v;
}

double displacement(int z, const double *v, int n) {
  if (n < 2) return 0.0;
  const auto [lo, hi] = std::minmax_element(v, v + n);
  return (*hi - *lo) * z / kTwoPi;
}

// Rates (mm3 per radian of shaft) of the z chambers at the shaft angle:
// chamber k lies between the lobes at theta + k P and theta + (k + 1) P.
// The area swept about the pitch point grows with the square of the contact
// distance from it, at the relative turn 1 / (z - 1) of the two gears.
void volumeRates(const Gerotor &g, double b, double theta, double *out) {
  const double ze = g.z * g.e;
  const auto fromPitch = [&](double lobe) {
    return std::sqrt(g.a * g.a + ze * ze + 2.0 * g.a * ze * std::cos(lobe)) - g.rc;
  };
  for (int k = 0; k < g.z; ++k) {
    const double r1 = fromPitch(theta + k * kTwoPi / g.z), r2 = fromPitch(theta + (k + 1) * kTwoPi / g.z);
    out[k] = b * (r2 * r2 - r1 * r1) / (2.0 * (g.z - 1));
  }
}

// The gear shapes of the set-up checks, nullptr when a check refuses.
ShapePtr outerGearSampled(const Gerotor &g, double theta, double c1, double c2, double step,
                          double margin) {
  if (!checkGerotor("create_gp_outer_gear_", g) || !checkLength("create_gp_outer_gear_", "step", step))
    return nullptr;
  return gerotorOuterSampled(g, theta, c1, c2, step, margin);
}

ShapePtr outerGearExact(const Gerotor &g, double theta) {
  if (!checkGerotor("create_gp_outer_gear2_", g)) return nullptr;
  return gerotorOuterExact(g, theta);
}

ShapePtr innerGear(const Gerotor &g, double theta0, double ta, double tb, double step, double margin) {
  if (!checkGerotor("create_gp_inner_gear_", g) || !checkLength("create_gp_inner_gear_", "step", step))
    return nullptr;
  return gerotorInner(g, theta0, ta, tb, step, margin);
}

}  // namespace

}  // namespace kiv::geom

using namespace kiv::geom;

extern "C" {

void gp_get_xc_yc_(const int *z, const double *a, const double *rc, const double *e, const double *theta,
                   double *x, double *y) {
  const Xy c = gerotorContact(Gerotor{*z, *a, *rc, *e, 0.0, 0.0}, *theta);
  *x = c.x;
  *y = c.y;
}

void gp_get_rc_thetac_(const int *z, const double *a, const double *rc, const double *e, const double *theta,
                       double *angle, double *radius) {
  const Gerotor g{*z, *a, *rc, *e, 0.0, 0.0};
  const Xy c = gerotorContact(g, *theta);
  *angle = contactAngle(g, *theta);
  *radius = std::hypot(c.x, c.y);
}

shape *create_gp_outer_gear_(const int *z, const double *a, const double *rc, const double *Ro, const double *X,
                             const double *theta, const double *c1, const double *c2, const double *step,
                             const double *margin) {
  return outerGearSampled({*z, *a, *rc, 1.0, *Ro, *X}, *theta, *c1, *c2, *step, *margin).release();
}

int create_gp_outer_gear_id_(const int *z, const double *a, const double *rc, const double *Ro, const double *X,
                             const double *theta, const double *c1, const double *c2, const double *step,
                             const double *margin) {
  return registerShape(outerGearSampled({*z, *a, *rc, 1.0, *Ro, *X}, *theta, *c1, *c2, *step, *margin));
}

shape *create_gp_outer_gear2_(const int *z, const double *a, const double *rc, const double *Ro, const double *X,
                              const double *theta) {
  return outerGearExact({*z, *a, *rc, 1.0, *Ro, *X}, *theta).release();
}

int create_gp_outer_gear2_id_(const int *z, const double *a, const double *rc, const double *Ro, const double *X,
                              const double *theta) {
  return registerShape(outerGearExact({*z, *a, *rc, 1.0, *Ro, *X}, *theta));
}

shape *create_gp_inner_gear_(const int *z, const double *a, const double *rc, const double *e,
                             const double *theta0, const double *ta, const double *tb, const double *step,
                             const double *margin) {
  return innerGear({*z, *a, *rc, *e, 1.0, 0.0}, *theta0, *ta, *tb, *step, *margin).release();
}

int create_gp_inner_gear_id_(const int *z, const double *a, const double *rc, const double *e,
                             const double *theta0, const double *ta, const double *tb, const double *step,
                             const double *margin) {
  return registerShape(innerGear({*z, *a, *rc, *e, 1.0, 0.0}, *theta0, *ta, *tb, *step, *margin));
}

int gp_volume_(const double *angles, double *volumes, const int *n, const int *z, const double *a,
               const double *rc, const double *Ro, const double *e, const double *X, const double *b) {
  const Gerotor g{*z, *a, *rc, *e, *Ro, *X};
  if (*n < 1 || !checkedGerotor("gp_volume_", g, *b)) return -1;
  for (int i = 0; i + 1 < *n; ++i) volumes[i] = chamberArea(g, angles[i]) * *b * 1e-9;
  volumes[*n - 1] = *n > 1 ? volumes[0] : chamberArea(g, angles[0]) * *b * 1e-9;
  return 0;
}

int gp_set_up_volume_(const int *z, const double *a, const double *rc, const double *Ro, const double *e,
                      const double *X, const double *b, int *id) {
  const Gerotor g{*z, *a, *rc, *e, *Ro, *X};
  *id = -1;
  if (!checkedGerotor("gp_set_up_volume_", g, *b)) return -1;
  *id = turnSpline(volumeTable(g, *b).data());
  return *id < 0 ? -1 : 0;
}

double gp_get_displacement_(const int *z, const double *a, const double *rc, const double *Ro, const double *e,
                            const double *X, const double *b) {
  const Gerotor g{*z, *a, *rc, *e, *Ro, *X};
  if (!checkedGerotor("gp_get_displacement_", g, *b)) return 0.0;
  const std::vector<double> v = volumeTable(g, *b);
  return displacement(*z, v.data(), kTurnSamples);
}

double gp_ud_get_displacement_(const int *z, const int *n, const double *volumes) {
  return displacement(*z, volumes, *n);
}

void gp_get_volume_derivative_(const int *z, const double *a, const double *rc, const double *e, const double *b,
                               const double *theta, double *out) {
  volumeRates(Gerotor{*z, *a, *rc, *e, 0.0, 0.0}, *b, *theta, out);
}

}  // extern "C"
