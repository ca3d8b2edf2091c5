// tavelin: the plug-in process that the scheduling host starts, in fetch mode with the
// output folder, or in settings mode with the output folder and "/c".
#include <memory>
#include <string>
#include <vector>

#include "app/plugin_main.h"
#include "platform/posix/posix_env.h"
#include "ui/headless/headless_backend.h"

// ---- Desktop backend choice: the one place that knows about the FLTK window ----------
#ifdef TAVELIN_HAVE_FLTK
#include "ui/fltk/fltk_backend.h"
#endif

namespace {

bool DisplayAvailable(tavelin::Env& env) {
  std::string value;
  if (env.GetEnvironment("DISPLAY", &value) && !value.empty()) return true;
  return env.GetEnvironment("WAYLAND_DISPLAY", &value) && !value.empty();
}

std::unique_ptr<tavelin::ui::Backend> MakeBackend(tavelin::Env& env) {
#ifdef TAVELIN_HAVE_FLTK
  if (DisplayAvailable(env)) {
    // A display that cannot be opened (a stale DISPLAY) leaves the run without a window.
    if (auto backend = tavelin::ui::NewFltkBackend(env)) return backend;
  }
#else
  (void)DisplayAvailable;
#endif
  return std::make_unique<tavelin::ui::HeadlessBackend>(env);
}

}  // namespace
// ---- End of the desktop backend choice ------------------------------------------------

int main(int argc, char** argv) {
  std::unique_ptr<tavelin::Env> env = tavelin::NewPosixEnv();
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return tavelin::RunPlugIn(*env, arguments, MakeBackend);
}
