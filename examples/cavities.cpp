// Prints the cavities of the example gear pump at one driving shaft angle
// as shape table files, without a simulation: the pump example's gears of
// 12 teeth (module 2 mm, face width 20 mm, pressure angle 20 deg, addendum
// 1, tip clearance 0.25, fillet 0.38, no profile shift) and analytic ports.
//
//   kiv_cavities [angle in degrees, default 0] [cavity, default 0; negative: every one]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string>

#include "gearpump/kiv_gearpump.h"
#include "geometry/kiv_shapeid.h"
#include "pump_core.hpp"
#include "runtime/kiv_runtime.h"

namespace {

struct Job {
  double angle_deg = 0;
  int cavity = 0;  // in the mesh at angle 0
};

void print(FILE *stream, const char *text, void *) {
  std::fprintf(stream == stderr ? stderr : stdout, "%s", text);
}

int run(void *data) {
  const Job &job = *static_cast<const Job *>(data);
  const kivex::PumpParams pump(12);
  int shapes[4];
  kivex::placeShapes(pump, 0.0, shapes);
  // The record wants SI units: only the teeth, the gear kind and the face
  // width matter here.
  double reals[55] = {};
  reals[5] = pump.r[5] / 1000;
  egp_params rec{};
  hcd_egp_param_setup_03(&rec, reals, pump.i.data());
  const egp_params *record = &rec;
  int ids[6];
  const int status = egp_app_get_cavities_id(
      record, job.angle_deg * std::numbers::pi / 180, &job.cavity, &job.cavity, &shapes[0],
      &shapes[1], &shapes[2], &shapes[3], &ids[0], &ids[1], &ids[2], &ids[3], &ids[4], &ids[5]);
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
