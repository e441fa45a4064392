// Rack-cut gears against gear theory: the involute function with the tooth
// thickness s = m (pi/2 + 2 x tan alpha) on the pitch circle, tip and root
// radii, the pointed-tooth limit, and the area of a brute-force rack cut.
#include "gearpump/rack.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using namespace kiv::egp;

struct Set {
  int z;
  double m, deg, ha, c, rho, x;
};
const Set kSets[] = {
    {12, 2.0, 20, 1.0, 0.25, 0.38, 0.0},                                       // undercut
    {8, 3.0, 20, 1.0, 0.25, 0.30, 0.0},                                        // deep undercut
    {9, 2.0, 20, 1.0, 0.25, 0.38, 0.5},                                        // positive shift
    {20, 1.0, 20, 1.0, 0.25, 0.38, -0.3},                                      // negative shift
    {12, 2.0, 25, 1.0, 0.25, 0.20, 0.0},  {12, 2.0, 20, 1.0, 0.25, 0.0, 0.0},  // sharp tool corner
    {20, 1.0, 20, 1.0, 0.25, 0.45, 0.9},  // fillet centre outside the pitch line
    {6, 2.0, 20, 1.0, 0.25, 0.38, 0.5},   // pointed teeth
    {9, 2.0, 20, 1.0, 0.25, 0.38, 0.7},   // pointed, flanks meeting just past the axis
};
constexpr double kD = 0.05 * kPi / 180.0;

double inv(double a) { return std::tan(a) - a; }

struct Theory {
  Set s;
  double alpha = s.deg * kPi / 180.0, r = s.z * s.m / 2, rb = r * std::cos(alpha);
  double ra = r + (s.ha + s.x) * s.m, rf = r - (s.ha + s.c - s.x) * s.m;
  double thick = s.m * (kPi / 2 + 2 * s.x * std::tan(alpha));
  // Half the tooth's angle at radius R on the flanks.
  double half(double R) const { return thick / (2 * r) + inv(alpha) - inv(std::acos(rb / R)); }
  // Where the flanks meet.
  double pointed() const {
    double lo = rb, hi = 3 * ra;
    for (int i = 0; i < 200; ++i) (half(0.5 * (lo + hi)) > 0 ? lo : hi) = 0.5 * (lo + hi);
    return lo;
  }
  // Area of the rack cut: at radius R the tool removes the angles within
  // H(R) of a space centre, H the largest reach of the tool tooth over all
  // roll positions (tool coordinates of the gear point: R cos p,
  // R sin p - r (p - theta)).
  double bruteArea() const {
    const double m = s.m, R = s.rho * m, xt = r - (s.ha + s.c - s.x) * m, xp = r + s.x * m;
    const double ta = std::tan(alpha), Mx = xt + R;
    const double My = -kPi * m / 4 - (Mx - xp) * ta + R / std::cos(alpha);
    const double Bx = Mx - R * std::sin(alpha);
    auto reach = [&](double rr, double p) {  // tool half-width minus the point's offset
      const double px = rr * std::cos(p);
      if (px < xt) return -1e300;
      const double w = px <= Bx ? -My + std::sqrt(std::max(0.0, R * R - (px - Mx) * (px - Mx)))
                                : kPi * m / 4 + (px - xp) * ta;
      return (w - rr * std::sin(p) + r * p) / r;
    };
    const int N = 4000;
    double sum = 0, h = (ra - rf) / N;
    for (int i = 0; i <= N; ++i) {
      const double rr = rf + i * h;
      double best = -1e300, bp = 0;
      for (int k = 0; k <= 2000; ++k)
        if (double v = reach(rr, -1.2 + 2.4 * k / 2000); v > best)
          best = v, bp = -1.2 + 2.4 * k / 2000;
      double lo = bp - 1.2e-3, hi = bp + 1.2e-3;
      for (int j = 0; j < 60; ++j) {
        const double a = lo + (hi - lo) / 3, b = hi - (hi - lo) / 3;
        if (reach(rr, a) < reach(rr, b))
          lo = a;
        else
          hi = b;
      }
      best = std::max(best, reach(rr, 0.5 * (lo + hi)));
      const double width = std::max(0.0, 2 * kPi / s.z - 2 * std::max(best, 0.0));
      sum += rr * s.z * width * (i == 0 || i == N ? 1 : i % 2 ? 4 : 2);
    }
    return kPi * rf * rf + sum * h / 3;
  }
};

struct Outline {
  std::vector<double> x, y;
  int sharp = 0;
  bool ok;
  Outline(const Theory &t, int nteeth, int mode)
      : ok(egp_gear_outline(
            gearVector(t.s.z, t.s.m, t.alpha, t.s.ha, t.s.c, t.s.rho, t.s.x, t.ra, t.rf), nteeth,
            mode, sharp, x, y)) {}
};

TEST(RackGear, FlanksTipsAndRootsFollowGearTheory) {
  for (const Set &s : kSets) {
    SCOPED_TRACE(testing::Message() << "z " << s.z << " x " << s.x << " rho " << s.rho);
    const Theory t{s};
    const Outline o(t, s.z, 1);
    ASSERT_TRUE(o.ok);
    const bool pointed = t.half(t.ra) < 0;
    EXPECT_EQ(o.sharp, pointed ? 2 : 1);
    const double top = pointed ? t.pointed() : t.ra;
    double rmin = 1e9, rmax = 0;
    int tips = 0;
    for (size_t i = 0; i < o.x.size(); ++i) {
      const double R = std::hypot(o.x[i], o.y[i]);
      const double pitch = 2 * kPi / s.z;
      // Angle from the nearest tooth axis (the first at pi/2).
      double d = std::atan2(o.y[i], o.x[i]) - kPi / 2;
      d -= pitch * std::round(d / pitch);
      rmin = std::min(rmin, R);
      rmax = std::max(rmax, R);
      if (std::fabs(R - t.ra) < 1e-9) {
        ++tips;
        EXPECT_LE(std::fabs(d), t.half(t.ra) + 1e-12);
      } else if (R >= t.r) {
        EXPECT_NEAR(std::fabs(d), t.half(R), 1e-9) << R;
      }
    }
    EXPECT_NEAR(rmin, t.rf, 1e-9);
    EXPECT_NEAR(rmax, top, 1e-6);
    // Tip arcs in 0.05 degree steps from the axis and the flanks' ends on
    // the tip circle; none on a pointed tooth.
    EXPECT_EQ(tips, pointed ? 0 : s.z * (2 * static_cast<int>(t.half(t.ra) / kD) + 3));
    const double area = egp_area(static_cast<int>(o.x.size()), o.x.data(), o.y.data());
    EXPECT_NEAR(area / t.bruteArea(), 1.0, 5e-5);
  }
}

TEST(RackGear, OutlinesAreSimpleRingsOrTeethClosedThroughTheCentre) {
  for (const Set &s : kSets) {
    SCOPED_TRACE(testing::Message() << "z " << s.z << " x " << s.x);
    const Theory t{s};
    const Outline one(t, 1, 1), two(t, 2, 2), ring1(t, s.z, 1), ring2(t, s.z, 2);
    ASSERT_TRUE(one.ok && two.ok && ring1.ok && ring2.ok);
    EXPECT_EQ(one.x.back(), 0.0);
    EXPECT_EQ(one.y.back(), 0.0);
    // A ring holds z units that share their end points, the seam included.
    const size_t unit = one.x.size() - 1;
    EXPECT_EQ(ring1.x.size(), s.z * (unit - 1));
    EXPECT_EQ(ring2.x.size(), ring1.x.size());
    EXPECT_GT(std::hypot(ring1.x.back() - ring1.x[0], ring1.y.back() - ring1.y[0]), 1e-6);
    EXPECT_NEAR(egp_area(static_cast<int>(ring2.x.size()), ring2.x.data(), ring2.y.data()),
                egp_area(static_cast<int>(ring1.x.size()), ring1.x.data(), ring1.y.data()), 1e-9);
    // A whole tooth space between two teeth does not cross itself.
    ShapePtr g = shapeThrough(two.x.data(), two.y.data(), static_cast<int>(two.x.size()));
    EXPECT_EQ(check_intersections_paths(g->paths[0], g->paths[0]), 0);
  }
}

TEST(RackGear, ImpossibleToolsAndRadiiGiveNoGear) {
  int sharp = 0;
  // Fillets so large that the tool's corners overlap: the root would be met
  // past the tooth-space centre line.
  EXPECT_EQ(egp_create_gear(12, 2.0, 20 * kPi / 180, 1.0, 0.4, 0.4, 1.0, 16.0, 11.2, 12, 1, sharp),
            nullptr);
  // Tip circle inside the base circle.
  EXPECT_EQ(egp_create_gear(12, 2.0, 20 * kPi / 180, 1.0, 0.25, 0.38, 0.0, 11.0, 9.5, 12, 1, sharp),
            nullptr);
  // Teeth to draw outside 1..z.
  for (int nteeth : {0, -3, 13})
    EXPECT_EQ(egp_create_gear(12, 2.0, 0.35, 1.0, 0.25, 0.38, 0.0, 14.0, 9.5, nteeth, 1, sharp),
              nullptr);
  const int z = 12, nteeth = 12, mode = 1;
  const double m = 2, alpha = 0.35, ha = 1, c = 0.25, rho = 0.38, x = 0, ra = 14, rf = 9.5;
  ShapePtr g(egp_create_gear_(&z, &m, &alpha, &ha, &c, &rho, &x, &ra, &rf, &nteeth, &mode, &sharp));
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->npaths, 1);
}

}  // namespace
