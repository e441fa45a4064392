// Pressure derivative of a hydraulic chamber from the mass balance
// d(rho V)/dt = rho0 q with V = V0 (1 + a p).
#include "hydraulics/kiv_hydlaws.h"
#include "hydraulics/kiv_hydraulics.h"

extern "C" {

double pcdyn02_(double *p, double *V0, double *a, double *q, double *out_ratio, double *out_V,
                double *out_Beff) {
  // A stiff constant law lets stabilising runs settle chamber pressures fast.
  if (staborcs_()) return 6e9 * *q;
  double V = volatp_(p, a, V0);
  *out_V = V;
  double rho = rhoatp_(p);
  const double r = q0top2_(&rho);
  const double B = bmatp_(p);
  double x = 1.0 + *a * *p;
  if (x <= 0.0) x = 1e-10;
  const double Beff = 1.0 / (*a / x + 1.0 / B);
  *out_Beff = Beff;
  *out_ratio = *a == 0.0 ? 1e30 : x / *a;
  if (isvisible_()) {
    double m = rho * V;
    hydradd_volmass_(&V, &m);
  }
  return *q * r * Beff / V;
}

double pcdyn2_(double *p, double *a, double *V0, double *q) {
  double ratio, V, Beff;
  return pcdyn02_(p, V0, a, q, &ratio, &V, &Beff);
}

}  // extern "C"
