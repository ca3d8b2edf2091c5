#include "platform/file_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>

#include "platform/codepage.h"
#include "platform/path.h"
#include "platform/path_rules.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

constexpr long long kMinuteMs = 60000;

// Counts file attempts and answers environment look-ups from a map instead of the process.
class CountingEnv : public FakeEnv {
 public:
  using FakeEnv::FakeEnv;

  Status NewWritableFile(const std::string& path, bool append,
                         std::unique_ptr<WritableFile>* file) override {
    ++write_attempts;
    return FakeEnv::NewWritableFile(path, append, file);
  }
  Status ReadFile(const std::string& path, std::string* contents) override {
    ++read_attempts;
    return FakeEnv::ReadFile(path, contents);
  }
  bool GetEnvironment(const std::string& name, std::string* value) override {
    const auto it = Find(name);
    if (it == variables.end() || it->second == kNoShiftJisForm) return false;
    *value = it->second;
    return true;
  }
  bool EnvironmentIsSet(const std::string& name) override { return Find(name) != variables.end(); }
  Status UserTempFolder(std::string* folder) override {
    *folder = user_folder;
    return user_folder.empty() ? Status(Status::Kind::kNoTempFolder, std::string()) : Status::OK();
  }
  std::string TempFolderNote() override { return note; }
  // Names match as the system matches them (the exact spelling first).
  std::map<std::string, std::string>::const_iterator Find(const std::string& name) const {
    const auto exact = variables.find(name);
    if (exact != variables.end() || !EnvironmentNamesIgnoreCase()) return exact;
    return std::find_if(variables.begin(), variables.end(), [&](const auto& variable) {
      return SameTextIgnoringAsciiCase(variable.first, name);
    });
  }

  // A value that stands for a text without a Shift-JIS form.
  static constexpr const char* kNoShiftJisForm = "\xC3\xA9";
  int write_attempts = 0;
  int read_attempts = 0;
  std::map<std::string, std::string> variables;
  std::string user_folder = "/run/user/1000/tavelin/";
  std::string note;  // what the system's replacement folder says of itself
};

TEST(MinuteWaitTest, SleepsInTenthsOfASecondAndPumpsAfterEach) {
  const struct {
    double minutes;
    long long min_ms;
  } cases[] = {{1.0, kMinuteMs}, {0.5, kMinuteMs / 2}, {0.0, 0}, {-1.0, 0}};
  for (const auto& c : cases) {
    TempDir dir;
    FakeEnv env(dir);
    const TDateTime start = env.Now();
    int pumps = 0;
    MinuteWait(env, c.minutes, [&] { ++pumps; });
    EXPECT_GE(env.slept_ms(), c.min_ms) << c.minutes;
    EXPECT_LE(env.slept_ms(), c.min_ms + 100) << c.minutes;
    EXPECT_EQ(env.slept_ms(), env.sleep_calls() * 100LL) << c.minutes;
    EXPECT_EQ(pumps, env.sleep_calls()) << c.minutes;
    if (c.minutes > 0) {
      EXPECT_GE(env.Now(), start + c.minutes * kOneMinute);
    }
  }
}

TEST(MinuteWaitTest, WorksWithoutAPump) {
  TempDir dir;
  FakeEnv env(dir);
  MinuteWait(env, 0.1, MessagePump());
  EXPECT_GE(env.slept_ms(), kMinuteMs / 10);
}

TEST(CreateFileWithRetriesTest, CreatesOrTruncatesAtTheFirstAttempt) {
  TempDir dir;
  CountingEnv env(dir);
  const std::string path = dir.File("page.html");
  WriteBytes(path, "old content");
  std::unique_ptr<WritableFile> file = CreateFileWithRetries(env, path, 3, nullptr);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(file->Append("new").ok());
  ASSERT_TRUE(file->Close().ok());
  EXPECT_EQ(ReadBytes(path), "new");
  EXPECT_EQ(env.write_attempts, 1);
  EXPECT_EQ(env.slept_ms(), 0);
}

TEST(CreateFileWithRetriesTest, TriesRetriesPlusOneTimesAMinuteApart) {
  const struct {
    int retries;
    int attempts;
  } cases[] = {{0, 1}, {1, 2}, {2, 3}, {-1, 1}};
  for (const auto& c : cases) {
    TempDir dir;
    CountingEnv env(dir);
    int pumps = 0;
    auto file = CreateFileWithRetries(env, dir.File("missing/x.html"), c.retries, [&] { ++pumps; });
    EXPECT_EQ(file, nullptr);
    EXPECT_EQ(env.write_attempts, c.attempts) << c.retries;
    EXPECT_GE(env.slept_ms(), (c.attempts - 1) * kMinuteMs) << c.retries;
    EXPECT_LT(env.slept_ms(), (c.attempts - 1) * (kMinuteMs + 200) + 1) << c.retries;
    EXPECT_EQ(pumps, env.sleep_calls());
  }
}

TEST(CreateFileWithRetriesTest, SucceedsOnceTheObstacleGoesDuringTheWait) {
  TempDir dir;
  CountingEnv env(dir);
  const std::string path = dir.File("page.html");
  auto holder = OpenForWriting(env, path, false);
  ASSERT_NE(holder, nullptr);
  env.write_attempts = 0;
  // The window's message handling runs during the wait; here it lets the other writer go.
  auto file = CreateFileWithRetries(env, path, 1, [&] {
    if (holder) holder->Close();
    holder.reset();
  });
  EXPECT_NE(file, nullptr);
  EXPECT_EQ(env.write_attempts, 2);
  EXPECT_GE(env.slept_ms(), kMinuteMs);
}

TEST(OpenFileWithRetriesTest, ReadsAnExistingFileAtOnce) {
  TempDir dir;
  CountingEnv env(dir);
  const std::string bytes("予約\r\n\0x", 8);
  WriteBytes(dir.File("a.html"), bytes);
  std::string contents;
  EXPECT_TRUE(OpenFileWithRetries(env, dir.File("a.html"), 2, nullptr, &contents));
  EXPECT_EQ(contents, bytes);
  EXPECT_EQ(env.read_attempts, 1);
  EXPECT_EQ(env.slept_ms(), 0);
}

TEST(OpenFileWithRetriesTest, FileHeldForWritingFailsEveryAttempt) {
  TempDir dir;
  CountingEnv env(dir);
  const std::string path = dir.File("a.html");
  WriteBytes(path, "x");
  auto holder = OpenForWriting(env, path, true);
  ASSERT_NE(holder, nullptr);
  int pumps = 0;
  std::string contents;
  EXPECT_FALSE(OpenFileWithRetries(
      env, path, 1, [&] { ++pumps; }, &contents));
  EXPECT_EQ(env.read_attempts, 2);
  EXPECT_GE(env.slept_ms(), kMinuteMs);
  EXPECT_LE(env.slept_ms(), kMinuteMs + 100);
  EXPECT_GT(pumps, 0);  // the window kept responding between the attempts
}

TEST(OpenFileWithRetriesTest, MissingFileThatAppearsDuringTheWaitIsRead) {
  TempDir dir;
  CountingEnv env(dir);
  const std::string path = dir.File("late.html");
  std::string contents;
  bool written = false;
  auto pump = [&] {
    if (!written) WriteBytes(path, "arrived");
    written = true;
  };
  EXPECT_TRUE(OpenFileWithRetries(env, path, 3, pump, &contents));
  EXPECT_EQ(contents, "arrived");
  EXPECT_EQ(env.read_attempts, 2);
}

TEST(TempFolderTest, TakesTheFirstSetVariableTrimmedWithADelimiter) {
  const std::string unreadable = CountingEnv::kNoShiftJisForm;
  const struct {
    std::map<std::string, std::string> variables;
    std::string user_folder;
    std::string expected;
    std::string reported;  // on standard error
  } cases[] = {
      {{{"temp", " \t/var/tmp/pages \r"}, {"TEMP", "/other"}}, "/u/", "/var/tmp/pages/", ""},
      {{{"temp", "/var/tmp/"}}, "/u/", "/var/tmp/", ""},
      {{{"TEMP", "/a"}, {"TMP", "/b"}, {"TMPDIR", "/c"}}, "/u/", "/a/", ""},
      {{{"TMP", "/b"}, {"TMPDIR", "/c"}}, "/u/", "/b/", ""},
      {{{"TMPDIR", "/c"}}, "/u/", "/c/", ""},
      // A variable holding only blanks counts as unset.
      {{{"temp", "  "}, {"TMPDIR", "/c"}}, "/u/", "/c/", ""},
      {{{"temp", "/作業"}}, "/u/", "/作業/", ""},
      {{{"temp", "C:\\表"}}, "/u/", "C:\\表/", ""},  // 表 ends in 0x5C, which is no delimiter
      // Without a variable: this user's own folder, never a shared one.
      {{}, "/run/user/1000/tavelin/", "/run/user/1000/tavelin/", ""},
      {{}, "", "", "tavelin: no temp folder of this user can be made; set TMPDIR\n"},
      // A text without a Shift-JIS form is skipped (TempFolderChoiceLine says so).
      {{{"temp", unreadable}, {"TMPDIR", "/c"}}, "/u/", "/c/", ""},
  };
  const bool windows = PathDelimiter() == '\\';
  for (const auto& c : cases) {
    TempDir dir;
    CountingEnv env(dir);
    env.variables = c.variables;
    env.user_folder = c.user_folder;
    // Windows appends its own delimiter to a variable's folder.
    std::string expected = c.expected;
    if (windows && !c.variables.empty() && !expected.empty() &&
        c.variables.begin()->second.back() != '/') {
      expected.back() = '\\';
    }
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(TempFolder(env), expected);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.reported) << c.expected;
  }
}

// A temp variable that Shift-JIS cannot name, when another folder is then used, gives one
// plain line naming that folder and why; no folder at all leaves the failing download to say
// why. Where names ignore case, "temp" and "TEMP" are one variable, named once.
TEST(TempFolderTest, AFolderUsedInsteadIsNamedOnceWithTheReason) {
  const std::string unreadable = CountingEnv::kNoShiftJisForm;
  const bool ignore_case = EnvironmentNamesIgnoreCase();
  const std::string c_folder = IncludeTrailingDelimiter("/c");
  const std::string short_name =
      "一時フォルダの名前はShift-JISで書けないので、その短い名前 C:\\JOS~1\\ を使います";
  const struct {
    std::map<std::string, std::string> variables;
    std::string user_folder;
    std::string note;
    std::string line;
    std::string no_folder_text;  // empty: a folder is found
  } cases[] = {
      {{{"temp", "/a"}}, "/u/", "", "", ""},
      {{}, "/u/", short_name, short_name, ""},
      {{{"temp", unreadable}, {"TMPDIR", "/c"}},
       "/u/",
       "",
       "環境変数 temp のフォルダ名はShift-JISで表せないので、TMPDIR の " + c_folder + " を使います",
       ""},
      {{{"temp", unreadable}, {"TEMP", unreadable}},
       "/u/",
       "",
       std::string("環境変数 ") + (ignore_case ? "temp" : "temp, TEMP") +
           " のフォルダ名はShift-JISで表せないので、/u/ を使います",
       ""},
      // The system's folder replaced by the Env: its own line says it all.
      {{{"TEMP", unreadable}, {"TMP", unreadable}}, "/u/", short_name, short_name, ""},
      {{{"temp", unreadable}},
       "",
       "",
       "",
       "一時フォルダがありません (環境変数 temp はShift-JISで表せません)"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    CountingEnv env(dir);
    env.variables = c.variables;
    env.user_folder = c.user_folder;
    env.note = c.note;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(TempFolderChoiceLine(env), c.line);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.empty(), c.line.empty() || c.variables.empty()) << said;
    EXPECT_EQ(TempFolder(env).empty(), !c.no_folder_text.empty());
    if (!c.no_folder_text.empty()) {
      EXPECT_EQ(NoTempFolderText(env), c.no_folder_text);
    }
  }
}

}  // namespace
}  // namespace tavelin
