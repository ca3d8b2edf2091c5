// The reader of the table layout of the recorder's reservation list: every reservation is one
// table row that starts with a link to its detail page (the title), followed by cells for the
// channel, the date or repetition text, and the time.
#ifndef TAVELIN_PARSE_TABLE_PARSER_H_
#define TAVELIN_PARSE_TABLE_PARSER_H_

#include <string_view>

#include "parse/parse_context.h"

namespace tavelin {

// Walks the elements of `page` and hands every reservation found to the context's sink.
// Yields after every element and ends early on a stop request; the record being filled is
// then handed over only when its time cell has given both times.
void ParseTableLayout(std::string_view page, const ParseContext& context,
                      WorkingReservation& reservation);

}  // namespace tavelin

#endif  // TAVELIN_PARSE_TABLE_PARSER_H_
