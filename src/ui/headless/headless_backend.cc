#include "ui/headless/headless_backend.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "platform/codepage.h"

namespace tavelin::ui {

HeadlessBackend::HeadlessBackend(Env& env) : env_(env) {}

void HeadlessBackend::QueueInput(int nth, std::function<void()> input) {
  queue_.push_back(Pending{process_calls_ + std::max(1, nth), queued_++, std::move(input)});
}

void HeadlessBackend::QueueClick(Control& control, int nth) {
  QueueInput(nth, [&control] { control.Click(); });
}

void HeadlessBackend::QueueCloseRequest(Form& form, int nth) {
  QueueInput(nth, [&form] { form.Close(); });
}

void HeadlessBackend::ProcessMessages() {
  const long call = ++process_calls_;
  // Take the due input out of the queue before running any of it: a handler may yield and
  // so re-enter this function, which must not run the same input again.
  std::vector<Pending> due;
  auto split = std::stable_partition(queue_.begin(), queue_.end(),
                                     [call](const Pending& p) { return p.due_call > call; });
  std::move(split, queue_.end(), std::back_inserter(due));
  queue_.erase(split, queue_.end());
  std::sort(due.begin(), due.end(),
            [](const Pending& a, const Pending& b) { return a.order < b.order; });
  for (Pending& pending : due) Dispatch(pending.input);
  RunDueTimers();
}

void HeadlessBackend::RunDueTimers() {
  const TDateTime now = env_.Now();
  std::vector<Timer*> due;
  for (Form* form : forms_) {
    for (Timer* timer : form->timers()) {
      if (!timer->enabled() || timer->interval_ms() <= 0) continue;
      auto it = armed_at_.find(timer);
      if (it == armed_at_.end()) it = armed_at_.emplace(timer, now).first;
      const double elapsed_ms =
          static_cast<double>(std::llround((now - it->second) * kMillisecondsPerDay));
      if (elapsed_ms >= timer->interval_ms()) {
        it->second = now;
        due.push_back(timer);
      }
    }
  }
  for (Timer* timer : due) Dispatch([timer] { timer->Fire(); });
}

bool HeadlessBackend::InputWaiting() { return !queue_.empty() || MsToNextTimer() == 0; }

long HeadlessBackend::MsToNextTimer() {
  // The clock is read only when a timer runs: a yield asks this after every element.
  std::optional<TDateTime> now;
  long best = -1;
  for (Form* form : forms_) {
    for (Timer* timer : form->timers()) {
      if (!timer->enabled() || timer->interval_ms() <= 0) continue;
      if (!now) now = env_.Now();
      auto it = armed_at_.find(timer);
      const TDateTime armed = it == armed_at_.end() ? *now : it->second;
      long left = timer->interval_ms() - std::llround((*now - armed) * kMillisecondsPerDay);
      left = std::max(0L, left);
      if (best < 0 || left < best) best = left;
    }
  }
  return best;
}

void HeadlessBackend::ShowMessage(const std::string& text, const std::string& title) {
  messages_.push_back(ShownMessage{text, title});
  if (!echo_) return;
  std::string utf8_title;
  std::string utf8_text;
  if (!Cp932ToUtf8(title, &utf8_title)) utf8_title = title;
  if (!Cp932ToUtf8(text, &utf8_text)) utf8_text = text;
  std::fprintf(stderr, "%s: %s\n", utf8_title.c_str(), utf8_text.c_str());
}

void HeadlessBackend::ShowForm(Form& form) {
  if (std::find(forms_.begin(), forms_.end(), &form) == forms_.end()) forms_.push_back(&form);
}

void HeadlessBackend::HideForm(Form& form) { (void)form; }

bool HeadlessBackend::RunMessageLoop(Form& main) {
  Adopt(main);
  Dispatch([&main] { main.Show(); });
  Dispatch([&main] { main.Activate(); });
  return RunUntilClosed(main);
}

bool HeadlessBackend::RunUntilClosed(Form& main) {
  while (!main.closed()) {
    if (queue_.empty()) {
      const long wait = MsToNextTimer();
      // No user, no queued input and no timer: nothing can ever close the window.
      if (wait < 0) return false;
      if (wait > 0) env_.SleepMs(static_cast<int>(wait));
    }
    ProcessMessages();
  }
  return true;
}

void HeadlessBackend::FormDestroyed(Form& form) {
  forms_.erase(std::remove(forms_.begin(), forms_.end(), &form), forms_.end());
  for (Timer* timer : form.timers()) armed_at_.erase(timer);
}

void HeadlessBackend::ControlChanged(Control& control) { (void)control; }

void HeadlessBackend::TimerChanged(Timer& timer) {
  // A timer counts its interval from the moment it is switched on or re-timed.
  if (timer.enabled()) {
    armed_at_[&timer] = env_.Now();
  } else {
    armed_at_.erase(&timer);
  }
}

}  // namespace tavelin::ui
