#include "platform/win32/win32_files.h"

#include <climits>
#include <functional>
#include <string>
#include <utility>

#include "platform/codepage.h"
#include "platform/win32/win32_env_impl.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/windows_api.h"

namespace tavelin::win32 {
namespace {

constexpr std::size_t kWriteBufferSize = std::size_t{64} * 1024;
constexpr DWORD kReplaceFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
// How many other staged names are tried when a leftover one cannot be removed.
constexpr int kStagedNameChoices = 8;

bool IsDelimiter(wchar_t c) { return c == L'\\' || c == L'/'; }

FileCallSeam& Seam() {
  static FileCallSeam seam;
  return seam;
}

std::function<void()>& BusyYield() {
  static std::function<void()> yield;
  return yield;
}

// The system's text for an error code, in Shift-JIS, with the code itself: "... (error 32)".
std::string SystemErrorText(unsigned long code) {
  std::string text;
  wchar_t* message = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  if (length > 0 && message != nullptr) {
    std::wstring wide(message, length);
    while (!wide.empty() && (wide.back() <= L' ' || wide.back() == L'.')) wide.pop_back();
    // A text in a language Shift-JIS cannot write is left out; the number still tells.
    if (!FromWide(wide, &text)) text.clear();
  }
  if (message != nullptr) ::LocalFree(message);
  const std::string number = "error " + std::to_string(code);
  return text.empty() ? number : text + " (" + number + ")";
}

}  // namespace

Status FileFailure(unsigned long code) {
  return Status(Status::Kind::kFileError, code == 0 ? std::string() : SystemErrorText(code));
}

namespace {

// The error of this thread's file operation that failed last; each Env method clears it
// first, so a failure without a system error (a path with no system form) carries none.
thread_local DWORD last_file_error = 0;

// The outcome of an Env file method: the kept error when it failed.
Status Outcome(bool ok) { return ok ? Status::OK() : FileFailure(last_file_error); }

// Keeps the error of a failed operation for Outcome(); always false.
bool Failed(DWORD error) {
  last_file_error = error;
  return false;
}
bool Failed() { return Failed(::GetLastError()); }

bool Faulted(FileCall call, const std::wstring& path) {
  const FileCallSeam& seam = Seam();
  if (!seam.fault) return false;
  const unsigned long code = seam.fault(call, path);
  if (code == 0) return false;
  ::SetLastError(code);
  return true;
}

HANDLE CallCreateFile(const std::wstring& path, DWORD access, DWORD share, DWORD creation) {
  if (Faulted(FileCall::kCreate, path)) return INVALID_HANDLE_VALUE;
  return ::CreateFileW(path.c_str(), access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

bool CallDeleteFile(const std::wstring& path) {
  return !Faulted(FileCall::kDelete, path) && ::DeleteFileW(path.c_str());
}

bool CallMoveFile(const std::wstring& from, const std::wstring& to) {
  return !Faulted(FileCall::kMove, from) && ::MoveFileExW(from.c_str(), to.c_str(), kReplaceFlags);
}

bool CallCreateHardLink(const std::wstring& link, const std::wstring& existing) {
  return !Faulted(FileCall::kHardLink, link) &&
         ::CreateHardLinkW(link.c_str(), existing.c_str(), nullptr);
}

bool CallCopyFile(const std::wstring& from, const std::wstring& to) {
  return !Faulted(FileCall::kCopy, from) && ::CopyFileW(from.c_str(), to.c_str(), FALSE);
}

uint64_t RetryClockMs() {
  const FileCallSeam& seam = Seam();
  return seam.now_ms ? seam.now_ms() : static_cast<uint64_t>(::GetTickCount64());
}

void RetrySleep(int ms) {
  const FileCallSeam& seam = Seam();
  if (seam.sleep_ms) {
    seam.sleep_ms(ms);
  } else {
    ::Sleep(static_cast<DWORD>(ms));
  }
  if (BusyYield()) BusyYield()();
}

// Errors that another program's open handle causes and that go away when it closes.
bool IsBusyError(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
         error == ERROR_DELETE_PENDING;
}

// Access denied for these lasts: a folder or a read-only file is not held, it is refused.
bool RefusedForGood(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY));
}

// Runs `step` until it succeeds, fails for another reason than a busy file, or kBusyRetryMs
// have passed since the first try; sleeps 1, 2, 4, ... ms (at most kBusyMaxSleepMs) between
// tries. False leaves the last error for Outcome() and GetLastError().
template <typename Step>
bool RetryWhileBusy(Step step, const std::wstring& path, const std::wstring* other = nullptr) {
  const uint64_t start = RetryClockMs();
  int sleep_ms = kBusyFirstSleepMs;
  for (;;) {
    if (step()) return true;
    const DWORD error = ::GetLastError();
    const bool refused = error == ERROR_ACCESS_DENIED &&
                         (RefusedForGood(path) || (other != nullptr && RefusedForGood(*other)));
    if (!IsBusyError(error) || refused || RetryClockMs() - start >= kBusyRetryMs) {
      ::SetLastError(error);
      return Failed(error);
    }
    RetrySleep(sleep_ms);
    sleep_ms = sleep_ms * 2 > kBusyMaxSleepMs ? kBusyMaxSleepMs : sleep_ms * 2;
  }
}

bool DeleteWithRetries(const std::wstring& path) {
  return RetryWhileBusy([&] { return CallDeleteFile(path); }, path);
}

bool MoveWithRetries(const std::wstring& from, const std::wstring& to) {
  return RetryWhileBusy([&] { return CallMoveFile(from, to); }, from, &to);
}

HANDLE CreateWithRetries(const std::wstring& path, DWORD access, DWORD share, DWORD creation) {
  HANDLE file = INVALID_HANDLE_VALUE;
  RetryWhileBusy(
      [&] {
        file = CallCreateFile(path, access, share, creation);
        return file != INVALID_HANDLE_VALUE;
      },
      path);
  return file;
}

// True when another program holds the file without letting it be deleted or renamed: a hard
// link to it could then be neither moved into place nor removed again.
bool HeldAgainstDeletion(const std::wstring& path) {
  HANDLE file =
      ::CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    ::CloseHandle(file);
    return false;
  }
  return ::GetLastError() == ERROR_SHARING_VIOLATION;
}

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

// Opens a plain disk file (not a folder, device or pipe) with the given sharing; `retried`
// tries again while another program holds it.
HANDLE OpenDiskFile(const std::wstring& system_path, DWORD access, DWORD share, DWORD creation,
                    bool retried = false) {
  HANDLE file = retried ? CreateWithRetries(system_path, access, share, creation)
                        : CallCreateFile(system_path, access, share, creation);
  if (file == INVALID_HANDLE_VALUE) {
    Failed();
    return file;
  }
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    ::CloseHandle(file);
    Failed(ERROR_INVALID_FUNCTION);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

class Win32WritableFile final : public WritableFile {
 public:
  explicit Win32WritableFile(HANDLE file) : file_(file) {}
  ~Win32WritableFile() override { Win32WritableFile::Close(); }

  Status Append(std::string_view bytes) override {
    if (file_ == INVALID_HANDLE_VALUE) return FileFailure(ERROR_INVALID_HANDLE);
    buffer_.append(bytes);
    if (buffer_.size() >= kWriteBufferSize) return Flush();
    return status_;
  }

  Status Flush() override {
    if (file_ == INVALID_HANDLE_VALUE) return FileFailure(ERROR_INVALID_HANDLE);
    if (!buffer_.empty()) {
      if (!WriteAll(file_, buffer_)) Fail();
      buffer_.clear();
    }
    return status_;
  }

  Status Sync() override {
    if (Status flushed = Flush(); !flushed.ok()) return flushed;
    if (!::FlushFileBuffers(file_)) Fail();
    return status_;
  }

  Status Close() override {
    if (file_ == INVALID_HANDLE_VALUE) return status_;
    Win32WritableFile::Flush();
    if (!::CloseHandle(file_)) Fail();
    file_ = INVALID_HANDLE_VALUE;
    return status_;
  }

 private:
  // The first failure is the one told; later calls keep reporting it.
  void Fail() {
    if (status_.ok()) status_ = FileFailure(::GetLastError());
  }

  HANDLE file_;
  Status status_;
  std::string buffer_;
};

// A free name beside `target` for staging a replacement, unique to this process. A leftover
// of an earlier run under that name (process ids are reused) is removed; when it cannot be,
// another name is taken, so it never blocks the save. Empty when none is free.
std::wstring FreeStagedName(const std::wstring& target, const wchar_t* what) {
  const std::wstring base = target + L"." + what + std::to_wstring(::GetCurrentProcessId());
  for (int choice = 0; choice < kStagedNameChoices; ++choice) {
    std::wstring name = choice == 0 ? base : base + L"-" + std::to_wstring(choice);
    if (::GetFileAttributesW(name.c_str()) == INVALID_FILE_ATTRIBUTES) return name;
    if (DeleteWithRetries(name)) return name;
  }
  return std::wstring();
}

// Removes a staged name this process made; retried, so it does not outlive the save when
// another program merely glanced at it.
void RemoveStaged(const std::wstring& staged) {
  const DWORD error = ::GetLastError();
  const DWORD kept = last_file_error;
  DeleteWithRetries(staged);
  ::SetLastError(error);  // the caller reports the step that failed, not the clean-up
  last_file_error = kept;
}

// Reads a whole file that other programs may hold open for writing (INI files).
bool ReadSystemFile(const std::wstring& system_path, std::string* contents) {
  HANDLE file = OpenDiskFile(system_path, GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool ok = ReadAll(file, contents) || Failed();
  ::CloseHandle(file);
  return ok;
}

// Replaces the file's content in one step: a temporary file beside it, flushed to disk,
// then moved over it, so readers see the old or the new content only.
bool ReplaceFileAtomically(const std::wstring& system_path, std::string_view bytes) {
  const std::wstring temp_path = FreeStagedName(system_path, L"new");
  if (temp_path.empty()) return Failed();
  HANDLE file = CreateWithRetries(temp_path, GENERIC_WRITE, 0, CREATE_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) return Failed();
  bool ok = WriteAll(file, bytes) && ::FlushFileBuffers(file);
  if (!ok) Failed();
  if (!::CloseHandle(file) && ok) ok = Failed();
  if (ok && MoveWithRetries(temp_path, system_path)) return true;
  RemoveStaged(temp_path);
  return false;
}

}  // namespace

void SetFileCallSeam(FileCallSeam seam) { Seam() = std::move(seam); }

std::size_t RootLength(std::wstring_view path) {
  // Long forms: "\\?\UNC\server\share\" and "\\?\C:\".
  if (path.size() >= 4 && IsDelimiter(path[0]) && IsDelimiter(path[1]) && path[2] == L'?' &&
      IsDelimiter(path[3])) {
    const std::wstring_view rest = path.substr(4);
    if (rest.size() >= 4 && (rest.substr(0, 3) == L"UNC" || rest.substr(0, 3) == L"unc") &&
        IsDelimiter(rest[3])) {
      // "\\?\UNC\" (8) stands for the "\\" (2) of "\\server\share\".
      return 8 + RootLength(std::wstring(L"\\\\") + std::wstring(rest.substr(4))) - 2;
    }
    return 4 + RootLength(rest);
  }
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

bool Win32Env::FileExists(const std::string& path) {
  const DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Env::FolderExists(const std::string& path) {
  const DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Env::GetFileSize(const std::string& path, uint64_t* size) {
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

Status Win32Env::DeleteFile(const std::string& path) {
  std::wstring system_path;
  if (!ToSystemPath(path, &system_path)) return Outcome(Failed(0));
  last_file_error = 0;
  return Outcome(DeleteWithRetries(system_path));
}

Status Win32Env::RenameFile(const std::string& from, const std::string& to) {
  std::wstring system_from, system_to;
  if (!ToSystemPath(from, &system_from) || !ToSystemPath(to, &system_to)) {
    return Outcome(Failed(0));
  }
  last_file_error = 0;
  return Outcome(MoveWithRetries(system_from, system_to));
}

Status Win32Env::CreateFolder(const std::string& path) {
  std::wstring system_path;
  if (!ToSystemPath(path, &system_path)) return Outcome(Failed(0));
  if (::CreateDirectoryW(system_path.c_str(), nullptr)) return Status::OK();
  const DWORD error = ::GetLastError();
  const DWORD attributes = ::GetFileAttributesW(system_path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return Status::OK();
  }
  return FileFailure(error);
}

Status Win32Env::ForceFolders(const std::string& path) {
  std::wstring system_path;
  if (!ToSystemPath(path, &system_path)) return Outcome(Failed(0));
  ::SetLastError(0);
  return Outcome(MakeSystemFolders(system_path) || Failed());
}

Status Win32Env::ListFiles(const std::string& folder, const std::string& suffix,
                           std::vector<std::string>* names) {
  names->clear();
  std::wstring pattern;
  if (!ToSystemPath(folder, &pattern)) return Outcome(Failed(0));
  if (!IsDelimiter(pattern.back())) pattern += L'\\';
  // Every entry, filtered here: a "*.tvpi" wildcard would also match 8.3 short names.
  pattern += L'*';
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? Status::OK() : FileFailure(error);
  }
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    std::string name;
    // A name with no Shift-JIS form could not be opened through this interface anyway.
    if (!FromWide(found.cFileName, &name)) continue;
    if (EndsWithIgnoringAsciiCase(name, suffix)) names->push_back(std::move(name));
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return Status::OK();
}

Status Win32Env::ReadFile(const std::string& path, std::string* contents) {
  std::wstring system_path;
  if (!ToSystemPath(path, &system_path)) return Outcome(Failed(0));
  last_file_error = 0;
  HANDLE file = OpenDiskFile(system_path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE) return Outcome(false);
  const bool ok = ReadAll(file, contents) || Failed();
  ::CloseHandle(file);
  return Outcome(ok);
}

Status Win32Env::NewWritableFile(const std::string& path, bool append,
                                 std::unique_ptr<WritableFile>* writable) {
  std::wstring system_path;
  if (!ToSystemPath(path, &system_path)) return Outcome(Failed(0));
  last_file_error = 0;
  // OPEN_ALWAYS, then truncation once the handle is ours: a refused open leaves the other
  // writer's content alone.
  HANDLE file = OpenDiskFile(system_path, GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS, true);
  if (file == INVALID_HANDLE_VALUE) return Outcome(false);
  // Only a file with content is cut: a file just made (or found empty) is left as it is.
  LARGE_INTEGER zero{}, size{};
  const bool positioned = append ? ::SetFilePointerEx(file, zero, nullptr, FILE_END) != 0
                                 : ::GetFileSizeEx(file, &size) != 0 &&
                                       (size.QuadPart == 0 || ::SetEndOfFile(file) != 0);
  if (!positioned) {
    Failed();
    ::CloseHandle(file);
    return Outcome(false);
  }
  *writable = std::make_unique<Win32WritableFile>(file);
  return Status::OK();
}

namespace {

// The hard link or copy of LinkOrCopyFile, on system paths; false leaves the error kept.
bool LinkOrCopy(const std::wstring& system_from, const std::wstring& system_to) {
  // The new name is made beside the target and moved over it, so `to` never goes missing.
  // A link to a file that another program holds without delete sharing could be neither
  // moved nor removed until it lets go: such a file is copied at once.
  if (!HeldAgainstDeletion(system_from)) {
    const std::wstring staged = FreeStagedName(system_to, L"link");
    if (staged.empty()) return Failed();
    if (CallCreateHardLink(staged, system_from)) {
      if (MoveWithRetries(staged, system_to)) return true;
      RemoveStaged(staged);
    }
  }
  const std::wstring staged = FreeStagedName(system_to, L"link");
  if (staged.empty()) return Failed();
  if (!RetryWhileBusy([&] { return CallCopyFile(system_from, staged); }, system_from, &staged)) {
    RemoveStaged(staged);  // a copy cut short
    return false;
  }
  if (MoveWithRetries(staged, system_to)) return true;
  RemoveStaged(staged);
  return false;
}

}  // namespace

Status Win32Env::LinkOrCopyFile(const std::string& from, const std::string& to) {
  std::wstring system_from, system_to;
  if (!ToSystemPath(from, &system_from) || !ToSystemPath(to, &system_to)) {
    return Outcome(Failed(0));
  }
  last_file_error = 0;
  return Outcome(LinkOrCopy(system_from, system_to));
}

Status Win32Env::ReadSharedFile(const std::string& path, std::string* contents) {
  std::wstring system_path;
  if (!ToSystemPath(path, &system_path)) return Outcome(Failed(0));
  last_file_error = 0;
  return Outcome(ReadSystemFile(system_path, contents));
}

Status Win32Env::ReplaceFile(const std::string& path, std::string_view bytes) {
  std::wstring system_path;
  if (!ToSystemPath(path, &system_path)) return Outcome(Failed(0));
  last_file_error = 0;
  return Outcome(ReplaceFileAtomically(system_path, bytes));
}

void Win32Env::SetFileWaitHook(std::function<void()> hook) { BusyYield() = std::move(hook); }

Status Win32Env::SyncFolder(const std::string& folder) {
  return FolderExists(folder) ? Status::OK() : FileFailure(ERROR_PATH_NOT_FOUND);
}

}  // namespace tavelin::win32
