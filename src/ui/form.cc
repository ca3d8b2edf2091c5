#include "ui/form.h"

#include "ui/backend.h"

namespace tavelin::ui {

Form::Form(std::string name) : name_(std::move(name)) {}

Form::~Form() {
  if (observer_ != nullptr) observer_->FormDestroyed(*this);
  // The controls are members of the derived form and are already gone here; only their
  // addresses are handed on (as keys to forget).
}

void Form::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (observer_ != nullptr) observer_->FormChanged(*this);
}

void Form::SetPlacement(const Rect& rect) {
  placement_ = rect;
  if (observer_ != nullptr) observer_->FormChanged(*this);
}

void Form::SetClientSize(int width, int height) {
  client_width_ = width;
  client_height_ = height;
}

void Form::Add(Control& control) {
  control.owner_ = this;
  controls_.push_back(&control);
}

void Form::Add(Timer& timer) {
  timer.owner_ = this;
  timers_.push_back(&timer);
}

Button* Form::CancelButton() const {
  for (Control* control : controls_) {
    if (control->kind() != ControlKind::kButton) continue;
    auto* button = static_cast<Button*>(control);
    if (button->cancel() && button->enabled() && button->visible()) return button;
  }
  return nullptr;
}

void Form::Attach(Backend* backend, FormObserver* observer) {
  backend_ = backend;
  observer_ = observer;
}

void Form::Show() {
  if (visible_) return;
  visible_ = true;
  OnShow();
  if (backend_ != nullptr) backend_->ShowForm(*this);
}

void Form::Hide() {
  if (!visible_) return;
  visible_ = false;
  if (backend_ != nullptr) backend_->HideForm(*this);
}

void Form::Activate() { OnActivate(); }

void Form::Close() {
  if (closed_) return;
  if (!OnCloseQuery()) return;
  // Marked first so that a close request arriving from inside OnClose does not recurse.
  closed_ = true;
  OnClose();
  Hide();
}

}  // namespace tavelin::ui
