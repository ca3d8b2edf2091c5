#include "app/command_line.h"

#include "app/settings.h"
#include "platform/ascii_text.h"
#include "platform/path.h"

namespace tavelin {

RunMode DecideMode(const std::vector<std::string>& parameters) {
  if (parameters.empty() || TrimControls(parameters[0]).empty()) return RunMode::kNoParameter;
  if (parameters.size() == 1) return RunMode::kFetch;
  if (parameters.size() == 2) return RunMode::kSettings;
  const std::string second = LowerAsciiBytes(std::string(TrimControls(parameters[1])));
  return second == "/c" ? RunMode::kSettings : RunMode::kFetch;
}

std::string OutputFolderOf(const std::string& first_parameter) {
  return IncludeTrailingDelimiter(first_parameter);
}

}  // namespace tavelin
