// Backend: what draws forms and feeds user input back to them. The program has one thread;
// every handler (click, timer, activation) runs inside a backend call, nested inside
// ProcessMessages when the running work yields.
#ifndef TAVELIN_UI_BACKEND_H_
#define TAVELIN_UI_BACKEND_H_

#include <functional>
#include <string>

#include "ui/form.h"

namespace tavelin::ui {

// Receives the message of an exception that escaped a handler. It must not throw; if it
// does anyway, the backend swallows that.
using ExceptionHook = std::function<void(const std::string& message)>;

class Backend : public FormObserver {
 public:
  ~Backend() override = default;

  // Handles every pending input and due timer, running their handlers, then returns.
  virtual void ProcessMessages() = 0;
  // A modal message box with one OK button. Text and title are Shift-JIS.
  virtual void ShowMessage(const std::string& text, const std::string& title) = 0;
  // Draws `form` without blocking; called by Form::Show() of an adopted form.
  virtual void ShowForm(Form& form) = 0;
  // Called by Form::Hide() and when a form closes.
  virtual void HideForm(Form& form) = 0;
  // Adopts `main`, calls its Show(), dispatches its Activate(), then handles messages until
  // it has closed: true. False when nothing could ever close it (a backend with no user and
  // nothing pending); the form is still open then.
  virtual bool RunMessageLoop(Form& main) = 0;
  // True when a person can see and use the window.
  virtual bool interactive() const = 0;
  // True when the backend knows, without asking the system, that input or a due timer is
  // waiting. A desktop backend, whose queue only a system call can see, answers false and
  // is pumped often enough by time (see TFormRD::Yield).
  virtual bool InputWaiting() { return false; }

  // Connects `form` to this backend; Show() then draws it here.
  void Adopt(Form& form) { form.Attach(this, this); }

  // The application's default handler for exceptions that escape a handler.
  void SetExceptionHook(ExceptionHook hook) { hook_ = std::move(hook); }
  const ExceptionHook& exception_hook() const { return hook_; }
  // Runs `handler`; an exception escaping it goes to the hook and goes no further.
  void Dispatch(const std::function<void()>& handler);
  // Hands an error message to the hook (the application's log), as an escaped exception's.
  void Report(const std::string& message);

 private:
  ExceptionHook hook_;
};

}  // namespace tavelin::ui

#endif  // TAVELIN_UI_BACKEND_H_
