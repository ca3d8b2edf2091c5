// What the two reservation-page parsers share: the context they run in and the small rules
// both apply (the repetition texts, the date cell, the anchoring of a repetition to its
// first day). The record they fill is WorkingReservation (parse/reservation.h).
#ifndef TAVELIN_PARSE_PARSE_CONTEXT_H_
#define TAVELIN_PARSE_PARSE_CONTEXT_H_

#include <functional>
#include <string>
#include <string_view>

#include "parse/reservation.h"
#include "platform/date_time.h"
#include "platform/run_control.h"

namespace tavelin {

// What a parser is given besides the page's bytes. It reads no file and writes none: every
// reservation goes to `sink`, every channel key to `stations`.
struct ParseContext {
  // Stop request, a yield after every element or line, and the error line of a time cell
  // that cannot be read.
  RunControl& run;
  // The local date and time, asked where a date is placed: a date without a year, the first
  // day of a repetition.
  std::function<TDateTime()> now;
  StationLookup& stations;
  ReservationSink& sink;
};

// The recurrence code of a repetition text ("毎日", "毎月曜日", "毎月～金", ...), compared
// byte for byte; kNoRecurrence for any other text.
int RecurrenceFromText(std::string_view text);

// Reads the date of a date cell: the part before the first "(" (the empty text when there
// is none) through the date reader; kNoDate when it holds no date. A date shown without a
// year (month/day) takes last, this or next year, whichever puts it nearest to `today`
// (this year on a tie), so a list read around the new year keeps its dates in order.
TDateTime ReadCellDate(std::string_view text, TDateTime today);

// True for a recurring start that holds a time of day but no date: below 1.0, or from 1.0
// to 2.0 for a late-night time (24:00-28:59 read as the next day).
bool IsUnanchoredRecurrence(TDateTime start, int recurrence);

// Gives a recurring reservation whose start holds only a time of day its first date: today
// at that time, tomorrow when that moment has passed, then the first day the recurrence
// falls on. A late-night time (24:00-28:59) belongs to the broadcast day the recurrence
// names and runs on the calendar day after it, so "every Wednesday 25:10" gives Thursdays at
// 01:10. Any other start comes back unchanged.
TDateTime AnchorStart(TDateTime start, int recurrence, TDateTime now);

// Character-aware substring search: a match begins only on a character boundary, so the
// trail byte of a double-byte character never starts one. `ignore_case` folds ASCII letters.
bool ContainsText(std::string_view text, std::string_view part, bool ignore_case = false);

// Character-aware position of the first `part` (0-based); npos when absent.
std::size_t FindText(std::string_view text, std::string_view part, bool ignore_case = false);

}  // namespace tavelin

#endif  // TAVELIN_PARSE_PARSE_CONTEXT_H_
