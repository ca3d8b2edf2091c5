// Fetches a 1 MiB reservation page with Digest login from the simulated recorder over
// loopback: once through the page download, once through `curl --digest` run as a
// subprocess against the same server in the same run.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "net/page_download.h"
#include "platform/posix/posix_env.h"

extern char** environ;

namespace {

constexpr int kPageSize = 1 << 20;

// One simulator for the whole run, asking for Digest login on every download.
class Simulator {
 public:
  Simulator() {
    std::string program = std::string(TAVELIN_BINARY_DIR) + "/tools/recorder-sim/recorder-sim";
    std::vector<std::string> args = {program,       "--port",
                                     "0",           "--login",
                                     "digest",      "--single-use-nonce",
                                     "--page-size", std::to_string(kPageSize)};
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string line;
    for (int i = 0; i < 100 && line.find('\n') == std::string::npos; ++i) {
      pollfd p = {out[0], POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char buffer[128];
      ssize_t n = ::read(out[0], buffer, sizeof buffer);
      if (n <= 0) break;
      line.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    std::sscanf(line.c_str(), "listening on port %d", &port_);
  }
  ~Simulator() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  int port() const { return port_; }
  std::string Url() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/program/program.htm";
  }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

Simulator& Sim() {
  static Simulator simulator;
  return simulator;
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
    std::int64_t count = downloader.Download(Sim().Url(), file);
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
                                   "rd:recorder", "-o", file, Sim().Url()};
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
