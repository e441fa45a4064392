// Gear-pump geometry for an application without a simulation: cavity
// shapes at one shaft angle, the curves of one revolution, the angles of a
// gear pair and the gear intersection test, all over shape ids.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "gearpump/angles.hpp"
#include "gearpump/build.hpp"
#include "gearpump/kiv_gearpump.h"
#include "geometry/kiv_shapeid.h"

namespace kiv::egp {

namespace {

constexpr int kNoAngle = 1;  // an angle function's result for a missing gear

// Both gears copied into the build frame: driving centre at the origin,
// driven centre at (-d, 0), with the records' scalars set.
struct Pair {
  ShapePtr s1, s2;
  egp_build_gear g1, g2;
  double d = 0;
  ~Pair() {
    egp_build_gear_delete(g1);
    egp_build_gear_delete(g2);
  }
};

ShapePtr copyOf(const shape *s) {
  shape *c = nullptr;
  xCD_copy_shape_(s, &c);
  return ShapePtr(c);
}

// kNoAngle when either id names no shape or a gear has no teeth (the pair
// is then left alone).
int normalise(const egp_params &p, int driving, int driven, Pair &q) {
  const shape *a = kiv::geom::findShape(driving), *b = kiv::geom::findShape(driven);
  if (!a || !b || p.teeth_driving < 1 || p.teeth_driven < 1) return kNoAngle;
  double x1, y1, x2, y2;
  egp_get_centroid(a, x1, y1);
  egp_get_centroid(b, x2, y2);
  q.d = std::hypot(x2 - x1, y2 - y1);
  egp_get_radius_from_gear_shape(a, x1, y1, q.g1.rmin, q.g1.rmax);
  egp_get_radius_from_gear_shape(b, x2, y2, q.g2.rmin, q.g2.rmax);
  const double turn = kPi - floor_2pi(std::atan2(y2 - y1, x2 - x1));
  q.s1 = copyOf(a), q.s2 = copyOf(b);
  for (shape *s : {q.s1.get(), q.s2.get()}) {
    translate2D_(s, -x1, -y1);
    rotate2D_(s, 0, 0, turn);
  }
  q.g1.kind = 1, q.g1.dir = -1, q.g1.z = p.teeth_driving, q.g1.pitch = kTwoPi / p.teeth_driving;
  q.g2.kind = 2, q.g2.dir = 1, q.g2.z = p.teeth_driven, q.g2.xc = -q.d;
  q.g2.pitch = kTwoPi / p.teeth_driven;
  return 0;
}

// The output is written only on success: a failed search is no angle.
int axisAngle(const egp_params &p, int driving, int driven, double &angle) {
  Pair q;
  int rc = normalise(p, driving, driven, q);
  double theta = 0;
  if (rc == 0) rc = egp_compute_teeth_axis_angle(q.g2, q.s2.get(), theta);
  if (rc == 0) angle = theta;
  return rc;
}

int contactAngle(const egp_params &p, int driving, int driven, double &angle) {
  Pair q;
  int rc = normalise(p, driving, driven, q);
  if (rc == 0) rc = egp_compute_teeth_axis_angle(q.g2, q.s2.get(), q.g2.axis);
  if (rc != 0) return rc;
  rotate2D_(q.s2.get(), -q.d, 0, q.g2.axis);
  rotate2D_(q.s1.get(), 0, 0, -q.g2.axis);
  if (egp_compute_teeth_axis_angle(q.g1, q.s1.get(), q.g1.axis)) return kSearchFailed;
  double tol1 = 0, tol2 = 0;
  egp_calc_tol_and_tta(q.g1, q.s1.get(), tol1, q.g1.tta);
  egp_calc_tol_and_tta(q.g2, q.s2.get(), tol2, q.g2.tta);
  egp_shape_to_mem(q.s1.get(), q.g1.xs, q.g1.ys);
  egp_shape_to_mem(q.s2.get(), q.g2.xs, q.g2.ys);
  const Pelem e1 = egp_create_pelem(q.g1, kPi + q.g1.axis, 1, 0, tol1);
  const Pelem e2 = egp_create_pelem(q.g2, -0.5 * q.g2.pitch, 1, 0, tol2);
  double gamma = 0;
  rc = egp_find_contact_angle(q.g1, e1, e2, gamma);
  if (rc == 0) angle = gamma;
  return rc;
}

int gearsIntersection(int driving, int driven) {
  const shape *a = kiv::geom::findShape(driving), *b = kiv::geom::findShape(driven);
  if (!a || !b) return 1;
  return egp_shape_intersect_shape(a, b) ? 2 : 0;
}

egp_build_args appArgs(int mode, int c1, int c2, const int *ids) {
  egp_build_args a;
  a.mode = mode, a.ppd = 1, a.c1 = c1, a.c2 = c2;
  a.driving = ids[0], a.driven = ids[1], a.outlet = ids[2], a.inlet = ids[3];
  return a;
}

// Registers the six cavity shapes in build order; -1 for each before the
// build so that a failed one leaves no stale ids behind.
int cavities(const egp_params &p, double angle, int c1, int c2, const int *ids, int *out) {
  for (int i = 0; i < 6; ++i) out[i] = -1;
  ShapePtr shapes[6];
  egp_build_args a = appArgs(1, c1, c2, ids);
  a.angle = angle, a.shapes = shapes;
  const int rc = [&] {
    egp_pump_data w;
    return egp_internal_build(w, p, a);
  }();
  for (int i = 0; i < 6; ++i) out[i] = shapes[i] ? register_shape_id_(shapes[i].release()) : -1;
  return rc;
}

double *mallocCopy(const Curve &c) {
  if (c.empty()) return nullptr;
  auto *m = static_cast<double *>(std::malloc(c.size() * sizeof(double)));
  if (!m) MemoryError("egp_app_get_curves_id");
  std::memcpy(m, c.data(), c.size() * sizeof(double));
  return m;
}

// The outputs receive the curves of a successful build (the caller frees
// the arrays); after a failure the counts are 0 and the arrays null.
int curves(const egp_params &p, int c1, int c2, const int *ids, int *n[2], double **arrays[2][4]) {
  egp_cavity_curves got[2];
  egp_build_args a = appArgs(2, c1, c2, ids);
  a.curves = got;
  const int rc = [&] {
    egp_pump_data w;
    return egp_internal_build(w, p, a);
  }();
  // The copies are handed out together: an exit while one is made frees
  // the ones before it.
  double *made[2][4] = {};
  struct Release {
    double *(&copies)[2][4];
    ~Release() {
      for (auto &g : copies)
        for (double *c : g) std::free(c);
    }
  } release{made};
  for (int g = 0; g < 2 && rc == 0; ++g) {
    const Curve *from[4] = {&got[g].x, &got[g].volume, &got[g].outlet, &got[g].inlet};
    for (int k = 0; k < 4; ++k) made[g][k] = mallocCopy(*from[k]);
  }
  for (int g = 0; g < 2; ++g) {
    *n[g] = rc == 0 ? got[g].n : 0;
    for (int k = 0; k < 4; ++k) *arrays[g][k] = std::exchange(made[g][k], nullptr);
  }
  return rc;
}

}  // namespace

}  // namespace kiv::egp

using namespace kiv::egp;


int egp_app_get_cavities_id(const egp_params *record, double angle, const int *driving_cavity,
                            const int *driven_cavity, const int *driving_gear,
                            const int *driven_gear, const int *outlet_port, const int *inlet_port,
                            int *driving, int *driving_outlet, int *driving_inlet, int *driven,
                            int *driven_outlet, int *driven_inlet) {
  const int ids[4] = {*driving_gear, *driven_gear, *outlet_port, *inlet_port};
  int out[6];
  const int rc = cavities(*record, angle, *driving_cavity, *driven_cavity, ids, out);
  *driving = out[0], *driving_outlet = out[1], *driving_inlet = out[2];
  *driven = out[3], *driven_outlet = out[4], *driven_inlet = out[5];
  return rc;
}

int egp_app_get_curves_id(const egp_params *record, const int *driving_cavity,
                          const int *driven_cavity, const int *driving_gear, const int *driven_gear,
                          const int *outlet_port, const int *inlet_port, int *n1, double **x1,
                          double **volume1, double **outlet1, double **inlet1, int *n2,
                          double **x2, double **volume2, double **outlet2, double **inlet2) {
  const int ids[4] = {*driving_gear, *driven_gear, *outlet_port, *inlet_port};
  int *n[2] = {n1, n2};
  double **arrays[2][4] = {{x1, volume1, outlet1, inlet1}, {x2, volume2, outlet2, inlet2}};
  return curves(*record, *driving_cavity, *driven_cavity, ids, n, arrays);
}

int egp_app_get_axis_angle(const egp_params *record, const int *driving_gear,
                           const int *driven_gear, double *angle) {
  return axisAngle(*record, *driving_gear, *driven_gear, *angle);
}

int egp_app_get_contact_angle(const egp_params *record, const int *driving_gear,
                              const int *driven_gear, double *angle) {
  return contactAngle(*record, *driving_gear, *driven_gear, *angle);
}

int egp_app_check_gears_intersection(const egp_params *, const int *driving_gear,
                                     const int *driven_gear) {
  return gearsIntersection(*driving_gear, *driven_gear);
}
