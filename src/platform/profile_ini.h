// Private-profile INI text, read and updated the way the Windows profile functions do:
// section and key names match without regard to ASCII case, the first matching section and
// key win, values lose surrounding blanks and one pair of enclosing quotes, and an update
// keeps every other byte of the text. Works on the bytes as they are (Shift-JIS). The files
// are read and replaced through Env's ReadSharedFile and ReplaceFile, so every Env (the
// in-memory one of the tests included) sees INI traffic like any other file's.
#ifndef TAVELIN_PLATFORM_PROFILE_INI_H_
#define TAVELIN_PLATFORM_PROFILE_INI_H_

#include <string>
#include <string_view>

#include "platform/status.h"

namespace tavelin {

class Env;

// Reads `key` of `section` of the INI file; `fallback` when the file, the section or the
// key is missing.
std::string ReadProfileString(Env& env, const std::string& file, const std::string& section,
                              const std::string& key, const std::string& fallback);
// Writes `key`=`value` into `section` of the INI file (SetProfileValue below), creating the
// file and the section when missing. A file that exists but cannot be read is left alone
// rather than replaced: the failure to read it is returned. A name that would not read back
// is kInvalidArgument.
Status WriteProfileString(Env& env, const std::string& file, const std::string& section,
                          const std::string& key, const std::string& value);

// The value of `key` in `section`; false when the section or the key is missing.
bool FindProfileValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string* value);

// `text` with `key`=`value` set in `section`: the key's line is replaced, a missing key is
// added after the last non-blank line of its section, a missing section is added at the
// end. New lines end in CR LF. CR and LF are dropped from the value, since they would start
// lines of their own. False when the section or key name cannot be written (empty, or
// holding a line break, a key holding '=', a section holding ']', or a name ending in a
// lead byte without its trail byte).
bool SetProfileValue(std::string_view text, std::string_view section, std::string_view key,
                     std::string_view value, std::string* updated);

}  // namespace tavelin

#endif  // TAVELIN_PLATFORM_PROFILE_INI_H_
