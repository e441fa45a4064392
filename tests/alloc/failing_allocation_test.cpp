// Runs in which one allocation fails, or every one from some point on:
// each ends at its recovery point with a message (or the call's own failure
// value), or goes on as if nothing had failed; nothing stays taken, and the
// next run gives what a clean one gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gearpump/kiv_gearpump.h"
#include "gearpump/rack_pump.hpp"
#include "geometry/kiv_gerotor.h"
#include "geometry/kiv_shapeid.h"
#include "hydraulics/kiv_fp04.h"
#include "hydraulics/kiv_hydraulics.h"
#include "params/kiv_globalparams.h"
#include "support/alloc_fail.hpp"
#include "support/kiv_test.hpp"
#include "tables/kiv_interpret.h"
#include "tables/kiv_tablefiles.h"
#include "tables/kiv_units.h"

namespace kiv::test {
namespace {

// The messages of a run, kept without allocating: the capture runs while
// allocations fail.
char heard[1 << 16];
size_t heardLength = 0;

void hear(FILE *, const char *text, void *) {
  const size_t n = std::min(std::strlen(text), sizeof heard - heardLength);
  std::memcpy(heard + heardLength, text, n);
  heardLength += n;
}

struct Run {
  int code = 0;  // the recovery point's answer
  int exit = 0;
  std::string said;
  std::vector<double> values;
  bool refused = false;  // whether an allocation failed
  long allocations = 0;
};

// A small model of one area: run() makes its calls and appends what they
// compute, answering 0 or the step whose call reported failure; end() is
// the host's clean-up after the run, allocations working again.
struct Model {
  std::function<int(std::vector<double> &)> run;
  std::function<void()> end = [] {};
};

// The runtime's and the geometry kernel's messages for a run that ends for
// want of storage.
bool saysOutOfStorage(const std::string &said) {
  return said.find("Could not allocate storage in ") != std::string::npos ||
         said.find("Memory allocation error in:") != std::string::npos;
}

// One run in a fresh system, with the k-th allocation refused (k = 0: none).
Run runOnce(const Model &m, long k, Refuse mode) {
  Run r;
  r.values.reserve(4096);  // the model's values never allocate
  KIVSystem *sys = KivCreateSystem();
  KivInstallPrintHook(sys, &hear, nullptr);
  heardLength = 0;
  {
    std::optional<FailingAllocations> seam;
    if (k > 0) seam.emplace(k, mode);
    r.code = kiv::guarded(sys, [&] { return m.run(r.values); });
    if (seam) {
      r.refused = seam->refused();
      r.allocations = seam->seen();
    }
  }
  r.exit = KivGetExitCode(sys);
  {
    const CurrentSystemScope current(sys);
    m.end();
  }
  KivReleaseSystem(sys);
  r.said.assign(heard, heardLength);
  return r;
}

// How many allocations a clean run makes.
long allocationsOf(const Model &m) { return runOnce(m, LONG_MAX, Refuse::kOnce).allocations; }


// Every k up to `every`, then `samples` more spread evenly up to the
// model's count (and one past it); each once and from then on, and a clean
// run after each (or, for a long model, once after all).  Returns the runs
// made.
int failEach(const char *name, const Model &m, long every, long samples, bool cleanAfterEach = true) {
  const Run clean = runOnce(m, 0, Refuse::kOnce);
  EXPECT_EQ(clean.code, 0) << name << ": " << clean.said;
  const long total = allocationsOf(m);
  EXPECT_GT(total, 0) << name;
  EXPECT_FALSE(heapLeaked()) << name << ": a clean run leaves something taken";
  const long stride = std::max(1L, (total - every) / std::max(1L, samples));
  std::vector<long> ks;
  for (long k = 1; k <= total + 1; k += k < every ? 1 : stride) ks.push_back(k);
  if (ks.back() != total + 1) ks.push_back(total + 1);
  int runs = 0, failures = 0;
  for (long k : ks)
    for (Refuse mode : {Refuse::kOnce, Refuse::kFromThenOn}) {
      const char *how = mode == Refuse::kOnce ? "once" : "from then on";
      {
        const Run r = runOnce(m, k, mode);
        ++runs;
        // Ended at the recovery point, saying it ran out of storage.
        const bool ended = r.code == -2 && r.exit == 1 && saysOutOfStorage(r.said);
        const bool refusedByCall = r.code > 0 && !r.said.empty();
        const bool absorbed = r.code == 0 && r.values == clean.values;
        EXPECT_EQ(r.refused, k <= total) << name << " k " << k;
        EXPECT_TRUE(ended || refusedByCall || absorbed)
            << name << ": allocation " << k << " failing " << how << " ends with " << r.code << " (exit "
            << r.exit << "), saying:\n" << r.said;
      }
      if (heapLeaked()) {
        // The leak check reports every block lost so far: the first is all.
        ADD_FAILURE() << name << ": allocation " << k << " failing " << how << " leaves memory taken";
        return runs;
      }
      if (cleanAfterEach || (k == ks.back() && mode == Refuse::kFromThenOn)) {
        const Run next = runOnce(m, 0, Refuse::kOnce);
        EXPECT_EQ(next.code, clean.code) << name << " after k " << k << " " << how;
        EXPECT_EQ(next.values, clean.values) << name << " after k " << k << " " << how;
        EXPECT_EQ(next.said, clean.said) << name << " after k " << k << " " << how;
      }
      if (::testing::Test::HasFailure() && ++failures > 20) return runs;  // enough to go on
    }
  std::printf("%s: %ld allocations, %zu of them failed, %d runs%s\n", name, total, ks.size() - 1, runs,
              leakCheckAvailable() ? "" : " (no leak check without the sanitizer)");
  return runs;
}

std::string write(const std::string &name, const std::string &text) {
  const std::string path = tempPath(name);
  std::ofstream(path) << text;
  return path;
}

void keep(std::vector<double> &v, const double *p, int n) { v.insert(v.end(), p, p + n); }

TEST(FailingAllocations, TableReaders) {
  const std::string one = write("one.txt", "# Table format: 1D\n# table_unit = bar\n0 1\n10 2\n20 4\n");
  const std::string two = write("two.txt",
                                "# Table format: 2D\n3 2\n0 1 2\n0 10\n1 2 3\n4 5 6\n");
  const std::string lines = write("lines.txt", "# a comment\nfirst line\n  second  \n\nthird\n");
  const Model m{[&](std::vector<double> &v) {
    int zero = 0;
    rtableStoreToCache_(&zero);  // every run reads the files
    int n = 0, nx = 0, ny = 0;
    double *x = nullptr, *y = nullptr, *z = nullptr;
    if (rtable1d_(one.c_str(), &n, &x, &y) != 3) return 1;
    keep(v, x, n);
    keep(v, y, n);
    std::free(x);
    std::free(y);
    if (rtable2d_(two.c_str(), &nx, &ny, &x, &y, &z) <= 0) return 2;
    keep(v, x, nx);
    keep(v, y, ny);
    keep(v, z, nx * ny);
    std::free(x);
    std::free(y);
    std::free(z);
    int count = 0, skip = 1;
    char **got = rtableml_(lines.c_str(), &count, &skip);
    if (!got) return 3;
    for (int i = 0; i < count; ++i) {
      v.push_back(static_cast<double>(std::strlen(got[i])));
      std::free(got[i]);
    }
    std::free(got);
    return 0;
  }};
  failEach("tables", m, 400, 200);
}

// Tables a caller stores and reads back, each output a copy of its own.
TEST(FailingAllocations, TablesInMemory) {
  const Model m{[](std::vector<double> &v) {
    const double x[] = {0, 1, 2}, y[] = {10, 20}, z[] = {1, 2, 3, 4, 5, 6};
    const int sizes[] = {2, 1};
    if (!rtable2d_add("grid", 3, 2, x, y, z) || !rtablemd_add("slices", 2, sizes, x, y, z, nullptr)) return 1;
    int nx = 0, ny = 0;
    double *ax = nullptr, *ay = nullptr, *values = nullptr;
    if (rtable2d_from_memory("grid", &nx, &ny, &ax, &ay, &values, KIV_TABLE_BY_CALLER) != 6) return 2;
    keep(v, ax, nx);
    keep(v, ay, ny);
    keep(v, values, nx * ny);
    for (double *p : {ax, ay, values}) std::free(p);
    int *counts = nullptr;
    double *sx = nullptr, *sy = nullptr, *sz = nullptr;
    if (rtablemd_from_memory("slices", &counts, &sx, &sy, &sz, nullptr, KIV_TABLE_BY_CALLER) != 2) return 3;
    v.push_back(counts[0] + counts[1]);
    keep(v, sx, 3);
    keep(v, sy, 2);
    keep(v, sz, 3);
    std::free(counts);
    for (double *p : {sx, sy, sz}) std::free(p);
    return 0;
  }};
  failEach("tables in memory", m, 100, 50);
}

// A response-surface file read with all it hands out: names, the unused
// pairs and the coefficient blocks.
TEST(FailingAllocations, ResponseSurfaceFile) {
  const std::string file = write("surface.txt",
                                 "Type of RSM: First Order Response Surface\n1 factor(s):\n x1  \n"
                                 "2 response variable(s):\ny0\ny1\nSTART\n1;2\n3;4\nSTART\n5;6\n7;8\n");
  const Model m{[&](std::vector<double> &v) {
    int n = 0, responses = 0, type = 0;
    char **inputs = nullptr, **outputs = nullptr, **unusedNames = nullptr, **unusedValues = nullptr;
    double ***coef = nullptr;
    if (!rsmread_(file.c_str(), &n, &responses, &inputs, &outputs, &coef, &unusedNames, &unusedValues, &type))
      return 1;
    for (char **list : {inputs, outputs, unusedNames, unusedValues}) {
      for (char **t = list; t && *t; ++t) {
        v.push_back(static_cast<double>(std::strlen(*t)));
        std::free(*t);
      }
      std::free(list);
    }
    for (int r = 0; r < responses; ++r) keep(v, coef[r][0], 2);
    rsmfreelist_(&type, &n, &responses, coef);
    return 0;
  }};
  failEach("response surface", m, 100, 50);
}

TEST(FailingAllocations, UnitsFile) {
  const std::string root = kivRoot();
  const Model m{[&](std::vector<double> &v) {
    if (!InitUnitsManager(root.c_str())) return 1;
    for (const char *u : {"bar", "mm", "rev/min", "degC", "l/min"}) {
      double factor = 0, offset = 0;
      if (GetConvFact(u, &factor, &offset) != 0 && factor == 0) return 2;
      v.push_back(factor);
      v.push_back(offset);
    }
    return 0;
  },
                [] { FreeAllUnitStuff(); }};
  failEach("units", m, 100, 60);
}

// The fluid of file 45 through the fluid-properties submodel, evaluated.
TEST(FailingAllocations, FluidDataFile) {
  const Model m{[](std::vector<double> &v) {
    double real[20] = {850.0, 17000.0, 0.0,  51.0, 0.02, 0.0,   1.0,  40.0, 20.0,  100.0,
                       80.0,  10.0,    0.7,  1.4,  -0.9, -0.95, 0.02, 200.0, 1.2, -0.5};
    int integer[5] = {4, 1, 45, 1, 2}, instance = 1;  // a table fluid from file 45
    char first[] = "FP04", none[] = "";
    char *text[2] = {first, none};
    fp04in_(&instance, real, integer, text);
    int index = 2;
    sethdind_(&index);
    for (double p : {-0.5e5, 0.0, 1e5, 100e5}) {
      v.push_back(rhoatp_(&p));
      v.push_back(bmatp_(&p));
      v.push_back(muatp_(&p));
    }
    return 0;
  }};
  failEach("fluid file 45", m, 60, 60);
}

TEST(FailingAllocations, ExchangeFile) {
  const std::string circuit = tempPath("exchange");
  const Model m{[&](std::vector<double> &v) {
    KivSetFileNames(scratchDir().c_str(), circuit.c_str(), nullptr);
    const KIVRunFlags flags{};
    KivSetRunFlags(&flags);
    int i = 3;
    double rho = 850, bulk = 1.7e9, mu = 0.051, psat = -5e4, zero = 0, t = 40, poly = 1.4;
    fpspind_(&i, &rho, &bulk, &mu, &psat, &zero, &t, &poly, &zero);
    masterwritehydp();
    KivEndRun(0);
    slavereadhydp(circuit.c_str(), 0, nullptr);
    sethdind_(&i);
    for (double p : {0.0, 50e5}) v.push_back(rhoatp_(&p));
    return 0;
  }};
  failEach("exchange file", m, 300, 200);
}

TEST(FailingAllocations, GlobalParametersFromXml) {
  const std::string dir = dataDir() + "/params";
  const Model m{[&](std::vector<double> &v) {
    KivSetFileNames(dir.c_str(), "pump_", "");
    KIVSystem *sys = GetGlobalSystem();
    if (KivReadGPFile(sys) != 0) return 1;
    char message[256] = "";
    v.push_back(KivEvalGlobalParamList(sys, 1, message, sizeof message));
    for (const char *name : {"speed", "teeth", "frequency"}) {
      double x = -1;
      v.push_back(getGlobalParamValueByName(name, &x));
      v.push_back(x);
    }
    return 0;
  }};
  failEach("global parameters", m, 300, 200);
}

// The line files' names, the files converted to XML, and the records read
// back from it.
TEST(FailingAllocations, GlobalParametersConverted) {
  const std::string dir = dataDir() + "/params", out = scratchDir();
  // The records read back, freed however the run ends.
  struct Records {
    KIVGP_GPList *list = KIVGP_GPList_Create();
    ~Records() {
      unsigned n = 0;
      KIVGP_GPList_GetSize(list, &n);
      for (unsigned i = 0; i < n; ++i) {
        KIVGP_GP *gp = nullptr;
        KIVGP_GPList_GetAt(list, i, &gp);
        KIVGP_GP_Destroy(&gp);
      }
      KIVGP_GPList_Destroy(&list);
    }
  };
  struct Names {
    KIVGP_StringList list = nullptr;
    int count = 0;
    ~Names() { KIVGP_StringList_Free(&list, count); }
  };
  const Model m{[&](std::vector<double> &v) {
    Names names;
    if (KIVGP_IO_ReadGPNames("legacy", dir.c_str(), "", &names.list, &names.count) != 0) return 3;
    v.push_back(names.count);
    if (KIVGP_IO_ConvertLegacyFileToXML("legacy", dir.c_str(), "conv", out.c_str(), "") != 0) return 1;
    const Records back;
    const int read = KIVGP_IO_ReadGPs("conv", out.c_str(), "", back.list);
    unsigned n = 0;
    KIVGP_GPList_GetSize(back.list, &n);
    v.push_back(read);
    v.push_back(n);
    for (unsigned i = 0; i < n; ++i) {
      KIVGP_GP *gp = nullptr;
      KIVGP_GPList_GetAt(back.list, i, &gp);
      v.push_back(gp ? gp->type : -1);
    }
    return read == 0 ? 0 : 2;
  }};
  failEach("global parameters converted", m, 120, 60, false);
}

// Two overlapping squares made one, and the area of what they cover.
TEST(FailingAllocations, BooleanOfTwoShapes) {
  const Model m{[](std::vector<double> &v) {
    const double x1[] = {0, 2, 2, 0}, y1[] = {0, 0, 2, 2}, x2[] = {1, 3, 3, 1}, y2[] = {1, 1, 3, 3};
    const int a = xCD_create_shape_from_array_(x1, y1, 4), b = xCD_create_shape_from_array_(x2, y2, 4);
    if (a < 0 || b < 0) return 1;
    const int u = xCD_union_(&a, &b), c = xCD_intersection_(&a, &b), d = xCD_remove_(&a, &b);
    if (u < 0 || c < 0 || d < 0) return 2;
    for (int id : {u, c, d}) {
      double area = 0;
      xCD_shape_area_(&id, &area);
      v.push_back(area);
    }
    return 0;
  }};
  failEach("boolean", m, 300, 200);
}

// Copies moved and reversed, and a square cut by its splitters: one to a
// square apart (the rectangle between them), one to a square it overlaps
// (the marks where they cross).
TEST(FailingAllocations, CopiesAndSplitters) {
  const Model m{[](std::vector<double> &v) {
    const double x1[] = {0, 4, 4, 0}, y1[] = {0, 0, 4, 4}, x2[] = {6, 8, 8, 6}, y2[] = {1, 1, 3, 3};
    const double x3[] = {3, 5, 5, 3}, y3[] = {1, 1, 3, 3};
    const int a = xCD_create_shape_from_array_(x1, y1, 4), apart = xCD_create_shape_from_array_(x2, y2, 4),
              over = xCD_create_shape_from_array_(x3, y3, 4);
    if (a < 0 || apart < 0 || over < 0) return 1;
    const double dx = 1, dy = 0.5, theta = 0.3, X = -2, Y = 1;
    const int moved = xCD_copy_shape_moved_id_(&a, &dx, &dy, &theta, &X, &Y), reversed = xCD_copy_shape_reversed_id_(&a);
    int from = 0, to = 4, side = 1, one = 1;
    const int cut = xCD_setsplitter_id_(&a, &from, &to, &side, &one, &apart);
    from = 0, to = 4;
    const int marks = xCD_setsplitter_id_(&a, &from, &to, &side, &one, &over);
    if (moved < 0 || reversed < 0 || cut < 0 || marks < 0) return 2;
    const int split = xCD_remove_(&a, &cut), met = xCD_intersection_(&a, &cut), kept = xCD_remove_(&a, &marks);
    if (split < 0 || met < 0 || kept < 0) return 3;
    for (int id : {moved, reversed, cut, marks, split, met, kept}) {
      double area = 0, perimeter = 0;
      xCD_shape_area_(&id, &area);
      xCD_shape_perimeter_(&id, &perimeter);
      v.push_back(area);
      v.push_back(perimeter);
    }
    return 0;
  }};
  failEach("copies and splitters", m, 30, 30);
}

TEST(FailingAllocations, GerotorVolumes) {
  const Model m{[](std::vector<double> &v) {
    const int z = 7, n = 3;
    const double a = 20, rc = 6, e = 2, Ro = 18.5, b = 10, X = 0, angles[n] = {0.0, 0.4, 1.1};
    double volumes[n] = {};
    if (gp_volume_(angles, volumes, &n, &z, &a, &rc, &Ro, &e, &X, &b) != 0) return 1;
    keep(v, volumes, n);
    return 0;
  },
                [] {}};
  failEach("gerotor", m, 40, 40);
}

// A 12-tooth rack-cut pump, module 2 mm, analytic ports: set up, evaluated
// three times, ended.
struct Pump {
  std::optional<RackPump> p;
  double store[16] = {}, pout = 0, pinl = 0, pr[100] = {}, pn[100] = {};
  std::vector<std::vector<double>> out = std::vector<std::vector<double>>(36, std::vector<double>(12));
  void *slot = nullptr;

  int run(std::vector<double> &v) {
    p.emplace();  // the set-up turns the parameters into SI in place
    p->r[0] = 2;
    std::vector<double> &r = p->r;
    std::vector<int> &i = p->i;
    char **text = p->text;
    int one = 1;
    double angle = 10;
    int fluid = 1;
    double rho = 850, bulk = 1.7e9, mu = 0.051, psat = -5e4, zero = 0, t = 40, poly = 1.4;
    fpspind_(&fluid, &rho, &bulk, &mu, &psat, &zero, &t, &poly, &zero);
    const KIVRunFlags flags{};
    KivSetRunFlags(&flags);
    hcdegp0in_(&one, r.data(), i.data(), text, store, &slot, &angle, &pout, &pinl, pr, pn);
    for (double p2 : {0.0, 20.0, 50.0}) {
      double p1 = 0, speed = 1000, q1, q2, torque, dang, anglen, dpout, dpinl, mesh, f[4];
      auto *a = &out[0];
      hcdegp0_(&one, &q1, &p1, &q2, &p2, &torque, &speed, &angle, &dang, &anglen, &pout, &dpout, &pinl,
               &dpinl, pr, a[0].data(), pn, a[1].data(), a[2].data(), a[3].data(), a[4].data(),
               a[5].data(), &mesh, a[6].data(), a[7].data(), a[8].data(), a[9].data(), a[10].data(),
               a[11].data(), a[12].data(), a[13].data(), a[14].data(), a[15].data(), a[16].data(),
               a[17].data(), a[18].data(), a[19].data(), a[20].data(), a[21].data(), a[22].data(),
               a[23].data(), a[24].data(), a[25].data(), a[26].data(), a[27].data(), a[28].data(),
               a[29].data(), a[30].data(), a[31].data(), a[32].data(), a[33].data(), &f[0], &f[1], &f[2],
               &f[3], r.data(), i.data(), text, store, &slot);
      for (double x : {q1, q2, torque, dang, dpout, dpinl, mesh, f[0], f[1], f[2], f[3]}) v.push_back(x);
    }
    return 0;
  }
  void end() {
    int one = 1;
    if (slot) hcdegp0end_(&one, p->r.data(), p->i.data(), p->text, store, &slot);
  }
};

TEST(FailingAllocations, GearPumpSetUpAndEvaluations) {
  Pump pump;
  const Model m{[&](std::vector<double> &v) { return pump.run(v); }, [&] { pump.end(); }};
  failEach("gear pump", m, 3, 4, false);
}

}  // namespace
}  // namespace kiv::test
