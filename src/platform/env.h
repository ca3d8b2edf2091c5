// Env: everything Tavelin asks of the operating system, behind one interface.
//
// All texts crossing this interface are Shift-JIS (code page 932) bytes, paths included;
// a realisation converts them to the system's own encoding at its boundary. A text that
// does not convert makes that one operation fail; it never throws.
//
// Two kinds of call, two kinds of answer. A question (does the file exist, what does the
// variable or the registry value hold) answers with a bool: false means "not there". An
// operation (read, write, create, delete, move, connect) answers with a Status: on failure
// its kind, and as its message the system's own text and code ("... (errno 13)", "...
// (error 32)"), empty when the system gave none. Callers add what they were doing.
//
// The process entry creates one realisation (for example NewPosixEnv()) and hands it
// down by reference. Tests wrap it in an EnvWrapper to fix the clock or to count sleeps.
#ifndef TAVELIN_PLATFORM_ENV_H_
#define TAVELIN_PLATFORM_ENV_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/date_time.h"
#include "platform/status.h"

namespace tavelin {

// A file open for writing. Other processes may read it meanwhile but not write it.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  virtual Status Append(std::string_view bytes) = 0;
  virtual Status Flush() = 0;
  // Flushes and makes what was written durable on disk.
  virtual Status Sync() = 0;
  // Flushes and closes; a failure when anything written could not be stored.
  virtual Status Close() = 0;
};

// One connected TCP stream.
class TcpConnection {
 public:
  virtual ~TcpConnection() = default;
  // Sends every byte; a failed status (kSendFailed, with the system's text) otherwise.
  virtual Status SendAll(std::string_view bytes) = 0;
  // Reads what is available, at most `max` bytes, waiting up to `timeout_ms` for the first
  // byte (negative: no limit). Returns the count read, 0 when the peer closed the
  // connection, or -1 on an error or when the time ran out; `why` (when given) then says
  // which: kTimedOut, or kReceiveFailed with the system's text.
  virtual long Receive(char* buffer, std::size_t max, int timeout_ms, Status* why) = 0;
};

// Held while the process is the only running copy; released by destruction or exit.
class InstanceLock {
 public:
  virtual ~InstanceLock() = default;
};

class Env {
 public:
  virtual ~Env() = default;

  // --- Time -------------------------------------------------------------------------
  // The current local date and time.
  virtual TDateTime Now() = 0;
  // The current date and time in UTC, for stamps that other programs compare across zones.
  virtual TDateTime NowUtc() = 0;
  virtual void SleepMs(int milliseconds) = 0;
  // A steady clock in microseconds for measuring intervals; it never goes back.
  virtual uint64_t NowMicros() = 0;
  // A random 32-bit number (start delay, Digest cnonce).
  virtual uint32_t Random32() = 0;

  // --- Process ----------------------------------------------------------------------
  // Looks up an environment variable; false when it is not set or its text has no
  // Shift-JIS form.
  virtual bool GetEnvironment(const std::string& name, std::string* value) = 0;
  // True when the variable is set, also when its text has no Shift-JIS form.
  virtual bool EnvironmentIsSet(const std::string& name) = 0;
  // Full path of the running program file.
  virtual std::string ProgramPath() = 0;

  // --- Files ------------------------------------------------------------------------
  // Failures are kFileError (kNoTempFolder for UserTempFolder) with the system's text.
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool FolderExists(const std::string& path) = 0;
  // The size in bytes of a plain file; false when it does not exist or cannot be examined.
  virtual bool GetFileSize(const std::string& path, uint64_t* size) = 0;
  virtual Status DeleteFile(const std::string& path) = 0;
  virtual Status RenameFile(const std::string& from, const std::string& to) = 0;
  // Creates one folder level; ok when it exists afterwards.
  virtual Status CreateFolder(const std::string& path) = 0;
  // Creates a folder with every missing parent; ok when it exists afterwards.
  virtual Status ForceFolders(const std::string& path) = 0;
  // Names (without folder) of the plain files in `folder` whose names end in `suffix`,
  // compared without regard to ASCII letter case, in the order the file system lists them.
  virtual Status ListFiles(const std::string& folder, const std::string& suffix,
                           std::vector<std::string>* names) = 0;
  // Reads a whole file. Fails when it does not exist or another program holds it open
  // for writing.
  virtual Status ReadFile(const std::string& path, std::string* contents) = 0;
  // Opens a file for writing, shared for reading only. `append` keeps the content and
  // writes at the end (creating the file when missing); otherwise the file is created or
  // truncated. `file` is set only on success.
  virtual Status NewWritableFile(const std::string& path, bool append,
                                 std::unique_ptr<WritableFile>* file) = 0;
  // Reads a whole file the way the system's profile functions do: also while another
  // program has it open for writing. Fails when it is missing or cannot be read.
  virtual Status ReadSharedFile(const std::string& path, std::string* contents) = 0;
  // Makes `path` hold exactly `bytes` in one step (a new file renamed over it): a reader
  // sees the old content or the new, never a part. Creates the file when missing and keeps
  // the permissions of the one it replaces. The INI files (profile_ini.h) go through these
  // two.
  virtual Status ReplaceFile(const std::string& path, std::string_view bytes) = 0;
  // Makes `to` hold what `from` holds now, replacing `to`: a hard link where the file system
  // allows one, else a copy. `from` stays as it is.
  virtual Status LinkOrCopyFile(const std::string& from, const std::string& to) = 0;
  // Makes the entries of `folder` (files created, renamed or deleted in it) durable on disk.
  virtual Status SyncFolder(const std::string& folder) = 0;
  // A folder for temporary files that only this user can use, with a trailing delimiter,
  // created when missing; kNoTempFolder when none can be had.
  virtual Status UserTempFolder(std::string* folder) = 0;
  // What the log should know about the folder UserTempFolder gives when it is not the
  // system's own (whose name has no Shift-JIS form): which folder is used and why. Empty
  // when there is nothing to say.
  virtual std::string TempFolderNote() { return std::string(); }
  // Called after each short sleep while a file operation waits for another program to let
  // go of a file, so the window can process its messages. Empty: nothing is called.
  // NOLINTNEXTLINE(performance-unnecessary-value-param): by value, so overrides move it in
  virtual void SetFileWaitHook(std::function<void()> /*hook*/) {}

  // --- Registry of the current user ---------------------------------------------------
  // Keys are paths such as "software\Morvik\Qadrel2\etc" (a leading backslash is
  // ignored); key and value names match without regard to case.
  virtual bool RegistryKeyExists(const std::string& key) = 0;
  // Where the registry is a file the user writes (POSIX), that file's path; empty where it
  // is the system's own.
  virtual std::string RegistryFile() { return std::string(); }
  virtual bool RegistryReadString(const std::string& key, const std::string& name,
                                  std::string* value) = 0;
  virtual bool RegistryReadInteger(const std::string& key, const std::string& name,
                                   uint32_t* value) = 0;
  // A write fails (kFileError) when the key cannot be made or the value not stored.
  virtual Status RegistryWriteString(const std::string& key, const std::string& name,
                                     const std::string& value) = 0;
  virtual Status RegistryWriteInteger(const std::string& key, const std::string& name,
                                      uint32_t value) = 0;

  // --- Machine and desktop ------------------------------------------------------------
  // Takes the single-instance lock `name` of this user. Null when it cannot be taken;
  // `why` (when given) then says kLockHeld when another process holds it, else
  // kLockFailed with what stood in the way.
  virtual std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::string& name,
                                                            Status* why) = 0;
  // Label and serial number of the system volume; false (label empty, serial 0) when
  // they cannot be had.
  virtual bool SystemVolume(std::string* label, uint32_t* serial) = 0;
  // Version-information entry of the program file at `program_path` ("FileVersion",
  // "ProductName", ...); false when it has none.
  virtual bool VersionEntry(const std::string& program_path, const std::string& entry,
                            std::string* value) = 0;
  // Asks the desktop to open `target` (a web address or file); the result is ignored.
  virtual void ShellOpen(const std::string& target, const std::string& parameters,
                         const std::string& folder) = 0;

  // --- Network ------------------------------------------------------------------------
  // Resolves `host` and connects; null on failure, with the reason in `why` when given:
  // kNameNotResolved, kRefused, kUnreachable, kTimedOut, kConnectFailed or
  // kInvalidArgument, the message holding the system's own text.
  virtual std::unique_ptr<TcpConnection> Connect(const std::string& host, int port,
                                                 Status* why) = 0;
};

// Forwards every call to another Env; derive from it to replace a few operations.
class EnvWrapper : public Env {
 public:
  explicit EnvWrapper(Env* target) : target_(target) {}
  Env* target() const { return target_; }

  TDateTime Now() override { return target_->Now(); }
  TDateTime NowUtc() override { return target_->NowUtc(); }
  void SleepMs(int ms) override { target_->SleepMs(ms); }
  uint64_t NowMicros() override { return target_->NowMicros(); }
  uint32_t Random32() override { return target_->Random32(); }
  bool GetEnvironment(const std::string& n, std::string* v) override {
    return target_->GetEnvironment(n, v);
  }
  bool EnvironmentIsSet(const std::string& n) override { return target_->EnvironmentIsSet(n); }
  std::string ProgramPath() override { return target_->ProgramPath(); }
  bool FileExists(const std::string& p) override { return target_->FileExists(p); }
  bool FolderExists(const std::string& p) override { return target_->FolderExists(p); }
  bool GetFileSize(const std::string& p, uint64_t* s) override {
    return target_->GetFileSize(p, s);
  }
  Status DeleteFile(const std::string& p) override { return target_->DeleteFile(p); }
  Status RenameFile(const std::string& f, const std::string& t) override {
    return target_->RenameFile(f, t);
  }
  Status CreateFolder(const std::string& p) override { return target_->CreateFolder(p); }
  Status ForceFolders(const std::string& p) override { return target_->ForceFolders(p); }
  Status ListFiles(const std::string& f, const std::string& s,
                   std::vector<std::string>* n) override {
    return target_->ListFiles(f, s, n);
  }
  Status ReadFile(const std::string& p, std::string* c) override { return target_->ReadFile(p, c); }
  Status NewWritableFile(const std::string& p, bool a, std::unique_ptr<WritableFile>* f) override {
    return target_->NewWritableFile(p, a, f);
  }
  Status ReadSharedFile(const std::string& p, std::string* c) override {
    return target_->ReadSharedFile(p, c);
  }
  Status ReplaceFile(const std::string& p, std::string_view b) override {
    return target_->ReplaceFile(p, b);
  }
  Status LinkOrCopyFile(const std::string& f, const std::string& t) override {
    return target_->LinkOrCopyFile(f, t);
  }
  Status SyncFolder(const std::string& f) override { return target_->SyncFolder(f); }
  Status UserTempFolder(std::string* f) override { return target_->UserTempFolder(f); }
  std::string TempFolderNote() override { return target_->TempFolderNote(); }
  void SetFileWaitHook(std::function<void()> h) override { target_->SetFileWaitHook(std::move(h)); }
  bool RegistryKeyExists(const std::string& k) override { return target_->RegistryKeyExists(k); }
  std::string RegistryFile() override { return target_->RegistryFile(); }
  bool RegistryReadString(const std::string& k, const std::string& n, std::string* v) override {
    return target_->RegistryReadString(k, n, v);
  }
  bool RegistryReadInteger(const std::string& k, const std::string& n, uint32_t* v) override {
    return target_->RegistryReadInteger(k, n, v);
  }
  Status RegistryWriteString(const std::string& k, const std::string& n,
                             const std::string& v) override {
    return target_->RegistryWriteString(k, n, v);
  }
  Status RegistryWriteInteger(const std::string& k, const std::string& n, uint32_t v) override {
    return target_->RegistryWriteInteger(k, n, v);
  }
  std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::string& n, Status* e) override {
    return target_->AcquireInstanceLock(n, e);
  }
  bool SystemVolume(std::string* l, uint32_t* s) override { return target_->SystemVolume(l, s); }
  bool VersionEntry(const std::string& p, const std::string& e, std::string* v) override {
    return target_->VersionEntry(p, e, v);
  }
  void ShellOpen(const std::string& t, const std::string& p, const std::string& f) override {
    target_->ShellOpen(t, p, f);
  }
  std::unique_ptr<TcpConnection> Connect(const std::string& h, int p, Status* e) override {
    return target_->Connect(h, p, e);
  }

 private:
  Env* target_;
};

}  // namespace tavelin

#endif  // TAVELIN_PLATFORM_ENV_H_
