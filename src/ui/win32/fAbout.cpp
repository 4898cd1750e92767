#include "ui/win32/fAbout.h"

#include <cstdio>

#include "platform/decimal_separator.h"
#include "platform/shell_open.h"
#include "ui/app_constants.h"
#include "ui/win32/fProxySettings.h"
#include "ui/win32/message_box.h"
#include "ui/win32/resource.h"
#include "ui/win32/window_helpers.h"

namespace tarnwell::win32 {
TfrmAbout::TfrmAbout(HWND mainWindow, TfrmProxySettings& proxyDialog, UpdateSource source)
    : mainWindow_(mainWindow),
      proxyDialog_(proxyDialog),
      source_(std::move(source)),
      http_(UpdateCheckLimits(source_.timeLimit)) {}

void TfrmAbout::ShowModal() {
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUT), mainWindow_,
                    &TfrmAbout::DialogProc, reinterpret_cast<LPARAM>(this));
    // The box and the label that used the font are gone.
    if (linkFont_ != nullptr) DeleteObject(linkFont_);
    linkFont_ = nullptr;
}

INT_PTR CALLBACK TfrmAbout::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<TfrmAbout*>(lParam);
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        self->window_ = dialog;
        Guarded([&] { self->FormShow(); });
        CentreOn(dialog, self->mainWindow_);
        // OK has the focus, not the first button in the tab order.
        SetFocus(GetDlgItem(dialog, IDOK));
        DialogShown(dialog, IDD_ABOUT);
        return FALSE;
    }
    auto* self = reinterpret_cast<TfrmAbout*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    if (self == nullptr) return FALSE;
    INT_PTR result = FALSE;
    Guarded([&] { result = self->HandleMessage(message, wParam, lParam); });
    return result;
}

void TfrmAbout::FormShow() {
    char version[32];
    std::snprintf(version, sizeof version, "%1.2lf", AppConstants::kVersionNumber);
    SetDlgItemTextA(window_, IDC_LBLVERSION, version);
    SetDlgItemTextA(window_, IDC_LBLAPPNAME, AppConstants::kProductName);
    SetDlgItemTextA(window_, IDC_LBLURL, AppConstants::kWebSite);
    ShowURLAsLink();
    SetDlgItemTextA(window_, IDC_LBLCOPYRIGHT, AppConstants::kCopyrightLine);
    SetDlgItemTextA(window_, IDC_ABOUT_LBLSTATUS, status_.c_str());
    SetDlgItemTextA(window_, IDC_ABOUT_LBLSTATUS2, status2_.c_str());
    ShowWindow(GetDlgItem(window_, IDC_CMDDOWNLOAD), downloadShown_ ? SW_SHOW : SW_HIDE);
    LoadProxySettings(proxy_);
}

void TfrmAbout::ShowURLAsLink() {
    HWND label = GetDlgItem(window_, IDC_LBLURL);
    auto* boxFont = reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0));
    LOGFONTA look{};
    if (boxFont == nullptr || GetObjectA(boxFont, sizeof look, &look) == 0) return;
    look.lfUnderline = TRUE;
    if (linkFont_ == nullptr) linkFont_ = CreateFontIndirectA(&look);
    if (linkFont_ == nullptr) return;
    SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(linkFont_), FALSE);

    // As wide as the text, never wider than the template made the label.
    RECT place;
    GetWindowRect(label, &place);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&place), 2);
    const SIZE text = TextExtent(label, 0);
    if (text.cx > 0 && text.cx < place.right - place.left)
        SetWindowPos(label, nullptr, 0, 0, text.cx, place.bottom - place.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
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
                case IDC_CMDUPDATES:
                    cmdUpdatesClick();
                    return TRUE;
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

void TfrmAbout::cmdUpdatesClick() {
    CheckForUpdates(
        *this, reader_, [this] { return http_.Get(UpdateAddress(source_), ProxyFor(proxy_)); },
        DecimalSeparator(), downloadUrl_);
}

void TfrmAbout::SetStatus(const std::string& text) {
    status_ = text;
    if (window_ == nullptr) return;
    SetDlgItemTextA(window_, IDC_ABOUT_LBLSTATUS, text.c_str());
    // On screen before the exchange blocks the user-interface thread.
    UpdateWindow(GetDlgItem(window_, IDC_ABOUT_LBLSTATUS));
}

void TfrmAbout::SetStatus2(const std::string& text) {
    status2_ = text;
    if (window_ != nullptr) SetDlgItemTextA(window_, IDC_ABOUT_LBLSTATUS2, text.c_str());
}

void TfrmAbout::ShowDownload(bool shown) {
    downloadShown_ = shown;
    if (window_ != nullptr)
        ShowWindow(GetDlgItem(window_, IDC_CMDDOWNLOAD), shown ? SW_SHOW : SW_HIDE);
}

void TfrmAbout::ShowUpdateError(const std::string& text) {
    ShowMessageBox(window_, text, kUpdateErrorCaption, MB_OK);
}

void TfrmAbout::BeginWait() {
    cursorBeforeWait_ = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    if (window_ != nullptr) UpdateWindow(window_);
}

void TfrmAbout::EndWait() {
    SetCursor(cursorBeforeWait_ != nullptr ? cursorBeforeWait_ : LoadCursor(nullptr, IDC_ARROW));
}

void TfrmAbout::cmdProxyClick() {
    proxyDialog_.SetOwner(window_);
    EditProxySettings(proxyDialog_, proxy_);
}

void TfrmAbout::cmdDownloadClick() {
    if (IsOpenableDownloadAddress(downloadUrl_)) {
        ShellOpen(reinterpret_cast<NativeWindowId>(window_), downloadUrl_);
        return;
    }
    // A button that does nothing would leave the user guessing.
    ShowMessageBox(window_, RefusedDownloadAddressText(downloadUrl_), AppConstants::kProductName,
                   MB_OK | MB_ICONWARNING);
}

void TfrmAbout::lblURLClick() {
    ShellOpen(reinterpret_cast<NativeWindowId>(window_), AppConstants::kWebSite);
}

}  // namespace tarnwell::win32
