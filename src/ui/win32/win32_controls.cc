// The controls of a form as system windows: made, kept in step with the model, painted
// where the system leaves it to the program, and their notices fed back to the model.
#include <algorithm>
#include <string>

#include "ui/win32/form_views.h"
#include "ui/win32/wide_text.h"

namespace tavelin::ui {
namespace {

constexpr UINT_PTR kSubclassId = 1;

std::wstring WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<size_t>(std::max(0, length)) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(static_cast<size_t>(std::max(0, got)));
  return text;
}

void SetTextIfChanged(HWND hwnd, const std::wstring& text) {
  if (WindowText(hwnd) != text) SetWindowTextW(hwnd, text.c_str());
}

void SetStyleBit(HWND hwnd, LONG bit, bool on) {
  const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
  const LONG wanted = on ? (style | bit) : (style & ~bit);
  if (wanted != style) SetWindowLongW(hwnd, GWL_STYLE, wanted);
}

// A typed character that Shift-JIS cannot hold is refused with a beep before it reaches
// the edit; a paste of such text is refused when the change arrives (Command below).
LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                          DWORD_PTR /*data*/) {
  if (message == WM_CHAR && wparam >= 0x20 && wparam != 0x7F) {
    const wchar_t typed = static_cast<wchar_t>(wparam);
    bool refused = typed >= 0xD800 && typed <= 0xDFFF;  // half of a pair: no form either
    try {
      std::string narrow;
      refused = refused || !NarrowText(std::wstring_view(&typed, 1), &narrow);
    } catch (...) {
      refused = true;  // nothing may unwind through the system's frames
    }
    if (refused) {
      MessageBeep(MB_OK);
      return 0;
    }
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, &EditProc, id);
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

// The frame of a radio group: it takes the mouse itself, so that a press on it does not
// drag the window as a press on the face does, and it is painted here, filled with the
// group's colour (a themed group box would show the parent's face through it).
void PaintGroupBox(HWND hwnd, HDC dc) {
  RECT client;
  GetClientRect(hwnd, &client);
  // The parent chooses the colours, as for any static control.
  const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(hwnd), WM_CTLCOLORSTATIC,
                                                           reinterpret_cast<WPARAM>(dc),
                                                           reinterpret_cast<LPARAM>(hwnd)));
  FillRect(dc, &client, brush != nullptr ? brush : GetSysColorBrush(COLOR_BTNFACE));
  HGDIOBJ old_font =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)));
  const std::wstring caption = WindowText(hwnd);
  const int dpi = WindowDpi(hwnd);
  SIZE extent = {0, 0};
  GetTextExtentPoint32W(dc, L"W", 1, &extent);
  RECT frame = client;
  frame.top += extent.cy / 2;
  DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
  if (!caption.empty()) {
    GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
    // The caption sits on the frame's top edge, with a little room either side.
    const int start = ScaleToDpi(6, dpi);
    RECT behind = {start, 0, start + extent.cx + ScaleToDpi(4, dpi), extent.cy};
    FillRect(dc, &behind, brush != nullptr ? brush : GetSysColorBrush(COLOR_BTNFACE));
    SetBkMode(dc, TRANSPARENT);
    if (!IsWindowEnabled(hwnd)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    TextOutW(dc, ScaleToDpi(8, dpi), 0, caption.c_str(), static_cast<int>(caption.size()));
  }
  SelectObject(dc, old_font);
}

LRESULT CALLBACK GroupBoxProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                              DWORD_PTR /*data*/) {
  switch (message) {
    case WM_NCHITTEST:  // NOLINT(bugprone-branch-clone): HTCLIENT equals the next answer, 1
      return HTCLIENT;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      try {
        PaintGroupBox(hwnd, dc);
      } catch (...) {
        // Nothing may unwind through the system's frames; the frame stays unpainted.
      }
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_ENABLE:
    case WM_SETTEXT: {
      const LRESULT result = DefSubclassProc(hwnd, message, wparam, lparam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return result;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, &GroupBoxProc, id);
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

// Position of a child inside its parent's client area.
POINT ChildOrigin(HWND child) {
  RECT rect;
  GetWindowRect(child, &rect);
  POINT origin = {rect.left, rect.top};
  ScreenToClient(GetParent(child), &origin);
  return origin;
}

}  // namespace

HICON Win32Backend::Impl::PictureIconOf(int size) {
  const auto found = picture_icons.find(size);
  if (found != picture_icons.end()) return found->second.icon;
  PictureIcon& made = picture_icons[size];
  made.icon = ProgramIconHandle(size, &made.made);
  return made.icon;
}

HBRUSH Win32Backend::Impl::BrushFor(uint32_t rgb) {
  const auto found = brushes.find(rgb);
  if (found != brushes.end()) return found->second;
  HBRUSH brush = CreateSolidBrush(ToColorRef(rgb));
  brushes[rgb] = brush;
  return brush;
}

HBRUSH Win32Backend::Impl::MakeFaceBrush(const RgbaImage& face) {
  if (face.width <= 0 || face.height <= 0) return nullptr;
  // A packed bitmap: the header, then the rows bottom to top in blue, green, red order.
  const size_t row = static_cast<size_t>(face.width) * 4;
  std::vector<uint8_t> packed(sizeof(BITMAPINFOHEADER) + row * face.height);
  auto* header = reinterpret_cast<BITMAPINFOHEADER*>(packed.data());
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = face.width;
  header->biHeight = face.height;
  header->biPlanes = 1;
  header->biBitCount = 32;
  header->biCompression = BI_RGB;
  uint8_t* bits = packed.data() + sizeof(BITMAPINFOHEADER);
  for (int y = 0; y < face.height; ++y) {
    const uint8_t* from = &face.pixels[static_cast<size_t>(y) * row];
    uint8_t* to = bits + static_cast<size_t>(face.height - 1 - y) * row;
    for (size_t x = 0; x < static_cast<size_t>(face.width); ++x) {
      to[x * 4] = from[x * 4 + 2];
      to[x * 4 + 1] = from[x * 4 + 1];
      to[x * 4 + 2] = from[x * 4];
      to[x * 4 + 3] = 0;
    }
  }
  return CreateDIBPatternBrushPt(packed.data(), DIB_RGB_COLORS);
}

void Win32Backend::Impl::PaintFace(FormView& view, HDC dc) {
  if (view.form->frameless() && !view.face.pixels.empty()) {
    DrawImage(dc, view.face, 0, 0, 0);
    return;
  }
  RECT client;
  GetClientRect(view.hwnd, &client);
  FillRect(dc, &client, BrushFor(view.form->color()));
}

bool LiesBeneath(ControlKind kind) {
  return kind == ControlKind::kLabel || kind == ControlKind::kPicture ||
         kind == ControlKind::kRadioGroup;
}

void Win32Backend::Impl::AddControl(FormView& view, Control& control) {
  auto cv = std::make_unique<ControlView>();
  cv->control = &control;
  const Rect b = view.Scaled(control.bounds());
  const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(next_control_id++));
  const DWORD child = WS_CHILD | WS_CLIPSIBLINGS;
  auto make = [&](DWORD ex_style, const wchar_t* window_class, DWORD style) {
    return CreateWindowExW(ex_style, window_class, L"", child | style, b.left, b.top, b.width,
                           b.height, view.hwnd, id, instance, nullptr);
  };
  switch (control.kind()) {
    case ControlKind::kLabel:
      cv->hwnd = make(0, L"STATIC", SS_LEFT | SS_NOPREFIX);
      break;
    case ControlKind::kEdit: {
      auto& edit = static_cast<Edit&>(control);
      const DWORD password = edit.password_char() != 0 ? ES_PASSWORD : 0;
      cv->hwnd = make(WS_EX_CLIENTEDGE, L"EDIT", WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL | password);
      if (cv->hwnd == nullptr) break;
      SetWindowSubclass(cv->hwnd, &EditProc, kSubclassId, 0);
      // Addresses, ports and user IDs are typed without the input method.
      if (edit.ime_off()) ImmAssociateContextEx(cv->hwnd, nullptr, 0);
      break;
    }
    case ControlKind::kButton: {
      auto& button = static_cast<Button&>(control);
      if (button.glyph() != Glyph::kNone) {
        cv->glyph = button.glyph();
        cv->hwnd = make(0, L"BUTTON", WS_TABSTOP | WS_GROUP | BS_OWNERDRAW);
      } else {
        cv->hwnd = make(0, L"BUTTON", WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON);
      }
      break;
    }
    case ControlKind::kRadioGroup: {
      cv->hwnd = make(0, L"BUTTON", WS_GROUP | BS_GROUPBOX);
      if (cv->hwnd == nullptr) break;
      SetWindowSubclass(cv->hwnd, &GroupBoxProc, kSubclassId, 0);
      const size_t count = static_cast<RadioGroup&>(control).items().size();
      for (size_t i = 0; i < count; ++i) {
        // The first item starts the group that the arrow keys move in.
        const DWORD first = i == 0 ? WS_GROUP : 0;
        HWND item = CreateWindowExW(
            0, L"BUTTON", L"", child | BS_AUTORADIOBUTTON | first, b.left, b.top, 1, 1, view.hwnd,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(next_control_id++)), instance, nullptr);
        if (item != nullptr) cv->items.push_back(item);
      }
      break;
    }
    case ControlKind::kProgressBar:
      cv->hwnd = make(0, PROGRESS_CLASSW, WS_GROUP);
      break;
    case ControlKind::kPicture:
      cv->hwnd = make(0, L"STATIC", SS_OWNERDRAW);
      break;
  }
  if (cv->hwnd == nullptr) throw std::runtime_error("a control window could not be created");
  view.controls.push_back(std::move(cv));
}

void Win32Backend::Impl::Apply(FormView& view, ControlView& cv) {
  Control& control = *cv.control;
  HWND hwnd = cv.hwnd;
  // The form's numbers are for 96 dpi; the window shows them at its own resolution.
  const Rect b = view.Scaled(control.bounds());
  HFONT font = fonts.Get(control.font(), view.dpi);
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  for (HWND item : cv.items) SendMessageW(item, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

  const std::wstring text = WideText(control.text());
  Rect shown = b;
  applying = true;
  switch (control.kind()) {
    case ControlKind::kLabel: {
      auto& label = static_cast<Label&>(control);
      SetTextIfChanged(hwnd, text);
      // A label is as large as its text, so that it covers no other label when empty.
      HDC dc = GetDC(hwnd);
      HGDIOBJ old = SelectObject(dc, font);
      SIZE extent = {0, 0};
      if (!text.empty())
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
      SelectObject(dc, old);
      ReleaseDC(hwnd, dc);
      shown.width = extent.cx;
      shown.height = std::max(b.height, static_cast<int>(extent.cy));
      // Links and labels with a hint take the mouse; the others let it through to the face.
      SetStyleBit(hwnd, SS_NOTIFY, label.hand_cursor() || !control.hint().empty());
      InvalidateRect(hwnd, nullptr, TRUE);
      break;
    }
    case ControlKind::kEdit: {
      auto& edit = static_cast<Edit&>(control);
      std::string entered;
      if (!NarrowText(WindowText(hwnd), &entered) || entered != control.text()) {
        SetWindowTextW(hwnd, text.c_str());
      }
      const WPARAM mask = static_cast<unsigned char>(edit.password_char());
      if (SendMessageW(hwnd, EM_GETPASSWORDCHAR, 0, 0) != static_cast<LRESULT>(mask)) {
        SendMessageW(hwnd, EM_SETPASSWORDCHAR, mask, 0);
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      break;
    }
    case ControlKind::kButton:
      SetTextIfChanged(hwnd, text);
      InvalidateRect(hwnd, nullptr, TRUE);
      break;
    case ControlKind::kRadioGroup: {
      auto& group = static_cast<RadioGroup&>(control);
      SetTextIfChanged(hwnd, text);
      const size_t count = std::min(cv.items.size(), group.items().size());
      for (size_t i = 0; i < cv.items.size(); ++i) {
        HWND item = cv.items[i];
        const bool used = i < count;
        if (used) {
          const Rect r = view.Scaled(RadioItemBounds(control.bounds(), control.font().height,
                                                     static_cast<int>(count), group.columns(),
                                                     static_cast<int>(i)));
          SetWindowPos(item, nullptr, r.left, r.top, r.width, r.height,
                       SWP_NOZORDER | SWP_NOACTIVATE);
          SetTextIfChanged(item, WideText(group.items()[i]));
        }
        const bool chosen = static_cast<int>(i) == group.item_index();
        SendMessageW(item, BM_SETCHECK, chosen ? BST_CHECKED : BST_UNCHECKED, 0);
        // The keyboard enters the group at the chosen item (the first when none is).
        SetStyleBit(item, WS_TABSTOP, chosen || (group.item_index() < 0 && i == 0));
        ShowWindow(item, used && control.visible() ? SW_SHOWNA : SW_HIDE);
        EnableWindow(item, control.enabled());
      }
      break;
    }
    case ControlKind::kProgressBar: {
      auto& bar = static_cast<ProgressBar&>(control);
      SendMessageW(hwnd, PBM_SETRANGE32, static_cast<WPARAM>(bar.min()), bar.max());
      SendMessageW(hwnd, PBM_SETPOS, static_cast<WPARAM>(bar.position()), 0);
      break;
    }
    case ControlKind::kPicture:
      InvalidateRect(hwnd, nullptr, TRUE);
      break;
  }
  applying = false;

  const POINT origin = ChildOrigin(hwnd);
  RECT now;
  GetClientRect(hwnd, &now);
  if (origin.x != shown.left || origin.y != shown.top || now.right != shown.width ||
      now.bottom != shown.height) {
    SetWindowPos(hwnd, nullptr, shown.left, shown.top, shown.width, shown.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  const bool visible = (GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
  if (visible != control.visible()) ShowWindow(hwnd, control.visible() ? SW_SHOWNA : SW_HIDE);
  if ((IsWindowEnabled(hwnd) != FALSE) != control.enabled()) EnableWindow(hwnd, control.enabled());

  if (view.tooltip != nullptr) {
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof(tool);
    tool.hwnd = view.hwnd;
    tool.uId = reinterpret_cast<UINT_PTR>(hwnd);
    SendMessageW(view.tooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    if (!control.hint().empty()) {
      std::wstring hint = WideText(control.hint());
      tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      tool.lpszText = hint.data();
      SendMessageW(view.tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
  }
  // The status line and the progress are painted at once, so they show even while the
  // work that set them blocks (a download). Painting runs no handler. Looking at the queue
  // without taking anything from it lets the system show what was painted (Wine copies a
  // window's pixels to the screen only then); it handles no message of the queue.
  const ControlKind kind = control.kind();
  if ((kind == ControlKind::kLabel || kind == ControlKind::kProgressBar) &&
      IsWindowVisible(view.hwnd)) {
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    MSG none;
    PeekMessageW(&none, nullptr, 0, 0, PM_NOREMOVE | PM_QS_PAINT);
  }
}

void Win32Backend::Impl::Command(FormView& view, HWND from, int notification) {
  int item = -1;
  ControlView* cv = view.FindWindow(from, &item);
  if (cv == nullptr) return;
  Control& control = *cv->control;
  switch (control.kind()) {
    case ControlKind::kButton:
      if (notification == BN_CLICKED) control.Click();
      break;
    case ControlKind::kLabel:
      if (notification == STN_CLICKED && static_cast<Label&>(control).hand_cursor()) {
        control.Click();
      }
      break;
    case ControlKind::kRadioGroup:
      if (item >= 0 && notification == BN_CLICKED) {
        auto& group = static_cast<RadioGroup&>(control);
        group.SetItemIndex(item);
        group.Click();
      }
      break;
    case ControlKind::kEdit: {
      if (notification != EN_CHANGE || applying) break;
      std::string entered;
      if (!NarrowText(WindowText(from), &entered)) {
        // A character Shift-JIS cannot hold (pasted): the entry is refused.
        MessageBeep(MB_OK);
        applying = true;
        SetWindowTextW(from, WideText(control.text()).c_str());
        applying = false;
        break;
      }
      control.SetText(entered);
      break;
    }
    default:
      break;
  }
}

bool Win32Backend::Impl::ControlColours(FormView& view, HWND from, HDC dc, LRESULT* brush) {
  int item = -1;
  ControlView* cv = view.FindWindow(from, &item);
  if (cv == nullptr) return false;
  Control& control = *cv->control;
  switch (control.kind()) {
    case ControlKind::kLabel: {
      auto& label = static_cast<Label&>(control);
      SetTextColor(dc, ToColorRef(control.font().color));
      if (control.has_color() && !label.transparent()) {
        SetBkColor(dc, ToColorRef(control.color()));
        *brush = reinterpret_cast<LRESULT>(BrushFor(control.color()));
        return true;
      }
      // See-through: the part of the face beneath the label.
      SetBkMode(dc, TRANSPARENT);
      if (view.face_brush != nullptr) {
        const POINT origin = ChildOrigin(from);
        SetBrushOrgEx(dc, -origin.x, -origin.y, nullptr);
        *brush = reinterpret_cast<LRESULT>(view.face_brush);
      } else {
        *brush = reinterpret_cast<LRESULT>(BrushFor(view.form->color()));
      }
      return true;
    }
    case ControlKind::kRadioGroup: {
      const uint32_t background = control.has_color() ? control.color() : view.form->color();
      SetTextColor(dc, ToColorRef(control.font().color));
      SetBkColor(dc, ToColorRef(background));
      *brush = reinterpret_cast<LRESULT>(BrushFor(background));
      return true;
    }
    default:
      return false;
  }
}

bool Win32Backend::Impl::IsLink(FormView& view, HWND hwnd) {
  ControlView* cv = view.FindWindow(hwnd);
  return cv != nullptr && cv->control->kind() == ControlKind::kLabel &&
         static_cast<Label*>(cv->control)->hand_cursor();
}

void Win32Backend::Impl::DrawItem(FormView& view, const DRAWITEMSTRUCT& item) {
  ControlView* cv = view.FindWindow(item.hwndItem);
  if (cv == nullptr) return;
  Control& control = *cv->control;
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  if (item.CtlType == ODT_STATIC && control.kind() == ControlKind::kPicture) {
    // The icon at its own size (32 pixels at 96 dpi), then copied onto the picture's area.
    FillRect(dc, &r, BrushFor(view.form->color()));
    const int size = view.Scaled(32);
    HICON icon = PictureIconOf(size);
    if (static_cast<Picture&>(control).resource().empty() || icon == nullptr) return;
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, size, size);
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT square = {0, 0, size, size};
    FillRect(memory, &square, BrushFor(view.form->color()));
    DrawIconEx(memory, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    const bool stretch = static_cast<Picture&>(control).stretch();
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, r.left, r.top, stretch ? r.right - r.left : size,
               stretch ? r.bottom - r.top : size, memory, 0, 0, size, size, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return;
  }
  if (item.CtlType != ODT_BUTTON) return;
  // A picture button: the system's push-button face, the glyph left of the caption (or
  // alone in the middle), both one pixel lower while pressed.
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const bool enabled = (item.itemState & ODS_DISABLED) == 0;
  DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
  const int height = r.bottom - r.top;
  const int width = r.right - r.left;
  // 14 pixels at 96 dpi on a button of 24 or more, else what the button's height leaves.
  const int glyph_size =
      cv->glyph == Glyph::kNone
          ? 0
          : (height >= view.Scaled(24) ? view.Scaled(14) : std::max(0, height - view.Scaled(8)));
  HGDIOBJ old_font = SelectObject(dc, fonts.Get(control.font(), view.dpi));
  const std::wstring text = WideText(control.text());
  SIZE extent = {0, 0};
  if (!text.empty())
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  const int gap = glyph_size > 0 && !text.empty() ? view.Scaled(5) : 0;
  const int shift = pressed ? view.Scaled(1) : 0;
  int left = r.left + (width - (glyph_size + gap + static_cast<int>(extent.cx))) / 2 + shift;
  if (glyph_size > 0) {
    DrawImage(dc, ButtonGlyph(cv->glyph, glyph_size, enabled), left,
              r.top + (height - glyph_size) / 2 + shift, GetSysColor(COLOR_BTNFACE));
    left += glyph_size + gap;
  }
  if (!text.empty()) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, enabled ? ToColorRef(control.font().color) : GetSysColor(COLOR_GRAYTEXT));
    TextOutW(dc, left, r.top + (height - extent.cy) / 2 + shift, text.c_str(),
             static_cast<int>(text.size()));
  }
  SelectObject(dc, old_font);
  if ((item.itemState & ODS_FOCUS) != 0) {
    RECT focus = r;
    InflateRect(&focus, -view.Scaled(4), -view.Scaled(4));
    DrawFocusRect(dc, &focus);
  }
}

}  // namespace tavelin::ui
