// The temp folder of the Win32 Env. The system's own (GetTempPathW: TMP, TEMP, the profile)
// usually lies in the user's profile, whose name is the account's; an account named "José"
// or "김민준" gives a folder that Shift-JIS cannot name, so no page could be saved in it.
#ifndef TAVELIN_PLATFORM_WIN32_WIN32_TEMP_H_
#define TAVELIN_PLATFORM_WIN32_WIN32_TEMP_H_

#include <string>

namespace tavelin::win32 {

struct TempFolderChoice {
  std::wstring system_path;  // with a trailing backslash
  std::string folder;        // the same in Shift-JIS
  // Empty for the system's own folder; else which folder is used instead and why, for the log.
  std::string note;
};

// The system's temp folder when Shift-JIS can name it; else its short (8.3) name where the
// volume keeps one; else PrivateTempFolder(). Each is created when missing. False when none
// can be had.
bool ChooseTempFolder(const std::wstring& system_temp, TempFolderChoice* choice);

// "%ProgramData%\Tavelin\Temp\<the user's SID>\", made with an access list that admits only
// this user and the system; an existing one is used only when this user owns it.
bool PrivateTempFolder(std::wstring* system_path);

}  // namespace tavelin::win32

#endif  // TAVELIN_PLATFORM_WIN32_WIN32_TEMP_H_
