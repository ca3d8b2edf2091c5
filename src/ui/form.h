// Form: a window as a plain object. It lists its controls (in drawing order, plus the
// keyboard order), its timers, caption and size, and runs the activate and close sequence.
// A backend attaches itself as the observer to draw the form and to learn of changes.
#ifndef TAVELIN_UI_FORM_H_
#define TAVELIN_UI_FORM_H_

#include <cstdint>
#include <string>
#include <vector>

#include "ui/controls.h"

namespace tavelin::ui {

class Backend;

// Told about every change of a form's controls and timers.
class FormObserver {
 public:
  virtual ~FormObserver() = default;
  virtual void ControlChanged(Control& control) = 0;
  virtual void TimerChanged(Timer& timer) = 0;
  // Caption or placement changed.
  virtual void FormChanged(Form& form) { (void)form; }
  // The form is being destroyed; forget every pointer into it. Called from the base
  // destructor: the derived form's controls and timers are already gone, so their
  // addresses may serve as keys but must not be followed.
  virtual void FormDestroyed(Form& form) { (void)form; }
};

class Form {
 public:
  explicit Form(std::string name);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  // The class-like name of the window ("TFormRD"); placement keepers use it as their key.
  const std::string& name() const { return name_; }
  const std::string& caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  int client_width() const { return client_width_; }
  int client_height() const { return client_height_; }
  void SetClientSize(int width, int height);
  // No border and no caption bar; the face drags the window.
  bool frameless() const { return frameless_; }
  void SetFrameless(bool frameless) { frameless_ = frameless; }
  uint32_t color() const { return color_; }
  void SetColor(uint32_t color) { color_ = color; }
  // Normal window rectangle on screen (placement keepers save and restore it).
  const Rect& placement() const { return placement_; }
  // A backend reports moves of the real window here too; its width and height are then the
  // window's size on screen (at its resolution).
  void SetPlacement(const Rect& rect);
  // The resolution the window is laid out at, in dots per inch: the backend reports it
  // when it shows the window and when the window moves to a screen of another scale. The
  // control table's numbers stay those of 96 dpi.
  int pixels_per_inch() const { return pixels_per_inch_; }
  void SetPixelsPerInch(int dpi) { pixels_per_inch_ = dpi > 0 ? dpi : 96; }

  // Every control in the order it was added (drawing order).
  const std::vector<Control*>& controls() const { return controls_; }
  // The controls the keyboard focus visits, in order.
  const std::vector<Control*>& tab_order() const { return tab_order_; }
  const std::vector<Timer*>& timers() const { return timers_; }
  // The control answering Esc: the first enabled, visible cancel button; null when none.
  Button* CancelButton() const;

  Backend* backend() const { return backend_; }
  FormObserver* observer() const { return observer_; }
  // Connects the form to the backend that draws it (Backend::Adopt does this).
  void Attach(Backend* backend, FormObserver* observer);

  bool visible() const { return visible_; }
  bool closed() const { return closed_; }
  // Runs OnShow, then has the attached backend draw the form (non-blocking).
  void Show();
  // Hides the form without closing it.
  void Hide();
  // Activation of the shown window; runs OnActivate.
  void Activate();
  // A close request: OnCloseQuery may refuse it; otherwise OnClose runs, the form becomes
  // closed and hidden. A closed form ignores further requests.
  void Close();

 protected:
  virtual void OnShow() {}
  virtual void OnActivate() {}
  virtual bool OnCloseQuery() { return true; }
  virtual void OnClose() {}

  // Registers a member control or timer with the form; call in the constructor.
  void Add(Control& control);
  void Add(Timer& timer);
  void SetTabOrder(std::vector<Control*> order) { tab_order_ = std::move(order); }

 private:
  std::string name_;
  std::string caption_;
  int client_width_ = 0;
  int client_height_ = 0;
  bool frameless_ = false;
  uint32_t color_ = 0xF0F0F0;
  Rect placement_;
  int pixels_per_inch_ = 96;
  std::vector<Control*> controls_;
  std::vector<Control*> tab_order_;
  std::vector<Timer*> timers_;
  Backend* backend_ = nullptr;
  FormObserver* observer_ = nullptr;
  bool visible_ = false;
  bool closed_ = false;
};

}  // namespace tavelin::ui

#endif  // TAVELIN_UI_FORM_H_
