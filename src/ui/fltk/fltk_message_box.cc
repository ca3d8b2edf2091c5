// The message box: a small modal window sized to its text in the window's font, with one
// OK button, centred over the main window. Every box is also recorded, and a test can
// answer it instead of a user.

// First, as a .cc file's own header: Xlib (through FLTK) defines Status as a macro, which
// must not meet the Env's Status class.
#include "ui/fltk/fltk_views.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Return_Button.H>
#include <FL/fl_draw.H>

#include <algorithm>

#include "ui/fltk/display_text.h"

namespace tavelin::ui {

void FltkBackend::ShowMessage(const std::string& text, const std::string& title) {
  if (impl_->on_message) impl_->on_message(text, title);
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
  int left = 0;
  int top = 0;
  impl_->CentredPosition(width, height, /*only_visible=*/true, &left, &top);
  box.position(left, top);
  box.show();
  ok.take_focus();
  if (impl_->answer) {
    Fl::check();
    impl_->answer();
    box.hide();
  }
  while (box.shown() && !impl_->Lost()) Fl::wait();
}

}  // namespace tavelin::ui
