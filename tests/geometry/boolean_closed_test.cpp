// Union, intersection and removal against closed-form areas: lenses, equal,
// inscribed and tangent discs, squares and discs, annuli, shared edges,
// corner contact, identical shapes and holes.
#include <gmock/gmock.h>

#include <algorithm>

#include "support/kiv_test.hpp"
#include "tests/geometry/outlines.hpp"

namespace {

using namespace kiv::geomtest;
using Booleans = kiv::test::SystemTest;

// Areas of the union, the intersection and the removal, and their path
// counts when not -1.
struct Expect {
  double u, i, d;
  int nu = -1, ni = -1, nd = -1;
};

// All three operations, each succeeding and leaving the inputs unchanged.
Outcome check(const shape *A, const shape *B, Expect e) {
  Shape a0 = copyOf(A), b0 = copyOf(B);
  Outcome r = allThree(A, B);
  EXPECT_TRUE(allOk(r));
  EXPECT_TRUE(sameShape(A, a0.get()));
  EXPECT_TRUE(sameShape(B, b0.get()));
  const shape *got[] = {r.uni.get(), r.inter.get(), r.diff.get()};
  const double area[] = {e.u, e.i, e.d};
  const int paths[] = {e.nu, e.ni, e.nd};
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(area2D_(got[k]), area[k], 1e-9 * std::max(1.0, std::fabs(area[k]))) << "operation " << k;
    if (paths[k] < 0) continue;
    EXPECT_EQ(got[k]->npaths, paths[k]) << "operation " << k;
  }
  return r;
}

TEST_F(Booleans, LensOfTwoDiscs) {
  // Vertices on the line of centres, and turned so that every crossing
  // splits an arc somewhere else along it.
  for (double phi : {0.0, 0.3, 1.1, kPi / 2, 2.9}) {
    for (double d : {1.0, 0.6, 1.9}) {
      Shape A = shapeWith({circle(0, 0, 1, phi)}), B = shapeWith({circle(d, 0, 1, -phi / 2)});
      const double lens = lensArea(1, d);
      const Outcome r = check(A.get(), B.get(), {2 * kPi - lens, lens, kPi - lens, 1, 1, 1});
      EXPECT_EQ(r.inter->paths[0]->orientation, KIV_ORIENT_CCW);
      EXPECT_NEAR(perimeter2D_(r.inter.get()), 4 * std::acos(d / 2), 1e-9);
      EXPECT_NEAR(perimeter2D_(r.diff.get()), 2 * kPi, 1e-9);  // A's arc outside B, B's inside A
      EXPECT_TRUE(untagged(r.inter.get()));
    }
  }
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Booleans, EqualInscribedAndTangentDiscs) {
  for (double phi : {0.0, 0.7}) {
    Shape A = shapeWith({circle(1, 2, 3)}), B = shapeWith({circle(1, 2, 3, phi)});
    check(A.get(), B.get(), {9 * kPi, 9 * kPi, 0, 1, 1, 0});
  }
  // Touching inside at a shared vertex, then wholly inside: a hole of the removal.
  for (double cx : {0.5, 0.2}) {
    Shape A = shapeWith({circle(0, 0, 1)}), B = shapeWith({circle(cx, 0, 0.5)});
    const Outcome r = check(A.get(), B.get(), {kPi, kPi / 4, kPi - kPi / 4});
    ASSERT_EQ(r.diff->npaths, 2);
    EXPECT_EQ(std::pair(r.diff->paths[0]->orientation, r.diff->paths[1]->orientation),
              std::pair(int(KIV_ORIENT_CCW), int(KIV_ORIENT_CW)));
    check(B.get(), A.get(), {kPi, kPi / 4, 0.0});
  }
  // Tangent outside, at a vertex of both and where neither has a vertex.
  for (double phi : {0.0, 1.0}) {
    Shape A = shapeWith({circle(0, 0, 1, phi)}), B = shapeWith({circle(2, 0, 1, -phi)});
    check(A.get(), B.get(), {2 * kPi, 0.0, kPi, 2, 0});
  }
}

TEST_F(Booleans, SquareAndDisc) {
  // A disc on the square's centre, radius between the half side and the
  // half diagonal: the disc less four circular segments, four corners left.
  for (double R : {1.2, 1.001, 1.3}) {
    Shape S = shapeWith({rectangle(-1, -1, 1, 1)}), D = shapeWith({circle(0, 0, R, 0.25)});
    const double both = discInSquare(R, 1.0);
    check(S.get(), D.get(), {4 + kPi * R * R - both, both, 4 - both, -1, -1, 4});
  }
  // Corners below the smallest kept area are dropped.
  Shape S0 = shapeWith({rectangle(-1, -1, 1, 1)}), D0 = shapeWith({circle(0, 0, 1.41, 0.25)});
  EXPECT_EQ(own(remove_shape_(S0.get(), D0.get()))->npaths, 0);
  // A disc centred on a corner: a quarter of it inside.
  Shape S = shapeWith({rectangle(0, 0, 2, 2)}), D = shapeWith({circle(0, 0, 1, 0.4)});
  check(S.get(), D.get(), {4 + 0.75 * kPi, kPi / 4, 4 - kPi / 4});
  check(D.get(), S.get(), {4 + 0.75 * kPi, kPi / 4, 0.75 * kPi});
}

TEST_F(Booleans, Annulus) {
  Shape ring = shapeWith({circle(0, 0, 2), circle(0, 0, 1, 0, KIV_CW)});
  ASSERT_NEAR(area2D_(ring.get()), 3 * kPi, 1e-12);
  // Cut by a half plane through the centre.
  Shape half = shapeWith({rectangle(0, -3, 3, 3)});
  check(ring.get(), half.get(), {18 + 1.5 * kPi, 1.5 * kPi, 1.5 * kPi});
  // The disc that fills the hole (both ways), and one larger than the hole.
  Shape plug = shapeWith({circle(0, 0, 1)}), big = shapeWith({circle(0, 0, 1.5, 0.2)});
  check(ring.get(), plug.get(), {4 * kPi, 0.0, 3 * kPi, 1});
  check(plug.get(), ring.get(), {4 * kPi, 0.0, kPi});
  check(ring.get(), big.get(), {4 * kPi, 1.25 * kPi, 1.75 * kPi});
}

TEST_F(Booleans, SharedEdgesAndCorners) {
  const auto rect = [](double x0, double y0, double x1, double y1) { return shapeWith({rectangle(x0, y0, x1, y1)}); };
  // Along a whole edge; along part of one, each one's vertices on the
  // other's edge; overlapping with a shared bottom edge.
  check(rect(0, 0, 1, 1).get(), rect(1, 0, 2, 1).get(), {2, 0, 1, 1, 0});
  check(rect(0, 0, 2, 2).get(), rect(2, 1, 3, 3).get(), {6, 0, 4, 1});
  check(rect(0, 0, 2, 1).get(), rect(1, 0, 3, 2).get(), {5, 1, 1});
  // Corner on corner, and a corner on the middle of an edge.
  check(rect(0, 0, 1, 1).get(), rect(1, 1, 2, 2).get(), {2, 0, 1, 2});
  Shape C = shapeWith({contour({{1, 0.5}, {2, 0}, {2, 1}})});
  check(rect(0, 0, 1, 1).get(), C.get(), {1.5, 0, 1});
  // A shared arc: a disc over its lower half.
  Shape up = shapeWith({circle(0, 0, 1)}),
        lower = shapeWith({contour({{1, 0}, {-1, 0}, {0, 0, 1, KIV_ARC_MINOR, KIV_CCW}})});
  check(up.get(), lower.get(), {kPi, kPi / 2, kPi / 2});
}

TEST_F(Booleans, IdenticalShapes) {
  Shape A = shapeWith({gearOutline()}), B = shapeWith({gearOutline()});
  const double a = area2D_(A.get());
  check(A.get(), B.get(), {a, a, 0.0, 1, 1, 0});
  // A square against itself, through the same object.
  Shape S = shapeWith({rectangle(0, 0, 1, 1)});
  check(S.get(), S.get(), {1, 1, 0});
}

TEST_F(Booleans, Holes) {
  // A frame 4 x 4 with a 2 x 2 hole; total area 12.
  Shape frame = shapeWith({rectangle(0, 0, 4, 4), rectangleHole(1, 1, 3, 3)});
  // A disc inside the hole meets nothing of the frame.
  Shape inHole = shapeWith({circle(2, 2, 0.5)});
  check(frame.get(), inHole.get(), {12 + kPi / 4, 0.0, 12.0, 3, 0});
  // A band across the right half, through the hole.
  Shape band = shapeWith({rectangle(2, -1, 5, 5)});
  check(frame.get(), band.get(), {24, 6, 6});
  // Removing the hole's square from the frame changes nothing; removing
  // the frame from the hole's square leaves it whole.
  Shape hole = shapeWith({rectangle(1, 1, 3, 3)});
  check(frame.get(), hole.get(), {16, 0, 12});
  check(hole.get(), frame.get(), {16, 0, 4});
  // A shape wholly inside the other becomes a hole of the removal.
  Shape inner = shapeWith({rectangle(0.2, 0.2, 0.8, 0.6)});
  check(frame.get(), inner.get(), {12, 0.24, 12 - 0.24, -1, -1, 3});
}

}  // namespace
