#include "calendar/tvpi_file.h"

#include <array>
#include <optional>

#include "platform/ascii_text.h"
#include "platform/text_lines.h"

namespace tavelin {
namespace {

constexpr std::string_view kContentType = "application/x-tv-program-info";

// The header keys the calendar reads, in the order of `Header::values`.
constexpr std::array<std::string_view, 8> kKeys = {
    "content-type", "station", "year", "month", "date", "start", "end", "program-title"};
enum Key { kType, kStation, kYear, kMonth, kDate, kStart, kEnd, kTitle };

struct Header {
  std::array<std::optional<std::string_view>, kKeys.size()> values;
  bool closed = false;  // an empty line ended it
};

Header ReadHeader(std::string_view content) {
  // A byte 26 ends a text file, as the host's own reader treats it.
  content = content.substr(0, content.find('\x1a'));
  Header header;
  for (const TextLine& line : SplitTextLines(content)) {
    const std::string_view text = content.substr(line.begin, line.content_end - line.begin);
    if (TrimControls(text).empty()) {
      // Only a line that ends proves the header complete: a file cut inside its last line
      // would otherwise pass with a shortened value.
      header.closed = line.end > line.content_end;
      break;
    }
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view key = TrimControls(text.substr(0, colon));
    for (std::size_t k = 0; k < kKeys.size(); ++k) {
      if (!header.values[k] && SameBytesIgnoringAsciiCase(key, kKeys[k])) {
        header.values[k] = TrimControls(text.substr(colon + 1));
      }
    }
  }
  return header;
}

// A whole number of at most `digits` digits; -1 for anything else.
int Number(std::string_view text, std::size_t digits) {
  if (text.empty() || text.size() > digits) return -1;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

// "hh:nn" (one or two hour digits) as a fraction of a day.
bool ReadTime(std::string_view text, TDateTime* time) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || text.size() - colon != 3) return false;
  const int hour = Number(text.substr(0, colon), 2);
  const int minute = Number(text.substr(colon + 1), 2);
  return hour >= 0 && minute >= 0 && TryEncodeTime(hour, minute, 0, 0, time);
}

// True when the charset parameter of a content type names Shift-JIS, or there is none.
bool ShiftJisOrUnnamed(std::string_view type) {
  const std::string lower = LowerAsciiBytes(std::string(type));
  const std::size_t at = lower.find("charset=");
  if (at == std::string::npos) return true;
  std::string_view name = std::string_view(lower).substr(at + 8);
  name = name.substr(0, name.find(';'));
  name = TrimControls(name);
  if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
    name = name.substr(1, name.size() - 2);
  }
  return name == "shift_jis" || name == "shift-jis" || name == "x-sjis" || name == "sjis" ||
         name == "cp932" || name == "windows-31j";
}

}  // namespace

bool ReadTvpiProgram(std::string_view content, TvpiProgram* program, std::string* why) {
  const Header header = ReadHeader(content);
  const auto& v = header.values;
  if (!v[kType]) {
    *why = content.empty() ? "empty file" : "no Content-type line: not an iEPG program file";
    return false;
  }
  const std::string_view type = *v[kType];
  if (!SameBytesIgnoringAsciiCase(type.substr(0, kContentType.size()), kContentType) ||
      (type.size() > kContentType.size() && type[kContentType.size()] != ';' &&
       type[kContentType.size()] != ' ')) {
    *why = "wrong content type \"" + std::string(type) + "\"";
    return false;
  }
  if (!ShiftJisOrUnnamed(type)) {
    *why = "character set other than Shift-JIS in \"" + std::string(type) + "\"";
    return false;
  }
  if (!header.closed) {
    *why = "cut short: the header does not end with an empty line";
    return false;
  }
  for (Key key : {kYear, kMonth, kDate, kStart, kEnd, kTitle}) {
    if (!v[key]) {
      *why = "no " + std::string(kKeys[key]) + " line";
      return false;
    }
  }
  const int year = Number(*v[kYear], 4);
  const int month = Number(*v[kMonth], 2);
  const int day = Number(*v[kDate], 2);
  TDateTime date = 0;
  if (year < 0 || month < 0 || day < 0 || !TryEncodeDate(year, month, day, &date)) {
    *why = "no such date " + std::string(*v[kYear]) + "-" + std::string(*v[kMonth]) + "-" +
           std::string(*v[kDate]);
    return false;
  }
  TDateTime start = 0;
  TDateTime end = 0;
  if (!ReadTime(*v[kStart], &start)) {
    *why = "bad start time \"" + std::string(*v[kStart]) + "\"";
    return false;
  }
  if (!ReadTime(*v[kEnd], &end)) {
    *why = "bad end time \"" + std::string(*v[kEnd]) + "\"";
    return false;
  }
  program->station.assign(v[kStation].value_or(std::string_view()));
  program->title.assign(*v[kTitle]);
  program->start = date + start;
  // The file keeps no end date: an end before the start is on the next day.
  program->end = date + end + (end < start ? 1 : 0);
  if (DecodeDate(program->end).year > 9999) {
    *why = "the end lies after the year 9999";
    return false;
  }
  return true;
}

}  // namespace tavelin
