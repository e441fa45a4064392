#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>

#include "gearpump/build.hpp"
#include "gearpump/pelem.hpp"
#include "gearpump/setup_api.hpp"
#include "geometry/kiv_shapeid.h"
#include "support/kiv_test.hpp"
#include "synthetic.hpp"
#include "tests/gearpump/pair.hpp"

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

// Built pumps of rack-cut gears (module 2 mm, 20 degrees, addendum 1, tip
// clearance 0.25, fillet 0.38, no shift) with ports 2.4 mm off the line of
// centres, as the submodel places them, read through their tables.
class GearPumpBuiltTables : public test::SystemTest {
 protected:
  static constexpr double m = 2.0, b = 20.0, step = 0.25;

  // Builds z-tooth gears at the standard centre distance plus `extra`;
  // definition 2 makes the build bring the teeth into contact itself.
  void build(int teeth, double extra, int definition) {
    z = teeth, mid = z / 2, ra = z * m / 2 + m, a = z * m + extra;
    int sharp = 0;
    const double rf = z * m / 2 - 1.25 * m;
    ShapePtr s1 = egp_create_gear(z, m, pairtest::kAlpha, 1, 0.25, 0.38, 0, ra, rf, z, 2, sharp);
    ShapePtr s2 = egp_create_gear(z, m, pairtest::kAlpha, 1, 0.25, 0.38, 0, ra, rf, z, 1, sharp);
    rotate2D_(s1.get(), 0, 0, kPi / 2);
    rotate2D_(s2.get(), 0, 0, kPi / 2 + (z % 2 == 0 ? kPi / z : 0));
    translate2D_(s2.get(), -a, 0);
    gearArea = std::fabs(area2D_(s1.get()));
    egp_params p{.teeth_driving = z,
                 .teeth_driven = z,
                 .gear_definition = definition,
                 .groove = 2,
                 .leakage_mode = 2,
                 .identical_gears = 1,
                 .gear_thickness = b * 1e-3,
                 .outlet_start_driving = kPi / 2,
                 .outlet_start_driven = kPi / 2,
                 .inlet_end_driving = 1.5 * kPi,
                 .inlet_end_driven = 1.5 * kPi,
                 .drainage_radius = 0.005};
    egp_build_args args{.mode = 0, .ppd = 4, .c1 = mid, .c2 = mid};
    args.driving = register_shape_id_(s1.release());
    args.driven = register_shape_id_(s2.release());
    const double length = 1.05 * ra - 2.4;
    args.outlet = egp_create_analyticport_id(0, 0, -a, 0, 2.4, 0, 10, length, 1);
    args.inlet = egp_create_analyticport_id(0, 0, -a, 0, 2.4, 0, 10, length, -1);
    inst = egp_instance_create(z, z);
    args.store = store, args.inst = inst.get();
    egp_pump_data w;
    ASSERT_EQ(egp_internal_build(w, p, args), 0);
  }
  // Chamber tables (slots 10..13) have one element, cavity tables the
  // middle cavity's.
  double table(int s, double deg) {
    return egp_table_value(*inst, s, s >= 10 && s < 14 ? 0 : mid, 0, deg);
  }
  double slope(int s, double deg) {
    return egp_table_slope(*inst, s, s >= 10 && s < 14 ? 0 : mid, 0, deg);
  }
  // Angle at which cavity j of a gear reads its middle cavity's table, as
  // the run reads it.
  double cavityAngle(double deg, int j) const {
    return egp_modulo_deg(deg - (j - mid) * 360.0 / z);
  }
  // Every cavity of both gears and both meshing regions, in mm2.
  double fluidArea(double deg) {
    double s = table(10, deg) - table(11, deg) + table(12, deg) - table(13, deg);
    for (int j = 0; j < z; ++j)
      s += table(14, cavityAngle(deg, j)) + table(15, cavityAngle(deg, j));
    return s;
  }

  int z = 0, mid = 0;
  double ra = 0, a = 0, gearArea = 0, store[16] = {};
  std::unique_ptr<egp_instance> inst;
};

// The cavities and the two meshing regions share out the fluid inside the
// tip circles: its area is the same at every tabulated angle, the union of
// the tip discs less both gears.  The smoothing of the tables must not
// change it; between samples only the interpolation differs.
TEST_F(GearPumpBuiltTables, ChambersAndCavitiesKeepPartitioningTheFluidSpace) {
  for (int teeth : {12, 8, 17}) {
    ASSERT_NO_FATAL_FAILURE(build(teeth, 0.0, 1));
    const double lens =
        2 * ra * ra * std::acos(a / (2 * ra)) - a / 2 * std::sqrt(4 * ra * ra - a * a);
    const double expected = 2 * (kPi * ra * ra - gearArea) - lens;
    const double S0 = fluidArea(0.0);
    // The tip arcs of the cut are polygons; with 17 teeth the cavities are
    // read between the sweep's samples, whose mean sets the total.
    EXPECT_NEAR(S0, expected, 3e-5 * expected) << z;
    double worst = 0, between = 0;
    for (int k = 0; k < 1440; ++k) {
      worst = std::max(worst, std::fabs(fluidArea(k * step) - S0));
      between = std::max(between, std::fabs(fluidArea((k + 0.3) * step) - S0));
    }
    EXPECT_LT(worst, 1e-9 * S0) << z;
    EXPECT_LT(between, 1e-6 * S0) << z;
    // No chamber curve is rougher than the cavity tables it is matched to.
    auto roughness = [&](int s) {
      double r = 0;
      for (int k = 0; k < 1440; ++k)
        r = std::max(r, std::fabs(table(s, (k - 1) * step + 360 * (k == 0)) -
                                  2 * table(s, k * step) + table(s, (k + 1) * step)));
      return r;
    };
    const double cavities = std::max(roughness(14), roughness(15));
    for (int s = 10; s < 14; ++s) EXPECT_LE(roughness(s), 1.1 * cavities) << z << " " << s;
  }
}

// With backlash the driven flanks touch and the other flanks leave a gap,
// so each driving cavity and the driven cavity across that gap make one
// trapped volume; switched from the outlet to the inlet where it is
// smallest, a pump of two equal gears delivers b w (ra^2 - rw^2 - s^2), s
// the distance of the contact from the pitch point, uniform over a base
// pitch: mean b w (ra^2 - rw^2 - pb^2 / 12), ripple (pb^2 / 4) over that
// mean.  No leakage: the delivery is what the outlet side loses in volume
// from one tabulated angle to the next.
TEST_F(GearPumpBuiltTables, KinematicDeliveryOfAPumpWithBacklash) {
  const double extra = 0.0687;  // about 0.05 mm of backlash along the line of action
  ASSERT_NO_FATAL_FAILURE(build(12, extra, 2));
  const double pitch = 360.0 / z;
  double smallest = 0, least = 1e30;
  for (int k = 0; k < 1440; ++k)
    if (const double v = table(14, k * step); v < least) least = v, smallest = k * step;
  // The open gap: own tooth joins driven cavity i, neighbour tooth i - 1.
  const double partner = table(8, smallest) > table(9, smallest) ? 0.0 : pitch;
  EXPECT_LT(std::min(table(8, smallest), table(9, smallest)), 0.01);
  EXPECT_GT(std::max(table(8, smallest), table(9, smallest)), 0.03);
  auto trapped = [&](double phi) {
    return table(14, phi) + table(15, egp_modulo_deg(phi + partner));
  };
  double turn = 0, least2 = 1e30;
  for (int k = 0; k < 1440; ++k)
    if (const double v = trapped(k * step); v < least2) least2 = v, turn = k * step;
  std::vector<double> q(1440);
  for (int k = 0; k < 1440; ++k) {
    const double t0 = k * step, t1 = t0 + step;
    double change = table(10, t1) - table(11, t1) - table(10, t0) + table(11, t0);
    for (int i = 0; i < z; ++i)
      if (cavityAngle(t0, i) < turn)
        change += trapped(cavityAngle(t1, i)) - trapped(cavityAngle(t0, i));
    q[k] = -change / (step * kPi / 180);  // per unit of thickness and shaft speed, mm2
  }
  const double mean = std::accumulate(q.begin(), q.end(), 0.0) / q.size();
  const double ripple =
      (*std::max_element(q.begin(), q.end()) - *std::min_element(q.begin(), q.end())) / mean;
  const double rw = a / 2, pb = kPi * m * std::cos(pairtest::kAlpha),
               c2 = std::pow(std::cos(pairtest::kAlpha), 2);
  EXPECT_NEAR(mean, ra * ra - rw * rw - pb * pb / 12, 0.005 * mean);
  const double textbook = (kPi * kPi * c2 / 4) / (z + 1 - kPi * kPi * c2 / 12);
  EXPECT_NEAR(ripple, textbook, 0.15 * textbook) << mean;
  // The run reads the slopes of the same tables; between the samples too.
  std::vector<double> rate(7200);
  for (size_t k = 0; k < rate.size(); ++k) {
    const double t = k * 0.05;
    double r = slope(10, t) - slope(11, t);
    for (int i = 0; i < z; ++i)
      if (const double phi = cavityAngle(t, i); phi < turn)
        r += slope(14, phi) + slope(15, egp_modulo_deg(phi + partner));
    rate[k] = -r * 180 / kPi;
  }
  const double mean2 = std::accumulate(rate.begin(), rate.end(), 0.0) / rate.size();
  const double ripple2 =
      (*std::max_element(rate.begin(), rate.end()) - *std::min_element(rate.begin(), rate.end())) /
      mean2;
  EXPECT_NEAR(mean2, mean, 0.001 * mean);
  EXPECT_NEAR(ripple2, textbook, 0.15 * textbook);
  RecordProperty("mean", std::to_string(mean));
  RecordProperty("ripple", std::to_string(ripple));
  RecordProperty("slope_mean", std::to_string(mean2));
  RecordProperty("slope_ripple", std::to_string(ripple2));
}

}  // namespace
}  // namespace kiv::egp
