#include "platform/profile_ini.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/test_env.h"

namespace tavelin {
namespace {

constexpr char kHostIni[] =
    "; Qadrel settings\r\n"
    "[TSetup]\r\n"
    "  UseProxy_Checked = True  \r\n"
    "Debug_Checked=\"True\"\r\n"
    "Quoted='a b'\r\n"
    "Half=\"open\r\n"
    "Empty=\r\n"
    "予約=番組\r\n"
    "\r\n"
    "[TFormRD]\r\n"
    "Left=10\r\n"
    "[tsetup]\r\n"
    "Debug_Checked=Second\r\n";

TEST(ProfileIniReadTest, ValuesAreTrimmedAndUnquotedAndNamesIgnoreCase) {
  const struct {
    const char* section;
    const char* key;
    bool found;
    const char* value;
  } kCases[] = {
      {"TSetup", "UseProxy_Checked", true, "True"},
      {"tsetup", "useproxy_checked", true, "True"},
      {" TSETUP ", "Debug_Checked", true, "True"},  // first section and key win
      {"TSetup", "Quoted", true, "a b"},
      {"TSetup", "Half", true, "\"open"},
      {"TSetup", "Empty", true, ""},
      {"TSetup", "予約", true, "番組"},
      {"TFormRD", "Left", true, "10"},
      {"TFormRD", "UseProxy_Checked", false, ""},  // keys belong to their own section
      {"Missing", "Left", false, ""},
      {"TSetup", "; Qadrel settings", false, ""},
  };
  for (const auto& c : kCases) {
    std::string value = "unchanged";
    EXPECT_EQ(FindProfileValue(kHostIni, c.section, c.key, &value), c.found)
        << c.section << "/" << c.key;
    if (c.found) {
      EXPECT_EQ(value, c.value) << c.section << "/" << c.key;
    }
  }
}

TEST(ProfileIniReadTest, OddBytesAndLoneLineEndsDoNotConfuseIt) {
  std::string value;
  EXPECT_TRUE(FindProfileValue("[s]\nk=v", "s", "k", &value));  // LF only, no final line end
  EXPECT_EQ(value, "v");
  EXPECT_FALSE(FindProfileValue("[s", "t", "k", &value));
  EXPECT_FALSE(FindProfileValue("k=v\n[s]\n", "s", "k", &value));  // key before any section
  // 0x95 0x5D is one character whose trail byte is ']': the section name holds it whole.
  EXPECT_TRUE(FindProfileValue("[\x95\x5D]\r\nk=1\r\n", "\x95\x5D", "k", &value));
  EXPECT_FALSE(FindProfileValue(std::string("[s]\0k=v", 7), "s", "k", &value));
  EXPECT_TRUE(FindProfileValue("[s]\r\nk=\"\"\r\n", "s", "k", &value));
  EXPECT_EQ(value, "");
  EXPECT_TRUE(FindProfileValue("[s]\r\nk=\"\r\n", "s", "k", &value));
  EXPECT_EQ(value, "\"");
}

TEST(ProfileIniWriteTest, ReplacesAppendsAndCreatesKeepingEverythingElse) {
  const struct {
    const char* name;
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
  } kCases[] = {
      {"replace keeps the file's spelling", "; c\r\n[S]\r\n Key = old \r\nx=1\r\n", "s", "KEY",
       "new", "; c\r\n[S]\r\nKey=new\r\nx=1\r\n"},
      {"append after last non-blank line", "[a]\r\nx=1\r\n; note\r\n\r\n[b]\r\ny=2\r\n", "A", "z",
       "3", "[a]\r\nx=1\r\n; note\r\nz=3\r\n\r\n[b]\r\ny=2\r\n"},
      {"append to empty section", "[a]\r\n\r\n[b]\r\n", "a", "k", "v", "[a]\r\nk=v\r\n\r\n[b]\r\n"},
      {"append when last line has no end", "[a]\r\nx=1", "a", "k", "v", "[a]\r\nx=1\r\nk=v\r\n"},
      {"new section at the end", "[a]\r\nx=1\r\n", "b", "k", "v", "[a]\r\nx=1\r\n[b]\r\nk=v\r\n"},
      {"new section after unterminated line", "x", "b", "k", "v", "x\r\n[b]\r\nk=v\r\n"},
      {"a lone CR at the end gets its LF", "[T]\r\nDebug_Checked=True\r", "T", "k", "v",
       "[T]\r\nDebug_Checked=True\r\nk=v\r\n"},
      {"a lone CR before a new section", "[T]\r\nx=1\r", "U", "k", "v",
       "[T]\r\nx=1\r\n[U]\r\nk=v\r\n"},
      {"new file", "", "RD", "RDH1_IP_Text", "192.168.0.5", "[RD]\r\nRDH1_IP_Text=192.168.0.5\r\n"},
      {"LF-only lines stay as they are", "[a]\nx=1\ny=2\n", "a", "x", "9", "[a]\nx=9\ny=2\n"},
      {"line breaks are dropped from the value", "[a]\r\n", "a", "k", "1\r\n[evil]\r\nk=2",
       "[a]\r\nk=1[evil]k=2\r\n"},
      {"first of duplicate sections", "[a]\r\n[A]\r\n", "a", "k", "v", "[a]\r\nk=v\r\n[A]\r\n"},
  };
  for (const auto& c : kCases) {
    std::string updated;
    ASSERT_TRUE(SetProfileValue(c.before, c.section, c.key, c.value, &updated)) << c.name;
    EXPECT_EQ(updated, c.after) << c.name;
  }
}

TEST(ProfileIniWriteTest, RefusesNamesThatWouldBreakTheFile) {
  std::string updated;
  EXPECT_FALSE(SetProfileValue("", "", "k", "v", &updated));
  EXPECT_FALSE(SetProfileValue("", "s", " ", "v", &updated));
  EXPECT_FALSE(SetProfileValue("", "s", "a=b", "v", &updated));
  EXPECT_FALSE(SetProfileValue("", "s]x", "k", "v", &updated));
  EXPECT_FALSE(SetProfileValue("", "s", "k\n", "v", &updated));
  EXPECT_TRUE(SetProfileValue("", "\x95\x5D", "k", "v", &updated));  // trail byte ']' is fine
}

TEST(ProfileIniEnvTest, WrittenFileReadsBackAndKeepsForeignLines) {
  testing::TempDir dir;
  auto env = testing::NewSystemEnv();
  const std::string file = dir.File("qdr.ini");
  EXPECT_EQ(ReadProfileString(*env, file, "TSetup", "Debug_Checked", "False"), "False");
  testing::WriteBytes(file, kHostIni);

  ASSERT_TRUE(WriteProfileString(*env, file, "tsetup", "useproxy_checked", "False").ok());
  ASSERT_TRUE(WriteProfileString(*env, file, "RD-X5", "RDH1_Port_Text", "80").ok());
  EXPECT_EQ(ReadProfileString(*env, file, "TSETUP", "UseProxy_Checked", ""), "False");
  EXPECT_EQ(ReadProfileString(*env, file, "rd-x5", "rdh1_port_text", ""), "80");
  EXPECT_EQ(ReadProfileString(*env, file, "TSetup", "Quoted", ""), "a b");
  std::string expected = kHostIni;
  expected.replace(expected.find("  UseProxy_Checked = True  "), 27, "UseProxy_Checked=False");
  expected += "[RD-X5]\r\nRDH1_Port_Text=80\r\n";
  EXPECT_EQ(testing::ReadBytes(file), expected);

  // A missing file is created, a missing folder is not.
  EXPECT_TRUE(WriteProfileString(*env, dir.File("予約.ini"), "s", "k", "値").ok());
  EXPECT_EQ(ReadProfileString(*env, dir.File("予約.ini"), "s", "k", ""), "値");
  EXPECT_FALSE(WriteProfileString(*env, dir.File("none/x.ini"), "s", "k", "v").ok());
  EXPECT_FALSE(WriteProfileString(*env, dir.File("bad\x81"), "s", "k", "v").ok());
}

}  // namespace
}  // namespace tavelin
