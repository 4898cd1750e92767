#include "engine/result_outputs.h"

#include <cerrno>
#include <charconv>
#include <utility>

namespace tarnwell {

namespace {

template <typename Integer>
void AppendDecimal(std::string& out, Integer value) {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

}  // namespace

std::string FormatSize(std::uint32_t size) {
    std::string text;
    AppendDecimal(text, size);
    return text;
}

ResultRow FormatResultRow(const std::string& timeStamp, const ChangeRecord& record) {
    return ResultRow{timeStamp, record.FullPath, std::string(record.ActionWord),
                     FormatSize(record.Size), record.Owner};
}

void FormatLogLine(std::string& line, std::int32_t logFormat, const std::string& timeStamp,
                   const ChangeRecord& record) {
    // No field is quoted or escaped beyond the layout itself: readers of these
    // files know the layout as it has always been.
    line += timeStamp;
    if (logFormat == LogFormatCsv) {
        line += ",\"";
        line += record.FullPath;
        line += "\",\"";
        line += record.ActionWord;
        line += "\",";
        AppendDecimal(line, record.Size);
        line += ",\"";
        line += record.Owner;
        line += "\"\r\n";
    } else {
        line += '\t';
        line += record.FullPath;
        line += '\t';
        line += record.ActionWord;
        line += "\t.";
        AppendDecimal(line, record.Size);
        line += '\t';
        line += record.Owner;
        line += "\r\n";
    }
}

std::string FormatChangeCount(std::int32_t changeCount) {
    std::string text;
    AppendDecimal(text, changeCount);
    return text;
}

void AddResultRow(PageSurface& page, const std::string& timeStamp, const ChangeRecord& record) {
    const int index = page.AppendRow(FormatResultRow(timeStamp, record));
    if (page.AutoScroll()) page.MakeRowVisible(index);
}

bool WriteLogLine(std::FILE* logFile, std::int32_t logFormat, const std::string& timeStamp,
                  const ChangeRecord& record) {
    if (logFile == nullptr) {
        errno = EBADF;
        return false;
    }
    // Kept between calls so that a line costs no allocation once the buffer
    // has grown to the longest line.
    thread_local std::string line;
    line.clear();
    FormatLogLine(line, logFormat, timeStamp, record);
    const std::size_t written = std::fwrite(line.data(), 1, line.size(), logFile);
    // The error flag stays set once a buffered flush has failed, so a line that
    // only went into the buffer after a lost one still counts as failed.
    return written == line.size() && std::ferror(logFile) == 0;
}

void ShowChangeCount(PageSurface& page, std::int32_t changeCount) {
    page.SetChangeCountText(FormatChangeCount(changeCount));
}

void TrimResults(PageSurface& page) {
    const int maximum = page.MaxLines();
    const int rows = page.RowCount();
    // rows > 0 keeps a negative maximum from deleting out of an empty list.
    if (maximum < rows && rows > 0) page.DeleteFirstRow();
}

}  // namespace tarnwell
