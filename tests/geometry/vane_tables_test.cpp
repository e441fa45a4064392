// Vane-pump tables of a single entry and a displacement of no chambers.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "geometry/kiv_pumpgeom.h"
#include "geometry/kiv_shapeid.h"
#include "support/kiv_test.hpp"

namespace {

using VaneTables = kiv::test::SystemTest;

TEST_F(VaneTables, OneEntryIsTheChamberAtTheFirstAngleAndNoChambersFail) {
  // Mid-range dimensions (mm) under which each table opens at the first angle.
  const double Rn = 20, tn = 1, delta = 0, na = 2, vw = 1;
  const double g1 = 1, g2 = 0.5, Rg = 20, p1 = 0.2, p2 = 0.9, q1 = 0.1, q2 = 1.2;
  const double w = 3, rt = 2, ex = 2, ey = 0.5, R = 30, r = 25, dg = 2, depth = 1, pp1 = 0.8, pp2 = 2.0;
  const double r1 = 29, r2 = 33, o = 0, s1 = 0.3, s2 = 1.4;
  const int mode = 1;
  const int groove = create_analyticport_id_(&r1, &r2, &o, &o, &o, &o, &s1, &s2, &mode);
  ASSERT_GE(groove, 0);
  // A table of one entry against the first entry of the same table of three.
  // The first chamber spans 0.35 to 0.95 rad, led or trailed by its entry's
  // angle; the trailing notch is mirrored about pi / 2, so vane 2 stands in
  // it at pi - 1.05 + the vane's half width seen from Rn.
  const auto table = [&](int which, int n, double thl, double tht, double *area, double *perim) {
    const double first = thl < tht ? 0.35 : which == 0 ? 1.65 - std::atan(0.5 * vw / Rn) : 0.95;
    const double angles[] = {first, 0.7, 2.5};
    if (which == 0) return vp_notch_(angles, area, perim, &n, &thl, &tht, &tn, &Rn, &delta, &na, &na, &na, &vw);
    if (which == 1) return vp_anagroove_(angles, area, perim, &n, &thl, &tht, &g1, &g2, &Rg, &p1, &p2, &q1, &q2);
    return vp_groove_to_port_(&groove, angles, area, perim, &n, &thl, &tht, &w, &rt, &ex, &ey, &R, &r, &dg, &depth,
                              &pp1, &pp2);
  };
  for (int which = 0; which < 3; ++which)
    for (const double lead : {0.0, 0.6}) {
      SCOPED_TRACE("table " + std::to_string(which) + " lead " + std::to_string(lead));
      const double thl = lead, tht = 0.6 - lead;
      double area3[3] = {-1, -1, -1}, perim3[3] = {-1, -1, -1}, area1 = -1, perim1 = -1;
      EXPECT_EQ(table(which, 3, thl, tht, area3, perim3), 0);
      EXPECT_EQ(table(which, 1, thl, tht, &area1, &perim1), 0);
      EXPECT_GT(area3[0], 0.0);
      EXPECT_EQ(area1, area3[0]);
      EXPECT_EQ(perim1, perim3[0]);
    }
  EXPECT_EQ(takeErr(), "");

  // No chambers are no displacement, not one chamber of the whole turn.
  const double mw = 0.003, mrt = 0.002, mR = 0.03, mr = 0.025, L = 0.01, widths[] = {1.0};
  for (const int n : {0, -1}) {
    double mex = 0.003, mey = 0.001;
    EXPECT_EQ(vp_uneven_chamber_displacement_(&n, widths, &mw, &mrt, &mex, &mey, &mR, &mr, &L), -1.0) << n;
    const std::string err = takeErr();
    EXPECT_NE(err.find("vp_uneven_chamber_displacement_:"), std::string::npos) << err;
    EXPECT_EQ(err.find("vp_uneven_chamber_displacement_:"), err.rfind("vp_uneven_chamber_displacement_:")) << err;
  }
}

}  // namespace
