// Configurations where rounding once made the booleans lose crossings or
// invent them, taken from the random sweeps: each primitive at the place it
// failed, and the operations on the shapes around it.
#include <gmock/gmock.h>

#include "support/kiv_test.hpp"
#include "tests/geometry/outlines.hpp"
#include "tests/geometry/reference.hpp"

namespace {

using namespace kiv::geomtest;
using Rounding = kiv::test::SystemTest;

// Union, intersection and removal against the reference common area.
void expectConsistent(const shape *A, const shape *B, double common) {
  const Outcome o = allThree(A, B);
  EXPECT_TRUE(allOk(o));
  const double a = area2D_(A), b = area2D_(B), tol = 1e-9 * (a + b);
  EXPECT_NEAR(area2D_(o.inter.get()), common, tol);
  EXPECT_NEAR(area2D_(o.uni.get()), a + b - common, tol);
  EXPECT_NEAR(area2D_(o.diff.get()), a - common, tol);
}

TEST_F(Rounding, ANonFiniteVertexFailsEveryOperation) {
  Shape square = shapeWith({rectangle(0, 0, 2, 2)});
  Shape bad = shapeWith({contour({{1, 1}, {3, 1}, {std::nan(""), 3}, {1, 3}})});
  const Outcome o = allThree(square.get(), bad.get());
  for (auto [s, r] : {std::pair{o.su, o.uni.get()}, {o.si, o.inter.get()}, {o.sd, o.diff.get()}})
    EXPECT_TRUE(s == KIV_BOOL_NOT_FINITE && r->npaths == 0) << s;
  EXPECT_NE(takeErr(), "");
}

TEST_F(Rounding, HalfCircleOfLargeRadiusKeepsItsArea) {
  // The legs' cross product of these half circles is 1.4e-12, not zero.
  const double cx = 30.160901866333369, cy = 39.108809476275653, r = 90.091906975406403;
  Shape disc = shapeWith({contour({{-46.400806475753221, -8.3765200288099138},
                                   {cx, cy, r, KIV_ARC_MINOR, KIV_CCW},
                                   {106.72261020841995, 86.594138981361226},
                                   {cx, cy, r, KIV_ARC_MINOR, KIV_CCW}})});
  EXPECT_NEAR(area2D_(disc.get()), kPi * r * r, 1e-9 * r * r);
  Shape square = shapeWith({rectangle(cx, cy, cx + 200, cy + 200)});
  expectConsistent(disc.get(), square.get(), kPi * r * r / 4);
}

TEST_F(Rounding, ArcCrossingOfALongSegment) {
  // The top edge of A (138 long) crosses B's large arc; the cross product
  // that places the point on the edge is 1.4e-11 from rounding alone.
  Shape A = shapeWith({contour({{58.983715567895317, 38.816440185373381},
                                {-79.064189788034682, 31.592691566790513},
                                {-54.407581759305415, -23.116940628820917},
                                {46.758510938092329, -57.027737369486793}})});
  const Node s{31.648746650934768, 56.114545205624744}, t{-62.33597056908301, -15.398700925478375};
  Shape B =
      shapeWith({contour({s,
                          {47.229582259424355, -57.824270763419165, 114.99920096542597, KIV_ARC_MINOR, KIV_CCW},
                          {-48.620292250257947, 5.7179811573664825},
                          {-52.801994369600941, -6.5785607356237001, 12.988132088217315, KIV_ARC_MINOR, KIV_CCW},
                          t,
                          {199.34487895295482, -261.79172425926242, 359.42508114228485, KIV_ARC_MINOR, KIV_CW}})});
  // The last arc of B, run backwards as the intersection runs it.
  Arc back(s, {199.34487895295482, -261.79172425926242, 359.42508114228485, KIV_ARC_MINOR, KIV_CCW}, t);
  const double a[2] = {58.983715567895317, 38.816440185373381}, e[2] = {-79.064189788034682, 31.592691566790513};
  double x1, y1, x2, y2;
  ASSERT_EQ(computeIntersection_arcseg(back.c, a, e, 1e-11, &x1, &y1, &x2, &y2), 3);
  EXPECT_LT(deviation({{x1, y1}}, {{-2.5099670455506, 35.598608638526}}), 1e-9);
  expectConsistent(A.get(), B.get(), referenceCommonArea(A.get(), B.get()));
}

TEST_F(Rounding, PointsFarAlongAVeryShortSegmentAreNotOnIt) {
  // Two crossings inserted 1.7e-15 apart left a segment that short; the
  // line through it meets this circle 8 and 10 units away.
  Arc arc(1, -5.9219355629253627, 2.25, kPi, 2 * kPi, KIV_CCW);
  const double y = -8.0000166327301585;
  const double a[2] = {-7.9999833672227521, y}, b[2] = {-7.9999833672227538, y};
  double x1, y1, x2, y2;
  EXPECT_EQ(computeIntersection_arcseg(arc.c, a, b, 1e-11, &x1, &y1, &x2, &y2), 0);
  // A short segment across the arc still meets it.
  const double c[2] = {1, -8.2}, d[2] = {1, -8.1};
  ASSERT_EQ(computeIntersection_arcseg(arc.c, c, d, 1e-11, &x1, &y1, &x2, &y2), 3);
  EXPECT_NEAR(y1, -5.9219355629253627 - 2.25, 1e-14);
}

TEST_F(Rounding, CirclesOfVeryDifferentRadii) {
  // r1^2 N and K^2 agree to 7 digits here: their difference lost the
  // second crossing's position by 1.3e-12.
  Arc big({-44.016412744452879, 34.58590504848079},
          {90.100641515529105, 45.998083920637754, 134.60171644516669, KIV_ARC_MINOR, KIV_CCW},
          {-28.009857973604106, -18.558340859646677});
  Arc small({-35.802528891156754, -10.813027150053717},
            {-34.000393004832944, -9.6652717997794717, 2.1365945092270695, KIV_ARC_MINOR, KIV_CCW},
            {-31.864324149346704, -9.7126631648259867});
  double p1[2], p2[2];
  ASSERT_EQ(computeIntersection_arcarc(big.c, small.c, 1e-12, p1, p2), 3);
  EXPECT_LT(deviation({{p1[0], p1[1]}}, {{-32.0511199685928, -10.540126488883}}), 1e-9);
  // A lens of such circles against its closed form.
  const double R = 134.6, r = 2.1365945, d = R + 0.8;
  Shape A = shapeWith({circle(0, 0, R, 0.1)}), B = shapeWith({circle(d, 0, r, 2.0)});
  const double lens = r * r * std::acos((d * d + r * r - R * R) / (2 * d * r)) +
                      R * R * std::acos((d * d + R * R - r * r) / (2 * d * R)) -
                      0.5 * std::sqrt((-d + r + R) * (d + r - R) * (d - r + R) * (d + r + R));
  expectConsistent(A.get(), B.get(), lens);
  // Arcs of radius 4961 and 385 across a corner, far from the origin.
  Arc wide({487.12878131001997, -682.45548575100304},
           {4372.8625430810571, 2402.8738240631146, 4961.6714741471296, KIV_ARC_MINOR, KIV_CW},
           {-313.84331887414584, 774.07918357583333});
  Arc bulge({497.02898356173682, -498.95904459519483},
            {863.07357906649622, -618.00607910898827, 384.91666932567529, KIV_ARC_MAJOR, KIV_CCW},
            {1213.7465323383033, -459.29463601681442});
  ASSERT_EQ(computeIntersection_arcarc(wide.c, bulge.c, 1e-12, p1, p2), 3);
  EXPECT_LT(deviation({{p1[0], p1[1]}}, {{482.6805988, -676.8450361}}), 1e-6);
}

TEST_F(Rounding, NearlyCollinearSegmentsNeverMeet) {
  // A node made at the crossing (11/3, 8/3) lies a few ulps off the line
  // y = x - 1 on which the other shape's edge runs to (1, 0).
  point a1 = at(11.0 / 3, 4 - 4.0 / 3), a2 = at(2, 1), b1 = at(1, 0), b2 = at(2, 1), out;
  ASSERT_NE(a1.x - a1.y, 1.0);
  EXPECT_EQ(computeIntersection_segseg(&a1, &a2, &b1, &b2, 1e-11, &out), 0);
  // Crossing segments at a fair angle still do.
  point c1 = at(0, 0), c2 = at(4, 1e-3), d1 = at(2, -1), d2 = at(2, 1);
  EXPECT_EQ(computeIntersection_segseg(&c1, &c2, &d1, &d2, 1e-11, &out), 3);
  Shape A = shapeWith({contour({{3, 1}, {4, 3}, {2, 1}, {3, 0}})}),
        B = shapeWith({contour({{3, 0}, {4, 4}, {2, 1}, {1, 0}})});
  expectConsistent(A.get(), B.get(), referenceCommonArea(A.get(), B.get()));
  expectConsistent(B.get(), A.get(), referenceCommonArea(A.get(), B.get()));
}

TEST_F(Rounding, ACrossingFoundAgainFarFromTheOriginIsTheSameCrossing) {
  // At 2e4 an ulp is 3.6e-12: recomputed on the re-read edge, the crossing
  // lands farther than 1e-11 from its node, and was inserted again and
  // again up to the limit.
  Shape A = shapeWith({contour({{-319.22172371122934, 42850.169910047698},
                                {-6034.9969425619693, 31894.834581687486},
                                {-6973.4809405653714, 25428.689392138407},
                                {-32835.693968968146, 2114.85635914759},
                                {2287.4444026385345, -26762.63904147557},
                                {8040.2745173783542, -26716.982108880929},
                                {32228.117311888276, -29310.190732758707}})});
  const Node c{-6454.0743946547245, 4323.4985227706948, 41471.148251992017, KIV_ARC_MINOR, KIV_CCW};
  Shape B =
      shapeWith({contour({{2967.1032758649017, -36063.35018617419}, c, {-15875.252065174351, 44710.347231715576}, c})});
  shape *WA = nullptr, *WB = nullptr;
  EXPECT_EQ(locate_intersections_(A.get(), B.get(), &WA, &WB, 0, 0), 2);
  Shape wa = own(WA), wb = own(WB);
  EXPECT_EQ(std::pair(size_path_(WA->paths[0]), size_path_(WB->paths[0])), std::pair(9, 8));
  expectConsistent(A.get(), B.get(), referenceCommonArea(A.get(), B.get()));
}

}  // namespace
