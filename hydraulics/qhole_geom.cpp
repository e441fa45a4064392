// Open area of a round hole uncovered by a sliding edge, and the edge
// position that gives a wanted area.
#include <cmath>
#include <numbers>

#include "hydraulics/kiv_hydlaws.h"
#include "params/kiv_math.h"
#include "solver/kiv_solver.h"

namespace {

struct Opening {
  double A, dh;
};

// Clamp as an ordinary evaluation of dlimit_ does it (a NaN passes).
double clamp(double v, double lo, double hi) {
  if (v >= hi) return hi;
  if (v > lo || v != v) return v;
  return lo;
}

// The circular segment of the hole below a chord at height r d / 2.
Opening segment(double r, double d) {
  double theta = 0.0;
  if (r > 0.0 && r < 2.0)
    theta = 2.0 * std::acos(1.0 - r);
  else if (r >= 2.0)
    theta = 2.0 * std::numbers::pi;
  const double A = d * ((theta - std::sin(theta)) * d) * 0.125;
  const double wetted = theta * d / 2.0 + d * std::sin(theta / 2.0);
  // A closed segment (no clearance) has no diameter worth a 0/0.
  return {A, wetted > 0.0 ? 4.0 * A / wetted : 0.0};
}

// tracked: the caller's state and region words are used and crossings are
// reported; otherwise the geometry is evaluated as in an ordinary
// evaluation, with nothing stored or reported.
Opening opening(double x, double xmax, double d, double c, double e, int *state, int *region1,
                int *region2, bool tracked) {
  int covered;
  if (!tracked || !getofg_()) {
    covered = x < 0.0;
    if (tracked) *state = covered ? -1 : 0;
  } else {
    covered = *state != 0;
  }
  double r;
  if (covered) {
    r = c / d;
    if (tracked) {
      int flag = x >= 0.0;
      disloc_(&flag);
    }
  } else {
    double hi = d > xmax ? xmax : d + e;
    double lo = -1e6;
    double xl;
    if (tracked) {
      double frac = 1e-9;
      xl = dlimit1_(&x, &lo, &hi, &frac, region1);
    } else {
      xl = clamp(x, lo, hi);
    }
    const double g = e + c / 2.0;
    const double s = std::sqrt(xl * xl + g * g) - e;
    r = 2.0 * s / d;
    double rlo = 1e-10, rhi = 1.9999999999;
    if (tracked) {
      r = dlimit_(&r, &rlo, &rhi, region2);
      int flag = x < 0.0;
      disloc_(&flag);
    } else {
      r = clamp(r, rlo, rhi);
    }
  }
  return segment(r, d);
}

}  // namespace

extern "C" {

void qhole_geom_(double *x, double *xmax, double *d, double *c, double *e, double *A, double *dh,
                 int *state, int *region1, int *region2) {
  const Opening o = opening(*x, *xmax, *d, *c, *e, state, region1, region2, true);
  *A = o.A;
  *dh = o.dh;
}

double qhole_geom_x_found(double x, void *work) {
  const auto &w = *static_cast<const QholeWork *>(work);
  return w.A_wanted - opening(x, w.xmax, w.d, w.c, w.e, nullptr, nullptr, nullptr, false).A;
}

// The search may run while the integrator locates a crossing elsewhere: its
// trial geometry is never tracked, so it reports nothing.
void qhole_geom_x_(double *A_wanted, double *xmax, double *d, double *c, double *e, double *x) {
  *x = *xmax / 2.0;
  QholeWork work{*A_wanted, *d, *c, *e, *xmax};
  double lo = 0.0, hi = *xmax;
  double fl = qhole_geom_x_found(lo, &work);
  double fr = qhole_geom_x_found(hi, &work);
  int max_iterations = 2000, ok = 0;
  kivNLSolveB_(&lo, x, &hi, &fl, &fr, &qhole_geom_x_found, &work, &max_iterations, &ok);
  if (!ok) *x = 0.0;
}

}  // extern "C"
