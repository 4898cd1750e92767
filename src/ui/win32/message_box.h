#pragma once
// MessageBoxA behind a seam: the program shows the real box; the window tests
// put a hook in its place that records the call and answers it, since a real
// box would wait for a user. User-interface thread only.

#include <exception>
#include <functional>
#include <string>

#include "ui/win32/windows_api.h"

namespace tarnwell::win32 {

struct MessageBoxCall {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

using MessageBoxHook = std::function<int(const MessageBoxCall&)>;

// An empty hook brings the real MessageBoxA back.
void SetMessageBoxHook(MessageBoxHook hook);

int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);

// Called with every modal dialog of the face (About, Proxy Settings) once it
// is set up and before it takes messages, with its template's identifier. The
// window tests drive those dialogs from here; the program sets none.
using DialogShownHook = std::function<void(HWND dialog, int templateId)>;
void SetDialogShownHook(DialogShownHook hook);
void DialogShown(HWND dialog, int templateId);

// The error display: the application title as caption, the error icon, OK;
// the text as ErrorDisplayText makes it.
void ShowErrorMessage(const std::string& message);

// Runs `handler`; an error that escapes it goes to the error display and the
// message loop goes on.
template <class Handler>
void Guarded(Handler&& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        ShowErrorMessage(error.what());
    } catch (...) {
        ShowErrorMessage({});
    }
}

}  // namespace tarnwell::win32
