// The in-memory table store: round trips, origins, names, tokens and the
// end of the run.
#include <cstring>
#include <string>
#include <vector>

#include "tablefile_support.hpp"

namespace {

using kiv::test::Owned;
using kiv::test::OwnedLines;
using kiv::test::TableTest;
using V = std::vector<double>;
using I = std::vector<int>;
using S = std::vector<std::string>;

class Store : public TableTest {};

TEST_F(Store, RoundTripsCopyEverything) {
  double v[] = {1, 2, 3};
  ASSERT_EQ(rtable0d_add("zero", 3, v), 1);
  v[0] = 99;  // the store keeps its own copy
  int n = 0, dim = 0, nx = 0, ny = 0, nz = 0, parts = 0, rows = 0, cols = 0;
  Owned<double> got, none;
  EXPECT_EQ(rtable0d_from_memory("zero", &n, &got, KIV_TABLE_BY_CALLER), 3);
  EXPECT_EQ(got.vec(3), (V{1, 2, 3}));
  EXPECT_EQ(rtable0d_from_memory("zero", &n, &none, KIV_TABLE_BY_READER), -1);
  EXPECT_EQ(n, -1);

  const int sizes[] = {2, 3}, slices[] = {2, 1}, pps[] = {2, 1, 1}, spp[] = {2, 1};
  const double axes[] = {0, 1, 10, 20, 30}, vals[] = {1, 2, 3, 4, 5, 6}, x[] = {1, 2}, y[] = {3, 4}, z[] = {5, 6};
  const double tx[] = {1, 2, 0}, ty[] = {0, 5}, tz[] = {10, 20, 7}, pz[] = {100, 200}, pv[] = {11, 12, 13, 14};
  const char *units[] = {"bar", "mm", "degC"};
  ASSERT_EQ(rtablend_add("nd", 2, sizes, axes, vals, units), 1);
  ASSERT_EQ(rtable3d_add("cube", 2, 1, 1, x, y, z, vals), 1);
  ASSERT_EQ(rtablemd_add("t1d", 2, slices, tx, ty, tz, nullptr), 1);
  ASSERT_EQ(rtablem3d_add("t3d", 2, 3, pps, spp, pv, tx, pz, pv, nullptr), 1);
  EXPECT_EQ(rtablem3d_add("t3d-bad", 2, 4, pps, spp, pv, tx, pz, pv, nullptr), 0);  // slices the parts do not hold
  ASSERT_EQ(rtablexy_add("xy", 3, 2, vals, nullptr), 1);

  Owned<int> s, ts, gp, gs;
  Owned<double> a, w, x2, y2, z2, cx, cy, cz, cv, gx, gy, gz, qx, qy, qz, qv, d;
  TableHeader *h = _prt1();
  EXPECT_EQ(rtablend_from_memory("nd", &dim, &s, &a, &w, h, KIV_TABLE_BY_CALLER), 6);
  EXPECT_EQ(s.vec(static_cast<size_t>(dim)), (I{2, 3}));
  EXPECT_EQ(w.vec(6), (V{1, 2, 3, 4, 5, 6}));
  EXPECT_STREQ(h->nunits == 3 ? h->units[2] : "", "degC");
  _prt2(h);
  EXPECT_EQ(rtable2d_from_memory("nd", &nx, &ny, &x2, &y2, &z2, KIV_TABLE_BY_CALLER), 6);
  EXPECT_EQ(y2.vec(3), (V{10, 20, 30}));  // split into its axes
  EXPECT_EQ(rtable3d_from_memory("cube", &nx, &ny, &nz, &cx, &cy, &cz, &cv, KIV_TABLE_BY_CALLER), 2);
  EXPECT_EQ(cz.vec(1), (V{5}));
  EXPECT_EQ(rtablemd_from_memory("t1d", &ts, &gx, &gy, &gz, nullptr, KIV_TABLE_BY_CALLER), 2);
  EXPECT_EQ(ts.vec(2), (I{2, 1}));
  EXPECT_EQ(gz.vec(3), (V{10, 20, 7}));
  EXPECT_EQ(rtablem3d_from_memory("t3d", &parts, &gp, &gs, &qx, &qy, &qz, &qv, nullptr, KIV_TABLE_BY_CALLER), 3);
  EXPECT_EQ(gp.vec(static_cast<size_t>(parts) + 1), (I{2, 1, 1}));
  EXPECT_EQ(qz.vec(2), (V{100, 200}));
  EXPECT_EQ(rtablexy_from_memory("xy", &rows, &cols, &d, nullptr, KIV_TABLE_BY_CALLER), 6);
  EXPECT_EQ((I{rows, cols}), (I{3, 2}));
  EXPECT_EQ((I{rtablem3d_exist("t3d"), rtablem3d_exist("t3d-bad"), rtablexy_exist("nd")}), (I{1, 0, 0}));
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
  const int zero[] = {0};
  EXPECT_EQ(rtable0d_add("bad", -1, a), 0);
  EXPECT_EQ(rtablend_add("bad", 2, nullptr, a, a, nullptr), 0);
  EXPECT_EQ(rtablend_add("bad", 1, zero, a, a, nullptr), 0);
  EXPECT_EQ(rtablend_exist("bad", nullptr), 0);
}

// Names are expanded the same way on add and on lookup, in the reader cache too.
TEST_F(Store, CircuitNamesAreExpandedOnAddAndLookup) {
  KivSetFileNames(nullptr, "/models/pump", nullptr);
  const double x[] = {0, 1}, y[] = {2, 3};
  rtable1d_add("${circuit_name}_speed.txt", 2, x, y);
  int d = 0, n = 0;
  EXPECT_EQ(rtablend_exist("pump_speed.txt", &d), 1);
  EXPECT_EQ(rtablend_exist("${circuit_name}_speed.txt", &d), 1);
  rtable1d_add("pump_flow.txt", 2, x, y);
  EXPECT_EQ(rtablend_exist("${circuit_name}_flow.txt", nullptr), 1);
  rtablexy_add("${full_circuit_name}.xy", 1, 2, x, nullptr);
  EXPECT_EQ(rtablexy_exist("/models/pump.xy"), 1);
  Owned<double> rx, ry, fx, fy, gx, gy;
  EXPECT_EQ(rtable1d_("${circuit_name}_flow.txt", &n, &rx, &ry), 2);
  EXPECT_EQ(ry.vec(2), (V{2, 3}));

  KivSetFileNames(nullptr, (dir_ + "/circ").c_str(), nullptr);
  const std::string f = write("circ_t.txt", "1 2\n");
  ASSERT_EQ(rtable1d_("${full_circuit_name}_t.txt", &n, &fx, &fy), 1);
  write("circ_t.txt", "5 6\n");
  ASSERT_EQ(rtable1d_(f.c_str(), &n, &gx, &gy), 1);  // the same table, from the cache
  EXPECT_EQ(gx[0], 1);
}

TEST_F(Store, EndOfRunEmptiesEveryList) {
  const double x[] = {0, 1};
  const int one[] = {2}, pps[] = {1}, spp[] = {1};
  const char *l[] = {"l"};
  auto count = [] {
    return rtable0d_exist("a") + rtablend_exist("a", nullptr) + rtablemd_exist("a") + rtablem3d_exist("a") +
           rtablexy_exist("a") + rtableml_exist("a");
  };
  rtable0d_add("a", 2, x);
  rtable1d_add("a", 2, x, x);
  rtablemd_add("a", 1, one, x, x, x, nullptr);
  rtablem3d_add("a", 1, 1, pps, spp, x, x, x, x, nullptr);
  rtablexy_add("a", 1, 2, x, nullptr);
  rtable_multi_line_add("a", l, 1);
  EXPECT_EQ(count(), 6);
  KivEndRun(0);
  EXPECT_EQ(count(), 0);
  // The next run registers its clean-up again.
  rtable0d_add("b", 2, x);
  KivEndRun(0);
  EXPECT_EQ(rtable0d_exist("b"), 0);
}

}  // namespace
