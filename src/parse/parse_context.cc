#include "parse/parse_context.h"

#include <array>

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
}

void Emit(const ParseContext& context, WorkingReservation& reservation) {
  EmitReservation(context.output, reservation.info, reservation.recurrence, reservation.tuner);
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
  return ReadDate(date_part, today);
}

TDateTime AnchorStart(TDateTime start, int recurrence, TDateTime now) {
  if (!(start < 1.0) || recurrence < 0 || recurrence > kMondayToSaturday) return start;
  start += DateOf(now);
  if (now > start) start += 1;
  return NextOccurrence(recurrence, start);
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
