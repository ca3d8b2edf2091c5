// The host passes paths such as "C:\Out put\RD-X5\" (quoted, with a trailing backslash).
// The C runtime's rules and CommandLineToArgvW read \" as an escaped quote and merge that
// with the next parameter, so the command line is split here by the rules the host's
// programs use: blanks outside double quotes separate parameters, quotes are removed
// wherever they stand, and a backslash is an ordinary character.
#ifndef TAVELIN_PLATFORM_WIN32_COMMAND_LINE_SPLIT_H_
#define TAVELIN_PLATFORM_WIN32_COMMAND_LINE_SPLIT_H_

#include <string>
#include <string_view>
#include <vector>

namespace tavelin::win32 {

// Every parameter of `command_line`, the program name first. A blank is any character up
// to and including the space. A quoted empty text ("") is an empty parameter.
std::vector<std::wstring> SplitCommandLine(std::wstring_view command_line);

}  // namespace tavelin::win32

#endif  // TAVELIN_PLATFORM_WIN32_COMMAND_LINE_SPLIT_H_
