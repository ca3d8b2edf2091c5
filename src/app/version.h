// TVersion: the version-information texts of a program file, and the reader that fills it.
#ifndef TAVELIN_APP_VERSION_H_
#define TAVELIN_APP_VERSION_H_

#include <array>
#include <string>

#include "platform/env.h"

namespace tavelin {

struct TVersion {
  std::string company_name;
  std::string file_description;
  std::string file_version;
  std::string internal_name;
  std::string legal_copyright;
  std::string legal_trademarks;
  std::string original_file_name;
  std::string product_name;
  std::string product_version;
  std::string comment;
  std::string screen_saver;
};

// The version-information entry names, in the order of the TVersion fields. The trademark
// entry is spelled the way the program files of this family have always spelled it.
inline constexpr std::array<const char*, 11> kVersionEntryNames = {
    "CompanyName",    "FileDescription",  "FileVersion",      "InternalName",
    "LegalCopyright", "LeagalTradeMarks", "OriginalFileName", "ProductName",
    "ProductVersion", "Comment",          "SCRNSAVE"};

// The field of `version` that holds entry number `index` (0-10) of kVersionEntryNames.
std::string& VersionField(TVersion& version, int index);

// Empties every field, then fills each from the entry of the same name in the version
// information of `program_path`. A missing entry leaves its field empty; a text is cut at
// its first NUL and after 256 bytes.
void ReadVersion(Env& env, const std::string& program_path, TVersion* version);

}  // namespace tavelin

#endif  // TAVELIN_APP_VERSION_H_
