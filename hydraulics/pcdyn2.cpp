// Pressure derivative of a hydraulic chamber from the mass balance
// d(rho V)/dt = rho0 q with V = V0 (1 + a p).
#include "hydraulics/kiv_hydlaws.h"
#include "hydraulics/kiv_hydraulics.h"

namespace kiv::hyd {

double chamberRate(double p, double V0, double a, double q, double &ratio, double &V_out,
                   double &Beff_out) {
  // A stiff constant law lets stabilising runs settle chamber pressures fast.
  if (staborcs_()) return 6e9 * q;
  double V = volatp_(&p, &a, &V0);
  V_out = V;
  double rho = rhoatp_(&p);
  const double r = q0top2_(&rho);
  const double B = bmatp_(&p);
  double x = 1.0 + a * p;
  if (x <= 0.0) x = 1e-10;
  const double Beff = 1.0 / (a / x + 1.0 / B);
  Beff_out = Beff;
  ratio = a == 0.0 ? 1e30 : x / a;
  if (isvisible_()) {
    double m = rho * V;
    hydradd_volmass_(&V, &m);
  }
  return q * r * Beff / V;
}

double chamberRate(double p, double V0, double a, double q) {
  double ratio, V, Beff;
  return chamberRate(p, V0, a, q, ratio, V, Beff);
}

}  // namespace kiv::hyd

extern "C" {

double pcdyn02_(double *p, double *V0, double *a, double *q, double *out_ratio, double *out_V,
                double *out_Beff) {
  return kiv::hyd::chamberRate(*p, *V0, *a, *q, *out_ratio, *out_V, *out_Beff);
}

double pcdyn2_(double *p, double *a, double *V0, double *q) {
  return kiv::hyd::chamberRate(*p, *V0, *a, *q);
}

}  // extern "C"
