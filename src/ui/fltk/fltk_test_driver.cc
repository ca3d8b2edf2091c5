// The tests' view of the desktop backend: widget states read back from the toolkit, and
// user input sent through the toolkit's own event handling, so that what a test does goes
// the same way as what a user does.
#include "ui/fltk/fltk_test_driver.h"

#include <FL/Fl.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Progress.H>

#include "ui/fltk/display_text.h"
#include "ui/fltk/fltk_views.h"

namespace tavelin::ui {
namespace {

void SendKey(FormWindow* window, int key) {
  static char no_text[] = "";
  Fl::e_keysym = key;
  Fl::e_state = 0;
  Fl::e_text = no_text;
  Fl::e_length = 0;
  Fl::handle(FL_KEYBOARD, window);
}

}  // namespace

FltkTestDriver::FltkTestDriver(Env& env) : FltkBackend(env) {
  impl_->on_message = [this](const std::string& text, const std::string& title) {
    messages_.push_back(ShownMessage{text, title});
  };
}

std::unique_ptr<FltkTestDriver> FltkTestDriver::Open(Env& env) {
  if (!ConnectDisplay()) return nullptr;
  return std::unique_ptr<FltkTestDriver>(new FltkTestDriver(env));
}

WidgetState FltkTestDriver::StateOf(const Control& control) const {
  WidgetState state;
  ControlView* cv = impl_->ControlViewOf(&control);
  if (cv == nullptr) return state;
  Fl_Widget* widget = cv->widget;
  state.exists = true;
  state.shown = widget->visible_r() && widget->window() != nullptr && widget->window()->shown();
  state.active = widget->active_r() != 0;
  state.bounds = Rect{widget->x(), widget->y(), widget->w(), widget->h()};
  auto to_cp932 = [](const char* utf8) {
    std::string out;
    if (utf8 != nullptr) EnteredText(utf8, &out);
    return out;
  };
  state.tooltip = to_cp932(widget->tooltip());
  Fl_Font font = widget->labelfont();
  state.font_size = widget->labelsize();
  if (control.kind() == ControlKind::kEdit) {
    auto* input = static_cast<Fl_Input*>(widget);
    state.text = to_cp932(input->value());
    state.masked = input->input_type() == FL_SECRET_INPUT;
    font = input->textfont();
    state.font_size = input->textsize();
  } else {
    state.text = to_cp932(widget->label());
  }
  const char* face = Fl::get_font(font);
  state.font_face = face != nullptr ? face : "";
  for (size_t i = 0; i < cv->items.size(); ++i) {
    if (cv->items[i]->value()) state.item_index = static_cast<int>(i);
  }
  if (control.kind() == ControlKind::kProgressBar) {
    state.progress = static_cast<int>(static_cast<Fl_Progress*>(widget)->value());
  }
  state.has_focus =
      Fl::focus() != nullptr &&
      (Fl::focus() == widget ||
       (cv->items.size() > 0 && static_cast<Fl_Group*>(widget)->contains(Fl::focus())));
  return state;
}

bool FltkTestDriver::WindowShown(const Form& form) const {
  FormView* view = impl_->ViewOf(&form);
  return view != nullptr && view->window->shown() && view->window->visible();
}

Rect FltkTestDriver::WindowRect(const Form& form) const {
  FormView* view = impl_->ViewOf(&form);
  if (view == nullptr) return Rect{};
  const FormWindow& w = *view->window;
  return Rect{w.x(), w.y(), w.w(), w.h()};
}

std::string FltkTestDriver::WindowTitle(const Form& form) const {
  FormView* view = impl_->ViewOf(&form);
  std::string out;
  if (view != nullptr && view->window->label() != nullptr) {
    EnteredText(view->window->label(), &out);
  }
  return out;
}

void FltkTestDriver::UserTypes(const Control& edit, const std::string& utf8) {
  ControlView* cv = impl_->ControlViewOf(&edit);
  if (cv == nullptr || edit.kind() != ControlKind::kEdit || !cv->widget->active_r()) return;
  auto* input = static_cast<Fl_Input*>(cv->widget);
  input->value(utf8.c_str());
  input->do_callback();
}

void FltkTestDriver::UserClicks(const Control& control, int item) {
  ControlView* cv = impl_->ControlViewOf(&control);
  if (cv == nullptr || !cv->widget->active_r() || !cv->widget->visible_r()) return;
  switch (control.kind()) {
    case ControlKind::kRadioGroup:
      if (item < 0 || item >= static_cast<int>(cv->items.size())) return;
      cv->items[item]->setonly();
      cv->items[item]->do_callback();
      break;
    case ControlKind::kLabel: {
      auto* label = static_cast<LabelWidget*>(cv->widget);
      if (label->link() && label->on_click) label->on_click();
      break;
    }
    default:
      cv->widget->do_callback();
      break;
  }
}

void FltkTestDriver::UserPressesEscape(const Form& form) {
  FormView* view = impl_->ViewOf(&form);
  if (view != nullptr) SendKey(view->window, FL_Escape);
}

void FltkTestDriver::UserPressesTab(const Form& form) {
  FormView* view = impl_->ViewOf(&form);
  if (view != nullptr) SendKey(view->window, FL_Tab);
}

void FltkTestDriver::UserClosesWindow(const Form& form) {
  FormView* view = impl_->ViewOf(&form);
  if (view != nullptr) Fl::handle(FL_CLOSE, view->window);
}

void FltkTestDriver::UserPressesKey(const Form& form, const std::string& arrow) {
  FormView* view = impl_->ViewOf(&form);
  if (view == nullptr) return;
  const int key = arrow == "Left"    ? FL_Left
                  : arrow == "Right" ? FL_Right
                  : arrow == "Up"    ? FL_Up
                                     : FL_Down;
  SendKey(view->window, key);
}

void FltkTestDriver::UserFocuses(const Control& control) {
  ControlView* cv = impl_->ControlViewOf(&control);
  if (cv == nullptr) return;
  Fl_Widget* target = cv->items.empty() ? cv->widget : cv->items.front();
  target->take_focus();
}

void FltkTestDriver::UserMovesWindow(const Form& form, int left, int top) {
  FormView* view = impl_->ViewOf(&form);
  if (view != nullptr) view->window->position(left, top);
}

void FltkTestDriver::UserDragsFrom(const Form& form, int x, int y, int dx, int dy) {
  FormView* view = impl_->ViewOf(&form);
  if (view == nullptr) return;
  Fl_Window* window = view->window;
  const int root_x = window->x() + x;
  const int root_y = window->y() + y;
  auto send = [&](int event, int ox, int oy) {
    Fl::e_x = x + ox;
    Fl::e_y = y + oy;
    Fl::e_x_root = root_x + ox;
    Fl::e_y_root = root_y + oy;
    Fl::e_keysym = FL_Button + FL_LEFT_MOUSE;
    Fl::e_state = event == FL_RELEASE ? 0 : FL_BUTTON1;
    // What the toolkit does with a press that a widget took: later drags go to it.
    Fl_Widget* target = event == FL_PUSH || Fl::pushed() == nullptr ? window : Fl::pushed();
    target->handle(event);
    if (event == FL_RELEASE) Fl::pushed(nullptr);
  };
  send(FL_PUSH, 0, 0);
  send(FL_DRAG, dx, dy);
  send(FL_RELEASE, dx, dy);
  Fl::check();
}

const std::vector<ShownMessage>& FltkTestDriver::messages() const { return messages_; }

void FltkTestDriver::SetMessageBoxAnswer(std::function<void()> answer) {
  impl_->answer = std::move(answer);
}

}  // namespace tavelin::ui
