#include "app/log_file.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "app/version.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

// The program lives in <dir>/bin/ and carries the version entries of `entries`.
class LogEnv : public FakeEnv {
 public:
  explicit LogEnv(const TempDir& dir)
      : FakeEnv(dir, EncodeDate(2006, 12, 25) + EncodeTime(21, 5, 9)),
        program_path(dir.File("bin/tavelin")) {
    CreateFolder(dir.File("bin"));
  }

  std::string ProgramPath() override { return program_path; }
  bool VersionEntry(const std::string& path, const std::string& entry,
                    std::string* value) override {
    asked_paths.push_back(path);
    const auto it = entries.find(entry);
    if (it == entries.end()) return false;
    *value = it->second;
    return true;
  }

  std::string program_path;
  std::map<std::string, std::string> entries = {{"FileVersion", "1.2.3.0"}};
  std::vector<std::string> asked_paths;
};

constexpr char kHeader[] = "--- START ---\t2006-12-25 21:05:09\r\nVersion 1.2.3.0\r\n";

TEST(LogFileTest, WritesHeaderPlainAndErrorLinesAndEndLineExactly) {
  TempDir dir;
  LogEnv env(dir);
  TLogFile log(env);
  log.SetLogFileName(dir.File("qdr.log"));
  log.SetActive(true);
  EXPECT_TRUE(log.Active());
  EXPECT_TRUE(log.WriteLine("Tavelin", false));
  EXPECT_TRUE(log.WriteLine("予約一覧のダウンロード失敗", true));
  EXPECT_TRUE(log.WriteLine("", false));
  env.set_now(EncodeDate(2006, 12, 25) + EncodeTime(21, 6, 0));
  log.SetActive(false);
  EXPECT_FALSE(log.Active());
  EXPECT_EQ(ReadBytes(dir.File("qdr.log")),
            std::string(kHeader) + "Tavelin\r\n" +
                "qdr.log: 予約一覧のダウンロード失敗 (C.ERROR)\r\n" + "\r\n" +
                "--- END ---\t2006-12-25\t21:06:00\r\n");
  EXPECT_EQ(env.asked_paths.front(), env.program_path);
}

TEST(LogFileTest, AppendsToAnExistingFileAndOnlyWhileActive) {
  TempDir dir;
  LogEnv env(dir);
  WriteBytes(dir.File("qdr.log"), "host line\r\n");
  TLogFile log(env);
  EXPECT_FALSE(log.WriteLine("no name yet", false));
  log.SetLogFileName(dir.File("qdr.log"));
  EXPECT_FALSE(log.WriteLine("not active", true));
  EXPECT_EQ(ReadBytes(dir.File("qdr.log")), "host line\r\n");

  log.SetActive(true);
  log.SetActive(true);  // no second header
  EXPECT_TRUE(log.WriteLine("a", false));
  log.SetActive(false);
  log.SetActive(false);  // no second end line
  EXPECT_FALSE(log.WriteLine("after", false));
  EXPECT_EQ(ReadBytes(dir.File("qdr.log")),
            std::string("host line\r\n") + kHeader + "a\r\n--- END ---\t2006-12-25\t21:05:09\r\n");
}

TEST(LogFileTest, BlankFileNameWritesNothingEvenAtActivation) {
  TempDir dir;
  LogEnv env(dir);
  {
    TLogFile log(env);
    log.SetLogFileName("   ");
    log.SetActive(true);
    EXPECT_FALSE(log.WriteLine("x", true));
  }
  std::vector<std::string> names;
  ASSERT_TRUE(env.ListFiles(dir.path(), "", &names).ok());
  for (const std::string& name : names) EXPECT_EQ(name.find(".log"), std::string::npos) << name;
  ASSERT_TRUE(env.ListFiles(dir.File("bin/"), "", &names).ok());
  EXPECT_TRUE(names.empty());
}

TEST(LogFileTest, BareNameIsPlacedInTheProgramFolder) {
  TempDir dir;
  LogEnv env(dir);
  TLogFile log(env);
  log.SetLogFileName("x.log");
  log.SetActive(true);
  EXPECT_EQ(log.LogFileName(), dir.File("bin/x.log"));
  EXPECT_TRUE(log.WriteLine("m", true));
  EXPECT_EQ(ReadBytes(dir.File("bin/x.log")), std::string(kHeader) + "x.log: m (C.ERROR)\r\n");
}

TEST(LogFileTest, CreatesOneMissingFolderLevelOnly) {
  TempDir dir;
  LogEnv env(dir);
  TLogFile one(env);
  one.SetLogFileName(dir.File("logs/qdr.log"));
  one.SetActive(true);
  EXPECT_TRUE(one.Active());
  EXPECT_EQ(ReadBytes(dir.File("logs/qdr.log")), kHeader);

  // Two missing levels: the header cannot be written and the log goes quiet.
  TLogFile two(env);
  two.SetLogFileName(dir.File("a/b/qdr.log"));
  two.SetActive(true);
  EXPECT_FALSE(two.Active());
  EXPECT_FALSE(two.WriteLine("lost", false));
  EXPECT_FALSE(env.FileExists(dir.File("a/b/qdr.log")));
}

TEST(LogFileTest, EndLineOnDestructionShowsTheDateAfterMidnight) {
  TempDir dir;
  LogEnv env(dir);
  {
    TLogFile log(env);
    log.SetLogFileName(dir.File("qdr.log"));
    log.SetActive(true);
    env.set_now(EncodeDate(2006, 12, 26) + EncodeTime(0, 0, 1));
  }
  EXPECT_EQ(ReadBytes(dir.File("qdr.log")),
            std::string(kHeader) + "--- END ---\t2006-12-26\t00:00:01\r\n");
}

TEST(LogFileTest, LineThatCannotBeWrittenIsLostButTheLogStaysActive) {
  TempDir dir;
  LogEnv env(dir);
  TLogFile log(env);
  log.SetLogFileName(dir.File("qdr.log"));
  log.SetActive(true);
  {
    // Another program holds the file open for writing.
    std::unique_ptr<WritableFile> other = OpenForWriting(env, dir.File("qdr.log"), true);
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(log.WriteLine("lost", true));
    EXPECT_TRUE(log.Active());
    ASSERT_TRUE(other->Append("other\r\n").ok());
    ASSERT_TRUE(other->Close().ok());
  }
  EXPECT_TRUE(log.WriteLine("kept", false));
  EXPECT_EQ(ReadBytes(dir.File("qdr.log")), std::string(kHeader) + "other\r\nkept\r\n");
}

TEST(LogFileTest, HeaderThatCannotBeWrittenSwitchesTheLogOffQuietly) {
  TempDir dir;
  LogEnv env(dir);
  std::unique_ptr<WritableFile> other = OpenForWriting(env, dir.File("qdr.log"), true);
  ASSERT_NE(other, nullptr);
  {
    TLogFile log(env);
    log.SetLogFileName(dir.File("qdr.log"));
    log.SetActive(true);
    EXPECT_FALSE(log.Active());
    ASSERT_TRUE(other->Close().ok());
    EXPECT_FALSE(log.WriteLine("x", false));
  }
  EXPECT_EQ(ReadBytes(dir.File("qdr.log")), "");
}

TEST(ReadVersionTest, FillsTheElevenFieldsInOrder) {
  TempDir dir;
  LogEnv env(dir);
  env.entries.clear();
  for (int i = 0; i < 11; ++i) {
    env.entries[kVersionEntryNames[i]] = "value " + std::to_string(i);
  }
  TVersion version;
  version.comment = "stale";
  ReadVersion(env, env.program_path, &version);
  const std::string fields[] = {version.company_name,       version.file_description,
                                version.file_version,       version.internal_name,
                                version.legal_copyright,    version.legal_trademarks,
                                version.original_file_name, version.product_name,
                                version.product_version,    version.comment,
                                version.screen_saver};
  for (int i = 0; i < 11; ++i) EXPECT_EQ(fields[i], "value " + std::to_string(i));
  EXPECT_EQ(std::string(kVersionEntryNames[5]), "LeagalTradeMarks");
}

TEST(ReadVersionTest, MissingEntriesAreEmptyAndLongOrNulTextsAreCut) {
  TempDir dir;
  LogEnv env(dir);
  env.entries = {{"ProductName", std::string("Tavelin\0junk", 12)},
                 {"Comment", std::string(300, 'c')}};
  TVersion version;
  version.file_version = "stale";
  ReadVersion(env, env.program_path, &version);
  EXPECT_EQ(version.product_name, "Tavelin");
  EXPECT_EQ(version.comment, std::string(256, 'c'));
  EXPECT_EQ(version.file_version, "");
  EXPECT_EQ(version.company_name, "");
}

TEST(ReadVersionTest, OwnProgramCarriesTheCompiledInVersion) {
  TempDir dir;
  FakeEnv env(dir);
  TVersion version;
  ReadVersion(env, env.ProgramPath(), &version);
  EXPECT_EQ(version.file_version, "1.2.3.0");
  EXPECT_EQ(version.product_version, "1.0.0.0");
  EXPECT_EQ(version.product_name, "Tavelin");
}

}  // namespace
}  // namespace tavelin
