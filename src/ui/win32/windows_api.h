#pragma once
// The Windows headers for the Win32 face. <windows.h> defines the
// change-notification names as macros, which would break the engine's own
// copies of them: the engine's header is read first, so every unit of the
// face includes this file instead of <windows.h>.

#include "engine/notify_codes.h"

// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <msxml2.h>
#include <objbase.h>
#include <oleauto.h>
#include <shlobj.h>
// clang-format on
