// Benchmark driver: besides the usual table, prints the ratio of every
// "<case>/kiv" row to its "<case>/ref" row (CPU time; medians when the run
// is repeated), so the side-by-side comparisons read at a glance.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &r : runs) {
      if (r.error_occurred) continue;
      const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
      if (r.run_type == Run::RT_Aggregate && !median) continue;
      // A median replaces the single runs of its case.
      std::string name = r.run_name.str();
      // The arguments of a parameterised row are not part of its case.
      for (size_t slash; (slash = name.find_last_of('/')) != std::string::npos &&
                         name.find_first_not_of("0123456789", slash + 1) == std::string::npos;)
        name.resize(slash);
      if (median || !medians_.count(name))
        times_[name] = r.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
      if (median) medians_[name] = true;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    bool header = false;
    for (const auto &[name, t] : times_) {
      const size_t cut = name.rfind("/kiv");
      if (cut == std::string::npos || cut + 4 != name.size()) continue;
      const auto ref = times_.find(name.substr(0, cut) + "/ref");
      if (ref == times_.end() || ref->second <= 0.0) continue;
      if (!header) std::printf("\n%-44s %12s %12s %7s\n", "ratio kiv/ref", "kiv ns", "ref ns", "ratio");
      header = true;
      std::printf("%-44s %12.1f %12.1f %7.2f\n", name.substr(0, cut).c_str(), t * 1e9,
                  ref->second * 1e9, t / ref->second);
    }
    std::fflush(stdout);
  }

 private:
  std::map<std::string, double> times_;  // seconds per iteration
  std::map<std::string, bool> medians_;
};

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
