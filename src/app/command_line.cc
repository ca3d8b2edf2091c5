#include "app/command_line.h"

#include "app/settings.h"
#include "platform/path.h"

namespace tavelin {

RunMode DecideMode(const std::vector<std::string>& parameters) {
  if (parameters.empty() || TrimSpaces(parameters[0]).empty()) return RunMode::kNoParameter;
  if (parameters.size() == 1) return RunMode::kFetch;
  if (parameters.size() == 2) return RunMode::kSettings;
  std::string second = TrimSpaces(parameters[1]);
  for (char& c : second) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return second == "/c" ? RunMode::kSettings : RunMode::kFetch;
}

std::string OutputFolderOf(const std::string& first_parameter) {
  return IncludeTrailingDelimiter(first_parameter);
}

}  // namespace tavelin
