#include "ui/fltk/fltk_backend.h"

#include <FL/Fl.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Round_Button.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <set>
#include <vector>

#include "ui/artwork.h"
#include "ui/fltk/display_text.h"
#include "ui/fltk/fltk_widgets.h"
#include "ui/headless/headless_backend.h"
#include "ui/layout.h"

namespace tavelin::ui {
namespace {

constexpr int kCornerRadius = 10;

// The part of every screen that windows may use (without panels and docks).
std::vector<Rect> WorkAreas() {
  std::vector<Rect> areas;
  for (int n = 0; n < Fl::screen_count(); ++n) {
    Rect area;
    Fl::screen_work_area(area.left, area.top, area.width, area.height, n);
    if (area.width > 0 && area.height > 0) areas.push_back(area);
  }
  if (areas.empty()) areas.push_back(Rect{Fl::x(), Fl::y(), Fl::w(), Fl::h()});
  return areas;
}
constexpr char kIconResource[] = "MAINICON";
constexpr char kWindowClass[] = "Tavelin";

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

bool IsWindowed(ControlKind kind) {
  return kind != ControlKind::kLabel && kind != ControlKind::kPicture;
}

FltkBackend::Impl* g_impl = nullptr;

// Set by Xlib's I/O error handler when the connection to the display fails (the server
// ended, the session was closed). From then on the toolkit's event loop is not run again and
// nothing is drawn; the run goes on in a headless backend.
bool g_display_lost = false;

// Xlib's contract: the I/O error handler may return, and then the exit handler runs; when
// that one returns too (libX11 1.7 and later), Xlib marks the connection dead and returns to
// its caller instead of ending the process. The toolkit's own handler would end it with
// code 1 in the middle of a fetch.
int OnDisplayIoError(Display* /*display*/) {
  g_display_lost = true;
  return 0;
}

void KeepRunningWithoutDisplay(Display* /*display*/, void* /*data*/) { g_display_lost = true; }

}  // namespace

struct FltkBackend::Impl {
  Impl(Env& env, FltkBackend& self) : env(env), self(self) {}

  Env& env;
  FltkBackend& self;
  std::vector<std::unique_ptr<FormView>> views;
  std::set<Timer*> armed;
  Form* main = nullptr;
  int depth = 0;  // handlers running right now
  std::vector<Shown> messages;
  std::function<void()> answer;
  // Once the display is lost, the run goes on here without a window.
  std::unique_ptr<HeadlessBackend> headless;

  // True once the display is gone; the first call hands the forms and timers over to a
  // headless backend and reports the loss.
  bool Lost() {
    if (!g_display_lost) return false;
    if (!headless) {
      headless = std::make_unique<HeadlessBackend>(env);
      headless->SetExceptionHook(self.exception_hook());
      for (auto& view : views) {
        if (view->window != nullptr && view->window->shown()) headless->ShowForm(*view->form);
      }
      for (Timer* timer : armed) headless->TimerChanged(*timer);
      armed.clear();
      self.Report("Xディスプレイとの接続が切れたので、ウィンドウなしで続けます");
    }
    return true;
  }

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

  FormView& Build(Form& form);
  void AddWidget(FormView& view, Control& control);
  void Apply(FormView& view, ControlView& cv);
  void LayoutRadio(ControlView& cv);
  void PlaceWindow(FormView& view);
  void Escape(Form& form) {
    Button* button = form.CancelButton();
    if (button != nullptr) Run([button] { button->Click(); });
  }
  void DestroyView(FormView* view);
  // Cuts the shown window to its outline (the X window is made anew at every show).
  void ApplyOutline(FormView& view) {
    if (view.outline.bits.empty() || !view.window->shown()) return;
    const Window xid = fl_xid(view.window);
    const Pixmap mask = XCreateBitmapFromData(
        fl_display, xid, reinterpret_cast<const char*>(view.outline.bits.data()),
        static_cast<unsigned>(view.outline.width), static_cast<unsigned>(view.outline.height));
    if (mask == None) return;
    XShapeCombineMask(fl_display, xid, ShapeBounding, 0, 0, mask, ShapeSet);
    XFreePixmap(fl_display, mask);
  }

  static void OnTimeout(void* data);
  static void OnButton(Fl_Widget* widget, void* data);
  static void OnEdit(Fl_Widget* widget, void* data);
  static void OnRadioItem(Fl_Widget* widget, void* data);
  static void OnWindow(Fl_Widget* widget, void* data);
};

// --- Building windows -------------------------------------------------------------------

FormView& FltkBackend::Impl::Build(Form& form) {
  auto view = std::make_unique<FormView>();
  view->form = &form;
  const int width = std::max(1, form.client_width());
  const int height = std::max(1, form.client_height());
  view->window = new FormWindow(width, height, form.frameless(), form.color());
  FormWindow& window = *view->window;
  window.copy_label(DisplayText(form.caption()).c_str());
  window.xclass(kWindowClass);
  window.size_range(width, height, width, height);
  window.icon(&ProgramIconImage());
  if (form.frameless()) {
    window.border(0);
    view->outline = RoundedOutline(width, height, kCornerRadius);
    window.SetOutline(&view->outline);
  }
  view->centre_on_show = form.placement().width <= 0 && &form != main;
  window.callback(&Impl::OnWindow, view.get());
  window.on_moved = [this, f = &form, v = view.get()](int left, int top) {
    if (v->centre_on_show) return;
    Rect rect = f->placement();
    if (rect.left == left && rect.top == top) return;
    rect.left = left;
    rect.top = top;
    rect.width = v->window->w();
    rect.height = v->window->h();
    Run([f, rect] { f->SetPlacement(rect); });
  };

  // Labels and pictures are painted on the face beneath the windowed controls; windowed
  // controls are added in keyboard order, so Tab visits them in that order.
  for (Control* control : form.controls()) {
    if (!IsWindowed(control->kind())) AddWidget(*view, *control);
  }
  for (Control* control : form.tab_order()) {
    if (IsWindowed(control->kind()) && view->Find(control) == nullptr) AddWidget(*view, *control);
  }
  for (Control* control : form.controls()) {
    if (IsWindowed(control->kind()) && view->Find(control) == nullptr) AddWidget(*view, *control);
  }
  views.push_back(std::move(view));
  return *views.back();
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
      auto& button = static_cast<Button&>(control);
      const Glyph glyph = button.picture() ? GlyphForButton(button.name()) : Glyph::kNone;
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
  if (count == 0) return;
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
  if (control.kind() == ControlKind::kLabel || control.kind() == ControlKind::kPicture) {
    view.window->redraw();
  } else {
    widget->redraw();
  }
}

void FltkBackend::Impl::PlaceWindow(FormView& view) {
  FormWindow& window = *view.window;
  if (!view.centre_on_show) {
    // A place saved on a screen that is no longer there (a laptop after undocking) would
    // open the window where nobody sees it: it comes back inside the nearest work area.
    const Rect& saved = view.form->placement();
    const Rect wanted{saved.left, saved.top, window.w(), window.h()};
    const Rect kept = KeptInside(wanted, NearestArea(wanted, WorkAreas()));
    if (window.x() != kept.left || window.y() != kept.top) {
      window.PlaceQuietly(kept.left, kept.top);
    }
    if (kept.left != saved.left || kept.top != saved.top) {
      Rect moved = saved;
      moved.left = kept.left;
      moved.top = kept.top;
      moved.width = window.w();
      moved.height = window.h();
      Form* form = view.form;
      Run([form, moved] { form->SetPlacement(moved); });
    }
    return;
  }
  Rect over{Fl::x(), Fl::y(), Fl::w(), Fl::h()};
  FormView* main_view = ViewOf(main);
  if (main_view != nullptr && main_view->window->shown()) {
    const FormWindow& main_window = *main_view->window;
    over = Rect{main_window.x(), main_window.y(), main_window.w(), main_window.h()};
  }
  const Rect centred = CentredOn(over, window.w(), window.h());
  window.PlaceQuietly(centred.left, centred.top);
}

void FltkBackend::Impl::DestroyView(FormView* view) {
  for (Timer* timer : view->form->timers()) {
    Fl::remove_timeout(&Impl::OnTimeout, timer);
    armed.erase(timer);
  }
  view->window->hide();
  // A window cannot go away under its own running handler: the toolkit deletes it later.
  if (depth > 0) {
    Fl::delete_widget(view->window);
  } else {
    delete view->window;
  }
  view->window = nullptr;
  views.erase(std::find_if(views.begin(), views.end(),
                           [view](const auto& owned) { return owned.get() == view; }));
}

// --- Toolkit callbacks -------------------------------------------------------------------

void FltkBackend::Impl::OnTimeout(void* data) {
  auto* timer = static_cast<Timer*>(data);
  if (g_impl == nullptr || g_impl->armed.count(timer) == 0) return;
  // Re-armed first: the handler may switch the timer off or on again.
  Fl::repeat_timeout(timer->interval_ms() / 1000.0, &Impl::OnTimeout, data);
  g_impl->Run([timer] { timer->Fire(); });
}

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

void FltkBackend::Impl::OnWindow(Fl_Widget* /*widget*/, void* data) {
  Form* form = static_cast<FormView*>(data)->form;
  if (g_impl == nullptr) return;
  if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) {
    g_impl->Escape(*form);
    return;
  }
  // The window manager's close request.
  g_impl->Run([form] { form->Close(); });
}

// --- FltkBackend --------------------------------------------------------------------------

FltkBackend::FltkBackend(Env& env) : impl_(std::make_unique<Impl>(env, *this)) {}

std::unique_ptr<FltkBackend> FltkBackend::Open(Env& env) {
  if (g_impl != nullptr) return nullptr;
  if (fl_display == nullptr) {
    // Opened here rather than by the toolkit, which would end the process without one.
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return nullptr;
    fl_open_display(display);
  }
  // After the toolkit's, which would end the process.
  XSetIOErrorHandler(&OnDisplayIoError);
  XSetIOErrorExitHandler(fl_display, &KeepRunningWithoutDisplay, nullptr);
  RegisterFonts();
  Fl::scheme("gtk+");
  Fl::background(240, 240, 240);
  Fl_Window::default_icon(&ProgramIconImage());
  std::unique_ptr<FltkBackend> backend(new FltkBackend(env));
  g_impl = backend->impl_.get();
  return backend;
}

FltkBackend::~FltkBackend() {
  if (impl_->Lost()) {
    // Xlib turns every request on the dead connection into nothing, so the toolkit's
    // objects can go as usual; only the event loop is not run again.
    for (auto& view : impl_->views) delete view->window;
    impl_->views.clear();
    g_impl = nullptr;
    return;
  }
  for (Timer* timer : impl_->armed) Fl::remove_timeout(&Impl::OnTimeout, timer);
  impl_->armed.clear();
  for (auto& view : impl_->views) {
    if (view->window == nullptr) continue;
    view->window->hide();
    delete view->window;
  }
  impl_->views.clear();
  Fl::check();
  g_impl = nullptr;
}

void FltkBackend::ProcessMessages() {
  if (impl_->Lost()) {
    impl_->headless->ProcessMessages();
    return;
  }
  Fl::check();
}

void FltkBackend::ShowMessage(const std::string& text, const std::string& title) {
  impl_->messages.push_back(Shown{text, title});
  if (impl_->Lost()) {
    impl_->headless->ShowMessage(text, title);
    return;
  }
  const std::string utf8_text = DisplayText(text);
  const std::string utf8_title = DisplayText(title);
  fl_font(static_cast<Fl_Font>(kProportionalFont), 12);
  int text_width = 0;
  int text_height = 0;
  fl_measure(utf8_text.c_str(), text_width, text_height, 0);
  constexpr int kMargin = 24;
  constexpr int kButtonWidth = 75;
  constexpr int kButtonHeight = 23;
  const int width = std::max(text_width + 2 * kMargin, 200);
  const int height = kMargin + text_height + kMargin + kButtonHeight + 12;

  Fl_Group::current(nullptr);
  Fl_Double_Window box(width, height);
  box.label(utf8_title.c_str());
  // The text is also the window's icon name, where desktop tools can read it.
  box.iconlabel(utf8_text.c_str());
  box.xclass(kWindowClass);
  Fl_Box message(kMargin, kMargin, text_width, text_height);
  message.label(utf8_text.c_str());
  message.labelfont(static_cast<Fl_Font>(kProportionalFont));
  message.labelsize(12);
  message.align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_TOP);
  Fl_Return_Button ok((width - kButtonWidth) / 2, height - kButtonHeight - 12, kButtonWidth,
                      kButtonHeight, "OK");
  ok.labelfont(static_cast<Fl_Font>(kProportionalFont));
  ok.labelsize(12);
  ok.callback([](Fl_Widget* w, void*) { w->window()->hide(); });
  box.callback([](Fl_Widget* w, void*) { w->hide(); });  // Esc and the close button
  box.end();
  box.set_modal();
  FormView* over = impl_->ViewOf(impl_->main);
  if (over != nullptr && over->window->shown() && over->window->visible()) {
    box.position(over->window->x() + (over->window->w() - width) / 2,
                 over->window->y() + (over->window->h() - height) / 2);
  } else {
    box.position(Fl::x() + (Fl::w() - width) / 2, Fl::y() + (Fl::h() - height) / 2);
  }
  box.show();
  ok.take_focus();
  if (impl_->answer) {
    Fl::check();
    impl_->answer();
    box.hide();
  }
  while (box.shown() && !impl_->Lost()) Fl::wait();
}

void FltkBackend::ShowForm(Form& form) {
  if (impl_->Lost()) {
    impl_->headless->ShowForm(form);
    return;
  }
  FormView* view = impl_->ViewOf(&form);
  if (view == nullptr) {
    view = &impl_->Build(form);
  } else {
    for (auto& cv : view->controls) impl_->Apply(*view, *cv);
  }
  for (Timer* timer : form.timers()) TimerChanged(*timer);
  impl_->PlaceWindow(*view);
  view->window->show();
  impl_->ApplyOutline(*view);
  // A window opens with the keyboard on its first control that can take it.
  Fl_Widget* focus = Fl::focus();
  if (focus == nullptr || focus->window() != view->window) {
    for (int i = 0; i < view->window->children(); ++i) {
      if (view->window->child(i)->take_focus()) break;
    }
  }
}

void FltkBackend::HideForm(Form& form) {
  if (impl_->Lost()) return;
  FormView* view = impl_->ViewOf(&form);
  if (view != nullptr) view->window->hide();
}

bool FltkBackend::RunMessageLoop(Form& main) {
  impl_->main = &main;
  Adopt(main);
  impl_->Run([&main] { main.Show(); });
  // Let the window appear and paint before the activation's work starts.
  Fl::check();
  Fl::flush();
  XSync(fl_display, False);
  Fl::check();
  if (!main.closed()) impl_->Run([&main] { main.Activate(); });
  while (!main.closed()) {
    if (impl_->Lost()) return impl_->headless->RunUntilClosed(main);
    // No window to act on and no timer to fire: nothing could ever close the form.
    if (Fl::first_window() == nullptr && impl_->armed.empty()) return false;
    Fl::wait();
  }
  if (impl_->Lost()) return true;
  // Other windows (the About window) go with the main window.
  for (auto& view : impl_->views) view->window->hide();
  Fl::check();
  return true;
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

void FltkBackend::TimerChanged(Timer& timer) {
  if (impl_->Lost()) {
    impl_->headless->TimerChanged(timer);
    return;
  }
  Fl::remove_timeout(&Impl::OnTimeout, &timer);
  impl_->armed.erase(&timer);
  // A timer without an interval never fires.
  if (!timer.enabled() || timer.interval_ms() <= 0) return;
  impl_->armed.insert(&timer);
  Fl::add_timeout(timer.interval_ms() / 1000.0, &Impl::OnTimeout, &timer);
}

void FltkBackend::FormChanged(Form& form) {
  if (impl_->Lost()) return;
  FormView* view = impl_->ViewOf(&form);
  if (view == nullptr) return;
  view->window->copy_label(DisplayText(form.caption()).c_str());
  if (form.placement().width > 0) view->centre_on_show = false;
  if (!view->centre_on_show && view->window->shown()) impl_->PlaceWindow(*view);
}

void FltkBackend::FormDestroyed(Form& form) {
  if (impl_->main == &form) impl_->main = nullptr;
  if (impl_->Lost()) {
    impl_->headless->FormDestroyed(form);
    if (FormView* view = impl_->ViewOf(&form)) {
      delete view->window;
      impl_->views.erase(std::find_if(impl_->views.begin(), impl_->views.end(),
                                      [view](const auto& owned) { return owned.get() == view; }));
    }
    return;
  }
  FormView* view = impl_->ViewOf(&form);
  if (view != nullptr) {
    impl_->DestroyView(view);
  } else {
    for (Timer* timer : form.timers()) {
      Fl::remove_timeout(&Impl::OnTimeout, timer);
      impl_->armed.erase(timer);
    }
  }
}

// --- Inspection and user input for tests -------------------------------------------------

WidgetState FltkBackend::StateOf(const Control& control) const {
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

bool FltkBackend::WindowShown(const Form& form) const {
  FormView* view = impl_->ViewOf(&form);
  return view != nullptr && view->window->shown() && view->window->visible();
}

Rect FltkBackend::WindowRect(const Form& form) const {
  FormView* view = impl_->ViewOf(&form);
  if (view == nullptr) return Rect{};
  const FormWindow& w = *view->window;
  return Rect{w.x(), w.y(), w.w(), w.h()};
}

std::string FltkBackend::WindowTitle(const Form& form) const {
  FormView* view = impl_->ViewOf(&form);
  std::string out;
  if (view != nullptr && view->window->label() != nullptr) {
    EnteredText(view->window->label(), &out);
  }
  return out;
}

void FltkBackend::UserTypes(const Control& edit, const std::string& utf8) {
  ControlView* cv = impl_->ControlViewOf(&edit);
  if (cv == nullptr || edit.kind() != ControlKind::kEdit || !cv->widget->active_r()) return;
  auto* input = static_cast<Fl_Input*>(cv->widget);
  input->value(utf8.c_str());
  input->do_callback();
}

void FltkBackend::UserClicks(const Control& control, int item) {
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

void FltkBackend::UserPressesEscape(const Form& form) {
  FormView* view = impl_->ViewOf(&form);
  if (view != nullptr) SendKey(view->window, FL_Escape);
}

void FltkBackend::UserPressesTab(const Form& form) {
  FormView* view = impl_->ViewOf(&form);
  if (view != nullptr) SendKey(view->window, FL_Tab);
}

void FltkBackend::UserClosesWindow(const Form& form) {
  FormView* view = impl_->ViewOf(&form);
  if (view != nullptr) Fl::handle(FL_CLOSE, view->window);
}

void FltkBackend::UserPressesKey(const Form& form, const std::string& arrow) {
  FormView* view = impl_->ViewOf(&form);
  if (view == nullptr) return;
  const int key = arrow == "Left"    ? FL_Left
                  : arrow == "Right" ? FL_Right
                  : arrow == "Up"    ? FL_Up
                                     : FL_Down;
  SendKey(view->window, key);
}

void FltkBackend::UserFocuses(const Control& control) {
  ControlView* cv = impl_->ControlViewOf(&control);
  if (cv == nullptr) return;
  Fl_Widget* target = cv->items.empty() ? cv->widget : cv->items.front();
  target->take_focus();
}

void FltkBackend::UserMovesWindow(const Form& form, int left, int top) {
  FormView* view = impl_->ViewOf(&form);
  if (view != nullptr) view->window->position(left, top);
}

void FltkBackend::UserDragsFrom(const Form& form, int x, int y, int dx, int dy) {
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

const std::vector<FltkBackend::Shown>& FltkBackend::messages() const { return impl_->messages; }

void FltkBackend::SetMessageBoxAnswer(std::function<void()> answer) {
  impl_->answer = std::move(answer);
}

std::unique_ptr<Backend> NewFltkBackend(Env& env) { return FltkBackend::Open(env); }

}  // namespace tavelin::ui

#if defined(__SANITIZE_ADDRESS__)
// Under LeakSanitizer: the font library behind the toolkit's text drawing keeps its font
// patterns for the life of the process and never frees them. Not ours to fix; ignored so
// that the check still guards this program's own memory.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif
