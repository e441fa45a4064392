#include <cstdlib>
#include <memory>
#include <string>

#include "support/kiv_test.hpp"

namespace {

using kiv::test::SystemTest;

struct Freer {
  void operator()(char *p) const { std::free(p); }
};
using Text = std::unique_ptr<char, Freer>;

std::string str(const Text &t) { return t ? std::string(t.get()) : std::string("(null)"); }

class FileNamesTest : public SystemTest {
 protected:
  void SetUp() override {
    SystemTest::SetUp();
    setenv("KIV_TEST_ROOT", "/opt/kivroot", 1);
    unsetenv("KIV_TEST_UNSET_VAR");
    KivSetFileNames("/home/u/work", "pump", "run3");
  }
};

TEST_F(FileNamesTest, CircuitNamesAndExtension) {
  EXPECT_STREQ(GetCircuitName(), "/home/u/work/pump");
  EXPECT_STREQ(GetCircuitNameNoPath(), "pump");
  KivSetFileNames("", "dir/sub/pump", nullptr);
  EXPECT_STREQ(GetCircuitName(), "dir/sub/pump");
  EXPECT_STREQ(GetCircuitNameNoPath(), "pump");
}

TEST_F(FileNamesTest, InputExtensionWithReload) {
  EXPECT_EQ(str(Text(GetInputFilenameExtensionWithReloadIfNeeded())), ".run3");
  KivSetReloadPending(1);
  EXPECT_EQ(str(Text(GetInputFilenameExtensionWithReloadIfNeeded())), ".run3.rld");
  KivSetFileNames("", "pump", "");
  EXPECT_EQ(str(Text(GetInputFilenameExtensionWithReloadIfNeeded())), ".rld");
  KivSetReloadPending(0);
  EXPECT_EQ(str(Text(GetInputFilenameExtensionWithReloadIfNeeded())), "");
}

TEST_F(FileNamesTest, EnvironmentVariablesInBothForms) {
  char *out = reinterpret_cast<char *>(1);
  for (auto [in, want] : {std::pair{"$KIV_TEST_ROOT/libhydr/data", "/opt/kivroot/libhydr/data"},
                          {"%KIV_TEST_ROOT%/units", "/opt/kivroot/units"},
                          {"${KIV_TEST_ROOT}\\x", "/opt/kivroot\\x"},
                          {"$KIV_TEST_ROOT", "/opt/kivroot"}}) {
    CheckEnvVar(in, &out);
    EXPECT_EQ(str(Text(out)), want);
  }
  out = reinterpret_cast<char *>(1);
  CheckEnvVar("plain/name", &out);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(takeErr(), "");
  CheckEnvVar("$KIV_TEST_UNSET_VAR/f.txt", &out);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(takeErr(),
            "Cannot interpret path of file $KIV_TEST_UNSET_VAR/f.txt. KIV_TEST_UNSET_VAR is not a known "
            "environment variable.\n");
}

TEST_F(FileNamesTest, CircuitPlaceholders) {
  char *r = nullptr;
  EXPECT_EQ(CheckCircuitName("${full_circuit_name}.gp", &r), 1);
  EXPECT_EQ(str(Text(r)), "/home/u/work/pump.gp");
  EXPECT_EQ(CheckCircuitName("tables/${circuit_name}_${circuit_name}.txt", &r), 1);
  EXPECT_EQ(str(Text(r)), "tables/pump_pump.txt");
  r = reinterpret_cast<char *>(1);
  EXPECT_EQ(CheckCircuitName("x/${full_circuit_name}", &r), 0);  // only at the start
  EXPECT_EQ(r, nullptr);
}

TEST_F(FileNamesTest, ReplaceEverythingInAPath) {
  EXPECT_EQ(str(Text(kivReplaceEnvVariablesInFilepath("$KIV_TEST_ROOT/${circuit_name}.data"))),
            "/opt/kivroot/pump.data");
  EXPECT_EQ(str(Text(kivReplaceEnvVariablesInFilepath("plain.txt"))), "plain.txt");
  EXPECT_EQ(str(Text(kivReplaceEnvVariablesInFilepath("$KIV_TEST_UNSET_VAR/a"))), "$KIV_TEST_UNSET_VAR/a");
  takeErr();
  EXPECT_EQ(kivReplaceEnvVariablesInFilepath(nullptr), nullptr);
}

TEST(Strings, InsertBrackets) {
  EXPECT_EQ(str(Text(InsertBrackets("a+b*c", 2, 5))), "a+(b*c)");
  EXPECT_EQ(str(Text(InsertBrackets("abc", 0, 0))), "()abc");
  EXPECT_EQ(InsertBrackets("abc", 2, 1), nullptr);
  EXPECT_EQ(InsertBrackets("abc", -1, 2), nullptr);
  EXPECT_EQ(InsertBrackets("abc", 1, 4), nullptr);
}

TEST(Strings, RemoveFirstField) {
  char a[] = "  first  second third";
  RemoveFirstField(a);
  EXPECT_STREQ(a, "second third");
  char b[] = "alone";
  RemoveFirstField(b);
  EXPECT_STREQ(b, "");
}

TEST_F(SystemTest, ReplaceCaseWordSearchesTheWholeText) {
  char *t = nullptr;
  std::string s(3000, 'a');
  s += "Circuit";
  CopyString(&t, s.c_str());
  EXPECT_EQ(ReplaceCaseWordInString(&t, "CIRCUIT", "x"), 1);
  EXPECT_EQ(std::string(t), std::string(3000, 'a') + "x");
  EXPECT_EQ(ReplaceCaseWordInString(&t, "zz", "y"), 0);
  std::free(t);
}

TEST(Strings, PathPiecesNeverOverflow) {
  char buf[8];
  EXPECT_STREQ(StripPathName("/a/b/file.txt", buf, sizeof buf), "file.tx");
  EXPECT_STREQ(StripPathName("name", buf, sizeof buf), "name");
  EXPECT_STREQ(GetDirPath("/a/b/file.txt", buf, sizeof buf), "/a/b");
  EXPECT_STREQ(GetDirPath("file.txt", buf, sizeof buf), ".");
  EXPECT_STREQ(GetDirPath("/verylongdirectory/x", buf, sizeof buf), "/verylo");
}

TEST_F(SystemTest, IndexCopyAndBadNumbers) {
  char a[] = "one", b[] = "two";
  char *list[] = {a, b};
  EXPECT_EQ(GetStringIndexInCharArray("two", list, 2), 1);
  EXPECT_EQ(GetStringIndexInCharArray("Two", list, 2), -1);
  EXPECT_EQ(GetStringIndexInCharArray("", list, 2), -1);
  EXPECT_EQ(GetStringIndexInCharArray("one", list, 0), -1);

  char *d = nullptr;
  EXPECT_EQ(CopyString(&d, "abc"), 1);
  EXPECT_STREQ(d, "abc");
  std::free(d);
  EXPECT_EQ(CopyString(&d, nullptr), 1);
  EXPECT_EQ(d, nullptr);
  EXPECT_EQ(CopyString(nullptr, "abc"), 0);
  EXPECT_EQ(takeErr(), "CopyString error : destination string is NULL.\n");

  const double v[] = {1.0, 2.0, 1.0 / 0.0 * 0.0, 1e308 * 10};
  EXPECT_EQ(ContainsBadNum(2, v), 0);
  EXPECT_EQ(ContainsBadNum(4, v), 3);
  // Longer arrays: the first bad value, inside the blocks of four or after.
  double w[11] = {0.5, -1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  EXPECT_EQ(ContainsBadNum(11, w), 0);
  w[10] = v[2];
  EXPECT_EQ(ContainsBadNum(11, w), 11);
  w[5] = v[3];
  EXPECT_EQ(ContainsBadNum(11, w), 6);
}

}  // namespace
