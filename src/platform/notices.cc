#include "platform/notices.h"

#include <mutex>
#include <set>
#include <utility>
#include <vector>

namespace tavelin {
namespace {

// Only so many notices wait for a log; a condition that keeps producing new texts must
// not fill the memory of a process that never opens one.
constexpr std::size_t kMostKept = 64;

struct NoticeState {
  std::mutex mutex;
  NoticeSink sink;
  std::vector<std::string> kept;
  std::set<std::string> told;
};

NoticeState& State() {
  static NoticeState* state = new NoticeState;  // never destroyed: usable until exit
  return *state;
}

}  // namespace

void PostNotice(const std::string& message) {
  NoticeState& state = State();
  NoticeSink sink;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!state.told.insert(message).second) return;
    if (!state.sink) {
      if (state.kept.size() < kMostKept) state.kept.push_back(message);
      return;
    }
    sink = state.sink;
  }
  sink(message);
}

void SetNoticeSink(const NoticeSink& sink) {
  NoticeState& state = State();
  std::vector<std::string> kept;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    state.sink = sink;
    if (sink) kept.swap(state.kept);
  }
  for (const std::string& message : kept) sink(message);
}

void ResetNotices() {
  NoticeState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.kept.clear();
  state.told.clear();
}

}  // namespace tavelin
