// Gear build records: tooth elements by angular window, the cavity
// definition and the cavity bounds.
#include "gearpump/build_gear.hpp"

#include <algorithm>
#include <cmath>

namespace kiv::egp {

namespace {

constexpr int kTipArcPoints = 200;

// Appends points first..last of e (inclusive) to the arrays.
void appendRange(const Pelem &e, int first, int last, double *x, double *y, int &at) {
  for (int i = first; i <= last; ++i, ++at) {
    x[at] = e.x()[i];
    y[at] = e.y()[i];
  }
}

Pelem rotated(const Pelem &e, double angle, double xc, double yc) {
  Pelem r = e;
  egp_poly_rotation(std::cos(angle), std::sin(angle), xc, yc, r);
  return r;
}

}  // namespace

double referenceAngle(const egp_build_gear &g) {
  return g.kind == 1 ? kPi + g.axis : -0.5 * g.pitch;
}

void egp_build_gear_alloc(egp_build_gear &g) {
  return orMemoryError("egp_build_gear_alloc", [&] {
    for (auto *arrays : {&g.e, &g.e_work})
      for (auto &a : *arrays) a.assign(static_cast<size_t>(std::max(g.z, 0)), Pelem());
  });
}

void egp_build_gear_delete(egp_build_gear &g) {
  std::vector<double>().swap(g.xs);
  std::vector<double>().swap(g.ys);
  g.cavdef = Pelem();
  g.cavdef_work = Pelem();
  for (auto *arrays : {&g.e, &g.e_work})
    for (auto &a : *arrays) std::vector<Pelem>().swap(a);
}

Pelem egp_create_pelem(const egp_build_gear &g, double theta, int filter, int full, double tol) {
  const int n = g.n();
  const double span = egp_mod_2pi(full ? g.pitch : 0.5 * g.pitch), lo = egp_mod_2pi(0.0);
  std::vector<char> in(static_cast<size_t>(n));
  std::vector<double> d(static_cast<size_t>(n));
  int i0 = -1;
  for (int i = 0; i < n; ++i) {
    const double dx = g.xs[i] - g.xc, dy = g.ys[i] - g.yc;
    const double phi = egp_mod_2pi(std::atan2(dy, dx) - theta);
    in[i] = phi >= lo && phi <= span;
    d[i] = std::hypot(dx, dy);
    if (!in[i] && i0 < 0) i0 = i;
  }
  auto onTop = [&](int i) { return std::fabs(d[i] - g.rmax) <= tol; };
  std::vector<int> kept;
  // Backwards round the ring from just before the first point outside, so
  // that the points come clockwise from the window's far end.
  const int start = i0 < 0 ? n - 1 : (i0 + n - 1) % n;
  for (int step = 0, i = start; step < n; ++step, i = (i + n - 1) % n) {
    if (!in[i]) continue;
    if (filter && onTop(i) && onTop((i + n - 1) % n) && onTop((i + 1) % n)) continue;
    kept.push_back(i);
  }
  Pelem e(1.0, static_cast<int>(kept.size()));
  for (size_t k = 0; k < kept.size(); ++k) {
    e.x()[k] = g.xs[kept[k]];
    e.y()[k] = g.ys[kept[k]];
  }
  return e;
}

int egp_pump_create_pelems(double tol, egp_build_gear &g) {
  return orMemoryError("egp_pump_create_pelems", [&] {
    const double ref = referenceAngle(g), half = 0.5 * g.pitch;
    struct Window {
      double theta;
      int filter, full;
    };
    const Window windows[5] = {
        {ref, 1, 0}, {ref - half, 1, 0}, {ref, 0, 0}, {ref - half, 0, 0}, {ref - half, 0, 1}};
    for (int w = 0; w < 5; ++w) {
      auto &arr = g.e[w];
      if (arr.empty()) continue;
      arr[0] = egp_create_pelem(g, windows[w].theta, windows[w].filter, windows[w].full, tol);
      for (int k = 1; k < g.z; ++k)
        arr[k] = rotated(arr[0], kTwoPi * (g.dir * k) / g.z, g.xc, g.yc);
      g.e_work[w] = arr;
    }
    return 0;
  });
}

int egp_build_create_cavity_def(egp_build_gear &g) {
  return orMemoryError("egp_build_create_cavity_def", [&] {
    if (g.z < 1 || g.e[0].empty() || g.e[1].empty()) return 0;
    // The half-pitch flank one pitch on from theta_ref: the neighbour that
    // lies a pitch ahead, counter-clockwise, on either gear.
    const Pelem &A = g.e[1][(g.z + g.dir) % g.z];
    const Pelem &B = g.e[0][0];
    const int nA = A.count(), nB = B.count(), n = nA + nB + kTipArcPoints;
    g.cavdef = Pelem(0.0, n);
    double *x = g.cavdef.x(), *y = g.cavdef.y();
    int at = 0;
    appendRange(A, 0, nA - 1, x, y, at);
    appendRange(B, 0, nB - 1, x, y, at);
    const double ref = referenceAngle(g), D = (g.pitch - g.tta) / (kTipArcPoints + 1);
    for (int j = 1; j <= kTipArcPoints; ++j, ++at) {
      const double w = ref + 0.5 * g.tta + j * D;
      x[at] = g.xc + g.rmax * std::cos(w);
      y[at] = g.yc + g.rmax * std::sin(w);
    }
    g.cavdef_work = g.cavdef;
    egp_build_update_cavity_def(g, 0, 0.0);
    g.cavshape = egp_poly_to_shape_copy_create(g.cavdef_work);
    g.cavarea = egp_poly_area(g.cavdef_work);
    return 0;
  });
}

void egp_build_update_cavity_def(egp_build_gear &g, int k, double angle) {
  // Same size: the copy reuses cavdef_work's storage.
  g.cavdef_work.block = g.cavdef.block;
  const double a = k * g.dir * g.pitch + angle;
  egp_poly_rotation(std::cos(a), std::sin(a), g.xc, g.yc, g.cavdef_work);
}

Pelem egp_create_cavity_pelem(int i1, int i2, int i3, int i4, const Pelem &a, const Pelem *b,
                              const Pelem &c, const Pelem &d) {
  const int na = a.count(), nc = c.count(), nd = d.count(), nb = b ? b->count() : 0;
  // Ranges that do not lie in their elements would read outside them.
  const bool ok = i3 >= 0 && i3 <= nc && i1 >= -1 && i1 < na && i4 < nd &&
                  (b ? i2 >= 0 && i2 <= nb && i4 >= -1 : i2 >= 0 && i4 >= i2 - 1);
  if (!ok) return Pelem();
  const int n = (nc - i3) + (i1 + 1) + (b ? (nb - i2) + (i4 + 1) : i4 - i2 + 1);
  Pelem e(0.0, n);
  double *x = e.x(), *y = e.y();
  int at = 0;
  appendRange(c, i3, nc - 1, x, y, at);
  appendRange(a, 0, i1, x, y, at);
  if (b) {
    appendRange(*b, i2, nb - 1, x, y, at);
    appendRange(d, 0, i4, x, y, at);
  } else {
    appendRange(d, i2, i4, x, y, at);
  }
  return e;
}

int egp_pump_create_cav_bounds(egp_build_gear &g) {
  const double h = 0.5 * (g.pitch - g.tta), t = std::tan(h);
  const double r1 = 0.99 * g.rmin, r2 = 1.01 * g.rmax;
  // Symmetric about the gear's centre line, opening round the +x direction.
  g.bounds = {g.xc + r1, g.yc - r1 * t, g.xc + r2, g.yc - r2 * t,
              g.xc + r2, g.yc + r2 * t, g.xc + r1, g.yc + r1 * t};
  return 0;
}

int egp_cav_get_bounds(const egp_build_gear &g, int k, double angle, double &xmin, double &ymin,
                       double &xmax, double &ymax) {
  const double theta =
      g.kind == 1 ? angle + kPi - k * g.pitch + g.axis : (k - 0.5) * g.pitch - angle;
  double x[4], y[4];
  for (int i = 0; i < 4; ++i) {
    x[i] = g.bounds[2 * i];
    y[i] = g.bounds[2 * i + 1];
  }
  const double a = theta + 0.5 * g.pitch;
  egp_rotation(std::cos(a), std::sin(a), g.xc, g.yc, x, y, 4);
  xmin = *std::min_element(x, x + 4);
  xmax = *std::max_element(x, x + 4);
  ymin = *std::min_element(y, y + 4);
  ymax = *std::max_element(y, y + 4);
  return 0;
}

int egp_cav_get_intersect_teeth(int k, double theta, double pitch, double t0, double t1) {
  const double span = egp_mod_2pi(t1 - t0);
  const double rel = egp_mod_2pi(theta - (t0 + k * pitch));
  return rel < span ? k : -1;
}

}  // namespace kiv::egp
