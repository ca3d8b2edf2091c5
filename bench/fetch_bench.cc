// A whole fetch in one process: the process entry with the headless window and an Env that
// skips only the random start delay, against the simulated recorder on loopback serving a
// generated table page of 200 and of 10,000 reservations. Every fetch downloads the page,
// deletes the previous run's files, parses the page and writes one .tvpi file per program.
// Reports the wall time per fetch, the files written, the heap's peak during one fetch and
// the process's peak resident set.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/plugin_main.h"
#include "bench_pages.h"
#include "heap_peak.h"
#include "platform/posix/posix_env.h"
#include "ratio_report.h"
#include "sim_process.h"
#include "ui/headless/headless_backend.h"

namespace tavelin {
namespace {

// The real Env, but the first sleep of each run (the random start delay) is skipped and
// "temp" names the world's temp folder.
class NoStartDelayEnv : public EnvWrapper {
 public:
  NoStartDelayEnv(std::unique_ptr<Env> target, std::string temp_folder)
      : EnvWrapper(target.get()), owned_(std::move(target)), temp_folder_(temp_folder) {}

  void StartRun() { delay_pending_ = true; }
  void SleepMs(int ms) override {
    if (delay_pending_) {
      delay_pending_ = false;
      return;
    }
    EnvWrapper::SleepMs(ms);
  }
  bool GetEnvironment(const std::string& name, std::string* value) override {
    if (name != "temp") return EnvWrapper::GetEnvironment(name, value);
    *value = temp_folder_;
    return true;
  }

 private:
  std::unique_ptr<Env> owned_;
  std::string temp_folder_;
  bool delay_pending_ = false;
};

// A registry file naming the root folder, the deck's settings pointing at the simulator, a
// temp folder and the output folder's parent, in a memory file system when there is one.
class FetchWorld {
 public:
  explicit FetchWorld(int rows) {
    std::unique_ptr<Env> probe = NewPosixEnv();
    const std::string base = probe->FolderExists("/dev/shm") ? "/dev/shm/" : "/tmp/";
    folder_ = base + "tavelin-fetch-bench-" + std::to_string(probe->Random32()) + "/";
    std::filesystem::create_directories(folder_ + "root");
    std::filesystem::create_directories(folder_ + "temp");
    const std::string page_file = folder_ + "page.html";
    Write(page_file, bench::TablePage(rows, DateOf(probe->Now())));
    sim_ =
        std::make_unique<bench::SimProcess>(std::vector<std::string>{"--program-file", page_file});
    Write(folder_ + "registry.reg",
          "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\software\\Morvik\\Qadrel2\\etc]\r\n"
          "\"RootPath\"=\"" +
              folder_ + "root/\"\r\n");
    Write(folder_ + "root/nubra.ini", "[RD1]\r\nRDH1_IP_Text=127.0.0.1\r\nRDH1_Port_Text=" +
                                          std::to_string(sim_->port()) + "\r\n");
    PosixEnvOptions options;
    options.registry_file = folder_ + "registry.reg";
    options.lock_folder = folder_;
    env_ = std::make_unique<NoStartDelayEnv>(NewPosixEnv(options), folder_ + "temp/");
  }
  ~FetchWorld() {
    sim_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);  // ASCII path: no conversion needed
  }

  bool ready() const { return sim_->port() > 0; }
  std::string output_folder() const { return folder_ + "out/RD1"; }

  void Fetch() {
    env_->StartRun();
    RunPlugIn(*env_, {output_folder()}, [](Env& env) -> std::unique_ptr<ui::Backend> {
      return std::make_unique<ui::HeadlessBackend>(env);
    });
  }

  int FilesWritten() {
    std::vector<std::string> names;
    env_->ListFiles(output_folder() + "/", ".tvpi", &names);
    return static_cast<int>(names.size());
  }

 private:
  void Write(const std::string& path, const std::string& bytes) {
    std::unique_ptr<Env> env = NewPosixEnv();
    std::unique_ptr<WritableFile> file = env->NewWritableFile(path, false);
    if (file) {
      file->Append(bytes);
      file->Close();
    }
  }

  std::string folder_;
  std::unique_ptr<bench::SimProcess> sim_;
  std::unique_ptr<NoStartDelayEnv> env_;
};

void BM_WholeFetch(benchmark::State& state) {
  FetchWorld world(static_cast<int>(state.range(0)));
  if (!world.ready()) {
    state.SkipWithError("recorder-sim did not start");
    return;
  }
  int64_t peak = 0;
  for (auto _ : state) {
    bench::ResetHeapPeak();
    const int64_t before = bench::HeapLiveBytes();
    world.Fetch();
    peak = std::max(peak, bench::HeapPeakBytes() - before);
  }
  state.counters["files"] = world.FilesWritten();
  state.counters["heap_MB"] = static_cast<double>(peak) / 1e6;
  state.counters["rss_MB"] = static_cast<double>(bench::PeakRssBytes()) / 1e6;
}
BENCHMARK(BM_WholeFetch)->Arg(200)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tavelin

int main(int argc, char** argv) {
  return tavelin::bench::RunBenchmarksWithRatios(
      argc, argv,
      {{"whole fetch time, 10,000 / 200 rows", "BM_WholeFetch/10000/real_time",
        "BM_WholeFetch/200/real_time", "real_time"}});
}
