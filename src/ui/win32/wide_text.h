// Text crossing between the program (Shift-JIS) and the window system (UTF-16).
#ifndef TAVELIN_UI_WIN32_WIDE_TEXT_H_
#define TAVELIN_UI_WIN32_WIDE_TEXT_H_

#include <string>
#include <string_view>

namespace tavelin::ui {

// The UTF-16 form of a Shift-JIS text for showing. A character that does not convert (a
// lone lead byte, an unassigned code) becomes "?" so that the rest of the text still
// appears.
std::wstring WideText(std::string_view cp932);

// The Shift-JIS form of what the user entered; false when some character has none (the
// system's best-fit look-alikes count as none).
bool NarrowText(std::wstring_view utf16, std::string* cp932);

}  // namespace tavelin::ui

#endif  // TAVELIN_UI_WIN32_WIDE_TEXT_H_
