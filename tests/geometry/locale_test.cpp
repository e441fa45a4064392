// The library inside a host that runs in its user's locale: printed shapes
// have the bytes of the "C" locale and read back, files are judged alike,
// and names match in either ASCII case however the locale folds letters.
#include <sys/stat.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "geometry/kiv_geometry.h"
#include "geometry/kiv_shapeid.h"
#include "params/kiv_globalparams.h"
#include "runtime/kiv_runtime.h"
#include "support/kiv_test.hpp"
#include "tables/kiv_tablefiles.h"

namespace {

using kiv::test::readFile;
using kiv::test::tempPath;

constexpr double kPi = 3.14159265358979323846;

// Locales made with localedef into the test's scratch folder and reached
// through LOCPATH; the "C" locale, LOCPATH and the reader cache are given
// back whatever happens.
class MadeLocales {
 public:
  MadeLocales() : dir_(tempPath("locales")) {
    if (const char *old = std::getenv("LOCPATH")) oldPath_ = old;
    ::mkdir(dir_.c_str(), 0755);
    ::setenv("LOCPATH", dir_.c_str(), 1);
    int off = 0;
    oldCache_ = rtableStoreToCache_(nullptr);
    rtableStoreToCache_(&off);
  }
  ~MadeLocales() {
    std::setlocale(LC_ALL, "C");
    if (oldPath_)
      ::setenv("LOCPATH", oldPath_->c_str(), 1);
    else
      ::unsetenv("LOCPATH");
    rtableStoreToCache_(&oldCache_);
  }
  MadeLocales(const MadeLocales &) = delete;
  MadeLocales &operator=(const MadeLocales &) = delete;

  // The locale's name when localedef could make it and it can be set.
  std::optional<std::string> make(const char *source, const char *charset) {
    const std::string name = std::string(source) + "." + charset;
    const std::string cmd = "localedef -i " + std::string(source) + " -f " + charset + " '" + dir_ + "/" + name +
                            "' >/dev/null 2>&1";
    [[maybe_unused]] const int rc = std::system(cmd.c_str());  // warnings alone give 1
    const bool usable = std::setlocale(LC_ALL, name.c_str()) != nullptr;
    std::setlocale(LC_ALL, "C");
    if (!usable) return std::nullopt;
    return name;
  }

 private:
  std::string dir_;
  std::optional<std::string> oldPath_;
  int oldCache_ = 0;
};

std::string cRow(double x, double y) {
  char row[1024];
  std::snprintf(row, sizeof row, "   %25.14f\t%25.14f\n", x, y);
  return row;
}

struct Contour {
  std::vector<double> x, y;
  path *make() const {
    path *p = create_path();
    for (size_t i = 0; i < x.size(); ++i) add_last_xy_(p, x[i], y[i]);
    return p;
  }
  // Its rows as printf writes them in the "C" locale, closed.
  std::string rows() const {
    std::string s;
    for (size_t i = 0; i < x.size(); ++i) s += cRow(x[i], y[i]);
    return s + cRow(x[0], y[0]);
  }
};

// Values whose text a locale could change: a sign on zero, digits that
// printf would group, fractions that take every decimal, the least ones.
const Contour kOuter{{-0.0, 1234567.125, 1234567.125, -2.5e-15}, {-0.0, 0.0, 30000000.0 + 1.0 / 3, 7.0 / 9}};
const Contour kInner{{10.0, 20.0, 20.0}, {0.1, 0.1, 100.0 / 7}};

// What a printed file holds: the T1D file's path numbers are not compared
// (they go on from print to print).
std::string withoutPathNumbers(const std::string &text) {
  std::string out;
  size_t b = 0;
  while (b < text.size()) {
    size_t e = text.find('\n', b);
    e = e == std::string::npos ? text.size() : e + 1;
    const std::string line = text.substr(b, e - b);
    const size_t gap = line.find("  ");
    out += gap != std::string::npos && gap > 0 && line[0] != ' ' ? "N" + line.substr(gap) : line;
    b = e;
  }
  return out;
}

struct Seen {
  std::string xy, t1d, alone, errors;
  double circleArea = NAN, t1dFirst = NAN;
  int slices = -2, glued = -2, nbsp = -2;
  std::string substituted, replacedTokens, replacedWord;
};

class Locale : public kiv::test::SystemTest {
 protected:
  void SetUp() override {
    SystemTest::SetUp();
    const double r = 7.0 / 3, c = 0.0;
    circle_ = create_vp_stator_id_(&r, &c, &c);
    shape *s = create_shape();
    add_path(kOuter.make(), s);
    add_path(kInner.make(), s);
    twoPaths_ = register_shape_id_(s);
    ChangeOrAddTextGlobalParamValue("fluid", "oil", 1);
  }

  // Everything the library writes, reads and replaces, in the current locale.
  Seen observe() {
    Seen o;
    const std::string xy = tempPath("circle.txt"), t1d = tempPath("two.txt"), alone = tempPath("alone.txt");
    xCD_fprint_shape(xy.c_str(), xCD_get_shape_(&circle_));
    xCD_fprint_shape_id_(t1d.c_str(), &twoPaths_);
    fprint_path_alone(alone.c_str(), xCD_get_shape_(&twoPaths_)->paths[0]);
    o.xy = readFile(xy);
    o.t1d = withoutPathNumbers(readFile(t1d));
    o.alone = readFile(alone);

    const int kind = 1;
    const int circle = xCD_create_object_from_datafile_(xy.c_str(), &kind);
    if (circle >= 0) xCD_shape_area_(&circle, &o.circleArea);
    int *sizes = nullptr;
    double *x = nullptr, *y = nullptr, *z = nullptr;
    o.slices = rtablemd_(t1d.c_str(), &sizes, &x, &y, &z, nullptr);
    if (o.slices == 2) o.t1dFirst = z[sizes[0] - 2];  // the outer contour's last vertex
    std::free(sizes), std::free(x), std::free(y), std::free(z);

    // "nan" glued to a Latin-1 letter, and a no-break space in a number.
    const std::string head = "# Table format: XY\n   0 0\n   1 0\n   1 1\n";
    o.glued = readBack("glued.txt", head + "   nan\xE9\n");
    o.nbsp = readBack("nbsp.txt", head + "   0\xA0.5\t2\n");
    o.errors = takeErr();

    o.substituted = text(GetTextGlobalParam("data/${FLUID}.txt"));
    char *names[] = {const_cast<char *>("FLUID"), const_cast<char *>("caf\xE9"), const_cast<char *>("in")};
    char *values[] = {const_cast<char *>("oil"), const_cast<char *>("tea"), const_cast<char *>("IN")};
    o.replacedTokens = text(ReplaceTokenNamesByValues("${fluid}/${CAF\xC9}/${In}", names, values, 3));
    char *word = nullptr;
    CopyString(&word, "LINE_INLET");
    ReplaceCaseWordInString(&word, "inlet", "outlet");
    o.replacedWord = text(word);
    return o;
  }

  int readBack(const char *name, const std::string &body) {
    const std::string file = tempPath(name);
    std::ofstream(file) << body;
    const int kind = 1;
    return xCD_create_object_from_datafile_(file.c_str(), &kind);
  }

  static std::string text(char *owned) {
    const std::string s = owned ? owned : "(null)";
    std::free(owned);
    return s;
  }

  int circle_ = -1, twoPaths_ = -1;
};

TEST_F(Locale, FilesNamesAndNumbersAreTheSameInEveryLocale) {
  MadeLocales made;
  std::vector<std::string> locales;
  // A decimal comma; Turkish, where 'I' folds to itself or to a dotless
  // i; Latin-1, where letters beyond ASCII are letters.
  const std::pair<const char *, const char *> wanted[] = {
      {"de_DE", "UTF-8"}, {"tr_TR", "UTF-8"}, {"tr_TR", "ISO-8859-9"}, {"de_DE", "ISO-8859-1"}};
  for (const auto &[source, charset] : wanted)
    if (auto name = made.make(source, charset)) locales.push_back(*name);
  if (locales.empty()) GTEST_SKIP() << "localedef could make none of the locales (is the package locales installed?)";

  ASSERT_STREQ(std::setlocale(LC_ALL, nullptr), "C");
  const Seen c = observe();
  // In "C", against printf and closed forms.
  EXPECT_EQ(c.alone, "# Table format: XY\n" + kOuter.rows());
  EXPECT_EQ(c.t1d, "# Table format: T1D\nN  5\n" + kOuter.rows() + "N  4\n" + kInner.rows());
  EXPECT_NEAR(c.circleArea, kPi * 49 / 9, 1e-3);  // 720 sampled chords
  EXPECT_EQ(c.slices, 2);
  EXPECT_NEAR(c.t1dFirst, 7.0 / 9, 1e-14);
  EXPECT_EQ(c.glued, -1);
  EXPECT_EQ(c.nbsp, -1);
  EXPECT_EQ(c.substituted, "data/oil.txt");
  EXPECT_EQ(c.replacedTokens, "oil/${CAF\xC9}/IN");
  EXPECT_EQ(c.replacedWord, "LINE_outlet");

  for (const std::string &name : locales) {
    SCOPED_TRACE(name);
    ASSERT_NE(std::setlocale(LC_ALL, name.c_str()), nullptr);
    const Seen l = observe();
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(l.xy, c.xy);
    EXPECT_EQ(l.t1d, c.t1d);
    EXPECT_EQ(l.alone, c.alone);
    EXPECT_EQ(l.circleArea, c.circleArea);
    EXPECT_EQ(l.slices, c.slices);
    EXPECT_EQ(l.t1dFirst, c.t1dFirst);
    EXPECT_EQ(l.glued, c.glued);
    EXPECT_EQ(l.nbsp, c.nbsp);
    EXPECT_EQ(l.substituted, c.substituted);
    EXPECT_EQ(l.replacedTokens, c.replacedTokens);
    EXPECT_EQ(l.replacedWord, c.replacedWord);
    EXPECT_EQ(l.errors, c.errors);
  }
}

}  // namespace
