// Analytic gerotor: contact points, the ring contour (sampled and exact),
// the conjugate inner gear, chamber volumes over a turn, displacement and
// the volume rates.
#include <algorithm>
#include <complex>
#include <optional>
#include <vector>

#include "geometry/kiv_gerotor.h"
#include "geometry/pumpgeom.hpp"
#include "geometry/shapeid.hpp"
#include "runtime/kiv_runtime.h"
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

// How fast the profile's tangent turns per unit of t (the magnitude of its
// curvature times the speed of the parameter), and that speed.  The sign
// would tell a tooth tip from a root, but both bend.
struct Bend {
  double rate, speed;
};
Bend bendAt(const Gerotor &g, double t) {
  constexpr double h = 1e-4;
  const Xy m = innerProfile(g, t - h, 0.0), c = innerProfile(g, t, 0.0), p = innerProfile(g, t + h, 0.0);
  const double dx = (p.x - m.x) / (2 * h), dy = (p.y - m.y) / (2 * h);
  const double ddx = (p.x - 2 * c.x + m.x) / (h * h), ddy = (p.y - 2 * c.y + m.y) / (h * h);
  return {std::fabs(dx * ddy - dy * ddx) / (dx * dx + dy * dy), std::sqrt(dx * dx + dy * dy)};
}
double turnRate(const Gerotor &g, double t) { return bendAt(g, t).rate; }

// The coarse step only where its chord stays within 0.1 rad (under 6
// degrees) of the tangent: a tooth tip cut by coarse chords shows as
// chamber volume, most of all in the smallest chamber.
double innerStep(const Gerotor &g, double t, double step) {
  constexpr double kCoarseTurn = 0.1;
  return turnRate(g, t) * 3.0 * step > kCoarseTurn ? step / 3.0 : 3.0 * step;
}

// ---- Designs that cannot exist ------------------------------------------------
// On the inner gear the lobe centres run along T(phi) = a e^(-i phi) + e e^(-i z phi),
// t = (z - 1) phi, and its profile is T offset by rc towards the gear's centre.  Each
// limit below follows from that and from the ring contour; each condition prints its
// own message (name and values) when it refuses.

double halfPitch(const Gerotor &g) { return kPi / g.z; }

// With c = cos t the path's speed is sqrt(A + B c), and (A + B c)^1.5 / (C + D c) its
// curvature radius where it bends about the gear's centre (C + D c > 0).  The only
// stationary point is c*, and the radius grows without bound where C + D c falls to 0,
// so c* clamped to a turn gives the smallest.
double innerPathMinCurvature(const Gerotor &g) {
  const double z = g.z, a = g.a, e = g.e;
  const double A = a * a + z * z * e * e, B = 2.0 * a * z * e, C = a * a + z * z * z * e * e,
               D = a * z * e * (z + 1.0);
  const double c = std::clamp((2.0 * D * A - 3.0 * B * C) / (B * D), -1.0, 1.0);
  return std::pow(A + B * c, 1.5) / (C + D * c);
}

// Neighbouring lobes of rc >= a sin(pi/z) cross on the bisector at this radius.
double lobeCrossing(const Gerotor &g) {
  const double h = halfPitch(g), off = g.a * std::sin(h);
  return g.a * std::cos(h) - std::sqrt(std::max(g.rc * g.rc - off * off, 0.0));
}

// Largest fillet: its centre on the bisector, touching both lobes and the root.
double largestFillet(const Gerotor &g) {
  const double ac = g.a * std::cos(halfPitch(g));
  return (g.Ro * g.Ro + g.a * g.a - 2.0 * g.Ro * ac - g.rc * g.rc) / (2.0 * (g.Ro + g.rc - ac));
}

// The contact runs round a lobe as the pitch point circles it at z e (in the ring's
// frame): out to the tangent from the pitch circle, sin beta = z e / a.
double farthestContact(const Gerotor &g) {
  const double ze = g.z * g.e;
  return std::sqrt(g.a * g.a + g.rc * g.rc - 2.0 * g.a * g.rc * std::sqrt(1.0 - ze * ze / (g.a * g.a)));
}

// Depth (mm) to which a point of the ring's frame lies in the corner that the fillet
// fills between lobe and root, 0 outside it.  The corner is what the fillet's centre
// sees between the lobe's centre and straight out, beyond the fillet.
double filletCornerDepth(const Gerotor &g, const RingAngles &ra, std::complex<double> p) {
  const double P = kTwoPi / g.z;
  double psi = std::arg(p);
  psi -= std::floor(psi / P) * P;
  if (psi > P / 2.0) psi = P - psi;
  p = std::polar(std::abs(p), psi);
  const std::complex<double> lobe(g.a, 0.0), centre = std::polar(g.Ro - g.X, ra.alpha1);
  const auto cross = [](std::complex<double> u, std::complex<double> v) {
    return u.real() * v.imag() - u.imag() * v.real();
  };
  const std::complex<double> toLobe = lobe - centre, v = p - centre;
  if (cross(toLobe, v) * cross(toLobe, centre) < 0.0 || cross(v, centre) * cross(toLobe, centre) < 0.0) return 0.0;
  return std::max(0.0, std::min({std::abs(v) - g.X, g.Ro - std::abs(p), std::abs(p - lobe) - g.rc}));
}

// Deepest cut (mm) of the fillets into the inner gear's path.  In the inner gear's frame
// the pitch point runs on the circle (z - 1) e about its centre, and the normal of the
// profile at t meets that circle twice: once at the contact with the lobe centred on T(t),
// and once more at an instant when that point of the profile bounds the gear's sweep
// through the ring (its tooth tips' path; the tip reaches a + 2 e - rc there).  One tooth
// covers every lobe by symmetry.
double filletIntrusion(const Gerotor &g) {
  using C = std::complex<double>;
  const RingAngles ra = ringAngles(g);
  const Gerotor lobeCentres{g.z, g.a, 0.0, g.e, g.Ro, g.X};
  const double ze = g.z * g.e, pitchCircle = (g.z - 1) * g.e;
  constexpr int kSamples = 4096;
  double deepest = 0.0;
  for (int k = 0; k < kSamples; ++k) {
    const double t = -kPi + k * kTwoPi / kSamples;
    const Xy tp = innerProfile(lobeCentres, t, 0.0), wp = innerProfile(g, t, 0.0);
    const C T(tp.x + g.e, tp.y), w(wp.x + g.e, wp.y), n = (w - T) / g.rc;
    const double toContactPitch = std::sqrt(g.a * g.a + ze * ze + 2.0 * g.a * ze * std::cos(t));
    const C pitch = T + (std::norm(T) - pitchCircle * pitchCircle) / toContactPitch * n;
    const double inner = kPi - std::arg(pitch), ring = inner * (g.z - 1) / g.z;
    const C inRing = std::polar(1.0, -ring) * (C(-g.e, 0.0) + std::polar(1.0, inner) * w);
    deepest = std::max(deepest, filletCornerDepth(g, ra, inRing));
  }
  return deepest;
}

bool throughLobeCentre(const char *routine, const Gerotor &g) {
  if (g.z * g.e < g.a) return false;
  kivfprintf(stderr,
             "\n%s: z e = %g is not below the lobe circle radius a = %g: the inner gear's profile would pass "
             "through or loop round a lobe centre.\n",
             routine, g.z * g.e, g.a);
  return true;
}

bool innerProfileLoops(const char *routine, const Gerotor &g) {
  const double rho = innerPathMinCurvature(g);
  if (g.rc < rho) return false;
  kivfprintf(stderr,
             "\n%s: the inner gear's profile loops: the lobe radius rc = %g is not below %g, the smallest "
             "curvature radius of the lobe centres' path on the inner gear.\n",
             routine, g.rc, rho);
  return true;
}

bool rootInsideLobes(const char *routine, const Gerotor &g) {
  if (g.Ro > g.a - g.rc) return false;
  kivfprintf(stderr, "\n%s: the root radius Ro = %g is not above a - rc = %g: the lobes do not reach into the bore.\n",
             routine, g.Ro, g.a - g.rc);
  return true;
}

bool rootBeyondLobes(const char *routine, const Gerotor &g) {
  if (g.Ro < g.a + g.rc) return false;
  kivfprintf(stderr, "\n%s: the root radius Ro = %g is not below a + rc = %g: the lobes stand free of the ring.\n",
             routine, g.Ro, g.a + g.rc);
  return true;
}

// Lobes that cross only beyond the root circle leave a sound bore.
bool lobesOverlap(const char *routine, const Gerotor &g) {
  const double apart = g.a * std::sin(halfPitch(g));
  if (g.rc < apart || g.Ro <= lobeCrossing(g)) return false;
  kivfprintf(stderr,
             "\n%s: the ring lobes overlap inside the root circle: rc = %g is not below a sin(pi/z) = %g and "
             "neighbouring lobes cross at radius %g, inside Ro = %g.\n",
             routine, g.rc, apart, lobeCrossing(g), g.Ro);
  return true;
}

bool filletDoesNotFit(const char *routine, const Gerotor &g) {
  const double most = largestFillet(g);
  if (g.X >= 0.0 && g.X <= most) return false;
  kivfprintf(stderr,
             "\n%s: the fillet radius X = %g does not fit between lobe and root: 0 to %g fits in half a pitch.\n",
             routine, g.X, most);
  return true;
}

// The chambers are as wide as the eccentricity and are sampled finer as it
// falls: below this share of a they would take without bound.
bool eccentricityTooSmall(const char *routine, const Gerotor &g) {
  const double least = kMinEccentricity * g.a;
  if (g.e >= least) return false;
  kivfprintf(stderr,
             "\n%s: the eccentricity e = %g is below %g a = %g: its chambers are too thin to sample.\n",
             routine, g.e, kMinEccentricity, least);
  return true;
}

bool rootInsideReach(const char *routine, const Gerotor &g) {
  const double reach = g.a + 2.0 * g.e - g.rc;
  if (g.Ro >= reach) return false;
  kivfprintf(stderr, "\n%s: the root radius Ro = %g lies inside the inner gear's reach a + 2 e - rc = %g.\n", routine,
             g.Ro, reach);
  return true;
}

bool filletOnContacts(const char *routine, const Gerotor &g) {
  if (g.X == 0.0) return false;
  const double meets = ringAngles(g).s, farthest = farthestContact(g);
  if (meets >= farthest) return false;
  kivfprintf(stderr,
             "\n%s: the fillet radius X = %g cuts into the lobe where the inner gear runs: it meets the lobe at "
             "radius %g, inside the farthest contact at radius %g.\n",
             routine, g.X, meets, farthest);
  return true;
}

bool filletOnTeeth(const char *routine, const Gerotor &g) {
  if (g.X == 0.0) return false;
  const double depth = filletIntrusion(g);
  if (depth <= 1e-9 * g.Ro) return false;
  kivfprintf(stderr, "\n%s: the fillet radius X = %g cuts %g mm into the path of the inner gear's teeth.\n", routine,
             g.X, depth);
  return true;
}

// The volume tables bound a chamber by a circle of 0.7 (a - rc) about the inner gear's
// centre: inside the gear's root it would cut the chamber.
bool rootInsideEnclosure(const char *routine, const Gerotor &g) {
  const double root = g.a - g.e - g.rc, bound = 0.7 * (g.a - g.rc);
  if (root >= bound) return false;
  kivfprintf(stderr,
             "\n%s: the inner gear's root radius a - e - rc = %g lies inside the chamber's inner bound "
             "0.7 (a - rc) = %g.\n",
             routine, root, bound);
  return true;
}

struct DesignCondition {
  unsigned concerns;  // GerotorPart bits
  bool (*refuses)(const char *routine, const Gerotor &g);
};

// In order: a later condition may rely on the ones before it holding.
constexpr DesignCondition kDesignConditions[] = {
    {kGerotorInner, throughLobeCentre},  {kGerotorInner, innerProfileLoops}, {kGerotorRing, rootInsideLobes},
    {kGerotorRing, rootBeyondLobes},     {kGerotorRing, lobesOverlap},       {kGerotorRing, filletDoesNotFit},
    {kGerotorMesh, eccentricityTooSmall}, {kGerotorMesh, rootInsideReach},   {kGerotorMesh, filletOnContacts},
    {kGerotorMesh, filletOnTeeth},
    {kGerotorEnclosure, rootInsideEnclosure},
};

}  // namespace

bool lobesInReach(const char *routine, int z) {
  if (z < 3) {
    kivfprintf(stderr, "\n%s: the gerotor needs at least 3 lobes.\n", routine);
    return false;
  }
  if (z > kMaxLobes) {
    kivfprintf(stderr, "\n%s: %d lobes are more than a gerotor can have (at most %d).\n", routine, z, kMaxLobes);
    return false;
  }
  return true;
}

bool angleInReach(const char *routine, const char *what, double v) {
  if (std::isfinite(v) && std::fabs(v) <= kMaxAngle) return true;
  kivfprintf(stderr, "\n%s: the %s %g is not a finite angle within %g rad.\n", routine, what, v, kMaxAngle);
  return false;
}

bool spanInReach(const char *routine, const char *what, double v) {
  if (std::fabs(v) <= kMaxSpan) return true;
  kivfprintf(stderr, "\n%s: the %s %g rad is more than two turns.\n", routine, what, v);
  return false;
}

bool stepInReach(const char *routine, double step) {
  if (std::isfinite(step) && step >= kMinStep) return true;
  kivfprintf(stderr, "\n%s: the step %g rad is not a finite angle of at least %g rad.\n", routine, step, kMinStep);
  return false;
}

bool tableAnglesFinite(const char *routine, const double *angles, int n) {
  for (int i = 0; i < n; ++i)
    if (!std::isfinite(angles[i])) {
      kivfprintf(stderr, "\n%s: the angle of entry %d is not a finite number.\n", routine, i);
      return false;
    }
  return true;
}

bool checkGerotor(const char *routine, const Gerotor &g, unsigned parts) {
  if (!lobesInReach(routine, g.z)) return false;
  if (!(checkLength(routine, "lobe circle radius", g.a) && checkLength(routine, "lobe radius", g.rc) &&
        checkLength(routine, "eccentricity", g.e) && checkLength(routine, "root radius", g.Ro) &&
        checkFinite(routine, "fillet radius", g.X)))
    return false;
  for (const DesignCondition &c : kDesignConditions)
    if ((c.concerns & parts) != 0 && c.refuses(routine, g)) return false;
  return true;
}

std::vector<double> turnTable() {
  std::vector<double> angles(kTurnSamples);
  for (int k = 0; k < kTurnSamples; ++k) angles[k] = k * kTwoPi / (kTurnSamples - 1);
  return angles;
}

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

namespace {

bool ringOverhangs(const Gerotor &g) {
  const RingAngles ra = ringAngles(g);
  return ra.s * ra.s > g.a * g.a - g.rc * g.rc;
}

// The whole ring turned by theta, clockwise, its arcs parted into pieces of
// at most `step` about their centres.
std::vector<Xy> ringSamples(const Gerotor &g, double theta, double step) {
  std::vector<Xy> pts;
  if (const ShapePtr ring = gerotorOuterExact(g, theta))
    forEachContourPoint(ring->paths[0], step, [&](double x, double y) { pts.push_back({x, y}); });
  return pts;
}

// Index i of the edge (i, i + 1) of the open chain where the ray at `angle`
// crosses it farthest from the centre, among the edges of [from, to); -1 for
// none.  `unwrapped` holds the chain's polar angles made continuous.
int outermostCrossing(const std::vector<Xy> &pts, const std::vector<double> &unwrapped, double angle, int from,
                      int to) {
  int best = -1;
  double far = -1.0;
  for (int i = from; i + 1 < to; ++i) {
    const double u = std::floor((unwrapped[i] - angle) / kTwoPi), v = std::floor((unwrapped[i + 1] - angle) / kTwoPi);
    if (u == v) continue;
    const double r = std::max(std::hypot(pts[i].x, pts[i].y), std::hypot(pts[i + 1].x, pts[i + 1].y));
    if (r > far) far = r, best = i;
  }
  return best;
}

// Where a lobe overhangs a ray from the centre meets the ring more than once:
// the ring is taken along its contour, and the window from the farthest
// crossing of one side to the farthest of the other, so that the closing
// edges out to 2 Ro meet no other part of it.
ShapePtr overhangingRingSampled(const Gerotor &g, double theta, double c1, double c2, double step, double margin) {
  const std::vector<Xy> lap = ringSamples(g, theta, step);
  if (lap.empty()) return nullptr;
  const int n = static_cast<int>(lap.size());
  std::vector<Xy> pts(lap);
  pts.insert(pts.end(), lap.begin(), lap.end());
  std::vector<double> unwrapped(pts.size());
  unwrapped[0] = std::atan2(pts[0].y, pts[0].x);
  for (size_t i = 1; i < pts.size(); ++i)
    unwrapped[i] = unwrapped[i - 1] + std::remainder(std::atan2(pts[i].y, pts[i].x) - unwrapped[i - 1], kTwoPi);
  Built b = newShape();
  if (c2 - c1 >= kTwoPi) {
    const int first = std::max(0, outermostCrossing(pts, unwrapped, theta - c1 + margin, 0, n + 1)) + 1;
    for (int i = 0; i < n; ++i) add_last_xy_(b.p, pts[first + i].x, pts[first + i].y);
    return finiteOrNull("create_gp_outer_gear_", std::move(b.s));
  }
  const double lo = c1 - margin, width = (c2 < c1 ? c2 + kTwoPi : c2) - c1 + 2.0 * margin;
  add_last_Rtheta_(b.p, 2.0 * g.Ro, lo);
  add_last_Rtheta_(b.p, 2.0 * g.Ro, (c1 + c2) / 2.0 + (c2 < c1 ? kPi : 0.0));
  add_last_Rtheta_(b.p, 2.0 * g.Ro, lo + width);
  const int start = outermostCrossing(pts, unwrapped, lo + width, 0, n + 1);
  if (start >= 0) {
    // The far side lies less than a turn on; its crossings sit within a lobe's
    // overhang of the window's width, clockwise.
    int end = start + 1;
    while (end < start + n && unwrapped[start] - unwrapped[end] < width + kPi) ++end;
    const int last = outermostCrossing(pts, unwrapped, lo, start + 1, end);
    for (int i = start + 1; last >= 0 && i <= last; ++i) add_last_xy_(b.p, pts[i].x, pts[i].y);
  }
  return finiteOrNull("create_gp_outer_gear_", std::move(b.s));
}

}  // namespace

ShapePtr gerotorOuterSampled(const Gerotor &g, double theta, double c1, double c2, double step,
                             double margin) {
  if (ringOverhangs(g)) return overhangingRingSampled(g, theta, c1, c2, step, margin);
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

namespace {

// From the end E of the lobe at L round the root to the start of the lobe at
// L2: fillet, root and fillet, or the root alone.  That start is `next` when
// given, else a new vertex; returns it.
point *joinLobes(path *p, point *E, const Gerotor &g, const RingAngles &ra, double L, double L2, point *next) {
  point *from = E;
  if (g.X != 0.0) {
    point *F1 = add_last_Rtheta_(p, g.Ro, L + ra.alpha1);
    insertarc_(E, F1, g.X, KIV_ARC_MINOR, KIV_CCW);
    from = add_last_Rtheta_(p, g.Ro, L + kTwoPi / g.z - ra.alpha1);
    insertarc_(F1, from, g.Ro, KIV_ARC_MINOR, KIV_CCW);
  }
  point *S = next ? next : add_last_Rtheta_(p, ra.s, L2 - ra.alpha2);
  insertarc_(from, S, g.X != 0.0 ? g.X : g.Ro, KIV_ARC_MINOR, KIV_CCW);
  return S;
}

}  // namespace

ShapePtr gerotorOuterExact(const Gerotor &g, double theta) {
  const RingAngles ra = ringAngles(g);
  const double P = kTwoPi / g.z;
  // A lobe centred inside the chord of its ends shows more than half its circle.
  const int lobeKind = ra.s * std::cos(ra.alpha2) > g.a ? KIV_ARC_MAJOR : KIV_ARC_MINOR;
  Built b = newShape();
  point *const first = add_last_Rtheta_(b.p, ra.s, -ra.alpha2);
  point *S = first;
  for (int k = 0; k < g.z; ++k) {
    const double psi = k * P;
    point *E = add_last_Rtheta_(b.p, ra.s, psi + ra.alpha2);
    insertarc_(S, E, g.rc, lobeKind, KIV_CW);
    S = joinLobes(b.p, E, g, ra, psi, (k + 1) * P, k + 1 < g.z ? nullptr : first);
  }
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

// ---- Chamber closed by its two contacts -------------------------------------
// The ring from the contact on the lobe at theta to the contact on the next lobe,
// with true arcs (lobe, fillet, root, fillet, lobe), then the inner gear back.
// It needs neither a ray from the centre to meet each gear once nor the
// enclosure's sides to part the chambers, which an overhanging lobe breaks.

namespace {

// Profile steps of the closed chamber: the builder's coarse step where the
// profile runs straight, halved until the tangent turns by at most
// kChamberTurn over it and the chord strays at most kChamberSagitta e from
// the arc (rates at both ends and the middle, so a tooth tip between two
// samples is seen).  The chambers are as wide as the eccentricity, so the
// chords then cut the same small part of any chamber.  Below an eccentricity
// of kSagittaShare a the teeth are so shallow that the chords cut less of a
// chamber than elsewhere: the bound stops falling there, and so does the
// step.
constexpr double kChamberTurn = 0.06, kChamberSagitta = 4e-4, kSagittaShare = 5e-3;
// Least step (a share of a) from a lobe to the sample closing a chamber, and
// how far the gear is sampled towards a contact.
constexpr double kLobeClearance = 1e-8;
constexpr int kHalvings = 40;
constexpr int kSplitDepth = 8;
double chamberStep(const Gerotor &g, double t, double step) {
  const double sagitta = kChamberSagitta * std::max(g.e, kSagittaShare * g.a);
  double s = 3.0 * step;
  while (s > step / 1024.0) {
    const Bend a = bendAt(g, t), m = bendAt(g, t + s / 2.0), b = bendAt(g, t + s);
    const double rate = std::max({a.rate, m.rate, b.rate}), speed = std::max({a.speed, m.speed, b.speed});
    if (rate * s <= kChamberTurn && rate * speed * s * s / 8.0 <= sagitta) break;
    s /= 2.0;
  }
  return s;
}

// Lobe-circle angle of p about the lobe at polar angle L, from the lobe's
// innermost point, in (-pi, pi]; negative towards greater polar angles.
double lobeAngle(const Gerotor &g, double L, Xy p) {
  return std::remainder(std::atan2(p.y - g.a * std::sin(L), p.x - g.a * std::cos(L)) - (L + kPi), kTwoPi);
}

int arcKind(double sweep) { return sweep > kPi ? KIV_ARC_MAJOR : KIV_ARC_MINOR; }

// Profile parameters of one tooth, [-pi, pi), by the chamber's step rule.
// Every chamber takes its inner-gear vertices from these (shifted by whole
// teeth), so a sample stays at its place on the tooth as the shaft turns and
// the chords cut the same area from every chamber they bound.
std::vector<double> toothKnots(const Gerotor &g) {
  std::vector<double> knots;
  // A knot that the summed steps leave next to pi is the next tooth's first
  // (-pi shifted by a tooth): kept, it would repeat that sample, or stand
  // just behind it.
  const double seam = kPi - 1e-9 * kTwoPi;
  for (double t = -kPi; t < seam; t += chamberStep(g, t, kInnerStep)) knots.push_back(t);
  return knots;
}

// ---- Where a closed chamber meets a lobe ---------------------------------------
// Gear and lobe touch at a contact and mostly bend the same way there, so a
// chord of the gear from the contact dips into the lobe and crosses its arc,
// and any meeting at the contact itself is a cusp that no crossing test can
// decide.  The chamber is closed instead by a radial step from the lobe to
// the first gear sample that stands clear of it, the gear being sampled ever
// closer towards the contact and, where a chord dips into the lobe (a tooth
// that hugs the lobe), between its ends: the sliver of cusp left out is then
// no wider than that step and short.

struct Lobe {
  Xy c;
  double r;
  double off(Xy p) const { return std::hypot(p.x - c.x, p.y - c.y) - r; }
  // Whether the chord p q passes inside the circle.
  bool dips(Xy p, Xy q) const {
    const double dx = q.x - p.x, dy = q.y - p.y, L2 = dx * dx + dy * dy;
    const double u = L2 > 0.0 ? std::clamp(((c.x - p.x) * dx + (c.y - p.y) * dy) / L2, 0.0, 1.0) : 0.0;
    return std::hypot(p.x + u * dx - c.x, p.y + u * dy - c.y) < r;
  }
};

struct GearSample {
  double t;
  Xy p;
};

// Samples of the profile from the contact at tc towards the knot at tk
// (both left out), farthest first, halving the way while they stand at least
// `clear` off the lobe.
void towardContact(const Gerotor &g, double theta0, double tc, double tk, const Lobe &lobe, double clear,
                   std::vector<GearSample> &out) {
  for (int k = 1; k <= kHalvings; ++k) {
    const double t = tc + (tk - tc) / std::ldexp(1.0, k);
    const Xy v = innerProfile(g, t, theta0);
    if (!(lobe.off(v) >= clear)) break;
    out.push_back({t, v});
  }
}

// Appends the samples that part the chord a b until no piece dips into
// either lobe, then b.
void splitDipping(const Gerotor &g, double theta0, const Lobe (&lobes)[2], const GearSample &a, const GearSample &b,
                  int depth, std::vector<GearSample> &out) {
  if (depth > 0 && (lobes[0].dips(a.p, b.p) || lobes[1].dips(a.p, b.p))) {
    const double t = (a.t + b.t) / 2.0;
    const GearSample m{t, innerProfile(g, t, theta0)};
    splitDipping(g, theta0, lobes, a, m, depth - 1, out);
    splitDipping(g, theta0, lobes, m, b, depth - 1, out);
    return;
  }
  out.push_back(b);
}

// The first sample of the chain from a contact (chain(0), then chain(1) ...,
// up to chain(reach)) past which no chord dips into the lobe and that
// stands `clear` off it, and its foot on the lobe.
struct LobeExit {
  int sample;
  Xy onLobe;
};
template <class Chain>
LobeExit lobeExit(const Lobe &lobe, double clear, int reach, Chain chain) {
  int k = 1;
  for (int i = 1; i < reach; ++i)
    if (lobe.dips(chain(i), chain(i + 1))) k = i + 1;
  while (k < reach && lobe.off(chain(k)) < clear) ++k;
  const Xy v = chain(k);
  const double d = std::hypot(v.x - lobe.c.x, v.y - lobe.c.y);
  return {k, {lobe.c.x + lobe.r * (v.x - lobe.c.x) / d, lobe.c.y + lobe.r * (v.y - lobe.c.y) / d}};
}

// The inner gear of the chamber at theta from contact 2 (the lobe at theta +
// P) to contact 1, both included: the knots of the plan between them, then
// samples towards each contact from the first knot clear of its lobe (knots
// in the cusp itself are passed over), then samples parting every chord but
// those from the contacts until it no longer dips into either lobe.
std::vector<GearSample> chamberGear(const Gerotor &g, const ChamberPlan &plan, double theta, const Lobe &lobe1,
                                    const Lobe &lobe2, double clear) {
  // Contact 1 lies at profile parameter theta, contact 2 at theta - (z - 1) P.
  const double theta0 = theta * g.z / (g.z - 1), t1 = theta, t2 = theta - (g.z - 1) * kTwoPi / g.z;
  // Knots next to a contact would leave an edge of no length there.
  const double apart = 1e-9 * kTwoPi, lo = t2 + apart, hi = t1 - apart;
  std::vector<GearSample> knotted;
  for (double tooth = kTwoPi * std::floor((lo + kPi) / kTwoPi);; tooth += kTwoPi) {
    auto k = std::lower_bound(plan.knots.begin(), plan.knots.end(), lo - tooth);
    for (; k != plan.knots.end() && *k + tooth < hi; ++k)
      knotted.push_back({*k + tooth, innerProfile(g, *k + tooth, theta0)});
    if (k != plan.knots.end()) break;
  }
  // A chamber between contacts that no knot parts is sampled at its middle.
  if (knotted.empty()) knotted.push_back({(t1 + t2) / 2.0, innerProfile(g, (t1 + t2) / 2.0, theta0)});
  auto from = knotted.begin(), to = knotted.end();
  while (to - from > 1 && lobe2.off(from->p) < clear) ++from;
  while (to - from > 1 && lobe1.off((to - 1)->p) < clear) --to;
  std::vector<GearSample> chain{{t2, gerotorContact(g, theta + kTwoPi / g.z)}};
  towardContact(g, theta0, t2, from->t, lobe2, clear, chain);
  std::reverse(chain.begin() + 1, chain.end());
  chain.insert(chain.end(), from, to);
  towardContact(g, theta0, t1, (to - 1)->t, lobe1, clear, chain);
  chain.push_back({t1, gerotorContact(g, theta)});
  const Lobe lobes[2] = {lobe1, lobe2};
  std::vector<GearSample> gear(chain.begin(), chain.begin() + 2);
  for (size_t i = 2; i + 1 < chain.size(); ++i)
    splitDipping(g, theta0, lobes, chain[i - 1], chain[i], kSplitDepth, gear);
  gear.push_back(chain.back());
  return gear;
}

}  // namespace

ShapePtr contourChamber(const Gerotor &g, const ChamberPlan &plan, double theta) {
  const RingAngles ra = ringAngles(g);
  const double theta2 = theta + kTwoPi / g.z, clear = kLobeClearance * g.a;
  const Lobe lobe1{{g.a * std::cos(theta), g.a * std::sin(theta)}, g.rc};
  const Lobe lobe2{{g.a * std::cos(theta2), g.a * std::sin(theta2)}, g.rc};
  const std::vector<GearSample> gear = chamberGear(g, plan, theta, lobe1, lobe2, clear);
  const int last = static_cast<int>(gear.size()) - 1, half = std::max(1, last / 2);
  const LobeExit x2 = lobeExit(lobe2, clear, half, [&](int i) { return gear[i].p; });
  const LobeExit x1 = lobeExit(lobe1, clear, half, [&](int i) { return gear[last - i].p; });
  Built b = newShape();
  point *A1 = add_last_xy_(b.p, x1.onLobe.x, x1.onLobe.y);
  point *E1 = add_last_Rtheta_(b.p, ra.s, theta + ra.alpha2);
  const double sweep1 = lobeAngle(g, theta, x1.onLobe) - lobeAngle(g, theta, {E1->x, E1->y});
  insertarc_(A1, E1, g.rc, arcKind(sweep1), KIV_CW);
  point *S2 = joinLobes(b.p, E1, g, ra, theta, theta2, nullptr);
  point *A2 = add_last_xy_(b.p, x2.onLobe.x, x2.onLobe.y);
  const double sweep2 = lobeAngle(g, theta2, {S2->x, S2->y}) - lobeAngle(g, theta2, x2.onLobe);
  insertarc_(S2, A2, g.rc, arcKind(sweep2), KIV_CW);
  for (int i = x2.sample; i <= last - x1.sample; ++i) add_last_xy_(b.p, gear[i].p.x, gear[i].p.y);
  return finiteOrNull(plan.routine, std::move(b.s));
}

ChamberGears chamberGears(const Gerotor &g, double angle) {
  const double theta = fold2Pi(angle), theta2 = theta + kTwoPi / g.z;
  const double c1 = contactAngle(g, theta), c2 = contactAngle(g, theta2);
  return {theta, c1, c2, gerotorOuterSampled(g, theta, c1, c2, kRingStep, kMargin),
          gerotorInner(g, theta * g.z / (g.z - 1), theta, theta2, kInnerStep, kMargin)};
}

namespace {

// Chamber area (mm2) at the shaft angle by the sector construction: the
// enclosure between the contact rays less both gears; none when a gear or a
// removal fails.
std::optional<double> sectorChamberArea(const Gerotor &g, double angle) {
  ChamberGears c = chamberGears(g, angle);
  const ShapePtr enclosure = analyticPort(0.7 * (g.a - g.rc), 1.05 * g.Ro, -g.e, 0.0, 0.0, 0.0, c.c1, c.c2, 1);
  if (!enclosure || !c.inner || !c.outer) return std::nullopt;
  const ShapePtr open = quietBoolean(remove_shape_status_, enclosure.get(), c.inner.get());
  const ShapePtr chamber = open ? quietBoolean(remove_shape_status_, open.get(), c.outer.get()) : nullptr;
  if (!chamber) return std::nullopt;
  return std::fabs(area2D_(chamber.get()));
}

double contourChamberArea(const Gerotor &g, const ChamberPlan &plan, double angle) {
  const ShapePtr k = contourChamber(g, plan, fold2Pi(angle));
  return k ? std::fabs(area2D_(k.get())) : 0.0;
}

}  // namespace

ShapePtr quietBoolean(BooleanOp op, const shape *a, const shape *b) {
  kiv::MutedMessages muted(QOR_XB_GlobalSystem != nullptr);
  int status = KIV_BOOL_OK;
  ShapePtr s(op(a, b, &status));
  return status == KIV_BOOL_OK ? std::move(s) : nullptr;
}

// The sector construction holds where no ray from the centre meets the ring
// twice (no lobe overhangs) and its coarse chords of the inner gear stay
// within a small part of the largest chamber at every probe; the designs it
// serves keep their tables as they were.
ChamberPlan planChambers(const char *routine, const Gerotor &g) {
  ChamberPlan plan{true, toothKnots(g), routine};
  // Below 5 lobes the inner gear's margin, (z - 1) times 4 degrees of its
  // profile, is shorter than its coarse step: the walk may stop short of the
  // second contact and leave part of the gear in the chamber.
  if (ringOverhangs(g) || g.z < 5) return plan;
  constexpr int kProbes = 36;
  constexpr double kShare = 1e-4;
  double largest = contourChamberArea(g, plan, -kPi / g.z), worst = 0.0;
  for (int k = 0; k < kProbes && std::isfinite(worst); ++k) {
    const double angle = (k + 0.5) * kTwoPi / kProbes, exact = contourChamberArea(g, plan, angle);
    largest = std::max(largest, exact);
    const std::optional<double> sector = sectorChamberArea(g, angle);
    worst = sector ? std::max(worst, std::fabs(*sector - exact)) : INFINITY;
  }
  plan.byContacts = !(worst <= kShare * largest);
  return plan;
}

// A sector chamber that cannot be cut is taken closed by its contacts.
double chamberArea(const Gerotor &g, const ChamberPlan &plan, double angle) {
  if (!plan.byContacts)
    if (const std::optional<double> sector = sectorChamberArea(g, angle)) return *sector;
  return contourChamberArea(g, plan, angle);
}

int turnSpline(const double *values) {
  std::vector<double> axis = turnTable();
  double *axes[] = {axis.data()};
  const int size = kTurnSamples, codes[] = {3, 3}, ext[] = {1, 1};
  return kiv::nd::CreateCubicND(4, 1, &size, axes, values, codes, nullptr, ext, 0);
}

namespace {

// The volume tables build both gears and the chamber's enclosure.
bool checkedGerotor(const char *routine, const Gerotor &g, double b) {
  if (!checkGerotor(routine, g, kGerotorGears | kGerotorEnclosure) || !checkLength(routine, "thickness", b))
    return false;
  // No chamber is larger than the root disc.  Its volume, the displacement (z
  // of them per turn) and the spline of the volume table, which squares the
  // slopes from one entry to the next, must stay numbers.
  const double slope = kPi * g.Ro * g.Ro * b * 1e-9 * g.z / (kTwoPi / (kTurnSamples - 1));
  if (std::isfinite(slope * slope)) return true;
  kivfprintf(stderr, "\n%s: the thickness b = %g overflows the volume table.\n", routine, b);
  return false;
}

// Volumes (m3) at n >= 1 angles, the last entry repeating the first.
void fillVolumes(const char *routine, const Gerotor &g, double b, const double *angles, int n, double *out) {
  const ChamberPlan plan = planChambers(routine, g);
  for (int i = 0; i + 1 < n; ++i) out[i] = chamberArea(g, plan, angles[i]) * b * 1e-9;
  out[n - 1] = n > 1 ? out[0] : chamberArea(g, plan, angles[0]) * b * 1e-9;
}

std::vector<double> volumeTable(const char *routine, const Gerotor &g, double b) {
  const std::vector<double> angles = turnTable();
  std::vector<double> v(kTurnSamples);
  fillVolumes(routine, g, b, angles.data(), kTurnSamples, v.data());
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
  const char *me = "create_gp_outer_gear_";
  if (!checkGerotor(me, g, kGerotorRing) || !angleInReach(me, "turn", theta) ||
      !angleInReach(me, "first contact angle", c1) || !angleInReach(me, "second contact angle", c2) ||
      !stepInReach(me, step) || !checkFinite(me, "margin", margin) || !spanInReach(me, "margin", margin))
    return nullptr;
  return gerotorOuterSampled(g, theta, c1, c2, step, margin);
}

ShapePtr outerGearExact(const Gerotor &g, double theta) {
  if (!checkGerotor("create_gp_outer_gear2_", g, kGerotorRing) || !angleInReach("create_gp_outer_gear2_", "turn", theta))
    return nullptr;
  return gerotorOuterExact(g, theta);
}

ShapePtr innerGear(const Gerotor &g, double theta0, double ta, double tb, double step, double margin) {
  const char *me = "create_gp_inner_gear_";
  if (!checkGerotor(me, g, kGerotorInner) || !angleInReach(me, "turn", theta0) ||
      !angleInReach(me, "start angle", ta) || !angleInReach(me, "end angle", tb) ||
      !spanInReach(me, "angle range", tb - ta) || !stepInReach(me, step) || !checkFinite(me, "margin", margin) ||
      !spanInReach(me, "margin", margin))
    return nullptr;
  // The walk takes up to three vertices a step along (z - 1) times the range.
  const double walk = 3.0 * (g.z - 1) * (std::fabs(tb - ta) + 2.0 * std::fabs(margin)) / step;
  if (walk > kMaxInnerVertices) {
    kivfprintf(stderr, "\n%s: the step %g rad would take about %.3g vertices, more than %d.\n", me, step, walk,
               kMaxInnerVertices);
    return nullptr;
  }
  return gerotorInner(g, theta0, ta, tb, step, margin);
}

}  // namespace

}  // namespace kiv::geom

using namespace kiv::geom;

extern "C" {

void gp_get_xc_yc_(const int *z, const double *a, const double *rc, const double *e, const double *theta,
                   double *x, double *y) {
  if (!lobesInReach("gp_get_xc_yc_", *z) || !angleInReach("gp_get_xc_yc_", "shaft angle", *theta)) return;
  const Xy c = gerotorContact(Gerotor{*z, *a, *rc, *e, 0.0, 0.0}, *theta);
  *x = c.x;
  *y = c.y;
}

void gp_get_rc_thetac_(const int *z, const double *a, const double *rc, const double *e, const double *theta,
                       double *angle, double *radius) {
  if (!lobesInReach("gp_get_rc_thetac_", *z) || !angleInReach("gp_get_rc_thetac_", "shaft angle", *theta)) return;
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
  if (*n < 1 || !checkedGerotor("gp_volume_", g, *b) || !tableAnglesFinite("gp_volume_", angles, *n)) return -1;
  fillVolumes("gp_volume_", g, *b, angles, *n, volumes);
  return 0;
}

int gp_set_up_volume_(const int *z, const double *a, const double *rc, const double *Ro, const double *e,
                      const double *X, const double *b, int *id) {
  const Gerotor g{*z, *a, *rc, *e, *Ro, *X};
  *id = -1;
  if (!checkedGerotor("gp_set_up_volume_", g, *b)) return -1;
  *id = turnSpline(volumeTable("gp_set_up_volume_", g, *b).data());
  return *id < 0 ? -1 : 0;
}

double gp_get_displacement_(const int *z, const double *a, const double *rc, const double *Ro, const double *e,
                            const double *X, const double *b) {
  const Gerotor g{*z, *a, *rc, *e, *Ro, *X};
  if (!checkedGerotor("gp_get_displacement_", g, *b)) return 0.0;
  const std::vector<double> v = volumeTable("gp_get_displacement_", g, *b);
  return displacement(*z, v.data(), kTurnSamples);
}

double gp_ud_get_displacement_(const int *z, const int *n, const double *volumes) {
  return lobesInReach("gp_ud_get_displacement_", *z) ? displacement(*z, volumes, *n) : 0.0;
}

void gp_get_volume_derivative_(const int *z, const double *a, const double *rc, const double *e, const double *b,
                               const double *theta, double *out) {
  const char *me = "gp_get_volume_derivative_";
  if (!lobesInReach(me, *z) || !angleInReach(me, "shaft angle", *theta)) return;
  volumeRates(Gerotor{*z, *a, *rc, *e, 0.0, 0.0}, *b, *theta, out);
}

}  // extern "C"
