// File creation and opening with retries one minute apart, the minute wait that keeps the
// window responsive meanwhile, and the temp folder where downloaded pages are kept.
#ifndef TAVELIN_NET_FILE_OPS_H_
#define TAVELIN_NET_FILE_OPS_H_

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
// "temp", then TEMP, TMP and TMPDIR, trimmed of blanks and control bytes; "/tmp/" when none
// is set.
std::string TempFolder(Env& env);

}  // namespace tavelin

#endif  // TAVELIN_NET_FILE_OPS_H_
