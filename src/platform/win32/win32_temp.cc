#include "platform/win32/win32_temp.h"

#include <vector>

#include "platform/win32/win32_files.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/windows_api.h"

// clang-format off
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>
// clang-format on

namespace tavelin::win32 {
namespace {

std::wstring WithBackslash(std::wstring path) {
  if (path.empty() || (path.back() != L'\\' && path.back() != L'/')) path += L'\\';
  return path;
}

// The short (8.3) form of an existing folder; empty when the system gives none.
std::wstring ShortPath(const std::wstring& path) {
  const DWORD needed = ::GetShortPathNameW(path.c_str(), nullptr, 0);
  if (needed == 0) return std::wstring();
  std::wstring short_path(needed, L'\0');
  const DWORD length = ::GetShortPathNameW(path.c_str(), short_path.data(), needed);
  if (length == 0 || length >= needed) return std::wstring();
  short_path.resize(length);
  return short_path;
}

// The SID of the process's user, as a token buffer that holds it.
bool CurrentUser(std::vector<unsigned char>* buffer, PSID* sid) {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  bool ok = size > 0;
  if (ok) {
    buffer->assign(size, 0);
    ok = ::GetTokenInformation(token, TokenUser, buffer->data(), size, &size) != 0;
  }
  ::CloseHandle(token);
  if (!ok) return false;
  *sid = reinterpret_cast<TOKEN_USER*>(buffer->data())->User.Sid;
  return true;
}

bool OwnedBy(const std::wstring& path, PSID user) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD result =
      ::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                              nullptr, nullptr, nullptr, &descriptor);
  const bool owned = result == ERROR_SUCCESS && owner != nullptr && ::EqualSid(owner, user);
  if (descriptor != nullptr) ::LocalFree(descriptor);
  return owned;
}

}  // namespace

bool PrivateTempFolder(std::wstring* system_path) {
  wchar_t common[MAX_PATH];
  if (FAILED(
          ::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, common))) {
    return false;
  }
  std::vector<unsigned char> token_user;
  PSID user = nullptr;
  wchar_t* sid_text = nullptr;
  if (!CurrentUser(&token_user, &user) || !::ConvertSidToStringSidW(user, &sid_text)) {
    return false;
  }
  const std::wstring sid(sid_text);
  ::LocalFree(sid_text);
  const std::wstring parent = WithBackslash(common) + L"Tavelin\\Temp";
  const std::wstring folder = parent + L"\\" + sid;
  if (!MakeSystemFolders(parent)) return false;

  // Protected: nothing is inherited from ProgramData, whose files every user may read.
  const std::wstring sddl = L"D:P(A;OICI;FA;;;" + sid + L")(A;OICI;FA;;;SY)";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
    return false;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  const bool made = ::CreateDirectoryW(folder.c_str(), &attributes) != 0;
  const DWORD error = made ? ERROR_SUCCESS : ::GetLastError();
  ::LocalFree(descriptor);
  // A folder of that name made by someone else could be read or filled by them.
  if (!made && (error != ERROR_ALREADY_EXISTS || !OwnedBy(folder, user))) return false;
  *system_path = WithBackslash(folder);
  return true;
}

bool ChooseTempFolder(const std::wstring& system_temp, TempFolderChoice* choice) {
  const std::wstring temp = WithBackslash(system_temp);
  std::string converted;
  if (!system_temp.empty() && FromWide(temp, &converted)) {
    if (!MakeSystemFolders(temp)) return false;
    *choice = TempFolderChoice{temp, converted, std::string()};
    return true;
  }
  // A short name exists only for a folder that exists.
  if (!system_temp.empty() && MakeSystemFolders(temp)) {
    const std::wstring short_temp = WithBackslash(ShortPath(temp));
    if (short_temp.size() > 1 && FromWide(short_temp, &converted)) {
      *choice = TempFolderChoice{
          short_temp, converted,
          "一時フォルダの名前はShift-JISで書けないので、その短い名前 " + converted + " を使います"};
      return true;
    }
  }
  std::wstring private_folder;
  if (!PrivateTempFolder(&private_folder) || !FromWide(private_folder, &converted)) return false;
  *choice = TempFolderChoice{
      private_folder, converted,
      "一時フォルダの名前はShift-JISで書けず短い名前もないので、" + converted + " を使います"};
  return true;
}

}  // namespace tavelin::win32
