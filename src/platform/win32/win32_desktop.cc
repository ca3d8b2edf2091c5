#include "platform/win32/win32_desktop.h"

#include <cwchar>
#include <vector>

#include "platform/win32/win32_text.h"
#include "platform/win32/windows_api.h"

namespace tavelin::win32 {
namespace {

class MutexLock : public InstanceLock {
 public:
  explicit MutexLock(HANDLE mutex) : mutex_(mutex) {}
  ~MutexLock() override { ::CloseHandle(mutex_); }

 private:
  HANDLE mutex_;
};

}  // namespace

std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::wstring& name, Status* why) {
  Status ignored;
  if (why == nullptr) why = &ignored;
  *why = Status::OK();
  if (name.empty() || name.find(L'\0') != std::wstring::npos) {
    *why = Status(Status::Kind::kLockFailed, "the single-instance mutex has no valid name");
    return nullptr;
  }
  const Status held(Status::Kind::kLockHeld, std::string());
  // An existing mutex means another copy runs.
  if (HANDLE existing = ::OpenMutexW(MUTEX_ALL_ACCESS, FALSE, name.c_str())) {
    ::CloseHandle(existing);
    *why = held;
    return nullptr;
  }
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
  if (mutex == nullptr) {
    // Access denied means the mutex exists under another account's rights: another copy.
    const DWORD code = ::GetLastError();
    *why = code == ERROR_ACCESS_DENIED
               ? held
               : Status(Status::Kind::kLockFailed,
                        "the single-instance mutex cannot be created (error " +
                            std::to_string(code) + ")");
    return nullptr;
  }
  // Created by another copy between the two calls.
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(mutex);
    *why = held;
    return nullptr;
  }
  return std::make_unique<MutexLock>(mutex);
}

bool WindowsVolume(std::string* label, uint32_t* serial) {
  label->clear();
  *serial = 0;
  wchar_t windows[MAX_PATH + 1];
  const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return false;
  wchar_t root[MAX_PATH + 1];
  if (!::GetVolumePathNameW(windows, root, MAX_PATH + 1)) return false;
  wchar_t name[MAX_PATH + 1] = {};
  DWORD number = 0;
  if (!::GetVolumeInformationW(root, name, MAX_PATH + 1, &number, nullptr, nullptr, nullptr, 0)) {
    return false;
  }
  std::string converted;
  if (!FromWide(name, &converted)) return false;
  *label = converted;
  *serial = number;
  return true;
}

bool FileVersionEntry(const std::wstring& file, const std::wstring& entry, std::string* value) {
  if (file.empty() || entry.empty() || entry.find(L'\\') != std::wstring::npos) {
    return false;
  }
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &ignored);
  if (size == 0) return false;
  std::vector<BYTE> block(size);
  if (!::GetFileVersionInfoW(file.c_str(), 0, size, block.data())) return false;
  struct Translation {
    WORD language;
    WORD code_page;
  };
  Translation* translations = nullptr;
  UINT translations_size = 0;
  if (!::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translations), &translations_size) ||
      translations_size < sizeof(Translation)) {
    return false;
  }
  wchar_t block_name[32];
  std::swprintf(block_name, 32, L"%04x%04x", translations[0].language, translations[0].code_page);
  const std::wstring query = L"\\StringFileInfo\\" + std::wstring(block_name) + L"\\" + entry;
  wchar_t* text = nullptr;
  UINT text_length = 0;
  if (!::VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&text),
                        &text_length) ||
      text == nullptr) {
    return false;
  }
  // The length counts characters and may include the closing NUL.
  std::wstring_view found(text, text_length);
  const std::size_t nul = found.find(L'\0');
  if (nul != std::wstring_view::npos) found = found.substr(0, nul);
  return FromWide(found, value);
}

void ShellOpen(const std::wstring& target, const std::wstring& parameters,
               const std::wstring& folder) {
  ::ShellExecuteW(nullptr, L"open", target.c_str(),
                  parameters.empty() ? nullptr : parameters.c_str(),
                  folder.empty() ? nullptr : folder.c_str(), SW_SHOWNORMAL);
}

}  // namespace tavelin::win32
