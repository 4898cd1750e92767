#include "ui/watch_page.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "engine/location_split.h"
#include "engine/notify_codes.h"
#include "engine/time_stamp.h"
#include "platform/directory_reader.h"
#include "platform/path_syntax.h"
#include "platform/regional_settings.h"

namespace tarnwell {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

std::string ResultsAsText(const std::vector<ResultRow>& rows) {
    std::string text;
    for (std::size_t column = 0; column < kResultColumns.size(); ++column) {
        if (column > 0) text += '\t';
        text += kResultColumns[column].title;
    }
    text += '\n';
    for (const ResultRow& row : rows) {
        for (std::size_t column = 0; column < row.size(); ++column) {
            if (column > 0) text += '\t';
            text += row[column];
        }
        text += '\n';
    }
    return text;
}

bool IsMaxLinesInput(std::string_view text) {
    for (const char c : Trimmed(text))
        if (c < '0' || c > '9') return false;
    return true;
}

namespace {

// The number a field's digits stand for, kMaxLinesMaximum + 1 for any beyond
// the maximum; -1 when the text is empty or holds anything but digits.
long long DigitsValue(std::string_view text) {
    const std::string_view digits = Trimmed(text);
    if (digits.empty() || !IsMaxLinesInput(digits)) return -1;
    // Leading zeros say nothing about the size of the number.
    std::string_view significant = digits;
    while (significant.size() > 1 && significant.front() == '0') significant.remove_prefix(1);
    if (significant.size() > 9) return kMaxLinesMaximum + 1LL;
    long long value = 0;
    for (const char c : significant) value = value * 10 + (c - '0');
    return value > kMaxLinesMaximum ? kMaxLinesMaximum + 1LL : value;
}

}  // namespace

int MaxLinesValue(std::string_view text) {
    const long long value = DigitsValue(text);
    if (value < 0) return 0;
    return value > kMaxLinesMaximum ? kMaxLinesMaximum : static_cast<int>(value);
}

bool IsMaxLinesComplete(std::string_view text) {
    const long long value = DigitsValue(text);
    return value >= 0 && value <= kMaxLinesMaximum;
}

std::string TabCaptionText(std::string_view path) {
    std::string shown;
    shown.reserve(path.size());
    for (const char c : path) {
        shown += c;
        if (c == '&') shown += '&';
    }
    return shown;
}

NotifyFilter FilterOf(const Activities& activities) {
    const std::pair<bool, NotifyFilter> bits[] = {
        {activities.createFile, FILE_NOTIFY_CHANGE_FILE_NAME},
        {activities.createDir, FILE_NOTIFY_CHANGE_DIR_NAME},
        {activities.attributes, FILE_NOTIFY_CHANGE_ATTRIBUTES},
        {activities.fileSize, FILE_NOTIFY_CHANGE_SIZE},
        {activities.lastWrite, FILE_NOTIFY_CHANGE_LAST_WRITE},
        {activities.lastAccess, FILE_NOTIFY_CHANGE_LAST_ACCESS},
        {activities.creationTime, FILE_NOTIFY_CHANGE_CREATION},
        {activities.security, FILE_NOTIFY_CHANGE_SECURITY},
    };
    NotifyFilter filter = 0;
    for (const auto& [checked, bit] : bits)
        if (checked) filter |= bit;
    return filter;
}

std::string LogFailureText(const std::string& logFileName, int errorNumber, bool watchGoesOn) {
    std::string text =
        "Cannot write to the log file " + logFileName + ": " + std::strerror(errorNumber) + ".";
    text += watchGoesOn ? " The watch goes on; lines may be missing from the file."
                        : " Lines may be missing from the file.";
    return text;
}

WatchPage::WatchPage(WatchPageView& view, WorkerContext context, std::function<double()> clock)
    : view_(view), context_(context), clock_(std::move(clock)) {
    if (!clock_) clock_ = [] { return ToDays(LocalNow()); };
}

WatchPage::~WatchPage() {
    // The worker must not outlive the page it reports to.
    StopWatch();
}

void WatchPage::StartWatch() {
    if (worker_) return;

    const WatchPageSettings settings = view_.ReadSettings();
    view_.SetTabCaption(TabCaptionText(settings.path));
    startTime_ = clock_();
    view_.SetTimerRunning(true);

    try {
        worker_ = std::make_unique<CProcessThread>(context_.dispatcher, context_.services);
    } catch (...) {
        // No worker, so no watch: the clock must not run for nothing.
        view_.SetTimerRunning(false);
        view_.SetMonitoringTimeText({});
        throw;
    }
    CProcessThread& worker = *worker_;
    worker.OwnerPage = this;
    worker.Ended = 0;
    worker.IncludeSubdirectories = settings.includeSubdirectories ? 1 : 0;

    const SplitLocationResult location = SplitLocation(
        settings.path, IsExistingDirectory(settings.path.c_str()), NativePathSyntax());
    worker.Directory = location.Directory;
    worker.Mask = location.Mask;
    worker.Filter = FilterOf(settings.activities);

    if (worker.Filter == 0) {
        Refuse(kNoActivityText, MessageIcon::Warning);
        return;
    }
    if (!settings.outputToScreen && !settings.outputToFile) {
        Refuse(kNoOutputText, MessageIcon::Warning);
        return;
    }

    worker.OutputToFile = settings.outputToFile ? 1 : 0;
    worker.LogFormat = settings.csv ? LogFormatCsv : LogFormatTab;
    worker.LogFileName = settings.logFileName;
    if (worker.OutputToFile) {
        // Binary, so the lines' own "\r\n" reach the file unchanged; an
        // existing file is emptied without a question.
        worker.LogFile = std::fopen(worker.LogFileName.c_str(), "wb+");
        if (worker.LogFile == nullptr) {
            Refuse(kCannotOpenLogText, MessageIcon::Error);
            return;
        }
    }

    logFailureReported_ = false;
    view_.SetStatusText(kRunningText);
    view_.SetStartStopEnabled(false, true);
    view_.EnableSettings(false);
    try {
        worker.Resume();
    } catch (...) {
        StopWatch();
        throw;
    }
}

void WatchPage::Refuse(const char* text, MessageIcon icon) {
    // The clock goes on behind the box; the stop comes once it is dismissed.
    view_.ShowMessage(text, icon);
    StopWatch();
}

void WatchPage::StopWatch() {
    if (!worker_) return;
    // Never waits for this thread, so a batch being handed over cannot block it.
    worker_->Shutdown();
    view_.SetStatusText(kNotRunningText);
    view_.SetTimerRunning(false);
    view_.SetMonitoringTimeText({});
    if (worker_->DirectoryHandle != nullptr) {
        CloseDirectory(worker_->DirectoryHandle);
        worker_->DirectoryHandle = nullptr;
    }
    if (worker_->LogFile != nullptr) {
        // Writing out what is still buffered can fail like a write. The flush
        // comes first and on its own: some C libraries' fclose (mingw-w64's)
        // report success although the flush inside it failed.
        errno = 0;
        const int flushed = std::fflush(worker_->LogFile);
        int error = errno;
        const int closed = std::fclose(worker_->LogFile);
        if (error == 0) error = errno;
        worker_->LogFile = nullptr;
        if (flushed != 0 || closed != 0) ReportLogFailure(error != 0 ? error : EIO, false);
    }
    worker_.reset();
    view_.SetStartStopEnabled(true, false);
    view_.EnableSettings(true);
}

void WatchPage::TimerTick() {
    view_.SetMonitoringTimeText(FormatElapsed(startTime_, clock_()));
    if (worker_ && worker_->Ended) StopWatch();
}

void WatchPage::Clear() {
    pendingRow_.reset();
    view_.ClearRows();
}

void WatchPage::MakeRowVisible(int index) {
    if (batchDepth_ > 0) {
        pendingRow_ = index;
        return;
    }
    view_.MakeRowVisible(index);
}

void WatchPage::DeleteFirstRow() {
    // A row asked for that goes again needs no scroll.
    if (pendingRow_ && --*pendingRow_ < 0) pendingRow_.reset();
    view_.DeleteFirstRow();
}

void WatchPage::SetChangeCountText(const std::string& text) {
    if (batchDepth_ > 0) {
        pendingCount_ = text;
        return;
    }
    view_.SetChangeCountText(text);
}

void WatchPage::BeginBatch() {
    if (batchDepth_++ == 0) view_.BeginBatch();
}

void WatchPage::EndBatch() {
    if (batchDepth_ == 0 || --batchDepth_ > 0) return;
    view_.EndBatch(std::exchange(pendingRow_, std::nullopt));
    if (pendingCount_) view_.SetChangeCountText(*std::exchange(pendingCount_, std::nullopt));
}

std::string WatchPage::ResultsText() const {
    std::vector<ResultRow> rows;
    const int count = view_.RowCount();
    rows.reserve(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row) rows.push_back(view_.RowAt(row));
    return ResultsAsText(rows);
}

void WatchPage::LogWriteFailed(int errorNumber) {
    ReportLogFailure(errorNumber, true);
}

void WatchPage::ReportLogFailure(int errorNumber, bool watchGoesOn) {
    if (logFailureReported_) return;
    logFailureReported_ = true;
    const std::string name = worker_ ? worker_->LogFileName : std::string();
    view_.ShowLogFailureNotice(LogFailureText(name, errorNumber, watchGoesOn));
}

}  // namespace tarnwell
