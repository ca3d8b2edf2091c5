// The Win32 Env against the system (run under Wine in the build).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/path.h"
#include "platform/profile_ini.h"
#include "platform/win32/command_line_split.h"
#include "platform/win32/win32_env.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/windows_api.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

TEST(Win32CommandLineTest, SplitsByTheHostsRules) {
  const struct {
    const wchar_t* line;
    std::vector<std::wstring> parameters;
  } kCases[] = {
      {L"tavelin.exe \"C:\\Out put\\RD-X5\\\" /c",
       {L"tavelin.exe", L"C:\\Out put\\RD-X5\\", L"/c"}},
      {L"\"C:\\Program Files\\t.exe\"  D:\\out\\RD1",
       {L"C:\\Program Files\\t.exe", L"D:\\out\\RD1"}},
      {L"t.exe a\"b c\"d\te", {L"t.exe", L"ab cd", L"e"}},  // quotes anywhere, tab separates
      {L"t.exe \"\" x", {L"t.exe", L"", L"x"}},
      {L"t.exe \\\"a b", {L"t.exe", L"\\a b"}},  // a backslash escapes nothing
      {L"  ", {}},
  };
  for (const auto& c : kCases) EXPECT_EQ(win32::SplitCommandLine(c.line), c.parameters) << c.line;
}

TEST(Win32FilesTest, RootsAreNeverCreated) {
  const struct {
    const wchar_t* path;
    std::size_t root;
  } kCases[] = {
      {L"C:\\a\\b", 3},           {L"C:", 2},  {L"c:/x", 3}, {L"\\\\server\\share\\a", 15},
      {L"\\\\server\\share", 14}, {L"\\a", 1}, {L"a\\b", 0},
  };
  for (const auto& c : kCases) EXPECT_EQ(win32::RootLength(c.path), c.root) << c.path;
}

class Win32EnvTest : public ::testing::Test {
 protected:
  // Refused opens are retried for seconds in case another program lets go; here the retries'
  // clock moves by their sleeps only.
  Win32EnvTest() {
    win32::FileCallSeam seam;
    seam.now_ms = [this] { return now_ms_; };
    seam.sleep_ms = [this](int ms) { now_ms_ += static_cast<uint64_t>(ms); };
    win32::SetFileCallSeam(std::move(seam));
  }
  ~Win32EnvTest() override { win32::SetFileCallSeam(win32::FileCallSeam()); }

  uint64_t now_ms_ = 0;
  TempDir dir_;
  std::unique_ptr<Env> env_ = NewWin32Env();
};

TEST_F(Win32EnvTest, WritersShareReadingOnlyAndRefusedOpensChangeNothing) {
  const std::string file = dir_.File("予約.txt");
  auto writer = OpenForWriting(*env_, file, false);
  ASSERT_TRUE(writer);
  ASSERT_TRUE(writer->Append("abc").ok() && writer->Sync().ok());
  EXPECT_EQ(ReadBytes(file), "abc");  // another reader that shares writing gets in
  std::string contents;
  EXPECT_FALSE(env_->ReadFile(file, &contents).ok());  // the Env's reader does not
  EXPECT_FALSE(OpenForWriting(*env_, file, false));
  EXPECT_FALSE(OpenForWriting(*env_, file, true));
  ASSERT_TRUE(writer->Close().ok());
  EXPECT_EQ(ReadBytes(file), "abc");

  auto appender = OpenForWriting(*env_, file, true);
  ASSERT_TRUE(appender && appender->Append("\r\nd").ok() && appender->Close().ok());
  ASSERT_TRUE(env_->ReadFile(file, &contents).ok());
  EXPECT_EQ(contents, "abc\r\nd");
  auto truncating = OpenForWriting(*env_, file, false);
  ASSERT_TRUE(truncating && truncating->Close().ok());
  EXPECT_EQ(ReadBytes(file), "");
}

TEST_F(Win32EnvTest, FoldersRenamesLinksAndListing) {
  const std::string deep = dir_.File("出力\\RD-X5\\sub");
  EXPECT_FALSE(env_->FolderExists(deep));
  ASSERT_TRUE(env_->ForceFolders(deep + "\\").ok());
  EXPECT_TRUE(env_->FolderExists(deep));
  EXPECT_TRUE(env_->CreateFolder(deep).ok());  // exists: fine
  EXPECT_FALSE(env_->FileExists(deep));

  const std::string folder = dir_.File("出力\\RD-X5\\");
  WriteBytes(folder + "200701011200表.tvpi", "one");
  WriteBytes(folder + "b.TVPI", "two");
  WriteBytes(folder + "c.tvpix", "x");
  WriteBytes(folder + "longname_d.tvpi_old", "x");  // its 8.3 name may end in .TVP
  std::vector<std::string> names;
  ASSERT_TRUE(env_->ListFiles(folder, ".tvpi", &names).ok());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"200701011200表.tvpi", "b.TVPI"}));

  // Rename replaces; link-or-copy keeps the old content when the original is replaced.
  ASSERT_TRUE(env_->RenameFile(folder + "b.TVPI", folder + "c.tvpix").ok());
  EXPECT_FALSE(env_->FileExists(folder + "b.TVPI"));
  EXPECT_EQ(ReadBytes(folder + "c.tvpix"), "two");
  ASSERT_TRUE(env_->LinkOrCopyFile(folder + "c.tvpix", folder + "kept").ok());
  WriteBytes(folder + "new", "three");
  ASSERT_TRUE(env_->RenameFile(folder + "new", folder + "c.tvpix").ok());
  EXPECT_EQ(ReadBytes(folder + "kept"), "two");
  EXPECT_TRUE(env_->SyncFolder(folder).ok());
  EXPECT_TRUE(env_->DeleteFile(folder + "kept").ok());
  EXPECT_FALSE(env_->DeleteFile(folder + "kept").ok());
}

TEST_F(Win32EnvTest, TextsWithoutAShiftJisFormFailTheOneOperation) {
  const std::string bad = dir_.File("bad\x81");  // a lead byte without its trail byte
  EXPECT_FALSE(OpenForWriting(*env_, bad, false));
  EXPECT_FALSE(env_->ForceFolders(bad).ok());
  EXPECT_FALSE(env_->FileExists(bad));
  EXPECT_FALSE(WriteProfileString(*env_, bad, "s", "k", "v").ok());
  EXPECT_EQ(ReadProfileString(*env_, bad, "s", "k", "fallback"), "fallback");
  std::string value;
  EXPECT_FALSE(env_->GetEnvironment("PATH\x81", &value));
  EXPECT_FALSE(env_->RegistryWriteString("software\\Tavelin-test", "bad", "\x81").ok());
  EXPECT_FALSE(
      env_->RegistryWriteString("software\\Tavelin-test", "nul", std::string("a\0b", 3)).ok());

  // A file name that Shift-JIS cannot hold (e acute) is left out of the listing.
  WriteBytes(dir_.File("ok.tvpi"), "x");
  const auto accented = testing::SystemPath(dir_.path()) / std::u8string(u8"\u00e9.tvpi");
  std::ofstream(accented) << "x";
  ASSERT_TRUE(std::filesystem::exists(accented));
  std::vector<std::string> names;
  ASSERT_TRUE(env_->ListFiles(dir_.path(), ".tvpi", &names).ok());
  EXPECT_EQ(names, std::vector<std::string>{"ok.tvpi"});
}

TEST_F(Win32EnvTest, IniFilesKeepShiftJisBytes) {
  const std::string ini = dir_.File("nubra.ini");
  ASSERT_TRUE(WriteProfileString(*env_, ini, "RD-X5", "Title", "録画予約").ok());
  ASSERT_TRUE(WriteProfileString(*env_, ini, "rd-x5", "Port", "80").ok());
  EXPECT_EQ(ReadBytes(ini), "[RD-X5]\r\nTitle=録画予約\r\nPort=80\r\n");
  EXPECT_EQ(ReadProfileString(*env_, ini, "RD-X5", "TITLE", ""), "録画予約");
  EXPECT_FALSE(WriteProfileString(*env_, dir_.File("none\\x.ini"), "s", "k", "v").ok());
}

TEST_F(Win32EnvTest, RegistryOfTheCurrentUser) {
  const std::string key = "\\software\\Tavelin-test\\" + std::to_string(env_->Random32());
  EXPECT_FALSE(env_->RegistryKeyExists(key));
  ASSERT_TRUE(env_->RegistryWriteString(key, "RootPath", "C:\\予約\\").ok());
  ASSERT_TRUE(env_->RegistryWriteInteger(key, "Count", 0xFEDCBA98u).ok());
  EXPECT_TRUE(env_->RegistryKeyExists(key.substr(1)));  // with or without the backslash
  std::string text;
  uint32_t number = 0;
  ASSERT_TRUE(env_->RegistryReadString(key, "rootpath", &text));
  EXPECT_EQ(text, "C:\\予約\\");
  ASSERT_TRUE(env_->RegistryReadInteger(key, "COUNT", &number));
  EXPECT_EQ(number, 0xFEDCBA98u);
  // A value of the wrong type reads as missing.
  EXPECT_FALSE(env_->RegistryReadString(key, "Count", &text));
  EXPECT_FALSE(env_->RegistryReadInteger(key, "RootPath", &number));
  EXPECT_FALSE(env_->RegistryReadString(key, "missing", &text));

  // Values other programs stored: texts without their closing NUL, a NUL inside, binary
  // data and a short number. regedit takes hex(1) bytes as UTF-16 only from a UTF-16 file.
  const std::string reg = dir_.File("values.reg");
  const std::string ascii =
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER" + key +
      "]\r\n\"NoNul\"=hex(1):41,00,42,00\r\n\"OddBytes\"=hex(1):41,00,42\r\n"
      "\"Inner\"=hex(1):41,00,00,00,42,00,00,00\r\n\"Binary\"=hex:41,00,00,00\r\n"
      "\"Short\"=hex(4):01,02\r\n";
  std::string utf16 = "\xFF\xFE";
  for (char c : ascii) utf16 += std::string{c, '\0'};
  WriteBytes(reg, utf16);
  ASSERT_EQ(std::system(("regedit /S \"" + reg + "\"").c_str()), 0);
  const struct {
    const char* name;
    bool found;
    const char* text;
  } kStored[] = {
      {"NoNul", true, "AB"},
      {"OddBytes", true, "A"},
      {"Inner", true, "A"},
      {"Binary", false, ""},
  };
  for (const auto& c : kStored) {
    text.clear();
    EXPECT_EQ(env_->RegistryReadString(key, c.name, &text), c.found) << c.name;
    EXPECT_EQ(text, c.text) << c.name;
  }
  EXPECT_FALSE(env_->RegistryReadInteger(key, "Short", &number));
  EXPECT_FALSE(env_->RegistryReadInteger(key, "Binary", &number));
}

TEST_F(Win32EnvTest, MachineAndProcess) {
  // One holder of a named mutex at a time, free again when the holder goes.
  const std::string name = "Tavelin-test-" + std::to_string(env_->Random32());
  {
    Status why(Status::Kind::kLockFailed, "x");
    auto lock = env_->AcquireInstanceLock(name, &why);
    ASSERT_TRUE(lock);
    EXPECT_EQ(why.message(), "");
    EXPECT_FALSE(env_->AcquireInstanceLock(name, &why));
    EXPECT_EQ(why.kind(), Status::Kind::kLockHeld);  // another holder is no error
    EXPECT_EQ(why.message(), "");
  }
  EXPECT_TRUE(env_->AcquireInstanceLock(name, nullptr));
  EXPECT_FALSE(env_->EnvironmentIsSet("TAVELIN_SURELY_UNSET"));
  EXPECT_TRUE(env_->EnvironmentIsSet("PATH"));

  std::string label = "x";
  uint32_t serial = 0;
  EXPECT_TRUE(env_->SystemVolume(&label, &serial));
  EXPECT_NE(serial, 0u);

  std::string temp;
  ASSERT_TRUE(env_->UserTempFolder(&temp).ok());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_TRUE(env_->FolderExists(temp));
  std::string value;
  ASSERT_TRUE(env_->GetEnvironment("temp", &value));  // names without regard to case
  EXPECT_FALSE(env_->GetEnvironment("TAVELIN_NOT_SET", &value));

  EXPECT_EQ(ExtractFileName(env_->ProgramPath()), "platform_tests.exe");
  const uint64_t before = env_->NowMicros();
  env_->SleepMs(20);
  EXPECT_GE(env_->NowMicros() - before, 15000u);
  EXPECT_GT(env_->Now(), 40000.0);
}

TEST_F(Win32EnvTest, VersionEntriesComeFromTheProgramsResource) {
  const std::string program = "Z:" TAVELIN_BINARY_DIR "/src/tavelin.exe";
  const struct {
    const char* entry;
    const char* value;
  } kCases[] = {
      {"FileVersion", "1.2.3.0"},
      {"ProductVersion", "1.0.0.0"},
      {"ProductName", "Tavelin"},
      {"FileDescription", "RD録画予約取得プラグイン"},
  };
  for (const auto& c : kCases) {
    std::string value;
    ASSERT_TRUE(env_->VersionEntry(program, c.entry, &value)) << c.entry;
    EXPECT_EQ(value, c.value) << c.entry;
  }
  std::string value;
  EXPECT_FALSE(env_->VersionEntry(program, "SCRNSAVE", &value));
  EXPECT_FALSE(env_->VersionEntry(program + ".missing", "FileVersion", &value));
}

// The manifest makes the program one that Windows virtualises like the host (no execution
// level) and that may use long paths.
TEST(Win32ManifestTest, TheProgramAsksForNoExecutionLevel) {
  const std::wstring program = L"Z:" +
                               std::wstring(std::string_view(TAVELIN_BINARY_DIR).begin(),
                                            std::string_view(TAVELIN_BINARY_DIR).end()) +
                               L"/src/tavelin.exe";
  HMODULE module = ::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(found, nullptr);
  const char* bytes = static_cast<const char*>(::LockResource(::LoadResource(module, found)));
  const std::string manifest(bytes, ::SizeofResource(module, found));
  ::FreeLibrary(module);
  EXPECT_EQ(manifest.find("requestedExecutionLevel"), std::string::npos);
  EXPECT_EQ(manifest.find("trustInfo"), std::string::npos);
#ifdef _WIN64
  constexpr const char* kOwnArchitecture =
      "name=\"Tavelin\" version=\"1.2.3.0\" processorArchitecture=\"amd64\"";
#else
  constexpr const char* kOwnArchitecture =
      "name=\"Tavelin\" version=\"1.2.3.0\" processorArchitecture=\"x86\"";
#endif
  for (const char* kept : {"Microsoft.Windows.Common-Controls", "PerMonitorV2", "supportedOS",
                           "<longPathAware", ">true</longPathAware>", kOwnArchitecture}) {
    EXPECT_NE(manifest.find(kept), std::string::npos) << kept;
  }
}

}  // namespace
}  // namespace tavelin
