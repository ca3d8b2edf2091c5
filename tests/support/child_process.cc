#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

namespace tavelin::testing {
namespace {

int ExitCodeOf(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// In the child: points `target` at `file`, created or emptied unless it is read.
bool Redirect(const std::string& file, int target, bool write) {
  const int fd = write ? ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644)
                       : ::open(file.c_str(), O_RDONLY);
  return fd >= 0 && ::dup2(fd, target) >= 0 && (fd == target || ::close(fd) == 0);
}

// In the child: sets up what `options` ask for; false when a step failed.
bool PrepareChild(const ChildProcess::Options& options) {
  if (options.end_with_parent && ::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0) return false;
  for (const std::string& entry : options.set_environment) {
    const std::size_t equals = entry.find('=');
    if (equals == std::string::npos) return false;
    if (::setenv(entry.substr(0, equals).c_str(), entry.c_str() + equals + 1, 1) != 0) {
      return false;
    }
  }
  if (!options.input_file.empty() && !Redirect(options.input_file, STDIN_FILENO, false)) {
    return false;
  }
  if (options.output_fd >= 0 &&
      (::dup2(options.output_fd, STDOUT_FILENO) < 0 ||
       (options.output_fd != STDOUT_FILENO && ::close(options.output_fd) != 0))) {
    return false;
  }
  if (!options.output_file.empty() && !Redirect(options.output_file, STDOUT_FILENO, true)) {
    return false;
  }
  if (!options.error_file.empty()) {
    const bool shared = options.error_file == options.output_file;
    if (shared ? ::dup2(STDOUT_FILENO, STDERR_FILENO) < 0
               : !Redirect(options.error_file, STDERR_FILENO, true)) {
      return false;
    }
  }
  int fds[2];
  if (options.broken_error &&
      (::pipe(fds) != 0 || ::close(fds[0]) != 0 || ::dup2(fds[1], STDERR_FILENO) < 0)) {
    return false;
  }
  return true;
}

}  // namespace

bool ChildProcess::Start(const std::vector<std::string>& argv_text, const Options& options) {
  Stop();
  stop_signal_ = options.stop_signal;
  // Everything the child needs is made before the fork: it only calls what is safe there.
  std::vector<char*> argv;
  for (const std::string& arg : argv_text) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  if (options.environment) {
    for (const std::string& e : *options.environment) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!PrepareChild(options)) ::_exit(126);
    if (options.environment) {
      ::execve(argv[0], argv.data(), envp.data());
    } else if (options.search_path) {
      ::execvp(argv[0], argv.data());
    } else {
      ::execv(argv[0], argv.data());
    }
    ::_exit(127);
  }
  pid_ = pid > 0 ? pid : -1;
  return pid_ > 0;
}

std::optional<int> ChildProcess::WaitFor(std::chrono::milliseconds limit) {
  if (pid_ <= 0) return std::nullopt;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return ExitCodeOf(status);
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

int ChildProcess::Wait() {
  if (pid_ <= 0) return -1;
  int status = 0;
  if (::waitpid(pid_, &status, 0) != pid_) return -1;
  pid_ = -1;
  return ExitCodeOf(status);
}

bool ChildProcess::Running() const {
  siginfo_t info{};
  return pid_ > 0 &&
         ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == 0;
}

void ChildProcess::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, stop_signal_);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

std::string ReadFirstLine(int fd, int seconds) {
  std::string line;
  for (int waits = 0; line.find('\n') == std::string::npos && waits < seconds * 10; ++waits) {
    pollfd p = {fd, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    char buffer[256];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    line.append(buffer, static_cast<std::size_t>(n));
  }
  return line;
}

}  // namespace tavelin::testing
