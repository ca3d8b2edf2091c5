// The text operations of the page parsers and the channel list retrieval: trimming, the
// field splitter, width folding and the character-aware search.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_env.h"
#include "parse/parse_context.h"
#include "parse/text_ops.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using tavelin::fuzzing::Require;
  tavelin::fuzzing::Parts parts(data, size);
  const char separator = static_cast<char>(parts.Byte());
  const bool ignore_case = (separator & 1) != 0;
  std::string_view text = parts.Next();
  std::string_view part = parts.Next();

  std::string trimmed = tavelin::TrimBlanks(text);
  Require(text.find(trimmed) != std::string_view::npos, "trimming keeps a part of the text");
  Require(trimmed.empty() || (static_cast<unsigned char>(trimmed.front()) > ' ' &&
                              static_cast<unsigned char>(trimmed.back()) > ' '),
          "no control byte or space is left at either end");

  const int length = static_cast<int>(text.size());
  for (int position = 1; position <= length; ++position) tavelin::IsTrailByte(text, position);
  for (int position : {0, length + 1}) {
    bool thrown = false;
    try {
      tavelin::IsTrailByte(text, position);
    } catch (const std::out_of_range&) {
      thrown = true;
    }
    Require(thrown, "a position outside the text throws");
  }

  std::vector<std::string> fields;
  tavelin::SplitFields(text, separator, &fields);
  std::size_t total = 0;
  for (const std::string& field : fields) total += field.size();
  Require(total <= text.size(), "fields are made of the text's bytes");

  tavelin::FoldWidth(text);

  std::size_t found = tavelin::FindText(text, part, ignore_case);
  Require(tavelin::ContainsText(text, part, ignore_case) == (found != std::string_view::npos),
          "search and containment agree");
  if (found != std::string_view::npos) {
    Require(found + part.size() <= text.size(), "a match lies inside the text");
    if (!ignore_case) Require(text.substr(found, part.size()) == part, "a match is the part");
  }
  return 0;
}
