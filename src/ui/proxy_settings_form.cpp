#include "ui/proxy_settings_form.h"

namespace tarnwell {

ProxySettingsForm FormFromSettings(const ProxySettings& settings) {
    return ProxySettingsForm{settings.ProxyEnabled != 0, settings.ProxyServer,
                             std::to_string(settings.ProxyPort), settings.ProxyUser,
                             settings.ProxyPassword};
}

ProxySettings SettingsFromForm(const ProxySettingsForm& form) {
    ProxySettings settings;
    settings.ProxyEnabled = form.useProxy ? 1 : 0;
    settings.ProxyServer = form.hostName;
    settings.ProxyPort = ConvertPort(form.port);
    settings.ProxyUser = form.userName;
    settings.ProxyPassword = form.password;
    return settings;
}

void UpdateProxyFields(ProxySettingsView& view) {
    view.SetFieldsEnabled(view.Read().useProxy);
}

void EditProxySettings(ProxySettingsView& view, ProxySettings& settings,
                       const std::function<void(const ProxySettings&)>& save) {
    view.Fill(FormFromSettings(settings));
    // Also when filling left the box as it was.
    UpdateProxyFields(view);
    if (!view.RunModal()) return;
    settings = SettingsFromForm(view.Read());
    if (save)
        save(settings);
    else
        SaveProxySettings(settings);
}

}  // namespace tarnwell
