// Notices: messages for the user from code that has no log at hand, such as the platform
// layer, the temp folder look-up or the start of the process before the window exists.
// Standard error is no place a Windows user can read, so each notice is kept until the log
// takes it: the window installs a sink once its log is open, which first receives every
// notice kept so far, in order, and then each new one as it is posted. Each text is told once
// per process, however often the same condition is met.
#ifndef TAVELIN_PLATFORM_NOTICES_H_
#define TAVELIN_PLATFORM_NOTICES_H_

#include <functional>
#include <string>

namespace tavelin {

using NoticeSink = std::function<void(const std::string& message)>;

// Posts one notice (a Shift-JIS line for the log, without line end). A text posted before
// is dropped.
void PostNotice(const std::string& message);

// Installs `sink` and hands it the kept notices; an empty sink keeps notices again.
void SetNoticeSink(const NoticeSink& sink);

// Forgets the kept notices and the texts already told (for tests).
void ResetNotices();

}  // namespace tavelin

#endif  // TAVELIN_PLATFORM_NOTICES_H_
