// The current user's registry kept as a REGEDIT4 text file (the Windows .reg export
// format), UTF-8 on disk:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\software\Morvik\Qadrel2\etc]
//   "RootPath"="/home/me/qadrel/"
//   "Count"=dword:0000000a
//
// Key paths and value names match without regard to ASCII case. Updates change one line
// and keep everything else, names keeping the spelling they were first written with. Lines
// that cannot be understood are passed over. All texts here are UTF-8.
#ifndef TAVELIN_PLATFORM_POSIX_REGISTRY_TEXT_H_
#define TAVELIN_PLATFORM_POSIX_REGISTRY_TEXT_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace tavelin::posix {

class RegistryText {
 public:
  explicit RegistryText(std::string text);

  // Keys are paths below HKEY_CURRENT_USER such as "software\Morvik"; leading and trailing
  // backslashes are ignored. A key exists when it has a section or lies above one.
  bool KeyExists(std::string_view key) const;
  // A string is "text" or an expandable string hex(2):.. (read as it stands). A value of
  // another type counts as missing.
  bool ReadString(std::string_view key, std::string_view name, std::string* value) const;
  bool ReadDword(std::string_view key, std::string_view name, uint32_t* value) const;
  // False (and nothing changed) when the key or a text cannot be stored in the format:
  // an empty key, or a line break or NUL byte anywhere.
  bool WriteString(std::string_view key, std::string_view name, std::string_view value);
  bool WriteDword(std::string_view key, std::string_view name, uint32_t value);

  const std::string& text() const { return text_; }

 private:
  struct Found;
  bool Find(std::string_view key, std::string_view name, Found* found) const;
  bool WriteData(std::string_view key, std::string_view name, const std::string& data);

  std::string text_;
};

}  // namespace tavelin::posix

#endif  // TAVELIN_PLATFORM_POSIX_REGISTRY_TEXT_H_
