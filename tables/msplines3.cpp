// Multi-multi-1-D splines: a stack of multi-1-D surfaces (parts)
// interpolated linearly along z.
#include <algorithm>
#include <new>

#include "tables/kiv_splines.h"
#include "tables/splines1d.hpp"

namespace {

enum Memo { kValueMemo = 0, kZMemo = 1, kYMemo = 2, kXMemo = 3 };

struct Multi3Spline {
  kiv::sp1::Stack stack;  // part z values and multi-1-D ids; empty when free
  std::vector<int> made;  // the part ids in order of creation
  int mem[4] = {-2, -2, -2, -2};
};

kiv::sp1::Registry<Multi3Spline> g_reg;

void AtEnd(int, int) { FreeAllMulti3Splines(); }

Multi3Spline &Live(int id, const char *who) {
  return g_reg.liveStack(id, who, "multi-multi-1D spline");
}

double Evaluate(int id, double x, double y, double z, int disc, const char *who, Memo memo) {
  Multi3Spline &m = Live(id, who);
  const int i = m.stack.locate(z, disc, m.mem[memo]);
  auto g = [&](int k) {
    const int part = m.stack.ids[static_cast<size_t>(k)];
    if (memo == kXMemo) return kiv::sp1::MultiSlope(part, 1, x, y, disc);
    if (memo == kYMemo) return kiv::sp1::MultiSlope(part, 2, x, y, disc);
    return kiv::sp1::MultiValue(part, x, y, disc);
  };
  return memo == kZMemo ? m.stack.slope(i, z, g) : m.stack.interpolate(i, z, g);
}

// Newest first, so that the layers' registries shrink back.
void FreeParts(const std::vector<int> &ids) {
  for (auto it = ids.rbegin(); it != ids.rend(); ++it) kiv::sp1::FreeMulti(*it);
}

}  // namespace

extern "C" {

int m3dsplinit_(const int *nz, const int * /*total*/, const int *npts, const int *nlayers,
                const double *x, const double *y, const double *zval, const double *w,
                const int *top, const int *bottom, const int *xleft_bc, const double *xleft_value,
                const int *xright_bc, const double *xright_value, const int *left, const int *right,
                const int *type) {
  if (!nz || !npts || !nlayers || !x || !y || !zval || !w || !top || !bottom || !xleft_bc ||
      !xleft_value || !xright_bc || !xright_value || !left || !right || !type) {
    kivfprintf(stderr, "\n\nCall to m3dsplinit with a missing argument.\n");
    return -1;
  }
  const int parts = *nz;
  if (parts < 2) {
    kivfprintf(stderr, "\n\nFor multi-multi-1D splines there must be");
    kivfprintf(stderr, " at least 2 splines in the z-direction!\n\n");
    return -1;
  }
  for (int k = 0; k < parts; ++k)
    if (nlayers[k] < 2) {
      kivfprintf(stderr, "\n\nFor multi-multi-1D splines, each z-direction must");
      kivfprintf(stderr, " have at least 2 data points.\n");
      kivfprintf(stderr, "This is not the case for the spline # %d\n\n", k + 1);
      return -1;
    }
  if (*type < 0 || *type > 4) {
    kivfprintf(stderr, "\n\nFor multi-multi-1D splines, the spline type");
    kivfprintf(stderr, " indicator must be in range [0, 4].\n\n");
    return -1;
  }
  static const char who[] = "\n\nFor multi-multi-1D splines";
  if (!kiv::sp1::checkCode(*left, who, "left-hand") ||
      !kiv::sp1::checkCode(*right, who, "right-hand") || !kiv::sp1::checkCode(*top, who, "top") ||
      !kiv::sp1::checkCode(*bottom, who, "bottom"))
    return -1;

  Multi3Spline m;
  kiv::guardAllocation("CreateMultiSpline3dSpace", [&] {
    m.stack.ids.reserve(static_cast<size_t>(parts));
    m.stack.at.reserve(static_cast<size_t>(parts));
    m.made.reserve(static_cast<size_t>(parts));
  });
  const int *layer_pts = npts;
  const double *px = x, *py = y, *pw = w;
  for (int k = 0; k < parts; ++k) {
    const int id =
        kiv::sp1::CreateMulti(nlayers[k], layer_pts, px, py, pw, *top, *bottom, *xleft_bc,
                              *xleft_value, *xright_bc, *xright_value, *left, *right, *type);
    if (id < 0) {
      kivfprintf(stderr, "\nError in multi-multi-1D spline structure initialisation.\n");
      FreeParts(m.made);
      return -1;
    }
    m.stack.ids.push_back(id);
    m.stack.at.push_back(zval[k]);
    m.made.push_back(id);
    long points = 0;
    for (int l = 0; l < nlayers[k]; ++l) points += layer_pts[l];
    layer_pts += nlayers[k];
    py += nlayers[k];
    px += points;
    pw += points;
  }
  int increasing = 0, brk = 0;
  const int bad = kiv::sp1::firstBad(zval, parts);
  if (bad || !CheckMonotonicity(zval, parts, &increasing, &brk)) {
    if (bad) {
      kivfprintf(stderr, "\n\nError in multi-multi-1D splines: the %dth z-value is NaN or Inf.\n\n",
                 bad);
    } else {
      kivfprintf(stderr, "\n\nError in multi-multi-1D splines: the z-values are not");
      kivfprintf(stderr,
                 " strictly monotonic (see items %d and %d which values are %g and %g).\n\n",
                 brk + 1, brk + 2, zval[brk], zval[brk + 1]);
    }
    FreeParts(m.made);
    return -1;
  }
  if (!increasing) {
    std::reverse(m.stack.at.begin(), m.stack.at.end());
    std::reverse(m.stack.ids.begin(), m.stack.ids.end());
  }
  m.stack.top = *top;
  m.stack.bottom = *bottom;
  m.stack.period = m.stack.at.back() - m.stack.at.front();
  const int id = g_reg.place(m, &AtEnd);
  if (id < 0) {
    FreeParts(m.made);
    MemoryError("CreateMultiSplineSpace");
  }
  return id;
}

double getm3dspl_(const int *id, const double *x, const double *y, const double *z,
                  const int *disc) {
  return kiv::sp1::Multi3Value(*id, *x, *y, *z, *disc);
}

double getm3dspdx_(const int *id, const double *x, const double *y, const double *z,
                   const int *disc) {
  return kiv::sp1::Multi3Slope(*id, 1, *x, *y, *z, *disc);
}

double getm3dspdy_(const int *id, const double *x, const double *y, const double *z,
                   const int *disc) {
  return kiv::sp1::Multi3Slope(*id, 2, *x, *y, *z, *disc);
}

double getm3dspdz_(const int *id, const double *x, const double *y, const double *z,
                   const int *disc) {
  return kiv::sp1::Multi3Slope(*id, 3, *x, *y, *z, *disc);
}

int m3dsplfree_(const int *id) { return kiv::sp1::FreeMulti3(*id) ? 1 : 0; }

void FreeAllMulti3Splines(void) { g_reg.clear(); }

}  // extern "C"

namespace kiv::sp1 {

double Multi3Value(int id, double x, double y, double z, int disc) {
  return Evaluate(id, x, y, z, disc, "getm3dspl_", kValueMemo);
}

double Multi3Slope(int id, int axis, double x, double y, double z, int disc) {
  if (axis == 1) return Evaluate(id, x, y, z, disc, "getm3dspdx_", kXMemo);
  if (axis == 2) return Evaluate(id, x, y, z, disc, "getm3dspdy_", kYMemo);
  return Evaluate(id, x, y, z, disc, "getm3dspdz_", kZMemo);
}

bool FreeMulti3(int id) {
  Multi3Spline *m = g_reg.toFree(id, "m3dsplfree_", "multi-multi-1D spline");
  if (!m) return false;
  FreeParts(m->made);
  *m = Multi3Spline{};
  return true;
}

}  // namespace kiv::sp1
