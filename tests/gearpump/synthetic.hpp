// A build workspace filled with analytic curves in place of a geometry
// build: smooth periodic lengths, areas and chords over a quarter-degree
// sweep, and a cavity area with a smooth dip over its meshing run.
#pragma once

#include <array>
#include <cmath>
#include <numbers>
#include <tuple>

#include "gearpump/tables.hpp"

namespace kiv::egp::synth {

inline constexpr int kN = 1441;             // 4 samples per degree
inline constexpr double kAref = 30.0;       // full cavity area (mm2)
inline constexpr double kDip = 12.0;        // its depth at mid-run
inline constexpr int kI0 = 401, kI1 = 559;  // meshing run 100..140 degrees

inline double wave(double deg, double phase) {
  return 1.0 + 0.5 * std::sin(deg * std::numbers::pi / 180.0 + phase);
}
// Cavity area: aref outside 100..140 degrees, a smooth dip inside.
inline double area(double deg) {
  const double s = std::sin(std::numbers::pi * (deg - 100.0) / 40.0);
  return deg > 100.0 && deg < 140.0 ? kAref - kDip * s * s : kAref;
}
inline Curve sampled(const Curve &x, double (*f)(double, double), double phase) {
  Curve y(x.size());
  for (size_t k = 0; k < x.size(); ++k) y[k] = f(x[k], phase);
  return y;
}

// Tip-circle chords (dx, dy, xm, ym in mm) of the middle cavity of a z-tooth
// pair at driving angle th with tip lands tt wide: between the lands of
// teeth m - 1 and m on the driving gear (0..3), m and m + 1 on the driven
// gear (4..7).
inline std::array<double, 8> cavityChords(int z, double R, double tt, double th) {
  const double p = 2 * std::numbers::pi / z, m = z / 2, pi = std::numbers::pi;
  const double a[2] = {pi - (m - 1) * p + th - tt / 2, (m - 0.5) * p - th + tt / 2};
  const double c[2] = {pi - m * p + th + tt / 2, (m + 0.5) * p - th - tt / 2};
  std::array<double, 8> v;
  for (int g = 0; g < 2; ++g) {
    const double ca = std::cos(a[g]), cc = std::cos(c[g]), sa = std::sin(a[g]), sc = std::sin(c[g]);
    v[4 * g] = R * (cc - ca), v[4 * g + 1] = R * (sc - sa);
    v[4 * g + 2] = R * (ca + cc) / 2, v[4 * g + 3] = R * (sa + sc) / 2;
  }
  return v;
}

// Axes of a synthetic build: the sweep and the force axes.
struct Build {
  Curve x, drv_bx, drv_cx, drn_bx, drn_cx;
  egp_force_axes axes() const { return {&drv_bx, &drv_cx, &drn_bx, &drn_cx}; }
};

inline int fill(egp_pump_data &w, Build &b, int z) {
  const int m = z / 2;
  b.x.resize(kN);
  for (int k = 0; k < kN; ++k) b.x[k] = 0.25 * k;
  egp_pump_data_size(w, z, z);
  double phase = 0.0;
  for (auto *c : {&w.drv_len_out, &w.drn_len_out, &w.drv_len_inl, &w.drn_len_inl, &w.drv_area_out,
                  &w.drn_area_out, &w.drv_area_inl, &w.drn_area_inl})
    (*c)[m] = sampled(b.x, wave, phase += 0.3);
  for (auto *c : {&w.out_area1, &w.out_area2, &w.inl_area1, &w.inl_area2}) {
    *c = sampled(b.x, wave, phase += 0.3);
    for (int k = 0; k < kN; ++k) (*c)[k] += 0.05 * std::sin(1.3 * k * k);
  }
  for (auto *a : {&w.out_a, &w.out_b, &w.inl_c, &w.inl_d})
    for (auto &c : *a) c = sampled(b.x, wave, phase += 0.3);
  w.out_a_x = w.out_b_x = w.inl_c_x = w.inl_d_x = b.x;
  const Curve run(b.x.begin() + kI0, b.x.begin() + kI1 + 1);
  for (auto [x, y, n] : {std::tuple{&w.drv_gapo_x, &w.drv_gapo, &w.drv_gapo_n},
                         std::tuple{&w.drv_gapn_x, &w.drv_gapn, &w.drv_gapn_n}}) {
    (*x)[m] = run;
    (*y)[m] = sampled(run, wave, phase += 0.3);
    (*n)[m] = int(run.size());
  }
  const Curve cav = sampled(
      b.x, [](double d, double) { return area(d); }, 0.0);
  int rc = 0;
  for (auto [vx, vy, vn] : {std::tuple{&w.drv_vol_x, &w.drv_vol_y, &w.drv_vol_n},
                            std::tuple{&w.drn_vol_x, &w.drn_vol_y, &w.drn_vol_n}})
    rc |= egp_pump_data_cav_vol(2, m, kI0, kI1, 100.0, 140.0, kAref, kN, 4, b.x.data(), cav.data(),
                                *vx, *vy, *vn);
  // Force curves, their windows replaced or widened by the exact ends.
  for (auto [border, center, bx, cx] :
       {std::tuple{&w.drv_border, &w.drv_center, &b.drv_bx, &b.drv_cx},
        std::tuple{&w.drn_border, &w.drn_center, &b.drn_bx, &b.drn_cx}}) {
    Curve cols[12], at[3];
    for (int f = 0; f < 12; ++f) {
      cols[f] = sampled(b.x, wave, phase += 0.3);
      for (int e = 0; e < 3 && f < 8; ++e) at[e].push_back(wave(100.1 + 19.9 * e, phase));
    }
    rc |= egp_setup_force_data_border(kN, 0.25, kI0, kI1, 100.1, 139.9, 120.0, at[0].data(),
                                      at[2].data(), at[1].data(), 4, b.x.data(), *bx, cols);
    rc |= egp_setup_force_data_center(kN, 0.25, kI0, kI1, 100.1, 139.9, at[0].data() + 4,
                                      at[2].data() + 4, 0, 4, b.x.data(), *cx, cols + 4);
    for (int f = 0; f < 4; ++f) (*border)[f][m] = cols[f];
    for (int f = 0; f < 8; ++f) (*center)[f][m] = cols[4 + f];
  }
  return rc;
}

}  // namespace kiv::egp::synth
