#include "ui/win32/fAbout.h"

#include <cstdio>
#include <string_view>

#include "platform/shell_open.h"
#include "ui/app_constants.h"
#include "ui/win32/fProxySettings.h"
#include "ui/win32/message_box.h"
#include "ui/win32/resource.h"

namespace tarnwell::win32 {
namespace {

// The download address comes from a server reached over plain HTTP, which
// anyone on the way can answer, and the shell would start a program or open a
// local file or share as readily as a web page. Only web addresses go to the
// shell.
bool IsWebAddress(std::string_view address) {
    for (const std::string_view scheme : {"http://", "https://", "ftp://"}) {
        if (address.size() < scheme.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < scheme.size() && same; ++i)
            same = (address[i] | 0x20) == scheme[i] || address[i] == scheme[i];
        if (same) return true;
    }
    return address.empty();
}

void CentreOn(HWND dialog, HWND owner) {
    if (owner == nullptr || !IsWindowVisible(owner)) return;
    RECT outer, box;
    GetWindowRect(owner, &outer);
    GetWindowRect(dialog, &box);
    SetWindowPos(dialog, nullptr, (outer.left + outer.right - (box.right - box.left)) / 2,
                 (outer.top + outer.bottom - (box.bottom - box.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

TfrmAbout::TfrmAbout(HWND mainWindow, TfrmProxySettings& proxyDialog)
    : mainWindow_(mainWindow), proxyDialog_(proxyDialog) {}

void TfrmAbout::ShowModal() {
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUT), mainWindow_,
                    &TfrmAbout::DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK TfrmAbout::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<TfrmAbout*>(lParam);
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        self->window_ = dialog;
        Guarded([&] { self->FormShow(); });
        CentreOn(dialog, self->mainWindow_);
        DialogShown(dialog, IDD_ABOUT);
        return TRUE;  // the focus goes to OK, the first button
    }
    auto* self = reinterpret_cast<TfrmAbout*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    if (self == nullptr) return FALSE;
    INT_PTR result = FALSE;
    Guarded([&] { result = self->HandleMessage(message, wParam, lParam); });
    return result;
}

void TfrmAbout::FormShow() {
    char version[32];
    std::snprintf(version, sizeof version, "%1.2lf", AppConstants::VersionNumber);
    SetDlgItemTextA(window_, IDC_LBLVERSION, version);
    SetDlgItemTextA(window_, IDC_LBLAPPNAME, AppConstants::ProductName);
    SetDlgItemTextA(window_, IDC_LBLURL, AppConstants::WebSite);
    SetDlgItemTextA(window_, IDC_LBLCOPYRIGHT, AppConstants::CopyrightLine);
    SetDlgItemTextA(window_, IDC_ABOUT_LBLSTATUS, status_.c_str());
    SetDlgItemTextA(window_, IDC_ABOUT_LBLSTATUS2, status2_.c_str());
    ShowWindow(GetDlgItem(window_, IDC_CMDDOWNLOAD), downloadShown_ ? SW_SHOW : SW_HIDE);
    LoadProxySettings(proxy_);
}

INT_PTR TfrmAbout::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    Close();
                    return TRUE;
                case IDCANCEL:
                    return TRUE;  // Esc does nothing here: OK or the close box leave the box
                case IDC_CMDPROXY:
                    cmdProxyClick();
                    return TRUE;
                case IDC_CMDDOWNLOAD:
                    cmdDownloadClick();
                    return TRUE;
                case IDC_LBLURL:
                    if (HIWORD(wParam) == STN_CLICKED) lblURLClick();
                    return TRUE;
                default:
                    return FALSE;
            }
        case WM_CLOSE:
            Close();
            return TRUE;
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == GetDlgItem(window_, IDC_LBLURL)) {
                // Pure blue on the box's own background.
                SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 255));
                SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
                return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
            }
            return FALSE;
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wParam) == GetDlgItem(window_, IDC_LBLURL)) {
                SetCursor(LoadCursor(nullptr, IDC_HAND));
                SetWindowLongPtrA(window_, DWLP_MSGRESULT, TRUE);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

void TfrmAbout::Close() {
    HWND dialog = window_;
    window_ = nullptr;
    EndDialog(dialog, IDOK);
}

void TfrmAbout::cmdProxyClick() {
    proxyDialog_.SetOwner(window_);
    EditProxySettings(proxyDialog_, proxy_);
}

void TfrmAbout::cmdDownloadClick() {
    if (!IsWebAddress(downloadUrl_)) return;
    ShellOpen(reinterpret_cast<NativeWindowId>(window_), downloadUrl_);
}

void TfrmAbout::lblURLClick() {
    ShellOpen(reinterpret_cast<NativeWindowId>(window_), AppConstants::WebSite);
}

}  // namespace tarnwell::win32
