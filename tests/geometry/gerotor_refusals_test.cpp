// Gerotor calls handed a lobe count no gerotor has: each says so once,
// naming itself, and leaves every output as it was.
#include <gtest/gtest.h>

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

TEST_F(GerotorLobes, CountsOutsideThreeTo360AreRefusedWithoutWriting) {
  const int sound = 7;
  const double a = 20, rc = 6, e = 2, Ro = 18.5, X = 0, b = 10, theta = 0.3, p = 2, h = 0.01, w = 5, omega = 100;
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
    gp_get_xc_yc_(&z, &a, &rc, &e, &theta, &out[0], &out[1]);
    refused("gp_get_xc_yc_");
    gp_get_rc_thetac_(&z, &a, &rc, &e, &theta, &out[0], &out[1]);
    refused("gp_get_rc_thetac_");
    gp_get_volume_derivative_(&z, &a, &rc, &e, &b, &theta, out.data());
    refused("gp_get_volume_derivative_");
    gp_get_force_torque_ch_inner_gear_(&z, &a, &rc, &e, &b, &theta, &p, &out[0], &out[1], &out[2]);
    refused("gp_get_force_torque_ch_inner_gear_");
    gp_get_leakage_couette_(&z, &a, &rc, &e, &h, &w, &theta, &omega, &out[0], &out[1]);
    refused("gp_get_leakage_couette_");
    EXPECT_EQ(gp_ud_set_splitters_angles_(ring, &z, &centre, &centre, &out[0], &out[1], &out[2]), -1);
    refused("gp_ud_set_splitters_angles_");
    EXPECT_EQ(gp_ud_set_splitters_angles_id_(&ringId, &z, &centre, &centre, &out[0], &out[1], &out[2]), -1);
    refused("gp_ud_set_splitters_angles_id_");
    EXPECT_EQ(gp_ud_get_displacement_(&z, &three, volumes), 0.0);
    refused("gp_ud_get_displacement_");
  }
}

}  // namespace
