#include "platform/path.h"

#include <gtest/gtest.h>

#include <string>

namespace tavelin {
namespace {

bool OnWindows() { return PathDelimiter() == '\\'; }

// `posix` on POSIX; on Windows `windows`, or `posix` with every '/' turned into '\' when
// `windows` is null (the same rule with the other delimiter).
std::string Expect(const char* posix, const char* windows = nullptr) {
  if (!OnWindows()) return posix;
  if (windows != nullptr) return windows;
  std::string text = posix;
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
  return text;
}

TEST(PathTest, SplitsAtTheLastDelimiter) {
  const struct {
    const char* path;
    const char* folder;
    const char* name;
    const char* windows_folder;  // null: as on POSIX
    const char* windows_name;
  } kCases[] = {
      {"/a/b/c.txt", "/a/b/", "c.txt", nullptr, nullptr},
      {"c.txt", "", "c.txt", nullptr, nullptr},
      {"/a/b/", "/a/b/", "", nullptr, nullptr},
      {"/", "/", "", nullptr, nullptr},
      {"", "", "", nullptr, nullptr},
      {"/予約/表.csv", "/予約/", "表.csv", nullptr, nullptr},
      {"a:b", "", "a:b", "a:", "b"},  // a drive colon ends the folder part on Windows
      {"C:\\Out put\\RD-X5", "", "C:\\Out put\\RD-X5", "C:\\Out put\\", "RD-X5"},
      {"D:RD1", "", "D:RD1", "D:", "RD1"},
      // 表 is 0x95 0x5C: its second byte is never a delimiter.
      {"x\\表", "", "x\\表", "x\\", "表"},
      {"表", "", "表", "", "表"},
  };
  for (const auto& c : kCases) {
    const bool windows_differs = OnWindows() && c.windows_folder != nullptr;
    EXPECT_EQ(ExtractFilePath(c.path), windows_differs ? c.windows_folder : c.folder) << c.path;
    EXPECT_EQ(ExtractFileName(c.path), windows_differs ? c.windows_name : c.name) << c.path;
  }
}

TEST(PathTest, TrailingDelimiterAndAbsolute) {
  EXPECT_EQ(PathDelimiter(), OnWindows() ? '\\' : '/');
  EXPECT_EQ(IncludeTrailingDelimiter("/tmp"), "/tmp" + Expect("/"));
  EXPECT_EQ(IncludeTrailingDelimiter("/tmp/"), "/tmp/");  // '/' counts on Windows too
  EXPECT_EQ(IncludeTrailingDelimiter(""), Expect("/"));
  EXPECT_EQ(IncludeTrailingDelimiter("/予約"), "/予約" + Expect("/"));
  EXPECT_EQ(IncludeTrailingDelimiter("C:\\表"), "C:\\表" + Expect("/"));
  EXPECT_EQ(IncludeTrailingDelimiter("C:\\a\\"), Expect("C:\\a\\/", "C:\\a\\"));
  EXPECT_TRUE(IsAbsolutePath("/x"));
  EXPECT_FALSE(IsAbsolutePath("x/y"));
  EXPECT_EQ(IsAbsolutePath("C:/x"), OnWindows());
  EXPECT_EQ(IsAbsolutePath("\\\\server\\share"), OnWindows());
  EXPECT_FALSE(IsAbsolutePath(""));
}

TEST(PathTest, ChangeFileExtUsesTheLastDotOfTheName) {
  const struct {
    const char* path;
    const char* ext;
    const char* expected;
  } kCases[] = {
      {"/r/tvconvert.csv", ".$$$", "/r/tvconvert.$$$"},
      {"/r/a.b.csv", ".old", "/r/a.b.old"},
      {"/r.d/name", ".old", "/r.d/name.old"},  // a dot in the folder is not an extension
      {"name", ".x", "name.x"},
      {"/r/表.csv", "", "/r/表"},
  };
  for (const auto& c : kCases) EXPECT_EQ(ChangeFileExt(c.path, c.ext), c.expected) << c.path;
}

TEST(PathTest, LoneLeadByteAtTheEndIsHandled) {
  const std::string path = "/a/b\x81";
  EXPECT_EQ(ExtractFileName(path), "b\x81");
  EXPECT_EQ(IncludeTrailingDelimiter(path), path + Expect("/"));
}

}  // namespace
}  // namespace tavelin
