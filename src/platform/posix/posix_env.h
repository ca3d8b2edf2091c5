// The POSIX realisation of Env. Only the process entry and tests include this header.
#ifndef TAVELIN_PLATFORM_POSIX_POSIX_ENV_H_
#define TAVELIN_PLATFORM_POSIX_POSIX_ENV_H_

#include <memory>
#include <string>

#include "platform/env.h"

namespace tavelin {

struct PosixEnvOptions {
  // The REGEDIT4 file that stands for the current user's registry. Empty:
  // $XDG_CONFIG_HOME/tavelin/registry.reg, else ~/.config/tavelin/registry.reg.
  std::string registry_file;
  // Folder of the single-instance lock files. Empty: the registry file's folder, so that a
  // desktop session and a cron job of the same user meet the same lock.
  std::string lock_folder;
  // File whose first 8 hexadecimal digits are the volume serial. Empty: /etc/machine-id.
  std::string machine_id_file;
};

std::unique_ptr<Env> NewPosixEnv(const PosixEnvOptions& options = PosixEnvOptions());

}  // namespace tavelin

#endif  // TAVELIN_PLATFORM_POSIX_POSIX_ENV_H_
