// The FLTK widgets that stand for the toolkit-free controls: the form window with its face
// (dragged by any press that no control takes), labels that can act as links, picture
// buttons with drawn glyphs, the captioned radio group and the icon picture.
#ifndef TAVELIN_UI_FLTK_FLTK_WIDGETS_H_
#define TAVELIN_UI_FLTK_FLTK_WIDGETS_H_

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Secret_Input.H>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/artwork.h"

namespace tavelin::ui {

// Font numbers registered with the toolkit: the proportional and the fixed Gothic face.
inline constexpr int kProportionalFont = 16;  // FL_FREE_FONT
inline constexpr int kFixedFont = 17;
// Registers the faces (and makes the proportional one every widget's default).
void RegisterFonts();
int FontNumberFor(const char* face);
Fl_Color ToFlColor(uint32_t rgb);

class FormWindow : public Fl_Double_Window {
 public:
  FormWindow(int width, int height, bool frameless, uint32_t face_colour);
  // Runs after every move: a drag on the frameless face, or one by the window manager.
  std::function<void(int left, int top)> on_moved;
  bool frameless() const { return frameless_; }
  // Moves without reporting the move back.
  void PlaceQuietly(int left, int top);
  // The window's outline, for drawing its edge (kept alive by the caller).
  void SetOutline(const OutlineMask* outline) { outline_ = outline; }

  int handle(int event) override;
  void resize(int x, int y, int w, int h) override;
  void draw() override;

 private:
  void DrawFace();
  bool frameless_;
  uint32_t face_colour_;
  bool dragging_ = false;
  int drag_dx_ = 0;
  int drag_dy_ = 0;
  bool quiet_ = false;
  const OutlineMask* outline_ = nullptr;
  std::vector<uchar> face_rgb_;
};

// A label drawn straight on the window's face. With a click action it shows the hand
// cursor and takes presses; without one, presses fall through to the face.
class LabelWidget : public Fl_Box {
 public:
  LabelWidget(int x, int y, int w, int h);
  void SetStyle(Fl_Color colour, bool underline) {
    colour_ = colour;
    underline_ = underline;
  }
  std::function<void()> on_click;
  bool link() const { return link_; }
  void SetLink(bool link) { link_ = link; }

  int handle(int event) override;
  void draw() override;

 private:
  Fl_Color colour_ = FL_BLACK;
  bool underline_ = false;
  bool link_ = false;
};

// A password entry that shows one "*" for every character. It keeps the secret entry's
// behaviour (nothing can be copied out of it); only the drawing differs.
class PasswordInput : public Fl_Secret_Input {
 public:
  PasswordInput(int x, int y, int w, int h) : Fl_Secret_Input(x, y, w, h) {}
  void draw() override;
};

// A push button with an optional glyph drawn left of its caption (centred without one).
class PictureButton : public Fl_Button {
 public:
  PictureButton(int x, int y, int w, int h, Glyph glyph);
  ~PictureButton() override;
  void draw() override;

 private:
  // The shared glyph, greyed on an inactive button.
  void DrawGlyph(int x, int y, int size);
  Glyph glyph_;
  RgbaImage pixels_on_;
  RgbaImage pixels_off_;
  Fl_RGB_Image* glyph_on_ = nullptr;
  Fl_RGB_Image* glyph_off_ = nullptr;
};

// A radio group: an etched frame with its caption, filled with its background colour.
// It is one stop of the keyboard order: Tab enters it at the chosen item and leaves it at
// once, and the arrow keys choose the neighbouring item.
class RadioBox : public Fl_Group {
 public:
  RadioBox(int x, int y, int w, int h);
  void draw() override;
  int handle(int event) override;
};

// A progress bar that keeps the presses on it: the control handles the mouse itself, so a
// press there must not start moving the frameless window.
class ProgressBox : public Fl_Progress {
 public:
  ProgressBox(int x, int y, int w, int h);
  int handle(int event) override;
};

// The program icon (or nothing), stretched to the widget when asked.
class PictureBox : public Fl_Box {
 public:
  PictureBox(int x, int y, int w, int h);
  void SetIcon(bool icon, bool stretch);
  void draw() override;

 private:
  std::unique_ptr<Fl_RGB_Image> image_;
  std::unique_ptr<Fl_RGB_Image> scaled_;
  bool stretch_ = false;
};

// The program icon as a toolkit image (32 x 32), made once.
Fl_RGB_Image& ProgramIconImage();

}  // namespace tavelin::ui

#endif  // TAVELIN_UI_FLTK_FLTK_WIDGETS_H_
