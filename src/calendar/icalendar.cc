#include "calendar/icalendar.h"

#include <cstdint>
#include <cstdio>

namespace tavelin {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kMaxLineOctets = 75;

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::string FormatUtcDateTime(TDateTime value) { return FormatLocalDateTime(value) + "Z"; }

// Japan has kept standard time all year since 1951, so one STANDARD rule describes it.
constexpr std::string_view kTimeZone =
    "BEGIN:VTIMEZONE\r\n"
    "TZID:Asia/Tokyo\r\n"
    "BEGIN:STANDARD\r\n"
    "DTSTART:19700101T000000\r\n"
    "TZOFFSETFROM:+0900\r\n"
    "TZOFFSETTO:+0900\r\n"
    "TZNAME:JST\r\n"
    "END:STANDARD\r\n"
    "END:VTIMEZONE\r\n";

}  // namespace

std::string EscapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    switch (c) {
      case '\\':
      case ';':
      case ',':
        out += '\\';
        out += c;
        break;
      case '\r':
        if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        [[fallthrough]];
      case '\n':
        out += "\\n";
        break;
      default:
        out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? ' ' : c;
    }
  }
  return out;
}

std::string FoldLine(std::string_view line) {
  std::string out;
  out.reserve(line.size() + line.size() / 64 * 3 + 2);
  std::size_t limit = kMaxLineOctets;  // the continuations' leading space takes one octet
  while (line.size() > limit) {
    std::size_t cut = limit;
    while (cut > 0 && IsUtf8Continuation(line[cut])) --cut;
    if (cut == 0) cut = limit;  // no character starts here: not UTF-8, cut anywhere
    out.append(line.substr(0, cut));
    out.append(kLineEnd);
    out += ' ';
    line.remove_prefix(cut);
    limit = kMaxLineOctets - 1;
  }
  out.append(line);
  out.append(kLineEnd);
  return out;
}

std::string FormatLocalDateTime(TDateTime value) {
  const DateParts d = DecodeDate(value);
  const TimeParts t = DecodeTime(value);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d%02d%02dT%02d%02d%02d", d.year, d.month, d.day, t.hour,
                t.minute, t.second);
  return buffer;
}

std::string ProgramUid(std::string_view deck, std::string_view file_name) {
  // FNV-1a over deck and file name: the file name holds the start and the channel, and no
  // two programs of one deck share it.
  uint64_t hash = 14695981039346656037ull;
  auto mix = [&hash](std::string_view bytes) {
    for (unsigned char c : bytes) {
      hash ^= c;
      hash *= 1099511628211ull;
    }
  };
  mix(deck);
  mix(std::string_view("/", 1));
  mix(file_name);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(hash));
  return std::string(buffer) + "@tavelin";
}

std::string FormatCalendar(std::string_view deck, const std::vector<CalendarEvent>& events,
                           TDateTime stamp_utc) {
  const std::string escaped_deck = EscapeText(deck);
  const std::string stamp = "DTSTAMP:" + FormatUtcDateTime(stamp_utc);
  const std::string tz = std::string(";TZID=") + kCalendarTimeZone + ":";
  const std::string description = FoldLine("DESCRIPTION:Recording reservation of " + escaped_deck);
  const std::string category = FoldLine("CATEGORIES:" + escaped_deck);

  std::string out;
  out.reserve(events.size() * 400 + 512);
  out += "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Tavelin//tavelin-calendar//EN\r\n";
  out += "CALSCALE:GREGORIAN\r\n";
  out += FoldLine("X-WR-CALNAME:" + escaped_deck);
  out += std::string("X-WR-TIMEZONE:") + kCalendarTimeZone + "\r\n";
  out += kTimeZone;
  for (const CalendarEvent& event : events) {
    out += "BEGIN:VEVENT\r\n";
    out += FoldLine("UID:" + EscapeText(event.uid));
    out += stamp;
    out += kLineEnd;
    out += "DTSTART" + tz + FormatLocalDateTime(event.start) + "\r\n";
    // Without DTEND an event of a date-time start lasts no time at all.
    if (event.end > event.start) out += "DTEND" + tz + FormatLocalDateTime(event.end) + "\r\n";
    out += FoldLine("SUMMARY:" + EscapeText(event.summary));
    if (!event.location.empty()) out += FoldLine("LOCATION:" + EscapeText(event.location));
    out += category;
    out += description;
    out += "END:VEVENT\r\n";
  }
  out += "END:VCALENDAR\r\n";
  return out;
}

}  // namespace tavelin
