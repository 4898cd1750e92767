#pragma once
// The proxy settings dialog: whether the update check goes through a SOCKS5
// proxy, and which. One hidden instance lives for the whole run and is refilled
// by its caller at every opening through EditProxySettings. User-interface
// thread only.

#include <QDialog>

#include "ui/proxy_settings_form.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace tarnwell {

class TfrmProxySettings : public QDialog, public ProxySettingsView {
    Q_OBJECT

  public:
    explicit TfrmProxySettings(QWidget* parent = nullptr);

    QCheckBox* chkUseProxy = nullptr;
    QLineEdit* txtHostName = nullptr;
    QLineEdit* txtPort = nullptr;
    QLineEdit* txtUserName = nullptr;
    QLineEdit* txtPassword = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    // ProxySettingsView
    void Fill(const ProxySettingsForm& form) override;
    ProxySettingsForm Read() const override;
    void SetFieldsEnabled(bool enabled) override;
    bool RunModal() override;

  public slots:
    void chkUseProxyChange() { UpdateProxyFields(*this); }
    void cmdOKClick() { accept(); }
    void cmdCancelClick() { reject(); }

  protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace tarnwell
