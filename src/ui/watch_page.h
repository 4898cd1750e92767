#pragma once
// What a watch page decides, whatever toolkit draws it: the order of Start's
// refusals, the steps of starting and stopping a watch, the tab caption, the
// running clock and its poll of the worker's end, Clear, and the reading of the
// "Maximum Lines :" field. The page's window is reached only through
// WatchPageView; the worker reaches the page through this class, which is its
// PageSurface.
// User-interface thread only.

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/page_surface.h"
#include "engine/process_changes.h"
#include "engine/thread.h"
#include "engine/ui_dispatcher.h"
#include "engine/watch_settings.h"

namespace tarnwell {

struct ResultColumn {
    const char* title;
    int width;  // pixels at 96 dpi
};

inline constexpr std::array<ResultColumn, 5> kResultColumns = {{
    {"Time Stamp", 120},
    {"File Name", 300},
    {"Action", 100},
    {"File Size", 100},
    {"Owner", 100},
}};

// The column titles and then every row, cells separated by tabs, one line
// each: what "Copy Results to Clipboard" puts on the clipboard.
std::string ResultsAsText(const std::vector<ResultRow>& rows);

inline constexpr int kMaxLinesMaximum = 60000;
inline constexpr int kMaxLinesDefault = 1000;

// What the text of "Maximum Lines :" stands for: digits brought into 0 ..
// 60000 (a number too long for an int counts as beyond the maximum); empty or
// anything but digits and surrounding blanks is 0.
int MaxLinesValue(std::string_view text);
// Whether a typed text may stay in the field: digits and blanks only.
bool IsMaxLinesInput(std::string_view text);
// Whether the text is a number the field takes as it is: digits standing for
// 0 .. 60000. Empty is not; it still has to be completed or brought to a bound.
bool IsMaxLinesComplete(std::string_view text);

// A tab takes "&" as the mark of a shortcut letter and would hide it.
std::string TabCaptionText(std::string_view path);

// The eight boxes of "Activity to Track".
struct Activities {
    bool createFile = true;
    bool lastAccess = false;
    bool creationTime = false;
    bool lastWrite = false;
    bool createDir = false;
    bool security = false;
    bool attributes = false;
    bool fileSize = false;
};

NotifyFilter FilterOf(const Activities& activities);

// What Start reads from the page's controls; texts in the system's 8-bit text.
struct WatchPageSettings {
    std::string path;  // unchanged and untrimmed
    bool includeSubdirectories = false;
    Activities activities;
    bool outputToScreen = true;
    bool outputToFile = false;
    bool csv = true;
    std::string logFileName;
};

enum class MessageIcon { None, Warning, Error };

inline constexpr char kNoActivityText[] =
    "At least 1 Activity must be tracked. Please select one or more Activities";
inline constexpr char kNoOutputText[] =
    "Output Should be sent to either Screen or File. Please select one or both.";
inline constexpr char kCannotOpenLogText[] = "Cannot Open Output File. Please check the filename";
inline constexpr char kRunningText[] = "Running";
inline constexpr char kNotRunningText[] = "Not Running";
inline constexpr char kNewWatchCaption[] = "New Watch";
inline constexpr int kTimerInterval = 500;  // milliseconds

// The text of the one warning of a run about lost log lines.
std::string LogFailureText(const std::string& logFileName, int errorNumber, bool watchGoesOn);

// The window of a watch page, as the page's logic needs it. A face implements
// it with its controls; tests with a plain fake.
class WatchPageView {
  public:
    virtual ~WatchPageView() = default;

    virtual WatchPageSettings ReadSettings() const = 0;
    // Writes `text` into every tab that shows this page.
    virtual void SetTabCaption(const std::string& text) = 0;
    // Timer1: ticks every kTimerInterval ms while running, calling WatchPage::TimerTick.
    virtual void SetTimerRunning(bool running) = 0;
    virtual void SetStatusText(const std::string& text) = 0;          // lblStatus
    virtual void SetMonitoringTimeText(const std::string& text) = 0;  // lblMonitoringTime
    virtual void SetStartStopEnabled(bool startEnabled, bool stopEnabled) = 0;
    // Every settings control of the page, in one go.
    virtual void EnableSettings(bool enabled) = 0;
    // Modal, owned by the page, caption the product name, OK only; returns
    // when the user has dismissed it.
    virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;
    // Non-modal, owned by the page, caption the product name, warning icon:
    // a batch is being handled when it comes and its worker waits for it.
    virtual void ShowLogFailureNotice(const std::string& text) = 0;
    // Non-modal as the log warning; see PageSurface::ShowWatchNotice. Only the
    // Linux directory read gives one, so a face that never meets it may keep this.
    virtual void ShowWatchNotice(const std::string& /*text*/) {}

    // The results list and the settings the outputs read for every record.
    virtual bool OutputToScreen() const = 0;
    virtual bool AutoScroll() const = 0;
    virtual int MaxLines() const = 0;
    virtual int AppendRow(ResultRow row) = 0;
    virtual void MakeRowVisible(int index) = 0;
    virtual int RowCount() const = 0;
    // The texts of a row as the list shows them (the time stamp may have been edited).
    virtual ResultRow RowAt(int index) const = 0;
    virtual void DeleteFirstRow() = 0;
    // All rows in one update bracket, so the list repaints once.
    virtual void ClearRows() = 0;
    virtual void SetChangeCountText(const std::string& text) = 0;  // lblChangeCount
    // Around the records of one hand-over, never nested: a face may leave the
    // list's insertions and repaint to EndBatch. Within a batch the page asks
    // for no scroll; EndBatch gets the row to scroll to instead (the last one
    // asked for, if it is still there), and the count text follows EndBatch.
    virtual void BeginBatch() {}
    virtual void EndBatch(std::optional<int> rowToShow) {
        if (rowToShow) MakeRowVisible(*rowToShow);
    }
};

// What every page's workers are made with; both outlive every page.
struct WorkerContext {
    UiDispatcher& dispatcher;
    BatchServices& services;
};

class WatchPage final : public PageSurface {
  public:
    // `clock`: the local date and time in days (the local clock by default).
    WatchPage(WatchPageView& view, WorkerContext context, std::function<double()> clock = {});
    ~WatchPage() override;  // stops a running watch first
    WatchPage(const WatchPage&) = delete;
    WatchPage& operator=(const WatchPage&) = delete;

    void StartWatch();
    void StopWatch();
    void TimerTick();  // Timer1Timer
    void Clear();      // LMDButton1Click

    // The worker of the running watch; nullptr while the page is idle.
    CProcessThread* Worker() const { return worker_.get(); }
    double StartTime() const { return startTime_; }
    // ResultsAsText of the rows the list shows.
    std::string ResultsText() const;

    // PageSurface
    bool OutputToScreen() const override { return view_.OutputToScreen(); }
    bool AutoScroll() const override { return view_.AutoScroll(); }
    int MaxLines() const override { return view_.MaxLines(); }
    int AppendRow(ResultRow row) override { return view_.AppendRow(std::move(row)); }
    void MakeRowVisible(int index) override;
    int RowCount() const override { return view_.RowCount(); }
    void DeleteFirstRow() override;
    void SetChangeCountText(const std::string& text) override;
    void LogWriteFailed(int errorNumber) override;
    void ShowWatchNotice(const std::string& text) override { view_.ShowWatchNotice(text); }
    void BeginBatch() override;
    void EndBatch() override;

  private:
    void Refuse(const char* text, MessageIcon icon);
    // Tells the user once per run that log lines may be lost.
    void ReportLogFailure(int errorNumber, bool watchGoesOn);

    WatchPageView& view_;
    WorkerContext context_;
    std::function<double()> clock_;
    std::unique_ptr<CProcessThread> worker_;
    double startTime_ = 0;
    bool logFailureReported_ = false;

    // What a hand-over's batch leaves to its end: within it only the last
    // scroll and the last count text would ever be seen. The row keeps its
    // index among the rows as the rows before it go.
    int batchDepth_ = 0;
    std::optional<int> pendingRow_;
    std::optional<std::string> pendingCount_;
};

}  // namespace tarnwell
