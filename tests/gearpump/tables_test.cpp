#include <algorithm>
#include <cmath>

#include "support/kiv_test.hpp"
#include "synthetic.hpp"

namespace kiv::egp {
namespace {

class GearPumpTables : public test::SystemTest {};

bool increasing(const Curve &x) {
  return std::adjacent_find(x.begin(), x.end(), std::greater_equal<>()) == x.end();
}

TEST_F(GearPumpTables, EveryTableIsMadeAndReadsAtShiftedAngles) {
  egp_pump_data w;
  synth::Build b;
  ASSERT_EQ(synth::fill(w, b, 7), 0);
  w.drv_len_out[3].back() += 1e-13;  // a cyclic curve closed only up to rounding
  auto inst = egp_instance_create(7, 7);
  ASSERT_EQ(egp_pump_data_init_tables(w, 3, 3, synth::kN, b.x.data(), b.axes(), *inst), 0);
  for (int s = 0; s < kIdSlots; ++s)
    EXPECT_TRUE(s == 16 || s == 17 || inst->id(s, inst->slot[s].size() > 1 ? 3 : 0) >= 0) << s;
  EXPECT_EQ(inst->slot[kSlotMarkersDriven].size(), 7u);
  // Cavity j reads the middle cavity's curve 360/7 degrees per index away;
  // the cyclic table joins 360 to 0.
  for (double theta : {0.0, 10.0, 200.0, 359.9})
    for (int j = 0; j < 7; ++j) {
      const double a = std::fmod(theta - (j - 3) * 360.0 / 7 + 720.0, 360.0);
      EXPECT_NEAR(egp_table_value(*inst, 0, 3, j, a), synth::wave(a, 0.3), 1e-7) << a;
      EXPECT_NEAR(egp_table_slope(*inst, 2, 3, j, a),
                  0.5 * std::cos(a * M_PI / 180 + 0.9) * M_PI / 180, 1e-6);
    }
  // The smoothed chamber areas keep the slow wave and lose the noise.
  for (double a : {0.0, 45.0, 300.0})
    EXPECT_NEAR(egp_table_value(*inst, 10, 0, 0, a), synth::wave(a, 2.7), 0.01) << a;
  // A table that cannot be made fails the set-up: a gap table of one entry.
  w.drv_gapo_n[3] = 1;
  auto bad = egp_instance_create(7, 7);
  EXPECT_NE(egp_pump_data_init_tables(w, 3, 3, synth::kN, b.x.data(), b.axes(), *bad), 0);
  EXPECT_EQ(bad->id(8, 3), -1);
  EXPECT_EQ(egp_table_value(*bad, 8, 3, 0, 120.0), 0.0);
}

TEST_F(GearPumpTables, CavityAreaTableStartsAndEndsAtTheFullArea) {
  egp_pump_data w;
  synth::Build b;
  ASSERT_EQ(synth::fill(w, b, 5), 0);
  const Curve &x = w.drn_vol_x[2], &y = w.drn_vol_y[2];
  EXPECT_EQ(w.drn_vol_n[2], int(x.size()));
  EXPECT_TRUE(increasing(x));
  EXPECT_TRUE(y.front() == synth::kAref && y.back() == synth::kAref);
  EXPECT_TRUE(x.front() <= 100.0 && x.back() >= 140.0);
  EXPECT_NEAR(*std::min_element(y.begin(), y.end()), synth::kAref - synth::kDip, 0.2);
  // Gears of one rack mirror the start crossing onto the end; a mirrored
  // segment on a flat stretch ends at its own sample, not at a division by 0.
  Curve cav(synth::kN);
  for (int k = 0; k < synth::kN; ++k) cav[k] = synth::area(b.x[k]) + 1.0;
  CavityCurves ox(1), oy(1);
  std::vector<int> on(1);
  const int rc = egp_pump_data_cav_vol(1, 0, 360, 1000, 90.0, 250.0, synth::kAref, synth::kN, 4,
                                       b.x.data(), cav.data(), ox, oy, on);
  ASSERT_EQ(rc, 0);
  EXPECT_TRUE(increasing(ox[0]));
  EXPECT_GT(ox[0].front(), 100.0);
  EXPECT_EQ(std::fmod(ox[0].back(), 0.25), 0.0);
  EXPECT_GT(ox[0].back(), 140.0);
}

TEST(GearPumpForceData, WindowEndsAreReplacedOrInserted) {
  const int n = 11;
  Curve x(n), ox;
  for (int k = 0; k < n; ++k) x[k] = k;
  Curve col[1] = {x};
  const double va = -1, vm = -2, vb = -3, *X = x.data();
  ASSERT_EQ(egp_setup_force_data_border(n, 1.0, 3, 6, 2.5, 6.5, 4.0, &va, &vb, &vm, 1, X, ox, col),
            0);
  EXPECT_EQ(ox, (Curve{0, 1, 2, 2.5, 4, 6.5, 7, 8, 9, 10}));
  EXPECT_EQ(col[0], (Curve{0, 1, 2, -1, -2, -3, 7, 8, 9, 0}));
  // The centre keeps its window; an end next to a sample is not inserted.
  struct Case {
    double xa, xb;
    size_t count;
  } cases[] = {{2.5, 6.5, 13}, {2.995, 6.5, 12}, {2.5, 6.009, 12}, {3.0, 6.0, 11}, {1.5, 7.5, 11}};
  for (auto c : cases) {
    col[0] = x;
    ASSERT_EQ(egp_setup_force_data_center(n, 1.0, 3, 6, c.xa, c.xb, &va, &vb, 1, 1, X, ox, col), 0);
    EXPECT_EQ(ox.size(), c.count) << c.xa << " " << c.xb;
    EXPECT_TRUE(increasing(ox));
    EXPECT_EQ(ox.back(), 10.0);
    EXPECT_EQ(col[0].back(), col[0][c.count - 2]);  // closing 1 repeats the point before
  }
  EXPECT_NE(egp_setup_force_data_center(n, 1.0, 0, 6, 0.5, 6.5, &va, &vb, 0, 1, X, ox, col), 0);
}

}  // namespace
}  // namespace kiv::egp
