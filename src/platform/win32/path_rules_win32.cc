// Windows paths: '\' separates folders and '/' is accepted as well, as the system does;
// "C:" starts a path on a drive. Callers skip the trail bytes of double-byte characters,
// so a second byte 0x5C is never taken for a delimiter.
#include "platform/path.h"
#include "platform/path_rules.h"

namespace tavelin {

char PathDelimiter() { return '\\'; }
bool IsPathDelimiter(char c) { return c == '\\' || c == '/'; }
bool PathHasDriveColon() { return true; }
bool EnvironmentNamesIgnoreCase() { return true; }

}  // namespace tavelin
