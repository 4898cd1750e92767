// A watched folder that goes away under a running watch, on the systems whose
// directory read fails then. (Wine keeps reading a deleted or moved folder
// without an error, so the Windows build does not run this.)

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/thread_fixture.h"

namespace tarnwell::testing {
namespace {

// The folder goes away under a running watch: "Cannot Read", and the handle
// stays open for the page's stop to close.
TEST_F(WorkerTest, AWatchedFolderThatGoesAwayGivesCannotRead) {
    struct Case {
        const char* what;
        void (*removeFolder)(const fs::path& watched, const fs::path& root);
    };
    const Case cases[] = {
        {"deleted", [](const fs::path& watched, const fs::path&) { fs::remove_all(watched); }},
        {"moved away", [](const fs::path& watched,
                          const fs::path& root) { fs::rename(watched, root / "moved"); }},
    };
    // A lambda per case, so a case that fails its assertions leaves the next one running.
    auto check = [&](const Case& c) {
        SCOPED_TRACE(c.what);
        fs::create_directories(watched_);
        FakePage page;
        Services services;
        const std::size_t shown = ui_.Notices().size();
        CProcessThread& worker = MakeWorker(page, services);
        worker.Resume();
        WaitUntilWatching({&services});

        c.removeFolder(watched_, root_);
        ASSERT_TRUE(ui_.RunUntil([&] { return ui_.Notices().size() > shown; }, kWait));
        EXPECT_EQ(ui_.Notices().back().text, "Cannot Read");
        EXPECT_NE(worker.DirectoryHandle, nullptr);
        ui_.Dismiss(ui_.Notices().back().id);
        ASSERT_TRUE(ui_.RunUntil([&] { return worker.Ended == 1; }, kWait));
        StopWatch(worker);
        fs::remove_all(root_ / "moved");
    };
    for (const Case& c : cases) check(c);
}

}  // namespace
}  // namespace tarnwell::testing
