#include "platform/path.h"
#include "platform/win32/win32_env.h"
#include "support/test_env.h"

namespace tavelin::testing {

// A registry key and lock names of the test folder's own, so tests neither see the Wine
// prefix's registry nor meet a running tavelin.exe.
std::unique_ptr<Env> NewIsolatedEnv(const TempDir& dir) {
  std::string folder = dir.path();
  folder.pop_back();
  const std::string id = ExtractFileName(folder);
  Win32EnvOptions options;
  options.registry_base = "Software\\Tavelin-tests\\" + id;
  options.delete_registry_base = true;
  options.lock_prefix = id + "-";
  return NewWin32Env(options);
}

std::unique_ptr<Env> NewSystemEnv() { return NewWin32Env(); }

}  // namespace tavelin::testing
