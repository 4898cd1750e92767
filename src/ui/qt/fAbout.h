#pragma once
// The About box: the program's name, version, copyright line and web site, the
// check for a newer version and the way to the proxy settings. One hidden
// instance lives for the whole run; what the last check found stays on it
// between showings. User-interface thread only.

#include <QDialog>
#include <QPointer>
#include <chrono>
#include <cstdint>
#include <string>

#include "net/http_client.h"
#include "net/proxy_settings.h"
#include "net/update_check.h"
#include "ui/app_constants.h"
#include "ui/qt/versions_document.h"
#include "ui/update_check_flow.h"

class QGroupBox;
class QLabel;
class QPushButton;

namespace tarnwell {

class TfrmProxySettings;

namespace fAbout {

// The proxy settings of the run: defaults until the About box is first shown,
// then what the last load or the last OK in the proxy dialog put there.
extern tarnwell::ProxySettings ProxySettings;

// The download address of the last check that got as far as it, in the
// system's 8-bit text. Never cleared, so the Download button keeps working
// after a later check fails.
extern std::string DownloadURL;

}  // namespace fAbout

// Where the versions document is fetched from.
using UpdateServer = UpdateSource;

class TfrmAbout : public QDialog, public AboutBoxView {
    Q_OBJECT

  public:
    explicit TfrmAbout(QWidget* parent = nullptr, UpdateServer server = {});
    ~TfrmAbout() override;

    // The dialog cmdProxyClick opens. It is created after the About box at
    // start-up, hence not a constructor argument; without one the About box
    // makes its own on first use.
    void SetProxySettingsDialog(TfrmProxySettings* dialog);

  public slots:
    void cmdOkClick() { accept(); }
    // The update check (CheckForUpdates), at most kUpdateCheckTimeLimit. A
    // failure it lets escape goes to the application's error display; no
    // failure leaves the handler.
    void cmdUpdatesClick();
    void cmdDownloadClick();
    void cmdProxyClick();
    void lblURLClick();

    // AboutBoxView
    void SetStatus(const std::string& text) override;
    void SetStatus2(const std::string& text) override;
    void ShowDownload(bool shown) override;
    void ShowUpdateError(const std::string& text) override;
    void BeginWait() override;
    void EndWait() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void FormShow();
    void lblURLMouseEnter();
    void lblURLMouseLeave();
    TfrmProxySettings* ProxyDialog();

    UpdateServer server_;
    HttpClient http_;
    // Kept, like the client, for the life of the box.
    QtVersionsReader reader_;
    bool waiting_ = false;
    QPointer<TfrmProxySettings> proxyDialog_;
    bool shownBefore_ = false;

    QGroupBox* grpAppInfo = nullptr;
    QLabel* lblAppName = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblCopyRight = nullptr;
    QLabel* lblURL = nullptr;
    QGroupBox* grpUpdates = nullptr;
    QPushButton* cmdUpdates = nullptr;
    QPushButton* cmdProxy = nullptr;
    QGroupBox* grpUpdateDetails = nullptr;
    QLabel* lblStatus = nullptr;
    QLabel* lblStatus2 = nullptr;
    QPushButton* cmdDownload = nullptr;
    QPushButton* cmdOk = nullptr;
};

}  // namespace tarnwell
