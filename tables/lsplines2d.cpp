// 2-D bilinear splines on rectangular grids: per-side out-of-range codes,
// cyclic axes, held intervals while regions are held, partial derivatives
// and in-place change of grid values.
#include <algorithm>
#include <limits>
#include <new>

#include "tables/kiv_splines.h"
#include "tables/splines1d.hpp"

namespace {

using kiv::sp1::validMemory;

struct Axis {
  std::vector<double> at;  // increasing
  double period = 0.0;
  int lo = 2, hi = 2;  // codes below and above
  int n() const { return static_cast<int>(at.size()); }
  bool cyclic() const { return lo == 3; }
};

struct BilinearSpline {
  Axis axis[2];
  std::vector<double> z;          // z(x1[i], x2[j]) at i * ny + j
  std::vector<double> slopes[2];  // cell slopes along x1, x2 (ComputeSlopes2d)
  int vmem[2] = {-2, -2}, dmem[2] = {-2, -2};
  double at(int i, int j) const {
    return z[static_cast<size_t>(i) * static_cast<size_t>(axis[1].n()) + static_cast<size_t>(j)];
  }
};

kiv::sp1::Registry<BilinearSpline> g_reg;

void AtEnd(int, int) { FreeLinearSplineSpace2d(); }

BilinearSpline &Live(int id, const char *who) {
  if (!g_reg.inRange(id)) {
    kivfprintf(stderr, "\n\nCall to %s with invalid index %d\n", who, id);
    kivfprintf(stderr, "Terminating program.\n\n");
    KivExit(1);
  }
  return g_reg.items[static_cast<size_t>(id)];
}

// Where a coordinate falls along one axis: its cell, the fraction across it
// and whether the end value is held there (no change along the axis).
struct Along {
  int cell;
  double t, h;
  bool held;
};

Along Place(const Axis &a, int i, double x) {
  const int n = a.n();
  Along r{i, 0.0, 0.0, false};
  double v = x;
  if (i <= -1) {
    r.cell = 0;
    r.held = a.lo != 1;
    if (r.held) v = a.at[0];
  } else if (i >= n - 1) {
    r.cell = n - 2;
    r.held = a.hi != 1;
    if (r.held) v = a.at[static_cast<size_t>(n - 1)];
  }
  const size_t c = static_cast<size_t>(r.cell);
  r.h = a.at[c + 1] - a.at[c];
  r.t = (v - a.at[c]) / r.h;
  return r;
}

enum What { kValue = 0, kAlongX1 = 1, kAlongX2 = 2 };

// The intervals to use at (x1, x2), searched afresh; with disc 1 the
// remembered pair is held while the runtime holds regions (moves reported,
// held cyclic axes continued across their seam), else it takes the new pair.
double Evaluate(BilinearSpline &s, double x1, double x2, int disc, int mem[2], What what) {
  double x[2] = {x1, x2};
  int i[2];
  for (int k = 0; k < 2; ++k) {
    const Axis &a = s.axis[k];
    double turns = 0;
    if (a.cyclic()) x[k] = kiv::sp1::foldOnAxis(x[k], a.at[0], a.at.back(), turns);
    i[k] = kiv::interp::bisect(x[k], a.at.data(), a.n());
  }
  if (disc == 1) {
    if (getofg_() != 0 && validMemory(mem[0], s.axis[0].n()) &&
        validMemory(mem[1], s.axis[1].n())) {
      for (int k = 0; k < 2; ++k) {
        if (i[k] == mem[k]) continue;
        kiv::sp1::reportCrossing();
        const Axis &a = s.axis[k];
        if (a.cyclic()) x[k] += kiv::sp1::seamShift(mem[k], i[k], a.n() - 2) * a.period;
        i[k] = mem[k];
      }
    } else {
      mem[0] = i[0];
      mem[1] = i[1];
    }
  }
  // A coordinate that is no number (a cyclic one at infinity too) gives no
  // value and no slope, whichever cell it was put in.
  if (std::isnan(x[0]) || std::isnan(x[1])) return std::numeric_limits<double>::quiet_NaN();
  const Along u = Place(s.axis[0], i[0], x[0]), v = Place(s.axis[1], i[1], x[1]);
  const double z00 = s.at(u.cell, v.cell), z10 = s.at(u.cell + 1, v.cell),
               z01 = s.at(u.cell, v.cell + 1), z11 = s.at(u.cell + 1, v.cell + 1);
  if (what == kAlongX1) return u.held ? 0.0 : ((1.0 - v.t) * (z10 - z00) + v.t * (z11 - z01)) / u.h;
  if (what == kAlongX2) return v.held ? 0.0 : ((1.0 - u.t) * (z01 - z00) + u.t * (z11 - z10)) / v.h;
  return (1.0 - u.t) * (1.0 - v.t) * z00 + u.t * (1.0 - v.t) * z10 + (1.0 - u.t) * v.t * z01 +
         u.t * v.t * z11;
}

bool CheckCodes(int a, int b, const char *side) {
  if (a >= 1 && a <= 3 && b >= 1 && b <= 3) return true;
  kivfprintf(stderr, "\n\nFor 2D linear splines the %s data", side);
  kivfprintf(stderr, " out of range indicator must be 1 or 3.\n\n");
  return false;
}

}  // namespace

extern "C" {

int lsplini2_(const int *nx, const int *ny, const double *x1, const double *x2, const double *z,
              const int *x1_left, const int *x1_right, const int *x2_left, const int *x2_right) {
  if (!nx || !ny || !x1 || !x2 || !z || !x1_left || !x1_right || !x2_left || !x2_right) {
    kivfprintf(stderr, "\n\nCall to lsplini2 with a missing argument.\n");
    return -1;
  }
  const int n1 = *nx, n2 = *ny;
  if (n1 < 2 || n2 < 2) {
    kivfprintf(stderr, "\n\nFor 2D linear splines there must be");
    kivfprintf(stderr, " at least 2 data points in each direction.\n\n");
    return -1;
  }
  static const char who[] = "\n\nFor 2D linear splines";
  const long total = static_cast<long>(n1) * n2;
  if (kiv::sp1::refuseBad(who, "x", x1, n1) || kiv::sp1::refuseBad(who, "y", x2, n2) ||
      kiv::sp1::refuseBad(who, "z", z, total))
    return -1;
  int up1 = 1, up2 = 1;
  if (kiv::sp1::refuseNonMonotonic(who, "x", x1, n1, up1) ||
      kiv::sp1::refuseNonMonotonic(who, "y", x2, n2, up2))
    return -1;
  if (!CheckCodes(*x1_left, *x2_left, "left-hand") ||
      !CheckCodes(*x1_right, *x2_right, "right-hand"))
    return -1;
  auto in = [&](int i, int j) { return z[i + static_cast<long>(j) * n1]; };
  if (*x1_left == 3)
    for (int j = 0; j < n2; ++j)
      if (in(0, j) != in(n1 - 1, j)) {
        kivfprintf(stderr, "\n\nFor cyclic 2D linear splines, the first and");
        kivfprintf(stderr, " the last x1 values must be the same\n");
        kivfprintf(stderr, "Check the %d column of z values\n", j + 1);
        return -1;
      }
  if (*x2_left == 3)
    for (int i = 0; i < n1; ++i)
      if (in(i, 0) != in(i, n2 - 1)) {
        kivfprintf(stderr, "\n\nFor cyclic 2D linear splines, the first and");
        kivfprintf(stderr, " the last x2 values must be the same\n");
        kivfprintf(stderr, "Check the %d row of z values\n", i + 1);
        return -1;
      }
  kiv::guardAllocation("CreateLinearSplineSpace2d", [&] {
    BilinearSpline s;
    const double *src[2] = {x1, x2};
    const int n[2] = {n1, n2}, lo[2] = {*x1_left, *x2_left}, hi[2] = {*x1_right, *x2_right};
    const bool up[2] = {up1 != 0, up2 != 0};
    for (int k = 0; k < 2; ++k) {
      Axis &a = s.axis[k];
      a.at.assign(src[k], src[k] + n[k]);
      if (!up[k]) std::reverse(a.at.begin(), a.at.end());
      a.period = a.at.back() - a.at.front();
      a.lo = lo[k];
      a.hi = hi[k];
    }
    s.z.resize(static_cast<size_t>(total));
    for (int i = 0; i < n1; ++i)
      for (int j = 0; j < n2; ++j)
        s.z[static_cast<size_t>(i) * static_cast<size_t>(n2) + static_cast<size_t>(j)] =
            in(up[0] ? i : n1 - 1 - i, up[1] ? j : n2 - 1 - j);
    g_reg.items.push_back(std::move(s));
  });
  g_reg.hook(&AtEnd);
  return g_reg.count() - 1;
}

double getlspl2_(const int *id, const double *x1, const double *x2, const int *disc) {
  return kiv::sp1::BilinearValue(*id, *x1, *x2, *disc);
}

double getlspdx_(const int *id, const double *x1, const double *x2, const int *disc) {
  return kiv::sp1::BilinearSlope(*id, 1, *x1, *x2, *disc);
}

double getlspdy_(const int *id, const double *x1, const double *x2, const int *disc) {
  return kiv::sp1::BilinearSlope(*id, 2, *x1, *x2, *disc);
}

void setlspl2point_(const int *id, int i, int j, double value) {
  BilinearSpline &s = Live(*id, "setlspl2point_");
  if (i < 0 || i >= s.axis[0].n() || j < 0 || j >= s.axis[1].n() || !std::isfinite(value)) {
    kivfprintf(stderr, "\n\nCall to setlspl2point_ with invalid point (%d, %d) or value %g\n", i, j,
               value);
    kivfprintf(stderr, "Terminating program.\n\n");
    KivExit(1);
  }
  s.z[static_cast<size_t>(i) * static_cast<size_t>(s.axis[1].n()) + static_cast<size_t>(j)] = value;
}

void ComputeSlopes2d(const int *id, int direction) {
  BilinearSpline &s = Live(*id, "ComputeSlopes2d");
  if (direction != 1 && direction != 2) {
    kivfprintf(stderr, "\n\nFor 2D linear splines the derivation");
    kivfprintf(stderr, " direction must be 1 or 2.\n\n");
    KivExit(1);
  }
  const int nx = s.axis[0].n(), ny = s.axis[1].n();
  const int di = direction == 1 ? 1 : 0, dj = 1 - di;
  const Axis &a = s.axis[direction - 1];
  std::vector<double> &out = s.slopes[direction - 1];
  kiv::guardAllocation("ComputeSlopes2d",
                       [&] { out.resize(static_cast<size_t>(nx - di) * static_cast<size_t>(ny - dj)); });
  // Row i of the table holds the cells of x1 line i, as the grid does.
  size_t w = 0;
  for (int i = 0; i < nx - di; ++i)
    for (int j = 0; j < ny - dj; ++j) {
      const double h =
          a.at[static_cast<size_t>(di ? i : j) + 1] - a.at[static_cast<size_t>(di ? i : j)];
      out[w++] = (s.at(i + di, j + dj) - s.at(i, j)) / h;
    }
}

void FreeLinearSplineSpace2d(void) { g_reg.clear(); }

}  // extern "C"

namespace kiv::sp1 {

double BilinearValue(int id, double x1, double x2, int disc) {
  BilinearSpline &s = Live(id, "getlspl2_");
  return Evaluate(s, x1, x2, disc, s.vmem, kValue);
}

double BilinearSlope(int id, int axis, double x1, double x2, int disc) {
  BilinearSpline &s = Live(id, axis == 1 ? "getlspdx_" : "getlsp2d_");
  return Evaluate(s, x1, x2, disc, s.dmem, axis == 1 ? kAlongX1 : kAlongX2);
}

}  // namespace kiv::sp1
