#include "platform/win32/command_line_split.h"

namespace tavelin::win32 {

std::vector<std::wstring> SplitCommandLine(std::wstring_view command_line) {
  std::vector<std::wstring> parameters;
  std::size_t i = 0;
  for (;;) {
    while (i < command_line.size() && command_line[i] <= L' ') ++i;
    if (i >= command_line.size()) break;
    std::wstring parameter;
    bool quoted = false;
    for (; i < command_line.size(); ++i) {
      const wchar_t c = command_line[i];
      if (c == L'"') {
        quoted = !quoted;
      } else if (c <= L' ' && !quoted) {
        break;
      } else {
        parameter.push_back(c);
      }
    }
    parameters.push_back(std::move(parameter));
  }
  return parameters;
}

}  // namespace tavelin::win32
