// The pump example: a 12-tooth external gear pump turned at a fixed speed
// against a fixed outlet pressure.  Prints the delivery, inlet flow, outlet
// pressure derivative and torque by shaft angle, their means and the
// pump's figures of merit; writes the table as CSV, the figures beside it,
// and the gears, ports and cavities at angle 0 as shape table files.
// Options: see pumpUsage in pump_core.hpp.
#include <cstdio>
#include <cstring>
#include <string>

#include "pump_core.hpp"

namespace {

bool quiet = false;  // drops the shape printer's line per file

void print(FILE *stream, const char *text, void *) {
  if (quiet && std::strncmp(text, "Printing ", 9) == 0) return;
  std::fprintf(stream == stderr ? stderr : stdout, "%s", text);
}

kivex::PumpArguments args;
kivex::PumpResult result;

int run(void *) {
  quiet = true;
  kivex::writeShapes(kivex::PumpParams(args.options.teeth), 0.0, args.out + "/pump");
  quiet = false;
  return kivex::runPump(args.options, result);
}

void figures(FILE *f, const kivex::PumpOptions &o, const kivex::PumpResult &r) {
  std::fprintf(f, "speed_rpm,%g\noutlet_bar,%g\nteeth,%d\nstep_deg,%g\nrevolutions,%d\n", o.rpm,
               o.outlet, o.teeth, o.step, r.turns);
  std::fprintf(f, "mean_delivery_lpm,%.6g\nmean_inlet_flow_lpm,%.6g\nmean_torque_Nm,%.6g\n",
               r.mean_q2, r.mean_q1, r.mean_torque);
  std::fprintf(f, "kinematic_displacement_mm3,%.6g\ncavity_displacement_mm3,%.6g\n", r.displacement,
               r.cavity_displacement);
  std::fprintf(f, "volumetric_efficiency,%.6g\nmechanical_efficiency,%.6g\nripple,%.6g\n",
               r.efficiency, r.mechanical, r.ripple);
  std::fprintf(f, "peak_cavity_pressure_bar,%.6g\nunconverged_steps,%d\n", r.peak, r.failures);
}

}  // namespace

int main(int argc, char **argv) {
  const std::string error = kivex::parsePumpArguments(argc, argv, args);
  if (!error.empty()) {
    std::fprintf(stderr, "kiv_pump: %s\n%s", error.c_str(), kivex::pumpUsage().c_str());
    return 2;
  }
  if (args.help) {
    std::printf("%s", kivex::pumpUsage().c_str());
    return 0;
  }
  const std::string csv = args.out + "/pump_table.csv", means = args.out + "/pump_figures.csv";
  FILE *f = std::fopen(csv.c_str(), "w");
  if (!f) {
    std::fprintf(stderr, "kiv_pump: cannot write %s\n%s", csv.c_str(), kivex::pumpUsage().c_str());
    return 2;
  }
  KIVSystem *sys = KivCreateSystem();
  KivInstallPrintHook(sys, &print, nullptr);
  KivMakeCurrent(sys);
  const int status = KivGuardedCall(sys, &run, nullptr);
  KivEndRun(0);
  KivReleaseSystem(sys);
  if (status != 0) {
    std::fclose(f);
    std::fprintf(stderr, "pump set-up or run failed (status %d)\n", status);
    return 1;
  }
  std::fprintf(f, "angle_deg,delivery_lpm,inlet_flow_lpm,dpout_bar_s,torque_Nm\n");
  std::printf("%8s %12s %12s %14s %10s\n", "deg", "q2 [L/min]", "q1 [L/min]", "dpout [bar/s]",
              "T [N m]");
  const size_t every = std::max<size_t>(1, result.deg.size() / 72);
  for (size_t s = 0; s < result.deg.size(); ++s) {
    std::fprintf(f, "%g,%.6g,%.6g,%.6g,%.6g\n", result.deg[s], result.q2[s], result.q1[s],
                 result.dpout[s], result.torque[s]);
    if (s % every == 0)
      std::printf("%8.2f %12.4f %12.4f %14.1f %10.3f\n", result.deg[s], result.q2[s], result.q1[s],
                  result.dpout[s], result.torque[s]);
  }
  std::fclose(f);
  const auto &o = args.options;
  const auto &r = result;
  std::printf("\nspeed %g rev/min, outlet %g bar, %d teeth, step %g deg, %d revolutions\n", o.rpm,
              o.outlet, o.teeth, o.step, r.turns);
  std::printf("mean delivery               %.4f L/min\n", r.mean_q2);
  std::printf("mean inlet flow             %.4f L/min\n", r.mean_q1);
  std::printf("kinematic displacement      %.1f mm3/rev (what a pump with backlash delivers)\n",
              r.displacement);
  std::printf("cavity model displacement   %.1f mm3/rev (trapped volume counted as delivered)\n",
              r.cavity_displacement);
  std::printf("volumetric efficiency       %.4f (against the kinematic displacement)\n",
              r.efficiency);
  std::printf("mean torque                 %.4f N m (ideal %.4f N m)\n", r.mean_torque,
              r.ideal_torque);
  std::printf("mechanical efficiency       %.4f\n", r.mechanical);
  std::printf("flow ripple                 %.4f ((max - min) / mean delivery)\n", r.ripple);
  std::printf("peak cavity pressure        %.1f bar\n", r.peak);
  std::printf("unconverged steps           %d in the last revolution (%d in all)\n", r.failures,
              r.failures_total);
  if (FILE *g = std::fopen(means.c_str(), "w")) {
    std::fprintf(g, "name,value\n");
    figures(g, o, r);
    std::fclose(g);
  }
  std::printf("table written to %s, figures to %s\n", csv.c_str(), means.c_str());
  return 0;
}
