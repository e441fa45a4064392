// Profile-shift correction, gears and analytic ports as shape ids.
#include "gearpump/setup_api.hpp"

#include <cmath>
#include <numbers>

#include "gearpump/build.hpp"
#include "gearpump/kiv_gearpump.h"
#include "gearpump/rack.hpp"
#include "geometry/kiv_shapeid.h"
#include "solver/kiv_solver.h"

namespace kiv::egp {

int egp_shift_correction(int z1, int z2, double m, double alpha, double ha, double ctip, double x1,
                         double x2, egp_pair_radii &out) {
  const double zs = z1 + z2, r1 = z1 * m / 2, r2 = z2 * m / 2;
  egp_pair_radii r;
  double h;
  if (x1 == 0.0 && x2 == 0.0) {
    r.alpha_w = alpha;
    r.a = zs * m / 2;
    h = (2 * ha + ctip) * m;
    r.ra1 = r1 + ha * m;
    r.ra2 = r2 + ha * m;
  } else {
    // inv(alpha_w) = inv(alpha) + 2 tan(alpha) (x1 + x2) / (z1 + z2)
    double target = std::tan(alpha) - alpha + 2 * std::tan(alpha) * (x1 + x2) / zs;
    double aw = alpha, tol = 1e-11;
    int n = 1, most = 300, converged = 0, quiet = 0;
    const int iterations = ndnr_quiet_(&aw, &n, egp_nr_alphaw, nullptr, &target, &tol, &tol, &most,
                                       &converged, nullptr, &quiet);
    if (!converged || iterations >= most || !(aw > 0)) return -1;
    const double y = (std::cos(alpha) / std::cos(aw) - 1) * zs / 2;
    r.alpha_w = aw;
    r.a = (zs / 2 + y) * m;
    h = (y + 2 * ha + ctip - x1 - x2) * m;
    r.ra1 = r1 + (y + ha - x2) * m;
    r.ra2 = r2 + (y + ha - x1) * m;
  }
  r.rf1 = r.ra1 - h;
  r.rf2 = r.ra2 - h;
  out = r;
  return 0;
}

int egp_create_gear_id(int z, double m, double alpha, double ha, double ctip, double fillet,
                       double x, double ra, double rf, int nteeth, int mode, int &sharp) {
  if (nteeth < 1 || nteeth > z || (mode != 1 && mode != 2)) return -1;
  ShapePtr s = egp_create_gear(z, m, alpha, ha, ctip, fillet, x, ra, rf, nteeth, mode, sharp);
  return s ? register_shape_id_(s.release()) : -1;
}

int egp_create_analyticport_id(double x1, double y1, double x2, double y2, double distance,
                               double offset, double width, double length, int side) {
  if (side != 1 && side != -1) return -1;
  // A flat rectangle would register a shape without area.
  if (!(width > 0) || !(length > 0)) return -1;
  const double d = std::hypot(x2 - x1, y2 - y1);
  if (!(d > 0)) return -1;
  double theta = std::atan2(y2 - y1, x2 - x1);
  if (theta < 0) theta += 2 * std::numbers::pi;
  const double xm = x1 + d / 2, ym = y1;
  const double near = side < 0 ? ym + distance : ym - distance - length;
  const double far = near + length;
  const double left = xm - width / 2 + offset, right = left + width;
  const double xs[4] = {right, left, left, right}, ys[4] = {far, far, near, near};
  ShapePtr s = shapeThrough(xs, ys, 4);
  rotate2D_(s.get(), x1, y1, theta);
  return register_shape_id_(s.release());
}

}  // namespace kiv::egp

using namespace kiv::egp;

int egp_shift_correction_(const int *z1, const int *z2, const double *module, const double *alpha,
                          const double *ha, const double *ctip, const double *x1, const double *x2,
                          double *alpha_w, double *a, double *ra1, double *ra2, double *rf1,
                          double *rf2) {
  egp_pair_radii r;
  if (egp_shift_correction(*z1, *z2, *module, *alpha, *ha, *ctip, *x1, *x2, r) != 0) return -1;
  *alpha_w = r.alpha_w, *a = r.a, *ra1 = r.ra1, *ra2 = r.ra2, *rf1 = r.rf1, *rf2 = r.rf2;
  return 0;
}

int egp_create_gear_id_(const int *z, const double *module, const double *alpha, const double *ha,
                        const double *ctip, const double *fillet, const double *x, const double *ra,
                        const double *rf, const int *nteeth, const int *mode, int *sharp) {
  return egp_create_gear_id(*z, *module, *alpha, *ha, *ctip, *fillet, *x, *ra, *rf, *nteeth, *mode,
                            *sharp);
}

int egp_create_analyticport_id_(const double *x1, const double *y1, const double *x2,
                                const double *y2, const double *distance, const double *offset,
                                const double *width, const double *length, const int *side) {
  return egp_create_analyticport_id(*x1, *y1, *x2, *y2, *distance, *offset, *width, *length, *side);
}

double egp_modulo_deg(double degrees) { return kiv::egp::egp_modulo_deg(degrees); }

int kiv::egp::egp_setup(egp_pump_data &w, const egp_params &par, double *store, egp_instance &inst,
                        int ppd, const egp_setup_shapes &shapes) {
  // The build takes the gear centres from the gear outlines themselves.
  const egp_build_args args{.mode = 0,
                            .store = store,
                            .inst = &inst,
                            .driving = shapes.gear1,
                            .driven = shapes.gear2,
                            .outlet = shapes.outlet,
                            .inlet = shapes.inlet,
                            .angle = 0,
                            .ppd = ppd,
                            .c1 = par.teeth_driving / 2,
                            .c2 = par.teeth_driven / 2};
  return egp_internal_build(w, par, args);
}
