// tavelin-calendar FOLDER [FILE]: the .tvpi files of a deck's output folder as one
// iCalendar file, for calendar programs on Linux.
#include <memory>
#include <string>
#include <vector>

#include "calendar/calendar_run.h"
#include "platform/codepage.h"
#include "platform/posix/posix_env.h"
#include "platform/std_streams.h"

int main(int argc, char** argv) {
  std::unique_ptr<tavelin::Env> env = tavelin::NewPosixEnv();
  std::vector<std::string> parameters;
  for (int i = 1; i < argc; ++i) {
    std::string converted;
    if (!tavelin::Utf8ToCp932(argv[i], &converted)) {
      tavelin::WriteStandardErrorLine(
          "tavelin-calendar: a parameter has no Shift-JIS form, which the host's folders "
          "always have");
      return tavelin::kCalendarNotWritten;
    }
    parameters.push_back(converted);
  }
  return tavelin::RunCalendar(*env, parameters);
}
