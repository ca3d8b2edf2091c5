// Byte-level helpers for the ASCII parts of a text: trimming blanks and folding ASCII case.
// They look at single bytes only; for Shift-JIS aware comparison see platform/codepage.h.
#ifndef TAVELIN_PLATFORM_ASCII_TEXT_H_
#define TAVELIN_PLATFORM_ASCII_TEXT_H_

#include <string>
#include <string_view>

namespace tavelin {

// Removes bytes of code 0x20 and below (control bytes and the space) at both ends. A
// full-width space stays.
std::string_view TrimControls(std::string_view text);

// Removes spaces and tabs at both ends.
std::string_view TrimSpacesAndTabs(std::string_view text);

// Compares byte by byte with ASCII letters folded to one case. It knows nothing of
// double-byte characters, so a trail byte that is an ASCII letter is folded too: meant for
// protocol names and UTF-8 text (Shift-JIS text: SameTextIgnoringAsciiCase).
bool SameBytesIgnoringAsciiCase(std::string_view a, std::string_view b);

// The value 0-15 of a hexadecimal digit of either case; -1 for any other byte.
int HexDigitValue(char c);

// `text` with every byte 'A'-'Z' turned to 'a'-'z'.
std::string LowerAsciiBytes(std::string text);

}  // namespace tavelin

#endif  // TAVELIN_PLATFORM_ASCII_TEXT_H_
