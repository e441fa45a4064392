// The interpreter of text parameters: an expression over the caller's
// variables, a table file (grid, T1D, T3D) or a response-surface file, kept
// as one id and evaluated with derivatives.  Each slot records the registry
// its object came from, so evaluation and release never take an id of one
// registry for one of another.
#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdlib>
#include <string>
#include <vector>

#include "params/kiv_expr.h"
#include "tables/kiv_interpret.h"
#include "tables/kiv_splinend.h"
#include "tables/kiv_splines.h"
#include "tables/kiv_tablefiles.h"
#include "tables/rsm.hpp"
#include "tables/rtable.hpp"
#include "tables/splines1d.hpp"

namespace {

constexpr int kMaxVariables = 512;
constexpr int kMaxAxes = 8;

enum class Owner { None, Expression, NDSpline, Multi, Multi3, Linear, Bilinear, OldRsm, Rsm };

struct Slot {
  int object = -1;
  int kind = -1;
  int inputs = 0;
  int outputs = 0;
  int format = -1;
  int disc = 1;
  std::vector<int> pivot;  // table axis k takes the caller's variable pivot[k]
  Owner owner = Owner::None;
};

kiv::sp1::Registry<Slot> g_reg;

void AtEnd(int, int) { FreeAllExpressStructures(); }

int store(Slot s) {
  size_t id = 0;
  while (id < g_reg.items.size() && g_reg.items[id].kind != -1) ++id;
  kiv::guardAllocation("AllocateExpressStructure", [&] {
    if (id == g_reg.items.size()) g_reg.items.emplace_back();
  });
  g_reg.hook(&AtEnd);
  g_reg.items[id] = std::move(s);
  return static_cast<int>(id);
}

void noStructure(const char *who, int id, const char *tail) {
  kivfprintf(stderr, "Call to %s with an invalid index %d\n", who, id);
  kivfprintf(stderr, "No expression structure or spline has been created with this index%s\n",
             tail);
}

Slot *slotOf(int id, const char *who) {
  if (g_reg.inRange(id)) return &g_reg.items[static_cast<size_t>(id)];
  noStructure(who, id, "");
  return nullptr;
}

int quietExpression(const char *text, int n, char **names) {
  return CheckExpressionQuietly(GetGlobalSystem(), text, n, names, 1);
}

// ---- Creation of tables -----------------------------------------------------

// Settings of the table axes, taken from the caller's variables.
struct Axes {
  int dim = 0;
  std::vector<int> pivot;
  std::array<int, 2 * kMaxAxes> bound, ext;
  std::array<double, 2 * kMaxAxes> slopes{};
  std::vector<std::string> units;  // values, then one per axis

  Axes() {
    bound.fill(-1);
    ext.fill(-1);
  }
  std::vector<const char *> unitList() const {
    std::vector<const char *> l;
    for (const std::string &u : units) l.push_back(u.c_str());
    return l;
  }
};

void settings(Axes &ax, int nnames, const int *bound, const int *ext, const double *slopes,
              char **units) {
  ax.units.assign(static_cast<size_t>(ax.dim) + 1, "");
  if (units && units[0]) ax.units[0] = units[0];
  const int axes = ax.pivot.empty() ? std::min(ax.dim, nnames) : ax.dim;
  for (int k = 0; k < axes; ++k) {
    const int v = ax.pivot.empty() ? k : ax.pivot[static_cast<size_t>(k)];
    for (int s = 0; s < 2; ++s) {
      if (bound) ax.bound[static_cast<size_t>(2 * k + s)] = bound[2 * v + s];
      if (ext) ax.ext[static_cast<size_t>(2 * k + s)] = ext[2 * v + s];
      if (slopes) ax.slopes[static_cast<size_t>(2 * k + s)] = slopes[2 * v + s];
    }
    if (units && units[v + 1]) ax.units[static_cast<size_t>(k) + 1] = units[v + 1];
  }
}

// The axis tokens of the table matched against the names: true with the
// pivot (empty without tokens), false after the message.
bool matchTokens(const char *text, int dim, char **names, int nnames, std::vector<int> &pivot) {
  char **tokens = nullptr;
  int ntokens = 0;
  if (!kiv_get_table_tokens(text, &tokens, &ntokens)) return false;
  struct Release {
    char **t;
    int n;
    ~Release() {
      for (int i = 0; i < n; ++i) std::free(t[i]);
      std::free(t);
    }
  } release{tokens, ntokens};
  if (!tokens || ntokens == 0) return true;
  for (int k = 0; k < dim; ++k)
    if (k >= ntokens || !tokens[k] || !tokens[k][0]) {
      kivfprintf(stderr, "\nError in strinit(u): token %d is missing from table.\n", k + 1);
      return false;
    }
  std::string msg;
  if (nnames < 1) msg += "the second list is empty.\n";
  if (nnames >= 1 && dim > nnames) msg += "the second list is too small.\n";
  const int tdup = kiv_list_items_are_unique(tokens, dim);
  if (tdup >= 0) msg += std::string("The token '") + tokens[tdup] + "' appears twice in the list.\n";
  const int ndup = kiv_list_items_are_unique(names, nnames);
  if (ndup >= 0) msg += std::string("The token '") + names[ndup] + "' appears twice in the list.\n";
  for (int k = 0; k < dim; ++k) {
    const int v = nnames > 0 ? GetStringIndexInCharArray(tokens[k], names, nnames) : -1;
    if (v < 0) msg += std::string("The token '") + tokens[k] + "' belongs to one list only.\n";
    pivot.push_back(v);
  }
  if (msg.empty()) return true;
  kivfprintf(stderr, "\nError in strinit(u): %s", msg.c_str());
  pivot.clear();
  return false;
}

template <class T>
struct Malloced {
  T *p = nullptr;
  ~Malloced() { std::free(p); }
};

// A grid table as an N-D spline: its id or -1.
int gridSpline(const char *text, Axes &ax, int interp, int disc) {
  Malloced<int> sizes;
  Malloced<double> axes, values;
  int d = ax.dim;
  const std::vector<const char *> units = ax.unitList();
  if (!rtablend_(text, &d, &sizes.p, &axes.p, &values.p, units.data())) return -2;
  std::array<double *, kMaxAxes> ap{};
  size_t at = 0;
  for (int k = 0; k < d; ++k) {
    ap[static_cast<size_t>(k)] = axes.p + at;
    at += static_cast<size_t>(sizes.p[k]);
  }
  if (interp <= 0) {
    kivfprintf(stderr, "\nAllowed values for interpolation type are %d,%d or %d.\n", 1, 2, 3);
    return -1;
  }
  if (interp == 1)
    return kiv::nd::CreateConstantND(d, sizes.p, ap.data(), values.p, ax.bound.data(), disc);
  if (interp == 2)
    return kiv::nd::CreateLinearND(d, sizes.p, ap.data(), values.p, ax.bound.data(), disc);
  return kiv::nd::CreateCubicND(interp - 2, d, sizes.p, ap.data(), values.p, ax.bound.data(),
                                ax.slopes.data(), ax.ext.data(), disc);
}

struct Layered {
  int type, left, right;
};

Layered layered(const Axes &ax, int interp) {
  if (interp < 3) return {0, ax.bound[0], ax.bound[1]};
  return {interp - 2, ax.ext[0], ax.ext[1]};
}

int multiSpline(const char *text, const Axes &ax, int interp) {
  Malloced<int> sizes;
  Malloced<double> x, y, z;
  const std::vector<const char *> units = ax.unitList();
  const int n = rtablemd_(text, &sizes.p, &x.p, &y.p, &z.p, units.data());
  if (n < 0) return -2;
  int top, bottom;
  kiv::text::StackCodes(ax.bound[2], ax.bound[3], top, bottom);
  const Layered l = layered(ax, interp);
  return msplinit_(&n, sizes.p, x.p, y.p, z.p, &top, &bottom, &ax.bound[0], &ax.slopes[0],
                   &ax.bound[1], &ax.slopes[1], &l.left, &l.right, &l.type);
}

int multi3Spline(const char *text, const Axes &ax, int interp) {
  int parts = 0;
  Malloced<int> pps, spp;
  Malloced<double> x, y, z, w;
  const std::vector<const char *> units = ax.unitList();
  const int total =
      rtablem3d_(text, &parts, &pps.p, &spp.p, &x.p, &y.p, &z.p, &w.p, units.data());
  if (total < 0) return -2;
  int top, bottom;
  kiv::text::StackCodes(ax.bound[2], ax.bound[3], top, bottom);
  const Layered l = layered(ax, interp);
  return m3dsplinit_(&parts, &total, pps.p, spp.p, x.p, y.p, z.p, w.p, &top, &bottom,
                     &ax.bound[0], &ax.slopes[0], &ax.bound[1], &ax.slopes[1], &l.left,
                     &l.right, &l.type);
}

int checkFailure(const char *text) {
  kivfprintf(stderr, "\nPlease check data from file '%s'\n", text);
  return -1;
}

int createTable(char *text, int format, int *dim, char **names, int nnames, int interp,
                const int *bound, const int *ext, const double *slopes, int disc, char **units) {
  const int tdim = kiv::tables::dimOfFormat(format);
  if (*dim >= 0 && tdim != *dim) {
    kivfprintf(stderr,
               "\nError in strinit(u): table dimension (%d) does not correspond to input value "
               "(dim=%d).\n",
               tdim, *dim);
    return -1;
  }
  // Evaluation reads one caller variable per axis.
  if (tdim > nnames) {
    kivfprintf(stderr,
               "\nError in strinit(u): table dimension (%d) does not correspond to number of "
               "tokens (%d).\n",
               tdim, nnames);
    return -1;
  }
  *dim = tdim;
  if (disc != 0 && disc != 1) {
    kivfprintf(stderr, "\nError in strinit(u): discontinuity flag must be in range [0,1].\n");
    return -1;
  }
  Axes ax;
  ax.dim = tdim;
  if (!matchTokens(text, tdim, names, nnames, ax.pivot)) return -1;
  settings(ax, nnames, bound, ext, slopes, units);
  Slot s;
  s.kind = 1;
  s.inputs = tdim;
  s.outputs = 1;
  s.format = format;
  s.disc = disc;
  s.pivot = ax.pivot;
  int id;
  const char *what;
  if (format == KIV_TABLE_T1D) {
    id = multiSpline(text, ax, interp);
    s.owner = Owner::Multi;
    what = "multi 1D spline";
  } else if (format == KIV_TABLE_T3D) {
    id = multi3Spline(text, ax, interp);
    s.owner = Owner::Multi3;
    what = "3D multi 1D spline";
  } else {
    id = gridSpline(text, ax, interp, disc);
    s.owner = Owner::NDSpline;
    what = "spline";
  }
  if (id == -2) return -1;  // the reader said why
  if (id < 0) {
    kivfprintf(stderr, "\nError in strinit(u): unable to create %s.\n", what);
    return checkFailure(text);
  }
  s.object = id;
  return store(std::move(s));
}

// Evaluation reads one caller variable per input.
bool fitsCaller(int inputs, int nnames) {
  if (inputs <= nnames) return true;
  kivfprintf(stderr,
             "\nError in strinit(u): rsm number of inputs (%d) exceeds the number of variables "
             "(%d).\n",
             inputs, nnames);
  return false;
}

int createTitledRsm(char *text, int *dim, int nnames, Slot &s) {
  const int id = kiv::rsm::createTitled(text, 2, s.disc);
  if (id < 0) {
    kivfprintf(stderr, "\nError in strinit(u): unable to create response surface model.\n");
    return -1;
  }
  const int inputs = kiv::rsm::titledInputs(id), outputs = kiv::rsm::titledOutputs(id);
  bool ok = true;
  if (*dim >= 1 && *dim != inputs) {
    kivfprintf(stderr,
               "\nError in strinit(u): rsm number of inputs (%d) does not correspond to number "
               "of inputs (%d).\n",
               inputs, *dim);
    ok = false;
  } else if (outputs > 1) {
    kivfprintf(stderr,
               "\nError in strinit(u): rsm contains %d outputs. Only one output allowed.\n",
               outputs);
    ok = false;
  } else {
    ok = fitsCaller(inputs, nnames);
  }
  if (!ok) {
    kiv::rsm::freeTitled(id);
    return -1;
  }
  s.kind = 3;
  s.owner = Owner::Rsm;
  s.inputs = inputs;
  return id;
}

int createOldRsm(char *text, int *dim, int nnames, Slot &s) {
  kiv::rsm::OldFile f;
  if (!kiv::rsm::readOld(text, f)) return -1;
  if (*dim >= 1 && *dim != f.n) {
    kivfprintf(stderr,
               "\nError in strinit(u): table dimension does not correspond to input value (%d "
               "and %d).\n",
               *dim, f.n);
    return -1;
  }
  if (f.responses > 1) {
    kivfprintf(stderr,
               "\nError in strinit(u): rsm table contains %d outputs. Only one output allowed.\n",
               f.responses);
    return -1;
  }
  if (f.n > kMaxVariables) {
    kivfprintf(stderr, "\nError in strinit(u): rsm number of inputs (%d) is limited to %d.\n", f.n,
               kMaxVariables);
    return -1;
  }
  if (!fitsCaller(f.n, nnames)) return -1;
  const int id = kiv::rsm::createOld(f);
  if (id < 0) {
    kivfprintf(stderr, "\nError in strinit(u): unable to create response surface model.\n");
    return -1;
  }
  s.kind = 2;
  s.owner = Owner::OldRsm;
  s.inputs = f.n;
  return id;
}

int createRsm(char *text, int format, int *dim, int nnames, int disc) {
  Slot s;
  s.outputs = 1;
  s.format = format;
  s.disc = disc;
  const int id = format == KIV_TABLE_RSM ? createTitledRsm(text, dim, nnames, s)
                                         : createOldRsm(text, dim, nnames, s);
  if (id < 0) return checkFailure(text);
  if (*dim < 0) *dim = s.inputs;
  s.object = id;
  return store(std::move(s));
}

// ---- Evaluation -------------------------------------------------------------

// The table axis fed by caller variable k (1-based), 0 for none.
int axisOf(const Slot &s, int k) {
  if (s.pivot.empty()) return k >= 1 && k <= s.inputs ? k : 0;
  int a = 0;
  for (size_t i = 0; i < s.pivot.size(); ++i)
    if (s.pivot[i] == k - 1) a = static_cast<int>(i) + 1;
  return a;
}

std::array<double, kMaxAxes> axisValues(const Slot &s, const double *x) {
  std::array<double, kMaxAxes> a{};
  const int n = std::min(s.inputs, kMaxAxes);
  for (int k = 0; k < n; ++k) a[static_cast<size_t>(k)] = s.pivot.empty() ? x[k] : x[s.pivot[static_cast<size_t>(k)]];
  return a;
}

int unknownType(const char *who, const Slot &s) {
  kivfprintf(stderr, "Call to %s with unknown object type %d\n", who, s.kind);
  return 0;
}

int evaluate(Slot &s, double *x, double *y) {
  int id = s.object;
  const int &disc = s.disc;
  if (s.owner == Owner::Expression) return expeval_(&id, x, y);
  if (s.owner == Owner::OldRsm) return kiv::rsm::evalOld(id, -1, x, y);
  if (s.owner == Owner::Rsm) return kiv::rsm::evalTitled(id, nullptr, 0, x, y) != 0;
  const std::array<double, kMaxAxes> a = axisValues(s, x);
  switch (s.owner) {
    case Owner::NDSpline:
      return kiv::nd::SplineValue(id, a.data(), y);
    case Owner::Multi:
      *y = kiv::sp1::MultiValue(id, a[0], a[1], disc);
      return 1;
    case Owner::Multi3:
      *y = kiv::sp1::Multi3Value(id, a[0], a[1], a[2], disc);
      return 1;
    case Owner::Linear:
      *y = kiv::sp1::LinearValue(id, a[0], disc);
      return 1;
    case Owner::Bilinear:
      *y = kiv::sp1::BilinearValue(id, a[0], a[1], disc);
      return 1;
    default:
      return unknownType("streval", s);
  }
}

int slope(Slot &s, int k, double *x, double *dy) {
  int id = s.object;
  const int &disc = s.disc;
  if (s.owner == Owner::Expression) return expevald_(&id, &k, x, dy);
  if (s.owner == Owner::None) return unknownType("strevald", s);
  const int a = s.owner == Owner::OldRsm || s.owner == Owner::Rsm
                    ? (k >= 1 && k <= s.inputs ? k : 0)
                    : axisOf(s, k);
  if (a == 0) {
    *dy = 0.0;
    return 1;
  }
  if (s.owner == Owner::OldRsm) return kiv::rsm::evalOldD(id, -1, a, x, dy);
  if (s.owner == Owner::Rsm) return kiv::rsm::evalTitled(id, &a, 1, x, dy) != 0;
  const std::array<double, kMaxAxes> v = axisValues(s, x);
  switch (s.owner) {
    case Owner::NDSpline:
      return kiv::nd::SplineSlope(id, a, v.data(), dy);
    case Owner::Multi:
      *dy = kiv::sp1::MultiSlope(id, a, v[0], v[1], disc);
      return 1;
    case Owner::Multi3:
      *dy = kiv::sp1::Multi3Slope(id, a, v[0], v[1], v[2], disc);
      return 1;
    case Owner::Linear:
      *dy = kiv::sp1::LinearSlope(id, v[0], disc);
      return 1;
    case Owner::Bilinear:
      *dy = kiv::sp1::BilinearSlope(id, a, v[0], v[1], disc);
      return 1;
    default:
      return unknownType("strevald", s);
  }
}

int curvature(Slot &s, int *kl, double *x, double *d2y) {
  int id = s.object;
  switch (s.owner) {
    case Owner::Expression:
      return expevald2_(&id, kl, x, d2y);
    case Owner::Multi:
    case Owner::Multi3:
    case Owner::Bilinear:
      kivfprintf(stderr, "Second derivative not implemented for %s table.\n",
                 s.owner == Owner::Multi ? "T1D" : s.owner == Owner::Multi3 ? "T3D" : "2D");
      *d2y = 0.0;
      return 0;
    case Owner::None:
      return unknownType("strevald2", s);
    default:
      break;
  }
  const bool rsm = s.owner == Owner::OldRsm || s.owner == Owner::Rsm;
  std::array<int, 2> a{};
  for (int i = 0; i < 2; ++i)
    a[static_cast<size_t>(i)] = rsm ? (kl[i] >= 1 && kl[i] <= s.inputs ? kl[i] : 0) : axisOf(s, kl[i]);
  // A variable that feeds no axis, or a piecewise-linear curve: 0.
  if (a[0] == 0 || a[1] == 0 || s.owner == Owner::Linear) {
    *d2y = 0.0;
    return 1;
  }
  if (s.owner == Owner::OldRsm) return kiv::rsm::evalOldD2(id, -1, a[0], a[1], x, d2y);
  if (s.owner == Owner::Rsm) return kiv::rsm::evalTitled(id, a.data(), 2, x, d2y) != 0;
  const std::array<double, kMaxAxes> v = axisValues(s, x);
  return kiv::nd::SplineSecond(id, a.data(), v.data(), d2y);
}

// f over inputs given one pointer each, then the outputs written through
// one pointer each.
template <class F>
int gathered(int id, const char *who, va_list ap, F &&f) {
  Slot *s = slotOf(id, who);
  if (!s) return 0;
  if (s->inputs > kMaxVariables || s->outputs > kMaxVariables) {
    kivfprintf(stderr, "\nError in %s: at most %d inputs and %d outputs.\n", who, kMaxVariables,
               kMaxVariables);
    return 0;
  }
  std::array<double, kMaxVariables> x, y;
  std::array<double *, kMaxVariables> out;
  for (int i = 0; i < s->inputs; ++i) x[static_cast<size_t>(i)] = *va_arg(ap, double *);
  for (int j = 0; j < s->outputs; ++j) out[static_cast<size_t>(j)] = va_arg(ap, double *);
  const int status = f(*s, x.data(), y.data());
  for (int j = 0; j < s->outputs; ++j) *out[static_cast<size_t>(j)] = y[static_cast<size_t>(j)];
  return status;
}

}  // namespace

extern "C" {

int kiv_list_items_are_unique(char **list, int n) {
  if (!list || n < 2) return -1;
  for (int i = 0; i + 1 < n; ++i)
    if (GetStringIndexInCharArray(list[i], list + i + 1, n - i - 1) >= 0) return i;
  return -1;
}

int strinitu_(char *text, int *dim, char **names, int *nnames, int *interp, int *bound, int *ext,
              double *slopes, int *disc, char **units) {
  const int n = *nnames;
  const int expr = quietExpression(text, n, names);
  if (expr >= 0) {
    if (n > kMaxVariables) {
      kivfprintf(stderr,
                 "\nError in strinit(u): the number of variables in the expression is limited to "
                 "%d.\n",
                 kMaxVariables);
      int e = expr;
      expfree_(&e);
      return -1;
    }
    int e = expr, off = 0;
    if (*disc == 0) exphandledisc_(&e, &off);
    Slot s;
    s.object = expr;
    s.kind = 0;
    s.inputs = n;
    s.outputs = 1;
    s.disc = *disc;
    s.owner = Owner::Expression;
    return store(std::move(s));
  }
  // The format, the tokens and the table are each read from the name.
  const kiv::KeepTexts readAgain;
  int format = GetTableFormat(text);
  if (format == -1 && *dim >= 1) format = kiv::tables::formatOfDim(*dim);
  if ((format >= 0 && format <= KIV_TABLE_T1D) || format == KIV_TABLE_T3D)
    return createTable(text, format, dim, names, n, *interp, bound, ext, slopes, *disc, units);
  switch (format) {
    case KIV_TABLE_XY:
    case KIV_TABLE_0D:
    case KIV_TABLE_MULTILINES: {
      char name[16];
      _prt7(name, format);
      kivfprintf(stderr, "\nError in strinit(u): %s table format not handled yet.\n", name);
      return -1;
    }
    case KIV_TABLE_RSM:
    case KIV_TABLE_OLD_RSM:
      return createRsm(text, format, dim, n, *disc);
    case KIV_TABLE_UNKNOWN:
      kivfprintf(stderr, "\nError in strinit(u): unable to determine table format.\n");
      return -1;
    case KIV_TABLE_NOT_FOUND:
      kivfprintf(stderr, "\nError in strinit(u): unable to open file '%s'.\n", text);
      if (const int again = CheckExpression(text, n, names); again >= 0) {
        int e = again;
        expfree_(&e);
      }
      kivfprintf(stderr,
                 "\nError in strinit(u): unable to interpret the string '%s' as an expression or "
                 "a filename.\n",
                 text);
      return -1;
    default:
      return -1;
  }
}

int strinit_(char *text, int *dim, char **names, int *nnames, int *interp, int *bound, int *ext,
             double *slopes, int *disc) {
  return strinitu_(text, dim, names, nnames, interp, bound, ext, slopes, disc, nullptr);
}

int streval_(int *id, double *x, double *y) { return kiv::text::Evaluate(*id, x, y); }

int strevald_(int *id, int *k, double *x, double *dy) {
  Slot *s = slotOf(*id, "strevald");
  return s ? slope(*s, *k, x, dy) : 0;
}

int strevald2_(int *id, int *kl, double *x, double *d2y) {
  Slot *s = slotOf(*id, "strevald2");
  return s ? curvature(*s, kl, x, d2y) : 0;
}

int strevalv_(int *id, ...) {
  va_list ap;
  va_start(ap, id);
  const int status = gathered(*id, "strevalv", ap, [](Slot &s, double *x, double *y) {
    return evaluate(s, x, y);
  });
  va_end(ap);
  return status;
}

int strevalvd_(int *id, int *k, ...) {
  va_list ap;
  va_start(ap, k);
  const int status = gathered(*id, "strevalvd", ap, [k](Slot &s, double *x, double *y) {
    return slope(s, *k, x, y);
  });
  va_end(ap);
  return status;
}

int kivstrtype_(int *id) {
  if (g_reg.inRange(*id)) return g_reg.items[static_cast<size_t>(*id)].kind;
  kivfprintf(stderr, "Call to kivstrtype with an invalid index %d\n", *id);
  kivfprintf(stderr, "No expression structure or spline has been created with this index\n");
  return -2;
}

int kivstrtypefromstring_(char *text, char **names, int *nnames) {
  int e = quietExpression(text, *nnames, names);
  if (e >= 0) {
    expfree_(&e);
    return 0;
  }
  switch (GetTableFormat(text)) {
    case KIV_TABLE_NOT_FOUND:
      return -1;
    case KIV_TABLE_OLD_RSM:
      return 2;
    case KIV_TABLE_RSM:
      return 3;
    default:
      return 1;
  }
}

int kivstrfree_(int *id) {
  if (!g_reg.inRange(*id)) {
    noStructure("kivstrfree", *id, ".");
    return 0;
  }
  Slot &s = g_reg.items[static_cast<size_t>(*id)];
  int object = s.object;
  switch (s.owner) {
    case Owner::Expression:
      expfree_(&object);
      break;
    case Owner::NDSpline:
      kiv::nd::FreeSpline(object);
      break;
    case Owner::Multi:
      kiv::sp1::FreeMulti(object);
      break;
    case Owner::Multi3:
      kiv::sp1::FreeMulti3(object);
      break;
    case Owner::Linear:
      kiv::sp1::FreeLinear(object);
      break;
    case Owner::Bilinear:
      break;  // bilinear splines live until the end of the run
    case Owner::OldRsm:
      kiv::rsm::freeOld(object);
      break;
    case Owner::Rsm:
      kiv::rsm::freeTitled(object);
      break;
    case Owner::None:
      kivfprintf(stderr, "Call to kivstrfree with undefined structure (index=%d).\n", *id);
      return 0;
  }
  s = Slot{};
  return 1;
}

int InterpretExpression(char *text, int dim, char **names, int code1, int code2, int code3,
                        int code4) {
  if (dim != 1 && dim != 2) {
    kivfprintf(stderr, "\nCall to InterpretExpression with invalid dimension %d", dim);
    kivfprintf(stderr, "\nThe dimension is limited to 1 or 2.\n");
    return -1;
  }
  Slot s;
  s.inputs = dim;
  s.outputs = 1;
  s.disc = 1;
  if (const int e = quietExpression(text, dim, names); e >= 0) {
    s.kind = 0;
    s.object = e;
    s.owner = Owner::Expression;
    return store(std::move(s));
  }
  kivfprintf(stdout, "\nInterpretExpression> Try to read the file %s\n", text);
  const kiv::KeepTexts readAgain;  // the format, then the table
  auto notFile = [&](const char *what, const char *tail) {
    kivfprintf(stderr, "\nError in InterpretExpression: unable to read '%s' as %s data file.\n",
               text, what);
    if (const int again = CheckExpression(text, dim, names); again >= 0) {
      int e = again;
      expfree_(&e);
    }
    kivfprintf(stderr, "\nError in InterpretExpression: unable to interpret the string %s as an %s.\n",
               text, tail);
    return -1;
  };
  s.kind = 1;
  int id = -1;
  const char *what = nullptr;
  if (dim == 1) {
    int n = 0;
    Malloced<double> x, y;
    rtable1d_(text, &n, &x.p, &y.p);
    if (n <= 0)
      return notFile("1D", "expression and it does not exist or has no read permission as a file");
    kivfprintf(stdout, "InterpretExpression> read %d value-pairs from 1D file %s\n", n, text);
    id = kiv::sp1::CreateLinear(n, x.p, y.p, code1, code2);
    s.format = KIV_TABLE_1D;
    s.owner = Owner::Linear;
    what = "1D spline";
  } else {
    const int format = GetTableFormat(text);
    if (format == KIV_TABLE_1D + 1 || format == KIV_TABLE_UNKNOWN) {
      int nx = 0, ny = 0;
      Malloced<double> x, y, z;
      if (!rtable2d_(text, &nx, &ny, &x.p, &y.p, &z.p))
        return notFile("2D", "expression or a filename");
      kivfprintf(stdout, "InterpretExpression> read %d x %d values from 2D file %s\n", nx, ny, text);
      id = lsplini2_(&nx, &ny, x.p, y.p, z.p, &code1, &code2, &code3, &code4);
      s.format = KIV_TABLE_1D + 1;
      s.owner = Owner::Bilinear;
      what = "2D spline";
    } else if (format == KIV_TABLE_T1D) {
      Malloced<int> sizes;
      Malloced<double> x, y, z;
      const int n = rtablemd_(text, &sizes.p, &x.p, &y.p, &z.p, nullptr);
      if (n < 0) return notFile("2D", "expression or a filename");
      kivfprintf(stdout, "InterpretExpression> read %d tables from multi 1D file %s\n", n, text);
      const int zero = 0, type = 0;
      const double slope0 = 0.0;
      id = msplinit_(&n, sizes.p, x.p, y.p, z.p, &code3, &code4, &zero, &slope0, &zero, &slope0,
                     &code1, &code2, &type);
      s.format = KIV_TABLE_T1D;
      s.owner = Owner::Multi;
      what = "multi 1D spline";
    } else {
      return notFile("2D", "expression or a filename");
    }
  }
  if (id < 0) {
    kivfprintf(stderr, "\nError in InterpretExpression: unable to create %s.\n", what);
    return -1;
  }
  s.object = id;
  return store(std::move(s));
}

double ComputeExpression(int id, double x1, double x2) {
  if (!g_reg.inRange(id)) {
    noStructure("ComputeExpression", id, "");
    kivfprintf(stderr, "Terminating program\n");
    KivExit(1);
  }
  Slot &s = g_reg.items[static_cast<size_t>(id)];
  if (s.owner == Owner::None || s.inputs > 2 || s.outputs != 1) {
    kivfprintf(stderr, "Call to ComputeExpression with unknown object type (%d).\n", s.kind);
    KivExit(1);
  }
  double x[2] = {x1, x2}, y = 0.0;
  evaluate(s, x, &y);
  return y;
}

void FreeAllExpressStructures(void) { g_reg.clear(); }

}  // extern "C"

namespace kiv::text {

// The high side decides above, the low side below, and either side cyclic
// makes the axis cyclic.
void StackCodes(int low, int high, int &top, int &bottom) {
  bottom = low;
  top = low == 3 ? 3 : high;
}

int Evaluate(int id, double *x, double *y) {
  Slot *s = slotOf(id, "streval");
  return s ? evaluate(*s, x, y) : 0;
}

}  // namespace kiv::text
