#include "sim_process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

extern char** environ;

namespace tavelin::bench {

SimProcess::SimProcess(const std::vector<std::string>& sim_args) {
  std::string program = std::string(TAVELIN_BINARY_DIR) + "/tools/recorder-sim/recorder-sim";
  std::vector<std::string> args = {program, "--port", "0"};
  args.insert(args.end(), sim_args.begin(), sim_args.end());
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
  // It prints "listening on port N" once it accepts connections.
  std::string line;
  for (int i = 0; i < 100 && pid_ > 0 && line.find('\n') == std::string::npos; ++i) {
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

SimProcess::~SimProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
}

}  // namespace tavelin::bench
