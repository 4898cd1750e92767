#include "engine/result_outputs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iterator>
#include <string>

#include "support/fake_services.h"
#include "support/stream_contents.h"

namespace tarnwell {
namespace {

ChangeRecord Record(const std::string& fullPath, ChangeAction action, std::uint32_t size,
                    const char* owner) {
    ChangeRecord r;
    r.FullPath = fullPath;
    r.Action = action;
    r.ActionWord = ActionWord(action);
    r.Size = size;
    r.Owner = owner;
    return r;
}

TEST(ResultOutputs, ActionWords) {
    const struct {
        ChangeAction action;
        const char* word;
    } cases[] = {{0, ""},         {1, "Created"},        {2, "Deleted"},
                 {3, "Modified"}, {4, "Renamed - From"}, {5, "Renamed - To"},
                 {6, ""},         {0xFFFFFFFFu, ""}};
    for (const auto& c : cases) EXPECT_EQ(ActionWord(c.action), c.word) << c.action;
}

TEST(ResultOutputs, LogLinesByteForByte) {
    const std::string stamp = "6/14/2006 3:04:05 PM";
    const struct {
        const char* what;
        std::int32_t format;
        ChangeRecord record;
        const char* line;
    } cases[] = {
        {"csv", LogFormatCsv, Record("C:\\Data\\a.txt", 1, 0, "BUILTIN\\Administrators"),
         "6/14/2006 3:04:05 PM,\"C:\\Data\\a.txt\",\"Created\",0,\"BUILTIN\\Administrators\"\r\n"},
        {"tab", LogFormatTab, Record("C:\\Data\\a.txt", 1, 0, "BUILTIN\\Administrators"),
         "6/14/2006 3:04:05 PM\tC:\\Data\\a.txt\tCreated\t.0\tBUILTIN\\Administrators\r\n"},
        {"csv largest size", LogFormatCsv, Record("/d/a", 3, 4294967295u, "h\\u"),
         "6/14/2006 3:04:05 PM,\"/d/a\",\"Modified\",4294967295,\"h\\u\"\r\n"},
        {"tab largest size", LogFormatTab, Record("/d/a", 3, 4294967295u, "h\\u"),
         "6/14/2006 3:04:05 PM\t/d/a\tModified\t.4294967295\th\\u\r\n"},
        {"csv empty owner and word", LogFormatCsv, Record("C:\\Data\\", 0, 1024, ""),
         "6/14/2006 3:04:05 PM,\"C:\\Data\\\",\"\",1024,\"\"\r\n"},
        {"tab empty owner and word", LogFormatTab, Record("C:\\Data\\", 0, 1024, ""),
         "6/14/2006 3:04:05 PM\tC:\\Data\\\t\t.1024\t\r\n"},
        {"csv keeps commas and doubles quotes", LogFormatCsv,
         Record("C:\\a,\"b\".txt", 2, 7, "d\\x"),
         "6/14/2006 3:04:05 PM,\"C:\\a,\"\"b\"\".txt\",\"Deleted\",7,\"d\\x\"\r\n"},
        {"tab keeps quotes", LogFormatTab, Record("/d/\"q\"", 2, 7, "h\\u"),
         "6/14/2006 3:04:05 PM\t/d/\"q\"\tDeleted\t.7\th\\u\r\n"},
        {"any other format is tab", 7, Record("a", 5, 1, "o"),
         "6/14/2006 3:04:05 PM\ta\tRenamed - To\t.1\to\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string line = "kept:";
        FormatLogLine(line, c.format, stamp, c.record);
        EXPECT_EQ(line, std::string("kept:") + c.line);
    }
}

// A Linux name may hold any byte but "/" and NUL. Whatever it holds, one
// change is one line of exactly five fields.
TEST(ResultOutputs, ControlBytesInANameCanNeitherBreakALineNorShiftAField) {
    const std::string stamp = "6/14/2006 3:04:05 PM";
    const struct {
        const char* what;
        std::string path;
        const char* shown;  // in the list and in Tab
        const char* csv;    // inside the quotes of a CSV field
    } cases[] = {
        {"forged line", "/d/x\r\n6/14/2006 3:04:06 PM,\"/etc/passwd\",\"Deleted\",0,\"\"",
         "/d/x\\r\\n6/14/2006 3:04:06 PM,\"/etc/passwd\",\"Deleted\",0,\"\"",
         "/d/x\\r\\n6/14/2006 3:04:06 PM,\"\"/etc/passwd\"\",\"\"Deleted\"\",0,\"\"\"\""},
        {"tab", "/d/a\tb", "/d/a\\tb", "/d/a\\tb"},
        {"other C0 bytes", std::string("/d/\x01\x1b[31m\x1f", 10), "/d/\\x01\\x1B[31m\\x1F",
         "/d/\\x01\\x1B[31m\\x1F"},
        {"quote", "/d/say \"hi\"", "/d/say \"hi\"", "/d/say \"\"hi\"\""},
        {"no such byte: unchanged", "/d/caf\xc3\xa9 \\ 100%,x", "/d/caf\xc3\xa9 \\ 100%,x",
         "/d/caf\xc3\xa9 \\ 100%,x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ChangeRecord record = Record(c.path, 1, 5, "h\\u");
        std::string csv;
        FormatLogLine(csv, LogFormatCsv, stamp, record);
        EXPECT_EQ(csv, stamp + ",\"" + c.csv + "\",\"Created\",5,\"h\\u\"\r\n");
        std::string tab;
        FormatLogLine(tab, LogFormatTab, stamp, record);
        EXPECT_EQ(tab, stamp + "\t" + c.shown + "\tCreated\t.5\th\\u\r\n");
        EXPECT_EQ(FormatResultRow(stamp, record)[1], c.shown);
    }
}

// Names are looked at eight bytes at a time: a byte that needs escaping is
// found at every place in a word and beside any other byte, and the bytes
// just above the escaped ones (and the high bytes of UTF-8) are left alone.
TEST(ResultOutputs, EveryByteIsLookedAtWhereverItStands) {
    const std::string stamp = "6/14/2006 3:04:05 PM";
    const auto field = [&](const std::string& path, std::int32_t format) {
        std::string line;
        FormatLogLine(line, format, stamp, Record(path, 1, 0, ""));
        const std::size_t begin = stamp.size() + (format == LogFormatCsv ? 2 : 1);
        return line.substr(begin,
                           line.find(format == LogFormatCsv ? "\",\"" : "\t", begin) - begin);
    };
    const struct {
        char byte;
        const char* shown;  // in the list and in Tab
        const char* csv;
    } bytes[] = {
        {'\x01', "\\x01", "\\x01"},
        {'\x1f', "\\x1F", "\\x1F"},
        {'\t', "\\t", "\\t"},
        {'"', "\"", "\"\""},
        {' ', " ", " "},
        {'!', "!", "!"},
        {'#', "#", "#"},
        {'\x7f', "\x7f", "\x7f"},
        {'\x80', "\x80", "\x80"},
        {'\xff', "\xff", "\xff"},
    };
    for (const std::string& around :
         {std::string(19, 'a'), std::string("\xc3\xa9\xff\x80\x7f!\"#") + "bcdefghijkl"}) {
        for (const auto& b : bytes) {
            for (std::size_t at = 0; at <= around.size(); ++at) {
                SCOPED_TRACE(testing::Message()
                             << "byte " << int(static_cast<unsigned char>(b.byte)) << " at " << at);
                std::string path = around;
                path.insert(at, 1, b.byte);
                // The reference: every byte escaped on its own.
                std::string shown, csv;
                for (const char c : path) {
                    const auto same = [&](const auto& e) { return e.byte == c; };
                    const auto* e = std::find_if(std::begin(bytes), std::end(bytes), same);
                    shown += e != std::end(bytes) ? e->shown : std::string(1, c);
                    csv += e != std::end(bytes) ? e->csv : std::string(1, c);
                }
                EXPECT_EQ(field(path, LogFormatTab), shown);
                EXPECT_EQ(field(path, LogFormatCsv), csv);
                EXPECT_EQ(FormatResultRow(stamp, Record(path, 1, 0, ""))[1], shown);
            }
        }
    }
}

TEST(ResultOutputs, RowTextsAndCount) {
    const ResultRow row = FormatResultRow("6/14/2006", Record("/d/a", 4, 4294967295u, ""));
    EXPECT_EQ(row, (ResultRow{"6/14/2006", "/d/a", "Renamed - From", "4294967295", ""}));
    EXPECT_EQ(FormatSize(0), "0");
    EXPECT_EQ(FormatChangeCount(1), "1");
    EXPECT_EQ(FormatChangeCount(2147483647), "2147483647");
}

TEST(ResultOutputs, AddResultRowScrollsOnlyWithAutoScroll) {
    for (bool autoScroll : {true, false}) {
        SCOPED_TRACE(autoScroll ? "auto-scroll on" : "auto-scroll off");
        test::FakePageSurface page;
        page.autoScroll = autoScroll;
        page.rows.resize(3);
        AddResultRow(page, "t", Record("/d/a", 1, 0, ""));
        ASSERT_EQ(page.rows.size(), 4u);
        EXPECT_EQ(page.rows.back()[1], "/d/a");
        if (autoScroll) {
            EXPECT_EQ(page.calls, (std::vector<std::string>{"AppendRow", "MakeRowVisible 3"}));
        } else {
            EXPECT_EQ(page.calls, (std::vector<std::string>{"AppendRow"}));
        }
    }
}

TEST(ResultOutputs, TrimRemovesAtMostOneRowPerCall) {
    const struct {
        int maximum;
        std::size_t before;
        std::size_t after;
    } cases[] = {
        {1000, 1001, 1000}, {1000, 1000, 1000}, {1000, 2000, 1999}, {0, 1, 0},
        {0, 3, 2},          {0, 0, 0},          {-1, 0, 0},  // a negative maximum must not delete
                                                             // out of an empty list
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("max " + std::to_string(c.maximum) + ", rows " + std::to_string(c.before));
        test::FakePageSurface page;
        page.maxLines = c.maximum;
        for (std::size_t i = 0; i < c.before; ++i) page.rows.push_back({std::to_string(i)});
        TrimResults(page);
        ASSERT_EQ(page.rows.size(), c.after);
        if (c.after > 0 && c.after < c.before) {
            EXPECT_EQ(page.rows.front()[0], "1");
        }
    }
}

TEST(ResultOutputs, LogLinesFollowEachOtherInTheFile) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(WriteLogLine(file, LogFormatCsv, "t1", Record("/d/a", 1, 0, "o")));
    EXPECT_TRUE(WriteLogLine(file, LogFormatTab, "t2", Record("/d/b", 2, 5, "")));
    EXPECT_EQ(test::StreamContents(file),
              "t1,\"/d/a\",\"Created\",0,\"o\"\r\nt2\t/d/b\tDeleted\t.5\t\r\n");
    std::fclose(file);
}

TEST(ResultOutputs, LogWriteFailuresAreReported) {
    // A stream opened for reading refuses every write, on every platform.
    const std::string path = testing::TempDir() + "tarnwell_read_only_log.txt";
    std::FILE* created = std::fopen(path.c_str(), "wb");
    ASSERT_NE(created, nullptr);
    std::fclose(created);
    std::FILE* readOnly = std::fopen(path.c_str(), "rb");
    ASSERT_NE(readOnly, nullptr);
    EXPECT_FALSE(WriteLogLine(readOnly, LogFormatCsv, "t", Record("/d/a", 1, 0, "")));
    std::fclose(readOnly);
    std::remove(path.c_str());

    errno = 0;
    EXPECT_FALSE(WriteLogLine(nullptr, LogFormatCsv, "t", Record("/d/a", 1, 0, "")));
    EXPECT_EQ(errno, EBADF);
}

TEST(ResultOutputs, FullDeviceFailsOnceTheBufferIsFlushed) {
    std::FILE* full = std::fopen("/dev/full", "wb");
    if (full == nullptr) GTEST_SKIP() << "no /dev/full here";
    char small[16];
    ASSERT_EQ(std::setvbuf(full, small, _IOFBF, sizeof small), 0);
    errno = 0;
    EXPECT_FALSE(
        WriteLogLine(full, LogFormatCsv, "6/14/2006 3:04:05 PM", Record("/d/a.txt", 1, 0, "")));
    EXPECT_EQ(errno, ENOSPC);
    // The error flag stays: a short line that would fit into the buffer still fails.
    EXPECT_FALSE(WriteLogLine(full, LogFormatCsv, "t", Record("a", 1, 0, "")));
    std::fclose(full);
}

}  // namespace
}  // namespace tarnwell
