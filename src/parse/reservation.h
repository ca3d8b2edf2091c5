// What the page parsers produce and hand on: the program record, its recurrence code and
// tuner mark, the weekday rule of a recurrence, and the two small interfaces a parser talks
// to instead of the rest of the program: where reservations go (ReservationSink) and how a
// channel key becomes the host's station name (StationLookup).
#ifndef TAVELIN_PARSE_RESERVATION_H_
#define TAVELIN_PARSE_RESERVATION_H_

#include <cstdint>
#include <optional>
#include <string>

#include "platform/date_time.h"

namespace tavelin {

// One program on its way from a page parser to an iEPG (.tvpi) file.
struct TvProgramInfo {
  std::string Station;      // the host's station name
  std::string ChannelText;  // the channel as the recorder's page shows it
  TDateTime StartTime = 0;
  TDateTime EndTime = 0;
  std::string Title;
  std::string Description;  // written as the body; never filled by this program
  int32_t Genre = 0;
};

// Resets every field: empty texts, times 0 (1899-12-30 00:00), genre 0.
void ClearProgramInfo(TvProgramInfo& info);

// Recurrence codes: -1 none; 0..6 weekly Sunday..Saturday; 7 daily; 8 Monday-Thursday;
// 9 Monday-Friday; 10 Monday-Saturday.
inline constexpr int kNoRecurrence = -1;
inline constexpr int kDaily = 7;
inline constexpr int kMondayToThursday = 8;
inline constexpr int kMondayToFriday = 9;
inline constexpr int kMondayToSaturday = 10;

// Tuner marks: which of the recorder's two tuners records the reservation.
inline constexpr int kNoTuner = 0;
inline constexpr int kTunerR1 = 1;
inline constexpr int kTunerR2 = 2;

// The first date-time on or after `from`, in whole-day steps, whose weekday matches
// `recurrence`; the time of day is kept. With `late_night_days` the weekday is that of the
// day so many days before the result (the broadcast day of a late-night program). Codes
// without a weekday rule return `from`.
TDateTime NextOccurrence(int recurrence, TDateTime from, int late_night_days = 0);

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

// Where a parser hands every reservation it has read, one at a time, in page order. The
// parser clears its record afterwards, so a sink keeps a copy of what it needs. A sink may
// throw; the parser then ends and the error passes on.
class ReservationSink {
 public:
  virtual ~ReservationSink() = default;
  virtual void Take(const WorkingReservation& reservation) = 0;
};

// The host's station name for a channel key of the recorder's page; nullopt when the
// channel tables do not know the key (the parser then shows the key itself).
class StationLookup {
 public:
  virtual ~StationLookup() = default;
  virtual std::optional<std::string> StationFor(const std::string& key) = 0;
};

}  // namespace tavelin

#endif  // TAVELIN_PARSE_RESERVATION_H_
