// A benchmark main that prints, after the usual table, ratios between benchmarks of the same
// run: the tokenizer against its anchor, a page ten times larger against the smaller one.
// Ratios whose benchmarks were filtered out are left out.
#ifndef TAVELIN_BENCH_SUPPORT_RATIO_REPORT_H_
#define TAVELIN_BENCH_SUPPORT_RATIO_REPORT_H_

#include <string>
#include <vector>

namespace tavelin::bench {

struct Ratio {
  std::string label;
  // Full benchmark names as the table shows them ("BM_Tokenize/10000"); the denominator may
  // be a sum of several, joined by '+' ("BM_A/1+BM_B/1").
  std::string numerator;
  std::string denominator;
  // "real_time" (wall time per iteration), "cpu_time" (processor time per iteration, the
  // fairer one on a shared machine) or the name of a counter ("bytes_per_second").
  std::string measure;
};

// Runs the registered benchmarks and prints `ratios`; returns main's exit code.
int RunBenchmarksWithRatios(int argc, char** argv, const std::vector<Ratio>& ratios);

}  // namespace tavelin::bench

#endif  // TAVELIN_BENCH_SUPPORT_RATIO_REPORT_H_
