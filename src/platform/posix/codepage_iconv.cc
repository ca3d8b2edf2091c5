// Shift-JIS <-> UTF-8 through the C library's iconv.
#include <errno.h>
#include <iconv.h>

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

}  // namespace

bool Cp932ToUtf8(std::string_view in, std::string* out) {
  thread_local Converter converter("UTF-8", "CP932");
  return converter.Convert(in, out);
}

bool Utf8ToCp932(std::string_view in, std::string* out) {
  thread_local Converter converter("CP932", "UTF-8");
  return converter.Convert(in, out);
}

}  // namespace tavelin
