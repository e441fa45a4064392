// Chamber openings onto notches, analytic ports and grooves, and drawn
// ports, against hand-derived sector and groove areas.
#include <gtest/gtest.h>

#include <cmath>

#include "geometry/kiv_pumpgeom.h"
#include "geometry/kiv_shapeid.h"
#include "support/kiv_test.hpp"

namespace {

using Ports = kiv::test::SystemTest;

// Notch ending at 1 rad on radius 20, a = b = c = 2, not inclined: both
// flank angles atan(1/2), fully open a^2 sqrt(2) / 4 with perimeter a (sqrt 5 + 1).
constexpr double Rn = 20, tn = 1.0, na = 2, delta = 0, full = na * na * 1.4142135623730951 / 4;
struct NotchOut { double area, perim; int state; };
NotchOut notch(double t1, double t2, int state, double c = na) {
  NotchOut o{-1, -1, state};
  vp_notch_area_(&t1, &t2, &tn, &Rn, &delta, &na, &na, &c, &o.area, &o.perim, &o.state);
  return o;
}

TEST_F(Ports, NotchStatesOpeningsAndCrossings) {
  struct Case { double t1, t2; int state; double filled; };  // filled: length over a
  for (const Case &c : {Case{0.3, 0.95, 1, 1 - Rn * std::tan(0.05) / na}, Case{0.2, 1.3, 2, 1},
                        Case{0.95, 1.6, 3, Rn * std::tan(0.05) / na}, Case{1.2, 1.8, 0, 0}, Case{-0.5, 0.5, 0, 0}}) {
    const NotchOut o = notch(c.t1, c.t2, -1);
    EXPECT_EQ(o.state, c.state) << c.t1;
    EXPECT_NEAR(o.area, full * c.filled * c.filled, 1e-12) << c.t1;
    EXPECT_NEAR(o.perim, na * (std::sqrt(5.0) + 1) * c.filled, 1e-12) << c.t1;
  }
  KivBeginEvaluation(KIV_EVAL_LOCATE);
  const NotchOut held = notch(0.95, 1.6, 2);  // vane 1 entered: reported, state kept
  EXPECT_TRUE(held.state == 2 && KivGetAnswerWord() == 4);
  EXPECT_NEAR(held.area, full, 1e-12);
  KivBeginEvaluation(KIV_EVAL_LOCATE);
  const NotchOut odd = notch(1.2, 1.8, 7);  // an unknown state is closed
  EXPECT_TRUE(odd.state == 7 && odd.area == 0 && odd.perim == 0 && KivGetAnswerWord() == KIV_EVAL_LOCATE);
  const NotchOut flat = notch(0.2, 1.3, 5, 0.0);  // no depth: closed, state untouched
  EXPECT_TRUE(flat.state == 5 && flat.area == 0 && flat.perim == 0);
}

TEST_F(Ports, NotchTableStartsFromAFreshState) {
  const double w = 1, nu = std::atan(0.5 * w / Rn), thl = 0, tht = 0.6, first = 0.35 + nu;
  const double angles[] = {first, first + 0.01, 2.0, first};
  double area[4], perim[4], sentinel = -3;
  const int n = 4, none = 0;
  KivBeginEvaluation(KIV_EVAL_LOCATE);
  EXPECT_EQ(vp_notch_(angles, area, perim, &n, &thl, &tht, &tn, &Rn, &delta, &na, &na, &na, &w), 0);
  EXPECT_NEAR(area[0], full * std::pow(1 - Rn * std::tan(0.05) / na, 2), 1e-12);  // vane 2 in the notch
  EXPECT_TRUE(area[3] == area[0] && perim[3] == perim[0]);
  vp_notch_(angles, &sentinel, &sentinel, &none, &thl, &tht, &tn, &Rn, &delta, &na, &na, &na, &w);
  EXPECT_EQ(sentinel, -3);
}

TEST(VanePorts, AnalyticPortCentred) {
  // Centred ring: the opening is the annular sector less the half vanes.
  const double w = 3, rt = 2, R = 30, r = 25, zero = 0, p1 = 0, p2 = 0.2, p4 = 1.8, p3 = 2.0, h1 = 4, h2 = 5, q1 = 1, q2 = 2;
  const double H2 = vanehalfarea_(&w, &rt, &h2);
  struct Case { double a1, a2, band, area, perim; int out1, out2; };
  for (const Case &c : {Case{0.5, 1.0, p3 - p4, (R * R - r * r) / 2 * 0.5, (R + r) * 0.5 + q1 + q2, 0, 0},
                        Case{1.7, 2.3, p3 - p4, (R * R - r * r) / 2 * 0.3 - H2, (R + r) * 0.3 + q1 + h2, 0, 1},
                        Case{2.0, 2.5, 0, 0, q1 + h2, 0, 1}}) {
    const double exitFrom = p3 - c.band;  // a band of no width shares all or nothing
    double area, perim;
    int out1 = -1, out2 = -1;
    vp_anaport_area_(&w, &rt, &R, &r, &c.a1, &c.a2, &zero, &zero, &p1, &p2, &p3, &exitFrom, &h1, &h2, &q1, &q2, &area,
                     &perim, &out1, &out2);
    EXPECT_NEAR(area, c.area, 1e-12) << c.a1 << ' ' << c.band;
    EXPECT_NEAR(perim, c.perim, 1e-12) << c.a1;
    EXPECT_TRUE(out1 == c.out1 && out2 == c.out2) << c.a1;
  }
}

TEST(VanePorts, AnalyticGrooveBottomOrSide) {
  // A groove g1 wide over 0..1 rad whose side window 0.5..0.7 opens to the
  // chamber: its bottom strip (depth times the covered length), or the side
  // window (depth times arc when shallow, else the annular sector).
  const double q1 = 0, q2 = 1, p1 = 0.5, p2 = 0.7, g1 = 2;
  struct Case { double ta, tb, g2, Rg, area, perim; };
  for (const Case &c : {Case{0.2, 0.4, 1, 10, 2, 6}, Case{0.3, 0.9, 0.5, 100, 10, 41},
                        Case{0.3, 0.9, 10, 100, 202 * 0.2, 4 + 0.2 * 202}, Case{1.5, 2.0, 1, 10, 0, 0}}) {
    double area, perim;
    vp_anagroove_area_(&c.ta, &c.tb, &g1, &c.g2, &c.Rg, &p1, &p2, &q1, &q2, &area, &perim);
    EXPECT_NEAR(area, c.area, 1e-12) << c.ta << ' ' << c.g2;
    EXPECT_NEAR(perim, c.perim, 1e-12) << c.ta << ' ' << c.g2;
  }
}

TEST_F(Ports, DrawnPortsAgainstChambersAndSectors) {
  // Millimetres.  A disc around the rotor meets every chamber whole (the
  // volume table at unit width); a sector 26..29 over 2.8..3.5 rad across
  // the negative x axis is open only to chambers over it.
  const double R = 30, r = 25, rt = 2, w = 3, disc = 40, one = 1, zero = 0, thl = 0, tht = 1.1;
  const double r1 = 26, r2 = 29, s1 = 2.8, s2 = 3.5, angles[] = {2.6, -0.5, 2.6};
  const int n = 3, mode0 = 0, around = register_shape_id_(create_vp_rotor_(&disc));
  const int sector = register_shape_id_(create_analyticport_(&r1, &r2, &zero, &zero, &zero, &zero, &s1, &s2, &mode0));
  double area[3], perim[3], ex = 8, ey = 0, *volume = nullptr;
  EXPECT_EQ(vp_udport_(&around, angles, area, perim, &n, &thl, &tht, &w, &rt, &ex, &ey, &R, &r), 0);
  EXPECT_TRUE(ex == R - r && ey == 0);
  ASSERT_EQ(vp_volume_(angles, &volume, &n, &thl, &tht, &w, &rt, &ex, &ey, &R, &r, &one, &zero), 0);
  for (int i = 0; i < n; ++i) EXPECT_NEAR(area[i], volume[i], 2e-3) << i;
  free(volume);
  ex = 0;
  EXPECT_EQ(vp_udport_(&sector, angles, area, perim, &n, &thl, &tht, &w, &rt, &ex, &ey, &R, &r), 0);
  EXPECT_NEAR(area[0], (r2 * r2 - r1 * r1) / 2 * (s2 - s1), 0.01);
  EXPECT_TRUE(area[1] == 0 && perim[1] == 1 && area[2] == area[0]);
  const int missing = 1 << 20;
  EXPECT_EQ(vp_udport_(&missing, angles, area, perim, &n, &thl, &tht, &w, &rt, &ex, &ey, &R, &r), -1);
  // A groove 29..33 over 1.0..1.4 rad beyond the bore, outside the port's
  // reach 29..32 over 1.3..2.5: the bore's arc over the chamber times depth.
  const double dg = 2, depth = 1, g1 = 29, g2 = 33, a1 = 1.0, a2 = 1.4, p1 = 1.3, p2 = 2.5, at[] = {-0.5, 1.2, -0.5};
  const int groove = register_shape_id_(create_analyticport_(&g1, &g2, &zero, &zero, &zero, &zero, &a1, &a2, &mode0));
  EXPECT_EQ(vp_groove_to_port_(&groove, at, area, perim, &n, &thl, &tht, &w, &rt, &ex, &ey, &R, &r, &dg, &depth, &p1, &p2), 0);
  EXPECT_TRUE(area[0] == 0 && perim[0] == 1 && std::fabs(area[1] - R * 0.2 * depth) < 1e-9 && perim[2] == 1);
  EXPECT_EQ(vp_groove_to_port_(&missing, at, area, perim, &n, &thl, &tht, &w, &rt, &ex, &ey, &R, &r, &dg, &depth, &p1, &p2), -1);
  for (int i = 0; i < n; ++i) EXPECT_TRUE(area[i] == 0 && perim[i] == 1) << i;
}

TEST_F(Ports, DrawnPortRefusesARotorStatorOrVaneThatCannotBeBuilt) {
  const double R = 30, r = 25, rt = 2, w = 3, zero = 0, disc = 40, thl = 0, tht = 1.1, angles[] = {2.6, -0.5, 2.6};
  const double nan = std::nan(""), thick = -3;
  const int n = 3, around = register_shape_id_(create_vp_rotor_(&disc));
  const struct {
    const char *what;
    const double *w, *R, *r;
  } cases[] = {{"stator radius", &w, &nan, &r}, {"vane thickness", &thick, &R, &r}, {"rotor radius", &w, &R, &zero}};
  for (const auto &c : cases) {
    double area[3] = {5, 5, 5}, perim[3] = {5, 5, 5}, ex = 2, ey = 0;
    EXPECT_EQ(vp_udport_(&around, angles, area, perim, &n, &thl, &tht, c.w, &rt, &ex, &ey, c.R, c.r), -1) << c.what;
    for (int i = 0; i < n; ++i) EXPECT_TRUE(area[i] == 0 && perim[i] == 1) << c.what << i;
    const std::string err = takeErr();
    EXPECT_TRUE(err.find("vp_udport_:") != std::string::npos && err.find(c.what) != std::string::npos &&
                err.find("vp_udport_:") == err.rfind("vp_udport_:"))
        << c.what << err;
  }
}

TEST(VanePorts, PivotRangesReachTheRoom) {
  // Turning the ring centre K about the pivot P by an end of a range puts it
  // the room (Ds - Dr) / 2 from the rotor centre; -phi0 brings it nearest.
  const double px = 10, py = -40, cx = 2, cy = 1, Dr = 50, Ds = 60;
  double tc, phi0, Rc, Rp, l, tp, lo1, hi1, lo2, hi2;
  vp_pivot_init_(&px, &py, &cx, &cy, &Dr, &Ds, nullptr, &tc, &phi0, &Rc, &Rp, &l, &tp, &lo1, &hi1, &lo2, &hi2);
  const auto reach = [&](double t) {
    return std::hypot(px + std::cos(t) * (cx - px) - std::sin(t) * (cy - py), py + std::sin(t) * (cx - px) + std::cos(t) * (cy - py));
  };
  EXPECT_TRUE(std::fabs(reach(lo2) - 5) < 1e-9 && std::fabs(reach(hi2) - 5) < 1e-9);
  EXPECT_NEAR(reach(-phi0), std::fabs(Rp - l), 1e-9);
}

}  // namespace
