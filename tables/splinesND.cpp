// The N-D spline registry: creation checks and set-up, the public
// evaluation operations with their argument checks, reordering, point
// updates, time axes and freeing.
#include <algorithm>
#include <climits>
#include <cstdarg>
#include <initializer_list>
#include <new>
#include <utility>

#include "tables/kiv_interp.h"
#include "tables/splinend.hpp"

namespace kiv::nd {

namespace {

// Process-wide: every system of the process shares the splines.
std::vector<std::unique_ptr<NDSpline>> g_splines;
bool g_hooked = false;

void FreeAllAtEnd(int, int) { FreeAllNDSplines(); }

}  // namespace

void NDSpline::forget() {
  memory.reset();
  for (int k = 0; k < kMaxDim; ++k) cur[k] = -1;
}

void NDSpline::layout() {
  long st = 1;
  for (int k = 0; k < full_dim; ++k) {
    vstride[k] = st;
    st *= sizes[k];
    const std::vector<double> &a = axes[k];
    scale[k] = a.size() >= 2 ? static_cast<double>(a.size() - 1) / (a.back() - a.front()) : 0.0;
    pstride[k] = 1 << (2 * k);
  }
  corners = 1 << dim;
  for (int c = 0; c < corners; ++c) {
    long off = 0;
    for (int k = 0; k < dim; ++k)
      if (c >> k & 1) off += vstride[k];
    coff[c] = off;
  }
}

NDSpline *FindSpline(int id) {
  if (id < 0 || id >= static_cast<int>(g_splines.size())) return nullptr;
  return g_splines[static_cast<size_t>(id)].get();
}

int NumSplines() { return static_cast<int>(g_splines.size()); }

int RegisterSpline(std::unique_ptr<NDSpline> s) {
  size_t slot = 0;
  while (slot < g_splines.size() && g_splines[slot]) ++slot;
  if (slot == g_splines.size()) {
    if (slot >= static_cast<size_t>(INT_MAX)) {
      kivfprintf(stderr, "\n\nUnable to allocate memory space for spline.\n");
      return -1;
    }
    try {
      g_splines.emplace_back();
    } catch (const std::bad_alloc &) {
      kivfprintf(stderr, "\n\nUnable to allocate memory space for spline.\n");
      return -1;
    }
  }
  if (!g_hooked) {
    KivInstallAtEnd(&FreeAllAtEnd, 0);
    g_hooked = true;
  }
  s->id = static_cast<int>(slot);
  g_splines[slot] = std::move(s);
  return static_cast<int>(slot);
}

void ReorderSplineAxes(NDSpline &s, const int *perm) {
  const int fd = s.full_dim;
  bool identity = true;
  for (int k = 0; k < fd; ++k) identity = identity && perm[k] == k;
  int pivot[kMaxDim], codes[2 * kMaxDim], ext[2 * kMaxDim], time[kMaxDim], state[kMaxDim],
      sizes[kMaxDim];
  for (int k = 0; k < fd; ++k) {
    const int o = perm[k];
    pivot[k] = s.pivot[o];
    codes[2 * k] = s.codes[2 * o];
    codes[2 * k + 1] = s.codes[2 * o + 1];
    ext[2 * k] = s.ext[2 * o];
    ext[2 * k + 1] = s.ext[2 * o + 1];
    time[k] = s.time_axis[o];
    state[k] = s.out_state[o];
    sizes[k] = s.sizes[o];
  }
  for (int k = 0; k < fd; ++k) {
    s.pivot[k] = pivot[k];
    s.ipivot[pivot[k]] = k;
    s.codes[2 * k] = codes[2 * k];
    s.codes[2 * k + 1] = codes[2 * k + 1];
    s.ext[2 * k] = ext[2 * k];
    s.ext[2 * k + 1] = ext[2 * k + 1];
    s.time_axis[k] = time[k];
    s.out_state[k] = state[k];
  }
  if (!identity) {
    // Value at new multi-index j: old value where old axis perm[k] has j[k].
    const long n = s.points();
    std::vector<double> moved(static_cast<size_t>(n));
    long old_stride[kMaxDim];
    for (int k = 0; k < fd; ++k) old_stride[k] = s.vstride[perm[k]];
    int idx[kMaxDim] = {};
    long src = 0;
    for (long p = 0; p < n; ++p) {
      moved[static_cast<size_t>(p)] = s.values[static_cast<size_t>(src)];
      for (int k = 0; k < fd; ++k) {
        src += old_stride[k];
        if (++idx[k] < sizes[k]) break;
        src -= old_stride[k] * idx[k];
        idx[k] = 0;
      }
    }
    s.values.swap(moved);
    std::vector<double> axes[kMaxDim];
    for (int k = 0; k < fd; ++k) axes[k].swap(s.axes[perm[k]]);
    for (int k = 0; k < fd; ++k) {
      s.axes[k].swap(axes[k]);
      s.sizes[k] = sizes[k];
    }
  }
  s.layout();
}

}  // namespace kiv::nd

using kiv::nd::FindSpline;
using kiv::nd::kMaxDim;
using kiv::nd::NDSpline;

namespace {

struct Pivot {
  int perm[kMaxDim];
  int moves = 0;
  int eff = 1;
};

// Single-point axes go behind the others (the last axis never moves); the
// effective dimension counts the leading axes of two or more points.
Pivot CreatePivotForSingletons(const int *sizes, int dim) {
  Pivot p;
  for (int k = 0; k < dim; ++k) p.perm[k] = k;
  for (int k = dim - 2; k >= 0; --k) {
    if (sizes[p.perm[k]] >= 2) continue;
    const int ax = p.perm[k];
    for (int j = k; j < dim - 1; ++j) p.perm[j] = p.perm[j + 1];
    p.perm[dim - 1] = ax;
    ++p.moves;
  }
  int eff = 0;
  while (eff < dim && sizes[p.perm[eff]] >= 2) ++eff;
  p.eff = eff < 1 ? 1 : eff;
  return p;
}

void NoMemory() { kivfprintf(stderr, "\n\nUnable to allocate memory space for spline.\n"); }

bool CheckDim(int dim, const char *who) {
  if (dim < 1) {
    kivfprintf(stderr, "\nThe dimension of splines must be strictly positive.\n");
    return false;
  }
  if (dim > kMaxDim) {
    kivfprintf(stderr, "\n\nCall to %s with dim=%d.", who, dim);
    kivfprintf(stderr, "\nMaximum dimension is %d.\n", kMaxDim);
    return false;
  }
  return true;
}

// Every axis needs `need` points (an empty axis would leave no table).
bool CheckSizes(const int *sizes, int dim, const Pivot *pv, int need, const char *what) {
  for (int k = 0; k < dim; ++k) {
    const bool effective = pv && k < pv->eff;
    const int n = effective ? sizes[pv->perm[k]] : sizes[k];
    if (n < (effective ? need : 1)) {
      kivfprintf(stderr, "\n\n%s interpolation requires at least %d data points in each direction.\n",
                 what, need);
      kivfprintf(stderr, "Please check axis %d.\n\n", k + 1);
      return false;
    }
  }
  return true;
}

// Reverses the values along axis k.
void ReverseAlong(NDSpline &s, int k) {
  const long st = s.vstride[k];
  const int m = s.sizes[k];
  kiv::nd::ForEachPoint(s, [&](long p, const int *idx) {
    if (idx[k] != 0) return;
    for (int i = 0, j = m - 1; i < j; ++i, --j)
      std::swap(s.values[static_cast<size_t>(p + i * st)], s.values[static_cast<size_t>(p + j * st)]);
  });
}

std::unique_ptr<NDSpline> CommonSplinitND(int dim, const int *sizes, double **axes,
                                          const double *values, const int *codes, int disc) {
  if (dim < 1) {
    kivfprintf(stderr, "\nThe dimension of splines must be strictly positive.\n");
    return nullptr;
  }
  if (dim > kMaxDim) {
    kivfprintf(stderr, "\nThe dimension of splines must be lower than %d.\n", kMaxDim);
    return nullptr;
  }
  for (int k = 0; k < dim; ++k)
    for (int side = 0; side < 2; ++side) {
      const int c = codes[2 * k + side];
      if (c < 1 || c > 4) {
        kivfprintf(stderr, "\n\nSpline interpolation requires the boundary condition");
        kivfprintf(stderr, " indicator be in range 1 to 4.\n\n");
        kivfprintf(stderr, "Please check the boundary conditions of axis %d.\n\n", k + 1);
        return nullptr;
      }
    }
  long long total = 1;
  for (int k = 0; k < dim; ++k) {
    total *= sizes[k];
    if (total > INT_MAX) {
      NoMemory();
      return nullptr;
    }
    if (const int bad = ContainsBadNum(sizes[k], axes[k])) {
      kivfprintf(stderr, "\n\nNaN or Inf found in axis data.\n");
      kivfprintf(stderr, "Please check item %d of axis %d.\n\n", bad, k + 1);
      return nullptr;
    }
  }
  if (const int bad = ContainsBadNum(static_cast<int>(total), values)) {
    kivfprintf(stderr, "\n\nNaN or Inf found in table data.\n");
    kivfprintf(stderr, "Please check item %d of table array.\n\n", bad);
    return nullptr;
  }
  int increasing[kMaxDim];
  for (int k = 0; k < dim; ++k) {
    int brk = 0;
    if (!CheckMonotonicity(axes[k], sizes[k], &increasing[k], &brk)) {
      kivfprintf(stderr, "\n\nSpline interpolation requires strictly monotonic x values.\n");
      kivfprintf(stderr, "Please check items %d and %d (resp. %g and %g) of axis %d.\n\n", brk + 1,
                 brk + 2, axes[k][brk], axes[k][brk + 1], k + 1);
      return nullptr;
    }
  }
  std::unique_ptr<NDSpline> s;
  try {
    s = std::make_unique<NDSpline>();
    for (int k = 0; k < dim; ++k) s->axes[k].assign(axes[k], axes[k] + sizes[k]);
    s->values.assign(values, values + total);
  } catch (const std::bad_alloc &) {
    NoMemory();
    return nullptr;
  }
  s->kind = kiv::nd::kLinear;
  s->method = 1;
  s->dim = s->full_dim = dim;
  s->disc = disc;
  for (int k = 0; k < dim; ++k) {
    s->sizes[k] = sizes[k];
    s->codes[2 * k] = codes[2 * k];
    s->codes[2 * k + 1] = codes[2 * k + 1];
    s->pivot[k] = s->ipivot[k] = k;
  }
  s->forget();
  s->layout();
  for (int k = 0; k < dim; ++k)
    if (!increasing[k] && sizes[k] >= 2) {
      std::reverse(s->axes[k].begin(), s->axes[k].end());
      ReverseAlong(*s, k);
    }
  return s;
}

// Drops the axes beyond the effective ones from the evaluation.
void ApplyPivot(NDSpline &s, const Pivot &pv) {
  if (pv.moves) kiv::nd::ReorderSplineAxes(s, pv.perm);
  s.dim = pv.eff;
  s.layout();
}

// One effective axis: points that add nothing are dropped (collinear
// interior points of a linear spline, repeated values of a constant one).
void RefineSpline(NDSpline &s) {
  const int n = s.sizes[0];
  if (n < 3) return;
  const std::vector<double> &x = s.axes[0];
  const std::vector<double> &y = s.values;
  std::vector<char> keep(static_cast<size_t>(n), 1);
  if (s.kind == kiv::nd::kLinear) {
    for (int i = 2; i < n; ++i) {
      const double right = (y[i] - y[i - 1]) / (x[i] - x[i - 1]);
      const double left = (y[i - 1] - y[i - 2]) / (x[i - 1] - x[i - 2]);
      if (right == left) keep[i - 1] = 0;
    }
  } else {
    for (int i = 1; i < n; ++i)
      if (y[i] == y[i - 1]) keep[i] = 0;
    if (s.cyclic(0)) keep[0] = keep[1] = keep[n - 1] = 1;
  }
  int m = 0;
  for (int i = 0; i < n; ++i)
    if (keep[i]) {
      s.axes[0][m] = x[i];
      s.values[m] = y[i];
      ++m;
    }
  s.axes[0].resize(m);
  s.values.resize(m);
  s.sizes[0] = m;
  s.layout();
}

bool Missing(std::initializer_list<const void *> args, const char *who) {
  for (const void *a : args)
    if (!a) {
      kivfprintf(stderr, "\n\nCall to %s with a missing argument.\n", who);
      return true;
    }
  return false;
}

// The axis arrays themselves (dim already checked).
bool MissingAxes(double **axes, int dim, const char *who) {
  for (int k = 0; k < dim; ++k)
    if (!axes[k]) return Missing({nullptr}, who);
  return false;
}

NDSpline *Checked(int id, const char *who) {
  NDSpline *s = FindSpline(id);
  if (!s) kivfprintf(stderr, "\n\nCall to %s with invalid index %d\n", who, id);
  return s;
}
NDSpline *Checked(const int *id, const char *who) { return Checked(*id, who); }

bool BadDirection(const NDSpline &s, const int *dir, const char *who, const char *which) {
  if (*dir >= 1 && *dir <= s.full_dim) return false;
  kivfprintf(stderr, "\n\nCall to %s with invalid %sdirection%s%d\n", who, which,
             *which ? " : " : " ", *dir);
  return true;
}

int Eval(NDSpline &s, const double *x, int mode, const int *dirs, double *out) {
  const double r = kiv::nd::SplineEval(s, x, mode, dirs, s.memory, out);
  if (mode != kiv::nd::kGradient && mode != kiv::nd::kHessian) *out = r;
  return 1;
}

int First(NDSpline &s, const int *dir, const double *x, double *out, const char *who) {
  if (BadDirection(s, dir, who, "")) {
    *out = 0.0;
    return 0;
  }
  return Eval(s, x, kiv::nd::kFirst, dir, out);
}

int Second(NDSpline &s, const int *dirs, const double *x, double *out, const char *who) {
  if (BadDirection(s, &dirs[0], who, "first ") || BadDirection(s, &dirs[1], who, "second ")) {
    *out = 0.0;
    return 0;
  }
  return Eval(s, x, kiv::nd::kSecond, dirs, out);
}

// Coordinates and result pointers passed one by one.
struct Args {
  double x[kMaxDim];
  double *out[kMaxDim * (kMaxDim + 1) / 2];
  int nout;
};

Args TakeArgs(const NDSpline &s, va_list &ap, int nout) {
  Args a;
  for (int k = 0; k < s.full_dim; ++k) a.x[k] = *va_arg(ap, const double *);
  a.nout = nout;
  for (int k = 0; k < nout; ++k) a.out[k] = va_arg(ap, double *);
  return a;
}

// Gradient or Hessian into the separate results.
int Spread(NDSpline &s, int mode, const Args &a) {
  double r[kMaxDim * (kMaxDim + 1) / 2];
  Eval(s, a.x, mode, nullptr, r);
  for (int k = 0; k < a.nout; ++k) *a.out[k] = r[k];
  return 1;
}

}  // namespace

namespace kiv::nd {

int CreateLinearND(int d, const int *sizes, double **axes, const double *values, const int *codes,
                   int disc) {
  if (Missing({sizes, axes, values, codes}, "lsplinitnd")) return -1;
  if (!CheckDim(d, "lsplinitnd") || MissingAxes(axes, d, "lsplinitnd") ||
      !CheckSizes(sizes, d, nullptr, 2, "Linear"))
    return -1;
  const Pivot pv = CreatePivotForSingletons(sizes, d);
  if (!CheckSizes(sizes, d, &pv, 2, "Linear")) return -1;
  auto s = CommonSplinitND(d, sizes, axes, values, codes, disc);
  if (!s) return -1;
  ApplyPivot(*s, pv);
  s->kind = kiv::nd::kLinear;
  if (s->dim == 1) RefineSpline(*s);
  return kiv::nd::RegisterSpline(std::move(s));
}

int CreateConstantND(int d, const int *sizes, double **axes, const double *values, const int *codes,
                     int disc) {
  if (Missing({sizes, axes, values, codes}, "csplinitnd")) return -1;
  if (!CheckDim(d, "csplinitnd") || MissingAxes(axes, d, "csplinitnd") ||
      !CheckSizes(sizes, d, nullptr, 1, "Constant"))
    return -1;
  const Pivot pv = CreatePivotForSingletons(sizes, d);
  int stored[2 * kMaxDim];
  for (int k = 0; k < d; ++k) {
    if (codes[2 * k] < 1 || codes[2 * k] > 2 || codes[2 * k + 1] < 1 || codes[2 * k + 1] > 2) {
      kivfprintf(stderr, "\n\nConstant interpolation requires the boundary condition");
      kivfprintf(stderr, " indicator be in range 1 to 2.\n\n");
      kivfprintf(stderr, "Please check the boundary conditions of axis %d.\n\n", k + 1);
      return -1;
    }
    stored[2 * k] = codes[2 * k] + 1;
    stored[2 * k + 1] = codes[2 * k + 1] + 1;
  }
  auto s = CommonSplinitND(d, sizes, axes, values, stored, disc);
  if (!s) return -1;
  ApplyPivot(*s, pv);
  s->kind = kiv::nd::kConstant;
  if (s->dim == 1) RefineSpline(*s);
  return kiv::nd::RegisterSpline(std::move(s));
}

int CreateCubicND(int method, int d, const int *sizes, double **axes, const double *values,
                  const int *codes, const double *end_slopes, const int *ext_modes, int disc) {
  static const char who[] = "kivsplinitnd";
  if (Missing({sizes, axes, values, codes, ext_modes}, who)) return -1;
  if (!CheckDim(d, who) || MissingAxes(axes, d, who) || !CheckSizes(sizes, d, nullptr, 2, "Cubic"))
    return -1;
  const Pivot pv = CreatePivotForSingletons(sizes, d);
  if (method < 1 || method > 4) {
    kivfprintf(stderr,
               "\n\nCall to kivsplinitnd with invalid coefficient method (%d). This argument "
               "mustbe in range [1,4]\n",
               method);
    return -1;
  }
  if (pv.eff > kiv::nd::kMaxCubicDim) {
    kivfprintf(stderr, "\n\nCall to kivsplinitnd with dim=%d.", d);
    if (pv.eff < d) kivfprintf(stderr, "(simplified to %d).", pv.eff);
    kivfprintf(stderr, "\nMaximum dimension is %d for cubic interpolation.\n",
               kiv::nd::kMaxCubicDim);
    return -1;
  }
  if (!CheckSizes(sizes, d, &pv, 2, "Cubic")) return -1;
  for (int k = 0; k < d; ++k) {
    const int l = ext_modes[2 * k], r = ext_modes[2 * k + 1];
    if (l < 1 || l > 2 || r < 1 || r > 2) {
      kivfprintf(stderr, "\n\nCubic interpolation requires the extrapolation mode");
      kivfprintf(stderr, " indicator be in range 1 to 2.\n\n");
      kivfprintf(stderr, "Please check 'ext_mode' on axis %d.\n\n", k + 1);
      return -1;
    }
  }
  for (int k = 0; k < d; ++k) {
    if ((codes[2 * k] == 4 && ext_modes[2 * k] == 1) ||
        (codes[2 * k + 1] == 4 && ext_modes[2 * k + 1] == 1)) {
      kivfprintf(stderr, "\n\nBoundary condition 'constant y\"' is not compatible with 'linear "
                         "extrapolation' mode.\n\n");
      kivfprintf(stderr, "Please select 'cubic extrapolation' on axis %d.\n\n", k + 1);
      return -1;
    }
  }
  auto s = CommonSplinitND(d, sizes, axes, values, codes, disc);
  if (!s) return -1;
  for (int k = 0; k < d; ++k) {
    if (s->codes[2 * k] != 3 && s->codes[2 * k + 1] != 3) continue;
    s->codes[2 * k] = s->codes[2 * k + 1] = 3;
    const long last = (s->sizes[k] - 1) * s->vstride[k];
    bool same = true;
    kiv::nd::ForEachLineStart(*s, 1 << k, [&](long p) {
      same = same && s->values[static_cast<size_t>(p)] == s->values[static_cast<size_t>(p + last)];
    });
    if (!same) {
      kivfprintf(stderr, "\n\nFor cubic interpolation and cyclic mode, the first and");
      kivfprintf(stderr, " the last u values must be identical.\n");
      kivfprintf(stderr, "Check the values of u in direction %d\n", k + 1);
      return -1;
    }
  }
  s->method = method;
  ApplyPivot(*s, pv);
  s->kind = kiv::nd::kCubic;
  for (int k = 0; k < d; ++k) {
    s->ext[2 * k] = ext_modes[2 * s->pivot[k]];
    s->ext[2 * k + 1] = ext_modes[2 * s->pivot[k] + 1];
  }
  // One patch pointer per grid point; patches in blocks of kPatchBlock.
  const long n = s->points();
  const long patch = 1L << (2 * s->dim);
  const long nblocks = n / kiv::nd::kPatchBlock + 1;
  try {
    s->blocks.resize(static_cast<size_t>(nblocks));
    for (long b = 0; b < nblocks; ++b) {
      const long count = b < nblocks - 1 ? kiv::nd::kPatchBlock : n - kiv::nd::kPatchBlock * (nblocks - 1);
      s->blocks[static_cast<size_t>(b)].assign(static_cast<size_t>(count * patch), 0.0);
    }
    s->patches.resize(static_cast<size_t>(n));
  } catch (const std::bad_alloc &) {
    kivfprintf(stderr, "\n\nUnable to allocate memory for cubic spline.\n");
    return -1;
  }
  for (long b = 0, p = 0; b < nblocks; ++b) {
    double *block = s->blocks[static_cast<size_t>(b)].data();
    for (long j = 0; j < kiv::nd::kPatchBlock && p < n; ++j, ++p)
      s->patches[static_cast<size_t>(p)] = block + j * patch;
  }
  if (!kiv::nd::NCubicSpline(*s, end_slopes)) {
    kivfprintf(stderr, "\n\nUnable to allocate memory for cubic spline.\n");
    return -1;
  }
  return kiv::nd::RegisterSpline(std::move(s));
}

}  // namespace kiv::nd

extern "C" {

int lsplinitnd_(const int *dim, const int *sizes, double **axes, const double *values,
                const int *codes, const int *disc) {
  if (Missing({dim, disc}, "lsplinitnd")) return -1;
  return kiv::nd::CreateLinearND(*dim, sizes, axes, values, codes, *disc);
}

int csplinitnd_(const int *dim, const int *sizes, double **axes, const double *values,
                const int *codes, const int *disc) {
  if (Missing({dim, disc}, "csplinitnd")) return -1;
  return kiv::nd::CreateConstantND(*dim, sizes, axes, values, codes, *disc);
}

int kivsplinitnd_(const int *method, const int *dim, const int *sizes, double **axes,
                  const double *values, const int *codes, const double *end_slopes,
                  const int *ext_modes, const int *disc) {
  if (Missing({method, dim, disc}, "kivsplinitnd")) return -1;
  return kiv::nd::CreateCubicND(*method, *dim, sizes, axes, values, codes, end_slopes, ext_modes,
                                *disc);
}

int splinitnd_(const int *dim, const int *sizes, double **axes, const double *values,
               const int *codes, const double *end_slopes, const int *ext_modes, const int *disc) {
  if (Missing({dim, disc}, "kivsplinitnd")) return -1;
  return kiv::nd::CreateCubicND(1, *dim, sizes, axes, values, codes, end_slopes, ext_modes, *disc);
}

int spleval_(const int *id, const double *x, double *out) {
  return kiv::nd::SplineValue(*id, x, out);
}

int splevald_(const int *id, const int *direction, const double *x, double *out) {
  return kiv::nd::SplineSlope(*id, *direction, x, out);
}

int splevald2_(const int *id, const int *directions, const double *x, double *out) {
  return kiv::nd::SplineSecond(*id, directions, x, out);
}

int splevalalld_(const int *id, const double *x, double *gradient) {
  NDSpline *s = Checked(id, "splevalalld");
  return s ? Eval(*s, x, kiv::nd::kGradient, nullptr, gradient) : 0;
}

int splevalalld2_(const int *id, const double *x, double *hessian) {
  NDSpline *s = Checked(id, "splevalalld2");
  return s ? Eval(*s, x, kiv::nd::kHessian, nullptr, hessian) : 0;
}

int splevali_(const int *id, const double *x, double *out) {
  NDSpline *s = Checked(id, "splevali");
  if (!s) return 0;
  if (s->dim > 1) {
    kivfprintf(stderr, "\n\nCall to splevali with spline of dimension greater than 1.\n");
    return 0;
  }
  if (s->kind == kiv::nd::kCubic) {
    kivfprintf(stderr, "\n\nCall to splevali for cubic spline.\n");
    return 0;
  }
  double xs[kMaxDim] = {};
  xs[s->pivot[0]] = *x;
  return Eval(*s, xs, kiv::nd::kIntegral, nullptr, out);
}

int splevalv_(const int *id, ...) {
  NDSpline *s = Checked(id, "splevalv");
  if (!s) return 0;
  va_list ap;
  va_start(ap, id);
  const Args a = TakeArgs(*s, ap, 1);
  va_end(ap);
  return Eval(*s, a.x, kiv::nd::kValue, nullptr, a.out[0]);
}

int splevalvd_(const int *id, const int *direction, ...) {
  NDSpline *s = Checked(id, "splevalvd");
  if (!s) return 0;
  va_list ap;
  va_start(ap, direction);
  const Args a = TakeArgs(*s, ap, 1);
  va_end(ap);
  return First(*s, direction, a.x, a.out[0], "splevalvd");
}

int splevalvd2_(const int *id, const int *directions, ...) {
  NDSpline *s = Checked(id, "splevalvd2");
  if (!s) return 0;
  va_list ap;
  va_start(ap, directions);
  const Args a = TakeArgs(*s, ap, 1);
  va_end(ap);
  return Second(*s, directions, a.x, a.out[0], "splevalvd2");
}

int splevalvalld_(const int *id, ...) {
  NDSpline *s = Checked(id, "splevalvalld");
  if (!s) return 0;
  va_list ap;
  va_start(ap, id);
  const Args a = TakeArgs(*s, ap, s->full_dim);
  va_end(ap);
  return Spread(*s, kiv::nd::kGradient, a);
}

int splevalvalld2_(const int *id, ...) {
  NDSpline *s = Checked(id, "splevalvalld2");
  if (!s) return 0;
  va_list ap;
  va_start(ap, id);
  const Args a = TakeArgs(*s, ap, s->full_dim * (s->full_dim + 1) / 2);
  va_end(ap);
  return Spread(*s, kiv::nd::kHessian, a);
}

int splextrapol_(const int *id, const double *x) {
  NDSpline *s = Checked(id, "splextrapol");
  return s ? kiv::nd::SplineExtrapolState(*s, x) : 0;
}

int splfree_(const int *id) { return kiv::nd::FreeSpline(*id); }

void FreeAllNDSplines(void) {
  std::vector<std::unique_ptr<NDSpline>>().swap(kiv::nd::g_splines);
  kiv::nd::g_hooked = false;
  kiv::nd::FreePatchMatrices();
}

int getndrank_(const int *index, const int *sizes, int dim) {
  if (dim < 1) return 0;
  // Unsigned: indices outside the grid wrap instead of overflowing.
  unsigned rank = static_cast<unsigned>(index[dim - 1]);
  for (int k = dim - 2; k >= 0; --k)
    rank = rank * static_cast<unsigned>(sizes[k]) + static_cast<unsigned>(index[k]);
  return static_cast<int>(rank);
}

int splreorder_(const int *id, const int *permutation) {
  if (*id < 0 || *id >= kiv::nd::NumSplines()) {
    kivfprintf(stderr, "\n\nCall to splreorder with invalid index %d\n", *id);
    return 0;
  }
  NDSpline *s = FindSpline(*id);
  if (!s) {
    kivfprintf(stderr, "\n\nThe spline %d seems to be freed.\n", *id);
    return 0;
  }
  if (s->kind == kiv::nd::kCubic) {
    kivfprintf(stderr, "\n\nCall to splreorder for cubic spline.\n");
    return 0;
  }
  // A permutation of the stored axes that keeps the effective ones in front.
  bool seen[kMaxDim] = {};
  for (int k = 0; k < s->full_dim; ++k) {
    const int p = permutation[k];
    if (p < 0 || p >= s->full_dim || seen[p] || (k < s->dim) != (p < s->dim)) {
      kivfprintf(stderr, "\n\nCall to splreorder with invalid permutation.\n");
      return 0;
    }
    seen[p] = true;
  }
  try {
    kiv::nd::ReorderSplineAxes(*s, permutation);
  } catch (const std::bad_alloc &) {
    NoMemory();
    return 0;
  }
  s->forget();
  s->integrals.clear();
  return 1;
}

int splsetpt_(const int *id, const int *index, const double *value) {
  NDSpline *s = Checked(id, "splsetpt");
  if (!s) return 0;
  if (s->kind == kiv::nd::kCubic) {
    kivfprintf(stderr, "\n\nCall to splsetpt for cubic spline.\n");
    return 0;
  }
  for (int k = 0; k < s->dim; ++k)
    if (index[k] < 0 || index[k] >= s->sizes[k]) {
      kivfprintf(stderr, "\n\nCall to splsetpt with invalid point index %d on axis %d\n", index[k],
                 k + 1);
      return 0;
    }
  s->values[static_cast<size_t>(getndrank_(index, s->sizes, s->dim))] = *value;
  s->integrals.clear();  // built from the old values
  return 1;
}

int splxtime_(const int *id, const int *axis, const int *flag) {
  NDSpline *s = Checked(id, "splxtime");
  if (!s) return 0;
  const int c = *axis;
  if (c < 0 || c >= s->full_dim || s->ipivot[c] >= s->dim) {
    kivfprintf(stderr, "\n\nCall to splxtime with invalid axis index %d\n", c);
    return 0;
  }
  const int k = s->ipivot[c];
  if (*flag != 0 && s->cyclic(k)) return 1;
  s->time_axis[k] = *flag;
  return 1;
}

}  // extern "C"

namespace kiv::nd {

int SplineValue(int id, const double *x, double *out) {
  NDSpline *s = Checked(id, "spleval");
  return s ? Eval(*s, x, kValue, nullptr, out) : 0;
}

int SplineSlope(int id, int direction, const double *x, double *out) {
  NDSpline *s = Checked(id, "splevald");
  return s ? First(*s, &direction, x, out, "splevald") : 0;
}

int SplineSecond(int id, const int *directions, const double *x, double *out) {
  NDSpline *s = Checked(id, "splevald2");
  return s ? Second(*s, directions, x, out, "splevald2") : 0;
}

int FreeSpline(int id) {
  if (id < 0 || id >= NumSplines()) {
    kivfprintf(stderr, "\n\nCall to splfree with invalid index %d\n", id);
    return 0;
  }
  g_splines[static_cast<size_t>(id)].reset();
  return 1;
}

}  // namespace kiv::nd
