#pragma once
// What the proxy settings dialog decides, whatever toolkit draws it: how the
// settings fill its fields, which fields are usable, and how its fields become
// settings that are stored when the user presses OK. The dialog validates
// nothing, so whatever the user typed reaches the settings (the port through
// ConvertPort, which never fails).
// User-interface thread only.

#include <functional>
#include <string>

#include "net/proxy_settings.h"

namespace tarnwell {

inline constexpr char kProxyDialogCaption[] = "Proxy Settings";

// The dialog's fields, texts in the system's 8-bit text.
struct ProxySettingsForm {
    bool useProxy = false;  // chkUseProxy
    std::string hostName;   // txtHostName
    std::string port;       // txtPort
    std::string userName;   // txtUserName
    std::string password;   // txtPassword

    bool operator==(const ProxySettingsForm&) const = default;
};

ProxySettingsForm FormFromSettings(const ProxySettings& settings);
ProxySettings SettingsFromForm(const ProxySettingsForm& form);

class ProxySettingsView {
  public:
    virtual ~ProxySettingsView() = default;

    virtual void Fill(const ProxySettingsForm& form) = 0;
    virtual ProxySettingsForm Read() const = 0;
    // The four text fields; their texts stay when they are disabled.
    virtual void SetFieldsEnabled(bool enabled) = 0;
    // Shows the dialog modally, centred on the main window; true after OK.
    virtual bool RunModal() = 0;
};

// chkUseProxyChange: the four fields are usable exactly while the box is checked.
void UpdateProxyFields(ProxySettingsView& view);

// cmdProxyClick of the About box: fills the dialog from `settings`, runs it,
// and after OK takes the fields into `settings` and stores them with `save`
// (SaveProxySettings unless given). Cancel changes nothing.
void EditProxySettings(ProxySettingsView& view, ProxySettings& settings,
                       const std::function<void(const ProxySettings&)>& save = {});

}  // namespace tarnwell
