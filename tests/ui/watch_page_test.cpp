// The watch page's logic with a plain fake of its window: the refusals and
// their order, the steps of Start and Stop, the clock and its end poll, Clear,
// the reading of "Maximum Lines :", and a real watch on a real folder.

#include "ui/watch_page.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "engine/notify_codes.h"
#include "platform/file_queries.h"
#include "platform/path_syntax.h"
#include "platform/regional_settings.h"
#include "platform/system_text.h"
#include "support/test_dispatcher.h"
#include "ui/fake_watch_page_view.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::FakeWatchPageView;

struct RealServices {
    std::unique_ptr<SystemText> text = MakeSystemText();
    std::unique_ptr<FileQueries> files = MakeFileQueries();
    RegionalSettings regional = ReadRegionalSettings();
    BatchServices batch{*text, *files, NativePathSyntax(), regional, &LocalNow};
};

class WatchPageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = fs::temp_directory_path() /
                ("tarnwell-page-" + std::string(info->name()) + "-" +
                 std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(root_ / "watched");
    }
    void TearDown() override {
        page_.reset();
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    WatchPage& Page() {
        if (!page_)
            page_ = std::make_unique<WatchPage>(view_, WorkerContext{ui_, services_.batch},
                                                [this] { return now_; });
        return *page_;
    }
    std::string Watched() const { return (root_ / "watched").string(); }
    std::string Log() const { return (root_ / "log.csv").string(); }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // Creates probe files until the watch reports one: the backend may start
    // watching only at its first read. Returns the name of the reported probe.
    std::string CreateUntilListed() {
        for (int attempt = 0; attempt < 50; ++attempt) {
            const std::string name = "probe" + std::to_string(attempt) + ".txt";
            std::ofstream(root_ / "watched" / name, std::ios::binary) << "12345";
            if (ui_.RunUntil([&] { return !view_.rows.empty(); }, 200ms)) return name;
        }
        return {};
    }

    fs::path root_;
    testing::TestDispatcher ui_;
    RealServices services_;
    FakeWatchPageView view_;
    double now_ = 1000.0;
    std::unique_ptr<WatchPage> page_;
};

TEST_F(WatchPageTest, FreshPageStopChangesNothing) {
    Page().StopWatch();
    EXPECT_TRUE(view_.calls.empty());
    EXPECT_EQ(view_.status, "");
    EXPECT_TRUE(view_.stopEnabled);
}

// Only the first failing check is reported, and each leaves the page stopped
// with the path in its tab, no worker and no file.
TEST_F(WatchPageTest, RefusalsInTheirOrder) {
    struct Case {
        const char* name;
        bool anyActivity;
        bool toScreen;
        bool toFile;
        bool logInMissingFolder;
        std::string expected;
    };
    const Case cases[] = {
        {"nothing at all", false, false, false, false, std::string("warning: ") + kNoActivityText},
        {"no output", true, false, false, false, std::string("warning: ") + kNoOutputText},
        {"empty log name", true, false, true, false, std::string("error: ") + kCannotOpenLogText},
        {"log in a missing folder", true, true, true, true,
         std::string("error: ") + kCannotOpenLogText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view_ = FakeWatchPageView{};
        view_.settings.path = Watched() + "&more";
        view_.settings.activities = Activities{};
        view_.settings.activities.createFile = c.anyActivity;
        view_.settings.outputToScreen = c.toScreen;
        view_.settings.outputToFile = c.toFile;
        const std::string logName = (root_ / "missing" / "log.csv").string();
        view_.settings.logFileName = c.logInMissingFolder ? logName : "";
        bool timerDuringMessage = false;
        view_.whileMessageShown = [&] { timerDuringMessage = view_.timerRunning; };

        Page().StartWatch();

        EXPECT_EQ(view_.messages, std::vector<std::string>{c.expected});
        EXPECT_TRUE(timerDuringMessage) << "the clock counts while the box is up";
        EXPECT_EQ(Page().Worker(), nullptr);
        EXPECT_EQ(view_.tabCaption, Watched() + "&&more");
        const std::vector<std::string> expectedCalls = {
            "tab " + Watched() + "&&more", "timer on",   "message " + c.expected,
            "status Not Running",          "timer off",  "time ",
            "start on, stop off",          "settings on"};
        EXPECT_EQ(view_.calls, expectedCalls);
        EXPECT_FALSE(fs::exists(logName));
    }
}

TEST_F(WatchPageTest, WatchListsACreatedFileAndWritesItsLine) {
    std::ofstream(Log(), std::ios::binary) << "old contents";
    view_.settings.path = Watched();
    view_.settings.outputToFile = true;
    view_.settings.logFileName = Log();

    Page().StartWatch();
    ASSERT_NE(Page().Worker(), nullptr);
    EXPECT_TRUE(view_.messages.empty());
    EXPECT_EQ(view_.status, kRunningText);
    EXPECT_FALSE(view_.startEnabled);
    EXPECT_TRUE(view_.stopEnabled);
    EXPECT_FALSE(view_.settingsEnabled);
    EXPECT_EQ(Page().Worker()->Mask, "*");
    EXPECT_EQ(Page().Worker()->Filter, FILE_NOTIFY_CHANGE_FILE_NAME);
    EXPECT_EQ(Read(Log()), "") << "an existing log is emptied at Start";

    // Start while running changes nothing.
    CProcessThread* worker = Page().Worker();
    const auto callsBefore = view_.calls.size();
    now_ += 1.0;
    Page().StartWatch();
    EXPECT_EQ(Page().Worker(), worker);
    EXPECT_EQ(view_.calls.size(), callsBefore);

    const std::string name = CreateUntilListed();
    ASSERT_FALSE(name.empty()) << "no change was listed";
    const ResultRow& row = view_.rows.front();
    const char separator = NativePathSyntax().separator;
    EXPECT_EQ(row[1], Watched() + separator + name);
    EXPECT_EQ(row[2], "Created");
    EXPECT_EQ(row[3], "5");
    EXPECT_NE(row[4].find('\\'), std::string::npos) << "owner as domain\\name: " << row[4];
    EXPECT_EQ(view_.changeCount, "1");
    // The hand-over reached the window as one batch it may show in one step.
    EXPECT_GE(view_.batches, 1);
    EXPECT_EQ(view_.batchDepth, 0);
    EXPECT_EQ(view_.rowsOutsideBatch, 0);

    Page().StopWatch();
    EXPECT_EQ(Page().Worker(), nullptr);
    EXPECT_EQ(view_.status, kNotRunningText);
    EXPECT_EQ(view_.monitoringTime, "");
    EXPECT_TRUE(view_.startEnabled);
    EXPECT_FALSE(view_.stopEnabled);
    EXPECT_TRUE(view_.settingsEnabled);
    EXPECT_FALSE(view_.timerRunning);
    const std::string log = Read(Log());
    EXPECT_NE(log.find(",\"" + Watched() + separator + name + "\",\"Created\",5,"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
    EXPECT_EQ(view_.changeCount, "1") << "Stop leaves the count";
}

TEST_F(WatchPageTest, TickStopsAWatchWhoseWorkerEnded) {
    view_.settings.path = (root_ / "missing" / "").string();
    Page().StartWatch();
    ASSERT_NE(Page().Worker(), nullptr);
    // The worker cannot open the folder; it says so and ends once dismissed.
    ASSERT_TRUE(ui_.RunUntil([&] { return !ui_.OpenNotices().empty(); }, 10s));
    EXPECT_EQ(ui_.OpenNotices().front()->text, "Cannot Open");
    ui_.Dismiss(ui_.OpenNotices().front()->id);
    ASSERT_TRUE(ui_.RunUntil([&] { return Page().Worker()->Ended != 0; }, 10s));

    view_.calls.clear();
    now_ += 2.0 / 86400;
    Page().TimerTick();
    EXPECT_EQ(Page().Worker(), nullptr);
    ASSERT_GE(view_.calls.size(), 2u);
    EXPECT_EQ(view_.calls[0], "time 00:00:02") << "the clock is written before the poll";
    EXPECT_EQ(view_.status, kNotRunningText);
    EXPECT_EQ(view_.monitoringTime, "");
}

TEST_F(WatchPageTest, ClockTextAndClear) {
    view_.settings.path = Watched();
    Page().StartWatch();
    now_ += 100.0 / 24;
    Page().TimerTick();
    EXPECT_EQ(view_.monitoringTime, "100:00:00");
    now_ += 1.0 / 86400 * 61;
    Page().TimerTick();
    EXPECT_EQ(view_.monitoringTime, "100:01:01");

    view_.rows.push_back({"a", "b", "c", "d", "e"});
    Page().Clear();
    EXPECT_TRUE(view_.rows.empty());
    EXPECT_NE(Page().Worker(), nullptr) << "Clear leaves the watch running";
}

TEST_F(WatchPageTest, LogFailureIsToldOncePerRun) {
    view_.settings.path = Watched();
    Page().StartWatch();
    Page().LogWriteFailed(28);
    Page().LogWriteFailed(28);
    ASSERT_EQ(view_.notices.size(), 1u);
    EXPECT_EQ(view_.notices[0], LogFailureText("", 28, true));
    EXPECT_NE(view_.notices[0].find("The watch goes on"), std::string::npos);
}

TEST_F(WatchPageTest, TheWorkersNoticeAboutTheWatchReachesTheWindow) {
    view_.settings.path = Watched();
    Page().StartWatch();
    PageSurface& surface = Page();
    surface.ShowWatchNotice("2 folders could not be watched");
    EXPECT_EQ(view_.watchNotices, std::vector<std::string>{"2 folders could not be watched"});
    EXPECT_TRUE(view_.notices.empty());
}

// A device that takes the open but no byte: what is still buffered at Stop is
// lost, and the user hears of it once.
TEST_F(WatchPageTest, LinesLostAtTheCloseAreTold) {
    const std::string full = NativePathSyntax().separator == '\\' ? "Z:\\dev\\full" : "/dev/full";
    view_.settings.path = Watched();
    view_.settings.outputToFile = true;
    view_.settings.logFileName = full;
    Page().StartWatch();
    ASSERT_TRUE(view_.messages.empty());
    ASSERT_FALSE(CreateUntilListed().empty());
    Page().StopWatch();
    ASSERT_EQ(view_.notices.size(), 1u);
    EXPECT_EQ(view_.notices[0].rfind("Cannot write to the log file " + full + ": ", 0), 0u)
        << view_.notices[0];
    EXPECT_NE(view_.notices[0].find(" Lines may be missing from the file."), std::string::npos);
}

TEST(WatchPageRules, MaxLinesValue) {
    const std::pair<const char*, int> cases[] = {
        {"", 0},
        {"   ", 0},
        {"0", 0},
        {"1000", 1000},
        {" 42 ", 42},
        {"60000", 60000},
        {"60001", 60000},
        {"70000", 60000},
        {"99999999999", 60000},
        {"000000000000012", 12},
        {"-5", 0},
        {"12a", 0},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(MaxLinesValue(text), value) << text;
    EXPECT_TRUE(IsMaxLinesInput(" 123 "));
    EXPECT_TRUE(IsMaxLinesInput(""));
    EXPECT_FALSE(IsMaxLinesInput("1.5"));
    EXPECT_FALSE(IsMaxLinesInput("-1"));
}

TEST(WatchPageRules, IsMaxLinesComplete) {
    const std::pair<const char*, bool> cases[] = {
        {"", false},
        {"  ", false},
        {"0", true},
        {" 60000 ", true},
        {"60001", false},
        {"1.5", false},
        {"0000000000012", true},
        {"99999999999", false},
    };
    for (const auto& [text, complete] : cases)
        EXPECT_EQ(IsMaxLinesComplete(text), complete) << text;
}

TEST(WatchPageRules, EachActivityBoxHasItsBit) {
    using Member = bool Activities::*;
    const std::pair<Member, NotifyFilter> cases[] = {
        {&Activities::createFile, 1},    {&Activities::createDir, 2},
        {&Activities::attributes, 4},    {&Activities::fileSize, 8},
        {&Activities::lastWrite, 16},    {&Activities::lastAccess, 32},
        {&Activities::creationTime, 64}, {&Activities::security, 256},
    };
    NotifyFilter all = 0;
    Activities every{};
    every.createFile = false;
    for (const auto& [member, bit] : cases) {
        Activities one{};
        one.createFile = false;
        one.*member = true;
        EXPECT_EQ(FilterOf(one), bit);
        every.*member = true;
        all |= bit;
    }
    EXPECT_EQ(FilterOf(every), all);
    EXPECT_EQ(FilterOf(Activities{}), 1u) << "the default is Create/Delete File";
}

TEST(WatchPageRules, ResultsAsTextHasTheTitlesFirst) {
    EXPECT_EQ(ResultsAsText({}), "Time Stamp\tFile Name\tAction\tFile Size\tOwner\n");
    EXPECT_EQ(ResultsAsText({{"t", "C:\\a b", "Added", "5", "D\\u"}}),
              "Time Stamp\tFile Name\tAction\tFile Size\tOwner\nt\tC:\\a b\tAdded\t5\tD\\u\n");
    EXPECT_EQ(TabCaptionText("R&D && more"), "R&&D &&&& more");
}

}  // namespace
}  // namespace tarnwell
