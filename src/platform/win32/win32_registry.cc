#include "platform/win32/win32_registry.h"

#include <vector>

#include "platform/notices.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/windows_api.h"

namespace tavelin::win32 {
namespace {

// Owns an open key.
class Key {
 public:
  Key() = default;
  ~Key() {
    if (handle_ != nullptr) ::RegCloseKey(handle_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY* out() { return &handle_; }
  HKEY get() const { return handle_; }

 private:
  HKEY handle_ = nullptr;
};

bool KeyPath(const std::string& key, std::wstring* wide) {
  std::string_view path = key;
  while (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  return path.find('\0') == std::string_view::npos && ToWide(path, wide);
}

bool ValueName(const std::string& name, std::wstring* wide) {
  return name.find('\0') == std::string::npos && ToWide(name, wide);
}

bool OpenForReading(const std::string& key, Key* opened) {
  std::wstring path;
  return KeyPath(key, &path) && ::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ,
                                                opened->out()) == ERROR_SUCCESS;
}

// The system's answer: ERROR_SUCCESS when the key is open.
LSTATUS OpenForWriting(const std::string& key, Key* opened) {
  std::wstring path;
  if (!KeyPath(key, &path)) return ERROR_INVALID_NAME;
  return ::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_WRITE, nullptr, opened->out(), nullptr);
}

// The raw bytes and type of a value; the size is asked first and asked again when the
// value grew in between.
bool QueryValue(const std::string& key, const std::string& name, DWORD* type,
                std::vector<BYTE>* data) {
  Key opened;
  std::wstring wide_name;
  if (!ValueName(name, &wide_name) || !OpenForReading(key, &opened)) return false;
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD size = 0;
    LONG status =
        ::RegQueryValueExW(opened.get(), wide_name.c_str(), nullptr, type, nullptr, &size);
    if (status != ERROR_SUCCESS) return false;
    data->assign(size, 0);
    status = ::RegQueryValueExW(opened.get(), wide_name.c_str(), nullptr, type,
                                data->empty() ? nullptr : data->data(), &size);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) return false;
    data->resize(size);
    return true;
  }
  return false;
}

}  // namespace

bool RegistryKeyExists(const std::string& key) {
  Key opened;
  return OpenForReading(key, &opened);
}

bool RegistryReadString(const std::string& key, const std::string& name, std::string* value) {
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!QueryValue(key, name, &type, &data) || (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return false;
  }
  std::wstring text(data.size() / sizeof(wchar_t), L'\0');
  if (!text.empty()) memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
  // The text ends at its first NUL; a value stored without one ends with its data.
  const std::size_t nul = text.find(L'\0');
  if (nul != std::wstring::npos) text.resize(nul);
  if (FromWide(text, value)) return true;
  // To the caller the value is just missing (for the root folder that means looking for the
  // host's files at the top of the drive); the log says why.
  PostNotice("レジストリの値 " + name + " (" + key +
             ") はShift-JISで表せないので、ないものとして読みます");
  return false;
}

bool RegistryReadInteger(const std::string& key, const std::string& name, uint32_t* value) {
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!QueryValue(key, name, &type, &data) || type != REG_DWORD || data.size() != 4) return false;
  *value = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
           static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
  return true;
}

Status RegistryWriteString(const std::string& key, const std::string& name,
                           const std::string& value) {
  std::wstring wide_name, wide_value;
  Key opened;
  if (value.find('\0') != std::string::npos || !ValueName(name, &wide_name) ||
      !ToWide(value, &wide_value)) {
    return FileFailure(0);
  }
  if (const LSTATUS open = OpenForWriting(key, &opened); open != ERROR_SUCCESS) {
    return FileFailure(static_cast<unsigned long>(open));
  }
  const DWORD size = static_cast<DWORD>((wide_value.size() + 1) * sizeof(wchar_t));
  const LSTATUS stored = ::RegSetValueExW(opened.get(), wide_name.c_str(), 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(wide_value.c_str()), size);
  return stored == ERROR_SUCCESS ? Status::OK() : FileFailure(static_cast<unsigned long>(stored));
}

Status RegistryWriteInteger(const std::string& key, const std::string& name, uint32_t value) {
  std::wstring wide_name;
  Key opened;
  if (!ValueName(name, &wide_name)) return FileFailure(0);
  if (const LSTATUS open = OpenForWriting(key, &opened); open != ERROR_SUCCESS) {
    return FileFailure(static_cast<unsigned long>(open));
  }
  const DWORD dword = value;
  const LSTATUS stored = ::RegSetValueExW(opened.get(), wide_name.c_str(), 0, REG_DWORD,
                                          reinterpret_cast<const BYTE*>(&dword), sizeof dword);
  return stored == ERROR_SUCCESS ? Status::OK() : FileFailure(static_cast<unsigned long>(stored));
}

bool RegistryDeleteTree(const std::string& key) {
  std::wstring path;
  return KeyPath(key, &path) && !path.empty() &&
         ::RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str()) == ERROR_SUCCESS &&
         ::RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str()) == ERROR_SUCCESS;
}

}  // namespace tavelin::win32
