// Item splitting of login challenges and channel setup lines, with the look-up and
// unquoting that follow it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_env.h"
#include "platform/items.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using tavelin::fuzzing::Require;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> items = tavelin::SplitItems(text);
  std::size_t total = 0;
  for (const std::string& item : items) {
    total += item.size();
    std::string unquoted = tavelin::UnquoteValue(item);
    Require(unquoted.size() <= item.size(), "unquoting never lengthens an item");
    std::size_t equals = item.find('=');
    if (equals != std::string::npos && equals > 0) {
      // The first item of that name answers, so its value is some item's tail.
      std::string value = tavelin::ItemValue(items, item.substr(0, equals));
      Require(value.size() <= total, "a value is part of the items");
    }
  }
  Require(total <= text.size(), "items are made of the text's bytes");
  return 0;
}
