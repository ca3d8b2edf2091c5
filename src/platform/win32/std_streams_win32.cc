#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "platform/std_streams.h"

namespace tavelin {

bool WriteStandardOutput(std::string_view bytes) {
  // The C runtime's text mode would turn every CR LF into CR CR LF.
  static const bool binary = _setmode(_fileno(stdout), _O_BINARY) != -1;
  static_cast<void>(binary);
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
  return std::fflush(stdout) == 0 && written;
}

void WriteStandardErrorLine(std::string_view text) {
  std::string line(text);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace tavelin
