#include "platform/win32/win32_env.h"

#include <random>

#include "platform/path.h"
#include "platform/win32/command_line_split.h"
#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_socket.h"
#include "platform/win32/win32_temp.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/windows_api.h"

namespace tavelin {
namespace {

class Win32Env : public Env {
 public:
  explicit Win32Env(const Win32EnvOptions& options) : options_(options) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    ticks_per_second_ = frequency.QuadPart > 0 ? static_cast<uint64_t>(frequency.QuadPart) : 0;
    const uint64_t seed = (static_cast<uint64_t>(::GetTickCount64()) << 20) ^ PerformanceTicks() ^
                          static_cast<uint64_t>(::GetCurrentProcessId());
    random_.seed(static_cast<std::mt19937::result_type>(seed ^ (seed >> 32)));
  }
  ~Win32Env() override {
    if (options_.delete_registry_base && !options_.registry_base.empty()) {
      win32::RegistryDeleteTree(options_.registry_base);
    }
  }

  TDateTime Now() override {
    SYSTEMTIME local;
    ::GetLocalTime(&local);
    return EncodeDate(local.wYear, local.wMonth, local.wDay) +
           EncodeTime(local.wHour, local.wMinute, local.wSecond, local.wMilliseconds);
  }

  // Sleep(0) gives up the rest of the time slice.
  void SleepMs(int milliseconds) override {
    ::Sleep(milliseconds <= 0 ? 0 : static_cast<DWORD>(milliseconds));
  }

  uint64_t NowMicros() override {
    if (ticks_per_second_ == 0) return static_cast<uint64_t>(::GetTickCount64()) * 1000u;
    const uint64_t ticks = PerformanceTicks();
    return ticks / ticks_per_second_ * 1000000u +
           ticks % ticks_per_second_ * 1000000u / ticks_per_second_;
  }

  uint32_t Random32() override { return static_cast<uint32_t>(random_()); }

  bool GetEnvironment(const std::string& name, std::string* value) override {
    std::wstring wide_name;
    if (name.empty() || name.find_first_of(std::string_view("=\0", 2)) != std::string::npos ||
        !win32::ToWide(name, &wide_name)) {
      return false;
    }
    std::wstring wide_value(256, L'\0');
    for (;;) {
      ::SetLastError(ERROR_SUCCESS);
      const DWORD length = ::GetEnvironmentVariableW(wide_name.c_str(), wide_value.data(),
                                                     static_cast<DWORD>(wide_value.size()));
      if (length == 0) {
        if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
        wide_value.clear();
        break;
      }
      if (length < wide_value.size()) {
        wide_value.resize(length);
        break;
      }
      wide_value.resize(length);  // the size needed, with the closing NUL
    }
    return win32::FromWide(wide_value, value);
  }

  bool EnvironmentIsSet(const std::string& name) override {
    std::wstring wide_name;
    if (name.empty() || name.find_first_of(std::string_view("=\0", 2)) != std::string::npos ||
        !win32::ToWide(name, &wide_name)) {
      return false;
    }
    ::SetLastError(ERROR_SUCCESS);
    // The size asked for counts the closing NUL, so a set variable never answers 0.
    return ::GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0) != 0 ||
           ::GetLastError() != ERROR_ENVVAR_NOT_FOUND;
  }

  std::string ProgramPath() override {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
      const DWORD length =
          ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
      if (length == 0) return std::string();
      if (length < path.size()) {
        path.resize(length);
        break;
      }
      if (path.size() >= 32768) return std::string();
      path.resize(path.size() * 2);
    }
    std::string converted;
    return win32::FromWide(path, &converted) ? converted : std::string();
  }

  bool FileExists(const std::string& path) override { return win32::FileExists(path); }
  bool FolderExists(const std::string& path) override { return win32::FolderExists(path); }
  bool GetFileSize(const std::string& path, uint64_t* size) override {
    return win32::GetFileSize(path, size);
  }
  bool DeleteFile(const std::string& path) override { return win32::DeleteFile(path); }
  bool RenameFile(const std::string& from, const std::string& to) override {
    return win32::RenameFile(from, to);
  }
  bool CreateFolder(const std::string& path) override { return win32::CreateFolder(path); }
  bool ForceFolders(const std::string& path) override { return win32::ForceFolders(path); }
  bool ListFiles(const std::string& folder, const std::string& suffix,
                 std::vector<std::string>* names) override {
    return win32::ListFiles(folder, suffix, names);
  }
  bool ReadFile(const std::string& path, std::string* contents) override {
    return win32::ReadFile(path, contents);
  }
  std::unique_ptr<WritableFile> NewWritableFile(const std::string& path, bool append) override {
    return win32::NewWritableFile(path, append);
  }
  // INI files are read and replaced by Tavelin's own byte-exact code through these two (the
  // system's profile functions convert through the ANSI code page and would turn Japanese
  // text into '?').
  bool ReadSharedFile(const std::string& path, std::string* contents) override {
    std::wstring system_path;
    return win32::ToSystemPath(path, &system_path) && win32::ReadSystemFile(system_path, contents);
  }
  bool ReplaceFile(const std::string& path, std::string_view bytes) override {
    std::wstring system_path;
    return win32::ToSystemPath(path, &system_path) &&
           win32::ReplaceFileAtomically(system_path, bytes);
  }
  bool LinkOrCopyFile(const std::string& from, const std::string& to) override {
    return win32::LinkOrCopyFile(from, to);
  }
  std::string LastFileError() override {
    const unsigned long code = win32::LastFileError();
    return code == 0 ? std::string() : win32::SystemErrorText(code);
  }
  void SetFileWaitHook(std::function<void()> hook) override {
    win32::SetBusyFileYield(std::move(hook));
  }
  // NTFS journals its folder entries, and every rename here is written through, so there
  // is nothing left to flush; the folder only has to be there.
  bool SyncFolder(const std::string& folder) override { return win32::FolderExists(folder); }

  // The user's own temp folder (GetTempPathW answers TMP, TEMP, USERPROFILE, in that
  // order), created when missing; where Shift-JIS cannot name it, its short name or a private
  // folder (win32_temp.h), with a note for the log.
  bool UserTempFolder(std::string* folder) override {
    std::wstring path(MAX_PATH + 2, L'\0');
    DWORD length = ::GetTempPathW(static_cast<DWORD>(path.size()), path.data());
    if (length >= path.size()) {  // the size needed, with the closing NUL
      path.resize(length + 1);
      length = ::GetTempPathW(static_cast<DWORD>(path.size()), path.data());
    }
    if (length == 0 || length >= path.size()) return false;
    path.resize(length);
    win32::TempFolderChoice choice;
    if (!win32::ChooseTempFolder(path, &choice)) return false;
    temp_note_ = choice.note;
    *folder = IncludeTrailingDelimiter(choice.folder);
    return true;
  }
  std::string TempFolderNote() override { return temp_note_; }

  bool RegistryKeyExists(const std::string& key) override {
    return win32::RegistryKeyExists(Key(key));
  }
  bool RegistryReadString(const std::string& key, const std::string& name,
                          std::string* value) override {
    return win32::RegistryReadString(Key(key), name, value);
  }
  bool RegistryReadInteger(const std::string& key, const std::string& name,
                           uint32_t* value) override {
    return win32::RegistryReadInteger(Key(key), name, value);
  }
  bool RegistryWriteString(const std::string& key, const std::string& name,
                           const std::string& value) override {
    return win32::RegistryWriteString(Key(key), name, value);
  }
  bool RegistryWriteInteger(const std::string& key, const std::string& name,
                            uint32_t value) override {
    return win32::RegistryWriteInteger(Key(key), name, value);
  }

  std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::string& name,
                                                    std::string* error) override {
    std::wstring wide;
    if (win32::ToWide(options_.lock_prefix + name, &wide)) {
      return win32::AcquireInstanceLock(wide, error);
    }
    if (error) *error = "the single-instance mutex name has no Windows form";
    return nullptr;
  }

  bool SystemVolume(std::string* label, uint32_t* serial) override {
    return win32::WindowsVolume(label, serial);
  }

  bool VersionEntry(const std::string& program_path, const std::string& entry,
                    std::string* value) override {
    std::wstring file, wide_entry;
    return win32::ToSystemPath(program_path, &file) && win32::ToWide(entry, &wide_entry) &&
           win32::FileVersionEntry(file, wide_entry, value);
  }

  void ShellOpen(const std::string& target, const std::string& parameters,
                 const std::string& folder) override {
    std::wstring wide_target, wide_parameters, wide_folder;
    if (win32::ToSystemPath(target, &wide_target) && win32::ToWide(parameters, &wide_parameters) &&
        win32::ToWide(folder, &wide_folder)) {
      win32::ShellOpen(wide_target, wide_parameters, wide_folder);
    }
  }

  std::unique_ptr<TcpConnection> Connect(const std::string& host, int port, Status* why) override {
    std::wstring wide_host;
    if (!win32::ToWide(host, &wide_host)) {
      if (why != nullptr) *why = Status(Status::Kind::kInvalidArgument, "invalid host name");
      return nullptr;
    }
    return win32::ConnectTcp(wide_host, port, why);
  }

 private:
  std::string Key(const std::string& key) const {
    if (options_.registry_base.empty()) return key;
    return options_.registry_base + (key.empty() || key[0] == '\\' ? "" : "\\") + key;
  }

  static uint64_t PerformanceTicks() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<uint64_t>(now.QuadPart);
  }

  Win32EnvOptions options_;
  std::string temp_note_;
  uint64_t ticks_per_second_ = 0;
  std::mt19937 random_;
};

}  // namespace

std::unique_ptr<Env> NewWin32Env(const Win32EnvOptions& options) {
  // A download to a recorder that is switched off blocks the one thread for many seconds;
  // the window stays as it is instead of being swapped for a "not responding" ghost.
  ::DisableProcessWindowsGhosting();
  return std::make_unique<Win32Env>(options);
}

std::vector<std::string> Win32ProcessParameters() {
  std::vector<std::wstring> split = win32::SplitCommandLine(::GetCommandLineW());
  std::vector<std::string> parameters;
  for (std::size_t i = 1; i < split.size(); ++i) {
    std::string converted;
    if (!win32::FromWide(split[i], &converted)) converted.clear();
    parameters.push_back(std::move(converted));
  }
  return parameters;
}

}  // namespace tavelin
