#include <cstdio>
#include <string>

#include "platform/codepage.h"
#include "platform/std_streams.h"

namespace tavelin {

bool WriteStandardOutput(std::string_view bytes) {
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
  return std::fflush(stdout) == 0 && written;
}

void WriteStandardErrorLine(std::string_view text) {
  std::string line;
  if (!Cp932ToUtf8(text, &line)) line.assign(text);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace tavelin
