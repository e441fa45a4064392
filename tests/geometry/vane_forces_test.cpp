// Chamber forces against a sampled outline of the chamber section, the
// chamber functions against finite differences, and the port opening's
// state machine with the discontinuity mode driven.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "geometry/kiv_pumpgeom.h"
#include "support/kiv_test.hpp"

namespace {

using Forces = kiv::test::SystemTest;
constexpr double kPi = 3.14159265358979323846;
// Metres: stator, rotor, tip radius, thickness, width.
constexpr double R = 0.03, r = 0.025, rt = 0.002, w = 0.003, L = 0.02;

TEST(VaneForces, StatorForcesAgainstTheSampledSection) {
  const double ex = 0.003, ey = -0.001, V = 2e-6, p = 5e6, rho = 850, omega = 150;
  for (auto [phi1, phi2] : {std::pair(0.4, 1.1), std::pair(5.9, 0.5), std::pair(2.0, 2.0)}) {
    double s[2], P[2][2], g[2], o[9];
    for (int k = 0; k < 2; ++k) {  // contact points on the stator along each ray
      const double f = k ? phi2 : phi1, c = std::cos(f), sn = std::sin(f);
      s[k] = ex * c + ey * sn + std::sqrt(R * R - std::pow(ex * sn - ey * c, 2));
      P[k][0] = s[k] * c, P[k][1] = s[k] * sn;
    }
    // Rotor arc phi1 -> phi2, then the stator arc back about its centre.
    std::vector<std::pair<double, double>> poly;
    const double span = std::remainder(phi2 - phi1 - kPi, 2 * kPi) + kPi, n = 4000;
    const double g1 = std::atan2(P[0][1] - ey, P[0][0] - ex), g2 = std::atan2(P[1][1] - ey, P[1][0] - ex);
    const double gspan = std::remainder(g2 - g1 - kPi, 2 * kPi) + kPi;
    for (int i = 0; i <= n; ++i) poly.emplace_back(r * std::cos(phi1 + span * i / n), r * std::sin(phi1 + span * i / n));
    for (int i = 0; i <= n; ++i) poly.emplace_back(ex + R * std::cos(g2 - gspan * i / n), ey + R * std::sin(g2 - gspan * i / n));
    double A = 0, cx = 0, cy = 0;
    for (size_t i = 0, j = 1; i < poly.size(); ++i, j = (i + 1) % poly.size()) {
      const double cr = poly[i].first * poly[j].second - poly[j].first * poly[i].second;
      A += cr / 2, cx += (poly[i].first + poly[j].first) * cr / 6, cy += (poly[i].second + poly[j].second) * cr / 6;
    }
    vp_stator_forces_(&ex, &ey, &R, &r, &L, &V, &s[0], &s[1], nullptr, nullptr, &phi1, &phi2, &p, &rho, &omega, o, o + 1,
                      o + 2, o + 3, o + 4, o + 5, o + 6, o + 7, o + 8, g, g + 1);
    EXPECT_NEAR(o[0], std::hypot(P[1][0] - P[0][0], P[1][1] - P[0][1]) * L * p, 1e-9 * p);
    const double mx = (P[0][0] + P[1][0]) / 2, my = (P[0][1] + P[1][1]) / 2;
    EXPECT_NEAR(std::remainder(o[3] - std::atan2(my - ey, mx - ex), 2 * kPi), 0, 1e-12);
    // A chamber closed to a line has its centroid at the contact point.
    const double gx = std::fabs(A) > 1e-15 ? cx / A : mx, gy = std::fabs(A) > 1e-15 ? cy / A : my;
    EXPECT_LT(std::hypot(g[0] - gx, g[1] - gy), 1e-9) << phi1;
    EXPECT_NEAR(o[6], V * rho * omega * omega * std::hypot(gx, gy), 1e-7 * o[6]);
    EXPECT_NEAR(std::atan2(o[8], o[7]), std::atan2(std::sin(phi1 + span / 2), std::cos(phi1 + span / 2)), 1e-12);
  }
}

struct Stator { double F, Fx, Fy, psi; };
Stator statorForce(double ex, double ey, double Rs, double rr, double Lw, double s1, double s2, double phi1, double phi2,
                   double p) {
  const double none = 0;
  double o[9], g[2];
  vp_stator_forces_(&ex, &ey, &Rs, &rr, &Lw, &none, &s1, &s2, nullptr, nullptr, &phi1, &phi2, &p, &none, &none, o, o + 1,
                    o + 2, o + 3, o + 4, o + 5, o + 6, o + 7, o + 8, g, g + 1);
  return {o[0], o[1], o[2], o[3]};
}

TEST(VaneForces, StatorPressureForceIsThePressureAlongTheWettedArc) {
  // Millimetres, e = 3.  The pressure on the stator arc from vane 1 to vane
  // 2 (counter-clockwise about the stator centre), summed by the midpoint rule.
  const double Rs = 30, rr = 25, Lw = 10, p = 1, ex = 2.4, ey = -1.8;
  for (auto [phi1, phi2] : {std::pair(0.4, 1.1), std::pair(5.9, 0.5), std::pair(2.0, 2.0 + kPi - 0.1),
                            std::pair(1.0, 1.0 + kPi + 0.4), std::pair(-0.2, 4.9), std::pair(3.0, 3.0 + 1.9 * kPi)}) {
    double s[2], g[2];
    for (int k = 0; k < 2; ++k) {  // contact points on the stator along each ray
      const double f = k ? phi2 : phi1, c = std::cos(f), sn = std::sin(f);
      s[k] = ex * c + ey * sn + std::sqrt(Rs * Rs - std::pow(ex * sn - ey * c, 2));
      g[k] = std::atan2(s[k] * sn - ey, s[k] * c - ex);
    }
    const double arc = std::fmod(g[1] - g[0] + 4 * kPi, 2 * kPi), n = 100000;
    double Fx = 0, Fy = 0;
    for (int i = 0; i < n; ++i) {
      const double gamma = g[0] + arc * (i + 0.5) / n;
      Fx += p * Lw * Rs * std::cos(gamma) * arc / n;
      Fy += p * Lw * Rs * std::sin(gamma) * arc / n;
    }
    const Stator f = statorForce(ex, ey, Rs, rr, Lw, s[0], s[1], phi1, phi2, p);
    EXPECT_NEAR(f.F, std::hypot(Fx, Fy), 1e-5) << phi1 << ' ' << phi2;
    EXPECT_TRUE(std::fabs(f.Fx - Fx) < 1e-5 && std::fabs(f.Fy - Fy) < 1e-5) << phi1 << ' ' << phi2 << ": " << f.Fx << ' '
                                                                            << f.Fy << " want " << Fx << ' ' << Fy;
    EXPECT_TRUE(f.psi >= 0 && f.psi < 2 * kPi) << f.psi;
  }
  // A two-vane pump (R 30, r 25, rt 2, w 3): its two chambers, each wider
  // than half a turn about the stator centre on one side, press the ring
  // equally in opposite directions.
  const double tip = 2, thick = 3, e = 3, zero = 0;
  for (double theta : {0.0, 0.4, 1.3, kPi / 2, 2.9}) {
    double beta[2], h[2], sc[2], phi[2];
    for (int k = 0; k < 2; ++k) {
      const double axis = theta + k * kPi;
      vp_singlevane_geom_(&axis, &e, &zero, &thick, &tip, &Rs, &rr, &beta[k], &h[k], &sc[k], &phi[k]);
    }
    const Stator a = statorForce(e, 0, Rs, rr, Lw, sc[0], sc[1], phi[0], phi[1], p);
    const Stator b = statorForce(e, 0, Rs, rr, Lw, sc[1], sc[0], phi[1], phi[0], p);
    EXPECT_GT(a.F, 500);
    EXPECT_LT(std::hypot(a.Fx + b.Fx, a.Fy + b.Fy), 1e-9 * a.F) << theta;
  }
}

TEST(VaneForces, RotorForceOnTheChordOppositeTheChamber) {
  const double p = 2e6;
  for (auto [phi1, phi2, psi] : {std::tuple(-0.3, 0.3, kPi), std::tuple(5.0, 0.5, 5.0 + (0.5 - 5.0 + 2 * kPi) / 2 - kPi),
                                 std::tuple(1.0, 1.0, 1.0 + kPi)}) {
    double F, Fx, Fy, psiF;
    vp_rotor_forces_(&r, &L, &phi1, &phi2, &p, &F, &Fx, &Fy, &psiF);
    EXPECT_NEAR(F, 2 * r * std::fabs(std::sin((phi2 - phi1) / 2)) * L * p, 1e-6);
    EXPECT_TRUE(std::fabs(psiF - psi) < 1e-12 && std::fabs(std::hypot(Fx, Fy) - F) < 1e-6) << phi1;
  }
}

struct Trans { double V, dV, dVde, ring, dVdt, s1, s2; };
Trans trans(double t1, double t2, double e, double omega = 0, double edot = 0) {
  const double beta1 = std::asin(e * std::sin(t1) / (R - rt));
  Trans t;
  vp_dev_trans_VdV_(&t1, &t2, &e, &beta1, &omega, &edot, &w, &rt, &R, &r, &L, &t.V, &t.dV, &t.dVde, &t.ring, &t.dVdt,
                    &t.s1, &t.s2);
  return t;
}

TEST(VaneForces, ChamberTransferAgainstFiniteDifferences) {
  const double e = 0.003, h = 1e-6;
  for (auto [t1, t2] : {std::pair(0.5, 1.2), std::pair(2.8, 3.5), std::pair(-1.0, -0.3)}) {
    const Trans t = trans(t1, t2, e, 120, 0.05);
    // The rotation rate is a closed-form approximation, within 0.3 %.
    const double turn = (trans(t1 + h, t2 + h, e).V - trans(t1 - h, t2 - h, e).V) / (2 * h);
    EXPECT_NEAR(t.dVdt, turn, 3e-3 * std::fabs(turn));
    EXPECT_NEAR(t.dVde, (trans(t1, t2, e + h).V - trans(t1, t2, e - h).V) / (2 * h), 1e-6 * std::fabs(t.dVde) + 1e-12);
    EXPECT_DOUBLE_EQ(t.dV, t.dVdt * 120 - t.dVde * 0.05);
  }
  // A chamber across the zero angle is one turn later at its end.
  EXPECT_NEAR(trans(6.0, 0.5, e).V, trans(6.0, 0.5 + 2 * kPi, e).V, 1e-18);
  EXPECT_GT(trans(6.0, 0.5, e).V, 0);
}

// A centred ring (the chamber a plain annular sector), ten vanes, a port
// from 1.0 to 1.5 rad and a notch 4 mm long, 2 mm wide, 1 mm deep before it.
struct PortCall {
  double ps = 1.0, pe = 1.5, a = 0.004, m1 = 0, m2 = 0;
  int mode = 0, in2 = -1, in1 = -1, nstate = -1;
  double area = -1, dh = -1, perim = -1;
  void at(double t2) {
    const double e = 0, beta1 = 0, n = 10, Rn = 0.027, delta = 0, b = 0.002, c = 0.001, t1 = t2 - 2 * kPi / n;
    vp_dev_port_area_(&t1, &t2, &e, &beta1, &w, &rt, &R, &r, &n, &ps, &pe, &Rn, &delta, &a, &b, &c, &area, &dh, &perim,
                      &mode, &in2, &in1, &nstate, &m1, &m2);
  }
};

TEST_F(Forces, PortOpeningFollowsTheVanesAndReportsCrossings) {
  const double a = 0.004, b = 0.002, c = 0.001, h = R - r, eps = std::atan(w / 2 / (r + h / 2));
  const double H = vanehalfarea_(&w, &rt, &h), notch = a * b * c / (2 * std::hypot(a, c));
  PortCall call;
  const long allocations = kiv::test::allocationCount();
  KivBeginEvaluation(KIV_EVAL_ORDINARY);
  call.at(1.3);  // vane 2 in the port, vane 1 behind the notch: the notch wide open
  EXPECT_TRUE(call.mode == 1 && call.in2 == 1 && call.in1 == 0 && call.nstate == 2);
  EXPECT_NEAR(call.area, (R * R - r * r) / 2 * (1.3 - 1.0) - H + notch, 1e-15);
  KivBeginEvaluation(KIV_EVAL_LOCATE);
  call.at(1.32);
  EXPECT_EQ(KivGetAnswerWord(), KIV_EVAL_LOCATE);  // nothing crossed
  // Vane 2 leaves the port and vane 1 enters the notch: one report.
  call.at(1.56);
  EXPECT_EQ(KivGetAnswerWord(), 4);
  EXPECT_TRUE(call.mode == 1 && call.in2 == 1 && call.in1 == 0 && call.nstate == 2);
  KivBeginEvaluation(KIV_EVAL_ORDINARY);
  call.at(1.56);  // the notch alone, filled up to vane 1's edge
  const double l = 0.027 * std::tan(1.0 - (1.56 - 2 * kPi / 10 - eps));
  EXPECT_TRUE(call.in2 == 0 && call.in1 == 0 && call.nstate == 3);
  EXPECT_NEAR(call.area, notch * (l / a) * (l / a), 1e-15);
  EXPECT_TRUE(allocations < 0 || kiv::test::allocationCount() == allocations);  // evaluation allocates nothing
  // A span in the second quadrant; a port start given below zero.
  PortCall wide{.ps = -0.5, .pe = 1.5};
  wide.at(0.5);
  EXPECT_EQ(wide.mode, 2);
  EXPECT_DOUBLE_EQ(wide.ps, 2 * kPi - 0.5);
  // Neither vane in the port and no notch: closed.
  PortCall shut{.a = 0};
  shut.at(3.0);
  EXPECT_TRUE(shut.area == 0 && shut.dh == 0);
}

}  // namespace
