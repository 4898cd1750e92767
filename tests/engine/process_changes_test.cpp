#include "engine/process_changes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/watch_settings.h"
#include "support/fake_services.h"
#include "support/notify_buffer_builder.h"
#include "support/stream_contents.h"

namespace tarnwell {
namespace {

using test::BuildNotifyBuffer;
using Calls = std::vector<std::string>;

// One watch on C:\Data (Windows syntax unless a test says otherwise), output to
// screen and to a CSV log in a temporary file, the clock standing at
// 6/14/2006 3:04:05 PM. Every clock reading is noted among the page's calls so
// a test sees where each output took its time stamp.
class ProcessChangesTest : public testing::Test {
  protected:
    void SetUp() override {
        log = std::tmpfile();
        ASSERT_NE(log, nullptr);
        files.entries["C:\\Data\\a.txt"] = {12, "BUILTIN\\Administrators"};
        files.entries["C:\\Data\\"] = {0, "NT AUTHORITY\\SYSTEM"};
    }
    void TearDown() override {
        if (log != nullptr) std::fclose(log);
    }

    void Run(const std::vector<std::byte>& buffer) {
        BatchTarget target{directory, mask, page,        outputToFile,
                           logFormat, log,  changeCount, logFailed};
        BatchServices services{text, files, *syntax, regional, [this] {
                                   page.calls.push_back("clock");
                                   return now;
                               }};
        currentRecord = 0;
        ProcessChangeBatch(buffer.data(), buffer.size(), currentRecord, target, services);
    }

    std::string LogText() { return test::StreamContents(log); }

    test::FakeSystemText text;
    test::FakeFileQueries files;
    test::FakePageSurface page;
    RegionalSettings regional;
    const PathSyntax* syntax = &kWindowsPathSyntax;
    LocalDateTime now{2006, 6, 14, 15, 4, 5, 0};
    std::string directory = "C:\\Data";
    std::string mask = "*";
    std::int32_t outputToFile = 1;
    std::int32_t logFormat = LogFormatCsv;
    std::FILE* log = nullptr;
    std::int32_t changeCount = 0;
    bool logFailed = false;
    std::size_t currentRecord = 0;
};

TEST_F(ProcessChangesTest, MatchingRecordGoesToEveryOutputInOrder) {
    Run(BuildNotifyBuffer({{FILE_ACTION_ADDED, u"a.txt"}}));

    EXPECT_EQ(page.calls, (Calls{"clock", "AppendRow", "MakeRowVisible 0", "clock",
                                 "SetChangeCountText 1", "MaxLines"}));
    ASSERT_EQ(page.rows.size(), 1u);
    EXPECT_EQ(page.rows[0], (ResultRow{"6/14/2006 3:04:05 PM", "C:\\Data\\a.txt", "Created", "12",
                                       "BUILTIN\\Administrators"}));
    EXPECT_EQ(LogText(),
              "6/14/2006 3:04:05 PM,\"C:\\Data\\a.txt\",\"Created\",12,"
              "\"BUILTIN\\Administrators\"\r\n");
    EXPECT_EQ(changeCount, 1);
    EXPECT_EQ(files.batches, 1);
}

TEST_F(ProcessChangesTest, AHandOverIsOneBatchOfThePage) {
    Run(BuildNotifyBuffer({{FILE_ACTION_ADDED, u"a.txt"},
                           {FILE_ACTION_REMOVED, u"b.txt"},
                           {FILE_ACTION_ADDED, u"c.txt"}}));
    EXPECT_EQ(page.batchesBegun, 1);
    EXPECT_EQ(page.batchesEnded, 1);
    EXPECT_EQ(page.batchDepthOfRows, (std::vector<int>{1, 1, 1}));
}

TEST_F(ProcessChangesTest, NonMatchingRecordIsOnlyTrimmed) {
    mask = "*.txt";
    Run(BuildNotifyBuffer({{FILE_ACTION_ADDED, u"a.txt.bak"}}));
    EXPECT_EQ(page.calls, (Calls{"MaxLines"}));
    EXPECT_EQ(changeCount, 0);
    EXPECT_TRUE(files.queried.empty());
    EXPECT_EQ(LogText(), "");
}

TEST_F(ProcessChangesTest, OutputSwitchesLeaveTheirOutputOut) {
    const struct {
        bool screen;
        std::int32_t file;
        Calls calls;
    } cases[] = {
        {false, 1, {"clock", "SetChangeCountText 1", "MaxLines"}},
        {true, 0, {"clock", "AppendRow", "MakeRowVisible 0", "SetChangeCountText 1", "MaxLines"}},
        {false, 0, {"SetChangeCountText 1", "MaxLines"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("screen ") + (c.screen ? "on" : "off") + ", file " +
                     std::to_string(c.file));
        page = {};
        page.outputToScreen = c.screen;
        outputToFile = c.file;
        changeCount = 0;
        const long logBefore = (std::fseek(log, 0, SEEK_END), std::ftell(log));
        Run(BuildNotifyBuffer({{FILE_ACTION_ADDED, u"a.txt"}}));
        EXPECT_EQ(page.calls, c.calls);
        const long logAfter = (std::fseek(log, 0, SEEK_END), std::ftell(log));
        EXPECT_EQ(logAfter > logBefore, c.file != 0);
    }
}

TEST_F(ProcessChangesTest, EveryRecordIsTrimmedOnlyMatchesCount) {
    mask = "*.txt";
    changeCount = 5;  // a batch goes on from the count of the run
    outputToFile = 0;
    page.autoScroll = false;
    const auto buffer = BuildNotifyBuffer({{FILE_ACTION_ADDED, u"a.txt"},
                                           {FILE_ACTION_MODIFIED, u"b.doc"},
                                           {FILE_ACTION_REMOVED, u"sub\\c.TXT"}});
    Run(buffer);
    EXPECT_EQ(page.calls,
              (Calls{"clock", "AppendRow", "SetChangeCountText 6", "MaxLines", "MaxLines", "clock",
                     "AppendRow", "SetChangeCountText 7", "MaxLines"}));
    EXPECT_EQ(changeCount, 7);
    ASSERT_EQ(page.rows.size(), 2u);
    EXPECT_EQ(page.rows[1][1], "C:\\Data\\sub\\c.TXT");
    EXPECT_EQ(page.rows[1][2], "Deleted");
    EXPECT_EQ(page.rows[1][3], "0");  // deleted: no size
    EXPECT_EQ(page.rows[1][4], "");   // and no owner
    EXPECT_EQ(files.batches, 1);
    EXPECT_EQ(currentRecord, 48u);  // left at the last record
}

TEST_F(ProcessChangesTest, CountStopsAtItsLargestValueInsteadOfWrapping) {
    changeCount = 2147483647;
    outputToFile = 0;
    Run(BuildNotifyBuffer({{FILE_ACTION_ADDED, u"a.txt"}}));
    EXPECT_EQ(changeCount, 2147483647);
    EXPECT_EQ(page.changeCountText, "2147483647");
}

// The mask is about file names; a lost change must never be silent, so the
// overflow row shows whatever the mask.
TEST_F(ProcessChangesTest, OverflowReportsTheFolderItselfWhateverTheMask) {
    for (const char* m : {"*", "", "*.*", "*.", "*.txt", "report.doc"}) {
        SCOPED_TRACE(std::string("mask ") + m);
        page = {};
        mask = m;
        changeCount = 0;
        outputToFile = 0;
        Run(std::vector<std::byte>(kChangeBufferSize));
        EXPECT_EQ(changeCount, 1);
        ASSERT_EQ(page.rows.size(), 1u);
        EXPECT_EQ(page.rows[0], (ResultRow{"6/14/2006 3:04:05 PM", "C:\\Data\\", "", "0",
                                           "NT AUTHORITY\\SYSTEM"}));
    }
}

TEST_F(ProcessChangesTest, MarkOfAFolderBelowNamesItInTheOverflowRowsForm) {
    syntax = &kPosixPathSyntax;
    directory = "/data";
    mask = "*.txt";
    files.entries["/data/sub/deep/"] = {4096, "host\\alice"};
    Run(BuildNotifyBuffer({{FILE_ACTION_ADDED, u"sub/x.bin"}, {0, u"sub/deep"}}));
    ASSERT_EQ(page.rows.size(), 1u);
    EXPECT_EQ(page.rows[0],
              (ResultRow{"6/14/2006 3:04:05 PM", "/data/sub/deep/", "", "4096", "host\\alice"}));
    EXPECT_EQ(LogText(), "6/14/2006 3:04:05 PM,\"/data/sub/deep/\",\"\",4096,\"host\\alice\"\r\n");
    EXPECT_EQ(changeCount, 1);
}

// A system text whose "?" hides bytes it can give back for the look-up, as
// the Linux one does for names that are not UTF-8.
class LookupKeepingText : public test::FakeSystemText {
  public:
    std::string LookupName(const char16_t* text, std::size_t units) const override {
        std::string bytes = FromUtf16(text, units);
        for (std::size_t i = 0; i < units; ++i)
            if (text[i] >= 0xDC80 && text[i] <= 0xDCFF)
                bytes[i] = static_cast<char>(text[i] - 0xDC00);
        return bytes;
    }
};

TEST_F(ProcessChangesTest, NameShownWithMarksIsLookedUpByItsOwnBytes) {
    LookupKeepingText lookupText;
    syntax = &kPosixPathSyntax;
    directory = "/data";
    // Another file bears the displayed name: its facts must not be borrowed.
    files.entries["/data/bad?.txt"] = {999, "host\\mallory"};
    files.entries["/data/bad\xff.txt"] = {5, "host\\alice"};
    BatchTarget target{directory, mask, page, outputToFile, logFormat, log, changeCount, logFailed};
    BatchServices services{lookupText, files, *syntax, regional, [this] { return now; }};
    const auto buffer = BuildNotifyBuffer({{FILE_ACTION_ADDED, u"bad\xDCFF.txt"}});
    ProcessChangeBatch(buffer.data(), buffer.size(), currentRecord, target, services);
    ASSERT_EQ(page.rows.size(), 1u);
    EXPECT_EQ(page.rows[0],
              (ResultRow{"6/14/2006 3:04:05 PM", "/data/bad?.txt", "Created", "5", "host\\alice"}));
    EXPECT_EQ(files.queried, (Calls{"/data/bad\xff.txt"}));
}

TEST_F(ProcessChangesTest, RenameUnderAMaskReportsOnlyTheMatchingName) {
    mask = "*.txt";
    Run(BuildNotifyBuffer(
        {{FILE_ACTION_RENAMED_OLD_NAME, u"a.txt"}, {FILE_ACTION_RENAMED_NEW_NAME, u"a.bak"}}));
    ASSERT_EQ(page.rows.size(), 1u);
    EXPECT_EQ(page.rows[0][2], "Renamed - From");
    EXPECT_EQ(changeCount, 1);
    EXPECT_EQ(files.queried, (Calls{"C:\\Data\\a.txt"}));
}

TEST_F(ProcessChangesTest, PosixFolderAndSubfolderNames) {
    syntax = &kPosixPathSyntax;
    directory = "/data";
    files.entries["/data/sub/a.txt"] = {3, "host\\alice"};
    logFormat = LogFormatTab;
    Run(BuildNotifyBuffer({{FILE_ACTION_MODIFIED, u"sub/a.txt"}}));
    EXPECT_EQ(LogText(), "6/14/2006 3:04:05 PM\t/data/sub/a.txt\tModified\t.3\thost\\alice\r\n");
}

TEST_F(ProcessChangesTest, MaximumKeepsTheListAtItsSize) {
    outputToFile = 0;
    for (int i = 0; i < 1000; ++i) page.rows.push_back({std::to_string(i)});
    Run(BuildNotifyBuffer({{FILE_ACTION_ADDED, u"a.txt"}}));
    ASSERT_EQ(page.rows.size(), 1000u);
    EXPECT_EQ(page.rows.front()[0], "1");
    EXPECT_EQ(page.rows.back()[1], "C:\\Data\\a.txt");

    // With a maximum of 0 every row goes right after it came; log and count go on.
    page = {};
    page.maxLines = 0;
    outputToFile = 1;
    changeCount = 0;
    Run(BuildNotifyBuffer({{FILE_ACTION_ADDED, u"a.txt"}, {FILE_ACTION_REMOVED, u"a.txt"}}));
    EXPECT_TRUE(page.rows.empty());
    EXPECT_EQ(page.calls,
              (Calls{"clock", "AppendRow", "MakeRowVisible 0", "clock", "SetChangeCountText 1",
                     "MaxLines", "DeleteFirstRow", "clock", "AppendRow", "MakeRowVisible 0",
                     "clock", "SetChangeCountText 2", "MaxLines", "DeleteFirstRow"}));
    EXPECT_EQ(changeCount, 2);
    const std::string lines = LogText();
    EXPECT_NE(lines.find("\"Created\""), std::string::npos);
    EXPECT_NE(lines.find("\"Deleted\""), std::string::npos);
}

TEST_F(ProcessChangesTest, FailedLogWriteIsToldOncePerRun) {
    const std::string path = testing::TempDir() + "tarnwell_process_read_only.log";
    std::FILE* created = std::fopen(path.c_str(), "wb");
    ASSERT_NE(created, nullptr);
    std::fclose(created);
    std::fclose(log);
    log = std::fopen(path.c_str(), "rb");  // refuses every write
    ASSERT_NE(log, nullptr);

    const auto buffer =
        BuildNotifyBuffer({{FILE_ACTION_ADDED, u"a.txt"}, {FILE_ACTION_MODIFIED, u"a.txt"}});
    Run(buffer);
    EXPECT_TRUE(logFailed);
    const Calls expected = {"clock",
                            "AppendRow",
                            "MakeRowVisible 0",
                            "clock",
                            "LogWriteFailed " + std::to_string(EBADF),
                            "SetChangeCountText 1",
                            "MaxLines",
                            "clock",
                            "AppendRow",
                            "MakeRowVisible 1",
                            "clock",
                            "SetChangeCountText 2",
                            "MaxLines"};
    EXPECT_EQ(page.calls, expected);

    page.calls.clear();
    Run(buffer);  // the next batch of the same run stays quiet
    for (const std::string& call : page.calls)
        EXPECT_EQ(call.find("LogWriteFailed"), std::string::npos);
    EXPECT_EQ(changeCount, 4);
    std::fclose(log);
    log = nullptr;
    std::remove(path.c_str());
}

TEST_F(ProcessChangesTest, NamesAreReadWhateverTheirAlignmentAndClippedToTheBuffer) {
    outputToFile = 0;
    std::vector<std::byte> buffer(kChangeBufferSize);
    const std::size_t last = kChangeBufferSize - 16;  // room for two code units
    test::PutRecord(buffer, 0, 14, FILE_ACTION_ADDED, 2, u"x");
    test::PutRecord(buffer, 14, 25, FILE_ACTION_ADDED, 10, u"a.txt");
    test::PutRecord(buffer, 39, static_cast<std::uint32_t>(last - 39), FILE_ACTION_MODIFIED, 6,
                    u"\u00e9\u0416z");
    test::PutRecord(buffer, last, 0, FILE_ACTION_REMOVED, 100, u"ab");
    Run(buffer);
    ASSERT_EQ(page.rows.size(), 4u);
    EXPECT_EQ(page.rows[0][1], "C:\\Data\\x");
    EXPECT_EQ(page.rows[1][1], "C:\\Data\\a.txt");
    EXPECT_EQ(page.rows[1][3], "12");
    EXPECT_EQ(page.rows[2][1], "C:\\Data\\??z");
    EXPECT_EQ(page.rows[3][1], "C:\\Data\\ab");
    EXPECT_EQ(currentRecord, last);
}

TEST_F(ProcessChangesTest, NoMatchLeavesTheLabelAlone) {
    mask = "*.txt";
    changeCount = 3;
    Run(BuildNotifyBuffer({{FILE_ACTION_ADDED, u"a.doc"}, {FILE_ACTION_ADDED, u"b.doc"}}));
    EXPECT_EQ(page.calls, (Calls{"MaxLines", "MaxLines"}));
}

TEST_F(ProcessChangesTest, EveryStampShowsItsOwnReadingOfTheClock) {
    // Readings in the order the outputs take them: row, log line, row, log line.
    const LocalDateTime readings[] = {{2006, 6, 14, 15, 4, 5, 100},
                                      {2006, 6, 14, 15, 4, 5, 900},
                                      {2006, 6, 14, 15, 4, 6, 0},
                                      {2006, 6, 15, 15, 4, 6, 0}};
    std::size_t next = 0;
    BatchTarget target{directory, mask, page, outputToFile, logFormat, log, changeCount, logFailed};
    BatchServices services{text, files, *syntax, regional, [&] { return readings[next++ % 4]; }};
    const auto buffer =
        BuildNotifyBuffer({{FILE_ACTION_ADDED, u"a.txt"}, {FILE_ACTION_MODIFIED, u"a.txt"}});
    ProcessChangeBatch(buffer.data(), buffer.size(), currentRecord, target, services);

    ASSERT_EQ(page.rows.size(), 2u);
    EXPECT_EQ(page.rows[0][0], "6/14/2006 3:04:05 PM");
    EXPECT_EQ(page.rows[1][0], "6/14/2006 3:04:06 PM");
    EXPECT_EQ(LogText(),
              "6/14/2006 3:04:05 PM,\"C:\\Data\\a.txt\",\"Created\",12,"
              "\"BUILTIN\\Administrators\"\r\n"
              "6/15/2006 3:04:06 PM,\"C:\\Data\\a.txt\",\"Modified\",12,"
              "\"BUILTIN\\Administrators\"\r\n");
}

}  // namespace
}  // namespace tarnwell
