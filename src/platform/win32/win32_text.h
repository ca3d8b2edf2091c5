// Shift-JIS <-> UTF-16 at the Win32 boundary, always with code page 932 named: the
// system's ANSI code page is 1252 on most non-Japanese systems (and under Wine).
#ifndef TAVELIN_PLATFORM_WIN32_WIN32_TEXT_H_
#define TAVELIN_PLATFORM_WIN32_WIN32_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace tavelin::win32 {

// False when a byte sequence is not Shift-JIS; an empty text converts to an empty one.
bool ToWide(std::string_view cp932, std::wstring* wide);
// False when a character has no Shift-JIS form (never replaced by '?' or a look-alike).
bool FromWide(std::wstring_view wide, std::string* cp932);

// The UTF-16 form of a Shift-JIS path; false when it does not convert, is empty or holds
// a NUL (which would silently cut the path). A long absolute path comes in its long form
// (LongPathForm).
bool ToSystemPath(const std::string& path, std::wstring* system_path);

// Absolute paths from this length on pass the system's MAX_PATH limits only with the "\\?\"
// prefix (CreateDirectoryW stops at MAX_PATH - 12; staged names add a dozen characters).
inline constexpr std::size_t kLongPathFrom = 240;
// "C:\..." becomes "\\?\C:\...", "\\server\share\..." becomes "\\?\UNC\server\share\...", once
// normalised; shorter, relative and already prefixed paths stay as they are.
std::wstring LongPathForm(std::wstring path);

}  // namespace tavelin::win32

#endif  // TAVELIN_PLATFORM_WIN32_WIN32_TEXT_H_
