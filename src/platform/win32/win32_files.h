// What the Win32 Env's file operations (defined in win32_files.cc, declared with the class
// in win32_env_impl.h) share with the tests and the temp folder's choice: the retries and
// their seam, the failure status, the root of a path and the creation of folders.
//
// Sharing: a writer opens with FILE_SHARE_READ only, so readers may read meanwhile and a
// second writer is refused; a reader shares reading only, so it is refused while a writer
// holds the file. A refused truncating open leaves the file as it was.
//
// Files held open by other programs: the host reading a .tvpi file, a virus scanner or a
// synchronising client opening a file just written. A create, delete, move, link or copy that
// the system refuses with a sharing violation, access denied or a pending delete is tried
// again with growing sleeps for kBusyRetryMs, then fails with the system's error.
#ifndef TAVELIN_PLATFORM_WIN32_WIN32_FILES_H_
#define TAVELIN_PLATFORM_WIN32_WIN32_FILES_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace tavelin::win32 {

inline constexpr int kBusyRetryMs = 3000;
inline constexpr int kBusyFirstSleepMs = 1;
inline constexpr int kBusyMaxSleepMs = 64;

// The system calls that create, delete, move, link or copy files.
enum class FileCall { kCreate, kDelete, kMove, kHardLink, kCopy };

// The seam below those calls. Empty members mean the system's own behaviour.
struct FileCallSeam {
  // Asked before each call with the call and its (first) path; a nonzero system error code
  // makes the call fail with it without reaching the system.
  std::function<unsigned long(FileCall call, const std::wstring& path)> fault;
  // The clock and the sleep of the retries (GetTickCount64 and Sleep).
  std::function<uint64_t()> now_ms;
  std::function<void(int ms)> sleep_ms;
};
// Replaces the seam for the whole process; tests script failures and time with it.
void SetFileCallSeam(FileCallSeam seam);

// A failed file operation: kFileError with the system's text for `code` and the code,
// "... (error 32)"; no message when `code` is 0.
Status FileFailure(unsigned long code);

// Length of the part of `path` that names a root and is never created: "C:\" (or "C:"),
// "\\server\share\", or a leading "\".
std::size_t RootLength(std::wstring_view path);
// Creates the folder and its missing parents; true when the folder exists afterwards.
bool MakeSystemFolders(const std::wstring& system_path);

}  // namespace tavelin::win32

#endif  // TAVELIN_PLATFORM_WIN32_WIN32_FILES_H_
