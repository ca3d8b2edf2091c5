#include "platform/file_ops.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/ascii_text.h"
#include "platform/codepage.h"
#include "platform/path.h"
#include "platform/path_rules.h"

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
    std::unique_ptr<WritableFile> file;
    if (env.NewWritableFile(path, /*append=*/false, &file).ok()) return file;
    if (attempt < attempts) MinuteWait(env, 1, pump);
  }
  return nullptr;
}

bool OpenFileWithRetries(Env& env, const std::string& path, int retries, const MessagePump& pump,
                         std::string* contents) {
  const int attempts = std::max(retries, 0) + 1;
  for (int attempt = 1; attempt <= attempts; ++attempt) {
    if (env.ReadFile(path, contents).ok()) return true;
    if (attempt < attempts) MinuteWait(env, 1, pump);
  }
  return false;
}

namespace {

constexpr const char* kTempVariables[] = {"temp", "TEMP", "TMP", "TMPDIR"};

// False for a name that an earlier one of kTempVariables already asked for: "TEMP" after
// "temp" where names ignore case.
bool AskedFirstHere(const char* name) {
  if (!EnvironmentNamesIgnoreCase()) return true;
  for (const char* earlier : kTempVariables) {
    if (earlier == name) return true;
    if (SameTextIgnoringAsciiCase(earlier, name)) return false;
  }
  return true;
}

struct TempLookup {
  std::string folder;    // with a trailing delimiter; empty when none can be had
  std::string variable;  // the variable that named it; empty for the user's own folder
  std::vector<std::string> passed_over;  // set, but without a Shift-JIS form
};

TempLookup LookUpTempFolder(Env& env) {
  TempLookup lookup;
  for (const char* name : kTempVariables) {
    if (!AskedFirstHere(name)) continue;
    std::string value;
    if (!env.GetEnvironment(name, &value)) {
      if (env.EnvironmentIsSet(name)) lookup.passed_over.push_back(name);
      continue;
    }
    value = std::string(TrimControls(value));
    if (!value.empty()) {
      lookup.folder = IncludeTrailingDelimiter(value);
      lookup.variable = name;
      return lookup;
    }
  }
  // No variable: a folder of this user only. In a folder shared by every account another
  // account's page would be read as ours, and ours read by others.
  if (!env.UserTempFolder(&lookup.folder).ok()) lookup.folder.clear();
  return lookup;
}

}  // namespace

std::string TempFolder(Env& env) {
  const TempLookup lookup = LookUpTempFolder(env);
  // The callers log NoTempFolderText() as the reason their download did not happen.
  if (lookup.folder.empty()) {
    std::fputs("tavelin: no temp folder of this user can be made; set TMPDIR\n", stderr);
  }
  return lookup.folder;
}

std::string TempFolderChoiceLine(Env& env) {
  const TempLookup lookup = LookUpTempFolder(env);
  if (lookup.folder.empty()) return std::string();
  // The system's own folder replaced by the Env (a short name, a private folder) says
  // itself which folder it uses and why.
  std::string system_note = lookup.variable.empty() ? env.TempFolderNote() : "";
  if (lookup.passed_over.empty()) return system_note;
  std::string names;
  for (const std::string& name : lookup.passed_over) names += (names.empty() ? "" : ", ") + name;
  std::string folder;
  if (!Cp932ToUtf8(lookup.folder, &folder)) folder = "another folder";
  std::fprintf(stderr, "tavelin: the folder in %s has no Shift-JIS form; using %s\n", names.c_str(),
               folder.c_str());
  if (!system_note.empty()) return system_note;
  return "環境変数 " + names + " のフォルダ名はShift-JISで表せないので、" +
         (lookup.variable.empty() ? std::string() : lookup.variable + " の ") + lookup.folder +
         " を使います";
}

std::string NoTempFolderText(Env& env) {
  const TempLookup lookup = LookUpTempFolder(env);
  if (!lookup.passed_over.empty()) {
    return "一時フォルダがありません (環境変数 " + lookup.passed_over.front() +
           " はShift-JISで表せません)";
  }
  return "一時フォルダがありません (作ることもできません)";
}

std::string TempFile(Env& env, const std::string& name) {
  const std::string folder = TempFolder(env);
  return folder.empty() ? std::string() : folder + name;
}

bool RemoveLeftOverFile(Env& env, const std::string& path) {
  return env.DeleteFile(path).ok() || !env.FileExists(path);
}

}  // namespace tavelin
