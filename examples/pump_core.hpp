// The pump example's core: what a generated model does around HCDEGP0.
// It sets up a grade-46 mineral oil (FP04), two tanks (TK000), a prime
// mover (PM000) and a 12-tooth external gear pump, then turns the shaft at
// a fixed speed against a fixed outlet pressure until the mean delivery of
// one revolution repeats the previous one.  Every chamber and cavity keeps
// its fluid's density (its mass over its volume) as state, advanced by an
// implicit Euler step solved by Newton's method on the full Jacobian; the
// pressure follows from the density, floored near absolute zero, so a
// cavity that expands beyond what its oil fills keeps its mass and refills
// before its pressure rises again.
#pragma once

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "gearpump/kiv_gearpump.h"
#include "geometry/kiv_shapeid.h"
#include "solver/kiv_solver.h"
#include "hydraulics/kiv_fp04.h"
#include "hydraulics/kiv_hydraulics.h"

namespace kivex {

struct PumpOptions {
  double rpm = 1500;     // shaft speed [rev/min]
  double outlet = 50;    // outlet tank pressure [bar]
  int teeth = 12;        // per gear
  double step = 0.1;     // shaft angle per step [deg]
  int max_turns = 10;    // revolutions at most
  double settle = 1e-3;  // relative change of the mean delivery that ends the run
  int iterations = 12;   // Newton iterations per step at most
  double tol = 1e-3;     // density tolerance [kg/m3] (about 0.02 bar)
};

// The last revolution, one row per step, and its means.
struct PumpResult {
  std::vector<double> deg, q2, q1, dpout, torque;   // deg, L/min, L/min, bar/s, N m
  double mean_q2 = 0, mean_q1 = 0, mean_torque = 0;  // L/min, L/min, N m
  double ripple = 0;                                  // (max - min) / mean
  int failures = 0;                                   // steps Newton left unconverged
  double displacement = 0;                          // geometric [mm3/rev]
  double efficiency = 0;                            // mean delivery / (displacement x speed)
  int turns = 0;
};

// The pump's parameters in the submodel's units (module 2 mm, face width
// 20 mm, pressure angle 20 deg, addendum 1, tip clearance 0.25, fillet
// 0.38, no profile shift, analytic ports 3 mm off the line of centres).
struct PumpParams {
  std::vector<double> r = std::vector<double>(55, 0.0);
  std::vector<int> i;
  std::string files[4] = {"", "", "", ""};
  char *text[4];
  explicit PumpParams(int z) : i{0, z, 1, 2, 2, 2, 2, 1} {
    for (int k = 0; k < 4; ++k) text[k] = files[k].data();
    r[1] = r[3] = 100, r[2] = r[4] = 1000, r[5] = 20;  // port areas, dead volumes, width
    for (int k = 6; k <= 11; ++k) r[k] = 1;            // multipliers
    r[14] = 2, r[15] = 20, r[16] = 1, r[17] = 0.25, r[18] = 0.38;
    r[21] = 0.001, r[22] = 0.005, r[36] = 0.005, r[37] = 0.002;  // threshold, clearances
    r[23] = r[25] = 3, r[24] = r[26] = 10;                       // ports
    r[27] = r[28] = 90, r[29] = r[30] = 270;                     // port angles
    r[38] = 1, r[39] = 4, r[40] = 2, r[41] = 5, r[42] = 0.5, r[53] = 3, r[54] = 5;
  }
};

// Every output array of one evaluation.
struct Outputs {
  explicit Outputs(int z) : a(36, std::vector<double>(size_t(z))), dpr(size_t(z)), dpn(size_t(z)) {}
  std::vector<std::vector<double>> a;
  std::vector<double> dpr, dpn;
  double q1 = 0, q2 = 0, torque = 0, dang = 0, anglen = 0, dpout = 0, dpinl = 0, mesh = 0,
         f[4] = {};
};

inline void evaluate(PumpParams &p, double *store, void **slot, double rpm, double p1, double p2,
                     double angle, double *state, Outputs &o) {
  const int z = p.i[1];
  double *pout = state, *pinl = state + 1, *pr = state + 2, *pn = state + 2 + z;
  auto &a = o.a;
  hcdegp0_(nullptr, &o.q1, &p1, &o.q2, &p2, &o.torque, &rpm, &angle, &o.dang, &o.anglen, pout,
           &o.dpout, pinl, &o.dpinl, pr, o.dpr.data(), pn, o.dpn.data(), a[2].data(), a[3].data(),
           a[4].data(), a[5].data(), &o.mesh, a[6].data(), a[7].data(), a[8].data(), a[9].data(),
           a[10].data(), a[11].data(), a[12].data(), a[13].data(), a[14].data(), a[15].data(),
           a[16].data(), a[17].data(), a[18].data(), a[19].data(), a[20].data(), a[21].data(),
           a[22].data(), a[23].data(), a[24].data(), a[25].data(), a[26].data(), a[27].data(),
           a[28].data(), a[29].data(), a[30].data(), a[31].data(), a[32].data(), a[33].data(),
           &o.f[0], &o.f[1], &o.f[2], &o.f[3], p.r.data(), p.i.data(), p.text, store, slot);
}

// Derivatives of the state vector [pout, pinl, pr..., pn...] in bar/s.
inline void derivatives(const Outputs &o, int z, std::vector<double> &d) {
  d[0] = o.dpout, d[1] = o.dpinl;
  for (int k = 0; k < z; ++k)
    d[size_t(2 + k)] = o.dpr[size_t(k)], d[size_t(2 + z + k)] = o.dpn[size_t(k)];
}

// Registers the gears as the set-up places them (driving gear about the
// origin, driven gear about (-a, 0)) and the two analytic ports, the
// driving shaft at `deg` degrees: driving, driven, outlet, inlet ids (-1
// for a shape that cannot be made).
inline void placeShapes(const PumpParams &p, double deg, int ids[4]) {
  const double pi = std::numbers::pi, m = p.r[14], alpha = p.r[15] * pi / 180, zero = 0;
  const int z = p.i[1], one = 1, two = 2;
  double aw, a, ra1, ra2, rf1, rf2;
  ids[0] = ids[1] = ids[2] = ids[3] = -1;
  if (egp_shift_correction_(&z, &z, &m, &alpha, &p.r[16], &p.r[17], &p.r[19], &p.r[20], &aw, &a,
                            &ra1, &ra2, &rf1, &rf2) != 0)
    return;
  int sharp = 0;
  int g1 = egp_create_gear_id_(&z, &m, &alpha, &p.r[16], &p.r[17], &p.r[18], &p.r[19], &ra1, &rf1,
                               &z, &two, &sharp);
  int g2 = egp_create_gear_id_(&z, &m, &alpha, &p.r[16], &p.r[17], &p.r[18], &p.r[20], &ra2, &rf2,
                               &z, &one, &sharp);
  // The driven gear turns back by the same angle (equal tooth counts).
  const double t1 = pi / 2 + deg * pi / 180, t2 = pi / 2 + (z % 2 ? 0 : pi / z) - deg * pi / 180;
  const double dx = -a, reach = 1.05 * std::max(ra1, ra2);
  xCD_rotate_(&g1, &zero, &zero, &t1);
  xCD_rotate_(&g2, &zero, &zero, &t2);
  xCD_translate_(&g2, &dx, &zero);
  const double lo = reach - p.r[23], li = reach - p.r[25];
  const int plus = 1, minus = -1;
  ids[0] = g1, ids[1] = g2;
  ids[2] =
      egp_create_analyticport_id_(&zero, &zero, &dx, &zero, &p.r[23], &zero, &p.r[24], &lo, &plus);
  ids[3] =
      egp_create_analyticport_id_(&zero, &zero, &dx, &zero, &p.r[25], &zero, &p.r[26], &li, &minus);
}

// Writes the shapes of placeShapes as table files (mm) named
// <prefix>_driving.txt, _driven.txt, _outlet.txt, _inlet.txt.
inline void writeShapes(const PumpParams &p, double deg, const std::string &prefix) {
  int ids[4];
  placeShapes(p, deg, ids);
  const char *names[4] = {"_driving.txt", "_driven.txt", "_outlet.txt", "_inlet.txt"};
  for (int k = 0; k < 4; ++k)
    if (ids[k] >= 0) xCD_fprint_shape_id_((prefix + names[k]).c_str(), &ids[k]);
}

// Runs the pump; call it at the library's recovery point of a current
// system (a failed set-up ends there).  Returns 0.
inline int runPump(const PumpOptions &opt, PumpResult &res) {
  KIVRunFlags flags{};
  KivSetRunFlags(&flags);
  // FP04: grade-46 mineral oil from the shipped tables, at 50 degC, index 0.
  double fluid[20] = {850.0, 17000.0, 0.0, 51.0, 0.02, 0.0,   0.1,  50.0,  20.0, 100.0,
                      80.0,  10.0,    0.7, 1.4,  -0.9, -0.95, 0.02, 200.0, 1.2,  -0.5};
  int fluid_ints[5] = {4, 1, 45, 1, 0};
  std::string name = "FP04", none;
  char *fluid_text[2] = {name.data(), none.data()};
  int one = 1, two = 2;
  fp04in_(&one, fluid, fluid_ints, fluid_text);
  double tank_in = 0, tank_out = opt.outlet, mover[1] = {opt.rpm};
  tk000in_(&one, &tank_in);
  tk000in_(&two, &tank_out);
  pm000in_(&one, mover);

  const int z = opt.teeth, n = 2 + 2 * z;
  PumpParams p(z);
  double store[16] = {}, angle = 0;
  const auto size = static_cast<size_t>(n);
  std::vector<double> x(size);
  void *slot = nullptr;
  hcdegp0in_(&one, p.r.data(), p.i.data(), p.text, store, &slot, &angle, &x[0], &x[1], &x[2],
             &x[size_t(2 + z)]);

  // The pressure [bar] whose density is rho, by Newton's method on the
  // fluid's own law, kept within [floor, 1e4 bar].
  int fluid_index = p.i[0];
  const double floor = -0.99e5;
  auto pressure = [&](double rho, double guess) {
    double lo = floor, hi = 1e9, pa = std::clamp(guess * 1e5, lo, hi);
    if (rhoatp_(&lo) >= rho) return lo * 1e-5;
    for (int it = 0; it < 60; ++it) {
      const double r = rhoatp_(&pa) - rho;
      (r > 0 ? hi : lo) = pa;
      if (std::abs(r) < 1e-9 * rho) break;
      double next = pa - r * bmatp_(&pa) / (r + rho);
      if (!(next > lo && next < hi)) next = (lo + hi) / 2;
      pa = next;
    }
    return pa * 1e-5;
  };
  auto density = [](double bar) {
    double pa = bar * 1e5;
    return rhoatp_(&pa);
  };
  const int steps = int(std::lround(360.0 / opt.step));
  const double dt = opt.step / (6 * opt.rpm);
  Outputs o(z);
  std::vector<double> rho(size), rho1(size), pres(size), g(size), gt(size),
      jac(size * size), a(size * size), dx(size), y(size), rate(size);
  sethdind_(&fluid_index);
  for (size_t k = 0; k < size; ++k) rho[k] = density(x[k]);
  // Residual of the step at densities r, shaft angle `at`: r - rho - dt
  // rho', with rho' = rho p' / B from the pressure derivative p' (the
  // inflow's mass per unit volume, the volume's own change included).
  // Returns its largest magnitude.
  auto residual = [&](const std::vector<double> &r, double at, std::vector<double> &out) {
    sethdind_(&fluid_index);
    for (size_t k = 0; k < size; ++k) pres[k] = pressure(r[k], x[k]);
    evaluate(p, store, &slot, opt.rpm, tank_in, tank_out, at, pres.data(), o);
    derivatives(o, z, rate);
    sethdind_(&fluid_index);
    double norm = 0;
    for (size_t k = 0; k < size; ++k) {
      double pa = pres[k] * 1e5;
      const double inflow = density(pres[k]) * rate[k] * 1e5 / bmatp_(&pa);
      out[k] = r[k] - rho[k] - dt * inflow;
      norm = std::max(norm, std::abs(out[k]));
    }
    return norm;
  };
  // One step to angle `to` into rho1; the Jacobian (by differences) is
  // kept from step to step while Newton's method converges fast with it.
  bool fresh = false, kept = false;
  auto implicitStep = [&](double to) {
    rho1 = rho;
    double norm = residual(rho1, to, g);
    fresh = false;
    for (int it = 0; it < opt.iterations && norm > opt.tol; ++it) {
      if (!fresh && !kept) {
        for (size_t c = 0; c < size; ++c) {
          y = rho1;
          const double h = 1e-7 * rho1[c];
          y[c] += h;
          residual(y, to, gt);
          for (size_t r = 0; r < size; ++r) a[c * size + r] = (gt[r] - g[r]) / h;
        }
        jac = a, fresh = kept = true;
      }
      a = jac;
      for (size_t k = 0; k < size; ++k) y[k] = -g[k];
      int nn = n;
      if (!matsol_(&nn, a.data(), y.data(), dx.data())) return kept = false;
      double trial = norm;
      for (double lambda = 1; lambda > 1.0 / 64; lambda /= 2) {
        for (size_t k = 0; k < size; ++k) y[k] = std::max(rho1[k] + lambda * dx[k], 0.0);
        trial = residual(y, to, gt);
        if (trial < norm) break;
      }
      kept = trial < 0.3 * norm;
      rho1 = y, g = gt, norm = trial;
    }
    return norm <= opt.tol;
  };
  double previous = 0;
  res.failures = 0;
  for (res.turns = 1; res.turns <= opt.max_turns; ++res.turns) {
    res.deg.clear(), res.q2.clear(), res.q1.clear(), res.dpout.clear(), res.torque.clear();
    for (int s = 0; s < steps; ++s) {
      const double deg = s * opt.step;
      evaluate(p, store, &slot, opt.rpm, tank_in, tank_out, deg, x.data(), o);
      res.deg.push_back(deg), res.q2.push_back(o.q2), res.q1.push_back(o.q1);
      res.dpout.push_back(o.dpout), res.torque.push_back(o.torque);
      res.failures += !implicitStep(deg + opt.step);
      rho = rho1;
      sethdind_(&fluid_index);
      for (size_t k = 0; k < size; ++k) x[k] = pressure(rho[k], x[k]);
    }
    double sum = 0, inlet = 0, torque = 0;
    for (int s = 0; s < steps; ++s)
      sum += res.q2[size_t(s)], inlet += res.q1[size_t(s)], torque += res.torque[size_t(s)];
    res.mean_q2 = sum / steps, res.mean_q1 = inlet / steps, res.mean_torque = torque / steps;
    if (res.turns > 2 && std::abs(res.mean_q2 - previous) <= opt.settle * std::abs(res.mean_q2))
      break;
    previous = res.mean_q2;
  }
  res.turns = std::min(res.turns, opt.max_turns);
  const auto [lo, hi] = std::minmax_element(res.q2.begin(), res.q2.end());
  res.ripple = (*hi - *lo) / res.mean_q2;
  // 2 pi b (ra^2 - rw^2 - pb^2 / 48) with b 20, ra = rw + m, rw = z m / 2.
  const double m = 2, rw = z * m / 2, ra = rw + m,
               pb = std::numbers::pi * m * std::cos(20 * std::numbers::pi / 180);
  res.displacement = 2 * std::numbers::pi * 20 * (ra * ra - rw * rw - pb * pb / 48);
  res.efficiency = res.mean_q2 / (res.displacement * 1e-6 * opt.rpm);
  hcdegp0end_(&one, p.r.data(), p.i.data(), p.text, store, &slot);
  return 0;
}

}  // namespace kivex
