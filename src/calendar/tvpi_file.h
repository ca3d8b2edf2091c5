// Reading one iEPG program file (.tvpi) back: the header lines "key: value" up to the first
// empty line, of which the calendar needs the station, the title, the date and the times.
#ifndef TAVELIN_CALENDAR_TVPI_FILE_H_
#define TAVELIN_CALENDAR_TVPI_FILE_H_

#include <string>
#include <string_view>

#include "platform/date_time.h"

namespace tavelin {

struct TvpiProgram {
  std::string station;  // Shift-JIS, trimmed; empty when the file names none
  std::string title;    // Shift-JIS, trimmed
  TDateTime start = 0;
  TDateTime end = 0;  // after the start; an end time before the start time is on the next day
};

// Reads the header of a .tvpi file. False, with `why` saying in one phrase what is wrong
// (Shift-JIS, as it may quote the file), when the content is no complete program file: no
// iEPG content type or another character set, a header cut short before its closing empty
// line, a date or time missing or out of range, a day the calendar does not have.
bool ReadTvpiProgram(std::string_view content, TvpiProgram* program, std::string* why);

}  // namespace tavelin

#endif  // TAVELIN_CALENDAR_TVPI_FILE_H_
