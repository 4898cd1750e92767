#pragma once
// The user-interface thread's message loop and the windows that take their
// keys from it: modeless dialogs (the watch pages, the workers' notices) get
// IsDialogMessage, the main window its own keys first.
// User-interface thread only.

#include <functional>

#include "ui/win32/windows_api.h"

namespace tarnwell::win32 {

void AddDialogWindow(HWND dialog);
void RemoveDialogWindow(HWND dialog);

// The main window's keys (Ctrl+Tab, F1): true when the message was taken.
void SetKeyFilter(std::function<bool(const MSG&)> filter);

// Translates and dispatches one message the way the loop does.
void DispatchOne(MSG& message);

// Runs until WM_QUIT; returns its exit code.
int RunMessageLoop();

}  // namespace tarnwell::win32
