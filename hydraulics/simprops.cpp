// The simple fluid model: constant bulk modulus above an absolute saturation
// pressure, a thousand times softer below it, and constant viscosity.
#include <cmath>

#include "hydraulics/fluidlaws.hpp"

namespace {

struct SimpleModel {
  double rhoref = 0;  // density at 0 Pa gauge
  double bmref = 0;
  double muref = 0;
  double nuref = 0;
  double gstp = 0;  // absolute saturation pressure
  double rhosat = 0;
};
SimpleModel M;

}  // namespace

extern "C" {

void InitSimpProps(void) {
  int i = gethdind_();
  const int t = getftype_(&i);
  if (t != 3 && i == 0) {
    M.gstp = getsap_() + kPatm;
    M.rhoref = getrho_();
    M.bmref = getebm_();
    M.muref = getmu_();
    M.nuref = getnu_();
  } else {
    const HydSimpleRecord *r = getspind_(&i);
    M.rhoref = r->density;
    M.bmref = r->bulk_modulus;
    M.muref = r->viscosity;
    M.gstp = r->p_sat + kPatm;
    M.nuref = M.muref / M.rhoref;
  }
  M.rhosat = M.rhoref * std::exp((M.gstp - kPatm) / M.bmref);
}

double rhosimp_(double *p) {
  const double P = *p + kPatm;
  if (P >= M.gstp) return M.rhoref * std::exp(*p / M.bmref);
  return M.rhosat * std::exp(1000.0 * (P - M.gstp) / M.bmref);
}

double bmsimp_(double *p) { return *p + kPatm >= M.gstp ? M.bmref : M.bmref / 1000.0; }

double musimp_(void) { return M.muref; }

double nusimp_(void) { return M.nuref; }

double patrhosimp_(double *rho) {
  if (*rho >= M.rhosat) return M.bmref * std::log(*rho / M.rhoref);
  return M.bmref / 1000.0 * std::log(*rho / M.rhosat) + M.gstp - kPatm;
}

}  // extern "C"
