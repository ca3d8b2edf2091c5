// The Win32 Env's class. Its methods are defined beside the system calls they make: the
// files and folders in win32_files.cc, everything else in win32_env.cc. Only those two files
// include this header; everyone else sees Env and NewWin32Env() (win32_env.h). It names no
// system type, so it does not need <windows.h>.
#ifndef TAVELIN_PLATFORM_WIN32_WIN32_ENV_IMPL_H_
#define TAVELIN_PLATFORM_WIN32_WIN32_ENV_IMPL_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"
#include "platform/win32/win32_env.h"

namespace tavelin::win32 {

class Win32Env final : public Env {
 public:
  explicit Win32Env(const Win32EnvOptions& options);
  ~Win32Env() override;

  // win32_env.cc: time, process, the user temp folder, registry, lock, machine, network.
  TDateTime Now() override;
  TDateTime NowUtc() override;
  // Sleep(0) gives up the rest of the time slice.
  void SleepMs(int milliseconds) override;
  uint64_t NowMicros() override;
  uint32_t Random32() override;
  bool GetEnvironment(const std::string& name, std::string* value) override;
  bool EnvironmentIsSet(const std::string& name) override;
  std::string ProgramPath() override;

  // win32_files.cc: files and folders, with the retries for files held open by other
  // programs (win32_files.h).
  bool FileExists(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  bool GetFileSize(const std::string& path, uint64_t* size) override;
  Status DeleteFile(const std::string& path) override;
  // Replaces an existing `to`; the move is written through before it returns.
  Status RenameFile(const std::string& from, const std::string& to) override;
  Status CreateFolder(const std::string& path) override;
  Status ForceFolders(const std::string& path) override;
  Status ListFiles(const std::string& folder, const std::string& suffix,
                   std::vector<std::string>* names) override;
  Status ReadFile(const std::string& path, std::string* contents) override;
  Status NewWritableFile(const std::string& path, bool append,
                         std::unique_ptr<WritableFile>* writable) override;
  // INI files are read and replaced by Tavelin's own byte-exact code through these two (the
  // system's profile functions convert through the ANSI code page and would turn Japanese
  // text into '?').
  Status ReadSharedFile(const std::string& path, std::string* contents) override;
  Status ReplaceFile(const std::string& path, std::string_view bytes) override;
  Status LinkOrCopyFile(const std::string& from, const std::string& to) override;
  // Called after each sleep between two tries on a file another program holds.
  void SetFileWaitHook(std::function<void()> hook) override;
  // NTFS journals its folder entries, and every rename here is written through, so there
  // is nothing left to flush; the folder only has to be there.
  Status SyncFolder(const std::string& folder) override;

  // The user's own temp folder (GetTempPathW answers TMP, TEMP, USERPROFILE, in that
  // order), created when missing; where Shift-JIS cannot name it, its short name or a private
  // folder (win32_temp.h), with a note for the log.
  Status UserTempFolder(std::string* folder) override;
  std::string TempFolderNote() override { return temp_note_; }

  bool RegistryKeyExists(const std::string& key) override;
  bool RegistryReadString(const std::string& key, const std::string& name,
                          std::string* value) override;
  bool RegistryReadInteger(const std::string& key, const std::string& name,
                           uint32_t* value) override;
  Status RegistryWriteString(const std::string& key, const std::string& name,
                             const std::string& value) override;
  Status RegistryWriteInteger(const std::string& key, const std::string& name,
                              uint32_t value) override;

  std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::string& name, Status* why) override;
  bool SystemVolume(std::string* label, uint32_t* serial) override;
  bool VersionEntry(const std::string& program_path, const std::string& entry,
                    std::string* value) override;
  void ShellOpen(const std::string& target, const std::string& parameters,
                 const std::string& folder) override;
  std::unique_ptr<TcpConnection> Connect(const std::string& host, int port, Status* why) override;

 private:
  // The key as the system sees it: below options_.registry_base when one is set.
  std::string Key(const std::string& key) const;
  static uint64_t PerformanceTicks();

  Win32EnvOptions options_;
  std::string temp_note_;
  uint64_t ticks_per_second_ = 0;
  std::mt19937 random_;
};

}  // namespace tavelin::win32

#endif  // TAVELIN_PLATFORM_WIN32_WIN32_ENV_IMPL_H_
