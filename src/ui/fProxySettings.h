#pragma once
// The proxy settings dialog: whether the update check goes through a SOCKS5
// proxy, and which. One hidden instance lives for the whole run and is refilled
// by its caller at every opening; it validates nothing, so whatever the user
// typed reaches the caller. User-interface thread only.

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace tarnwell {

class TfrmProxySettings : public QDialog {
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

  public slots:
    // The four fields are usable exactly while the box is checked. Their texts
    // stay as they are when they are disabled.
    void chkUseProxyChange();
    void cmdOKClick() { accept(); }
    void cmdCancelClick() { reject(); }

  protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace tarnwell
