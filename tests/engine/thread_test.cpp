// The change reader worker on real folders: real threads, the real directory
// read and the real batch processing, with the test thread as the
// user-interface thread. A stop here does what the page's stop does: Shutdown,
// close the handle, close the log file, destroy the worker.

#include "engine/thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

#include "engine/thread_fixture.h"

namespace tarnwell::testing {
namespace {

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
}  // namespace tarnwell::testing
