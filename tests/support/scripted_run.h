// A RunControl for tests, fuzzers and benchmarks: counts yields, keeps the logged error
// lines, stops when told to or after a given number of yields, and answers a settable
// dual-recording choice.
#ifndef TAVELIN_TESTS_SUPPORT_SCRIPTED_RUN_H_
#define TAVELIN_TESTS_SUPPORT_SCRIPTED_RUN_H_

#include <functional>
#include <string>
#include <vector>

#include "platform/run_control.h"

namespace tavelin {

class ScriptedRun : public RunControl {
 public:
  bool StopRequested() override { return stop; }
  void Yield() override {
    ++yields;
    if (stop_after_yields >= 0 && yields >= stop_after_yields) stop = true;
    if (on_yield) on_yield();
  }
  void LogError(const std::string& message) override { errors.push_back(message); }
  int DualRecording() override { return dual_recording; }

  bool stop = false;
  // Negative: never stops by itself.
  int stop_after_yields = -1;
  int yields = 0;
  int dual_recording = 0;
  std::vector<std::string> errors;
  // Runs after each yield, e.g. to change a file while a step waits.
  std::function<void()> on_yield;
};

}  // namespace tavelin

#endif  // TAVELIN_TESTS_SUPPORT_SCRIPTED_RUN_H_
