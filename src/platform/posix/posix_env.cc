#include "platform/posix/posix_env.h"

#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "platform/codepage.h"
#include "platform/notices.h"
#include "platform/path.h"
#include "platform/posix/posix_desktop.h"
#include "platform/posix/posix_env_impl.h"
#include "platform/posix/posix_files.h"
#include "platform/posix/posix_socket.h"
#include "platform/posix/registry_text.h"

namespace tavelin::posix {

PosixEnv::PosixEnv(const PosixEnvOptions& options) : options_(options) {
  // A write to a pipe or socket nobody reads (standard error of a closed terminal or
  // pipeline, a display server that ended) fails as an error instead of ending the process.
  std::signal(SIGPIPE, SIG_IGN);
  timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  const uint64_t seed = static_cast<uint64_t>(now.tv_sec) * 1000000000ull +
                        static_cast<uint64_t>(now.tv_nsec) + static_cast<uint64_t>(::getpid());
  random_.seed(static_cast<std::mt19937::result_type>(seed ^ (seed >> 32)));
}

TDateTime PosixEnv::Now() {
  timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  tm local;
  if (::localtime_r(&now.tv_sec, &local) == nullptr) return 0;
  // A leap second (tm_sec 60) is shown as the last second of its minute.
  return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
         EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59),
                    static_cast<int>(now.tv_nsec / 1000000));
}

TDateTime PosixEnv::NowUtc() {
  timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  tm utc;
  if (::gmtime_r(&now.tv_sec, &utc) == nullptr) return 0;
  return EncodeDate(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday) +
         EncodeTime(utc.tm_hour, utc.tm_min, std::min(utc.tm_sec, 59),
                    static_cast<int>(now.tv_nsec / 1000000));
}

void PosixEnv::SleepMs(int milliseconds) {
  if (milliseconds <= 0) {
    ::sched_yield();
    return;
  }
  timespec wait{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
  while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

uint64_t PosixEnv::NowMicros() {
  timespec now;
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
}

uint32_t PosixEnv::Random32() { return static_cast<uint32_t>(random_()); }

bool PosixEnv::GetEnvironment(const std::string& name, std::string* value) {
  const char* found = SystemEnvironment(name);
  return found != nullptr && Utf8ToCp932(found, value);
}

bool PosixEnv::EnvironmentIsSet(const std::string& name) {
  return SystemEnvironment(name) != nullptr;
}

std::string PosixEnv::ProgramPath() {
  std::string link(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", link.data(), link.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= link.size()) return std::string();
  link.resize(static_cast<std::size_t>(n));
  std::string path;
  return Utf8ToCp932(link, &path) ? path : std::string();
}

Status PosixEnv::UserTempFolder(std::string* folder) {
  const std::string runtime = NonEmptyEnvironment("XDG_RUNTIME_DIR");
  std::string system_path = runtime.empty()
                                ? "/tmp/tavelin-" + std::to_string(::geteuid())
                                : runtime + (runtime.back() == '/' ? "" : "/") + "tavelin";
  errno = 0;
  if (!PrivateFolder(system_path)) {
    // A folder that exists but is not ours alone fails without a system error.
    return Status(Status::Kind::kNoTempFolder, FileFailure(errno).message());
  }
  if (!Utf8ToCp932(system_path + "/", folder)) {
    return Status(Status::Kind::kNoTempFolder, "no Shift-JIS form");
  }
  return Status::OK();
}

bool PosixEnv::RegistryKeyExists(const std::string& key) {
  std::string system_key;
  RegistryText registry("");
  return Cp932ToUtf8(key, &system_key) && LoadRegistry(&registry) && registry.KeyExists(system_key);
}

bool PosixEnv::RegistryReadString(const std::string& key, const std::string& name,
                                  std::string* value) {
  std::string system_key, system_name, system_value;
  RegistryText registry("");
  if (!Cp932ToUtf8(key, &system_key) || !Cp932ToUtf8(name, &system_name) ||
      !LoadRegistry(&registry) || !registry.ReadString(system_key, system_name, &system_value)) {
    return false;
  }
  if (Utf8ToCp932(system_value, value)) return true;
  // Said here, where the reason is known: to the caller the value is just missing (for
  // the root folder that means looking for the host's files at "/").
  std::fprintf(stderr,
               "tavelin: the registry value \"%s\" of %s (%s) has no Shift-JIS form; it is "
               "read as missing\n",
               system_name.c_str(), system_key.c_str(), system_value.c_str());
  PostNotice("レジストリの値 " + name + " (" + key +
             ") はShift-JISで表せないので、ないものとして読みます");
  return false;
}

bool PosixEnv::RegistryReadInteger(const std::string& key, const std::string& name,
                                   uint32_t* value) {
  std::string system_key, system_name;
  RegistryText registry("");
  return Cp932ToUtf8(key, &system_key) && Cp932ToUtf8(name, &system_name) &&
         LoadRegistry(&registry) && registry.ReadDword(system_key, system_name, value);
}

Status PosixEnv::RegistryWriteString(const std::string& key, const std::string& name,
                                     const std::string& value) {
  std::string system_key, system_name, system_value;
  RegistryText registry("");
  errno = 0;
  const bool stored = Cp932ToUtf8(key, &system_key) && Cp932ToUtf8(name, &system_name) &&
                      Cp932ToUtf8(value, &system_value) && LoadRegistry(&registry) &&
                      registry.WriteString(system_key, system_name, system_value) &&
                      ReplaceFileAtomically(RegistryPath(), registry.text(), true);
  return stored ? Status::OK() : FileFailure(errno);
}

Status PosixEnv::RegistryWriteInteger(const std::string& key, const std::string& name,
                                      uint32_t value) {
  std::string system_key, system_name;
  RegistryText registry("");
  errno = 0;
  const bool stored = Cp932ToUtf8(key, &system_key) && Cp932ToUtf8(name, &system_name) &&
                      LoadRegistry(&registry) &&
                      registry.WriteDword(system_key, system_name, value) &&
                      ReplaceFileAtomically(RegistryPath(), registry.text(), true);
  return stored ? Status::OK() : FileFailure(errno);
}

std::unique_ptr<InstanceLock> PosixEnv::AcquireInstanceLock(const std::string& name, Status* why) {
  Status ignored;
  if (why == nullptr) why = &ignored;
  *why = Status::OK();
  std::string system_name;
  if (!Cp932ToUtf8(name, &system_name)) {
    *why = Status(Status::Kind::kLockFailed, "the lock name has no UTF-8 form");
    return nullptr;
  }
  std::string folder = options_.lock_folder;
  if (folder.empty()) {
    const std::string registry = RegistryPath();
    if (registry.empty()) {
      *why = Status(Status::Kind::kLockFailed,
                    "neither XDG_CONFIG_HOME nor HOME names a folder for the lock");
      return nullptr;
    }
    folder = registry.substr(0, registry.rfind('/'));
  }
  std::string system_error;
  std::unique_ptr<InstanceLock> lock =
      posix::AcquireInstanceLock(folder, system_name, &system_error);
  if (lock) return lock;
  if (system_error.empty()) {
    *why = Status(Status::Kind::kLockHeld, std::string());
    return nullptr;
  }
  // The path in the message is the system's UTF-8; texts leaving Env are Shift-JIS.
  std::string error;
  if (!Utf8ToCp932(system_error, &error)) error = "cannot take the lock " + name;
  *why = Status(Status::Kind::kLockFailed, error);
  return nullptr;
}

bool PosixEnv::SystemVolume(std::string* label, uint32_t* serial) {
  label->clear();
  return ReadMachineSerial(
      options_.machine_id_file.empty() ? "/etc/machine-id" : options_.machine_id_file, serial);
}

bool PosixEnv::VersionEntry(const std::string& program_path, const std::string& entry,
                            std::string* value) {
  const std::string name = ExtractFileName(program_path);
  return !name.empty() && name == ExtractFileName(ProgramPath()) &&
         CompiledVersionEntry(entry, value);
}

void PosixEnv::ShellOpen(const std::string& target, const std::string&, const std::string&) {
  std::string system_target;
  if (Cp932ToUtf8(target, &system_target)) StartDetachedOpen(system_target);
}

std::unique_ptr<TcpConnection> PosixEnv::Connect(const std::string& host, int port, Status* why) {
  std::string system_host;
  if (!Cp932ToUtf8(host, &system_host)) {
    if (why != nullptr) *why = Status(Status::Kind::kInvalidArgument, "invalid host name");
    return nullptr;
  }
  return ConnectTcp(system_host, port, why);
}

const char* PosixEnv::SystemEnvironment(const std::string& name) {
  std::string system_name;
  if (name.empty() || !Cp932ToUtf8(name, &system_name) ||
      system_name.find_first_of(std::string_view("=\0", 2)) != std::string::npos) {
    return nullptr;
  }
  return ::getenv(system_name.c_str());
}

std::string PosixEnv::NonEmptyEnvironment(const char* name) {
  const char* value = ::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::string PosixEnv::RegistryFile() {
  std::string path;
  return Utf8ToCp932(RegistryPath(), &path) ? path : RegistryPath();
}

std::string PosixEnv::RegistryPath() const {
  if (!options_.registry_file.empty()) return options_.registry_file;
  std::string config = NonEmptyEnvironment("XDG_CONFIG_HOME");
  if (config.empty()) {
    const std::string home = NonEmptyEnvironment("HOME");
    if (home.empty()) return std::string();
    config = home + "/.config";
  }
  return config + "/tavelin/registry.reg";
}

bool PosixEnv::LoadRegistry(RegistryText* registry) {
  const std::string path = RegistryPath();
  if (path.empty()) return false;
  std::string text;
  if (!ReadSystemFile(path, &text)) {
    if (SystemPathExists(path)) return false;
    text.clear();
  }
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);  // byte-order mark
  *registry = RegistryText(std::move(text));
  return true;
}

}  // namespace tavelin::posix

namespace tavelin {

std::unique_ptr<Env> NewPosixEnv(const PosixEnvOptions& options) {
  return std::make_unique<posix::PosixEnv>(options);
}

}  // namespace tavelin
