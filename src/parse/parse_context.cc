#include "parse/parse_context.h"

#include <array>
#include <cmath>

#include "parse/text_ops.h"
#include "platform/ascii_text.h"
#include "platform/codepage.h"

namespace tavelin {
namespace {

bool MatchesAt(std::string_view text, std::size_t at, std::string_view part, bool ignore_case) {
  if (text.size() - at < part.size()) return false;
  const std::string_view here = text.substr(at, part.size());
  return ignore_case ? SameBytesIgnoringAsciiCase(here, part) : here == part;
}

}  // namespace

void WorkingReservation::Reset() {
  ClearProgramInfo(info);
  recurrence = kNoRecurrence;
  tuner = kNoTuner;
  late_night_days = 0;
}

void WorkingReservation::AnchorRecurrence(TDateTime now) {
  if (!IsUnanchoredRecurrence(info.StartTime, recurrence)) return;
  late_night_days = info.StartTime >= 1.0 ? 1 : 0;
  info.StartTime = AnchorStart(info.StartTime, recurrence, now);
}

int RecurrenceFromText(std::string_view text) {
  // Index = recurrence code.
  static const std::array<std::string_view, 11> kTexts = {
      "毎日曜日", "毎月曜日", "毎火曜日", "毎水曜日", "毎木曜日", "毎金曜日",
      "毎土曜日", "毎日",     "毎月～木", "毎月～金", "毎月～土"};
  for (std::size_t code = 0; code < kTexts.size(); ++code) {
    if (text == kTexts[code]) return static_cast<int>(code);
  }
  return kNoRecurrence;
}

TDateTime ReadCellDate(std::string_view text, TDateTime today) {
  const std::size_t paren = text.find('(');
  const std::string_view date_part =
      paren == std::string_view::npos ? std::string_view() : text.substr(0, paren);
  // The date reader puts a month/day text into the year of the day it is given; a text
  // with a year reads the same whichever year that is.
  const int year = YearOf(today);
  TDateTime nearest = kNoDate;
  for (int offset : {0, -1, 1}) {
    TDateTime in_year = 0;
    if (!TryEncodeDate(year + offset, 1, 1, &in_year)) continue;
    const TDateTime date = ReadDate(date_part, in_year);
    if (date == kNoDate) continue;  // 29 February of a year without one
    if (nearest == kNoDate || std::fabs(date - today) < std::fabs(nearest - today)) {
      nearest = date;
    }
  }
  return nearest;
}

bool IsUnanchoredRecurrence(TDateTime start, int recurrence) {
  return start < 2.0 && recurrence >= 0 && recurrence <= kMondayToSaturday;
}

TDateTime AnchorStart(TDateTime start, int recurrence, TDateTime now) {
  if (!IsUnanchoredRecurrence(start, recurrence)) return start;
  const int late_night_days = start >= 1.0 ? 1 : 0;
  start += DateOf(now) - late_night_days;
  if (now > start) start += 1;
  return NextOccurrence(recurrence, start, late_night_days);
}

std::size_t FindText(std::string_view text, std::string_view part, bool ignore_case) {
  if (part.empty()) return 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (MatchesAt(text, i, part, ignore_case)) return i;
    i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  }
  return std::string_view::npos;
}

bool ContainsText(std::string_view text, std::string_view part, bool ignore_case) {
  return FindText(text, part, ignore_case) != std::string_view::npos;
}

}  // namespace tavelin
