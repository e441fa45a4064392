// Union, intersection and removal against closed-form areas: lenses, equal,
// inscribed and tangent discs, squares and discs, annuli, shared edges,
// corner contact, identical shapes and holes.
#include <gmock/gmock.h>

#include <functional>

#include "support/kiv_test.hpp"
#include "tests/geometry/booleans.hpp"

namespace {

using namespace kiv::geomtest;
using Booleans = kiv::test::SystemTest;

struct Results {
  Shape uni, inter, diff;
  int su = -1, si = -1, sd = -1;
};

// All three operations; the inputs must come back unchanged.
Results run(const shape *A, const shape *B) {
  Shape a0 = copyOf(A), b0 = copyOf(B);
  Results r;
  r.uni = own(union_shape_status_(A, B, &r.su));
  r.inter = own(intersection_shape_status_(A, B, &r.si));
  r.diff = own(remove_shape_status_(A, B, &r.sd));
  EXPECT_TRUE(sameShape(A, a0.get()));
  EXPECT_TRUE(sameShape(B, b0.get()));
  EXPECT_EQ(r.su, KIV_BOOL_OK);
  EXPECT_EQ(r.si, KIV_BOOL_OK);
  EXPECT_EQ(r.sd, KIV_BOOL_OK);
  return r;
}

void expectAreas(const Results &r, double uni, double inter, double diff, double tol = 1e-9) {
  EXPECT_NEAR(area2D_(r.uni.get()), uni, tol * std::max(1.0, std::fabs(uni)));
  EXPECT_NEAR(area2D_(r.inter.get()), inter, tol * std::max(1.0, std::fabs(inter)));
  EXPECT_NEAR(area2D_(r.diff.get()), diff, tol * std::max(1.0, std::fabs(diff)));
}

TEST_F(Booleans, LensOfTwoDiscs) {
  // Vertices on the line of centres, and turned so that every crossing
  // splits an arc somewhere else along it.
  for (double phi : {0.0, 0.3, 1.1, kPi / 2, 2.9}) {
    for (double d : {1.0, 0.6, 1.9}) {
      Shape A = shapeWith({circleAt(0, 0, 1, phi)}), B = shapeWith({circleAt(d, 0, 1, -phi / 2)});
      const Results r = run(A.get(), B.get());
      const double lens = lensArea(1, d);
      expectAreas(r, 2 * kPi - lens, lens, kPi - lens);
      ASSERT_EQ(r.inter->npaths, 1);
      EXPECT_EQ(r.inter->paths[0]->orientation, KIV_ORIENT_CCW);
      EXPECT_NEAR(perimeter2D_(r.inter.get()), 4 * std::acos(d / 2), 1e-9);
      EXPECT_EQ(r.uni->npaths, 1);
      EXPECT_EQ(r.diff->npaths, 1);
      EXPECT_NEAR(perimeter2D_(r.diff.get()), 2 * kPi, 1e-9);  // A's arc outside B, B's inside A
      EXPECT_TRUE(untagged(r.inter.get()));
    }
  }
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Booleans, EqualDiscs) {
  for (double phi : {0.0, 0.7}) {
    Shape A = shapeWith({circleAt(1, 2, 3, 0.0)}), B = shapeWith({circleAt(1, 2, 3, phi)});
    const Results r = run(A.get(), B.get());
    const double disc = 9 * kPi;
    expectAreas(r, disc, disc, 0.0);
    EXPECT_EQ(r.uni->npaths, 1);
    EXPECT_EQ(r.inter->npaths, 1);
    EXPECT_EQ(r.diff->npaths, 0);
  }
}

TEST_F(Booleans, InscribedDiscs) {
  // Touching inside at a shared vertex, then wholly inside.
  for (double cx : {0.5, 0.2}) {
    Shape A = shapeWith({circleAt(0, 0, 1, 0)}), B = shapeWith({circleAt(cx, 0, 0.5, 0)});
    const Results r = run(A.get(), B.get());
    expectAreas(r, kPi, kPi / 4, kPi - kPi / 4);
    EXPECT_EQ(orientations(r.diff.get()), (std::vector<int>{KIV_ORIENT_CCW, KIV_ORIENT_CW}));
    const Results back = run(B.get(), A.get());
    expectAreas(back, kPi, kPi / 4, 0.0);
  }
}

TEST_F(Booleans, TangentDiscs) {
  // At a vertex of both, and where neither has a vertex.
  for (double phi : {0.0, 1.0}) {
    Shape A = shapeWith({circleAt(0, 0, 1, phi)}), B = shapeWith({circleAt(2, 0, 1, -phi)});
    const Results r = run(A.get(), B.get());
    expectAreas(r, 2 * kPi, 0.0, kPi);
    EXPECT_EQ(r.uni->npaths, 2);
    EXPECT_EQ(r.inter->npaths, 0);
  }
}

TEST_F(Booleans, SquareAndDisc) {
  // A disc on the square's centre, radius between the half side and the
  // half diagonal: the disc less four circular segments.
  for (double R : {1.2, 1.001, 1.3}) {
    Shape S = shapeWith({rectangle(-1, -1, 1, 1)}), D = shapeWith({circleAt(0, 0, R, 0.25)});
    const Results r = run(S.get(), D.get());
    const double both = discInSquare(R, 1.0);
    expectAreas(r, 4 + kPi * R * R - both, both, 4 - both);
    EXPECT_EQ(r.diff->npaths, 4);  // the four corners
  }
  // Corners below the smallest kept area are dropped.
  Shape S0 = shapeWith({rectangle(-1, -1, 1, 1)}), D0 = shapeWith({circleAt(0, 0, 1.41, 0.25)});
  Shape corners = own(remove_shape_(S0.get(), D0.get()));
  EXPECT_EQ(corners->npaths, 0);
  // A disc centred on a corner: a quarter of it inside.
  Shape S = shapeWith({rectangle(0, 0, 2, 2)}), D = shapeWith({circleAt(0, 0, 1, 0.4)});
  const Results r = run(S.get(), D.get());
  expectAreas(r, 4 + 0.75 * kPi, kPi / 4, 4 - kPi / 4);
  const Results back = run(D.get(), S.get());
  expectAreas(back, 4 + 0.75 * kPi, kPi / 4, 0.75 * kPi);
}

TEST_F(Booleans, Annulus) {
  Shape ring = shapeWith({circleAt(0, 0, 2, 0), circleAt(0, 0, 1, 0, KIV_CW)});
  ASSERT_NEAR(area2D_(ring.get()), 3 * kPi, 1e-12);
  // Cut by a half plane through the centre.
  Shape half = shapeWith({rectangle(0, -3, 3, 3)});
  expectAreas(run(ring.get(), half.get()), 18 + 1.5 * kPi, 1.5 * kPi, 1.5 * kPi);
  // The disc that fills the hole, and one larger than the hole.
  Shape plug = shapeWith({circleAt(0, 0, 1, 0)});
  const Results filled = run(ring.get(), plug.get());
  expectAreas(filled, 4 * kPi, 0.0, 3 * kPi);
  EXPECT_EQ(filled.uni->npaths, 1);
  Shape big = shapeWith({circleAt(0, 0, 1.5, 0.2)});
  expectAreas(run(ring.get(), big.get()), 4 * kPi, 2.25 * kPi - kPi, 4 * kPi - 2.25 * kPi);
  // The hole removed from a disc that fills it exactly leaves the disc.
  const Results plugged = run(plug.get(), ring.get());
  expectAreas(plugged, 4 * kPi, 0.0, kPi);
}

TEST_F(Booleans, SharedEdges) {
  // Side by side along a whole edge.
  Shape A = shapeWith({rectangle(0, 0, 1, 1)}), B = shapeWith({rectangle(1, 0, 2, 1)});
  const Results r = run(A.get(), B.get());
  expectAreas(r, 2.0, 0.0, 1.0);
  ASSERT_EQ(r.uni->npaths, 1);
  EXPECT_EQ(r.inter->npaths, 0);
  // Along part of an edge, the vertices of each lying on the other's edge.
  Shape C = shapeWith({rectangle(0, 0, 2, 2)}), D = shapeWith({rectangle(2, 1, 3, 3)});
  const Results p = run(C.get(), D.get());
  expectAreas(p, 6.0, 0.0, 4.0);
  EXPECT_EQ(p.uni->npaths, 1);
  // Overlapping with a shared bottom edge.
  Shape E = shapeWith({rectangle(0, 0, 2, 1)}), F = shapeWith({rectangle(1, 0, 3, 2)});
  expectAreas(run(E.get(), F.get()), 5.0, 1.0, 1.0);
  // A shared arc: two half discs on one diameter, and a disc over a half.
  Shape up = shapeWith({circleAt(0, 0, 1, 0)});
  Shape lower = own(shapeOf({polygon({{1, 0}, {-1, 0}})}));
  addCentre(lower->paths[0], 0, 0, 1, KIV_ARC_MINOR, KIV_CCW);
  expectAreas(run(up.get(), lower.get()), kPi, kPi / 2, kPi / 2);
}

TEST_F(Booleans, CornerContact) {
  Shape A = shapeWith({rectangle(0, 0, 1, 1)}), B = shapeWith({rectangle(1, 1, 2, 2)});
  const Results r = run(A.get(), B.get());
  expectAreas(r, 2.0, 0.0, 1.0);
  EXPECT_EQ(r.uni->npaths, 2);
  // A corner on the middle of an edge, from outside.
  Shape C = shapeWith({polygon({{1, 0.5}, {2, 0}, {2, 1}})});
  expectAreas(run(A.get(), C.get()), 1.5, 0.0, 1.0);
}

TEST_F(Booleans, IdenticalShapes) {
  Shape A = shapeWith({gearOutline()}), B = shapeWith({gearOutline()});
  const double a = area2D_(A.get());
  const Results r = run(A.get(), B.get());
  expectAreas(r, a, a, 0.0);
  EXPECT_EQ(r.uni->npaths, 1);
  EXPECT_EQ(r.inter->npaths, 1);
  EXPECT_EQ(r.diff->npaths, 0);
  // A square against itself, through the same object.
  Shape S = shapeWith({rectangle(0, 0, 1, 1)});
  expectAreas(run(S.get(), S.get()), 1.0, 1.0, 0.0);
}

TEST_F(Booleans, Holes) {
  // A frame 4 x 4 with a 2 x 2 hole; total area 12.
  Shape frame = shapeWith({rectangle(0, 0, 4, 4), rectangleHole(1, 1, 3, 3)});
  // A disc inside the hole meets nothing of the frame.
  Shape inHole = shapeWith({circleAt(2, 2, 0.5, 0)});
  const Results r = run(frame.get(), inHole.get());
  expectAreas(r, 12 + kPi / 4, 0.0, 12.0);
  EXPECT_EQ(r.uni->npaths, 3);
  EXPECT_EQ(r.inter->npaths, 0);
  // A band across the right half, through the hole.
  Shape band = shapeWith({rectangle(2, -1, 5, 5)});
  const Results b = run(frame.get(), band.get());
  expectAreas(b, 24.0, 6.0, 6.0);
  // Removing the hole's square from the frame changes nothing; removing
  // the frame from the hole's square leaves it whole.
  Shape hole = shapeWith({rectangle(1, 1, 3, 3)});
  expectAreas(run(frame.get(), hole.get()), 16.0, 0.0, 12.0);
  expectAreas(run(hole.get(), frame.get()), 16.0, 0.0, 4.0);
  // A shape wholly inside the other becomes a hole of the removal.
  Shape inner = shapeWith({rectangle(0.2, 0.2, 0.8, 0.6)});
  const Results in = run(frame.get(), inner.get());
  expectAreas(in, 12.0, 0.24, 12 - 0.24);
  EXPECT_EQ(in.diff->npaths, 3);
}

}  // namespace
