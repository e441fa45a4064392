#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "runtime/numbers.hpp"
#include "runtime/textfile.hpp"
#include "support/kiv_test.hpp"
#include "support/pipe_feed.hpp"

namespace {

using kiv::test::SystemTest;

// A read-only stream over a string.
struct Stream {
  explicit Stream(const std::string &s) : text(s) {
    fp = fmemopen(text.data(), text.size(), "r");
  }
  ~Stream() {
    if (fp) std::fclose(fp);
  }
  std::string text;
  FILE *fp = nullptr;
};

std::vector<std::string> lines(const std::string &text, int skip) {
  Stream s(text);
  std::vector<std::string> out;
  char *buf = nullptr;
  int cap = 0;
  while (const char *l = kivfgetsclean(s.fp, &buf, &cap, skip)) out.emplace_back(l);
  std::free(buf);
  return out;
}

TEST(LineReader, CleansLineEndsAndLeadingBlanks) {
  using V = std::vector<std::string>;
  EXPECT_EQ(lines("a\r\n  b c \r\n\tlast", 1), (V{"a", "b c ", "last"}));
  EXPECT_EQ(lines("a\n\n   \n\r\nb\n", 1), (V{"a", "b"}));
  EXPECT_EQ(lines("a\n\n   \n\r\nb\n", 0), (V{"a", "", "", "b"}));  // blanks-only lines still skipped
  EXPECT_EQ(lines("", 0), V{});
  EXPECT_EQ(lines("\n\n", 1), V{});
}

TEST(LineReader, GrowsForVeryLongLines) {
  std::string longLine(100000, 'z');
  auto got = lines("x\n" + longLine + "\ny", 1);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[1], longLine);
  EXPECT_EQ(got[2], "y");
}

TEST_F(SystemTest, GetValuesAcrossLines) {
  Stream s("1.5 -2e3\n\n  3\n 4 -5 rest");
  double v[3];
  int n[2];
  ASSERT_EQ(GetValues(s.fp, v, 3, n, 2, nullptr), 1);
  EXPECT_EQ(std::vector<double>(v, v + 3), (std::vector<double>{1.5, -2000.0, 3.0}));
  EXPECT_EQ(std::pair(n[0], n[1]), std::pair(4, -5));
  EXPECT_EQ(GetValues(s.fp, v, 1, n, 0, nullptr), 0);
}

TEST_F(SystemTest, GetValuesShowsItsMessageOnFailure) {
  std::string shown;
  KivInstallDisplayHook(sys_, [](const char *m, void *u) { *static_cast<std::string *>(u) = m; }, &shown);
  Stream s("1 2 x");
  double v[3];
  EXPECT_EQ(GetValues(s.fp, v, 3, nullptr, 0, "Bad settings file"), 0);
  EXPECT_EQ(shown, "Bad settings file");
}

TEST(Comments, IgnoreCommentStopsAtTheFirstOtherLine) {
  Stream s("# one\n#two\n42 # not skipped\n");
  IgnoreComment(s.fp);
  int v = 0;
  ASSERT_TRUE(kiv::scanInt(s.fp, &v));
  EXPECT_EQ(v, 42);
}

TEST_F(SystemTest, AsciiValuesWithLimits) {
  Stream s("12 trailing words\n0.25\n99\n");
  EXPECT_EQ(GetAsciiInteger(s.fp, 0, 20, "f.sim"), 12);
  EXPECT_EQ(GetAsciiReal(s.fp, 0.0, 1.0, "f.sim"), 0.25);
  EXPECT_EQ(guarded([&] { return GetAsciiInteger(s.fp, 0, 20, "f.sim"); }), -2);
  EXPECT_EQ(takeErr(), "Invalid data in file f.sim.\n");
  Stream e("");
  EXPECT_EQ(guarded([&] { return static_cast<int>(GetAsciiReal(e.fp, 0.0, 1.0, "g.sim")); }), -2);
  EXPECT_EQ(takeErr(), "Invalid data in file g.sim.\n");
}

TEST(Numbers, ParseDoubleForms) {
  const char *end;
  EXPECT_EQ(kiv::parseDouble("  +1.5e2x", &end), 150.0);
  EXPECT_STREQ(end, "x");
  EXPECT_EQ(kiv::parseDouble(".5", &end), 0.5);
  EXPECT_EQ(kiv::parseDouble("3.", &end), 3.0);
  EXPECT_EQ(kiv::parseDouble("-0", &end), 0.0);
  EXPECT_TRUE(std::signbit(kiv::parseDouble("-0", &end)));
  EXPECT_TRUE(std::isinf(kiv::parseDouble("-inf", &end)));
  EXPECT_TRUE(std::isnan(kiv::parseDouble("NaN", &end)));
  const char *bad = "--1";
  kiv::parseDouble(bad, &end);
  EXPECT_EQ(end, bad);
  bool over = false;
  EXPECT_EQ(kiv::parseDouble("1e1234", &end, &over), HUGE_VAL);
  EXPECT_TRUE(over);
  EXPECT_EQ(kiv::parseDouble("1e-1234", &end, &over), 0.0);
  EXPECT_FALSE(over);
}

TEST(Numbers, ParseDoubleStaysWithinTheEndItIsGiven) {
  // An unterminated heap copy: any read past its end is caught by ASan.
  std::unique_ptr<char[]> raw(new char[6]);
  std::memcpy(raw.get(), "12.5e3", 6);
  const char *end = nullptr;
  for (auto [len, want] : {std::pair{6, 12500.0}, {4, 12.5}, {2, 12.0}}) {
    EXPECT_EQ(kiv::parseDouble(raw.get(), raw.get() + len, &end), want);
    EXPECT_EQ(end, raw.get() + len);
  }
}

TEST(Numbers, ParsingIgnoresTheProcessLocale) {
  // Whatever locale the host sets, "1.5" is one and a half.
  const char *set = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  EXPECT_EQ(kiv::parseDouble("1.5", nullptr), 1.5);
  Stream s("2.25");
  double v = 0;
  ASSERT_TRUE(kiv::scanDouble(s.fp, &v));
  EXPECT_EQ(v, 2.25);
  if (set) std::setlocale(LC_NUMERIC, "C");
}

TEST(Numbers, BeyondTheRangeOfADoubleIsToldFromBelowIt) {
  const std::string zeros(400, '0');
  for (auto [text, want, over] : {std::tuple{"0." + zeros + "1", 0.0, false}, {"1" + zeros, HUGE_VAL, true},
                                  {"-1" + zeros + "e-50", -HUGE_VAL, true}, {"0.01e-322", 0.0, false},
                                  {"4.9e-324", 4.9e-324, false}}) {
    bool got = !over;
    EXPECT_EQ(kiv::parseDouble(text.c_str(), nullptr, &got), want) << text;
    EXPECT_EQ(got, over) << text;
  }
  Stream s("1e400 2\n");
  double v = 0;
  std::string text;
  EXPECT_FALSE(kiv::scanDouble(s.fp, &v, &text));
  EXPECT_EQ(text, "1e400");
  EXPECT_TRUE(kiv::scanDouble(s.fp, &v, &text) && v == 2 && text.empty());
  Stream t("1 -1e400");
  double w[2];
  EXPECT_EQ(GetValues(t.fp, w, 2, nullptr, 0, nullptr), 0);
}

// What follows the mark, and whether there was one, on a file stream and
// on a pipe (which cannot seek back).
TEST(TextFiles, OnlyAWholeByteOrderMarkIsPassedOver) {
  for (auto [text, mark] : {std::pair{"\xEF\xBB\xBF" "ab", true}, {"\xEF\xBB\xBF", true}, {"\xEF\xBBx", false},
                            {"\xEF", false}, {"ab", false}, {"", false}, {"\xBB\xBF", false}})
    for (bool piped : {false, true}) {
      Stream s(text);
      int fds[2] = {-1, -1};
      if (piped && (pipe(fds) != 0 || write(fds[1], text, std::strlen(text)) < 0 || close(fds[1]) != 0)) FAIL();
      FILE *fp = piped ? fdopen(fds[0], "r") : s.fp;
      EXPECT_EQ(kiv::skipByteOrderMark(fp), mark) << text << piped;
      std::string rest;
      for (int c; (c = std::getc(fp)) != EOF;) rest.push_back(static_cast<char>(c));
      EXPECT_EQ(rest, std::string(text).substr(mark ? 3 : 0)) << text << piped;
      if (piped) std::fclose(fp);
    }
}

TEST(Numbers, ParseIntRefusesWhatAnIntCannotHold) {
  int v = 7;
  const char *end = nullptr;
  EXPECT_TRUE(kiv::parseInt(" -42 rest", &end, &v));
  EXPECT_EQ(v, -42);
  EXPECT_STREQ(end, " rest");
  EXPECT_FALSE(kiv::parseInt("2147483648", &end, &v));
  EXPECT_FALSE(kiv::parseInt("x1", &end, &v));
  EXPECT_EQ(v, -42);  // untouched on refusal
  EXPECT_TRUE(kiv::parseInt("-2147483648", nullptr, &v));
  EXPECT_EQ(v, -2147483647 - 1);
}

TEST(Numbers, ClampToInt) {
  for (auto [x, want] : {std::pair{2.9, 2}, {-2.9, -2}, {1e20, 2147483647}, {-1e20, -2147483647 - 1}, {NAN, 0}})
    EXPECT_EQ(kiv::clampToInt(x), want) << x;
}

// What is left to read on the stream; closes it.
std::string drain(FILE *fp) {
  std::string s;
  for (int c; fp && (c = std::getc(fp)) != EOF;) s.push_back(static_cast<char>(c));
  if (fp) std::fclose(fp);
  return s;
}

// Each opening of a pipe reads what its writer writes then: the same pipe
// written twice in a run, a pipe made anew under the name of a removed one
// (its inode is soon reused), and a query with the reader it hands the text
// to, after an earlier read.  A reader that waits for a writer that never
// comes is let go by the feed and counted.
TEST_F(SystemTest, EveryOpeningOfAPipeReadsItsWriterAfresh) {
  const std::string path = kiv::test::tempPath("pipe");
  auto written = [](kiv::test::PipeFeed &feed) {
    const auto o = feed.finish();
    return o.made && o.written && o.waits == 0;
  };
  {
    kiv::test::PipeFeed feed(path, "x 1\n");
    EXPECT_EQ(drain(kiv::openText(path.c_str())), "x 1\n");
    EXPECT_TRUE(written(feed));
  }
  {
    kiv::test::PipeFeed feed(path, "y 2\n");
    EXPECT_EQ(drain(kiv::openText(path.c_str())), "y 2\n");
    EXPECT_TRUE(written(feed));
  }
  std::remove(path.c_str());
  {
    kiv::test::PipeFeed feed(path, "z 3\n");
    EXPECT_EQ(drain(kiv::openText(path.c_str())), "z 3\n");
    EXPECT_TRUE(written(feed));
  }
  {
    kiv::test::PipeFeed feed(path, "w 4\n");
    EXPECT_EQ(drain(kiv::openText(path.c_str(), nullptr, kiv::TextUse::kQuery)), "w 4\n");
    EXPECT_EQ(drain(kiv::openText(path.c_str())), "w 4\n");
    EXPECT_TRUE(written(feed));
  }
  EXPECT_EQ(takeErr(), "");
  std::remove(path.c_str());
}

// What a query keeps goes to the next opening alone: after another file was
// opened, or once taken, the pipe is read from its writer again.
TEST_F(SystemTest, AQueryHandsItsTextToTheNextOpeningAlone) {
  const std::string path = kiv::test::tempPath("pipe"), other = kiv::test::tempPath("other");
  std::unique_ptr<FILE, int (*)(FILE *)>(std::fopen(other.c_str(), "w"), &std::fclose);
  {
    kiv::test::PipeFeed feed(path, "a\n");
    EXPECT_EQ(drain(kiv::openText(path.c_str(), nullptr, kiv::TextUse::kQuery)), "a\n");
    feed.finish();
  }
  EXPECT_EQ(drain(kiv::openText(other.c_str())), "");
  for (const char *text : {"b\n", "c\n"}) {
    kiv::test::PipeFeed feed(path, text);
    EXPECT_EQ(drain(kiv::openText(path.c_str())), text);
    EXPECT_TRUE(feed.finish().written);
  }
  {
    // Within a scope of kept texts a reader may open a pipe again, and
    // /dev/stdin, other files opened in between; its end drops them.
    kiv::test::PipeFeed feed(path, "d\n");
    kiv::test::StdinFeed in("s\n");
    {
      const kiv::KeepTexts keep;
      for (int again = 0; again < 2; ++again) {
        EXPECT_EQ(drain(kiv::openText(path.c_str())), "d\n");
        EXPECT_EQ(drain(kiv::openText("/dev/stdin")), "s\n");
        EXPECT_EQ(drain(kiv::openText(other.c_str())), "");
      }
    }
    EXPECT_EQ(feed.finish().waits, 0);
    EXPECT_EQ(drain(kiv::openText("/dev/stdin")), "");
  }
  {
    kiv::test::PipeFeed feed(path, "e\n");
    EXPECT_EQ(drain(kiv::openText(path.c_str())), "e\n");
    EXPECT_TRUE(feed.finish().written);
  }
  std::remove(path.c_str());
  std::remove(other.c_str());
}

// What a file holds, read through openText: the text, or "refused" and
// whether the message named the file.
std::string readBack(SystemTest &t, const std::string &path) {
  kiv::TextStatus status = kiv::TextStatus::kRead;
  FILE *fp = kiv::openText(path.c_str(), &status);
  if (fp) return drain(fp);
  const std::string err = t.takeErr();
  EXPECT_EQ(status, kiv::TextStatus::kReadFailed);
  EXPECT_NE(err.find("'" + path + "'"), std::string::npos) << err;
  EXPECT_NE(err.find("zero byte"), std::string::npos) << err;
  return "refused";
}

std::string written(const std::string &path, const std::string &text) {
  std::unique_ptr<FILE, int (*)(FILE *)> fp(std::fopen(path.c_str(), "wb"), &std::fclose);
  std::fwrite(text.data(), 1, text.size(), fp.get());
  return path;
}

// A text holds no zero byte: a file with one is refused at once, however
// long, as are the endless devices; the run goes on.
TEST_F(SystemTest, AZeroByteRefusesTheFile) {
  const std::string path = kiv::test::tempPath("zero");
  EXPECT_EQ(readBack(*this, written(path, std::string("1 2\n3") + '\0' + "4\n")), "refused");
  EXPECT_EQ(readBack(*this, written(path, std::string(1, '\0'))), "refused");
  {
    // Sparse: 1 GB of zero bytes after a line, read no further than needed.
    written(path, "1 2\n");
    ASSERT_EQ(::truncate(path.c_str(), 1L << 30), 0);
    EXPECT_EQ(readBack(*this, path), "refused");
  }
  for (const char *device : {"/dev/zero", "/dev/urandom"}) EXPECT_EQ(readBack(*this, device), "refused");
  {
    kiv::test::PipeFeed feed(path + "p", std::string("1 2\n") + '\0');
    EXPECT_EQ(readBack(*this, path + "p"), "refused");
    feed.finish();
  }
  EXPECT_EQ(readBack(*this, written(path, "1 2\n")), "1 2\n");
  std::remove(path.c_str());
  std::remove((path + "p").c_str());
}

// A CR that no LF follows ends its line as LF does, from a file or a pipe,
// in any mix with LF and CRLF; a CRLF stays as it is, the readers taking it
// for a line end.
TEST_F(SystemTest, ALoneCrEndsALineInAnyMix) {
  const std::string path = kiv::test::tempPath("cr");
  for (auto [text, want] : {std::pair{"a 1\rb 2\r\rc", "a 1\nb 2\n\nc"},
                            {"\xEF\xBB\xBF" "a\rb\r", "a\nb\n"},
                            {"a 1\r\nb\r2\n", "a 1\r\nb\n2\n"},
                            {"a\rb\r\n", "a\nb\r\n"},
                            {"a\r\r\nb\n\r", "a\n\r\nb\n\n"},
                            {"\r", "\n"}}) {
    EXPECT_EQ(readBack(*this, written(path, text)), want);
    {
      kiv::test::PipeFeed feed(path + "p", text);
      EXPECT_EQ(readBack(*this, path + "p"), want);
      feed.finish();
    }
    std::remove((path + "p").c_str());
  }
  // A CR last in the stream's buffer or the scan's chunk, the LF (or not)
  // beyond it.
  for (size_t at : {4095u, 8191u, 65535u}) {
    const std::string x(at, 'x');
    EXPECT_EQ(readBack(*this, written(path, x + "\r\n")), x + "\r\n") << at;
    EXPECT_EQ(readBack(*this, written(path, x + "\ry")), x + "\ny") << at;
  }
  std::remove(path.c_str());
}

// The stream keeps the file's offsets: a reader that goes back reads the
// same lines again, and lines counted at an offset count lone CRs.
TEST_F(SystemTest, ALoneCrStreamSeeksAsTheFile) {
  const std::string path = written(kiv::test::tempPath("seek"), "one\rtwo\r\nthree\rfour");
  FILE *fp = kiv::openText(path.c_str());
  char line[8];
  ASSERT_TRUE(fp && std::fgets(line, sizeof line, fp) && std::ftell(fp) == 4);
  EXPECT_EQ(kiv::lineAt(fp, 9), 3);  // the "t" of "three"
  ASSERT_EQ(std::fseek(fp, -4, SEEK_END), 0);
  EXPECT_STREQ(std::fgets(line, sizeof line, fp), "four");
  ASSERT_EQ(std::fseek(fp, 4, SEEK_SET), 0);
  EXPECT_EQ(drain(fp), "two\r\nthree\nfour");
  std::remove(path.c_str());
}

// A read that fails is said, naming the file, rather than taken for the end
// of a shorter text; a file that does not open is left to the caller.
TEST_F(SystemTest, AFailedReadIsSaidNotTakenForTheEnd) {
  const std::string dir = kiv::test::tempPath("dir");
  ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
  kiv::TextStatus status = kiv::TextStatus::kRead;
  EXPECT_EQ(kiv::openText(dir.c_str(), &status), nullptr);
  EXPECT_EQ(status, kiv::TextStatus::kReadFailed);
  EXPECT_EQ(takeErr().rfind("\nError while reading file '" + dir + "': ", 0), 0u);
  EXPECT_EQ(kiv::openText((dir + "/none").c_str(), &status), nullptr);
  EXPECT_EQ(status, kiv::TextStatus::kNotOpened);
  EXPECT_EQ(takeErr(), "");
  ::rmdir(dir.c_str());
}

}  // namespace
