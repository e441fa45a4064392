// Operating mode by the signs of the operating point, and efficiencies.
#include <gtest/gtest.h>

#include "geometry/kiv_pumpgeom.h"

namespace {

TEST(PumpMode, EveryCombinationOfSigns) {
  // (mode, factor) by the signs of a (rows of three) and b, for c < 0, 0, > 0.
  const int want[9][3][2] = {{{-1, -1}, {-1, 1}, {1, -1}}, {{1, 1}, {-1, 1}, {1, -1}}, {{1, 1}, {1, 1}, {-1, 1}},
                             {{1, 1}, {-1, 1}, {1, 1}},    {{1, 1}, {-1, 1}, {1, 1}},  {{1, 1}, {1, 1}, {1, 1}},
                             {{1, -1}, {-1, 1}, {-1, -1}}, {{1, -1}, {-1, 1}, {1, 1}}, {{-1, 1}, {1, 1}, {1, 1}}};
  const double value[] = {-2.5, 0.0, 0.75};
  for (int i = 0; i < 27; ++i) {
    const double a = value[i / 9], b = value[i / 3 % 3], c = value[i % 3];
    for (auto fn : {xcd_pump_getmode_, vp_getmode_}) {
      int mode = 0;
      double factor = 0.5;
      fn(&a, &b, &c, &mode, &factor);
      EXPECT_EQ(mode, want[i / 3][i % 3][0]) << a << ' ' << b << ' ' << c;
      EXPECT_EQ(factor, want[i / 3][i % 3][1]) << a << ' ' << b << ' ' << c;
    }
  }
}

TEST(PumpEfficiency, PumpMotorZeroAndNegativeRatios) {
  struct Case { double factor, qa, qi, ta, ti, ev, em; };
  for (const Case &c : {Case{1.0, 9, 10, 50, 40, 0.9, 0.8}, Case{-1.0, 10, 9, 40, 50, 0.9, 0.8},
                        Case{0.999, 10, 9, 40, 50, 0.9, 0.8},  // only exactly 1.0 is a pump
                        Case{1.0, 11, 10, 40, 50, 1.1, 1.25},  // not capped at 1
                        Case{1.0, 5, 0, 0, 3, 0, 0}, Case{-1.0, 0, 5, 3, 0, 0, 0}, Case{1.0, -5, 10, 20, -10, 0, 0}}) {
    for (auto fn : {xcd_pump_efficiencies_, vp_efficiencies_}) {
      double ev = -1, em = -1;
      fn(&c.factor, &c.qa, &c.qi, &c.ta, &c.ti, &ev, &em);
      EXPECT_DOUBLE_EQ(ev, c.ev) << c.factor << ' ' << c.qa;
      EXPECT_DOUBLE_EQ(em, c.em) << c.factor << ' ' << c.ta;
    }
  }
}

}  // namespace
