// The pump example's core: what a generated model does around HCDEGP0.
// It sets up a grade-46 mineral oil (FP04), two tanks (TK000), a prime
// mover (PM000) and a 12-tooth external gear pump, then turns the shaft at
// a fixed speed against a fixed outlet pressure, integrating the chamber
// and cavity pressures with an implicit Euler step solved by damped sweeps
// on the diagonal of the Jacobian (found by perturbing groups of uncoupled
// states), until the mean delivery of one revolution repeats the previous
// one.
#pragma once

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "gearpump/kiv_gearpump.h"
#include "geometry/kiv_shapeid.h"
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
  int sweeps = 5;        // relaxation sweeps per step
  double relax = 0.6;    // their damping
};

// The last revolution, one row per step, and its means.
struct PumpResult {
  std::vector<double> deg, q2, q1, dpout, torque;   // deg, L/min, L/min, bar/s, N m
  double mean_q2 = 0, mean_torque = 0, ripple = 0;  // L/min, N m, (max - min) / mean
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

// Groups of states that share no flow: each chamber alone (it meets every
// cavity); driving cavity k meets its neighbours and driven cavities k and
// k - 1, driven cavity k its neighbours and driving cavities k and k + 1.
inline std::vector<int> colours(int z) {
  std::vector<int> c(size_t(2 + 2 * z), -1);
  c[0] = 0, c[1] = 1;
  auto near = [z](int s) {
    const int g = s < 2 + z ? 0 : 1, k = s - 2 - g * z, up = (k + 1) % z, down = (k + z - 1) % z;
    const int o = 2 + (1 - g) * z;
    return std::vector<int>{2 + g * z + up, 2 + g * z + down, o + k, g == 0 ? o + down : o + up};
  };
  for (int s = 2; s < 2 + 2 * z; ++s) {
    int colour = 2;
    for (bool clash = true; clash; clash && ++colour) {
      clash = false;
      for (int n : near(s)) clash = clash || c[size_t(n)] == colour;
    }
    c[size_t(s)] = colour;
  }
  return c;
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
  std::vector<double> x(size), d(size), dd(size), diag(size);
  void *slot = nullptr;
  hcdegp0in_(&one, p.r.data(), p.i.data(), p.text, store, &slot, &angle, &x[0], &x[1], &x[2],
             &x[size_t(2 + z)]);

  const std::vector<int> colour = colours(z);
  const int ncol = *std::max_element(colour.begin(), colour.end()) + 1;
  const double dt = opt.step / (6 * opt.rpm);
  const int steps = int(std::lround(360.0 / opt.step));
  Outputs o(z), op(z);
  double previous = 0;
  for (res.turns = 1; res.turns <= opt.max_turns; ++res.turns) {
    res.deg.clear(), res.q2.clear(), res.q1.clear(), res.dpout.clear(), res.torque.clear();
    for (int s = 0; s < steps; ++s) {
      const double deg = s * opt.step;
      evaluate(p, store, &slot, opt.rpm, tank_in, tank_out, deg, x.data(), o);
      derivatives(o, z, d);
      res.deg.push_back(deg), res.q2.push_back(o.q2), res.q1.push_back(o.q1);
      res.dpout.push_back(o.dpout), res.torque.push_back(o.torque);
      for (int c = 0; c < ncol; ++c) {  // the Jacobian's diagonal, one group at a time
        std::vector<double> y = x;
        for (int k = 0; k < n; ++k)
          if (colour[size_t(k)] == c) y[size_t(k)] += 1e-4 * (std::abs(x[size_t(k)]) + 1);
        evaluate(p, store, &slot, opt.rpm, tank_in, tank_out, deg, y.data(), op);
        derivatives(op, z, dd);
        for (int k = 0; k < n; ++k)
          if (colour[size_t(k)] == c)
            diag[size_t(k)] = (dd[size_t(k)] - d[size_t(k)]) / (y[size_t(k)] - x[size_t(k)]);
      }
      // Implicit Euler x1 = x + dt f(x1, angle + step), solved by damped
      // sweeps on the diagonal; no state falls below absolute zero, where
      // the oil's stiffness vanishes.
      std::vector<double> x1 = x;
      for (int sweep = 0; sweep < opt.sweeps; ++sweep) {
        if (sweep > 0) {
          evaluate(p, store, &slot, opt.rpm, tank_in, tank_out, deg + opt.step, x1.data(), op);
          derivatives(op, z, dd);
        } else {
          dd = d;
        }
        for (int k = 0; k < n; ++k) {
          const auto i = size_t(k);
          const double r = x1[i] - x[i] - dt * dd[i];
          x1[i] = std::max(x1[i] - opt.relax * r / (1 + dt * std::abs(diag[i])), -1.0);
        }
      }
      x = x1;
    }
    double sum = 0, torque = 0;
    for (int s = 0; s < steps; ++s) sum += res.q2[size_t(s)], torque += res.torque[size_t(s)];
    res.mean_q2 = sum / steps, res.mean_torque = torque / steps;
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
