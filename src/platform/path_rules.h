// What each platform decides about paths and names; path.cc builds the shared helpers on it.
#ifndef TAVELIN_PLATFORM_PATH_RULES_H_
#define TAVELIN_PLATFORM_PATH_RULES_H_

namespace tavelin {

// True where a path may begin with a drive ("C:"), whose colon ends a folder part.
bool PathHasDriveColon();

// True where environment variable names match without regard to case ("temp" is "TEMP").
bool EnvironmentNamesIgnoreCase();

}  // namespace tavelin

#endif  // TAVELIN_PLATFORM_PATH_RULES_H_
