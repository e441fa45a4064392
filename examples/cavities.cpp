// Prints the cavities of the example gear pump at one driving shaft angle
// as shape table files, without a simulation: two rack-cut gears of 12
// teeth (module 2 mm, face width 20 mm, pressure angle 20 deg, addendum 1,
// tip clearance 0.25, fillet 0.38, no profile shift) with analytic ports.
//
//   kiv_cavities [angle in degrees, default 0] [cavity index, default 0]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gearpump/kiv_gearpump.h"
#include "geometry/kiv_shapeid.h"
#include "runtime/kiv_runtime.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kTeeth = 12;

struct Job {
  double angle_deg = 0;
  int cavity = 0;  // the cavity in the mesh at angle 0; negative: every one
};

void print(FILE *stream, const char *text, void *) {
  std::fprintf(stream == stderr ? stderr : stdout, "%s", text);
}

int run(void *data) {
  const Job &job = *static_cast<const Job *>(data);
  const int z = kTeeth;
  const double m = 2, alpha = 20 * kPi / 180, ha = 1, ctip = 0.25, fillet = 0.38, x = 0;
  double alpha_w, a, ra1, ra2, rf1, rf2;
  if (egp_shift_correction_(&z, &z, &m, &alpha, &ha, &ctip, &x, &x, &alpha_w, &a, &ra1, &ra2,
                            &rf1, &rf2) != 0)
    return 1;
  // Driving gear about the origin with a tooth axis on +y, the driven one
  // about (-a, 0) turned half a pitch further so that the two mesh.
  int sharp = 0, whole = 2, offset = 1;
  int driving = egp_create_gear_id_(&z, &m, &alpha, &ha, &ctip, &fillet, &x, &ra1, &rf1, &z,
                                    &whole, &sharp);
  int driven = egp_create_gear_id_(&z, &m, &alpha, &ha, &ctip, &fillet, &x, &ra2, &rf2, &z,
                                   &offset, &sharp);
  if (driving < 0 || driven < 0) return 1;
  const double o = 0, quarter = kPi / 2, turn = kPi / 2 + kPi / z, dx = -a;
  xCD_rotate_(&driving, &o, &o, &quarter);
  xCD_rotate_(&driven, &o, &o, &turn);
  xCD_translate_(&driven, &dx, &o);

  // Ports 3 mm off the line of centres, 8 mm wide, reaching past the tips.
  const double dist = 3, width = 8, length = 1.05 * std::fmax(ra1, ra2) - dist;
  const int right = 1, left = -1;
  int outlet = egp_create_analyticport_id_(&o, &o, &dx, &o, &dist, &o, &width, &length, &right);
  int inlet = egp_create_analyticport_id_(&o, &o, &dx, &o, &dist, &o, &width, &length, &left);

  // Packed SI parameters: teeth, rack-cut gears, analytic ports, no groove,
  // leakage details, common gear details; face width 20 mm.
  double reals[55] = {};
  int ints[8] = {0, z, 1, 2, 2, 2, 2, 1};
  reals[5] = 0.020;
  egp_params *record = egp_app_params_create(reals, ints);

  int ids[6];
  const int status = egp_app_get_cavities_id(record, job.angle_deg * kPi / 180, &job.cavity,
                                             &job.cavity, &driving, &driven, &outlet, &inlet,
                                             &ids[0], &ids[1], &ids[2], &ids[3], &ids[4], &ids[5]);
  egp_app_params_release(record);
  std::printf("build status %d at %g deg, cavity %d\n", status, job.angle_deg, job.cavity);
  const char *names[6] = {"driving_cavity", "driving_outlet", "driving_inlet",
                          "driven_cavity",  "driven_outlet",  "driven_inlet"};
  for (int i = 0; i < 6; ++i) {
    if (ids[i] < 0) {
      std::printf("%-15s none\n", names[i]);
      continue;
    }
    const std::string file = std::string(names[i]) + ".txt";
    double area = 0;
    xCD_shape_area_(&ids[i], &area);
    xCD_fprint_shape_id_(file.c_str(), &ids[i]);
    std::printf("%-15s %9.3f mm2 -> %s\n", names[i], std::fabs(area), file.c_str());
  }
  return status;
}

}  // namespace

int main(int argc, char **argv) {
  Job job;
  if (argc > 1) job.angle_deg = std::atof(argv[1]);
  if (argc > 2) job.cavity = std::atoi(argv[2]);
  KIVSystem *sys = KivCreateSystem();
  KivInstallPrintHook(sys, &print, nullptr);
  KivMakeCurrent(sys);
  const int status = KivGuardedCall(sys, &run, &job);
  KivEndRun(0);
  KivReleaseSystem(sys);
  return status == 0 ? 0 : 1;
}
