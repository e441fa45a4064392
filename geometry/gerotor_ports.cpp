// Gerotor ports by shaft angle, Couette leakage at a contact, the chamber's
// force on the inner gear, and chambers of gears given as shapes.
#include <algorithm>
#include <vector>

#include "geometry/boolean.hpp"
#include "geometry/kiv_gerotor.h"
#include "geometry/kiv_shapeid.h"
#include "geometry/pumpgeom.hpp"
#include "geometry/shapeid.hpp"
#include "tables/kiv_tablefiles.h"

namespace kiv::geom {

namespace {

constexpr double kHalfDeg = 0.008726646259971648, kTenthDeg = 0.0017453292519943296;
constexpr const char *kMissing = "Cannot retrieve shape %d.\n";

// Area (m2) and perimeter (m) of a flow region; none leaves them as they are.
void measureOpening(const shape *flow, double &area, double &perim) {
  if (!hasPaths(flow)) return;
  area = std::fabs(area2D_(flow)) * 1e-6;
  perim = perimeter2D_(flow) * 0.001;
}

// Opening (m2, m) of a chamber closed by its contacts onto the port inside
// the bore; no overlap is area 0, perimeter 0.001, as a closed window.  False
// when no intersection of the two succeeds: a failed one is never taken for
// a closed window.
bool closedOpening(const shape *chamber, const shape *cut, double &area, double &perim) {
  area = 0.0;
  perim = 0.001;
  if (!chamber) return false;
  // The port is cut to the chamber's box first: the chamber then meets only
  // the few port edges near it, and a chamber clear of the port is passed by.
  double top, right, bottom, left;
  if (find_bounds_trbl_(chamber, &top, &right, &bottom, &left) != 0) return false;
  const double pad = 0.01 * std::max(right - left, top - bottom);
  Built box = newShape();
  add_last_xy_(box.p, left - pad, bottom - pad);
  add_last_xy_(box.p, right + pad, bottom - pad);
  add_last_xy_(box.p, right + pad, top + pad);
  add_last_xy_(box.p, left - pad, top + pad);
  const ShapePtr near = quietBoolean(intersection_shape_status_, cut, box.s.get());
  if (near && !hasPaths(near.get())) return true;
  // A box wholly in the port holds the whole chamber open.
  const double boxArea = std::fabs(area2D_(box.s.get()));
  if (near && std::fabs(std::fabs(area2D_(near.get())) - boxArea) <= 1e-9 * boxArea) {
    measureOpening(chamber, area, perim);
    return true;
  }
  // The trimmed port, and the whole one should that meeting fail.
  for (const shape *port : {near ? near.get() : cut, cut})
    if (const ShapePtr meet = quietBoolean(intersection_shape_status_, chamber, port)) {
      measureOpening(meet.get(), area, perim);
      return true;
    }
  return false;
}

// The sector construction's opening: the window between the contact rays
// less both sampled gears.  False when a gear or a removal fails.
bool sectorOpening(const Gerotor &g, const shape *cut, double angle, double &area, double &perim) {
  ChamberGears c = chamberGears(g, angle);
  double c1 = c.c1, c2 = c.c2;
  area = 0.0;
  perim = 0.001;
  const ShapePtr screened = screen(c1, c2, 2.0 * g.a, false);
  if (!screened || !c.outer || !c.inner) return false;
  const ShapePtr window = quietBoolean(remove_shape_status_, cut, screened.get());
  if (!window) return false;
  if (!hasPaths(window.get())) return true;
  const ShapePtr open = quietBoolean(remove_shape_status_, window.get(), c.outer.get());
  const ShapePtr flow = open ? quietBoolean(remove_shape_status_, open.get(), c.inner.get()) : nullptr;
  if (!flow) return false;
  measureOpening(flow.get(), area, perim);
  return true;
}

// n >= 1 angles for a design the check has passed.  A sector chamber that
// cannot be cut is taken closed by its contacts; false after a message when
// that fails too (nothing written).
bool portTable(const char *routine, int portId, const double *angles, double *area, double *perim, int n,
               const Gerotor &g) {
  const ShapePtr bore = vpStator(1.05 * g.Ro, 0.0, 0.0);
  const ShapePtr cut = quietBoolean(remove_shape_status_, findShape(portId), bore.get());
  if (!cut) {
    kivfprintf(stderr, "\n%s: the port could not be cut to the bore.\n", routine);
    return false;
  }
  const ChamberPlan plan = planChambers(routine, g);
  std::vector<double> a(n), p(n);
  for (int i = 0; i < n; ++i) {
    if (!plan.byContacts && sectorOpening(g, cut.get(), angles[i], a[i], p[i])) continue;
    if (closedOpening(contourChamber(g, plan, fold2Pi(angles[i])).get(), cut.get(), a[i], p[i])) continue;
    kivfprintf(stderr, "\n%s: the chamber at entry %d (angle %g) and the port could not be intersected.\n", routine, i,
               angles[i]);
    return false;
  }
  a[n - 1] = a[0];
  p[n - 1] = p[0];
  std::copy(a.begin(), a.end(), area);
  std::copy(p.begin(), p.end(), perim);
  return true;
}

int checkedPortTable(int portId, const double *angles, double *area, double *perim, int n, const Gerotor &g) {
  if (n < 1 || !checkGerotor("gp_port_", g, kGerotorGears) || !tableAnglesFinite("gp_port_", angles, n)) return -1;
  return portTable("gp_port_", portId, angles, area, perim, n, g) ? 0 : -1;
}

// Tabulates the port over the turn and hands the two splines out.
int flowSplines(const char *routine, int portId, const Gerotor &g, int *areaId, int *perimId) {
  const std::vector<double> angles = turnTable();
  std::vector<double> area(kTurnSamples), perim(kTurnSamples);
  if (!portTable(routine, portId, angles.data(), area.data(), perim.data(), kTurnSamples, g)) return -1;
  *areaId = turnSpline(area.data());
  *perimId = turnSpline(perim.data());
  return 0;
}

// The design is checked before the file is read, so a refused one registers no port.
int flowFromContour(const Gerotor &g, const char *file, int *areaId, int *perimId) {
  const char *me = "gp_set_up_flow_area_contour_";
  if (!checkGerotor(me, g, kGerotorGears)) return -1;
  const int format = GetTableFormat(file);
  if (format == KIV_TABLE_NOT_FOUND) {
    kivfprintf(stderr, "\nError in %s: unable to open %s.\n", me, file);
    return -1;
  }
  if (format != KIV_TABLE_XY && format != KIV_TABLE_UNKNOWN) {
    kivfprintf(stderr, "\nError in %s: the table is not of the correct format for %s.\n", me, file);
    return -1;
  }
  const char *const millimetres[] = {"mm", "mm", nullptr};
  int rows = 0, cols = 0;
  double *raw = nullptr;
  const bool read = rtablexy_(file, &rows, &cols, &raw, nullptr, millimetres) >= 1;
  const std::unique_ptr<double, decltype(&std::free)> data(raw, &std::free);
  if (!read) {
    kivfprintf(stderr, "\nError in %s: unable to read %s.\n", me, file);
    return -1;
  }
  if (cols < 2) {
    kivfprintf(stderr, "\nError in %s: the table is not of the correct dimension for %s.\n", me, file);
    return -1;
  }
  const int id = shapeFromArrays(raw, raw + rows, rows, false);
  if (id < 0) {
    kivfprintf(stderr, "\nError in %s: unable to generate contour for file %s.\n", me, file);
    return -1;
  }
  return flowSplines(me, id, g, areaId, perimId);
}

int flowFromSector(const Gerotor &g, double start, double end, int *areaId, int *perimId) {
  const char *me = "gp_set_up_flow_area_analytic_";
  constexpr double deg = 0.017453292519943295;
  if (!checkGerotor(me, g, kGerotorGears) || !angleInReach(me, "start angle (rad)", start * deg) ||
      !angleInReach(me, "end angle (rad)", end * deg))
    return -1;
  const int id = registerShape(analyticPort(0.7 * (g.a - g.rc), 1.05 * g.Ro, -g.e, 0.0, 0.0, 0.0, start * deg,
                                            end * deg, 1));
  if (id < 0) {
    kivfprintf(stderr, "\nError in %s: unable to generate contour from specified angles.\n", me);
    return -1;
  }
  return flowSplines(me, id, g, areaId, perimId);
}

// Sliding speed at the contact at theta: the inner gear at omega, the ring
// at (z - 1) omega / z.  Both surfaces turn about the pitch point there, so
// a contact on it does not slide.
double couetteSpeed(const Gerotor &g, double theta, double omega) {
  const Xy c = gerotorContact(g, theta);
  const double phi = std::atan2(c.y, c.x), r = std::hypot(c.x, c.y), ze = g.z * g.e;
  const double Ri = std::sqrt(g.e * g.e + r * r + 2.0 * g.e * r * std::cos(phi));
  const double D = std::hypot(c.x + ze, c.y);
  if (!(D > 1e-12 * (g.a + ze))) return 0.0;
  const double sA = (r / Ri) * std::sin(phi) * (ze - g.e) / D, sB = (ze / D) * std::sin(phi);
  return std::sqrt(std::max(0.0, 1.0 - sA * sA)) * Ri * omega -
         r * ((g.z - 1) * omega / g.z) * std::sqrt(std::max(0.0, 1.0 - sB * sB));
}

// Folding of polar angles by the orientation of a path.
double foldBy(int orientation, double a) {
  return orientation == KIV_ORIENT_CW ? fmod_m2p_(a, kTwoPi) : fmod_2p_(a, kTwoPi);
}

double angleAbout(const point *p, double xc, double yc) { return std::atan2(p->y - yc, p->x - xc); }

int closestFromTheta(const shape *s, double theta, double xc, double yc, double rmin) {
  if (!hasPaths(s)) return -1;
  const path *p = s->paths[0];
  const int o = p->orientation;
  const auto atCentre = [&](const point *q) { return q->x == xc && q->y == yc; };
  const point *ref = p->first;
  for (int i = 0; i < size_path_(p) && atCentre(ref); ++i) ref = ref->next;
  const double phi0 = foldBy(o, angleAbout(ref, xc, yc)) + (o == KIV_ORIENT_CW ? kTenthDeg : -kTenthDeg);
  const double t = foldBy(o, foldBy(o, theta) - phi0);
  const point *q = p->first, *prev = nullptr;
  double prevPhi = 0.0;
  for (int i = 0, m = size_path_(p); i < m; ++i, q = q->next) {
    if (atCentre(q)) continue;
    const double phi = foldBy(o, foldBy(o, angleAbout(q, xc, yc)) - phi0);
    if (std::fabs(phi) > std::fabs(t) - 1e-12) {
      if (!prev) return -1;
      const double rp = distance(prev->x, prev->y, xc, yc), ri = distance(q->x, q->y, xc, yc);
      if (rp < rmin && rmin <= ri) return i;
      if (ri < rmin && rmin <= rp) return i - 1;
      if (rmin > ri || rmin > rp) return -1;
      return phi - t <= t - prevPhi ? i : i - 1;
    }
    prev = q;
    prevPhi = phi;
  }
  return -1;
}

struct Splitters {
  double a, mid, b;
};

Splitters splitterAngles(const shape *s, int z, double xc, double yc) {
  const double P = kTwoPi / z;
  const path *p = s->paths[0];
  const int o = p->orientation;
  const double phi0 = foldBy(o, angleAbout(p->first, xc, yc));
  int k = 0;
  for (const point *q = p->first; k < size_path_(p) - 1; q = q->next, ++k)
    if (std::fabs(foldBy(o, angleAbout(q->next, xc, yc)) - phi0) > P) break;
  point centre{};
  centre.x = xc;
  centre.y = yc;
  const double tc = foldBy(o, angleAbout(closestPoint(p, &centre, 0, k), xc, yc));
  return o == KIV_ORIENT_CW ? Splitters{tc + P / 2.0, tc - P / 2.0, tc - 1.5 * P}
                            : Splitters{tc - P / 2.0, tc + P / 2.0, tc + 1.5 * P};
}

// A copy of the ring with a vertex at least every half degree about its centre
// (xc, yc), arcs sampled every half degree about their own: the splitters
// start at nodes, and a ring of true arcs has too few of them to place a
// splitter near the angle it is meant for.
ShapePtr densified(const shape *s, double xc, double yc) {
  ShapePtr out(create_shape());
  for (int i = 0; i < s->npaths; ++i) {
    const path *src = s->paths[i];
    path *p = create_path();
    add_path(p, out.get());
    point *prev = nullptr;
    const auto fill = [&](double x, double y) {  // the vertices short of (x, y)
      if (!prev) return;
      const double sweep = std::remainder(std::atan2(y - yc, x - xc) - std::atan2(prev->y - yc, prev->x - xc), kTwoPi);
      const int n = std::min(720, static_cast<int>(std::fabs(sweep) / kHalfDeg));
      const double x0 = prev->x, y0 = prev->y;
      for (int k = 1; k <= n; ++k) add_last_xy_(p, x0 + (x - x0) * k / (n + 1), y0 + (y - y0) * k / (n + 1));
    };
    const auto add = [&](double x, double y) {
      fill(x, y);
      prev = add_last_xy_(p, x, y);
    };
    forEachContourPoint(src, kHalfDeg, add);
    if (p->first) fill(p->first->x, p->first->y);
    orient_path2_(p);
  }
  return out;
}

ShapePtr copied(const shape *s) {
  shape *out = nullptr;
  xCD_copy_shape_(s, &out);
  return ShapePtr(out);
}

double magnitude(const shape *s) { return s ? std::fabs(area2D_(s)) : 0.0; }

// Opening of the chamber onto one port; `touch` is the perimeter reported
// for a contact of no area.  False when the port or its meeting with the
// chamber cannot be cut, either way round.
bool portOpening(const shape *chamber, const shape *port, const shape *screenA, double touch, double &area,
                 double &perim) {
  area = perim = 0.0;
  const ShapePtr w = quietBoolean(remove_shape_status_, port, screenA);
  if (!w) return false;
  if (!hasPaths(w.get())) return true;
  ShapePtr meet = quietBoolean(intersection_shape_status_, chamber, w.get());
  if (!meet) meet = quietBoolean(intersection_shape_status_, w.get(), chamber);
  if (!meet) return false;
  const double a = std::fabs(area2D_(meet.get()));
  area = a == 0.0 ? 0.0 : a * 1e-6;
  perim = a == 0.0 ? touch : perimeter2D_(meet.get()) * 0.001;
  return true;
}

struct UdGears {
  int z;
  double xi, yi, xo, yo, b;
};

struct UdOut {
  double *volume, *area1, *perim1, *area2, *perim2;
};

int udChambers(const UdGears &g, int innerId, int outerId, int port1Id, int port2Id, int n, const double *angles,
               const UdOut &out) {
  if (!lobesInReach("gp_ud_compute_volume_area_", g.z) || !tableAnglesFinite("gp_ud_compute_volume_area_", angles, n))
    return -1;
  const shape *innerS = findOrSay(innerId, kMissing), *outerS = innerS ? findOrSay(outerId, kMissing) : nullptr;
  if (!innerS || !outerS) return -1;
  ShapePtr inner = copied(innerS), outer = densified(outerS, g.xo, g.yo);
  double rmin = 0.0, rmax = 0.0, t0, t1;
  find_bounds_rtheta_(outer.get(), &rmin, &rmax, &t0, &t1);
  const double R = 2.0 * rmax;
  const shape *port1 = findOrSay(port1Id, kMissing), *port2 = port1 ? findOrSay(port2Id, kMissing) : nullptr;
  if (!port1 || !port2) return -1;
  if (!hasPaths(outer.get())) {
    kivfprintf(stderr, "Cannot use outergear defined by shape %d.\n", outerId);
    return -1;
  }
  // A drawn ring may come without its orientation settled.
  if (outer->paths[0]->orientation == KIV_ORIENT_NONE) orient_path2_(outer->paths[0]);
  const int o = outer->paths[0]->orientation;
  int k1 = o != 0 ? 1 : 2, k2 = o != 0 ? 2 : 1;
  const Splitters sp = splitterAngles(outer.get(), g.z, g.xo, g.yo);
  double a1 = sp.b, a2 = sp.a, b1 = sp.b - kHalfDeg, b2 = sp.a + kHalfDeg;
  ShapePtr screenA = screen(a1, a2, R, false), screenB = screen(b1, b2, R, false);
  ShapePtr U(union_shape_(outer.get(), screenA.get()));
  outer.reset();
  if (!U || check_shape(U.get()) < 0) {
    kivfprintf(stderr, "Cannot use outergear defined by shape %d.\n", outerId);
    return -1;
  }
  int ia = closestFromTheta(U.get(), sp.a, g.xo, g.yo, rmin), imid = closestFromTheta(U.get(), sp.mid, g.xo, g.yo, rmin),
      ib = closestFromTheta(U.get(), sp.b, g.xo, g.yo, rmin);
  const double q = static_cast<double>(g.z) / (g.z - 1);
  for (int i = 0; i < n; ++i) {
    const double d = i == 0 ? angles[0] : angles[i] - angles[i - 1];
    if (d != 0.0) {
      rotate2D_(inner.get(), g.xi, g.yi, d * q);
      for (shape *s : {U.get(), screenA.get(), screenB.get()}) rotate2D_(s, g.xo, g.yo, d);
    }
    const ShapePtr T = quietBoolean(remove_shape_status_, inner.get(), screenB.get());
    const shape *targets[] = {T.get()};
    const ShapePtr s1(T ? setSplitter(U.get(), ia, imid, k1, 1, targets) : nullptr);
    const ShapePtr s2(T ? setSplitter(U.get(), imid, ib, k2, 1, targets) : nullptr);
    ShapePtr K;
    if (hasPaths(s1.get()) && hasPaths(s2.get())) {
      const ShapePtr rev = o == 1 ? reversedCopy(U.get()) : nullptr;
      const ShapePtr base = quietBoolean(remove_shape_status_, rev ? rev.get() : U.get(), T.get());
      const ShapePtr cut = base ? quietBoolean(remove_shape_status_, base.get(), s1.get()) : nullptr;
      if (cut) K = quietBoolean(remove_shape_status_, cut.get(), s2.get());
    }
    // A chamber whose boundaries or cuts fail is never taken for an empty one.
    if (!K) {
      kivfprintf(stderr, "\nUnable to compute chamber boundaries.\n");
      return -1;
    }
    out.volume[i] = magnitude(K.get()) * g.b * 1e-9;
    const struct {
      const shape *port;
      int id;
      double touch, *area, *perim;
    } openings[] = {{port1, port1Id, 0.001, out.area1 + i, out.perim1 + i},
                    {port2, port2Id, 1.0, out.area2 + i, out.perim2 + i}};
    for (const auto &p : openings)
      if (!portOpening(K.get(), p.port, screenA.get(), p.touch, *p.area, *p.perim)) {
        kivfprintf(stderr,
                   "\ngp_ud_compute_volume_area_: the chamber at entry %d and port %d could not be intersected.\n", i,
                   p.id);
        return -1;
      }
  }
  return 0;
}

// The splitter angles of a shape with paths through the pointers: 0, or -1.
int splittersInto(const shape *s, int z, double xc, double yc, double *ta, double *tmid, double *tb) {
  if (!hasPaths(s)) return -1;
  const Splitters sp = splitterAngles(s, z, xc, yc);
  *ta = sp.a;
  *tmid = sp.mid;
  *tb = sp.b;
  return 0;
}

}  // namespace

}  // namespace kiv::geom

using namespace kiv::geom;

extern "C" {

int gp_port_(const int *port_id, const double *angles, double *area, double *perimeter, const int *n, const int *z,
             const double *a, const double *rc, const double *Ro, const double *e, const double *X) {
  return checkedPortTable(*port_id, angles, area, perimeter, *n, Gerotor{*z, *a, *rc, *e, *Ro, *X});
}

int gp_set_up_flow_area_contour_(const int *z, const double *a, const double *rc, const double *Ro,
                                 const double *e, const double *X, const char *file, int *area_id,
                                 int *perimeter_id) {
  return flowFromContour(Gerotor{*z, *a, *rc, *e, *Ro, *X}, file, area_id, perimeter_id);
}

int gp_set_up_flow_area_analytic_(const int *z, const double *a, const double *rc, const double *Ro,
                                  const double *e, const double *X, const double *start, const double *end,
                                  int *area_id, int *perimeter_id) {
  return flowFromSector(Gerotor{*z, *a, *rc, *e, *Ro, *X}, *start, *end, area_id, perimeter_id);
}

void gp_get_leakage_couette_(const int *z, const double *a, const double *rc, const double *e, const double *h,
                             const double *w, const double *theta, const double *omega, double *u, double *q) {
  const char *me = "gp_get_leakage_couette_";
  if (!lobesInReach(me, *z) || !angleInReach(me, "shaft angle", *theta)) return;
  *u = couetteSpeed(Gerotor{*z, *a, *rc, *e, 0.0, 0.0}, *theta, *omega);
  *q = *u * *h * *w / 2.0;
}

void gp_get_force_torque_ch_inner_gear_(const int *z, const double *a, const double *rc, const double *e,
                                        const double *b, const double *theta, const double *p, double *Fx,
                                        double *Fy, double *torque) {
  const char *me = "gp_get_force_torque_ch_inner_gear_";
  if (!lobesInReach(me, *z) || !angleInReach(me, "shaft angle", *theta)) return;
  const Gerotor g{*z, *a, *rc, *e, 0.0, 0.0};
  const Xy p1 = gerotorContact(g, *theta), p2 = gerotorContact(g, *theta + kTwoPi / *z);
  *Fx = -*p * *b * (p2.y - p1.y);
  *Fy = -*p * *b * (p1.x - p2.x);
  *torque = *Fy * ((p1.x + p2.x) / 2.0 + *e) - *Fx * (p1.y + p2.y) / 2.0;
}

int gp_find_closest_pt_from_theta_(const shape *s, const double *theta, const double *xc, const double *yc,
                                   const double *rmin) {
  if (!angleInReach("gp_find_closest_pt_from_theta_", "polar angle", *theta)) return -1;
  return closestFromTheta(s, *theta, *xc, *yc, *rmin);
}

int gp_find_closest_pt_from_theta_id_(const int *id, const double *theta, const double *xc, const double *yc,
                                      const double *rmin) {
  if (!angleInReach("gp_find_closest_pt_from_theta_id_", "polar angle", *theta)) return -1;
  const shape *s = findOrSay(*id, kMissing);
  return s ? closestFromTheta(s, *theta, *xc, *yc, *rmin) : -1;
}

int gp_ud_set_splitters_angles_(const shape *s, const int *z, const double *xc, const double *yc, double *ta,
                                double *tmid, double *tb) {
  if (!lobesInReach("gp_ud_set_splitters_angles_", *z)) return -1;
  return splittersInto(s, *z, *xc, *yc, ta, tmid, tb);
}

int gp_ud_set_splitters_angles_id_(const int *id, const int *z, const double *xc, const double *yc, double *ta,
                                   double *tmid, double *tb) {
  if (!lobesInReach("gp_ud_set_splitters_angles_id_", *z)) return -1;
  const shape *s = findOrSay(*id, kMissing);
  return s ? splittersInto(s, *z, *xc, *yc, ta, tmid, tb) : -1;
}

int gp_ud_compute_volume_area_(const int *z, const double *xi, const double *yi, const int *inner_id,
                               const double *xo, const double *yo, const int *outer_id, const int *port1_id,
                               const int *port2_id, const double *b, const int *n, const double *angles,
                               double *volume, double *area1, double *perimeter1, double *area2,
                               double *perimeter2) {
  return udChambers(UdGears{*z, *xi, *yi, *xo, *yo, *b}, *inner_id, *outer_id, *port1_id, *port2_id, *n, angles,
                    UdOut{volume, area1, perimeter1, area2, perimeter2});
}

}  // extern "C"
