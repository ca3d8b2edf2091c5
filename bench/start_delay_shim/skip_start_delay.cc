// Loaded into the tavelin process by fetch_bench (LD_PRELOAD): the first sleep of under a
// second returns at once. That sleep is the random start delay of every run, which would
// otherwise add up to a second of nothing to each measured fetch. Every later sleep is the
// system's.
#include <dlfcn.h>
#include <time.h>

#include <atomic>

namespace {

std::atomic<bool> skipped{false};

}  // namespace

extern "C" int nanosleep(const timespec* wait, timespec* left) {
  if (wait != nullptr && wait->tv_sec == 0 && !skipped.exchange(true)) return 0;
  using Nanosleep = int (*)(const timespec*, timespec*);
  static const Nanosleep real = reinterpret_cast<Nanosleep>(::dlsym(RTLD_NEXT, "nanosleep"));
  return real(wait, left);
}
