#pragma once
// Small window chores the Win32 face's dialogs share.
// User-interface thread only.

#include "ui/win32/windows_api.h"

namespace tarnwell::win32 {

// Centres `dialog` on `owner` (also after the user has moved it); nothing when
// there is no owner or the owner is not shown.
void CentreOn(HWND dialog, HWND owner);

}  // namespace tarnwell::win32
