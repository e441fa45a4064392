// Union, intersection and removal against an exact reference: the reference
// first against closed forms, then configurations once answered wrongly
// with status OK, then whole families of degenerate pairs.
#include <gtest/gtest.h>

#include "support/kiv_test.hpp"
#include "tests/geometry_exact/differential.hpp"

namespace kiv::geomexact {
// Test names show the family, not its bytes.
inline void PrintTo(Family f, std::ostream *os) { *os << familyName(f); }
}  // namespace kiv::geomexact

namespace {

using namespace kiv::geomexact;
using kiv::geomtest::kPi;
using kiv::geomtest::lensArea;
using Exact = kiv::test::SystemTest;

double kept(const Operand &a, const Operand &b, Op op) { return referenceArea(a, b, op); }

const Ring kSquare1{{0, 0}, {2, 0}, {2, 2}, {0, 2}}, kSquare2{{1, 1}, {3, 1}, {3, 3}, {1, 3}};

// A disc as two half circles.
Ring disc(double cx, double cy, double r) {
  return {{cx + r, cy}, {cx, cy, r, KIV_ARC_MINOR, KIV_CCW}, {cx - r, cy}, {cx, cy, r, KIV_ARC_MINOR, KIV_CCW}};
}

TEST(ExactReference, AgreesWithClosedForms) {
  EXPECT_EQ(kept(kSquare1, kSquare2, Op::Union), 7);
  EXPECT_EQ(kept(kSquare1, kSquare2, Op::Intersection), 1);
  EXPECT_EQ(kept(kSquare1, kSquare2, Op::Removal), 3);
  const Ring d = disc(0, 0, 5), box{{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  ASSERT_TRUE(validRing(d));
  EXPECT_NEAR(exactArea(d), 25 * kPi, 1e-13);
  EXPECT_NEAR(kept(d, box, Op::Intersection), 25 * kPi / 4, 1e-13);
  EXPECT_NEAR(kept(d, box, Op::Union), 100 + 75 * kPi / 4, 1e-12);
  EXPECT_NEAR(kept(box, d, Op::Removal), 100 - 25 * kPi / 4, 1e-12);
  // Two discs 6 apart: their lens; the removal leaves a disc with a bite.
  const Ring e = disc(6, 0, 5);
  EXPECT_NEAR(kept(d, e, Op::Intersection), lensArea(5, 6), 1e-12);
  EXPECT_NEAR(kept(d, e, Op::Removal), 25 * kPi - lensArea(5, 6), 1e-12);
  // A box less a quadrant, bitten by three quarters of a disc clockwise.
  const Ring bitten{{5, 0}, {0, 0, 5, KIV_ARC_MAJOR, KIV_CW}, {0, 5}, {0, 10}, {-10, 10}, {-10, -10}, {10, -10},
                    {10, 0}};
  ASSERT_TRUE(validRing(bitten));
  EXPECT_NEAR(exactArea(bitten), 300 - 75 * kPi / 4, 1e-12);
}

TEST(ExactReference, CountsHolesAndDropsWhatTheLibraryDrops) {
  // A U closed by a bar: the union holds a hole of 2.
  const Ring u{{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}}, bar{{0, 3}, {3, 3}, {3, 4}, {0, 4}};
  EXPECT_EQ(kept(u, bar, Op::Union), 10);
  // A notch of 2^-10 closed the same way is a hole the library may drop.
  const double w = 0x1p-5;
  const Ring notched{{0, 0}, {3, 0}, {3, 3}, {1 + w, 3}, {1 + w, 3 - w}, {1, 3 - w}, {1, 3}, {0, 3}};
  const Expected hole = reference(notched, bar, Op::Union);
  EXPECT_EQ(hole.kept, 12);
  EXPECT_EQ(std::pair(hole.low, hole.high), std::pair(12 - w * w, 12.0));
  // A removal that leaves only a sliver of 3 * 2^-12 may leave nothing.
  const Ring cover{{0, 0}, {3, 0}, {3, 3 - w}, {0, 3 - w}};
  const Expected sliver =
      reference(Ring{{0, 0}, {3, 0}, {3, 3 - w + 0x1p-12}, {0, 3 - w + 0x1p-12}}, cover, Op::Removal);
  EXPECT_EQ(std::pair(sliver.kept, sliver.high), std::pair(0.0, 3 * 0x1p-12));
  EXPECT_EQ(kept(kSquare1, Ring{{0, 0}, {2, 0}, {2, 2 - w}, {0, 2 - w}}, Op::Removal), 2 * w);
  // A small triangle touching a square at its corner: a contour of its own.
  const Expected touching =
      reference(Ring{{0, 0}, {4, 0}, {4, 4}, {0, 4}}, Ring{{4, 4}, {4 + w, 4}, {4 + w, 4 + w}}, Op::Union);
  EXPECT_EQ(std::pair(touching.kept, touching.high), std::pair(16.0, 16 + w * w / 2));
  // A small hole touching the outer boundary from within, where the exact
  // boundary passes a point twice: a contour of its own too.
  const Expected pinched =
      reference(Ring{{0, 0}, {4, 0}, {4, 4}, {0, 4}}, Ring{{2, 0}, {2 + w, w}, {2 - w, w}}, Op::Removal);
  EXPECT_EQ(std::pair(pinched.kept, pinched.low), std::pair(16.0, 16 - w * w));
  EXPECT_EQ(pinched.perimeter, 16);
  EXPECT_NEAR(pinched.perimeterHigh, 16 + (2 + 2 * std::sqrt(2.0)) * w, 1e-12);
}

TEST(ExactReference, MeasuresThinPartsBetweenNearlyOneCircleAndAtCusps) {
  const double w = 1e-9, pi = kiv::geomtest::kPi;
  // Half circles run opposite ways on circles 4w apart along x: within w of
  // each other where |4w cos(theta)| <= w, on either side of the top.
  const std::vector<Arc> halves{{0, 0, 1, 0, pi}, {4 * w, 0, 1, pi, -pi}};
  EXPECT_NEAR(thinArcLength(halves, w), 2 * (pi - 2 * std::acos(0.25)), 1e-7);
  // Nearer than the width, the whole of both.
  EXPECT_NEAR(thinArcLength({{0, 0, 1, 0, pi}, {w / 2, 0, 1, pi, -pi}}, w), 2 * pi, 1e-12);
  // A segment along the tangent at the top of the unit circle, and the
  // circle going back from there: sqrt(1 + s^2) <= 1 + w along the segment,
  // the same angle on the arc.
  const double s = std::sqrt(2 * w + w * w);
  EXPECT_NEAR(thinCuspLength({{-1, 1, 0, 1}}, {{0, 0, 1, pi / 2, 0.5}}, w), s + std::atan(s), 1e-12);
  // Going on the same way there is no cusp.
  EXPECT_EQ(thinCuspLength({{-1, 1, 0, 1}}, {{0, 0, 1, pi / 2, -0.5}}, w), 0);
  // A segment of 1.1e-7 back along an arc as long, both ends a rounding off
  // the arc's angles and one 3e-14 off its circle: the whole of both.
  const Segment back{0x1.030ffff60404dp+3, 0x1.71bfff89053aep+2, 0x1.031p+3, 0x1.71c000000002p+2};
  const Arc along{0x1.accp+2, 0x1.80cp+2, 0x1.6a8p+0, -0x1.548be67e8f63fp-3, -0x1.54cc2446d144dp-24};
  EXPECT_NEAR(thinCuspLength({back}, {along}, 2.6e-10),
              std::hypot(back.x1 - back.x0, back.y1 - back.y0) + along.r * -along.sweep, 1e-13);
}

TEST(ExactReference, FindsAnArcWalkedBothWays) {
  // A quarter disc whose contour runs on along its arc to (-1, 0) and back.
  const Ring quarter{{0, 0}, {1, 0}, {0, 0, 1, KIV_ARC_MINOR, KIV_CCW}, {0, 1}};
  const Ring spiked{{0, 0}, {1, 0}, {0, 0, 1, KIV_ARC_MINOR, KIV_CCW}, {0, 1}, {0, 0, 1, KIV_ARC_MINOR, KIV_CCW},
                    {-1, 0}, {0, 0, 1, KIV_ARC_MINOR, KIV_CW}, {0, 1}};
  const double tol = 1e-9;
  EXPECT_FALSE(retraces(libraryShape({quarter}).get(), tol));
  EXPECT_TRUE(retraces(libraryShape({spiked}).get(), tol));
  // The opposite quarter walked the other way: one circle, apart.
  const Ring opposite{{0, 0}, {0, -1}, {0, 0, 1, KIV_ARC_MINOR, KIV_CW}, {-1, 0}};
  EXPECT_FALSE(retraces(libraryShape({quarter, opposite}).get(), tol));
  // The other quarter walked back along the first one's arc.
  const Ring back{{0, 0}, {0, 1}, {0, 0, 1, KIV_ARC_MINOR, KIV_CW}, {1, 0}};
  EXPECT_TRUE(retraces(libraryShape({quarter, back}).get(), tol));
}

// ---- Reproductions --------------------------------------------------------

struct Case {
  Ring a, b;
};
// Operands of several contours, or touching themselves.
struct Shapes {
  Operand a, b;
};

// The operation through the library: status OK and the area wanted, within
// 1e-9 of the larger operand's area.
template <class C>
void expectArea(const C &c, Op op, double want) {
  const OpOutcome o = evaluate(c.a, c.b, op, want);
  EXPECT_EQ(o.status, KIV_BOOL_OK) << opName(op);
  EXPECT_FALSE(o.wrong) << opName(op) << ": " << o.area << ", want " << want;
}

// The same, and the perimeter wanted (within 1e-9 of the larger
// operand's), without a contour that turns back on itself.
void expectAreaAndPerimeter(const Shapes &c, Op op, double want, double wantPerimeter) {
  const OpOutcome o = evaluate(c.a, c.b, op, want, wantPerimeter);
  EXPECT_EQ(o.status, KIV_BOOL_OK) << opName(op);
  EXPECT_FALSE(o.wrong) << opName(op) << ": " << o.area << ", want " << want;
  EXPECT_FALSE(o.wrongPerimeter) << opName(op) << ": perimeter " << o.perimeter << ", want " << wantPerimeter;
  EXPECT_FALSE(o.spike) << opName(op);
}

// Every operation against the reference (both operands exact).
template <class C>
void expectReference(const C &c) {
  ASSERT_TRUE(validOperand(c.a) && validOperand(c.b));
  for (Op op : kOps) {
    const OpOutcome o = evaluate(c.a, c.b, op);
    EXPECT_EQ(o.status, KIV_BOOL_OK) << opName(op);
    EXPECT_FALSE(o.wrong) << opName(op) << ": " << o.area << ", want " << o.want;
    EXPECT_FALSE(o.wrongPerimeter) << opName(op) << ": perimeter " << o.perimeter << ", want " << o.wantPerimeter;
    EXPECT_FALSE(o.spike) << opName(op);
  }
}

const Case kRelisted{{{17.394531160947309, 12.352610201123348},
                      {7.476713187878075, 12.812174257108362},
                      {13.525045699822185, 1.5981863651398802}},
                     {{7.476713187878075, 12.812174257108362},
                      {13.525045699822185, 1.5981863651398802},
                      {17.394531160947309, 12.352610201123348}}};
const Case kSameEnds{{{10, 12.5}, {10, 7.5, 5, KIV_ARC_MINOR, KIV_CCW}, {7, 3.5}},
                     {{7, 8.5}, {10, 12.5}, {7, 8.5, 5, KIV_ARC_MAJOR, KIV_CCW}, {7, 3.5}}};
const Case kNearEdges{{{-1.0000000002420149, 10.999999999770164},
                       {9.0000000000989644, 4.0000000005655121},
                       {10.000000000051159, 8.0000000001778293}},
                      {{10.000000002286383, 7.999999999699436},
                       {9.9999999941032858, 11.000000000034982},
                       {9.0000000029709195, 10.99999999892416}}};
const Case kWalk{{{15.999999999969047, 8.0000000005184919},
                  {13.999999996867562, 9.9999999906037242},
                  {13.999999999193607, 1.0000000010664358}},
                 {{5.9999999994531503, 8.9999999994265405},
                  {10.000000000223888, 8.0000000034865479},
                  {16.000000000011958, 7.9999999999285949}}};
const Case kTangent{{{8.5, 9}, {5.5, 13, 5, KIV_ARC_MINOR, KIV_CCW}, {8.5, 17}, {6.5, 17}, {6.5, 9}},
                    {{4.5, 9}, {10.5, 9}, {10.5, 17}, {4.5, 17}}};
// The second shape moved by 1e-9, as written in decimal: its arc's ends
// are a rounding off its circle.
const Case kConcentric{{{1.5, 4}, {9.5, 10, 10, KIV_ARC_MINOR, KIV_CCW}, {19.5, 10}},
                       {{9.5000000010000001, 10},
                        {3.5000000010000001, 2},
                        {9.5000000010000001, 10, 10, KIV_ARC_MAJOR, KIV_CCW},
                        {3.5000000010000001, 18}}};

TEST(ExactReference, GivesTheAreasOfTheReproductions) {
  const double t = 1e-9 * 60;
  EXPECT_NEAR(kept(kRelisted.a, kRelisted.b, Op::Intersection), 54.219347221805364, 1e-12);
  EXPECT_EQ(kept(kRelisted.a, kRelisted.b, Op::Removal), 0);
  EXPECT_NEAR(kept(kSameEnds.a, kSameEnds.b, Op::Union), 54.813672029788464, 1e-12);
  EXPECT_NEAR(kept(kNearEdges.a, kNearEdges.b, Op::Intersection), 0, t);
  EXPECT_NEAR(kept(kNearEdges.a, kNearEdges.b, Op::Union), 24.999999985, t);
  EXPECT_NEAR(kept(kWalk.a, kWalk.b, Op::Union), 11.799999982532933, 1e-12);
  EXPECT_EQ(kept(kTangent.a, kTangent.b, Op::Removal), 0);
  // Moved by 2^-30 instead, the arcs stay exact and the union barely moves.
  Case moved = kConcentric;
  for (Node &n : moved.b) n.x = (n.x == 9.5000000010000001 ? 9.5 : 3.5) + 0x1p-30;
  ASSERT_TRUE(validRing(moved.a) && validRing(moved.b));
  EXPECT_NEAR(kept(moved.a, moved.b, Op::Union), 227.8416712470123, 1e-6);
}

TEST_F(Exact, TriangleWithItselfListedFromItsSecondVertex) {
  expectArea(kRelisted, Op::Intersection, 54.219347221805364);
  expectArea(kRelisted, Op::Removal, 0);
  expectReference(kRelisted);
}

TEST_F(Exact, TwoArcsThroughTheSameEndPoints) {
  expectArea(kSameEnds, Op::Union, 54.813672029788464);
  expectReference(kSameEnds);
}

TEST_F(Exact, VerticesWithinANanometreOfTheOtherShapesEdges) {
  expectArea(kNearEdges, Op::Intersection, 0);
  expectArea(kNearEdges, Op::Union, 24.999999985);
  expectReference(kNearEdges);
}

TEST_F(Exact, WalkClosesOnValidInput) {
  expectArea(kWalk, Op::Union, 11.799999982532933);
  expectReference(kWalk);
}

TEST_F(Exact, ArcTangentToARectanglesSide) {
  expectArea(kTangent, Op::Removal, 0);
  expectReference(kTangent);
}

TEST_F(Exact, ConcentricArcsOneShapeMovedByANanometre) { expectArea(kConcentric, Op::Union, 227.8416712470123); }

// A figure eight, both lobes of area 3 touching at the origin, against a
// square whose edge passes through the touch point.
const Ring kEight{{0, 0}, {3, -1}, {3, 1}, {0, 0}, {-3, 1}, {-3, -1}};
const Shapes kEightOnEdge{kEight, Ring{{-4, -2}, {0, -2}, {0, 2}, {-4, 2}}};
const Shapes kEightAcross{kEight, Ring{{-2, -2}, {0, -2}, {0, 2}, {-2, 2}}};
// Two squares touching at a corner against a square whose edge runs
// through the corner.
const Shapes kCornerOnEdge{Operand{{{0, 0}, {2, 0}, {2, 2}, {0, 2}}, {{2, 2}, {4, 2}, {4, 4}, {2, 4}}},
                         Ring{{2, -1}, {5, -1}, {5, 5}, {2, 5}}};
// A vertex of A 1.5e-10 off an edge of B, with an edge of A running along
// that edge and crossing it.
const Shapes kAlongAndAcross{Ring{{8.0000000009056684, 11.000000000483707},
                                {4.9999999974013267, 7.9999999999772529},
                                {18.00000000093247, 7.000000003117882}},
                           Ring{{11.999999997726228, 15.000000000513758},
                                {4.0000000001555671, 9.9999999999776552},
                                {3.9999999999117235, 3.9999999984612815},
                                {7.0000000000156524, 9.9999999990545216}}};

TEST(ExactReference, TakesContoursTouchingThemselvesAndEachOther) {
  ASSERT_TRUE(validOperand(kEightOnEdge.a) && validOperand(kCornerOnEdge.a));
  EXPECT_EQ(lobes(kEight).size(), 2u);
  EXPECT_EQ(exactArea(kEightOnEdge.a), 6);
  EXPECT_EQ(kept(kEightOnEdge.a, kEightOnEdge.b, Op::Union), 19);
  EXPECT_EQ(kept(kEightOnEdge.a, kEightOnEdge.b, Op::Intersection), 3);
  EXPECT_EQ(kept(kCornerOnEdge.b, kCornerOnEdge.a, Op::Removal), 14);
  const Expected e = reference(kCornerOnEdge.a, kCornerOnEdge.b, Op::Intersection);
  EXPECT_EQ(std::pair(e.kept, e.perimeter), std::pair(4.0, 8.0));
  // Two contours along part of an edge are one region; a contour overlapping
  // itself is not an operand.
  const Operand side{{{0, 0}, {2, 0}, {2, 2}, {0, 2}}, {{2, 1}, {4, 1}, {4, 3}, {2, 3}}};
  EXPECT_TRUE(validOperand(side));
  EXPECT_EQ(reference(side, Ring{{10, 10}, {11, 10}, {11, 11}}, Op::Union).perimeter, 8 + 8 - 2 + 2 + std::sqrt(2.0));
  EXPECT_FALSE(validOperand(Operand{{{0, 0}, {2, 0}, {2, 2}, {0, 2}}, {{1, 1}, {3, 1}, {3, 3}, {1, 3}}}));
  // Thin parts: a strip 1e-12 wide out of a unit square counts with both
  // its sides, the square's own sides not at all; a needle tapering to its
  // tip counts where it is thinner than the width.
  const double w = 1e-12;
  const std::vector<Segment> strip{{0, 0, 1, 0},         {1, 0, 1, 0.5},         {1, 0.5, 3, 0.5}, {3, 0.5, 3, 0.5 + w},
                                   {3, 0.5 + w, 1, 0.5 + w}, {1, 0.5 + w, 1, 1}, {1, 1, 0, 1},     {0, 1, 0, 0}};
  EXPECT_NEAR(thinLength(strip, 1e-10), 4, 1e-9);
  EXPECT_EQ(thinLength(strip, 1e-13), 0);
  const std::vector<Segment> needle{{0, 0, 1, 0}, {1, 0, 1, 0.5}, {1, 0.5, 3, 0.5}, {3, 0.5, 1, 0.5 + w},
                                    {1, 0.5 + w, 1, 1}, {1, 1, 0, 1}, {0, 1, 0, 0}};
  EXPECT_NEAR(thinLength(needle, w / 4), 2 * 2 / 4.0, 1e-3);
}

TEST_F(Exact, FigureEightTouchingTheOtherShapesEdge) {
  const double eight = 4 * std::sqrt(10.0) + 4, square = 16;
  expectAreaAndPerimeter(kEightOnEdge, Op::Union, 19, square + eight / 2);
  expectAreaAndPerimeter(kEightOnEdge, Op::Intersection, 3, eight / 2);
  expectAreaAndPerimeter(kEightOnEdge, Op::Removal, 3, eight / 2);
  expectAreaAndPerimeter(Shapes{kEightOnEdge.b, kEightOnEdge.a}, Op::Removal, 13, square + eight / 2);
  expectReference(kEightOnEdge);
}

TEST_F(Exact, FigureEightCrossedByTheOtherShape) {
  expectArea(kEightAcross, Op::Union, 12.666666666666666);
  expectArea(kEightAcross, Op::Intersection, 1.3333333333333333);
  expectArea(kEightAcross, Op::Removal, 4.666666666666667);
  expectReference(kEightAcross);
  expectReference(Shapes{kEightAcross.b, kEightAcross.a});
}

TEST_F(Exact, ContoursTouchingAtACornerOnTheOtherShapesEdge) {
  expectAreaAndPerimeter(kCornerOnEdge, Op::Intersection, 4, 8);
  expectAreaAndPerimeter(kCornerOnEdge, Op::Removal, 4, 8);
  expectAreaAndPerimeter(Shapes{kCornerOnEdge.b, kCornerOnEdge.a}, Op::Removal, 14, 22);
  expectAreaAndPerimeter(kCornerOnEdge, Op::Union, 22, 22);
  expectReference(kCornerOnEdge);
  expectReference(Shapes{kCornerOnEdge.b, kCornerOnEdge.a});
}

TEST_F(Exact, VertexOffAnEdgeThatAnEdgeRunsAlongAndCrosses) {
  const Expected e = reference(kAlongAndAcross.a, kAlongAndAcross.b, Op::Intersection);
  expectAreaAndPerimeter(kAlongAndAcross, Op::Intersection, e.kept, e.perimeter);
  expectReference(kAlongAndAcross);
}

// Nearly one line: A's edge from (6, 5) to (8, 5), 6e-11 below and 1.2e-10
// above it, runs along B's edge from (7, 5) to (4, 5); each has a vertex on
// the other, and the two edges cross in between.  A's first vertex lies
// 2e-11 off B's touch point.
TEST_F(Exact, EdgesAlongEachOtherWithAVertexOfEachOnTheOther) {
  const Shapes c{Ring{{3.9999999999856701, 5.0000000000168274},
                      {5.999999999933439, 0},
                      {5.9999999999912967, 4.9999999999424629},
                      {7.9999999995453388, 5.0000000001232916},
                      {4.9999999984127701, 7.0000000009002887}},
                 Ring{{4, 5}, {3, 4}, {4, -1}, {7, 5}, {4, 5}, {2, 10}, {2, 7}, {-2, 5}}};
  expectReference(c);
  expectReference(Shapes{c.b, c.a});
}

// B's first vertex lies 3 tolerances off A's touch point, where the
// crossings leave nodes as close: they bound a triangle a few tolerances
// round that joins no contour.
TEST_F(Exact, FigureEightWithNodesAFewTolerancesFromItsTouchPoint) {
  expectReference(Shapes{Ring{{5, 7}, {3, 12}, {4, 9}, {5, 7}, {0, 3}, {6, 6}, {8, 4}, {9, 4}},
                         Ring{{5.0000000005841088, 6.9999999999911227},
                              {2.0000000000210432, 7.9999999987839443},
                              {0, 7.9999999999513758},
                              {3.0000000000424452, 3.9999999999920788}}});
  // Here they bound nothing: a needle 5 tolerances long out of the touch
  // point and back.
  expectReference(Shapes{Ring{{5.0000000044393236, 1.0000000000575862},
                              {4.999999999458308, 4.9999999999945768},
                              {3.0000000000217737, 6.0000000004816805},
                              {1.9999999982671501, 7.0000000001815748},
                              {0.99999999969880071, 6.9999999997104538}},
                         Ring{{5, 4}, {3, 5}, {1, 0}, {5, 4}, {10, 6}, {7, 5}}});
}

// A contour that comes back to a node after a detour of a few tolerances:
// a shape touching itself against its copy moved by 2.3e-10 along the
// diagonal, and a figure eight whose detour wraps round the contour's start.
TEST_F(Exact, UnionsWithoutDetoursOfAFewTolerances) {
  const double d = 0x1p-32;
  expectReference(Shapes{Ring{{4, 5}, {5, 5}, {5, 9}, {4.5, 5}, {4, 9}},
                         Ring{{4 + d, 5 + d}, {5 + d, 5 + d}, {5 + d, 9 + d}, {4.5 + d, 5 + d}, {4 + d, 9 + d}}});
  expectReference(Shapes{Ring{{5, 4}, {5, 2}, {6, 2}, {5, 4}, {8, 1}, {10, 2}},
                         Ring{{11.000000000014161, 9.9999999988193515},
                              {2.9999999999871458, 2.0000000000037663},
                              {5.0000000012101617, 0},
                              {4.0000000000393712, 1.9999999999877109}}});
}

// A needle of A, 1e-9 wide, reaches 4.3e-9 past B's edge: its two sides
// cross that edge at one point.  With a node for each crossing, the needle's
// tip did not close, and the wider second try lost a sliver 5 tolerances
// wide along B's other edge.
TEST_F(Exact, NeedleTipAcrossAnEdge) {
  expectReference(Shapes{Ring{{7.9999999995338067, 12.000000004292758},
                              {7.9999999990375974, 3.9999999999203415},
                              {12.000000000285496, 0},
                              {7.9999999999570672, 5.9999999944882383}},
                         Ring{{8, 8}, {8, 4}, {11, 7}, {10, 8}, {8, 8}, {9, 12}, {7, 12}, {4, 12}}});
}

// Two combs of 89 vertices, one above and one below, sharing 3 units of
// their bases, with a triangle far off: enough edges that the contours of
// one shape are not all brought together everywhere.
TEST_F(Exact, LargeContoursSharingAStretchAwayFromTheOtherShape) {
  const auto comb = [](double x0, double sign) {
    Ring r{{x0, 0}, {x0 + 4, 0}};
    for (int k = 0; k < 87; ++k) r.push_back({x0 + 4 - k / 21.5, sign * (1 + k % 2)});
    if (sign < 0) std::reverse(r.begin() + 1, r.end());
    return r;
  };
  const Shapes c{Operand{comb(0, 1), comb(1, -1)}, Ring{{20, 20}, {21, 20}, {20, 21}}};
  expectReference(c);
  expectReference(Shapes{c.b, c.a});
}

// A figure eight whose lobes share the stretch from (7, 7) to (8, 8), each
// edge cut in 16 so that the operation is large, with a triangle far off.
TEST_F(Exact, LargeContourSharingAStretchWithItselfAwayFromTheOtherShape) {
  const Shapes c{densified(Ring{{8, 8}, {6, 6}, {13, 5}, {8, 8}, {9, 13}, {5, 13}, {7, 7}}),
                 densified(Ring{{30, 30}, {31, 30}, {30, 31}})};
  expectReference(c);
  expectReference(Shapes{c.b, c.a});
}

// A quarter disc and the quarter ring round it share the arc of radius 1,
// which bounds neither their union nor their intersection.
TEST_F(Exact, ShapesSharingAnArcFromEitherSide) {
  const Ring quarter{{0, 0}, {1, 0}, {0, 0, 1, KIV_ARC_MINOR, KIV_CCW}, {0, 1}};
  const Ring ring{{1, 0}, {2, 0}, {0, 0, 2, KIV_ARC_MINOR, KIV_CCW}, {0, 2}, {0, 1}, {0, 0, 1, KIV_ARC_MINOR, KIV_CW}};
  expectReference(Shapes{{quarter}, {ring}});
  expectReference(Shapes{{ring}, {quarter}});
}

// ---- Turned shapes sharing corners and edges -------------------------------

// A's hole touches its outer contour at (9, 8); B crosses both.  The exact
// reference takes every ring for an outer lobe, so the union is worked out
// in exact arithmetic: 517157/41184, its boundary 20/3 + 2179/1287 sqrt 5 +
// 19/39 sqrt 37 + sqrt 85 + 15/16 sqrt 10 + 809/1584 sqrt 26 long.
const Shapes kHoleTouching{Operand{{{9, 13}, {8, 13}, {8, 16}, {6, 7}, {9, 8}}, {{9, 10}, {9, 8}, {7, 9}}},
                           Ring{{8, 15}, {8, 12}, {9, 7}, {9, 9}}};
// The same turned by 1.8258627938964713 about the origin.
const Shapes kHoleTouchingTurned{Operand{{{-14.850192390553779, 5.4287923116968262},
                                          {-14.597882664702079, 4.461145784166944},
                                          {-17.500822247291726, 3.7042166066118405},
                                          {-8.2873840478193834, 4.0397110842173864},
                                          {-10.011959752904369, 6.6903409409553323}},
                                         {{-11.947252807964134, 6.1857214892519297},
                                          {-10.011959752904369, 6.6903409409553323},
                                          {-10.474986828730849, 4.5027381600438661}}},
                                 Ring{{-16.533175719761843, 3.9565263324635418},
                                      {-13.630236137172197, 4.7134555100186448},
                                      {-9.0443132253744878, 6.9426506668070331},
                                      {-10.97960628043425, 6.4380312151036305}}};

TEST_F(Exact, HoleTouchingItsOuterContourAtAVertexTurned) {
  const double area = 517157.0 / 41184;
  const double perimeter = 20.0 / 3 + 2179.0 / 1287 * std::sqrt(5.0) + 19.0 / 39 * std::sqrt(37.0) +
                           std::sqrt(85.0) + 15.0 / 16 * std::sqrt(10.0) + 809.0 / 1584 * std::sqrt(26.0);
  for (const Shapes *c : {&kHoleTouching, &kHoleTouchingTurned}) {
    SCOPED_TRACE(c == &kHoleTouching ? "unturned" : "turned");
    expectAreaAndPerimeter(*c, Op::Union, area, perimeter);
    expectAreaAndPerimeter(Shapes{c->b, c->a}, Op::Union, area, perimeter);
  }
}

// A is a bar with a cell hanging from its middle, B a bar through that
// cell: they share the cell and the bar's lower edge on either side of it.
const Shapes kCellUnderBar{Ring{{7, 7}, {8, 7}, {8, 8}, {4, 8}, {4, 7}, {6, 7}, {6, 6}, {7, 6}},
                           Ring{{9, 6}, {9, 7}, {5, 7}, {5, 6}}};
// The same turned by 0.17007128366544083 about the origin.
const Shapes kCellUnderBarTurned{Ring{{5.7142406981496165, 8.0837771643960217},
                                      {6.6998134026171616, 8.2530297691279078},
                                      {6.5305607978852755, 9.2386024735954528},
                                      {2.588269980015093, 8.5615920546679085},
                                      {2.7575225847469791, 7.5760193502003634},
                                      {4.7286679936820697, 7.9145245596641356},
                                      {4.8979205984139558, 6.9289518551965905},
                                      {5.8834933028815026, 7.0982044599284766}},
                                 Ring{{7.8546387118165928, 7.4367096693922488},
                                      {7.6853861070847067, 8.4222823738597938},
                                      {3.7430952892145242, 7.7452719549322495},
                                      {3.9123478939464102, 6.7596992504647035}}};

TEST_F(Exact, BarsSharingACellAndAnEdgeTurned) {
  for (const Shapes *c : {&kCellUnderBar, &kCellUnderBarTurned}) {
    SCOPED_TRACE(c == &kCellUnderBar ? "unturned" : "turned");
    expectAreaAndPerimeter(*c, Op::Intersection, 1, 4);
    expectAreaAndPerimeter(*c, Op::Union, 8, 14);
    expectReference(*c);
  }
}

// A holds a cell [-6, -5] x [5, 6] and a bar [-13, -7] x [6, 7], B the bar
// [-8, -4] x [6, 7] that overlaps A's bar and lies on the cell's top edge,
// turned by about -0.637 about the origin.
TEST_F(Exact, CellOnTheEdgeOfTwoOverlappingBarsTurned) {
  const Shapes c{Operand{{{-1.846137108889442, 7.5889246784495992},
                          {-1.042506845847071, 6.9937957845766414},
                          {-0.44737795197411367, 7.7974260476190125},
                          {-1.2510082150164847, 8.3925549414919693}},
                         {{-6.8764200563130817, 12.558457198602669},
                          {-2.0546384780588558, 8.9876838353649262},
                          {-1.4595095841858985, 9.7913140984072982},
                          {-6.2812911624401249, 13.362087461645039}}},
                 Ring{{0.95138120494121514, 8.0059274167884276},
                      {-2.2631398472282696, 10.386442992280255},
                      {-2.8582687411012269, 9.5828127292378831},
                      {0.35625231106825783, 7.2022971537460556}}};
  expectAreaAndPerimeter(c, Op::Union, reference(c.a, c.b, Op::Union).kept, 22);
  expectReference(c);
}

// A triangle less its copy moved along one of its edges, turned.
TEST_F(Exact, TriangleLessItsCopyMovedAlongAnEdgeTurned) {
  const Shapes c{Ring{{6.8630349265628503, 13.593950341581385},
                      {2.3362448801732851, 2.5592269906135403},
                      {13.186019292538827, 4.3000373182877354}},
                 Ring{{5.4888503396588995, 4.1484005668864663},
                      {5.6256684070072733, 3.0870040880876437},
                      {16.475442819372816, 4.8278144157618392}}};
  expectAreaAndPerimeter(c, Op::Removal, reference(c.a, c.b, Op::Removal).kept, 34.692922191332556);
  expectReference(c);
}

// Turned back, A is the triangles (8, -7) (8, -10) (9, -7) and (7, -11)
// (8, -11) (8, -10) touching at (8, -10), and B one contour through
// (8, -11) twice, its lobes (9, -8) (8, -8) (8, -11) and (7, -11) (8, -12).
// They overlap in the triangle (8, -10) (8, -8) (26/3, -8); the second
// lobe only shares an edge with A's second triangle, which bounds nothing.
TEST_F(Exact, TrianglesTouchingAtAVertexAgainstAPinchedContourTurned) {
  const Shapes unturned{Operand{{{8, -7}, {8, -10}, {9, -7}}, {{7, -11}, {8, -11}, {8, -10}}},
                        Ring{{9, -8}, {8, -8}, {8, -11}, {7, -11}, {8, -12}, {8, -11}}};
  const Shapes c{Operand{{{5.8149466248937554, -8.8986738197125028},
                          {5.0056166023244515, -11.787442573795804},
                          {6.7778695429215219, -9.168450493902272}},
                         {{3.7729170101069176, -12.4805888176338},
                          {4.7358399281346841, -12.750365491823569},
                          {5.0056166023244515, -11.787442573795804}}},
                 Ring{{6.5080928687317536, -10.131373411930038},
                      {5.5451699507039871, -9.8615967377402711},
                      {4.7358399281346841, -12.750365491823569},
                      {3.7729170101069176, -12.4805888176338},
                      {4.4660632539449168, -13.713288409851334},
                      {4.7358399281346841, -12.750365491823569}}};
  for (const Shapes *t : {&unturned, &c}) {
    SCOPED_TRACE(t == &unturned ? "unturned" : "turned");
    expectAreaAndPerimeter(*t, Op::Intersection, 2.0 / 3, 8.0 / 3 + 2 * std::sqrt(10.0) / 3);
    expectReference(*t);
  }
}

// Two disjoint squares of 1e-6: the union's clean-up drops every outer
// contour under 0.001, so nothing is left.
TEST_F(Exact, UnionOfSquaresBelowTheSmallestContourIsEmpty) {
  const Shapes c{Ring{{0.009, 0.006}, {0.01, 0.006}, {0.01, 0.007}, {0.009, 0.007}},
                 Ring{{0.009, 0.009}, {0.01, 0.009}, {0.01, 0.01}, {0.009, 0.01}}};
  expectAreaAndPerimeter(c, Op::Union, 0, 0);
  expectAreaAndPerimeter(Shapes{c.b, c.a}, Op::Union, 0, 0);
  expectReference(c);
  expectReference(Shapes{c.b, c.a});
}

// ---- Cells ----------------------------------------------------------------

Cells cellsOf(int w, int h, std::initializer_list<int> inside) {
  Cells c;
  c.w = w, c.h = h;
  c.inside.assign(static_cast<size_t>(w * h), 0);
  for (int i : inside) c.inside[static_cast<size_t>(i)] = 1;
  return c;
}

// The signed areas of the contours, in the order written.
std::vector<double> signedAreas(const Operand &o) {
  std::vector<double> out;
  for (const Ring &r : o) {
    double a = 0;
    for (size_t k = 0; k < r.size(); ++k) a += r[k].x * r[(k + 1) % r.size()].y - r[(k + 1) % r.size()].x * r[k].y;
    out.push_back(a / 2);
  }
  return out;
}

TEST(CellReference, CountsWindingsAsTheContoursWind) {
  const std::vector<Segment> square{{0, 0, 2, 0}, {2, 0, 2, 2}, {2, 2, 0, 2}, {0, 2, 0, 0}},
      clockwise{{0, 0, 0, 2}, {0, 2, 2, 2}, {2, 2, 2, 0}, {2, 0, 0, 0}},
      hole{{0.5, 0.5, 0.5, 1.5}, {0.5, 1.5, 1.5, 1.5}, {1.5, 1.5, 1.5, 0.5}, {1.5, 0.5, 0.5, 0.5}};
  EXPECT_EQ(windingNumber(square, 1, 1), 1);
  EXPECT_EQ(windingNumber(square, 3, 1), 0);
  EXPECT_EQ(windingNumber(square, -1, 1), 0);
  EXPECT_EQ(windingNumber(clockwise, 1, 1), -1);
  std::vector<Segment> holed = square;
  holed.insert(holed.end(), hole.begin(), hole.end());
  EXPECT_EQ(windingNumber(holed, 1, 1), 0);
  EXPECT_EQ(windingNumber(holed, 0.25, 1), 1);
  // At the height of a vertex, on the ray through it, once.
  const std::vector<Segment> diamond{{1, 0, 2, 1}, {2, 1, 1, 2}, {1, 2, 0, 1}, {0, 1, 1, 0}};
  EXPECT_EQ(windingNumber(diamond, 1, 1), 1);
  EXPECT_EQ(windingNumber(diamond, -1, 1), 0);
  // Two contours over each other wind twice.
  std::vector<Segment> twice = square;
  twice.insert(twice.end(), square.begin(), square.end());
  EXPECT_EQ(windingNumber(twice, 1, 1), 2);
}

TEST(CellReference, WritesTheBoundaryOfTheCells) {
  Rng rng(1);
  // Two cells touching at (1, 1): parted there, or one contour through it
  // twice.
  const Cells diagonal = cellsOf(2, 2, {0, 3});
  EXPECT_EQ(std::pair(diagonal.count(), boundaryEdges(diagonal)), std::pair(2L, 8L));
  const Operand parted = contoursOf(diagonal, Pinch::Left, 0, rng), once = contoursOf(diagonal, Pinch::Right, 0, rng);
  EXPECT_EQ(signedAreas(parted), (std::vector<double>{1, 1}));
  EXPECT_EQ(signedAreas(once), (std::vector<double>{2}));
  EXPECT_EQ(once.front().size(), 8u);
  EXPECT_EQ(lobes(once).size(), 2u);
  // A ring of eight round a hole, collinear vertices dropped or kept.
  const Cells ring = cellsOf(3, 3, {0, 1, 2, 3, 5, 6, 7, 8});
  EXPECT_EQ(std::pair(ring.count(), boundaryEdges(ring)), std::pair(8L, 16L));
  const Operand joined = contoursOf(ring, Pinch::Mixed, 0, rng), unit = contoursOf(ring, Pinch::Mixed, 1, rng);
  EXPECT_EQ(signedAreas(joined), (std::vector<double>{9, -1}));
  EXPECT_EQ(std::pair(joined[0].size(), joined[1].size()), std::pair(size_t{4}, size_t{4}));
  EXPECT_EQ(std::pair(unit[0].size(), unit[1].size()), std::pair(size_t{12}, size_t{4}));
  // The hole at (1, 1) touching the outer boundary at (2, 2), where a cell
  // is out: one contour through it twice, or the outer one and the hole.
  const Cells touching = cellsOf(3, 3, {0, 1, 2, 3, 5, 6, 7});
  EXPECT_EQ(std::pair(touching.count(), boundaryEdges(touching)), std::pair(7L, 16L));
  EXPECT_EQ(signedAreas(contoursOf(touching, Pinch::Left, 0, rng)), (std::vector<double>{7}));
  EXPECT_EQ(signedAreas(contoursOf(touching, Pinch::Right, 0, rng)), (std::vector<double>{8, -1}));
  // However written, the library measures the cells and the contours wind
  // about them as they lie, turned or not.
  Placement turned;
  turned.angle = 0.7;
  for (const Cells &c : {diagonal, ring, touching})
    for (const Pinch way : {Pinch::Left, Pinch::Right, Pinch::Mixed}) {
      const Operand o = contoursOf(c, way, 0.5, rng);
      const kiv::geomtest::Shape s = libraryShape(o), t = libraryShape(placed(o, turned));
      EXPECT_EQ(area2D_(s.get()), double(c.count()));
      EXPECT_EQ(perimeter2D_(s.get()), double(boundaryEdges(c)));
      EXPECT_TRUE(windsLike(s.get(), c, {}));
      EXPECT_TRUE(windsLike(t.get(), c, turned));
      EXPECT_FALSE(windsLike(s.get(), c, turned));
    }
  // A result without the hole, with the hole counter-clockwise, or with a
  // contour twice winds wrongly.
  const Operand o = contoursOf(ring, Pinch::Left, 0, rng);
  Operand reversedHole = o, doubled = o;
  std::reverse(reversedHole[1].begin(), reversedHole[1].end());
  doubled.push_back(o[0]);
  for (const Operand &wrong : {Operand{o[0]}, reversedHole, doubled})
    EXPECT_FALSE(windsLike(libraryShape(wrong).get(), ring, {}));
}

TEST(CellReference, CombinesCellWise) {
  Cells a = cellsOf(2, 1, {0, 1}), b = a;
  b.x0 = 1;
  EXPECT_EQ(cellwise(a, b, Op::Union).count(), 3);
  EXPECT_EQ(boundaryEdges(cellwise(a, b, Op::Union)), 8);
  EXPECT_EQ(cellwise(a, b, Op::Intersection).count(), 1);
  const Cells removal = cellwise(a, b, Op::Removal);
  EXPECT_EQ(std::pair(removal.count(), boundaryEdges(removal)), std::pair(1L, 4L));
  EXPECT_TRUE(removal.at(0, 0));
  EXPECT_FALSE(removal.at(1, 0) || removal.at(2, 0));
}

// Where the exact reference takes the operands (no holes), it measures the
// cell-wise results as the cells do.
TEST(CellReference, AgreesWithTheExactOneWithoutHoles) {
  Rng rng(20250101);
  long checked = 0;
  const long pairs = kiv::test::allocationCount() < 0 ? 200 : 40;
  for (long i = 0; i < pairs; ++i) {
    const CellPair p = drawCells(rng);
    if (!validOperand(p.ca) || !validOperand(p.cb)) continue;
    ++checked;
    for (Op op : kOps) {
      const Cells r = cellwise(p.a, p.b, op);
      const Expected e = reference(p.ca, p.cb, op);
      EXPECT_EQ(e.kept, double(r.count())) << opName(op) << "\n" << operandText(p.ca) << "\n" << operandText(p.cb);
      EXPECT_EQ(e.perimeter, double(boundaryEdges(r))) << opName(op) << "\n" << operandText(p.ca) << "\n"
                                                       << operandText(p.cb);
    }
  }
  EXPECT_GT(checked, pairs / 4);
}

// ---- Families -------------------------------------------------------------

// Fewer pairs under the sanitizers (where allocations are counted), which
// slow the reference some twenty times.
long familyPairs() { return kiv::test::allocationCount() < 0 ? 1600 : 320; }

class Families : public Exact, public ::testing::WithParamInterface<Family> {};

// No wrong area or failing status, no wrong perimeter, spike or winding,
// and none of these once the pair is turned.
void expectNoFailures(const Tally &t) {
  std::string failures;
  for (const std::string &s : t.failures) failures += s;
  long areas = 0, boundaries = 0, turned = 0;
  for (size_t k = 0; k < 3; ++k) {
    areas += t.plain[k].wrong + t.plain[k].failedStatuses();
    boundaries += t.plain[k].wrongPerimeter + t.plain[k].spikes + t.plain[k].winding;
    turned += t.turned[k].failed();
  }
  EXPECT_EQ(areas, 0) << tallyText(t) << failures;
  EXPECT_EQ(boundaries, 0) << tallyText(t) << failures;
  EXPECT_EQ(turned, 0) << tallyText(t) << failures;
}

TEST_P(Families, EveryOperationIsOkAndExact) {
  expectNoFailures(runFamily(GetParam(), 20250101 + static_cast<uint64_t>(GetParam()), familyPairs(), 3));
}

std::string testName(const ::testing::TestParamInfo<Family> &info) {
  std::string name = familyName(info.param);
  name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
  return name;
}

INSTANTIATE_TEST_SUITE_P(Exact, Families, ::testing::ValuesIn(kFamilies), testName);
// Against their own reference.
INSTANTIATE_TEST_SUITE_P(Cells, Families, ::testing::Values(Family::Cells), testName);

}  // namespace
