// Helpers shared by every suite: a temporary folder that removes itself, and an Env whose
// clock stands still until a sleep moves it, so waits of minutes take no real time.
#ifndef TAVELIN_TESTS_SUPPORT_TEST_ENV_H_
#define TAVELIN_TESTS_SUPPORT_TEST_ENV_H_

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/env.h"

namespace tavelin::testing {

// A fresh folder under the system's temp folder, removed with everything in it on
// destruction. path() ends with the platform's delimiter.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + name.
  std::string File(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

// The system's Env for tests: on POSIX with its registry file, lock folder and machine id
// inside `dir`; on Windows the plain Win32 Env (registry and mutex of the Wine prefix).
std::unique_ptr<Env> NewIsolatedEnv(const TempDir& dir);
// The system's Env as the program uses it.
std::unique_ptr<Env> NewSystemEnv();

// The system's Env made by NewIsolatedEnv(dir), a clock fixed
// at `now`, sleeps that only advance that clock, and a fixed random sequence.
class FakeEnv : public EnvWrapper {
 public:
  explicit FakeEnv(const TempDir& dir, TDateTime now = 46000.5);
  ~FakeEnv() override;

  TDateTime Now() override { return now_; }
  void SleepMs(int ms) override;
  uint32_t Random32() override { return next_random_++; }
  // "temp" answers the folder given to set_temp_folder, once set; the rest is real.
  bool GetEnvironment(const std::string& name, std::string* value) override;

  void set_now(TDateTime now) { now_ = now; }
  // Points the program's temp folder (the variable "temp") at `folder`.
  void set_temp_folder(std::string folder) { temp_folder_ = std::move(folder); }
  // Total milliseconds slept so far, and the number of sleep calls.
  long long slept_ms() const { return slept_ms_; }
  int sleep_calls() const { return sleep_calls_; }

 private:
  std::unique_ptr<Env> real_;
  TDateTime now_;
  long long slept_ms_ = 0;
  int sleep_calls_ = 0;
  uint32_t next_random_ = 0x12345678;
  std::optional<std::string> temp_folder_;
};

// The file `env` opens for writing at `path`; null when it cannot be opened.
inline std::unique_ptr<WritableFile> OpenForWriting(Env& env, const std::string& path,
                                                    bool append) {
  std::unique_ptr<WritableFile> file;
  return env.NewWritableFile(path, append, &file).ok() ? std::move(file) : nullptr;
}

// Creates real files whose writes fail: the disk that fills up half-way.
class FullDiskEnv : public EnvWrapper {
 public:
  explicit FullDiskEnv(Env* target) : EnvWrapper(target) {}
  Status NewWritableFile(const std::string& path, bool append,
                         std::unique_ptr<WritableFile>* file) override {
    std::unique_ptr<WritableFile> real;
    Status opened = EnvWrapper::NewWritableFile(path, append, &real);
    if (opened.ok()) *file = std::make_unique<FailingFile>(std::move(real));
    return opened;
  }

 private:
  class FailingFile : public WritableFile {
   public:
    explicit FailingFile(std::unique_ptr<WritableFile> real) : real_(std::move(real)) {}
    Status Append(std::string_view bytes) override {
      real_->Append(bytes.substr(0, bytes.size() / 2));
      return Status(Status::Kind::kFileError, "No space left on device (errno 28)");
    }
    Status Flush() override { return real_->Flush(); }
    Status Sync() override { return real_->Sync(); }
    Status Close() override { return real_->Close(); }

   private:
    std::unique_ptr<WritableFile> real_;
  };
};

// The file-system path of a test path: on POSIX the bytes as they are (tests name files in
// UTF-8 or in raw bytes on purpose); on Windows a Shift-JIS path, converted as the Env does.
std::filesystem::path SystemPath(const std::string& path);

// Writes `bytes` to `path`, replacing it; fails the current test when it cannot.
void WriteBytes(const std::string& path, const std::string& bytes);
// The whole content of `path`; empty when it cannot be read.
std::string ReadBytes(const std::string& path);
// The UTF-8 text of Shift-JIS bytes, for readable assertion messages.
std::string Utf8(const std::string& cp932);

}  // namespace tavelin::testing

// The helpers every suite uses, by their short names.
namespace tavelin {
using testing::FakeEnv;
using testing::FullDiskEnv;
using testing::OpenForWriting;
using testing::ReadBytes;
using testing::TempDir;
using testing::Utf8;
using testing::WriteBytes;
}  // namespace tavelin

#endif  // TAVELIN_TESTS_SUPPORT_TEST_ENV_H_
