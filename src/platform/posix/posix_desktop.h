// Machine and desktop services of the POSIX Env: the single-instance lock, the volume
// serial, the compiled-in version entries and the desktop's "open" action.
#ifndef TAVELIN_PLATFORM_POSIX_POSIX_DESKTOP_H_
#define TAVELIN_PLATFORM_POSIX_POSIX_DESKTOP_H_

#include <cstdint>
#include <memory>
#include <string>

#include "platform/env.h"

namespace tavelin::posix {

// An exclusive flock on <system_folder>/<name>.lock, held until the lock object is
// destroyed or the process ends; the folder is created when missing. Null when another
// process holds it (`error` empty), or when the name is empty or holds a '/' or NUL, or the
// folder or file cannot be made or opened (`error` says why).
std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::string& system_folder,
                                                  const std::string& name, std::string* error);

// The first 8 hexadecimal digits of the file as a number; false (and 0) when the file
// cannot be read or does not start with 8 such digits.
bool ReadMachineSerial(const std::string& system_path, uint32_t* serial);

// The version entry compiled into this program ("FileVersion", "ProductName", ...),
// matched without regard to case; false for any other entry.
bool CompiledVersionEntry(const std::string& entry, std::string* value);

// Starts `xdg-open target` detached from this process (its own session, standard streams
// on /dev/null) and returns at once; nothing happens when it cannot be started.
void StartDetachedOpen(const std::string& system_target);

}  // namespace tavelin::posix

#endif  // TAVELIN_PLATFORM_POSIX_POSIX_DESKTOP_H_
