// Multi-1-D splines: a stack of 1-D layers z(x) (linear, or one-axis N-D
// cubic) interpolated linearly along y.
#include <algorithm>
#include <new>
#include <numeric>

#include "tables/kiv_splinend.h"
#include "tables/kiv_splines.h"
#include "tables/splines1d.hpp"

namespace {

enum Memo { kValueMemo = 0, kYMemo = 1, kXMemo = 2 };

struct MultiSpline {
  kiv::sp1::Stack stack;  // layer y values and spline ids; empty when free
  int type = 0;
  int mem[3] = {-2, -2, -2};
};

kiv::sp1::Registry<MultiSpline> g_reg;

void AtEnd(int, int) { FreeAllMultiSplines(); }

MultiSpline &Live(int id, const char *who) { return g_reg.liveStack(id, who, "multi-1D spline"); }

// Newest first, so that the linear registry shrinks back instead of
// keeping holes.
void FreeLayers(int type, std::vector<int> ids) {
  std::sort(ids.begin(), ids.end(), [](int a, int b) { return a > b; });
  for (int id : ids) {
    if (type == 0)
      kiv::sp1::FreeLinear(id);
    else
      kiv::nd::FreeSpline(id);
  }
}

enum What { kValue, kSlopeX };

double Layer(const MultiSpline &m, int k, double x, int disc, What what) {
  const int id = m.stack.ids[static_cast<size_t>(k)];
  if (m.type == 0)
    return what == kValue ? kiv::sp1::LinearValue(id, x, disc)
                          : kiv::sp1::LinearSlope(id, x, disc);
  double out = 0.0;
  if (what == kValue)
    kiv::nd::SplineValue(id, &x, &out);
  else
    kiv::nd::SplineSlope(id, 1, &x, &out);
  return out;
}

double Evaluate(int id, double x, double y, int disc, const char *who, Memo memo) {
  MultiSpline &m = Live(id, who);
  const int i = m.stack.locate(y, disc, m.mem[memo]);
  if (memo == kYMemo) return m.stack.slope(i, y, [&](int k) { return Layer(m, k, x, disc, kValue); });
  const What what = memo == kXMemo ? kSlopeX : kValue;
  return m.stack.interpolate(i, y, [&](int k) { return Layer(m, k, x, disc, what); });
}

}  // namespace

namespace kiv::sp1 {

// Checks, layers and slot.  The id, or -1 after a message with nothing
// left behind.
int CreateMulti(int nlayers, const int *npts, const double *x, const double *y,
                      const double *z, int top, int bottom, int xleft_bc, double xleft_value,
                      int xright_bc, double xright_value, int left, int right, int type) {
  if (nlayers < 2) {
    kivfprintf(stderr, "\n\nFor multi-1D splines there must be");
    kivfprintf(stderr, " at least 2 splines!\n\n");
    return -1;
  }
  for (int k = 0; k < nlayers; ++k)
    if (npts[k] < 2) {
      kivfprintf(stderr, "\n\nFor multi-1D splines, each spline must");
      kivfprintf(stderr, " have at least 2 data points.\n");
      kivfprintf(stderr, "This is not the case for the spline # %d\n\n", k + 1);
      return -1;
    }
  std::vector<long> start(static_cast<size_t>(nlayers) + 1, 0);
  for (int k = 0; k < nlayers; ++k)
    start[static_cast<size_t>(k) + 1] = start[static_cast<size_t>(k)] + npts[k];
  for (int k = 0; k < nlayers; ++k) {
    const long s = start[static_cast<size_t>(k)];
    if (const int bad = kiv::sp1::firstBad(x + s, npts[k])) {
      kivfprintf(stderr, "\n\nError in multi-1D splines: the %dth x-value", bad);
      kivfprintf(stderr, " of the spline # %d is NaN of Inf.", k + 1);
      return -1;
    }
    if (const int bad = kiv::sp1::firstBad(z + s, npts[k])) {
      kivfprintf(stderr, "\n\nError in multi-1D splines: the %dth z-value", bad);
      kivfprintf(stderr, " of the spline # %d is NaN of Inf.", k + 1);
      return -1;
    }
  }
  if (const int bad = kiv::sp1::firstBad(y, nlayers)) {
    kivfprintf(stderr, "\n\nError in multi-1D splines: the %dth y-value is NaN of Inf.", bad);
    return -1;
  }
  for (int k = 0; k < nlayers; ++k) {
    int increasing = 0, brk = 0;
    const double *xs = x + start[static_cast<size_t>(k)];
    if (!CheckMonotonicity(xs, npts[k], &increasing, &brk)) {
      kivfprintf(stderr, "\n\nError in multi-1D splines: the x-values");
      kivfprintf(stderr, " of the spline # %d are not", k + 1);
      kivfprintf(stderr,
                 " strictly monotonic (see items %d and %d which values are %g and %g).\n\n",
                 brk + 1, brk + 2, xs[brk], xs[brk + 1]);
      return -1;
    }
  }
  if (type < 0 || type > 4) {
    kivfprintf(stderr, "\n\nFor multi-1D splines, the spline type");
    kivfprintf(stderr, " indicator must be in range [0, 4].\n\n");
    return -1;
  }
  static const char who[] = "\n\nFor multi-1D splines";
  if (!kiv::sp1::checkCode(left, who, "left-hand") ||
      !kiv::sp1::checkCode(right, who, "right-hand") || !kiv::sp1::checkCode(top, who, "top") ||
      !kiv::sp1::checkCode(bottom, who, "bottom"))
    return -1;
  if (type != 0 && (xleft_bc == 3 || xright_bc == 3))
    for (int k = 0; k < nlayers; ++k)
      if (z[start[static_cast<size_t>(k)]] != z[start[static_cast<size_t>(k) + 1] - 1]) {
        kivfprintf(stderr, "\n\nError in multi-1D splines: ");
        kivfprintf(stderr, "cubic interpolation and cyclic mode along X axis require ");
        kivfprintf(stderr, "identical first and last z-values for each 1D layer.\n");
        kivfprintf(stderr, "This is not the case for layer %d.\n\n", k + 1);
        return -1;
      }
  if (type != 0 && ((xleft_bc == 2 && !std::isfinite(xleft_value)) ||
                    (xright_bc == 2 && !std::isfinite(xright_value)))) {
    kivfprintf(stderr, "\n\nError in multi-1D splines: the end slopes along X must be finite.\n\n");
    return -1;
  }

  MultiSpline m;
  kiv::guardAllocation("CreateMultiSplineSpace", [&] {
    m.stack.at.reserve(static_cast<size_t>(nlayers));
    m.stack.ids.reserve(static_cast<size_t>(nlayers));
  });
  auto undo = [&] { FreeLayers(type, m.stack.ids); };
  for (int k = 0; k < nlayers; ++k) {
    int n = npts[k];
    const long s = start[static_cast<size_t>(k)];
    int id;
    if (type == 0) {
      id = CreateLinear(n, x + s, z + s, left, right);
    } else {
      const int dim = 1, disc = 1;
      double *axis = const_cast<double *>(x + s);
      const int codes[2] = {xleft_bc, xright_bc}, ext[2] = {left, right};
      const double slopes[2] = {xleft_value, xright_value};
      id = kiv::nd::CreateCubicND(type, dim, &n, &axis, z + s, codes, slopes, ext, disc);
    }
    if (id < 0) {
      kivfprintf(stderr, "\nError in multi-1D spline structure initialisation.\n");
      undo();
      return -1;
    }
    m.stack.ids.push_back(id);
    m.stack.at.push_back(y[k]);
  }
  m.type = type;
  m.stack.top = top;
  m.stack.bottom = bottom;
  // Layers by increasing y.
  std::vector<int> order(static_cast<size_t>(nlayers));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return m.stack.at[static_cast<size_t>(a)] < m.stack.at[static_cast<size_t>(b)];
  });
  std::vector<double> at(static_cast<size_t>(nlayers));
  std::vector<int> ids(static_cast<size_t>(nlayers));
  for (size_t k = 0; k < order.size(); ++k) {
    at[k] = m.stack.at[static_cast<size_t>(order[k])];
    ids[k] = m.stack.ids[static_cast<size_t>(order[k])];
  }
  m.stack.at.swap(at);
  m.stack.ids.swap(ids);
  for (size_t k = 1; k < m.stack.at.size(); ++k)
    if (!(m.stack.at[k] > m.stack.at[k - 1])) {
      kivfprintf(stderr, "\n\nError in multi-1D splines: the y-values are not");
      kivfprintf(stderr, " strictly monotonic (see items which values are %g).\n\n", m.stack.at[k]);
      undo();
      return -1;
    }
  m.stack.period = m.stack.at.back() - m.stack.at.front();

  const int id = g_reg.place(m, &AtEnd);
  if (id < 0) {
    undo();
    MemoryError("CreateMultiSplineSpace");
  }
  return id;
}

}  // namespace kiv::sp1

extern "C" {

int msplinit_(const int *nlayers, const int *npts, const double *x, const double *y,
              const double *z, const int *top, const int *bottom, const int *xleft_bc,
              const double *xleft_value, const int *xright_bc, const double *xright_value,
              const int *left, const int *right, const int *type) {
  if (!nlayers || !npts || !x || !y || !z || !top || !bottom || !xleft_bc || !xleft_value ||
      !xright_bc || !xright_value || !left || !right || !type) {
    kivfprintf(stderr, "\n\nCall to msplinit with a missing argument.\n");
    return -1;
  }
  return kiv::sp1::CreateMulti(*nlayers, npts, x, y, z, *top, *bottom, *xleft_bc, *xleft_value,
                               *xright_bc, *xright_value, *left, *right, *type);
}

double getmspl_(const int *id, const double *x, const double *y, const int *disc) {
  return kiv::sp1::MultiValue(*id, *x, *y, *disc);
}

double getmspdx_(const int *id, const double *x, const double *y, const int *disc) {
  return kiv::sp1::MultiSlope(*id, 1, *x, *y, *disc);
}

double getmspdy_(const int *id, const double *x, const double *y, const int *disc) {
  return kiv::sp1::MultiSlope(*id, 2, *x, *y, *disc);
}

int msplfree_(const int *id) { return kiv::sp1::FreeMulti(*id) ? 1 : 0; }

void FreeAllMultiSplines(void) { g_reg.clear(); }

}  // extern "C"

namespace kiv::sp1 {

double MultiValue(int id, double x, double y, int disc) {
  return Evaluate(id, x, y, disc, "getmspl_", kValueMemo);
}

double MultiSlope(int id, int axis, double x, double y, int disc) {
  if (axis == 1) return Evaluate(id, x, y, disc, "getmspdx_", kXMemo);
  return Evaluate(id, x, y, disc, "getmspdy_", kYMemo);
}

bool FreeMulti(int id) {
  MultiSpline *m = g_reg.toFree(id, "msplfree_", "multi-1D spline");
  if (!m) return false;
  FreeLayers(m->type, m->stack.ids);
  *m = MultiSpline{};
  return true;
}

}  // namespace kiv::sp1
