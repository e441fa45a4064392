// Vane-pump kinematics against the geometry of contact, quadrature, the
// closed-form chamber displacement and finite differences.
#include <gmock/gmock.h>

#include "geometry/kiv_pumpgeom.h"
#include "support/kiv_test.hpp"
#include "tables/kiv_splines.h"
#include "tests/geometry/outlines.hpp"

namespace {

using namespace kiv::geomtest;
using Vane = kiv::test::SystemTest;

// Metres: stator, rotor, tip radius, thickness, width.
constexpr double R = 0.03, r = 0.025, rt = 0.002, w = 0.003, L = 0.02;

// Displacement of one chamber of angular width d (per passage).
double closedForm(double e, double d, double vw = w) {
  const double s = e * std::sin(d / 2);
  return 2 * L * (s * std::sqrt(R * R - s * s) + R * R * std::asin(s / R) - vw * e * std::cos(d / 2));
}

size_t count(const std::string &text, const std::string &part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

struct Contact { double beta, h, s, phi; };
Contact contact(double theta, double ex, double ey, double vw = w, double tip = rt) {
  Contact c;
  vp_singlevane_geom_(&theta, &ex, &ey, &vw, &tip, &R, &r, &c.beta, &c.h, &c.s, &c.phi);
  return c;
}

TEST_F(Vane, ContactLiesOnTheStatorAndOnTheTip) {
  // The last two vanes are thin with a wide tip: their corner touches.
  for (auto [theta, ex, ey, vw, tip] :
       {std::tuple(0.7, 0.004, 0.001, w, rt), std::tuple(-2.0, -0.003, 0.002, w, rt), std::tuple(3.0, 0.0, 0.0, w, rt),
        std::tuple(kPi / 2, 0.004, 0.0, 0.001, 0.01), std::tuple(-1.2, 0.0, 0.0045, 0.001, 0.01)}) {
    const Contact c = contact(theta, ex, ey, vw, tip);
    const double px = c.s * std::cos(c.phi), py = c.s * std::sin(c.phi), reach = r + c.h - tip;
    const double alpha = std::asin(vw / 2 / tip), side = std::fabs(-px * std::sin(theta) + py * std::cos(theta));
    EXPECT_TRUE(c.phi >= 0 && c.phi < 2 * kPi && std::fabs(std::hypot(px - ex, py - ey) - R) < 1e-12) << theta;
    EXPECT_NEAR(std::hypot(px - reach * std::cos(theta), py - reach * std::sin(theta)), tip, 1e-12) << theta;
    double e = std::hypot(ex, ey), t0 = std::atan2(ey, ex), l0 = 0, x, y, phi;  // the same vane by position
    calc_vane_position_(&theta, &t0, &e, &R, &tip, &l0, &e, &x, &y, &phi);
    const double apart = std::fabs(std::hypot(x, y) - r - c.h) + std::fabs(std::remainder(phi - c.phi, 2 * kPi));
    if (std::fabs(c.beta) < alpha) {
      EXPECT_NEAR(std::hypot(reach * std::cos(theta) - ex, reach * std::sin(theta) - ey) + tip, R, 1e-12);
      EXPECT_LT(apart, 1e-12) << theta;
    } else
      EXPECT_TRUE(std::fabs(side - vw / 2) < 1e-12 && std::fabs(c.beta) == alpha) << theta;
  }
}

TEST_F(Vane, RingAreaAgreesWithQuadrature) {
  for (auto [theta, e] : {std::tuple(0.8, 0.004), std::tuple(4.0, 0.005), std::tuple(-1.0, 0.0)}) {
    double sum = 0, n = 2000;  // Simpson over the stator's reach from the rotor centre
    for (int i = 0; i <= n; ++i) {
      const double t = theta * i / n, q = e * std::cos(t) + std::sqrt(R * R - e * e * std::sin(t) * std::sin(t));
      sum += (i == 0 || i == n ? 1 : i % 2 ? 4 : 2) * 0.5 * (q * q - r * r);
    }
    EXPECT_NEAR(vp_ring_area_(&theta, &e, &R, &r), sum * theta / n / 3, 1e-15) << theta;
  }
}

TEST_F(Vane, ChamberDisplacementsClosedFormZeroAndClamp) {
  for (auto [e, dir, width] : {std::tuple(0.004, 0.0, 0.6), std::tuple(0.002, 2.0, 1.2), std::tuple(0.0049, -1.0, 0.3)}) {
    double ex = e * std::cos(dir), ey = e * std::sin(dir);
    const double a = 0.4, b = a + width;
    const double got = vp_chamber_displacement_(&b, &a, &w, &rt, &ex, &ey, &R, &r, &L);
    EXPECT_NEAR(got / closedForm(e, width), 1, 1e-9) << e;
  }
  const double a = 0, b = 1;
  double zero = 0, ex = 0.006, ey = -0.008;
  EXPECT_EQ(vp_chamber_displacement_(&a, &b, &w, &rt, &zero, &zero, &R, &r, &L), 0.0);
  EXPECT_NEAR(vp_chamber_displacement_(&a, &b, &w, &rt, &ex, &ey, &R, &r, &L) / closedForm(R - r, 1), 1, 1e-9);
  EXPECT_TRUE(std::fabs(ex - 0.003) < 1e-15 && std::fabs(ey + 0.004) < 1e-15);
  // Uneven spacing, widths repeated: the sum of the chambers.
  const double widths[] = {0.5, 1.0, 0.5, 1.0}, e = std::hypot(0.002, 0.003);
  const int n = 5;
  ex = 0.002;
  ey = 0.003;
  const double want = 2 * closedForm(e, 0.5) + 2 * closedForm(e, 1.0) + closedForm(e, 2 * kPi - 3);
  EXPECT_NEAR(vp_uneven_chamber_displacement_(&n, widths, &w, &rt, &ex, &ey, &R, &r, &L) / want, 1, 1e-9);
}

TEST_F(Vane, DisplacementsRefuseDimensionsThatCannotBe) {
  const double nan = std::nan(""), inf = INFINITY, a = 0, b = 1;
  const int n = 3;
  const struct {
    const char *what;
    double w, rt, R, r, L, ex, b;
  } cases[] = {
      {"rotor radius", w, rt, R, 0, L, 0.003, b},           {"rotor radius", w, rt, R, -0.005, L, 0.003, b},
      {"rotor radius", w, rt, R, nan, L, 0.003, b},         {"stator radius", w, rt, nan, r, L, 0.003, b},
      {"stator radius", w, rt, -R, r, L, 0.003, b},         {"tip radius", w, 0, R, r, L, 0.003, b},
      {"tip radius", w, inf, R, r, L, 0.003, b},            {"vane thickness", -0.001, rt, R, r, L, 0.003, b},
      {"vane thickness", nan, rt, R, r, L, 0.003, b},       {"width", w, rt, R, r, 0, 0.003, b},
      {"width", w, rt, R, r, -inf, 0.003, b},               {"does not fit", 0.005, rt, R, r, L, 0.003, b},
      {"does not fit", w, rt, r, R, L, 0.003, b},           {"eccentricity", w, rt, R, r, L, nan, b},
      {"chamber width", w, rt, R, r, L, 0.003, inf},
  };
  for (const auto &c : cases) {
    double ex = c.ex, ey = 0;
    EXPECT_EQ(vp_chamber_displacement_(&a, &c.b, &c.w, &c.rt, &ex, &ey, &c.R, &c.r, &c.L), 0.0) << c.what;
    std::string err = takeErr();
    EXPECT_TRUE(count(err, "vp_chamber_displacement_:") == 1 && count(err, c.what) == 1) << c.what << err;
    const double given[] = {c.b, 2.0};
    EXPECT_EQ(vp_uneven_chamber_displacement_(&n, given, &c.w, &c.rt, &ex, &ey, &c.R, &c.r, &c.L), -1.0) << c.what;
    err = takeErr();
    EXPECT_TRUE(count(err, "vp_uneven_chamber_displacement_:") == 1 && count(err, c.what) == 1) << c.what << err;
  }
  // A vane of no thickness is the thin-vane idealisation.
  double ex = 0.004, ey = 0;
  const double thin = 0;
  EXPECT_NEAR(vp_chamber_displacement_(&a, &b, &thin, &rt, &ex, &ey, &R, &r, &L) / closedForm(0.004, 1, 0), 1, 1e-9);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Vane, DisplacementSplinesOfSlidingAndPivotingRings) {
  // Millimetres: 10 mm of diameter difference gives 101 samples; the pivot
  // 100 mm below a centred ring gives e = 0.2 sin(a / 2) m.
  const double Ds = 60, Dr = 50, mw = 3, mrt = 2, mL = 20, lo = 0, hi = 5, over = 5.04, far = 6, close = 59.5;
  const double deg[] = {40, 50, 90, 60, 50}, amax = 0.05, px = 0, py = -100, c = 0, e = 0.004;
  double rad[5], spread = closedForm(e, 2 * kPi - 290 * kPi / 180);
  for (int i = 0; i < 5; ++i) spread += closedForm(e, rad[i] = deg[i] * kPi / 180);
  const int n = 6, even = 1, uneven = 0, noDisc = 0;
  int id[4];
  ASSERT_EQ(vp_sliding_displspl_(&n, &even, nullptr, &mw, &mrt, &Ds, &Dr, &mL, &lo, &hi, &id[0]), 1);
  // Only the last sample lies beyond R - r: its abscissa is limited to it.
  ASSERT_EQ(vp_sliding_displspl_(&n, &even, nullptr, &mw, &mrt, &Ds, &Dr, &mL, &lo, &over, &id[1]), 1);
  ASSERT_EQ(vp_sliding_displspl_(&n, &uneven, deg, &mw, &mrt, &Ds, &Dr, &mL, &lo, &hi, &id[2]), 1);
  ASSERT_EQ(vp_pivot_displspl_(&n, &uneven, rad, &mw, &mrt, &Ds, &Dr, &mL, &lo, &amax, &px, &py, &c, &c, &id[3]), 1);
  const double at[] = {e, R - r, e, 2 * std::asin(0.02)};
  const double want[] = {n * closedForm(e, 2 * kPi / n), n * closedForm(R - r, 2 * kPi / n), spread, spread};
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(getlspl_(&id[i], &at[i], &noDisc) * 2 * kPi / want[i], 1, 1e-5) << i;
  EXPECT_EQ(vp_sliding_displspl_(&n, &even, nullptr, &mw, &mrt, &Ds, &Dr, &mL, &lo, &far, &id[0]) +
                vp_sliding_displspl_(&n, &even, nullptr, &mw, &mrt, &Ds, &close, &mL, &lo, &hi, &id[0]), -2);
  EXPECT_NE(takeErr(), "");
}

// Volume of the chamber between the vanes at theta1 and theta2 (absolute)
// of a ring centred at (ex, ey), and its rate while the ring turns about
// (px, py) at unit speed with the shaft at rest.
struct Chamber {
  double theta1, theta2;
  double V(double ex, double ey, double px = 0, double py = 0, double *rate = nullptr) const {
    const Contact a = contact(theta1, ex, ey), b = contact(theta2, ex, ey);
    double v = 0, dv = 0, still = 0, unit = 1;
    vp_pivot_VdV_(&theta1, &theta2, &ex, &ey, &px, &py, &w, &rt, &R, &r, &L, &a.beta, &b.beta, &a.h, &b.h, &a.s, &b.s,
                  &a.phi, &b.phi, &still, &unit, &v, &dv);
    if (rate) *rate = dv;
    return v;
  }
};

TEST_F(Vane, VolumeRatesAgainstFiniteDifferences) {
  const double step = 1e-7, e = 0.003, one = 1, none = 0;
  const long allocations = kiv::test::allocationCount();
  for (const Chamber &c : {Chamber{0.3, 1.0}, Chamber{2.5, 3.4}, Chamber{-0.5, 0.4}}) {
    // A ring sliding along x: the eccentricity rate.
    const Contact a = contact(c.theta1, e, 0), b = contact(c.theta2, e, 0);
    double v = 0, dv = 0;
    vp_sliding_VdV_(&c.theta1, &c.theta2, &e, &w, &rt, &R, &r, &L, &a.beta, &b.beta, &a.h, &b.h, &a.s, &b.s, &a.phi,
                    &b.phi, &none, &one, &v, &dv);
    EXPECT_NEAR(v, c.V(e, 0), 1e-18);
    EXPECT_NEAR(dv * 2 * step / (c.V(e + step, 0) - c.V(e - step, 0)), 1, 1e-6) << c.theta1;
    // Turning about a pivot level with the centre changes e alone; a ring
    // at the rotor centre moves normal to the pivot.
    for (auto [ex, px, py] : {std::tuple(e, e, -0.05), std::tuple(0.0, 0.03, -0.04)}) {
      double rate = 0;
      c.V(ex, 0, px, py, &rate);
      const double sx = py * step, sy = (ex - px) * step;
      EXPECT_NEAR(rate * 2 * step / (c.V(ex + sx, sy) - c.V(ex - sx, -sy)), 1, 1e-6) << c.theta1 << " " << ex;
    }
  }
  EXPECT_EQ(kiv::test::allocationCount(), allocations);  // evaluation allocates nothing
}

TEST_F(Vane, VolumesFromShapesMatchClosedForms) {
  // Millimetres.  Centred: the annular sector less two half vanes and the
  // slivers between their flat sides and the rotor.  Eccentric: the chambers
  // centred on and against the eccentricity differ by the displacement.
  const double Rm = 30, rm = 25, tm = 2, wm = 3, Lm = 10, V0 = 5, thl = 0, tht = 0.6, hw = wm / 2;
  const double angles[] = {-0.3, kPi - 0.3, 2.0, 1.0};
  const int n = 4;
  const double h = Rm - rm, sliver = rm * hw - (hw / 2 * std::sqrt(rm * rm - hw * hw) + rm * rm / 2 * std::asin(hw / rm));
  const double area = 0.5 * (Rm * Rm - rm * rm) * 0.6 - 2 * vanehalfarea_(&wm, &tm, &h) - 2 * sliver;
  for (double e : {0.0, 2.0, 4.0, 9.0}) {
    double ex = e, ey = 0, *table = nullptr, a = -0.3, b = 0.3;
    ASSERT_EQ(vp_volume_(angles, &table, &n, &thl, &tht, &wm, &tm, &ex, &ey, &Rm, &rm, &Lm, &V0), 0);
    std::unique_ptr<double, decltype(&std::free)> owned(table, &std::free);
    EXPECT_TRUE(table[n - 1] == table[0] && std::fabs(ex - std::min(e, Rm - rm)) < 1e-14);
    for (int i = 0; e == 0 && i < n - 1; ++i) EXPECT_NEAR(table[i], area * Lm + V0, 0.01) << i;  // rounded to 0.001 mm2
    const double shift = e < Rm - rm ? vp_chamber_displacement_(&a, &b, &wm, &tm, &ex, &ey, &Rm, &rm, &Lm) : 0;
    EXPECT_NEAR(e < Rm - rm ? table[0] - table[1] : 0, shift, 0.021) << e;
  }
}

}  // namespace
