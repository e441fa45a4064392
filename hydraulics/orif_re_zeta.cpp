// Orifices described by a loss coefficient zeta or a flow coefficient Cq
// against Re or lambda.  Set-up moves the table onto the scaled pressure
// drop X = |dp| / (rho nu^2), so that an evaluation reads the coefficient
// straight from the pressure drop, without iterating on the flow.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <numeric>
#include <vector>

#include "hydraulics/kiv_hydtables.h"
#include "hydraulics/orif_flow_press.hpp"
#include "hydraulics/orif_re_zeta.hpp"
#include "params/kiv_expr.h"
#include "tables/kiv_interpret.h"
#include "tables/kiv_splinend.h"
#include "tables/kiv_splines.h"
#include "tables/kiv_tablefiles.h"

namespace kiv::hyd {
namespace {

enum Kind { kUnset = -1, kZetaLogLog = 0, kCqOfX = 1, kCqOfRe = 2, kZetaLayers = 3 };

struct ZetaRecord {
  int id = -1;
  int kind = kUnset;
  int interpolation = -1;
  int disc = 0;
  double scale = 0.0;
  double x0 = 0.0;
  double c0 = 0.0;
  int source = -1;  // general set-up: 0 expression, 1 table
  int id2 = -1, id3 = -1;
  int dp_number = 0;  // general set-up: 1 Cq, 2 zeta
  int nvars = 0;      // general set-up: variables of the expression
};

TableRegistry<ZetaRecord> g_structs;

void freeAtEnd(int, int) { FreeAllZeta(); }

int registerZeta(const ZetaRecord &r, const char *label) {
  return g_structs.add(r, label, &freeAtEnd);
}

bool valid(int index) { return g_structs.valid(index); }

[[noreturn]] void fail(const char *message) {
  kivfprintf(stderr, "%s", message);
  KivExit(1);
}

ZetaRecord &recordFor(int index, const char *message) {
  if (!valid(index)) fail(message);
  return g_structs[index];
}

double splineAt(const ZetaRecord &r, double x) {
  return r.interpolation == 1 ? kiv::sp1::CubicValue(r.id, x)
                              : kiv::sp1::LinearValue(r.id, x, r.disc);
}

// Cq of a kind-1 record: linear through the origin up to X0 (laminar), the
// spline of log(1 + X) above.
double cqOfX(const ZetaRecord &r, double X) {
  if (X >= 0.0 && X <= r.x0) return X / r.x0 * r.c0;
  return splineAt(r, std::log(X + 1.0));
}

double zetaOfX(const ZetaRecord &r, double X) {
  if (X >= 0.0 && X <= r.x0) return r.x0 / X / (r.c0 * r.c0);
  return std::exp(splineAt(r, std::log(X)));
}

struct Coefficients {
  double zeta, cq;
};

Coefficients coefficientsAt(const ZetaRecord &r, double X) {
  if (r.kind == kZetaLogLog) {
    const double zeta = zetaOfX(r, X);
    return {zeta, 1.0 / std::sqrt(zeta)};
  }
  if (r.kind == kCqOfX) {
    const double cq = cqOfX(r, X);
    return {cq > 0.0 ? 1.0 / (cq * cq) : 0.0, cq};
  }
  fail("\nCall to get_zeta_from_table_ with invalid spline type.\n");
}

double cqFromDisc(const ZetaRecord &r, double X, double dh, int dp_number);

// ---- Set-up ------------------------------------------------------------------

// Every (Re, coefficient) point finite, else false after "<header>" and a
// message naming the point (1-based, as the sign checks do).
bool allFinite(const char *header, const double *re, const double *coef, int n,
               const char *re_name, const char *name) {
  for (int i = 0; i < n; ++i) {
    if (std::isfinite(re[i]) && std::isfinite(coef[i])) continue;
    kivfprintf(stderr, "%s", header);
    kivfprintf(stderr,
               "\nThe input table contains a point with a non-finite value (%s= %lf, %s= %lf).",
               re_name, re[i], name, coef[i]);
    kivfprintf(stderr, "\nCheck point # %d", i + 1);
    return false;
  }
  return true;
}

// Every point finite and positive, then Re sqrt(zeta) (or Re / Cq) strictly
// increasing.
bool checkTable(const double *coef, const double *re, int n, bool is_cq) {
  const char *header = is_cq ? "\nError detected in SetUpCqTable utility:" : "";
  if (!allFinite(header, re, coef, n, "Re", is_cq ? "Cq" : "zeta")) return false;
  for (int i = 0; i < n; ++i) {
    if (!(coef[i] > 0.0)) {
      kivfprintf(stderr, "%s", header);
      kivfprintf(stderr,
                 is_cq ? "\nThe input table contains a point with negative flow coefficient (%lf)."
                       : "\nThe input table contains a point with negative pressure drop "
                         "coefficient (%lf).",
                 coef[i]);
    } else if (!(re[i] > 0.0)) {
      kivfprintf(stderr, "%s", header);
      kivfprintf(stderr,
                 is_cq ? "\nThe input table contains a point with a negative Reynolds (%lf). All "
                         "points must have Re>0."
                       : "\nThe input table contains a point with a negative Reynolds (%lf). All "
                         "Reynolds should be positive.",
                 re[i]);
    } else {
      continue;
    }
    kivfprintf(stderr, "\nCheck point # %d", i + 1);
    return false;
  }
  auto scaled = [&](int i) { return is_cq ? re[i] / coef[i] : re[i] * std::sqrt(coef[i]); };
  for (int i = 0; i + 1 < n; ++i) {
    if (scaled(i) < scaled(i + 1)) continue;
    kivfprintf(stderr, "%s", header);
    if (is_cq) {
      kivfprintf(stderr, "\nThe input table contains a point with invalid Reynolds / Cq evolution.");
      kivfprintf(stderr, "\nYou must ensure that (Re[i]/Cq[i]) < ( Re[i+1]/Cq[i+1]).");
    } else {
      kivfprintf(stderr,
                 "\nThe input table contains a point with invalid Reynolds / zeta evolution.");
      kivfprintf(stderr, "\nYou must ensure that (Re[i]*sqrt(zeta[i])) < ( Re[i+1]*sqrt(zeta[i+1])).");
    }
    kivfprintf(stderr, "\nPlease check points %d and %d:", i, i + 1);
    const char *name = is_cq ? "cq" : "zeta";
    for (int k : {i, i + 1})
      kivfprintf(stderr,
                 k == i ? "\nwhere Re[%d]= %lf, %s[%d]= %lf, Re[%d]/Cq[%d]= %lf"
                        : "\nand Re[%d]= %lf, %s[%d]= %lf, Re[%d]/Cq[%d]= %lf",
                 k, re[k], name, k, coef[k], k, k, scaled(k));
    return false;
  }
  return true;
}

// Cubic (interpolation 1) or linear spline of y(x).  Only a loss
// coefficient falls with its abscissa (slope -1 on log-log axes); a flow
// coefficient starts with a natural end, so it cannot dip below zero.
int coefficientSpline(int kind, int interpolation, int n, const double *x, const double *y) {
  if (interpolation != 1) {
    return kiv::sp1::CreateLinear(n, x, y, 2, 2);
  }
  const int left = kind == kZetaLogLog ? 2 : 1, right = 2, ext = 1;
  const double left_slope = -1.0, right_slope = 0.0;
  return splinit_(&n, x, y, &left, &left_slope, &right, &right_slope, &ext, &ext);
}

// The record of a new coefficient spline; id -1 on failure, reported as
// "<who> ... <what>" when who is given.
ZetaRecord splineRecord(int kind, int interpolation, int n, const double *x, const double *y,
                        const char *who, const char *what) {
  ZetaRecord r;
  r.id = coefficientSpline(kind, interpolation, n, x, y);
  r.kind = kind;
  r.interpolation = interpolation;
  if (r.id < 0 && who) {
    kivfprintf(stderr, "\nError detected in %s utility:", who);
    kivfprintf(stderr, "\nUnable to set up spline for %s.", what);
  }
  return r;
}

int zetaLogLog(double dh, const double *zeta, const double *re, int interpolation, int n) {
  if (!checkTable(zeta, re, n, false)) {
    kivfprintf(stderr, "\nError detected in SetUpZetaTable utility.");
    return -1;
  }
  std::vector<double> lx(static_cast<size_t>(std::max(n, 0))), lz(lx.size());
  for (size_t i = 0; i < lx.size(); ++i) {
    lx[i] = std::log(re[i] * re[i] * zeta[i] / (2.0 * dh * dh));
    lz[i] = std::log(zeta[i]);
  }
  ZetaRecord r = splineRecord(kZetaLogLog, interpolation, n, lx.data(), lz.data(),
                              "SetUpZetaTable", "zeta(Re)");
  if (r.id < 0) return -1;
  r.scale = dh;
  r.x0 = std::exp(lx[0]);
  r.c0 = 1.0 / std::sqrt(zeta[0]);
  return registerZeta(r, "SetUpZetaTable");
}

int cqOfXTable(double dh, const double *cq, const double *re, int interpolation, int n) {
  std::vector<double> x(static_cast<size_t>(std::max(n, 0)));
  for (size_t i = 0; i < x.size(); ++i)
    x[i] = std::log(1.0 + re[i] * re[i] / (2.0 * dh * dh * cq[i] * cq[i]));
  ZetaRecord r = splineRecord(kCqOfX, interpolation, n, x.data(), cq, nullptr, nullptr);
  if (r.id < 0) return -1;
  r.scale = dh;
  r.x0 = std::expm1(x[0]);
  r.c0 = cq[0];
  return registerZeta(r, "createSplineCqDpScaled");
}

int zetaAsCq(double dh, const double *zeta, const double *re, int interpolation, int n) {
  if (!checkTable(zeta, re, n, false)) {
    kivfprintf(stderr, "\nError detected in SetUpZetaTable2 utility.");
    return -1;
  }
  std::vector<double> cq(static_cast<size_t>(n));
  for (size_t i = 0; i < cq.size(); ++i) cq[i] = 1.0 / std::sqrt(zeta[i]);
  const int index = cqOfXTable(dh, cq.data(), re, interpolation, n);
  if (index < 0) kivfprintf(stderr, "\nUnable to set up spline for zeta(Re).");
  return index;
}

int cqAgainstRe(const double *cq, const double *re, int interpolation, int n) {
  if (!allFinite("\nError detected in SetUpCqReTable utility:", re, cq, n, "Re", "Cq")) return -1;
  for (int i = 0; i < n; ++i) {
    if (cq[i] > 0.0 && re[i] > 0.0) continue;
    kivfprintf(stderr, "\nError detected in SetUpCqReTable utility:");
    if (!(cq[i] > 0.0))
      kivfprintf(stderr,
                 "\nThe input table contains a point with negative pressure drop coefficient "
                 "(%lf).",
                 cq[i]);
    else
      kivfprintf(stderr,
                 "\nThe input table contains a point with a negative Reynolds (%lf). All points "
                 "must have Re>0.",
                 re[i]);
    kivfprintf(stderr, "\nCheck point # %d", i + 1);
    return -1;
  }
  std::vector<double> x{0.0}, y{0.0};
  x.insert(x.end(), re, re + std::max(n, 0));
  y.insert(y.end(), cq, cq + std::max(n, 0));
  const ZetaRecord r =
      splineRecord(kCqOfRe, interpolation, n + 1, x.data(), y.data(), "SetUpCqReTable", "Cq(Re)");
  if (r.id < 0) return -1;
  return registerZeta(r, "SetUpCqReTable");
}

// The Re grid of generated tables: 10 .. 10^9.9 by tenths of a decade.
constexpr int kGridPoints = 90;
std::array<double, kGridPoints> reGrid() {
  std::array<double, kGridPoints> re{};
  for (int k = 0; k < kGridPoints; ++k) re[static_cast<size_t>(k)] = std::pow(10.0, 1.0 + 0.1 * k);
  return re;
}

int zetaFromObject(double dh, int interpolation, int object, double factor, const char *who) {
  const auto re = reGrid();
  std::array<double, kGridPoints> zeta{};
  for (size_t k = 0; k < re.size(); ++k) {
    double x = re[k], f = 0.0;
    if (!kiv::text::Evaluate(object, &x, &f)) {
      kivfprintf(stderr, "\nError detected in %s utility:", who);
      kivfprintf(stderr,
                 "\nUnable to generate properly a spline from this Fanning friction factor table "
                 "or expression.");
      return -1;
    }
    zeta[k] = factor * f;
  }
  return zetaAsCq(dh, zeta.data(), re.data(), interpolation, kGridPoints);
}

// ---- Layers of zeta tables -----------------------------------------------

int zetaLayers(int nlayers, const int *npts, double dh, const double *re, const double *layer,
               const double *zeta) {
  std::vector<double> x, cq, first_x, first_cq;
  size_t offset = 0;
  for (int k = 0; k < nlayers; ++k) {
    const int n = npts[k];
    if (!checkTable(zeta + offset, re + offset, n, false)) {
      kivfprintf(stderr, "\nError detected in setUpZetaTableM1D_ utility.");
      return -1;
    }
    for (size_t i = offset; i < offset + static_cast<size_t>(n); ++i) {
      x.push_back(std::log(1.0 + re[i] * re[i] * zeta[i] / (2.0 * dh * dh)));
      cq.push_back(1.0 / std::sqrt(zeta[i]));
    }
    first_x.push_back(n > 0 ? x[offset] : 0.0);
    first_cq.push_back(n > 0 ? cq[offset] : 0.0);
    offset += static_cast<size_t>(std::max(n, 0));
  }
  const int hold = 2, linear = 0;
  const double zero = 0.0;
  ZetaRecord r;
  r.id = msplinit_(&nlayers, npts, x.data(), layer, cq.data(), &hold, &hold, &hold, &zero, &hold,
                   &zero, &hold, &hold, &linear);
  // The laminar-band ends along the layers, in increasing layer order.
  std::vector<size_t> order(static_cast<size_t>(std::max(nlayers, 0)));
  std::iota(order.begin(), order.end(), size_t{0});
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return layer[a] < layer[b]; });
  std::vector<double> ys, xs, cs;
  for (size_t k : order) {
    ys.push_back(layer[k]);
    xs.push_back(first_x[k]);
    cs.push_back(first_cq[k]);
  }
  r.id2 = kiv::sp1::CreateLinear(nlayers, ys.data(), xs.data(), hold, hold);
  r.id3 = kiv::sp1::CreateLinear(nlayers, ys.data(), cs.data(), hold, hold);
  if (r.id < 0 || r.id2 < 0 || r.id3 < 0) {
    if (r.id >= 0) kiv::sp1::FreeMulti(r.id);
    if (r.id3 >= 0) kiv::sp1::FreeLinear(r.id3);
    if (r.id2 >= 0) kiv::sp1::FreeLinear(r.id2);
    return -1;
  }
  r.kind = kZetaLayers;
  r.interpolation = 2;
  r.scale = dh;
  return registerZeta(r, "setUpZetaTableM1D_");
}

// ---- General set-up ----------------------------------------------------------

constexpr int kMaxVariables = 512;

struct DiscArgs {
  const char *text;
  int dp_number, flow_number, table_type, sign;
  double dh;
  char **names;
  int nnames, interpolation, disc;
};

bool rangesOk(const DiscArgs &a) {
  const char *message = nullptr;
  if (a.dp_number < 1 || a.dp_number > 2)
    message = "pressure drop number must be in range [1, 2]";
  else if (a.flow_number < 1 || a.flow_number > 2)
    message = "number of flow must be in range [1, 2]";
  else if (a.table_type < 1 || a.table_type > 2)
    message = "number of table type must be in range [1, 2]";
  else if (a.interpolation < 1 || a.interpolation > 2)
    message = "interpolation type must be in range [1, 2]";
  else if (a.disc != 0 && a.disc != 1)
    message = "discontinuity flag must be in range [0, 1]";
  if (message) kivfprintf(stderr, "\nError in SetUpCqTable_disc2_ utility: %s.\n", message);
  return message == nullptr;
}

// source 0: expression id, 1: table spline id.
int registerDisc(const DiscArgs &a, int id, int source) {
  ZetaRecord r;
  r.id = id;
  r.source = source;
  r.nvars = source == 0 ? a.nnames : 0;
  r.disc = a.disc;
  r.scale = a.dh;
  r.dp_number = a.dp_number;
  return registerZeta(r, "instantiateOrifStructs");
}

int discExpression(const DiscArgs &a, int id, int &level) {
  if (a.disc == 0) {
    int off = 0;
    exphandledisc_(&id, &off);
  }
  if (a.nnames > kMaxVariables) {
    kivfprintf(stderr,
               "\nError in SetUpCqTable_disc_: the number of variables in the expression is "
               "limited to %d.\n",
               kMaxVariables);
    expfree_(&id);
    return -1;
  }
  if (a.flow_number != 1) {
    kivfprintf(stderr,
               "\nError: expression other than zeta = f(lambda) or Cq = f(lambda) is not "
               "allowed.\n");
    raiseLevel(level, 2);
    expfree_(&id);
    return -1;
  }
  if (a.dp_number == 2) {
    kivfprintf(stderr,
               "\nWarning: you are using an expression zeta = f(lambda).                        "
               "     You should check the value zeta(0) (should be infinite).\n");
    kivfprintf(stderr,
               "\nOtherwise, it is strongly recommended to use an expression Cq = f(lambda) with "
               "Cq(0) = 0.");
    raiseLevel(level, 1);
  } else {
    std::array<double, kMaxVariables> zeros{};
    double value = 0.0;
    if (!expeval_(&id, zeros.data(), &value)) {
      kivfprintf(stderr, "\nError: unable to evaluate expression '%s' at zero.\n", a.text);
      raiseLevel(level, 2);
    } else if (value != 0.0) {
      kivfprintf(stderr, "\nCq(0) must be equal to 0.\n");
      raiseLevel(level, 2);
    }
  }
  return registerDisc(a, id, 0);
}

struct Freed {
  void operator()(void *p) const { std::free(p); }
};

int discTable(const DiscArgs &a, int &level) {
  int format = GetTableFormat(a.text);
  if (format == KIV_TABLE_UNKNOWN) {
    kivfprintf(stderr, "\nWarning: the format of the table is not explicitly mentioned in %s.",
               a.text);
    kivfprintf(stderr, "\nThe input table is supposed to be 1D.\n");
    raiseLevel(level, 1);
    format = KIV_TABLE_1D;
  }
  if (format == KIV_TABLE_NOT_FOUND) {
    kivfprintf(stderr, "\nError in SetUpCqTable_disc2_: unable to open file '%s'.\n", a.text);
    int id = CheckExpression(a.text, a.nnames, a.names);
    if (id >= 0) expfree_(&id);
    kivfprintf(stderr,
               "\nError in SetUpCqTable_disc2_: unable to interpret the string '%s' as an "
               "expression or a filename.\n",
               a.text);
    return -1;
  }
  if (format != KIV_TABLE_1D) {
    kivfprintf(stderr, "\nError in SetUpCqTable_disc2_: table format not managed for filename '%s'.\n",
               a.text);
    return -1;
  }
  int dim = 1, *sz = nullptr;
  double *ax = nullptr, *val = nullptr;
  const int ok = rtablend_(a.text, &dim, &sz, &ax, &val, nullptr);
  std::unique_ptr<int, Freed> o1(sz);
  std::unique_ptr<double, Freed> o2(ax), o3(val);
  if (!ok || !sz || sz[0] < 1) {
    kivfprintf(stderr,
               "\nError in SetUpCqTable_disc2_: unable to interpret the string '%s' as a "
               "filename.\n",
               a.text);
    return -1;
  }
  DpTable t;
  t.dp.assign(ax, ax + sz[0]);
  t.values.assign(val, val + sz[0]);
  if (!allFinite("\nError in SetUpCqTable_disc2_ utility:", ax, val, sz[0],
                 a.flow_number == 1 ? "lambda" : "Re", a.dp_number == 2 ? "zeta" : "Cq")) {
    raiseLevel(level, 2);
    return -1;
  }
  for (int i = 0; i < t.n(); ++i) {
    const double x = t.dp[static_cast<size_t>(i)], c = t.values[static_cast<size_t>(i)];
    const bool bad_x = x < 0.0, bad_c = c < 0.0, bad_zeta = a.dp_number == 2 && c == 0.0;
    if (!bad_x && !bad_c && !bad_zeta) continue;
    kivfprintf(stderr, "\nError in SetUpCqTable_disc2_ utility:");
    if (bad_x)
      kivfprintf(stderr,
                 "\nThe input table contains a point with negative Re or lambda (%lf).          "
                 "        This coefficient must be positive.",
                 x);
    else if (bad_c)
      kivfprintf(stderr,
                 "\nThe input table contains a point with negative Cq or zeta (%lf).            "
                 "      This coefficient must be positive.",
                 c);
    else
      kivfprintf(stderr,
                 "\nThe table %s shows a zero value for pressure drop                  "
                 "coefficient (zeta).\n",
                 a.text);
    return -1;
  }
  for (size_t i = 0; i < t.dp.size(); ++i) {
    double &c = t.values[i];
    const double x = t.dp[i];
    if (a.dp_number == 2) {
      if (x != 0.0) {
        c = 1.0 / std::sqrt(c);
      } else {
        c = 0.0;
        kivfprintf(stderr,
                   "\nThe input table %s specified a value for zeta at zero lambda or Re.       "
                   "              Data are processed so as to ensure zero flow rate at zero "
                   "lambda.\n",
                   a.text);
        raiseLevel(level, 1);
      }
    }
    const double dh2 = a.dh * a.dh;
    t.dp[i] = a.flow_number == 1 ? x * x * 0.5 / dh2 : (c > 0.0 ? x * x * 0.5 / (dh2 * c * c) : 0.0);
  }
  // Finite points may still overflow, or meet a zero diameter.
  if (const long bad = firstNonFinite(t.dp.data(), t.dp.size()); bad >= 0) {
    kivfprintf(stderr, "\nError in SetUpCqTable_disc2_ utility:");
    kivfprintf(stderr,
               "\nThe table %s gives a non-finite scaled pressure drop at point # %ld"
               " (hydraulic diameter %lf).\n",
               a.text, bad + 1, a.dh);
    raiseLevel(level, 2);
    return -1;
  }
  int position = 0, found = 0;
  check_point_in_zero_1D_2D(a.text, t, position, found, level);
  add_point_in_zero_1D_2D(t, position);
  for (double &x : t.dp) x = std::log1p(x);
  for (double &c : t.values) c = std::cbrt(c);
  if (a.table_type == 1)
    symmetry_1D_2D_table(t);
  else if (a.sign == -1)
    change_sign_1D_2D(t);
  const int size = t.n(), codes[2] = {2, 2}, ext[2] = {1, 1};
  const double slopes[2] = {0.0, 0.0};
  double *axes[1] = {t.dp.data()};
  const int id =
      a.interpolation == 2
          ? kiv::nd::CreateLinearND(1, &size, axes, t.values.data(), codes, a.disc)
          : kiv::nd::CreateCubicND(1, 1, &size, axes, t.values.data(), codes, slopes, ext, a.disc);
  if (id < 0) {
    kivfprintf(stderr, "\nError in SetUpCqTable_disc2_: unable to create spline.\n");
    kivfprintf(stderr, "\nPlease check data from file '%s'.\n", a.text);
    if (a.flow_number == 2)
      kivfprintf(stderr, "\nIf x-values are indeed monotonic, then a lambda table may solve the issue.\n");
    return -1;
  }
  return registerDisc(a, id, 1);
}

int setUpDisc(const DiscArgs &a, int &level) {
  level = 0;
  if (!rangesOk(a)) return -1;
  const int id = CheckExpressionQuietly(QOR_XB_GlobalSystem, a.text, a.nnames, a.names, 1);
  return id >= 0 ? discExpression(a, id, level) : discTable(a, level);
}

double cqFromDisc(const ZetaRecord &r, double X, double dh, int dp_number) {
  if (dp_number < 1 || dp_number > 2)
    fail("\nError in get_cq_from_table_disc2 utility: pressure drop number must be in range [1, "
         "2].\n");
  if (r.source == 0) {
    std::array<double, kMaxVariables> values;  // only the variables in use are set
    std::fill_n(values.begin(), std::max(r.nvars, 1), 0.0);
    values[0] = dh * std::sqrt(2.0 * std::fabs(X));
    double v = 0.0;
    int id = r.id;
    expeval_(&id, values.data(), &v);
    if (v < 0.0) {
      kivfprintf(stderr, "\nError in get_cq_from_table_disc2 utility:\n");
      fail("\nThe value of cq or zeta must be positive.\n");
    }
    double cq = v;
    if (dp_number == 2) {
      if (v <= 0.0) {
        kivfprintf(stderr, "\nThe expression shows a zero value for pressure drop coefficient (zeta).\n");
        cq = 0.0;
      } else {
        cq = 1.0 / std::sqrt(v);
      }
    }
    return X < 0.0 ? -cq : cq;
  }
  if (r.source != 1) fail("\nError in get_cq_from_table_disc2 utility: not the correct type.\n");
  if (dh <= 0.0) return 0.0;
  const double u = X >= 0.0 ? std::log1p(X) : -std::log1p(-X);
  double s = 0.0;
  kiv::nd::SplineValue(r.id, &u, &s);
  return s * s * s;
}

ZetaRecord &discRecord(int index) {
  if (!valid(index)) {
    kivfprintf(stderr, "Call to get_cq_from_table_disc2 with an invalid index %d\n", index);
    fail("No expression structure or spline has been created with this index.\n");
  }
  return g_structs[index];
}

}  // namespace

double cqFromTable(double key, int index) {
  const ZetaRecord &r = recordFor(index, "\nCall to get_cq_from_table_ with invalid index\n");
  switch (r.kind) {
    case kCqOfRe:
      return splineAt(r, key);
    case kCqOfX:
      return cqOfX(r, key);
    case kZetaLogLog:
      return 1.0 / std::sqrt(zetaOfX(r, key));
    case kZetaLayers:
      fail("\nCall to get_cq_from_table_ with a table of layers: a layer value is needed.\n");
    default:
      return cqFromDisc(r, key, r.scale, r.dp_number);
  }
}

}  // namespace kiv::hyd

using namespace kiv::hyd;

int SetUpZetaTable_(double *dh, double *zeta, double *re, int *interpolation, int *n) {
  return zetaLogLog(*dh, zeta, re, *interpolation, *n);
}

int SetUpZetaTable2_(double *dh, double *zeta, double *re, int *interpolation, int *n) {
  return zetaAsCq(*dh, zeta, re, *interpolation, *n);
}

int SetUpCqTable_(double *dh, double *cq, double *re, int *interpolation, int *n) {
  if (!checkTable(cq, re, *n, true)) return -1;
  const int index = cqOfXTable(*dh, cq, re, *interpolation, *n);
  if (index < 0) {
    kivfprintf(stderr, "\nError detected in SetUpCqTable utility:");
    kivfprintf(stderr, "\nUnable to set up spline for Cq(Re).");
  }
  return index;
}

int createSplineCqDpScaled_(double *dh, double *cq, double *re, int *interpolation, int *n) {
  return cqOfXTable(*dh, cq, re, *interpolation, *n);
}

int SetUpCqReTable_(double *cq, double *re, int *interpolation, int *n) {
  return cqAgainstRe(cq, re, *interpolation, *n);
}

int getZetaDpSplineFromZetaReTable1D_(char *file, double *dh, int *interpolation, int halve,
                                      int *index) {
  *index = -1;
  int n = 0;
  double *px = nullptr, *py = nullptr;
  rtable1d_(file, &n, &px, &py);
  std::unique_ptr<double, Freed> ox(px), oy(py);
  if (n < 1 || !px || !py) {
    kivfprintf(stderr, "\nCheck the path of the table : '%s'\n", file);
    return 2;
  }
  // Before the order check and the warnings, which would misread them.
  if (!allFinite("", px, py, n, "Re", "zeta")) {
    kivfprintf(stderr, "\nInvalid zeta=f(Re) filename '%s'\n", file);
    return 2;
  }
  if (px[0] > px[n - 1]) {
    kivfprintf(stderr,
               "\ntabulated flow dimensionless number Re must be strictly increasing in the table "
               ": '%s'.\n",
               file);
    return 2;
  }
  if (halve == 1)
    for (int i = 0; i < n; ++i) py[i] *= 0.5;
  bool warned = false;
  if (px[0] < 10.0) {
    kivfprintf(stderr, "\n Re[1] < 10 in the input table '%s'. \n", file);
    kivfprintf(stderr, "\n If Re < 10  flow is assumed to be laminar. \n");
    kivfprintf(stderr,
               "\n Please check carefully the first point (Re= %lf; zeta = %lf) in the table : "
               "'%s'.\n",
               px[0], py[0], file);
    warned = true;
  }
  if (px[0] * py[0] < 50.0) {
    kivfprintf(stderr,
               "\n d(K) / d(Re) is very high when (Re) tends to 0 value in the table : '%s'.\n",
               file);
    kivfprintf(stderr, "\n This may induce numerical problems. \n");
    kivfprintf(stderr, "\n Please check the first point (Re= %lf; zeta= %lf) in the table : '%s'.\n",
               px[0], py[0], file);
    warned = true;
  }
  // The caller counts 1 linear, 2 cubic: its variable is turned into this
  // library's code (1 cubic, else linear) in place.
  *interpolation = 3 - *interpolation;
  *index = zetaAsCq(*dh, py, px, *interpolation, n);
  if (*index < 0) {
    kivfprintf(stderr, "\nInvalid zeta=f(Re) filename '%s'\n", file);
    return 2;
  }
  return warned ? 1 : 0;
}

int getZetaDpSplineFromZetaReExpression_(int *expression, double *dh, int *interpolation,
                                         int halve, int *index) {
  *index = -1;
  auto re = reGrid();
  std::array<double, kGridPoints> zeta{};
  for (size_t k = 0; k < re.size(); ++k) {
    if (!expeval_(expression, &re[k], &zeta[k])) {
      kivfprintf(stderr, "\nError detected in getZetaDpSplineFromZetaReExpression_ utility:");
      kivfprintf(stderr, "\nUnable to generate properly a spline from this Zeta expression.");
      return 2;
    }
    if (halve == 1) zeta[k] *= 0.5;
  }
  *index = zetaAsCq(*dh, zeta.data(), re.data(), *interpolation, kGridPoints);
  return *index < 0 ? 2 : 0;
}

int SetUpZetaFanningFactor_(double *dh, double *a, double *b, int *object) {
  return zetaFromObject(*dh, 1, *object, *b / *a, "SetUpZetaFanningFactor_");
}

int SetUpZetaFromFanningFactor_(double *dh, double *L, int *interpolation, int *object,
                                double *c) {
  return zetaFromObject(*dh, *interpolation, *object, *L / *dh * *c * 4.0,
                        "SetUpZetaFromFanningFactor_");
}

int setUpZetaTableM1D_(int *nlayers, int *npts, double *dh, double *re, double *layer,
                       double *zeta) {
  return zetaLayers(*nlayers, npts, *dh, re, layer, zeta);
}

void get_zeta_from_table_(double *X, double *zeta, int *index) {
  *zeta = coefficientsAt(recordFor(*index, "\nCall to get_zeta_from_table_ with invalid index\n"),
                         *X)
              .zeta;
}

void get_cq_from_table_(double *key, double *cq, int *index) { *cq = cqFromTable(*key, *index); }

void orif_zeta_(double *dp, double *dh, double *A, double *re, double *v, double *q, double *zeta,
                double *rho, double *nu, int *index) {
  if (*dp == 0.0) {
    *zeta = *v = *re = *q = 0.0;
    return;
  }
  const ZetaRecord &r = recordFor(*index, "\nCall to orif_zeta_ with invalid index.\n");
  const double X = std::fabs(*dp) / (*nu * *nu * *rho);
  const Coefficients c = coefficientsAt(r, X);
  // v = Cq w rather than w / sqrt(zeta): a closed table (Cq <= 0, zeta 0)
  // gives no flow instead of a division by zero.
  const double speed = c.cq * std::sqrt(2.0 * std::fabs(*dp) / *rho);
  *zeta = c.zeta;
  *re = std::fabs(speed) * *dh / *nu;
  *v = *dp < 0.0 ? -speed : speed;
  *q = *v * *A;
}

double orif_zeta_M1D_(int *index, double *dh, double *A, double *dp, double *layer, double *rho,
                      double *nu, double *zeta, double *re, double *v) {
  if (*dp == 0.0) {
    *zeta = *re = *v = 0.0;
    return 0.0;
  }
  const ZetaRecord &r = recordFor(*index, "\nCall to orif_zeta_M1D_ with invalid index.\n");
  if (r.kind != kZetaLayers) fail("\nIncorrect call to orif_zeta_M1D_.\n");
  const double X = std::fabs(*dp) / (*nu * *nu * *rho), L = std::log(X + 1.0);
  const double L0 = kiv::sp1::LinearValue(r.id2, *layer, 0);
  const double cq = L < L0 ? X * kiv::sp1::LinearValue(r.id3, *layer, 0) / std::expm1(L0)
                           : kiv::sp1::MultiValue(r.id, L, *layer, 0);
  const double speed = cq * std::sqrt(2.0 * std::fabs(*dp) / *rho);
  *zeta = cq > 0.0 ? 1.0 / (cq * cq) : 0.0;
  *re = std::fabs(speed) * *dh / *nu;
  *v = *dp < 0.0 ? -speed : speed;
  return *v * *A;
}

void get_zeta_finarray_(double *a, double *b, int *object, double *x, double *zeta, double *F) {
  *F = 0.0;
  kiv::text::Evaluate(*object, x, F);
  *zeta = *b / *a * *F;
}

int SetUpCqTable_disc2_(char *text, int *dp_number, int *flow_number, int *table_type, int *sign,
                        double *dh, char **names, int *nnames, int *interpolation, int *disc,
                        int *level) {
  return setUpDisc({text, *dp_number, *flow_number, *table_type, *sign, *dh, names, *nnames,
                    *interpolation, *disc},
                   *level);
}

int SetUpCqTable_disc_(char *text, int *dp_number, int *flow_number, int *table_type, int *sign,
                       double *dh, int *interpolation, int *disc, int *level) {
  return setUpDisc({text, *dp_number, *flow_number, *table_type, *sign, *dh, nullptr, 0,
                    *interpolation, *disc},
                   *level);
}

void get_cq_from_table_disc2(double *X, double *dh, int *dp_number, int *index, double *cq) {
  *cq = cqFromDisc(discRecord(*index), *X, *dh, *dp_number);
}

void get_cq_from_table_disc(double *p1, double *p2, double *rho, double *nu, int *index,
                            double *cq) {
  // The diameter and coefficient kind are those the table was set up with.
  const ZetaRecord &r = discRecord(*index);
  *cq = cqFromDisc(r, (*p2 - *p1) / (*rho * *nu * *nu), r.scale, r.dp_number);
}

void FreeAllZeta(void) {
  g_structs.clear();
}
