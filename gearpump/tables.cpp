// Tables by shaft angle of the gear pump.
#include "gearpump/tables.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "gearpump/pelem.hpp"
#include "hydraulics/kiv_hydlaws.h"
#include "runtime/kiv_runtime.h"
#include "tables/kiv_splinend.h"

namespace kiv::egp {

namespace {

constexpr int kPasses = 25, kWindow = 25;
constexpr int kCyclic = 3;

size_t Z(int k) { return static_cast<size_t>(k); }

// A curve copied into malloc'd arrays, as the smoothing filter wants them
// (it may hand back new ones); freed on every path.
struct FilterCurve {
  double *x = nullptr, *y = nullptr;
  FilterCurve(const double *ax, const double *ay, int n) {
    const size_t bytes = sizeof(double) * Z(n);
    x = static_cast<double *>(std::malloc(bytes));
    y = static_cast<double *>(std::malloc(bytes));
    if (!x || !y) {
      std::free(x);
      std::free(y);
      MemoryError("egp_smooth");
    }
    std::memcpy(x, ax, bytes);
    std::memcpy(y, ay, bytes);
  }
  ~FilterCurve() {
    std::free(x);
    std::free(y);
  }
  FilterCurve(const FilterCurve &) = delete;
  FilterCurve &operator=(const FilterCurve &) = delete;
};

// The set-up's smoothing: 25 passes of a 25-point window, n samples in and
// out.  false when the filter refuses the curve.
bool Smooth(FilterCurve &c, int n, int linear, int method, int code) {
  int codes[2] = {code, code}, option = 0, window = kWindow, nin = n, nout = n;
  for (int p = 0; p < kPasses; ++p)
    if (savitzkygolay_filter_(&linear, &method, &nin, &nout, codes, &option, &window, &c.x, &c.y))
      return false;
  return true;
}

// One 1-D cubic table over (x, y), n samples; its id or -1.
int Spline(const double *x, const double *y, int n, int method, int code) {
  const int codes[2] = {code, code}, ext[2] = {1, 1};
  const double ends[2] = {0.0, 0.0};
  double *axes[1] = {const_cast<double *>(x)};
  return kiv::nd::CreateCubicND(method, 1, &n, axes, y, codes, ends, ext, 0);
}

// A table of the first n samples of y.  A cyclic table repeats its first
// value at the end: the curves are periodic by construction, and a rounding
// difference must not make the creation fail.
int Table(const double *x, const Curve &y, int n, int method, int code) {
  if (!x || n < 2 || y.size() < Z(n)) return -1;
  if (code != kCyclic) return Spline(x, y.data(), n, method, code);
  Curve v(y.begin(), y.begin() + n);
  v[Z(n - 1)] = v[0];
  return Spline(x, v.data(), n, method, code);
}

// The chamber tables' smoothing of a periodic curve: its even axis and
// values, or false.
bool SmoothCyclic(const double *x, const Curve &y, int n, int smooth_method, Curve &sx, Curve &sy) {
  if (!x || n < 2 || y.size() < Z(n)) return false;
  FilterCurve c(x, y.data(), n);
  c.y[n - 1] = c.y[0];
  const int cubic = 2;
  if (!Smooth(c, n, cubic, smooth_method, kCyclic)) return false;
  sx.assign(c.x, c.x + n);
  sy.assign(c.y, c.y + n);
  return true;
}

int SmoothedCyclicTable(const double *x, const Curve &y, int n, int smooth_method, int method) {
  Curve sx, sy;
  if (!SmoothCyclic(x, y, n, smooth_method, sx, sy)) return -1;
  return Table(sx.data(), sy, n, method, kCyclic);
}

// Runs make(k) for the selected columns into ids[k]; -1 at the first
// failure.
template <class F>
int EachColumn(int count, int index, int *ids, F make) {
  const int lo = index < 0 ? 0 : index, hi = index < 0 ? count : index + 1;
  if (!ids || hi > count) return -1;
  for (int k = lo; k < hi; ++k)
    if ((ids[k] = make(k)) < 0) return -1;
  return 0;
}

// Angle where the segment a..b reaches aref, kept inside the segment; the
// segment end when its two samples are equal.
double Crossing(const double *x, const double *y, int a, int b, double aref) {
  if (y[b] == y[a]) return x[b];
  const double t = std::clamp((aref - y[a]) / (y[b] - y[a]), 0.0, 1.0);
  return x[a] + t * (x[b] - x[a]);
}

bool ColumnsFit(const Curve *cols, int ncol, int n) {
  for (int c = 0; c < ncol; ++c)
    if (cols[c].size() < Z(n)) return false;
  return true;
}

double Mean(const Curve &c, int n) {
  double s = 0.0;
  for (int k = 0; k + 1 < n; ++k) s += c[Z(k)];
  return s / (n - 1);
}

// One gear's cavities as the run reads them: z copies of the middle
// cavity's table, a pitch apart, and the sweep's raw curve of that cavity.
struct CavitySet {
  int id = -1, z = 0, m = 0;
  const Curve *raw = nullptr, *tx = nullptr, *ty = nullptr;
  bool usable(int n) const {
    return id >= 0 && z > 0 && raw && raw->size() >= Z(n) && tx && ty && !ty->empty() &&
           tx->size() == ty->size();
  }
  double angle(double theta, int j) const { return egp_modulo_deg(theta - (j - m) * 360.0 / z); }
  // Where the cavity is smallest: before it the cavity gives fluid to the
  // outlet side, after it it takes from the inlet side.
  double smallest() const {
    return (*tx)[Z(std::min_element(ty->begin(), ty->end()) - ty->begin())];
  }
};

// The chamber tables A10..A13 (ids[0..3]) from the raw meshing-region
// curves, smoothed on their cyclic axis.  The raw curves and the raw cavity
// areas partition the fluid space between the gears: their sum is the
// same at every angle.  The cavity tables are smoothed and trimmed their
// own way, so the chamber curves smoothed alone no longer add up with
// them; the difference would appear as fluid made and destroyed once a
// turn per tooth.  Each cavity's share of that difference (its curve
// smoothed as the chambers are, less its table) goes to the chamber on its
// side of the mesh: the outlet while it shrinks, the inlet once it grows.
// That share vanishes where the cavity is smallest, so no chamber curve
// jumps.  What is left (rounding, and the reads between samples when a
// pitch is no whole number of steps) is split evenly.  The second areas keep
// their smoothing; the first areas carry the shares, tabulated kRefine
// times finer than the sweep so that they follow the sharp bends where the
// cavity tables leave the full area, between the sweep's samples too.
constexpr int kRefine = 4;

bool ChamberTables(const std::array<const Curve *, 4> &raw, const CavitySet (&gears)[2], int n,
                   const double *axis, int smooth_method, int method, int *ids) {
  Curve sx, s[4];
  for (size_t c = 0; c < 4; ++c)
    if (!SmoothCyclic(axis, *raw[c], n, smooth_method, sx, s[c])) return false;
  for (size_t c = 0; c < 4; ++c)
    if ((ids[c] = Table(sx.data(), s[c], n, method, kCyclic)) < 0) return false;
  if (!gears[0].usable(n) || !gears[1].usable(n)) return true;

  double total = 0.0;
  for (size_t c = 0; c < 4; ++c) total += (c % 2 ? -1.0 : 1.0) * Mean(*raw[c], n);
  SplineOwner smoothed[2], first[2];
  double least[2];
  for (size_t g = 0; g < 2; ++g) {
    const CavitySet &cs = gears[g];
    total += cs.z * Mean(*cs.raw, n);
    smoothed[g].id = SmoothedCyclicTable(axis, *cs.raw, n, smooth_method, method);
    if (smoothed[g].id < 0) return false;
    least[g] = cs.smallest();
  }
  // The first areas as smoothed alone, read on the finer axis.
  first[0].id = std::exchange(ids[0], -1);
  first[1].id = std::exchange(ids[2], -1);
  const int nf = (n - 1) * kRefine + 1;
  Curve fx(Z(nf)), a10(Z(nf)), a12(Z(nf));
  nd::Memory mem[8];
  auto at = [&](int id, double x, nd::Memory &m) { return nd::SplineEvalAt(id, &x, 0, 1, m); };
  for (int k = 0; k < nf; ++k) {
    const int c = std::min(k / kRefine, n - 2), q = k - c * kRefine;
    const double x = sx[Z(c)] + q * (sx[Z(c) + 1] - sx[Z(c)]) / kRefine;
    double tables = 0.0, share[2] = {0.0, 0.0};
    for (size_t g = 0; g < 2; ++g)
      for (int j = 0; j < gears[g].z; ++j) {
        const double a = gears[g].angle(x, j);
        const double t = at(gears[g].id, a, mem[g]);
        tables += t;
        share[a < least[g] ? 0 : 1] += at(smoothed[g].id, a, mem[2 + g]) - t;
      }
    const double v[4] = {at(first[0].id, x, mem[4]), at(ids[1], x, mem[5]),
                         at(first[1].id, x, mem[6]), at(ids[3], x, mem[7])};
    const double rest = total - tables - share[0] - share[1] - (v[0] - v[1] + v[2] - v[3]);
    fx[Z(k)] = x;
    a10[Z(k)] = v[0] + share[0] + 0.5 * rest;
    a12[Z(k)] = v[2] + share[1] + 0.5 * rest;
  }
  ids[0] = Table(fx.data(), a10, nf, method, kCyclic);
  ids[2] = Table(fx.data(), a12, nf, method, kCyclic);
  return ids[0] >= 0 && ids[2] >= 0;
}

}  // namespace

SplineOwner::~SplineOwner() {
  if (id >= 0) kiv::nd::FreeSpline(id);
}

double egp_step_of_ppd(int ppd) {
  static constexpr double kStep[10] = {1, 0.5, 0, 0.25, 0.2, 0, 0, 0.125, 0, 0.1};
  return ppd >= 1 && ppd <= 10 ? kStep[ppd - 1] : 0.0;
}

int egp_init_table(int count, int index, int *ids, int n, const double *axis, const Curve *columns,
                   int kind, int smooth_method, int kind5_method) {
  return EachColumn(count, index, ids, [&](int k) {
    return kind == 5 ? SmoothedCyclicTable(axis, columns[k], n, smooth_method, kind5_method)
                     : Table(axis, columns[k], n, kind, kCyclic);
  });
}

int egp_init_table_bcond(int count, int index, int *ids, const Curve *axes, const Curve *values,
                         const int *counts, int method, int boundary) {
  return EachColumn(count, index, ids, [&](int k) {
    const int n = counts[k];
    if (axes[k].size() < Z(std::max(n, 0))) return -1;
    return Table(axes[k].data(), values[k], n, method, boundary);
  });
}

int egp_pump_data_cav_vol(int gear_definition, int cav, int i0, int i1, double x0, double x1,
                          double aref, int n, int ppd, const double *axis, const double *curve,
                          CavityCurves &out_x, CavityCurves &out_y, std::vector<int> &out_n) {
  if (cav < 0 || Z(cav) >= std::min({out_x.size(), out_y.size(), out_n.size()})) return -1;
  if (i0 < 0 || i1 <= i0 || i1 >= n) return -1;
  FilterCurve c(axis, curve, n);
  const int linear = 1, extrapolate = 1;
  if (!Smooth(c, n, linear, 1, extrapolate)) return -1;
  const double *x = c.x, *y = c.y;
  const double dx = egp_step_of_ppd(ppd);

  // Start side: either the run starts below aref (moved back by the
  // samples below it before i0), or it starts where the area first dips.
  bool counted = aref > y[i0];
  int nb = 0, k = i0, cs, ce;
  double xs, xe;
  if (counted) {
    for (int j = i0 - 1; j >= 0 && y[j] < aref; --j) ++nb;
    xs = x0 - 0.7 * nb * dx;
    cs = static_cast<int>(0.7 * nb * dx);
  } else {
    while (k <= i1 && !(y[k] < aref)) ++k;
    if (k > i1) return -1;
    cs = k - i0 + 1;
    xs = Crossing(x, y, k - 1, k, aref);
  }
  // End side: mirrored for gears of one rack, measured otherwise.
  if (gear_definition == 1 || gear_definition == -1) {
    ce = cs;
    if (counted) {
      xe = x1 + 0.7 * nb * dx;
    } else {
      const int b = i1 + (i0 - k);
      if (b < 1) return -1;
      xe = Crossing(x, y, b - 1, b, aref);
    }
  } else if (aref > y[i1]) {
    int ne = 0;
    for (int j = i1 + 1; j < n && y[j] < aref; ++j) ++ne;
    xe = x1 + 0.7 * ne * dx;
    ce = static_cast<int>(0.7 * ne * dx);
  } else {
    int l = i1;
    while (l >= i0 && !(y[l] < aref)) --l;
    if (l < i0) return -1;
    ce = i1 - l + 1;
    xe = Crossing(x, y, l, l + 1, aref);
  }
  const int kept = (i1 - i0 + 1) - cs - ce;
  if (kept < 0 || !(xs < xe)) return -1;

  // Samples that a clamped crossing reaches are dropped, so the axis stays
  // strictly increasing.
  Curve ox{xs}, oy{aref};
  for (int j = i0 + cs; j < i0 + cs + kept; ++j)
    if (x[j] > ox.back() && x[j] < xe) {
      ox.push_back(x[j]);
      oy.push_back(y[j]);
    }
  ox.push_back(xe);
  oy.push_back(aref);
  out_n[Z(cav)] = static_cast<int>(ox.size());
  out_x[Z(cav)] = std::move(ox);
  out_y[Z(cav)] = std::move(oy);
  return 0;
}

int egp_setup_force_data_border(int n, double dx, int i0, int i1, double xa, double xb, double xm,
                                const double *va, const double *vb, const double *vm, int ncol,
                                const double *axis, Curve &out_x, Curve *cols) {
  if (i0 < 1 || i1 < i0 || i1 > n - 2 || !ColumnsFit(cols, ncol, n)) return -1;
  auto emit = [&](const double *src, double a, double m, double b) {
    Curve out(src, src + i0);
    out.insert(out.end(), {a, m, b});
    out.insert(out.end(), src + i1 + 1, src + n - 1);
    return out;
  };
  Curve nx = emit(axis, xa, xm, xb);
  nx.push_back((n - 1) * dx);
  for (int c = 0; c < ncol; ++c) {
    Curve y = emit(cols[c].data(), va[c], vm[c], vb[c]);
    const double first = y.front();
    y.push_back(first);
    cols[c] = std::move(y);
  }
  out_x = std::move(nx);
  return 0;
}

int egp_setup_force_data_center(int n, double dx, int i0, int i1, double xa, double xb,
                                const double *va, const double *vb, int closing, int ncol,
                                const double *axis, Curve &out_x, Curve *cols) {
  if (i0 < 1 || i1 < i0 || i1 > n - 2 || !ColumnsFit(cols, ncol, n)) return -1;
  // An end is inserted inside its gap only, and not next to a sample.
  const double tol = dx / 100.0;
  auto fits = [&](double at, int lo, int hi, int near) {
    return at > axis[lo] && at < axis[hi] && std::fabs(at - axis[near]) > tol &&
           std::fabs(at - axis[near + 1]) > tol;
  };
  const bool with_a = fits(xa, i0 - 1, i0, i0 - 1);
  const bool with_b = fits(xb, i1, i1 + 1, i1 - 1);
  auto emit = [&](const double *src, double a, double b) {
    Curve out(src, src + i0);
    if (with_a) out.push_back(a);
    out.insert(out.end(), src + i0, src + i1 + 1);
    if (with_b) out.push_back(b);
    out.insert(out.end(), src + i1 + 1, src + n - 1);
    return out;
  };
  Curve nx = emit(axis, xa, xb);
  nx.push_back((n - 1) * dx);
  for (int c = 0; c < ncol; ++c) {
    Curve y = emit(cols[c].data(), va[c], vb[c]);
    const double close = closing == 0 ? y.front() : y.back();
    y.push_back(close);
    cols[c] = std::move(y);
  }
  out_x = std::move(nx);
  return 0;
}

int egp_pump_data_init_tables(const egp_pump_data &w, int m1, int m2, int n, const double *axis,
                              const egp_force_axes &force, egp_instance &inst) {
  const int z1 = inst.z1, z2 = inst.z2;
  if (m1 < 0 || m1 >= z1 || m2 < 0 || m2 >= z2 || !force.drv_border || !force.drv_center ||
      !force.drn_border || !force.drn_center)
    return -1;
  auto ids = [&](int s) { return inst.slot[Z(s)].data(); };
  // Per-cavity curves must reach the middle cavity.
  auto has = [](const auto &per, int m) { return Z(m) < per.size(); };
  auto onMain = [&](int s, const CavityCurves &c, int z, int m) {
    return has(c, m) && egp_init_table(z, m, ids(s), n, axis, c.data(), 4, 0, 0) == 0;
  };
  auto own = [&](int s, const CavityCurves &x, const CavityCurves &y, const std::vector<int> &cnt,
                 int z, int m, int method, int code) {
    return has(x, m) && has(y, m) && has(cnt, m) &&
           egp_init_table_bcond(z, m, ids(s), x.data(), y.data(), cnt.data(), method, code) == 0;
  };
  // Border (cyclic, border axis), then centre values 1..4 on the centre
  // axis and 5..8 on the main axis.
  auto forces = [&](int s, const std::array<CavityCurves, 4> &border,
                    const std::array<CavityCurves, 8> &center, const Curve &bx, const Curve &cx,
                    int z, int m) {
    const int nb = static_cast<int>(bx.size()), nc = static_cast<int>(cx.size());
    for (int f = 0; f < 4; ++f)
      if (!has(border[Z(f)], m) ||
          egp_init_table(z, m, ids(s + f), nb, bx.data(), border[Z(f)].data(), 4, 0, 0))
        return false;
    for (int f = 0; f < 8; ++f) {
      if (!has(center[Z(f)], m)) return false;
      const Curve &y = center[Z(f)][Z(m)];
      int &id = inst.id(s + 4 + f, m);
      id = f < 4 ? Table(cx.data(), y, nc, 4, 1) : Table(axis, y, n, 4, 1);
      if (id < 0) return false;
    }
    return true;
  };
  auto chamber = [&](int s, const Curve &x, const std::array<Curve, 8> &cols) {
    const int nx = static_cast<int>(x.size());
    for (int f = 0; f < 8; ++f)
      if (egp_init_table(1, -1, ids(s + f), nx, x.data(), &cols[Z(f)], 4, 0, 0)) return false;
    return true;
  };
  auto chambersByAngle = [&] {
    const CavitySet cavities[2] = {
        {inst.id(14, m1), z1, m1, has(w.drv_area_cav, m1) ? &w.drv_area_cav[Z(m1)] : nullptr,
         has(w.drv_vol_x, m1) ? &w.drv_vol_x[Z(m1)] : nullptr,
         has(w.drv_vol_y, m1) ? &w.drv_vol_y[Z(m1)] : nullptr},
        {inst.id(15, m2), z2, m2, has(w.drn_area_cav, m2) ? &w.drn_area_cav[Z(m2)] : nullptr,
         has(w.drn_vol_x, m2) ? &w.drn_vol_x[Z(m2)] : nullptr,
         has(w.drn_vol_y, m2) ? &w.drn_vol_y[Z(m2)] : nullptr}};
    int chamberIds[4] = {-1, -1, -1, -1};
    const bool made = ChamberTables({&w.out_area1, &w.out_area2, &w.inl_area1, &w.inl_area2},
                                    cavities, n, axis, 4, 4, chamberIds);
    for (int c = 0; c < 4; ++c) inst.id(10 + c) = chamberIds[c];
    return made;
  };

  const bool ok =
      onMain(0, w.drv_len_out, z1, m1) && onMain(1, w.drn_len_out, z2, m2) &&
      onMain(2, w.drv_len_inl, z1, m1) && onMain(3, w.drn_len_inl, z2, m2) &&
      onMain(4, w.drv_area_out, z1, m1) && onMain(5, w.drn_area_out, z2, m2) &&
      onMain(6, w.drv_area_inl, z1, m1) && onMain(7, w.drn_area_inl, z2, m2) &&
      own(8, w.drv_gapo_x, w.drv_gapo, w.drv_gapo_n, z1, m1, 4, 1) &&
      own(9, w.drv_gapn_x, w.drv_gapn, w.drv_gapn_n, z1, m1, 4, 1) &&
      own(14, w.drv_vol_x, w.drv_vol_y, w.drv_vol_n, z1, m1, 1, 2) &&
      own(15, w.drn_vol_x, w.drn_vol_y, w.drn_vol_n, z2, m2, 1, 2) &&
      forces(18, w.drv_border, w.drv_center, *force.drv_border, *force.drv_center, z1, m1) &&
      forces(30, w.drn_border, w.drn_center, *force.drn_border, *force.drn_center, z2, m2) &&
      chambersByAngle() && chamber(42, w.out_a_x, w.out_a) &&
      chamber(50, w.out_b_x, w.out_b) && chamber(58, w.inl_c_x, w.inl_c) &&
      chamber(66, w.inl_d_x, w.inl_d);
  kiv::guardAllocation("egp_pump_data_init_tables", [&] {
    inst.slot[kSlotMarkersDriving].assign(Z(z1), -1);
    inst.slot[kSlotMarkersDriven].assign(Z(z2), -1);
  });
  return ok ? 0 : -1;
}

namespace {

double Read(egp_instance &inst, int s, int elem, int site, double deg, int mode) {
  return nd::SplineEvalAt(inst.id(s, elem), &deg, mode, 1, inst.memory[Z(s)][Z(site)]);
}

}  // namespace

double egp_table_value(egp_instance &inst, int s, int elem, int site, double deg) {
  return Read(inst, s, elem, site, deg, 0);
}

double egp_table_slope(egp_instance &inst, int s, int elem, int site, double deg) {
  return Read(inst, s, elem, site, deg, 1);
}

}  // namespace kiv::egp
