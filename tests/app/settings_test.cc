#include "app/settings.h"

#include <gtest/gtest.h>

#include <string>

#include "app/command_line.h"
#include "net/md5.h"
#include "platform/path.h"
#include "platform/profile_ini.h"
#include "support/test_env.h"

namespace tavelin {
namespace {

constexpr char kKey[] = "0123456789ABCDEF0123456789ABCDEF";

TEST(PasswordScramblingTest, RoundTripPadsOrCutsToSixteenBytes) {
  struct Case {
    std::string password;
    std::string expected;
  } cases[] = {
      {"abcde", "abcde" + std::string(11, ' ')},
      {"12345678901234567890", "1234567890123456"},
      {"", std::string(16, ' ')},
      {"exactly16bytes!!", "exactly16bytes!!"},
  };
  for (const Case& c : cases) {
    const std::string stored = ScramblePassword(c.password, kKey);
    EXPECT_EQ(stored.size(), 32u) << c.password;
    EXPECT_EQ(stored.find_first_not_of("0123456789ABCDEF"), std::string::npos) << stored;
    EXPECT_EQ(UnscramblePassword(stored, kKey), c.expected) << c.password;
  }
}

TEST(PasswordScramblingTest, EachHexDigitIsXoredWithTheKeyDigit) {
  // "A" is 0x41, a space 0x20: the plain digits are "41" then fifteen times "20".
  const std::string zero_key(32, '0');
  EXPECT_EQ(
      ScramblePassword("A", zero_key), "41" + std::string() + [] {
        std::string s;
        for (int i = 0; i < 15; ++i) s += "20";
        return s;
      }());
  const std::string stored = ScramblePassword("A", kKey);
  EXPECT_EQ(stored.substr(0, 4), "4003");  // 4^0, 1^1, 2^2, 0^3
}

TEST(PasswordScramblingTest, BadStoredTextsGiveTheDocumentedFallbacks) {
  EXPECT_EQ(UnscramblePassword("", kKey), "");
  EXPECT_EQ(UnscramblePassword(std::string(31, '0'), kKey), "");
  EXPECT_EQ(UnscramblePassword(std::string(33, '0'), kKey), "");
  // A non-hex pair counts as 0, so the key byte itself comes out.
  const std::string stored = "ZZ" + ScramblePassword("", kKey).substr(2);
  EXPECT_EQ(UnscramblePassword(stored, kKey)[0], '\x01');
  // A password stored with another computer's key opens to other bytes, and saving them
  // again with this key restores the very same stored text (nothing is lost).
  const std::string other_key(32, 'F');
  const std::string foreign = ScramblePassword("secret", other_key);
  const std::string opened = UnscramblePassword(foreign, kKey);
  EXPECT_NE(opened.substr(0, 6), "secret");
  EXPECT_EQ(ScramblePassword(opened, kKey), foreign);
}

TEST(VolumeKeyTest, IsTheDigestOfLabelColonAndSerial) {
  TempDir dir;
  FakeEnv env(dir);
  std::string label;
  uint32_t serial = 0;
  env.SystemVolume(&label, &serial);
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(serial));
  EXPECT_EQ(VolumeKey(env), Md5Hex(label + ":" + digits));
  EXPECT_EQ(VolumeKey(env).size(), 32u);
}

TEST(DeckNameTest, IsTheLastPathComponent) {
  struct Case {
    const char* parameter;
    const char* deck;
  } cases[] = {
      {"/out/RD1", "RD1"},
      {"/out/RD1/", "RD1"},
      {"RD1", "RD1"},
      {"/out/RD1//", ""},
      {"/", ""},
      {"", ""},
      {"/a b/録画 1", "録画 1"},
  };
  for (const Case& c : cases) EXPECT_EQ(DeckNameOf(c.parameter), c.deck) << c.parameter;
}

TEST(RunModeTest, ParametersDecideTheMode) {
  struct Case {
    std::vector<std::string> parameters;
    RunMode mode;
  } cases[] = {
      {{}, RunMode::kNoParameter},
      {{"  "}, RunMode::kNoParameter},
      {{"", "/c"}, RunMode::kNoParameter},
      {{"/out/RD1"}, RunMode::kFetch},
      {{"/out/RD1", "x"}, RunMode::kSettings},
      {{"/out/RD1", " /C ", "y"}, RunMode::kSettings},
      {{"/out/RD1", "/d", "y"}, RunMode::kFetch},
      {{"/out/RD1", "/c", "y", "z"}, RunMode::kSettings},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecideMode(c.parameters), c.mode) << c.parameters.size();
  }
  const std::string delimiter(1, PathDelimiter());
  EXPECT_EQ(OutputFolderOf("/out/RD1"), "/out/RD1" + delimiter);
  EXPECT_EQ(OutputFolderOf("/out/RD1/"), "/out/RD1/");
  EXPECT_EQ(OutputFolderOf(" /out/RD1 "), " /out/RD1 " + delimiter);
}

class SettingsFileTest : public ::testing::Test {
 protected:
  TempDir dir_;
  FakeEnv env_{dir_};
  std::string root_ = dir_.path();

  void HostSetup(const std::string& key, const std::string& value) {
    ASSERT_TRUE(WriteProfileString(env_, root_ + "qdr.ini", "TSetup", key, value).ok());
  }
  void Own(const std::string& deck, const std::string& key, const std::string& value) {
    ASSERT_TRUE(WriteProfileString(env_, root_ + "nubra.ini", deck, key, value).ok());
  }
};

TEST_F(SettingsFileTest, RootFolderComesFromTheRegistry) {
  EXPECT_EQ(ReadRootFolder(env_), "");
  ASSERT_TRUE(env_.RegistryWriteInteger(kRootPathKey, "RootPath", 5).ok());
  EXPECT_EQ(ReadRootFolder(env_), "");  // not text
  ASSERT_TRUE(env_.RegistryWriteString(kRootPathKey, "rootpath", "/host/").ok());
  EXPECT_EQ(ReadRootFolder(env_), "/host/");
}

TEST_F(SettingsFileTest, LoadingPrefersTheDeckSectionAndKeepsCurrentTextsOtherwise) {
  Own("RD1", "RDH1_IP_Text", "192.168.0.9");
  Own("RD1", "RDH1_PW_Text", ScramblePassword("pw", VolumeKey(env_)));
  Own("RD1", "WRecSetting_ItemIndex", "7");
  RecorderSettings s{"RD-H1", "80", "user", "", 0};
  LoadRecorderSettings(env_, root_, "rd1", &s);  // sections match without regard to case
  EXPECT_EQ(s.address, "192.168.0.9");
  EXPECT_EQ(s.port, "80");
  EXPECT_EQ(s.user_id, "user");
  EXPECT_EQ(s.password, "pw" + std::string(14, ' '));
  EXPECT_EQ(s.dual_recording, 2);

  struct Case {
    const char* stored;
    int index;
  } cases[] = {{"1", 1}, {"-1", -1}, {"-9", -1}, {"x", 0}, {"", 0}, {"99999999999", 0}};
  for (const Case& c : cases) {
    Own("RD2", "WRecSetting_ItemIndex", c.stored);
    RecorderSettings t;
    LoadRecorderSettings(env_, root_, "RD2", &t);
    EXPECT_EQ(t.dual_recording, c.index) << c.stored;
  }

  // No section: texts stay, index 0, and a current password of another length than 32
  // unscrambles to nothing.
  RecorderSettings none{"host", "8080", "id", "plain", 2};
  LoadRecorderSettings(env_, root_, "missing", &none);
  EXPECT_EQ(none.address, "host");
  EXPECT_EQ(none.port, "8080");
  EXPECT_EQ(none.password, "");
  EXPECT_EQ(none.dual_recording, 0);
}

TEST_F(SettingsFileTest, SavingWritesTheSectionAndSkipsAnEmptyDeck) {
  RecorderSettings s{" host ", "80", "id", "", 1};
  EXPECT_TRUE(SaveRecorderSettings(env_, root_, "", s));
  EXPECT_FALSE(env_.FileExists(root_ + "nubra.ini"));
  EXPECT_TRUE(SaveRecorderSettings(env_, root_, "RD1", s));
  const std::string stored =
      ReadProfileString(env_, root_ + "nubra.ini", "RD1", "RDH1_PW_Text", "");
  EXPECT_EQ(stored, ScramblePassword("", VolumeKey(env_)));
  EXPECT_EQ(ReadProfileString(env_, root_ + "nubra.ini", "RD1", "WRecSetting_ItemIndex", ""), "1");
  RecorderSettings back;
  LoadRecorderSettings(env_, root_, "RD1", &back);
  EXPECT_EQ(back.user_id, "id");
  EXPECT_EQ(back.dual_recording, 1);
}

TEST_F(SettingsFileTest, ProxySelectionFollowsTheHostSwitches) {
  EXPECT_EQ(SelectProxy(env_, root_).host, "");  // no qdr.ini at all
  HostSetup("UseProxy_Checked", "true");         // not exactly "True"
  HostSetup("ProxyServerAddress_Text", " px.local ");
  HostSetup("ProxyServerPort_Text", " 3128 ");
  EXPECT_EQ(SelectProxy(env_, root_).host, "");
  HostSetup("UseProxy_Checked", "True");
  ProxyChoice choice = SelectProxy(env_, root_);
  EXPECT_EQ(choice.host, "px.local");
  EXPECT_EQ(choice.port, "3128");
  EXPECT_FALSE(HostSwitch(env_, root_, "Debug_Checked"));
}

TEST_F(SettingsFileTest, InternetExplorerProxyStrings) {
  struct Case {
    const char* server;
    uint32_t enable;
    const char* host;
    const char* port;
    bool enabled;
  } cases[] = {
      {"http=px:8080;https=other:443", 1, "px", "8080", true},
      {"HTTP=px:8080", 1, "px", "8080", true},
      {"ftp=a:21", 1, "ftp=a", "21", true},
      {"proxy:80", 0x100, "", "", false},  // only the lowest byte counts
      {"proxy", 1, "", "", false},
      {"http=px:8080", 0, "", "", false},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(env_.RegistryWriteString(kIESettingsKey, "ProxyServer", c.server).ok());
    ASSERT_TRUE(env_.RegistryWriteInteger(kIESettingsKey, "ProxyEnable", c.enable).ok());
    TIESetting setting;
    ReadIEProxy(env_, &setting);
    EXPECT_EQ(setting.proxy_host, c.host) << c.server;
    EXPECT_EQ(setting.proxy_port, c.port) << c.server;
    EXPECT_EQ(setting.enabled, c.enabled) << c.server;
  }
  ASSERT_TRUE(env_.RegistryWriteString(kIEMainKey, "Start Page", "http://start/").ok());
  ASSERT_TRUE(env_.RegistryWriteString(kIESettingsKey, "ProxyServer", "http=px:8080").ok());
  ASSERT_TRUE(env_.RegistryWriteInteger(kIESettingsKey, "ProxyEnable", 1).ok());
  TIESetting setting;
  ReadIEProxy(env_, &setting);
  EXPECT_EQ(setting.start_page, "http://start/");

  HostSetup("UseProxy_Checked", "True");
  HostSetup("UseIEProxy_Checked", "True");
  HostSetup("ProxyServerAddress_Text", "ignored");
  EXPECT_EQ(SelectProxy(env_, root_).host, "px");
  EXPECT_EQ(SelectProxy(env_, root_).port, "8080");
}

TEST_F(SettingsFileTest, MissingInternetExplorerKeysLeaveTheRecordFresh) {
  TIESetting setting;
  ReadIEProxy(env_, &setting);
  EXPECT_FALSE(setting.enabled);
  EXPECT_EQ(setting.proxy_host, "");
  EXPECT_EQ(setting.start_page, "");
}

}  // namespace
}  // namespace tavelin
