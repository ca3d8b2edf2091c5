#include "platform/ascii_text.h"

namespace tavelin {
namespace {

bool IsControlOrSpace(char c) { return static_cast<unsigned char>(c) <= 0x20; }
bool IsSpaceOrTab(char c) { return c == ' ' || c == '\t'; }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

template <typename IsBlank>
std::string_view TrimBoth(std::string_view text, IsBlank is_blank) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string_view TrimControls(std::string_view text) { return TrimBoth(text, IsControlOrSpace); }

std::string_view TrimSpacesAndTabs(std::string_view text) { return TrimBoth(text, IsSpaceOrTab); }

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool SameBytesIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::string LowerAsciiBytes(std::string text) {
  for (char& c : text) c = LowerAscii(c);
  return text;
}

}  // namespace tavelin
