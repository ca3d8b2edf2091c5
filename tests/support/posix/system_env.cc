#include "platform/posix/posix_env.h"
#include "support/test_env.h"

namespace tavelin::testing {

std::unique_ptr<Env> NewIsolatedEnv(const TempDir& dir) {
  PosixEnvOptions options;
  options.registry_file = dir.File("registry.reg");
  options.lock_folder = dir.path();
  options.machine_id_file = dir.File("machine-id");
  return NewPosixEnv(options);
}

std::unique_ptr<Env> NewSystemEnv() { return NewPosixEnv(); }

std::filesystem::path SystemPath(const std::string& path) { return std::filesystem::path(path); }

}  // namespace tavelin::testing
