// The 1-D spline families (linear, cubic, multi-1-D, multi-multi-1-D and
// 2-D bilinear) created from arbitrary tables and codes, then evaluated at
// arbitrary points with and without discontinuity handling: nothing may
// crash, read out of bounds or leak.
#include <cstdint>
#include <vector>

#include "runtime/kiv_runtime.h"
#include "tables/kiv_splines.h"
#include "fuzz/fuzz_support.hpp"

namespace {

using kiv::fuzz::Bytes;

volatile double sink = 0.0;

// An axis of n values from one start, each step drawn (ties and reversals
// included).
std::vector<double> axis(Bytes &r, int n) {
  std::vector<double> a;
  double v = r.number();
  for (int i = 0; i < n; ++i) {
    a.push_back(v);
    const int step = r.byte();
    v += step % 8 == 0 ? 0.0 : step % 8 == 1 ? -1.0 : (step % 13 + 1) / 4.0;
  }
  a.push_back(0.0);  // never empty
  return a;
}

std::vector<double> values(Bytes &r, size_t n) {
  std::vector<double> v;
  for (size_t i = 0; i < n; ++i) v.push_back(r.number());
  v.push_back(0.0);
  return v;
}

void linear(Bytes &r) {
  const int n = r.byte() % 9, left = r.byte() % 5, right = r.byte() % 5;
  const auto x = axis(r, n), y = values(r, static_cast<size_t>(n));
  const int id = lsplinit_(&n, x.data(), y.data(), &left, &right);
  if (id < 0) return;
  const int time = r.byte() % 2;
  lsplxtime_(&id, &time);
  int mem = -2;
  for (int k = 0; k < 8; ++k) {
    const double q = r.number();
    const int disc = r.byte() % 2;
    sink = getlspl_(&id, &q, &disc) + getlspd_(&id, &q, &disc) + getlspi_(&id, &q, &disc) +
           getlspla_(&id, &q, &disc, &mem) + getlspia_(&id, &q, &disc, &mem);
  }
  freelsp_(&id);
}

void cubic(Bytes &r) {
  const int n = r.byte() % 9, le = r.byte() % 5, re = r.byte() % 5, lx = r.byte() % 3,
            rx = r.byte() % 3;
  const double ls = r.number(), rs = r.number();
  const auto x = axis(r, n), y = values(r, static_cast<size_t>(n));
  const int id = splinit_(&n, x.data(), y.data(), &le, &ls, &re, &rs, &lx, &rx);
  if (id < 0) return;
  int mem = -1;
  for (int k = 0; k < 8; ++k) {
    const double q = r.number();
    sink = getspl_(&id, &q) + getspd_(&id, &q);
    if (le != 3) sink = getsp2_(&id, &q, &mem);
  }
  freespl_(&id);
}

// The codes shared by the multi-1-D families.
struct Codes {
  int top, bottom, xl, xr, left, right, type;
  double xlv, xrv;
  explicit Codes(Bytes &r)
      : top(r.byte() % 5), bottom(r.byte() % 4), xl(r.byte() % 4), xr(r.byte() % 4),
        left(r.byte() % 4), right(r.byte() % 4), type(r.byte() % 6), xlv(r.number()),
        xrv(r.number()) {}
};

// Layers of points one after another: their sizes, x and values.
void layers(Bytes &r, int count, std::vector<int> &npts, std::vector<double> &x,
            std::vector<double> &z) {
  for (int k = 0; k < count; ++k) {
    const int n = r.byte() % 6;
    npts.push_back(n);
    auto a = axis(r, n);
    x.insert(x.end(), a.begin(), a.end() - 1);
    for (int i = 0; i < n; ++i) z.push_back(r.number());
  }
  x.push_back(0.0);
  z.push_back(0.0);
}

void multi(Bytes &r) {
  const int nl = r.byte() % 5;
  std::vector<int> npts;
  std::vector<double> x, z;
  layers(r, nl, npts, x, z);
  npts.push_back(0);
  const auto y = values(r, static_cast<size_t>(nl));
  const Codes c(r);
  const int id = msplinit_(&nl, npts.data(), x.data(), y.data(), z.data(), &c.top, &c.bottom, &c.xl,
                           &c.xlv, &c.xr, &c.xrv, &c.left, &c.right, &c.type);
  if (id < 0) return;
  for (int k = 0; k < 6; ++k) {
    const double qx = r.number(), qy = r.number();
    const int disc = r.byte() % 2;
    sink = getmspl_(&id, &qx, &qy, &disc) + getmspdx_(&id, &qx, &qy, &disc) +
           getmspdy_(&id, &qx, &qy, &disc);
  }
  msplfree_(&id);
}

void multi3(Bytes &r) {
  const int nz = r.byte() % 4;
  std::vector<int> nlayers, npts;
  std::vector<double> x, w, y;
  int total = 0;
  for (int k = 0; k < nz; ++k) {
    const int nl = r.byte() % 4;
    nlayers.push_back(nl);
    for (int j = 0; j < nl; ++j) y.push_back(r.number());
    std::vector<int> part;
    std::vector<double> px, pw;
    layers(r, nl, part, px, pw);
    npts.insert(npts.end(), part.begin(), part.end());
    x.insert(x.end(), px.begin(), px.end() - 1);
    w.insert(w.end(), pw.begin(), pw.end() - 1);
    for (int n : part) total += n;
  }
  nlayers.push_back(0);
  npts.push_back(0);
  x.push_back(0.0);
  w.push_back(0.0);
  y.push_back(0.0);
  const auto zval = values(r, static_cast<size_t>(nz));
  const Codes c(r);
  const int id = m3dsplinit_(&nz, &total, npts.data(), nlayers.data(), x.data(), y.data(), zval.data(),
                             w.data(), &c.top, &c.bottom, &c.xl, &c.xlv, &c.xr, &c.xrv, &c.left,
                             &c.right, &c.type);
  if (id < 0) return;
  for (int k = 0; k < 6; ++k) {
    const double qx = r.number(), qy = r.number(), qz = r.number();
    const int disc = r.byte() % 2;
    sink = getm3dspl_(&id, &qx, &qy, &qz, &disc) + getm3dspdx_(&id, &qx, &qy, &qz, &disc) +
           getm3dspdy_(&id, &qx, &qy, &qz, &disc) + getm3dspdz_(&id, &qx, &qy, &qz, &disc);
  }
  m3dsplfree_(&id);
}

void bilinear(Bytes &r) {
  const int nx = r.byte() % 5, ny = r.byte() % 5;
  const int c1 = r.byte() % 5, c2 = r.byte() % 5, c3 = r.byte() % 5, c4 = r.byte() % 5;
  const auto x1 = axis(r, nx), x2 = axis(r, ny);
  const auto z = values(r, static_cast<size_t>(nx * ny));
  const int id = lsplini2_(&nx, &ny, x1.data(), x2.data(), z.data(), &c1, &c2, &c3, &c4);
  if (id < 0) return;
  for (int k = 0; k < 6; ++k) {
    const double q1 = r.number(), q2 = r.number();
    const int disc = r.byte() % 2;
    sink = getlspl2_(&id, &q1, &q2, &disc) + getlspdx_(&id, &q1, &q2, &disc) +
           getlspdy_(&id, &q1, &q2, &disc);
  }
}

int run(Bytes &r) {
  // Several splines per input, so that registries hold more than one.
  for (int round = 0; round < 3 && r.n > 0; ++round) {
    switch (r.byte() % 5) {
      case 0: linear(r); break;
      case 1: cubic(r); break;
      case 2: multi(r); break;
      case 3: multi3(r); break;
      default: bilinear(r); break;
    }
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return kiv::fuzz::runOnBytes(data, size, 4096, run);
}
