// Shift-JIS <-> UTF-8 through the C library's iconv.
#include <errno.h>
#include <iconv.h>

#include <string>
#include <string_view>

#include "platform/codepage.h"

namespace tavelin {
namespace {

// One converter per direction, opened on first use and reused; each conversion starts by
// resetting its shift state.
class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool Convert(std::string_view in, std::string* out) {
    out->clear();
    if (!ok()) return false;
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    char* in_ptr = const_cast<char*>(in.data());
    std::size_t in_left = in.size();
    std::string buffer(in.size() * 2 + 16, '\0');
    std::size_t used = 0;
    while (in_left > 0) {
      char* out_ptr = buffer.data() + used;
      std::size_t out_left = buffer.size() - used;
      const std::size_t result = iconv(handle_, &in_ptr, &in_left, &out_ptr, &out_left);
      used = buffer.size() - out_left;
      if (result != static_cast<std::size_t>(-1)) break;
      if (errno != E2BIG) return false;  // EILSEQ or EINVAL: a character that does not convert
      buffer.resize(buffer.size() * 2);
    }
    // Flush any pending state (none for these encodings, but harmless).
    char* out_ptr = buffer.data() + used;
    std::size_t out_left = buffer.size() - used;
    if (iconv(handle_, nullptr, nullptr, &out_ptr, &out_left) == static_cast<std::size_t>(-1)) {
      return false;
    }
    used = buffer.size() - out_left;
    buffer.resize(used);
    *out = std::move(buffer);
    return true;
  }

 private:
  // NOLINTNEXTLINE(performance-no-int-to-ptr): iconv_open's failure value is (iconv_t)-1
  bool ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t handle_;
};

// Windows' code page 932 gives five single bytes a character that iconv's CP932 refuses:
// 0x80 is U+0080, 0xA0 and 0xFD-0xFF are U+F8F0-U+F8F3 of the private use area. They are
// converted here, both ways, so that every name Windows writes is written here too and
// reads back to the same bytes.
struct WindowsOnlyByte {
  unsigned char byte;
  std::string_view utf8;
};
constexpr WindowsOnlyByte kWindowsOnlyBytes[] = {{0x80, "\xC2\x80"},
                                                 {0xA0, "\xEF\xA3\xB0"},
                                                 {0xFD, "\xEF\xA3\xB1"},
                                                 {0xFE, "\xEF\xA3\xB2"},
                                                 {0xFF, "\xEF\xA3\xB3"}};

const WindowsOnlyByte* WindowsOnlyByteOf(unsigned char byte) {
  for (const WindowsOnlyByte& entry : kWindowsOnlyBytes) {
    if (entry.byte == byte) return &entry;
  }
  return nullptr;
}

// The entry whose UTF-8 form starts `text`, or null. 0xC2 and 0xEF are never continuation
// bytes, so a match always starts a character.
const WindowsOnlyByte* WindowsOnlyUtf8At(std::string_view text) {
  for (const WindowsOnlyByte& entry : kWindowsOnlyBytes) {
    if (text.starts_with(entry.utf8)) return &entry;
  }
  return nullptr;
}

}  // namespace

bool Cp932ToUtf8(std::string_view in, std::string* out) {
  thread_local Converter converter("UTF-8", "CP932");
  std::string result, piece;
  std::size_t start = 0;  // the first byte not yet converted
  std::size_t i = 0;
  while (i < in.size()) {
    const auto byte = static_cast<unsigned char>(in[i]);
    if (IsLeadByte(byte)) {
      i += 2;  // its trail byte may be 0x80 or 0xA0: part of the character
      continue;
    }
    const WindowsOnlyByte* entry = WindowsOnlyByteOf(byte);
    if (entry == nullptr) {
      ++i;
      continue;
    }
    if (!converter.Convert(in.substr(start, i - start), &piece)) return false;
    result.append(piece).append(entry->utf8);
    start = ++i;
  }
  if (start == 0) return converter.Convert(in, out);
  if (!converter.Convert(in.substr(start), &piece)) return false;
  *out = std::move(result.append(piece));
  return true;
}

bool Utf8ToCp932(std::string_view in, std::string* out) {
  thread_local Converter converter("CP932", "UTF-8");
  std::string result, piece;
  std::size_t start = 0;
  for (std::size_t i = 0; i < in.size(); ++i) {
    const auto byte = static_cast<unsigned char>(in[i]);
    if (byte != 0xC2 && byte != 0xEF) continue;
    const WindowsOnlyByte* entry = WindowsOnlyUtf8At(in.substr(i));
    if (entry == nullptr) continue;
    if (!converter.Convert(in.substr(start, i - start), &piece)) return false;
    result.append(piece).push_back(static_cast<char>(entry->byte));
    i += entry->utf8.size() - 1;
    start = i + 1;
  }
  if (start == 0) return converter.Convert(in, out);
  if (!converter.Convert(in.substr(start), &piece)) return false;
  *out = std::move(result.append(piece));
  return true;
}

}  // namespace tavelin
