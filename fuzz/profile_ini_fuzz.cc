// INI text as the host and this program keep it: a key written into any text reads back as
// the same key written into an empty text does, and every other key keeps its value.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_env.h"
#include "platform/profile_ini.h"

namespace {

bool Find(std::string_view text, std::string_view section, std::string_view key,
          std::string* value) {
  return tavelin::FindProfileValue(text, section, key, value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using tavelin::fuzzing::Require;
  tavelin::fuzzing::Parts parts(data, size);
  std::string_view text = parts.Next();
  std::string_view section = parts.Next();
  std::string_view key = parts.Next();
  std::string_view value = parts.Next();
  std::string_view other_section = parts.Next();
  std::string_view other_key = parts.Next();

  std::string other_before;
  const bool other_found = Find(text, other_section, other_key, &other_before);

  std::string updated;
  if (!tavelin::SetProfileValue(text, section, key, value, &updated)) return 0;
  std::string alone;
  Require(tavelin::SetProfileValue("", section, key, value, &alone),
          "a name that can be written into one text can be written into any");
  std::string expected;
  Require(Find(alone, section, key, &expected), "a written key is found in a new text");
  std::string read_back;
  Require(Find(updated, section, key, &read_back), "a written key is found");
  Require(read_back == expected, "a written key reads back as written");

  if (other_found) {
    std::string other_after;
    Require(Find(updated, other_section, other_key, &other_after), "other keys stay");
    Require(other_after == other_before || other_after == expected, "other keys keep their value");
  }
  return 0;
}
