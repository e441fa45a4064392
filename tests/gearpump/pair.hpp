// Two equal rack-cut gears (20 degrees, no shift) placed as the submodel
// places them, with build records ready for cutting.
#pragma once

#include <algorithm>
#include <cmath>

#include "gearpump/cut.hpp"
#include "gearpump/rack.hpp"
#include "gearpump/rungeom.hpp"

namespace kiv::egp::pairtest {

inline constexpr double kAlpha = 20 * kPi / 180;

inline double inv(double a) { return std::tan(a) - a; }

struct GearPair {
  int z;
  double m, a, ra;
  ShapePtr s1, s2;
  egp_build_gear g1, g2;
  egp_index_set set1, set2;

  GearPair(int z_, double m_, double extraCentreDistance = 0.0)
      : z(z_), m(m_), a(z_ * m_ + extraCentreDistance), ra(z_ * m_ / 2 + m_) {
    int sharp = 0;
    const double rf = z * m / 2 - 1.25 * m;
    s1 = egp_create_gear(z, m, kAlpha, 1, 0.25, 0.38, 0, ra, rf, z, 2, sharp);
    s2 = egp_create_gear(z, m, kAlpha, 1, 0.25, 0.38, 0, ra, rf, z, 1, sharp);
    rotate2D_(s1.get(), 0, 0, kPi / 2);
    rotate2D_(s2.get(), 0, 0, kPi / 2 + (z % 2 == 0 ? kPi / z : 0));
    translate2D_(s2.get(), -a, 0);
    // Where the tip circles cross, above and below the line of centres.
    const double h = std::sqrt(4 * ra * ra - a * a) / 2;
    setup(g1, s1.get(), 1, 0, kPi - std::asin(h / ra));
    setup(g2, s2.get(), 2, -a, std::asin(h / ra));
    egp_index_sets_size(set1, set2, z, z);
  }
  void setup(egp_build_gear &g, const shape *s, int kind, double xc, double cross) {
    g.kind = kind, g.dir = kind == 1 ? -1 : 1, g.z = z, g.xc = xc, g.pitch = kTwoPi / z;
    egp_get_radius_from_gear_shape(s, xc, 0, g.rmin, g.rmax);
    g.cross_hi = floor_2pi(cross), g.cross_lo = floor_2pi(-cross);
    egp_compute_top_teeth_angle(g, s, 1e-6, nullptr, g.tta);
    egp_shape_to_mem(s, g.xs, g.ys);
    egp_build_gear_alloc(g);
    egp_pump_create_cav_bounds(g);
    egp_pump_create_pelems(1e-6, g);
    egp_build_create_cavity_def(g);
  }
  egp_pair pair() { return {g1, g2, set1, set2}; }
};

// Ports as the submodel makes them: 10 mm wide about the middle of the
// centre line, from 3 mm off it out to 1.05 tip radii.
inline ShapePtr port(double a, double ra, double side) {
  const double xl = -a / 2 - 5, xr = -a / 2 + 5, near = 3 * side, far = 1.05 * ra * side;
  const double top = std::max(near, far), bottom = std::min(near, far);
  const double x[] = {xr, xl, xl, xr}, y[] = {top, top, bottom, bottom};
  return shapeThrough(x, y, 4);
}

// Transition angles: t1 searched, the others by symmetry, t3 also searched.
struct Transitions {
  double t[4] = {}, t3searched = 0;
  int status = 0;
  explicit Transitions(GearPair &p) {
    double i1 = 0, i2 = 0;
    status |= egp_find_intersection_angle(p.g2, 0, {0, 0, p.g1.rmax}, p.g2.e[1][0], i1);
    status |= egp_find_intersection_angle(p.g1, 1, {-p.a, 0, p.g2.rmax}, p.g1.e[0][0], i2);
    status |= egp_find_transition_angle(p.g1, p.g2, 1, i1, t[0]);
    status |= egp_find_transition_angle(p.g2, p.g1, 1, i2, t3searched);
    const double pz = kPi / p.z;
    t[1] = kTwoPi - t[0] - 2 * pz, t[2] = t[0] + pz, t[3] = kTwoPi - t[0] - pz;
  }
  egp_meshing at(const GearPair &p, double theta) const {
    egp_meshing m;
    m.s1.resize(static_cast<size_t>(p.z)), m.s2.resize(static_cast<size_t>(p.z));
    egp_run_get_inout(theta, m.s1, m.s2, p.g1.pitch, p.g2.pitch, {t[0], t[1]}, {t[2], t[3]}, m.o1,
                      m.o2, m.o3, m.o4);
    return m;
  }
};

}  // namespace kiv::egp::pairtest
