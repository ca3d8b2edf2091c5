// The five single bytes that Windows' code page 932 maps to a character and the strict
// converters refuse (iconv's CP932; Windows' own, with MB_ERR_INVALID_CHARS, the last four):
// 0x80 is U+0080, 0xA0 and 0xFD-0xFF are U+F8F0-U+F8F3 of the private use area. Both
// systems convert these bytes themselves, so that every name Windows writes is written on
// both and reads back to the same bytes.
#ifndef TAVELIN_PLATFORM_WINDOWS_ONLY_BYTES_H_
#define TAVELIN_PLATFORM_WINDOWS_ONLY_BYTES_H_

#include <string_view>
#include <utility>

#include "platform/codepage.h"

namespace tavelin {

struct WindowsOnlyByte {
  unsigned char byte;
  char32_t code_point;
};
inline constexpr WindowsOnlyByte kWindowsOnlyBytes[] = {
    {0x80, 0x0080}, {0xA0, 0xF8F0}, {0xFD, 0xF8F1}, {0xFE, 0xF8F2}, {0xFF, 0xF8F3}};

// The character of `byte`, or 0 when it is not one of them. Inline: the converters ask it
// of every byte.
constexpr char32_t WindowsOnlySingleByteChar(unsigned char byte) {
  if (byte < 0x80) return 0;
  for (const WindowsOnlyByte& entry : kWindowsOnlyBytes) {
    if (entry.byte == byte) return entry.code_point;
  }
  return 0;
}

// The byte whose character `code_point` is, or -1.
constexpr int WindowsOnlySingleByteOf(char32_t code_point) {
  for (const WindowsOnlyByte& entry : kWindowsOnlyBytes) {
    if (entry.code_point == code_point) return entry.byte;
  }
  return -1;
}

// Converts Shift-JIS `in` into `*out` (UTF-8 or UTF-16 text): the runs between those bytes
// with `convert_run(run, Text*)`, the system's strict converter, and each of those bytes with
// `append_own(char32_t, Text*)`. A trail byte (0x80 and 0xA0 may be one) stays part of its
// character. False when a run does not convert.
template <typename Text, typename ConvertRun, typename AppendOwn>
bool ConvertAroundWindowsOnlyBytes(std::string_view in, Text* out, ConvertRun convert_run,
                                   AppendOwn append_own) {
  Text result, piece;
  std::size_t start = 0;  // the first byte not yet converted
  std::size_t i = 0;
  while (i < in.size()) {
    const auto byte = static_cast<unsigned char>(in[i]);
    if (IsLeadByte(byte)) {
      i += 2;
      continue;
    }
    const char32_t own = WindowsOnlySingleByteChar(byte);
    if (own == 0) {
      ++i;
      continue;
    }
    if (!convert_run(in.substr(start, i - start), &piece)) return false;
    result += piece;
    append_own(own, &result);
    start = ++i;
  }
  if (start == 0) return convert_run(in, out);  // none of them: one run
  if (!convert_run(in.substr(start), &piece)) return false;
  result += piece;
  *out = std::move(result);
  return true;
}

}  // namespace tavelin

#endif  // TAVELIN_PLATFORM_WINDOWS_ONLY_BYTES_H_
