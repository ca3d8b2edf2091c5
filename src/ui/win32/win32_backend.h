// The Windows backend: every form becomes a real window with the system's own controls
// (static labels, edits, buttons, radio buttons in a group box, a progress bar, tooltips).
// The frameless main window is cut to its outline and dragged by its face. Model changes
// update the controls at once, and user input is fed back to the model. ProcessMessages
// empties the thread's message queue; handlers run nested in it exactly as with the other
// backends. No exception leaves a window procedure: it goes to the exception hook.
#ifndef TAVELIN_UI_WIN32_WIN32_BACKEND_H_
#define TAVELIN_UI_WIN32_WIN32_BACKEND_H_

#include <memory>
#include <string>

#include "platform/env.h"
#include "ui/backend.h"

namespace tavelin::ui {

class Win32Backend : public Backend {
 public:
  // Registers the window classes; null when the session has no desktop to show windows
  // on (the caller then runs without a window). Only one backend may exist at a time.
  static std::unique_ptr<Win32Backend> Open(Env& env);
  ~Win32Backend() override;

  void ProcessMessages() override;
  void ShowMessage(const std::string& text, const std::string& title) override;
  void ShowForm(Form& form) override;
  void HideForm(Form& form) override;
  bool RunMessageLoop(Form& main) override;
  bool interactive() const override { return true; }
  void ControlChanged(Control& control) override;
  void TimerChanged(Timer& timer) override;
  void FormChanged(Form& form) override;
  void FormDestroyed(Form& form) override;

  struct Impl;

 private:
  Win32Backend();
  std::unique_ptr<Impl> impl_;
};

// The desktop backend, or null when no window can be made.
std::unique_ptr<Backend> NewWin32Backend(Env& env);

}  // namespace tavelin::ui

#endif  // TAVELIN_UI_WIN32_WIN32_BACKEND_H_
