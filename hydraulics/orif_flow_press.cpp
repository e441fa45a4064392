// Orifices given as flow against pressure drop (and an opening and a
// temperature): tables are made to give zero flow at zero pressure drop,
// extended or turned for reverse flow once at set-up, and kept as splines
// (or expressions) in a process-wide registry.
#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <vector>

#include "hydraulics/kiv_hydtables.h"
#include "hydraulics/orif_flow_press.hpp"
#include "params/kiv_expr.h"
#include "tables/kiv_interpret.h"
#include "tables/kiv_splinend.h"
#include "tables/kiv_splines.h"
#include "tables/kiv_tablefiles.h"

namespace kiv::hyd {

int zeroPosition(const std::vector<double> &axis) {
  const size_t n = axis.size();
  int count = 0;
  if (n < 2 || axis[1] > axis[0]) {
    while (static_cast<size_t>(count) < n && axis[static_cast<size_t>(count)] < 0.0) ++count;
  } else if (axis[0] > 0.0) {
    while (static_cast<size_t>(count) < n && axis[static_cast<size_t>(count)] > 0.0) ++count;
  }
  return count;
}

int check_point_in_zero_1D_2D(const char *name, const DpTable &t, int &position, int &found,
                              int &level) {
  position = 0;
  found = 0;
  const int n = t.n();
  bool present = false;
  for (int i = 0; i < n; ++i) {
    if (t.dp[static_cast<size_t>(i)] != 0.0) continue;
    present = true;
    found = i;
    position = -1;
    for (int r = 0; r < t.rows(); ++r) {
      const double q = t.values[static_cast<size_t>(r * n + i)];
      if (q == 0.0) continue;
      kivfprintf(stderr,
                 "\nThe input table %s contains a point which leads to a non-zero          "
                 "                           flow rate at zero pressure drop.\n",
                 name);
      kivfprintf(stderr, "\nPlease check the point (%lf, %lf).\n", 0.0, q);
      raiseLevel(level, 2);
      return -1;
    }
  }
  if (present) return 0;
  position = zeroPosition(t.dp);
  kivfprintf(stderr, "\nThe input table %s does not contain a point at zero pressure drop.\n",
             name);
  kivfprintf(stderr, "\nIt is added so that the flow rate is zero for a zero pressure drop.\n");
  raiseLevel(level, 1);
  return 0;
}

void add_point_in_zero_1D_2D(DpTable &t, int position) {
  if (position < 0) return;
  const size_t n = t.dp.size(), p = static_cast<size_t>(position), rows = t.values.size() / n;
  t.dp.insert(t.dp.begin() + static_cast<long>(p), 0.0);
  std::vector<double> v;
  v.reserve(rows * (n + 1));
  for (size_t r = 0; r < rows; ++r) {
    const auto row = t.values.begin() + static_cast<long>(r * n);
    v.insert(v.end(), row, row + static_cast<long>(p));
    v.push_back(0.0);
    v.insert(v.end(), row + static_cast<long>(p), row + static_cast<long>(n));
  }
  t.values.swap(v);
}

namespace {

// Reverses the pressure-drop order of every row; negates when asked.
void reverseRows(DpTable &t, double factor) {
  const size_t n = t.dp.size();
  std::reverse(t.dp.begin(), t.dp.end());
  for (double &x : t.dp) x *= factor;
  for (size_t r = 0; r * n < t.values.size(); ++r) {
    const auto row = t.values.begin() + static_cast<long>(r * n);
    std::reverse(row, row + static_cast<long>(n));
    for (auto it = row; it != row + static_cast<long>(n); ++it) *it *= factor;
  }
}

}  // namespace

void symmetry_1D_2D_table(DpTable &t) {
  const size_t n = t.dp.size();
  if (n == 0) return;
  // A decreasing axis has its zero last: mirror it as the increasing one.
  if (n > 1 && t.dp[0] > t.dp[n - 1]) reverseRows(t, 1.0);
  const size_t rows = t.values.size() / n, m = 2 * n - 1;
  std::vector<double> dp(m), v(rows * m);
  for (size_t k = 0; k < n; ++k) {
    dp[n - 1 + k] = t.dp[k];
    dp[n - 1 - k] = -t.dp[k];
    for (size_t r = 0; r < rows; ++r) {
      v[r * m + n - 1 + k] = t.values[r * n + k];
      v[r * m + n - 1 - k] = -t.values[r * n + k];
    }
  }
  dp[n - 1] = t.dp[0];
  for (size_t r = 0; r < rows; ++r) v[r * m + n - 1] = t.values[r * n];
  t.dp.swap(dp);
  t.values.swap(v);
}

void change_sign_1D_2D(DpTable &t) { reverseRows(t, -1.0); }

int check_point_in_zero_M1D_table(const char *name, SliceTable &t, int &level) {
  for (size_t s = 0; s < t.slices.size(); ++s) {
    DpTable &slice = t.slices[s];
    const int number = static_cast<int>(s) + 1;
    bool present = false;
    for (int i = 0; i < slice.n(); ++i) {
      if (slice.dp[static_cast<size_t>(i)] != 0.0) continue;
      present = true;
      if (slice.values[static_cast<size_t>(i)] == 0.0) continue;
      kivfprintf(stderr,
                 "\nThe input table %s \n             contains a point at zero abscissa which "
                 "leads to a non-zero             flow rate at zero pressure drop (see slice "
                 "%d).\n",
                 name, number);
      raiseLevel(level, 2);
      return -1;
    }
    if (present) continue;
    kivfprintf(stderr,
               "\nThe input table %s \n             does not contain a point at zero abscissa "
               "for slice %d.\n",
               name, number);
    kivfprintf(stderr, "\nIt is added so as to ensure zero flow rate at zero pressure drop.\n");
    raiseLevel(level, 1);
    add_point_in_zero_1D_2D(slice, zeroPosition(slice.dp));
  }
  return 0;
}

void symmetry_M1D_table(SliceTable &t) {
  for (DpTable &s : t.slices) symmetry_1D_2D_table(s);
}

void change_sign_M1D_table(SliceTable &t) {
  for (DpTable &s : t.slices) change_sign_1D_2D(s);
}

namespace {

struct FlowRecord {
  int id = -1;
  int kind = -1;  // 0 expression, 1 interpolant
  int format = -1;
  int disc = 0;
};

TableRegistry<FlowRecord> g_details;

void freeAtEnd(int, int) { DetailsFree(); }

int registerFlow(const FlowRecord &r, const char *label) {
  return g_details.add(r, label, &freeAtEnd);
}

// What the readers hand over, released with free().
struct Freed {
  void operator()(void *p) const { std::free(p); }
};
template <class T>
using Owned = std::unique_ptr<T, Freed>;

struct FlowArgs {
  const char *text;
  int flow_unit, revflow, sign;
  double factor;
  char **names;
  int nnames, interpolation;
  const int *codes, *ext;
  const double *slopes;
  int disc;
  const char *const *units;
};

constexpr double kLitresPerMinute = 60000.0;

void convertFlows(const FlowArgs &a, std::vector<double> &q) {
  if (a.flow_unit != 1) return;
  for (double &x : q) x = x * a.factor / kLitresPerMinute;
}

// NaN and infinities, read or made by the flow factor, are refused before
// the zero-point checks, which would take them for a leak or a gap.
bool finiteParts(const FlowArgs &a, const char *who,
                 std::initializer_list<const std::vector<double> *> parts, int &level) {
  for (const std::vector<double> *v : parts) {
    const long bad = firstNonFinite(v->data(), v->size());
    if (bad < 0) continue;
    kivfprintf(stderr, "\nError in %s: the input table %s contains a non-finite value (%lf).\n",
               who, a.text, (*v)[static_cast<size_t>(bad)]);
    raiseLevel(level, 2);
    return false;
  }
  return true;
}

bool finiteSlices(const FlowArgs &a, const char *who, const SliceTable &t, int &level) {
  if (!finiteParts(a, who, {&t.at}, level)) return false;
  for (const DpTable &s : t.slices)
    if (!finiteParts(a, who, {&s.dp, &s.values}, level)) return false;
  return true;
}

bool anyNegative(const std::vector<double> &x) {
  return std::any_of(x.begin(), x.end(), [](double v) { return v < 0.0; });
}

// Tried first as an expression over the variables: 1 taken (record in
// *rec), 0 not an expression, -1 refused.
int asExpression(const FlowArgs &a, const char *who, FlowRecord &rec) {
  int id = CheckExpressionQuietly(QOR_XB_GlobalSystem, a.text, a.nnames, a.names, 1);
  if (id < 0) return 0;
  if (a.revflow != 2) {
    kivfprintf(stderr, "\nError in %s: expression'%s' is not valid in this case.\n", who, a.text);
    expfree_(&id);
    return -1;
  }
  if (a.disc == 0) {
    int off = 0;
    exphandledisc_(&id, &off);
  }
  rec = {id, 0, -1, a.disc};
  return 1;
}

// The format of the table file, or -100 after a message.
int formatOf(const char *text) {
  const int format = GetTableFormat(text);
  if (format == KIV_TABLE_UNKNOWN)
    kivfprintf(stderr, "\nError in SetUpFlowdPTable: unable to determine table format.\n");
  else if (format == KIV_TABLE_NOT_FOUND)
    kivfprintf(stderr, "\nError in SetUpFlowdPTable: unable to open the file %s", text);
  return format < 0 ? -100 : format;
}

struct GridTable {
  int dim = 0;
  std::vector<int> sizes;
  std::vector<std::vector<double>> axes;
  std::vector<double> values;
};

bool readGrid(const FlowArgs &a, GridTable &g) {
  int dim = 0, *sz = nullptr;
  double *ax = nullptr, *val = nullptr;
  const int ok = rtablend_(a.text, &dim, &sz, &ax, &val, a.units);
  Owned<int> s(sz);
  Owned<double> x(ax), v(val);
  if (!ok) return false;
  g.dim = dim;
  g.sizes.assign(sz, sz + dim);
  size_t offset = 0, count = 1;
  for (int k = 0; k < dim; ++k) {
    const size_t n = static_cast<size_t>(sz[k]);
    g.axes.emplace_back(ax + offset, ax + offset + n);
    offset += n;
    count *= n;
  }
  g.values.assign(val, val + count);
  return true;
}

int gridSpline(const FlowArgs &a, GridTable &g, const char *who) {
  std::vector<double *> axes;
  for (auto &x : g.axes) axes.push_back(x.data());
  int id = -1;
  if (a.interpolation == 2) {
    id = kiv::nd::CreateLinearND(g.dim, g.sizes.data(), axes.data(), g.values.data(), a.codes,
                                 a.disc);
  } else if (a.interpolation == 1) {
    id = kiv::nd::CreateCubicND(1, g.dim, g.sizes.data(), axes.data(), g.values.data(), a.codes,
                                a.slopes, a.ext, a.disc);
  } else {
    kivfprintf(stderr, "\nError in %s: unhandled interpolation option mode selected.\n", who);
    return -1;
  }
  if (id < 0) {
    kivfprintf(stderr, "\nError in %s: unable to create spline.\n", who);
    kivfprintf(stderr, "\nPlease check data from file '%s'\n", a.text);
  }
  return id;
}

// Layer type and out-of-range codes of multi-1-D layers: false (message)
// for an unknown interpolation.
bool layerCodes(const FlowArgs &a, const char *who, int &type, int &left, int &right) {
  if (a.interpolation == 1) {
    type = 1;
    left = a.ext[0];
    right = a.ext[1];
  } else if (a.interpolation == 2) {
    type = 0;
    left = a.codes[0];
    right = a.codes[1];
  } else {
    kivfprintf(stderr, "\nError in %s: unhandled interpolation option mode selected.\n", who);
    return false;
  }
  return true;
}

bool readSlices(const FlowArgs &a, SliceTable &t) {
  int *sz = nullptr;
  double *x = nullptr, *y = nullptr, *z = nullptr;
  const int slices = rtablemd_(a.text, &sz, &x, &y, &z, a.units);
  Owned<int> s(sz);
  Owned<double> ox(x), oy(y), oz(z);
  if (slices < 0) return false;
  size_t offset = 0;
  for (int k = 0; k < slices; ++k) {
    const size_t n = static_cast<size_t>(sz[k]);
    DpTable slice;
    slice.dp.assign(x + offset, x + offset + n);
    slice.values.assign(z + offset, z + offset + n);
    offset += n;
    t.slices.push_back(std::move(slice));
    t.at.push_back(y[k]);
  }
  return true;
}

struct Flat {
  std::vector<int> npts;
  std::vector<double> x, z;
};

Flat flatten(const SliceTable &t) {
  Flat f;
  for (const DpTable &s : t.slices) {
    f.npts.push_back(s.n());
    f.x.insert(f.x.end(), s.dp.begin(), s.dp.end());
    f.z.insert(f.z.end(), s.values.begin(), s.values.end());
  }
  return f;
}

// Codes across the layers as the text-parameter interpreter reads them, so
// that a table file behaves alike through both.
void stackCodes(const FlowArgs &a, int &top, int &bottom) {
  kiv::text::StackCodes(a.codes[2], a.codes[3], top, bottom);
}

int sliceSpline(const FlowArgs &a, const SliceTable &t, int type, int left, int right) {
  const Flat f = flatten(t);
  const int layers = static_cast<int>(t.slices.size());
  int top, bottom;
  stackCodes(a, top, bottom);
  return msplinit_(&layers, f.npts.data(), f.x.data(), t.at.data(), f.z.data(), &top, &bottom,
                   &a.codes[0], &a.slopes[0], &a.codes[1], &a.slopes[1], &left, &right, &type);
}

int flowTable1D2D(const FlowArgs &a, int &level) {
  GridTable g;
  if (!readGrid(a, g) || g.dim < 1 || g.dim > 2) {
    kivfprintf(stderr, "\nError in SetUpFlowdPTable: input table of incorrect dimensions %s.\n",
               a.text);
    return -1;
  }
  DpTable t{g.axes[0], g.dim == 2 ? g.axes[1] : std::vector<double>{}, g.values};
  convertFlows(a, t.values);
  if (!finiteParts(a, "SetUpFlowdPTable", {&t.dp, &t.other, &t.values}, level)) return -1;
  int position = 0, found = 0;
  if (check_point_in_zero_1D_2D(a.text, t, position, found, level) < 0) return -1;
  if ((a.revflow == 1 || a.revflow == 3) && anyNegative(t.dp)) {
    if (a.revflow == 1)
      kivfprintf(stderr,
                 "\n When using a symmetric orifice, only                         positive values "
                 "are expected for pressure drop.                         \n Please, rearrange "
                 "table in %s.",
                 a.text);
    else
      kivfprintf(stderr,
                 "\n When using two tables, only                         positive values are "
                 "expected for pressure drops.                         \n Please, rearrange table "
                 "in %s.",
                 a.text);
    return -1;
  }
  if (a.revflow < 1 || a.revflow > 3) {
    kivfprintf(stderr, "\nError in SetUpFlowdPTable: incorrect value for revflow argument.\n");
    return -1;
  }
  add_point_in_zero_1D_2D(t, position);
  if (a.revflow == 1) symmetry_1D_2D_table(t);
  if (a.revflow == 3 && a.sign == -1) change_sign_1D_2D(t);
  g.axes[0] = t.dp;
  g.sizes[0] = t.n();
  g.values = t.values;
  return gridSpline(a, g, "SetUpFlowdPTable");
}

int flowTableT1D(const FlowArgs &a, int &level) {
  SliceTable t;
  if (!readSlices(a, t)) return -1;
  for (DpTable &s : t.slices) convertFlows(a, s.values);
  if (!finiteSlices(a, "SetUpFlowdPTable", t, level)) return -1;
  if (check_point_in_zero_M1D_table(a.text, t, level) < 0) return -1;
  int type = 0, left = 0, right = 0;
  if (!layerCodes(a, "SetUpFlowdPTable", type, left, right)) return -1;
  if (a.revflow == 1 || a.revflow == 3) {
    for (const DpTable &s : t.slices)
      for (int i = 0; i < s.n(); ++i) {
        if (s.dp[static_cast<size_t>(i)] >= 0.0) continue;
        if (a.revflow == 1) {
          kivfprintf(stderr,
                     "\n When using a symmetric orifice, only                         positive "
                     "values are expected for pressure drop.                         \n Please, "
                     "rearrange table in %s.",
                     a.text);
        } else {
          kivfprintf(stderr, "\nx[%d] = %f", i, s.dp[static_cast<size_t>(i)]);
          kivfprintf(stderr,
                     "\n When using 2 tables, only                         positive values are "
                     "expected for pressure drop.                         \n Please, rearrange "
                     "table in %s.",
                     a.text);
        }
        return -1;
      }
    if (a.revflow == 1) symmetry_M1D_table(t);
    if (a.revflow == 3 && a.sign == -1) change_sign_M1D_table(t);
  }
  const int id = sliceSpline(a, t, type, left, right);
  if (id < 0) kivfprintf(stderr, "\nError in strinit: unable to create multi 1D spline.\n");
  return id;
}

}  // namespace


// ---- Flow against an opening ------------------------------------------------

namespace {

const char *const kXdpNegative2D =
    "\n When using a symmetric orifice or two tables, only                      positive values "
    "are expected for pressure drops.                      \n Please, rearrange table in %s.";
const char *const kXdpNegativeSliced =
    "\n When using a symmetric orifice or two tables,                         only positive "
    "values are expected for pressure drop.                         \n Please, rearrange table "
    "in %s.";

// Opening tables on a grid: the pressure drop is axis 1.
int openingGrid(const FlowArgs &a, int &level) {
  GridTable g;
  if (!readGrid(a, g) || g.dim < 2 || g.dim > 3) {
    kivfprintf(stderr, "\nError in SetUpFlowXdPTable: input table of incorrect dimensions %s.\n",
               a.text);
    return -1;
  }
  convertFlows(a, g.values);
  if (!finiteParts(a, "SetUpFlowXdPTable", {&g.values}, level)) return -1;
  for (const std::vector<double> &axis : g.axes)
    if (!finiteParts(a, "SetUpFlowXdPTable", {&axis}, level)) return -1;
  const size_t nx = g.axes[0].size(), ndp = g.axes[1].size(), nt = g.dim == 3 ? g.axes[2].size() : 1;
  auto at = [&](size_t i, size_t j, size_t k) { return g.values[i + nx * (j + ndp * k)]; };
  bool present = false;
  for (size_t j = 0; j < ndp; ++j) {
    if (g.axes[1][j] != 0.0) continue;
    present = true;
    for (size_t k = 0; k < nt; ++k)
      for (size_t i = 0; i < nx; ++i) {
        if (at(i, j, k) == 0.0) continue;
        kivfprintf(stderr, "\nIn the input table %s, the flow rate at 0 pressure drop must be 0.\n",
                   a.text);
        if (g.dim == 3)
          kivfprintf(stderr, "\nPlease check the point (x=%lf, dp=%lf, T=%lf).\n", g.axes[0][i],
                     0.0, g.axes[2][k]);
        else
          kivfprintf(stderr, "\nPlease check the point (x=%lf, dp=%lf).\n", g.axes[0][i], 0.0);
        raiseLevel(level, 2);
        return -1;
      }
  }
  if ((a.revflow == 1 || a.revflow == 3) && anyNegative(g.axes[1])) {
    kivfprintf(stderr, kXdpNegative2D, a.text);
    return -1;
  }
  if (!present) {
    kivfprintf(stderr, "\nThe input table %s does not contain points at zero pressure drop.\n",
               a.text);
    kivfprintf(stderr, "\nIt is added so that the flow rate is zero for a zero pressure drop.\n");
    raiseLevel(level, 1);
    const size_t p = static_cast<size_t>(zeroPosition(g.axes[1]));
    g.axes[1].insert(g.axes[1].begin() + static_cast<long>(p), 0.0);
    std::vector<double> v;
    v.reserve(nx * (ndp + 1) * nt);
    for (size_t k = 0; k < nt; ++k)
      for (size_t j = 0; j <= ndp; ++j)
        for (size_t i = 0; i < nx; ++i)
          v.push_back(j == p ? 0.0 : at(i, j < p ? j : j - 1, k));
    g.values.swap(v);
    g.sizes[1] = static_cast<int>(ndp + 1);
  }
  return gridSpline(a, g, "SetUpFlowXdPTable");
}

// Slices over the opening, one per pressure drop: the slice at pressure
// drop 0 must hold zero flows; a missing one is added over the abscissas of
// the first slice.  set: 1-based set number of a T3D table, 0 for T1D.
int zeroSlice(const char *name, SliceTable &t, int set, int &level) {
  for (size_t s = 0; s < t.at.size(); ++s) {
    if (t.at[s] != 0.0) continue;
    const auto &q = t.slices[s].values;
    if (std::all_of(q.begin(), q.end(), [](double v) { return v == 0.0; })) return 0;
    if (set > 0)
      kivfprintf(stderr,
                 "\nThe input table %s \n             contains a slice at zero pressure drop which "
                 "leads to a non-zero             flow rate (see set %d).\n",
                 name, set);
    else
      kivfprintf(stderr,
                 "\nThe input table %s \n          contains a slice at zero pressure drop which "
                 "leads to a non-zero          flow rate.\n",
                 name);
    raiseLevel(level, 2);
    return -1;
  }
  if (set > 0)
    kivfprintf(stderr,
               "\nThe input table %s \n             does not contain a slice at zero pressure drop "
               "for set %d.\n",
               name, set);
  else
    kivfprintf(stderr,
               "\nThe input table %s \n          does not contain a slice at zero pressure drop.\n",
               name);
  kivfprintf(stderr, "\nIt is added so as to ensure zero flow rate at zero pressure drop.\n");
  raiseLevel(level, 1);
  if (t.slices.empty()) return -1;
  const long p = zeroPosition(t.at);
  DpTable zero = t.slices.front();
  std::fill(zero.values.begin(), zero.values.end(), 0.0);
  t.slices.insert(t.slices.begin() + p, std::move(zero));
  t.at.insert(t.at.begin() + p, 0.0);
  return 0;
}

int openingT1D(const FlowArgs &a, int &level) {
  SliceTable t;
  if (!readSlices(a, t)) return -1;
  for (DpTable &s : t.slices) convertFlows(a, s.values);
  if (!finiteSlices(a, "SetUpFlowXdPTable", t, level)) return -1;
  if (zeroSlice(a.text, t, 0, level) < 0) return -1;
  if ((a.revflow == 1 || a.revflow == 3) && anyNegative(t.at)) {
    kivfprintf(stderr, kXdpNegativeSliced, a.text);
    return -1;
  }
  int type = 0, left = 0, right = 0;
  if (!layerCodes(a, "SetUpFlowXdPTable", type, left, right)) return -1;
  const int id = sliceSpline(a, t, type, left, right);
  if (id < 0) kivfprintf(stderr, "\nError in SetUpFlowXdPTable: unable to create multi 1D spline.\n");
  return id;
}

int openingT3D(const FlowArgs &a, int &level) {
  int parts = 0, *pps = nullptr, *spp = nullptr;
  double *x = nullptr, *y = nullptr, *z = nullptr, *w = nullptr;
  const int total = rtablem3d_(a.text, &parts, &pps, &spp, &x, &y, &z, &w, a.units);
  Owned<int> o1(pps), o2(spp);
  Owned<double> o3(x), o4(y), o5(z), o6(w);
  if (total < 0) return -1;
  std::vector<SliceTable> sets(static_cast<size_t>(parts));
  size_t slice = 0, point = 0;
  for (auto &set : sets) {
    for (int k = 0; k < spp[&set - sets.data()]; ++k, ++slice) {
      const size_t n = static_cast<size_t>(pps[slice]);
      DpTable s;
      s.dp.assign(x + point, x + point + n);
      s.values.assign(w + point, w + point + n);
      point += n;
      convertFlows(a, s.values);
      set.slices.push_back(std::move(s));
      set.at.push_back(y[slice]);
    }
  }
  for (const SliceTable &set : sets)
    if (!finiteSlices(a, "SetUpFlowXdPTable", set, level)) return -1;
  const std::vector<double> temperatures(z, z + parts);
  if (!finiteParts(a, "SetUpFlowXdPTable", {&temperatures}, level)) return -1;
  for (size_t k = 0; k < sets.size(); ++k)
    if (zeroSlice(a.text, sets[k], static_cast<int>(k) + 1, level) < 0) return -1;
  for (const auto &set : sets)
    if ((a.revflow == 1 || a.revflow == 3) && anyNegative(set.at)) {
      kivfprintf(stderr, kXdpNegativeSliced, a.text);
      return -1;
    }
  int type = 0, left = 0, right = 0;
  if (!layerCodes(a, "SetUpFlowXdPTable", type, left, right)) return -1;
  std::vector<int> npts, nlayers;
  std::vector<double> xs, ys, ws;
  for (const auto &set : sets) {
    const Flat f = flatten(set);
    nlayers.push_back(static_cast<int>(set.slices.size()));
    npts.insert(npts.end(), f.npts.begin(), f.npts.end());
    xs.insert(xs.end(), f.x.begin(), f.x.end());
    ws.insert(ws.end(), f.z.begin(), f.z.end());
    ys.insert(ys.end(), set.at.begin(), set.at.end());
  }
  const int all = static_cast<int>(npts.size());
  int top, bottom;
  stackCodes(a, top, bottom);
  const int id = m3dsplinit_(&parts, &all, npts.data(), nlayers.data(), xs.data(), ys.data(), z,
                             ws.data(), &top, &bottom, &a.codes[0], &a.slopes[0],
                             &a.codes[1], &a.slopes[1], &left, &right, &type);
  if (id < 0) kivfprintf(stderr, "\nError in SetUpFlowXdPTable: unable to create MM1D spline.\n");
  return id;
}

// The two families of flow tables: their names in messages, the formats
// they take and the one a caller of `nnames` variables must give.
struct Family {
  const char *who;
  int formats[4];
  int nnames, expected;
  const char *expected_text;
  int (*build)(const FlowArgs &, int, int &);
};

int buildFlow(const FlowArgs &a, int format, int &level) {
  return format == KIV_TABLE_T1D ? flowTableT1D(a, level) : flowTable1D2D(a, level);
}

int buildOpening(const FlowArgs &a, int format, int &level) {
  if (a.revflow < 1 || a.revflow > 3) {
    kivfprintf(stderr, "\nError in SetUpFlowXdPTable: incorrect value for revflow argument.\n");
    return -1;
  }
  return format == KIV_TABLE_T1D   ? openingT1D(a, level)
         : format == KIV_TABLE_T3D ? openingT3D(a, level)
                                   : openingGrid(a, level);
}

const Family kFlow{"SetUpFlowdPTable",
                   {KIV_TABLE_1D, 1, KIV_TABLE_T1D, KIV_TABLE_T1D},
                   1,
                   KIV_TABLE_1D,
                   "1D",
                   &buildFlow};
const Family kOpening{"SetUpFlowXdPTable",
                      {1, 2, KIV_TABLE_T1D, KIV_TABLE_T3D},
                      2,
                      1,
                      "2D",
                      &buildOpening};

int setUp(const Family &f, const FlowArgs &a, int &level) {
  level = 0;
  if (a.disc != 0 && a.disc != 1) {
    kivfprintf(stderr, "\nError in %s utility: discontinuity flag must be in range [0,1].\n",
               f.who);
    return -1;
  }
  FlowRecord rec;
  const int expression = asExpression(a, f.who, rec);
  if (expression < 0) return -1;
  if (expression == 0) {
    const int format = formatOf(a.text);
    if (format == -100) return -1;
    if (std::find(std::begin(f.formats), std::end(f.formats), format) == std::end(f.formats)) {
      kivfprintf(stderr, "\nError in %s: the table is not of the correct dimension for %s.\n",
                 f.who, a.text);
      return -1;
    }
    if (a.nnames == f.nnames && format != f.expected) {
      kivfprintf(stderr, "\nTable format is expected to be %s.\n", f.expected_text);
      return -1;
    }
    const int id = f.build(a, format, level);
    if (id < 0) return -1;
    rec = {id, 1, format, a.disc};
  }
  return registerFlow(rec, &f == &kFlow ? "SetUpFlowdPTable2" : "SetUpFlowXdPTable");
}

}  // namespace


bool flowFromTable(int index, int flow_unit, double factor, double *values, double &flow) {
  if (!g_details.valid(index)) {
    kivfprintf(stderr, "Call to get_flow_from_table_ with an invalid index %d\n", index);
    kivfprintf(stderr, "No expression structure or spline has been created with this index\n");
    return false;
  }
  FlowRecord &r = g_details[index];
  if (r.kind == 0) {
    double q = 0.0;
    expeval_(&r.id, values, &q);
    flow = flow_unit == 1 ? q * factor / kLitresPerMinute : q;
  } else if (r.format == KIV_TABLE_T1D) {
    flow = kiv::sp1::MultiValue(r.id, values[0], values[1], r.disc);
  } else if (r.format == KIV_TABLE_T3D) {
    flow = kiv::sp1::Multi3Value(r.id, values[0], values[1], values[2], r.disc);
  } else {
    kiv::nd::SplineValue(r.id, values, &flow);
  }
  return true;
}

}  // namespace kiv::hyd

using kiv::hyd::FlowArgs;

int SetUpFlowdPTable2(char *text, int *flow_unit, int *revflow, int *sign, double *factor,
                      char **names, int *nnames, int *interpolation, int *codes, int *ext_modes,
                      double *end_slopes, int *disc, const char *const *units, int *level) {
  return kiv::hyd::setUp(kiv::hyd::kFlow, {text, *flow_unit, *revflow, *sign, *factor, names, *nnames,
                                   *interpolation, codes, ext_modes, end_slopes, *disc, units},
                                  *level);
}

int SetUpFlowdPTable(char *text, int *flow_unit, int *revflow, int *sign, double *factor,
                     char **names, int *nnames, const char *const *units, int *interpolation,
                     int *disc, int *level) {
  static constexpr int kOnes[4] = {1, 1, 1, 1};
  static constexpr double kZeros[4] = {0.0, 0.0, 0.0, 0.0};
  return kiv::hyd::setUp(kiv::hyd::kFlow, {text, *flow_unit, *revflow, *sign, *factor, names, *nnames,
                                   *interpolation, kOnes, kOnes, kZeros, *disc, units},
                                  *level);
}

int SetUpFlowXdPTable(char *text, int *flow_unit, int *revflow, double *factor, char **names,
                      int *nnames, int *interpolation, int *codes, int *ext_modes,
                      double *end_slopes, int *disc, const char *const *units, int *level) {
  return kiv::hyd::setUp(kiv::hyd::kOpening, {text, *flow_unit, *revflow, 1, *factor, names, *nnames,
                                      *interpolation, codes, ext_modes, end_slopes, *disc, units},
                                     *level);
}

int get_flow_from_table_(int *index, int *flow_unit, double *factor, double *values,
                         double *flow) {
  return kiv::hyd::flowFromTable(*index, *flow_unit, *factor, values, *flow) ? 1 : 0;
}

void DetailsFree(void) {
  kiv::hyd::g_details.clear();
}
