// Toolkit-free window controls. A form owns them as plain members; they hold the state a
// backend draws (text, enabled, visible, bounds, hint, font, item index, progress) and the
// event hooks the form's handlers fill. Every change is reported to the owning form's
// observer, so a backend can mirror it on screen.
#ifndef TAVELIN_UI_CONTROLS_H_
#define TAVELIN_UI_CONTROLS_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tavelin::ui {

class Form;

// Colours are 0xRRGGBB.
inline constexpr uint32_t kBlack = 0x000000;
inline constexpr uint32_t kNavy = 0x000080;
inline constexpr uint32_t kBlue = 0x0000FF;

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

struct Font {
  std::string name = "ＭＳ Ｐゴシック";
  int height = 12;  // pixels
  uint32_t color = kBlack;
  bool underline = false;
};

// The kinds of control a form can hold. Where a new kind must be added, besides its class
// below:
// - the headless backend needs nothing (it keeps no state per control);
// - the FLTK backend, src/ui/fltk/fltk_controls.cc: the switches in
//   FltkBackend::Impl::AddWidget (its widget) and Impl::Apply (mirroring the model), and
//   IsWindowed when it is painted on the window's face instead of being a widget; the
//   tests' FltkTestDriver::StateOf and UserClicks (fltk_test_driver.cc) read and click it;
// - the Windows backend, src/ui/win32/win32_controls.cc: the switches in
//   Win32Backend::Impl::AddControl (its window), Impl::Apply, Impl::Command (its
//   notifications) and Impl::ControlColours, and LiesBeneath when it is drawn under the
//   windowed controls.
enum class ControlKind { kLabel, kEdit, kButton, kRadioGroup, kProgressBar, kPicture };

// The small picture a button carries beside (or instead of) its caption; drawn by
// ButtonGlyph (ui/artwork.h).
enum class Glyph { kNone, kHome, kInfo, kPlay, kStop, kPause, kChannels };

class Control {
 public:
  Control(ControlKind kind, std::string name);
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  ControlKind kind() const { return kind_; }
  const std::string& name() const { return name_; }
  Form* owner() const { return owner_; }

  // The caption of a label, button or radio group; the content of an edit.
  const std::string& text() const { return text_; }
  void SetText(const std::string& text);
  bool enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool visible() const { return visible_; }
  void SetVisible(bool visible);
  const Rect& bounds() const { return bounds_; }
  void SetBounds(int left, int top, int width, int height);
  const std::string& hint() const { return hint_; }
  void SetHint(const std::string& hint);
  const Font& font() const { return font_; }
  void SetFont(const Font& font);
  // Background colour; only drawn when has_color().
  bool has_color() const { return has_color_; }
  uint32_t color() const { return color_; }
  void SetColor(uint32_t color);

  // Runs when the user clicks the control.
  std::function<void()> OnClick;
  // A click from the user (or a test): runs OnClick only while the control is enabled and
  // visible, as a real click on a disabled control does nothing.
  void Click();

 protected:
  // Tells the owning form's observer that something shown has changed.
  void Changed();

 private:
  friend class Form;
  ControlKind kind_;
  std::string name_;
  Form* owner_ = nullptr;
  std::string text_;
  bool enabled_ = true;
  bool visible_ = true;
  Rect bounds_;
  std::string hint_;
  Font font_;
  bool has_color_ = false;
  uint32_t color_ = 0;
};

class Label : public Control {
 public:
  explicit Label(std::string name) : Control(ControlKind::kLabel, std::move(name)) {}
  bool transparent() const { return transparent_; }
  void SetTransparent(bool transparent);
  // A hand cursor over the label: it acts as a link.
  bool hand_cursor() const { return hand_cursor_; }
  void SetHandCursor(bool hand);

 private:
  bool transparent_ = false;
  bool hand_cursor_ = false;
};

class Edit : public Control {
 public:
  explicit Edit(std::string name) : Control(ControlKind::kEdit, std::move(name)) {}
  // Shown in place of every character when not 0 (password entry).
  char password_char() const { return password_char_; }
  void SetPasswordChar(char c);
  // Input method switched off: plain ASCII entry (addresses, ports, IDs).
  bool ime_off() const { return ime_off_; }
  void SetImeOff(bool off);

 private:
  char password_char_ = 0;
  bool ime_off_ = false;
};

class Button : public Control {
 public:
  explicit Button(std::string name) : Control(ControlKind::kButton, std::move(name)) {}
  // Answers the Esc key.
  bool cancel() const { return cancel_; }
  void SetCancel(bool cancel);
  // A picture button draws its glyph left of its caption (or alone without one); kNone
  // makes a plain push button.
  Glyph glyph() const { return glyph_; }
  void SetGlyph(Glyph glyph);

 private:
  bool cancel_ = false;
  Glyph glyph_ = Glyph::kNone;
};

class RadioGroup : public Control {
 public:
  explicit RadioGroup(std::string name) : Control(ControlKind::kRadioGroup, std::move(name)) {}
  const std::vector<std::string>& items() const { return items_; }
  void SetItems(std::vector<std::string> items);
  int columns() const { return columns_; }
  void SetColumns(int columns);
  // -1: no item chosen. Values outside -1 .. items-1 are clamped into that range.
  int item_index() const { return item_index_; }
  void SetItemIndex(int index);

 private:
  std::vector<std::string> items_;
  int columns_ = 1;
  int item_index_ = -1;
};

class ProgressBar : public Control {
 public:
  explicit ProgressBar(std::string name) : Control(ControlKind::kProgressBar, std::move(name)) {}
  int min() const { return min_; }
  int max() const { return max_; }
  void SetRange(int min, int max);
  // Clamped into min .. max.
  int position() const { return position_; }
  void SetPosition(int position);

 private:
  int min_ = 0;
  int max_ = 100;
  int position_ = 0;
};

// A picture showing a named image resource (such as the program icon "MAINICON").
class Picture : public Control {
 public:
  explicit Picture(std::string name) : Control(ControlKind::kPicture, std::move(name)) {}
  const std::string& resource() const { return resource_; }
  void SetResource(const std::string& resource);
  bool stretch() const { return stretch_; }
  void SetStretch(bool stretch);

 private:
  std::string resource_;
  bool stretch_ = false;
};

// A window timer: while enabled, OnTimer runs every interval_ms, counted from the moment
// it was last enabled or given a new interval; an interval of 0 never fires. It fires only
// while messages are processed.
class Timer {
 public:
  explicit Timer(std::string name) : name_(std::move(name)) {}
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  const std::string& name() const { return name_; }
  Form* owner() const { return owner_; }
  int interval_ms() const { return interval_ms_; }
  void SetInterval(int ms);
  bool enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  std::function<void()> OnTimer;
  // One tick: runs OnTimer when enabled.
  void Fire();

 private:
  friend class Form;
  void Changed();
  std::string name_;
  Form* owner_ = nullptr;
  int interval_ms_ = 1000;
  bool enabled_ = false;
};

}  // namespace tavelin::ui

#endif  // TAVELIN_UI_CONTROLS_H_
