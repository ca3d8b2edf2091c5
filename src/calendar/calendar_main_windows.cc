// tavelin-calendar.exe FOLDER [FILE]: the .tvpi files of a deck's output folder as one
// iCalendar file. A console program; parameters are split by the host's rules.
#include <memory>

#include "calendar/calendar_run.h"
#include "platform/win32/win32_env.h"

int main() {
  std::unique_ptr<tavelin::Env> env = tavelin::NewWin32Env();
  return tavelin::RunCalendar(*env, tavelin::Win32ProcessParameters());
}
