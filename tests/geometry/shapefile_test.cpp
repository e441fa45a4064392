// Shapes from arrays and table files, printed shapes and their extraction.
#include <gmock/gmock.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "geometry/kiv_shapeid.h"
#include "support/kiv_test.hpp"
#include "tests/geometry/outlines.hpp"

namespace {

using namespace kiv::geomtest;
using ShapeFiles = kiv::test::SystemTest;

std::string slurp(const std::string &name) {
  std::ifstream f(name);
  return {std::istreambuf_iterator<char>(f), {}};
}

TEST_F(ShapeFiles, ArraysGiveOneOrientedContourOrNothing) {
  struct Case { std::vector<double> x, y; bool hole; int result; double area; };  // result 0: an id
  const Case cases[] = {
      {{0, 2, 2, 0}, {0, 0, 1, 1}, false, 0, 2},       {{0, 2, 2, 0, 0}, {0, 0, 1, 1, 0}, false, 0, 2},
      {{0, 0, 2, 2}, {0, 1, 1, 0}, false, 0, 2},       {{0, 2, 2, 0}, {0, 0, 1, 1}, true, 0, -2},
      {{0, 2, 0, 2}, {0, 1, 1, 0}, false, -2, 0},      {{0, 1, 3}, {0, 1, 3}, true, -1, 0},
      {{0, 1, 0, 1, 0}, {0, 1, 0, 1, 0}, false, -1, 0}, {{}, {}, false, -1, 0},
      {{0, 2, std::nan(""), 0}, {0, 0, 1, 1}, false, -1, 0},
      {{0, 2, 2, 0}, {0, 0, 9e156, 1}, false, -1, 0},  // its centroid would overflow
      {{-9.950042, 0, -11.223137, 0, 0}, {0.998334, 0, -4.24, 0, 0}, false, -1, 0},  // back along itself
      {{0, 2, 1, 0, -1, -2}, {0, 1, 2, 0, 2, 1}, false, 0, 3},  // two triangles on one lowest vertex
  };
  std::vector<Coords> made;
  const int first = register_shape_id_(create_shape());
  for (const Case &c : cases) {
    const int id = (c.hole ? xCD_create_hole_from_array_ : xCD_create_shape_from_array_)(c.x.data(), c.y.data(), int(c.x.size()));
    const shape *s = xCD_get_shape_(&id);
    EXPECT_EQ(id < 0 ? id : 0, c.result);
    if (!s) continue;
    made.push_back(coords(s->paths[0]));
    EXPECT_EQ(std::tuple(area2D_(s), s->paths[0]->orientation), std::tuple(c.area, c.hole ? KIV_ORIENT_CW : KIV_ORIENT_CCW));
  }
  EXPECT_EQ(std::tuple(made[0].size(), made[0]), std::tuple(size_t(4), made[1]));
  EXPECT_EQ(register_shape_id_(create_shape()), first + 6);  // refused contours took no id
}

TEST_F(ShapeFiles, DataFilesAreReadInMillimetres) {
  const std::string square = "0 0 5\n10 0 5\n10 10 5\n0 10 5\n";
  struct Case { std::string text; int kind, result; double area; const char *message; };
  const Case cases[] = {
      {"# Table format: XY\n# axis1_unit = m\n# axis2_unit = m\n0 0\n0.01 0\n0.01 0.01\n0 0.01\n", 1, 0, 100, ""},
      {square, 1, 0, 100, ""},
      {square, 0, 0, -100, ""},
      {"# Table format: 1D\n0 0\n1 1\n", 1, -1, 0, "\nError in xCD_create_object_from_datafile_: wrong file format for %s.\n"},
      {"1\n2\n3\n", 1, -1, 0, "\nError in xCD_create_object_from_datafile_: the table is not of the correct dimension for %s.\n"},
  };
  for (const Case &c : cases) {
    const std::string name = kiv::test::tempPath("outline" + std::to_string(&c - cases));
    std::ofstream(name) << c.text;
    const int id = xCD_create_object_from_datafile_(name.c_str(), &c.kind);
    char expected[256];
    std::snprintf(expected, sizeof expected, c.message, name.c_str());
    EXPECT_EQ(std::tuple(id < 0 ? id : 0, c.result < 0 ? 0.0 : idArea(id), takeErr()),
              std::tuple(c.result, c.area, std::string(expected)));
  }
  EXPECT_EQ(xCD_create_object_from_datafile_(kiv::test::tempPath("none").c_str(), &cases[0].kind), -1);
  EXPECT_THAT(takeErr(), ::testing::Not(::testing::HasSubstr("xCD_")));
  // Three columns suit shapes and holes, not user ports.
  const std::string three = kiv::test::tempPath("outline1");  // the square of three columns
  EXPECT_EQ(idArea(create_shape_(three.c_str(), nullptr, nullptr)) + idArea(create_hole_(three.c_str(), ";", nullptr)), 0);
  EXPECT_EQ(create_userport_id_(three.c_str(), nullptr, nullptr), -1);
  EXPECT_EQ(takeErr(), "unable to read data from " + three + " !\n");
}

TEST_F(ShapeFiles, ADecimalCommaIsRefusedNotReadAsAnotherShape) {
  // "10,5" read as 10 would give a square: the file is refused instead, in
  // the first and in the last column; the caller's own separators still split.
  const int kind = 1;
  // So is a coordinate no double can hold, which would read as infinite.
  for (auto [text, word] : {std::pair{"0 0\n10 0\n10 10,5\n0 10\n", "'10,5'"}, {"0 0\n10 0\n10,5 10\n0 10\n", "'10,5'"},
                            {"0 0\n10 0\n10 1e400\n0 10\n", "'1e400'"}, {"0 0\n10 0\n-1e400 10\n0 10\n", "'-1e400'"}}) {
    const std::string name = kiv::test::tempPath("comma");
    std::ofstream(name) << text;
    EXPECT_EQ(xCD_create_object_from_datafile_(name.c_str(), &kind), -1) << text;
    const std::string err = takeErr();
    EXPECT_THAT(err, ::testing::HasSubstr("Line 3 of file '" + name + "'")) << text;
    EXPECT_THAT(err, ::testing::HasSubstr(word)) << text;
  }
  const std::string semicolons = kiv::test::tempPath("semicolons");
  std::ofstream(semicolons) << "0;0\n10;0 # corner 2\n10;10\n0;10\n";
  EXPECT_EQ(idArea(create_shape_(semicolons.c_str(), ";", nullptr)), 100);
}

TEST_F(ShapeFiles, PrintedTablesNumberTheirPathsAcrossTheProcess) {
  const std::string row0 = "            0.00000000000000\t         0.00000000000000\n",
                    rows = row0 + "            2.00000000000000\t         0.00000000000000\n" +
                           "            2.00000000000000\t         1.00000000000000\n" +
                           "            0.00000000000000\t         1.00000000000000\n" + row0;
  const int one = register_shape_id_(shapeOf({rectangle(0, 0, 2, 1)}));
  const int two = register_shape_id_(shapeOf({rectangle(0, 0, 2, 1), rectangle(0, 0, 2, 1)}));
  const std::string name = kiv::test::tempPath("printed");
  xCD_fprint_shape_id_(name.c_str(), &one);
  EXPECT_EQ(std::tuple(slurp(name), takeErr()),
            std::tuple("# Table format: XY\n" + rows, "Printing 1 path(s) in " + name + "\n"));
  int z0 = -1;
  for (int pass = 0; pass < 2; ++pass) {
    xCD_fprint_shape_id_(name.c_str(), &two);
    const std::string text = slurp(name);
    if (pass == 0) std::sscanf(text.c_str(), "# Table format: T1D\n%d", &z0);
    const auto line = [&](int k) { return std::to_string(z0 + 2 * pass + k) + "  5\n"; };
    EXPECT_EQ(text, "# Table format: T1D\n" + line(0) + rows + line(1) + rows);
  }
  EXPECT_GE(z0, 0);
  xCD_fprint_shape("/nonexistent/dir/shape", xCD_get_shape_(&one));
  fprint_path(nullptr, xCD_get_shape_(&one)->paths[0]);
  EXPECT_EQ(fprint_path_alone("/nonexistent/dir/path", nullptr), -1);
  EXPECT_THAT(takeErr(), ::testing::AllOf(::testing::HasSubstr("/dir/shape"), ::testing::HasSubstr("/dir/path")));
}

TEST_F(ShapeFiles, ArcsAreSampledEveryHalfDegreeAndNeverDrawnToTheirCentre) {
  const int quarter = register_shape_id_(shapeOf({contour({{1, 0}, {0, 0, 1, KIV_ARC_MINOR, KIV_CCW}, {0, 1}})}));
  const int entered = register_shape_id_(shapeOf({contour({{0, 0, 1, KIV_ARC_MINOR, KIV_CCW}, {0, 1}, {1, 0}})}));
  const std::string a = kiv::test::tempPath("a"), b = kiv::test::tempPath("b");
  xCD_fprint_shape_id_(a.c_str(), &quarter);
  xCD_fprint_shape_id_(b.c_str(), &entered);
  EXPECT_EQ(slurp(a), slurp(b));
  std::ifstream in(a);
  in.ignore(64, '\n');  // the header
  Coords printed;
  for (double x, y; in >> x >> y;) printed.emplace_back(x, y);
  Coords expected{{1, 0}};  // the start vertex, 181 samples every half degree, the end vertex, the start again
  for (int k = 0; k <= 180; ++k) expected.emplace_back(std::cos(k * kPi / 360), std::sin(k * kPi / 360));
  expected.insert(expected.end(), {{0, 1}, {1, 0}});
  EXPECT_LT(deviation(printed, expected), 1e-14);
  double *x = nullptr, *y = nullptr;
  int *sizes = nullptr, n = 0;
  extract_shape_(&entered, &x, &y, &sizes, &n);
  Coords extracted;
  for (int k = 0; k < sizes[0]; ++k) extracted.emplace_back(x[k], y[k]);
  printed.pop_back();
  EXPECT_EQ(std::tuple(n, sizes[0], size_path_print_(xCD_get_shape_(&quarter)->paths[0])), std::tuple(1, 183, 183));
  EXPECT_LT(deviation(extracted, printed), 1e-14);
  for (void *p : {(void *)x, (void *)y, (void *)sizes}) std::free(p);
}

TEST_F(ShapeFiles, GearCheckCountsTwelveTeethAboutTheCentreOfAnOutline) {
  std::vector<double> x, y;
  for (int k = 0; k < 12; ++k)
    for (auto [r, deg] : {std::pair{10.0, -15.0}, {10.0, -7.0}, {12.0, -4.0}, {12.0, 4.0}, {10.0, 7.0}}) {
      const double a = (30.0 * k + deg) * kPi / 180;
      x.push_back(3 + r * std::cos(a));
      y.push_back(-2 + r * std::sin(a));
    }
  const int ids[] = {xCD_create_shape_from_array_(x.data(), y.data(), int(x.size())),
                     xCD_create_hole_from_array_(x.data(), y.data(), int(x.size())), register_shape_id_(create_shape())};
  for (int id : ids) {
    int teeth = 5;  // the outputs: teeth, centre x and y, root and tip radii
    double g[4];
    const int r = check_gear_id_(&id, &teeth, &g[0], &g[1], &g[2], &g[3]);
    EXPECT_EQ(std::tuple(r, teeth), id == ids[2] ? std::tuple(-1, 0) : std::tuple(0, 12));  // nothing to measure last
    if (id != ids[2]) {
      EXPECT_LT(deviation({{g[0], g[1]}, {g[2], g[3]}}, {{3, -2}, {10, 12}}), 1e-12);
    }
  }
}

TEST_F(ShapeFiles, LongContoursAreReadAndCheckedForCrossings) {
  // 100000 vertices: a wavy ring, a star of thin spikes whose edges all
  // reach in near the centre, and the ring with one vertex pulled across it.
  const int n = 100000;
  for (int variant = 0; variant < 3; ++variant) {
    std::vector<double> x(n), y(n);
    for (int k = 0; k < n; ++k) {
      const double t = 2 * kPi * k / n, r = variant == 1 ? (k % 2 ? 1.0 : 10.0) : 10 + 2 * std::sin(37 * t);
      x[k] = r * std::cos(t);
      y[k] = r * std::sin(t);
    }
    if (variant == 2) x[n / 2] = 20;  // its two edges cut the ring near angle 0
    const std::string name = kiv::test::tempPath("long" + std::to_string(variant));
    {
      std::ofstream f(name);
      f.precision(17);
      for (int k = 0; k < n; ++k) f << x[k] << ' ' << y[k] << '\n';
    }
    double twice = 0;
    for (int k = 0; k < n; ++k) twice += x[k] * y[(k + 1) % n] - x[(k + 1) % n] * y[k];
    const int one = 1, id = xCD_create_object_from_datafile_(name.c_str(), &one);
    if (variant == 2) {
      EXPECT_EQ(id, -2);
    } else {
      ASSERT_GE(id, 0) << variant;
      EXPECT_NEAR(idArea(id) / (twice / 2), 1, 1e-12) << variant;
    }
    takeErr();
  }
}

}  // namespace
