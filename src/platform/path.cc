#include "platform/path.h"

#include "platform/codepage.h"
#include "platform/path_rules.h"

namespace tavelin {
namespace {

// Position just after the last delimiter (or drive colon) that stands as a character of its
// own, skipping the trail bytes of double-byte characters; 0 when there is none.
std::size_t FolderPartLength(const std::string& path) {
  std::size_t end = 0;
  std::size_t i = 0;
  while (i < path.size()) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsLeadByte(c) && i + 1 < path.size()) {
      i += 2;
      continue;
    }
    if (IsPathDelimiter(path[i]) || (path[i] == ':' && PathHasDriveColon())) end = i + 1;
    ++i;
  }
  return end;
}

// True when the last character of `path` is a single-byte delimiter.
bool EndsWithDelimiter(const std::string& path) {
  std::size_t i = 0;
  std::size_t last = std::string::npos;
  while (i < path.size()) {
    last = i;
    i += IsLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size() ? 2 : 1;
  }
  return last != std::string::npos && last == path.size() - 1 && IsPathDelimiter(path[last]);
}

}  // namespace

bool IsAbsolutePath(const std::string& path) {
  if (!path.empty() && IsPathDelimiter(path[0])) return true;
  return PathHasDriveColon() && path.size() >= 2 && path[1] == ':' &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

std::string IncludeTrailingDelimiter(const std::string& path) {
  return EndsWithDelimiter(path) ? path : path + PathDelimiter();
}

std::string ExtractFilePath(const std::string& path) {
  return path.substr(0, FolderPartLength(path));
}

std::string ExtractFileName(const std::string& path) { return path.substr(FolderPartLength(path)); }

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  const std::size_t name_start = FolderPartLength(path);
  std::size_t dot = std::string::npos;
  std::size_t i = name_start;
  while (i < path.size()) {
    if (path[i] == '.') dot = i;
    i += IsLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size() ? 2 : 1;
  }
  return (dot == std::string::npos ? path : path.substr(0, dot)) + ext;
}

}  // namespace tavelin
