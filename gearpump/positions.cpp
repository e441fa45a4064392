// Special positions of the mesh.
#include "gearpump/positions.hpp"

#include <cmath>

#include "gearpump/rungeom.hpp"

namespace kiv::egp {

namespace {

constexpr double kEps = 1e-11;

void ordered(double a, double b, double &lo, double &hi) {
  lo = b > a ? a : b;
  hi = b > a ? b : a;
}

}  // namespace

egp_chamber_limits egp_chamber_limits_of(const egp_transitions &t, double period1,
                                         double period2) {
  egp_chamber_limits c;
  ordered(std::fmod(t.t1, period1), std::fmod(t.t3, period2), c.out_lo, c.out_hi);
  ordered(std::fmod(t.t2, period1), std::fmod(t.t4, period2), c.in_lo, c.in_hi);
  return c;
}

void egp_meshing_at(double theta, const egp_build_gear &g1, const egp_build_gear &g2,
                    const egp_transitions &t, egp_meshing &m) {
  m.s1.resize(static_cast<size_t>(g1.z));
  m.s2.resize(static_cast<size_t>(g2.z));
  egp_run_get_inout(theta, m.s1, m.s2, g1.pitch, g2.pitch, {t.t1, t.t2}, {t.t3, t.t4}, m.o1, m.o2,
                    m.o3, m.o4);
}

int egp_setup_special_positions(egp_pump_data &w, int c1, int c2, const egp_pair &pair,
                                const egp_transitions &t) {
  const egp_build_gear &g1 = pair.g1, &g2 = pair.g2;
  const double ratio = static_cast<double>(g1.z) / g2.z;
  const double A1 = floor_2pi(c1 * g1.pitch + t.t1), A2 = floor_2pi(c1 * g1.pitch + t.t2);
  const double A3 = floor_2pi(c2 * g2.pitch + t.t4), A4 = floor_2pi(c2 * g2.pitch + t.t3);
  const egp_chamber_limits c = egp_chamber_limits_of(t, g1.pitch, g2.pitch);
  // Outside, then inside, each interval at its start and at its end.
  const double at[16] = {A1 - kEps,       A2 + kEps,       A1 + kEps,       A2 - kEps,
                         A4 - kEps,       A3 + kEps,       A4 + kEps,       A3 - kEps,
                         c.out_lo + kEps, c.out_hi - kEps, c.out_lo - kEps, c.out_hi + kEps,
                         c.in_lo + kEps,  c.in_hi - kEps,  c.in_lo - kEps,  c.in_hi + kEps};
  egp_meshing m;
  for (int r = 0; r < 16; ++r) {
    egp_meshing_at(at[r], g1, g2, t, m);
    const int rc = egp_build_at_angle(w, g1.z, g2.z, c1, c2, at[r], ratio * at[r], m, pair,
                                      w.special[static_cast<size_t>(r)].data());
    if (rc != 0) return rc;
  }
  return 0;
}

}  // namespace kiv::egp
