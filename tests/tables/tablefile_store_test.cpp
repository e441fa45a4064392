// The in-memory table store: round trips, origins, names, tokens and the
// end of the run.
#include <string>
#include <vector>

#include "tablefile_support.hpp"

namespace {

using kiv::test::Owned;
using kiv::test::OwnedLines;
using kiv::test::TableTest;
using V = std::vector<double>;
using I = std::vector<int>;

class Store : public TableTest {};

TEST_F(Store, RoundTripsCopyEverything) {
  double v[] = {1, 2, 3};
  ASSERT_EQ(rtable0d_add("zero", 3, v), 1);
  v[0] = 99;  // the store keeps its own copy
  int n = 0;
  Owned<double> got;
  EXPECT_EQ(rtable0d_from_memory("zero", &n, &got, KIV_TABLE_BY_CALLER), 3);
  EXPECT_EQ(got.vec(3), (V{1, 2, 3}));
  EXPECT_EQ(rtable0d_exist("zero"), 1);
  Owned<double> none;
  EXPECT_EQ(rtable0d_from_memory("zero", &n, &none, KIV_TABLE_BY_READER), -1);
  EXPECT_EQ(n, -1);

  const int sizes[] = {2, 3};
  const double axes[] = {0, 1, 10, 20, 30}, vals[] = {1, 2, 3, 4, 5, 6};
  const char *units[] = {"bar", "mm", "degC"};
  ASSERT_EQ(rtablend_add("nd", 2, sizes, axes, vals, units), 1);
  int dim = 0;
  Owned<int> s;
  Owned<double> a, w;
  TableHeader *h = _prt1();
  EXPECT_EQ(rtablend_from_memory("nd", &dim, &s, &a, &w, h, KIV_TABLE_BY_CALLER), 6);
  EXPECT_EQ(dim, 2);
  EXPECT_EQ(s.vec(2), (I{2, 3}));
  EXPECT_EQ(a.vec(5), (V{0, 1, 10, 20, 30}));
  EXPECT_EQ(w.vec(6), (V{1, 2, 3, 4, 5, 6}));
  ASSERT_EQ(h->nunits, 3);
  EXPECT_STREQ(h->units[2], "degC");
  EXPECT_EQ(h->verbose, 1);
  _prt2(h);

  int nx = 0, ny = 0;
  Owned<double> x2, y2, z2;
  EXPECT_EQ(rtable2d_from_memory("nd", &nx, &ny, &x2, &y2, &z2, KIV_TABLE_BY_CALLER), 6);
  EXPECT_EQ(x2.vec(2), (V{0, 1}));  // split into its axes
  EXPECT_EQ(y2.vec(3), (V{10, 20, 30}));

  const double x[] = {1, 2}, y[] = {3, 4}, z[] = {5, 6};
  ASSERT_EQ(rtable3d_add("cube", 2, 1, 1, x, y, z, vals), 1);
  int nz = 0;
  Owned<double> cx, cy, cz, cv;
  EXPECT_EQ(rtable3d_from_memory("cube", &nx, &ny, &nz, &cx, &cy, &cz, &cv, KIV_TABLE_BY_CALLER), 2);
  EXPECT_EQ(cx.vec(2), (V{1, 2}));
  EXPECT_EQ(cy.vec(1), (V{3}));
  EXPECT_EQ(cz.vec(1), (V{5}));
  Owned<double> x3, y3, z3;
  EXPECT_EQ(rtable2d_from_memory("cube", &nx, &ny, &x3, &y3, &z3, KIV_TABLE_BY_CALLER), -1);
  EXPECT_EQ(takeErr(), "Table dimension does not correspond to requested value (2 and 3).\n");
  EXPECT_EQ(x3.p, nullptr);
  EXPECT_EQ(nx, -1);

  const int slices[] = {2, 1};
  const double tx[] = {1, 2, 0}, ty[] = {0, 5}, tz[] = {10, 20, 7};
  ASSERT_EQ(rtablemd_add("t1d", 2, slices, tx, ty, tz, nullptr), 1);
  Owned<int> ts;
  Owned<double> gx, gy, gz;
  EXPECT_EQ(rtablemd_from_memory("t1d", &ts, &gx, &gy, &gz, nullptr, KIV_TABLE_BY_CALLER), 2);
  EXPECT_EQ(ts.vec(2), (I{2, 1}));
  EXPECT_EQ(gz.vec(3), (V{10, 20, 7}));
  EXPECT_EQ(rtablemd_exist("t1d"), 1);

  const int pps[] = {2, 1, 1}, spp[] = {2, 1};
  const double px[] = {1, 2, 3, 4}, py[] = {0, 1, 2}, pz[] = {100, 200}, pv[] = {11, 12, 13, 14};
  ASSERT_EQ(rtablem3d_add("t3d", 2, 3, pps, spp, px, py, pz, pv, nullptr), 1);
  // A slice count that the parts do not hold is refused.
  EXPECT_EQ(rtablem3d_add("t3d-bad", 2, 4, pps, spp, px, py, pz, pv, nullptr), 0);
  int parts = 0;
  Owned<int> gp, gs;
  Owned<double> qx, qy, qz, qv;
  EXPECT_EQ(rtablem3d_from_memory("t3d", &parts, &gp, &gs, &qx, &qy, &qz, &qv, nullptr, KIV_TABLE_BY_CALLER), 3);
  EXPECT_EQ(parts, 2);
  EXPECT_EQ(gp.vec(3), (I{2, 1, 1}));
  EXPECT_EQ(qv.vec(4), (V{11, 12, 13, 14}));
  EXPECT_EQ(qz.vec(2), (V{100, 200}));
  EXPECT_EQ(rtablem3d_exist("t3d"), 1);
  EXPECT_EQ(rtablem3d_exist("t3d-bad"), 0);

  const double xy[] = {1, 2, 3, 4, 5, 6};
  ASSERT_EQ(rtablexy_add("xy", 3, 2, xy, nullptr), 1);
  int rows = 0, cols = 0;
  Owned<double> d;
  EXPECT_EQ(rtablexy_from_memory("xy", &rows, &cols, &d, nullptr, KIV_TABLE_BY_CALLER), 6);
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(cols, 2);
  EXPECT_EQ(d.vec(6), (V{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(rtablexy_exist("xy"), 1);
  EXPECT_EQ(rtablexy_exist("nd"), 0);
}

TEST_F(Store, ShortOrNullUnitListsAreAccepted) {
  const int sizes[] = {2, 2};
  const double axes[] = {0, 1, 0, 1}, vals[] = {1, 2, 3, 4};
  const char *shortList[] = {"bar", nullptr};  // three slots wanted
  ASSERT_EQ(rtablend_add("short", 2, sizes, axes, vals, shortList), 1);
  ASSERT_EQ(rtablend_add("none", 2, sizes, axes, vals, nullptr), 1);
  TableHeader *h = _prt1();
  int dim = 2;
  Owned<int> s;
  Owned<double> a, v;
  ASSERT_EQ(rtablend_from_memory("short", &dim, &s, &a, &v, h, KIV_TABLE_BY_CALLER), 4);
  ASSERT_EQ(h->nunits, 3);
  EXPECT_STREQ(h->units[0], "bar");
  EXPECT_EQ(h->units[1], nullptr);
  EXPECT_EQ(h->units[2], nullptr);
  _prt2(h);
  EXPECT_EQ(rtablend_exist("none", nullptr), 1);
}

TEST_F(Store, OriginsAndFirstRecordWin) {
  const double a[] = {1}, b[] = {2};
  rtable0d_add2("t", 1, a, nullptr, KIV_TABLE_BY_READER);
  EXPECT_EQ(rtable0d_exist("t"), 0);  // exists answers for caller tables only
  rtable0d_add("t", 1, b);
  rtable0d_add("t", 1, a);  // never reached while the first exists
  int n = 0;
  Owned<double> v, w;
  rtable0d_from_memory("t", &n, &v, KIV_TABLE_BY_CALLER);
  rtable0d_from_memory("t", &n, &w, KIV_TABLE_BY_READER);
  EXPECT_EQ(v[0], 2);
  EXPECT_EQ(w[0], 1);
  EXPECT_EQ(rtable0d_add("bad", -1, a), 0);
  EXPECT_EQ(rtablend_add("bad", 2, nullptr, a, a, nullptr), 0);
  const int zero[] = {0};
  EXPECT_EQ(rtablend_add("bad", 1, zero, a, a, nullptr), 0);
  EXPECT_EQ(rtablend_exist("bad", nullptr), 0);
}

TEST_F(Store, CircuitNamesAreExpandedOnAddAndLookup) {
  KivSetFileNames(nullptr, "/models/pump", nullptr);
  const double x[] = {0, 1}, y[] = {2, 3};
  rtable1d_add("${circuit_name}_speed.txt", 2, x, y);
  int d = 0;
  EXPECT_EQ(rtablend_exist("pump_speed.txt", &d), 1);
  EXPECT_EQ(rtablend_exist("${circuit_name}_speed.txt", &d), 1);
  rtable1d_add("pump_flow.txt", 2, x, y);
  EXPECT_EQ(rtablend_exist("${circuit_name}_flow.txt", nullptr), 1);
  rtablexy_add("${full_circuit_name}.xy", 1, 2, x, nullptr);
  EXPECT_EQ(rtablexy_exist("/models/pump.xy"), 1);
  // A reader finds the caller's table under either spelling.
  int n = 0;
  Owned<double> rx, ry;
  EXPECT_EQ(rtable1d_("${circuit_name}_flow.txt", &n, &rx, &ry), 2);
  EXPECT_EQ(ry.vec(2), (V{2, 3}));
}

TEST_F(Store, ReaderCacheUsesExpandedNames) {
  const std::string circ = dir_ + "/circ";
  KivSetFileNames(nullptr, circ.c_str(), nullptr);
  const std::string f = write("circ_t.txt", "1 2\n");
  int n = 0;
  Owned<double> x, y, x2, y2;
  ASSERT_EQ(rtable1d_("${full_circuit_name}_t.txt", &n, &x, &y), 1);
  write("circ_t.txt", "5 6\n");
  ASSERT_EQ(rtable1d_(f.c_str(), &n, &x2, &y2), 1);  // the same table, from the cache
  EXPECT_EQ(x2[0], 1);
}

TEST_F(Store, MultiLineCopiesAndComments) {
  const char *lines[] = {"# Table format: MULTILINES", "a b", "#c", ""};
  ASSERT_EQ(rtable_multi_line_add("ml", lines, 4), 1);
  OwnedLines all, some;
  int skip = 0;
  all.p = rtableml_from_memory("ml", &all.n, &skip, KIV_TABLE_BY_CALLER);
  EXPECT_EQ(all.vec(), (std::vector<std::string>{"# Table format: MULTILINES", "a b", "#c", ""}));
  skip = 1;
  some.p = rtableml_from_memory("ml", &some.n, &skip, KIV_TABLE_BY_CALLER);
  EXPECT_EQ(some.vec(), (std::vector<std::string>{"a b", ""}));
  int n = 0;
  EXPECT_EQ(rtableml_from_memory("other", &n, &skip, KIV_TABLE_BY_CALLER), nullptr);
  EXPECT_EQ(n, -1);
  EXPECT_EQ(rtableml_exist("ml"), 1);
  const char *comments[] = {"#a"};
  rtable_multi_line_add("comments", comments, 1);
  EXPECT_EQ(rtableml_from_memory("comments", &n, &skip, KIV_TABLE_BY_CALLER), nullptr);
  EXPECT_EQ(n, 0);
}

TEST_F(Store, TokensByFormat) {
  const double x[] = {0, 1}, y[] = {2, 3};
  rtable1d_add("one", 2, x, y);
  rtable0d_add("zero", 2, x);
  const char *tk[] = {"p", "out"};
  rtable_add_tokens("one", 0, tk, 2);
  rtable_add_tokens("zero", 10, tk, 2);  // 0D tables keep no tokens
  OwnedLines t;
  ASSERT_EQ(kiv_get_table_tokens_from_memory("one", &t.p, &t.n, KIV_TABLE_BY_CALLER), 1);
  EXPECT_EQ(t.vec(), (std::vector<std::string>{"p", "out"}));
  OwnedLines none;
  EXPECT_EQ(kiv_get_table_tokens_from_memory("zero", &none.p, &none.n, KIV_TABLE_BY_CALLER), 0);
  EXPECT_EQ(none.p, nullptr);
  // A record without tokens answers with an empty list.
  const double xy[] = {1, 2};
  rtablexy_add("xy", 1, 2, xy, nullptr);
  OwnedLines empty;
  EXPECT_EQ(kiv_get_table_tokens_from_memory("xy", &empty.p, &empty.n, KIV_TABLE_BY_CALLER), 1);
  EXPECT_EQ(empty.n, 0);
  const char *ml[] = {"x"};
  rtable_multi_line_add("ml", ml, 1);
  rtable_add_tokens("ml", 13, tk, 2);
  EXPECT_EQ(kiv_get_table_tokens_from_memory("ml", &none.p, &none.n, KIV_TABLE_BY_CALLER), 0);
}

TEST_F(Store, EndOfRunEmptiesEveryList) {
  const double x[] = {0, 1};
  const int one[] = {2};
  rtable0d_add("a", 2, x);
  rtable1d_add("a", 2, x, x);
  rtablemd_add("a", 1, one, x, x, x, nullptr);
  const int pps[] = {1}, spp[] = {1};
  rtablem3d_add("a", 1, 1, pps, spp, x, x, x, x, nullptr);
  rtablexy_add("a", 1, 2, x, nullptr);
  const char *l[] = {"l"};
  rtable_multi_line_add("a", l, 1);
  KivEndRun(0);
  EXPECT_EQ(rtable0d_exist("a"), 0);
  EXPECT_EQ(rtablend_exist("a", nullptr), 0);
  EXPECT_EQ(rtablemd_exist("a"), 0);
  EXPECT_EQ(rtablem3d_exist("a"), 0);
  EXPECT_EQ(rtablexy_exist("a"), 0);
  EXPECT_EQ(rtableml_exist("a"), 0);
  // The next run registers its clean-up again.
  rtable0d_add("b", 2, x);
  KivEndRun(0);
  EXPECT_EQ(rtable0d_exist("b"), 0);
}

}  // namespace
