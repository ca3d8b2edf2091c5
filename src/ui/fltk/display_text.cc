#include "ui/fltk/display_text.h"

#include "platform/codepage.h"

namespace tavelin::ui {

std::string DisplayText(std::string_view cp932) {
  std::string out;
  if (Cp932ToUtf8(cp932, &out)) return out;
  // Convert character by character and mark the ones that fail.
  out.clear();
  for (size_t i = 0; i < cp932.size();) {
    const size_t length =
        IsLeadByte(static_cast<unsigned char>(cp932[i])) && i + 1 < cp932.size() ? 2 : 1;
    std::string one;
    if (Cp932ToUtf8(cp932.substr(i, length), &one)) {
      out += one;
    } else {
      out += '?';
    }
    i += length;
  }
  return out;
}

bool EnteredText(std::string_view utf8, std::string* cp932) { return Utf8ToCp932(utf8, cp932); }

const char* FontFaceFor(std::string_view cp932_name) {
  // The fixed-pitch face keeps its fixed pitch; every other face is the proportional one.
  if (cp932_name == "ＭＳ ゴシック" || cp932_name == "MS Gothic") return " IPAGothic";
  return " IPAPGothic";
}

}  // namespace tavelin::ui
