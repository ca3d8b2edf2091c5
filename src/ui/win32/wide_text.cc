#include "ui/win32/wide_text.h"

#include "platform/codepage.h"
#include "platform/win32/win32_text.h"

namespace tavelin::ui {

std::wstring WideText(std::string_view cp932) {
  std::wstring out;
  if (win32::ToWide(cp932, &out)) return out;
  // Character by character, marking the ones that fail.
  out.clear();
  for (size_t i = 0; i < cp932.size();) {
    const size_t length =
        IsLeadByte(static_cast<unsigned char>(cp932[i])) && i + 1 < cp932.size() ? 2 : 1;
    std::wstring one;
    out += win32::ToWide(cp932.substr(i, length), &one) ? one : L"?";
    i += length;
  }
  return out;
}

bool NarrowText(std::wstring_view utf16, std::string* cp932) {
  return win32::FromWide(utf16, cp932);
}

}  // namespace tavelin::ui
