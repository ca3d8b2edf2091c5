#include "platform/path.h"

#include <gtest/gtest.h>

namespace tavelin {
namespace {

TEST(PathTest, SplitsAtTheLastDelimiter) {
  const struct {
    const char* path;
    const char* folder;
    const char* name;
  } kCases[] = {
      {"/a/b/c.txt", "/a/b/", "c.txt"},
      {"c.txt", "", "c.txt"},
      {"/a/b/", "/a/b/", ""},
      {"/", "/", ""},
      {"", "", ""},
      {"/予約/表.csv", "/予約/", "表.csv"},
      {"a:b", "", "a:b"},  // no drives here
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(ExtractFilePath(c.path), c.folder) << c.path;
    EXPECT_EQ(ExtractFileName(c.path), c.name) << c.path;
  }
}

TEST(PathTest, TrailingDelimiterAndAbsolute) {
  EXPECT_EQ(PathDelimiter(), '/');
  EXPECT_EQ(IncludeTrailingDelimiter("/tmp"), "/tmp/");
  EXPECT_EQ(IncludeTrailingDelimiter("/tmp/"), "/tmp/");
  EXPECT_EQ(IncludeTrailingDelimiter(""), "/");
  EXPECT_EQ(IncludeTrailingDelimiter("/予約"), "/予約/");
  EXPECT_TRUE(IsAbsolutePath("/x"));
  EXPECT_FALSE(IsAbsolutePath("x/y"));
  EXPECT_FALSE(IsAbsolutePath("C:/x"));
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
  EXPECT_EQ(IncludeTrailingDelimiter(path), path + "/");
}

}  // namespace
}  // namespace tavelin
