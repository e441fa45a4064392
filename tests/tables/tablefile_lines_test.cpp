// Line lists, the cache switch and the state-space readers.
#include <string>
#include <vector>

#include "tablefile_support.hpp"

namespace {

using kiv::test::Owned;
using kiv::test::OwnedLines;
using kiv::test::TableTest;
using S = std::vector<std::string>;
using V = std::vector<double>;

class Lines : public TableTest {
 public:
  OwnedLines read(const std::string &name, int skip, int verbose = 1) {
    OwnedLines l;
    l.p = rtableml_quiet(name.c_str(), &l.n, &skip, verbose);
    return l;
  }
  OwnedLines cached(const std::string &name) {
    OwnedLines l;
    int skip = 0;
    l.p = rtableml_from_memory(name.c_str(), &l.n, &skip, KIV_TABLE_BY_READER);
    return l;
  }
};

// The cache keeps every line; each read filters what it asked for.
TEST_F(Lines, CleanedLinesAndCachedComments) {
  const auto f = write("l.txt", "  first line \r\n\n\t# comment\r\n\n   \nlast");
  EXPECT_EQ(read(f, 1).vec(), (S{"first line ", "last"}));
  write("l.txt", "changed\n");
  EXPECT_EQ(read(f, 0).vec(), (S{"first line ", "# comment", "last"}));
}

TEST_F(Lines, EmptyAndMissingFiles) {
  const auto f = write("only.txt", "# a\n#b\n");
  for (int k = 0; k < 2; ++k) {  // from the file even when quiet, then from the cache
    OwnedLines none = read(f, 1, k);
    EXPECT_EQ(none.p, nullptr);
    EXPECT_EQ(none.n, 0);
    EXPECT_EQ(takeErr(), "\nThe file '" + f + "' is empty.\n");
  }
  EXPECT_EQ(read("missing.txt", 0).n, -1);
  EXPECT_EQ(takeErr(), "\nImpossible to open file 'missing.txt'.\n");
  EXPECT_EQ(read("missing.txt", 0, 0).n, -1);
  EXPECT_EQ(takeErr(), "");
  const char *mine[] = {"#h", "v"};
  rtable_multi_line_add("missing.txt", mine, 2);
  EXPECT_EQ(read("missing.txt", 1).vec(), S{"v"});
}

struct StateSpace {
  int n = 0, m = 0, p = 0;
  Owned<double> A, B, C, D, x0;
  int jac(const std::string &f) { return kivreadjac_(f.c_str(), &n, &m, &p, &A, &B, &C, &D, &x0); }
  int ssp(const std::string &f) { return kivreadssp_(f.c_str(), &n, &m, &p, &A, &B, &C, &D, &x0); }
};

TEST_F(Lines, StateSpaceFromJacobianFile) {
  // 2 states, 1 input, 1 output: A 4, B 2, C 2, D 1, then x0 one per line.
  const std::string body = "2 1 1\n1 2\n3 4\n5 6\n7 8\n9\n";
  StateSpace a, b;
  ASSERT_EQ(a.jac(write("j.jac", body + "0\n1\n")), 1);
  EXPECT_EQ(std::vector<int>({a.n, a.m, a.p}), std::vector<int>({2, 1, 1}));
  EXPECT_EQ(a.B.vec(2), (V{5, 6}));
  EXPECT_EQ(a.D.vec(1), (V{9}));
  EXPECT_EQ(a.x0.vec(2), (V{0, 1}));
  ASSERT_EQ(b.jac(write("k.jac", body + "0\n1\n2\n")), 1);
  EXPECT_EQ(b.x0.p, nullptr);  // three lines for two states
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Lines, StateSpaceModelFile) {
  StateSpace a, b, s;
  ASSERT_EQ(a.ssp(write("m.ssp", "STATSP model\n2 number of states\n1 number of outputs\n1 number of inputs\n"
                                 "1\n2\n3\n4\n5\n6\n7 trailing\n8\n9\n0.5\n-0.5\n")),
            1);
  EXPECT_EQ(std::vector<int>({a.n, a.m, a.p}), std::vector<int>({2, 1, 1}));
  EXPECT_EQ(a.C.vec(2), (V{7, 8}));
  EXPECT_EQ(a.x0.vec(2), (V{0.5, -0.5}));
  // Sizes by position, and an initial state cut short.
  ASSERT_EQ(b.ssp(write("p.ssp", "STATSP\n1\n1\n1\n1\n2\n3\n4\n")), 1);
  EXPECT_EQ(b.D.vec(1), (V{4}));
  EXPECT_EQ(b.x0.p, nullptr);
  refusals([&](const std::string &f) { return s.ssp(f); },
           {{"TRANSF 1\n", 0, "\nFile '%s' contains a transfer function. State space model required.\n"},
            {"MODEL\n1\n1\n1\n", 0, "\nFile '%s' contains some nul dimensions. This is not authorized.\n"},
            {"STATSP\n1\n1\n1\n1\n2\n", 0, ""},
            {"STATSP\n1\n1\n1\n1\nx\n3\n4\n", 0, ""}});
  EXPECT_EQ(s.A.p, nullptr);
  EXPECT_EQ(s.n, 0);
}

TEST_F(Lines, StateSpaceNumbersBeyondADoubleAreRefusedNamingTheLine) {
  StateSpace s;
  for (auto [text, line] : {std::pair{"2 1 1\n1 2\n3 -1e400\n5 6\n7 8\n9\n", "Line 3 "},
                            {"1 1 1\n1\n2\n3\n4\n\n1e999\n", "Line 7 "},  // the initial state
                            {"STATSP\n1\n1\n1\n1\n2\n1e400 x\n4\n", "Line 7 "}}) {
    const std::string f = write("big.txt", text);
    EXPECT_EQ(text[0] == 'S' ? s.ssp(f) : s.jac(f), 0) << text;
    EXPECT_NE(takeErr().find(line + std::string("of file '") + f + "'"), std::string::npos) << text;
  }
}

}  // namespace
