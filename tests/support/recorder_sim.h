// Starts the built recorder simulator (tools/recorder-sim) on a free loopback port, reads the
// raw requests it received, and stops it again.
//
//   RecorderSim sim({"--login", "digest"});
//   ASSERT_TRUE(sim.started());
//   downloader.Download(sim.Url("/program/program.htm"), file);
//   EXPECT_EQ(sim.Requests().size(), 2u);
#ifndef TAVELIN_TESTS_SUPPORT_RECORDER_SIM_H_
#define TAVELIN_TESTS_SUPPORT_RECORDER_SIM_H_

#include <string>
#include <vector>

#include "support/child_process.h"

namespace tavelin::testing {

class RecorderSim {
 public:
  // Runs recorder-sim with `args` (see recorder-sim --help) plus --port 0 and a request log
  // of its own. Fails the current test when it does not report its port within 10 s.
  explicit RecorderSim(const std::vector<std::string>& args = {});
  ~RecorderSim();
  RecorderSim(const RecorderSim&) = delete;
  RecorderSim& operator=(const RecorderSim&) = delete;

  bool started() const { return port_ > 0; }
  int port() const { return port_; }
  // "http://127.0.0.1:" + port + path.
  std::string Url(const std::string& path) const;

  // Every request received so far, each exactly as its bytes arrived (request line to the
  // empty line that ends it, CR LF included), in order.
  std::vector<std::string> Requests() const;
  // Stops the simulator (also done by the destructor).
  void Stop();

  // Path of the built simulator program.
  static std::string ProgramPath();

 private:
  ChildProcess process_;
  int port_ = 0;
  std::string folder_;
  std::string log_file_;
};

}  // namespace tavelin::testing

namespace tavelin {
using testing::RecorderSim;
}  // namespace tavelin

#endif  // TAVELIN_TESTS_SUPPORT_RECORDER_SIM_H_
