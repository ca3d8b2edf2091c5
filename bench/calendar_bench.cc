// tavelin-calendar's work on a deck's folder of 1,000 and 10,000 .tvpi files (as Tavelin
// writes them, in a folder of the system's temp folder): list, read and check every file,
// build the iCalendar text and replace the calendar file in one step. Its floor is reading
// the same files alone (the list and one read per file), and the share of the calendar
// itself is the text built from programs already read.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "calendar/calendar_run.h"
#include "calendar/icalendar.h"
#include "output/program_info.h"
#include "platform/posix/posix_env.h"
#include "ratio_report.h"

namespace tavelin {
namespace {

// A deck folder of `count` program files, made once per size and removed at exit.
class DeckFolder {
 public:
  explicit DeckFolder(int count) : env_(NewPosixEnv()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavelin-calendar-XXXXXX");
    root_ = std::string(::mkdtemp(pattern.data())) + "/";
    folder_ = root_ + "RD-X5/";
    env_->CreateFolder(folder_);
    for (int i = 0; i < count; ++i) {
      TvProgramInfo info;
      info.Station = i % 5 == 0 ? "" : "ＮＨＫ総合";
      info.Title = "番組 " + std::to_string(i) + " 「特集」 長めの題名で折り返しも起きる放送";
      info.StartTime = EncodeDate(2026, 12, 1) + i % 14 + (i / 14 % 96) * 15.0 / 1440;
      info.EndTime = info.StartTime + 45.0 / 1440;
      const std::string name = FormatStamp(info.StartTime) + "CH" + std::to_string(i) + ".tvpi";
      WriteProgramInfoFile(*env_, info, folder_ + name, false);
    }
  }
  ~DeckFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  Env& env() { return *env_; }
  const std::string& folder() const { return folder_; }
  std::string calendar_file() const { return root_ + "tv.ics"; }

 private:
  std::unique_ptr<Env> env_;
  std::string root_;
  std::string folder_;
};

DeckFolder& FolderOf(int count) {
  static std::map<int, std::unique_ptr<DeckFolder>> folders;
  auto& folder = folders[count];
  if (!folder) folder = std::make_unique<DeckFolder>(count);
  return *folder;
}

// What tavelin-calendar FOLDER FILE does, minus the process start.
void BM_CalendarOfFolder(benchmark::State& state) {
  DeckFolder& deck = FolderOf(static_cast<int>(state.range(0)));
  FolderCalendar calendar;
  for (auto _ : state) {
    std::string error;
    if (!BuildFolderCalendar(deck.env(), deck.folder(), &calendar, &error) ||
        !deck.env().ReplaceFile(deck.calendar_file(), calendar.text).ok()) {
      state.SkipWithError("the calendar was not written");
      return;
    }
  }
  state.counters["events"] = calendar.events;
  state.counters["ics_MB"] = static_cast<double>(calendar.text.size()) / 1e6;
}

// The floor: listing the folder and reading every file, nothing else.
void BM_ReadFolderFloor(benchmark::State& state) {
  DeckFolder& deck = FolderOf(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::vector<std::string> names;
    deck.env().ListFiles(deck.folder(), ".tvpi", &names);
    std::size_t bytes = 0;
    for (const std::string& name : names) {
      std::string content;
      deck.env().ReadFile(deck.folder() + name, &content);
      bytes += content.size();
    }
    benchmark::DoNotOptimize(bytes);
  }
}

// The iCalendar text alone, from events already read.
void BM_FormatCalendar(benchmark::State& state) {
  std::vector<CalendarEvent> events(static_cast<std::size_t>(state.range(0)));
  for (std::size_t i = 0; i < events.size(); ++i) {
    events[i].uid = ProgramUid("RD-X5", std::to_string(i));
    events[i].summary = "番組 " + std::to_string(i) + " 「特集」 長めの題名で折り返しも起きる放送";
    events[i].location = "NHK";
    events[i].start = EncodeDate(2026, 12, 1) + static_cast<double>(i) / 96;
    events[i].end = events[i].start + 45.0 / 1440;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatCalendar("RD-X5", events, 46000.5));
  }
}

BENCHMARK(BM_CalendarOfFolder)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFolderFloor)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormatCalendar)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavelin

int main(int argc, char** argv) {
  return tavelin::bench::RunBenchmarksWithRatios(
      argc, argv,
      {{"calendar of 10,000 files / reading them alone", "BM_CalendarOfFolder/10000",
        "BM_ReadFolderFloor/10000", "cpu_time"},
       {"calendar of 10,000 files / of 1,000", "BM_CalendarOfFolder/10000",
        "BM_CalendarOfFolder/1000", "cpu_time"}});
}
