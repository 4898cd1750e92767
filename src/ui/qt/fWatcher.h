#pragma once
// A watch page: the settings of one watch, its Start, Stop and Clear buttons,
// its status and running clock, and its results list. What the page decides
// lives in WatchPage; this is its Qt window, which the worker's batches reach
// through it.
// User-interface thread only.

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ui/watch_page.h"

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

using WatchContext = WorkerContext;

class TfrmWatcher : public QWidget, public WatchPageView {
    Q_OBJECT

  public:
    explicit TfrmWatcher(WatchContext context, QWidget* parent = nullptr);
    ~TfrmWatcher() override;  // stops a running watch first

    // What the worker reports to; tests and the benchmark feed the list through it too.
    WatchPage& Logic() { return page_; }
    void StartWatch() { page_.StartWatch(); }
    void StopWatch() { page_.StopWatch(); }
    // Writes `path` into every tab of the tab area that shows this page, whole.
    void SetTabCaption(const QString& path);

    // The tab area that hosts the page, for SetTabCaption.
    void SetTabArea(QTabWidget* tabArea);
    // The clock of the start time and the running time, in days (the local
    // clock unless replaced).
    void SetClock(std::function<double()> clock);

    // The worker of the running watch; nullptr while the page is idle.
    CProcessThread* Worker() const { return page_.Worker(); }
    // The column titles and then every row, cells separated by tabs, one line each.
    QString ResultsAsText() const;
    // The warning about lost log lines, while it is open.
    QMessageBox* LogFailureNotice() const { return logFailureBox_; }
    // The notice about the watch (the system's watch limit), while it is open.
    QMessageBox* WatchNotice() const { return watchNoticeBox_; }

    QSize sizeHint() const override;

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

  public slots:
    void cmdBrowseClick();
    void cmdStartClick() { page_.StartWatch(); }
    void cmdStopClick() { page_.StopWatch(); }
    void LMDButton1Click() { page_.Clear(); }
    void Timer1Timer() { page_.TimerTick(); }

  private slots:
    void txtOutputFileNameBrowseClick();

  private:
    void BuildControls(BatchServices& services);
    // The six groups above the list, in their order on the page.
    QGroupBox* BuildLocationGroup();  // "Location to monitor"
    QGroupBox* BuildControlGroup();   // "Control"
    QGroupBox* BuildScreenGroup();    // "Output To Screen"
    QGroupBox* BuildActivityGroup();  // "Activity to Track"
    QGroupBox* BuildStatusGroup();    // "Status"
    QGroupBox* BuildFileGroup();      // "Output To File"

    std::function<double()> clock_;
    QPointer<QTabWidget> tabArea_;
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
    ResultsView* lvwResults = nullptr;
    QTimer* Timer1 = nullptr;

    // Last: it stops a running watch through the controls above when it goes.
    WatchPage page_;
};

}  // namespace tarnwell
