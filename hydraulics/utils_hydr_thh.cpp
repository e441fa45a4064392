// Laminar leakage of an annular clearance with its viscous forces, and an
// orifice whose flow is a state driven by pressure force against loss.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "hydraulics/kiv_hydraulics.h"
#include "hydraulics/kiv_hydtables.h"
#include "hydraulics/orif_re_zeta.hpp"

namespace kiv::hyd {
namespace {
constexpr double kPi = std::numbers::pi;
}

// Pressure flow of an eccentric annulus (h radial clearance), plus the
// Couette flow dragged by the piston when shear == 1.
double annularLeakage(double mu, double rho, double dp, double D, double c, double L, double e,
                      int shear, double v, double &re) {
  const double h = 0.5 * c;
  double q = dp * kPi * D * (h * h * h + 1.5 * h * e * e) / (12.0 * L * mu);
  if (shear == 1) q += v * kPi * D * h * 0.5;
  re = std::fabs(q) * (4.0 * rho) / ((2.0 * D - c) * kPi * mu);
  return q;
}

void annularForces(double D, double c, double muvl, double dp, int shear, double *bore,
                   double &piston) {
  const double h = 0.5 * c;
  piston = kPi * dp * (D - c) * h * 0.5;
  if (shear == 1) piston += kPi * (D - c) / h * muvl;
  if (bore) {
    *bore = kPi * dp * D * h * 0.5;
    if (shear == 1) *bore -= kPi * D / h * muvl;
  }
}

InertiaResult orificeInertia(double p1, double p2, double q, double A, double dh, double L,
                             int index) {
  double p0 = 0.0;
  double r1 = rhoatp_(&p1), r2 = rhoatp_(&p2);
  const double r0 = rhoatp_(&p0), m1 = muatp_(&p1), m2 = muatp_(&p2);
  const double u1 = q * q0top2_(&r1) / A, u2 = q * q0top2_(&r2) / A;
  InertiaResult o{};
  o.v = (u1 + u2) * 0.5;
  o.re = (std::fabs(u1) * r1 * dh / m1 + std::fabs(u2) * r2 * dh / m2) * 0.5;
  o.cq = cqFromTable(o.re, index);
  // The floor only keeps a closed (Cq = 0) orifice finite; it must not
  // weigh on real areas, however small.
  const double loss = (r1 + r2) * 0.5 * q * std::fabs(q) / std::max(2.0 * o.cq * o.cq * A, 1e-30);
  o.dqdt = (A * (p2 - p1) - loss) / (r0 * L);
  return o;
}

}  // namespace kiv::hyd

double fluAnnularLeakageFlow(double mu, double rho, double dp, double D, double c, double L,
                             double e, int shear, double v, double *re) {
  return kiv::hyd::annularLeakage(mu, rho, dp, D, c, L, e, shear, v, *re);
}

void fluAnnularLeakageViscousForces(double D, double c, double f1, double dp, double f2,
                                    double *f3, int shear, double *bore, double *piston) {
  kiv::hyd::annularForces(D, c, f1 * f2 * *f3, dp, shear, bore, *piston);
}

void orifinertia_(double *p1, double *p2, double *q, double *A, double *dh, double *L, int *index,
                  double *dqdt, double *re, double *v, double *cq) {
  const auto o = kiv::hyd::orificeInertia(*p1, *p2, *q, *A, *dh, *L, *index);
  *dqdt = o.dqdt;
  *re = o.re;
  *v = o.v;
  *cq = o.cq;
}
