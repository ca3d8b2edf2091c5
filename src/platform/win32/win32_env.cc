#include "platform/win32/win32_env.h"

#include <random>

#include "platform/path.h"
#include "platform/win32/command_line_split.h"
#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_env_impl.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_socket.h"
#include "platform/win32/win32_temp.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/windows_api.h"

namespace tavelin {
namespace win32 {

Win32Env::Win32Env(const Win32EnvOptions& options) : options_(options) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  ticks_per_second_ = frequency.QuadPart > 0 ? static_cast<uint64_t>(frequency.QuadPart) : 0;
  const uint64_t seed = (static_cast<uint64_t>(::GetTickCount64()) << 20) ^ PerformanceTicks() ^
                        static_cast<uint64_t>(::GetCurrentProcessId());
  random_.seed(static_cast<std::mt19937::result_type>(seed ^ (seed >> 32)));
}

Win32Env::~Win32Env() {
  if (options_.delete_registry_base && !options_.registry_base.empty()) {
    RegistryDeleteTree(options_.registry_base);
  }
}

TDateTime Win32Env::Now() {
  SYSTEMTIME local;
  ::GetLocalTime(&local);
  return EncodeDate(local.wYear, local.wMonth, local.wDay) +
         EncodeTime(local.wHour, local.wMinute, local.wSecond, local.wMilliseconds);
}

TDateTime Win32Env::NowUtc() {
  SYSTEMTIME utc;
  ::GetSystemTime(&utc);
  return EncodeDate(utc.wYear, utc.wMonth, utc.wDay) +
         EncodeTime(utc.wHour, utc.wMinute, utc.wSecond, utc.wMilliseconds);
}

void Win32Env::SleepMs(int milliseconds) {
  ::Sleep(milliseconds <= 0 ? 0 : static_cast<DWORD>(milliseconds));
}

uint64_t Win32Env::NowMicros() {
  if (ticks_per_second_ == 0) return static_cast<uint64_t>(::GetTickCount64()) * 1000u;
  const uint64_t ticks = PerformanceTicks();
  return ticks / ticks_per_second_ * 1000000u +
         ticks % ticks_per_second_ * 1000000u / ticks_per_second_;
}

uint32_t Win32Env::Random32() { return static_cast<uint32_t>(random_()); }

bool Win32Env::GetEnvironment(const std::string& name, std::string* value) {
  std::wstring wide_name;
  if (name.empty() || name.find_first_of(std::string_view("=\0", 2)) != std::string::npos ||
      !ToWide(name, &wide_name)) {
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
  return FromWide(wide_value, value);
}

bool Win32Env::EnvironmentIsSet(const std::string& name) {
  std::wstring wide_name;
  if (name.empty() || name.find_first_of(std::string_view("=\0", 2)) != std::string::npos ||
      !ToWide(name, &wide_name)) {
    return false;
  }
  ::SetLastError(ERROR_SUCCESS);
  // The size asked for counts the closing NUL, so a set variable never answers 0.
  return ::GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0) != 0 ||
         ::GetLastError() != ERROR_ENVVAR_NOT_FOUND;
}

std::string Win32Env::ProgramPath() {
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
  return FromWide(path, &converted) ? converted : std::string();
}

Status Win32Env::UserTempFolder(std::string* folder) {
  std::wstring path(MAX_PATH + 2, L'\0');
  DWORD length = ::GetTempPathW(static_cast<DWORD>(path.size()), path.data());
  if (length >= path.size()) {  // the size needed, with the closing NUL
    path.resize(length + 1);
    length = ::GetTempPathW(static_cast<DWORD>(path.size()), path.data());
  }
  if (length == 0 || length >= path.size()) {
    return Status(Status::Kind::kNoTempFolder, FileFailure(::GetLastError()).message());
  }
  path.resize(length);
  TempFolderChoice choice;
  if (!ChooseTempFolder(path, &choice)) {
    return Status(Status::Kind::kNoTempFolder, std::string());
  }
  temp_note_ = choice.note;
  *folder = IncludeTrailingDelimiter(choice.folder);
  return Status::OK();
}

bool Win32Env::RegistryKeyExists(const std::string& key) {
  return win32::RegistryKeyExists(Key(key));
}

bool Win32Env::RegistryReadString(const std::string& key, const std::string& name,
                                  std::string* value) {
  return win32::RegistryReadString(Key(key), name, value);
}

bool Win32Env::RegistryReadInteger(const std::string& key, const std::string& name,
                                   uint32_t* value) {
  return win32::RegistryReadInteger(Key(key), name, value);
}

Status Win32Env::RegistryWriteString(const std::string& key, const std::string& name,
                                     const std::string& value) {
  return win32::RegistryWriteString(Key(key), name, value);
}

Status Win32Env::RegistryWriteInteger(const std::string& key, const std::string& name,
                                      uint32_t value) {
  return win32::RegistryWriteInteger(Key(key), name, value);
}

std::unique_ptr<InstanceLock> Win32Env::AcquireInstanceLock(const std::string& name, Status* why) {
  std::wstring wide;
  if (ToWide(options_.lock_prefix + name, &wide)) {
    return win32::AcquireInstanceLock(wide, why);
  }
  if (why) {
    *why = Status(Status::Kind::kLockFailed, "the single-instance mutex name has no Windows form");
  }
  return nullptr;
}

bool Win32Env::SystemVolume(std::string* label, uint32_t* serial) {
  return WindowsVolume(label, serial);
}

bool Win32Env::VersionEntry(const std::string& program_path, const std::string& entry,
                            std::string* value) {
  std::wstring file, wide_entry;
  return ToSystemPath(program_path, &file) && ToWide(entry, &wide_entry) &&
         FileVersionEntry(file, wide_entry, value);
}

void Win32Env::ShellOpen(const std::string& target, const std::string& parameters,
                         const std::string& folder) {
  std::wstring wide_target, wide_parameters, wide_folder;
  if (ToSystemPath(target, &wide_target) && ToWide(parameters, &wide_parameters) &&
      ToWide(folder, &wide_folder)) {
    win32::ShellOpen(wide_target, wide_parameters, wide_folder);
  }
}

std::unique_ptr<TcpConnection> Win32Env::Connect(const std::string& host, int port, Status* why) {
  std::wstring wide_host;
  if (!ToWide(host, &wide_host)) {
    if (why != nullptr) *why = Status(Status::Kind::kInvalidArgument, "invalid host name");
    return nullptr;
  }
  return ConnectTcp(wide_host, port, why);
}

std::string Win32Env::Key(const std::string& key) const {
  if (options_.registry_base.empty()) return key;
  return options_.registry_base + (key.empty() || key[0] == '\\' ? "" : "\\") + key;
}

uint64_t Win32Env::PerformanceTicks() {
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return static_cast<uint64_t>(now.QuadPart);
}

}  // namespace win32

std::unique_ptr<Env> NewWin32Env(const Win32EnvOptions& options) {
  // A download to a recorder that is switched off blocks the one thread for many seconds;
  // the window stays as it is instead of being swapped for a "not responding" ghost.
  ::DisableProcessWindowsGhosting();
  return std::make_unique<win32::Win32Env>(options);
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
