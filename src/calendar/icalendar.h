// An iCalendar (RFC 5545) file of recording reservations: one VEVENT per program, times in
// the recorder's local time (Japanese standard time, TZID Asia/Tokyo with its VTIMEZONE),
// texts in UTF-8, escaped, folded at 75 octets, CR LF line ends.
#ifndef TAVELIN_CALENDAR_ICALENDAR_H_
#define TAVELIN_CALENDAR_ICALENDAR_H_

#include <string>
#include <string_view>
#include <vector>

#include "platform/date_time.h"

namespace tavelin {

inline constexpr char kCalendarTimeZone[] = "Asia/Tokyo";

struct CalendarEvent {
  std::string uid;
  std::string summary;   // UTF-8
  std::string location;  // UTF-8; no LOCATION line when empty
  TDateTime start = 0;   // recorder's local time
  TDateTime end = 0;     // no DTEND when not after the start
};

// `text` as an iCalendar TEXT value: backslash, semicolon and comma escaped, line breaks as
// "\n", every other control character (tab included) as a space.
std::string EscapeText(std::string_view text);

// One content line with its CR LF, folded so that no line exceeds 75 octets: each
// continuation starts with a space, and a UTF-8 character is never split.
std::string FoldLine(std::string_view line);

// "yyyymmddThhnnss".
std::string FormatLocalDateTime(TDateTime value);

// A UID that stays the same for the same program file of the same deck across runs.
std::string ProgramUid(std::string_view deck, std::string_view file_name);

// The whole calendar: `deck` (UTF-8) names it and is each event's category and description;
// `stamp_utc` is every DTSTAMP.
std::string FormatCalendar(std::string_view deck, const std::vector<CalendarEvent>& events,
                           TDateTime stamp_utc);

}  // namespace tavelin

#endif  // TAVELIN_CALENDAR_ICALENDAR_H_
