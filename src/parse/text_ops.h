// Text operations on Shift-JIS strings shared by the page parsers and the channel list
// retrieval: blank trimming, the date and time readers, the field splitter and width folding.
// Positions that the recorder's texts count from 1 are 0-based here unless said otherwise.
#ifndef TAVELIN_PARSE_TEXT_OPS_H_
#define TAVELIN_PARSE_TEXT_OPS_H_

#include <string>
#include <string_view>
#include <vector>

#include "platform/date_time.h"

namespace tavelin {

// 1970-01-01: what the date reader gives for text that holds no date.
inline constexpr TDateTime kNoDate = 25569.0;

// Removes control bytes and spaces at both ends, and full-width spaces (0x81 0x40) too,
// never taking the trail byte of a double-byte character for a space.
std::string TrimBlanks(std::string_view text);

// True when the byte at `position` (counted from 1) is the second byte of a double-byte
// character. Throws std::out_of_range("Illegal Index") for a position outside the text.
bool IsTrailByte(std::string_view text, int position);

// The one number reader of both page layouts: a decimal integer after any leading spaces,
// with an optional sign and nothing after the digits. `fallback` for anything else, an
// out-of-range number included.
int ReadInteger(std::string_view text, int fallback = 0);

// Reads the recorder's date texts (12/25, 2006/12/25, 12/25/2006, 2006-12-25, 2006-12,
// YYMMDD, YYYYMMDD, ...); month/day texts take the year of `today`. kNoDate when the
// text gives no valid date. Never throws.
TDateTime ReadDate(std::string_view text, TDateTime today);

// Reads hh:nn[:ss], hhnn or hhnnss as a fraction of a day; 24 to 28 o'clock give the next
// day (1.0 added). 0 when the text gives no valid time. Never throws.
TDateTime ReadTime(std::string_view text);

// The calendar year of a date.
int YearOf(TDateTime date);

// Clears `fields` and fills it with the fields of `text` separated by `separator`, each
// trimmed of control bytes and spaces; quoted fields follow the comma quoting rules.
void SplitFields(std::string_view text, char separator, std::vector<std::string>* fields);

// Full-width ASCII to half-width, half-width katakana (with their sound marks) to
// full-width.
std::string FoldWidth(std::string_view text);

}  // namespace tavelin

#endif  // TAVELIN_PARSE_TEXT_OPS_H_
