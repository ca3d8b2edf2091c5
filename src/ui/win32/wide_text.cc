#include "ui/win32/wide_text.h"

#include "platform/codepage.h"
#include "ui/win32/windows_api.h"

namespace tavelin::ui {
namespace {

constexpr UINT kShiftJis = 932;

bool ToWide(std::string_view cp932, std::wstring* out) {
  out->clear();
  if (cp932.empty()) return true;
  const int size = static_cast<int>(cp932.size());
  const int length =
      MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, cp932.data(), size, nullptr, 0);
  if (length <= 0) return false;
  out->resize(static_cast<size_t>(length));
  return MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, cp932.data(), size, out->data(),
                             length) == length;
}

}  // namespace

std::wstring WideText(std::string_view cp932) {
  std::wstring out;
  if (ToWide(cp932, &out)) return out;
  // Character by character, marking the ones that fail.
  out.clear();
  for (size_t i = 0; i < cp932.size();) {
    const size_t length =
        IsLeadByte(static_cast<unsigned char>(cp932[i])) && i + 1 < cp932.size() ? 2 : 1;
    std::wstring one;
    if (ToWide(cp932.substr(i, length), &one)) {
      out += one;
    } else {
      out += L'?';
    }
    i += length;
  }
  return out;
}

bool NarrowText(std::wstring_view utf16, std::string* cp932) {
  cp932->clear();
  if (utf16.empty()) return true;
  const int size = static_cast<int>(utf16.size());
  BOOL used_default = FALSE;
  const int length = WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, utf16.data(), size,
                                         nullptr, 0, nullptr, &used_default);
  if (length <= 0 || used_default) return false;
  cp932->resize(static_cast<size_t>(length));
  used_default = FALSE;
  const int written = WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, utf16.data(), size,
                                          cp932->data(), length, nullptr, &used_default);
  return written == length && !used_default;
}

}  // namespace tavelin::ui
