// Files that other programs hold open: the Win32 Env's retries, driven through the seam
// below its system calls (scripted failures, a clock that only sleeps move) and through
// handles this process holds itself, and the long path and temp folder forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/path.h"
#include "platform/profile_ini.h"
#include "platform/win32/win32_env.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_temp.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/windows_api.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

using win32::FileCall;

constexpr unsigned long kSharingViolation = 32;
constexpr unsigned long kAccessDenied = 5;
constexpr unsigned long kDeletePending = 303;
constexpr unsigned long kDiskFull = 112;

// Scripts the seam: the next `count` calls of `call` fail with `error`; time moves only by
// the retries' sleeps, and `at_ms` runs once the clock reaches its time.
class ScriptedSeam {
 public:
  ScriptedSeam() {
    win32::FileCallSeam seam;
    seam.fault = [this](FileCall call, const std::wstring&) -> unsigned long {
      if (call != call_ || remaining_ == 0) return 0;
      if (remaining_ > 0) --remaining_;
      return error_;
    };
    seam.now_ms = [this] { return now_ms_; };
    seam.sleep_ms = [this](int ms) {
      sleeps.push_back(ms);
      now_ms_ += static_cast<uint64_t>(ms);
      if (at_ms_action && now_ms_ >= at_ms) {
        auto action = std::move(at_ms_action);
        at_ms_action = nullptr;
        action();
      }
    };
    win32::SetFileCallSeam(std::move(seam));
  }
  ~ScriptedSeam() { win32::SetFileCallSeam(win32::FileCallSeam()); }

  // count < 0: every call.
  void Fail(FileCall call, unsigned long error, int count) {
    call_ = call;
    error_ = error;
    remaining_ = count;
  }
  uint64_t now_ms() const { return now_ms_; }
  int remaining() const { return remaining_; }

  std::vector<int> sleeps;
  uint64_t at_ms = 0;
  std::function<void()> at_ms_action;

 private:
  FileCall call_ = FileCall::kCreate;
  unsigned long error_ = 0;
  int remaining_ = 0;
  uint64_t now_ms_ = 0;
};

class BusyFilesTest : public ::testing::Test {
 protected:
  // The names in the test folder, so staged names left behind show.
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    env_->ListFiles(dir_.path(), "", &names);
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir_;
  std::unique_ptr<Env> env_ = NewWin32Env();
  ScriptedSeam seam_;
};

// Each step that changes a name or a content, and the system call that fails under it.
struct Step {
  const char* what;
  FileCall call;
  // Runs the step on "a" (content "old"; "b" holds "other").
  std::function<Status(Env&, const TempDir&)> run;
  // What "b" (or "a" where b is not involved) must hold afterwards.
  const char* file;
  const char* expected;
};

std::vector<Step> Steps() {
  return {
      {"delete", FileCall::kDelete,
       [](Env& env, const TempDir& dir) { return env.DeleteFile(dir.File("a")); }, "a", nullptr},
      {"rename", FileCall::kMove,
       [](Env& env, const TempDir& dir) { return env.RenameFile(dir.File("a"), dir.File("b")); },
       "b", "old"},
      {"create", FileCall::kCreate,
       [](Env& env, const TempDir& dir) {
         std::unique_ptr<WritableFile> file;
         Status done = env.NewWritableFile(dir.File("a"), false, &file);
         if (done.ok()) done = file->Append("new");
         return done.ok() ? file->Close() : done;
       },
       "a", "new"},
      {"link", FileCall::kHardLink,
       [](Env& env, const TempDir& dir) {
         return env.LinkOrCopyFile(dir.File("a"), dir.File("b"));
       },
       "b", "old"},
      {"link, its move", FileCall::kMove,
       [](Env& env, const TempDir& dir) {
         return env.LinkOrCopyFile(dir.File("a"), dir.File("b"));
       },
       "b", "old"},
      {"INI replace", FileCall::kMove,
       [](Env& env, const TempDir& dir) {
         return WriteProfileString(env, dir.File("b"), "S", "k", "v");
       },
       "b", "[S]\r\nk=v\r\n"},
  };
}

TEST_F(BusyFilesTest, HeldStepsAreRetriedWithGrowingSleepsUntilTheyPass) {
  for (const unsigned long error : {kSharingViolation, kAccessDenied, kDeletePending}) {
    for (const Step& step : Steps()) {
      SCOPED_TRACE(std::string(step.what) + ", error " + std::to_string(error));
      WriteBytes(dir_.File("a"), "old");
      WriteBytes(dir_.File("b"), "other");
      seam_.sleeps.clear();
      seam_.Fail(step.call, error, 5);
      ASSERT_TRUE(step.run(*env_, dir_).ok());
      // A hard link is made once; where the file system refuses, the copy follows.
      EXPECT_EQ(seam_.remaining(), step.call == FileCall::kHardLink ? 4 : 0);
      // A hard link that fails for good is copied instead, without waiting.
      if (step.call != FileCall::kHardLink) {
        EXPECT_EQ(seam_.sleeps, (std::vector<int>{1, 2, 4, 8, 16}));
      }
      if (step.expected == nullptr) {
        EXPECT_FALSE(env_->FileExists(dir_.File(step.file)));
      } else {
        EXPECT_TRUE(ReadBytes(dir_.File(step.file)).ends_with(step.expected))
            << ReadBytes(dir_.File(step.file));
      }
      for (const std::string& name : Names()) EXPECT_TRUE(name == "a" || name == "b") << name;
      env_->DeleteFile(dir_.File("a"));
      env_->DeleteFile(dir_.File("b"));
    }
  }
}

TEST_F(BusyFilesTest, AStepHeldForGoodFailsAfterThreeSecondsAndLeavesNoStagedName) {
  for (const Step& step : Steps()) {
    SCOPED_TRACE(step.what);
    WriteBytes(dir_.File("a"), "old");
    WriteBytes(dir_.File("b"), "other");
    seam_.sleeps.clear();
    const uint64_t start = seam_.now_ms();
    seam_.Fail(step.call, kSharingViolation, -1);
    const Status done = step.run(*env_, dir_);
    seam_.Fail(step.call, 0, 0);
    if (step.call == FileCall::kHardLink) {
      EXPECT_TRUE(done.ok());  // the copy took its place
      continue;
    }
    EXPECT_FALSE(done.ok());
    EXPECT_GE(seam_.now_ms() - start, static_cast<uint64_t>(win32::kBusyRetryMs));
    EXPECT_LE(seam_.now_ms() - start, static_cast<uint64_t>(win32::kBusyRetryMs) * 3);
    ASSERT_FALSE(seam_.sleeps.empty());
    EXPECT_EQ(seam_.sleeps.back(), win32::kBusyMaxSleepMs);
    EXPECT_NE(done.message().find("(error 32)"), std::string::npos) << done.message();
    EXPECT_EQ(Names(), (std::vector<std::string>{"a", "b"}));
    env_->DeleteFile(dir_.File("a"));
    env_->DeleteFile(dir_.File("b"));
  }
}

TEST_F(BusyFilesTest, FailuresThatNoWaitMendAreNotRetried) {
  WriteBytes(dir_.File("a"), "old");
  seam_.Fail(FileCall::kDelete, kDiskFull, 1);
  EXPECT_FALSE(env_->DeleteFile(dir_.File("a")).ok());
  const Status missing = env_->DeleteFile(dir_.File("missing"));
  EXPECT_FALSE(missing.ok());
  EXPECT_NE(missing.message().find("(error 2)"), std::string::npos);  // not found
  // Access denied by a folder or a read-only file is the system's answer, not a holder's.
  env_->CreateFolder(dir_.File("folder"));
  EXPECT_FALSE(env_->DeleteFile(dir_.File("folder")).ok());
  EXPECT_FALSE(OpenForWriting(*env_, dir_.File("folder"), false));
  std::wstring read_only;
  ASSERT_TRUE(win32::ToSystemPath(dir_.File("a"), &read_only));
  ASSERT_TRUE(::SetFileAttributesW(read_only.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(env_->DeleteFile(dir_.File("a")).ok());
  EXPECT_FALSE(env_->RenameFile(dir_.File("missing"), dir_.File("a")).ok());
  ::SetFileAttributesW(read_only.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(seam_.sleeps.empty());
  EXPECT_EQ(ReadBytes(dir_.File("a")), "old");
}

// A reader that shares reading only, as the host or a virus scanner opens a file.
class Reader {
 public:
  explicit Reader(const std::string& path) {
    std::wstring system_path;
    if (win32::ToSystemPath(path, &system_path)) {
      handle_ = ::CreateFileW(system_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
  }
  ~Reader() { Close(); }
  bool holds() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Close() {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Real sharing: this process holds "a" as such a reader and lets go once 2.5 s have passed
// on the retries' clock.
TEST_F(BusyFilesTest, AFileHeldForTwoAndAHalfSecondsIsReplacedDeletedAndRewritten) {
  int yields = 0;
  env_->SetFileWaitHook([&] { ++yields; });
  const struct {
    const char* what;
    std::function<bool()> run;
    const char* expected;  // of "a"; null: gone
    bool waits;
  } kCases[] = {
      {"rewrite",
       [&] {
         auto file = OpenForWriting(*env_, dir_.File("a"), false);
         return file && file->Append("new").ok() && file->Close().ok();
       },
       "new", true},
      {"delete", [&] { return env_->DeleteFile(dir_.File("a")).ok(); }, nullptr, true},
      {"replace", [&] { return env_->RenameFile(dir_.File("b"), dir_.File("a")).ok(); }, "other",
       true},
      {"back-up", [&] { return env_->LinkOrCopyFile(dir_.File("b"), dir_.File("a")).ok(); },
       "other", true},
      // A link to the held file could be neither moved nor removed: it is copied at once.
      {"back-up of it", [&] { return env_->LinkOrCopyFile(dir_.File("a"), dir_.File("b")).ok(); },
       "old", false},
      {"INI", [&] { return WriteProfileString(*env_, dir_.File("a"), "S", "k", "v").ok(); },
       "[S]\r\nk=v\r\n", true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    WriteBytes(dir_.File("a"), "old");
    WriteBytes(dir_.File("b"), "other");
    Reader holder(dir_.File("a"));
    ASSERT_TRUE(holder.holds());
    seam_.at_ms = seam_.now_ms() + 2500;
    seam_.at_ms_action = [&] { holder.Close(); };
    yields = 0;
    ASSERT_TRUE(c.run());
    EXPECT_EQ(!seam_.at_ms_action, c.waits);
    EXPECT_EQ(yields > 0, c.waits);
    seam_.at_ms_action = nullptr;
    holder.Close();
    if (c.expected == nullptr) {
      EXPECT_FALSE(env_->FileExists(dir_.File("a")));
    } else {
      EXPECT_TRUE(ReadBytes(dir_.File("a")).ends_with(c.expected)) << ReadBytes(dir_.File("a"));
    }
    if (std::string(c.what) == "back-up of it") {
      EXPECT_EQ(ReadBytes(dir_.File("b")), "old");
    }
    for (const std::string& name : Names()) EXPECT_TRUE(name == "a" || name == "b") << name;
    env_->DeleteFile(dir_.File("a"));
    env_->DeleteFile(dir_.File("b"));
  }
  env_->SetFileWaitHook(nullptr);
}

TEST_F(BusyFilesTest, AStagedNameLeftByAnEarlierRunNeverBlocksTheSave) {
  const std::string pid = std::to_string(::GetCurrentProcessId());
  WriteBytes(dir_.File("a"), "old");
  WriteBytes(dir_.File("b"), "other");
  // Leftovers under this process's names; one of them still held by someone.
  WriteBytes(dir_.File("b.link" + pid), "stale");
  WriteBytes(dir_.File("a.new" + pid), "stale");
  std::unique_ptr<WritableFile> held = OpenForWriting(*env_, dir_.File("a.new" + pid), true);
  ASSERT_TRUE(held);
  ASSERT_TRUE(env_->LinkOrCopyFile(dir_.File("a"), dir_.File("b")).ok());
  EXPECT_EQ(ReadBytes(dir_.File("b")), "old");
  EXPECT_FALSE(env_->FileExists(dir_.File("b.link" + pid)));
  ASSERT_TRUE(WriteProfileString(*env_, dir_.File("a"), "S", "k", "v").ok());
  EXPECT_EQ(ReadBytes(dir_.File("a")), "old\r\n[S]\r\nk=v\r\n");
  held.reset();
  EXPECT_EQ(Names(), (std::vector<std::string>{"a", "a.new" + pid, "b"}));
}

TEST(Win32LongPathTest, LongAbsolutePathsTakeTheLongForm) {
  const std::wstring long_part(250, L'x');
  const struct {
    std::wstring in;
    std::wstring out;
  } kCases[] = {
      {L"C:\\short\\a.tvpi", L"C:\\short\\a.tvpi"},
      {L"C:\\" + long_part, L"\\\\?\\C:\\" + long_part},
      {L"C:/" + long_part + L"/./b/../a.tvpi", L"\\\\?\\C:\\" + long_part + L"\\a.tvpi"},
      {L"\\\\server\\share\\" + long_part, L"\\\\?\\UNC\\server\\share\\" + long_part},
      {L"\\\\?\\C:\\" + long_part, L"\\\\?\\C:\\" + long_part},
      {L"relative\\" + long_part, L"relative\\" + long_part},
  };
  for (const auto& c : kCases) EXPECT_EQ(win32::LongPathForm(c.in), c.out);
  EXPECT_EQ(win32::RootLength(L"\\\\?\\C:\\x"), 7u);
  EXPECT_EQ(win32::RootLength(L"\\\\?\\UNC\\server\\share\\x"), 21u);
}

TEST_F(BusyFilesTest, AProgramFileUnderAFolderOf250CharactersIsWritten) {
  std::string folder = dir_.path();
  while (folder.size() < 250) folder += "a-folder-of-many-characters\\";
  folder += "RD-X5\\";
  ASSERT_TRUE(env_->ForceFolders(folder).ok());
  EXPECT_TRUE(env_->FolderExists(folder));
  const std::string file = folder + "202403131900CH 1.tvpi";
  auto writer = OpenForWriting(*env_, file, false);
  ASSERT_TRUE(writer && writer->Append("program").ok() && writer->Close().ok());
  std::string contents;
  ASSERT_TRUE(env_->ReadFile(file, &contents).ok());
  EXPECT_EQ(contents, "program");
  std::vector<std::string> names;
  ASSERT_TRUE(env_->ListFiles(folder, ".tvpi", &names).ok());
  EXPECT_EQ(names, (std::vector<std::string>{"202403131900CH 1.tvpi"}));
  ASSERT_TRUE(env_->LinkOrCopyFile(file, folder + "kept.tvpi").ok());
  ASSERT_TRUE(env_->RenameFile(folder + "kept.tvpi", file).ok());
  EXPECT_TRUE(env_->DeleteFile(file).ok());
  EXPECT_FALSE(env_->FileExists(file));
}

TEST(Win32TempFolderTest, AFolderThatShiftJisCannotNameIsReplacedAndSaysSo) {
  TempDir dir;
  std::wstring base;
  ASSERT_TRUE(win32::ToSystemPath(dir.path(), &base));
  win32::TempFolderChoice choice;
  ASSERT_TRUE(win32::ChooseTempFolder(base + L"予約", &choice));
  EXPECT_EQ(choice.folder, dir.path() + "予約\\");
  EXPECT_EQ(choice.note, "");

  for (const wchar_t* name : {L"Jos\u00e9", L"\u9f99\U00020BB7\u91ce"}) {
    ASSERT_TRUE(win32::ChooseTempFolder(base + name + L"\\Temp", &choice));
    SCOPED_TRACE(choice.folder);
    EXPECT_EQ(choice.folder.back(), '\\');
    EXPECT_NE(choice.note.find(choice.folder), std::string::npos);
    std::unique_ptr<Env> env = NewWin32Env();
    EXPECT_TRUE(env->FolderExists(choice.folder));
    // A file made in it through its Shift-JIS name is there.
    WriteBytes(choice.folder + "rdprogram.html", "page");
    EXPECT_EQ(ReadBytes(choice.folder + "rdprogram.html"), "page");
    env->DeleteFile(choice.folder + "rdprogram.html");
  }
  std::wstring private_folder;
  ASSERT_TRUE(win32::PrivateTempFolder(&private_folder));
  EXPECT_NE(private_folder.find(L"\\Tavelin\\Temp\\S-1-"), std::wstring::npos);
}

}  // namespace
}  // namespace tavelin
