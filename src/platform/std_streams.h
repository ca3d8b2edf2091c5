// The process's standard output and standard error, for the command-line programs.
#ifndef TAVELIN_PLATFORM_STD_STREAMS_H_
#define TAVELIN_PLATFORM_STD_STREAMS_H_

#include <string_view>

namespace tavelin {

// Writes `bytes` to standard output exactly as they are (no line-end translation) and
// flushes; false when not every byte could be written.
bool WriteStandardOutput(std::string_view bytes);

// Writes one line of Shift-JIS text to standard error in the system's own form (UTF-8 on
// POSIX; on Windows the console's code page 932 as it is). A text that does not convert is
// written byte for byte.
void WriteStandardErrorLine(std::string_view text);

}  // namespace tavelin

#endif  // TAVELIN_PLATFORM_STD_STREAMS_H_
