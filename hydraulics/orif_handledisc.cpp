// Flow-direction switch of the orifice laws: a state word per orifice that
// flips only past a hysteresis band and reports the crossing to the
// integrator.
#include "hydraulics/kiv_hydlaws.h"

namespace {

// Discontinuity handling and the hysteresis band are always on for the
// library's own laws.
constexpr int kHdisc = 1;
constexpr int kUseHyst = 1;

}  // namespace

extern "C" {

void orifHandleDiscGrav_(double *pA, double *pB, double *pg, int *hd, int *uh, double *hyst,
                         int *state) {
  const double d = *pA - *pB - *pg;
  const double h = *hyst;
  if (!(*hd && getofg_())) {
    if (firstc_()) {
      *state = d > 0.0 ? 1 : (d < 0.0 ? 0 : -2);
    } else if (*state == -2) {
      if (d > 0.0)
        *state = 1;
      else if (d < 0.0)
        *state = 0;
    } else if (!*uh) {
      *state = d > 0.0 ? 1 : 0;
    } else if (d > h) {
      *state = 1;
    } else if (d <= -h) {
      *state = 0;
    }
  }
  if (*hd != 1) return;
  int flag = 0;
  switch (*state) {
    case 1: flag = d <= -h; break;
    case 0: flag = d > h; break;
    case -2: flag = d != 0.0; break;
    default: break;
  }
  if (flag) disloc_(&flag);
}

void orifHandleDisc_(double *pA, double *pB, int *hd, int *uh, double *hyst, int *state) {
  double pg = 0.0;
  orifHandleDiscGrav_(pA, pB, &pg, hd, uh, hyst, state);
}

void hydHandleDisc_(double *p1, double *p2, double *hyst, int *state) {
  int hd = kHdisc, uh = kUseHyst;
  orifHandleDisc_(p1, p2, &hd, &uh, hyst, state);
}

}  // extern "C"
