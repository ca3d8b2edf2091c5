// The controls of a form as FLTK widgets: made when the window is built, kept in step with
// the model on every change, and their callbacks (click, typing, radio choice) fed back to
// the model. A new kind of control joins the three switches here: AddWidget, Apply and,
// when it has no widget of its own, IsWindowed.

// First, as a .cc file's own header: Xlib (through FLTK) defines Status as a macro, which
// must not meet the Env's Status class.
#include "ui/fltk/fltk_views.h"

#include <FL/Fl.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Progress.H>
#include <FL/fl_ask.H>

#include <algorithm>

#include "ui/fltk/display_text.h"
#include "ui/layout.h"

namespace tavelin::ui {
namespace {

constexpr char kIconResource[] = "MAINICON";

}  // namespace

bool IsWindowed(ControlKind kind) {
  return kind != ControlKind::kLabel && kind != ControlKind::kPicture;
}

void FltkBackend::Impl::AddWidget(FormView& view, Control& control) {
  auto cv = std::make_unique<ControlView>();
  cv->control = &control;
  const Rect& b = control.bounds();
  Fl_Group::current(nullptr);
  switch (control.kind()) {
    case ControlKind::kLabel: {
      auto* label = new LabelWidget(b.left, b.top, b.width, b.height);
      label->on_click = [this, &control] { Run([&control] { control.Click(); }); };
      cv->widget = label;
      break;
    }
    case ControlKind::kEdit: {
      const bool masked = static_cast<Edit&>(control).password_char() != 0;
      Fl_Input* input = masked ? new PasswordInput(b.left, b.top, b.width, b.height)
                               : new Fl_Input(b.left, b.top, b.width, b.height);
      input->when(FL_WHEN_CHANGED);
      input->callback(&Impl::OnEdit, cv.get());
      cv->widget = input;
      break;
    }
    case ControlKind::kButton: {
      const Glyph glyph = static_cast<Button&>(control).glyph();
      auto* widget = new PictureButton(b.left, b.top, b.width, b.height, glyph);
      widget->callback(&Impl::OnButton, cv.get());
      cv->widget = widget;
      break;
    }
    case ControlKind::kRadioGroup:
      cv->widget = new RadioBox(b.left, b.top, b.width, b.height);
      break;
    case ControlKind::kProgressBar: {
      auto* progress = new ProgressBox(b.left, b.top, b.width, b.height);
      progress->box(FL_THIN_DOWN_BOX);
      progress->color(fl_rgb_color(230, 230, 230));
      progress->selection_color(fl_rgb_color(6, 176, 37));
      cv->widget = progress;
      break;
    }
    case ControlKind::kPicture:
      cv->widget = new PictureBox(b.left, b.top, b.width, b.height);
      break;
  }
  view.window->add(cv->widget);
  view.controls.push_back(std::move(cv));
  Apply(view, *view.controls.back());
}

void FltkBackend::Impl::LayoutRadio(ControlView& cv) {
  auto& group = static_cast<RadioGroup&>(*cv.control);
  auto* box = static_cast<RadioBox*>(cv.widget);
  const size_t count = group.items().size();
  while (cv.items.size() > count) {
    Fl_Round_Button* item = cv.items.back();
    box->remove(item);
    delete item;
    cv.items.pop_back();
  }
  while (cv.items.size() < count) {
    Fl_Group::current(nullptr);
    auto* item = new Fl_Round_Button(0, 0, 10, 10);
    item->type(FL_RADIO_BUTTON);
    item->box(FL_FLAT_BOX);
    item->callback(&Impl::OnRadioItem, &cv);
    box->add(item);
    cv.items.push_back(item);
  }
  const Rect frame{box->x(), box->y(), box->w(), box->h()};
  for (size_t i = 0; i < count; ++i) {
    const Rect r = RadioItemBounds(frame, group.font().height, static_cast<int>(count),
                                   group.columns(), static_cast<int>(i));
    cv.items[i]->resize(r.left, r.top, r.width, r.height);
  }
}

void FltkBackend::Impl::Apply(FormView& view, ControlView& cv) {
  Control& control = *cv.control;
  Fl_Widget* widget = cv.widget;
  const Rect& b = control.bounds();
  if (widget->x() != b.left || widget->y() != b.top || widget->w() != b.width ||
      widget->h() != b.height) {
    widget->resize(b.left, b.top, b.width, b.height);
  }
  if (control.visible()) {
    widget->show();
  } else {
    widget->hide();
  }
  if (control.enabled()) {
    widget->activate();
  } else {
    widget->deactivate();
  }
  if (control.hint().empty()) {
    widget->tooltip(nullptr);
  } else {
    widget->copy_tooltip(DisplayText(control.hint()).c_str());
  }
  const Font& font = control.font();
  const auto face = static_cast<Fl_Font>(FontNumberFor(FontFaceFor(font.name)));
  widget->labelfont(face);
  widget->labelsize(font.height);
  widget->labelcolor(ToFlColor(font.color));

  switch (control.kind()) {
    case ControlKind::kLabel: {
      auto& label = static_cast<Label&>(control);
      auto* box = static_cast<LabelWidget*>(widget);
      box->copy_label(DisplayText(control.text()).c_str());
      box->SetStyle(ToFlColor(font.color), font.underline);
      box->SetLink(label.hand_cursor());
      if (!label.transparent() && control.has_color()) {
        box->box(FL_FLAT_BOX);
        box->color(ToFlColor(control.color()));
      } else {
        // Drawn straight on the window's face.
        box->box(FL_NO_BOX);
      }
      break;
    }
    case ControlKind::kEdit: {
      auto* input = static_cast<Fl_Input*>(widget);
      input->textfont(face);
      input->textsize(font.height);
      input->textcolor(ToFlColor(font.color));
      // Only a change from the program replaces what is shown (and the caret with it).
      std::string shown;
      if (!EnteredText(input->value(), &shown) || shown != control.text()) {
        input->value(DisplayText(control.text()).c_str());
      }
      break;
    }
    case ControlKind::kButton:
      widget->copy_label(DisplayText(control.text()).c_str());
      break;
    case ControlKind::kRadioGroup: {
      auto& group = static_cast<RadioGroup&>(control);
      widget->copy_label(DisplayText(control.text()).c_str());
      const Fl_Color background =
          control.has_color() ? ToFlColor(control.color()) : ToFlColor(view.form->color());
      widget->color(background);
      LayoutRadio(cv);
      for (size_t i = 0; i < cv.items.size(); ++i) {
        Fl_Round_Button* item = cv.items[i];
        item->copy_label(DisplayText(group.items()[i]).c_str());
        item->labelfont(face);
        item->labelsize(font.height);
        item->labelcolor(ToFlColor(font.color));
        item->color(background);
        item->value(static_cast<int>(i) == group.item_index() ? 1 : 0);
      }
      break;
    }
    case ControlKind::kProgressBar: {
      auto& bar = static_cast<ProgressBar&>(control);
      auto* progress = static_cast<Fl_Progress*>(widget);
      progress->minimum(static_cast<float>(bar.min()));
      progress->maximum(static_cast<float>(bar.max()));
      progress->value(static_cast<float>(bar.position()));
      break;
    }
    case ControlKind::kPicture: {
      auto& picture = static_cast<Picture&>(control);
      static_cast<PictureBox*>(widget)->SetIcon(picture.resource() == kIconResource,
                                                picture.stretch());
      break;
    }
  }
  // Widgets without a background of their own need the face beneath them redrawn.
  if (!IsWindowed(control.kind())) {
    view.window->redraw();
  } else {
    widget->redraw();
  }
}

void FltkBackend::ControlChanged(Control& control) {
  if (impl_->Lost()) return;
  FormView* view = nullptr;
  ControlView* cv = impl_->ControlViewOf(&control, &view);
  if (cv == nullptr) return;
  impl_->Apply(*view, *cv);
  // The status line and the progress are painted at once, so they show even while the
  // work that set them blocks (a download). Painting runs no handler.
  const bool status =
      control.kind() == ControlKind::kLabel || control.kind() == ControlKind::kProgressBar;
  if (status && view->window->shown()) Fl::flush();
}

// --- Toolkit callbacks -------------------------------------------------------------------

void FltkBackend::Impl::OnButton(Fl_Widget* /*widget*/, void* data) {
  Control* control = static_cast<ControlView*>(data)->control;
  if (g_impl != nullptr) g_impl->Run([control] { control->Click(); });
}

void FltkBackend::Impl::OnEdit(Fl_Widget* widget, void* data) {
  auto* cv = static_cast<ControlView*>(data);
  auto* input = static_cast<Fl_Input*>(widget);
  std::string text;
  if (!EnteredText(input->value(), &text)) {
    // A character Shift-JIS cannot hold: the entry is refused, the old text stays.
    fl_beep();
    input->value(DisplayText(cv->control->text()).c_str());
    return;
  }
  if (g_impl != nullptr) g_impl->Run([cv, text] { cv->control->SetText(text); });
}

void FltkBackend::Impl::OnRadioItem(Fl_Widget* widget, void* data) {
  auto* cv = static_cast<ControlView*>(data);
  const auto it = std::find(cv->items.begin(), cv->items.end(), widget);
  if (it == cv->items.end() || g_impl == nullptr) return;
  const int index = static_cast<int>(it - cv->items.begin());
  auto* group = static_cast<RadioGroup*>(cv->control);
  g_impl->Run([group, index] {
    group->SetItemIndex(index);
    group->Click();
  });
}

}  // namespace tavelin::ui
