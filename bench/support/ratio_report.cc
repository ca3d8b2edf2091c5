#include "ratio_report.h"

#include <benchmark/benchmark.h>
#include <sys/sysinfo.h>

#include <cstdio>
#include <map>

namespace tavelin::bench {
namespace {

// The console table, remembering each benchmark's wall time and counters.
class RememberingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      std::map<std::string, double>& measures = measures_[run.benchmark_name()];
      measures["real_time"] = run.GetAdjustedRealTime();
      measures["cpu_time"] = run.GetAdjustedCPUTime();
      for (const auto& [name, counter] : run.counters) measures[name] = counter.value;
    }
  }

  // `benchmarks` is one name or several joined by '+', whose measures are added.
  bool Find(const std::string& benchmarks, const std::string& measure, double* value) const {
    *value = 0;
    std::size_t start = 0;
    for (;;) {
      const std::size_t plus = benchmarks.find('+', start);
      const auto found = measures_.find(benchmarks.substr(start, plus - start));
      if (found == measures_.end()) return false;
      const auto it = found->second.find(measure);
      if (it == found->second.end()) return false;
      *value += it->second;
      if (plus == std::string::npos) return true;
      start = plus + 1;
    }
  }

 private:
  std::map<std::string, std::map<std::string, double>> measures_;
};

}  // namespace

int RunBenchmarksWithRatios(int argc, char** argv, const std::vector<Ratio>& ratios) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RememberingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  bool header = false;
  for (const Ratio& ratio : ratios) {
    double numerator = 0, denominator = 0;
    if (!reporter.Find(ratio.numerator, ratio.measure, &numerator) ||
        !reporter.Find(ratio.denominator, ratio.measure, &denominator) || denominator == 0) {
      continue;
    }
    if (!header) {
      double load[3] = {0, 0, 0};
      struct sysinfo info {};
      if (sysinfo(&info) == 0) {
        for (int i = 0; i < 3; ++i) load[i] = info.loads[i] / double(1 << SI_LOAD_SHIFT);
      }
      std::printf("\nRatios of this run (load average %.2f %.2f %.2f):\n", load[0], load[1],
                  load[2]);
      header = true;
    }
    std::printf("  %-52s %8.2f\n", ratio.label.c_str(), numerator / denominator);
  }
  benchmark::Shutdown();
  return 0;
}

}  // namespace tavelin::bench
