// Fetches a 1 MiB reservation page with Digest login from the simulated recorder over
// loopback: once through the page download, once through `curl --digest` run as a
// subprocess against the same server in the same run.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "net/page_download.h"
#include "platform/posix/posix_env.h"
#include "sim_process.h"

extern char** environ;

namespace {

constexpr int kPageSize = 1 << 20;

// One simulator for the whole run, asking for Digest login on every download.
tavelin::bench::SimProcess& Sim() {
  static tavelin::bench::SimProcess simulator(
      {"--login", "digest", "--single-use-nonce", "--page-size", std::to_string(kPageSize)});
  return simulator;
}

const std::string& PageUrl() {
  static const std::string url = Sim().Url("/program/program.htm");
  return url;
}

std::string OutputFile(const char* name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

class BenchHost : public tavelin::DownloadHost {
 public:
  std::string UserId() override { return "rd"; }
  std::string Password() override { return "recorder"; }
  std::string ProxyHost() override { return ""; }
  std::string ProxyPort() override { return ""; }
  bool DebugTracing() override { return false; }
  void LogLine(const std::string&) override {}
};

void BM_PageDownloadDigest(benchmark::State& state) {
  if (Sim().port() <= 0) {
    state.SkipWithError("recorder-sim did not start");
    return;
  }
  std::unique_ptr<tavelin::Env> env = tavelin::NewPosixEnv();
  BenchHost host;
  std::string file = OutputFile("tavelin-bench-page.html");
  std::int64_t bytes = 0;
  for (auto _ : state) {
    // A fresh downloader per page: a new connection, a refusal and a Digest login each time.
    tavelin::PageDownloader downloader(*env, host);
    std::int64_t count = downloader.Download(PageUrl(), file);
    if (count < kPageSize) {
      state.SkipWithError("download failed");
      break;
    }
    bytes += count;
  }
  state.SetBytesProcessed(bytes);
  std::filesystem::remove(file);
}
BENCHMARK(BM_PageDownloadDigest)->Unit(benchmark::kMillisecond);

void BM_CurlDigest(benchmark::State& state) {
  if (Sim().port() <= 0) {
    state.SkipWithError("recorder-sim did not start");
    return;
  }
  std::string file = OutputFile("tavelin-bench-curl.html");
  std::vector<std::string> args = {"curl",        "-s", "-f", "--digest", "-u",
                                   "rd:recorder", "-o", file, PageUrl()};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::int64_t bytes = 0;
  for (auto _ : state) {
    pid_t pid;
    int status = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0 ||
        ::waitpid(pid, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("curl failed");
      break;
    }
    bytes += kPageSize;
  }
  state.SetBytesProcessed(bytes);
  std::filesystem::remove(file);
}
BENCHMARK(BM_CurlDigest)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
