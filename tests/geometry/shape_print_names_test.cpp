// The shape printers under every name a folder takes, and the reason they
// give when a file cannot be written at all.
#include <gmock/gmock.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "geometry/kiv_shapeid.h"
#include "support/file_names.hpp"
#include "support/kiv_test.hpp"

namespace kiv::test {
namespace {

using ShapePrintNames = SystemTest;

// The unit square, counter-clockwise from the origin, and its printed file.
struct Square {
  int id = -1;
  std::string text = "# Table format: XY\n";
  Square() {
    const double x[] = {0, 1, 1, 0}, y[] = {0, 0, 1, 1};
    id = xCD_create_shape_from_array_(x, y, 4);
    char row[128];
    for (int k : {0, 1, 2, 3, 0}) {
      std::snprintf(row, sizeof row, "   %25.14f\t%25.14f\n", x[k], y[k]);
      text += row;
    }
  }
  const shape *get() const { return xCD_get_shape_(&id); }
};

TEST_F(ShapePrintNames, EveryPrinterWritesALeafOfNameMaxBytes) {
  const Square square;
  ASSERT_GE(square.id, 0);
  const std::string byShape = tempPath(leafOf(NAME_MAX, ".shape")), byId = tempPath(leafOf(NAME_MAX, ".id")),
                    alone = tempPath(leafOf(NAME_MAX, ".path"));
  xCD_fprint_shape(byShape.c_str(), square.get());
  xCD_fprint_shape_id_(byId.c_str(), &square.id);
  EXPECT_EQ(fprint_path_alone(alone.c_str(), square.get()->paths[0]), 0);
  EXPECT_EQ(takeErr(), "Printing 1 path(s) in " + byShape + "\nPrinting 1 path(s) in " + byId +
                           "\nPrinting 1 path(s) in " + alone + "\n");
  for (const std::string &file : {byShape, byId, alone}) EXPECT_EQ(readFile(file), square.text);
  // Printed again over themselves, through a temporary each.
  xCD_fprint_shape(byShape.c_str(), square.get());
  EXPECT_EQ(fprint_path_alone(alone.c_str(), square.get()->paths[0]), 0);
  EXPECT_EQ(readFile(byShape), square.text);
  EXPECT_EQ(readFile(alone), square.text);
  EXPECT_EQ(scratchEntries(), 3);
}

TEST_F(ShapePrintNames, AFileThatCannotBeMadeIsSaidWithItsReason) {
  const Square square;
  const std::string nowhere = tempPath("no/such/folder.xy"), tooLong = tempPath(leafOf(NAME_MAX + 1));
  const auto said = [](const char *fn, const std::string &file, int e) {
    return "Error in " + std::string(fn) + ": cannot write " + file + ": " + std::strerror(e) + "\n";
  };
  xCD_fprint_shape(nowhere.c_str(), square.get());
  xCD_fprint_shape_id_(nowhere.c_str(), &square.id);
  EXPECT_EQ(fprint_path_alone(tooLong.c_str(), square.get()->paths[0]), -1);
  EXPECT_EQ(takeErr(), said("xCD_fprint_shape", nowhere, ENOENT) + said("xCD_fprint_shape_id_", nowhere, ENOENT) +
                           said("fprint_path_alone", tooLong, ENAMETOOLONG));
  EXPECT_EQ(scratchEntries(), 0);
}

}  // namespace
}  // namespace kiv::test
