// The POSIX Env's class. Its methods are defined beside the system calls they make: the
// files and folders in posix_files.cc, everything else in posix_env.cc. Only those two files
// include this header; everyone else sees Env and NewPosixEnv() (posix_env.h).
#ifndef TAVELIN_PLATFORM_POSIX_POSIX_ENV_IMPL_H_
#define TAVELIN_PLATFORM_POSIX_POSIX_ENV_IMPL_H_

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"
#include "platform/posix/posix_env.h"
#include "platform/posix/registry_text.h"

namespace tavelin::posix {

class PosixEnv final : public Env {
 public:
  explicit PosixEnv(const PosixEnvOptions& options);

  // posix_env.cc: time, process, the user temp folder, registry, lock, machine, network.
  TDateTime Now() override;
  TDateTime NowUtc() override;
  void SleepMs(int milliseconds) override;
  uint64_t NowMicros() override;
  uint32_t Random32() override;
  bool GetEnvironment(const std::string& name, std::string* value) override;
  bool EnvironmentIsSet(const std::string& name) override;
  std::string ProgramPath() override;

  // posix_files.cc: files and folders.
  bool FileExists(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  bool GetFileSize(const std::string& path, uint64_t* size) override;
  Status DeleteFile(const std::string& path) override;
  Status RenameFile(const std::string& from, const std::string& to) override;
  Status CreateFolder(const std::string& path) override;
  Status ForceFolders(const std::string& path) override;
  Status ListFiles(const std::string& folder, const std::string& suffix,
                   std::vector<std::string>* names) override;
  Status ReadFile(const std::string& path, std::string* contents) override;
  Status NewWritableFile(const std::string& path, bool append,
                         std::unique_ptr<WritableFile>* file) override;
  Status ReadSharedFile(const std::string& path, std::string* contents) override;
  Status ReplaceFile(const std::string& path, std::string_view bytes) override;
  Status LinkOrCopyFile(const std::string& from, const std::string& to) override;
  Status SyncFolder(const std::string& folder) override;

  // $XDG_RUNTIME_DIR/tavelin/ (the runtime folder is the user's own), else /tmp/tavelin-UID/.
  Status UserTempFolder(std::string* folder) override;
  bool RegistryKeyExists(const std::string& key) override;
  std::string RegistryFile() override;
  bool RegistryReadString(const std::string& key, const std::string& name,
                          std::string* value) override;
  bool RegistryReadInteger(const std::string& key, const std::string& name,
                           uint32_t* value) override;
  Status RegistryWriteString(const std::string& key, const std::string& name,
                             const std::string& value) override;
  Status RegistryWriteInteger(const std::string& key, const std::string& name,
                              uint32_t value) override;

  // The lock lies beside the registry file, in the user's own configuration folder: a
  // desktop session and a cron job of the same user meet there whatever their environment
  // (the session's runtime folder vanishes at logout).
  std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::string& name, Status* why) override;
  bool SystemVolume(std::string* label, uint32_t* serial) override;
  bool VersionEntry(const std::string& program_path, const std::string& entry,
                    std::string* value) override;

  // The parameters and the working folder have no use for `xdg-open`, which takes one
  // target; they are accepted for the interface's sake.
  void ShellOpen(const std::string& target, const std::string&, const std::string&) override;
  std::unique_ptr<TcpConnection> Connect(const std::string& host, int port, Status* why) override;

 private:
  // The raw (UTF-8) value of a variable named in Shift-JIS; null when it is not set or the
  // name cannot be one.
  static const char* SystemEnvironment(const std::string& name);
  static std::string NonEmptyEnvironment(const char* name);

  // The registry file, looked up afresh each time so that a changed HOME is honoured.
  std::string RegistryPath() const;

  // A missing file is an empty registry; one that exists but cannot be read fails, so a
  // write never replaces it with a nearly empty file.
  bool LoadRegistry(RegistryText* registry);

 private:
  PosixEnvOptions options_;
  std::mt19937 random_;
};

}  // namespace tavelin::posix

#endif  // TAVELIN_PLATFORM_POSIX_POSIX_ENV_IMPL_H_
