// What the process answers before it does anything else, for a person at a terminal or a
// registry file not yet written: the usage, the version, or what to write where. Nothing is
// created or written on the way (no lock, log, INI file or output folder).
#ifndef TAVELIN_APP_FIRST_CONTACT_H_
#define TAVELIN_APP_FIRST_CONTACT_H_

#include <string>
#include <vector>

#include "platform/env.h"

namespace tavelin {

struct FirstContact {
  bool ends_here = false;    // the process ends with exit code 0 without a run
  std::string standard_out;  // Shift-JIS texts, each ending in a line feed when not empty
  std::string standard_error;
};

// For the POSIX entry, with the parameters in Shift-JIS: "-h" or "--help" as the first
// parameter gives the usage, "--version" the version, both on standard output (whatever
// follows them). Otherwise, where the registry is a file (Env::RegistryFile) and names no
// root folder, standard error says which file to write and what to put in it: without it
// every host file would be looked for at "/".
FirstContact AnswerFirstContact(Env& env, const std::vector<std::string>& parameters);

// True when the first parameter asks the Windows program for its usage ("/?").
bool AsksForWindowsUsage(const std::vector<std::string>& parameters);

// The usage shown by the Windows program in a message box, in Shift-JIS.
std::string WindowsUsage(Env& env);

}  // namespace tavelin

#endif  // TAVELIN_APP_FIRST_CONTACT_H_
