#pragma once
// A watch page's window as a plain record: settings set by the test, every
// call written into `calls` in order, the list kept as rows. Header-only.
// The test's thread plays the user-interface thread.

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/watch_page.h"

namespace tarnwell::test {

class FakeWatchPageView : public WatchPageView {
  public:
    WatchPageSettings settings;
    int maxLines = kMaxLinesDefault;
    bool autoScroll = false;
    std::deque<ResultRow> rows;
    std::string tabCaption = kNewWatchCaption;
    std::string status, monitoringTime, changeCount;
    bool timerRunning = false, startEnabled = true, stopEnabled = true, settingsEnabled = true;
    std::vector<std::string> messages;  // "warning: text", "error: text"
    std::vector<std::string> notices;
    std::vector<std::string> watchNotices;
    std::vector<std::string> calls;
    // The worker's hand-overs: how many brackets, how deep now, and rows that
    // came outside one (which a face could not show in one step).
    int batches = 0, batchDepth = 0, rowsOutsideBatch = 0;
    // Runs while a message box would be up, before it is dismissed.
    std::function<void()> whileMessageShown;

    WatchPageSettings ReadSettings() const override { return settings; }
    void SetTabCaption(const std::string& text) override {
        calls.push_back("tab " + text);
        tabCaption = text;
    }
    void SetTimerRunning(bool running) override {
        calls.push_back(running ? "timer on" : "timer off");
        timerRunning = running;
    }
    void SetStatusText(const std::string& text) override {
        calls.push_back("status " + text);
        status = text;
    }
    void SetMonitoringTimeText(const std::string& text) override {
        calls.push_back("time " + text);
        monitoringTime = text;
    }
    void SetStartStopEnabled(bool start, bool stop) override {
        calls.push_back(std::string("start ") + (start ? "on" : "off") + ", stop " +
                        (stop ? "on" : "off"));
        startEnabled = start;
        stopEnabled = stop;
    }
    void EnableSettings(bool enabled) override {
        calls.push_back(enabled ? "settings on" : "settings off");
        settingsEnabled = enabled;
    }
    void ShowMessage(const std::string& text, MessageIcon icon) override {
        const char* kind = icon == MessageIcon::Error     ? "error: "
                           : icon == MessageIcon::Warning ? "warning: "
                                                          : "plain: ";
        calls.push_back(std::string("message ") + kind + text);
        messages.push_back(kind + text);
        if (whileMessageShown) whileMessageShown();
    }
    void ShowLogFailureNotice(const std::string& text) override { notices.push_back(text); }
    void ShowWatchNotice(const std::string& text) override { watchNotices.push_back(text); }

    bool OutputToScreen() const override { return settings.outputToScreen; }
    bool AutoScroll() const override { return autoScroll; }
    int MaxLines() const override { return maxLines; }
    int AppendRow(ResultRow row) override {
        if (batchDepth == 0) ++rowsOutsideBatch;
        rows.push_back(std::move(row));
        return static_cast<int>(rows.size()) - 1;
    }
    void MakeRowVisible(int /*index*/) override {}
    int RowCount() const override { return static_cast<int>(rows.size()); }
    ResultRow RowAt(int index) const override { return rows.at(static_cast<std::size_t>(index)); }
    void DeleteFirstRow() override { rows.pop_front(); }
    void ClearRows() override {
        calls.push_back("clear");
        rows.clear();
    }
    void SetChangeCountText(const std::string& text) override { changeCount = text; }
    void BeginBatch() override {
        if (batchDepth++ == 0) ++batches;
    }
    void EndBatch(std::optional<int> rowToShow) override {
        --batchDepth;
        WatchPageView::EndBatch(rowToShow);
    }
};

}  // namespace tarnwell::test
