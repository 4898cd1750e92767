#pragma once
// The workers' way to the user-interface thread in the Windows program:
// hand-overs are queued and served from the message loop through a message
// posted to a message-only window, one at a time in the order they came; the
// workers' notices are ownerless, non-modal dialogs.
//
// Threads: create and destroy on the user-interface thread; Post from any
// thread; ShowNotice and CloseNotice on the user-interface thread only. It
// must outlive every worker that uses it.

#include <functional>
#include <map>
#include <string>

#include "engine/hand_over_queue.h"
#include "engine/ui_dispatcher.h"
#include "ui/win32/windows_api.h"

namespace tarnwell::win32 {

class Win32Dispatcher final : public UiDispatcher {
  public:
    Win32Dispatcher();
    // Closes the notices still open without running their `dismissed`;
    // routines still queued are dropped.
    ~Win32Dispatcher() override;
    Win32Dispatcher(const Win32Dispatcher&) = delete;
    Win32Dispatcher& operator=(const Win32Dispatcher&) = delete;

    void Post(std::function<void()> routine) override;
    NoticeId ShowNotice(const std::string& text, std::function<void()> dismissed) override;
    void CloseNotice(NoticeId id) override;

    // The notice's window while it is open, for tests; nullptr otherwise.
    HWND NoticeWindow(NoticeId id) const;

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK NoticeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void Serve();
    void Dismissed(NoticeId id);

    HWND window_ = nullptr;
    HandOverQueue handOvers_;

    struct Notice {
        HWND box;
        std::function<void()> dismissed;
    };
    std::map<NoticeId, Notice> notices_;  // user-interface thread only
    NoticeId lastNotice_ = 0;
};

}  // namespace tarnwell::win32
