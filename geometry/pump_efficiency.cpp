// Operating point of a positive-displacement machine and its efficiencies,
// shared by the pump geometries.
#include <algorithm>

#include "geometry/pumpgeom.hpp"

namespace kiv::geom {

PumpMode pumpMode(double a, double b, double c) {
  PumpMode m{a * b * c >= 0.0 ? 1 : -1, -1.0};
  const bool motor = a != 0.0 && c != 0.0 && (b < 0.0 || (b == 0.0 && a * c < 0.0));
  if (!motor) m.factor = 1.0;
  if (c == 0.0 && b <= 0.0) m.mode = -m.mode;
  return m;
}

PumpEfficiency pumpEfficiencies(double factor, double qActual, double qIdeal, double tActual,
                                double tIdeal) {
  const auto ratio = [](double num, double den) { return den == 0.0 ? 0.0 : std::max(0.0, num / den); };
  // Only the exact pump factor selects the pump ratios: a motor's are inverted.
  if (factor == 1.0) return {ratio(qActual, qIdeal), ratio(tIdeal, tActual)};
  return {ratio(qIdeal, qActual), ratio(tActual, tIdeal)};
}

}  // namespace kiv::geom

using namespace kiv::geom;

namespace {

void modeInto(const PumpMode &m, int *mode, double *factor) {
  *mode = m.mode;
  *factor = m.factor;
}

void efficienciesInto(const PumpEfficiency &e, double *eta_v, double *eta_m) {
  *eta_v = e.volumetric;
  *eta_m = e.mechanical;
}

}  // namespace

extern "C" {

void xcd_pump_getmode_(const double *a, const double *b, const double *c, int *mode, double *factor) {
  modeInto(pumpMode(*a, *b, *c), mode, factor);
}

void xcd_pump_efficiencies_(const double *factor, const double *q_actual, const double *q_ideal,
                            const double *t_actual, const double *t_ideal, double *eta_v, double *eta_m) {
  efficienciesInto(pumpEfficiencies(*factor, *q_actual, *q_ideal, *t_actual, *t_ideal), eta_v, eta_m);
}

void vp_getmode_(const double *a, const double *b, const double *c, int *mode, double *factor) {
  modeInto(pumpMode(*a, *b, *c), mode, factor);
}

void vp_efficiencies_(const double *factor, const double *q_actual, const double *q_ideal,
                      const double *t_actual, const double *t_ideal, double *eta_v, double *eta_m) {
  efficienciesInto(pumpEfficiencies(*factor, *q_actual, *q_ideal, *t_actual, *t_ideal), eta_v, eta_m);
}

}  // extern "C"
