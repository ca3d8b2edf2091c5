#include "app/plugin_main.h"

#include <cstdio>
#include <exception>

#include "app/first_contact.h"
#include "app/form_rd.h"
#include "app/log_file.h"
#include "app/settings.h"
#include "platform/codepage.h"
#include "platform/notices.h"
#include "platform/path.h"

namespace tavelin {
namespace {

// Writes `message` as an error line to the host's log when there is no window whose log
// could take it (before the window is made, after it is gone), together with every notice
// still kept. Nothing is written when the registry names no root folder: the log's place is
// then unknown.
void LogWithoutWindow(Env& env, const std::string& message) {
  try {
    const std::string root = ReadRootFolder(env);
    if (root.empty()) return;
    TLogFile log(env);
    log.SetLogFileName(IncludeTrailingDelimiter(root) + "qdr.log");
    log.SetActive(true);
    SetNoticeSink([&log](const std::string& notice) { log.WriteLine(notice, true); });
    SetNoticeSink(nullptr);
    log.WriteLine(message, true);
  } catch (...) {
    // Standard error has it already; the process ends either way.
  }
}

// Writes a Shift-JIS text to a terminal, which reads UTF-8.
void PrintUtf8(const std::string& text, std::FILE* stream) {
  if (text.empty()) return;
  std::string utf8;
  std::fputs(Cp932ToUtf8(text, &utf8) ? utf8.c_str() : text.c_str(), stream);
  std::fflush(stream);
}

}  // namespace

int RunPlugIn(Env& env, const std::vector<std::string>& native_arguments,
              const BackendFactory& make_backend) {
  std::vector<std::string> parameters;
  for (const std::string& argument : native_arguments) {
    std::string converted;
    if (!Utf8ToCp932(argument, &converted)) {
      // The parameter then counts as empty; without this line the user would only be told
      // to start the program from the host.
      std::fprintf(stderr,
                   "tavelin: parameter %zu (%s) has no Shift-JIS form; it is taken as empty\n",
                   parameters.size() + 1, argument.c_str());
      PostNotice("引数 " + std::to_string(parameters.size() + 1) +
                 " はShift-JISで表せないので空として扱います");
      converted.clear();
    }
    parameters.push_back(converted);
  }
  const FirstContact answer = AnswerFirstContact(env, parameters);
  PrintUtf8(answer.standard_out, stdout);
  PrintUtf8(answer.standard_error, stderr);
  if (answer.ends_here) return 0;
  return RunPlugInWithParameters(env, parameters, make_backend);
}

int RunPlugInWithParameters(Env& env, const std::vector<std::string>& parameters,
                            const BackendFactory& make_backend) {
  try {
    env.SleepMs(static_cast<int>(env.Random32() % 1000));
    // Another copy running: end silently. Any other reason is said before ending, or every
    // later start would end just as silently.
    Status lock_status;
    std::unique_ptr<InstanceLock> lock = env.AcquireInstanceLock(kInstanceLockName, &lock_status);
    if (!lock) {
      if (lock_status.kind() != Status::Kind::kLockHeld) {
        const std::string& lock_error = lock_status.message();
        std::string text;
        if (lock_error.empty() || !Cp932ToUtf8(lock_error, &text)) {
          text = "the single-instance lock cannot be taken";
        }
        std::fprintf(stderr, "tavelin: %s; ending without a run.\n", text.c_str());
        LogWithoutWindow(env, "多重起動を防ぐロックを取れないので終わります: " + lock_error);
      }
      return 0;
    }

    std::unique_ptr<ui::Backend> backend = make_backend(env);
    TFormRD form(env, *backend, parameters);
    if (!backend->RunMessageLoop(form)) {
      // Only a window without a user ends up here: settings mode has nobody to wait for.
      if (form.mode() == RunMode::kSettings) {
        std::fputs(
            "tavelin: settings mode needs a desktop display; none is available, so the "
            "window closes at once.\n",
            stderr);
        const std::string text = "設定画面を出すデスクトップがないので終わります";
        form.LogFile1.WriteLine(text, true);
        if (backend->interactive()) backend->ShowMessage(text, kApplicationTitle);
      }
      form.Close();
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tavelin: %s\n", e.what());
    LogWithoutWindow(env, e.what());
  } catch (...) {
    std::fputs("tavelin: unexpected error\n", stderr);
    LogWithoutWindow(env, "予期しないエラー");
  }
  return 0;
}

}  // namespace tavelin
