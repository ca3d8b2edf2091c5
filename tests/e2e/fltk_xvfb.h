// A private X server (Xvfb) for the desktop tests: started on a free display number, ended
// with the test. Plus a way to run X tools (xdotool, xprop, import) against it.
#ifndef TAVELIN_TESTS_E2E_FLTK_XVFB_H_
#define TAVELIN_TESTS_E2E_FLTK_XVFB_H_

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"

namespace tavelin::testing {

inline bool ProgramInstalled(const std::string& name) {
  const std::string command = "command -v " + name + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

class XvfbServer {
 public:
  XvfbServer() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    // Only the write end goes to the server; the server ends with the test program, also
    // when that one crashes, and must not hold the test's output open.
    ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    const std::string fd = std::to_string(fds[1]);
    const bool started =
        // -noreset: by default the server resets when its last client leaves, and a client
        // connecting during that reset is refused (measured: 9 of 421 opens under load).
        // Every probe of a test (xdotool, xprop) is such a last client.
        server_.Start({"Xvfb", "-displayfd", fd, "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                       "-noreset"},
                      {.input_file = "/dev/null",
                       .output_file = "/dev/null",
                       .error_file = "/dev/null",
                       .search_path = true,
                       .end_with_parent = true,
                       .stop_signal = SIGTERM});
    ::close(fds[1]);
    if (!started) {
      ::close(fds[0]);
      return;
    }
    // Xvfb writes the display number it chose once it accepts clients.
    const std::string number = ReadFirstLine(fds[0]);
    ::close(fds[0]);
    if (number.find('\n') != std::string::npos)
      display_ = ":" + number.substr(0, number.find('\n'));
  }
  ~XvfbServer() = default;
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  bool started() const { return !display_.empty(); }
  // ":N"
  const std::string& display() const { return display_; }

  // Runs a shell command with DISPLAY set to this server; its standard output, trimmed of
  // the final line break. `status` gets the exit status.
  std::string Run(const std::string& command, int* status = nullptr) const {
    const std::string line = "DISPLAY=" + display_ + " " + command + " 2>/dev/null";
    std::string out;
    FILE* pipe = ::popen(line.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int result = ::pclose(pipe);
    if (status != nullptr) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
  }

  // The visible windows of class `window_class` whose title (_NET_WM_NAME, UTF-8) is
  // exactly `title`. Titles are compared here because xdotool's name search cannot match
  // text beyond ASCII.
  std::vector<std::string> WindowsTitled(const std::string& title,
                                         const std::string& window_class = "Tavelin") const {
    std::vector<std::string> found;
    const std::string ids = Run("xdotool search --onlyvisible --class '" + window_class + "'");
    size_t start = 0;
    while (start < ids.size()) {
      size_t end = ids.find('\n', start);
      if (end == std::string::npos) end = ids.size();
      const std::string id = ids.substr(start, end - start);
      start = end + 1;
      if (id.empty()) continue;
      const std::string name = Run("xprop -id " + id + " _NET_WM_NAME");
      if (name == "_NET_WM_NAME(UTF8_STRING) = \"" + title + "\"") found.push_back(id);
    }
    return found;
  }

  // The first window titled `title`, waiting up to `seconds`; empty when none appears. The
  // default leaves room for a sanitizer build starting FLTK while other suites run beside it.
  std::string WaitForWindow(const std::string& title, double seconds = 30) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    do {
      const std::vector<std::string> found = WindowsTitled(title);
      if (!found.empty()) return found.front();
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } while (std::chrono::steady_clock::now() < end);
    return "";
  }

  // True once no visible window is titled `title`, waiting up to `seconds`.
  bool WaitUntilGone(const std::string& title, double seconds = 10) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    do {
      if (WindowsTitled(title).empty()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } while (std::chrono::steady_clock::now() < end);
    return false;
  }

 private:
  ChildProcess server_;
  std::string display_;
};

}  // namespace tavelin::testing

#endif  // TAVELIN_TESTS_E2E_FLTK_XVFB_H_
