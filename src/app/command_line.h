// The two ways the host starts the plug-in: fetch mode (the output folder alone) and settings
// mode (the output folder and "/c"), decided from the command-line parameters.
#ifndef TAVELIN_APP_COMMAND_LINE_H_
#define TAVELIN_APP_COMMAND_LINE_H_

#include <string>
#include <vector>

namespace tavelin {

enum class RunMode {
  kNoParameter,  // no usable output folder: tell the user, then close
  kSettings,     // the window stays open for the user
  kFetch,        // one fetch, then the window closes by itself
};

// `parameters` excludes the program name.
RunMode DecideMode(const std::vector<std::string>& parameters);

// The first parameter as given (not trimmed) with a path delimiter appended when missing.
std::string OutputFolderOf(const std::string& first_parameter);

}  // namespace tavelin

#endif  // TAVELIN_APP_COMMAND_LINE_H_
