// What a long step (parsing a page, writing program files, retrieving the channel list) asks
// of the run that started it: whether to stop, a chance for the window to handle its messages,
// where error lines go and which dual-recording (W録) choice applies. The main window
// implements it; tests use a scripted one.
#ifndef TAVELIN_PLATFORM_RUN_CONTROL_H_
#define TAVELIN_PLATFORM_RUN_CONTROL_H_

#include <string>

namespace tavelin {

class RunControl {
 public:
  virtual ~RunControl() = default;

  // True once the user asked the run to end (the stop button, closing the window).
  virtual bool StopRequested() = 0;
  // Sleeps 0 ms and lets the window handle its pending messages; also serves the minute
  // waits of the file retries.
  virtual void Yield() = 0;
  // Writes an error line to the log.
  virtual void LogError(const std::string& message) = 0;
  // Item index of the dual-recording selection (kNoDualRecording, kDualRecordingR1, ...),
  // read at the moment of the call.
  virtual int DualRecording() = 0;
};

}  // namespace tavelin

#endif  // TAVELIN_PLATFORM_RUN_CONTROL_H_
