// The change reader worker on real folders: real threads, the real directory
// read and the real batch processing, with the test thread as the
// user-interface thread. A stop here does what the page's stop does: Shutdown,
// close the handle, close the log file, destroy the worker.

#include "engine/thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/notify_codes.h"
#include "platform/file_queries.h"
#include "platform/path_syntax.h"
#include "platform/regional_settings.h"
#include "platform/system_text.h"
#include "support/test_dispatcher.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::TestDispatcher;

constexpr auto kWait = 5s;  // generous: only a failing test waits this long

class FakePage : public PageSurface {
  public:
    bool OutputToScreen() const override { return true; }
    bool AutoScroll() const override { return true; }
    int MaxLines() const override { return 1000; }
    int AppendRow(ResultRow row) override {
        if (failAppend) throw std::runtime_error("the list cannot take a row");
        appendThreads.push_back(std::this_thread::get_id());
        rows.push_back(std::move(row));
        return static_cast<int>(rows.size()) - 1;
    }
    void MakeRowVisible(int) override {}
    int RowCount() const override { return static_cast<int>(rows.size()); }
    void DeleteFirstRow() override { rows.erase(rows.begin()); }
    void SetChangeCountText(const std::string& text) override { countText = text; }
    void LogWriteFailed(int) override { ++logFailures; }

    std::vector<std::pair<std::string, std::string>> PathsAndWords() const {
        std::vector<std::pair<std::string, std::string>> result;
        for (const auto& row : rows) result.emplace_back(row[1], row[2]);
        return result;
    }

    bool failAppend = false;
    std::vector<ResultRow> rows;
    std::vector<std::thread::id> appendThreads;
    std::string countText;
    int logFailures = 0;
};

// The real file queries, counting the batches they are asked for: a batch
// that matched nothing still shows the worker is reading.
class CountingFileQueries : public FileQueries {
  public:
    void BeginBatch() override {
        ++batches;
        real_->BeginBatch();
    }
    std::uint32_t SizeOf(const std::string& path) override { return real_->SizeOf(path); }
    std::string OwnerOf(const std::string& path) override { return real_->OwnerOf(path); }
    int batches = 0;

  private:
    std::unique_ptr<FileQueries> real_ = MakeFileQueries();
};

// One set of services per worker, so each worker's batches can be told apart.
struct Services {
    std::unique_ptr<SystemText> text = MakeSystemText();
    CountingFileQueries files;
    RegionalSettings regional;
    BatchServices batch{*text, files, NativePathSyntax(), regional,
                        [] { return LocalDateTime{2024, 5, 6, 7, 8, 9, 0}; }};
};

class WorkerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = fs::temp_directory_path() /
                ("tarnwell-worker-" + std::string(info->name()) + "-" +
                 std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        watched_ = root_ / "watched";
        fs::create_directories(watched_);
    }
    void TearDown() override {
        for (auto& worker : workers_)
            if (worker) StopWatch(worker);
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    // Created suspended and filled as the page fills it; only "*.txt" matches,
    // so the probes of WaitUntilWatching reach no row and no count.
    CProcessThread& MakeWorker(FakePage& page, Services& services, std::string directory) {
        auto worker = std::make_unique<CProcessThread>(ui_, services.batch);
        worker->OwnerPage = &page;
        worker->Directory = std::move(directory);
        worker->Mask = "*.txt";
        worker->Filter = FILE_NOTIFY_CHANGE_FILE_NAME;
        worker->LogFormat = LogFormatCsv;
        workers_.push_back(std::move(worker));
        return *workers_.back();
    }
    CProcessThread& MakeWorker(FakePage& page, Services& services) {
        return MakeWorker(page, services, watched_.string());
    }

    void OpenLog(CProcessThread& worker) {
        worker.OutputToFile = 1;
        worker.LogFileName = (root_ / "log.csv").string();
        worker.LogFile = std::fopen(worker.LogFileName.c_str(), "wb+");
        ASSERT_NE(worker.LogFile, nullptr);
    }

    std::string ReadLog() const {
        std::ifstream in(root_ / "log.csv", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // The page's stop, in its order.
    void StopWatch(CProcessThread& worker) {
        for (auto& owned : workers_)
            if (owned.get() == &worker) StopWatch(owned);
    }
    void StopWatch(std::unique_ptr<CProcessThread>& worker) {
        worker->Shutdown();
        if (worker->DirectoryHandle != nullptr) CloseDirectory(worker->DirectoryHandle);
        if (worker->LogFile != nullptr) std::fclose(worker->LogFile);
        worker.reset();
    }

    // Changes count from the first read on, which the test cannot see begin:
    // create probes until every worker has handed over a batch.
    void WaitUntilWatching(const std::vector<Services*>& services) {
        auto allSeen = [&] {
            for (const Services* s : services)
                if (s->files.batches == 0) return false;
            return true;
        };
        const auto deadline = std::chrono::steady_clock::now() + kWait;
        for (int probe = 0; !allSeen(); ++probe) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the worker never read";
            Touch("probe-" + std::to_string(probe) + ".tmp");
            ui_.RunUntil(allSeen, 20ms);
        }
    }

    void Touch(const std::string& name) { std::ofstream(watched_ / name).put('x'); }
    std::string PathOf(const std::string& name) const { return (watched_ / name).string(); }

    TestDispatcher ui_;
    fs::path root_;
    fs::path watched_;
    std::vector<std::unique_ptr<CProcessThread>> workers_;
};

using Rows = std::vector<std::pair<std::string, std::string>>;

TEST_F(WorkerTest, ChangesArriveInOrderOnTheUiThreadOnly) {
    FakePage page;
    Services services;
    CProcessThread& worker = MakeWorker(page, services);
    OpenLog(worker);
    worker.Resume();
    WaitUntilWatching({&services});

    Touch("a.txt");
    Touch("b.txt");
    Touch("c.txt");
    fs::rename(watched_ / "b.txt", watched_ / "d.txt");
    fs::remove(watched_ / "a.txt");
    const Rows expected{{PathOf("a.txt"), "Created"},      {PathOf("b.txt"), "Created"},
                        {PathOf("c.txt"), "Created"},      {PathOf("b.txt"), "Renamed - From"},
                        {PathOf("d.txt"), "Renamed - To"}, {PathOf("a.txt"), "Deleted"}};
    ASSERT_TRUE(ui_.RunUntil([&] { return page.rows.size() >= expected.size(); }, kWait))
        << page.rows.size() << " rows";
    EXPECT_EQ(page.PathsAndWords(), expected);
    for (const auto& thread : page.appendThreads) EXPECT_EQ(thread, ui_.UiThread());
    EXPECT_EQ(worker.ChangeCount, 6);
    EXPECT_EQ(page.countText, "6");

    StopWatch(worker);
    const std::string log = ReadLog();
    EXPECT_NE(log.find("\"" + PathOf("d.txt") + "\",\"Renamed - To\""), std::string::npos) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 6) << log;
}

TEST_F(WorkerTest, TwoWorkersOnOneFolderEachSeeEveryChangeWithTheirOwnCount) {
    FakePage firstPage, secondPage;
    Services firstServices, secondServices;
    CProcessThread& first = MakeWorker(firstPage, firstServices);
    CProcessThread& second = MakeWorker(secondPage, secondServices);
    first.Resume();
    second.Resume();
    WaitUntilWatching({&firstServices, &secondServices});

    for (const char* name : {"1.txt", "2.txt", "3.txt"}) Touch(name);
    ASSERT_TRUE(ui_.RunUntil(
        [&] { return firstPage.rows.size() >= 3 && secondPage.rows.size() >= 3; }, kWait));
    EXPECT_EQ(firstPage.PathsAndWords(), secondPage.PathsAndWords());
    EXPECT_EQ(firstPage.rows.size(), 3u);
    EXPECT_EQ(first.ChangeCount, 3);
    EXPECT_EQ(second.ChangeCount, 3);

    StopWatch(first);
    Touch("4.txt");
    ASSERT_TRUE(ui_.RunUntil([&] { return secondPage.rows.size() == 4; }, kWait));
    EXPECT_EQ(firstPage.rows.size(), 3u);
}

TEST_F(WorkerTest, AStopWithNoChangePendingIsImmediate) {
    FakePage page;
    Services services;
    CProcessThread& worker = MakeWorker(page, services);
    worker.Resume();
    WaitUntilWatching({&services});
    ui_.RunPending();

    const auto start = std::chrono::steady_clock::now();
    worker.Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 50ms);
    EXPECT_TRUE(worker.Finished());
    ui_.RunPending();
    EXPECT_EQ(worker.Ended, 0) << "a stop is no end by itself";
    EXPECT_TRUE(ui_.Notices().empty());
}

TEST_F(WorkerTest, AStopDropsTheBatchWaitingInTheQueue) {
    FakePage page;
    Services services;
    CProcessThread& worker = MakeWorker(page, services);
    OpenLog(worker);
    worker.Resume();
    WaitUntilWatching({&services});
    ui_.RunPending();
    const int batchesBefore = services.files.batches;

    Touch("dropped.txt");
    ASSERT_TRUE(ui_.WaitForQueued(1, kWait));  // handed over, not served
    worker.Shutdown();
    EXPECT_TRUE(worker.Finished());
    ui_.RunPending();
    Touch("after.txt");
    EXPECT_EQ(ui_.RunPending(), 0u);

    EXPECT_EQ(services.files.batches, batchesBefore);
    EXPECT_TRUE(page.rows.empty());
    EXPECT_EQ(worker.ChangeCount, 0);
    EXPECT_EQ(page.countText, "");
    StopWatch(worker);
    EXPECT_EQ(ReadLog(), "");
}

TEST_F(WorkerTest, AWorkerThatNeverRanNeverRuns) {
    FakePage page;
    Services services;
    CProcessThread& worker = MakeWorker(page, services);
    worker.Shutdown();
    EXPECT_TRUE(worker.Finished());
    EXPECT_EQ(worker.DirectoryHandle, nullptr) << "the folder was opened";
    worker.Resume();
    Touch("a.txt");
    ui_.RunPending();
    EXPECT_EQ(worker.DirectoryHandle, nullptr);
    EXPECT_EQ(worker.Ended, 0);
    EXPECT_EQ(services.files.batches, 0);
}

TEST_F(WorkerTest, AFolderThatCannotBeOpenedGivesCannotOpenThenEnded) {
    std::ofstream(root_ / "a-file").put('x');
    struct Case {
        const char* what;
        std::string directory;
    };
    for (const Case& c : {Case{"missing folder", (root_ / "missing").string()},
                          Case{"a file", (root_ / "a-file").string()}, Case{"empty name", ""}}) {
        SCOPED_TRACE(c.what);
        FakePage page;
        Services services;
        const std::size_t shown = ui_.Notices().size();
        CProcessThread& worker = MakeWorker(page, services, c.directory);
        worker.Resume();
        ASSERT_TRUE(ui_.RunUntil([&] { return ui_.Notices().size() > shown; }, kWait));
        const auto& notice = ui_.Notices().back();
        EXPECT_EQ(notice.text, "Cannot Open");
        EXPECT_EQ(worker.DirectoryHandle, nullptr);
        // The run goes on as long as the box is up.
        ui_.RunUntil([] { return false; }, 20ms);
        EXPECT_EQ(worker.Ended, 0);
        EXPECT_FALSE(worker.Finished());

        ui_.Dismiss(notice.id);
        ASSERT_TRUE(ui_.RunUntil([&] { return worker.Ended == 1; }, kWait));
        EXPECT_EQ(services.files.batches, 0);
        // Ended by itself: the stop returns at once.
        const auto start = std::chrono::steady_clock::now();
        StopWatch(worker);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 50ms);
    }
}

TEST_F(WorkerTest, AStopWhileCannotOpenIsUpClosesItAtOnce) {
    FakePage page;
    Services services;
    CProcessThread& worker = MakeWorker(page, services, (root_ / "missing").string());
    worker.Resume();
    ASSERT_TRUE(ui_.RunUntil([&] { return !ui_.OpenNotices().empty(); }, kWait));

    const auto start = std::chrono::steady_clock::now();
    worker.Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 50ms);
    EXPECT_TRUE(worker.Finished());
    ASSERT_EQ(ui_.Notices().size(), 1u);
    EXPECT_TRUE(ui_.Notices()[0].closedByProgram);
    ui_.RunPending();
    EXPECT_EQ(worker.Ended, 0);
}

TEST_F(WorkerTest, AnErrorInsideProcessChangesEndsTheRunWithoutAMessage) {
    FakePage page;
    page.failAppend = true;
    Services services;
    CProcessThread& worker = MakeWorker(page, services);
    worker.Resume();
    WaitUntilWatching({&services});

    Touch("a.txt");
    ASSERT_TRUE(ui_.RunUntil([&] { return worker.Ended == 1; }, kWait));
    EXPECT_TRUE(worker.Finished());
    EXPECT_TRUE(ui_.Notices().empty());
}

// The folder is watched from the first read on: what happened before the
// worker ran is not reported.
TEST_F(WorkerTest, ChangesBeforeTheWorkerRunsAreNotReported) {
    FakePage page;
    Services services;
    CProcessThread& worker = MakeWorker(page, services);
    Touch("before.txt");
    worker.Resume();
    WaitUntilWatching({&services});
    Touch("after.txt");
    ASSERT_TRUE(ui_.RunUntil([&] { return !page.rows.empty(); }, kWait));
    EXPECT_EQ(page.PathsAndWords(), (Rows{{PathOf("after.txt"), "Created"}}));
}

}  // namespace
}  // namespace tarnwell
