// The tanh orifice law at given properties, and the inverse problem: the
// orifice area that passes a given flow at a given pressure drop.
#include <cmath>
#include <numbers>

#include "hydraulics/kiv_hydraulics.h"
#include "hydraulics/orifices.hpp"
#include "solver/kiv_solver.h"
#include "tables/kiv_interpret.h"

namespace kiv::hyd {

MeanProps meanProps(double p1, double p2) {
  double pm = (p1 + p2) * 0.5;
  const double rho = rhoatp_(&pm);
  return {rho, muatp_(&pm) / rho};
}

double interpretedCq(int id, double lambda) {
  double cq = 0.0;
  kiv::text::Evaluate(id, &lambda, &cq);
  return cq;
}

}  // namespace kiv::hyd

namespace {

double diameterOf(double A) { return 2.0 * std::sqrt(A / std::numbers::pi); }

// Root of a residual that falls from q > 0 at A = 0 and turns negative for
// large enough areas.  The lower end starts at the turbulent-limit area
// q / (c w), which no law with Cq <= c can beat, and the bracket doubles
// until the residual changes sign.  False when no sign change is found.
bool searchArea(KivNLFunction f, OrificeAreaWork &work, double c, double *A) {
  double lo = 0.0, hi = work.q / (c * work.w);
  if (!(hi > 0.0) || !std::isfinite(hi)) hi = 1e-12;
  while (!(f(hi, &work) <= 0.0)) {
    lo = hi;
    hi *= 2.0;
    if (!std::isfinite(hi)) return false;
  }
  int max_iterations = 1000, ok = 0;
  double x = hi;
  kivNLSolve_(&lo, &x, &hi, f, &work, &max_iterations, &ok);
  if (!ok) return false;
  *A = x;
  return true;
}

// A = dh = 0 for no flow; otherwise the area of the residual's root and its
// diameter.  False when there is no root.
bool equivalentArea(double rho, double q, double dp, KivNLFunction f, double c,
                    OrificeAreaWork &work, double *A, double *dh) {
  if (q == 0.0) {
    *A = 0.0;
    *dh = 0.0;
    return true;
  }
  work.w = std::sqrt(2.0 * dp / rho);
  work.q = q;
  if (!searchArea(f, work, c, A)) return false;
  *dh = diameterOf(*A);
  return true;
}

}  // namespace

extern "C" {

double OrificeFlow(double *dp, double *rho, double *nu, double *A, double *dh, double *cqmax,
                   double *lcrit, double *cq, double *lambda, double *v) {
  const auto r = kiv::hyd::tanhLaw(*dp, *rho, *nu, *A, *dh, *cqmax, *lcrit);
  *cq = r.cq;
  *lambda = r.lambda;
  *v = r.v;
  return r.q;
}

double orif2_(double *dp, double *A, double *dh, double *cqmax, double *lcrit, double *rho,
              double *nu) {
  return kiv::hyd::tanhLaw(*dp, *rho, *nu, *A, *dh, *cqmax, *lcrit).q;
}

double areaFun(double A, void *work) {
  auto &w = *static_cast<OrificeAreaWork *>(work);
  w.dh = diameterOf(A);
  return w.q - A * w.cqmax * w.w * std::tanh(2.0 * w.w * w.dh / (w.a * w.b));
}

double generalAreaFun(double A, void *work) {
  auto &w = *static_cast<OrificeAreaWork *>(work);
  w.dh = diameterOf(A);
  const double lambda = w.dh / w.nu * w.w;
  return w.q - kiv::hyd::interpretedCq(w.id, lambda) * A * w.w;
}

void eqarea(double *rho, double *q, double *dp, double *cqmax, double *a, double *b, double *A,
            double *dh) {
  OrificeAreaWork work{};
  work.cqmax = *cqmax;
  work.a = *a;
  work.b = *b;
  if (!equivalentArea(*rho, *q, *dp, &areaFun, *cqmax, work, A, dh)) {
    kivfprintf(stderr, "\nCannot find a orifice area for in eqarea\n");
    kivfprintf(stderr, "Values are flow rate %le [m**3/s] and pressure drop %le [Pa].\n", *q, *dp);
    kivfprintf(stderr, "Aborting program.\n");
    KivExit(1);
  }
}

void eqarea_(double *rho, double *q, double *dp, double *cqmax, double *a, double *b, double *A,
             double *dh) {
  eqarea(rho, q, dp, cqmax, a, b, A, dh);
}

void EqGeneralArea_(double *rho, double *q, double *dp, double *nu, int *id, double *A,
                    double *dh) {
  OrificeAreaWork work{};
  work.nu = *nu;
  work.id = *id;
  if (!equivalentArea(*rho, *q, *dp, &generalAreaFun, 1.0, work, A, dh)) {
    kivfprintf(stderr, "\nCannot find a orifice area for in EqGeneralArea\n");
    kivfprintf(stderr, "Values are flow rate %le pressure drop %le\n", *q, *dp);
    kivfprintf(stderr, "Aborting program.\n");
    KivExit(1);
  }
}

}  // extern "C"
