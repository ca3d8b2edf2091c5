// Where Tavelin's settings live and how they are read and written: the host's root folder
// (registry), the host's switches in "qdr.ini", the recorder settings per deck in
// "nubra.ini" with the scrambled password, and the proxy choice (host INI or the Internet
// Explorer settings in the registry).
#ifndef TAVELIN_APP_SETTINGS_H_
#define TAVELIN_APP_SETTINGS_H_

#include <string>

#include "platform/env.h"

namespace tavelin {

inline constexpr char kRootPathKey[] = "software\\Morvik\\Qadrel2\\etc";
inline constexpr char kHostIniFile[] = "qdr.ini";
inline constexpr char kHostSetupSection[] = "TSetup";
inline constexpr char kOwnIniFile[] = "nubra.ini";

// The host's root folder: registry value "RootPath"; empty when the key or value is missing
// or is no text. Callers add the path delimiter.
std::string ReadRootFolder(Env& env);

// Value of `key` in section "TSetup" of "qdr.ini" in `root_folder` (which ends with a
// delimiter); empty when absent. The file is read afresh at every call.
std::string HostSetting(Env& env, const std::string& root_folder, const std::string& key);
// A host switch is on only when its value is exactly "True".
bool HostSwitch(Env& env, const std::string& root_folder, const std::string& key);

// The recorder's name: the last path component of the output folder parameter (one trailing
// delimiter ignored). It names the "nubra.ini" section and the channel rows of the deck.
std::string DeckNameOf(const std::string& first_parameter);

// The computer-bound key of the password scrambling: MD5 hex of the system volume's label,
// ":" and its serial number as 8 upper-case hex digits.
std::string VolumeKey(Env& env);
// Password to the stored 32 hex digits: padded with spaces or cut to 16 bytes, written as
// hex, each digit xor-ed with the key's digit at the same place.
std::string ScramblePassword(const std::string& password, const std::string& key);
// The reverse: 16 bytes (spaces kept); empty when `stored` is not 32 characters long.
// Non-hex digit pairs count as 0.
std::string UnscramblePassword(const std::string& stored, const std::string& key);

// The recorder settings shown in the window.
struct RecorderSettings {
  std::string address;     // RDH1_IP
  std::string port;        // RDH1_Port
  std::string user_id;     // RDH1_ID
  std::string password;    // RDH1_PW, in clear
  int dual_recording = 0;  // WRecSetting item index, -1 .. 2
};

// Fills `settings` from section `deck_name` of "nubra.ini". Absent keys keep the texts
// `settings` holds (the password's current text is unscrambled like a stored one); an
// absent or non-numeric dual-recording value gives 0, and it is clamped into -1 .. 2.
void LoadRecorderSettings(Env& env, const std::string& root_folder, const std::string& deck_name,
                          RecorderSettings* settings);
// Writes `settings` into section `deck_name` of "nubra.ini"; nothing for an empty deck
// name. False when a value could not be written.
bool SaveRecorderSettings(Env& env, const std::string& root_folder, const std::string& deck_name,
                          const RecorderSettings& settings);

// The Internet Explorer proxy record.
struct TIESetting {
  bool enabled = false;
  std::string proxy_host;
  std::string proxy_port;
  std::string start_page;
};

inline constexpr char kIESettingsKey[] =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
inline constexpr char kIEMainKey[] = "\\Software\\Microsoft\\Internet Explorer\\Main";

// Fills `setting` from the Internet Explorer keys of the registry: the web proxy of
// "ProxyServer" (its "http=" entry when it names protocols) when "ProxyEnable" is on and the
// value holds a ":", otherwise no proxy; and the start page.
void ReadIEProxy(Env& env, TIESetting* setting);

struct ProxyChoice {
  std::string host;  // empty: no proxy
  std::string port;
};

// The proxy for requests to the recorder, from the host's switches.
ProxyChoice SelectProxy(Env& env, const std::string& root_folder);

}  // namespace tavelin

#endif  // TAVELIN_APP_SETTINGS_H_
