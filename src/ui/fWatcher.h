#pragma once
// A watch page: the settings of one watch, its Start, Stop and Clear buttons,
// its status and running clock, and its results list. The page owns the
// worker of its running watch and the log file, and is the surface through
// which the worker's batches reach the list and the count.
// User-interface thread only.

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/page_surface.h"
#include "engine/process_changes.h"
#include "engine/thread.h"
#include "engine/ui_dispatcher.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;

namespace tarnwell {

class MaxLinesSpinBox;
class ResultsModel;
class ResultsView;

// What every page's workers are made with; both outlive every page.
struct WatchContext {
    UiDispatcher& dispatcher;
    BatchServices& services;
};

class TfrmWatcher : public QWidget, public PageSurface {
    Q_OBJECT

  public:
    explicit TfrmWatcher(WatchContext context, QWidget* parent = nullptr);
    ~TfrmWatcher() override;  // stops a running watch first

    void StartWatch();
    void StopWatch();
    void EnableSettings(bool enabled);
    // Writes `text` into every tab of the tab area that shows this page.
    void SetTabCaption(const QString& text);

    // The tab area that hosts the page, for SetTabCaption.
    void SetTabArea(QTabWidget* tabArea);
    // The clock of StartTime and the running time, in days (the local clock
    // unless replaced).
    void SetClock(std::function<double()> clock);

    // The worker of the running watch; nullptr while the page is idle.
    CProcessThread* Worker() const { return worker_.get(); }
    // The column titles and then every row, cells separated by tabs, one line each.
    QString ResultsAsText() const;
    // The warning about lost log lines, while it is open.
    QMessageBox* LogFailureNotice() const { return logFailureBox_; }
    // The notice about the watch (the system's watch limit), while it is open.
    QMessageBox* WatchNotice() const { return watchNoticeBox_; }

    QSize sizeHint() const override;

    // PageSurface
    bool OutputToScreen() const override;
    bool AutoScroll() const override;
    int MaxLines() const override;
    int AppendRow(ResultRow row) override;
    void MakeRowVisible(int index) override;
    int RowCount() const override;
    void DeleteFirstRow() override;
    void SetChangeCountText(const std::string& text) override;
    void LogWriteFailed(int errorNumber) override;
    void ShowWatchNotice(const std::string& text) override;
    void BeginBatch() override;
    void EndBatch() override;

  public slots:
    void cmdBrowseClick();
    void cmdStartClick() { StartWatch(); }
    void cmdStopClick() { StopWatch(); }
    void LMDButton1Click();  // Clear
    void Timer1Timer();

  private slots:
    void txtOutputFileNameBrowseClick();

  private:
    void BuildControls();
    void Refuse(const QString& text, bool isError);
    // Tells the user once per run that log lines may be lost.
    void ReportLogFailure(int errorNumber, bool watchGoesOn);

    WatchContext context_;
    std::function<double()> clock_;
    QPointer<QTabWidget> tabArea_;

    // Run state
    std::unique_ptr<CProcessThread> worker_;
    double StartTime = 0;
    bool logFailureReported_ = false;
    QPointer<QMessageBox> logFailureBox_;
    QPointer<QMessageBox> watchNoticeBox_;
    QString lastBrowseFolder_;  // the folder last confirmed in this page's folder dialog

    // "Location to monitor"
    QComboBox* cboPath = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QCheckBox* chkIncludeSub = nullptr;
    // "Control"
    QPushButton* cmdStart = nullptr;
    QPushButton* cmdStop = nullptr;
    QPushButton* LMDButton1 = nullptr;
    // "Output To Screen"
    QCheckBox* chkOutputToScreen = nullptr;
    MaxLinesSpinBox* txtMaxLines = nullptr;
    QCheckBox* chkAutoScroll = nullptr;
    // "Activity to Track"
    QGroupBox* grpOptions = nullptr;
    QCheckBox* chkFlagCreateFile = nullptr;
    QCheckBox* chkFlagLastAccess = nullptr;
    QCheckBox* chkFlagCreationTime = nullptr;
    QCheckBox* chkFlagLastWrite = nullptr;
    QCheckBox* chkFlagCreateDir = nullptr;
    QCheckBox* chkFlagSecurity = nullptr;
    QCheckBox* chkFlagAttributes = nullptr;
    QCheckBox* chkFlagFileSize = nullptr;
    // "Status"
    QLabel* lblStatus = nullptr;
    QLabel* lblChangeCount = nullptr;
    QLabel* lblMonitoringTime = nullptr;
    // "Output To File"
    QCheckBox* chkOutputToFile = nullptr;
    QLineEdit* txtOutputFileName = nullptr;
    QRadioButton* optCSV = nullptr;
    QRadioButton* optTab = nullptr;

    ResultsModel* results_ = nullptr;
    // What a batch leaves to its end: the count label's last text and the
    // row to scroll to.
    int batchDepth_ = 0;
    std::optional<std::string> pendingCount_;
    std::optional<std::uint64_t> pendingScroll_;
    ResultsView* lvwResults = nullptr;
    QTimer* Timer1 = nullptr;
};

}  // namespace tarnwell
