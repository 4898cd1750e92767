#include "ui/win32/message_loop.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace tarnwell::win32 {
namespace {

struct LoopState {
    std::vector<HWND> dialogs;
    std::function<bool(const MSG&)> keyFilter;
};

LoopState& State() {
    static LoopState state;
    return state;
}

}  // namespace

void AddDialogWindow(HWND dialog) {
    State().dialogs.push_back(dialog);
}

void RemoveDialogWindow(HWND dialog) {
    auto& dialogs = State().dialogs;
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), dialog), dialogs.end());
}

void SetKeyFilter(std::function<bool(const MSG&)> filter) {
    State().keyFilter = std::move(filter);
}

void DispatchOne(MSG& message) {
    const bool isKey = message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST;
    if (isKey && State().keyFilter && State().keyFilter(message)) return;
    // A copy: a dialog may go while its message is handled.
    const std::vector<HWND> dialogs = State().dialogs;
    for (HWND dialog : dialogs) {
        if (message.hwnd != nullptr && (message.hwnd == dialog || IsChild(dialog, message.hwnd)) &&
            IsDialogMessageA(dialog, &message))
            return;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
}

int RunMessageLoop() {
    MSG message;
    for (;;) {
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(message.wParam);
        if (got == -1) return 0;
        DispatchOne(message);
    }
}

}  // namespace tarnwell::win32
