// A process that a test starts (POSIX): fork and exec of a program with its arguments, its
// environment changed or replaced and its standard streams redirected as asked; stopped and
// reaped when the object goes, unless it has ended.
//
//   ChildProcess run;
//   ASSERT_TRUE(run.Start({program, "/c"}, {.set_environment = {"DISPLAY=:5"}}));
//   ASSERT_EQ(run.WaitFor(std::chrono::seconds(10)), 0);
#ifndef TAVELIN_TESTS_SUPPORT_CHILD_PROCESS_H_
#define TAVELIN_TESTS_SUPPORT_CHILD_PROCESS_H_

#include <csignal>
#include <optional>
#include <string>
#include <thread>  // std::chrono; <chrono> itself does not compile for a Shift-JIS execution set
#include <vector>

namespace tavelin::testing {

// How a ChildProcess starts its program.
struct ChildProcessOptions {
  // "NAME=value" entries set in the child on top of this process's environment.
  std::vector<std::string> set_environment = {};
  // When given, the child's whole environment instead ("NAME=value" entries).
  std::optional<std::vector<std::string>> environment = std::nullopt;
  // Files for the standard streams; empty: inherited. The same file for output and error
  // is opened once. Output and error files are created or emptied.
  std::string input_file = {};
  std::string output_file = {};
  std::string error_file = {};
  // A descriptor that becomes the child's standard output (a pipe's write end), or -1.
  int output_fd = -1;
  // Standard error a pipe whose reader is gone, for a program that must cope with it.
  bool broken_error = false;
  // Looks the program up in PATH.
  bool search_path = false;
  // The child gets SIGTERM when the test program ends, also by a crash.
  bool end_with_parent = false;
  // What the destructor and Stop() send.
  int stop_signal = SIGKILL;
};

class ChildProcess {
 public:
  using Options = ChildProcessOptions;
  ChildProcess() = default;
  ~ChildProcess() { Stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts argv[0] with the rest as its arguments; false when no process could be made
  // (a program that cannot be run ends with exit code 127, one whose streams cannot be set
  // up with 126).
  bool Start(const std::vector<std::string>& argv, const Options& options = {});
  // The exit code (128 + the signal's number for a process a signal ended) once the process
  // has ended within `limit`; nullopt while it still runs.
  std::optional<int> WaitFor(std::chrono::milliseconds limit);
  // Waits for the end, however long it takes; -1 when nothing was started.
  int Wait();
  // Sends the stop signal and reaps the process, when it still runs.
  void Stop();

  // True while the process has not ended (it is not reaped: WaitFor still reports it).
  bool Running() const;

 private:
  int pid_ = -1;
  int stop_signal_ = SIGKILL;
};

// What a child writes to the pipe `fd` up to its first line feed (included), or all of it
// when it ends the pipe before one; gives up after about `seconds` without that.
std::string ReadFirstLine(int fd, int seconds = 10);

}  // namespace tavelin::testing

#endif  // TAVELIN_TESTS_SUPPORT_CHILD_PROCESS_H_
