// The cut of a 12-tooth pair: transition angles and port regions by mirror
// symmetry, overlaps adding up to the cavity, areas continuous over a pitch.
#include <gtest/gtest.h>

#include "tests/gearpump/pair.hpp"

namespace {

using namespace kiv::egp;
using namespace kiv::egp::pairtest;

TEST(GearCut, ClosestVerticesMatchBruteForce) {
  // Rounded coordinates give ties: the first closest pair in order counts.
  Pelem p(1.0, 40), q(1.0, 70), empty;
  std::vector<double> expected{0, 0, 1e300}, got(3);
  int i = 0, j = 0;
  for (int k = 0; k < 70; ++k) {
    if (k < 40) p.x()[k] = std::cos(1.7 * k), p.y()[k] = std::round(4 * std::sin(0.3 * k));
    q.x()[k] = 3 + std::round(2 * std::sin(2.1 * k)), q.y()[k] = std::cos(0.9 * k);
  }
  for (int k = 0; k < 40 * 70; ++k)
    if (const double d = std::hypot(p.x()[k / 70] - q.x()[k % 70], p.y()[k / 70] - q.y()[k % 70]);
        d < expected[2])
      expected = {double(k / 70), double(k % 70), d};
  egp_get_dist_polys(p, q, i, j, &got[2]);
  got[0] = i, got[1] = j;
  EXPECT_EQ(got, expected);
  egp_get_dist_polys(p, empty, i, j, &got[2]);
  EXPECT_TRUE(i == -1 && j == -1 && got[2] == 1e15);
}

TEST(GearCut, TransitionsAndMirroredRegionsOfTheSymmetricPair) {
  GearPair p(12, 2.0);
  const Transitions tr(p);
  ASSERT_EQ(tr.status, 0);
  EXPECT_NEAR(std::remainder(tr.t3searched - tr.t[2], kTwoPi), 0.0, 1e-9);
  // At the mirror position the outlet region is the inlet one reflected.
  egp_pump_data w;
  double rec[32] = {};
  auto pair = p.pair();
  const egp_meshing m = tr.at(p, 0.0);
  ASSERT_EQ(egp_build_at_angle(w, p.z, p.z, 6, 6, 0.0, 0.0, m, pair, rec), 0);
  for (auto *c : {&w.out_area1, &w.out_area2, &w.inl_area1, &w.inl_area2}) c->assign(1, 0);
  ASSERT_EQ(egp_build_at_angle_io(w, p.z, p.z, 0.0, 0, m, pair, rec + 16), 0);
  EXPECT_GT(w.out_area1[0] + w.out_area2[0], 1.0);
  EXPECT_NEAR(w.out_area1[0] + w.out_area2[0], w.inl_area1[0] + w.inl_area2[0], 1e-3);
  // Outlet chords mirror the inlet ones: same length, midpoints reflected.
  EXPECT_NEAR(std::hypot(rec[16], rec[17]), std::hypot(rec[24], rec[25]), 1e-3);
  EXPECT_NEAR(rec[19], -rec[27], 1e-3);
  testing::internal::CaptureStderr();
  EXPECT_EQ(egp_build_at_angle(w, 12, 11, 6, 6, 0.0, 0.0, m, pair, rec), kCountsDiffer);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("same number of teeth"), std::string::npos);
}

TEST(GearCut, OverlapsOfTwoHalfPlanePortsAddUpToTheCavity) {
  GearPair p(12, 2.0);
  const Transitions tr(p);
  auto pair = p.pair();
  // Outlet above the line of centres, inlet below, both exact intersections.
  const double xo[] = {20, -40, -40, 20}, yo[] = {30, 30, 0, 0}, yi[] = {0, 0, -30, -30};
  ShapePtr outlet = shapeThrough(xo, yo, 4), inlet = shapeThrough(xo, yi, 4);
  egp_pump_data w;
  egp_pump_data_size(w, p.z, p.z);
  int flag = 0;
  egp_inout_get_bounds(outlet.get(), w.out_box.data(), flag);
  egp_inout_get_bounds(inlet.get(), w.inl_box.data(), flag);
  for (auto *c : {&w.drv_area_cav, &w.drv_area_out, &w.drv_area_inl, &w.drn_area_cav,
                  &w.drn_area_out, &w.drn_area_inl})
    for (auto &curve : *c) curve.assign(1, -1.0);
  for (double theta : {0.0, 0.05, 0.2, 0.4}) {
    const egp_meshing m = tr.at(p, theta);
    ASSERT_EQ(egp_build_at_angle_cavs(w, 2, p.z, p.z, -1, -1, theta, theta, 0, m, pair, {}, nullptr,
                                      outlet.get(), inlet.get(), nullptr),
              0);
    for (int c = 0; c < p.z; ++c) {
      EXPECT_NEAR(w.drv_area_out[c][0] + w.drv_area_inl[c][0], w.drv_area_cav[c][0], 2e-3);
      EXPECT_NEAR(w.drn_area_out[c][0] + w.drn_area_inl[c][0], w.drn_area_cav[c][0], 2e-3);
      EXPECT_GT(w.drv_area_cav[c][0], 0.0);
      EXPECT_LE(w.drv_area_cav[c][0], p.g1.cavarea);
    }
  }
  // A flagged port holding the cavity: its area, in mode 1 a copy of it.
  const double bx[] = {30, -70, -70, 30}, by[] = {60, 60, -60, -60};
  ShapePtr big = shapeThrough(bx, by, 4);
  egp_inout_get_bounds(big.get(), w.out_box.data(), w.out_box_flag);
  ShapePtr out[6];
  const egp_meshing m = tr.at(p, 0.1);
  ASSERT_EQ(egp_build_at_angle_cavs(w, 1, p.z, p.z, 6, 6, 0.1, 0.1, -1, m, pair, {}, out, big.get(),
                                    nullptr, nullptr),
            0);
  ASSERT_TRUE(out[0] && out[1] && out[3] && out[4]);
  EXPECT_NE(out[0].get(), out[1].get());
  EXPECT_NEAR(area2D_(out[1].get()), area2D_(out[0].get()), 1e-9);
  // A bow tie the boolean cannot walk fails the cut; no area is written.
  double b[4];
  egp_cav_get_bounds(p.g1, 6, 0.0, b[0], b[1], b[2], b[3]);
  const double tx[] = {b[0], b[2], b[0], b[2]}, ty[] = {b[1], b[1], b[3], b[3]};
  ShapePtr bow = shapeThrough(tx, ty, 4);
  egp_inout_get_bounds(bow.get(), w.inl_box.data(), w.inl_box_flag);
  w.drv_area_inl[6][0] = -1;
  EXPECT_EQ(egp_build_at_angle_cavs(w, 2, p.z, p.z, 6, -1, 0.0, 0.0, 0, tr.at(p, 0.0), pair, {},
                                    nullptr, nullptr, bow.get(), nullptr),
            kSearchFailed);
  EXPECT_EQ(w.drv_area_inl[6][0], -1);
}

TEST(GearCut, AreasAreContinuousOverAPitch) {
  GearPair p(12, 2.0);
  const Transitions tr(p);
  auto pair = p.pair();
  egp_pump_data w;
  egp_pump_data_size(w, p.z, p.z);
  for (auto *c : {&w.out_area1, &w.out_area2, &w.inl_area1, &w.inl_area2}) c->assign(1, 0);
  w.drv_area_cav[6].assign(1, 0), w.drn_area_cav[6].assign(1, 0);
  std::vector<double> last;
  int lastKey = -1, compared = 0;
  double rec[32];
  for (double deg = -1; deg <= 360 / p.z + 1; deg += 0.05) {
    const double theta = deg * kPi / 180;
    const egp_meshing m = tr.at(p, theta);
    ASSERT_EQ(egp_build_at_angle_cavs(w, 0, p.z, p.z, 6, 6, theta, theta, 0, m, pair, {}, nullptr,
                                      nullptr, nullptr, rec),
              0);
    ASSERT_EQ(egp_build_at_angle_io(w, p.z, p.z, theta, 0, m, pair, rec + 16), 0);
    const int key = ((m.o1 + 1) * 20 + m.o2 + 1) * 400 + (m.o3 + 1) * 20 + m.o4 + 1;
    const std::vector<double> now{w.out_area1[0], w.out_area2[0],       w.inl_area1[0],
                                  w.inl_area2[0], w.drv_area_cav[6][0], w.drn_area_cav[6][0]};
    for (size_t i = 0; key == lastKey && i < now.size(); ++i, ++compared)
      EXPECT_NEAR(now[i], last[i], 0.05 * p.g1.cavarea) << deg << " area " << i;
    last = now, lastKey = key;
  }
  EXPECT_GT(compared, 1000);
  // The outlet region closed on a driven-gear point just above and just
  // below the line of centres: the same region either side of the seam.
  double theta = 0;
  while (tr.at(p, theta).o1 < 0 && theta < 1) theta += 0.01;
  const egp_meshing m = tr.at(p, theta);
  ASSERT_GE(m.o1, 0);
  ASSERT_EQ(egp_build_at_angle(w, p.z, p.z, 6, 6, theta, theta, m, pair, rec), 0);
  std::vector<double> both;
  for (double side : {1e-7, -1e-7}) {
    Pelem q(1.0, 1);
    q.x()[0] = -p.a + (p.ra - 0.5) * std::cos(side), q.y()[0] = (p.ra - 0.5) * std::sin(side);
    double a1 = 0, a2 = 0;
    egp_calc_inout_areas(1, theta, p.g1, m.o1, pair.set1[0][m.o1], 0, p.g1.e_work[0][m.o1], q,
                         {0, 0, p.ra}, p.g1.pitch, {-p.a, 0, p.ra}, p.g2.pitch, p.g1.cross_hi,
                         p.g2.cross_hi, a1, a2);
    both.insert(both.end(), {a1, a2});
  }
  EXPECT_NEAR(both[0], both[2], 1e-4);
  EXPECT_NEAR(both[1], both[3], 1e-4);
}

}  // namespace
