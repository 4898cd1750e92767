#include "ui/win32/fProxySettings.h"

#include <string>

#include "ui/win32/message_box.h"
#include "ui/win32/resource.h"
#include "ui/win32/window_helpers.h"

namespace tarnwell::win32 {
namespace {

constexpr int kFields[] = {IDC_TXTHOSTNAME, IDC_TXTPORT, IDC_TXTUSERNAME, IDC_TXTPASSWORD};

std::string ItemText(HWND dialog, int id) {
    return WindowText(GetDlgItem(dialog, id));
}

}  // namespace

void TfrmProxySettings::Fill(const ProxySettingsForm& form) {
    form_ = form;
    if (window_ != nullptr) Show(form);
}

void TfrmProxySettings::Show(const ProxySettingsForm& form) {
    CheckDlgButton(window_, IDC_CHKUSEPROXY, form.useProxy ? BST_CHECKED : BST_UNCHECKED);
    // No length limit: a host name or password is never cut behind the user's back.
    for (const int id : kFields) SendDlgItemMessageA(window_, id, EM_SETLIMITTEXT, 0, 0);
    SetDlgItemTextA(window_, IDC_TXTHOSTNAME, form.hostName.c_str());
    SetDlgItemTextA(window_, IDC_TXTPORT, form.port.c_str());
    SetDlgItemTextA(window_, IDC_TXTUSERNAME, form.userName.c_str());
    SetDlgItemTextA(window_, IDC_TXTPASSWORD, form.password.c_str());
}

ProxySettingsForm TfrmProxySettings::Read() const {
    if (window_ == nullptr) return form_;
    return ProxySettingsForm{IsDlgButtonChecked(window_, IDC_CHKUSEPROXY) == BST_CHECKED,
                             ItemText(window_, IDC_TXTHOSTNAME), ItemText(window_, IDC_TXTPORT),
                             ItemText(window_, IDC_TXTUSERNAME),
                             ItemText(window_, IDC_TXTPASSWORD)};
}

void TfrmProxySettings::SetFieldsEnabled(bool enabled) {
    fieldsEnabled_ = enabled;
    if (window_ == nullptr) return;
    for (const int id : kFields) EnableWindow(GetDlgItem(window_, id), enabled);
}

bool TfrmProxySettings::RunModal() {
    const INT_PTR result =
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROXY_SETTINGS),
                        owner_ != nullptr ? owner_ : mainWindow_, &TfrmProxySettings::DialogProc,
                        reinterpret_cast<LPARAM>(this));
    return result == IDOK;
}

INT_PTR CALLBACK TfrmProxySettings::DialogProc(HWND dialog, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<TfrmProxySettings*>(lParam);
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        self->window_ = dialog;
        self->Show(self->form_);
        self->SetFieldsEnabled(self->fieldsEnabled_);
        // Centred on the main window at every opening, also after the user moved it.
        CentreOn(dialog, self->mainWindow_);
        DialogShown(dialog, IDD_PROXY_SETTINGS);
        return TRUE;
    }
    auto* self = reinterpret_cast<TfrmProxySettings*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    if (self == nullptr || message != WM_COMMAND) return FALSE;
    const int id = LOWORD(wParam);
    Guarded([&] {
        if (id == IDC_CHKUSEPROXY && HIWORD(wParam) == BN_CLICKED) {
            UpdateProxyFields(*self);
        } else if (id == IDOK || id == IDCANCEL) {
            // Enter presses OK from any field; Esc and the close box are Cancel.
            if (id == IDOK) self->form_ = self->Read();
            self->window_ = nullptr;
            EndDialog(dialog, id);
        }
    });
    return TRUE;
}

}  // namespace tarnwell::win32
