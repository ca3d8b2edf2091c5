// File-name helpers that know this platform's path delimiter. Paths are Shift-JIS text, so
// every search for a delimiter skips the trail bytes of double-byte characters.
#ifndef TAVELIN_PLATFORM_PATH_H_
#define TAVELIN_PLATFORM_PATH_H_

#include <string>

namespace tavelin {

// '/' on POSIX; '\' on Windows.
char PathDelimiter();
// True for the delimiter of this platform (and, on Windows, also the drive colon's sibling
// '/' that the system accepts).
bool IsPathDelimiter(char c);
// True when the path names a place of its own: it starts with a delimiter (or, on Windows,
// holds a drive colon).
bool IsAbsolutePath(const std::string& path);
// `path` with one delimiter appended unless it already ends in one.
std::string IncludeTrailingDelimiter(const std::string& path);
// Everything up to and including the last delimiter (or drive colon); empty when none.
std::string ExtractFilePath(const std::string& path);
// Everything after the last delimiter (or drive colon).
std::string ExtractFileName(const std::string& path);
// `path` with its extension (from the last '.' of the file name on) replaced by `ext`,
// which includes its dot.
std::string ChangeFileExt(const std::string& path, const std::string& ext);

}  // namespace tavelin

#endif  // TAVELIN_PLATFORM_PATH_H_
