// The simulated recorder (tools/recorder-sim) started on a free loopback port for the
// length of a benchmark, and stopped again.
#ifndef TAVELIN_BENCH_SUPPORT_SIM_PROCESS_H_
#define TAVELIN_BENCH_SUPPORT_SIM_PROCESS_H_

#include <sys/types.h>

#include <string>
#include <vector>

namespace tavelin::bench {

class SimProcess {
 public:
  // Runs recorder-sim with `args` and --port 0; port() is 0 when it did not start.
  explicit SimProcess(const std::vector<std::string>& args);
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  int port() const { return port_; }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace tavelin::bench

#endif  // TAVELIN_BENCH_SUPPORT_SIM_PROCESS_H_
