// The file helpers of the POSIX Env that other parts of it share (the registry file, the lock,
// the machine id): the UTF-8 form of a path and operations on such system paths. The Env's
// own file methods are defined in posix_files.cc beside these.
#ifndef TAVELIN_PLATFORM_POSIX_POSIX_FILES_H_
#define TAVELIN_PLATFORM_POSIX_POSIX_FILES_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"

namespace tavelin::posix {

// The UTF-8 form of a Shift-JIS path; false when it does not convert, is empty or holds a
// NUL byte (which the system would silently cut the path at).
bool ToSystemPath(const std::string& path, std::string* system_path);

// Creates `system_path` with access for this user only when missing; true when it is a
// folder (not a link) of this user that nobody else can use.
bool PrivateFolder(const std::string& system_path);

// A failed file operation: kFileError with the system's text for `error` (an errno value)
// and the number, "Permission denied (errno 13)"; no message when `error` is 0.
Status FileFailure(int error);

// Reads a whole regular file without taking a lock; false when it cannot be read.
bool ReadSystemFile(const std::string& system_path, std::string* contents);
// Creates `system_path` and its missing parents; true when the folder exists afterwards.
bool MakeSystemFolders(const std::string& system_path);
// Replaces the file's content in one step: writes a temporary file beside it, flushes it
// to disk and renames it over the file, so readers see the old or the new content only.
// A symbolic link is followed, so the file it names is replaced and the link stays.
// `create_folders` creates the missing folders of the path first.
bool ReplaceFileAtomically(const std::string& system_path, std::string_view bytes,
                           bool create_folders);
// True when something exists at the path (a broken link counts as nothing).
bool SystemPathExists(const std::string& system_path);

}  // namespace tavelin::posix

#endif  // TAVELIN_PLATFORM_POSIX_POSIX_FILES_H_
