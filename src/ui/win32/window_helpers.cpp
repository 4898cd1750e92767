#include "ui/win32/window_helpers.h"

namespace tarnwell::win32 {

void CentreOn(HWND dialog, HWND owner) {
    if (owner == nullptr || !IsWindowVisible(owner)) return;
    RECT outer, box;
    GetWindowRect(owner, &outer);
    GetWindowRect(dialog, &box);
    const int width = box.right - box.left, height = box.bottom - box.top;
    SetWindowPos(dialog, nullptr, (outer.left + outer.right - width) / 2,
                 (outer.top + outer.bottom - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace tarnwell::win32
