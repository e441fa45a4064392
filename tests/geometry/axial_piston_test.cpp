// Valve-plate slots and notches against their closed-form areas, and port
// openings against overlaps known by construction.
#include <gtest/gtest.h>

#include <cmath>

#include "geometry/kiv_gerotor.h"
#include "geometry/kiv_shapeid.h"
#include "support/kiv_test.hpp"

namespace {

using AxialPiston = kiv::test::SystemTest;
constexpr double pi = 3.141592653589793;

TEST_F(AxialPiston, SlotAreasAreSectorPlusCaps) {
  const double Rp = 10, w = 2, h = 1, eps = std::asin(h / Rp);
  const auto band = [&](double span) { return (span - 2 * eps) * 2 * Rp * h + pi * h * h; };
  struct Case { double ts, te, area; };
  for (const Case &c : {Case{0, 0, pi}, Case{0, pi / 2, band(pi / 2)}, Case{3, -3, band(2 * pi - 6)},
                        Case{-2, 2.5, band(4.5)}}) {
    shape *s = create_axpp_slot_(&Rp, &w, &c.ts, &c.te);
    ASSERT_NE(s, nullptr);
    EXPECT_NEAR(area2D_(s), c.area, 1e-9) << c.ts << " " << c.te;
    delete_shape_(s);
  }
  const double wide = 20, zero = 0;
  EXPECT_EQ(create_axpp_slot_(&Rp, &wide, &zero, &zero), nullptr);
  EXPECT_EQ(create_axpp_slot_id_(&zero, &w, &zero, &zero), -1);
}

TEST_F(AxialPiston, NotchIsATriangleWithItsTipOnThePitchCircle) {
  const double Rp = 30, w = 4, h = 2, th = 1.0, beta = 0, L = 5, wn = 2, d = std::asin(wn / (2 * h));
  const double tri = 0.5 * wn * (L + h - h * std::cos(d)), seg = 0.5 * h * h * (2 * d - std::sin(2 * d));
  for (int side : {1, 2})
    for (int arc : {0, 1}) {
      shape *s = create_axpp_notch_(&Rp, &side, &w, &th, &beta, &L, &wn, nullptr, &arc);
      EXPECT_NEAR(std::fabs(area2D_(s)), arc ? tri - seg : tri, 1e-9) << side << arc;
      const point *tip = s->paths[0]->first->next;
      EXPECT_NEAR(std::hypot(tip->x, tip->y), Rp, 1e-9);
      // The tip points away from the port: clockwise at its start.
      EXPECT_EQ(std::atan2(tip->y, tip->x) < th, side == 1);
      delete_shape_(s);
    }
}

TEST_F(AxialPiston, LineDistances) {
  double PA[3], PB[3];
  const double o[] = {0, 0, 0}, x[] = {1, 0, 0}, up[] = {0, 0, 5}, y5[] = {0, 1, 5}, p34[] = {0, 3, 4},
               q34[] = {7, 3, 4};
  EXPECT_NEAR(distance3D_Line_to_Line(x, o, y5, up, PA, PB), 5, 1e-12);
  EXPECT_NEAR(std::hypot(PA[0], PA[1]) + std::hypot(PB[0], PB[1]), 0, 1e-12);
  EXPECT_NEAR(distance3D_Line_to_Line(x, o, q34, p34, PA, PB), 5, 1e-12);  // parallel: from A2
  EXPECT_TRUE(PA[0] == 0 && PB[0] == 0);
}

TEST_F(AxialPiston, PortOpeningsOverTheTurn) {
  const double Rp = 10, w = 2, pw = 4, a0 = 0, a1 = 1, ts = -0.5, te = 0.5;
  const int port = create_axpp_slot_id_(&Rp, &pw, &ts, &te), bore = create_axpp_slot_id_(&Rp, &w, &a0, &a0);
  double angles[] = {0, 0.2, 2, 0}, area[4], perim[4];
  const int n = 4;
  ASSERT_EQ(axpp_udport_(&port, angles, area, perim, &n, &bore), 0);
  EXPECT_NEAR(area[0], std::round(pi * 1000) / 1000, 1e-12);  // inside: the whole bore
  EXPECT_NEAR(perim[1], std::round(2 * pi * 1000) / 1000, 1e-12);
  EXPECT_TRUE(area[2] == 0 && perim[2] == 0 && area[3] == area[0]);
  int first = 1, last = 2, bad = 4;
  area[3] = -1;
  ASSERT_EQ(axpp_udport_custom_(&port, angles, &first, &last, area, perim, &n, &bore), 0);
  EXPECT_EQ(area[3], -1);  // a partial range leaves the last entry
  EXPECT_EQ(axpp_udport_custom_(&port, angles, &first, &bad, area, perim, &n, &bore), -1);
  EXPECT_EQ(axpp_udport_custom_(&first, angles, &last, &first, area, perim, &n, &bore), -1);
  EXPECT_EQ(area[3], -1);
  const int missing = 9999;
  ASSERT_EQ(axpp_udport_(&missing, angles, area, perim, &n, &bore), -1);
  EXPECT_TRUE(area[3] == 0 && perim[3] == 1.0);

  // A notch at the port's start: a shallow floor cuts the opening below
  // the plan view only where the bore reaches into the notch.
  const int side = 1;
  const double beta = 0, L = 2, wn = 1, deep = 1e6, flat = 0.01, start = -0.5;
  double planA[4], planP[4], cutA[4], cutP[4], far[] = {0, -0.62, 2, 0};
  ASSERT_EQ(axpp_anaport_notch_(&port, far, planA, planP, &n, &Rp, &w, &a0, &a1, &side, &start, &beta, &L, &wn,
                                &deep), 0);
  ASSERT_EQ(axpp_anaport_notch_(&port, far, cutA, cutP, &n, &Rp, &w, &a0, &a1, &side, &start, &beta, &L, &wn,
                                &flat), 0);
  EXPECT_EQ(cutA[0], planA[0]);
  EXPECT_LT(cutA[1], planA[1]);
  EXPECT_GT(planA[1], 0);
  EXPECT_TRUE(cutA[2] == 0 && cutA[3] == cutA[0]);
}

}  // namespace
