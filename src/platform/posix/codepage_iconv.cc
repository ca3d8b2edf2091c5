// Shift-JIS <-> UTF-8 through the C library's iconv.
#include <errno.h>
#include <iconv.h>

#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "platform/windows_only_bytes.h"

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

// The byte of the Windows-only character (see WindowsOnlySingleByteChar) whose UTF-8 form
// starts `text`, and that form's length; -1 when `text` starts with another character. Those
// characters take two bytes from 0xC2 or three from 0xEF, and neither is ever a continuation
// byte, so a match always starts a character.
int WindowsOnlyByteAt(std::string_view text, std::size_t* length) {
  const auto lead = static_cast<unsigned char>(text[0]);
  const std::size_t size = lead == 0xC2 ? 2 : lead == 0xEF ? 3 : 0;
  if (size == 0 || text.size() < size) return -1;
  char32_t code_point = lead & (size == 2 ? 0x1F : 0x0F);
  for (std::size_t k = 1; k < size; ++k) {
    const auto byte = static_cast<unsigned char>(text[k]);
    if ((byte & 0xC0) != 0x80) return -1;
    code_point = (code_point << 6) | (byte & 0x3F);
  }
  *length = size;
  return WindowsOnlySingleByteOf(code_point);
}

}  // namespace

bool Cp932ToUtf8(std::string_view in, std::string* out) {
  thread_local Converter converter("UTF-8", "CP932");
  return ConvertAroundWindowsOnlyBytes(
      in, out, [](std::string_view run, std::string* text) { return converter.Convert(run, text); },
      AppendUtf8);
}

bool Utf8ToCp932(std::string_view in, std::string* out) {
  thread_local Converter converter("CP932", "UTF-8");
  std::string result, piece;
  std::size_t start = 0;
  for (std::size_t i = 0; i < in.size(); ++i) {
    std::size_t length = 0;
    const int own = WindowsOnlyByteAt(in.substr(i), &length);
    if (own < 0) continue;
    if (!converter.Convert(in.substr(start, i - start), &piece)) return false;
    result.append(piece).push_back(static_cast<char>(own));
    i += length - 1;
    start = i + 1;
  }
  if (start == 0) return converter.Convert(in, out);
  if (!converter.Convert(in.substr(start), &piece)) return false;
  *out = std::move(result.append(piece));
  return true;
}

}  // namespace tavelin
