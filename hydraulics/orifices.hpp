// Inside view of the orifice laws: the tanh law shared by every variant,
// inline so that the per-evaluation flows stay call-free.
#pragma once

#include <cmath>

#include "hydraulics/kiv_hydlaws.h"

namespace kiv::hyd {

// Cq = Cqmax tanh(2 lambda / lambda_crit): one smooth expression from the
// laminar limit (q proportional to dp) to the turbulent one (Cq = Cqmax).
// q is at density rho.
inline OrificeResult tanhLaw(double dp, double rho, double nu, double A, double dh,
                             double cqmax, double lcrit) {
  if (A == 0.0) return {0.0, 0.0, 0.0, 0.0};
  const double w = std::sqrt(2.0 * std::fabs(dp) / rho);
  const double lambda = dh / nu * w;
  const double cq = cqmax * std::tanh(2.0 * lambda / lcrit);
  double v = cq * w;
  double q = v * A;
  if (dp < 0.0) {
    q = -q;
    v = -v;
  }
  return {q, cq, lambda, v};
}

// Density and kinematic viscosity of the current fluid at the mean of two
// pressures.
struct MeanProps {
  double rho, nu;
};
MeanProps meanProps(double p1, double p2);

// Cq of a user law: the interpreted object id at the flow number (0 when
// the object cannot be evaluated).
double interpretedCq(int id, double lambda);

// The direction word of an orifice from pA - pB - pg: it flips only past
// the hysteresis band (uh 1) and, with hd 1, a flip is reported to the
// integrator and held while it locates it.
void switchDirection(double pA, double pB, double pg, int hd, int uh, double hyst, int &state);
// The library's own laws: handling and the hysteresis band always on.
inline void switchDirection(double p1, double p2, double hyst, int &state) {
  switchDirection(p1, p2, 0.0, 1, 1, hyst, state);
}

// orifice() with the law's outputs written through the pointers; the flow.
inline double orificeInto(double p1, double p2, double A, double dh, double cqmax, double lcrit,
                          double *cq, double *lambda, double *v) {
  const OrificeResult r = orifice(p1, p2, A, dh, cqmax, lcrit);
  *cq = r.cq;
  *lambda = r.lambda;
  *v = r.v;
  return r.q;
}

}  // namespace kiv::hyd
