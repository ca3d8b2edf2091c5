// The system's control library and input-method headers, on top of the one way into
// <windows.h>.
#ifndef TAVELIN_UI_WIN32_CONTROLS_API_H_
#define TAVELIN_UI_WIN32_CONTROLS_API_H_

#include "platform/win32/windows_api.h"
// clang-format off
#include <commctrl.h>
#include <imm.h>
// clang-format on

#endif  // TAVELIN_UI_WIN32_CONTROLS_API_H_
