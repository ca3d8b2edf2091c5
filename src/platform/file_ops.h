// File creation and opening with retries one minute apart, the minute wait that keeps the
// window responsive meanwhile, and the temp folder where downloaded pages are kept.
#ifndef TAVELIN_PLATFORM_FILE_OPS_H_
#define TAVELIN_PLATFORM_FILE_OPS_H_

#include <functional>
#include <memory>
#include <string>

#include "platform/env.h"

namespace tavelin {

// Lets the window process its pending messages; may be empty.
using MessagePump = std::function<void()>;

// Waits `minutes`, sleeping 100 ms at a time through `env` and running `pump` after each
// sleep.
void MinuteWait(Env& env, double minutes, const MessagePump& pump);

// Up to retries + 1 attempts to create (or truncate) `path` for writing, a minute wait
// between attempts. Null when every attempt failed.
std::unique_ptr<WritableFile> CreateFileWithRetries(Env& env, const std::string& path, int retries,
                                                    const MessagePump& pump);

// Up to retries + 1 attempts to read `path` whole, a minute wait between attempts. An
// attempt fails while the file is missing or another program holds it open for writing.
bool OpenFileWithRetries(Env& env, const std::string& path, int retries, const MessagePump& pump,
                         std::string* contents);

// The folder for downloaded pages, ending with a path delimiter: the environment variable
// "temp", then TEMP, TMP and TMPDIR, trimmed of blanks and control bytes (where names ignore
// case, "TEMP" is "temp" and asked once); a variable whose text has no Shift-JIS form is
// skipped. Without one, a folder of this user only (Env::UserTempFolder), never a folder
// shared with other accounts. Empty when none can be had; downloads then fail.
std::string TempFolder(Env& env);

// One plain line for the log, once a run, when TempFolder() is not the folder the system
// named: which folder is used and why (the same on standard error, in English). Empty when
// there is nothing to say, and when no temp folder can be had at all: the download that
// then fails says why (NoTempFolderText).
std::string TempFolderChoiceLine(Env& env);

// Why TempFolder() found none, in one line for the log.
std::string NoTempFolderText(Env& env);

// TempFolder() + `name`; empty when there is no temp folder.
std::string TempFile(Env& env, const std::string& name);

// Deletes a page file left from an earlier download. False when it is still there, for
// instance held by another program: a download must then not go ahead, or the old page
// could be read as the new one.
bool RemoveLeftOverFile(Env& env, const std::string& path);

}  // namespace tavelin

#endif  // TAVELIN_PLATFORM_FILE_OPS_H_
