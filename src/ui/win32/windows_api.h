// The Windows API for the window backend. <windows.h> defines names such as DeleteFile,
// WriteProfileString and Yield as macros, which would rename the program's own functions;
// they are removed again here, so this is the only way the backend includes it.
#ifndef TAVELIN_UI_WIN32_WINDOWS_API_H_
#define TAVELIN_UI_WIN32_WINDOWS_API_H_

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// clang-format off
#include <commctrl.h>
#include <imm.h>
#include <shellapi.h>
// clang-format on

#undef DeleteFile
#undef WriteProfileString
#undef Yield
#undef CreateFont
#undef CreateWindow
#undef DrawText
#undef GetObject
#undef LoadIcon
#undef MessageBox

#endif  // TAVELIN_UI_WIN32_WINDOWS_API_H_
