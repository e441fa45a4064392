// The pump example's core: what a generated model does around HCDEGP0.
// It sets up a grade-46 mineral oil (FP04), two tanks (TK000), a prime
// mover (PM000) and a 12-tooth external gear pump, then turns the shaft at
// a fixed speed against a fixed outlet pressure until the mean delivery of
// one revolution repeats the previous one.  Every chamber and cavity keeps
// its fluid's density (its mass over its volume) as state, advanced by an
// implicit Euler step solved by Newton's method (PumpStepper); the pressure
// follows from the density, floored near absolute zero, so a cavity that
// expands beyond what its oil fills keeps its mass and refills before its
// pressure rises again.  Also: the command line of the example.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include "gearpump/kiv_gearpump.h"
#include "geometry/kiv_shapeid.h"
#include "hydraulics/kiv_fp04.h"
#include "hydraulics/kiv_hydraulics.h"
#include "solver/kiv_solver.h"

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
  int splits = 4;        // times a step whose Newton fails is halved at most
};

// The tooth counts the set-up accepts.
inline constexpr int kMinTeeth = 5, kMaxTeeth = 100;

// The last revolution, one row per step, and its means.
struct PumpResult {
  std::vector<double> deg, q2, q1, dpout, torque;    // deg, L/min, L/min, bar/s, N m
  double mean_q2 = 0, mean_q1 = 0, mean_torque = 0;  // L/min, L/min, N m
  double ripple = 0;                                 // (max - min) / mean of q2
  double peak = 0;                                   // highest cavity pressure [bar]
  int failures = 0;                // steps of the last revolution left unconverged
  int failures_total = 0;          // the same over every revolution
  double displacement = 0;         // kinematic [mm3/rev]: what a pump with backlash delivers
  double cavity_displacement = 0;  // the cavity model's zero-backlash one [mm3/rev]
  double efficiency = 0;           // volumetric: mean delivery / (displacement x speed)
  double ideal_torque = 0;         // displacement x pressure difference / 2 pi [N m]
  double mechanical = 0;           // ideal torque / mean torque
  int turns = 0;
};

// The pump's parameters in the submodel's units: the gears of a usual
// small pump (module 2 mm, face width 20 mm, pressure angle 20 deg,
// addendum 1, tip clearance 0.25, fillet 0.38, no profile shift) with the
// backlash, gaps and relief edges a designer gives them.  The positions
// are those listed at hcdegp0in_ in kiv_gearpump.h.
struct PumpParams {
  std::vector<double> r = std::vector<double>(55, 0.0);
  std::vector<int> i;
  std::string files[4] = {"", "", "", ""};
  char *text[4];
  // fluid 0, z teeth, rack gears, analytic ports, no groove, leakage
  // details given, one set for both gears
  explicit PumpParams(int z) : i{0, z, 1, 2, 2, 2, 2, 1} {
    for (int k = 0; k < 4; ++k) text[k] = files[k].data();
    r[1] = r[3] = 100;                       // inlet, outlet port area [mm2]
    r[2] = r[4] = 1000;                      // inlet, outlet dead volume [mm3]
    r[5] = 20;                               // face width [mm]
    for (int k = 6; k <= 11; ++k) r[k] = 1;  // flow multipliers
    r[14] = 2, r[15] = 20;                   // module [mm], pressure angle [deg]
    r[16] = 1, r[17] = 0.25, r[18] = 0.38;   // addendum, tip clearance, fillet
    r[21] = 0.001;                           // contact threshold [mm]
    r[22] = 0.05;                            // backlash (teeth clearance) [mm]
    // Relief edges: a port edge this close to the line of centres vents
    // the trapped volume on both sides of the contact.
    r[23] = r[25] = 2.4;                      // outlet, inlet port edge off the line [mm]
    r[24] = r[26] = 10;                       // port widths [mm]
    r[27] = r[28] = 90, r[29] = r[30] = 270;  // port angles [deg]
    r[36] = 0.02, r[37] = 0.01;               // radial clearance, lateral gap [mm]
    r[38] = 1, r[39] = 4, r[40] = 2;          // tooth tip length, height, width [mm]
    // Drainage to the shaft bore, inside the root circle of small gears too.
    const double root = z * r[14] / 2 - (r[16] + r[17]) * r[14];
    r[41] = std::min(5.0, 0.6 * root), r[42] = 0.5;  // drainage radius [mm], width factor
    r[53] = 3, r[54] = 5;                            // meshing zone height, width [mm]
  }
};

// Displacements [mm3/rev] of the gear pair of p: the kinematic one,
// 2 pi b (ra^2 - rw^2 - pb^2 / 12), which a pump with backlash and relief
// delivers, and the one of the cavity model, which counts the trapped
// volume as delivered (pb^2 / 48).
inline double displacement(const PumpParams &p, double share) {
  const double pi = std::numbers::pi, m = p.r[14], b = p.r[5];
  const double rw = p.i[1] * m / 2, ra = rw + p.r[16] * m,
               pb = pi * m * std::cos(p.r[15] * pi / 180);
  return 2 * pi * b * (ra * ra - rw * rw - share * pb * pb);
}
inline double kinematicDisplacement(const PumpParams &p) { return displacement(p, 1.0 / 12); }
inline double cavityDisplacement(const PumpParams &p) { return displacement(p, 1.0 / 48); }

// What the command line asks for.
struct PumpArguments {
  PumpOptions options;
  std::string out = ".";  // directory of the table and shape files
  bool help = false;
};

inline std::string pumpUsage() {
  return "usage: kiv_pump [--speed rev/min (above 0, at most 10000)] [--pressure bar (0 to 1000)]\n"
         "                [--teeth count (" +
         std::to_string(kMinTeeth) + " to " + std::to_string(kMaxTeeth) +
         ")] [--step degrees (0.001 to 5)]\n"
         "                [--out directory] [--help]\n";
}

// Reads the command line into args; "" when it is sound, else the one-line
// reason why not.
inline std::string parsePumpArguments(int argc, const char *const *argv, PumpArguments &args) {
  auto number = [](const char *text, double &value) {
    char *end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && errno == 0 && std::isfinite(value);
  };
  for (int k = 1; k < argc; ++k) {
    const std::string option = argv[k];
    if (option == "--help" || option == "-h") {
      args.help = true;
      continue;
    }
    const bool known = option == "--speed" || option == "--pressure" || option == "--teeth" ||
                       option == "--step" || option == "--out";
    if (!known) return "unknown option '" + option + "'";
    if (k + 1 >= argc) return "option " + option + " needs a value";
    const std::string text = argv[++k];
    if (option == "--out") {
      if (text.empty()) return "option --out needs a directory";
      args.out = text;
      continue;
    }
    double v = 0;
    if (!number(text.c_str(), v)) return option + " wants a number, not '" + text + "'";
    if (option == "--speed") {
      if (!(v > 0 && v <= 10000))
        return "--speed must be above 0 and at most 10000 rev/min, not " + text;
      args.options.rpm = v;
    } else if (option == "--pressure") {
      if (!(v >= 0 && v <= 1000)) return "--pressure must be from 0 to 1000 bar, not " + text;
      args.options.outlet = v;
    } else if (option == "--step") {
      // Finer than a thousandth of a degree only fills the memory.
      if (!(v >= 1e-3 && v <= 5)) return "--step must be from 0.001 to 5 degrees, not " + text;
      args.options.step = v;
    } else {
      if (!(v >= kMinTeeth && v <= kMaxTeeth && v == std::floor(v)))
        return "--teeth must be a whole number from " + std::to_string(kMinTeeth) + " to " +
               std::to_string(kMaxTeeth) + ", not " + text;
      args.options.teeth = int(v);
    }
  }
  return "";
}

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
// <prefix>_driving.txt, _driven.txt, _outlet.txt, _inlet.txt, and every
// cavity of both gears at that angle as _cavity_r<k>.txt (driving) and
// _cavity_n<k>.txt (driven).
inline void writeShapes(const PumpParams &p, double deg, const std::string &prefix) {
  int ids[4];
  placeShapes(p, deg, ids);
  const char *names[4] = {"_driving.txt", "_driven.txt", "_outlet.txt", "_inlet.txt"};
  for (int k = 0; k < 4; ++k)
    if (ids[k] >= 0) xCD_fprint_shape_id_((prefix + names[k]).c_str(), &ids[k]);
  if (ids[0] < 0 || ids[1] < 0) return;
  // The cut wants SI units, of which it reads only the teeth, the gear
  // kind and the face width.
  std::vector<double> si(55, 0.0);
  si[5] = p.r[5] / 1000;
  egp_params rec{};
  hcd_egp_param_setup_03(&rec, si.data(), p.i.data());
  for (int k = 0; k < p.i[1]; ++k) {
    int cav[6];
    if (egp_app_get_cavities_id(&rec, deg * std::numbers::pi / 180, &k, &k, &ids[0], &ids[1],
                                &ids[2], &ids[3], &cav[0], &cav[1], &cav[2], &cav[3], &cav[4],
                                &cav[5]) != 0)
      return;
    const std::string n = std::to_string(k);
    if (cav[0] >= 0) xCD_fprint_shape_id_((prefix + "_cavity_r" + n + ".txt").c_str(), &cav[0]);
    if (cav[3] >= 0) xCD_fprint_shape_id_((prefix + "_cavity_n" + n + ".txt").c_str(), &cav[3]);
  }
}

// The pressure [bar] whose density is rho on the current fluid's law, by
// Newton's method from `guess` [bar], kept within [floor, 1e4 bar].
inline double pressureOf(double rho, double guess) {
  double lo = -0.99e5, hi = 1e9, pa = std::clamp(guess * 1e5, lo, hi);
  if (rhoatp_(&lo) >= rho) return lo * 1e-5;
  // To a thousandth of a pascal: a port open to a chamber at nearly its
  // pressure passes a flow that grows with the root of the difference, so
  // coarser pressures make its flow, and the step's residual, noisy.
  for (int it = 0; it < 60; ++it) {
    const double r = rhoatp_(&pa) - rho;
    if (r == 0) break;
    (r > 0 ? hi : lo) = pa;
    double next = pa - r * bmatp_(&pa) / (r + rho);
    if (!(next > lo && next < hi)) next = (lo + hi) / 2;
    const bool done = std::abs(next - pa) < 1e-3;
    pa = next;
    if (done) break;
  }
  return pa * 1e-5;
}

inline double densityOf(double bar) {
  double pa = bar * 1e5;
  return rhoatp_(&pa);
}

// The implicit Euler step of the pump's densities, solved by Newton's
// method on a Jacobian by differences.  The Jacobian is kept while the
// iterations contract; an iteration that does not halve the residual, or
// a line search that finds no real decrease with a kept Jacobian, makes
// a fresh one.  A step that still fails is taken as two half steps.
class PumpStepper {
 public:
  PumpStepper(PumpParams &p, double *store, void **slot, const PumpOptions &opt, double p2)
      : p_(p),
        store_(store),
        slot_(slot),
        opt_(opt),
        p2_(p2),
        z_(p.i[1]),
        n_(size_t(2 + 2 * z_)),
        o_(z_),
        pres_(n_),
        rate_(n_),
        g_(n_),
        gt_(n_),
        y_(n_),
        dx_(n_),
        col_(n_),
        jac_(n_ * n_),
        lu_(n_ * n_),
        out0_(n_),
        in0_(n_),
        out1_(n_),
        in1_(n_) {
    makeGroups();
  }

  Outputs &outputs() { return o_; }

  // The outputs at pressures x [bar] and shaft angle deg.
  void evaluateAt(double *x, double deg) {
    evaluate(p_, store_, slot_, opt_.rpm, 0.0, p2_, deg, x, o_);
  }

  // Advances densities rho (pressures x [bar], the guesses of the
  // pressure law) from angle `from` by `span` degrees.  False when Newton
  // left the step unconverged, even split opt.splits times.
  bool advance(std::vector<double> &rho, std::vector<double> &x, double from, double span,
               int depth = 0) {
    const std::vector<double> start = rho;
    // The first guess goes on as the last whole step went.
    if (depth == 0) {
      if (last_.size() == n_)
        for (size_t k = 0; k < n_; ++k) rho[k] = std::max(rho[k] + rho[k] - last_[k], 0.0);
      last_ = start;
    }
    if (solve(start, x, from + span, span / (6 * opt_.rpm), rho)) return true;
    if (depth >= opt_.splits) return false;
    rho = start;
    bool ok = advance(rho, x, from, span / 2, depth + 1);
    ok = advance(rho, x, from + span / 2, span / 2, depth + 1) && ok;
    return ok;
  }

 private:
  // Residual r - rho0 - dt rho'(r) of the step to angle `at`, with rho' =
  // rho p' / B from the pressure derivative p' (the inflow's mass per unit
  // volume, the volume's own change included); its largest magnitude.
  double residual(const std::vector<double> &r, const std::vector<double> &rho0,
                  const std::vector<double> &x, double at, double dt, std::vector<double> &out) {
    int fluid = p_.i[0];
    sethdind_(&fluid);
    for (size_t k = 0; k < n_; ++k) pres_[k] = pressureOf(r[k], x[k]);
    evaluateAt(pres_.data(), at);
    derivatives(o_, z_, rate_);
    sethdind_(&fluid);
    double norm = 0;
    for (size_t k = 0; k < n_; ++k) {
      double pa = pres_[k] * 1e5;
      const double inflow = densityOf(pres_[k]) * rate_[k] * 1e5 / bmatp_(&pa);
      out[k] = r[k] - rho0[k] - dt * inflow;
      norm = std::max(norm, std::abs(out[k]));
    }
    return norm;
  }

  // Flows of every cavity state to the outlet and from the inlet chamber
  // (the terms of the chambers' balances that depend on it).
  void chamberFlows(std::vector<double> &out, std::vector<double> &in) const {
    const auto &a = o_.a;
    for (size_t k = 0; k < size_t(z_); ++k) {
      const size_t r = 2 + k, n = 2 + size_t(z_) + k;
      out[r] = a[6][k] + a[10][k] + a[14][k], out[n] = a[7][k] + a[11][k] + a[15][k];
      in[r] = a[8][k] + a[12][k] - a[4][k], in[n] = a[9][k] + a[13][k] - a[5][k];
    }
  }

  // The cavity rows that the density of state c reaches: its neighbours on
  // its gear (tooth leakage) and its two partners on the other gear.
  int reach(size_t c, size_t rows[5]) const {
    const size_t z = size_t(z_), own = c < 2 + z ? 2 : 2 + z, other = own == 2 ? 2 + z : 2;
    const size_t k = c - own, before = (k + z - 1) % z, after = (k + 1) % z;
    rows[0] = own + before, rows[1] = c, rows[2] = own + after;
    rows[3] = other + k, rows[4] = other + (own == 2 ? before : after);
    return 5;
  }

  // Perturbs the states of group together and shares out the change.  The
  // chamber rows, which every cavity reaches, are shared by each cavity's
  // own flow to that chamber; false when those flows cancel too far to
  // tell the shares apart.
  bool perturb(const std::vector<size_t> &group, const std::vector<double> &r,
               const std::vector<double> &rho0, const std::vector<double> &x, double at,
               double dt) {
    col_ = r;
    for (size_t c : group) col_[c] += 1e-7 * r[c];
    residual(col_, rho0, x, at, dt, gt_);
    for (size_t c : group) {
      const double h = col_[c] - r[c];
      size_t rows[5];
      for (int j = 0, m = c < 2 ? 0 : reach(c, rows); j < m; ++j)
        jac_[c * n_ + rows[j]] = (gt_[rows[j]] - g_[rows[j]]) / h;
      if (c < 2 || group.size() == 1)
        for (size_t k = 0; k < (c < 2 ? n_ : 2); ++k) jac_[c * n_ + k] = (gt_[k] - g_[k]) / h;
    }
    if (group.size() == 1) return true;
    chamberFlows(out1_, in1_);
    for (size_t chamber = 0; chamber < 2; ++chamber) {
      const std::vector<double> &q0 = chamber == 0 ? out0_ : in0_,
                                &q1 = chamber == 0 ? out1_ : in1_;
      double sum = 0, size = 0;
      for (size_t c : group) sum += q1[c] - q0[c], size += std::abs(q1[c] - q0[c]);
      if (size == 0) continue;
      if (std::abs(sum) < 1e-3 * size) return false;
      const double change = gt_[chamber] - g_[chamber];
      for (size_t c : group)
        jac_[c * n_ + chamber] = change * (q1[c] - q0[c]) / sum / (col_[c] - r[c]);
    }
    return true;
  }

  // The Jacobian by differences.  Cavities three or more apart on one gear
  // reach no common cavity row and are perturbed together.
  void jacobian(const std::vector<double> &r, const std::vector<double> &rho0,
                const std::vector<double> &x, double at, double dt) {
    std::fill(jac_.begin(), jac_.end(), 0.0);
    residual(r, rho0, x, at, dt, g_);
    chamberFlows(out0_, in0_);
    perturb({0}, r, rho0, x, at, dt);
    perturb({1}, r, rho0, x, at, dt);
    for (const std::vector<size_t> &group : groups_)
      if (!perturb(group, r, rho0, x, at, dt))
        for (size_t c : group) perturb({c}, r, rho0, x, at, dt);
    have_ = true;
  }

  // Groups of cavity states of one gear, any two of them three or more
  // teeth apart round the gear.
  void makeGroups() {
    const size_t z = size_t(z_);
    for (size_t own : {size_t(2), 2 + z}) {
      const size_t first = groups_.size();
      std::vector<size_t> colour(z, z);
      auto clash = [&](size_t k, size_t c) {
        for (size_t d = 1; d <= 2 && d < z; ++d)
          if (colour[(k + d) % z] == c || colour[(k + z - d) % z] == c) return true;
        return false;
      };
      for (size_t k = 0; k < z; ++k) {
        size_t c = 0;
        while (clash(k, c)) ++c;
        colour[k] = c;
        if (groups_.size() <= first + c) groups_.resize(first + c + 1);
        groups_[first + c].push_back(own + k);
      }
    }
  }

  // Newton's method from rho0 to the densities of angle `at` into r (also
  // the first guess); then the pressures into x.
  bool solve(const std::vector<double> &rho0, std::vector<double> &x, double at, double dt,
             std::vector<double> &r) {
    double norm = residual(r, rho0, x, at, dt, g_);
    bool stale = !have_, fresh = false;
    for (int it = 0; it < opt_.iterations && norm > opt_.tol; ++it) {
      if (stale) jacobian(r, rho0, x, at, dt), stale = false, fresh = true;
      lu_ = jac_;
      for (size_t k = 0; k < n_; ++k) y_[k] = -g_[k];
      int nn = int(n_);
      if (!matsol_(&nn, lu_.data(), y_.data(), dx_.data())) {
        if (fresh) break;
        stale = true;
        continue;
      }
      // A real decrease: a quarter of what the full step promises.
      double trial = norm, lambda = 1;
      for (; lambda > 1.0 / 64; lambda /= 2) {
        for (size_t k = 0; k < n_; ++k) y_[k] = std::max(r[k] + lambda * dx_[k], 0.0);
        trial = residual(y_, rho0, x, at, dt, gt_);
        if (trial <= (1 - lambda / 4) * norm) break;
      }
      if (!(lambda > 1.0 / 64)) {
        if (fresh) break;
        stale = true;
        continue;
      }
      stale = trial > 0.5 * norm, fresh = false;
      r = y_, g_ = gt_, norm = trial;
    }
    int fluid = p_.i[0];
    sethdind_(&fluid);
    for (size_t k = 0; k < n_; ++k) x[k] = pressureOf(r[k], x[k]);
    return norm <= opt_.tol;
  }

  PumpParams &p_;
  double *store_;
  void **slot_;
  const PumpOptions &opt_;
  double p2_;
  int z_;
  size_t n_;
  Outputs o_;
  std::vector<double> pres_, rate_, g_, gt_, y_, dx_, col_, jac_, lu_, last_, out0_, in0_, out1_,
      in1_;
  std::vector<std::vector<size_t>> groups_;
  bool have_ = false;
};

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

  const int z = opt.teeth;
  const auto n = static_cast<size_t>(2 + 2 * z);
  PumpParams p(z);
  res.displacement = kinematicDisplacement(p);
  res.cavity_displacement = cavityDisplacement(p);
  double store[16] = {}, angle = 0;
  std::vector<double> x(n);
  void *slot = nullptr;
  hcdegp0in_(&one, p.r.data(), p.i.data(), p.text, store, &slot, &angle, &x[0], &x[1], &x[2],
             &x[size_t(2 + z)]);

  int fluid_index = p.i[0];
  const int steps = int(std::lround(360.0 / opt.step));
  const double step = 360.0 / steps;
  PumpStepper stepper(p, store, &slot, opt, tank_out);
  Outputs &o = stepper.outputs();
  // The outlet line stands at its pressure when the shaft starts turning,
  // and so do the cavities open to it.
  x[0] = tank_out;
  stepper.evaluateAt(x.data(), 0.0);
  for (size_t k = 0; k < size_t(z); ++k) {
    if (o.a[20][k] + o.a[22][k] > 0) x[2 + k] = tank_out;
    if (o.a[21][k] + o.a[23][k] > 0) x[2 + size_t(z) + k] = tank_out;
  }
  std::vector<double> rho(n);
  sethdind_(&fluid_index);
  for (size_t k = 0; k < n; ++k) rho[k] = densityOf(x[k]);
  double previous = 0;
  res.failures_total = 0;
  for (res.turns = 1; res.turns <= opt.max_turns; ++res.turns) {
    res.deg.clear(), res.q2.clear(), res.q1.clear(), res.dpout.clear(), res.torque.clear();
    res.failures = 0, res.peak = 0;
    for (int s = 0; s < steps; ++s) {
      const double deg = s * step;
      stepper.evaluateAt(x.data(), deg);
      res.deg.push_back(deg), res.q2.push_back(o.q2), res.q1.push_back(o.q1);
      res.dpout.push_back(o.dpout), res.torque.push_back(o.torque);
      res.peak = std::max(res.peak, *std::max_element(x.begin() + 2, x.end()));
      res.failures += !stepper.advance(rho, x, deg, step);
    }
    res.failures_total += res.failures;
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
  res.efficiency = res.mean_q2 / (res.displacement * 1e-6 * opt.rpm);
  res.ideal_torque = res.displacement * 1e-9 * (tank_out - tank_in) * 1e5 / (2 * std::numbers::pi);
  res.mechanical = res.ideal_torque / res.mean_torque;
  hcdegp0end_(&one, p.r.data(), p.i.data(), p.text, store, &slot);
  return 0;
}

}  // namespace kivex
