#include "platform/posix/posix_env.h"

#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "platform/codepage.h"
#include "platform/notices.h"
#include "platform/path.h"
#include "platform/posix/posix_desktop.h"
#include "platform/posix/posix_files.h"
#include "platform/posix/posix_socket.h"
#include "platform/posix/registry_text.h"
#include "platform/profile_ini.h"

namespace tavelin {
namespace {

class PosixEnv : public Env {
 public:
  explicit PosixEnv(const PosixEnvOptions& options) : options_(options) {
    // A write to a pipe or socket nobody reads (standard error of a closed terminal or
    // pipeline, a display server that ended) fails as an error instead of ending the process.
    std::signal(SIGPIPE, SIG_IGN);
    timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    const uint64_t seed = static_cast<uint64_t>(now.tv_sec) * 1000000000ull +
                          static_cast<uint64_t>(now.tv_nsec) + static_cast<uint64_t>(::getpid());
    random_.seed(static_cast<std::mt19937::result_type>(seed ^ (seed >> 32)));
  }

  TDateTime Now() override {
    timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local;
    if (::localtime_r(&now.tv_sec, &local) == nullptr) return 0;
    // A leap second (tm_sec 60) is shown as the last second of its minute.
    return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
           EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59),
                      static_cast<int>(now.tv_nsec / 1000000));
  }

  void SleepMs(int milliseconds) override {
    if (milliseconds <= 0) {
      ::sched_yield();
      return;
    }
    timespec wait{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
  }

  uint64_t NowMicros() override {
    timespec now;
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000u +
           static_cast<uint64_t>(now.tv_nsec) / 1000u;
  }

  uint32_t Random32() override { return static_cast<uint32_t>(random_()); }

  bool GetEnvironment(const std::string& name, std::string* value) override {
    const char* found = SystemEnvironment(name);
    return found != nullptr && Utf8ToCp932(found, value);
  }

  bool EnvironmentIsSet(const std::string& name) override {
    return SystemEnvironment(name) != nullptr;
  }

  std::string ProgramPath() override {
    std::string link(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", link.data(), link.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= link.size()) return std::string();
    link.resize(static_cast<std::size_t>(n));
    std::string path;
    return Utf8ToCp932(link, &path) ? path : std::string();
  }

  bool FileExists(const std::string& path) override { return posix::FileExists(path); }
  bool FolderExists(const std::string& path) override { return posix::FolderExists(path); }
  bool GetFileSize(const std::string& path, uint64_t* size) override {
    return posix::GetFileSize(path, size);
  }
  bool DeleteFile(const std::string& path) override {
    return Kept(posix::DeleteFile(FreshErrno(path)));
  }
  bool RenameFile(const std::string& from, const std::string& to) override {
    return Kept(posix::RenameFile(FreshErrno(from), to));
  }
  bool CreateFolder(const std::string& path) override { return posix::CreateFolder(path); }
  bool ForceFolders(const std::string& path) override { return posix::ForceFolders(path); }
  bool ListFiles(const std::string& folder, const std::string& suffix,
                 std::vector<std::string>* names) override {
    return posix::ListFiles(folder, suffix, names);
  }
  bool ReadFile(const std::string& path, std::string* contents) override {
    return posix::ReadFile(path, contents);
  }
  std::unique_ptr<WritableFile> NewWritableFile(const std::string& path, bool append) override {
    std::unique_ptr<WritableFile> file = posix::NewWritableFile(FreshErrno(path), append);
    Kept(file != nullptr);
    return file;
  }

  bool LinkOrCopyFile(const std::string& from, const std::string& to) override {
    return Kept(posix::LinkOrCopyFile(FreshErrno(from), to));
  }
  // The system's text for the errno of the last delete, rename, create or link that failed.
  std::string LastFileError() override {
    if (last_file_errno_ == 0) return std::string();
    std::string text;
    // The C library's text is ASCII in the C locale; a text of another locale is left out.
    if (!Utf8ToCp932(std::strerror(last_file_errno_), &text)) text.clear();
    const std::string number = "errno " + std::to_string(last_file_errno_);
    return text.empty() ? number : text + " (" + number + ")";
  }
  bool SyncFolder(const std::string& folder) override { return posix::SyncFolder(folder); }

  // $XDG_RUNTIME_DIR/tavelin/ (the runtime folder is the user's own), else /tmp/tavelin-UID/.
  bool UserTempFolder(std::string* folder) override {
    const std::string runtime = NonEmptyEnvironment("XDG_RUNTIME_DIR");
    std::string system_path = runtime.empty()
                                  ? "/tmp/tavelin-" + std::to_string(::geteuid())
                                  : runtime + (runtime.back() == '/' ? "" : "/") + "tavelin";
    if (!posix::PrivateFolder(system_path)) return false;
    return Utf8ToCp932(system_path + "/", folder);
  }

  bool RegistryKeyExists(const std::string& key) override {
    std::string system_key;
    posix::RegistryText registry("");
    return Cp932ToUtf8(key, &system_key) && LoadRegistry(&registry) &&
           registry.KeyExists(system_key);
  }

  bool RegistryReadString(const std::string& key, const std::string& name,
                          std::string* value) override {
    std::string system_key, system_name, system_value;
    posix::RegistryText registry("");
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

  bool RegistryReadInteger(const std::string& key, const std::string& name,
                           uint32_t* value) override {
    std::string system_key, system_name;
    posix::RegistryText registry("");
    return Cp932ToUtf8(key, &system_key) && Cp932ToUtf8(name, &system_name) &&
           LoadRegistry(&registry) && registry.ReadDword(system_key, system_name, value);
  }

  bool RegistryWriteString(const std::string& key, const std::string& name,
                           const std::string& value) override {
    std::string system_key, system_name, system_value;
    posix::RegistryText registry("");
    return Cp932ToUtf8(key, &system_key) && Cp932ToUtf8(name, &system_name) &&
           Cp932ToUtf8(value, &system_value) && LoadRegistry(&registry) &&
           registry.WriteString(system_key, system_name, system_value) &&
           posix::ReplaceFileAtomically(RegistryPath(), registry.text(), true);
  }

  bool RegistryWriteInteger(const std::string& key, const std::string& name,
                            uint32_t value) override {
    std::string system_key, system_name;
    posix::RegistryText registry("");
    return Cp932ToUtf8(key, &system_key) && Cp932ToUtf8(name, &system_name) &&
           LoadRegistry(&registry) && registry.WriteDword(system_key, system_name, value) &&
           posix::ReplaceFileAtomically(RegistryPath(), registry.text(), true);
  }

  std::string ReadProfileString(const std::string& file, const std::string& section,
                                const std::string& key, const std::string& fallback) override {
    std::string system_path, text, value;
    if (posix::ToSystemPath(file, &system_path) && posix::ReadSystemFile(system_path, &text) &&
        FindProfileValue(text, section, key, &value)) {
      return value;
    }
    return fallback;
  }

  bool WriteProfileString(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& value) override {
    std::string system_path, text, updated;
    if (!posix::ToSystemPath(file, &system_path)) return false;
    // A file that exists but cannot be read is left alone rather than replaced.
    if (!posix::ReadSystemFile(system_path, &text) && posix::SystemPathExists(system_path)) {
      return false;
    }
    return SetProfileValue(text, section, key, value, &updated) &&
           posix::ReplaceFileAtomically(system_path, updated, false);
  }

  // The lock lies beside the registry file, in the user's own configuration folder: a
  // desktop session and a cron job of the same user meet there whatever their environment
  // (the session's runtime folder vanishes at logout).
  std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::string& name,
                                                    std::string* error) override {
    std::string ignored;
    if (error == nullptr) error = &ignored;
    error->clear();
    std::string system_name;
    if (!Cp932ToUtf8(name, &system_name)) {
      *error = "the lock name has no UTF-8 form";
      return nullptr;
    }
    std::string folder = options_.lock_folder;
    if (folder.empty()) {
      const std::string registry = RegistryPath();
      if (registry.empty()) {
        *error = "neither XDG_CONFIG_HOME nor HOME names a folder for the lock";
        return nullptr;
      }
      folder = registry.substr(0, registry.rfind('/'));
    }
    std::string system_error;
    std::unique_ptr<InstanceLock> lock =
        posix::AcquireInstanceLock(folder, system_name, &system_error);
    // The path in the message is the system's UTF-8; texts leaving Env are Shift-JIS.
    if (!system_error.empty() && !Utf8ToCp932(system_error, error)) {
      *error = "cannot take the lock " + name;
    }
    return lock;
  }

  bool SystemVolume(std::string* label, uint32_t* serial) override {
    label->clear();
    return posix::ReadMachineSerial(
        options_.machine_id_file.empty() ? "/etc/machine-id" : options_.machine_id_file, serial);
  }

  bool VersionEntry(const std::string& program_path, const std::string& entry,
                    std::string* value) override {
    const std::string name = ExtractFileName(program_path);
    return !name.empty() && name == ExtractFileName(ProgramPath()) &&
           posix::CompiledVersionEntry(entry, value);
  }

  // The parameters and the working folder have no use for `xdg-open`, which takes one
  // target; they are accepted for the interface's sake.
  void ShellOpen(const std::string& target, const std::string&, const std::string&) override {
    std::string system_target;
    if (Cp932ToUtf8(target, &system_target)) posix::StartDetachedOpen(system_target);
  }

  std::unique_ptr<TcpConnection> Connect(const std::string& host, int port, Status* why) override {
    std::string system_host;
    if (!Cp932ToUtf8(host, &system_host)) {
      if (why != nullptr) *why = Status(Status::Kind::kInvalidArgument, "invalid host name");
      return nullptr;
    }
    return posix::ConnectTcp(system_host, port, why);
  }

 private:
  // errno cleared before a file operation, so a failure without a system error keeps none.
  static const std::string& FreshErrno(const std::string& path) {
    errno = 0;
    return path;
  }
  bool Kept(bool ok) {
    if (!ok) last_file_errno_ = errno;
    return ok;
  }

  int last_file_errno_ = 0;
  // The raw (UTF-8) value of a variable named in Shift-JIS; null when it is not set or the
  // name cannot be one.
  static const char* SystemEnvironment(const std::string& name) {
    std::string system_name;
    if (name.empty() || !Cp932ToUtf8(name, &system_name) ||
        system_name.find_first_of(std::string_view("=\0", 2)) != std::string::npos) {
      return nullptr;
    }
    return ::getenv(system_name.c_str());
  }

  static std::string NonEmptyEnvironment(const char* name) {
    const char* value = ::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
  }

  // The registry file, looked up afresh each time so that a changed HOME is honoured.
  std::string RegistryPath() const {
    if (!options_.registry_file.empty()) return options_.registry_file;
    std::string config = NonEmptyEnvironment("XDG_CONFIG_HOME");
    if (config.empty()) {
      const std::string home = NonEmptyEnvironment("HOME");
      if (home.empty()) return std::string();
      config = home + "/.config";
    }
    return config + "/tavelin/registry.reg";
  }

  // A missing file is an empty registry; one that exists but cannot be read fails, so a
  // write never replaces it with a nearly empty file.
  bool LoadRegistry(posix::RegistryText* registry) {
    const std::string path = RegistryPath();
    if (path.empty()) return false;
    std::string text;
    if (!posix::ReadSystemFile(path, &text)) {
      if (posix::SystemPathExists(path)) return false;
      text.clear();
    }
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);  // byte-order mark
    *registry = posix::RegistryText(std::move(text));
    return true;
  }

 private:
  PosixEnvOptions options_;
  std::mt19937 random_;
};

}  // namespace

std::unique_ptr<Env> NewPosixEnv(const PosixEnvOptions& options) {
  return std::make_unique<PosixEnv>(options);
}

}  // namespace tavelin
