#include "calendar/calendar_run.h"

#include <algorithm>

#include "calendar/icalendar.h"
#include "calendar/tvpi_file.h"
#include "platform/codepage.h"
#include "platform/path.h"
#include "platform/std_streams.h"

namespace tavelin {
namespace {

constexpr char kUsage[] =
    "usage: tavelin-calendar FOLDER [FILE]\n"
    "Writes the recording reservations of the .tvpi files in FOLDER as an iCalendar file to\n"
    "FILE (replaced in one step), or to standard output.";

// UTF-8 of Shift-JIS text; a character without a counterpart becomes U+FFFD, so one odd
// byte costs a character rather than the program.
std::string ToUtf8(std::string_view text) {
  std::string out;
  if (Cp932ToUtf8(text, &out)) return out;
  out.clear();
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length =
        IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    std::string piece;
    out += Cp932ToUtf8(text.substr(i, length), &piece) ? piece : "\xEF\xBF\xBD";
    i += length;
  }
  return out;
}

// The folder's last component: the deck name.
std::string DeckName(std::string folder) {
  while (folder.size() > 1 && IsPathDelimiter(folder.back())) folder.pop_back();
  return ExtractFileName(folder);
}

void Error(const std::string& text) { WriteStandardErrorLine("tavelin-calendar: " + text); }

}  // namespace

bool BuildFolderCalendar(Env& env, const std::string& folder, FolderCalendar* calendar,
                         std::string* error) {
  std::vector<std::string> names;
  if (!env.FolderExists(folder)) {
    *error = "no folder " + folder;
    return false;
  }
  if (const Status listed = env.ListFiles(folder, ".tvpi", &names); !listed.ok()) {
    *error = "cannot read the folder " + folder;
    if (!listed.message().empty()) *error += " (" + listed.message() + ")";
    return false;
  }
  std::sort(names.begin(), names.end());
  const std::string deck = DeckName(folder);
  const std::string prefix = IncludeTrailingDelimiter(folder);
  std::vector<CalendarEvent> events;
  events.reserve(names.size());
  calendar->skipped.clear();
  for (const std::string& name : names) {
    std::string content;
    if (const Status read = env.ReadFile(prefix + name, &content); !read.ok()) {
      const std::string& reason = read.message();
      calendar->skipped.push_back(name + ": cannot be read" +
                                  (reason.empty() ? "" : " (" + reason + ")"));
      continue;
    }
    TvpiProgram program;
    std::string why;
    if (!ReadTvpiProgram(content, &program, &why)) {
      calendar->skipped.push_back(name + ": " + why);
      continue;
    }
    CalendarEvent& event = events.emplace_back();
    event.uid = ProgramUid(deck, name);
    event.summary = ToUtf8(program.title);
    event.location = ToUtf8(program.station);
    event.start = program.start;
    event.end = program.end;
  }
  // Name order is the start order for the files Tavelin writes; other names sort by time.
  std::stable_sort(
      events.begin(), events.end(),
      [](const CalendarEvent& a, const CalendarEvent& b) { return a.start < b.start; });
  calendar->events = static_cast<int>(events.size());
  calendar->text = FormatCalendar(ToUtf8(deck), events, env.NowUtc());
  return true;
}

int RunCalendar(Env& env, const std::vector<std::string>& parameters) {
  if (parameters.empty() || parameters.size() > 2 || parameters[0].empty() ||
      (parameters.size() == 2 && parameters[1].empty())) {
    WriteStandardErrorLine(kUsage);
    return kCalendarNotWritten;
  }
  const std::string& folder = parameters[0];
  const std::string file = parameters.size() == 2 ? parameters[1] : std::string();
  // The folder's program files belong to the host: never write over one of them.
  if (EndsWithIgnoringAsciiCase(file, ".tvpi")) {
    Error("refusing to write the calendar to a .tvpi file: " + file);
    return kCalendarNotWritten;
  }
  FolderCalendar calendar;
  std::string error;
  if (!BuildFolderCalendar(env, folder, &calendar, &error)) {
    Error(error);
    return kCalendarNotWritten;
  }
  for (const std::string& line : calendar.skipped) Error("skipped " + line);
  if (file.empty()) {
    if (!WriteStandardOutput(calendar.text)) {
      Error("standard output cannot be written");
      return kCalendarNotWritten;
    }
  } else if (const Status replaced = env.ReplaceFile(file, calendar.text); !replaced.ok()) {
    const std::string& reason = replaced.message();
    Error("cannot write " + file + (reason.empty() ? "" : " (" + reason + ")"));
    return kCalendarNotWritten;
  }
  return calendar.skipped.empty() ? kCalendarWritten : kCalendarWrittenWithSkips;
}

}  // namespace tavelin
