// Shift-JIS text to code points, one character at a time, for the pattern matcher. Unlike
// the whole-text conversion of platform/codepage.h it never fails: a byte that starts no
// valid character (a cut double-byte character at the end of a station name, say) becomes a
// private-use code point of its own, so it matches only itself.
#ifndef TAVELIN_CHANNELS_SJIS_DECODER_H_
#define TAVELIN_CHANNELS_SJIS_DECODER_H_

#include <string>
#include <string_view>
#include <vector>

namespace tavelin {

// U+F700 + byte value stands for a byte that starts no valid character. Code page 932
// decodes nothing into that range.
inline constexpr char32_t kUndecodableBase = 0xF700;

class ShiftJisDecoder {
 public:
  ShiftJisDecoder();

  std::u32string Decode(std::string_view text);

 private:
  // Code point of a one-byte (code < 0x100) or two-byte (lead << 8 | trail) character,
  // looked up once through the code page and remembered.
  char32_t CodePointOf(unsigned code);

  std::vector<char32_t> known_;
};

}  // namespace tavelin

#endif  // TAVELIN_CHANNELS_SJIS_DECODER_H_
