// What the two reservation-page parsers share: the context they run in, the working
// reservation they fill and hand to the output step, and the small rules both apply (the
// repetition texts, the date cell, the anchoring of a repetition to its first day).
#ifndef TAVELIN_PARSE_PARSE_CONTEXT_H_
#define TAVELIN_PARSE_PARSE_CONTEXT_H_

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "output/output_step.h"
#include "output/program_info.h"
#include "platform/date_time.h"
#include "platform/env.h"
#include "platform/run_control.h"

namespace tavelin {

// The host's station name for a channel key of the recorder's page; empty when the channel
// tables do not know the key.
using StationLookup = std::function<std::optional<std::string>(const std::string& key)>;

struct ParseContext {
  Env& env;
  // The saved reservation list page.
  std::string page_file;
  // Stop, yield (also for the minute waits) and the error log.
  RunControl& run;
  StationLookup lookup_station;
  const OutputContext& output;
  // When set, counts every reservation a parser read and handed on with a title or a
  // channel (kept or dropped by the output step alike).
  int* reservations_read = nullptr;
};

// The record being filled, with its recurrence code and tuner mark. Shared by both parsers
// of one parse step.
struct WorkingReservation {
  TvProgramInfo info;
  int recurrence = kNoRecurrence;
  int tuner = kNoTuner;
  // 1 when a recurring start was read at 24:00-28:59: the program runs the calendar day
  // after the broadcast day the recurrence names.
  int late_night_days = 0;

  // Back to an empty record, no recurrence, no tuner, no late-night day.
  void Reset();
  // Anchors a recurring start that holds only a time of day (AnchorStart) and remembers
  // whether it was a late-night time. Any other start is left as it is.
  void AnchorRecurrence(TDateTime now);
};

// Hands the reservation to the output step.
void Emit(const ParseContext& context, WorkingReservation& reservation);

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
