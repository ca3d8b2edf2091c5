// The reader of the script layout of the recorder's reservation list: one script line per
// reservation assigns its fields to the arrays c1[...] to c8[...], pieces separated by ";".
#ifndef TAVELIN_PARSE_SCRIPT_PARSER_H_
#define TAVELIN_PARSE_SCRIPT_PARSER_H_

#include <string>
#include <string_view>
#include <vector>

#include "parse/parse_context.h"

namespace tavelin {

// Reads `page` line by line and hands the reservation of every "c1[" line to the context's
// sink. Yields after every line and ends before the next line on a stop request.
void ParseScriptLayout(std::string_view page, const ParseContext& context,
                       WorkingReservation& reservation);

// The channel key of a "c5[" value: "CH" texts lose every "CH"; BS, CS, SP, C- and L texts
// stay; any other text becomes "D" + its part before the first "-".
std::string NormalizeScriptChannel(std::string_view channel);

// The tuner mark of a "c4[" value: 1, 3, 4, 6, 7 give R1; 2, 5, 8 give R2; anything else none.
int TunerFromScriptValue(std::string_view value);

// Reads text lines from page bytes: a line ends at LF; CR bytes are dropped (the one before
// an LF and a lone one alike); a byte 26 ends the text.
class TextLineReader {
 public:
  explicit TextLineReader(std::string_view bytes) : bytes_(bytes) {}
  // The next line; false at the end of the text.
  bool Next(std::string* line);

 private:
  std::string_view bytes_;
  std::size_t position_ = 0;
  bool ended_ = false;
};

}  // namespace tavelin

#endif  // TAVELIN_PARSE_SCRIPT_PARSER_H_
