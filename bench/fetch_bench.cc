// What a user waits for: the whole tavelin process in fetch mode, started as the host starts
// it, against the simulated recorder on loopback serving a generated table page of 200,
// 10,000 and 100,000 reservations. Each run downloads the page, deletes the previous run's
// files, parses the page and writes one .tvpi file per program, in a folder of the system's
// temp folder (the file system the program really writes to, not a memory one). The random
// start delay is skipped by a preloaded library (start_delay_shim/).
//
// Beside it, in the same run, its floor: the download alone (curl, as a process, the same
// page from the same simulator) and the same number of file creations of the same size by a
// plain loop of open, write and close. The ratios after the table put the fetch against the
// sum of the two, and the 100,000-row fetch against the 10,000-row one.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_pages.h"
#include "platform/date_time.h"
#include "platform/posix/posix_env.h"
#include "ratio_report.h"
#include "sim_process.h"

extern char** environ;

namespace tavelin {
namespace {

namespace fs = std::filesystem;

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Runs `args` with `env` (the parent's environment when empty), output to /dev/null; true when
// it ended with exit code 0.
bool RunProcess(const std::vector<std::string>& args, const std::vector<std::string>& env) {
  std::vector<char*> argv, envp;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  for (const std::string& var : env) envp.push_back(const_cast<char*>(var.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(),
                                   env.empty() ? environ : envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A host's world in the temp folder: the registry file naming the root folder, the deck's
// settings pointing at the simulator serving a generated page, a temp and an output folder.
class FetchWorld {
 public:
  explicit FetchWorld(int rows) {
    folder_ = (fs::temp_directory_path() /
               ("tavelin-fetch-bench-" + std::to_string(::getpid()) + "-" + std::to_string(rows)))
                  .string() +
              "/";
    fs::remove_all(folder_);
    fs::create_directories(folder_ + "config/tavelin");
    fs::create_directories(folder_ + "root");
    fs::create_directories(folder_ + "temp");
    std::unique_ptr<Env> env = NewPosixEnv();
    page_ = bench::TablePage(rows, DateOf(env->Now()));
    WriteBytes(folder_ + "page.html", page_);
    sim_ = std::make_unique<bench::SimProcess>(
        std::vector<std::string>{"--program-file", folder_ + "page.html"});
    WriteBytes(folder_ + "config/tavelin/registry.reg",
               "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\software\\Morvik\\Qadrel2\\etc]\r\n"
               "\"RootPath\"=\"" +
                   folder_ + "root/\"\r\n");
    WriteBytes(folder_ + "root/nubra.ini", "[RD1]\r\nRDH1_IP_Text=127.0.0.1\r\nRDH1_Port_Text=" +
                                               std::to_string(sim_->port()) + "\r\n");
  }
  ~FetchWorld() {
    sim_.reset();
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  FetchWorld(const FetchWorld&) = delete;
  FetchWorld& operator=(const FetchWorld&) = delete;

  bool ready() const { return sim_->port() > 0; }
  std::string folder() const { return folder_; }
  std::string output_folder() const { return folder_ + "out/RD1"; }
  std::string page_url() const { return sim_->Url("/program/program.htm"); }

  // What one run of the process used. Measured by /usr/bin/time, which forks its child: a
  // process started by posix_spawn from this one would count this benchmark's own resident
  // set as its peak (the memory it shared until exec).
  struct Usage {
    double peak_mb = 0;
    double user_s = 0;
    double system_s = 0;
  };

  // tavelin in fetch mode, as the host starts it, without a display.
  bool Fetch(Usage* usage = nullptr) {
    const std::vector<std::string> env = {
        "HOME=" + folder_,
        "XDG_CONFIG_HOME=" + folder_ + "config",
        "temp=" + folder_ + "temp/",
        "PATH=/usr/bin:/bin",
        std::string("LD_PRELOAD=") + TAVELIN_SKIP_START_DELAY,
    };
    const std::string report = folder_ + "usage.txt";
    if (!RunProcess(
            {"/usr/bin/time", "-f", "%M %U %S", "-o", report, TAVELIN_PROGRAM, output_folder()},
            env)) {
      return false;
    }
    Usage used;
    std::ifstream(report) >> used.peak_mb >> used.user_s >> used.system_s;
    used.peak_mb = used.peak_mb * 1024 / 1e6;  // reported in KiB
    if (usage != nullptr) *usage = used;
    return true;
  }

  // The written files and their total size.
  void Count(int* files, std::uintmax_t* bytes) const {
    *files = 0;
    *bytes = 0;
    std::error_code ignored;
    for (const fs::directory_entry& entry : fs::directory_iterator(output_folder(), ignored)) {
      if (entry.path().extension() != ".tvpi") continue;
      ++*files;
      *bytes += entry.file_size();
    }
  }

 private:
  std::string folder_;
  std::string page_;
  std::unique_ptr<bench::SimProcess> sim_;
};

// One world per page size, kept for the whole program: the fetch, the download and the file
// loop then see the same page and the same numbers of files.
FetchWorld& WorldOf(int rows) {
  static std::map<int, std::unique_ptr<FetchWorld>> worlds;
  std::unique_ptr<FetchWorld>& world = worlds[rows];
  if (!world) world = std::make_unique<FetchWorld>(rows);
  return *world;
}

// Beside the wall time, the process's peak resident set and its CPU time per run: its user
// time is the program's own work (parsing, formatting), which must grow linearly with the
// page whatever the file system does; its system time is mostly the file system's.
void BM_FetchProcess(benchmark::State& state) {
  FetchWorld& world = WorldOf(static_cast<int>(state.range(0)));
  FetchWorld::Usage first;
  // A first run leaves the files that every timed run deletes, as a periodic fetch finds the
  // previous one's.
  if (!world.ready() || !world.Fetch(&first)) {
    state.SkipWithError("recorder-sim, /usr/bin/time or tavelin did not run");
    return;
  }
  double peak_mb = first.peak_mb;
  double user_s = 0;
  double system_s = 0;
  for (auto _ : state) {
    FetchWorld::Usage used;
    if (!world.Fetch(&used)) {
      state.SkipWithError("tavelin failed");
      return;
    }
    peak_mb = std::max(peak_mb, used.peak_mb);
    user_s += used.user_s;
    system_s += used.system_s;
  }
  int files = 0;
  std::uintmax_t bytes = 0;
  world.Count(&files, &bytes);
  const double runs =
      static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
  state.counters["files"] = files;
  state.counters["rss_MB"] = peak_mb;
  state.counters["user_ms"] = user_s * 1000 / runs;
  state.counters["sys_ms"] = system_s * 1000 / runs;
}

// The download alone: curl fetching the same page from the same simulator.
void BM_DownloadFloor(benchmark::State& state) {
  FetchWorld& world = WorldOf(static_cast<int>(state.range(0)));
  const std::vector<std::string> curl = {"curl", "-s", "-o", "/dev/null", world.page_url()};
  if (!world.ready() || !RunProcess(curl, {})) {
    state.SkipWithError("recorder-sim or curl did not run");
    return;
  }
  for (auto _ : state) RunProcess(curl, {});
}

// The plain loop's files: as many as the fetch writes, of the same average size, in a
// folder of their own beside the fetch's.
struct LoopFiles {
  std::vector<std::string> names;
  std::string content;
};

// Each file by open (create, write only), one write and close.
void CreateAll(benchmark::State& state, const LoopFiles& loop) {
  for (const std::string& name : loop.names) {
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 || ::write(fd, loop.content.data(), loop.content.size()) < 0) {
      state.SkipWithError("cannot write the loop's files");
    }
    if (fd >= 0) ::close(fd);
  }
}

void DeleteAll(const LoopFiles& loop) {
  for (const std::string& name : loop.names) ::unlink(name.c_str());
}

bool PrepareLoop(benchmark::State& state, LoopFiles* loop) {
  FetchWorld& world = WorldOf(static_cast<int>(state.range(0)));
  int files = 0;
  std::uintmax_t bytes = 0;
  if (!world.ready() || !world.Fetch()) {
    state.SkipWithError("recorder-sim or tavelin did not run");
    return false;
  }
  world.Count(&files, &bytes);
  loop->content.assign(files > 0 ? bytes / files : 0, 'x');
  const std::string folder = world.folder() + "loop/";
  // The fetch's own file names: the folder's index sees the same names.
  std::error_code ignored;
  for (const fs::directory_entry& entry : fs::directory_iterator(world.output_folder(), ignored)) {
    if (entry.path().extension() == ".tvpi") {
      loop->names.push_back(folder + entry.path().filename().string());
    }
  }
  fs::remove_all(folder);
  fs::create_directories(folder);
  state.counters["files"] = files;
  // Every timed round then finds the previous round's files, as every fetch finds the last
  // run's: a first round into an empty new folder would be several times cheaper.
  CreateAll(state, *loop);
  return true;
}

// The file system's part of the writing: the files created into the folder their previous
// copies have just been deleted from, outside the timing: the state the fetch finds its
// folder in after deleting the last run's files. (A new folder would be cheaper: on ext4 a
// large folder that has just lost its entries costs more per creation.)
void BM_FileCreationFloor(benchmark::State& state) {
  LoopFiles loop;
  if (!PrepareLoop(state, &loop)) return;
  for (auto _ : state) {
    state.PauseTiming();
    DeleteAll(loop);
    state.ResumeTiming();
    CreateAll(state, loop);
  }
}

// The deletion of the previous run's files, which the fetch does before it writes: the same
// files deleted by a plain loop of unlink.
void BM_FileDeletionFloor(benchmark::State& state) {
  LoopFiles loop;
  if (!PrepareLoop(state, &loop)) return;
  for (auto _ : state) {
    state.PauseTiming();
    CreateAll(state, loop);
    state.ResumeTiming();
    DeleteAll(loop);
  }
}

BENCHMARK(BM_FetchProcess)
    ->Arg(200)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_DownloadFloor)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FileCreationFloor)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_FileDeletionFloor)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace tavelin

int main(int argc, char** argv) {
  return tavelin::bench::RunBenchmarksWithRatios(
      argc, argv,
      {{"fetch / (download + file creations), 10,000 rows", "BM_FetchProcess/10000/real_time",
        "BM_DownloadFloor/10000/real_time+BM_FileCreationFloor/10000/real_time", "real_time"},
       {"fetch / (download + file creations), 100,000 rows", "BM_FetchProcess/100000/real_time",
        "BM_DownloadFloor/100000/real_time+BM_FileCreationFloor/100000/real_time", "real_time"},
       // The whole of the file system's share: the last run's files go first.
       {"fetch / (download + file deletions + creations), 10,000 rows",
        "BM_FetchProcess/10000/real_time",
        "BM_DownloadFloor/10000/real_time+BM_FileDeletionFloor/10000/real_time+"
        "BM_FileCreationFloor/10000/real_time",
        "real_time"},
       {"fetch / (download + file deletions + creations), 100,000 rows",
        "BM_FetchProcess/100000/real_time",
        "BM_DownloadFloor/100000/real_time+BM_FileDeletionFloor/100000/real_time+"
        "BM_FileCreationFloor/100000/real_time",
        "real_time"},
       {"whole fetch time, 100,000 / 10,000 rows", "BM_FetchProcess/100000/real_time",
        "BM_FetchProcess/10000/real_time", "real_time"},
       {"the fetch's user time, 100,000 / 10,000 rows", "BM_FetchProcess/100000/real_time",
        "BM_FetchProcess/10000/real_time", "user_ms"},
       // The file system's own growth, for comparison: more files in a folder that has just
       // lost as many costs more per file.
       {"file creations alone, 100,000 / 10,000 files", "BM_FileCreationFloor/100000/real_time",
        "BM_FileCreationFloor/10000/real_time", "real_time"}});
}
