// tavelin-calendar: the calendar of a deck's output folder, from every .tvpi file in it.
#ifndef TAVELIN_CALENDAR_CALENDAR_RUN_H_
#define TAVELIN_CALENDAR_CALENDAR_RUN_H_

#include <string>
#include <vector>

#include "platform/env.h"

namespace tavelin {

// Exit codes of tavelin-calendar.
inline constexpr int kCalendarWritten = 0;
inline constexpr int kCalendarWrittenWithSkips = 1;  // some files were no program files
inline constexpr int kCalendarNotWritten = 2;        // wrong use, folder unreadable, write failed

struct FolderCalendar {
  std::string text;  // the iCalendar file, UTF-8
  int events = 0;
  // One line per file left out: its name (Shift-JIS), ": " and why.
  std::vector<std::string> skipped;
};

// Reads every *.tvpi file of `folder` (Shift-JIS path) in name order and builds the calendar
// of the deck the folder's last component names. False, with `error`, when the folder cannot
// be listed; a file that cannot be read or is no program file is only left out.
bool BuildFolderCalendar(Env& env, const std::string& folder, FolderCalendar* calendar,
                         std::string* error);

// The whole program: `parameters` (Shift-JIS) are FOLDER and optionally FILE. Writes the
// calendar to FILE in one step (a temporary file renamed over it) or to standard output,
// one line per skipped file and any error to standard error. Returns the exit code.
int RunCalendar(Env& env, const std::vector<std::string>& parameters);

}  // namespace tavelin

#endif  // TAVELIN_CALENDAR_CALENDAR_RUN_H_
