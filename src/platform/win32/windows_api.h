// The one way into <windows.h> (and Winsock 2, which must come before it). The system
// headers define many names as macros that pick the A or W function; the ones that clash
// with Tavelin's own names are undefined here, so code calls the W functions by their full
// names (DeleteFileW, CopyFileW, ...).
#ifndef TAVELIN_PLATFORM_WIN32_WINDOWS_API_H_
#define TAVELIN_PLATFORM_WIN32_WINDOWS_API_H_

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef UNICODE
#define UNICODE
#endif

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <shellapi.h>
// clang-format on

#undef CopyFile
#undef CreateFolder
#undef DeleteFile
#undef FindText
#undef GetObject
#undef MoveFile
#undef ReplaceFile
#undef WriteProfileString
#undef GetProfileString
#undef Yield

#endif  // TAVELIN_PLATFORM_WIN32_WINDOWS_API_H_
