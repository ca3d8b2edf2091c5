// The process entry's work, apart from choosing the platform: the random start delay, the
// single-instance lock, the window and its message loop. The exit code is always 0.
#ifndef TAVELIN_APP_PLUGIN_MAIN_H_
#define TAVELIN_APP_PLUGIN_MAIN_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "ui/backend.h"

namespace tavelin {

inline constexpr char kInstanceLockName[] = "NubraPlugIn";

using BackendFactory = std::function<std::unique_ptr<ui::Backend>(Env& env)>;

// Runs one plug-in process. `native_arguments` are the parameters after the program name as
// the system gives them (UTF-8 on POSIX); one that does not convert to Shift-JIS counts as
// empty. `--help`, `--version` and a registry file without a root folder are answered on the
// terminal first, without a run (first_contact.h). `make_backend` builds the window
// backend. Returns the exit code, 0.
int RunPlugIn(Env& env, const std::vector<std::string>& native_arguments,
              const BackendFactory& make_backend);

// The same with `parameters` already in Shift-JIS, as the Windows entry splits them from
// the command line.
int RunPlugInWithParameters(Env& env, const std::vector<std::string>& parameters,
                            const BackendFactory& make_backend);

}  // namespace tavelin

#endif  // TAVELIN_APP_PLUGIN_MAIN_H_
