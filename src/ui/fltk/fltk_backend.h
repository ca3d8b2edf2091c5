// The desktop backend: every form becomes a real FLTK window on the X display. Controls are
// mirrored as widgets (Shift-JIS texts shown as UTF-8), model changes update them at once,
// and user input (typing, radio choice, clicks, Esc, dragging the frameless face, moving a
// window) is fed back to the model. ProcessMessages is Fl::check(); handlers run nested in
// it exactly as with the headless backend. When the X display goes away during a run, the
// run goes on without a window. This header stays free of toolkit types.
#ifndef TAVELIN_UI_FLTK_FLTK_BACKEND_H_
#define TAVELIN_UI_FLTK_FLTK_BACKEND_H_

#include <memory>
#include <string>

#include "platform/env.h"
#include "ui/backend.h"

namespace tavelin::ui {

class FltkBackend : public Backend {
 public:
  // Connects to the X display; null when none can be opened (the caller then falls back
  // to running without a window). Only one backend may exist at a time.
  static std::unique_ptr<FltkBackend> Open(Env& env);
  ~FltkBackend() override;

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

 protected:
  // Opens the display and sets the toolkit up; false when there is no display or a
  // backend exists already.
  static bool ConnectDisplay();
  explicit FltkBackend(Env& env);
  std::unique_ptr<Impl> impl_;
};

// The desktop backend, or null when no display can be opened.
std::unique_ptr<Backend> NewFltkBackend(Env& env);

}  // namespace tavelin::ui

#endif  // TAVELIN_UI_FLTK_FLTK_BACKEND_H_
