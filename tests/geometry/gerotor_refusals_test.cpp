// Gerotor calls handed a lobe count no gerotor has, or an angle that is not
// finite or lies beyond a million radians: each says so once, naming itself,
// and leaves every output as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "geometry/kiv_gerotor.h"
#include "geometry/kiv_shapeid.h"
#include "support/kiv_test.hpp"

namespace {

using GerotorLobes = kiv::test::SystemTest;

size_t count(const std::string &text, const std::string &part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// The gear of these tests (mm) and the loads of the force and leakage calls.
constexpr double a = 20, rc = 6, e = 2, Ro = 18.5, X = 0, b = 10, p = 2, h = 0.01, w = 5, omega = 100;

// The calls of one contact at theta, writing into out, each followed by
// check(its name).
template <class Check>
void contactCalls(int z, double theta, std::vector<double> &out, Check &&check) {
  gp_get_xc_yc_(&z, &a, &rc, &e, &theta, &out[0], &out[1]);
  check("gp_get_xc_yc_");
  gp_get_rc_thetac_(&z, &a, &rc, &e, &theta, &out[0], &out[1]);
  check("gp_get_rc_thetac_");
  gp_get_volume_derivative_(&z, &a, &rc, &e, &b, &theta, out.data());
  check("gp_get_volume_derivative_");
  gp_get_force_torque_ch_inner_gear_(&z, &a, &rc, &e, &b, &theta, &p, &out[0], &out[1], &out[2]);
  check("gp_get_force_torque_ch_inner_gear_");
  gp_get_leakage_couette_(&z, &a, &rc, &e, &h, &w, &theta, &omega, &out[0], &out[1]);
  check("gp_get_leakage_couette_");
}

TEST_F(GerotorLobes, CountsOutsideThreeTo360AreRefusedWithoutWriting) {
  const int sound = 7;
  const double theta = 0.3;
  const double centre = 0, volumes[] = {1, 4, 2};
  const int ringId = create_gp_outer_gear2_id_(&sound, &a, &rc, &Ro, &X, &theta);
  ASSERT_GE(ringId, 0);
  const shape *ring = xCD_get_shape_(&ringId);
  const int three = 3;
  for (const int z : {400, 0, 1, 2}) {
    SCOPED_TRACE("z " + std::to_string(z));
    constexpr double kUntouched = -12345;
    // Room for every chamber of the largest count, should one be written.
    std::vector<double> out(401, kUntouched);
    const auto refused = [&](const std::string &call) {
      const std::string err = takeErr();
      EXPECT_EQ(count(err, call + ":"), 1u) << err;
      EXPECT_EQ(count(err, "\n"), 2u) << err;  // one message
      EXPECT_NE(err.find(z > 360 ? "360" : "at least 3 lobes"), std::string::npos) << err;
      for (double v : out) ASSERT_EQ(v, kUntouched) << call;
    };
    contactCalls(z, theta, out, refused);
    EXPECT_EQ(gp_ud_set_splitters_angles_(ring, &z, &centre, &centre, &out[0], &out[1], &out[2]), -1);
    refused("gp_ud_set_splitters_angles_");
    EXPECT_EQ(gp_ud_set_splitters_angles_id_(&ringId, &z, &centre, &centre, &out[0], &out[1], &out[2]), -1);
    refused("gp_ud_set_splitters_angles_id_");
    EXPECT_EQ(gp_ud_get_displacement_(&z, &three, volumes), 0.0);
    refused("gp_ud_get_displacement_");
  }
}

// Every call that takes an angle, handed angles out of reach: one message
// naming the call, nothing written.  The outermost angles still in reach are
// answered as the geometry demands.
TEST_F(GerotorLobes, AnglesNotFiniteOrBeyondAMillionRadiansAreRefusedWithoutWriting) {
  const int z = 7;
  const double zero = 0;
  const int ringId = create_gp_outer_gear2_id_(&z, &a, &rc, &Ro, &X, &zero);
  ASSERT_GE(ringId, 0);
  const shape *ring = xCD_get_shape_(&ringId);
  const double inf = std::numeric_limits<double>::infinity();
  constexpr double kDegree = 0.017453292519943295;
  for (const double theta : {std::nan(""), inf, -inf, 2e6, -2e6, std::nextafter(1e6, 2e6)}) {
    SCOPED_TRACE("theta " + std::to_string(theta));
    constexpr double kUntouched = -12345;
    std::vector<double> out(z + 1, kUntouched);
    int ids[2] = {-7, -7};
    const auto refused = [&](const std::string &call) {
      const std::string err = takeErr();
      EXPECT_EQ(count(err, call + ":"), 1u) << err;
      EXPECT_EQ(count(err, "\n"), 2u) << err;  // one message
      for (double v : out) ASSERT_EQ(v, kUntouched) << call;
      EXPECT_EQ(ids[0], -7) << call;
      EXPECT_EQ(ids[1], -7) << call;
    };
    contactCalls(z, theta, out, refused);
    EXPECT_EQ(gp_find_closest_pt_from_theta_(ring, &theta, &zero, &zero, &zero), -1);
    refused("gp_find_closest_pt_from_theta_");
    EXPECT_EQ(gp_find_closest_pt_from_theta_id_(&ringId, &theta, &zero, &zero, &zero), -1);
    refused("gp_find_closest_pt_from_theta_id_");
    // The sector port takes its angles in degrees (the step past a million
    // radians would be lost converting them).
    if (std::fabs(theta) < 2e6) continue;
    const double degrees = theta / kDegree, sound = 30;
    EXPECT_EQ(gp_set_up_flow_area_analytic_(&z, &a, &rc, &Ro, &e, &X, &degrees, &sound, &ids[0], &ids[1]), -1);
    refused("gp_set_up_flow_area_analytic_");
    EXPECT_EQ(gp_set_up_flow_area_analytic_(&z, &a, &rc, &Ro, &e, &X, &sound, &degrees, &ids[0], &ids[1]), -1);
    refused("gp_set_up_flow_area_analytic_");
  }
  for (const double theta : {1e6, -1e6}) {
    SCOPED_TRACE("theta " + std::to_string(theta));
    double x = NAN, y = NAN, angle = NAN, radius = NAN;
    gp_get_xc_yc_(&z, &a, &rc, &e, &theta, &x, &y);
    // On the lobe centred at theta, on the line from its centre to the pitch point.
    const double cx = a * std::cos(theta), cy = a * std::sin(theta);
    EXPECT_NEAR(std::hypot(x - cx, y - cy), rc, 1e-9);
    EXPECT_NEAR((x - cx) * (0 - cy) - (y - cy) * (-z * e - cx), 0.0, 1e-9);
    gp_get_rc_thetac_(&z, &a, &rc, &e, &theta, &angle, &radius);
    EXPECT_NEAR(radius, std::hypot(x, y), 1e-9);
    EXPECT_NEAR(radius * std::cos(angle), x, 1e-9);
    EXPECT_NEAR(radius * std::sin(angle), y, 1e-9);
    // The chambers share a fixed volume: their rates sum to zero.
    std::vector<double> rates(z, NAN);
    gp_get_volume_derivative_(&z, &a, &rc, &e, &b, &theta, rates.data());
    double sum = 0, largest = 0;
    for (double r : rates) {
      sum += r;
      largest = std::max(largest, std::fabs(r));
    }
    EXPECT_GT(largest, 0.0);
    EXPECT_NEAR(sum, 0.0, 1e-9 * largest);
    double u = NAN, q = NAN, F[3] = {NAN, NAN, NAN};
    gp_get_leakage_couette_(&z, &a, &rc, &e, &h, &w, &theta, &omega, &u, &q);
    EXPECT_TRUE(std::isfinite(u) && std::isfinite(q));
    gp_get_force_torque_ch_inner_gear_(&z, &a, &rc, &e, &b, &theta, &p, &F[0], &F[1], &F[2]);
    EXPECT_TRUE(std::isfinite(F[0]) && std::isfinite(F[1]) && std::isfinite(F[2]));
    // On a ring sampled round a whole turn, the same node as the angle
    // brought into the first turn.
    const double folded = std::remainder(theta, 6.283185307179586), turn = 6.283185307179586, step = 0.005;
    const int sampled = create_gp_outer_gear_id_(&z, &a, &rc, &Ro, &X, &zero, &zero, &turn, &step, &zero);
    ASSERT_GE(sampled, 0);
    const int node = gp_find_closest_pt_from_theta_id_(&sampled, &theta, &zero, &zero, &zero);
    EXPECT_GE(node, 0);
    EXPECT_EQ(node, gp_find_closest_pt_from_theta_id_(&sampled, &folded, &zero, &zero, &zero));
    EXPECT_EQ(takeErr(), "");
  }
}

}  // namespace
