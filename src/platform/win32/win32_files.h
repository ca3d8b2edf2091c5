// File operations of the Win32 Env. Paths given to the functions named after Env operations
// are Shift-JIS; the ones taking a `system_path` expect the UTF-16 form.
//
// Sharing: a writer opens with FILE_SHARE_READ only, so readers may read meanwhile and a
// second writer is refused; a reader shares reading only, so it is refused while a writer
// holds the file. A refused truncating open leaves the file as it was.
#ifndef TAVELIN_PLATFORM_WIN32_WIN32_FILES_H_
#define TAVELIN_PLATFORM_WIN32_WIN32_FILES_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"

namespace tavelin::win32 {

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
