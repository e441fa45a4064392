// Direct linear interpolation in 1-D and 2-D tables with discontinuity
// handling, and a one-line equation of motion with dry friction.
#include <cmath>

#include "tables/interp.hpp"
#include "tables/kiv_interp.h"

namespace {

using kiv::interp::bisect;
using kiv::interp::checkInterval;

// The interval to use: chosen afresh in ordinary evaluations, held while the
// runtime holds regions (a change is then reported).  A remembered interval
// outside -1..n-1 counts as none: the fresh one is used and kept.
int resolve(double x, const double *xa, const double *ya, int n, int &i) {
  if (getofg_() == 0 || i < -1 || i > n - 1) {
    i = bisect(x, xa, n);
    return i;
  }
  int j = i;
  checkInterval(x, xa, n, j);
  if (j != i) {
    const double d = j < i ? xa[i] - x : x - xa[i + 1];
    int one = 1;
    int small = d <= (ya[n - 1] - ya[0]) / 1e8;
    dishan_(&one, &small);
  }
  return i;
}

double segment(double x, const double *xa, const double *ya, int k) {
  return ((xa[k + 1] - x) * ya[k] + (x - xa[k]) * ya[k + 1]) / (xa[k + 1] - xa[k]);
}

double slope(const double *xa, const double *ya, int k) {
  return (ya[k + 1] - ya[k]) / (xa[k + 1] - xa[k]);
}

}  // namespace

extern "C" {

double linter_(const double *x, const double *xa, const double *ya, const int *n, int *i,
               const int *extrap) {
  const int nn = *n;
  if (nn < 1) return 0.0;
  if (nn == 1) return ya[0];
  const double v = *x;
  const int k = resolve(v, xa, ya, nn, *i);
  if (k == -1) return *extrap != 1 ? ya[0] : segment(v, xa, ya, 0);
  if (k == nn - 1) return *extrap != 1 ? ya[nn - 1] : segment(v, xa, ya, nn - 2);
  return segment(v, xa, ya, k);
}

double lintde_(const double *x, const double *xa, const double *ya, const int *n, int *i,
               const int *extrap) {
  const int nn = *n;
  if (nn < 2) return 0.0;
  const int k = resolve(*x, xa, ya, nn, *i);
  if (k == -1) return *extrap != 1 ? 0.0 : slope(xa, ya, 0);
  if (k == nn - 1) return *extrap != 1 ? 0.0 : slope(xa, ya, nn - 2);
  return slope(xa, ya, k);
}

double linter2_(const double *x, const double *y, const int *nx, const double *xa, const int *ny,
                const double *ya, const double *z, int *ix, int *iy, const int *extrap) {
  const int mx = *nx, my = *ny;
  if (mx < 1 || my < 1) return 0.0;
  if (mx == 1) return linter_(y, ya, z, ny, iy, extrap);
  if (my == 1) return linter_(x, xa, z, nx, ix, extrap);
  if (getofg_() == 0) {
    *ix = bisect(*x, xa, mx);
    *iy = bisect(*y, ya, my);
  } else {
    struct Axis {
      double v;
      const double *a;
      int n;
      int *i;
    } axes[2] = {{*x, xa, mx, ix}, {*y, ya, my, iy}};
    for (auto &ax : axes) {
      if (*ax.i < -1 || *ax.i > ax.n - 1) {
        *ax.i = bisect(ax.v, ax.a, ax.n);
        continue;
      }
      int j = *ax.i;
      checkInterval(ax.v, ax.a, ax.n, j);
      if (j != *ax.i) {
        int one = 1, zero = 0;
        dishan_(&one, &zero);
      }
    }
  }
  int r;
  if (*iy == -1) {
    if (*extrap != 1) return linter_(x, xa, z, nx, ix, extrap);
    r = 0;
  } else if (*iy == my - 1) {
    if (*extrap != 1) return linter_(x, xa, z + static_cast<long>(my - 1) * mx, nx, ix, extrap);
    r = my - 2;
  } else {
    r = *iy;
  }
  const double z0 = linter_(x, xa, z + static_cast<long>(r) * mx, nx, ix, extrap);
  const double z1 = linter_(x, xa, z + static_cast<long>(r + 1) * mx, nx, ix, extrap);
  const double w = *y;
  return ((ya[r + 1] - w) * z0 + (w - ya[r]) * z1) / (ya[r + 1] - ya[r]);
}

void linert_varmass_(const double *m, const double *dm, const double *F, const double *visc,
                     const double *Fc, double *Fs, const double *quad, double *v, double *acc,
                     int *state) {
  const double mass = *m, f = *F;
  auto perMass = [mass](double a) { return mass != 0.0 ? a / mass : a; };
  if (*Fc == 0.0 && *Fs == 0.0) {
    *acc = perMass(f - *visc * *v - *quad * *v * std::fabs(*v) - *v * *dm);
    return;
  }
  const bool held = getofg_() != 0;
  if (!held && !firstc_()) {
    // The body has just passed zero velocity: it stops there.
    if ((*state == 1 && *v < 0) || (*state == -1 && *v > 0)) {
      *v = 0.0;
      if (mass == 0.0) {
        const double need = *state == 1 ? f : -f;
        if (need > *Fs) *Fs = need;
      }
    }
  }
  const double vel = *v;
  const bool forward = vel > 0 || (vel == 0 && f > *Fs);
  const bool backward = vel < 0 || (vel == 0 && -f > *Fs);
  if (!held) {
    *state = forward ? 1 : backward ? -1 : 0;
    int zero = 0;
    disloc_(&zero);
  } else {
    int changed = (*state == 1 && !forward) || (*state == -1 && !backward) ||
                  (*state == 0 && (forward || backward));
    disloc_(&changed);
  }
  if (*state == 1)
    *acc = perMass(f - *Fc - *visc * vel - *quad * vel * vel - vel * *dm);
  else if (*state == -1)
    *acc = perMass(f + *Fc - *visc * vel + *quad * vel * vel - vel * *dm);
  else
    *acc = 0.0;
}

}  // extern "C"
