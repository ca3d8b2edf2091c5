#include "support/memory_env.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/profile_ini.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

class MemoryEnvTest : public ::testing::Test {
 protected:
  std::unique_ptr<Env> base_ = testing::NewSystemEnv();
  MemoryEnv env_{base_.get(), {"/m"}};
};

std::string Write(Env& env, const std::string& path, const std::string& bytes, bool append) {
  auto file = OpenForWriting(env, path, append);
  if (!file) return "refused";
  file->Append(bytes);
  return file->Close().ok() ? "ok" : "failed";
}

TEST_F(MemoryEnvTest, FilesFollowTheWriterAndFolderContract) {
  EXPECT_EQ(Write(env_, "/m/a.tvpi", "one", false), "ok");
  EXPECT_EQ(Write(env_, "/m/a.tvpi", "+two", true), "ok");
  std::string text;
  ASSERT_TRUE(env_.ReadFile("/m/a.tvpi", &text).ok());
  EXPECT_EQ(text, "one+two");
  uint64_t size = 0;
  ASSERT_TRUE(env_.GetFileSize("/m/a.tvpi", &size));
  EXPECT_EQ(size, 7u);

  // An open writer shuts out a second writer and ReadFile, not the shared read; a refused
  // writer cuts nothing.
  auto held = OpenForWriting(env_, "/m/a.tvpi", true);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(Write(env_, "/m/a.tvpi", "x", false), "refused");
  EXPECT_FALSE(env_.ReadFile("/m/a.tvpi", &text).ok());
  EXPECT_TRUE(env_.ReadSharedFile("/m/a.tvpi", &text).ok());
  EXPECT_EQ(text, "one+two");
  // Renamed while open, the file stays writable through the writer, under its new name.
  ASSERT_TRUE(env_.RenameFile("/m/a.tvpi", "/m/b.tvpi").ok());
  held->Append("!");
  held.reset();
  ASSERT_TRUE(env_.ReadFile("/m/b.tvpi", &text).ok());
  EXPECT_EQ(text, "one+two!");
  EXPECT_FALSE(env_.FileExists("/m/a.tvpi"));

  ASSERT_TRUE(env_.LinkOrCopyFile("/m/b.tvpi", "/m/c.TVPI").ok());
  env_.PutFile("/m/sub/d.tvpi", "deeper");
  env_.PutFile("/m/e.csv", "");
  std::vector<std::string> names;
  ASSERT_TRUE(env_.ListFiles("/m", ".tvpi", &names).ok());
  EXPECT_EQ(names, (std::vector<std::string>{"b.tvpi", "c.TVPI"}));
  EXPECT_TRUE(env_.DeleteFile("/m/b.tvpi").ok());
  EXPECT_FALSE(env_.DeleteFile("/m/b.tvpi").ok());

  EXPECT_TRUE(env_.FolderExists("/m"));
  EXPECT_FALSE(env_.FolderExists("/n"));
  EXPECT_TRUE(env_.ForceFolders("/n/o").ok());
  EXPECT_TRUE(env_.FolderExists("/n/o"));
  EXPECT_TRUE(env_.SyncFolder("/n/o").ok());
  EXPECT_FALSE(env_.SyncFolder("/p").ok());
}

TEST_F(MemoryEnvTest, NamesWithoutASystemFormAreRefused) {
  for (const std::string& bad :
       {std::string(), std::string("/m/a\0b", 6), std::string("/m/\x81")}) {
    EXPECT_EQ(Write(env_, bad, "x", false), "refused");
    EXPECT_FALSE(env_.ReplaceFile(bad, "x").ok());
    EXPECT_FALSE(env_.CreateFolder(bad).ok());
  }
  EXPECT_TRUE(env_.Files().empty());
}

// The INI functions reach the memory files, and nothing else: the disk is never touched.
TEST_F(MemoryEnvTest, IniTrafficStaysInMemory) {
  ASSERT_TRUE(WriteProfileString(env_, "/m/nubra.ini", "RD1", "RDH1_Port_Text", "8080").ok());
  EXPECT_EQ(ReadProfileString(env_, "/m/nubra.ini", "rd1", "rdh1_port_text", ""), "8080");
  EXPECT_EQ(env_.Files().at("/m/nubra.ini"), "[RD1]\r\nRDH1_Port_Text=8080\r\n");
  EXPECT_FALSE(base_->FileExists("/m/nubra.ini"));
}

}  // namespace
}  // namespace tavelin
