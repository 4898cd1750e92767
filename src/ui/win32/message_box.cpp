#include "ui/win32/message_box.h"

#include <utility>

#include "ui/app_constants.h"
#include "ui/main_window_commands.h"

namespace tarnwell::win32 {
namespace {

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

DialogShownHook& ShownHook() {
    static DialogShownHook hook;
    return hook;
}

}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) {
    Hook() = std::move(hook);
}

int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
    if (Hook()) return Hook()(MessageBoxCall{owner, text, caption, type});
    return MessageBoxA(owner, text.c_str(), caption.c_str(), type);
}

void SetDialogShownHook(DialogShownHook hook) {
    ShownHook() = std::move(hook);
}

void DialogShown(HWND dialog, int templateId) {
    if (ShownHook()) ShownHook()(dialog, templateId);
}

void ShowErrorMessage(const std::string& message) {
    ShowMessageBox(nullptr, ErrorDisplayText(message), AppConstants::kProductName,
                   MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

}  // namespace tarnwell::win32
