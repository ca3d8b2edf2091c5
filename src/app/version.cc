#include "app/version.h"

#include <cstddef>

namespace tavelin {
namespace {

// Version texts longer than this are cut, as the system's own buffer would cut them.
constexpr std::size_t kMaxVersionText = 256;

}  // namespace

std::string& VersionField(TVersion& version, int index) {
  switch (index) {
    case 0:
      return version.company_name;
    case 1:
      return version.file_description;
    case 2:
      return version.file_version;
    case 3:
      return version.internal_name;
    case 4:
      return version.legal_copyright;
    case 5:
      return version.legal_trademarks;
    case 6:
      return version.original_file_name;
    case 7:
      return version.product_name;
    case 8:
      return version.product_version;
    case 9:
      return version.comment;
    default:
      return version.screen_saver;
  }
}

void ReadVersion(Env& env, const std::string& program_path, TVersion* version) {
  *version = TVersion();
  for (int i = 0; i < static_cast<int>(kVersionEntryNames.size()); ++i) {
    std::string value;
    if (!env.VersionEntry(program_path, kVersionEntryNames[i], &value)) continue;
    value = value.substr(0, value.find('\0'));
    if (value.size() > kMaxVersionText) value.resize(kMaxVersionText);
    VersionField(*version, i) = value;
  }
}

}  // namespace tavelin
