// What the desktop backend keeps for every form and control it shows: the window and its
// widgets, the window's outline, and the backend's own state (armed timers, message boxes
// shown, the headless backend that takes over when the display is lost). Shared by the
// backend's files: fltk_windows.cc builds, places and shows the windows and runs the loop,
// fltk_controls.cc mirrors the controls as widgets and feeds their input back,
// fltk_message_box.cc draws the message box, fltk_test_driver.cc acts as the user.
#ifndef TAVELIN_UI_FLTK_FLTK_VIEWS_H_
#define TAVELIN_UI_FLTK_FLTK_VIEWS_H_

#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Widget.H>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ui/artwork.h"
#include "ui/fltk/fltk_backend.h"
#include "ui/fltk/fltk_widgets.h"
#include "ui/form.h"
#include "ui/headless/headless_backend.h"

namespace tavelin::ui {

// The X window class of every window the backend opens.
inline constexpr char kWindowClass[] = "Tavelin";

// One control and the widget that shows it.
struct ControlView {
  Control* control = nullptr;
  Fl_Widget* widget = nullptr;
  std::vector<Fl_Round_Button*> items;  // a radio group's items
};

// One form and its window. The window owns its widgets.
struct FormView {
  Form* form = nullptr;
  FormWindow* window = nullptr;
  std::vector<std::unique_ptr<ControlView>> controls;
  OutlineMask outline;  // empty for a framed window
  // A form that never had a placement of its own opens over the centre of the main window.
  bool centre_on_show = false;

  ControlView* Find(const Control* control) {
    for (auto& view : controls) {
      if (view->control == control) return view.get();
    }
    return nullptr;
  }
};

struct FltkBackend::Impl {
  Impl(Env& env, FltkBackend& self) : env(env), self(self) {}

  Env& env;
  FltkBackend& self;
  std::vector<std::unique_ptr<FormView>> views;
  std::set<Timer*> armed;
  Form* main = nullptr;
  int depth = 0;  // handlers running right now
  // Runs for every message box, before it shows (tests record them this way).
  std::function<void(const std::string& text, const std::string& title)> on_message;
  // Runs while a message box is open instead of waiting for the user (set by tests).
  std::function<void()> answer;
  // Once the display is lost, the run goes on here without a window.
  std::unique_ptr<HeadlessBackend> headless;

  // Runs a handler; an exception escaping it goes to the exception hook.
  void Run(const std::function<void()>& handler) {
    ++depth;
    self.Dispatch(handler);
    --depth;
  }

  FormView* ViewOf(const Form* form) {
    for (auto& view : views) {
      if (view->form == form) return view.get();
    }
    return nullptr;
  }

  ControlView* ControlViewOf(const Control* control, FormView** form_view = nullptr) {
    for (auto& view : views) {
      if (ControlView* found = view->Find(control)) {
        if (form_view != nullptr) *form_view = view.get();
        return found;
      }
    }
    return nullptr;
  }

  // --- windows (fltk_windows.cc) ---
  // True once the display is gone; the first call hands the forms and timers over to a
  // headless backend and reports the loss.
  bool Lost();
  FormView& Build(Form& form);
  void PlaceWindow(FormView& view);
  // Where a window of `width` x `height` opens centred: over the main window when it is
  // shown (and, with `only_visible`, not iconified), else over the screen.
  void CentredPosition(int width, int height, bool only_visible, int* left, int* top);
  // Cuts the shown window to its outline (the X window is made anew at every show).
  void ApplyOutline(FormView& view);
  void Escape(Form& form);
  void DestroyView(FormView* view);
  static void OnTimeout(void* data);
  static void OnWindow(Fl_Widget* widget, void* data);

  // --- controls (fltk_controls.cc) ---
  void AddWidget(FormView& view, Control& control);
  void Apply(FormView& view, ControlView& cv);
  void LayoutRadio(ControlView& cv);
  static void OnButton(Fl_Widget* widget, void* data);
  static void OnEdit(Fl_Widget* widget, void* data);
  static void OnRadioItem(Fl_Widget* widget, void* data);
};

// The backend of this process (at most one), for the toolkit's callbacks; null when none.
extern FltkBackend::Impl* g_impl;

// Controls with a widget of their own, which take part in the keyboard order; the others
// (labels, pictures) are painted on the window's face beneath them.
bool IsWindowed(ControlKind kind);

}  // namespace tavelin::ui

#endif  // TAVELIN_UI_FLTK_FLTK_VIEWS_H_
