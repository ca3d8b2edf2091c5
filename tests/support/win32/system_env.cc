#include "platform/codepage.h"
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

// Through UTF-8, which std::filesystem takes on every platform; bytes that are no Shift-JIS
// are passed as they are.
std::filesystem::path SystemPath(const std::string& path) {
  std::string utf8;
  if (!Cp932ToUtf8(path, &utf8)) return std::filesystem::path(path);
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace tavelin::testing
