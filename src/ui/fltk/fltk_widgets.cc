#include "ui/fltk/fltk_widgets.h"

#include <FL/Fl.H>
#include <FL/Fl_Tooltip.H>
#include <FL/fl_draw.H>

#include <cstring>

#include "ui/artwork.h"

namespace tavelin::ui {

void RegisterFonts() {
  Fl::set_font(static_cast<Fl_Font>(kProportionalFont), " IPAPGothic");
  Fl::set_font(static_cast<Fl_Font>(kFixedFont), " IPAGothic");
  // Message boxes, tooltips and anything left at the default get the Japanese face too.
  Fl::set_font(FL_HELVETICA, " IPAPGothic");
  Fl_Tooltip::font(static_cast<Fl_Font>(kProportionalFont));
  Fl_Tooltip::size(12);
}

int FontNumberFor(const char* face) {
  return std::strcmp(face, " IPAGothic") == 0 ? kFixedFont : kProportionalFont;
}

Fl_Color ToFlColor(uint32_t rgb) {
  return fl_rgb_color(static_cast<uchar>(rgb >> 16), static_cast<uchar>(rgb >> 8),
                      static_cast<uchar>(rgb));
}

// --- ProgressBox ----------------------------------------------------------------------

ProgressBox::ProgressBox(int x, int y, int w, int h) : Fl_Progress(x, y, w, h) {}

int ProgressBox::handle(int event) {
  switch (event) {
    case FL_PUSH:
    case FL_DRAG:
    case FL_RELEASE:
      return 1;
    default:
      return Fl_Progress::handle(event);
  }
}

// --- FormWindow -----------------------------------------------------------------------

FormWindow::FormWindow(int width, int height, bool frameless, uint32_t face_colour)
    : Fl_Double_Window(width, height), frameless_(frameless), face_colour_(face_colour) {
  box(FL_NO_BOX);
  color(ToFlColor(face_colour));
  end();
}

void FormWindow::PlaceQuietly(int left, int top) {
  quiet_ = true;
  position(left, top);
  quiet_ = false;
}

int FormWindow::handle(int event) {
  switch (event) {
    case FL_PUSH:
      if (Fl_Double_Window::handle(event)) return 1;
      // Nothing took the press: on the frameless face it starts moving the window, as a
      // press on a caption bar would.
      if (!frameless_ || Fl::event_button() != FL_LEFT_MOUSE) return 0;
      dragging_ = true;
      drag_dx_ = Fl::event_x_root() - x();
      drag_dy_ = Fl::event_y_root() - y();
      return 1;
    case FL_DRAG:
      if (dragging_) {
        position(Fl::event_x_root() - drag_dx_, Fl::event_y_root() - drag_dy_);
        return 1;
      }
      break;
    case FL_RELEASE:
      if (dragging_) {
        dragging_ = false;
        return 1;
      }
      break;
    case FL_SHORTCUT:
      // Esc goes to the window's callback, which hands it to the form's cancel button.
      if (Fl::event_key() == FL_Escape) {
        do_callback();
        return 1;
      }
      break;
    default:
      break;
  }
  return Fl_Double_Window::handle(event);
}

void FormWindow::resize(int x, int y, int w, int h) {
  const bool moved = x != this->x() || y != this->y();
  Fl_Double_Window::resize(x, y, w, h);
  if (moved && !quiet_ && on_moved) on_moved(x, y);
}

void FormWindow::DrawFace() {
  // The shared face, made once for the window's outline (a plain rectangle without one).
  if (face_rgb_.empty()) {
    const RgbaImage face =
        WindowFace(outline_ != nullptr ? *outline_ : RoundedOutline(w(), h(), 0));
    face_rgb_.reserve(static_cast<size_t>(face.width) * face.height * 3);
    for (size_t at = 0; at + 3 < face.pixels.size(); at += 4) {
      face_rgb_.insert(face_rgb_.end(), &face.pixels[at], &face.pixels[at + 3]);
    }
  }
  fl_draw_image(face_rgb_.data(), 0, 0, w(), h(), 3);
}

void FormWindow::draw() {
  // The face is painted only when the whole window is redrawn: when just a control changed,
  // the others stay as they are in the back buffer.
  if (damage() & ~FL_DAMAGE_CHILD) {
    if (frameless_) {
      DrawFace();
    } else {
      fl_color(ToFlColor(face_colour_));
      fl_rectf(0, 0, w(), h());
    }
  }
  // Also applies the window's outline before its first drawing.
  Fl_Double_Window::draw();
}

// --- LabelWidget ----------------------------------------------------------------------

LabelWidget::LabelWidget(int x, int y, int w, int h) : Fl_Box(x, y, w, h) { box(FL_NO_BOX); }

int LabelWidget::handle(int event) {
  if (!link_) return Fl_Box::handle(event);
  switch (event) {
    case FL_ENTER:
      if (window() != nullptr) window()->cursor(FL_CURSOR_HAND);
      return 1;
    case FL_LEAVE:
      if (window() != nullptr) window()->cursor(FL_CURSOR_DEFAULT);
      return 1;
    case FL_PUSH:
      return 1;
    case FL_RELEASE:
      if (Fl::event_inside(this) && on_click) on_click();
      return 1;
    default:
      return Fl_Box::handle(event);
  }
}

void LabelWidget::draw() {
  const char* text = label();
  if (text == nullptr || *text == '\0') return;
  fl_font(labelfont(), labelsize());
  fl_color(active_r() ? colour_ : fl_inactive(colour_));
  // A label is as wide as its text: nothing is cut at the design width.
  const int baseline = y() + fl_height() - fl_descent();
  fl_draw(text, x(), baseline);
  if (underline_) fl_xyline(x(), baseline + 1, x() + static_cast<int>(fl_width(text)) - 1);
}

// --- PasswordInput --------------------------------------------------------------------

namespace {

// The number of UTF-8 characters in the first `bytes` bytes of `text`.
int CharactersIn(const char* text, int bytes) {
  int count = 0;
  for (int i = 0; i < bytes; ++i) count += (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
  return count;
}

}  // namespace

void PasswordInput::draw() {
  // Drawn as a plain entry holding as many stars as there are characters, with the caret
  // and selection at the same characters; then the real text is put back.
  const std::string real(value(), static_cast<size_t>(size()));
  const int caret = position();
  const int anchor = mark();
  const std::string stars(static_cast<size_t>(CharactersIn(real.data(), size())), '*');
  Fl_Input_::value(stars.data(), static_cast<int>(stars.size()));
  Fl_Input_::position(CharactersIn(real.data(), caret), CharactersIn(real.data(), anchor));
  type(FL_NORMAL_INPUT);
  Fl_Secret_Input::draw();
  type(FL_SECRET_INPUT);
  Fl_Input_::value(real.data(), static_cast<int>(real.size()));
  Fl_Input_::position(caret, anchor);
}

// --- PictureButton --------------------------------------------------------------------

PictureButton::PictureButton(int x, int y, int w, int h, Glyph glyph)
    : Fl_Button(x, y, w, h), glyph_(glyph) {}

void PictureButton::DrawGlyph(int x, int y, int size) {
  const bool enabled = active_r() != 0;
  Fl_RGB_Image*& image = enabled ? glyph_on_ : glyph_off_;
  if (image == nullptr || image->w() != size) {
    delete image;
    image = nullptr;
    RgbaImage& pixels = enabled ? pixels_on_ : pixels_off_;
    pixels = ButtonGlyph(glyph_, size, enabled);
    if (pixels.pixels.empty()) return;
    image = new Fl_RGB_Image(pixels.pixels.data(), pixels.width, pixels.height, 4);
  }
  image->draw(x, y);
}

PictureButton::~PictureButton() {
  delete glyph_on_;
  delete glyph_off_;
}

void PictureButton::draw() {
  draw_box(value() ? (down_box() ? down_box() : fl_down(box())) : box(), color());
  const char* text = label();
  const bool has_text = text != nullptr && *text != '\0';
  const int glyph_size = glyph_ == Glyph::kNone ? 0 : (h() >= 24 ? 14 : h() - 8);
  fl_font(labelfont(), labelsize());
  const int text_width = has_text ? static_cast<int>(fl_width(text)) : 0;
  const int gap = glyph_size > 0 && has_text ? 5 : 0;
  const int total = glyph_size + gap + text_width;
  const int shift = value() ? 1 : 0;
  int left = x() + (w() - total) / 2 + shift;
  if (glyph_size > 0) {
    DrawGlyph(left, y() + (h() - glyph_size) / 2 + shift, glyph_size);
    left += glyph_size + gap;
  }
  if (has_text) {
    fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
    fl_draw(text, left, y() + (h() + fl_height()) / 2 - fl_descent() + shift);
  }
  if (Fl::focus() == this) draw_focus();
}

// --- RadioBox -------------------------------------------------------------------------

RadioBox::RadioBox(int x, int y, int w, int h) : Fl_Group(x, y, w, h) {
  box(FL_NO_BOX);
  labeltype(FL_NO_LABEL);  // the caption is drawn into the frame by draw()
  end();
}

void RadioBox::draw() {
  fl_color(color());
  fl_rectf(x(), y(), w(), h());
  fl_font(labelfont(), labelsize());
  const int top = y() + fl_height() / 2;
  draw_box(FL_ENGRAVED_FRAME, x(), top, w(), y() + h() - top, color());
  const char* text = label();
  if (text != nullptr && *text != '\0') {
    const int width = static_cast<int>(fl_width(text));
    fl_color(color());
    fl_rectf(x() + 6, y(), width + 4, fl_height());
    fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
    fl_draw(text, x() + 8, y() + fl_height() - fl_descent());
  }
  draw_children();
}

int RadioBox::handle(int event) {
  if (event == FL_FOCUS && children() > 0) {
    for (int i = 0; i < children(); ++i) {
      auto* item = static_cast<Fl_Button*>(child(i));
      if (item->value() && item->active() && item->take_focus()) return 1;
    }
    return Fl_Group::handle(event);
  }
  if (event == FL_KEYBOARD) {
    const int key = Fl::event_key();
    if (key == FL_Tab) return 0;  // the window moves on to the next control
    const int step = key == FL_Right || key == FL_Down ? 1
                     : key == FL_Left || key == FL_Up  ? -1
                                                       : 0;
    if (step == 0 || children() == 0) return Fl_Group::handle(event);
    int at = 0;
    while (at < children() && !child(at)->contains(Fl::focus())) ++at;
    if (at == children()) return 0;
    const int next = (at + step + children()) % children();
    auto* item = static_cast<Fl_Button*>(child(next));
    item->take_focus();
    item->setonly();
    item->do_callback();
    return 1;
  }
  return Fl_Group::handle(event);
}

// --- PictureBox -----------------------------------------------------------------------

PictureBox::PictureBox(int x, int y, int w, int h) : Fl_Box(x, y, w, h) { box(FL_NO_BOX); }

void PictureBox::SetIcon(bool icon, bool stretch) {
  stretch_ = stretch;
  scaled_.reset();
  image_.reset();
  if (!icon) return;
  image_.reset(static_cast<Fl_RGB_Image*>(ProgramIconImage().copy()));
}

void PictureBox::draw() {
  if (!image_) return;
  if (stretch_ && (image_->w() != w() || image_->h() != h())) {
    if (!scaled_ || scaled_->w() != w() || scaled_->h() != h()) {
      // Stretched pixel for pixel, as a plain copy of the small drawing would be.
      scaled_.reset(static_cast<Fl_RGB_Image*>(image_->copy(w(), h())));
    }
    scaled_->draw(x(), y());
    return;
  }
  image_->draw(x(), y());
}

Fl_RGB_Image& ProgramIconImage() {
  static const RgbaImage pixels = ProgramIcon(32);
  static Fl_RGB_Image image(pixels.pixels.data(), pixels.width, pixels.height, 4);
  return image;
}

}  // namespace tavelin::ui
