// The directory read against real folders and real inotify: a reader thread
// collects what each read returns; every wait is bounded.

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "engine/notify_codes.h"
#include "platform/directory_reader.h"
#include "platform/linux/utf8.h"
#include "support/bounded_poll.h"
#include "support/hold_after_read.h"
#include "support/notify_buffer_decoder.h"

namespace tarnwell {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

struct Record {
    std::uint32_t action = 0;  // 0: an empty read (overflow)
    std::string name;
    bool operator==(const Record&) const = default;
};

void PrintTo(const Record& r, std::ostream* out) {
    *out << "{" << r.action << ", " << r.name << "}";
}

using Records = std::vector<Record>;

// What one read left in the buffer, names in UTF-8 as the tests state them.
void AppendRecords(Records& out, const std::vector<std::byte>& buffer) {
    for (const test::NotifyEntry& entry : test::DecodeNotifyBuffer(buffer.data(), buffer.size()))
        out.push_back({entry.action, Utf16ToUtf8(entry.name.data(), entry.name.size())});
}

constexpr std::uint32_t kAdded = FILE_ACTION_ADDED;
constexpr std::uint32_t kRemoved = FILE_ACTION_REMOVED;
constexpr std::uint32_t kModified = FILE_ACTION_MODIFIED;
constexpr std::uint32_t kFrom = FILE_ACTION_RENAMED_OLD_NAME;
constexpr std::uint32_t kTo = FILE_ACTION_RENAMED_NEW_NAME;
constexpr std::uint32_t kNames = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME;

// Number of watches of this process's inotify descriptors, from /proc: the
// watches exist once the first read has set them up.
int WatchCount() {
    int best = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (fs::read_symlink(entry.path(), ec).string() != "anon_inode:inotify") continue;
        std::ifstream info("/proc/self/fdinfo/" + entry.path().filename().string());
        int count = 0;
        for (std::string line; std::getline(info, line);)
            if (line.rfind("inotify wd:", 0) == 0) ++count;
        best = std::max(best, count);
    }
    return best;
}

// Opens a folder and reads it on a thread of its own, as the worker does.
class Reader {
  public:
    Reader(const std::string& dir, bool subtree, std::uint32_t filter,
           std::size_t bufferSize = kChangeBufferSize)
        : handle_(OpenDirectory(dir)) {
        if (handle_ == nullptr) return;
        thread_ = std::thread([=, this] { Run(subtree, filter, bufferSize); });
    }
    ~Reader() {
        Stop();
        CloseDirectory(handle_);
    }

    bool Opened() const { return handle_ != nullptr; }

    // Waits until the first read has added at least `watches` watches.
    bool WaitWatching(int watches = 1) {
        return test::PollUntil([&] { return WatchCount() >= watches; }, 5s);
    }

    bool WaitFor(const std::function<bool(const Records&)>& done,
                 std::chrono::milliseconds limit = 20s) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return done(records_) || ended_; }) &&
               done(records_);
    }
    // Waits until `name` has been reported with `action`.
    bool WaitForRecord(std::uint32_t action, const std::string& name) {
        return WaitFor([&](const Records& r) {
            return std::find(r.begin(), r.end(), Record{action, name}) != r.end();
        });
    }
    bool WaitForEnd(std::chrono::milliseconds limit = 5s) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return ended_; });
    }

    Records Taken() {
        std::lock_guard lock(mutex_);
        return records_;
    }
    int Reads() {
        std::lock_guard lock(mutex_);
        return reads_;
    }
    ReadOutcome Outcome() {
        std::lock_guard lock(mutex_);
        return outcome_;
    }

    // Keeps the reader from reading again until the lock is let go: `trigger`
    // makes one read return, and once it has, what follows waits in the
    // kernel, as it does while the user-interface thread is busy.
    std::unique_lock<std::mutex> HoldAfterRead(const std::function<void()>& trigger) {
        return test::HoldAfterRead(mutex_, returned_, trigger);
    }

    FolderHandle Handle() const { return handle_; }

    // Raises the stop and joins the thread; how long that took.
    std::chrono::steady_clock::duration Stop() {
        const auto start = std::chrono::steady_clock::now();
        stop_.Raise();
        if (thread_.joinable()) thread_.join();
        return std::chrono::steady_clock::now() - start;
    }

  private:
    void Run(bool subtree, std::uint32_t filter, std::size_t bufferSize) {
        std::vector<std::byte> buffer(bufferSize);
        for (;;) {
            std::fill(buffer.begin(), buffer.end(), std::byte{0});
            const ReadOutcome outcome =
                ReadDirectoryChanges(handle_, buffer.data(), buffer.size(), subtree, filter, stop_);
            ++returned_;
            std::lock_guard lock(mutex_);
            if (outcome != ReadOutcome::Filled) {
                outcome_ = outcome;
                ended_ = true;
                changed_.notify_all();
                return;
            }
            ++reads_;
            AppendRecords(records_, buffer);
            changed_.notify_all();
        }
    }

    FolderHandle handle_;
    StopSignal stop_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    Records records_;
    int reads_ = 0;
    std::atomic<int> returned_{0};
    bool ended_ = false;
    ReadOutcome outcome_ = ReadOutcome::Filled;
};

void Touch(const fs::path& p) {
    const int fd = ::open(p.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << p;
    ::close(fd);
}

void Append(const fs::path& p, const std::string& text) {
    const int fd = ::open(p.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_GE(fd, 0) << p;
    ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(fd);
}

void ReadWhole(const fs::path& p) {
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0) << p;
    char scratch[64];
    ASSERT_GT(::read(fd, scratch, sizeof scratch), 0);
    ::close(fd);
}

class LinuxDirectoryReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tarnwell-watch-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        base_ = pattern;
        root_ = base_ / "watched";
        outside_ = base_ / "outside";
        fs::create_directory(root_);
        fs::create_directory(outside_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(base_, ec);
    }

    fs::path base_, root_, outside_;
};

TEST_F(LinuxDirectoryReaderTest, OpenGivesAnInvalidHandleForWhatIsNotAnOpenableFolder) {
    Touch(root_ / "file.txt");
    EXPECT_EQ(OpenDirectory(""), nullptr);
    EXPECT_EQ(OpenDirectory((base_ / "missing").string()), nullptr);
    EXPECT_EQ(OpenDirectory((root_ / "file.txt").string()), nullptr);
    if (::geteuid() != 0) {
        fs::create_directory(base_ / "locked");
        fs::permissions(base_ / "locked", fs::perms::none);
        EXPECT_EQ(OpenDirectory((base_ / "locked").string()), nullptr);
    }
    FolderHandle handle = OpenDirectory(root_.string());
    EXPECT_NE(handle, nullptr);
    CloseDirectory(handle);
    CloseDirectory(nullptr);
}

// One scenario of changes, read under each filter bit alone and all together,
// for the folder alone and with its subtree. A last change that the filter
// reports shows that nothing else came before it.
TEST_F(LinuxDirectoryReaderTest, EachFilterBitReportsItsOwnChangesOnly) {
    struct Sentinel {
        const char* op;  // "touch", "mkdir", "chmod", "append"
        Record record;
    };
    struct Case {
        const char* name;
        std::uint32_t filter;
        Records expected;
        std::optional<Sentinel> sentinel;
    };
    const Sentinel touch{"touch", {kAdded, "zz"}};
    const Sentinel chmodEnd{"chmod", {kModified, "end.txt"}};
    const Case cases[] = {
        {"file name",
         FILE_NOTIFY_CHANGE_FILE_NAME,
         {{kAdded, "new.txt"}, {kRemoved, "new.txt"}},
         touch},
        {"dir name",
         FILE_NOTIFY_CHANGE_DIR_NAME,
         {{kAdded, "newdir"}, {kRemoved, "newdir"}},
         Sentinel{"mkdir", {kAdded, "zzdir"}}},
        {"attributes", FILE_NOTIFY_CHANGE_ATTRIBUTES, {{kModified, "attr.txt"}}, chmodEnd},
        {"size",
         FILE_NOTIFY_CHANGE_SIZE,
         {{kModified, "write.txt"}},
         Sentinel{"append", {kModified, "end.txt"}}},
        {"last write",
         FILE_NOTIFY_CHANGE_LAST_WRITE,
         {{kModified, "attr.txt"}, {kModified, "write.txt"}},
         chmodEnd},
        {"last access",
         FILE_NOTIFY_CHANGE_LAST_ACCESS,
         {{kModified, "attr.txt"}, {kModified, "read.txt"}},
         chmodEnd},
        {"security", FILE_NOTIFY_CHANGE_SECURITY, {{kModified, "attr.txt"}}, chmodEnd},
        {"creation", FILE_NOTIFY_CHANGE_CREATION, {}, std::nullopt},
        {"all",
         kAllNotifyBits,
         {{kAdded, "new.txt"},
          {kAdded, "newdir"},
          {kModified, "attr.txt"},
          {kModified, "write.txt"},
          {kModified, "read.txt"},
          {kRemoved, "new.txt"},
          {kRemoved, "newdir"}},
         touch},
    };
    int round = 0;
    for (bool subtree : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (subtree ? " with subtree" : ""));
            const fs::path dir = base_ / ("round" + std::to_string(round++));
            fs::create_directory(dir);
            for (const char* f : {"attr.txt", "write.txt", "read.txt", "end.txt"}) {
                std::ofstream(dir / f) << "content";
            }
            Reader reader(dir.string(), subtree, c.filter);
            ASSERT_TRUE(reader.WaitWatching());

            Touch(dir / "new.txt");
            fs::create_directory(dir / "newdir");
            fs::permissions(dir / "attr.txt", fs::perms::owner_read | fs::perms::owner_write);
            Append(dir / "write.txt", "more");
            ReadWhole(dir / "read.txt");
            fs::remove(dir / "new.txt");
            fs::remove(dir / "newdir");

            Records expected = c.expected;
            if (c.sentinel) {
                const std::string op = c.sentinel->op;
                if (op == "touch") Touch(dir / "zz");
                if (op == "mkdir") fs::create_directory(dir / "zzdir");
                if (op == "chmod") fs::permissions(dir / "end.txt", fs::perms::owner_read);
                if (op == "append") Append(dir / "end.txt", "x");
                expected.push_back(c.sentinel->record);
                EXPECT_TRUE(
                    reader.WaitForRecord(c.sentinel->record.action, c.sentinel->record.name));
            } else {
                // Nothing can show that nothing comes; a short bounded look.
                reader.WaitFor([](const Records& r) { return !r.empty(); }, 300ms);
            }
            Records seen = reader.Taken();
            // newdir goes at once; on a busy machine it may be gone before its
            // watch could be added, and a mark then says so.
            if (subtree) std::erase(seen, Record{0, "newdir"});
            EXPECT_EQ(seen, expected);
        }
    }
}

// Folders that exist before the watch are watched by the first read, however
// deep: the subtree is more than the folders made while it runs.
TEST_F(LinuxDirectoryReaderTest, SubtreeCoversFoldersThatExistedBeforeTheWatch) {
    fs::create_directories(root_ / "old" / "deeper");
    Reader reader(root_.string(), true, kNames);
    ASSERT_TRUE(reader.WaitWatching(3));

    Touch(root_ / "old" / "x");
    Touch(root_ / "old" / "deeper" / "y");
    ASSERT_TRUE(reader.WaitForRecord(kAdded, "old/deeper/y"));
    EXPECT_EQ(reader.Taken(), (Records{{kAdded, "old/x"}, {kAdded, "old/deeper/y"}}));
}

TEST_F(LinuxDirectoryReaderTest, RenamesAndMovesInsideIntoAndOutOfTheTree) {
    Touch(root_ / "f");
    Touch(outside_ / "h");
    Reader reader(root_.string(), true, kNames | FILE_NOTIFY_CHANGE_SIZE);
    ASSERT_TRUE(reader.WaitWatching());

    fs::rename(root_ / "f", root_ / "g");
    fs::rename(root_ / "g", outside_ / "g");
    fs::rename(outside_ / "h", root_ / "h");
    fs::create_directory(root_ / "a");
    Touch(root_ / "a" / "x");
    ASSERT_TRUE(reader.WaitForRecord(kAdded, "a/x"));
    fs::rename(root_ / "a", root_ / "b");
    Append(root_ / "b" / "x", "after the rename");

    ASSERT_TRUE(reader.WaitForRecord(kModified, "b/x"));
    EXPECT_EQ(reader.Taken(), (Records{{kFrom, "f"},
                                       {kTo, "g"},
                                       {kRemoved, "g"},
                                       {kAdded, "h"},
                                       {kAdded, "a"},
                                       {kAdded, "a/x"},
                                       {kFrom, "a"},
                                       {kTo, "b"},
                                       {kModified, "b/x"}}));
}

TEST_F(LinuxDirectoryReaderTest, FolderMovedInIsWatchedButItsContentsAreNotReported) {
    fs::create_directories(outside_ / "in" / "deep");
    Touch(outside_ / "in" / "deep" / "old.txt");
    Reader reader(root_.string(), true, kNames | FILE_NOTIFY_CHANGE_SIZE);
    ASSERT_TRUE(reader.WaitWatching());
    fs::rename(outside_ / "in", root_ / "in");
    ASSERT_TRUE(reader.WaitWatching(3));
    Append(root_ / "in" / "deep" / "old.txt", "x");
    ASSERT_TRUE(reader.WaitForRecord(kModified, "in/deep/old.txt"));
    EXPECT_EQ(reader.Taken(), (Records{{kAdded, "in"}, {kModified, "in/deep/old.txt"}}));
}

TEST_F(LinuxDirectoryReaderTest, WatchedFolderGoingAwayFailsTheRead) {
    for (const bool deleted : {true, false}) {
        SCOPED_TRACE(deleted ? "deleted" : "moved away");
        const fs::path dir = base_ / (deleted ? "doomed" : "moving");
        fs::create_directory(dir);
        Reader reader(dir.string(), false, kNames);
        ASSERT_TRUE(reader.WaitWatching());
        Touch(dir / "last");
        if (deleted) {
            fs::remove_all(dir);
        } else {
            fs::rename(dir, outside_ / "moved");
        }
        ASSERT_TRUE(reader.WaitForEnd());
        EXPECT_EQ(reader.Outcome(), ReadOutcome::Failed);
        // What happened before still arrived.
        const Records seen = reader.Taken();
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.front(), (Record{kAdded, "last"}));
    }
}

// Another process makes a folder and fills it at once, while the reader has
// to watch and list it: every file comes exactly once.
TEST_F(LinuxDirectoryReaderTest, NewFolderFilledByAnotherProcessIsReportedWhole) {
    Reader reader(root_.string(), true, kNames);
    ASSERT_TRUE(reader.WaitWatching());
    constexpr int kRounds = 3, kFiles = 600, kInner = 150;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (int r = 0; r < kRounds; ++r) {
            const std::string n = root_.string() + "/n" + std::to_string(r);
            if (::mkdir(n.c_str(), 0755) != 0 || ::mkdir((n + "/sub").c_str(), 0755) != 0) _exit(1);
            for (int i = 0; i < kFiles; ++i) {
                const int fd =
                    ::open((n + "/f" + std::to_string(i)).c_str(), O_CREAT | O_WRONLY, 0644);
                if (fd < 0) _exit(1);
                ::close(fd);
                if (i < kInner) {
                    const int g = ::open((n + "/sub/g" + std::to_string(i)).c_str(),
                                         O_CREAT | O_WRONLY, 0644);
                    if (g < 0) _exit(1);
                    ::close(g);
                }
            }
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    Touch(root_ / "zz-end");
    ASSERT_TRUE(reader.WaitForRecord(kAdded, "zz-end"));

    std::map<std::string, int> seen;
    for (const Record& r : reader.Taken()) {
        EXPECT_EQ(r.action, kAdded) << r.name;
        ++seen[r.name];
    }
    std::map<std::string, int> expected{{"zz-end", 1}};
    for (int r = 0; r < kRounds; ++r) {
        const std::string n = "n" + std::to_string(r);
        expected[n] = expected[n + "/sub"] = 1;
        for (int i = 0; i < kFiles; ++i) expected[n + "/f" + std::to_string(i)] = 1;
        for (int i = 0; i < kInner; ++i) expected[n + "/sub/g" + std::to_string(i)] = 1;
    }
    EXPECT_EQ(seen.size(), expected.size());
    EXPECT_TRUE(seen == expected) << "missing or repeated names";
}

// A reader kept from reading while more changes happen than the kernel's
// queue holds: everything before the overflow arrives in order, then one
// empty read says that changes were lost.
TEST_F(LinuxDirectoryReaderTest, KernelQueueOverflowIsAnEmptyReadAfterTheChangesBeforeIt) {
    int kernelQueue = 16384;
    std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> kernelQueue;
    const int count = kernelQueue + 200;
    Reader reader(root_.string(), false, FILE_NOTIFY_CHANGE_FILE_NAME);
    ASSERT_TRUE(reader.WaitWatching());
    auto nameOf = [](int i) {
        char name[16];
        std::snprintf(name, sizeof name, "f%06d", i);
        return std::string(name);
    };
    {
        auto hold = reader.HoldAfterRead([&] { Touch(root_ / "first"); });
        for (int i = 0; i < count; ++i) {
            const int fd =
                ::open((root_ / nameOf(i)).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
            ASSERT_GE(fd, 0);
            ::close(fd);
        }
    }
    ASSERT_TRUE(reader.WaitForRecord(0, ""));
    const Records seen = reader.Taken();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), (Record{kAdded, "first"}));
    const auto overflow = std::find(seen.begin(), seen.end(), Record{0, ""});
    const auto before = static_cast<int>(overflow - seen.begin()) - 1;
    EXPECT_LT(before, count);
    for (int i = 0; i < before; ++i)
        ASSERT_EQ(seen[static_cast<std::size_t>(i) + 1], (Record{kAdded, nameOf(i)})) << "at " << i;
    EXPECT_EQ(overflow + 1, seen.end()) << "nothing of the lost changes is made up";
}

// A reader slower than the burst: between two reads more files appear than
// one buffer takes away, until the backlog is larger than the kernel's own
// queue. The backlog must wait in the reader, not overflow in the kernel.
TEST_F(LinuxDirectoryReaderTest, BacklogLargerThanTheKernelQueueWaitsInTheReader) {
    int kernelQueue = 16384;
    std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> kernelQueue;
    constexpr int kPerRound = 500;
    constexpr std::size_t kSmallBuffer = 1000;  // some 40 records a read
    const int rounds = (kernelQueue + 10000) / kPerRound;
    const int total = rounds * kPerRound;
    auto nameOf = [](int i) {
        char name[16];
        std::snprintf(name, sizeof name, "f%05d", i);
        return std::string(name);
    };

    FolderHandle handle = OpenDirectory(root_.string());
    ASSERT_NE(handle, nullptr);
    StopSignal stop;
    std::mutex mutex;
    std::condition_variable changed;
    int made = 0;     // rounds of files made
    int allowed = 1;  // rounds the reader has let the maker go on to
    bool failed = false;
    std::thread maker([&] {
        test::PollUntil([] { return WatchCount() >= 1; }, 10s);
        for (int round = 0; round < rounds; ++round) {
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return allowed > round || failed; });
                if (failed) return;
            }
            for (int i = round * kPerRound; i < (round + 1) * kPerRound; ++i) {
                const int fd =
                    ::open((root_ / nameOf(i)).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
                if (fd >= 0) ::close(fd);
            }
            std::lock_guard lock(mutex);
            made = round + 1;
            changed.notify_all();
        }
    });
    // A read that waits for changes that never come ends the test, bounded.
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (!changed.wait_for(lock, 120s, [&] { return failed; })) stop.Raise();
    });

    Records seen;
    std::vector<std::byte> buffer(kSmallBuffer);
    while (static_cast<int>(seen.size()) < total) {
        std::fill(buffer.begin(), buffer.end(), std::byte{0});
        if (ReadDirectoryChanges(handle, buffer.data(), buffer.size(), false,
                                 FILE_NOTIFY_CHANGE_FILE_NAME, stop) != ReadOutcome::Filled)
            break;
        AppendRecords(seen, buffer);
        if (seen.back().action == 0) break;  // an overflow
        // The next round is made only once it is there in full, so every read
        // but the last ones falls behind by most of a round.
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return made >= allowed || made == rounds; });
        if (allowed < rounds) ++allowed;
        changed.notify_all();
    }
    {
        std::lock_guard lock(mutex);
        failed = true;
        changed.notify_all();
    }
    maker.join();
    watchdog.join();
    CloseDirectory(handle);

    ASSERT_EQ(seen.size(), static_cast<std::size_t>(total));
    for (int i = 0; i < total; ++i)
        ASSERT_EQ(seen[static_cast<std::size_t>(i)], (Record{kAdded, nameOf(i)})) << "at " << i;
}

TEST_F(LinuxDirectoryReaderTest, RecordsThatDoNotFitWaitForTheNextRead) {
    // 64 bytes hold four records with two-letter names; a name too long for
    // any such buffer gives an empty read in its place.
    Reader reader(root_.string(), false, FILE_NOTIFY_CHANGE_FILE_NAME, 64);
    ASSERT_TRUE(reader.WaitWatching());
    const std::string tooLong = "a-name-longer-than-the-buffer";
    for (const std::string& name :
         {std::string("a1"), std::string("a2"), std::string("a3"), std::string("a4"),
          std::string("a5"), tooLong, std::string("a6")}) {
        Touch(root_ / name);
    }
    ASSERT_TRUE(reader.WaitForRecord(kAdded, "a6"));
    EXPECT_EQ(reader.Taken(), (Records{{kAdded, "a1"},
                                       {kAdded, "a2"},
                                       {kAdded, "a3"},
                                       {kAdded, "a4"},
                                       {kAdded, "a5"},
                                       {0, ""},
                                       {kAdded, "a6"}}));
    EXPECT_GE(reader.Reads(), 3);
}

TEST_F(LinuxDirectoryReaderTest, StopInterruptsAWaitingReadAtOnce) {
    Reader reader(root_.string(), true, kAllNotifyBits);
    ASSERT_TRUE(reader.WaitWatching());
    const auto took = reader.Stop();
    EXPECT_LT(took, 50ms);
    EXPECT_EQ(reader.Outcome(), ReadOutcome::Interrupted);
    EXPECT_TRUE(reader.Taken().empty());
}

TEST_F(LinuxDirectoryReaderTest, StopRaisedBeforeTheFirstReadKeepsItFromWaiting) {
    FolderHandle handle = OpenDirectory(root_.string());
    ASSERT_NE(handle, nullptr);
    StopSignal stop;
    stop.Raise();
    EXPECT_TRUE(stop.Raised());
    std::vector<std::byte> buffer(kChangeBufferSize);
    EXPECT_EQ(ReadDirectoryChanges(handle, buffer.data(), buffer.size(), false, kNames, stop),
              ReadOutcome::Interrupted);
    EXPECT_EQ(ReadDirectoryChanges(nullptr, buffer.data(), buffer.size(), false, kNames, stop),
              ReadOutcome::Failed);
    CloseDirectory(handle);
}

TEST_F(LinuxDirectoryReaderTest, NamesThatAreNotUtf8AreReportedWithMarks) {
    Reader reader(root_.string(), false, FILE_NOTIFY_CHANGE_FILE_NAME);
    ASSERT_TRUE(reader.WaitWatching());
    Touch(root_ / "caf\xc3\xa9");
    Touch(root_ /
          "bad\xff"
          "name");
    ASSERT_TRUE(reader.WaitForRecord(kAdded, "bad?name"));
    EXPECT_EQ(reader.Taken(), (Records{{kAdded, "caf\xc3\xa9"}, {kAdded, "bad?name"}}));
}

// mkdir .part; fill it; mv .part final: by the time the reader takes up the
// creation of .part, the name is gone. The folder is taken up at its new
// name, with what it holds and a mark; so is one renamed twice.
TEST_F(LinuxDirectoryReaderTest, FoldersPublishedByRenamesAreWatchedAtTheirNewNames) {
    Reader reader(root_.string(), true, kNames | FILE_NOTIFY_CHANGE_SIZE);
    ASSERT_TRUE(reader.WaitWatching());
    {
        auto hold = reader.HoldAfterRead([&] { Touch(root_ / "first"); });
        fs::create_directory(root_ / ".part");
        Touch(root_ / ".part" / "a");
        fs::create_directory(root_ / ".a");
        fs::rename(root_ / ".part", root_ / "final");
        fs::rename(root_ / ".a", root_ / ".b");
        fs::rename(root_ / ".b", root_ / "chain");
    }
    ASSERT_TRUE(reader.WaitForRecord(0, "chain"));
    Append(root_ / "final" / "a", "written after the rename");
    Touch(root_ / "chain" / "c");
    ASSERT_TRUE(reader.WaitForRecord(kAdded, "chain/c"));
    EXPECT_EQ(reader.Taken(), (Records{{kAdded, "first"},
                                       {kAdded, ".part"},
                                       {kAdded, ".a"},
                                       {kFrom, ".part"},
                                       {kTo, "final"},
                                       {0, "final"},
                                       {kAdded, "final/a"},
                                       {kFrom, ".a"},
                                       {kTo, ".b"},
                                       {kFrom, ".b"},
                                       {kTo, "chain"},
                                       {0, "chain"},
                                       {kModified, "final/a"},
                                       {kAdded, "chain/c"}}));
}

// Makes `levels` nested folders of long names below `root` by descriptors
// (their full path is longer than one system call takes); returns the
// relative path of the deepest and leaves it open in `deepest`.
std::string MakeDeepFolders(const fs::path& root, int levels, int& deepest) {
    std::string relative;
    int at = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; i < levels && at >= 0; ++i) {
        const std::string name = std::to_string(i) + std::string(240, 'd');
        if (::mkdirat(at, name.c_str(), 0755) != 0) break;
        const int next = ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(at);
        at = next;
        relative += (relative.empty() ? "" : "/") + name;
    }
    deepest = at;
    return relative;
}

void TouchAt(int folder, const char* name) {
    const int fd = ::openat(folder, name, O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << name;
    ::close(fd);
}

TEST_F(LinuxDirectoryReaderTest, FoldersBelowPathsLongerThanPathMaxAreWatched) {
    constexpr int kLevels = 20;  // some 4,900 bytes below the watched folder
    int deepest = -1;
    const std::string deep = MakeDeepFolders(root_, kLevels, deepest);
    ASSERT_GE(deepest, 0);
    ASSERT_GT(deep.size(), 4096u);
    Reader reader(root_.string(), true, kNames);
    ASSERT_TRUE(reader.WaitWatching(1 + kLevels));

    TouchAt(deepest, "x");
    ASSERT_EQ(::mkdirat(deepest, "new", 0755), 0);
    ASSERT_TRUE(reader.WaitForRecord(kAdded, deep + "/new"));
    ASSERT_TRUE(reader.WaitWatching(2 + kLevels));
    const int created = ::openat(deepest, "new", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(created, 0);
    TouchAt(created, "y");
    ::close(created);
    ::close(deepest);
    ASSERT_TRUE(reader.WaitForRecord(kAdded, deep + "/new/y"));
    EXPECT_EQ(reader.Taken(),
              (Records{{kAdded, deep + "/x"}, {kAdded, deep + "/new"}, {kAdded, deep + "/new/y"}}));
    reader.Stop();
    // std::filesystem walks by full paths, which are too long here.
    EXPECT_EQ(std::system(("rm -rf '" + root_.string() + "'").c_str()), 0);
}

TEST_F(LinuxDirectoryReaderTest, RenamingAFolderAboveTheWatchedOneChangesNothing) {
    Reader reader(root_.string(), true, kNames);
    ASSERT_TRUE(reader.WaitWatching());
    const fs::path movedBase = base_.string() + "-moved";
    fs::rename(base_, movedBase);
    const fs::path watched = movedBase / "watched";
    fs::create_directory(watched / "new");
    Touch(watched / "new" / "x");
    ASSERT_TRUE(reader.WaitForRecord(kAdded, "new/x"));
    ASSERT_TRUE(reader.WaitWatching(3));  // the folder above it, the watched one, new
    Touch(watched / "new" / "y");
    const bool seen = reader.WaitForRecord(kAdded, "new/y");
    reader.Stop();
    fs::rename(movedBase, base_);
    ASSERT_TRUE(seen);
    EXPECT_EQ(reader.Taken(), (Records{{kAdded, "new"}, {kAdded, "new/x"}, {kAdded, "new/y"}}));
}

// Runs `body` in a child process as an account that permissions apply to
// (root passes every permission check); its exit code says how it went.
// Gives -1 when no such account can be had.
int RunUnprivileged(const fs::path& ownTree, const std::function<int()>& body) {
    const bool root = ::geteuid() == 0;
    constexpr uid_t kNobody = 65534;
    if (root) {
        for (const auto& entry : fs::recursive_directory_iterator(ownTree))
            if (::chown(entry.path().c_str(), kNobody, kNobody) != 0) return -1;
        if (::chown(ownTree.c_str(), kNobody, kNobody) != 0) return -1;
    }
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (root &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            _exit(77);
        _exit(body());
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return 1;
    return WEXITSTATUS(status) == 77 ? -1 : WEXITSTATUS(status);
}

TEST_F(LinuxDirectoryReaderTest, FoldersThatCannotBeWatchedOrEnteredAreMarked) {
    const int result = RunUnprivileged(base_, [&]() -> int {
        if (::mkdir((root_ / "locked").c_str(), 0) != 0 ||
            ::mkdir((root_ / "blind").c_str(), 0311) != 0 ||  // enter, but not read
            ::mkdir((root_ / "opaque").c_str(), 0755) != 0 ||
            ::mkdir((root_ / "opaque" / "inner").c_str(), 0755) != 0 ||
            ::chmod((root_ / "opaque").c_str(), 0644) != 0)  // read, but not enter
            return 2;
        Reader reader(root_.string(), true, kNames);
        const bool marked = reader.WaitFor([](const Records& r) { return r.size() >= 3; }, 10s);
        const fs::path later = root_ / "later";
        const bool later_ok =
            ::mkdir(later.c_str(), 0755) == 0 && reader.WaitForRecord(kAdded, "later");
        reader.Stop();
        Records seen = reader.Taken();
        std::sort(seen.begin(), seen.end(),
                  [](const Record& a, const Record& b) { return a.name < b.name; });
        const Records expected{{0, "blind"}, {kAdded, "later"}, {0, "locked"}, {0, "opaque/inner"}};
        ::chmod((root_ / "opaque").c_str(), 0755);
        ::chmod((root_ / "locked").c_str(), 0755);
        ::chmod((root_ / "blind").c_str(), 0755);
        if (!marked || !later_ok || seen != expected) {
            for (const Record& r : seen)
                std::fprintf(stderr, "seen {%u, %s}\n", r.action, r.name.c_str());
            return 3;
        }
        return 0;
    });
    if (result < 0)
        GTEST_SKIP() << "no unprivileged account to run as (root passes every permission check)";
    EXPECT_EQ(result, 0) << "2: setup failed, 3: wrong records (printed above)";
}

// In a user namespace of its own, the child sets a watch limit of its own
// (user.max_inotify_watches), which leaves every other process alone.
TEST_F(LinuxDirectoryReaderTest, WatchLimitMarksTheFolderAndLeavesANoticeOnce) {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::unshare(CLONE_NEWUSER) != 0) _exit(77);
        const auto write = [](const char* file, const std::string& text) {
            std::ofstream out(file);
            out << text;
            out.close();
            return !out.fail();
        };
        write("/proc/self/setgroups", "deny");
        if (!write("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1\n") ||
            !write("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1\n"))
            _exit(77);
        // The watched folder and the folder above it.
        if (!write("/proc/sys/user/max_inotify_watches", "2")) _exit(77);
        Reader reader(root_.string(), true, kNames);
        if (!reader.WaitWatching(2)) _exit(2);
        if (::mkdir((root_ / "one").c_str(), 0755) != 0 ||
            ::mkdir((root_ / "two").c_str(), 0755) != 0)
            _exit(2);
        const bool marked = reader.WaitForRecord(0, "two");
        reader.Stop();
        const std::string notice = TakeReadNotice(reader.Handle());
        const std::string again = TakeReadNotice(reader.Handle());
        const Records expected{{kAdded, "one"}, {0, "one"}, {kAdded, "two"}, {0, "two"}};
        if (!marked || reader.Taken() != expected) {
            for (const Record& r : reader.Taken())
                std::fprintf(stderr, "seen {%u, %s}\n", r.action, r.name.c_str());
            _exit(3);
        }
        if (notice.rfind("So far, 2 folders of the watched tree could not be watched", 0) != 0 ||
            notice.find("sysctl fs.inotify.max_user_watches=") == std::string::npos ||
            notice.find("/etc/sysctl.d/") == std::string::npos || !again.empty()) {
            std::fprintf(stderr, "notice: %s\nagain: %s\n", notice.c_str(), again.c_str());
            _exit(4);
        }
        // Reached while the first read sets the tree up: the read fails, and
        // the notice says why.
        const fs::path other = base_ / "other";
        if (::mkdir(other.c_str(), 0755) != 0 || ::mkdir((other / "sub").c_str(), 0755) != 0 ||
            !write("/proc/sys/user/max_inotify_watches", "1"))
            _exit(2);
        Reader failing(other.string(), true, kNames);
        if (!failing.WaitForEnd() || failing.Outcome() != ReadOutcome::Failed) _exit(5);
        if (TakeReadNotice(failing.Handle()).rfind("So far, 1 folder of", 0) != 0) _exit(5);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no user namespace with a watch limit of its own";
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "2: setup failed, 3: wrong records, 4: wrong notice, 5: no notice with Cannot Read";
}

}  // namespace
}  // namespace tarnwell
