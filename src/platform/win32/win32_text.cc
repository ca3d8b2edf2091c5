#include "platform/win32/win32_text.h"

#include <climits>
#include <utility>

#include "platform/codepage.h"
#include "platform/win32/windows_api.h"
#include "platform/windows_only_bytes.h"

namespace tavelin {
namespace win32 {
namespace {

constexpr UINT kShiftJis = 932;

bool WideFromCodePage(UINT code_page, std::string_view in, std::wstring* out) {
  out->clear();
  if (in.empty()) return true;
  if (in.size() > INT_MAX) return false;
  const int length = static_cast<int>(in.size());
  const int needed =
      ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, in.data(), length, nullptr, 0);
  if (needed <= 0) return false;
  out->resize(static_cast<std::size_t>(needed));
  return ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, in.data(), length, out->data(),
                               needed) == needed;
}

// `used_default` is only allowed for code pages other than UTF-8; UTF-8 output reports
// unpaired surrogates through WC_ERR_INVALID_CHARS instead.
bool CodePageFromWide(UINT code_page, std::wstring_view in, std::string* out) {
  out->clear();
  if (in.empty()) return true;
  if (in.size() > INT_MAX) return false;
  const int length = static_cast<int>(in.size());
  const bool utf8 = code_page == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL used_default = FALSE;
  BOOL* used_default_arg = utf8 ? nullptr : &used_default;
  const int needed = ::WideCharToMultiByte(code_page, flags, in.data(), length, nullptr, 0, nullptr,
                                           used_default_arg);
  if (needed <= 0 || used_default) return false;
  out->resize(static_cast<std::size_t>(needed));
  return ::WideCharToMultiByte(code_page, flags, in.data(), length, out->data(), needed, nullptr,
                               used_default_arg) == needed &&
         !used_default;
}

// The bytes that code page 932 maps to private use characters are converted here; the
// strict conversion refuses them. The way back needs no help: WideCharToMultiByte maps
// those characters to their bytes.
bool WideFromShiftJis(std::string_view in, std::wstring* out) {
  return ConvertAroundWindowsOnlyBytes(
      in, out,
      [](std::string_view run, std::wstring* wide) {
        return WideFromCodePage(kShiftJis, run, wide);
      },
      [](char32_t own, std::wstring* wide) {
        *wide += static_cast<wchar_t>(own);  // all in the basic plane: one UTF-16 unit
      });
}

}  // namespace

bool ToWide(std::string_view cp932, std::wstring* wide) { return WideFromShiftJis(cp932, wide); }

bool FromWide(std::wstring_view wide, std::string* cp932) {
  return CodePageFromWide(kShiftJis, wide, cp932);
}

bool ToSystemPath(const std::string& path, std::wstring* system_path) {
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  if (!ToWide(path, system_path)) return false;
  *system_path = LongPathForm(std::move(*system_path));
  return true;
}

std::wstring LongPathForm(std::wstring path) {
  const auto delimiter = [](wchar_t c) { return c == L'\\' || c == L'/'; };
  if (path.size() < kLongPathFrom) return path;
  const bool drive = path.size() >= 3 && path[1] == L':' && delimiter(path[2]) &&
                     ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
  const bool unc = delimiter(path[0]) && delimiter(path[1]);
  if (!drive && !unc) return path;  // relative: the system's own limit stays
  if (unc && path.size() >= 4 && (path[2] == L'?' || path[2] == L'.') && delimiter(path[3])) {
    return path;  // already a device or long form
  }
  // The prefix turns off the system's own clean-up of the path, so "/", "." and ".." and
  // repeated delimiters are resolved first.
  const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring full(needed, L'\0');
  const DWORD length = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return path;
  full.resize(length);
  if (full.size() >= 2 && full[0] == L'\\' && full[1] == L'\\') {
    return L"\\\\?\\UNC\\" + full.substr(2);
  }
  return L"\\\\?\\" + full;
}

}  // namespace win32

// The shared UTF-8 conversions (window texts of portable code, test messages) go through
// UTF-16 too.
bool Cp932ToUtf8(std::string_view in, std::string* out) {
  std::wstring wide;
  return win32::WideFromShiftJis(in, &wide) && win32::CodePageFromWide(CP_UTF8, wide, out);
}

bool Utf8ToCp932(std::string_view in, std::string* out) {
  std::wstring wide;
  return win32::WideFromCodePage(CP_UTF8, in, &wide) &&
         win32::CodePageFromWide(win32::kShiftJis, wide, out);
}

}  // namespace tavelin
