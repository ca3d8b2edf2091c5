// Parsing speed and heap of both reservation page layouts at 10,000 and 100,000 rows, parse
// only and with the output step writing every program file into a temporary folder. The
// ratios at the end compare the large pages with the small ones.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench_pages.h"
#include "heap_peak.h"
#include "output/output_step.h"
#include "parse/parse_context.h"
#include "parse/script_parser.h"
#include "parse/table_parser.h"
#include "platform/date_time.h"
#include "platform/file_ops.h"
#include "platform/posix/posix_env.h"
#include "ratio_report.h"
#include "support/scripted_run.h"

namespace tavelin {
namespace {

using bench::ScriptPage;
using bench::TablePage;

// The parse step's surroundings: the output step writing into a folder of its own, and a
// station look-up that knows two channels.
class PageFixture : public ReservationSink, public StationLookup {
 public:
  PageFixture() : env_(NewPosixEnv()) {
    // A memory file system when there is one, so that the figures show this program rather
    // than the disk's journal.
    const std::string base = env_->FolderExists("/dev/shm") ? "/dev/shm/" : TempFolder(*env_);
    folder_ = base + "tavelin-parse-bench-" + std::to_string(env_->Random32()) + "/";
    env_->ForceFolders(folder_);
    output_ = std::make_unique<OutputContext>(OutputContext{*env_, folder_ + "out/", run_});
    env_->ForceFolders(output_->output_folder);
  }
  ~PageFixture() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);  // ASCII path: no conversion needed
  }

  Env& env() { return *env_; }
  TDateTime today() { return DateOf(env_->Now()); }
  int FilesWritten() {
    std::vector<std::string> names;
    env_->ListFiles(output_->output_folder, ".tvpi", &names);
    return static_cast<int>(names.size());
  }

  ParseContext Context() {
    return ParseContext{
        .run = run_, .now = [this] { return env_->Now(); }, .stations = *this, .sink = *this};
  }

  void Take(const WorkingReservation& reservation) override {
    TvProgramInfo info = reservation.info;
    EmitReservation(*output_, info, reservation.recurrence, reservation.tuner,
                    reservation.late_night_days);
  }
  std::optional<std::string> StationFor(const std::string& key) override {
    if (key == "1" || key == "BS101") return "局" + key;
    return std::nullopt;
  }

 private:
  std::unique_ptr<Env> env_;
  std::string folder_;
  ScriptedRun run_;
  std::unique_ptr<OutputContext> output_;
};

// Arguments: reservations on the page; 1 when they are current (every one written), 0 when
// they lie 100 days back (every one dropped by the output step, so only parsing is timed).
TDateTime PageDay(PageFixture& fixture, const benchmark::State& state) {
  return fixture.today() - (state.range(1) ? 0 : 100);
}

// Runs `parse` over `page` once per iteration. Counters: files written, the heap's peak
// during a run as a multiple of the page's size, the process's peak resident set so far.
template <typename Parse>
void ParsePage(benchmark::State& state, PageFixture& fixture, const std::string& page,
               Parse parse) {
  const ParseContext context = fixture.Context();
  int64_t peak = 0;
  for (auto _ : state) {
    bench::ResetHeapPeak();
    const int64_t before = bench::HeapLiveBytes();
    WorkingReservation reservation;
    parse(page, context, reservation);
    peak = std::max(peak, bench::HeapPeakBytes() - before);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
  state.counters["files"] = fixture.FilesWritten();
  state.counters["page_MB"] = static_cast<double>(page.size()) / 1e6;
  state.counters["heap_x_page"] = static_cast<double>(peak) / static_cast<double>(page.size());
  state.counters["rss_MB"] = static_cast<double>(bench::PeakRssBytes()) / 1e6;
}

void BM_TableLayoutPage(benchmark::State& state) {
  PageFixture fixture;
  const std::string page = TablePage(static_cast<int>(state.range(0)), PageDay(fixture, state));
  ParsePage(state, fixture, page, ParseTableLayout);
}

void BM_ScriptLayoutPage(benchmark::State& state) {
  PageFixture fixture;
  const std::string page = ScriptPage(static_cast<int>(state.range(0)), PageDay(fixture, state));
  ParsePage(state, fixture, page, ParseScriptLayout);
}

// The script parser over a table page and the other way round: pages it finds nothing in.
void BM_OtherLayoutPage(benchmark::State& state) {
  PageFixture fixture;
  const int count = static_cast<int>(state.range(0));
  const std::string table = TablePage(count, fixture.today());
  const std::string script = ScriptPage(count, fixture.today());
  const ParseContext context = fixture.Context();
  for (auto _ : state) {
    WorkingReservation reservation;
    ParseScriptLayout(table, context, reservation);
  }
  for (int i = 0; i < 3; ++i) {
    WorkingReservation reservation;
    ParseTableLayout(script, context, reservation);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(table.size()));
  state.counters["files"] = fixture.FilesWritten();
}

BENCHMARK(BM_TableLayoutPage)
    ->ArgsProduct({{10000, 100000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScriptLayoutPage)
    ->ArgsProduct({{10000, 100000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OtherLayoutPage)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavelin

int main(int argc, char** argv) {
  std::vector<tavelin::bench::Ratio> ratios;
  for (const char* layout : {"Table", "Script"}) {
    for (const char* files : {"0", "1"}) {
      const std::string name = std::string("BM_") + layout + "LayoutPage/";
      ratios.push_back({std::string(layout) + " layout CPU time, 100k / 10k rows, files " + files,
                        name + "100000/" + files, name + "10000/" + files, "cpu_time"});
    }
  }
  return tavelin::bench::RunBenchmarksWithRatios(argc, argv, ratios);
}
