// Shape printers on a full disk (a file-size limit stands in for it) and on
// a disk that frees space again: a print that is not whole is said so, and
// a plain file keeps what it held.
#include <gmock/gmock.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "geometry/kiv_shapeid.h"
#include "support/kiv_test.hpp"

namespace {

using ShapePrintFail = kiv::test::SystemTest;
using kiv::test::FullDisk;
using kiv::test::tempPath;
using kiv::test::readFile;
using kiv::test::scratchEntries;

// A long thin contour of 302 vertices (about 17 kB printed) and its file.
struct Strip {
  int id = -1;
  std::string text = "# Table format: XY\n";
  Strip() {
    std::vector<double> x, y;
    for (int i = 0; i < 300; ++i) x.push_back(i), y.push_back(0);
    x.insert(x.end(), {299, 0});
    y.insert(y.end(), {1, 1});
    id = xCD_create_shape_from_array_(x.data(), y.data(), int(x.size()));
    x.push_back(0), y.push_back(0);  // printed closed
    char row[128];
    for (size_t k = 0; k < x.size(); ++k) {
      std::snprintf(row, sizeof row, "   %25.14f\t%25.14f\n", x[k], y[k]);
      text += row;
    }
  }
  const shape *get() const { return xCD_get_shape_(&id); }
};

std::string failed(const char *fn, const std::string &file) {
  return "Printing 1 path(s) in " + file + "\nError in " + fn + ": cannot write " + file + ": " +
         std::strerror(EFBIG) + "\n";
}

TEST_F(ShapePrintFail, AFullDiskIsSaidAndAPlainFileKeepsWhatItHeld) {
  const Strip strip;
  ASSERT_GE(strip.id, 0);
  ASSERT_GT(strip.text.size(), 8192u);
  const std::string kept = tempPath("kept"), fresh = tempPath("fresh"), alone = tempPath("alone");
  std::ofstream(kept) << "an earlier print\n";
  ::chmod(kept.c_str(), 0640);
  {
    FullDisk full(4096);
    xCD_fprint_shape_id_(kept.c_str(), &strip.id);
    xCD_fprint_shape(fresh.c_str(), strip.get());
    EXPECT_EQ(fprint_path_alone(alone.c_str(), strip.get()->paths[0]), -1);
  }
  EXPECT_EQ(takeErr(), failed("xCD_fprint_shape_id_", kept) + failed("xCD_fprint_shape", fresh) +
                           failed("fprint_path_alone", alone));
  EXPECT_EQ(readFile(kept), "an earlier print\n");
  EXPECT_EQ(scratchEntries(), 1);  // no cut file, no temporary

  // A healthy print replaces the file whole and keeps its permissions.
  xCD_fprint_shape_id_(kept.c_str(), &strip.id);
  EXPECT_EQ(fprint_path_alone(alone.c_str(), strip.get()->paths[0]), 0);
  EXPECT_EQ(readFile(kept), strip.text);
  EXPECT_EQ(readFile(alone), strip.text);
  struct stat st {};
  ASSERT_EQ(::stat(kept.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  // A symbolic link is written through, in place; a failure there is said
  // all the same.
  const std::string target = tempPath("target"), link = tempPath("link");
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  xCD_fprint_shape(link.c_str(), strip.get());
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(readFile(target), strip.text);
  {
    FullDisk full(4096);
    xCD_fprint_shape(link.c_str(), strip.get());
  }
  EXPECT_EQ(takeErr(), "Printing 1 path(s) in " + kept + "\nPrinting 1 path(s) in " + alone +
                           "\nPrinting 1 path(s) in " + link + "\n" + failed("xCD_fprint_shape", link));
}

TEST_F(ShapePrintFail, ADiskThatFreesSpaceAgainStillFailsThePrint) {
  // One write fails and the next ones succeed: the stream's error state is
  // all that tells of the hole.
  const Strip strip;
  const std::string name = tempPath("path");
  int result = 0;
  {
    FullDisk full(4096, true);
    result = fprint_path_alone(name.c_str(), strip.get()->paths[0]);
  }
  EXPECT_EQ(result, -1);
  EXPECT_EQ(takeErr(), failed("fprint_path_alone", name));
  EXPECT_EQ(scratchEntries(), 0);
}

}  // namespace
