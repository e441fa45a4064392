// Orifice flow laws of the current fluid: the tanh law between two
// pressures, the short-restriction fit, a user flow coefficient, the
// laminar-band law and the law with one coefficient pair per direction.
#include <cmath>

#include "hydraulics/kiv_hydraulics.h"
#include "hydraulics/orifices.hpp"

namespace {

// Flow at the mean pressure referred to 0 bar: q rho / rho0.
double toZeroBar(double q, double rho) { return q / q0top2_(&rho); }

}  // namespace

extern "C" {

double orif3f_(double *p1, double *p2, double *A, double *dh, double *cqmax, double *lcrit,
               double *cq, double *lambda, double *v) {
  return kiv::hyd::orificeInto(*p1, *p2, *A, *dh, *cqmax, *lcrit, cq, lambda, v);
}

double orif3_(double *p1, double *p2, double *A, double *dh, double *cqmax, double *lcrit) {
  return kiv::hyd::orifice(*p1, *p2, *A, *dh, *cqmax, *lcrit).q;
}

double orif3b_(double *p1, double *p2, double *A, double *dh, double *cqmax, double *lcrit,
               double *cq, double *lambda) {
  double v;
  return kiv::hyd::orificeInto(*p1, *p2, *A, *dh, *cqmax, *lcrit, cq, lambda, &v);
}

// Empirical fit for short restrictions of length L, with r = L / dh:
//   K  = 0.76 (1 - E1)(1 - E2) + 5.1 r^2 E1       (the turbulent limit of Cq)
//   Cq = K (1 - E6)(1 - E5) + 0.1695 E3 E5 lambda^0.45
// K rises from 0 at r = 0 to about 0.76..0.8 for r >= 1.  Use it for
// L / dh >= 0.6, where Cq rises monotonically with lambda towards K and
// stays below 0.8.  Shorter restrictions are outside its range: Cq
// overshoots K at moderate lambda, and as r tends to 0, K tends to 0 while
// E5 tends to 1, so the lambda^0.45 term is no longer damped and Cq grows
// without bound (at L = 0 it is 0.1695 lambda^0.45); use the tanh law
// there.  The result is finite for every L >= 0 and lambda >= 0.
double orif3sht_(double *p1, double *p2, double *A, double *dh, double *L, double *cq,
                 double *lambda, double *v) {
  if (*A == 0.0) {
    *cq = *lambda = *v = 0.0;
    return 0.0;
  }
  const auto f = kiv::hyd::meanProps(*p1, *p2);
  const double dp = *p1 - *p2;
  const double w = std::sqrt(2.0 * std::fabs(dp) / f.rho);
  const double lam = *dh / f.nu * w;
  *lambda = lam;
  const double r = *L / *dh;
  const double r2 = r * r;
  const double E1 = std::exp(-4.8 * std::sqrt(std::pow(r, 0.8)));
  const double E2 = std::exp(-5.1 * r2 / 0.76);
  const double K = 0.76 * (1.0 - E1) * (1.0 - E2) + 5.1 * r2 * E1;
  const double E3 = std::exp(-0.3838 * std::sqrt(r));
  const double E4 = std::exp(-2.2 * r2);
  const double E5 = std::exp(-0.3 * (1.0 - E4) * std::sqrt(lam));
  const double l45 = std::pow(lam, 0.45);
  // K (1 - E6) tends to 0 with K whatever lambda is: at K = 0 the term is 0
  // (exp(-0/0) would be NaN at lambda = 0).
  double turbulent = 0.0;
  if (K > 0.0) {
    const double E6 = std::exp(-0.1695 * E3 * l45 / K);
    turbulent = K * (1.0 - E6) * (1.0 - E5);
  }
  const double c = turbulent + E5 * 0.1695 * E3 * l45;
  *cq = c;
  double vel = c * w;
  double q = toZeroBar(vel * *A, f.rho);
  if (dp < 0.0) {
    q = -q;
    vel = -vel;
  }
  *v = vel;
  return q;
}

double orif4f_(double *p1, double *p2, double *A, double *dh, int *id, double *cq,
               double *lambda, double *v) {
  if (*A == 0.0) {
    *cq = *lambda = *v = 0.0;
    return 0.0;
  }
  const auto f = kiv::hyd::meanProps(*p1, *p2);
  const double w = std::sqrt(2.0 * std::fabs(*p1 - *p2) / f.rho);
  const double lam = *dh / f.nu * w;
  *lambda = lam;
  const double c = kiv::hyd::interpretedCq(*id, lam);
  *cq = c;
  double vel = w * c;
  double q = vel * *A;
  if (*p2 > *p1) {
    q = -q;
    vel = -vel;
  }
  *v = vel;
  return toZeroBar(q, f.rho);
}

// Regimes are chosen at +-dpt but left only at 0.8 dpt (turbulent) or
// 1.2 dpt (band), so that the located crossing lies beyond the switch.
double orific_(double *dp, double *cq, double *A, double *dpt, double *rho, int *state) {
  const double d = *dp, t = *dpt;
  const double eps = 1e-6 * t;
  if (!getofg_()) *state = d >= t ? 1 : (d <= -t ? -1 : 0);
  double q;
  int c1, c2;
  if (*state == 1) {
    q = d < 0.0 ? 0.0 : *cq * *A * std::sqrt(2.0 * d / *rho);
    c1 = 0.8 * t > d;
    c2 = eps >= 0.8 * t - d;
  } else if (*state == -1) {
    q = d > 0.0 ? 0.0 : -*cq * *A * std::sqrt(-2.0 * d / *rho);
    c1 = d > -0.8 * t;
    c2 = eps >= d + 0.8 * t;
  } else {
    q = *cq * *A * std::sqrt(2.0 * t / *rho) * (d / t);
    c1 = std::fabs(d) - 1.2 * t >= 0.0;
    c2 = eps >= std::fabs(d) - 1.2 * t;
  }
  dishan_(&c1, &c2);
  return q;
}

double orif3h_(double *p1, double *p2, double *A, double *dh, double *cqmax_fwd,
               double *lcrit_fwd, double *cqmax_rev, double *lcrit_rev, double *hyst, double *cq,
               double *lambda, double *v, int *state) {
  double *cqmax = cqmax_fwd, *lcrit = lcrit_fwd;
  if (*cqmax_fwd == *cqmax_rev && *lcrit_fwd == *lcrit_rev) {
    *state = *p1 >= *p2 ? 1 : 0;
  } else {
    kiv::hyd::switchDirection(*p1, *p2, *hyst, *state);
    if (*state != 1) {
      cqmax = cqmax_rev;
      lcrit = lcrit_rev;
    }
  }
  return kiv::hyd::orificeInto(*p1, *p2, *A, *dh, *cqmax, *lcrit, cq, lambda, v);
}

}  // extern "C"

namespace kiv::hyd {

OrificeResult orifice(double p1, double p2, double A, double dh, double cqmax, double lcrit) {
  const double dp = p1 - p2;
  if (A == 0.0 || dp == 0.0) return {0.0, 0.0, 0.0, 0.0};
  const auto f = meanProps(p1, p2);
  const auto r = tanhLaw(dp, f.rho, f.nu, A, dh, cqmax, lcrit);
  return {toZeroBar(r.q, f.rho), r.cq, r.lambda, r.v};
}

}  // namespace kiv::hyd
