// Machine and desktop services of the Win32 Env: the single-instance mutex, the Windows
// folder's volume, the program's version resource and the shell's "open" action.
#ifndef TAVELIN_PLATFORM_WIN32_WIN32_DESKTOP_H_
#define TAVELIN_PLATFORM_WIN32_WIN32_DESKTOP_H_

#include <cstdint>
#include <memory>
#include <string>

#include "platform/env.h"

namespace tavelin::win32 {

// The named mutex `name`, created without initial ownership; its existence is the lock and
// it lasts until the object is destroyed or the process ends. Null when it exists already.
std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::wstring& name, Status* why);

// Label and serial number of the drive that holds the Windows folder.
bool WindowsVolume(std::string* label, uint32_t* serial);

// `entry` of the StringFileInfo block of the file's version resource, in the language of
// its first translation entry.
bool FileVersionEntry(const std::wstring& file, const std::wstring& entry, std::string* value);

void ShellOpen(const std::wstring& target, const std::wstring& parameters,
               const std::wstring& folder);

}  // namespace tavelin::win32

#endif  // TAVELIN_PLATFORM_WIN32_WIN32_DESKTOP_H_
