// The forms as FLTK windows: connecting to the display, building a window with its widgets,
// its placement (saved, or centred over the main window), the rounded outline of a frameless
// one, showing and hiding, timers, the event loop, and the hand-over to a headless backend
// when the X display goes away in the middle of a run.

// First, as a .cc file's own header: Xlib (through FLTK) defines Status as a macro, which
// must not meet the Env's Status class.
#include "ui/fltk/fltk_views.h"

#include <FL/Fl.H>
#include <FL/x.H>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <vector>

#include "ui/fltk/display_text.h"
#include "ui/layout.h"

namespace tavelin::ui {

FltkBackend::Impl* g_impl = nullptr;

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

bool FltkBackend::Impl::Lost() {
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

// --- Building and placing windows ---------------------------------------------------------

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
  // A move of the window (a drag on its face, or by the window manager) becomes the form's
  // placement, which the form saves when it closes.
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
  int left = 0;
  int top = 0;
  CentredPosition(window.w(), window.h(), /*only_visible=*/false, &left, &top);
  window.PlaceQuietly(left, top);
}

void FltkBackend::Impl::CentredPosition(int width, int height, bool only_visible, int* left,
                                        int* top) {
  Rect over{Fl::x(), Fl::y(), Fl::w(), Fl::h()};
  FormView* main_view = ViewOf(main);
  if (main_view != nullptr && main_view->window->shown() &&
      (!only_visible || main_view->window->visible())) {
    const FormWindow& window = *main_view->window;
    over = Rect{window.x(), window.y(), window.w(), window.h()};
  }
  const Rect centred = CentredOn(over, width, height);
  *left = centred.left;
  *top = centred.top;
}

void FltkBackend::Impl::ApplyOutline(FormView& view) {
  if (view.outline.bits.empty() || !view.window->shown()) return;
  const Window xid = fl_xid(view.window);
  const Pixmap mask = XCreateBitmapFromData(
      fl_display, xid, reinterpret_cast<const char*>(view.outline.bits.data()),
      static_cast<unsigned>(view.outline.width), static_cast<unsigned>(view.outline.height));
  if (mask == None) return;
  XShapeCombineMask(fl_display, xid, ShapeBounding, 0, 0, mask, ShapeSet);
  XFreePixmap(fl_display, mask);
}

void FltkBackend::Impl::Escape(Form& form) {
  Button* button = form.CancelButton();
  if (button != nullptr) Run([button] { button->Click(); });
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

void FltkBackend::Impl::OnTimeout(void* data) {
  auto* timer = static_cast<Timer*>(data);
  if (g_impl == nullptr || g_impl->armed.count(timer) == 0) return;
  // Re-armed first: the handler may switch the timer off or on again.
  Fl::repeat_timeout(timer->interval_ms() / 1000.0, &Impl::OnTimeout, data);
  g_impl->Run([timer] { timer->Fire(); });
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

FltkBackend::FltkBackend(Env& env) : impl_(std::make_unique<Impl>(env, *this)) {
  g_impl = impl_.get();
}

bool FltkBackend::ConnectDisplay() {
  if (g_impl != nullptr) return false;
  if (fl_display == nullptr) {
    // Opened here rather than by the toolkit, which would end the process without one.
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    fl_open_display(display);
  }
  // After the toolkit's, which would end the process.
  XSetIOErrorHandler(&OnDisplayIoError);
  XSetIOErrorExitHandler(fl_display, &KeepRunningWithoutDisplay, nullptr);
  RegisterFonts();
  Fl::scheme("gtk+");
  Fl::background(240, 240, 240);
  Fl_Window::default_icon(&ProgramIconImage());
  return true;
}

std::unique_ptr<FltkBackend> FltkBackend::Open(Env& env) {
  if (!ConnectDisplay()) return nullptr;
  return std::unique_ptr<FltkBackend>(new FltkBackend(env));
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

std::unique_ptr<Backend> NewFltkBackend(Env& env) { return FltkBackend::Open(env); }

}  // namespace tavelin::ui

// g++ marks AddressSanitizer builds with __SANITIZE_ADDRESS__, clang through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define TAVELIN_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVELIN_UNDER_ASAN 1
#endif
#endif
#if defined(TAVELIN_UNDER_ASAN)
// Under LeakSanitizer: the font library behind the toolkit's text drawing keeps its font
// patterns for the life of the process and never frees them. Not ours to fix; ignored so
// that the check still guards this program's own memory.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the name LeakSanitizer looks for
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif
