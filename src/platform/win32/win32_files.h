// File operations of the Win32 Env. Paths given to the functions named after Env operations
// are Shift-JIS; the ones taking a `system_path` expect the UTF-16 form.
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
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"

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

// Called after each sleep between two tries, so the window keeps processing its messages
// while another program holds a file. Empty: nothing is called.
void SetBusyFileYield(std::function<void()> yield);

// The system error code of the last file operation of this thread that failed (0 when it
// failed without one, for example on a path that has no system form).
unsigned long LastFileError();
// The system's text for an error code, in Shift-JIS, with the code itself: "... (error 32)".
std::string SystemErrorText(unsigned long code);

bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
bool GetFileSize(const std::string& path, uint64_t* size);
bool DeleteFile(const std::string& path);
// Replaces an existing `to`; the move is written through before it returns.
bool RenameFile(const std::string& from, const std::string& to);
bool CreateFolder(const std::string& path);
bool ForceFolders(const std::string& path);
bool ListFiles(const std::string& folder, const std::string& suffix,
               std::vector<std::string>* names);
bool ReadFile(const std::string& path, std::string* contents);
std::unique_ptr<WritableFile> NewWritableFile(const std::string& path, bool append);
bool LinkOrCopyFile(const std::string& from, const std::string& to);

// Length of the part of `path` that names a root and is never created: "C:\" (or "C:"),
// "\\server\share\", or a leading "\".
std::size_t RootLength(std::wstring_view path);
// Creates the folder and its missing parents; true when the folder exists afterwards.
bool MakeSystemFolders(const std::wstring& system_path);
// Reads a whole file that other programs may hold open for writing (INI files).
bool ReadSystemFile(const std::wstring& system_path, std::string* contents);
bool SystemPathExists(const std::wstring& system_path);
// Replaces the file's content in one step: a temporary file beside it, flushed to disk,
// then moved over it, so readers see the old or the new content only.
bool ReplaceFileAtomically(const std::wstring& system_path, std::string_view bytes);

}  // namespace tavelin::win32

#endif  // TAVELIN_PLATFORM_WIN32_WIN32_FILES_H_
