// Port sectors whose centres lie beyond what the construction can square.
#include <gtest/gtest.h>

#include <string>

#include "geometry/kiv_pumpgeom.h"
#include "geometry/kiv_shapeid.h"
#include "support/kiv_test.hpp"

namespace {

using AnalyticOverflow = kiv::test::SystemTest;

TEST_F(AnalyticOverflow, PortWhoseFrameOverflowsIsRefused) {
  const double r1 = 5, r2 = 40, zero = 0, t1 = -1, t2 = 1;
  const auto refused = [&] {
    const std::string err = takeErr();
    EXPECT_NE(err.find("create_analyticport_:"), std::string::npos) << err;
    EXPECT_EQ(err.find("create_analyticport_:"), err.rfind("create_analyticport_:")) << err;
  };
  // The distance of the centres squares past the largest double from about
  // 1.3e154 on; either centre far out, in either mode.
  for (const double far : {1e300, -1e300, 2e154})
    for (const int mode : {0, 1})
      for (const bool firstFar : {true, false}) {
        SCOPED_TRACE(std::to_string(far) + " mode " + std::to_string(mode) + (firstFar ? " first" : " second"));
        const double x1 = firstFar ? far : zero, x2 = firstFar ? zero : far;
        shape *s = create_analyticport_(&r1, &r2, &x1, &zero, &x2, &zero, &t1, &t2, &mode);
        EXPECT_EQ(s, nullptr);
        delete_shape_(s);
        refused();
        EXPECT_EQ(create_analyticport_id_(&r1, &r2, &x1, &zero, &x2, &zero, &t1, &t2, &mode), -1);
        refused();
      }
}

}  // namespace
