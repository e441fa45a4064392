// Run-time geometry, gear forces and pressure torque of the gear pump.
#include "gearpump/rungeom.hpp"

#include <cmath>
#include <numbers>

#include "gearpump/build_gear.hpp"
#include "gearpump/pelem.hpp"
#include "gearpump/tables.hpp"

namespace kiv::egp {

namespace {

constexpr double kDegPerRad = 57.29577951308232;
constexpr double kMm = 1e-3;

size_t Z(int k) { return static_cast<size_t>(k); }

double Mod2Pi(double x) { return egp_mod_2pi(x); }

int Meshing(int k, double theta, double pitch, egp_sector s) {
  return egp_cav_get_intersect_teeth(k, theta, pitch, s.t0, s.t1);
}

// The last cavity of a run inside the zone and the first one, scanning in
// cavity order (cavity 0 follows the last); the run found last wins.
void Runs(const std::vector<int> &m, int &last, int &first) {
  last = first = -1;
  const size_t z = m.size();
  for (size_t k = 0; k < z; ++k) {
    const size_t next = (k + 1) % z;
    if (m[k] != -1 && m[next] == -1) last = static_cast<int>(k);
    if (m[k] == -1 && m[next] != -1) first = static_cast<int>(next);
  }
}

// Force and torque about its centre on one gear.
struct Load {
  double fx = 0, fy = 0, torque = 0;
  void add(double x, double y, double xm, double ym) {
    fx += x;
    fy += y;
    torque += x * ym - y * xm;
  }
};

// The driving gear takes p b (dy, -dx) from a chord, the driven gear
// p b (-dy, dx).
constexpr double kDriving = 1.0, kDriven = -1.0;

// The chord group of slots s..s+3 (dx, dy, xm, ym in mm) at pressure p.
void Group(egp_instance &inst, int s, int elem, int site, double deg, double pb, double side,
           Load &g) {
  double v[4];
  for (int f = 0; f < 4; ++f) v[f] = egp_table_value(inst, s + f, elem, site, deg) * kMm;
  g.add(side * v[1] * pb, -side * v[0] * pb, v[2], v[3]);
}

// Pressure on the tip land between phi - tt/2 and phi + tt/2 of radius R,
// acting inwards.
void Land(double R, double phi, double tt, double pb, Load &g) {
  const double lo = phi - tt / 2, hi = phi + tt / 2;
  g.add(R * (std::sin(lo) - std::sin(hi)) * pb, -R * (std::cos(lo) - std::cos(hi)) * pb,
        R * (std::cos(hi) + std::cos(lo)) / 2, R * (std::sin(hi) + std::sin(lo)) / 2);
}

}  // namespace

double egp_get_teeth_angle(int gear, double pitch, double axis, int k, double theta) {
  if (gear == 1) return theta + (kPi - pitch * k) + axis;
  return pitch * (k - 0.5) - theta;
}

double egp_leakage_tip_effective(double theta, int k, int gear, double pitch, double tt,
                                 double axis, double a0, double a1) {
  const double half = tt / 2, span = Mod2Pi(a1 - a0);
  if (gear == 1) {
    const double rel = Mod2Pi(kPi - pitch * k + theta + axis - a0);
    return half < rel && rel < span - half ? 0.0 : 1.0;
  }
  const double rel = Mod2Pi((k + 1 - 0.5) * pitch - theta - a0);
  return span + half < rel && rel < kTwoPi - half ? 0.0 : 1.0;
}

double egp_cav_to_out_sector(double start, double pitch, double tt, double g0, double g1) {
  const double w = pitch - tt, rel = Mod2Pi(start - g0), gs = Mod2Pi(g1 - g0);
  if (w >= rel) return rel;
  if (gs >= rel) return w;
  if (w + gs >= rel) return w - (rel - gs);
  return 0.0;
}

int egp_run_get_inout(double theta, std::vector<int> &markers1, std::vector<int> &markers2,
                      double pitch1, double pitch2, egp_sector driving, egp_sector driven, int &o1,
                      int &o2, int &o3, int &o4) {
  for (size_t k = 0; k < markers1.size(); ++k)
    markers1[k] = Meshing(static_cast<int>(k), theta, pitch1, driving);
  for (size_t k = 0; k < markers2.size(); ++k)
    markers2[k] = Meshing(static_cast<int>(k), theta, pitch2, driven);
  int last1, first1, last2, first2;
  Runs(markers1, last1, first1);
  Runs(markers2, last2, first2);
  o1 = last1 != last2 ? last1 : -1;
  o2 = last1 != last2 ? -1 : last2;
  o3 = first1 == first2 ? first1 : -1;
  o4 = first1 == first2 ? -1 : first2;
  return 0;
}

int egp_run_forces(egp_instance &inst, const egp_force_state &st, double &torque, double *fxr,
                   double *fyr, double *fxn, double *fyn) {
  const int z1 = inst.z1, z2 = inst.z2;
  const std::vector<int> &mk1 = inst.slot[kSlotMarkersDriving],
                         &mk2 = inst.slot[kSlotMarkersDriven];
  if (z1 <= 0 || z2 <= 0 || mk1.size() < Z(z1) || mk2.size() < Z(z2)) return 0;
  const double pitch1 = kTwoPi / z1, pitch2 = kTwoPi / z2;
  const double thetad = st.theta * kDegPerRad, off = st.pressure_offset, b = st.b;
  Load drv, drn;

  // Cavities, each on the middle cavity's tables at its own angle.  The
  // build runs the chords of a meshing cavity from its neighbour-tooth
  // contact to its own-tooth contact on both gears, which turns the same
  // way about each centre: the driven gear's own chord takes the driving
  // gear's rule and its chord on the driving gear the driven gear's.  A
  // free driven cavity's chord runs the other way round.
  auto cavities = [&](int z, const std::vector<int> &mk, const double *p, int free_slot,
                      int own_slot, int other_slot, double free_side, Load &own, Load &other) {
    const int m = z / 2;
    for (int j = 0; j < z; ++j) {
      const double a = egp_modulo_deg(thetad - (j - m) * 360.0 / z);
      const double pb = (p[j] + off) * b;
      if (mk[Z(j)] == -1) {
        Group(inst, free_slot, m, j, a, pb, free_side, own);
      } else {
        Group(inst, own_slot, m, j, a, pb, kDriving, own);
        Group(inst, other_slot, m, j, a, pb, kDriven, other);
      }
    }
  };
  cavities(z1, mk1, st.pr, 18, 22, 26, kDriving, drv, drn);
  cavities(z2, mk2, st.pn, 30, 34, 38, kDriven, drn, drv);

  // Chambers, on scalar tables within one pitch of the driving gear.
  const double ac = std::fmod(thetad, 360.0 / z1);
  auto chamber = [&](double p, bool driving_holds, int s) {
    const double pb = (p + off) * b;
    if (driving_holds) {
      Group(inst, s, 0, 0, ac, pb, kDriving, drv);
      Group(inst, s + 4, 0, 0, ac, pb, kDriven, drn);
    } else {
      Group(inst, s + 8, 0, 0, ac, pb, kDriven, drn);
      Group(inst, s + 12, 0, 0, ac, pb, kDriving, drv);
    }
  };
  chamber(st.pout, st.o1 >= 0, 42);
  chamber(st.pinl, st.o3 >= 0, 58);

  // Tip lands outside the meshing zone, at the mean pressure of their two
  // cavities; a meshing cavity open to a chamber has the chamber's.  A
  // driving land sits where its tooth is, turned by the teeth axis like
  // the cavity chords, or a uniform pressure would leave a net load.
  auto pressure = [&](const double *p, int c, int out, int inl) {
    return c == out ? st.pout : c == inl ? st.pinl : p[c];
  };
  for (int i = 0; i < z1; ++i) {
    if (i < z2 && mk2[Z(i)] == i) continue;
    const int next = (i + 1) % z1;
    const double p = (pressure(st.pr, i, st.o1, st.o3) + pressure(st.pr, next, st.o1, st.o3)) / 2;
    Land(st.R1, egp_get_teeth_angle(1, pitch1, st.axis1, i, st.theta), st.tt1, (p + off) * b, drv);
  }
  for (int j = 0; j < z2; ++j) {
    if (j < z1 && mk1[Z(j)] == j) continue;
    const int prev = j == 0 ? z2 - 1 : j - 1;
    const double p = (pressure(st.pn, j, st.o2, st.o4) + pressure(st.pn, prev, st.o2, st.o4)) / 2;
    Land(st.R2, egp_get_teeth_angle(2, pitch2, 0.0, j, st.theta), st.tt2, (p + off) * b, drn);
  }

  torque += drv.torque - drn.torque;
  if (fxr) {
    *fxr = drv.fx;
    *fyr = drv.fy;
    if (fxn) {
      *fxn = drn.fx;
      *fyn = drn.fy;
    }
  }
  return 0;
}

}  // namespace kiv::egp
