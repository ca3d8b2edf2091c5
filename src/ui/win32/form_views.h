// What the Windows backend keeps for every form and control it shows: the window handles,
// and the pieces of drawing made once (face, fonts, icons). Shared by the backend's files.
#ifndef TAVELIN_UI_WIN32_FORM_VIEWS_H_
#define TAVELIN_UI_WIN32_FORM_VIEWS_H_

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "ui/artwork.h"
#include "ui/backend.h"
#include "ui/form.h"
#include "ui/layout.h"
#include "ui/win32/controls_api.h"
#include "ui/win32/gdi_painting.h"
#include "ui/win32/win32_backend.h"

namespace tavelin::ui {

// One control and its window(s). A radio group is a group box (`hwnd`) with one radio
// button window per item.
struct ControlView {
  Control* control = nullptr;
  HWND hwnd = nullptr;
  std::vector<HWND> items;
  Glyph glyph = Glyph::kNone;  // picture buttons
};

struct FormView {
  Form* form = nullptr;
  HWND hwnd = nullptr;
  HWND tooltip = nullptr;
  std::vector<std::unique_ptr<ControlView>> controls;
  OutlineMask outline;  // empty for a framed window
  RgbaImage face;       // the frameless face, painted under the controls
  // The face as a brush: see-through labels fill their background with the part of the
  // face they lie on.
  HBRUSH face_brush = nullptr;
  // The control that had the keyboard when the window was last deactivated.
  HWND last_focus = nullptr;
  // A form that never had a placement of its own opens over the centre of the main window.
  bool centre_on_show = false;
  // The resolution the window and its controls are laid out at; the form's numbers are
  // for 96 dpi.
  int dpi = kDesignDpi;

  int Scaled(int value) const { return ScaleToDpi(value, dpi); }
  Rect Scaled(const Rect& rect) const { return ScaleToDpi(rect, dpi); }

  ControlView* Find(const Control* control) {
    for (auto& view : controls) {
      if (view->control == control) return view.get();
    }
    return nullptr;
  }
  // The control owning window `hwnd`; `item` gets the radio item's index (else -1).
  ControlView* FindWindow(HWND hwnd, int* item = nullptr) {
    for (auto& view : controls) {
      if (view->hwnd == hwnd) {
        if (item != nullptr) *item = -1;
        return view.get();
      }
      for (size_t i = 0; i < view->items.size(); ++i) {
        if (view->items[i] != hwnd) continue;
        if (item != nullptr) *item = static_cast<int>(i);
        return view.get();
      }
    }
    return nullptr;
  }
};

struct Win32Backend::Impl {
  explicit Impl(Win32Backend& self) : self(self) {}

  Win32Backend& self;
  HINSTANCE instance = nullptr;
  HWND timer_window = nullptr;
  std::vector<std::unique_ptr<FormView>> views;
  std::map<UINT_PTR, Timer*> timers;
  UINT_PTR next_timer_id = 1;
  int next_control_id = 100;  // clear of IDOK and IDCANCEL
  Form* main = nullptr;
  FontCache fonts;
  HICON icon_large = nullptr;
  HICON icon_small = nullptr;
  bool icons_made = false;
  // The program icon for pictures, by size in pixels; `made` when it is ours to destroy.
  struct PictureIcon {
    HICON icon = nullptr;
    bool made = false;
  };
  std::map<int, PictureIcon> picture_icons;
  HICON PictureIconOf(int size);
  // Set while the program itself changes an edit, whose change notice is then no input.
  bool applying = false;

  // Runs a handler; an exception escaping it goes to the exception hook.
  void Run(const std::function<void()>& handler) { self.Dispatch(handler); }

  FormView* ViewOf(const Form* form) {
    for (auto& view : views) {
      if (view->form == form) return view.get();
    }
    return nullptr;
  }
  FormView* ViewOfWindow(HWND hwnd) {
    for (auto& view : views) {
      if (view->hwnd == hwnd) return view.get();
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

  // --- form windows (win32_backend.cc) ---
  FormView& Build(Form& form);
  // The outline, face and size of the window, and its tooltips' font, at the view's dpi.
  void Shape(FormView& view);
  // The window's rectangle around its client area at the view's dpi, relative to the
  // client area's top left corner.
  RECT Frame(const FormView& view);
  void PlaceWindow(FormView& view);
  // Tells the form where its window is and how large it is on screen.
  void ReportPlacement(FormView& view);
  // The window moved to a screen of another resolution: everything is laid out again.
  void DpiChanged(FormView& view, int dpi, const RECT& suggested);
  void DestroyView(FormView* view);
  void Deliver(MSG& msg);
  LRESULT FormMessage(FormView& view, UINT message, WPARAM wparam, LPARAM lparam);
  void Escape(Form& form);

  // --- controls (win32_controls.cc) ---
  void AddControl(FormView& view, Control& control);
  void Apply(FormView& view, ControlView& cv);
  // WM_COMMAND from a control of the form.
  void Command(FormView& view, HWND from, int notification);
  // WM_CTLCOLORSTATIC and WM_CTLCOLORBTN; false when the default colours stay.
  bool ControlColours(FormView& view, HWND from, HDC dc, LRESULT* brush);
  void DrawItem(FormView& view, const DRAWITEMSTRUCT& item);
  bool IsLink(FormView& view, HWND hwnd);
  void PaintFace(FormView& view, HDC dc);
  HBRUSH MakeFaceBrush(const RgbaImage& face);
  std::map<uint32_t, HBRUSH> brushes;
  HBRUSH BrushFor(uint32_t rgb);
};

// Controls whose windows lie beneath the others in drawing order (labels, pictures, the
// frame of a radio group), so that the windowed controls are drawn over them.
bool LiesBeneath(ControlKind kind);

}  // namespace tavelin::ui

#endif  // TAVELIN_UI_WIN32_FORM_VIEWS_H_
