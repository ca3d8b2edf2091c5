// The registry file of the current user: any text can be read, and a value written into it
// reads back, from the same object and from the saved text, while other values stay.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_env.h"
#include "platform/posix/registry_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using tavelin::fuzzing::Require;
  using tavelin::posix::RegistryText;
  tavelin::fuzzing::Parts parts(data, size);
  const uint8_t dword = parts.Byte() & 1;
  std::string_view text = parts.Next();
  std::string_view key = parts.Next();
  std::string_view name = parts.Next();
  std::string_view value = parts.Next();
  std::string_view other_key = parts.Next();
  std::string_view other_name = parts.Next();

  RegistryText registry{std::string(text)};
  std::string other_before;
  const bool other_found = registry.ReadString(other_key, other_name, &other_before);
  uint32_t number = 0;
  registry.ReadDword(key, name, &number);
  registry.KeyExists(key);

  const uint32_t written_number = static_cast<uint32_t>(value.size() * 2654435761u);
  const bool written = dword ? registry.WriteDword(key, name, written_number)
                             : registry.WriteString(key, name, value);
  if (!written) return 0;
  const RegistryText saved(registry.text());
  const RegistryText* readers[] = {&registry, &saved};
  for (const RegistryText* reader : readers) {
    Require(reader->KeyExists(key), "a written key exists");
    if (dword) {
      Require(reader->ReadDword(key, name, &number) && number == written_number,
              "a written number reads back");
    } else {
      std::string read_back;
      Require(reader->ReadString(key, name, &read_back) && read_back == value,
              "a written text reads back");
    }
    if (other_found) {
      std::string other_after;
      const bool still = reader->ReadString(other_key, other_name, &other_after);
      // Unless it is the value just written (a number then hides the old text).
      Require((still && other_after == other_before) || (dword ? !still : other_after == value),
              "other values keep their text");
    }
  }
  return 0;
}
