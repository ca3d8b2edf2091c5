#include "ui/win32/win32_backend.h"

#include <algorithm>
#include <stdexcept>

#include "ui/win32/form_views.h"
#include "ui/win32/wide_text.h"

namespace tavelin::ui {
namespace {

constexpr wchar_t kFormClass[] = L"TavelinForm";
constexpr wchar_t kTimerClass[] = L"TavelinTimers";
constexpr int kCornerRadius = 10;
// Sent when the window moves to a screen of another resolution (Windows 8.1 and later).
constexpr UINT kWmDpiChanged = 0x02E0;

Win32Backend::Impl* g_impl = nullptr;

LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  FormView* view = g_impl != nullptr ? g_impl->ViewOfWindow(hwnd) : nullptr;
  if (view == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  // Nothing may unwind through the system's frames: whatever escapes goes to the hook.
  LRESULT result = 0;
  Win32Backend::Impl* impl = g_impl;
  impl->Run([&] { result = impl->FormMessage(*view, message, wparam, lparam); });
  return result;
}

LRESULT CALLBACK TimerProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_TIMER || g_impl == nullptr)
    return DefWindowProcW(hwnd, message, wparam, lparam);
  const auto found = g_impl->timers.find(static_cast<UINT_PTR>(wparam));
  if (found == g_impl->timers.end()) {
    KillTimer(hwnd, wparam);
    return 0;
  }
  Timer* timer = found->second;
  g_impl->Run([timer] { timer->Fire(); });
  return 0;
}

bool IsFormWindow(HWND hwnd) {
  wchar_t name[32] = {};
  return GetClassNameW(hwnd, name, 32) > 0 && std::wstring(name) == kFormClass;
}

}  // namespace

// --- Form windows ---------------------------------------------------------------------------

FormView& Win32Backend::Impl::Build(Form& form) {
  auto view = std::make_unique<FormView>();
  view->form = &form;
  view->centre_on_show = form.placement().width <= 0 && &form != main;

  // Every control paints its own background (see-through labels with the face beneath
  // them), so the form paints only around its children.
  DWORD style = WS_CLIPCHILDREN;
  DWORD ex_style = WS_EX_CONTROLPARENT;
  HWND owner = nullptr;
  if (form.frameless()) {
    // No border and no caption bar, but a taskbar button and the system menu there.
    style |= WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX;
    ex_style |= WS_EX_APPWINDOW;
  } else {
    // A fixed dialog frame, kept above the main window and without a taskbar button.
    style |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
    ex_style |= WS_EX_DLGMODALFRAME;
    FormView* main_view = ViewOf(main);
    if (main_view != nullptr) owner = main_view->hwnd;
  }
  const std::wstring caption = WideText(form.caption());
  FormView& kept = *view;
  views.push_back(std::move(view));
  // Made at its 96-dpi size first: only the window can say which resolution it has.
  kept.hwnd = CreateWindowExW(ex_style, kFormClass, caption.c_str(), style, CW_USEDEFAULT,
                              CW_USEDEFAULT, std::max(1, form.client_width()),
                              std::max(1, form.client_height()), owner, nullptr, instance, nullptr);
  if (kept.hwnd == nullptr) {
    views.pop_back();
    throw std::runtime_error("the window could not be created");
  }
  kept.dpi = WindowDpi(kept.hwnd);
  form.SetPixelsPerInch(kept.dpi);
  kept.tooltip =
      CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                      WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, kept.hwnd, nullptr, instance, nullptr);
  Shape(kept);
  const RECT frame = Frame(kept);
  SetWindowPos(kept.hwnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  // Windowed controls are made in keyboard order, which the dialog keys follow; the rest
  // (labels, pictures, the frame of a radio group) lie beneath them.
  for (Control* control : form.tab_order()) AddControl(kept, *control);
  for (Control* control : form.controls()) {
    if (kept.Find(control) == nullptr) AddControl(kept, *control);
  }
  // Beneath them, in drawing order: a later label lies over an earlier one.
  for (auto it = form.controls().rbegin(); it != form.controls().rend(); ++it) {
    ControlView* cv = kept.Find(*it);
    if (cv == nullptr || !LiesBeneath((*it)->kind())) continue;
    SetWindowPos(cv->hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  for (auto& cv : kept.controls) Apply(kept, *cv);
  return kept;
}

void Win32Backend::Impl::Shape(FormView& view) {
  const Form& form = *view.form;
  if (form.frameless()) {
    const int width = std::max(1, view.Scaled(form.client_width()));
    const int height = std::max(1, view.Scaled(form.client_height()));
    view.outline = RoundedOutline(width, height, view.Scaled(kCornerRadius));
    view.face = WindowFace(view.outline, view.Scaled(kFaceBandHeight));
    if (view.face_brush != nullptr) DeleteObject(view.face_brush);
    view.face_brush = MakeFaceBrush(view.face);
    if (HRGN region = RegionFromOutline(view.outline)) {
      // The system owns the region from here on.
      if (!SetWindowRgn(view.hwnd, region, IsWindowVisible(view.hwnd))) DeleteObject(region);
    }
  }
  if (view.tooltip != nullptr) {
    Font tip_font;
    SendMessageW(view.tooltip, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.Get(tip_font, view.dpi)),
                 FALSE);
  }
}

RECT Win32Backend::Impl::Frame(const FormView& view) {
  // The frame's thickness is taken from the window as the system draws it now, so that the
  // client area lands exactly on its placement whatever the frame's metrics are.
  RECT window;
  GetWindowRect(view.hwnd, &window);
  RECT client;
  GetClientRect(view.hwnd, &client);
  POINT origin = {0, 0};
  ClientToScreen(view.hwnd, &origin);
  const int left = window.left - origin.x;
  const int top = window.top - origin.y;
  const int width = std::max(1, view.Scaled(view.form->client_width())) +
                    static_cast<int>(window.right - window.left - client.right);
  const int height = std::max(1, view.Scaled(view.form->client_height())) +
                     static_cast<int>(window.bottom - window.top - client.bottom);
  return RECT{left, top, left + width, top + height};
}

void Win32Backend::Impl::PlaceWindow(FormView& view) {
  const RECT frame = Frame(view);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  RECT now;
  GetWindowRect(view.hwnd, &now);
  if (view.centre_on_show) {
    Rect over{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    FormView* main_view = ViewOf(main);
    RECT main_rect;
    if (main_view != nullptr && IsWindowVisible(main_view->hwnd) &&
        GetWindowRect(main_view->hwnd, &main_rect)) {
      over = Rect{main_rect.left, main_rect.top, main_rect.right - main_rect.left,
                  main_rect.bottom - main_rect.top};
    }
    const Rect centred = CentredOn(over, width, height);
    if (now.left == centred.left && now.top == centred.top) return;
    SetWindowPos(view.hwnd, nullptr, centred.left, centred.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  // The placement is the client area's; the frame lies around it.
  const int left = view.form->placement().left + frame.left;
  const int top = view.form->placement().top + frame.top;
  if (now.left == left && now.top == top && now.right - now.left == width &&
      now.bottom - now.top == height) {
    return;
  }
  // As the system's own placement: a rectangle that lies on no screen any more (a laptop
  // after undocking) comes back onto the nearest one. The normal rectangle is in
  // workspace coordinates, which start at the primary screen's work area.
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof(placement);
  GetWindowPlacement(view.hwnd, &placement);
  int work_left = 0;
  int work_top = 0;
  MONITORINFO primary = {};
  primary.cbSize = sizeof(primary);
  if (GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &primary)) {
    work_left = primary.rcWork.left;
    work_top = primary.rcWork.top;
  }
  placement.flags = 0;
  placement.showCmd = IsWindowVisible(view.hwnd) ? SW_SHOWNA : SW_HIDE;
  placement.rcNormalPosition =
      RECT{left - work_left, top - work_top, left - work_left + width, top - work_top + height};
  SetWindowPlacement(view.hwnd, &placement);
}

void Win32Backend::Impl::ReportPlacement(FormView& view) {
  Form& form = *view.form;
  POINT origin = {0, 0};
  ClientToScreen(view.hwnd, &origin);
  RECT client;
  GetClientRect(view.hwnd, &client);
  const Rect& known = form.placement();
  if (known.left == origin.x && known.top == origin.y && known.width == client.right &&
      known.height == client.bottom) {
    return;
  }
  view.centre_on_show = false;
  form.SetPlacement(Rect{origin.x, origin.y, client.right, client.bottom});
}

void Win32Backend::Impl::DpiChanged(FormView& view, int dpi, const RECT& suggested) {
  view.dpi = dpi > 0 ? dpi : kDesignDpi;
  view.form->SetPixelsPerInch(view.dpi);
  Shape(view);
  for (auto& cv : view.controls) Apply(view, *cv);
  SetWindowPos(view.hwnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(view.hwnd, nullptr, TRUE);
  if (IsWindowVisible(view.hwnd)) ReportPlacement(view);
}

void Win32Backend::Impl::DestroyView(FormView* view) {
  HWND hwnd = view->hwnd;
  const auto at = std::find_if(views.begin(), views.end(),
                               [view](const auto& owned) { return owned.get() == view; });
  std::unique_ptr<FormView> owned = std::move(*at);
  views.erase(at);
  // The window procedure no longer finds the view, so no message reaches the form.
  if (hwnd != nullptr) DestroyWindow(hwnd);
  if (owned->face_brush != nullptr) DeleteObject(owned->face_brush);
}

void Win32Backend::Impl::Escape(Form& form) {
  Button* button = form.CancelButton();
  if (button != nullptr) button->Click();
}

void Win32Backend::Impl::Deliver(MSG& msg) {
  // Tab, the arrow keys among the radio buttons, and Esc work as in a dialog.
  HWND root = msg.hwnd != nullptr ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  if (root != nullptr && IsFormWindow(root) && IsDialogMessageW(root, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

LRESULT Win32Backend::Impl::FormMessage(FormView& view, UINT message, WPARAM wparam,
                                        LPARAM lparam) {
  HWND hwnd = view.hwnd;
  Form& form = *view.form;
  switch (message) {
    case WM_NCHITTEST: {
      // The face of a frameless window drags it, as a caption bar would; labels let the
      // press through to the face. Controls answer for themselves.
      const LRESULT hit = DefWindowProcW(hwnd, message, wparam, lparam);
      return form.frameless() && hit == HTCLIENT ? HTCAPTION : hit;
    }
    case WM_ERASEBKGND:
      PaintFace(view, reinterpret_cast<HDC>(wparam));
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(hwnd, &paint);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      LRESULT brush = 0;
      if (ControlColours(view, reinterpret_cast<HWND>(lparam), reinterpret_cast<HDC>(wparam),
                         &brush)) {
        return brush;
      }
      break;
    }
    case WM_DRAWITEM:
      DrawItem(view, *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
      return TRUE;
    case WM_SETCURSOR:
      if (IsLink(view, reinterpret_cast<HWND>(wparam))) {
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
        return TRUE;
      }
      break;
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      if (lparam == 0 || id == IDCANCEL) {
        // Esc, sent by the dialog keys: the form's cancel button answers it.
        if (id == IDCANCEL) Escape(form);
        return 0;
      }
      Command(view, reinterpret_cast<HWND>(lparam), HIWORD(wparam));
      return 0;
    }
    case WM_MOVE:
      if (!IsWindowVisible(hwnd)) break;
      ReportPlacement(view);
      return 0;
    case kWmDpiChanged:
      // The new resolution in the low word; the rectangle the system suggests for it.
      DpiChanged(view, LOWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return 0;
    case WM_ACTIVATE: {
      // As in a dialog, the keyboard returns to the control that had it (at first, to the
      // first control that takes it) instead of staying on the window itself.
      if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(hwnd, focus)) view.last_focus = focus;
        break;
      }
      HWND target = view.last_focus;
      if (target == nullptr || !IsWindow(target) || !IsWindowEnabled(target) ||
          !IsWindowVisible(target)) {
        target = GetNextDlgTabItem(hwnd, nullptr, FALSE);
      }
      if (target == nullptr) break;
      SetFocus(target);
      return 0;
    }
    case WM_CLOSE:
      // The system's close request (Alt+F4, the taskbar): the form decides.
      form.Close();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

// --- Win32Backend ------------------------------------------------------------------------

Win32Backend::Win32Backend() : impl_(std::make_unique<Impl>(*this)) {}

std::unique_ptr<Win32Backend> Win32Backend::Open(Env& env) {
  (void)env;
  if (g_impl != nullptr) return nullptr;
  std::unique_ptr<Win32Backend> backend(new Win32Backend());
  Impl& impl = *backend->impl_;
  impl.instance = GetModuleHandleW(nullptr);
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS |
                                                         ICC_BAR_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);

  bool made_large = false;
  bool made_small = false;
  impl.icon_large = ProgramIconHandle(32, &made_large);
  impl.icon_small = ProgramIconHandle(16, &made_small);
  impl.icons_made = made_large || made_small;

  WNDCLASSEXW form_class = {};
  form_class.cbSize = sizeof(form_class);
  form_class.lpfnWndProc = &FormProc;
  form_class.hInstance = impl.instance;
  form_class.hIcon = impl.icon_large;
  form_class.hIconSm = impl.icon_small;
  form_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  form_class.lpszClassName = kFormClass;
  WNDCLASSEXW timer_class = {};
  timer_class.cbSize = sizeof(timer_class);
  timer_class.lpfnWndProc = &TimerProc;
  timer_class.hInstance = impl.instance;
  timer_class.lpszClassName = kTimerClass;
  if (RegisterClassExW(&form_class) == 0 || RegisterClassExW(&timer_class) == 0) return nullptr;
  // Timers belong to a window that is never shown, so they run whether or not a form
  // shows. It is a top-level window rather than a message-only one: where none can be made
  // (no desktop; under Wine, no X display) the program runs without a window instead.
  impl.timer_window = CreateWindowExW(WS_EX_TOOLWINDOW, kTimerClass, L"", WS_POPUP, 0, 0, 0, 0,
                                      nullptr, nullptr, impl.instance, nullptr);
  if (impl.timer_window == nullptr) {
    UnregisterClassW(kFormClass, impl.instance);
    UnregisterClassW(kTimerClass, impl.instance);
    return nullptr;
  }
  g_impl = &impl;
  return backend;
}

Win32Backend::~Win32Backend() {
  for (auto& entry : impl_->timers) KillTimer(impl_->timer_window, entry.first);
  impl_->timers.clear();
  while (!impl_->views.empty()) impl_->DestroyView(impl_->views.back().get());
  DestroyWindow(impl_->timer_window);
  for (auto& entry : impl_->brushes) DeleteObject(entry.second);
  for (auto& entry : impl_->picture_icons) {
    if (entry.second.made) DestroyIcon(entry.second.icon);
  }
  if (impl_->icons_made) {
    DestroyIcon(impl_->icon_large);
    DestroyIcon(impl_->icon_small);
  }
  UnregisterClassW(kFormClass, impl_->instance);
  UnregisterClassW(kTimerClass, impl_->instance);
  g_impl = nullptr;
}

void Win32Backend::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Left for the loop that waits for it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    impl_->Deliver(msg);
  }
}

void Win32Backend::ShowMessage(const std::string& text, const std::string& title) {
  const std::wstring wide_text = WideText(text);
  const std::wstring wide_title = WideText(title);
  FormView* over = impl_->ViewOf(impl_->main);
  HWND owner = over != nullptr && IsWindowVisible(over->hwnd) ? over->hwnd : nullptr;
  // Without a visible owner the box still blocks every window of the program.
  const UINT style = MB_OK | MB_SETFOREGROUND | (owner == nullptr ? MB_TASKMODAL : 0);
  MessageBoxW(owner, wide_text.c_str(), wide_title.c_str(), style);
}

void Win32Backend::ShowForm(Form& form) {
  FormView* view = impl_->ViewOf(&form);
  if (view == nullptr) {
    view = &impl_->Build(form);
  } else {
    SetWindowTextW(view->hwnd, WideText(form.caption()).c_str());
    for (auto& cv : view->controls) impl_->Apply(*view, *cv);
  }
  for (Timer* timer : form.timers()) TimerChanged(*timer);
  impl_->PlaceWindow(*view);
  ShowWindow(view->hwnd, SW_SHOW);
  SetForegroundWindow(view->hwnd);
  UpdateWindow(view->hwnd);
  // Where the system put it (a place off every screen comes back onto one) and its size.
  if (!view->centre_on_show) impl_->ReportPlacement(*view);
  view->form->SetPixelsPerInch(view->dpi);
  // A window opens with the keyboard on its first control that can take it.
  HWND focus = GetFocus();
  if (focus == nullptr || GetAncestor(focus, GA_ROOT) != view->hwnd) {
    HWND first = GetNextDlgTabItem(view->hwnd, nullptr, FALSE);
    if (first != nullptr) SetFocus(first);
  }
}

void Win32Backend::HideForm(Form& form) {
  FormView* view = impl_->ViewOf(&form);
  if (view != nullptr) ShowWindow(view->hwnd, SW_HIDE);
}

bool Win32Backend::RunMessageLoop(Form& main) {
  impl_->main = &main;
  Adopt(main);
  impl_->Run([&main] { main.Show(); });
  // Let the window appear and paint before the activation's work starts.
  ProcessMessages();
  if (!main.closed()) impl_->Run([&main] { main.Activate(); });
  // Without its window (it could not be made) nobody could close the form: the caller
  // decides. A fetch has still run in the activation.
  if (impl_->ViewOf(&main) == nullptr && !main.closed()) return false;
  MSG msg;
  while (!main.closed()) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    impl_->Deliver(msg);
  }
  // Other windows (the About window) go with the main window.
  for (auto& view : impl_->views) ShowWindow(view->hwnd, SW_HIDE);
  return true;
}

void Win32Backend::ControlChanged(Control& control) {
  FormView* view = nullptr;
  ControlView* cv = impl_->ControlViewOf(&control, &view);
  if (cv != nullptr) impl_->Apply(*view, *cv);
}

void Win32Backend::TimerChanged(Timer& timer) {
  for (auto it = impl_->timers.begin(); it != impl_->timers.end(); ++it) {
    if (it->second != &timer) continue;
    KillTimer(impl_->timer_window, it->first);
    impl_->timers.erase(it);
    break;
  }
  // A timer without an interval never fires; a new interval counts from now.
  if (!timer.enabled() || timer.interval_ms() <= 0) return;
  const UINT_PTR id = impl_->next_timer_id++;
  if (SetTimer(impl_->timer_window, id, static_cast<UINT>(timer.interval_ms()), nullptr) != 0) {
    impl_->timers[id] = &timer;
  }
}

void Win32Backend::FormChanged(Form& form) {
  FormView* view = impl_->ViewOf(&form);
  if (view == nullptr) return;
  SetWindowTextW(view->hwnd, WideText(form.caption()).c_str());
  if (form.placement().width > 0) view->centre_on_show = false;
  if (!view->centre_on_show && IsWindowVisible(view->hwnd)) impl_->PlaceWindow(*view);
}

void Win32Backend::FormDestroyed(Form& form) {
  if (impl_->main == &form) impl_->main = nullptr;
  for (Timer* timer : form.timers()) {
    for (auto it = impl_->timers.begin(); it != impl_->timers.end(); ++it) {
      if (it->second != timer) continue;
      KillTimer(impl_->timer_window, it->first);
      impl_->timers.erase(it);
      break;
    }
  }
  FormView* view = impl_->ViewOf(&form);
  if (view != nullptr) impl_->DestroyView(view);
}

std::unique_ptr<Backend> NewWin32Backend(Env& env) { return Win32Backend::Open(env); }

}  // namespace tavelin::ui
