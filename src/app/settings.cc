#include "app/settings.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "net/md5.h"
#include "platform/ascii_text.h"
#include "platform/path.h"
#include "platform/profile_ini.h"

namespace tavelin {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr int kPasswordBytes = 16;
constexpr std::size_t kScrambledBytes = std::size_t{2} * kPasswordBytes;  // two hex digits a byte

// Two characters read as one hexadecimal byte; 0 when either is no hex digit.
int HexPair(char high, char low) {
  const int h = HexDigitValue(high);
  const int l = HexDigitValue(low);
  return (h < 0 || l < 0) ? 0 : h * 16 + l;
}

// A decimal integer with an optional sign; false for anything else or an overflow.
bool ParseInt(const std::string& text, int* value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  if (begin == end) return false;
  auto [ptr, ec] = std::from_chars(begin, end, *value);
  return ec == std::errc() && ptr == end;
}

std::string IniPath(const std::string& root_folder, const char* file) {
  return IncludeTrailingDelimiter(root_folder) + file;
}

}  // namespace

std::string ReadRootFolder(Env& env) {
  std::string value;
  if (!env.RegistryReadString(kRootPathKey, "RootPath", &value)) return "";
  return value;
}

std::string HostSetting(Env& env, const std::string& root_folder, const std::string& key) {
  return ReadProfileString(env, IniPath(root_folder, kHostIniFile), kHostSetupSection, key, "");
}

bool HostSwitch(Env& env, const std::string& root_folder, const std::string& key) {
  return HostSetting(env, root_folder, key) == "True";
}

std::string DeckNameOf(const std::string& first_parameter) {
  std::string path = first_parameter;
  // One trailing delimiter is dropped; the check goes through the path helper so the trail
  // byte of a double-byte character is never taken for one.
  if (!path.empty() && IncludeTrailingDelimiter(path) == path) path.pop_back();
  return ExtractFileName(path);
}

std::string VolumeKey(Env& env) {
  std::string label;
  uint32_t serial = 0;
  if (!env.SystemVolume(&label, &serial)) {
    label.clear();
    serial = 0;
  }
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(serial));
  return Md5Hex(label + ":" + digits);
}

std::string ScramblePassword(const std::string& password, const std::string& key) {
  const std::string padded =
      (password + std::string(kPasswordBytes, ' ')).substr(0, kPasswordBytes);
  std::string stored;
  stored.reserve(kScrambledBytes);
  for (std::size_t i = 0; i < kScrambledBytes; ++i) {
    const auto byte = static_cast<unsigned char>(padded[i / 2]);
    const int nibble = (i % 2 == 0) ? byte >> 4 : byte & 0x0F;
    const int key_nibble = i < key.size() ? std::max(0, HexDigitValue(key[i])) : 0;
    stored.push_back(kHexDigits[nibble ^ key_nibble]);
  }
  return stored;
}

std::string UnscramblePassword(const std::string& stored, const std::string& key) {
  if (stored.size() != kScrambledBytes || key.size() != kScrambledBytes) return "";
  std::string password;
  for (std::size_t j = 0; j < kScrambledBytes; j += 2) {
    const int a = HexPair(stored[j], stored[j + 1]);
    const int b = HexPair(key[j], key[j + 1]);
    password.push_back(static_cast<char>(a ^ b));
  }
  return password;
}

void LoadRecorderSettings(Env& env, const std::string& root_folder, const std::string& deck_name,
                          RecorderSettings* settings) {
  const std::string file = IniPath(root_folder, kOwnIniFile);
  auto read = [&](const char* key, const std::string& current) {
    return ReadProfileString(env, file, deck_name, key, current);
  };
  settings->address = read("RDH1_IP_Text", settings->address);
  settings->port = read("RDH1_Port_Text", settings->port);
  settings->user_id = read("RDH1_ID_Text", settings->user_id);
  settings->password = UnscramblePassword(read("RDH1_PW_Text", settings->password), VolumeKey(env));
  int index = 0;
  if (!ParseInt(read("WRecSetting_ItemIndex", "0"), &index)) index = 0;
  settings->dual_recording = std::clamp(index, -1, 2);
}

bool SaveRecorderSettings(Env& env, const std::string& root_folder, const std::string& deck_name,
                          const RecorderSettings& settings) {
  if (deck_name.empty()) return true;
  const std::string file = IniPath(root_folder, kOwnIniFile);
  bool ok = WriteProfileString(env, file, deck_name, "RDH1_IP_Text", settings.address).ok();
  ok = WriteProfileString(env, file, deck_name, "RDH1_Port_Text", settings.port).ok() && ok;
  ok = WriteProfileString(env, file, deck_name, "RDH1_ID_Text", settings.user_id).ok() && ok;
  ok = WriteProfileString(env, file, deck_name, "RDH1_PW_Text",
                          ScramblePassword(settings.password, VolumeKey(env)))
           .ok() &&
       ok;
  ok = WriteProfileString(env, file, deck_name, "WRecSetting_ItemIndex",
                          std::to_string(settings.dual_recording))
           .ok() &&
       ok;
  return ok;
}

void ReadIEProxy(Env& env, TIESetting* setting) {
  if (env.RegistryKeyExists(kIESettingsKey)) {
    uint32_t enable = 0;
    setting->enabled =
        env.RegistryReadInteger(kIESettingsKey, "ProxyEnable", &enable) && (enable & 0xFF) != 0;
    std::string server;
    if (!env.RegistryReadString(kIESettingsKey, "ProxyServer", &server)) server.clear();
    const size_t http = LowerAsciiBytes(server).find("http=");
    if (http != std::string::npos) {
      server = server.substr(http + 5);
      const size_t semicolon = server.find(';');
      if (semicolon != std::string::npos) server.resize(semicolon);
    }
    const size_t colon = server.find(':');
    if (colon != std::string::npos && setting->enabled) {
      setting->proxy_host = server.substr(0, colon);
      setting->proxy_port = server.substr(colon + 1);
    } else {
      setting->proxy_host.clear();
      setting->proxy_port.clear();
      setting->enabled = false;
    }
  }
  if (env.RegistryKeyExists(kIEMainKey)) {
    std::string start_page;
    if (!env.RegistryReadString(kIEMainKey, "Start Page", &start_page)) start_page.clear();
    setting->start_page = start_page;
  }
}

ProxyChoice SelectProxy(Env& env, const std::string& root_folder) {
  if (!HostSwitch(env, root_folder, "UseProxy_Checked")) return {};
  if (!HostSwitch(env, root_folder, "UseIEProxy_Checked")) {
    return {std::string(TrimControls(HostSetting(env, root_folder, "ProxyServerAddress_Text"))),
            std::string(TrimControls(HostSetting(env, root_folder, "ProxyServerPort_Text")))};
  }
  TIESetting setting;
  ReadIEProxy(env, &setting);
  return {setting.proxy_host, setting.proxy_port};
}

}  // namespace tavelin
