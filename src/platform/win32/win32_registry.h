// The current user's registry through the W functions. Keys are Shift-JIS paths below
// HKEY_CURRENT_USER; a leading backslash is dropped (the system refuses it).
#ifndef TAVELIN_PLATFORM_WIN32_WIN32_REGISTRY_H_
#define TAVELIN_PLATFORM_WIN32_WIN32_REGISTRY_H_

#include <cstdint>
#include <string>

#include "platform/status.h"

namespace tavelin::win32 {

bool RegistryKeyExists(const std::string& key);
// A text value (REG_SZ or REG_EXPAND_SZ, not expanded); a value of another type reads as
// missing. A stored value without its closing NUL is read whole.
bool RegistryReadString(const std::string& key, const std::string& name, std::string* value);
// A REG_DWORD value; any other type reads as missing.
bool RegistryReadInteger(const std::string& key, const std::string& name, uint32_t* value);
// Creates the key when missing. A text holding a NUL cannot be stored.
// A failure carries the system's text (kFileError), or none for a value that cannot be
// stored (a NUL, a text without a Windows form).
Status RegistryWriteString(const std::string& key, const std::string& name,
                           const std::string& value);
Status RegistryWriteInteger(const std::string& key, const std::string& name, uint32_t value);
// Deletes `key` with all its subkeys and values.
bool RegistryDeleteTree(const std::string& key);

}  // namespace tavelin::win32

#endif  // TAVELIN_PLATFORM_WIN32_WIN32_REGISTRY_H_
