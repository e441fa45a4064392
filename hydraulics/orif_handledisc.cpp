// Flow-direction switch of the orifice laws: a state word per orifice that
// flips only past a hysteresis band and reports the crossing to the
// integrator.
#include "hydraulics/kiv_hydlaws.h"
#include "hydraulics/orifices.hpp"

namespace kiv::hyd {

void switchDirection(double pA, double pB, double pg, int hd, int uh, double hyst, int &state) {
  const double d = pA - pB - pg;
  const double h = hyst;
  if (!(hd && getofg_())) {
    if (firstc_()) {
      state = d > 0.0 ? 1 : (d < 0.0 ? 0 : -2);
    } else if (state == -2) {
      if (d > 0.0)
        state = 1;
      else if (d < 0.0)
        state = 0;
    } else if (!uh) {
      state = d > 0.0 ? 1 : 0;
    } else if (d > h) {
      state = 1;
    } else if (d <= -h) {
      state = 0;
    }
  }
  if (hd != 1) return;
  int flag = 0;
  switch (state) {
    case 1: flag = d <= -h; break;
    case 0: flag = d > h; break;
    case -2: flag = d != 0.0; break;
    default: break;
  }
  if (flag) disloc_(&flag);
}

}  // namespace kiv::hyd

extern "C" {

void orifHandleDiscGrav_(double *pA, double *pB, double *pg, int *hd, int *uh, double *hyst,
                         int *state) {
  kiv::hyd::switchDirection(*pA, *pB, *pg, *hd, *uh, *hyst, *state);
}

void orifHandleDisc_(double *pA, double *pB, int *hd, int *uh, double *hyst, int *state) {
  kiv::hyd::switchDirection(*pA, *pB, 0.0, *hd, *uh, *hyst, *state);
}

void hydHandleDisc_(double *p1, double *p2, double *hyst, int *state) {
  kiv::hyd::switchDirection(*p1, *p2, *hyst, *state);
}

}  // extern "C"
