#include "ui/win32/win32_dispatcher.h"

#include <stdexcept>
#include <utility>

#include "ui/win32/message_box.h"
#include "ui/win32/message_loop.h"
#include "ui/win32/resource.h"

namespace tarnwell::win32 {
namespace {

constexpr UINT kServeMessage = WM_APP + 1;
constexpr char kWindowClass[] = "TarnwellDispatcher";

struct NoticeStart {
    Win32Dispatcher* dispatcher;
    UiDispatcher::NoticeId id;
    const std::string* text;
};

}  // namespace

// The wake-up reads window_ when it is called, after the constructor made it.
Win32Dispatcher::Win32Dispatcher()
    : handOvers_([this] { PostMessageA(window_, kServeMessage, 0, 0); }) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &Win32Dispatcher::WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExA(&windowClass);  // fails harmlessly when registered already
    window_ =
        CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this);
    if (window_ == nullptr) throw std::runtime_error("Cannot create the dispatcher's window");
}

Win32Dispatcher::~Win32Dispatcher() {
    auto notices = std::move(notices_);
    notices_.clear();
    for (auto& [id, notice] : notices) {
        RemoveDialogWindow(notice.box);
        DestroyWindow(notice.box);
    }
    DestroyWindow(window_);
}

LRESULT CALLBACK Win32Dispatcher::WindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32Dispatcher*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == kServeMessage && self != nullptr) {
        Guarded([&] { self->Serve(); });
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void Win32Dispatcher::Post(std::function<void()> routine) {
    handOvers_.Post(std::move(routine));
}

void Win32Dispatcher::Serve() {
    handOvers_.Serve();
}

INT_PTR CALLBACK Win32Dispatcher::NoticeProc(HWND dialog, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const auto* start = reinterpret_cast<const NoticeStart*>(lParam);
            SetWindowLongPtrA(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(start->dispatcher));
            SetPropA(dialog, "TarnwellNotice", reinterpret_cast<HANDLE>(start->id));
            SetDlgItemTextA(dialog, IDC_NOTICE_TEXT, start->text->c_str());
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                auto* self =
                    reinterpret_cast<Win32Dispatcher*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
                const auto id = reinterpret_cast<NoticeId>(GetPropA(dialog, "TarnwellNotice"));
                if (self != nullptr) Guarded([&] { self->Dismissed(id); });
                return TRUE;
            }
            break;
        case WM_CLOSE:
            SendMessageA(dialog, WM_COMMAND, IDOK, 0);
            return TRUE;
        case WM_DESTROY:
            RemovePropA(dialog, "TarnwellNotice");
            return FALSE;
        default:
            break;
    }
    (void)lParam;
    return FALSE;
}

UiDispatcher::NoticeId Win32Dispatcher::ShowNotice(const std::string& text,
                                                   std::function<void()> dismissed) {
    const NoticeId id = ++lastNotice_;
    NoticeStart start{this, id, &text};
    // No owner: the box belongs to no window, and modeless: every window
    // stays usable while it is up.
    HWND box = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_NOTICE), nullptr,
                                  &Win32Dispatcher::NoticeProc, reinterpret_cast<LPARAM>(&start));
    if (box == nullptr) throw std::runtime_error("Cannot show a notice");
    AddDialogWindow(box);
    notices_.emplace(id, Notice{box, std::move(dismissed)});
    return id;
}

void Win32Dispatcher::CloseNotice(NoticeId id) {
    const auto it = notices_.find(id);
    if (it == notices_.end()) return;
    HWND box = it->second.box;
    notices_.erase(it);
    // The worker that asked for the close must not hear of a dismissal.
    RemoveDialogWindow(box);
    DestroyWindow(box);
}

HWND Win32Dispatcher::NoticeWindow(NoticeId id) const {
    const auto it = notices_.find(id);
    return it == notices_.end() ? nullptr : it->second.box;
}

void Win32Dispatcher::Dismissed(NoticeId id) {
    const auto it = notices_.find(id);
    if (it == notices_.end()) return;
    auto dismissed = std::move(it->second.dismissed);
    HWND box = it->second.box;
    notices_.erase(it);
    RemoveDialogWindow(box);
    DestroyWindow(box);
    if (dismissed) dismissed();
}

}  // namespace tarnwell::win32
