// The Win32 realisation of Env and the process parameters as Windows gives them. Only the
// process entry and tests include this header; it exposes no system type.
#ifndef TAVELIN_PLATFORM_WIN32_WIN32_ENV_H_
#define TAVELIN_PLATFORM_WIN32_WIN32_ENV_H_

#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"

namespace tavelin {

struct Win32EnvOptions {
  // A key below HKEY_CURRENT_USER that stands for the whole registry of the current user
  // (tests use a scratch key of their own). Empty: the registry itself.
  std::string registry_base;
  // Deletes the registry_base key with everything below it when the Env is destroyed.
  bool delete_registry_base = false;
  // Put before the names of single-instance locks, so tests do not meet a running copy.
  std::string lock_prefix;
};

std::unique_ptr<Env> NewWin32Env(const Win32EnvOptions& options = Win32EnvOptions());

// The parameters after the program name, split from the process's command line by the
// host's rules (see command_line_split.h), in Shift-JIS. A parameter with no Shift-JIS
// form is given as an empty text.
std::vector<std::string> Win32ProcessParameters();

}  // namespace tavelin

#endif  // TAVELIN_PLATFORM_WIN32_WIN32_ENV_H_
