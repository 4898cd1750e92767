#pragma once
// The proxy settings dialog of the Windows program: whether the update check
// goes through a SOCKS5 proxy, and which. The neutral proxy form decides what
// is filled, enabled and saved; this class is the dialog.
// User-interface thread only.

#include "ui/proxy_settings_form.h"
#include "ui/win32/windows_api.h"

namespace tarnwell::win32 {

class TfrmProxySettings final : public ProxySettingsView {
  public:
    // `mainWindow`: the window the dialog is centred on at every opening.
    explicit TfrmProxySettings(HWND mainWindow) : mainWindow_(mainWindow) {}

    // The dialog's owner while it runs.
    void SetOwner(HWND owner) { owner_ = owner; }
    HWND Handle() const { return window_; }

    void Fill(const ProxySettingsForm& form) override;
    ProxySettingsForm Read() const override;
    void SetFieldsEnabled(bool enabled) override;
    bool RunModal() override;

  private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void Show(const ProxySettingsForm& form);

    HWND mainWindow_;
    HWND owner_ = nullptr;
    HWND window_ = nullptr;  // while the dialog runs
    ProxySettingsForm form_;
    bool fieldsEnabled_ = false;
};

}  // namespace tarnwell::win32
