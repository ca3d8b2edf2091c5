#include "ui/backend.h"

#include <exception>

namespace tavelin::ui {

void Backend::Dispatch(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    Report(e.what());
  } catch (...) {
    Report("unknown exception");
  }
}

void Backend::Report(const std::string& message) {
  if (!hook_) return;
  try {
    hook_(message);
  } catch (...) {
    // The hook must never end the program; a failing hook loses this one message.
  }
}

}  // namespace tavelin::ui
