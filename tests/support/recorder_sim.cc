#include "support/recorder_sim.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tavelin::testing {

namespace fs = std::filesystem;

std::string RecorderSim::ProgramPath() {
  return std::string(TAVELIN_BINARY_DIR) + "/tools/recorder-sim/recorder-sim";
}

RecorderSim::RecorderSim(const std::vector<std::string>& args) {
  std::string pattern = (fs::temp_directory_path() / "tavelin-sim-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "cannot create a folder for the simulator's log";
    return;
  }
  folder_ = pattern;
  log_file_ = folder_ + "/requests.log";

  std::vector<std::string> argv_text = {ProgramPath(), "--port", "0", "--log", log_file_};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  // Only the write end goes to the simulator, as its standard output.
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe failed";
    return;
  }
  const bool started = process_.Start(argv_text, {.output_fd = out[1], .stop_signal = SIGTERM});
  ::close(out[1]);
  if (!started) {
    ::close(out[0]);
    ADD_FAILURE() << "fork failed";
    return;
  }

  // Wait for the first line: "listening on port N".
  const std::string line = ReadFirstLine(out[0]);
  ::close(out[0]);
  const std::string prefix = "listening on port ";
  if (line.rfind(prefix, 0) == 0) port_ = std::atoi(line.c_str() + prefix.size());
  if (port_ <= 0) {
    ADD_FAILURE() << "recorder-sim did not start (" << ProgramPath() << "): " << line;
    Stop();
  }
}

RecorderSim::~RecorderSim() {
  Stop();
  if (!folder_.empty()) {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
}

void RecorderSim::Stop() { process_.Stop(); }

std::string RecorderSim::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> RecorderSim::Requests() const {
  std::ifstream file(log_file_, std::ios::binary);
  std::string log((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<std::string> requests;
  std::size_t start = 0;
  for (std::size_t end; (end = log.find("\r\n\r\n", start)) != std::string::npos; start = end + 4) {
    requests.push_back(log.substr(start, end + 4 - start));
  }
  return requests;
}

}  // namespace tavelin::testing
