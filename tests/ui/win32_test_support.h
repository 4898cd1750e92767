#pragma once
// For the Win32 window tests: the thread that runs the tests is the
// user-interface thread; it enters a single-threaded apartment and sets up the
// common controls once, and serves its messages only while a test waits in
// PumpUntil. Header-only.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "ui/win32/message_loop.h"
#include "ui/win32/windows_api.h"

namespace tarnwell::test {

class Win32Environment : public ::testing::Environment {
  public:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES |
                                                           ICC_TAB_CLASSES | ICC_BAR_CLASSES |
                                                           ICC_UPDOWN_CLASS | ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
    }
    void TearDown() override { CoUninitialize(); }
};

// Serves the thread's messages as the program's loop does until `done`
// holds or the time is up; returns `done()`.
inline bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) win32::DispatchOne(message);
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

inline std::string TextOf(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

}  // namespace tarnwell::test
