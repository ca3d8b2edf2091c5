// The desktop backend: every form becomes a real FLTK window on the X display. Controls are
// mirrored as widgets (Shift-JIS texts shown as UTF-8), model changes update them at once,
// and user input (typing, radio choice, clicks, Esc, dragging the frameless face, moving a
// window) is fed back to the model. ProcessMessages is Fl::check(); handlers run nested in
// it exactly as with the headless backend. This header stays free of toolkit types.
#ifndef TAVELIN_UI_FLTK_FLTK_BACKEND_H_
#define TAVELIN_UI_FLTK_FLTK_BACKEND_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "ui/backend.h"

namespace tavelin::ui {

// What a widget shows, for tests and diagnostics.
struct WidgetState {
  bool exists = false;
  bool shown = false;     // visible on a shown window
  bool active = false;    // takes input
  Rect bounds;            // inside its window
  std::string text;       // Shift-JIS: caption, or the content of an edit
  std::string tooltip;    // Shift-JIS
  std::string font_face;  // the toolkit's font name
  int font_size = 0;
  int item_index = -1;  // radio groups
  int progress = 0;     // progress bars
  bool masked = false;  // an edit that hides its characters
  bool has_focus = false;
};

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

  // --- Inspection and input as the user gives it, for tests -------------------------
  WidgetState StateOf(const Control& control) const;
  bool WindowShown(const Form& form) const;
  // Screen rectangle of the window's client area.
  Rect WindowRect(const Form& form) const;
  std::string WindowTitle(const Form& form) const;  // Shift-JIS
  // Replaces the content of an edit as typing would (UTF-8 input).
  void UserTypes(const Control& edit, const std::string& utf8);
  // A mouse click on a control (button, radio item `item`, link label), delivered through
  // the widget as a click would be; nothing happens on an inactive widget.
  void UserClicks(const Control& control, int item = 0);
  // Keys pressed in the form's window, delivered as the toolkit's keyboard events.
  void UserPressesEscape(const Form& form);
  void UserPressesTab(const Form& form);
  // "Left", "Right", "Up" or "Down".
  void UserPressesKey(const Form& form, const std::string& arrow);
  // The window manager's close button.
  void UserClosesWindow(const Form& form);
  // Puts the keyboard focus on a control, as a click into it would.
  void UserFocuses(const Control& control);
  // The window moved (by the user or the window manager) to `left`, `top` on screen.
  void UserMovesWindow(const Form& form, int left, int top);
  // A left-button press at `x`, `y` of the window's client area, a drag by `dx`, `dy` and
  // the release, delivered as the toolkit's mouse events.
  void UserDragsFrom(const Form& form, int x, int y, int dx, int dy);
  // Message boxes shown so far (text, title), oldest first; and a hook that runs while
  // a box is open instead of waiting for the user (tests answer it this way).
  struct Shown {
    std::string text;
    std::string title;
  };
  const std::vector<Shown>& messages() const;
  void SetMessageBoxAnswer(std::function<void()> answer);

  struct Impl;

 private:
  explicit FltkBackend(Env& env);
  std::unique_ptr<Impl> impl_;
};

// The desktop backend, or null when no display can be opened.
std::unique_ptr<Backend> NewFltkBackend(Env& env);

}  // namespace tavelin::ui

#endif  // TAVELIN_UI_FLTK_FLTK_BACKEND_H_
