// tavelin.exe: the plug-in process that the scheduling host starts, in fetch mode with the
// output folder, or in settings mode with the output folder and "/c".
#include <memory>
#include <string>
#include <vector>

#include "app/first_contact.h"
#include "app/plugin_main.h"
#include "platform/win32/win32_env.h"
#include "ui/headless/headless_backend.h"

// ---- Desktop backend choice: the one place that knows about the Windows window --------
#ifdef TAVELIN_HAVE_WIN32_UI
#include "ui/win32/win32_backend.h"
#endif

namespace {

std::unique_ptr<tavelin::ui::Backend> MakeBackend(tavelin::Env& env) {
#ifdef TAVELIN_HAVE_WIN32_UI
  if (auto backend = tavelin::ui::NewWin32Backend(env)) return backend;
#endif
  return std::make_unique<tavelin::ui::HeadlessBackend>(env);
}

}  // namespace
// ---- End of the desktop backend choice ------------------------------------------------

int main() {
  std::unique_ptr<tavelin::Env> env = tavelin::NewWin32Env();
  // The command line is split here by the host's rules, not by the C runtime's argv.
  const std::vector<std::string> parameters = tavelin::Win32ProcessParameters();
  if (tavelin::AsksForWindowsUsage(parameters)) {
    // Before the lock and the window: nothing is read, created or written.
    MakeBackend(*env)->ShowMessage(tavelin::WindowsUsage(*env), "Tavelin");
    return 0;
  }
  return tavelin::RunPlugInWithParameters(*env, parameters, MakeBackend);
}
