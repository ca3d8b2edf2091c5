// Text crossing between the program (Shift-JIS) and the toolkit (UTF-8).
#ifndef TAVELIN_UI_FLTK_DISPLAY_TEXT_H_
#define TAVELIN_UI_FLTK_DISPLAY_TEXT_H_

#include <string>
#include <string_view>

namespace tavelin::ui {

// The UTF-8 form of a Shift-JIS text for drawing. A character without a counterpart (or a
// lone lead byte) is shown as "?" so that the rest of the text still appears.
std::string DisplayText(std::string_view cp932);

// The Shift-JIS form of what the user entered; false when some character has none.
bool EnteredText(std::string_view utf8, std::string* cp932);

// The toolkit's font name for a font the window definition names: both Japanese system
// Gothic faces map to the IPA Gothic family that is metric-compatible with them.
// The leading blank marks the regular style.
const char* FontFaceFor(std::string_view cp932_name);

}  // namespace tavelin::ui

#endif  // TAVELIN_UI_FLTK_DISPLAY_TEXT_H_
