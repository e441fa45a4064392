// A build workspace filled with analytic curves in place of a geometry
// build: smooth periodic lengths, areas and chords over a quarter-degree
// sweep, and a cavity area with a smooth dip over its meshing run; and a
// pump ready to evaluate on them.
#pragma once

#include <array>
#include <cmath>
#include <numbers>
#include <tuple>

#include "gearpump/calc.hpp"
#include "gearpump/tables.hpp"
#include "hydraulics/kiv_hydraulics.h"

namespace kiv::egp::synth {

inline constexpr int kN = 1441;             // 4 samples per degree
inline constexpr double kAref = 30.0;       // full cavity area (mm2)
inline constexpr double kDip = 12.0;        // its depth at mid-run
inline constexpr int kI0 = 401, kI1 = 559;  // meshing run 100..140 degrees
inline constexpr double kRad = std::numbers::pi / 180;

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

// Tip-circle chord of radius R from angle a to angle c: dx, dy, xm, ym.
inline std::array<double, 4> chord(double R, double a, double c) {
  return {R * (std::cos(c) - std::cos(a)), R * (std::sin(c) - std::sin(a)),
          R * (std::cos(a) + std::cos(c)) / 2, R * (std::sin(a) + std::sin(c)) / 2};
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

// A pump of 12 teeth on the synthetic tables, with pitch-periodic chamber
// areas (A10 = A11, A12 = A13: the chamber volumes are the dead volumes), a
// simple fluid under index 1 (850 kg/m3, 1.7e9 Pa, 0.051 Pa s, no air) and
// every output.  Cavity m meshes over 100..140 degrees, as the dip.
struct Pump {
  // Builds fluid, run flags and tables in the current system: 0, or -1 when
  // a table is not made.
  int build() {
    int i = 1;
    double rho = 850, bulk = 1.7e9, mu = 0.051, psat = -5e4, zero = 0, t = 40, poly = 1.4;
    fpspind_(&i, &rho, &bulk, &mu, &psat, &zero, &t, &poly, &zero);
    const KIVRunFlags flags{};
    KivSetRunFlags(&flags);
    inst = egp_instance_create(z, z);
    int rc = fill(w, b, z) | egp_pump_data_init_tables(w, m, m, kN, b.x.data(), b.axes(), *inst);
    for (int s = 10; s < 14; ++s)
      rc |= table(s, [&](double d) { return 5 + std::sin(z * d * kRad); });
    outputs.wire(out, z, z);
    return rc;
  }
  // Rebuilds table s (cavity m of a per-cavity slot) from f(angle).
  template <class F>
  int table(int s, F f) {
    const int k = inst->slot[s].size() > 1 ? m : 0;
    CavityCurves c(z, Curve(kN));
    for (int j = 0; j < kN; ++j) c[k][j] = f(b.x[j]);
    return egp_init_table(z, k, inst->slot[s].data(), kN, b.x.data(), c.data(), 4, 0, 0);
  }
  int run() { return hcd_egp_calc_default(par, in, out, store, *inst); }
  void pressures(double base, double spread) {
    for (int k = 0; k < z; ++k)
      pr[k] = base + spread * std::sin(1.7 * k + 0.3), pn[k] = base + spread * std::cos(2.3 * k);
    in.pinl = in.p1 = base - spread, in.pout = base + spread, in.p2 = base + 0.5 * spread;
  }

  int z = 12, m = z / 2;
  egp_pump_data w;
  Build b;
  std::unique_ptr<egp_instance> inst;
  egp_params par = {
      .fluid_index = 1, .teeth_driving = z, .teeth_driven = z, .groove = 1, .leakage_mode = 2,
      .identical_gears = 1, .inlet_port_area = 5e-5, .inlet_dead_volume = 1e-6,
      .outlet_port_area = 5e-5, .outlet_dead_volume = 1e-6, .gear_thickness = 0.015,
      .mult_next_cavity = 1, .mult_tip_leakage = 1, .mult_inlet_radial = 1, .mult_inlet_axial = 1,
      .mult_outlet_radial = 1, .mult_outlet_axial = 1, .contact_threshold = 1e-5,
      .teeth_clearance = 2e-5, .groove_width = 1e-3, .groove_start_driving = 1,
      .groove_end_driving = 1.5, .groove_start_driven = 4, .groove_end_driven = 4.5,
      .radial_clearance = 1e-5, .lateral_gap = 2e-5, .tip_length = 2e-3, .tooth_height = 4e-3,
      .tooth_width = 3e-3, .drainage_radius = 5e-3, .drainage_width_factor = 0.4,
      .meshing_zone_height = 3e-3, .meshing_zone_width = 5e-3};
  double t0 = (100.0 - 360.0 * m / z) * kRad, t1 = t0 + 40 * kRad;
  double store[16] = {0.5, 2.5, 3.5, 5.5, t0, t1, t1, t0, 0.1, 0.1, 0.02, 0.02, 0.015, 0.015};
  std::vector<double> pr = std::vector<double>(size_t(z)), pn = pr;
  egp_calc_in in{.pr = pr.data(), .pn = pn.data()};
  egp_calc_out out;
  egp_calc_storage outputs;
};

}  // namespace kiv::egp::synth
