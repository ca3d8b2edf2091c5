#include "channels/sjis_decoder.h"

#include "platform/codepage.h"

namespace tavelin {
namespace {

constexpr char32_t kNotLookedUp = 0xFFFFFFFF;
constexpr char32_t kNoCharacter = 0xFFFFFFFE;

}  // namespace

ShiftJisDecoder::ShiftJisDecoder() : known_(0x10000, kNotLookedUp) {}

char32_t ShiftJisDecoder::CodePointOf(unsigned code) {
  char32_t& slot = known_[code];
  if (slot == kNotLookedUp) {
    std::string bytes;
    if (code > 0xFF) bytes.push_back(static_cast<char>(code >> 8));
    bytes.push_back(static_cast<char>(code & 0xFF));
    std::u32string decoded;
    slot = Cp932ToCodePoints(bytes, &decoded) && decoded.size() == 1 ? decoded[0] : kNoCharacter;
  }
  return slot;
}

std::u32string ShiftJisDecoder::Decode(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(byte) && i + 1 < text.size()) {
      const unsigned char trail = static_cast<unsigned char>(text[i + 1]);
      const char32_t pair = CodePointOf(static_cast<unsigned>(byte) << 8 | trail);
      if (pair != kNoCharacter) {
        out.push_back(pair);
        i += 2;
        continue;
      }
      // An invalid trail byte: the lead byte stands alone and the next byte starts afresh.
    }
    const char32_t single = IsLeadByte(byte) ? kNoCharacter : CodePointOf(byte);
    out.push_back(single != kNoCharacter ? single : kUndecodableBase + byte);
    ++i;
  }
  return out;
}

}  // namespace tavelin
