// The backend for running without a display. Nothing is drawn. A message box writes its
// text (as UTF-8) to standard error and is recorded. ProcessMessages runs the input that
// tests queue and the timers that are due on the Env clock, so pause, resume, stop and the
// watchdog can be exercised deterministically.
#ifndef TAVELIN_UI_HEADLESS_HEADLESS_BACKEND_H_
#define TAVELIN_UI_HEADLESS_HEADLESS_BACKEND_H_

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/env.h"
#include "ui/backend.h"

namespace tavelin::ui {

struct ShownMessage {
  std::string text;
  std::string title;
};

class HeadlessBackend : public Backend {
 public:
  explicit HeadlessBackend(Env& env);

  void ProcessMessages() override;
  void ShowMessage(const std::string& text, const std::string& title) override;
  void ShowForm(Form& form) override;
  void HideForm(Form& form) override;
  bool RunMessageLoop(Form& main) override;
  // The loop of RunMessageLoop alone, for a form that is already shown and activated (a
  // desktop run that lost its display goes on here).
  bool RunUntilClosed(Form& main);
  bool interactive() const override { return false; }
  // Queued input, or a timer due on the Env clock.
  bool InputWaiting() override;
  void ControlChanged(Control& control) override;
  void TimerChanged(Timer& timer) override;
  void FormDestroyed(Form& form) override;

  // Runs `input` inside the nth ProcessMessages call from now (1: the next call). Calls
  // nested inside a handler count too.
  void QueueInput(int nth, std::function<void()> input);
  // Queues a user click on `control` (ignored then if it is disabled).
  void QueueClick(Control& control, int nth);
  // Queues a close request for `form`, as the system's close button sends it.
  void QueueCloseRequest(Form& form, int nth);
  bool has_pending_input() const { return !queue_.empty(); }

  // ProcessMessages calls so far.
  long process_calls() const { return process_calls_; }
  const std::vector<ShownMessage>& messages() const { return messages_; }
  // Standard-error echo of message boxes (on by default).
  void set_echo(bool echo) { echo_ = echo; }

 private:
  struct Pending {
    long due_call;
    long order;
    std::function<void()> input;
  };
  void RunDueTimers();
  // Milliseconds until the next enabled timer is due; -1 when none is enabled.
  long MsToNextTimer();

  Env& env_;
  long process_calls_ = 0;
  long queued_ = 0;
  std::vector<Pending> queue_;
  std::vector<Form*> forms_;
  std::map<Timer*, TDateTime> armed_at_;
  std::vector<ShownMessage> messages_;
  bool echo_ = true;
};

}  // namespace tavelin::ui

#endif  // TAVELIN_UI_HEADLESS_HEADLESS_BACKEND_H_
