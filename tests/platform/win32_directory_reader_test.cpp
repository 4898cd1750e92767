// The directory read under Windows (run under Wine): real folders, real changes,
// a background reader like the worker's.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/notify_codes.h"
#include "platform/directory_reader.h"
#include "support/notify_buffer_decoder.h"

namespace tarnwell {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Change {
    std::uint32_t action;
    std::string name;
    bool operator==(const Change&) const = default;
};

void PrintTo(const Change& c, std::ostream* os) {
    *os << "{" << c.action << ", " << c.name << "}";
}

// The records of a read, names as ASCII: test names are ASCII.
std::vector<Change> Decode(const std::byte* buffer, std::size_t size) {
    std::vector<Change> changes;
    for (const test::NotifyEntry& entry : test::DecodeNotifyBuffer(buffer, size)) {
        Change change{entry.action, {}};
        for (const char16_t unit : entry.name)
            change.name += unit < 128 ? static_cast<char>(unit) : '?';
        changes.push_back(change);
    }
    return changes;
}

void WriteFile(const fs::path& path, const std::string& data, bool append = false) {
    std::ofstream out(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    out << data;
}

class TempFolder {
  public:
    TempFolder() {
        static int counter = 0;
        path_ = fs::temp_directory_path() /
                ("tarnwell-reader-" + std::to_string(Clock::now().time_since_epoch().count()) +
                 "-" + std::to_string(++counter));
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& Path() const { return path_; }

  private:
    fs::path path_;
};

// Reads in a thread of its own as the worker does, and collects what it reads.
// `gate` holds the reader after a read, as a hand-over that takes its time.
class Watch {
  public:
    Watch(const fs::path& folder, bool subtree, std::uint32_t filter)
        : folder_(folder), subtree_(subtree), filter_(filter) {
        WriteFile(folder / "ready", "");
        handle_ = OpenDirectory(folder.string());
        if (handle_ != nullptr) thread_ = std::thread([this] { Run(); });
    }
    ~Watch() {
        Stop();
        CloseDirectory(handle_);
    }

    bool Opened() const { return handle_ != nullptr; }

    // Changes are recorded from the first read on, and the test cannot see
    // when that has begun; a marker change repeated until it is reported
    // proves it has.
    bool Prime() {
        const auto deadline = Clock::now() + 5s;
        for (int n = 0; Clock::now() < deadline; ++n) {
            const fs::path marker = folder_ / ("ready-" + std::to_string(n));
            if (filter_ & FILE_NOTIFY_CHANGE_FILE_NAME) {
                WriteFile(marker, "");
            } else if (filter_ & FILE_NOTIFY_CHANGE_DIR_NAME) {
                fs::create_directory(marker);
            } else {
                WriteFile(folder_ / "ready", "x", true);
            }
            std::unique_lock lock(mutex_);
            if (changed_.wait_for(lock, 50ms, [this] { return primed_ || ended_; })) return primed_;
        }
        return false;
    }

    // Waits until `done` holds for the changes read so far (markers left out).
    bool WaitFor(const std::function<bool(const std::vector<Change>&)>& done,
                 std::chrono::milliseconds limit = 5s) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return done(changes_); });
    }
    bool WaitForAll(const std::vector<Change>& expected) {
        return WaitFor([&](const std::vector<Change>& seen) {
            return std::all_of(expected.begin(), expected.end(), [&](const Change& c) {
                return std::find(seen.begin(), seen.end(), c) != seen.end();
            });
        });
    }

    std::vector<Change> Changes() {
        std::lock_guard lock(mutex_);
        return changes_;
    }

    void Hold(bool hold) {
        std::lock_guard lock(mutex_);
        held_ = hold;
        changed_.notify_all();
    }
    bool WaitUntilHeld() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 5s, [this] { return waitingAtGate_; });
    }

    // Raises the stop and returns how long the waiting read took to give up.
    Clock::duration Stop() {
        if (!thread_.joinable()) return {};
        const auto raised = Clock::now();
        stop_.Raise();
        Hold(false);
        thread_.join();
        return endedAt_ - raised;
    }
    ReadOutcome LastOutcome() const { return outcome_; }
    FolderHandle Handle() const { return handle_; }
    const StopSignal& Signal() const { return stop_; }

  private:
    void Run() {
        std::vector<std::byte> buffer(kChangeBufferSize);
        for (;;) {
            std::fill(buffer.begin(), buffer.end(), std::byte{0});
            const ReadOutcome outcome = ReadDirectoryChanges(handle_, buffer.data(), buffer.size(),
                                                             subtree_, filter_, stop_);
            std::unique_lock lock(mutex_);
            if (outcome != ReadOutcome::Filled) {
                outcome_ = outcome;
                endedAt_ = Clock::now();
                ended_ = true;
                changed_.notify_all();
                return;
            }
            for (const Change& c : Decode(buffer.data(), buffer.size())) {
                if (c.name.rfind("ready", 0) == 0) {
                    primed_ = true;
                } else {
                    changes_.push_back(c);
                }
            }
            waitingAtGate_ = held_;
            changed_.notify_all();
            changed_.wait(lock, [this] { return !held_; });
            waitingAtGate_ = false;
        }
    }

    fs::path folder_;
    bool subtree_;
    std::uint32_t filter_;
    FolderHandle handle_ = nullptr;
    StopSignal stop_;
    std::thread thread_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Change> changes_;
    bool primed_ = false;
    bool ended_ = false;
    bool held_ = false;
    bool waitingAtGate_ = false;
    ReadOutcome outcome_ = ReadOutcome::Filled;
    Clock::time_point endedAt_;
};

struct ActionCase {
    const char* name;
    std::uint32_t filter;
    std::function<void(const fs::path&)> setup;
    std::function<void(const fs::path&)> act;
    std::vector<Change> expected;  // in this order, one after the other
};

void PrintTo(const ActionCase& c, std::ostream* os) {
    *os << c.name;
}

class ActionTest : public ::testing::TestWithParam<ActionCase> {};

TEST_P(ActionTest, ReportsTheChangeWithItsActionAndName) {
    const ActionCase& c = GetParam();
    TempFolder folder;
    if (c.setup) c.setup(folder.Path());
    Watch watch(folder.Path(), false, c.filter);
    ASSERT_TRUE(watch.Opened());
    ASSERT_TRUE(watch.Prime());

    c.act(folder.Path());

    ASSERT_TRUE(watch.WaitForAll(c.expected)) << ::testing::PrintToString(watch.Changes());
    const auto seen = watch.Changes();
    const auto first = std::search(seen.begin(), seen.end(), c.expected.begin(), c.expected.end());
    EXPECT_NE(first, seen.end()) << "out of order: " << ::testing::PrintToString(seen);
    for (const Change& change : seen) {
        EXPECT_NE(std::find(c.expected.begin(), c.expected.end(), change), c.expected.end())
            << "not asked for by the filter: " << ::testing::PrintToString(change);
    }
}

const auto kWithFile = [](const fs::path& folder) { WriteFile(folder / "a.txt", "abc"); };

INSTANTIATE_TEST_SUITE_P(
    Win32, ActionTest,
    ::testing::Values(ActionCase{"Create",
                                 FILE_NOTIFY_CHANGE_FILE_NAME,
                                 nullptr,
                                 [](const fs::path& f) { WriteFile(f / "a.txt", ""); },
                                 {{FILE_ACTION_ADDED, "a.txt"}}},
                      ActionCase{"Delete",
                                 FILE_NOTIFY_CHANGE_FILE_NAME,
                                 kWithFile,
                                 [](const fs::path& f) { fs::remove(f / "a.txt"); },
                                 {{FILE_ACTION_REMOVED, "a.txt"}}},
                      ActionCase{"RenameFromThenTo",
                                 FILE_NOTIFY_CHANGE_FILE_NAME,
                                 kWithFile,
                                 [](const fs::path& f) { fs::rename(f / "a.txt", f / "b.bak"); },
                                 {{FILE_ACTION_RENAMED_OLD_NAME, "a.txt"},
                                  {FILE_ACTION_RENAMED_NEW_NAME, "b.bak"}}},
                      // A new file is no last-write change: it is created first and must not
                      // show up, the write after it must.
                      ActionCase{"ModifyWithLastWriteFilter",
                                 FILE_NOTIFY_CHANGE_LAST_WRITE,
                                 kWithFile,
                                 [](const fs::path& f) {
                                     fs::create_directory(f / "other");
                                     WriteFile(f / "a.txt", "more", true);
                                 },
                                 {{FILE_ACTION_MODIFIED, "a.txt"}}},
                      ActionCase{"FolderCreate",
                                 FILE_NOTIFY_CHANGE_DIR_NAME,
                                 nullptr,
                                 [](const fs::path& f) {
                                     WriteFile(f / "not-a-folder.txt", "");
                                     fs::create_directory(f / "sub");
                                 },
                                 {{FILE_ACTION_ADDED, "sub"}}}),
    [](const auto& test) { return std::string(test.param.name); });

// Wine sees changes below a folder only once it watches that folder, which it
// does for folders made after the watch began; so the test makes its own.
TEST(Win32DirectoryReader, SubtreeModeReportsNamesBelowNewSubfoldersWithTheirPath) {
    for (const bool subtree : {true, false}) {
        SCOPED_TRACE(subtree ? "subtree" : "folder only");
        TempFolder folder;
        Watch watch(folder.Path(), subtree,
                    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME);
        ASSERT_TRUE(watch.Prime());

        fs::create_directories(folder.Path() / "sub" / "deeper");
        WriteFile(folder.Path() / "sub" / "b.txt", "");
        WriteFile(folder.Path() / "sub" / "deeper" / "c.txt", "");
        // Reported last in either mode: once it is in, nothing from below is
        // still on its way.
        WriteFile(folder.Path() / "end.txt", "");

        const std::vector<Change> below = {{FILE_ACTION_ADDED, "sub\\deeper"},
                                           {FILE_ACTION_ADDED, "sub\\b.txt"},
                                           {FILE_ACTION_ADDED, "sub\\deeper\\c.txt"}};
        ASSERT_TRUE(watch.WaitForAll({{FILE_ACTION_ADDED, "sub"}, {FILE_ACTION_ADDED, "end.txt"}}))
            << ::testing::PrintToString(watch.Changes());
        if (subtree) {
            EXPECT_TRUE(watch.WaitForAll(below)) << ::testing::PrintToString(watch.Changes());
        } else {
            for (const Change& c : watch.Changes()) {
                EXPECT_EQ(c.name.find('\\'), std::string::npos) << c.name;
            }
        }
    }
}

TEST(Win32DirectoryReader, ChangesMadeWhileABatchIsHandedOverComeWithTheNextRead) {
    TempFolder folder;
    Watch watch(folder.Path(), false, FILE_NOTIFY_CHANGE_FILE_NAME);
    ASSERT_TRUE(watch.Prime());
    watch.Hold(true);
    WriteFile(folder.Path() / "first.txt", "");
    ASSERT_TRUE(watch.WaitUntilHeld());

    WriteFile(folder.Path() / "second.txt", "");
    fs::remove(folder.Path() / "second.txt");
    watch.Hold(false);

    EXPECT_TRUE(watch.WaitForAll({{FILE_ACTION_ADDED, "first.txt"},
                                  {FILE_ACTION_ADDED, "second.txt"},
                                  {FILE_ACTION_REMOVED, "second.txt"}}))
        << ::testing::PrintToString(watch.Changes());
}

// More than the buffer holds piles up while the reader is held: the system
// gives up on the details (Windows: success with no bytes, Wine: error 1022)
// and the caller must get its cleared buffer as a read, not a failure.
TEST(Win32DirectoryReader, AnOverflowIsHandedOverAsAnEmptyBuffer) {
    TempFolder folder;
    Watch watch(folder.Path(), false, FILE_NOTIFY_CHANGE_FILE_NAME);
    ASSERT_TRUE(watch.Prime());
    watch.Hold(true);
    WriteFile(folder.Path() / "first.txt", "");
    ASSERT_TRUE(watch.WaitUntilHeld());

    const std::string longName(100, 'n');
    for (int i = 0; i < 200; ++i) WriteFile(folder.Path() / (longName + std::to_string(i)), "");
    watch.Hold(false);

    EXPECT_TRUE(watch.WaitFor([](const std::vector<Change>& seen) {
        return std::find(seen.begin(), seen.end(), Change{0, ""}) != seen.end();
    })) << watch.Changes().size()
        << " records, no overflow";
    EXPECT_EQ(watch.LastOutcome(), ReadOutcome::Filled);
}

TEST(Win32DirectoryReader, AStopInterruptsAWaitingReadAtOnceAndEveryLaterOne) {
    TempFolder folder;
    Watch watch(folder.Path(), true, kAllNotifyBits);
    ASSERT_TRUE(watch.Prime());

    const auto took = watch.Stop();
    EXPECT_EQ(watch.LastOutcome(), ReadOutcome::Interrupted);
    EXPECT_LT(took, 50ms) << std::chrono::duration<double, std::milli>(took).count() << " ms";

    // Even with a change waiting, a raised stop keeps the read from running.
    WriteFile(folder.Path() / "late.txt", "");
    std::vector<std::byte> buffer(kChangeBufferSize);
    EXPECT_EQ(ReadDirectoryChanges(watch.Handle(), buffer.data(), buffer.size(), true,
                                   kAllNotifyBits, watch.Signal()),
              ReadOutcome::Interrupted);
}

TEST(Win32DirectoryReader, AStopRaisedBeforeTheFirstReadIsNotLost) {
    TempFolder folder;
    FolderHandle handle = OpenDirectory(folder.Path().string());
    ASSERT_NE(handle, nullptr);
    StopSignal stop;
    stop.Raise();
    EXPECT_TRUE(stop.Raised());
    std::vector<std::byte> buffer(kChangeBufferSize);
    EXPECT_EQ(ReadDirectoryChanges(handle, buffer.data(), buffer.size(), false,
                                   FILE_NOTIFY_CHANGE_FILE_NAME, stop),
              ReadOutcome::Interrupted);
    CloseDirectory(handle);
}

TEST(Win32DirectoryReader, WhatIsNoFolderCannotBeOpened) {
    TempFolder folder;
    WriteFile(folder.Path() / "file.txt", "x");
    for (const std::string& path : {(folder.Path() / "missing").string(),
                                    (folder.Path() / "file.txt").string(), std::string()}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(OpenDirectory(path), nullptr);
    }
    CloseDirectory(nullptr);
}

// Each watch has its own handle and its own pending read.
TEST(Win32DirectoryReader, TwoWatchesOnOneFolderBothSeeEveryChange) {
    TempFolder folder;
    Watch first(folder.Path(), false, FILE_NOTIFY_CHANGE_FILE_NAME);
    Watch second(folder.Path(), false, FILE_NOTIFY_CHANGE_FILE_NAME);
    ASSERT_TRUE(first.Prime());
    ASSERT_TRUE(second.Prime());
    WriteFile(folder.Path() / "shared.txt", "");
    EXPECT_TRUE(first.WaitForAll({{FILE_ACTION_ADDED, "shared.txt"}}));
    EXPECT_TRUE(second.WaitForAll({{FILE_ACTION_ADDED, "shared.txt"}}));
}

}  // namespace
}  // namespace tarnwell
