#include "platform/codepage.h"

#include <cstdint>

namespace tavelin {
namespace {

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Length in bytes of the character starting at `i`: 2 for a lead byte followed by one more
// byte, else 1 (a lead byte at the very end stands alone).
std::size_t CharLength(std::string_view text, std::size_t i) {
  return IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

// Decodes UTF-8 that the system converter produced (so it is well formed); still checks
// every byte so that nothing reads past the end.
bool DecodeUtf8(std::string_view in, std::u32string* out) {
  out->clear();
  std::size_t i = 0;
  while (i < in.size()) {
    const unsigned char b = static_cast<unsigned char>(in[i]);
    int extra;
    char32_t cp;
    if (b < 0x80) {
      extra = 0;
      cp = b;
    } else if (b >= 0xC2 && b <= 0xDF) {
      extra = 1;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2;
      cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3;
      cp = b & 0x07;
    } else {
      return false;
    }
    if (in.size() - i <= static_cast<std::size_t>(extra)) return false;
    for (int k = 1; k <= extra; ++k) {
      const unsigned char c = static_cast<unsigned char>(in[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    out->push_back(cp);
    i += extra + 1;
  }
  return true;
}

}  // namespace

void AppendUtf8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool IsLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool IsTrailByte(unsigned char byte) {
  return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

bool Cp932ToCodePoints(std::string_view in, std::u32string* out) {
  std::string utf8;
  return Cp932ToUtf8(in, &utf8) && DecodeUtf8(utf8, out);
}

bool CodePointsToCp932(std::u32string_view in, std::string* out) {
  std::string utf8;
  for (char32_t cp : in) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    AppendUtf8(cp, &utf8);
  }
  return Utf8ToCp932(utf8, out);
}

std::string UpperAsciiText(std::string_view text) {
  std::string out(text);
  std::size_t i = 0;
  while (i < out.size()) {
    const std::size_t len = CharLength(out, i);
    if (len == 1) out[i] = FoldAscii(out[i]);
    i += len;
  }
  return out;
}

bool SameTextIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  std::size_t i = 0;
  while (i < a.size()) {
    const std::size_t len = CharLength(a, i);
    if (len == 2) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
    } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
      return false;
    }
    i += len;
  }
  return true;
}

bool EndsWithIgnoringAsciiCase(std::string_view text, std::string_view suffix) {
  if (suffix.size() > text.size()) return false;
  const std::size_t start = text.size() - suffix.size();
  std::size_t i = 0;
  while (i < start) i += CharLength(text, i);
  if (i != start) return false;  // the suffix would begin on a trail byte
  return SameTextIgnoringAsciiCase(text.substr(start), suffix);
}

}  // namespace tavelin
