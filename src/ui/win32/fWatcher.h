#pragma once
// A watch page of the Windows program: a child dialog in a tab of the main
// window with the settings of one watch, its Start, Stop and Clear buttons,
// its status and running clock, and its results list. What it does is the
// neutral WatchPage's; this class is its window.
// User-interface thread only.

#include <memory>
#include <optional>
#include <string>

#include "ui/watch_page.h"
#include "ui/win32/windows_api.h"

namespace tarnwell::win32 {

class TfrmWatcher final : public WatchPageView {
  public:
    // A child of the tab control `tabArea`, hidden until the main window shows it.
    TfrmWatcher(HWND tabArea, WorkerContext context);
    ~TfrmWatcher() override;  // stops a running watch first
    TfrmWatcher(const TfrmWatcher&) = delete;
    TfrmWatcher& operator=(const TfrmWatcher&) = delete;

    HWND Handle() const { return window_; }
    HWND Control(int id) const { return GetDlgItem(window_, id); }
    WatchPage& Logic() { return *logic_; }
    // The client size the page is laid out for, in pixels at the window's dpi.
    SIZE DesignSize() const;

    // Runs the message loop until the warning about lost log lines, if one
    // is open, has been closed.
    void WaitForLogFailureNotice();
    HWND LogFailureNotice() const { return IsWindow(logFailureBox_) ? logFailureBox_ : nullptr; }
    HWND WatchNotice() const { return IsWindow(watchNoticeBox_) ? watchNoticeBox_ : nullptr; }

    void cmdBrowseClick();
    void txtOutputFileNameBrowseClick();

    // WatchPageView
    WatchPageSettings ReadSettings() const override;
    void SetTabCaption(const std::string& text) override;
    void SetTimerRunning(bool running) override;
    void SetStatusText(const std::string& text) override;
    void SetMonitoringTimeText(const std::string& text) override;
    void SetStartStopEnabled(bool startEnabled, bool stopEnabled) override;
    void EnableSettings(bool enabled) override;
    void ShowMessage(const std::string& text, MessageIcon icon) override;
    void ShowLogFailureNotice(const std::string& text) override;
    void ShowWatchNotice(const std::string& text) override;
    bool OutputToScreen() const override;
    bool AutoScroll() const override;
    int MaxLines() const override;
    int AppendRow(ResultRow row) override;
    void MakeRowVisible(int index) override;
    int RowCount() const override;
    ResultRow RowAt(int index) const override;
    void DeleteFirstRow() override;
    void ClearRows() override;
    void SetChangeCountText(const std::string& text) override;
    void BeginBatch() override;
    void EndBatch(std::optional<int> rowToShow) override;

  private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void InitControls();
    void Command(int id, int code);
    void LayOut();
    // Each column as wide as the texts it can show; File Name takes the rest
    // until the user sizes a column.
    void FitColumns();
    void FillRestColumn();
    bool Checked(int id) const;
    std::string Text(int id) const;
    // A warning owned by the page, not modal: the product name as caption,
    // the warning icon, `text`, OK.
    HWND ShowWarningNotice(const std::string& text);

    HWND window_ = nullptr;
    WorkerContext context_;
    std::unique_ptr<WatchPage> logic_;
    int restMinimum_ = 0;
    bool userSizedColumns_ = false;
    std::string lastBrowseFolder_;  // the folder last confirmed in this page's folder dialog
    RECT listMargins_{};            // lvwResults' distance from the page's edges
    HWND logFailureBox_ = nullptr;
    HWND watchNoticeBox_ = nullptr;
};

}  // namespace tarnwell::win32
