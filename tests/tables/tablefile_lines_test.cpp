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
};

TEST_F(Lines, CacheSwitch) {
  int zero = 0, one = 1, two = 2, minus = -1;
  EXPECT_EQ(rtableStoreToCache_(&zero), 0);
  const auto f = write("a.txt", "x\n");
  { OwnedLines a = read(f, 0); }
  EXPECT_EQ(rtableml_from_memory(f.c_str(), &zero, &zero, KIV_TABLE_BY_READER), nullptr);
  EXPECT_EQ(zero, -1);  // nothing was cached
  EXPECT_EQ(rtableStoreToCache_(&two), 2);
  EXPECT_EQ(rtableStoreToCache_(&minus), -1);
  { OwnedLines a = read(f, 0); }
  int n = 0, skip = 0;
  EXPECT_EQ(rtableml_from_memory(f.c_str(), &n, &skip, KIV_TABLE_BY_READER), nullptr);  // still off
  EXPECT_EQ(rtableStoreToCache_(&one), 1);
  { OwnedLines a = read(f, 0); }
  OwnedLines c;
  c.p = rtableml_from_memory(f.c_str(), &c.n, &skip, KIV_TABLE_BY_READER);
  EXPECT_EQ(c.vec(), S{"x"});
}

TEST_F(Lines, CleanedLines) {
  const auto f = write("l.txt", "  first line \r\n\n\t# comment\r\n\n   \nlast");
  OwnedLines all = read(f, 0);
  EXPECT_EQ(all.vec(), (S{"first line ", "# comment", "last"}));
  OwnedLines some = read(f, 1);
  EXPECT_EQ(some.vec(), (S{"first line ", "last"}));
}

TEST_F(Lines, CachedCommentsComeBackToWhoAsksForThem) {
  const auto f = write("c.txt", "#Length [1,0,0,0,0,0,0]\nm\n");
  OwnedLines first = read(f, 1);
  EXPECT_EQ(first.vec(), S{"m"});
  write("c.txt", "changed\n");
  OwnedLines second = read(f, 0);
  EXPECT_EQ(second.vec(), (S{"#Length [1,0,0,0,0,0,0]", "m"}));
}

TEST_F(Lines, EmptyAndMissingFiles) {
  const auto f = write("only.txt", "# a\n#b\n");
  OwnedLines none = read(f, 1, 0);
  EXPECT_EQ(none.p, nullptr);
  EXPECT_EQ(none.n, 0);
  EXPECT_EQ(takeErr(), "\nThe file '" + f + "' is empty.\n");  // even when quiet
  OwnedLines again = read(f, 1);  // from the cache: the same answer
  EXPECT_EQ(again.n, 0);
  EXPECT_EQ(takeErr(), "\nThe file '" + f + "' is empty.\n");
  OwnedLines comments = read(f, 0);
  EXPECT_EQ(comments.vec(), (S{"# a", "#b"}));

  const auto e = write("empty.txt", "\n\n");
  OwnedLines empty = read(e, 0);
  EXPECT_EQ(empty.n, 0);
  EXPECT_EQ(takeErr(), "\nThe file '" + e + "' is empty.\n");

  OwnedLines missing = read("missing.txt", 0);
  EXPECT_EQ(missing.n, -1);
  EXPECT_EQ(takeErr(), "\nImpossible to open file 'missing.txt'.\n");
  OwnedLines quiet = read("missing.txt", 0, 0);
  EXPECT_EQ(quiet.n, -1);
  EXPECT_EQ(takeErr(), "");

  const char *mine[] = {"#h", "v"};
  rtable_multi_line_add("missing.txt", mine, 2);
  OwnedLines added = read("missing.txt", 1);
  EXPECT_EQ(added.vec(), S{"v"});
  OwnedLines viaPublic;
  int skip = 0;
  viaPublic.p = rtableml_("missing.txt", &viaPublic.n, &skip);
  EXPECT_EQ(viaPublic.vec(), (S{"#h", "v"}));
}

TEST_F(Lines, StateSpaceFromJacobianFile) {
  // 2 states, 1 input, 1 output: A 4, B 2, C 2, D 1, then x0 one per line.
  const std::string body = "2 1 1\n1 2\n3 4\n5 6\n7 8\n9\n";
  int n = 0, m = 0, p = 0;
  Owned<double> A, B, C, D, x0;
  ASSERT_EQ(kivreadjac_(write("j.jac", body + "0\n1\n").c_str(), &n, &m, &p, &A, &B, &C, &D, &x0), 1);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(m, 1);
  EXPECT_EQ(p, 1);
  EXPECT_EQ(A.vec(4), (V{1, 2, 3, 4}));
  EXPECT_EQ(B.vec(2), (V{5, 6}));
  EXPECT_EQ(C.vec(2), (V{7, 8}));
  EXPECT_EQ(D.vec(1), (V{9}));
  EXPECT_EQ(x0.vec(2), (V{0, 1}));

  Owned<double> A2, B2, C2, D2, x2;
  ASSERT_EQ(kivreadjac_(write("k.jac", body + "0\n1\n2\n").c_str(), &n, &m, &p, &A2, &B2, &C2, &D2, &x2), 1);
  EXPECT_EQ(x2.p, nullptr);  // three lines for two states
  Owned<double> A3, B3, C3, D3, x3;
  ASSERT_EQ(kivreadjac_(write("l.jac", body).c_str(), &n, &m, &p, &A3, &B3, &C3, &D3, &x3), 1);
  EXPECT_EQ(x3.p, nullptr);
  EXPECT_EQ(A3.vec(4), (V{1, 2, 3, 4}));
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Lines, JacobianFileRefusals) {
  int n = 0, m = 0, p = 0;
  Owned<double> A, B, C, D, x0;
  EXPECT_EQ(kivreadjac_("no.jac", &n, &m, &p, &A, &B, &C, &D, &x0), 0);
  EXPECT_EQ(takeErr(), "\nUnable to open 'no.jac'\n");
  const auto empty = write("e.jac", "\n\n");
  EXPECT_EQ(kivreadjac_(empty.c_str(), &n, &m, &p, &A, &B, &C, &D, &x0), 0);
  EXPECT_EQ(takeErr(), "\nUnable to read '" + empty + "'\n");
  EXPECT_EQ(kivreadjac_(write("t.jac", "2 1\n").c_str(), &n, &m, &p, &A, &B, &C, &D, &x0), 0);
  EXPECT_EQ(takeErr(), "");
  const auto neg = write("n.jac", "2 -1 1\n");
  EXPECT_EQ(kivreadjac_(neg.c_str(), &n, &m, &p, &A, &B, &C, &D, &x0), 0);
  EXPECT_EQ(takeErr(), "\nFile '" + neg + "' contains some negative or nul dimensions. This is not authorized.\n");
  const auto big = write("b.jac", "100000 1 1\n");
  EXPECT_EQ(kivreadjac_(big.c_str(), &n, &m, &p, &A, &B, &C, &D, &x0), 0);
  EXPECT_EQ(takeErr(), "The total number of points (more than 2147483647) in '" + big +
                           "' will reach machine limits.\n");
  const auto dae = write("d.jac", "1 1 1\n1 2 3 4\nnilpotency 2\n");
  EXPECT_EQ(kivreadjac_(dae.c_str(), &n, &m, &p, &A, &B, &C, &D, &x0), 0);
  EXPECT_EQ(takeErr(), "\nFile '" + dae + "' seems to come from a DAE system. This is not authorized.\n");
  EXPECT_EQ(A.p, nullptr);
  EXPECT_EQ(n, 0);

  // Missing values go through the host's display hook, or end the run.
  std::string shown;
  KivInstallDisplayHook(sys_, [](const char *msg, void *u) { *static_cast<std::string *>(u) += msg; }, &shown);
  const auto shortB = write("s.jac", "1 2 1\n1\n2\n");
  EXPECT_EQ(kivreadjac_(shortB.c_str(), &n, &m, &p, &A, &B, &C, &D, &x0), 0);
  EXPECT_EQ(shown, "Unable to read B matrix.");
  KivInstallDisplayHook(sys_, nullptr, nullptr);
  EXPECT_EQ(guarded([&] { return kivreadjac_(shortB.c_str(), &n, &m, &p, &A, &B, &C, &D, &x0); }), -2);
  EXPECT_EQ(exitCode(), 1);
  EXPECT_EQ(takeErr(), "Unable to read B matrix.\n");
}

TEST_F(Lines, StateSpaceModelFile) {
  const auto f = write("m.ssp",
                       "STATSP model\n2 number of states\n1 number of outputs\n1 number of inputs\n"
                       "1\n2\n3\n4\n5\n6\n7 trailing\n8\n9\n0.5\n-0.5\n");
  int n = 0, m = 0, p = 0;
  Owned<double> A, B, C, D, x0;
  ASSERT_EQ(kivreadssp_(f.c_str(), &n, &m, &p, &A, &B, &C, &D, &x0), 1);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(m, 1);
  EXPECT_EQ(p, 1);
  EXPECT_EQ(A.vec(4), (V{1, 2, 3, 4}));
  EXPECT_EQ(C.vec(2), (V{7, 8}));
  EXPECT_EQ(D.vec(1), (V{9}));
  EXPECT_EQ(x0.vec(2), (V{0.5, -0.5}));

  // Sizes by position, and an initial state cut short.
  const auto g = write("p.ssp", "STATSP\n1\n1\n1\n1\n2\n3\n4\n");
  Owned<double> A2, B2, C2, D2, x2;
  ASSERT_EQ(kivreadssp_(g.c_str(), &n, &m, &p, &A2, &B2, &C2, &D2, &x2), 1);
  EXPECT_EQ(D2.vec(1), (V{4}));
  EXPECT_EQ(x2.p, nullptr);
}

TEST_F(Lines, StateSpaceModelRefusals) {
  int n = 0, m = 0, p = 0;
  Owned<double> A, B, C, D, x0;
  const auto tf = write("t.ssp", "TRANSF 1\n");
  EXPECT_EQ(kivreadssp_(tf.c_str(), &n, &m, &p, &A, &B, &C, &D, &x0), 0);
  EXPECT_EQ(takeErr(), "\nFile '" + tf + "' contains a transfer function. State space model required.\n");
  const auto other = write("o.ssp", "MODEL\n1\n1\n1\n");
  EXPECT_EQ(kivreadssp_(other.c_str(), &n, &m, &p, &A, &B, &C, &D, &x0), 0);
  EXPECT_EQ(takeErr(), "\nFile '" + other + "' contains some nul dimensions. This is not authorized.\n");
  const auto neg = write("n.ssp", "STATSP\n-2\n1\n1\n");
  EXPECT_EQ(kivreadssp_(neg.c_str(), &n, &m, &p, &A, &B, &C, &D, &x0), 0);
  EXPECT_EQ(takeErr(), "\nFile '" + neg + "' contains some nul dimensions. This is not authorized.\n");
  EXPECT_EQ(kivreadssp_(write("c.ssp", "STATSP\n1\n1\n").c_str(), &n, &m, &p, &A, &B, &C, &D, &x0), 0);
  EXPECT_EQ(kivreadssp_(write("v.ssp", "STATSP\n1\n1\n1\n1\n2\n").c_str(), &n, &m, &p, &A, &B, &C, &D, &x0), 0);
  EXPECT_EQ(kivreadssp_(write("w.ssp", "STATSP\n1\n1\n1\n1\nx\n3\n4\n").c_str(), &n, &m, &p, &A, &B, &C, &D, &x0), 0);
  EXPECT_EQ(takeErr(), "");
  EXPECT_EQ(A.p, nullptr);
  EXPECT_EQ(n, 0);
}

}  // namespace
