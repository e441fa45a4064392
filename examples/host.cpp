// A small host of the kiv library: it creates a system, routes the library's
// messages through its own print hook, and at the library's recovery point
// sets up a fluid from a shipped data file, asks for its properties, an
// orifice flow and a chamber's pressure derivative, evaluates a parameter
// expression written in terms of a global parameter, reads a cyclic spline
// by shaft angle and cuts two discs. Finally it shows a fatal error ending a
// run.
#include <cmath>
#include <cstdio>
#include <string>

#include "geometry/kiv_geometry.h"
#include "hydraulics/kiv_fp04.h"
#include "hydraulics/kiv_hydlaws.h"
#include "hydraulics/kiv_hydraulics.h"
#include "params/kiv_expr.h"
#include "params/kiv_globalparams.h"
#include "runtime/kiv_runtime.h"
#include "tables/kiv_splinend.h"

namespace {

void print(FILE *stream, const char *text, void *) {
  std::fprintf(stream == stderr ? stderr : stdout, "%s", text);
}

// A disc of radius r about (cx, 0) in millimetres, from two half-circle arcs.
shape *disc(double cx, double r) {
  path *p = create_path();
  point centre;
  initialized_point(&centre);
  centre.x = cx;
  centre.radius = r;
  centre.arc = KIV_ARC_MINOR;
  centre.direction = KIV_CCW;
  add_last_xy_(p, cx + r, 0.0);
  create_point_before(p, p->first, &centre);
  add_last_xy_(p, cx - r, 0.0);
  create_point_before(p, p->first, &centre);
  shape *s = create_shape();
  add_path(p, s);
  return s;
}

// The overlap of two discs, cut as the gear pump cuts its cavities.
void overlap() {
  const double r = 10.0, d = 12.0;
  shape *a = disc(0.0, r), *b = disc(d, r);
  int status = -1;
  shape *lens = intersection_shape_status_(a, b, &status);
  const double exact = 2 * r * r * std::acos(d / (2 * r)) - 0.5 * d * std::sqrt(4 * r * r - d * d);
  std::printf("Overlap of two 10 mm discs 12 mm apart: %.9f mm2 (exact %.9f), status %d\n",
              area2D_(lens), exact, status);
  delete_shape_(lens);
  delete_shape_(a);
  delete_shape_(b);
}

int simulate(void *) {
  KIVRunFlags flags{};
  flags.printing = 1;
  KivSetRunFlags(&flags);

  // FP04: a grade-46 mineral oil from the shipped data file, at 50 degC.
  double real[20] = {850.0, 17000.0, 0.0,  51.0,  0.02,  0.0,  0.1,   50.0, 20.0,  100.0,
                     80.0,  10.0,    0.7,  1.4,   -0.9,  -0.95, 0.02, 200.0, 1.2, -0.5};
  int integer[5] = {4, 1, 45, 1, 0};  // type, fuel, file, bulk modulus type, index
  std::string name = "FP04", file;
  char *text[2] = {name.data(), file.data()};
  int instance = 1, index = 0;
  fp04in_(&instance, real, integer, text);
  sethdind_(&index);

  std::printf("\nOil at 50 degC:\n%10s %12s %14s %12s\n", "p [bar]", "rho [kg/m3]", "B [bar]",
              "mu [cP]");
  for (double bar : {0.0, 50.0, 100.0, 200.0, 300.0}) {
    double p = bar * 1e5;
    std::printf("%10.0f %12.3f %14.1f %12.4f\n", bar, rhoatp_(&p), bmatp_(&p) / 1e5,
                muatp_(&p) * 1e3);
  }

  // Orifice of 1 mm2 between 100 bar and 20 bar, and a 50 cm3 chamber fed by it.
  double p1 = 100e5, p2 = 20e5, area = 1e-6, dh = std::sqrt(4 * area / M_PI), cqmax = 0.7,
         lcrit = 1000.0, cq = 0, lambda = 0, v = 0;
  double q = orif3f_(&p1, &p2, &area, &dh, &cqmax, &lcrit, &cq, &lambda, &v);
  double compliance = 0.0, volume = 50e-6;
  double dpdt = pcdyn2_(&p2, &compliance, &volume, &q);
  std::printf("\nOrifice flow %.4f L/min (Cq %.3f), chamber dp/dt %.1f bar/s\n", q * 6e4, cq,
              dpdt / 1e5);

  // A parameter written in terms of the global parameter "speed".
  ChangeOrAddRealGlobalParamValue("speed", 1500.0, 1);
  char zname[] = "z";
  char *vars[] = {zname};
  int id = CheckExpression("speed * z / 60", 1, vars);
  double z = 12.0, teeth_per_s = 0.0;
  if (id >= 0 && expeval_(&id, &z, &teeth_per_s))
    std::printf("Tooth frequency at 1500 rev/min with 12 teeth: %.1f Hz\n", teeth_per_s);

  // A cyclic cubic spline over one revolution, read by shaft angle.
  constexpr int n = 361;
  static double angle[n], value[n];
  for (int i = 0; i < n; ++i) {
    angle[i] = i;
    value[i] = 1.0 + 0.1 * std::cos(12.0 * i * M_PI / 180.0);
  }
  double *axes[] = {angle};
  int method = 1, dim = 1, sizes[] = {n}, codes[] = {3, 3}, ext[] = {1, 1}, disc = 0;
  double slopes[] = {0.0, 0.0};
  int spline = kivsplinitnd_(&method, &dim, sizes, axes, value, codes, slopes, ext, &disc);
  double at = 363.7, out = 0.0;  // one revolution and 3.7 degrees
  if (spline >= 0 && spleval_(&spline, &at, &out))
    std::printf("Cyclic table at 363.7 deg: %.6f (exact %.6f)\n", out,
                1.0 + 0.1 * std::cos(12.0 * 3.7 * M_PI / 180.0));
  overlap();
  return 0;
}

// A submodel check that fails ends the run; the host gets status -2.
int failingSetUp(void *) { return kivHandleSubmodelError("HOST", 1, 2); }

}  // namespace

int main() {
  KIVSystem *sys = KivCreateSystem();
  KivInstallPrintHook(sys, &print, nullptr);
  KivMakeCurrent(sys);
  KivSetFileNames("", "example", nullptr);

  int status = KivGuardedCall(sys, &simulate, nullptr);
  KivEndRun(0);  // registries free what they hold
  std::printf("\nrun status %d\n", status);

  int failed = KivGuardedCall(sys, &failingSetUp, nullptr);
  std::printf("failing run status %d, exit code %d\n", failed, KivGetExitCode(sys));
  KivReleaseSystem(sys);
  return (status == 0 && failed == -2) ? 0 : 1;
}
