#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/posix_env.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

class FilesTest : public ::testing::Test {
 protected:
  std::unique_ptr<Env> env_ = NewPosixEnv();
  TempDir dir_;
};

TEST_F(FilesTest, ShiftJisNamesAreUtf8OnDisk) {
  const std::string path = dir_.File("予約.tvpi");
  auto file = OpenForWriting(*env_, path, false);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->Append("番組\r\n").ok());
  EXPECT_TRUE(file->Close().ok());
  EXPECT_TRUE(std::filesystem::exists(
      std::filesystem::u8path(dir_.path() + "\xE4\xBA\x88\xE7\xB4\x84.tvpi")));
  std::string contents;
  ASSERT_TRUE(env_->ReadFile(path, &contents).ok());
  EXPECT_EQ(contents, "番組\r\n");
  EXPECT_TRUE(env_->FileExists(path));
  EXPECT_FALSE(env_->FolderExists(path));
}

TEST_F(FilesTest, UnconvertiblePathsFailWithoutTouchingTheDisk) {
  const std::string bad = dir_.File("a\x81");
  EXPECT_EQ(OpenForWriting(*env_, bad, false), nullptr);
  std::string contents;
  EXPECT_FALSE(env_->ReadFile(bad, &contents).ok());
  EXPECT_FALSE(env_->FileExists(bad));
  EXPECT_FALSE(env_->CreateFolder(bad).ok());
  EXPECT_FALSE(env_->DeleteFile(bad).ok());
  // A NUL byte would cut the path short at the system call.
  WriteBytes(dir_.File("a"), "x");
  EXPECT_FALSE(env_->FileExists(dir_.File(std::string("a\0b", 3))));
  EXPECT_FALSE(env_->DeleteFile(dir_.File(std::string("a\0b", 3))).ok());
  EXPECT_TRUE(env_->FileExists(dir_.File("a")));
  EXPECT_FALSE(env_->FileExists(""));
}

TEST_F(FilesTest, WriteTruncateAndAppend) {
  const std::string path = dir_.File("log.txt");
  auto first = OpenForWriting(*env_, path, true);  // append creates a missing file
  ASSERT_NE(first, nullptr);
  first->Append("one\r\n");
  ASSERT_TRUE(first->Close().ok());
  auto second = OpenForWriting(*env_, path, true);
  ASSERT_NE(second, nullptr);
  second->Append("two\r\n");
  second.reset();  // destruction closes and writes too
  EXPECT_EQ(ReadBytes(path), "one\r\ntwo\r\n");

  auto third = OpenForWriting(*env_, path, false);
  ASSERT_NE(third, nullptr);
  third->Append("new");
  ASSERT_TRUE(third->Close().ok());
  EXPECT_EQ(ReadBytes(path), "new");
  EXPECT_FALSE(third->Append("late").ok());
}

TEST_F(FilesTest, LargeWritesSurviveTheBuffer) {
  const std::string path = dir_.File("big.bin");
  std::string expected;
  auto file = OpenForWriting(*env_, path, false);
  ASSERT_NE(file, nullptr);
  for (int i = 0; i < 3000; ++i) {
    std::string chunk(97, static_cast<char>(i % 251));
    expected += chunk;
    ASSERT_TRUE(file->Append(chunk).ok());
  }
  ASSERT_TRUE(file->Close().ok());
  std::string contents;
  ASSERT_TRUE(env_->ReadFile(path, &contents).ok());
  EXPECT_EQ(contents, expected);
}

TEST_F(FilesTest, AnOpenWriterShutsOutOtherWritersAndReaders) {
  const std::string path = dir_.File("held.csv");
  WriteBytes(path, "old content");
  auto writer = OpenForWriting(*env_, path, true);
  ASSERT_NE(writer, nullptr);
  // A second writer is refused and, being refused, must not truncate the file.
  EXPECT_EQ(OpenForWriting(*env_, path, false), nullptr);
  EXPECT_EQ(ReadBytes(path), "old content");
  std::string contents;
  EXPECT_FALSE(env_->ReadFile(path, &contents).ok());
  writer.reset();
  EXPECT_TRUE(env_->ReadFile(path, &contents).ok());
  EXPECT_EQ(contents, "old content");
  EXPECT_NE(OpenForWriting(*env_, path, false), nullptr);
}

// The writer reads the file's type and size under its lock: an empty file is written as it
// is, anything but a regular file is refused without waiting, even a FIFO with a reader.
TEST_F(FilesTest, WriterTakesEmptyFilesAndRefusesWhatIsNoFile) {
  const std::string empty = dir_.File("empty.tvpi");
  WriteBytes(empty, "");
  auto writer = OpenForWriting(*env_, empty, false);
  ASSERT_NE(writer, nullptr);
  writer->Append("program");
  ASSERT_TRUE(writer->Close().ok());
  EXPECT_EQ(ReadBytes(empty), "program");

  const std::string fifo = dir_.File("fifo.tvpi");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(OpenForWriting(*env_, fifo, false), nullptr);  // no reader: would block
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  EXPECT_EQ(OpenForWriting(*env_, fifo, false), nullptr);
  ::close(reader);
  EXPECT_EQ(OpenForWriting(*env_, dir_.File(""), false), nullptr);  // the folder itself
}

TEST_F(FilesTest, ReadFailsForMissingFilesAndFolders) {
  std::string contents = "untouched";
  EXPECT_FALSE(env_->ReadFile(dir_.File("missing"), &contents).ok());
  EXPECT_FALSE(env_->ReadFile(dir_.path(), &contents).ok());
  EXPECT_EQ(OpenForWriting(*env_, dir_.path(), false), nullptr);
  EXPECT_EQ(OpenForWriting(*env_, dir_.File("no/such/folder/x"), false), nullptr);
}

TEST_F(FilesTest, FoldersDeleteAndRename) {
  const std::string deep = dir_.File("a/予約/c/");
  EXPECT_FALSE(env_->CreateFolder(dir_.File("x/y")).ok());  // parent missing
  EXPECT_TRUE(env_->ForceFolders(deep).ok());
  EXPECT_TRUE(env_->FolderExists(deep));
  EXPECT_TRUE(env_->ForceFolders(deep).ok());  // already there
  EXPECT_TRUE(env_->CreateFolder(dir_.File("a")).ok());
  WriteBytes(dir_.File("f"), "1");
  EXPECT_FALSE(env_->CreateFolder(dir_.File("f")).ok());  // a file is in the way
  EXPECT_FALSE(env_->ForceFolders(dir_.File("f/g")).ok());

  EXPECT_TRUE(env_->RenameFile(dir_.File("f"), dir_.File("表.old")).ok());
  EXPECT_FALSE(env_->FileExists(dir_.File("f")));
  EXPECT_EQ(ReadBytes(dir_.File("\xE8\xA1\xA8.old")), "1");
  EXPECT_FALSE(env_->RenameFile(dir_.File("f"), dir_.File("g")).ok());
  EXPECT_TRUE(env_->DeleteFile(dir_.File("表.old")).ok());
  EXPECT_FALSE(env_->DeleteFile(dir_.File("表.old")).ok());
  EXPECT_FALSE(env_->DeleteFile(dir_.File("a")).ok());  // folders are not files
}

TEST_F(FilesTest, LinkOrCopyKeepsTheOldContentWhenTheOriginalIsReplaced) {
  WriteBytes(dir_.File("t.csv"), "old");
  WriteBytes(dir_.File("t.old"), "older");
  ASSERT_TRUE(env_->LinkOrCopyFile(dir_.File("t.csv"), dir_.File("t.old")).ok());
  WriteBytes(dir_.File("t.$$$"), "new");
  ASSERT_TRUE(env_->RenameFile(dir_.File("t.$$$"), dir_.File("t.csv")).ok());
  EXPECT_EQ(ReadBytes(dir_.File("t.old")), "old");
  EXPECT_EQ(ReadBytes(dir_.File("t.csv")), "new");
  EXPECT_TRUE(env_->SyncFolder(dir_.path()).ok());
  EXPECT_FALSE(env_->LinkOrCopyFile(dir_.File("missing"), dir_.File("t.old")).ok());
  EXPECT_EQ(ReadBytes(dir_.File("t.old")), "old");
  EXPECT_FALSE(env_->SyncFolder(dir_.File("missing/")).ok());

  auto file = OpenForWriting(*env_, dir_.File("s"), false);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->Append("x").ok());
  EXPECT_TRUE(file->Sync().ok());
  EXPECT_EQ(ReadBytes(dir_.File("s")), "x");
}

TEST_F(FilesTest, UserTempFolderIsPrivateAndRefusesAForeignOrOpenOne) {
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved_value = saved ? saved : "";
  ::setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
  std::string folder;
  ASSERT_TRUE(env_->UserTempFolder(&folder).ok());
  EXPECT_EQ(folder, dir_.path() + "tavelin/");
  EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_all);
  std::filesystem::permissions(folder, std::filesystem::perms::others_all,
                               std::filesystem::perm_options::add);
  EXPECT_FALSE(env_->UserTempFolder(&folder).ok());
  // Private but another account's (it could have left a page there): refused as well.
  std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::replace);
  ASSERT_TRUE(env_->UserTempFolder(&folder).ok());
  if (::chown(folder.c_str(), ::geteuid() + 1, static_cast<gid_t>(-1)) == 0) {  // needs root
    EXPECT_FALSE(env_->UserTempFolder(&folder).ok());
  }
  if (saved) {
    ::setenv("XDG_RUNTIME_DIR", saved_value.c_str(), 1);
  } else {
    ::unsetenv("XDG_RUNTIME_DIR");
  }
}

TEST_F(FilesTest, ListFilesMatchesSuffixWithoutCaseAndSkipsFolders) {
  WriteBytes(dir_.File("1.tvpi"), "");
  WriteBytes(dir_.File("2.TVPI"), "");
  WriteBytes(dir_.File("3.tvp"), "");
  WriteBytes(dir_.File("\xE4\xBA\x88.Tvpi"), "");  // 予 on disk
  WriteBytes(dir_.File("\xC3\xA9.tvpi"), "");      // no Shift-JIS form: not listed
  std::filesystem::create_directory(dir_.File("dir.tvpi"));
  std::filesystem::create_symlink(dir_.File("1.tvpi"), dir_.File("link.tvpi"));
  std::filesystem::create_directory_symlink(dir_.File("dir.tvpi"), dir_.File("dirlink.tvpi"));
  std::vector<std::string> names;
  ASSERT_TRUE(env_->ListFiles(dir_.path(), ".tvpi", &names).ok());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"1.tvpi", "2.TVPI", "link.tvpi", "予.Tvpi"}));
  EXPECT_FALSE(env_->ListFiles(dir_.File("missing"), ".tvpi", &names).ok());
  EXPECT_TRUE(names.empty());
}

TEST(EnvTest, ClockRandomEnvironmentAndProgramPath) {
  auto env = NewPosixEnv();
  const TDateTime before = env->Now();
  env->SleepMs(20);
  const TDateTime after = env->Now();
  EXPECT_GT(after, before);
  EXPECT_LT(after - before, 5.0 / 86400.0);
  EXPECT_GT(before, 43831.0);  // after 2020-01-01

  uint32_t values[4];
  for (auto& v : values) v = env->Random32();
  EXPECT_FALSE(values[0] == values[1] && values[1] == values[2] && values[2] == values[3]);

  ::setenv("TAVELIN_TEST_VAR", "\xE4\xBA\x88", 1);
  std::string value;
  ASSERT_TRUE(env->GetEnvironment("TAVELIN_TEST_VAR", &value));
  EXPECT_EQ(value, "予");
  EXPECT_TRUE(env->EnvironmentIsSet("TAVELIN_TEST_VAR"));
  ::setenv("TAVELIN_TEST_VAR", "\xC3\xA9", 1);  // no Shift-JIS form: set, but not readable
  EXPECT_FALSE(env->GetEnvironment("TAVELIN_TEST_VAR", &value));
  EXPECT_TRUE(env->EnvironmentIsSet("TAVELIN_TEST_VAR"));
  ::unsetenv("TAVELIN_TEST_VAR");
  EXPECT_FALSE(env->GetEnvironment("TAVELIN_TEST_VAR", &value));
  EXPECT_FALSE(env->EnvironmentIsSet("TAVELIN_TEST_VAR"));
  EXPECT_FALSE(env->GetEnvironment("", &value));
  EXPECT_FALSE(env->GetEnvironment("A=B", &value));

  const std::string program = env->ProgramPath();
  EXPECT_EQ(program.front(), '/');
  EXPECT_NE(program.find("platform_tests"), std::string::npos) << program;
}

// Now() is the local time: with the zone fixed nine hours east of UTC it must equal the
// system clock shifted by nine hours, while NowUtc() stays the clock itself.
TEST(EnvTest, NowIsLocalTimeAndNowUtcIsNot) {
  const char* old = std::getenv("TZ");
  const std::string saved = old == nullptr ? "" : old;
  ::setenv("TZ", "JST-9", 1);
  ::tzset();
  auto env = NewPosixEnv();
  const double expected = (static_cast<double>(::time(nullptr)) + 9 * 3600) / 86400.0 + 25569.0;
  const TDateTime now = env->Now();
  const TDateTime utc = env->NowUtc();
  if (old == nullptr) {
    ::unsetenv("TZ");
  } else {
    ::setenv("TZ", saved.c_str(), 1);
  }
  ::tzset();
  EXPECT_NEAR(now, expected, 3.0 / 86400.0);
  EXPECT_NEAR(utc, expected - 9.0 / 24, 3.0 / 86400.0);
}

}  // namespace
}  // namespace tavelin
