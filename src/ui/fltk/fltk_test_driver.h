// The desktop backend as the tests drive it: the same backend, plus a look at what each
// widget shows and input delivered through the toolkit as the user would give it (typing,
// clicks, keys, the window manager's close button, moving and dragging a window). Only the
// tests link it; the program uses fltk_backend.h.
#ifndef TAVELIN_UI_FLTK_FLTK_TEST_DRIVER_H_
#define TAVELIN_UI_FLTK_FLTK_TEST_DRIVER_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/fltk/fltk_backend.h"
#include "ui/headless/headless_backend.h"  // ShownMessage

namespace tavelin::ui {

// What a widget shows.
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

class FltkTestDriver : public FltkBackend {
 public:
  // As FltkBackend::Open.
  static std::unique_ptr<FltkTestDriver> Open(Env& env);

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
  // a box is open instead of waiting for the user.
  const std::vector<ShownMessage>& messages() const;
  void SetMessageBoxAnswer(std::function<void()> answer);

 private:
  explicit FltkTestDriver(Env& env);
  std::vector<ShownMessage> messages_;
};

}  // namespace tavelin::ui

#endif  // TAVELIN_UI_FLTK_FLTK_TEST_DRIVER_H_
