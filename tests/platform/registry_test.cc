#include "platform/posix/registry_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/posix/posix_env.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

using posix::RegistryText;

constexpr char kExported[] =
    "REGEDIT4\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software\\Morvik\\Qadrel2\\etc]\n"
    "\"RootPath\"=\"C:\\\\Program Files\\\\Qadrel\\\\\"\n"
    "\"Quote\"=\"say \\\"hi\\\"\"\n"
    "\"Count\"=dword:0000002A\n"
    "\"Bin\"=hex:01,02,\\\n"
    "  03,04\n"
    "\"Expand\"=hex(2):2f,71,\\\n"
    "  64,72,2f,00,78,00\n"
    "\"BadExpand\"=hex(2):2f,7\n"
    "@=\"default\"\n"
    "garbage line\n"
    "\"Unclosed=\"x\n"
    "\"Big\"=dword:123456789\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Morvik\\Qadrel2\\etc]\n"
    "\"RootPath\"=\"other root\"\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software\\Morvik\\Qadrel2\\TFormRD]\n"
    "\"Left\"=dword:00000010\n";

TEST(RegistryTextTest, ReadsValuesOfAnExportedFile) {
  const RegistryText reg(kExported);
  std::string text;
  uint32_t number = 0;
  EXPECT_TRUE(reg.ReadString("software\\morvik\\qadrel2\\ETC", "rootpath", &text));
  EXPECT_EQ(text, "C:\\Program Files\\Qadrel\\");
  EXPECT_TRUE(reg.ReadString("\\Software\\Morvik\\Qadrel2\\etc", "Quote", &text));
  EXPECT_EQ(text, "say \"hi\"");
  EXPECT_TRUE(reg.ReadString("Software\\Morvik\\Qadrel2\\etc", "", &text));
  EXPECT_EQ(text, "default");
  EXPECT_TRUE(reg.ReadDword("Software\\Morvik\\Qadrel2\\etc", "count", &number));
  EXPECT_EQ(number, 42u);
  EXPECT_TRUE(reg.ReadDword("Software\\Morvik\\Qadrel2\\TFormRD", "Left", &number));
  EXPECT_EQ(number, 16u);
  EXPECT_TRUE(reg.ReadString("Software\\Morvik\\Qadrel2\\etc", "Expand", &text));
  EXPECT_EQ(text, "/qdr/");  // up to the first zero byte
  EXPECT_FALSE(reg.ReadString("Software\\Morvik\\Qadrel2\\etc", "BadExpand", &text));

  EXPECT_FALSE(reg.ReadDword("Software\\Morvik\\Qadrel2\\etc", "RootPath", &number));
  EXPECT_FALSE(reg.ReadString("Software\\Morvik\\Qadrel2\\etc", "Count", &text));
  EXPECT_FALSE(reg.ReadString("Software\\Morvik\\Qadrel2\\etc", "Bin", &text));
  EXPECT_FALSE(reg.ReadString("Software\\Morvik\\Qadrel2\\etc", "Unclosed", &text));
  EXPECT_FALSE(reg.ReadDword("Software\\Morvik\\Qadrel2\\etc", "Big", &number));
  EXPECT_FALSE(reg.ReadString("Software\\Morvik\\Qadrel2\\TFormRD", "RootPath", &text));
}

TEST(RegistryTextTest, KeysExistWithTheirParents) {
  const RegistryText reg(kExported);
  EXPECT_TRUE(reg.KeyExists("software\\morvik\\qadrel2"));
  EXPECT_TRUE(reg.KeyExists("Software\\Morvik\\Qadrel2\\TFormRD\\"));
  EXPECT_FALSE(reg.KeyExists("Software\\Morv"));
  EXPECT_FALSE(reg.KeyExists("Software\\Morvik\\Qadrel2\\etc\\sub"));
  EXPECT_FALSE(RegistryText("").KeyExists("Software"));
}

TEST(RegistryTextTest, WritesChangeOneLineAndKeepTheRest) {
  RegistryText reg(kExported);
  ASSERT_TRUE(reg.WriteString("SOFTWARE\\MORVIK\\QADREL2\\ETC", "ROOTPATH", "D:\\q\\\"x\""));
  ASSERT_TRUE(reg.WriteDword("software\\morvik\\qadrel2\\tformrd", "Top", 0xDEADBEEF));
  ASSERT_TRUE(reg.WriteString("Software\\New", "Name", "v"));
  std::string expected = kExported;
  expected.replace(expected.find("\"RootPath\"=\"C:"), 40, "\"RootPath\"=\"D:\\\\q\\\\\\\"x\\\"\"");
  expected += "\"Top\"=dword:deadbeef\n\n[HKEY_CURRENT_USER\\Software\\New]\n\"Name\"=\"v\"\n";
  EXPECT_EQ(reg.text(), expected);

  std::string text;
  uint32_t number = 0;
  EXPECT_TRUE(reg.ReadString("Software\\Morvik\\Qadrel2\\etc", "RootPath", &text));
  EXPECT_EQ(text, "D:\\q\\\"x\"");
  EXPECT_TRUE(reg.ReadDword("Software\\Morvik\\Qadrel2\\TFormRD", "top", &number));
  EXPECT_EQ(number, 0xDEADBEEFu);
}

TEST(RegistryTextTest, ALineCutShortByALoneCrIsCompletedWithLfOnly) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\a]\r",
       "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\a]\r\n\"n\"=\"v\"\r\n"},
      {"REGEDIT4\r\n\r", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\a]\r\n\"n\"=\"v\"\r\n"},
  };
  for (const auto& c : cases) {
    RegistryText reg(c.text);
    ASSERT_TRUE(reg.WriteString("a", "n", "v"));
    EXPECT_EQ(reg.text(), c.expected);
    EXPECT_TRUE(RegistryText(reg.text()).KeyExists("a"));
  }
}

TEST(RegistryTextTest, RefusesWhatTheFormatCannotHold) {
  RegistryText reg("");
  EXPECT_FALSE(reg.WriteString("Software", "n", "two\nlines"));
  EXPECT_FALSE(reg.WriteString("", "n", "v"));
  EXPECT_FALSE(reg.WriteString("Soft]ware", "n", "v"));
  EXPECT_FALSE(reg.WriteDword("Software", std::string("a\0b", 3), 1));
  EXPECT_EQ(reg.text(), "");
  ASSERT_TRUE(reg.WriteString("Software", "n", "v"));
  EXPECT_EQ(reg.text(), "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n\"n\"=\"v\"\n");
}

TEST(RegistryEnvTest, RoundTripsThroughTheFileInShiftJis) {
  testing::TempDir dir;
  PosixEnvOptions options;
  options.registry_file = dir.File("config/tavelin/registry.reg");
  auto env = NewPosixEnv(options);
  const std::string key = "software\\Morvik\\Qadrel2\\etc";
  std::string text;
  EXPECT_FALSE(env->RegistryKeyExists(key));
  EXPECT_FALSE(env->RegistryReadString(key, "RootPath", &text));

  ASSERT_TRUE(env->RegistryWriteString(key, "RootPath", "/home/予約\\\"q\"/").ok());
  ASSERT_TRUE(env->RegistryWriteInteger(key, "Count", 7).ok());
  EXPECT_TRUE(env->RegistryKeyExists("SOFTWARE\\morvik"));
  ASSERT_TRUE(env->RegistryReadString(key, "rootpath", &text));
  EXPECT_EQ(text, "/home/予約\\\"q\"/");
  uint32_t number = 0;
  ASSERT_TRUE(env->RegistryReadInteger(key, "COUNT", &number));
  EXPECT_EQ(number, 7u);
  // UTF-8 on disk, with the escapes of the format.
  EXPECT_EQ(testing::ReadBytes(options.registry_file),
            "REGEDIT4\n\n[HKEY_CURRENT_USER\\software\\Morvik\\Qadrel2\\etc]\n"
            "\"RootPath\"=\"/home/\xE4\xBA\x88\xE7\xB4\x84\\\\\\\"q\\\"/\"\n"
            "\"Count\"=dword:00000007\n");

  // A value with no Shift-JIS form reads as missing, and standard error says why.
  testing::WriteBytes(options.registry_file,
                      "REGEDIT4\n[HKEY_CURRENT_USER\\k]\n\"a\"=\"\xC3\xA9\"\n");
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(env->RegistryReadString("k", "a", &text));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "tavelin: the registry value \"a\" of k (\xC3\xA9) has no Shift-JIS form; it is "
            "read as missing\n");
}

TEST(RegistryEnvTest, DefaultFileFollowsXdgConfigHome) {
  testing::TempDir dir;
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old == nullptr ? "" : old;
  ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
  auto env = NewPosixEnv();
  EXPECT_TRUE(env->RegistryWriteInteger("software\\x", "n", 1).ok());
  if (old == nullptr) {
    ::unsetenv("XDG_CONFIG_HOME");
  } else {
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  }
  EXPECT_NE(testing::ReadBytes(dir.File("tavelin/registry.reg")).find("\"n\"=dword:00000001"),
            std::string::npos);
}

}  // namespace
}  // namespace tavelin
