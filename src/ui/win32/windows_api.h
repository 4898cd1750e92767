#pragma once
// The Windows headers for the Win32 face. <windows.h> defines the
// change-notification names as macros, which would break the engine's own
// copies of them: the engine's header is read first, so every unit of the
// face includes this file instead of <windows.h>.

#include "engine/notify_codes.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on
