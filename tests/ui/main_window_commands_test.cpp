// The main window's commands with plain fakes of the window and its pages.

#include "ui/main_window_commands.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/file_queries.h"
#include "platform/path_syntax.h"
#include "platform/regional_settings.h"
#include "platform/system_text.h"
#include "support/test_dispatcher.h"
#include "ui/fake_watch_page_view.h"

namespace tarnwell {
namespace {

using test::FakeWatchPageView;

// Pages whose watches never really run: their settings fail Start's first
// check unless a test changes them, so "Start" shows up as a warning.
class FakeMainWindow : public MainWindowView {
  public:
    struct Page {
        FakeWatchPageView view;
        std::unique_ptr<WatchPage> logic;
    };
    testing::TestDispatcher ui;
    std::vector<std::unique_ptr<Page>> pages;
    int active = -1;
    std::vector<std::string> calls;
    std::string clipboard;
    BatchServices* services = nullptr;

    WatchPage& AppendPage() override {
        auto page = std::make_unique<Page>();
        page->view.settings.activities.createFile = false;
        page->logic = std::make_unique<WatchPage>(page->view, WorkerContext{ui, *services});
        pages.push_back(std::move(page));
        calls.push_back("append");
        return *pages.back()->logic;
    }
    int PageCount() const override { return static_cast<int>(pages.size()); }
    WatchPage& PageAt(int index) override {
        return *pages.at(static_cast<std::size_t>(index))->logic;
    }
    int ActiveIndex() const override { return active; }
    void Activate(int index) override {
        calls.push_back("activate " + std::to_string(index));
        active = index;
    }
    void Close() override { calls.push_back("close"); }
    void SetClipboardText(const std::string& text) override { clipboard = text; }
    void DisplayHelp(std::uint16_t command, std::uint32_t data) override {
        calls.push_back("help " + std::to_string(command) + " " + std::to_string(data));
    }
    void ShowAbout() override { calls.push_back("about"); }
    void LoadHelp() override { calls.push_back("load help"); }
};

class MainWindowCommandsTest : public ::testing::Test {
  protected:
    MainWindowCommandsTest() { window_.services = &batch_; }
    ~MainWindowCommandsTest() override {
        commands_.StopAllWatches();
        window_.pages.clear();
    }
    FakeWatchPageView& ViewOf(int index) { return window_.pages.at(index)->view; }

    std::unique_ptr<SystemText> text_ = MakeSystemText();
    std::unique_ptr<FileQueries> files_ = MakeFileQueries();
    RegionalSettings regional_ = ReadRegionalSettings();
    BatchServices batch_{*text_, *files_, NativePathSyntax(), regional_, &LocalNow};
    FakeMainWindow window_;
    MainWindowCommands commands_{window_};
};

TEST_F(MainWindowCommandsTest, FirstShowingLoadsHelpThenOpensOnePage) {
    commands_.FormShow();
    EXPECT_EQ(window_.calls, (std::vector<std::string>{"load help", "append", "activate 0"}));
    EXPECT_EQ(commands_.ActivePage(), window_.pages[0]->logic.get());
    commands_.tbbNewClick();
    commands_.NewWindow1Click();
    EXPECT_EQ(window_.PageCount(), 3);
    EXPECT_EQ(window_.active, 2);
}

TEST_F(MainWindowCommandsTest, ToolBarActsOnTheActivePageOnly) {
    // No page yet: nothing happens and nothing fails.
    commands_.tbbStartClick();
    commands_.tbbStopClick();
    commands_.CopyResultstoClipboard1Click();
    commands_.ClearResultsList1Click();
    EXPECT_TRUE(window_.calls.empty());

    commands_.AddWatchPage();
    commands_.AddWatchPage();
    commands_.tbbStartClick();
    EXPECT_TRUE(ViewOf(0).messages.empty());
    ASSERT_EQ(ViewOf(1).messages.size(), 1u) << "Start shows the page's own refusal";
    EXPECT_EQ(ViewOf(1).messages[0], std::string("warning: ") + kNoActivityText);

    // A running watch: Start does nothing, Stop stops it, Stop again nothing.
    ViewOf(1).settings.activities.createFile = true;
    ViewOf(1).settings.path = std::string(".");
    commands_.tbbStartClick();
    WatchPage& page = *window_.pages[1]->logic;
    ASSERT_NE(page.Worker(), nullptr);
    CProcessThread* worker = page.Worker();
    commands_.tbbStartClick();
    EXPECT_EQ(page.Worker(), worker);
    commands_.tbbStopClick();
    EXPECT_EQ(page.Worker(), nullptr);
    const auto calls = ViewOf(1).calls.size();
    commands_.tbbStopClick();
    EXPECT_EQ(ViewOf(1).calls.size(), calls);
}

TEST_F(MainWindowCommandsTest, MenuCommands) {
    commands_.AddWatchPage();
    ViewOf(0).rows.push_back({"1/2/2026 10:00:00 AM", "C:\\x", "Added", "3", "D\\u"});
    commands_.CopyResultstoClipboard1Click();
    EXPECT_EQ(window_.clipboard, ResultsAsText({ViewOf(0).rows.front()}));
    commands_.ClearResultsList1Click();
    EXPECT_TRUE(ViewOf(0).rows.empty());

    window_.calls.clear();
    commands_.TarnwellHelp1Click();
    commands_.About1Click();
    commands_.Exit1Click();
    EXPECT_EQ(window_.calls, (std::vector<std::string>{"help 999 0", "about", "close"}));
}

TEST_F(MainWindowCommandsTest, StepsStopAtTheEnds) {
    for (int i = 0; i < 3; ++i) commands_.AddWatchPage();
    const std::pair<int, int> steps[] = {{1, 2}, {-1, 1}, {-1, 0}, {-1, 0}, {1, 1}, {1, 2}, {1, 2}};
    window_.active = 2;
    for (const auto& [step, expected] : steps) {
        commands_.StepPage(step);
        EXPECT_EQ(window_.active, expected) << "step " << step;
    }
}

TEST_F(MainWindowCommandsTest, EndOfRunStopsEveryRunningWatch) {
    for (int i = 0; i < 3; ++i) {
        commands_.AddWatchPage();
        ViewOf(i).settings.activities.createFile = i != 1;
        ViewOf(i).settings.path = ".";
        commands_.tbbStartClick();
    }
    EXPECT_NE(window_.pages[0]->logic->Worker(), nullptr);
    EXPECT_EQ(window_.pages[1]->logic->Worker(), nullptr);
    EXPECT_NE(window_.pages[2]->logic->Worker(), nullptr);
    commands_.StopAllWatches();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(window_.pages[i]->logic->Worker(), nullptr);
    EXPECT_EQ(ViewOf(0).status, kNotRunningText);
}

}  // namespace
}  // namespace tarnwell
