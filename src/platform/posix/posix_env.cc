#include "platform/posix/posix_env.h"

#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <random>

#include "platform/codepage.h"
#include "platform/posix/posix_files.h"

namespace tavelin {
namespace {

class PosixEnv : public Env {
 public:
  explicit PosixEnv(const PosixEnvOptions& options) : options_(options) {
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

  uint32_t Random32() override { return static_cast<uint32_t>(random_()); }

  bool GetEnvironment(const std::string& name, std::string* value) override {
    std::string system_name;
    if (name.empty() || !Cp932ToUtf8(name, &system_name) ||
        system_name.find_first_of(std::string_view("=\0", 2)) != std::string::npos) {
      return false;
    }
    const char* found = ::getenv(system_name.c_str());
    return found != nullptr && Utf8ToCp932(found, value);
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
  bool DeleteFile(const std::string& path) override { return posix::DeleteFile(path); }
  bool RenameFile(const std::string& from, const std::string& to) override {
    return posix::RenameFile(from, to);
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
    return posix::NewWritableFile(path, append);
  }

  // Not yet realised on this platform; each reports failure.
  bool RegistryKeyExists(const std::string&) override { return false; }
  bool RegistryReadString(const std::string&, const std::string&, std::string*) override {
    return false;
  }
  bool RegistryReadInteger(const std::string&, const std::string&, uint32_t*) override {
    return false;
  }
  bool RegistryWriteString(const std::string&, const std::string&, const std::string&) override {
    return false;
  }
  bool RegistryWriteInteger(const std::string&, const std::string&, uint32_t) override {
    return false;
  }
  std::string ReadProfileString(const std::string&, const std::string&, const std::string&,
                                const std::string& fallback) override {
    return fallback;
  }
  bool WriteProfileString(const std::string&, const std::string&, const std::string&,
                          const std::string&) override {
    return false;
  }
  std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::string&) override { return nullptr; }
  bool SystemVolume(std::string* label, uint32_t* serial) override {
    label->clear();
    *serial = 0;
    return false;
  }
  bool VersionEntry(const std::string&, const std::string&, std::string*) override { return false; }
  void ShellOpen(const std::string&, const std::string&, const std::string&) override {}
  std::unique_ptr<TcpConnection> Connect(const std::string&, int, std::string* error) override {
    if (error != nullptr) *error = "not available";
    return nullptr;
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
