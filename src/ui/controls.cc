#include "ui/controls.h"

#include <algorithm>

#include "ui/form.h"

namespace tavelin::ui {

Control::Control(ControlKind kind, std::string name) : kind_(kind), name_(std::move(name)) {}

void Control::Changed() {
  if (owner_ != nullptr && owner_->observer() != nullptr) owner_->observer()->ControlChanged(*this);
}

void Control::SetText(const std::string& text) {
  if (text_ == text) return;
  text_ = text;
  Changed();
}

void Control::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Changed();
}

void Control::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Changed();
}

void Control::SetBounds(int left, int top, int width, int height) {
  bounds_ = Rect{left, top, width, height};
  Changed();
}

void Control::SetHint(const std::string& hint) {
  hint_ = hint;
  Changed();
}

void Control::SetFont(const Font& font) {
  font_ = font;
  Changed();
}

void Control::SetColor(uint32_t color) {
  has_color_ = true;
  color_ = color;
  Changed();
}

void Control::Click() {
  if (enabled_ && visible_ && OnClick) OnClick();
}

void Label::SetTransparent(bool transparent) {
  transparent_ = transparent;
  Changed();
}

void Label::SetHandCursor(bool hand) {
  hand_cursor_ = hand;
  Changed();
}

void Edit::SetPasswordChar(char c) {
  password_char_ = c;
  Changed();
}

void Edit::SetImeOff(bool off) {
  ime_off_ = off;
  Changed();
}

void Button::SetCancel(bool cancel) {
  cancel_ = cancel;
  Changed();
}

void Button::SetGlyph(Glyph glyph) {
  glyph_ = glyph;
  Changed();
}

void RadioGroup::SetItems(std::vector<std::string> items) {
  items_ = std::move(items);
  item_index_ = std::min(item_index_, static_cast<int>(items_.size()) - 1);
  Changed();
}

void RadioGroup::SetColumns(int columns) {
  columns_ = std::max(1, columns);
  Changed();
}

void RadioGroup::SetItemIndex(int index) {
  index = std::clamp(index, -1, static_cast<int>(items_.size()) - 1);
  if (index == item_index_) return;
  item_index_ = index;
  Changed();
}

void ProgressBar::SetRange(int min, int max) {
  min_ = min;
  max_ = std::max(min, max);
  position_ = std::clamp(position_, min_, max_);
  Changed();
}

void ProgressBar::SetPosition(int position) {
  position = std::clamp(position, min_, max_);
  if (position == position_) return;
  position_ = position;
  Changed();
}

void Picture::SetResource(const std::string& resource) {
  resource_ = resource;
  Changed();
}

void Picture::SetStretch(bool stretch) {
  stretch_ = stretch;
  Changed();
}

void Timer::Changed() {
  if (owner_ != nullptr && owner_->observer() != nullptr) owner_->observer()->TimerChanged(*this);
}

void Timer::SetInterval(int ms) {
  interval_ms_ = std::max(0, ms);
  Changed();
}

void Timer::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Changed();
}

void Timer::Fire() {
  if (enabled_ && OnTimer) OnTimer();
}

}  // namespace tavelin::ui
