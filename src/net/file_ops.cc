#include "net/file_ops.h"

#include <algorithm>

#include "platform/ascii_text.h"
#include "platform/path.h"

namespace tavelin {
namespace {

constexpr int kWaitStepMs = 100;

}  // namespace

void MinuteWait(Env& env, double minutes, const MessagePump& pump) {
  const TDateTime until = env.Now() + minutes * kOneMinute;
  while (env.Now() < until) {
    env.SleepMs(kWaitStepMs);
    if (pump) pump();
  }
}

std::unique_ptr<WritableFile> CreateFileWithRetries(Env& env, const std::string& path, int retries,
                                                    const MessagePump& pump) {
  const int attempts = std::max(retries, 0) + 1;
  for (int attempt = 1; attempt <= attempts; ++attempt) {
    std::unique_ptr<WritableFile> file = env.NewWritableFile(path, /*append=*/false);
    if (file) return file;
    if (attempt < attempts) MinuteWait(env, 1, pump);
  }
  return nullptr;
}

bool OpenFileWithRetries(Env& env, const std::string& path, int retries, const MessagePump& pump,
                         std::string* contents) {
  const int attempts = std::max(retries, 0) + 1;
  for (int attempt = 1; attempt <= attempts; ++attempt) {
    if (env.ReadFile(path, contents)) return true;
    if (attempt < attempts) MinuteWait(env, 1, pump);
  }
  return false;
}

std::string TempFolder(Env& env) {
  for (const char* name : {"temp", "TEMP", "TMP", "TMPDIR"}) {
    std::string value;
    if (!env.GetEnvironment(name, &value)) continue;
    value = std::string(TrimControls(value));
    if (!value.empty()) return IncludeTrailingDelimiter(value);
  }
  // No variable set: the system's shared temp folder, or the root of the current drive where
  // the delimiter is a backslash.
  return PathDelimiter() == '/' ? "/tmp/" : std::string(1, PathDelimiter());
}

}  // namespace tavelin
