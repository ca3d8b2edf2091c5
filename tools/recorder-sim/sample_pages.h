// The built-in pages of the simulated recorder, as Shift-JIS text.
#ifndef TAVELIN_TOOLS_RECORDER_SIM_SAMPLE_PAGES_H_
#define TAVELIN_TOOLS_RECORDER_SIM_SAMPLE_PAGES_H_

#include <cstddef>
#include <ctime>
#include <string>

namespace recorder_sim {

// The reservation list in the table layout; dates follow `today`.
std::string TableLayoutPage(const std::tm& today);
// The reservation list with one script line per reservation.
std::string ScriptLayoutPage(const std::tm& today);
// The channel setup page.
std::string ChannelSetupPage();
// `page` grown to `size` bytes with comment lines before its end (unchanged when larger).
std::string PadPage(const std::string& page, std::size_t size);

}  // namespace recorder_sim

#endif  // TAVELIN_TOOLS_RECORDER_SIM_SAMPLE_PAGES_H_
