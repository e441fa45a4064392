// Shapes by id: the id sequence, missing ids, deletion, the end of the run, booleans, moves and reduced shapes.
#include <gmock/gmock.h>

#include <cstdio>
#include <functional>

#include "geometry/kiv_shapeid.h"
#include "support/kiv_test.hpp"
#include "tests/geometry/outlines.hpp"

namespace {

using namespace kiv::geomtest;
using ShapeIds = kiv::test::SystemTest;

int reg(std::initializer_list<path *> paths) { return register_shape_id_(shapeOf(paths)); }

// Exits with 0 when the ids of a fresh process run 0, 1, then 2 after 0 was deleted.
[[noreturn]] void countFromZero() {
  const int a = reg({rectangle(0, 0, 1, 1)}), b = reg({rectangle(0, 0, 1, 1)});
  delete_shape_id_(&a);
  const int c = reg({rectangle(0, 0, 1, 1)});
  std::_Exit(a == 0 && b == 1 && c == 2 && register_shape_id_(nullptr) == -1 ? 0 : 1);
}

TEST_F(ShapeIds, AFreshProcessCountsFromZeroAndNeverReuses) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(countFromZero(), ::testing::ExitedWithCode(0), "");
}

TEST_F(ShapeIds, DeletedAndUnknownIdsHaveNoShapeAndTheRunEndFreesTheRest) {
  const int kept = reg({rectangle(0, 0, 1, 1)}), gone = reg({rectangle(0, 0, 2, 1)});
  for (int id : {gone, gone, -5}) delete_shape_id_(&id);  // twice frees once
  KIVdelete_shape_(0, gone);
  for (int id : {-1, gone + 1000, gone}) EXPECT_EQ(std::tuple(xCD_get_shape_(&id), xCD_shape_exists_(&id)), std::tuple(nullptr, 0));
  EXPECT_EQ(idArea(kept), 1);
  KivEndRun(0);
  EXPECT_EQ(xCD_shape_exists_(&kept), 0);
}

TEST_F(ShapeIds, MissingIdsAndUnfitShapesAnswerWithTheirMessages) {
  const int a = reg({rectangle(0, 0, 1, 1)}), m = reg({rectangle(0, 0, 1, 1)}), empty = register_shape_id_(create_shape());
  const int two = reg({rectangle(0, 0, 1, 1), rectangle(3, 3, 4, 4)});
  delete_shape_id_(&m);
  double d = 7, e = 7, *dx = nullptr;
  int i = 1, j = 2, side = 1, zero = 0, one = 1, minus = -1, *ni = nullptr;
  struct Case { std::function<int()> call; int result; const char *message; };
  const Case cases[] = {
      {[&] { return xCD_fprint_shape_id_("unused", &m), 0; }, 0, "Error in xCD_fprint_shape_id_ requested shape (%d) doesn't exist\n"},
      {[&] { return xCD_translate_(&m, &d, &d), 0; }, 0, "Error in translate : cannot retrieve shape %d\n"},
      {[&] { return xCD_rotate_(&m, &d, &d, &d), 0; }, 0, "Error in rotate : cannot retrieve shape %d\n"},
      {[&] { return xCD_union_(&a, &m); }, -1, "Cannot retrieve shape %d.\n"},
      {[&] { return xCD_intersection_(&m, &a); }, -1, "Cannot retrieve shape %d.\n"},
      {[&] { return xCD_remove_(&m, &a); }, -1, "Cannot retrieve shape %d.\n"},
      {[&] { return xCD_remove_shapes_(&m, &zero, nullptr); }, -1, "Cannot retrieve shape %d.\n"},
      {[&] { return xCD_setsplitter_id_(&m, &i, &j, &side, &one, &a); }, -1, "Cannot retrieve shape %d.\n"},
      {[&] { return xCD_getreducedshape_id_(&m, &i, &j); }, -1, "Cannot retrieve shape %d in utility xCD_getreducedshape_id.\n"},
      {[&] { return find_bounds_trbl_id_(&m, &d, &d, &d, &d); }, -1, "Cannot retrieve shape %d\n"},
      {[&] { return find_bounds_rtheta_id_(&m, &d, &d, &d, &d); }, -1, "Cannot retrieve shape %d\n"},
      {[&] { return extract_shape_(&m, &dx, &dx, &ni, &i), i; }, 1, "Cannot retrieve shape %d.\n"},
      {[&] { return check_gear_id_(&m, &i, &d, &d, &d, &d); }, -1, "Cannot retrieve shape %d\n"},
      {[&] { return xCD_copy_shape_id_(&m) + xCD_copy_shape_reversed_id_(&m) + xCD_copy_shape_moved_id_(&m, &d, &d, &d, &d, &d); }, -3, ""},
      {[&] { return xCD_shape_area_(&m, &d) + xCD_shape_perimeter_(&m, &e) * 10; }, -11, ""},
      {[&] { return xCD_getsize_shape_id_(&m) + xCD_check_shape_id_(&m); }, -2, ""},
      {[&] { return xCD_getsize_shape_id_(&empty) + xCD_check_shape_id_(&empty); }, -2, ""},
      {[&] { return xCD_setsplitter_id_(&a, &i, &j, &side, &zero, nullptr); }, -1, "No targets defined for splitter.\n"},
      {[&] { return xCD_setsplitter_id_(&a, &i, &j, &side, &minus, nullptr); }, -1, "No targets defined for splitter.\n"},
      {[&] { return xCD_setsplitter_id_(&a, &i, &j, &side, &one, &two); }, -1, "Splitter can be computed only between single-path shapes.\n"},
  };
  for (const Case &c : cases) {
    char expected[128];
    std::snprintf(expected, sizeof expected, c.message, m);
    EXPECT_EQ(c.call(), c.result) << expected;
    EXPECT_EQ(takeErr(), expected);
  }
  EXPECT_EQ(std::tuple(d, e, dx, ni), std::tuple(0.0, 0.0, nullptr, nullptr));
}

TEST_F(ShapeIds, BooleansBuildersAndMovesById) {
  const int a = reg({rectangle(0, 0, 4, 4)}), b = reg({rectangle(2, 2, 6, 6)}), none = -1;
  EXPECT_DOUBLE_EQ(idArea(xCD_union_(&a, &b)), 28);
  EXPECT_DOUBLE_EQ(idArea(xCD_intersection_(&a, &b)), 4);
  EXPECT_DOUBLE_EQ(idArea(xCD_remove_(&a, &b)), 12);
  EXPECT_DOUBLE_EQ(idArea(xCD_remove_(&a, &none)), 16);
  const int holes[] = {reg({rectangle(1, 1, 2, 2)}), reg({rectangle(1, 3, 2, 3.5)}), b};
  const int n = 3, before = reg({rectangle(0, 0, 1, 1)}), last = xCD_remove_shapes_(&a, &n, holes);
  const int steps[] = {before + 1, before + 2};
  EXPECT_EQ(std::tuple(last, xCD_shape_exists_(&steps[0]), xCD_shape_exists_(&steps[1])), std::tuple(before + 3, 0, 0));
  EXPECT_DOUBLE_EQ(idArea(last), 16 - 1 - 0.5 - 4);
  const int count = 0, copy = xCD_remove_shapes_(&a, &count, holes);  // without ids: a registered copy of A
  EXPECT_EQ(std::tuple(copy > last, idArea(copy), takeErr()), std::tuple(true, 16.0, ""));
  // The builders by id register what they build, and nothing for no shape.
  const double one = 1, zero = 0;
  const int disc = create_vp_stator_id_(&one, &zero, &zero);
  EXPECT_EQ(create_vp_rotor_id_(&zero), -1);
  EXPECT_NEAR(idArea(disc), -kPi, 1e-14);
  // Moves act on the registered shape in place.
  const int id = reg({rectangle(0, 0, 2, 1)});
  const double dx = 1, dy = -1, xc = 1, yc = -1, quarter = kPi / 2;
  xCD_translate_(&id, &dx, &dy);
  xCD_rotate_(&id, &xc, &yc, &quarter);
  double top, right, bottom, left, per;
  EXPECT_EQ(find_bounds_trbl_id_(&id, &top, &right, &bottom, &left) + xCD_shape_perimeter_(&id, &per), 0);
  EXPECT_LT(deviation({{top, right}, {bottom, left}, {per, 0}}, {{1, 1}, {-1, 0}, {6, 0}}), 1e-14);
}

TEST_F(ShapeIds, ReducedShapesFollowTheRingBetweenClampedIndices) {
  path *p = create_path();
  for (int k = 0; k < 10; ++k) add_last_Rtheta_(p, 1.0 + k, 2 * kPi * k / 10);
  const int id = reg({p});
  const auto reduced = [&](int i1, int i2) {
    const int r = xCD_getreducedshape_id_(&id, &i1, &i2);
    return std::tuple(i1, i2, coords(xCD_get_shape_(&r)->paths[0]));
  };
  const Coords all = coords(p);
  EXPECT_EQ(reduced(2, 5), std::tuple(2, 5, Coords(all.begin() + 2, all.begin() + 6)));
  EXPECT_EQ(reduced(8, 1), std::tuple(8, 1, Coords{all[8], all[9], all[0], all[1]}));
  EXPECT_EQ(reduced(-3, 1000), std::tuple(0, 10, Coords{all[0], all[0]}));
}

}  // namespace
