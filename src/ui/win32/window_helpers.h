#pragma once
// Small window chores the Win32 face's dialogs share.
// User-interface thread only.

#include <string>

#include "ui/win32/windows_api.h"

namespace tarnwell::win32 {

// Centres `dialog` on `owner` (also after the user has moved it); nothing when
// there is no owner or the owner is not shown.
void CentreOn(HWND dialog, HWND owner);

// The text of a window or control, as it is now.
std::string WindowText(HWND window);

// The size `label`'s text takes in the label's font: on one line when
// `wrapWidth` is 0, else broken into lines that wide as a static text control
// breaks them.
SIZE TextExtent(HWND label, int wrapWidth);

// The height `label`'s text takes in the label's font when it is broken into
// lines `width` pixels wide, as a static text control breaks it.
int WrappedTextHeight(HWND label, int width);

}  // namespace tarnwell::win32
