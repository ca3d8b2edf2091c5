#include "platform/win32/win32_files.h"

#include <climits>

#include "platform/codepage.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/windows_api.h"

namespace tavelin::win32 {
namespace {

constexpr std::size_t kWriteBufferSize = 64 * 1024;
constexpr DWORD kReplaceFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

bool IsDelimiter(wchar_t c) { return c == L'\\' || c == L'/'; }

DWORD AttributesOf(const std::string& path) {
  std::wstring system_path;
  if (!ToSystemPath(path, &system_path)) return INVALID_FILE_ATTRIBUTES;
  return ::GetFileAttributesW(system_path.c_str());
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

bool ReadAll(HANDLE file, std::string* contents) {
  std::string data;
  char buffer[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file, buffer, sizeof buffer, &got, nullptr)) return false;
    if (got == 0) break;
    data.append(buffer, got);
  }
  *contents = std::move(data);
  return true;
}

// Opens a plain disk file (not a folder, device or pipe) with the given sharing.
HANDLE OpenDiskFile(const std::wstring& system_path, DWORD access, DWORD share, DWORD creation) {
  HANDLE file = ::CreateFileW(system_path.c_str(), access, share, nullptr, creation,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return file;
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    ::CloseHandle(file);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

class Win32WritableFile : public WritableFile {
 public:
  explicit Win32WritableFile(HANDLE file) : file_(file) {}
  ~Win32WritableFile() override { Close(); }

  bool Append(std::string_view bytes) override {
    if (file_ == INVALID_HANDLE_VALUE) return false;
    buffer_.append(bytes);
    if (buffer_.size() >= kWriteBufferSize) return Flush();
    return ok_;
  }

  bool Flush() override {
    if (file_ == INVALID_HANDLE_VALUE) return false;
    if (!buffer_.empty()) {
      if (!WriteAll(file_, buffer_)) ok_ = false;
      buffer_.clear();
    }
    return ok_;
  }

  bool Sync() override {
    if (!Flush()) return false;
    if (!::FlushFileBuffers(file_)) ok_ = false;
    return ok_;
  }

  bool Close() override {
    if (file_ == INVALID_HANDLE_VALUE) return ok_;
    Flush();
    if (!::CloseHandle(file_)) ok_ = false;
    file_ = INVALID_HANDLE_VALUE;
    return ok_;
  }

 private:
  HANDLE file_;
  bool ok_ = true;
  std::string buffer_;
};

// A name beside `target` for staging a replacement; unique to this process.
std::wstring StagedName(const std::wstring& target, const wchar_t* what) {
  return target + L"." + what + std::to_wstring(::GetCurrentProcessId());
}

}  // namespace

bool FileExists(const std::string& path) {
  const DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
  const DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool GetFileSize(const std::string& path, uint64_t* size) {
  std::wstring system_path;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!ToSystemPath(path, &system_path) ||
      !::GetFileAttributesExW(system_path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

bool DeleteFile(const std::string& path) {
  std::wstring system_path;
  return ToSystemPath(path, &system_path) && ::DeleteFileW(system_path.c_str());
}

bool RenameFile(const std::string& from, const std::string& to) {
  std::wstring system_from, system_to;
  return ToSystemPath(from, &system_from) && ToSystemPath(to, &system_to) &&
         ::MoveFileExW(system_from.c_str(), system_to.c_str(), kReplaceFlags);
}

bool CreateFolder(const std::string& path) {
  std::wstring system_path;
  if (!ToSystemPath(path, &system_path)) return false;
  if (::CreateDirectoryW(system_path.c_str(), nullptr)) return true;
  const DWORD attributes = ::GetFileAttributesW(system_path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceFolders(const std::string& path) {
  std::wstring system_path;
  return ToSystemPath(path, &system_path) && MakeSystemFolders(system_path);
}

std::size_t RootLength(std::wstring_view path) {
  if (path.size() >= 2 && path[1] == L':') {
    return path.size() >= 3 && IsDelimiter(path[2]) ? 3 : 2;
  }
  if (path.size() >= 2 && IsDelimiter(path[0]) && IsDelimiter(path[1])) {
    // \\server\share\ : two more components belong to the root.
    std::size_t i = 2;
    for (int component = 0; component < 2; ++component) {
      while (i < path.size() && !IsDelimiter(path[i])) ++i;
      if (i < path.size()) ++i;
    }
    return i;
  }
  return !path.empty() && IsDelimiter(path[0]) ? 1 : 0;
}

bool MakeSystemFolders(const std::wstring& system_path) {
  if (system_path.empty()) return false;
  // UTF-16 holds no delimiter inside a character, so splitting on them is safe here.
  for (std::size_t i = RootLength(system_path) + 1; i <= system_path.size(); ++i) {
    if (i != system_path.size() && !IsDelimiter(system_path[i])) continue;
    if (IsDelimiter(system_path[i - 1])) continue;  // repeated or trailing delimiter
    const std::wstring prefix = system_path.substr(0, i);
    if (!::CreateDirectoryW(prefix.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
      // A folder that exists but may not be created again (a root, a mounted share).
      const DWORD attributes = ::GetFileAttributesW(prefix.c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
      }
    }
  }
  const DWORD attributes = ::GetFileAttributesW(system_path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ListFiles(const std::string& folder, const std::string& suffix,
               std::vector<std::string>* names) {
  names->clear();
  std::wstring pattern;
  if (!ToSystemPath(folder, &pattern)) return false;
  if (!IsDelimiter(pattern.back())) pattern += L'\\';
  // Every entry, filtered here: a "*.tvpi" wildcard would also match 8.3 short names.
  pattern += L'*';
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    std::string name;
    // A name with no Shift-JIS form could not be opened through this interface anyway.
    if (!FromWide(found.cFileName, &name)) continue;
    if (EndsWithIgnoringAsciiCase(name, suffix)) names->push_back(std::move(name));
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return true;
}

bool ReadFile(const std::string& path, std::string* contents) {
  std::wstring system_path;
  if (!ToSystemPath(path, &system_path)) return false;
  HANDLE file = OpenDiskFile(system_path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool ok = ReadAll(file, contents);
  ::CloseHandle(file);
  return ok;
}

std::unique_ptr<WritableFile> NewWritableFile(const std::string& path, bool append) {
  std::wstring system_path;
  if (!ToSystemPath(path, &system_path)) return nullptr;
  // OPEN_ALWAYS, then truncation once the handle is ours: a refused open leaves the other
  // writer's content alone.
  HANDLE file = OpenDiskFile(system_path, GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  // Only a file with content is cut: a file just made (or found empty) is left as it is.
  LARGE_INTEGER zero{}, size{};
  const bool positioned = append ? ::SetFilePointerEx(file, zero, nullptr, FILE_END) != 0
                                 : ::GetFileSizeEx(file, &size) != 0 &&
                                       (size.QuadPart == 0 || ::SetEndOfFile(file) != 0);
  if (!positioned) {
    ::CloseHandle(file);
    return nullptr;
  }
  return std::make_unique<Win32WritableFile>(file);
}

bool LinkOrCopyFile(const std::string& from, const std::string& to) {
  std::wstring system_from, system_to;
  if (!ToSystemPath(from, &system_from) || !ToSystemPath(to, &system_to)) return false;
  // The new name is made beside the target and moved over it, so `to` never goes missing.
  const std::wstring staged = StagedName(system_to, L"link");
  ::DeleteFileW(staged.c_str());
  const bool made = ::CreateHardLinkW(staged.c_str(), system_from.c_str(), nullptr) ||
                    ::CopyFileW(system_from.c_str(), staged.c_str(), FALSE);
  if (!made) return false;
  if (::MoveFileExW(staged.c_str(), system_to.c_str(), kReplaceFlags)) return true;
  ::DeleteFileW(staged.c_str());
  return false;
}

bool ReadSystemFile(const std::wstring& system_path, std::string* contents) {
  HANDLE file = OpenDiskFile(system_path, GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool ok = ReadAll(file, contents);
  ::CloseHandle(file);
  return ok;
}

bool SystemPathExists(const std::wstring& system_path) {
  return ::GetFileAttributesW(system_path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool ReplaceFileAtomically(const std::wstring& system_path, std::string_view bytes) {
  const std::wstring temp_path = StagedName(system_path, L"new");
  HANDLE file = ::CreateFileW(temp_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = WriteAll(file, bytes) && ::FlushFileBuffers(file);
  if (!::CloseHandle(file)) ok = false;
  if (ok && ::MoveFileExW(temp_path.c_str(), system_path.c_str(), kReplaceFlags)) return true;
  ::DeleteFileW(temp_path.c_str());
  return false;
}

}  // namespace tavelin::win32
