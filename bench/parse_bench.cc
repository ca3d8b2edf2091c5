// Parsing speed of both reservation page layouts, the output step writing every program
// file into a temporary folder.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "net/file_ops.h"
#include "output/output_step.h"
#include "parse/parse_context.h"
#include "parse/script_parser.h"
#include "parse/table_parser.h"
#include "platform/date_time.h"
#include "platform/posix/posix_env.h"

namespace tavelin {
namespace {

// Reservation i: day i % 10 from today, a distinct start time, alternately a known channel.
struct Slot {
  std::string date;  // m/d(曜)
  std::string start;
  std::string end;
  std::string channel;
};

Slot SlotOf(int i, TDateTime today) {
  static const char* const kWeekdays[] = {"日", "月", "火", "水", "木", "金", "土"};
  const TDateTime day = today + i % 10;
  const DateParts d = DecodeDate(day);
  char buffer[64];
  Slot slot;
  std::snprintf(buffer, sizeof buffer, "%d/%d(", d.month, d.day);
  slot.date = std::string(buffer) + kWeekdays[DayOfWeek(day) - 1] + ")";
  const int hour = i / 10 % 24;
  const int minute = i / 240 % 60;
  std::snprintf(buffer, sizeof buffer, "%02d:%02d", hour, minute);
  slot.start = buffer;
  std::snprintf(buffer, sizeof buffer, "%02d:%02d", (hour + 1) % 24, minute);
  slot.end = buffer;
  slot.channel = i % 2 == 0 ? "CH" + std::to_string(i % 12 + 1) : "BS10" + std::to_string(i % 3);
  return slot;
}

std::string TablePage(int count, TDateTime today) {
  std::string page =
      "<html><body><table border=1><tbody>\r\n"
      "<tr><th>番組名</th><th>CH</th><th>日付</th><th>時間</th><th>画質</th></tr>\r\n";
  for (int i = 0; i < count; ++i) {
    const Slot s = SlotOf(i, today);
    page += "<tr><td><a href=\"b_proginfo.htm?" + std::to_string(i) + "\">番組 <b>" +
            std::to_string(i) + "</b> &amp; 特集</a></td>";
    if (i % 7 == 0) page += "<td><img src=\"/img/act_R1.gif\"></td>";
    page += "<td>" + s.channel + "</td><td>" + s.date + "</td><td>" + s.start + "-" + s.end +
            "</td><td>SP</td></tr>\r\n";
  }
  return page + "</tbody></table></body></html>\r\n";
}

std::string ScriptPage(int count, TDateTime today) {
  std::string page = "<html><head><script>\r\n";
  for (int i = 0; i < count; ++i) {
    const Slot s = SlotOf(i, today);
    const std::string n = "[" + std::to_string(i) + "]";
    page += "c1" + n + "=" + std::to_string(i) + ";c2" + n + "=1;c3" + n + "=\"番組" +
            std::to_string(i) + "\";c4" + n + "=" + std::to_string(i % 9) + ";c5" + n + "=\"" +
            (i % 2 == 0 ? std::to_string(i % 40) + "-1" : s.channel) + "\";c6" + n + "=\"" +
            s.date + "\";c7" + n + "=\"" + s.start + "\";c8" + n + "=\"" + s.end + "\";\r\n";
  }
  return page + "</script></head></html>\r\n";
}

class PageFixture {
 public:
  PageFixture() : env_(NewPosixEnv()) {
    // A memory file system when there is one, so that the figures show this program rather
    // than the disk's journal.
    const std::string base = env_->FolderExists("/dev/shm") ? "/dev/shm/" : TempFolder(*env_);
    folder_ = base + "tavelin-parse-bench-" + std::to_string(env_->Random32()) + "/";
    env_->ForceFolders(folder_);
    output_ = std::make_unique<OutputContext>(OutputContext{
        *env_, folder_ + "out/", [] { return kNoDualRecording; }, [] { return false; }, [] {}});
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

  ParseContext Context(const std::string& page) {
    const std::string path = folder_ + "rdprogram.html";
    auto file = env_->NewWritableFile(path, false);
    file->Append(page);
    file->Close();
    return ParseContext{*env_,
                        path,
                        [] { return false; },
                        [] {},
                        [](const std::string&) {},
                        [](const std::string& key) -> std::optional<std::string> {
                          if (key == "1" || key == "BS101") return "局" + key;
                          return std::nullopt;
                        },
                        *output_};
  }

 private:
  std::unique_ptr<Env> env_;
  std::string folder_;
  std::unique_ptr<OutputContext> output_;
};

// Arguments: reservations on the page; 1 when they are current (every one written), 0 when
// they lie 100 days back (every one dropped by the output step, so only parsing is timed).
TDateTime PageDay(PageFixture& fixture, const benchmark::State& state) {
  return fixture.today() - (state.range(1) ? 0 : 100);
}

void BM_TableLayoutPage(benchmark::State& state) {
  PageFixture fixture;
  const std::string page = TablePage(static_cast<int>(state.range(0)), PageDay(fixture, state));
  const ParseContext context = fixture.Context(page);
  for (auto _ : state) {
    WorkingReservation reservation;
    ParseTableLayout(context, reservation);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
  state.counters["files"] = fixture.FilesWritten();
}

void BM_ScriptLayoutPage(benchmark::State& state) {
  PageFixture fixture;
  const std::string page = ScriptPage(static_cast<int>(state.range(0)), PageDay(fixture, state));
  const ParseContext context = fixture.Context(page);
  for (auto _ : state) {
    WorkingReservation reservation;
    ParseScriptLayout(context, reservation);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
  state.counters["files"] = fixture.FilesWritten();
}

// The script parser over a table page and the other way round: pages it finds nothing in.
void BM_OtherLayoutPage(benchmark::State& state) {
  PageFixture fixture;
  const int count = static_cast<int>(state.range(0));
  const std::string table = TablePage(count, fixture.today());
  const std::string script = ScriptPage(count, fixture.today());
  const ParseContext table_context = fixture.Context(table);
  for (auto _ : state) {
    WorkingReservation reservation;
    ParseScriptLayout(table_context, reservation);
  }
  const ParseContext script_context = fixture.Context(script);
  for (int i = 0; i < 3; ++i) {
    WorkingReservation reservation;
    ParseTableLayout(script_context, reservation);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(table.size()));
  state.counters["files"] = fixture.FilesWritten();
}

BENCHMARK(BM_TableLayoutPage)
    ->Args({10000, 1})
    ->Args({10000, 0})
    ->Args({100000, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScriptLayoutPage)
    ->Args({10000, 1})
    ->Args({10000, 0})
    ->Args({100000, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OtherLayoutPage)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavelin

BENCHMARK_MAIN();
