#pragma once
// What the result outputs need of a watch page: its results list, its count
// label and the three output settings that are read anew for every record.
// The page implements it with Qt; tests with plain fakes.
// User-interface thread only.

#include <array>
#include <string>

namespace tarnwell {

// The five texts of a results row: time stamp, full path, action word, size, owner.
using ResultRow = std::array<std::string, 5>;

class PageSurface {
  public:
    virtual ~PageSurface() = default;

    virtual bool OutputToScreen() const = 0;  // chkOutputToScreen
    virtual bool AutoScroll() const = 0;      // chkAutoScroll
    virtual int MaxLines() const = 0;         // txtMaxLines; empty or unreadable is 0

    // Appends a row at the end of lvwResults and returns its index.
    virtual int AppendRow(ResultRow row) = 0;
    virtual void MakeRowVisible(int index) = 0;
    virtual int RowCount() const = 0;
    virtual void DeleteFirstRow() = 0;
    virtual void SetChangeCountText(const std::string& text) = 0;  // lblChangeCount

    // A line could not be written to the log file (a full disk, a failing
    // device). Called for the first failed line of a run only; the watch goes on.
    virtual void LogWriteFailed(int errorNumber) = 0;

    // Something the user should know about the watch that no row can say (on
    // Linux: the system's limit on watches leaves folders unwatched), shown
    // without stopping anything. At most once per run. Only the Linux
    // directory read gives one, so a face that never meets it may keep this.
    virtual void ShowWatchNotice(const std::string& /*text*/) {}

    // Around the records of one hand-over. In between, the calls above may
    // leave what they show to EndBatch, as long as what is shown after it is
    // what the calls one by one would have shown. Batches may nest.
    virtual void BeginBatch() {}
    virtual void EndBatch() {}
};

}  // namespace tarnwell
