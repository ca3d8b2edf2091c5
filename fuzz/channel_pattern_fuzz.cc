// Channel names read as patterns, with and without the fuzzy character groups, searched for
// in a station name.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "channels/channel_pattern.h"
#include "fuzz_env.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  tavelin::fuzzing::Parts parts(data, size);
  const bool fuzzy = (parts.Byte() & 1) != 0;
  std::string_view pattern = parts.Next();
  std::string_view station = parts.Next();
  static tavelin::PatternMatcher matcher;
  matcher.set_use_fuzzy_groups(fuzzy);
  try {
    tavelin::ChannelPattern compiled = matcher.Compile(pattern);
    compiled.FoundIn(station);
    compiled.FoundIn(pattern);
  } catch (const tavelin::PatternError&) {
    // Names that are no pattern are refused; the retrieval then compares them as they are.
  }
  return 0;
}
