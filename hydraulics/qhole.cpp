// Flow through round holes opened and closed by a sliding edge.
#include <cmath>
#include <limits>

#include "hydraulics/kiv_hydlaws.h"
#include "hydraulics/kiv_hydraulics.h"
#include "hydraulics/orifices.hpp"

extern "C" {

void qhole2_(double *x, double *xmax, double *d, int *n, double *c, double *e, double *cqmax,
             double *lcrit, double *p1, double *p2, double *q, double *A, double *lambda,
             double *cq, double *dh, double *v, int *state, int *region1, int *region2) {
  // No opening can be made of a NaN edge position: not a number comes out
  // rather than the zero flow of a closed hole, and the state words stay.
  if (std::isnan(*x)) {
    kivfprintf(stderr, "\nqhole2_: the edge position is not a number.\n");
    *q = *A = *lambda = *cq = *dh = *v = std::numeric_limits<double>::quiet_NaN();
    return;
  }
  qhole_geom_(x, xmax, d, c, e, A, dh, state, region1, region2);
  if (*state == 0) {
    *q = kiv::hyd::orificeInto(*p1, *p2, *A, *dh, *cqmax, *lcrit, cq, lambda, v);
  } else {
    // Covered: the opening at the edge in series with the laminar leakage
    // through the clearance around the overlap.
    double pm = 0.5 * (*p1 + *p2);
    const double h = 0.5 * *c;
    const double k0 = q0top_(&pm);
    const double mu = muatp_(&pm);
    const double qo = kiv::hyd::orificeInto(*p1, *p2, *A, *dh, *cqmax, *lcrit, cq, lambda, v);
    const double G = 2.0 * (*p2 - *p1) * *d * h * h * h / (12.0 * mu);
    const double ax = std::fabs(*x);
    const double S =
        ax == 0.0 ? 0.0 : std::sqrt((*d + ax) * ax) / std::atan(std::sqrt((*d + ax) / ax));
    const double qm = G / (1e-20 + G / (qo * k0 + 1e-20) - S);
    *q = qm / k0;
    *v = *A != 0.0 ? qm / *A : 0.0;
  }
  const double holes = static_cast<double>(*n);
  *A *= holes;
  *q *= holes;
}

void qhole_(double *x, double *xmax, double *d, int * /*n*/, double *c, double *e, double *cqmax,
            double *lcrit, double *p1, double *p2, double *q, double *A, double *lambda,
            double *cq, double *dh, double *v, int *state, int *region1, int *region2) {
  int one = 1;
  qhole2_(x, xmax, d, &one, c, e, cqmax, lcrit, p1, p2, q, A, lambda, cq, dh, v, state, region1,
          region2);
}

}  // extern "C"
