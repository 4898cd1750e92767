#include "engine/result_outputs.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>

#include "engine/decimal_text.h"

namespace tarnwell {

namespace {

// Linux names may hold CR, LF, tab and the other C0 control bytes, which
// Windows names cannot: written as they are, one name could end a log line
// and begin a forged one, or shift the fields of its line. Such a byte is
// written as \r, \n, \t or \xHH (two upper-case hex digits), which breaks
// neither a line nor a field. In a quoted CSV field a '"' is doubled, so CSV
// readers get the name back whole. A text without such bytes is appended as
// it is: stored logs and the scripts that read them depend on those bytes.
//
// Nearly every name has no such byte, and the test runs four times for every
// change: it looks at eight bytes at a time.
bool HasSpecialByte(std::string_view text, bool csvQuoted) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHighs = 0x8080808080808080u;
    // Set in a byte's high bit when that byte is below `n` (n <= 0x80); a set
    // bit may only spill into the bytes above a byte that really is below.
    const auto anyBelow = [](std::uint64_t x, std::uint64_t n) {
        return ((x - kOnes * n) & ~x & kHighs) != 0;
    };
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, sizeof word);
        if (anyBelow(word, 0x20) || (csvQuoted && anyBelow(word ^ (kOnes * '"'), 1))) return true;
    }
    for (; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || (csvQuoted && c == '"')) return true;
    }
    return false;
}

void AppendField(std::string& out, std::string_view text, bool csvQuoted) {
    if (!HasSpecialByte(text, csvQuoted)) {
        out.append(text);
        return;
    }
    const auto special = [csvQuoted](char c) {
        return static_cast<unsigned char>(c) < 0x20 || (csvQuoted && c == '"');
    };
    std::size_t from = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!special(c)) continue;
        out.append(text, from, i - from);
        from = i + 1;
        switch (c) {
            case '"':
                out += "\"\"";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default: {
                static constexpr char kHex[] = "0123456789ABCDEF";
                const auto byte = static_cast<unsigned char>(c);
                out += "\\x";
                out += kHex[byte >> 4];
                out += kHex[byte & 0xF];
            }
        }
    }
    out.append(text, from, std::string_view::npos);
}

std::string EscapedField(const std::string& text) {
    if (!HasSpecialByte(text, false)) return text;
    std::string out;
    AppendField(out, text, false);
    return out;
}

}  // namespace

std::string FormatSize(std::uint32_t size) {
    std::string text;
    AppendDecimal(text, size);
    return text;
}

ResultRow FormatResultRow(const std::string& timeStamp, const ChangeRecord& record) {
    // The list shows a name as the log writes it, so one row is one line and
    // what a user copies from it matches the log.
    return ResultRow{timeStamp, EscapedField(record.FullPath), std::string(record.ActionWord),
                     FormatSize(record.Size), EscapedField(record.Owner)};
}

void FormatLogLine(std::string& line, std::int32_t logFormat, const std::string& timeStamp,
                   const ChangeRecord& record) {
    line += timeStamp;
    if (logFormat == LogFormatCsv) {
        line += ",\"";
        AppendField(line, record.FullPath, true);
        line += "\",\"";
        line += record.ActionWord;
        line += "\",";
        AppendDecimal(line, record.Size);
        line += ",\"";
        AppendField(line, record.Owner, true);
        line += "\"\r\n";
    } else {
        line += '\t';
        AppendField(line, record.FullPath, false);
        line += '\t';
        line += record.ActionWord;
        line += "\t.";
        AppendDecimal(line, record.Size);
        line += '\t';
        AppendField(line, record.Owner, false);
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
