#include "platform/file_ops.h"

#include <algorithm>
#include <cstdio>

#include "platform/ascii_text.h"
#include "platform/notices.h"
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
    if (!env.GetEnvironment(name, &value)) {
      if (env.EnvironmentIsSet(name)) {
        std::fprintf(stderr, "tavelin: %s names a folder without a Shift-JIS form; not used\n",
                     name);
        PostNotice(std::string("環境変数 ") + name +
                   " のフォルダ名はShift-JISで表せないので使いません");
      }
      continue;
    }
    value = std::string(TrimControls(value));
    if (!value.empty()) return IncludeTrailingDelimiter(value);
  }
  // No variable: a folder of this user only. In a folder shared by every account another
  // account's page would be read as ours, and ours read by others.
  std::string folder;
  if (env.UserTempFolder(&folder)) return folder;
  // The callers log NoTempFolderText() as the reason their download did not happen.
  std::fputs("tavelin: no temp folder of this user can be made; set TMPDIR\n", stderr);
  return std::string();
}

std::string NoTempFolderText(Env& env) {
  for (const char* name : {"temp", "TEMP", "TMP", "TMPDIR"}) {
    std::string value;
    if (env.EnvironmentIsSet(name) && !env.GetEnvironment(name, &value)) {
      return std::string("一時フォルダがありません (環境変数 ") + name +
             " はShift-JISで表せません)";
    }
  }
  return "一時フォルダがありません (作ることもできません)";
}

std::string TempFile(Env& env, const std::string& name) {
  const std::string folder = TempFolder(env);
  return folder.empty() ? std::string() : folder + name;
}

bool RemoveLeftOverFile(Env& env, const std::string& path) {
  return env.DeleteFile(path) || !env.FileExists(path);
}

}  // namespace tavelin
