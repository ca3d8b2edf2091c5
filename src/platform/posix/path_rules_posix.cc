// POSIX paths: '/' separates folders and there are no drives.
#include "platform/path.h"
#include "platform/path_rules.h"

namespace tavelin {

char PathDelimiter() { return '/'; }
bool IsPathDelimiter(char c) { return c == '/'; }
bool PathHasDriveColon() { return false; }
bool EnvironmentNamesIgnoreCase() { return false; }

}  // namespace tavelin
