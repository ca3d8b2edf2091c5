// Shift-JIS (code page 932) byte tests and conversions.
#ifndef TAVELIN_PLATFORM_CODEPAGE_H_
#define TAVELIN_PLATFORM_CODEPAGE_H_

#include <string>
#include <string_view>

namespace tavelin {

// True for the first byte of a double-byte character: 0x81-0x9F and 0xE0-0xFC.
bool IsLeadByte(unsigned char byte);
// True for the bytes that may follow a lead byte in one character: 0x40-0x7E, 0x80-0xFC.
bool IsTrailByte(unsigned char byte);

// Conversions between Shift-JIS and UTF-8 or code points. They convert the whole text or
// nothing: false (and `out` unspecified) when a character has no counterpart.
bool Cp932ToUtf8(std::string_view in, std::string* out);
bool Utf8ToCp932(std::string_view in, std::string* out);
bool Cp932ToCodePoints(std::string_view in, std::u32string* out);
bool CodePointsToCp932(std::u32string_view in, std::string* out);

// Appends the UTF-8 form of `code_point`.
void AppendUtf8(char32_t code_point, std::string* out);

// `text` with its ASCII letters upper-cased; both bytes of a double-byte character stay as
// they are.
std::string UpperAsciiText(std::string_view text);

// Shift-JIS texts compared with ASCII letters folded to one case. Only single-byte
// characters are folded: the trail byte of a double-byte character is compared as it is.
bool SameTextIgnoringAsciiCase(std::string_view a, std::string_view b);
// True when `text` ends in `suffix` (compared as above) and the suffix starts on a
// character boundary of `text`, not inside a double-byte character.
bool EndsWithIgnoringAsciiCase(std::string_view text, std::string_view suffix);

}  // namespace tavelin

#endif  // TAVELIN_PLATFORM_CODEPAGE_H_
