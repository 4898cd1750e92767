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

std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

SIZE TextExtent(HWND label, int wrapWidth) {
    const std::string text = WindowText(label);
    HDC dc = GetDC(label);
    HGDIOBJ before =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(label, WM_GETFONT, 0, 0)));
    RECT needed{0, 0, wrapWidth, 0};
    const UINT lines =
        wrapWidth > 0 ? DT_WORDBREAK | DT_EXPANDTABS | DT_EDITCONTROL : DT_SINGLELINE;
    DrawTextA(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_NOPREFIX | lines);
    SelectObject(dc, before);
    ReleaseDC(label, dc);
    return SIZE{needed.right - needed.left, needed.bottom - needed.top};
}

int WrappedTextHeight(HWND label, int width) {
    return TextExtent(label, width).cy;
}

}  // namespace tarnwell::win32
