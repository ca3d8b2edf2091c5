#include "platform/win32/win32_env.h"
#include "support/test_env.h"

namespace tavelin::testing {

std::unique_ptr<Env> NewIsolatedEnv(const TempDir&) { return NewWin32Env(); }

std::unique_ptr<Env> NewSystemEnv() { return NewWin32Env(); }

}  // namespace tavelin::testing
