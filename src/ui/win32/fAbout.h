#pragma once
// The About box of the Windows program: the program's name, version,
// copyright line and web site, the check for a newer version and the way to
// the proxy settings. One instance lives for the whole run; what the last
// check found stays on it between showings. User-interface thread only.

#include <string>

#include "net/http_client.h"
#include "net/proxy_settings.h"
#include "ui/update_check_flow.h"
#include "ui/win32/msxml_versions_reader.h"
#include "ui/win32/windows_api.h"

namespace tarnwell::win32 {

class TfrmProxySettings;

class TfrmAbout final : public AboutBoxView {
  public:
    TfrmAbout(HWND mainWindow, TfrmProxySettings& proxyDialog, UpdateSource source = {});

    // Modal; returns when the box is closed with OK or its close box.
    void ShowModal();
    HWND Handle() const { return window_; }

    // The proxy settings of the run: defaults until the box is first shown,
    // then what the last load or the last OK in the proxy dialog put there.
    ProxySettings& Proxy() { return proxy_; }

    const std::string& DownloadURL() const { return downloadUrl_; }

    // The update check; see CheckForUpdates.
    void cmdUpdatesClick();
    void cmdProxyClick();
    void cmdDownloadClick();
    void lblURLClick();

    // AboutBoxView
    void SetStatus(const std::string& text) override;
    void SetStatus2(const std::string& text) override;
    void ShowDownload(bool shown) override;
    void ShowUpdateError(const std::string& text) override;
    void BeginWait() override;
    void EndWait() override;

  private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void FormShow();
    // The web site drawn as a link: underlined, and only as wide as its text,
    // so the hand cursor and a click are where the text is.
    void ShowURLAsLink();
    void Close();

    HWND mainWindow_;
    TfrmProxySettings& proxyDialog_;
    UpdateSource source_;
    HttpClient http_;
    MsxmlVersionsReader reader_;
    HCURSOR cursorBeforeWait_ = nullptr;
    HWND window_ = nullptr;     // while the box is shown
    HFONT linkFont_ = nullptr;  // the web site's underlined font, while the box is shown
    ProxySettings proxy_;
    // What the last check left on the box, put back at every showing.
    std::string status_, status2_;
    bool downloadShown_ = false;
    // The download address of the last check that got as far as it. Never
    // cleared, so Download keeps working after a later check fails.
    std::string downloadUrl_;
};

}  // namespace tarnwell::win32
