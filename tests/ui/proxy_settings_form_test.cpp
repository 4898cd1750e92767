// The proxy dialog's logic with a plain fake of the dialog: filling, the
// fields' enabled state, and what OK and Cancel leave in the settings and the
// store.

#include "ui/proxy_settings_form.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace tarnwell {
namespace {

class FakeProxyDialog : public ProxySettingsView {
  public:
    ProxySettingsForm form;
    std::vector<bool> enabledStates;
    // What the user does while the dialog is up; true: OK.
    std::function<bool(ProxySettingsForm&)> user;

    void Fill(const ProxySettingsForm& filled) override { form = filled; }
    ProxySettingsForm Read() const override { return form; }
    void SetFieldsEnabled(bool enabled) override { enabledStates.push_back(enabled); }
    bool RunModal() override { return user(form); }
};

TEST(ProxySettingsForm, FillsTheFieldsAndEnablesThemByTheBox) {
    for (const int enabled : {0, 1, 7}) {
        ProxySettings settings{enabled, "proxy.example", 1080, "alice", "secret"};
        FakeProxyDialog dialog;
        ProxySettingsForm seen;
        dialog.user = [&](ProxySettingsForm& form) {
            seen = form;
            return false;
        };
        std::vector<ProxySettings> saved;
        EditProxySettings(dialog, settings, [&](const ProxySettings& s) { saved.push_back(s); });
        EXPECT_EQ(seen,
                  (ProxySettingsForm{enabled != 0, "proxy.example", "1080", "alice", "secret"}));
        EXPECT_EQ(dialog.enabledStates, std::vector<bool>{enabled != 0});
        EXPECT_TRUE(saved.empty()) << "Cancel stores nothing";
        EXPECT_EQ(settings.ProxyEnabled, enabled) << "Cancel changes nothing";
    }
}

TEST(ProxySettingsForm, OkTakesWhatWasTypedAndStoresIt) {
    struct Case {
        ProxySettingsForm typed;
        ProxySettings expected;
    };
    const Case cases[] = {
        {{true, "h", "1080", "u", "p"}, {1, "h", 1080, "u", "p"}},
        {{false, "", "", "", ""}, {0, "", 0, "", ""}},
        {{true, " spaced ", "0x50", "", "pw with spaces"},
         {1, " spaced ", 80, "", "pw with spaces"}},
        {{true, "h", "12ab", "u", "p"}, {1, "h", 12, "u", "p"}},
        {{true, "h", "99999999999", "u", "p"}, {1, "h", 0, "u", "p"}},
    };
    for (const Case& c : cases) {
        ProxySettings settings{0, "old", 1, "old", "old"};
        FakeProxyDialog dialog;
        dialog.user = [&](ProxySettingsForm& form) {
            form = c.typed;
            return true;
        };
        std::vector<ProxySettings> saved;
        EditProxySettings(dialog, settings, [&](const ProxySettings& s) { saved.push_back(s); });
        EXPECT_EQ(settings, c.expected) << c.typed.port;
        ASSERT_EQ(saved.size(), 1u);
        EXPECT_EQ(saved[0], c.expected);
    }
}

TEST(ProxySettingsForm, TheBoxSwitchesTheFields) {
    FakeProxyDialog dialog;
    dialog.form.useProxy = true;
    UpdateProxyFields(dialog);
    dialog.form.useProxy = false;
    dialog.form.hostName = "kept";
    UpdateProxyFields(dialog);
    EXPECT_EQ(dialog.enabledStates, (std::vector<bool>{true, false}));
    EXPECT_EQ(dialog.form.hostName, "kept");
}

}  // namespace
}  // namespace tarnwell
